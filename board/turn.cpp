// The solver turn: the move itself (applyColor, kept fast by a cache of which region tiles
// list which clusters) and the greedy choice of its colour (chooseColor, solveStep).
#include <algorithm>
#include <cassert>
#include <vector>

#include "board/board.h"
#include "board/engine_detail.h"

namespace {

// Records that region tile `t` lists the ids it lists now. A region tile never lists the
// region itself, so its four links hold every id it can list.
void chainListers(MoveCache& cache, const Tile& tile, uint32_t t) {
  assert(tile.neighbors.size() <= 4);
  uint32_t link = t * 4;
  for (uint32_t listed : tile.neighbors) {
    cache.nextLister[link] = cache.firstLister[listed];
    cache.firstLister[listed] = link++;
  }
}

}  // namespace

void rebuildMoveCache(Game& game) {
  const ClusterMap& clusterMap = game.clusterMap;
  MoveCache& cache = game.moveCache;
  const uint32_t mainId = mainClusterId(game);
  cache.tileOrigin.assign(game.board.size(), mainId);
  for (uint32_t id = 0; id < clusterMap.slots.size(); ++id) {
    if (!clusterMap.present[id] || id == mainId) continue;
    for (uint32_t t : clusterMap.slots[id].tiles) cache.tileOrigin[t] = id;
  }
  cache.firstLister.assign(clusterMap.slots.size(), MoveCache::none);
  cache.nextLister.resize(game.board.size() * 4);
  for (uint32_t t : clusterMap.slots[mainId].tiles) chainListers(cache, game.board[t], t);
  cache.inRegionSet.assign(clusterMap.slots.size(), 0);
  for (uint32_t listed : clusterMap.slots[mainId].neighbors) cache.inRegionSet[listed] = 1;
  cache.valid = true;
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

// Region tile `t` has stopped listing `listed`, an id of the move's colour. No tile of the
// region lists such an id after the move, so the absorbed cluster the tile came from drops it.
void unlistFromRegionTile(Game& game, uint32_t t, uint32_t listed, uint32_t mainId) {
  const uint32_t origin = game.moveCache.tileOrigin[t];
  if (origin != mainId) eraseSorted(game.clusterMap.slots[origin].neighbors, listed);
}

// The live clusters of the new colour among those the region touches.
void findAbsorbed(Game& game, const Cluster& region, uint32_t color, uint32_t mainId) {
  for (uint32_t listed : region.neighbors) {
    const Cluster& other = game.clusterMap.slots[listed];
    if (other.color == color && game.board[other.tiles.front()].cluster != mainId)
      game.scratch.absorbed.push_back(listed);
  }
}

// Gives the absorbed clusters' tiles to the region, makes every other-coloured tile they touch
// list the region, and takes the absorbed ids off the region's tiles next to them (every tile
// of the region that lists such an id touches it).
void absorbClusters(Game& game, uint32_t color, uint32_t mainId) {
  ClusterMap& clusterMap = game.clusterMap;
  std::vector<Tile>& board = game.board;
  for (uint32_t absorbedId : game.scratch.absorbed) {
    for (uint32_t t : clusterMap.slots[absorbedId].tiles) {
      Tile& tile = board[t];
      tile.cluster = mainId;
      tile.neighbors.erase(mainId);
      game.scratch.joined.push_back(t);
      for (uint32_t nextIndex : sidesOf(game, t)) {
        Tile& next = board[nextIndex];
        if (next.color != color) {
          if (next.neighbors.insert(mainId))
            listRegionFirst(clusterMap.slots[next.cluster].neighbors, mainId);
        } else if (next.cluster == mainId && next.neighbors.erase(absorbedId)) {
          unlistFromRegionTile(game, nextIndex, absorbedId, mainId);
        }
      }
    }
    // Its tiles only lose the region's id: the ids they list were recorded with colours other
    // than their own, so the refresh prunes none of them.
    eraseSorted(clusterMap.slots[absorbedId].neighbors, mainId);
  }
}

// Merges the ascending `extra` into the ascending `set` from the back, so that only the
// elements above the smallest new one move.
void mergeInto(std::vector<uint32_t>& set, const std::vector<uint32_t>& extra) {
  size_t kept = set.size();
  size_t left = extra.size();
  set.resize(kept + left);
  for (size_t out = set.size(); left > 0;) {
    if (kept > 0 && set[kept - 1] > extra[left - 1])
      set[--out] = set[--kept];
    else
      set[--out] = extra[--left];
  }
}

// Adds the joined tiles to the region's ascending tile set and notes the ids they list.
void mergeJoinedTiles(Game& game, Cluster& region) {
  EngineScratch& scratch = game.scratch;
  MoveCache& cache = game.moveCache;
  if (scratch.joined.empty()) return;
  std::sort(scratch.joined.begin(), scratch.joined.end());
  mergeInto(region.tiles, scratch.joined);
  for (uint32_t t : scratch.joined) {
    const Tile& tile = game.board[t];
    chainListers(cache, tile, t);
    for (uint32_t listed : tile.neighbors)
      if (!cache.inRegionSet[listed]) {
        cache.inRegionSet[listed] = 1;
        scratch.added.push_back(listed);
      }
  }
}

// The refresh: the region's tiles drop every id recorded with the new colour. Tiles that join
// list none (their neighbours have other colours), and the clusters just absorbed were taken
// off their listers already, so only ids that the region absorbed earlier and still lists are
// left; their chains name every tile that can still list them.
void pruneRegionLists(Game& game, const Cluster& region, uint32_t color, uint32_t mainId) {
  MoveCache& cache = game.moveCache;
  for (uint32_t absorbedId : game.scratch.absorbed) cache.firstLister[absorbedId] = MoveCache::none;
  for (uint32_t listed : region.neighbors) {
    if (game.clusterMap.slots[listed].color != color) continue;
    for (uint32_t link = cache.firstLister[listed]; link != MoveCache::none;
         link = cache.nextLister[link]) {
      const uint32_t t = link / 4;
      if (game.board[t].neighbors.erase(listed)) unlistFromRegionTile(game, t, listed, mainId);
    }
    cache.firstLister[listed] = MoveCache::none;
  }
}

// The region's set is the ids its tiles still list: the old set and the new ids, less those of
// the new colour.
void updateRegionNeighbors(Game& game, Cluster& region, uint32_t color) {
  MoveCache& cache = game.moveCache;
  std::vector<uint32_t>& added = game.scratch.added;
  const std::vector<Cluster>& slots = game.clusterMap.slots;
  std::vector<uint32_t>& set = region.neighbors;
  set.erase(std::remove_if(set.begin(), set.end(),
                           [&](uint32_t id) {
                             if (slots[id].color != color) return false;
                             cache.inRegionSet[id] = 0;
                             return true;
                           }),
            set.end());
  std::sort(added.begin(), added.end());
  mergeInto(set, added);
}

}  // namespace

