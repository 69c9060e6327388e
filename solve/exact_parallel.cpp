// A* for one board on several threads, in rounds whose every step is a function of the search
// alone, never of the thread count or of timing. States belong to one of a fixed number of
// shards by their hash, each shard with its own nodes, table, open list and share of the memory
// budget. A round takes up to a fixed number of open states of the lowest f layer from each
// shard, deepest g first; the threads analyse them, which is most of the time, into a list of
// children per state; then each shard, claimed by one thread, files the children that belong
// to it into its table and open list, in the order of the round's states. So an expansion
// limit, a memory limit and the answers they cut short repeat exactly for any number of
// threads, and a thread's count changes only the wall time.
//
// Hash-distributed A*, with children sent to their owners through queues and every thread on
// its own, would spare the waits, but its order of expansions follows the timing of the
// threads, and a limited search could not be repeated. Here a round costs two short waits
// against five hundred analyses. (Larger rounds wait less, but what a round keeps for the next
// then falls out of the caches: twice this size took about 3% longer on hard boards.) In the
// layer that finds the answer, where one thread's deepest-first dive finds it in a few
// expansions, rounds start narrow.
//
// As in the one-thread search, most states taken are children of states expanded just before,
// in the last round: a round keeps the levels of the states it expands, from which the next
// round derives its states' levels. What a round keeps costs the search more in memory traffic
// than its waits, so it keeps no more, and a state is analysed first by the thread that kept
// its parent's levels, in whose cache they likely still are. In the last layer below the best
// answer, where most of the time goes on hard boards, a state is expanded together with every
// state below it that stays in the layer, depth first, as one thread would: a dive, whose
// levels stay in cache from one step down to the next.
//
// The bound need not be consistent (with far parts, solve/far_part.h, it is not). A child's f is
// raised to its parent's (pathmax: a parent needs at most one move more than its child, so the
// raised bound stays admissible), so the layers never go back, and a closed state reached again
// by a shorter path is reopened.
#include "solve/exact_parallel.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <memory>
#include <thread>

#include "solve/bit_analysis.h"
#include "solve/exact_store.h"
#include "solve/far_part.h"
#include "solve/rendezvous.h"
#include "solve/round_map.h"
#include "solve/search_common.h"
#include "solve/state_analysis.h"

namespace {

// Enough shards for 8 threads. Each holds an eighth of the memory budget, which must hold its
// first page of nodes: a few megabytes.
constexpr uint32_t shardBits = 3;
constexpr uint32_t shardCount = 1u << shardBits;
static_assert(shardCount <= 8, "a round state marks its children's shards in one byte");
constexpr uint32_t statesPerShard = 64;  // taken from each shard a round
// A layer's first rounds take a few states a shard, and then twice as many each round: the
// deepest-first dive that finds an answer, in the layer that holds one, stays nearly as narrow
// as one thread's, where full rounds would expand hundreds of states for each step down; the
// other layers, which are expanded whole, soon have full rounds.
constexpr uint32_t narrowStates = 2;
constexpr uint32_t narrowRounds = 16;
constexpr uint32_t roundStates = shardCount * statesPerShard;
// Local node indices leave the shard's bits free, and all ones stays noNode.
constexpr uint32_t localNodeLimit = (1u << (32 - shardBits)) - 1;
constexpr uint32_t statesPerClaim = 4;  // states a thread claims at once to analyse
constexpr uint32_t prefetchAhead = 4;   // round entries whose children's slots the filing asks for
constexpr uint32_t checkEveryDived = 1024;  // states a dive expands between looks at the clock
constexpr size_t smallSort = 32;            // children sorted in place, without a buffer

// The one-thread search's beams: wider ones as the search runs long (see exact.cpp).
constexpr uint32_t firstBeamWidth = 16;
constexpr uint64_t widerBeamAfter = 1 << 16;
constexpr uint32_t lastBeamWidth = 4096;

uint32_t shardOf(uint32_t hash) {
  return hash >> (32 - shardBits);
}

// What the last round left for a state's analysis: its parent's levels, kept when the parent
// was expanded, from which its own derive; and the thread that kept them, in whose cache they
// likely are.
template <size_t Words>
struct Origin {
  uint32_t g = 0;            // the depth it holds for
  uint32_t parent = noNode;  // whose levels they are
  const typename BitAnalysis<Words>::Kept* kept = nullptr;
  uint8_t thread = 0;
};

// A state taken for the round, and what the last round left for its analysis, if anything.
template <size_t Words>
struct Taken {
  uint32_t node;
  uint32_t g;
  Origin<Words> origin;
};

template <size_t Words>
struct Shard {
  using State = BitState<Words>;
  Shard(size_t bytes, uint32_t fLimit) : budget{bytes}, open(fLimit) {}
  MemoryBudget budget;
  NodeStore<State> nodes;
  StateTable table;
  OpenList open;
  std::vector<Taken<Words>> taken;  // this round's states, by global node
  // What the last round kept for the analyses of its states, by local node.
  RoundMap<Origin<Words>> origins;
  bool spent = false;  // its budget ran out
};

template <class State>
struct Child {
  State state;
  uint32_t hash;
  uint32_t f;
  uint8_t move;
  bool dived = false;  // expanded already, by its round state's dive
  uint16_t depth = 1;  // moves below its round state
};

// What a thread keeps through one state's dive down the last layer: the levels of the states on
// the way, from which their children's derive; the states the dive reached, by hash; and the
// moves from the round's state down to the one expanded.
template <size_t Words>
struct Dive {
  struct Reached {
    BitState<Words> state;
    uint32_t g;
    uint32_t next;  // 1 + the index of the next with the same hash, or 0
  };
  std::vector<typename BitAnalysis<Words>::Kept> levels;  // by depth below the round's state
  RoundMap<uint32_t> firstReached;                        // by hash: 1 + an index into reached
  std::vector<Reached> reached;
  std::vector<Child<BitState<Words>>> pending;  // the children of the states on the way
  std::vector<uint8_t> moves;
};

// A state taken for this round, with what its analysis found.
template <size_t Words>
struct RoundState {
  uint32_t node;
  uint32_t g;
  Origin<Words> origin;  // what its analysis starts from
  uint8_t analysedBy = 0;
  uint32_t dived = 0;               // states its dive expanded
  std::vector<uint8_t> completion;  // moves from it that complete the board, if any were found
  uint32_t raisedF = 0;             // its own bound's f, when above the layer: it waits there
  std::vector<Child<BitState<Words>>> children;  // grouped by shard, from shardBegin[s]
  std::array<uint32_t, shardCount + 1> shardBegin{};
  // Its own levels, when it is expanded outside the last layer, for its children's in the next
  // round, and the bytes they grew by, which its shard charges: apart, so that the filing,
  // which reads every entry once for each shard, reads small ones.
  bool keptLevels = false;
  std::unique_ptr<typename BitAnalysis<Words>::Kept> kept =
      std::make_unique<typename BitAnalysis<Words>::Kept>();
  size_t keptGrowth = 0;
};

enum class Step { going, nextLayer, finished };

template <size_t Words>
class ParallelSearch {
 public:
  using State = BitState<Words>;

