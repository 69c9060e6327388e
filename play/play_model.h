// A game a person plays: the board as dealt, the colours now and the moves so far. Portable, no
// window: every front end plays through these functions.
#pragma once

#include <cstdint>
#include <vector>

#include "solve/board_colors.h"

struct PlayState {
  BoardColors start;           // the board as dealt
  BoardColors current;         // the colours after `moves`
  std::vector<uint8_t> moves;  // colours played, in order
};

// Deals `board` afresh: no moves yet.
void startPlay(PlayState& state, const BoardColors& board);

// Plays `color` when it joins something: a colour other than the player's own that touches the
// player's region. False, and nothing changes or counts, when it joins nothing.
bool playColor(PlayState& state, uint8_t color);

// Plays `color` and counts it whether or not it joins anything, as a solver's answer counts: the
// program's rule spends one move on a board that is one region already.
void playCounted(PlayState& state, uint8_t color);

// Takes the last move back; false at the start.
bool takeBack(PlayState& state);

// Back to the board as dealt.
void restart(PlayState& state);

// One region covers the board.
bool isSolved(const BoardColors& colors);

// The colour of the player's region (the one holding the top-left tile).
inline uint8_t playerColor(const BoardColors& colors) {
  return colors.colors.at(0);
}
