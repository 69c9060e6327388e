// <windows.h> with the trimming every Windows file of ours wants: no min/max macros, no rarely
// used APIs. Windows-only files include this instead of <windows.h>, wherever they are (app/,
// view/, study/, tests/windows/); it sits below all of them and includes nothing of ours.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#if defined(__MINGW32__) && !defined(WIDL_EXPLICIT_AGGREGATE_RETURNS)
// MinGW's Direct2D headers only get struct-returning methods (GetColor, GetPixelSize) right
// with this; every file must see the same interface declarations.
#define WIDL_EXPLICIT_AGGREGATE_RETURNS
#endif
#include <windows.h>
