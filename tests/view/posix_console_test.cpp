// The terminal side of the console: F1 recognised from a pseudo-terminal, the terminal modes for
// polling and for questions, and a pipe left alone. Each case runs in a child process, because
// opening the console installs exit and signal handlers that must not touch the test runner's
// own terminal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/console.h"
#include "app/platform.h"

namespace {

// Runs `body` in a child with the given descriptor as standard input; returns what it reports
// ("" when all is well).
std::string inChild(int input, const std::function<std::string()>& body) {
  int report[2];
  if (pipe(report) != 0) return "pipe failed";
  const pid_t child = fork();
  if (child == 0) {
    close(report[0]);
    dup2(input, STDIN_FILENO);
    const std::string message = body();
    (void)!write(report[1], message.data(), message.size());
    _exit(0);
  }
  close(report[1]);
  std::string message;
  char buffer[256];
  for (ssize_t count; (count = read(report[0], buffer, sizeof buffer)) > 0;)
    message.append(buffer, static_cast<size_t>(count));
  close(report[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status)) return "child died: " + message;
  return message;
}

struct Pty {
  int master = -1;
  int slave = -1;
  Pty() {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(master);
    unlockpt(master);
    slave = open(ptsname(master), O_RDWR | O_NOCTTY);
  }
  ~Pty() {
    close(slave);
    close(master);
  }
};

// Types bytes at the terminal and waits until they can be read, as a pty delivers them later.
void type(const Pty& pty, const std::string& bytes) {
  (void)!write(pty.master, bytes.data(), bytes.size());
  pollfd ready{pty.slave, POLLIN, 0};
  poll(&ready, 1, 2000);
}

tcflag_t localFlags(int fd) {
  termios attributes{};
  tcgetattr(fd, &attributes);
  return attributes.c_lflag;
}

TEST(PosixConsole, F1FromTheTerminalInEachOfItsForms) {
  Pty pty;
  const std::string failure = inChild(pty.slave, [&]() -> std::string {
    openConsole();
    if (pollF1()) return "F1 before any key";
    const struct {
      const char* bytes;
      bool f1;
    } cases[] = {
        {"\x1bOP", true},        {"\x1b[11~", true},  {"\x1b[[A", true},
        {"abc\x1b\x1bOP", true},  // an ESC cut short, then F1
        {"\x1bOQ", false},       {"\x1b[12~", false}, {"x", false},
    };
    for (const auto& c : cases) {
      type(pty, c.bytes);
      if (pollF1() != c.f1) return std::string("wrong answer for ") + (c.bytes + 1);
      if (pollF1()) return std::string("F1 reported twice for ") + (c.bytes + 1);
    }
    // A sequence cut between two reads still counts, once.
    type(pty, "\x1b[1");
    if (pollF1()) return "F1 from half a sequence";
    type(pty, "1~");
    if (!pollF1()) return "sequence split across polls missed";
    return "";
  });
  EXPECT_EQ(failure, "");
}

TEST(PosixConsole, PollingIsSilentAndQuestionsGetLineModeBack) {
  Pty pty;
  termios before{};
  tcgetattr(pty.slave, &before);
  const std::string failure = inChild(pty.slave, [&]() -> std::string {
    openConsole();
    pollF1();
    const tcflag_t polling = localFlags(STDIN_FILENO);
    if (polling & (ICANON | ECHO)) return "still canonical or echoing while polling";
    if (!(polling & ISIG)) return "Ctrl-C would be lost while polling";
    consoleLineMode();
    const tcflag_t asking = localFlags(STDIN_FILENO);
    if ((asking & (ICANON | ECHO)) != (ICANON | ECHO)) return "no line mode for a question";
    pollF1();
    exit(0);  // the exit handler restores the terminal as it was found
  });
  EXPECT_EQ(failure, "");
  termios after{};
  tcgetattr(pty.slave, &after);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(after.c_cc[VMIN], before.c_cc[VMIN]);
}

TEST(PosixConsole, TheEndOfFileKeyWhileIdleIsEndOfInput) {
  Pty pty;
  const std::string failure = inChild(pty.slave, [&]() -> std::string {
    openConsole();
    pollF1();
    type(pty, std::string(1, '\x04'));
    try {
      pollF1();
    } catch (const EndOfInput&) {
      return "";
    }
    return "Ctrl-D while polling did not end the input";
  });
  EXPECT_EQ(failure, "");
}

// Types each of `keys` at the terminal `delay` after the previous one, from another thread, while
// the test waits in the console.
std::thread typeLater(const Pty& pty, std::vector<std::string> keys,
                      std::chrono::milliseconds delay) {
  return std::thread([&pty, keys = std::move(keys), delay] {
    for (const std::string& key : keys) {
      std::this_thread::sleep_for(delay);
      (void)!write(pty.master, key.data(), key.size());
    }
  });
}

TEST(PosixConsole, OnlyTheEndOfFileKeyEndsAPauseEarly) {
  using Clock = std::chrono::steady_clock;
  using std::chrono::milliseconds;
  Pty pty;
  const std::string failure = inChild(pty.slave, [&]() -> std::string {
    openConsole();
    watchConsole();
    // Keys typed in a pause, F1 among them, are taken without ending it; the F1 is kept.
    std::thread typist = typeLater(pty, {"a", "\x1bOP", "b", "c"}, milliseconds(40));
    Clock::time_point start = Clock::now();
    try {
      watchConsoleUntil(start + milliseconds(400));
    } catch (const EndOfInput&) {
      typist.join();
      return "ordinary keys ended the input";
    }
    const auto watched = Clock::now() - start;
    typist.join();
    if (watched < milliseconds(380)) return "ordinary keys shortened the pause";
    if (!pollF1()) return "F1 typed in a pause was lost";
    if (pollF1()) return "F1 typed in a pause was kept twice";

    typist = typeLater(pty, {std::string(1, '\x04')}, milliseconds(50));
    start = Clock::now();
    try {
      watchConsoleUntil(start + std::chrono::seconds(5));
    } catch (const EndOfInput&) {
      typist.join();
      return Clock::now() - start < milliseconds(1000) ? "" : "Ctrl-D acted late";
    }
    typist.join();
    return "Ctrl-D in a pause did not end the input";
  });
  EXPECT_EQ(failure, "");
}

TEST(PosixConsole, PipedInputIsLeftForTheQuestions) {
  int input[2];
  ASSERT_EQ(pipe(input), 0);
  (void)!write(input[1], "\x1bOP5\n", 5);
  close(input[1]);
  const std::string failure = inChild(input[0], []() -> std::string {
    openConsole();
    if (pollF1()) return "F1 taken from a pipe";
    char buffer[8] = {};
    if (read(STDIN_FILENO, buffer, sizeof buffer) != 5) return "piped bytes consumed";
    return "";
  });
  close(input[0]);
  EXPECT_EQ(failure, "");
}

}  // namespace
