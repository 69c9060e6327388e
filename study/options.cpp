#include "study/options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <thread>

namespace {

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

std::vector<std::string> splitAtCommas(const std::vector<std::string>& given) {
  std::vector<std::string> names;
  for (const std::string& text : given)
    for (size_t start = 0;;) {
      const size_t comma = text.find(',', start);
      names.push_back(text.substr(start, comma - start));
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
  return names;
}

// Values that parse but cannot be meant: an empty file name, which is what a script's unset
// variable gives, and a time limit that is not a number.
std::string refusedValue(const CLI::App& app, const StudyOptions& options) {
  const std::pair<const char*, const std::string*> paths[] = {
      {"--from", &options.fromPath},
      {"--csv", &options.csvPath},
      {"--write-boards", &options.writeBoardsPath},
      {"--plot", &options.plotPath}};
  for (const auto& [name, path] : paths)
    if (app.count(name) > 0 && path->empty()) return std::string(name) + ": the file name is empty";
  if (!(options.timeLimitSeconds >= 0.001 && options.timeLimitSeconds <= 1e6))
    return "--time-limit: not a number of seconds from 0.001 to 10^6";
  return "";
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
                   ->check(range(kMinSide, kMaxSide))
                   ->type_name("N")
                   ->capture_default_str();
  auto* colors = app.add_option("--colors", options.colorCount, "Number of colours, 2 to 32")
                     ->check(range(kMinColors, kMaxColors))
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
  // Split here rather than by the parser, which would drop an empty name ("greedy,").
  app.add_option("--solver", solverNames, "Solvers to run on every board, comma-separated")
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
                 "Megabytes exact's searches may hold at once, split evenly: each thread's "
                 "search may hold this divided by --threads (default 2048)")
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
  if (const std::string refusal = refusedValue(app, options); !refusal.empty())
    return usageError(refusal);
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
  auto solvers = parseSolvers(splitAtCommas(solverNames));
  if (auto* message = std::get_if<std::string>(&solvers))
    return usageError("--solver: " + *message);
  options.solvers = std::get<std::vector<SolverChoice>>(std::move(solvers));
  return options;
}

int studyError(int status, const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", kProgram, message.c_str());
  return status;
}

namespace {

uint64_t seedFromClock() {
  uint64_t state =
      static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count() ^
                            std::chrono::steady_clock::now().time_since_epoch().count());
  return splitMix64(state);
}

// The boards of --from: "", or why they cannot be studied.
std::string takeBoardsFromFile(const StudyOptions& options, StudySetup& setup) {
  const bool fromInput = options.fromPath == "-";
  const std::string name = fromInput ? "standard input" : options.fromPath;
  std::ifstream file;
  if (!fromInput) {
    file.open(options.fromPath);
    if (!file) return "cannot read " + name + ": " + std::strerror(errno);
  }
  auto read = readBoards(fromInput ? std::cin : file);
  if (const auto* error = std::get_if<BoardFileError>(&read))
    return name + (error->line > 0 ? ":" + std::to_string(error->line) : "") + ": " +
           error->message;
  auto boards = std::make_shared<const std::vector<StudyBoard>>(
      std::get<std::vector<StudyBoard>>(std::move(read)));
  if (options.firstBoard >= boards->size())
    return "--first-board " + std::to_string(options.firstBoard) + ": " + name + " holds " +
           std::to_string(boards->size()) + " boards";
  StudyPlan& plan = setup.plan;
  StudySummary& summary = setup.summary;
  const uint64_t available = boards->size() - options.firstBoard;
  plan.boardCount = options.boardCountGiven ? std::min(options.boardCount, available) : available;
  summary.minSide = summary.minColors = ~0u;
  for (uint64_t i = plan.firstBoard; i < plan.firstBoard + plan.boardCount; ++i) {
    const StudyBoard& board = (*boards)[i];
    summary.minSide = std::min(summary.minSide, board.side);
    summary.maxSide = std::max(summary.maxSide, board.side);
    summary.minColors = std::min(summary.minColors, board.colorCount);
    summary.maxColors = std::max(summary.maxColors, board.colorCount);
  }
  plan.supply.fileBoards = std::move(boards);
  summary.boardFile = name;
  return "";
}

void takeSeededBoards(const StudyOptions& options, StudySetup& setup) {
  const uint64_t seed = options.seed ? *options.seed : seedFromClock();
  setup.plan.supply = BoardSupply{nullptr, seed, options.side, options.colorCount};
  StudySummary& summary = setup.summary;
  summary.seed = seed;
  summary.minSide = summary.maxSide = options.side;
  summary.minColors = summary.maxColors = options.colorCount;
}

}  // namespace

std::variant<StudySetup, std::string> setUpStudy(const StudyOptions& options) {
  StudySetup setup;
  StudyPlan& plan = setup.plan;
  plan.solvers = options.solvers;
  plan.threads = options.threads;
  plan.firstBoard = options.firstBoard;
  plan.boardCount = options.boardCount;
  plan.limits.timeLimitSeconds = options.timeLimitSeconds;
  plan.limits.memoryLimitBytes = (options.memoryLimitMegabytes << 20) / options.threads;
  plan.boundWanted = !options.csvPath.empty();
  if (!options.fromPath.empty()) {
    if (std::string refusal = takeBoardsFromFile(options, setup); !refusal.empty()) return refusal;
  } else {
    takeSeededBoards(options, setup);
  }
  StudySummary& summary = setup.summary;
  summary.firstBoard = plan.firstBoard;
  summary.boardsAsked = plan.boardCount;
  summary.threads = plan.threads;
  for (size_t s = 0; s < plan.solvers.size(); ++s) {
    summary.solverLabels.push_back(plan.solvers[s].label);
    if (plan.solvers[s].entry->name == std::string_view("exact"))
      summary.exactSolver = static_cast<int>(s);
  }
  summary.stats.resize(plan.solvers.size());
  return setup;
}
