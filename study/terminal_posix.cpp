// The terminal on POSIX systems: isatty and the window size of standard output.
#include <signal.h>
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

namespace {

std::atomic<bool>* stopFlag = nullptr;
volatile sig_atomic_t caughtSignal = 0;

extern "C" void onStopSignal(int signal) {
  if (caughtSignal != 0) {  // the second one: end as if there were no handler
    ::signal(signal, SIG_DFL);
    raise(signal);
    return;
  }
  caughtSignal = signal;
  stopFlag->store(true);
}

}  // namespace

void catchStopSignals(std::atomic<bool>& stop) {
  stopFlag = &stop;
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a blocked open or read returns with EINTR
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

int stopSignal() {
  return caughtSignal;
}
