// The Windows layer against the real Win32 and Direct2D (or Wine's): window class, styles and
// geometry, the render target, the brushes, the paint-on-idle message flow that drives the main
// loop, the idle wait, the brush bounds check, the close path, a creation failure and the F1
// poll.
// The steps share one window and run in order; each check is reported and counted.
#include "view/win32_visualizer.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/platform.h"
#include "board/board.h"
#include "tests/windows/expect.h"
#include "view/visualizer.h"

namespace {

// The game the window is handed to paint, at 8 pixels a tile.
Game game;
constexpr uint32_t kCell = 8;

bool runningUnderWine() {
  return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

void windowFitsTheBoard() {
  RECT client{};
  GetClientRect(mainWindow, &client);
  EXPECT(client.right - client.left == 24 && client.bottom - client.top == 24);

  RECT expectedOuter{0, 0, 24, 24};
  AdjustWindowRectEx(&expectedOuter, kWindowStyle, FALSE, kWindowExStyle);
  EXPECT(EqualRect(&expectedOuter, &windowRect) != 0);
  RECT outer{};
  GetWindowRect(mainWindow, &outer);
  EXPECT(outer.left == 0 && outer.top == 0);
  EXPECT(outer.right - outer.left == windowRect.right - windowRect.left);
  EXPECT(outer.bottom - outer.top == windowRect.bottom - windowRect.top);

  char text[64] = "";
  GetWindowTextA(mainWindow, text, sizeof text);
  EXPECT(std::string(text) == "Tidefill Solver Visualizer");
  GetClassNameA(mainWindow, text, sizeof text);
  EXPECT(std::string(text) == "Tidefill Solver Visualizer");

  const auto style = static_cast<DWORD>(GetWindowLongA(mainWindow, GWL_STYLE));
  EXPECT((style & kWindowStyle) == kWindowStyle);
  EXPECT((style & (WS_THICKFRAME | WS_MAXIMIZEBOX)) == 0);  // fixed size
  EXPECT((GetWindowLongA(mainWindow, GWL_EXSTYLE) & WS_EX_STATICEDGE) != 0);

  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  EXPECT(GetClassInfoExA(GetModuleHandleA(nullptr), kWindowClassName, &windowClass) != 0);
  EXPECT(windowClass.style == 3);
  EXPECT(windowClass.lpfnWndProc == windowProc);
  EXPECT(windowClass.hbrBackground == reinterpret_cast<HBRUSH>(INT_PTR{COLOR_WINDOW + 1}));
  EXPECT(windowClass.hCursor == LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)));
  EXPECT(windowClass.hIcon == nullptr);
}

void renderTargetCoversTheClientArea() {
  EXPECT(d2dFactory != nullptr);
  EXPECT(renderTarget != nullptr);
  if (renderTarget == nullptr) return;
  EXPECT(renderTarget->GetAntialiasMode() == D2D1_ANTIALIAS_MODE_ALIASED);
  const D2D1_SIZE_U pixels = renderTarget->GetPixelSize();
  EXPECT(pixels.width == 24 && pixels.height == 24);
  // No DPI awareness: one drawing unit is one client pixel.
  const D2D1_SIZE_F units = renderTarget->GetSize();
  EXPECT(units.width == 24.0f && units.height == 24.0f);
}

bool isWholeEighthBit(float channel) {
  const float level = std::round(channel * 255.0f);
  return level >= 0.0f && level <= 255.0f && level / 255.0f == channel;
}

void paletteHasOneOpaqueBrushPerColour() {
  EXPECT(brushes.size() == 4);
  for (ID2D1SolidColorBrush* brush : brushes) {
    EXPECT(brush != nullptr);
    if (brush == nullptr) continue;
    const D2D1_COLOR_F color = brush->GetColor();
    EXPECT(color.a == 1.0f && brush->GetOpacity() == 1.0f);
    EXPECT(isWholeEighthBit(color.r) && isWholeEighthBit(color.g) && isWholeEighthBit(color.b));
  }
}

void brushLookupIsBoundsChecked() {
  EXPECT(brushFor(3) == brushes[3]);
  std::string message;
  try {
    brushFor(4);
  } catch (const std::out_of_range& error) {
    message = error.what();
  }
  EXPECT(message == "invalid vector subscript");

  // A tile colour without a brush stops the paint with the same error, not a stray pointer.
  game.board[4].color = 4;
  message.clear();
  try {
    paintBoard();
  } catch (const std::out_of_range& error) {
    message = error.what();
  }
  EXPECT(message == "invalid vector subscript");
  renderTarget->EndDraw(nullptr, nullptr);  // close the frame the throw left open
  game.board[4].color = 1;
}

