// The barrier the parallel search's rounds meet at: its serial step runs once a round, only
// after every thread has arrived, and every thread sees what it wrote, whether the threads
// spin (a core each) or sleep (more threads than cores).
#include "solve/rendezvous.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace {

struct Tally {
  std::atomic<uint32_t> arrivedThisRound{0};
  uint32_t serialRuns = 0;  // written only by the serial step
  uint32_t published = 0;   // written only by the serial step, read by all after it
  std::atomic<uint32_t> faults{0};
};

void meet(uint32_t threads, uint32_t rounds) {
  Rendezvous rendezvous(threads);
  Tally tally;
  const auto work = [&] {
    for (uint32_t round = 1; round <= rounds; ++round) {
      tally.arrivedThisRound.fetch_add(1, std::memory_order_relaxed);
      rendezvous.arrive([&] {
        if (tally.arrivedThisRound.exchange(0, std::memory_order_relaxed) != threads)
          ++tally.faults;
        ++tally.serialRuns;
        tally.published = round;
      });
      if (tally.published != round || tally.serialRuns != round) ++tally.faults;
      // Nobody may start the next round's step before all have read this one's.
      rendezvous.arrive([] {});
    }
  };
  std::vector<std::thread> helpers;
  for (uint32_t t = 1; t < threads; ++t) helpers.emplace_back(work);
  work();
  for (std::thread& helper : helpers) helper.join();
  EXPECT_EQ(tally.faults.load(), 0u) << threads << " threads";
  EXPECT_EQ(tally.serialRuns, rounds);
}

TEST(Rendezvous, RunsTheSerialStepOnceARoundAfterAllArriveAndAllSeeIt) {
  const uint32_t cores = std::max(1u, std::thread::hardware_concurrency());
  meet(1, 100);
  meet(2, 2000);
  meet(cores, 2000);         // spinning
  meet(2 * cores + 1, 300);  // sleeping
}

}  // namespace
