// tidefill-study-mpi: tidefill-study over the ranks of an MPI job, with the same options and the
// same results. Rank 0 runs the study as tidefill-study does, but hands its boards out in chunks
// to whichever rank asks (itself included) and delivers what comes back in board order to the
// same recording and writing code; the other ranks solve the chunks they are handed.
//
// Signals: Open MPI's mpirun (4.1) answers Ctrl-C or SIGTERM by sending every rank SIGCONT, then
// SIGTERM after odls_base_sigkill_timeout seconds (1 by default), then SIGKILL after as long
// again, and exits with status 1. So rank 0 treats SIGTERM as Ctrl-C, waits a moment (kGrace) for
// the chunks the ranks were solving, and has its files written well within that second.
#include <mpi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "study/distribute.h"
#include "study/study_main.h"
#include "study/terminal.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRoot = 0;
constexpr int kResultsTag = 1;  // a rank's outcomes of its last chunk, and its ask for another
constexpr int kChunkTag = 2;    // the next chunk: first board and size; size 0 for no more
constexpr int kStopTag = 3;     // stop the chunk in hand and send what is done
constexpr auto kGrace = std::chrono::milliseconds(300);
constexpr auto kIdlePause = std::chrono::milliseconds(1);
constexpr auto kProgressInterval = std::chrono::milliseconds(250);

// Waits for a request without the busy polling of MPI's blocking calls, which would take a core
// from the ranks still solving on the node.
void waitGently(MPI_Request& request) {
  for (int done = 0;;) {
    MPI_Test(&request, &done, MPI_STATUS_IGNORE);
    if (done != 0) return;
    std::this_thread::sleep_for(kIdlePause);
  }
}

// The node's cores shared among the ranks on it.
uint32_t defaultThreads() {
  MPI_Comm node;
  MPI_Comm_split_type(MPI_COMM_WORLD, MPI_COMM_TYPE_SHARED, 0, MPI_INFO_NULL, &node);
  int ranksOnNode = 1;
  MPI_Comm_size(node, &ranksOnNode);
  MPI_Comm_free(&node);
  const uint32_t cores = std::max(1u, std::thread::hardware_concurrency());
  return std::max(1u, cores / static_cast<uint32_t>(ranksOnNode));
}

std::string receiveBytes(const MPI_Status& status) {
  int size = 0;
  MPI_Get_count(&status, MPI_BYTE, &size);
  std::string bytes(static_cast<size_t>(size), '\0');
  MPI_Recv(bytes.data(), size, MPI_BYTE, status.MPI_SOURCE, status.MPI_TAG, MPI_COMM_WORLD,
           MPI_STATUS_IGNORE);
  return bytes;
}

void sendBytes(const std::string& bytes, int rank, int tag) {
  MPI_Send(bytes.data(), static_cast<int>(bytes.size()), MPI_BYTE, rank, tag, MPI_COMM_WORLD);
}

// Solves a chunk on the plan's threads; `poll` runs a few times a second on the calling thread.
ChunkResult solveChunk(const StudyPlan& plan, uint64_t first, uint64_t size,
                       const std::atomic<bool>* stop, const std::function<void()>& poll) {
  StudyPlan part = plan;
  part.firstBoard = first;
  part.boardCount = size;
  part.stop = stop;
  ChunkResult result{first, size, {}, ""};
  result.outcomes.reserve(size);
  const StudyEnd end = runStudy(
      part, [&](const BoardOutcome& outcome) { result.outcomes.push_back(outcome); },
      [&](uint64_t) { poll(); });
  result.failure = end.failure;
  return result;
}

// The other ranks wait for it with a non-blocking broadcast, which the root must match.
void broadcastPlanSize(uint64_t size) {
  MPI_Request request;
  MPI_Ibcast(&size, 1, MPI_UINT64_T, kRoot, MPI_COMM_WORLD, &request);
  MPI_Wait(&request, MPI_STATUS_IGNORE);
}