  ParallelSearch(const RegionGraph& graph, const SolveLimits& limits, Clock::time_point deadline,
                 Solution start)
      : graph_(graph),
        limits_(limits),
        deadline_(deadline),
        threads_(std::clamp<uint32_t>(limits.searchThreads, 1, shardCount)),
        solution_(std::move(start)),
        startBound_(solution_.bound),
        upperBound_(static_cast<uint32_t>(solution_.moves.size())),
        layer_(startBound_),
        rendezvous_(threads_) {
    shards_.reserve(shardCount);
    for (uint32_t s = 0; s < shardCount; ++s)
      shards_.emplace_back(limits.memoryLimitBytes / shardCount, upperBound_);
    limitTaking();
    round_.resize(roundStates);
    lastRound_.resize(roundStates);
  }

  Solution run() {
    const uint32_t start = static_cast<uint32_t>(regionKey(startRegion));
    const BitAnalysis<Words> analysis(graph_);
    const bool started =
        std::all_of(shards_.begin(), shards_.end(),
                    [](Shard<Words>& shard) { return shard.table.init(shard.budget); }) &&
        reach(Child<State>{analysis.startState(startRegion), start, startBound_, 0}, noNode, 0,
              Origin<Words>{});
    if (!started) {
      cutShort();
      return std::move(solution_);
    }
    std::vector<std::thread> helpers;
    for (uint32_t t = 1; t < threads_; ++t) helpers.emplace_back([this, t] { work(t); });
    work(0);
    for (std::thread& helper : helpers) helper.join();
    return std::move(solution_);
  }

 private:
  // A shard's states for the next round are taken as soon as its children are filed, so that a
  // round has two waits: after its analyses, and after its filing.
  void work(uint32_t thread) {
    BitAnalysis<Words> analysis(graph_);
    Dive<Words> dive;
    FarPartBound<Words> farPart(graph_, solvedFarParts_);
    bool taken = false;
    for (;;) {
      if (!taken) {
        forEachClaimedShard(thread, [&](uint32_t s) { takeFrom(s); });
        rendezvous_.arrive([&] { gatherRound(); });
      }
      if (step_ == Step::finished) return;
      taken = step_ == Step::going;
      if (!taken) continue;  // the next layer
      analyseRound(thread, analysis, dive, farPart);
      rendezvous_.arrive([&] { noteCompletions(); });
      if (step_ == Step::finished) return;
      forEachClaimedShard(thread, [&](uint32_t s) {
        fileChildren(s);
        takeFrom(s);
      });
      rendezvous_.arrive([&] {
        closeRound();
        if (step_ != Step::finished) gatherRound();
      });
    }
  }

