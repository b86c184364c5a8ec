#include "dialogkit/TrayIcon.h"

#include "dialogkit/MyDialog.h"

#include <shellapi.h>

#include <cstring>
#include <cwchar>

BOOL CTrayIcon::Show(DWORD dwOperation, LPCWSTR lpszTip, HICON hIcon, UINT nMessage)
{
    if (lpszTip)
        ::wcsncpy_s(m_szTip, lpszTip, _TRUNCATE);
    if (hIcon)
        m_hIcon = hIcon;
    if (nMessage)
        m_nMessage = nMessage;
    const HWND hWnd = m_dlg.m_hWnd;
    if (!hWnd)
        return FALSE;
    if (m_record.empty())
        m_record.resize(sizeof(NOTIFYICONDATAW));
    auto* pData = reinterpret_cast<NOTIFYICONDATAW*>(m_record.data());
    std::memset(pData, 0, sizeof(NOTIFYICONDATAW));
    // The short form: the shell accepts it everywhere and it holds all that is used here.
    pData->cbSize = NOTIFYICONDATAW_V1_SIZE;
    pData->hWnd = hWnd;
    pData->uID = 0;
    pData->uFlags = dwOperation == NIM_DELETE ? 0 : (NIF_MESSAGE | NIF_ICON | NIF_TIP);
    pData->uCallbackMessage = m_nMessage;
    pData->hIcon = m_hIcon;
    ::wcsncpy_s(pData->szTip, 64, m_szTip, _TRUNCATE);
    BOOL bResult = ::Shell_NotifyIconW(dwOperation, pData);
    if (dwOperation == NIM_ADD && bResult)
        m_bShown = TRUE;
    else if (dwOperation == NIM_DELETE)
        m_bShown = FALSE;
    return bResult;
}

bool CTrayIcon::OnMessage(UINT message, WPARAM, LPARAM lParam, LRESULT&)
{
    static const UINT s_nTaskbarCreated = ::RegisterWindowMessageW(L"TaskbarCreated");
    const HWND hWnd = m_dlg.m_hWnd;
    if (m_nMessage && message == m_nMessage) {
        const UINT nMouse = static_cast<UINT>(lParam);
        if (m_bRestoreOnClick &&
            (nMouse == WM_LBUTTONDOWN || nMouse == WM_LBUTTONDBLCLK || nMouse == WM_RBUTTONDOWN)) {
            if (::IsIconic(hWnd))
                ::PostMessageW(hWnd, WM_SYSCOMMAND, SC_RESTORE, 0);
            ::ShowWindow(hWnd, SW_SHOW);
            ::SetForegroundWindow(hWnd);
        }
        m_dlg.SendCommand(CMyDialog::NOTIFY_TRAY, static_cast<LPARAM>(nMouse));
    } else if (s_nTaskbarCreated && message == s_nTaskbarCreated) {
        if (m_bShown)
            Show(NIM_ADD, nullptr, nullptr, 0);
    }
    // The dialog still sees these messages (a derived dialog may follow the icon too).
    return false;
}

void CTrayIcon::Release()
{
    const HWND hWnd = m_dlg.m_hWnd;
    if (m_bShown && hWnd && ::IsWindow(hWnd))
        Show(NIM_DELETE, nullptr, nullptr, 0);
    m_bShown = FALSE;
}
