// CMyDialog, serial choice buttons: six buttons per set whose clicks open a pop-up of choices
// (port, baud rate, parity, data bits, stop bits, flow control). The buttons only store and show
// the chosen indices; opening a port with them is the caller's business.

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

const wchar_t* const SERIAL_KEYS[CMyDialog::SERIAL_FIELDS] = {L"COMPort", L"COMBaud", L"COMVery",
                                                              L"COMData", L"COMStop", L"COMFlow"};

std::wstring GroupSection(int nGroup)
{
    wchar_t section[32];
    std::swprintf(section, 32, L"COMSet%d", nGroup);
    return section;
}

} // namespace

std::wstring CMyDialog::GetSerialSettingsFileName()
{
    return CMyProfile::ResolveFile(L"COMGroupSetting", CMyProfile::ExecutablePath());
}

CMyDialog::SerialSet* CMyDialog::FindSerialSet(int nGroup)
{
    if (nGroup == -1)
        return &m_serial;
    if (nGroup < 0 || nGroup >= SERIAL_GROUPS)
        return nullptr;
    return &m_serialGroups[nGroup];
}

const CMyDialog::SerialSet* CMyDialog::FindSerialSet(int nGroup) const
{
    return const_cast<CMyDialog*>(this)->FindSerialSet(nGroup);
}

void CMyDialog::SetSerialButtons(int nGroup, const int* pIds)
{
    if (SerialSet* pSet = FindSerialSet(nGroup))
        for (int f = 0; f < SERIAL_FIELDS; ++f)
            pSet->nButtons[f] = pIds ? pIds[f] : 0;
}

int CMyDialog::GetSerialButton(int nGroup, int nField) const
{
    const SerialSet* pSet = FindSerialSet(nGroup);
    return pSet && nField >= 0 && nField < SERIAL_FIELDS ? pSet->nButtons[nField] : 0;
}

int CMyDialog::GetSerialChoice(int nGroup, int nField) const
{
    const SerialSet* pSet = FindSerialSet(nGroup);
    return pSet && nField >= 0 && nField < SERIAL_FIELDS ? pSet->nChoices[nField] : -1;
}

void CMyDialog::SetSerialMaxPort(int nMaxPort)
{
    m_nSerialMaxPort = std::clamp(nMaxPort, 0, MAX_CHOICES - 1);
}

BOOL CMyDialog::FindSerialButton(int nID, int& nGroup, int& nField) const
{
    if (nID <= 0)
        return FALSE;
    auto search = [nID, &nField](const SerialSet& set) {
        for (int f = 0; f < SERIAL_FIELDS; ++f)
            if (set.nButtons[f] == nID) {
                nField = f;
                return true;
            }
        return false;
    };
    if (search(m_serial)) {
        nGroup = -1;
        return TRUE;
    }
    for (int g = 0; g < SERIAL_GROUPS; ++g)
        if (search(m_serialGroups[g])) {
            nGroup = g;
            return TRUE;
        }
    return FALSE;
}

