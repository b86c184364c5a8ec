#include "controls/MyComboBox.h"

#include "controls/SkinImage.h"
#include "platform/CClientDC.h"
#include "platform/CDC.h"
#include "platform/CMemDC.h"
#include "platform/CPaintDC.h"
#include "platform/CSaveDC.h"
#include "platform/CSelectObject.h"

namespace {

const UINT_PTR TIMER_REPAINT = 1;
// The drawn thumb is made 16 x 16 and shown from its left 15 columns, as the built-in thumbs are.
const int DRAWN_THUMB_SIZE = 16;
const SIZE THUMB_SOURCE = {15, 16};

struct ThumbDefaults {
    int nIds[3] = {-1, -1, -1};
    std::wstring strFiles[3] = {L"cmbDefThumb-normal.bmp", L"cmbDefThumb-hover.bmp", L"cmbDefThumb-down.bmp"};
};

ThumbDefaults& Defaults()
{
    static ThumbDefaults defaults;
    return defaults;
}

int ClampState(int nState)
{
    return nState < 0 || nState > 2 ? 0 : nState;
}

// One black pen for every box's arrow, made on first use and kept for the process.
HPEN ArrowPen()
{
    static CPen pen(::CreatePen(PS_SOLID, 1, RGB(0, 0, 0)));
    return pen;
}

// Four horizontal strokes narrowing downwards; x0 is the left end of the top stroke.
void DrawArrow(HDC dc, int x0, int y0)
{
    CSelectObject pen(dc, ArrowPen());
    for (int i = 0; i < 4; ++i) {
        ::MoveToEx(dc, x0 + i, y0 + i, nullptr);
        ::LineTo(dc, x0 + 7 - i, y0 + i);
    }
}

void FillSolid(HDC dc, const RECT& rect, COLORREF colour)
{
    CBrush brush(::CreateSolidBrush(colour));
    ::FillRect(dc, &rect, brush);
}

} // namespace

CMyComboBox::CMyComboBox()
{
    const ThumbDefaults& defaults = Defaults();
    for (int i = 0; i < 3; ++i) {
        m_nThumbIds[i] = defaults.nIds[i];
        m_strThumbs[i] = defaults.strFiles[i];
    }
}

void CMyComboBox::SetDefaultThumbIds(int nNormal, int nHover, int nDown)
{
    ThumbDefaults& defaults = Defaults();
    defaults.nIds[THUMB_NORMAL] = nNormal;
    defaults.nIds[THUMB_HOVER] = nHover;
    defaults.nIds[THUMB_DOWN] = nDown;
}

void CMyComboBox::SetDefaultThumbImages(const wchar_t* pszNormal, const wchar_t* pszHover,
                                        const wchar_t* pszDown)
{
    ThumbDefaults& defaults = Defaults();
    const wchar_t* names[3] = {pszNormal, pszHover, pszDown};
    for (int i = 0; i < 3; ++i)
        if (names[i])
            defaults.strFiles[i] = names[i];
}

int CMyComboBox::GetDefaultThumbId(int nState)
{
    return Defaults().nIds[ClampState(nState)];
}

std::wstring CMyComboBox::GetDefaultThumbImage(int nState)
{
    return Defaults().strFiles[ClampState(nState)];
}

void CMyComboBox::SetThumbIds(int nNormal, int nHover, int nDown)
{
    m_nThumbIds[THUMB_NORMAL] = nNormal;
    m_nThumbIds[THUMB_HOVER] = nHover;
    m_nThumbIds[THUMB_DOWN] = nDown;
    RepaintNow();
}

void CMyComboBox::SetThumbImages(std::wstring_view normal, std::wstring_view hover, std::wstring_view down)
{
    m_strThumbs[THUMB_NORMAL] = normal;
    m_strThumbs[THUMB_HOVER] = hover;
    m_strThumbs[THUMB_DOWN] = down;
    RepaintNow();
}

int CMyComboBox::GetThumbId(int nState) const
{
    return m_nThumbIds[ClampState(nState)];
}

