#pragma once
// CSliderCtrl: track bar ("msctls_trackbar32" class).

#include "platform/CWnd.h"

#include <commctrl.h>

class CSliderCtrl : public CWnd {
  public:
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID)
    {
        return CreateEx(0, TRACKBAR_CLASSW, L"", dwStyle, rect, pParentWnd, nID);
    }

    int GetPos() const { return static_cast<int>(SendMessage(TBM_GETPOS)); }
    void SetPos(int nPos, BOOL bRedraw = TRUE)
    {
        SendMessage(TBM_SETPOS, static_cast<WPARAM>(bRedraw), nPos);
    }
    int GetRangeMin() const { return static_cast<int>(SendMessage(TBM_GETRANGEMIN)); }
    int GetRangeMax() const { return static_cast<int>(SendMessage(TBM_GETRANGEMAX)); }
    void GetRange(int& nMin, int& nMax) const
    {
        nMin = GetRangeMin();
        nMax = GetRangeMax();
    }
    void SetRange(int nMin, int nMax, BOOL bRedraw = FALSE)
    {
        SendMessage(TBM_SETRANGEMIN, FALSE, nMin);
        SendMessage(TBM_SETRANGEMAX, static_cast<WPARAM>(bRedraw), nMax);
    }
    void GetThumbRect(RECT* pRect) const
    {
        SendMessage(TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(pRect));
    }
    void GetChannelRect(RECT* pRect) const
    {
        SendMessage(TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(pRect));
    }
    int GetLineSize() const { return static_cast<int>(SendMessage(TBM_GETLINESIZE)); }
    int SetLineSize(int nSize) { return static_cast<int>(SendMessage(TBM_SETLINESIZE, 0, nSize)); }
    int GetPageSize() const { return static_cast<int>(SendMessage(TBM_GETPAGESIZE)); }
    int SetPageSize(int nSize) { return static_cast<int>(SendMessage(TBM_SETPAGESIZE, 0, nSize)); }
};
