// Boards per second of a greedy study as tidefill-study runs it (seeded generation, the region
// graph, the whole game and its replay; no CSV), on one thread and on two, followed by the
// two-thread speed-up.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

#include "study/runner.h"

namespace {

std::map<std::string, double> boardsPerSecond;  // by "size/threads"

void studyBoards(benchmark::State& state, uint32_t side, uint32_t colorCount, uint32_t threads) {
  const auto solvers = std::get<std::vector<SolverChoice>>(parseSolvers({"greedy"}));
  const uint64_t boards = side <= 20 ? 20000 : 200;
  uint64_t first = 0;
  for (auto _ : state) {
    StudyPlan plan;
    plan.supply = BoardSupply{nullptr, 1, side, colorCount};
    plan.firstBoard = first;
    plan.boardCount = boards;
    plan.solvers = solvers;
    plan.threads = threads;
    runStudy(
        plan, [](const BoardOutcome&) {}, [](uint64_t) {});
    first += boards;  // fresh boards each time round
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * boards));
  state.counters["boards_per_s"] = benchmark::Counter(
      static_cast<double>(state.iterations() * boards), benchmark::Counter::kIsRate);
}

void registerStudy(uint32_t side, uint32_t colorCount) {
  for (uint32_t threads : {1u, 2u}) {
    const std::string name = "study_greedy/" + std::to_string(side) + "x" + std::to_string(side) +
                             "/" + std::to_string(colorCount) +
                             "/threads:" + std::to_string(threads);
    benchmark::RegisterBenchmark(name.c_str(), studyBoards, side, colorCount, threads)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
  }
}

// Keeps each run's boards/s to print the speed-up of two threads over one.
class ScalingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const auto found = run.counters.find("boards_per_s");
      if (found != run.counters.end()) boardsPerSecond[run.benchmark_name()] = found->second;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char** argv) {
  registerStudy(14, 6);
  registerStudy(64, 32);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  ScalingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  for (const char* size : {"14x14/6", "64x64/32"}) {
    const std::string prefix = std::string("study_greedy/") + size + "/threads:";
    const auto one = boardsPerSecond.find(prefix + "1/real_time");
    const auto two = boardsPerSecond.find(prefix + "2/real_time");
    if (one == boardsPerSecond.end() || two == boardsPerSecond.end()) continue;
    std::printf("%s: %.0f boards/s on 1 thread, %.0f on 2 threads, %.2fx\n", size, one->second,
                two->second, two->second / one->second);
  }
  return 0;
}
