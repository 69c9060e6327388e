#include <algorithm>
#include <cassert>
#include <utility>
#include <vector>

#include "board/board.h"
#include "board/engine_detail.h"

void rebuildMoveCache(Game& game) {
  const ClusterMap& clusterMap = game.clusterMap;
  const std::vector<Tile>& board = game.board;
  MoveCache& moveCache = game.moveCache;
  const uint32_t mainId = mainClusterId(game);
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

bool isComplete(Game& game) {
  return mainCluster(game).tiles.size() == game.board.size();
}

// The move as written: relabel from every tile of the player's region, walking its tile set
// live, then refresh everything. Used when the board was changed by anything but a move, so
// the cache cannot be trusted.
bool applyColorByRelabelling(Game& game, uint32_t color) {
  ClusterMap& clusterMap = game.clusterMap;
  const uint32_t mainId = mainClusterId(game);
  const uint32_t side = game.boardSize;
  clusterMap.slots[mainId].color = color;
  for (uint32_t t : clusterMap.slots[mainId].tiles) game.board[t].color = color;
  for (size_t i = 0; i < clusterMap.slots[mainId].tiles.size();) {
    const uint32_t index = clusterMap.slots[mainId].tiles[i];
    labelRegion(game, index % side, index / side);
    const auto& tiles = clusterMap.slots[mainId].tiles;
    i = static_cast<size_t>(std::upper_bound(tiles.begin(), tiles.end(), index) - tiles.begin());
  }
  refreshNeighbors(game);
  rebuildMoveCache(game);
  return isComplete(game);
}

// The region's id is the smallest key there is, so it always goes first in a set.
void listRegionFirst(std::vector<uint32_t>& set, uint32_t mainId) {
  if (set.empty() || set.front() != mainId) set.insert(set.begin(), mainId);
}

// Tile `index` of the region has stopped listing `listed`; the cluster it came from may have to
// drop the id too.
void unlistFromRegionTile(Game& game, uint32_t index, uint32_t listed, uint32_t mainId) {
  --game.moveCache.mainListCount[listed];
  const uint32_t origin = game.moveCache.tileOrigin[index];
  if (origin != mainId) game.scratch.dropped.emplace_back(origin, listed);
}

// The cluster keeps the id unless none of its tiles lists it any more.
void dropUnlisted(const Game& game, Cluster& cluster, uint32_t listed) {
  for (uint32_t t : cluster.tiles)
    if (game.board[t].neighbors.contains(listed)) return;
  eraseSorted(cluster.neighbors, listed);
}

}  // namespace

