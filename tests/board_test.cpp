#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "board/board.h"

namespace {

using Ids = std::vector<uint32_t>;

void useBoard(int32_t side, int32_t colorCount, const Ids& colors) {
  settings.boardSize = side;
  settings.colorCount = colorCount;
  loadBoard(colors);
}

Ids tileClusters() {
  Ids ids;
  for (const Tile& tile : board) ids.push_back(tile.cluster);
  return ids;
}

std::vector<Ids> tileNeighborSets() {
  std::vector<Ids> sets;
  for (const Tile& tile : board) sets.push_back(tile.neighbors.toVector());
  return sets;
}

Ids tileColors() {
  Ids colors;
  for (const Tile& tile : board) colors.push_back(tile.color);
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
  Snapshot s{tileClusters(), tileNeighborSets(), tileColors(), clusterMap.ids(), {}, nextClusterId};
  for (uint32_t id : s.mapIds) s.entries.push_back(*findCluster(id));
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
  const Cluster* cluster = findCluster(id);
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
    if (GetParam()) refreshNeighbors();
    return solveStep();
  }
  bool move(uint32_t color) {
    if (GetParam()) refreshNeighbors();
    return applyColor(color);
  }
};

INSTANTIATE_TEST_SUITE_P(Moves, WorkedExample, testing::Values(false, true), [](const auto& info) {
  return info.param ? "Relabelled" : "Incremental";
});

TEST_P(WorkedExample, LabellingGivesIdsInRowOrderAndSideNeighbourLists) {
  EXPECT_EQ(tileClusters(), (Ids{1, 2, 2, 3, 2, 4, 3, 3, 4}));
  EXPECT_EQ(tileNeighborSets(),
            (std::vector<Ids>{{2, 3}, {1}, {4}, {1, 2}, {3, 4}, {2}, {}, {2, 4}, {3}}));
  EXPECT_EQ(nextClusterId, 5u);
  EXPECT_EQ(clusterMap.ids(), (Ids{1, 2, 3, 4}));
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
  EXPECT_EQ(mainCluster().tiles, (Ids{0, 1, 2, 4}));
  EXPECT_EQ(mainCluster().color, 1u);
  EXPECT_EQ(clusterMap.size(), 4u);
  EXPECT_EQ(nextClusterId, 5u);
  expectCluster(2, 1, {1, 2, 4}, {3, 4});
  EXPECT_EQ(findCluster(0), nullptr);
  EXPECT_EQ(findCluster(5), nullptr);
}

TEST_P(WorkedExample, GreedyTurnsSolveInThreeAndKeepAbsorbedEntries) {
  EXPECT_EQ(chooseColor(), 1u);  // 2 and 3 tie at 3; 2 is met first
  EXPECT_FALSE(turn());
  EXPECT_EQ(mainCluster().tiles, (Ids{0, 1, 2, 4}));

  EXPECT_EQ(chooseColor(), 2u);  // 3 and 4 tie at 3
  EXPECT_FALSE(turn());
  EXPECT_EQ(mainCluster().tiles, (Ids{0, 1, 2, 3, 4, 6, 7}));
  EXPECT_EQ(board[3].neighbors.toVector(), (Ids{2}));
  EXPECT_EQ(board[7].neighbors.toVector(), (Ids{2, 4}));

  EXPECT_EQ(chooseColor(), 0u);  // 4 scores 3, the absorbed 2 scores 1
  EXPECT_TRUE(turn());
  EXPECT_EQ(tileClusters(), Ids(9, 1));
  EXPECT_EQ(tileColors(), Ids(9, 0));
  EXPECT_EQ(clusterMap.ids(), (Ids{1, 2, 3, 4}));
  expectCluster(1, 0, {0, 1, 2, 3, 4, 5, 6, 7, 8}, {2, 3});
  expectCluster(2, 1, {1, 2, 4}, {});
  expectCluster(3, 2, {3, 6, 7}, {2});
  expectCluster(4, 0, {5, 8}, {2, 3});
}

TEST_P(WorkedExample, TurnsOnTheCompletedBoardUseListedIdsThenTheLastCluster) {
  for (int i = 0; i < 3; ++i) turn();
  // Absorbed 3 (score 1) beats absorbed 2 (score 0); each turn drops the id it applied.
  EXPECT_EQ(chooseColor(), 2u);
  EXPECT_TRUE(turn());
  EXPECT_EQ(tileColors(), Ids(9, 2));
  EXPECT_EQ(mainCluster().neighbors, (Ids{2}));
  EXPECT_EQ(chooseColor(), 1u);
  EXPECT_TRUE(turn());
  EXPECT_TRUE(mainCluster().neighbors.empty());
  // Nothing listed: the colour of the cluster whose id is the entry count (4, colour 0).
  EXPECT_EQ(chooseColor(), 0u);
  EXPECT_TRUE(turn());
  EXPECT_EQ(tileColors(), Ids(9, 0));
  EXPECT_EQ(clusterMap.size(), 4u);
}

