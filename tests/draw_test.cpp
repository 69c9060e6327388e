#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include "board/draw.h"
#include "tests/sample_scale.h"

namespace {

uint32_t referenceFirstOutput(uint32_t seed) {
  std::mt19937 engine(seed);
  return engine();
}

TEST(Draw, FirstMersenneOutputMatchesTheStandardEngine) {
  for (uint32_t seed : {0u, 1u, 2u, 5489u, 0x7ffffffeu, 0x7fffffffu, 0x80000000u, 0x80000001u,
                        0xfffffffeu, 0xffffffffu})
    ASSERT_EQ(firstMersenneOutput(seed), referenceFirstOutput(seed)) << "seed " << seed;
  // Consecutive low seeds, then an odd stride that walks the whole range with every low bit.
  const uint32_t lowCount = 65536 / sampleDivisor;
  for (uint32_t seed = 0; seed < lowCount; ++seed)
    ASSERT_EQ(firstMersenneOutput(seed), referenceFirstOutput(seed)) << "seed " << seed;
  const uint32_t spreadCount = (1u << 20) / sampleDivisor;
  const uint32_t stride = 0xffffffffu / spreadCount | 1u;
  for (uint32_t i = 0; i < spreadCount; ++i) {
    const uint32_t seed = i * stride + 12345u;
    ASSERT_EQ(firstMersenneOutput(seed), referenceFirstOutput(seed)) << "seed " << seed;
  }
}

uint32_t nextTestSeed = 0;
uint32_t takeTestSeed() {
  const uint32_t seed = nextTestSeed;
  nextTestSeed = nextTestSeed * 2654435761u + 40503u;
  return seed;
}

TEST(Draw, PairedOutputsFollowTheSeedsInOrder) {
  for (const size_t count : std::vector<size_t>{0, 1, 2, 3, 1000}) {
    nextTestSeed = 0xfffffffeu;
    std::vector<uint32_t> outputs(count + 1, 0xabcdefu);
    firstMersenneOutputs(takeTestSeed, outputs.data(), count);
    nextTestSeed = 0xfffffffeu;
    for (size_t i = 0; i < count; ++i) {
      const uint32_t seed = takeTestSeed();
      ASSERT_EQ(outputs[i], referenceFirstOutput(seed)) << "output " << i << " of " << count;
    }
    EXPECT_EQ(outputs[count], 0xabcdefu) << "written past the end";
  }
}

TEST(Draw, OutputMapsToTheClosedUnitRangeInSinglePrecision) {
  EXPECT_EQ(drawFromOutput(0), 0.0f);
  EXPECT_EQ(drawFromOutput(1u << 31), 0.5f);
  // The 128 largest outputs round up to 2^32 as floats.
  EXPECT_EQ(drawFromOutput(0xffffffffu), 1.0f);
  EXPECT_EQ(drawFromOutput(0xffffffffu - 127), 1.0f);
  EXPECT_LT(drawFromOutput(0xffffffffu - 128), 1.0f);
  EXPECT_EQ(drawFromOutput(0xffffffffu - 128), 1.0f - 1.0f / 16777216.0f);
}

TEST(Draw, ColourRangeEndsAreReached) {
  for (int32_t colorCount = 2; colorCount <= 32; ++colorCount) {
    EXPECT_EQ(colorFromDraw(0.0f, colorCount), 0u) << colorCount;
    EXPECT_EQ(colorFromDraw(1.0f, colorCount), static_cast<uint32_t>(colorCount - 1)) << colorCount;
    EXPECT_EQ(colorFromDraw(drawFromOutput(0xffffffffu), colorCount),
              static_cast<uint32_t>(colorCount - 1));
  }
}

// Evenly spread outputs through the whole mapping: the end colours get half the share.
std::vector<uint32_t> colourCounts(int32_t colorCount) {
  std::vector<uint32_t> counts(static_cast<size_t>(colorCount), 0);
  for (uint32_t i = 0; i < (1u << 20); ++i)
    ++counts[colorFromDraw(drawFromOutput(i << 12), colorCount)];
  return counts;
}

TEST(Draw, EndColoursAreHalfAsFrequent) {
  const std::vector<uint32_t> five = colourCounts(5);
  const double share = (1u << 20) / 4.0;
  EXPECT_NEAR(five[0], share / 2, share * 0.01);
  EXPECT_NEAR(five[4], share / 2, share * 0.01);
  for (int c = 1; c <= 3; ++c) EXPECT_NEAR(five[c], share, share * 0.01) << "colour " << c;

  const std::vector<uint32_t> two = colourCounts(2);
  EXPECT_NEAR(two[0], two[1], (1u << 20) * 0.01);
}

}  // namespace
