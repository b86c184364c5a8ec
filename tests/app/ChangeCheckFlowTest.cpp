// The change check with the real dialogs, opened by the main window, against the camera simulator:
// after "Do Setting" and after a group pass the follow-up rescans (ordinary rescans of the main
// window) tell which cameras took the settings. The delays are shortened through the checks'
// setters; the simulated cameras take, ignore, half-take or late-take what they are sent.
#include "SettingsTestSupport.h"

#include "AppTestSupport.h"
#include "app/DeviceSetDlg.h"
#include "app/GroupSetDlg.h"
#include "app/MainDlg.h"
#include "app/resource.h"
#include "controls/MyListCtrl.h"

#include <commctrl.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace {

constexpr DWORD SETTLE_MS = 500, PERIOD_MS = 600, WINDOW_MS = 5000;

class ChangeCheckFlow : public CSettingsTest {
  protected:
    static void SetUpTestSuite()
    {
        CSettingsTest::SetUpTestSuite();
        s_pMain = new CMainDlg();
        ASSERT_TRUE(s_pMain->CreateModeless(nullptr));
        PumpFor(300);
    }
    static void TearDownTestSuite()
    {
        if (s_pMain) {
            s_pMain->DestroyWindow();
            delete s_pMain;
            s_pMain = nullptr;
        }
    }
    void SetUp() override
    {
        CSettingsTest::SetUp();
        ASSERT_NE(s_pMain, nullptr);
        CMyDialog::SetGlobalLanguage(0);
        for (CChangeCheck* pCheck : {&Single().GetChangeCheck(), &Group().GetChangeCheck()}) {
            pCheck->Cancel();
            pCheck->SetTimes(SETTLE_MS, PERIOD_MS, WINDOW_MS);
        }
        // Each test's sends go to a change log of its own, not beside the test program.
        wchar_t dir[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, dir);
        m_logPath =
            std::wstring(dir) + L"lv-flow-changes-" + std::to_wstring(::GetCurrentProcessId()) + L".csv";
        ::DeleteFileW(m_logPath.c_str());
        Single().GetChangeLog().SetPath(m_logPath);
        Group().GetChangeLog().SetPath(m_logPath);
        // Listed when the list holds the fleet for half a second after a rescan of this test.
        bool bSteady = false;
        for (int attempt = 0; attempt < 3 && !bSteady; ++attempt) {
            Rescan();
            ASSERT_TRUE(PumpUntil([] { return apptest::RowCount(MainList()) == 12; }, 8000));
            PumpFor(500);
            bSteady = apptest::RowCount(MainList()) == 12;
        }
        ASSERT_TRUE(bSteady);
    }
    void TearDown() override
    {
        Group().SetSendPause(CGroupSetDlg::SEND_PAUSE_MS);
        CMyDialog::SetGlobalLanguage(0);
        Single().GetChangeCheck().Cancel();
        Group().GetChangeCheck().Cancel();
        Group().SetFileChooser(nullptr);
        ::DeleteFileW(m_logPath.c_str());
    }

    static HWND MainList() { return ::GetDlgItem(s_pMain->GetSafeHwnd(), IDC_MAIN_LIST); }
    static CGroupSetDlg& Group() { return *s_pMain->GetGroupSetDlg(); }
    static CDeviceSetDlg& Single() { return *s_pMain->GetDeviceSetDlg(); }
    static HWND GroupList() { return ::GetDlgItem(Group().GetSafeHwnd(), IDC_GRP_LIST); }
    static void Rescan()
    {
        ::SendMessageW(s_pMain->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_MAIN_RESCAN, BN_CLICKED), 0);
    }
    static void Command(HWND hDlg, int nID)
    {
        ::SendMessageW(hDlg, WM_COMMAND, MAKEWPARAM(nID, BN_CLICKED), 0);
    }
    static int GroupRowOf(const std::wstring& id)
    {
        for (int nRow = 0; nRow < apptest::RowCount(GroupList()); ++nRow)
            if (CellText(GroupList(), nRow, 0).find(id) != std::wstring::npos)
                return nRow;
        return -1;
    }
    static std::wstring StatusOf(const std::wstring& id)
    {
        const int nRow = GroupRowOf(id);
        return nRow < 0 ? L"(no row)" : CellText(GroupList(), nRow, CGroupSetDlg::STATUS_COLUMN);
    }
    // The main list's record of a camera, or null.
    static const DeviceRecord* Listed(const std::wstring& id)
    {
        const int nRow = apptest::FindRow(MainList(), 3, id);
        return nRow < 0 ? nullptr : s_pMain->GetCameraRows().RecordAt(nRow);
    }
    int Requests() { return static_cast<int>(CCamSimClient::CountType(m_sim.Log(), MSG_GET)); }

    // A CSV file's lines (UTF-8 with its mark checked and taken off), split into cells; no cell
    // here holds a line break.
    static std::vector<std::vector<std::wstring>> CsvLines(const std::wstring& path)
    {
        std::ifstream in(path.c_str(), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        std::string text = bytes.str();
        EXPECT_EQ(text.rfind("\xEF\xBB\xBF", 0), 0u) << "UTF-8 with a byte-order mark";
        const std::wstring wide = apptest::Widen(text.substr(std::min<std::size_t>(3, text.size())));
        std::vector<std::vector<std::wstring>> lines;
        std::size_t at = 0;
        while (at < wide.size()) {
            const std::size_t end = wide.find(L"\r\n", at);
            EXPECT_NE(end, std::wstring::npos) << "every line ends with CR LF";
            const std::wstring line = wide.substr(at, end - at);
            at = end == std::wstring::npos ? wide.size() : end + 2;
            std::vector<std::wstring> cells(1);
            bool bQuoted = false;
            for (std::size_t i = 0; i < line.size(); ++i) {
                const wchar_t c = line[i];
                if (c == L'"' && bQuoted && i + 1 < line.size() && line[i + 1] == L'"')
                    cells.back() += line[++i];
                else if (c == L'"')
                    bQuoted = !bQuoted;
                else if (c == L',' && !bQuoted)
                    cells.emplace_back();
                else
                    cells.back() += c;
            }
            lines.push_back(std::move(cells));
        }
        return lines;
    }
    static std::wstring NowText()
    {
        SYSTEMTIME now{};
        ::GetLocalTime(&now);
        return CChangeLog::TimeText(now);
    }

    std::wstring m_logPath;

    static inline CMainDlg* s_pMain = nullptr;
};

