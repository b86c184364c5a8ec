#include "controls/MyCheckButton.h"

#include "controls/ButtonAccessible.h"
#include "controls/ButtonCaption.h"
#include "controls/SkinImage.h"
#include "platform/CDC.h"
#include "platform/CGdiObject.h"
#include "platform/CMemDC.h"
#include "platform/CSaveDC.h"
#include "platform/CSelectObject.h"
#include "platform/WindowText.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

const UINT_PTR TIMER_TOOLTIP = 1;
const COLORREF CLR_HOVER_MARK = RGB(160, 160, 160); // 0xA0A0A0
const COLORREF CLR_DISABLED = RGB(128, 128, 128);
const int MAX_DRAWN_BOX = 24;

struct CheckDefaults {
    std::wstring m_strImageOn;
    std::wstring m_strImageOff;
    std::wstring m_strImageOverOn;
    std::wstring m_strImageOverOff;
    COLORREF m_clrOverText = RGB(0, 0, 255);
    COLORREF m_clrOnText = RGB(0, 0, 0);
    COLORREF m_clrOffText = RGB(0, 0, 0);
    COLORREF m_clrOverBox = CHECK_NO_COLOR;
    COLORREF m_clrOnBox = CHECK_NO_COLOR;
    COLORREF m_clrOffBox = CHECK_NO_COLOR;
    int m_nBoxWidth = 16;
    int m_nBoxHeight = 16;
};

CheckDefaults& Defaults()
{
    static CheckDefaults defaults;
    return defaults;
}

std::vector<CMyCheckButton*>& LiveChecks()
{
    static std::vector<CMyCheckButton*> checks;
    return checks;
}

void FillSolid(HDC hDC, const RECT& rect, COLORREF colour)
{
    ::SetDCBrushColor(hDC, colour);
    ::FillRect(hDC, &rect, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
}

void FrameSolid(HDC hDC, const RECT& rect, COLORREF colour)
{
    ::SetDCBrushColor(hDC, colour);
    ::FrameRect(hDC, &rect, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
}

// The radio circle, anti-aliased: the coverage of a one-pixel ring and of the dot inside it is
// measured with 4 x 4 samples per pixel and blended onto the target through a premultiplied
// 32-bit bitmap (AlphaBlend), so the edges are smooth whatever the target context is.
void DrawSmoothRadio(HDC hDC, const RECT& square, COLORREF clrRing, bool bDot, COLORREF clrDot, int nInset)
{
    const int size = square.right - square.left;
    if (size <= 0 || square.bottom - square.top != size)
        return;
    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
    bmi.bmiHeader.biWidth = size;
    bmi.bmiHeader.biHeight = -size;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* pBits = nullptr;
    CBitmap bitmap(::CreateDIBSection(hDC, &bmi, DIB_RGB_COLORS, &pBits, nullptr, 0));
    CDC dc = CDC::CreateCompatibleDC(hDC);
    if (!bitmap || !dc || !pBits)
        return;

    const double centre = size / 2.0;
    const double ringOuter = centre;
    const double ringInner = centre - 1.0;
    const double dotRadius = centre - nInset;
    const int SAMPLES = 4;
    auto* pixels = static_cast<uint32_t*>(pBits);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            int ring = 0;
            int dot = 0;
            for (int sy = 0; sy < SAMPLES; ++sy) {
                for (int sx = 0; sx < SAMPLES; ++sx) {
                    double dx = x + (sx + 0.5) / SAMPLES - centre;
                    double dy = y + (sy + 0.5) / SAMPLES - centre;
                    double dist = std::sqrt(dx * dx + dy * dy);
                    if (dist < ringOuter && dist >= ringInner)
                        ++ring;
                    else if (bDot && dist < dotRadius)
                        ++dot;
                }
            }
            const int total = SAMPLES * SAMPLES;
            auto channel = [&](int ringValue, int dotValue) {
                return static_cast<uint32_t>((ringValue * ring + dotValue * dot) / total);
            };
            uint32_t a = static_cast<uint32_t>(255 * (ring + dot) / total);
            uint32_t r = channel(GetRValue(clrRing), GetRValue(clrDot));
            uint32_t g = channel(GetGValue(clrRing), GetGValue(clrDot));
            uint32_t b = channel(GetBValue(clrRing), GetBValue(clrDot));
            pixels[static_cast<size_t>(y) * static_cast<size_t>(size) + static_cast<size_t>(x)] =
                (a << 24) | (r << 16) | (g << 8) | b;
        }
    }
    CSelectObject select(dc, bitmap);
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ::AlphaBlend(hDC, square.left, square.top, size, size, dc, 0, 0, size, size, blend);
}

} // namespace

