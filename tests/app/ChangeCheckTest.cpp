// The change check on its own: expectations fed from the messages the dialogs would send, camera
// replies fed as the main window lists them, and the clock fed by hand.
#include "app/ChangeCheck.h"
#include "app/SettingsFields.h"
#include "base/Ipv4Text.h"
#include "base/TextConvert.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using State = CChangeCheck::State;

constexpr DWORD SETTLE = 3000, PERIOD = 3000, WINDOW = 20000;

// A set-parameters message as the dialogs build it: the typed name through the ANSI code page to
// UTF-8, cut to fit its field.
WireMessage Sent(const std::string& idSerial, const std::string& lanIp, const std::string& gateway,
                 const std::wstring& typedName)
{
    WireMessage m{};
    m.type = MSG_SET_INFO;
    WriteTextField(m.idSerial, idSerial);
    WriteTextField(m.lanIp, lanIp);
    WriteTextField(m.lanGateway, gateway);
    WriteTypedName(m, LimitTypedName(typedName));
    return m;
}

// The scan the replies below answer; the fixtures move it on as they start scans.
std::uint32_t g_scan = 0;

// A camera's reply as the main window lists it: the camera's UTF-8 name converted to the ANSI
// code page on receipt, the address it answered from in sourceIp and senderIp, stamped with the
// scan that is open.
DeviceRecord Reply(const std::string& idSerial, const std::string& lanIp, const std::string& gateway,
                   const std::string& utf8Name, const std::string& from = {})
{
    DeviceRecord record{};
    record.message.type = MSG_INFO;
    WriteTextField(record.message.idSerial, idSerial);
    WriteTextField(record.message.lanIp, lanIp);
    WriteTextField(record.message.lanGateway, gateway);
    char ansi[sizeof record.message.name] = {};
    TextUtf8ToAnsiFit(utf8Name.c_str(), utf8Name.size() + 1, ansi, sizeof ansi);
    WriteConvertedName(record.message, std::string_view(ansi, sizeof ansi));
    WriteTextField(record.sourceIp, from.empty() ? lanIp : from);
    record.senderIp = ParseIpv4(from.empty() ? lanIp : from).value_or(0);
    record.scanId = g_scan;
    return record;
}

// The check's scan starts (a new number for every request).
void StartScan(CChangeCheck& check)
{
    check.OnScanStarted(++g_scan, false);
}

class ChangeCheck : public ::testing::Test {
  protected:
    void SetUp() override
    {
        m_check.SetTimerDriven(false);
        m_check.SetTimes(SETTLE, PERIOD, WINDOW);
        m_check.SetRescan([this] { ++m_rescans; });
        m_check.SetOnChange([this](const CChangeCheck::Entry& e) { m_changes.push_back(e.state); });
    }
    // The follow-up rescan that is due at `now` and the list it clears.
    void RescanAt(DWORD now)
    {
        const int before = m_rescans;
        m_check.Tick(now);
        ASSERT_EQ(m_rescans, before + 1) << "a rescan due at " << now;
        StartScan(m_check);
    }
    State StateOf(const std::string& id) const
    {
        const CChangeCheck::Entry* e = m_check.Find(id);
        EXPECT_NE(e, nullptr) << id;
        return e ? e->state : State::Sent;
    }

    CChangeCheck m_check;
    int m_rescans = 0;
    std::vector<State> m_changes;
};

struct CompareCase {
    const char* what;
    unsigned fields;
    const char* sentIp;
    const char* sentGateway;
    const wchar_t* typedName;
    const char* replyId;
    const char* replyIp;
    const char* replyGateway;
    const char* replyUtf8Name;
    const char* replyFrom;
    State state;
    unsigned differing;
};

