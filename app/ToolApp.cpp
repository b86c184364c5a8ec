#include "app/ToolApp.h"

#include "app/MainDlg.h"
#include "app/resource.h"
#include "net/SocketHelpers.h"

#include <winsock2.h>

CToolApp::CToolApp() = default;

// The one application object.
CToolApp theApp;

BOOL CToolApp::InitInstance()
{
    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        AfxMessageBox(IDS_SOCKETS_INIT_FAILED, MB_OK, 0);
        return FALSE;
    }
    GenSockStartup();
    {
        CMainDlg dlg;
        dlg.SetEndsProcessOnClose(true);
        m_pMainWnd = &dlg;
        dlg.DoModal();
        m_pMainWnd = nullptr;
    }
    return FALSE;
}

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nShowCmd)
{
    return AfxWinMain(hInstance, hPrevInstance, lpCmdLine, nShowCmd);
}
