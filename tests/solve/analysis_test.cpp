// The one-pass analysis against the states it describes: what it says of each child must be
// what the child's own analysis says, and the bitset analysis must agree with the plain one.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <map>
#include <random>

#include "solve/bit_analysis.h"
#include "solve/far_part.h"
#include "solve/state_analysis.h"
#include "tests/sample_scale.h"
#include "tests/solve/random_board.h"

namespace {

constexpr size_t testWords = 8;  // room for the 512 regions of the boards below

// Region keys, like the study's seeded boards, are outputs of SplitMix64: pinned to the
// generator's published first outputs from state 0, so that neither drifts.
TEST(Mix64, GivesSplitMix64Outputs) {
  uint64_t state = 0;
  for (const uint64_t output :
       {0xe220a8397b1dcdafull, 0x6e789e6aa1b965f4ull, 0x06c45d188009454full})
    EXPECT_EQ(mix64(state += splitMixGamma), output);
  EXPECT_EQ(regionKey(0), 0xe220a8397b1dcdafull);
  EXPECT_EQ(regionKey(2), 0x06c45d188009454full);
}

void expectSameSummary(const StateSummary& a, const StateSummary& b, uint32_t colorCount) {
  EXPECT_EQ(a.remainingRegions, b.remainingRegions);
  EXPECT_EQ(a.opening, b.opening);
  for (uint32_t k = 0; k < colorCount; ++k) {
    SCOPED_TRACE("colour " + std::to_string(k));
    EXPECT_EQ(a.colors[k].remaining, b.colors[k].remaining);
    EXPECT_EQ(a.colors[k].frontier, b.colors[k].frontier);
    EXPECT_EQ(a.colors[k].keys, b.colors[k].keys);
    if (a.colors[k].remaining == 0) continue;
    EXPECT_EQ(a.colors[k].farthest, b.colors[k].farthest);
    EXPECT_EQ(a.colors[k].farthestVia, b.colors[k].farthestVia);
  }
}

// Random games: at every state, each child's bound and frontier as derived from the parent
// equal those of the child analysed afresh, both analyses agree, and the moves found to lower
// the bound from the levels alone are those whose child bound is lower.
TEST(StateAnalysis, ChildrenMatchTheirOwnAnalysis) {
  std::mt19937 pick(3);
  const uint32_t games = 60 / sampleDivisor;
  for (uint32_t k = 1; k <= games; ++k) {
    const uint32_t side = 5 + pick() % 16;
    const uint32_t colorCount = 2 + pick() % 9;
    const RegionGraph graph = buildRegionGraph(randomBoard(side, colorCount, k));
    ASSERT_LE(wordsFor(graph.regionCount()), testWords);
    SCOPED_TRACE("seed " + std::to_string(k));
    BitAnalysis<testWords> bits(graph);
    BitAnalysis<testWords> fresh(graph);
    StateAnalysis plain;
    StateAnalysis childPlain;
    BitState<testWords> state = bits.startState(startRegion);
    for (;;) {
      analyze(graph, state.joined.data(), false, plain);
      const StateSummary summary = bits.analyze(state);
      expectSameSummary(plain, summary, colorCount);
      if (plain.remainingRegions == 0) break;
      const ChildBounds childBound(plain, colorCount);
      const uint32_t bound = lowerBound(summary, colorCount);
      // A deadline rises by one at most, and a lift adds one.
      EXPECT_LE(bound, lowerBound(plain, colorCount) + 1 + summary.lifted);
      const StateSummary& levels = bits.analyzeLevels(state);
      EXPECT_EQ(levels.raised, summary.raised);
      EXPECT_EQ(levels.lifted, summary.lifted);
      if (forcedColor(plain, colorCount) < 0) {
        const ChildBounds raisedChildBound(summary, colorCount);
        uint32_t lowering = 0;
        for (uint32_t c = 0; c < colorCount; ++c)
          if (plain.colors[c].frontier > 0 && raisedChildBound(c) + 1 == bound) lowering |= 1u << c;
        EXPECT_EQ(bits.movesLoweringBound(bound), lowering);
        // Above the state's own bound no child is cut.
        uint32_t frontierColours = 0;
        for (uint32_t c = 0; c < colorCount; ++c)
          if (plain.colors[c].frontier > 0) frontierColours |= 1u << c;
        EXPECT_EQ(bits.movesLoweringBound(bound + 1), frontierColours);
      }
      // Each child's levels as derived from the parent's are those of its own analysis, to the
      // moves that lower its bound.
      bits.analyzeLevels(state);
      std::vector<BitState<testWords>> children(colorCount);
      for (uint32_t c = 0; c < colorCount; ++c)
        if (plain.colors[c].frontier > 0) children[c] = bits.child(state, c);
      BitAnalysis<testWords>::Kept parent;
      bits.keep(parent);
      for (uint32_t c = 0; c < colorCount; ++c) {
        if (plain.colors[c].frontier == 0) continue;
        SCOPED_TRACE("move " + std::to_string(c));
        const StateSummary derived = bits.analyzeChildLevels(parent, children[c], c);
        const uint32_t derivedBound = lowerBound(derived, colorCount);
        const uint32_t derivedLowering = bits.movesLoweringBound(derivedBound);
        const StateSummary own = fresh.analyzeLevels(children[c]);
        expectSameSummary(derived, own, colorCount);
        EXPECT_EQ(derived.raised, own.raised);
        EXPECT_EQ(derived.lifted, own.lifted);
        if (own.remainingRegions > 0 && forcedColor(own, colorCount) < 0) {
          EXPECT_EQ(derivedLowering, fresh.movesLoweringBound(derivedBound));
        }
        expectSameSummary(bits.completeAnalysis(children[c]), fresh.analyze(children[c]),
                          colorCount);
      }
      // The kept analysis taken back stands for the state's own: the same summary, the same
      // moves lowering its bound and the same children.
      const StateSummary restored = bits.restore(parent);
      const StateSummary again = fresh.analyzeLevels(state);
      expectSameSummary(restored, again, colorCount);
      EXPECT_EQ(restored.raised, again.raised);
      EXPECT_EQ(restored.lifted, again.lifted);
      if (forcedColor(restored, colorCount) < 0) {
        const uint32_t restoredBound = lowerBound(restored, colorCount);
        EXPECT_EQ(bits.movesLoweringBound(restoredBound), fresh.movesLoweringBound(restoredBound));
      }
      for (uint32_t c = 0; c < colorCount; ++c) {
        if (plain.colors[c].frontier > 0) {
          EXPECT_EQ(bits.child(state, c).frontier, children[c].frontier);
        }
      }
      bits.analyzeLevels(state);  // child() steps from the state last analysed
      std::vector<uint32_t> moves;
      for (uint32_t c = 0; c < colorCount; ++c) {
        if (plain.colors[c].frontier == 0) continue;
        moves.push_back(c);
        const BitState<testWords> child = bits.child(state, c);
        analyze(graph, child.joined.data(), false, childPlain);
        EXPECT_EQ(childBound(c), lowerBound(childPlain, colorCount));
        BitState<testWords> expected{child.joined, {}};
        for (uint32_t i = 0; i < childPlain.frontierEnd; ++i)
          setBit(expected.frontier.data(), childPlain.order[i]);
        EXPECT_EQ(child.frontier, expected.frontier);
      }
      state = bits.child(state, moves[pick() % moves.size()]);
    }
  }
}

// Fewest moves left from every state a game can reach, by exhaustive search over joined sets:
// every colour on the frontier is tried, whatever the bounds say.
template <size_t Words>
class Optima {
 public:
  explicit Optima(const RegionGraph& graph) : graph_(graph), bits_(graph) {}
  uint32_t from(const BitState<Words>& state) {
    if (const auto known = optimum_.find(state.joined); known != optimum_.end())
      return known->second;
    const StateSummary summary = bits_.analyze(state);
    uint32_t best = 0;
    if (summary.remainingRegions > 0) {
      best = UINT32_MAX;
      for (uint32_t c = 0; c < graph_.colorCount; ++c) {
        if (summary.colors[c].frontier == 0) continue;
        bits_.analyze(state);  // child() steps from the state last analysed
        best = std::min(best, 1 + from(bits_.child(state, c)));
      }
    }
    optimum_[state.joined] = best;
    return best;
  }
  const std::map<Bits<Words>, uint32_t>& all() const { return optimum_; }

