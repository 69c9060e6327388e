#include "study/distribute.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace {

struct Writer {
  std::string bytes;

  template <typename T>
  void put(T value) {
    static_assert(std::is_trivially_copyable_v<T>);
    bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
  }
  void putText(const std::string& text) {
    put<uint64_t>(text.size());
    bytes += text;
  }
};

// Reads what a Writer wrote; once anything is missing every read fails, so one check at the end
// covers a message cut short.
struct Reader {
  const std::string& bytes;
  size_t position = 0;
  bool failed = false;

  template <typename T>
  T take() {
    T value{};
    if (failed || bytes.size() - position < sizeof value) {
      failed = true;
      return value;
    }
    std::memcpy(&value, bytes.data() + position, sizeof value);
    position += sizeof value;
    return value;
  }
  std::string takeText() {
    const uint64_t length = take<uint64_t>();
    if (failed || bytes.size() - position < length) {
      failed = true;
      return "";
    }
    position += length;
    return bytes.substr(position - length, length);
  }
  bool done() const { return !failed && position == bytes.size(); }
};

constexpr uint8_t kProven = 1, kLimited = 2, kInterrupted = 4;
constexpr double kChunkSeconds = 0.25;

}  // namespace

std::string encodePlan(const SharedPlan& shared) {
  const StudyPlan& plan = shared.plan;
  Writer out;
  out.put(plan.supply.seed);
  out.put(plan.supply.side);
  out.put(plan.supply.colorCount);
  out.put(plan.firstBoard);
  out.put(plan.boardCount);
  std::string labels;
  for (const SolverChoice& solver : plan.solvers)
    labels += (labels.empty() ? "" : ",") + solver.label;
  out.putText(labels);
  out.put(plan.limits.timeLimitSeconds);
  out.put<uint8_t>(plan.boundWanted ? 1 : 0);
  out.put(shared.memoryLimitMegabytes);
  out.put(shared.threadsAsked);
  const bool fromFile = plan.supply.fileBoards != nullptr;
  out.put<uint64_t>(fromFile ? plan.supply.fileBoards->size() : 0);
  if (fromFile)
    for (const BoardColors& board : *plan.supply.fileBoards) {
      out.put(board.side);
      out.put(board.colorCount);
      out.bytes.append(board.colors.begin(), board.colors.end());
    }
  out.put<uint8_t>(fromFile ? 1 : 0);
  return std::move(out.bytes);
}

std::optional<SharedPlan> decodePlan(const std::string& bytes) {
  Reader in{bytes};
  SharedPlan shared;
  StudyPlan& plan = shared.plan;
  plan.supply.seed = in.take<uint64_t>();
  plan.supply.side = in.take<uint32_t>();
  plan.supply.colorCount = in.take<uint32_t>();
  plan.firstBoard = in.take<uint64_t>();
  plan.boardCount = in.take<uint64_t>();
  const std::string labels = in.takeText();
  plan.limits.timeLimitSeconds = in.take<double>();
  plan.boundWanted = in.take<uint8_t>() != 0;
  shared.memoryLimitMegabytes = in.take<uint64_t>();
  shared.threadsAsked = in.take<uint32_t>();
  const uint64_t boardCount = in.take<uint64_t>();
  std::vector<BoardColors> boards;
  for (uint64_t i = 0; i < boardCount && !in.failed; ++i) {
    BoardColors& board = boards.emplace_back();
    board.side = in.take<uint32_t>();
    board.colorCount = in.take<uint32_t>();
    const uint64_t tiles = uint64_t{board.side} * board.side;
    if (in.failed || bytes.size() - in.position < tiles) return std::nullopt;
    board.colors.assign(bytes.begin() + static_cast<std::ptrdiff_t>(in.position),
                        bytes.begin() + static_cast<std::ptrdiff_t>(in.position + tiles));
    in.position += tiles;
  }
  const bool fromFile = in.take<uint8_t>() != 0;
  if (!in.done()) return std::nullopt;
  if (fromFile)
    plan.supply.fileBoards = std::make_shared<const std::vector<BoardColors>>(std::move(boards));
  std::vector<std::string> names;
  for (size_t start = 0; start <= labels.size();) {
    const size_t comma = std::min(labels.find(',', start), labels.size());
    names.push_back(labels.substr(start, comma - start));
    start = comma + 1;
  }
  auto solvers = parseSolvers(names);
  if (std::holds_alternative<std::string>(solvers)) return std::nullopt;
  plan.solvers = std::get<std::vector<SolverChoice>>(std::move(solvers));
  return shared;
}

