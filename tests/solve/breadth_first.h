// The fewest moves of a board by a plain breadth-first search over whole colourings, sharing
// nothing with the solvers, for the tests to hold them against.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "solve/board_colors.h"

// Plain flood fill of the region around tile 0.
inline std::string floodCorner(uint32_t side, std::string tiles, char color) {
  const char old = tiles[0];
  std::vector<uint32_t> stack{0};
  tiles[0] = color;
  while (!stack.empty()) {
    const uint32_t t = stack.back();
    stack.pop_back();
    const uint32_t x = t % side;
    for (const uint32_t n : {x > 0 ? t - 1 : t, x + 1 < side ? t + 1 : t, t >= side ? t - side : t,
                             t + side < tiles.size() ? t + side : t})
      if (tiles[n] == old && n != t) {
        tiles[n] = color;
        stack.push_back(n);
      }
  }
  return tiles;
}

// Fewest moves by breadth-first search over whole colourings, sharing nothing with the solvers.
inline size_t optimumByBreadthFirst(const BoardColors& board) {
  const std::string start(board.colors.begin(), board.colors.end());
  const auto done = [](const std::string& t) { return t.find_first_not_of(t[0]) == t.npos; };
  std::unordered_set<std::string> seen{start};
  std::vector<std::string> layer{start};
  for (size_t depth = 0;; ++depth) {
    std::vector<std::string> next;
    for (const std::string& tiles : layer) {
      if (done(tiles)) return depth;
      for (uint32_t c = 0; c < board.colorCount; ++c) {
        if (static_cast<char>(c) == tiles[0]) continue;
        std::string moved = floodCorner(board.side, tiles, static_cast<char>(c));
        if (seen.insert(moved).second) next.push_back(std::move(moved));
      }
    }
    layer.swap(next);
  }
}
