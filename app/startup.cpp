#include "app/startup.h"

#include <cstdio>
#include <stdexcept>

#include "app/console.h"
#include "app/loop.h"
#include "app/platform.h"
#include "app/program_state.h"
#include "board/board.h"
#include "view/visualizer.h"

void askSettings() {
  consolePrint("Tidefill - colour region puzzle solver, by the Tidefill team\n");
  settings.boardSize = askValue("Please enter a board size between 3 and 64: ", 3, 64);
  settings.colorCount = askValue("Please enter the amount of colors (2 - 32): ", 2, 32);
  settings.cellSize = askValue("Please enter the cell size px (default=16): ", 8, 128, 16);
  settings.sleepMs = static_cast<uint32_t>(
      askValue("Please enter the sleep time ms (default=500): ", 1, 10000, 500));
  consolePrint("%s", kMenuHint);
}

void startUp() {
  openConsole();
  askSettings();
  newBoard();
}

int runProgram(void* instance) {
  try {
    startUp();
    createVisualizer(instance, game, static_cast<uint32_t>(settings.cellSize));
    createPalette(static_cast<uint32_t>(settings.colorCount));
    loopState = LoopState{};
    return runMainLoop();
  } catch (const EndOfInput&) {
    return 0;  // the console's exit handler puts the terminal back where it has one
  } catch (const std::runtime_error& error) {  // the window or its drawing surface failed
    std::fprintf(stderr, "Tidefill: %s\n", error.what());
    return 1;
  }
}
