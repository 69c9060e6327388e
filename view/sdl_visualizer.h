// Process-wide state of the SDL board window, shared by sdl_visualizer.cpp, the terminal console
// (for the window's F1 key), the pixel tests and the paint benchmark.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <vector>

#include "view/palette.h"

inline constexpr const char* kWindowTitle = "Tidefill Solver Visualizer";

inline SDL_Window* mainWindow = nullptr;
inline int outputWidth = 0;  // the window surface's size, read back after creation
inline int outputHeight = 0;
inline std::vector<PaletteColor> brushes;  // brushes[c] paints colour index c

// brushes[color], bounds-checked: throws std::out_of_range("invalid vector subscript").
const PaletteColor& brushFor(uint32_t color);

// True when F1 went down in the board window since the previous call.
bool takeWindowF1Press();

// True when an event or an F1 press is waiting for the main loop; reads what the window
// system has sent first.
bool windowInputPending();
// The descriptor that becomes readable when the window system sends events (the X connection),
// or -1 where there is none to wait on.
int windowEventDescriptor();

// Starts SDL's video subsystem once, without SDL's own SIGINT/SIGTERM handlers (the console
// restores the terminal itself). Returns false with SDL_GetError() set when there is no display.
bool initVideo();

// Makes the next paint redraw the whole window, as after an exposure.
void invalidateWindow();

// Destroys the window and the palette, so tests, benchmarks and the end of the program leave
// nothing behind.
void closeVisualizer();