 private:
  const RegionGraph& graph_;
  BitAnalysis<Words> bits_;
  std::map<Bits<Words>, uint32_t> optimum_;
};

std::string boardName(uint32_t side, uint32_t colorCount, uint32_t seed) {
  std::string name = std::to_string(side);
  name += "/";
  name += std::to_string(colorCount);
  name += " seed ";
  name += std::to_string(seed);
  return name;
}

struct BoundTally {
  uint64_t states = 0;
  uint64_t raised = 0;  // bounds above the plain analysis's
  uint64_t lifted = 0;
  uint64_t liftedFarOut = 0;  // of them, where some colour lies 6 or more moves away
};

// Over every reachable state of the graph with regions left: its bound, its far part's bound,
// and each child's bound as the state gives it, are at most the fewest moves left, and the
// children's at most one below the state's. One far-part cache serves the whole graph, as in a
// search.
void checkBoundsOfEveryState(const RegionGraph& graph, BoundTally& tally) {
  const uint32_t colorCount = graph.colorCount;
  BitAnalysis<1> bits(graph);
  SolvedFarParts<1> solved;
  FarPartBound<1> farPart(graph, solved);
  StateAnalysis plain;
  Optima<1> optima(graph);
  optima.from(bits.startState(startRegion));
  for (const auto& [joined, optimum] : optima.all()) {
    analyze(graph, joined.data(), false, plain);
    BitState<1> state{joined, {}};
    for (uint32_t i = 0; i < plain.frontierEnd; ++i) setBit(state.frontier.data(), plain.order[i]);
    const StateSummary summary = bits.analyze(state);
    if (summary.remainingRegions == 0) continue;
    const uint32_t bound = lowerBound(summary, colorCount);
    ++tally.states;
    tally.raised += bound > lowerBound(plain, colorCount);
    tally.lifted += summary.lifted;
    uint32_t farthest = 0;
    for (uint32_t c = 0; c < colorCount; ++c)
      farthest = std::max(farthest, summary.colors[c].farthest);
    tally.liftedFarOut += summary.lifted != 0 && farthest >= 6;
    ASSERT_LE(bound, optimum);
    const uint32_t farBound = farPart(bits, SolveLimits{}, Clock::time_point::max());
    ASSERT_LE(farBound, optimum);
    const ChildBounds childBound(summary, colorCount);
    for (uint32_t c = 0; c < colorCount; ++c) {
      if (summary.colors[c].frontier == 0) continue;
      const BitState<1> child = bits.child(state, c);
      ASSERT_LE(childBound(c), optima.from(child));
      EXPECT_GE(childBound(c) + 1, bound);
    }
  }
}

// The raised and lifted bound is admissible on small boards with up to 16 colours; deadlines do
// rise and bounds are lifted on these boards, so the check is not idle.
TEST(StateAnalysis, RaisedBoundNeverExceedsTheOptimum) {
  std::mt19937 pick(13);
  BoundTally tally;
  const uint32_t boards = 400 / sampleDivisor;
  for (uint32_t k = 1; k <= boards; ++k) {
    const uint32_t side = 4 + pick() % 3;
    const uint32_t colorCount = 3 + pick() % (side == 4 ? 14 : side == 5 ? 6 : 3);
    SCOPED_TRACE(boardName(side, colorCount, 2000 + k));
    checkBoundsOfEveryState(buildRegionGraph(randomBoard(side, colorCount, 2000 + k)), tally);
  }
  EXPECT_GT(tally.states, uint64_t{boards} * 100);
  EXPECT_GT(tally.raised, boards / 4);
  EXPECT_GT(tally.lifted, boards / 4);
}

// The lift looks back up to three moves before the tail, which needs distances of four and
// more: so too on longer boards with few colours, where states far from their last regions are
// lifted.
TEST(StateAnalysis, LiftedBoundNeverExceedsTheOptimumFarOut) {
  std::mt19937 pick(17);
  BoundTally tally;
  const uint32_t boards = 200 / sampleDivisor;
  for (uint32_t k = 1; k <= boards; ++k) {
    const uint32_t side = 7 + pick() % 3;
    const uint32_t colorCount = 3 + pick() % 2;
    const RegionGraph graph = buildRegionGraph(randomBoard(side, colorCount, 3000 + k));
    if (graph.regionCount() > 64) continue;
    SCOPED_TRACE(boardName(side, colorCount, 3000 + k));
    checkBoundsOfEveryState(graph, tally);
  }
  EXPECT_GT(tally.liftedFarOut, boards / 4);
}

// On boards too large for the exhaustive optima, where far parts are worth solving: along random
// games, the far-part bound of each state is at most the state's optimum, found by the exact
// search on the state's own graph (the rest of the board beyond its joined set) with far parts
// off; and it is above the state's own bound on one state in twenty at least.
TEST(FarPart, BoundNeverExceedsTheOptimumOnLargerBoards) {
  std::mt19937 pick(29);
  SolveLimits withoutFarParts;
  withoutFarParts.timeLimitSeconds = std::numeric_limits<double>::infinity();
  withoutFarParts.farParts = false;
  uint64_t states = 0;
  uint64_t above = 0;
  for (uint32_t k = 1; k <= 40 / sampleDivisor; ++k) {
    const uint32_t side = 10 + pick() % 3;
    const uint32_t colorCount = 6 + pick() % 5;
    SCOPED_TRACE(boardName(side, colorCount, 4000 + k));
    const RegionGraph graph = buildRegionGraph(randomBoard(side, colorCount, 4000 + k));
    if (graph.regionCount() > 128) continue;
    BitAnalysis<2> bits(graph);
    SolvedFarParts<2> solved;
    FarPartBound<2> farPart(graph, solved);
    BitState<2> state = bits.startState(startRegion);
    for (uint32_t move = 0;; ++move) {
      const StateSummary summary = bits.analyze(state);
      if (summary.remainingRegions == 0) break;
      const uint32_t farBound = farPart(bits, withoutFarParts, Clock::time_point::max());
      if (move % 3 == 0) {  // the optimum costs a search; every third state is enough
        std::vector<uint32_t> unjoined;
        for (uint32_t r = 0; r < graph.regionCount(); ++r)
          if (!testBit(state.joined.data(), r)) unjoined.push_back(r);
        const Solution rest = solveExact(farPartGraph(graph, unjoined), withoutFarParts);
        ASSERT_TRUE(rest.proven);
        ASSERT_LE(farBound, rest.moves.size());
        ++states;
        above += farBound > lowerBound(summary, colorCount);
      }
      std::vector<uint32_t> moves;
      for (uint32_t c = 0; c < colorCount; ++c)
        if (summary.colors[c].frontier > 0) moves.push_back(c);
      state = bits.child(state, moves[pick() % moves.size()]);
    }
  }
  EXPECT_GT(states, 100u / sampleDivisor);
  EXPECT_GT(above, states / 20);
}

// A far part's graph: one region for everything nearer, joined, the far regions after it with
// their colours and their edges, and the joined region in a colour no neighbour has while
// there is one, so that every move is open to it.
TEST(FarPart, GraphJoinsEverythingNearerIntoRegionZero) {
  // Columns of colours 0 1 2 0 1 and a last one of 3: regions are the columns, left to right.
  BoardColors board{6, 4, {}};
  for (uint32_t t = 0; t < 36; ++t) board.colors.push_back(t % 6 == 5 ? 3 : (t % 6) % 3);
  const RegionGraph graph = buildRegionGraph(board);
  ASSERT_EQ(graph.regionCount(), 6u);
  const std::vector<uint32_t> far{3, 4, 5};
  const RegionGraph part = farPartGraph(graph, far);
  ASSERT_EQ(part.regionCount(), 4u);
  EXPECT_EQ(part.color, (std::vector<uint8_t>{1, 0, 1, 3}));
  EXPECT_EQ(std::vector<uint32_t>(part.neighborsOf(0).begin(), part.neighborsOf(0).end()),
            std::vector<uint32_t>{1});
  EXPECT_EQ(std::vector<uint32_t>(part.neighborsOf(2).begin(), part.neighborsOf(2).end()),
            (std::vector<uint32_t>{1, 3}));
  EXPECT_EQ(farPartMoves(part, SolveLimits{}, Clock::time_point::max()), 3u);
  // Both colours next to the joined region: it keeps colour 0, and a move of 0 still counts. On
  // a 3 x 3 checkerboard with the first two tiles joined, 0 1 0 floods the rest, and no two
  // moves do.
  BoardColors checkerboard{3, 2, {0, 1, 0, 1, 0, 1, 0, 1, 0}};
  const RegionGraph squares = buildRegionGraph(checkerboard);
  std::vector<uint32_t> rest;
  for (uint32_t r = 0; r < squares.regionCount(); ++r)
    if (r != squares.regionOfTile[0] && r != squares.regionOfTile[1]) rest.push_back(r);
  const RegionGraph wide = farPartGraph(squares, rest);
  ASSERT_EQ(wide.regionCount(), 8u);
  EXPECT_EQ(wide.color[0], 0u);
  EXPECT_EQ(wide.neighborsOf(0).size(), 3u);
  EXPECT_EQ(farPartMoves(wide, SolveLimits{}, Clock::time_point::max()), 3u);
}

// The walk over the moves worth trying, on the states of random games it picks its own moves
// in: lowest colour first, a move it says completes leaves its child no region and any other
// leaves some and comes with the child's own bound, a forced colour is tried alone, and a
// callback returning false ends the walk at once.
TEST(StateAnalysis, UsefulMovesReportCompletionsAndChildBounds) {
  std::mt19937 pick(5);
  uint32_t completions = 0;
  const uint32_t games = 40 / sampleDivisor;
  for (uint32_t k = 1; k <= games; ++k) {
    const uint32_t side = 3 + pick() % 10;
    const uint32_t colorCount = 2 + pick() % 7;
    const RegionGraph graph = buildRegionGraph(randomBoard(side, colorCount, 900 + k));
    SCOPED_TRACE("seed " + std::to_string(900 + k));
    std::vector<uint64_t> joined(wordsFor(graph.regionCount()), 0);
    setBit(joined.data(), startRegion);
    StateAnalysis state;
    StateAnalysis child;
    const auto analyzeChild = [&](uint32_t move) {
      std::vector<uint64_t> next = joined;
      joinFrontier(graph, state, move, next.data());
      analyze(graph, next.data(), false, child);
      return next;
    };
    for (;;) {
      analyze(graph, joined.data(), false, state);
      if (state.remainingRegions == 0) break;
      std::vector<uint32_t> tried;
      const bool walkedAll = forEachUsefulMove(
          state, colorCount,
          [&](uint32_t move) {
            tried.push_back(move);
            analyzeChild(move);
            EXPECT_EQ(child.remainingRegions, 0u);
            ++completions;
            return true;
          },
          [&](uint32_t move, uint32_t bound) {
            tried.push_back(move);
            analyzeChild(move);
            EXPECT_GT(child.remainingRegions, 0u);
            EXPECT_EQ(bound, lowerBound(child, colorCount));
            return true;
          });
      EXPECT_TRUE(walkedAll);
      ASSERT_FALSE(tried.empty());
      EXPECT_TRUE(std::adjacent_find(tried.begin(), tried.end(), std::greater_equal<>()) ==
                  tried.end());
      const int forced = forcedColor(state, colorCount);
      if (forced >= 0) {
        EXPECT_EQ(tried, std::vector<uint32_t>{static_cast<uint32_t>(forced)});
      }

      uint32_t calls = 0;
      const auto stop = [&](auto...) {
        ++calls;
        return false;
      };
      EXPECT_FALSE(forEachUsefulMove(state, colorCount, stop, stop));
      EXPECT_EQ(calls, 1u);
      joined = analyzeChild(tried[pick() % tried.size()]);
    }
  }
  EXPECT_GE(completions, games);  // every game ends with one
}

}  // namespace
