#include "solve/far_part.h"

RegionGraph farPartGraph(const RegionGraph& graph, std::span<const uint32_t> farRegions) {
  const uint32_t count = static_cast<uint32_t>(farRegions.size()) + 1;
  std::vector<uint32_t> index(graph.regionCount(), 0);  // 0: nearer, so joined
  for (uint32_t i = 0; i < farRegions.size(); ++i) index[farRegions[i]] = i + 1;

  RegionGraph part;
  part.side = graph.side;
  part.colorCount = graph.colorCount;
  part.color.assign(count, 0);
  part.size.assign(count, 0);
  part.tileStart.assign(count + 1, 0);  // the searches look at regions only
  std::vector<std::vector<uint32_t>> neighbors(count);
  for (uint32_t i = 1; i < count; ++i) {
    const uint32_t r = farRegions[i - 1];
    part.color[i] = graph.color[r];
    part.size[i] = graph.size[r];
    for (const uint32_t n : graph.neighborsOf(r)) {
      neighbors[i].push_back(index[n]);
      if (index[n] == 0) neighbors[0].push_back(i);
    }
  }
  // The joined region takes a colour none of its neighbours has, when there is one, as after a
  // move: every move is then open to it.
  uint64_t bordering = 0;
  for (const uint32_t n : neighbors[0]) bordering |= uint64_t{1} << part.color[n];
  for (uint32_t c = 0; c < part.colorCount; ++c)
    if (((bordering >> c) & 1) == 0) {
      part.color[0] = static_cast<uint8_t>(c);
      break;
    }
  part.neighborStart.push_back(0);
  for (std::vector<uint32_t>& list : neighbors) {
    std::sort(list.begin(), list.end());
    list.erase(std::unique(list.begin(), list.end()), list.end());
    part.neighbors.insert(part.neighbors.end(), list.begin(), list.end());
    part.neighborStart.push_back(static_cast<uint32_t>(part.neighbors.size()));
  }
  return part;
}
