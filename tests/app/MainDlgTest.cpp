// The main window in process, in the lab, against the simulated cameras: what start-up sends and
// shows, how replies become rows, rescans, the selection, the web page and on-top (the language
// switch is checked in LanguageTableTest.cpp).
#include "AppTestSupport.h"

#include "app/DeviceSetDlg.h"
#include "app/GroupSetDlg.h"
#include "app/MainDlg.h"
#include "app/resource.h"
#include "controls/MyListCtrl.h"
#include "base/TextConvert.h"
#include "protocol/WireMessage.h"
#include "tests/support/CamSimClient.h"
#include "tests/support/LabGuard.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace apptest;

namespace {

constexpr int kColumns = CMainDlg::COLUMN_COUNT;

struct DefaultCamera {
    const char* id;
    bool wifi;
    int k; // position in the default fleet
};

const DefaultCamera kFleet[] = {
    {"a1b2c3d4e5f6", false, 0}, {"b20000000001", false, 1}, {"c30000000002", false, 2},
    {"d40000000003", false, 3}, {"F12345678901", false, 4}, {"a60000000005", false, 5},
    {"f70000000006", false, 6}, {"b80000000007", true, 7},  {"c90000000008", true, 8},
    {"da0000000009", true, 9},  {"fb000000000a", true, 10}, {"ac000000000b", true, 11},
};

std::wstring Hex2(int v)
{
    wchar_t text[8];
    wsprintfW(text, L"%02X", v);
    return text;
}

class MainDlgTest : public testing::Test {
  protected:
    static void SetUpTestSuite()
    {
        RequireLabNetwork();
        RemoveLanguageFiles();
        CMyDialog::SetGlobalLanguage(0);
        ASSERT_TRUE(s_sim.Connect());
        // Start-up is observed with no camera answering, so the count stays at 0.
        ASSERT_TRUE(s_sim.Ok("reset"));
        ASSERT_EQ(s_sim.Command("fleet 0"), "ok 0");
        s_sim.ClearLog();
        s_dlg = new CMainDlg();
        ASSERT_TRUE(s_dlg->CreateModeless(nullptr));
        // What start-up did is kept here, before any test changes it (the tests run in any order).
        PumpUntil([] { return CCamSimClient::CountType(s_sim.Log(), MSG_GET) >= 2; }, 5000);
        PumpFor(300);
        s_start.log = s_sim.Log();
        s_start.count = Count();
        s_start.rows = RowCount(List());
        s_start.langSel = static_cast<int>(::SendDlgItemMessageW(Dlg(), IDC_MAIN_LANG, CB_GETCURSEL, 0, 0));
        s_start.langText = ItemText(Dlg(), IDC_MAIN_LANG);
        s_start.addresses = ItemText(Dlg(), IDC_MAIN_ADDRESSES);
    }

    static void TearDownTestSuite()
    {
        if (s_dlg) {
            s_dlg->DestroyWindow();
            delete s_dlg;
            s_dlg = nullptr;
        }
        RemoveLanguageFiles();
        CMyDialog::SetGlobalLanguage(0);
        RemoveLanguageFiles();
    }

    void SetUp() override { ASSERT_NE(s_dlg, nullptr); }

    static HWND Dlg() { return s_dlg->GetSafeHwnd(); }
    static HWND List() { return ::GetDlgItem(Dlg(), IDC_MAIN_LIST); }
    static std::wstring Count() { return ItemText(Dlg(), IDC_MAIN_COUNT); }

    // Resets the simulator to the default fleet and rescans until all twelve are listed.
    static void ListDefaultFleet()
    {
        ASSERT_EQ(s_sim.Command("reset"), "ok 12");
        Rescan();
        ASSERT_TRUE(PumpUntil([] { return RowCount(List()) == 12; }, 8000)) << "rows: " << RowCount(List());
    }

    static void Rescan()
    {
        s_sim.ClearLog();
        s_dlg->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_MAIN_RESCAN, BN_CLICKED),
                           reinterpret_cast<LPARAM>(::GetDlgItem(Dlg(), IDC_MAIN_RESCAN)));
        // The rescan pass clears the list before it sends.
        PumpUntil([] { return s_sim.CountType(s_sim.Log(), MSG_GET) >= 2; }, 3000);
    }

    static WireMessage Block(const std::string& id)
    {
        WireMessage block{};
        auto bytes = s_sim.Image(id);
        if (bytes.size() == MESSAGE_SIZE)
            std::memcpy(&block, bytes.data(), MESSAGE_SIZE);
        return block;
    }

    static CCamSimClient s_sim;
    static CMainDlg* s_dlg;
    static struct StartUp {
        std::vector<CamSimLogEntry> log;
        std::wstring count;
        int rows = -1;
        int langSel = -1;
        std::wstring langText;
        std::wstring addresses;
    } s_start;
};

