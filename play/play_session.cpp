#include "play/play_session.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iostream>

#include "solve/region_graph.h"
#include "study/boards.h"

std::string movesText(const PositionAnalysis& analysis) {
  if (analysis.proven) return std::to_string(analysis.best);
  return "between " + std::to_string(analysis.bound) + " and " + std::to_string(analysis.best);
}

PlaySession::PlaySession(const PlayOptions& options, BoardSource source, std::ostream& out,
                         std::function<void()> wake)
    : options_(options),
      source_(std::move(source)),
      out_(out),
      wake_(std::move(wake)),
      analyst_(options.timeLimitSeconds, wake_),
      greedy_(std::get<std::vector<SolverChoice>>(parseSolvers({"greedy"})).front()),
      boardIndex_(options.firstBoard) {}

PlaySession::~PlaySession() {
  if (watchStop_) *watchStop_ = true;
}

void PlaySession::emit(const std::string& line) {
  out_ << line << '\n';
  out_.flush();  // a person, or a test, reads each line as it comes
}

std::string PlaySession::boardName() const {
  return "Board " + std::to_string(boardIndex_) + " of " +
         (source_.fileBoards.empty() ? "seed " + std::to_string(source_.seed) : source_.fileName);
}

void PlaySession::begin() {
  deal();
}

void PlaySession::deal() {
  BoardColors board;
  if (source_.fileBoards.empty())
    seededBoard(source_.seed, boardIndex_, source_.side, source_.colorCount, source_.draw, board);
  else
    board = source_.fileBoards.at(boardIndex_);
  startPlay(state_, board);
  SolverOutcome greedy;
  runSolver(greedy_, buildRegionGraph(board), 0, {}, greedy);
  greedyTurns_ = greedy.turns;
  const std::string side = std::to_string(board.side);
  emit(boardName() + ": " + side + "x" + side + ", " + std::to_string(board.colorCount) +
       " colours");
  analyst_.newBoard(board);
  if (options_.watch) startWatching();
  positionChanged();
}

void PlaySession::positionChanged() {
  analyst_.setPosition(state_.moves, state_.current);
  bestLineDue_ = true;
  hintDue_ = false;
  shownHint_.reset();
  solvedLineDue_ = !state_.moves.empty() && isSolved(state_.current);
  if (watchMoves_ && state_.moves.size() >= watchMoves_->moves.size()) solvedLineDue_ = true;
}

void PlaySession::startWatching() {
  if (watchStop_) *watchStop_ = true;  // an earlier board's search ends early
  watchStop_ = std::make_shared<std::atomic<bool>>(false);
  watchMoves_.reset();
  SolveLimits limits;
  limits.timeLimitSeconds = options_.timeLimitSeconds;
  limits.stop = watchStop_.get();
  watchAnswer_ = std::async(std::launch::async, [solver = *options_.watch, board = state_.start,
                                                 limits, stop = watchStop_, wake = wake_] {
    SolverOutcome outcome;
    runSolver(solver, buildRegionGraph(board), 0, limits, outcome);
    wake();
    return outcome;
  });
  watchDue_ = Clock::now() + std::chrono::milliseconds(options_.pauseMs);
}

void PlaySession::playWatchedMove() {
  playCounted(state_, watchMoves_->moves[state_.moves.size()]);
  emit("Move " + std::to_string(state_.moves.size()) + ": colour " +
       std::to_string(state_.moves.back()));
  positionChanged();
}

void PlaySession::pressColor(uint32_t color) {
  if (options_.watch || color >= state_.current.colorCount) return;
  if (!playColor(state_, static_cast<uint8_t>(color))) return;
  emit("Move " + std::to_string(state_.moves.size()) + ": colour " + std::to_string(color));
  positionChanged();
}

void PlaySession::askHint() {
  if (isSolved(state_.current)) return;
  hintDue_ = true;
}

void PlaySession::takeBackMove() {
  if (options_.watch || !takeBack(state_)) return;
  emit("Back to move " + std::to_string(state_.moves.size()));
  positionChanged();
}

void PlaySession::restartBoard() {
  restart(state_);
  emit("Restart");
  positionChanged();
  if (options_.watch) watchDue_ = Clock::now() + std::chrono::milliseconds(options_.pauseMs);
}

