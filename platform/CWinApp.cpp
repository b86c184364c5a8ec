#include "platform/CWinApp.h"

#include "platform/CWnd.h"
#include "platform/PlatformInit.h"

namespace {

CWinApp* s_pApp = nullptr;

std::wstring ModuleBaseName()
{
    wchar_t path[MAX_PATH] = {};
    DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name(path, length < MAX_PATH ? length : 0);
    size_t slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos)
        name.erase(0, slash + 1);
    size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos)
        name.erase(dot);
    return name;
}

HWND MessageBoxOwner()
{
    HWND hWndOwner = ::GetActiveWindow();
    if (!hWndOwner) {
        if (CWnd* pMain = AfxGetMainWnd())
            hWndOwner = pMain->m_hWnd;
    }
    return hWndOwner;
}

} // namespace

CWinApp::CWinApp() : m_hInstance(::GetModuleHandleW(nullptr)), m_strAppName(ModuleBaseName())
{
    // The first application object is the process's one.
    if (!s_pApp)
        s_pApp = this;
}

CWinApp::~CWinApp()
{
    if (s_pApp == this)
        s_pApp = nullptr;
}

bool CWinApp::PumpMessage()
{
    MSG msg;
    BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
        m_nExitCode = static_cast<int>(msg.wParam);
        return false;
    }
    if (got == -1)
        return false;
    if (!CWnd::WalkPreTranslateTree(&msg)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return true;
}

int CWinApp::Run()
{
    m_bRunning = true;
    while (PumpMessage()) {
    }
    m_bRunning = false;
    return ExitInstance();
}

void CWinApp::OnMainWindowDestroyed()
{
    m_pMainWnd = nullptr;
    if (m_bRunning)
        ::PostQuitMessage(0);
}

CWinApp* AfxGetApp()
{
    return s_pApp;
}

CWnd* AfxGetMainWnd()
{
    return s_pApp ? s_pApp->m_pMainWnd : nullptr;
}

HINSTANCE AfxGetInstanceHandle()
{
    return s_pApp ? s_pApp->m_hInstance : ::GetModuleHandleW(nullptr);
}

const wchar_t* AfxGetAppName()
{
    if (s_pApp)
        return s_pApp->m_strAppName.c_str();
    static const std::wstring s_name = ModuleBaseName();
    return s_name.c_str();
}

int AfxWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR, int)
{
    CWinApp* pApp = AfxGetApp();
    if (!pApp)
        return -1;
    pApp->m_hInstance = hInstance;
    InitPlatformControls();
    if (!pApp->InitInstance()) {
        if (pApp->m_pMainWnd)
            pApp->m_pMainWnd->DestroyWindow();
        return pApp->ExitInstance();
    }
    return pApp->Run();
}

int AfxMessageBox(LPCWSTR lpszText, UINT nType, UINT)
{
    return ::MessageBoxW(MessageBoxOwner(), lpszText ? lpszText : L"", AfxGetAppName(), nType);
}

int AfxMessageBox(UINT nIDPrompt, UINT nType, UINT nIDHelp)
{
    // With a zero buffer size LoadStringW hands back a pointer into the resource itself.
    const wchar_t* text = nullptr;
    int length = ::LoadStringW(AfxGetInstanceHandle(), nIDPrompt, reinterpret_cast<LPWSTR>(&text), 0);
    std::wstring prompt =
        (length > 0 && text) ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
    return AfxMessageBox(prompt.c_str(), nType, nIDHelp);
}
