// A* over joined sets with the distance bound, cut at the length of a beam's answer. The bound
// is consistent (a move lowers it by at most one), so a state's first expansion has its best
// path and the open list can be a bucket queue by f = g + h, deepest g first within a bucket.
// Restricting a state to its never-worse colour keeps an optimal path from every state.
#include <algorithm>
#include <memory>

#include "solve/search_common.h"
#include "solve/solver.h"
#include "solve/state_analysis.h"

namespace {

constexpr uint32_t beamWidthForUpperBound = 16;
constexpr uint32_t expansionsBetweenChecks = 256;
constexpr uint32_t noParent = UINT32_MAX;

struct NodeInfo {
  uint64_t hash;
  uint32_t parent;
  uint16_t g;
  uint8_t move;
  bool closed;
};

// Bytes held by the search, checked before every allocation that could pass the limit.
struct MemoryBudget {
  size_t limit;
  size_t used = 0;
  bool exceeded = false;
  bool take(size_t bytes) {
    if (used + bytes > limit) {
      exceeded = true;
      return false;
    }
    used += bytes;
    return true;
  }
};

// States in fixed pages, so growth never copies or doubles what is already stored.
class NodeStore {
 public:
  static constexpr uint32_t pageShift = 14;
  static constexpr uint32_t pageNodes = 1u << pageShift;

  explicit NodeStore(size_t words) : words_(words) {}
  uint32_t size() const { return size_; }
  uint64_t* bits(uint32_t node) {
    return bitPages_[node >> pageShift].get() + (node & (pageNodes - 1)) * words_;
  }
  NodeInfo& info(uint32_t node) { return infoPages_[node >> pageShift][node & (pageNodes - 1)]; }
  // The index of a new node, or noParent when the budget has no room for its page.
  uint32_t add(MemoryBudget& budget) {
    if ((size_ & (pageNodes - 1)) == 0) {
      if (!budget.take(pageNodes * (words_ * sizeof(uint64_t) + sizeof(NodeInfo)))) return noParent;
      bitPages_.push_back(std::make_unique<uint64_t[]>(pageNodes * words_));
      infoPages_.push_back(std::make_unique<NodeInfo[]>(pageNodes));
    }
    return size_++;
  }

 private:
  size_t words_;
  uint32_t size_ = 0;
  std::vector<std::unique_ptr<uint64_t[]>> bitPages_;
  std::vector<std::unique_ptr<NodeInfo[]>> infoPages_;
};

// Open addressing over node indices; a slot keeps the hash's high half beside the index so most
// mismatches are settled without touching the node.
class StateTable {
 public:
  bool init(MemoryBudget& budget) { return grow(budget, nullptr); }
  // The node holding these bits, or noParent; `slot` receives where to insert.
  uint32_t find(uint64_t hash, const uint64_t* bits, size_t words, NodeStore& nodes,
                size_t& slot) const {
    const uint64_t tag = hash & ~uint64_t{0xffffffff};
    for (slot = hash & mask_;; slot = (slot + 1) & mask_) {
      const uint64_t entry = slots_[slot];
      if (entry == 0) return noParent;
      if ((entry & ~uint64_t{0xffffffff}) != tag) continue;
      const uint32_t node = static_cast<uint32_t>(entry) - 1;
      if (std::equal(bits, bits + words, nodes.bits(node))) return node;
    }
  }
  // False when the table had to grow and the budget had no room.
  bool insert(size_t slot, uint64_t hash, uint32_t node, MemoryBudget& budget, NodeStore& nodes) {
    slots_[slot] = (hash & ~uint64_t{0xffffffff}) | (node + 1);
    ++count_;
    return count_ * 2 <= slots_.size() || grow(budget, &nodes);
  }

