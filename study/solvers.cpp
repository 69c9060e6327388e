#include "study/solvers.h"

#include <algorithm>
#include <charconv>
#include <utility>

#include "solve/greedy.h"

namespace {

// The table's form of a solver that takes no argument.
template <Solution (*solve)(const RegionGraph&, const SolveLimits&)>
Solution withoutArgument(const RegionGraph& graph, uint32_t, const SolveLimits& limits) {
  return solve(graph, limits);
}

constexpr SolverEntry kSolvers[] = {
    {.name = "greedy",
     .argument = nullptr,
     .provesOptimum = false,
     .completeBoardTakesOneTurn = true,
     .summary = "the program's own turn: the neighbouring region with the most neighbours gives "
                "the colour",
     .solve = withoutArgument<solveGreedy>},
    {.name = "area",
     .argument = nullptr,
     .provesOptimum = false,
     .completeBoardTakesOneTurn = false,
     .summary = "each turn the colour that joins the most tiles",
     .solve = withoutArgument<solveArea>},
    {.name = "distance",
     .argument = nullptr,
     .provesOptimum = false,
     .completeBoardTakesOneTurn = false,
     .summary = "each turn the colour that brings all tiles closest, after any colour whose "
                "regions all touch already",
     .solve = withoutArgument<solveDistance>},
    {.name = "beam",
     .argument = "W",
     .provesOptimum = false,
     .completeBoardTakesOneTurn = false,
     .summary = "keeps the W best positions after each turn (beam:10, beam:100)",
     .solve = solveBeam},
    {.name = "exact",
     .argument = nullptr,
     .provesOptimum = true,
     .completeBoardTakesOneTurn = false,
     .summary = "the proven fewest turns (A* search within --time-limit, --expansion-limit and "
                "--memory-limit)",
     .solve = withoutArgument<solveExact>},
};

}  // namespace

void runSolver(const SolverChoice& solver, const RegionGraph& graph, uint32_t startBound,
               const SolveLimits& limits, SolverOutcome& outcome) {
  Solution solution = solver.entry->solve(graph, solver.argument, limits);
  outcome.turns = static_cast<uint32_t>(solution.moves.size());
  outcome.moves = std::move(solution.moves);
  outcome.proven = solution.proven;
  outcome.bound = std::max(solution.bound, startBound);
  outcome.interrupted = solution.interrupted;
  // A search for the optimum that ends unproven was ended by its time or memory limit.
  outcome.limited = solution.limited || (solver.entry->provesOptimum && !solution.proven);
}

std::variant<std::vector<SolverChoice>, std::string> parseSolvers(
    const std::vector<std::string>& names) {
  std::vector<SolverChoice> choices;
  for (const std::string& given : names) {
    if (given.empty()) return std::string("an empty solver name (a comma too many?)");
    const size_t colon = given.find(':');
    const std::string name = given.substr(0, colon);
    const auto entry = std::find_if(std::begin(kSolvers), std::end(kSolvers),
                                    [&](const SolverEntry& e) { return name == e.name; });
    if (entry == std::end(kSolvers)) return "unknown solver '" + given + "'";
    SolverChoice choice{entry, 0, name};
    if (entry->argument != nullptr) {
      const std::string text = colon == std::string::npos ? "" : given.substr(colon + 1);
      const auto [end, error] =
          std::from_chars(text.data(), text.data() + text.size(), choice.argument);
      if (text.empty() || error != std::errc{} || end != text.data() + text.size() ||
          choice.argument == 0)
        return "solver '" + given + "' needs a positive " + entry->argument + ", as in " + name +
               ":10";
      choice.label = name + ":" + std::to_string(choice.argument);
    } else if (colon != std::string::npos) {
      return "solver '" + name + "' takes no ':" + given.substr(colon + 1) + "'";
    }
    for (const SolverChoice& earlier : choices)
      if (earlier.label == choice.label) return "solver '" + choice.label + "' is listed twice";
    choices.push_back(choice);
  }
  if (choices.empty()) return std::string("no solver given");
  return choices;
}

std::string describeSolvers() {
  std::string text = "Solvers:\n";
  for (const SolverEntry& entry : kSolvers) {
    std::string name = entry.name;
    if (entry.argument != nullptr) name += std::string(":") + entry.argument;
    name.resize(std::max<size_t>(name.size() + 2, 12), ' ');
    text += "  " + name + entry.summary + "\n";
  }
  return text;
}
