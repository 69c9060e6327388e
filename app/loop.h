// The main loop, the series turn with its statistics, and the pacing pause. Their state
// (loopState) is the program's, in app/program_state.h.
#pragma once

#include <chrono>

// The longest an idle pass waits for input before it repaints: one frame at 60 Hz.
inline constexpr std::chrono::milliseconds kFrameInterval{16};

// One turn of a running series with its bookkeeping (no pause).
void seriesTurn();
// The three lines printed when the last run of a series has ended.
void printSeriesSummary();
// Sleeps until sleepMs after now on the steady clock, watching the console meanwhile: the
// end-of-file key ends the pause at once (EndOfInput).
void paceTurn();
// The front end's work for one pass of the main loop: a series turn and its pause, or the F1
// poll that may open the menu. Throws EndOfInput once the console's input has ended: at the
// start of a series pass or in its pause (the turn in hand is done), or at an idle pass.
void mainLoopPass();
// One pass of the main loop: an idle wait when no series runs, the next message, the front
// end's work, then the dispatch. False, with the loop's result in `exitCode`, once the window
// has been closed.
bool mainLoopStep(int& exitCode);
// Retrieves messages until the window is closed; returns the exit code.
int runMainLoop();
