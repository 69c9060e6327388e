// Windows entry point (GUI subsystem): console and settings, window, palette, then the loop.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <stdexcept>

#include "app/console.h"
#include "app/loop.h"
#include "app/startup.h"
#include "view/visualizer.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  try {
    startUp();
    createVisualizer(instance);
    createPalette();
    loopState = LoopState{};
    return runMainLoop();
  } catch (const EndOfInput&) {
    return 0;
  } catch (const std::runtime_error& error) {  // the window or Direct2D could not be created
    std::printf("Tidefill: %s\n", error.what());
    return 1;
  }
}
