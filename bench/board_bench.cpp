// The engine and the plain model of the rules side by side: generation, full solves and the
// mean turn, followed by the model/engine ratio of each pair. Generation is never part of a
// solve's time (manual timing around the turns only).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <string>

#include "board/board.h"
#include "tests/model/plain_model.h"

namespace {

struct Rules {
  const char* name;
  void (*generate)();
  bool (*step)();
};

Game engineGame;
const Rules engineRules{"engine", [] { generateBoard(engineGame); },
                        [] { return solveStep(engineGame); }};
const Rules modelRules{"model", plain::generateBoard, plain::solveStep};

// Per measured pair, the figures of the last run of each side (the one that is reported).
struct Figures {
  double seconds = 0;  // per iteration
  double secondsPerTurn = 0;
};
struct Pair {
  Figures engine;
  Figures model;
};
std::map<std::string, Pair> pairs;

void record(const std::string& pair, const Rules& rules, const Figures& figures) {
  (rules.generate == engineRules.generate ? pairs[pair].engine : pairs[pair].model) = figures;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void useSettings(int32_t side, int32_t colorCount) {
  engineGame.boardSize = plain::boardSize = static_cast<uint32_t>(side);
  engineGame.colorCount = plain::colorCount = static_cast<uint32_t>(colorCount);
}

std::string sizeName(int32_t side, int32_t colorCount) {
  return std::to_string(side) + "x" + std::to_string(side) + "/" + std::to_string(colorCount);
}

void benchGenerate(benchmark::State& state, const Rules& rules, int32_t side, int32_t colorCount) {
  useSettings(side, colorCount);
  double total = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    rules.generate();
    const double seconds = secondsSince(start);
    state.SetIterationTime(seconds);
    total += seconds;
  }
  record("generateBoard " + sizeName(side, colorCount), rules,
         {total / static_cast<double>(state.iterations()), 0});
}

void benchSolve(benchmark::State& state, const Rules& rules, int32_t side, int32_t colorCount) {
  useSettings(side, colorCount);
  double total = 0;
  int64_t turns = 0;
  for (auto _ : state) {
    rules.generate();
    const auto start = std::chrono::steady_clock::now();
    int64_t played = 1;
    while (!rules.step()) ++played;
    const double seconds = secondsSince(start);
    state.SetIterationTime(seconds);
    total += seconds;
    turns += played;
  }
  const double iterations = static_cast<double>(state.iterations());
  const double perTurn = total / static_cast<double>(turns);
  state.counters["turns"] = static_cast<double>(turns) / iterations;
  state.counters["us_per_turn"] = perTurn * 1e6;
  record("full solve " + sizeName(side, colorCount), rules, {total / iterations, perTurn});
}

void registerPair(const char* what,
                  void (*bench)(benchmark::State&, const Rules&, int32_t, int32_t), int32_t side,
                  int32_t colorCount) {
  for (const Rules* rules : {&engineRules, &modelRules}) {
    const std::string name =
        std::string(what) + "/" + sizeName(side, colorCount) + "/" + rules->name;
    benchmark::RegisterBenchmark(name.c_str(), bench, *rules, side, colorCount)
        ->UseManualTime()
        ->Unit(benchmark::kMicrosecond);
  }
}

void printRatios() {
  std::printf("\n");
  for (const auto& [name, pair] : pairs) {
    if (pair.engine.seconds <= 0 || pair.model.seconds <= 0) continue;
    std::printf("ratio %s: %.1fx\n", name.c_str(), pair.model.seconds / pair.engine.seconds);
    if (pair.engine.secondsPerTurn > 0)
      std::printf("ratio mean turn %s: %.1fx (engine %.2f us, model %.2f us per turn)\n",
                  name.substr(std::string("full solve ").size()).c_str(),
                  pair.model.secondsPerTurn / pair.engine.secondsPerTurn,
                  pair.engine.secondsPerTurn * 1e6, pair.model.secondsPerTurn * 1e6);
  }
}

}  // namespace

int main(int argc, char** argv) {
  registerPair("GenerateBoard", benchGenerate, 64, 32);
  registerPair("FullSolve", benchSolve, 14, 6);
  registerPair("FullSolve", benchSolve, 64, 32);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  printRatios();
  return 0;
}
