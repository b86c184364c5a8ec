#pragma once
// CCameraRows: the rows of the camera list, owned by the window thread.
//
// The list is an owner-data list: it holds a row count and its selection, and reads each cell
// from here when it paints or a copy asks for text. Each row keeps its own copy of the camera's
// record and the seven texts shown, written when the receive pass reports the camera (while that
// pass holds the camera table's lock), so painting, copying, the selection and the group dialog
// never wait for that lock. A camera's row is only appended or all cleared, so a camera keeps its
// row until the next rescan and is found by its table record in constant time.
//
// Devices of other makers that answer WS-Discovery (COnvifRows) are listed too, read-only, one
// row per endpoint: theirs are the only rows removed one at a time (a Bye, or the device turning
// out to be one of this maker's listed cameras), and the selection stays on its rows when they go.

#include "app/OnvifRows.h"
#include "controls/ListRowSource.h"
#include "protocol/DiscoveryEngine.h"
#include "protocol/WireMessage.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
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
    // Gives the list the row count, the order and the warnings (in a burst this is done now and
    // then: each change of the count scrolls and repaints the list).
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

    // ---- Devices of other makers (WS-Discovery) ----
    // Takes what the receiver heard; the rows follow with the next SyncList. A device with the
    // MAC of a listed camera, or with its address while their MACs do not differ, is that camera:
    // it gets no row of its own, and the camera's row says (in its tool tip) that it also
    // answers ONVIF. Two devices at one address whose MACs differ are two rows, both warned.
    void ShowOnvif(const std::vector<OnvifAnnouncement>& batch);
    // Forgets every device of other makers and removes their rows now (Clear does too).
    void ClearOnvif();
    const COnvifRows& GetOnvif() const { return m_onvif; }
    // Whether the row shows a device of another maker; how many rows do.
    bool IsOnvifRow(int nRow) const;
    int GetOnvifRowCount() const { return m_nOnvifRows; }

    // The texts of a camera's row, column by column.
    static std::array<std::wstring, COLUMN_COUNT> RowTexts(const DeviceRecord& record);

    // ---- Sorting ----
    // Sorts by the column (a second call for the same column reverses the order); until the
    // first call rows keep the order of first reply. The selection stays on its cameras.
    void SortBy(int nCol);
    int GetSortColumn() const { return m_nSortColumn; }
    bool IsSortAscending() const { return m_bSortAscending; }

    // ---- Warnings ----
    // A camera is drawn in the warning colour, with a tool tip saying why, when its listed
    // address is that of another listed camera, of this computer or of the computer's gateway,
    // or when it lies in none of the computer's subnets. Addresses are compared as numbers
    // (192.168.1.010 is 192.168.1.10); 0.0.0.0, which every camera whose DHCP failed reports,
    // and a text that is no address are nobody's address. The subnet test looks at the wired
    // address, which the web page is opened at, and for a camera listed as WiFi at the address
    // its reply came from (as for a device of another maker that gives no IPv4 address).
    struct Subnet {
        std::uint32_t address; // host order: this computer's address on the subnet
        std::uint32_t mask;
        std::uint32_t gateway = 0; // the computer's gateway on the subnet (0: none)
    };
    static constexpr COLORREF WARNING_TEXT = RGB(200, 40, 0);
    // This computer's subnets, with its address and gateway on each. No subnet known (an empty
    // list): the subnet check rests.
    void SetLocalSubnets(const std::vector<Subnet>& subnets);
    void SetLanguage(int nLangId);
    bool GetRowTextColor(int nRow, COLORREF& clrText) const override;
    std::wstring GetRowTip(int nRow) const override;

    // ---- Export and Copy List ----
    // The rows in the order shown as CSV lines: a heading line, a line per camera, each ended by
    // "\r\n"; the cells as CsvField writes them. Copy List puts this text on the clipboard.
    std::wstring ListText(const std::array<std::wstring, COLUMN_COUNT>& titles) const;
    // The same as a file: UTF-8 with a byte-order mark.
    std::string CsvText(const std::array<std::wstring, COLUMN_COUNT>& titles) const;
    // One cell for a spreadsheet. A cell beginning with =, +, -, @, a tab or a carriage return
    // (texts a spreadsheet runs as a formula) gets a leading ' and is shown as the text it is; a
    // cell holding a comma, a quote or a line break is quoted, its quotes doubled.
    static std::wstring CsvField(const std::wstring& text);

  private:
    struct Row;
    struct Warnings {
        const Row* pSameIpAs = nullptr; // another camera listed under the same address
        bool bSameAsComputer = false;
        bool bSameAsGateway = false;
        bool bOffSubnet = false;
        bool bSharedSerial = false; // another camera answers with the same idSerial
        bool Any() const
        {
            return pSameIpAs || bSameAsComputer || bSameAsGateway || bOffSubnet || bSharedSerial;
        }
        bool operator==(const Warnings&) const = default;
    };
    struct Row {
        DeviceRecord record;
        std::array<std::wstring, COLUMN_COUNT> texts;
        const DeviceRecord* pTableRecord = nullptr;
        // What the warnings rest on, read when the record is written: the address column as a
        // number (none for 0.0.0.0 and a text that is no address) and the subnet test's address.
        std::optional<std::uint32_t> listedIp;
        std::optional<std::uint32_t> testedIp;
        Warnings warnings;
        std::string endpoint;   // a device of another maker: its key ("" for this maker's cameras)
        std::wstring onvifName; // this maker's camera that also answers ONVIF: the name it gives there
        bool bAlsoOnvif = false;
    };
    // What the list has selected, as rows, so that it can be put back after the rows moved.
    struct ListSelection {
        std::vector<const Row*> selected;
        const Row* pCurrent = nullptr;
    };
    ListSelection TakeListSelection() const;
    void PutListSelection(const ListSelection& selection);
    // Removes the rows `remove` picks, now (rows the list shows included).
    void RemoveRows(const std::function<bool(const Row&)>& remove);
    // Gives each device of another maker its row, or none when it is a listed camera.
    void ReconcileOnvif();
    void IndexRows();
    // Reads the row's addresses again; true when they changed.
    static bool ReadAddresses(Row& row);
    void RedrawRow(int nRow);
    // Puts the rows in the sort order and the list's selection back on its cameras.
    void ApplySort();
    void UpdateWarnings();
    bool RowLess(const Row& a, const Row& b) const;

    CMyListCtrl* m_pList = nullptr;
    // Each row on the heap: the group dialog and the list's item data hold its record's address.
    std::vector<std::unique_ptr<Row>> m_rows;
    std::unordered_map<const DeviceRecord*, int> m_rowOf; // table record -> row
    int m_nSortColumn = -1;
    bool m_bSortAscending = true;
    bool m_bOrderDirty = false;
    bool m_bWarningsDirty = false; // a row's record changed what its warnings rest on
    std::vector<Subnet> m_subnets;
    int m_nLangId = 0;
    COnvifRows m_onvif;
    bool m_bOnvifDirty = false; // a device or a camera changed what the devices' rows rest on
    int m_nOnvifRows = 0;
};
