// CCameraRows, the window-thread rows of the camera list, with a real owner-data CMyListCtrl:
// rows in order of first report, a camera reported again rewrites its own row, rows keep their own
// copies of the records, and Clear leaves no row, no current row and no selection behind. Then the
// main window's owner-data list in the lab: the Ctrl+C, Ctrl+S and Ctrl+L copies still read it.
#include "AppTestSupport.h"
#include "tests/support/TestClipboard.h"

#include "app/CameraRows.h"
#include "app/MainDlg.h"
#include "app/resource.h"
#include "base/TextConvert.h"
#include "controls/MyListCtrl.h"
#include "platform/PlatformInit.h"
#include "tests/support/CamSimClient.h"
#include "tests/support/LabGuard.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

using namespace apptest;

namespace {

constexpr int kColumns = CCameraRows::COLUMN_COUNT;
using Shown = CCameraListView::ShownCamera;

// A camera record as the table holds it. Odd cameras were reached over Wi-Fi.
std::unique_ptr<DeviceRecord> MakeRecord(int i)
{
    auto record = std::make_unique<DeviceRecord>();
    std::memset(record.get(), 0, sizeof *record);
    WireMessage& m = record->message;
    m.type = MSG_INFO;
    char text[64];
    std::snprintf(text, sizeof text, "198.18.%d.%d", 16 + i / 250, 1 + i % 250);
    WriteTextField(record->sourceIp, text);
    WriteTextField(m.lanIp, text);
    std::snprintf(text, sizeof text, "198.18.%d.254", 16 + i / 250);
    WriteTextField(m.lanGateway, text);
    std::snprintf(text, sizeof text, "cam-%d", i);
    WriteTextField(m.name, text);
    std::snprintf(text, sizeof text, "a%011d", i);
    WriteTextField(m.idSerial, text);
    std::snprintf(text, sizeof text, "v%d", i % 10);
    WriteTextField(m.version, text);
    record->netType = i % 2;
    for (int b = 0; b < 6; ++b) {
        m.lanMac[b] = static_cast<std::uint8_t>(0x10 + b);
        m.wifiMac[b] = static_cast<std::uint8_t>(0xA0 + b);
    }
    m.lanMac[5] = m.wifiMac[5] = static_cast<std::uint8_t>(i & 0xFF);
    return record;
}

const wchar_t* const HOST_CLASS = L"LarkvaneCameraRowsTestHost";

// The list's parent: a plain CWnd, which reflects the list's notifications to it.
class CHost : public CWnd {
  public:
    BOOL Create()
    {
        static const bool registered = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = ::DefWindowProcW;
            wc.hInstance = ::GetModuleHandleW(nullptr);
            wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
            wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
            wc.lpszClassName = HOST_CLASS;
            return ::RegisterClassW(&wc) != 0;
        }();
        (void)registered;
        RECT rc{20, 20, 20 + 820, 20 + 460};
        return CreateEx(0, HOST_CLASS, L"Camera rows test", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, rc,
                        nullptr, 0);
    }
};

class CameraRowsTest : public testing::Test {
  protected:
    static void SetUpTestSuite() { InitPlatformControls(); }

