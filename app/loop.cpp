#include "app/loop.h"

#include <chrono>
#include <thread>

#include "app/console.h"
#include "app/menu.h"
#include "app/platform.h"
#include "app/program_state.h"
#include "board/board.h"
#include "view/visualizer.h"

void printSeriesSummary() {
  // The total is exact; only the average is taken in single precision, as it is printed.
  const float average =
      static_cast<float>(loopState.totalTurns) / static_cast<float>(loopState.simulationCount);
  consolePrint("Ran %d simulations with an average of %f turns\n",
               static_cast<int>(loopState.simulationCount), static_cast<double>(average));
  consolePrint("Board Size=%dx%d, Colors=%d\n", settings.boardSize, settings.boardSize,
               settings.colorCount);
  consolePrint("Worst Turns to solve a board: %d\n", static_cast<int>(loopState.worstTurns));
}

void seriesTurn() {
  ++loopState.turns;
  const bool complete = solveStep(game);
  loopState.boardCompleted = complete;
  loopState.running = !complete;
  if (!complete) return;

  loopState.totalTurns += loopState.turns;
  consolePrint("Finished running simulation in %d turns\n", static_cast<int>(loopState.turns));
  if (loopState.turns > loopState.worstTurns) loopState.worstTurns = loopState.turns;
  loopState.turns = 0;
  --loopState.runsRemaining;
  if (loopState.runsRemaining == 0) {
    printSeriesSummary();  // the solved board stays on screen
    return;
  }
  newBoard();
  loopState.running = true;
}

void paceTurn() {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point target =
      Clock::now() + std::chrono::milliseconds(static_cast<int64_t>(settings.sleepMs));
  // Ctrl-D must not wait out a pause of up to ten seconds.
  watchConsoleUntil(target);
  // sleep_until may wake early on some platforms; the pause must last the full time.
  while (Clock::now() < target) std::this_thread::sleep_until(target);
}

void mainLoopPass() {
  if (loopState.running) {
    watchConsole();
    seriesTurn();
    paceTurn();
    return;
  }
  // An answer that arrived together with the end of input has been acted on; nothing more can.
  if (consoleInputEnded()) throw EndOfInput{};
  if (pollF1()) runMenu();
}

bool mainLoopStep(int& exitCode) {
  if (!loopState.running) waitForInput(kFrameInterval);
  if (!nextMessage(exitCode)) return false;
  mainLoopPass();
  dispatchMessage();
  return true;
}

int runMainLoop() {
  int exitCode = 0;
  while (mainLoopStep(exitCode)) {
  }
  return exitCode;
}
