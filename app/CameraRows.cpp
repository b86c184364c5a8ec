#include "app/CameraRows.h"

#include "app/SettingsText.h"
#include "controls/MyListCtrl.h"
#include "net/TextConvert.h"

#include <cstring>

namespace {

std::wstring Wide(const std::string& ansi)
{
    const wchar_t* wide = TextAnsiToWide(ansi.c_str());
    return wide ? wide : L"";
}

} // namespace

CCameraRows::~CCameraRows() { Bind(nullptr); }

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
            m_rowOf[camera.pRecord] = GetRowCount();
            m_rows.push_back(std::move(row));
            continue;
        }
        Row& row = *m_rows[static_cast<size_t>(found->second)];
        std::memcpy(&row.record, camera.pRecord, sizeof row.record);
        auto texts = RowTexts(row.record);
        if (texts != row.texts) {
            row.texts = std::move(texts);
            if (found->second < before)
                RedrawRow(found->second);
        }
    }
}

void CCameraRows::SyncList()
{
    if (m_pList && m_pList->m_hWnd && m_pList->GetItemCount() != GetRowCount())
        m_pList->SetVirtualRowCount(GetRowCount());
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

int CCameraRows::GetRowImage(int nRow) const { return RecordAt(nRow) ? CAMERA_IMAGE : -1; }

DWORD_PTR CCameraRows::GetRowData(int nRow) const { return reinterpret_cast<DWORD_PTR>(RecordAt(nRow)); }

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
