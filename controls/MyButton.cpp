#include "controls/MyButton.h"

#include "controls/ButtonAccessible.h"
#include "controls/ButtonCaption.h"
#include "controls/SkinFiles.h"
#include "controls/SkinImage.h"
#include "controls/SkinPathText.h"
#include "platform/CGdiObject.h"
#include "platform/CMemDC.h"
#include "platform/CSaveDC.h"
#include "platform/CSelectObject.h"
#include "platform/WindowText.h"

#include <windowsx.h>

#include <algorithm>

namespace {

const UINT_PTR TIMER_TOOLTIP = 1;
const COLORREF CLR_DISABLED_TEXT = RGB(128, 128, 128);

ButtonDefaults& Defaults()
{
    static ButtonDefaults defaults;
    return defaults;
}

// Every live button, so that new defaults reach them. User-interface thread only.
std::vector<CMyButton*>& LiveButtons()
{
    static std::vector<CMyButton*> buttons;
    return buttons;
}

void LoadDefaultsFromModuleDir()
{
    CMyButton::LoadDefaults();
}

// InitSkins ends with the button defaults; register the loader as soon as buttons are linked in,
// so that an application that calls InitSkins before its first button gets them too.
struct LoaderRegistration {
    LoaderRegistration() { SetButtonDefaultsLoader(&LoadDefaultsFromModuleDir); }
} g_loaderRegistration;

bool IsKeep(COLORREF colour)
{
    return colour == BUTTON_KEEP_COLOR;
}

// A region of the rounded rectangle; square corners when either radius is 0.
HRGN MakeRoundRgn(int left, int top, int right, int bottom, int rx, int ry)
{
    if (rx <= 0 || ry <= 0)
        return ::CreateRectRgn(left, top, right, bottom);
    // CreateRoundRectRgn leaves out the last column and row; one more makes it cover the same
    // pixels as the square region would.
    return ::CreateRoundRectRgn(left, top, right + 1, bottom + 1, rx, ry);
}

void FillSolid(HDC hDC, const RECT& rect, COLORREF colour)
{
    ::SetDCBrushColor(hDC, colour);
    ::FillRect(hDC, &rect, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
}

void Draw3dRect(HDC hDC, const RECT& r, COLORREF clrTopLeft, COLORREF clrBottomRight)
{
    FillSolid(hDC, {r.left, r.top, r.right - 1, r.top + 1}, clrTopLeft);
    FillSolid(hDC, {r.left, r.top, r.left + 1, r.bottom - 1}, clrTopLeft);
    FillSolid(hDC, {r.right - 1, r.top, r.right, r.bottom}, clrBottomRight);
    FillSolid(hDC, {r.left, r.bottom - 1, r.right, r.bottom}, clrBottomRight);
}

// The widest line of a caption in the selected font.
int CaptionWidth(HDC hDC, const std::wstring& caption)
{
    int width = 0;
    for (const std::wstring& line : SplitCaptionLines(caption)) {
        SIZE size{};
        if (!line.empty() && ::GetTextExtentPoint32W(hDC, line.c_str(), static_cast<int>(line.size()), &size))
            width = std::max(width, static_cast<int>(size.cx));
    }
    return width;
}

// A skin name that exists as a file: as the skin lookup finds it, or behind the default skin
// directory; otherwise empty.
std::wstring ResolveExistingSkin(LPCWSTR lpszName)
{
    if (!lpszName || !*lpszName)
        return {};
    std::wstring path = ResolveSkinFile(lpszName);
    if (SkinFileExists(path))
        return path;
    std::wstring behind = GetDefaultSkinDir() + lpszName;
    if (SkinFileExists(behind))
        return behind;
    return {};
}

} // namespace

CMyButton::CMyButton()
{
    static bool s_bSkinsStarted = false;
    if (!s_bSkinsStarted) {
        s_bSkinsStarted = true;
        SetButtonDefaultsLoader(&LoadDefaultsFromModuleDir);
        InitSkins(); // also reads "ButtonDefault.ini"
    }
    const ButtonDefaults& d = Defaults();
    ApplyDefaultLook(d);
    m_clrOverBk1 = d.m_clrOverBk1;
    m_clrOverBk2 = d.m_clrOverBk2;
    m_clrOverFrame = d.m_clrOverFrame;
    m_clrHoldBk1 = d.m_clrHoldBk1;
    m_clrHoldBk2 = d.m_clrHoldBk2;
    m_clrHoldText = d.m_clrHoldText;
    m_clrHoldFrame = d.m_clrHoldFrame;
    m_nFontSize = d.m_nFontSize;
    m_bUnderline = d.m_bUnderline;
    m_bItalic = d.m_bItalic;
    m_bBold = d.m_bBold;
    m_szFaceName = d.m_szFaceName;
    LiveButtons().push_back(this);
}

CMyButton::~CMyButton()
{
    auto& buttons = LiveButtons();
    buttons.erase(std::remove(buttons.begin(), buttons.end(), this), buttons.end());
    if (IsWindow())
        KillTimer(TIMER_TOOLTIP);
}

void CMyButton::ApplyDefaultLook(const ButtonDefaults& d)
{
    m_clrBk1 = d.m_clrBk1;
    m_clrBk2 = d.m_clrBk2;
    m_clrText = d.m_clrText;
    m_clrOverText = d.m_clrOverText;
    m_clrFrame = d.m_clrFrame;
    m_nImgOffsetX = d.m_nImgOffsetX;
    m_nImgOffsetY = d.m_nImgOffsetY;
    m_nRX = d.m_nRX;
    m_nRY = d.m_nRY;
}

void CMyButton::Repaint()
{
    if (IsWindow())
        Invalidate(FALSE);
}

// ---- process-wide ----

const ButtonDefaults& CMyButton::GetDefaults()
{
    return Defaults();
}

void CMyButton::LoadDefaults()
{
    LoadDefaults(GetButtonDefaultsFile());
}

void CMyButton::LoadDefaults(const std::wstring& file)
{
    Defaults() = ReadButtonDefaults(file);
    for (CMyButton* pButton : LiveButtons()) {
        if (pButton->m_bOwnColors)
            continue;
        pButton->ApplyDefaultLook(Defaults());
        pButton->Repaint();
    }
}

void CMyButton::SetDefaultGradient(COLORREF clrTop, COLORREF clrBottom)
{
    ButtonDefaults& d = Defaults();
    d.m_clrBk1 = clrTop;
    d.m_clrBk2 = clrBottom;
    d.m_clrOverBk1 = clrBottom;
    d.m_clrOverBk2 = clrTop;
    d.m_clrHoldBk1 = clrBottom;
    d.m_clrHoldBk2 = clrTop;
}

void CMyButton::SetDefaultTextColor(COLORREF clrText)
{
    Defaults().m_clrText = clrText;
}

void CMyButton::SetDefaultFrameColor(COLORREF clrFrame)
{
    Defaults().m_clrFrame = clrFrame;
}

void CMyButton::SetDefaultOverColors(COLORREF clrBk1, COLORREF clrBk2, COLORREF clrText, COLORREF clrFrame)
{
    ButtonDefaults& d = Defaults();
    if (!IsKeep(clrBk1))
        d.m_clrOverBk1 = clrBk1;
    if (!IsKeep(clrBk2))
        d.m_clrOverBk2 = clrBk2;
    if (!IsKeep(clrText))
        d.m_clrOverText = clrText;
    if (!IsKeep(clrFrame))
        d.m_clrOverFrame = clrFrame;
}

void CMyButton::SetDefaultHoldColors(COLORREF clrBk1, COLORREF clrBk2, COLORREF clrText, COLORREF clrFrame)
{
    ButtonDefaults& d = Defaults();
    if (!IsKeep(clrBk1))
        d.m_clrHoldBk1 = clrBk1;
    if (!IsKeep(clrBk2))
        d.m_clrHoldBk2 = clrBk2;
    if (!IsKeep(clrText))
        d.m_clrHoldText = clrText;
    if (!IsKeep(clrFrame))
        d.m_clrHoldFrame = clrFrame;
}

void CMyButton::SetDefaultOverTextColor(COLORREF clrText)
{
    Defaults().m_clrOverText = clrText;
}

void CMyButton::SetDefaultImageOffset(int x, int y)
{
    Defaults().m_nImgOffsetX = x;
    Defaults().m_nImgOffsetY = y;
}

void CMyButton::SetDefaultRound(int rx, int ry)
{
    Defaults().m_nRX = std::max(rx, 0);
    Defaults().m_nRY = std::max(ry, 0);
}

void CMyButton::SetDefaultFontStyle(int nFontSize, bool bUnderline, bool bItalic, bool bBold,
                                    LPCWSTR lpszFaceName)
{
    ButtonDefaults& d = Defaults();
    d.m_nFontSize = nFontSize;
    d.m_bUnderline = bUnderline;
    d.m_bItalic = bItalic;
    d.m_bBold = bBold;
    d.m_szFaceName = lpszFaceName ? lpszFaceName : L"";
    if (d.m_szFaceName.size() > BUTTON_FACE_NAME_MAX)
        d.m_szFaceName.resize(BUTTON_FACE_NAME_MAX);
}

size_t CMyButton::GetLiveCount()
{
    return LiveButtons().size();
}

void CMyButton::RefreshAllToolTips()
{
    for (CMyButton* pButton : LiveButtons()) {
        if (pButton->IsWindow())
            pButton->m_toolTip.Update(pButton->m_hWnd);
    }
}

// ---- per button ----

void CMyButton::SetImages(LPCWSTR lpszNormal, LPCWSTR lpszOver, LPCWSTR lpszDown, LPCWSTR lpszDisabled)
{
    m_strImage = ResolveExistingSkin(lpszNormal);
    m_strImageOver = ResolveExistingSkin(lpszOver);
    m_strImageDown = ResolveExistingSkin(lpszDown);
    m_strImageDisabled = ResolveExistingSkin(lpszDisabled);
    m_bUseImages = !m_strImage.empty() || !m_strImageOver.empty() || !m_strImageDown.empty() ||
                   !m_strImageDisabled.empty();
    Repaint();
}

void CMyButton::SetImageParams(int nNormal, int nOver, int nDisabled)
{
    if (nNormal == -1)
        nNormal = nOver;
    m_nImageParams[0] = nNormal;
    m_nImageParams[1] = nOver;
    m_nImageParams[2] = nDisabled;
    m_bUseImages = !(nNormal == -1 && nOver == -1);
    Repaint();
}

void CMyButton::SetIcon(HIMAGELIST hImageList, int nIndex)
{
    m_pIconList = hImageList;
    m_nIconIndex = hImageList ? nIndex : -1;
    Repaint();
}

void CMyButton::SetIconImages(LPCWSTR lpszNormal, LPCWSTR lpszOver, LPCWSTR lpszDown)
{
    m_strIcon = lpszNormal ? lpszNormal : L"";
    m_strIconOver = lpszOver ? lpszOver : L"";
    m_strIconDown = lpszDown ? lpszDown : L"";
    Repaint();
}

void CMyButton::SetGradient(COLORREF clrTop, COLORREF clrBottom, bool bUseDefault)
{
    if (bUseDefault) {
        clrTop = Defaults().m_clrBk1;
        clrBottom = Defaults().m_clrBk2;
    } else {
        m_bOwnColors = true;
    }
    m_clrBk1 = clrTop;
    m_clrBk2 = clrBottom;
    m_clrOverBk1 = clrBottom;
    m_clrOverBk2 = clrTop;
    Repaint();
}

void CMyButton::SetFrameColor(COLORREF clrFrame, bool bUseDefault)
{
    if (!bUseDefault)
        m_bOwnColors = true;
    m_clrFrame = bUseDefault ? Defaults().m_clrFrame : clrFrame;
    Repaint();
}

void CMyButton::SetTextColor(COLORREF clrText, bool bUseDefault)
{
    if (!bUseDefault)
        m_bOwnColors = true;
    m_clrText = bUseDefault ? Defaults().m_clrText : clrText;
    Repaint();
}

void CMyButton::SetOverColors(COLORREF clrBk1, COLORREF clrBk2, COLORREF clrText, COLORREF clrFrame,
                              bool bUseDefault)
{
    const ButtonDefaults& d = Defaults();
    if (bUseDefault) {
        m_clrOverBk1 = d.m_clrOverBk1;
        m_clrOverBk2 = d.m_clrOverBk2;
        m_clrOverText = d.m_clrOverText;
        m_clrOverFrame = d.m_clrOverFrame;
    } else {
        m_bOwnColors = true;
        if (!IsKeep(clrBk1))
            m_clrOverBk1 = clrBk1;
        if (!IsKeep(clrBk2))
            m_clrOverBk2 = clrBk2;
        if (!IsKeep(clrText))
            m_clrOverText = clrText;
        if (!IsKeep(clrFrame))
            m_clrOverFrame = clrFrame;
    }
    Repaint();
}

void CMyButton::SetHoldColors(COLORREF clrBk1, COLORREF clrBk2, COLORREF clrText, COLORREF clrFrame,
                              bool bUseDefault)
{
    const ButtonDefaults& d = Defaults();
    if (bUseDefault) {
        m_clrHoldBk1 = d.m_clrHoldBk1;
        m_clrHoldBk2 = d.m_clrHoldBk2;
        m_clrHoldText = d.m_clrHoldText;
        m_clrHoldFrame = d.m_clrHoldFrame;
    } else {
        m_bOwnColors = true;
        if (!IsKeep(clrBk1))
            m_clrHoldBk1 = clrBk1;
        if (!IsKeep(clrBk2))
            m_clrHoldBk2 = clrBk2;
        if (!IsKeep(clrText))
            m_clrHoldText = clrText;
        if (!IsKeep(clrFrame))
            m_clrHoldFrame = clrFrame;
    }
    Repaint();
}

void CMyButton::SetOverTextColor(COLORREF clrText, bool bUseDefault)
{
    if (!bUseDefault)
        m_bOwnColors = true;
    m_clrOverText = bUseDefault ? Defaults().m_clrOverText : clrText;
    Repaint();
}

void CMyButton::SetImageOffset(int x, int y, bool bAlsoDefault)
{
    m_nImgOffsetX = x;
    m_nImgOffsetY = y;
    if (bAlsoDefault)
        SetDefaultImageOffset(x, y);
    Repaint();
}

void CMyButton::SetRound(int rx, int ry, bool bUseDefault)
{
    m_nRX = bUseDefault ? Defaults().m_nRX : std::max(rx, 0);
    m_nRY = bUseDefault ? Defaults().m_nRY : std::max(ry, 0);
    Repaint();
}

void CMyButton::GetRound(int& rx, int& ry) const
{
    rx = m_nRX;
    ry = m_nRY;
}

void CMyButton::SetHoldText(LPCWSTR lpszText)
{
    m_strHoldText = lpszText ? lpszText : L"";
    Repaint();
}

void CMyButton::SetChecked(bool bChecked)
{
    m_bOver = false;
    if (m_bChecked == bChecked)
        return;
    m_bChecked = bChecked;
    Repaint();
}

void CMyButton::SetToolTip(LPCWSTR lpszText)
{
    m_toolTip.SetText(lpszText);
    if (IsWindow())
        SetTimer(TIMER_TOOLTIP, 100);
}

void CMyButton::SetToolTipFromCaption(bool bFromCaption)
{
    m_toolTip.SetFromCaption(bFromCaption);
    if (IsWindow())
        SetTimer(TIMER_TOOLTIP, 100);
}

// ---- messages ----

void CMyButton::PreSubclassWindow()
{
    CButton::PreSubclassWindow();
    SetButtonStyle((GetStyle() & ~static_cast<DWORD>(BS_TYPEMASK)) | BS_OWNERDRAW, TRUE);
    m_toolTip.ResetToCaption();
    SetTimer(TIMER_TOOLTIP, 100);
}

namespace {

ButtonAccessibleState PushButtonState(HWND hWnd)
{
    const auto* pButton = dynamic_cast<const CMyButton*>(CWnd::FromHandle(hWnd));
    ButtonAccessibleState state;
    state.bChecked = pButton && pButton->GetChecked();
    return state;
}

} // namespace

LRESULT CMyButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_GETOBJECT:
        if (const LRESULT result = AnswerButtonGetObject(m_hWnd, wParam, lParam, PushButtonState))
            return result;
        break;
    case WM_MOUSEMOVE:
        m_toolTip.Relay(m_hWnd, message, wParam, lParam);
        if (!m_bOver) {
            m_bOver = true;
            // A hover without a hover face looks like the normal face: no repaint needed.
            bool bSameFace = m_bUseImages && m_strImageOver.empty() && !m_strImage.empty();
            if (!bSameFace)
                Repaint();
            TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, m_hWnd, 0};
            ::TrackMouseEvent(&tme);
        }
        break;
    case WM_MOUSELEAVE:
        m_bOver = false;
        Repaint();
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        m_toolTip.Relay(m_hWnd, message, wParam, lParam);
        if (m_bToggle)
            m_bChecked = !m_bChecked;
        m_bOver = true;
        m_bPressed = true;
        Repaint();
        break;
    case WM_LBUTTONUP:
        m_toolTip.Relay(m_hWnd, message, wParam, lParam);
        m_bPressed = false;
        Repaint();
        break;
    case WM_SETCURSOR:
        ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
    case WM_SETTEXT: {
        m_toolTip.ResetToCaption();
        SetTimer(TIMER_TOOLTIP, 100);
        LRESULT result = Default();
        Repaint();
        return result;
    }
    case WM_KILLFOCUS: {
        LRESULT result = Default();
        Repaint();
        return result;
    }
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

