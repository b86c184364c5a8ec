// The single-camera settings dialog in process: what "Do Setting" puts on the wire, read back from
// the camera simulator's log and from the simulated camera itself.
#include "SettingsTestSupport.h"

#include "app/DeviceSetDlg.h"
#include "app/resource.h"

#include <cstring>
#include <memory>

namespace {

class DeviceSetDlg : public CSettingsDlgTest<CDeviceSetDlg> {
  protected:
    // "Do Setting" as the button sends it; returns the texts of the boxes it showed.
    std::vector<std::wstring> DoSetting(const wchar_t* caption = L"提示")
    {
        EXPECT_TRUE(m_sim.ClearLog());
        CMessageBoxCatcher boxes(Dlg(), caption);
        Command(IDC_DEV_APPLY);
        // A new address is asked on the network first; the setting goes out after.
        EXPECT_TRUE(PumpUntil([] { return !s_pDlg->IsProbing(); }, 5000));
        return boxes.Texts();
    }
};

TEST_F(DeviceSetDlg, UnchangedDialogSendsTheLoadedRecordAgainAndTheCameraAppliesIt)
{
    const std::string id = "a1b2c3d4e5f6";
    const std::vector<std::uint8_t> image = m_sim.Image(id);
    ASSERT_EQ(image.size(), MESSAGE_SIZE);
    const std::string utf8Name = FieldText(image, 28, 20);
    ASSERT_EQ(utf8Name, "\xE5\x89\x8D\xE9\x97\xA8"); // 前门, as the camera sends it
    ASSERT_NE(std::vector<std::uint8_t>(image.begin() + 16, image.begin() + 28),
              std::vector<std::uint8_t>(12, 0));
    DeviceRecord record = RecordOf(id);
    ASSERT_EQ(ReadTextField(record.message.name), Utf8ToAnsi(utf8Name)); // held in code page 936

    s_pDlg->LoadDevice(&record);
    EXPECT_EQ(Item(IDC_DEV_CURRENT), L"前门(a1b2c3d4e5f6)");
    EXPECT_EQ(Item(IDC_DEV_NAME), L"前门");
    EXPECT_EQ(Item(IDC_DEV_LAN_IP), L"198.18.1.131");

    EXPECT_EQ(DoSetting(), std::vector<std::wstring>{L"设置已发送。摄像头是否已采用，请看状态行。"});
    const std::vector<std::uint8_t> expected = ExpectedWire(record, utf8Name);
    const auto sent = SetInfoFor(id, 2);
    ASSERT_EQ(sent.size(), 2u) << "one datagram per usable interface";
    for (const CamSimLogEntry& entry : sent) {
        EXPECT_EQ(entry.senderPort, 50504);
        ASSERT_EQ(entry.bytes.size(), MESSAGE_SIZE);
        for (std::size_t i = 0; i < MESSAGE_SIZE; ++i)
            ASSERT_EQ(entry.bytes[i], expected[i]) << "byte " << i;
    }
    EXPECT_EQ(std::memcmp(expected.data() + 4, "HdvsSetInfo\0", 12), 0);

    // The camera took the block (the simulator answers with type 87 again).
    std::vector<std::uint8_t> applied = expected;
    applied[0] = MSG_INFO;
    EXPECT_EQ(m_sim.Image(id), applied);
}

TEST_F(DeviceSetDlg, TypedValuesLandAtTheirOffsetsWithTheirWidths)
{
    const std::string id = "b20000000001";
    DeviceRecord record = RecordOf(id);
    record.message.ssid[127] = 'Q'; // the 128th ssid byte is never written
    record.message.lanDhcp = record.message.wifiDhcp = record.message.apMode = 0;
    record.message.encryptType = 0;
    s_pDlg->LoadDevice(&record);

    struct Field {
        int nID;
        std::string typed;
        std::size_t offset, width;
        std::string expected; // the field's bytes up to the first zero (or the whole field)
    };
    const std::string ssid130(130, 's');
    const Field fields[] = {
        // Addresses go out without leading zeros, which a camera could read as octal.
        {IDC_DEV_LAN_IP, "198.018.001.020", 76, 16, "198.18.1.20"},
        {IDC_DEV_LAN_MASK, "255.255.255.0", 92, 16, "255.255.255.0"},
        {IDC_DEV_LAN_GATEWAY, "198.18.1.254", 108, 16, "198.18.1.254"},
        {IDC_DEV_LAN_DNS, "8.8.4.4", 172, 16, "8.8.4.4"},
        {IDC_DEV_WIFI_IP, "198.018.002.200", 364, 20, "198.18.2.200"},
        {IDC_DEV_WIFI_MASK, "255.255.0.0", 580, 16, "255.255.0.0"},
        {IDC_DEV_WIFI_GATEWAY, "198.18.2.254", 596, 16, "198.18.2.254"},
        {IDC_DEV_WIFI_DNS, "1.1.1.1", 612, 16, "1.1.1.1"},
        {IDC_DEV_AP_PASSWORD, std::string(30, 'p'), 256, 28, std::string(28, 'p')},
        {IDC_DEV_SSID, ssid130, 384, 127, std::string(127, 's')},
        {IDC_DEV_WIFI_PASSWORD, "secret pass", 512, 64, "secret pass"},
        {IDC_DEV_NAME, "Lobby West", 28, 20, "Lobby West"},
    };
    for (const Field& field : fields)
        Type(field.nID, std::wstring(field.typed.begin(), field.typed.end()));
    ::CheckDlgButton(Dlg(), IDC_DEV_LAN_DHCP, BST_CHECKED);
    ::CheckDlgButton(Dlg(), IDC_DEV_WIFI_DHCP, BST_CHECKED);
    ::CheckDlgButton(Dlg(), IDC_DEV_AP_MODE, BST_CHECKED);
    ::SendDlgItemMessageW(Dlg(), IDC_DEV_ENCRYPT, CB_SETCURSEL, 2, 0);

    DoSetting();
    EXPECT_EQ(Item(IDC_DEV_CURRENT), L"Lobby West(b20000000001)");
    const auto sent = SetInfoFor(id, 2);
    ASSERT_FALSE(sent.empty());
    const std::vector<std::uint8_t>& bytes = sent.front().bytes;
    ASSERT_EQ(bytes.size(), MESSAGE_SIZE);
    for (const Field& field : fields) {
        std::vector<std::uint8_t> want(field.width, 0);
        std::memcpy(want.data(), field.expected.data(), field.expected.size());
        EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + field.offset,
                                            bytes.begin() + field.offset + field.width),
                  want)
            << "control " << field.nID;
    }
    EXPECT_EQ(bytes[511], 'Q');
    auto int32At = [&bytes](std::size_t offset) {
        std::int32_t value;
        std::memcpy(&value, bytes.data() + offset, 4);
        return value;
    };
    EXPECT_EQ(int32At(156), 1); // lanDhcp
    EXPECT_EQ(int32At(352), 1); // wifiDhcp
    EXPECT_EQ(int32At(356), 1); // apMode
    EXPECT_EQ(int32At(360), 2); // WPA2-PSK
    // What was not edited is the record's.
    const auto* original = reinterpret_cast<const std::uint8_t*>(&record.message);
    for (std::size_t i : {16u, 27u, 48u, 75u, 124u, 140u, 145u, 188u, 248u, 288u, 628u, 1087u})
        EXPECT_EQ(bytes[i], original[i]) << "byte " << i;

    // Unchecking sends zeros; the dialog keeps its edited copy, so a second "Do Setting" sends
    // the same values again.
    ::CheckDlgButton(Dlg(), IDC_DEV_AP_MODE, BST_UNCHECKED);
    DoSetting();
    const auto again = SetInfoFor(id, 1);
    ASSERT_FALSE(again.empty());
    EXPECT_EQ(FieldText(again.front().bytes, 28, 20), "Lobby West");
    EXPECT_EQ(FieldText(again.front().bytes, 76, 16), "198.18.1.20");
    std::int32_t apMode;
    std::memcpy(&apMode, again.front().bytes.data() + 356, 4);
    EXPECT_EQ(apMode, 0);
    EXPECT_EQ(s_pDlg->GetDevice().message.apMode, 0);
}

