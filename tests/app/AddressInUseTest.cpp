// Addresses another device already answers on, in both settings dialogs: the lab's other devices
// (LARKVANE_LAB_OTHER_DEVICES, 198.18.1.60-62) answer echo; the made-up cameras sit on quiet
// addresses of lab0's subnet below the simulator's block, so nothing else answers.
#include "GroupSetTestSupport.h"

#include "app/DeviceSetDlg.h"
#include "app/InUseMarks.h"
#include "base/Ipv4Text.h"
#include "tests/support/LabGuard.h"

#include <winsock2.h>

#include <memory>

namespace {

const wchar_t* const SENT_BOX = L"设置已发送。摄像头是否已采用，请看状态行。";

// An address of the lab's other devices, and the address `back` below it.
std::wstring OtherDevice(int back = 0)
{
    const std::vector<std::string> others = LabOtherDevices();
    if (others.empty()) {
        ADD_FAILURE() << "LARKVANE_LAB_OTHER_DEVICES is not set: run inside the lab";
        return L"";
    }
    return FormatIpv4Wide(*ParseIpv4(others.front()) - static_cast<std::uint32_t>(back));
}

class AddressInUseGroup : public CGroupSetDlgTest {
  protected:
    void SetUp() override
    {
        CGroupSetDlgTest::SetUp();
        ASSERT_FALSE(OtherDevice().empty());
        m_records = {MadeUpRecord("f90000000000", "198.18.1.40", "P0"),
                     MadeUpRecord("f90000000001", "198.18.1.41", "P1"),
                     MadeUpRecord("f90000000002", "198.18.1.42", "P2")};
        // The edits LoadDevices rewrites lose the focus first: once, in a full run, Wine 8's edit
        // crashed in EDIT_EM_PosFromChar when a focused edit's text was replaced.
        ::SetFocus(List());
        Load(m_records);
    }
    bool Marked(int nRow) const
    {
        return s_pDlg->GetList()->GetCellTextColor(nRow, 1) == CGroupSetDlg::CONFLICT_TEXT;
    }
    std::wstring Status(int nRow) const { return CellText(List(), nRow, CGroupSetDlg::STATUS_COLUMN); }
    // "Apply" from two below the other device: row 2 is given its address.
    void ApplyOntoOtherDevice()
    {
        Type(IDC_GRP_START_IP, OtherDevice(2));
        Type(IDC_GRP_GATEWAY, L"198.18.1.254");
        Command(IDC_GRP_APPLY);
        ASSERT_EQ(CellText(List(), 2, 1), OtherDevice());
        ASSERT_TRUE(PumpUntil([this] { return !s_pDlg->GetInUseMarks().IsProbing(); }, 5000));
        Pump();
    }
    // "Set for All checked", its boxes answered with nAnswer; returns their texts.
    std::vector<std::wstring> SendAnswering(int nAnswer)
    {
        EXPECT_TRUE(m_sim.ClearLog());
        CMessageBoxCatcher boxes(Dlg(), L"提示", nAnswer);
        const int passes = s_pDlg->GetFinishedPasses();
        Command(IDC_GRP_SEND);
        EXPECT_TRUE(PumpUntil([&] { return s_pDlg->GetFinishedPasses() > passes; }, 10000));
        PumpFor(300);
        return boxes.Texts();
    }
    std::vector<DeviceRecord> m_records;
};

const wchar_t* const PASS_QUESTION = L"1 个要发送的地址已被其他设备占用（标为红色）。仍要发送吗？";

TEST_F(AddressInUseGroup, ApplyMarksAComputedAddressAnotherDeviceAnswersOnInBothLanguages)
{
    ApplyOntoOtherDevice();
    EXPECT_FALSE(Marked(0));
    EXPECT_FALSE(Marked(1));
    EXPECT_TRUE(Marked(2));
    EXPECT_EQ(Status(0), L"");
    EXPECT_EQ(Status(1), L"");
    const std::wstring status = Status(2);
    ASSERT_EQ(status.rfind(L"已被其他设备占用 (", 0), 0u) << status;
    EXPECT_EQ(status.size(), std::wstring(L"已被其他设备占用 (").size() + 17 + 1) << "the device's MAC";
    const std::wstring mac = status.substr(status.find(L'(') + 1, 17);
    CMyDialog::SetGlobalLanguage(1);
    EXPECT_EQ(Status(2), L"In use by another device (" + mac + L")");
    CMyDialog::SetGlobalLanguage(0);
    EXPECT_EQ(Status(2), status);
}

// A new list of cameras starts unmarked: the marks belonged to the old rows' addresses.
TEST_F(AddressInUseGroup, ANewListOfCamerasStartsWithoutTheOldMarks)
{
    ApplyOntoOtherDevice();
    ASSERT_TRUE(Marked(2));
    Load(m_records);
    for (int nRow = 0; nRow < 3; ++nRow) {
        EXPECT_FALSE(Marked(nRow)) << nRow;
        EXPECT_EQ(Status(nRow), L"") << nRow;
    }
}

// The operator's answer decides: No sends nothing and keeps the mark; Yes sends every row, and the
// pass's status replaces the mark.
TEST_F(AddressInUseGroup, APassWithAMarkedRowAsksAndOnlyYesSends)
{
    const struct {
        int nAnswer;
        std::vector<std::wstring> boxes;
        std::size_t sent;
    } cases[] = {
        {IDNO, {PASS_QUESTION}, 0},
        {IDYES, {PASS_QUESTION, L"完成 3 个设备信息设置！"}, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nAnswer == IDYES ? "Yes" : "No");
        Load(m_records);
        ApplyOntoOtherDevice();
        ASSERT_TRUE(Marked(2));
        EXPECT_EQ(SendAnswering(c.nAnswer), c.boxes);
        EXPECT_EQ(s_pDlg->GetLastSentCount(), static_cast<int>(c.sent));
        if (c.sent) {
            const auto sent = SetInfoFor("f90000000002", 1);
            ASSERT_FALSE(sent.empty());
            const std::wstring other = OtherDevice();
            EXPECT_EQ(FieldText(sent.front().bytes, 76, 16), std::string(other.begin(), other.end()));
            EXPECT_FALSE(Marked(2)) << "the pass's status replaces the mark";
            EXPECT_EQ(Status(2).find(L"已被其他设备占用"), std::wstring::npos) << Status(2);
        } else {
            EXPECT_TRUE(AllSetInfo().empty()) << "sent though the operator said No";
            EXPECT_TRUE(Marked(2));
        }
    }
}

// No "Apply": the cells the operator typed are asked on the pass's worker before anything goes
// out, and marked there.
TEST_F(AddressInUseGroup, APassAsksTheNetworkAboutAddressesNoProbeHasAnswered)
{
    std::wstring other = OtherDevice();
    ListView_SetItemText(List(), 1, 1, other.data());
    EXPECT_FALSE(Marked(1));
    EXPECT_EQ(SendAnswering(IDNO), std::vector<std::wstring>{PASS_QUESTION});
    EXPECT_TRUE(AllSetInfo().empty());
    EXPECT_TRUE(Marked(1));
    EXPECT_FALSE(Marked(0));
    EXPECT_FALSE(Marked(2));
}

// An edited address cell loses its mark and is asked again: a quiet address stays unmarked, the
// other device's address typed into another row is marked.
TEST_F(AddressInUseGroup, AnEditedAddressIsAskedAgain)
{
    ApplyOntoOtherDevice();
    ASSERT_TRUE(Marked(2));
    ListView_SetItemText(List(), 2, 1, const_cast<LPWSTR>(L"198.18.1.48"));
    std::wstring other = OtherDevice();
    ListView_SetItemText(List(), 0, 1, other.data());
    ::SendMessageW(Dlg(), WM_COMMAND, MAKEWPARAM(LIST_CMD_EDIT_DONE, 0),
                   reinterpret_cast<LPARAM>(s_pDlg->GetList()));
    EXPECT_FALSE(Marked(2));
    EXPECT_EQ(Status(2), L"");
    ASSERT_TRUE(PumpUntil([this] { return Marked(0); }, 5000));
    EXPECT_FALSE(Marked(2));
    EXPECT_FALSE(Marked(1));
}

// An "Apply" that leaves the marked row alone (Only checked, the row unchecked) keeps its mark.
TEST_F(AddressInUseGroup, AMarkOutlivesAnApplyThatLeavesItsRow)
{
    ApplyOntoOtherDevice();
    ASSERT_TRUE(Marked(2));
    SetChecked(2, false);
    ::CheckDlgButton(Dlg(), IDC_GRP_ONLY_CHECKED, BST_CHECKED);
    Type(IDC_GRP_START_IP, L"198.18.1.44");
    Command(IDC_GRP_APPLY);
    EXPECT_EQ(CellText(List(), 2, 1), OtherDevice());
    ASSERT_TRUE(PumpUntil([] { return !s_pDlg->GetInUseMarks().IsProbing(); }, 5000));
    Pump();
    EXPECT_TRUE(Marked(2));
    EXPECT_EQ(Status(2).rfind(L"已被其他设备占用", 0), 0u);
    EXPECT_FALSE(Marked(0));
    EXPECT_FALSE(Marked(1));
    SetChecked(2, true);
}

// "Not modify IP": no address is sent, so nothing is asked.
TEST_F(AddressInUseGroup, NotModifyIpSendsWithoutAsking)
{
    ApplyOntoOtherDevice();
    ASSERT_TRUE(Marked(2));
    ::CheckDlgButton(Dlg(), IDC_GRP_KEEP_IP, BST_CHECKED);
    EXPECT_EQ(SendAnswering(IDNO), std::vector<std::wstring>{L"完成 3 个设备信息设置！"});
}

// Closing while a pass waits for the network: the pass ends without sending and without a box.
TEST_F(AddressInUseGroup, ClosingWhileAPassWaitsForTheProbeSendsNothing)
{
    auto pDlg = std::make_unique<CGroupSetDlg>();
    ASSERT_TRUE(pDlg->CreateModeless(nullptr));
    std::vector<DeviceRecord> records;
    for (int i = 0; i < 20; ++i)
        records.push_back(
            MadeUpRecord("f9100000000" + std::to_string(i), "198.18.1." + std::to_string(64 + i), "Q"));
    std::vector<const DeviceRecord*> pointers;
    for (const DeviceRecord& record : records)
        pointers.push_back(&record);
    pDlg->LoadDevices(pointers);
    const HWND hDlg = pDlg->GetSafeHwnd();
    ::SetDlgItemTextW(hDlg, IDC_GRP_START_IP, L"198.18.1.90"); // quiet: each waits out the time-out
    ::SetDlgItemTextW(hDlg, IDC_GRP_GATEWAY, L"198.18.1.254");
    ASSERT_TRUE(m_sim.ClearLog());
    ::SendMessageW(hDlg, WM_COMMAND, MAKEWPARAM(IDC_GRP_APPLY, BN_CLICKED), 0);
    const int passes = pDlg->GetFinishedPasses();
    ::SendMessageW(hDlg, WM_COMMAND, MAKEWPARAM(IDC_GRP_SEND, BN_CLICKED), 0);
    PumpFor(50);
    ASSERT_EQ(pDlg->GetFinishedPasses(), passes) << "the pass did not wait for the probe";
    ::DestroyWindow(hDlg);
    EXPECT_TRUE(PumpUntil([&] { return pDlg->GetFinishedPasses() > passes; }, 3000));
    pDlg.reset();
    PumpFor(300);
    EXPECT_TRUE(AllSetInfo().empty());
    const HWND hBox = ::FindWindowW(L"#32770", L"提示");
    EXPECT_FALSE(hBox && ::IsWindowVisible(hBox));
}

// ---- The single-camera dialog ---------------------------------------------------------------------

class AddressInUseSingle : public CSettingsDlgTest<CDeviceSetDlg> {
  protected:
    void SetUp() override
    {
        CSettingsDlgTest::SetUp();
        ASSERT_FALSE(OtherDevice().empty());
        s_pDlg->ShowDialog(1);
    }
    // Loads a simulated camera and types a new address into the wired (or WiFi) address edit,
    // with that side's DHCP on or off (the other side's off for wired, on for WiFi).
    DeviceRecord LoadWithAddress(const std::wstring& address, bool bDhcp = false, int nEdit = IDC_DEV_LAN_IP)
    {
        EXPECT_EQ(m_sim.Command("reset"), "ok 12"); // a case before may have re-addressed it
        DeviceRecord record = RecordOf("b20000000001");
        s_pDlg->LoadDevice(&record);
        const bool bWifi = nEdit == IDC_DEV_WIFI_IP;
        ::CheckDlgButton(Dlg(), IDC_DEV_LAN_DHCP, !bWifi && bDhcp ? BST_CHECKED : BST_UNCHECKED);
        ::CheckDlgButton(Dlg(), IDC_DEV_WIFI_DHCP, !bWifi || bDhcp ? BST_CHECKED : BST_UNCHECKED);
        Type(nEdit, address);
        return record;
    }
};

TEST_F(AddressInUseSingle, DoSettingAsksTheNetworkFirstAndAsksTheOperatorWhenTaken)
{
    const struct {
        int nEdit;
        std::wstring address;
        bool bDhcp;
        int nAnswer;
        bool bProbed;
        std::vector<std::wstring> boxes; // "?": the question, checked by its start
        bool bSent;
    } cases[] = {
        {IDC_DEV_LAN_IP, OtherDevice(), false, IDNO, true, {L"?"}, false},
        {IDC_DEV_LAN_IP, OtherDevice(), false, IDYES, true, {L"?", SENT_BOX}, true},
        {IDC_DEV_LAN_IP, L"198.18.1.49", false, IDNO, true, {SENT_BOX}, true},
        {IDC_DEV_LAN_IP, OtherDevice(), true, IDNO, false, {SENT_BOX}, true}, // DHCP: not used
        {IDC_DEV_WIFI_IP, OtherDevice(), false, IDNO, true, {L"?"}, false},
        {IDC_DEV_WIFI_IP, OtherDevice(), true, IDNO, false, {SENT_BOX}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.nEdit == IDC_DEV_WIFI_IP ? "WiFi " : "LAN ") +
                     std::string(c.address.begin(), c.address.end()) + (c.bDhcp ? " DHCP" : "") +
                     (c.nAnswer == IDYES ? " Yes" : " No"));
        const DeviceRecord record = LoadWithAddress(c.address, c.bDhcp, c.nEdit);
        ASSERT_TRUE(m_sim.ClearLog());
        CMessageBoxCatcher boxes(Dlg(), L"提示", c.nAnswer);
        Command(IDC_DEV_APPLY);
        // The window did not wait: the button waits instead.
        EXPECT_EQ(s_pDlg->IsProbing(), c.bProbed);
        EXPECT_EQ(::IsWindowEnabled(::GetDlgItem(Dlg(), IDC_DEV_APPLY)) != FALSE, !c.bProbed);
        ASSERT_TRUE(PumpUntil([] { return !s_pDlg->IsProbing(); }, 5000));
        EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(Dlg(), IDC_DEV_APPLY)));
        PumpFor(300);
        const std::vector<std::wstring> texts = boxes.Texts();
        ASSERT_EQ(texts.size(), c.boxes.size());
        for (std::size_t i = 0; i < texts.size(); ++i)
            if (c.boxes[i] == L"?")
                EXPECT_EQ(
                    texts[i].rfind(L"新地址已被其他设备占用：\n" + c.address + L": 已被其他设备占用 (", 0),
                    0u)
                    << texts[i];
            else
                EXPECT_EQ(texts[i], c.boxes[i]);
        const auto sent = c.bSent ? SetInfoFor("b20000000001", 1) : AllSetInfo();
        EXPECT_EQ(!sent.empty(), c.bSent);
        if (c.bSent && !sent.empty() && !c.bDhcp) {
            const bool bWifi = c.nEdit == IDC_DEV_WIFI_IP;
            EXPECT_EQ(FieldText(sent.front().bytes, bWifi ? 364 : 76, bWifi ? 20 : 16),
                      std::string(c.address.begin(), c.address.end()));
        }
        if (!c.bSent) {
            EXPECT_EQ(ReadTextField(s_pDlg->GetDevice().message.lanIp), ReadTextField(record.message.lanIp))
                << "the copy keeps its address";
        }
    }
}