BOOL CMyButton::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    if (message == WM_DRAWITEM && lParam) {
        DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        *pResult = TRUE;
        return TRUE;
    }
    return CButton::OnChildNotify(message, wParam, lParam, pResult);
}

HFONT CMyButton::MakeCaptionFont(HDC hDC, bool bHover) const
{
    HFONT hBase = GetFont();
    if (!hBase)
        hBase = static_cast<HFONT>(::GetCurrentObject(hDC, OBJ_FONT));
    LOGFONTW lf{};
    if (!hBase || !::GetObjectW(hBase, sizeof lf, &lf))
        ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
    if (!m_szFaceName.empty())
        lstrcpynW(lf.lfFaceName, m_szFaceName.c_str(), LF_FACESIZE);
    if (m_nFontSize > 0)
        lf.lfHeight = m_nFontSize;
    lf.lfUnderline = (bHover && m_bUnderline) ? TRUE : FALSE;
    lf.lfItalic = m_bItalic ? TRUE : FALSE;
    lf.lfWeight = m_bBold ? FW_BOLD : FW_NORMAL;
    return ::CreateFontIndirectW(&lf);
}

void CMyButton::DrawItem(const DRAWITEMSTRUCT& dis)
{
    // Buffered, starting from what the target shows, so that the rounded corners keep the
    // parent's background.
    CMemDC mem(dis.hDC, dis.rcItem, true);
    DrawFace(mem, dis.rcItem, dis.itemState);
}

