// The main window with devices of other makers, in process in the lab: the simulated cameras
// answer this maker's discovery, and the test plays the WS-Discovery receiver, calling
// OnOnvifAnnouncements from a thread of its own. Rows and the count, a Bye and the selection,
// read-only rows ("编辑 ..." refused, the web page opened), the group dialog, conflicts and merges
// with the simulated cameras, the "ONVIF" menu switch and its setting, and a flood.
#include "AppTestSupport.h"
#include "ScriptedMainDlg.h"
#include "SettingsTestSupport.h"

#include "app/DeviceSetDlg.h"
#include "app/GroupSetDlg.h"
#include "app/MainDlg.h"
#include "app/resource.h"
#include "base/MyProfile.h"
#include "controls/MyListCtrl.h"
#include "protocol/OnvifDevice.h"
#include "tests/support/CamSimClient.h"
#include "tests/support/LabGuard.h"
#include "tests/support/WindowShot.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using namespace apptest;

namespace {

constexpr int kColumns = CMainDlg::COLUMN_COUNT;
constexpr int kFleet = 12;

OnvifAnnouncement News(OnvifNews kind, const std::string& endpoint, const std::string& address,
                       const std::string& mac = "", const std::string& name = "",
                       const std::string& hardware = "")
{
    OnvifAnnouncement news;
    news.kind = kind;
    news.device.endpoint = endpoint;
    news.device.address = address;
    news.device.xaddr = address.empty() ? "" : "http://" + address + "/onvif/device_service";
    news.device.mac = mac;
    news.device.name = name;
    news.device.hardware = hardware;
    return news;
}

OnvifAnnouncement Bye(const std::string& endpoint)
{
    return News(OnvifNews::Bye, endpoint, "");
}

std::wstring SettingsPath()
{
    return CMyProfile::ResolveFile(CMainDlg::SETTINGS_FILE, CMyProfile::ExecutablePath());
}

int KeptOnvifSetting()
{
    return static_cast<int>(::GetPrivateProfileIntW(CMainDlg::DISCOVERY_SECTION, CMainDlg::ONVIF_KEY, -1,
                                                    SettingsPath().c_str()));
}

class OnvifListTest : public testing::Test {
  protected:
    static void SetUpTestSuite()
    {
        RequireLabNetwork();
        RemoveLanguageFiles();
        ::DeleteFileW(SettingsPath().c_str());
        CMyDialog::SetGlobalLanguage(0);
        ASSERT_TRUE(s_sim.Connect());
        s_dlg = new CScriptedMainDlg();
        ASSERT_TRUE(s_dlg->CreateModeless(nullptr));
        s_dlg->ShowWindow(SW_SHOWNOACTIVATE);
        PumpFor(300);
    }

    static void TearDownTestSuite()
    {
        if (s_dlg) {
            s_dlg->DestroyWindow();
            delete s_dlg;
            s_dlg = nullptr;
        }
        ::DeleteFileW(SettingsPath().c_str());
        CMyDialog::SetGlobalLanguage(0);
    }

