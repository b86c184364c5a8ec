#include "dialogkit/DialogFrame.h"

#include "dialogkit/MyDialog.h"
#include "dialogkit/SkinningPass.h"

#include "controls/MyListCtrlIds.h"
#include "controls/SkinImage.h"
#include "controls/SkinWindow.h"
#include "platform/CClientDC.h"
#include "platform/CDC.h"
#include "platform/CMemDC.h"
#include "platform/CSelectObject.h"
#include "platform/CWinApp.h"
#include "platform/DpiScale.h"
#include "platform/WindowText.h"

#include <algorithm>
#include <cmath>
#include <cwchar>

namespace {

constexpr COLORREF NO_COLOR = static_cast<COLORREF>(-1);
constexpr COLORREF MINIMISED_FILL = 0x00FF00;
constexpr int BAND_DRAG_INSET = 5;
constexpr int BAND_DRAG_HEIGHT = 25;
constexpr int MIN_STRETCH_HEIGHT = 120; // at 96 dpi: a list's header and four rows
constexpr WPARAM SC_DRAGMOVE = 0xF012;  // system move with the caption hit code

HBRUSH HollowBrush()
{
    return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
}

RECT ClientOf(HWND hWnd)
{
    RECT rc{};
    ::GetClientRect(hWnd, &rc);
    return rc;
}

// The window's rectangle in its parent's client coordinates.
RECT PlaceInParent(HWND hWnd)
{
    RECT rc{};
    ::GetWindowRect(hWnd, &rc);
    if (HWND hParent = ::GetParent(hWnd); hParent && (::GetWindowLongW(hWnd, GWL_STYLE) & WS_CHILD))
        ::MapWindowPoints(nullptr, hParent, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

bool IsTopMost(HWND hWnd)
{
    return (::GetWindowLongW(hWnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

// Z-order only. Wine first lifts the window's owned pop-ups that lie above it (the buttons' tool
// tips, owned dialogs) and then inserts the window right after the last of them, where it stays
// without WS_EX_TOPMOST when the window below is not topmost; an owned window cannot be sent
// below its owner either. So when the first call leaves the style clear, those owned windows are
// let go of for a moment, the window is made topmost alone, and they are given back and put
// above it, topmost as well, in their old order.
void PlaceTopMost(HWND hWnd, BOOL bOn)
{
    const UINT flags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_FRAMECHANGED;
    ::SetWindowPos(hWnd, bOn ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, flags);
    if (!bOn || IsTopMost(hWnd))
        return;
    std::vector<HWND> owned; // above hWnd, top first
    for (HWND h = ::GetWindow(hWnd, GW_HWNDFIRST); h && h != hWnd; h = ::GetWindow(h, GW_HWNDNEXT))
        if (::GetWindow(h, GW_OWNER) == hWnd)
            owned.push_back(h);
    for (HWND h : owned)
        ::SetWindowLongPtrW(h, GWLP_HWNDPARENT, 0);
    ::SetWindowPos(hWnd, HWND_TOPMOST, 0, 0, 0, 0, flags);
    for (auto it = owned.rbegin(); it != owned.rend(); ++it) {
        ::SetWindowLongPtrW(*it, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(hWnd));
        ::SetWindowPos(*it, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

// Direction 0/2 horizontal, 1/3 vertical; 2 and 3 run the colours backwards.
void FillGradient(HDC hDC, const RECT& rc, const COLORREF* colors, int nCount, int nDirection)
{
    MultiGradientFill(hDC, rc, colors, nCount, nDirection >= 2, (nDirection & 1) != 0);
}

// Fonts given by SetItemFont, shared by every dialog for the life of the process (controls of
// any dialog may still hold one). User-interface thread only.
struct SharedFont {
    LONG nHeight;
    LONG nWeight;
    std::wstring face;
    CFont font;
};

std::vector<SharedFont>& SharedFonts()
{
    static auto* pFonts = new std::vector<SharedFont>;
    return *pFonts;
}

// An existing font of that height, weight and face (an empty face matches any), or a new one
// made from base with them.
HFONT SharedFontFor(const LOGFONTW& base, int nHeight, int nWeight, const wchar_t* pszFace)
{
    std::wstring face = pszFace ? pszFace : L"";
    for (auto& f : SharedFonts())
        if (f.nHeight == nHeight && f.nWeight == nWeight &&
            (face.empty() || _wcsicmp(f.face.c_str(), face.c_str()) == 0))
            return f.font.GetSafeHandle();
    LOGFONTW lf = base;
    lf.lfHeight = nHeight;
    lf.lfWidth = 0;
    lf.lfWeight = nWeight;
    if (!face.empty())
        wcsncpy_s(lf.lfFaceName, face.c_str(), _TRUNCATE);
    CFont font(::CreateFontIndirectW(&lf));
    if (!font)
        return nullptr;
    HFONT hFont = font.GetSafeHandle();
    SharedFonts().push_back(SharedFont{nHeight, nWeight, lf.lfFaceName, std::move(font)});
    return hFont;
}

} // namespace

CDialogFrame::CDialogFrame(CMyDialog& dlg, CSkinningPass& skins)
    : m_dlg(dlg), m_skins(skins), m_clrBack(CMyDialog::DEFAULT_BACK_COLOR),
      m_clrText(CMyDialog::DEFAULT_TEXT_COLOR), m_clrBorder(CMyDialog::DEFAULT_BORDER_COLOR),
      m_clrFocusBorder(CMyDialog::DEFAULT_FOCUS_BORDER_COLOR), m_nTopBand(CMyDialog::TOP_BAND_HEIGHT)
{
}

// ---- Set-up and release ---------------------------------------------------------------------

void CDialogFrame::Init()
{
    if (!m_brBack)
        m_brBack.Attach(::CreateSolidBrush(m_clrBack));
    if (!m_brControlBack)
        m_brControlBack.Attach(::CreateSolidBrush(CMyDialog::DEFAULT_CONTROL_BACK_COLOR));
    m_bInheritBack = TRUE;
    DWORD dwStyle = m_dlg.GetStyle();
    m_bResizable = (dwStyle & WS_THICKFRAME) != 0;
    if (dwStyle & WS_CHILD)
        m_bDragEnabled = FALSE;
}

void CDialogFrame::Release()
{
    m_lstTransparent.clear();
    m_lstItemColors.clear();
    m_lstStatics.clear();
    m_brBackPattern.DeleteObject();
    m_bmpCache.DeleteObject();
    m_brBack.DeleteObject();
    m_brControlBack.DeleteObject();
    m_fontPrivate.DeleteObject();
    m_lstAnchors.clear();
}

// ---- Colours --------------------------------------------------------------------------------

void CDialogFrame::SetBackgroundColor(COLORREF clr)
{
    m_clrBack = clr;
    m_brBack.Attach(::CreateSolidBrush(clr));
    m_bInheritBack = FALSE;
    if (m_dlg.m_hWnd)
        ::RedrawWindow(m_dlg.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
}

BOOL CDialogFrame::SetBackgroundGradient(const COLORREF* pColors, int nCount, int nDirection)
{
    if (!pColors || nCount < 2 || nCount > 100)
        return FALSE;
    // Only the stored colours can be drawn: a larger count would read past them.
    int nKept = std::min(nCount, MAX_GRADIENT_COLORS);
    std::copy(pColors, pColors + nKept, m_clrGradient);
    m_nGradientCount = nKept;
    m_nGradientDirection = nDirection;
    m_bInheritBack = FALSE;
    if (m_dlg.m_hWnd)
        ::RedrawWindow(m_dlg.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    return TRUE;
}

void CDialogFrame::SetControlBackColor(COLORREF clr)
{
    m_brControlBack.Attach(::CreateSolidBrush(clr));
}

void CDialogFrame::SetItemColors(int nID, COLORREF clrText, COLORREF clrBack)
{
    auto it = std::find_if(m_lstItemColors.begin(), m_lstItemColors.end(),
                           [nID](const ItemColor& c) { return c.nID == nID; });
    if (it == m_lstItemColors.end()) {
        m_lstItemColors.push_back(ItemColor{nID, clrText, clrBack, CBrush()});
        it = std::prev(m_lstItemColors.end());
    }
    it->clrText = clrText;
    it->clrBack = clrBack;
    if (clrBack == NO_COLOR)
        it->brush.DeleteObject();
    else
        it->brush.Attach(::CreateSolidBrush(clrBack));
    // Skinned controls draw themselves and take the colours as their own.
    const COLORREF clrOwnText =
        clrText == NO_COLOR || clrText == static_cast<COLORREF>(-2) ? m_clrText : clrText;
    m_skins.ApplyItemColors(nID, clrOwnText, clrBack);
    m_dlg.RedrawItem(nID);
}

void CDialogFrame::RegisterStatic(int nID, COLORREF clrText, COLORREF clrBack)
{
    auto it = std::find_if(m_lstStatics.begin(), m_lstStatics.end(),
                           [nID](const ItemColor& c) { return c.nID == nID; });
    if (it == m_lstStatics.end()) {
        m_lstStatics.push_back(ItemColor{nID, clrText, clrBack, CBrush()});
        it = std::prev(m_lstStatics.end());
    }
    it->clrText = clrText;
    it->clrBack = clrBack;
    it->brush.Attach(::CreateSolidBrush(clrBack));
    m_dlg.RedrawItem(nID);
}

void CDialogFrame::SetItemFont(int nID, int nHeight, int nWeight, LPCWSTR lpszFace)
{
    if (!m_dlg.m_hWnd)
        return;
    LOGFONTW base{};
    HFONT hDialogFont = m_fontPrivate ? m_fontPrivate.GetSafeHandle() : m_dlg.GetFont();
    if (!hDialogFont || ::GetObjectW(hDialogFont, sizeof base, &base) == 0)
        ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof base, &base);
    HFONT hFont = SharedFontFor(base, nHeight, nWeight, lpszFace);
    if (!hFont)
        return;
    if (nID == 10000 || nID == -1) {
        for (HWND hChild = ::GetWindow(m_dlg.m_hWnd, GW_CHILD); hChild;
             hChild = ::GetWindow(hChild, GW_HWNDNEXT))
            ::SendMessageW(hChild, WM_SETFONT, reinterpret_cast<WPARAM>(hFont), TRUE);
        return;
    }
    if (HWND hItem = m_dlg.FindItem(nID))
        ::SendMessageW(hItem, WM_SETFONT, reinterpret_cast<WPARAM>(hFont), TRUE);
}

void CDialogFrame::SetFocusBorderColor(int nID, COLORREF clr)
{
    for (auto& f : m_lstFocusBorders)
        if (f.first == nID) {
            f.second = clr;
            return;
        }
    m_lstFocusBorders.emplace_back(nID, clr);
}

void CDialogFrame::SetBackgroundImage(LPCWSTR lpszFile)
{
    m_strBackImage = lpszFile ? lpszFile : L"";
    if (m_dlg.m_hWnd)
        ::RedrawWindow(m_dlg.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
}

void CDialogFrame::AddTransparentItem(HWND hItem)
{
    if (!hItem || !::IsWindow(hItem))
        return;
    for (const auto& t : m_lstTransparent)
        if (t.hWnd == hItem)
            return;
    m_lstTransparent.push_back(TransparentItem{hItem, CBitmap(), CBrush()});
    m_dlg.QueueRedraw(hItem);
}

LRESULT CDialogFrame::OnCtlColor(UINT message, WPARAM wParam, LPARAM lParam, BOOL& bHandled)
{
    bHandled = TRUE;
    HDC hDC = reinterpret_cast<HDC>(wParam);
    HWND hCtl = reinterpret_cast<HWND>(lParam);
    if (message == WM_CTLCOLORDLG || hCtl == m_dlg.m_hWnd) {
        if (m_nGradientCount >= 2 || !m_strBackImage.empty()) {
            ::SetBkMode(hDC, TRANSPARENT);
            return reinterpret_cast<LRESULT>(HollowBrush());
        }
        bHandled = FALSE;
        return 0;
    }
    int nID = ::GetDlgCtrlID(hCtl);
    // Skinned controls answer their own colours through reflection.
    if (m_skins.IsSkinned(hCtl)) {
        bHandled = FALSE;
        return 0;
    }
    bool bEdit = IsClass(hCtl, L"Edit");
    ::SetBkMode(hDC, TRANSPARENT);
    if (!bEdit)
        ::SetTextColor(hDC, m_clrText);
    for (auto& t : m_lstTransparent)
        if (t.hWnd == hCtl && t.brush)
            return reinterpret_cast<LRESULT>(t.brush.GetSafeHandle());
    if (nID == 0 || nID == -1 || nID == CONTROL_ID_NONE)
        return reinterpret_cast<LRESULT>(HollowBrush());
    if (message == WM_CTLCOLORSTATIC && IsClass(hCtl, L"Static")) {
        for (auto& c : m_lstStatics) {
            if (c.nID != nID)
                continue;
            RECT rc = ClientOf(hCtl);
            ::FillRect(hDC, &rc, c.brush);
            ::SetTextColor(hDC, c.clrText);
            return reinterpret_cast<LRESULT>(HollowBrush());
        }
    }
    for (auto& c : m_lstItemColors) {
        if (c.nID != nID)
            continue;
        bool bOwnText = c.clrText != NO_COLOR && c.clrText != static_cast<COLORREF>(-2);
        ::SetTextColor(hDC, bOwnText ? c.clrText : m_clrText);
        if (c.clrBack != NO_COLOR)
            ::SetBkColor(hDC, c.clrBack);
        return reinterpret_cast<LRESULT>(c.brush ? c.brush.GetSafeHandle() : HollowBrush());
    }
    bool bReadOnly = m_skins.IsReadOnlyEdit(nID);
    if (bEdit) {
        if (bReadOnly)
            return reinterpret_cast<LRESULT>(HollowBrush());
        ::SetBkMode(hDC, OPAQUE);
        LOGBRUSH lb{};
        if (m_brControlBack && ::GetObjectW(m_brControlBack, sizeof lb, &lb))
            ::SetBkColor(hDC, lb.lbColor);
        return reinterpret_cast<LRESULT>(m_brControlBack.GetSafeHandle());
    }
    if (IsClass(hCtl, L"Button") || IsClass(hCtl, L"Static")) {
        if (bReadOnly)
            return reinterpret_cast<LRESULT>(HollowBrush());
        if (m_brBackPattern) {
            // The pattern is the dialog's whole client area: line it up with the control.
            RECT rc = PlaceInParent(hCtl);
            ::SetBrushOrgEx(hDC, -rc.left, -rc.top, nullptr);
            return reinterpret_cast<LRESULT>(m_brBackPattern.GetSafeHandle());
        }
        return reinterpret_cast<LRESULT>(m_brBack.GetSafeHandle());
    }
    bHandled = FALSE;
    return 0;
}

// ---- Painting -------------------------------------------------------------------------------

void CDialogFrame::PaintBackground(HDC hDC, const RECT& rc)
{
    if (!m_strBackImage.empty() && DrawImageFile(m_strBackImage, hDC, rc, DRAW_IMAGE_STRETCH))
        return;
    if (m_nGradientCount >= 2) {
        FillGradient(hDC, rc, m_clrGradient, m_nGradientCount, m_nGradientDirection);
        return;
    }
    if (m_bInheritBack && (m_dlg.GetStyle() & WS_CHILD)) {
        auto* pParent = dynamic_cast<CMyDialog*>(CWnd::FromHandle(::GetParent(m_dlg.m_hWnd)));
        if (pParent && CMyDialog::IsLiveDialog(pParent) && pParent->GetCachedBackground()) {
            RECT place = PlaceInParent(m_dlg.m_hWnd);
            const CDC src = CDC::CreateCompatibleDC(hDC);
            if (src) {
                const CSelectObject selected(src, pParent->GetCachedBackground());
                ::BitBlt(hDC, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, src, place.left,
                         place.top, SRCCOPY);
                return;
            }
        }
    }
    ::FillRect(hDC, &rc,
               m_brBack ? m_brBack.GetSafeHandle() : static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
}

void CDialogFrame::PaintDrawnItems(HDC hDC, const RECT& rc)
{
    for (const auto& r : m_lstDrawnRects) {
        RECT box{r.x, r.y, r.cx < 0 ? rc.right - 1 : r.x + r.cx, r.cy < 0 ? rc.bottom - 1 : r.y + r.cy};
        if (!r.fill.empty()) {
            if (r.nFillMode < 2) {
                CBrush brush(::CreateSolidBrush(r.fill.front()));
                ::FillRect(hDC, &box, brush);
            } else {
                int n = std::min<int>(r.nFillMode, static_cast<int>(r.fill.size()));
                FillGradient(hDC, box, r.fill.data(), n, r.nDirection);
            }
        }
        if (r.nBorderWidth > 0) {
            CPen pen(::CreatePen(PS_SOLID, r.nBorderWidth, r.clrBorder));
            CSelectObject selPen(hDC, pen);
            CSelectObject selBrush(hDC, ::GetStockObject(NULL_BRUSH));
            ::Rectangle(hDC, box.left, box.top, box.right, box.bottom);
        }
    }
    for (const auto& l : m_lstDrawnLines) {
        CPen pen(::CreatePen(l.nPenStyle, l.nWidth, l.clr));
        CSelectObject sel(hDC, pen);
        ::MoveToEx(hDC, l.x1, l.y1, nullptr);
        ::LineTo(hDC, l.x2 < 0 ? rc.right : l.x2, l.y2 < 0 ? rc.bottom : l.y2);
    }
    for (const auto& img : m_lstDrawnImages) {
        SkinImagePtr image = LoadSkinImage(img.file);
        if (!image)
            continue; // a file that does not load is skipped
        int w = static_cast<int>(image->GetWidth());
        int h = static_cast<int>(image->GetHeight());
        if (w <= 0 || h <= 0) {
            DrawImage(image.get(), hDC, RECT{img.x, img.y, img.x + 1, img.y + 1}, DRAW_IMAGE_ACTUAL);
            continue;
        }
        int cx = img.cx < 1 ? w : img.cx;
        int cy = img.cy < 1 ? h : img.cy;
        Gdiplus::Graphics g(hDC);
        if (img.nAngle > 0) {
            float mx = img.x + cx / 2.0f;
            float my = img.y + cy / 2.0f;
            g.TranslateTransform(mx, my);
            g.RotateTransform(static_cast<Gdiplus::REAL>(img.nAngle));
            g.TranslateTransform(-mx, -my);
        }
        g.DrawImage(image.get(), img.x, img.y, cx, cy);
    }
    for (const auto& t : m_lstDrawnTexts) {
        ::SetTextColor(hDC, t.clrText);
        if (t.clrBack == NO_COLOR) {
            ::SetBkMode(hDC, TRANSPARENT);
        } else {
            ::SetBkMode(hDC, OPAQUE);
            ::SetBkColor(hDC, t.clrBack);
        }
        CSelectObject sel(hDC, t.hFont ? t.hFont : m_dlg.GetFont());
        SIZE size{};
        ::GetTextExtentPoint32W(hDC, t.text.c_str(), static_cast<int>(t.text.size()), &size);
        int x = t.x == -1 ? (rc.right - size.cx) / 2 : t.x;
        int y = t.y == -1 ? (rc.bottom - size.cy) / 2 : t.y;
        ::TextOutW(hDC, x, y, t.text.c_str(), static_cast<int>(t.text.size()));
    }
}

void CDialogFrame::StoreBackground(HDC hDC, const RECT& rc)
{
    int cx = rc.right - rc.left;
    int cy = rc.bottom - rc.top;
    if (cx <= 0 || cy <= 0)
        return;
    CBitmap cache(::CreateCompatibleBitmap(hDC, cx, cy));
    if (!cache)
        return;
    CDC copy = CDC::CreateCompatibleDC(hDC);
    if (!copy)
        return;
    {
        CSelectObject sel(copy.GetSafeHdc(), cache);
        ::BitBlt(copy.GetSafeHdc(), 0, 0, cx, cy, hDC, rc.left, rc.top, SRCCOPY);
        for (auto& t : m_lstTransparent) {
            if (!t.hWnd || !::IsWindow(t.hWnd))
                continue;
            RECT place = PlaceInParent(t.hWnd);
            int w = place.right - place.left;
            int h = place.bottom - place.top;
            if (w <= 0 || h <= 0)
                continue;
            CBitmap snap(::CreateCompatibleBitmap(hDC, w, h));
            CDC snapDc = CDC::CreateCompatibleDC(hDC);
            if (!snap || !snapDc)
                continue;
            {
                CSelectObject selSnap(snapDc.GetSafeHdc(), snap);
                ::BitBlt(snapDc.GetSafeHdc(), 0, 0, w, h, copy.GetSafeHdc(), place.left, place.top, SRCCOPY);
            }
            t.brush.Attach(::CreatePatternBrush(snap));
            t.snapshot = std::move(snap);
        }
    }
    m_brBackPattern.Attach(::CreatePatternBrush(cache));
    m_bmpCache = std::move(cache);
}

std::optional<int> CDialogFrame::PaintBorders(HDC hDC)
{
    std::optional<int> focusedEdit;
    auto frame = [this, hDC](HWND hItem, COLORREF clr) {
        if (!::IsWindow(hItem) || !::IsWindowVisible(hItem))
            return;
        RECT rc = PlaceInParent(hItem);
        ::InflateRect(&rc, 1, 1);
        CBrush brush(::CreateSolidBrush(clr));
        ::FrameRect(hDC, &rc, brush);
    };
    for (HWND h : m_skins.GetBordered())
        frame(h, m_clrBorder);
    HWND hFocus = ::GetFocus();
    for (HWND h : m_skins.GetEdits()) {
        COLORREF clr = m_clrBorder;
        if (h == hFocus) {
            clr = m_clrFocusBorder;
            int nID = ::GetDlgCtrlID(h);
            for (const auto& f : m_lstFocusBorders)
                if (f.first == nID)
                    clr = f.second;
            focusedEdit = nID;
        }
        frame(h, clr);
    }
    return focusedEdit;
}

std::optional<int> CDialogFrame::PaintClient(HDC hDC)
{
    if (!m_dlg.m_hWnd || !hDC)
        return std::nullopt;
    RECT rc = ClientOf(m_dlg.m_hWnd);
    CMemDC mem(hDC, rc);
    PaintBackground(mem, rc);
    PaintDrawnItems(mem, rc);
    StoreBackground(mem, rc);
    const std::optional<int> focusedEdit = PaintBorders(mem);
    mem.Flush();
    return focusedEdit;
}

// ---- On top ---------------------------------------------------------------------------------

void CDialogFrame::SetTopMost(BOOL bOn)
{
    if (m_dlg.m_hWnd)
        PlaceTopMost(m_dlg.m_hWnd, bOn);
}

void CDialogFrame::ToggleOnTop()
{
    BOOL bWasOnTop = m_bOnTop;
    m_bOnTop = !bWasOnTop;
    SetTopMost(!bWasOnTop);
}

void CDialogFrame::OnOnTopCheckClicked()
{
    HWND hBox = m_dlg.FindItem(m_nOnTopCheckId);
    if (!hBox)
        return;
    BOOL bChecked = ::SendMessageW(hBox, BM_GETCHECK, 0, 0) == BST_CHECKED;
    if (!(m_dlg.GetStyle() & WS_CHILD)) {
        SetTopMost(bChecked);
        return;
    }
    // A child dialog keeps the application's main window on top, z-order only.
    HWND hMain = nullptr;
    if (CWnd* pMain = AfxGetMainWnd())
        hMain = pMain->m_hWnd;
    if (!hMain)
        hMain = ::GetAncestor(m_dlg.m_hWnd, GA_ROOT);
    if (hMain)
        PlaceTopMost(hMain, bChecked);
}

void CDialogFrame::RegisterOnTopCheckBox(int nOnTopId)
{
    m_nOnTopCheckId = nOnTopId;
    if (!m_dlg.m_hWnd || nOnTopId == -1)
        return;
    if (HWND hBox = m_dlg.FindItem(nOnTopId))
        ::PostMessageW(m_dlg.m_hWnd, WM_COMMAND, MAKEWPARAM(nOnTopId, BN_CLICKED),
                       reinterpret_cast<LPARAM>(hBox));
}

// ---- Showing and maximising -----------------------------------------------------------------

void CDialogFrame::ShowDialog(int nMode)
{
    if (!m_dlg.m_hWnd)
        return;
    if (nMode == 0) {
        ::ShowWindow(m_dlg.m_hWnd, SW_HIDE);
        return;
    }
    // Restored at once, not posted: centring and maximising need the real window size.
    if (::IsIconic(m_dlg.m_hWnd))
        ::SendMessageW(m_dlg.m_hWnd, WM_SYSCOMMAND, SC_RESTORE, 0);
    bool bCaption = (m_dlg.GetStyle() & WS_CAPTION) == WS_CAPTION;
    auto maximise = [this, bCaption] {
        if (bCaption)
            ::SendMessageW(m_dlg.m_hWnd, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
        else
            ::SetWindowPos(m_dlg.m_hWnd, nullptr, 0, 0, ::GetSystemMetrics(SM_CXSCREEN),
                           ::GetSystemMetrics(SM_CYSCREEN), SWP_NOZORDER | SWP_NOACTIVATE);
    };
    switch (nMode) {
    case 1:
        ::ShowWindow(m_dlg.m_hWnd, SW_SHOW);
        break;
    case 2: {
        ::ShowWindow(m_dlg.m_hWnd, SW_SHOW);
        HWND hOver = ::GetParent(m_dlg.m_hWnd);
        RECT area{};
        if (hOver && ::IsWindowVisible(hOver) && !::IsIconic(hOver)) {
            ::GetWindowRect(hOver, &area);
        } else {
            MONITORINFO mi{sizeof mi};
            ::GetMonitorInfoW(::MonitorFromWindow(m_dlg.m_hWnd, MONITOR_DEFAULTTOPRIMARY), &mi);
            area = mi.rcWork;
        }
        RECT rc{};
        ::GetWindowRect(m_dlg.m_hWnd, &rc);
        int w = rc.right - rc.left;
        int h = rc.bottom - rc.top;
        int x = area.left + ((area.right - area.left) - w) / 2;
        int y = area.top + ((area.bottom - area.top) - h) / 2;
        if (m_dlg.GetStyle() & WS_CHILD) {
            POINT pt{x, y};
            ::ScreenToClient(hOver, &pt);
            x = pt.x;
            y = pt.y;
        }
        ::SetWindowPos(m_dlg.m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        break;
    }
    case 3:
        if (bCaption) {
            ::ShowWindow(m_dlg.m_hWnd, SW_SHOWMAXIMIZED);
        } else {
            ::ShowWindow(m_dlg.m_hWnd, SW_SHOW);
            maximise();
        }
        m_bMaximised = TRUE;
        break;
    case 4:
        maximise();
        m_bMaximised = TRUE;
        break;
    default:
        ::ShowWindow(m_dlg.m_hWnd, SW_SHOW);
        break;
    }
    ::BringWindowToTop(m_dlg.m_hWnd);
}

void CDialogFrame::ToggleMaximise()
{
    if (!m_dlg.m_hWnd)
        return;
    ::SendMessageW(m_dlg.m_hWnd, WM_SYSCOMMAND, m_bMaximised ? SC_RESTORE : SC_MAXIMIZE, 0);
    m_bMaximised = !m_bMaximised;
}

// ---- Layout ---------------------------------------------------------------------------------

void CDialogFrame::MoveItem(HWND hItem, int x, int y, BOOL bAbsolute)
{
    if (!hItem || !::IsWindow(hItem) || !m_dlg.m_hWnd)
        return;
    RECT place = PlaceInParent(hItem);
    int w = place.right - place.left;
    int h = place.bottom - place.top;
    RECT client = ClientOf(::GetParent(hItem) ? ::GetParent(hItem) : m_dlg.m_hWnd);
    int nx = place.left;
    int ny = place.top;
    if (bAbsolute) {
        nx = x == -2 ? (client.right - w) / 2 : (x == -1 ? place.left : x);
        ny = y == -2 ? (client.bottom - h) / 2 : (y == -1 ? place.top : y);
    } else {
        if (x > 0)
            nx += x;
        if (y > 0)
            ny += y;
    }
    ::SetWindowPos(hItem, nullptr, nx, ny, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    m_dlg.QueueRedraw(hItem);
    m_dlg.SaveItemPos(hItem);
}

void CDialogFrame::AlignItem(HWND hItem, int nMargin, int nEdge)
{
    if (!hItem || !::IsWindow(hItem) || !m_dlg.m_hWnd)
        return;
    RECT place = PlaceInParent(hItem);
    int w = place.right - place.left;
    int h = place.bottom - place.top;
    RECT client = ClientOf(::GetParent(hItem) ? ::GetParent(hItem) : m_dlg.m_hWnd);
    int x = place.left;
    int y = place.top;
    switch (nEdge) {
    case 0:
        y = nMargin;
        break;
    case 1:
        y = client.bottom - nMargin - h;
        break;
    case 2:
        x = nMargin;
        break;
    case 3:
        x = client.right - nMargin - w;
        break;
    default:
        return;
    }
    ::SetWindowPos(hItem, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    m_dlg.QueueRedraw(hItem);
    m_dlg.SaveItemPos(hItem);
}

void CDialogFrame::ResizeItem(HWND hItem, int nWidth, int nHeight)
{
    if (!hItem || !::IsWindow(hItem) || !m_dlg.m_hWnd)
        return;
    RECT place = PlaceInParent(hItem);
    int w = nWidth < 1 ? place.right - place.left : nWidth;
    int h = nHeight < 1 ? place.bottom - place.top : nHeight;
    ::SetWindowPos(hItem, nullptr, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    m_dlg.QueueRedraw(hItem);
    m_dlg.SaveItemPos(hItem);
}

void CDialogFrame::SetItemBorder(HWND hItem, BOOL bOn)
{
    if (!hItem)
        return;
    ::SetWindowLongW(hItem, GWL_EXSTYLE,
                     ::GetWindowLongW(hItem, GWL_EXSTYLE) &
                         ~(WS_EX_CLIENTEDGE | WS_EX_WINDOWEDGE | WS_EX_STATICEDGE));
    ::SetWindowPos(hItem, nullptr, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    m_skins.SetBordered(hItem, bOn != FALSE);
    CMyDialog::RedrawControl(hItem);
}

void CDialogFrame::AddAnchor(HWND hItem, int nLeft, int nRightMargin, int nTop, int nBottomMargin)
{
    if (!hItem)
        return;
    m_lstAnchors.push_back(Anchor{hItem, nLeft, nRightMargin, nTop, nBottomMargin});
}

void CDialogFrame::ApplyAnchors()
{
    RECT client = ClientOf(m_dlg.m_hWnd);
    for (const auto& a : m_lstAnchors) {
        if (!::IsWindow(a.hWnd))
            continue;
        MoveItem(a.hWnd, a.nLeft, a.nTop, TRUE);
        RECT place = PlaceInParent(a.hWnd);
        int w = a.nRight >= 0 ? client.right - place.left - a.nRight : 0;
        int h = a.nBottom >= 0 ? client.bottom - place.top - a.nBottom : 0;
        if (w >= 1 || h >= 1)
            ResizeItem(a.hWnd, w, h);
    }
}

// ---- Drawn items ----------------------------------------------------------------------------

void CDialogFrame::AddDrawnRect(int x, int y, int cx, int cy, int nBorderWidth, int nDirection, int nFillMode,
                                COLORREF clrBorder, const std::vector<COLORREF>& fillColors)
{
    m_lstDrawnRects.push_back(
        DrawnRect{x, y, cx, cy, nBorderWidth, nDirection, nFillMode, clrBorder, fillColors});
}

void CDialogFrame::AddDrawnLine(int x1, int y1, int x2, int y2, int nWidth, int nPenStyle, COLORREF clr)
{
    m_lstDrawnLines.push_back(DrawnLine{x1, y1, x2, y2, nWidth, nPenStyle, clr});
}

void CDialogFrame::AddDrawnImage(int x, int y, int cx, int cy, int nAngle, LPCWSTR lpszFile)
{
    m_lstDrawnImages.push_back(DrawnImage{x, y, cx, cy, nAngle, lpszFile ? lpszFile : L""});
}

void CDialogFrame::AddDrawnText(int x, int y, LPCWSTR lpszText, COLORREF clrText, COLORREF clrBack,
                                HFONT hFont)
{
    m_lstDrawnTexts.push_back(DrawnText{x, y, lpszText ? lpszText : L"", clrText, clrBack, hFont});
    // Transparent controls over the text must take the new background.
    if (m_dlg.m_hWnd)
        m_dlg.SetTimer(CMyDialog::TIMER_TRANSPARENT, 10);
}

void CDialogFrame::ClearDrawnItems()
{
    m_lstDrawnRects.clear();
    m_lstDrawnLines.clear();
    m_lstDrawnImages.clear();
    m_lstDrawnTexts.clear();
}

// ---- Font size ------------------------------------------------------------------------------

void CDialogFrame::SetDialogFontSize(float fPoints)
{
    m_fFontPoints = fPoints;
    if (m_dlg.m_hWnd)
        m_dlg.SetTimer(CMyDialog::TIMER_FONT_SIZE, 20);
}

void CDialogFrame::ApplyFontSize()
{
    HFONT hRef = m_fontPrivate ? m_fontPrivate.GetSafeHandle() : m_dlg.GetFont();
    LOGFONTW lfRef{};
    if (!hRef || ::GetObjectW(hRef, sizeof lfRef, &lfRef) == 0 || lfRef.lfHeight == 0)
        return;
    int nTenths = static_cast<int>(m_fFontPoints * 10.0f);
    if (nTenths <= 0)
        return;
    // The height a point-size font of nTenths gets on the screen.
    const int nDpi = [] {
        const CClientDC screen(nullptr);
        return screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
    }();
    LOGFONTW lf = lfRef;
    lf.lfHeight = -::MulDiv(nTenths, nDpi, 720);
    lf.lfWidth = 0;
    CFont font(::CreateFontIndirectW(&lf));
    if (!font)
        return;
    double scale = static_cast<double>(lf.lfHeight) / static_cast<double>(lfRef.lfHeight);
    for (HWND hChild = ::GetWindow(m_dlg.m_hWnd, GW_CHILD); hChild;
         hChild = ::GetWindow(hChild, GW_HWNDNEXT)) {
        RECT place = PlaceInParent(hChild);
        ::SendMessageW(hChild, WM_SETFONT, reinterpret_cast<WPARAM>(font.GetSafeHandle()), FALSE);
        ::SetWindowPos(hChild, nullptr, static_cast<int>(place.left * scale),
                       static_cast<int>(place.top * scale),
                       static_cast<int>((place.right - place.left) * scale),
                       static_cast<int>((place.bottom - place.top) * scale), SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ::SendMessageW(m_dlg.m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(font.GetSafeHandle()), FALSE);
    RECT rc{};
    ::GetWindowRect(m_dlg.m_hWnd, &rc);
    ::SetWindowPos(m_dlg.m_hWnd, nullptr, 0, 0, static_cast<int>((rc.right - rc.left) * scale),
                   static_cast<int>((rc.bottom - rc.top) * scale),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // The controls now use the new font; the previous private one goes.
    m_fontPrivate = std::move(font);
    ::InvalidateRect(m_dlg.m_hWnd, nullptr, TRUE);
}

void CDialogFrame::RepaintTransparent()
{
    for (const auto& t : m_lstTransparent) {
        if (!::IsWindow(t.hWnd))
            continue;
        m_dlg.QueueRedraw(t.hWnd);
        ::RedrawWindow(t.hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_INTERNALPAINT | RDW_UPDATENOW);
    }
}

// ---- Messages -------------------------------------------------------------------------------

bool CDialogFrame::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_ERASEBKGND:
        result = 1; // WM_PAINT covers the whole client area
        return true;
    case WM_PAINT: {
        PAINTSTRUCT ps{};
        HDC hDC = ::BeginPaint(m_dlg.m_hWnd, &ps);
        if (hDC) {
            if (::IsIconic(m_dlg.m_hWnd)) {
                RECT rc = ClientOf(m_dlg.m_hWnd);
                CBrush green(::CreateSolidBrush(MINIMISED_FILL));
                ::FillRect(hDC, &rc, green);
            } else {
                m_dlg.PaintClient(hDC);
            }
        }
        ::EndPaint(m_dlg.m_hWnd, &ps);
        result = 0;
        return true;
    }
    case WM_PRINTCLIENT:
        m_dlg.PaintClient(reinterpret_cast<HDC>(wParam));
        result = 0;
        return true;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORMSGBOX: {
        BOOL bHandled = FALSE;
        result = OnCtlColor(message, wParam, lParam, bHandled);
        return bHandled != FALSE;
    }
    case WM_LBUTTONDBLCLK: {
        int y = static_cast<short>(HIWORD(lParam));
        if (y >= 0 && y < m_nTopBand && (m_skins.GetSavedStyle() & WS_MAXIMIZEBOX)) {
            ToggleMaximise();
            ::InvalidateRect(m_dlg.m_hWnd, nullptr, FALSE);
        }
        break;
    }
    case WM_LBUTTONDOWN: {
        int x = static_cast<short>(LOWORD(lParam));
        int y = static_cast<short>(HIWORD(lParam));
        RECT rc = ClientOf(m_dlg.m_hWnd);
        DWORD dwStyle = m_dlg.GetStyle();
        if ((dwStyle & WS_POPUP) && (dwStyle & WS_CAPTION) != WS_CAPTION && m_bDragEnabled && !m_bMaximised &&
            m_bBandDrag && x >= BAND_DRAG_INSET && x < rc.right - BAND_DRAG_INSET && y >= 0 &&
            y < BAND_DRAG_HEIGHT) {
            ::ReleaseCapture();
            ::SendMessageW(m_dlg.m_hWnd, WM_SYSCOMMAND, SC_DRAGMOVE, 0);
            result = 0;
            return true;
        }
        break;
    }
    case WM_DPICHANGED:
        OnDpiChanged(LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        result = 0;
        return true;
    case WM_COMMAND:
        if (m_nOnTopCheckId != -1 && static_cast<int>(LOWORD(wParam)) == (m_nOnTopCheckId & 0xFFFF) &&
            HIWORD(wParam) == BN_CLICKED)
            OnOnTopCheckClicked();
        break;
    default:
        break;
    }
    return false;
}

void CDialogFrame::OnDpiChanged(int nNewDpi, const RECT* pSuggested)
{
    HWND hDlg = m_dlg.m_hWnd;
    // The system's suggestion keeps the window where the user dropped it, at the new scale.
    if (pSuggested)
        ::SetWindowPos(hDlg, nullptr, pSuggested->left, pSuggested->top, pSuggested->right - pSuggested->left,
                       pSuggested->bottom - pSuggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    // Controls that keep their own pixel measures (the lists' rows and columns) scale them; those
    // that ignore the notice keep what they have.
    for (HWND hChild = ::GetWindow(hDlg, GW_CHILD); hChild; hChild = ::GetWindow(hChild, GW_HWNDNEXT))
        ::SendMessageW(hChild, WM_DPICHANGED_AFTERPARENT, static_cast<WPARAM>(nNewDpi), 0);
    ::RedrawWindow(hDlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void CDialogFrame::FitToWorkArea(HWND hDlg, HWND hStretch)
{
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    RECT window{};
    if (!hDlg || !::GetMonitorInfoW(::MonitorFromWindow(hDlg, MONITOR_DEFAULTTONEAREST), &monitor) ||
        !::GetWindowRect(hDlg, &window))
        return;
    const RECT& work = monitor.rcWork;
    int height = window.bottom - window.top;
    const int width = window.right - window.left;
    const int overflow = height - (work.bottom - work.top);
    RECT stretch{};
    if (overflow > 0 && hStretch && ::GetWindowRect(hStretch, &stretch)) {
        ::MapWindowPoints(nullptr, hDlg, reinterpret_cast<POINT*>(&stretch), 2);
        const int keep = ScaleForWindow(MIN_STRETCH_HEIGHT, hDlg);
        const int cut =
            std::min(overflow, std::max(0, static_cast<int>(stretch.bottom - stretch.top) - keep));
        if (cut > 0) {
            for (HWND hChild = ::GetWindow(hDlg, GW_CHILD); hChild;
                 hChild = ::GetWindow(hChild, GW_HWNDNEXT)) {
                RECT rc{};
                ::GetWindowRect(hChild, &rc);
                ::MapWindowPoints(nullptr, hDlg, reinterpret_cast<POINT*>(&rc), 2);
                if (rc.top >= stretch.bottom)
                    ::SetWindowPos(hChild, nullptr, rc.left, rc.top - cut, 0, 0,
                                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            }
            ::SetWindowPos(hStretch, nullptr, 0, 0, stretch.right - stretch.left,
                           stretch.bottom - stretch.top - cut, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            height -= cut;
        }
    }
    const int x = std::max(static_cast<int>(work.left),
                           std::min(static_cast<int>(window.left), static_cast<int>(work.right) - width));
    const int y = std::max(static_cast<int>(work.top),
                           std::min(static_cast<int>(window.top), static_cast<int>(work.bottom) - height));
    ::SetWindowPos(hDlg, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void CDialogFrame::AfterMessage(UINT message)
{
    if (message != WM_SIZE || !m_dlg.m_hWnd || !::IsWindow(m_dlg.m_hWnd))
        return;
    for (const auto& t : m_lstTransparent)
        m_dlg.QueueRedraw(t.hWnd);
    ApplyAnchors();
    ::RedrawWindow(m_dlg.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_NOERASE | RDW_UPDATENOW);
}
