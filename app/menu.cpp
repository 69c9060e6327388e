#include "app/menu.h"

#include <string>

#include "app/console.h"
#include "app/program_state.h"
#include "board/board.h"

namespace {

constexpr int32_t kMaxSimulations = 16777215;

// Reads until a non-empty line converts to 1..5; the prompt was printed once before.
int32_t readSelection() {
  for (;;) {
    const std::string line = readLine();
    if (line.empty()) continue;
    const int32_t selection = parseInt(line);
    if (selection >= 1 && selection <= 5) return selection;
    printOutOfRange(selection, 1, 5);
  }
}

void playOneTurn() {
  if (loopState.boardCompleted) {
    consolePrint("The board is already completed\n");
    return;
  }
  loopState.boardCompleted = solveStep(game);
}

// A coordinate within the board, or nothing after the out-of-range message.
bool coordinateInRange(int32_t value) {
  const int32_t last = settings.boardSize - 1;
  if (value >= 0 && value <= last) return true;
  printOutOfRange(value, 0, last);
  return false;
}

}  // namespace

void runMenu() {
  consolePrint(
      "1. Generate New Board\n"
      "2. Run Algorithm Once\n"
      "3. Query Tile\n"
      "4. Query Cluster\n"
      "5. Run Complete Simulation\n"
      "Enter your selection:");
  switch (readSelection()) {
    case 1:
      newBoard();
      loopState.boardCompleted = false;
      break;
    case 2:
      playOneTurn();
      break;
    case 3:
      queryTile();
      break;
    case 4:
      queryCluster();
      break;
    case 5:
      startSeries();
      break;
  }
  consolePrint("%s", kMenuHint);
}

void queryTile() {
  consolePrint("Enter the tile to query in zero-indexed \"x,y\" format:");
  const std::string line = readLine();
  const size_t comma = line.find(',');
  if (comma == std::string::npos) {
    consolePrint("Missing comma delimiter\n");
    return;
  }
  const std::string_view text = line;
  const std::string_view xText = text.substr(0, comma);
  const std::string_view yText = text.substr(comma + 1);
  if (xText.empty()) return;
  const int32_t x = parseInt(xText);
  if (!coordinateInRange(x)) return;
  if (yText.empty()) return;
  const int32_t y = parseInt(yText);
  if (!coordinateInRange(y)) return;
  const Tile& tile = tileAt(game, static_cast<uint32_t>(x), static_cast<uint32_t>(y));
  consolePrint("(%d, %d) Cluster=%d, Color=%d, Neighbors=%d\n", x, y,
               static_cast<int>(tile.cluster), static_cast<int>(tile.color),
               static_cast<int>(tile.neighbors.size()));
}

void queryCluster() {
  consolePrint("Enter a cluster id:");
  const int32_t id = parseInt(readLine());
  // Ids are unsigned: a negative answer is looked up as its 32-bit pattern but shown as typed.
  const Cluster* cluster = findCluster(game, static_cast<uint32_t>(id));
  if (cluster == nullptr) {
    consolePrint("Could not find a cluster with id: %d\n", id);
    return;
  }
  consolePrint("Color=%d, Size=%d, Neighbors=%d\n", static_cast<int>(cluster->color),
               static_cast<int>(cluster->tiles.size()),
               static_cast<int>(cluster->neighbors.size()));
}

void startSeries() {
  int32_t count = 0;
  for (;;) {
    consolePrint("Please enter the amount of simulations to run:");
    const std::string line = readLine();
    if (line.empty()) continue;
    count = parseInt(line);
    if (count >= 1 && count <= kMaxSimulations) break;
    printOutOfRange(count, 1, kMaxSimulations);
  }
  loopState.simulationCount = static_cast<uint32_t>(count);
  loopState.runsRemaining = static_cast<uint32_t>(count);
  loopState.running = true;
  loopState.worstTurns = 0;
  loopState.totalTurns = 0;
}
