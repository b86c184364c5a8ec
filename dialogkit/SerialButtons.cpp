#include "dialogkit/SerialButtons.h"

#include "dialogkit/MyDialog.h"

#include "base/MyProfile.h"
#include "platform/WindowText.h"

#include <algorithm>
#include <cwchar>
#include <iterator>

namespace {

constexpr int BAUD_RATES[] = {110,    300,    600,    1200,   2400,   4800,    9600,    19200,
                              38400,  56000,  57600,  115200, 128000, 230400,  256000,  460800,
                              500000, 512000, 600000, 750000, 961200, 1000000, 1500000, 2000000};
constexpr int BAUD_COUNT = static_cast<int>(std::size(BAUD_RATES));
// The pop-up's entries must stay inside the reserved command range.
constexpr int MAX_CHOICES = CMyDialog::CMD_CHOICE_LAST - CMyDialog::CMD_CHOICE_FIRST + 1;

const wchar_t* const SERIAL_KEYS[CSerialButtons::FIELDS] = {L"COMPort", L"COMBaud", L"COMVery",
                                                            L"COMData", L"COMStop", L"COMFlow"};

std::wstring GroupSection(int nGroup)
{
    wchar_t section[32];
    std::swprintf(section, 32, L"COMSet%d", nGroup);
    return section;
}

} // namespace

std::wstring CSerialButtons::SettingsFileName()
{
    return CMyProfile::ResolveFile(L"COMGroupSetting", CMyProfile::ExecutablePath());
}

CSerialButtons::SerialSet* CSerialButtons::FindSet(int nGroup)
{
    if (nGroup == -1)
        return &m_single;
    if (nGroup < 0 || nGroup >= GROUPS)
        return nullptr;
    return &m_groups[nGroup];
}

const CSerialButtons::SerialSet* CSerialButtons::FindSet(int nGroup) const
{
    return const_cast<CSerialButtons*>(this)->FindSet(nGroup);
}

void CSerialButtons::SetButtons(int nGroup, const int* pIds)
{
    if (SerialSet* pSet = FindSet(nGroup))
        for (int f = 0; f < FIELDS; ++f)
            pSet->nButtons[f] = pIds ? pIds[f] : 0;
}

int CSerialButtons::GetButton(int nGroup, int nField) const
{
    const SerialSet* pSet = FindSet(nGroup);
    return pSet && nField >= 0 && nField < FIELDS ? pSet->nButtons[nField] : 0;
}

int CSerialButtons::GetChoice(int nGroup, int nField) const
{
    const SerialSet* pSet = FindSet(nGroup);
    return pSet && nField >= 0 && nField < FIELDS ? pSet->nChoices[nField] : -1;
}

void CSerialButtons::SetMaxPort(int nMaxPort)
{
    m_nMaxPort = std::clamp(nMaxPort, 0, MAX_CHOICES - 1);
}

bool CSerialButtons::FindButton(int nID, int& nGroup, int& nField) const
{
    if (nID <= 0)
        return false;
    auto search = [nID, &nField](const SerialSet& set) {
        for (int f = 0; f < FIELDS; ++f)
            if (set.nButtons[f] == nID) {
                nField = f;
                return true;
            }
        return false;
    };
    if (search(m_single)) {
        nGroup = -1;
        return true;
    }
    for (int g = 0; g < GROUPS; ++g)
        if (search(m_groups[g])) {
            nGroup = g;
            return true;
        }
    return false;
}

