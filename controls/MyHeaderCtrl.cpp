#include "controls/MyHeaderCtrl.h"

#include "controls/SkinImage.h"
#include "platform/CMemDC.h"
#include "platform/CPaintDC.h"
#include "platform/CSaveDC.h"
#include "platform/CSelectObject.h"

#include <algorithm>

#include <commctrl.h>

namespace {

// The separator pen is shared by every header of the process and lives as long as it.
HPEN SeparatorPen()
{
    static CPen pen(::CreatePen(PS_SOLID, 1, RGB(210, 210, 210)));
    return pen;
}

} // namespace

CMyHeaderCtrl& CMyHeaderCtrl::SetFontHeight(int nFontHeight)
{
    m_nFontHeight = nFontHeight;
    return *this;
}

HFONT CMyHeaderCtrl::SelectFont()
{
    HFONT hListFont = reinterpret_cast<HFONT>(::SendMessageW(GetParent(), WM_GETFONT, 0, 0));
    if (!hListFont)
        hListFont = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    if (m_nFontHeight < 1)
        return hListFont;
    if (!m_font || m_hFontSource != hListFont || m_nFontMadeHeight != m_nFontHeight) {
        LOGFONTW lf{};
        if (::GetObjectW(hListFont, sizeof lf, &lf) == 0)
            return hListFont;
        lf.lfHeight = m_nFontHeight;
        lf.lfWidth = 0;
        m_font.Attach(::CreateFontIndirectW(&lf));
        m_hFontSource = hListFont;
        m_nFontMadeHeight = m_nFontHeight;
    }
    return m_font ? static_cast<HFONT>(m_font) : hListFont;
}

void CMyHeaderCtrl::Paint(HDC hTarget)
{
    RECT rcClient;
    GetClientRect(&rcClient);
    CMemDC dc(hTarget, rcClient, m_bTransparent);
    CSaveDC saved(dc);

    ::SelectObject(dc, SelectFont());
    ::SelectObject(dc, SeparatorPen());
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, m_clrText);

    HWND hList = GetParent();
    const int count = GetItemCount();
    if (count <= 0 && !m_bTransparent)
        GradientFillRect(dc, rcClient, m_clrBk1, m_clrBk2, true);
    for (int i = 0; i < count; ++i) {
        RECT rc{};
        if (!GetItemRect(i, &rc))
            continue;
        if (i > 0)
            ++rc.left;
        if (i == count - 1)
            rc.right = rcClient.right;
        if (!m_bTransparent)
            GradientFillRect(dc, rc, m_clrBk1, m_clrBk2, true);
        ::MoveToEx(dc, rc.right, rc.top, nullptr);
        ::LineTo(dc, rc.right, rc.bottom + 2);

        wchar_t title[128] = L"";
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_FMT;
        column.pszText = title;
        column.cchTextMax = static_cast<int>(std::size(title));
        // The header item's own order may differ from the list's column index only with
        // reordering, which this list does not offer.
        if (!::SendMessageW(hList, LVM_GETCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column)))
            column.fmt = LVCFMT_LEFT;
        title[std::size(title) - 1] = L'\0';
        UINT format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS;
        RECT rcText = rc;
        switch (column.fmt & LVCFMT_JUSTIFYMASK) {
        case LVCFMT_RIGHT:
            format |= DT_RIGHT;
            rcText.right -= 3;
            break;
        case LVCFMT_CENTER:
            format |= DT_CENTER;
            break;
        default:
            format |= DT_LEFT;
            rcText.left += 3;
            break;
        }
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        const int sort = GetItem(i, &item) ? item.fmt & (HDF_SORTUP | HDF_SORTDOWN) : 0;
        if (sort) {
            // The sort arrow at the right end; the title keeps clear of it.
            const int size = 4;
            const int x = rc.right - 6 - size;
            const int y = (rc.top + rc.bottom) / 2;
            const POINT up[3] = {{x - size, y + size / 2}, {x + size, y + size / 2}, {x, y - size / 2}};
            const POINT down[3] = {{x - size, y - size / 2}, {x + size, y - size / 2}, {x, y + size / 2}};
            CBrush brush(::CreateSolidBrush(m_clrText));
            CSelectObject selectBrush(dc, brush);
            ::Polygon(dc, sort & HDF_SORTUP ? up : down, 3);
            rcText.right = std::min(rcText.right, static_cast<LONG>(x - size - 2));
        }
        ::DrawTextW(dc, title, -1, &rcText, format);
    }
}

LRESULT CMyHeaderCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case HDM_LAYOUT: {
        LRESULT result = Default();
        auto* layout = reinterpret_cast<HDLAYOUT*>(lParam);
        if (result && layout && m_nHeight >= 1) {
            if (layout->pwpos)
                layout->pwpos->cy = m_nHeight;
            if (layout->prc)
                layout->prc->top = (layout->pwpos ? layout->pwpos->y : 0) + m_nHeight;
        }
        return result;
    }
    case WM_PAINT: {
        CPaintDC dc(m_hWnd);
        if (dc)
            Paint(dc);
        return 0;
    }
    case WM_PRINTCLIENT:
        Paint(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_ERASEBKGND:
        if (m_bTransparent)
            return 1;
        break;
    default:
        break;
    }
    return CHeaderCtrl::WindowProc(message, wParam, lParam);
}
