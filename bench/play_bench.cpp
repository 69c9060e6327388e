// tidefill-play's response: the time from a key event in SDL's queue to the frame that shows its
// move presented, at 14 x 14 with 6 colours and at 64 x 64 with 32, under SDL's dummy driver or,
// when DISPLAY is set, on the X server. Each iteration plays a move and the next takes it back,
// so every key changes the picture; the searches run on their worker thread as in the program.
#include <SDL.h>
#include <SDL_ttf.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <sstream>
#include <stdexcept>

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
