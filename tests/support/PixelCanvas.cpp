#include "tests/support/PixelCanvas.h"

namespace lvtest {

CPixelCanvas::CPixelCanvas(int width, int height, COLORREF fill) : m_nWidth(width), m_nHeight(height)
{
    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
    bmi.bmiHeader.biWidth = width;
    bmi.bmiHeader.biHeight = -height;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    m_hDC = ::CreateCompatibleDC(nullptr);
    m_hBitmap = ::CreateDIBSection(m_hDC, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    m_pBits = static_cast<std::uint32_t*>(bits);
    m_hOld = ::SelectObject(m_hDC, m_hBitmap);
    // ExtTextOut fills without a brush to create and free.
    RECT all{0, 0, width, height};
    const COLORREF oldBk = ::SetBkColor(m_hDC, fill);
    ::ExtTextOutW(m_hDC, 0, 0, ETO_OPAQUE, &all, nullptr, 0, nullptr);
    ::SetBkColor(m_hDC, oldBk);
}

CPixelCanvas::~CPixelCanvas()
{
    ::SelectObject(m_hDC, m_hOld);
    ::DeleteObject(m_hBitmap);
    ::DeleteDC(m_hDC);
}

COLORREF CPixelCanvas::Pixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_nWidth || y >= m_nHeight || !m_pBits)
        return CLR_INVALID;
    ::GdiFlush();
    const std::uint32_t v =
        m_pBits[static_cast<size_t>(y) * static_cast<size_t>(m_nWidth) + static_cast<size_t>(x)];
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

std::unique_ptr<CPixelCanvas> RenderClient(HWND hWnd, COLORREF fill)
{
    RECT client{};
    ::GetClientRect(hWnd, &client);
    auto canvas = std::make_unique<CPixelCanvas>(client.right, client.bottom, fill);
    ::SendMessageW(hWnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas->DC()), PRF_CLIENT);
    ::GdiFlush();
    return canvas;
}

} // namespace lvtest
