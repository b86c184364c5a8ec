// CMyListCtrl towards the user: mouse, keys, tool tips, hover, in-place editors, the commands
// posted to the parent, the timers and the last-column fit.
#include "controls/MyListCtrl.h"

#include "platform/CPaintDC.h"
#include "platform/DpiScale.h"

#include <windowsx.h>

namespace {

bool IsShown(const CWnd* pWnd)
{
    return pWnd && pWnd->m_hWnd && ::IsWindowVisible(pWnd->m_hWnd);
}

void Hide(CWnd* pWnd)
{
    if (IsShown(pWnd))
        pWnd->ShowWindow(SW_HIDE);
}

POINT PointOf(LPARAM lParam)
{
    return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
}

} // namespace

LRESULT CMyListCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        CPaintDC dc(m_hWnd);
        if (dc)
            Paint(dc, &dc.m_ps.rcPaint);
        return 0;
    }
    case WM_PRINTCLIENT:
        Paint(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_ERASEBKGND:
        // The paint covers the whole client area.
        return m_bTransparent ? 1 : 0;
    case WM_LBUTTONDOWN:
        OnLButtonDown(static_cast<UINT>(wParam), PointOf(lParam));
        return 0;
    case WM_LBUTTONUP:
        if (m_bLocked)
            return 0;
        break;
    case WM_LBUTTONDBLCLK:
        if (m_bLocked)
            return 0;
        OnLButtonDblClk(static_cast<UINT>(wParam), PointOf(lParam));
        break;
    case WM_MOUSEMOVE:
        OnMouseMove(static_cast<UINT>(wParam), PointOf(lParam));
        break;
    case WM_MOUSELEAVE:
        OnMouseLeave();
        break;
    case WM_MEASUREITEM: {
        LRESULT result = 0;
        if (OnChildNotify(message, wParam, lParam, &result))
            return result;
        break;
    }
    case WM_HSCROLL:
    case WM_VSCROLL:
        if (!lParam) {
            LRESULT result = Default();
            OnScroll();
            return result;
        }
        break;
    case WM_MOUSEWHEEL:
        HideEditors();
        break;
    case WM_SIZE: {
        LRESULT result = Default();
        OnSize();
        return result;
    }
    case WM_DPICHANGED_AFTERPARENT:
        // The system's notice carries no dpi; the dialog frame's carries the new one.
        OnDpiChanged(wParam ? static_cast<int>(wParam) : DpiForWindow(m_hWnd));
        return 0;
    case WM_TIMER:
        if (wParam >= TIMER_AUTOFIT && wParam <= TIMER_DIVIDER_DONE) {
            OnTimer(wParam);
            return 0;
        }
        break;
    case LVM_INSERTITEMW:
    case LVM_INSERTITEMA: {
        // Running numbers are rewritten once the row is in place (rows before it keep theirs).
        LRESULT result = Default();
        if (static_cast<int>(result) >= 0)
            RenumberFrom(static_cast<int>(result));
        return result;
    }
    case LVM_DELETEITEM: {
        // The deletion notification comes before the row goes; renumber after it has gone.
        LRESULT result = Default();
        if (result)
            RenumberFrom(static_cast<int>(wParam));
        return result;
    }
    case LVM_INSERTCOLUMNW:
    case LVM_INSERTCOLUMNA: {
        LRESULT result = Default();
        EnsureHeader();
        return result;
    }
    case WM_DESTROY:
        for (UINT_PTR id : {TIMER_AUTOFIT, TIMER_ROW_REFRESH, TIMER_SCROLL_WATCH, TIMER_REPAINT,
                            TIMER_TIP_REST, TIMER_EDITOR_START, TIMER_DIVIDER_DONE})
            KillTimer(id);
        break;
    default:
        break;
    }
    return CListCtrl::WindowProc(message, wParam, lParam);
}

