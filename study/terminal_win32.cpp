// The terminal on Windows: the console behind a C stream, the width of its window, and the
// console signals that stop a study.
#include <io.h>

#include <csignal>

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

namespace {

std::atomic<bool>* stopFlag = nullptr;
volatile std::sig_atomic_t caughtSignal = 0;

extern "C" void onStopSignal(int signal) {
  if (caughtSignal != 0) {
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    return;
  }
  caughtSignal = signal;
  stopFlag->store(true);
  std::signal(signal, onStopSignal);  // the handler is reset on every call here
}

}  // namespace

void catchStopSignals(std::atomic<bool>& stop) {
  stopFlag = &stop;
  for (const int signal : {SIGINT, SIGTERM, SIGBREAK}) std::signal(signal, onStopSignal);
}

int stopSignal() {
  return caughtSignal;
}
