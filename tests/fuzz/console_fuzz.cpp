// libFuzzer target over the console layer: arbitrary bytes are the typed input, read through the
// same injected stream the unit tests use. They go through the start-up questions, then through
// up to kMaxCommands menu commands (a series plays at most kMaxSeriesTurns turns, without its
// pause). Every printed text must be one the program is meant to print, with values that fit the
// board, and parseInt must agree with the C library's strtoll clamped to 32 bits on every line.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <string_view>

#include "app/console.h"
#include "app/loop.h"
#include "app/menu.h"
#include "app/program_state.h"
#include "app/startup.h"
#include "board/board.h"
#include "tests/app/fake_platform.h"

namespace {

constexpr int kMaxCommands = 32;
constexpr int kMaxSeriesTurns = 300;

[[noreturn]] void fail(const std::string& what, std::string_view text) {
  std::fprintf(stderr, "%s: \"%.*s\"\n", what.c_str(), static_cast<int>(text.size()), text.data());
  std::abort();
}

int64_t number(const std::ssub_match& match) {
  return std::stoll(match.str());
}

const std::set<std::string, std::less<>>& fixedTexts() {
  static const std::set<std::string, std::less<>> texts{
      "Tidefill - colour region puzzle solver, by the Tidefill team\n",
      "Please enter a board size between 3 and 64: ",
      "Please enter the amount of colors (2 - 32): ",
      "Please enter the cell size px (default=16): ",
      "Please enter the sleep time ms (default=500): ",
      "Using default value: 16\n",
      "Using default value: 500\n",
      "Press F1 to display the menu and enter a command.\n",
      "1. Generate New Board\n2. Run Algorithm Once\n3. Query Tile\n4. Query Cluster\n"
      "5. Run Complete Simulation\nEnter your selection:",
      "The board is already completed\n",
      "Enter the tile to query in zero-indexed \"x,y\" format:",
      "Missing comma delimiter\n",
      "Enter a cluster id:",
      "Please enter the amount of simulations to run:",
  };
  return texts;
}

// The ranges the out-of-range message may name: the four settings, the menu selection, a
// coordinate of the board and the series count.
bool knownRange(int64_t min, int64_t max) {
  const int64_t ranges[][2] = {
      {3, 64}, {2, 32}, {8, 128}, {1, 10000}, {1, 5}, {1, 16777215}, {0, settings.boardSize - 1}};
  for (const auto& range : ranges)
    if (range[0] == min && range[1] == max) return true;
  return false;
}

void checkOutput(std::string_view text) {
  if (fixedTexts().contains(text)) return;
  static const std::regex outOfRange(R"(Value \((-?\d+)\) is not between (-?\d+) and (-?\d+)\n)");
  static const std::regex tileLine(
      R"(\((\d+), (\d+)\) Cluster=(\d+), Color=(\d+), Neighbors=(\d+)\n)");
  static const std::regex clusterLine(R"(Color=(\d+), Size=(\d+), Neighbors=(\d+)\n)");
  static const std::regex notFound(R"(Could not find a cluster with id: (-?\d+)\n)");
  static const std::regex finished(R"(Finished running simulation in (\d+) turns\n)");
  static const std::regex average(R"(Ran (\d+) simulations with an average of \d+\.\d{6} turns\n)");
  static const std::regex sizeLine(R"(Board Size=(\d+)x(\d+), Colors=(\d+)\n)");
  static const std::regex worst(R"(Worst Turns to solve a board: (\d+)\n)");

  const std::string line(text);
  std::smatch m;
  const int64_t side = settings.boardSize;
  const int64_t colors = settings.colorCount;
  if (std::regex_match(line, m, outOfRange)) {
    const int64_t value = number(m[1]), min = number(m[2]), max = number(m[3]);
    if (!knownRange(min, max) || (value >= min && value <= max)) fail("bad range message", text);
  } else if (std::regex_match(line, m, tileLine)) {
    if (number(m[1]) >= side || number(m[2]) >= side || number(m[3]) < 1 ||
        number(m[4]) >= colors || number(m[5]) > 5)
      fail("tile line off the board", text);
  } else if (std::regex_match(line, m, clusterLine)) {
    if (number(m[1]) >= colors || number(m[2]) < 1 || number(m[2]) > side * side)
      fail("cluster line off the board", text);
  } else if (std::regex_match(line, m, notFound) || std::regex_match(line, m, average)) {
  } else if (std::regex_match(line, m, finished) || std::regex_match(line, m, worst)) {
    if (number(m[1]) < 1) fail("a run without turns", text);
  } else if (std::regex_match(line, m, sizeLine)) {
    if (number(m[1]) != side || number(m[2]) != side || number(m[3]) != colors)
      fail("size line of another board", text);
  } else {
    fail("unexpected output", text);
  }
}

// strtoll skips the same blanks in the C locale and stops at the same characters (a NUL
// included); only its range is wider.
int32_t referenceParse(const std::string& text) {
  errno = 0;
  const long long value = std::strtoll(text.c_str(), nullptr, 10);
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

void checkParse(const std::string& text) {
  if (parseInt(text) != referenceParse(text)) fail("parseInt disagrees with strtoll", text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  checkParse(bytes);
  std::istringstream lines(bytes);
  for (std::string line; std::getline(lines, line);) checkParse(line);

  fakePlatform = FakePlatform{};
  loopState = LoopState{};
  settings = Settings{};
  game = Game{};
  std::istringstream input(bytes);
  setConsoleInput(&input);
  setConsoleSink(checkOutput);
  try {
    askSettings();
    newBoard();
    for (int command = 0; command < kMaxCommands; ++command) {
      runMenu();
      for (int turn = 0; loopState.running && turn < kMaxSeriesTurns; ++turn) seriesTurn();
      loopState.running = false;
    }
  } catch (const EndOfInput&) {
  }
  resetConsole();
  return 0;
}
