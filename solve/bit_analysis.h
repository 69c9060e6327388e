// The analysis the exact search needs, on fixed-size bitsets: breadth-first levels as sets, and
// for each colour c the set of regions whose `via` holds c, level by level, each grown a
// neighbour row at a time. On the graphs exact search can finish, that is a few word operations
// a region instead of a pass over every edge. Where only the moves that lower the bound matter,
// the levels and a walk back from the few regions holding the bound are enough.
//
// The summary is the one analyze() in solve/state_analysis.h computes (but for the distance sum
// and gains, which the exact search does not rank by); tests/solve/analysis_test.cpp holds the
// two equal, so a change to what a field means is made in both.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <functional>
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
bool hasTwoBits(const Bits<Words>& bits) {
  uint32_t nonEmptyWords = 0;
  for (size_t w = 0; w < Words; ++w) {
    if ((bits[w] & (bits[w] - 1)) != 0) return true;
    nonEmptyWords += bits[w] != 0;
  }
  return nonEmptyWords > 1;
}

template <size_t Words>
class BitAnalysis {
 public:
  using State = BitState<Words>;

  static constexpr uint32_t anyBound = UINT32_MAX;

  explicit BitAnalysis(const RegionGraph& graph)
      : color_(graph.color.data()),
        colorCount_(graph.colorCount),
        neighborRows_(graph.regionCount()),
        colorRows_(graph.colorCount),
        levels_(graph.regionCount() + 2),
        reaches_((graph.regionCount() + 2) * graph.colorCount),
        liveAt_(graph.regionCount() + 2),
        sharedAt_(graph.regionCount() + 2),
        droppingAt_(graph.regionCount() + 2) {
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
    analyzeLevels(state);
    return completeAnalysis(state);
  }

  // A state's levels and summary, kept so that its children's can be derived from them.
  struct Kept {
    std::vector<Bits<Words>> levels;
    uint32_t depth = 0;
    StateSummary summary;
  };

  // Keeps the state last analysed (by analyzeLevels at least); the bytes the kept levels grew
  // by, for a search's memory budget.
  size_t keep(Kept& kept) const {
    const size_t before = kept.levels.capacity();
    if (kept.levels.size() < depth_ + 1) kept.levels.resize(depth_ + 1);
    std::copy_n(levels_.begin(), depth_ + 1, kept.levels.begin());
    kept.depth = depth_;
    copySummary(summary_, kept.summary);
    return (kept.levels.capacity() - before) * sizeof(Bits<Words>);
  }

  // Makes the kept state the one last analysed, as analyzeLevels of it would.
  const StateSummary& restore(const Kept& kept) {
    std::copy_n(kept.levels.begin(), kept.depth + 1, levels_.begin());
    depth_ = kept.depth;
    copySummary(kept.summary, summary_);
    return summary_;
  }

