// The group dialog over several passes and against what the operator types: the record copies
// follow what was sent and what the cameras answer, kept names go out as the cameras' own bytes
// (this program also runs under code page 1252), fields and cells that are no address are
// refused by name, and computed addresses that collide are marked.
#include "GroupSetTestSupport.h"

#include "base/TextConvert.h"

#include <cstring>
#include <map>

namespace {

class GroupSetPass : public CGroupSetDlgTest {
  protected:
    // The fields of a pass's message for one camera (the first copy the simulator logged).
    struct Sent {
        std::string lanIp, lanGateway;
        std::vector<std::uint8_t> name; // all 20 bytes
    };
    Sent SentTo(const std::string& id)
    {
        const auto sent = SetInfoFor(id, 1, 2000);
        if (sent.empty() || sent.front().bytes.size() != MESSAGE_SIZE) {
            ADD_FAILURE() << "nothing sent to " << id;
            return {};
        }
        const std::vector<std::uint8_t>& b = sent.front().bytes;
        return {FieldText(b, 76, 16), FieldText(b, 108, 16),
                std::vector<std::uint8_t>(b.begin() + 28, b.begin() + 48)};
    }
    static std::vector<std::uint8_t> NameBytes(const std::string& text)
    {
        std::vector<std::uint8_t> bytes(20, 0);
        std::memcpy(bytes.data(), text.data(), std::min<std::size_t>(text.size(), 20));
        return bytes;
    }
    // Runs "Apply" and returns the boxes it showed (caption of the current language).
    std::vector<std::wstring> Apply(const wchar_t* caption = L"提示")
    {
        CMessageBoxCatcher boxes(Dlg(), caption);
        Command(IDC_GRP_APPLY);
        PumpFor(100);
        return boxes.Texts();
    }
    bool Marked(int nRow) const
    {
        return s_pDlg->GetList()->GetCellTextColor(nRow, 1) == CGroupSetDlg::CONFLICT_TEXT;
    }
};

// Addresses first, then names with "Not modify IP", then addresses with "Not modify Name": each
// pass keeps what the one before it sent, so the cameras end on the first pass's addresses with
// the second pass's names.
TEST_F(GroupSetPass, EachPassKeepsWhatThePassBeforeItSent)
{
    const std::vector<std::string> ids = {"a1b2c3d4e5f6", "b20000000001"};
    Load({RecordOf(ids[0]), RecordOf(ids[1])});
    Type(IDC_GRP_START_IP, L"198.18.1.210");
    Type(IDC_GRP_GATEWAY, L"198.18.1.254");
    Type(IDC_GRP_NAME, L"Cam");
    EXPECT_TRUE(Apply().empty());
    ListView_SetItemText(List(), 0, 3, const_cast<LPWSTR>(L"大门"));
    ListView_SetItemText(List(), 1, 3, const_cast<LPWSTR>(L"Hall"));
    ::CheckDlgButton(Dlg(), IDC_GRP_KEEP_NAME, BST_CHECKED);
    EXPECT_EQ(SendAll().size(), 1u);
    for (std::size_t i = 0; i < ids.size(); ++i)
        EXPECT_EQ(SentTo(ids[i]).lanIp, "198.18.1.21" + std::to_string(i));

    // Second pass: names only, the address cells typed over (they must not be sent).
    ::CheckDlgButton(Dlg(), IDC_GRP_KEEP_NAME, BST_UNCHECKED);
    ::CheckDlgButton(Dlg(), IDC_GRP_KEEP_IP, BST_CHECKED);
    ListView_SetItemText(List(), 0, 1, const_cast<LPWSTR>(L"198.18.1.99"));
    EXPECT_EQ(SendAll().size(), 1u);
    // Typed names go through the ANSI code page (what it lacks becomes "?").
    std::vector<std::uint8_t> typedNames[2];
    for (std::size_t i = 0; i < 2; ++i) {
        char utf8[20] = {};
        TextWideToAnsiUtf8Fit(i == 0 ? L"大门" : L"Hall", utf8, sizeof utf8);
        typedNames[i] = NameBytes(utf8);
    }
    for (std::size_t i = 0; i < ids.size(); ++i) {
        SCOPED_TRACE(ids[i]);
        const Sent sent = SentTo(ids[i]);
        EXPECT_EQ(sent.lanIp, "198.18.1.21" + std::to_string(i));
        EXPECT_EQ(sent.lanGateway, "198.18.1.254");
        EXPECT_EQ(sent.name, typedNames[i]);
        const std::vector<std::uint8_t> image = m_sim.Image(ids[i]);
        EXPECT_EQ(FieldText(image, 76, 16), "198.18.1.21" + std::to_string(i)) << "the camera went back";
        // The copy holds the name as a reply with it would be held.
        const DeviceRecord* pCopy = s_pDlg->FindRecord(ids[i]);
        ASSERT_NE(pCopy, nullptr);
        EXPECT_EQ(std::vector<std::uint8_t>(pCopy->wireName, pCopy->wireName + 20), typedNames[i]);
        EXPECT_EQ(ReadTextField(pCopy->message.name),
                  Utf8ToAnsi(std::string(reinterpret_cast<const char*>(typedNames[i].data()))));
        EXPECT_EQ(pCopy->message.type, MSG_INFO);
    }

    // Third pass: addresses again, names kept: the second pass's names go out.
    ::CheckDlgButton(Dlg(), IDC_GRP_KEEP_IP, BST_UNCHECKED);
    ::CheckDlgButton(Dlg(), IDC_GRP_KEEP_NAME, BST_CHECKED);
    Type(IDC_GRP_START_IP, L"198.18.1.220");
    EXPECT_TRUE(Apply().empty());
    EXPECT_EQ(SendAll().size(), 1u);
    for (std::size_t i = 0; i < ids.size(); ++i) {
        SCOPED_TRACE(ids[i]);
        const Sent sent = SentTo(ids[i]);
        EXPECT_EQ(sent.lanIp, "198.18.1.22" + std::to_string(i));
        EXPECT_EQ(sent.name, typedNames[i]);
    }
}

// A reply the main window lists replaces the camera's copy, once the check listens for that
// camera; one that may have left the camera before it applied the pass is no proof, and neither
// is the main window's row of it handed over again.
TEST_F(GroupSetPass, AListedReplyReplacesTheCopyOnceTheCheckListens)
{
    const std::vector<DeviceRecord> records = {MadeUpRecord("e50000000001", "198.18.1.150", "R1"),
                                               MadeUpRecord("e50000000002", "198.18.1.151", "R2")};
    Load(records);
    Command(IDC_GRP_UNCHECK_ALL);
    SetChecked(0, true);
    ListView_SetItemText(List(), 0, 1, const_cast<LPWSTR>(L"198.18.1.160"));
    EXPECT_EQ(SendAll().size(), 1u);

    auto reply = [](const DeviceRecord& from, const char* ip, const char* name) {
        DeviceRecord record = from;
        WriteTextField(record.message.lanIp, ip);
        WriteConvertedName(record.message, name);
        std::memset(record.wireName, 0, sizeof record.wireName);
        std::memcpy(record.wireName, name, std::strlen(name));
        return record;
    };
    // Before the settle delay: an old reply (the camera had not applied yet) changes nothing.
    s_pDlg->OnCameraReported(reply(records[0], "198.18.1.150", "R1"));
    ASSERT_NE(s_pDlg->FindRecord("e50000000001"), nullptr);
    EXPECT_EQ(ReadTextField(s_pDlg->FindRecord("e50000000001")->message.lanIp), "198.18.1.160");
    // So does the main window's row handed over again (its reply came before the change).
    Load(records);
    EXPECT_EQ(ReadTextField(s_pDlg->FindRecord("e50000000001")->message.lanIp), "198.18.1.160");
    EXPECT_EQ(CellText(List(), 0, 1), L"198.18.1.160");
    SetChecked(1, false);
    // A camera that was sent nothing takes its reply at once (letter case of idSerial ignored).
    DeviceRecord other = reply(records[1], "198.18.1.171", "Other");
    WriteTextField(other.message.idSerial, "E50000000002");
    s_pDlg->OnCameraReported(other);
    EXPECT_EQ(std::memcmp(s_pDlg->FindRecord("e50000000002"), &other, sizeof other), 0);

    // The settle delay passes and the cameras are asked again: a reply to that request is what the
    // camera holds, one stamped with an earlier scan is not.
    CChangeCheck& check = s_pDlg->GetChangeCheck();
    check.Tick(::GetTickCount() + CChangeCheck::SETTLE_MS + 100);
    check.OnScanStarted(7, false);
    DeviceRecord early = reply(records[0], "198.18.1.150", "Early");
    early.scanId = 6;
    s_pDlg->OnCameraReported(early);
    EXPECT_EQ(ReadTextField(s_pDlg->FindRecord("e50000000001")->message.lanIp), "198.18.1.160");
    DeviceRecord answered = reply(records[0], "198.18.1.161", "Answered");
    answered.scanId = 7;
    check.OnCameraReported(answered);
    s_pDlg->OnCameraReported(answered);
    EXPECT_EQ(std::memcmp(s_pDlg->FindRecord("e50000000001"), &answered, sizeof answered), 0);

    // A pass with "Not modify IP" sends the answered address.
    ::CheckDlgButton(Dlg(), IDC_GRP_KEEP_IP, BST_CHECKED);
    EXPECT_EQ(SendAll().size(), 1u);
    const Sent sent = SentTo("e50000000001");
    EXPECT_EQ(sent.lanIp, "198.18.1.161");
    check.Cancel();
}

// "Not modify Name" sends the name field's bytes as the camera sent them, whatever the ANSI code
// page can hold: Chinese under 1252, an emoji under either, and a name filling all 20 bytes.
TEST_F(GroupSetPass, KeptNamesGoOutAsTheBytesTheCameraSent)
{
    const std::vector<std::string> names = {"前门", "Cam\xF0\x9F\x98\x80", "ABCDEFGHIJKLMNOPQRST",
                                            "Caf\xC3\xA9 \xD0\x9A\xD0\xB0\xD0\xBC"};
    std::vector<DeviceRecord> records;
    for (std::size_t i = 0; i < names.size(); ++i) {
        DeviceRecord record =
            MadeUpRecord("e6000000000" + std::to_string(i), "198.18.1." + std::to_string(140 + i), "");
        std::memcpy(record.wireName, names[i].data(), std::min<std::size_t>(names[i].size(), 20));
        // As the discovery engine holds a received name: converted to the ANSI code page.
        char ansi[20];
        TextUtf8ToAnsiFit(record.wireName, sizeof record.wireName, ansi, sizeof ansi);
        WriteConvertedName(record.message, ansi);
        records.push_back(record);
    }
    Load(records);
    ::CheckDlgButton(Dlg(), IDC_GRP_KEEP_NAME, BST_CHECKED);
    EXPECT_EQ(SendAll().size(), 1u);
    for (std::size_t i = 0; i < names.size(); ++i) {
        SCOPED_TRACE("code page " + std::to_string(::GetACP()) + ", name " + std::to_string(i));
        EXPECT_EQ(SentTo("e6000000000" + std::to_string(i)).name, NameBytes(names[i]));
    }
}

TEST_F(GroupSetPass, ApplyRefusesFieldsThatDoNotReadAndNamesThem)
{
    const std::wstring addressZh =
        L"不是有效的 IP 地址：应为用点隔开的四个 0 到 255 的十进制数，如 192.168.1.20。";
    const std::wstring startZh = L"“起始IP”" + addressZh, gatewayZh = L"“网关”" + addressZh;
    const std::wstring stepZh = L"“步长”必须是 0 到 255 之间的整数。";
    const std::wstring lastZh = L"“起始IP”的最后一段必须在 1 到 254 之间（以 0 或 255 结尾的不是设备地址）。";
    const struct {
        const wchar_t* start;
        const wchar_t* step;
        const wchar_t* gateway;
        int nLang;
        std::wstring box;
    } cases[] = {
        {L"10.0.0.x", L"1", L"10.0.0.254", 0, startZh},
        {L"192.168.1", L"1", L"10.0.0.254", 0, startZh},                  // never read as 192.168.0.1
        {L"\uFF11\uFF19\uFF12.168.1.5", L"1", L"10.0.0.254", 0, startZh}, // full-width digits
        {L"192.168.1.0", L"1", L"10.0.0.254", 0, lastZh},
        {L"255.255.255.255", L"0", L"10.0.0.254", 0, lastZh},
        {L"10.0.0.1", L"", L"10.0.0.254", 0, stepZh},
        {L"10.0.0.1", L"256", L"10.0.0.254", 0, stepZh},
        {L"10.0.0.1", L"-1", L"10.0.0.254", 0, stepZh},
        {L"10.0.0.1", L"\u0663", L"10.0.0.254", 0, stepZh}, // Arabic-Indic three
        {L"10.0.0.1", L"1", L"GW", 0, gatewayZh},
        {L"10.0.0.1", L"1", L"10.0.0.256", 0, gatewayZh},
        {L"10.0.0", L"1", L"10.0.0.254", 1,
         L"\"IP From\" is not a valid IP address: it must be four numbers from 0 to 255 separated by dots, "
         L"such as 192.168.1.20."},
        {L"10.0.0.1", L"300", L"10.0.0.254", 1, L"\"Step\" must be a whole number from 0 to 255."},
        {L"10.0.0.1", L"1", L"10.0.0", 1,
         L"\"Gate Way\" is not a valid IP address: it must be four numbers from 0 to 255 separated by "
         L"dots, such as 192.168.1.20."},
    };
    const std::vector<DeviceRecord> records = {MadeUpRecord("e70000000001", "198.18.1.51", "A"),
                                               MadeUpRecord("e70000000002", "198.18.1.52", "B")};
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE("case " + std::to_string(i));
        CMyDialog::SetGlobalLanguage(c.nLang);
        Load(records);
        const auto before = std::vector<std::vector<std::wstring>>{Cells(0), Cells(1)};
        Type(IDC_GRP_START_IP, c.start);
        Type(IDC_GRP_STEP, c.step);
        Type(IDC_GRP_GATEWAY, c.gateway);
        Type(IDC_GRP_NAME, L"N");
        EXPECT_EQ(Apply(c.nLang == 0 ? L"提示" : L"Message"), std::vector<std::wstring>{c.box});
        EXPECT_EQ((std::vector<std::vector<std::wstring>>{Cells(0), Cells(1)}), before) << "nothing changes";
    }
}

