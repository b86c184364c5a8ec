#include "platform/CWnd.h"

#include "platform/CWinApp.h"
#include "platform/PlatformInit.h"
#include "platform/WindowText.h"

#include <commctrl.h>

#include <unordered_map>

namespace {

// Which object each bound window of this process has; read from any thread. (A window property
// did this before, but under Wine every read of one is a round trip to the window server, and
// every message a window gets reads a few.) Never freed: objects may unbind during exit.
struct BoundWindows {
    SRWLOCK lock = SRWLOCK_INIT;
    std::unordered_map<HWND, CWnd*> objects;
};

BoundWindows& Bound()
{
    static auto* const s_pBound = new BoundWindows;
    return *s_pBound;
}
const UINT_PTR SUBCLASS_ID = 0x4C56; // "LV"

HWND ChildOfNotification(HWND hWndParent, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)wParam;
    switch (message) {
    case WM_COMMAND:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORMSGBOX:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
        return reinterpret_cast<HWND>(lParam);
    case WM_NOTIFY:
        return lParam ? reinterpret_cast<const NMHDR*>(lParam)->hwndFrom : nullptr;
    case WM_DRAWITEM: {
        auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        return dis && dis->CtlType != ODT_MENU ? dis->hwndItem : nullptr;
    }
    case WM_MEASUREITEM: {
        // The structure names the control only by id.
        auto* mis = reinterpret_cast<const MEASUREITEMSTRUCT*>(lParam);
        return mis && mis->CtlType != ODT_MENU ? ::GetDlgItem(hWndParent, static_cast<int>(mis->CtlID))
                                               : nullptr;
    }
    case WM_COMPAREITEM:
        return lParam ? reinterpret_cast<const COMPAREITEMSTRUCT*>(lParam)->hwndItem : nullptr;
    case WM_DELETEITEM:
        return lParam ? reinterpret_cast<const DELETEITEMSTRUCT*>(lParam)->hwndItem : nullptr;
    default:
        return nullptr;
    }
}

// Removes the handle's entry if it is still this object's.
void Forget(HWND hWnd, const CWnd* pWnd)
{
    BoundWindows& bound = Bound();
    ::AcquireSRWLockExclusive(&bound.lock);
    const auto found = bound.objects.find(hWnd);
    if (found != bound.objects.end() && found->second == pWnd)
        bound.objects.erase(found);
    ::ReleaseSRWLockExclusive(&bound.lock);
}

} // namespace

CWnd::~CWnd()
{
    if (m_hWnd) {
        if (m_bOwnsWindow)
            ::DestroyWindow(m_hWnd); // unbinds at WM_NCDESTROY
        if (m_hWnd)
            Unbind();
    }
    if (CWinApp* pApp = AfxGetApp(); pApp && pApp->m_pMainWnd == this)
        pApp->m_pMainWnd = nullptr;
}

CWnd* CWnd::FromHandle(HWND hWnd)
{
    if (!hWnd)
        return nullptr;
    BoundWindows& bound = Bound();
    ::AcquireSRWLockShared(&bound.lock);
    const auto found = bound.objects.find(hWnd);
    CWnd* const pWnd = found == bound.objects.end() ? nullptr : found->second;
    ::ReleaseSRWLockShared(&bound.lock);
    return pWnd;
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCWSTR lpszClassName, LPCWSTR lpszWindowName, DWORD dwStyle,
                    const RECT& rect, CWnd* pParentWnd, UINT nID)
{
    if (m_hWnd)
        return FALSE;
    InitPlatformControls();
    HWND hWndParent = pParentWnd ? pParentWnd->m_hWnd : nullptr;
    HMENU hId = (dwStyle & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<UINT_PTR>(nID)) : nullptr;
    HWND hWnd = ::CreateWindowExW(dwExStyle, lpszClassName, lpszWindowName, dwStyle, rect.left, rect.top,
                                  rect.right - rect.left, rect.bottom - rect.top, hWndParent, hId,
                                  ::GetModuleHandleW(nullptr), nullptr);
    if (!hWnd)
        return FALSE;
    if (!BindWindow(hWnd, true)) {
        ::DestroyWindow(hWnd);
        return FALSE;
    }
    return TRUE;
}

BOOL CWnd::SubclassWindow(HWND hWnd)
{
    if (m_hWnd || !hWnd || !::IsWindow(hWnd) || FromHandle(hWnd))
        return FALSE;
    return BindWindow(hWnd, false);
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent)
{
    if (!pParent || !pParent->m_hWnd)
        return FALSE;
    return SubclassWindow(::GetDlgItem(pParent->m_hWnd, static_cast<int>(nID)));
}

