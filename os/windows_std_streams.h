// Where a GUI-subsystem program's standard output and error go. Such a program starts without a
// console of its own, and one made for it would vanish with it before anyone read it. So its
// streams stay where the standard handles it was given lead (a pipe or a file, or under Wine the
// terminal it was started from); a stream without one goes to the console of the shell that
// started the program, where there is one, and nowhere otherwise.
#pragma once

#include "os/windows_api.h"

#include <cstdio>

inline bool hasStandardHandle(DWORD which) {
  const HANDLE handle = GetStdHandle(which);
  return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

inline void reopenOnConsole(FILE* stream) {
#if defined(_MSC_VER)
  FILE* reopened = nullptr;
  freopen_s(&reopened, "CONOUT$", "w", stream);
#else
  std::freopen("CONOUT$", "w", stream);
#endif
}

inline void reachWhoeverStartedUs() {
  const bool output = hasStandardHandle(STD_OUTPUT_HANDLE);
  const bool error = hasStandardHandle(STD_ERROR_HANDLE);
  if ((output && error) || !AttachConsole(ATTACH_PARENT_PROCESS)) return;
  if (!output) reopenOnConsole(stdout);
  if (!error) reopenOnConsole(stderr);
}
