// The proven optimum of the position in hand, searched on a worker thread so that the window
// never waits for it. Results are kept per position (the moves that reach it), so taking a move
// back or restarting finds its answer at once.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "solve/board_colors.h"

struct PositionAnalysis {
  uint32_t best = 0;                 // moves of the best answer found from the position
  uint32_t bound = 0;                // admissible lower bound; equal to best when proven
  bool proven = false;               // best is the fewest moves from the position
  std::optional<uint8_t> firstMove;  // the colour that starts that answer; none when solved
};

// The search of one position, as the worker runs it: the exact solver within the time limit,
// stopped early when `stop` is set. Nothing when it was stopped before it had its answer.
std::optional<PositionAnalysis> analysePosition(const BoardColors& colors, double timeLimitSeconds,
                                                const std::atomic<bool>* stop = nullptr);

class Analyst {
 public:
  // `analysed` runs on the worker thread after every result, to wake the front end.
  Analyst(double timeLimitSeconds, std::function<void()> analysed);
  ~Analyst();
  Analyst(const Analyst&) = delete;
  Analyst& operator=(const Analyst&) = delete;

  // A new board: every result of the previous one is forgotten and its search stopped.
  void newBoard(const BoardColors& start);
  // The position in hand, searched first; a search of another position that is not yet known
  // is stopped. The board's start is searched next when it is still unknown.
  void setPosition(const std::vector<uint8_t>& moves, const BoardColors& colors);
  std::optional<PositionAnalysis> lookup(const std::vector<uint8_t>& moves) const;

 private:
  struct Job {
    std::vector<uint8_t> moves;
    BoardColors colors;
  };
  bool nextJob(Job& job) const;  // with mutex_ held
  void work();

  const double timeLimitSeconds_;
  const std::function<void()> analysed_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::atomic<bool> stopSearch_{false};
  bool quit_ = false;
  uint64_t boardNumber_ = 0;  // counts newBoard calls, so a late result of an old board is dropped
  BoardColors start_;
  std::optional<Job> current_;
  std::optional<std::vector<uint8_t>> searching_;
  // Shorter move lists first, then colour by colour: a plain loop, as GCC 12 warns falsely about
  // the library's memcmp on byte vectors.
  struct MovesOrder {
    bool operator()(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) const {
      if (a.size() != b.size()) return a.size() < b.size();
      for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) return a[i] < b[i];
      return false;
    }
  };
  std::map<std::vector<uint8_t>, PositionAnalysis, MovesOrder> known_;
  std::thread thread_;  // last: it starts once everything it reads is made
};
