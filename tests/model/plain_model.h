// The rules of the board written as plainly as they read: ordered sets and maps, a work queue
// taken from the front, one labelRegion call per tile. It keeps its own state, so it can run
// beside the engine in one binary; the engine must match it on everything a caller can see.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <vector>

namespace plain {

struct Tile {
  uint32_t color = 0;
  uint32_t cluster = 0;
  std::set<uint32_t> neighbors;
};

struct Cluster {
  std::set<uint32_t> neighbors;
  std::set<uint32_t> tiles;
  uint32_t color = 0;
};

using ClusterMap = std::map<uint32_t, Cluster>;

inline uint32_t boardSize = 3;
inline uint32_t colorCount = 2;
inline std::vector<Tile> board;
inline ClusterMap clusterMap;
inline uint32_t nextClusterId = 1;

Cluster& getOrCreateCluster(uint32_t id);
Cluster* findCluster(uint32_t id);
Cluster& mainCluster();

// A fresh mt19937 seeded from the steady clock, one output, float(x) / 2^32.
float clockSeededDraw();
void generateBoard();
// A new board with the given colours (row by row), labelled as generation labels it.
void loadBoard(const std::vector<uint32_t>& colors);

void labelRegion(uint32_t x, uint32_t y);
void refreshNeighbors();

bool applyColor(uint32_t color);
// The colour of the greedy choice, without moving.
uint32_t chooseColor();
bool solveStep();

}  // namespace plain
