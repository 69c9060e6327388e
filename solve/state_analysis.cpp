#include "solve/state_analysis.h"

#include <algorithm>
#include <bit>

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
  analysis.raised = 0;
  analysis.lifted = 0;

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
        analysis.colors[std::countr_zero(bits)].gain += size;
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
    if (analysis.colors[k].remaining > 0) farthest[count++] = deadline(analysis, k);
  return boundOfFarthest(farthest, count) + analysis.lifted;
}

uint32_t coloursByFarthest(const StateSummary& state, uint32_t colorCount,
                           uint32_t order[maxColors]) {
  uint32_t count = 0;
  for (uint32_t k = 0; k < colorCount; ++k)
    if (state.colors[k].remaining > 0) order[count++] = k;
  uint32_t due[maxColors];
  for (uint32_t i = 0; i < count; ++i) due[i] = deadline(state, order[i]);
  for (uint32_t i = 1; i < count; ++i)  // insertion sort, stable: a handful of colours
    for (uint32_t j = i; j > 0 && due[j - 1] < due[j]; --j) {
      std::swap(due[j - 1], due[j]);
      std::swap(order[j - 1], order[j]);
    }
  return count;
}

ChildBounds::ChildBounds(const StateSummary& state, uint32_t colorCount)
    : floor_(state.lifted != 0 ? lowerBound(state, colorCount) - 1 : 0) {
  uint32_t order[maxColors];
  const uint32_t count = coloursByFarthest(state, colorCount, order);
  const uint32_t everyMove = colorCount == 32 ? ~uint32_t{0} : (uint32_t{1} << colorCount) - 1;
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t k = order[i];
    const uint32_t due = deadline(state, k);
    if (groupCount_ == 0 || groups_[groupCount_ - 1].due != due)
      groups_[groupCount_++] = {due, 0, {}};
    Group& group = groups_[groupCount_ - 1];
    ++group.size;
    const bool raised = ((state.raised >> k) & 1) != 0;
    for (uint32_t via = raised ? everyMove : state.colors[k].farthestVia; via != 0; via &= via - 1)
      ++group.dropping[std::countr_zero(via)];
  }
}

// Bound of a child: the largest t - 1 + (number of colours whose deadline is at least t) over
// its colours' deadlines t. Within a group of deadline v, the colours that `move` drops fall to
// v - 1 (the moved colour's own frontier regions drop to 0 and leave). Trying t = v and
// t = v - 1 for every group covers every deadline a child can have; a t that is no child's
// deadline never beats the next deadline above it.
uint32_t ChildBounds::operator()(uint32_t move) const {
  uint32_t bound = floor_;
  uint32_t above = 0;  // colours whose child distance exceeds the group's v - 1
  for (uint32_t g = 0; g < groupCount_; ++g) {
    const Group& group = groups_[g];
    const uint32_t v = group.due;
    const uint32_t staying = group.size - group.dropping[move];
    if (above + staying > 0) bound = std::max(bound, v - 1 + above + staying);
    if (v >= 2) {
      const bool nextIsBelow = g + 1 < groupCount_ && groups_[g + 1].due == v - 1;
      const uint32_t below = nextIsBelow ? groups_[g + 1].size - groups_[g + 1].dropping[move] : 0;
      bound = std::max(bound, v - 2 + above + group.size + below);
    }
    above += group.size;
  }
  return bound;
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
