// CopyBench.h - the main list's copies and export timed, with the window's answers meanwhile.
#pragma once

#include "app/MainDlg.h"

#include <string>

// The main window with its menu and save dialog answered by the benchmark.
class CBenchMainDlg : public CMainDlg {
  public:
    int m_nMenuCommand = 0; // the next menu's choice, taken once
    std::wstring m_exportPath;

  protected:
    int ChooseMenuCommand(HMENU hMenu, POINT ptScreen) override;
    std::wstring AskExportPath() override { return m_exportPath; }
};

// Ctrl+C on the list, "Copy List" and "Export to CSV File" of the rows listed now: for each, when
// the clipboard or the file was complete after the key or command, and the longest wait for the
// window meanwhile. Prints "copy-result" lines; pump is the tool's message loop.
void MeasureCopies(CBenchMainDlg& dlg, int (*pump)());
