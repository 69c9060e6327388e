#include "tests/app/fake_platform.h"

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

void waitForInput(std::chrono::milliseconds) {
  ++fakePlatform.idleWaits;
}

void createVisualizer(void*) {}

void createPalette() {}

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