TEST_F(ChangeCheck, ComparesTheFieldsThatWereSetWithTheNextListedReply)
{
    constexpr unsigned ALL = CChangeCheck::FIELDS_ALL, ADDR = CChangeCheck::FIELDS_ADDRESS,
                       NAME = CChangeCheck::FIELD_NAME, IP = CChangeCheck::FIELD_LAN_IP,
                       GW = CChangeCheck::FIELD_LAN_GATEWAY;
    const CompareCase cases[] = {
        {"all taken", ALL, "198.18.1.200", "198.18.1.254", L"Lobby", "b20000000001", "198.18.1.200",
         "198.18.1.254", "Lobby", "", State::Confirmed, 0},
        {"address not taken", ALL, "198.18.1.200", "198.18.1.254", L"Lobby", "b20000000001", "198.18.1.132",
         "198.18.1.254", "Lobby", "", State::Different, IP},
        {"gateway not taken", ALL, "198.18.1.200", "198.18.1.254", L"Lobby", "b20000000001", "198.18.1.200",
         "198.18.1.1", "Lobby", "", State::Different, GW},
        {"old name kept", ALL, "198.18.1.200", "198.18.1.254", L"Lobby", "b20000000001", "198.18.1.200",
         "198.18.1.254", "Hall", "", State::Different, NAME},
        {"nothing taken", ALL, "198.18.1.200", "198.18.1.254", L"Lobby", "b20000000001", "198.18.1.132",
         "198.18.1.1", "Hall", "", State::Different, ALL},
        {"name not compared when only addresses were set", ADDR, "198.18.1.200", "198.18.1.254", L"Lobby",
         "b20000000001", "198.18.1.200", "198.18.1.254", "Hall", "", State::Confirmed, 0},
        {"addresses not compared when only the name was set", NAME, "198.18.1.200", "198.18.1.254", L"Lobby",
         "b20000000001", "198.18.1.132", "198.18.1.1", "Lobby", "", State::Confirmed, 0},
        {"Chinese name through UTF-8 and back", ALL, "198.18.1.131", "198.18.1.1", L"前门", "a1b2c3d4e5f6",
         "198.18.1.131", "198.18.1.1", "\xE5\x89\x8D\xE9\x97\xA8", "", State::Confirmed, 0},
        {"characters the code page lacks are sent and listed as its default character", ALL, "198.18.1.131",
         "198.18.1.1", L"กล้อง", "a1b2c3d4e5f6", "198.18.1.131", "198.18.1.1", "?????", "", State::Confirmed,
         0},
        {"a name cut to its field is compared as cut", ALL, "198.18.1.131", "198.18.1.1", L"仓库北侧通道入口",
         "a1b2c3d4e5f6", "198.18.1.131", "198.18.1.1",
         "\xE4\xBB\x93\xE5\xBA\x93\xE5\x8C\x97\xE4\xBE\xA7\xE9\x80\x9A\xE9\x81\x93", "", State::Confirmed, 0},
        {"idSerial in other letter case", ALL, "198.18.1.200", "198.18.1.254", L"Lobby", "B20000000001",
         "198.18.1.200", "198.18.1.254", "Lobby", "", State::Confirmed, 0},
        {"answering from its new address", ALL, "198.18.1.200", "198.18.1.254", L"Lobby", "b20000000001",
         "198.18.1.200", "198.18.1.254", "Lobby", "198.18.1.200", State::Confirmed, 0},
        {"reporting the new address but answering from the old one", ALL, "198.18.1.200", "198.18.1.254",
         L"Lobby", "b20000000001", "198.18.1.200", "198.18.1.254", "Lobby", "198.18.1.132", State::Different,
         CChangeCheck::FIELD_REPLY_ADDRESS},
        {"the answering address only matters when an address was set", NAME, "198.18.1.200", "198.18.1.254",
         L"Lobby", "b20000000001", "198.18.1.200", "198.18.1.254", "Lobby", "198.18.1.132", State::Confirmed,
         0},
        {"AP mode answers from 192.168.100.100", ADDR, "198.18.1.200", "198.18.1.254", L"", "b20000000001",
         "198.18.1.200", "198.18.1.254", "", "192.168.100.100", State::Confirmed, 0},
        {"addresses compared as addresses", ADDR, "198.18.1.020", "198.18.1.254", L"", "b20000000001",
         "198.18.1.20", "198.18.1.254", "", "", State::Confirmed, 0},
        {"a 16-byte address without terminator", ADDR, "198.180.100.1234", "198.18.1.254", L"",
         "b20000000001", "198.180.100.1234", "198.18.1.254", "", "", State::Confirmed, 0},
    };
    for (const CompareCase& c : cases) {
        SCOPED_TRACE(c.what);
        CChangeCheck check;
        check.SetTimerDriven(false);
        check.SetTimes(SETTLE, PERIOD, WINDOW);
        int rescans = 0;
        check.SetRescan([&rescans] { ++rescans; });
        // Sent under the idSerial in lower case; the case of "B20000000001" replies in upper case.
        std::string sentId = c.replyId;
        sentId[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(sentId[0])));
        check.Expect(Sent(sentId, c.sentIp, c.sentGateway, c.typedName), c.fields, 1000);
        check.Tick(1000 + SETTLE);
        ASSERT_EQ(rescans, 1);
        StartScan(check);
        // Another camera's reply from the old address changes nothing.
        check.OnCameraReported(Reply("c30000000002", "198.18.1.132", "198.18.1.1", "Lobby"));
        check.OnCameraReported(Reply(c.replyId, c.replyIp, c.replyGateway, c.replyUtf8Name, c.replyFrom));
        const CChangeCheck::Entry* e = check.Find(c.replyId);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->state, c.state);
        EXPECT_EQ(e->differing, c.differing);
        EXPECT_EQ(check.IsActive(), c.state != State::Confirmed);
    }
}

