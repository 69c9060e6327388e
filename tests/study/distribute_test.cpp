// The bytes the ranks of an MPI study exchange, and the sizes of the chunks they are handed.
#include "study/distribute.h"

#include <gtest/gtest.h>

namespace {

std::vector<SolverChoice> solvers(const std::vector<std::string>& names) {
  return std::get<std::vector<SolverChoice>>(parseSolvers(names));
}

BoardOutcome outcomeOf(uint64_t index) {
  BoardOutcome board;
  board.index = index;
  board.outcomes = {{.turns = 21, .moves = {1, 0, 5}, .proven = false, .bound = 17},
                    {.turns = 300,
                     .moves = std::vector<uint8_t>(300, 31),
                     .proven = true,
                     .bound = 300,
                     .interrupted = true,
                     .limited = true}};
  board.micros = {12.5, 1e9};
  return board;
}

TEST(Distribute, PlanTravelsWhole) {
  SharedPlan shared;
  StudyPlan& plan = shared.plan;
  plan.supply = {nullptr, ~uint64_t{0} - 3, 14, 6};
  plan.firstBoard = 123;
  plan.boardCount = 1'000'000'000;
  plan.solvers = solvers({"greedy", "beam:10", "exact"});
  plan.limits.timeLimitSeconds = 0.25;
  plan.boundWanted = true;
  shared.memoryLimitMegabytes = 4096;
  shared.threadsAsked = 3;
  const std::optional<SharedPlan> back = decodePlan(encodePlan(shared));
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->plan.supply.seed, plan.supply.seed);
  EXPECT_EQ(back->plan.supply.side, 14u);
  EXPECT_EQ(back->plan.supply.colorCount, 6u);
  EXPECT_EQ(back->plan.supply.fileBoards, nullptr);
  EXPECT_EQ(back->plan.firstBoard, 123u);
  EXPECT_EQ(back->plan.boardCount, 1'000'000'000u);
  ASSERT_EQ(back->plan.solvers.size(), 3u);
  EXPECT_EQ(back->plan.solvers[1].label, "beam:10");
  EXPECT_EQ(back->plan.solvers[1].argument, 10u);
  EXPECT_EQ(back->plan.limits.timeLimitSeconds, 0.25);
  EXPECT_TRUE(back->plan.boundWanted);
  EXPECT_EQ(back->memoryLimitMegabytes, 4096u);
  EXPECT_EQ(back->threadsAsked, 3u);
}

TEST(Distribute, BoardsOfAFileTravelWithThePlan) {
  auto boards = std::make_shared<std::vector<BoardColors>>();
  boards->push_back({3, 2, {0, 1, 0, 1, 0, 1, 0, 1, 1}});
  boards->push_back({4, 5, std::vector<uint8_t>(16, 4)});
  SharedPlan shared;
  shared.plan.supply.fileBoards = boards;
  shared.plan.solvers = solvers({"greedy"});
  const std::optional<SharedPlan> back = decodePlan(encodePlan(shared));
  ASSERT_TRUE(back.has_value() && back->plan.supply.fileBoards != nullptr);
  EXPECT_EQ(*back->plan.supply.fileBoards, *boards);
}

TEST(Distribute, ChunkResultTravelsWhole) {
  ChunkResult result{500, 4, {outcomeOf(500), outcomeOf(501)}, "board 502: a fault"};
  const std::optional<ChunkResult> back = decodeChunkResult(encodeChunkResult(result, 2), 2);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->first, 500u);
  EXPECT_EQ(back->size, 4u);
  EXPECT_FALSE(complete(*back));
  EXPECT_EQ(back->failure, result.failure);
  ASSERT_EQ(back->outcomes.size(), 2u);
  for (size_t b = 0; b < 2; ++b) {
    EXPECT_EQ(back->outcomes[b].index, 500 + b);
    EXPECT_EQ(back->outcomes[b].micros, result.outcomes[b].micros);
    for (size_t s = 0; s < 2; ++s) {
      const SolverOutcome& want = result.outcomes[b].outcomes[s];
      const SolverOutcome& got = back->outcomes[b].outcomes[s];
      EXPECT_EQ(got.turns, want.turns);
      EXPECT_EQ(got.moves, want.moves);
      EXPECT_EQ(got.bound, want.bound);
      EXPECT_EQ(got.proven, want.proven);
      EXPECT_EQ(got.limited, want.limited);
      EXPECT_EQ(got.interrupted, want.interrupted);
    }
  }
}

TEST(Distribute, MessagesCutShortOrTooLongAreRefused) {
  const std::string chunk = encodeChunkResult({7, 1, {outcomeOf(7)}, ""}, 2);
  for (size_t length = 0; length < chunk.size(); ++length)
    EXPECT_FALSE(decodeChunkResult(chunk.substr(0, length), 2)) << length;
  EXPECT_FALSE(decodeChunkResult(chunk + "x", 2));
  // More outcomes than the chunk has boards cannot be a rank's answer.
  EXPECT_FALSE(decodeChunkResult(encodeChunkResult({7, 0, {outcomeOf(7)}, ""}, 2), 2));
  SharedPlan shared;
  shared.plan.solvers = solvers({"greedy"});
  const std::string plan = encodePlan(shared);
  for (size_t length = 0; length < plan.size(); ++length)
    EXPECT_FALSE(decodePlan(plan.substr(0, length))) << length;
}

TEST(Distribute, ChunksFollowSpeedAndShrinkTowardTheEnd) {
  // Before the speed is known: one board per thread.
  EXPECT_EQ(chunkSize(1'000'000, 4, 8, 0), 4u);
  // A quarter second of work at the last speed, while boards are plenty.
  EXPECT_EQ(chunkSize(1'000'000, 4, 8, 20'000), 5'000u);
  // Never more than the rank's share of half the boards left...
  EXPECT_EQ(chunkSize(1'000, 4, 8, 20'000), 250u);
  // ...nor fewer than a board per thread, nor more than are left.
  EXPECT_EQ(chunkSize(10, 4, 8, 0.5), 4u);
  EXPECT_EQ(chunkSize(3, 4, 8, 20'000), 3u);
  uint64_t left = 100'000, chunks = 0;
  while (left > 0) {
    const uint64_t size = chunkSize(left, 1, 2, 1e9);
    ASSERT_GE(size, 1u);
    left -= size;
    ++chunks;
  }
  EXPECT_LT(chunks,
            60u);  // shrinking by a quarter: the hand-out costs a few messages, not one per board
}

}  // namespace