  // analyzeLevels of the kept state's child by `move`, derived from the kept levels: a region's
  // distance drops by one exactly when its `via` holds the move, that is when a shortest path
  // reaches it from the move's frontier regions; every other distance stays. So only those
  // regions are walked, not all.
  const StateSummary& analyzeChildLevels(const Kept& kept, const State& child, uint32_t move,
                                         uint32_t liftAt = anyBound) {
    const std::vector<Bits<Words>>& parent = kept.levels;
    const uint32_t parentDepth = kept.depth;
    const StateSummary& parentSummary = kept.summary;
    Bits<Words>& joining = droppingAt_[1];
    for (size_t w = 0; w < Words; ++w) joining[w] = parent[1][w] & colorRows_[move][w];
    for (uint32_t d = 1; d < parentDepth; ++d) {
      Bits<Words> next{};
      forEachBit(droppingAt_[d], [&](uint32_t r) {
        for (size_t w = 0; w < Words; ++w) next[w] |= neighborRows_[r][w];
      });
      for (size_t w = 0; w < Words; ++w) {
        next[w] &= parent[d + 1][w];
        levels_[d][w] = (parent[d][w] & ~droppingAt_[d][w]) | next[w];
      }
      droppingAt_[d + 1] = next;
    }
    depth_ = parentDepth;
    levels_[depth_] = Bits<Words>{};
    while (depth_ > 1 && isEmpty(levels_[depth_ - 1])) --depth_;

    const ColorStats& moved = parentSummary.colors[move];
    summary_.remainingRegions = parentSummary.remainingRegions - moved.frontier;
    summary_.opening = 0;
    for (uint32_t k = 0; k < colorCount_; ++k) {
      const ColorStats& was = parentSummary.colors[k];
      ColorStats& stats = summary_.colors[k];
      stats = ColorStats{};
      stats.remaining = k == move ? was.remaining - was.frontier : was.remaining;
      if (stats.remaining == 0) continue;
      // The farthest distance drops when all the regions at it do.
      const uint32_t m = was.farthest;
      uint64_t staying = 0;
      for (size_t w = 0; w < Words; ++w)
        staying |= parent[m][w] & colorRows_[k][w] & ~droppingAt_[m][w];
      stats.farthest = staying != 0 ? m : m - 1;
    }
    forEachBit(child.frontier, [&](uint32_t r) {
      ColorStats& stats = summary_.colors[color_[r]];
      ++stats.frontier;
      stats.keys ^= keys_[r];
    });
    raiseDeadlines(liftAt);
    return summary_;
  }

  // The far part of the state last analysed: the regions at distance t or more, for the least
  // t >= 2 at which they number at most `cap`. Returns t, or 0 when even the farthest level holds
  // more.
  uint32_t farPart(uint32_t cap, Bits<Words>& far) const {
    far = Bits<Words>{};
    uint32_t count = 0;
    uint32_t t = 0;
    for (uint32_t d = depth_; d-- > 2;) {
      uint32_t here = 0;
      for (size_t w = 0; w < Words; ++w)
        here += static_cast<uint32_t>(std::popcount(levels_[d][w]));
      if (count + here > cap) break;
      count += here;
      t = d;
      for (size_t w = 0; w < Words; ++w) far[w] |= levels_[d][w];
    }
    return t;
  }

  // A region's Zobrist key, as regionKey() gives it, from the table the analysis keeps.
  uint64_t keyOf(uint32_t region) const { return keys_[region]; }

  // What the last analyzeLevels or analyze found.
  const StateSummary& lastSummary() const { return summary_; }

  // After analyzeLevels of the same state: `farthestVia` and `opening`, the rest of analyze().
  const StateSummary& completeAnalysis(const State& state) {
    passVia(state);
    return summary_;
  }

  // The breadth-first levels and the raised deadlines: everything of the summary but
  // `farthestVia` and `opening`. The bound is looked at for a lift only where it is `liftAt`
  // before (anyBound: always): a caller that takes bounds up to some value need not know more.
  const StateSummary& analyzeLevels(const State& state, uint32_t liftAt = anyBound) {
    Bits<Words> visited;
    for (size_t w = 0; w < Words; ++w) visited[w] = state.joined[w] | state.frontier[w];
    levels_[1] = state.frontier;
    std::fill_n(summary_.colors.begin(), colorCount_, ColorStats{});
    forEachBit(state.frontier, [&](uint32_t r) {
      ColorStats& stats = summary_.colors[color_[r]];
      ++stats.frontier;
      stats.keys ^= keys_[r];
    });
    uint32_t remaining = 0;
    uint32_t depth = 1;
    for (; !isEmpty(levels_[depth]); ++depth) {
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
    }
    depth_ = depth;
    summary_.remainingRegions = remaining;
    summary_.opening = 0;
    raiseDeadlines(liftAt);
    return summary_;
  }

