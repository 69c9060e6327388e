// The Win32 play window: a fixed-size window drawn through a Direct2D render target, with the
// swatches' key labels and the status lines written by DirectWrite, and the window messages it
// turns into the session's moves. The message loop is the entry point's (main_win32.cpp).
#pragma once

#include "os/windows_api.h"

#include <d2d1.h>
#include <dwrite.h>

#include <cstdint>
#include <string>

#include "play/play_layout.h"
#include "play/play_session.h"

inline constexpr const char* kPlayWindowClass = "Tidefill Play";
inline constexpr const char* kPlayTitle = "Tidefill Play";

struct PlayWindow {
  HWND window = nullptr;
  PlaySession* session = nullptr;  // what input goes to and painting shows
  PlayLayout layout;
  uint32_t colorCount = 0;
  SIZE outerSize{};  // the whole window, frame and caption included
  std::string title;
  ID2D1Factory* factory = nullptr;
  ID2D1HwndRenderTarget* target = nullptr;  // made again after the device is lost
  ID2D1SolidColorBrush* brush = nullptr;    // takes each colour in turn
  IDWriteFactory* textFactory = nullptr;
  IDWriteTextFormat* statusFormat = nullptr;
  IDWriteTextFormat* labelFormat = nullptr;
};

// The largest cell whose window fits the screen's work area (frame and caption included).
uint32_t fittingCellOnScreen(uint32_t side, uint32_t colorCount);

// Opens the window at the screen's top-left corner with a client area of `view.layout`'s size,
// and makes the drawing factories; "" or what failed. `view.session` must be set.
std::string openPlayWindow(HINSTANCE instance, PlayWindow& view);

// Gives the window a new layout (a board file's board of another shape) and repaints it.
void fitPlayWindow(PlayWindow& view, const PlayLayout& layout, uint32_t colorCount);

// Sets the title when it differs from the one shown.
void setPlayWindowTitle(PlayWindow& view, const std::string& title);

// Releases the drawing resources and destroys the window if it is still open.
void closePlayWindow(PlayWindow& view);
