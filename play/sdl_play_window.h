// The SDL2 play window: its drawing (tiles, swatches with SDL_ttf key labels, status lines) and
// the events it turns into the session's moves. The event loop is the entry point's
// (main_sdl.cpp); the benchmark drives the same two functions.
#pragma once

#include <SDL.h>
#include <SDL_ttf.h>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "play/play_layout.h"
#include "play/play_session.h"
#include "view/tile_runs.h"

struct FreeSurface {
  void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
};
using OwnedSurface = std::unique_ptr<SDL_Surface, FreeSurface>;

// A line of text as last rendered, kept until the text changes.
struct RenderedLine {
  std::string text;
  OwnedSurface surface;
};

struct PlayWindow {
  SDL_Window* window = nullptr;
  TTF_Font* font = nullptr;
  TTF_Font* boldFont = nullptr;
  PlayLayout layout;
  uint32_t colorCount = 0;

  // What the window shows, so that a frame repaints only what changed. Set wholeFrameDue when
  // the picture may be gone or the layout changed.
  bool wholeFrameDue = true;
  SDL_Surface* paintedSurface = nullptr;
  std::vector<uint32_t> paintedTiles;
  std::optional<uint32_t> paintedHint;
  std::array<RenderedLine, kStatusLines> statusLines;
  std::vector<OwnedSurface> keyLabels;  // per colour with a key, rendered once
  TileRepaint repaint;                  // reused across frames
  std::vector<SDL_Rect> updateRects;
};

// Brings the window up to the session and presents what changed.
void paintPlayWindow(PlayWindow& view, const PlaySession& session);

// Hands one event to the session, setting `repaint` when the picture may have changed; false
// when the program should end (q, Escape, the window closed).
bool handlePlayEvent(const SDL_Event& event, PlayWindow& view, PlaySession& session, bool& repaint);
