// What the front end needs of the platform's console, keyboard and message wait; one
// implementation per platform (console_posix.cpp, console_win32.cpp).
#pragma once

#include <chrono>

// Gives the process its console and makes every print visible at once.
void openConsole();

// Puts the console back in line mode with echo before a question is read. A no-op where the
// console never leaves it.
void consoleLineMode();

// True when F1 was pressed since the previous call, without waiting. Throws EndOfInput when
// the console's input has ended, since no question could be answered any more.
bool pollF1();

// During a series: takes what the console sent since the last call, without waiting and
// without echo. An F1 is kept for the first poll after the series; the end-of-file key throws
// EndOfInput. A no-op where the console keeps its own line editing.
void watchConsole();

// During a series' pause: watches the console as watchConsole does until shortly before
// `deadline`, so that the end-of-file key ends the pause at once while other keys leave its
// length alone. Returns by `deadline` at the latest (at once where watchConsole is a no-op); the
// caller sleeps what is left, exactly.
void watchConsoleUntil(std::chrono::steady_clock::time_point deadline);

// Sleeps until a window message or console input may be waiting, or `limit` has passed;
// returns at once when one already is. Called before each pass while no series runs, so that
// an idle program sleeps instead of spinning.
void waitForInput(std::chrono::milliseconds limit);

// The help's last line: how the program ends, closing the window and this console's own way of
// ending its input.
const char* endingHelp();
