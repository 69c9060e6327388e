// Beam search: each step expands every kept state by every useful colour and keeps the best
// distinct children. All kept states have made the same number of moves, so the first complete
// child ends the search.
#include <algorithm>
#include <tuple>
#include <unordered_set>

#include "solve/search_common.h"
#include "solve/solver.h"
#include "solve/state_analysis.h"

namespace {

constexpr uint32_t kStatesBetweenChecks = 16;

struct Candidate {
  uint32_t bound;
  uint64_t distanceSum;
  uint64_t hash;
  uint32_t parent;  // index in the current beam
  uint8_t move;
};

bool ranksBefore(const Candidate& a, const Candidate& b) {
  return std::tie(a.bound, a.distanceSum, a.parent, a.move) <
         std::tie(b.bound, b.distanceSum, b.parent, b.move);
}

struct Step {
  uint32_t parent;
  uint8_t move;
};

std::vector<uint8_t> movesTo(const std::vector<std::vector<Step>>& history, uint32_t index) {
  std::vector<uint8_t> moves(history.size());
  for (size_t step = history.size(); step-- > 0;) {
    moves[step] = history[step][index].move;
    index = history[step][index].parent;
  }
  return moves;
}

}  // namespace

Solution beamSearch(const RegionGraph& graph, uint32_t width, const SolveLimits& limits,
                    Clock::time_point deadline) {
  Solution solution;
  width = std::max(width, 1u);
  const uint32_t colorCount = graph.colorCount;
  const size_t words = wordsFor(graph.regionCount());
  std::vector<uint64_t> states = startState(graph);
  std::vector<uint64_t> hashes{regionKey(startRegion)};
  StateAnalysis analysis;
  // The frontier of each kept state, one after another: all that making its children needs.
  std::vector<uint32_t> frontiers;
  std::vector<uint32_t> frontierStart;
  std::vector<std::vector<Step>> history;
  std::vector<Candidate> candidates;
  std::vector<uint64_t> nextStates;
  std::vector<uint64_t> nextHashes;
  std::unordered_set<uint64_t> kept;

  // Out of time or stopped: state 0 is the most promising one to finish, as states keep their
  // rank order.
  const auto endEarly = [&] {
    solution.moves = movesTo(history, 0);
    const std::vector<uint8_t> rest =
        areaMovesFrom(graph, std::vector<uint64_t>(states.begin(), states.begin() + words));
    solution.moves.insert(solution.moves.end(), rest.begin(), rest.end());
    solution.interrupted = stopRequested(limits);
    solution.limited = !solution.interrupted;
    return solution;
  };
  const auto timeToEnd = [&] { return stopRequested(limits) || Clock::now() >= deadline; };

  for (;;) {
    const uint32_t beamSize = static_cast<uint32_t>(hashes.size());
    candidates.clear();
    frontiers.clear();
    frontierStart.assign(1, 0);
    for (uint32_t i = 0; i < beamSize; ++i) {
      if (expansionsSpent(limits, solution.expanded)) return endEarly();
      // A wide beam on a large board spends seconds on one step: look at the clock within it.
      if (i % kStatesBetweenChecks == kStatesBetweenChecks - 1 && timeToEnd()) return endEarly();
      analyze(graph, states.data() + i * words, true, analysis);
      frontiers.insert(frontiers.end(), analysis.order.begin(),
                       analysis.order.begin() + analysis.frontierEnd);
      frontierStart.push_back(static_cast<uint32_t>(frontiers.size()));
      ++solution.expanded;
      if (history.empty()) {
        solution.bound = lowerBound(analysis, colorCount);
        if (analysis.remainingRegions == 0) return solution;
      }
      const bool completed = !forEachUsefulMove(
          analysis, colorCount,
          [&](uint32_t move) {
            solution.moves = movesTo(history, i);
            solution.moves.push_back(static_cast<uint8_t>(move));
            return false;
          },
          [&](uint32_t move, uint32_t childBound) {
            const ColorStats& stats = analysis.colors[move];
            candidates.push_back({childBound, analysis.distanceSum - stats.gain,
                                  hashes[i] ^ stats.keys, i, static_cast<uint8_t>(move)});
            return true;
          });
      if (completed) return solution;
    }
    if (timeToEnd()) return endEarly();

    std::sort(candidates.begin(), candidates.end(), ranksBefore);
    // Equal states are told apart by their 64-bit hash; a collision could only drop a candidate.
    nextHashes.clear();
    nextStates.clear();
    kept.clear();
    std::vector<Step>& step = history.emplace_back();
    for (const Candidate& candidate : candidates) {
      if (nextHashes.size() == width) break;
      if (!kept.insert(candidate.hash).second) continue;
      nextHashes.push_back(candidate.hash);
      const auto parent = states.begin() + candidate.parent * words;
      nextStates.insert(nextStates.end(), parent, parent + words);
      uint64_t* child = nextStates.data() + nextStates.size() - words;
      for (uint32_t i = frontierStart[candidate.parent]; i < frontierStart[candidate.parent + 1];
           ++i)
        if (graph.color[frontiers[i]] == candidate.move) setBit(child, frontiers[i]);
      step.push_back({candidate.parent, candidate.move});
    }
    states.swap(nextStates);
    hashes.swap(nextHashes);
  }
}

Solution solveBeam(const RegionGraph& graph, uint32_t width, const SolveLimits& limits) {
  return beamSearch(graph, width, limits, deadlineAfter(limits.timeLimitSeconds));
}
