// The board window on SDL2 (Linux, macOS): a fixed-size window, a renderer without vsync or
// blending, one colour per colour index, and a paint message whenever SDL's queue is empty.
// Known gaps: the renderer is never recreated after a device loss (the software renderer used by
// default has none), and a window smaller than asked for simply shows fewer tiles.
#include "view/sdl_visualizer.h"

#include <stdexcept>
#include <string>
#include <string_view>

#include "app/program_state.h"
#include "board/board.h"
#include "board/draw.h"
#include "view/visualizer.h"

namespace {

SDL_Event currentEvent{};
bool currentIsPaint = false;
bool windowF1Pressed = false;

// Per-colour rectangle lists reused across frames, so a paint allocates nothing.
std::vector<std::vector<SDL_Rect>> rectsByColor;

[[noreturn]] void failWith(const char* call) {
  throw std::runtime_error(std::string("cannot create the board window: ") + call + ": " +
                           SDL_GetError());
}

bool isCloseRequest(const SDL_Event& event) {
  return event.type == SDL_QUIT ||
         (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE);
}

}  // namespace

bool initVideo() {
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) return true;
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // Software rendering is exact and dependable under Xvfb and the dummy driver; the
  // environment's SDL_RENDER_DRIVER still wins over this default.
  SDL_SetHintWithPriority(SDL_HINT_RENDER_DRIVER, "software", SDL_HINT_DEFAULT);
  SDL_SetHintWithPriority(SDL_HINT_RENDER_VSYNC, "0", SDL_HINT_DEFAULT);
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

bool takeWindowF1Press() {
  const bool pressed = windowF1Pressed;
  windowF1Pressed = false;
  return pressed;
}

void createVisualizer(void* /*instance*/) {
  if (!initVideo()) failWith("SDL_Init");
  const int side = settings.cellSize * settings.boardSize;
  mainWindow = SDL_CreateWindow(kWindowTitle, 0, 0, side, side, SDL_WINDOW_SHOWN);
  if (mainWindow == nullptr) failWith("SDL_CreateWindow");
  renderer = SDL_CreateRenderer(mainWindow, -1, 0);
  if (renderer == nullptr) failWith("SDL_CreateRenderer");
  SDL_GetRendererOutputSize(renderer, &outputWidth, &outputHeight);
  SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_NONE);
}

void createPalette() {
  if (!brushes.empty()) return;
  const auto count = static_cast<uint32_t>(settings.colorCount);
  brushes.reserve(count);
  for (uint32_t i = 0; i < count; ++i) brushes.push_back(paletteColorFromDraw(clockSeededDraw()));
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
  // SDL only reports keys of its own windows; the id is 0 while focus is still being settled.
  const SDL_KeyboardEvent& key = currentEvent.key;
  if (currentEvent.type == SDL_KEYDOWN && key.keysym.sym == SDLK_F1 && key.repeat == 0 &&
      (key.windowID == 0 || key.windowID == SDL_GetWindowID(mainWindow)))
    windowF1Pressed = true;
}

void paintBoard() {
  for (auto& rects : rectsByColor) rects.clear();
  if (rectsByColor.size() < brushes.size()) rectsByColor.resize(brushes.size());
  const auto side = static_cast<uint32_t>(settings.boardSize);
  const auto cell = static_cast<int>(settings.cellSize);
  for (uint32_t y = 0; y < side; ++y) {
    for (uint32_t x = 0; x < side; ++x) {
      const uint32_t color = game.board[tileIndex(game, x, y)].color;
      brushFor(color);  // a colour without a brush is a broken invariant: throw, don't draw
      rectsByColor[color].push_back(
          SDL_Rect{static_cast<int>(x) * cell, static_cast<int>(y) * cell, cell, cell});
    }
  }
  SDL_SetRenderDrawColor(renderer, 0, 0, 0, 0);
  SDL_RenderClear(renderer);
  for (uint32_t color = 0; color < brushes.size(); ++color) {
    const std::vector<SDL_Rect>& rects = rectsByColor[color];
    if (rects.empty()) continue;
    const PaletteColor& brush = brushes[color];
    SDL_SetRenderDrawColor(renderer, brush.red, brush.green, brush.blue, SDL_ALPHA_OPAQUE);
    SDL_RenderFillRects(renderer, rects.data(), static_cast<int>(rects.size()));
  }
  SDL_RenderPresent(renderer);
}

void closeVisualizer() {
  if (renderer != nullptr) SDL_DestroyRenderer(renderer);
  if (mainWindow != nullptr) SDL_DestroyWindow(mainWindow);
  renderer = nullptr;
  mainWindow = nullptr;
  outputWidth = outputHeight = 0;
  brushes.clear();
  windowF1Pressed = false;
}
