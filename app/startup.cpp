#include "app/startup.h"

#include "app/console.h"
#include "app/platform.h"
#include "board/board.h"
#include "board/settings.h"

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
  generateBoard();
}
