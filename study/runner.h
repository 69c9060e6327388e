// Runs the solvers over a range of boards on several threads and hands the outcomes back in
// board order, so that every result is the same whatever the thread count.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "study/boards.h"
#include "study/solvers.h"

// Where boards come from: a file's boards, or the sequence a seed starts.
struct BoardSupply {
  std::shared_ptr<const std::vector<BoardColors>> fileBoards;  // null: the seed's sequence
  uint64_t seed = 0;
  uint32_t side = 0;
  uint32_t colorCount = 0;
  ColorDraw draw = ColorDraw::program;
};

void supplyBoard(const BoardSupply& supply, uint64_t index, BoardColors& board);

struct BoardOutcome {
  uint64_t index = 0;
  BoardColors board;
  std::vector<SolverOutcome> outcomes;  // one per solver, in the order asked
  std::vector<double> micros;           // each solver's time on this board
  bool abandoned = false;               // a solver was stopped before its answer
  std::string failure;                  // a solver's answer that failed its check
};

struct StudyPlan {
  BoardSupply supply;
  uint64_t firstBoard = 0;
  uint64_t boardCount = 0;
  std::vector<SolverChoice> solvers;
  uint32_t threads = 1;
  const std::atomic<bool>* stop = nullptr;  // once set, no further board is started
  SolveLimits limits;                       // for each search; the runner sets their stop
  bool boundWanted = false;                 // report every board's start bound
};

struct StudyEnd {
  uint64_t delivered = 0;  // boards delivered: the first ones of the range
  std::string failure;     // why the run ended early, when a solver's answer failed its check
};

// How a plan's threads serve its boards: one board a worker, and when there are fewer boards
// than threads, the spare threads go to each board's exact search. Not under an expansion
// limit, whose answers must not depend on the thread count.
struct ThreadShare {
  uint32_t workers = 1;
  uint32_t searchThreads = 1;  // for each board's exact search
};
ThreadShare shareThreads(const StudyPlan& plan);

// Solves the plan's boards and calls `deliver` for each on the calling thread, in board order,
// and `progress` a few times a second with the number delivered so far. Every answer is
// replayed on its board before it is delivered. A stop, or an answer that fails its replay,
// ends the run: the boards delivered are then the first ones of the range, up to the one that
// was stopped or failed.
StudyEnd runStudy(const StudyPlan& plan, const std::function<void(const BoardOutcome&)>& deliver,
                  const std::function<void(uint64_t delivered)>& progress);

// Why an answer does not hold, or "" when its moves complete the board in its count of turns.
std::string checkAnswer(const BoardColors& board, const SolverChoice& solver,
                        const SolverOutcome& outcome);
