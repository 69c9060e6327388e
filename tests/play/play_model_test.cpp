#include "play/play_model.h"

#include <gtest/gtest.h>

#include "solve/solver.h"
#include "study/boards.h"

namespace {

BoardColors boardOf(uint32_t side, uint32_t colorCount, std::vector<uint8_t> colors) {
  return BoardColors{side, colorCount, std::move(colors)};
}

// 0 0 1
// 2 1 1
// 2 2 3
BoardColors smallBoard() {
  return boardOf(3, 4, {0, 0, 1, 2, 1, 1, 2, 2, 3});
}

TEST(PlayModel, MovesThatJoinNothingAreIgnoredAndNotCounted) {
  PlayState state;
  startPlay(state, smallBoard());
  EXPECT_FALSE(playColor(state, 0));  // the player's own colour
  EXPECT_FALSE(playColor(state, 3));  // touches no tile of the player's region
  EXPECT_FALSE(playColor(state, 4));  // no such colour
  EXPECT_TRUE(state.moves.empty());
  EXPECT_EQ(state.current, state.start);

  EXPECT_TRUE(playColor(state, 1));
  EXPECT_EQ(state.current.colors, (std::vector<uint8_t>{1, 1, 1, 2, 1, 1, 2, 2, 3}));
  EXPECT_TRUE(playColor(state, 2));
  EXPECT_FALSE(isSolved(state.current));
  EXPECT_TRUE(playColor(state, 3));
  EXPECT_TRUE(isSolved(state.current));
  EXPECT_EQ(state.moves, (std::vector<uint8_t>{1, 2, 3}));
  // A solved board has nothing left to join.
  for (uint8_t color = 0; color < 4; ++color) EXPECT_FALSE(playColor(state, color));
  EXPECT_EQ(state.moves.size(), 3u);
}

TEST(PlayModel, TakeBackAsFarAsTheStartAndRestart) {
  PlayState state;
  startPlay(state, smallBoard());
  ASSERT_TRUE(playColor(state, 2));
  const BoardColors afterOne = state.current;
  ASSERT_TRUE(playColor(state, 1));
  ASSERT_TRUE(takeBack(state));
  EXPECT_EQ(state.current, afterOne);
  EXPECT_EQ(state.moves, (std::vector<uint8_t>{2}));
  ASSERT_TRUE(takeBack(state));
  EXPECT_EQ(state.current, state.start);
  EXPECT_FALSE(takeBack(state));
  EXPECT_TRUE(state.moves.empty());

  ASSERT_TRUE(playColor(state, 1));
  ASSERT_TRUE(playColor(state, 2));
  restart(state);
  EXPECT_EQ(state.current, state.start);
  EXPECT_TRUE(state.moves.empty());
}

TEST(PlayModel, CountedMovesCountAsTheSolversDo) {
  PlayState state;
  startPlay(state, boardOf(3, 2, std::vector<uint8_t>(9, 1)));
  EXPECT_TRUE(isSolved(state.current));
  playCounted(state, 1);  // the program's rule spends a move on a complete board
  EXPECT_EQ(state.moves.size(), 1u);
  playCounted(state, 0);  // the region takes a colour that joins nothing
  EXPECT_EQ(state.current.colors, std::vector<uint8_t>(9, 0));
  EXPECT_TRUE(takeBack(state));
  EXPECT_EQ(state.current.colors, std::vector<uint8_t>(9, 1));
  EXPECT_EQ(state.moves.size(), 1u);
}

// Whole games on seeded boards: every solver answer played through the model solves the board
// in as many moves as the plain replay counts.
TEST(PlayModel, SolverAnswersSolveSeededBoards) {
  for (uint64_t index = 0; index < 20; ++index) {
    BoardColors board;
    seededBoard(42, index, 3 + static_cast<uint32_t>(index % 12), 2 + index % 7, ColorDraw::program,
                board);
    const Solution solution = solveDistance(buildRegionGraph(board));
    PlayState state;
    startPlay(state, board);
    for (const uint8_t color : solution.moves) ASSERT_TRUE(playColor(state, color));
    EXPECT_TRUE(isSolved(state.current));
    EXPECT_EQ(replayMoves(board, state.moves), solution.moves.size());
  }
}

}  // namespace