std::wstring CMyComboBox::GetThumbImage(int nState) const
{
    return m_strThumbs[ClampState(nState)];
}

int CMyComboBox::GetThumbState() const
{
    if (m_hWnd && GetDroppedState())
        return THUMB_DOWN;
    return m_bHover ? THUMB_HOVER : THUMB_NORMAL;
}

void CMyComboBox::PreSubclassWindow()
{
    Invalidate(FALSE);
}

void CMyComboBox::SetHover(bool bHover)
{
    m_bHover = bHover;
    RepaintNow();
}

void CMyComboBox::RepaintNow()
{
    if (IsWindow())
        RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

bool CMyComboBox::HasFocus() const
{
    HWND hFocus = ::GetFocus();
    // An editable box has the focus in its edit child.
    return hFocus && (hFocus == m_hWnd || ::IsChild(m_hWnd, hFocus));
}

CBitmap CMyComboBox::MakeThumb(int nState, bool bEnabled, SIZE& size) const
{
    CBitmap loaded;
    int nId = m_nThumbIds[nState] != -1 ? m_nThumbIds[nState] : Defaults().nIds[nState];
    if (nId != -1) {
        loaded.Attach(::LoadBitmapW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(nId)));
    } else {
        const std::wstring& file =
            m_strThumbs[nState].empty() ? Defaults().strFiles[nState] : m_strThumbs[nState];
        if (!file.empty())
            loaded = LoadBitmapFile(file);
    }

    CClientDC screen(nullptr);
    if (loaded) {
        BITMAP info{};
        ::GetObjectW(loaded, sizeof info, &info);
        size = {info.bmWidth, info.bmHeight};
        if (bEnabled || size.cx <= 0 || size.cy <= 0)
            return loaded;
        // Disabled: the picture greyed out, with the arrow drawn over it near its right edge.
        CBitmap greyed(::CreateCompatibleBitmap(screen, size.cx, size.cy));
        CDC mem = CDC::CreateCompatibleDC(screen);
        if (!greyed || !mem)
            return loaded;
        CSelectObject select(mem, greyed);
        FillSolid(mem, {0, 0, size.cx, size.cy}, DISABLED_FILL_COLOR);
        ::DrawStateW(mem, nullptr, nullptr, reinterpret_cast<LPARAM>(loaded.GetSafeHandle()), 0, 0, 0,
                     size.cx, size.cy, DST_BITMAP | DSS_DISABLED);
        DrawArrow(mem, size.cx - 10, size.cy / 2);
        return greyed;
    }

    size = THUMB_SOURCE;
    CBitmap drawn(::CreateCompatibleBitmap(screen, DRAWN_THUMB_SIZE, DRAWN_THUMB_SIZE));
    CDC mem = CDC::CreateCompatibleDC(screen);
    if (!drawn || !mem)
        return {};
    CSelectObject select(mem, drawn);
    FillSolid(mem, {0, 0, DRAWN_THUMB_SIZE, DRAWN_THUMB_SIZE},
              bEnabled ? THUMB_COLORS[nState] : DISABLED_THUMB_COLOR);
    DrawArrow(mem, 5, 8);
    return drawn;
}

