#include "play/play_layout.h"

#include <algorithm>

#include "play/play_options.h"

PlayLayout layOut(uint32_t side, uint32_t colorCount, uint32_t cell) {
  PlayLayout layout;
  layout.side = side;
  layout.cell = static_cast<int>(cell);
  const int boardPixels = layout.cell * static_cast<int>(side);
  layout.board = PixelRect{0, 0, boardPixels, boardPixels};
  layout.width = std::max(boardPixels, kMinWindowWidth);
  const int pitch = kSwatchSide + kLayoutGap;
  const int perRow = std::max(1, (layout.width - kLayoutGap) / pitch);
  const int swatchTop = boardPixels + kLayoutGap;
  for (int color = 0; color < static_cast<int>(colorCount); ++color)
    layout.swatches.push_back(PixelRect{kLayoutGap + (color % perRow) * pitch,
                                        swatchTop + (color / perRow) * pitch, kSwatchSide,
                                        kSwatchSide});
  const int rows = (static_cast<int>(colorCount) + perRow - 1) / perRow;
  layout.statusTop = swatchTop + rows * pitch;
  layout.height = layout.statusTop + kStatusLines * kStatusLineHeight + kLayoutGap;
  return layout;
}

uint32_t fittingCell(uint32_t side, uint32_t colorCount, int screenWidth, int screenHeight) {
  for (uint32_t cell = kLargestDefaultCell; cell > kMinCell; --cell) {
    const PlayLayout layout = layOut(side, colorCount, cell);
    if (layout.width <= screenWidth && layout.height <= screenHeight) return cell;
  }
  return kMinCell;
}

std::optional<uint32_t> tileAt(const PlayLayout& layout, int x, int y) {
  if (!layout.board.contains(x, y)) return std::nullopt;
  return static_cast<uint32_t>(y / layout.cell) * layout.side +
         static_cast<uint32_t>(x / layout.cell);
}

std::optional<uint32_t> swatchAt(const PlayLayout& layout, int x, int y) {
  for (size_t color = 0; color < layout.swatches.size(); ++color)
    if (layout.swatches[color].contains(x, y)) return static_cast<uint32_t>(color);
  return std::nullopt;
}

std::optional<char> keyOfColor(uint32_t color) {
  if (color < 9) return static_cast<char>('1' + color);
  if (color == 9) return '0';
  return std::nullopt;
}
