// The camera rows with devices of other makers (WS-Discovery), without a window: a row per
// endpoint with its columns, a Bye removing it, merging with this maker's camera of the same MAC
// or address (and not when their MACs differ), a camera's change of address giving the device its
// row back, Clear, the bound on devices, and the rows' index after removals and sorting.
#include "app/CameraRows.h"
#include "app/OnvifRows.h"
#include "protocol/OnvifDevice.h"
#include "protocol/WireMessage.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using Texts = std::array<std::wstring, CCameraRows::COLUMN_COUNT>;

OnvifDevice Device(const std::string& endpoint, const std::string& address, const std::string& mac = "",
                   const std::string& name = "", const std::string& hardware = "")
{
    OnvifDevice device;
    device.endpoint = endpoint;
    device.address = address;
    device.xaddr = address.empty() ? "" : "http://" + address + "/onvif/device_service";
    device.mac = mac;
    device.name = name;
    device.hardware = hardware;
    return device;
}

OnvifAnnouncement News(OnvifNews kind, const OnvifDevice& device)
{
    OnvifAnnouncement news;
    news.kind = kind;
    news.device = device;
    return news;
}

OnvifAnnouncement Bye(const std::string& endpoint)
{
    OnvifDevice device;
    device.endpoint = endpoint;
    return News(OnvifNews::Bye, device);
}

class OnvifRowsTest : public testing::Test {
  protected:
    // A camera of this maker, listed as the receive pass lists it (the table keeps the record).
    DeviceRecord* Camera(const std::string& id, const std::string& ip, std::uint8_t macLast)
    {
        auto record = std::make_unique<DeviceRecord>();
        std::memset(record.get(), 0, sizeof *record);
        WriteTextField(record->sourceIp, ip);
        WriteTextField(record->message.lanIp, ip);
        WriteTextField(record->message.idSerial, id);
        const std::uint8_t mac[6] = {0x00, 0x12, 0x34, 0x56, 0x78, macLast};
        std::memcpy(record->message.lanMac, mac, 6);
        record->message.wifiMac[0] = 0x02;
        record->message.wifiMac[5] = macLast;
        m_table.push_back(std::move(record));
        m_rows.Show({{m_table.back().get(), true}});
        m_rows.SyncList();
        return m_table.back().get();
    }
    void Readdress(DeviceRecord* pRecord, const std::string& ip)
    {
        WriteTextField(pRecord->sourceIp, ip);
        WriteTextField(pRecord->message.lanIp, ip);
        m_rows.Show({{pRecord, false}});
        m_rows.SyncList();
    }
    void Hear(const std::vector<OnvifAnnouncement>& batch)
    {
        m_rows.ShowOnvif(batch);
        m_rows.SyncList();
    }
    // The row whose identity column reads `text`, or -1.
    int RowOf(const std::wstring& identity) const
    {
        for (int row = 0; row < m_rows.GetRowCount(); ++row)
            if (m_rows.GetCellText(row, 3) == identity)
                return row;
        return -1;
    }
    int OnvifRowCount() const
    {
        int n = 0;
        for (int row = 0; row < m_rows.GetRowCount(); ++row)
            n += m_rows.IsOnvifRow(row);
        EXPECT_EQ(m_rows.GetOnvifRowCount(), n) << "the count kept beside the rows";
        return n;
    }
    Texts TextsAt(int nRow) const
    {
        Texts texts;
        for (int col = 0; col < CCameraRows::COLUMN_COUNT; ++col)
            texts[static_cast<size_t>(col)] = m_rows.GetCellText(nRow, col);
        return texts;
    }

    std::vector<std::unique_ptr<DeviceRecord>> m_table;
    CCameraRows m_rows;
};