const wchar_t ALL_DIFFER_ZH[] = L"不一致: IP地址, 网关, 名称";

TEST_F(ChangeCheckFlow, GroupStatusColumnShowsWhatEachCameraTookAndFollowsTheLanguage)
{
    // a1b2…: takes the settings (and so answers from its new address); b2…: ignores them; c3…:
    // keeps its name; d4…: takes them after 1.5 s; F1…: falls silent.
    ASSERT_EQ(m_sim.Command("set b20000000001 onset=ignore"), "ok 1");
    ASSERT_EQ(m_sim.Command("set c30000000002 onset=keepname"), "ok 1");
    ASSERT_EQ(m_sim.Command("set d40000000003 applydelay=1500"), "ok 1");
    ASSERT_EQ(m_sim.Command("set F12345678901 dup=0"), "ok 1");

    ::SendMessageW(s_pMain->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_MAIN_GROUP, BN_CLICKED), 0);
    Pump();
    ASSERT_EQ(apptest::RowCount(GroupList()), 12);
    EXPECT_EQ(apptest::ColumnTitle(GroupList(), CGroupSetDlg::STATUS_COLUMN), L"状态");
    EXPECT_EQ(StatusOf(L"a1b2c3d4e5f6"), L"");
    Command(Group().GetSafeHwnd(), IDC_GRP_UNCHECK_ALL);
    const std::vector<std::wstring> ids = {L"a1b2c3d4e5f6", L"b20000000001", L"c30000000002", L"d40000000003",
                                           L"F12345678901"};
    for (const std::wstring& id : ids) {
        ASSERT_GE(GroupRowOf(id), 0);
        ListView_SetCheckState(GroupList(), GroupRowOf(id), TRUE);
    }
    ::CheckDlgButton(Group().GetSafeHwnd(), IDC_GRP_ONLY_CHECKED, BST_CHECKED);
    ::SetDlgItemTextW(Group().GetSafeHwnd(), IDC_GRP_START_IP, L"198.18.1.220");
    ::SetDlgItemTextW(Group().GetSafeHwnd(), IDC_GRP_GATEWAY, L"198.18.1.254");
    ::SetDlgItemTextW(Group().GetSafeHwnd(), IDC_GRP_NAME, L"门");
    ::SetDlgItemTextW(Group().GetSafeHwnd(), IDC_GRP_STEP, L"1");
    Command(Group().GetSafeHwnd(), IDC_GRP_APPLY);
    ASSERT_EQ(CellText(GroupList(), GroupRowOf(L"F12345678901"), 1), L"198.18.1.224");

    ASSERT_TRUE(m_sim.ClearLog());
    std::map<std::wstring, std::set<std::wstring>> seen;
    // The follow-up requests ask the cameras again without emptying the list: a copy or an export
    // taken meanwhile is never partial.
    int fewestListed = apptest::RowCount(MainList());
    auto sample = [&] {
        for (const std::wstring& id : ids)
            seen[id].insert(StatusOf(id));
        fewestListed = std::min(fewestListed, apptest::RowCount(MainList()));
    };
    const int passes = Group().GetFinishedPasses();
    {
        CMessageBoxCatcher boxes(Group().GetSafeHwnd(), L"提示");
        Command(Group().GetSafeHwnd(), IDC_GRP_SEND);
        ASSERT_TRUE(PumpUntil(
            [&] {
                sample();
                return Group().GetFinishedPasses() > passes;
            },
            20000));
        // The pass's own box is still shown; the check only adds to it.
        EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>{L"完成 5 个设备信息设置！"});
    }
    const std::map<std::wstring, std::wstring> final = {{L"a1b2c3d4e5f6", L"已确认"},
                                                        {L"b20000000001", ALL_DIFFER_ZH},
                                                        {L"c30000000002", L"不一致: 名称"},
                                                        {L"d40000000003", L"已确认"},
                                                        {L"F12345678901", L"无应答"}};
    const bool bDone = PumpUntil(
        [&] {
            sample();
            for (const auto& [id, text] : final)
                if (StatusOf(id) != text || Group().GetChangeCheck().IsActive())
                    return false;
            return true;
        },
        WINDOW_MS + 5000);
    for (const auto& [id, text] : final)
        EXPECT_EQ(StatusOf(id), text) << std::string(id.begin(), id.end());
    ASSERT_TRUE(bDone);
    for (const std::wstring& id : ids)
        EXPECT_TRUE(seen[id].count(L"已发送")) << "every camera showed Sent while waiting";
    EXPECT_TRUE(seen[L"d40000000003"].count(ALL_DIFFER_ZH))
        << "the late camera answered with its old values first";
    EXPECT_FALSE(seen[L"a1b2c3d4e5f6"].count(L"无应答"));
    EXPECT_EQ(StatusOf(L"a60000000005"), L"") << "a camera nobody sent to has no status";

    EXPECT_EQ(fewestListed, 12) << "the list never emptied during the check";
    // The follow-ups were the main window's requests: several, and the list shows what the cameras
    // now answer, a1b2… under its new address.
    EXPECT_GE(Requests(), 4);
    ASSERT_TRUE(PumpUntil([] { return Listed(L"a1b2c3d4e5f6") && Listed(L"d40000000003"); }, 8000));
    const auto a = apptest::RowTexts(MainList(), apptest::FindRow(MainList(), 3, L"a1b2c3d4e5f6"), 3);
    EXPECT_EQ(a, (std::vector<std::wstring>{L"198.18.1.220", L"198.18.1.254", L"门0"}));

    // The language switch rewrites the cells and the title; back again.
    CMyDialog::SetGlobalLanguage(1);
    EXPECT_EQ(apptest::ColumnTitle(GroupList(), CGroupSetDlg::STATUS_COLUMN), L"Status");
    const std::map<std::wstring, std::wstring> english = {
        {L"a1b2c3d4e5f6", L"Confirmed"},
        {L"b20000000001", L"Different: IP Address, GateWay, Name"},
        {L"c30000000002", L"Different: Name"},
        {L"d40000000003", L"Confirmed"},
        {L"F12345678901", L"No answer"}};
    for (const auto& [id, text] : english)
        EXPECT_EQ(StatusOf(id), text);
    EXPECT_EQ(CellText(GroupList(), GroupRowOf(L"a1b2c3d4e5f6"), 1), L"198.18.1.220")
        << "cells 1-3 untouched";
    CMyDialog::SetGlobalLanguage(0);
    EXPECT_EQ(apptest::ColumnTitle(GroupList(), CGroupSetDlg::STATUS_COLUMN), L"状态");
    for (const auto& [id, text] : final)
        EXPECT_EQ(StatusOf(id), text);

    // The silent camera keeps its row until the operator rescans; then listing the cameras again
    // keeps each camera's status with its row, and the silent one has none.
    EXPECT_NE(apptest::FindRow(MainList(), 3, L"F12345678901"), -1);
    Rescan();
    ASSERT_TRUE(PumpUntil([] { return apptest::RowCount(MainList()) == 11; }, 8000));
    PumpFor(300);
    ::SendMessageW(s_pMain->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_MAIN_GROUP, BN_CLICKED), 0);
    Pump();
    EXPECT_EQ(StatusOf(L"c30000000002"), L"不一致: 名称");
    EXPECT_EQ(StatusOf(L"a1b2c3d4e5f6"), L"已确认");
    EXPECT_EQ(GroupRowOf(L"F12345678901"), -1);
}

