// The engine played against the plain model of the rules on many random boards: after every
// turn everything a caller can read must be identical.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "board/board.h"
#include "tests/model/plain_model.h"
#include "tests/sample_scale.h"

namespace {

using Ids = std::vector<uint32_t>;

Game game;  // the engine's side; the model keeps its own process-wide state

Ids toIds(const std::set<uint32_t>& set) {
  return {set.begin(), set.end()};
}

std::string describe(const Ids& ids) {
  std::ostringstream out;
  out << "{";
  for (size_t i = 0; i < ids.size(); ++i) out << (i ? " " : "") << ids[i];
  out << "}";
  return out.str();
}

// The first difference between engine and model, or "" when they agree on everything.
std::string firstDifference() {
  std::ostringstream out;
  if (game.board.size() != plain::board.size()) {
    out << "tile count " << game.board.size() << " vs " << plain::board.size();
    return out.str();
  }
  if (game.nextClusterId != plain::nextClusterId) {
    out << "nextClusterId " << game.nextClusterId << " vs " << plain::nextClusterId;
    return out.str();
  }
  for (size_t t = 0; t < game.board.size(); ++t) {
    const Tile& mine = game.board[t];
    const plain::Tile& literal = plain::board[t];
    const Ids neighbors = toIds(literal.neighbors);
    if (mine.color != literal.color || mine.cluster != literal.cluster ||
        mine.neighbors.toVector() != neighbors) {
      out << "tile " << t << ": colour " << mine.color << " vs " << literal.color << ", cluster "
          << mine.cluster << " vs " << literal.cluster << ", neighbours "
          << describe(mine.neighbors.toVector()) << " vs " << describe(neighbors);
      return out.str();
    }
  }
  Ids literalIds;
  for (const auto& entry : plain::clusterMap) literalIds.push_back(entry.first);
  if (game.clusterMap.ids() != literalIds) {
    out << "cluster ids " << describe(game.clusterMap.ids()) << " vs " << describe(literalIds);
    return out.str();
  }
  for (const auto& [id, literal] : plain::clusterMap) {
    const Cluster& mine = *findCluster(game, id);
    if (mine.color != literal.color || mine.tiles != toIds(literal.tiles) ||
        mine.neighbors != toIds(literal.neighbors)) {
      out << "cluster " << id << ": colour " << mine.color << " vs " << literal.color << ", tiles "
          << describe(mine.tiles) << " vs " << describe(toIds(literal.tiles)) << ", neighbours "
          << describe(mine.neighbors) << " vs " << describe(toIds(literal.neighbors));
      return out.str();
    }
  }
  return "";
}

// What happens between turns besides the turn itself.
enum class Interlude {
  none,          // greedy turns only: the engine's incremental move throughout
  refresh,       // a refresh before every turn: the engine's full relabelling
  relabelAll,    // from time to time every tile labelled again, then a refresh
  randomColors,  // a move of a random colour instead of some greedy turns
};

struct Sample {
  uint32_t seed;
  int32_t side;
  int32_t colorCount;
  Interlude interlude;
  int clumping;  // percent of tiles that copy their left or upper neighbour's colour
};

std::string describe(const Sample& sample, const Ids& colors) {
  std::ostringstream out;
  out << "seed " << sample.seed << ", side " << sample.side << ", colours " << sample.colorCount
      << ", interlude " << static_cast<int>(sample.interlude) << ", clumping " << sample.clumping
      << "\nboard:";
  for (size_t i = 0; i < colors.size(); ++i)
    out << (i % static_cast<size_t>(sample.side) ? " " : "\n  ") << colors[i];
  return out.str();
}

Ids randomColors(const Sample& sample, std::mt19937& rng) {
  const uint32_t side = static_cast<uint32_t>(sample.side);
  Ids colors(static_cast<size_t>(side) * side);
  for (uint32_t i = 0; i < colors.size(); ++i) {
    const bool clump = static_cast<int>(rng() % 100) < sample.clumping;
    if (clump && i % side > 0 && rng() % 2)
      colors[i] = colors[i - 1];
    else if (clump && i >= side)
      colors[i] = colors[i - side];
    else
      colors[i] = rng() % static_cast<uint32_t>(sample.colorCount);
  }
  return colors;
}

void relabelBoth() {
  const uint32_t side = static_cast<uint32_t>(game.boardSize);
  for (uint32_t y = 0; y < side; ++y)
    for (uint32_t x = 0; x < side; ++x) {
      labelRegion(game, x, y);
      plain::labelRegion(x, y);
    }
  refreshNeighbors(game);
  plain::refreshNeighbors();
}

// Loads the colours into both, plays to completion and a few turns past it, and stops at the
// first difference. Returns the number of turns played.
int playBoth(const Sample& sample, const Ids& colors, std::mt19937& rng) {
  game.boardSize = plain::boardSize = static_cast<uint32_t>(sample.side);
  game.colorCount = plain::colorCount = static_cast<uint32_t>(sample.colorCount);
  loadBoard(game, colors);
  plain::loadBoard(colors);
  std::string difference = firstDifference();
  EXPECT_EQ(difference, "") << "after labelling\n" << describe(sample, colors);
  if (!difference.empty()) return 0;

  const int tileCount = sample.side * sample.side;
  const int turnLimit = 2 * tileCount + 10;
  int extraTurns = 0;
  int turn = 1;
  for (; turn <= turnLimit && extraTurns < 3; ++turn) {
    if (sample.interlude == Interlude::refresh) {
      refreshNeighbors(game);
      plain::refreshNeighbors();
    } else if (sample.interlude == Interlude::relabelAll && rng() % 4 == 0) {
      relabelBoth();
    }
    bool complete = false;
    bool literalComplete = false;
    if (sample.interlude == Interlude::randomColors && rng() % 2) {
      const uint32_t color = rng() % static_cast<uint32_t>(sample.colorCount);
      complete = applyColor(game, color);
      literalComplete = plain::applyColor(color);
    } else {
      const uint32_t chosen = chooseColor(game);
      const uint32_t literalChosen = plain::chooseColor();
      EXPECT_EQ(chosen, literalChosen) << "turn " << turn << "\n" << describe(sample, colors);
      if (chosen != literalChosen) return turn;
      complete = solveStep(game);
      literalComplete = plain::solveStep();
    }
    difference = firstDifference();
    EXPECT_EQ(difference, "") << "after turn " << turn << "\n" << describe(sample, colors);
    EXPECT_EQ(complete, literalComplete) << "turn " << turn << "\n" << describe(sample, colors);
    if (!difference.empty() || complete != literalComplete) return turn;
    if (complete) ++extraTurns;
  }
  if (sample.interlude != Interlude::randomColors) {
    EXPECT_EQ(extraTurns, 3) << "not complete after " << turnLimit << " turns\n"
                             << describe(sample, colors);
  }
  return turn;
}

void playMany(uint32_t firstSeed, uint32_t count, int32_t minSide, int32_t maxSide,
              int32_t minColors, int32_t maxColors, Interlude interlude) {
  for (uint32_t n = 0; n < count; ++n) {
    const uint32_t seed = firstSeed + n;
    std::mt19937 rng(seed);
    Sample sample{seed, 0, 0, interlude, 0};
    sample.side =
        minSide + static_cast<int32_t>(rng() % static_cast<uint32_t>(maxSide - minSide + 1));
    sample.colorCount =
        minColors + static_cast<int32_t>(rng() % static_cast<uint32_t>(maxColors - minColors + 1));
    const int clumpings[] = {0, 0, 30, 60, 85};
    sample.clumping = clumpings[rng() % 5];
    const Ids colors = randomColors(sample, rng);
    playBoth(sample, colors, rng);
    if (testing::Test::HasFailure()) return;
  }
}

TEST(Differential, GreedyGamesOnRandomBoards) {
  playMany(1000, 2400 / sampleDivisor, 3, 24, 2, 10, Interlude::none);
}

TEST(Differential, BoardsWithVeryFewColours) {
  playMany(20000, 400 / sampleDivisor, 3, 16, 2, 3, Interlude::none);
  // One colour only: complete at once, every turn takes the last cluster's colour.
  for (int32_t side : {3, 4, 9}) {
    std::mt19937 rng(0);
    playBoth(Sample{0, side, 2, Interlude::none, 0}, Ids(static_cast<size_t>(side * side), 1), rng);
  }
}

TEST(Differential, GamesThroughTheFullRelabelling) {
  playMany(30000, 300 / sampleDivisor, 3, 20, 2, 10, Interlude::refresh);
}

TEST(Differential, GamesWithTilesLabelledAgain) {
  playMany(40000, 200 / sampleDivisor, 3, 16, 2, 8, Interlude::relabelAll);
}

TEST(Differential, GamesWithMovesOfAnyColour) {
  playMany(50000, 600 / sampleDivisor, 3, 20, 2, 10, Interlude::randomColors);
}

TEST(Differential, LargeBoards) {
  playMany(60000, 8 / sampleDivisor + 1, 40, 40, 3, 8, Interlude::none);
  playMany(61000, 2, 40, 40, 3, 8, Interlude::randomColors);
}

TEST(Differential, GeneratedBoardsAtFullSize) {
  // The engine's own generation at the largest settings, then the same colours in the model.
  const int32_t side = sampleDivisor == 1 ? 64 : 32;
  game.boardSize = plain::boardSize = static_cast<uint32_t>(side);
  game.colorCount = plain::colorCount = 32;
  generateBoard(game);
  Ids colors;
  for (const Tile& tile : game.board) colors.push_back(tile.color);
  plain::loadBoard(colors);
  const Sample sample{0, side, 32, Interlude::none, 0};
  ASSERT_EQ(firstDifference(), "") << "after generation\n" << describe(sample, colors);
  std::mt19937 rng(0);
  playBoth(sample, colors, rng);
}

}  // namespace
