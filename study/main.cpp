// tidefill-study: solves many boards with no window and no pause, on every core, and reports
// statistics of the turns each solver needs.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "study/boards.h"
#include "study/options.h"
#include "study/plot.h"
#include "study/report.h"
#include "study/runner.h"
#include "study/terminal.h"

namespace {

constexpr const char* kProgram = "tidefill-study";
constexpr int kStatusWriteFailed = 1;
constexpr int kStatusBadUsage = 2;
constexpr int kStatusCheckFailed = 3;
constexpr int kStatusInterrupted = 130;

std::atomic<bool> interruptRequested{false};

// A second Ctrl-C ends the program at once, as it would without the handler.
extern "C" void onInterrupt(int) {
  interruptRequested.store(true);
  std::signal(SIGINT, SIG_DFL);
}

int fail(int status, const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", kProgram, message.c_str());
  return status;
}

uint64_t seedFromClock() {
  uint64_t state =
      static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count() ^
                            std::chrono::steady_clock::now().time_since_epoch().count());
  return splitMix64(state);
}

std::string duration(double seconds) {
  const auto whole = static_cast<unsigned long long>(seconds + 0.5);
  char text[32];
  if (whole >= 3600)
    std::snprintf(text, sizeof text, "%llu:%02llu:%02llu", whole / 3600, whole / 60 % 60,
                  whole % 60);
  else
    std::snprintf(text, sizeof text, "%llu:%02llu", whole / 60, whole % 60);
  return text;
}

// The progress line on standard error, redrawn in place.
struct ProgressLine {
  bool shown = false;
  size_t width = 0;

  void draw(uint64_t done, uint64_t total, double seconds) {
    const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0;
    char text[160];
    std::snprintf(text, sizeof text, "%llu of %llu boards, %.0f boards/s, %s left",
                  static_cast<unsigned long long>(done), static_cast<unsigned long long>(total),
                  rate,
                  rate > 0 ? duration(static_cast<double>(total - done) / rate).c_str() : "?");
    const std::string line = text;
    std::fprintf(stderr, "\r%s%s", line.c_str(),
                 std::string(width > line.size() ? width - line.size() : 0, ' ').c_str());
    std::fflush(stderr);
    width = line.size();
    shown = true;
  }
  void erase() {
    if (!shown) return;
    std::fprintf(stderr, "\r%s\r", std::string(width, ' ').c_str());
    std::fflush(stderr);
  }
};

// Reads the boards of --from and fits the plan and the summary to them; 0 or the exit status.
int takeBoardsFromFile(const StudyOptions& options, std::vector<BoardColors>& fileBoards,
                       StudyPlan& plan, StudySummary& summary) {
  const bool fromInput = options.fromPath == "-";
  const std::string name = fromInput ? "standard input" : options.fromPath;
  std::ifstream file;
  if (!fromInput) {
    file.open(options.fromPath);
    if (!file) return fail(kStatusBadUsage, "cannot read " + name + ": " + std::strerror(errno));
  }
  auto read = readBoards(fromInput ? std::cin : file);
  if (const auto* error = std::get_if<BoardFileError>(&read))
    return fail(kStatusBadUsage, name + (error->line > 0 ? ":" + std::to_string(error->line) : "") +
                                     ": " + error->message);
  fileBoards = std::get<std::vector<BoardColors>>(std::move(read));
  if (options.firstBoard >= fileBoards.size())
    return fail(kStatusBadUsage, "--first-board " + std::to_string(options.firstBoard) + ": " +
                                     name + " holds " + std::to_string(fileBoards.size()) +
                                     " boards");
  const uint64_t available = fileBoards.size() - options.firstBoard;
  plan.boardCount = options.boardCountGiven ? std::min(options.boardCount, available) : available;
  plan.supply.fileBoards = &fileBoards;
  summary.minSide = summary.minColors = ~0u;
  for (uint64_t i = plan.firstBoard; i < plan.firstBoard + plan.boardCount; ++i) {
    summary.minSide = std::min(summary.minSide, fileBoards[i].side);
    summary.maxSide = std::max(summary.maxSide, fileBoards[i].side);
    summary.minColors = std::min(summary.minColors, fileBoards[i].colorCount);
    summary.maxColors = std::max(summary.maxColors, fileBoards[i].colorCount);
  }
  summary.origin = "Boards " + std::to_string(plan.firstBoard) + " to " +
                   std::to_string(plan.firstBoard + plan.boardCount - 1) + " of " + name;
  return 0;
}

