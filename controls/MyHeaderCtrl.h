#pragma once
// CMyHeaderCtrl: the owner-painted header of a CMyListCtrl. Each item gets a vertical gradient,
// a light separator and the column title read from the parent list; the last item reaches the
// header's right edge. A fixed height replaces the platform's when set.

#include "platform/CGdiObject.h"
#include "platform/CHeaderCtrl.h"

#include <windows.h>

#include <string>

class CMyHeaderCtrl : public CHeaderCtrl {
  public:
    CMyHeaderCtrl() = default;

    // Below 1 the platform's height stays. The owning list must lay itself out again for a
    // change to show (CMyListCtrl::SetHeaderHeight does).
    CMyHeaderCtrl& SetHeight(int nHeight)
    {
        m_nHeight = nHeight;
        return *this;
    }
    int GetHeight() const { return m_nHeight; }
    // Below 1 the parent list's font is used as it is.
    CMyHeaderCtrl& SetFontHeight(int nFontHeight);
    int GetFontHeight() const { return m_nFontHeight; }
    CMyHeaderCtrl& SetTextColor(COLORREF clr)
    {
        m_clrText = clr;
        return *this;
    }
    COLORREF GetTextColor() const { return m_clrText; }
    CMyHeaderCtrl& SetBkColors(COLORREF clrTop, COLORREF clrBottom)
    {
        m_clrBk1 = clrTop;
        m_clrBk2 = clrBottom;
        return *this;
    }
    CMyHeaderCtrl& SetTransparent(bool bTransparent)
    {
        m_bTransparent = bTransparent;
        return *this;
    }
    bool IsTransparent() const { return m_bTransparent; }
    void SetExtraText(const std::wstring& text) { m_strExtra = text; }

    // Draws the whole header into dc (client coordinates).
    void Paint(HDC dc);

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    HFONT SelectFont();

    int m_nHeight = 0;
    int m_nFontHeight = 0;
    COLORREF m_clrText = RGB(0, 0, 0);
    COLORREF m_clrBk1 = 0xFFFFFF;
    COLORREF m_clrBk2 = 0xFAD2B4;
    bool m_bTransparent = false;
    std::wstring m_strExtra; // kept for the owner; not drawn

    // The font of m_nFontHeight made from the list's font, rebuilt when either changes.
    CFont m_font;
    HFONT m_hFontSource = nullptr;
    int m_nFontMadeHeight = 0;
};
