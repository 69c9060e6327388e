// Runs the solvers over a range of boards on several threads and hands the outcomes back in
// board order, so that every result is the same whatever the thread count.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "study/boards.h"
#include "study/solvers.h"

// Where boards come from: a file's boards, or the sequence a seed starts.
struct BoardSupply {
  const std::vector<StudyBoard>* fileBoards = nullptr;
  uint64_t seed = 0;
  uint32_t side = 0;
  uint32_t colorCount = 0;
};

void supplyBoard(const BoardSupply& supply, uint64_t index, StudyBoard& board);

struct BoardOutcome {
  uint64_t index = 0;
  StudyBoard board;
  std::vector<SolverOutcome> outcomes;  // one per solver, in the order asked
  std::vector<double> micros;           // each solver's time on this board
};

struct StudyPlan {
  BoardSupply supply;
  uint64_t firstBoard = 0;
  uint64_t boardCount = 0;
  std::vector<SolverChoice> solvers;
  uint32_t threads = 1;
  const std::atomic<bool>* stop = nullptr;  // once set, no further board is started
};

// Solves the plan's boards and calls `deliver` for each on the calling thread, in board order,
// and `progress` a few times a second with the number delivered so far. After a stop, the
// boards delivered are exactly the first ones of the range. Returns how many were delivered.
uint64_t runStudy(const StudyPlan& plan, const std::function<void(const BoardOutcome&)>& deliver,
                  const std::function<void(uint64_t delivered)>& progress);
