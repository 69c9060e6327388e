#include "study/runner.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace {

constexpr auto kProgressInterval = std::chrono::milliseconds(250);
constexpr uint64_t kDeliveryBatch = 32;

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
  // Set on the caller's stop or when the run ends early; the searches watch it too.
  std::atomic<bool> halt{false};
  SolveLimits limits;  // the plan's, with `halt` as their stop
};

// `graph` keeps its storage from the board before.
void solveBoard(const StudyPlan& plan, Exchange& exchange, RegionGraph& graph,
                BoardOutcome& outcome) {
  supplyBoard(plan.supply, outcome.index, outcome.board);
  const BoardColors& board = outcome.board;
  buildRegionGraph(board, graph);
  const uint32_t startBound = plan.boundWanted ? startLowerBound(graph) : 0;
  outcome.outcomes.resize(plan.solvers.size());
  outcome.micros.resize(plan.solvers.size());
  outcome.abandoned = false;
  outcome.failure.clear();
  for (size_t s = 0; s < plan.solvers.size() && !outcome.abandoned; ++s) {
    const SolverChoice& solver = plan.solvers[s];
    const Clock::time_point start = Clock::now();
    runSolver(solver, graph, startBound, exchange.limits, outcome.outcomes[s]);
    outcome.micros[s] = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    outcome.abandoned = outcome.outcomes[s].interrupted && exchange.halt.load();
    if (outcome.failure.empty() && !outcome.abandoned) {
      const std::string fault = checkAnswer(board, solver, outcome.outcomes[s]);
      if (!fault.empty()) outcome.failure = "board " + std::to_string(outcome.index) + ": " + fault;
    }
  }
}

void work(const StudyPlan& plan, Exchange& exchange) {
  RegionGraph graph;
  BoardOutcome outcome;
  const uint64_t window = exchange.slots.size();
  for (;;) {
    uint64_t taken = 0;
    {
      std::unique_lock lock(exchange.mutex);
      exchange.roomFreed.wait(lock, [&] {
        return exchange.halt.load() || exchange.nextToTake >= plan.boardCount ||
               exchange.nextToTake < exchange.delivered + window;
      });
      if (exchange.halt.load() || exchange.nextToTake >= plan.boardCount) break;
      taken = exchange.nextToTake++;
    }
    outcome.index = plan.firstBoard + taken;
    solveBoard(plan, exchange, graph, outcome);
    bool wake = false;
    {
      std::lock_guard lock(exchange.mutex);
      std::swap(exchange.slots[taken % window], outcome);  // both keep their storage
      exchange.filled[taken % window] = 1;
      // The deliverer is woken for a batch, not for every board, and when the boards run out
      // or the ring is about to fill; its own timeout catches the rest.
      wake = taken + 1 >= exchange.delivered + kDeliveryBatch ||
             taken + 1 >= exchange.delivered + window - kDeliveryBatch ||
             exchange.nextToTake >= plan.boardCount;
    }
    if (wake) exchange.outcomeReady.notify_one();
  }
  {
    std::lock_guard lock(exchange.mutex);
    --exchange.workersLeft;
  }
  exchange.outcomeReady.notify_one();
}

}  // namespace

void supplyBoard(const BoardSupply& supply, uint64_t index, BoardColors& board) {
  if (supply.fileBoards != nullptr)
    board = (*supply.fileBoards)[index];
  else
    seededBoard(supply.seed, index, supply.side, supply.colorCount, supply.draw, board);
}

std::string checkAnswer(const BoardColors& board, const SolverChoice& solver,
                        const SolverOutcome& outcome) {
  const std::optional<size_t> completedAfter = replayMoves(board, outcome.moves);
  const bool oneTurnOnCompleteBoard = solver.entry->completeBoardTakesOneTurn &&
                                      outcome.turns == 1 && replayMoves(board, {}) == size_t{0};
  if (outcome.turns == outcome.moves.size() &&
      (completedAfter == outcome.moves.size() || oneTurnOnCompleteBoard))
    return "";
  return solver.label + " reported " + std::to_string(outcome.turns) + " turns, but its " +
         std::to_string(outcome.moves.size()) + " moves " +
         (completedAfter ? "complete the board after " + std::to_string(*completedAfter)
                         : std::string("do not complete the board with the last of them"));
}

ThreadShare shareThreads(const StudyPlan& plan) {
  const uint32_t threads = std::max<uint32_t>(plan.threads, 1);
  if (plan.boardCount >= threads) return {threads, 1};
  const uint32_t workers = static_cast<uint32_t>(std::max<uint64_t>(plan.boardCount, 1));
  return {workers, plan.limits.expansionLimit != 0 ? 1 : threads / workers};
}

StudyEnd runStudy(const StudyPlan& plan, const std::function<void(const BoardOutcome&)>& deliver,
                  const std::function<void(uint64_t delivered)>& progress) {
  const ThreadShare share = shareThreads(plan);
  const uint32_t threads = share.workers;
  Exchange exchange;
  exchange.limits = plan.limits;
  exchange.limits.stop = &exchange.halt;
  // The plan's memory is a share a thread: a search on several threads holds theirs together.
  exchange.limits.searchThreads = share.searchThreads;
  exchange.limits.memoryLimitBytes *= share.searchThreads;
  const size_t window = std::max<size_t>(256, size_t{64} * threads);
  exchange.slots.resize(window);
  exchange.filled.assign(window, 0);
  exchange.workersLeft = threads;
  std::vector<std::thread> workers;
  for (uint32_t i = 0; i < threads; ++i) workers.emplace_back([&] { work(plan, exchange); });

  StudyEnd end;
  BoardOutcome current;
  Clock::time_point lastProgress = Clock::now();
  std::unique_lock lock(exchange.mutex);
  for (;;) {
    while (exchange.delivered < plan.boardCount && exchange.filled[exchange.delivered % window]) {
      const size_t slot = exchange.delivered % window;
      if (exchange.slots[slot].abandoned || !exchange.slots[slot].failure.empty()) {
        end.failure = exchange.slots[slot].failure;
        exchange.halt = true;
        break;
      }
      std::swap(current, exchange.slots[slot]);
      exchange.filled[slot] = 0;
      ++exchange.delivered;
      lock.unlock();
      exchange.roomFreed.notify_all();
      deliver(current);
      lock.lock();
    }
    if (exchange.delivered >= plan.boardCount || exchange.workersLeft == 0 || exchange.halt) break;
    exchange.outcomeReady.wait_for(lock, kProgressInterval);
    if (plan.stop != nullptr && plan.stop->load()) exchange.halt = true;
    if (Clock::now() - lastProgress >= kProgressInterval) {
      const uint64_t delivered = exchange.delivered;
      lock.unlock();
      progress(delivered);
      lastProgress = Clock::now();
      lock.lock();
    }
  }
  end.delivered = exchange.delivered;
  lock.unlock();
  exchange.roomFreed.notify_all();
  for (std::thread& worker : workers) worker.join();
  return end;
}