    // The default fleet listed afresh (a rescan also forgets the devices of other makers), in
    // Chinese, with the listing on.
    void SetUp() override
    {
        ASSERT_NE(s_dlg, nullptr);
        CMyDialog::SetGlobalLanguage(0);
        if (!s_dlg->IsOnvifOn())
            RightClick(-1, IDM_LIST_ONVIF);
        ASSERT_TRUE(s_dlg->IsOnvifOn());
        ASSERT_EQ(s_sim.Command("reset"), "ok 12");
        // The window's own receiver hears the simulator's devices too: here the test plays them.
        ASSERT_EQ(s_sim.Command("onvif none"), "ok 0");
        s_dlg->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_MAIN_RESCAN, BN_CLICKED), 0);
        ASSERT_TRUE(PumpUntil([] { return RowCount(List()) == kFleet; }, 8000))
            << "rows: " << RowCount(List());
        PumpFor(200);
    }

    static HWND Dlg() { return s_dlg->GetSafeHwnd(); }
    static HWND List() { return ::GetDlgItem(Dlg(), IDC_MAIN_LIST); }
    static const CCameraRows& Rows() { return s_dlg->GetCameraRows(); }

    // Hands the batch over as the receiver does, from another thread, and waits for the rows.
    static void Hear(std::vector<OnvifAnnouncement> batch, int nRowsThen)
    {
        std::thread receiver([&batch] { s_dlg->OnOnvifAnnouncements(std::move(batch)); });
        receiver.join();
        EXPECT_TRUE(PumpUntil([nRowsThen] { return RowCount(List()) == nRowsThen; }, 3000))
            << "rows: " << RowCount(List()) << ", expected " << nRowsThen;
    }

    static void RightClick(int nRow, int nChoice)
    {
        s_dlg->m_nMenuChoice = nChoice;
        NMITEMACTIVATE click{};
        click.hdr.hwndFrom = List();
        click.hdr.idFrom = IDC_MAIN_LIST;
        click.hdr.code = NM_RCLICK;
        click.iItem = nRow;
        ::SendMessageW(Dlg(), WM_NOTIFY, IDC_MAIN_LIST, reinterpret_cast<LPARAM>(&click));
        Pump();
    }

    static int RowWithAddress(const std::wstring& address) { return FindRow(List(), 0, address); }
    static std::vector<int> SelectedRows()
    {
        std::vector<int> rows;
        for (int i = ListView_GetNextItem(List(), -1, LVNI_SELECTED); i >= 0;
             i = ListView_GetNextItem(List(), i, LVNI_SELECTED))
            rows.push_back(i);
        return rows;
    }
    static WireMessage Block(const std::string& id)
    {
        WireMessage block{};
        const auto bytes = s_sim.Image(id);
        if (bytes.size() == MESSAGE_SIZE)
            std::memcpy(&block, bytes.data(), MESSAGE_SIZE);
        return block;
    }

    static inline CCamSimClient s_sim;
    static inline CScriptedMainDlg* s_dlg = nullptr;
};

TEST_F(OnvifListTest, EachDeviceIsARowWithItsColumnsAndTheCountTakesItIn)
{
    // 南门摄像机 in UTF-8, longer than the record's name field once with its number.
    const std::string name = "\xE5\x8D\x97\xE9\x97\xA8\xE6\x91\x84\xE5\x83\x8F\xE6\x9C\xBA 01-\xE5\x8C\x97";
    Hear({News(OnvifNews::Match, "urn:uuid:south", "198.18.1.71", "AC:CC:8E:00:00:71", name, "IPC-3000"),
          News(OnvifNews::Match, "urn:uuid:nvr", "198.18.1.72", "", "NVR", ""),
          News(OnvifNews::Hello, "urn:uuid:south", "198.18.1.71", "AC:CC:8E:00:00:71", name, "IPC-3000")},
         kFleet + 2);
    const int row = RowWithAddress(L"198.18.1.71");
    ASSERT_GE(row, 0);
    EXPECT_EQ(RowTexts(List(), row, kColumns),
              (std::vector<std::wstring>{L"198.18.1.71", L"", L"南门摄像机 01-北", L"ONVIF IPC-3000",
                                         L"ONVIF", L"AC:CC:8E:00:00:71", L""}));
    EXPECT_EQ(RowTexts(List(), RowWithAddress(L"198.18.1.72"), kColumns)[3], L"ONVIF");
    EXPECT_EQ(ItemText(Dlg(), IDC_MAIN_COUNT), std::to_wstring(kFleet + 2));
    // The mixed list, for the eye (build/artifacts/larkvane-mixed.png).
    Pump();
    EXPECT_TRUE(lvtest::SaveWindowPng(Dlg(), DosPathOfUnixPath(LV_ARTIFACTS_DIR "/larkvane-mixed.png")));
}

