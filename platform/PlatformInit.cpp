#include "platform/PlatformInit.h"

#include <windows.h>
#include <commctrl.h>

bool InitPlatformControls()
{
    // Function-local static: initialised once, safely across threads.
    static const bool s_bDone = [] {
        INITCOMMONCONTROLSEX icc{};
        icc.dwSize = sizeof icc;
        icc.dwICC = ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES;
        return ::InitCommonControlsEx(&icc) != FALSE;
    }();
    return s_bDone;
}
