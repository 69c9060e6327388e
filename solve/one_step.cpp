// The two one-step rules: most tiles joined, and smallest distance sum left.
#include <algorithm>

#include "solve/search_common.h"
#include "solve/solver.h"
#include "solve/state_analysis.h"

std::vector<uint64_t> startState(const RegionGraph& graph) {
  std::vector<uint64_t> joined(wordsFor(graph.regionCount()), 0);
  setBit(joined.data(), startRegion);
  return joined;
}

std::vector<uint8_t> areaMovesFrom(const RegionGraph& graph, const std::vector<uint64_t>& joined) {
  const uint32_t regionCount = graph.regionCount();
  // A region enters its colour's frontier list once, when first seen next to the joined set.
  std::vector<uint8_t> seen(regionCount, 0);
  std::vector<std::vector<uint32_t>> frontier(graph.colorCount);
  std::vector<uint64_t> frontierTiles(graph.colorCount, 0);
  uint32_t joinedCount = 0;
  const auto touch = [&](uint32_t r) {
    for (const uint32_t n : graph.neighborsOf(r)) {
      if (seen[n]) continue;
      seen[n] = 1;
      frontier[graph.color[n]].push_back(n);
      frontierTiles[graph.color[n]] += graph.size[n];
    }
  };
  for (uint32_t r = 0; r < regionCount; ++r)
    if (testBit(joined.data(), r)) {
      seen[r] = 1;
      ++joinedCount;
    }
  for (uint32_t r = 0; r < regionCount; ++r)
    if (testBit(joined.data(), r)) touch(r);

  std::vector<uint8_t> moves;
  std::vector<uint32_t> taken;
  while (joinedCount < regionCount) {
    const auto best = std::max_element(frontierTiles.begin(), frontierTiles.end());
    const auto move = static_cast<uint8_t>(best - frontierTiles.begin());
    moves.push_back(move);
    taken.swap(frontier[move]);
    frontier[move].clear();
    frontierTiles[move] = 0;
    joinedCount += static_cast<uint32_t>(taken.size());
    for (const uint32_t r : taken) touch(r);
  }
  return moves;
}

Solution solveArea(const RegionGraph& graph, const SolveLimits&) {
  Solution solution;
  solution.bound = startLowerBound(graph);
  solution.moves = areaMovesFrom(graph, startState(graph));
  return solution;
}

Solution solveDistance(const RegionGraph& graph, const SolveLimits& limits) {
  Solution solution;
  std::vector<uint64_t> joined = startState(graph);
  StateAnalysis analysis;
  const uint32_t colorCount = graph.colorCount;
  for (bool first = true;; first = false) {
    analyze(graph, joined.data(), true, analysis);
    if (first) solution.bound = lowerBound(analysis, colorCount);
    if (analysis.remainingRegions == 0) break;
    if (stopRequested(limits)) {
      const std::vector<uint8_t> rest = areaMovesFrom(graph, joined);
      solution.moves.insert(solution.moves.end(), rest.begin(), rest.end());
      solution.interrupted = true;
      break;
    }
    int move = forcedColor(analysis, colorCount);
    if (move < 0) {
      // The smallest sum left is the largest gain; only frontier colours have any gain.
      uint64_t bestGain = 0;
      for (uint32_t c = 0; c < colorCount; ++c)
        if (analysis.colors[c].gain > bestGain) {
          bestGain = analysis.colors[c].gain;
          move = static_cast<int>(c);
        }
    }
    solution.moves.push_back(static_cast<uint8_t>(move));
    joinFrontier(graph, analysis, static_cast<uint32_t>(move), joined.data());
  }
  return solution;
}

uint32_t startLowerBound(const RegionGraph& graph) {
  StateAnalysis analysis;
  analyze(graph, startState(graph).data(), false, analysis);
  return lowerBound(analysis, graph.colorCount);
}
