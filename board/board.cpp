// The cluster registry of a game: the ordered id map and its lookups.
#include "board/board.h"

#include <algorithm>
#include <cassert>
#include <utility>

void ClusterMap::clear() {
  for (uint32_t id = 0; id < present.size(); ++id) {
    if (!present[id]) continue;
    present[id] = 0;
    slots[id].neighbors.clear();
    slots[id].tiles.clear();
    slots[id].color = 0;
  }
  entryCount = 0;
}

std::vector<uint32_t> ClusterMap::ids() const {
  std::vector<uint32_t> result;
  result.reserve(entryCount);
  for (uint32_t id = 0; id < present.size(); ++id)
    if (present[id]) result.push_back(id);
  return result;
}

Cluster& getOrCreateCluster(Game& game, uint32_t id) {
  ClusterMap& map = game.clusterMap;
  if (id >= map.slots.size()) {
    map.slots.resize(static_cast<size_t>(id) + 1);
    map.present.resize(static_cast<size_t>(id) + 1, 0);
  }
  if (!map.present[id]) {
    // A slot left by an earlier board is emptied, not replaced, so its storage is reused.
    map.present[id] = 1;
    map.slots[id].neighbors.clear();
    map.slots[id].tiles.clear();
    map.slots[id].color = 0;
    ++map.entryCount;
  }
  return map.slots[id];
}

const Cluster* findCluster(const Game& game, uint32_t id) {
  const ClusterMap& map = game.clusterMap;
  if (id >= map.present.size() || !map.present[id]) return nullptr;
  return &map.slots[id];
}

Cluster* findCluster(Game& game, uint32_t id) {
  return const_cast<Cluster*>(findCluster(std::as_const(game), id));
}

uint32_t mainClusterId(const Game& game) {
  const std::vector<uint8_t>& present = game.clusterMap.present;
  for (uint32_t id = 0; id < present.size(); ++id)
    if (present[id]) return id;
  assert(false && "the cluster map is empty");
  return 0;
}

Cluster& mainCluster(Game& game) {
  return game.clusterMap.slots[mainClusterId(game)];
}
