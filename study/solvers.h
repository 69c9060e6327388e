// The solvers a study can run, listed once: the option parser, --help and the runner all read
// this table.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "solve/greedy.h"
#include "solve/region_graph.h"
#include "solve/solver.h"
#include "study/boards.h"

struct SolverOutcome {
  uint32_t turns = 0;
  std::vector<uint8_t> moves;  // the colour of every turn
  bool proven = false;         // turns is a proven optimum
  uint32_t bound = 0;          // admissible lower bound: of the start, or as far as exact got
  bool interrupted = false;    // stopped before it had its own answer
};

// What one board gives every solver that runs on it.
struct SolverInput {
  const BoardColors& board;
  const RegionGraph& graph;
  uint32_t startBound;  // startLowerBound(graph) when the run reports bounds, else 0
  uint32_t argument;    // the number after "name:", 0 when the solver takes none
  const SolveLimits& limits;
};

// What one thread keeps between boards, so that solving a board allocates little.
struct SolverWorkspace {
  GreedyWorkspace greedy;
  GreedyGame greedyGame;
};

struct SolverEntry {
  const char* name;
  const char* argument;  // name of the number after "name:", or nullptr when it takes none
  // Its answers can be proven optima: the study holds every other solver's count against them.
  bool provesOptimum;
  // Counts as the program's series does: a board that is complete already takes one turn.
  bool completeBoardTakesOneTurn;
  const char* summary;
  // Fills `outcome`, whose storage is kept from the board before.
  void (*solve)(const SolverInput& input, SolverWorkspace& workspace, SolverOutcome& outcome);
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

// One line per solver for --help.
std::string describeSolvers();
