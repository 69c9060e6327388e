#include "study/options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <limits>
#include <thread>

#include "study/escape.h"
#include "study/terminal.h"

namespace {

constexpr const char* kExamples =
    "\nExamples:\n"
    "  tidefill-study --seed 7\n"
    "    1000 boards of 14 x 14 with 6 colours; the same seed gives the same boards\n"
    "\n"
    "  tidefill-study --size 64 --colors 32 --boards 200 --csv turns.csv\n"
    "    200 large boards, one CSV row per board\n"
    "\n"
    "  tidefill-study --seed 7 --write-boards b.txt; tidefill-study --from b.txt\n"
    "    the same boards again, from a file\n"
    "\n"
    "  tidefill-study --solver greedy,distance,beam:10,exact --plot turns.svg\n"
    "    four solvers side by side against the proven optimum, and a chart\n"
    "\n"
    "Results go to standard output; the progress line to standard error, when it is a "
    "terminal.\n"
    "\n"
    "Exit status: 0 done, 1 a file could not be written, 2 bad usage or a bad board file, 3 a "
    "solver's answer failed its replay (a bug), 130, 143 and 129 stopped by Ctrl-C, SIGTERM and "
    "SIGHUP (the boards finished so far are reported and written).\n";

// Breaks `text` into lines of at most `width` characters at blanks, keeping the blanks within a
// line as they are; lines after the first start with `indent` blanks. A word longer than a line
// stands alone on its line.
std::string wrapWords(const std::string& text, size_t width, size_t indent) {
  std::string wrapped;
  size_t lineLength = 0;
  bool lineHasWord = false;
  for (size_t position = text.find_first_not_of(' '), gapStart = 0; position != std::string::npos;
       position = text.find_first_not_of(' ', gapStart)) {
    const size_t gap = position - gapStart;
    const size_t end = std::min(text.find(' ', position), text.size());
    const size_t wordLength = end - position;
    if (lineHasWord && lineLength + gap + wordLength > width) {
      wrapped += "\n" + std::string(indent, ' ');
      lineLength = indent;
    } else {
      wrapped.append(gap, ' ');
      lineLength += gap;
    }
    wrapped.append(text, position, wordLength);
    lineLength += wordLength;
    lineHasWord = true;
    gapStart = end;
  }
  return wrapped;
}

// Help text wrapped to the terminal, the descriptions in a column of their own.
class WrappingFormatter : public CLI::Formatter {
 public:
  explicit WrappingFormatter(size_t width) : width_(width) { column_width(kNameColumn); }

  std::string make_option_desc(const CLI::Option* option) const override {
    // The parser indents every line after the first to the column itself.
    return wrapWords(CLI::Formatter::make_option_desc(option),
                     width_ > kNameColumn + 20 ? width_ - kNameColumn - 1 : 20, 0);
  }
  std::string make_description(const CLI::App* app) const override {
    return wrapWords(app->get_description(), width_ - 1, 0) + "\n";
  }
  std::string make_footer(const CLI::App* app) const override {
    // Each line on its own; a solver's description continues under its first word.
    std::string footer;
    const std::string& text = app->get_footer();
    for (size_t start = 0; start < text.size();) {
      const size_t end = std::min(text.find('\n', start), text.size());
      const std::string line = text.substr(start, end - start);
      const size_t gap = line.find("  ", 2);
      const size_t indent = line.rfind("  ", 0) == 0 && gap != std::string::npos
                                ? line.find_first_not_of(' ', gap)
                            : line.rfind("  ", 0) == 0 ? 4
                                                       : 0;
      footer += wrapWords(line, width_ - 1, std::min<size_t>(indent, width_ / 2)) + "\n";
      start = end + 1;
    }
    return "\n" + footer;
  }

 private:
  static constexpr size_t kNameColumn = 30;
  size_t width_;
};

// The width help is wrapped to: the terminal's, or 80 when standard output is no terminal.
size_t helpWidth() {
  return isTerminal(stdout) ? std::clamp<size_t>(terminalColumns(), 50, 200) : 80;
}

int usageError(const std::string& message) {
  std::fprintf(stderr, "%s: %s\nRun '%s --help' for the options.\n", kProgram,
               escapedForTerminal(message).c_str(), kProgram);
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
      {"--plot", &options.plotPath},
      {"--json", &options.jsonPath}};
  for (const auto& [name, path] : paths)
    if (app.count(name) > 0 && path->empty()) return std::string(name) + ": the file name is empty";
  if (!(options.timeLimitSeconds >= 0.001 && options.timeLimitSeconds <= 1e6))
    return "--time-limit: not a number of seconds from 0.001 to 10^6";
  return "";
}

}  // namespace

