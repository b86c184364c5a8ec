#pragma once
// CSaveDC: SaveDC for one scope, RestoreDC at its end (selected objects, colours, clipping,
// origins all come back).

#include <windows.h>

class CSaveDC {
  public:
    explicit CSaveDC(HDC hDC) noexcept : m_hDC(hDC), m_nSaved(hDC ? ::SaveDC(hDC) : 0) {}
    ~CSaveDC()
    {
        if (m_nSaved)
            ::RestoreDC(m_hDC, m_nSaved);
    }
    CSaveDC(const CSaveDC&) = delete;
    CSaveDC& operator=(const CSaveDC&) = delete;

  private:
    HDC m_hDC;
    int m_nSaved;
};
