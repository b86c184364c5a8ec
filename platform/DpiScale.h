#pragma once
// Pixel measures at a window's scale. The program declares itself aware of the display's scale,
// so nobody stretches it: every measure given in pixels at 96 dots per inch has to be scaled here.
// GetDpiForWindow exists from Windows 10 1607 on and is looked up at run time; older systems (and
// a window handle of none) fall back to the screen's LOGPIXELSX, which they apply to every window.

#include <windows.h>

// Declared by the SDK only for newer target versions; the values are fixed.
#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif
#ifndef WM_DPICHANGED_AFTERPARENT
#define WM_DPICHANGED_AFTERPARENT 0x02E3
#endif

constexpr int DPI_DEFAULT = 96;

// The dots per inch that hWnd is laid out at (the screen's when hWnd is null).
int DpiForWindow(HWND hWnd);

// px pixels at 96 dpi at the given dpi, rounded to nearest.
inline int ScaleForDpi(int px, int dpi)
{
    return ::MulDiv(px, dpi, DPI_DEFAULT);
}

inline int ScaleForWindow(int px, HWND hWnd)
{
    return ScaleForDpi(px, DpiForWindow(hWnd));
}
