#include "controls/MyListBox.h"

#include "controls/SkinImage.h"
#include "platform/CGdiObject.h"
#include "platform/CMemDC.h"
#include "platform/CPaintDC.h"
#include "platform/CSaveDC.h"
#include "platform/CSelectObject.h"

namespace {

const CMyListBox::StateColors DEFAULT_COLORS[4] = {
    {0xFFFFFF, 0x000000, CLR_NONE, 0xFFFFFF}, // normal
    {0xFAD2B4, 0x000000, 0xF00000, 0xF5B48C}, // selected
    {0xFDEBDC, 0x000000, 0xFAD2B4, 0xFAD2B4}, // hover
    {0xF0F0F0, 0x808080, CLR_NONE, 0xF0F0F0}, // disabled
};

bool ValidState(int nState)
{
    return nState >= CMyListBox::STATE_NORMAL && nState <= CMyListBox::STATE_DISABLED;
}

void FillSolid(HDC dc, const RECT& rect, COLORREF colour)
{
    CBrush brush(::CreateSolidBrush(colour));
    ::FillRect(dc, &rect, brush);
}

} // namespace

CMyListBox::CMyListBox()
{
    for (int i = 0; i < 4; ++i)
        m_colors[i] = DEFAULT_COLORS[i];
}

void CMyListBox::PreSubclassWindow()
{
    ModifyStyle(0, ATTACH_STYLES);
    if (m_nItemHeight > 0)
        CListBox::SetItemHeight(0, static_cast<UINT>(m_nItemHeight));
    Invalidate(FALSE);
}

void CMyListBox::SetItemHeight(int nHeight)
{
    if (nHeight <= 0)
        return;
    m_nItemHeight = nHeight;
    if (IsWindow()) {
        // A fixed-height box asks for the height only when it is created: tell it directly.
        CListBox::SetItemHeight(0, static_cast<UINT>(nHeight));
        RepaintNow();
    }
}

void CMyListBox::SelectItem(int nIndex)
{
    m_nSelected = nIndex;
    if (!IsWindow())
        return;
    // LB_SETSEL answers LB_ERR in a single-selection box, which selects with LB_SETCURSEL.
    if (GetStyle() & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL))
        SetSel(nIndex, TRUE);
    else
        SetCurSel(nIndex);
    RepaintNow();
}

void CMyListBox::SetStateColors(int nState, const StateColors& colors)
{
    if (!ValidState(nState))
        return;
    m_colors[nState] = colors;
    RepaintNow();
}

CMyListBox::StateColors CMyListBox::GetStateColors(int nState) const
{
    return m_colors[ValidState(nState) ? nState : STATE_NORMAL];
}

void CMyListBox::SetBkImage(std::wstring_view file)
{
    m_strBkImage = file;
    RepaintNow();
}

void CMyListBox::SetItemImages(std::wstring_view normal, std::wstring_view selected, std::wstring_view hover)
{
    m_strItemImages[STATE_NORMAL] = normal;
    m_strItemImages[STATE_SELECTED] = selected;
    m_strItemImages[STATE_HOVER] = hover;
    RepaintNow();
}

void CMyListBox::SetTransparent(bool bTransparent)
{
    m_bTransparent = bTransparent;
    RepaintNow();
}

void CMyListBox::SetDrawFlags(UINT nFlags)
{
    m_nDrawFlags = nFlags;
    RepaintNow();
}

void CMyListBox::RepaintNow()
{
    if (IsWindow())
        RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void CMyListBox::SetHoverIndex(int nIndex)
{
    if (nIndex == m_nHover)
        return;
    m_nHover = nIndex;
    RepaintNow();
}

int CMyListBox::GetItemState(int nIndex) const
{
    if (!IsWindowEnabled())
        return STATE_DISABLED;
    if (GetSel(nIndex) > 0)
        return STATE_SELECTED;
    return nIndex == m_nHover ? STATE_HOVER : STATE_NORMAL;
}

void CMyListBox::DrawListItem(HDC dc, int nIndex, const RECT& rect)
{
    int nState = GetItemState(nIndex);
    const StateColors& colors = m_colors[nState];
    CSaveDC save(dc);

    bool bDrawn = nState != STATE_DISABLED && !m_strItemImages[nState].empty() &&
                  DrawImageFile(m_strItemImages[nState], dc, rect, DRAW_IMAGE_STRETCH);
    if (!bDrawn && !(m_bTransparent && nState == STATE_NORMAL)) {
        if ((m_nDrawFlags & DRAW_GRADIENT) && colors.clrBk != colors.clrBk2)
            GradientFillRect(dc, rect, colors.clrBk, colors.clrBk2, true);
        else
            FillSolid(dc, rect, colors.clrBk);
    }
    if (colors.clrFrame != CLR_NONE) {
        CBrush frame(::CreateSolidBrush(colors.clrFrame));
        ::FrameRect(dc, &rect, frame);
    }

    std::wstring text = GetText(nIndex);
    RECT textRect = rect;
    textRect.left += 4;
    textRect.right -= 2;
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, colors.clrText);
    HFONT hFont = GetFont();
    CSelectObject font(dc, hFont ? hFont : ::GetStockObject(DEFAULT_GUI_FONT));
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect,
                DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);

    if ((m_nDrawFlags & DRAW_FOCUS_RECT) && ::GetFocus() == m_hWnd &&
        static_cast<int>(SendMessage(LB_GETCARETINDEX)) == nIndex) {
        ::SetTextColor(dc, RGB(0, 0, 0));
        ::SetBkColor(dc, RGB(255, 255, 255));
        RECT focus = rect;
        ::InflateRect(&focus, -1, -1);
        ::DrawFocusRect(dc, &focus);
    }
}

