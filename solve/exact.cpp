// A* over joined sets with the distance bound, cut at the length of a beam's answer. The bound
// is consistent (a move lowers it by at most one), so a state's first expansion has its best
// path and the open list can be a bucket queue by f = g + h, deepest g first within a bucket.
// Restricting a state to its never-worse colour keeps an optimal path from every state.
#include <algorithm>
#include <cassert>
#include <memory>

#include "solve/bit_analysis.h"
#include "solve/search_common.h"
#include "solve/solver.h"
#include "solve/state_analysis.h"

namespace {

// A narrow beam's answer is usually optimal already. When the search runs long, wider beams
// are worth their time: each move they save keeps a whole f layer out of memory.
constexpr uint32_t firstBeamWidth = 16;
constexpr uint64_t widerBeamAfter = 1 << 16;  // expansions; the width and this grow 16-fold
constexpr uint32_t lastBeamWidth = 4096;
constexpr uint32_t expansionsBetweenChecks = 256;
constexpr uint32_t noNode = UINT32_MAX;

struct NodeInfo {
  uint32_t hash;  // of the joined set
  uint32_t parent;
  uint16_t g;
  uint8_t move;
  bool closed;
};

// Bytes held by the search, checked before every allocation that could pass the limit.
struct MemoryBudget {
  size_t limit;
  size_t used = 0;
  bool take(size_t bytes) {
    if (used + bytes > limit) return false;
    used += bytes;
    return true;
  }
};

// Nodes in fixed pages, so growth never copies or doubles what is already stored.
template <class State>
class NodeStore {
 public:
  static constexpr uint32_t pageShift = 14;
  static constexpr uint32_t pageNodes = 1u << pageShift;

  State& state(uint32_t node) { return statePages_[node >> pageShift][node & (pageNodes - 1)]; }
  NodeInfo& info(uint32_t node) { return infoPages_[node >> pageShift][node & (pageNodes - 1)]; }
  // The index of a new node, or noNode when the budget has no room for its page (or indices
  // run out, which only a budget of hundreds of gigabytes would allow).
  uint32_t add(MemoryBudget& budget) {
    if (size_ == noNode - 1) return noNode;
    if ((size_ & (pageNodes - 1)) == 0) {
      if (!budget.take(pageNodes * (sizeof(State) + sizeof(NodeInfo)))) return noNode;
      statePages_.push_back(std::make_unique_for_overwrite<State[]>(pageNodes));
      infoPages_.push_back(std::make_unique_for_overwrite<NodeInfo[]>(pageNodes));
    }
    return size_++;
  }

 private:
  uint32_t size_ = 0;
  std::vector<std::unique_ptr<State[]>> statePages_;
  std::vector<std::unique_ptr<NodeInfo[]>> infoPages_;
};

// Open addressing over node indices; a slot keeps the state's hash beside the index so most
// mismatches are settled without touching the node.
class StateTable {
 public:
  bool init(MemoryBudget& budget) { return grow(budget); }
  // The node whose joined set equals `state`'s, or noNode; `slot` receives where to insert.
  template <class State>
  uint32_t find(uint32_t hash, const State& state, NodeStore<State>& nodes, size_t& slot) const {
    const uint64_t tag = uint64_t{hash} << 32;
    for (slot = hash & mask_;; slot = (slot + 1) & mask_) {
      const uint64_t entry = slots_[slot];
      if (entry == 0) return noNode;
      if ((entry & ~uint64_t{0xffffffff}) != tag) continue;
      const uint32_t node = static_cast<uint32_t>(entry) - 1;
      if (nodes.state(node).joined == state.joined) return node;
    }
  }
  // False when the table had to grow and the budget had no room.
  bool insert(size_t slot, uint32_t hash, uint32_t node, MemoryBudget& budget) {
    slots_[slot] = uint64_t{hash} << 32 | (node + 1);
    ++count_;
    return count_ * 2 <= slots_.size() || grow(budget);
  }

 private:
  bool grow(MemoryBudget& budget) {
    const size_t capacity = slots_.empty() ? 4096 : slots_.size() * 2;
    if (!budget.take(capacity * sizeof(uint64_t))) return false;
    std::vector<uint64_t> old(capacity, 0);
    old.swap(slots_);
    mask_ = capacity - 1;
    for (const uint64_t entry : old) {
      if (entry == 0) continue;
      size_t slot = (entry >> 32) & mask_;
      while (slots_[slot] != 0) slot = (slot + 1) & mask_;
      slots_[slot] = entry;
    }
    budget.used -= old.size() * sizeof(uint64_t);
    return true;
  }