  // For a state none of whose colours is forced, whose children count only if their bound is
  // below `bound`: the colours of those children, by the bound ChildBounds gives. A child's bound
  // drops exactly when, at every deadline t where t - 1 + (colours due at t or later) equals the
  // bound, the move drops some colour due at t: a raised one always, another when it takes a
  // step off all its farthest regions. The `via` sets of just those regions come from walking
  // back up the levels from them. A `bound` above the state's own lets every move through.
  uint32_t movesLoweringBound(uint32_t bound) {
    uint32_t order[maxColors];
    const uint32_t count = coloursByFarthest(summary_, colorCount_, order);
    // The distances that hold the bound, found farthest first and tried nearest first, as
    // their walks back are the shortest.
    uint32_t holding[maxColors][2];  // begin and end of its colours in `order`
    uint32_t holdingCount = 0;
    for (uint32_t i = 0; i < count;) {
      const uint32_t t = deadline(summary_, order[i]);
      uint32_t end = i;
      while (end < count && deadline(summary_, order[end]) == t) ++end;
      if (t - 1 + end == bound) {
        holding[holdingCount][0] = i;
        holding[holdingCount++][1] = end;
      }
      i = end;
    }
    uint32_t candidates = 0;
    for (uint32_t k = 0; k < colorCount_; ++k)
      if (summary_.colors[k].frontier > 0) candidates |= uint32_t{1} << k;
    for (uint32_t h = holdingCount; h-- > 0 && candidates != 0;) {
      uint32_t lowering = 0;
      for (uint32_t j = holding[h][0]; j < holding[h][1]; ++j) {
        const uint32_t k = order[j];
        if ((summary_.raised >> k) & 1) {  // a raised deadline drops whatever the move
          lowering = candidates;
          break;
        }
        lowering |= sharedVia(k, summary_.colors[k].farthest, candidates & ~lowering);
      }
      candidates &= lowering;
    }
    return candidates;
  }

  // The child by `move` of the state last analysed: the frontier regions of that colour join,
  // and the regions two steps away that they touch become frontier.
  State child(const State& state, uint32_t move) const {
    Bits<Words> joining;
    for (size_t w = 0; w < Words; ++w) joining[w] = state.frontier[w] & colorRows_[move][w];
    Bits<Words> touched{};
    forEachBit(joining, [&](uint32_t r) {
      for (size_t w = 0; w < Words; ++w) touched[w] |= neighborRows_[r][w];
    });
    State next;
    for (size_t w = 0; w < Words; ++w) {
      next.joined[w] = state.joined[w] | joining[w];
      next.frontier[w] = (state.frontier[w] & ~joining[w]) | (touched[w] & levels_[2][w]);
    }
    return next;
  }

 private:
  // A colour's farthest regions F at distance m all join by move m only if each of the first
  // m - 1 moves takes a step off every one of them. A move of colour c takes a step off a region
  // only through a shortest path whose level-1 region has colour c, so by induction moves
  // c_1..c_j keep every region of F on schedule only if each has a shortest path whose level-i
  // region has colour c_i for i <= j. So when at some level i < m no colour is held by a
  // level-i region on a shortest path to each region of F, the last of F, and with it the
  // colour's last region, joins at move m + 1 or later: a deadline one past m never exceeds
  // the truth, and the bound over deadlines stays admissible. The bound rises exactly when every
  // colour of some distance holding it is raised, so a distance's colours are tried only until
  // one fails; the other distances' raised colours still lift the children's bounds.
  void raiseDeadlines(uint32_t liftAt) {
    summary_.raised = 0;
    summary_.lifted = 0;
    uint32_t order[maxColors];
    const uint32_t count = coloursByFarthest(summary_, colorCount_, order);
    const uint32_t bound = boundInOrder(order, count);
    for (uint32_t i = 0; i < count;) {
      const uint32_t t = summary_.colors[order[i]].farthest;
      uint32_t end = i;
      while (end < count && summary_.colors[order[end]].farthest == t) ++end;
      uint32_t j = i;
      for (; j < end && lagsBehind(order[j], t); ++j) summary_.raised |= uint32_t{1} << order[j];
      if (j == end && t - 1 + end == bound) break;
      i = end;
    }
    if (summary_.raised != 0)  // raised colours move up a little: the order is nearly sorted
      for (uint32_t i = 1; i < count; ++i)
        for (uint32_t j = i;
             j > 0 && deadline(summary_, order[j - 1]) < deadline(summary_, order[j]); --j)
          std::swap(order[j - 1], order[j]);
    const uint32_t raisedBound = boundInOrder(order, count);
    if (liftAt == anyBound || raisedBound == liftAt)
      liftWhenTailCannotFinish(order, count, raisedBound);
  }