namespace {

// The raw texts of the options that need more than the parser's checks.
struct RawOptions {
  std::vector<std::string> solverNames{"greedy"};
  std::string seedText;
  std::string drawText;
};

void addOptions(CLI::App& app, StudyOptions& options, RawOptions& raw) {
  // The ranges are in the descriptions; the parser's own would repeat them in its type column.
  const auto range = [](auto low, auto high) { return CLI::Range(low, high).description(""); };
  app.add_option("--size", options.side, "Board side in tiles, 3 to 256")
      ->check(range(minSide, maxSide))
      ->type_name("N")
      ->capture_default_str();
  app.add_option("--colors", options.colorCount, "Number of colours, 2 to 32")
      ->check(range(minColors, maxColors))
      ->type_name("C")
      ->capture_default_str();
  app.add_option("-n,--boards", options.boardCount,
                 "Number of boards, 1 to 10^9 (default 1000, or all of --from)")
      ->check(range(uint64_t{1}, kMaxBoards))
      ->type_name("N");
  app.add_option("-s,--seed", raw.seedText,
                 "Unsigned 64-bit seed: board i is the same on every run, thread count and "
                 "machine (default: from the clock)")
      ->type_name("S");
  app.add_option("--draw", raw.drawText,
                 "How seeded boards draw their colours: program, the program's own rule, under "
                 "which the first and last colours come up half as often as the others "
                 "(default), or uniform, every colour equally often; the seed's boards differ "
                 "between the two")
      ->type_name("RULE");
  app.add_option("--from", options.fromPath,
                 "Read the boards from FILE (- for standard input) instead of generating them")
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
  app.add_option("--solver", raw.solverNames,
                 "Solvers to run on every board, comma-separated (default greedy)")
      ->option_text("NAME[,NAME...]");
  app.add_option(
         "-j,--threads", options.threads,
         "Worker threads, 1 to 1024 (default: one per core). With fewer boards than threads, "
         "the spare threads join each board's exact search (except under "
         "--expansion-limit, whose answers must not depend on the thread count)")
      ->check(range(uint32_t{1}, kMaxThreads))
      ->type_name("N");
  app.add_option("-o,--csv", options.csvPath,
                 "Write one row per board and solver to FILE (- for standard output, which "
                 "moves the summary to standard error)")
      ->type_name("FILE");
  app.add_flag("--moves", options.moves,
               "Add a column with each solver's moves to the CSV (colour indices, "
               "blank-separated)");
  app.add_option("--time-limit", options.timeLimitSeconds,
                 "Seconds beam:W and exact may search one board before they report their best, "
                 "unproven (default 10); the other solvers take no time to speak of")
      ->check(range(0.001, 1e6))
      ->type_name("SECONDS");
  app.add_option("--memory-limit", options.memoryLimitMegabytes,
                 "Megabytes exact's searches may hold at once, split evenly: each thread's "
                 "search may hold this divided by --threads (default 2048)")
      ->check(range(uint64_t{16}, uint64_t{1} << 30))
      ->type_name("MB");
  app.add_option("--json", options.jsonPath,
                 "Write the study's result to FILE as one JSON document (- for standard output), "
                 "which 'tidefill-study merge' puts together with the other parts of a study")
      ->type_name("FILE");
  app.add_option("--expansion-limit", options.expansionLimit,
                 "States beam:W and exact may expand on one board before they report their "
                 "best, unproven, 1 to 10^15 (default none). A count, unlike time, is the same "
                 "on every machine and thread count, so the answers repeat exactly while no "
                 "search reaches --memory-limit. Given without --time-limit, it is the only "
                 "limit on a search's time")
      ->check(range(uint64_t{1}, kMaxExpansionLimit))
      ->type_name("N");
  app.add_option("--plot", options.plotPath,
                 "Draw each solver's turns per board on one chart, an SVG file for any browser")
      ->type_name("FILE.svg");
  app.add_flag("--quiet", options.quiet, "No progress line");
  app.set_version_flag("-V,--version", std::string(kProgram) + " " + TIDEFILL_VERSION,
                       "Print the version and exit");
}

// Edit distance, for suggesting the option a mistyped one was meant to be.
size_t editDistance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1] ? 1 : 0)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// "--bords: no such option; did you mean --boards?", or "" when nothing given is an unknown
// long option or none is near it.
std::string unknownOption(const CLI::App& app, const std::vector<std::string>& extras) {
  for (const std::string& given : extras) {
    if (given.rfind("--", 0) != 0) continue;
    const std::string name = given.substr(0, given.find('='));
    std::string nearest;
    size_t best = 3;  // farther than two edits is no longer a typo
    for (const CLI::Option* option : app.get_options())
      for (const std::string& known : option->get_lnames())
        if (const size_t distance = editDistance(name, "--" + known); distance < best) {
          best = distance;
          nearest = "--" + known;
        }
    return name + ": no such option" + (nearest.empty() ? "" : "; did you mean " + nearest + "?");
  }
  return "";
}

