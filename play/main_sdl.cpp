// tidefill-play on SDL2: the window, its drawing with SDL_ttf text, and the event loop that turns
// keys and clicks into the session's moves. Everything else is portable (play_session.h).
#include <SDL.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <memory>
#include <string>

#include "play/play_layout.h"
#include "play/play_options.h"
#include "play/play_session.h"
#include "view/palette.h"

namespace {

constexpr const char* kTitle = "Tidefill Play";
constexpr SDL_Color kBackground{32, 32, 32, 255};
constexpr SDL_Color kText{230, 230, 230, 255};
constexpr int kIdleWaitMs = 50;

// Runs `action` at the end of the scope: SDL's and SDL_ttf's shutdowns on every way out.
struct AtExit {
  void (*action)();
  ~AtExit() { action(); }
};

// The event a worker thread pushes when a result is in, so that the loop wakes at once.
Uint32 resultEvent = 0;

struct Window {
  SDL_Window* window = nullptr;
  TTF_Font* font = nullptr;
  TTF_Font* boldFont = nullptr;
  PlayLayout layout;
  uint32_t colorCount = 0;
};

Uint32 mapped(const SDL_Surface* surface, PaletteColor color) {
  return SDL_MapRGB(surface->format, color.red, color.green, color.blue);
}

void drawText(SDL_Surface* target, TTF_Font* font, const std::string& text, SDL_Color color, int x,
              int y, bool centred = false) {
  SDL_Surface* rendered = TTF_RenderUTF8_Blended(font, text.c_str(), color);
  if (rendered == nullptr) return;
  SDL_Rect where{centred ? x - rendered->w / 2 : x, centred ? y - rendered->h / 2 : y, 0, 0};
  SDL_BlitSurface(rendered, nullptr, target, &where);
  SDL_FreeSurface(rendered);
}

// Black on light swatches, white on dark ones.
SDL_Color labelColor(PaletteColor swatch) {
  const int luma = 299 * swatch.red + 587 * swatch.green + 114 * swatch.blue;
  return luma > 128000 ? SDL_Color{0, 0, 0, 255} : SDL_Color{255, 255, 255, 255};
}

void paint(Window& view, const PlaySession& session) {
  SDL_Surface* surface = SDL_GetWindowSurface(view.window);
  if (surface == nullptr) return;
  const PlayLayout& layout = view.layout;
  SDL_FillRect(surface, nullptr,
               SDL_MapRGB(surface->format, kBackground.r, kBackground.g, kBackground.b));
  const BoardColors& colors = session.state().current;
  for (uint32_t tile = 0; tile < colors.colors.size(); ++tile) {
    const SDL_Rect square{static_cast<int>(tile % colors.side) * layout.cell,
                          static_cast<int>(tile / colors.side) * layout.cell, layout.cell,
                          layout.cell};
    SDL_FillRect(surface, &square, mapped(surface, fixedPaletteColor(colors.colors[tile])));
  }
  for (uint32_t color = 0; color < view.colorCount; ++color) {
    const PixelRect& rect = layout.swatches[color];
    const PaletteColor swatch = fixedPaletteColor(color);
    if (session.hintColor() == color) {  // a frame around the hinted colour
      const SDL_Rect frame{rect.x - 4, rect.y - 4, rect.width + 8, rect.height + 8};
      SDL_FillRect(surface, &frame, SDL_MapRGB(surface->format, 255, 255, 255));
      const SDL_Rect inner{rect.x - 2, rect.y - 2, rect.width + 4, rect.height + 4};
      SDL_FillRect(surface, &inner, SDL_MapRGB(surface->format, 0, 0, 0));
    }
    const SDL_Rect square{rect.x, rect.y, rect.width, rect.height};
    SDL_FillRect(surface, &square, mapped(surface, swatch));
    if (const std::optional<char> key = keyOfColor(color))
      drawText(surface, view.boldFont, std::string(1, *key), labelColor(swatch),
               rect.x + rect.width / 2, rect.y + rect.height / 2, true);
  }
  drawText(surface, view.font, session.movesLine(), kText, kLayoutGap, layout.statusTop);
  drawText(surface, view.font, session.optimumLine(), kText, kLayoutGap,
           layout.statusTop + kStatusLineHeight);
  SDL_UpdateWindowSurface(view.window);
}

std::optional<uint32_t> colorOfKey(SDL_Keycode key) {
  if (key >= SDLK_1 && key <= SDLK_9) return static_cast<uint32_t>(key - SDLK_1);
  if (key == SDLK_0) return 9u;
  if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return static_cast<uint32_t>(key - SDLK_KP_1);
  if (key == SDLK_KP_0) return 9u;
  return std::nullopt;
}

// Hands one event to the session; false when the program should end.
bool handle(const SDL_Event& event, Window& view, PlaySession& session, bool& repaint) {
  switch (event.type) {
    case SDL_QUIT:
      return false;
    case SDL_WINDOWEVENT:
      if (event.window.event == SDL_WINDOWEVENT_CLOSE) return false;
      repaint = true;  // shown, exposed, restored: the picture may be gone
      return true;
    case SDL_KEYDOWN: {
      const SDL_Keycode key = event.key.keysym.sym;
      if (key == SDLK_q || key == SDLK_ESCAPE) return false;
      if (const std::optional<uint32_t> color = colorOfKey(key))
        session.pressColor(*color);
      else if (key == SDLK_h)
        session.askHint();
      else if (key == SDLK_u || key == SDLK_BACKSPACE)
        session.takeBackMove();
      else if (key == SDLK_r)
        session.restartBoard();
      else if (key == SDLK_n)
        session.nextBoard();
      repaint = true;
      return true;
    }
    case SDL_MOUSEBUTTONDOWN:
      if (event.button.button != SDL_BUTTON_LEFT) return true;
      if (const auto tile = tileAt(view.layout, event.button.x, event.button.y))
        session.pressColor(session.state().current.colors[*tile]);
      else if (const auto color = swatchAt(view.layout, event.button.x, event.button.y))
        session.pressColor(*color);
      repaint = true;
      return true;
    default:
      return true;
  }
}

TTF_Font* openFont(const char* path, int style) {
  TTF_Font* font = TTF_OpenFont(path, 14);
  if (font != nullptr) TTF_SetFontStyle(font, style);
  return font;
}

int run(const PlayOptions& options, BoardSource source) {
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_DEFAULT);
  if (SDL_Init(SDL_INIT_VIDEO) != 0)
    return playError(1, std::string("cannot open a window: ") + SDL_GetError());
  const AtExit sdl{SDL_Quit};
  // Without a display SDL falls back to drivers that draw nowhere; a person would see nothing.
  const char* driver = SDL_GetCurrentVideoDriver();
  const std::string chosen = driver != nullptr ? driver : "";
  if ((chosen == "offscreen" || chosen == "dummy") && SDL_GetHint(SDL_HINT_VIDEODRIVER) == nullptr)
    return playError(1,
                     "cannot open a window: no display found (DISPLAY is not set or the X "
                     "server cannot be reached)");
  if (TTF_Init() != 0) return playError(1, std::string("cannot start SDL_ttf: ") + TTF_GetError());
  const AtExit ttf{TTF_Quit};

