#pragma once
// CToolTipCtrl: tool tip window ("tooltips_class32" class). Tools are added without TTF_SUBCLASS:
// the owner relays its mouse messages with RelayEvent.

#include "platform/CWnd.h"

#include <commctrl.h>

class CToolTipCtrl : public CWnd {
  public:
    // dwStyle adds to WS_POPUP (TTS_ALWAYSTIP, TTS_NOPREFIX, ...).
    BOOL Create(CWnd* pParentWnd, DWORD dwStyle = 0)
    {
        RECT rect{CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT};
        return CreateEx(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | dwStyle, rect, pParentWnd, 0);
    }

    // A tool for hWnd: its whole window when pRect is null (then nIDTool is ignored), otherwise the
    // rectangle of hWnd's client area with the id nIDTool.
    BOOL AddTool(HWND hWnd, LPCWSTR lpszText, const RECT* pRect = nullptr, UINT_PTR nIDTool = 0)
    {
        TOOLINFOW info = MakeInfo(hWnd, pRect ? nIDTool : reinterpret_cast<UINT_PTR>(hWnd), pRect == nullptr);
        info.lpszText = const_cast<LPWSTR>(lpszText ? lpszText : L"");
        if (pRect)
            info.rect = *pRect;
        return static_cast<BOOL>(SendMessage(TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info)));
    }
    void DelTool(HWND hWnd, UINT_PTR nIDTool = 0)
    {
        TOOLINFOW info = MakeInfo(hWnd, nIDTool ? nIDTool : reinterpret_cast<UINT_PTR>(hWnd), nIDTool == 0);
        SendMessage(TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    }
    void UpdateTipText(LPCWSTR lpszText, HWND hWnd, UINT_PTR nIDTool = 0)
    {
        TOOLINFOW info = MakeInfo(hWnd, nIDTool ? nIDTool : reinterpret_cast<UINT_PTR>(hWnd), nIDTool == 0);
        info.lpszText = const_cast<LPWSTR>(lpszText ? lpszText : L"");
        SendMessage(TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
    }
    void SetToolRect(HWND hWnd, UINT_PTR nIDTool, const RECT& rect)
    {
        TOOLINFOW info = MakeInfo(hWnd, nIDTool, false);
        info.rect = rect;
        SendMessage(TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&info));
    }
    void Activate(BOOL bActivate) { SendMessage(TTM_ACTIVATE, static_cast<WPARAM>(bActivate)); }
    // dwDuration: TTDT_INITIAL, TTDT_AUTOPOP, TTDT_RESHOW or TTDT_AUTOMATIC.
    void SetDelayTime(DWORD dwDuration, int nTime)
    {
        SendMessage(TTM_SETDELAYTIME, dwDuration, MAKELPARAM(nTime, 0));
    }
    int SetMaxTipWidth(int nWidth) { return static_cast<int>(SendMessage(TTM_SETMAXTIPWIDTH, 0, nWidth)); }
    void RelayEvent(MSG* pMsg) { SendMessage(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(pMsg)); }
    void Pop() { SendMessage(TTM_POP); }

  private:
    static TOOLINFOW MakeInfo(HWND hWnd, UINT_PTR nId, bool bIdIsHwnd)
    {
        TOOLINFOW info{};
        info.cbSize = sizeof info;
        info.uFlags = bIdIsHwnd ? TTF_IDISHWND : 0;
        info.hwnd = bIdIsHwnd ? ::GetParent(hWnd) : hWnd;
        info.uId = nId;
        if (bIdIsHwnd && !info.hwnd)
            info.hwnd = hWnd;
        return info;
    }
};
