// One person's sitting at the puzzle, apart from any window: the boards in turn, the game in
// hand, the searches for the optimum, the watched solver and the lines the program prints.
// Front ends turn input into these calls, and paint what the accessors say.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

#include "play/analyst.h"
#include "play/play_model.h"
#include "play/play_options.h"
#include "solve/solver.h"
#include "study/solvers.h"

// Where the boards come from: a board file's boards, or the boards of a seed.
struct BoardSource {
  std::vector<BoardColors> fileBoards;  // empty: seeded boards
  std::string fileName;                 // as the lines name it
  uint64_t seed = 0;
  ColorDraw draw = ColorDraw::program;
  uint32_t side = 14;
  uint32_t colorCount = 6;
};

// The boards the options name: the seed's (the clock's when none is given), or a board file's
// read whole; or why the file cannot be played, as "FILE:LINE: message".
std::variant<BoardSource, std::string> boardSource(const PlayOptions& options);

class PlaySession {
 public:
  // `out` takes the terminal lines; `wake` is called from other threads when a result is in.
  PlaySession(const PlayOptions& options, BoardSource source, std::ostream& out,
              std::function<void()> wake);
  ~PlaySession();

  // Deals the first board; every later one comes from nextBoard.
  void begin();

  // A person's input. A colour that joins nothing is ignored, as is everything but hints and
  // the choice of board while a solver is being watched.
  void pressColor(uint32_t color);
  void askHint();
  void takeBackMove();
  void restartBoard();
  void nextBoard();  // after a file's last board, nothing happens

  // Takes in the searches' results and plays the watched solver's moves that are due. True when
  // what the window shows has changed.
  bool update(Clock::time_point now);
  // A line, a hint, the status lines or the watched solver wait for a search: update has
  // something to take in soon.
  bool awaitsResults() const;
  // When update has a watched move to play next, if one is waiting.
  std::optional<Clock::time_point> nextWatchStep() const;

  const PlayState& state() const { return state_; }
  uint64_t boardIndex() const { return boardIndex_; }
  std::optional<uint32_t> hintColor() const { return shownHint_; }
  // "Board K of seed S" or "Board K of FILE".
  std::string boardName() const;
  // What the window's status lines say: moves and best from here, then the board's optimum.
  std::string movesLine() const;
  std::string optimumLine() const;

 private:
  void deal();
  void positionChanged();
  void startWatching();
  void playWatchedMove();
  void emit(const std::string& line);

  PlayOptions options_;
  BoardSource source_;
  std::ostream& out_;
  std::function<void()> wake_;
  Analyst analyst_;
  SolverChoice greedy_;
  uint64_t boardIndex_ = 0;
  PlayState state_;
  uint32_t greedyTurns_ = 0;
  bool bestLineDue_ = false;
  bool hintDue_ = false;
  bool solvedLineDue_ = false;
  std::optional<uint32_t> shownHint_;
  // The watched solver's answer for this board, made on a thread of its own.
  std::shared_ptr<std::atomic<bool>> watchStop_;
  std::future<SolverOutcome> watchAnswer_;
  std::optional<SolverOutcome> watchMoves_;
  Clock::time_point watchDue_{};
};

// "17", or "between 15 and 17" when the search could not prove it.
std::string movesText(const PositionAnalysis& analysis);
