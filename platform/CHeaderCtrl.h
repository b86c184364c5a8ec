#pragma once
// CHeaderCtrl: header control ("SysHeader32" class), normally a list view's own header window.

#include "platform/CWnd.h"

#include <commctrl.h>

class CHeaderCtrl : public CWnd {
  public:
    int GetItemCount() const { return static_cast<int>(SendMessage(HDM_GETITEMCOUNT)); }
    BOOL GetItemRect(int nIndex, RECT* pRect) const
    {
        return static_cast<BOOL>(
            SendMessage(HDM_GETITEMRECT, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(pRect)));
    }
    BOOL GetItem(int nIndex, HDITEMW* pHeaderItem) const
    {
        return static_cast<BOOL>(
            SendMessage(HDM_GETITEMW, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(pHeaderItem)));
    }
    BOOL SetItem(int nIndex, const HDITEMW* pHeaderItem)
    {
        return static_cast<BOOL>(
            SendMessage(HDM_SETITEMW, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(pHeaderItem)));
    }
    BOOL Layout(HDLAYOUT* pHeaderLayout)
    {
        return static_cast<BOOL>(SendMessage(HDM_LAYOUT, 0, reinterpret_cast<LPARAM>(pHeaderLayout)));
    }
};
