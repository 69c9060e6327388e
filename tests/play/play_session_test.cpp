#include "play/play_session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "solve/region_graph.h"
#include "study/boards.h"

namespace {

PlayOptions parsed(std::vector<const char*> words) {
  words.insert(words.begin(), "tidefill-play");
  auto result = parsePlayOptions(static_cast<int>(words.size()), words.data());
  EXPECT_TRUE(std::holds_alternative<PlayOptions>(result));
  return std::get<PlayOptions>(result);
}

// The session's lines as the terminal gets them, with the searches on their worker thread.
class SessionLines {
 public:
  explicit SessionLines(const PlayOptions& options, BoardSource source)
      : session(options, std::move(source), out, [] {}) {}

  // Updates until the output holds `text` after what the last wait found, for at most 20
  // seconds.
  void waitFor(const std::string& text) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    size_t found;
    while ((found = out.str().find(text, cursor)) == std::string::npos) {
      ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "no " << text << " in\n"
                                                            << out.str();
      session.update(Clock::now());
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    cursor = found + text.size();
  }

  size_t cursor = 0;
  std::ostringstream out;
  PlaySession session;
};

BoardSource seeded(uint64_t seed, uint32_t side, uint32_t colorCount) {
  BoardSource source;
  source.seed = seed;
  source.side = side;
  source.colorCount = colorCount;
  return source;
}

TEST(PlaySession, OptimalPlayWithHintsReachesTheOptimum) {
  PlayOptions options;
  options.firstBoard = 5;
  SessionLines lines(options, seeded(2026, 8, 4));
  lines.session.begin();
  BoardColors board;
  seededBoard(2026, 5, 8, 4, ColorDraw::program, board);
  EXPECT_EQ(lines.session.state().start, board);
  lines.waitFor("Board 5 of seed 2026: 8x8, 4 colours\n");
  const Solution optimum = solveExact(buildRegionGraph(board));
  ASSERT_TRUE(optimum.proven);
  const std::string optimumText = std::to_string(optimum.moves.size());
  lines.waitFor("Best from here after move 0: " + optimumText + "\n");

  // Following every hint solves the board in the optimum's moves.
  for (size_t move = 1; !isSolved(lines.session.state().current); ++move) {
    ASSERT_LE(move, optimum.moves.size());
    lines.session.askHint();
    lines.waitFor("Hint: colour ");
    const std::optional<uint32_t> hint = lines.session.hintColor();
    ASSERT_TRUE(hint);
    lines.session.pressColor(*hint);
    EXPECT_FALSE(lines.session.hintColor());  // a hint is for the position it was asked in
    lines.waitFor("Move " + std::to_string(move) + ": colour " + std::to_string(*hint) + "\n");
    lines.waitFor("Best from here after move " + std::to_string(move) + ": " +
                  std::to_string(optimum.moves.size() - move) + "\n");
  }
  SolverOutcome greedy;
  runSolver(std::get<std::vector<SolverChoice>>(parseSolvers({"greedy"})).front(),
            buildRegionGraph(board), 0, {}, greedy);
  lines.waitFor("Solved board 5 in " + optimumText + " moves; the optimum is " + optimumText +
                "; the program's rule takes " + std::to_string(greedy.turns) + ".\n");
}

TEST(PlaySession, IgnoredMovesTakeBackRestartAndNextBoard) {
  SessionLines lines(PlayOptions{}, seeded(7, 6, 3));
  lines.session.begin();
  lines.waitFor("Best from here after move 0: ");
  const uint8_t own = playerColor(lines.session.state().current);
  lines.session.pressColor(own);  // joins nothing
  lines.session.pressColor(3);    // no such colour
  lines.session.takeBackMove();   // nothing to take back
  EXPECT_TRUE(lines.session.state().moves.empty());
  EXPECT_EQ(lines.out.str().find("Move "), std::string::npos);
  EXPECT_EQ(lines.out.str().find("Back to"), std::string::npos);

  const uint8_t other = own == 0 ? 1 : 0;
  const uint8_t third = 3 - own - other;
  lines.session.pressColor(other);
  lines.session.pressColor(third);
  const size_t played = lines.session.state().moves.size();
  ASSERT_GE(played, 1u);
  lines.session.takeBackMove();
  lines.waitFor("Back to move " + std::to_string(played - 1) + "\n");
  lines.session.restartBoard();
  lines.waitFor("Restart\n");
  EXPECT_EQ(lines.session.state().current, lines.session.state().start);
  lines.session.nextBoard();
  lines.waitFor("Board 1 of seed 7: 6x6, 3 colours\n");
  BoardColors next;
  seededBoard(7, 1, 6, 3, ColorDraw::program, next);
  EXPECT_EQ(lines.session.state().start, next);
}

TEST(PlaySession, WatchedSolverPlaysItsMovesAsTheStudyCountsThem) {
  PlayOptions options = parsed({"--watch", "greedy", "--pause", "1"});
  SessionLines lines(options, seeded(11, 10, 5));
  lines.session.begin();
  BoardColors board;
  seededBoard(11, 0, 10, 5, ColorDraw::program, board);
  SolverOutcome greedy;
  runSolver(*options.watch, buildRegionGraph(board), 0, {}, greedy);
  lines.waitFor("Solved board 0 in " + std::to_string(greedy.turns) + " moves;");
  EXPECT_EQ(lines.session.state().moves, greedy.moves);
  lines.session.pressColor(0);  // the person only watches
  EXPECT_EQ(lines.session.state().moves, greedy.moves);
}

// A search whose position has been left is stopped, so the position in hand is answered at once
// even while a search that would take many seconds was running.
TEST(Analyst, StopsTheSearchOfAPositionLeft) {
  BoardColors hard;
  seededBoard(3, 0, 24, 10, ColorDraw::program,
              hard);  // runs to any time limit; at 64 x 64 the memory runs out first
  const BoardColors solved{3, 2, std::vector<uint8_t>(9, 1)};
  Analyst analyst(60, [] {});
  analyst.newBoard(hard);
  analyst.setPosition({}, hard);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const auto asked = std::chrono::steady_clock::now();
  analyst.setPosition({1}, solved);
  while (!analyst.lookup({1})) {
    ASSERT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(analyst.lookup({1})->best, 0u);
  EXPECT_FALSE(analyst.lookup({}));  // stopped, so no answer for it
}

TEST(PlaySession, UnprovenSearchesGiveBounds) {
  PositionAnalysis analysis{21, 18, false, 2};
  EXPECT_EQ(movesText(analysis), "between 18 and 21");
  analysis.proven = true;
  analysis.bound = 21;
  EXPECT_EQ(movesText(analysis), "21");
}

}  // namespace
