// The SDL2 play window: its drawing (tiles, swatches with SDL_ttf key labels, status lines) and
// the events it turns into the session's moves. The event loop is the entry point's
// (main_sdl.cpp); the benchmark drives the same two functions.
#pragma once

#include <SDL.h>
#include <SDL_ttf.h>

#include <cstdint>

#include "play/play_layout.h"
#include "play/play_session.h"

struct PlayWindow {
  SDL_Window* window = nullptr;
  TTF_Font* font = nullptr;
  TTF_Font* boldFont = nullptr;
  PlayLayout layout;
  uint32_t colorCount = 0;
};

// Draws the whole window from the session and presents it.
void paintPlayWindow(PlayWindow& view, const PlaySession& session);

// Hands one event to the session, setting `repaint` when the picture may have changed; false
// when the program should end (q, Escape, the window closed).
bool handlePlayEvent(const SDL_Event& event, PlayWindow& view, PlaySession& session, bool& repaint);
