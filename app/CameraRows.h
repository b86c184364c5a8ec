#pragma once
// CCameraRows: the rows of the camera list, owned by the window thread.
//
// The list is an owner-data list: it holds a row count and its selection, and reads each cell
// from here when it paints or a copy asks for text. Each row keeps its own copy of the camera's
// record and the seven texts shown, written when the receive pass reports the camera (while that
// pass holds the camera table's lock), so painting, copying, the selection and the group dialog
// never wait for that lock. Rows are only appended or all cleared, so a camera keeps its row
// until the next rescan and is found by its table record in constant time.

#include "controls/ListRowSource.h"
#include "protocol/DiscoveryEngine.h"
#include "protocol/WireMessage.h"

#include <array>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class CMyListCtrl;

class CCameraRows : public CListRowSource {
  public:
    static constexpr int COLUMN_COUNT = 7;
    static constexpr int CAMERA_IMAGE = 1;

    CCameraRows() = default;
    ~CCameraRows() override;
    CCameraRows(const CCameraRows&) = delete;
    CCameraRows& operator=(const CCameraRows&) = delete;

    // Makes the list show these rows (null: none). The list must have LVS_OWNERDATA.
    void Bind(CMyListCtrl* pList);

    // Deletes every row.
    void Clear();
    // Appends a row for each record the list does not show yet and rewrites the others' rows.
    // New rows reach the list with the next SyncList.
    void Show(const std::vector<CCameraListView::ShownCamera>& cameras);
    // Gives the list the row count (in a burst this is done now and then: each change of the
    // count scrolls and repaints the list).
    void SyncList();

    // CListRowSource
    int GetRowCount() const override { return static_cast<int>(m_rows.size()); }
    const wchar_t* GetCellText(int nRow, int nCol) const override;
    int GetRowImage(int nRow) const override;
    // The row's own copy of the record.
    DWORD_PTR GetRowData(int nRow) const override;

    // The row's copy of its camera's record, or null.
    const DeviceRecord* RecordAt(int nRow) const;
    // The row that shows a record of the camera table, or -1.
    int FindRow(const DeviceRecord* pTableRecord) const;
    // Every row's record, in row order.
    std::vector<const DeviceRecord*> Records() const;

    // The texts of a camera's row, column by column.
    static std::array<std::wstring, COLUMN_COUNT> RowTexts(const DeviceRecord& record);

  private:
    struct Row {
        DeviceRecord record;
        std::array<std::wstring, COLUMN_COUNT> texts;
    };
    void RedrawRow(int nRow);

    CMyListCtrl* m_pList = nullptr;
    // Each row on the heap: the group dialog and the list's item data hold its record's address.
    std::vector<std::unique_ptr<Row>> m_rows;
    std::unordered_map<const DeviceRecord*, int> m_rowOf; // table record -> row
};