  // A thread works on its own shards first (s mod threads), whose nodes are likely in its
  // cache, and then helps with the others.
  template <class Visit>
  void forEachShardFirstOwn(uint32_t thread, Visit visit) {
    for (uint32_t s = thread; s < shardCount; s += threads_) visit(s);
    for (uint32_t s = 0; s < shardCount; ++s)
      if (s % threads_ != thread) visit(s);
  }

  // Each shard goes to one thread for the whole step, its own if free: what is done to a shard
  // is the same whichever thread does it.
  template <class Visit>
  void forEachClaimedShard(uint32_t thread, Visit visit) {
    forEachShardFirstOwn(thread, [&](uint32_t s) {
      if (!shardClaimed_[s].exchange(true, std::memory_order_relaxed)) visit(s);
    });
  }

  void releaseShards() {
    for (std::atomic<bool>& claimed : shardClaimed_)
      claimed.store(false, std::memory_order_relaxed);
  }

  // The shard's states of the current layer, deepest first.
  void takeFrom(uint32_t s) {
    Shard<Words>& shard = shards_[s];
    shard.taken.clear();
    uint32_t g = 0;
    uint32_t local = 0;
    while (shard.taken.size() < takeLimit_ && shard.open.pop(layer_, g, local)) {
      NodeInfo& info = shard.nodes.info(local);
      if (info.closed || info.g != g) continue;  // expanded already, or reached by a shorter way
      info.closed = true;
      Origin<Words> origin;
      if (const Origin<Words>* kept = shard.origins.find(local);
          kept != nullptr && kept->g == g && kept->parent == info.parent)
        origin = *kept;
      shard.taken.push_back({local << shardBits | s, g, origin});
    }
  }

  // Serial: the round's states, the shards' taken in shard order, or the next layer when the
  // current one is done.
  void gatherRound() {
    releaseShards();
    if (roundSize_ != 0) std::swap(round_, lastRound_);  // the last round's analyses stay
    roundSize_ = 0;
    for (const Shard<Words>& shard : shards_)
      roundSize_ += static_cast<uint32_t>(shard.taken.size());
    // A round cut by the expansion limit left states of its layer unexpanded: the layer may not
    // be taken as done, nor the answer as proven.
    if (roundCut_) return cutShort();
    if (roundSize_ == 0) {
      // A kept analysis looked for a lift only where its bound fit the layer done.
      for (Shard<Words>& shard : shards_) shard.origins.clear();
      if (++layer_ < upperBound_) {
        step_ = Step::nextLayer;
        layerRounds_ = 0;
        limitTaking();
      } else {
        proven();
      }
      return;
    }
    if (expansionsSpent(limits_, solution_.expanded)) return cutShort();
    if (limits_.expansionLimit != 0 && roundSize_ > limits_.expansionLimit - solution_.expanded) {
      roundCut_ = true;
      roundSize_ = static_cast<uint32_t>(limits_.expansionLimit - solution_.expanded);
    }
    // The round's states, in shard order. Each goes first to the thread that kept what its
    // analysis starts from, else to its shard's, whose nodes that thread filed. Their entries
    // are written by the threads that analyse them, not here, so that they need not pass from
    // this thread's cache to theirs.
    for (std::vector<uint32_t>& entries : threadEntries_) entries.clear();
    uint32_t i = 0;
    for (uint32_t s = 0; s < shardCount && i < roundSize_; ++s) {
      shardRoundBegin_[s] = i;
      for (const Taken<Words>& taken : shards_[s].taken) {
        if (i == roundSize_) break;
        const uint32_t thread = taken.origin.kept != nullptr ? taken.origin.thread : s % threads_;
        threadEntries_[thread].push_back(i++ << shardBits | s);
      }
    }
    for (uint32_t t = 0; t < threads_; ++t) nextOfThread_[t].store(0, std::memory_order_relaxed);
    step_ = Step::going;
  }

  // The thread's own states of the round, a few at a time, and then the others' still left.
  void analyseRound(uint32_t thread, BitAnalysis<Words>& analysis, Dive<Words>& dive,
                    FarPartBound<Words>& farPart) {
    uint32_t raised = 0;
    uint64_t dived = 0;
    for (uint32_t k = 0; k < threads_; ++k) {
      const uint32_t t = (thread + k) % threads_;
      const std::vector<uint32_t>& entries = threadEntries_[t];
      const uint32_t end = static_cast<uint32_t>(entries.size());
      for (;;) {
        const uint32_t first =
            nextOfThread_[t].fetch_add(statesPerClaim, std::memory_order_relaxed);
        if (first >= end) break;
        for (uint32_t j = first; j < std::min(first + statesPerClaim, end); ++j) {
          const uint32_t i = entries[j] >> shardBits;
          const uint32_t s = entries[j] & (shardCount - 1);
          const Taken<Words>& taken = shards_[s].taken[i - shardRoundBegin_[s]];
          RoundState<Words>& entry = round_[i];
          entry.node = taken.node;
          entry.g = taken.g;
          entry.origin = taken.origin;
          entry.analysedBy = static_cast<uint8_t>(thread);
          analyse(analysis, dive, farPart, entry);
          // Its own shard files it, taken to be expanded or to wait in a higher layer.
          childShards_[i] =
              static_cast<uint8_t>(groupByShard(entry) | 1u << (entry.node & (shardCount - 1)));
          raised += entry.raisedF != 0;
          dived += entry.dived;
        }
      }
    }
    raisedInRound_.fetch_add(raised, std::memory_order_relaxed);
    divedInRound_.fetch_add(dived, std::memory_order_relaxed);
  }