  // The bound of colours ordered by deadline, latest first, before any lift.
  uint32_t boundInOrder(const uint32_t* order, uint32_t count) const {
    uint32_t bound = 0;
    for (uint32_t i = 0; i < count; ++i) bound = std::max(bound, deadline(summary_, order[i]) + i);
    return bound;
  }

  // Where the bound h equals t - 1 + (colours due at t or later), h moves leave moves t..h to
  // those colours' last moves, one each: from move t on each of them is played exactly once, and
  // nothing else is. Each such move then joins every region of its colour still left, and all
  // of them must lie next to what is joined by then; regions at distance t or more can't have
  // joined before move t. When no order of the tail does it, h moves are too few, and the bound
  // is lifted by one. One such t is enough.
  // `order` holds the colours left by deadline, latest first, and `bound` is their bound.
  void liftWhenTailCannotFinish(const uint32_t* order, uint32_t count, uint32_t bound) {
    for (uint32_t i = 0; i < count;) {
      const uint32_t t = deadline(summary_, order[i]);
      uint32_t end = i;
      while (end < count && deadline(summary_, order[end]) == t) ++end;
      if (t - 1 + end == bound && tailCannotFinish(order, end, t, bound)) {
        summary_.lifted = 1;
        return;
      }
      i = end;
    }
  }

  // Whether no order of the colours order[0, count), each played once at or after its deadline
  // in moves t..bound, can join every region from what moves 1..t - 1 may have joined. A region
  // at distance d joins at move d or later, so of the regions at t - 3 to t - 1 only those the
  // last three moves reach can have joined: every choice of their colours must fail. (Those
  // nearer are taken as joined, which only makes the tail easier.)
  bool tailCannotFinish(const uint32_t* order, uint32_t count, uint32_t t, uint32_t bound) {
    Tail tail{order, count, t, bound, {}};
    // Per colour, the neighbours of its regions beyond t - 1, and at t - 1, t - 2 and t - 3.
    const auto gather = [&](const Bits<Words>& regions, std::array<Bits<Words>, maxColors>& near) {
      std::fill_n(near.begin(), colorCount_, Bits<Words>{});
      uint32_t colours = 0;
      forEachBit(regions, [&](uint32_t r) {
        colours |= uint32_t{1} << color_[r];
        for (size_t w = 0; w < Words; ++w) near[color_[r]][w] |= neighborRows_[r][w];
      });
      return colours;
    };
    for (uint32_t d = t; d < depth_; ++d)
      for (size_t w = 0; w < Words; ++w) tail.beyond[w] |= levels_[d][w];
    gather(tail.beyond, nearBeyond_);
    const uint32_t levels = std::min(t - 1, uint32_t{3});  // before t, above the joined set
    uint32_t at[3] = {};                                   // colours at t - 1, t - 2, t - 3
    for (uint32_t i = 0; i < levels; ++i) at[i] = gather(levels_[t - 1 - i], nearAt_[i]);
    // Most tails fail whatever the moves before were, so looser guesses of what they joined go
    // first, each failing for all the tighter guesses it contains: the three levels all joined,
    // then move t - 1's colour x, then with move t - 2's colour z, then with move t - 3's y.
    const uint32_t none = colorCount_;  // a colour that joins nothing at those distances
    if (!finishesAfter(tail, {none, none, none}, 0)) return true;
    if (levels == 0) return false;
    // A colour the tail doesn't play must have joined all its regions before it: at t - 1 by
    // move t - 1, at t - 2 by move t - 2 or t - 1, and so on; consecutive moves differ.
    uint32_t inTail = 0;
    for (uint32_t i = 0; i < count; ++i) inTail |= uint32_t{1} << order[i];
    // The colours worth trying for the move that joins regions from t - 1 - level down: those
    // found there, and one for all the others, unless a colour the tail doesn't play is there.
    // Bit 32 stands for `none`.
    const auto options = [&](uint32_t level, uint64_t taken) {
      uint64_t colours = 0;
      for (uint32_t i = level; i < levels; ++i) colours |= at[i];
      const uint64_t forced = at[level] & ~uint64_t{inTail} & ~taken;
      if ((forced & (forced - 1)) != 0) return uint64_t{0};
      return forced != 0 ? forced : colours | uint64_t{1} << 32;
    };
    const auto colourOf = [&](uint64_t set) {
      const uint32_t c = static_cast<uint32_t>(std::countr_zero(set));
      return c == 32 ? none : c;
    };
    const auto bitOf = [&](uint32_t c) { return c < none ? uint64_t{1} << c : 0; };
    for (uint64_t xs = options(0, 0); xs != 0; xs &= xs - 1) {
      const uint32_t x = colourOf(xs);
      if (!finishesAfter(tail, {none, none, x}, 1)) continue;
      if (levels == 1) return false;
      for (uint64_t zs = options(1, bitOf(x)) & ~bitOf(x); zs != 0; zs &= zs - 1) {
        const uint32_t z = colourOf(zs);
        if (!finishesAfter(tail, {none, z, x}, 2)) continue;
        if (levels == 2) return false;
        for (uint64_t ys = options(2, bitOf(x) | bitOf(z)) & ~bitOf(z); ys != 0; ys &= ys - 1)
          if (finishesAfter(tail, {colourOf(ys), z, x}, 3)) return false;
      }
    }
    return true;
  }