int CSerialButtons::ShowChoices(int nGroup, int nField, BOOL bPopup)
{
    const SerialSet* pSet = FindSet(nGroup);
    if (!pSet || nField < 0 || nField >= FIELDS)
        return -1;
    std::vector<std::wstring> choices;
    wchar_t text[32];
    switch (nField) {
    case CMyDialog::SERIAL_PORT:
        for (int i = 0; i <= m_nMaxPort; ++i) {
            std::swprintf(text, 32, L"COM%d", i);
            choices.emplace_back(text);
        }
        break;
    case CMyDialog::SERIAL_BAUD:
        for (int rate : BAUD_RATES) {
            std::swprintf(text, 32, L"%d", rate);
            choices.emplace_back(text);
        }
        break;
    case CMyDialog::SERIAL_PARITY:
        // Every dialog appends the names again; the first round is the list.
        choices = CMyDialog::GetParityNames();
        choices.resize(std::min<size_t>(choices.size(), 5));
        break;
    case CMyDialog::SERIAL_DATA:
        choices = {L"6", L"7", L"8"};
        break;
    case CMyDialog::SERIAL_STOP:
        choices = {L"1", L"1.5", L"2"};
        break;
    default:
        choices = CMyDialog::GetFlowNames();
        choices.resize(std::min<size_t>(choices.size(), 4));
        break;
    }
    int nMarked = std::max(pSet->nChoices[nField], 0);
    if (nField == CMyDialog::SERIAL_BAUD && nMarked > 110) {
        const int* pRate = std::find(std::begin(BAUD_RATES), std::end(BAUD_RATES), nMarked);
        nMarked = pRate == std::end(BAUD_RATES) ? CMyDialog::SERIAL_BAUD_DEFAULT
                                                : static_cast<int>(pRate - BAUD_RATES);
    }
    if (nMarked >= static_cast<int>(choices.size()))
        nMarked = -1; // a stored index beyond the choices marks nothing
    m_lstChoices = std::move(choices);

    const int nButton = pSet->nButtons[nField];
    HWND hButton = nButton ? m_dlg.FindItem(nButton, TRUE) : nullptr;
    if (!bPopup) {
        if (nMarked >= 0 && nButton)
            m_dlg.SetItemText(nButton, m_lstChoices[static_cast<size_t>(nMarked)].c_str());
        return nMarked;
    }
    if (!hButton || !m_dlg.m_hWnd)
        return nMarked;
    HMENU hMenu = ::CreatePopupMenu();
    if (!hMenu)
        return nMarked;
    for (size_t i = 0; i < m_lstChoices.size(); ++i)
        ::AppendMenuW(hMenu, MF_STRING | (static_cast<int>(i) == nMarked ? MF_CHECKED : MF_UNCHECKED),
                      CMyDialog::CMD_CHOICE_FIRST + i, m_lstChoices[i].c_str());
    m_nChoiceGroup = nGroup;
    m_nChoiceField = nField;
    RECT rc{};
    ::GetWindowRect(hButton, &rc);
    // The chosen entry arrives as its command once the menu has closed.
    ::TrackPopupMenu(hMenu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, rc.left, rc.bottom, 0,
                     m_dlg.m_hWnd, nullptr);
    ::DestroyMenu(hMenu);
    return nMarked;
}

int CSerialButtons::SetChoice(int nGroup, int nField, int nChoice)
{
    SerialSet* pSet = FindSet(nGroup);
    if (!pSet || nField < 0 || nField >= FIELDS)
        return -1;
    pSet->nChoices[nField] = nChoice;
    // The list building turns a rate into its entry.
    const int nMarked = ShowChoices(nGroup, nField, FALSE);
    if (nMarked >= 0)
        pSet->nChoices[nField] = nMarked;
    return nMarked;
}

void CSerialButtons::LoadGroup(int nGroup)
{
    if (nGroup < 0 || nGroup >= GROUPS)
        return;
    CMyProfile profile(L"COMGroupSetting", GroupSection(nGroup).c_str(), nullptr);
    const SerialSet defaults;
    for (int f = 0; f < FIELDS; ++f) {
        const int nValue = profile.GetInt(SERIAL_KEYS[f], defaults.nChoices[f]);
        if (nValue < 0 || SetChoice(nGroup, f, nValue) < 0)
            SetChoice(nGroup, f, defaults.nChoices[f]);
    }
}

bool CSerialButtons::OnCommand(int nID)
{
    if (nID >= CMyDialog::CMD_CHOICE_FIRST && nID <= CMyDialog::CMD_CHOICE_LAST) {
        OnChoiceChosen(nID - CMyDialog::CMD_CHOICE_FIRST);
        return true;
    }
    int nGroup = -1;
    int nField = -1;
    if (!FindButton(nID, nGroup, nField))
        return false;
    HWND hButton = m_dlg.FindItem(nID, TRUE);
    if (!hButton || IsClass(hButton, L"COMBOBOX"))
        return false;
    ShowChoices(nGroup, nField, TRUE);
    return true;
}

bool CSerialButtons::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result)
{
    // The hand over a serial button says that a click opens its choices.
    if (message != WM_SETCURSOR)
        return false;
    const HWND hDlg = m_dlg.m_hWnd;
    HWND hOver = reinterpret_cast<HWND>(wParam);
    int nGroup = -1;
    int nField = -1;
    if (!hOver || hOver == hDlg || ::GetParent(hOver) != hDlg ||
        !FindButton(::GetDlgCtrlID(hOver), nGroup, nField))
        return false;
    ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
    result = TRUE;
    return true;
}

void CSerialButtons::OnChoiceChosen(int nEntry)
{
    const int nGroup = m_nChoiceGroup;
    const int nField = m_nChoiceField;
    m_nChoiceGroup = -1;
    m_nChoiceField = -1;
    SerialSet* pSet = FindSet(nGroup);
    if (!pSet || nField < 0 || nField >= FIELDS || nEntry < 0 ||
        nEntry >= static_cast<int>(m_lstChoices.size()))
        return;
    if (pSet->nButtons[nField])
        m_dlg.SetItemText(pSet->nButtons[nField], m_lstChoices[static_cast<size_t>(nEntry)].c_str());
    pSet->nChoices[nField] = nEntry;
    if (nGroup < 0)
        return; // the single set is not saved
    CMyProfile profile(L"COMGroupSetting", GroupSection(nGroup).c_str(), nullptr);
    for (int f = 0; f < FIELDS; ++f)
        profile.WriteInt(SERIAL_KEYS[f], pSet->nChoices[f]);
}