// The move, touching only what changes. Between moves the region's tiles list every live
// cluster that touches the region, every other tile touching it lists the region, and only the
// region's recorded colour ever changes; so a move absorbs exactly the live clusters of the new
// colour in the region's neighbour set, and the refresh can only drop ids of that colour from
// the region's tiles.
bool applyColor(Game& game, uint32_t color) {
  if (!game.moveCache.valid) return applyColorByRelabelling(game, color);
  EngineScratch& scratch = game.scratch;
  const uint32_t mainId = mainClusterId(game);
  Cluster& region = game.clusterMap.slots[mainId];
  region.color = color;
  for (uint32_t t : region.tiles) game.board[t].color = color;

  scratch.absorbed.clear();
  scratch.joined.clear();
  scratch.added.clear();
  findAbsorbed(game, region, color, mainId);
  absorbClusters(game, color, mainId);
  mergeJoinedTiles(game, region);
  pruneRegionLists(game, region, color, mainId);
  updateRegionNeighbors(game, region, color);
  return region.tiles.size() == game.board.size();
}

namespace {

// With the cache valid, the region's neighbour set is exactly the union of its tiles' lists, so
// the best score is found there. Among equal scores the turn takes the candidate met first when
// walking the region's tiles in order: the one whose first listing tile comes first, and on
// the same tile the smaller id. The listing tiles are the ones in the candidate's chain.
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
  const MoveCache& cache = game.moveCache;
  uint32_t firstTile = MoveCache::none;
  for (uint32_t candidate : region.neighbors) {
    if (clusterMap.slots[candidate].neighbors.size() != bestScore) continue;
    uint32_t lister = MoveCache::none;
    for (uint32_t link = cache.firstLister[candidate]; link != MoveCache::none;
         link = cache.nextLister[link])
      lister = std::min(lister, link / 4);
    if (lister < firstTile) {  // ascending ids: a later candidate wins only on an earlier tile
      firstTile = lister;
      choice = candidate;
    }
  }
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
