// Region labelling: a new or loaded board is labelled whole, a move relabels from the region's
// tiles, and the neighbour sets of tiles and clusters are kept for the turn and the queries.
#include <algorithm>
#include <cstddef>

#include "board/board.h"
#include "board/draw.h"
#include "board/engine_detail.h"

void rebuildClusterNeighbors(Game& game, Cluster& cluster) {
  // Each id is taken once, marked with a fresh stamp, so only the distinct ids get sorted. The
  // one spare slot leaves room for the id of the player's region, which a live cluster may still
  // gain during play.
  EngineScratch& scratch = game.scratch;
  if (scratch.idStamp.size() < game.clusterMap.slots.size())
    scratch.idStamp.resize(game.clusterMap.slots.size(), 0);
  if (++scratch.idStampValue == 0) {  // wrapped: clear the marks once
    std::fill(scratch.idStamp.begin(), scratch.idStamp.end(), 0);
    scratch.idStampValue = 1;
  }
  std::vector<uint32_t>& gathered = scratch.gathered;
  gathered.clear();
  for (uint32_t t : cluster.tiles)
    for (uint32_t listed : game.board[t].neighbors)
      if (scratch.idStamp[listed] != scratch.idStampValue) {
        scratch.idStamp[listed] = scratch.idStampValue;
        gathered.push_back(listed);
      }
  std::sort(gathered.begin(), gathered.end());
  if (cluster.neighbors.capacity() < gathered.size() + 1)
    cluster.neighbors.reserve(gathered.size() + 1);
  cluster.neighbors.assign(gathered.begin(), gathered.end());
}

void prepareSideTable(Game& game) {
  EngineScratch& scratch = game.scratch;
  const uint32_t side = game.boardSize;
  const size_t tileCount = size_t{side} * side;
  if (scratch.sideTableSide == side && scratch.sideCounts.size() == tileCount) return;
  scratch.sideTiles.assign(4 * tileCount, 0);
  scratch.sideCounts.assign(tileCount, 0);
  for (uint32_t y = 0; y < side; ++y)
    for (uint32_t x = 0; x < side; ++x) {
      const uint32_t index = x + y * side;
      uint32_t* out = scratch.sideTiles.data() + size_t{4} * index;
      uint8_t count = 0;
      if (x > 0) out[count++] = index - 1;
      if (x + 1 < side) out[count++] = index + 1;
      if (y > 0) out[count++] = index - side;
      if (y + 1 < side) out[count++] = index + side;
      scratch.sideCounts[index] = count;
    }
  scratch.sideTableSide = side;
}

namespace {

void appendUnvisited(Game& game, uint32_t index) {
  EngineScratch& scratch = game.scratch;
  for (uint32_t next : sidesOf(game, index))
    if (scratch.visitedStamp[next] != scratch.stamp) scratch.queue.push_back(next);
}

// Labels a freshly coloured board as one labelRegion call per tile in row order would: regions
// get ids in the row order of their smallest tile, each tile lists the clusters of its
// differently coloured side neighbours, and each cluster lists what its tiles list.
void labelNewBoard(Game& game) {
  const uint32_t tileCount = game.boardSize * game.boardSize;
  std::vector<Tile>& board = game.board;
  std::vector<uint32_t>& stack = game.scratch.queue;
  game.clusterMap.slots.reserve(tileCount + 1);
  game.clusterMap.present.reserve(tileCount + 1);
  for (uint32_t start = 0; start < tileCount; ++start) {
    if (board[start].cluster != 0) continue;
    const uint32_t id = game.nextClusterId++;
    const uint32_t color = board[start].color;
    getOrCreateCluster(game, id).color = color;
    board[start].cluster = id;
    stack.assign(1, start);
    while (!stack.empty()) {
      const uint32_t index = stack.back();
      stack.pop_back();
      for (uint32_t nextIndex : sidesOf(game, index)) {
        Tile& next = board[nextIndex];
        if (next.color == color && next.cluster == 0) {
          next.cluster = id;
          stack.push_back(nextIndex);
        }
      }
    }
  }
  // Walking the tiles in index order fills every cluster's tile set already sorted; its
  // neighbour set, short as it is, collects distinct ids and is sorted once at the end.
  std::vector<Cluster>& slots = game.clusterMap.slots;
  for (uint32_t index = 0; index < tileCount; ++index) {
    Tile& tile = board[index];
    Cluster& cluster = slots[tile.cluster];
    cluster.tiles.push_back(index);
    for (uint32_t next : sidesOf(game, index)) {
      if (board[next].color == tile.color) continue;
      const uint32_t listed = board[next].cluster;
      if (!tile.neighbors.insert(listed)) continue;
      if (std::find(cluster.neighbors.begin(), cluster.neighbors.end(), listed) ==
          cluster.neighbors.end())
        cluster.neighbors.push_back(listed);
    }
  }
  for (uint32_t id = 1; id < game.nextClusterId; ++id)
    std::sort(slots[id].neighbors.begin(), slots[id].neighbors.end());
}

}  // namespace

void loadBoard(Game& game, const std::vector<uint32_t>& colors) {
  const size_t tileCount = static_cast<size_t>(game.boardSize) * game.boardSize;
  game.board.assign(tileCount, Tile{});
  game.clusterMap.clear();
  game.nextClusterId = 1;
  for (size_t i = 0; i < tileCount && i < colors.size(); ++i) game.board[i].color = colors[i];
  prepareSideTable(game);
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
  prepareSideTable(game);
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
  appendUnvisited(game, start);

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
      appendUnvisited(game, index);
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
