// Tile-level flood fill that shares nothing with the region graph, so it can check the solvers.
#include <algorithm>

#include "solve/solver.h"

namespace {

bool isOneRegion(const std::vector<uint8_t>& tiles) {
  return std::all_of(tiles.begin(), tiles.end(), [&](uint8_t c) { return c == tiles[0]; });
}

// Recolours the tiles connected to tile 0 through its colour.
void floodFromCorner(uint32_t side, std::vector<uint8_t>& tiles, uint8_t color) {
  const uint8_t old = tiles[0];
  if (old == color) return;
  std::vector<uint32_t> stack{0};
  tiles[0] = color;
  while (!stack.empty()) {
    const uint32_t tile = stack.back();
    stack.pop_back();
    const uint32_t x = tile % side;
    const uint32_t y = tile / side;
    const auto visit = [&](uint32_t next) {
      if (tiles[next] != old) return;
      tiles[next] = color;
      stack.push_back(next);
    };
    if (x > 0) visit(tile - 1);
    if (x + 1 < side) visit(tile + 1);
    if (y > 0) visit(tile - side);
    if (y + 1 < side) visit(tile + side);
  }
}

}  // namespace

std::optional<size_t> replayMoves(uint32_t side, std::span<const uint8_t> colors,
                                  std::span<const uint8_t> moves) {
  if (side == 0 || colors.size() != size_t{side} * side) return std::nullopt;
  std::vector<uint8_t> tiles(colors.begin(), colors.end());
  for (size_t played = 0;; ++played) {
    if (isOneRegion(tiles)) {
      if (played == moves.size()) return played;
      return std::nullopt;
    }
    if (played == moves.size()) return std::nullopt;
    floodFromCorner(side, tiles, moves[played]);
  }
}
