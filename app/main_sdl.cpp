// Entry point on SDL2 platforms: the console dialogue, the board window and the main loop.
#define SDL_MAIN_HANDLED  // plain main everywhere; nothing of SDL2main is needed
#include <cstdio>

#if defined(__linux__)
#include <sys/prctl.h>
#endif

#include "app/startup.h"
#include "view/sdl_visualizer.h"

int main(int /*argc*/, char* /*argv*/[]) {
#if defined(__linux__)
  // Linux may otherwise end a sleep up to 50 us late, a twentieth of the shortest series pause.
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
  // Without a display there is no point asking four questions first.
  if (!initVideo()) {
    std::printf("Tidefill: cannot open the board window: %s\n", SDL_GetError());
    return 1;
  }
  const int exitCode = runProgram(nullptr);
  // Leaves nothing behind for a leak checker on any normal end: window closed, end of input, or
  // a window that could not be made.
  closeVisualizer();
  SDL_Quit();
  return exitCode;
}