TEST_F(ChangeCheckFlow, SingleDialogStatusLineFollowsItsCameraAndTheLanguage)
{
    struct {
        const wchar_t* id;
        const char* simSetting; // nullptr: an ordinary camera
        const wchar_t* lanIp;
        const wchar_t* name;
        const wchar_t* chinese;
        const wchar_t* english;
    } const cases[] = {
        {L"a1b2c3d4e5f6", nullptr, L"198.18.1.230", L"新门", L"状态: 已确认", L"Status: Confirmed"},
        {L"b20000000001", "onset=ignore", L"198.18.1.231", L"Hall", L"状态: 不一致: IP地址, 网关, 名称",
         L"Status: Different: IP Address, GateWay, Name"},
        {L"c30000000002", "onset=keepname", L"198.18.1.232", L"Hall", L"状态: 不一致: 名称",
         L"Status: Different: Name"},
        {L"d40000000003", "applydelay=1500", L"198.18.1.233", L"Yard", L"状态: 已确认", L"Status: Confirmed"},
        {L"F12345678901", "dup=0", L"198.18.1.234", L"Gate", L"状态: 无应答", L"Status: No answer"},
    };
    const HWND hDlg = Single().GetSafeHwnd();
    for (const auto& c : cases) {
        const std::string id(c.id, c.id + std::wcslen(c.id));
        SCOPED_TRACE(id);
        if (c.simSetting) {
            ASSERT_EQ(m_sim.Command("set " + id + " " + c.simSetting), "ok 1");
        }
        ASSERT_TRUE(PumpUntil([&c] { return Listed(c.id) != nullptr; }, 8000));
        const DeviceRecord record = *Listed(c.id);
        Single().LoadDevice(&record);
        EXPECT_EQ(apptest::ItemText(hDlg, IDC_DEV_CHECK_STATUS), L"") << "nothing sent to it yet";
        ::SetDlgItemTextW(hDlg, IDC_DEV_LAN_IP, c.lanIp);
        ::SetDlgItemTextW(hDlg, IDC_DEV_LAN_GATEWAY, L"198.18.1.254");
        ::SetDlgItemTextW(hDlg, IDC_DEV_NAME, c.name);
        {
            CMessageBoxCatcher boxes(hDlg, L"提示");
            Command(hDlg, IDC_DEV_APPLY);
            // The new address is asked on the network first; the setting goes out after.
            EXPECT_TRUE(PumpUntil([&] { return boxes.Count() > 0; }, 5000));
            EXPECT_EQ(boxes.Texts(),
                      std::vector<std::wstring>{L"设置已发送。摄像头是否已采用，请看状态行。"});
        }
        std::set<std::wstring> seen = {apptest::ItemText(hDlg, IDC_DEV_CHECK_STATUS)};
        const bool bDone = PumpUntil(
            [&] {
                seen.insert(apptest::ItemText(hDlg, IDC_DEV_CHECK_STATUS));
                return !Single().GetChangeCheck().IsActive();
            },
            WINDOW_MS + 5000);
        EXPECT_TRUE(bDone);
        EXPECT_TRUE(seen.count(L"状态: 已发送"));
        EXPECT_EQ(apptest::ItemText(hDlg, IDC_DEV_CHECK_STATUS), c.chinese);
        CMyDialog::SetGlobalLanguage(1);
        EXPECT_EQ(apptest::ItemText(hDlg, IDC_DEV_CHECK_STATUS), c.english);
        EXPECT_EQ(apptest::ItemText(hDlg, IDC_DEV_LAN_IP), c.lanIp) << "the edits keep their contents";
        CMyDialog::SetGlobalLanguage(0);
        EXPECT_EQ(apptest::ItemText(hDlg, IDC_DEV_CHECK_STATUS), c.chinese);
    }

    // The status line is its camera's: another camera loaded shows none, the first one its own.
    ASSERT_TRUE(PumpUntil([] { return Listed(L"a60000000005") && Listed(L"a1b2c3d4e5f6"); }, 8000));
    const DeviceRecord other = *Listed(L"a60000000005");
    Single().LoadDevice(&other);
    EXPECT_EQ(apptest::ItemText(hDlg, IDC_DEV_CHECK_STATUS), L"");
    const DeviceRecord first = *Listed(L"a1b2c3d4e5f6");
    EXPECT_EQ(ReadTextField(first.message.lanIp), "198.18.1.230") << "the main list shows the new address";
    Single().LoadDevice(&first);
    EXPECT_EQ(apptest::ItemText(hDlg, IDC_DEV_CHECK_STATUS), L"状态: 已确认");
}

