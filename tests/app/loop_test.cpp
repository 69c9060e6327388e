#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "app/loop.h"
#include "board/board.h"
#include "tests/app/app_test.h"

namespace {

// Columns 0..turns alternate between two colours and the rest repeat the last of them, so the
// solver absorbs one column per turn and needs exactly `turns` turns.
void loadStripes(uint32_t turns) {
  const uint32_t side = static_cast<uint32_t>(settings.boardSize);
  std::vector<uint32_t> colors;
  for (uint32_t y = 0; y < side; ++y)
    for (uint32_t x = 0; x < side; ++x) colors.push_back(std::min(x, turns) % 2);
  loadProgramBoard(colors);
}

class LoopTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    settings.boardSize = 24;
    settings.colorCount = 2;
    settings.sleepMs = 1;
  }
  // Plays the current run to its end; returns the number of series turns it took.
  uint32_t playRun() {
    uint32_t calls = 0;
    do {
      seriesTurn();
      ++calls;
    } while (loopState.turns != 0);
    return calls;
  }
};

TEST_F(LoopTest, SeriesOfOneRunEndsWithItsSummaryInTheSamePass) {
  loadStripes(3);
  fakePlatform.f1Answers = {true};
  fakePlatform.messagesBeforeClose = 6;
  fakePlatform.exitCode = 7;
  std::vector<std::string> passes;
  fakePlatform.onDispatch = [&] { passes.push_back(takeOutput()); };
  type("5\n1\n");

  EXPECT_EQ(runMainLoop(), 7);
  ASSERT_EQ(passes.size(), 6u);
  EXPECT_NE(passes[0].find("Please enter the amount of simulations to run:"), std::string::npos);
  EXPECT_EQ(passes[1], "");
  EXPECT_EQ(passes[2], "");
  EXPECT_EQ(passes[3],
            "Finished running simulation in 3 turns\n"
            "Ran 1 simulations with an average of 3.000000 turns\n"
            "Board Size=24x24, Colors=2\n"
            "Worst Turns to solve a board: 3\n");
  EXPECT_EQ(fakePlatform.f1Polls, 3);  // passes 1, 5 and 6: never while running
  EXPECT_FALSE(loopState.running);
  EXPECT_TRUE(loopState.boardCompleted);
  // Idle passes wait for input first (and so does the retrieval that finds the close); series
  // passes never wait, but watch the console for the end of input.
  EXPECT_EQ(fakePlatform.idleWaits, 4);
  EXPECT_EQ(fakePlatform.consoleWatches, 3);
}

TEST_F(LoopTest, SeriesStatisticsCountOnlyTheirOwnRuns) {
  loopState = {.running = true, .simulationCount = 3, .runsRemaining = 3};
  for (uint32_t turns : {20u, 21u, 23u}) {
    loadStripes(turns);  // replaces the board the series generated
    EXPECT_EQ(playRun(), turns);
  }
  EXPECT_EQ(takeOutput(),
            "Finished running simulation in 20 turns\n"
            "Finished running simulation in 21 turns\n"
            "Finished running simulation in 23 turns\n"
            "Ran 3 simulations with an average of 21.333334 turns\n"
            "Board Size=24x24, Colors=2\n"
            "Worst Turns to solve a board: 23\n");
  EXPECT_FALSE(loopState.running);
  EXPECT_TRUE(loopState.boardCompleted);

  // A second series on the solved board: its first run takes one turn.
  loopState = {.running = true, .boardCompleted = true, .simulationCount = 1, .runsRemaining = 1};
  EXPECT_EQ(playRun(), 1u);
  EXPECT_EQ(takeOutput(),
            "Finished running simulation in 1 turns\n"
            "Ran 1 simulations with an average of 1.000000 turns\n"
            "Board Size=24x24, Colors=2\n"
            "Worst Turns to solve a board: 1\n");
}

TEST_F(LoopTest, TotalStaysExactBeyondSinglePrecision) {
  // A single-precision sum would stay at 2^24 here.
  loopState = {.running = true, .totalTurns = 16777216, .simulationCount = 2, .runsRemaining = 2};
  loadStripes(1);
  playRun();
  EXPECT_EQ(loopState.totalTurns, 16777217u);

  // 16777215 runs of 3 turns: a running single-precision sum would print 3.666667.
  loopState.totalTurns = 50331645;
  loopState.simulationCount = 16777215;
  loopState.worstTurns = 3;
  takeOutput();
  printSeriesSummary();
  EXPECT_EQ(takeOutput(),
            "Ran 16777215 simulations with an average of 3.000000 turns\n"
            "Board Size=24x24, Colors=2\n"
            "Worst Turns to solve a board: 3\n");
}

TEST_F(LoopTest, PauseLastsAtLeastTheSleepTime) {
  settings.sleepMs = 20;
  const auto start = std::chrono::steady_clock::now();
  paceTurn();
  const auto end = std::chrono::steady_clock::now();
  EXPECT_GE(end - start, std::chrono::milliseconds(20));
  // The console is watched for the whole pause, and no longer.
  EXPECT_GE(fakePlatform.pauseWatchedUntil, start + std::chrono::milliseconds(20));
  EXPECT_LE(fakePlatform.pauseWatchedUntil, end);
}

TEST_F(LoopTest, EndOfInputInAPauseEndsTheLoopAfterTheTurnInHand) {
  settings.sleepMs = 1000;
  loadStripes(3);
  fakePlatform.f1Answers = {true};
  fakePlatform.messagesBeforeClose = 5;
  fakePlatform.onDispatch = [] { fakePlatform.endOfInputInPause = true; };
  type("5\n1\n");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(runMainLoop(), EndOfInput);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
  EXPECT_EQ(loopState.turns, 1u);
  EXPECT_EQ(fakePlatform.dispatched, 1) << "the menu's pass only";
}

TEST_F(LoopTest, AnAnswerEndedByEndOfInputIsCarriedOutThenTheLoopEnds) {
  loadStripes(3);
  fakePlatform.f1Answers = {true, true};
  fakePlatform.messagesBeforeClose = 5;
  type("3\n1,1");  // no newline: the input ends with the answer
  EXPECT_THROW(runMainLoop(), EndOfInput);
  EXPECT_NE(takeOutput().find("(1, 1) Cluster="), std::string::npos);
  EXPECT_EQ(fakePlatform.dispatched, 1);
  EXPECT_EQ(fakePlatform.f1Polls, 1) << "the next idle pass ends the loop without polling";
}

TEST_F(LoopTest, EndOfInputInTheMenuLeavesTheLoop) {
  fakePlatform.f1Answers = {true};
  fakePlatform.messagesBeforeClose = 2;
  EXPECT_THROW(runMainLoop(), EndOfInput);
  EXPECT_EQ(fakePlatform.dispatched, 0);
}

}  // namespace