TEST_P(WorkedExample, MoveMatchingNoNeighbourOnlyPrunesTheRegionsLists) {
  turn();
  turn();
  // The region is colour 2 and touches only cluster 4 (colour 0); colour 1 is the absorbed 2's.
  EXPECT_FALSE(move(1));
  EXPECT_EQ(mainCluster().tiles, (Ids{0, 1, 2, 3, 4, 6, 7}));
  EXPECT_EQ(tileColors(), (Ids{1, 1, 1, 1, 1, 0, 1, 1, 0}));
  EXPECT_EQ(tileNeighborSets(), (std::vector<Ids>{{}, {}, {4}, {}, {4}, {1, 2}, {}, {4}, {1, 3}}));
  expectCluster(1, 1, {0, 1, 2, 3, 4, 6, 7}, {4});
  expectCluster(2, 1, {1, 2, 4}, {4});
  expectCluster(3, 2, {3, 6, 7}, {4});
  expectCluster(4, 0, {5, 8}, {1, 2, 3});
  // The pruned id is no candidate any more: only 4 is left.
  EXPECT_EQ(chooseColor(), 0u);
  EXPECT_TRUE(turn());
}

TEST(Labelling, OneColourBoardIsOneClusterAndAlreadyComplete) {
  useBoard(3, 4, Ids(9, 2));
  EXPECT_EQ(tileClusters(), Ids(9, 1));
  EXPECT_EQ(tileNeighborSets(), std::vector<Ids>(9));
  EXPECT_EQ(nextClusterId, 2u);
  expectCluster(1, 2, {0, 1, 2, 3, 4, 5, 6, 7, 8}, {});
  // No candidate: the last cluster opened is the region itself, so the turn keeps colour 2.
  EXPECT_EQ(chooseColor(), 2u);
  const Snapshot before = snapshot();
  EXPECT_TRUE(solveStep());
  expectSame(before, snapshot());
}

TEST(Labelling, CheckerboardGivesEveryTileItsOwnCluster) {
  Ids colors;
  for (uint32_t i = 0; i < 16; ++i) colors.push_back((i % 4 + i / 4) % 2);
  useBoard(4, 2, colors);
  for (uint32_t i = 0; i < 16; ++i) EXPECT_EQ(board[i].cluster, i + 1);
  EXPECT_EQ(nextClusterId, 17u);
  EXPECT_EQ(board[0].neighbors.toVector(), (Ids{2, 5}));         // corner
  EXPECT_EQ(board[4].neighbors.toVector(), (Ids{1, 6, 9}));      // left edge
  EXPECT_EQ(board[7].neighbors.toVector(), (Ids{4, 7, 12}));     // right edge
  EXPECT_EQ(board[5].neighbors.toVector(), (Ids{2, 5, 7, 10}));  // interior
  expectCluster(6, 0, {5}, {2, 5, 7, 10});

  // With two colours every touching cluster has the other colour, so each turn takes them all.
  EXPECT_FALSE(solveStep());
  EXPECT_EQ(mainCluster().tiles, (Ids{0, 1, 4}));
  EXPECT_FALSE(solveStep());
  EXPECT_EQ(mainCluster().tiles, (Ids{0, 1, 2, 4, 5, 8}));
  // One anti-diagonal per turn: seven of them, the first held from the start.
  for (int turn = 3; turn <= 5; ++turn) EXPECT_FALSE(solveStep()) << "turn " << turn;
  EXPECT_TRUE(solveStep());
}

TEST(Labelling, RowsDoNotWrapAtTheBoardEdge) {
  // Tiles 2 and 3, and tiles 5 and 6, have the same colour and consecutive indices.
  useBoard(3, 3, {0, 1, 2, 2, 1, 0, 0, 1, 2});
  EXPECT_EQ(tileClusters(), (Ids{1, 2, 3, 4, 2, 5, 6, 2, 7}));
  EXPECT_EQ(board[2].neighbors.toVector(), (Ids{2, 5}));
  EXPECT_EQ(board[3].neighbors.toVector(), (Ids{1, 2, 6}));
  EXPECT_EQ(board[5].neighbors.toVector(), (Ids{2, 3, 7}));
  EXPECT_EQ(board[6].neighbors.toVector(), (Ids{2, 4}));
}

