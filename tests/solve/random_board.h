// The random boards the solver tests and figures use: tile colour roundf(u * (C - 1)) for u the
// single-precision draw float(x) / 2^32 of the outputs x of std::mt19937 seeded with `seed`.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "board/draw.h"
#include "solve/board_colors.h"

inline std::vector<uint8_t> randomColors(uint32_t side, uint32_t colorCount, uint32_t seed) {
  std::mt19937 engine(seed);
  std::vector<uint8_t> colors(size_t{side} * side);
  for (uint8_t& c : colors)
    c = static_cast<uint8_t>(
        colorFromDraw(drawFromOutput(engine()), static_cast<int32_t>(colorCount)));
  return colors;
}

inline BoardColors randomBoard(uint32_t side, uint32_t colorCount, uint32_t seed) {
  return {side, colorCount, randomColors(side, colorCount, seed)};
}
