// The region graph of a board: its side-connected same-coloured regions, their colours, sizes and
// adjacency. Solvers work on it alone; it holds no state of a game in progress.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "solve/board_colors.h"

struct RegionGraph {
  uint32_t side = 0;
  uint32_t colorCount = 0;
  std::vector<uint32_t> regionOfTile;   // side * side, row by row; tile 0 lies in region 0
  std::vector<uint8_t> color;           // per region
  std::vector<uint32_t> size;           // tiles per region
  std::vector<uint32_t> tileStart;      // CSR offsets into `tiles`, regionCount() + 1 of them
  std::vector<uint32_t> tiles;          // every tile, grouped by region, in no order within one
  std::vector<uint32_t> neighborStart;  // CSR offsets into `neighbors`, regionCount() + 1 of them
  std::vector<uint32_t> neighbors;      // ascending within each region

  uint32_t regionCount() const { return static_cast<uint32_t>(color.size()); }
  std::span<const uint32_t> neighborsOf(uint32_t region) const {
    return {neighbors.data() + neighborStart[region], neighbors.data() + neighborStart[region + 1]};
  }
  std::span<const uint32_t> tilesOf(uint32_t region) const {
    return {tiles.data() + tileStart[region], tiles.data() + tileStart[region + 1]};
  }
};

inline constexpr uint32_t startRegion = 0;

// Throws std::invalid_argument when the side or colour count is out of range, the colour list
// is not side * side long or a colour is not below colorCount.
RegionGraph buildRegionGraph(const BoardColors& board);
// The same into `graph`, reusing its storage: a study builds a graph for every board.
void buildRegionGraph(const BoardColors& board, RegionGraph& graph);
