// Painting a 64 x 64 board at 16 pixels a cell, under SDL's dummy driver and (when DISPLAY is
// set) on a real X server, and one series turn on a 64 x 64 board of 32 colours.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "app/console.h"
#include "app/loop.h"
#include "app/program_state.h"
#include "board/board.h"
#include "view/sdl_visualizer.h"
#include "view/visualizer.h"

namespace {

void useLargeBoard() {
  settings.boardSize = 64;
  settings.colorCount = 32;
  settings.cellSize = 16;
  settings.sleepMs = 1;
  newBoard();
}

// Opens a window on the given video driver, paints it for the whole benchmark and closes it.
void paintFrames(benchmark::State& state, const char* driver) {
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, driver, SDL_HINT_OVERRIDE);
  useLargeBoard();
  if (!initVideo()) {
    state.SkipWithError((std::string("no video: ") + SDL_GetError()).c_str());
    return;
  }
  createVisualizer(nullptr);
  createPalette();
  for (auto _ : state) paintBoard();
  state.counters["tiles"] = 64 * 64;
  closeVisualizer();
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void BM_PaintDummy(benchmark::State& state) {
  paintFrames(state, "dummy");
}
void BM_PaintX11(benchmark::State& state) {
  paintFrames(state, "x11");
}

void BM_SeriesTurn(benchmark::State& state) {
  useLargeBoard();
  setConsoleSink([](std::string_view) {});
  loopState = LoopState{};
  loopState.running = true;
  loopState.simulationCount = loopState.runsRemaining = 16777215;
  for (auto _ : state) seriesTurn();
  state.counters["boards"] = static_cast<double>(16777215 - loopState.runsRemaining);
  resetConsole();
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  constexpr int repetitions = 5;  // the median of these is the figure to read
  benchmark::RegisterBenchmark("paint_64x64_cell16/dummy", BM_PaintDummy)
      ->Unit(benchmark::kMicrosecond)
      ->Repetitions(repetitions)
      ->ReportAggregatesOnly(true);
  if (std::getenv("DISPLAY") != nullptr)
    benchmark::RegisterBenchmark("paint_64x64_cell16/x11", BM_PaintX11)
        ->Unit(benchmark::kMicrosecond)
        ->Repetitions(repetitions)
        ->ReportAggregatesOnly(true);
  benchmark::RegisterBenchmark("series_turn_64x64_colors32", BM_SeriesTurn)
      ->Unit(benchmark::kMicrosecond)
      ->Repetitions(repetitions)
      ->ReportAggregatesOnly(true);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
