// The four settings asked once at start-up and read everywhere afterwards.
#pragma once

#include <cstdint>

struct Settings {
  int32_t boardSize = 3;   // side of the square board in tiles, 3..64
  int32_t colorCount = 2;  // number of colours, 2..32
  int32_t cellSize = 16;   // side of one drawn tile in pixels, 8..128
  uint32_t sleepMs = 500;  // pause after each turn of a series, 1..10000
};

inline Settings settings;
