#include "controls/MySliderCtrl.h"

#include "controls/SkinImage.h"
#include "platform/CGdiObject.h"
#include "platform/CMemDC.h"
#include "platform/CPaintDC.h"
#include "platform/CSaveDC.h"
#include "platform/CSelectObject.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

const UINT_PTR TIMER_POSITION = 2;
const int END_MARGIN = 8; // the channel stops this far from both ends

struct SliderDefaults {
    std::wstring strChannelImage;
    std::wstring strFilledImage;
    std::wstring strThumbImage;
    COLORREF clrChannel = 0xFA3232;
    COLORREF clrFilled = 0x32FA32;
    COLORREF clrThumb = 0x0000FA;
    int nThumbShape = 0;
};

SliderDefaults& Defaults()
{
    static SliderDefaults defaults;
    return defaults;
}

// Every slider alive now; the user-interface thread alone makes and destroys sliders.
std::vector<CMySliderCtrl*>& LiveSliders()
{
    static std::vector<CMySliderCtrl*> sliders;
    return sliders;
}

void FillRoundRect(HDC dc, const RECT& rect, int corner, COLORREF colour)
{
    CBrush brush(::CreateSolidBrush(colour));
    CPen pen(::CreatePen(PS_SOLID, 1, colour));
    CSelectObject selectBrush(dc, brush);
    CSelectObject selectPen(dc, pen);
    ::RoundRect(dc, rect.left, rect.top, rect.right, rect.bottom, corner, corner);
}

bool IsEmpty(const RECT& rect)
{
    return rect.right <= rect.left || rect.bottom <= rect.top;
}

// The filled part's end: offset of pos in [min, max] scaled to length. An empty range counts as one
// step, and positions outside the range stay inside the channel.
int ScaledOffset(int nPos, int nMin, int nMax, int nLength)
{
    int64_t range = static_cast<int64_t>(nMax) - nMin;
    if (range <= 0)
        range = 1;
    int64_t offset = (static_cast<int64_t>(nPos) - nMin) * nLength / range;
    return static_cast<int>(std::clamp<int64_t>(offset, 0, nLength));
}

} // namespace

CMySliderCtrl::CMySliderCtrl()
{
    const SliderDefaults& defaults = Defaults();
    m_strChannelImage = defaults.strChannelImage;
    m_strFilledImage = defaults.strFilledImage;
    m_strThumbImage = defaults.strThumbImage;
    m_clrChannel = defaults.clrChannel;
    m_clrFilled = defaults.clrFilled;
    m_clrThumb = defaults.clrThumb;
    m_nThumbShape = defaults.nThumbShape;
    LiveSliders().push_back(this);
}

CMySliderCtrl::~CMySliderCtrl()
{
    std::vector<CMySliderCtrl*>& sliders = LiveSliders();
    sliders.erase(std::remove(sliders.begin(), sliders.end(), this), sliders.end());
    if (m_bDragging)
        ::ClipCursor(nullptr);
}

int CMySliderCtrl::GetLiveSliderCount()
{
    return static_cast<int>(LiveSliders().size());
}

void CMySliderCtrl::SetDefaultSliderColors(COLORREF clrChannel, COLORREF clrFilled, COLORREF clrThumb)
{
    SliderDefaults& defaults = Defaults();
    defaults.clrChannel = clrChannel;
    defaults.clrFilled = clrFilled;
    defaults.clrThumb = clrThumb;
    for (CMySliderCtrl* pSlider : LiveSliders())
        pSlider->SetSliderColors(clrChannel, clrFilled, clrThumb);
}

void CMySliderCtrl::SetDefaultSliderImages(std::wstring_view channel, std::wstring_view filled,
                                           std::wstring_view thumb)
{
    SliderDefaults& defaults = Defaults();
    defaults.strChannelImage = channel;
    defaults.strFilledImage = filled;
    defaults.strThumbImage = thumb;
    for (CMySliderCtrl* pSlider : LiveSliders())
        pSlider->SetSliderImages(channel, filled, thumb);
}

