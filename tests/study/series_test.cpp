// The study's greedy turn counts against the interactive program's own series on the same
// boards: what the series prints for each board is what the study reports for it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/loop.h"
#include "study/runner.h"
#include "tests/app/app_test.h"

namespace {

using StudyMatchesSeries = AppTest;

TEST_F(StudyMatchesSeries, OnEveryBoardTheSeriesPrintsTheStudysTurnCount) {
  const auto solvers = std::get<std::vector<SolverChoice>>(parseSolvers({"greedy"}));
  StudyPlan plan;
  plan.supply = BoardSupply{nullptr, 2024, 12, 5};
  plan.boardCount = 60;
  plan.solvers = solvers;
  plan.threads = 2;
  runStudy(
      plan,
      [&](const BoardOutcome& outcome) {
        settings.boardSize = 12;
        settings.colorCount = 5;
        loadProgramBoard(
            std::vector<uint32_t>(outcome.board.colors.begin(), outcome.board.colors.end()));
        loopState = LoopState{};
        loopState.running = true;
        loopState.simulationCount = loopState.runsRemaining = 1;
        while (loopState.running) seriesTurn();
        const std::string printed = takeOutput();
        char expected[64];
        std::snprintf(expected, sizeof expected, "Finished running simulation in %u turns\n",
                      outcome.outcomes[0].turns);
        EXPECT_EQ(printed.substr(0, printed.find('\n') + 1), expected) << "board " << outcome.index;
      },
      [](uint64_t) {});
}

}  // namespace
