// Pieces the solvers share: stop and deadline checks, and the cheap completion used when a
// search must end early.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <vector>

#include "solve/region_graph.h"
#include "solve/solver.h"

inline bool stopRequested(const SolveLimits& limits) {
  return limits.stop != nullptr && limits.stop->load(std::memory_order_relaxed);
}

// Whether `expanded` states use up the limits' expansion budget.
inline bool expansionsSpent(const SolveLimits& limits, uint64_t expanded) {
  return limits.expansionLimit != 0 && expanded >= limits.expansionLimit;
}

// Now plus `seconds`; limits past any real run (or not a number) mean no deadline.
inline Clock::time_point deadlineAfter(double seconds) {
  if (!(seconds < 1e9)) return Clock::time_point::max();
  return Clock::now() + std::chrono::duration_cast<Clock::duration>(
                            std::chrono::duration<double>(std::max(seconds, 0.0)));
}

// The joined set of the start state: the start region alone.
std::vector<uint64_t> startState(const RegionGraph& graph);

// Area moves from the given joined set to completion; linear in the graph's size overall.
std::vector<uint8_t> areaMovesFrom(const RegionGraph& graph, const std::vector<uint64_t>& joined);

// The beam search behind solveBeam, which also gives up at `deadline`: when stopped, out of
// time or out of expansions it completes its best state by area (`interrupted` tells only the
// stop).
Solution beamSearch(const RegionGraph& graph, uint32_t width, const SolveLimits& limits,
                    Clock::time_point deadline);