BOOL CMyListCtrl::OnChildNotify(UINT message, WPARAM, LPARAM lParam, LRESULT* pResult)
{
    switch (message) {
    case WM_NOTIFY: {
        const auto* hdr = reinterpret_cast<const NMHDR*>(lParam);
        if (!hdr || !IsOwnerData())
            return FALSE;
        switch (hdr->code) {
        case LVN_GETDISPINFOW:
            *pResult = 0;
            return OnGetDispInfo(reinterpret_cast<NMLVDISPINFOW*>(lParam)->item);
        case LVN_ODFINDITEMW:
            *pResult = -1; // no type-ahead search among owner-data rows
            return TRUE;
        case LVN_ODCACHEHINT:
            *pResult = 0;
            return TRUE;
        default:
            return FALSE;
        }
    }
    case WM_DRAWITEM:
        DrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        *pResult = TRUE;
        return TRUE;
    case WM_MEASUREITEM: {
        auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (!mis || m_nRowHeight < 5)
            return FALSE; // the platform's height stays
        mis->itemHeight = static_cast<UINT>(m_nRowHeight);
        *pResult = TRUE;
        return TRUE;
    }
    default:
        return FALSE;
    }
}

int CMyListCtrl::ColumnAt(int nRow, POINT pt) const
{
    const int cols = GetColumnCount();
    for (int c = 0; c < cols; ++c) {
        RECT rc = CellRect(nRow, c);
        if (::PtInRect(&rc, pt))
            return c;
    }
    return cols;
}

void CMyListCtrl::OnLButtonDown(UINT, POINT pt)
{
    if (m_pEdit && m_pEdit->m_hWnd) {
        // Hiding takes the focus away, which writes the edit back.
        Hide(m_pEdit);
        ::Sleep(10);
    }
    Hide(m_pCombo);

    // The platform flips a row's check box itself when its state icon is hit; remember the state
    // so that one click changes it exactly once.
    const int rowBefore = HitTest(pt);
    const BOOL bCheckBefore = rowBefore >= 0 ? GetCheck(rowBefore) : FALSE;
    Default();

    const int row = HitTest(pt);
    m_nCurRow = row;
    if (row < 0) {
        SetTimer(TIMER_REPAINT, 5);
        return;
    }
    const int cols = GetColumnCount();
    const int col = ColumnAt(row, pt);
    m_nCurCol = col;
    if (col < cols) {
        const RECT rc = CellRect(row, col);
        RECT square = rc;
        square.right = square.left + (rc.bottom - rc.top);
        if (::PtInRect(&square, pt) && HasCheckBox(col)) {
            if (col == 0) {
                if (row != rowBefore || GetCheck(row) == bCheckBefore)
                    SetCheck(row, !GetCheck(row));
            } else {
                SetCellCheck(row, col, 2);
            }
            if (m_bTransparent || IsRowSelected(row)) {
                RECT dirty{square.left - 2, square.top - 2, square.right + 10, square.bottom + 2};
                HWND hParent = GetParent();
                ::MapWindowPoints(m_hWnd, hParent, reinterpret_cast<POINT*>(&dirty), 2);
                ::InvalidateRect(hParent, &dirty, TRUE);
                ::UpdateWindow(hParent);
            }
            RedrawRow(row);
            SetTimer(TIMER_REPAINT, 5);
            return;
        }
        const int kind = GetColumnEditKind(col);
        if (kind == 0)
            EditCell();
        else if (kind == 1)
            EditCellCombo(nullptr, false);
    }
    PostToParent(m_nClickCmdId, reinterpret_cast<LPARAM>(this));
    SetTimer(TIMER_REPAINT, 5);
}

void CMyListCtrl::OnLButtonDblClk(UINT, POINT pt)
{
    const int row = HitTest(pt);
    m_nCurRow = row;
    if (row < 0)
        return;
    const int col = ColumnAt(row, pt);
    m_nCurCol = col;
    const LPARAM cell = static_cast<LPARAM>((static_cast<DWORD>(row & 0xFFFF) << 16) | (col & 0xFFFF));
    PostToParent(m_nDblClickCmdId, cell);
}

