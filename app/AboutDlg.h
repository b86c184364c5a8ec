#pragma once
// CAboutDlg: the about box, opened from the main window's system menu.

#include "dialogkit/MyDialog.h"

class CAboutDlg : public CMyDialog {
  public:
    explicit CAboutDlg(CWnd* pParent = nullptr);

  protected:
    void DoDataExchange(bool bSaveAndValidate) override;
};