  // The children of one state that can still beat the best answer, with their f raised to at
  // least the layer's.
  void analyse(BitAnalysis<Words>& analysis, Dive<Words>& dive, FarPartBound<Words>& farPart,
               RoundState<Words>& entry) {
    entry.completion.clear();
    entry.dived = 0;
    entry.raisedF = 0;
    entry.children.clear();
    entry.keptLevels = false;
    entry.keptGrowth = 0;
    const State& state = stateOf(entry.node);
    const uint32_t hash = infoOf(entry.node).hash;
    const uint32_t f = layer_;
    const uint32_t g = entry.g;
    const uint32_t colorCount = graph_.colorCount;
    // A state enters with the bound its parent's summary gives; its own, or its far part's, may
    // be higher, and then it waits in that layer instead of being expanded now. Its shard files
    // it again.
    analyzeLevels(analysis, entry);
    const uint32_t ownBound = boundOf(analysis, farPart, g);
    if (g + ownBound > f) {
      entry.raisedF = g + ownBound;
      return;
    }
    if (f + 1 == upperBound_) {
      diveFrom(analysis, dive, farPart, entry, state, hash);
      return;
    }
    // Its levels, for its children's in the next round; its shard charges what they grew by.
    entry.keptGrowth += analysis.keep(*entry.kept);
    entry.keptLevels = true;
    const StateSummary& summary = analysis.completeAnalysis(state);
    forEachUsefulMove(
        summary, colorCount,
        [&](uint32_t move) {
          if (entry.completion.empty()) entry.completion.push_back(static_cast<uint8_t>(move));
          completionSeen_.store(true, std::memory_order_relaxed);
          return true;
        },
        [&](uint32_t move, uint32_t childBound) {
          const uint32_t childF = std::max(g + 1 + childBound, f);
          if (childF < upperBound_)
            entry.children.push_back({analysis.child(state, move),
                                      hash ^ static_cast<uint32_t>(summary.colors[move].keys),
                                      childF, static_cast<uint8_t>(move)});
          return true;
        });
  }

  // In the last layer below the best answer, one thread's search goes on from a state to its
  // children, deepest first, while their parents' levels are still in its cache; rounds would
  // take each step down a round later, from levels long out of it. So a state of that layer is
  // expanded with every state below it that stays in the layer (children whose own bound keeps
  // them in it), but for those a round before stored as deep or less and those the dive reached
  // so already. A completion, the first in move order, ends the dive and the search. The states
  // it expands are filed closed, so that no later dive expands them again; dives of one round
  // may expand the same state, as each sees only the tables as the round found them.
  void diveFrom(BitAnalysis<Words>& analysis, Dive<Words>& dive, FarPartBound<Words>& farPart,
                RoundState<Words>& entry, const State& state, uint32_t hash) {
    dive.firstReached.clear();
    dive.reached.clear();
    dive.pending.clear();
    dive.moves.clear();
    expandInDive(analysis, dive, farPart, entry, state, hash, entry.g, 0);
  }

