// The console, the F1 poll and the idle wait on POSIX terminals: the terminal (or pipe) the
// program was started from is the console. While the main loop polls F1 or plays a series the
// terminal is read without waiting and without echo; before every question it is back in line
// mode, and it is restored however the program ends or stops. The idle wait sleeps on the
// window's event connection and the terminal together; a series' pause sleeps on the terminal,
// so that the end-of-file key ends it at once.
// Known gap: a program continued in the background stops again (SIGTTOU) when it sets the
// terminal back up, until it is brought to the foreground.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string_view>
#include <utility>

#include "app/console.h"
#include "app/platform.h"
#include "view/visualizer.h"

namespace {

bool consoleOpen = false;  // standard input is the program's to read
bool stdinIsTerminal = false;
termios savedTerminal{};  // as the program found it; put back when it ends
termios lineTerminal{};   // the same in canonical mode with echo, for questions
termios pollTerminal{};   // no line editing, no echo, reads return at once
enum class TerminalMode : sig_atomic_t { asFound, line, poll };
volatile TerminalMode terminalMode = TerminalMode::asFound;  // also read by the Ctrl-Z handler
volatile sig_atomic_t terminalTouchedElsewhere = 0;          // set after a stop: the shell reset it

// F1 as terminals send it: xterm's SS3 form, the VT220 function key, and the Linux console.
constexpr std::string_view kF1Sequences[] = {"\x1bOP", "\x1b[11~", "\x1b[[A"};
char pending[8] = {};  // the start of an F1 sequence that a read may have cut
size_t pendingLength = 0;
bool keptF1 = false;  // an F1 that arrived during a series, for the first poll after it

void restoreTerminal() {
  if (stdinIsTerminal) tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
}

void restoreAndReraise(int signalNumber) {
  restoreTerminal();
  // SA_RESETHAND has put the default action back; it runs as soon as this handler returns.
  raise(signalNumber);
}

const termios& attributesOf(TerminalMode mode) {
  switch (mode) {
    case TerminalMode::line:
      return lineTerminal;
    case TerminalMode::poll:
      return pollTerminal;
    default:
      return savedTerminal;
  }
}

void setStopHandler(void (*handler)(int)) {
  struct sigaction action {};
  sigemptyset(&action.sa_mask);
  action.sa_handler = handler;
  action.sa_flags = SA_RESTART;
  sigaction(SIGTSTP, &action, nullptr);
}

// Ctrl-Z: the terminal as it was found, then the default stop. Where nothing does job control
// (a session leader started straight from a terminal emulator) the kernel discards that stop
// instead of leaving the program stopped for good. Either way the program goes on here, and
// puts the terminal back the way it needs it.
void restoreAndStop(int /*signalNumber*/) {
  const int savedErrno = errno;
  restoreTerminal();
  setStopHandler(SIG_DFL);
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTSTP);
  sigprocmask(SIG_UNBLOCK, &stop, nullptr);
  raise(SIGTSTP);
  setStopHandler(restoreAndStop);
  if (stdinIsTerminal) tcsetattr(STDIN_FILENO, TCSANOW, &attributesOf(terminalMode));
  terminalTouchedElsewhere = 1;  // the shell may set it again when it continues the program
  errno = savedErrno;
}

void installHandlers() {
  struct sigaction action {};
  sigemptyset(&action.sa_mask);
  action.sa_handler = restoreAndReraise;
  action.sa_flags = SA_RESETHAND;
  for (int signalNumber :
       {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT})
    sigaction(signalNumber, &action, nullptr);
  setStopHandler(restoreAndStop);
}

// Feeds one byte to the F1 recogniser; true when it completes an F1 sequence.
bool feedByte(char byte) {
  pending[pendingLength++] = byte;
  const std::string_view sofar(pending, pendingLength);
  for (std::string_view sequence : kF1Sequences) {
    if (!sequence.starts_with(sofar)) continue;
    if (sequence.size() != sofar.size()) return false;
    pendingLength = 0;
    return true;
  }
  // Not part of F1: drop it, but an ESC may start the next sequence.
  pendingLength = 0;
  if (byte == '\x1b') pending[pendingLength++] = byte;
  return false;
}

// Switching only on a change keeps the loop's thousands of polls a second free of tcsetattr.
void enterMode(TerminalMode mode, const termios& attributes) {
  if (terminalMode == mode && !terminalTouchedElsewhere) return;
  terminalTouchedElsewhere = 0;
  terminalMode = mode;  // first, so that a Ctrl-Z from here on restores the new mode
  tcsetattr(STDIN_FILENO, TCSANOW, &attributes);
}

