// The greedy game on the region graph against the engine's turns on many boards: the same
// colour on every turn and the same turn count.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "board/board.h"
#include "solve/greedy.h"
#include "tests/sample_scale.h"
#include "tests/solve/random_board.h"

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

// The board in the study's file format, to reproduce a failure with tidefill-study --from.
std::string describe(const BoardColors& board) {
  std::string text = std::to_string(board.side) + " " + std::to_string(board.colorCount) + "\n";
  for (uint32_t y = 0; y < board.side; ++y) {
    for (uint32_t x = 0; x < board.side; ++x)
      text += std::to_string(board.colors[size_t{y} * board.side + x]) +
              (x + 1 < board.side ? " " : "\n");
  }
  return text;
}

// Random boards whose tiles copy a neighbour's colour with the given chance, so that regions
// come in every size.
BoardColors clumpedBoard(std::mt19937& rng, uint32_t side, uint32_t colorCount, uint32_t clumping) {
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

// Games on one workspace and one graph, each built over the last, as a study plays them.
struct GreedyPlayer {
  Game game;
  RegionGraph graph;
  GreedyWorkspace workspace;
  GreedyGame greedy;

  void expectEnginesGame(const BoardColors& board) {
    const std::vector<uint8_t> expected = engineColors(game, board);
    buildRegionGraph(board, graph);
    playGreedy(graph, workspace, greedy);
    ASSERT_EQ(greedy.colors, expected) << describe(board);
    ASSERT_EQ(greedy.turns, expected.size()) << describe(board);
  }
};

void expectSameGames(uint32_t seed, uint32_t count, uint32_t lowSide, uint32_t highSide,
                     uint32_t lowColors, uint32_t highColors) {
  std::mt19937 rng(seed);
  GreedyPlayer player;
  for (uint32_t n = 0; n < count; ++n) {
    const uint32_t side = lowSide + rng() % (highSide - lowSide + 1);
    const uint32_t colorCount = lowColors + rng() % (highColors - lowColors + 1);
    const uint32_t clumpings[] = {0, 0, 30, 60, 90};
    const BoardColors board = clumpedBoard(rng, side, colorCount, clumpings[rng() % 5]);
    ASSERT_NO_FATAL_FAILURE(player.expectEnginesGame(board));
  }
}

TEST(Greedy, PlaysTheEnginesTurnsOnRandomBoards) {
  expectSameGames(1, 20000 / sampleDivisor, 3, 20, 2, 8);
  expectSameGames(2, 3000 / sampleDivisor, 3, 12, 2, 3);
  expectSameGames(3, 300 / sampleDivisor, 30, 64, 2, 32);
}

// Boards drawn as the program draws its own, at its default size, its largest and its smallest.
TEST(Greedy, PlaysTheEnginesTurnsOnDrawnBoards) {
  GreedyPlayer player;
  for (const auto& [side, colorCount, count] :
       {std::tuple{14u, 6u, 2000u}, std::tuple{64u, 32u, 20u}, std::tuple{3u, 2u, 200u}}) {
    for (uint32_t i = 0; i < count / sampleDivisor; ++i)
      ASSERT_NO_FATAL_FAILURE(player.expectEnginesGame(randomBoard(side, colorCount, 99 + i)));
  }
}

// solveGreedy on several threads at once, each with boards of changing sizes, plays the game a
// fresh workspace plays.
TEST(Greedy, SolveOnManyThreadsPlaysTheSameGames) {
  std::vector<BoardColors> boards;
  for (uint32_t k = 1; k <= 24; ++k) boards.push_back(randomBoard(3 + k * 7 % 40, 2 + k % 12, k));
  std::vector<std::vector<uint8_t>> expected;
  for (const BoardColors& board : boards) {
    GreedyWorkspace workspace;
    GreedyGame game;
    playGreedy(buildRegionGraph(board), workspace, game);
    expected.push_back(game.colors);
  }
  std::vector<std::vector<std::vector<uint8_t>>> played(3);
  std::vector<std::thread> threads;
  for (auto& games : played)
    threads.emplace_back([&] {
      for (const BoardColors& board : boards) {
        const Solution solution = solveGreedy(buildRegionGraph(board));
        EXPECT_FALSE(solution.proven);
        EXPECT_FALSE(solution.interrupted);
        games.push_back(solution.moves);
      }
    });
  for (std::thread& thread : threads) thread.join();
  for (const auto& games : played) EXPECT_EQ(games, expected);
}

TEST(Greedy, CompleteBoardTakesOneTurnOfItsOwnColour) {
  GreedyWorkspace workspace;
  GreedyGame greedy;
  playGreedy(buildRegionGraph({3, 4, std::vector<uint8_t>(9, 2)}), workspace, greedy);
  EXPECT_EQ(greedy.turns, 1u);
  EXPECT_EQ(greedy.colors, std::vector<uint8_t>{2});
  EXPECT_EQ(solveGreedy(buildRegionGraph({3, 4, std::vector<uint8_t>(9, 2)})).moves,
            std::vector<uint8_t>{2});
}

}  // namespace