// After a camera changed (here behind the tool's back, as after a pass or another tool), the
// selection, "编辑 ..." and an open single-camera dialog show what the camera now answers; once it
// stops answering, "编辑 ..." says so instead of loading an old copy.
TEST_F(ChangeCheckFlow, TheSelectionAndAnOpenDialogFollowWhatTheCameraNowAnswers)
{
    const HWND hMain = s_pMain->GetSafeHwnd();
    const int row = apptest::FindRow(MainList(), 3, L"c30000000002");
    ASSERT_GE(row, 0);
    s_pMain->GetDeviceList()->MoveCurrentRow(row);
    ::SendMessageW(hMain, WM_COMMAND, MAKEWPARAM(LIST_CMD_CLICK, 0),
                   reinterpret_cast<LPARAM>(s_pMain->GetDeviceList()));
    ASSERT_EQ(ReadTextField(s_pMain->GetSelDevice().message.idSerial), "c30000000002");
    ::SendMessageW(hMain, WM_COMMAND, MAKEWPARAM(IDC_MAIN_SINGLE, BN_CLICKED), 0);
    const HWND hSingle = Single().GetSafeHwnd();
    ASSERT_EQ(apptest::ItemText(hSingle, IDC_DEV_LAN_IP), L"198.18.1.133");

    ASSERT_EQ(m_sim.Command("set c30000000002 lanip=198.18.1.241 langw=198.18.1.254 name=Hall2"), "ok 1");
    ::SendMessageW(hMain, WM_COMMAND, MAKEWPARAM(IDC_MAIN_REFRESH, 0), 0);
    ASSERT_TRUE(PumpUntil(
        [] {
            const DeviceRecord* r = Listed(L"c30000000002");
            return r && ReadTextField(r->message.lanIp) == "198.18.1.241";
        },
        8000));
    EXPECT_EQ(apptest::RowCount(MainList()), 12) << "asking again keeps every row";
    EXPECT_EQ(ReadTextField(s_pMain->GetSelDevice().message.lanIp), "198.18.1.241");
    // The open dialog was untouched: it shows the camera as it answers now.
    EXPECT_EQ(apptest::ItemText(hSingle, IDC_DEV_LAN_IP), L"198.18.1.241");
    EXPECT_EQ(apptest::ItemText(hSingle, IDC_DEV_NAME), L"Hall2");
    EXPECT_EQ(ReadTextField(Single().GetDevice().message.lanGateway), "198.18.1.254");

    // Typed-in values stay; the copy behind them still follows the camera.
    ::SetDlgItemTextW(hSingle, IDC_DEV_NAME, L"Typed");
    ASSERT_EQ(m_sim.Command("set c30000000002 landns=198.18.1.53"), "ok 1");
    ::SendMessageW(hMain, WM_COMMAND, MAKEWPARAM(IDC_MAIN_REFRESH, 0), 0);
    ASSERT_TRUE(
        PumpUntil([] { return ReadTextField(Single().GetDevice().message.lanDns) == "198.18.1.53"; }, 8000));
    EXPECT_EQ(apptest::ItemText(hSingle, IDC_DEV_NAME), L"Typed");
    Single().ShowWindow(SW_HIDE);

    // "编辑 ..." loads the camera as it now answers.
    Single().LoadDevice(Listed(L"a1b2c3d4e5f6"));
    ::SendMessageW(hMain, WM_COMMAND, MAKEWPARAM(IDC_MAIN_SINGLE, BN_CLICKED), 0);
    EXPECT_EQ(apptest::ItemText(hSingle, IDC_DEV_LAN_IP), L"198.18.1.241");
    Single().ShowWindow(SW_HIDE);

    // It stops answering: after a rescan "编辑 ..." says so and loads nothing.
    ASSERT_EQ(m_sim.Command("remove c30000000002"), "ok 11");
    Rescan();
    ASSERT_TRUE(PumpUntil([] { return apptest::RowCount(MainList()) == 11; }, 8000));
    PumpFor(300);
    Single().LoadDevice(Listed(L"a1b2c3d4e5f6"));
    {
        CMessageBoxCatcher boxes(hMain, L"提示");
        ::SendMessageW(hMain, WM_COMMAND, MAKEWPARAM(IDC_MAIN_SINGLE, BN_CLICKED), 0);
        EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>{L"所选设备自上次搜索以来没有应答：c30000000002"});
    }
    EXPECT_EQ(ReadTextField(Single().GetDevice().message.idSerial), "a1b2c3d4e5f6");
    EXPECT_FALSE(Single().IsWindowVisible());
}

