// The parallel search's per-round map from node to what a state's analysis starts from: every
// key found with its last value through growth, none found after a clear, and keys whose slots
// collide kept apart.
#include "solve/round_map.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>

namespace {

// Checks the map against a std::map of the same keys, for keys present and keys not.
void expectSame(RoundMap<uint64_t>& map, const std::map<uint32_t, uint64_t>& expected,
                uint32_t keyRange) {
  for (uint32_t key = 0; key < keyRange; ++key) {
    const auto known = expected.find(key);
    const uint64_t* found = map.find(key);
    if (known == expected.end()) {
      EXPECT_EQ(found, nullptr) << "key " << key;
    } else {
      ASSERT_NE(found, nullptr) << "key " << key;
      EXPECT_EQ(*found, known->second) << "key " << key;
    }
  }
}

TEST(RoundMap, FindsEveryKeyWithItsLastValueThroughGrowthAndClears) {
  RoundMap<uint64_t> map;
  EXPECT_EQ(map.find(7), nullptr);  // before anything is stored
  std::mt19937 pick(5);
  // Rounds of a few to several thousand keys, so that the map grows more than once and is
  // then emptied and filled again at its full size.
  for (const uint32_t count : {10u, 3000u, 20u, 9000u, 0u, 500u}) {
    SCOPED_TRACE(count);
    map.clear();
    std::map<uint32_t, uint64_t> expected;
    const uint32_t keyRange = 4 * count + 16;
    for (uint32_t i = 0; i < count; ++i) {
      const uint32_t key = pick() % keyRange;
      const uint64_t value = pick();
      map[key] = value;  // a key met again takes the later value
      expected[key] = value;
    }
    expectSame(map, expected, keyRange);
  }
}

TEST(RoundMap, KeysWhoseSlotsCollideStayApart) {
  // Keys that differ only above the bits the slot is taken from land in one run of slots.
  RoundMap<uint64_t> map;
  std::map<uint32_t, uint64_t> expected;
  for (uint32_t i = 0; i < 100; ++i) {
    const uint32_t key = i << 25;
    map[key] = i;
    expected[key] = i;
  }
  for (const auto& [key, value] : expected) {
    const uint64_t* found = map.find(key);
    ASSERT_NE(found, nullptr) << "key " << key;
    EXPECT_EQ(*found, value);
  }
  EXPECT_EQ(map.find(1u << 24), nullptr);
  // A new value for a key already stored replaces it, and adds no second entry.
  map[5u << 25] = 99;
  EXPECT_EQ(*map.find(5u << 25), 99u);
  map.clear();
  EXPECT_EQ(map.find(5u << 25), nullptr);
}

}  // namespace
