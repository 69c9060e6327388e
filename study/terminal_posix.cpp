// The terminal on POSIX systems: isatty and the window size of standard output.
#include <sys/ioctl.h>
#include <unistd.h>

#include "study/terminal.h"

bool isTerminal(std::FILE* stream) {
  return isatty(fileno(stream)) != 0;
}

uint32_t terminalColumns() {
  winsize size{};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return columnsFromEnvironment();
}
