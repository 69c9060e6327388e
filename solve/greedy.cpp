#include "solve/greedy.h"

#include <algorithm>
#include <utility>

// Why the region graph suffices: the engine's turn scores each cluster listed by a tile of the
// player's region by the size of its neighbour set, and takes the highest, the first met in
// tile order on a tie. The engine's clusters are the graph's regions (its ids count from 1 in
// the same row order, so region r is id r + 1 and region 0 the player's), and their neighbour
// sets follow from the graph and the moves played:
// - A live region lists every region it touches, plus region 0 once it touches the joined ones.
// - A joined tile lists the regions its side neighbours had at labelling, except region 0 and
//   every region whose colour was played since the tile joined. So a joined region x is still
//   listed by the tiles that joined after x and touch it, until x's colour is played again; and
//   its own set holds the regions it touches, region 0 aside, whose colour has not been played
//   since x joined.
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

// Tile `t` has joined on move `move`: the live regions it touches can now be taken, and the
// regions joined before it are listed by it.
void joinTile(const RegionGraph& graph, GreedyWorkspace& w, uint32_t t, uint32_t move) {
  for (uint32_t next : w.sides[t]) {
    if (next == kNone) continue;
    const uint32_t other = graph.regionOfTile[next];
    const uint32_t joined = w.joinedAt[other];
    if (joined == kNone) {
      if (w.firstLister[other] == kNone) w.frontier.push_back(other);
    } else if (joined < move && other != startRegion) {
      if (w.firstLister[other] == kNone) w.listed.push_back(other);
    } else {
      continue;  // region 0, or joined on this very move
    }
    w.firstLister[other] = std::min(w.firstLister[other], t);
  }
}

void joinRegion(const RegionGraph& graph, GreedyWorkspace& w, uint32_t region, uint32_t move) {
  w.joinedAt[region] = move;
  w.firstLister[region] = kNone;
  for (const uint32_t tile : graph.tilesOf(region)) joinTile(graph, w, tile, move);
}

// The engine's score of a live region: the regions it touches, plus region 0 if it is not
// among them (the lists are ascending, so it would come first).
uint32_t liveScore(const RegionGraph& graph, uint32_t region) {
  const std::span<const uint32_t> neighbors = graph.neighborsOf(region);
  return static_cast<uint32_t>(neighbors.size()) + (neighbors.front() != startRegion ? 1 : 0);
}

// The engine's score of a joined region: the size of its neighbour set.
uint32_t joinedScore(const RegionGraph& graph, const GreedyWorkspace& w, uint32_t region) {
  std::span<const uint32_t> neighbors = graph.neighborsOf(region);
  if (neighbors.front() == startRegion) neighbors = neighbors.subspan(1);  // never in the set
  const uint32_t joined = w.joinedAt[region];
  uint32_t listed = 0;
  for (const uint32_t other : neighbors) listed += w.lastPlayed[graph.color[other]] < joined;
  return listed;
}

// The highest score; on a tie the candidate met first walking the joined tiles in order and
// each tile's regions in order. One key orders all three (scores, tiles and regions fit 19, 17 and
// 17 bits on the largest board).
uint64_t rank(uint32_t score, uint32_t firstLister, uint32_t region) {
  constexpr uint64_t kField = (uint64_t{1} << 17) - 1;
  return uint64_t{score} << 34 | (kField - firstLister) << 17 | (kField - region);
}

uint32_t chooseCandidate(const RegionGraph& graph, const GreedyWorkspace& w) {
  uint64_t best = 0;
  for (uint32_t r : w.frontier)
    best = std::max(best, rank(liveScore(graph, r), w.firstLister[r], r));
  for (uint32_t r : w.listed)
    best = std::max(best, rank(joinedScore(graph, w, r), w.firstLister[r], r));
  return static_cast<uint32_t>((uint64_t{1} << 17) - 1 - (best & ((uint64_t{1} << 17) - 1)));
}

}  // namespace

void playGreedy(const RegionGraph& graph, GreedyWorkspace& w, GreedyGame& game) {
  prepareSides(graph.side, w);
  const uint32_t regionCount = graph.regionCount();
  w.joinedAt.assign(regionCount, kNone);
  w.firstLister.assign(regionCount, kNone);
  w.lastPlayed.fill(0);
  w.frontier.clear();
  w.listed.clear();
  w.joining.clear();
  game.colors.clear();
  joinRegion(graph, w, startRegion, 0);
  uint32_t joinedCount = 1;
  if (regionCount == 1) {
    // A complete board still takes one turn: it plays the colour of its one region.
    game.colors.push_back(graph.color[startRegion]);
    game.turns = 1;
    return;
  }
  while (joinedCount < regionCount) {
    const uint8_t color = graph.color[chooseCandidate(graph, w)];
    const auto move = static_cast<uint32_t>(game.colors.size() + 1);
    game.colors.push_back(color);
    w.lastPlayed[color] = move;
    // Playing a colour takes every region of that colour off the joined tiles.
    std::erase_if(w.listed, [&](uint32_t r) {
      if (graph.color[r] != color) return false;
      w.firstLister[r] = kNone;
      return true;
    });
    // The live regions of that colour next to the joined ones join; the others stay in front.
    const size_t before = w.frontier.size();
    size_t kept = 0;
    for (size_t i = 0; i < before; ++i) {
      const uint32_t r = w.frontier[i];
      if (graph.color[r] == color)
        w.joining.push_back(r);
      else
        w.frontier[kept++] = r;
    }
    w.frontier.resize(kept);
    for (uint32_t r : w.joining) w.joinedAt[r] = move;  // first, so they do not list each other
    for (uint32_t r : w.joining) joinRegion(graph, w, r, move);
    joinedCount += static_cast<uint32_t>(w.joining.size());
    w.joining.clear();
  }
  game.turns = static_cast<uint32_t>(game.colors.size());
}

// Buffers of its own for each game, not thread_local ones: a thread_local object with a
// destructor can free memory already handed back at thread exit in the MinGW runtime, which
// corrupted a Windows study's heap.
Solution solveGreedy(const RegionGraph& graph, const SolveLimits&) {
  GreedyWorkspace workspace;
  GreedyGame game;
  playGreedy(graph, workspace, game);
  Solution solution;
  solution.moves = std::move(game.colors);
  return solution;
}
