#include "app/AboutDlg.h"

#include "app/resource.h"

CAboutDlg::CAboutDlg(CWnd* pParent) : CMyDialog(IDD_ABOUTBOX, pParent) {}

void CAboutDlg::DoDataExchange(bool bSaveAndValidate)
{
    CMyDialog::DoDataExchange(bSaveAndValidate);
}
