#pragma once
// CDC: move-only owner of a device context the program created (CreateCompatibleDC, CreateDCW),
// deleted with DeleteDC. Contexts borrowed from a window are owned by CClientDC or CPaintDC.

#include "platform/CGdiCount.h"

#include <windows.h>

#include <utility>

class CDC {
  public:
    CDC() noexcept = default;
    explicit CDC(HDC hDC) noexcept : m_hDC(hDC)
    {
        if (m_hDC)
            CGdiCount::AddDC();
    }
    ~CDC() { DeleteDC(); }

    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;
    CDC(CDC&& other) noexcept : m_hDC(std::exchange(other.m_hDC, nullptr)) {}
    CDC& operator=(CDC&& other) noexcept
    {
        if (this != &other) {
            DeleteDC();
            m_hDC = std::exchange(other.m_hDC, nullptr);
        }
        return *this;
    }

    // A memory context compatible with hDC (the screen when null).
    static CDC CreateCompatibleDC(HDC hDC) { return CDC(::CreateCompatibleDC(hDC)); }

    HDC GetSafeHdc() const noexcept { return m_hDC; }
    operator HDC() const noexcept { return m_hDC; }
    explicit operator bool() const noexcept { return m_hDC != nullptr; }

    BOOL DeleteDC() noexcept
    {
        if (!m_hDC)
            return FALSE;
        BOOL deleted = ::DeleteDC(m_hDC);
        CGdiCount::RemoveDC();
        m_hDC = nullptr;
        return deleted;
    }

  private:
    HDC m_hDC = nullptr;
};