void PlaySession::nextBoard() {
  if (!source_.fileBoards.empty() && boardIndex_ + 1 >= source_.fileBoards.size()) return;
  ++boardIndex_;
  deal();
}

bool PlaySession::update(Clock::time_point now) {
  bool changed = false;
  if (watchAnswer_.valid() &&
      watchAnswer_.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
    watchMoves_ = watchAnswer_.get();
  if (watchMoves_ && state_.moves.size() < watchMoves_->moves.size() && now >= watchDue_) {
    playWatchedMove();
    watchDue_ = now + std::chrono::milliseconds(options_.pauseMs);
    changed = true;
  }
  const std::optional<PositionAnalysis> here = analyst_.lookup(state_.moves);
  if (here && bestLineDue_) {
    emit("Best from here after move " + std::to_string(state_.moves.size()) + ": " +
         movesText(*here));
    bestLineDue_ = false;
    changed = true;
  }
  if (here && hintDue_) {
    hintDue_ = false;
    if (here->firstMove) {
      shownHint_ = *here->firstMove;
      emit("Hint: colour " + std::to_string(*shownHint_));
      changed = true;
    }
  }
  if (solvedLineDue_ && !bestLineDue_) {
    if (const std::optional<PositionAnalysis> optimum = analyst_.lookup({})) {
      emit("Solved board " + std::to_string(boardIndex_) + " in " +
           std::to_string(state_.moves.size()) + " moves; the optimum is " + movesText(*optimum) +
           "; the program's rule takes " + std::to_string(greedyTurns_) + ".");
      solvedLineDue_ = false;
      changed = true;
    }
  }
  return changed;
}

bool PlaySession::awaitsResults() const {
  return bestLineDue_ || hintDue_ || solvedLineDue_ || watchAnswer_.valid() || !analyst_.lookup({});
}

std::optional<Clock::time_point> PlaySession::nextWatchStep() const {
  if (!watchMoves_ || state_.moves.size() >= watchMoves_->moves.size()) return std::nullopt;
  return watchDue_;
}

std::string PlaySession::movesLine() const {
  std::string line = "Moves: " + std::to_string(state_.moves.size()) + "   Best from here: ";
  const std::optional<PositionAnalysis> here = analyst_.lookup(state_.moves);
  return line + (here ? movesText(*here) : "searching...");
}

std::string PlaySession::optimumLine() const {
  const std::optional<PositionAnalysis> optimum = analyst_.lookup({});
  std::string line = "Optimum: " + (optimum ? movesText(*optimum) : "searching...");
  return line + "   Program's rule: " + std::to_string(greedyTurns_);
}

std::variant<BoardSource, std::string> boardSource(const PlayOptions& options) {
  BoardSource source;
  if (options.fromPath.empty()) {
    source.seed = options.seed ? *options.seed : seedFromClock();
    source.draw = options.draw;
    source.side = options.side;
    source.colorCount = options.colorCount;
    return source;
  }
  const bool fromInput = options.fromPath == "-";
  source.fileName = fromInput ? "standard input" : options.fromPath;
  std::ifstream file;
  if (!fromInput) {
    file.open(options.fromPath);
    if (!file) return "cannot read " + source.fileName + ": " + std::strerror(errno);
  }
  auto read = readBoards(fromInput ? std::cin : file);
  if (const auto* error = std::get_if<BoardFileError>(&read)) {
    std::string where = source.fileName;
    if (error->line > 0) where += ':' + std::to_string(error->line);
    return where + ": " + error->message;
  }
  source.fileBoards = std::get<std::vector<BoardColors>>(std::move(read));
  for (size_t index = 0; index < source.fileBoards.size(); ++index)
    if (source.fileBoards[index].side > kPlayMaxSide)
      return source.fileName + ": board " + std::to_string(index) + " is " +
             std::to_string(source.fileBoards[index].side) + " tiles a side; the window takes " +
             "boards up to " + std::to_string(kPlayMaxSide);
  if (options.firstBoard >= source.fileBoards.size())
    return "--board " + std::to_string(options.firstBoard) + ": " + source.fileName + " holds " +
           std::to_string(source.fileBoards.size()) + " boards";
  return source;
}
