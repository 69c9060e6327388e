// Statistics of turn counts and the summary a person reads at the end of a study.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "board/draw.h"

// One solver's turn counts over the boards delivered so far. Counts are small integers, so a
// histogram holds them exactly and gives any percentile without keeping every board.
struct TurnStats {
  std::map<uint32_t, uint64_t> histogram;  // turns -> boards
  uint64_t boards = 0;
  uint64_t turnSum = 0;
  long double squareSum = 0;
  double microsSum = 0;
  uint64_t proven = 0;  // boards whose count is a proven optimum
  // Against the optimum, on the boards where exact proved it.
  uint64_t compared = 0;
  uint64_t excessSum = 0;
  uint64_t optimal = 0;
  uint32_t largestExcess = 0;
};

void addOutcome(TurnStats& stats, uint32_t turns, double micros, bool proven = false);
void addExcess(TurnStats& stats, uint32_t excess);
// Adds the statistics of other boards: the result is exactly what one pass over both would give.
void mergeStats(TurnStats& into, const TurnStats& other);
double meanTurns(const TurnStats& stats);
// The sample standard deviation; 0 for fewer than two boards.
double standardDeviation(const TurnStats& stats);
// Nearest rank: the smallest count that at least `percent` per cent of the boards do not exceed.
uint32_t percentileTurns(const TurnStats& stats, double percent);

// What the summary reports. Boards of a file may differ in side and colours, hence the ranges.
struct StudySummary {
  std::vector<std::string> solverLabels;
  std::vector<TurnStats> stats;  // one per solver, same order
  int exactSolver = -1;          // which of them is exact, if one is
  uint32_t minSide = 0, maxSide = 0;
  uint32_t minColors = 0, maxColors = 0;
  // Where the boards came from: the seed's sequence, or a board file.
  uint64_t seed = 0;
  ColorDraw draw = ColorDraw::program;  // of seeded boards
  std::string boardFile;                // "" for seeded boards
  uint64_t firstBoard = 0;
  uint64_t boardsAsked = 0;
  bool interrupted = false;
  bool writeFailed = false;  // a failed write ended the run
  std::string failure;       // a solver's answer that failed its check ended the run
  // The limits every search ran under: parts of one study share them.
  double timeLimitSeconds = 10;
  uint64_t memoryLimitMegabytes = 2048;
  uint64_t expansionLimit = 0;  // 0: none
  double wallSeconds = 0;
  uint32_t threads = 1;
  uint32_t columns = 80;       // width the histogram bars may use
  uint32_t partsMerged = 0;    // how many parts a merge put together, 0 for one run
  uint64_t missingBoards = 0;  // boards of the range no merged part covers
  std::string restOfStudy;     // after an interruption: how to study the boards left
};

// Boards delivered so far: those every solver's statistics count.
inline uint64_t boardsDone(const StudySummary& summary) {
  return summary.stats.empty() ? 0 : summary.stats.front().boards;
}

struct BoardOutcome;
// Counts a delivered board, unless a count in it is below a proven optimum: that is a bug,
// which it returns named instead ("" when the board counted).
std::string recordBoard(StudySummary& summary, const BoardOutcome& outcome);

// Which boards `count` boards from the first are and how to get them again, e.g. "Seed 7, boards
// 0 to 99 (the same boards again: --seed 7)"; a draw other than the program's is named, e.g.
// "Seed 7, boards 0 to 99, uniform draw (the same boards again: --seed 7 --draw uniform)".
std::string studyOrigin(const StudySummary& summary, uint64_t count);

std::string formatSummary(const StudySummary& summary);
// The histogram alone, one row per turn count or per bin of counts, at most `rows` rows.
std::string formatHistogram(const TurnStats& stats, uint32_t columns, uint32_t rows = 30);
