#pragma once
// CPaintDC: BeginPaint in the constructor, EndPaint in the destructor, for a WM_PAINT handler.
// Neither copied nor moved: the paint belongs to the handler's scope.

#include "platform/CGdiCount.h"

#include <windows.h>

class CPaintDC {
  public:
    explicit CPaintDC(HWND hWnd) noexcept : m_hWnd(hWnd), m_hDC(::BeginPaint(hWnd, &m_ps))
    {
        if (m_hDC)
            CGdiCount::AddDC();
    }
    ~CPaintDC()
    {
        if (!m_hDC)
            return;
        ::EndPaint(m_hWnd, &m_ps);
        CGdiCount::RemoveDC();
    }

    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

    HDC GetSafeHdc() const noexcept { return m_hDC; }
    operator HDC() const noexcept { return m_hDC; }
    explicit operator bool() const noexcept { return m_hDC != nullptr; }

    PAINTSTRUCT m_ps{};

  private:
    HWND m_hWnd;
    HDC m_hDC;
};