  // The tail tailCannotFinish asks about: the colours order[0, count) in moves t..bound, and
  // the regions at distance t or more.
  struct Tail {
    const uint32_t* order;
    uint32_t count;
    uint32_t t;
    uint32_t bound;
    Bits<Words> beyond;
  };

  // tailFinishes after the last `levels` moves before the tail took the colours of `moves`'
  // last entries (colorCount_: nothing there), from every region nearer than t - levels joined,
  // played over the regions at t - levels to t - 1.
  bool finishesAfter(const Tail& tail, std::array<uint32_t, 3> moves, uint32_t levels) const {
    const uint32_t t = tail.t;
    Bits<Words> window{};  // levels t - levels to t - 1
    for (uint32_t d = t - levels; d < t; ++d)
      for (size_t w = 0; w < Words; ++w) window[w] |= levels_[d][w];
    Bits<Words> remaining;  // the regions the tail must join
    for (size_t w = 0; w < Words; ++w) remaining[w] = tail.beyond[w] | window[w];
    Bits<Words> adjacent = levels_[t - levels];
    uint32_t touched = 0;  // colours some of whose regions the moves joined
    for (uint32_t i = 3 - levels; i < 3; ++i) {
      const uint32_t c = moves[i];
      if (c >= colorCount_) continue;
      Bits<Words> joining;
      for (size_t w = 0; w < Words; ++w) joining[w] = adjacent[w] & colorRows_[c][w] & window[w];
      if (isEmpty(joining)) continue;
      touched |= uint32_t{1} << c;
      forEachBit(joining, [&](uint32_t r) {
        for (size_t w = 0; w < Words; ++w) adjacent[w] |= neighborRows_[r][w];
      });
      for (size_t w = 0; w < Words; ++w) {
        window[w] &= ~joining[w];
        remaining[w] &= ~joining[w];
      }
    }
    for (size_t w = 0; w < Words; ++w) adjacent[w] &= remaining[w];
    return tailFinishes(tail, remaining, adjacent, [&](uint32_t k) {
      Bits<Words> near = nearBeyond_[k];
      if (((touched >> k) & 1) == 0) {  // all its regions there are left
        for (uint32_t i = 0; i < levels; ++i)
          for (size_t w = 0; w < Words; ++w) near[w] |= nearAt_[i][k][w];
        return near;
      }
      Bits<Words> left;
      for (size_t w = 0; w < Words; ++w) left[w] = window[w] & colorRows_[k][w];
      forEachBit(left, [&](uint32_t r) {
        for (size_t w = 0; w < Words; ++w) near[w] |= neighborRows_[r][w];
      });
      return near;
    });
  }