// Computed addresses given twice, or held by another listed camera now (even one this "Apply"
// re-addresses: it keeps its address until its own message applies).
TEST_F(GroupSetPass, ApplyMarksAddressesGivenTwiceOrStillHeldByAnotherCamera)
{
    Load({MadeUpRecord("e80000000001", "198.18.1.40", "A"), MadeUpRecord("e80000000002", "198.18.1.41", "B"),
          MadeUpRecord("e80000000003", "198.18.1.42", "C")});
    Type(IDC_GRP_GATEWAY, L"198.18.1.254");
    const struct {
        const wchar_t* start;
        const wchar_t* step;
        std::vector<int> marked;
        const char* why;
    } cases[] = {
        {L"198.18.1.41", L"1", {0, 1}, "shifted by one: .41 and .42 are still held"},
        {L"198.18.1.40", L"1", {}, "each camera keeps its own address"},
        {L"198.18.1.60", L"0", {0, 1, 2}, "step 0: one address for all"},
        {L"198.18.1.40", L"0", {0, 1, 2}, "step 0 on the first camera's own address"},
        {L"198.18.1.60", L"2", {}, "nothing taken: the marks go"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        Type(IDC_GRP_START_IP, c.start);
        Type(IDC_GRP_STEP, c.step);
        const std::vector<std::wstring> boxes = Apply();
        EXPECT_EQ(s_pDlg->GetAddressConflicts(), static_cast<int>(c.marked.size()));
        for (int nRow = 0; nRow < 3; ++nRow)
            EXPECT_EQ(Marked(nRow), std::count(c.marked.begin(), c.marked.end(), nRow) == 1)
                << "row " << nRow;
        if (c.marked.empty()) {
            EXPECT_TRUE(boxes.empty());
        } else {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].rfind(std::to_wstring(c.marked.size()) + L" 个计算出的地址", 0), 0u)
                << boxes[0];
        }
    }
}

