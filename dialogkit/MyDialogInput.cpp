// CMyDialog, input side: commands, mouse and keyboard pre-translation, scrolling
// with edit-slider links.

#include "dialogkit/MyDialog.h"

#include "controls/MyListCtrl.h"
#include "controls/MyListCtrlIds.h"
#include "controls/SkinWindow.h"
#include "platform/CWinApp.h"
#include "platform/WindowText.h"

#include <commctrl.h>
#include <dbt.h>
#include <shellapi.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

constexpr DWORD STYLE_MODAL_POPUP = 0x94C800C4; // a visible modal pop-up dialog

// Signed client coordinates of a mouse message.
int XOf(LPARAM lParam)
{
    return static_cast<short>(LOWORD(lParam));
}

int YOf(LPARAM lParam)
{
    return static_cast<short>(HIWORD(lParam));
}

bool KeyDown(int nVirtKey)
{
    return (::GetKeyState(nVirtKey) & 0x8000) != 0;
}

// Slider units per edit unit for the exact decimal steps, 0 for any other step.
int DecimalScale(float fStep, int* pDecimals = nullptr)
{
    static const struct {
        float fStep;
        int nScale;
        int nDecimals;
    } kSteps[] = {{0.1f, 10, 1}, {0.01f, 100, 2}, {0.001f, 1000, 3}, {0.0001f, 10000, 4}};
    for (const auto& s : kSteps)
        if (fStep == s.fStep) {
            if (pDecimals)
                *pDecimals = s.nDecimals;
            return s.nScale;
        }
    return 0;
}

// The rows of an owner-data list of ours, to be read without the platform: through it every cell
// is a message and a notification, and a copy of 5000 rows held the window for seconds.
const CListRowSource* OwnerDataSource(HWND hList)
{
    if (!(::GetWindowLongPtrW(hList, GWL_STYLE) & LVS_OWNERDATA))
        return nullptr;
    const auto* pList = dynamic_cast<const CMyListCtrl*>(CWnd::FromHandle(hList));
    return pList ? pList->GetRowSource() : nullptr;
}

std::wstring ListCellText(HWND hList, int nItem, int nSubItem)
{
    wchar_t szText[1024] = {};
    LVITEMW item = {};
    item.iSubItem = nSubItem;
    item.pszText = szText;
    item.cchTextMax = 1024;
    ::SendMessageW(hList, LVM_GETITEMTEXTW, static_cast<WPARAM>(nItem), reinterpret_cast<LPARAM>(&item));
    return szText;
}

// From the source when there is one, cut as the platform's answer would be.
std::wstring ListCellText(HWND hList, const CListRowSource* pSource, int nItem, int nSubItem)
{
    if (!pSource)
        return ListCellText(hList, nItem, nSubItem);
    const wchar_t* cell = nItem < pSource->GetRowCount() ? pSource->GetCellText(nItem, nSubItem) : nullptr;
    return std::wstring(cell ? cell : L"").substr(0, 1023);
}

std::wstring ListColumnTitle(HWND hList, int nColumn)
{
    wchar_t szText[256] = {};
    LVCOLUMNW col = {};
    col.mask = LVCF_TEXT;
    col.pszText = szText;
    col.cchTextMax = 256;
    if (!::SendMessageW(hList, LVM_GETCOLUMNW, static_cast<WPARAM>(nColumn), reinterpret_cast<LPARAM>(&col)))
        return {};
    return szText;
}

int ListColumnCount(HWND hList)
{
    HWND hHeader = reinterpret_cast<HWND>(::SendMessageW(hList, LVM_GETHEADER, 0, 0));
    if (hHeader)
        return static_cast<int>(::SendMessageW(hHeader, HDM_GETITEMCOUNT, 0, 0));
    // Without a header the columns are counted by asking for them one by one.
    int n = 0;
    LVCOLUMNW col = {};
    col.mask = LVCF_WIDTH;
    while (n < 256 &&
           ::SendMessageW(hList, LVM_GETCOLUMNW, static_cast<WPARAM>(n), reinterpret_cast<LPARAM>(&col)))
        ++n;
    return n;
}