CCamSimClient MainDlgTest::s_sim;
CMainDlg* MainDlgTest::s_dlg = nullptr;
MainDlgTest::StartUp MainDlgTest::s_start;

TEST_F(MainDlgTest, StartUpSendsOneRequestPerInterfaceAndFillsTheAddresses)
{
    const auto& log = s_start.log;
    WireMessage expected;
    BuildGetRequest(expected);
    std::set<std::string> senders;
    for (const auto& entry : log) {
        if (entry.type != MSG_GET)
            continue;
        EXPECT_EQ(entry.senderPort, 50504);
        ASSERT_EQ(entry.bytes.size(), MESSAGE_SIZE);
        EXPECT_EQ(std::memcmp(entry.bytes.data(), &expected, MESSAGE_SIZE), 0) << "request bytes differ";
        EXPECT_TRUE(senders.insert(entry.senderIp).second) << "two requests from " << entry.senderIp;
    }
    // lab0 and lab1; lab2's address ends in .1 and sends nothing.
    EXPECT_EQ(senders, (std::set<std::string>{"198.18.1.10", "198.18.2.10"}));
    EXPECT_EQ(s_start.count, L"0");
    EXPECT_EQ(s_start.rows, 0);
    // The language list shows the language in use from the start.
    EXPECT_EQ(s_start.langSel, 0);
    EXPECT_EQ(s_start.langText, L"简体中文");

    const std::wstring& addresses = s_start.addresses;
    EXPECT_NE(addresses.find(L"198.18.1.10"), std::wstring::npos) << addresses;
    EXPECT_NE(addresses.find(L"198.18.2.10"), std::wstring::npos) << addresses;
    EXPECT_EQ(addresses.find(L"198.18.3.1"), std::wstring::npos)
        << "an address ending in .1 is listed: " << addresses;
    EXPECT_NE(addresses.back(), L';');
    EXPECT_NE(addresses.back(), L' ');
}

TEST_F(MainDlgTest, ModifyByGroupWithAnEmptyListShowsTheGroupDialogWithNoRows)
{
    ASSERT_EQ(s_sim.Command("fleet 0"), "ok 0");
    Rescan();
    PumpFor(300);
    ASSERT_EQ(RowCount(List()), 0);
    s_dlg->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_MAIN_GROUP, BN_CLICKED), 0);
    PumpFor(100);
    CGroupSetDlg* group = s_dlg->GetGroupSetDlg();
    EXPECT_TRUE(group->IsWindowVisible());
    EXPECT_EQ(RowCount(::GetDlgItem(group->GetSafeHwnd(), IDC_GRP_LIST)), 0);
    group->ShowWindow(SW_HIDE);
}

