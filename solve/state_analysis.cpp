#include "solve/state_analysis.h"

#include <algorithm>

namespace {

constexpr uint32_t unreached = UINT32_MAX;

// Largest m_k + k - 1 over the values sorted in descending order.
uint32_t boundOfFarthest(uint32_t* farthest, uint32_t count) {
  for (uint32_t i = 1; i < count; ++i)  // insertion sort: a handful of colours
    for (uint32_t j = i; j > 0 && farthest[j - 1] < farthest[j]; --j)
      std::swap(farthest[j - 1], farthest[j]);
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

template <bool withSums>
void analyzeState(const RegionGraph& graph, const uint64_t* joined, StateAnalysis& analysis) {
  const uint32_t regionCount = graph.regionCount();
  auto& distance = analysis.distance;
  auto& via = analysis.via;
  auto& order = analysis.order;
  distance.resize(regionCount);
  via.resize(regionCount);
  order.resize(regionCount);
  std::fill_n(analysis.colors.begin(), graph.colorCount, ColorStats{});
  analysis.distanceSum = 0;
  analysis.opening = 0;

  const uint8_t* color = graph.color.data();
  const uint32_t* start = graph.neighborStart.data();
  const uint32_t* neighbors = graph.neighbors.data();
  for (uint32_t r = 0; r < regionCount; ++r) distance[r] = testBit(joined, r) ? 0 : unreached;

  uint32_t tail = 0;
  const auto enterFrontier = [&](uint32_t r) {
    distance[r] = 1;
    via[r] = uint32_t{1} << color[r];
    order[tail++] = r;
  };
  for (uint32_t r = 0; r < regionCount; ++r) {
    if (distance[r] != 0) continue;
    for (uint32_t e = start[r]; e < start[r + 1]; ++e)
      if (distance[neighbors[e]] == unreached) enterFrontier(neighbors[e]);
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
    } else if (d == 2) {
      analysis.opening |= v;
    }
    if constexpr (withSums) {
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

}  // namespace

void analyze(const RegionGraph& graph, const uint64_t* joined, bool withSums,
             StateAnalysis& analysis) {
  if (withSums)
    analyzeState<true>(graph, joined, analysis);
  else
    analyzeState<false>(graph, joined, analysis);
}

uint32_t lowerBound(const StateSummary& analysis, uint32_t colorCount) {
  uint32_t farthest[maxColors];
  uint32_t count = 0;
  for (uint32_t k = 0; k < colorCount; ++k)
    if (analysis.colors[k].remaining > 0) farthest[count++] = analysis.colors[k].farthest;
  return boundOfFarthest(farthest, count);
}

// A colour that keeps regions past the frontier has its farthest ones there, so the child's
// farthest region of the moved colour is the parent's.
uint32_t childLowerBound(const StateSummary& analysis, uint32_t colorCount, uint32_t move) {
  uint32_t farthest[maxColors];
  uint32_t count = 0;
  for (uint32_t k = 0; k < colorCount; ++k) {
    const ColorStats& stats = analysis.colors[k];
    const uint32_t left = k == move ? stats.remaining - stats.frontier : stats.remaining;
    if (left > 0) farthest[count++] = stats.farthest - ((stats.farthestVia >> move) & 1);
  }
  return boundOfFarthest(farthest, count);
}

int forcedColor(const StateSummary& analysis, uint32_t colorCount) {
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
