#include "app/SearchOnDlg.h"

#include "app/MainDlg.h"
#include "app/SettingsText.h"
#include "app/resource.h"
#include "base/Ipv4Text.h"
#include "base/MyProfile.h"
#include "controls/MyListCtrl.h"
#include "platform/DpiScale.h"

namespace {

const SettingsItemText ITEM_TEXTS[] = {
    {IDC_SEARCH_NOTE, L"勾选要搜索设备的本机地址。默认不搜索以 .1 结尾的地址（通常是虚拟网卡）。",
     L"Check the local addresses to search for cameras from. Addresses ending in .1 (usually virtual "
     L"adapters) are not searched by default."},
    {IDOK, L"确定(&O)", L"&OK"},
    {IDCANCEL, L"取消(&C)", L"&Cancel"},
};

constexpr const wchar_t* KEY_ADDED = L"SearchAdded";
constexpr const wchar_t* KEY_REMOVED = L"SearchRemoved";

} // namespace

CSearchOnDlg::CSearchOnDlg(std::vector<std::uint32_t> locals, CWnd* pParent)
    : CMyDialog(IDD_SEARCHON_DIALOG, pParent), m_locals(std::move(locals))
{
}

BOOL CSearchOnDlg::OnInitDialog()
{
    CMyDialog::OnInitDialog();
    m_pList = GetListCtrl(IDC_SEARCH_LIST);
    if (m_pList) {
        const int dpi = DpiForWindow(m_hWnd);
        m_pList->InsertColumn(0, L"本机IP地址", LVCFMT_LEFT, ScaleForDpi(130, dpi));
        m_pList->InsertColumn(1, L"", LVCFMT_LEFT, ScaleForDpi(230, dpi));
        m_pList->SetCheckBoxImages(false);
        m_pList->SetCheckBoxes(true);
        m_pList->SetFocusRect(true);
        for (size_t i = 0; i < m_locals.size(); ++i) {
            const int nRow = m_pList->InsertItem(static_cast<int>(i), FormatIpv4Wide(m_locals[i]).c_str());
            m_pList->SetCheck(nRow, IsSearchedAddress(m_locals[i]));
        }
    }
    ApplyLanguage(GetLangId());
    return TRUE;
}

void CSearchOnDlg::ApplyLanguage(int nLangId)
{
    ApplyItemTexts(*this, ITEM_TEXTS, nLangId);
    const bool chinese = nLangId == 0;
    SetWindowText(chinese ? L"搜索网卡" : L"Search On");
    if (!m_pList)
        return;
    m_pList->SetColumnText(0, chinese ? L"本机IP地址" : L"Local Address");
    m_pList->SetColumnText(1, chinese ? L"说明" : L"Note");
    for (size_t i = 0; i < m_locals.size() && i < static_cast<size_t>(m_pList->GetItemCount()); ++i) {
        const wchar_t* pszNote = L"";
        if (!IsSearchedByDefault(m_locals[i]))
            pszNote = chinese ? L"默认不搜索（以 .1 结尾）" : L"Not searched by default (ends in .1)";
        m_pList->SetItemText(static_cast<int>(i), 1, pszNote);
    }
}

void CSearchOnDlg::OnOK()
{
    std::vector<std::uint32_t> searched;
    for (size_t i = 0; m_pList && i < m_locals.size() && i < static_cast<size_t>(m_pList->GetItemCount());
         ++i)
        if (m_pList->GetCheck(static_cast<int>(i)))
            searched.push_back(m_locals[i]);
    m_choice = ChoiceSearching(m_locals, searched, GetSearchChoice());
    SetSearchChoice(m_choice);
    SaveChoice(m_choice);
    CMyDialog::OnOK();
}

SearchChoice CSearchOnDlg::LoadChoice()
{
    CMyProfile profile(CMainDlg::SETTINGS_FILE, CMainDlg::DISCOVERY_SECTION, nullptr);
    SearchChoice choice;
    choice.added = ParseAddressList(profile.GetString(KEY_ADDED, L""));
    choice.removed = ParseAddressList(profile.GetString(KEY_REMOVED, L""));
    return choice;
}

void CSearchOnDlg::SaveChoice(const SearchChoice& choice)
{
    CMyProfile profile(CMainDlg::SETTINGS_FILE, CMainDlg::DISCOVERY_SECTION, nullptr);
    profile.WriteString(KEY_ADDED, AddressListText(choice.added).c_str());
    profile.WriteString(KEY_REMOVED, AddressListText(choice.removed).c_str());
}