TEST_F(MainDlgTest, ListsTheFleetWithTheSevenColumns)
{
    ListDefaultFleet();
    EXPECT_EQ(Count(), L"12");
    for (const DefaultCamera& cam : kFleet) {
        SCOPED_TRACE(cam.id);
        const int row = FindRow(List(), 3, Widen(cam.id));
        ASSERT_GE(row, 0);
        const auto texts = RowTexts(List(), row, kColumns);
        const WireMessage block = Block(cam.id);
        const int last = 131 + cam.k;
        EXPECT_EQ(texts[0], (cam.wifi ? L"198.18.2." : L"198.18.1.") + std::to_wstring(last));
        EXPECT_EQ(texts[1], Widen(ReadTextField(block.lanGateway)));
        EXPECT_EQ(texts[2], Widen(ReadTextField(block.name))) << "UTF-8 name shown through the code page";
        EXPECT_EQ(texts[4], cam.wifi ? L"WIFI" : L"LAN");
        EXPECT_EQ(texts[5], (cam.wifi ? L"00:1A:2B:3C:5E:" : L"00:1A:2B:3C:4D:") + Hex2(0x50 + cam.k));
        EXPECT_EQ(texts[6], Widen(ReadTextField(block.version)));
    }
    // Rows keep the order of first replies: the simulator answers in fleet order on each link (the
    // two links' replies interleave as they come).
    std::vector<int> wired, wireless;
    for (int row = 0; row < RowCount(List()); ++row) {
        const std::wstring id = RowTexts(List(), row, 4)[3];
        for (const DefaultCamera& cam : kFleet)
            if (Widen(cam.id) == id)
                (cam.wifi ? wireless : wired).push_back(cam.k);
    }
    EXPECT_EQ(wired, (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(wireless, (std::vector<int>{7, 8, 9, 10, 11}));
}

TEST_F(MainDlgTest, RowsKeepTheOrderInWhichTheCamerasAnswered)
{
    ASSERT_TRUE(s_sim.Ok("reset"));
    // Each camera answers 60 ms after the one before it in this order, across both links.
    const char* order[] = {"ac000000000b", "a1b2c3d4e5f6", "fb000000000a", "b20000000001",
                           "da0000000009", "c30000000002", "c90000000008", "d40000000003",
                           "b80000000007", "F12345678901", "f70000000006", "a60000000005"};
    for (int i = 0; i < 12; ++i)
        ASSERT_TRUE(s_sim.Ok(std::string("set ") + order[i] + " delay=" + std::to_string(60 * i)));
    Rescan();
    ASSERT_TRUE(PumpUntil([] { return RowCount(List()) == 12; }, 8000)) << "rows: " << RowCount(List());
    std::vector<std::wstring> rows, expected;
    for (int row = 0; row < 12; ++row)
        rows.push_back(RowTexts(List(), row, 4)[3]);
    for (const char* id : order)
        expected.push_back(Widen(id));
    EXPECT_EQ(rows, expected);
    // The acknowledgements, sent as the replies were accepted, came in the same order.
    std::vector<std::wstring> acked;
    for (const auto& entry : s_sim.Log())
        if (entry.type == MSG_ACK && entry.link == "lab0c")
            acked.push_back(Widen(entry.idSerial));
    EXPECT_EQ(acked, expected);
    ASSERT_TRUE(s_sim.Ok("reset"));
}

// The camera table keeps one record per camera: a later reply rewrites everything the row shows
// except where the camera was first reached (the address column and the network).
TEST_F(MainDlgTest, ALaterReplyRewritesTheRowButTheFirstKeepsWhereTheCameraWasReached)
{
    ASSERT_TRUE(s_sim.Ok("reset"));
    ASSERT_TRUE(s_sim.Ok("set F12345678901 name=First version=V1.0 from=lan"));
    // The same camera (its id in another letter case: the simulator takes that for a second
    // camera only when it is added under a new id) answers again, 300 ms later, over WiFi from the
    // access-point address, with other values everywhere but its MAC addresses (they are what
    // tells one camera from another that was given the same idSerial).
    ASSERT_TRUE(s_sim.Ok(
        "camera id=e12345678901 name=Second version=V2.0 lanip=198.18.1.150 langw=198.18.1.254 "
        "lanmac=00:1A:2B:3C:4D:54 wifimac=00:1A:2B:3C:5E:54 net=wifi from=192.168.100.100 delay=300"));
    ASSERT_TRUE(s_sim.Ok("set e12345678901 id=f12345678901"));
    Rescan();
    ASSERT_TRUE(PumpUntil([] { return RowCount(List()) >= 12; }, 8000));
    // Until the second reply the row is the first's.
    const int row = FindRow(List(), 3, L"F12345678901");
    ASSERT_GE(row, 0) << "the second reply came first";
    EXPECT_EQ(RowTexts(List(), row, kColumns)[2], L"First");
    ASSERT_TRUE(PumpUntil([&] { return RowTexts(List(), row, kColumns)[2] == L"Second"; }, 3000));
    PumpFor(300);
    EXPECT_EQ(RowCount(List()), 12);
    EXPECT_EQ(Count(), L"12");
    const auto texts = RowTexts(List(), row, kColumns);
    EXPECT_EQ(texts[0], L"198.18.1.135") << "the first reply's address";
    EXPECT_EQ(texts[1], L"198.18.1.254");
    EXPECT_EQ(texts[2], L"Second");
    EXPECT_EQ(texts[3], L"f12345678901");
    EXPECT_EQ(texts[4], L"LAN") << "the first reply's network";
    EXPECT_EQ(texts[5], L"00:1A:2B:3C:4D:54") << "the wired MAC (the first reply's network)";
    EXPECT_EQ(texts[6], L"V2.0");
    // The selection carries the same record.
    ClickCell(List(), row, 1);
    Pump();
    const DeviceRecord selected = s_dlg->GetSelDevice();
    EXPECT_EQ(ReadTextField(selected.sourceIp), "198.18.1.135");
    EXPECT_EQ(selected.netType, 0);
    EXPECT_EQ(ReadTextField(selected.message.name), "Second");
    EXPECT_EQ(ReadTextField(selected.message.lanIp), "198.18.1.150");
    ASSERT_TRUE(s_sim.Ok("reset"));
}

TEST_F(MainDlgTest, ARescanWhileRepliesArriveListsEachCameraOnce)
{
    ASSERT_TRUE(s_sim.Ok("reset"));
    ASSERT_TRUE(s_sim.Ok("pace 80"));
    Rescan();
    ASSERT_TRUE(PumpUntil([] { return RowCount(List()) >= 3; }, 5000));
    ASSERT_LT(RowCount(List()), 12) << "every camera answered before the second rescan";
    // The first rescan's remaining replies and all of the second's arrive after this clear.
    Rescan();
    ASSERT_TRUE(PumpUntil([] { return RowCount(List()) == 12; }, 8000)) << RowCount(List());
    // The last replies of both rounds (seven cameras 80 ms apart on the wired link).
    PumpFor(1500);
    EXPECT_EQ(RowCount(List()), 12);
    EXPECT_EQ(Count(), L"12");
    std::set<std::wstring> ids;
    for (int row = 0; row < RowCount(List()); ++row)
        ids.insert(RowTexts(List(), row, 4)[3]);
    EXPECT_EQ(ids.size(), 12u);
    ASSERT_TRUE(s_sim.Ok("reset"));
}

TEST_F(MainDlgTest, AcknowledgesEveryReplyWithTheReplyBytes)
{
    ListDefaultFleet();
    auto log = s_sim.WaitForLog([](auto& e) { return CCamSimClient::CountType(e, MSG_ACK) >= 24; }, 5000);
    std::set<std::string> acked;
    for (const auto& entry : log) {
        if (entry.type != MSG_ACK)
            continue;
        ASSERT_EQ(entry.bytes.size(), MESSAGE_SIZE);
        const auto block = s_sim.Image(entry.idSerial);
        ASSERT_EQ(block.size(), MESSAGE_SIZE) << entry.idSerial;
        EXPECT_EQ(entry.senderPort, 50504) << entry.idSerial;
        EXPECT_EQ(std::vector<unsigned char>(entry.bytes.begin(), entry.bytes.begin() + 4),
                  (std::vector<unsigned char>{129, 0, 0, 0}));
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&entry.bytes[48]), 3), std::string("3G\0", 3));
        // The name: the reply's UTF-8 name in the ANSI code page (936 in the lab), zero-filled.
        const std::string wire = ReadTextField(reinterpret_cast<const WireMessage*>(block.data())->name);
        const std::wstring wide = Widen(wire);
        char ansi[64] = {};
        ::WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), ansi, sizeof ansi - 1,
                              nullptr, nullptr);
        std::string expectedName(ansi);
        expectedName.resize(20, '\0');
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&entry.bytes[28]), 20), expectedName)
            << entry.idSerial << " name " << wire;
        // Everything else is the reply's.
        for (size_t i = 4; i < MESSAGE_SIZE; ++i) {
            if (i >= 28 && i < 51)
                continue;
            ASSERT_EQ(entry.bytes[i], block[i]) << entry.idSerial << " byte " << i;
        }
        acked.insert(entry.idSerial);
    }
    EXPECT_EQ(acked.size(), 12u);
}