  // Expands a state of the dive, `depth` moves below the round's, whose levels the analysis
  // holds; true when the dive is over: a completion found, or the search out of time.
  bool expandInDive(BitAnalysis<Words>& analysis, Dive<Words>& dive, FarPartBound<Words>& farPart,
                    RoundState<Words>& entry, const State& state, uint32_t hash, uint32_t g,
                    uint32_t depth) {
    const uint32_t f = layer_;
    const uint32_t colorCount = graph_.colorCount;
    if (entry.dived % checkEveryDived == checkEveryDived - 1 &&
        (stopRequested(limits_) || Clock::now() >= deadline_))
      return true;  // the round's end cuts the search short
    // What a dive holds is charged when its states are filed: one that grows past a shard's
    // budget ends the search as a full shard would.
    if (entry.children.size() * sizeof(Child<State>) +
            dive.reached.size() * sizeof(dive.reached[0]) >
        limits_.memoryLimitBytes / shardCount) {
      diveSpent_.store(true, std::memory_order_relaxed);
      return true;
    }
    if (dive.levels.size() == depth) dive.levels.emplace_back();
    analysis.keep(dive.levels[depth]);
    const size_t first = dive.pending.size();
    const auto addChild = [&](uint32_t move, uint64_t key) {
      dive.pending.push_back({analysis.child(state, move), hash ^ static_cast<uint32_t>(key), f,
                              static_cast<uint8_t>(move), true, static_cast<uint16_t>(depth + 1)});
    };
    const StateSummary& levels = analysis.lastSummary();
    if (forcedColor(levels, colorCount) < 0) {
      const uint32_t moves = analysis.movesLoweringBound(f - g);
      for (uint32_t m = moves; m != 0; m &= m - 1) {
        const uint32_t c = static_cast<uint32_t>(std::countr_zero(m));
        addChild(c, levels.colors[c].keys);
      }
    } else {
      const StateSummary& summary = analysis.completeAnalysis(state);
      const bool completes = !forEachUsefulMove(
          summary, colorCount,
          [&](uint32_t move) {
            entry.completion = dive.moves;
            entry.completion.push_back(static_cast<uint8_t>(move));
            completionSeen_.store(true, std::memory_order_relaxed);
            return false;
          },
          [&](uint32_t move, uint32_t childBound) {
            if (g + 1 + childBound < upperBound_) addChild(move, summary.colors[move].keys);
            return true;
          });
      if (completes) return true;
    }
    const size_t end = dive.pending.size();
    for (size_t k = first; k < end; ++k)
      shards_[shardOf(dive.pending[k].hash)].table.prefetch(dive.pending[k].hash);
    for (size_t k = first; k < end; ++k) {
      const Child<State> child = dive.pending[k];  // a copy: deeper states add to the list
      if (storedNoDeeper(child.state, child.hash, g + 1) ||
          !reachedFirst(dive, child.state, child.hash, g + 1))
        continue;
      analysis.analyzeChildLevels(dive.levels[depth], child.state, child.move, f - g - 1);
      if (g + 1 + boundOf(analysis, farPart, g + 1) > f) continue;
      entry.children.push_back(child);
      ++entry.dived;
      dive.moves.push_back(child.move);
      if (expandInDive(analysis, dive, farPart, entry, child.state, child.hash, g + 1, depth + 1))
        return true;
      dive.moves.pop_back();
    }
    dive.pending.resize(first);
    return false;
  }

  // The bound of the state the analysis holds the levels of, at depth g: its own, or its far
  // part's when higher, which is only looked for while the state fits the layer.
  uint32_t boundOf(const BitAnalysis<Words>& analysis, FarPartBound<Words>& farPart, uint32_t g) {
    const uint32_t own = lowerBound(analysis.lastSummary(), graph_.colorCount);
    if (g + own > layer_ || !limits_.farParts || searchExpanded_ < farPartsAfter) return own;
    return std::max(own, farPart(analysis, limits_, deadline_));
  }

  // Whether the dive reaches the state first, or at a smaller depth than before; notes it.
  static bool reachedFirst(Dive<Words>& dive, const State& state, uint32_t hash, uint32_t g) {
    uint32_t& head = dive.firstReached[hash == noNode ? 0 : hash];
    for (uint32_t i = head; i != 0; i = dive.reached[i - 1].next) {
      typename Dive<Words>::Reached& reached = dive.reached[i - 1];
      if (!sameBits(reached.state.joined, state.joined)) continue;
      if (reached.g <= g) return false;
      reached.g = g;
      return true;
    }
    dive.reached.push_back({state, g, head});
    head = static_cast<uint32_t>(dive.reached.size());
    return true;
  }

  // Sorts the entry's children by shard, in their order within one, so that each shard's filing
  // reads only its own; the shards they belong to, one bit each.
  static uint32_t groupByShard(RoundState<Words>& entry) {
    std::vector<Child<State>>& children = entry.children;
    const auto byShard = [](const Child<State>& a, const Child<State>& b) {
      return shardOf(a.hash) < shardOf(b.hash);
    };
    if (children.size() > smallSort) {  // a long dive's
      std::stable_sort(children.begin(), children.end(), byShard);
    } else {
      for (size_t i = 1; i < children.size(); ++i)
        for (size_t j = i; j > 0 && byShard(children[j], children[j - 1]); --j)
          std::swap(children[j - 1], children[j]);
    }
    size_t k = 0;
    uint32_t shards = 0;
    for (uint32_t s = 0; s <= shardCount; ++s) {
      while (k < children.size() && shardOf(children[k].hash) < s) ++k;
      entry.shardBegin[s] = static_cast<uint32_t>(k);
      if (s > 0 && entry.shardBegin[s - 1] < k) shards |= 1u << (s - 1);
    }
    return shards;
  }

  // Whether `state` is stored at depth g or less. Only while the tables stand still.
  bool storedNoDeeper(const State& state, uint32_t hash, uint32_t g) {
    Shard<Words>& shard = shards_[shardOf(hash)];
    size_t slot = 0;
    const uint32_t local = shard.table.find(hash, state, shard.nodes, slot);
    return local != noNode && shard.nodes.info(local).g <= g;
  }