void windowProcAnswersItsOwnMessages() {
  EXPECT(windowProc(mainWindow, WM_ERASEBKGND, 0, 0) == 0);
  EXPECT(windowProc(mainWindow, WM_PAINT, 0, 0) == 0);
  // Painting does not validate: the window still asks to be painted.
  EXPECT(GetUpdateRect(mainWindow, nullptr, FALSE) != 0);
}

void paintMessagesRecurWhileIdle() {
  // With nothing else to do, every retrieval must hand out another paint: the main loop's
  // passes depend on it.
  int paints = 0;
  int exitCode = -1;
  for (int message = 0; message < 200 && paints < 10; ++message) {
    MSG pending{};
    if (PeekMessageA(&pending, nullptr, 0, 0, PM_NOREMOVE) == 0) break;  // would block
    if (!nextMessage(exitCode)) break;
    if (currentMessage.message == WM_PAINT && currentMessage.hwnd == mainWindow) ++paints;
    dispatchMessage();
  }
  EXPECT(paints == 10);
  EXPECT(exitCode == -1);
  EXPECT(GetUpdateRect(mainWindow, nullptr, FALSE) != 0);
}

void idleWaitSleepsThoughAPaintIsDue() {
  EXPECT(GetUpdateRect(mainWindow, nullptr, FALSE) != 0);
  // A paint is always due, yet the waits sleep; one may end early for what was already queued.
  ULONGLONG start = GetTickCount64();
  for (int wait = 0; wait < 5; ++wait) waitForInput(std::chrono::milliseconds(50));
  EXPECT(GetTickCount64() - start >= 180);

  // A message for the window ends the wait at once.
  PostMessageA(mainWindow, WM_USER, 0, 0);
  start = GetTickCount64();
  waitForInput(std::chrono::milliseconds(5000));
  EXPECT(GetTickCount64() - start < 1000);
  MSG posted{};
  EXPECT(PeekMessageA(&posted, mainWindow, WM_USER, WM_USER, PM_REMOVE) != 0);
}

void f1PollSeesEachPressOnce() {
  pollF1();  // forget anything from before
  EXPECT(!pollF1());
  INPUT keys[2]{};
  for (INPUT& key : keys) {
    key.type = INPUT_KEYBOARD;
    key.ki.wVk = VK_F1;
  }
  keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
  EXPECT(SendInput(2, keys, sizeof(INPUT)) == 2);
  EXPECT(pollF1());
  EXPECT(!pollF1());
}

void closingEndsTheLoopWithZero() {
  DestroyWindow(mainWindow);
  int exitCode = 42;
  bool ended = false;
  for (int message = 0; message < 200 && !ended; ++message) {
    ended = !nextMessage(exitCode);
    if (!ended) dispatchMessage();
  }
  EXPECT(ended);
  EXPECT(exitCode == 0);
}

void creationFailureNamesTheCall() {
  std::string message;
  try {
    createVisualizer(GetModuleHandleA(nullptr), game, kCell);  // the class is registered already
  } catch (const std::runtime_error& error) {
    message = error.what();
  }
  const std::string expected =
      "cannot create the board window: RegisterClassExA failed (0x00000582";
  EXPECT(message.compare(0, expected.size(), expected) == 0);
  if (message.compare(0, expected.size(), expected) != 0)
    std::printf("  got: %s\n", message.c_str());
}

}  // namespace

int main() {
  // 24 pixels: far below the platform's default minimum width for a captioned window.
  game.boardSize = 3;
  game.colorCount = 4;
  loadBoard(game, {0, 1, 2, 3, 1, 2, 3, 0, 2});
  createVisualizer(GetModuleHandleA(nullptr), game, kCell);
  createPalette(4);

  windowFitsTheBoard();
  renderTargetCoversTheClientArea();
  paletteHasOneOpaqueBrushPerColour();
  brushLookupIsBoundsChecked();
  windowProcAnswersItsOwnMessages();
  paintMessagesRecurWhileIdle();
  idleWaitSleepsThoughAPaintIsDue();
  // A synthetic key press goes to whatever has the focus; only Wine's throwaway display is safe.
  if (runningUnderWine()) f1PollSeesEachPressOnce();
  closingEndsTheLoopWithZero();
  creationFailureNamesTheCall();

  std::printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