TEST_F(OnvifListTest, AByeRemovesItsRowAndTheSelectionStaysOnItsDevices)
{
    Hear({News(OnvifNews::Match, "urn:uuid:a", "198.18.1.81"),
          News(OnvifNews::Match, "urn:uuid:b", "198.18.1.82"),
          News(OnvifNews::Match, "urn:uuid:c", "198.18.1.83")},
         kFleet + 3);
    // C chosen with a click, B selected too.
    ClickCell(List(), RowWithAddress(L"198.18.1.83"), 1);
    Pump();
    ListView_SetItemState(List(), RowWithAddress(L"198.18.1.82"), LVIS_SELECTED, LVIS_SELECTED);
    ASSERT_EQ(ReadTextField(s_dlg->GetSelDevice().message.lanIp), "198.18.1.83");

    Hear({Bye("urn:uuid:a")}, kFleet + 2);
    EXPECT_EQ(RowWithAddress(L"198.18.1.81"), -1);
    EXPECT_EQ(SelectedRows(),
              (std::vector<int>{RowWithAddress(L"198.18.1.82"), RowWithAddress(L"198.18.1.83")}));
    EXPECT_EQ(s_dlg->GetDeviceList()->GetCurRow(), RowWithAddress(L"198.18.1.83"));
    EXPECT_EQ(ReadTextField(s_dlg->GetSelDevice().message.lanIp), "198.18.1.83");
    EXPECT_EQ(ItemText(Dlg(), IDC_MAIN_COUNT), std::to_wstring(kFleet + 2));

    // The chosen device leaves: nothing is chosen, B stays selected.
    Hear({Bye("urn:uuid:c")}, kFleet + 1);
    EXPECT_EQ(SelectedRows(), (std::vector<int>{RowWithAddress(L"198.18.1.82")}));
    EXPECT_EQ(s_dlg->GetDeviceList()->GetCurRow(), -1);
    EXPECT_EQ(s_dlg->GetSelDevice().message.idSerial[0], 0);
}

TEST_F(OnvifListTest, EditingADeviceOfAnotherMakerIsRefusedWithABoxAndItsPageOpens)
{
    Hear({News(OnvifNews::Match, "urn:uuid:edit", "198.18.1.91", "", "Gate")}, kFleet + 1);
    const int row = RowWithAddress(L"198.18.1.91");
    struct Way {
        const char* what;
        int nLangId;
        std::function<void()> act;
    };
    const Way ways[] = {
        {"button", 0, [] { s_dlg->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_MAIN_SINGLE, BN_CLICKED), 0); }},
        {"menu", 0, [row] { RightClick(row, IDM_LIST_SINGLE); }},
        {"double-click", 0,
         [row] {
             ClickCell(List(), row, 2, true);
             Pump();
         }},
        {"F2", 0,
         [] {
             ::PostMessageW(List(), WM_KEYDOWN, VK_F2, 0);
             Pump();
         }},
        {"button in English", 1,
         [] { s_dlg->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_MAIN_SINGLE, BN_CLICKED), 0); }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.what);
        CMyDialog::SetGlobalLanguage(way.nLangId);
        ClickCell(List(), row, 1);
        Pump();
        CMessageBoxCatcher boxes(Dlg(), way.nLangId == 0 ? L"提示" : L"Message");
        way.act();
        PumpUntil([&boxes] { return boxes.Count() > 0; }, 2000);
        ASSERT_EQ(boxes.Count(), 1u);
        EXPECT_EQ(boxes.Texts()[0],
                  way.nLangId == 0
                      ? L"其他厂家的设备 (ONVIF) 只能查看，不能在此修改。"
                      : L"This device of another maker (ONVIF) can only be viewed here, not changed.");
        EXPECT_FALSE(s_dlg->GetDeviceSetDlg()->IsWindowVisible());
    }
    CMyDialog::SetGlobalLanguage(0);
    s_dlg->m_opened.clear();
    RightClick(row, IDM_LIST_BROWSE);
    EXPECT_EQ(s_dlg->m_opened, (std::vector<std::wstring>{L"http://198.18.1.91"}));
}