  // The state's analyzeLevels: derived from its parent's when the last round expanded that, and
  // afresh otherwise. Only a bound that just fits the layer is looked at for a lift, the one
  // thing a lift could change.
  const StateSummary& analyzeLevels(BitAnalysis<Words>& analysis, const RoundState<Words>& entry) {
    const uint32_t liftAt = layer_ - entry.g;
    const Origin<Words>& origin = entry.origin;
    if (origin.kept != nullptr)
      return analysis.analyzeChildLevels(*origin.kept, stateOf(entry.node), infoOf(entry.node).move,
                                         liftAt);
    return analysis.analyzeLevels(stateOf(entry.node), liftAt);
  }

  // Serial: the first shortest completion of the round, in round order, becomes the best answer.
  // Completions are rare: the round's states are read here only when one was seen, or when the
  // round's dives went past an expansion limit. The expansions counted are then the first the
  // limit allows, in round order, each state's followed by its dive's, and only the completions
  // among them.
  void noteCompletions() {
    releaseShards();
    const bool seen = completionSeen_.exchange(false, std::memory_order_relaxed);
    const uint32_t raised = raisedInRound_.exchange(0, std::memory_order_relaxed);
    uint64_t expanded = roundSize_ + divedInRound_.exchange(0, std::memory_order_relaxed);
    const uint64_t left =
        limits_.expansionLimit == 0 ? expanded : limits_.expansionLimit - solution_.expanded;
    if (seen || expanded > left) {
      uint64_t counted = 0;
      uint32_t i = 0;
      for (; i < roundSize_ && counted < left; ++i) {
        const RoundState<Words>& entry = round_[i];
        const uint64_t diveLeft = left - counted - 1;
        counted += 1 + std::min<uint64_t>(entry.dived, diveLeft);
        if (entry.completion.empty() || entry.dived > diveLeft ||
            entry.g + entry.completion.size() >= upperBound_)
          continue;
        // A reopened state's parents may have shorter paths than its g counts.
        solution_.moves = pathTo(entry.node);
        solution_.moves.insert(solution_.moves.end(), entry.completion.begin(),
                               entry.completion.end());
        upperBound_ = static_cast<uint32_t>(solution_.moves.size());
      }
      if (expanded > left) {
        roundSize_ = i;  // the limit is spent: the next round ends the search
        roundCut_ = true;
        expanded = counted;
      }
    }
    solution_.expanded += expanded;
    // The beams' schedule counts the states expanded, as the one-thread search does, not those
    // that only went up a layer.
    searchExpanded_ += expanded - std::min<uint64_t>(raised, expanded);
    if (upperBound_ <= layer_) proven();  // every shorter answer was ruled out by the layers
    ++layerRounds_;
    limitTaking();
  }

  // How many states the next round takes from each shard.
  void limitTaking() {
    const uint32_t doublings =
        layerRounds_ < narrowRounds ? 0 : std::min(layerRounds_ - narrowRounds, 7u);
    takeLimit_ = std::min(statesPerShard, narrowStates << doublings);
  }

  // The children that belong to shard s, in round order.
  void fileChildren(uint32_t s) {
    Shard<Words>& shard = shards_[s];
    shard.origins.clear();  // the last round's, taken by now
    for (uint32_t i = 0; i < roundSize_; ++i) {
      if (i + prefetchAhead < roundSize_) prefetchSlots(i + prefetchAhead, s);
      if (((childShards_[i] >> s) & 1) == 0) continue;
      const RoundState<Words>& parent = round_[i];
      const bool own = (parent.node & (shardCount - 1)) == s;
      if ((parent.raisedF != 0 && !fileAgain(parent)) ||
          (own && !shard.budget.take(parent.keptGrowth))) {
        shards_[s].spent = true;
        return;
      }
      for (uint32_t k = parent.shardBegin[s]; k < parent.shardBegin[s + 1]; ++k) {
        const Child<State>& child = parent.children[k];
        if (child.f >= upperBound_) continue;
        if (!reach(child, parent.node, parent.g + child.depth, keptFor(parent))) {
          shards_[s].spent = true;
          return;
        }
      }
    }
  }

  // What the child's analysis may start from: its parent's levels, if kept.
  static Origin<Words> keptFor(const RoundState<Words>& parent) {
    if (!parent.keptLevels) return {};
    return {parent.g + 1, parent.node, parent.kept.get(), parent.analysedBy};
  }

  // The table slots of an entry's children in shard s, asked for a few entries before they
  // are filed.
  void prefetchSlots(uint32_t i, uint32_t s) const {
    if (((childShards_[i] >> s) & 1) == 0) return;
    const RoundState<Words>& entry = round_[i];
    for (uint32_t k = entry.shardBegin[s]; k < entry.shardBegin[s + 1]; ++k)
      shards_[s].table.prefetch(entry.children[k].hash);
  }

  // A state taken but not expanded, as its own bound is above the layer, waits in that layer;
  // false when its shard's budget is spent.
  bool fileAgain(const RoundState<Words>& entry) {
    Shard<Words>& shard = shards_[entry.node & (shardCount - 1)];
    const uint32_t local = entry.node >> shardBits;
    NodeInfo& info = shard.nodes.info(local);
    if (info.g != entry.g) return true;  // reached by a shorter path this round: filed already
    info.closed = false;
    return entry.raisedF >= upperBound_ ||
           shard.open.push(entry.raisedF, entry.g, local, shard.budget);
  }