  Window view;
  view.font = openFont(TIDEFILL_PLAY_FONT, TTF_STYLE_NORMAL);
  view.boldFont = openFont(TIDEFILL_PLAY_FONT, TTF_STYLE_BOLD);
  if (view.font == nullptr || view.boldFont == nullptr)
    return playError(
        1, std::string("cannot open the font ") + TIDEFILL_PLAY_FONT + ": " + TTF_GetError());
  // The window fits the first board, and follows a board file's boards of other sizes.
  const auto sizeOfFirst = [&](uint32_t BoardColors::*field, uint32_t seeded) {
    return source.fileBoards.empty() ? seeded : source.fileBoards.front().*field;
  };
  const uint32_t side = sizeOfFirst(&BoardColors::side, source.side);
  const uint32_t colorCount = sizeOfFirst(&BoardColors::colorCount, source.colorCount);
  SDL_Rect usable{0, 0, 1024, 768};
  SDL_GetDisplayUsableBounds(0, &usable);
  const auto cellFor = [&](uint32_t boardSide, uint32_t boardColors) {
    return options.cell ? *options.cell : fittingCell(boardSide, boardColors, usable.w, usable.h);
  };

  resultEvent = SDL_RegisterEvents(1);
  // Its threads wake the loop through the window, so it ends before the window does.
  auto owned = std::make_unique<PlaySession>(options, std::move(source), std::cout, [] {
    SDL_Event event{};
    event.type = resultEvent;
    SDL_PushEvent(&event);
  });
  PlaySession& session = *owned;
  view.layout = layOut(side, colorCount, cellFor(side, colorCount));
  view.colorCount = colorCount;
  view.window =
      SDL_CreateWindow(kTitle, 0, 0, view.layout.width, view.layout.height, SDL_WINDOW_SHOWN);
  if (view.window == nullptr)
    return playError(1, std::string("cannot open a window: ") + SDL_GetError());
  session.begin();

  bool repaint = true;
  for (bool running = true; running;) {
    const std::string title = std::string(kTitle) + " - " + session.boardName();
    if (title != SDL_GetWindowTitle(view.window)) SDL_SetWindowTitle(view.window, title.c_str());
    const BoardColors& shown = session.state().current;
    if (shown.side != view.layout.side || shown.colorCount != view.colorCount) {
      // A board file's next board of another size: the window follows it.
      view.layout = layOut(shown.side, shown.colorCount, cellFor(shown.side, shown.colorCount));
      view.colorCount = shown.colorCount;
      SDL_SetWindowSize(view.window, view.layout.width, view.layout.height);
      repaint = true;
    }
    if (session.update(Clock::now())) repaint = true;
    if (repaint) {
      paint(view, session);
      repaint = false;
    }
    int waitMs = kIdleWaitMs;
    if (const auto step = session.nextWatchStep()) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(*step - Clock::now());
      waitMs = static_cast<int>(std::clamp<int64_t>(left.count(), 0, kIdleWaitMs));
    }
    SDL_Event event;
    if (SDL_WaitEventTimeout(&event, waitMs) != 0) {
      running = handle(event, view, session, repaint);
      while (running && SDL_PollEvent(&event) != 0) running = handle(event, view, session, repaint);
    }
  }
  owned.reset();
  TTF_CloseFont(view.font);
  TTF_CloseFont(view.boldFont);
  SDL_DestroyWindow(view.window);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  auto parsed = parsePlayOptions(argc, argv);
  if (const int* status = std::get_if<int>(&parsed)) return *status;
  const PlayOptions& options = std::get<PlayOptions>(parsed);
  auto source = boardSource(options);
  if (const auto* refusal = std::get_if<std::string>(&source)) return playError(2, *refusal);
  return run(options, std::get<BoardSource>(std::move(source)));
}
