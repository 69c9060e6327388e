#include <cstdint>
#include <utility>

#include "app/startup.h"
#include "board/board.h"
#include "tests/app/app_test.h"

namespace {

constexpr const char* kBoardPrompt = "Please enter a board size between 3 and 64: ";
constexpr const char* kCellPrompt = "Please enter the cell size px (default=16): ";

TEST(ParseInt, ConvertsLikeTheConsoleExpects) {
  const std::pair<const char*, int32_t> cases[] = {
      {"", 0},
      {"   ", 0},
      {"abc", 0},
      {"-", 0},
      {"+-3", 0},
      {"- 3", 0},
      {"12", 12},
      {"  +12", 12},
      {"12 word", 12},
      {"12abc", 12},
      {"-5", -5},
      {" \t\v\f\r\n7", 7},
      {"0x10", 0},
      {"1e3", 1},
      {"2147483647", 2147483647},
      {"2147483648", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"99999999999", 2147483647},
      {"-99999999999", -2147483647 - 1},
      {"99999999999999999999999999", 2147483647},
      {"0000000000000000000000042", 42},
  };
  for (const auto& [text, expected] : cases)
    EXPECT_EQ(parseInt(text), expected) << '"' << text << '"';
}

TEST_F(AppTest, ReadLineDropsOneCarriageReturnAndRestoresLineModeFirst) {
  type("12\r\n\r\r\nlast");
  EXPECT_EQ(readLine(), "12");
  EXPECT_EQ(readLine(), "\r");
  EXPECT_EQ(readLine(), "last");
  EXPECT_THROW(readLine(), EndOfInput);
  EXPECT_EQ(fakePlatform.lineModeCalls, 4);
}

TEST_F(AppTest, EmptyAnswerTakesTheDefaultOrAsksAgainInSilence) {
  type("\n");
  EXPECT_EQ(askValue(kCellPrompt, 8, 128, 16), 16);
  EXPECT_EQ(takeOutput(), std::string(kCellPrompt) + "Using default value: 16\n");

  type("\n\n5\n");
  EXPECT_EQ(askValue(kBoardPrompt, 3, 64), 5);
  EXPECT_EQ(takeOutput(), std::string(kBoardPrompt) + kBoardPrompt + kBoardPrompt);
}

TEST_F(AppTest, RefusedAnswersGetTheMessageAndThePromptAgain) {
  type("   \n7\n129\n99999999999\n-99999999999\n128\n");
  EXPECT_EQ(askValue(kCellPrompt, 8, 128, 16), 128);
  const std::string prompt = kCellPrompt;
  EXPECT_EQ(takeOutput(), prompt + "Value (0) is not between 8 and 128\n" + prompt +
                              "Value (7) is not between 8 and 128\n" + prompt +
                              "Value (129) is not between 8 and 128\n" + prompt +
                              "Value (2147483647) is not between 8 and 128\n" + prompt +
                              "Value (-2147483648) is not between 8 and 128\n" + prompt);
  type("8\n");
  EXPECT_EQ(askValue(kCellPrompt, 8, 128, 16), 8);
}

TEST_F(AppTest, EndOfInputEndsTheQuestionWithoutAnotherPrompt) {
  type("70");
  EXPECT_THROW(askValue(kBoardPrompt, 3, 64), EndOfInput);
  EXPECT_EQ(takeOutput(),
            std::string(kBoardPrompt) + "Value (70) is not between 3 and 64\n" + kBoardPrompt);
}

TEST_F(AppTest, StartUpAsksTheFourSettingsAndMakesTheFirstBoard) {
  type("\n65\n12\n1\n33\n5\n\n0\n10001\n250\n");
  startUp();
  EXPECT_EQ(takeOutput(),
            "Tidefill - colour region puzzle solver, by the Tidefill team\n"
            "Please enter a board size between 3 and 64: "
            "Please enter a board size between 3 and 64: "
            "Value (65) is not between 3 and 64\n"
            "Please enter a board size between 3 and 64: "
            "Please enter the amount of colors (2 - 32): "
            "Value (1) is not between 2 and 32\n"
            "Please enter the amount of colors (2 - 32): "
            "Value (33) is not between 2 and 32\n"
            "Please enter the amount of colors (2 - 32): "
            "Please enter the cell size px (default=16): "
            "Using default value: 16\n"
            "Please enter the sleep time ms (default=500): "
            "Value (0) is not between 1 and 10000\n"
            "Please enter the sleep time ms (default=500): "
            "Value (10001) is not between 1 and 10000\n"
            "Please enter the sleep time ms (default=500): "
            "Press F1 to display the menu and enter a command.\n");
  EXPECT_EQ(fakePlatform.openConsoleCalls, 1);
  EXPECT_EQ(settings.boardSize, 12);
  EXPECT_EQ(settings.colorCount, 5);
  EXPECT_EQ(settings.cellSize, 16);
  EXPECT_EQ(settings.sleepMs, 250u);
  EXPECT_EQ(game.board.size(), 144u);

  type("64\n32\n\n\n");
  askSettings();
  EXPECT_EQ(settings.boardSize, 64);
  EXPECT_EQ(settings.colorCount, 32);
  EXPECT_EQ(settings.sleepMs, 500u);
}

}  // namespace