// Two cameras answering with one idSerial: two rows (the MAC addresses tell them apart), both
// marked, and "编辑 ..." warns before it opens either, since a change would reach both.
TEST_F(ChangeCheckFlow, TwoCamerasSharingASerialAreTwoMarkedRowsAndModifyWarnsFirst)
{
    ASSERT_EQ(m_sim.Command("twin b20000000001 lanmac=00:1A:2B:3C:4D:99 lanip=198.18.1.199 name=Twin"),
              "ok 13");
    Rescan();
    ASSERT_TRUE(PumpUntil([] { return apptest::RowCount(MainList()) == 13; }, 8000));
    PumpFor(300);
    std::vector<int> rows;
    for (int nRow = 0; nRow < apptest::RowCount(MainList()); ++nRow)
        if (CellText(MainList(), nRow, 3) == L"b20000000001")
            rows.push_back(nRow);
    ASSERT_EQ(rows.size(), 2u);
    std::set<std::wstring> names, addresses;
    for (int nRow : rows) {
        const DeviceRecord* record = s_pMain->GetCameraRows().RecordAt(nRow);
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(record->flags & DEVICE_SHARED_SERIAL, DEVICE_SHARED_SERIAL);
        EXPECT_NE(s_pMain->GetCameraRows().GetRowTip(nRow).find(L"两台设备使用同一序列号"),
                  std::wstring::npos);
        COLORREF color = 0;
        EXPECT_TRUE(s_pMain->GetCameraRows().GetRowTextColor(nRow, color));
        names.insert(CellText(MainList(), nRow, 2));
        addresses.insert(CellText(MainList(), nRow, 0));
    }
    EXPECT_EQ(names, (std::set<std::wstring>{L"Lobby", L"Twin"})) << "each row keeps its own camera's fields";
    EXPECT_EQ(addresses, (std::set<std::wstring>{L"198.18.1.132", L"198.18.1.199"}));

    const HWND hMain = s_pMain->GetSafeHwnd();
    s_pMain->GetDeviceList()->MoveCurrentRow(rows[1]);
    ::SendMessageW(hMain, WM_COMMAND, MAKEWPARAM(LIST_CMD_CLICK, 0),
                   reinterpret_cast<LPARAM>(s_pMain->GetDeviceList()));
    const std::wstring chosen = CellText(MainList(), rows[1], 2);
    const DeviceRecord* other = Listed(L"a1b2c3d4e5f6");
    ASSERT_NE(other, nullptr);
    Single().LoadDevice(other);
    {
        // Cancel: nothing is loaded.
        CMessageBoxCatcher boxes(hMain, L"提示", IDCANCEL);
        ::SendMessageW(hMain, WM_COMMAND, MAKEWPARAM(IDC_MAIN_SINGLE, BN_CLICKED), 0);
        ASSERT_EQ(boxes.Count(), 1u);
        EXPECT_NE(boxes.Texts()[0].find(L"两台设备使用同一序列号"), std::wstring::npos);
    }
    EXPECT_EQ(ReadTextField(Single().GetDevice().message.idSerial), "a1b2c3d4e5f6");
    EXPECT_FALSE(Single().IsWindowVisible());
    {
        // Seen and accepted: the dialog opens on the chosen one of the two.
        CMessageBoxCatcher boxes(hMain, L"提示", IDOK);
        ::SendMessageW(hMain, WM_COMMAND, MAKEWPARAM(IDC_MAIN_SINGLE, BN_CLICKED), 0);
        EXPECT_EQ(boxes.Count(), 1u);
    }
    EXPECT_EQ(ReadTextField(Single().GetDevice().message.idSerial), "b20000000001");
    EXPECT_EQ(apptest::ItemText(Single().GetSafeHwnd(), IDC_DEV_NAME), chosen);
    Single().ShowWindow(SW_HIDE);
}

