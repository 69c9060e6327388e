// The solvers' signature: every solver on fixed seeded boards, run as tidefill-study runs them
// (seeded boards, the solver table, the runner and its replay of every answer), summed into a
// few numbers per solver and board set. Any change in what a solver answers on these boards
// changes one of the numbers below. A change that is meant updates the table, and its commit
// says why; the failure message prints the new table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

#include "study/runner.h"

namespace {

struct BoardSet {
  uint64_t seed;
  uint32_t side;
  uint32_t colorCount;
  uint64_t boards;
  std::vector<std::string> solvers;
};

// Small boards every solver can take (3 x 3 / 2 includes boards complete from the start),
// boards exact proves quickly even in a sanitizer build, and larger ones with more colours for
// the solvers that scale.
const BoardSet boardSets[] = {
    {31, 3, 2, 200, {"greedy", "area", "distance", "beam:10", "exact"}},
    {12, 10, 6, 300, {"greedy", "area", "distance", "beam:10", "exact"}},
    {13, 14, 6, 40, {"greedy", "area", "distance", "beam:10"}},
    {14, 24, 12, 10, {"greedy", "area", "distance", "beam:10"}},
    {15, 40, 32, 2, {"greedy", "area", "distance", "beam:10"}},
    {16, 64, 32, 2, {"greedy", "area", "distance"}},
};

struct Signature {
  std::string set;     // "side x side / colours"
  std::string solver;  // its label, as in the summary
  uint64_t turns;      // over the set's boards
  uint64_t proven;     // boards whose count is a proven optimum
  uint64_t bound;      // sum of the lower bounds reported
  uint64_t moves;      // FNV-1a of every move, board after board

  bool operator==(const Signature&) const = default;
};

const std::vector<Signature> expected = {
    {"3x3/2", "greedy", 332, 0, 331, 0x7b7bfcda9885cd2d},
    {"3x3/2", "area", 331, 0, 331, 0x1b556a3dd535cde0},
    {"3x3/2", "distance", 331, 0, 331, 0x1b556a3dd535cde0},
    {"3x3/2", "beam:10", 331, 0, 331, 0x1b556a3dd535cde0},
    {"3x3/2", "exact", 331, 200, 331, 0x1b556a3dd535cde0},
    {"10x10/6", "greedy", 5764, 0, 3754, 0xdeb9277c732aa44f},
    {"10x10/6", "area", 5372, 0, 3754, 0xe69d2ae31addb208},
    {"10x10/6", "distance", 4631, 0, 3754, 0xdd07b69a8099e878},
    {"10x10/6", "beam:10", 4389, 0, 3754, 0xfbafcf7390802661},
    {"10x10/6", "exact", 4375, 300, 3754, 0x6ef0c11e7dfddc74},
    {"14x14/6", "greedy", 1067, 0, 644, 0x720a1dc2496e3045},
    {"14x14/6", "area", 992, 0, 644, 0xdf6f87802f9de57b},
    {"14x14/6", "distance", 838, 0, 644, 0x219e6c3b60aa7373},
    {"14x14/6", "beam:10", 781, 0, 644, 0x4af478d925eac7eb},
    {"24x24/12", "greedy", 896, 0, 356, 0x177b69a76a5f8ec7},
    {"24x24/12", "area", 818, 0, 356, 0x27cc1c7a12ce903d},
    {"24x24/12", "distance", 561, 0, 356, 0x058dc75ba5db95af},
    {"24x24/12", "beam:10", 524, 0, 356, 0x6e9ac02729c307a2},
    {"40x40/32", "greedy", 824, 0, 163, 0xbb8770e6349fbe55},
    {"40x40/32", "area", 608, 0, 163, 0xd85e66c90ac12a94},
    {"40x40/32", "distance", 327, 0, 163, 0x8ad1f2d483fcf0cf},
    {"40x40/32", "beam:10", 306, 0, 163, 0xe80a54d14cc5bf02},
    {"64x64/32", "greedy", 1382, 0, 239, 0x4672c1c94ced319b},
    {"64x64/32", "area", 1130, 0, 239, 0x584852447a9bb3d1},
    {"64x64/32", "distance", 531, 0, 239, 0x3fb0504ecd7f261d},
};

std::string setName(const BoardSet& set) {
  return std::to_string(set.side) + "x" + std::to_string(set.side) + "/" +
         std::to_string(set.colorCount);
}

std::string format(const Signature& s) {
  char line[160];
  std::snprintf(line, sizeof line,
                "    {\"%s\", \"%s\", %" PRIu64 ", %" PRIu64 ", %" PRIu64 ", 0x%016" PRIx64 "},",
                s.set.c_str(), s.solver.c_str(), s.turns, s.proven, s.bound, s.moves);
  return line;
}

void addMoves(uint64_t& digest, const std::vector<uint8_t>& moves) {
  constexpr uint64_t prime = 0x100000001b3ull;
  for (const uint8_t move : moves) digest = (digest ^ move) * prime;
  digest = (digest ^ 0xffu) * prime;  // ends the board: no colour index is 255
}

std::vector<Signature> signaturesOf(const BoardSet& set) {
  StudyPlan plan;
  plan.supply = BoardSupply{nullptr, set.seed, set.side, set.colorCount};
  plan.boardCount = set.boards;
  plan.solvers = std::get<std::vector<SolverChoice>>(parseSolvers(set.solvers));
  plan.threads = 2;
  plan.limits.timeLimitSeconds = 1e9;  // no deadline: a slow build proves what a fast one does
  plan.boundWanted = true;
  std::vector<Signature> signatures;
  for (const SolverChoice& solver : plan.solvers)
    signatures.push_back({setName(set), solver.label, 0, 0, 0, 0xcbf29ce484222325ull});
  const StudyEnd end = runStudy(
      plan,
      [&](const BoardOutcome& outcome) {
        for (size_t s = 0; s < signatures.size(); ++s) {
          const SolverOutcome& answer = outcome.outcomes[s];
          signatures[s].turns += answer.turns;
          signatures[s].proven += answer.proven ? 1 : 0;
          signatures[s].bound += answer.bound;
          addMoves(signatures[s].moves, answer.moves);
        }
      },
      [](uint64_t) {});
  EXPECT_EQ(end.failure, "") << setName(set);
  EXPECT_EQ(end.delivered, set.boards) << setName(set);
  // Without a deadline exact proves every board, so its turns are the optima.
  for (const Signature& s : signatures)
    if (s.solver == "exact") {
      EXPECT_EQ(s.proven, set.boards) << setName(set);
    }
  return signatures;
}

TEST(Signature, EverySolverAnswersAsBefore) {
  std::vector<Signature> actual;
  for (const BoardSet& set : boardSets)
    for (Signature& s : signaturesOf(set)) actual.push_back(std::move(s));
  if (actual == expected) return;
  std::string changes;
  for (size_t i = 0; i < std::max(actual.size(), expected.size()); ++i) {
    const std::string was = i < expected.size() ? format(expected[i]) : "(none)";
    const std::string now = i < actual.size() ? format(actual[i]) : "(none)";
    if (was != now) changes += "was " + was + "\nnow " + now + "\n";
  }
  std::string table;
  for (const Signature& s : actual) table += format(s) + "\n";
  ADD_FAILURE() << "the solvers answer differently:\n" << changes << "the table now:\n" << table;
}

}  // namespace
