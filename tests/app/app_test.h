// Fixture for the front-end tests: console output captured, input typed in advance, and every
// process-wide value the front end touches reset.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>

#include "app/console.h"
#include "app/loop.h"
#include "board/settings.h"
#include "tests/app/fake_platform.h"

class AppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fakePlatform = FakePlatform{};
    loopState = LoopState{};
    settings = Settings{};
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