TEST_F(ChangeCheck, RescansAfterTheSettleDelayThenEveryPeriodUntilTheWindowEnds)
{
    m_check.Expect(Sent("a1b2c3d4e5f6", "198.18.1.200", "198.18.1.1", L"Cam"), CChangeCheck::FIELDS_ALL, 0);
    EXPECT_EQ(m_changes, std::vector<State>{State::Sent});
    m_check.Tick(SETTLE - 1);
    EXPECT_EQ(m_rescans, 0);
    // A reply to a request that left before the settle delay ended is an old one.
    StartScan(m_check);
    m_check.OnCameraReported(Reply("a1b2c3d4e5f6", "198.18.1.200", "198.18.1.1", "Cam"));
    EXPECT_EQ(StateOf("a1b2c3d4e5f6"), State::Sent);

    std::vector<DWORD> rescansAt;
    for (DWORD now = SETTLE; now < WINDOW + 5000; now += 100) {
        const int before = m_rescans;
        m_check.Tick(now);
        if (m_rescans != before) {
            rescansAt.push_back(now);
            StartScan(m_check);
        }
    }
    // The window runs from the first request after the delay (3000 to 23000).
    EXPECT_EQ(rescansAt, (std::vector<DWORD>{3000, 6000, 9000, 12000, 15000, 18000, 21000}));
    EXPECT_EQ(StateOf("a1b2c3d4e5f6"), State::NoAnswer);
    EXPECT_EQ(m_changes, (std::vector<State>{State::Sent, State::NoAnswer}));
    EXPECT_FALSE(m_check.IsActive());
    // A reply after the window changes nothing.
    StartScan(m_check);
    m_check.OnCameraReported(Reply("a1b2c3d4e5f6", "198.18.1.200", "198.18.1.1", "Cam"));
    EXPECT_EQ(StateOf("a1b2c3d4e5f6"), State::NoAnswer);
}

TEST_F(ChangeCheck, ACameraThatAppliesLateTurnsFromDifferentToConfirmedAndRescansStop)
{
    m_check.Expect(Sent("a1b2c3d4e5f6", "198.18.1.200", "198.18.1.1", L"Cam"), CChangeCheck::FIELDS_ALL, 0);
    RescanAt(SETTLE);
    m_check.OnCameraReported(Reply("a1b2c3d4e5f6", "198.18.1.131", "198.18.1.1", "Cam"));
    EXPECT_EQ(StateOf("a1b2c3d4e5f6"), State::Different);
    RescanAt(SETTLE + PERIOD);
    m_check.OnCameraReported(Reply("a1b2c3d4e5f6", "198.18.1.200", "198.18.1.1", "Cam"));
    EXPECT_EQ(StateOf("a1b2c3d4e5f6"), State::Confirmed);
    EXPECT_EQ(m_changes, (std::vector<State>{State::Sent, State::Different, State::Confirmed}));
    EXPECT_FALSE(m_check.IsActive());
    const int rescans = m_rescans;
    m_check.Tick(SETTLE + 2 * PERIOD);
    EXPECT_EQ(m_rescans, rescans) << "nothing left to check";
    // A later reply with other values does not undo a confirmation.
    StartScan(m_check);
    m_check.OnCameraReported(Reply("a1b2c3d4e5f6", "198.18.1.131", "198.18.1.1", "Cam"));
    EXPECT_EQ(StateOf("a1b2c3d4e5f6"), State::Confirmed);
}

