#include "controls/SkinPicture.h"

#include "controls/SkinFiles.h"
#include "controls/SkinPathText.h"
#include "platform/CClientDC.h"
#include "platform/CDC.h"
#include "platform/CGdiObject.h"
#include "platform/CSelectObject.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

namespace {

constexpr UINT_PTR SUBCLASS_ID = 0x5049; // one view per window
constexpr UINT DEFAULT_FRAME_DELAY = 500;
// GIF files often carry 0 or 10 ms as frame delays; taken literally the animation thread would
// redraw without rest. Browsers show such frames for about 100 ms, and so does this view.
constexpr UINT SHORTEST_FRAME_DELAY = 20;
constexpr UINT SHORT_FRAME_DELAY = 100;

UINT UsableFrameDelay(UINT milliseconds)
{
    return milliseconds < SHORTEST_FRAME_DELAY ? SHORT_FRAME_DELAY : milliseconds;
}

} // namespace

CMyPicture::~CMyPicture()
{
    Stop();
}

bool CMyPicture::Attach(HWND window)
{
    if (!IsWindow(window) || (m_hWnd && m_hWnd != window))
        return false;
    if (m_hWnd == window)
        return true;
    if (!SetWindowSubclass(window, SubclassProc, SUBCLASS_ID, reinterpret_cast<DWORD_PTR>(this)))
        return false;
    {
        // The animation thread of an image loaded before reads the window under this lock.
        std::lock_guard guard(m_lock);
        m_hWnd = window;
    }
    InvalidateRect(window, nullptr, FALSE);
    return true;
}

void CMyPicture::Detach()
{
    if (!m_hWnd)
        return;
    HWND window = m_hWnd;
    RemoveWindowSubclass(window, SubclassProc, SUBCLASS_ID);
    {
        std::lock_guard guard(m_lock);
        m_hWnd = nullptr;
    }
    InvalidateRect(window, nullptr, TRUE);
}

int CMyPicture::LoadFromFile(std::wstring_view name)
{
    if (!StartGdiplus())
        return -1;
    std::wstring path = SkinTrim(name);
    if (path.empty())
        return -1;
    if (path.find(L':') == std::wstring::npos)
        path = SkinCollapseBackslashes(GetDefaultSkinDir() + L"\\" + path);
    SkinImagePtr image(new Gdiplus::Image(path.c_str()));
    if (image->GetLastStatus() != Gdiplus::Ok)
        return -1;
    return Replace(std::move(image), nullptr) ? 0 : -1;
}

int CMyPicture::LoadFromResource(const wchar_t* name, const wchar_t* type)
{
    if (!name || !StartGdiplus())
        return -1;
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC info = FindResourceW(module, name, type);
    HGLOBAL loaded = info ? LoadResource(module, info) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    const DWORD size = info ? SizeofResource(module, info) : 0;
    if (!data || size == 0)
        return -1;
    // GDI+ reads from the stream for as long as the image lives, so the bytes get a copy of their own.
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!copy)
        return -1;
    if (void* target = GlobalLock(copy)) {
        memcpy(target, data, size);
        GlobalUnlock(copy);
    }
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(copy, TRUE, &stream))) {
        GlobalFree(copy);
        return -1;
    }
    SkinImagePtr image(Gdiplus::Image::FromStream(stream));
    if (!image || image->GetLastStatus() != Gdiplus::Ok) {
        image.reset();
        stream->Release();
        return -1;
    }
    return Replace(std::move(image), stream) ? 0 : -1;
}

bool CMyPicture::Replace(SkinImagePtr image, IStream* stream)
{
    StopAnimation();
    {
        std::lock_guard guard(m_lock);
        m_pImage = std::move(image);
        if (m_pStream)
            m_pStream->Release();
        m_pStream = stream;
        m_nFrame = 0;
        m_nFrameCount = 0;
        m_frameDelays.clear();
    }
    StartAnimation();
    if (m_hWnd)
        InvalidateRect(m_hWnd, nullptr, FALSE);
    return true;
}

void CMyPicture::StartAnimation()
{
    {
        std::lock_guard guard(m_lock);
        if (!m_pImage)
            return;
        m_nFrameCount = 1;
        if (m_pImage->GetFrameDimensionsCount() > 0 &&
            m_pImage->GetFrameDimensionsList(&m_frameDimension, 1) == Gdiplus::Ok)
            m_nFrameCount = std::max(1u, m_pImage->GetFrameCount(&m_frameDimension));
        if (m_nFrameCount <= 1)
            return;
        const UINT bytes = m_pImage->GetPropertyItemSize(PropertyTagFrameDelay);
        if (bytes > sizeof(Gdiplus::PropertyItem)) {
            std::vector<BYTE> buffer(bytes);
            auto* item = reinterpret_cast<Gdiplus::PropertyItem*>(buffer.data());
            if (m_pImage->GetPropertyItem(PropertyTagFrameDelay, bytes, item) == Gdiplus::Ok) {
                const auto* delays = static_cast<const UINT32*>(item->value);
                const size_t n = item->length / sizeof(UINT32);
                for (size_t i = 0; i < n; ++i)
                    m_frameDelays.push_back(UsableFrameDelay(delays[i] * 10)); // hundredths of a second
            }
        }
    }
    m_hEvent.Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!m_hEvent)
        return;
    m_bStop = false;
    m_thread = std::thread([this] { AnimationLoop(); });
}

