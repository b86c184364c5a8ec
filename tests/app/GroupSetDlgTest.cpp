// The group settings dialog in process: sorting and listing, "Apply", the check buttons, in-place
// edits, and the apply worker's messages as the camera simulator logged them.
#include "GroupSetTestSupport.h"

#include "AppTestSupport.h"

#include "app/GroupSetDlg.h"
#include "app/resource.h"
#include "controls/MyListCtrl.h"
#include "base/TextConvert.h"

#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <set>
#include <thread>

namespace {

class GroupSetDlg : public CGroupSetDlgTest {};

TEST_F(GroupSetDlg, LoadingSortsByIdSerialIgnoringCaseAndChecksEveryRow)
{
    std::vector<DeviceRecord> records = {MadeUpRecord("c30000000002", "198.18.1.133", "大厅"),
                                         MadeUpRecord("a1b2c3d4e5f6", "198.18.1.131", "前门"),
                                         MadeUpRecord("B20000000001", "198.18.1.132", "Lobby")};
    std::vector<const DeviceRecord*> pointers = {&records[0], nullptr, &records[1], &records[2]};
    s_pDlg->LoadDevices(pointers);

    // The caller's array is sorted too; the empty entry goes last and is not listed.
    EXPECT_EQ(pointers, (std::vector<const DeviceRecord*>{&records[1], &records[2], &records[0], nullptr}));
    ASSERT_EQ(Rows(), 3);
    EXPECT_EQ(Cells(0),
              (std::vector<std::wstring>{L" 0: a1b2c3d4e5f6", L"198.18.1.131", L"198.18.1.1", L"前门"}));
    EXPECT_EQ(Cells(1),
              (std::vector<std::wstring>{L" 1: B20000000001", L"198.18.1.132", L"198.18.1.1", L"Lobby"}));
    EXPECT_EQ(Cells(2),
              (std::vector<std::wstring>{L" 2: c30000000002", L"198.18.1.133", L"198.18.1.1", L"大厅"}));
    for (int nRow = 0; nRow < 3; ++nRow) {
        EXPECT_TRUE(Checked(nRow)) << nRow;
        // Each row points at the dialog's own copy, never at the caller's record.
        const auto* pCopy = reinterpret_cast<const DeviceRecord*>(s_pDlg->GetList()->GetItemData(nRow));
        ASSERT_NE(pCopy, nullptr);
        EXPECT_NE(pCopy, pointers[static_cast<std::size_t>(nRow)]);
        EXPECT_EQ(std::memcmp(pCopy, pointers[static_cast<std::size_t>(nRow)], sizeof(DeviceRecord)), 0);
    }
    // The first entry fills the edits; the step keeps what it had.
    EXPECT_EQ(Item(IDC_GRP_START_IP), L"198.18.1.131");
    EXPECT_EQ(Item(IDC_GRP_NAME), L"前门");
    EXPECT_EQ(Item(IDC_GRP_GATEWAY), L"198.18.1.1");
    Type(IDC_GRP_STEP, L"7");
    records[1] = MadeUpRecord("a1b2c3d4e5f6", "10.20.30.40", "X");
    Load(records);
    EXPECT_EQ(Item(IDC_GRP_GATEWAY), L"10.20.30.1");
    EXPECT_EQ(Item(IDC_GRP_STEP), L"7");
}

TEST_F(GroupSetDlg, ApplyFillsAddressesGatewayAndNumberedNames)
{
    struct Case {
        const wchar_t* start;
        const wchar_t* step;
        bool bOnlyChecked;
        int nUnchecked;                              // -1 none
        std::vector<std::vector<std::wstring>> rows; // columns 1 to 3; empty = the row keeps its cells
        std::size_t nBoxes = 0;
    };
    // Typed with leading zeros, written as the camera must read it.
    const std::wstring GW = L"10.0.0.254";
    const Case cases[] = {
        {L"192.168.1.20",
         L"5",
         false,
         -1,
         {{L"192.168.1.20", GW, L"Cam0"},
          {L"192.168.1.25", GW, L"Cam5"},
          {L"192.168.1.30", GW, L"Cam10"},
          {L"192.168.1.35", GW, L"Cam15"}}},
        {L"192.168.1.20",
         L"0",
         false,
         -1,
         {{L"192.168.1.20", GW, L"Cam0"},
          {L"192.168.1.20", GW, L"Cam0"},
          {L"192.168.1.20", GW, L"Cam0"},
          {L"192.168.1.20", GW, L"Cam0"}},
         1}, // one address for all: every row is marked, and a box says so
        // Unchecked rows keep their cells and do not advance the numbering.
        {L"10.0.0.1",
         L"1",
         true,
         1,
         {{L"10.0.0.1", GW, L"Cam0"}, {}, {L"10.0.0.2", GW, L"Cam1"}, {L"10.0.0.3", GW, L"Cam2"}}},
        // Without "Only checked" the unchecked row is filled as well.
        {L"10.0.0.1",
         L"1",
         false,
         1,
         {{L"10.0.0.1", GW, L"Cam0"},
          {L"10.0.0.2", GW, L"Cam1"},
          {L"10.0.0.3", GW, L"Cam2"},
          {L"10.0.0.4", GW, L"Cam3"}}},
        // Leading zeros are decimal: 010 is ten.
        {L"10.0.0.010",
         L"005",
         false,
         -1,
         {{L"10.0.0.10", GW, L"Cam0"},
          {L"10.0.0.15", GW, L"Cam5"},
          {L"10.0.0.20", GW, L"Cam10"},
          {L"10.0.0.25", GW, L"Cam15"}}},
    };
    const std::vector<DeviceRecord> records = {
        MadeUpRecord("a00000000001", "198.18.1.11", "A1"), MadeUpRecord("a00000000002", "198.18.1.12", "A2"),
        MadeUpRecord("a00000000003", "198.18.1.13", "A3"), MadeUpRecord("a00000000004", "198.18.1.14", "A4")};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.start, c.start + std::wcslen(c.start)) + " step " +
                     std::string(c.step, c.step + std::wcslen(c.step)));
        Load(records);
        std::vector<std::vector<std::wstring>> before;
        for (int nRow = 0; nRow < 4; ++nRow)
            before.push_back(Cells(nRow));
        if (c.nUnchecked >= 0)
            SetChecked(c.nUnchecked, false);
        ::CheckDlgButton(Dlg(), IDC_GRP_ONLY_CHECKED, c.bOnlyChecked ? BST_CHECKED : BST_UNCHECKED);
        Type(IDC_GRP_START_IP, c.start);
        Type(IDC_GRP_STEP, c.step);
        Type(IDC_GRP_NAME, L"Cam");
        Type(IDC_GRP_GATEWAY, L"010.000.000.254");
        {
            CMessageBoxCatcher boxes(Dlg(), L"提示");
            Command(IDC_GRP_APPLY);
            PumpFor(c.nBoxes ? 300 : 0);
            EXPECT_EQ(boxes.Count(), c.nBoxes);
        }
        for (int nRow = 0; nRow < 4; ++nRow) {
            const auto& want = c.rows[static_cast<std::size_t>(nRow)];
            std::vector<std::wstring> expected = before[static_cast<std::size_t>(nRow)];
            if (!want.empty())
                expected = {expected[0], want[0], want[1], want[2]};
            EXPECT_EQ(Cells(nRow), expected) << "row " << nRow;
        }
    }
}