TEST_F(MainDlgTest, ACameraAnsweringTwiceIsListedOnceAsItsFirstReply)
{
    ASSERT_TRUE(s_sim.Ok("reset"));
    // Wired first, then from its wifiIp on the other link.
    ASSERT_TRUE(s_sim.Ok("set a1b2c3d4e5f6 from=both"));
    Rescan();
    ASSERT_TRUE(PumpUntil([] { return RowCount(List()) == 12; }, 8000));
    PumpFor(300);
    EXPECT_EQ(RowCount(List()), 12);
    const int row = FindRow(List(), 3, L"a1b2c3d4e5f6");
    ASSERT_GE(row, 0);
    const auto texts = RowTexts(List(), row, kColumns);
    const bool firstWasWifi = texts[4] == L"WIFI";
    EXPECT_EQ(texts[0], firstWasWifi ? L"198.18.2.131" : L"198.18.1.131");
    EXPECT_EQ(texts[5], firstWasWifi ? L"00:1A:2B:3C:5E:50" : L"00:1A:2B:3C:4D:50");
    EXPECT_EQ(Count(), L"12");
}

struct SourceCase {
    const char* setting;
    const wchar_t* column0;
    const wchar_t* network;
};

class MainDlgSourceTest : public MainDlgTest, public testing::WithParamInterface<SourceCase> {};