void CMySliderCtrl::SetDefaultThumbShape(int nShape)
{
    Defaults().nThumbShape = nShape;
    for (CMySliderCtrl* pSlider : LiveSliders())
        pSlider->SetThumbShape(nShape);
}

void CMySliderCtrl::SetSliderColors(COLORREF clrChannel, COLORREF clrFilled, COLORREF clrThumb)
{
    m_clrChannel = clrChannel;
    m_clrFilled = clrFilled;
    m_clrThumb = clrThumb;
    RepaintNow();
}

void CMySliderCtrl::SetSliderImages(std::wstring_view channel, std::wstring_view filled,
                                    std::wstring_view thumb)
{
    m_strChannelImage = channel;
    m_strFilledImage = filled;
    m_strThumbImage = thumb;
    RepaintNow();
}

void CMySliderCtrl::SetThumbShape(int nShape)
{
    m_nThumbShape = nShape;
    RepaintNow();
}

void CMySliderCtrl::SetChannelThickness(int nThickness)
{
    m_nChannelThickness = nThickness;
    RepaintNow();
}

void CMySliderCtrl::SetSliderPos(int nPos)
{
    if (!IsWindow())
        return;
    UpdateOrientation();
    if (!m_bHorizontal)
        nPos = GetRangeMax() - (nPos - GetRangeMin());
    SetPos(nPos, TRUE);
    RepaintNow();
}

int CMySliderCtrl::GetSliderPos() const
{
    if (!IsWindow())
        return 0;
    int nPos = GetPos();
    if (!m_bHorizontal)
        nPos = GetRangeMax() - (nPos - GetRangeMin());
    return nPos;
}

void CMySliderCtrl::PreSubclassWindow()
{
    // Known from the start, so that the position mirroring holds before the first paint.
    UpdateOrientation();
    m_nLastPos = GetPos();
    Invalidate(FALSE);
}

void CMySliderCtrl::UpdateOrientation()
{
    RECT rc;
    GetClientRect(&rc);
    m_bHorizontal = rc.right - rc.left > rc.bottom - rc.top;
}

