// A barrier for a fixed set of threads whose last arrival runs a serial step before any of them
// goes on.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

#if defined(_MSC_VER) && !defined(__clang__) && (defined(_M_X64) || defined(_M_IX86))
#include <intrin.h>
#endif

// Waits until every thread has arrived, then runs `last` on the thread that came last, before
// any of them goes on: what `last` writes, and what every thread wrote before it arrived, every
// thread then sees. A thread that arrives early spins a while before it sleeps, when each thread
// has a core of its own: most waits are a few tens of microseconds, shorter than waking a
// sleeping thread takes.
class Rendezvous {
 public:
  explicit Rendezvous(uint32_t threads)
      : threads_(threads), spins_(threads <= std::thread::hardware_concurrency()) {}

  template <class Last>
  void arrive(Last last) {
    const uint32_t round = round_.load(std::memory_order_acquire);
    if (arrived_.fetch_add(1, std::memory_order_acq_rel) + 1 < threads_) {
      if (spins_ && spinUntilPast(round)) return;
      while (round_.load(std::memory_order_acquire) == round)
        round_.wait(round, std::memory_order_acquire);
      return;
    }
    last();
    arrived_.store(0, std::memory_order_relaxed);  // seen by all before they arrive again
    round_.fetch_add(1, std::memory_order_release);
    round_.notify_all();
  }

 private:
  static constexpr auto spinTime = std::chrono::microseconds(100);

  // Whether the round went past within the spin time.
  bool spinUntilPast(uint32_t round) const {
    const auto until = std::chrono::steady_clock::now() + spinTime;
    do {
      for (uint32_t spin = 0; spin < 64; ++spin) {
        if (round_.load(std::memory_order_acquire) != round) return true;
        pause();
      }
    } while (std::chrono::steady_clock::now() < until);
    return false;
  }

  // Tells the processor the thread is spinning, which frees the core's shared resources.
  static void pause() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(_M_X64) || defined(_M_IX86)
    _mm_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
  }

  const uint32_t threads_;
  const bool spins_;
  std::atomic<uint32_t> arrived_{0};
  std::atomic<uint32_t> round_{0};
};
