#pragma once
// CSelectObject: selects a GDI object into a device context for one scope and puts the previous
// object back at its end, so the owner of the selected object can delete it afterwards.

#include <windows.h>

#include <utility>

class CSelectObject {
  public:
    CSelectObject(HDC hDC, HGDIOBJ hObject) noexcept
        : m_hDC(hDC), m_hOld(hDC && hObject ? ::SelectObject(hDC, hObject) : nullptr)
    {
    }
    ~CSelectObject() { Restore(); }

    CSelectObject(const CSelectObject&) = delete;
    CSelectObject& operator=(const CSelectObject&) = delete;
    CSelectObject(CSelectObject&& other) noexcept
        : m_hDC(other.m_hDC), m_hOld(std::exchange(other.m_hOld, nullptr))
    {
    }
    CSelectObject& operator=(CSelectObject&&) = delete;

    // Puts the previous object back now (once).
    void Restore() noexcept
    {
        // SelectObject answers HGDI_ERROR for a failed selection; there is nothing to put back.
        if (m_hOld && m_hOld != HGDI_ERROR)
            ::SelectObject(m_hDC, m_hOld);
        m_hOld = nullptr;
    }
    HGDIOBJ GetOld() const noexcept { return m_hOld; }

  private:
    HDC m_hDC;
    HGDIOBJ m_hOld;
};
