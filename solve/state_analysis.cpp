#include "solve/state_analysis.h"

#include <algorithm>

namespace {

constexpr uint32_t unreached = UINT32_MAX;

// Largest m_k + k - 1 over the values sorted in descending order.
uint32_t boundOfFarthest(uint32_t* farthest, uint32_t count) {
  std::sort(farthest, farthest + count, [](uint32_t a, uint32_t b) { return a > b; });
  uint32_t bound = 0;
  for (uint32_t k = 0; k < count; ++k) bound = std::max(bound, farthest[k] + k);
  return bound;
}

void noteFarthest(uint32_t d, uint32_t via, uint32_t& farthest, uint32_t& farthestVia) {
  if (d > farthest) {
    farthest = d;
    farthestVia = via;
  } else if (d == farthest) {
    farthestVia &= via;
  }
}

}  // namespace

void analyze(const RegionGraph& graph, const uint64_t* joined, bool withSums,
             StateAnalysis& analysis) {
  const uint32_t regionCount = graph.regionCount();
  auto& distance = analysis.distance;
  auto& via = analysis.via;
  auto& order = analysis.order;
  distance.resize(regionCount);
  via.resize(regionCount);
  order.resize(regionCount);
  analysis.colors.fill(ColorStats{});
  analysis.distanceSum = 0;

  const uint8_t* color = graph.color.data();
  const uint32_t* start = graph.neighborStart.data();
  const uint32_t* neighbors = graph.neighbors.data();
  for (uint32_t r = 0; r < regionCount; ++r) distance[r] = testBit(joined, r) ? 0 : unreached;

  uint32_t tail = 0;
  for (uint32_t r = 0; r < regionCount; ++r) {
    if (distance[r] != 0) continue;
    for (uint32_t e = start[r]; e < start[r + 1]; ++e) {
      const uint32_t n = neighbors[e];
      if (distance[n] != unreached) continue;
      distance[n] = 1;
      via[n] = uint32_t{1} << color[n];
      order[tail++] = n;
    }
  }
  analysis.frontierEnd = tail;

  // Every region of distance d - 1 is taken before any of distance d, so a region's `via` is
  // complete when it is taken.
  for (uint32_t head = 0; head < tail; ++head) {
    const uint32_t r = order[head];
    const uint32_t d = distance[r];
    const uint32_t v = via[r];
    ColorStats& stats = analysis.colors[color[r]];
    ++stats.remaining;
    noteFarthest(d, v, stats.farthest, stats.farthestVia);
    if (d == 1) {
      ++stats.frontier;
      stats.keys ^= regionKey(r);
    } else {
      noteFarthest(d, v, stats.farthestBeyond, stats.farthestBeyondVia);
    }
    if (withSums) {
      const uint32_t size = graph.size[r];
      analysis.distanceSum += uint64_t{d} * size;
      for (uint32_t bits = v; bits != 0; bits &= bits - 1)
        analysis.colors[__builtin_ctz(bits)].gain += size;
    }
    for (uint32_t e = start[r]; e < start[r + 1]; ++e) {
      const uint32_t n = neighbors[e];
      if (distance[n] == unreached) {
        distance[n] = d + 1;
        via[n] = v;
        order[tail++] = n;
      } else if (distance[n] == d + 1) {
        via[n] |= v;
      }
    }
  }
  analysis.remainingRegions = tail;
}

uint32_t lowerBound(const StateAnalysis& analysis, uint32_t colorCount) {
  uint32_t farthest[maxColors];
  uint32_t count = 0;
  for (uint32_t k = 0; k < colorCount; ++k)
    if (analysis.colors[k].remaining > 0) farthest[count++] = analysis.colors[k].farthest;
  return boundOfFarthest(farthest, count);
}

uint32_t childLowerBound(const StateAnalysis& analysis, uint32_t colorCount, uint32_t move) {
  uint32_t farthest[maxColors];
  uint32_t count = 0;
  for (uint32_t k = 0; k < colorCount; ++k) {
    const ColorStats& stats = analysis.colors[k];
    if (k != move) {
      if (stats.remaining > 0)
        farthest[count++] = stats.farthest - ((stats.farthestVia >> move) & 1);
    } else if (stats.remaining > stats.frontier) {
      farthest[count++] = stats.farthestBeyond - ((stats.farthestBeyondVia >> move) & 1);
    }
  }
  return boundOfFarthest(farthest, count);
}

int forcedColor(const StateAnalysis& analysis, uint32_t colorCount) {
  for (uint32_t k = 0; k < colorCount; ++k) {
    const ColorStats& stats = analysis.colors[k];
    if (stats.remaining > 0 && stats.remaining == stats.frontier) return static_cast<int>(k);
  }
  return -1;
}

void joinFrontier(const RegionGraph& graph, const StateAnalysis& analysis, uint32_t move,
                  uint64_t* bits) {
  for (uint32_t i = 0; i < analysis.frontierEnd; ++i) {
    const uint32_t r = analysis.order[i];
    if (graph.color[r] == move) setBit(bits, r);
  }
}