TEST(Labelling, LabellingAgainChangesNothing) {
  std::mt19937 rng(7);
  Ids colors(12 * 12);
  for (uint32_t& color : colors) color = rng() % 3;
  useBoard(12, 3, colors);
  const Snapshot fresh = snapshot();
  for (uint32_t y = 0; y < 12; ++y)
    for (uint32_t x = 0; x < 12; ++x) labelRegion(x, y);
  refreshNeighbors();
  expectSame(fresh, snapshot());
}

TEST(Labelling, GeneratedBoardsHoldEveryTileInExactlyOneLiveCluster) {
  settings.boardSize = 20;
  settings.colorCount = 5;
  generateBoard();
  generateBoard();  // nothing of the first board may survive
  ASSERT_EQ(board.size(), 400u);
  EXPECT_EQ(clusterMap.ids().front(), 1u);
  EXPECT_EQ(clusterMap.size() + 1, nextClusterId);
  std::vector<int> owners(board.size(), 0);
  for (uint32_t id : clusterMap.ids())
    for (uint32_t t : findCluster(id)->tiles) {
      ++owners[t];
      EXPECT_EQ(board[t].cluster, id);
      EXPECT_EQ(board[t].color, findCluster(id)->color);
    }
  for (size_t t = 0; t < board.size(); ++t) {
    EXPECT_EQ(owners[t], 1) << "tile " << t;
    EXPECT_LT(board[t].color, 5u) << "tile " << t;
  }
}

TEST(Turn, EqualScoresKeepTheCandidateMetFirstWhateverItsId) {
  // 2 2 1 / 0 0 0 / 0 0 0: tile 0 lists 3 (colour 0) before tile 1 lists 2 (colour 1), both
  // score 2.
  useBoard(3, 3, {2, 2, 1, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(board[0].neighbors.toVector(), (Ids{3}));
  EXPECT_EQ(board[1].neighbors.toVector(), (Ids{2, 3}));
  EXPECT_EQ(findCluster(2)->neighbors.size(), findCluster(3)->neighbors.size());
  EXPECT_EQ(chooseColor(), 0u);
  EXPECT_FALSE(solveStep());
  EXPECT_EQ(mainCluster().tiles, (Ids{0, 1, 3, 4, 5, 6, 7, 8}));
}

TEST(Turn, OnlyAStrictlyHigherScoreReplacesTheChoice) {
  // 2 2 1 / 1 0 0 / 0 0 0: candidates 3 (score 2, colour 1), 2 (2, colour 1), 4 (3, colour 0).
  useBoard(3, 3, {2, 2, 1, 1, 0, 0, 0, 0, 0});
  EXPECT_EQ(chooseColor(), 0u);
  EXPECT_FALSE(solveStep());
  // Both clusters of colour 1 are left; the next turn takes them together.
  EXPECT_EQ(mainCluster().tiles, (Ids{0, 1, 4, 5, 6, 7, 8}));
  EXPECT_EQ(chooseColor(), 1u);
  EXPECT_TRUE(solveStep());
}

TEST(Turn, CompletedBoardWithNothingListedTakesTheLastClustersColour) {
  // 2 1 0 / 0 0 0 / 0 0 0: solved in two turns, then the absorbed 2 is still listed once.
  useBoard(3, 3, {2, 1, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_FALSE(solveStep());
  EXPECT_TRUE(solveStep());
  EXPECT_EQ(mainCluster().neighbors, (Ids{2}));
  EXPECT_EQ(chooseColor(), 1u);
  EXPECT_TRUE(solveStep());
  EXPECT_TRUE(mainCluster().neighbors.empty());
  // The region is colour 1; cluster 3 (the entry count) was recorded with colour 0.
  EXPECT_EQ(chooseColor(), 0u);
  EXPECT_TRUE(solveStep());
  EXPECT_EQ(tileColors(), Ids(9, 0));
  EXPECT_EQ(tileClusters(), Ids(9, 1));
}

TEST(Turn, AbsorbedClusterIsStillFoundWithItsRecordedState) {
  useBoard(3, 3, {0, 1, 1, 2, 1, 0, 2, 2, 0});
  solveStep();
  const Cluster* absorbed = findCluster(2);
  ASSERT_NE(absorbed, nullptr);
  EXPECT_EQ(absorbed->color, 1u);
  EXPECT_EQ(absorbed->tiles, (Ids{1, 2, 4}));
  for (const Tile& tile : board) EXPECT_NE(tile.cluster, 2u);
}

}  // namespace