// The checks across options, once they have parsed; "" or the message.
std::string completeOptions(const CLI::App& app, const RawOptions& raw, StudyOptions& options) {
  if (std::string refusal = refusedValue(app, options); !refusal.empty()) return refusal;
  if (app.count("--from") > 0)
    for (const char* generated : {"--size", "--colors", "--seed", "--draw"})
      if (app.count(generated) > 0)
        return std::string(generated) +
               " describes generated boards; --from takes them from its file";
  // Parts seeded by different clocks would not be parts of one study.
  if (app.count("--first-board") > 0 && app.count("--seed") == 0 && app.count("--from") == 0)
    return "--first-board needs --seed (or --from), so that the parts are of one study";
  if (options.csvPath == "-" && options.jsonPath == "-")
    return "--csv - and --json - would both take standard output";
  options.boardCountGiven = app.count("--boards") > 0;
  // A count of expansions repeats on any machine; the default wall-clock limit beside it would
  // not.
  if (app.count("--expansion-limit") > 0 && app.count("--time-limit") == 0)
    options.timeLimitSeconds = std::numeric_limits<double>::infinity();
  options.threadsGiven = app.count("--threads") > 0;
  if (app.count("--seed") > 0) {
    options.seed = seedFromText(raw.seedText);
    if (!options.seed) return "--seed: " + raw.seedText + " is not an unsigned 64-bit number";
  }
  if (app.count("--draw") > 0) {
    const std::optional<ColorDraw> draw = colorDrawNamed(raw.drawText);
    if (!draw) return "--draw: '" + raw.drawText + "' is neither program nor uniform";
    options.draw = *draw;
  }
  auto solvers = parseSolvers(splitAtCommas(raw.solverNames));
  if (auto* message = std::get_if<std::string>(&solvers)) return "--solver: " + *message;
  options.solvers = std::get<std::vector<SolverChoice>>(std::move(solvers));
  return "";
}

}  // namespace

std::variant<StudyOptions, int> parseOptions(int argc, const char* const* argv) {
  StudyOptions options;
  options.threads = std::clamp<uint32_t>(std::thread::hardware_concurrency(), 1, kMaxThreads);
  RawOptions raw;
  CLI::App app(
      "Solves many boards of the colour-region puzzle at full speed on every core and "
      "reports statistics of the turns each solver needs.",
      kProgram);
  app.formatter(std::make_shared<WrappingFormatter>(helpWidth()));
  addOptions(app, options, raw);
  app.footer(describeSolvers() + kExamples);
  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& answered) {  // --help or --version
    return app.exit(answered);
  } catch (const CLI::ExtrasError& error) {
    const std::string unknown = unknownOption(app, app.remaining());
    return usageError(unknown.empty() ? error.what() : unknown);
  } catch (const CLI::ParseError& error) {
    return usageError(error.what());
  }
  if (const std::string refusal = completeOptions(app, raw, options); !refusal.empty())
    return usageError(refusal);
  return options;
}

