// A* over joined sets with the deadline bound, cut at the length of a beam's answer. The open
// list is a bucket queue by f = g + h, deepest g first within a bucket. A child enters with the
// bound its parent's summary gives it; its own analysis, when it is taken, may raise that, and
// then it waits in the higher bucket. The bound is admissible but not consistent (a raised
// deadline can fall by two in a move), so f never falls below the parent's (pathmax), and a
// closed state reached by a shorter path opens again: every f stays a lower bound on a path
// through the state, and a state on an optimal path is always waiting with its best g.
// Restricting a state to its never-worse colour keeps an optimal path from every state.
#include <algorithm>
#include <array>
#include <memory>

#include "solve/bit_analysis.h"
#include "solve/prefetch.h"
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
  void prefetch(uint32_t hash) const { prefetchForRead(&slots_[hash & mask_]); }
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

// What one exact solve reads and draws on: its inputs, its deadline and its memory. Everything
// else in ExactSearch belongs to the one search; workers on several threads would share these.
struct SearchShared {
  const RegionGraph& graph;
  const SolveLimits& limits;
  Clock::time_point deadline;
  MemoryBudget budget;
};

// A* from the start state, cut at the length of the answer it starts from, which it shortens
// when it can. One search: run() once.
template <size_t Words>
class ExactSearch {
 public:
  using State = BitState<Words>;

  ExactSearch(SearchShared& shared, Solution start)
      : shared_(shared),
        colorCount_(shared.graph.colorCount),
        solution_(std::move(start)),
        startBound_(solution_.bound),
        upperBound_(static_cast<uint32_t>(solution_.moves.size())),
        analysis_(shared.graph),
        open_(upperBound_) {}

  Solution run() {
    if (!table_.init(shared_.budget) ||
        !reach(analysis_.startState(startRegion), static_cast<uint32_t>(regionKey(startRegion)),
               noNode, 0, 0, startBound_))
      return ended(startBound_);
    for (uint32_t f = startBound_; f < upperBound_; ++f) {
      uint32_t g = 0;
      uint32_t node = 0;
      while (f < upperBound_ && open_.pop(f, g, node)) {
        NodeInfo& info = nodes_.info(node);
        if (info.closed || info.g != g) continue;
        const StateSummary& levels = node == analysedLast_
                                         ? analysis_.lastSummary()
                                         : analysis_.analyzeLevels(nodes_.state(node));
        analysedLast_ = noNode;
        const uint32_t ownF = g + lowerBound(levels, colorCount_);
        if (ownF > f) {  // its own bound is above the one it entered with
          if (ownF < upperBound_ && !open_.push(ownF, g, node, shared_.budget)) return ended(f);
          continue;
        }
        if (expansionsSpent(shared_.limits, solution_.expanded)) return ended(f);
        info.closed = true;
        ++solution_.expanded;
        if (timeToStop()) return ended(f);
        if (widerBeamDue()) {
          tightenWithWiderBeam();
          if (f >= upperBound_) break;
        }
        if (!expand(node, g, f, levels)) return ended(f);
      }
    }
    solution_.proven = true;
    solution_.searchBytes = shared_.budget.used;
    return std::move(solution_);
  }

 private:
  // Reaches the children of `node`, at depth g in layer f, that can still beat the best answer,
  // and takes a child that completes the board as the best answer when it is shorter. False
  // when the memory budget is spent.
  // `levels` is the state's analyzeLevels.
  bool expand(uint32_t node, uint32_t g, uint32_t f, const StateSummary& levels) {
    const State& state = nodes_.state(node);
    if (f + 1 == upperBound_ && forcedColor(levels, colorCount_) < 0)
      return expandLastLayer(node, g, f, levels);
    const StateSummary& summary = analysis_.completeAnalysis(state);
    const uint32_t hash = nodes_.info(node).hash;
    Children children;
    forEachUsefulMove(
        summary, colorCount_,
        [&](uint32_t move) {
          noteCompletion(node, g, move);
          return true;
        },
        [&](uint32_t move, uint32_t childBound) {
          const uint32_t childF = std::max(f, g + 1 + childBound);
          if (childF < upperBound_)
            children.add(analysis_.child(state, move),
                         hash ^ static_cast<uint32_t>(summary.colors[move].keys), move, childF);
          return true;
        });
    return reachAll(children, node, g + 1);
  }

