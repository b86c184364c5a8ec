#pragma once
// CClientDC: move-only owner of a window's client-area context (GetDC), released with ReleaseDC.

#include "platform/CGdiCount.h"

#include <windows.h>

#include <utility>

class CClientDC {
  public:
    explicit CClientDC(HWND hWnd) noexcept : m_hWnd(hWnd), m_hDC(::GetDC(hWnd))
    {
        if (m_hDC)
            CGdiCount::AddDC();
    }
    ~CClientDC() { Release(); }

    CClientDC(const CClientDC&) = delete;
    CClientDC& operator=(const CClientDC&) = delete;
    CClientDC(CClientDC&& other) noexcept : m_hWnd(other.m_hWnd), m_hDC(std::exchange(other.m_hDC, nullptr))
    {
    }
    CClientDC& operator=(CClientDC&& other) noexcept
    {
        if (this != &other) {
            Release();
            m_hWnd = other.m_hWnd;
            m_hDC = std::exchange(other.m_hDC, nullptr);
        }
        return *this;
    }

    HDC GetSafeHdc() const noexcept { return m_hDC; }
    operator HDC() const noexcept { return m_hDC; }
    explicit operator bool() const noexcept { return m_hDC != nullptr; }

  private:
    void Release() noexcept
    {
        if (!m_hDC)
            return;
        ::ReleaseDC(m_hWnd, m_hDC);
        CGdiCount::RemoveDC();
        m_hDC = nullptr;
    }

    HWND m_hWnd;
    HDC m_hDC;
};