// The move, touching only what changes. Between moves the region's tiles list every live
// cluster that touches the region, every other tile touching it lists the region, and only the
// region's recorded colour ever changes; so a move absorbs exactly the live clusters of the new
// colour in the region's neighbour set, and the refresh can only drop ids of that colour from
// the region's tiles.
bool applyColor(Game& game, uint32_t color) {
  if (!game.moveCache.valid) return applyColorByRelabelling(game, color);
  ClusterMap& clusterMap = game.clusterMap;
  std::vector<Tile>& board = game.board;
  MoveCache& moveCache = game.moveCache;
  EngineScratch& scratch = game.scratch;
  const uint32_t mainId = mainClusterId(game);
  const uint32_t side = game.boardSize;
  Cluster& region = clusterMap.slots[mainId];
  region.color = color;
  for (uint32_t t : region.tiles) board[t].color = color;

  scratch.absorbed.clear();
  scratch.joined.clear();
  scratch.added.clear();
  scratch.pruned.clear();
  scratch.dropped.clear();
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
        if (next.color != color) {
          if (next.neighbors.insert(mainId))
            listRegionFirst(clusterMap.slots[next.cluster].neighbors, mainId);
        } else if (next.cluster == mainId && next.neighbors.erase(absorbedId)) {
          // Part of the refresh, done here while the absorbed tiles are at hand.
          unlistFromRegionTile(game, around[i], absorbedId, mainId);
        }
      }
    }
    // Its tiles only lose the region's id: the ids they list were recorded with colours other
    // than their own, so the refresh below prunes none of them.
    eraseSorted(clusterMap.slots[absorbedId].neighbors, mainId);
  }
  if (!scratch.joined.empty()) {
    std::sort(scratch.joined.begin(), scratch.joined.end());
    scratch.merged.resize(region.tiles.size() + scratch.joined.size());
    std::merge(region.tiles.begin(), region.tiles.end(), scratch.joined.begin(),
               scratch.joined.end(), scratch.merged.begin());
    region.tiles.swap(scratch.merged);
    for (uint32_t t : scratch.joined)
      for (uint32_t listed : board[t].neighbors)
        if (moveCache.mainListCount[listed]++ == 0) scratch.added.push_back(listed);
  }

  // Refresh: the region's tiles drop every id recorded with the new colour. A tile can only
  // list an id of a cluster it touches, so the listers are found around that cluster's tiles.
  for (const std::vector<uint32_t>* listedIds : {&region.neighbors, &scratch.added})
    for (uint32_t listed : *listedIds)
      if (clusterMap.slots[listed].color == color) scratch.pruned.push_back(listed);
  for (uint32_t listed : scratch.pruned) {
    // The count of listers says when the last one has been found.
    uint32_t& listers = moveCache.mainListCount[listed];
    const std::vector<uint32_t>& tiles = clusterMap.slots[listed].tiles;
    for (size_t k = 0; k < tiles.size() && listers > 0; ++k) {
      const uint32_t count = sideNeighbors(tiles[k], side, around);
      for (uint32_t i = 0; i < count; ++i) {
        Tile& next = board[around[i]];
        if (next.cluster == mainId && next.neighbors.erase(listed))
          unlistFromRegionTile(game, around[i], listed, mainId);
      }
    }
    assert(listers == 0);
  }

  // The region's set is the ids its tiles still list: the old set and the new ids, less the
  // ones whose count fell to zero.
  if (!scratch.added.empty() || !scratch.pruned.empty()) {
    std::sort(scratch.added.begin(), scratch.added.end());
    scratch.merged.resize(region.neighbors.size() + scratch.added.size());
    const auto end = std::merge(region.neighbors.begin(), region.neighbors.end(),
                                scratch.added.begin(), scratch.added.end(), scratch.merged.begin());
    scratch.merged.erase(
        std::remove_if(scratch.merged.begin(), end,
                       [&](uint32_t id) { return moveCache.mainListCount[id] == 0; }),
        scratch.merged.end());
    region.neighbors.assign(scratch.merged.begin(), scratch.merged.end());
  }
  for (const auto& [origin, listed] : scratch.dropped)
    dropUnlisted(game, clusterMap.slots[origin], listed);
  return region.tiles.size() == board.size();
}

namespace {

// With the cache valid, the region's neighbour set is exactly the union of its tiles' lists, so
// the best score is found there; the tiles are walked only to break a tie by the order in which
// the candidates are met.
uint32_t chooseCandidateFromCache(const Game& game, uint32_t mainId) {
  const ClusterMap& clusterMap = game.clusterMap;
  const Cluster& region = clusterMap.slots[mainId];
  if (region.neighbors.empty()) return clusterMap.size();
  size_t bestScore = 0;
  uint32_t choice = 0;
  uint32_t ties = 0;
  for (uint32_t candidate : region.neighbors) {
    const size_t score = clusterMap.slots[candidate].neighbors.size();
    if (ties == 0 || score > bestScore) {
      bestScore = score;
      choice = candidate;
      ties = 1;
    } else if (score == bestScore) {
      ++ties;
    }
  }
  if (ties == 1) return choice;
  for (uint32_t t : region.tiles)
    for (uint32_t candidate : game.board[t].neighbors)
      if (clusterMap.slots[candidate].neighbors.size() == bestScore) return candidate;
  return choice;
}

}  // namespace

uint32_t chooseColor(Game& game) {
  const uint32_t mainId = mainClusterId(game);
  if (game.moveCache.valid)
    return getOrCreateCluster(game, chooseCandidateFromCache(game, mainId)).color;
  const ClusterMap& clusterMap = game.clusterMap;
  bool found = false;
  uint32_t choice = 0;
  size_t bestScore = 0;
  // Indexes are re-read each step: scoring an unknown id would add an entry to the map.
  for (size_t i = 0; i < clusterMap.slots[mainId].tiles.size(); ++i) {
    const Tile& tile = game.board[clusterMap.slots[mainId].tiles[i]];
    for (uint32_t candidate : tile.neighbors) {
      const Cluster* known = findCluster(game, candidate);
      const size_t score =
          known ? known->neighbors.size() : getOrCreateCluster(game, candidate).neighbors.size();
      if (!found || score > bestScore) {
        found = true;
        choice = candidate;
        bestScore = score;
      }
    }
  }
  if (!found) choice = clusterMap.size();  // only on a complete board: the last cluster opened
  return getOrCreateCluster(game, choice).color;
}

bool solveStep(Game& game) {
  return applyColor(game, chooseColor(game));
}