void CMyListCtrl::OnMouseMove(UINT, POINT pt)
{
    if (pt.x != m_ptLastMouse.x || pt.y != m_ptLastMouse.y) {
        m_ptLastMouse = pt;
        EnsureToolTip();
        // The tip pops by itself after its time; the pointer still lying there then is told by
        // TIMER_TIP_REST.
        if (m_pToolTip && m_pToolTip->m_hWnd) {
            const int popMs = static_cast<int>(m_pToolTip->SendMessage(TTM_GETDELAYTIME, TTDT_AUTOPOP));
            SetTimer(TIMER_TIP_REST, static_cast<UINT>(std::max(popMs, 0) + TIP_REST_EXTRA_MS));
        }
        LVHITTESTINFO info{};
        info.pt = pt;
        SubItemHitTest(&info);
        const int row = info.iItem;
        const int col = row >= 0 ? info.iSubItem : -1;
        if (row >= 0)
            ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
        if (row != m_nTipRow || col != m_nTipCol) {
            m_nTipRow = row;
            m_nTipCol = col;
            if (m_pToolTip && m_pToolTip->m_hWnd && m_bToolTips) {
                bool bShow = false;
                const std::wstring rowTip = IsOwnerData() && row >= 0 && row < m_pRowSource->GetRowCount()
                                                ? m_pRowSource->GetRowTip(row)
                                                : std::wstring();
                if (!rowTip.empty()) {
                    m_pToolTip->UpdateTipText(rowTip.c_str(), m_hWnd);
                    bShow = true;
                } else if (row >= 0 && col >= 0) {
                    const std::wstring text = GetItemText(row, col);
                    const RECT rc = CellRect(row, col);
                    const int labelWidth = rc.right - rc.left;
                    if (labelWidth > 5 && labelWidth < GetStringWidth(text.c_str())) {
                        m_pToolTip->UpdateTipText(text.c_str(), m_hWnd);
                        bShow = true;
                    }
                }
                m_pToolTip->Activate(bShow);
            }
            const int oldHover = m_nHoverRow;
            m_nHoverRow = m_bHoverTrack && !m_bLocked ? row : -1;
            m_nHoverCol = col;
            if (oldHover != m_nHoverRow) {
                RedrawRow(oldHover);
                RedrawRow(m_nHoverRow);
            }
        }
    }
    if (m_pToolTip && m_pToolTip->m_hWnd && (GetItemCount() == 0 || !m_bToolTips))
        m_pToolTip->Activate(FALSE);
    TRACKMOUSEEVENT track{};
    track.cbSize = sizeof track;
    track.dwFlags = TME_LEAVE;
    track.hwndTrack = m_hWnd;
    ::TrackMouseEvent(&track);
}