// A real site's group pass: every camera of 100, then of 250, takes the new address and name, and
// every row ends Confirmed, the first ones sent too; the main list never shows fewer cameras while
// the check asks again. The pause between cameras and the check's delays are all a tenth of the
// real ones, so the pass is as long, counted in check periods, as a real one.
TEST_F(ChangeCheckFlow, AGroupPassOnALargeSiteEndsWithEveryCameraConfirmed)
{
    const HWND hGroup = Group().GetSafeHwnd();
    Group().SetSendPause(CGroupSetDlg::SEND_PAUSE_MS / 10);
    Group().GetChangeCheck().SetTimes(CChangeCheck::SETTLE_MS / 10, CChangeCheck::RESCAN_PERIOD_MS / 10,
                                      CChangeCheck::CHECK_WINDOW_MS / 10);
    ASSERT_EQ(m_sim.Command("burst on"), "ok");
    for (const int cameras : {100, 250}) {
        SCOPED_TRACE(cameras);
        ASSERT_EQ(m_sim.Command("fleet " + std::to_string(cameras)), "ok " + std::to_string(cameras));
        Rescan();
        ASSERT_TRUE(PumpUntil([cameras] { return apptest::RowCount(MainList()) == cameras; }, 10000));
        PumpFor(300);
        ::SendMessageW(s_pMain->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_MAIN_GROUP, BN_CLICKED), 0);
        Pump();
        ASSERT_EQ(apptest::RowCount(GroupList()), cameras);
        ::CheckDlgButton(hGroup, IDC_GRP_ONLY_CHECKED, BST_UNCHECKED);
        ::CheckDlgButton(hGroup, IDC_GRP_KEEP_IP, BST_UNCHECKED);
        ::CheckDlgButton(hGroup, IDC_GRP_KEEP_NAME, BST_UNCHECKED);
        ::SetDlgItemTextW(hGroup, IDC_GRP_START_IP, L"198.18.17.2");
        ::SetDlgItemTextW(hGroup, IDC_GRP_GATEWAY, L"198.18.17.1");
        ::SetDlgItemTextW(hGroup, IDC_GRP_NAME, L"P");
        ::SetDlgItemTextW(hGroup, IDC_GRP_STEP, L"1");
        Command(hGroup, IDC_GRP_APPLY);
        ASSERT_EQ(CellText(GroupList(), cameras - 1, 1), L"198.18.17." + std::to_wstring(1 + cameras));

        int fewestListed = cameras;
        const int passes = Group().GetFinishedPasses();
        {
            CMessageBoxCatcher boxes(hGroup, L"提示");
            Command(hGroup, IDC_GRP_SEND);
            ASSERT_TRUE(PumpUntil(
                [&] {
                    fewestListed = std::min(fewestListed, apptest::RowCount(MainList()));
                    return Group().GetFinishedPasses() > passes;
                },
                60000));
        }
        ASSERT_TRUE(PumpUntil(
            [&] {
                fewestListed = std::min(fewestListed, apptest::RowCount(MainList()));
                return !Group().GetChangeCheck().IsActive();
            },
            30000));
        int confirmed = 0;
        for (int nRow = 0; nRow < cameras; ++nRow)
            confirmed += CellText(GroupList(), nRow, CGroupSetDlg::STATUS_COLUMN) == L"已确认";
        EXPECT_EQ(confirmed, cameras);
        EXPECT_EQ(fewestListed, cameras) << "the list never emptied during the check";
        Group().GetChangeCheck().Cancel();
    }
    Group().SetSendPause(CGroupSetDlg::SEND_PAUSE_MS);
    ASSERT_EQ(m_sim.Command("burst off"), "ok");
}

