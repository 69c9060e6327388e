// The interactive program's greedy turn, played on a board's region graph. It makes the same
// choice as the engine's solveStep on every turn, without keeping the engine's per-tile lists
// up to date, which makes whole games several times faster. The engine stays the reference:
// the tests play both side by side.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "solve/region_graph.h"
#include "solve/solver.h"

// Buffers kept between games, so that a game allocates little.
struct GreedyWorkspace {
  std::vector<std::array<uint32_t, 4>> sides;  // per tile: its side neighbours
  uint32_t sidesFor = 0;                       // the board side `sides` was made for
  std::vector<uint32_t> joinedAt;     // per region: the move that joined it; none while it is live
  std::vector<uint32_t> firstLister;  // per region: smallest joined tile that lists it, or none
  std::vector<uint32_t> frontier;     // live regions next to the joined ones
  std::vector<uint32_t> listed;       // joined regions that some joined tile still lists
  std::vector<uint32_t> joining;      // the regions the move in hand joins
  std::array<uint32_t, maxColors> lastPlayed{};  // per colour: the last move that played it
};

struct GreedyGame {
  uint32_t turns = 0;           // as the program's series counts them: at least 1
  std::vector<uint8_t> colors;  // the colour each turn played
};

void playGreedy(const RegionGraph& graph, GreedyWorkspace& workspace, GreedyGame& game);

// The same game as the other solvers answer, on buffers of its own for each game. Its
// moves count as the program's series counts them: a complete board takes one move, of its own
// colour. It computes no bound (0).
Solution solveGreedy(const RegionGraph& graph, const SolveLimits& limits = {});
