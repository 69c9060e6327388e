// The solvers a study can run, listed once: the option parser, --help and the runner all read
// this table.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "solve/region_graph.h"
#include "solve/solver.h"

struct SolverOutcome {
  uint32_t turns = 0;
  std::vector<uint8_t> moves;  // the colour of every turn
  bool proven = false;         // turns is a proven optimum
  uint32_t bound = 0;          // admissible lower bound: the solver's own, or the start's if higher
  bool interrupted = false;    // stopped before it had its own answer
  bool limited = false;        // a limit ended its search: the answer is its best by then
};

// A solver of the library as the table runs it: `argument` is the number after "name:", 0 when
// the solver takes none.
using SolveFunction = Solution (*)(const RegionGraph& graph, uint32_t argument,
                                   const SolveLimits& limits);

struct SolverEntry {
  const char* name;
  const char* argument;  // name of the number after "name:", or nullptr when it takes none
  // Its answers can be proven optima: the study holds every other solver's count against them.
  bool provesOptimum;
  // Counts as the program's series does: a board that is complete already takes one turn.
  bool completeBoardTakesOneTurn;
  const char* summary;
  SolveFunction solve;
};

// One solver as asked for on the command line, e.g. "beam:10".
struct SolverChoice {
  const SolverEntry* entry = nullptr;
  uint32_t argument = 0;
  std::string label;  // as it appears in the summary and the CSV
};

// Parses the names given to --solver; on failure, the message to show.
std::variant<std::vector<SolverChoice>, std::string> parseSolvers(
    const std::vector<std::string>& names);

// Solves a board's graph with `solver`. `startBound` is the start's lower bound when the run
// reports bounds, else 0.
void runSolver(const SolverChoice& solver, const RegionGraph& graph, uint32_t startBound,
               const SolveLimits& limits, SolverOutcome& outcome);

// One line per solver for --help.
std::string describeSolvers();