TEST_F(OnvifListTest, TheGroupDialogLeavesThemOutButMarksAComputedAddressOfTheirs)
{
    Hear({News(OnvifNews::Match, "urn:uuid:g1", "10.77.0.5"),
          News(OnvifNews::Match, "urn:uuid:g2", "10.77.0.200")},
         kFleet + 2);
    CGroupSetDlg& group = *s_dlg->GetGroupSetDlg();
    {
        CMessageBoxCatcher boxes(group.m_hWnd, L"提示");
        s_dlg->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_MAIN_GROUP, BN_CLICKED), 0);
        ASSERT_EQ(boxes.Count(), 1u);
        EXPECT_NE(boxes.Texts()[0].find(L"列表中有 2 台其他厂家的设备 (ONVIF) 未列在此处"),
                  std::wstring::npos);
    }
    EXPECT_EQ(RowCount(group.GetList()->m_hWnd), kFleet);
    // The first camera (in idSerial order) is given 10.77.0.5, the others .6 onwards.
    ::SetDlgItemTextW(group.m_hWnd, IDC_GRP_START_IP, L"10.77.0.5");
    ::SetDlgItemTextW(group.m_hWnd, IDC_GRP_STEP, L"1");
    ::SetDlgItemTextW(group.m_hWnd, IDC_GRP_GATEWAY, L"10.77.0.254");
    ::SetDlgItemTextW(group.m_hWnd, IDC_GRP_NAME, L"Cam");
    {
        CMessageBoxCatcher boxes(group.m_hWnd, L"提示");
        group.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_GRP_APPLY, BN_CLICKED), 0);
    }
    EXPECT_EQ(group.GetAddressConflicts(), 1);
    EXPECT_EQ(group.GetList()->GetCellTextColor(0, 1), CGroupSetDlg::CONFLICT_TEXT);
    EXPECT_NE(group.GetList()->GetCellTextColor(1, 1), CGroupSetDlg::CONFLICT_TEXT);
    group.ShowWindow(SW_HIDE);
}

TEST_F(OnvifListTest, ADeviceSharingACamerasAddressIsWarnedAndOneWithItsMacIsThatCamera)
{
    const WireMessage shared = Block("a1b2c3d4e5f6");
    const WireMessage same = Block("b20000000001");
    const std::string sharedIp = ReadTextField(shared.lanIp);
    const std::string sameMac = FormatMac(same.lanMac);
    ASSERT_FALSE(sharedIp.empty());
    Hear({News(OnvifNews::Match, "urn:uuid:other", sharedIp, "02:00:00:00:00:99", "Other", "DVR"),
          News(OnvifNews::Hello, "urn:uuid:same", "198.18.1.99", sameMac, "Twin")},
         kFleet + 1);
    const std::wstring wideIp(sharedIp.begin(), sharedIp.end());
    const int device = FindRow(List(), 3, L"ONVIF DVR");
    const int camera = FindRow(List(), 3, L"a1b2c3d4e5f6");
    ASSERT_GE(device, 0);
    ASSERT_GE(camera, 0);
    COLORREF clr = 0;
    EXPECT_TRUE(Rows().GetRowTextColor(device, clr));
    EXPECT_TRUE(Rows().GetRowTextColor(camera, clr));
    EXPECT_NE(Rows().GetRowTip(camera).find(L"与 ONVIF DVR 的 IP 地址冲突"), std::wstring::npos);
    // The device with the second camera's MAC is that camera: its row says so.
    EXPECT_EQ(FindRow(List(), 2, L"Twin"), -1);
    EXPECT_NE(Rows().GetRowTip(FindRow(List(), 3, L"b20000000001")).find(L"该设备也应答 ONVIF (Twin)"),
              std::wstring::npos);
}

