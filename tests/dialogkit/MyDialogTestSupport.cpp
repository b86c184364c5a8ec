#include "MyDialogTestSupport.h"

#include "platform/CWnd.h"

void CDialogTest::SetUp()
{
    RemoveLanguageFiles();
    // Park the pointer away from the dialogs so that no hover or track timer reacts to it.
    ParkCursorAway();
}

void CDialogTest::TearDown()
{
    Pump();
    RemoveLanguageFiles();
}

// The names are worked out here, not asked of the dialog code, so that a wrong name there shows
// as texts that never arrive.
std::wstring CDialogTest::LanguageFile()
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(path) + L"-Lang.ini";
}

std::wstring CDialogTest::GlobalLanguageFile()
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path);
    return dir.substr(0, dir.find_last_of(L'\\') + 1) + L"GlobalLang.ini";
}

void CDialogTest::RemoveLanguageFiles()
{
    // Flush the system's cache of INI files before deleting them.
    ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, LanguageFile().c_str());
    ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, GlobalLanguageFile().c_str());
    ::DeleteFileW(LanguageFile().c_str());
    ::DeleteFileW(GlobalLanguageFile().c_str());
}

std::map<UINT_PTR, int> CDialogTest::CountTimerTicks(HWND hWnd, DWORD nMs)
{
    std::map<UINT_PTR, int> ticks;
    for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < nMs; ::Sleep(2)) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_TIMER && msg.hwnd == hWnd)
                ++ticks[msg.wParam];
            if (!CWnd::WalkPreTranslateTree(&msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
        }
    }
    return ticks;
}

void CDialogTest::ParkCursorAway()
{
    ::SetCursorPos(::GetSystemMetrics(SM_CXSCREEN) - 3, ::GetSystemMetrics(SM_CYSCREEN) - 3);
}

POINT CDialogTest::CentreOf(HWND hWnd)
{
    RECT rc{};
    ::GetWindowRect(hWnd, &rc);
    return {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

void CDialogTest::WriteLang(const wchar_t* section, const wchar_t* key, const std::wstring& value)
{
    ::WritePrivateProfileStringW(section, key, value.c_str(), LanguageFile().c_str());
}

std::wstring CDialogTest::ReadLang(const wchar_t* section, const wchar_t* key)
{
    wchar_t value[4096] = {};
    ::GetPrivateProfileStringW(section, key, L"", value, 4096, LanguageFile().c_str());
    return value;
}

std::wstring CDialogTest::TextOf(HWND hWnd)
{
    wchar_t text[1024] = {};
    ::GetWindowTextW(hWnd, text, 1024);
    return text;
}

RECT CDialogTest::PlaceOf(HWND hWnd)
{
    RECT rc;
    ::GetWindowRect(hWnd, &rc);
    ::MapWindowPoints(nullptr, ::GetParent(hWnd), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}