// A group pass from a plan, then "Export Results...": every row with its old values, what was
// sent, the final status and its time; the change log holds a Sent line and a final line for
// each camera sent to.
TEST_F(ChangeCheckFlow, ResultsExportAndChangeLogHoldEveryChangeOfAPlannedPass)
{
    ASSERT_EQ(m_sim.Command("set b20000000001 onset=ignore"), "ok 1");
    const std::wstring started = NowText();
    const HWND hGroup = Group().GetSafeHwnd();
    ::SendMessageW(s_pMain->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_MAIN_GROUP, BN_CLICKED), 0);
    Pump();
    ASSERT_EQ(apptest::RowCount(GroupList()), 12);
    ::CheckDlgButton(hGroup, IDC_GRP_KEEP_IP, BST_UNCHECKED);
    ::CheckDlgButton(hGroup, IDC_GRP_KEEP_NAME, BST_UNCHECKED);
    const DeviceRecord a1 = *Listed(L"a1b2c3d4e5f6"), b2 = *Listed(L"b20000000001"),
                       a6 = *Listed(L"a60000000005");

    wchar_t dir[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, dir);
    const std::wstring plan = std::wstring(dir) + L"lv-flow-plan.csv",
                       results = std::wstring(dir) + L"lv-flow-results.csv";
    {
        std::ofstream out(plan.c_str(), std::ios::binary | std::ios::trunc);
        out << "Serial;MAC;New IP;Gateway;Name\r\na1b2c3d4e5f6;;198.18.1.221;198.18.1.254;东门\r\n"
               ";00:1A:2B:3C:4D:51;198.18.1.222;198.18.1.254;Hall\r\n";
    }
    Group().SetFileChooser([&](bool bSave) { return bSave ? results : plan; });
    Command(hGroup, IDC_GRP_IMPORT_PLAN);
    ASSERT_EQ(CellText(GroupList(), GroupRowOf(L"b20000000001"), 1), L"198.18.1.222");
    const int passes = Group().GetFinishedPasses();
    {
        CMessageBoxCatcher boxes(hGroup, L"提示");
        Command(hGroup, IDC_GRP_SEND);
        ASSERT_TRUE(PumpUntil([&] { return Group().GetFinishedPasses() > passes; }, 20000));
        EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>{L"完成 2 个设备信息设置！"});
    }
    ASSERT_TRUE(PumpUntil([] { return !Group().GetChangeCheck().IsActive(); }, WINDOW_MS + 5000));
    const std::wstring ended = NowText();

    Command(hGroup, IDC_GRP_EXPORT_RESULTS);
    const auto rows = CsvLines(results);
    ASSERT_EQ(rows.size(), 13u);
    EXPECT_EQ(rows[0], (std::vector<std::wstring>{L"序列号", L"MAC地址", L"原IP地址", L"原网关", L"原名称",
                                                  L"发送的IP地址", L"发送的网关", L"发送的名称", L"状态",
                                                  L"状态时间"}));
    auto rowOf = [&rows](const std::wstring& id) {
        for (const auto& row : rows)
            if (row[0] == id)
                return row;
        ADD_FAILURE() << "no row";
        return std::vector<std::wstring>(10);
    };
    const struct {
        const DeviceRecord& old;
        const wchar_t* sentIp;
        const wchar_t* sentName;
        const wchar_t* status;
    } sent[] = {{a1, L"198.18.1.221", L"东门", L"已确认"}, {b2, L"198.18.1.222", L"Hall", ALL_DIFFER_ZH}};
    for (const auto& c : sent) {
        const std::wstring id = WideFieldText(c.old.message.idSerial);
        SCOPED_TRACE(std::string(id.begin(), id.end()));
        const std::vector<std::wstring> row = rowOf(id);
        ASSERT_EQ(row.size(), 10u);
        EXPECT_EQ(std::vector<std::wstring>(row.begin() + 1, row.begin() + 9),
                  (std::vector<std::wstring>{
                      apptest::Widen(FormatMac(c.old.message.lanMac)), WideFieldText(c.old.message.lanIp),
                      WideFieldText(c.old.message.lanGateway), WideFieldText(c.old.message.name), c.sentIp,
                      L"198.18.1.254", c.sentName, c.status}));
        EXPECT_TRUE(row[9] >= started && row[9] <= ended) << std::string(row[9].begin(), row[9].end());
    }
    // A camera nobody sent to: its own values, nothing sent, no status.
    EXPECT_EQ(
        rowOf(L"a60000000005"),
        (std::vector<std::wstring>{L"a60000000005", apptest::Widen(FormatMac(a6.message.lanMac)),
                                   WideFieldText(a6.message.lanIp), WideFieldText(a6.message.lanGateway),
                                   WideFieldText(a6.message.name), L"", L"", L"", L"", L""}));

    // The change log: the heading, two Sent lines, then each camera's final line.
    const auto log = CsvLines(m_logPath);
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log[0], (std::vector<std::wstring>{L"Time", L"Computer", L"Serial", L"MAC", L"Before", L"Sent",
                                                 L"Status"}));
    std::map<std::wstring, std::vector<std::wstring>> statuses;
    for (std::size_t i = 1; i < log.size(); ++i) {
        ASSERT_EQ(log[i].size(), 7u);
        EXPECT_EQ(log[i][1], CChangeLog::ComputerName());
        statuses[log[i][2]].push_back(log[i][6]);
        if (log[i][2] == L"a1b2c3d4e5f6") {
            EXPECT_EQ(log[i][4], L"IP=" + WideFieldText(a1.message.lanIp) + L"; Gateway=" +
                                     WideFieldText(a1.message.lanGateway) + L"; Name=" +
                                     WideFieldText(a1.message.name));
            EXPECT_EQ(log[i][5], L"IP=198.18.1.221; Gateway=198.18.1.254; Name=东门");
        }
    }
    EXPECT_EQ(log[1][6], L"已发送");
    EXPECT_EQ(log[2][6], L"已发送");
    EXPECT_EQ(statuses[L"a1b2c3d4e5f6"], (std::vector<std::wstring>{L"已发送", L"已确认"}));
    EXPECT_EQ(statuses[L"b20000000001"], (std::vector<std::wstring>{L"已发送", ALL_DIFFER_ZH}));
    ::DeleteFileW(plan.c_str());
    ::DeleteFileW(results.c_str());
}

