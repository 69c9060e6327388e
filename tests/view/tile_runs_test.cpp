// The repaint plan of a board frame: replaying its runs onto the frame before must give the
// board, its runs must be maximal and its bounds tight around them, through random changes.
#include "view/tile_runs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

struct Frame {
  uint32_t side;
  std::vector<uint32_t> shown;  // what the window shows, tile by tile
  std::vector<uint32_t> painted;
  TileRepaint repaint;

  void paint(const std::vector<uint32_t>& board, bool everything) {
    collectRepaint(
        side, [&](size_t i) { return board[i]; }, everything, painted, repaint);
    for (const TileRun& run : repaint.runs)
      for (uint32_t c = run.column; c < run.column + run.length; ++c)
        shown[size_t{run.row} * side + c] = run.color;
  }
};

bool covers(const TileSpan& span, const TileRun& run) {
  return run.row >= span.row && run.row < span.row + span.height && run.column >= span.column &&
         run.column + run.length <= span.column + span.width;
}

// The rectangle around every run, found the plain way.
TileSpan boundsOf(const std::vector<TileRun>& runs) {
  if (runs.empty()) return {};
  uint32_t top = UINT32_MAX, bottom = 0, left = UINT32_MAX, right = 0;
  for (const TileRun& run : runs) {
    top = std::min(top, run.row);
    bottom = std::max(bottom, run.row + 1);
    left = std::min(left, run.column);
    right = std::max(right, run.column + run.length);
  }
  return {top, left, right - left, bottom - top};
}

TEST(TileRuns, ReplayedRunsGiveTheBoardWithinTheirBounds) {
  std::mt19937 random(7);
  for (const uint32_t side : {1u, 3u, 8u, 33u}) {
    Frame frame{side, std::vector<uint32_t>(side * side, 99), {}, {}};
    std::vector<uint32_t> board(side * side);
    for (uint32_t& tile : board) tile = random() % 4;
    for (int step = 0; step < 40; ++step) {
      frame.paint(board, step % 13 == 0);
      ASSERT_EQ(frame.shown, board) << "side " << side << ", step " << step;
      ASSERT_EQ(frame.painted, board);
      for (size_t i = 1; i < frame.repaint.runs.size(); ++i) {
        const TileRun& a = frame.repaint.runs[i - 1];
        const TileRun& b = frame.repaint.runs[i];
        EXPECT_FALSE(a.row == b.row && a.column + a.length == b.column && a.color == b.color)
            << "two runs that should be one";
      }
      const TileSpan expected = boundsOf(frame.repaint.runs);
      const TileSpan& bounds = frame.repaint.bounds;
      EXPECT_TRUE(bounds.row == expected.row && bounds.column == expected.column &&
                  bounds.width == expected.width && bounds.height == expected.height)
          << "bounds not tight around the runs";
      for (const TileRun& run : frame.repaint.runs) EXPECT_TRUE(covers(bounds, run));
      // A flood-like change: a random block takes one colour.
      const uint32_t row = random() % side;
      const uint32_t column = random() % side;
      const uint32_t color = random() % 4;
      const uint32_t rowEnd = std::min<uint32_t>(side, row + 1 + random() % 5);
      const uint32_t columnEnd = std::min<uint32_t>(side, column + 1 + random() % 9);
      for (uint32_t r = row; r < rowEnd; ++r)
        for (uint32_t c = column; c < columnEnd; ++c) board[size_t{r} * side + c] = color;
    }
  }
}

TEST(TileRuns, AnUnchangedBoardPaintsNothingAndANewSizePaintsAll) {
  Frame frame{4, std::vector<uint32_t>(16, 0), {}, {}};
  const std::vector<uint32_t> board(16, 2);
  frame.paint(board, false);  // nothing painted before: everything
  ASSERT_EQ(frame.repaint.runs.size(), 4u);
  EXPECT_EQ(frame.repaint.runs[0].length, 4u);
  EXPECT_EQ(frame.repaint.bounds.height, 4u);
  EXPECT_EQ(frame.repaint.bounds.width, 4u);
  frame.paint(board, false);
  EXPECT_TRUE(frame.repaint.runs.empty());
  EXPECT_EQ(frame.repaint.bounds.width, 0u);
}

}  // namespace
