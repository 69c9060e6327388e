// The board window on SDL2 (Linux, macOS): a fixed-size window painted through its window
// surface, one colour per colour index, and a paint message whenever SDL's queue is empty. A
// paint fills only the tiles whose colour changed since the last one and presents the rectangle
// around them; the first paint, and the first after an exposure, redraws everything.
// Known gap: a window smaller than asked for simply shows fewer tiles.
#include "view/sdl_visualizer.h"

#include <SDL_syswm.h>

#include <stdexcept>
#include <string>
#include <string_view>

#include "board/board.h"
#include "board/draw.h"
#include "view/tile_runs.h"
#include "view/visualizer.h"

namespace {

// What the window was handed to paint: the game and the side of one tile in pixels.
const Game* shownGame = nullptr;
int cellPixels = 0;

SDL_Event currentEvent{};
bool currentIsPaint = false;
bool windowF1Pressed = false;

// What the window shows: the surface painted last and the colour of every tile on it. Anything
// that may have spoiled the picture sets wholeFrameDue.
SDL_Surface* paintedSurface = nullptr;
std::vector<uint32_t> paintedColors;
bool wholeFrameDue = true;

// Buffers reused across frames, so a paint allocates nothing.
TileRepaint repaint;
std::vector<Uint32> surfaceColors;  // brushes in the surface's pixel format

[[noreturn]] void failWith(const char* call) {
  throw std::runtime_error(std::string("cannot create the board window: ") + call + ": " +
                           SDL_GetError());
}

bool isCloseRequest(const SDL_Event& event) {
  return event.type == SDL_QUIT ||
         (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE);
}

// Events after which the window's contents may be gone or stale.
bool spoilsPicture(const SDL_Event& event) {
  if (event.type != SDL_WINDOWEVENT) return false;
  switch (event.window.event) {
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_MAXIMIZED:
    case SDL_WINDOWEVENT_RESIZED:
    case SDL_WINDOWEVENT_SIZE_CHANGED:
      return true;
    default:
      return false;
  }
}

SDL_Rect pixelsOf(uint32_t row, uint32_t column, uint32_t width, uint32_t height) {
  const int cell = cellPixels;
  return SDL_Rect{static_cast<int>(column) * cell, static_cast<int>(row) * cell,
                  static_cast<int>(width) * cell, static_cast<int>(height) * cell};
}

}  // namespace

bool initVideo() {
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) return true;
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // The window surface on the platform's own framebuffer (MIT-SHM on X11), not on an OpenGL
  // texture: without a GPU that means Mesa's software rasteriser, its threads and several
  // milliseconds a frame.
  SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_DEFAULT);
  // Without this, SDL_PollEvent reports an empty queue once per pump cycle even when events are
  // waiting, and a paint would run ahead of them.
  SDL_SetHint(SDL_HINT_POLL_SENTINEL, "0");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
  // With no display SDL falls back to drivers that draw nowhere; a person would see no board.
  // Asked for by name (SDL_VIDEODRIVER), as tests and benchmarks do, they are fine.
  const char* driver = SDL_GetCurrentVideoDriver();
  const std::string_view chosen = driver != nullptr ? driver : "";
  if ((chosen == "offscreen" || chosen == "dummy") &&
      SDL_GetHint(SDL_HINT_VIDEODRIVER) == nullptr) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    SDL_SetError("no display found (DISPLAY is not set or the X server cannot be reached)");
    return false;
  }
  return true;
}

const PaletteColor& brushFor(uint32_t color) {
  if (color >= brushes.size()) throw std::out_of_range("invalid vector subscript");
  return brushes[color];
}

bool openWindowSystem(std::string& reason) {
  if (initVideo()) return true;
  reason = SDL_GetError();
  return false;
}

void closeWindowSystem() {
  closeVisualizer();
  SDL_Quit();
}

bool takeWindowF1Press() {
  const bool pressed = windowF1Pressed;
  windowF1Pressed = false;
  return pressed;
}

bool windowInputPending() {
  SDL_PumpEvents();
  return windowF1Pressed || SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
}

int windowEventDescriptor() {
#if defined(SDL_VIDEO_DRIVER_X11)
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (mainWindow != nullptr && SDL_GetWindowWMInfo(mainWindow, &info) &&
      info.subsystem == SDL_SYSWM_X11)
    return ConnectionNumber(info.info.x11.display);
#endif
  return -1;
}

