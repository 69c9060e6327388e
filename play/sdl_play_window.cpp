#include "play/sdl_play_window.h"

#include <optional>
#include <string>

#include "view/palette.h"

namespace {

constexpr SDL_Color kBackground{32, 32, 32, 255};
constexpr SDL_Color kText{230, 230, 230, 255};

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
  return isLightColor(swatch) ? SDL_Color{0, 0, 0, 255} : SDL_Color{255, 255, 255, 255};
}

}  // namespace

void paintPlayWindow(PlayWindow& view, const PlaySession& session) {
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

namespace {

std::optional<uint32_t> colorOfKey(SDL_Keycode key) {
  if (key >= SDLK_1 && key <= SDLK_9) return static_cast<uint32_t>(key - SDLK_1);
  if (key == SDLK_0) return 9u;
  if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return static_cast<uint32_t>(key - SDLK_KP_1);
  if (key == SDLK_KP_0) return 9u;
  return std::nullopt;
}

// Hands one event to the session; false when the program should end.
}  // namespace

bool handlePlayEvent(const SDL_Event& event, PlayWindow& view, PlaySession& session,
                     bool& repaint) {
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
