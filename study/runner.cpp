#include "study/runner.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kProgressInterval = std::chrono::milliseconds(250);

// Outcomes wait in a ring of slots until every earlier board has been delivered; a worker
// that runs too far ahead of the slowest board waits for room.
struct Exchange {
  std::mutex mutex;
  std::condition_variable roomFreed;
  std::condition_variable outcomeReady;
  std::vector<BoardOutcome> slots;
  std::vector<uint8_t> filled;
  uint64_t nextToTake = 0;  // counted from the plan's first board
  uint64_t delivered = 0;
  uint32_t workersLeft = 0;
};

bool stopped(const StudyPlan& plan) {
  return plan.stop != nullptr && plan.stop->load(std::memory_order_relaxed);
}

void solveBoard(const StudyPlan& plan, SolverWorkspace& workspace, BoardOutcome& outcome) {
  supplyBoard(plan.supply, outcome.index, outcome.board);
  outcome.outcomes.resize(plan.solvers.size());
  outcome.micros.resize(plan.solvers.size());
  for (size_t s = 0; s < plan.solvers.size(); ++s) {
    const SolverChoice& solver = plan.solvers[s];
    const Clock::time_point start = Clock::now();
    outcome.outcomes[s] = solver.entry->solve(outcome.board, solver.argument, workspace);
    outcome.micros[s] = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
  }
}

void work(const StudyPlan& plan, Exchange& exchange) {
  SolverWorkspace workspace;
  BoardOutcome outcome;
  const uint64_t window = exchange.slots.size();
  for (;;) {
    uint64_t taken = 0;
    {
      std::unique_lock lock(exchange.mutex);
      exchange.roomFreed.wait(lock, [&] {
        return stopped(plan) || exchange.nextToTake >= plan.boardCount ||
               exchange.nextToTake < exchange.delivered + window;
      });
      if (stopped(plan) || exchange.nextToTake >= plan.boardCount) break;
      taken = exchange.nextToTake++;
    }
    outcome.index = plan.firstBoard + taken;
    solveBoard(plan, workspace, outcome);
    bool awaited = false;
    {
      std::lock_guard lock(exchange.mutex);
      std::swap(exchange.slots[taken % window], outcome);  // both keep their storage
      exchange.filled[taken % window] = 1;
      awaited = taken == exchange.delivered;
    }
    // Only the board the deliverer waits for wakes it; the ones after it are taken in the
    // same wake-up.
    if (awaited) exchange.outcomeReady.notify_one();
  }
  {
    std::lock_guard lock(exchange.mutex);
    --exchange.workersLeft;
  }
  exchange.outcomeReady.notify_one();
}

}  // namespace

void supplyBoard(const BoardSupply& supply, uint64_t index, StudyBoard& board) {
  if (supply.fileBoards != nullptr)
    board = (*supply.fileBoards)[index];
  else
    seededBoard(supply.seed, index, supply.side, supply.colorCount, board);
}

uint64_t runStudy(const StudyPlan& plan, const std::function<void(const BoardOutcome&)>& deliver,
                  const std::function<void(uint64_t delivered)>& progress) {
  const uint32_t threads = std::max<uint32_t>(plan.threads, 1);
  Exchange exchange;
  const size_t window = std::max<size_t>(256, size_t{64} * threads);
  exchange.slots.resize(window);
  exchange.filled.assign(window, 0);
  exchange.workersLeft = threads;
  std::vector<std::thread> workers;
  for (uint32_t i = 0; i < threads; ++i) workers.emplace_back([&] { work(plan, exchange); });

  BoardOutcome current;
  Clock::time_point lastProgress = Clock::now();
  std::unique_lock lock(exchange.mutex);
  for (;;) {
    while (exchange.delivered < plan.boardCount && exchange.filled[exchange.delivered % window]) {
      const size_t slot = exchange.delivered % window;
      std::swap(current, exchange.slots[slot]);
      exchange.filled[slot] = 0;
      ++exchange.delivered;
      lock.unlock();
      exchange.roomFreed.notify_all();
      deliver(current);
      lock.lock();
    }
    if (exchange.delivered >= plan.boardCount || exchange.workersLeft == 0) break;
    if (stopped(plan)) exchange.roomFreed.notify_all();  // waiting workers see the stop
    exchange.outcomeReady.wait_for(lock, kProgressInterval);
    if (Clock::now() - lastProgress >= kProgressInterval) {
      const uint64_t delivered = exchange.delivered;
      lock.unlock();
      progress(delivered);
      lastProgress = Clock::now();
      lock.lock();
    }
  }
  const uint64_t delivered = exchange.delivered;
  lock.unlock();
  exchange.roomFreed.notify_all();
  for (std::thread& worker : workers) worker.join();
  return delivered;
}
