#include "app/InUseMarks.h"

#include "base/Ipv4Text.h"
#include "base/TextConvert.h"
#include "controls/MyListCtrl.h"
#include "protocol/WireMessage.h"

CInUseMarks::CInUseMarks() : m_hClosing(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

CInUseMarks::~CInUseMarks()
{
    Close();
}

std::wstring CInUseMarks::InUseText(const std::string& mac, int nLangId)
{
    std::wstring text = nLangId == 0 ? L"已被其他设备占用" : L"In use by another device";
    if (!mac.empty())
        text += L" (" + std::wstring(mac.begin(), mac.end()) + L")";
    return text;
}

void CInUseMarks::Attach(HWND hDlg, CMyListCtrl* pList, int nAddressCol, int nStatusCol, COLORREF clrMark)
{
    m_hDlg = hDlg;
    m_pList = pList;
    m_nAddressCol = nAddressCol;
    m_nStatusCol = nStatusCol;
    m_clrMark = clrMark;
}

void CInUseMarks::Reset()
{
    m_marks.clear();
    m_asked.clear();
    m_nProbeId = 0;
    NoteCells();
}

void CInUseMarks::NoteCells()
{
    m_cells.clear();
    if (!m_pList || !m_pList->m_hWnd)
        return;
    const int count = m_pList->GetItemCount();
    for (int nRow = 0; nRow < count; ++nRow)
        m_cells.push_back(m_pList->GetItemText(nRow, m_nAddressCol));
}

std::set<std::uint32_t> CInUseMarks::HeldAddresses() const
{
    std::set<std::uint32_t> held;
    if (!m_pList || !m_pList->m_hWnd)
        return held;
    const int count = m_pList->GetItemCount();
    for (int nRow = 0; nRow < count; ++nRow)
        if (const auto* pRecord = reinterpret_cast<const DeviceRecord*>(m_pList->GetItemData(nRow)))
            if (const auto address = ParseIpv4(ReadTextField(pRecord->message.lanIp)))
                held.insert(*address);
    return held;
}

void CInUseMarks::ProbeRows(const std::vector<int>& rows)
{
    if (!m_pList || !m_pList->m_hWnd)
        return;
    const std::set<std::uint32_t> held = HeldAddresses();
    // The rows of a probe still under way are asked again with these.
    std::map<int, std::wstring> asked = m_nProbeId.load() ? m_asked : std::map<int, std::wstring>{};
    for (int nRow : rows) {
        Unmark(nRow, true);
        asked[nRow] = m_pList->GetItemText(nRow, m_nAddressCol);
    }
    std::set<std::uint32_t> addresses;
    for (auto it = asked.begin(); it != asked.end();) {
        const auto address = ParseIpv4(it->second);
        if (!address || held.count(*address)) {
            it = asked.erase(it);
            continue;
        }
        addresses.insert(*address);
        ++it;
    }
    NoteCells();
    m_asked = std::move(asked);
    if (addresses.empty()) {
        m_nProbeId = 0;
        return;
    }
    m_nProbeId = m_probe.Start({addresses.begin(), addresses.end()}, m_hDlg, WM_PROBED);
}

void CInUseMarks::Remember(const std::vector<CAddressProbe::Answer>& answers)
{
    std::lock_guard<std::mutex> guard(m_knownLock);
    const DWORD now = ::GetTickCount();
    for (const CAddressProbe::Answer& answer : answers)
        if (answer.state != CAddressProbe::State::NotProbed || !m_known.count(answer.address))
            m_known[answer.address] = {answer, now};
}

void CInUseMarks::OnProbed(unsigned id, int nLangId)
{
    if (id == 0 || id != m_nProbeId.load())
        return; // replaced, or the rows were rebuilt since
    std::vector<CAddressProbe::Answer> answers;
    if (!m_probe.Result(id, answers))
        return;
    m_nProbeId = 0;
    Remember(answers);
    std::map<std::uint32_t, CAddressProbe::Answer> inUse;
    for (const CAddressProbe::Answer& answer : answers)
        if (answer.state == CAddressProbe::State::InUse)
            inUse[answer.address] = answer;
    // Only the rows asked whose cell still holds what was asked.
    const int count = m_pList && m_pList->m_hWnd ? m_pList->GetItemCount() : 0;
    for (const auto& [nRow, cell] : m_asked) {
        if (nRow >= count || m_pList->GetItemText(nRow, m_nAddressCol) != cell)
            continue;
        if (const auto address = ParseIpv4(cell); address && inUse.count(*address))
            SetMark(nRow, inUse[*address].mac, nLangId);
    }
    m_asked.clear();
    if (m_pList)
        m_pList->Invalidate();
}

void CInUseMarks::OnCellsEdited()
{
    if (!m_pList || !m_pList->m_hWnd)
        return;
    std::vector<int> changed;
    const int count = m_pList->GetItemCount();
    for (int nRow = 0; nRow < count; ++nRow) {
        const std::wstring cell = m_pList->GetItemText(nRow, m_nAddressCol);
        if (nRow >= static_cast<int>(m_cells.size()) || m_cells[static_cast<size_t>(nRow)] != cell)
            changed.push_back(nRow);
    }
    if (!changed.empty())
        ProbeRows(changed);
}

void CInUseMarks::SetMark(int nRow, const std::string& mac, int nLangId)
{
    Mark mark;
    mark.cell = m_pList->GetItemText(nRow, m_nAddressCol);
    mark.mac = mac;
    if (const auto it = m_marks.find(nRow); it != m_marks.end())
        mark.priorStatus = it->second.priorStatus;
    else
        mark.priorStatus = m_pList->GetItemText(nRow, m_nStatusCol);
    m_marks[nRow] = mark;
    m_pList->SetCellTextColor(nRow, m_nAddressCol, m_clrMark);
    m_pList->SetItemText(nRow, m_nStatusCol, InUseText(mac, nLangId).c_str());
}

void CInUseMarks::Unmark(int nRow, bool bRestoreStatus)
{
    const auto it = m_marks.find(nRow);
    if (it == m_marks.end())
        return;
    if (m_pList && m_pList->m_hWnd) {
        m_pList->SetCellTextColor(nRow, m_nAddressCol, m_pList->GetCellTextColor(nRow, 0));
        if (bRestoreStatus)
            m_pList->SetItemText(nRow, m_nStatusCol, it->second.priorStatus.c_str());
    }
    m_marks.erase(it);
}

void CInUseMarks::ForgetRecord(const DeviceRecord* pRecord)
{
    if (!m_pList || !m_pList->m_hWnd)
        return;
    std::vector<int> rows;
    for (const auto& [nRow, mark] : m_marks)
        if (reinterpret_cast<const DeviceRecord*>(m_pList->GetItemData(nRow)) == pRecord)
            rows.push_back(nRow);
    for (int nRow : rows)
        Unmark(nRow, false);
}

void CInUseMarks::MarkAddresses(const std::map<std::uint32_t, CAddressProbe::Answer>& inUse, int nLangId)
{
    if (!m_pList || !m_pList->m_hWnd)
        return;
    const int count = m_pList->GetItemCount();
    for (int nRow = 0; nRow < count; ++nRow)
        if (const auto address = ParseIpv4(m_pList->GetItemText(nRow, m_nAddressCol)))
            if (const auto it = inUse.find(*address); it != inUse.end())
                SetMark(nRow, it->second.mac, nLangId);
    m_pList->Invalidate();
}

void CInUseMarks::Repaint()
{
    if (!m_pList || !m_pList->m_hWnd)
        return;
    for (const auto& [nRow, mark] : m_marks)
        m_pList->SetCellTextColor(nRow, m_nAddressCol, m_clrMark);
}

void CInUseMarks::ApplyLanguage(int nLangId)
{
    if (!m_pList || !m_pList->m_hWnd)
        return;
    for (const auto& [nRow, mark] : m_marks)
        m_pList->SetItemText(nRow, m_nStatusCol, InUseText(mark.mac, nLangId).c_str());
}

std::map<std::uint32_t, CAddressProbe::Answer>
CInUseMarks::Settle(const std::vector<std::uint32_t>& addresses)
{
    std::map<std::uint32_t, CAddressProbe::Answer> inUse;
    // A probe that "Apply" started: its answers count (the window may not have taken them yet).
    if (const unsigned id = m_nProbeId.load()) {
        m_probe.Wait(id, CAddressProbe::ECHO_TIMEOUT_MS + CAddressProbe::ARP_TIMEOUT_MS + 1000);
        std::vector<CAddressProbe::Answer> answers;
        if (m_probe.Result(id, answers))
            Remember(answers);
    }
    std::vector<std::uint32_t> unknown;
    {
        std::lock_guard<std::mutex> guard(m_knownLock);
        const DWORD now = ::GetTickCount();
        for (std::uint32_t address : addresses) {
            const auto it = m_known.find(address);
            if (it == m_known.end() || it->second.answer.state == CAddressProbe::State::NotProbed ||
                now - it->second.at > ANSWER_LIFE_MS)
                unknown.push_back(address);
        }
    }
    if (::WaitForSingleObject(m_hClosing.Get(), 0) == WAIT_OBJECT_0)
        return inUse;
    if (!unknown.empty())
        Remember(CAddressProbe::Run(unknown, m_hClosing.Get()));
    std::lock_guard<std::mutex> guard(m_knownLock);
    for (std::uint32_t address : addresses)
        if (const auto it = m_known.find(address);
            it != m_known.end() && it->second.answer.state == CAddressProbe::State::InUse)
            inUse[address] = it->second.answer;
    return inUse;
}

void CInUseMarks::Close()
{
    ::SetEvent(m_hClosing.Get());
    m_probe.Cancel();
}
