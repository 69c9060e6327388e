// Palette colours: one random opaque colour per colour index.
#pragma once

#include <cstdint>

struct PaletteColor {
  uint8_t red, green, blue;
};

// v = u * 16777215 in single precision, truncated; channels from bits 16-23, 8-15 and 0-7.
PaletteColor paletteColorFromDraw(float u);