TEST_F(OnvifRowsTest, ADeviceIsOneReadOnlyRowWithItsColumnsWhateverItAnnouncesAgain)
{
    // A Chinese name longer than the record's 20-byte field, sent as UTF-8 (and percent-decoded
    // by the receiver), is shown whole.
    const std::string name = "\xE5\xA4\xA7\xE9\x97\xA8\xE5\x8C\x97\xE4\xBE\xA7\xE4\xB8\x80\xE5\x8F\xB7"
                             "\xE6\x91\x84\xE5\x83\x8F\xE6\x9C\xBA"; // 大门北侧一号摄像机
    Hear({News(OnvifNews::Match, Device("urn:uuid:1", "198.18.1.64", "aa-bb-cc-dd-ee-0f", name, "IPC-3000")),
          News(OnvifNews::Hello, Device("urn:uuid:2", "", "", "", ""))});
    ASSERT_EQ(m_rows.GetRowCount(), 2);
    EXPECT_EQ(TextsAt(0), (Texts{L"198.18.1.64", L"", L"大门北侧一号摄像机", L"ONVIF IPC-3000", L"ONVIF",
                                 L"AA:BB:CC:DD:EE:0F", L""}));
    EXPECT_EQ(TextsAt(1), (Texts{L"", L"", L"", L"ONVIF", L"ONVIF", L"", L""}))
        << "no address, name, hardware or MAC given";
    const DeviceRecord& record = *m_rows.RecordAt(0);
    EXPECT_EQ(record.flags, DEVICE_ONVIF);
    EXPECT_EQ(ReadTextField(record.message.lanIp), "198.18.1.64") << "the web page and the checks read it";
    EXPECT_EQ(ReadTextField(record.message.idSerial), "urn:uuid:1");
    EXPECT_EQ(record.message.name[19], 0) << "the name field keeps its terminator";
    EXPECT_TRUE(m_rows.IsOnvifRow(0));

    // Matches and Hellos of one endpoint rewrite its row; a Bye of another leaves it alone.
    Hear(
        {News(OnvifNews::Match, Device("urn:uuid:1", "198.18.1.64", "aa-bb-cc-dd-ee-0f", name, "IPC-3000")),
         News(OnvifNews::Hello, Device("urn:uuid:1", "198.18.1.65", "aa-bb-cc-dd-ee-0f", "Gate", "IPC-3000")),
         Bye("urn:uuid:unknown")});
    ASSERT_EQ(m_rows.GetRowCount(), 2);
    EXPECT_EQ(TextsAt(0)[0], L"198.18.1.65");
    EXPECT_EQ(TextsAt(0)[2], L"Gate");
}

TEST_F(OnvifRowsTest, AByeRemovesItsRowAndTheOthersKeepTheirOrderAndIndex)
{
    DeviceRecord* pFirst = Camera("cam-a", "198.18.1.10", 1);
    Hear({News(OnvifNews::Match, Device("urn:uuid:1", "198.18.1.61")),
          News(OnvifNews::Match, Device("urn:uuid:2", "198.18.1.62"))});
    DeviceRecord* pSecond = Camera("cam-b", "198.18.1.11", 2);
    ASSERT_EQ(m_rows.GetRowCount(), 4);

    Hear({Bye("urn:uuid:1")});
    ASSERT_EQ(m_rows.GetRowCount(), 3);
    EXPECT_EQ(TextsAt(1)[0], L"198.18.1.62");
    // The camera rows are still found by their table records, at their new places.
    EXPECT_EQ(m_rows.FindRow(pFirst), 0);
    EXPECT_EQ(m_rows.FindRow(pSecond), 2);
    Readdress(pSecond, "198.18.1.12");
    EXPECT_EQ(m_rows.GetCellText(2, 0), std::wstring(L"198.18.1.12")) << "rewritten in place, not appended";
    EXPECT_EQ(m_rows.GetRowCount(), 3);

    // Sorted, then a removal: the index still points at the right rows.
    m_rows.SortBy(0);
    m_rows.SortBy(0); // descending: .62, .12, .10
    Hear({Bye("urn:uuid:2")});
    ASSERT_EQ(m_rows.GetRowCount(), 2);
    EXPECT_EQ(m_rows.FindRow(pSecond), 0);
    EXPECT_EQ(m_rows.FindRow(pFirst), 1);
    EXPECT_EQ(OnvifRowCount(), 0);
}

