#include "app/CameraRows.h"

#include "app/SettingsText.h"
#include "base/Ipv4Text.h"
#include "base/TextConvert.h"
#include "controls/MyListCtrl.h"

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace {

// The address the subnet test looks at: the wired address, where the web page is; for a camera
// listed as WiFi the address its latest reply came from, the one it is reached at.
std::optional<std::uint32_t> SubnetTestAddress(const DeviceRecord& record)
{
    // A device of another maker that gave no IPv4 address is tested where it answered from.
    if ((record.flags & DEVICE_ONVIF) && !record.message.lanIp[0])
        return record.senderIp ? std::optional<std::uint32_t>(record.senderIp) : std::nullopt;
    if (record.netType == 1)
        return record.senderIp ? std::optional<std::uint32_t>(record.senderIp)
                               : ParseIpv4(ReadTextField(record.sourceIp));
    return ParseIpv4(ReadTextField(record.message.lanIp));
}

int CompareNoCase(const std::wstring& a, const std::wstring& b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const wint_t x = std::towlower(a[i]), y = std::towlower(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

std::string Utf8(const std::wstring& text)
{
    const char* utf8 = TextWideToUtf8(text.c_str());
    return utf8 ? utf8 : "";
}

std::wstring Wide(const std::string& ansi)
{
    const wchar_t* wide = TextAnsiToWide(ansi.c_str());
    return wide ? wide : L"";
}

} // namespace

CCameraRows::~CCameraRows()
{
    Bind(nullptr);
}

void CCameraRows::Bind(CMyListCtrl* pList)
{
    if (m_pList && m_pList != pList)
        m_pList->SetRowSource(nullptr);
    m_pList = pList;
    if (m_pList) {
        m_pList->SetRowSource(this);
        m_pList->SetVirtualRowCount(GetRowCount());
    }
}

void CCameraRows::Clear()
{
    m_rowOf.clear();
    m_rows.clear();
    // The devices of other makers come back with the answers to the next probe.
    m_onvif.Clear();
    m_nOnvifRows = 0;
    m_bOrderDirty = false;
    m_bWarningsDirty = false;
    m_bOnvifDirty = false;
    if (m_pList && m_pList->m_hWnd) {
        // A click already reported for a row of the old list must not pick whatever camera the
        // next rescan lists at that index.
        m_pList->ForgetCurrentCell();
        m_pList->SetVirtualRowCount(0);
        m_pList->Invalidate();
    }
}

void CCameraRows::Show(const std::vector<CCameraListView::ShownCamera>& cameras)
{
    const int before = m_pList && m_pList->m_hWnd ? m_pList->GetItemCount() : 0;
    for (const CCameraListView::ShownCamera& camera : cameras) {
        if (!camera.pRecord)
            continue;
        auto found = camera.bCreated ? m_rowOf.end() : m_rowOf.find(camera.pRecord);
        if (found == m_rowOf.end()) {
            auto row = std::make_unique<Row>();
            std::memcpy(&row->record, camera.pRecord, sizeof row->record);
            row->texts = RowTexts(row->record);
            row->pTableRecord = camera.pRecord;
            ReadAddresses(*row);
            m_rowOf[camera.pRecord] = GetRowCount();
            m_rows.push_back(std::move(row));
            m_bOrderDirty = true;
            continue;
        }
        Row& row = *m_rows[static_cast<size_t>(found->second)];
        if (row.record.flags != camera.pRecord->flags)
            m_bWarningsDirty = true; // marked by the camera table (another camera has its serial)
        std::memcpy(&row.record, camera.pRecord, sizeof row.record);
        auto texts = RowTexts(row.record);
        if (texts != row.texts) {
            row.texts = std::move(texts);
            m_bOrderDirty = true;
            if (found->second < before)
                RedrawRow(found->second);
        }
        if (ReadAddresses(row))
            m_bWarningsDirty = true;
    }
    // A camera new or changed may be, or no longer be, a device of another maker already listed.
    if (!m_onvif.IsEmpty() && !cameras.empty())
        m_bOnvifDirty = true;
}

void CCameraRows::SyncList()
{
    if (m_bOnvifDirty)
        ReconcileOnvif();
    if (!m_bOrderDirty && !m_bWarningsDirty)
        return;
    if (m_bOrderDirty && m_nSortColumn >= 0)
        ApplySort();
    m_bOrderDirty = false;
    UpdateWarnings();
    if (m_pList && m_pList->m_hWnd && m_pList->GetItemCount() != GetRowCount())
        m_pList->SetVirtualRowCount(GetRowCount());
}

bool CCameraRows::RowLess(const Row& a, const Row& b) const
{
    const std::wstring& x = a.texts[static_cast<size_t>(m_nSortColumn)];
    const std::wstring& y = b.texts[static_cast<size_t>(m_nSortColumn)];
    int order = 0;
    if (m_nSortColumn == 0 || m_nSortColumn == 1) {
        // Addresses by number (10.0.0.9 before 10.0.0.10); a text that is none follows them.
        const auto nx = ParseIpv4(x), ny = ParseIpv4(y);
        if (nx && ny)
            order = *nx == *ny ? 0 : *nx < *ny ? -1 : 1;
        else if (nx || ny)
            order = nx ? -1 : 1;
        else
            order = CompareNoCase(x, y);
    } else {
        order = CompareNoCase(x, y);
    }
    return m_bSortAscending ? order < 0 : order > 0;
}

void CCameraRows::SortBy(int nCol)
{
    if (nCol < 0 || nCol >= COLUMN_COUNT)
        return;
    m_bSortAscending = nCol == m_nSortColumn ? !m_bSortAscending : true;
    m_nSortColumn = nCol;
    m_bOrderDirty = true;
    SyncList();
}

void CCameraRows::ApplySort()
{
    if (m_nSortColumn < 0)
        return;
    // The selection and the current row follow their cameras.
    const ListSelection selection = TakeListSelection();
    std::stable_sort(
        m_rows.begin(), m_rows.end(),
        [this](const std::unique_ptr<Row>& a, const std::unique_ptr<Row>& b) { return RowLess(*a, *b); });
    IndexRows();
    PutListSelection(selection);
}

void CCameraRows::IndexRows()
{
    m_rowOf.clear();
    for (int i = 0; i < GetRowCount(); ++i)
        if (const DeviceRecord* pTableRecord = m_rows[static_cast<size_t>(i)]->pTableRecord)
            m_rowOf[pTableRecord] = i;
}

CCameraRows::ListSelection CCameraRows::TakeListSelection() const
{
    ListSelection selection;
    if (!m_pList || !m_pList->m_hWnd)
        return selection;
    const int shown = std::min(m_pList->GetItemCount(), GetRowCount());
    for (int i = m_pList->GetNextItem(-1, LVNI_SELECTED); i >= 0 && i < shown;
         i = m_pList->GetNextItem(i, LVNI_SELECTED))
        selection.selected.push_back(m_rows[static_cast<size_t>(i)].get());
    const int cur = m_pList->GetCurRow();
    if (cur >= 0 && cur < shown)
        selection.pCurrent = m_rows[static_cast<size_t>(cur)].get();
    return selection;
}

void CCameraRows::PutListSelection(const ListSelection& selection)
{
    if (!m_pList || !m_pList->m_hWnd)
        return;
    std::unordered_map<const Row*, int> indexOf;
    for (int i = 0; i < GetRowCount(); ++i)
        indexOf[m_rows[static_cast<size_t>(i)].get()] = i;
    if (!selection.selected.empty() || selection.pCurrent) {
        m_pList->SetItemState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
        for (const Row* row : selection.selected)
            m_pList->SetItemState(indexOf[row], LVIS_SELECTED, LVIS_SELECTED);
    }
    if (selection.pCurrent) {
        const int now = indexOf[selection.pCurrent];
        m_pList->SetItemState(now, LVIS_FOCUSED, LVIS_FOCUSED);
        m_pList->MoveCurrentRow(now);
    }
    m_pList->Invalidate();
}

void CCameraRows::SetLocalSubnets(const std::vector<Subnet>& subnets)
{
    m_subnets = subnets;
    UpdateWarnings();
}

void CCameraRows::SetLanguage(int nLangId)
{
    m_nLangId = nLangId;
}

bool CCameraRows::ReadAddresses(Row& row)
{
    auto listed = ParseIpv4(row.texts[0]);
    if (listed && IsUnsetIpv4(*listed))
        listed.reset();
    const auto tested = SubnetTestAddress(row.record);
    if (listed == row.listedIp && tested == row.testedIp)
        return false;
    row.listedIp = listed;
    row.testedIp = tested;
    return true;
}

void CCameraRows::UpdateWarnings()
{
    m_bWarningsDirty = false;
    // The first two rows listed under each address, found by hashing: with 5000 rows this runs
    // every quarter second of a burst.
    struct Holders {
        const Row* first = nullptr;
        const Row* second = nullptr;
    };
    std::unordered_map<std::uint32_t, Holders> byAddress;
    byAddress.reserve(m_rows.size());
    for (const auto& row : m_rows) {
        if (!row->listedIp)
            continue;
        Holders& holders = byAddress[*row->listedIp];
        if (!holders.first)
            holders.first = row.get();
        else if (!holders.second)
            holders.second = row.get();
    }
    bool bChanged = false;
    for (const auto& pRow : m_rows) {
        Row& row = *pRow;
        Warnings warnings;
        warnings.bSharedSerial = (row.record.flags & DEVICE_SHARED_SERIAL) != 0;
        if (const auto address = row.listedIp) {
            const Holders& holders = byAddress[*address];
            warnings.pSameIpAs = holders.first == &row ? holders.second : holders.first;
            for (const Subnet& net : m_subnets) {
                warnings.bSameAsComputer = warnings.bSameAsComputer || net.address == *address;
                warnings.bSameAsGateway = warnings.bSameAsGateway || (net.gateway && net.gateway == *address);
            }
        }
        if (!m_subnets.empty()) {
            const auto address = row.testedIp;
            warnings.bOffSubnet =
                !address || std::none_of(m_subnets.begin(), m_subnets.end(), [&](const Subnet& net) {
                    return (*address & net.mask) == (net.address & net.mask);
                });
        }
        if (warnings != row.warnings) {
            row.warnings = warnings;
            bChanged = true;
        }
    }
    if (bChanged && m_pList && m_pList->m_hWnd)
        m_pList->Invalidate();
}

bool CCameraRows::GetRowTextColor(int nRow, COLORREF& clrText) const
{
    if (nRow < 0 || nRow >= GetRowCount())
        return false;
    if (!m_rows[static_cast<size_t>(nRow)]->warnings.Any())
        return false;
    clrText = WARNING_TEXT;
    return true;
}

std::wstring CCameraRows::GetRowTip(int nRow) const
{
    if (nRow < 0 || nRow >= GetRowCount())
        return {};
    const Warnings& warnings = m_rows[static_cast<size_t>(nRow)]->warnings;
    const bool chinese = m_nLangId == 0;
    std::wstring tip;
    auto line = [&tip](const std::wstring& text) {
        if (!tip.empty())
            tip += L"\r\n";
        tip += text;
    };
    if (warnings.pSameIpAs) {
        const std::wstring& other = warnings.pSameIpAs->texts[3];
        line(chinese ? L"与 " + other + L" 的 IP 地址冲突" : L"Same IP address as " + other);
    }
    if (warnings.bSameAsComputer)
        line(chinese ? L"与本机 IP 地址冲突" : L"Same IP address as this computer");
    if (warnings.bSameAsGateway)
        line(chinese ? L"与网关 IP 地址冲突" : L"Same IP address as the gateway");
    if (warnings.bOffSubnet)
        line(chinese ? L"不在本机任何网段" : L"Not in any local subnet");
    if (warnings.bSharedSerial)
        line(chinese ? L"两台设备使用同一序列号" : L"Two devices share this serial");
    const Row& row = *m_rows[static_cast<size_t>(nRow)];
    if (row.bAlsoOnvif) {
        const std::wstring name = row.onvifName.empty() ? L"" : L" (" + row.onvifName + L")";
        line(chinese ? L"该设备也应答 ONVIF" + name : L"This camera also answers ONVIF" + name);
    }
    return tip;
}

std::wstring CCameraRows::CsvField(const std::wstring& text)
{
    std::wstring cell = text;
    if (!cell.empty() && std::wstring_view(L"=+-@\t\r").find(cell.front()) != std::wstring_view::npos)
        cell.insert(cell.begin(), L'\'');
    if (cell.find_first_of(L",\"\r\n") == std::wstring::npos)
        return cell;
    std::wstring quoted = L"\"";
    for (wchar_t c : cell) {
        if (c == L'"')
            quoted += L'"';
        quoted += c;
    }
    quoted += L'"';
    return quoted;
}

std::wstring CCameraRows::ListText(const std::array<std::wstring, COLUMN_COUNT>& titles) const
{
    std::wstring text;
    auto line = [&text](const std::array<std::wstring, COLUMN_COUNT>& fields) {
        for (int c = 0; c < COLUMN_COUNT; ++c) {
            if (c)
                text += L',';
            text += CsvField(fields[static_cast<size_t>(c)]);
        }
        text += L"\r\n";
    };
    line(titles);
    const int shown =
        m_pList && m_pList->m_hWnd ? std::min(m_pList->GetItemCount(), GetRowCount()) : GetRowCount();
    for (int i = 0; i < shown; ++i)
        line(m_rows[static_cast<size_t>(i)]->texts);
    return text;
}

std::string CCameraRows::CsvText(const std::array<std::wstring, COLUMN_COUNT>& titles) const
{
    return "\xEF\xBB\xBF" + Utf8(ListText(titles));
}

void CCameraRows::RedrawRow(int nRow)
{
    if (m_pList && m_pList->m_hWnd)
        m_pList->RedrawItems(nRow, nRow);
}

const wchar_t* CCameraRows::GetCellText(int nRow, int nCol) const
{
    if (nRow < 0 || nRow >= GetRowCount() || nCol < 0 || nCol >= COLUMN_COUNT)
        return nullptr;
    return m_rows[static_cast<size_t>(nRow)]->texts[static_cast<size_t>(nCol)].c_str();
}

int CCameraRows::GetRowImage(int nRow) const
{
    return RecordAt(nRow) ? CAMERA_IMAGE : -1;
}

DWORD_PTR CCameraRows::GetRowData(int nRow) const
{
    return reinterpret_cast<DWORD_PTR>(RecordAt(nRow));
}

const DeviceRecord* CCameraRows::RecordAt(int nRow) const
{
    if (nRow < 0 || nRow >= GetRowCount())
        return nullptr;
    return &m_rows[static_cast<size_t>(nRow)]->record;
}

int CCameraRows::FindRow(const DeviceRecord* pTableRecord) const
{
    const auto found = m_rowOf.find(pTableRecord);
    return found == m_rowOf.end() ? -1 : found->second;
}

std::vector<const DeviceRecord*> CCameraRows::Records() const
{
    std::vector<const DeviceRecord*> records;
    records.reserve(m_rows.size());
    for (const auto& row : m_rows)
        records.push_back(&row->record);
    return records;
}

std::array<std::wstring, CCameraRows::COLUMN_COUNT> CCameraRows::RowTexts(const DeviceRecord& record)
{
    const WireMessage& m = record.message;
    const bool wifi = record.netType == 1;
    return {
        WideFieldText(record.sourceIp),
        WideFieldText(m.lanGateway),
        WideFieldText(m.name),
        WideFieldText(m.idSerial),
        Wide(NetTypeText(record.netType)),
        Wide(FormatMac(wifi ? m.wifiMac : m.lanMac)),
        WideFieldText(m.version),
    };
}

// ---------------------------------------------------------------------------------------------
// Devices of other makers.

void CCameraRows::ShowOnvif(const std::vector<OnvifAnnouncement>& batch)
{
    if (m_onvif.Apply(batch))
        m_bOnvifDirty = true;
}

void CCameraRows::ClearOnvif()
{
    m_onvif.Clear();
    m_bOnvifDirty = true;
    SyncList();
}

bool CCameraRows::IsOnvifRow(int nRow) const
{
    const DeviceRecord* pRecord = RecordAt(nRow);
    return pRecord && (pRecord->flags & DEVICE_ONVIF);
}

void CCameraRows::RemoveRows(const std::function<bool(const Row&)>& remove)
{
    const bool bList = m_pList && m_pList->m_hWnd;
    const int shown = bList ? std::min(m_pList->GetItemCount(), GetRowCount()) : 0;
    std::vector<bool> gone(m_rows.size());
    int nGone = 0, nGoneShown = 0;
    for (size_t i = 0; i < m_rows.size(); ++i)
        if (remove(*m_rows[i])) {
            gone[i] = true;
            ++nGone;
            nGoneShown += static_cast<int>(i) < shown;
        }
    if (nGone == 0)
        return;
    // The selection is read while every row is still there, and keeps only the rows that stay.
    ListSelection selection = TakeListSelection();
    std::unordered_set<const Row*> goneRows;
    for (size_t i = 0; i < m_rows.size(); ++i)
        if (gone[i])
            goneRows.insert(m_rows[i].get());
    auto isGone = [&goneRows](const Row* row) { return goneRows.count(row) > 0; };
    selection.selected.erase(std::remove_if(selection.selected.begin(), selection.selected.end(), isGone),
                             selection.selected.end());
    const bool bCurrentGone = selection.pCurrent && isGone(selection.pCurrent);
    if (bCurrentGone)
        selection.pCurrent = nullptr;
    size_t kept = 0;
    for (size_t i = 0; i < m_rows.size(); ++i)
        if (!gone[i])
            m_rows[kept++] = std::move(m_rows[i]);
    m_rows.resize(kept);
    IndexRows();
    m_bWarningsDirty = true; // a row that went may have shared another's address
    if (!bList)
        return;
    // The list shows the rows it showed, less those gone; rows not yet shown follow at SyncList.
    if (bCurrentGone)
        m_pList->ForgetCurrentCell();
    m_pList->SetItemState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    m_pList->SetVirtualRowCount(shown - nGoneShown);
    PutListSelection(selection);
}

void CCameraRows::ReconcileOnvif()
{
    m_bOnvifDirty = false;
    // This maker's cameras by every address and MAC they claim.
    std::unordered_map<std::uint32_t, Row*> cameraAt;
    std::unordered_map<std::uint64_t, Row*> cameraWithMac;
    if (!m_onvif.IsEmpty())
        for (const auto& pRow : m_rows) {
            if (!pRow->endpoint.empty())
                continue;
            const DeviceRecord& record = pRow->record;
            for (const std::string& text :
                 {ReadTextField(record.sourceIp), ReadTextField(record.message.lanIp),
                  ReadTextField(record.message.wifiIp)})
                if (const auto address = ParseIpv4(text); address && !IsUnsetIpv4(*address))
                    cameraAt.emplace(*address, pRow.get());
            for (const std::uint64_t mac : {COnvifRows::MacNumber(record.message.lanMac),
                                            COnvifRows::MacNumber(record.message.wifiMac)})
                if (mac)
                    cameraWithMac.emplace(mac, pRow.get());
        }
    // Each device is one of those cameras or stands on its own row. The same address makes it the
    // camera only while their MACs do not say otherwise: two MACs on one address are two devices,
    // and the warnings show them.
    std::unordered_map<const Row*, const COnvifRows::Device*> sameCamera;
    std::unordered_map<std::string, const COnvifRows::Device*> alone;
    for (const auto& [endpoint, device] : m_onvif.Devices()) {
        Row* pCamera = nullptr;
        if (device.mac)
            if (const auto found = cameraWithMac.find(*device.mac); found != cameraWithMac.end())
                pCamera = found->second;
        if (!pCamera && device.address)
            if (const auto found = cameraAt.find(*device.address); found != cameraAt.end()) {
                const WireMessage& m = found->second->record.message;
                if (!device.mac || (!COnvifRows::MacNumber(m.lanMac) && !COnvifRows::MacNumber(m.wifiMac)))
                    pCamera = found->second;
            }
        if (!pCamera) {
            alone.emplace(endpoint, &device);
            continue;
        }
        auto [at, bNew] = sameCamera.emplace(pCamera, &device);
        if (!bNew && device.nHeard < at->second->nHeard)
            at->second = &device; // the first heard names it
    }
    for (const auto& pRow : m_rows) {
        const auto found = sameCamera.find(pRow.get());
        pRow->bAlsoOnvif = found != sameCamera.end();
        pRow->onvifName = pRow->bAlsoOnvif ? found->second->name : std::wstring();
    }

    m_nOnvifRows = static_cast<int>(alone.size());
    RemoveRows([&alone](const Row& row) { return !row.endpoint.empty() && alone.count(row.endpoint) == 0; });
    // The rows that stay take the device's latest announcement; the others are appended in the
    // order they were first heard.
    const int shown = m_pList && m_pList->m_hWnd ? m_pList->GetItemCount() : 0;
    for (int i = 0; i < GetRowCount(); ++i) {
        Row& row = *m_rows[static_cast<size_t>(i)];
        if (row.endpoint.empty())
            continue;
        const auto found = alone.find(row.endpoint);
        const COnvifRows::Device& device = *found->second;
        if (row.texts != device.texts || std::memcmp(&row.record, &device.record, sizeof row.record) != 0) {
            std::memcpy(&row.record, &device.record, sizeof row.record);
            row.texts = device.texts;
            m_bOrderDirty = true;
            if (ReadAddresses(row))
                m_bWarningsDirty = true;
            if (i < shown)
                RedrawRow(i);
        }
        alone.erase(found);
    }
    std::vector<std::pair<std::string, const COnvifRows::Device*>> added(alone.begin(), alone.end());
    std::sort(added.begin(), added.end(),
              [](const auto& a, const auto& b) { return a.second->nHeard < b.second->nHeard; });
    for (const auto& [endpoint, pDevice] : added) {
        auto row = std::make_unique<Row>();
        std::memcpy(&row->record, &pDevice->record, sizeof row->record);
        row->texts = pDevice->texts;
        row->endpoint = endpoint;
        ReadAddresses(*row);
        m_rows.push_back(std::move(row));
        m_bOrderDirty = true;
        m_bWarningsDirty = true;
    }
}
