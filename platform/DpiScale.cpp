#include "platform/DpiScale.h"

namespace {

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);

GetDpiForWindowFn LookUpGetDpiForWindow()
{
    HMODULE hUser = ::GetModuleHandleW(L"user32.dll");
    return hUser ? reinterpret_cast<GetDpiForWindowFn>(
                       reinterpret_cast<void*>(::GetProcAddress(hUser, "GetDpiForWindow")))
                 : nullptr;
}

int ScreenDpi()
{
    HDC hdc = ::GetDC(nullptr);
    const int dpi = hdc ? ::GetDeviceCaps(hdc, LOGPIXELSX) : 0;
    if (hdc)
        ::ReleaseDC(nullptr, hdc);
    return dpi > 0 ? dpi : DPI_DEFAULT;
}

} // namespace

int DpiForWindow(HWND hWnd)
{
    static const GetDpiForWindowFn getDpiForWindow = LookUpGetDpiForWindow();
    if (hWnd && getDpiForWindow)
        if (const UINT dpi = getDpiForWindow(hWnd))
            return static_cast<int>(dpi);
    return ScreenDpi();
}
