// The settings dialogs as the main window opens them: a group change shows in the next rescan, and
// rescans while the apply worker sends leave its messages intact (the dialog holds copies).
#include "SettingsTestSupport.h"

#include "AppTestSupport.h"
#include "app/GroupSetDlg.h"
#include "app/MainDlg.h"
#include "app/resource.h"

#include <cstring>
#include <cwchar>
#include <map>

namespace {

class SettingsFlow : public CSettingsTest {
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
        // The rescan pass empties the list before it sends its requests: once they are out, the
        // rows that come are this rescan's. The window's own first rescan may still follow, so the
        // list counts as listed when it holds the fleet for half a second.
        bool bSteady = false;
        for (int attempt = 0; attempt < 3 && !bSteady; ++attempt) {
            ASSERT_TRUE(m_sim.ClearLog());
            Rescan();
            m_sim.WaitForLog([](const auto& log) { return CCamSimClient::CountType(log, MSG_GET) >= 2; },
                             3000);
            ASSERT_TRUE(PumpUntil([] { return apptest::RowCount(MainList()) == 12; }, 8000));
            PumpFor(500);
            bSteady = apptest::RowCount(MainList()) == 12;
        }
        ASSERT_TRUE(bSteady);
    }

    static HWND MainList() { return ::GetDlgItem(s_pMain->GetSafeHwnd(), IDC_MAIN_LIST); }
    static CGroupSetDlg& Group() { return *s_pMain->GetGroupSetDlg(); }
    static HWND GroupDlg() { return Group().GetSafeHwnd(); }
    static void Rescan()
    {
        ::SendMessageW(s_pMain->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_MAIN_RESCAN, BN_CLICKED), 0);
    }
    static void GroupCommand(int nID)
    {
        ::SendMessageW(GroupDlg(), WM_COMMAND, MAKEWPARAM(nID, BN_CLICKED), 0);
    }
    static void OpenGroup()
    {
        ::SendMessageW(s_pMain->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_MAIN_GROUP, BN_CLICKED), 0);
        Pump();
    }
    static int GroupRowOf(const std::wstring& id)
    {
        HWND hList = ::GetDlgItem(GroupDlg(), IDC_GRP_LIST);
        for (int nRow = 0; nRow < apptest::RowCount(hList); ++nRow)
            if (CellText(hList, nRow, 0).find(id) != std::wstring::npos)
                return nRow;
        return -1;
    }
    // What the progress title says has been sent, or -1.
    static int SentSoFar()
    {
        const std::wstring title = TextOf(GroupDlg());
        const std::size_t at = title.find(L"已发送 ");
        return at == std::wstring::npos ? -1
                                        : static_cast<int>(std::wcstol(title.c_str() + at + 4, nullptr, 10));
    }
    // Pumps until the group worker's pass that the caller started ends.
    static bool WaitForPass(int nPassesBefore)
    {
        return PumpUntil([nPassesBefore] { return Group().GetFinishedPasses() > nPassesBefore; }, 20000);
    }

    static inline CMainDlg* s_pMain = nullptr;
};

