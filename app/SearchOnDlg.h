#pragma once
// CSearchOnDlg: "搜索网卡 ..." / "Search on...". Lists this computer's addresses, each with a
// check box saying whether discovery searches from it (net/SearchedAddresses.h). OK makes the
// checked ones the choice and keeps it in the tool's settings; the caller rescans.

#include "dialogkit/MyDialog.h"
#include "net/SearchedAddresses.h"

#include <cstdint>
#include <vector>

class CMyListCtrl;

class CSearchOnDlg : public CMyDialog {
  public:
    // The addresses to offer (host order), as the last look-up found them: the window thread
    // looks nothing up by name.
    CSearchOnDlg(std::vector<std::uint32_t> locals, CWnd* pParent = nullptr);

    BOOL OnInitDialog() override;
    void OnOK() override;
    void ApplyLanguage(int nLangId) override;

    // After OK: the choice the operator made (already in force and saved).
    const SearchChoice& GetChoice() const { return m_choice; }
    CMyListCtrl* GetList() const { return m_pList; }

    // The kept choice: read at start-up, written by OK.
    static SearchChoice LoadChoice();
    static void SaveChoice(const SearchChoice& choice);

  private:
    std::vector<std::uint32_t> m_locals;
    SearchChoice m_choice;
    CMyListCtrl* m_pList = nullptr;
};