bool terminalF1() {
  enterMode(TerminalMode::poll, pollTerminal);
  bool pressed = false;
  char bytes[64];
  for (;;) {
    // Never block, even when something put the terminal back in line mode behind our back.
    pollfd ready{STDIN_FILENO, POLLIN, 0};
    if (poll(&ready, 1, 0) <= 0) break;
    // The terminal hung up, or the user typed the end-of-file key: the same end of input that
    // ends the program at a question ends it here too.
    if ((ready.revents & POLLIN) == 0) {
      if ((ready.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) throw EndOfInput{};
      break;
    }
    const ssize_t count = read(STDIN_FILENO, bytes, sizeof bytes);
    if (count == 0) throw EndOfInput{};
    if (count < 0) {
      if (errno == EINTR || errno == EAGAIN) break;
      throw EndOfInput{};  // EIO: the terminal is gone, or can no longer be read from here
    }
    for (ssize_t i = 0; i < count; ++i) {
      if (savedTerminal.c_cc[VEOF] != _POSIX_VDISABLE &&
          bytes[i] == static_cast<char>(savedTerminal.c_cc[VEOF]))
        throw EndOfInput{};
      pressed = feedByte(bytes[i]) || pressed;
    }
  }
  return pressed;
}

}  // namespace

void openConsole() {
  // Prompts end without a newline, so nothing may wait in a buffer.
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  consoleOpen = true;
  stdinIsTerminal = isatty(STDIN_FILENO) != 0 && tcgetattr(STDIN_FILENO, &savedTerminal) == 0;
  if (!stdinIsTerminal) return;
  lineTerminal = savedTerminal;
  lineTerminal.c_lflag |= ICANON | ECHO;
  pollTerminal = savedTerminal;
  pollTerminal.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO | ECHONL));  // ISIG stays
  pollTerminal.c_cc[VMIN] = 0;
  pollTerminal.c_cc[VTIME] = 0;
  std::atexit(restoreTerminal);
  installHandlers();
}

void consoleLineMode() {
  if (!stdinIsTerminal) return;
  enterMode(TerminalMode::line, lineTerminal);
  pendingLength = 0;
}

// Piped or redirected input that is used up: the descriptor is at its end and the stream's
// buffer is empty. Unread answers are left where they are, for the questions.
bool redirectedInputEnded() {
  pollfd ready{STDIN_FILENO, POLLIN, 0};
  if (poll(&ready, 1, 0) <= 0) return false;  // the writer may still send more
  if ((ready.revents & POLLNVAL) != 0) return true;
  int waiting = 0;
  if (ioctl(STDIN_FILENO, FIONREAD, &waiting) == 0 && waiting > 0) return false;
  // The descriptor is at its end; a line may still wait in the stream's own buffer.
  return std::cin.peek() == std::char_traits<char>::eof();
}

bool pollF1() {
  if (consoleOpen && !stdinIsTerminal && redirectedInputEnded()) throw EndOfInput{};
  const bool fromTerminal = stdinIsTerminal && (terminalF1() || std::exchange(keptF1, false));
  return takeWindowF1Press() || fromTerminal;
}

void watchConsole() {
  if (stdinIsTerminal && terminalF1()) keptF1 = true;
}

// poll() may wake up to 0.1% of its timeout late on Linux (0.5% in a niced process): waits of
// at most a second that end 10 ms before the deadline never run past it, and the caller's exact
// sleep takes the last 10 ms. Shorter pauses are not watched, as before.
constexpr std::chrono::milliseconds kLongestConsoleWatch{1000};
constexpr std::chrono::milliseconds kExactStretch{10};

void watchConsoleUntil(std::chrono::steady_clock::time_point deadline) {
  if (!stdinIsTerminal) return;
  for (;;) {
    const auto left = std::chrono::floor<std::chrono::milliseconds>(
        deadline - kExactStretch - std::chrono::steady_clock::now());
    if (left.count() <= 0) return;
    pollfd ready{STDIN_FILENO, POLLIN, 0};
    // Typed keys are taken and the wait goes on; only the end of input leaves it early.
    if (poll(&ready, 1, static_cast<int>(std::min(left, kLongestConsoleWatch).count())) > 0)
      watchConsole();
  }
}

void waitForInput(std::chrono::milliseconds limit) {
  if (keptF1 || windowInputPending()) return;
  pollfd sources[2];
  nfds_t count = 0;
  if (const int window = windowEventDescriptor(); window >= 0)
    sources[count++] = pollfd{window, POLLIN, 0};
  if (stdinIsTerminal) sources[count++] = pollfd{STDIN_FILENO, POLLIN, 0};
  poll(sources, count, static_cast<int>(limit.count()));
}

const char* endingHelp() {
  return "Closing the window ends it, and so do Ctrl-D and the end of piped input.\n";
}