int CMyDialog::ShowSerialChoices(int nGroup, int nField, BOOL bPopup)
{
    const SerialSet* pSet = FindSerialSet(nGroup);
    if (!pSet || nField < 0 || nField >= SERIAL_FIELDS)
        return -1;
    std::vector<std::wstring> choices;
    wchar_t text[32];
    switch (nField) {
    case SERIAL_PORT:
        for (int i = 0; i <= m_nSerialMaxPort; ++i) {
            std::swprintf(text, 32, L"COM%d", i);
            choices.emplace_back(text);
        }
        break;
    case SERIAL_BAUD:
        for (int rate : BAUD_RATES) {
            std::swprintf(text, 32, L"%d", rate);
            choices.emplace_back(text);
        }
        break;
    case SERIAL_PARITY:
        // Every dialog appends the names again; the first round is the list.
        choices = GetParityNames();
        choices.resize(std::min<size_t>(choices.size(), 5));
        break;
    case SERIAL_DATA:
        choices = {L"6", L"7", L"8"};
        break;
    case SERIAL_STOP:
        choices = {L"1", L"1.5", L"2"};
        break;
    default:
        choices = GetFlowNames();
        choices.resize(std::min<size_t>(choices.size(), 4));
        break;
    }
    int nMarked = std::max(pSet->nChoices[nField], 0);
    if (nField == SERIAL_BAUD && nMarked > 110) {
        const int* pRate = std::find(std::begin(BAUD_RATES), std::end(BAUD_RATES), nMarked);
        nMarked = pRate == std::end(BAUD_RATES) ? SERIAL_BAUD_DEFAULT : static_cast<int>(pRate - BAUD_RATES);
    }
    if (nMarked >= static_cast<int>(choices.size()))
        nMarked = -1; // a stored index beyond the choices marks nothing
    m_lstChoices = std::move(choices);

    const int nButton = pSet->nButtons[nField];
    HWND hButton = nButton ? FindItem(nButton, TRUE) : nullptr;
    if (!bPopup) {
        if (nMarked >= 0 && nButton)
            SetItemText(nButton, m_lstChoices[static_cast<size_t>(nMarked)].c_str());
        return nMarked;
    }
    if (!hButton || !m_hWnd)
        return nMarked;
    HMENU hMenu = ::CreatePopupMenu();
    if (!hMenu)
        return nMarked;
    for (size_t i = 0; i < m_lstChoices.size(); ++i)
        ::AppendMenuW(hMenu, MF_STRING | (static_cast<int>(i) == nMarked ? MF_CHECKED : MF_UNCHECKED),
                      CMD_CHOICE_FIRST + i, m_lstChoices[i].c_str());
    m_nChoiceGroup = nGroup;
    m_nChoiceField = nField;
    RECT rc{};
    ::GetWindowRect(hButton, &rc);
    // The chosen entry arrives as its command once the menu has closed.
    ::TrackPopupMenu(hMenu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, rc.left, rc.bottom, 0, m_hWnd,
                     nullptr);
    ::DestroyMenu(hMenu);
    return nMarked;
}

int CMyDialog::SetSerialChoice(int nGroup, int nField, int nChoice)
{
    SerialSet* pSet = FindSerialSet(nGroup);
    if (!pSet || nField < 0 || nField >= SERIAL_FIELDS)
        return -1;
    pSet->nChoices[nField] = nChoice;
    // The list building turns a rate into its entry.
    const int nMarked = ShowSerialChoices(nGroup, nField, FALSE);
    if (nMarked >= 0)
        pSet->nChoices[nField] = nMarked;
    return nMarked;
}

void CMyDialog::LoadSerialGroup(int nGroup)
{
    if (nGroup < 0 || nGroup >= SERIAL_GROUPS)
        return;
    CMyProfile profile(L"COMGroupSetting", GroupSection(nGroup).c_str(), nullptr);
    const SerialSet defaults;
    for (int f = 0; f < SERIAL_FIELDS; ++f) {
        const int nValue = profile.GetInt(SERIAL_KEYS[f], defaults.nChoices[f]);
        if (nValue < 0 || SetSerialChoice(nGroup, f, nValue) < 0)
            SetSerialChoice(nGroup, f, defaults.nChoices[f]);
    }
}

BOOL CMyDialog::OnSerialCommand(int nID)
{
    if (nID >= CMD_CHOICE_FIRST && nID <= CMD_CHOICE_LAST) {
        OnChoiceChosen(nID - CMD_CHOICE_FIRST);
        return TRUE;
    }
    int nGroup = -1;
    int nField = -1;
    if (!FindSerialButton(nID, nGroup, nField))
        return FALSE;
    HWND hButton = FindItem(nID, TRUE);
    if (!hButton || IsClass(hButton, L"COMBOBOX"))
        return FALSE;
    ShowSerialChoices(nGroup, nField, TRUE);
    return TRUE;
}

void CMyDialog::OnChoiceChosen(int nEntry)
{
    const int nGroup = m_nChoiceGroup;
    const int nField = m_nChoiceField;
    m_nChoiceGroup = -1;
    m_nChoiceField = -1;
    SerialSet* pSet = FindSerialSet(nGroup);
    if (!pSet || nField < 0 || nField >= SERIAL_FIELDS || nEntry < 0 ||
        nEntry >= static_cast<int>(m_lstChoices.size()))
        return;
    if (pSet->nButtons[nField])
        SetItemText(pSet->nButtons[nField], m_lstChoices[static_cast<size_t>(nEntry)].c_str());
    pSet->nChoices[nField] = nEntry;
    if (nGroup < 0)
        return; // the single set is not saved
    CMyProfile profile(L"COMGroupSetting", GroupSection(nGroup).c_str(), nullptr);
    for (int f = 0; f < SERIAL_FIELDS; ++f)
        profile.WriteInt(SERIAL_KEYS[f], pSet->nChoices[f]);
}
