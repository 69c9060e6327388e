// One breadth-first pass over a state (the set of regions joined to the start region) gives
// what every solver here ranks by, for the state and for each of its children at once.
//
// A move of colour c joins the colour-c frontier regions, so a region's distance drops by one
// exactly when some shortest path to it enters through such a region: the colour set `via` of
// a region records those entry colours. That gives each child's distances, bound and distance
// sum without a pass of its own.
//
// solve/bit_analysis.h computes the same StateSummary on bitsets for the exact search (all but
// the distance sum and gains); tests/solve/analysis_test.cpp holds the two equal, so a change to
// what a field means is made in both.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "solve/mix64.h"
#include "solve/region_graph.h"

inline size_t wordsFor(uint32_t regionCount) {
  return (size_t{regionCount} + 63) / 64;
}
inline bool testBit(const uint64_t* bits, uint32_t i) {
  return (bits[i >> 6] >> (i & 63)) & 1;
}
inline void setBit(uint64_t* bits, uint32_t i) {
  bits[i >> 6] |= uint64_t{1} << (i & 63);
}

// Zobrist key of a region: a state's hash is the xor of its joined regions' keys.
inline uint64_t regionKey(uint32_t region) {
  return mix64((region + 1) * splitMixGamma);
}

// Over the regions of one colour not yet joined.
struct ColorStats {
  uint32_t remaining = 0;
  uint32_t frontier = 0;     // of them, adjacent to the joined set
  uint32_t farthest = 0;     // largest distance
  uint32_t farthestVia = 0;  // `via` colours shared by every region at that distance
  uint64_t gain = 0;         // tiles whose distance this colour's move would cut by one
  uint64_t keys = 0;         // xor of the frontier regions' keys
};

// What the bounds and the choice of moves need to know of a state.
struct StateSummary {
  std::array<ColorStats, maxColors> colors{};
  uint32_t remainingRegions = 0;
  // Colours whose last region is known to join no sooner than one move past their farthest
  // distance (their deadline); the plain analysis raises none, the bitset one some.
  uint32_t raised = 0;
  // 1 when, although no further deadline rises, the moves the deadlines allow are too few (see
  // solve/bit_analysis.h): the bound is one more. The plain analysis lifts nothing.
  uint32_t lifted = 0;
  uint32_t opening = 0;      // colours whose move would bring new regions next to the joined set
  uint64_t distanceSum = 0;  // over tiles; filled only when asked for
};

struct StateAnalysis : StateSummary {
  std::vector<uint32_t> distance;  // per region; 0 when joined
  std::vector<uint32_t> via;       // per unjoined region, see the file comment
  std::vector<uint32_t> order;     // [0, remainingRegions): unjoined regions, breadth first
  uint32_t frontierEnd = 0;        // order[0, frontierEnd) is the frontier
};

// `joined` has wordsFor(regionCount) words. Gains and the distance sum cost a little more and
// are filled only when `withSums` is set.
void analyze(const RegionGraph& graph, const uint64_t* joined, bool withSums,
             StateAnalysis& analysis);

// The move that joins a colour's last region comes no earlier than this.
inline uint32_t deadline(const StateSummary& state, uint32_t k) {
  return state.colors[k].farthest + ((state.raised >> k) & 1);
}

// Deadlines of the colours with regions left at m1 >= m2 >= ...: at least max(m_k + k - 1)
// moves, since each colour's last region needs a move of its own, no earlier than its deadline;
// one more when the state is lifted.
uint32_t lowerBound(const StateSummary& state, uint32_t colorCount);
// The colours with regions left, latest deadline first, into `order`; returns how many.
uint32_t coloursByFarthest(const StateSummary& state, uint32_t colorCount,
                           uint32_t order[maxColors]);

// A bound for each child of a state, read off the state's summary: a move of colour c takes one
// step off every region whose `via` holds c, so colour k's farthest distance drops by one when c
// is shared by all its farthest regions. A raised deadline drops by one whatever the move (the
// moves a colour's last region needs shrink by at most one a move), so the child's bound is at
// least the state's less one. With nothing raised it is the child's own bound. The colours are
// grouped by deadline once; each child then takes one pass over the groups.
class ChildBounds {
 public:
  ChildBounds(const StateSummary& state, uint32_t colorCount);
  uint32_t operator()(uint32_t move) const;

 private:
  struct Group {
    uint32_t due;  // the deadline of its colours
    uint32_t size;
    std::array<uint8_t, maxColors> dropping;  // per move, the colours it takes a step off
  };
  std::array<Group, maxColors> groups_;
  uint32_t groupCount_ = 0;
  uint32_t floor_ = 0;  // a lifted state's bound less one: no move lowers a bound by more
};

// A colour whose remaining regions all lie on the frontier: playing it now is never worse than
// any other move. The lowest such colour, or -1.
int forcedColor(const StateSummary& state, uint32_t colorCount);

// Whether `move` can start an optimal sequence, given no colour is forced. A move that opens
// nothing new cannot: the same sequence without it joins its regions at the colour's next move
// (and without a next move they are never joined), so it would be one move shorter.
inline bool mayStartOptimal(const StateSummary& state, uint32_t move) {
  return state.colors[move].frontier > 0 && ((state.opening >> move) & 1) != 0;
}

// The moves a search needs to try from a state: the forced colour alone when there is one
// (`forced` from forcedColor), otherwise those that may start an optimal sequence.
inline bool worthTrying(const StateSummary& state, int forced, uint32_t move) {
  return forced >= 0 ? move == static_cast<uint32_t>(forced) : mayStartOptimal(state, move);
}

// Walks the moves worth trying from an analysed state, lowest colour first: `completes(move)`
// for a move that joins every remaining region, `child(move, bound)` for any other, with the
// child's lower bound. Either returns false to end the walk, and then so does this.
template <class Completes, class Child>
bool forEachUsefulMove(const StateSummary& state, uint32_t colorCount, Completes completes,
                       Child child) {
  const int forced = forcedColor(state, colorCount);
  const ChildBounds childBound(state, colorCount);
  for (uint32_t c = 0; c < colorCount; ++c) {
    if (!worthTrying(state, forced, c)) continue;
    const bool more =
        state.colors[c].frontier == state.remainingRegions ? completes(c) : child(c, childBound(c));
    if (!more) return false;
  }
  return true;
}

// Sets in `bits` the frontier regions of colour `move`.
void joinFrontier(const RegionGraph& graph, const StateAnalysis& analysis, uint32_t move,
                  uint64_t* bits);
