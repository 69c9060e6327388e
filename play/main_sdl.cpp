// tidefill-play on SDL2: opens the window and runs the event loop; the window's drawing and input
// are sdl_play_window.cpp, everything else is portable (play_session.h).
#include <SDL.h>
#include <SDL_syswm.h>
#include <SDL_ttf.h>
#include <poll.h>
#if defined(__linux__)
#include <sys/prctl.h>
#endif

#include <algorithm>
#include <chrono>
#include <ctime>
#include <iostream>
#include <memory>
#include <string>

#include "play/play_layout.h"
#include "play/play_options.h"
#include "play/play_session.h"
#include "play/sdl_play_window.h"

namespace {

constexpr const char* kTitle = "Tidefill Play";
// How long the loop sleeps between looks at the searches while it awaits a result, and when it
// awaits none (only input can change anything then).
constexpr int kAwaitingWaitMs = 10;
constexpr int kIdleWaitMs = 250;

// Runs `action` at the end of the scope: SDL's and SDL_ttf's shutdowns on every way out.
struct AtExit {
  void (*action)();
  ~AtExit() { action(); }
};

TTF_Font* openFont(const char* path, int style) {
  TTF_Font* font = TTF_OpenFont(path, 14);
  if (font != nullptr) TTF_SetFontStyle(font, style);
  return font;
}

// Sleeps until the window system has input or `until` has come. Not SDL_WaitEventTimeout: for
// each event it takes while waiting, SDL sends the window a wake-up over a second connection,
// and one sent just before the window closes can reach the server after the window is gone, an
// X error that ends the program with status 1.
void waitForInput(SDL_Window* window, Clock::time_point until) {
  SDL_PumpEvents();
  if (SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT)) return;
  const auto left = std::max(until - Clock::now(), Clock::duration::zero());
#if defined(SDL_VIDEO_DRIVER_X11)
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11) {
    // SDL_PumpEvents has read every event the connection held, so the descriptor tells.
    pollfd connection{ConnectionNumber(info.info.x11.display), POLLIN, 0};
#if defined(__linux__)
    // To the microsecond: a watched series at a 1 ms pause must not wait a millisecond more.
    const auto seconds = std::chrono::floor<std::chrono::seconds>(left);
    const timespec timeout{static_cast<time_t>(seconds.count()),
                           static_cast<long>(std::chrono::nanoseconds(left - seconds).count())};
    ppoll(&connection, 1, &timeout, nullptr);
#else
    poll(&connection, 1,
         static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count()));
#endif
    return;
  }
#endif
  SDL_Delay(static_cast<Uint32>(  // other window systems: a short nap
      std::min<int64_t>(5, std::chrono::ceil<std::chrono::milliseconds>(left).count())));
}

int run(const PlayOptions& options, BoardSource source) {
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_DEFAULT);
  if (SDL_Init(SDL_INIT_VIDEO) != 0)
    return playError(1, std::string("cannot open a window: ") + SDL_GetError());
  const AtExit sdl{SDL_Quit};
  // Without a display SDL falls back to drivers that draw nowhere; a person would see nothing.
  const char* driver = SDL_GetCurrentVideoDriver();
  const std::string chosen = driver != nullptr ? driver : "";
  if ((chosen == "offscreen" || chosen == "dummy") && SDL_GetHint(SDL_HINT_VIDEODRIVER) == nullptr)
    return playError(1,
                     "cannot open a window: no display found (DISPLAY is not set or the X "
                     "server cannot be reached)");
  if (TTF_Init() != 0) return playError(1, std::string("cannot start SDL_ttf: ") + TTF_GetError());
  const AtExit ttf{TTF_Quit};

  PlayWindow view;
  view.font = openFont(TIDEFILL_PLAY_FONT, TTF_STYLE_NORMAL);
  view.boldFont = openFont(TIDEFILL_PLAY_FONT, TTF_STYLE_BOLD);
  if (view.font == nullptr || view.boldFont == nullptr)
    return playError(
        1, std::string("cannot open the font ") + TIDEFILL_PLAY_FONT + ": " + TTF_GetError());
  // The window fits the first board, and follows a board file's boards of other sizes.
  const auto sizeOfFirst = [&](uint32_t BoardColors::*field, uint32_t seeded) {
    return source.fileBoards.empty() ? seeded : source.fileBoards.front().*field;
  };
  const uint32_t side = sizeOfFirst(&BoardColors::side, source.side);
  const uint32_t colorCount = sizeOfFirst(&BoardColors::colorCount, source.colorCount);
  SDL_Rect usable{0, 0, 1024, 768};
  SDL_GetDisplayUsableBounds(0, &usable);
  const auto cellFor = [&](uint32_t boardSide, uint32_t boardColors) {
    return options.cell ? *options.cell : fittingCell(boardSide, boardColors, usable.w, usable.h);
  };

  // The loop looks for results itself: an event pushed from another thread would be sent to
  // the window over a connection of its own and could arrive after the window is gone.
  auto owned = std::make_unique<PlaySession>(options, std::move(source), std::cout, [] {});
  PlaySession& session = *owned;
  view.layout = layOut(side, colorCount, cellFor(side, colorCount));
  view.colorCount = colorCount;
  view.window =
      SDL_CreateWindow(kTitle, 0, 0, view.layout.width, view.layout.height, SDL_WINDOW_SHOWN);
  if (view.window == nullptr)
    return playError(1, std::string("cannot open a window: ") + SDL_GetError());
  session.begin();

  bool repaint = true;
  for (bool running = true; running;) {
    const std::string title = std::string(kTitle) + " - " + session.boardName();
    if (title != SDL_GetWindowTitle(view.window)) SDL_SetWindowTitle(view.window, title.c_str());
    const BoardColors& shown = session.state().current;
    if (shown.side != view.layout.side || shown.colorCount != view.colorCount) {
      // A board file's next board of another size: the window follows it.
      view.layout = layOut(shown.side, shown.colorCount, cellFor(shown.side, shown.colorCount));
      view.colorCount = shown.colorCount;
      view.wholeFrameDue = true;
      SDL_SetWindowSize(view.window, view.layout.width, view.layout.height);
      repaint = true;
    }
    if (session.update(Clock::now())) repaint = true;
    if (repaint) {
      paintPlayWindow(view, session);
      repaint = false;
    }
    Clock::time_point wakeAt =
        Clock::now() +
        std::chrono::milliseconds(session.awaitsResults() ? kAwaitingWaitMs : kIdleWaitMs);
    if (const auto step = session.nextWatchStep()) wakeAt = std::min(wakeAt, *step);
    waitForInput(view.window, wakeAt);
    SDL_Event event;
    while (running && SDL_PollEvent(&event) != 0)
      running = handlePlayEvent(event, view, session, repaint);
  }
  owned.reset();
  TTF_CloseFont(view.font);
  TTF_CloseFont(view.boldFont);
  SDL_DestroyWindow(view.window);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
#if defined(__linux__)
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);  // a watched move's pause ends when it should
#endif
  auto parsed = parsePlayOptions(argc, argv);
  if (const int* status = std::get_if<int>(&parsed)) return *status;
  const PlayOptions& options = std::get<PlayOptions>(parsed);
  auto source = boardSource(options);
  if (const auto* refusal = std::get_if<std::string>(&source)) return playError(2, *refusal);
  return run(options, std::get<BoardSource>(std::move(source)));
}
