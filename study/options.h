// The command line of tidefill-study.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "study/report.h"
#include "study/runner.h"
#include "study/solvers.h"

inline constexpr const char* kProgram = "tidefill-study";

// Exit statuses.
inline constexpr int kStatusWriteFailed = 1;
inline constexpr int kStatusBadUsage = 2;
inline constexpr int kStatusCheckFailed = 3;
inline constexpr int kStatusInterrupted = 130;

struct StudyOptions {
  uint32_t side = 14;
  uint32_t colorCount = 6;
  ColorDraw draw = ColorDraw::program;  // how seeded boards take their colours
  uint64_t boardCount = 1000;
  bool boardCountGiven = false;
  std::optional<uint64_t> seed;
  std::string fromPath;  // "-" is standard input
  std::string writeBoardsPath;
  uint64_t firstBoard = 0;
  std::vector<SolverChoice> solvers;
  uint32_t threads = 1;
  bool threadsGiven = false;
  std::string csvPath;  // "-" is standard output
  std::string plotPath;
  std::string jsonPath;  // "-" is standard output
  bool moves = false;
  double timeLimitSeconds = 10;          // per board, for exact
  uint64_t memoryLimitMegabytes = 2048;  // for all of exact's searches at once, split evenly
  uint64_t expansionLimit = 0;           // states per board, for beam:W and exact; 0: none
  bool quiet = false;
};

inline constexpr uint64_t kMaxBoards = 1'000'000'000;
inline constexpr uint64_t kMaxFirstBoard = 1'000'000'000'000'000'000;
inline constexpr uint32_t kMaxThreads = 1024;
inline constexpr uint64_t kMaxExpansionLimit = 1'000'000'000'000'000;

// The options, or the exit status when the command line was answered already: 0 after --help,
// 2 after a bad option (with one message on standard error).
std::variant<StudyOptions, int> parseOptions(int argc, const char* const* argv);

// Prints "tidefill-study: message" on standard error and returns `status`.
int studyError(int status, const std::string& message);

// The command that studies the boards an ended run did not reach, with the same options and
// outputs of their own (turns.csv becomes turns.from-K.csv), so that merging the two parts gives
// the whole; and, when the run wrote JSON, the merge. `program` is the one that runs the rest.
std::string restOfStudy(const StudyOptions& options, const StudySummary& summary,
                        const char* program = kProgram);

// A study ready to run: the runner's plan and the parts of the summary known before the first
// board.
struct StudySetup {
  StudyPlan plan;
  StudySummary summary;
};

// Reads the boards of --from, or fixes the seed, and fits the plan and the summary to them; or
// says why the board file cannot be studied.
std::variant<StudySetup, std::string> setUpStudy(const StudyOptions& options);