HWND CWnd::UnsubclassWindow()
{
    HWND hWnd = m_hWnd;
    if (hWnd)
        Unbind();
    return hWnd;
}

BOOL CWnd::BindWindow(HWND hWnd, bool bOwns)
{
    BoundWindows& bound = Bound();
    ::AcquireSRWLockExclusive(&bound.lock);
    bound.objects[hWnd] = this;
    ::ReleaseSRWLockExclusive(&bound.lock);
    if (!::SetWindowSubclass(hWnd, &CWnd::SubclassProc, SUBCLASS_ID, reinterpret_cast<DWORD_PTR>(this))) {
        Forget(hWnd, this);
        return FALSE;
    }
    m_hWnd = hWnd;
    m_bOwnsWindow = bOwns;
    PreSubclassWindow();
    return TRUE;
}

void CWnd::Unbind()
{
    ::RemoveWindowSubclass(m_hWnd, &CWnd::SubclassProc, SUBCLASS_ID);
    Forget(m_hWnd, this);
    m_hWnd = nullptr;
    m_bOwnsWindow = false;
}

BOOL CWnd::DestroyWindow()
{
    if (!m_hWnd)
        return FALSE;
    return ::DestroyWindow(m_hWnd);
}

LRESULT CWnd::Dispatch(CWnd* pWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CurrentMessage saved = pWnd->m_curMsg;
    pWnd->m_curMsg = {message, wParam, lParam};
    LRESULT result = 0;
    try {
        result = pWnd->WindowProc(message, wParam, lParam);
    } catch (...) {
        // No exception may cross the system's window procedure frames: a failed handler leaves the
        // message to the default handling.
        result = pWnd->m_hWnd ? ::DefSubclassProc(pWnd->m_hWnd, message, wParam, lParam) : 0;
    }
    pWnd->m_curMsg = saved;
    return result;
}

LRESULT CALLBACK CWnd::SubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                    DWORD_PTR dwRefData)
{
    auto* pWnd = reinterpret_cast<CWnd*>(dwRefData);
    if (!pWnd || pWnd->m_hWnd != hWnd)
        return ::DefSubclassProc(hWnd, message, wParam, lParam);
    if (message != WM_NCDESTROY)
        return Dispatch(pWnd, message, wParam, lParam);

    LRESULT result = Dispatch(pWnd, message, wParam, lParam);
    if (pWnd->m_hWnd == hWnd)
        pWnd->Unbind();
    if (CWinApp* pApp = AfxGetApp(); pApp && pApp->m_pMainWnd == pWnd)
        pApp->OnMainWindowDestroyed();
    pWnd->PostNcDestroy(); // may delete the object
    return result;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (OnCommand(wParam, lParam))
            return 0;
        break;
    case WM_NOTIFY: {
        LRESULT result = 0;
        if (OnNotify(wParam, lParam, &result))
            return result;
        break;
    }
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_COMPAREITEM:
    case WM_DELETEITEM:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORMSGBOX:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM: {
        LRESULT result = 0;
        if (ReflectChildNotify(m_hWnd, message, wParam, lParam, &result))
            return result;
        break;
    }
    default:
        break;
    }
    return DefWindowProc(message, wParam, lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!m_hWnd)
        return 0;
    // The next procedure in the subclass chain, which ends at the window's own procedure.
    return ::DefSubclassProc(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default()
{
    return DefWindowProc(m_curMsg.message, m_curMsg.wParam, m_curMsg.lParam);
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (lParam && ReflectChildNotify(m_hWnd, WM_COMMAND, wParam, lParam, &result))
        return TRUE;
    return OnCmdMsg(LOWORD(wParam), HIWORD(wParam));
}

BOOL CWnd::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    return ReflectChildNotify(m_hWnd, WM_NOTIFY, wParam, lParam, pResult);
}

BOOL CWnd::OnCmdMsg(UINT, int)
{
    return FALSE;
}

BOOL CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*)
{
    return FALSE;
}

BOOL CWnd::PreTranslateMessage(MSG*)
{
    return FALSE;
}

