#include <algorithm>
#include <cstddef>

#include "board/board.h"
#include "board/draw.h"
#include "board/engine_cache.h"

void rebuildClusterNeighbors(Cluster& cluster) {
  // Gathered in a reused buffer, so a refresh allocates little; the one spare slot leaves room
  // for the id of the player's region, which a live cluster may still gain during play.
  static std::vector<uint32_t> gathered;
  gathered.clear();
  for (uint32_t t : cluster.tiles)
    for (uint32_t listed : board[t].neighbors) gathered.push_back(listed);
  std::sort(gathered.begin(), gathered.end());
  gathered.erase(std::unique(gathered.begin(), gathered.end()), gathered.end());
  if (cluster.neighbors.capacity() < gathered.size() + 1)
    cluster.neighbors.reserve(gathered.size() + 1);
  cluster.neighbors.assign(gathered.begin(), gathered.end());
}

namespace {

// Scratch of labelRegion, kept between calls so that a call allocates nothing: a queue read
// from a moving head, and visited marks that a new stamp clears in O(1).
struct LabelScratch {
  std::vector<uint32_t> queue;
  std::vector<uint32_t> visitedStamp;
  uint32_t stamp = 0;
};
LabelScratch scratch;

void appendUnvisited(uint32_t index, uint32_t side) {
  uint32_t around[4];
  const uint32_t count = sideNeighbors(index, side, around);
  for (uint32_t i = 0; i < count; ++i)
    if (scratch.visitedStamp[around[i]] != scratch.stamp) scratch.queue.push_back(around[i]);
}

// Labels a freshly coloured board in one pass: regions are filled in row order of their
// smallest tile, which hands out the same ids as one labelRegion call per tile, and each tile
// lists the clusters of its differently coloured side neighbours.
void labelNewBoard() {
  const uint32_t side = static_cast<uint32_t>(settings.boardSize);
  const uint32_t tileCount = side * side;
  std::vector<uint32_t> stack;
  uint32_t around[4];
  clusterMap.slots.reserve(tileCount + 1);
  clusterMap.present.reserve(tileCount + 1);
  for (uint32_t start = 0; start < tileCount; ++start) {
    if (board[start].cluster != 0) continue;
    const uint32_t id = nextClusterId++;
    const uint32_t color = board[start].color;
    Cluster& cluster = getOrCreateCluster(id);
    cluster.color = color;
    board[start].cluster = id;
    stack.assign(1, start);
    while (!stack.empty()) {
      const uint32_t index = stack.back();
      stack.pop_back();
      cluster.tiles.push_back(index);
      const uint32_t count = sideNeighbors(index, side, around);
      for (uint32_t i = 0; i < count; ++i) {
        Tile& next = board[around[i]];
        if (next.color == color && next.cluster == 0) {
          next.cluster = id;
          stack.push_back(around[i]);
        }
      }
    }
    std::sort(cluster.tiles.begin(), cluster.tiles.end());
  }
  for (uint32_t index = 0; index < tileCount; ++index) {
    const uint32_t count = sideNeighbors(index, side, around);
    for (uint32_t i = 0; i < count; ++i)
      if (board[around[i]].color != board[index].color)
        board[index].neighbors.insert(board[around[i]].cluster);
  }
  for (uint32_t id = 1; id < nextClusterId; ++id) rebuildClusterNeighbors(clusterMap.slots[id]);
}

}  // namespace

void loadBoard(const std::vector<uint32_t>& colors) {
  const size_t tileCount =
      static_cast<size_t>(settings.boardSize) * static_cast<size_t>(settings.boardSize);
  board.assign(tileCount, Tile{});
  clusterMap.clear();
  nextClusterId = 1;
  for (size_t i = 0; i < tileCount && i < colors.size(); ++i) board[i].color = colors[i];
  labelNewBoard();
  rebuildMoveCache();
}

void generateBoard() {
  const size_t tileCount =
      static_cast<size_t>(settings.boardSize) * static_cast<size_t>(settings.boardSize);
  std::vector<uint32_t> colors(tileCount);
  clockSeededOutputs(colors.data(), colors.size());
  for (uint32_t& color : colors) color = colorFromDraw(drawFromOutput(color), settings.colorCount);
  loadBoard(colors);
}

void labelRegion(uint32_t x, uint32_t y) {
  const uint32_t side = static_cast<uint32_t>(settings.boardSize);
  const uint32_t start = tileIndex(x, y);
  moveCache.valid = false;

  if (scratch.visitedStamp.size() != board.size()) {
    scratch.visitedStamp.assign(board.size(), 0);
    scratch.stamp = 0;
  }
  if (++scratch.stamp == 0) {  // the stamp wrapped: clear the marks once
    std::fill(scratch.visitedStamp.begin(), scratch.visitedStamp.end(), 0);
    scratch.stamp = 1;
  }
  scratch.queue.clear();
  appendUnvisited(start, side);

  if (board[start].cluster == 0) {
    const uint32_t id = nextClusterId++;
    board[start].cluster = id;
    Cluster& opened = getOrCreateCluster(id);
    opened.neighbors.clear();
    opened.tiles.assign(1, start);
    opened.color = board[start].color;
  }
  const uint32_t color = board[start].color;
  const uint32_t id = board[start].cluster;
  Cluster* cluster = findCluster(id);
  if (cluster == nullptr) return;  // an id the map lacks: nothing to spread into

  for (size_t head = 0; head < scratch.queue.size(); ++head) {
    const uint32_t index = scratch.queue[head];
    scratch.visitedStamp[index] = scratch.stamp;
    Tile& tile = board[index];
    if (tile.color == color) {
      if (tile.cluster == id) continue;
      tile.cluster = id;
      tile.neighbors.erase(id);
      insertSorted(cluster->tiles, index);
      appendUnvisited(index, side);
    } else {
      tile.neighbors.insert(id);
    }
  }
}

void refreshNeighbors() {
  moveCache.valid = false;
  // Ids are read afresh on every step: a lookup of an unknown id adds an entry, which can grow
  // the map while it is walked.
  for (uint32_t id = 0; id < clusterMap.slots.size(); ++id) {
    if (!clusterMap.present[id]) continue;
    for (size_t i = 0; i < clusterMap.slots[id].tiles.size(); ++i) {
      Tile& tile = board[clusterMap.slots[id].tiles[i]];
      for (const uint32_t listed : tile.neighbors.toVector())
        if (getOrCreateCluster(listed).color == tile.color) tile.neighbors.erase(listed);
    }
    rebuildClusterNeighbors(clusterMap.slots[id]);
  }
}