TEST_F(GroupSetDlg, ApplyStopsBeforeAnAddressEndingIn255OrAboveAndSaysSo)
{
    std::vector<DeviceRecord> records;
    for (int i = 0; i < 5; ++i)
        records.push_back(
            MadeUpRecord("b0000000000" + std::to_string(i), "198.18.1." + std::to_string(20 + i), "B"));
    struct Case {
        const wchar_t* start;
        const wchar_t* step;
        int nLang;
        int nFilled;
        std::wstring box;
    };
    const Case cases[] = {
        {L"192.168.1.250", L"2", 0, 3,
         L"已填写 3 行。再往下的地址最后一段会达到或超过 255，其余的行保持不变。"},
        {L"192.168.1.1", L"255", 1, 1,
         L"Filled 1 row(s). The next address would end in 255 or above, so the remaining rows were left "
         L"unchanged."},
        {L"192.168.1.254", L"1", 0, 1,
         L"已填写 1 行。再往下的地址最后一段会达到或超过 255，其余的行保持不变。"},
        {L"192.168.1.251", L"1", 0, 4,
         L"已填写 4 行。再往下的地址最后一段会达到或超过 255，其余的行保持不变。"},
        {L"192.168.1.250", L"1", 0, 5, L""}, // .254 is the last address written, no box
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nFilled);
        CMyDialog::SetGlobalLanguage(c.nLang);
        Load(records);
        Type(IDC_GRP_START_IP, c.start);
        Type(IDC_GRP_STEP, c.step);
        Type(IDC_GRP_NAME, L"N");
        Type(IDC_GRP_GATEWAY, L"192.168.2.1");
        std::vector<std::wstring> boxes;
        {
            CMessageBoxCatcher catcher(Dlg(), c.nLang == 0 ? L"提示" : L"Message");
            Command(IDC_GRP_APPLY);
            boxes = catcher.Texts();
        }
        EXPECT_EQ(boxes, c.box.empty() ? std::vector<std::wstring>{} : std::vector<std::wstring>{c.box});
        for (int nRow = 0; nRow < 5; ++nRow) {
            const std::wstring ip = CellText(List(), nRow, 1);
            if (nRow < c.nFilled) {
                EXPECT_EQ(ip.rfind(L"192.168.1.", 0), 0u) << nRow;
                EXPECT_LE(std::stoi(ip.substr(10)), 254) << nRow;
            } else {
                EXPECT_EQ(ip, L"198.18.1." + std::to_wstring(20 + nRow))
                    << "row " << nRow << " keeps its cells";
                EXPECT_EQ(CellText(List(), nRow, 3), L"B");
            }
        }
    }
}