  // Plays the colours order[0, count) once each from move t, each as soon as its deadline has
  // come and all its `remaining` regions are `adjacent`, which is never worse than later: a
  // colour so played joins all its regions, so what is joined depends only on which colours
  // have been played. `nearOf(k)` holds the neighbours of colour k's remaining regions. Whether
  // all are played by move `bound`.
  template <class NearOf>
  bool tailFinishes(const Tail& tail, Bits<Words> remaining, Bits<Words> adjacent,
                    NearOf nearOf) const {
    const uint32_t* order = tail.order;
    const uint32_t count = tail.count;
    const uint32_t t = tail.t;
    const uint32_t bound = tail.bound;
    uint32_t played = 0;
    for (uint32_t move = t; move < t + count; ++move) {
      if (move > bound) return false;
      uint32_t i = 0;
      for (; i < count; ++i) {
        const uint32_t k = order[i];
        if (((played >> k) & 1) != 0 || deadline(summary_, k) > move) continue;
        uint64_t stranded = 0;
        for (size_t w = 0; w < Words; ++w)
          stranded |= remaining[w] & colorRows_[k][w] & ~adjacent[w];
        if (stranded == 0) break;
      }
      if (i == count) return false;
      const uint32_t k = order[i];
      played |= uint32_t{1} << k;
      const Bits<Words> near = nearOf(k);
      for (size_t w = 0; w < Words; ++w) {
        remaining[w] &= ~colorRows_[k][w];
        adjacent[w] = (adjacent[w] | near[w]) & remaining[w];
      }
    }
    return isEmpty(remaining);
  }

  // Whether no colour sequence keeps every colour-k region at distance t on schedule, judged
  // level by level: some level's ancestors of those regions share no colour. Only the few levels
  // nearest the regions are looked at: there their paths have not yet merged, while the levels
  // near the frontier almost always share a colour and cost the most to walk.
  bool lagsBehind(uint32_t k, uint32_t t) {
    Bits<Words> targets;
    for (size_t w = 0; w < Words; ++w) targets[w] = levels_[t][w] & colorRows_[k][w];
    if (!hasTwoBits(targets)) return false;  // one region's own shortest path keeps it on time
    const uint32_t allColours = colorCount_ == 32 ? ~uint32_t{0} : (uint32_t{1} << colorCount_) - 1;
    std::fill_n(sharedAt_.begin(), t, allColours);
    bool lags = false;
    forEachBit(targets, [&](uint32_t target) {
      if (lags) return;
      Bits<Words> ancestors{};
      setBit(ancestors.data(), target);
      const uint32_t lowest = t > lagLevels ? t - lagLevels : 1;
      for (uint32_t level = t; level > lowest && !lags; --level) {
        Bits<Words> before{};
        forEachBit(ancestors, [&](uint32_t r) {
          for (size_t w = 0; w < Words; ++w) before[w] |= neighborRows_[r][w];
        });
        for (size_t w = 0; w < Words; ++w) ancestors[w] = before[w] & levels_[level - 1][w];
        uint32_t& shared = sharedAt_[level - 1];
        for (uint32_t colors = shared; colors != 0; colors &= colors - 1) {
          const uint32_t c = static_cast<uint32_t>(std::countr_zero(colors));
          uint64_t meets = 0;
          for (size_t w = 0; w < Words; ++w) meets |= ancestors[w] & colorRows_[c][w];
          if (meets == 0) shared &= ~(uint32_t{1} << c);
        }
        lags = shared == 0;
      }
    });
    return lags;
  }