void takeSeededBoards(const StudyOptions& options, StudyPlan& plan, StudySummary& summary) {
  const uint64_t seed = options.seed ? *options.seed : seedFromClock();
  plan.supply = BoardSupply{nullptr, seed, options.side, options.colorCount};
  summary.minSide = summary.maxSide = options.side;
  summary.minColors = summary.maxColors = options.colorCount;
  summary.origin = "Seed " + std::to_string(seed) + ", boards " + std::to_string(plan.firstBoard) +
                   " to " + std::to_string(plan.firstBoard + plan.boardCount - 1) +
                   " (the same boards again: --seed " + std::to_string(seed) + ")";
}

std::string csvHeader(bool moves) {
  return std::string("board,solver,turns,proven,bound,side,colors,micros") +
         (moves ? ",moves\n" : "\n");
}

std::string csvRows(const BoardOutcome& outcome, const std::vector<SolverChoice>& solvers,
                    bool moves) {
  std::string rows;
  char row[192];
  for (size_t s = 0; s < solvers.size(); ++s) {
    const SolverOutcome& answer = outcome.outcomes[s];
    std::snprintf(row, sizeof row, "%llu,%s,%u,%d,%u,%u,%u,%.0f",
                  static_cast<unsigned long long>(outcome.index), solvers[s].label.c_str(),
                  answer.turns, answer.proven ? 1 : 0, answer.bound, outcome.board.side,
                  outcome.board.colorCount, outcome.micros[s]);
    rows += row;
    if (moves) {
      rows += ',';
      for (size_t m = 0; m < answer.moves.size(); ++m) {
        if (m > 0) rows += ' ';
        rows += std::to_string(answer.moves[m]);
      }
    }
    rows += '\n';
  }
  return rows;
}

// Adds a board to the statistics, unless a count in it is below a proven optimum: that is a
// bug, which it names instead.
std::string recordBoard(StudySummary& summary, const BoardOutcome& outcome) {
  const SolverOutcome* exact = summary.exactSolver >= 0
                                   ? &outcome.outcomes[static_cast<size_t>(summary.exactSolver)]
                                   : nullptr;
  if (exact != nullptr && exact->proven)
    for (size_t s = 0; s < outcome.outcomes.size(); ++s)
      if (outcome.outcomes[s].turns < exact->turns)
        return "board " + std::to_string(outcome.index) + ": " + summary.solverLabels[s] +
               " took " + std::to_string(outcome.outcomes[s].turns) +
               " turns, fewer than exact's proven " + std::to_string(exact->turns);
  for (size_t s = 0; s < outcome.outcomes.size(); ++s) {
    const SolverOutcome& answer = outcome.outcomes[s];
    addOutcome(summary.stats[s], answer.turns, outcome.micros[s], answer.proven);
    if (exact != nullptr && exact->proven) addExcess(summary.stats[s], answer.turns - exact->turns);
  }
  return "";
}

std::string plotTitle(const StudySummary& summary) {
  const uint64_t done = summary.stats.empty() ? 0 : summary.stats.front().boards;
  std::string title = "Turns per board, " + std::to_string(done) + " board" +
                      (done == 1 ? "" : "s") + " of " + std::to_string(summary.minSide) + "x" +
                      std::to_string(summary.minSide);
  if (summary.maxSide != summary.minSide)
    title += " to " + std::to_string(summary.maxSide) + "x" + std::to_string(summary.maxSide);
  title += ", " + std::to_string(summary.minColors);
  if (summary.maxColors != summary.minColors) title += " to " + std::to_string(summary.maxColors);
  return title + " colours";
}

}  // namespace

