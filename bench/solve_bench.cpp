// Solver figures on fixed random boards (board k of a set uses seed k): time per board (mean,
// median, max), mean moves, proven count, states expanded per board (beam and exact, whose time
// it explains), and against the proven optima the mean excess and the share of optimal answers.
// Graph building is outside the timing.
//
// By default each set has a few boards, enough for a CI run; TIDEFILL_SOLVE_FULL=1 runs the
// full counts (1000 boards at 14 x 14, 100 at 18 x 18 and 64 x 64, 20 at 21 x 21).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>

#include "solve/solver.h"
#include "tests/solve/random_board.h"

namespace {

struct BoardSet {
  uint32_t side;
  uint32_t colorCount;
  uint32_t boards;
  uint32_t fullBoards;
  double exactSeconds;  // time limit per board for exact
};

struct Run {
  std::string solver;
  const BoardSet* set;
  std::vector<double> seconds;
  std::vector<size_t> moves;
  std::vector<size_t> optima;  // moves where proven, else 0
  uint32_t proven = 0;
  size_t peakSearchBytes = 0;
  uint64_t expanded = 0;  // over all boards
};

bool fullRun() {
  const char* value = std::getenv("TIDEFILL_SOLVE_FULL");
  return value != nullptr && std::string(value) == "1";
}

uint32_t boardCount(const BoardSet& set) {
  return fullRun() ? set.fullBoards : set.boards;
}

std::string setName(const BoardSet& set) {
  return std::to_string(set.side) + "x" + std::to_string(set.side) + "/" +
         std::to_string(set.colorCount);
}

RegionGraph boardGraph(const BoardSet& set, uint32_t k) {
  return buildRegionGraph(randomBoard(set.side, set.colorCount, k));
}

Solution solveWith(const std::string& solver, const RegionGraph& graph, const BoardSet& set) {
  if (solver == "area") return solveArea(graph);
  if (solver == "distance") return solveDistance(graph);
  if (solver.rfind("beam:", 0) == 0)
    return solveBeam(graph, static_cast<uint32_t>(std::stoul(solver.substr(5))));
  SolveLimits limits;
  limits.timeLimitSeconds = set.exactSeconds;
  return solveExact(graph, limits);
}

std::vector<Run> runs;
std::map<std::string, std::vector<size_t>> optimaBySet;  // 0 where exact did not prove

// Optima of a set, from its exact run when there was one, otherwise solved here untimed.
const std::vector<size_t>& optima(const BoardSet& set) {
  std::vector<size_t>& known = optimaBySet[setName(set)];
  for (uint32_t k = static_cast<uint32_t>(known.size()); k < boardCount(set); ++k) {
    SolveLimits limits;
    limits.timeLimitSeconds = set.exactSeconds;
    const Solution solution = solveExact(boardGraph(set, k + 1), limits);
    known.push_back(solution.proven ? solution.moves.size() : 0);
  }
  return known;
}

void benchSolver(benchmark::State& state, const std::string& solver, const BoardSet* set) {
  for (auto _ : state) {
    Run run{solver, set, {}, {}, {}, 0, 0, 0};
    double total = 0;
    for (uint32_t k = 1; k <= boardCount(*set); ++k) {
      const RegionGraph graph = boardGraph(*set, k);
      const auto start = std::chrono::steady_clock::now();
      const Solution solution = solveWith(solver, graph, *set);
      const double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      total += seconds;
      run.seconds.push_back(seconds);
      run.moves.push_back(solution.moves.size());
      run.proven += solution.proven ? 1 : 0;
      run.optima.push_back(solution.proven ? solution.moves.size() : 0);
      run.peakSearchBytes = std::max(run.peakSearchBytes, solution.searchBytes);
      run.expanded += solution.expanded;
    }
    state.SetIterationTime(total);
    if (run.expanded > 0) state.counters["expanded"] = static_cast<double>(run.expanded);
    if (solver == "exact") optimaBySet[setName(*set)] = run.optima;
    runs.push_back(std::move(run));
  }
}

double mean(const std::vector<double>& values) {
  double sum = 0;
  for (const double v : values) sum += v;
  return values.empty() ? 0 : sum / static_cast<double>(values.size());
}

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void printFigures() {
  std::printf("\n%-9s %-9s %6s %10s %10s %10s %8s %7s %8s %8s %11s\n", "solver", "boards", "count",
              "mean ms", "median ms", "max ms", "moves", "proven", "excess", "optimal", "expanded");
  for (const Run& run : runs) {
    std::vector<double> moves(run.moves.begin(), run.moves.end());
    std::string excess = "-";
    std::string optimal = "-";
    if (run.solver != "exact" && run.set->side <= 21) {
      const std::vector<size_t>& best = optima(*run.set);
      double sum = 0;
      uint32_t compared = 0;
      uint32_t hits = 0;
      for (size_t i = 0; i < run.moves.size(); ++i) {
        if (best[i] == 0) continue;
        ++compared;
        sum += static_cast<double>(run.moves[i] - best[i]);
        hits += run.moves[i] == best[i] ? 1 : 0;
      }
      if (compared > 0) {
        excess = std::to_string(sum / compared).substr(0, 5);
        optimal = std::to_string(100.0 * hits / compared).substr(0, 5) + "%";
      }
    }
    std::vector<double> ms;
    for (const double s : run.seconds) ms.push_back(s * 1e3);
    char expanded[32] = "-";  // per board; the solvers that keep no states leave it at 0
    if (run.expanded > 0)
      std::snprintf(expanded, sizeof expanded, "%.1f",
                    static_cast<double>(run.expanded) / static_cast<double>(run.seconds.size()));
    std::printf("%-9s %-9s %6zu %10.3f %10.3f %10.3f %8.2f %7s %8s %8s %11s\n", run.solver.c_str(),
                setName(*run.set).c_str(), run.seconds.size(), mean(ms), median(ms),
                ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end()), mean(moves),
                run.solver == "exact" ? std::to_string(run.proven).c_str() : "-", excess.c_str(),
                optimal.c_str(), expanded);
    if (run.peakSearchBytes > 0)
      std::printf("          largest exact search: %.1f MB\n", run.peakSearchBytes / 1048576.0);
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("peak resident memory of this run: %.1f MB\n", usage.ru_maxrss / 1024.0);
}

const BoardSet small{14, 6, 30, 1000, 10};
const BoardSet medium{18, 6, 3, 100, 10};
const BoardSet large{21, 6, 0, 20, 60};
const BoardSet wide{64, 32, 3, 100, 10};

void add(const std::string& solver, const BoardSet& set) {
  if (boardCount(set) == 0) return;
  const std::string name = solver + "/" + setName(set);
  benchmark::RegisterBenchmark(name.c_str(), benchSolver, solver, &set)
      ->Iterations(1)
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond);
}

}  // namespace

int main(int argc, char** argv) {
  add("exact", small);
  add("beam:10", small);
  add("distance", small);
  add("area", small);
  add("exact", medium);
  add("exact", large);
  add("distance", wide);
  add("area", wide);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  printFigures();
  return 0;
}
