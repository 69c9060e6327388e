#include "board/board.h"

#include <algorithm>
#include <cassert>

void ClusterMap::clear() {
  slots.clear();
  present.clear();
  entryCount = 0;
}

std::vector<uint32_t> ClusterMap::ids() const {
  std::vector<uint32_t> result;
  result.reserve(entryCount);
  for (uint32_t id = 0; id < present.size(); ++id)
    if (present[id]) result.push_back(id);
  return result;
}

Cluster& getOrCreateCluster(uint32_t id) {
  if (id >= clusterMap.slots.size()) {
    clusterMap.slots.resize(static_cast<size_t>(id) + 1);
    clusterMap.present.resize(static_cast<size_t>(id) + 1, 0);
  }
  if (!clusterMap.present[id]) {
    clusterMap.present[id] = 1;
    clusterMap.slots[id] = Cluster{};
    ++clusterMap.entryCount;
  }
  return clusterMap.slots[id];
}

Cluster* findCluster(uint32_t id) {
  if (id >= clusterMap.present.size() || !clusterMap.present[id]) return nullptr;
  return &clusterMap.slots[id];
}

uint32_t mainClusterId() {
  for (uint32_t id = 0; id < clusterMap.present.size(); ++id)
    if (clusterMap.present[id]) return id;
  assert(false && "the cluster map is empty");
  return 0;
}

Cluster& mainCluster() {
  return clusterMap.slots[mainClusterId()];
}