int main(int argc, char** argv) {
  auto parsed = parseOptions(argc, argv);
  if (const int* status = std::get_if<int>(&parsed)) return *status;
  const StudyOptions& options = std::get<StudyOptions>(parsed);

  StudyPlan plan;
  plan.solvers = options.solvers;
  plan.threads = options.threads;
  plan.firstBoard = options.firstBoard;
  plan.boardCount = options.boardCount;
  plan.stop = &interruptRequested;
  plan.limits.timeLimitSeconds = options.timeLimitSeconds;
  plan.limits.memoryLimitBytes = (options.memoryLimitMegabytes << 20) / options.threads;
  plan.boundWanted = !options.csvPath.empty();
  StudySummary summary;
  std::vector<BoardColors> fileBoards;
  if (!options.fromPath.empty()) {
    if (const int status = takeBoardsFromFile(options, fileBoards, plan, summary)) return status;
  } else {
    takeSeededBoards(options, plan, summary);
  }

  const bool csvToOutput = options.csvPath == "-";
  std::FILE* csv = nullptr;
  if (csvToOutput) {
    csv = stdout;
  } else if (!options.csvPath.empty()) {
    csv = std::fopen(options.csvPath.c_str(), "w");
    if (csv == nullptr)
      return fail(kStatusWriteFailed,
                  "cannot write " + options.csvPath + ": " + std::strerror(errno));
  }
  std::ofstream boardsOut;
  if (!options.writeBoardsPath.empty()) {
    boardsOut.open(options.writeBoardsPath);
    if (!boardsOut)
      return fail(kStatusWriteFailed,
                  "cannot write " + options.writeBoardsPath + ": " + std::strerror(errno));
    boardsOut << "# tidefill-study boards; " << summary.origin << "\n";
  }
  if (csv != nullptr) std::fputs(csvHeader(options.moves).c_str(), csv);

  summary.boardsAsked = plan.boardCount;
  summary.threads = plan.threads;
  for (size_t s = 0; s < plan.solvers.size(); ++s) {
    summary.solverLabels.push_back(plan.solvers[s].label);
    if (plan.solvers[s].entry->provesOptimum) summary.exactSolver = static_cast<int>(s);
  }
  summary.stats.resize(plan.solvers.size());

  std::signal(SIGINT, onInterrupt);
  ProgressLine progress;
  const bool showProgress = !options.quiet && isTerminal(stderr);
  const auto start = std::chrono::steady_clock::now();
  const auto secondsSinceStart = [&] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  const StudyEnd end = runStudy(
      plan,
      [&](const BoardOutcome& outcome) {
        if (!summary.failure.empty()) return;  // the run is ending; nothing more counts
        summary.failure = recordBoard(summary, outcome);
        if (!summary.failure.empty()) {
          interruptRequested = true;  // stops the workers as Ctrl-C would
          return;
        }
        if (csv != nullptr) {
          const std::string rows = csvRows(outcome, plan.solvers, options.moves);
          std::fwrite(rows.data(), 1, rows.size(), csv);
        }
        if (boardsOut.is_open()) writeBoard(boardsOut, outcome.board, outcome.index);
      },
      [&](uint64_t done) {
        if (showProgress) progress.draw(done, plan.boardCount, secondsSinceStart());
      });
  summary.wallSeconds = secondsSinceStart();
  if (summary.failure.empty()) summary.failure = end.failure;
  summary.interrupted = end.delivered < plan.boardCount;
  progress.erase();
  summary.columns = terminalColumns();

  int status = 0;
  if (!summary.failure.empty())
    status = fail(kStatusCheckFailed, "a solver's answer failed its check, " + summary.failure);
  else if (summary.interrupted)
    status = kStatusInterrupted;
  if (!options.plotPath.empty()) {
    std::ofstream plot(options.plotPath);
    plot << turnPlot(plotTitle(summary), summary.solverLabels, summary.stats);
    plot.close();
    if (!plot) status = fail(kStatusWriteFailed, "cannot write " + options.plotPath);
  }
  const std::string text = formatSummary(summary);
  std::fputs(text.c_str(), csvToOutput ? stderr : stdout);
  std::fflush(stdout);
  if (csv != nullptr && csv != stdout && std::fclose(csv) != 0)
    status =
        fail(kStatusWriteFailed, "cannot write " + options.csvPath + ": " + std::strerror(errno));
  else if (csvToOutput && std::ferror(stdout))
    status = fail(kStatusWriteFailed, "cannot write the CSV to standard output");
  if (boardsOut.is_open()) {
    boardsOut.close();
    if (!boardsOut) status = fail(kStatusWriteFailed, "cannot write " + options.writeBoardsPath);
  }
  return status;
}
