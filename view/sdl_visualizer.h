// Process-wide state of the SDL board window, shared by sdl_visualizer.cpp, the pixel tests and
// the paint benchmark. The portable part of the window, its input included, is view/visualizer.h.
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

// Starts SDL's video subsystem once, without SDL's own SIGINT/SIGTERM handlers (the console
// restores the terminal itself). Returns false with SDL_GetError() set when there is no display.
// openWindowSystem (view/visualizer.h) is this for the entry point.
bool initVideo();

// Makes the next paint redraw the whole window, as after an exposure.
void invalidateWindow();

// Destroys the window and the palette, so tests, benchmarks and the end of the program
// (closeWindowSystem) leave nothing behind.
void closeVisualizer();