void CMyButton::DrawFace(HDC hDC, const RECT& rc, UINT itemState)
{
    const bool bDisabled = (itemState & ODS_DISABLED) != 0 || !IsWindowEnabled();
    const bool bPressed = m_bPressed || (itemState & ODS_SELECTED) != 0;
    const bool bHover = m_bOver;
    const int w = rc.right - rc.left;
    const int h = rc.bottom - rc.top;

    CSaveDC save(hDC);
    CFont captionFont(MakeCaptionFont(hDC, bHover));
    CSelectObject selectButtonFont(hDC, GetFont());
    CSelectObject selectCaptionFont(hDC, captionFont);
    ::SetBkMode(hDC, TRANSPARENT);

    std::wstring caption = WindowTextOf(m_hWnd);
    COLORREF clrText = m_clrText;
    COLORREF clrFrame = m_clrFrame;
    COLORREF clrBk1 = m_clrBk1;
    COLORREF clrBk2 = m_clrBk2;
    if (bHover) {
        clrText = m_clrOverText;
        clrFrame = m_clrOverFrame;
        clrBk1 = m_clrOverBk1;
        clrBk2 = m_clrOverBk2;
    }
    if (m_bChecked) {
        clrText = m_clrHoldText;
        clrFrame = m_clrHoldFrame;
        clrBk1 = m_clrHoldBk1;
        clrBk2 = m_clrHoldBk2;
        if (!m_strHoldText.empty())
            caption = m_strHoldText;
    }

    auto drawCaption = [&](const RECT& textRect, int nDisabledShift, bool bCentre) {
        if (!bDisabled) {
            RECT r = textRect;
            if (bPressed)
                ::OffsetRect(&r, 2, 2);
            ::SetTextColor(hDC, clrText);
            DrawCaptionLines(hDC, r, caption, bCentre);
            return;
        }
        RECT shadow = textRect;
        ::OffsetRect(&shadow, nDisabledShift, nDisabledShift);
        ::SetTextColor(hDC, RGB(255, 255, 255));
        DrawCaptionLines(hDC, shadow, caption, bCentre);
        ::SetTextColor(hDC, CLR_DISABLED_TEXT);
        DrawCaptionLines(hDC, textRect, caption, bCentre);
    };
    auto drawHoverFrame = [&] {
        if (m_bHoverFrame && bHover) {
            if (bPressed)
                Draw3dRect(hDC, rc, RGB(0, 0, 0), RGB(255, 255, 255));
            else
                Draw3dRect(hDC, rc, RGB(255, 255, 255), RGB(0, 0, 0));
        }
    };

    if (m_bUseImages) {
        std::wstring image;
        if (bDisabled)
            image = m_strImageDisabled;
        else if (m_bChecked)
            image = m_strImageOver.empty() ? m_strImageDown : m_strImageOver;
        else if (bHover)
            image = m_strImageOver;
        if (image.empty())
            image = m_strImage;
        if (!image.empty() && image.find(L":\\") == std::wstring::npos)
            image = GetDefaultSkinDir() + image;
        if (!image.empty() && DrawImageFile(image, hDC, rc, DRAW_IMAGE_FIT)) {
            if (m_bTextOnImage)
                drawCaption(rc, 1, true);
            drawHoverFrame();
            return;
        }
        // A face that cannot be drawn turns the images off for good.
        m_bUseImages = false;
    }

    if (!m_bNoRound) {
        CSaveDC saveClip(hDC);
        CRgn outer(MakeRoundRgn(rc.left, rc.top, rc.right, rc.bottom, m_nRX, m_nRY));
        CRgn inner(MakeRoundRgn(rc.left + 1, rc.top + 1, rc.right - 1, rc.bottom - 1, m_nRX, m_nRY));
        CRgn ring(::CreateRectRgn(0, 0, 0, 0));
        if (outer && inner && ring && ::CombineRgn(ring, outer, inner, RGN_DIFF) != ERROR) {
            ::SetDCBrushColor(hDC, clrFrame);
            ::FillRgn(hDC, ring, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
        }
        if (inner)
            ::ExtSelectClipRgn(hDC, inner, RGN_AND);
        GradientFillRect(hDC, {rc.left + 1, rc.top + 1, rc.right - 1, rc.bottom - 1}, clrBk1, clrBk2, true);
    }

    RECT textRect = rc;
    bool bCentre = true;
    if (m_pIconList && m_nIconIndex >= 0) {
        int iconWidth = 0;
        int iconHeight = 0;
        ::ImageList_GetIconSize(m_pIconList, &iconWidth, &iconHeight);
        int x = rc.left + m_nImgOffsetX + (bPressed ? 2 : 0);
        int y = rc.top + (h - iconHeight) / 2 + (bPressed ? 2 : 0);
        ::ImageList_Draw(m_pIconList, m_nIconIndex, hDC, x, y, ILD_TRANSPARENT);
        textRect.left = rc.left + iconWidth + 3 + m_nImgOffsetX;
    } else {
        std::wstring icon;
        if (m_bChecked)
            icon = m_strIconDown;
        else if (bHover)
            icon = m_strIconOver;
        if (icon.empty())
            icon = m_strIcon;
        if (SkinImagePtr image = icon.empty() ? nullptr : LoadSkinImage(icon)) {
            int iconWidth = static_cast<int>(image->GetWidth());
            int iconHeight = static_cast<int>(image->GetHeight());
            int x = m_nImgOffsetX;
            int y = (h - iconHeight) / 2;
            if (y < 3) {
                y = 3;
                iconWidth = iconHeight = std::max(h - 6, 1);
            }
            if (w < iconWidth + CaptionWidth(hDC, caption) + 8 + x)
                x = 4;
            DrawImage(image.get(), hDC,
                      {rc.left + x, rc.top + y, rc.left + x + iconWidth, rc.top + y + iconHeight},
                      DRAW_IMAGE_STRETCH);
            textRect.left = rc.left + iconWidth + 4 + x;
            bCentre = false;
        }
    }

    drawCaption(textRect, 2, bCentre);
    drawHoverFrame();

    if (ShowsButtonFocus(m_hWnd, itemState) && !m_bNoFocusRect && !m_bChecked && !m_bUseImages) {
        RECT focus{rc.left + 2, rc.top + 2, rc.right - 3, rc.bottom - 3};
        if (m_nRX > 0 && m_nRY > 0) {
            focus.left += 2;
            focus.right -= 3;
        }
        ::SetTextColor(hDC, RGB(0, 0, 0));
        ::DrawFocusRect(hDC, &focus);
    }
}
