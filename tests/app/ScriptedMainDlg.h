#pragma once
// The main window with its list menu, save dialog and web page answered by the test: the menu
// returns the command the test chose (and keeps the items it showed), the save dialog the path the
// test gave, and a web page or folder opened is kept instead of starting a program.

#include "app/MainDlg.h"

#include <windows.h>

#include <string>
#include <vector>

class CScriptedMainDlg : public CMainDlg {
  public:
    int m_nMenuChoice = 0;
    std::wstring m_strExportPath;
    std::vector<std::wstring> m_menuTexts; // the items of the last menu shown
    std::vector<bool> m_menuEnabled;
    std::vector<bool> m_menuChecked;
    std::vector<std::wstring> m_opened; // the web addresses opened

  protected:
    int ChooseMenuCommand(HMENU hMenu, POINT) override
    {
        m_menuTexts.clear();
        m_menuEnabled.clear();
        m_menuChecked.clear();
        for (int i = 0; i < ::GetMenuItemCount(hMenu); ++i) {
            wchar_t text[128] = {};
            if (::GetMenuStringW(hMenu, static_cast<UINT>(i), text, 128, MF_BYPOSITION) <= 0)
                continue;
            const UINT state = ::GetMenuState(hMenu, static_cast<UINT>(i), MF_BYPOSITION);
            m_menuTexts.push_back(text);
            m_menuEnabled.push_back(!(state & MF_GRAYED));
            m_menuChecked.push_back((state & MF_CHECKED) != 0);
        }
        return m_nMenuChoice;
    }
    std::wstring AskExportPath() override { return m_strExportPath; }
    void OpenWebPage(const std::wstring& url) override { m_opened.push_back(url); }
    void OpenFolder(const std::wstring& folder) override { m_folders.push_back(folder); }

  public:
    std::vector<std::wstring> m_folders; // the folders opened
};
