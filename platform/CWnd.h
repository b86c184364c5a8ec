#pragma once
// CWnd: a C++ object bound to one window handle, with virtual message dispatch.
//
// A CWnd either creates its window (CreateEx; the object then owns it and destroys it with itself)
// or attaches to an existing one (SubclassWindow / SubclassDlgItem; the object then only
// subclasses it, and UnsubclassWindow or the object's destruction restores the window procedure).
// Every message of a bound window goes to the virtual WindowProc; anything it does not handle goes
// to DefWindowProc, which is the window's own procedure from before the subclassing.
//
// Notifications that a parent receives on behalf of a child (WM_COMMAND from a control, WM_NOTIFY,
// WM_DRAWITEM, WM_MEASUREITEM, WM_COMPAREITEM, WM_DELETEITEM, WM_CTLCOLOR*, WM_HSCROLL/WM_VSCROLL
// from a scroll control) are first offered to the child's object through OnChildNotify, from the
// base WindowProc / OnCommand / OnNotify of the parent. A derived parent that handles such a
// message itself and does not call the base keeps it from the child.

#include <windows.h>

#include <string>

class CWnd {
  public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // The object bound to a window handle, or null (no temporary objects are made).
    static CWnd* FromHandle(HWND hWnd);
    static CWnd* FromHandlePermanent(HWND hWnd) { return FromHandle(hWnd); }

    // Creates a window of any class (a system control class included) and binds it; the object
    // owns the window. Returns FALSE when the window could not be made or bound.
    virtual BOOL CreateEx(DWORD dwExStyle, LPCWSTR lpszClassName, LPCWSTR lpszWindowName, DWORD dwStyle,
                          const RECT& rect, CWnd* pParentWnd, UINT nID);

    // Binds to an existing window by subclassing it (SetWindowSubclass). Fails when this object is
    // already bound or the window already has an object.
    BOOL SubclassWindow(HWND hWnd);
    BOOL SubclassDlgItem(UINT nID, CWnd* pParent);
    // Undoes SubclassWindow: restores the window's procedure and returns the handle.
    HWND UnsubclassWindow();
    BOOL Attach(HWND hWnd) { return SubclassWindow(hWnd); }
    HWND Detach() { return UnsubclassWindow(); }

    virtual BOOL DestroyWindow();

    // Message dispatch.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // DefWindowProc of the message now being handled by this object.
    LRESULT Default();
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    // Command routing after reflection: a dialog maps IDOK / IDCANCEL here. TRUE = handled.
    virtual BOOL OnCmdMsg(UINT nID, int nCode);
    // A notification the parent received about this control. TRUE = handled, *pResult answers it.
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    // Called by the message loops for every message aimed at this window or one of its children,
    // innermost window first. TRUE = consumed (not translated, not dispatched).
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    // Called once the object is bound (created, subclassed, or a dialog before OnInitDialog).
    virtual void PreSubclassWindow() {}
    // Called after the window's last message (WM_NCDESTROY); the object is unbound by then.
    virtual void PostNcDestroy() {}

    // Offers a parent's notification to the control it concerns. TRUE when that control's object
    // handled it.
    static BOOL ReflectChildNotify(HWND hWndParent, UINT message, WPARAM wParam, LPARAM lParam,
                                   LRESULT* pResult);
    // Runs PreTranslateMessage of the bound windows from pMsg->hwnd up through its parents, ending
    // with the top-level window it belongs to (owners are not visited). TRUE = consumed.
    static BOOL WalkPreTranslateTree(MSG* pMsg);