void CMySliderCtrl::RepaintNow()
{
    if (IsWindow())
        RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void CMySliderCtrl::CheckPosition()
{
    if (!IsWindow())
        return;
    int nPos = GetPos();
    if (nPos != m_nLastPos) {
        m_nLastPos = nPos;
        RepaintNow();
    }
}

void CMySliderCtrl::DrawControl(HDC dc)
{
    RECT rc;
    GetClientRect(&rc);
    int w = rc.right - rc.left;
    int h = rc.bottom - rc.top;
    if (w <= 0 || h <= 0)
        return;
    m_bHorizontal = w > h;
    CSaveDC save(dc);

    // The background is the one the parent gives a track bar.
    auto hBrush = reinterpret_cast<HBRUSH>(::SendMessageW(
        GetParent(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(m_hWnd)));
    ::FillRect(dc, &rc, hBrush ? hBrush : ::GetSysColorBrush(COLOR_BTNFACE));

    int across = m_bHorizontal ? h : w;
    int t = std::max(1, std::min(m_nChannelThickness, across));
    RECT channel = rc;
    if (m_bHorizontal) {
        channel.left += END_MARGIN;
        channel.right -= END_MARGIN;
        channel.top = rc.top + (h - t) / 2;
        channel.bottom = channel.top + t;
    } else {
        channel.top += END_MARGIN;
        channel.bottom -= END_MARGIN;
        channel.left = rc.left + (w - t) / 2;
        channel.right = channel.left + t;
    }

    int nMin = GetRangeMin();
    int nMax = GetRangeMax();
    int nPos = GetPos();
    m_nLastPos = nPos;
    if (!IsEmpty(channel)) {
        if (m_strChannelImage.empty() || !DrawImageFile(m_strChannelImage, dc, channel, DRAW_IMAGE_STRETCH))
            FillRoundRect(dc, channel, t / 2, m_clrChannel);

        RECT filled = channel;
        if (m_bHorizontal)
            filled.right = channel.left + ScaledOffset(nPos, nMin, nMax, channel.right - channel.left);
        else
            filled.top = channel.top + ScaledOffset(nPos, nMin, nMax, channel.bottom - channel.top);
        if (!IsEmpty(filled) &&
            (m_strFilledImage.empty() || !DrawImageFile(m_strFilledImage, dc, filled, DRAW_IMAGE_STRETCH)))
            FillRoundRect(dc, filled, t / 2, m_clrFilled);
    }

    RECT thumb{};
    GetThumbRect(&thumb);
    if (IsEmpty(thumb))
        return;
    if (!m_strThumbImage.empty()) {
        RECT moved = thumb;
        ::OffsetRect(&moved, 0, 2);
        if (DrawImageFile(m_strThumbImage, dc, moved, DRAW_IMAGE_STRETCH))
            return;
    }
    CBrush brush(::CreateSolidBrush(m_clrThumb));
    if (m_nThumbShape == THUMB_RECTANGLE) {
        if (m_bHorizontal) {
            thumb.top -= 2;
            thumb.bottom -= 4;
        } else {
            ::InflateRect(&thumb, 2, 0);
        }
        ::FillRect(dc, &thumb, brush);
        return;
    }
    int cx = (thumb.left + thumb.right) / 2 - (m_bHorizontal ? 0 : 1);
    int cy = (thumb.top + thumb.bottom) / 2 - (m_bHorizontal ? 2 : 0);
    int r = std::max(1, t - 1);
    CPen pen(::CreatePen(PS_SOLID, 1, m_clrThumb));
    CSelectObject selectBrush(dc, brush);
    CSelectObject selectPen(dc, pen);
    ::Ellipse(dc, cx - r, cy - r, cx + r + 1, cy + r + 1);
}

LRESULT CMySliderCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
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
        return 1; // the paint covers the slider
    case WM_SIZE:
        UpdateOrientation();
        break;
    case WM_LBUTTONDOWN: {
        if (m_bLocked)
            return 0;
        m_bDragging = true;
        m_bHover = true;
        RECT window;
        GetWindowRect(&window);
        ::ClipCursor(&window); // the drag stays on the slider
        LRESULT result = Default();
        RepaintNow();
        return result;
    }
    case WM_LBUTTONUP: {
        // A drag that began before the slider was locked still ends here.
        if (m_bLocked && !m_bDragging)
            return 0;
        m_bDragging = false;
        ::ClipCursor(nullptr);
        LRESULT result = Default();
        RepaintNow();
        return result;
    }
    case WM_CAPTURECHANGED:
        if (m_bDragging && reinterpret_cast<HWND>(lParam) != m_hWnd) {
            m_bDragging = false;
            ::ClipCursor(nullptr);
        }
        break;
    case WM_MOUSEMOVE: {
        if (m_bHover) {
            m_bHover = false;
            RepaintNow();
        }
        LRESULT result = Default();
        if (m_bDragging)
            RepaintNow();
        return result;
    }
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        if (m_bLocked)
            return 0;
        break;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_MOUSEWHEEL: {
        if (m_bLocked)
            return 0;
        LRESULT result = Default();
        CheckPosition();
        return result;
    }
    default:
        break;
    }
    return CSliderCtrl::WindowProc(message, wParam, lParam);
}

BOOL CMySliderCtrl::PreTranslateMessage(MSG* pMsg)
{
    if (pMsg->hwnd == m_hWnd) {
        switch (pMsg->message) {
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_HSCROLL:
        case WM_VSCROLL:
        case WM_MOUSEWHEEL:
            CheckPosition();
            break;
        case WM_TIMER:
            if (pMsg->wParam == TIMER_POSITION)
                CheckPosition();
            break;
        default:
            break;
        }
    }
    return CSliderCtrl::PreTranslateMessage(pMsg);
}

BOOL CMySliderCtrl::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    // The parent hears of every position change; the new position is drawn first.
    if (message == WM_HSCROLL || message == WM_VSCROLL)
        CheckPosition();
    return CSliderCtrl::OnChildNotify(message, wParam, lParam, pResult);
}
