// Helpers shared by the engine's own files; not part of its interface.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "board/board.h"

// Builds the move cache from the game's board and cluster map as they stand.
void rebuildMoveCache(Game& game);

// Side neighbours of tile `index` in the fixed order left, right, up, down; returns the count.
inline uint32_t sideNeighbors(uint32_t index, uint32_t side, uint32_t out[4]) {
  const uint32_t x = index % side;
  const uint32_t y = index / side;
  uint32_t count = 0;
  if (x > 0) out[count++] = index - 1;
  if (x + 1 < side) out[count++] = index + 1;
  if (y > 0) out[count++] = index - side;
  if (y + 1 < side) out[count++] = index + side;
  return count;
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
