// The application object, message boxes and modal dialogs started from InitInstance.
#include "TestDialogIds.h"
#include "TestWindows.h"

#include "platform/CWinApp.h"

#include <gtest/gtest.h>

namespace {

// Reads and closes the first message box of this thread, from inside its own loop.
struct MessageBoxCloser {
    static std::wstring s_text;
    static std::wstring s_caption;

    static BOOL CALLBACK FindStatic(HWND hWnd, LPARAM)
    {
        wchar_t cls[32] = {};
        wchar_t text[256] = {};
        ::GetClassNameW(hWnd, cls, 32);
        ::GetWindowTextW(hWnd, text, 256);
        if (lstrcmpiW(cls, L"Static") == 0 && text[0])
            s_text = text;
        return TRUE;
    }
    static BOOL CALLBACK FindBox(HWND hWnd, LPARAM)
    {
        wchar_t cls[32] = {};
        ::GetClassNameW(hWnd, cls, 32);
        if (lstrcmpW(cls, L"#32770") != 0 || !::IsWindowVisible(hWnd))
            return TRUE;
        wchar_t caption[256] = {};
        ::GetWindowTextW(hWnd, caption, 256);
        s_caption = caption;
        ::EnumChildWindows(hWnd, &FindStatic, 0);
        ::PostMessageW(hWnd, WM_COMMAND, IDOK, 0);
        return FALSE;
    }
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR id, DWORD)
    {
        ::EnumThreadWindows(::GetCurrentThreadId(), &FindBox, 0);
        if (!s_caption.empty())
            ::KillTimer(nullptr, id);
    }
};
std::wstring MessageBoxCloser::s_text;
std::wstring MessageBoxCloser::s_caption;

TEST(AppMessageBox, ShowsTheStringTableTextUnderTheApplicationsName)
{
    CWinApp app;
    MessageBoxCloser::s_text.clear();
    MessageBoxCloser::s_caption.clear();
    UINT_PTR timer = ::SetTimer(nullptr, 0, 50, &MessageBoxCloser::OnTimer);
    EXPECT_EQ(IDOK, AfxMessageBox(IDS_TEST_PROMPT, MB_OK | MB_ICONINFORMATION));
    ::KillTimer(nullptr, timer);
    EXPECT_EQ(L"Windows 通信端口初始化失败。", MessageBoxCloser::s_text);
    EXPECT_EQ(std::wstring(AfxGetAppName()), MessageBoxCloser::s_caption);
    EXPECT_EQ(L"platform_tests", std::wstring(AfxGetAppName()));
}

// The product's start-up: InitInstance runs the main dialog modally, then returns FALSE; a modal
// box opened from the main dialog without a parent is owned by it.
class CModalApp : public CWinApp {
  public:
    INT_PTR m_nMainResult = 0;
    INT_PTR m_nAboutResult = 0;
    HWND m_hWndMain = nullptr;
    HWND m_hWndAboutOwner = nullptr;
    BOOL m_bMainEnabledDuringAbout = TRUE;
    bool m_bMainEnabledAfterAbout = false;

    BOOL InitInstance() override
    {
        CTestDialog main(IDD_PLATFORM_TEST);
        m_pMainWnd = &main;
        main.m_onInit = [](CTestDialog& d) { d.SetTimer(1, 10); };
        main.m_onTimer = [this](CTestDialog& d, UINT_PTR id) {
            d.KillTimer(id);
            m_hWndMain = d.m_hWnd;
            CTestDialog about(IDD_PLATFORM_SMALL);
            about.m_onInit = [this](CTestDialog& a) {
                m_hWndAboutOwner = ::GetWindow(a.m_hWnd, GW_OWNER);
                m_bMainEnabledDuringAbout = ::IsWindowEnabled(m_hWndMain);
                a.PostMessage(WM_COMMAND, IDOK);
            };
            m_nAboutResult = about.DoModal();
            m_bMainEnabledAfterAbout = ::IsWindowEnabled(m_hWndMain) != FALSE;
            d.PostMessage(WM_CLOSE);
        };
        m_nMainResult = main.DoModal();
        return FALSE;
    }
    int ExitInstance() override { return 5; }
};

TEST(AppStartUp, InitInstanceFalseEndsWithoutPumpingAndLeavesNoQuitBehind)
{
    CModalApp app;
    EXPECT_EQ(5, AfxWinMain(::GetModuleHandleW(nullptr), nullptr, nullptr, SW_SHOW));
    EXPECT_EQ(IDCANCEL, app.m_nMainResult);
    EXPECT_EQ(IDOK, app.m_nAboutResult);
    EXPECT_EQ(app.m_hWndMain, app.m_hWndAboutOwner);
    EXPECT_FALSE(app.m_bMainEnabledDuringAbout);
    EXPECT_TRUE(app.m_bMainEnabledAfterAbout);
    EXPECT_EQ(nullptr, app.m_pMainWnd) << "the main window's object is gone";
    MSG msg;
    EXPECT_FALSE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
        << "a stray WM_QUIT would end the next message loop at once";
}

} // namespace