bool ListHasHeader(HWND hList)
{
    return ::SendMessageW(hList, LVM_GETHEADER, 0, 0) != 0 &&
           (::GetWindowLongPtrW(hList, GWL_STYLE) & LVS_NOCOLUMNHEADER) == 0;
}

// The list's rows (all, or only the selected ones) as comma-separated lines, with a heading line
// of the column titles when the list shows a header.
std::wstring ListRowsText(HWND hList, bool bSelectedOnly)
{
    const int nColumns = ListColumnCount(hList);
    std::wstring text;
    if (ListHasHeader(hList) && nColumns > 0) {
        for (int c = 0; c < nColumns; ++c) {
            if (c)
                text += L",";
            text += ListColumnTitle(hList, c);
        }
        text += L"\r\n";
    }
    const int nItems = static_cast<int>(::SendMessageW(hList, LVM_GETITEMCOUNT, 0, 0));
    const CListRowSource* pSource = OwnerDataSource(hList);
    auto addRow = [&](int nItem) {
        for (int c = 0; c < std::max(nColumns, 1); ++c) {
            if (c)
                text += L",";
            text += ListCellText(hList, pSource, nItem, c);
        }
        text += L"\r\n";
    };
    const bool bAll =
        !bSelectedOnly || static_cast<int>(::SendMessageW(hList, LVM_GETSELECTEDCOUNT, 0, 0)) >= nItems;
    if (bAll) {
        for (int i = 0; i < nItems; ++i)
            addRow(i);
        return text;
    }
    for (int i = -1;;) {
        i = static_cast<int>(
            ::SendMessageW(hList, LVM_GETNEXTITEM, static_cast<WPARAM>(i), MAKELPARAM(LVNI_SELECTED, 0)));
        if (i < 0 || i >= nItems)
            break;
        addRow(i);
    }
    return text;
}

} // namespace

// ---- Registration -------------------------------------------------------------------------------

void CMyDialog::SetWheelStep(int nID, double dStep, BOOL bReal)
{
    for (auto& w : m_lstWheelSteps)
        if (w.nID == nID) {
            w.dStep = dStep;
            w.bReal = bReal;
            return;
        }
    m_lstWheelSteps.push_back({nID, bReal, dStep});
}

void CMyDialog::LinkEditSlider(int nSliderID, int nEditID, float fStep)
{
    for (auto& l : m_lstEditSliderLinks)
        if (l.nSliderID == nSliderID) {
            l.nEditID = nEditID;
            l.fStep = fStep;
            return;
        }
    m_lstEditSliderLinks.push_back({nSliderID, nEditID, fStep});
}

const CMyDialog::EditSliderLink* CMyDialog::FindLinkByEdit(int nEditID) const
{
    for (const auto& l : m_lstEditSliderLinks)
        if (l.nEditID == nEditID)
            return &l;
    return nullptr;
}

const CMyDialog::EditSliderLink* CMyDialog::FindLinkBySlider(int nSliderID) const
{
    for (const auto& l : m_lstEditSliderLinks)
        if (l.nSliderID == nSliderID)
            return &l;
    return nullptr;
}

// ---- Commands -----------------------------------------------------------------------------------

