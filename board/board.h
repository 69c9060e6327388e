// The board of tiles, the registry of clusters and the greedy solver turn.
//
// All state is process-wide: the board, the cluster map and the next cluster id. Records refer
// to each other only by number (tile index, cluster id).
#pragma once

#include <cassert>
#include <cstdint>
#include <vector>

#include "board/settings.h"

// Ascending set of cluster ids held inline. A tile can only ever list the ids its four side
// neighbours had when the board was labelled, plus id 1 of the player's region, so five slots
// always suffice.
class TileNeighbors {
 public:
  static constexpr uint32_t capacity = 5;

  bool contains(uint32_t id) const {
    for (uint32_t i = 0; i < count_; ++i)
      if (ids_[i] == id) return true;
    return false;
  }
  // The shifts run over the whole fixed array, so they unroll into a few moves instead of a
  // library call; slots past count_ hold nothing that matters.
  bool insert(uint32_t id) {  // true when added
    uint32_t position = 0;
    while (position < count_ && ids_[position] < id) ++position;
    if (position < count_ && ids_[position] == id) return false;
    assert(count_ < capacity && "a tile lists more ids than it has neighbours");
    if (count_ == capacity) return false;
    for (uint32_t i = capacity - 1; i > 0; --i)
      if (i > position) ids_[i] = ids_[i - 1];
    ids_[position] = id;
    ++count_;
    return true;
  }
  bool erase(uint32_t id) {  // true when removed
    uint32_t kept = 0;
    for (uint32_t i = 0; i < capacity; ++i) {
      ids_[kept] = ids_[i];
      kept += (i < count_ && ids_[i] != id) ? 1 : 0;
    }
    if (kept == count_) return false;
    count_ = kept;
    return true;
  }
  void clear() { count_ = 0; }
  uint32_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  const uint32_t* begin() const { return ids_; }
  const uint32_t* end() const { return ids_ + count_; }
  std::vector<uint32_t> toVector() const { return {begin(), end()}; }

 private:
  uint32_t ids_[capacity] = {};
  uint32_t count_ = 0;
};

struct Tile {
  uint32_t color = 0;
  uint32_t cluster = 0;  // 0 until labelled; ids start at 1
  TileNeighbors neighbors;
};

// Sets of ids and tile indices are kept as ascending vectors without duplicates.
struct Cluster {
  std::vector<uint32_t> neighbors;
  std::vector<uint32_t> tiles;
  uint32_t color = 0;
};

// Ordered map from cluster id to Cluster. Ids are handed out densely from 1, so the clusters
// sit in a vector indexed by id; `present` tells which slots hold an entry.
struct ClusterMap {
  std::vector<Cluster> slots;    // slots[id], slot 0 unused
  std::vector<uint8_t> present;  // present[id] != 0 when the map holds id
  uint32_t entryCount = 0;

  uint32_t size() const { return entryCount; }
  bool empty() const { return entryCount == 0; }
  void clear();
  // Ascending ids of all entries.
  std::vector<uint32_t> ids() const;
};

inline std::vector<Tile> board;  // boardSize * boardSize tiles, row by row; empty until generated
inline ClusterMap clusterMap;
inline uint32_t nextClusterId = 1;

inline uint32_t tileIndex(uint32_t x, uint32_t y) {
  return x + y * static_cast<uint32_t>(settings.boardSize);
}
inline Tile& tileAt(uint32_t x, uint32_t y) {
  return board[tileIndex(x, y)];
}

Cluster& getOrCreateCluster(uint32_t id);
Cluster* findCluster(uint32_t id);  // nullptr when absent; never inserts
Cluster& mainCluster();             // the entry with the smallest id; the map must not be empty
uint32_t mainClusterId();

// A new random board: colours from clockSeededDraw, then labelled.
void generateBoard();
// A new board with the given colours (boardSize * boardSize of them, row by row), labelled as
// generateBoard labels it. Generation and tests share it.
void loadBoard(const std::vector<uint32_t>& colors);

// Spreads from tile (x, y) over its same-coloured side-connected tiles that carry another id,
// opening a new cluster when the tile has none.
void labelRegion(uint32_t x, uint32_t y);
// Drops from every tile the ids whose recorded colour is the tile's own, then rebuilds every
// cluster's neighbour set from its tiles.
void refreshNeighbors();

// One move: the player's region takes `color` and absorbs every adjacent cluster of that colour.
// Returns whether the region now covers the board.
bool applyColor(uint32_t color);
// One greedy turn: the candidate cluster with the most neighbours gives the colour.
bool solveStep();

// The colour solveStep would choose, without moving.
uint32_t chooseColor();