void createVisualizer(void* /*instance*/, const Game& game, uint32_t cellSize) {
  if (!initVideo()) failWith("SDL_Init");
  shownGame = &game;
  cellPixels = static_cast<int>(cellSize);
  const int side = cellPixels * static_cast<int>(game.boardSize);
  mainWindow = SDL_CreateWindow(kWindowTitle, 0, 0, side, side, SDL_WINDOW_SHOWN);
  if (mainWindow == nullptr) failWith("SDL_CreateWindow");
  const SDL_Surface* surface = SDL_GetWindowSurface(mainWindow);
  if (surface == nullptr) failWith("SDL_GetWindowSurface");
  outputWidth = surface->w;
  outputHeight = surface->h;
  invalidateWindow();
}

void createPalette(uint32_t colorCount) {
  if (!brushes.empty()) return;
  brushes.reserve(colorCount);
  for (uint32_t i = 0; i < colorCount; ++i)
    brushes.push_back(paletteColorFromDraw(clockSeededDraw()));
}

bool nextMessage(int& exitCode) {
  currentIsPaint = SDL_PollEvent(&currentEvent) == 0;
  if (!currentIsPaint && isCloseRequest(currentEvent)) {
    exitCode = 0;
    return false;
  }
  return true;
}

void dispatchMessage() {
  if (currentIsPaint) {
    paintBoard();
    return;
  }
  if (spoilsPicture(currentEvent)) wholeFrameDue = true;
  // SDL only reports keys of its own windows; the id is 0 while focus is still being settled.
  const SDL_KeyboardEvent& key = currentEvent.key;
  if (currentEvent.type == SDL_KEYDOWN && key.keysym.sym == SDLK_F1 && key.repeat == 0 &&
      (key.windowID == 0 || key.windowID == SDL_GetWindowID(mainWindow)))
    windowF1Pressed = true;
}

void invalidateWindow() {
  wholeFrameDue = true;
}

void paintBoard() {
  SDL_Surface* surface = SDL_GetWindowSurface(mainWindow);
  if (surface == nullptr) return;  // nothing to draw on; the next surface is painted whole
  const Game& game = *shownGame;
  if (surface != paintedSurface || paintedColors.size() != game.board.size()) wholeFrameDue = true;
  // A frame that throws below leaves the picture unknown: the next one starts afresh.
  const bool whole = wholeFrameDue;
  wholeFrameDue = true;
  collectRepaint(
      game.boardSize, [&](size_t index) { return game.board[index].color; }, whole, paintedColors,
      repaint);
  if (repaint.runs.empty()) {
    wholeFrameDue = false;
    return;
  }
  // Every colour is checked before anything is drawn: a colour without a brush is a broken
  // invariant, and throws.
  for (const TileRun& run : repaint.runs) brushFor(run.color);

  surfaceColors.clear();
  for (const PaletteColor& brush : brushes)
    surfaceColors.push_back(SDL_MapRGB(surface->format, brush.red, brush.green, brush.blue));
  if (whole) SDL_FillRect(surface, nullptr, SDL_MapRGBA(surface->format, 0, 0, 0, 0));
  for (const TileRun& run : repaint.runs) {
    const SDL_Rect pixels = pixelsOf(run.row, run.column, run.length, 1);
    SDL_FillRect(surface, &pixels, surfaceColors[run.color]);
  }

  if (whole) {
    SDL_UpdateWindowSurface(mainWindow);
  } else {
    const TileSpan& bounds = repaint.bounds;
    const SDL_Rect changed = pixelsOf(bounds.row, bounds.column, bounds.width, bounds.height);
    SDL_UpdateWindowSurfaceRects(mainWindow, &changed, 1);
  }
  paintedSurface = surface;
  wholeFrameDue = false;
}

void closeVisualizer() {
  if (mainWindow != nullptr) SDL_DestroyWindow(mainWindow);
  mainWindow = nullptr;
  shownGame = nullptr;
  cellPixels = 0;
  paintedSurface = nullptr;
  paintedColors.clear();
  wholeFrameDue = true;
  outputWidth = outputHeight = 0;
  brushes.clear();
  windowF1Pressed = false;
}
