// Entry point on SDL2 platforms: the console dialogue, the board window and the main loop.
#define SDL_MAIN_HANDLED  // plain main everywhere; nothing of SDL2main is needed
#include <cstdio>

#include "app/startup.h"
#include "view/sdl_visualizer.h"

int main(int /*argc*/, char* /*argv*/[]) {
  // Without a display there is no point asking four questions first.
  if (!initVideo()) {
    std::printf("Tidefill: cannot open the board window: %s\n", SDL_GetError());
    return 1;
  }
  return runProgram(nullptr);
}