TEST_F(SettingsFlow, AGroupChangeShowsInTheNextRescan)
{
    OpenGroup();
    HWND hList = ::GetDlgItem(GroupDlg(), IDC_GRP_LIST);
    ASSERT_EQ(apptest::RowCount(hList), 12);
    GroupCommand(IDC_GRP_UNCHECK_ALL);
    for (const wchar_t* id : {L"a1b2c3d4e5f6", L"d40000000003"}) {
        const int nRow = GroupRowOf(id);
        ASSERT_GE(nRow, 0);
        ListView_SetCheckState(hList, nRow, TRUE);
    }
    ::CheckDlgButton(GroupDlg(), IDC_GRP_ONLY_CHECKED, BST_CHECKED);
    ::SetDlgItemTextW(GroupDlg(), IDC_GRP_START_IP, L"198.18.1.220");
    ::SetDlgItemTextW(GroupDlg(), IDC_GRP_GATEWAY, L"198.18.1.254");
    ::SetDlgItemTextW(GroupDlg(), IDC_GRP_NAME, L"门");
    ::SetDlgItemTextW(GroupDlg(), IDC_GRP_STEP, L"3");
    GroupCommand(IDC_GRP_APPLY);

    ASSERT_TRUE(m_sim.ClearLog());
    const int passes = Group().GetFinishedPasses();
    {
        CMessageBoxCatcher boxes(GroupDlg(), L"提示");
        GroupCommand(IDC_GRP_SEND);
        ASSERT_TRUE(WaitForPass(passes));
        EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>{L"完成 2 个设备信息设置！"});
    }
    EXPECT_EQ(AllSetInfo().size(), 4u); // two cameras, two links

    Rescan();
    ASSERT_TRUE(PumpUntil(
        [] {
            return apptest::FindRow(MainList(), 3, L"a1b2c3d4e5f6") >= 0 &&
                   apptest::FindRow(MainList(), 0, L"198.18.1.223") >= 0;
        },
        8000));
    const auto a = apptest::RowTexts(MainList(), apptest::FindRow(MainList(), 3, L"a1b2c3d4e5f6"), 4);
    EXPECT_EQ(a, (std::vector<std::wstring>{L"198.18.1.220", L"198.18.1.254", L"门0", L"a1b2c3d4e5f6"}));
    const auto d = apptest::RowTexts(MainList(), apptest::FindRow(MainList(), 3, L"d40000000003"), 4);
    EXPECT_EQ(d, (std::vector<std::wstring>{L"198.18.1.223", L"198.18.1.254", L"门3", L"d40000000003"}));
}

TEST_F(SettingsFlow, RescansWhileTheWorkerSendsChangeNothingItSends)
{
    // Every camera's message is its own block again: the cells hold the record's own values.
    std::map<std::string, std::vector<std::uint8_t>> expected;
    for (const char* id :
         {"a1b2c3d4e5f6", "b20000000001", "c30000000002", "d40000000003", "F12345678901", "a60000000005",
          "f70000000006", "b80000000007", "c90000000008", "da0000000009", "fb000000000a", "ac000000000b"}) {
        std::vector<std::uint8_t> block = m_sim.Image(id);
        ASSERT_EQ(block.size(), MESSAGE_SIZE);
        block[0] = static_cast<std::uint8_t>(MSG_SET_INFO);
        std::memcpy(block.data() + 4, "HdvsSetInfo", 12);
        expected[id] = block;
    }
    OpenGroup();
    ASSERT_EQ(apptest::RowCount(::GetDlgItem(GroupDlg(), IDC_GRP_LIST)), 12);

    ASSERT_TRUE(m_sim.ClearLog());
    const int passes = Group().GetFinishedPasses();
    CMessageBoxCatcher boxes(GroupDlg(), L"提示");
    GroupCommand(IDC_GRP_SEND);
    for (int sentBefore : {2, 5, 8}) {
        ASSERT_TRUE(PumpUntil([sentBefore] { return SentSoFar() >= sentBefore; }, 5000));
        Rescan(); // frees the camera table's records and lists the cameras again
    }
    ASSERT_TRUE(WaitForPass(passes));
    Pump();
    EXPECT_GE(CCamSimClient::CountType(m_sim.Log(), MSG_GET), 6u) << "three rescans during the pass";

    std::vector<CamSimLogEntry> sent;
    for (const CamSimLogEntry& entry : AllSetInfo())
        sent.push_back(entry);
    EXPECT_EQ(sent.size(), 24u);
    for (const CamSimLogEntry& entry : sent) {
        SCOPED_TRACE(entry.idSerial);
        ASSERT_TRUE(expected.count(entry.idSerial));
        EXPECT_EQ(entry.bytes, expected[entry.idSerial]);
    }
    EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>{L"完成 12 个设备信息设置！"});
}

} // namespace
