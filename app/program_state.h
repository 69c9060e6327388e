// The interactive program's process-wide state: the four settings asked once at start-up and
// read everywhere afterwards, the one game it generates, plays, queries and has the window
// paint, and the main loop's state that the menu starts a series in.
#pragma once

#include <cstdint>

#include "board/board.h"

struct Settings {
  int32_t boardSize = 3;   // side of the square board in tiles, 3..64
  int32_t colorCount = 2;  // number of colours, 2..32
  int32_t cellSize = 16;   // side of one drawn tile in pixels, 8..128
  uint32_t sleepMs = 500;  // pause after each turn of a series, 1..10000
};

struct LoopState {
  bool running = false;         // a series is in progress
  bool boardCompleted = false;  // the last solver turn reported the board complete
  uint32_t turns = 0;           // turns of the current run
  uint64_t totalTurns = 0;      // turns of the ended runs of the series, kept exactly
  uint32_t worstTurns = 0;
  uint32_t simulationCount = 0;
  uint32_t runsRemaining = 0;
};

inline Settings settings;
inline Game game;
inline LoopState loopState;

// A new random board of the settings' size and colours for the program's game.
inline void newBoard() {
  game.boardSize = static_cast<uint32_t>(settings.boardSize);
  game.colorCount = static_cast<uint32_t>(settings.colorCount);
  generateBoard(game);
}
