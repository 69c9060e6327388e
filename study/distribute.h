// What the ranks of an MPI study tell one another, as plain bytes, and how large a chunk of boards
// a rank is handed. Free of MPI itself, so that it is tested on its own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "study/runner.h"

// The plan every rank solves from. Threads and the memory limit are fitted on each rank: the
// default thread count is its node's cores shared among the node's ranks.
struct SharedPlan {
  StudyPlan plan;  // its threads, stop and memory limit are left to each rank
  uint64_t memoryLimitMegabytes = 2048;
  uint32_t threadsAsked = 0;  // --threads, or 0 for each rank's default
};

std::string encodePlan(const SharedPlan& shared);
std::optional<SharedPlan> decodePlan(const std::string& bytes);

// Sets a plan's threads and splits the memory limit between them, as tidefill-study does.
void fitPlanToRank(StudyPlan& plan, uint32_t threads, uint64_t memoryLimitMegabytes);

// Boards [first, first + size) handed to a rank, and what it made of them.
struct ChunkResult {
  uint64_t first = 0;
  uint64_t size = 0;
  // The first boards of the chunk, in order; all of them unless a stop or a failed check ended it.
  // The boards themselves are not sent: every rank can make them again from the plan.
  std::vector<BoardOutcome> outcomes;
  std::string failure;  // the answer that failed its check
};

inline bool complete(const ChunkResult& result) {
  return result.outcomes.size() == result.size;
}

std::string encodeChunkResult(const ChunkResult& result, size_t solverCount);
std::optional<ChunkResult> decodeChunkResult(const std::string& bytes, size_t solverCount);

// The next chunk for a rank: about a quarter of a second of its work at the speed it went last
// (one board per thread before it is known), at most its share of half the boards left, so that
// chunks shrink toward the end and no rank waits long for another; at least one board per thread.
uint64_t chunkSize(uint64_t boardsLeft, uint32_t rankThreads, uint32_t allThreads,
                   double boardsPerSecond);
