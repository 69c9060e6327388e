// The command line of tidefill-play. Portable: every front end reads the same options.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "board/draw.h"
#include "study/solvers.h"

inline constexpr const char* kPlayProgram = "tidefill-play";

inline constexpr uint32_t kPlayMinSide = 3;
inline constexpr uint32_t kPlayMaxSide = 64;  // the window's limit; files may hold no larger
inline constexpr uint32_t kMinCell = 8;
inline constexpr uint32_t kMaxCell = 128;
inline constexpr uint32_t kLargestDefaultCell = 48;

struct PlayOptions {
  uint32_t side = 14;
  uint32_t colorCount = 6;
  std::optional<uint64_t> seed;         // none: from the clock
  ColorDraw draw = ColorDraw::program;  // how seeded boards take their colours, as in the study
  uint64_t firstBoard = 0;              // --board: of the seed, or of the file
  std::string fromPath;                 // "-" is standard input
  std::optional<uint32_t> cell;         // none: the largest that fits the screen
  std::optional<SolverChoice> watch;
  uint32_t pauseMs = 500;
  double timeLimitSeconds = 10;
};

// The options, or the exit status when the command line was answered already: 0 after --help or
// --version, 2 after bad usage (with one message on standard error).
std::variant<PlayOptions, int> parsePlayOptions(int argc, const char* const* argv);

// Prints "tidefill-play: message" on standard error and returns `status`.
int playError(int status, const std::string& message);
