#include "play/win32_play_window.h"

#include <cstdio>
#include <optional>
#include <string>

#include "view/palette.h"

namespace {

constexpr PaletteColor kBackground{32, 32, 32};
constexpr PaletteColor kText{230, 230, 230};
constexpr PaletteColor kBlack{0, 0, 0};
constexpr PaletteColor kWhite{255, 255, 255};
constexpr float kTextSize = 14.0f;  // device-independent pixels, one a pixel here

// A fixed-size window: caption, system menu and minimise box.
constexpr DWORD kStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

template <typename Interface>
void release(Interface*& object) {
  if (object != nullptr) object->Release();
  object = nullptr;
}

std::string failed(const char* call, unsigned long code) {
  char number[16];
  std::snprintf(number, sizeof number, "0x%08lX", code);
  return std::string("cannot open the window: ") + call + " failed (" + number + ")";
}

SIZE outerSizeOf(const PlayLayout& layout) {
  RECT outer{0, 0, layout.width, layout.height};
  AdjustWindowRectEx(&outer, kStyle, FALSE, 0);
  return SIZE{outer.right - outer.left, outer.bottom - outer.top};
}

std::wstring widened(const std::string& text) {
  if (text.empty()) return {};
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

// Segoe UI where Windows has it, else a family every Wine prefix has.
const wchar_t* textFamily(IDWriteFactory* factory) {
  IDWriteFontCollection* fonts = nullptr;
  const wchar_t* chosen = L"Segoe UI";
  if (SUCCEEDED(factory->GetSystemFontCollection(&fonts, FALSE))) {
    for (const wchar_t* family : {L"Segoe UI", L"Tahoma", L"Arial", L"DejaVu Sans"}) {
      UINT32 index = 0;
      BOOL exists = FALSE;
      if (SUCCEEDED(fonts->FindFamilyName(family, &index, &exists)) && exists) {
        chosen = family;
        break;
      }
    }
    fonts->Release();
  }
  return chosen;
}

HRESULT makeTextFormats(PlayWindow& view) {
  HRESULT result = DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                                       reinterpret_cast<IUnknown**>(&view.textFactory));
  if (FAILED(result)) return result;
  const wchar_t* family = textFamily(view.textFactory);
  result = view.textFactory->CreateTextFormat(family, nullptr, DWRITE_FONT_WEIGHT_NORMAL,
                                              DWRITE_FONT_STYLE_NORMAL, DWRITE_FONT_STRETCH_NORMAL,
                                              kTextSize, L"en-us", &view.statusFormat);
  if (FAILED(result)) return result;
  result = view.textFactory->CreateTextFormat(family, nullptr, DWRITE_FONT_WEIGHT_BOLD,
                                              DWRITE_FONT_STYLE_NORMAL, DWRITE_FONT_STRETCH_NORMAL,
                                              kTextSize, L"en-us", &view.labelFormat);
  if (FAILED(result)) return result;
  view.statusFormat->SetWordWrapping(DWRITE_WORD_WRAPPING_NO_WRAP);
  view.labelFormat->SetTextAlignment(DWRITE_TEXT_ALIGNMENT_CENTER);
  view.labelFormat->SetParagraphAlignment(DWRITE_PARAGRAPH_ALIGNMENT_CENTER);
  return S_OK;
}

// The render target lives as long as the device under it; a lost one is made again here.
HRESULT makeRenderTarget(PlayWindow& view) {
  if (view.target != nullptr) return S_OK;
  RECT client{};
  GetClientRect(view.window, &client);
  D2D1_RENDER_TARGET_PROPERTIES properties{};  // default type, format and DPI (one unit a pixel)
  D2D1_HWND_RENDER_TARGET_PROPERTIES windowProperties{};
  windowProperties.hwnd = view.window;
  windowProperties.pixelSize.width = static_cast<UINT32>(client.right - client.left);
  windowProperties.pixelSize.height = static_cast<UINT32>(client.bottom - client.top);
  windowProperties.presentOptions = D2D1_PRESENT_OPTIONS_IMMEDIATELY;
  HRESULT result =
      view.factory->CreateHwndRenderTarget(&properties, &windowProperties, &view.target);
  if (FAILED(result)) return result;
  // Tiles and swatches fill whole pixels, so that each shows exactly its swatch's colour.
  view.target->SetAntialiasMode(D2D1_ANTIALIAS_MODE_ALIASED);
  view.target->SetTextAntialiasMode(D2D1_TEXT_ANTIALIAS_MODE_GRAYSCALE);
  const D2D1_COLOR_F white{1.0f, 1.0f, 1.0f, 1.0f};
  result = view.target->CreateSolidColorBrush(&white, nullptr, &view.brush);
  if (FAILED(result)) release(view.target);
  return result;
}

void useColor(PlayWindow& view, PaletteColor color) {
  const D2D1_COLOR_F value{color.red / 255.0f, color.green / 255.0f, color.blue / 255.0f, 1.0f};
  view.brush->SetColor(&value);
}

void fill(PlayWindow& view, int x, int y, int width, int height, PaletteColor color) {
  useColor(view, color);
  const D2D1_RECT_F rect{static_cast<float>(x), static_cast<float>(y),
                         static_cast<float>(x + width), static_cast<float>(y + height)};
  view.target->FillRectangle(&rect, view.brush);
}

void write(PlayWindow& view, const std::string& text, IDWriteTextFormat* format,
           const PixelRect& box, PaletteColor color) {
  const std::wstring wide = widened(text);
  IDWriteTextLayout* layout = nullptr;
  if (FAILED(view.textFactory->CreateTextLayout(wide.c_str(), static_cast<UINT32>(wide.size()),
                                                format, static_cast<float>(box.width),
                                                static_cast<float>(box.height), &layout)))
    return;
  useColor(view, color);
  const D2D1_POINT_2F origin{static_cast<float>(box.x), static_cast<float>(box.y)};
  view.target->DrawTextLayout(origin, layout, view.brush, D2D1_DRAW_TEXT_OPTIONS_CLIP);
  layout->Release();
}

void drawBoard(PlayWindow& view, const BoardColors& colors) {
  const int cell = view.layout.cell;
  const auto side = static_cast<int>(colors.side);
  for (int y = 0; y < side; ++y) {
    // One rectangle per run of a colour along the row: far fewer calls on large boards.
    for (int x = 0; x < side;) {
      const uint8_t color = colors.colors[static_cast<size_t>(y * side + x)];
      int end = x + 1;
      while (end < side && colors.colors[static_cast<size_t>(y * side + end)] == color) ++end;
      fill(view, x * cell, y * cell, (end - x) * cell, cell, fixedPaletteColor(color));
      x = end;
    }
  }
}

void drawSwatches(PlayWindow& view, std::optional<uint32_t> hint) {
  for (uint32_t color = 0; color < view.colorCount; ++color) {
    const PixelRect& rect = view.layout.swatches[color];
    const PaletteColor swatch = fixedPaletteColor(color);
    if (hint == color) {  // a frame around the hinted colour
      fill(view, rect.x - 4, rect.y - 4, rect.width + 8, rect.height + 8, kWhite);
      fill(view, rect.x - 2, rect.y - 2, rect.width + 4, rect.height + 4, kBlack);
    }
    fill(view, rect.x, rect.y, rect.width, rect.height, swatch);
    if (const std::optional<char> key = keyOfColor(color))
      write(view, std::string(1, *key), view.labelFormat, rect,
            isLightColor(swatch) ? kBlack : kWhite);
  }
}

void paint(PlayWindow& view) {
  if (FAILED(makeRenderTarget(view))) return;
  const PlaySession& session = *view.session;
  const PlayLayout& layout = view.layout;
  view.target->BeginDraw();
  const D2D1_COLOR_F background{kBackground.red / 255.0f, kBackground.green / 255.0f,
                                kBackground.blue / 255.0f, 1.0f};
  view.target->Clear(&background);
  drawBoard(view, session.state().current);
  drawSwatches(view, session.hintColor());
  const int lineWidth = layout.width - 2 * kLayoutGap;
  write(view, session.movesLine(), view.statusFormat,
        PixelRect{kLayoutGap, layout.statusTop, lineWidth, kStatusLineHeight}, kText);
  write(view, session.optimumLine(), view.statusFormat,
        PixelRect{kLayoutGap, layout.statusTop + kStatusLineHeight, lineWidth, kStatusLineHeight},
        kText);
  if (view.target->EndDraw(nullptr, nullptr) == static_cast<HRESULT>(D2DERR_RECREATE_TARGET)) {
    release(view.brush);
    release(view.target);
    InvalidateRect(view.window, nullptr, FALSE);  // painted again on a new target
  }
}

std::optional<uint32_t> colorOfCharacter(WPARAM character) {
  if (character >= '1' && character <= '9') return static_cast<uint32_t>(character - '1');
  if (character == '0') return 9u;
  return std::nullopt;
}

// Characters rather than key codes, so that the keys are those the keyboard layout shows.
void typed(PlayWindow& view, WPARAM character) {
  PlaySession& session = *view.session;
  if (const std::optional<uint32_t> color = colorOfCharacter(character)) {
    session.pressColor(*color);
    return;
  }
  switch (character) {
    case 'q':
    case 'Q':
    case VK_ESCAPE:
      DestroyWindow(view.window);  // WM_DESTROY ends the loop with 0
      break;
    case 'h':
    case 'H':
      session.askHint();
      break;
    case 'u':
    case 'U':
    case VK_BACK:
      session.takeBackMove();
      break;
    case 'r':
    case 'R':
      session.restartBoard();
      break;
    case 'n':
    case 'N':
      session.nextBoard();
      break;
    default:
      break;
  }
}

void clicked(PlayWindow& view, int x, int y) {
  PlaySession& session = *view.session;
  if (const auto tile = tileAt(view.layout, x, y))
    session.pressColor(session.state().current.colors[*tile]);
  else if (const auto color = swatchAt(view.layout, x, y))
    session.pressColor(*color);
}

LRESULT CALLBACK playWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* creation = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
  }
  auto* view = reinterpret_cast<PlayWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (view == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT painting;
      BeginPaint(window, &painting);
      paint(*view);
      EndPaint(window, &painting);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;  // the paint covers the whole client area
    case WM_CHAR:
      typed(*view, wParam);
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_LBUTTONDOWN:
      clicked(*view, static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_GETMINMAXINFO:
      // The default minimum of a captioned window could be larger than a small layout.
      reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize =
          POINT{view->outerSize.cx, view->outerSize.cy};
      return 0;
    case WM_DESTROY:
      view->window = nullptr;
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace

uint32_t fittingCellOnScreen(uint32_t side, uint32_t colorCount) {
  RECT work{0, 0, 1024, 768};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  RECT frame{0, 0, 0, 0};
  AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
  return fittingCell(side, colorCount, (work.right - work.left) - (frame.right - frame.left),
                     (work.bottom - work.top) - (frame.bottom - frame.top));
}

std::string openPlayWindow(HINSTANCE instance, PlayWindow& view) {
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = playWindowProc;
  windowClass.hInstance = instance;
  // IDC_ARROW, spelled for the ANSI call whether or not UNICODE is defined.
  windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
  windowClass.lpszClassName = kPlayWindowClass;
  if (RegisterClassExA(&windowClass) == 0) return failed("RegisterClassExA", GetLastError());

  if (const HRESULT result =
          D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, __uuidof(ID2D1Factory), nullptr,
                            reinterpret_cast<void**>(&view.factory));
      FAILED(result))
    return failed("D2D1CreateFactory", static_cast<unsigned long>(result));
  if (const HRESULT result = makeTextFormats(view); FAILED(result))
    return failed("DirectWrite", static_cast<unsigned long>(result));

  view.outerSize = outerSizeOf(view.layout);
  view.title = kPlayTitle;
  view.window =
      CreateWindowExA(0, kPlayWindowClass, view.title.c_str(), kStyle, 0, 0, view.outerSize.cx,
                      view.outerSize.cy, nullptr, nullptr, instance, &view);
  if (view.window == nullptr) return failed("CreateWindowExA", GetLastError());
  if (const HRESULT result = makeRenderTarget(view); FAILED(result))
    return failed("ID2D1Factory::CreateHwndRenderTarget", static_cast<unsigned long>(result));
  ShowWindow(view.window, SW_SHOWNORMAL);
  return "";
}

void fitPlayWindow(PlayWindow& view, const PlayLayout& layout, uint32_t colorCount) {
  view.layout = layout;
  view.colorCount = colorCount;
  view.outerSize = outerSizeOf(layout);
  SetWindowPos(view.window, nullptr, 0, 0, view.outerSize.cx, view.outerSize.cy,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (view.target != nullptr) {
    const D2D1_SIZE_U pixels{static_cast<UINT32>(layout.width), static_cast<UINT32>(layout.height)};
    if (FAILED(view.target->Resize(&pixels))) {
      release(view.brush);
      release(view.target);
    }
  }
  InvalidateRect(view.window, nullptr, FALSE);
}

void setPlayWindowTitle(PlayWindow& view, const std::string& title) {
  if (title == view.title) return;
  view.title = title;
  SetWindowTextA(view.window, title.c_str());
}

void closePlayWindow(PlayWindow& view) {
  if (view.window != nullptr) DestroyWindow(view.window);
  release(view.brush);
  release(view.target);
  release(view.labelFormat);
  release(view.statusFormat);
  release(view.textFactory);
  release(view.factory);
}