TEST_P(MainDlgSourceTest, WhereACameraWasReachedDecidesItsAddressAndNetwork)
{
    const SourceCase& c = GetParam();
    ASSERT_TRUE(s_sim.Ok("reset"));
    ASSERT_TRUE(s_sim.Ok(std::string("set b20000000001 ") + c.setting));
    Rescan();
    ASSERT_TRUE(PumpUntil([] { return FindRow(List(), 3, L"b20000000001") >= 0; }, 8000));
    const auto texts = RowTexts(List(), FindRow(List(), 3, L"b20000000001"), kColumns);
    EXPECT_EQ(texts[0], c.column0);
    EXPECT_EQ(texts[4], c.network);
    EXPECT_EQ(texts[5], std::wstring(c.network) == L"WIFI" ? L"00:1A:2B:3C:5E:51" : L"00:1A:2B:3C:4D:51");
}

INSTANTIATE_TEST_SUITE_P(
    Senders, MainDlgSourceTest,
    testing::Values(SourceCase{"from=lan", L"198.18.1.132", L"LAN"},
                    // Sent from an address that is its wifiIp, out of the wired link.
                    SourceCase{"wifiip=198.18.1.200 from=198.18.1.200", L"198.18.1.200", L"WIFI"},
                    SourceCase{"from=192.168.100.100", L"192.168.100.100", L"WIFI"},
                    // Neither wifiIp, nor the access-point address, nor its lanIp: listed by lanIp.
                    SourceCase{"from=198.18.1.250", L"198.18.1.132", L"LAN"}));

TEST_F(MainDlgTest, IdsDifferingOnlyInCaseAreOneCamera)
{
    ASSERT_TRUE(s_sim.Ok("reset"));
    // The simulator finds cameras by id in any letter case too: the twin is added under another
    // id and then given its own.
    ASSERT_TRUE(s_sim.Ok("camera id=e12345678901 name=Twin lanip=198.18.1.150 lanmac=00:1A:2B:3C:4D:54 "
                         "wifimac=00:1A:2B:3C:5E:54"));
    ASSERT_TRUE(s_sim.Ok("set e12345678901 id=f12345678901"));
    ASSERT_EQ(s_sim.Command("count"), "ok 13");
    Rescan();
    ASSERT_TRUE(PumpUntil([] { return RowCount(List()) >= 12; }, 8000));
    PumpFor(500);
    EXPECT_EQ(RowCount(List()), 12);
    int matches = 0;
    for (int row = 0; row < RowCount(List()); ++row)
        matches += Lower(TextWideToAnsi(RowTexts(List(), row, 4)[3].c_str())) == "f12345678901";
    EXPECT_EQ(matches, 1);
    // Both answered, and both replies were accepted.
    std::set<std::string> acked;
    for (const auto& entry : s_sim.Log())
        if (entry.type == MSG_ACK)
            acked.insert(entry.idSerial);
    EXPECT_EQ(acked.count("F12345678901"), 1u);
    EXPECT_EQ(acked.count("f12345678901"), 1u);
}