void fitPlanToRank(StudyPlan& plan, uint32_t threads, uint64_t memoryLimitMegabytes) {
  plan.threads = std::max<uint32_t>(threads, 1);
  plan.limits.memoryLimitBytes = (memoryLimitMegabytes << 20) / plan.threads;
}

std::string encodeChunkResult(const ChunkResult& result, size_t solverCount) {
  Writer out;
  out.put(result.first);
  out.put(result.size);
  out.putText(result.failure);
  out.put<uint64_t>(result.outcomes.size());
  for (const BoardOutcome& board : result.outcomes) {
    out.put(board.index);
    for (size_t s = 0; s < solverCount; ++s) {
      const SolverOutcome& outcome = board.outcomes[s];
      out.put(outcome.turns);
      out.put(outcome.bound);
      out.put<uint8_t>((outcome.proven ? kProven : 0) | (outcome.limited ? kLimited : 0) |
                       (outcome.interrupted ? kInterrupted : 0));
      out.put<uint32_t>(static_cast<uint32_t>(outcome.moves.size()));
      out.bytes.append(outcome.moves.begin(), outcome.moves.end());
      out.put(board.micros[s]);
    }
  }
  return std::move(out.bytes);
}

std::optional<ChunkResult> decodeChunkResult(const std::string& bytes, size_t solverCount) {
  Reader in{bytes};
  ChunkResult result;
  result.first = in.take<uint64_t>();
  result.size = in.take<uint64_t>();
  result.failure = in.takeText();
  const uint64_t count = in.take<uint64_t>();
  if (in.failed || count > result.size) return std::nullopt;
  result.outcomes.resize(count);
  for (BoardOutcome& board : result.outcomes) {
    board.index = in.take<uint64_t>();
    board.outcomes.resize(solverCount);
    board.micros.resize(solverCount);
    for (size_t s = 0; s < solverCount; ++s) {
      SolverOutcome& outcome = board.outcomes[s];
      outcome.turns = in.take<uint32_t>();
      outcome.bound = in.take<uint32_t>();
      const uint8_t flags = in.take<uint8_t>();
      outcome.proven = (flags & kProven) != 0;
      outcome.limited = (flags & kLimited) != 0;
      outcome.interrupted = (flags & kInterrupted) != 0;
      const uint32_t moveCount = in.take<uint32_t>();
      if (in.failed || bytes.size() - in.position < moveCount) return std::nullopt;
      outcome.moves.assign(bytes.begin() + static_cast<std::ptrdiff_t>(in.position),
                           bytes.begin() + static_cast<std::ptrdiff_t>(in.position + moveCount));
      in.position += moveCount;
      board.micros[s] = in.take<double>();
    }
  }
  if (!in.done()) return std::nullopt;
  return result;
}

uint64_t chunkSize(uint64_t boardsLeft, uint32_t rankThreads, uint32_t allThreads,
                   double boardsPerSecond) {
  const uint64_t least = std::max<uint32_t>(rankThreads, 1);
  const uint64_t share =
      boardsLeft / 2 * least / std::max<uint64_t>(allThreads, 1);  // overflow-free for 10^9
  const uint64_t byTime = static_cast<uint64_t>(boardsPerSecond * kChunkSeconds);
  return std::min(boardsLeft, std::max(least, std::min(share, byTime)));
}