BOOL CMyDialog::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const int nID = LOWORD(wParam);
    const int nCode = HIWORD(wParam);

    switch (nCode) {
    case EN_KILLFOCUS:
        m_nFocusedEditId = 0;
        RedrawItem(nID);
        break;
    case EN_SETFOCUS:
        m_nFocusedEditId = nID;
        RedrawItem(nID);
        break;
    case EN_CHANGE:
    case EN_HSCROLL:
    case EN_VSCROLL:
        RedrawItem(nID);
        break;
    default:
        break;
    }
    if (nCode == EN_CHANGE) {
        if (const EditSliderLink* pLink = FindLinkByEdit(nID)) {
            HWND hSlider = FindItem(pLink->nSliderID, FALSE);
            if (hSlider) {
                double dValue = std::wcstod(GetDlgItemText(nID).c_str(), nullptr);
                int nScale = DecimalScale(pLink->fStep);
                // Rounded: 1.25 * 100 is 124.999... in binary.
                int nPos = nScale ? static_cast<int>(std::lround(dValue * nScale)) : static_cast<int>(dValue);
                ::SendMessageW(hSlider, TBM_SETPOS, TRUE, nPos);
            }
        }
    }

    if (GetStyle() & WS_CHILD) {
        if (wParam == IDOK || wParam == IDCANCEL || m_bEmbedded) {
            if (HWND hParent = ::GetParent(m_hWnd))
                ::PostMessageW(hParent, WM_COMMAND, wParam, lParam);
            return TRUE;
        }
    } else if ((wParam == IDOK || wParam == IDCANCEL) && AfxGetMainWnd() == this && m_tray.IsShown()) {
        m_tray.Show(NIM_DELETE, nullptr, nullptr, 0);
    }

    if (nCode == 0) {
        switch (nID) {
        case CMD_TOGGLE_TOPMOST:
            ToggleOnTop();
            return TRUE;
        case CMD_MINIMISE:
            SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
            return TRUE;
        case CMD_TOGGLE_MAXIMISE:
            ToggleMaximise();
            return TRUE;
        case CMD_CLOSE:
            SendMessage(WM_CLOSE, 0, 0);
            return TRUE;
        default:
            break;
        }
        if (m_serial.OnCommand(nID))
            return TRUE;
    }

    if (nID > 0 && nID == m_nAutoStartCheckId) {
        // Named after the executable, holding this program's own path, for the current user.
        SetAutoRun(L"", ::IsDlgButtonChecked(m_hWnd, nID) == BST_CHECKED, L"", std::nullopt, false);
    }

    if (nID == LIST_CMD_RESERVED || nID == LIST_CMD_CLICK || nID == CONTROL_ID_NONE)
        return TRUE;
    if (nID >= NOTIFY_FIRST && nID <= NOTIFY_LAST)
        return TRUE;
    if (lParam == CONTROL_ID_NONE)
        return TRUE;
    return CDialog::OnCommand(wParam, lParam);
}

void CMyDialog::RegisterStateCheckBoxes(int nAutoStartId, int nOnTopId)
{
    m_nAutoStartCheckId = nAutoStartId;
    m_frame.RegisterOnTopCheckBox(nOnTopId);
    if (!m_hWnd || nAutoStartId == -1)
        return;
    if (HWND hBox = FindItem(nAutoStartId))
        ::SendMessageW(hBox, BM_SETCHECK, IsAutoRun(L"", L"", false) ? BST_CHECKED : BST_UNCHECKED, 0);
}

// ---- Pre-translation ----------------------------------------------------------------------------

CMyDialog* CMyDialog::OwningDialog(HWND hWnd)
{
    for (; hWnd; hWnd = ::GetParent(hWnd)) {
        if (auto* pDlg = dynamic_cast<CMyDialog*>(CWnd::FromHandle(hWnd)))
            return pDlg;
        if (!(::GetWindowLongPtrW(hWnd, GWL_STYLE) & WS_CHILD))
            break;
    }
    return nullptr;
}

BOOL CMyDialog::CopyToClipboard(const std::wstring& text)
{
    if (text.empty() || !::OpenClipboard(m_hWnd))
        return FALSE;
    BOOL bDone = FALSE;
    ::EmptyClipboard();
    const size_t nBytes = (text.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL hMem = ::GlobalAlloc(GMEM_MOVEABLE, nBytes)) {
        if (void* p = ::GlobalLock(hMem)) {
            std::memcpy(p, text.c_str(), nBytes);
            ::GlobalUnlock(hMem);
            bDone = ::SetClipboardData(CF_UNICODETEXT, hMem) != nullptr;
        }
        if (!bDone)
            ::GlobalFree(hMem);
    }
    ::CloseClipboard();
    return bDone;
}

