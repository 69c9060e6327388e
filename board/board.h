// The board of tiles, the registry of clusters and the greedy solver turn.
//
// One Game holds everything a board needs: its tiles, its cluster map, the next cluster id and
// the engine's own bookkeeping. Games are independent values, so separate games can be played on
// separate threads. Records refer to each other only by number (tile index, cluster id).
#pragma once

#include <cassert>
#include <cstdint>
#include <vector>

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
    uint32_t position = 0;
    while (position < count_ && ids_[position] != id) ++position;
    if (position == count_) return false;
    for (uint32_t i = position + 1; i < count_; ++i) ids_[i - 1] = ids_[i];
    --count_;
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
  // Drops every entry. The slots keep their storage, so the next board of the same game
  // allocates little.
  void clear();
  // Ascending ids of all entries.
  std::vector<uint32_t> ids() const;
};

// Derived bookkeeping that lets a move touch only what it changes. It is rebuilt from the board
// and cluster map whenever something other than a move has changed them.
struct MoveCache {
  static constexpr uint32_t none = ~0u;
  bool valid = false;
  std::vector<uint32_t> tileOrigin;  // per tile: the cluster whose region held it at labelling
  // Per id: the tiles of the player's region that listed it when they joined, as a chain
  // through `nextLister`. Link tile * 4 + k is the k-th id that tile listed, so a chain names
  // its tiles without storing them. A chain may name tiles that have dropped the id since.
  std::vector<uint32_t> firstLister;
  std::vector<uint32_t> nextLister;
  std::vector<uint8_t> inRegionSet;  // per id: it is in the region's neighbour set
};

// Working buffers of labelling and moves, kept with the game so that a turn allocates nothing.
struct EngineScratch {
  std::vector<uint32_t> sideTiles;     // per tile, 4 slots: its side neighbours, in order
  std::vector<uint8_t> sideCounts;     // per tile: how many of its slots are used
  uint32_t sideTableSide = 0;          // the board size the table was built for
  std::vector<uint32_t> queue;         // labelRegion's work queue, read from a moving head
  std::vector<uint32_t> visitedStamp;  // labelRegion's visited marks; a new stamp clears them
  uint32_t stamp = 0;
  std::vector<uint32_t> gathered;  // a cluster's neighbour ids being collected
  std::vector<uint32_t> idStamp;   // per id: the stamp of the collection that took it last
  uint32_t idStampValue = 0;

  std::vector<uint32_t> absorbed;  // clusters joining the region this move
  std::vector<uint32_t> joined;    // their tiles
  std::vector<uint32_t> added;     // ids that tiles of the region list for the first time
};

struct Game {
  uint32_t boardSize = 3;   // side of the square board in tiles
  uint32_t colorCount = 2;  // colour indices run 0..colorCount - 1
  std::vector<Tile> board;  // boardSize * boardSize tiles, row by row; empty until generated
  ClusterMap clusterMap;
  uint32_t nextClusterId = 1;
  MoveCache moveCache;
  EngineScratch scratch;
};

inline uint32_t tileIndex(const Game& game, uint32_t x, uint32_t y) {
  return x + y * game.boardSize;
}
inline Tile& tileAt(Game& game, uint32_t x, uint32_t y) {
  return game.board[tileIndex(game, x, y)];
}
inline const Tile& tileAt(const Game& game, uint32_t x, uint32_t y) {
  return game.board[tileIndex(game, x, y)];
}

Cluster& getOrCreateCluster(Game& game, uint32_t id);
Cluster* findCluster(Game& game, uint32_t id);  // nullptr when absent; never inserts
const Cluster* findCluster(const Game& game, uint32_t id);
Cluster& mainCluster(Game& game);  // the entry with the smallest id; the map must not be empty
uint32_t mainClusterId(const Game& game);

// A new random board of the game's size and colours: colours from clockSeededDraw, then
// labelled.
void generateBoard(Game& game);
// A new board with the given colours (boardSize * boardSize of them, row by row), labelled as
// generateBoard labels it.
void loadBoard(Game& game, const std::vector<uint32_t>& colors);

// Spreads from tile (x, y) over its same-coloured side-connected tiles that carry another id,
// opening a new cluster when the tile has none.
void labelRegion(Game& game, uint32_t x, uint32_t y);
// Drops from every tile the ids whose recorded colour is the tile's own, then rebuilds every
// cluster's neighbour set from its tiles.
void refreshNeighbors(Game& game);

// One move: the player's region takes `color` and absorbs every adjacent cluster of that colour.
// Returns whether the region now covers the board.
bool applyColor(Game& game, uint32_t color);
// One greedy turn: the candidate cluster with the most neighbours gives the colour.
bool solveStep(Game& game);

// The colour solveStep would choose, without moving.
uint32_t chooseColor(Game& game);
