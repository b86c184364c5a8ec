#pragma once
// CTrayIcon: a dialog's notification-area icon. Keeps the icon's record between calls, brings
// the dialog back on a click of the icon, puts the icon back when the shell restarts and takes
// it away when the dialog goes.

#include <windows.h>

#include <vector>

class CMyDialog;

class CTrayIcon {
  public:
    explicit CTrayIcon(CMyDialog& dlg) : m_dlg(dlg) {}
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    // Operation NIM_ADD / NIM_MODIFY / NIM_DELETE; a given tip, icon or callback message is
    // stored first. Returns the shell's result.
    BOOL Show(DWORD dwOperation, LPCWSTR lpszTip, HICON hIcon, UINT nMessage);
    BOOL IsShown() const { return m_bShown; }
    void SetRestoreOnClick(BOOL bRestore) { m_bRestoreOnClick = bRestore; }

    // The icon's callback message and the shell's "TaskbarCreated"; never ends the message.
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // The dialog is going: the icon must not stay behind in the notification area.
    void Release();

  private:
    CMyDialog& m_dlg;
    std::vector<BYTE> m_record; // a NOTIFYICONDATAW once the icon was first used
    BOOL m_bShown = FALSE;
    wchar_t m_szTip[256] = {};
    HICON m_hIcon = nullptr;
    UINT m_nMessage = 0;
    BOOL m_bRestoreOnClick = TRUE;
};