void CMyComboBox::DrawControl(HDC dc)
{
    RECT rc;
    GetClientRect(&rc);
    int w = rc.right - rc.left;
    int h = rc.bottom - rc.top;
    if (w <= 0 || h <= 0)
        return;
    CSaveDC save(dc);
    bool bEnabled = IsWindowEnabled() != FALSE;
    bool bFocus = HasFocus();

    // The inside is filled so that a shorter new text leaves nothing of the old one behind.
    RECT inside = {rc.left + 2, rc.top + 2, rc.right - h, rc.bottom - 2};
    if (inside.right > inside.left)
        FillSolid(dc, inside, bEnabled ? ::GetSysColor(COLOR_WINDOW) : DISABLED_FILL_COLOR);

    RECT frame = {rc.left, rc.top, rc.right, rc.bottom - 1};
    CBrush frameBrush(::CreateSolidBrush(bFocus ? BORDER_FOCUS_COLOR : BORDER_COLOR));
    ::FrameRect(dc, &frame, frameBrush);

    RECT textArea = {rc.left + 2, rc.top + 3, rc.right - h + 1, rc.bottom - 3};
    COLORREF textColour = ::GetSysColor(bEnabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT);
    if (bFocus) {
        ::FillRect(dc, &textArea, ::GetSysColorBrush(COLOR_HIGHLIGHT));
        textColour = RGB(255, 255, 255);
    } else if (m_bHover && bEnabled) {
        textColour = ::GetSysColor(COLOR_HIGHLIGHT);
    }
    HFONT hFont = reinterpret_cast<HFONT>(::SendMessageW(GetParent(), WM_GETFONT, 0, 0));
    if (!hFont)
        hFont = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    {
        CSelectObject font(dc, hFont);
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, textColour);
        std::wstring text = GetWindowText();
        RECT textRect = textArea;
        textRect.left += 2;
        ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect,
                    DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
    if (bFocus && textArea.right > textArea.left && textArea.bottom > textArea.top) {
        ::SetTextColor(dc, RGB(0, 0, 0));
        ::SetBkColor(dc, RGB(255, 255, 255));
        ::DrawFocusRect(dc, &textArea);
    }

    int side = h - 5;
    if (side <= 0)
        return;
    SIZE source{};
    CBitmap thumb = MakeThumb(GetThumbState(), bEnabled, source);
    CDC mem = CDC::CreateCompatibleDC(dc);
    if (!thumb || !mem)
        return;
    CSelectObject select(mem, thumb);
    ::SetStretchBltMode(dc, HALFTONE);
    ::SetBrushOrgEx(dc, 0, 0, nullptr); // HALFTONE needs the brush origin reset
    ::StretchBlt(dc, rc.left + w - h + 3, rc.top + 2, side, side, mem, 0, 0, source.cx, source.cy, SRCCOPY);
}

LRESULT CMyComboBox::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        CPaintDC paint(m_hWnd);
        RECT rc;
        GetClientRect(&rc);
        // Starts from what the screen shows, so the corners outside the frame keep the parent's look.
        CMemDC buffer(paint, rc, true);
        DrawControl(buffer);
        return 0;
    }
    case WM_PRINTCLIENT:
        DrawControl(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_ERASEBKGND:
        return 1; // the paint covers the box
    case WM_MOUSEMOVE:
        if (!m_bTrackingLeave) {
            TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, m_hWnd, 0};
            m_bTrackingLeave = ::TrackMouseEvent(&tme) != FALSE;
        }
        if (!m_bHover)
            SetHover(true);
        break;
    case WM_MOUSELEAVE:
        m_bTrackingLeave = false;
        SetHover(false);
        break;
    case WM_TIMER:
        if (wParam == TIMER_REPAINT) {
            KillTimer(TIMER_REPAINT);
            RepaintNow();
            return 0;
        }
        break;
    case WM_ENABLE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_SETTEXT:
    case WM_KEYDOWN:
    case WM_CHAR:
    case CB_SETCURSEL:
    case CB_SELECTSTRING:
    case CB_SHOWDROPDOWN:
    case CB_RESETCONTENT: {
        // The platform draws some of these changes straight onto the screen; paint over them.
        LRESULT result = Default();
        Invalidate(FALSE);
        return result;
    }
    default:
        break;
    }
    return CComboBox::WindowProc(message, wParam, lParam);
}

BOOL CMyComboBox::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    if (message == WM_COMMAND) {
        switch (HIWORD(wParam)) {
        case CBN_SETFOCUS:
            SetHover(true);
            break;
        case CBN_CLOSEUP:
            SetHover(false);
            break;
        case CBN_SELCHANGE:
            // The selection text settles after the notification: paint once more shortly.
            SetTimer(TIMER_REPAINT, 10);
            break;
        default:
            break;
        }
    }
    // The parent sees its notifications as well.
    return CComboBox::OnChildNotify(message, wParam, lParam, pResult);
}
