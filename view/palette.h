// Palette colours: one random opaque colour per colour index.
#pragma once

#include <cstdint>

struct PaletteColor {
  uint8_t red, green, blue;
};

// v = u * 16777215 in single precision, truncated; channels from bits 16-23, 8-15 and 0-7.
PaletteColor paletteColorFromDraw(float u);

// The fixed palette of the play window: colours 0..7 are a set that people with every common
// kind of colour blindness tell apart, the rest are distinct further hues and shades. Any index
// below maxColors (32).
PaletteColor fixedPaletteColor(uint32_t color);

// Whether black text reads better than white on the colour (by its luma).
bool isLightColor(PaletteColor color);