std::wstring CMyDialog::CopyTextForKey(HWND hWnd, WPARAM nKey)
{
    // The edit inside a drop-down combo box speaks for its combo box.
    if (!IsClass(hWnd, L"COMBOBOX") && IsClass(::GetParent(hWnd), L"COMBOBOX"))
        hWnd = ::GetParent(hWnd);
    std::wstring text;
    if (IsClass(hWnd, L"COMBOBOX")) {
        if (nKey == 'A') {
            const int n = static_cast<int>(::SendMessageW(hWnd, CB_GETCOUNT, 0, 0));
            for (int i = 0; i < n; ++i) {
                int nLen = static_cast<int>(::SendMessageW(hWnd, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0));
                if (nLen < 0)
                    continue;
                std::wstring entry(static_cast<size_t>(nLen) + 1, L'\0');
                ::SendMessageW(hWnd, CB_GETLBTEXT, static_cast<WPARAM>(i),
                               reinterpret_cast<LPARAM>(entry.data()));
                entry.resize(static_cast<size_t>(nLen));
                text += entry + L"\r\n";
            }
        } else if (nKey == 'C') {
            const int nSel = static_cast<int>(::SendMessageW(hWnd, CB_GETCURSEL, 0, 0));
            if (nSel >= 0) {
                int nLen =
                    static_cast<int>(::SendMessageW(hWnd, CB_GETLBTEXTLEN, static_cast<WPARAM>(nSel), 0));
                if (nLen > 0) {
                    text.assign(static_cast<size_t>(nLen) + 1, L'\0');
                    ::SendMessageW(hWnd, CB_GETLBTEXT, static_cast<WPARAM>(nSel),
                                   reinterpret_cast<LPARAM>(text.data()));
                    text.resize(static_cast<size_t>(nLen));
                }
            }
        }
    } else if (IsClass(hWnd, L"SysListView32")) {
        if (nKey == 'A') {
            LVITEMW item = {};
            item.stateMask = LVIS_SELECTED;
            item.state = LVIS_SELECTED;
            ::SendMessageW(hWnd, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
        } else if (nKey == 'C' || nKey == 'S') {
            text = ListRowsText(hWnd, nKey == 'S');
        } else if (nKey == 'L') {
            const int nColumn = static_cast<int>(::SendMessageW(hWnd, LVM_GETSELECTEDCOLUMN, 0, 0));
            if (nColumn >= 0 && nColumn < ListColumnCount(hWnd)) {
                if (ListHasHeader(hWnd))
                    text += ListColumnTitle(hWnd, nColumn) + L"\r\n";
                const int nItems = static_cast<int>(::SendMessageW(hWnd, LVM_GETITEMCOUNT, 0, 0));
                const CListRowSource* pSource = OwnerDataSource(hWnd);
                for (int i = 0; i < nItems; ++i)
                    text += ListCellText(hWnd, pSource, i, nColumn) + L"\r\n";
            }
        }
    }
    return text;
}

BOOL CMyDialog::PreTranslateMessage(MSG* pMsg)
{
    // Mouse activity anywhere inside wakes the mouse polls of every dialog up the chain (a
    // control may answer WM_SETCURSOR itself, so the dialog does not always see that one).
    if (pMsg && m_hWnd)
        OnMouseSeen(pMsg->message, pMsg->hwnd);
    // Every dialog up the parent chain sees the message; only the nearest one acts on it, so an
    // embedded dialog's events are not reported twice.
    if (!pMsg || !m_hWnd || OwningDialog(pMsg->hwnd) != this)
        return CDialog::PreTranslateMessage(pMsg);

    const HWND hWnd = pMsg->hwnd;
    const int nCtrlId = hWnd && hWnd != m_hWnd ? ::GetDlgCtrlID(hWnd) : 0;

    switch (pMsg->message) {
    case WM_RBUTTONDOWN:
        SendCommand(NOTIFY_RBUTTON_DOWN, nCtrlId);
        break;
    case WM_RBUTTONUP:
        SendCommand(NOTIFY_RBUTTON_UP, nCtrlId);
        break;
    case WM_LBUTTONDBLCLK:
        SendCommand(NOTIFY_LBUTTON_DBL, nCtrlId);
        break;
    case WM_RBUTTONDBLCLK:
        SendCommand(NOTIFY_RBUTTON_DBL, nCtrlId);
        break;
    case WM_MOUSEHOVER:
        SendCommand(NOTIFY_MOUSE_HOVER, nCtrlId);
        break;
    case WM_MOUSELEAVE:
        SendCommand(NOTIFY_MOUSE_LEAVE, nCtrlId);
        break;
    case WM_DROPFILES:
        SendCommand(NOTIFY_DROP_FILES, static_cast<LPARAM>(pMsg->wParam));
        break;

    case WM_MOUSEWHEEL: {
        const short nDelta = GET_WHEEL_DELTA_WPARAM(pMsg->wParam);
        for (const auto& w : m_lstWheelSteps) {
            if (w.nID != nCtrlId || nCtrlId == 0)
                continue;
            // Forward (away from the user) lowers the value.
            const double dStep = nDelta > 0 ? -w.dStep : w.dStep;
            if (w.bReal) {
                double dValue = std::wcstod(GetDlgItemText(nCtrlId).c_str(), nullptr) + dStep;
                wchar_t szText[64] = {};
                std::swprintf(szText, 64, L"%.14f", dValue);
                SetItemText(nCtrlId, szText);
            } else {
                int nValue = static_cast<int>(GetDlgItemInt(nCtrlId, nullptr, TRUE));
                SetItemInt(nCtrlId, static_cast<int>(nValue + dStep));
            }
            PostMessage(WM_COMMAND, MAKEWPARAM(static_cast<WORD>(nCtrlId), EN_CHANGE), 0);
            break;
        }
        m_nLastWheelDelta = nDelta;
        SendCommand(NOTIFY_WHEEL, nCtrlId);
        break;
    }

    case WM_LBUTTONDOWN: {
        m_nLastClickedId = nCtrlId;
        SendCommand(NOTIFY_LBUTTON_DOWN, nCtrlId);
        POINT pt = {XOf(pMsg->lParam), YOf(pMsg->lParam)};
        if (hWnd != m_hWnd)
            ::MapWindowPoints(hWnd, m_hWnd, &pt, 1);
        m_ptMouseDown = pt;
        if (KeyDown(VK_CONTROL) && KeyDown('C') && hWnd) {
            CopyToClipboard(WindowTextOf(hWnd));
        }
        break;
    }

    case WM_MBUTTONUP:
        if (KeyDown(VK_MENU)) {
            if (KeyDown(VK_CONTROL))
                LoadLanguage(GetLangId());
            if (KeyDown(VK_SHIFT))
                SetTimer(TIMER_WRITE_TEMPLATE, 5000);
        }
        break;

    case WM_LBUTTONUP: {
        if (nCtrlId && m_skins.IsReadOnlyEdit(nCtrlId))
            RedrawControl(hWnd);
        else if (IsClass(hWnd, L"EDIT") && (::GetWindowLongPtrW(hWnd, GWL_STYLE) & ES_READONLY))
            RedrawControl(hWnd);
        if (m_bEmbedded)
            PostCommandToParent(NOTIFY_CHILD_LBUTTON_UP, nCtrlId);

        if (KeyDown(VK_CONTROL) && KeyDown('A')) {
            POINT pt = {XOf(pMsg->lParam), YOf(pMsg->lParam)};
            if (hWnd != m_hWnd)
                ::MapWindowPoints(hWnd, m_hWnd, &pt, 1);
            POINT a = m_ptMouseDown, b = pt;
            ::ClientToScreen(m_hWnd, &a);
            ::ClientToScreen(m_hWnd, &b);
            RECT span = {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x) + 1,
                         std::max(a.y, b.y) + 1};
            std::wstring text;
            for (HWND hChild = ::GetWindow(m_hWnd, GW_CHILD); hChild;
                 hChild = ::GetWindow(hChild, GW_HWNDNEXT)) {
                RECT rc = {};
                ::GetWindowRect(hChild, &rc);
                const POINT corners[4] = {
                    {rc.left, rc.top}, {rc.right, rc.top}, {rc.left, rc.bottom}, {rc.right, rc.bottom}};
                bool bInside = false;
                for (const POINT& c : corners)
                    bInside = bInside || ::PtInRect(&span, c);
                if (bInside)
                    text += WindowTextOf(hChild) + L"\r\n";
            }
            if (!text.empty() && CopyToClipboard(text))
                return TRUE;
        }

        POINT ptCursor = {};
        ::GetCursorPos(&ptCursor);
        // Only the dialog's own controls are candidates: a release on the dialog itself looks
        // among its children, never among the windows that follow it on the desktop (whose
        // "id" would be a menu handle, and which may belong to any program).
        HWND hFirst = hWnd == m_hWnd ? ::GetWindow(m_hWnd, GW_CHILD) : hWnd;
        for (HWND hCand = hFirst; hCand; hCand = ::GetWindow(hCand, GW_HWNDNEXT)) {
            if (!(::GetWindowLongPtrW(hCand, GWL_STYLE) & WS_CHILD) || !::IsChild(m_hWnd, hCand))
                break;
            const int nCandId = ::GetDlgCtrlID(hCand);
            RECT rc = {};
            ::GetWindowRect(hCand, &rc);
            if (nCandId <= 0 || !::PtInRect(&rc, ptCursor) || !::IsWindowEnabled(hCand) ||
                static_cast<DWORD>(::GetWindowLongPtrW(hCand, GWL_STYLE)) == STYLE_MODAL_POPUP)
                continue;
            m_nLastClickedId = nCandId;
            if (IsClass(hCand, L"EDIT"))
                m_nLastClickedEditId = nCandId;
            SendCommand(NOTIFY_CLICK, 0);
            break;
        }
        break;
    }

    case WM_KEYUP:
        if (KeyDown(VK_CONTROL)) {
            std::wstring text = CopyTextForKey(hWnd, pMsg->wParam);
            if (!text.empty() && CopyToClipboard(text))
                return TRUE;
        }
        break;

    default:
        break;
    }
    return CDialog::PreTranslateMessage(pMsg);
}