TEST_F(AddressInUseSingle, ReturnWhileTheProbeRunsLeavesTheSettingUnsent)
{
    LoadWithAddress(L"198.18.1.47");
    ASSERT_TRUE(m_sim.ClearLog());
    CMessageBoxCatcher boxes(Dlg(), L"提示");
    Command(IDC_DEV_APPLY);
    ASSERT_TRUE(s_pDlg->IsProbing());
    Command(IDOK);
    EXPECT_FALSE(::IsWindowVisible(Dlg()));
    PumpFor(CAddressProbe::ECHO_TIMEOUT_MS + 500);
    EXPECT_FALSE(s_pDlg->IsProbing());
    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_TRUE(AllSetInfo().empty());
}

// Destroyed while its probe runs (the main window closing): nothing is sent, nothing is shown.
TEST_F(AddressInUseSingle, DestroyedWhileTheProbeRunsSendsNothing)
{
    auto pDlg = std::make_unique<CDeviceSetDlg>();
    ASSERT_TRUE(pDlg->CreateModeless(nullptr));
    DeviceRecord record = RecordOf("b20000000001");
    pDlg->LoadDevice(&record);
    const HWND hDlg = pDlg->GetSafeHwnd();
    ::CheckDlgButton(hDlg, IDC_DEV_LAN_DHCP, BST_UNCHECKED);
    ::CheckDlgButton(hDlg, IDC_DEV_WIFI_DHCP, BST_CHECKED);
    ::SetDlgItemTextW(hDlg, IDC_DEV_LAN_IP, OtherDevice().c_str());
    ASSERT_TRUE(m_sim.ClearLog());
    ::SendMessageW(hDlg, WM_COMMAND, MAKEWPARAM(IDC_DEV_APPLY, BN_CLICKED), 0);
    ASSERT_TRUE(pDlg->IsProbing());
    pDlg.reset();
    PumpFor(CAddressProbe::ECHO_TIMEOUT_MS + 300);
    EXPECT_TRUE(AllSetInfo().empty());
    const HWND hBox = ::FindWindowW(L"#32770", L"提示");
    EXPECT_FALSE(hBox && ::IsWindowVisible(hBox));
}

} // namespace
