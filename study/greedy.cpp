#include "study/greedy.h"

#include <algorithm>
#include <array>

// Why the region graph suffices: the engine's turn scores each cluster listed by a tile of the
// player's region by the size of its neighbour set, and takes the highest, the first met in
// tile order on a tie. Those sets follow from the labelled board and the moves played:
// - A live cluster lists every cluster it touches, plus the region (id 1) once it touches it.
// - A region tile lists the clusters its side neighbours had at labelling, except the region
//   and every cluster whose colour was played since the tile joined. So an absorbed cluster x
//   is still listed by the region's tiles that joined after x and touch it, until x's colour
//   is played again; and its own set holds the clusters it touches whose colour has not been
//   played since x joined.
namespace {

constexpr uint32_t kNone = ~0u;

// Side neighbours of every tile, left, right, up and down, kNone where the board ends; made once
// per board size.
void prepareSides(uint32_t side, GreedyWorkspace& w) {
  if (w.sidesFor == side) return;
  w.sides.resize(size_t{side} * side);
  for (uint32_t t = 0; t < side * side; ++t) {
    const uint32_t x = t % side;
    w.sides[t] = {x > 0 ? t - 1 : kNone, x + 1 < side ? t + 1 : kNone, t >= side ? t - side : kNone,
                  t + side < side * side ? t + side : kNone};
  }
  w.sidesFor = side;
}

void labelRegions(const BoardColors& board, GreedyWorkspace& w) {
  const uint32_t side = board.side;
  prepareSides(side, w);
  const uint32_t tileCount = side * side;
  w.tileCluster.assign(tileCount, 0);
  w.clusterColor.assign(1, 0);  // ids start at 1
  for (uint32_t start = 0; start < tileCount; ++start) {
    if (w.tileCluster[start] != 0) continue;
    const auto id = static_cast<uint32_t>(w.clusterColor.size());
    const uint8_t color = board.colors[start];
    w.clusterColor.push_back(color);
    w.tileCluster[start] = id;
    w.stack.assign(1, start);
    while (!w.stack.empty()) {
      const uint32_t t = w.stack.back();
      w.stack.pop_back();
      for (uint32_t next : w.sides[t])
        if (next != kNone && w.tileCluster[next] == 0 && board.colors[next] == color) {
          w.tileCluster[next] = id;
          w.stack.push_back(next);
        }
    }
  }
  // Tiles grouped by id, each group ascending: a counting sort in tile order.
  const auto clusterCount = static_cast<uint32_t>(w.clusterColor.size() - 1);
  w.tileStart.assign(clusterCount + 2, 0);
  for (uint32_t t = 0; t < tileCount; ++t) ++w.tileStart[w.tileCluster[t] + 1];
  for (uint32_t id = 1; id <= clusterCount + 1; ++id) w.tileStart[id] += w.tileStart[id - 1];
  w.tiles.resize(tileCount);
  w.stack.assign(w.tileStart.begin(), w.tileStart.end());  // next free place per id
  for (uint32_t t = 0; t < tileCount; ++t) w.tiles[w.stack[w.tileCluster[t]]++] = t;
}

// Per cluster: its score while live (the clusters it touches, plus the region once it touches
// it, if region 1 is not among them) and how many of the clusters it touches, region 1 aside,
// have each colour.
void describeNeighbours(GreedyWorkspace& w) {
  const auto clusterCount = static_cast<uint32_t>(w.clusterColor.size() - 1);
  w.liveScore.assign(clusterCount + 1, 1);
  w.colorStart.assign(clusterCount + 2, 0);
  w.colorCounts.clear();
  w.stamp.assign(clusterCount + 1, 0);
  uint32_t tally[256] = {};
  uint32_t seenColors[256];
  for (uint32_t id = 1; id <= clusterCount; ++id) {
    uint32_t colorsSeen = 0;
    for (uint32_t k = w.tileStart[id]; k < w.tileStart[id + 1]; ++k) {
      const uint32_t t = w.tiles[k];
      for (uint32_t next : w.sides[t]) {
        if (next == kNone) continue;
        const uint32_t other = w.tileCluster[next];
        if (other == id || w.stamp[other] == id) continue;
        w.stamp[other] = id;
        if (other == 1) continue;  // counted already, as the region it will be
        ++w.liveScore[id];
        const uint32_t color = w.clusterColor[other];
        if (tally[color]++ == 0) seenColors[colorsSeen++] = color;
      }
    }
    w.colorStart[id] = static_cast<uint32_t>(w.colorCounts.size());
    for (uint32_t i = 0; i < colorsSeen; ++i) {
      w.colorCounts.push_back({seenColors[i], tally[seenColors[i]]});
      tally[seenColors[i]] = 0;
    }
  }
  w.colorStart[clusterCount + 1] = static_cast<uint32_t>(w.colorCounts.size());
}

// Region tile `t` has joined on move `move`: the live clusters it touches can now be taken,
// and the clusters absorbed before it are listed by it.
void joinTile(GreedyWorkspace& w, uint32_t t, uint32_t move) {
  for (uint32_t next : w.sides[t]) {
    if (next == kNone) continue;
    const uint32_t other = w.tileCluster[next];
    const uint32_t joined = w.joinedAt[other];
    if (joined == kNone) {
      if (w.firstLister[other] == kNone) w.frontier.push_back(other);
    } else if (joined < move && other != 1) {
      if (w.firstLister[other] == kNone) w.listed.push_back(other);
    } else {
      continue;  // the region itself, or absorbed on this very move
    }
    w.firstLister[other] = std::min(w.firstLister[other], t);
  }
}

void joinCluster(GreedyWorkspace& w, uint32_t id, uint32_t move) {
  w.joinedAt[id] = move;
  w.firstLister[id] = kNone;
  for (uint32_t k = w.tileStart[id]; k < w.tileStart[id + 1]; ++k) joinTile(w, w.tiles[k], move);
}

// The engine's score of an absorbed cluster: the size of its neighbour set.
uint32_t absorbedScore(const GreedyWorkspace& w, uint32_t id) {
  uint32_t listed = 0;
  for (uint32_t k = w.colorStart[id]; k < w.colorStart[id + 1]; ++k)
    if (w.lastPlayed[w.colorCounts[k].first] < w.joinedAt[id]) listed += w.colorCounts[k].second;
  return listed;
}

// The highest score; on a tie the candidate met first walking the region's tiles in order and
// each tile's ids in order. One key orders all three (scores, tiles and ids fit 19, 17 and 17
// bits on the largest board).
uint64_t rank(uint32_t score, uint32_t firstLister, uint32_t id) {
  constexpr uint64_t kField = (uint64_t{1} << 17) - 1;
  return uint64_t{score} << 34 | (kField - firstLister) << 17 | (kField - id);
}

uint32_t chooseCandidate(const GreedyWorkspace& w) {
  uint64_t best = 0;
  for (uint32_t id : w.frontier)
    best = std::max(best, rank(w.liveScore[id], w.firstLister[id], id));
  for (uint32_t id : w.listed)
    best = std::max(best, rank(absorbedScore(w, id), w.firstLister[id], id));
  return static_cast<uint32_t>((uint64_t{1} << 17) - 1 - (best & ((uint64_t{1} << 17) - 1)));
}

}  // namespace