CMyCheckButton::CMyCheckButton()
{
    const CheckDefaults& d = Defaults();
    m_strImageOn = d.m_strImageOn;
    m_strImageOff = d.m_strImageOff;
    m_strImageOverOn = d.m_strImageOverOn;
    m_strImageOverOff = d.m_strImageOverOff;
    m_clrOverText = d.m_clrOverText;
    m_clrOnText = d.m_clrOnText;
    m_clrOffText = d.m_clrOffText;
    m_clrOverBox = d.m_clrOverBox;
    m_clrOnBox = d.m_clrOnBox;
    m_clrOffBox = d.m_clrOffBox;
    m_nBoxWidth = d.m_nBoxWidth;
    m_nBoxHeight = d.m_nBoxHeight;
    LiveChecks().push_back(this);
}

CMyCheckButton::~CMyCheckButton()
{
    auto& checks = LiveChecks();
    checks.erase(std::remove(checks.begin(), checks.end(), this), checks.end());
    if (IsWindow())
        KillTimer(TIMER_TOOLTIP);
}

void CMyCheckButton::Repaint()
{
    if (IsWindow())
        Invalidate(FALSE);
}

// ---- settings ----

void CMyCheckButton::SetCheckImages(LPCWSTR lpszOn, LPCWSTR lpszOff, bool bImageHasText)
{
    if (lpszOn)
        m_strImageOn = lpszOn;
    if (lpszOff)
        m_strImageOff = lpszOff;
    m_bImageHasText = bImageHasText;
    Repaint();
}

void CMyCheckButton::SetCheckOverImages(LPCWSTR lpszOn, LPCWSTR lpszOff, bool bImageHasText)
{
    if (lpszOn)
        m_strImageOverOn = lpszOn;
    if (lpszOff)
        m_strImageOverOff = lpszOff;
    m_bImageHasText = bImageHasText;
    Repaint();
}

void CMyCheckButton::SetCheckTextColor(COLORREF colour, int which)
{
    if (which == CHECK_STATE_ON)
        m_clrOnText = colour;
    else if (which == CHECK_STATE_OFF)
        m_clrOffText = colour;
    else if (which == CHECK_STATE_OVER)
        m_clrOverText = colour;
    Repaint();
}

void CMyCheckButton::SetCheckBoxColor(COLORREF colour, int which)
{
    if (which == CHECK_STATE_ON)
        m_clrOnBox = colour;
    else if (which == CHECK_STATE_OFF)
        m_clrOffBox = colour;
    else if (which == CHECK_STATE_OVER)
        m_clrOverBox = colour;
    Repaint();
}

void CMyCheckButton::SetBoxSize(int nWidth, int nHeight)
{
    m_nBoxWidth = nWidth;
    m_nBoxHeight = nHeight;
    Repaint();
}

void CMyCheckButton::SetBoxRight(bool bRight, bool bImageHasText)
{
    m_bBoxRight = bRight;
    m_bImageHasText = bImageHasText;
    Repaint();
}

void CMyCheckButton::SetToolTip(LPCWSTR lpszText)
{
    m_toolTip.SetText(lpszText);
    if (IsWindow())
        SetTimer(TIMER_TOOLTIP, 100);
}

void CMyCheckButton::SetToolTipFromCaption(bool bFromCaption)
{
    m_toolTip.SetFromCaption(bFromCaption);
    if (IsWindow())
        SetTimer(TIMER_TOOLTIP, 10);
}

void CMyCheckButton::SetDefaultCheckImages(LPCWSTR lpszA, LPCWSTR lpszB, bool bHover)
{
    CheckDefaults& d = Defaults();
    std::wstring a = lpszA ? lpszA : L"";
    std::wstring b = lpszB ? lpszB : L"";
    if (bHover) {
        d.m_strImageOverOff = a;
        d.m_strImageOverOn = b;
    } else {
        d.m_strImageOn = a;
        d.m_strImageOff = b;
    }
}

void CMyCheckButton::SetDefaultCheckColors(COLORREF clrText, COLORREF clrBox, int which)
{
    CheckDefaults& d = Defaults();
    if (which == CHECK_STATE_ON) {
        d.m_clrOnText = clrText;
        d.m_clrOnBox = clrBox;
    } else if (which == CHECK_STATE_OFF) {
        d.m_clrOffText = clrText;
        d.m_clrOffBox = clrBox;
    } else if (which == CHECK_STATE_OVER) {
        d.m_clrOverText = clrText;
        d.m_clrOverBox = clrBox;
    }
}

void CMyCheckButton::SetDefaultBoxSize(int nWidth, int nHeight)
{
    Defaults().m_nBoxWidth = nWidth;
    Defaults().m_nBoxHeight = nHeight;
}

size_t CMyCheckButton::GetLiveCount()
{
    return LiveChecks().size();
}

// ---- messages ----