TEST_F(MainDlgTest, BadRepliesAreDroppedWithoutAcknowledgement)
{
    ASSERT_TRUE(s_sim.Ok("reset"));
    // Each camera's id as its bad reply carries it.
    const struct {
        const char* bad;
        const char* id;
        const char* sentId;
    } cases[] = {
        {"type", "b20000000001", "b20000000001"},
        {"idlen", "c30000000002", "c3000000000"},
        {"idletter", "d40000000003", "e40000000003"},
        {"extra", "f70000000006", "f70000000006"},
    };
    for (const auto& c : cases)
        ASSERT_TRUE(s_sim.Ok(std::string("set ") + c.id + " bad=" + c.bad));
    // A short datagram is no bad reply (what it lacks counts as zeros), and the camera answering
    // right after it must not be lost by being joined to it.
    ASSERT_TRUE(s_sim.Ok("set F12345678901 bad=short"));
    Rescan();
    ASSERT_TRUE(PumpUntil([] { return RowCount(List()) >= 8; }, 8000)) << RowCount(List());
    PumpFor(500);
    EXPECT_EQ(RowCount(List()), 8);
    EXPECT_EQ(Count(), L"8");
    std::set<std::wstring> listed;
    for (int row = 0; row < RowCount(List()); ++row)
        listed.insert(RowTexts(List(), row, 4)[3]);
    for (const auto& c : cases) {
        EXPECT_EQ(listed.count(Widen(c.id)), 0u) << c.bad;
        EXPECT_EQ(listed.count(Widen(c.sentId)), 0u) << c.bad;
    }
    EXPECT_GE(FindRow(List(), 3, L"F12345678901"), 0);
    EXPECT_GE(FindRow(List(), 3, L"a60000000005"), 0) << "the reply after the short datagram was lost";
    size_t acks = 0;
    for (const auto& entry : s_sim.Log()) {
        if (entry.type != MSG_ACK)
            continue;
        ++acks;
        for (const auto& c : cases)
            EXPECT_NE(entry.idSerial, c.sentId) << "acknowledged the bad reply of " << c.bad;
    }
    EXPECT_GE(acks, 8u) << "the good replies were not acknowledged";
}

TEST_F(MainDlgTest, EnterRescansAndNeverCloses)
{
    ListDefaultFleet();
    ASSERT_TRUE(s_sim.Ok("remove c90000000008"));
    s_sim.ClearLog();
    // Enter in the camera list: the dialog manager turns it into the default command (IDOK).
    HWND hList = ::GetDlgItem(Dlg(), IDC_MAIN_LIST);
    ::SetForegroundWindow(Dlg());
    ::SetFocus(hList);
    ::PostMessageW(hList, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    ::PostMessageW(hList, WM_KEYUP, VK_RETURN, 0xC01C0001);
    ASSERT_TRUE(PumpUntil([] { return s_sim.CountType(s_sim.Log(), MSG_GET) >= 2; }, 5000));
    EXPECT_TRUE(::IsWindow(Dlg()));
    EXPECT_TRUE(::IsWindowVisible(Dlg()));
    // The rescan emptied the list; the camera that no longer answers stays away.
    ASSERT_TRUE(PumpUntil([] { return RowCount(List()) == 11; }, 8000)) << RowCount(List());
    PumpFor(300);
    EXPECT_LT(FindRow(List(), 3, L"c90000000008"), 0);
    EXPECT_EQ(Count(), L"11");
}

TEST_F(MainDlgTest, ClickAndDoubleClickTakeTheSelectionForTheSettingsDialog)
{
    ListDefaultFleet();
    const int row = FindRow(List(), 3, L"d40000000003");
    ASSERT_GE(row, 0);
    ClickCell(List(), row, 2, true);
    ASSERT_TRUE(PumpUntil([] { return s_dlg->GetDeviceSetDlg()->IsWindowVisible() != FALSE; }, 3000));
    EXPECT_EQ(ReadTextField(s_dlg->GetSelDevice().message.idSerial), "d40000000003");
    EXPECT_EQ(ReadTextField(s_dlg->GetDeviceSetDlg()->GetDevice().message.idSerial), "d40000000003");
    s_dlg->GetDeviceSetDlg()->ShowWindow(SW_HIDE);

    // A click then Modify By Single loads the other camera.
    const int other = FindRow(List(), 3, L"b80000000007");
    ClickCell(List(), other, 1);
    PumpFor(200);
    s_dlg->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_MAIN_SINGLE, BN_CLICKED), 0);
    PumpFor(200);
    EXPECT_EQ(ReadTextField(s_dlg->GetDeviceSetDlg()->GetDevice().message.idSerial), "b80000000007");
    s_dlg->GetDeviceSetDlg()->ShowWindow(SW_HIDE);
}