void CMyPicture::StopAnimation()
{
    if (m_thread.joinable()) {
        m_bStop = true;
        SetEvent(m_hEvent.Get());
        m_thread.join();
    }
    m_hEvent.Reset(); // the animation thread, its only other user, has left
    std::lock_guard guard(m_lock);
    m_frameDelays.clear();
}

void CMyPicture::AnimationLoop()
{
    DWORD wait = 0;
    while (WaitForSingleObject(m_hEvent.Get(), wait) == WAIT_TIMEOUT && !m_bStop) {
        {
            std::lock_guard guard(m_lock);
            if (!m_bPaused && m_nFrameCount > 1) {
                if (m_hWnd) {
                    HWND window = m_hWnd;
                    if (const CClientDC dc(window); dc) {
                        RECT client;
                        GetClientRect(window, &client);
                        DrawFrameLocked(dc, client);
                    }
                }
                m_nFrame = (m_nFrame + 1) % m_nFrameCount;
            }
            wait = m_frameDelays.empty()
                       ? DEFAULT_FRAME_DELAY
                       : m_frameDelays[std::min<size_t>(m_nFrame, m_frameDelays.size() - 1)];
        }
    }
    SetEvent(m_hEvent.Get()); // lets another waiter on the event through as well
}

void CMyPicture::Stop()
{
    StopAnimation();
    {
        std::lock_guard guard(m_lock);
        m_pImage.reset();
        if (m_pStream) {
            m_pStream->Release();
            m_pStream = nullptr;
        }
        m_nFrameCount = 0;
        m_nFrame = 0;
    }
    Detach();
}

void CMyPicture::SetFitMode(int mode)
{
    {
        std::lock_guard guard(m_lock);
        m_nFitMode = mode;
    }
    if (m_hWnd)
        InvalidateRect(m_hWnd, nullptr, FALSE);
}

UINT CMyPicture::GetFrameCount() const
{
    std::lock_guard guard(m_lock);
    return m_nFrameCount;
}

UINT CMyPicture::GetCurrentFrame() const
{
    std::lock_guard guard(m_lock);
    return m_nFrame;
}

UINT CMyPicture::GetFrameDelay(UINT index) const
{
    std::lock_guard guard(m_lock);
    return index < m_frameDelays.size() ? m_frameDelays[index] : 0;
}

void CMyPicture::Paint(HDC dc, const RECT& client)
{
    std::lock_guard guard(m_lock);
    DrawFrameLocked(dc, client);
}

void CMyPicture::DrawFrameLocked(HDC dc, const RECT& client)
{
    const int cw = client.right - client.left;
    const int ch = client.bottom - client.top;
    if (cw <= 0 || ch <= 0)
        return;
    // The frame is drawn off screen and copied in one step, so the animation never flickers.
    const CDC buffer = CDC::CreateCompatibleDC(dc);
    const CBitmap bitmap(::CreateCompatibleBitmap(dc, cw, ch));
    if (!buffer || !bitmap)
        return;
    const CSelectObject selected(buffer, bitmap);
    if (!selected.GetOld())
        return;
    const RECT local = {0, 0, cw, ch};
    FillRect(buffer.GetSafeHdc(), &local, GetSysColorBrush(COLOR_BTNFACE));
    if (m_pImage && m_pImage->GetWidth() > 0 && m_pImage->GetHeight() > 0) {
        if (m_nFrameCount > 1)
            m_pImage->SelectActiveFrame(&m_frameDimension, m_nFrame);
        const int iw = static_cast<int>(m_pImage->GetWidth());
        const int ih = static_cast<int>(m_pImage->GetHeight());
        switch (m_nFitMode) {
        case FIT_CENTER: {
            Gdiplus::Graphics graphics(buffer.GetSafeHdc());
            graphics.DrawImage(m_pImage.get(), (cw - iw) / 2, (ch - ih) / 2, iw, ih);
            break;
        }
        case FIT_TOP_LEFT:
            DrawImage(m_pImage.get(), buffer.GetSafeHdc(), local, DRAW_IMAGE_ACTUAL);
            break;
        case FIT_STRETCH:
            DrawImage(m_pImage.get(), buffer.GetSafeHdc(), local, DRAW_IMAGE_STRETCH);
            break;
        case FIT_TILE:
            DrawImage(m_pImage.get(), buffer.GetSafeHdc(), local, DRAW_IMAGE_TILE);
            break;
        default:
            DrawImage(m_pImage.get(), buffer.GetSafeHdc(), local, DRAW_IMAGE_FIT);
            break;
        }
    } else {
        RECT text = local;
        SetBkMode(buffer.GetSafeHdc(), TRANSPARENT);
        SetTextColor(buffer.GetSafeHdc(), GetSysColor(COLOR_GRAYTEXT));
        HGDIOBJ oldFont = SelectObject(buffer.GetSafeHdc(), GetStockObject(DEFAULT_GUI_FONT));
        DrawTextW(buffer.GetSafeHdc(), L"Image Lost", -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        SelectObject(buffer.GetSafeHdc(), oldFont);
    }
    BitBlt(dc, client.left, client.top, cw, ch, buffer.GetSafeHdc(), 0, 0, SRCCOPY);
}

LRESULT CALLBACK CMyPicture::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                          DWORD_PTR refData)
{
    auto* self = reinterpret_cast<CMyPicture*>(refData);
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        RECT client;
        GetClientRect(window, &client);
        self->Paint(dc, client);
        EndPaint(window, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1; // the paint covers the whole client area
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (self->m_bPauseByClick)
            self->m_bPaused = !self->m_bPaused;
        break;
    case WM_NCDESTROY:
        self->Stop();
        break;
    default:
        break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}