namespace {

// A word as a POSIX shell reads it back.
std::string shellWord(const std::string& word) {
  if (!word.empty() && word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                              "0123456789-_./:,=+") == std::string::npos)
    return word;
  std::string quoted = "'";
  for (const char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// turns.csv -> turns.from-K.csv, so that the rest of a study does not overwrite its first part.
std::string partPath(const std::string& path, uint64_t first) {
  if (path == "-") return path;
  const size_t slash = path.find_last_of("/\\");
  const size_t dot = path.rfind('.');
  const bool hasExtension =
      dot != std::string::npos && dot > 0 && (slash == std::string::npos || dot > slash + 1);
  const std::string tag = ".from-" + std::to_string(first);
  return hasExtension ? path.substr(0, dot) + tag + path.substr(dot) : path + tag;
}

}  // namespace

std::string restOfStudy(const StudyOptions& options, const StudySummary& summary,
                        const char* program) {
  const uint64_t first = summary.firstBoard + boardsDone(summary);
  const uint64_t left = summary.boardsAsked - boardsDone(summary);
  std::vector<std::string> words{program};
  const auto add = [&](const char* name, const std::string& value) {
    words.push_back(name);
    words.push_back(value);
  };
  if (!options.fromPath.empty()) {
    add("--from", options.fromPath);
  } else {
    add("--seed", std::to_string(summary.seed));
    add("--size", std::to_string(options.side));
    add("--colors", std::to_string(options.colorCount));
  }
  add("--first-board", std::to_string(first));
  add("--boards", std::to_string(left));
  std::string solvers;
  for (const SolverChoice& solver : options.solvers)
    solvers += (solvers.empty() ? "" : ",") + solver.label;
  add("--solver", solvers);
  if (options.draw != ColorDraw::program && options.fromPath.empty())
    add("--draw", colorDrawName(options.draw));
  if (std::isfinite(options.timeLimitSeconds)) {
    char limit[32];
    std::snprintf(limit, sizeof limit, "%g", options.timeLimitSeconds);
    add("--time-limit", limit);
  }
  if (options.expansionLimit > 0) add("--expansion-limit", std::to_string(options.expansionLimit));
  add("--memory-limit", std::to_string(options.memoryLimitMegabytes));
  if (options.threadsGiven) add("--threads", std::to_string(options.threads));
  const std::pair<const char*, const std::string*> outputs[] = {
      {"--csv", &options.csvPath},
      {"--json", &options.jsonPath},
      {"--plot", &options.plotPath},
      {"--write-boards", &options.writeBoardsPath}};
  for (const auto& [name, path] : outputs)
    if (!path->empty()) add(name, partPath(*path, first));
  if (options.moves) words.push_back("--moves");
  if (options.quiet) words.push_back("--quiet");
  std::string command;
  for (const std::string& word : words) command += (command.empty() ? "" : " ") + shellWord(word);
  std::string text = "The rest of the study: " + command + "\n";
  if (!options.jsonPath.empty() && options.jsonPath != "-")
    text += "Then the whole: " + std::string(kProgram) + " merge " + shellWord(options.jsonPath) +
            " " + shellWord(partPath(options.jsonPath, first)) + "\n";
  return text;
}

int studyError(int status, const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", kProgram, escapedForTerminal(message).c_str());
  return status;
}

namespace {

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
  auto boards = std::make_shared<const std::vector<BoardColors>>(
      std::get<std::vector<BoardColors>>(std::move(read)));
  if (options.firstBoard >= boards->size())
    return "--first-board " + std::to_string(options.firstBoard) + ": " + name + " holds " +
           std::to_string(boards->size()) + " boards";
  StudyPlan& plan = setup.plan;
  StudySummary& summary = setup.summary;
  const uint64_t available = boards->size() - options.firstBoard;
  plan.boardCount = options.boardCountGiven ? std::min(options.boardCount, available) : available;
  summary.minSide = summary.minColors = ~0u;
  for (uint64_t i = plan.firstBoard; i < plan.firstBoard + plan.boardCount; ++i) {
    const BoardColors& board = (*boards)[i];
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
  setup.plan.supply = BoardSupply{nullptr, seed, options.side, options.colorCount, options.draw};
  StudySummary& summary = setup.summary;
  summary.seed = seed;
  summary.draw = options.draw;
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
  plan.limits.expansionLimit = options.expansionLimit;
  plan.boundWanted = !options.csvPath.empty();
  if (!options.fromPath.empty()) {
    if (std::string refusal = takeBoardsFromFile(options, setup); !refusal.empty()) return refusal;
  } else {
    takeSeededBoards(options, setup);
  }
  StudySummary& summary = setup.summary;
  summary.firstBoard = plan.firstBoard;
  summary.timeLimitSeconds = options.timeLimitSeconds;
  summary.memoryLimitMegabytes = options.memoryLimitMegabytes;
  summary.expansionLimit = options.expansionLimit;
  summary.boardsAsked = plan.boardCount;
  summary.threads = plan.threads;
  for (size_t s = 0; s < plan.solvers.size(); ++s) {
    summary.solverLabels.push_back(plan.solvers[s].label);
    if (plan.solvers[s].entry->provesOptimum) summary.exactSolver = static_cast<int>(s);
  }
  summary.stats.resize(plan.solvers.size());
  return setup;
}
