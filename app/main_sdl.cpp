// Entry point on SDL2 platforms: the console dialogue, the board window and the main loop.
#define SDL_MAIN_HANDLED  // plain main everywhere; nothing of SDL2main is needed
#include <cstdio>
#include <stdexcept>

#include "app/console.h"
#include "app/loop.h"
#include "app/startup.h"
#include "view/sdl_visualizer.h"
#include "view/visualizer.h"

int main(int /*argc*/, char* /*argv*/[]) {
  // Without a display there is no point asking four questions first.
  if (!initVideo()) {
    std::printf("Tidefill: cannot open the board window: %s\n", SDL_GetError());
    return 1;
  }
  try {
    startUp();
    createVisualizer(nullptr);
    createPalette();
    loopState = LoopState{};
    return runMainLoop();
  } catch (const EndOfInput&) {
    return 0;  // the console's exit handler puts the terminal back
  } catch (const std::runtime_error& error) {
    std::printf("Tidefill: %s\n", error.what());
    return 1;
  }
}
