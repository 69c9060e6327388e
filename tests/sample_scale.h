// Debug and sanitizer builds run the long randomised checks on a fraction of their samples.
#pragma once

#include <cstdint>

#ifdef NDEBUG
inline constexpr uint32_t sampleDivisor = 1;
#else
inline constexpr uint32_t sampleDivisor = 8;
#endif