// Its end is told too (the change log writes the final status then).
TEST_F(ChangeCheck, ADifferentCameraStaysDifferentWhenTheWindowEnds)
{
    std::vector<std::pair<State, bool>> told;
    m_check.SetOnChange([&told](const CChangeCheck::Entry& e) { told.emplace_back(e.state, e.bDone); });
    m_check.Expect(Sent("a1b2c3d4e5f6", "198.18.1.200", "198.18.1.1", L"Cam"), CChangeCheck::FIELDS_ALL, 0);
    RescanAt(SETTLE);
    m_check.OnCameraReported(Reply("a1b2c3d4e5f6", "198.18.1.200", "198.18.1.1", "Old"));
    m_check.Tick(SETTLE + WINDOW);
    const CChangeCheck::Entry* e = m_check.Find("a1b2c3d4e5f6");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->state, State::Different);
    EXPECT_EQ(e->differing, unsigned{CChangeCheck::FIELD_NAME});
    EXPECT_FALSE(m_check.IsActive());
    EXPECT_EQ(told, (std::vector<std::pair<State, bool>>{
                        {State::Sent, false}, {State::Different, false}, {State::Different, true}}));
}

TEST_F(ChangeCheck, EachCameraWaitsForItsOwnSettleDelayAndANewMessageStartsItAgain)
{
    // Two cameras sent 200 ms apart: the first request after the first one's delay is too early
    // for the second, whose answer to it is no proof.
    m_check.Expect(Sent("a1b2c3d4e5f6", "198.18.1.200", "198.18.1.1", L"A"), CChangeCheck::FIELDS_ADDRESS, 0);
    m_check.Expect(Sent("b20000000001", "198.18.1.201", "198.18.1.1", L"B"), CChangeCheck::FIELDS_ADDRESS,
                   200);
    m_check.Tick(SETTLE - 1);
    EXPECT_EQ(m_rescans, 0);
    RescanAt(SETTLE);
    m_check.OnCameraReported(Reply("a1b2c3d4e5f6", "198.18.1.200", "198.18.1.1", "A"));
    m_check.OnCameraReported(Reply("b20000000001", "198.18.1.201", "198.18.1.1", "B"));
    EXPECT_EQ(StateOf("a1b2c3d4e5f6"), State::Confirmed);
    EXPECT_EQ(StateOf("b20000000001"), State::Sent);
    RescanAt(SETTLE + PERIOD);
    m_check.OnCameraReported(Reply("b20000000001", "198.18.1.201", "198.18.1.1", "B"));
    EXPECT_EQ(StateOf("b20000000001"), State::Confirmed);

    // Sent again (any letter case): the camera is checked afresh, once.
    m_check.Expect(Sent("A1B2C3D4E5F6", "198.18.1.210", "198.18.1.1", L"A"), CChangeCheck::FIELDS_ADDRESS,
                   10000);
    EXPECT_EQ(m_check.Entries().size(), 2u);
    EXPECT_EQ(StateOf("a1b2c3d4e5f6"), State::Sent);
    EXPECT_TRUE(m_check.IsActive());
    RescanAt(10000 + SETTLE);
    m_check.Tick(10000 + SETTLE + WINDOW - 1);
    EXPECT_EQ(StateOf("a1b2c3d4e5f6"), State::Sent) << "its window runs from the request";
    m_check.Tick(10000 + SETTLE + WINDOW);
    EXPECT_EQ(StateOf("a1b2c3d4e5f6"), State::NoAnswer);
    EXPECT_EQ(StateOf("b20000000001"), State::Confirmed);
}

