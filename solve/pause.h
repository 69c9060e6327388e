// A hint to the processor that the thread is spinning on a value another thread will change,
// which frees the core's shared resources and saves power meanwhile.
#pragma once

#if defined(_MSC_VER) && !defined(__clang__) && (defined(_M_X64) || defined(_M_IX86))
#include <intrin.h>
#endif

inline void pauseSpinning() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#elif defined(_M_X64) || defined(_M_IX86)
  _mm_pause();
#elif defined(__aarch64__)
  asm volatile("yield");
#endif
}