TEST_F(MainDlgTest, AClickHandledAfterARescanNeverSelectsAnotherCamera)
{
    ListDefaultFleet();
    ClickCell(List(), FindRow(List(), 3, L"c30000000002"), 1);
    Pump();
    ASSERT_EQ(ReadTextField(s_dlg->GetSelDevice().message.idSerial), "c30000000002");

    // The clicked camera stops answering, so after a rescan its row index belongs to another one.
    const int row = FindRow(List(), 3, L"d40000000003");
    ASSERT_GE(row, 0);
    ASSERT_TRUE(s_sim.Ok("remove d40000000003"));
    ClickCell(List(), row, 1); // the list posts its click command
    s_dlg->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_MAIN_RESCAN, BN_CLICKED), 0);
    // Only the workers' sent messages until the rows are back; the click is still queued.
    const DWORD start = ::GetTickCount();
    bool bCleared = false;
    while (::GetTickCount() - start < 8000 && !(bCleared && RowCount(List()) == 11)) {
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_SENDMESSAGE);
        bCleared = bCleared || RowCount(List()) == 0;
    }
    ASSERT_EQ(RowCount(List()), 11);
    Pump();
    const std::string selected = ReadTextField(s_dlg->GetSelDevice().message.idSerial);
    EXPECT_TRUE(selected.empty() || selected == "d40000000003") << "the click selected " << selected;
}

