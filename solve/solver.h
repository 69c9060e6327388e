// Solvers for a board's region graph. Every solver is a pure function of its arguments: they may
// run at once on many threads, each on its own graph or sharing one.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "solve/board_colors.h"
#include "solve/region_graph.h"

// The clock of the time limits, and of the study's timings.
using Clock = std::chrono::steady_clock;

struct SolveLimits {
  double timeLimitSeconds = 10;             // per board, exact only
  size_t memoryLimitBytes = 2048ull << 20;  // per search, exact only
  // States expanded per board, beam and exact (its beams included); 0 for none. Unlike time,
  // the count is the same on every machine, so the answers it cuts short repeat exactly.
  uint64_t expansionLimit = 0;
  // Threads one exact search may use. Past one, the search runs in rounds whose answers, limits
  // included, are the same for any count; one runs the plain search.
  uint32_t searchThreads = 1;
  // Whether exact bounds a state by its far part's own optimum too (solve/far_part.h). Off only
  // to measure or test the search without it.
  bool farParts = true;
  const std::atomic<bool>* stop = nullptr;  // when set: return as soon as possible
};

struct Solution {
  std::vector<uint8_t> moves;  // colour indices played, in order; always completes the board
  bool proven = false;         // moves.size() is a proven optimum (exact only)
  uint32_t bound = 0;          // admissible lower bound: of the start state, or the best the
                               // exact search established
  bool interrupted = false;    // stop was set before the solver's own answer was found
  bool limited = false;        // the time limit ended the search before its own answer
  uint64_t expanded = 0;       // states examined (beam and exact), for measurements
  size_t searchBytes = 0;      // memory the exact search held at its end, against the limit
};

// Each move the colour that joins the most tiles; ties go to the lowest colour index.
Solution solveArea(const RegionGraph& graph, const SolveLimits& limits = {});
// Each move a colour whose remaining regions all touch the joined set if there is one, else the
// colour leaving the smallest sum over tiles of their region-step distance to the joined set.
Solution solveDistance(const RegionGraph& graph, const SolveLimits& limits = {});
// Keeps the `width` (at least 1) best distinct states after each move, by lower bound, then
// distance sum.
Solution solveBeam(const RegionGraph& graph, uint32_t width, const SolveLimits& limits = {});
// Best-first search for a proven optimum within the limits; past them, a beam's answer and the
// lower bound the search reached, not proven.
Solution solveExact(const RegionGraph& graph, const SolveLimits& limits = {});

// Admissible lower bound on the moves the start state needs.
uint32_t startLowerBound(const RegionGraph& graph);

// Plain flood fill from tile 0, independent of the region graph: the number of moves after which
// the board is one region, or nothing when the moves never complete it or go on after that.
std::optional<size_t> replayMoves(const BoardColors& board, std::span<const uint8_t> moves);
