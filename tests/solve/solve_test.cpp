// The solvers against a plain breadth-first search over tile colourings, against each other and
// on boards small enough to check by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <unordered_set>

#include "solve/solver.h"
#include "tests/sample_scale.h"
#include "tests/solve/breadth_first.h"
#include "tests/solve/random_board.h"

namespace {

RegionGraph graphOf(const BoardColors& board) {
  return buildRegionGraph(board);
}

// Moves played with the plain flood fill above: whether the last one, and only it, completes.
bool completesExactly(const BoardColors& board, const std::vector<uint8_t>& moves) {
  std::string tiles(board.colors.begin(), board.colors.end());
  const auto done = [&] { return tiles.find_first_not_of(tiles[0]) == tiles.npos; };
  for (const uint8_t move : moves) {
    if (done()) return false;
    tiles = floodCorner(board.side, tiles, static_cast<char>(move));
  }
  return done();
}

using Solver = std::function<Solution(const RegionGraph&, const SolveLimits&)>;
const std::vector<std::pair<const char*, Solver>> solvers{
    {"area", [](const RegionGraph& g, const SolveLimits& l) { return solveArea(g, l); }},
    {"distance", [](const RegionGraph& g, const SolveLimits& l) { return solveDistance(g, l); }},
    {"beam:1", [](const RegionGraph& g, const SolveLimits& l) { return solveBeam(g, 1, l); }},
    {"beam:10", [](const RegionGraph& g, const SolveLimits& l) { return solveBeam(g, 10, l); }},
    {"exact", [](const RegionGraph& g, const SolveLimits& l) { return solveExact(g, l); }},
};

// Every solver's answer completes the board in its own count, no shorter than exact's, and
// every bound lies at or below the optimum.
void checkAllSolvers(const BoardColors& board, size_t optimum) {
  const RegionGraph graph = graphOf(board);
  const uint32_t startBound = startLowerBound(graph);
  EXPECT_LE(startBound, optimum);
  for (const auto& [name, solve] : solvers) {
    SCOPED_TRACE(name);
    const Solution solution = solve(graph, {});
    EXPECT_EQ(replayMoves(board, solution.moves), solution.moves.size());
    EXPECT_GE(solution.moves.size(), optimum);
    EXPECT_EQ(solution.bound, startBound);
    EXPECT_FALSE(solution.interrupted);
    if (std::string(name) == "exact") {
      EXPECT_TRUE(completesExactly(board, solution.moves));
      EXPECT_TRUE(solution.proven);
      EXPECT_EQ(solution.moves.size(), optimum);
    }
  }
}

TEST(SolveExact, MatchesBreadthFirstSearchOnSmallBoards) {
  std::mt19937 pick(7);
  const uint32_t boards = 400 / sampleDivisor;
  for (uint32_t k = 1; k <= boards; ++k) {
    const uint32_t side = 3 + pick() % 4;
    const uint32_t colorCount = 2 + pick() % 4;
    const BoardColors board = randomBoard(side, colorCount, k);
    SCOPED_TRACE(std::to_string(side) + "x" + std::to_string(side) + "/" +
                 std::to_string(colorCount) + " seed " + std::to_string(k));
    checkAllSolvers(board, optimumByBreadthFirst(board));
  }
}

TEST(SolveExact, MatchesBreadthFirstSearchWithManyColours) {
  std::mt19937 pick(11);
  const uint32_t boards = 40 / sampleDivisor;
  for (uint32_t k = 1; k <= boards; ++k) {
    const uint32_t side = 3 + k % 2;  // the search over colourings grows fast with 4 x 4
    const uint32_t colorCount = side == 3 ? 8 + pick() % 25 : 8 + pick() % 5;
    const BoardColors board = randomBoard(side, colorCount, 500 + k);
    SCOPED_TRACE(std::to_string(side) + "/" + std::to_string(colorCount) + " seed " +
                 std::to_string(500 + k));
    checkAllSolvers(board, optimumByBreadthFirst(board));
  }
}

TEST(SolveAll, AgreeWithExactOnLargerBoards) {
  const uint32_t boards = 24 / sampleDivisor;
  for (uint32_t k = 1; k <= boards; ++k) {
    const BoardColors board = randomBoard(8 + k % 7, 3 + k % 4, 100 + k);
    SCOPED_TRACE("seed " + std::to_string(100 + k));
    const Solution exact = solveExact(graphOf(board), {});
    ASSERT_TRUE(exact.proven);
    checkAllSolvers(board, exact.moves.size());
  }
}

// Boards whose searches run long enough to bound states by their far parts: the same optimum
// with far parts and without, and fewer states expanded with them in all.
TEST(SolveExact, FarPartsKeepTheOptimum) {
  const uint32_t boards = 16 / sampleDivisor;
  uint64_t expandedWith = 0;
  uint64_t expandedWithout = 0;
  for (uint32_t k = 1; k <= boards; ++k) {
    const BoardColors board = randomBoard(11 + k % 2, 7 + k % 4, 5000 + k);
    SCOPED_TRACE("seed " + std::to_string(5000 + k));
    SolveLimits limits;
    limits.timeLimitSeconds = std::numeric_limits<double>::infinity();
    const Solution with = solveExact(graphOf(board), limits);
    limits.farParts = false;
    const Solution without = solveExact(graphOf(board), limits);
    ASSERT_TRUE(with.proven);
    ASSERT_TRUE(without.proven);
    EXPECT_EQ(with.moves.size(), without.moves.size());
    EXPECT_TRUE(completesExactly(board, with.moves));
    expandedWith += with.expanded;
    expandedWithout += without.expanded;
  }
  EXPECT_LT(expandedWith, expandedWithout);
}

TEST(SolveAll, HandCheckedBoards) {
  // One colour: already one region.
  checkAllSolvers({4, 3, std::vector<uint8_t>(16, 2)}, 0);
  // Every tile its own region, colour (x + y) % 3: tile (2, 2) is four region steps from the
  // corner, so at least 4 moves, and 1, 2, 0, 1 takes one diagonal a move.
  const BoardColors stripes{3, 3, {0, 1, 2, 1, 2, 0, 2, 0, 1}};
  EXPECT_EQ(replayMoves(stripes, std::vector<uint8_t>{1, 2, 0, 1}), 4u);
  checkAllSolvers(stripes, 4);
  // A checkerboard moves one tile step a turn: 2 (side - 1) moves, and the bound says as much.
  BoardColors checkerboard{7, 2, {}};
  for (uint32_t t = 0; t < 49; ++t) checkerboard.colors.push_back((t % 7 + t / 7) % 2);
  checkAllSolvers(checkerboard, 12);
  EXPECT_EQ(startLowerBound(graphOf(checkerboard)), 12u);
}

TEST(SolveAll, ReplayRejectsShortAndOverlongSequences) {
  const BoardColors stripes{3, 3, {0, 1, 2, 1, 2, 0, 2, 0, 1}};
  EXPECT_EQ(replayMoves(stripes, std::vector<uint8_t>{1, 2, 0}), std::nullopt);
  EXPECT_EQ(replayMoves(stripes, std::vector<uint8_t>{1, 2, 0, 1, 2}), std::nullopt);
  EXPECT_EQ(replayMoves({3, 2, std::vector<uint8_t>(9, 1)}, std::vector<uint8_t>{}), 0u);
}

// A cut-off search still answers: a complete sequence, a bound at or above the start bound and
// at or below the answer, not proven.
void checkCutOff(const BoardColors& board, const Solution& solution) {
  const RegionGraph graph = graphOf(board);
  EXPECT_FALSE(solution.proven);
  EXPECT_EQ(replayMoves(board, solution.moves), solution.moves.size());
  EXPECT_GE(solution.bound, startLowerBound(graph));
  EXPECT_LE(solution.bound, solution.moves.size());
}

TEST(SolveLimits, ExactStopsAtTimeAndMemoryLimits) {
  const BoardColors board = randomBoard(30, 8, 3);
  SolveLimits shortTime;
  shortTime.timeLimitSeconds = 0.05;
  const Solution timed = solveExact(graphOf(board), shortTime);
  checkCutOff(board, timed);
  EXPECT_FALSE(timed.interrupted);

  SolveLimits noTime;
  noTime.timeLimitSeconds = 0;
  checkCutOff(board, solveExact(graphOf(board), noTime));
  SolveLimits endless;  // no deadline at all: the small board is proven
  endless.timeLimitSeconds = std::numeric_limits<double>::infinity();
  EXPECT_TRUE(solveExact(graphOf(randomBoard(8, 4, 9)), endless).proven);

  const BoardColors wide = randomBoard(20, 6, 22);
  SolveLimits littleMemory;  // no deadline: the memory must be what ends it, even in a slow build
  littleMemory.timeLimitSeconds = std::numeric_limits<double>::infinity();
  littleMemory.memoryLimitBytes = 4 << 20;
  const Solution small = solveExact(graphOf(wide), littleMemory);
  checkCutOff(wide, small);
  EXPECT_FALSE(small.interrupted);
  EXPECT_LE(small.searchBytes, littleMemory.memoryLimitBytes);
  EXPECT_GT(small.searchBytes, littleMemory.memoryLimitBytes / 2);
}

SolveLimits expansions(uint64_t limit) {
  SolveLimits limits;
  limits.timeLimitSeconds = std::numeric_limits<double>::infinity();
  limits.expansionLimit = limit;
  return limits;
}

void expectSameSolution(const Solution& a, const Solution& b) {
  EXPECT_EQ(a.moves, b.moves);
  EXPECT_EQ(a.proven, b.proven);
  EXPECT_EQ(a.bound, b.bound);
  EXPECT_EQ(a.expanded, b.expanded);
}

// The budget is exact: a search cut at N expansions has made exactly N, answers the same every
// time, and one allowed all the expansions it needs answers as if it had no budget.
TEST(SolveLimits, ExpansionLimitCutsExactAndBeamAtACount) {
  const BoardColors board = randomBoard(14, 6, 42);
  const RegionGraph graph = graphOf(board);
  const Solution free = solveExact(graph, expansions(0));
  ASSERT_TRUE(free.proven);
  const Solution beam = solveBeam(graph, 16, {});
  ASSERT_GT(free.expanded, beam.expanded + 1) << "the board must need the A* search";

  for (const uint64_t limit : {uint64_t{1}, uint64_t{100}, free.expanded - 1}) {
    SCOPED_TRACE(limit);
    const Solution cut = solveExact(graph, expansions(limit));
    checkCutOff(board, cut);
    EXPECT_FALSE(cut.interrupted);
    EXPECT_EQ(cut.expanded, limit);
    expectSameSolution(solveExact(graph, expansions(limit)), cut);
  }
  // One short of the proof, the search had reached the optimum's own layer.
  EXPECT_EQ(solveExact(graph, expansions(free.expanded - 1)).bound, free.moves.size() - 1);
  expectSameSolution(solveExact(graph, expansions(free.expanded)), free);
  expectSameSolution(solveExact(graph, expansions(uint64_t{1} << 40)), free);

  const Solution wholeBeam = solveBeam(graph, 10, {});
  for (const uint64_t limit : {uint64_t{1}, uint64_t{50}}) {
    const Solution cut = solveBeam(graph, 10, expansions(limit));
    EXPECT_EQ(replayMoves(board, cut.moves), cut.moves.size());
    EXPECT_EQ(cut.expanded, limit);
    EXPECT_EQ(cut.bound, wholeBeam.bound);
  }
  expectSameSolution(solveBeam(graph, 10, expansions(wholeBeam.expanded)), wholeBeam);
}

// Past 2^16 expansions exact runs a wider beam; its expansions come out of the same budget. The
// far-part bound is off: with it this board takes too few expansions for the beam.
TEST(SolveLimits, ExactsWiderBeamsSpendTheSameBudget) {
  const BoardColors board = randomBoard(12, 10, 9);  // about 149,000 expansions to prove
  const RegionGraph graph = graphOf(board);
  SolveLimits limits = expansions(70000);
  limits.farParts = false;
  const Solution cut = solveExact(graph, limits);
  checkCutOff(board, cut);
  EXPECT_EQ(cut.expanded, 70000u);
  expectSameSolution(solveExact(graph, limits), cut);
}

TEST(SolveLimits, StopFlagEndsEverySolverWithACompleteAnswer) {
  const BoardColors board = randomBoard(40, 10, 5);
  const RegionGraph graph = graphOf(board);
  const std::atomic<bool> stop{true};
  SolveLimits limits;
  limits.stop = &stop;
  for (const auto& [name, solve] : solvers) {
    SCOPED_TRACE(name);
    const Solution solution = solve(graph, limits);
    EXPECT_EQ(replayMoves(board, solution.moves), solution.moves.size());
    EXPECT_FALSE(solution.proven);
    EXPECT_EQ(solution.interrupted, std::string(name) != "area");
  }
}

// Solvers keep no shared state: the same graph solved on several threads at once gives each
// thread the answer a lone call gives.
TEST(SolveAll, ConcurrentCallsOnOneGraphAgree) {
  const RegionGraph graph = graphOf(randomBoard(14, 6, 42));
  std::vector<Solution> alone;
  for (const auto& entry : solvers) alone.push_back(entry.second(graph, {}));
  std::vector<std::vector<Solution>> together(4);
  std::vector<std::thread> threads;
  for (auto& results : together)
    threads.emplace_back([&] {
      for (const auto& entry : solvers) results.push_back(entry.second(graph, {}));
    });
  for (std::thread& thread : threads) thread.join();
  for (const auto& results : together)
    for (size_t i = 0; i < solvers.size(); ++i) EXPECT_EQ(results[i].moves, alone[i].moves);
}

TEST(RegionGraph, RegionsSizesAndAdjacency) {
  // 0 0 1
  // 2 0 1
  // 2 2 0
  const RegionGraph graph = buildRegionGraph({3, 3, {0, 0, 1, 2, 0, 1, 2, 2, 0}});
  ASSERT_EQ(graph.regionCount(), 4u);
  EXPECT_EQ(graph.regionOfTile,
            (std::vector<uint32_t>{0, 0, 1, 2, 0, 1, 2, 2, 3}));  // the far 0 stands apart
  EXPECT_EQ(graph.size, (std::vector<uint32_t>{3, 2, 3, 1}));
  EXPECT_EQ(graph.color, (std::vector<uint8_t>{0, 1, 2, 0}));
  const auto neighbors = [&](uint32_t r) {
    return std::vector<uint32_t>(graph.neighborsOf(r).begin(), graph.neighborsOf(r).end());
  };
  EXPECT_EQ(neighbors(0), (std::vector<uint32_t>{1, 2}));
  EXPECT_EQ(neighbors(1), (std::vector<uint32_t>{0, 3}));
  EXPECT_EQ(neighbors(3), (std::vector<uint32_t>{1, 2}));
}

// Regions by a plain flood fill from each unlabelled tile in row order, as the graph numbers them.
std::vector<uint32_t> plainRegions(const BoardColors& board) {
  const uint32_t side = board.side;
  std::vector<uint32_t> region(board.colors.size(), UINT32_MAX);
  uint32_t next = 0;
  for (uint32_t seed = 0; seed < region.size(); ++seed) {
    if (region[seed] != UINT32_MAX) continue;
    std::vector<uint32_t> stack{seed};
    region[seed] = next;
    while (!stack.empty()) {
      const uint32_t t = stack.back();
      stack.pop_back();
      const uint32_t x = t % side;
      for (const uint32_t n : {x > 0 ? t - 1 : t, x + 1 < side ? t + 1 : t,
                               t >= side ? t - side : t, t + side < region.size() ? t + side : t})
        if (region[n] == UINT32_MAX && board.colors[n] == board.colors[t]) {
          region[n] = next;
          stack.push_back(n);
        }
    }
    ++next;
  }
  return region;
}

// Every part of the graph against a plain reading of the board, on boards of many sizes built
// one after another into one graph, as a study reuses it, and built afresh.
TEST(RegionGraph, MatchesAPlainReadingWhenBuiltOverItself) {
  std::mt19937 pick(5);
  RegionGraph reused;
  for (uint32_t k = 1; k <= 80 / sampleDivisor; ++k) {
    const uint32_t side = 3 + pick() % 48;
    const uint32_t colorCount = 2 + pick() % 31;
    const BoardColors board = randomBoard(side, colorCount, 700 + k);
    SCOPED_TRACE(std::to_string(side) + "x" + std::to_string(side) + "/" +
                 std::to_string(colorCount) + " seed " + std::to_string(700 + k));
    buildRegionGraph(board, reused);
    const RegionGraph fresh = graphOf(board);
    for (const RegionGraph* graph : {static_cast<const RegionGraph*>(&reused), &fresh}) {
      const std::vector<uint32_t> region = plainRegions(board);
      ASSERT_EQ(graph->regionOfTile, region);
      const uint32_t regionCount = *std::max_element(region.begin(), region.end()) + 1;
      ASSERT_EQ(graph->regionCount(), regionCount);
      std::vector<std::set<uint32_t>> tiles(regionCount);
      std::vector<std::set<uint32_t>> neighbors(regionCount);
      for (uint32_t t = 0; t < region.size(); ++t) {
        tiles[region[t]].insert(t);
        EXPECT_EQ(graph->color[region[t]], board.colors[t]);
        const uint32_t right = t % side + 1 < side ? t + 1 : t;
        const uint32_t down = t + side < region.size() ? t + side : t;
        for (const uint32_t n : {right, down})
          if (region[n] != region[t]) {
            neighbors[region[t]].insert(region[n]);
            neighbors[region[n]].insert(region[t]);
          }
      }
      for (uint32_t r = 0; r < regionCount; ++r) {
        EXPECT_EQ(graph->size[r], tiles[r].size());
        const auto graphTiles = graph->tilesOf(r);
        EXPECT_EQ(std::set<uint32_t>(graphTiles.begin(), graphTiles.end()), tiles[r]);
        EXPECT_EQ(graphTiles.size(), tiles[r].size());
        const auto graphNeighbors = graph->neighborsOf(r);
        EXPECT_EQ(std::vector<uint32_t>(graphNeighbors.begin(), graphNeighbors.end()),
                  std::vector<uint32_t>(neighbors[r].begin(), neighbors[r].end()));
      }
    }
  }
}

TEST(RegionGraph, RejectsBadBoards) {
  EXPECT_THROW(buildRegionGraph({2, 3, std::vector<uint8_t>(4, 0)}), std::invalid_argument);
  EXPECT_THROW(buildRegionGraph({3, 33, std::vector<uint8_t>(9, 0)}), std::invalid_argument);
  EXPECT_THROW(buildRegionGraph({3, 3, std::vector<uint8_t>(8, 0)}), std::invalid_argument);
  EXPECT_THROW(buildRegionGraph({3, 3, std::vector<uint8_t>(9, 3)}), std::invalid_argument);
}

TEST(RegionGraph, LargestBoardIsSolvedByTheFastSolvers) {
  const BoardColors board = randomBoard(256, 32, 11);
  const RegionGraph graph = graphOf(board);
  EXPECT_GT(graph.regionCount(), 50000u);
  const Solution area = solveArea(graph);
  EXPECT_EQ(replayMoves(board, area.moves), area.moves.size());
}

// Too many regions for the exact search to try: the beam's answer, the start bound, unproven.
TEST(RegionGraph, ExactFallsBackOnLargeGraphs) {
  const BoardColors board = randomBoard(64, 32, 12);
  const RegionGraph graph = graphOf(board);
  const Solution exact = solveExact(graph, {});
  EXPECT_FALSE(exact.proven);
  EXPECT_EQ(exact.bound, startLowerBound(graph));
  EXPECT_EQ(replayMoves(board, exact.moves), exact.moves.size());
}

}  // namespace
