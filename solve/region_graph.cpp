#include "solve/region_graph.h"

#include <algorithm>
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
void labelRegions(RegionGraph& graph, std::span<const uint8_t> colors) {
  const uint32_t side = graph.side;
  constexpr uint32_t unlabelled = UINT32_MAX;
  graph.regionOfTile.assign(colors.size(), unlabelled);
  std::vector<uint32_t> stack;
  for (uint32_t seed = 0; seed < colors.size(); ++seed) {
    if (graph.regionOfTile[seed] != unlabelled) continue;
    const uint32_t region = graph.regionCount();
    const uint8_t c = colors[seed];
    graph.color.push_back(c);
    graph.size.push_back(0);
    graph.regionOfTile[seed] = region;
    stack.push_back(seed);
    while (!stack.empty()) {
      const uint32_t tile = stack.back();
      stack.pop_back();
      ++graph.size[region];
      const uint32_t x = tile % side;
      const uint32_t y = tile / side;
      const auto visit = [&](uint32_t next) {
        if (graph.regionOfTile[next] == unlabelled && colors[next] == c) {
          graph.regionOfTile[next] = region;
          stack.push_back(next);
        }
      };
      if (x > 0) visit(tile - 1);
      if (x + 1 < side) visit(tile + 1);
      if (y > 0) visit(tile - side);
      if (y + 1 < side) visit(tile + side);
    }
  }
}

// Each adjacent pair of differing tiles gives a directed edge both ways; sorting and dropping
// repeats leaves the CSR lists ascending.
void linkRegions(RegionGraph& graph) {
  const uint32_t side = graph.side;
  std::vector<uint64_t> edges;
  const auto link = [&](uint32_t a, uint32_t b) {
    const uint32_t ra = graph.regionOfTile[a];
    const uint32_t rb = graph.regionOfTile[b];
    if (ra == rb) return;
    edges.push_back(uint64_t{ra} << 32 | rb);
    edges.push_back(uint64_t{rb} << 32 | ra);
  };
  for (uint32_t y = 0; y < side; ++y)
    for (uint32_t x = 0; x < side; ++x) {
      const uint32_t tile = x + y * side;
      if (x + 1 < side) link(tile, tile + 1);
      if (y + 1 < side) link(tile, tile + side);
    }
  std::sort(edges.begin(), edges.end());
  edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
  graph.neighborStart.assign(graph.regionCount() + 1, 0);
  graph.neighbors.reserve(edges.size());
  for (const uint64_t edge : edges) {
    ++graph.neighborStart[(edge >> 32) + 1];
    graph.neighbors.push_back(static_cast<uint32_t>(edge));
  }
  for (uint32_t r = 0; r < graph.regionCount(); ++r)
    graph.neighborStart[r + 1] += graph.neighborStart[r];
}

}  // namespace

RegionGraph buildRegionGraph(const BoardColors& board) {
  checkBoard(board);
  RegionGraph graph;
  graph.side = board.side;
  graph.colorCount = board.colorCount;
  labelRegions(graph, board.colors);
  linkRegions(graph);
  return graph;
}