TEST_F(GroupSetDlg, ApplyMarksComputedAddressesThatAreTakenAndSaysHowMany)
{
    std::vector<DeviceRecord> records;
    for (int i = 0; i < 5; ++i)
        records.push_back(
            MadeUpRecord("c7000000000" + std::to_string(i), "198.18.1." + std::to_string(100 + i), "N"));
    Load(records);
    const auto marked = [this](int nRow) {
        return s_pDlg->GetList()->GetCellTextColor(nRow, 1) == CGroupSetDlg::CONFLICT_TEXT;
    };
    const struct {
        const wchar_t* start;
        const wchar_t* gateway;
        bool bOnlyChecked;
        std::vector<int> expected; // rows marked
        const char* why;
    } cases[] = {
        // Row 1 is unchecked and keeps .101, which row 2 is given; row 3 is given the gateway;
        // row 4 is given .103, which row 3's camera holds until it applies its own message.
        {L"198.18.1.100", L"198.18.1.102", true, {2, 3, 4}, "a kept address, the gateway, a current one"},
        // The computer's own address (lab0) for row 1.
        {L"198.18.1.9", L"198.18.1.1", false, {1}, "a local address"},
        {L"198.18.1.200", L"198.18.1.1", false, {}, "nothing taken: the marks go"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        SetChecked(1, !c.bOnlyChecked);
        ::CheckDlgButton(Dlg(), IDC_GRP_ONLY_CHECKED, c.bOnlyChecked ? BST_CHECKED : BST_UNCHECKED);
        Type(IDC_GRP_START_IP, c.start);
        Type(IDC_GRP_GATEWAY, c.gateway);
        CMessageBoxCatcher boxes(Dlg(), L"提示");
        Command(IDC_GRP_APPLY);
        PumpFor(300);
        EXPECT_EQ(s_pDlg->GetAddressConflicts(), static_cast<int>(c.expected.size()));
        for (int row = 0; row < 5; ++row)
            EXPECT_EQ(marked(row), std::count(c.expected.begin(), c.expected.end(), row) == 1)
                << "row " << row;
        const auto texts = boxes.Texts();
        if (c.expected.empty()) {
            EXPECT_TRUE(texts.empty());
        } else {
            ASSERT_EQ(texts.size(), 1u);
            EXPECT_EQ(texts[0].rfind(std::to_wstring(c.expected.size()) + L" 个计算出的地址", 0), 0u)
                << texts[0];
        }
    }
    SetChecked(1, true);
}

TEST_F(GroupSetDlg, CheckButtonsSetTheRowsCheckBoxes)
{
    std::vector<DeviceRecord> records;
    for (int i = 0; i < 4; ++i)
        records.push_back(
            MadeUpRecord("c0000000000" + std::to_string(i), "198.18.1.5" + std::to_string(i), "C"));
    Load(records);
    auto states = [this] {
        std::vector<bool> out;
        for (int nRow = 0; nRow < Rows(); ++nRow)
            out.push_back(Checked(nRow));
        return out;
    };
    Command(IDC_GRP_UNCHECK_ALL);
    EXPECT_EQ(states(), (std::vector<bool>{false, false, false, false}));
    SetChecked(2, true);
    Command(IDC_GRP_REVERSE_CHECK);
    EXPECT_EQ(states(), (std::vector<bool>{true, true, false, true}));
    Command(IDC_GRP_CHECK_ALL);
    EXPECT_EQ(states(), (std::vector<bool>{true, true, true, true}));

    s_pDlg->GetList()->SelectAllRows(2);
    s_pDlg->GetList()->SelectRow(1, true);
    s_pDlg->GetList()->SelectRow(3, true);
    Command(IDC_GRP_UNCHECK_SELECTED);
    EXPECT_EQ(states(), (std::vector<bool>{true, false, true, false}));
    Command(IDC_GRP_UNCHECK_ALL);
    Command(IDC_GRP_CHECK_SELECTED);
    EXPECT_EQ(states(), (std::vector<bool>{false, true, false, true}));
}

// The fleet's cameras re-addressed and renamed: one message per checked camera and link, with
// the list's cells (an in-place edit included) in it and every other byte the record's.
TEST_F(GroupSetDlg, SetForAllCheckedSendsTheListsCellsToEachCheckedCamera)
{
    const std::vector<std::string> ids = {"a1b2c3d4e5f6", "b20000000001", "c30000000002", "d40000000003"};
    std::vector<DeviceRecord> records;
    for (const std::string& id : ids)
        records.push_back(RecordOf(id));
    Load(records);
    Type(IDC_GRP_START_IP, L"198.18.1.200");
    Type(IDC_GRP_GATEWAY, L"198.18.1.254");
    Type(IDC_GRP_NAME, L"Cam");
    Command(IDC_GRP_APPLY);
    SetChecked(2, false); // c30000000002 stays as it is

    // A click on the name cell of row 1 opens the editor; leaving it writes the cell.
    apptest::ClickCell(List(), 1, 3);
    ASSERT_TRUE(
        PumpUntil([] { return s_pDlg->GetList()->GetEditCtrl() && s_pDlg->GetList()->IsEditorReady(); }));
    CEdit* pEdit = s_pDlg->GetList()->GetEditCtrl();
    EXPECT_EQ(pEdit->GetWindowText(), L"Cam1");
    pEdit->SetWindowText(L"门口一号");
    ::SetFocus(::GetDlgItem(Dlg(), IDC_GRP_STEP));
    Pump();
    EXPECT_EQ(CellText(List(), 1, 3), L"门口一号");
    apptest::ClickCell(List(), 0, 0); // column 0 opens no editor
    PumpFor(60);
    EXPECT_FALSE(pEdit->IsWindowVisible());

    std::set<std::wstring> titles;
    EXPECT_EQ(SendAll(L"提示", &titles), std::vector<std::wstring>{L"完成 3 个设备信息设置！"});
    EXPECT_EQ(s_pDlg->GetLastSentCount(), 3);
    for (const wchar_t* title :
         {L"批量设置 - 已发送 1/3", L"批量设置 - 已发送 2/3", L"批量设置 - 已发送 3/3"})
        EXPECT_TRUE(titles.count(title)) << "progress title missing";
    EXPECT_EQ(TextOf(Dlg()), L"批量设置");

    struct Want {
        std::string id, ip, name;
    };
    const Want wants[] = {{"a1b2c3d4e5f6", "198.18.1.200", "Cam0"},
                          {"b20000000001", "198.18.1.201", "门口一号"},
                          {"d40000000003", "198.18.1.203", "Cam3"}}; // numbered while all were checked
    const auto all = AllSetInfo();
    EXPECT_EQ(all.size(), 6u) << "one message per checked camera and usable interface";
    for (const Want& want : wants) {
        SCOPED_TRACE(want.id);
        const auto sent = SetInfoFor(want.id, 2, 0);
        ASSERT_EQ(sent.size(), 2u);
        DeviceRecord expected = ById(records, want.id);
        WriteTextField(expected.message.lanIp, want.ip);
        WriteTextField(expected.message.lanGateway, "198.18.1.254");
        const std::vector<std::uint8_t> bytes = ExpectedWire(expected, want.name);
        for (const CamSimLogEntry& entry : sent)
            EXPECT_EQ(entry.bytes, bytes);
        std::vector<std::uint8_t> applied = bytes;
        applied[0] = MSG_INFO;
        EXPECT_EQ(m_sim.Image(want.id), applied);
    }
    EXPECT_TRUE(SetInfoFor("c30000000002", 1, 0).empty());
}

TEST_F(GroupSetDlg, NotModifyNameKeepsEachCamerasOwnNameAsUtf8)
{
    const std::vector<std::string> ids = {"F12345678901", "a1b2c3d4e5f6", "f70000000006", "b20000000001"};
    std::vector<DeviceRecord> records;
    std::map<std::string, std::string> utf8Names;
    for (const std::string& id : ids) {
        records.push_back(RecordOf(id));
        utf8Names[id] = FieldText(m_sim.Image(id), 28, 20);
    }
    Load(records); // sorted: a1b2…, b2…, F1…, f7…
    Type(IDC_GRP_START_IP, L"198.18.1.180");
    Type(IDC_GRP_STEP, L"2");
    Type(IDC_GRP_GATEWAY, L"198.18.1.253");
    Command(IDC_GRP_APPLY);
    ::CheckDlgButton(Dlg(), IDC_GRP_KEEP_NAME, BST_CHECKED);

    EXPECT_EQ(SendAll(), std::vector<std::wstring>{L"完成 4 个设备信息设置！"});
    const std::map<std::string, std::string> addresses = {{"a1b2c3d4e5f6", "198.18.1.180"},
                                                          {"b20000000001", "198.18.1.182"},
                                                          {"F12345678901", "198.18.1.184"},
                                                          {"f70000000006", "198.18.1.186"}};
    for (const auto& [id, ip] : addresses) {
        SCOPED_TRACE(id);
        const auto sent = SetInfoFor(id, 2, 0);
        ASSERT_EQ(sent.size(), 2u);
        DeviceRecord expected = ById(records, id);
        WriteTextField(expected.message.lanIp, ip);
        WriteTextField(expected.message.lanGateway, "198.18.1.253");
        EXPECT_EQ(sent.front().bytes, ExpectedWire(expected, utf8Names[id]));
        EXPECT_EQ(FieldText(sent.front().bytes, 28, 20), utf8Names[id]);
    }
}

TEST_F(GroupSetDlg, BothNotModifyBoxesSendNothingAndShowNothing)
{
    Load({RecordOf("a1b2c3d4e5f6"), RecordOf("b20000000001")});
    ::CheckDlgButton(Dlg(), IDC_GRP_KEEP_IP, BST_CHECKED);
    ::CheckDlgButton(Dlg(), IDC_GRP_KEEP_NAME, BST_CHECKED);
    EXPECT_TRUE(SendAll().empty());
    EXPECT_EQ(s_pDlg->GetLastSentCount(), 0);
    PumpFor(300);
    EXPECT_TRUE(AllSetInfo().empty());
    EXPECT_EQ(TextOf(Dlg()), L"批量设置");

    // With no row checked nothing is sent either.
    ::CheckDlgButton(Dlg(), IDC_GRP_KEEP_IP, BST_UNCHECKED);
    Command(IDC_GRP_UNCHECK_ALL);
    EXPECT_TRUE(SendAll().empty());
    EXPECT_EQ(s_pDlg->GetLastSentCount(), 0);
    EXPECT_TRUE(AllSetInfo().empty());
}

TEST_F(GroupSetDlg, TenCheckedRowsArePacedAtLeast200MillisecondsApart)
{
    std::vector<DeviceRecord> records;
    for (int i = 0; i < 10; ++i)
        records.push_back(
            MadeUpRecord("d0000000001" + std::to_string(i), "198.18.1." + std::to_string(60 + i), "D"));
    Load(records);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(SendAll(), std::vector<std::wstring>{L"完成 10 个设备信息设置！"});
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(2000));

    // The simulator's clock: each camera's first copy at least ~200 ms after the previous one's.
    std::map<std::string, double> firstSeen;
    for (const CamSimLogEntry& entry : m_sim.WaitForLog(
             [](const std::vector<CamSimLogEntry>& e) {
                 return CCamSimClient::CountType(e, MSG_SET_INFO) >= 20;
             },
             3000))
        if (entry.type == MSG_SET_INFO && !firstSeen.count(entry.idSerial))
            firstSeen[entry.idSerial] = entry.time;
    ASSERT_EQ(firstSeen.size(), 10u);
    for (int i = 1; i < 10; ++i)
        EXPECT_GE(firstSeen["d0000000001" + std::to_string(i)] -
                      firstSeen["d0000000001" + std::to_string(i - 1)],
                  0.19)
            << i;
}

