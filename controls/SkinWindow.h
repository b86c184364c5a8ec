#pragma once
// Window and system utilities built on the skin means: transparency, a window region cut out of a
// bitmap, and the start-with-Windows entry.

#include "platform/CGdiObject.h"

#include <windows.h>

#include <optional>
#include <string_view>

// Makes window layered with a constant opacity (0 transparent .. 255 opaque). Does nothing when
// the system lacks layered windows.
void SetWindowAlpha(HWND window, BYTE alpha, COLORREF colourKey);

// A region covering the pixels of bitmap whose colour lies outside [key, key + tolerance] in any
// of red, green and blue. Null when bitmap is null or cannot be read.
CRgn BitmapToRegion(HBITMAP bitmap, COLORREF key, COLORREF tolerance);

// Writes (enable) or deletes the value name under ...\CurrentVersion\Run of HKEY_CURRENT_USER,
// or HKEY_LOCAL_MACHINE with allUsers. An executable that does not exist is replaced by this
// program's path; an empty name by the executable's file name without its extension.
void SetAutoRun(std::wstring_view name, bool enable, std::wstring_view executable,
                std::optional<std::wstring_view> arguments, bool allUsers);

// True when the start-up entry name holds executable (resolved as by SetAutoRun), with or
// without arguments after it.
bool IsAutoRun(std::wstring_view name, std::wstring_view executable, bool allUsers);
