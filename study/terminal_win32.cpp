// The terminal on Windows: the console behind a C stream, and the width of its window.
#include <io.h>

#include "os/windows_api.h"
#include "study/terminal.h"

bool isTerminal(std::FILE* stream) {
  return _isatty(_fileno(stream)) != 0;
}

uint32_t terminalColumns() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info) != 0)
    return static_cast<uint32_t>(info.srWindow.Right - info.srWindow.Left + 1);
  return columnsFromEnvironment();
}
