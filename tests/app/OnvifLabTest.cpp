// The main window with its own WS-Discovery receiver, in the lab: the simulator plays other
// makers' devices beside this maker's cameras. A rescan lists every device once (merged with the
// camera it is), hostile answers list nothing, Bye and Hello take a row away and bring it back, and
// the "ONVIF" switch stops the probes.
#include "AppTestSupport.h"
#include "ScriptedMainDlg.h"

#include "app/MainDlg.h"
#include "app/resource.h"
#include "base/MyProfile.h"
#include "tests/support/CamSimClient.h"
#include "tests/support/LabGuard.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

using namespace apptest;

namespace {

constexpr int kColumns = CMainDlg::COLUMN_COUNT;
constexpr int kCameras = 12;
// The simulator's default devices: six answers, three rows of their own (one endpoint answers
// from two addresses, two devices are listed cameras).
constexpr int kOwnRows = 3;

class OnvifLabTest : public testing::Test {
  protected:
    static void SetUpTestSuite()
    {
        RequireLabNetwork();
        RemoveLanguageFiles();
        ::DeleteFileW(SettingsPath().c_str());
        CMyDialog::SetGlobalLanguage(0);
        ASSERT_TRUE(s_sim.Connect());
        ASSERT_EQ(s_sim.Command("reset"), "ok 12");
        s_dlg = new CScriptedMainDlg();
        ASSERT_TRUE(s_dlg->CreateModeless(nullptr));
    }

    static void TearDownTestSuite()
    {
        if (s_dlg) {
            s_dlg->DestroyWindow();
            delete s_dlg;
            s_dlg = nullptr;
        }
        if (s_sim.Connect()) {
            s_sim.Command("onvif none");
            s_sim.Command("onvif hostile none");
        }
        ::DeleteFileW(SettingsPath().c_str());
    }

    void SetUp() override
    {
        ASSERT_NE(s_dlg, nullptr);
        ASSERT_EQ(s_sim.Command("reset"), "ok 12");
        ASSERT_EQ(s_sim.Command("onvif default"), "ok 6");
        ASSERT_EQ(s_sim.Command("onvif delay 100"), "ok");
        if (!s_dlg->IsOnvifOn())
            RightClick(IDM_LIST_ONVIF);
    }

    static std::wstring SettingsPath()
    {
        return CMyProfile::ResolveFile(CMainDlg::SETTINGS_FILE, CMyProfile::ExecutablePath());
    }
    static HWND Dlg() { return s_dlg->GetSafeHwnd(); }
    static HWND List() { return ::GetDlgItem(Dlg(), IDC_MAIN_LIST); }

    static void RightClick(int nChoice)
    {
        s_dlg->m_nMenuChoice = nChoice;
        s_dlg->ShowCameraListMenu(-1, nullptr);
        s_dlg->m_nMenuChoice = 0;
        Pump();
    }

    // Rescans and waits until `rows` are listed and stay so for a while.
    static bool RescanUntil(int rows)
    {
        s_dlg->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_MAIN_RESCAN, BN_CLICKED), 0);
        if (!PumpUntil([rows] { return RowCount(List()) == rows; }, 8000))
            return false;
        PumpFor(600); // later answers (the simulator waits up to 100 ms) would show by now
        return RowCount(List()) == rows;
    }

    static int Probes()
    {
        const std::string stats = s_sim.Command("onvif stats");
        const size_t at = stats.find("probes=");
        return at == std::string::npos ? -1 : std::atoi(stats.c_str() + at + 7);
    }

    static inline CCamSimClient s_sim;
    static inline CScriptedMainDlg* s_dlg = nullptr;
};