// "Do Setting" writes its Sent line at once and its final line when the check ends.
TEST_F(ChangeCheckFlow, SingleSendIsLoggedWithItsFinalStatus)
{
    ASSERT_TRUE(PumpUntil([] { return Listed(L"c30000000002") != nullptr; }, 8000));
    const DeviceRecord record = *Listed(L"c30000000002");
    const HWND hDlg = Single().GetSafeHwnd();
    Single().LoadDevice(&record);
    ::SetDlgItemTextW(hDlg, IDC_DEV_LAN_IP, L"198.18.1.231");
    {
        CMessageBoxCatcher boxes(hDlg, L"提示");
        Command(hDlg, IDC_DEV_APPLY);
        // The new address is asked on the network first; the setting goes out after.
        EXPECT_TRUE(PumpUntil([&] { return boxes.Count() > 0; }, 5000));
    }
    auto log = CsvLines(m_logPath);
    ASSERT_EQ(log.size(), 2u) << "the Sent line is there before the check ends";
    ASSERT_EQ(log[1].size(), 7u);
    EXPECT_EQ(log[1][2], L"c30000000002");
    EXPECT_EQ(log[1][3], apptest::Widen(FormatMac(record.message.lanMac)));
    EXPECT_EQ(log[1][4].rfind(L"IP=" + WideFieldText(record.message.lanIp) + L";", 0), 0u) << "before";
    EXPECT_EQ(log[1][5].rfind(L"IP=198.18.1.231;", 0), 0u) << "sent";
    EXPECT_EQ(log[1][6], L"已发送");
    ASSERT_TRUE(PumpUntil([] { return !Single().GetChangeCheck().IsActive(); }, WINDOW_MS + 5000));
    log = CsvLines(m_logPath);
    ASSERT_EQ(log.size(), 3u);
    ASSERT_EQ(log[2].size(), 7u);
    EXPECT_EQ(std::vector<std::wstring>(log[2].begin() + 1, log[2].begin() + 6),
              std::vector<std::wstring>(log[1].begin() + 1, log[1].begin() + 6))
        << "the same change";
    EXPECT_EQ(log[2][6], L"已确认");
}

} // namespace