void CMyListCtrl::OnMouseLeave()
{
    m_nHoverRow = m_nHoverCol = -1;
    m_nTipRow = m_nTipCol = -1;
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

BOOL CMyListCtrl::PreTranslateMessage(MSG* pMsg)
{
    const HWND hWnd = pMsg->hwnd;
    if (!m_hWnd || (hWnd != m_hWnd && !::IsChild(m_hWnd, hWnd)))
        return CListCtrl::PreTranslateMessage(pMsg);
    const bool bOnList = hWnd == m_hWnd;
    const bool bOnCombo =
        m_pCombo && m_pCombo->m_hWnd && (hWnd == m_pCombo->m_hWnd || ::IsChild(m_pCombo->m_hWnd, hWnd));
    const int cols = GetColumnCount();

    switch (pMsg->message) {
    case WM_RBUTTONDBLCLK:
        m_bToolTips = !m_bToolTips;
        if (m_pToolTip && m_pToolTip->m_hWnd)
            m_pToolTip->Activate(FALSE);
        break;
    case WM_MOUSEWHEEL:
        HideEditors();
        break;
    case WM_RBUTTONDOWN:
        if (pMsg->wParam & MK_LBUTTON) {
            m_bToolTips = !m_bToolTips;
            if (!m_bToolTips && m_pToolTip && m_pToolTip->m_hWnd)
                m_pToolTip->Activate(FALSE);
        }
        [[fallthrough]];
    case WM_RBUTTONUP: {
        POINT pt = pMsg->pt;
        ScreenToClient(&pt);
        m_nCurRow = HitTest(pt);
        SetTimer(TIMER_ROW_REFRESH, 1);
        break;
    }
    case WM_LBUTTONUP:
        SetTimer(TIMER_ROW_REFRESH, 10);
        break;
    case WM_MOUSEMOVE:
        if (m_pToolTip && m_pToolTip->m_hWnd)
            m_pToolTip->RelayEvent(pMsg);
        break;
    case WM_KEYDOWN:
        if (pMsg->wParam == VK_RETURN && m_bCellSelect && bOnList && m_nCurRow >= 0 && m_nCurCol >= 0 &&
            m_nCurCol < cols) {
            const int kind = GetColumnEditKind(m_nCurCol);
            if (kind == 0)
                EditCell();
            else if (kind == 1)
                EditCellCombo(nullptr, false);
            PostToParent(m_nClickCmdId, reinterpret_cast<LPARAM>(this));
            return TRUE;
        }
        // Ctrl+A in an editor selects its text, not the rows.
        if (pMsg->wParam == 'A' && bOnList && ::GetKeyState(VK_CONTROL) < 0) {
            SelectAllRows(1);
            return TRUE;
        }
        if (pMsg->wParam == VK_RETURN && IsShown(m_pEdit)) {
            Hide(m_pEdit); // the focus goes, which writes the edit back
            return TRUE;
        }
        if (pMsg->wParam == VK_ESCAPE && (IsShown(m_pEdit) || IsShown(m_pCombo))) {
            // Escape closes the editor without writing it back (and does not reach the dialog).
            m_bCancelEdit = true;
            Hide(m_pEdit);
            Hide(m_pCombo);
            m_bCancelEdit = false;
            m_bEditorReady = false;
            SetFocus();
            return TRUE;
        }
        break;
    case WM_KEYUP: {
        m_nCurRow = GetNextItem(-1, LVNI_SELECTED);
        SetTimer(TIMER_ROW_REFRESH, 1);
        const WPARAM key = pMsg->wParam;
        if ((key == VK_UP || key == VK_DOWN) && bOnList) {
            if (m_bTransparent)
                RefreshHeader();
            return TRUE;
        }
        if ((key == VK_UP || key == VK_DOWN) && bOnCombo)
            return TRUE;
        if (key == VK_RETURN && IsShown(m_pEdit))
            return TRUE;
        if (m_bCellSelect && bOnList && (key == VK_LEFT || key == VK_RIGHT) && cols > 0) {
            const int old = m_nCurCol;
            if (key == VK_LEFT)
                m_nCurCol = m_nCurCol <= 0 ? cols - 1 : m_nCurCol - 1;
            else
                m_nCurCol = m_nCurCol >= cols - 1 ? 0 : m_nCurCol + 1;
            if (old != m_nCurCol)
                RedrawRow(m_nCurRow);
        }
        break;
    }
    default:
        break;
    }
    return CListCtrl::PreTranslateMessage(pMsg);
}

// ---- In-place editors ----

bool CMyListCtrl::OpenEditorChecks() const
{
    if (m_nCurRow < 0 || m_nCurRow >= GetItemCount())
        return false;
    if (m_nCurCol < 0 || m_nCurCol >= GetColumnCount())
        return false;
    return !IsCellReadOnly(m_nCurRow, m_nCurCol) && !IsCellDisabled(m_nCurRow, m_nCurCol);
}

void CMyListCtrl::EditCell()
{
    if (!OpenEditorChecks())
        return;
    m_bEditorReady = false;
    if (!m_pEdit) {
        auto edit = std::make_unique<CEdit>();
        const RECT rc{0, 0, 10, 10};
        if (!edit->Create(WS_CHILD | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL | ES_WANTRETURN, rc, this,
                          EDIT_ID))
            return;
        edit->SetFont(GetFont(), FALSE);
        edit->SetLimitText(256);
        m_pEdit = edit.get();
        m_pOwnEdit = std::move(edit);
    }
    if (!m_pEdit->m_hWnd)
        return;
    m_pEdit->SetWindowText(GetItemText(m_nCurRow, m_nCurCol).c_str());
    m_nEditRow = m_nCurRow;
    m_nEditCol = m_nCurCol;
    m_pEdit->MoveWindow(CellRect(m_nEditRow, m_nEditCol));
    m_pEdit->ShowWindow(SW_SHOW);
    m_pEdit->SetWindowPos(HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    m_pEdit->SetFocus();
    SetTimer(TIMER_EDITOR_START, 30);
}

void CMyListCtrl::EditCellCombo(const wchar_t* const* pItems, bool bFillOnly)
{
    // Filling needs no current cell, so that the owner can fill the list before the first click.
    if (!bFillOnly && !OpenEditorChecks())
        return;
    if (!m_pCombo) {
        auto combo = std::make_unique<CComboBox>();
        const RECT rc{0, 0, 10, 200};
        if (!combo->Create(WS_CHILD | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, rc, this, COMBO_ID))
            return;
        combo->SetFont(GetFont(), FALSE);
        m_pCombo = combo.get();
        m_pOwnCombo = std::move(combo);
    }
    if (!m_pCombo->m_hWnd)
        return;
    if (pItems) {
        m_pCombo->ResetContent();
        for (const wchar_t* const* p = pItems; *p; ++p)
            m_pCombo->AddString(*p);
    }
    if (bFillOnly)
        return;
    m_bEditorReady = false;
    const std::wstring text = GetItemText(m_nCurRow, m_nCurCol);
    m_pCombo->SetCurSel(m_pCombo->FindStringExact(-1, text.c_str()));
    RECT rc = CellRect(m_nCurRow, m_nCurCol);
    rc.bottom += 200;
    m_pCombo->MoveWindow(rc);
    m_pCombo->ShowWindow(SW_SHOW);
    m_pCombo->SetWindowPos(HWND_TOP, 0, 0, rc.right - rc.left, 500, SWP_NOMOVE);
    m_nEditRow = m_nCurRow;
    m_nEditCol = m_nCurCol;
    SetTimer(TIMER_EDITOR_START, 30);
}

int CMyListCtrl::GetComboCurSel() const
{
    return m_pCombo && m_pCombo->m_hWnd ? m_pCombo->GetCurSel() : -1;
}

void CMyListCtrl::SetEditCtrl(CEdit* pEdit)
{
    if (m_pOwnEdit && m_pEdit == m_pOwnEdit.get())
        m_pOwnEdit.reset(); // destroys the window with the object
    m_pEdit = pEdit;
}

void CMyListCtrl::SetComboCtrl(CComboBox* pCombo)
{
    if (m_pOwnCombo && m_pCombo == m_pOwnCombo.get())
        m_pOwnCombo.reset();
    m_pCombo = pCombo;
}

void CMyListCtrl::HideEditors()
{
    Hide(m_pEdit);
    Hide(m_pCombo);
}

BOOL CMyListCtrl::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const HWND hFrom = reinterpret_cast<HWND>(lParam);
    const UINT code = HIWORD(wParam);
    if (hFrom && m_pCombo && hFrom == m_pCombo->m_hWnd) {
        switch (code) {
        case CBN_DROPDOWN:
            m_pCombo->SetFocus();
            break;
        case CBN_SELCHANGE: {
            const int sel = m_pCombo->GetCurSel();
            if (sel >= 0)
                WriteBack(m_pCombo->GetLBText(sel));
            break;
        }
        case CBN_CLOSEUP:
        case CBN_KILLFOCUS:
            if (m_bEditorReady)
                Hide(m_pCombo);
            break;
        default:
            break;
        }
    } else if (hFrom && m_pEdit && hFrom == m_pEdit->m_hWnd && code == EN_KILLFOCUS && !m_bCancelEdit) {
        WriteBack(m_pEdit->GetWindowText());
    }
    return CListCtrl::OnCommand(wParam, lParam);
}

void CMyListCtrl::WriteBack(const std::wstring& text)
{
    if (m_nEditRow < 0 || m_nEditCol < 0 || m_nEditRow >= GetItemCount())
        return;
    SetItemText(m_nEditRow, m_nEditCol, text.c_str());
    if (m_bEditorReady) {
        // Closed: a later loss of focus reports nothing more.
        m_bEditorReady = false;
        HideEditors();
        PostToParent(m_nEditDoneCmdId, reinterpret_cast<LPARAM>(this));
    }
    RedrawRow(m_nEditRow);
    if (m_bTransparent)
        Invalidate();
}

// ---- Header, timers, scrolling, sizing ----

BOOL CMyListCtrl::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    const auto* pHdr = reinterpret_cast<const NMHDR*>(lParam);
    if (pHdr && m_wndHeader.m_hWnd && pHdr->hwndFrom == m_wndHeader.m_hWnd && OnHeaderNotify(pHdr, pResult))
        return TRUE;
    return CListCtrl::OnNotify(wParam, lParam, pResult);
}

