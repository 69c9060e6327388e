#include "study/report.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "study/runner.h"

namespace {

std::string format(const char* pattern, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

std::string format(const char* pattern, ...) {
  char buffer[512];
  std::va_list args;
  va_start(args, pattern);
  const int length = std::vsnprintf(buffer, sizeof buffer, pattern, args);
  va_end(args);
  return std::string(buffer, static_cast<size_t>(std::clamp(length, 0, 511)));
}

std::string range(uint32_t low, uint32_t high, bool square) {
  const auto one = [&](uint32_t v) { return square ? format("%ux%u", v, v) : format("%u", v); };
  return low == high ? one(low) : one(low) + ".." + one(high);
}

// The interactive program's own three lines after a series, for the same boards.
std::string seriesLines(const StudySummary& summary, const TurnStats& stats) {
  const float average = static_cast<float>(stats.turnSum) / static_cast<float>(stats.boards);
  return format("Ran %d simulations with an average of %f turns\n", static_cast<int>(stats.boards),
                static_cast<double>(average)) +
         "Board Size=" + range(summary.minSide, summary.maxSide, true) +
         ", Colors=" + range(summary.minColors, summary.maxColors, false) + "\n" +
         format("Worst Turns to solve a board: %u\n", stats.histogram.rbegin()->first);
}

std::string statsTable(const StudySummary& summary) {
  size_t labelWidth = 6;
  for (const std::string& label : summary.solverLabels)
    labelWidth = std::max(labelWidth, label.size());
  const int width = static_cast<int>(labelWidth);
  const bool againstOptimum = summary.exactSolver >= 0;
  std::string text = format("%-*s %7s %6s %5s %6s %5s %5s %5s %9s", width, "solver", "mean", "sd",
                            "min", "median", "p90", "p99", "max", "ms/board");
  text += againstOptimum ? format(" %7s %7s %6s\n", "excess", "optimal", "worst") : "\n";
  for (size_t s = 0; s < summary.stats.size(); ++s) {
    const TurnStats& stats = summary.stats[s];
    text +=
        format("%-*s %7.2f %6.2f %5u %6u %5u %5u %5u %9.3f", width, summary.solverLabels[s].c_str(),
               meanTurns(stats), standardDeviation(stats), stats.histogram.begin()->first,
               percentileTurns(stats, 50), percentileTurns(stats, 90), percentileTurns(stats, 99),
               stats.histogram.rbegin()->first,
               stats.microsSum / 1000.0 / static_cast<double>(stats.boards));
    if (!againstOptimum || stats.compared == 0)
      text += againstOptimum ? format(" %7s %7s %6s\n", "-", "-", "-") : "\n";
    else
      text +=
          format(" %+7.2f %6.1f%% %+6d\n",
                 static_cast<double>(stats.excessSum) / static_cast<double>(stats.compared),
                 100.0 * static_cast<double>(stats.optimal) / static_cast<double>(stats.compared),
                 static_cast<int>(stats.largestExcess));
  }
  if (againstOptimum) {
    const TurnStats& exact = summary.stats[static_cast<size_t>(summary.exactSolver)];
    text += format("exact proved the optimum on %llu of %llu boards",
                   static_cast<unsigned long long>(exact.proven),
                   static_cast<unsigned long long>(exact.boards));
    text += exact.proven == exact.boards
                ? ".\n"
                : "; on the others it reached --time-limit, --expansion-limit or --memory-limit "
                  "and counts its best.\n";
    text +=
        "excess, optimal, worst: turns above that optimum, per board, on the boards it proved.\n";
  }
  return text;
}

}  // namespace

void addOutcome(TurnStats& stats, uint32_t turns, double micros, bool proven) {
  stats.proven += proven ? 1 : 0;
  ++stats.histogram[turns];
  ++stats.boards;
  stats.turnSum += turns;
  stats.squareSum += static_cast<long double>(turns) * turns;
  stats.microsSum += micros;
}

void addExcess(TurnStats& stats, uint32_t excess) {
  ++stats.compared;
  stats.excessSum += excess;
  stats.optimal += excess == 0 ? 1 : 0;
  stats.largestExcess = std::max(stats.largestExcess, excess);
}

void mergeStats(TurnStats& into, const TurnStats& other) {
  for (const auto& [turns, boards] : other.histogram) into.histogram[turns] += boards;
  into.boards += other.boards;
  into.turnSum += other.turnSum;
  into.squareSum += other.squareSum;
  into.microsSum += other.microsSum;
  into.proven += other.proven;
  into.compared += other.compared;
  into.excessSum += other.excessSum;
  into.optimal += other.optimal;
  into.largestExcess = std::max(into.largestExcess, other.largestExcess);
}

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

double meanTurns(const TurnStats& stats) {
  return stats.boards == 0 ? 0.0
                           : static_cast<double>(stats.turnSum) / static_cast<double>(stats.boards);
}

double standardDeviation(const TurnStats& stats) {
  if (stats.boards < 2) return 0.0;
  const long double n = static_cast<long double>(stats.boards);
  const long double mean = static_cast<long double>(stats.turnSum) / n;
  const long double variance = (stats.squareSum - n * mean * mean) / (n - 1);
  return static_cast<double>(std::sqrt(std::max<long double>(variance, 0)));
}

uint32_t percentileTurns(const TurnStats& stats, double percent) {
  if (stats.boards == 0) return 0;
  const auto rank = std::max<uint64_t>(
      1, static_cast<uint64_t>(std::ceil(percent / 100.0 * static_cast<double>(stats.boards))));
  uint64_t seen = 0;
  for (const auto& [turns, boards] : stats.histogram) {
    seen += boards;
    if (seen >= rank) return turns;
  }
  return stats.histogram.rbegin()->first;
}

std::string formatHistogram(const TurnStats& stats, uint32_t columns, uint32_t rows) {
  if (stats.boards == 0) return "";
  const uint32_t maxRows = std::max<uint32_t>(rows, 1);
  const uint32_t low = stats.histogram.begin()->first;
  const uint32_t high = stats.histogram.rbegin()->first;
  const uint32_t binWidth = (high - low) / maxRows + 1;
  std::vector<uint64_t> bins((high - low) / binWidth + 1, 0);
  for (const auto& [turns, boards] : stats.histogram) bins[(turns - low) / binWidth] += boards;

  const auto label = [&](size_t bin) {
    const uint32_t first = low + static_cast<uint32_t>(bin) * binWidth;
    return binWidth == 1 ? format("%u", first) : format("%u-%u", first, first + binWidth - 1);
  };
  size_t labelWidth = 0;
  for (size_t bin = 0; bin < bins.size(); ++bin)
    labelWidth = std::max(labelWidth, label(bin).size());
  const uint64_t most = *std::max_element(bins.begin(), bins.end());
  const size_t countWidth = std::to_string(most).size();
  // Two blanks, label, blank, count, blank; the last column stays free so no line wraps.
  const size_t used = labelWidth + countWidth + 5;
  const size_t barRoom = columns > used + 11 ? columns - used - 1 : 10;

  std::string text;
  for (size_t bin = 0; bin < bins.size(); ++bin) {
    size_t bar = static_cast<size_t>(
        std::llround(static_cast<double>(bins[bin]) * barRoom / static_cast<double>(most)));
    if (bins[bin] > 0) bar = std::max<size_t>(bar, 1);
    text += format("  %*s %*llu ", static_cast<int>(labelWidth), label(bin).c_str(),
                   static_cast<int>(countWidth), static_cast<unsigned long long>(bins[bin])) +
            std::string(bar, '#') + "\n";
  }
  return text;
}

std::string studyOrigin(const StudySummary& summary, uint64_t count) {
  const std::string boards =
      count == 0
          ? "no boards"
          : format("boards %llu to %llu", static_cast<unsigned long long>(summary.firstBoard),
                   static_cast<unsigned long long>(summary.firstBoard + count - 1));
  if (!summary.boardFile.empty()) {
    std::string text = boards + " of " + summary.boardFile;
    text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    return text;
  }
  const auto seed = static_cast<unsigned long long>(summary.seed);
  // The seed alone gives the program's draw: any other must be named to get these boards again.
  const std::string draw = colorDrawName(summary.draw);
  const bool drawNamed = summary.draw != ColorDraw::program;
  return format("Seed %llu, ", seed) + boards + (drawNamed ? ", " + draw + " draw" : "") +
         format(" (the same boards again: --seed %llu", seed) +
         (drawNamed ? " --draw " + draw : "") + ")";
}

std::string formatSummary(const StudySummary& summary) {
  const uint64_t done = boardsDone(summary);
  std::string text;
  const char* stoppedBy = !summary.failure.empty() ? "Stopped by a failed check"
                          : summary.writeFailed    ? "Stopped by a failed write"
                          : summary.interrupted    ? "Interrupted"
                                                   : nullptr;
  if (stoppedBy != nullptr)
    text += format("%s: these figures cover the first %llu of %llu boards.\n\n", stoppedBy,
                   static_cast<unsigned long long>(done),
                   static_cast<unsigned long long>(summary.boardsAsked));
  if (done > 0) {
    for (size_t s = 0; s < summary.stats.size(); ++s)
      text += summary.solverLabels[s] + ":\n" + seriesLines(summary, summary.stats[s]) + "\n";
    text += "Turns per board:\n" + statsTable(summary);
    // Several solvers share the rows a single one would have.
    const auto rows = static_cast<uint32_t>(std::max<size_t>(10, 30 / summary.stats.size()));
    for (size_t s = 0; s < summary.stats.size(); ++s)
      text += "\n" + summary.solverLabels[s] + ", boards by turns:\n" +
              formatHistogram(summary.stats[s], summary.columns, rows);
    text += "\n";
  }
  text += studyOrigin(summary, stoppedBy != nullptr ? done : summary.boardsAsked) + "\n";
  text += summary.restOfStudy;
  if (summary.missingBoards > 0)
    text += format("%llu boards of that range are in no part.\n",
                   static_cast<unsigned long long>(summary.missingBoards));
  const double rate = summary.wallSeconds > 0 ? static_cast<double>(done) / summary.wallSeconds : 0;
  if (summary.partsMerged > 0)
    text += format("%llu board%s in %.3f s, the %u parts' times added up: %.0f boards/s\n",
                   static_cast<unsigned long long>(done), done == 1 ? "" : "s", summary.wallSeconds,
                   summary.partsMerged, rate);
  else
    text += format("%llu board%s in %.3f s: %.0f boards/s on %u thread%s\n",
                   static_cast<unsigned long long>(done), done == 1 ? "" : "s", summary.wallSeconds,
                   rate, summary.threads, summary.threads == 1 ? "" : "s");
  return text;
}
