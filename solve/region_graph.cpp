#include "solve/region_graph.h"

#include <algorithm>
#include <cstddef>
#include <stdexcept>
#include <string>

namespace {

void checkBoard(const BoardColors& board) {
  const uint32_t side = board.side;
  const uint32_t colorCount = board.colorCount;
  const std::vector<uint8_t>& colors = board.colors;
  if (side < minSide || side > maxSide)
    throw std::invalid_argument("board side " + std::to_string(side) + " is not in 3..256");
  if (colorCount < minColors || colorCount > maxColors)
    throw std::invalid_argument("colour count " + std::to_string(colorCount) + " is not in 2..32");
  if (colors.size() != size_t{side} * side)
    throw std::invalid_argument("expected " + std::to_string(side * side) + " tile colours, got " +
                                std::to_string(colors.size()));
  for (const uint8_t c : colors)
    if (c >= colorCount)
      throw std::invalid_argument("tile colour " + std::to_string(c) + " is not below " +
                                  std::to_string(colorCount));
}

// Labels regions in tile order, so region ids follow their first tile and tile 0 gets region 0.
// Breadth first, with `tiles` as the queue: each region's tiles end up together in it.
void labelRegions(RegionGraph& graph, std::span<const uint8_t> colors) {
  const uint32_t side = graph.side;
  const auto tileCount = static_cast<uint32_t>(colors.size());
  constexpr uint32_t unlabelled = UINT32_MAX;
  graph.regionOfTile.assign(tileCount, unlabelled);
  graph.tiles.resize(tileCount);
  graph.tileStart.clear();
  graph.color.clear();
  graph.size.clear();
  uint32_t queued = 0;
  for (uint32_t seed = 0; seed < tileCount; ++seed) {
    if (graph.regionOfTile[seed] != unlabelled) continue;
    const uint32_t region = graph.regionCount();
    const uint8_t c = colors[seed];
    const uint32_t first = queued;
    graph.color.push_back(c);
    graph.tileStart.push_back(first);
    graph.regionOfTile[seed] = region;
    graph.tiles[queued++] = seed;
    for (uint32_t head = first; head < queued; ++head) {
      const uint32_t tile = graph.tiles[head];
      const uint32_t x = tile % side;
      const auto visit = [&](uint32_t next) {
        if (graph.regionOfTile[next] == unlabelled && colors[next] == c) {
          graph.regionOfTile[next] = region;
          graph.tiles[queued++] = next;
        }
      };
      if (x > 0) visit(tile - 1);
      if (x + 1 < side) visit(tile + 1);
      if (tile >= side) visit(tile - side);
      if (tile + side < tileCount) visit(tile + side);
    }
    graph.size.push_back(queued - first);
  }
  graph.tileStart.push_back(queued);
}

// Most neighbour lists hold a handful of regions: sorted in place by insertion, without a call.
void sortShortList(std::vector<uint32_t>::iterator begin, std::vector<uint32_t>::iterator end) {
  constexpr ptrdiff_t shortList = 16;
  if (end - begin > shortList) {
    std::sort(begin, end);
    return;
  }
  for (auto next = begin; next != end; ++next) {
    const uint32_t value = *next;
    auto slot = next;
    for (; slot != begin && *(slot - 1) > value; --slot) *slot = *(slot - 1);
    *slot = value;
  }
}

// Each region's distinct neighbours, met walking its tiles (a mark per region drops repeats),
// then sorted: the lists are short, and no pass over the whole board's borders is needed.
void linkRegions(RegionGraph& graph) {
  const uint32_t side = graph.side;
  const auto tileCount = static_cast<uint32_t>(graph.regionOfTile.size());
  const uint32_t regionCount = graph.regionCount();
  constexpr uint32_t none = UINT32_MAX;
  std::vector<uint32_t> seenBy(regionCount, none);
  graph.neighborStart.resize(regionCount + 1);
  graph.neighborStart[0] = 0;
  graph.neighbors.clear();
  for (uint32_t region = 0; region < regionCount; ++region) {
    const auto meet = [&](uint32_t tile) {
      const uint32_t other = graph.regionOfTile[tile];
      if (other == region || seenBy[other] == region) return;
      seenBy[other] = region;
      graph.neighbors.push_back(other);
    };
    for (const uint32_t tile : graph.tilesOf(region)) {
      const uint32_t x = tile % side;
      if (x > 0) meet(tile - 1);
      if (x + 1 < side) meet(tile + 1);
      if (tile >= side) meet(tile - side);
      if (tile + side < tileCount) meet(tile + side);
    }
    graph.neighborStart[region + 1] = static_cast<uint32_t>(graph.neighbors.size());
    sortShortList(graph.neighbors.begin() + graph.neighborStart[region], graph.neighbors.end());
  }
}

}  // namespace

RegionGraph buildRegionGraph(const BoardColors& board) {
  RegionGraph graph;
  buildRegionGraph(board, graph);
  return graph;
}

void buildRegionGraph(const BoardColors& board, RegionGraph& graph) {
  checkBoard(board);
  graph.side = board.side;
  graph.colorCount = board.colorCount;
  labelRegions(graph, board.colors);
  linkRegions(graph);
}
