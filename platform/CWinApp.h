#pragma once
// CWinApp: the application object. One instance exists per process (a global object of a class
// derived from it); AfxWinMain finds it, calls InitInstance and, when that returns TRUE, runs the
// message pump until WM_QUIT.
//
// The pump sends every message through PreTranslateMessage of the windows it is aimed at (so
// modeless dialogs get their keyboard navigation) before translating and dispatching it.

#include <windows.h>

#include <string>

class CWnd;

class CWinApp {
  public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Start-up hook. FALSE ends the program without running the message pump.
    virtual BOOL InitInstance() { return TRUE; }
    // Called last; its result is the process exit code.
    virtual int ExitInstance() { return m_nExitCode; }
    // Pumps messages until WM_QUIT, then ExitInstance.
    virtual int Run();
    // Gets and handles one message; false when it was WM_QUIT (its code goes to m_nExitCode).
    bool PumpMessage();

    // Called when the main window receives its last message: forgets it and, while Run pumps,
    // ends the pump.
    virtual void OnMainWindowDestroyed();

    CWnd* m_pMainWnd = nullptr;
    HINSTANCE m_hInstance = nullptr;
    std::wstring m_strAppName;
    int m_nExitCode = 0;

  private:
    bool m_bRunning = false;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();
// The application's name for message box captions: the executable's name without extension.
const wchar_t* AfxGetAppName();

// The body of the program's entry point: wWinMain only has to return AfxWinMain(...).
int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nCmdShow);

// Message boxes owned by the active window of this thread (or the main window), with the
// application's name as caption. The second form loads its text from the string table.
int AfxMessageBox(LPCWSTR lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);
int AfxMessageBox(UINT nIDPrompt, UINT nType = MB_OK, UINT nIDHelp = static_cast<UINT>(-1));