  // In the last layer below the best answer, only children whose bound drops are kept; finding
  // them needs the `via` sets of a few regions, not of all. A child's own bound may not drop
  // where its parent's summary said it would: each is analysed here, so that such a child is
  // never stored, and the last one stays analysed, as it is the state taken next.
  bool expandLastLayer(uint32_t node, uint32_t g, uint32_t f, const StateSummary& levels) {
    const State& state = nodes_.state(node);
    const uint32_t hash = nodes_.info(node).hash;
    const uint32_t moves = analysis_.movesLoweringBound(f - g);
    Children children;
    for (uint32_t m = moves; m != 0; m &= m - 1) {
      const uint32_t c = static_cast<uint32_t>(std::countr_zero(m));
      children.add(analysis_.child(state, c), hash ^ static_cast<uint32_t>(levels.colors[c].keys),
                   c, f);
    }
    for (uint32_t i = 0; i < children.count; ++i) table_.prefetch(children.hashes[i]);
    analysis_.keepAsParent();
    for (uint32_t i = 0; i < children.count; ++i) {
      bool analysed = false;
      const auto boundDrops = [&] {
        analysed = true;
        const StateSummary& own =
            analysis_.analyzeChildLevels(children.states[i], children.moves[i]);
        return g + 1 + lowerBound(own, colorCount_) <= f;
      };
      if (!reach(children.states[i], children.hashes[i], node, children.moves[i], g + 1, f,
                 boundDrops))
        return false;
      if (analysed) analysedLast_ = lastPushed_;
    }
    return true;
  }

  // A state's children, gathered so that all their table slots are asked for before the first
  // is probed.
  struct Children {
    std::array<State, maxColors> states;
    std::array<uint32_t, maxColors> hashes;
    std::array<uint8_t, maxColors> moves;
    std::array<uint32_t, maxColors> fs;
    uint32_t count = 0;
    void add(const State& state, uint32_t hash, uint32_t move, uint32_t f) {
      states[count] = state;
      hashes[count] = hash;
      moves[count] = static_cast<uint8_t>(move);
      fs[count++] = f;
    }
  };

  bool reachAll(const Children& children, uint32_t parent, uint32_t g) {
    for (uint32_t i = 0; i < children.count; ++i) table_.prefetch(children.hashes[i]);
    for (uint32_t i = 0; i < children.count; ++i)
      if (!reach(children.states[i], children.hashes[i], parent, children.moves[i], g,
                 children.fs[i]))
        return false;
    return true;
  }

  // Adds `state`, reached from `parent` by `move`, or lowers its g (opening it again if it was
  // closed), unless `worthKeeping()`, asked only then, says no; false when the memory budget is
  // spent.
  template <class WorthKeeping = bool (*)()>
  bool reach(
      const State& state, uint32_t hash, uint32_t parent, uint32_t move, uint32_t g, uint32_t f,
      WorthKeeping worthKeeping = [] { return true; }) {
    lastPushed_ = noNode;
    size_t slot = 0;
    uint32_t node = table_.find(hash, state, nodes_, slot);
    const NodeInfo info{hash, parent, static_cast<uint16_t>(g), static_cast<uint8_t>(move), false};
    if (node != noNode) {
      NodeInfo& known = nodes_.info(node);
      if (known.g <= g || !worthKeeping()) return true;
      known = info;
    } else {
      if (!worthKeeping()) return true;
      node = nodes_.add(shared_.budget);
      if (node == noNode) return false;
      nodes_.state(node) = state;
      nodes_.info(node) = info;
      if (!table_.insert(slot, hash, node, shared_.budget)) return false;
    }
    lastPushed_ = node;
    return open_.push(f, g, node, shared_.budget);
  }

  // `move` from `node`, at depth g, completes the board.
  void noteCompletion(uint32_t node, uint32_t g, uint32_t move) {
    if (g + 1 >= upperBound_) return;
    upperBound_ = g + 1;
    solution_.moves = pathTo(nodes_, node);
    solution_.moves.push_back(static_cast<uint8_t>(move));
  }

