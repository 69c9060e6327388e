// The progress line a study redraws in place on standard error while it runs.
#pragma once

#include <cstddef>
#include <cstdint>

struct ProgressLine {
  bool shown = false;
  size_t width = 0;

  // "N of M boards, R boards/s, H:MM:SS left"
  void draw(uint64_t done, uint64_t total, double seconds);
  // Clears the line, if one was drawn, so that the summary starts at the left margin.
  void erase();
};
