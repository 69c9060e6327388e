// The board window at 64 x 64 tiles of 16 pixels (1024 x 1024), under SDL's dummy driver and,
// when DISPLAY is set, on the X server: a whole frame, the frame after one greedy turn, and the
// real main loop playing a series with a 1 ms pause. Also one series turn without any window.
//
// Each video driver is opened once and its window kept for all of its benchmarks: an X server
// that resets when its last client leaves (Xvfb without -noreset) refuses connections for a
// moment, and a repetition that fails to connect while the others succeed aborts Google
// Benchmark 1.7.1 (ComputeStats checks that all repetitions ran the same iteration count).
#include <benchmark/benchmark.h>
#include <sys/prctl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/console.h"
#include "app/loop.h"
#include "app/program_state.h"
#include "board/board.h"
#include "view/sdl_visualizer.h"
#include "view/visualizer.h"

namespace {

constexpr int kRepetitions = 5;  // the median of these is the figure to read

void useLargeBoard() {
  settings.boardSize = 64;
  settings.colorCount = 32;
  settings.cellSize = 16;
  settings.sleepMs = 1;
  newBoard();
}

// Plays one greedy turn, or starts a new board once the current one is solved.
void advanceBoard() {
  if (solveStep(game)) newBoard();
}

// Opens `driver` with a 1024 x 1024 window on first use and keeps it until another driver is
// asked for; x11 comes last, so its connection stays open to the end. Failure is remembered, so
// every repetition of a benchmark sees the same outcome.
bool useDriver(const char* driver) {
  static std::string current;
  static std::map<std::string, std::string> failures;
  if (current == driver) return true;
  if (failures.contains(driver)) return false;
  if (!current.empty()) {
    closeVisualizer();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    current.clear();
  }
  SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, driver, SDL_HINT_OVERRIDE);
  useLargeBoard();
  try {
    if (!initVideo()) throw std::runtime_error(SDL_GetError());
    createVisualizer(nullptr, game, static_cast<uint32_t>(settings.cellSize));
    createPalette(static_cast<uint32_t>(settings.colorCount));
  } catch (const std::runtime_error& error) {
    failures[driver] = error.what();
    std::fprintf(stderr, "%s: no window: %s\n", driver, error.what());
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return false;
  }
  current = driver;
  return true;
}

bool openWindow(benchmark::State& state, const char* driver) {
  if (useDriver(driver)) return true;
  state.SkipWithError("no window on this video driver");
  return false;
}

void BM_PaintWholeFrame(benchmark::State& state, const char* driver) {
  if (!openWindow(state, driver)) return;
  useLargeBoard();
  for (auto _ : state) {
    invalidateWindow();
    paintBoard();
  }
  state.counters["tiles"] = 64 * 64;
}

// The frame that follows a turn: on average half of the tiles changed.
void BM_PaintAfterTurn(benchmark::State& state, const char* driver) {
  if (!openWindow(state, driver)) return;
  useLargeBoard();
  paintBoard();
  for (auto _ : state) {
    state.PauseTiming();
    advanceBoard();
    state.ResumeTiming();
    paintBoard();
  }
}

// The real main loop with a series running: each pass plays a turn, pauses sleepMs and handles
// one message, normally the repaint. beyond_pause_us is what a pass costs on top of the pause.
void BM_SeriesPass(benchmark::State& state, const char* driver) {
  if (!openWindow(state, driver)) return;
  useLargeBoard();
  setConsoleSink([](std::string_view) {});
  loopState = LoopState{};
  loopState.running = true;
  loopState.simulationCount = loopState.runsRemaining = 16777215;
  int exitCode = 0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) benchmark::DoNotOptimize(mainLoopStep(exitCode));
  const std::chrono::duration<double, std::micro> elapsed =
      std::chrono::steady_clock::now() - start;
  const double passes = static_cast<double>(state.iterations());
  state.counters["beyond_pause_us"] = elapsed.count() / passes - settings.sleepMs * 1000.0;
  loopState = LoopState{};
  resetConsole();
}

// The series pause alone, at its shortest.
void BM_Pause(benchmark::State& state) {
  settings.sleepMs = 1;
  for (auto _ : state) paceTurn();
}

void BM_SeriesTurn(benchmark::State& state) {
  useLargeBoard();
  setConsoleSink([](std::string_view) {});
  loopState = LoopState{};
  loopState.running = true;
  loopState.simulationCount = loopState.runsRemaining = 16777215;
  for (auto _ : state) seriesTurn();
  state.counters["boards"] = static_cast<double>(16777215 - loopState.runsRemaining);
  loopState = LoopState{};
  resetConsole();
}

void setUp(benchmark::internal::Benchmark* benchmark) {
  benchmark->Unit(benchmark::kMicrosecond)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);
}

}  // namespace

int main(int argc, char** argv) {
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);  // as the program's entry point does
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  std::vector<const char*> drivers{"dummy"};
  if (std::getenv("DISPLAY") != nullptr) drivers.push_back("x11");
  for (const char* driver : drivers) {
    const std::string suffix = std::string("_64x64_cell16/") + driver;
    setUp(benchmark::RegisterBenchmark(("paint_whole_frame" + suffix).c_str(), BM_PaintWholeFrame,
                                       driver));
    setUp(benchmark::RegisterBenchmark(("paint_after_turn" + suffix).c_str(), BM_PaintAfterTurn,
                                       driver));
    setUp(benchmark::RegisterBenchmark(("series_pass_sleep1" + suffix).c_str(), BM_SeriesPass,
                                       driver));
  }
  setUp(benchmark::RegisterBenchmark("series_turn_64x64_colors32", BM_SeriesTurn));
  setUp(benchmark::RegisterBenchmark("pause_sleep1", BM_Pause));
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  closeVisualizer();
  SDL_Quit();
  return 0;
}
