// Self-test of the camera simulator.
//
//   camsim_selftest                 offline checks of fleets, options and the control protocol
//   camsim_selftest --lab [PORT]    from the lab's tool side: talks to a running simulator
//                                   (control at 198.18.1.2:PORT, default 8700) over the wire
//
// Plain assertions, so that it builds beside any test framework.

#include "tools/camsim/CamSimulator.h"
#include "tools/camsim/LabNetwork.h"
#include "tools/camsim/SimControl.h"
#include "tools/camsim/SimFleet.h"
#include "tools/camsim/SimText.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

int g_failures = 0;

#define CHECK(cond)                                                                                          \
    do {                                                                                                     \
        if (!(cond)) {                                                                                       \
            std::fprintf(stderr, "%s:%d: CHECK failed: %s\n", __FILE__, __LINE__, #cond);                    \
            ++g_failures;                                                                                    \
        }                                                                                                    \
    } while (0)

#define CHECK_EQ(a, b)                                                                                       \
    do {                                                                                                     \
        const auto& va = (a);                                                                                \
        const auto& vb = (b);                                                                                \
        if (!(va == vb)) {                                                                                   \
            std::fprintf(stderr, "%s:%d: CHECK_EQ failed: %s == %s\n  left:  %s\n  right: %s\n", __FILE__,   \
                         __LINE__, #a, #b, Show(va).c_str(), Show(vb).c_str());                              \
            ++g_failures;                                                                                    \
        }                                                                                                    \
    } while (0)

std::string Show(const std::string& s)
{
    return "\"" + PercentEncode(s.substr(0, 200)) + "\"";
}
template <typename T> std::string Show(const T& v)
{
    return std::to_string(v);
}

bool IsValidUtf8(const std::string& s)
{
    for (std::size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size())
            return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        i += n;
    }
    return true;
}

bool IsValidId(const std::string& id)
{
    return id.size() == 12 && std::string("abcdfF").find(id[0]) != std::string::npos;
}

std::string Lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

WireMessage Image(const std::string& bytes)
{
    WireMessage m{};
    std::memcpy(&m, bytes.data(), std::min(bytes.size(), MESSAGE_SIZE));
    return m;
}

#define TEXT(m, field) FieldText((m).field, sizeof((m).field))

// ---------------------------------------------------------------- offline

void TestText()
{
    struct {
        const char* text;
        bool valid;
        std::uint32_t value;
    } const ips[] = {{"198.18.1.2", true, 0xC6120102u},
                     {"0.0.0.0", true, 0},
                     {"255.255.255.255", true, 0xFFFFFFFFu},
                     {"1.2.3", false, 0},
                     {"1.2.3.4.5", false, 0},
                     {"256.1.1.1", false, 0},
                     {"1.2.3.4 ", false, 0},
                     {"", false, 0},
                     {"1..2.3", false, 0}};
    for (auto& c : ips) {
        auto parsed = ParseIpv4(c.text);
        CHECK_EQ(parsed.has_value(), c.valid);
        if (parsed)
            CHECK_EQ(*parsed, c.value);
    }
    struct {
        const char* text;
        bool lab;
    } const labs[] = {{"198.18.0.0", true},  {"198.19.255.255", true},  {"198.17.255.255", false},
                      {"198.20.0.0", false}, {"192.168.100.100", true}, {"192.168.100.101", false},
                      {"10.0.0.1", false},   {"192.168.1.10", false}};
    for (auto& c : labs)
        CHECK_EQ(IsLabAddress(*ParseIpv4(c.text)), c.lab);
    CHECK(IsLabSourceAddress(*ParseIpv4("198.18.16.5")));
    CHECK(IsLabSourceAddress(*ParseIpv4("198.18.47.254")));
    CHECK(!IsLabSourceAddress(*ParseIpv4("198.18.48.5")));
    CHECK(!IsLabSourceAddress(*ParseIpv4("198.18.4.5")));

    const std::string chinese = "\xE5\x89\x8D\xE9\x97\xA8 a=b%c";
    CHECK_EQ(PercentDecode(PercentEncode(chinese)).value_or("?"), chinese);
    CHECK(PercentEncode(chinese).find(' ') == std::string::npos);
    CHECK(!PercentDecode("%4").has_value());
    CHECK(!PercentDecode("%zz").has_value());
    CHECK(!HexDecode("abc").has_value());
    CHECK(!HexDecode("0g").has_value());
    CHECK_EQ(HexDecode(HexEncode(chinese.data(), chinese.size())).value_or("?"), chinese);
}

void TestDefaultFleet()
{
    auto fleet = DefaultFleet();
    CHECK_EQ(fleet.size(), std::size_t(12));
    std::set<std::string> ids;
    int wifi = 0, chinese = 0, english = 0;
    for (const CSimCamera& camera : fleet) {
        const WireMessage& m = camera.Image();
        const std::string id = camera.IdSerial();
        CHECK(IsValidId(id));
        ids.insert(Lower(id));
        const std::string name = TEXT(m, name);
        CHECK(IsValidUtf8(name));
        CHECK(name.size() < sizeof m.name); // every default name carries its zero
        (static_cast<unsigned char>(name[0]) >= 0x80 ? chinese : english)++;
        CHECK_EQ(m.type, MSG_INFO);

        std::string warning;
        auto replies = camera.BuildReplies(warning);
        CHECK(warning.empty());
        CHECK_EQ(replies.size(), std::size_t(1));
        if (replies.empty())
            continue;
        CHECK_EQ(replies[0].bytes.size(), MESSAGE_SIZE);
        CHECK(std::memcmp(replies[0].bytes.data(), &m, MESSAGE_SIZE) == 0);
        const std::uint32_t lan = *ParseIpv4(TEXT(m, lanIp)), wifiIp = *ParseIpv4(TEXT(m, wifiIp));
        CHECK_EQ(lan & 0xFFFFFF80u, 0xC6120180u);    // 198.18.1.128/25
        CHECK_EQ(wifiIp & 0xFFFFFF80u, 0xC6120280u); // 198.18.2.128/25
        if (camera.ListenDevice() == "lab1c") {
            ++wifi;
            CHECK_EQ(replies[0].source, wifiIp);
            CHECK_EQ(replies[0].device, std::string("lab1c"));
        } else {
            CHECK_EQ(camera.ListenDevice(), std::string("lab0c"));
            CHECK_EQ(replies[0].source, lan);
            CHECK_EQ(replies[0].device, std::string("lab0c"));
        }
    }
    CHECK_EQ(ids.size(), fleet.size());
    CHECK(wifi >= 3 && wifi <= 9);
    CHECK(chinese >= 3 && english >= 3);
}

void TestGeneratedFleet()
{
    for (std::size_t count : {std::size_t(100), std::size_t(2000), MAX_FLEET}) {
        auto fleet = GeneratedFleet(count);
        CHECK_EQ(fleet.size(), count);
        std::set<std::string> ids, addresses;
        for (std::size_t k = 0; k < fleet.size(); ++k) {
            const CSimCamera& camera = fleet[k];
            CHECK(IsValidId(camera.IdSerial()));
            ids.insert(Lower(camera.IdSerial()));
            const std::string lanIp = TEXT(camera.Image(), lanIp);
            addresses.insert(lanIp);
            addresses.insert(TEXT(camera.Image(), wifiIp));
            auto lan = ParseIpv4(lanIp);
            // The first 2000 in 198.18.16.0/20, as they always were; the rest in 198.18.32.0/20.
            CHECK(lan && (*lan & 0xFFFFF000u) == (k < 2000 ? 0xC6121000u : 0xC6122000u));
            CHECK(lan && IsLabSourceAddress(*lan));
            const std::uint8_t lastByte = lan ? static_cast<std::uint8_t>(*lan) : 0;
            CHECK(lastByte >= 2 && lastByte <= 254);
            CHECK(IsValidUtf8(TEXT(camera.Image(), name)));
        }
        CHECK_EQ(ids.size(), count);
        CHECK_EQ(addresses.size(), 2 * count); // no address twice, wired or WiFi
    }
    CHECK_EQ(TEXT(GeneratedFleet(1)[0].Image(), lanIp), std::string("198.18.16.2"));
    CHECK_EQ(TEXT(GeneratedFleet(2001)[2000].Image(), lanIp), std::string("198.18.32.2"));
    CHECK_EQ(TEXT(GeneratedFleet(2001)[2000].Image(), wifiIp), std::string("198.18.48.2"));
    CHECK_EQ(GeneratedFleet(MAX_FLEET + 5).size(), MAX_FLEET);
}

void TestReplyOptions()
{
    const CSimCamera base = DefaultFleet()[1]; // wired, 198.18.1.132 / 198.18.2.132
    auto build = [&](std::initializer_list<std::pair<const char*, const char*>> settings) {
        CSimCamera camera = base;
        for (auto& [key, value] : settings)
            CHECK_EQ(camera.Apply(key, value), std::string());
        std::string warning;
        auto replies = camera.BuildReplies(warning);
        CHECK_EQ(warning, std::string());
        return replies;
    };

    auto both = build({{"from", "both"}});
    CHECK_EQ(both.size(), std::size_t(2));
    if (both.size() == 2) {
        CHECK_EQ(FormatIpv4(both[0].source), std::string("198.18.1.132"));
        CHECK_EQ(both[0].device, std::string("lab0c"));
        CHECK_EQ(FormatIpv4(both[1].source), std::string("198.18.2.132"));
        CHECK_EQ(both[1].device, std::string("lab1c"));
    }
    auto wifi = build({{"from", "wifi"}});
    CHECK(wifi.size() == 1 && FormatIpv4(wifi[0].source) == "198.18.2.132" && wifi[0].device == "lab1c");
    auto special = build({{"from", "192.168.100.100"}});
    CHECK(special.size() == 1 && FormatIpv4(special[0].source) == "192.168.100.100" &&
          special[0].device == "lab0c");
    CHECK_EQ(build({{"dup", "3"}}).size(), std::size_t(3));
    CHECK_EQ(build({{"dup", "0"}}).size(), std::size_t(0));

    struct {
        const char* bad;
        std::size_t length;
        std::int32_t type;
        const char* idSerial; // nullptr: unchanged
    } const shapes[] = {
        {"type", MESSAGE_SIZE, 343, nullptr},
        {"idlen", MESSAGE_SIZE, MSG_INFO, "b2000000000"},
        {"idletter", MESSAGE_SIZE, MSG_INFO, "e20000000001"},
        {"short", 544, MSG_INFO, nullptr},
        {"extra", MESSAGE_SIZE, MSG_INFO_EXTRA, nullptr},
        {"noterm", MESSAGE_SIZE, MSG_INFO, nullptr},
        {"badutf8", MESSAGE_SIZE, MSG_INFO, nullptr},
    };
    for (auto& s : shapes) {
        auto replies = build({{"bad", s.bad}});
        CHECK_EQ(replies.size(), std::size_t(1));
        if (replies.empty())
            continue;
        const std::string& bytes = replies[0].bytes;
        CHECK_EQ(bytes.size(), s.length);
        WireMessage m = Image(bytes);
        CHECK_EQ(m.type, s.type);
        CHECK_EQ(TEXT(m, idSerial), std::string(s.idSerial ? s.idSerial : "b20000000001"));
        if (std::string(s.bad) == "noterm") {
            CHECK_EQ(TEXT(m, name).size(), sizeof m.name);
            CHECK_EQ(TEXT(m, lanIp).size(), sizeof m.lanIp);
            CHECK_EQ(TEXT(m, wifiDns).size(), sizeof m.wifiDns);
            CHECK_EQ(TEXT(m, version).size(), sizeof m.version);
        }
        if (std::string(s.bad) == "badutf8")
            CHECK(!IsValidUtf8(TEXT(m, name)));
    }

    CSimCamera camera = base;
    CHECK(!camera.Apply("from", "10.0.0.1").empty()); // outside the lab: refused
    CHECK(!camera.Apply("bad", "nonsense").empty());
    CHECK(!camera.Apply("colour", "red").empty());
    CHECK(!camera.Apply("delay", "-1").empty());
    CHECK(!camera.Apply("lanip", "198.18.100.100.1234").empty()); // 18 bytes in a 16-byte field
    CHECK(!camera.Apply("name", std::string(21, 'n')).empty());
    CHECK_EQ(camera.Apply("name", std::string(20, 'n')), std::string()); // fills the field, no zero
    CHECK_EQ(TEXT(camera.Image(), name), std::string(20, 'n'));
    CHECK_EQ(camera.Apply("lanmac", "00:1a:2B:3c:4D:5e"), std::string());
    CHECK(std::memcmp(camera.Image().lanMac, "\x00\x1A\x2B\x3C\x4D\x5E", 6) == 0);
    CHECK_EQ(camera.Apply("from", "lan"), std::string());
    CHECK_EQ(camera.Apply("lanip", "192.168.1.64"), std::string()); // not an address the lab owns
    std::string warning;
    CHECK(camera.BuildReplies(warning).empty());
    CHECK(warning.find("192.168.1.64") != std::string::npos);
}

void TestAdoptImage()
{
    CSimCamera camera = DefaultFleet()[0];
    WireMessage message = camera.Image();
    message.type = MSG_SET_INFO;
    std::memcpy(message.command, "HdvsSetInfo", 12);
    std::memset(message.name, 0, sizeof message.name);
    std::memcpy(message.name, "\xE6\x96\xB0", 3);
    camera.AdoptImage(message);
    CHECK_EQ(camera.Image().type, MSG_INFO);
    CHECK_EQ(TEXT(camera.Image(), name), std::string("\xE6\x96\xB0"));
    CHECK(std::memcmp(camera.Image().reserved628, message.reserved628, sizeof message.reserved628) == 0);
}

// A set-parameters message for camera `id` changing its address, gateway and name.
WireMessage SetInfoFor(const CSimCamera& camera, const char* lanIp, const char* gateway, const char* utf8Name)
{
    WireMessage m = camera.Image();
    m.type = MSG_SET_INFO;
    std::memcpy(m.command, "HdvsSetInfo", 12);
    std::memset(m.lanIp, 0, sizeof m.lanIp);
    std::memcpy(m.lanIp, lanIp, std::strlen(lanIp));
    std::memset(m.lanGateway, 0, sizeof m.lanGateway);
    std::memcpy(m.lanGateway, gateway, std::strlen(gateway));
    std::memset(m.name, 0, sizeof m.name);
    std::memcpy(m.name, utf8Name, std::strlen(utf8Name));
    return m;
}

// What a camera does with settings for it: take them, ignore them, keep its name, or take them
// only after its delay (the simulator applies them from SendDue).
void TestSetModes()
{
    struct {
        const char* onset;
        const char* lanIp;
        const char* gateway;
        const char* name;
    } const cases[] = {
        {"apply", "198.18.1.200", "198.18.1.254", "New"},
        {"ignore", "198.18.1.131", "198.18.1.1", "\xE5\x89\x8D\xE9\x97\xA8"},
        {"keepname", "198.18.1.200", "198.18.1.254", "\xE5\x89\x8D\xE9\x97\xA8"},
    };
    for (const auto& c : cases) {
        CCamSimulator simulator{LabNetwork{}};
        CSimControl control(simulator);
        CHECK_EQ(control.Execute("reset"), std::string("ok 12\n"));
        CHECK_EQ(control.Execute(std::string("set a1b2c3d4e5f6 onset=") + c.onset), std::string("ok 1\n"));
        CSimCamera* camera = simulator.Find("a1b2c3d4e5f6");
        CHECK(camera != nullptr);
        if (!camera)
            continue;
        WireMessage m = SetInfoFor(*camera, "198.18.1.200", "198.18.1.254", "New");
        std::memcpy(m.idSerial, "A1B2C3D4E5F6", 12); // any letter case
        simulator.TakeSetInfo(m);
        camera = simulator.Find("a1b2c3d4e5f6");
        CHECK_EQ(TEXT(camera->Image(), lanIp), std::string(c.lanIp));
        CHECK_EQ(TEXT(camera->Image(), lanGateway), std::string(c.gateway));
        CHECK_EQ(TEXT(camera->Image(), name), std::string(c.name));
        CHECK_EQ(camera->Image().type, MSG_INFO);
        CHECK(control.Execute("list").find(std::string("onset=") + c.onset) != std::string::npos);
    }

    // Delayed: the old values stay until the delay has passed; SendDue says when that is.
    CCamSimulator simulator{LabNetwork{}};
    CSimControl control(simulator);
    CHECK_EQ(control.Execute("reset"), std::string("ok 12\n"));
    CHECK_EQ(control.Execute("set b20000000001 applydelay=300 onset=keepname"), std::string("ok 1\n"));
    CHECK(control.Execute("list").find("applydelay=300") != std::string::npos);
    simulator.TakeSetInfo(SetInfoFor(*simulator.Find("b20000000001"), "198.18.1.201", "198.18.1.254", "New"));
    CHECK_EQ(simulator.PendingSettings(), std::size_t(1));
    CHECK_EQ(TEXT(simulator.Find("b20000000001")->Image(), lanIp), std::string("198.18.1.132"));
    const auto wait = simulator.SendDue();
    CHECK(wait.has_value() && *wait > std::chrono::milliseconds(200) &&
          *wait <= std::chrono::milliseconds(300));
    std::this_thread::sleep_for(std::chrono::milliseconds(320));
    CHECK(!simulator.SendDue().has_value());
    CHECK_EQ(simulator.PendingSettings(), std::size_t(0));
    CHECK_EQ(TEXT(simulator.Find("b20000000001")->Image(), lanIp), std::string("198.18.1.201"));
    CHECK_EQ(TEXT(simulator.Find("b20000000001")->Image(), name), std::string("Lobby"));

    // A new fleet drops settings still waiting; bad values are refused.
    simulator.TakeSetInfo(SetInfoFor(*simulator.Find("b20000000001"), "198.18.1.202", "198.18.1.254", "X"));
    CHECK_EQ(simulator.PendingSettings(), std::size_t(1));
    CHECK_EQ(control.Execute("reset"), std::string("ok 12\n"));
    CHECK_EQ(simulator.PendingSettings(), std::size_t(0));
    CHECK_EQ(control.Execute("set b20000000001 onset=sometimes").substr(0, 4), std::string("err "));
    CHECK_EQ(control.Execute("set b20000000001 applydelay=-5").substr(0, 4), std::string("err "));
    // Settings for a camera the fleet does not hold change nothing and wait for nothing.
    WireMessage nobody = SetInfoFor(*simulator.Find("b20000000001"), "198.18.1.203", "198.18.1.254", "X");
    std::memcpy(nobody.idSerial, "a99999999999", 12);
    simulator.TakeSetInfo(nobody);
    CHECK_EQ(simulator.PendingSettings(), std::size_t(0));
}

void TestControl()
{
    CCamSimulator simulator{LabNetwork{}};
    CSimControl control(simulator);
    auto run = [&](const std::string& line) { return control.Execute(line); };

    CHECK_EQ(run("reset"), std::string("ok 12\n"));
    CHECK_EQ(run("count\r\n"), std::string("ok 12\n"));
    CHECK_EQ(run("fleet 5000"), std::string("ok 5000\n"));
    CHECK_EQ(run("fleet 100"), std::string("ok 100\n"));
    CHECK_EQ(run("fleet " + std::to_string(MAX_FLEET + 1)).substr(0, 4), std::string("err "));
    CHECK_EQ(run("fleet lots").substr(0, 4), std::string("err "));
    CHECK_EQ(run("count"), std::string("ok 100\n"));
    CHECK_EQ(run("fleet default"), std::string("ok 12\n"));

    // A new camera with a Chinese name, then a replacement under the same id (any case).
    CHECK_EQ(run("camera id=f00000000099 name=%E4%B8%AD%E6%96%87 net=wifi wifiip=198.18.2.250"),
             std::string("ok f00000000099\n"));
    CHECK_EQ(run("count"), std::string("ok 13\n"));
    CHECK_EQ(run("camera id=F00000000099 namehex=414243"), std::string("ok F00000000099\n"));
    CHECK_EQ(run("count"), std::string("ok 13\n"));
    std::string got = run("get f00000000099");
    CHECK_EQ(got.size(), 3 + MESSAGE_SIZE * 2 + 1);
    auto image = HexDecode(got.substr(3, MESSAGE_SIZE * 2));
    CHECK(image.has_value());
    if (image)
        CHECK_EQ(TEXT(Image(*image), name), std::string("ABC"));
    CHECK_EQ(run("camera name=x").substr(0, 4), std::string("err "));

    CHECK_EQ(run("set a1b2c3d4e5f6 name=%E4%B8%AD delay=5 dup=2"), std::string("ok 1\n"));
    image = HexDecode(run("get A1B2C3D4E5F6").substr(3, MESSAGE_SIZE * 2));
    CHECK(image && TEXT(Image(*image), name) == "\xE4\xB8\xAD");
    // A failing setting changes nothing, not even the keys before it.
    CHECK_EQ(run("set a1b2c3d4e5f6 delay=9 bogus=1").substr(0, 4), std::string("err "));
    std::string list = run("list");
    CHECK(list.find("id=a1b2c3d4e5f6 name=%E4%B8%AD net=lan") != std::string::npos);
    CHECK(list.find("delay=5 dup=2") != std::string::npos);
    CHECK(list.size() >= 4 && list.substr(list.size() - 4) == "end\n");
    CHECK_EQ(run("set * bad=short shortlen=100"), std::string("ok 13\n"));
    CHECK_EQ(run("set nosuch000000 delay=1").substr(0, 4), std::string("err "));
    CHECK_EQ(run("remove f00000000099"), std::string("ok 12\n"));
    CHECK_EQ(run("get f00000000099").substr(0, 4), std::string("err "));

    // Answering every request is a mode of the simulator: it outlives fleet changes, and reset
    // ends it.
    CHECK(!simulator.AnswersEach());
    CHECK_EQ(run("answer each"), std::string("ok\n"));
    CHECK(simulator.AnswersEach());
    CHECK_EQ(run("fleet 10"), std::string("ok 10\n"));
    CHECK(simulator.AnswersEach());
    CHECK_EQ(run("answer link"), std::string("ok\n"));
    CHECK(!simulator.AnswersEach());
    CHECK_EQ(run("answer twice").substr(0, 4), std::string("err "));
    CHECK_EQ(run("answer").substr(0, 4), std::string("err "));
    CHECK_EQ(run("answer each"), std::string("ok\n"));
    CHECK_EQ(run("fleet default"), std::string("ok 12\n"));

    CHECK_EQ(run("burst on"), std::string("ok\n"));
    CHECK_EQ(simulator.PaceMicroseconds(), 0);
    CHECK_EQ(run("pace 7"), std::string("ok\n"));
    CHECK_EQ(simulator.PaceMicroseconds(), 7000);
    CHECK_EQ(run("log"), std::string("end\n"));
    CHECK_EQ(run("log clear"), std::string("ok\n"));
    CHECK_EQ(run("log stats"), std::string("ok received=0 get=0 ack=0 acked_ids=0 sent=0 first_get=0.000000 "
                                           "last_get=0.000000 last_ack=0.000000\n"));
    CHECK_EQ(run("frobnicate").substr(0, 4), std::string("err "));
    CHECK_EQ(run("").substr(0, 4), std::string("err "));
    CHECK(!control.ShutdownRequested());
    CHECK_EQ(run("quit"), std::string("ok bye\n"));
    CHECK(control.TakeCloseRequest());
    CHECK_EQ(run("shutdown"), std::string("ok\n"));
    CHECK(control.ShutdownRequested());
    CHECK_EQ(run("reset"), std::string("ok 12\n"));
    CHECK_EQ(simulator.PaceMicroseconds(), CCamSimulator::DEFAULT_PACE_US);
    CHECK(!simulator.AnswersEach());
}

// ---------------------------------------------------------------- lab

using Clock = std::chrono::steady_clock;

struct Received {
    std::string sender;
    std::string bytes;
    Clock::time_point at;
    std::string Id() const { return TEXT(Image(bytes), idSerial); }
};

class CLabPeer {
  public:
    bool Open(int controlPort)
    {
        m_control = Connect(controlPort);
        m_reply = Udp("0.0.0.0", REPLY_PORT);
        m_lan = Udp("198.18.1.10", SOURCE_PORT);
        m_wifi = Udp("198.18.2.10", SOURCE_PORT);
        return m_control.Valid() && m_reply.Valid() && m_lan.Valid() && m_wifi.Valid();
    }

    std::string Command(const std::string& line)
    {
        std::string text = line + "\n";
        if (::send(m_control.Get(), text.data(), text.size(), MSG_NOSIGNAL) !=
            static_cast<ssize_t>(text.size()))
            return "(send failed)";
        return ReadLine();
    }

    std::vector<std::string> CommandLines(const std::string& line)
    {
        std::vector<std::string> lines;
        for (std::string reply = Command(line); reply != "end" && reply.rfind("(", 0) != 0;
             reply = ReadLine())
            lines.push_back(reply);
        return lines;
    }

    // Sends one datagram to 255.255.255.255:8628 from 198.18.1.10 (lab0) or 198.18.2.10 (lab1).
    void Broadcast(const std::string& bytes, bool wifiLink)
    {
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_port = htons(CAMERA_PORT);
        target.sin_addr.s_addr = htonl(INADDR_BROADCAST);
        ::sendto((wifiLink ? m_wifi : m_lan).Get(), bytes.data(), bytes.size(), 0,
                 reinterpret_cast<sockaddr*>(&target), sizeof target);
    }

    // Receives until nothing has arrived for quietMs (and at least minMs have passed).
    std::vector<Received> Collect(int minMs, int quietMs = 400)
    {
        std::vector<Received> out;
        const auto start = Clock::now();
        auto last = start;
        for (;;) {
            const auto now = Clock::now();
            const auto quietEnd =
                std::max(last + std::chrono::milliseconds(quietMs), start + std::chrono::milliseconds(minMs));
            if (now >= quietEnd)
                break;
            pollfd p{m_reply.Get(), POLLIN, 0};
            int wait = static_cast<int>(
                std::chrono::duration_cast<std::chrono::milliseconds>(quietEnd - now).count());
            if (::poll(&p, 1, wait + 1) <= 0)
                continue;
            char buffer[4096];
            sockaddr_in from{};
            socklen_t length = sizeof from;
            ssize_t n = ::recvfrom(m_reply.Get(), buffer, sizeof buffer, 0,
                                   reinterpret_cast<sockaddr*>(&from), &length);
            if (n < 0)
                continue;
            last = Clock::now();
            out.push_back({FormatIpv4(ntohl(from.sin_addr.s_addr)),
                           std::string(buffer, static_cast<std::size_t>(n)), last});
        }
        return out;
    }

    // A discovery request out of the chosen links, and every reply it draws.
    std::vector<Received> Scan(bool lan, bool wifi, int minMs = 300)
    {
        Collect(0, 50); // leftovers of an earlier step
        std::string get(MESSAGE_SIZE, '\0');
        get[0] = static_cast<char>(MSG_GET);
        std::memcpy(get.data() + 4, "HdvsGet", 8);
        m_sentAt = Clock::now();
        if (lan)
            Broadcast(get, false);
        if (wifi)
            Broadcast(get, true);
        return Collect(minMs);
    }

    Clock::time_point SentAt() const { return m_sentAt; }

  private:
    std::string ReadLine()
    {
        for (;;) {
            std::size_t newline = m_input.find('\n');
            if (newline != std::string::npos) {
                std::string line = m_input.substr(0, newline);
                m_input.erase(0, newline + 1);
                return line;
            }
            pollfd p{m_control.Get(), POLLIN, 0};
            if (::poll(&p, 1, 5000) <= 0)
                return "(timeout)";
            char buffer[65536];
            ssize_t n = ::recv(m_control.Get(), buffer, sizeof buffer, 0);
            if (n <= 0)
                return "(closed)";
            m_input.append(buffer, static_cast<std::size_t>(n));
        }
    }

    static CUniqueFd Connect(int port)
    {
        CUniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_in peer{};
        peer.sin_family = AF_INET;
        peer.sin_port = htons(static_cast<std::uint16_t>(port));
        inet_pton(AF_INET, "198.18.1.2", &peer.sin_addr);
        for (int attempt = 0; attempt < 50; ++attempt) {
            if (::connect(fd.Get(), reinterpret_cast<sockaddr*>(&peer), sizeof peer) == 0)
                return fd;
            std::this_thread::sleep_for(std::chrono::milliseconds(100)); // the simulator may be starting
            fd = CUniqueFd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        }
        std::fprintf(stderr, "cannot reach the simulator's control port 198.18.1.2:%d\n", port);
        return CUniqueFd();
    }

    static CUniqueFd Udp(const char* address, std::uint16_t port)
    {
        CUniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
        const int on = 1;
        setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        setsockopt(fd.Get(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        const int buffer = 4 << 20;
        setsockopt(fd.Get(), SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(port);
        inet_pton(AF_INET, address, &local.sin_addr);
        if (::bind(fd.Get(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
            std::fprintf(stderr, "cannot bind %s:%u: %s\n", address, port, std::strerror(errno));
            return CUniqueFd();
        }
        return fd;
    }

    CUniqueFd m_control, m_reply, m_lan, m_wifi;
    std::string m_input;
    Clock::time_point m_sentAt;
};

std::map<std::string, std::vector<Received>> ById(const std::vector<Received>& replies)
{
    std::map<std::string, std::vector<Received>> out;
    for (const Received& r : replies)
        out[Lower(r.Id())].push_back(r);
    return out;
}

std::string CameraImage(CLabPeer& lab, const std::string& id)
{
    std::string reply = lab.Command("get " + id);
    return reply.rfind("ok ", 0) == 0 ? HexDecode(reply.substr(3)).value_or("") : "";
}

void LabDiscovery(CLabPeer& lab)
{
    CHECK_EQ(lab.Command("reset"), std::string("ok 12"));
    const auto fleet = DefaultFleet();

    // One request on lab0: every wired camera once, from its lanIp, byte for byte its block.
    auto replies = lab.Scan(true, false);
    auto byId = ById(replies);
    std::size_t wired = 0;
    for (const CSimCamera& camera : fleet) {
        if (camera.ListenDevice() != "lab0c")
            continue;
        ++wired;
        auto& got = byId[Lower(camera.IdSerial())];
        CHECK_EQ(got.size(), std::size_t(1));
        if (got.empty())
            continue;
        CHECK_EQ(got[0].sender, TEXT(camera.Image(), lanIp));
        CHECK_EQ(got[0].bytes.size(), MESSAGE_SIZE);
        CHECK(got[0].bytes == CameraImage(lab, camera.IdSerial()));
    }
    CHECK_EQ(replies.size(), wired);

    // Requests on both links: the WiFi cameras answer too, from their wifiIp, nobody twice.
    replies = lab.Scan(true, true);
    CHECK_EQ(replies.size(), fleet.size());
    byId = ById(replies);
    for (const CSimCamera& camera : fleet) {
        auto& got = byId[Lower(camera.IdSerial())];
        CHECK_EQ(got.size(), std::size_t(1));
        if (!got.empty() && camera.ListenDevice() == "lab1c")
            CHECK_EQ(got[0].sender, TEXT(camera.Image(), wifiIp));
    }
}

// Fields of a "log stats" reply, by key.
std::map<std::string, double> Stats(CLabPeer& lab)
{
    std::map<std::string, double> out;
    const std::string reply = lab.Command("log stats");
    CHECK_EQ(reply.rfind("ok ", 0), std::size_t(0));
    std::size_t pos = 3;
    while (pos < reply.size()) {
        std::size_t end = reply.find(' ', pos);
        if (end == std::string::npos)
            end = reply.size();
        const std::string word = reply.substr(pos, end - pos);
        const std::size_t eq = word.find('=');
        if (eq != std::string::npos)
            out[word.substr(0, eq)] = std::atof(word.c_str() + eq + 1);
        pos = end + 1;
    }
    return out;
}

// Requests on both links with every camera answering each: each camera twice, both replies
// from the address and link it always answers from; then back to one answer per camera.
void LabAnswerEach(CLabPeer& lab)
{
    CHECK_EQ(lab.Command("reset"), std::string("ok 12"));
    CHECK_EQ(lab.Command("answer each"), std::string("ok"));
    CHECK_EQ(lab.Command("log clear"), std::string("ok"));
    const auto fleet = DefaultFleet();
    auto replies = lab.Scan(true, true);
    CHECK_EQ(replies.size(), 2 * fleet.size());
    auto byId = ById(replies);
    for (const CSimCamera& camera : fleet) {
        auto& got = byId[Lower(camera.IdSerial())];
        CHECK_EQ(got.size(), std::size_t(2));
        const std::string expected =
            camera.ListenDevice() == "lab1c" ? TEXT(camera.Image(), wifiIp) : TEXT(camera.Image(), lanIp);
        for (const Received& r : got) {
            CHECK_EQ(r.sender, expected);
            CHECK(r.bytes == CameraImage(lab, camera.IdSerial()));
        }
    }
    auto stats = Stats(lab);
    CHECK_EQ(stats["get"], 2.0);
    CHECK_EQ(stats["sent"], static_cast<double>(2 * fleet.size()));
    CHECK(stats["first_get"] > 0 && stats["last_get"] >= stats["first_get"]);

    // One request still draws each camera on that link once.
    replies = lab.Scan(false, true);
    CHECK_EQ(replies.size(), fleet.size());
    CHECK_EQ(ById(replies).size(), fleet.size());

    // Acknowledgements are tallied by camera, whatever the letter case of their idSerial.
    CHECK_EQ(lab.Command("log clear"), std::string("ok"));
    std::string ack = CameraImage(lab, "a1b2c3d4e5f6");
    CHECK_EQ(ack.size(), MESSAGE_SIZE);
    if (ack.size() == MESSAGE_SIZE) {
        ack[0] = static_cast<char>(MSG_ACK);
        lab.Broadcast(ack, false);
        std::memcpy(ack.data() + offsetof(WireMessage, idSerial), "A1B2C3D4E5F6", 12);
        lab.Broadcast(ack, true);
        for (int i = 0; i < 50 && Stats(lab)["ack"] < 2; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        stats = Stats(lab);
        CHECK_EQ(stats["ack"], 2.0);
        CHECK_EQ(stats["acked_ids"], 1.0);
        CHECK_EQ(stats["received"], 2.0);
        CHECK(stats["last_ack"] > 0);
    }

    CHECK_EQ(lab.Command("answer link"), std::string("ok"));
    replies = lab.Scan(true, true);
    CHECK_EQ(replies.size(), fleet.size());
    CHECK_EQ(ById(replies).size(), fleet.size());
}

void LabLogAndSetInfo(CLabPeer& lab)
{
    CHECK_EQ(lab.Command("reset"), std::string("ok 12"));
    auto replies = lab.Scan(true, false);
    auto byId = ById(replies);
    CHECK(!byId["a1b2c3d4e5f6"].empty());
    if (byId["a1b2c3d4e5f6"].empty())
        return;

    // The log holds the request as received on lab0c.
    auto log = lab.CommandLines("log");
    std::string get(MESSAGE_SIZE, '\0');
    get[0] = static_cast<char>(MSG_GET);
    std::memcpy(get.data() + 4, "HdvsGet", 8);
    const std::string expected =
        " type=86 from=198.18.1.10:50504 if=lab0c id= len=1088 hex=" + HexEncode(get.data(), get.size());
    CHECK_EQ(log.size(), std::size_t(1));
    if (!log.empty()) {
        CHECK_EQ(log[0].rfind("t=", 0), std::size_t(0));
        CHECK_EQ(log[0].substr(log[0].find(' ')), expected);
    }

    // A set-parameters message under the id in other letter case changes the next reply.
    std::string set = byId["a1b2c3d4e5f6"][0].bytes;
    WireMessage m = Image(set);
    m.type = MSG_SET_INFO;
    std::memcpy(m.command, "HdvsSetInfo", 12);
    std::memcpy(m.idSerial, "A1B2C3D4E5F6", 12);
    std::memset(m.name, 0, sizeof m.name);
    std::memcpy(m.name, "\xE6\x96\xB0\xE5\x90\x8D\xE5\xAD\x97", 9); // 新名字
    std::memset(m.lanIp, 0, sizeof m.lanIp);
    std::memcpy(m.lanIp, "198.18.1.200", 12);
    set.assign(reinterpret_cast<const char*>(&m), MESSAGE_SIZE);
    CHECK_EQ(lab.Command("log clear"), std::string("ok"));
    lab.Broadcast(set, false);
    std::string image;
    for (int i = 0; i < 50 && TEXT(Image(image), name) != "\xE6\x96\xB0\xE5\x90\x8D\xE5\xAD\x97"; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        image = CameraImage(lab, "a1b2c3d4e5f6");
    }
    CHECK_EQ(TEXT(Image(image), name), std::string("\xE6\x96\xB0\xE5\x90\x8D\xE5\xAD\x97"));
    log = lab.CommandLines("log");
    CHECK_EQ(log.size(), std::size_t(1));
    if (!log.empty())
        CHECK(log[0].find(" type=135 from=198.18.1.10:50504 if=lab0c id=A1B2C3D4E5F6 len=1088 hex=" +
                          HexEncode(set.data(), set.size())) != std::string::npos);

    replies = lab.Scan(true, false);
    byId = ById(replies);
    auto& changed = byId["a1b2c3d4e5f6"];
    CHECK_EQ(changed.size(), std::size_t(1));
    if (!changed.empty()) {
        CHECK_EQ(changed[0].sender, std::string("198.18.1.200"));
        std::string expectedReply = set;
        expectedReply[0] = static_cast<char>(MSG_INFO);
        CHECK(changed[0].bytes == expectedReply);
    }
    // A message for nobody changes nobody.
    std::memcpy(m.idSerial, "a99999999999", 12);
    lab.Broadcast(std::string(reinterpret_cast<const char*>(&m), MESSAGE_SIZE), false);
    CHECK_EQ(lab.Scan(true, false).size(), std::size_t(7));
}

void LabOptions(CLabPeer& lab)
{
    CHECK_EQ(lab.Command("reset"), std::string("ok 12"));
    CHECK_EQ(lab.Command("set b20000000001 from=both"), std::string("ok 1"));
    CHECK_EQ(lab.Command("set d40000000003 dup=3"), std::string("ok 1"));
    CHECK_EQ(lab.Command("set F12345678901 from=192.168.100.100"), std::string("ok 1"));
    CHECK_EQ(lab.Command("set a60000000005 bad=idletter"), std::string("ok 1"));
    CHECK_EQ(lab.Command("set c30000000002 bad=short shortlen=100"), std::string("ok 1"));
    CHECK_EQ(lab.Command("set f70000000006 delay=500"), std::string("ok 1"));
    CHECK_EQ(lab.Command("set fb000000000a anylink=1"), std::string("ok 1"));
    auto replies = lab.Scan(true, false, 900);
    std::map<std::string, std::vector<Received>> bySender;
    for (const Received& r : replies)
        bySender[r.sender].push_back(r);

    CHECK_EQ(bySender["198.18.1.132"].size(), std::size_t(1)); // both: wired ...
    CHECK_EQ(bySender["198.18.2.132"].size(), std::size_t(1)); // ... and WiFi
    CHECK_EQ(bySender["198.18.1.134"].size(), std::size_t(3)); // dup=3
    CHECK_EQ(bySender["192.168.100.100"].size(), std::size_t(1));
    CHECK_EQ(bySender["198.18.1.135"].size(), std::size_t(0));
    if (!bySender["192.168.100.100"].empty())
        CHECK_EQ(bySender["192.168.100.100"][0].Id(), std::string("F12345678901"));
    CHECK_EQ(bySender["198.18.1.136"].size(), std::size_t(1));
    if (!bySender["198.18.1.136"].empty())
        CHECK_EQ(bySender["198.18.1.136"][0].Id(), std::string("e60000000005"));
    CHECK_EQ(bySender["198.18.1.133"].size(), std::size_t(1));
    if (!bySender["198.18.1.133"].empty())
        CHECK_EQ(bySender["198.18.1.133"][0].bytes.size(), std::size_t(100));
    CHECK_EQ(bySender["198.18.1.137"].size(), std::size_t(1));
    if (!bySender["198.18.1.137"].empty())
        CHECK(bySender["198.18.1.137"][0].at - lab.SentAt() >= std::chrono::milliseconds(450));
    // A WiFi camera told to hear every link answers the request on lab0 too.
    CHECK_EQ(bySender["198.18.2.141"].size(), std::size_t(1));
    CHECK_EQ(replies.size(), std::size_t(11)); // 7 wired, +1 both, +2 dup, +1 anylink
}

// Over the wire: a camera that ignores settings, one that keeps its name and one that takes
// them late answer as they should (the late one from its new address once it took them).
void LabSetModes(CLabPeer& lab)
{
    CHECK_EQ(lab.Command("reset"), std::string("ok 12"));
    CHECK_EQ(lab.Command("set b20000000001 onset=ignore"), std::string("ok 1"));
    CHECK_EQ(lab.Command("set c30000000002 onset=keepname"), std::string("ok 1"));
    CHECK_EQ(lab.Command("set d40000000003 applydelay=1000"), std::string("ok 1"));
    const auto fleet = DefaultFleet();
    const struct {
        std::size_t index;
        const char* lanIp;
    } targets[] = {{1, "198.18.1.201"}, {2, "198.18.1.202"}, {3, "198.18.1.203"}};
    for (const auto& t : targets) {
        const WireMessage m = SetInfoFor(fleet[t.index], t.lanIp, "198.18.1.254", "New");
        lab.Broadcast(std::string(reinterpret_cast<const char*>(&m), MESSAGE_SIZE), false);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    auto byId = ById(lab.Scan(true, false));
    auto senderOf = [&byId](const char* id) {
        auto& got = byId[id];
        return got.size() == 1 ? got[0].sender : std::string("(") + std::to_string(got.size()) + " replies)";
    };
    CHECK_EQ(senderOf("b20000000001"), std::string("198.18.1.132"));
    CHECK_EQ(senderOf("c30000000002"), std::string("198.18.1.202"));
    if (byId["c30000000002"].size() == 1)
        CHECK_EQ(TEXT(Image(byId["c30000000002"][0].bytes), name), TEXT(fleet[2].Image(), name));
    CHECK_EQ(senderOf("d40000000003"), std::string("198.18.1.134")); // not yet
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    byId = ById(lab.Scan(true, false));
    CHECK_EQ(senderOf("d40000000003"), std::string("198.18.1.203"));
    if (byId["d40000000003"].size() == 1)
        CHECK_EQ(TEXT(Image(byId["d40000000003"][0].bytes), name), std::string("New"));
    CHECK_EQ(senderOf("b20000000001"), std::string("198.18.1.132"));
    CHECK_EQ(lab.Command("reset"), std::string("ok 12"));
}

void LabBigFleet(CLabPeer& lab)
{
    CHECK_EQ(lab.Command("fleet 1000"), std::string("ok 1000"));
    CHECK_EQ(lab.Command("burst on"), std::string("ok"));
    CHECK_EQ(lab.Command("log clear"), std::string("ok"));
    auto replies = lab.Scan(true, false);
    std::set<std::string> senders, ids;
    for (const Received& r : replies) {
        senders.insert(r.sender);
        ids.insert(Lower(r.Id()));
    }
    CHECK_EQ(lab.Command("sent"), std::string("ok 1000"));
    // A burst may overrun the receiver, so losses are possible; duplicates are not.
    CHECK_EQ(senders.size(), replies.size());
    CHECK_EQ(ids.size(), replies.size());
    CHECK(replies.size() >= 900);
    std::printf("burst of 1000: %zu replies received\n", replies.size());
    CHECK_EQ(lab.Command("reset"), std::string("ok 12"));
}

int RunLab(int port)
{
    // This side sends too: it must be inside the lab.
    LabNetwork network = ScanLabNetwork();
    if (!network.foreign.empty() || network.labLinks.empty()) {
        std::fprintf(stderr, "refusing: not inside the lab's tool side (run through scripts/lab.sh tool)\n");
        return 2;
    }
    CLabPeer lab;
    if (!lab.Open(port))
        return 1;
    LabDiscovery(lab);
    LabAnswerEach(lab);
    LabLogAndSetInfo(lab);
    LabOptions(lab);
    LabSetModes(lab);
    LabBigFleet(lab);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && std::string(argv[1]) == "--lab") {
        if (int rc = RunLab(argc >= 3 ? std::atoi(argv[2]) : 8700))
            return rc;
    } else {
        TestText();
        TestDefaultFleet();
        TestGeneratedFleet();
        TestReplyOptions();
        TestAdoptImage();
        TestSetModes();
        TestControl();
    }
    if (g_failures) {
        std::fprintf(stderr, "%d check(s) failed\n", g_failures);
        return 1;
    }
    std::printf("all checks passed\n");
    return 0;
}
