// The interactive program's process-wide state: the four settings asked once at start-up and
// read everywhere afterwards, and the one game it generates, plays, queries and paints.
#pragma once

#include <cstdint>

#include "board/board.h"

struct Settings {
  int32_t boardSize = 3;   // side of the square board in tiles, 3..64
  int32_t colorCount = 2;  // number of colours, 2..32
  int32_t cellSize = 16;   // side of one drawn tile in pixels, 8..128
  uint32_t sleepMs = 500;  // pause after each turn of a series, 1..10000
};

inline Settings settings;
inline Game game;

// A new random board of the settings' size and colours for the program's game.
inline void newBoard() {
  game.boardSize = static_cast<uint32_t>(settings.boardSize);
  game.colorCount = static_cast<uint32_t>(settings.colorCount);
  generateBoard(game);
}
