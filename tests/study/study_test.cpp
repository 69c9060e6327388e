// The study's boards, its board files, its runner and its statistics.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "study/boards.h"
#include "study/escape.h"
#include "study/options.h"
#include "study/report.h"
#include "study/runner.h"

namespace {

BoardColors seeded(uint64_t seed, uint64_t index, uint32_t side = 14, uint32_t colors = 6,
                   ColorDraw draw = ColorDraw::program) {
  BoardColors board;
  seededBoard(seed, index, side, colors, draw, board);
  return board;
}

TEST(SeededBoards, DependOnlyOnSeedIndexSizeAndColours) {
  EXPECT_EQ(seeded(5, 3).colors, seeded(5, 3).colors);
  EXPECT_NE(seeded(5, 3).colors, seeded(5, 4).colors);
  EXPECT_NE(seeded(5, 3).colors, seeded(6, 3).colors);
  // Board 0 of a seed starts the stream at its first output: pinned, so that a board file
  // written today is the board that seed gives tomorrow.
  EXPECT_EQ(seeded(0, 0, 3, 2).colors, (std::vector<uint8_t>{1, 1, 0, 1, 1, 0, 1, 0, 0}));
}

TEST(SeededBoards, EndColoursAreHalfAsFrequent) {
  std::vector<uint64_t> counts(5, 0);
  for (uint64_t i = 0; i < 200; ++i)
    for (uint8_t color : seeded(1, i, 20, 5).colors) ++counts[color];
  const double middle = (counts[1] + counts[2] + counts[3]) / 3.0;
  EXPECT_NEAR(counts[0] / middle, 0.5, 0.05);
  EXPECT_NEAR(counts[4] / middle, 0.5, 0.05);
}

// A study that names no draw gets the boards it got before there was a choice: these digests
// (FNV-1a over every tile, board after board) were taken from such a build.
TEST(SeededBoards, TheDefaultDrawKeepsItsBoards) {
  const auto digest = [](BoardSupply supply, uint64_t boards) {
    uint64_t hash = 0xcbf29ce484222325ull;
    BoardColors board;
    for (uint64_t i = 0; i < boards; ++i) {
      supplyBoard(supply, i, board);
      for (const uint8_t color : board.colors) hash = (hash ^ color) * 0x100000001b3ull;
    }
    return hash;
  };
  EXPECT_EQ(digest(BoardSupply{nullptr, 2026, 14, 6}, 100), 0x0eca39b166ff3c01ull);
  EXPECT_EQ(digest(BoardSupply{nullptr, 3, 9, 32}, 50), 0x7c6389f8c64084feull);
}

TEST(SeededBoards, UniformDrawIsPinnedAndEven) {
  // Worked out apart from the program, from SplitMix64 and (output * colours) >> 32.
  EXPECT_EQ(seeded(7, 0, 4, 6, ColorDraw::uniform).colors,
            (std::vector<uint8_t>{4, 3, 3, 3, 2, 1, 5, 5, 5, 0, 5, 2, 0, 1, 5, 4}));
  EXPECT_EQ(seeded(7, 1, 3, 3, ColorDraw::uniform).colors,
            (std::vector<uint8_t>{1, 2, 2, 2, 1, 1, 2, 0, 0}));
  std::vector<uint64_t> counts(5, 0);
  for (uint64_t i = 0; i < 200; ++i)
    for (uint8_t color : seeded(1, i, 20, 5, ColorDraw::uniform).colors) ++counts[color];
  for (size_t c = 0; c < counts.size(); ++c)
    EXPECT_NEAR(counts[c] / (200 * 400 / 5.0), 1.0, 0.03) << "colour " << c;
}

std::variant<std::vector<BoardColors>, BoardFileError> read(const std::string& text) {
  std::istringstream input(text);
  return readBoards(input);
}

TEST(BoardFiles, WrittenBoardsReadBackWithCommentsAndBlankLines) {
  std::ostringstream out;
  const BoardColors first = seeded(9, 0, 3, 4);
  const BoardColors second = seeded(9, 1, 5, 32);
  writeBoard(out, first, 0);
  out << "\n   # a note\n\n";
  writeBoard(out, second, 1);
  const auto boards = std::get<std::vector<BoardColors>>(read(out.str()));
  ASSERT_EQ(boards.size(), 2u);
  EXPECT_EQ(boards[0], first);
  EXPECT_EQ(boards[1].side, 5u);
  EXPECT_EQ(boards[1].colorCount, 32u);
  EXPECT_EQ(boards[1], second);
}

TEST(BoardFiles, EachFaultNamesItsLine) {
  const struct {
    const char* text;
    uint64_t line;
    const char* message;
  } cases[] = {
      {"3 2\n0 1 0\n1 0\n0 0 0\n", 3, "row 2 has 2 colours where the board's side is 3"},
      {"3 2\n0 1 0\n1 0 1 1\n", 3, "row 2 has 4 colours where the board's side is 3"},
      {"3 2\n0 1 0\n1 2 1\n", 3, "colour 2 is not below the board's 2 colours"},
      {"# x\n300 2\n", 2, "side 300 is not between 3 and 256"},
      {"3 33\n", 1, "colour count 33 is not between 2 and 32"},
      {"3 2\n0 1 0\n\n1 0 1\n", 4, "the board that starts on line 1 ends after 2 of its 3 rows"},
      {"3 2 1\n", 1, "expected a board header \"side colours\", found '3 2 1'"},
      {"3 2\n0 x 1\n", 2, "'x' is not a colour index"},
      {"3 2\n0 -1 1\n", 2, "'-1' is not a colour index"},
      {"# nothing\n\n", 0, "holds no boards"},
      // What a terminal would act on is shown, not sent.
      {"\x1b[2J\x1b]0;x\x07 3\n", 1,
       "expected a board header \"side colours\", found '\\x1b[2J\\x1b]0;x\\x07 3'"},
      {"3 2\n0 \xff\xc3\xa9 1\n", 2, "'\\xff\xc3\xa9' is not a colour index"},
  };
  for (const auto& c : cases) {
    const auto result = read(c.text);
    ASSERT_TRUE(std::holds_alternative<BoardFileError>(result)) << c.text;
    EXPECT_EQ(std::get<BoardFileError>(result).line, c.line) << c.text;
    EXPECT_EQ(std::get<BoardFileError>(result).message, c.message) << c.text;
  }
}

TEST(BoardFiles, LinesAreBoundedWhateverTheInput) {
  const std::string longest(kMaxLineBytes - 3, ' ');
  // A comment may fill a line to the bound, with or without its end.
  EXPECT_TRUE(std::holds_alternative<std::vector<BoardColors>>(
      read("#" + longest + "##\n3 2\n0 0 0\n0 0 0\n0 0 0\n#" + longest + "##")));
  for (const std::string& text : {"3 2\n#" + longest + "###\n", std::string(1 << 20, '\0'),
                                  "3 2\n" + std::string(kMaxLineBytes + 1, '0')}) {
    const auto result = read(text);
    ASSERT_TRUE(std::holds_alternative<BoardFileError>(result));
    EXPECT_EQ(std::get<BoardFileError>(result).message,
              "the line is longer than 4096 bytes; no board file has such lines");
  }
}

TEST(BoardFiles, MessagesEscapeWhatWouldActOnTheTerminal) {
  EXPECT_EQ(escapedForTerminal("plain, caf\xc3\xa9 \xe2\x86\x92 ok"),
            "plain, caf\xc3\xa9 \xe2\x86\x92 ok");
  EXPECT_EQ(escapedForTerminal("\x1b[2J\t\r\n\x7f"), "\\x1b[2J\\t\\r\\n\\x7f");
  // Invalid UTF-8: a lone continuation, a cut sequence, an overlong form, a surrogate, C1.
  EXPECT_EQ(escapedForTerminal("\x80 \xe2\x86 \xc0\xaf \xed\xa0\x80 \xc2\x9b"),
            "\\x80 \\xe2\\x86 \\xc0\\xaf \\xed\\xa0\\x80 \\xc2\\x9b");
}

StudySetup setUpFrom(std::vector<const char*> args) {
  args.insert(args.begin(), kProgram);
  const auto options = parseOptions(static_cast<int>(args.size()), args.data());
  return std::get<StudySetup>(setUpStudy(std::get<StudyOptions>(options)));
}

// A count of expansions repeats on any machine only when no default time limit stands beside
// it; a time limit given with it still holds.
TEST(StudySetup, ExpansionLimitAloneLiftsTheDefaultTimeLimit) {
  EXPECT_EQ(setUpFrom({}).plan.limits.timeLimitSeconds, 10);
  EXPECT_EQ(setUpFrom({}).plan.limits.expansionLimit, 0u);
  const SolveLimits alone = setUpFrom({"--expansion-limit", "5000"}).plan.limits;
  EXPECT_EQ(alone.expansionLimit, 5000u);
  EXPECT_TRUE(std::isinf(alone.timeLimitSeconds));
  const SolveLimits both =
      setUpFrom({"--time-limit", "2", "--expansion-limit", "5000"}).plan.limits;
  EXPECT_EQ(both.expansionLimit, 5000u);
  EXPECT_EQ(both.timeLimitSeconds, 2);
}

// Turn counts of a plan, in the order they were delivered.
std::vector<uint64_t> run(StudyPlan plan) {
  std::vector<uint64_t> delivered;
  runStudy(
      plan,
      [&](const BoardOutcome& outcome) {
        delivered.push_back(outcome.index << 16 | outcome.outcomes[0].turns);
      },
      [](uint64_t) {});
  return delivered;
}

StudyPlan greedyPlan(uint64_t first, uint64_t count, uint32_t threads) {
  const auto solvers = std::get<std::vector<SolverChoice>>(parseSolvers({"greedy"}));
  StudyPlan plan;
  plan.supply = BoardSupply{nullptr, 42, 10, 5};
  plan.firstBoard = first;
  plan.boardCount = count;
  plan.solvers = solvers;
  plan.threads = threads;
  return plan;
}

TEST(Runner, DeliversInBoardOrderWhateverTheThreads) {
  const std::vector<uint64_t> one = run(greedyPlan(0, 700, 1));
  ASSERT_EQ(one.size(), 700u);
  for (uint64_t i = 0; i < one.size(); ++i) ASSERT_EQ(one[i] >> 16, i);
  EXPECT_EQ(run(greedyPlan(0, 700, 3)), one);
  // A later part of the sequence is the same boards as in the whole.
  const std::vector<uint64_t> part = run(greedyPlan(650, 50, 2));
  EXPECT_EQ(part, std::vector<uint64_t>(one.begin() + 650, one.end()));
}

TEST(Runner, StopDeliversAPrefixOfTheRange) {
  std::atomic<bool> stop{false};
  StudyPlan plan = greedyPlan(0, 1'000'000, 2);
  plan.stop = &stop;
  uint64_t expected = 0;
  const uint64_t delivered = runStudy(
                                 plan,
                                 [&](const BoardOutcome& outcome) {
                                   EXPECT_EQ(outcome.index, expected++);
                                   if (outcome.index == 300) stop = true;
                                 },
                                 [](uint64_t) {})
                                 .delivered;
  EXPECT_EQ(delivered, expected);
  EXPECT_GT(delivered, 300u);
  EXPECT_LT(delivered, 1'000'000u);
}

// Fewer boards than threads: the spare threads go to the boards' searches, but not under an
// expansion limit; the answers are the same.
TEST(Runner, SpareThreadsJoinTheBoardsSearches) {
  StudyPlan plan = greedyPlan(0, 1, 2);
  const auto share = [&] {
    const ThreadShare s = shareThreads(plan);
    return std::pair(s.workers, s.searchThreads);
  };
  EXPECT_EQ(share(), std::pair(1u, 2u));
  plan.boardCount = 3;
  plan.threads = 8;
  EXPECT_EQ(share(), std::pair(3u, 2u));
  plan.boardCount = 8;
  EXPECT_EQ(share(), std::pair(8u, 1u));
  plan.boardCount = 1;
  plan.limits.expansionLimit = 1000;
  EXPECT_EQ(share(), std::pair(1u, 1u));

  plan = greedyPlan(0, 2, 1);
  plan.solvers = std::get<std::vector<SolverChoice>>(parseSolvers({"exact"}));
  plan.supply = BoardSupply{nullptr, 24, 16, 6};
  const std::vector<uint64_t> alone = run(plan);
  plan.threads = 4;
  EXPECT_EQ(run(plan), alone);
}

TEST(Runner, AnswersAreCheckedByReplayingTheirMoves) {
  const auto solvers = std::get<std::vector<SolverChoice>>(parseSolvers({"greedy", "distance"}));
  const BoardColors board{3, 3, {0, 1, 1, 2, 1, 0, 2, 2, 0}};  // solved by 1, 2, 0
  const SolverChoice& greedy = solvers[0];
  const SolverChoice& distance = solvers[1];
  EXPECT_EQ(checkAnswer(board, distance, SolverOutcome{3, {1, 2, 0}}), "");
  EXPECT_EQ(
      checkAnswer(board, distance, SolverOutcome{2, {1, 2}}),
      "distance reported 2 turns, but its 2 moves do not complete the board with the last of them");
  EXPECT_EQ(
      checkAnswer(board, distance, SolverOutcome{4, {1, 2, 0, 1}}),
      "distance reported 4 turns, but its 4 moves do not complete the board with the last of them");
  EXPECT_EQ(checkAnswer(board, distance, SolverOutcome{4, {1, 2, 0}}),
            "distance reported 4 turns, but its 3 moves complete the board after 3");
  // Only the program's own count gives a board that is complete already one turn.
  const BoardColors complete{3, 2, std::vector<uint8_t>(9, 1)};
  EXPECT_EQ(checkAnswer(complete, greedy, SolverOutcome{1, {1}}), "");
  EXPECT_EQ(checkAnswer(complete, distance, SolverOutcome{0, {}}), "");
  EXPECT_NE(checkAnswer(complete, distance, SolverOutcome{1, {1}}), "");
}

TEST(Statistics, PercentilesAreNearestRankOverTheHistogram) {
  TurnStats stats;
  for (uint32_t turns : {20, 21, 21, 22, 22, 22, 23, 30, 31, 40}) addOutcome(stats, turns, 1.0);
  EXPECT_DOUBLE_EQ(meanTurns(stats), 25.2);
  EXPECT_NEAR(standardDeviation(stats), 6.443, 0.001);
  EXPECT_EQ(percentileTurns(stats, 50), 22u);
  EXPECT_EQ(percentileTurns(stats, 90), 31u);
  EXPECT_EQ(percentileTurns(stats, 99), 40u);
  EXPECT_EQ(percentileTurns(stats, 10), 20u);
}

TEST(Statistics, HistogramBinsWideRangesAndScalesBars) {
  TurnStats narrow;
  for (uint32_t turns : {5, 6, 6, 8}) addOutcome(narrow, turns, 0);
  EXPECT_EQ(formatHistogram(narrow, 40),
            "  5 1 ################\n"
            "  6 2 ################################\n"
            "  7 0 \n"
            "  8 1 ################\n");
  TurnStats wide;
  for (uint32_t turns = 100; turns < 400; ++turns) addOutcome(wide, turns, 0);
  const std::string text = formatHistogram(wide, 60);
  EXPECT_EQ(text.substr(0, text.find('\n')), "  100-109 10 " + std::string(45, '#'));
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 30);
}

}  // namespace
