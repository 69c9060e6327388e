#include "tests/app/fake_platform.h"

#include "app/console.h"
#include "app/platform.h"
#include "view/visualizer.h"

void openConsole() {
  ++fakePlatform.openConsoleCalls;
}

void consoleLineMode() {
  ++fakePlatform.lineModeCalls;
}

bool pollF1() {
  ++fakePlatform.f1Polls;
  if (fakePlatform.f1Answers.empty()) return false;
  const bool pressed = fakePlatform.f1Answers.front();
  fakePlatform.f1Answers.pop_front();
  return pressed;
}

void watchConsole() {
  ++fakePlatform.consoleWatches;
}

void watchConsoleUntil(std::chrono::steady_clock::time_point deadline) {
  fakePlatform.pauseWatchedUntil = deadline;
  if (fakePlatform.endOfInputInPause) throw EndOfInput{};
}

void waitForInput(std::chrono::milliseconds) {
  ++fakePlatform.idleWaits;
}

bool openWindowSystem(std::string&) {
  return true;
}

void closeWindowSystem() {}

void createVisualizer(void*, const Game&, uint32_t) {}

void createPalette(uint32_t) {}

bool nextMessage(int& exitCode) {
  if (fakePlatform.messagesBeforeClose == 0) {
    exitCode = fakePlatform.exitCode;
    return false;
  }
  --fakePlatform.messagesBeforeClose;
  return true;
}

void dispatchMessage() {
  ++fakePlatform.dispatched;
  if (fakePlatform.onDispatch) fakePlatform.onDispatch();
}

void paintBoard() {}

bool takeWindowF1Press() {
  return false;
}

bool windowInputPending() {
  return false;
}

int windowEventDescriptor() {
  return -1;
}

const char* endingHelp() {
  return "(how the console ends)\n";
}
