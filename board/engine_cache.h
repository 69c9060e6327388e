// Derived bookkeeping that lets a move touch only what it changes. It is rebuilt from the public
// board state whenever something other than a move has changed that state.
#pragma once

#include <cstdint>
#include <vector>

struct MoveCache {
  bool valid = false;
  std::vector<uint32_t> tileOrigin;      // per tile: the cluster whose region held it at labelling
  std::vector<uint32_t> mainListCount;   // per id: how many tiles of the player's region list it
};

inline MoveCache moveCache;

// Builds the cache from the board and cluster map as they stand.
void rebuildMoveCache();

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

struct Cluster;
// Sets a cluster's neighbour set to the union of its tiles' lists.
void rebuildClusterNeighbors(Cluster& cluster);

// Inserts into / erases from an ascending vector without duplicates.
bool insertSorted(std::vector<uint32_t>& set, uint32_t value);
bool eraseSorted(std::vector<uint32_t>& set, uint32_t value);
