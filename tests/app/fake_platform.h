// A scriptable stand-in for the platform layer, so the dialogues, the menu and the main loop run
// in-process on injected input.
#pragma once

#include <chrono>
#include <deque>
#include <functional>

struct FakePlatform {
  int openConsoleCalls = 0;
  int lineModeCalls = 0;
  std::deque<bool> f1Answers;  // answers of pollF1, false once used up
  int f1Polls = 0;
  int consoleWatches = 0;       // calls of watchConsole
  int idleWaits = 0;            // calls of waitForInput
  int messagesBeforeClose = 0;  // nextMessage yields this many messages, then the close
  int exitCode = 0;
  int dispatched = 0;
  std::function<void()> onDispatch;  // runs at the end of each pass
  // The deadline of the last watchConsoleUntil, which throws EndOfInput when asked to.
  std::chrono::steady_clock::time_point pauseWatchedUntil;
  bool endOfInputInPause = false;
};

inline FakePlatform fakePlatform;
