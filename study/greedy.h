// The interactive program's greedy turn, played on a board's region graph. It makes the same
// choice as the engine's solveStep on every turn, without keeping the engine's per-tile lists
// up to date, which makes whole games several times faster. The engine stays the reference:
// the tests play both side by side.
#pragma once

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "study/boards.h"

// Buffers kept between boards, so that a game allocates little.
struct GreedyWorkspace {
  std::vector<uint32_t> tileCluster;           // per tile: its region's id, from 1 in row order
  std::vector<uint32_t> clusterColor;          // per id
  std::vector<uint32_t> tileStart;             // per id: where its tiles begin in `tiles`
  std::vector<uint32_t> tiles;                 // tile indices grouped by id, ascending within each
  std::vector<std::array<uint32_t, 4>> sides;  // per tile: its side neighbours
  uint32_t sidesFor = 0;                       // the board side `sides` was made for
  std::vector<uint32_t> liveScore;             // per id: its score while it is live
  std::vector<uint32_t> colorStart;            // per id: where its neighbours' colour counts begin
  std::vector<std::pair<uint32_t, uint32_t>> colorCounts;  // (colour, regions of that colour)
  std::vector<uint32_t> joinedAt;     // per id: the move that absorbed it; none while live
  std::vector<uint32_t> firstLister;  // per id: smallest region tile that lists it, or none
  std::vector<uint32_t> frontier;     // live ids next to the player's region
  std::vector<uint32_t> listed;       // absorbed ids that some region tile still lists
  std::vector<uint32_t> lastPlayed;   // per colour: the last move that played it, 0 if none
  std::vector<uint32_t> stack;
  std::vector<uint32_t> stamp;
};

struct GreedyGame {
  uint32_t turns = 0;           // as the program's series counts them: at least 1
  std::vector<uint8_t> colors;  // the colour each turn played
};

void playGreedy(const BoardColors& board, GreedyWorkspace& workspace, GreedyGame& game);
