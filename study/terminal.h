// What the study needs of the terminal and of the signals that end a run, one implementation per
// platform (terminal_posix.cpp, terminal_win32.cpp).
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// True when the stream writes to a terminal (a console on Windows).
bool isTerminal(std::FILE* stream);

// Width of the terminal that standard output writes to; COLUMNS or 80 when it is no terminal.
uint32_t terminalColumns();

// COLUMNS when it holds a sensible width, otherwise 80.
inline uint32_t columnsFromEnvironment() {
  const char* columns = std::getenv("COLUMNS");
  const long parsed = columns != nullptr ? std::strtol(columns, nullptr, 10) : 0;
  return parsed > 0 && parsed < 10000 ? static_cast<uint32_t>(parsed) : 80;
}

// Ctrl-C, SIGTERM and SIGHUP (where they exist) set `stop` and are remembered instead of ending
// the process, so that a study ends with the summary of the boards it finished; a second one ends
// the process at once. They also break a blocking open or read, such as of a FIFO with no writer.
void catchStopSignals(std::atomic<bool>& stop);
// The signal that asked the study to stop, or 0.
int stopSignal();