  // Of `candidates`, the colours in the `via` set of every colour-k region at distance t, found
  // by walking each region's shortest-path ancestors back to the frontier.
  uint32_t sharedVia(uint32_t k, uint32_t t, uint32_t candidates) const {
    Bits<Words> targets;
    for (size_t w = 0; w < Words; ++w) targets[w] = levels_[t][w] & colorRows_[k][w];
    uint32_t shared = candidates;
    if (shared == 0) return 0;
    forEachBit(targets, [&](uint32_t target) {
      if (shared == 0) return;
      Bits<Words> ancestors{};
      setBit(ancestors.data(), target);
      for (uint32_t level = t; level > 1; --level) {
        Bits<Words> before{};
        forEachBit(ancestors, [&](uint32_t r) {
          for (size_t w = 0; w < Words; ++w) before[w] |= neighborRows_[r][w];
        });
        for (size_t w = 0; w < Words; ++w) ancestors[w] = before[w] & levels_[level - 1][w];
      }
      uint32_t via = 0;
      forEachBit(ancestors, [&](uint32_t r) { via |= uint32_t{1} << color_[r]; });
      shared &= via;
    });
    return shared;
  }

  // Reaches level by level for the levels analyzeLevels found, then each colour's shared set.
  void passVia(const State& state) {
    uint32_t live = 0;
    for (uint32_t c = 0; c < colorCount_; ++c) {
      Bits<Words>& reach = reachAt(1, c);
      for (size_t w = 0; w < Words; ++w) reach[w] = state.frontier[w] & colorRows_[c][w];
      if (!isEmpty(reach)) live |= uint32_t{1} << c;
    }
    liveAt_[1] = live;
    for (uint32_t depth = 1; depth < depth_; ++depth) {
      const Bits<Words>& next = levels_[depth + 1];
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
    summary_.opening = depth_ > 1 ? liveAt_[2] : 0;  // a finished state has no level 2
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
  }

  // A summary's copy, of the colours in play only: the rest of the array is never read.
  void copySummary(const StateSummary& from, StateSummary& to) const {
    std::copy_n(from.colors.begin(), colorCount_, to.colors.begin());
    to.remainingRegions = from.remainingRegions;
    to.raised = from.raised;
    to.lifted = from.lifted;
    to.opening = from.opening;
    to.distanceSum = from.distanceSum;
  }

  Bits<Words>& reachAt(uint32_t level, uint32_t c) { return reaches_[level * colorCount_ + c]; }
  const Bits<Words>& reachAt(uint32_t level, uint32_t c) const {
    return reaches_[level * colorCount_ + c];
  }

  const uint8_t* color_;
  uint32_t colorCount_;
  std::vector<Bits<Words>> neighborRows_;   // per region
  std::vector<Bits<Words>> colorRows_;      // per colour
  std::vector<uint64_t> keys_;              // per region
  std::vector<Bits<Words>> levels_;         // level i: regions at distance i (level 0 unused)
  std::vector<Bits<Words>> reaches_;        // level i, colour c: its regions whose `via` holds c
  std::vector<uint32_t> liveAt_;            // per level, the colours whose reach is not empty
  std::vector<uint32_t> sharedAt_;          // per level, colours every target's ancestors hold
  static constexpr uint32_t lagLevels = 3;  // levels lagsBehind looks at
  // Per colour, the neighbours of its regions in parts of the levels, for tailCannotFinish.
  std::array<Bits<Words>, maxColors> nearBeyond_;
  std::array<std::array<Bits<Words>, maxColors>, 3> nearAt_;  // at t - 1, t - 2 and t - 3
  uint32_t depth_ = 0;                                        // the first empty level
  StateSummary summary_;
  // Per level, the regions whose distance the move analyzeChildLevels derives by drops.
  std::vector<Bits<Words>> droppingAt_;
};