void playGreedy(const BoardColors& board, GreedyWorkspace& w, GreedyGame& game) {
  labelRegions(board, w);
  describeNeighbours(w);
  const auto clusterCount = static_cast<uint32_t>(w.clusterColor.size() - 1);
  w.joinedAt.assign(clusterCount + 1, kNone);
  w.firstLister.assign(clusterCount + 1, kNone);
  w.lastPlayed.assign(256, 0);
  w.frontier.clear();
  w.listed.clear();
  w.stack.clear();
  game.colors.clear();
  joinCluster(w, 1, 0);
  uint32_t joinedCount = 1;
  if (clusterCount == 1) {
    // A complete board still takes one turn: it plays the colour of the last cluster opened.
    game.colors.push_back(static_cast<uint8_t>(w.clusterColor[clusterCount]));
    game.turns = 1;
    return;
  }
  while (joinedCount < clusterCount) {
    const uint32_t color = w.clusterColor[chooseCandidate(w)];
    const auto move = static_cast<uint32_t>(game.colors.size() + 1);
    game.colors.push_back(static_cast<uint8_t>(color));
    w.lastPlayed[color] = move;
    // Playing a colour takes every id of that colour off the region's tiles.
    std::erase_if(w.listed, [&](uint32_t id) {
      if (w.clusterColor[id] != color) return false;
      w.firstLister[id] = kNone;
      return true;
    });
    // The live clusters of that colour next to the region join it; the others stay in front.
    const size_t before = w.frontier.size();
    size_t kept = 0;
    for (size_t i = 0; i < before; ++i) {
      const uint32_t id = w.frontier[i];
      if (w.clusterColor[id] == color)
        w.stack.push_back(id);
      else
        w.frontier[kept++] = id;
    }
    w.frontier.resize(kept);
    for (uint32_t id : w.stack) w.joinedAt[id] = move;  // first, so they do not list each other
    for (uint32_t id : w.stack) joinCluster(w, id, move);
    joinedCount += static_cast<uint32_t>(w.stack.size());
    w.stack.clear();
  }
  game.turns = static_cast<uint32_t>(game.colors.size());
}