 private:
  bool grow(MemoryBudget& budget, NodeStore* nodes) {
    const size_t capacity = slots_.empty() ? 4096 : slots_.size() * 2;
    if (!budget.take(capacity * sizeof(uint64_t))) return false;
    std::vector<uint64_t> old(capacity, 0);
    old.swap(slots_);
    mask_ = capacity - 1;
    for (const uint64_t entry : old) {
      if (entry == 0) continue;
      const uint32_t node = static_cast<uint32_t>(entry) - 1;
      size_t slot = nodes->info(node).hash & mask_;
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

std::vector<uint8_t> pathTo(NodeStore& nodes, uint32_t node) {
  std::vector<uint8_t> moves;
  for (; nodes.info(node).parent != noParent; node = nodes.info(node).parent)
    moves.push_back(nodes.info(node).move);
  std::reverse(moves.begin(), moves.end());
  return moves;
}

}  // namespace

Solution solveExact(const RegionGraph& graph, const SolveLimits& limits) {
  const Clock::time_point deadline =
      Clock::now() + std::chrono::duration_cast<Clock::duration>(
                         std::chrono::duration<double>(limits.timeLimitSeconds));
  const uint32_t colorCount = graph.colorCount;
  const size_t words = wordsFor(graph.regionCount());
  StateAnalysis analysis;
  const std::vector<uint64_t> start = startState(graph);
  analyze(graph, start.data(), false, analysis);
  const uint32_t startBound = lowerBound(analysis, colorCount);

  Solution solution = beamSearch(graph, beamWidthForUpperBound, limits, deadline);
  solution.bound = startBound;
  if (solution.interrupted) return solution;
  if (solution.moves.size() == startBound) {
    solution.proven = true;
    return solution;
  }

  // Only paths shorter than the best known answer are worth keeping.
  uint32_t upperBound = static_cast<uint32_t>(solution.moves.size());
  MemoryBudget budget{limits.memoryLimitBytes};
  NodeStore nodes(words);
  StateTable table;
  OpenList open(upperBound);
  std::vector<uint64_t> child(words);
  const auto searchEnded = [&](uint32_t f) {
    solution.bound = std::max(startBound, f);
    solution.interrupted = stopRequested(limits);
    solution.searchBytes = budget.used;
    return solution;
  };

  uint32_t root = 0;
  size_t slot = 0;
  if (!table.init(budget) || (root = nodes.add(budget)) == noParent) return searchEnded(0);
  std::copy(start.begin(), start.end(), nodes.bits(root));
  nodes.info(root) = {regionKey(startRegion), noParent, 0, 0, false};
  table.find(nodes.info(root).hash, nodes.bits(root), words, nodes, slot);
  if (!table.insert(slot, nodes.info(root).hash, root, budget, nodes) ||
      !open.push(startBound, 0, root, budget))
    return searchEnded(0);

  uint32_t sinceCheck = 0;
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
      const uint64_t* bits = nodes.bits(node);
      const uint64_t hash = info.hash;
      analyze(graph, bits, false, analysis);
      const int forced = forcedColor(analysis, colorCount);
      for (uint32_t c = 0; c < colorCount; ++c) {
        const ColorStats& stats = analysis.colors[c];
        if (stats.frontier == 0 || (forced >= 0 && c != static_cast<uint32_t>(forced))) continue;
        if (stats.frontier == analysis.remainingRegions) {
          if (g + 1 < upperBound) {
            upperBound = g + 1;
            solution.moves = pathTo(nodes, node);
            solution.moves.push_back(static_cast<uint8_t>(c));
          }
          continue;
        }
        const uint32_t childF = g + 1 + childLowerBound(analysis, colorCount, c);
        if (childF >= upperBound) continue;
        std::copy(bits, bits + words, child.begin());
        joinFrontier(graph, analysis, c, child.data());
        const uint64_t childHash = hash ^ stats.keys;
        uint32_t existing = table.find(childHash, child.data(), words, nodes, slot);
        if (existing != noParent) {
          NodeInfo& known = nodes.info(existing);
          if (known.closed || known.g <= g + 1) continue;
          known.g = static_cast<uint16_t>(g + 1);
          known.parent = node;
          known.move = static_cast<uint8_t>(c);
        } else {
          existing = nodes.add(budget);
          if (existing == noParent) return searchEnded(f);
          std::copy(child.begin(), child.end(), nodes.bits(existing));
          nodes.info(existing) = {childHash, node, static_cast<uint16_t>(g + 1),
                                  static_cast<uint8_t>(c), false};
          if (!table.insert(slot, childHash, existing, budget, nodes)) return searchEnded(f);
        }
        if (!open.push(childF, g + 1, existing, budget)) return searchEnded(f);
      }
    }
  }
  solution.proven = true;
  solution.searchBytes = budget.used;
  return solution;
}
