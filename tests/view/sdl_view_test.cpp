// The SDL board window under SDL's dummy driver: pixels read back after painting, the palette,
// the brush lookup and the message pump.
#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/platform.h"
#include "board/board.h"
#include "view/palette.h"
#include "view/sdl_visualizer.h"
#include "view/visualizer.h"

namespace {

// The game the window is handed to paint.
Game game;

bool operator==(const PaletteColor& a, const PaletteColor& b) {
  return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

class SdlView : public ::testing::Test {
 protected:
  static constexpr int kSide = 5;
  static constexpr int kCell = 8;

  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    ASSERT_TRUE(initVideo()) << SDL_GetError();
    std::vector<uint32_t> colors;
    for (uint32_t i = 0; i < kSide * kSide; ++i) colors.push_back((i * 7 + i / kSide) % 3);
    game = Game{};
    game.boardSize = kSide;
    game.colorCount = 4;
    loadBoard(game, colors);
    createVisualizer(nullptr, game, kCell);
    createPalette(4);
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);  // creation's own window events
  }

  void TearDown() override { closeVisualizer(); }

  static std::vector<uint32_t> readPixels() {
    const SDL_Surface* surface = SDL_GetWindowSurface(mainWindow);
    std::vector<uint32_t> pixels(static_cast<size_t>(outputWidth) * outputHeight);
    EXPECT_EQ(
        SDL_ConvertPixels(surface->w, surface->h, surface->format->format, surface->pixels,
                          surface->pitch, SDL_PIXELFORMAT_ARGB8888, pixels.data(), outputWidth * 4),
        0)
        << SDL_GetError();
    return pixels;
  }

  // Paints the whole surface one colour, as a window that lost its contents might show.
  static void scribble() {
    SDL_Surface* surface = SDL_GetWindowSurface(mainWindow);
    SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 1, 2, 3));
  }

  static uint32_t argb(const PaletteColor& c) {
    return 0xFF000000u | (uint32_t{c.red} << 16) | (uint32_t{c.green} << 8) | c.blue;
  }

  // Every pixel of the client area against the brush of the tile that covers it.
  static void expectBoardDrawn(int side = kSide, int cell = kCell) {
    const std::vector<uint32_t> pixels = readPixels();
    ASSERT_EQ(outputWidth, side * cell);
    for (int y = 0; y < outputHeight; ++y)
      for (int x = 0; x < outputWidth; ++x) {
        const uint32_t color = tileAt(game, x / cell, y / cell).color;
        ASSERT_EQ(pixels[static_cast<size_t>(y) * outputWidth + x], argb(brushes[color]))
            << "pixel (" << x << ", " << y << ") of tile (" << x / cell << ", " << y / cell << ")";
      }
  }

  static SDL_Event keyDown(SDL_Keycode key) {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.windowID = SDL_GetWindowID(mainWindow);
    event.key.state = SDL_PRESSED;
    event.key.keysym.sym = key;
    return event;
  }
};

TEST_F(SdlView, WindowIsFixedSizeAndTitled) {
  EXPECT_STREQ(SDL_GetWindowTitle(mainWindow), "Tidefill Solver Visualizer");
  EXPECT_EQ(outputWidth, kSide * kCell);
  EXPECT_EQ(outputHeight, kSide * kCell);
  const Uint32 flags = SDL_GetWindowFlags(mainWindow);
  EXPECT_EQ(flags & SDL_WINDOW_RESIZABLE, 0u);
  EXPECT_EQ(flags & SDL_WINDOW_ALLOW_HIGHDPI, 0u);
}

TEST_F(SdlView, EveryTileIsASquareOfItsBrush) {
  // Distinct brushes, so a tile drawn one pixel off shows against its neighbour.
  brushes = {{10, 20, 30}, {200, 0, 0}, {0, 200, 0}, {0, 0, 200}};
  paintBoard();
  expectBoardDrawn();

  // A move repaints only as the board now stands.
  solveStep(game);
  paintBoard();
  expectBoardDrawn();
}

// Paints only what changed after each turn, through two whole games, and holds every frame
// against a whole repaint of the same board.
TEST_F(SdlView, PartialRepaintsMatchWholeRepaints) {
  closeVisualizer();
  std::vector<uint32_t> colors;
  uint32_t state = 12345;
  for (int i = 0; i < 16 * 16; ++i) {
    state = state * 1103515245u + 12345u;
    colors.push_back((state >> 16) % 6);
  }
  game.boardSize = 16;
  game.colorCount = 6;
  loadBoard(game, colors);
  createVisualizer(nullptr, game, kCell);
  createPalette(6);
  brushes = {{10, 20, 30}, {200, 0, 0}, {0, 200, 0}, {0, 0, 200}, {200, 200, 0}, {0, 200, 200}};
  paintBoard();

  int frames = 0;
  for (int board = 0; board < 2; ++board) {
    if (board > 0) {
      generateBoard(game);
      paintBoard();
    }
    bool complete = false;
    while (!complete) {
      complete = solveStep(game);
      paintBoard();
      const std::vector<uint32_t> partial = readPixels();
      scribble();
      invalidateWindow();
      paintBoard();
      ASSERT_EQ(readPixels(), partial) << "frame " << frames;
      ++frames;
    }
  }
  EXPECT_GT(frames, 10);
  expectBoardDrawn(16, 8);
}