void CMyListBox::DrawControl(HDC dc)
{
    RECT rc;
    GetClientRect(&rc);
    if (rc.right <= rc.left || rc.bottom <= rc.top)
        return;
    if (!m_bTransparent) {
        bool bImage = !m_strBkImage.empty() && DrawImageFile(m_strBkImage, dc, rc, DRAW_IMAGE_STRETCH);
        if (!bImage)
            FillSolid(dc, rc, m_colors[IsWindowEnabled() ? STATE_NORMAL : STATE_DISABLED].clrBk);
    }
    int nCount = GetCount();
    for (int i = GetTopIndex(); i >= 0 && i < nCount; ++i) {
        RECT item{};
        if (GetItemRect(i, &item) == LB_ERR || item.top >= rc.bottom)
            break;
        DrawListItem(dc, i, item);
    }
}

LRESULT CMyListBox::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        CPaintDC paint(m_hWnd);
        RECT rc;
        GetClientRect(&rc);
        CMemDC buffer(paint, rc, m_bTransparent);
        DrawControl(buffer);
        return 0;
    }
    case WM_PRINTCLIENT:
        DrawControl(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_ERASEBKGND:
        return 1; // the paint covers the box
    case WM_MOUSEMOVE: {
        POINT pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (!m_bTrackingLeave) {
            TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, m_hWnd, 0};
            m_bTrackingLeave = ::TrackMouseEvent(&tme) != FALSE;
        }
        if (pt.x != m_ptLastMove.x || pt.y != m_ptLastMove.y) {
            m_ptLastMove = pt;
            BOOL bOutside = TRUE;
            int nIndex = GetCount() > 0 ? static_cast<int>(ItemFromPoint(pt, bOutside)) : -1;
            SetHoverIndex(bOutside ? -1 : nIndex);
        }
        break;
    }
    case WM_MOUSELEAVE:
        m_bTrackingLeave = false;
        m_ptLastMove = {-1, -1};
        m_nHover = -1;
        RepaintNow();
        break;
    case WM_LBUTTONDOWN: {
        LRESULT result = Default();
        RepaintNow();
        return result;
    }
    case LB_DELETESTRING:
    case LB_RESETCONTENT: {
        LRESULT result = Default();
        if (m_nHover >= GetCount())
            m_nHover = -1;
        Invalidate(FALSE);
        return result;
    }
    case WM_KEYDOWN:
    case WM_ENABLE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_VSCROLL:
    case WM_HSCROLL:
    case WM_MOUSEWHEEL:
    case LB_SETCURSEL:
    case LB_SETSEL:
    case LB_ADDSTRING:
    case LB_INSERTSTRING:
    case LB_SETTOPINDEX: {
        // The platform may draw these changes straight onto the screen; paint over them.
        LRESULT result = Default();
        Invalidate(FALSE);
        return result;
    }
    default:
        break;
    }
    return CListBox::WindowProc(message, wParam, lParam);
}

BOOL CMyListBox::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    if (message == WM_MEASUREITEM) {
        auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (m_nItemHeight <= 0)
            return FALSE; // the platform's height stays
        mis->itemHeight = static_cast<UINT>(m_nItemHeight);
        *pResult = TRUE;
        return TRUE;
    }
    if (message == WM_DRAWITEM) {
        auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        if (dis->itemID != static_cast<UINT>(-1)) {
            CMemDC buffer(dis->hDC, dis->rcItem, m_bTransparent);
            DrawListItem(buffer, static_cast<int>(dis->itemID), dis->rcItem);
        }
        *pResult = TRUE;
        return TRUE;
    }
    if (message == WM_COMMAND && HIWORD(wParam) == LBN_SELCHANGE)
        Invalidate(FALSE); // the parent still hears of it
    return CListBox::OnChildNotify(message, wParam, lParam, pResult);
}
