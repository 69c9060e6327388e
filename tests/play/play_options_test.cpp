#include "play/play_options.h"

#include <gtest/gtest.h>

#include "play/play_layout.h"
#include "view/palette.h"

namespace {

PlayOptions parsed(std::vector<const char*> words) {
  words.insert(words.begin(), "tidefill-play");
  auto result = parsePlayOptions(static_cast<int>(words.size()), words.data());
  EXPECT_TRUE(std::holds_alternative<PlayOptions>(result));
  return std::get<PlayOptions>(result);
}

int refusal(std::vector<const char*> words) {
  words.insert(words.begin(), "tidefill-play");
  auto result = parsePlayOptions(static_cast<int>(words.size()), words.data());
  return std::holds_alternative<int>(result) ? std::get<int>(result) : -1;
}

TEST(PlayOptions, DefaultsRangesAndRefusals) {
  const PlayOptions defaults = parsed({});
  EXPECT_EQ(defaults.side, 14u);
  EXPECT_EQ(defaults.colorCount, 6u);
  EXPECT_EQ(defaults.pauseMs, 500u);
  EXPECT_EQ(defaults.timeLimitSeconds, 10);
  EXPECT_FALSE(defaults.seed);
  EXPECT_FALSE(defaults.cell);
  EXPECT_FALSE(defaults.watch);

  const PlayOptions given =
      parsed({"--size", "64", "--colors", "32", "--seed", "18446744073709551615", "--board", "3",
              "--cell", "8", "--watch", "beam:4", "--pause", "20", "--time-limit", "0.5"});
  EXPECT_EQ(given.side, 64u);
  EXPECT_EQ(given.seed, 18446744073709551615ull);
  EXPECT_EQ(given.firstBoard, 3u);
  EXPECT_EQ(given.cell, 8u);
  ASSERT_TRUE(given.watch);
  EXPECT_EQ(given.watch->label, "beam:4");
  EXPECT_EQ(defaults.draw, ColorDraw::program);
  EXPECT_EQ(parsed({"--draw", "uniform"}).draw, ColorDraw::uniform);

  for (const auto& bad : std::vector<std::vector<const char*>>{{"--size", "2"},
                                                               {"--size", "65"},
                                                               {"--colors", "1"},
                                                               {"--colors", "33"},
                                                               {"--cell", "7"},
                                                               {"--cell", "129"},
                                                               {"--seed", "-1"},
                                                               {"--seed", "x"},
                                                               {"--watch", "fastest"},
                                                               {"--watch", "beam"},
                                                               {"--pause", "0"},
                                                               {"--time-limit", "0"},
                                                               {"--from", ""},
                                                               {"--from", "b", "--seed", "1"},
                                                               {"--from", "b", "--draw", "uniform"},
                                                               {"--draw", "fair"},
                                                               {"--unknown"},
                                                               {"stray"}})
    EXPECT_EQ(refusal(bad), 2) << bad.front();
}

TEST(PlayLayout, HitsAndFits) {
  const PlayLayout layout = layOut(14, 6, 20);
  EXPECT_EQ(layout.board.width, 280);
  EXPECT_GE(layout.width, 280);
  EXPECT_EQ(tileAt(layout, 0, 0), 0u);
  EXPECT_EQ(tileAt(layout, 279, 279), 14u * 14 - 1);
  EXPECT_EQ(tileAt(layout, 45, 21), 14u + 2);
  EXPECT_FALSE(tileAt(layout, 280, 10));
  ASSERT_EQ(layout.swatches.size(), 6u);
  for (uint32_t color = 0; color < 6; ++color) {
    const PixelRect& swatch = layout.swatches[color];
    EXPECT_GE(swatch.y, layout.board.height);
    EXPECT_LE(swatch.y + swatch.height, layout.statusTop);
    EXPECT_EQ(swatchAt(layout, swatch.x + 1, swatch.y + 1), color);
  }
  EXPECT_LT(layout.statusTop + kStatusLines * kStatusLineHeight, layout.height + 1);
  // 32 swatches wrap into rows that stay inside the window.
  const PlayLayout wide = layOut(64, 32, 8);
  for (const PixelRect& swatch : wide.swatches) EXPECT_LE(swatch.x + swatch.width, wide.width);

  EXPECT_EQ(fittingCell(14, 6, 1920, 1080), 48u);
  const uint32_t cell = fittingCell(64, 32, 1280, 1024);
  EXPECT_LT(cell, 48u);
  EXPECT_LE(layOut(64, 32, cell).height, 1024);
  EXPECT_GT(layOut(64, 32, cell + 1).height, 1024);
  EXPECT_EQ(fittingCell(64, 6, 100, 100), 8u);

  EXPECT_EQ(keyOfColor(0), '1');
  EXPECT_EQ(keyOfColor(8), '9');
  EXPECT_EQ(keyOfColor(9), '0');
  EXPECT_FALSE(keyOfColor(10));
}

TEST(PlayPalette, EveryColourStandsApart) {
  for (uint32_t a = 0; a < maxColors; ++a)
    for (uint32_t b = a + 1; b < maxColors; ++b) {
      const PaletteColor x = fixedPaletteColor(a);
      const PaletteColor y = fixedPaletteColor(b);
      const int dr = x.red - y.red, dg = x.green - y.green, db = x.blue - y.blue;
      EXPECT_GE(dr * dr + dg * dg + db * db, 60 * 60) << a << " and " << b;
    }
}

}  // namespace
