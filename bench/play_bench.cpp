// tidefill-play's response: the time from a key event in SDL's queue to the frame that shows its
// move presented, at 14 x 14 with 6 colours and at 64 x 64 with 32, and the longest gap between
// frames while searches run at 21 x 21, under SDL's dummy driver or, when DISPLAY is set, on the
// X server. Each iteration plays a move and the next takes it back,
// so every key changes the picture; the searches run on their worker thread as in the program.
#include <SDL.h>
#include <SDL_ttf.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <utility>
#include <vector>

#include "play/sdl_play_window.h"

namespace {

struct Bench {
  explicit Bench(uint32_t side, uint32_t colorCount) {
    PlayOptions options;
    options.timeLimitSeconds = 1;
    BoardSource source;
    source.seed = 2026;
    source.side = side;
    source.colorCount = colorCount;
    session = std::make_unique<PlaySession>(options, source, lines, [] {});
    view.layout = layOut(side, colorCount, side > 32 ? 12 : 48);
    view.colorCount = colorCount;
    view.font = TTF_OpenFont(TIDEFILL_PLAY_FONT, 14);
    view.boldFont = TTF_OpenFont(TIDEFILL_PLAY_FONT, 14);
    view.window = SDL_CreateWindow("Tidefill Play bench", 0, 0, view.layout.width,
                                   view.layout.height, SDL_WINDOW_SHOWN);
    if (view.window == nullptr || view.font == nullptr) throw std::runtime_error(SDL_GetError());
    session->begin();
  }
  ~Bench() {
    session.reset();  // its threads end before the window
    TTF_CloseFont(view.font);
    TTF_CloseFont(view.boldFont);
    SDL_DestroyWindow(view.window);
  }

  // The key that plays a colour touching the player's region, or takes the move back.
  SDL_Keycode nextKey() const {
    if (!session->state().moves.empty()) return SDLK_u;
    const BoardColors& colors = session->state().current;
    const uint32_t right = colors.colors[1] != colors.colors[0] ? 1 : colors.side;
    return SDLK_1 + static_cast<SDL_Keycode>(colors.colors[right]);
  }

  // The key of a colour that joins regions to the player's: the colour of the first tile
  // outside the player's region next to it, found by a flood from the corner.
  SDL_Keycode forwardKey() const {
    const BoardColors& colors = session->state().current;
    const uint32_t side = colors.side;
    std::vector<bool> inside(colors.colors.size(), false);
    std::vector<uint32_t> stack{0};
    inside[0] = true;
    while (!stack.empty()) {
      const uint32_t tile = stack.back();
      stack.pop_back();
      const uint32_t x = tile % side;
      const uint32_t y = tile / side;
      for (const auto& [nx, ny] : {std::pair{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}}) {
        if (nx >= side || ny >= side) continue;  // unsigned: -1 wraps past the side
        const uint32_t next = ny * side + nx;
        if (inside[next]) continue;
        if (colors.colors[next] != colors.colors[0])
          return SDLK_1 + static_cast<SDL_Keycode>(colors.colors[next]);
        inside[next] = true;
        stack.push_back(next);
      }
    }
    return SDLK_n;
  }

  std::ostringstream lines;
  std::unique_ptr<PlaySession> session;
  PlayWindow view;
};

void keyToFrame(benchmark::State& state) {
  Bench bench(static_cast<uint32_t>(state.range(0)), static_cast<uint32_t>(state.range(1)));
  bool repaint = true;
  paintPlayWindow(bench.view, *bench.session);
  for (auto _ : state) {
    SDL_Event key{};
    key.type = SDL_KEYDOWN;
    key.key.keysym.sym = bench.nextKey();
    SDL_PushEvent(&key);
    // What the program's loop does for one event: take it, update, paint and present.
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) handlePlayEvent(event, bench.view, *bench.session, repaint);
    bench.session->update(Clock::now());
    paintPlayWindow(bench.view, *bench.session);
  }
  state.SetLabel(std::getenv("DISPLAY") != nullptr ? "X server" : "dummy driver");
}
BENCHMARK(keyToFrame)->Args({14, 6})->Args({64, 32})->Unit(benchmark::kMicrosecond);

// Frames back to back while the exact search works on 21 x 21 boards: each frame plays a move
// (a new position, so the worker drops its search and starts another; `n` after the last move),
// takes the events, updates and presents. max_gap_ms is the longest time between two presented
// frames, the stall a person would see; searching_share the frames during which a search ran.
void frameGapDuringSearch(benchmark::State& state) {
  Bench bench(21, 6);
  bool repaint = true;
  paintPlayWindow(bench.view, *bench.session);
  std::vector<double> gaps;
  uint64_t searching = 0;
  auto last = Clock::now();
  for (auto _ : state) {
    SDL_Event key{};
    key.type = SDL_KEYDOWN;
    key.key.keysym.sym = bench.forwardKey();  // n once the board is solved
    SDL_PushEvent(&key);
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) handlePlayEvent(event, bench.view, *bench.session, repaint);
    bench.session->update(Clock::now());
    paintPlayWindow(bench.view, *bench.session);
    const auto now = Clock::now();
    gaps.push_back(std::chrono::duration<double, std::milli>(now - last).count());
    last = now;
    searching += bench.session->awaitsResults() ? 1 : 0;
  }
  std::sort(gaps.begin(), gaps.end());
  state.counters["max_gap_ms"] = gaps.back();
  state.counters["p99_gap_ms"] = gaps[gaps.size() * 99 / 100];
  state.counters["searching_share"] = static_cast<double>(searching) / gaps.size();
  state.SetLabel(std::getenv("DISPLAY") != nullptr ? "X server" : "dummy driver");
}
BENCHMARK(frameGapDuringSearch)->MinTime(3)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("DISPLAY") == nullptr) setenv("SDL_VIDEODRIVER", "dummy", 0);
  if (SDL_Init(SDL_INIT_VIDEO) != 0 || TTF_Init() != 0) return 1;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  TTF_Quit();
  SDL_Quit();
  return 0;
}
