#pragma once
// A 32-bit top-down DIB selected into a memory DC, for reading back what a control paints.

#include <windows.h>

#include <cstdint>
#include <memory>

namespace lvtest {

class CPixelCanvas {
  public:
    CPixelCanvas(int width, int height, COLORREF fill = RGB(255, 255, 255));
    ~CPixelCanvas();
    CPixelCanvas(const CPixelCanvas&) = delete;
    CPixelCanvas& operator=(const CPixelCanvas&) = delete;

    HDC DC() const { return m_hDC; }
    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }
    // CLR_INVALID outside the canvas.
    COLORREF Pixel(int x, int y) const;
    // Pixels in the rectangle for which pred holds.
    template <class Pred> int Count(const RECT& r, Pred pred) const
    {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                n += pred(Pixel(x, y)) ? 1 : 0;
        return n;
    }

  private:
    int m_nWidth;
    int m_nHeight;
    HDC m_hDC = nullptr;
    HBITMAP m_hBitmap = nullptr;
    HGDIOBJ m_hOld = nullptr;
    std::uint32_t* m_pBits = nullptr;
};

// The window's client area as it paints itself (WM_PRINTCLIENT) over a canvas filled with fill.
std::unique_ptr<CPixelCanvas> RenderClient(HWND hWnd, COLORREF fill);

} // namespace lvtest
