// Windows entry point (GUI subsystem): console and settings, window, palette, then the loop.
#include "app/windows_api.h"

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