    // Thin wrappers.
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::SendMessageW(m_hWnd, message, wParam, lParam);
    }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::PostMessageW(m_hWnd, message, wParam, lParam);
    }
    BOOL IsWindow() const { return m_hWnd && ::IsWindow(m_hWnd); }
    HWND GetParent() const { return ::GetParent(m_hWnd); }
    HWND GetDlgItem(int nID) const { return ::GetDlgItem(m_hWnd, nID); }
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE)); }
    DWORD GetExStyle() const { return static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE)); }
    // Removes then adds style bits; nFlags != 0 also sends SWP_FRAMECHANGED | nFlags.
    BOOL ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);
    BOOL ModifyStyleEx(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);
    std::wstring GetWindowText() const;
    BOOL SetWindowText(LPCWSTR lpszString) { return ::SetWindowTextW(m_hWnd, lpszString); }
    int GetWindowTextLength() const { return ::GetWindowTextLengthW(m_hWnd); }
    std::wstring GetDlgItemText(int nID) const;
    BOOL SetDlgItemText(int nID, LPCWSTR lpszString) { return ::SetDlgItemTextW(m_hWnd, nID, lpszString); }
    UINT GetDlgItemInt(int nID, BOOL* pTrans = nullptr, BOOL bSigned = TRUE) const
    {
        return ::GetDlgItemInt(m_hWnd, nID, pTrans, bSigned);
    }
    BOOL SetDlgItemInt(int nID, UINT nValue, BOOL bSigned = TRUE)
    {
        return ::SetDlgItemInt(m_hWnd, nID, nValue, bSigned);
    }
    UINT IsDlgButtonChecked(int nID) const { return ::IsDlgButtonChecked(m_hWnd, nID); }
    BOOL CheckDlgButton(int nID, UINT nCheck) { return ::CheckDlgButton(m_hWnd, nID, nCheck); }

    BOOL ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL EnableWindow(BOOL bEnable = TRUE) { return ::EnableWindow(m_hWnd, bEnable); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    BOOL IsZoomed() const { return ::IsZoomed(m_hWnd); }
    HWND SetFocus() { return ::SetFocus(m_hWnd); }
    HWND SetCapture() { return ::SetCapture(m_hWnd); }
    BOOL SetForegroundWindow() { return ::SetForegroundWindow(m_hWnd); }
    BOOL BringWindowToTop() { return ::BringWindowToTop(m_hWnd); }
    BOOL CenterWindow(HWND hWndAlternateOwner = nullptr);

    void GetClientRect(RECT* pRect) const { ::GetClientRect(m_hWnd, pRect); }
    void GetWindowRect(RECT* pRect) const { ::GetWindowRect(m_hWnd, pRect); }
    void ScreenToClient(POINT* pPoint) const { ::ScreenToClient(m_hWnd, pPoint); }
    void ScreenToClient(RECT* pRect) const;
    void ClientToScreen(POINT* pPoint) const { ::ClientToScreen(m_hWnd, pPoint); }
    void ClientToScreen(RECT* pRect) const;
    BOOL MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint = TRUE)
    {
        return ::MoveWindow(m_hWnd, x, y, nWidth, nHeight, bRepaint);
    }
    BOOL MoveWindow(const RECT& rect, BOOL bRepaint = TRUE)
    {
        return MoveWindow(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, bRepaint);
    }
    BOOL SetWindowPos(HWND hWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags)
    {
        return ::SetWindowPos(m_hWnd, hWndInsertAfter, x, y, cx, cy, nFlags);
    }

    void Invalidate(BOOL bErase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, bErase); }
    void InvalidateRect(const RECT* pRect, BOOL bErase = TRUE) { ::InvalidateRect(m_hWnd, pRect, bErase); }
    void ValidateRect(const RECT* pRect) { ::ValidateRect(m_hWnd, pRect); }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    BOOL RedrawWindow(const RECT* pRect = nullptr, HRGN hRgn = nullptr,
                      UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE)
    {
        return ::RedrawWindow(m_hWnd, pRect, hRgn, flags);
    }

    HFONT GetFont() const { return reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)); }
    void SetFont(HFONT hFont, BOOL bRedraw = TRUE)
    {
        SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(hFont), MAKELPARAM(bRedraw, 0));
    }
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse)
    {
        return ::SetTimer(m_hWnd, nIDEvent, nElapse, nullptr);
    }
    BOOL KillTimer(UINT_PTR nIDEvent) { return ::KillTimer(m_hWnd, nIDEvent); }

    int MessageBox(LPCWSTR lpszText, LPCWSTR lpszCaption = nullptr, UINT nType = MB_OK);

  protected:
    // Binds this object to hWnd; bOwns makes the destructor destroy the window.
    BOOL BindWindow(HWND hWnd, bool bOwns);

  private:
    struct CurrentMessage {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    static LRESULT CALLBACK SubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR uIdSubclass, DWORD_PTR dwRefData);
    static LRESULT Dispatch(CWnd* pWnd, UINT message, WPARAM wParam, LPARAM lParam);
    void Unbind();

    CurrentMessage m_curMsg{};
    bool m_bOwnsWindow = false;

    friend class CDialog;
};