BOOL CMyListCtrl::OnHeaderNotify(const NMHDR* pHdr, LRESULT* pResult)
{
    switch (pHdr->code) {
    case HDN_ENDTRACKW:
    case HDN_ENDTRACKA:
        SetTimer(TIMER_DIVIDER_DONE, 10);
        return FALSE;
    case HDN_BEGINTRACKW:
    case HDN_BEGINTRACKA:
    case HDN_DIVIDERDBLCLICKW:
    case HDN_DIVIDERDBLCLICKA:
    case HDN_ITEMDBLCLICKW:
    case HDN_ITEMDBLCLICKA:
        // The user may not resize. Width changes made by the program (HDN_ITEMCHANGED) pass, or
        // the platform would not take them.
        if (!m_bResizableColumns) {
            *pResult = 1;
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

void CMyListCtrl::OnTimer(UINT_PTR nId)
{
    switch (nId) {
    case TIMER_AUTOFIT:
        SetTimer(TIMER_AUTOFIT, static_cast<UINT>(m_nAutoFitPeriod));
        if (m_bAutoFitLastColumn)
            FitLastColumn();
        break;
    case TIMER_ROW_REFRESH: {
        KillTimer(nId);
        if (m_nCurRow < 0)
            break;
        RedrawRow(m_nCurRow);
        RECT rcClient;
        GetClientRect(&rcClient);
        int right = -::GetScrollPos(m_hWnd, SB_HORZ);
        const int cols = GetColumnCount();
        for (int c = 0; c < cols; ++c)
            right += GetColumnWidth(c);
        RECT rcRest{std::max(right, 0), rcClient.top, rcClient.right, rcClient.bottom};
        if (rcRest.left < rcRest.right)
            RedrawWindow(&rcRest, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        break;
    }
    case TIMER_SCROLL_WATCH: {
        const int pos = ::GetScrollPos(m_hWnd, SB_VERT);
        if (pos != m_nLastScrollPos && (m_bBkImageDrawn || m_bTransparent))
            Invalidate();
        m_nLastScrollPos = pos;
        break;
    }
    case TIMER_TIP_REST: {
        KillTimer(nId);
        // Under Wine a tool tip whose tool the pointer lies on polls for its leaving ten times a
        // second for as long as it lies there, tip shown or not. Once the tip has popped, the tool
        // tip is let go; the pointer's next move makes a new one.
        POINT pt{};
        ::GetCursorPos(&pt);
        ScreenToClient(&pt);
        if (pt.x == m_ptLastMouse.x && pt.y == m_ptLastMouse.y && m_pToolTip) {
            m_pToolTip.reset();
            m_nTipRow = m_nTipCol = -1;
        }
        break;
    }
    case TIMER_REPAINT:
        KillTimer(nId);
        RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        break;
    case TIMER_EDITOR_START:
        KillTimer(nId);
        m_bEditorReady = true;
        // Only the editor that is open now; the other one may exist from an earlier edit.
        if (IsShown(m_pCombo)) {
            m_pCombo->ShowDropDown(TRUE);
            m_pCombo->SetFocus();
        }
        if (IsShown(m_pEdit)) {
            if (m_bSelectAllOnEdit)
                m_pEdit->SetSel(0, -1);
            else
                m_pEdit->SetSel(1024, 1024);
            m_pEdit->SetFocus();
        }
        break;
    case TIMER_DIVIDER_DONE:
        KillTimer(nId);
        if (m_bTransparent)
            Invalidate();
        else
            RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        break;
    default:
        break;
    }
}

void CMyListCtrl::OnScroll()
{
    if (m_bBkImageDrawn || m_bTransparent)
        RefreshHeader();
    HideEditors();
}

void CMyListCtrl::OnSize()
{
    if (GetItemCount() < 1)
        return;
    if (m_bAutoFitLastColumn) {
        ::ShowScrollBar(m_hWnd, SB_HORZ, FALSE);
        SetTimer(TIMER_AUTOFIT, 2000);
        FitLastColumn();
    }
    RefreshHeader();
}

void CMyListCtrl::FitLastColumn()
{
    const int n = GetColumnCount();
    if (n < 1)
        return;
    int used = 0;
    for (int c = 0; c < n - 1; ++c)
        used += GetColumnWidth(c);
    // The client width already leaves out borders and a vertical scroll bar.
    RECT rcClient;
    GetClientRect(&rcClient);
    int width = rcClient.right - used - 1;
    if (GetItemCount() == 0)
        width -= 1;
    // Nothing left to fill: keep the column (negative widths would mean auto-size).
    if (width < 1)
        return;
    if (GetColumnWidth(n - 1) != width)
        SetColumnWidth(n - 1, width);
}

void CMyListCtrl::RefreshHeader()
{
    if (!m_hWnd)
        return;
    if (m_wndHeader.m_hWnd)
        m_wndHeader.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    else
        Invalidate();
}
