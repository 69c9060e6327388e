// The board window on Windows: a Win32 window whose update region is never validated, drawn
// through a Direct2D HWND render target with one solid brush per colour index.
// Known gaps: a creation step that fails ends the program with one line naming the call; a lost
// render target (EndDraw reporting D2DERR_RECREATE_TARGET) is not recreated, so the window then
// keeps its last picture; nothing is released before the process ends.
#include "view/win32_visualizer.h"

#include <cstdio>
#include <stdexcept>
#include <string>

#include "board/board.h"
#include "board/draw.h"
#include "view/palette.h"
#include "view/visualizer.h"

namespace {

// What the window was handed to paint: the game and the side of one tile in pixels.
const Game* shownGame = nullptr;
uint32_t cellPixels = 0;

// The design has no path for these failures; going on would only crash later without a word.
// The entry point prints the message and ends the program with status 1.
[[noreturn]] void failCreation(const char* call, unsigned long code) {
  std::string message = std::string("cannot create the board window: ") + call + " failed";
  if (code != 0) {  // some failures leave no error code behind
    char text[512] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                   text, sizeof text, nullptr);
    std::string reason = text;
    while (!reason.empty() &&
           (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' '))
      reason.pop_back();
    char number[16];
    std::snprintf(number, sizeof number, "0x%08lX", code);
    message += std::string(" (") + number + (reason.empty() ? "" : " " + reason) + ")";
  }
  throw std::runtime_error(message);
}

void checkResult(const char* call, HRESULT result) {
  if (FAILED(result)) failCreation(call, static_cast<unsigned long>(result));
}

}  // namespace

void createVisualizer(void* instance, const Game& game, uint32_t cellSize) {
  const HINSTANCE module = static_cast<HINSTANCE>(instance);
  shownGame = &game;
  cellPixels = cellSize;
  const uint32_t side = cellSize * game.boardSize;
  windowRect = RECT{0, 0, static_cast<LONG>(side), static_cast<LONG>(side)};
  AdjustWindowRectEx(&windowRect, kWindowStyle, FALSE, kWindowExStyle);

  // 48 bytes on 32-bit Windows, 80 on 64-bit; RegisterClassExA refuses any other cbSize.
  static_assert(sizeof(WNDCLASSEXA) == (sizeof(void*) == 8 ? 80 : 48));
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof(WNDCLASSEXA);
  windowClass.style = kClassStyle;
  windowClass.lpfnWndProc = windowProc;
  windowClass.cbClsExtra = 0;
  windowClass.cbWndExtra = 0;
  windowClass.hInstance = module;
  windowClass.hIcon = nullptr;
  // IDC_ARROW, spelled for the ANSI call whether or not UNICODE is defined.
  windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
  windowClass.lpszMenuName = nullptr;
  windowClass.lpszClassName = kWindowClassName;
  windowClass.hIconSm = nullptr;
  if (RegisterClassExA(&windowClass) == 0) failCreation("RegisterClassExA", GetLastError());

  mainWindow =
      CreateWindowExA(kWindowExStyle, kWindowClassName, kWindowTitle, kWindowStyle, 0, 0,
                      windowRect.right - windowRect.left, windowRect.bottom - windowRect.top,
                      nullptr, nullptr, module, nullptr);
  if (mainWindow == nullptr) failCreation("CreateWindowExA", GetLastError());

  RECT client{};
  GetClientRect(mainWindow, &client);
  const auto width = static_cast<UINT32>(client.right - client.left);
  const auto height = static_cast<UINT32>(client.bottom - client.top);

  checkResult("D2D1CreateFactory",
              D2D1CreateFactory(D2D1_FACTORY_TYPE_MULTI_THREADED, __uuidof(ID2D1Factory), nullptr,
                                reinterpret_cast<void**>(&d2dFactory)));

  D2D1_RENDER_TARGET_PROPERTIES targetProperties{};
  targetProperties.type = D2D1_RENDER_TARGET_TYPE_HARDWARE;
  targetProperties.pixelFormat.format = DXGI_FORMAT_UNKNOWN;
  targetProperties.pixelFormat.alphaMode = D2D1_ALPHA_MODE_UNKNOWN;
  targetProperties.dpiX = 0.0f;  // 0 means the default DPI: one unit per client pixel
  targetProperties.dpiY = 0.0f;
  targetProperties.usage = D2D1_RENDER_TARGET_USAGE_NONE;
  targetProperties.minLevel = D2D1_FEATURE_LEVEL_DEFAULT;
  D2D1_HWND_RENDER_TARGET_PROPERTIES windowProperties{};
  windowProperties.hwnd = mainWindow;
  windowProperties.pixelSize.width = width;
  windowProperties.pixelSize.height = height;
  windowProperties.presentOptions = D2D1_PRESENT_OPTIONS_IMMEDIATELY;
  checkResult(
      "ID2D1Factory::CreateHwndRenderTarget",
      d2dFactory->CreateHwndRenderTarget(&targetProperties, &windowProperties, &renderTarget));

  renderTarget->SetAntialiasMode(D2D1_ANTIALIAS_MODE_ALIASED);
}

