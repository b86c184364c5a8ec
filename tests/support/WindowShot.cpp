#include "tests/support/WindowShot.h"

#include <objidl.h>

#include <gdiplus.h>

namespace lvtest {

namespace {

// The PNG encoder's class id, fixed by GDI+.
const CLSID PNG_ENCODER = {0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};

} // namespace

bool SaveWindowPng(HWND hWnd, const std::wstring& path)
{
    RECT rc{};
    if (!hWnd || !::GetWindowRect(hWnd, &rc) || rc.right <= rc.left || rc.bottom <= rc.top)
        return false;
    const int width = rc.right - rc.left, height = rc.bottom - rc.top;
    ::RedrawWindow(hWnd, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);

    HDC hWindowDC = ::GetWindowDC(hWnd);
    if (!hWindowDC)
        return false;
    HDC hMemDC = ::CreateCompatibleDC(hWindowDC);
    HBITMAP hBitmap = ::CreateCompatibleBitmap(hWindowDC, width, height);
    bool ok = false;
    if (hMemDC && hBitmap) {
        HGDIOBJ hOld = ::SelectObject(hMemDC, hBitmap);
        ok = ::BitBlt(hMemDC, 0, 0, width, height, hWindowDC, 0, 0, SRCCOPY) != FALSE;
        ::SelectObject(hMemDC, hOld);
    }
    ::ReleaseDC(hWnd, hWindowDC);

    if (ok) {
        Gdiplus::GdiplusStartupInput input;
        ULONG_PTR token = 0;
        ok = Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
        if (ok) {
            {
                Gdiplus::Bitmap image(hBitmap, nullptr);
                ok = image.Save(path.c_str(), &PNG_ENCODER, nullptr) == Gdiplus::Ok;
            }
            Gdiplus::GdiplusShutdown(token);
        }
    }
    if (hBitmap)
        ::DeleteObject(hBitmap);
    if (hMemDC)
        ::DeleteDC(hMemDC);
    return ok;
}

} // namespace lvtest