// A group pass as long as a real site's: one camera every 200 ms, the clock ticking every 100 ms,
// each request answered at once by every camera sent so far (each took its change). Every camera
// must end Confirmed, the first ones too, although they were sent long before the last.
TEST_F(ChangeCheck, EveryCameraOfALongPassGetsItsFullTimeAfterTheFirstRequestThatCouldSeeIt)
{
    for (const int cameras : {100, 250}) {
        SCOPED_TRACE(cameras);
        CChangeCheck check;
        check.SetTimerDriven(false);
        check.SetTimes(SETTLE, PERIOD, WINDOW);
        bool bAsked = false;
        check.SetRescan([&bAsked] { bAsked = true; });
        std::vector<std::string> ids;
        const DWORD passEnd = static_cast<DWORD>(cameras) * 200;
        for (DWORD now = 0; now < passEnd + WINDOW + SETTLE + PERIOD; now += 100) {
            if (now % 200 == 0 && ids.size() < static_cast<size_t>(cameras)) {
                char id[16];
                std::snprintf(id, sizeof id, "c%011zu", ids.size());
                ids.push_back(id);
                check.Expect(Sent(id, "198.18.16.2", "198.18.16.1", L"Cam"), CChangeCheck::FIELDS_ALL, now);
            }
            check.Tick(now);
            if (!bAsked)
                continue;
            bAsked = false;
            StartScan(check);
            for (const std::string& id : ids)
                check.OnCameraReported(Reply(id, "198.18.16.2", "198.18.16.1", "Cam"));
        }
        int confirmed = 0;
        for (const std::string& id : ids)
            confirmed += check.Find(id) && check.Find(id)->state == State::Confirmed;
        EXPECT_EQ(confirmed, cameras);
        EXPECT_FALSE(check.IsActive());
    }
}

TEST_F(ChangeCheck, AReplyStampedWithAnEarlierScanIsNoProof)
{
    m_check.Expect(Sent("a1b2c3d4e5f6", "198.18.1.200", "198.18.1.1", L"Cam"), CChangeCheck::FIELDS_ALL, 0);
    // Queued before the check's request left (in the socket or the engine's batch).
    const DeviceRecord early = Reply("a1b2c3d4e5f6", "198.18.1.200", "198.18.1.1", "Cam");
    RescanAt(SETTLE);
    m_check.OnCameraReported(early);
    EXPECT_EQ(StateOf("a1b2c3d4e5f6"), State::Sent);
    m_check.OnCameraReported(Reply("a1b2c3d4e5f6", "198.18.1.200", "198.18.1.1", "Cam"));
    EXPECT_EQ(StateOf("a1b2c3d4e5f6"), State::Confirmed);
}

