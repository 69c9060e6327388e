// What a frame of a board must repaint, for every window that shows one: the tiles whose colour
// changed since the frame before, as runs of one colour within a row (one fill each), and the
// rectangle around them all, presented in one piece. A turn recolours the player's whole
// region, so a run covers many tiles; and an X server spends more on each of a few dozen
// uploads than on the unchanged tiles one rectangle brings along. Portable.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

struct TileRun {
  uint32_t row = 0;
  uint32_t column = 0;
  uint32_t length = 0;
  uint32_t color = 0;
};

// In tiles: columns [column, column + width) of rows [row, row + height).
struct TileSpan {
  uint32_t row = 0;
  uint32_t column = 0;
  uint32_t width = 0;
  uint32_t height = 0;
};

struct TileRepaint {
  std::vector<TileRun> runs;
  TileSpan bounds;  // around every run; empty (width 0) when there is none
};

// Compares the `side * side` tiles, whose colours `colorOf(index)` gives, with `painted` (the
// colours of the frame before), notes the runs to repaint and their bounds into `repaint` and
// brings `painted` up to date. With `everything` every tile counts as changed.
template <class ColorOf>
void collectRepaint(uint32_t side, ColorOf colorOf, bool everything, std::vector<uint32_t>& painted,
                    TileRepaint& repaint) {
  repaint.runs.clear();
  repaint.bounds = {};
  uint32_t left = side;
  uint32_t right = 0;
  const size_t tileCount = size_t{side} * side;
  if (painted.size() != tileCount) {
    painted.assign(tileCount, 0);
    everything = true;
  }
  for (uint32_t row = 0; row < side; ++row) {
    uint32_t first = side;
    uint32_t last = 0;
    for (uint32_t column = 0; column < side; ++column) {
      const size_t index = size_t{row} * side + column;
      const uint32_t color = static_cast<uint32_t>(colorOf(index));
      if (!everything && painted[index] == color) continue;
      painted[index] = color;
      if (first == side) first = column;
      last = column;
      TileRun* open = repaint.runs.empty() ? nullptr : &repaint.runs.back();
      if (open != nullptr && open->row == row && open->column + open->length == column &&
          open->color == color)
        ++open->length;
      else
        repaint.runs.push_back({row, column, 1, color});
    }
    if (first == side) continue;
    if (repaint.bounds.height == 0) repaint.bounds.row = row;
    repaint.bounds.height = row - repaint.bounds.row + 1;
    left = std::min(left, first);
    right = std::max(right, last);
  }
  if (repaint.bounds.height > 0) {
    repaint.bounds.column = left;
    repaint.bounds.width = right - left + 1;
  }
}