TEST_F(OnvifRowsTest, ADeviceThatIsAListedCameraAddsNoRowOfItsOwn)
{
    struct Case {
        const char* what;
        const char* address;
        const char* mac;
        bool bSameCamera;
    };
    // The camera: 198.18.1.10, wired MAC 00:12:34:56:78:07, Wi-Fi MAC 02:00:00:00:00:07.
    const Case cases[] = {
        {"same wired MAC, other address", "198.18.1.99", "00:12:34:56:78:07", true},
        {"same Wi-Fi MAC", "198.18.1.98", "02:00:00:00:00:07", true},
        {"same address, no MAC given", "198.18.1.10", "", true},
        {"same address, another MAC: two devices", "198.18.1.10", "00:12:34:56:78:08", false},
        {"nothing shared", "198.18.1.97", "00:12:34:56:78:09", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        m_rows.Clear();
        m_table.clear();
        Camera("cam-a", "198.18.1.10", 7);
        Hear({News(OnvifNews::Match, Device("urn:uuid:7", c.address, c.mac, "Lobby"))});
        EXPECT_EQ(OnvifRowCount(), c.bSameCamera ? 0 : 1);
        EXPECT_EQ(m_rows.GetRowCount(), c.bSameCamera ? 1 : 2);
        const std::wstring tip = m_rows.GetRowTip(0);
        EXPECT_EQ(tip.find(L"该设备也应答 ONVIF (Lobby)") != std::wstring::npos, c.bSameCamera) << tip;
    }
    // The last but one case's two devices on one address warn each other.
    m_rows.Clear();
    m_table.clear();
    Camera("cam-a", "198.18.1.10", 7);
    Hear({News(OnvifNews::Match, Device("urn:uuid:7", "198.18.1.10", "00:12:34:56:78:08", "Lobby", "NVR"))});
    ASSERT_EQ(m_rows.GetRowCount(), 2);
    COLORREF clr = 0;
    EXPECT_TRUE(m_rows.GetRowTextColor(0, clr));
    EXPECT_TRUE(m_rows.GetRowTextColor(1, clr));
    EXPECT_EQ(m_rows.GetRowTip(0), L"与 ONVIF NVR 的 IP 地址冲突");
    EXPECT_EQ(m_rows.GetRowTip(1), L"与 cam-a 的 IP 地址冲突");
    // In English, and for a camera that is also a device of another maker.
    m_rows.SetLanguage(1);
    EXPECT_EQ(m_rows.GetRowTip(1), L"Same IP address as cam-a");
    Hear({News(OnvifNews::Match, Device("urn:uuid:8", "198.18.1.20", "00:12:34:56:78:07", "Hall"))});
    EXPECT_EQ(m_rows.GetRowTip(0), L"Same IP address as ONVIF NVR\r\nThis camera also answers ONVIF (Hall)");
}

TEST_F(OnvifRowsTest, TheDeviceGetsItsRowBackWhenItsCameraMovesAndLosesItWhenACameraArrives)
{
    DeviceRecord* pCamera = Camera("cam-a", "198.18.1.10", 7);
    Hear({News(OnvifNews::Match, Device("urn:uuid:7", "198.18.1.10", "", "Lobby"))});
    ASSERT_EQ(OnvifRowCount(), 0);

    Readdress(pCamera, "198.18.1.20");
    EXPECT_EQ(OnvifRowCount(), 1) << "another device answers at the camera's old address";
    EXPECT_EQ(m_rows.GetRowTip(0), L"") << "the camera no longer says it answers ONVIF";

    // A camera of this maker answering later with the device's MAC takes its row away.
    Hear({News(OnvifNews::Hello, Device("urn:uuid:8", "198.18.1.30", "00:12:34:56:78:09"))});
    EXPECT_EQ(OnvifRowCount(), 2);
    Camera("cam-b", "198.18.1.31", 9);
    EXPECT_EQ(OnvifRowCount(), 1);
    EXPECT_EQ(RowOf(L"ONVIF"), 1) << "the device at .10 keeps its row";
    EXPECT_EQ(m_rows.GetRowCount(), 3);
}

TEST_F(OnvifRowsTest, TheSubnetTestLooksAtTheDevicesAddressOrWhereItAnsweredFrom)
{
    m_rows.SetLocalSubnets({{0xC612010A, 0xFFFFFF00, 0}}); // 198.18.1.10/24
    struct Case {
        const char* what;
        const char* address;
        std::uint32_t senderIp;
        bool bWarned;
    };
    const Case cases[] = {
        {"address in the subnet", "198.18.1.50", 0xC6120932, false},
        {"address outside, answered from inside", "10.0.0.5", 0xC6120132, true},
        {"no IPv4 address, answered from inside", "", 0xC6120132, false},
        {"no IPv4 address, answered from outside", "", 0x0A000005, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OnvifAnnouncement news = News(OnvifNews::Match, Device("urn:uuid:subnet", c.address));
        news.senderIp = c.senderIp;
        Hear({news});
        ASSERT_EQ(m_rows.GetRowCount(), 1);
        COLORREF clr = 0;
        EXPECT_EQ(m_rows.GetRowTextColor(0, clr), c.bWarned) << m_rows.GetRowTip(0).size();
    }
}

TEST_F(OnvifRowsTest, ClearAndSwitchingOffForgetTheDevices)
{
    Camera("cam-a", "198.18.1.10", 1);
    // Two devices are the one camera (by address, by MAC), a third has its own row.
    Hear({News(OnvifNews::Match, Device("urn:uuid:1", "198.18.1.61")),
          News(OnvifNews::Match, Device("urn:uuid:2", "198.18.1.10")),
          News(OnvifNews::Match, Device("urn:uuid:3", "198.18.1.62", "00:12:34:56:78:01"))});
    ASSERT_EQ(OnvifRowCount(), 1);
    ASSERT_TRUE(m_rows.GetRowTip(0).find(L"ONVIF") != std::wstring::npos);
    m_rows.ClearOnvif();
    EXPECT_EQ(m_rows.GetRowCount(), 1);
    EXPECT_EQ(m_rows.GetRowTip(0), L"") << "the camera's note goes with the device";

    Hear({News(OnvifNews::Match, Device("urn:uuid:1", "198.18.1.61"))});
    m_rows.Clear();
    m_rows.SyncList();
    EXPECT_EQ(m_rows.GetRowCount(), 0);
    Camera("cam-a", "198.18.1.10", 1);
    EXPECT_EQ(OnvifRowCount(), 0) << "a rescan forgets the devices until they answer again";
    EXPECT_TRUE(m_rows.GetOnvif().IsEmpty());
}

TEST_F(OnvifRowsTest, NewEndpointsPastTheBoundAreDroppedAndCounted)
{
    std::vector<OnvifAnnouncement> flood;
    const std::size_t extra = 10;
    for (std::size_t i = 0; i < COnvifRows::MAX_DEVICES + extra; ++i)
        flood.push_back(News(OnvifNews::Hello, Device("urn:uuid:flood-" + std::to_string(i), "")));
    Hear(flood);
    EXPECT_EQ(m_rows.GetRowCount(), static_cast<int>(COnvifRows::MAX_DEVICES));
    EXPECT_EQ(m_rows.GetOnvif().GetDropped(), extra);
    // Known devices still change and leave.
    Hear({Bye("urn:uuid:flood-0"), News(OnvifNews::Hello, Device("urn:uuid:flood-1", "198.18.1.5"))});
    EXPECT_EQ(m_rows.GetRowCount(), static_cast<int>(COnvifRows::MAX_DEVICES) - 1);
    EXPECT_EQ(m_rows.GetCellText(0, 0), std::wstring(L"198.18.1.5"));
}

TEST(OnvifMacText, OnlySixHexPairsWithOneSeparatorAreAMac)
{
    struct Case {
        const char* text;
        std::uint64_t expected; // 0: none
    };
    const Case cases[] = {
        {"AA:BB:CC:DD:EE:FF", 0xAABBCCDDEEFFull},
        {"aa-bb-cc-dd-ee-0f", 0xAABBCCDDEE0Full},
        {"00:00:00:00:00:00", 0},
        {"AA:BB-CC:DD:EE:FF", 0},
        {"AABBCCDDEEFF", 0},
        {"AA:BB:CC:DD:EE:FG", 0},
        {"AA:BB:CC:DD:EE:FF:", 0},
        {"", 0},
    };
    for (const Case& c : cases) {
        const auto mac = COnvifRows::ParseMac(c.text);
        EXPECT_EQ(mac.value_or(0), c.expected) << c.text;
    }
}

} // namespace
