// Tile-level flood fill that shares nothing with the region graph, so it can check the solvers.
// The flooded area only grows, so each move looks at the tiles bordering it and floods on from
// those of the new colour.
#include "solve/solver.h"

std::optional<size_t> replayMoves(const BoardColors& board, std::span<const uint8_t> moves) {
  const uint32_t side = board.side;
  const std::vector<uint8_t>& colors = board.colors;
  const size_t tileCount = size_t{side} * side;
  if (side == 0 || colors.size() != tileCount) return std::nullopt;
  std::vector<uint8_t> flooded(tileCount, 0);
  std::vector<uint32_t> listedAt(tileCount, UINT32_MAX);  // move at which a tile joined `border`
  std::vector<uint32_t> border;                           // unflooded tiles next to the flood
  std::vector<uint32_t> nextBorder;
  std::vector<uint32_t> stack;
  size_t floodedCount = 0;

  // Floods from `start` through tiles of `color`, listing the other tiles it touches.
  const auto floodFrom = [&](uint32_t start, uint8_t color, uint32_t move) {
    flooded[start] = 1;
    ++floodedCount;
    stack.push_back(start);
    while (!stack.empty()) {
      const uint32_t tile = stack.back();
      stack.pop_back();
      const uint32_t x = tile % side;
      const auto visit = [&](uint32_t next) {
        if (flooded[next]) return;
        if (colors[next] == color) {
          flooded[next] = 1;
          ++floodedCount;
          stack.push_back(next);
        } else if (listedAt[next] != move) {
          listedAt[next] = move;
          nextBorder.push_back(next);
        }
      };
      if (x > 0) visit(tile - 1);
      if (x + 1 < side) visit(tile + 1);
      if (tile >= side) visit(tile - side);
      if (tile + side < tileCount) visit(tile + side);
    }
  };

  floodFrom(0, colors[0], 0);
  for (size_t played = 0;; ++played) {
    if (floodedCount == tileCount) {
      if (played == moves.size()) return played;
      return std::nullopt;
    }
    if (played == moves.size()) return std::nullopt;
    const uint32_t move = static_cast<uint32_t>(played + 1);
    border.swap(nextBorder);
    nextBorder.clear();
    for (const uint32_t tile : border) {
      if (flooded[tile]) continue;
      if (colors[tile] == moves[played]) {
        floodFrom(tile, moves[played], move);
      } else if (listedAt[tile] != move) {
        listedAt[tile] = move;
        nextBorder.push_back(tile);
      }
    }
  }
}
