#pragma once
// A screenshot of one window (frame included) as Wine's window surface holds it, saved as PNG
// through GDI+, so that a window laid out at any scale or on a desktop larger than the X screen
// can be looked at after the run.

#include <windows.h>

#include <string>

namespace lvtest {

// False when the window cannot be captured or the file cannot be written.
bool SaveWindowPng(HWND hWnd, const std::wstring& path);

} // namespace lvtest
