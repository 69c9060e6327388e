#include "view/palette.h"

#include <iterator>

PaletteColor paletteColorFromDraw(float u) {
  // The product stays in single precision before truncation, so a draw just below 1.0 lands on
  // 0xFFFFFE rather than 0xFFFFFF.
  const float product = u * 16777215.0f;
  const auto v = static_cast<uint32_t>(product);
  return PaletteColor{static_cast<uint8_t>((v >> 16) & 0xFFu),
                      static_cast<uint8_t>((v >> 8) & 0xFFu), static_cast<uint8_t>(v & 0xFFu)};
}

namespace {

// Eight colour-blind-safe colours first (neighbouring indices deliberately far apart in
// lightness), then 24 more, each well apart from all before it.
constexpr PaletteColor kFixedPalette[] = {
    {230, 159, 0}, {86, 180, 233},  {0, 158, 115},   {240, 228, 66},  {0, 114, 178},
    {213, 94, 0},  {204, 121, 167}, {0, 0, 0},       {255, 255, 255}, {128, 128, 128},
    {120, 60, 20}, {255, 170, 200}, {110, 0, 140},   {160, 220, 120}, {0, 60, 90},
    {200, 0, 50},  {60, 110, 40},   {255, 120, 90},  {150, 150, 255}, {130, 130, 0},
    {0, 200, 200}, {60, 20, 60},    {255, 215, 160}, {255, 255, 0},   {190, 190, 60},
    {0, 255, 120}, {255, 140, 255}, {20, 40, 200},   {100, 200, 60},  {120, 255, 200},
    {255, 0, 255}, {170, 255, 255},
};
static_assert(std::size(kFixedPalette) == 32);

}  // namespace

PaletteColor fixedPaletteColor(uint32_t color) {
  return kFixedPalette[color % std::size(kFixedPalette)];
}

bool isLightColor(PaletteColor color) {
  return 299 * color.red + 587 * color.green + 114 * color.blue > 128000;
}