TEST_F(OnvifListTest, TheMenuSwitchRemovesTheRowsAtOnceAndIsKept)
{
    Hear({News(OnvifNews::Match, "urn:uuid:s1", "198.18.1.101"),
          News(OnvifNews::Match, "urn:uuid:s2", "198.18.1.102")},
         kFleet + 2);
    RightClick(-1, IDM_LIST_ONVIF);
    ASSERT_FALSE(s_dlg->m_menuTexts.empty());
    EXPECT_EQ(s_dlg->m_menuTexts.back(), L"ONVIF");
    EXPECT_TRUE(s_dlg->m_menuChecked.back()) << "on by default";
    EXPECT_FALSE(s_dlg->IsOnvifOn());
    EXPECT_EQ(RowCount(List()), kFleet) << "removed at once, not at the next rescan";
    EXPECT_EQ(ItemText(Dlg(), IDC_MAIN_COUNT), std::to_wstring(kFleet));
    EXPECT_EQ(KeptOnvifSetting(), 0);

    // What a receiver still hands over while off is not listed.
    Hear({News(OnvifNews::Match, "urn:uuid:s3", "198.18.1.103")}, kFleet);
    PumpFor(200);
    EXPECT_EQ(RowCount(List()), kFleet);

    RightClick(-1, IDM_LIST_ONVIF);
    EXPECT_FALSE(s_dlg->m_menuChecked.back());
    EXPECT_TRUE(s_dlg->IsOnvifOn());
    EXPECT_EQ(KeptOnvifSetting(), 1);
    Hear({News(OnvifNews::Match, "urn:uuid:s3", "198.18.1.103")}, kFleet + 1);
}

TEST_F(OnvifListTest, TheKeptSettingIsReadAtStartUp)
{
    RightClick(-1, IDM_LIST_ONVIF);
    ASSERT_EQ(KeptOnvifSetting(), 0);
    s_dlg->DestroyWindow();
    delete s_dlg;
    s_dlg = new CScriptedMainDlg();
    ASSERT_TRUE(s_dlg->CreateModeless(nullptr));
    s_dlg->ShowWindow(SW_SHOWNOACTIVATE);
    ASSERT_TRUE(PumpUntil([] { return RowCount(List()) == kFleet; }, 8000)) << "rows: " << RowCount(List());
    EXPECT_FALSE(s_dlg->IsOnvifOn());
    RightClick(-1, 0);
    ASSERT_FALSE(s_dlg->m_menuChecked.empty());
    EXPECT_FALSE(s_dlg->m_menuChecked.back());
    Hear({News(OnvifNews::Match, "urn:uuid:k1", "198.18.1.111")}, kFleet);
    PumpFor(200);
    EXPECT_EQ(RowCount(List()), kFleet);
}

TEST_F(OnvifListTest, AFloodWaitsInABoundedInboxAndTheExcessIsCounted)
{
    const std::size_t batches = 3 * COnvifInbox::MAX_WAITING / 64;
    const std::size_t droppedBefore = s_dlg->GetOnvifDropped();
    // The window thread does not look while the receiver hands over three times what fits.
    std::thread receiver([batches] {
        for (std::size_t b = 0; b < batches; ++b) {
            std::vector<OnvifAnnouncement> batch;
            for (std::size_t i = 0; i < 64; ++i)
                batch.push_back(News(OnvifNews::Hello, "urn:uuid:flood-" + std::to_string(b * 64 + i), ""));
            s_dlg->OnOnvifAnnouncements(std::move(batch));
        }
    });
    receiver.join();
    EXPECT_EQ(s_dlg->GetOnvifDropped() - droppedBefore, batches * 64 - COnvifInbox::MAX_WAITING);
    EXPECT_TRUE(PumpUntil(
        [] { return RowCount(List()) == kFleet + static_cast<int>(COnvifInbox::MAX_WAITING); }, 10000))
        << "rows: " << RowCount(List());
    EXPECT_EQ(ItemText(Dlg(), IDC_MAIN_COUNT), std::to_wstring(kFleet + COnvifInbox::MAX_WAITING));
}

} // namespace
