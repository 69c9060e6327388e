// Windows entry point (GUI subsystem): console and settings, window, palette, then the loop.
#include "os/windows_api.h"

#include "app/startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  return runProgram(instance);
}
