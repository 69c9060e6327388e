#include "study/options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <thread>

namespace {

constexpr const char* kProgram = "tidefill-study";

constexpr const char* kExamples =
    "\nExamples:\n"
    "  tidefill-study --seed 7                      1000 boards of 14 x 14 with 6 colours\n"
    "  tidefill-study --size 64 --colors 32 --boards 200 --csv turns.csv\n"
    "  tidefill-study --seed 7 --write-boards b.txt  then: tidefill-study --from b.txt\n"
    "  tidefill-study --solver greedy,distance,beam:10,exact --plot turns.svg\n"
    "\nResults go to standard output; the progress line to standard error, when it is a\n"
    "terminal. Exit status: 0 done, 1 a file could not be written, 2 bad usage or a bad board\n"
    "file, 3 a solver's answer failed its replay (a bug), 130 interrupted (the boards\n"
    "finished so far are reported).\n";

int usageError(const std::string& message) {
  std::fprintf(stderr, "%s: %s\nRun '%s --help' for the options.\n", kProgram, message.c_str(),
               kProgram);
  return 2;
}

}  // namespace

std::variant<StudyOptions, int> parseOptions(int argc, const char* const* argv) {
  StudyOptions options;
  options.threads = std::clamp<uint32_t>(std::thread::hardware_concurrency(), 1, kMaxThreads);
  std::vector<std::string> solverNames{"greedy"};
  uint64_t seed = 0;

  CLI::App app(
      "Solves many boards of the colour-region puzzle at full speed on every core and "
      "reports statistics of the turns each solver needs.",
      kProgram);
  app.get_formatter()->column_width(30);
  // The ranges are in the descriptions; CLI11's own would repeat them in its type column.
  const auto range = [](auto low, auto high) { return CLI::Range(low, high).description(""); };
  auto* size = app.add_option("--size", options.side, "Board side in tiles, 3 to 256")
                   ->check(range(minSide, maxSide))
                   ->type_name("N")
                   ->capture_default_str();
  auto* colors = app.add_option("--colors", options.colorCount, "Number of colours, 2 to 32")
                     ->check(range(minColors, maxColors))
                     ->type_name("C")
                     ->capture_default_str();
  auto* boards = app.add_option("--boards", options.boardCount,
                                "Number of boards, 1 to 10^9 (default 1000, or all of --from)")
                     ->check(range(uint64_t{1}, kMaxBoards))
                     ->type_name("N");
  std::string seedText;
  auto* seedOption = app.add_option("--seed", seedText,
                                    "Unsigned 64-bit seed: board i is the same on every run, "
                                    "thread count and machine (default: from the clock)")
                         ->type_name("S");
  auto* from = app.add_option("--from", options.fromPath,
                              "Read the boards from FILE (- for standard input) instead of "
                              "generating them")
                   ->type_name("FILE");
  app.add_option("--write-boards", options.writeBoardsPath,
                 "Write the boards studied to FILE, in the format --from reads")
      ->type_name("FILE");
  app.add_option("--first-board", options.firstBoard,
                 "Start at board K of the sequence (or of the file), so that a study can be "
                 "split into parts that give exactly the boards of the whole; 0 to 10^18")
      ->check(range(uint64_t{0}, kMaxFirstBoard))
      ->type_name("K");
  app.add_option("--solver", solverNames, "Solvers to run on every board, comma-separated")
      ->delimiter(',')
      ->type_name("NAME[,NAME...]")
      ->default_str("greedy");
  app.add_option("--threads", options.threads, "Worker threads, 1 to 1024 (default: one per core)")
      ->check(range(uint32_t{1}, kMaxThreads))
      ->type_name("N");
  app.add_option("--csv", options.csvPath,
                 "Write one row per board and solver to FILE (- for standard output, which "
                 "moves the summary to standard error)")
      ->type_name("FILE");
  app.add_flag(
      "--moves", options.moves,
      "Add a column with each solver's moves to the CSV (colour indices, blank-separated)");
  app.add_option("--time-limit", options.timeLimitSeconds,
                 "Seconds exact may search one board before it reports its best, unproven "
                 "(default 10)")
      ->check(range(0.001, 1e6))
      ->type_name("SECONDS");
  app.add_option("--memory-limit", options.memoryLimitMegabytes,
                 "Megabytes exact's searches may hold at once, shared by the threads (default "
                 "2048)")
      ->check(range(uint64_t{16}, uint64_t{1} << 30))
      ->type_name("MB");
  app.add_option("--plot", options.plotPath,
                 "Draw each solver's turns per board on one chart, an SVG file for any browser")
      ->type_name("FILE.svg");
  app.add_flag("--quiet", options.quiet, "No progress line");
  app.set_version_flag("--version", std::string(kProgram) + " " + TIDEFILL_VERSION,
                       "Print the version and exit");
  app.footer("\n" + describeSolvers() + kExamples);

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& answered) {  // --help or --version
    return app.exit(answered);
  } catch (const CLI::ParseError& error) {
    return usageError(error.what());
  }
  if (from->count() > 0)
    for (const CLI::Option* generated : {size, colors, seedOption})
      if (generated->count() > 0)
        return usageError(generated->get_name() +
                          " describes generated boards; --from takes them from its file");
  options.boardCountGiven = boards->count() > 0;
  if (seedOption->count() > 0) {
    const auto [end, error] =
        std::from_chars(seedText.data(), seedText.data() + seedText.size(), seed);
    if (error != std::errc{} || end != seedText.data() + seedText.size())
      return usageError("--seed: " + seedText + " is not an unsigned 64-bit number");
    options.seed = seed;
  }
  auto solvers = parseSolvers(solverNames);
  if (auto* message = std::get_if<std::string>(&solvers))
    return usageError("--solver: " + *message);
  options.solvers = std::get<std::vector<SolverChoice>>(std::move(solvers));
  return options;
}
