#include "tests/model/plain_model.h"

#include <chrono>
#include <cmath>
#include <random>

namespace plain {

namespace {

uint32_t side() {
  return boardSize;
}

// Left, right, up, down, each only when on the board and not yet visited.
void appendSideNeighbors(uint32_t index, const std::set<uint32_t>& visited,
                         std::vector<uint32_t>& queue) {
  const uint32_t x = index % side();
  const uint32_t y = index / side();
  const uint32_t candidates[4] = {index - 1, index + 1, index - side(), index + side()};
  const bool onBoard[4] = {x > 0, x<side() - 1, y> 0, y < side() - 1};
  for (int i = 0; i < 4; ++i)
    if (onBoard[i] && !visited.contains(candidates[i])) queue.push_back(candidates[i]);
}

void newBoard() {
  board.assign(static_cast<size_t>(side()) * side(), Tile{});
  clusterMap.clear();
  nextClusterId = 1;
}

void labelNewBoard() {
  for (uint32_t y = 0; y < side(); ++y)
    for (uint32_t x = 0; x < side(); ++x) labelRegion(x, y);
  refreshNeighbors();
}

}  // namespace

Cluster& getOrCreateCluster(uint32_t id) {
  return clusterMap[id];
}

Cluster* findCluster(uint32_t id) {
  const auto found = clusterMap.find(id);
  return found == clusterMap.end() ? nullptr : &found->second;
}

Cluster& mainCluster() {
  return clusterMap.begin()->second;
}

float clockSeededDraw() {
  const int64_t nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                  std::chrono::steady_clock::now().time_since_epoch())
                                  .count();
  std::mt19937 engine(static_cast<uint32_t>(nanoseconds));
  const uint32_t x = engine();
  return static_cast<float>(x) / 4294967296.0f;
}

void generateBoard() {
  newBoard();
  const float top = static_cast<float>(colorCount - 1);
  for (uint32_t y = 0; y < side(); ++y)
    for (uint32_t x = 0; x < side(); ++x)
      board[x + y * side()].color = static_cast<uint32_t>(std::roundf(clockSeededDraw() * top));
  labelNewBoard();
}

void loadBoard(const std::vector<uint32_t>& colors) {
  newBoard();
  for (size_t i = 0; i < board.size() && i < colors.size(); ++i) board[i].color = colors[i];
  labelNewBoard();
}

void labelRegion(uint32_t x, uint32_t y) {
  const uint32_t start = x + y * side();
  std::vector<uint32_t> queue;
  std::set<uint32_t> visited;
  appendSideNeighbors(start, visited, queue);

  if (board[start].cluster == 0) {
    const uint32_t id = nextClusterId++;
    board[start].cluster = id;
    Cluster& opened = getOrCreateCluster(id);
    opened.neighbors.clear();
    opened.tiles = {start};
    opened.color = board[start].color;
  }
  Cluster* cluster = findCluster(board[start].cluster);
  if (cluster == nullptr) return;
  const uint32_t color = board[start].color;
  const uint32_t id = board[start].cluster;

  while (!queue.empty()) {
    const uint32_t index = queue.front();
    queue.erase(queue.begin());
    visited.insert(index);
    Tile& tile = board[index];
    if (tile.color == color && tile.cluster == id) continue;
    if (tile.color == color) {
      tile.cluster = id;
      tile.neighbors.erase(id);
      cluster->tiles.insert(index);
      appendSideNeighbors(index, visited, queue);
    } else {
      tile.neighbors.insert(id);
    }
  }
}

void refreshNeighbors() {
  for (auto& [id, cluster] : clusterMap) {
    for (const uint32_t t : cluster.tiles) {
      Tile& tile = board[t];
      for (auto listed = tile.neighbors.begin(); listed != tile.neighbors.end();) {
        if (getOrCreateCluster(*listed).color == tile.color)
          listed = tile.neighbors.erase(listed);
        else
          ++listed;
      }
    }
    cluster.neighbors.clear();
    for (const uint32_t t : cluster.tiles)
      cluster.neighbors.insert(board[t].neighbors.begin(), board[t].neighbors.end());
  }
}

bool applyColor(uint32_t color) {
  Cluster& region = mainCluster();
  region.color = color;
  for (const uint32_t t : region.tiles) board[t].color = color;
  // Walked live: tiles the calls add beyond the one in hand are visited too.
  for (auto t = region.tiles.begin(); t != region.tiles.end(); ++t)
    labelRegion(*t % side(), *t / side());
  refreshNeighbors();
  return region.tiles.size() == board.size();
}

uint32_t chooseColor() {
  const Cluster& region = mainCluster();
  bool found = false;
  uint32_t choice = 0;
  size_t bestScore = 0;
  for (const uint32_t t : region.tiles) {
    for (const uint32_t candidate : board[t].neighbors) {
      const size_t score = getOrCreateCluster(candidate).neighbors.size();
      if (!found || score > bestScore) {
        found = true;
        choice = candidate;
        bestScore = score;
      }
    }
  }
  if (!found) choice = static_cast<uint32_t>(clusterMap.size());
  return getOrCreateCluster(choice).color;
}

bool solveStep() {
  return applyColor(chooseColor());
}

}  // namespace plain