// A rank other than 0: takes the plan, then solves chunks until rank 0 has no more.
void serveChunks(uint32_t defaultThreadCount, std::atomic<bool>& stop) {
  uint64_t planSize = 0;
  MPI_Request request;
  MPI_Ibcast(&planSize, 1, MPI_UINT64_T, kRoot, MPI_COMM_WORLD, &request);
  waitGently(request);
  if (planSize == 0) return;  // no study: help, bad usage, a merge
  std::string bytes(planSize, '\0');
  MPI_Bcast(bytes.data(), static_cast<int>(planSize), MPI_BYTE, kRoot, MPI_COMM_WORLD);
  std::optional<SharedPlan> shared = decodePlan(bytes);
  if (!shared) MPI_Abort(MPI_COMM_WORLD, kStatusBadUsage);  // ranks of different builds
  StudyPlan& plan = shared->plan;
  fitPlanToRank(plan, shared->threadsAsked != 0 ? shared->threadsAsked : defaultThreadCount,
                shared->memoryLimitMegabytes);
  const auto pollStop = [&] {
    int waiting = 0;
    MPI_Iprobe(kRoot, kStopTag, MPI_COMM_WORLD, &waiting, MPI_STATUS_IGNORE);
    if (waiting == 0) return;
    MPI_Recv(nullptr, 0, MPI_BYTE, kRoot, kStopTag, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
    stop = true;
  };
  std::string message = encodeChunkResult({}, plan.solvers.size());  // the first ask
  for (;;) {
    sendBytes(message, kRoot, kResultsTag);
    uint64_t chunk[2] = {0, 0};
    for (MPI_Status status;;) {  // a stop may come before the answer
      MPI_Recv(chunk, 2, MPI_UINT64_T, kRoot, MPI_ANY_TAG, MPI_COMM_WORLD, &status);
      if (status.MPI_TAG == kChunkTag) break;
      stop = true;
    }
    if (chunk[1] == 0) return;
    message = encodeChunkResult(solveChunk(plan, chunk[0], chunk[1], &stop, pollStop),
                                plan.solvers.size());
  }
}

// Rank 0's side: hands out chunks, solves some itself on a thread of its own, and delivers the
// outcomes in board order.
class Coordinator {
 public:
  explicit Coordinator(std::vector<uint32_t> threadsOfRanks)
      : rankThreads_(std::move(threadsOfRanks)), ranks_(rankThreads_.size()) {}

  void fitSetup(const StudyOptions& options, StudySetup& setup) {
    threadsAsked_ = options.threadsGiven ? options.threads : 0;
    memoryLimitMegabytes_ = options.memoryLimitMegabytes;
    if (threadsAsked_ != 0) std::fill(rankThreads_.begin(), rankThreads_.end(), threadsAsked_);
    fitPlanToRank(setup.plan, rankThreads_[kRoot], memoryLimitMegabytes_);
    uint32_t all = 0;
    for (const uint32_t threads : rankThreads_) all += threads;
    setup.summary.threads = all;
  }

  StudyEnd solve(const StudyPlan& plan, const std::function<void(const BoardOutcome&)>& deliver,
                 const std::function<void(uint64_t)>& progress);

  // After the study, or when there was none: answers every rank still asking that there is no
  // more, so that all can finish.
  void releaseRanks();

 private:
  struct Rank {
    bool solving = false;
    bool released = false;
    Clock::time_point handedAt;
    double boardsPerSecond = 0;
  };

  // The next chunk for `rank`, sized to its speed; size 0 when there is nothing more to hand out.
  std::pair<uint64_t, uint64_t> handOut(size_t rank) {
    std::lock_guard lock(mutex_);
    if (halt_ || nextBoard_ >= endBoard_) return {0, 0};
    const uint64_t size = chunkSize(endBoard_ - nextBoard_, rankThreads_[rank], allThreads(),
                                    ranks_[rank].boardsPerSecond);
    ranks_[rank].solving = true;
    ranks_[rank].handedAt = Clock::now();
    nextBoard_ += size;
    return {nextBoard_ - size, size};
  }

  void received(size_t rank, ChunkResult result) {
    std::lock_guard lock(mutex_);
    Rank& from = ranks_[rank];
    if (!from.solving) return;  // the first ask
    from.solving = false;
    const double seconds = std::chrono::duration<double>(Clock::now() - from.handedAt).count();
    if (complete(result)) from.boardsPerSecond = static_cast<double>(result.size) / seconds;
    const uint64_t first = result.first;
    waiting_.emplace(first, std::move(result));
  }

  bool anySolving() {
    std::lock_guard lock(mutex_);
    return std::any_of(ranks_.begin(), ranks_.end(), [](const Rank& rank) { return rank.solving; });
  }

  uint32_t allThreads() const {
    uint32_t all = 0;
    for (const uint32_t threads : rankThreads_) all += threads;
    return all;
  }

  void answerRanks();
  void solveOwnChunks(const StudyPlan& plan);
  void beginStop();

  std::vector<uint32_t> rankThreads_;
  std::vector<Rank> ranks_;
  uint32_t threadsAsked_ = 0;
  uint64_t memoryLimitMegabytes_ = 2048;
  bool planSent_ = false;
  size_t solverCount_ = 0;

  std::mutex mutex_;  // the hand-out and the results: rank 0's solving thread shares them
  std::atomic<bool> halt_{false};
  uint64_t nextBoard_ = 0;
  uint64_t endBoard_ = 0;
  std::map<uint64_t, ChunkResult> waiting_;  // by first board
  bool stopping_ = false;
  Clock::time_point deadline_;
};

// Answers the ranks that sent their outcomes: the next chunk, or none.
void Coordinator::answerRanks() {
  for (;;) {
    int arrived = 0;
    MPI_Status status;
    MPI_Iprobe(MPI_ANY_SOURCE, kResultsTag, MPI_COMM_WORLD, &arrived, &status);
    if (arrived == 0) return;
    const size_t rank = static_cast<size_t>(status.MPI_SOURCE);
    std::optional<ChunkResult> result = decodeChunkResult(receiveBytes(status), solverCount_);
    if (!result) MPI_Abort(MPI_COMM_WORLD, kStatusBadUsage);  // ranks of different builds
    received(rank, std::move(*result));
    const auto [first, size] = handOut(rank);
    const uint64_t chunk[2] = {first, size};
    MPI_Send(chunk, 2, MPI_UINT64_T, status.MPI_SOURCE, kChunkTag, MPI_COMM_WORLD);
    if (size == 0) ranks_[rank].released = true;
  }
}

void Coordinator::solveOwnChunks(const StudyPlan& plan) {
  const std::function<void()> noPoll = [] {};
  for (;;) {
    const auto [first, size] = handOut(kRoot);
    if (size == 0) return;
    received(kRoot, solveChunk(plan, first, size, &halt_, noPoll));
  }
}

// Stops handing out, and asks every rank solving a chunk to stop it and send what it has.
void Coordinator::beginStop() {
  std::lock_guard lock(mutex_);
  stopping_ = true;
  halt_ = true;
  deadline_ = Clock::now() + kGrace;
  for (size_t rank = 1; rank < ranks_.size(); ++rank)
    if (ranks_[rank].solving)
      MPI_Send(nullptr, 0, MPI_BYTE, static_cast<int>(rank), kStopTag, MPI_COMM_WORLD);
}

StudyEnd Coordinator::solve(const StudyPlan& plan,
                            const std::function<void(const BoardOutcome&)>& deliver,
                            const std::function<void(uint64_t)>& progress) {
  const std::string bytes = encodePlan({plan, memoryLimitMegabytes_, threadsAsked_});
  broadcastPlanSize(bytes.size());
  MPI_Bcast(const_cast<char*>(bytes.data()), static_cast<int>(bytes.size()), MPI_BYTE, kRoot,
            MPI_COMM_WORLD);
  planSent_ = true;
  solverCount_ = plan.solvers.size();
  nextBoard_ = plan.firstBoard;
  endBoard_ = plan.firstBoard + plan.boardCount;
  std::thread own([&] { solveOwnChunks(plan); });

  StudyEnd end;
  uint64_t nextToDeliver = plan.firstBoard;
  bool ended = false;
  Clock::time_point lastProgress = Clock::now();
  while (end.delivered < plan.boardCount) {
    answerRanks();
    for (;;) {  // deliver whatever continues the boards delivered
      std::unique_lock lock(mutex_);
      const auto next = waiting_.find(nextToDeliver);
      if (next == waiting_.end() || ended) break;
      ChunkResult result = std::move(next->second);
      waiting_.erase(next);
      lock.unlock();
      for (BoardOutcome& outcome : result.outcomes) {
        if (outcome.board.colors.empty()) supplyBoard(plan.supply, outcome.index, outcome.board);
        deliver(outcome);
        ++end.delivered;
      }
      nextToDeliver += result.size;
      if (!complete(result)) {  // a stop or a failed check ended the chunk, and so the study
        end.failure = result.failure;
        ended = true;
      }
    }
    if (!stopping_ && (ended || (plan.stop != nullptr && plan.stop->load()))) beginStop();
    if (stopping_ && (ended || !anySolving() || Clock::now() >= deadline_)) break;
    if (Clock::now() - lastProgress >= kProgressInterval) {
      progress(end.delivered);
      lastProgress = Clock::now();
    }
    std::this_thread::sleep_for(kIdlePause);
  }
  halt_ = true;
  own.join();
  return end;
}

void Coordinator::releaseRanks() {
  if (!planSent_) {
    broadcastPlanSize(0);
    return;
  }
  halt_ = true;
  for (;;) {
    bool all = true;
    for (size_t rank = 1; rank < ranks_.size(); ++rank) all &= ranks_[rank].released;
    if (all) return;
    answerRanks();
    std::this_thread::sleep_for(kIdlePause);
  }
}

}  // namespace