// A rescan hands the dialog new records while the worker sends: every message on the wire is
// exactly what one of the records listed at that moment makes.
TEST_F(GroupSetDlg, APassSendsTheRowsAsTheyWereWhenItStarted)
{
    auto makeSet = [](char first, int base) {
        auto records = std::make_unique<std::vector<DeviceRecord>>();
        for (int i = 0; i < 8; ++i)
            records->push_back(MadeUpRecord(std::string(1, first) + "000000000" + std::to_string(10 + i),
                                            "198.18.1." + std::to_string(base + i),
                                            std::string("名") + first));
        return records;
    };
    std::map<std::string, std::vector<std::uint8_t>> expected;
    auto first = makeSet('a', 100);
    for (const DeviceRecord& record : *first)
        expected[ReadTextField(record.message.idSerial)] =
            ExpectedWire(record, TextAnsiToUtf8(ReadTextField(record.message.name).c_str()));
    Load(*first);
    std::fill(first->begin(), first->end(), DeviceRecord{}); // the caller's records go away
    first.reset();
    SetChecked(7, false); // not confirmed by the operator: never sent

    ASSERT_TRUE(m_sim.ClearLog());
    CMessageBoxCatcher boxes(Dlg(), L"提示");
    const int passes = s_pDlg->GetFinishedPasses();
    Command(IDC_GRP_SEND);
    ASSERT_TRUE(
        PumpUntil([] { return TextOf(s_pDlg->GetSafeHwnd()).find(L"已发送 2/") != std::wstring::npos; }));
    // During the pass: an edit, "Apply", and two reloads with other cameras (all checked).
    ListView_SetItemText(List(), 5, 3, const_cast<LPWSTR>(L"Edited"));
    Type(IDC_GRP_START_IP, L"198.18.1.200");
    Command(IDC_GRP_APPLY);
    for (int round = 0; round < 2; ++round) {
        auto next = makeSet(static_cast<char>('b' + round), 120 + 10 * round);
        Load(*next);
        next.reset();
        PumpFor(250);
    }
    ASSERT_TRUE(PumpUntil([&] { return s_pDlg->GetFinishedPasses() > passes; }, 20000));
    Pump();

    // Each message leaves through both lab links, so the simulator logs it twice.
    std::set<std::string> ids;
    for (const CamSimLogEntry& entry : AllSetInfo()) {
        SCOPED_TRACE(entry.idSerial);
        ASSERT_TRUE(expected.count(entry.idSerial)) << "a row nobody confirmed was sent";
        EXPECT_EQ(entry.bytes, expected[entry.idSerial]);
        ids.insert(entry.idSerial);
    }
    EXPECT_EQ(ids.size(), 7u);
    EXPECT_FALSE(ids.count("a00000000017")) << "the row unchecked before the pass was sent";
    EXPECT_EQ(s_pDlg->GetLastSentCount(), 7);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Texts().front(), L"完成 7 个设备信息设置！");
}

