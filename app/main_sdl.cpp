// Entry point on SDL2 platforms: the command line, the console dialogue, the board window and the
// main loop. A plain main: this file sees nothing of SDL, so SDL_main never renames it.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#if defined(__linux__)
#include <sys/prctl.h>
#endif

#include "app/command_line.h"
#include "app/startup.h"
#include "view/visualizer.h"

int main(int argc, char* argv[]) {
  // --help and --version need no display and ask nothing.
  const std::vector<std::string_view> arguments(argv + 1, argv + argc);
  if (const auto answer = answerCommandLine(arguments)) return printCommandLineAnswer(*answer);
#if defined(__linux__)
  // Linux may otherwise end a sleep up to 50 us late, a twentieth of the shortest series pause.
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
  // Without a display there is no point asking four questions first.
  std::string reason;
  if (!openWindowSystem(reason)) {
    std::fprintf(stderr, "Tidefill: cannot open the board window: %s\n", reason.c_str());
    return 1;
  }
  const int exitCode = runProgram(nullptr);
  // Leaves nothing behind for a leak checker on any normal end: window closed, end of input, or
  // a window that could not be made.
  closeWindowSystem();
  return exitCode;
}