void CMyCheckButton::PreSubclassWindow()
{
    CButton::PreSubclassWindow();
    // Read the kind before the type bits become owner-drawn.
    UINT type = GetButtonStyle();
    if (type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON) {
        m_bRadio = true;
        m_strImageOn.clear();
        m_strImageOff.clear();
        m_strImageOverOn.clear();
        m_strImageOverOff.clear();
    }
    // The type bits are replaced, not or-ed: BS_OWNERDRAW | BS_RADIOBUTTON would be another type.
    SetButtonStyle((GetStyle() & ~static_cast<DWORD>(BS_TYPEMASK)) | BS_OWNERDRAW, TRUE);
    m_toolTip.ResetToCaption();
    SetTimer(TIMER_TOOLTIP, 100);
}

void CMyCheckButton::CheckInGroup()
{
    m_bChecked = true;
    HWND hWndParent = GetParent();
    if (!hWndParent)
        return;
    // The walk wraps round to this control; the bound keeps a broken group from looping forever.
    int nGuard = 0;
    for (HWND hWnd = ::GetNextDlgGroupItem(hWndParent, m_hWnd, FALSE);
         hWnd && hWnd != m_hWnd && nGuard < 1024;
         hWnd = ::GetNextDlgGroupItem(hWndParent, hWnd, FALSE), ++nGuard) {
        auto* pOther = dynamic_cast<CMyCheckButton*>(CWnd::FromHandle(hWnd));
        if (pOther && pOther->m_bRadio && pOther->m_bChecked) {
            pOther->SendMessage(BM_SETCHECK, BST_UNCHECKED);
            pOther->Repaint();
        }
    }
}

namespace {

// The style became BS_OWNERDRAW when the control was attached: the kind comes from the object.
ButtonAccessibleState CheckButtonState(HWND hWnd)
{
    const auto* pCheck = dynamic_cast<const CMyCheckButton*>(CWnd::FromHandle(hWnd));
    ButtonAccessibleState state;
    state.bRadio = pCheck && pCheck->IsRadio();
    state.bCheckBox = !state.bRadio;
    state.bChecked = ::SendMessageW(hWnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
    return state;
}

} // namespace

LRESULT CMyCheckButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_GETOBJECT:
        if (const LRESULT result = AnswerButtonGetObject(m_hWnd, wParam, lParam, CheckButtonState))
            return result;
        break;
    case BM_GETCHECK:
        return m_bChecked ? BST_CHECKED : BST_UNCHECKED;
    case BM_SETCHECK: {
        m_bChecked = wParam != BST_UNCHECKED;
        Repaint();
        return Default();
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE: {
        LRESULT result = Default();
        Repaint();
        return result;
    }
    case WM_SETTEXT: {
        m_toolTip.ResetToCaption();
        SetTimer(TIMER_TOOLTIP, 100);
        LRESULT result = Default();
        Repaint();
        return result;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        m_toolTip.Relay(m_hWnd, message, wParam, lParam);
        m_bPressed = true;
        LRESULT result = Default();
        Repaint();
        return result;
    }
    case WM_KEYUP:
        if (wParam == VK_SPACE || wParam == VK_RETURN) {
            // Finished like a click: the release below toggles and lets the platform notify.
            m_bPressed = true;
            PostMessage(WM_LBUTTONUP, 0, 0);
            return 0;
        }
        break;
    case WM_LBUTTONUP: {
        m_toolTip.Relay(m_hWnd, message, wParam, lParam);
        if (m_bPressed) {
            m_bPressed = false;
            // A press dragged off the control and released there is no click: the platform sends
            // no notification then, so the state must not change either.
            RECT client;
            GetClientRect(&client);
            POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            if (::PtInRect(&client, pt)) {
                if (m_bRadio)
                    CheckInGroup();
                else
                    m_bChecked = !m_bChecked;
            }
        }
        LRESULT result = Default();
        Repaint();
        return result;
    }
    case WM_MOUSEMOVE:
        m_toolTip.Relay(m_hWnd, message, wParam, lParam);
        if (!m_bOver) {
            m_bOver = true;
            Repaint();
            TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, m_hWnd, 0};
            ::TrackMouseEvent(&tme);
        }
        break;
    case WM_MOUSELEAVE:
        m_bOver = false;
        Repaint();
        break;
    case WM_TIMER:
        if (wParam == TIMER_TOOLTIP) {
            KillTimer(TIMER_TOOLTIP);
            m_toolTip.Update(m_hWnd);
            return 0;
        }
        break;
    default:
        break;
    }
    return CButton::WindowProc(message, wParam, lParam);
}

BOOL CMyCheckButton::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    if (message == WM_DRAWITEM && lParam) {
        DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        *pResult = TRUE;
        return TRUE;
    }
    return CButton::OnChildNotify(message, wParam, lParam, pResult);
}