// ---- Window procedure ---------------------------------------------------------------------------

void CMyDialog::OnScroll(HWND hWndScroll)
{
    const int nCtrlId = hWndScroll ? ::GetDlgCtrlID(hWndScroll) : 0;
    if (m_bEmbedded)
        PostCommandToParent(NOTIFY_CHILD_SCROLL, nCtrlId);
    const EditSliderLink* pLink = hWndScroll ? FindLinkBySlider(nCtrlId) : nullptr;
    if (!pLink)
        return;
    const int nPos = static_cast<int>(::SendMessageW(hWndScroll, TBM_GETPOS, 0, 0));
    if (pLink->fStep >= 1.0f) {
        SetItemInt(pLink->nEditID, static_cast<int>(nPos * pLink->fStep));
        return;
    }
    int nDecimals = 6;
    DecimalScale(pLink->fStep, &nDecimals);
    wchar_t szText[64] = {};
    std::swprintf(szText, 64, L"%.*f", nDecimals, static_cast<double>(nPos) * pLink->fStep);
    SetItemText(pLink->nEditID, szText);
}

bool CMyDialog::OnInputMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT&)
{
    if (message == WM_SETCURSOR)
        OnMouseSeen(message, reinterpret_cast<HWND>(wParam));
    else if (message == WM_MOUSEMOVE)
        OnMouseSeen(message, m_hWnd);

    switch (message) {
    case WM_DEVICECHANGE:
        SendCommand(NOTIFY_DEVICE, wParam == DBT_DEVICEREMOVECOMPLETE ? 0 : 1);
        break;
    case WM_HSCROLL:
    case WM_VSCROLL:
        OnScroll(reinterpret_cast<HWND>(lParam));
        break;
    case WM_DROPFILES:
        if (GetStyle() & WS_CHILD)
            if (HWND hParent = ::GetParent(m_hWnd))
                ::PostMessageW(hParent, WM_DROPFILES, wParam, 0);
        break;
    default:
        break;
    }
    return false;
}
