// Helpers shared by the engine's own files; not part of its interface.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "board/board.h"

// Builds the move cache from the game's board and cluster map as they stand.
void rebuildMoveCache(Game& game);

// Builds the side neighbours of every tile for the game's board size, unless they are there.
void prepareSideTable(Game& game);

// The side neighbours of one tile, in the fixed order left, right, up, down.
struct SideTiles {
  const uint32_t* first;
  const uint32_t* last;
  const uint32_t* begin() const { return first; }
  const uint32_t* end() const { return last; }
};
inline SideTiles sidesOf(const Game& game, uint32_t index) {
  const uint32_t* first = game.scratch.sideTiles.data() + size_t{4} * index;
  return {first, first + game.scratch.sideCounts[index]};
}

// Sets a cluster's neighbour set to the union of its tiles' lists.
void rebuildClusterNeighbors(Game& game, Cluster& cluster);

// Inserts into / erases from an ascending vector without duplicates. The sets touched during a
// move are mostly a handful of ids, so short shifts are done in place rather than by a library
// call.
inline bool insertSorted(std::vector<uint32_t>& set, uint32_t value) {
  const auto position = std::lower_bound(set.begin(), set.end(), value);
  if (position != set.end() && *position == value) return false;
  if (set.end() - position > 16) {
    set.insert(position, value);
    return true;
  }
  size_t i = set.size();
  const size_t at = static_cast<size_t>(position - set.begin());
  set.push_back(value);
  for (; i > at; --i) set[i] = set[i - 1];
  set[at] = value;
  return true;
}

inline bool eraseSorted(std::vector<uint32_t>& set, uint32_t value) {
  const auto position = std::lower_bound(set.begin(), set.end(), value);
  if (position == set.end() || *position != value) return false;
  if (set.end() - position > 16) {
    set.erase(position);
    return true;
  }
  for (auto next = position + 1; next != set.end(); ++next) *(next - 1) = *next;
  set.pop_back();
  return true;
}
