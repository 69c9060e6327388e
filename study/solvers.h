// The solvers a study can run, listed once: the option parser, --help and the runner all read
// this table.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "study/boards.h"
#include "study/greedy.h"

struct SolverOutcome {
  uint32_t turns = 0;
};

// What one thread keeps between boards, so that solving a board allocates little.
struct SolverWorkspace {
  GreedyWorkspace greedy;
  GreedyGame greedyGame;
};

struct SolverEntry {
  const char* name;
  const char* argument;  // name of the number after "name:", or nullptr when it takes none
  const char* summary;
  SolverOutcome (*solve)(const StudyBoard& board, uint32_t argument, SolverWorkspace& workspace);
};

std::span<const SolverEntry> solverTable();

// One solver as asked for on the command line, e.g. "greedy".
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
