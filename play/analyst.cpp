#include "play/analyst.h"

#include <algorithm>
#include <thread>

#include "play/play_model.h"
#include "solve/region_graph.h"
#include "solve/solver.h"

std::optional<PositionAnalysis> analysePosition(const BoardColors& colors, double timeLimitSeconds,
                                                const std::atomic<bool>* stop) {
  if (isSolved(colors)) return PositionAnalysis{0, 0, true, std::nullopt};
  SolveLimits limits;
  limits.timeLimitSeconds = timeLimitSeconds;
  limits.stop = stop;
  // A second search thread where a core is left over for the window and the display server:
  // on two cores the search's second thread made the window's frames late (key to frame 3.4
  // instead of 2.5 ms at 14 x 14, on Xvfb).
  limits.searchThreads = std::clamp(std::thread::hardware_concurrency(), 2u, 3u) - 1;
  const Solution solution = solveExact(buildRegionGraph(colors), limits);
  if (solution.interrupted || solution.moves.empty()) return std::nullopt;
  PositionAnalysis analysis;
  analysis.best = static_cast<uint32_t>(solution.moves.size());
  analysis.proven = solution.proven;
  analysis.bound = solution.proven ? analysis.best : std::min(solution.bound, analysis.best);
  analysis.firstMove = solution.moves.front();
  return analysis;
}

Analyst::Analyst(double timeLimitSeconds, std::function<void()> analysed)
    : timeLimitSeconds_(timeLimitSeconds),
      analysed_(std::move(analysed)),
      thread_([this] { work(); }) {}

Analyst::~Analyst() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
    stopSearch_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void Analyst::newBoard(const BoardColors& start) {
  {
    std::lock_guard lock(mutex_);
    ++boardNumber_;
    start_ = start;
    current_.reset();
    known_.clear();
    if (searching_) stopSearch_ = true;
  }
  wake_.notify_all();
}

void Analyst::setPosition(const std::vector<uint8_t>& moves, const BoardColors& colors) {
  {
    std::lock_guard lock(mutex_);
    current_ = Job{moves, colors};
    if (searching_ && *searching_ != moves && !known_.contains(moves)) stopSearch_ = true;
  }
  wake_.notify_all();
}

std::optional<PositionAnalysis> Analyst::lookup(const std::vector<uint8_t>& moves) const {
  std::lock_guard lock(mutex_);
  const auto found = known_.find(moves);
  if (found == known_.end()) return std::nullopt;
  return found->second;
}

bool Analyst::nextJob(Job& job) const {
  if (current_ && !known_.contains(current_->moves)) {
    job = *current_;
    return true;
  }
  // The board's optimum, for the status line and the line at the end of the board.
  if (current_ && !known_.contains({})) {
    job = Job{{}, start_};
    return true;
  }
  return false;
}

void Analyst::work() {
  std::unique_lock lock(mutex_);
  while (!quit_) {
    Job job;
    if (!nextJob(job)) {
      wake_.wait(lock);
      continue;
    }
    const uint64_t board = boardNumber_;
    searching_ = job.moves;
    stopSearch_ = false;
    lock.unlock();
    const std::optional<PositionAnalysis> analysis =
        analysePosition(job.colors, timeLimitSeconds_, &stopSearch_);
    lock.lock();
    searching_.reset();
    if (analysis && board == boardNumber_ && !quit_) {
      known_[job.moves] = *analysis;
      lock.unlock();
      analysed_();
      lock.lock();
    }
  }
}