// Every text of both languages is checked in LanguageTableTest.cpp; here the completion box and the
// progress title follow the language the dialog was switched to.
TEST_F(GroupSetDlg, InEnglishThePassReportsInEnglish)
{
    Load({RecordOf("a1b2c3d4e5f6"), RecordOf("c90000000008")});
    CMyDialog::SetGlobalLanguage(1);
    ::CheckDlgButton(Dlg(), IDC_GRP_KEEP_NAME, BST_CHECKED);
    std::set<std::wstring> titles;
    EXPECT_EQ(SendAll(L"Message", &titles),
              std::vector<std::wstring>{L"Set 2 device(s)'s IP Address or Name."});
    EXPECT_TRUE(titles.count(L"Modify by Group - sent 1 of 2"));
    EXPECT_EQ(TextOf(Dlg()), L"Modify by Group");
}

TEST_F(GroupSetDlg, ProgressKeepsATitleFromTheLanguageFile)
{
    WriteLang(L"DIALOG-104", L"LoadText", L"1");
    WriteLang(L"DIALOG-104", L"WindowText-1", L"Cameras by Group");
    CMyDialog::SetGlobalLanguage(1);
    Pump();
    ASSERT_EQ(TextOf(Dlg()), L"Cameras by Group");
    Load({MadeUpRecord("e00000000002", "198.18.1.91", "E")});
    std::set<std::wstring> titles;
    EXPECT_EQ(SendAll(L"Message", &titles).size(), 1u);
    EXPECT_TRUE(titles.count(L"Cameras by Group - sent 1 of 1"));
    EXPECT_EQ(TextOf(Dlg()), L"Cameras by Group");
}

