// The camera list from the keyboard: F2 opens "编辑 ..." for the focused camera, the menu key and
// Shift+F10 open the list's menu below it.
#include "app/MainDlg.h"

#include "app/resource.h"

#include "controls/MyListCtrl.h"

#include <commctrl.h>

int CMainDlg::FocusedRow() const
{
    if (!m_pDeviceList)
        return -1;
    const int row = m_pDeviceList->GetNextItem(-1, LVNI_FOCUSED);
    return m_rows.RecordAt(row) ? row : -1;
}

void CMainDlg::ShowCameraListMenuAtFocus()
{
    if (!m_pDeviceList)
        return;
    const int row = FocusedRow();
    // Below the row's first cell, or at the list's top-left corner when no row has the focus.
    POINT at{};
    if (row >= 0) {
        m_pDeviceList->EnsureVisible(row, FALSE);
        RECT rc{};
        rc.left = LVIR_LABEL;
        if (m_pDeviceList->SendMessage(LVM_GETITEMRECT, static_cast<WPARAM>(row),
                                       reinterpret_cast<LPARAM>(&rc)))
            at = {rc.left, rc.bottom};
    }
    m_pDeviceList->ClientToScreen(&at);
    ShowCameraListMenu(row, &at);
}

bool CMainDlg::OnListKey(UINT message, WPARAM key)
{
    const bool bMenuKey = key == VK_APPS || (key == VK_F10 && ::GetKeyState(VK_SHIFT) < 0);
    switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (bMenuKey) {
            ShowCameraListMenuAtFocus();
            return true;
        }
        if (key == VK_F2 && message == WM_KEYDOWN) {
            if (FocusedRow() >= 0) {
                m_pDeviceList->MoveCurrentRow(FocusedRow());
                TakeSelection();
                SendMessage(WM_COMMAND, MAKEWPARAM(IDC_MAIN_SINGLE, BN_CLICKED), 0);
            }
            return true;
        }
        return false;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        // The release would bring the menu a second time (WM_CONTEXTMENU) or the system menu (F10).
        return bMenuKey;
    default:
        return false;
    }
}

BOOL CMainDlg::PreTranslateMessage(MSG* pMsg)
{
    if (m_pDeviceList && pMsg->hwnd == m_pDeviceList->m_hWnd && OnListKey(pMsg->message, pMsg->wParam))
        return TRUE;
    return CMyDialog::PreTranslateMessage(pMsg);
}
