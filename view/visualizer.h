// The board window: what the front end needs of it, one implementation per platform
// (sdl_visualizer.cpp, win32_visualizer.cpp). The window is handed what it paints: the game, the
// cell size and the number of colours. It keeps no settings of its own and reads nothing of the
// program's state.
#pragma once

#include <cstdint>
#include <string>

struct Game;

// Readies the window system before anything else happens, so that a program without a display
// can say so before it asks its questions. False, with the reason in `reason`, when there is no
// display. Always true where the window system is part of the platform (Windows).
bool openWindowSystem(std::string& reason);
// Destroys the window and the palette and closes the window system, so that the end of the
// program leaves nothing behind. A no-op where the process's end releases everything (Windows).
void closeWindowSystem();

// Creates the window of cellSize * game.boardSize pixels square and its drawing surface; every
// paint draws `game` as it stands then, one cellSize square a tile. `game` must outlive the
// window. `instance` is the module handle on Windows and unused elsewhere.
void createVisualizer(void* instance, const Game& game, uint32_t cellSize);
// One colour for each of the colour indices 0..colorCount - 1, made once.
void createPalette(uint32_t colorCount);
// Retrieves the next message, or a paint message when none is pending. Returns false when the
// window has been closed; `exitCode` then holds the loop's result.
bool nextMessage(int& exitCode);
// Hands the message retrieved last to the window procedure; a paint message redraws the board.
void dispatchMessage();
// Draws the whole board.
void paintBoard();

// The window's input, for a console that waits on the window and the terminal together
// (console_posix.cpp). Where the console reads F1 and waits by other means (Windows), there is
// no window F1 to take, nothing pending and no descriptor.
//
// True when F1 went down in the board window since the previous call.
bool takeWindowF1Press();
// True when an event or an F1 press is waiting for the main loop; reads what the window system
// has sent first.
bool windowInputPending();
// The descriptor that becomes readable when the window system sends events (the X connection),
// or -1 where there is none to wait on.
int windowEventDescriptor();
