// The exact search's A* on several threads, after the beam that gives its first answer.
#pragma once

#include <cstddef>

#include "solve/region_graph.h"
#include "solve/solver.h"

// Searches on limits.searchThreads threads (capped at 8) from the answer `beam`, as the
// one-thread search does, with the same optimum. Every result, under an expansion or memory
// limit too, is the same for any number of threads.
template <size_t Words>
Solution searchInParallel(const RegionGraph& graph, const SolveLimits& limits,
                          Clock::time_point deadline, Solution beam);