BOOL CWnd::ReflectChildNotify(HWND hWndParent, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    HWND hWndChild = ChildOfNotification(hWndParent, message, wParam, lParam);
    if (!hWndChild || hWndChild == hWndParent)
        return FALSE;
    CWnd* pChild = FromHandle(hWndChild);
    if (!pChild)
        return FALSE;
    LRESULT result = 0;
    if (!pChild->OnChildNotify(message, wParam, lParam, &result))
        return FALSE;
    if (pResult)
        *pResult = result;
    return TRUE;
}

BOOL CWnd::WalkPreTranslateTree(MSG* pMsg)
{
    for (HWND hWnd = pMsg->hwnd; hWnd;) {
        // Read before the handler runs: it may destroy the window.
        bool bChild = (::GetWindowLongPtrW(hWnd, GWL_STYLE) & WS_CHILD) != 0;
        HWND hWndParent = bChild ? ::GetParent(hWnd) : nullptr;
        if (CWnd* pWnd = FromHandle(hWnd); pWnd && pWnd->PreTranslateMessage(pMsg))
            return TRUE;
        hWnd = hWndParent;
    }
    return FALSE;
}

BOOL CWnd::ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags)
{
    DWORD style = GetStyle();
    DWORD newStyle = (style & ~dwRemove) | dwAdd;
    if (style == newStyle)
        return FALSE;
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, static_cast<LONG_PTR>(newStyle));
    if (nFlags)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED | nFlags);
    return TRUE;
}

BOOL CWnd::ModifyStyleEx(DWORD dwRemove, DWORD dwAdd, UINT nFlags)
{
    DWORD style = GetExStyle();
    DWORD newStyle = (style & ~dwRemove) | dwAdd;
    if (style == newStyle)
        return FALSE;
    ::SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, static_cast<LONG_PTR>(newStyle));
    if (nFlags)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED | nFlags);
    return TRUE;
}

std::wstring CWnd::GetWindowText() const
{
    return WindowTextOf(m_hWnd);
}

std::wstring CWnd::GetDlgItemText(int nID) const
{
    HWND hWndItem = ::GetDlgItem(m_hWnd, nID);
    return hWndItem ? WindowTextOf(hWndItem) : std::wstring();
}

void CWnd::ScreenToClient(RECT* pRect) const
{
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(pRect), 2);
}

void CWnd::ClientToScreen(RECT* pRect) const
{
    ::MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<POINT*>(pRect), 2);
}

BOOL CWnd::CenterWindow(HWND hWndAlternateOwner)
{
    if (!m_hWnd)
        return FALSE;
    RECT rcWindow;
    ::GetWindowRect(m_hWnd, &rcWindow);
    int width = rcWindow.right - rcWindow.left;
    int height = rcWindow.bottom - rcWindow.top;

    RECT rcCenter;
    RECT rcArea;
    if (GetStyle() & WS_CHILD) {
        // A child centres in its parent's client area, in the parent's coordinates.
        HWND hWndParent = ::GetParent(m_hWnd);
        ::GetClientRect(hWndParent, &rcArea);
        rcCenter = rcArea;
    } else {
        HWND hWndCenter = hWndAlternateOwner ? hWndAlternateOwner : ::GetWindow(m_hWnd, GW_OWNER);
        if (hWndCenter && (!::IsWindowVisible(hWndCenter) || ::IsIconic(hWndCenter)))
            hWndCenter = nullptr;
        MONITORINFO mi{};
        mi.cbSize = sizeof mi;
        HMONITOR hMonitor = ::MonitorFromWindow(hWndCenter ? hWndCenter : m_hWnd, MONITOR_DEFAULTTONEAREST);
        if (!::GetMonitorInfoW(hMonitor, &mi))
            ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &mi.rcWork, 0);
        rcArea = mi.rcWork;
        if (hWndCenter)
            ::GetWindowRect(hWndCenter, &rcCenter);
        else
            rcCenter = rcArea;
    }
    int x = (rcCenter.left + rcCenter.right) / 2 - width / 2;
    int y = (rcCenter.top + rcCenter.bottom) / 2 - height / 2;
    // Keep the window inside the area it is centred in.
    if (x + width > rcArea.right)
        x = rcArea.right - width;
    if (x < rcArea.left)
        x = rcArea.left;
    if (y + height > rcArea.bottom)
        y = rcArea.bottom - height;
    if (y < rcArea.top)
        y = rcArea.top;
    return ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int CWnd::MessageBox(LPCWSTR lpszText, LPCWSTR lpszCaption, UINT nType)
{
    return ::MessageBoxW(m_hWnd, lpszText ? lpszText : L"", lpszCaption ? lpszCaption : AfxGetAppName(),
                         nType);
}
