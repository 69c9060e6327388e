// Process-wide state of the Windows board window, shared by win32_visualizer.cpp and the
// Windows-only tests. Everything is created once and lives until the process ends.
#pragma once

#include "os/windows_api.h"

#include <d2d1.h>

#include <cstdint>
#include <vector>

inline constexpr const char* kWindowClassName = "Tidefill Solver Visualizer";
inline constexpr const char* kWindowTitle = "Tidefill Solver Visualizer";

// A fixed-size, visible top-level window: caption, system menu and minimise box only.
inline constexpr DWORD kWindowStyle =
    WS_VISIBLE | WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
inline constexpr DWORD kWindowExStyle = WS_EX_STATICEDGE;
inline constexpr UINT kClassStyle = CS_HREDRAW | CS_VREDRAW;
static_assert(kWindowStyle == 0x12CA0000 && kWindowExStyle == 0x00020000 && kClassStyle == 3);

inline RECT windowRect{};  // the wanted client rectangle, then the outer window rectangle
inline HWND mainWindow = nullptr;
inline ID2D1Factory* d2dFactory = nullptr;
inline ID2D1HwndRenderTarget* renderTarget = nullptr;
inline std::vector<ID2D1SolidColorBrush*> brushes;  // brushes[c] paints colour index c
inline MSG currentMessage{};                        // the message of the current loop pass

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// brushes[color], bounds-checked: throws std::out_of_range("invalid vector subscript").
ID2D1SolidColorBrush* brushFor(uint32_t color);