void createPalette(uint32_t colorCount) {
  for (uint32_t index = 0; index < colorCount; ++index) {
    const PaletteColor color = paletteColorFromDraw(clockSeededDraw());
    const D2D1_COLOR_F brushColor{color.red / 255.0f, color.green / 255.0f, color.blue / 255.0f,
                                  1.0f};
    ID2D1SolidColorBrush* brush = nullptr;
    checkResult("ID2D1RenderTarget::CreateSolidColorBrush",
                renderTarget->CreateSolidColorBrush(&brushColor, nullptr, &brush));
    brushes.push_back(brush);
  }
}

ID2D1SolidColorBrush* brushFor(uint32_t color) {
  if (color >= brushes.size()) throw std::out_of_range("invalid vector subscript");
  return brushes[color];
}

void paintBoard() {
  renderTarget->BeginDraw();
  D2D1_MATRIX_3X2_F identity{};
  identity._11 = 1.0f;
  identity._22 = 1.0f;
  renderTarget->SetTransform(&identity);
  renderTarget->Clear(nullptr);  // transparent black
  const Game& game = *shownGame;
  const uint32_t side = game.boardSize;
  const uint32_t cell = cellPixels;
  for (uint32_t y = 0; y < side; ++y) {
    for (uint32_t x = 0; x < side; ++x) {
      const uint32_t color = game.board[y * side + x].color;
      const D2D1_RECT_F square{static_cast<float>(x * cell), static_cast<float>(y * cell),
                               static_cast<float>((x + 1) * cell),
                               static_cast<float>((y + 1) * cell)};
      renderTarget->FillRectangle(&square, brushFor(color));
    }
  }
  renderTarget->EndDraw(nullptr, nullptr);
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_PAINT:
      // Left unvalidated on purpose: the next idle retrieval yields WM_PAINT again, which is
      // what keeps the main loop turning.
      paintBoard();
      return 0;
    case WM_ERASEBKGND:
      return 0;
    case WM_GETMINMAXINFO:
      // The default minimum width of a captioned window would widen small boards beyond
      // cellSize * boardSize; the window is never resized, so its own size is the minimum.
      reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize =
          POINT{windowRect.right - windowRect.left, windowRect.bottom - windowRect.top};
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

bool nextMessage(int& exitCode) {
  if (GetMessageA(&currentMessage, nullptr, 0, 0) == 0) {
    exitCode = static_cast<int>(currentMessage.wParam);
    return false;
  }
  return true;
}

void dispatchMessage() {
  TranslateMessage(&currentMessage);
  DispatchMessageA(&currentMessage);
}

// The window system is always there, and nothing is released before the process ends.
bool openWindowSystem(std::string& /*reason*/) {
  return true;
}

void closeWindowSystem() {}

// The console reads F1 from the asynchronous key state and its idle wait sleeps on this
// thread's message queue (console_win32.cpp): the window has nothing of its own to hand over.
bool takeWindowF1Press() {
  return false;
}

bool windowInputPending() {
  return false;
}

int windowEventDescriptor() {
  return -1;
}