// The completion box belongs to the worker's pass; a dialog destroyed while it is up closes it
// instead of waiting for the operator.
TEST_F(GroupSetDlg, DestroyingTheDialogClosesAnOpenCompletionBox)
{
    auto pDlg = std::make_unique<CGroupSetDlg>();
    ASSERT_TRUE(pDlg->CreateModeless(nullptr));
    std::vector<DeviceRecord> records = {MadeUpRecord("e00000000001", "198.18.1.90", "E")};
    std::vector<const DeviceRecord*> pointers = {&records[0]};
    pDlg->LoadDevices(pointers);
    const HWND hDlg = pDlg->GetSafeHwnd();
    ::SendMessageW(hDlg, WM_COMMAND, MAKEWPARAM(IDC_GRP_SEND, BN_CLICKED), 0);
    HWND hBox = nullptr;
    ASSERT_TRUE(PumpUntil([&] {
        hBox = ::FindWindowW(L"#32770", L"提示");
        return hBox && ::GetWindow(hBox, GW_OWNER) == hDlg && ::IsWindowVisible(hBox);
    }));

    // Should the destructor wait for the box, this closes it after 5 s and the test fails.
    std::atomic<bool> bDone{false}, bRescued{false};
    std::thread rescue([&] {
        for (int i = 0; i < 250 && !bDone; ++i)
            ::Sleep(20);
        if (!bDone && ::IsWindow(hBox)) {
            bRescued = true;
            ::PostMessageW(hBox, WM_COMMAND, IDOK, 0);
        }
    });
    pDlg.reset();
    bDone = true;
    rescue.join();
    EXPECT_FALSE(bRescued);
    EXPECT_FALSE(::IsWindow(hBox));
}

