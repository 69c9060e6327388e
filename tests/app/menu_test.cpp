#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "app/menu.h"
#include "board/board.h"
#include "tests/app/app_test.h"

namespace {

constexpr const char* kMenu =
    "1. Generate New Board\n"
    "2. Run Algorithm Once\n"
    "3. Query Tile\n"
    "4. Query Cluster\n"
    "5. Run Complete Simulation\n"
    "Enter your selection:";
constexpr const char* kTilePrompt = "Enter the tile to query in zero-indexed \"x,y\" format:";
constexpr const char* kClusterPrompt = "Enter a cluster id:";
constexpr const char* kSeriesPrompt = "Please enter the amount of simulations to run:";

// Colour (x + y) % 3: no two side neighbours match, so tile i is cluster i + 1.
void loadDiagonals(int32_t side) {
  settings.boardSize = side;
  settings.colorCount = 3;
  std::vector<uint32_t> colors;
  for (int32_t y = 0; y < side; ++y)
    for (int32_t x = 0; x < side; ++x) colors.push_back(static_cast<uint32_t>((x + y) % 3));
  loadProgramBoard(colors);
}

class MenuTest : public AppTest {
 protected:
  // The menu run on `lines`; returns what it printed after the menu itself.
  std::string command(const std::string& lines) {
    type(lines);
    runMenu();
    std::string printed = takeOutput();
    EXPECT_EQ(printed.substr(0, std::string(kMenu).size()), kMenu);
    EXPECT_EQ(printed.substr(printed.size() - std::string(kMenuHint).size()), kMenuHint);
    return printed.substr(std::string(kMenu).size());
  }
};

TEST_F(MenuTest, SelectionIsReadAgainWithoutPromptUntilInRange) {
  loadDiagonals(10);
  EXPECT_EQ(command("\n0\n6\n2abc\n"), std::string("Value (0) is not between 1 and 5\n"
                                                   "Value (6) is not between 1 and 5\n") +
                                           kMenuHint);
  EXPECT_EQ(mainCluster(game).tiles.size(), 3u);  // command 2 played one turn
  EXPECT_FALSE(loopState.boardCompleted);
}

TEST_F(MenuTest, OneTurnRefusesACompletedBoardUntilANewOne) {
  settings.boardSize = 3;
  loadProgramBoard({0, 1, 1, 0, 1, 1, 0, 1, 1});
  EXPECT_EQ(command("2\n"), kMenuHint);
  EXPECT_TRUE(loopState.boardCompleted);
  EXPECT_EQ(command("2\n"), std::string("The board is already completed\n") + kMenuHint);
  EXPECT_EQ(command("1\n"), kMenuHint);
  EXPECT_FALSE(loopState.boardCompleted);
}

TEST_F(MenuTest, TileQueryAnswersOrRefusesOnce) {
  loadDiagonals(10);
  const std::pair<const char*, std::string> cases[] = {
      {"2,3", "(2, 3) Cluster=33, Color=2, Neighbors=4\n"},
      {" 2, 3", "(2, 3) Cluster=33, Color=2, Neighbors=4\n"},
      {"1,2,3", "(1, 2) Cluster=22, Color=0, Neighbors=4\n"},
      {"a,b", "(0, 0) Cluster=1, Color=0, Neighbors=2\n"},
      {"9,9", "(9, 9) Cluster=100, Color=0, Neighbors=2\n"},
      {",3", ""},
      {"1,", ""},
      {",", ""},
      {"", "Missing comma delimiter\n"},
      {"3 7", "Missing comma delimiter\n"},
      {"-1,0", "Value (-1) is not between 0 and 9\n"},
      {"10,0", "Value (10) is not between 0 and 9\n"},
      {"0,-1", "Value (-1) is not between 0 and 9\n"},
      {"0,10", "Value (10) is not between 0 and 9\n"},
      {"10,-1", "Value (10) is not between 0 and 9\n"},
  };
  for (const auto& [line, answer] : cases)
    EXPECT_EQ(command(std::string("3\n") + line + "\n"), kTilePrompt + answer + kMenuHint) << line;

  loadDiagonals(3);
  EXPECT_EQ(command("3\n3,\n"),
            std::string(kTilePrompt) + "Value (3) is not between 0 and 2\n" + kMenuHint);
}

TEST_F(MenuTest, ClusterQueryLooksUpUnsignedAndShowsTheValueAsTyped) {
  settings.boardSize = 3;
  loadProgramBoard({0, 1, 0, 0, 1, 0, 0, 1, 0});  // clusters 1, 2, 3 are the columns
  const auto query = [&](const std::string& line) {
    return command("4\n" + line + "\n").substr(std::string(kClusterPrompt).size());
  };
  const std::string hint = kMenuHint;
  EXPECT_EQ(query(""), "Could not find a cluster with id: 0\n" + hint);
  EXPECT_EQ(query("-1"), "Could not find a cluster with id: -1\n" + hint);
  EXPECT_EQ(query("4"), "Could not find a cluster with id: 4\n" + hint);
  EXPECT_EQ(query("1"), "Color=0, Size=3, Neighbors=1\n" + hint);
  EXPECT_EQ(query("2"), "Color=1, Size=3, Neighbors=2\n" + hint);

  solveStep(game);  // the player's region absorbs cluster 2
  EXPECT_EQ(query("1"), "Color=1, Size=6, Neighbors=1\n" + hint);
  EXPECT_EQ(query("2").substr(0, 17), "Color=1, Size=3, ");
}

TEST_F(MenuTest, SeriesCountIsAskedUntilInRangeAndResetsTheStatistics) {
  loopState.totalTurns = 99;
  loopState.worstTurns = 9;
  const std::string prompt = kSeriesPrompt;
  EXPECT_EQ(command("5\n\n0\n16777216\n16777215\n"),
            prompt + prompt + "Value (0) is not between 1 and 16777215\n" + prompt +
                "Value (16777216) is not between 1 and 16777215\n" + prompt + kMenuHint);
  EXPECT_TRUE(loopState.running);
  EXPECT_EQ(loopState.simulationCount, 16777215u);
  EXPECT_EQ(loopState.runsRemaining, 16777215u);
  EXPECT_EQ(loopState.totalTurns, 0u);
  EXPECT_EQ(loopState.worstTurns, 0u);
}

TEST_F(MenuTest, EndOfInputLeavesEveryDialogueWithoutTheHint) {
  loadDiagonals(3);
  const std::pair<const char*, std::string> cases[] = {
      {"", ""},
      {"0\n", "Value (0) is not between 1 and 5\n"},
      {"3\n", kTilePrompt},
      {"4\n", kClusterPrompt},
      {"5\n0\n",
       std::string(kSeriesPrompt) + "Value (0) is not between 1 and 16777215\n" + kSeriesPrompt},
  };
  for (const auto& [lines, after] : cases) {
    type(lines);
    EXPECT_THROW(runMenu(), EndOfInput) << lines;
    EXPECT_EQ(takeOutput(), kMenu + after) << lines;
  }
}

}  // namespace