TEST_F(SdlView, AnExposureRepaintsEverything) {
  paintBoard();
  scribble();
  int exitCode = -1;
  ASSERT_TRUE(nextMessage(exitCode));
  dispatchMessage();  // the board has not changed: nothing is drawn
  EXPECT_EQ(readPixels(), std::vector<uint32_t>(kSide * kCell * kSide * kCell, 0xFF010203u));

  SDL_Event exposed{};
  exposed.type = SDL_WINDOWEVENT;
  exposed.window.event = SDL_WINDOWEVENT_EXPOSED;
  exposed.window.windowID = SDL_GetWindowID(mainWindow);
  SDL_PushEvent(&exposed);
  ASSERT_TRUE(nextMessage(exitCode));
  dispatchMessage();
  ASSERT_TRUE(nextMessage(exitCode));
  dispatchMessage();
  expectBoardDrawn();
}

TEST_F(SdlView, BrushLookupIsBoundsChecked) {
  EXPECT_NO_THROW(brushFor(3));
  try {
    brushFor(4);
    FAIL() << "no exception";
  } catch (const std::out_of_range& error) {
    EXPECT_STREQ(error.what(), "invalid vector subscript");
  }
  tileAt(game, 4, 4).color = 4;
  EXPECT_THROW(paintBoard(), std::out_of_range);
}

TEST(Palette, ChannelsComeFromTheSinglePrecisionProduct) {
  EXPECT_TRUE(paletteColorFromDraw(0.0f) == (PaletteColor{0, 0, 0}));
  EXPECT_TRUE(paletteColorFromDraw(1.0f) == (PaletteColor{255, 255, 255}));
  // 0.5 * 16777215 = 8388607.5, truncated to 0x7FFFFF.
  EXPECT_TRUE(paletteColorFromDraw(0.5f) == (PaletteColor{127, 255, 255}));
  // The largest draw below 1.0 rounds to 16777214 in single precision.
  EXPECT_TRUE(paletteColorFromDraw(0.99999994f) == (PaletteColor{255, 255, 254}));
}

TEST_F(SdlView, PaletteIsMadeOnceAndOutlivesBoards) {
  closeVisualizer();
  game.colorCount = 32;
  createVisualizer(nullptr, game, kCell);
  createPalette(32);
  ASSERT_EQ(brushes.size(), 32u);
  const std::vector<PaletteColor> first = brushes;
  generateBoard(game);
  createPalette(32);
  ASSERT_EQ(brushes.size(), 32u);
  for (size_t i = 0; i < first.size(); ++i) EXPECT_TRUE(brushes[i] == first[i]) << i;
}

TEST_F(SdlView, AnEmptyQueueGivesAPaintMessage) {
  scribble();
  int exitCode = -1;
  ASSERT_TRUE(nextMessage(exitCode));
  dispatchMessage();
  expectBoardDrawn();
}

TEST_F(SdlView, F1InTheWindowIsReportedOncePerPress) {
  int exitCode = -1;
  SDL_Event other = keyDown(SDLK_F2);
  SDL_PushEvent(&other);
  ASSERT_TRUE(nextMessage(exitCode));
  dispatchMessage();
  EXPECT_FALSE(pollF1());

  SDL_Event f1 = keyDown(SDLK_F1);
  SDL_PushEvent(&f1);
  ASSERT_TRUE(nextMessage(exitCode));
  EXPECT_FALSE(pollF1()) << "the press counts once it is dispatched";
  dispatchMessage();
  EXPECT_TRUE(pollF1());
  EXPECT_FALSE(pollF1());

  f1.key.repeat = 1;  // auto-repeat of a held key is not a new press
  SDL_PushEvent(&f1);
  ASSERT_TRUE(nextMessage(exitCode));
  dispatchMessage();
  EXPECT_FALSE(pollF1());
}

TEST_F(SdlView, ACloseRequestEndsTheLoopWithZero) {
  SDL_Event close{};
  close.type = SDL_WINDOWEVENT;
  close.window.event = SDL_WINDOWEVENT_CLOSE;
  close.window.windowID = SDL_GetWindowID(mainWindow);
  SDL_PushEvent(&close);
  int exitCode = -1;
  EXPECT_FALSE(nextMessage(exitCode));
  EXPECT_EQ(exitCode, 0);

  SDL_Event quit{};
  quit.type = SDL_QUIT;
  SDL_PushEvent(&quit);
  exitCode = -1;
  EXPECT_FALSE(nextMessage(exitCode));
  EXPECT_EQ(exitCode, 0);
}

}  // namespace
