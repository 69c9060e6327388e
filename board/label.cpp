#include <algorithm>
#include <cstddef>

#include "board/board.h"
#include "board/draw.h"
#include "board/engine_detail.h"

void rebuildClusterNeighbors(Game& game, Cluster& cluster) {
  // Gathered in a reused buffer, so a refresh allocates little; the one spare slot leaves room
  // for the id of the player's region, which a live cluster may still gain during play.
  std::vector<uint32_t>& gathered = game.scratch.gathered;
  gathered.clear();
  for (uint32_t t : cluster.tiles)
    for (uint32_t listed : game.board[t].neighbors) gathered.push_back(listed);
  std::sort(gathered.begin(), gathered.end());
  gathered.erase(std::unique(gathered.begin(), gathered.end()), gathered.end());
  if (cluster.neighbors.capacity() < gathered.size() + 1)
    cluster.neighbors.reserve(gathered.size() + 1);
  cluster.neighbors.assign(gathered.begin(), gathered.end());
}

namespace {

void appendUnvisited(EngineScratch& scratch, uint32_t index, uint32_t side) {
  uint32_t around[4];
  const uint32_t count = sideNeighbors(index, side, around);
  for (uint32_t i = 0; i < count; ++i)
    if (scratch.visitedStamp[around[i]] != scratch.stamp) scratch.queue.push_back(around[i]);
}

// Labels a freshly coloured board in one pass: regions are filled in row order of their
// smallest tile, which hands out the same ids as one labelRegion call per tile, and each tile
// lists the clusters of its differently coloured side neighbours.
void labelNewBoard(Game& game) {
  const uint32_t side = game.boardSize;
  const uint32_t tileCount = side * side;
  std::vector<Tile>& board = game.board;
  std::vector<uint32_t>& stack = game.scratch.queue;
  uint32_t around[4];
  game.clusterMap.slots.reserve(tileCount + 1);
  game.clusterMap.present.reserve(tileCount + 1);
  for (uint32_t start = 0; start < tileCount; ++start) {
    if (board[start].cluster != 0) continue;
    const uint32_t id = game.nextClusterId++;
    const uint32_t color = board[start].color;
    Cluster& cluster = getOrCreateCluster(game, id);
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
  for (uint32_t id = 1; id < game.nextClusterId; ++id)
    rebuildClusterNeighbors(game, game.clusterMap.slots[id]);
}

}  // namespace

void loadBoard(Game& game, const std::vector<uint32_t>& colors) {
  const size_t tileCount = static_cast<size_t>(game.boardSize) * game.boardSize;
  game.board.assign(tileCount, Tile{});
  game.clusterMap.clear();
  game.nextClusterId = 1;
  for (size_t i = 0; i < tileCount && i < colors.size(); ++i) game.board[i].color = colors[i];
  labelNewBoard(game);
  rebuildMoveCache(game);
}

void generateBoard(Game& game) {
  const size_t tileCount = static_cast<size_t>(game.boardSize) * game.boardSize;
  std::vector<uint32_t> colors(tileCount);
  clockSeededOutputs(colors.data(), colors.size());
  for (uint32_t& color : colors)
    color = colorFromDraw(drawFromOutput(color), static_cast<int32_t>(game.colorCount));
  loadBoard(game, colors);
}

void labelRegion(Game& game, uint32_t x, uint32_t y) {
  const uint32_t side = game.boardSize;
  const uint32_t start = tileIndex(game, x, y);
  std::vector<Tile>& board = game.board;
  EngineScratch& scratch = game.scratch;
  game.moveCache.valid = false;

  if (scratch.visitedStamp.size() != board.size()) {
    scratch.visitedStamp.assign(board.size(), 0);
    scratch.stamp = 0;
  }
  if (++scratch.stamp == 0) {  // the stamp wrapped: clear the marks once
    std::fill(scratch.visitedStamp.begin(), scratch.visitedStamp.end(), 0);
    scratch.stamp = 1;
  }
  scratch.queue.clear();
  appendUnvisited(scratch, start, side);

  if (board[start].cluster == 0) {
    const uint32_t id = game.nextClusterId++;
    board[start].cluster = id;
    Cluster& opened = getOrCreateCluster(game, id);
    opened.neighbors.clear();
    opened.tiles.assign(1, start);
    opened.color = board[start].color;
  }
  const uint32_t color = board[start].color;
  const uint32_t id = board[start].cluster;
  Cluster* cluster = findCluster(game, id);
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
      appendUnvisited(scratch, index, side);
    } else {
      tile.neighbors.insert(id);
    }
  }
}

void refreshNeighbors(Game& game) {
  game.moveCache.valid = false;
  ClusterMap& map = game.clusterMap;
  // Ids are read afresh on every step: a lookup of an unknown id adds an entry, which can grow
  // the map while it is walked.
  for (uint32_t id = 0; id < map.slots.size(); ++id) {
    if (!map.present[id]) continue;
    for (size_t i = 0; i < map.slots[id].tiles.size(); ++i) {
      Tile& tile = game.board[map.slots[id].tiles[i]];
      for (const uint32_t listed : tile.neighbors.toVector())
        if (getOrCreateCluster(game, listed).color == tile.color) tile.neighbors.erase(listed);
    }
    rebuildClusterNeighbors(game, map.slots[id]);
  }
}