TEST_F(GroupSetDlg, ClosingDuringAPassStopsItWithoutABox)
{
    auto pDlg = std::make_unique<CGroupSetDlg>();
    ASSERT_TRUE(pDlg->CreateModeless(nullptr));
    std::vector<DeviceRecord> records;
    for (int i = 0; i < 10; ++i)
        records.push_back(
            MadeUpRecord("e0000000002" + std::to_string(i), "198.18.1." + std::to_string(60 + i), "E"));
    std::vector<const DeviceRecord*> pointers;
    for (const DeviceRecord& record : records)
        pointers.push_back(&record);
    pDlg->LoadDevices(pointers);
    const HWND hDlg = pDlg->GetSafeHwnd();
    ASSERT_TRUE(m_sim.ClearLog());
    const int passes = pDlg->GetFinishedPasses();
    ::SendMessageW(hDlg, WM_COMMAND, MAKEWPARAM(IDC_GRP_SEND, BN_CLICKED), 0);
    ASSERT_TRUE(PumpUntil([&] { return TextOf(hDlg).find(L"已发送 2/") != std::wstring::npos; }));

    // The window goes first, as when the main window that owns it closes. The title counts the
    // messages sent so far (nothing runs on this thread in between): closing begins here, so no
    // camera is sent to after it, not even the next one.
    const std::wstring title = TextOf(hDlg);
    const int nSentBefore = std::stoi(title.substr(title.find(L"已发送 ") + 4));
    ::DestroyWindow(hDlg);
    EXPECT_TRUE(PumpUntil([&] { return pDlg->GetFinishedPasses() > passes; }, 3000))
        << "the pass did not end (a box waits for the operator?)";
    PumpFor(300);
    const HWND hBox = ::FindWindowW(L"#32770", L"提示");
    EXPECT_FALSE(hBox && ::IsWindowVisible(hBox)) << "a box reports the count of a pass cut short";
    EXPECT_LT(AllSetInfo().size(), records.size());
    std::set<std::string> ids;
    for (const CamSimLogEntry& entry : AllSetInfo())
        ids.insert(entry.idSerial);
    EXPECT_EQ(static_cast<int>(ids.size()), nSentBefore) << "a camera was sent to after the window had gone";
    EXPECT_EQ(pDlg->GetLastSentCount(), nSentBefore);

    std::atomic<bool> bDone{false}, bRescued{false};
    std::thread rescue([&] {
        for (int i = 0; i < 250 && !bDone; ++i)
            ::Sleep(20);
        if (const HWND hLeft = ::FindWindowW(L"#32770", L"提示"); !bDone && hLeft) {
            bRescued = true;
            ::PostMessageW(hLeft, WM_COMMAND, IDOK, 0);
        }
    });
    pDlg.reset();
    bDone = true;
    rescue.join();
    EXPECT_FALSE(bRescued);
}

} // namespace