    void SetUp() override
    {
        ::SetCursorPos(1000, 900);
        CHost& host = Host();
        ASSERT_NE(host.m_hWnd, nullptr);
        HWND hList = ::CreateWindowExW(
            0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDATA, 10, 10, 800, 400,
            host.m_hWnd, reinterpret_cast<HMENU>(IDC_MAIN_LIST), ::GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(hList, nullptr);
        ASSERT_TRUE(m_list.SubclassWindow(hList));
        m_list.SetRowHeight(22);
        const int widths[kColumns] = {140, 115, 120, 100, 60, 130, 100};
        for (int col = 0; col < kColumns; ++col)
            m_list.InsertColumn(col, (L"C" + std::to_wstring(col)).c_str(), LVCFMT_LEFT, widths[col]);
        m_rows.Bind(&m_list);
    }

    void TearDown() override
    {
        m_rows.Bind(nullptr);
        if (m_list.m_hWnd)
            ::DestroyWindow(m_list.m_hWnd);
        Pump();
    }

    static CHost& Host()
    {
        static CHost* host = [] {
            auto* h = new CHost; // lives until the process ends: top-level windows are slow to make
            h->Create();
            return h;
        }();
        return *host;
    }

    HWND List() const { return m_list.m_hWnd; }

    // Stands for the camera table: records that live until the test ends.
    DeviceRecord* NewRecord(int i)
    {
        m_table.push_back(MakeRecord(i));
        return m_table.back().get();
    }

    std::vector<std::wstring> ListRow(int row) const { return RowTexts(List(), row, kColumns); }

    static std::vector<std::wstring> Expected(const DeviceRecord& record)
    {
        const auto texts = CCameraRows::RowTexts(record);
        return {texts.begin(), texts.end()};
    }

    int ListImage(int row) const
    {
        LVITEMW item{};
        item.mask = LVIF_IMAGE;
        item.iItem = row;
        item.iImage = 77;
        ::SendMessageW(List(), LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        return item.iImage;
    }

    CMyListCtrl m_list; // declared before the rows: they unbind from it first
    CCameraRows m_rows;
    std::vector<std::unique_ptr<DeviceRecord>> m_table;
};

TEST_F(CameraRowsTest, RowTextsAreTheSevenColumnsOfTheRecord)
{
    const struct {
        int i;
        std::vector<std::wstring> texts;
    } cases[] = {
        {2,
         {L"198.18.16.3", L"198.18.16.254", L"cam-2", L"a00000000002", L"LAN", L"10:11:12:13:14:02", L"v2"}},
        {7,
         {L"198.18.16.8", L"198.18.16.254", L"cam-7", L"a00000000007", L"WIFI", L"A0:A1:A2:A3:A4:07", L"v7"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.i);
        const auto record = MakeRecord(c.i);
        EXPECT_EQ(Expected(*record), c.texts);
    }
    // netType other than 1 is LAN; fields that fill their width have no terminator.
    auto record = MakeRecord(4);
    record->netType = 5;
    std::memset(record->message.version, 'x', sizeof record->message.version);
    const auto texts = Expected(*record);
    EXPECT_EQ(texts[4], L"LAN");
    EXPECT_EQ(texts[5], L"10:11:12:13:14:04");
    EXPECT_EQ(texts[6], std::wstring(sizeof record->message.version, L'x'));
}

TEST_F(CameraRowsTest, NewRecordsAppendRowsInOrderOfFirstReport)
{
    DeviceRecord* r[5];
    for (int i = 0; i < 5; ++i)
        r[i] = NewRecord(i);

    m_rows.Show({{r[0], true}, {r[1], true}});
    EXPECT_EQ(m_rows.GetRowCount(), 2);
    EXPECT_EQ(RowCount(List()), 0) << "new rows reach the list with SyncList";
    m_rows.SyncList();
    EXPECT_EQ(RowCount(List()), 2);

    m_rows.Show({{r[4], true}, {r[2], true}, {r[3], true}});
    m_rows.SyncList();
    ASSERT_EQ(RowCount(List()), 5);
    ASSERT_EQ(m_rows.GetRowCount(), 5);
    const DeviceRecord* order[5] = {r[0], r[1], r[4], r[2], r[3]};
    for (int row = 0; row < 5; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(ListRow(row), Expected(*order[row]));
        EXPECT_EQ(ListImage(row), CCameraRows::CAMERA_IMAGE);
        EXPECT_EQ(m_rows.FindRow(order[row]), row);
        EXPECT_EQ(std::memcmp(m_rows.RecordAt(row), order[row], sizeof(DeviceRecord)), 0);
    }
    // Past the rows: nothing.
    EXPECT_EQ(m_rows.RecordAt(5), nullptr);
    EXPECT_EQ(m_rows.RecordAt(-1), nullptr);
    EXPECT_EQ(m_rows.GetCellText(5, 0), nullptr);
    EXPECT_EQ(m_rows.GetCellText(0, kColumns), nullptr);
    EXPECT_EQ(m_rows.GetRowImage(5), -1);
    EXPECT_EQ(m_rows.FindRow(NewRecord(9)), -1);
    // A null record in a batch is skipped.
    m_rows.Show({{nullptr, true}});
    EXPECT_EQ(m_rows.GetRowCount(), 5);
}

TEST_F(CameraRowsTest, AReportedRecordRewritesItsOwnRowAmongManyAndAddsNone)
{
    constexpr int kRows = 2000;
    std::vector<DeviceRecord*> records;
    for (int i = 0; i < kRows; ++i)
        records.push_back(NewRecord(i));
    // In batches, as the receive pass writes them.
    for (int first = 0; first < kRows; first += 64) {
        std::vector<Shown> batch;
        for (int i = first; i < std::min(first + 64, kRows); ++i)
            batch.push_back({records[static_cast<size_t>(i)], true});
        m_rows.Show(batch);
    }
    m_rows.SyncList();
    ASSERT_EQ(RowCount(List()), kRows);

    // Every camera answers again, in another order, with a new name: the last reply's texts win.
    std::vector<Shown> again;
    for (int k = 0; k < kRows; ++k) {
        const int i = (k * 7 + 3) % kRows; // 7 is prime to 2000: each camera once
        DeviceRecord* record = records[static_cast<size_t>(i)];
        WriteTextField(record->message.name, "again-" + std::to_string(i));
        WriteTextField(record->message.version, "v9");
        again.push_back({record, false});
    }
    // One new camera in the same batch is appended after the others.
    DeviceRecord* late = NewRecord(kRows);
    again.push_back({late, true});
    m_rows.Show(again);
    m_rows.SyncList();

    ASSERT_EQ(m_rows.GetRowCount(), kRows + 1);
    ASSERT_EQ(RowCount(List()), kRows + 1);
    for (int row = 0; row < kRows; ++row) {
        const auto texts = ListRow(row);
        ASSERT_EQ(texts[2], L"again-" + std::to_wstring(row)) << "row " << row;
        ASSERT_EQ(texts, Expected(*records[static_cast<size_t>(row)])) << "row " << row;
        ASSERT_EQ(m_rows.FindRow(records[static_cast<size_t>(row)]), row);
    }
    EXPECT_EQ(ListRow(kRows), Expected(*late));
}

TEST_F(CameraRowsTest, ARewrittenRowIsRepaintedOnlyWhenItsTextsChange)
{
    DeviceRecord* r0 = NewRecord(0);
    DeviceRecord* r1 = NewRecord(1);
    m_rows.Show({{r0, true}, {r1, true}});
    m_rows.SyncList();
    m_list.UpdateWindow();
    RECT row0{}, row1{};
    m_list.GetItemRect(0, &row0, LVIR_BOUNDS);
    m_list.GetItemRect(1, &row1, LVIR_BOUNDS);
    ::InflateRect(&row0, -2, -2);
    ::InflateRect(&row1, -2, -2);
    HRGN hUpdate = ::CreateRectRgn(0, 0, 0, 0);

    // The same texts again: nothing to repaint.
    ::ValidateRect(List(), nullptr);
    m_rows.Show({{r0, false}, {r1, false}});
    EXPECT_EQ(::GetUpdateRgn(List(), hUpdate, FALSE), NULLREGION);

    // A new name for camera 1: its row, and only its row, is repainted.
    WriteTextField(r1->message.name, "renamed");
    m_rows.Show({{r1, false}});
    ::GetUpdateRgn(List(), hUpdate, FALSE);
    EXPECT_TRUE(::RectInRegion(hUpdate, &row1)) << "the renamed camera's row keeps its old name on screen";
    EXPECT_FALSE(::RectInRegion(hUpdate, &row0));
    EXPECT_EQ(ListRow(1)[2], L"renamed");
    ::DeleteObject(hUpdate);
}

TEST_F(CameraRowsTest, RowsHoldTheirOwnCopyOfTheRecord)
{
    DeviceRecord* table = NewRecord(3);
    m_rows.Show({{table, true}});
    m_rows.SyncList();
    const DeviceRecord* copy = m_rows.RecordAt(0);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, table);
    EXPECT_EQ(m_rows.GetRowData(0), reinterpret_cast<DWORD_PTR>(copy));
    EXPECT_EQ(m_list.GetRowData(0), reinterpret_cast<DWORD_PTR>(copy))
        << "the list's item data is the row's copy";
    ASSERT_EQ(m_rows.Records().size(), 1u);
    EXPECT_EQ(m_rows.Records()[0], copy);

    // The table's record changes (another reply is being stored): the row does not, until the
    // camera is reported.
    WriteTextField(table->message.name, "changed");
    WriteTextField(table->message.lanIp, "198.18.99.99");
    EXPECT_EQ(ReadTextField(copy->message.name), "cam-3");
    EXPECT_EQ(ReadTextField(copy->message.lanIp), "198.18.16.4");
    EXPECT_EQ(ListRow(0)[2], L"cam-3");

    m_rows.Show({{table, false}});
    EXPECT_EQ(m_rows.RecordAt(0), copy) << "a rewritten row keeps its record's address";
    EXPECT_EQ(ReadTextField(copy->message.name), "changed");
    EXPECT_EQ(ReadTextField(copy->message.lanIp), "198.18.99.99");
    EXPECT_EQ(ListRow(0)[2], L"changed");

    // Addresses handed out (to the group dialog, as item data) survive many more rows.
    for (int i = 10; i < 600; ++i)
        m_rows.Show({{NewRecord(i), true}});
    m_rows.SyncList();
    EXPECT_EQ(m_rows.RecordAt(0), copy);
    EXPECT_EQ(m_list.GetRowData(0), reinterpret_cast<DWORD_PTR>(copy));
    const auto records = m_rows.Records();
    ASSERT_EQ(records.size(), 591u);
    for (int row = 0; row < 591; ++row)
        ASSERT_EQ(records[static_cast<size_t>(row)], m_rows.RecordAt(row));
}

TEST_F(CameraRowsTest, ClearEmptiesRowsAndListAndForgetsTheCurrentRowAndSelection)
{
    std::vector<DeviceRecord*> records;
    for (int i = 0; i < 5; ++i)
        records.push_back(NewRecord(i));
    m_rows.Show(
        {{records[0], true}, {records[1], true}, {records[2], true}, {records[3], true}, {records[4], true}});
    m_rows.SyncList();
    ASSERT_EQ(RowCount(List()), 5);
    ClickCell(List(), 2, 1);
    Pump();
    ASSERT_EQ(m_list.GetCurRow(), 2);
    m_list.SetItemState(3, LVIS_SELECTED, LVIS_SELECTED);
    ASSERT_GE(m_list.GetSelectedCount(), 1u);

    m_rows.Clear();
    EXPECT_EQ(m_rows.GetRowCount(), 0);
    EXPECT_EQ(RowCount(List()), 0);
    EXPECT_EQ(m_list.GetCurRow(), -1) << "a click on the old list would pick a camera of the next one";
    EXPECT_EQ(m_rows.RecordAt(0), nullptr);
    EXPECT_EQ(m_list.GetRowData(0), 0u);
    EXPECT_TRUE(m_rows.Records().empty());
    for (DeviceRecord* record : records)
        EXPECT_EQ(m_rows.FindRow(record), -1);

    // The next scan's cameras (the table may hand out the old addresses again) are new rows,
    // none of them current or selected.
    m_table.clear();
    std::vector<Shown> next;
    for (int i = 20; i < 24; ++i)
        next.push_back({NewRecord(i), true});
    m_rows.Show(next);
    m_rows.SyncList();
    ASSERT_EQ(RowCount(List()), 4);
    for (int row = 0; row < 4; ++row)
        EXPECT_EQ(ListRow(row), Expected(*next[static_cast<size_t>(row)].pRecord));
    EXPECT_EQ(m_list.GetCurRow(), -1);
    EXPECT_EQ(m_list.GetSelectedCount(), 0u);
    EXPECT_EQ(m_list.GetNextItem(-1, LVNI_SELECTED), -1);

    // Clear with no list bound only empties the rows.
    m_rows.Bind(nullptr);
    m_rows.Clear();
    EXPECT_EQ(m_rows.GetRowCount(), 0);
    EXPECT_EQ(RowCount(List()), 4);
}

TEST_F(CameraRowsTest, BindingGivesTheListTheRowsAndUnbindingTakesThemAway)
{
    m_rows.Bind(nullptr);
    m_rows.Show({{NewRecord(0), true}, {NewRecord(1), true}});
    EXPECT_EQ(RowCount(List()), 0);
    m_rows.Bind(&m_list);
    EXPECT_EQ(m_list.GetRowSource(), &m_rows);
    ASSERT_EQ(RowCount(List()), 2);
    EXPECT_EQ(ListRow(1), Expected(*m_table[1]));
    m_rows.Bind(nullptr);
    EXPECT_EQ(m_list.GetRowSource(), nullptr);
    EXPECT_EQ(m_list.GetRowData(1), 0u);
}

// ---------------------------------------------------------------------------------------------
// Warnings: addresses compared as numbers, against the other cameras, this computer and its
// gateway; the subnet test of a WiFi camera at the address its reply came from.

struct WarnedCamera {
    const char* id;
    const char* listed; // sourceIp, the address column
    const char* lanIp;
    bool wifi;
    const char* sender; // where the latest reply came from ("": not known)
    const wchar_t* tip; // in Chinese
};

// This computer: 198.18.16.10/24 behind the gateway 198.18.16.1, and 10.0.0.5/8 with none.
const std::vector<CCameraRows::Subnet> kLocalSubnets = {
    {0xC612100Au, 0xFFFFFF00u, 0xC6121001u},
    {0x0A000005u, 0xFF000000u, 0},
};

const WarnedCamera kWarnedCameras[] = {
    // The same address written two ways is one address.
    {"a00000000001", "198.18.16.20", "198.18.16.20", false, "", L"与 a00000000002 的 IP 地址冲突"},
    {"a00000000002", "198.18.16.020", "198.18.16.020", false, "", L"与 a00000000001 的 IP 地址冲突"},
    // Three cameras whose DHCP failed, and two with no address at all, share nothing; none of
    // them can be reached.
    {"a00000000003", "0.0.0.0", "0.0.0.0", false, "", L"不在本机任何网段"},
    {"a00000000004", "0.0.0.0", "0.0.0.0", false, "", L"不在本机任何网段"},
    {"a00000000005", "0.0.0.0", "0.0.0.0", false, "", L"不在本机任何网段"},
    {"a00000000006", "", "", false, "", L"不在本机任何网段"},
    {"a00000000007", "", "", false, "", L"不在本机任何网段"},
    // This computer's address and its gateway's, on either subnet.
    {"a00000000008", "10.0.0.5", "10.0.0.5", false, "", L"与本机 IP 地址冲突"},
    {"a00000000009", "198.18.16.1", "198.18.16.1", false, "", L"与网关 IP 地址冲突"},
    {"a0000000000a", "198.18.16.10", "198.18.16.10", false, "",
     L"与 a0000000000b 的 IP 地址冲突\r\n与本机 IP 地址冲突"},
    {"a0000000000b", "198.18.016.010", "198.18.016.010", false, "",
     L"与 a0000000000a 的 IP 地址冲突\r\n与本机 IP 地址冲突"},
    // WiFi cameras: the subnet test takes the address the reply came from, not the wired one.
    {"a0000000000c", "198.18.16.40", "172.16.0.9", true, "198.18.16.40", L""},
    {"a0000000000d", "192.168.100.100", "198.18.16.41", true, "192.168.100.100", L"不在本机任何网段"},
    {"a0000000000e", "10.9.8.7", "172.16.0.9", true, "", L""},
    // Wired and clean.
    {"a0000000000f", "198.18.16.30", "198.18.16.30", false, "", L""},
};

std::unique_ptr<DeviceRecord> MakeWarnedRecord(const WarnedCamera& camera)
{
    auto record = std::make_unique<DeviceRecord>();
    std::memset(record.get(), 0, sizeof *record);
    record->message.type = MSG_INFO;
    WriteTextField(record->message.idSerial, camera.id);
    WriteTextField(record->sourceIp, camera.listed);
    WriteTextField(record->message.lanIp, camera.lanIp);
    record->netType = camera.wifi ? 1 : 0;
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (std::sscanf(camera.sender, "%u.%u.%u.%u", &a, &b, &c, &d) == 4)
        record->senderIp = (a << 24) | (b << 16) | (c << 8) | d;
    return record;
}

TEST_F(CameraRowsTest, WarningsCompareAddressesAsNumbersWithCamerasThisComputerAndItsGateway)
{
    std::vector<Shown> shown;
    for (const WarnedCamera& camera : kWarnedCameras) {
        m_table.push_back(MakeWarnedRecord(camera));
        shown.push_back({m_table.back().get(), true});
    }
    m_rows.SetLocalSubnets(kLocalSubnets);
    m_rows.Show(shown);
    m_rows.SyncList();
    ASSERT_EQ(m_rows.GetRowCount(), static_cast<int>(std::size(kWarnedCameras)));
    for (int row = 0; row < m_rows.GetRowCount(); ++row) {
        const WarnedCamera& camera = kWarnedCameras[row];
        SCOPED_TRACE(camera.id);
        EXPECT_EQ(m_rows.GetRowTip(row), camera.tip);
        COLORREF clr = 0;
        EXPECT_EQ(m_rows.GetRowTextColor(row, clr), camera.tip[0] != 0);
        if (camera.tip[0]) {
            EXPECT_EQ(clr, CCameraRows::WARNING_TEXT);
        }
    }

    m_rows.SetLanguage(1);
    EXPECT_EQ(m_rows.GetRowTip(7), L"Same IP address as this computer");
    EXPECT_EQ(m_rows.GetRowTip(8), L"Same IP address as the gateway");
    EXPECT_EQ(m_rows.GetRowTip(9), L"Same IP address as a0000000000b\r\nSame IP address as this computer");
    m_rows.SetLanguage(0);

    // Without a gateway, its address is a camera's like any other.
    std::vector<CCameraRows::Subnet> noGateway = kLocalSubnets;
    noGateway[0].gateway = 0;
    m_rows.SetLocalSubnets(noGateway);
    EXPECT_EQ(m_rows.GetRowTip(8), L"");
}

TEST_F(CameraRowsTest, AWiFiCameraAnsweringFromElsewhereIsTestedAgainWithoutOtherChanges)
{
    m_table.push_back(MakeWarnedRecord(kWarnedCameras[11])); // WiFi, answering from 198.18.16.40
    DeviceRecord* record = m_table.back().get();
    m_rows.SetLocalSubnets(kLocalSubnets);
    m_rows.Show({{record, true}});
    m_rows.SyncList();
    ASSERT_EQ(m_rows.GetRowTip(0), L"");

    // Its next reply comes from an address outside every subnet; the row's texts stay the same.
    record->senderIp = 0xAC100009u; // 172.16.0.9
    m_rows.Show({{record, false}});
    m_rows.SyncList();
    EXPECT_EQ(m_rows.GetRowTip(0), L"不在本机任何网段");
}

// ---------------------------------------------------------------------------------------------
// The exported and copied lists: cells a spreadsheet would run as formulas are defused, cells
// holding separators are quoted.

TEST_F(CameraRowsTest, CsvCellsAreQuotedAndNeverStartAFormula)
{
    const struct {
        const wchar_t* text;
        const wchar_t* cell;
    } cases[] = {
        {L"=1+1", L"'=1+1"},
        {L"+1", L"'+1"},
        {L"-2", L"'-2"},
        {L"@SUM(A1)", L"'@SUM(A1)"},
        {L"\t=1", L"'\t=1"},
        {L"\r=1", L"\"'\r=1\""},
        {L"=cmd|' /C calc'!A0", L"'=cmd|' /C calc'!A0"},
        {L"=HYPERLINK(\"x\")", L"\"'=HYPERLINK(\"\"x\"\")\""},
        {L"a,b", L"\"a,b\""},
        {L"one\r\ntwo", L"\"one\r\ntwo\""},
        {L"say \"hi\"", L"\"say \"\"hi\"\"\""},
        {L"cam=1-2", L"cam=1-2"},
        {L"中文", L"中文"},
        {L"", L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CCameraRows::CsvField(c.text), c.cell) << "text " << TextWideToUtf8(c.text);
}

TEST_F(CameraRowsTest, TheListTextIsTheCsvFilesText)
{
    DeviceRecord* r0 = NewRecord(0);
    DeviceRecord* r1 = NewRecord(2);
    WriteTextField(r0->message.name, "=1+2");
    WriteTextField(r0->message.version, "-1");
    WriteTextField(r1->message.name, "a,b\r\nc");
    WriteTextField(r1->message.lanGateway, "@x");
    m_rows.Show({{r0, true}, {r1, true}});
    m_rows.SyncList();
    const std::array<std::wstring, kColumns> titles = {L"IP", L"GW", L"Name", L"ID", L"Net", L"MAC", L"Ver"};
    const std::wstring text = m_rows.ListText(titles);
    EXPECT_EQ(text, L"IP,GW,Name,ID,Net,MAC,Ver\r\n"
                    L"198.18.16.1,198.18.16.254,'=1+2,a00000000000,LAN,10:11:12:13:14:00,'-1\r\n"
                    L"198.18.16.3,'@x,\"a,b\r\nc\",a00000000002,LAN,10:11:12:13:14:02,v2\r\n");
    EXPECT_EQ(m_rows.CsvText(titles), std::string("\xEF\xBB\xBF") + TextWideToUtf8(text.c_str()));
}

// ---------------------------------------------------------------------------------------------
// The main window in the lab: the framework's copies read the owner-data camera list.

// Ctrl held in this thread's key state while a key is released on the window.
void CtrlKeyUp(HWND hWnd, int key)
{
    BYTE saved[256], state[256];
    ::GetKeyboardState(saved);
    std::memcpy(state, saved, sizeof state);
    state[VK_CONTROL] = 0x80;
    ::SetKeyboardState(state);
    ::PostMessageW(hWnd, WM_KEYUP, static_cast<WPARAM>(key), 0);
    Pump();
    ::SetKeyboardState(saved);
}

class CameraListCopyTest : public testing::Test {
  protected:
    static void SetUpTestSuite()
    {
        RequireLabNetwork();
        RemoveLanguageFiles();
        CMyDialog::SetGlobalLanguage(0);
        ASSERT_TRUE(s_sim.Connect());
        ASSERT_TRUE(s_sim.Ok("reset"));
        s_dlg = new CMainDlg();
        ASSERT_TRUE(s_dlg->CreateModeless(nullptr));
        PumpFor(300);
    }

    static void TearDownTestSuite()
    {
        if (s_dlg) {
            s_dlg->DestroyWindow();
            delete s_dlg;
            s_dlg = nullptr;
        }
    }

    void SetUp() override { ASSERT_NE(s_dlg, nullptr); }

    static HWND Dlg() { return s_dlg->GetSafeHwnd(); }
    static HWND List() { return ::GetDlgItem(Dlg(), IDC_MAIN_LIST); }

    // Lists the simulator's fleet after `command` ("reset": the default dozen; "fleet N": N made
    // up), rescanning until all are listed and the count shows them.
    static void ListFleet(const std::string& command, int count)
    {
        ASSERT_EQ(s_sim.Command(command), "ok " + std::to_string(count));
        s_dlg->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_MAIN_RESCAN, BN_CLICKED),
                           reinterpret_cast<LPARAM>(::GetDlgItem(Dlg(), IDC_MAIN_RESCAN)));
        ASSERT_TRUE(PumpUntil(
            [count] {
                return RowCount(List()) == count && ItemText(Dlg(), IDC_MAIN_COUNT) == std::to_wstring(count);
            },
            15000))
            << "rows: " << RowCount(List());
        PumpFor(300);
        ASSERT_EQ(RowCount(List()), count);
    }

    // The text a copy of the given rows must give: the seven titles, then each row's cells, each
    // line ended by "\r\n". The cells come from the rows' records, not from the list.
    static std::wstring RowsText(const std::vector<int>& rows)
    {
        std::wstring text;
        for (int col = 0; col < kColumns; ++col)
            text += (col ? L"," : L"") + ColumnTitle(List(), col);
        text += L"\r\n";
        const CCameraRows& cameraRows = s_dlg->GetCameraRows();
        for (int row : rows) {
            const auto cells = CCameraRows::RowTexts(*cameraRows.RecordAt(row));
            for (int col = 0; col < kColumns; ++col)
                text += (col ? L"," : L"") + cells[static_cast<size_t>(col)];
            text += L"\r\n";
        }
        return text;
    }

    static CCamSimClient s_sim;
    static CMainDlg* s_dlg;
};

CCamSimClient CameraListCopyTest::s_sim;
CMainDlg* CameraListCopyTest::s_dlg = nullptr;

// Ctrl+C copies every camera row whatever is selected, Ctrl+S the selected rows, Ctrl+L the list's
// selected column of every row; each time with the column titles first.
TEST_F(CameraListCopyTest, CtrlKeysCopyRowsOrAColumnOfTheCameraList)
{
    constexpr int kFleet = 12;
    constexpr int kNone = -1;
    struct Case {
        const char* name;
        int key;
        std::vector<int> selected; // rows selected before the key
        int nSelectedColumn;       // the list's selected column, or kNone
        std::vector<int> rows;     // the rows copied; empty: every row
        int nColumn;               // the one column copied, or kNone for all of them
    };
    const Case cases[] = {
        {"Ctrl+C, nothing selected", 'C', {}, kNone, {}, kNone},
        {"Ctrl+S, rows 2 and 9", 'S', {2, 9}, kNone, {2, 9}, kNone},
        {"Ctrl+C, rows 2 and 9 selected", 'C', {2, 9}, kNone, {}, kNone},
        {"Ctrl+L, column 3", 'L', {}, 3, {}, 3},
        {"Ctrl+L, column 0", 'L', {5}, 0, {}, 0},
        {"Ctrl+L, column 6", 'L', {}, 6, {}, 6},
    };
    ListFleet("reset", kFleet);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // The list keeps the selection of an owner-data list itself.
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED;
        ::SendMessageW(List(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
        item.state = LVIS_SELECTED;
        for (int row : c.selected)
            ::SendMessageW(List(), LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                           reinterpret_cast<LPARAM>(&item));
        ::SendMessageW(List(), LVM_SETSELECTEDCOLUMN, static_cast<WPARAM>(c.nSelectedColumn), 0);
        ASSERT_EQ(::SendMessageW(List(), LVM_GETSELECTEDCOLUMN, 0, 0), c.nSelectedColumn);

        std::vector<int> rows = c.rows;
        if (rows.empty())
            for (int row = 0; row < kFleet; ++row)
                rows.push_back(row);
        std::wstring expected;
        if (c.nColumn == kNone) {
            expected = RowsText(rows);
        } else {
            expected = ColumnTitle(List(), c.nColumn) + L"\r\n";
            for (int row : rows)
                expected += CCameraRows::RowTexts(
                                *s_dlg->GetCameraRows().RecordAt(row))[static_cast<size_t>(c.nColumn)] +
                            L"\r\n";
        }
        // The fleet's ids are in it: the rows were read, not only the titles.
        if (c.rows.empty() && (c.nColumn == kNone || c.nColumn == 3)) {
            ASSERT_NE(expected.find(L"a1b2c3d4e5f6"), std::wstring::npos);
        }

        SetClipboardText(L"marker");
        CtrlKeyUp(List(), c.key);
        EXPECT_EQ(ClipboardText(), expected);
    }
    ::SendMessageW(List(), LVM_SETSELECTEDCOLUMN, static_cast<WPARAM>(-1), 0);
}

TEST_F(CameraListCopyTest, CopiesReadRowsThatWereNeverOnScreen)
{
    // More cameras than the list shows at once: the rows below were never painted, and are read
    // from the row store all the same.
    constexpr int kFleet = 150;
    ListFleet("fleet " + std::to_string(kFleet), kFleet);
    ASSERT_LT(::SendMessageW(List(), LVM_GETCOUNTPERPAGE, 0, 0), kFleet);
    ::SendMessageW(List(), LVM_SETSELECTEDCOLUMN, 3, 0);
    std::wstring expected = ColumnTitle(List(), 3) + L"\r\n";
    for (int row = 0; row < kFleet; ++row) {
        const DeviceRecord* record = s_dlg->GetCameraRows().RecordAt(row);
        ASSERT_NE(record, nullptr) << row;
        expected += Widen(ReadTextField(record->message.idSerial)) + L"\r\n";
    }
    SetClipboardText(L"marker");
    CtrlKeyUp(List(), 'L');
    EXPECT_EQ(ClipboardText(), expected);
    ::SendMessageW(List(), LVM_SETSELECTEDCOLUMN, static_cast<WPARAM>(-1), 0);
}

TEST_F(CameraListCopyTest, EveryCameraOfABurstIsListedOnceAndAcknowledged)
{
    // All replies at once: the receive pass takes them back to back, writes their rows a batch at
    // a time and gives the list its count when the socket is drained.
    constexpr int kFleet = 400;
    ASSERT_TRUE(s_sim.Ok("burst on"));
    s_sim.ClearLog();
    ListFleet("fleet " + std::to_string(kFleet), kFleet);
    ASSERT_TRUE(s_sim.Ok("burst off"));

    std::set<std::string> listed;
    for (int row = 0; row < kFleet; ++row) {
        const DeviceRecord* record = s_dlg->GetCameraRows().RecordAt(row);
        ASSERT_NE(record, nullptr) << row;
        const std::string id = ReadTextField(record->message.idSerial);
        EXPECT_TRUE(listed.insert(Lower(id)).second) << id << " listed twice";
        // The list reads the row store's texts for the row.
        ASSERT_EQ(RowTexts(List(), row, kColumns)[3], Widen(id)) << row;
    }
    EXPECT_EQ(ItemText(Dlg(), IDC_MAIN_COUNT), std::to_wstring(kFleet));

    std::set<std::string> acknowledged;
    s_sim.WaitForLog(
        [&](const std::vector<CamSimLogEntry>& entries) {
            acknowledged.clear();
            for (const CamSimLogEntry& entry : entries)
                if (entry.type == MSG_ACK)
                    acknowledged.insert(Lower(entry.idSerial));
            return acknowledged.size() >= listed.size();
        },
        5000);
    EXPECT_EQ(acknowledged, listed) << "a camera of the burst was not acknowledged";
}

} // namespace
