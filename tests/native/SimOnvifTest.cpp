// The simulator's ONVIF devices, read back by the receiver's own parser: the devices it plays are
// what a receiver must list, and every hostile datagram it sends is one a receiver must drop.
#include <gtest/gtest.h>

#include "protocol/OnvifMessage.h"
#include "tools/camsim/CamSimulator.h"
#include "tools/camsim/SimControl.h"
#include "tools/camsim/SimFleet.h"
#include "tools/camsim/SimOnvifFleet.h"
#include "tools/camsim/SimText.h"

#include <set>
#include <string>

namespace {

const std::string PROBE_ID = "urn:uuid:00000000-1111-4222-8333-444444444444";

OnvifDevice ParsedMatch(const SimOnvifDevice& device)
{
    const std::string bytes = BuildSimProbeMatches(device, PROBE_ID);
    OnvifMessage message;
    EXPECT_TRUE(ParseOnvifMessage(bytes.data(), bytes.size(), message)) << bytes;
    EXPECT_EQ(message.relatesTo, PROBE_ID);
    return message.announcements.size() == 1 ? message.announcements[0].device : OnvifDevice{};
}

TEST(SimOnvifTest, DefaultDevicesReadAsTheirShapesPromise)
{
    const std::vector<SimOnvifDevice> fleet = DefaultOnvifFleet();
    ASSERT_EQ(fleet.size(), 6u);
    struct Want {
        const char *name, *hardware, *mac, *address;
    };
    const Want want[] = {
        {"Caf\xC3\xA9 Nord", "NVT-100", "00:0F:7C:00:00:01", "198.18.1.200"},
        {"\xE5\x8C\x97\xE9\x97\xA8\xE7\x90\x83\xE6\x9C\xBA", "PTZ X/2", "00:0F:7C:00:00:02", "198.18.1.201"},
        {"Entr\xC3\xA9"
         "e 50%",
         "Dome\xE2\x84\xA2", "00:0F:7C:00:00:03", "198.18.2.200"},
        {"Caf\xC3\xA9 Nord", "NVT-100", "00:0F:7C:00:00:01", "198.18.1.202"},
        {"\xE5\x89\x8D\xE9\x97\xA8", "LV-Cam", "00:1A:2B:3C:4D:50", "198.18.1.131"},
        {"Lobby ONVIF", "LV-Cam", "00:1A:2B:3C:4D:51", "198.18.1.203"},
    };
    for (std::size_t i = 0; i < fleet.size(); ++i) {
        const OnvifDevice device = ParsedMatch(fleet[i]);
        EXPECT_EQ(device.name, want[i].name) << i;
        EXPECT_EQ(device.hardware, want[i].hardware) << i;
        EXPECT_EQ(device.mac, want[i].mac) << i;
        EXPECT_EQ(device.address, want[i].address) << i;
        EXPECT_EQ(FormatIpv4(fleet[i].source), want[i].address) << "answers from the address it lists";
    }
    EXPECT_EQ(fleet[0].endpoint, fleet[3].endpoint) << "one device answering from two addresses";
    // The two that also answer as this maker's cameras match the default fleet's a1b2c3d4e5f6 and
    // b20000000001.
    const std::vector<CSimCamera> cameras = DefaultFleet();
    EXPECT_EQ(FieldText(cameras[0].Image().lanIp, sizeof cameras[0].Image().lanIp), "198.18.1.131");
    EXPECT_EQ(cameras[1].Image().lanMac[5], 0x51);
}

TEST(SimOnvifTest, GeneratedDevicesAreDistinctAndClearOfTheCameras)
{
    const std::vector<SimOnvifDevice> fleet = GeneratedOnvifFleet(MAX_ONVIF_FLEET);
    ASSERT_EQ(fleet.size(), MAX_ONVIF_FLEET);
    std::set<std::string> cameraAddresses;
    for (const CSimCamera& camera : GeneratedFleet(MAX_FLEET))
        for (const std::string& ip :
             {FieldText(camera.Image().lanIp, 16), FieldText(camera.Image().wifiIp, 20)})
            cameraAddresses.insert(ip);
    std::set<std::string> endpoints, addresses, names;
    for (const SimOnvifDevice& sim : fleet) {
        EXPECT_TRUE(IsLabSourceAddress(sim.source)) << FormatIpv4(sim.source);
        const OnvifDevice device = ParsedMatch(sim);
        EXPECT_EQ(device.address, FormatIpv4(sim.source));
        EXPECT_EQ(cameraAddresses.count(device.address), 0u) << device.address;
        EXPECT_EQ(device.mac.size(), 17u);
        endpoints.insert(device.endpoint);
        addresses.insert(device.address);
        names.insert(device.name);
    }
    EXPECT_EQ(endpoints.size(), fleet.size());
    EXPECT_EQ(addresses.size(), fleet.size());
    EXPECT_EQ(names.size(), fleet.size());
}

TEST(SimOnvifTest, HelloAndByeReadAsSuch)
{
    const SimOnvifDevice device = DefaultOnvifFleet()[1];
    OnvifMessage message;
    const std::string hello = BuildSimHello(device);
    ASSERT_TRUE(ParseOnvifMessage(hello.data(), hello.size(), message));
    EXPECT_EQ(message.kind, OnvifNews::Hello);
    EXPECT_EQ(message.announcements.at(0).device.address, "198.18.1.201");
    const std::string bye = BuildSimBye(device);
    ASSERT_TRUE(ParseOnvifMessage(bye.data(), bye.size(), message));
    EXPECT_EQ(message.kind, OnvifNews::Bye);
    EXPECT_EQ(message.announcements.at(0).device.endpoint, device.endpoint);
}

TEST(SimOnvifTest, EveryHostileDatagramIsDropped)
{
    for (const char* name :
         {"malformed", "oversized", "nested", "laughs", "external", "wrongns", "badutf8", "stale"}) {
        const auto kind = ParseOnvifHostile(name);
        ASSERT_TRUE(kind) << name;
        const std::string bytes = BuildSimHostile(*kind, PROBE_ID);
        EXPECT_LE(bytes.size(), 65507u) << name << ": must fit one UDP datagram";
        OnvifMessage message;
        const bool parsed = ParseOnvifMessage(bytes.data(), bytes.size(), message);
        if (*kind == SimOnvifHostile::Stale) {
            // Well-formed: the receiver drops it since it answers no Probe it sent.
            EXPECT_TRUE(parsed);
            EXPECT_NE(message.relatesTo, PROBE_ID);
        } else {
            EXPECT_FALSE(parsed) << name;
        }
    }
}

TEST(SimOnvifTest, ControlCommands)
{
    CCamSimulator simulator(LabNetwork{});
    CSimOnvif onvif(LabNetwork{});
    CSimControl control(simulator);
    std::string error;
    ASSERT_TRUE(control.AttachOnvif(onvif, "default", error));
    struct Case {
        const char* command;
        const char* reply;
    } cases[] = {
        {"onvif stats", "ok probes=0 matches=0 devices=6\n"},
        {"onvif 25", "ok 25\n"},
        {"onvif 2001", "err "},
        {"onvif hostile laughs,stale", "ok 2\n"},
        {"onvif hostile laughs,bogus", "err unknown hostile kind bogus"},
        {"onvif hello 26", "err onvif hello takes a device number 1-25"},
        {"onvif bye 0", "err "},
        {"onvif delay 0", "ok\n"},
        {"onvif delay 5001", "err onvif delay is 0 to 5000 ms"},
        {"onvif none", "ok 0\n"},
        {"reset", "ok 12\n"},
        {"onvif stats", "ok probes=0 matches=0 devices=6\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(control.Execute(c.command).rfind(c.reply, 0), 0u)
            << c.command << " -> " << control.Execute(c.command);
    EXPECT_TRUE(onvif.Hostile().empty()) << "reset forgets the hostile kinds";
    EXPECT_EQ(onvif.MaxDelayMs(), CSimOnvif::DEFAULT_MAX_DELAY_MS);
}

} // namespace