  std::vector<uint64_t> slots_;
  size_t mask_ = 0;
  size_t count_ = 0;
};

// Bucket queue by f and then g; stale entries (a node since reached by a shorter path, or
// already expanded) are skipped when popped.
class OpenList {
 public:
  explicit OpenList(uint32_t fLimit) : buckets_(fLimit) {}
  bool push(uint32_t f, uint32_t g, uint32_t node, MemoryBudget& budget) {
    if (buckets_[f].empty()) {
      if (!budget.take((f + 1) * sizeof(std::vector<uint32_t>))) return false;
      buckets_[f].resize(f + 1);
    }
    std::vector<uint32_t>& bucket = buckets_[f][g];
    if (bucket.size() == bucket.capacity()) {
      const size_t grown = std::max<size_t>(64, bucket.capacity() * 2);
      if (!budget.take((grown - bucket.capacity()) * sizeof(uint32_t))) return false;
      bucket.reserve(grown);
    }
    bucket.push_back(node);
    return true;
  }
  // The deepest entry of f, or false when f has none left.
  bool pop(uint32_t f, uint32_t& g, uint32_t& node) {
    for (g = static_cast<uint32_t>(buckets_[f].size()); g-- > 0;) {
      std::vector<uint32_t>& bucket = buckets_[f][g];
      if (bucket.empty()) continue;
      node = bucket.back();
      bucket.pop_back();
      return true;
    }
    return false;
  }

