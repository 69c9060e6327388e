#include <algorithm>
#include <cassert>

#include "board/board.h"
#include "board/engine_cache.h"

void rebuildMoveCache() {
  const uint32_t mainId = mainClusterId();
  moveCache.tileOrigin.assign(board.size(), mainId);
  for (uint32_t id = 0; id < clusterMap.slots.size(); ++id) {
    if (!clusterMap.present[id] || id == mainId) continue;
    for (uint32_t t : clusterMap.slots[id].tiles) moveCache.tileOrigin[t] = id;
  }
  moveCache.mainListCount.assign(clusterMap.slots.size(), 0);
  for (uint32_t t : clusterMap.slots[mainId].tiles)
    for (uint32_t listed : board[t].neighbors) ++moveCache.mainListCount[listed];
  moveCache.valid = true;
}

namespace {

bool isComplete() { return mainCluster().tiles.size() == board.size(); }

// The move as written: relabel from every tile of the player's region, walking its tile set
// live, then refresh everything. Used when the board was changed by anything but a move, so
// the cache cannot be trusted.
bool applyColorByRelabelling(uint32_t color) {
  const uint32_t mainId = mainClusterId();
  const uint32_t side = static_cast<uint32_t>(settings.boardSize);
  clusterMap.slots[mainId].color = color;
  for (uint32_t t : clusterMap.slots[mainId].tiles) board[t].color = color;
  for (size_t i = 0; i < clusterMap.slots[mainId].tiles.size();) {
    const uint32_t index = clusterMap.slots[mainId].tiles[i];
    labelRegion(index % side, index / side);
    const auto& tiles = clusterMap.slots[mainId].tiles;
    i = static_cast<size_t>(std::upper_bound(tiles.begin(), tiles.end(), index) - tiles.begin());
  }
  refreshNeighbors();
  rebuildMoveCache();
  return isComplete();
}

struct MoveScratch {
  std::vector<uint32_t> absorbed;   // clusters joining the region this move
  std::vector<uint32_t> joined;     // their tiles
  std::vector<uint32_t> merged;
  std::vector<uint32_t> dirty;      // absorbed clusters whose tiles' lists changed
  std::vector<uint32_t> pruned;     // ids that no tile of the region lists any more
};
MoveScratch scratch;

void markDirty(uint32_t id) {
  if (std::find(scratch.dirty.begin(), scratch.dirty.end(), id) == scratch.dirty.end())
    scratch.dirty.push_back(id);
}

void countListedByRegion(uint32_t listed, Cluster& region) {
  if (moveCache.mainListCount[listed]++ == 0) insertSorted(region.neighbors, listed);
}

}  // namespace

// The move, touching only what changes. Between moves the region's tiles list every live
// cluster that touches the region, every other tile touching it lists the region, and only the
// region's recorded colour ever changes; so a move absorbs exactly the live clusters of the new
// colour in the region's neighbour set, and the refresh can only drop ids of that colour from
// the region's tiles.
bool applyColor(uint32_t color) {
  if (!moveCache.valid) return applyColorByRelabelling(color);
  const uint32_t mainId = mainClusterId();
  const uint32_t side = static_cast<uint32_t>(settings.boardSize);
  Cluster& region = clusterMap.slots[mainId];
  region.color = color;
  for (uint32_t t : region.tiles) board[t].color = color;

  scratch.absorbed.clear();
  scratch.joined.clear();
  scratch.dirty.clear();
  for (uint32_t listed : region.neighbors) {
    const Cluster& other = clusterMap.slots[listed];
    if (other.color == color && board[other.tiles.front()].cluster != mainId)
      scratch.absorbed.push_back(listed);
  }

  uint32_t around[4];
  for (uint32_t absorbedId : scratch.absorbed) {
    for (uint32_t t : clusterMap.slots[absorbedId].tiles) {
      Tile& tile = board[t];
      tile.cluster = mainId;
      tile.neighbors.erase(mainId);
      scratch.joined.push_back(t);
      const uint32_t count = sideNeighbors(t, side, around);
      for (uint32_t i = 0; i < count; ++i) {
        Tile& next = board[around[i]];
        if (next.color != color && next.neighbors.insert(mainId))
          insertSorted(clusterMap.slots[next.cluster].neighbors, mainId);
      }
    }
    markDirty(absorbedId);
  }
  if (!scratch.joined.empty()) {
    std::sort(scratch.joined.begin(), scratch.joined.end());
    scratch.merged.resize(region.tiles.size() + scratch.joined.size());
    std::merge(region.tiles.begin(), region.tiles.end(), scratch.joined.begin(),
               scratch.joined.end(), scratch.merged.begin());
    region.tiles.swap(scratch.merged);
    for (uint32_t t : scratch.joined)
      for (uint32_t listed : board[t].neighbors) countListedByRegion(listed, region);
  }

  // Refresh: the region's tiles drop every id recorded with the new colour. A tile can only
  // list an id of a cluster it touches, so the listers are found around that cluster's tiles.
  scratch.pruned.clear();
  for (uint32_t listed : region.neighbors)
    if (clusterMap.slots[listed].color == color) scratch.pruned.push_back(listed);
  for (uint32_t listed : scratch.pruned) {
    for (uint32_t t : clusterMap.slots[listed].tiles) {
      const uint32_t count = sideNeighbors(t, side, around);
      for (uint32_t i = 0; i < count; ++i) {
        Tile& next = board[around[i]];
        if (next.cluster != mainId || !next.neighbors.erase(listed)) continue;
        --moveCache.mainListCount[listed];
        const uint32_t origin = moveCache.tileOrigin[around[i]];
        if (origin != mainId) markDirty(origin);
      }
    }
    assert(moveCache.mainListCount[listed] == 0);
    eraseSorted(region.neighbors, listed);
  }
  for (uint32_t id : scratch.dirty) rebuildClusterNeighbors(clusterMap.slots[id]);
  return region.tiles.size() == board.size();
}

uint32_t chooseColor() {
  const uint32_t mainId = mainClusterId();
  bool found = false;
  uint32_t choice = 0;
  size_t bestScore = 0;
  // Indexes are re-read each step: scoring an unknown id would add an entry to the map.
  for (size_t i = 0; i < clusterMap.slots[mainId].tiles.size(); ++i) {
    const Tile& tile = board[clusterMap.slots[mainId].tiles[i]];
    for (uint32_t candidate : tile.neighbors) {
      const Cluster* known = findCluster(candidate);
      const size_t score = known ? known->neighbors.size()
                                 : getOrCreateCluster(candidate).neighbors.size();
      if (!found || score > bestScore) {
        found = true;
        choice = candidate;
        bestScore = score;
      }
    }
  }
  if (!found) choice = clusterMap.size();  // only on a complete board: the last cluster opened
  return getOrCreateCluster(choice).color;
}

bool solveStep() { return applyColor(chooseColor()); }
