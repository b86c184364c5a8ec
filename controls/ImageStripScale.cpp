#include "controls/ImageStripScale.h"

#include "platform/DpiScale.h"

namespace {

// A screen-compatible memory context that deletes itself and restores what it selected.
class CScratchDC {
  public:
    CScratchDC() : m_hdc(::CreateCompatibleDC(nullptr)) {}
    ~CScratchDC()
    {
        if (m_hOld)
            ::SelectObject(m_hdc, m_hOld);
        if (m_hdc)
            ::DeleteDC(m_hdc);
    }
    CScratchDC(const CScratchDC&) = delete;
    CScratchDC& operator=(const CScratchDC&) = delete;

    bool Select(HGDIOBJ hObject)
    {
        if (!m_hdc)
            return false;
        HGDIOBJ hOld = ::SelectObject(m_hdc, hObject);
        if (!m_hOld)
            m_hOld = hOld;
        return hOld != nullptr;
    }
    HDC Get() const { return m_hdc; }

  private:
    HDC m_hdc;
    HGDIOBJ m_hOld = nullptr;
};

} // namespace

HBITMAP ScaleImageStrip(HBITMAP hStrip, int nCell, int dpi)
{
    BITMAP source{};
    if (!hStrip || nCell <= 0 || ::GetObjectW(hStrip, sizeof source, &source) != sizeof source ||
        source.bmWidth < nCell || source.bmHeight < nCell)
        return nullptr;
    const int count = source.bmWidth / nCell;
    const int cell = ScaleForDpi(nCell, dpi);
    if (cell <= 0)
        return nullptr;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = count * cell;
    info.bmiHeader.biHeight = cell;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP hScaled = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!hScaled)
        return nullptr;

    bool ok = false;
    {
        CScratchDC from, to;
        if (from.Select(hStrip) && to.Select(hScaled)) {
            const bool whole = dpi % DPI_DEFAULT == 0;
            ::SetStretchBltMode(to.Get(), whole ? COLORONCOLOR : HALFTONE);
            ::SetBrushOrgEx(to.Get(), 0, 0, nullptr);
            ok = true;
            for (int i = 0; i < count && ok; ++i)
                ok = ::StretchBlt(to.Get(), i * cell, 0, cell, cell, from.Get(), i * nCell, 0, nCell, nCell,
                                  SRCCOPY) != FALSE;
        }
    }
    if (!ok) {
        ::DeleteObject(hScaled);
        return nullptr;
    }
    return hScaled;
}