 private:
  std::vector<std::vector<std::vector<uint32_t>>> buckets_;
};

template <class State>
std::vector<uint8_t> pathTo(NodeStore<State>& nodes, uint32_t node) {
  std::vector<uint8_t> moves;
  for (; nodes.info(node).parent != noNode; node = nodes.info(node).parent)
    moves.push_back(nodes.info(node).move);
  std::reverse(moves.begin(), moves.end());
  return moves;
}

// A* from the start state, cut at `solution`'s length, which it shortens when it can.
template <size_t Words>
Solution search(const RegionGraph& graph, const SolveLimits& limits, Clock::time_point deadline,
                Solution solution) {
  using State = BitState<Words>;
  const uint32_t colorCount = graph.colorCount;
  const uint32_t startBound = solution.bound;
  uint32_t upperBound = static_cast<uint32_t>(solution.moves.size());
  BitAnalysis<Words> analysis(graph);
  MemoryBudget budget{limits.memoryLimitBytes};
  NodeStore<State> nodes;
  StateTable table;
  OpenList open(upperBound);
  const auto searchEnded = [&](uint32_t f) {
    solution.bound = std::max(startBound, f);
    solution.interrupted = stopRequested(limits);
    solution.searchBytes = budget.used;
    return solution;
  };
  // Adds `state`, reached from `parent` by `move`, or lowers its g; false when the memory budget
  // is spent.
  const auto reach = [&](const State& state, uint32_t hash, uint32_t parent, uint32_t move,
                         uint32_t g, uint32_t f) {
    size_t slot = 0;
    uint32_t node = table.find(hash, state, nodes, slot);
    const NodeInfo info{hash, parent, static_cast<uint16_t>(g), static_cast<uint8_t>(move), false};
    if (node != noNode) {
      NodeInfo& known = nodes.info(node);
      if (known.closed || known.g <= g) return true;
      known = info;
    } else {
      node = nodes.add(budget);
      if (node == noNode) return false;
      nodes.state(node) = state;
      nodes.info(node) = info;
      if (!table.insert(slot, hash, node, budget)) return false;
    }
    return open.push(f, g, node, budget);
  };

  if (!table.init(budget) ||
      !reach(analysis.startState(startRegion), static_cast<uint32_t>(regionKey(startRegion)),
             noNode, 0, 0, startBound))
    return searchEnded(startBound);

  uint32_t sinceCheck = 0;
  uint64_t expanded = 0;
  uint64_t nextBeamAt = widerBeamAfter;
  uint32_t beamWidth = firstBeamWidth;
  for (uint32_t f = startBound; f < upperBound; ++f) {
    uint32_t g = 0;
    uint32_t node = 0;
    while (f < upperBound && open.pop(f, g, node)) {
      NodeInfo& info = nodes.info(node);
      if (info.closed || info.g != g) continue;
      info.closed = true;
      ++solution.expanded;
      if (++sinceCheck == expansionsBetweenChecks) {
        sinceCheck = 0;
        if (stopRequested(limits) || Clock::now() >= deadline) return searchEnded(f);
      }
      if (++expanded == nextBeamAt && beamWidth < lastBeamWidth) {
        nextBeamAt *= 16;
        beamWidth *= 16;
        const Solution wider = beamSearch(graph, beamWidth, limits, deadline);
        solution.expanded += wider.expanded;
        if (wider.moves.size() < upperBound) {
          upperBound = static_cast<uint32_t>(wider.moves.size());
          solution.moves = wider.moves;
        }
        if (f >= upperBound) break;
      }
      const State& state = nodes.state(node);
      if (f + 1 == upperBound) {
        // In the last layer below the best answer, only children whose bound drops are kept;
        // finding them needs the `via` sets of a few regions, not of all.
        const StateSummary& levels = analysis.analyzeLevels(state);
        if (forcedColor(levels, colorCount) < 0) {
          const uint32_t moves = analysis.movesLoweringBound(f - g);
          for (uint32_t m = moves; m != 0; m &= m - 1) {
            const uint32_t c = static_cast<uint32_t>(std::countr_zero(m));
            const uint32_t hash = info.hash ^ static_cast<uint32_t>(levels.colors[c].keys);
            if (!reach(analysis.child(state, c), hash, node, c, g + 1, f)) return searchEnded(f);
          }
          continue;
        }
      }
      const StateSummary& summary = analysis.analyze(state);
      const int forced = forcedColor(summary, colorCount);
      const ChildBounds childBound(summary, colorCount);
      for (uint32_t c = 0; c < colorCount; ++c) {
        const ColorStats& stats = summary.colors[c];
        if (!worthTrying(summary, forced, c)) continue;
        if (stats.frontier == summary.remainingRegions) {
          if (g + 1 < upperBound) {
            upperBound = g + 1;
            solution.moves = pathTo(nodes, node);
            solution.moves.push_back(static_cast<uint8_t>(c));
          }
          continue;
        }
        const uint32_t childF = g + 1 + childBound(c);
        assert(childF >= f && "the bound is consistent");
        if (childF >= upperBound) continue;
        if (!reach(analysis.child(state, c), info.hash ^ static_cast<uint32_t>(stats.keys), node, c,
                   g + 1, childF))
          return searchEnded(f);
      }
    }
  }
  solution.proven = true;
  solution.searchBytes = budget.used;
  return solution;
}

}  // namespace

Solution solveExact(const RegionGraph& graph, const SolveLimits& limits) {
  const Clock::time_point deadline = deadlineAfter(limits.timeLimitSeconds);
  Solution solution = beamSearch(graph, firstBeamWidth, limits, deadline);
  if (solution.moves.size() == solution.bound) {  // optimal, however the beam ended
    solution.proven = true;
    solution.interrupted = false;
    return solution;
  }
  if (solution.interrupted || Clock::now() >= deadline) return solution;
  // States round up to one of these sizes. Past the last, neighbour rows grow too large to pay,
  // and no search of that many regions would finish: the beam's answer stands, not proven.
  const size_t words = wordsFor(graph.regionCount());
  if (words <= 1) return search<1>(graph, limits, deadline, std::move(solution));
  if (words <= 2) return search<2>(graph, limits, deadline, std::move(solution));
  if (words <= 3) return search<3>(graph, limits, deadline, std::move(solution));
  if (words <= 4) return search<4>(graph, limits, deadline, std::move(solution));
  if (words <= 5) return search<5>(graph, limits, deadline, std::move(solution));
  if (words <= 6) return search<6>(graph, limits, deadline, std::move(solution));
  if (words <= 8) return search<8>(graph, limits, deadline, std::move(solution));
  if (words <= 12) return search<12>(graph, limits, deadline, std::move(solution));
  if (words <= 16) return search<16>(graph, limits, deadline, std::move(solution));
  if (words <= 24) return search<24>(graph, limits, deadline, std::move(solution));
  if (words <= 32) return search<32>(graph, limits, deadline, std::move(solution));
  return solution;
}
