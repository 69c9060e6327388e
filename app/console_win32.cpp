// The console on Windows: a GUI process gets its own console and points the C streams at it;
// F1 is read from the asynchronous key state, so it counts wherever the keyboard focus is. The
// idle wait sleeps on the thread's message queue.
// Known gap: the console's own line editing is used as it is (no end-of-input key is special).
#include "os/windows_api.h"

#include <cstdio>

#include "app/platform.h"

void openConsole() {
  AllocConsole();
#if defined(_MSC_VER)
  FILE* reopened = nullptr;
  freopen_s(&reopened, "CONIN$", "r", stdin);
  freopen_s(&reopened, "CONOUT$", "w", stdout);
  freopen_s(&reopened, "CONOUT$", "w", stderr);
#else
  std::freopen("CONIN$", "r", stdin);
  std::freopen("CONOUT$", "w", stdout);
  std::freopen("CONOUT$", "w", stderr);
#endif
}

// The Windows console never leaves line mode.
void consoleLineMode() {}

// The lowest bit is set when the key went down since the previous call.
bool pollF1() {
  return (GetAsyncKeyState(VK_F1) & 1) != 0;
}

// The console echoes and edits lines itself; nothing is read from it outside a question.
void watchConsole() {}

// Nothing ends the input outside a question, so a pause has nothing to watch for.
void watchConsoleUntil(std::chrono::steady_clock::time_point) {}

// Everything but QS_PAINT: the window's update region is never validated, so a paint is always
// due and would end the wait at once. F1 pressed in the console window sends this thread no
// message; the poll after the timeout sees it.
void waitForInput(std::chrono::milliseconds limit) {
  MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(limit.count()),
                              QS_ALLINPUT & ~QS_PAINT, MWMO_INPUTAVAILABLE);
}

// Standard input is always the console's own (openConsole), so it ends only at a question.
const char* endingHelp() {
  return "Closing the window ends it, and so do Ctrl-Z and Enter in answer to a question.\n";
}
