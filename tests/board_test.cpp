#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <thread>
#include <vector>

#include "board/board.h"

namespace {

using Ids = std::vector<uint32_t>;

Game game;

void useBoard(uint32_t side, uint32_t colorCount, const Ids& colors) {
  game.boardSize = side;
  game.colorCount = colorCount;
  loadBoard(game, colors);
}

Ids tileClusters() {
  Ids ids;
  for (const Tile& tile : game.board) ids.push_back(tile.cluster);
  return ids;
}

std::vector<Ids> tileNeighborSets() {
  std::vector<Ids> sets;
  for (const Tile& tile : game.board) sets.push_back(tile.neighbors.toVector());
  return sets;
}

Ids tileColors() {
  Ids colors;
  for (const Tile& tile : game.board) colors.push_back(tile.color);
  return colors;
}

// Everything a caller can read, for before/after comparisons.
struct Snapshot {
  Ids clusters;
  std::vector<Ids> neighborSets;
  Ids colors;
  Ids mapIds;
  std::vector<Cluster> entries;
  uint32_t nextId;
};

Snapshot snapshot() {
  Snapshot s{tileClusters(),    tileNeighborSets(), tileColors(), game.clusterMap.ids(), {},
             game.nextClusterId};
  for (uint32_t id : s.mapIds) s.entries.push_back(*findCluster(game, id));
  return s;
}

void expectSame(const Snapshot& a, const Snapshot& b) {
  EXPECT_EQ(a.clusters, b.clusters);
  EXPECT_EQ(a.neighborSets, b.neighborSets);
  EXPECT_EQ(a.colors, b.colors);
  EXPECT_EQ(a.mapIds, b.mapIds);
  EXPECT_EQ(a.nextId, b.nextId);
  ASSERT_EQ(a.entries.size(), b.entries.size());
  for (size_t i = 0; i < a.entries.size(); ++i) {
    EXPECT_EQ(a.entries[i].color, b.entries[i].color) << "cluster " << a.mapIds[i];
    EXPECT_EQ(a.entries[i].tiles, b.entries[i].tiles) << "cluster " << a.mapIds[i];
    EXPECT_EQ(a.entries[i].neighbors, b.entries[i].neighbors) << "cluster " << a.mapIds[i];
  }
}

void expectCluster(uint32_t id, uint32_t color, const Ids& tiles, const Ids& neighbors) {
  const Cluster* cluster = findCluster(game, id);
  ASSERT_NE(cluster, nullptr) << "cluster " << id;
  EXPECT_EQ(cluster->color, color) << "cluster " << id;
  EXPECT_EQ(cluster->tiles, tiles) << "cluster " << id;
  EXPECT_EQ(cluster->neighbors, neighbors) << "cluster " << id;
}

// 0 1 1 / 2 1 0 / 2 2 0, rows from the top. The two flavours play the same turns; the second
// makes every move go through the full relabelling by refreshing before it.
class WorkedExample : public testing::TestWithParam<bool> {
 protected:
  void SetUp() override { useBoard(3, 3, {0, 1, 1, 2, 1, 0, 2, 2, 0}); }
  bool turn() {
    if (GetParam()) refreshNeighbors(game);
    return solveStep(game);
  }
  bool move(uint32_t color) {
    if (GetParam()) refreshNeighbors(game);
    return applyColor(game, color);
  }
};

INSTANTIATE_TEST_SUITE_P(Moves, WorkedExample, testing::Values(false, true), [](const auto& info) {
  return info.param ? "Relabelled" : "Incremental";
});

TEST_P(WorkedExample, LabellingGivesIdsInRowOrderAndSideNeighbourLists) {
  EXPECT_EQ(tileClusters(), (Ids{1, 2, 2, 3, 2, 4, 3, 3, 4}));
  EXPECT_EQ(tileNeighborSets(),
            (std::vector<Ids>{{2, 3}, {1}, {4}, {1, 2}, {3, 4}, {2}, {}, {2, 4}, {3}}));
  EXPECT_EQ(game.nextClusterId, 5u);
  EXPECT_EQ(game.clusterMap.ids(), (Ids{1, 2, 3, 4}));
  expectCluster(1, 0, {0}, {2, 3});
  expectCluster(2, 1, {1, 2, 4}, {1, 3, 4});
  expectCluster(3, 2, {3, 6, 7}, {1, 2, 4});
  expectCluster(4, 0, {5, 8}, {2, 3});
}

TEST_P(WorkedExample, FirstMoveAbsorbsTheRegionOfItsColourAndKeepsItsEntry) {
  EXPECT_FALSE(move(1));
  EXPECT_EQ(tileClusters(), (Ids{1, 1, 1, 3, 1, 4, 3, 3, 4}));
  // Tile 3 keeps the absorbed id 2: its recorded colour 1 is not the tile's colour 2.
  EXPECT_EQ(tileNeighborSets(),
            (std::vector<Ids>{{3}, {}, {4}, {1, 2}, {3, 4}, {1, 2}, {}, {1, 2, 4}, {3}}));
  EXPECT_EQ(mainCluster(game).tiles, (Ids{0, 1, 2, 4}));
  EXPECT_EQ(mainCluster(game).color, 1u);
  EXPECT_EQ(game.clusterMap.size(), 4u);
  EXPECT_EQ(game.nextClusterId, 5u);
  expectCluster(2, 1, {1, 2, 4}, {3, 4});
  EXPECT_EQ(findCluster(game, 0), nullptr);
  EXPECT_EQ(findCluster(game, 5), nullptr);
}

TEST_P(WorkedExample, GreedyTurnsSolveInThreeAndKeepAbsorbedEntries) {
  EXPECT_EQ(chooseColor(game), 1u);  // 2 and 3 tie at 3; 2 is met first
  EXPECT_FALSE(turn());
  EXPECT_EQ(mainCluster(game).tiles, (Ids{0, 1, 2, 4}));

  EXPECT_EQ(chooseColor(game), 2u);  // 3 and 4 tie at 3
  EXPECT_FALSE(turn());
  EXPECT_EQ(mainCluster(game).tiles, (Ids{0, 1, 2, 3, 4, 6, 7}));
  EXPECT_EQ(game.board[3].neighbors.toVector(), (Ids{2}));
  EXPECT_EQ(game.board[7].neighbors.toVector(), (Ids{2, 4}));

  EXPECT_EQ(chooseColor(game), 0u);  // 4 scores 3, the absorbed 2 scores 1
  EXPECT_TRUE(turn());
  EXPECT_EQ(tileClusters(), Ids(9, 1));
  EXPECT_EQ(tileColors(), Ids(9, 0));
  EXPECT_EQ(game.clusterMap.ids(), (Ids{1, 2, 3, 4}));
  expectCluster(1, 0, {0, 1, 2, 3, 4, 5, 6, 7, 8}, {2, 3});
  expectCluster(2, 1, {1, 2, 4}, {});
  expectCluster(3, 2, {3, 6, 7}, {2});
  expectCluster(4, 0, {5, 8}, {2, 3});
}

TEST_P(WorkedExample, TurnsOnTheCompletedBoardUseListedIdsThenTheLastCluster) {
  for (int i = 0; i < 3; ++i) turn();
  // Absorbed 3 (score 1) beats absorbed 2 (score 0); each turn drops the id it applied.
  EXPECT_EQ(chooseColor(game), 2u);
  EXPECT_TRUE(turn());
  EXPECT_EQ(tileColors(), Ids(9, 2));
  EXPECT_EQ(mainCluster(game).neighbors, (Ids{2}));
  EXPECT_EQ(chooseColor(game), 1u);
  EXPECT_TRUE(turn());
  EXPECT_TRUE(mainCluster(game).neighbors.empty());
  // Nothing listed: the colour of the cluster whose id is the entry count (4, colour 0).
  EXPECT_EQ(chooseColor(game), 0u);
  EXPECT_TRUE(turn());
  EXPECT_EQ(tileColors(), Ids(9, 0));
  EXPECT_EQ(game.clusterMap.size(), 4u);
}

TEST_P(WorkedExample, MoveMatchingNoNeighbourOnlyPrunesTheRegionsLists) {
  turn();
  turn();
  // The region is colour 2 and touches only cluster 4 (colour 0); colour 1 is the absorbed 2's.
  EXPECT_FALSE(move(1));
  EXPECT_EQ(mainCluster(game).tiles, (Ids{0, 1, 2, 3, 4, 6, 7}));
  EXPECT_EQ(tileColors(), (Ids{1, 1, 1, 1, 1, 0, 1, 1, 0}));
  EXPECT_EQ(tileNeighborSets(), (std::vector<Ids>{{}, {}, {4}, {}, {4}, {1, 2}, {}, {4}, {1, 3}}));
  expectCluster(1, 1, {0, 1, 2, 3, 4, 6, 7}, {4});
  expectCluster(2, 1, {1, 2, 4}, {4});
  expectCluster(3, 2, {3, 6, 7}, {4});
  expectCluster(4, 0, {5, 8}, {1, 2, 3});
  // The pruned id is no candidate any more: only 4 is left.
  EXPECT_EQ(chooseColor(game), 0u);
  EXPECT_TRUE(turn());
}

TEST(Labelling, OneColourBoardIsOneClusterAndAlreadyComplete) {
  useBoard(3, 4, Ids(9, 2));
  EXPECT_EQ(tileClusters(), Ids(9, 1));
  EXPECT_EQ(tileNeighborSets(), std::vector<Ids>(9));
  EXPECT_EQ(game.nextClusterId, 2u);
  expectCluster(1, 2, {0, 1, 2, 3, 4, 5, 6, 7, 8}, {});
  // No candidate: the last cluster opened is the region itself, so the turn keeps colour 2.
  EXPECT_EQ(chooseColor(game), 2u);
  const Snapshot before = snapshot();
  EXPECT_TRUE(solveStep(game));
  expectSame(before, snapshot());
}

TEST(Labelling, CheckerboardGivesEveryTileItsOwnCluster) {
  Ids colors;
  for (uint32_t i = 0; i < 16; ++i) colors.push_back((i % 4 + i / 4) % 2);
  useBoard(4, 2, colors);
  for (uint32_t i = 0; i < 16; ++i) EXPECT_EQ(game.board[i].cluster, i + 1);
  EXPECT_EQ(game.nextClusterId, 17u);
  EXPECT_EQ(game.board[0].neighbors.toVector(), (Ids{2, 5}));         // corner
  EXPECT_EQ(game.board[4].neighbors.toVector(), (Ids{1, 6, 9}));      // left edge
  EXPECT_EQ(game.board[7].neighbors.toVector(), (Ids{4, 7, 12}));     // right edge
  EXPECT_EQ(game.board[5].neighbors.toVector(), (Ids{2, 5, 7, 10}));  // interior
  expectCluster(6, 0, {5}, {2, 5, 7, 10});

  // With two colours every touching cluster has the other colour, so each turn takes them all.
  EXPECT_FALSE(solveStep(game));
  EXPECT_EQ(mainCluster(game).tiles, (Ids{0, 1, 4}));
  EXPECT_FALSE(solveStep(game));
  EXPECT_EQ(mainCluster(game).tiles, (Ids{0, 1, 2, 4, 5, 8}));
  // One anti-diagonal per turn: seven of them, the first held from the start.
  for (int turn = 3; turn <= 5; ++turn) EXPECT_FALSE(solveStep(game)) << "turn " << turn;
  EXPECT_TRUE(solveStep(game));
}

TEST(Labelling, RowsDoNotWrapAtTheBoardEdge) {
  // Tiles 2 and 3, and tiles 5 and 6, have the same colour and consecutive indices.
  useBoard(3, 3, {0, 1, 2, 2, 1, 0, 0, 1, 2});
  EXPECT_EQ(tileClusters(), (Ids{1, 2, 3, 4, 2, 5, 6, 2, 7}));
  EXPECT_EQ(game.board[2].neighbors.toVector(), (Ids{2, 5}));
  EXPECT_EQ(game.board[3].neighbors.toVector(), (Ids{1, 2, 6}));
  EXPECT_EQ(game.board[5].neighbors.toVector(), (Ids{2, 3, 7}));
  EXPECT_EQ(game.board[6].neighbors.toVector(), (Ids{2, 4}));
}

TEST(Labelling, LabellingAgainChangesNothing) {
  std::mt19937 rng(7);
  Ids colors(12 * 12);
  for (uint32_t& color : colors) color = rng() % 3;
  useBoard(12, 3, colors);
  const Snapshot fresh = snapshot();
  for (uint32_t y = 0; y < 12; ++y)
    for (uint32_t x = 0; x < 12; ++x) labelRegion(game, x, y);
  refreshNeighbors(game);
  expectSame(fresh, snapshot());
}

TEST(Labelling, GeneratedBoardsHoldEveryTileInExactlyOneLiveCluster) {
  game.boardSize = 20;
  game.colorCount = 5;
  generateBoard(game);
  generateBoard(game);  // nothing of the first game.board may survive
  ASSERT_EQ(game.board.size(), 400u);
  EXPECT_EQ(game.clusterMap.ids().front(), 1u);
  EXPECT_EQ(game.clusterMap.size() + 1, game.nextClusterId);
  std::vector<int> owners(game.board.size(), 0);
  for (uint32_t id : game.clusterMap.ids())
    for (uint32_t t : findCluster(game, id)->tiles) {
      ++owners[t];
      EXPECT_EQ(game.board[t].cluster, id);
      EXPECT_EQ(game.board[t].color, findCluster(game, id)->color);
    }
  for (size_t t = 0; t < game.board.size(); ++t) {
    EXPECT_EQ(owners[t], 1) << "tile " << t;
    EXPECT_LT(game.board[t].color, 5u) << "tile " << t;
  }
}

TEST(Turn, EqualScoresKeepTheCandidateMetFirstWhateverItsId) {
  // 2 2 1 / 0 0 0 / 0 0 0: tile 0 lists 3 (colour 0) before tile 1 lists 2 (colour 1), both
  // score 2.
  useBoard(3, 3, {2, 2, 1, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(game.board[0].neighbors.toVector(), (Ids{3}));
  EXPECT_EQ(game.board[1].neighbors.toVector(), (Ids{2, 3}));
  EXPECT_EQ(findCluster(game, 2)->neighbors.size(), findCluster(game, 3)->neighbors.size());
  EXPECT_EQ(chooseColor(game), 0u);
  EXPECT_FALSE(solveStep(game));
  EXPECT_EQ(mainCluster(game).tiles, (Ids{0, 1, 3, 4, 5, 6, 7, 8}));
}

TEST(Turn, OnlyAStrictlyHigherScoreReplacesTheChoice) {
  // 2 2 1 / 1 0 0 / 0 0 0: candidates 3 (score 2, colour 1), 2 (2, colour 1), 4 (3, colour 0).
  useBoard(3, 3, {2, 2, 1, 1, 0, 0, 0, 0, 0});
  EXPECT_EQ(chooseColor(game), 0u);
  EXPECT_FALSE(solveStep(game));
  // Both clusters of colour 1 are left; the next turn takes them together.
  EXPECT_EQ(mainCluster(game).tiles, (Ids{0, 1, 4, 5, 6, 7, 8}));
  EXPECT_EQ(chooseColor(game), 1u);
  EXPECT_TRUE(solveStep(game));
}

TEST(Turn, CompletedBoardWithNothingListedTakesTheLastClustersColour) {
  // 2 1 0 / 0 0 0 / 0 0 0: solved in two turns, then the absorbed 2 is still listed once.
  useBoard(3, 3, {2, 1, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_FALSE(solveStep(game));
  EXPECT_TRUE(solveStep(game));
  EXPECT_EQ(mainCluster(game).neighbors, (Ids{2}));
  EXPECT_EQ(chooseColor(game), 1u);
  EXPECT_TRUE(solveStep(game));
  EXPECT_TRUE(mainCluster(game).neighbors.empty());
  // The region is colour 1; cluster 3 (the entry count) was recorded with colour 0.
  EXPECT_EQ(chooseColor(game), 0u);
  EXPECT_TRUE(solveStep(game));
  EXPECT_EQ(tileColors(), Ids(9, 0));
  EXPECT_EQ(tileClusters(), Ids(9, 1));
}

TEST(Turn, AbsorbedClusterIsStillFoundWithItsRecordedState) {
  useBoard(3, 3, {0, 1, 1, 2, 1, 0, 2, 2, 0});
  solveStep(game);
  const Cluster* absorbed = findCluster(game, 2);
  ASSERT_NE(absorbed, nullptr);
  EXPECT_EQ(absorbed->color, 1u);
  EXPECT_EQ(absorbed->tiles, (Ids{1, 2, 4}));
  for (const Tile& tile : game.board) EXPECT_NE(tile.cluster, 2u);
}

// Turn counts and final colours of a list of boards, each played to completion in `player`.
std::vector<Ids> playAll(Game& player, uint32_t side, const std::vector<Ids>& boards) {
  std::vector<Ids> results;
  player.boardSize = side;
  player.colorCount = 5;
  for (const Ids& colors : boards) {
    loadBoard(player, colors);
    uint32_t turns = 1;
    while (!solveStep(player)) ++turns;
    Ids result{turns};
    for (const Tile& tile : player.board) result.push_back(tile.color);
    results.push_back(result);
  }
  return results;
}

TEST(Games, AreIndependentValuesThatThreadsCanPlayAtOnce) {
  std::mt19937 rng(11);
  std::vector<Ids> small(40, Ids(10 * 10)), large(10, Ids(30 * 30));
  for (auto* set : {&small, &large})
    for (Ids& colors : *set)
      for (uint32_t& color : colors) color = rng() % 5;
  Game alone;
  const std::vector<Ids> smallAlone = playAll(alone, 10, small);
  const std::vector<Ids> largeAlone = playAll(alone, 30, large);

  Game first, second;
  std::vector<Ids> smallThreaded, largeThreaded;
  std::thread one([&] { smallThreaded = playAll(first, 10, small); });
  std::thread two([&] { largeThreaded = playAll(second, 30, large); });
  one.join();
  two.join();
  EXPECT_EQ(smallThreaded, smallAlone);
  EXPECT_EQ(largeThreaded, largeAlone);

  // A copy plays on from where the original stood, leaving the original as it was.
  loadBoard(first, small[0]);
  solveStep(first);
  Game copy = first;
  while (!solveStep(copy)) {
  }
  EXPECT_EQ(mainCluster(copy).tiles.size(), 100u);
  EXPECT_LT(mainCluster(first).tiles.size(), 100u);
}

}  // namespace
