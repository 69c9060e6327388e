// The 64-bit mixer of SplitMix64: a bijection whose every output bit depends on every input
// bit. The study's seeded boards and the searches' region keys both draw on it.
#pragma once

#include <cstdint>

// The step of a SplitMix64 stream (the odd integer nearest 2^64 over the golden ratio).
inline constexpr uint64_t splitMixGamma = 0x9e3779b97f4a7c15ull;

inline uint64_t mix64(uint64_t z) {
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
  return z ^ (z >> 31);
}
