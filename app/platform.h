// What the front end needs of the platform's console and keyboard; one implementation per
// platform (console_posix.cpp, console_win32.cpp).
#pragma once

// Gives the process its console and makes every print visible at once.
void openConsole();

// Puts the console back in line mode with echo before a question is read. A no-op where the
// console never leaves it.
void consoleLineMode();

// True when F1 was pressed since the previous call, without waiting.
bool pollF1();