  // Serial: the limits, and a wider beam when the search has run long.
  void closeRound() {
    releaseShards();
    const bool spent = diveSpent_.load(std::memory_order_relaxed) ||
                       std::any_of(shards_.begin(), shards_.end(),
                                   [](const Shard<Words>& shard) { return shard.spent; });
    if (spent || stopRequested(limits_) || Clock::now() >= deadline_) return cutShort();
    if (beam_.joinable() && searchExpanded_ >= beamDueAt_) takeBeamsAnswer();
    if (searchExpanded_ >= nextBeamAt_ && beamWidth_ < lastBeamWidth) startWiderBeam();
    if (upperBound_ <= layer_) proven();
  }

  // Adds the child's state to its shard, or lowers its g, reopening it if it was expanded, with
  // what its analysis may start from; false when the shard's budget is spent.
  bool reach(const Child<State>& child, uint32_t parent, uint32_t g, const Origin<Words>& origin) {
    Shard<Words>& shard = shards_[shardOf(child.hash)];
    size_t slot = 0;
    uint32_t local = shard.table.find(child.hash, child.state, shard.nodes, slot);
    // A state a dive expanded is stored closed, with the round's state as its parent: never
    // followed, as nothing it leads to is stored open, and a shorter path replaces it.
    const NodeInfo info{child.hash, parent, static_cast<uint16_t>(g), child.move, child.dived};
    if (local != noNode) {
      NodeInfo& known = shard.nodes.info(local);
      if (known.g == g && known.parent == parent) note(shard, local, origin);
      if (known.g <= g) return true;
      known = info;
    } else {
      local = shard.nodes.add(shard.budget);
      if (local >= localNodeLimit) return false;
      shard.nodes.state(local) = child.state;
      shard.nodes.info(local) = info;
      if (!shard.table.insert(slot, child.hash, local, shard.budget)) return false;
    }
    if (child.dived) return true;
    // Anything noted at the state's old depth no longer fits it.
    if (origin.kept != nullptr) shard.origins[local] = origin;
    return shard.open.push(child.f, g, local, shard.budget);
  }

  // Notes what the analysis of a state stored at the origin's depth may start from, unless
  // something is noted for that depth already.
  static void note(Shard<Words>& shard, uint32_t local, const Origin<Words>& origin) {
    if (origin.kept == nullptr) return;
    Origin<Words>& noted = shard.origins[local];
    if (noted.kept == nullptr || noted.g != origin.g) noted = origin;
  }

  // A wider beam's answer replaces the best one when shorter, as in the one-thread search.
  // Without an expansion limit the beam runs beside the search, and its answer is taken once the
  // search has expanded a quarter as many states again (waiting for it if need be), so that no
  // answer depends on timing. Under a limit it runs at once, on the budget left, which keeps
  // the count exact.
  void startWiderBeam() {
    const uint32_t width = beamWidth_ *= 16;
    beamDueAt_ = searchExpanded_ + nextBeamAt_ / 4;
    nextBeamAt_ *= 16;
    if (beam_.joinable()) takeBeamsAnswer();
    if (limits_.expansionLimit == 0) {
      beamLimits_ = limits_;
      beamLimits_.stop = &beamStop_;
      beam_ = std::thread(
          [this, width] { beamAnswer_ = beamSearch(graph_, width, beamLimits_, deadline_); });
      return;
    }
    if (expansionsSpent(limits_, solution_.expanded)) return;
    SolveLimits beamLimits = limits_;
    beamLimits.expansionLimit -= solution_.expanded;
    beamAnswer_ = beamSearch(graph_, width, beamLimits, deadline_);
    takeBeamsAnswer();
  }

  void takeBeamsAnswer() {
    if (beam_.joinable()) beam_.join();
    solution_.expanded += beamAnswer_.expanded;
    if (beamAnswer_.moves.size() >= upperBound_) return;
    upperBound_ = static_cast<uint32_t>(beamAnswer_.moves.size());
    solution_.moves = std::move(beamAnswer_.moves);
  }

  // A beam still running when the search ends is stopped: its answer cannot beat a proven
  // optimum, and a search cut short ends at once, with the beam's best so far if shorter.
  void stopBeam(bool takeAnswer) {
    if (!beam_.joinable()) return;
    beamStop_ = true;
    if (takeAnswer) {
      takeBeamsAnswer();
    } else {
      beam_.join();
    }
  }

  void proven() {
    stopBeam(false);
    solution_.proven = true;
    solution_.searchBytes = bytesHeld();
    step_ = Step::finished;
  }

  // The best answer, not proven, with the bound of the layer the search reached.
  void cutShort() {
    stopBeam(true);
    solution_.bound = std::max(startBound_, layer_);
    solution_.interrupted = stopRequested(limits_);
    solution_.searchBytes = bytesHeld();
    step_ = Step::finished;
  }

