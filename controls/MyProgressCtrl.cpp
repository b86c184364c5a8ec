#include "controls/MyProgressCtrl.h"

#include "controls/SkinImage.h"
#include "platform/CGdiObject.h"
#include "platform/CMemDC.h"
#include "platform/CPaintDC.h"
#include "platform/CSaveDC.h"
#include "platform/CSelectObject.h"

#include <algorithm>
#include <cstdint>
#include <cwchar>

namespace {

const COLORREF FRAME_COLOR = 0xD2D2D2;

struct ProgressDefaults {
    std::wstring strBkImage;
    std::wstring strBarImage;
    COLORREF clrBar[2] = {0x80E080, 0x30A030};
    COLORREF clrText = 255;
};

ProgressDefaults& Defaults()
{
    static ProgressDefaults defaults;
    return defaults;
}

void FillPair(HDC dc, const RECT& rect, const COLORREF (&pair)[2])
{
    if (rect.right <= rect.left || rect.bottom <= rect.top)
        return;
    if (pair[0] != pair[1] && GradientFillRect(dc, rect, pair[0], pair[1], true))
        return;
    CBrush brush(::CreateSolidBrush(pair[0]));
    ::FillRect(dc, &rect, brush);
}

} // namespace

CMyProgressCtrl::CMyProgressCtrl()
{
    const ProgressDefaults& defaults = Defaults();
    m_clrPairs[COLORS_BAR][0] = defaults.clrBar[0];
    m_clrPairs[COLORS_BAR][1] = defaults.clrBar[1];
    m_clrPairs[COLORS_BACKGROUND][0] = 0xFFFFFF;
    m_clrPairs[COLORS_BACKGROUND][1] = 0xE8E8E8;
    m_clrPairs[COLORS_BUSY][0] = 0x60C0FF;
    m_clrPairs[COLORS_BUSY][1] = 0x2080E0;
    m_clrText = defaults.clrText;
    m_strBkImage = defaults.strBkImage;
    m_strBarImage = defaults.strBarImage;
}

void CMyProgressCtrl::SetDefaultProgressImages(std::wstring_view background, std::wstring_view bar)
{
    Defaults().strBkImage = background;
    Defaults().strBarImage = bar;
}

void CMyProgressCtrl::SetDefaultProgressColors(COLORREF clrBar1, COLORREF clrBar2, COLORREF clrText)
{
    ProgressDefaults& defaults = Defaults();
    defaults.clrBar[0] = clrBar1;
    defaults.clrBar[1] = clrBar2;
    defaults.clrText = clrText;
}

void CMyProgressCtrl::PreSubclassWindow()
{
    Invalidate(FALSE);
}

void CMyProgressCtrl::SetPosText(int nPos, std::wstring_view text)
{
    m_strText = text;
    if (nPos >= 0) {
        m_bBusy = false;
        if (IsWindow())
            SetPos(nPos);
    } else if (nPos != POS_TEXT_ONLY) {
        m_bBusy = true;
    }
    RepaintNow();
}

void CMyProgressCtrl::SetColors(COLORREF clr1, COLORREF clr2, int nIndex)
{
    if (nIndex < 0 || nIndex > 2)
        return;
    m_clrPairs[nIndex][0] = clr1;
    m_clrPairs[nIndex][1] = clr2;
    RepaintNow();
}

COLORREF CMyProgressCtrl::GetColor(int nIndex, int nWhich) const
{
    if (nIndex < 0 || nIndex > 2 || nWhich < 0 || nWhich > 1)
        return CLR_NONE;
    return m_clrPairs[nIndex][nWhich];
}

void CMyProgressCtrl::SetTextColor(COLORREF clrText)
{
    m_clrText = clrText;
    RepaintNow();
}

void CMyProgressCtrl::SetImages(std::wstring_view background, std::wstring_view bar)
{
    m_strBkImage = background;
    m_strBarImage = bar;
    RepaintNow();
}

void CMyProgressCtrl::RepaintNow()
{
    if (IsWindow())
        RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

std::wstring CMyProgressCtrl::GetCaption() const
{
    if (m_bBusy)
        return m_strText;
    int nLower = 0;
    int nUpper = 0;
    GetRange(nLower, nUpper);
    double percent = 0.0;
    if (nUpper > nLower)
        percent = (static_cast<double>(GetPos()) - nLower) * 100.0 / (static_cast<double>(nUpper) - nLower);
    wchar_t buffer[32];
    std::swprintf(buffer, 32, L"%.1f%%", percent);
    return m_strText.empty() ? std::wstring(buffer) : m_strText + L" " + buffer;
}

void CMyProgressCtrl::DrawControl(HDC dc)
{
    RECT rc;
    GetClientRect(&rc);
    if (rc.right <= rc.left || rc.bottom <= rc.top)
        return;
    CSaveDC save(dc);

    if (m_strBkImage.empty() || !DrawImageFile(m_strBkImage, dc, rc, DRAW_IMAGE_STRETCH))
        FillPair(dc, rc, m_clrPairs[COLORS_BACKGROUND]);

    RECT inner = rc;
    ::InflateRect(&inner, -1, -1);
    RECT bar = inner;
    if (!m_bBusy) {
        int nLower = 0;
        int nUpper = 0;
        GetRange(nLower, nUpper);
        int64_t range = static_cast<int64_t>(nUpper) - nLower;
        int width = inner.right - inner.left;
        int64_t filled = range > 0 ? (static_cast<int64_t>(GetPos()) - nLower) * width / range : 0;
        bar.right = inner.left + static_cast<int>(std::clamp<int64_t>(filled, 0, width));
    }
    if (bar.right > bar.left && bar.bottom > bar.top) {
        bool bImage = !m_strBarImage.empty() && DrawImageFile(m_strBarImage, dc, bar, DRAW_IMAGE_STRETCH);
        if (!bImage)
            FillPair(dc, bar, m_clrPairs[m_bBusy ? COLORS_BUSY : COLORS_BAR]);
    }
    CBrush frame(::CreateSolidBrush(FRAME_COLOR));
    ::FrameRect(dc, &rc, frame);

    std::wstring caption = GetCaption();
    HFONT hFont = reinterpret_cast<HFONT>(::SendMessageW(GetParent(), WM_GETFONT, 0, 0));
    CSelectObject font(dc, hFont ? hFont : ::GetStockObject(DEFAULT_GUI_FONT));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, m_clrText);
    ::DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &inner,
                DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
}

LRESULT CMyProgressCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        CPaintDC paint(m_hWnd);
        RECT rc;
        GetClientRect(&rc);
        CMemDC buffer(paint, rc);
        DrawControl(buffer);
        return 0;
    }
    case WM_PRINTCLIENT:
        DrawControl(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_ERASEBKGND:
        return 1; // the paint covers the bar
    default:
        break;
    }
    return CProgressCtrl::WindowProc(message, wParam, lParam);
}
