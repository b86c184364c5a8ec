#include "tests/support/TestPump.h"

#include "platform/CWnd.h"

namespace lvtest {

void Pump()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (CWnd::WalkPreTranslateTree(&msg))
            continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

void PumpFor(DWORD nMs)
{
    const DWORD start = ::GetTickCount();
    for (;;) {
        Pump();
        if (::GetTickCount() - start >= nMs)
            return;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

bool PumpUntil(const std::function<bool()>& done, DWORD nMaxMs)
{
    const DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start >= nMaxMs)
            return done();
        Pump();
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    return true;
}

} // namespace lvtest
