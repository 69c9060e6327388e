// The study's greedy game against the engine's turns on many boards: the same colour on every
// turn and the same turn count.
#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "board/board.h"
#include "study/boards.h"
#include "study/greedy.h"
#include "tests/sample_scale.h"

namespace {

// The engine's game: the colour of every turn until one reports the board complete.
std::vector<uint8_t> engineColors(Game& game, const BoardColors& board) {
  game.boardSize = board.side;
  game.colorCount = board.colorCount;
  loadBoard(game, std::vector<uint32_t>(board.colors.begin(), board.colors.end()));
  std::vector<uint8_t> colors;
  for (;;) {
    const uint32_t color = chooseColor(game);
    colors.push_back(static_cast<uint8_t>(color));
    if (applyColor(game, color)) return colors;
  }
}

std::string describe(const BoardColors& board) {
  std::ostringstream out;
  writeBoard(out, board, 0);
  return out.str();
}

// Random boards whose tiles copy a neighbour's colour with the given chance, so that regions
// come in every size.
BoardColors randomBoard(std::mt19937& rng, uint32_t side, uint32_t colorCount, uint32_t clumping) {
  BoardColors board{side, colorCount, std::vector<uint8_t>(size_t{side} * side)};
  for (uint32_t i = 0; i < board.colors.size(); ++i) {
    const bool clump = rng() % 100 < clumping;
    if (clump && i % side > 0 && rng() % 2)
      board.colors[i] = board.colors[i - 1];
    else if (clump && i >= side)
      board.colors[i] = board.colors[i - side];
    else
      board.colors[i] = static_cast<uint8_t>(rng() % colorCount);
  }
  return board;
}

void expectSameGames(uint32_t seed, uint32_t count, uint32_t minSide, uint32_t maxSide,
                     uint32_t minColors, uint32_t maxColors) {
  std::mt19937 rng(seed);
  Game game;
  GreedyWorkspace workspace;
  GreedyGame greedy;
  for (uint32_t n = 0; n < count; ++n) {
    const uint32_t side = minSide + rng() % (maxSide - minSide + 1);
    const uint32_t colorCount = minColors + rng() % (maxColors - minColors + 1);
    const uint32_t clumpings[] = {0, 0, 30, 60, 90};
    const BoardColors board = randomBoard(rng, side, colorCount, clumpings[rng() % 5]);
    const std::vector<uint8_t> expected = engineColors(game, board);
    playGreedy(board, workspace, greedy);
    ASSERT_EQ(greedy.colors, expected) << describe(board);
    ASSERT_EQ(greedy.turns, expected.size()) << describe(board);
  }
}

TEST(StudyGreedy, PlaysTheEnginesTurnsOnRandomBoards) {
  expectSameGames(1, 20000 / sampleDivisor, 3, 20, 2, 8);
  expectSameGames(2, 3000 / sampleDivisor, 3, 12, 2, 3);
  expectSameGames(3, 300 / sampleDivisor, 30, 64, 2, 32);
}

TEST(StudyGreedy, PlaysTheEnginesTurnsOnSeededBoards) {
  Game game;
  GreedyWorkspace workspace;
  GreedyGame greedy;
  BoardColors board;
  for (const auto& [side, colorCount, count] :
       {std::tuple{14u, 6u, 2000u}, std::tuple{64u, 32u, 20u}, std::tuple{3u, 2u, 200u}}) {
    for (uint64_t i = 0; i < count / sampleDivisor; ++i) {
      seededBoard(99, i, side, colorCount, board);
      const std::vector<uint8_t> expected = engineColors(game, board);
      playGreedy(board, workspace, greedy);
      ASSERT_EQ(greedy.colors, expected) << describe(board);
    }
  }
}

TEST(StudyGreedy, CompleteBoardTakesOneTurnOfItsOwnColour) {
  GreedyWorkspace workspace;
  GreedyGame greedy;
  playGreedy(BoardColors{3, 4, std::vector<uint8_t>(9, 2)}, workspace, greedy);
  EXPECT_EQ(greedy.turns, 1u);
  EXPECT_EQ(greedy.colors, std::vector<uint8_t>{2});
}

}  // namespace
