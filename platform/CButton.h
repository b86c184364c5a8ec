#pragma once
// CButton: push button, check box, radio button or group box ("Button" class).

#include "platform/CWnd.h"

#include <commctrl.h>

class CButton : public CWnd {
  public:
    BOOL Create(LPCWSTR lpszCaption, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID)
    {
        return CreateEx(0, WC_BUTTONW, lpszCaption, dwStyle, rect, pParentWnd, nID);
    }

    int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
    void SetCheck(int nCheck) { SendMessage(BM_SETCHECK, static_cast<WPARAM>(nCheck)); }
    UINT GetState() const { return static_cast<UINT>(SendMessage(BM_GETSTATE)); }
    void SetState(BOOL bHighlight) { SendMessage(BM_SETSTATE, static_cast<WPARAM>(bHighlight)); }
    // The BS_TYPEMASK part of the style.
    UINT GetButtonStyle() const { return GetStyle() & BS_TYPEMASK; }
    void SetButtonStyle(UINT nStyle, BOOL bRedraw = TRUE)
    {
        SendMessage(BM_SETSTYLE, static_cast<WPARAM>(nStyle), MAKELPARAM(bRedraw, 0));
    }
    void Click() { SendMessage(BM_CLICK); }
};