int main(int argc, char** argv) {
  int provided = 0;
  MPI_Init_thread(&argc, &argv, MPI_THREAD_FUNNELED, &provided);
  int rank = 0, ranks = 1;
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  MPI_Comm_size(MPI_COMM_WORLD, &ranks);
  const uint32_t threads = defaultThreads();
  std::vector<uint32_t> threadsOfRanks(static_cast<size_t>(ranks));
  MPI_Gather(&threads, 1, MPI_UINT32_T, threadsOfRanks.data(), 1, MPI_UINT32_T, kRoot,
             MPI_COMM_WORLD);
  int status = 0;
  if (rank == kRoot) {
    Coordinator coordinator(std::move(threadsOfRanks));
    StudyProgram program;
    program.name = "tidefill-study-mpi";
    program.solve = [&](const StudyPlan& plan, const auto& deliver, const auto& progress) {
      return coordinator.solve(plan, deliver, progress);
    };
    program.fitSetup = [&](const StudyOptions& options, StudySetup& setup) {
      coordinator.fitSetup(options, setup);
    };
    status = runStudyProgram(argc, argv, program);
    coordinator.releaseRanks();
  } else {
    // A rank's signal stops its chunk; rank 0 decides what the study makes of it.
    std::atomic<bool> stop{false};
    catchStopSignals(stop);
    serveChunks(threads, stop);
  }
  MPI_Request everyone;
  MPI_Ibarrier(MPI_COMM_WORLD, &everyone);
  waitGently(everyone);
  MPI_Finalize();
  return status;
}