TEST_F(MainDlgTest, SetOnTopMakesTheWindowTopmost)
{
    HWND hCheck = ::GetDlgItem(Dlg(), IDC_MAIN_ONTOP);
    EXPECT_EQ(::GetWindowLongPtrW(Dlg(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    ::SendMessageW(hCheck, BM_CLICK, 0, 0);
    PumpUntil([] { return (::GetWindowLongPtrW(Dlg(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }, 2000);
    EXPECT_NE(::GetWindowLongPtrW(Dlg(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    ::SendMessageW(hCheck, BM_CLICK, 0, 0);
    PumpUntil([] { return (::GetWindowLongPtrW(Dlg(), GWL_EXSTYLE) & WS_EX_TOPMOST) == 0; }, 2000);
    EXPECT_EQ(::GetWindowLongPtrW(Dlg(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
}

TEST_F(MainDlgTest, AboutBoxOpensFromTheSystemMenuAndClosesWithOk)
{
    HMENU hMenu = ::GetSystemMenu(Dlg(), FALSE);
    ASSERT_NE(hMenu, nullptr);
    wchar_t entry[64] = {};
    ASSERT_GT(::GetMenuStringW(hMenu, IDM_ABOUTBOX, entry, 64, MF_BYCOMMAND), 0);
    EXPECT_STREQ(entry, L"关于 Larkvane(&A)...");

    std::wstring seenText;
    bool closed = false;
    std::thread watcher([&] {
        for (int i = 0; i < 200 && !closed; ++i) {
            HWND hAbout = ::FindWindowW(L"#32770", L"关于 Larkvane");
            if (hAbout && ::IsWindowVisible(hAbout)) {
                HWND hOk = ::GetDlgItem(hAbout, IDOK);
                seenText = TextOf(hOk);
                ::PostMessageW(hAbout, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                               reinterpret_cast<LPARAM>(hOk));
                closed = true;
            }
            ::Sleep(25);
        }
    });
    // Runs the about box's modal loop until the watcher presses its button.
    s_dlg->SendMessage(WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    watcher.join();
    EXPECT_TRUE(closed);
    EXPECT_EQ(seenText, L"确定");
    EXPECT_EQ(::FindWindowW(L"#32770", L"关于 Larkvane"), nullptr);
    EXPECT_TRUE(::IsWindow(Dlg()));
}

TEST_F(MainDlgTest, ABurstOfAThousandRepliesListsEveryCamera)
{
    // All at once, as cameras on one switch answer: none may be lost in the reply socket.
    ASSERT_TRUE(s_sim.Ok("fleet 1000"));
    ASSERT_TRUE(s_sim.Ok("burst on"));
    Rescan();
    const bool all = PumpUntil([] { return RowCount(List()) >= 1000; }, 60000);
    PumpFor(500);
    s_sim.Command("burst off");
    ASSERT_TRUE(all) << "rows: " << RowCount(List()) << " of 1000";
    EXPECT_EQ(RowCount(List()), 1000);
    EXPECT_EQ(Count(), L"1000");
    std::set<std::wstring> ids;
    for (int row = 0; row < RowCount(List()); ++row)
        ids.insert(RowTexts(List(), row, 4)[3]);
    EXPECT_EQ(ids.size(), 1000u);
    ASSERT_TRUE(s_sim.Ok("reset"));
}

// Puts a program into Wine's WineBrowser "Browsers" setting for a scope, then puts back what was
// there (or removes the value, and the key when this made it).
class CBrowserSetting {
  public:
    explicit CBrowserSetting(const std::wstring& program)
    {
        DWORD disposition = 0;
        if (::RegCreateKeyExW(HKEY_CURRENT_USER, KEY, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr,
                              &m_hKey, &disposition) != ERROR_SUCCESS) {
            m_hKey = nullptr;
            return;
        }
        m_bNewKey = disposition == REG_CREATED_NEW_KEY;
        DWORD size = 0;
        if (::RegQueryValueExW(m_hKey, VALUE, nullptr, &m_nType, nullptr, &size) == ERROR_SUCCESS) {
            m_old.resize(size);
            m_bHadValue =
                ::RegQueryValueExW(m_hKey, VALUE, nullptr, &m_nType, m_old.data(), &size) == ERROR_SUCCESS;
            m_old.resize(size);
        }
        m_bSet =
            ::RegSetValueExW(m_hKey, VALUE, 0, REG_SZ, reinterpret_cast<const BYTE*>(program.c_str()),
                             static_cast<DWORD>((program.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }
    ~CBrowserSetting()
    {
        if (!m_hKey)
            return;
        if (m_bHadValue)
            ::RegSetValueExW(m_hKey, VALUE, 0, m_nType, m_old.data(), static_cast<DWORD>(m_old.size()));
        else
            ::RegDeleteValueW(m_hKey, VALUE);
        ::RegCloseKey(m_hKey);
        if (m_bNewKey)
            ::RegDeleteKeyW(HKEY_CURRENT_USER, KEY);
    }
    CBrowserSetting(const CBrowserSetting&) = delete;
    CBrowserSetting& operator=(const CBrowserSetting&) = delete;
    bool IsSet() const { return m_bSet; }

  private:
    static constexpr const wchar_t* KEY = L"Software\\Wine\\WineBrowser";
    static constexpr const wchar_t* VALUE = L"Browsers";
    HKEY m_hKey = nullptr;
    bool m_bNewKey = false;
    bool m_bHadValue = false;
    bool m_bSet = false;
    DWORD m_nType = REG_SZ;
    std::vector<BYTE> m_old;
};

// Wine opens web addresses with the programs its WineBrowser key lists; the test's program
// records the address instead of opening a browser.
TEST_F(MainDlgTest, BrowseOnWebOpensTheClickedCamerasLanAddress)
{
    const std::wstring capture = Widen(LV_BROWSER_CAPTURE); // unix path of the program
    const std::wstring recordDos = DosPathOfUnixPath(LV_BROWSER_CAPTURE_LOG);
    ::DeleteFileW(recordDos.c_str());
    CBrowserSetting browsers(capture);
    ASSERT_TRUE(browsers.IsSet());

    ListDefaultFleet();
    // A WiFi camera: the page is at its lanIp, not at the address in column 0.
    const int row = FindRow(List(), 3, L"c90000000008");
    ASSERT_GE(row, 0);
    ClickCell(List(), row, 1);
    PumpFor(200);
    s_dlg->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_MAIN_BROWSE, BN_CLICKED), 0);
    std::string opened;
    PumpUntil(
        [&] {
            std::ifstream in(std::string(LV_BROWSER_CAPTURE_LOG));
            std::getline(in, opened);
            return !opened.empty();
        },
        15000);
    // Wine's browser launcher writes the address in its canonical form, with the root path.
    EXPECT_TRUE(opened == "http://198.18.1.139" || opened == "http://198.18.1.139/") << opened;

    // The copied selection outlives a rescan that no longer lists the camera.
    ASSERT_TRUE(s_sim.Ok("remove c90000000008"));
    Rescan();
    PumpUntil([] { return RowCount(List()) == 11; }, 8000);
    EXPECT_EQ(ReadTextField(s_dlg->GetSelDevice().message.idSerial), "c90000000008");
}

} // namespace