// Names go through code page 936 to UTF-8 and are cut at a character boundary to 19 bytes.
TEST_F(DeviceSetDlg, NamesReachTheCameraThroughTheCodePageAndFitTheirField)
{
    const std::string id = "c30000000002";
    DeviceRecord record = RecordOf(id);
    struct Case {
        std::wstring typed;
        std::string wire;     // UTF-8 in the name field
        std::wstring current; // the current-camera line's name
    };
    const Case cases[] = {
        // U+0E01 is not in code page 936: it arrives as the code page's default character.
        {L"Cam\u0E01X", "Cam?X", L"Cam\u0E01X"},
        // 19 Chinese characters need 57 UTF-8 bytes: six whole characters (18 bytes) fit.
        {L"一二三四五六七八九十甲乙丙丁戊己庚辛壬", "一二三四五六",
         L"一二三四五六七八九十甲乙丙丁戊己庚辛壬"},
        // 3 + 17 bytes: the last ASCII letter goes, the Chinese character stays whole.
        {L"门ABCDEFGHIJKLMNOPQ", "门ABCDEFGHIJKLMNOP", L"门ABCDEFGHIJKLMNOPQ"},
        // The edit hands over 19 characters.
        {L"ABCDEFGHIJKLMNOPQRSTUVW", "ABCDEFGHIJKLMNOPQRS", L"ABCDEFGHIJKLMNOPQRS"},
        {L"", "", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.wire);
        s_pDlg->LoadDevice(&record);
        Type(IDC_DEV_NAME, c.typed);
        DoSetting();
        EXPECT_EQ(Item(IDC_DEV_CURRENT), c.current + L"(c30000000002)");
        const auto sent = SetInfoFor(id, 2);
        ASSERT_EQ(sent.size(), 2u);
        const std::vector<std::uint8_t>& bytes = sent.front().bytes;
        std::vector<std::uint8_t> name(20, 0);
        std::memcpy(name.data(), c.wire.data(), c.wire.size());
        EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 28, bytes.begin() + 48), name);
        // ackTag and lanIp are the record's.
        const auto* original = reinterpret_cast<const std::uint8_t*>(&record.message);
        EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 48, bytes.begin() + 92),
                  std::vector<std::uint8_t>(original + 48, original + 92));
    }
}

