// Windows entry point (GUI subsystem): the command line, then console and settings, window,
// palette and the loop.
#include "os/windows_api.h"
#include "os/windows_std_streams.h"

#include <cstdlib>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "app/startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // The C runtime has split the command line (GetCommandLine) as it does for main().
  const std::vector<std::string_view> arguments(__argv + 1, __argv + __argc);
  if (const auto answer = answerCommandLine(arguments)) {
    reachWhoeverStartedUs();
    return printCommandLineAnswer(*answer);
  }
  return runProgram(instance);
}
