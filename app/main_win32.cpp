// Windows entry point (GUI subsystem): the command line, then console and settings, window,
// palette and the loop.
#include "os/windows_api.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "app/startup.h"

namespace {

bool hasStandardHandle(DWORD which) {
  const HANDLE handle = GetStdHandle(which);
  return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

void reopenOnConsole(FILE* stream) {
#if defined(_MSC_VER)
  FILE* reopened = nullptr;
  freopen_s(&reopened, "CONOUT$", "w", stream);
#else
  std::freopen("CONOUT$", "w", stream);
#endif
}

// A GUI program starts without a console of its own, and a console made now would vanish with
// the program before anyone read it. The answer goes where the standard handles it was given
// lead (a pipe or a file, or under Wine the terminal it was started from); a stream without one
// goes to the console of the shell that started the program, where there is one.
void reachWhoeverStartedUs() {
  const bool output = hasStandardHandle(STD_OUTPUT_HANDLE);
  const bool error = hasStandardHandle(STD_ERROR_HANDLE);
  if ((output && error) || !AttachConsole(ATTACH_PARENT_PROCESS)) return;
  if (!output) reopenOnConsole(stdout);
  if (!error) reopenOnConsole(stderr);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // The C runtime has split the command line (GetCommandLine) as it does for main().
  const std::vector<std::string_view> arguments(__argv + 1, __argv + __argc);
  if (const auto answer = answerCommandLine(arguments)) {
    reachWhoeverStartedUs();
    return printCommandLineAnswer(*answer);
  }
  return runProgram(instance);
}
