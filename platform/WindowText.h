#pragma once
// A window's text and class name as strings, for code that holds a plain HWND (a child found by
// enumeration, a control under the cursor) rather than a CWnd.

#include <windows.h>

#include <cwchar>
#include <string>

// The whole text of hWnd; empty for a null window or one without text.
inline std::wstring WindowTextOf(HWND hWnd)
{
    const int length = ::GetWindowTextLengthW(hWnd);
    if (length <= 0)
        return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    // The length is an upper bound (a text with DBCS characters may report more than it copies).
    const int copied = ::GetWindowTextW(hWnd, text.data(), length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

// The class name of hWnd as registered ("Button", "#32770"); empty for a null window.
inline std::wstring ClassOf(HWND hWnd)
{
    wchar_t name[256] = {}; // the longest class name RegisterClass accepts
    const int length = hWnd ? ::GetClassNameW(hWnd, name, 256) : 0;
    return std::wstring(name, length > 0 ? static_cast<size_t>(length) : 0);
}

// True when hWnd's class is pszClass, compared without regard to case as the system compares
// class names. False for a null window.
inline bool IsClass(HWND hWnd, const wchar_t* pszClass)
{
    return hWnd && ::_wcsicmp(ClassOf(hWnd).c_str(), pszClass) == 0;
}
