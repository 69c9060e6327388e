#include "view/palette.h"

PaletteColor paletteColorFromDraw(float u) {
  // The product stays in single precision before truncation, so a draw just below 1.0 lands on
  // 0xFFFFFE rather than 0xFFFFFF.
  const float product = u * 16777215.0f;
  const auto v = static_cast<uint32_t>(product);
  return PaletteColor{static_cast<uint8_t>((v >> 16) & 0xFFu),
                      static_cast<uint8_t>((v >> 8) & 0xFFu), static_cast<uint8_t>(v & 0xFFu)};
}
