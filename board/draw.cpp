#include "board/draw.h"

#include <chrono>
#include <cmath>

namespace {

constexpr uint32_t seedMultiplier = 1812433253u;
constexpr uint32_t twistWord = 397;  // the state word the first twist mixes in

uint32_t seedStep(uint32_t word, uint32_t index) {
  return seedMultiplier * (word ^ (word >> 30)) + index;
}

// The first output twists state word 0 (the seed) with words 1 and 397 and tempers the result.
uint32_t firstOutputFromWords(uint32_t seed, uint32_t word1, uint32_t word397) {
  const uint32_t mixed = (seed & 0x80000000u) | (word1 & 0x7fffffffu);
  uint32_t y = word397 ^ (mixed >> 1) ^ ((mixed & 1u) ? 0x9908b0dfu : 0u);
  y ^= y >> 11;
  y ^= (y << 7) & 0x9d2c5680u;
  y ^= (y << 15) & 0xefc60000u;
  y ^= y >> 18;
  return y;
}

uint32_t clockSeed() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  const int64_t nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
  return static_cast<uint32_t>(nanoseconds);
}

}  // namespace

uint32_t firstMersenneOutput(uint32_t seed) {
  // The seeding recurrence gives the words the first twist reads without filling the other 621.
  uint32_t word = seed;
  uint32_t word1 = 0;
  for (uint32_t i = 1; i <= twistWord; ++i) {
    word = seedStep(word, i);
    if (i == 1) word1 = word;
  }
  return firstOutputFromWords(seed, word1, word);
}

void firstMersenneOutputs(uint32_t (*nextSeed)(), uint32_t* outputs, size_t count) {
  // One seeding chain is a run of dependent multiplications. Two run side by side: while the
  // previous seed's chain does steps 200..397, the new seed's does steps 1..199. Seeds are still
  // taken one per output, in order.
  constexpr uint32_t firstHalf = 199;
  uint32_t previousSeed = 0;
  uint32_t previousWord1 = 0;
  uint32_t previousWord = 0;
  for (size_t k = 0; k <= count; ++k) {
    const uint32_t seed = k < count ? nextSeed() : 0;
    uint32_t word = seedStep(seed, 1);
    const uint32_t word1 = word;
    for (uint32_t i = 2; i <= firstHalf; ++i) {
      word = seedStep(word, i);
      previousWord = seedStep(previousWord, firstHalf - 1 + i);
    }
    if (k > 0) outputs[k - 1] = firstOutputFromWords(previousSeed, previousWord1, previousWord);
    previousSeed = seed;
    previousWord1 = word1;
    previousWord = word;
  }
}

float drawFromOutput(uint32_t x) {
  return static_cast<float>(x) / 4294967296.0f;
}

float clockSeededDraw() {
  return drawFromOutput(firstMersenneOutput(clockSeed()));
}

void clockSeededOutputs(uint32_t* outputs, size_t count) {
  firstMersenneOutputs(clockSeed, outputs, count);
}

uint32_t colorFromDraw(float u, int32_t colorCount) {
  const float product = u * static_cast<float>(colorCount - 1);
  return static_cast<uint32_t>(std::roundf(product));
}

uint32_t colorFromOutput(uint32_t output, uint32_t colorCount, ColorDraw draw) {
  if (draw == ColorDraw::uniform)
    return static_cast<uint32_t>((uint64_t{output} * colorCount) >> 32);
  return colorFromDraw(drawFromOutput(output), static_cast<int32_t>(colorCount));
}

const char* colorDrawName(ColorDraw draw) {
  return draw == ColorDraw::uniform ? "uniform" : "program";
}

std::optional<ColorDraw> colorDrawNamed(std::string_view name) {
  for (const ColorDraw draw : {ColorDraw::program, ColorDraw::uniform})
    if (name == colorDrawName(draw)) return draw;
  return std::nullopt;
}