TEST_F(OnvifLabTest, ARescanListsEveryDeviceOnceBesideTheCameras)
{
    ASSERT_TRUE(RescanUntil(kCameras + kOwnRows)) << "rows: " << RowCount(List());
    const int cafe = FindRow(List(), 2, L"Café Nord");
    ASSERT_GE(cafe, 0);
    const std::vector<std::wstring> texts = RowTexts(List(), cafe, kColumns);
    EXPECT_TRUE(texts[0] == L"198.18.1.200" || texts[0] == L"198.18.1.202") << "one endpoint, two addresses";
    EXPECT_EQ(texts[1], L"");
    EXPECT_EQ(texts[3], L"ONVIF NVT-100");
    EXPECT_EQ(texts[4], L"ONVIF");
    EXPECT_EQ(texts[5], L"00:0F:7C:00:00:01");
    EXPECT_EQ(texts[6], L"");
    const int north = FindRow(List(), 2, L"北门球机");
    ASSERT_GE(north, 0) << "a UTF-8 name, percent-escaped in its scope";
    EXPECT_EQ(RowTexts(List(), north, kColumns)[0], L"198.18.1.201");
    EXPECT_GE(FindRow(List(), 2, L"Entrée 50%"), 0) << "the device on the other link";
    // The devices that are listed cameras add no rows: the camera keeps its own.
    EXPECT_EQ(FindRow(List(), 2, L"Lobby ONVIF"), -1);
    const int front = FindRow(List(), 0, L"198.18.1.131");
    ASSERT_GE(front, 0);
    EXPECT_EQ(RowTexts(List(), front, kColumns)[3], L"a1b2c3d4e5f6");
    EXPECT_EQ(ItemText(Dlg(), IDC_MAIN_COUNT), std::to_wstring(kCameras + kOwnRows));
}

TEST_F(OnvifLabTest, HostileAnswersListNothing)
{
    ASSERT_EQ(s_sim.Command("onvif hostile malformed,oversized,nested,laughs,external,wrongns,badutf8,stale"),
              "ok 8");
    ASSERT_TRUE(RescanUntil(kCameras + kOwnRows)) << "rows: " << RowCount(List());
    for (int row = 0; row < RowCount(List()); ++row) {
        const std::wstring address = RowTexts(List(), row, 1)[0];
        EXPECT_NE(address.rfind(L"198.18.1.24", 0), 0u) << "a hostile sender is listed: " << row;
    }
    EXPECT_EQ(FindRow(List(), 3, L"ONVIF"), -1) << "a row without hardware text shows a half device";
}

TEST_F(OnvifLabTest, ByeTakesTheRowAwayAndHelloBringsItBack)
{
    ASSERT_TRUE(RescanUntil(kCameras + kOwnRows));
    // Device 2 of the simulator's list: 198.18.1.201 "北门球机".
    ASSERT_EQ(s_sim.Command("onvif bye 2"), "ok 1");
    ASSERT_TRUE(PumpUntil([] { return FindRow(List(), 2, L"北门球机") < 0; }, 3000)) << "Bye ignored";
    EXPECT_EQ(RowCount(List()), kCameras + kOwnRows - 1);
    ASSERT_EQ(s_sim.Command("onvif hello 2"), "ok 1");
    EXPECT_TRUE(PumpUntil([] { return FindRow(List(), 2, L"北门球机") >= 0; }, 3000)) << "Hello ignored";
    EXPECT_EQ(RowCount(List()), kCameras + kOwnRows);
}

TEST_F(OnvifLabTest, SwitchedOffItSendsNoProbeAndListsNoDevice)
{
    RightClick(IDM_LIST_ONVIF);
    ASSERT_FALSE(s_dlg->IsOnvifOn());
    PumpFor(300); // the rescan worker stops the receiver with the scan the switch asked for
    ASSERT_EQ(s_sim.Command("onvif clear"), "ok");
    ASSERT_TRUE(RescanUntil(kCameras));
    EXPECT_EQ(Probes(), 0);

    RightClick(IDM_LIST_ONVIF);
    ASSERT_TRUE(s_dlg->IsOnvifOn());
    // Switched on, it probes at once and keeps the cameras' rows.
    EXPECT_TRUE(PumpUntil([] { return RowCount(List()) == kCameras + kOwnRows; }, 5000))
        << "rows: " << RowCount(List());
    EXPECT_GE(Probes(), 1);
}

} // namespace
