// A small check harness for the Windows tests, which run as plain programs under Wine (or on
// Windows) without a test framework: each EXPECT counts, and a failure prints its line.
#pragma once

#include <cstdio>

inline int passed = 0;
inline int failed = 0;

inline void expect(bool condition, const char* text, int line) {
  if (condition) {
    ++passed;
  } else {
    ++failed;
    std::printf("FAILED line %d: %s\n", line, text);
  }
}
#define EXPECT(condition) expect((condition), #condition, __LINE__)