  size_t bytesHeld() const {
    size_t bytes = 0;
    for (const Shard<Words>& shard : shards_) bytes += shard.budget.used;
    return bytes;
  }

  std::vector<uint8_t> pathTo(uint32_t node) {
    std::vector<uint8_t> moves;
    for (; infoOf(node).parent != noNode; node = infoOf(node).parent)
      moves.push_back(infoOf(node).move);
    std::reverse(moves.begin(), moves.end());
    return moves;
  }

  NodeInfo& infoOf(uint32_t node) {
    return shards_[node & (shardCount - 1)].nodes.info(node >> shardBits);
  }
  State& stateOf(uint32_t node) {
    return shards_[node & (shardCount - 1)].nodes.state(node >> shardBits);
  }

  const RegionGraph& graph_;
  const SolveLimits& limits_;
  const Clock::time_point deadline_;
  const uint32_t threads_;

  // Written only in the serial steps, read by every thread between them.
  Solution solution_;
  const uint32_t startBound_;
  uint32_t upperBound_;
  uint32_t layer_;
  Step step_ = Step::going;
  uint32_t roundSize_ = 0;
  uint32_t takeLimit_ = statesPerShard;  // states taken from each shard a round
  uint32_t layerRounds_ = 0;             // rounds taken so far in the layer
  uint64_t searchExpanded_ = 0;  // by the A* alone, raised states not counted: the beams' schedule
  uint64_t nextBeamAt_ = widerBeamAfter;
  uint32_t beamWidth_ = firstBeamWidth;

  std::vector<Shard<Words>> shards_;          // each written by its own thread only
  std::vector<RoundState<Words>> round_;      // entry i written by the thread analysing it
  std::vector<RoundState<Words>> lastRound_;  // whose kept analyses this round takes back
  // The shards each round entry's filing touches, one bit each: apart, as every shard reads
  // them.
  std::array<uint8_t, roundStates> childShards_{};
  std::atomic<uint32_t> raisedInRound_{0};   // entries whose own bound was above the layer
  std::atomic<uint64_t> divedInRound_{0};    // states expanded by the round's dives
  bool roundCut_ = false;                    // the expansion limit cut the last round short
  std::atomic<bool> diveSpent_{false};       // a dive grew past a shard's budget
  std::atomic<bool> completionSeen_{false};  // in this round's analyses
  std::array<std::atomic<bool>, shardCount> shardClaimed_{};  // in a step by shards
  std::array<uint32_t, shardCount> shardRoundBegin_{};  // the round's first entry of each shard
  // The round's entries each thread analyses first, with their shards, and the next of them to
  // claim.
  std::array<std::vector<uint32_t>, shardCount> threadEntries_;
  std::array<std::atomic<uint32_t>, shardCount> nextOfThread_{};
  // The wider beam running beside the search, and when its answer is due.
  std::thread beam_;
  SolveLimits beamLimits_;
  std::atomic<bool> beamStop_{false};
  Solution beamAnswer_;
  uint64_t beamDueAt_ = 0;  // by searchExpanded_
  Rendezvous rendezvous_;
  SolvedFarParts<Words> solvedFarParts_;  // by all threads
};

}  // namespace

template <size_t Words>
Solution searchInParallel(const RegionGraph& graph, const SolveLimits& limits,
                          Clock::time_point deadline, Solution beam) {
  return ParallelSearch<Words>(graph, limits, deadline, std::move(beam)).run();
}

// The state sizes exact.cpp dispatches to.
template Solution searchInParallel<1>(const RegionGraph&, const SolveLimits&, Clock::time_point,
                                      Solution);
template Solution searchInParallel<2>(const RegionGraph&, const SolveLimits&, Clock::time_point,
                                      Solution);
template Solution searchInParallel<3>(const RegionGraph&, const SolveLimits&, Clock::time_point,
                                      Solution);
template Solution searchInParallel<4>(const RegionGraph&, const SolveLimits&, Clock::time_point,
                                      Solution);
template Solution searchInParallel<5>(const RegionGraph&, const SolveLimits&, Clock::time_point,
                                      Solution);
template Solution searchInParallel<6>(const RegionGraph&, const SolveLimits&, Clock::time_point,
                                      Solution);
template Solution searchInParallel<8>(const RegionGraph&, const SolveLimits&, Clock::time_point,
                                      Solution);
template Solution searchInParallel<12>(const RegionGraph&, const SolveLimits&, Clock::time_point,
                                       Solution);
template Solution searchInParallel<16>(const RegionGraph&, const SolveLimits&, Clock::time_point,
                                       Solution);
template Solution searchInParallel<24>(const RegionGraph&, const SolveLimits&, Clock::time_point,
                                       Solution);
template Solution searchInParallel<32>(const RegionGraph&, const SolveLimits&, Clock::time_point,
                                       Solution);
