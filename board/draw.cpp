#include "board/draw.h"

#include <chrono>
#include <cmath>

uint32_t firstMersenneOutput(uint32_t seed) {
  // The first output twists state word 0 with words 1 and 397 and tempers the result; the
  // seeding recurrence gives those words without filling the other 621.
  constexpr uint32_t multiplier = 1812433253u;
  uint32_t word = seed;
  uint32_t word1 = 0;
  for (uint32_t i = 1; i <= 397; ++i) {
    word = multiplier * (word ^ (word >> 30)) + i;
    if (i == 1) word1 = word;
  }
  const uint32_t mixed = (seed & 0x80000000u) | (word1 & 0x7fffffffu);
  uint32_t y = word ^ (mixed >> 1) ^ ((mixed & 1u) ? 0x9908b0dfu : 0u);
  y ^= y >> 11;
  y ^= (y << 7) & 0x9d2c5680u;
  y ^= (y << 15) & 0xefc60000u;
  y ^= y >> 18;
  return y;
}

float drawFromOutput(uint32_t x) { return static_cast<float>(x) / 4294967296.0f; }

float clockSeededDraw() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  const int64_t nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
  return drawFromOutput(firstMersenneOutput(static_cast<uint32_t>(nanoseconds)));
}

uint32_t colorFromDraw(float u, int32_t colorCount) {
  const float product = u * static_cast<float>(colorCount - 1);
  return static_cast<uint32_t>(std::roundf(product));
}
