#include "play/sdl_play_window.h"

#include <algorithm>
#include <optional>
#include <string>

#include "view/palette.h"

namespace {

constexpr SDL_Color kBackground{32, 32, 32, 255};
constexpr SDL_Color kText{230, 230, 230, 255};

Uint32 mapped(const SDL_Surface* surface, PaletteColor color) {
  return SDL_MapRGB(surface->format, color.red, color.green, color.blue);
}

Uint32 background(const SDL_Surface* surface) {
  return SDL_MapRGB(surface->format, kBackground.r, kBackground.g, kBackground.b);
}

// Text on a known background, in the window's own pixel format: drawing it is then a plain copy
// instead of a blend through SDL's slowest blitter, every time a line changes.
OwnedSurface renderText(TTF_Font* font, const std::string& text, SDL_Color color,
                        SDL_Color background, const SDL_Surface* target) {
  const OwnedSurface shaded(TTF_RenderUTF8_Shaded(font, text.c_str(), color, background));
  if (shaded == nullptr) return nullptr;
  return OwnedSurface(SDL_ConvertSurface(shaded.get(), target->format, 0));
}

SDL_Color sdlColor(PaletteColor color) {
  return {color.red, color.green, color.blue, 255};
}

void blitAt(SDL_Surface* text, SDL_Surface* target, int x, int y) {
  if (text == nullptr) return;
  SDL_Rect where{x, y, 0, 0};
  SDL_BlitSurface(text, nullptr, target, &where);
}

// Black on light swatches, white on dark ones.
SDL_Color labelColor(PaletteColor swatch) {
  return isLightColor(swatch) ? SDL_Color{0, 0, 0, 255} : SDL_Color{255, 255, 255, 255};
}

SDL_Rect sdlRect(const PixelRect& rect, int margin = 0) {
  return {rect.x - margin, rect.y - margin, rect.width + 2 * margin, rect.height + 2 * margin};
}

constexpr int kHintFrame = 4;  // pixels around the hinted swatch

void paintBoardTiles(PlayWindow& view, SDL_Surface* surface, const BoardColors& colors,
                     bool whole) {
  collectRepaint(
      colors.side, [&](size_t tile) { return colors.colors[tile]; }, whole, view.paintedTiles,
      view.repaint);
  const int cell = view.layout.cell;
  for (const TileRun& run : view.repaint.runs) {
    const SDL_Rect pixels{static_cast<int>(run.column) * cell, static_cast<int>(run.row) * cell,
                          static_cast<int>(run.length) * cell, cell};
    SDL_FillRect(surface, &pixels, mapped(surface, fixedPaletteColor(run.color)));
  }
  const TileSpan& bounds = view.repaint.bounds;
  if (bounds.width > 0)
    view.updateRects.push_back(
        {static_cast<int>(bounds.column) * cell, static_cast<int>(bounds.row) * cell,
         static_cast<int>(bounds.width) * cell, static_cast<int>(bounds.height) * cell});
}

void paintSwatch(PlayWindow& view, SDL_Surface* surface, uint32_t color, bool hinted) {
  const PixelRect& rect = view.layout.swatches[color];
  const SDL_Rect area = sdlRect(rect, kHintFrame);
  SDL_FillRect(surface, &area, background(surface));
  if (hinted) {  // a white frame, then a black one, around the hinted colour
    SDL_FillRect(surface, &area, SDL_MapRGB(surface->format, 255, 255, 255));
    const SDL_Rect inner = sdlRect(rect, kHintFrame / 2);
    SDL_FillRect(surface, &inner, SDL_MapRGB(surface->format, 0, 0, 0));
  }
  const PaletteColor swatch = fixedPaletteColor(color);
  const SDL_Rect square = sdlRect(rect);
  SDL_FillRect(surface, &square, mapped(surface, swatch));
  if (color < view.keyLabels.size()) {
    SDL_Surface* label = view.keyLabels[color].get();
    if (label != nullptr)
      blitAt(label, surface, rect.x + rect.width / 2 - label->w / 2,
             rect.y + rect.height / 2 - label->h / 2);
  }
  view.updateRects.push_back(area);
}

void paintSwatches(PlayWindow& view, SDL_Surface* surface, std::optional<uint32_t> hint,
                   bool whole) {
  // Rendered once a colour: a later board of a file may bring more colours.
  while (view.keyLabels.size() < view.colorCount) {
    const uint32_t color = static_cast<uint32_t>(view.keyLabels.size());
    const std::optional<char> key = keyOfColor(color);
    if (!key) break;
    view.keyLabels.push_back(renderText(view.boldFont, std::string(1, *key),
                                        labelColor(fixedPaletteColor(color)),
                                        sdlColor(fixedPaletteColor(color)), surface));
  }
  const auto shown = [&](std::optional<uint32_t> color) {
    return color && *color < view.colorCount;
  };
  if (whole) {
    for (uint32_t color = 0; color < view.colorCount; ++color)
      paintSwatch(view, surface, color, hint == color);
  } else if (hint != view.paintedHint) {
    if (shown(view.paintedHint)) paintSwatch(view, surface, *view.paintedHint, false);
    if (shown(hint)) paintSwatch(view, surface, *hint, true);
  }
  view.paintedHint = hint;
}

void paintStatus(PlayWindow& view, SDL_Surface* surface, const PlaySession& session, bool whole) {
  const std::array<std::string, kStatusLines> lines{session.movesLine(), session.optimumLine()};
  bool changed = whole;
  for (size_t i = 0; i < lines.size(); ++i) {
    RenderedLine& shown = view.statusLines[i];
    if (shown.surface != nullptr && shown.text == lines[i]) continue;
    shown.text = lines[i];
    shown.surface = renderText(view.font, lines[i], kText, kBackground, surface);
    changed = true;
  }
  if (!changed) return;
  const PlayLayout& layout = view.layout;
  const SDL_Rect area{
      0, layout.statusTop, layout.width,
      std::max(0, std::min(kStatusLines * kStatusLineHeight, layout.height - layout.statusTop))};
  SDL_FillRect(surface, &area, background(surface));
  SDL_SetClipRect(surface, &area);
  for (size_t i = 0; i < lines.size(); ++i)
    blitAt(view.statusLines[i].surface.get(), surface, kLayoutGap,
           layout.statusTop + static_cast<int>(i) * kStatusLineHeight);
  SDL_SetClipRect(surface, nullptr);
  view.updateRects.push_back(area);
}

}  // namespace

void paintPlayWindow(PlayWindow& view, const PlaySession& session) {
  SDL_Surface* surface = SDL_GetWindowSurface(view.window);
  if (surface == nullptr) return;
  const bool whole = view.wholeFrameDue || surface != view.paintedSurface;
  if (surface != view.paintedSurface) {  // text is kept in the old surface's pixel format
    view.keyLabels.clear();
    for (RenderedLine& line : view.statusLines) line = {};
  }
  view.updateRects.clear();
  if (whole) SDL_FillRect(surface, nullptr, background(surface));
  paintBoardTiles(view, surface, session.state().current, whole);
  paintSwatches(view, surface, session.hintColor(), whole);
  paintStatus(view, surface, session, whole);
  if (whole)
    SDL_UpdateWindowSurface(view.window);
  else if (!view.updateRects.empty())
    SDL_UpdateWindowSurfaceRects(view.window, view.updateRects.data(),
                                 static_cast<int>(view.updateRects.size()));
  view.paintedSurface = surface;
  view.wholeFrameDue = false;
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
      view.wholeFrameDue = true;
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
