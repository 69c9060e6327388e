#pragma once

// Console, banner, the four settings, the F1 hint and the first board.
void startUp();

// The settings dialogue alone (banner to hint), for tests.
void askSettings();

// The whole program after the platform's own preparations: start-up, window, palette and the
// main loop. Returns the exit code: the loop's result, 0 at end of input, 1 when the window
// cannot be created (said on standard error).
int runProgram(void* instance);
