// Where things are in the play window: the board in the top-left corner, one swatch per colour
// below it, then the status lines. Portable, so that every front end lays out and hit-tests the
// same window.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

struct PixelRect {
  int x = 0, y = 0, width = 0, height = 0;
  bool contains(int px, int py) const {
    return px >= x && py >= y && px < x + width && py < y + height;
  }
};

inline constexpr int kSwatchSide = 32;
inline constexpr int kLayoutGap = 8;
inline constexpr int kStatusLineHeight = 20;
inline constexpr int kStatusLines = 2;
// Wide enough for the status lines whatever the board's size.
inline constexpr int kMinWindowWidth = 400;

struct PlayLayout {
  uint32_t side = 0;
  int cell = 0;
  int width = 0, height = 0;        // the window's client area
  PixelRect board;                  // side * cell square at the top left
  std::vector<PixelRect> swatches;  // one per colour index
  int statusTop = 0;                // the first status line's top edge
};

PlayLayout layOut(uint32_t side, uint32_t colorCount, uint32_t cell);

// The largest cell from 8 to 48 whose window fits in `screenWidth` x `screenHeight`, or 8.
uint32_t fittingCell(uint32_t side, uint32_t colorCount, int screenWidth, int screenHeight);

// The tile under a point, or none.
std::optional<uint32_t> tileAt(const PlayLayout& layout, int x, int y);
// The colour whose swatch is under a point, or none.
std::optional<uint32_t> swatchAt(const PlayLayout& layout, int x, int y);

// The key that plays a colour: '1'..'9' for colours 0..8, '0' for colour 9, none beyond.
std::optional<char> keyOfColor(uint32_t color);