TEST_F(ChangeCheck, EveryFieldTheDialogSetIsComparedAndDhcpLeavesTheTypedAddressOut)
{
    struct Case {
        const char* what;
        void (*sent)(WireMessage&);
        void (*reply)(WireMessage&);
        unsigned differing;
    };
    const Case cases[] = {
        {"all as sent", [](WireMessage&) {}, [](WireMessage&) {}, 0},
        {"mask", [](WireMessage&) {},
         [](WireMessage& m) { WriteTextField(m.lanMask, std::string("255.255.0.0")); },
         CChangeCheck::FIELD_LAN_MASK},
        {"DNS", [](WireMessage&) {}, [](WireMessage& m) { WriteTextField(m.lanDns, std::string("8.8.8.8")); },
         CChangeCheck::FIELD_LAN_DNS},
        {"DHCP flag", [](WireMessage& m) { m.lanDhcp = 0; }, [](WireMessage& m) { m.lanDhcp = 1; },
         CChangeCheck::FIELD_LAN_DHCP},
        {"WiFi address", [](WireMessage&) {},
         [](WireMessage& m) { WriteTextField(m.wifiIp, std::string("198.18.2.99")); },
         CChangeCheck::FIELD_WIFI_IP},
        {"SSID", [](WireMessage&) {}, [](WireMessage& m) { WriteTextField(m.ssid, std::string("other")); },
         CChangeCheck::FIELD_SSID},
        {"WiFi DHCP", [](WireMessage&) {}, [](WireMessage& m) { m.wifiDhcp = 1; },
         CChangeCheck::FIELD_WIFI_DHCP},
        {"DHCP on: the typed address, mask and gateway are not compared",
         [](WireMessage& m) { m.lanDhcp = 1; },
         [](WireMessage& m) {
             m.lanDhcp = 1;
             WriteTextField(m.lanIp, std::string("198.18.1.77"));
             WriteTextField(m.lanMask, std::string("255.0.0.0"));
             WriteTextField(m.lanGateway, std::string("198.18.1.254"));
         },
         0},
        {"passwords are not compared", [](WireMessage&) {},
         [](WireMessage& m) { WriteTextField(m.wifiPassword, std::string("")); }, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WireMessage sent = Sent("a1b2c3d4e5f6", "198.18.1.77", "198.18.1.1", L"Cam");
        WriteTextField(sent.lanMask, std::string("255.255.255.0"));
        WriteTextField(sent.lanDns, std::string("198.18.1.1"));
        WriteTextField(sent.wifiIp, std::string("198.18.2.77"));
        WriteTextField(sent.ssid, std::string("site"));
        WriteTextField(sent.wifiPassword, std::string("secret"));
        c.sent(sent);
        CChangeCheck check;
        check.SetTimerDriven(false);
        check.SetTimes(SETTLE, PERIOD, WINDOW);
        check.Expect(sent, CChangeCheck::FIELDS_SETTINGS, 0);
        check.Tick(SETTLE);
        StartScan(check);
        DeviceRecord reply = Reply("a1b2c3d4e5f6", "198.18.1.77", "198.18.1.1", "Cam");
        WireMessage& m = reply.message;
        std::memcpy(m.lanMask, sent.lanMask, sizeof m.lanMask);
        std::memcpy(m.lanDns, sent.lanDns, sizeof m.lanDns);
        std::memcpy(m.wifiIp, sent.wifiIp, sizeof m.wifiIp);
        std::memcpy(m.ssid, sent.ssid, sizeof m.ssid);
        std::memcpy(m.wifiPassword, sent.wifiPassword, sizeof m.wifiPassword);
        m.lanDhcp = sent.lanDhcp;
        c.reply(m);
        check.OnCameraReported(reply);
        const CChangeCheck::Entry* e = check.Find("a1b2c3d4e5f6");
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->differing, c.differing);
        EXPECT_EQ(e->state, c.differing ? State::Different : State::Confirmed);
    }
}

TEST(ChangeCheckText, StatesInBothLanguagesNameTheFieldsThatDiffer)
{
    struct {
        State state;
        unsigned differing;
        const wchar_t* chinese;
        const wchar_t* english;
    } const cases[] = {
        {State::Sent, 0, L"已发送", L"Sent"},
        {State::Confirmed, 0, L"已确认", L"Confirmed"},
        {State::NoAnswer, 0, L"无应答", L"No answer"},
        {State::Different, CChangeCheck::FIELD_LAN_IP, L"不一致: IP地址", L"Different: IP Address"},
        {State::Different, CChangeCheck::FIELD_LAN_GATEWAY | CChangeCheck::FIELD_NAME, L"不一致: 网关, 名称",
         L"Different: GateWay, Name"},
        {State::Different, CChangeCheck::FIELDS_ALL, L"不一致: IP地址, 网关, 名称",
         L"Different: IP Address, GateWay, Name"},
        {State::Different, CChangeCheck::FIELD_LAN_MASK | CChangeCheck::FIELD_REPLY_ADDRESS,
         L"不一致: 掩码, 仍从旧地址应答", L"Different: Mask, still answers from its old address"},
    };
    for (const auto& c : cases) {
        CChangeCheck::Entry e;
        e.state = c.state;
        e.differing = c.differing;
        EXPECT_EQ(CChangeCheck::StateText(e, 0), c.chinese);
        EXPECT_EQ(CChangeCheck::StateText(e, 1), c.english);
        EXPECT_EQ(CChangeCheck::StateText(e, 7), c.english) << "every language but 0 is English";
    }
    EXPECT_STREQ(CChangeCheck::StatusTitle(0), L"状态");
    EXPECT_STREQ(CChangeCheck::StatusTitle(1), L"Status");
}

} // namespace
