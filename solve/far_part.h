// A second bound for the exact search, from a state's far part: the regions at distance t or
// more from its joined set. After t - 1 moves everything joined lies nearer than t, and a larger
// joined set never needs more moves than a smaller one inside it (each move joins at least what
// it joins from the smaller), so the state needs at least t - 1 moves plus the fewest that flood
// the far part with everything nearer joined. That count is a small exact search of its own.
//
// The deadline bound sees one colour's last move at a time; a far part's own optimum sees that
// its branches rarely share their colours, which on boards of many colours is worth several
// moves. And far parts recur: the states of one search share a few thousand of them, so each is
// solved once and kept.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

#include "solve/bit_analysis.h"
#include "solve/region_graph.h"
#include "solve/solver.h"
#include "solve/state_analysis.h"

// The far parts solved hold at most this many regions, and at most half of the state's: a far
// part nearly as large as the state costs as much to solve as the state itself.
inline constexpr uint32_t farPartMaxRegions = 120;

// A search looks at far parts only once it has expanded this many states: most boards of few
// colours are proven before far parts would repay their own searches.
inline constexpr uint64_t farPartsAfter = 4096;

// The region graph of a far part: region 0 stands for everything nearer, joined; the far
// regions, ascending, follow it in that order.
RegionGraph farPartGraph(const RegionGraph& graph, std::span<const uint32_t> farRegions);

// The fewest moves that flood `part` from its region 0, or a lower bound on them when the far
// part's own expansion budget, `limits.stop` or `deadline` ends its search first. The same far
// part always gives the same answer, but for a stop or the deadline.
uint32_t farPartMoves(const RegionGraph& part, const SolveLimits& limits,
                      Clock::time_point deadline);

// The far parts one search has solved, by their Zobrist keys, shared by its threads: locked in
// stripes, so that threads rarely wait for each other. A far part's answer depends on nothing
// else, so which thread solved it first changes no search.
template <size_t Words>
class SolvedFarParts {
 public:
  // The moves of far part `far`, or nothing when it has not been solved.
  std::optional<uint32_t> find(uint64_t key, const Bits<Words>& far) const {
    const Stripe& stripe = stripes_[key % stripeCount];
    const std::lock_guard lock(stripe.mutex);
    const auto found = stripe.known.find(key);
    if (found == stripe.known.end() || found->second.far != far) return std::nullopt;
    return found->second.moves;
  }
  void add(uint64_t key, const Bits<Words>& far, uint32_t moves) {
    Stripe& stripe = stripes_[key % stripeCount];
    const std::lock_guard lock(stripe.mutex);
    if (stripe.known.size() >= maxPerStripe) stripe.known.clear();  // only time is lost
    stripe.known.insert_or_assign(key, Known{far, moves});
  }

 private:
  static constexpr size_t stripeCount = 16;
  static constexpr size_t maxPerStripe = size_t{1} << 13;  // 2^17 far parts in all
  struct Known {
    Bits<Words> far;
    uint32_t moves;
  };
  struct Stripe {
    mutable std::mutex mutex;
    std::unordered_map<uint64_t, Known> known;
  };
  std::array<Stripe, stripeCount> stripes_;
};

// The far-part bound of the states one thread of a search analyses.
template <size_t Words>
class FarPartBound {
 public:
  FarPartBound(const RegionGraph& graph, SolvedFarParts<Words>& solved)
      : graph_(graph), solved_(solved) {}

  // For the state `analysis` holds the levels of: a lower bound on the moves it needs, or 0
  // when it has no far part worth solving.
  uint32_t operator()(const BitAnalysis<Words>& analysis, const SolveLimits& limits,
                      Clock::time_point deadline) {
    const uint32_t cap = std::min(farPartMaxRegions, analysis.lastSummary().remainingRegions / 2);
    Bits<Words> far;
    const uint32_t t = analysis.farPart(cap, far);
    if (t == 0) return 0;
    uint64_t key = 0;
    forEachBit(far, [&](uint32_t r) { key ^= analysis.keyOf(r); });
    if (const std::optional<uint32_t> moves = solved_.find(key, far)) return t - 1 + *moves;
    regions_.clear();
    forEachBit(far, [&](uint32_t r) { regions_.push_back(r); });
    const uint32_t moves = farPartMoves(farPartGraph(graph_, regions_), limits, deadline);
    solved_.add(key, far, moves);
    return t - 1 + moves;
  }

 private:
  const RegionGraph& graph_;
  SolvedFarParts<Words>& solved_;
  std::vector<uint32_t> regions_;  // of the far part
};