TEST_F(DeviceSetDlg, LoadingShowsEveryFieldAndAnUnknownEncryptionAsWep)
{
    DeviceRecord record = MadeUpRecord("d40000000003", "198.18.1.77", "Warehouse-2");
    WriteTextField(record.message.wifiIp, "198.018.002.077.0001"); // fills its 20 bytes
    WriteTextField(record.message.wifiPassword, "wpass");
    record.message.encryptType = 7;
    record.message.lanDhcp = 1;
    record.message.wifiDhcp = 0;
    record.message.apMode = 5;
    s_pDlg->LoadDevice(&record);
    EXPECT_EQ(Item(IDC_DEV_LAN_IP), L"198.18.1.77");
    EXPECT_EQ(Item(IDC_DEV_WIFI_IP), L"198.018.002.077.0001");
    EXPECT_EQ(Item(IDC_DEV_WIFI_PASSWORD), L"wpass");
    EXPECT_EQ(Item(IDC_DEV_NAME), L"Warehouse-2");
    EXPECT_EQ(::IsDlgButtonChecked(Dlg(), IDC_DEV_LAN_DHCP), static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(::IsDlgButtonChecked(Dlg(), IDC_DEV_WIFI_DHCP), static_cast<UINT>(BST_UNCHECKED));
    EXPECT_EQ(::IsDlgButtonChecked(Dlg(), IDC_DEV_AP_MODE), static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(::SendDlgItemMessageW(Dlg(), IDC_DEV_ENCRYPT, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(::SendDlgItemMessageW(Dlg(), IDC_DEV_ENCRYPT, CB_GETCOUNT, 0, 0), 4);
    EXPECT_EQ(std::memcmp(&s_pDlg->GetDevice(), &record, sizeof record), 0);

    // A null record changes nothing.
    s_pDlg->LoadDevice(nullptr);
    EXPECT_EQ(Item(IDC_DEV_LAN_IP), L"198.18.1.77");
    EXPECT_EQ(std::memcmp(&s_pDlg->GetDevice(), &record, sizeof record), 0);

    // The current-camera line: bold, height 14.
    LOGFONTW lf{};
    HFONT hFont = reinterpret_cast<HFONT>(::SendDlgItemMessageW(Dlg(), IDC_DEV_CURRENT, WM_GETFONT, 0, 0));
    ASSERT_TRUE(::GetObjectW(hFont, sizeof lf, &lf));
    EXPECT_EQ(lf.lfWeight, FW_BOLD);
    EXPECT_EQ(lf.lfHeight, 14);
}

// Every address is read strictly before anything is sent; one that does not read is refused with
// its field named, and the dialog's copy stays as it was. Empty is allowed for DNS, the WiFi side,
// and the wired address and mask under DHCP.
TEST_F(DeviceSetDlg, AnAddressThatDoesNotReadIsRefusedByNameAndNothingIsSent)
{
    const std::string id = "c90000000008";
    DeviceRecord record = RecordOf(id);
    record.message.lanDhcp = record.message.wifiDhcp = 0;
    const std::wstring tail =
        L"不是有效的 IP 地址：应为用点隔开的四个 0 到 255 的十进制数，如 192.168.1.20。没有发送任何设置。";
    const struct {
        int nID;
        const wchar_t* typed;
        bool bLanDhcp;
        int nLang;
        std::wstring box; // empty: sent
    } cases[] = {
        {IDC_DEV_LAN_IP, L"192.168.1", false, 0, L"“有线网络 IP地址”" + tail},
        {IDC_DEV_LAN_IP, L"", false, 0, L"“有线网络 IP地址”" + tail},
        {IDC_DEV_LAN_IP, L"١٩٨.18.1.5", false, 0, L"“有线网络 IP地址”" + tail},
        {IDC_DEV_LAN_IP, L"", true, 0, L""},
        {IDC_DEV_LAN_IP, L"camera", true, 0, L"“有线网络 IP地址”" + tail},
        {IDC_DEV_LAN_MASK, L"255.255.255.256", false, 0, L"“有线网络 掩码”" + tail},
        {IDC_DEV_LAN_GATEWAY, L"198.18.1.x", false, 0, L"“有线网络 网关”" + tail},
        {IDC_DEV_LAN_DNS, L"", false, 0, L""},
        {IDC_DEV_WIFI_IP, L"", false, 0, L""},
        {IDC_DEV_WIFI_GATEWAY, L"198.18.2", false, 0, L"“WiFi网络 网关”" + tail},
        {IDC_DEV_WIFI_DNS, L"x", false, 1,
         L"\"WiFi DNS\" is not a valid IP address: it must be four numbers from 0 to 255 separated by dots, "
         L"such as 192.168.1.20. Nothing was sent."},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE("case " + std::to_string(i));
        CMyDialog::SetGlobalLanguage(c.nLang);
        s_pDlg->LoadDevice(&record);
        ::CheckDlgButton(Dlg(), IDC_DEV_LAN_DHCP, c.bLanDhcp ? BST_CHECKED : BST_UNCHECKED);
        Type(c.nID, c.typed);
        const std::vector<std::wstring> boxes = DoSetting(c.nLang == 0 ? L"提示" : L"Message");
        if (c.box.empty()) {
            EXPECT_EQ(boxes, std::vector<std::wstring>{L"设置已发送。摄像头是否已采用，请看状态行。"});
            const auto sent = SetInfoFor(id, 1);
            ASSERT_FALSE(sent.empty());
            EXPECT_EQ(FieldText(sent.front().bytes,
                                c.nID == IDC_DEV_WIFI_IP   ? 364
                                : c.nID == IDC_DEV_LAN_DNS ? 172
                                                           : 76,
                                16),
                      "");
        } else {
            EXPECT_EQ(boxes, std::vector<std::wstring>{c.box});
            PumpFor(300);
            EXPECT_TRUE(AllSetInfo().empty()) << "sent though refused";
            EXPECT_EQ(std::memcmp(&s_pDlg->GetDevice(), &record, sizeof record), 0);
        }
    }
}

// Every text of both languages is checked in LanguageTableTest.cpp; here the box after sending
// follows the language the dialog was switched to.
TEST_F(DeviceSetDlg, InEnglishDoSettingSaysItSentInEnglish)
{
    DeviceRecord record = RecordOf("d40000000003");
    s_pDlg->LoadDevice(&record);
    CMyDialog::SetGlobalLanguage(1);
    Pump();
    EXPECT_EQ(DoSetting(L"Message"),
              std::vector<std::wstring>{
                  L"The settings were sent. The status line shows whether the camera took them."});
    EXPECT_FALSE(SetInfoFor("d40000000003", 1).empty());
}

} // namespace
