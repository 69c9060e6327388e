// Fixture for the front-end tests: console output captured, input typed in advance, and every
// process-wide value the front end touches reset.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/console.h"
#include "app/loop.h"
#include "app/program_state.h"
#include "tests/app/fake_platform.h"

// Loads the colours into the program's game at the settings' board size.
inline void loadProgramBoard(const std::vector<uint32_t>& colors) {
  game.boardSize = static_cast<uint32_t>(settings.boardSize);
  game.colorCount = static_cast<uint32_t>(settings.colorCount);
  loadBoard(game, colors);
}

class AppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fakePlatform = FakePlatform{};
    loopState = LoopState{};
    settings = Settings{};
    game = Game{};
    setConsoleSink([this](std::string_view text) { output += text; });
    setConsoleInput(&input);
  }
  void TearDown() override { resetConsole(); }

  void type(const std::string& lines) {
    input.clear();
    input.str(lines);
  }
  // Output since the previous call.
  std::string takeOutput() { return std::exchange(output, {}); }

  std::istringstream input;
  std::string output;
};
