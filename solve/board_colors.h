// A board as plain data: its side, its number of colours and the colour of every tile. The
// region graph is built from it, the replay checks moves on it, and the study generates, reads
// and writes it.
#pragma once

#include <cstdint>
#include <vector>

// The boards the solvers and the study accept.
inline constexpr uint32_t minSide = 3;
inline constexpr uint32_t maxSide = 256;
inline constexpr uint32_t minColors = 2;
inline constexpr uint32_t maxColors = 32;

struct BoardColors {
  uint32_t side = 0;
  uint32_t colorCount = 0;
  std::vector<uint8_t> colors;  // side * side colour indices, row by row

  bool operator==(const BoardColors&) const = default;
};