  // Counts an expansion; every so many, whether a stop or the deadline has come.
  bool timeToStop() {
    if (++sinceCheck_ < expansionsBetweenChecks) return false;
    sinceCheck_ = 0;
    return stopRequested(shared_.limits) || Clock::now() >= shared_.deadline;
  }

  // Counts an expansion; whether the search has run long enough for the next, wider beam.
  bool widerBeamDue() { return ++expansions_ == nextBeamAt_ && beamWidth_ < lastBeamWidth; }

  // A wider beam's answer replaces the best one when shorter, which lowers the cut. The beam
  // draws on what is left of the expansion budget, so that the budget alone decides the answer.
  void tightenWithWiderBeam() {
    nextBeamAt_ *= 16;
    beamWidth_ *= 16;
    SolveLimits beamLimits = shared_.limits;
    if (beamLimits.expansionLimit != 0) {
      if (expansionsSpent(beamLimits, solution_.expanded)) return;
      beamLimits.expansionLimit -= solution_.expanded;
    }
    const Solution wider = beamSearch(shared_.graph, beamWidth_, beamLimits, shared_.deadline);
    solution_.expanded += wider.expanded;
    if (wider.moves.size() >= upperBound_) return;
    upperBound_ = static_cast<uint32_t>(wider.moves.size());
    solution_.moves = wider.moves;
  }

  // The best answer, not proven, with the bound of the layer `f` the search reached.
  Solution ended(uint32_t f) {
    solution_.bound = std::max(startBound_, f);
    solution_.interrupted = stopRequested(shared_.limits);
    solution_.searchBytes = shared_.budget.used;
    return std::move(solution_);
  }

  SearchShared& shared_;
  const uint32_t colorCount_;

  // The rest is this search's own. The best answer so far, whose length is the cut, and the
  // bound of the start state.
  Solution solution_;
  const uint32_t startBound_;
  uint32_t upperBound_;
  // The analysis of the state being expanded; the states met, by node index, found by joined
  // set, and waiting by f and g.
  BitAnalysis<Words> analysis_;
  NodeStore<State> nodes_;
  StateTable table_;
  OpenList open_;
  // The node the last reach() pushed, and the node whose analyzeLevels the analysis holds.
  uint32_t lastPushed_ = noNode;
  uint32_t analysedLast_ = noNode;
  // When to look at the clock and when to run a wider beam.
  uint32_t sinceCheck_ = 0;
  uint64_t expansions_ = 0;
  uint64_t nextBeamAt_ = widerBeamAfter;
  uint32_t beamWidth_ = firstBeamWidth;
};

template <size_t Words>
Solution searchExactly(const RegionGraph& graph, const SolveLimits& limits,
                       Clock::time_point deadline, Solution beam) {
  SearchShared shared{graph, limits, deadline, MemoryBudget{limits.memoryLimitBytes}};
  return ExactSearch<Words>(shared, std::move(beam)).run();
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
  if (solution.interrupted || Clock::now() >= deadline ||
      expansionsSpent(limits, solution.expanded))
    return solution;
  // States round up to one of these sizes. Past the last, neighbour rows grow too large to pay,
  // and no search of that many regions would finish: the beam's answer stands, not proven.
  const size_t words = wordsFor(graph.regionCount());
  if (words <= 1) return searchExactly<1>(graph, limits, deadline, std::move(solution));
  if (words <= 2) return searchExactly<2>(graph, limits, deadline, std::move(solution));
  if (words <= 3) return searchExactly<3>(graph, limits, deadline, std::move(solution));
  if (words <= 4) return searchExactly<4>(graph, limits, deadline, std::move(solution));
  if (words <= 5) return searchExactly<5>(graph, limits, deadline, std::move(solution));
  if (words <= 6) return searchExactly<6>(graph, limits, deadline, std::move(solution));
  if (words <= 8) return searchExactly<8>(graph, limits, deadline, std::move(solution));
  if (words <= 12) return searchExactly<12>(graph, limits, deadline, std::move(solution));
  if (words <= 16) return searchExactly<16>(graph, limits, deadline, std::move(solution));
  if (words <= 24) return searchExactly<24>(graph, limits, deadline, std::move(solution));
  if (words <= 32) return searchExactly<32>(graph, limits, deadline, std::move(solution));
  return solution;
}
