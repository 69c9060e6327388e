// tidefill-play on Windows (GUI subsystem): the command line, then the window and the message
// loop; the window's drawing and input are win32_play_window.cpp, everything else is portable
// (play_session.h).
#include "os/windows_api.h"
#include "os/windows_std_streams.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

#include "play/play_layout.h"
#include "play/play_options.h"
#include "play/play_session.h"
#include "play/win32_play_window.h"

namespace {

// How long the loop sleeps between looks at the searches while it awaits a result, and when it
// awaits none (only input can change anything then).
constexpr int64_t kAwaitingWaitMs = 10;
constexpr int64_t kIdleWaitMs = 250;

// Until a search result or a watched move is due, or a message arrives.
DWORD waitMs(const PlaySession& session) {
  int64_t wait = session.awaitsResults() ? kAwaitingWaitMs : kIdleWaitMs;
  if (const auto step = session.nextWatchStep()) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*step - Clock::now());
    wait = std::clamp<int64_t>(left.count(), 0, wait);
  }
  return static_cast<DWORD>(wait);
}

// Handles every message waiting; false once the window is gone (WM_QUIT), with its status.
bool pumpMessages(int& status) {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      status = static_cast<int>(message.wParam);
      return false;
    }
    TranslateMessage(&message);  // WM_CHAR for the keys
    DispatchMessageA(&message);
  }
  return true;
}

int run(HINSTANCE instance, const PlayOptions& options, BoardSource source) {
  // The window fits the first board, and follows a board file's boards of other sizes.
  const bool fromFile = !source.fileBoards.empty();
  const uint32_t side = fromFile ? source.fileBoards.front().side : source.side;
  const uint32_t colorCount = fromFile ? source.fileBoards.front().colorCount : source.colorCount;
  const auto cellFor = [&](uint32_t boardSide, uint32_t boardColors) {
    return options.cell ? *options.cell : fittingCellOnScreen(boardSide, boardColors);
  };

  // The loop looks for results itself, so the worker threads never touch the window.
  auto owned = std::make_unique<PlaySession>(options, std::move(source), std::cout, [] {});
  PlaySession& session = *owned;
  PlayWindow view;
  view.session = &session;
  view.layout = layOut(side, colorCount, cellFor(side, colorCount));
  view.colorCount = colorCount;
  if (const std::string failure = openPlayWindow(instance, view); !failure.empty()) {
    closePlayWindow(view);
    return playError(1, failure);
  }
  session.begin();

  int status = 0;
  do {
    setPlayWindowTitle(view, std::string(kPlayTitle) + " - " + session.boardName());
    const BoardColors& shown = session.state().current;
    if (shown.side != view.layout.side || shown.colorCount != view.colorCount)
      fitPlayWindow(view,
                    layOut(shown.side, shown.colorCount, cellFor(shown.side, shown.colorCount)),
                    shown.colorCount);
    if (session.update(Clock::now())) InvalidateRect(view.window, nullptr, FALSE);
    // Wakes for any message, a paint included: the window validates what it paints.
    MsgWaitForMultipleObjectsEx(0, nullptr, waitMs(session), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  } while (pumpMessages(status));
  owned.reset();  // the searches end before the drawing resources go
  closePlayWindow(view);
  return status;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // Help, refusals and the lines of the game all go where the program was started from.
  reachWhoeverStartedUs();
  // The C runtime has split the command line (GetCommandLine) as it does for main().
  auto parsed = parsePlayOptions(__argc, __argv);
  if (const int* status = std::get_if<int>(&parsed)) return *status;
  const PlayOptions& options = std::get<PlayOptions>(parsed);
  auto source = boardSource(options);
  if (const auto* refusal = std::get_if<std::string>(&source)) return playError(2, *refusal);
  return run(instance, options, std::get<BoardSource>(std::move(source)));
}