// An address or gateway cell that does not read stops the pass before anything is sent, and the
// box names the row and the column; with "Not modify IP" the cells are not read at all.
TEST_F(GroupSetPass, ACellThatIsNoAddressStopsThePassAndIsNamed)
{
    const std::vector<DeviceRecord> records = {MadeUpRecord("e90000000001", "198.18.1.71", "A"),
                                               MadeUpRecord("e90000000002", "198.18.1.72", "B"),
                                               MadeUpRecord("e90000000003", "198.18.1.73", "C")};
    const struct {
        int nRow, nCol;
        const wchar_t* cell;
        int nLang;
        std::wstring box;
    } cases[] = {
        {1, 1, L"198.18.1.7x", 0,
         L"“第 1 行（e90000000002）的IP地址”不是有效的 IP 地址：应为用点隔开的四个 0 到 255 的十进制数，如 "
         L"192.168.1.20。没有发送任何设置。"},
        {2, 2, L"", 1,
         L"\"GateWay of row 2 (e90000000003)\" is not a valid IP address: it must be four numbers from 0 to "
         L"255 separated by dots, such as 192.168.1.20. Nothing was sent."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nRow);
        CMyDialog::SetGlobalLanguage(c.nLang);
        Load(records);
        ListView_SetItemText(List(), c.nRow, c.nCol, const_cast<LPWSTR>(c.cell));
        EXPECT_EQ(SendAll(c.nLang == 0 ? L"提示" : L"Message"), std::vector<std::wstring>{c.box});
        EXPECT_EQ(s_pDlg->GetLastSentCount(), 0);
        PumpFor(200);
        EXPECT_TRUE(AllSetInfo().empty());
    }

    // Not read with "Not modify IP"; a cell with leading zeros goes out as the camera must read it.
    CMyDialog::SetGlobalLanguage(0);
    ::CheckDlgButton(Dlg(), IDC_GRP_KEEP_IP, BST_CHECKED);
    EXPECT_EQ(SendAll(), std::vector<std::wstring>{L"完成 3 个设备信息设置！"});
    ::CheckDlgButton(Dlg(), IDC_GRP_KEEP_IP, BST_UNCHECKED);
    Load(records);
    ListView_SetItemText(List(), 0, 1, const_cast<LPWSTR>(L"198.018.001.080"));
    EXPECT_EQ(SendAll(), std::vector<std::wstring>{L"完成 3 个设备信息设置！"});
    EXPECT_EQ(SentTo("e90000000001").lanIp, "198.18.1.80");
}

} // namespace
