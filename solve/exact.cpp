// A* over joined sets with the deadline bound, cut at the length of a beam's answer. The open
// list is a bucket queue by f = g + h, deepest g first within a bucket. A child enters with the
// bound its parent's summary gives it; its own analysis, when it is taken, may raise that, and
// so may its far part's optimum (solve/far_part.h), and then it waits in the higher bucket. The
// bound is admissible but not consistent (a raised deadline can fall by two in a move, a far
// part's optimum by more), so f never falls below the parent's (pathmax), and a
// closed state reached by a shorter path opens again: every f stays a lower bound on a path
// through the state, and a state on an optimal path is always waiting with its best g.
// Restricting a state to its never-worse colour keeps an optimal path from every state.
#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <utility>

#include "solve/bit_analysis.h"
#include "solve/exact_parallel.h"
#include "solve/exact_store.h"
#include "solve/far_part.h"
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
// A far part's own search: the most it may expand and hold. Far parts of the searches measured
// need a few hundred expansions, a few thousand at most.
constexpr uint64_t farPartExpansions = 50'000;
constexpr size_t farPartBytes = size_t{32} << 20;

// What one exact solve reads and draws on: its inputs, its deadline and its memory. Everything
// else in ExactSearch belongs to the one search; workers on several threads would share these.
struct SearchShared {
  const RegionGraph& graph;
  const SolveLimits& limits;
  Clock::time_point deadline;
  MemoryBudget budget;
  bool farParts;  // whether states are bounded by their far parts too; never in a far part's
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
        open_(upperBound_),
        expandedAt_(upperBound_) {}

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
        const StateSummary& levels = analyzeLevels(node, info, f);
        uint32_t ownF = g + lowerBound(levels, colorCount_);
        if (ownF <= f && farPart_ && expansions_ >= farPartsAfter)
          ownF = std::max(ownF, g + (*farPart_)(analysis_, shared_.limits, shared_.deadline));
        if (ownF > f) {  // its own bound is above the one it entered with
          if (ownF < upperBound_ && !open_.push(ownF, g, node, shared_.budget)) return ended(f);
          if (timeToStop()) return ended(f);  // a far part's search may have taken a while
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
        expandedAt_[g].node = node;
        expandedAt_[g].childCount = 0;
        if (!keepAnalysis(expandedAt_[g].kept) || !expand(node, g, f, levels)) return ended(f);
      }
    }
    solution_.proven = true;
    solution_.searchBytes = shared_.budget.used;
    return std::move(solution_);
  }

 private:
  // The analyzeLevels of a state about to be taken. The search goes deepest first, so most
  // states taken are children of the state expanded last at the depth above, whose levels their
  // own derive from; the analysis still holds the child analysed last. Only a bound that just
  // fits layer f needs to be looked at for a lift.
  const StateSummary& analyzeLevels(uint32_t node, const NodeInfo& info, uint32_t f) {
    const uint32_t last = std::exchange(analysedLast_, noNode);
    if (node == last) return analysis_.lastSummary();
    if (info.g > 0 && expandedAt_[info.g - 1].node == info.parent) {
      const Expanded& parent = expandedAt_[info.g - 1];
      for (uint32_t i = 0; i < parent.childCount; ++i)
        if (parent.childNodes[i] == node) return analysis_.restore(parent.children[i]);
      return analysis_.analyzeChildLevels(parent.kept, nodes_.state(node), info.move, f - info.g);
    }
    return analysis_.analyzeLevels(nodes_.state(node), f - info.g);
  }

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
    for (uint32_t i = 0; i < children.count; ++i) {
      bool analysed = false;
      const auto boundDrops = [&] {
        analysed = true;
        const StateSummary& own = analysis_.analyzeChildLevels(
            expandedAt_[g].kept, children.states[i], children.moves[i], f - g - 1);
        return g + 1 + lowerBound(own, colorCount_) <= f;
      };
      if (!reach(children.states[i], children.hashes[i], node, children.moves[i], g + 1, f,
                 boundDrops))
        return false;
      if (!analysed) continue;
      analysedLast_ = lastPushed_;
      if (lastPushed_ == noNode) continue;
      Expanded& parent = expandedAt_[g];
      if (parent.children.size() == parent.childCount) parent.children.emplace_back();
      if (!keepAnalysis(parent.children[parent.childCount])) return false;
      parent.childNodes[parent.childCount++] = lastPushed_;
    }
    return true;
  }

  // Keeps the analysis's state in `kept`; false when the memory budget has no room for it.
  bool keepAnalysis(typename BitAnalysis<Words>::Kept& kept) {
    const size_t grown = analysis_.keep(kept);
    return grown == 0 || shared_.budget.take(grown);
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

  // Counts a state taken; every so many, whether a stop or the deadline has come.
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
  // A far part's own search has neither.
  std::unique_ptr<SolvedFarParts<Words>> solvedFarParts_ =
      shared_.farParts ? std::make_unique<SolvedFarParts<Words>>() : nullptr;
  std::optional<FarPartBound<Words>> farPart_ =
      solvedFarParts_ ? std::make_optional<FarPartBound<Words>>(shared_.graph, *solvedFarParts_)
                      : std::nullopt;
  NodeStore<State> nodes_;
  StateTable table_;
  OpenList open_;
  // Per depth, the state expanded last there, with its levels.
  struct Expanded {
    uint32_t node = noNode;
    typename BitAnalysis<Words>::Kept kept;
    // In the last layer, the children it stored, each analysed before it was.
    std::array<uint32_t, maxColors> childNodes;
    std::vector<typename BitAnalysis<Words>::Kept> children;
    uint32_t childCount = 0;
  };
  std::vector<Expanded> expandedAt_;
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
  if (limits.searchThreads > 1)
    return searchInParallel<Words>(graph, limits, deadline, std::move(beam));
  SearchShared shared{graph, limits, deadline, MemoryBudget{limits.memoryLimitBytes},
                      limits.farParts};
  return ExactSearch<Words>(shared, std::move(beam)).run();
}

}  // namespace

uint32_t farPartMoves(const RegionGraph& part, const SolveLimits& limits,
                      Clock::time_point deadline) {
  static_assert(farPartMaxRegions < 128, "a far part's search runs on two words at most");
  Solution start;
  start.moves = areaMovesFrom(part, startState(part));
  start.bound = startLowerBound(part);
  if (start.moves.size() == start.bound) return start.bound;
  SolveLimits own;
  own.expansionLimit = farPartExpansions;
  own.memoryLimitBytes = farPartBytes;
  own.stop = limits.stop;
  SearchShared shared{part, own, deadline, MemoryBudget{own.memoryLimitBytes}, false};
  const Solution solved = part.regionCount() <= 64 ? ExactSearch<1>(shared, std::move(start)).run()
                                                   : ExactSearch<2>(shared, std::move(start)).run();
  return solved.proven ? static_cast<uint32_t>(solved.moves.size()) : solved.bound;
}

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