void CMyCheckButton::DrawBox(HDC hDC, const RECT& box, COLORREF clrMark, bool bDisabled)
{
    const int side = box.right - box.left;
    RECT outline = box;
    if (side > 12)
        ::InflateRect(&outline, -2, -2);
    const bool bMark = m_bChecked || m_bOver;
    const COLORREF clrFill = m_bChecked ? clrMark : CLR_HOVER_MARK;
    if (!m_bRadio) {
        FrameSolid(hDC, outline, clrMark);
        if (bMark) {
            RECT inner = outline;
            ::InflateRect(&inner, -3, -3);
            FillSolid(hDC, inner, clrFill);
        }
        return;
    }
    DrawSmoothRadio(hDC, outline, bDisabled ? CLR_DISABLED : clrMark, bMark, clrFill, side < 13 ? 2 : 3);
}

void CMyCheckButton::DrawItem(const DRAWITEMSTRUCT& dis)
{
    RECT rc = dis.rcItem;
    int h = rc.bottom - rc.top;
    const int w = rc.right - rc.left;
    if (h % 2) {
        // An odd height cannot centre the box and its mark alike: grow to the next even height,
        // which brings a new paint; this one already lays out for it.
        RECT window;
        GetWindowRect(&window);
        SetWindowPos(nullptr, 0, 0, window.right - window.left, window.bottom - window.top + 1,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        ++h;
    }
    const bool bDisabled = (dis.itemState & ODS_DISABLED) != 0 || !IsWindowEnabled();
    const bool bRight = m_bBoxRight || (GetStyle() & BS_LEFTTEXT) != 0;

    // Buffered from what the target shows: the control has no background of its own.
    CMemDC mem(dis.hDC, rc, true);
    HDC hDC = mem;
    CSaveDC save(hDC);
    ::SetBkMode(hDC, TRANSPARENT);

    COLORREF clrText = m_bOver ? m_clrOverText : (m_bChecked ? m_clrOnText : m_clrOffText);
    if (clrText == CHECK_NO_COLOR)
        clrText = ::GetTextColor(hDC);

    // The image box, when an image is chosen and draws.
    std::wstring image = m_strImageOff;
    if (m_bChecked && !m_strImageOn.empty())
        image = m_strImageOn;
    if (m_bOver) {
        if (!m_strImageOverOff.empty())
            image = m_strImageOverOff;
        if (m_bChecked && !m_strImageOverOn.empty())
            image = m_strImageOverOn;
    }
    RECT box{};
    bool bImageDrawn = false;
    if (!image.empty()) {
        int bw = m_nBoxWidth < 1 ? w : m_nBoxWidth;
        int bh = m_nBoxHeight < 1 ? h : m_nBoxHeight;
        int x = bRight ? rc.right - bw : rc.left;
        int y = rc.top + (h - bh) / 2;
        box = {x, y, x + bw, y + bh};
        bImageDrawn = DrawImageFile(image, hDC, box, DRAW_IMAGE_STRETCH);
    }
    if (!bImageDrawn) {
        int side = std::min(h, MAX_DRAWN_BOX);
        int x = bRight ? rc.right - side - 1 : rc.left + 1;
        int y = rc.top + (h - side) / 2;
        box = {x, y, x + side, y + side};
        COLORREF clrBox = m_bOver ? m_clrOverBox : (m_bChecked ? m_clrOnBox : m_clrOffBox);
        if (clrBox != CHECK_NO_COLOR)
            FillSolid(hDC, box, clrBox);
        DrawBox(hDC, box, clrText, bDisabled);
    }

    if (!(bImageDrawn && m_bImageHasText)) {
        RECT textRect = rc;
        textRect.bottom = rc.top + h;
        if (bRight)
            textRect.right = box.left - 1;
        else
            textRect.left = box.right + 3;
        CSelectObject selectFont(hDC, GetFont());
        std::wstring caption = WindowTextOf(m_hWnd);
        if (!bDisabled) {
            ::SetTextColor(hDC, clrText);
            DrawCaptionLines(hDC, textRect, caption, false);
        } else {
            ::SetTextColor(hDC, RGB(255, 255, 255));
            DrawCaptionLines(hDC, textRect, caption, false);
            RECT shifted = textRect;
            ::OffsetRect(&shifted, 1, 1);
            ::SetTextColor(hDC, CLR_DISABLED);
            DrawCaptionLines(hDC, shifted, caption, false);
        }
    }

    if (ShowsButtonFocus(m_hWnd, dis.itemState)) {
        RECT focus = rc;
        focus.bottom -= 1;
        ::SetTextColor(hDC, RGB(0, 0, 0));
        ::DrawFocusRect(hDC, &focus);
    }
}
