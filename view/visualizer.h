// The board window: what the main loop needs of it, one implementation per platform
// (sdl_visualizer.cpp, win32_visualizer.cpp).
#pragma once

// Creates the window of cellSize * boardSize pixels square and its drawing surface. `instance`
// is the module handle on Windows and unused elsewhere.
void createVisualizer(void* instance);
// One colour per colour index, made once.
void createPalette();
// Retrieves the next message, or a paint message when none is pending. Returns false when the
// window has been closed; `exitCode` then holds the loop's result.
bool nextMessage(int& exitCode);
// Hands the message retrieved last to the window procedure; a paint message redraws the board.
void dispatchMessage();
// Draws the whole board.
void paintBoard();
