// The analysis the exact search needs, on fixed-size bitsets: breadth-first levels as sets, and
// for each colour c the set of regions whose `via` holds c, level by level, each grown a
// neighbour row at a time. On the graphs exact search can finish, that is a few word operations
// a region instead of a pass over every edge.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <vector>

#include "solve/region_graph.h"
#include "solve/state_analysis.h"

template <size_t Words>
using Bits = std::array<uint64_t, Words>;

// A search state: the joined set and its frontier, which the set determines but which spares
// each analysis a pass over the joined regions.
template <size_t Words>
struct BitState {
  Bits<Words> joined;
  Bits<Words> frontier;
};

template <size_t Words, class Visit>
void forEachBit(const Bits<Words>& bits, Visit visit) {
  for (size_t w = 0; w < Words; ++w)
    for (uint64_t word = bits[w]; word != 0; word &= word - 1)
      visit(static_cast<uint32_t>(w * 64 + std::countr_zero(word)));
}

template <size_t Words>
bool isEmpty(const Bits<Words>& bits) {
  uint64_t any = 0;
  for (size_t w = 0; w < Words; ++w) any |= bits[w];
  return any == 0;
}

template <size_t Words>
class BitAnalysis {
 public:
  using State = BitState<Words>;

  explicit BitAnalysis(const RegionGraph& graph)
      : color_(graph.color.data()),
        colorCount_(graph.colorCount),
        neighborRows_(graph.regionCount()),
        colorRows_(graph.colorCount),
        levels_(graph.regionCount() + 2),
        reaches_((graph.regionCount() + 2) * graph.colorCount),
        liveAt_(graph.regionCount() + 2) {
    for (uint32_t r = 0; r < graph.regionCount(); ++r) {
      keys_.push_back(regionKey(r));
      for (const uint32_t n : graph.neighborsOf(r)) setBit(neighborRows_[r].data(), n);
      setBit(colorRows_[graph.color[r]].data(), r);
    }
  }

  State startState(uint32_t start) const {
    State state{};
    setBit(state.joined.data(), start);
    state.frontier = neighborRows_[start];
    return state;
  }

  const StateSummary& analyze(const State& state) {
    Bits<Words> visited;
    for (size_t w = 0; w < Words; ++w) visited[w] = state.joined[w] | state.frontier[w];
    levels_[1] = state.frontier;
    // Colours whose reach is not empty at the level in hand; an empty reach is never read.
    uint32_t live = 0;
    for (uint32_t c = 0; c < colorCount_; ++c) {
      summary_.colors[c] = ColorStats{};
      Bits<Words>& reach = reachAt(1, c);
      for (size_t w = 0; w < Words; ++w) reach[w] = state.frontier[w] & colorRows_[c][w];
      if (!isEmpty(reach)) live |= uint32_t{1} << c;
    }
    liveAt_[1] = live;
    forEachBit(state.frontier, [&](uint32_t r) {
      ColorStats& stats = summary_.colors[color_[r]];
      ++stats.frontier;
      stats.keys ^= keys_[r];
    });

    uint32_t remaining = 0;
    for (uint32_t depth = 1; !isEmpty(levels_[depth]); ++depth) {
      Bits<Words> next{};
      forEachBit(levels_[depth], [&](uint32_t r) {
        ColorStats& stats = summary_.colors[color_[r]];
        ++stats.remaining;
        stats.farthest = depth;
        ++remaining;
        for (size_t w = 0; w < Words; ++w) next[w] |= neighborRows_[r][w];
      });
      for (size_t w = 0; w < Words; ++w) {
        next[w] &= ~visited[w];
        visited[w] |= next[w];
      }
      levels_[depth + 1] = next;
      uint32_t nextLive = 0;
      for (uint32_t colors = live; colors != 0; colors &= colors - 1) {
        const uint32_t c = static_cast<uint32_t>(std::countr_zero(colors));
        Bits<Words> reachNext{};
        forEachBit(reachAt(depth, c), [&](uint32_t r) {
          for (size_t w = 0; w < Words; ++w) reachNext[w] |= neighborRows_[r][w];
        });
        for (size_t w = 0; w < Words; ++w) reachNext[w] &= next[w];
        reachAt(depth + 1, c) = reachNext;
        if (!isEmpty(reachNext)) nextLive |= uint32_t{1} << c;
      }
      live = nextLive;
      liveAt_[depth + 1] = live;
    }
    summary_.remainingRegions = remaining;
    summary_.opening = liveAt_[2];

    // c is shared by every farthest region of colour k when they all lie in c's reach.
    for (uint32_t k = 0; k < colorCount_; ++k) {
      ColorStats& stats = summary_.colors[k];
      if (stats.remaining == 0) continue;
      Bits<Words> farthest;
      for (size_t w = 0; w < Words; ++w)
        farthest[w] = levels_[stats.farthest][w] & colorRows_[k][w];
      for (uint32_t colors = liveAt_[stats.farthest]; colors != 0; colors &= colors - 1) {
        const uint32_t c = static_cast<uint32_t>(std::countr_zero(colors));
        const Bits<Words>& reach = reachAt(stats.farthest, c);
        uint64_t outside = 0;
        for (size_t w = 0; w < Words; ++w) outside |= farthest[w] & ~reach[w];
        if (outside == 0) stats.farthestVia |= uint32_t{1} << c;
      }
    }
    return summary_;
  }

  // The child of the last analysed state by `move`: its frontier regions of that colour join,
  // and the regions two steps away that they touch become frontier.
  State child(const State& state, uint32_t move) const {
    State next;
    const bool reaches = (liveAt_[2] >> move) & 1;
    for (size_t w = 0; w < Words; ++w) {
      const uint64_t joining = state.frontier[w] & colorRows_[move][w];
      next.joined[w] = state.joined[w] | joining;
      next.frontier[w] = (state.frontier[w] & ~joining) | (reaches ? reachAt(2, move)[w] : 0);
    }
    return next;
  }

 private:
  Bits<Words>& reachAt(uint32_t level, uint32_t c) { return reaches_[level * colorCount_ + c]; }
  const Bits<Words>& reachAt(uint32_t level, uint32_t c) const {
    return reaches_[level * colorCount_ + c];
  }

  const uint8_t* color_;
  uint32_t colorCount_;
  std::vector<Bits<Words>> neighborRows_;  // per region
  std::vector<Bits<Words>> colorRows_;     // per colour
  std::vector<uint64_t> keys_;             // per region
  std::vector<Bits<Words>> levels_;        // level i: regions at distance i (level 0 unused)
  std::vector<Bits<Words>> reaches_;       // level i, colour c: its regions whose `via` holds c
  std::vector<uint32_t> liveAt_;           // per level, the colours whose reach is not empty
  StateSummary summary_;
};
