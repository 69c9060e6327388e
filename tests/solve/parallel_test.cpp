// One exact search on several threads: the optimum of the one-thread search and of the plain
// search over colourings, the same answers for every thread count, limits included, and every
// limit obeyed without hanging.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <limits>
#include <random>
#include <string>
#include <thread>

#include "solve/solver.h"
#include "tests/sample_scale.h"
#include "tests/solve/breadth_first.h"
#include "tests/solve/random_board.h"

namespace {

SolveLimits onThreads(uint32_t threads, uint64_t expansionLimit = 0) {
  SolveLimits limits;
  limits.timeLimitSeconds = std::numeric_limits<double>::infinity();
  limits.expansionLimit = expansionLimit;
  limits.searchThreads = threads;
  return limits;
}

std::string nameOf(uint32_t side, uint32_t colorCount, uint32_t seed) {
  return std::to_string(side) + "x" + std::to_string(side) + "/" + std::to_string(colorCount) +
         " seed " + std::to_string(seed);
}

void expectProvenOptimum(const BoardColors& board, const Solution& solution, size_t optimum) {
  EXPECT_TRUE(solution.proven);
  EXPECT_FALSE(solution.interrupted);
  EXPECT_EQ(solution.moves.size(), optimum);
  EXPECT_EQ(replayMoves(board, solution.moves), solution.moves.size());
}

void expectSameAnswer(const Solution& a, const Solution& b) {
  EXPECT_EQ(a.moves, b.moves);
  EXPECT_EQ(a.proven, b.proven);
  EXPECT_EQ(a.bound, b.bound);
  EXPECT_EQ(a.expanded, b.expanded);
  EXPECT_EQ(a.searchBytes, b.searchBytes);
}

TEST(ParallelExact, MatchesBreadthFirstSearchOnSmallBoards) {
  std::mt19937 pick(19);
  uint32_t searched = 0;  // boards whose first beam was not optimal, so the A* ran
  for (uint32_t k = 1; k <= 300 / sampleDivisor; ++k) {
    const uint32_t side = 3 + pick() % 4;
    const uint32_t colorCount = 2 + pick() % 5;
    const BoardColors board = randomBoard(side, colorCount, 900 + k);
    SCOPED_TRACE(nameOf(side, colorCount, 900 + k));
    const size_t optimum = optimumByBreadthFirst(board);
    const RegionGraph graph = buildRegionGraph(board);
    const Solution two = solveExact(graph, onThreads(2));
    expectProvenOptimum(board, two, optimum);
    expectProvenOptimum(board, solveExact(graph, onThreads(4)), optimum);
    searched += two.expanded > solveBeam(graph, 16, {}).expanded;
  }
  EXPECT_GT(searched, 10u / sampleDivisor);
}

// Larger boards, where the search takes many rounds and several layers.
TEST(ParallelExact, AgreesWithTheOneThreadSearch) {
  std::mt19937 pick(23);
  for (uint32_t k = 1; k <= 300 / sampleDivisor; ++k) {
    const uint32_t side = 7 + pick() % 6;
    const uint32_t colorCount = 3 + pick() % 6;
    const BoardColors board = randomBoard(side, colorCount, 1300 + k);
    SCOPED_TRACE(nameOf(side, colorCount, 1300 + k));
    const RegionGraph graph = buildRegionGraph(board);
    const Solution one = solveExact(graph, onThreads(1));
    ASSERT_TRUE(one.proven);
    const Solution two = solveExact(graph, onThreads(2));
    expectProvenOptimum(board, two, one.moves.size());
    EXPECT_EQ(two.bound, one.bound);
    if (k % 10 == 0) expectSameAnswer(solveExact(graph, onThreads(3)), two);
  }
}

// A search cut at N expansions has made exactly N and answers alike on 2, 3 and 4 threads; one
// allowed all it needs answers as if it had no limit. (A cut in the proof's last round may
// prove it all the same, as the round's first states find the answer.) The last cuts fall in
// the last layer, whose states each expand the states below them at once: a cut there counts
// the first of those expansions, in round order, and no completion past them.
TEST(ParallelExact, ExpansionLimitGivesTheSameAnswerOnAnyThreadCount) {
  const BoardColors board = randomBoard(14, 6, 358);
  const RegionGraph graph = buildRegionGraph(board);
  const Solution free = solveExact(graph, onThreads(2));
  ASSERT_TRUE(free.proven);
  ASSERT_GT(free.expanded, 8000u) << "the board must take many rounds";
  for (const uint64_t limit :
       {uint64_t{1}, uint64_t{100}, uint64_t{2500}, free.expanded / 2, free.expanded - 200,
        free.expanded - 30, free.expanded - 5, free.expanded - 1}) {
    SCOPED_TRACE(limit);
    const Solution cut = solveExact(graph, onThreads(2, limit));
    if (limit <= free.expanded / 2) {
      EXPECT_FALSE(cut.proven);
    }
    EXPECT_EQ(cut.expanded, limit);
    EXPECT_EQ(replayMoves(board, cut.moves), cut.moves.size());
    EXPECT_LE(cut.bound, free.moves.size());
    for (const uint32_t threads : {3u, 4u})
      expectSameAnswer(solveExact(graph, onThreads(threads, limit)), cut);
  }
  expectSameAnswer(solveExact(graph, onThreads(4, free.expanded)), free);
  expectSameAnswer(solveExact(graph, onThreads(3)), free);
}

// Past 2^16 states expanded (those a round takes only to raise their layer not counted), the
// search runs a wider beam: under a limit between two rounds, out of the same budget; without
// one beside the search, its answer taken at a fixed count. This board takes about 100,000.
TEST(ParallelExact, WiderBeamsGiveTheSameAnswersOnAnyThreadCount) {
  const RegionGraph graph = buildRegionGraph(randomBoard(12, 10, 9));
  const Solution cut = solveExact(graph, onThreads(2, 80000));
  EXPECT_EQ(cut.expanded, 80000u);
  expectSameAnswer(solveExact(graph, onThreads(4, 80000)), cut);

  const Solution free = solveExact(graph, onThreads(2));
  EXPECT_GT(free.expanded, 90000u);
  EXPECT_EQ(free.moves.size(), solveExact(graph, onThreads(1)).moves.size());
  expectSameAnswer(solveExact(graph, onThreads(3)), free);
}

// A proof that found no shorter answer than the beam's needs every state of its last layer
// expanded: cut any sooner, even inside that layer's last round, the search proves nothing.
TEST(ParallelExact, ACutInTheLastRoundProvesNothingUnlessItFoundTheAnswer) {
  uint32_t exhausted = 0;  // boards whose proof found no shorter answer
  for (uint32_t k = 1; k <= 30; ++k) {
    const BoardColors board = randomBoard(9 + k % 4, 4 + k % 4, 700 + k);
    SCOPED_TRACE(nameOf(9 + k % 4, 4 + k % 4, 700 + k));
    const RegionGraph graph = buildRegionGraph(board);
    const Solution free = solveExact(graph, onThreads(2));
    ASSERT_TRUE(free.proven);
    if (free.moves.size() != solveBeam(graph, 16, {}).moves.size() || free.expanded < 100) continue;
    ++exhausted;
    for (const uint64_t shortBy : {uint64_t{1}, uint64_t{3}, uint64_t{10}, uint64_t{40}}) {
      const Solution cut = solveExact(graph, onThreads(2, free.expanded - shortBy));
      EXPECT_FALSE(cut.proven) << shortBy << " short";
      EXPECT_EQ(cut.expanded, free.expanded - shortBy);
      EXPECT_LE(cut.bound, free.moves.size());
    }
  }
  EXPECT_GE(exhausted, 10u);
}

void expectCutOff(const BoardColors& board, const Solution& solution) {
  EXPECT_FALSE(solution.proven);
  EXPECT_EQ(replayMoves(board, solution.moves), solution.moves.size());
  EXPECT_GE(solution.bound, startLowerBound(buildRegionGraph(board)));
  EXPECT_LE(solution.bound, solution.moves.size());
}

TEST(ParallelExact, StopsAtTheTimeAndMemoryLimits) {
  const BoardColors board = randomBoard(30, 8, 3);
  SolveLimits timed = onThreads(2);
  timed.timeLimitSeconds = 0.2;
  const auto start = std::chrono::steady_clock::now();
  const Solution late = solveExact(buildRegionGraph(board), timed);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  expectCutOff(board, late);
  EXPECT_FALSE(late.interrupted);

  // The budget is split between the shards, so the search ends when one of them is full.
  const BoardColors wide = randomBoard(30, 8, 3);
  SolveLimits little = onThreads(2);
  little.memoryLimitBytes = 32 << 20;
  const Solution small = solveExact(buildRegionGraph(wide), little);
  expectCutOff(wide, small);
  EXPECT_FALSE(small.interrupted);
  EXPECT_LE(small.searchBytes, little.memoryLimitBytes);
  EXPECT_GT(small.searchBytes, little.memoryLimitBytes / 2);
}

// A stop from another thread ends a long search at its next round, with a complete answer.
TEST(ParallelExact, StopFromAnotherThreadEndsTheSearch) {
  const BoardColors board = randomBoard(30, 8, 3);
  const RegionGraph graph = buildRegionGraph(board);
  std::atomic<bool> stop{false};
  SolveLimits limits = onThreads(2);
  limits.stop = &stop;
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    stop = true;
  });
  const auto start = std::chrono::steady_clock::now();
  const Solution stopped = solveExact(graph, limits);
  stopper.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  expectCutOff(board, stopped);
  EXPECT_TRUE(stopped.interrupted);
}

}  // namespace
