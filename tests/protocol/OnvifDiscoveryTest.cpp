// The WS-Discovery receiver against the simulator's ONVIF devices, in the lab: Probes out of each
// searched address, every device's answer delivered once with its fields, Hello and Bye, hostile
// and unsolicited answers never delivered, bursts in batches, and a quick Stop.
#include "protocol/OnvifDiscovery.h"

#include "tests/support/CamSimClient.h"
#include "tests/support/LabGuard.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

class CRecordingSink : public COnvifSink {
  public:
    void OnOnvifAnnouncements(std::vector<OnvifAnnouncement>&& batch) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_calls;
        for (OnvifAnnouncement& a : batch)
            m_heard.push_back(std::move(a));
        m_changed.notify_all();
    }
    // Waits until `count` announcements of `kind` are heard or timeoutMs passes; what was heard.
    std::vector<OnvifAnnouncement> WaitFor(OnvifNews kind, std::size_t count, int timeoutMs)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return Count(kind) >= count; });
        return m_heard;
    }
    std::vector<OnvifAnnouncement> Heard()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_heard;
    }
    int Calls()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_calls;
    }

  private:
    std::size_t Count(OnvifNews kind) const
    {
        std::size_t n = 0;
        for (const OnvifAnnouncement& a : m_heard)
            n += a.kind == kind;
        return n;
    }
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<OnvifAnnouncement> m_heard;
    int m_calls = 0;
};

std::string Dotted(std::uint32_t ip)
{
    return std::to_string(ip >> 24) + "." + std::to_string((ip >> 16) & 255) + "." +
           std::to_string((ip >> 8) & 255) + "." + std::to_string(ip & 255);
}

// Late answers still on their way when a test ends go nowhere: every test waits this long after
// its last expected answer before it counts.
constexpr int SETTLE_MS = 500;

class OnvifDiscoveryTest : public testing::Test {
  protected:
    void SetUp() override
    {
        RequireLabNetwork();
        ASSERT_TRUE(m_sim.Connect());
        ASSERT_EQ(m_sim.Command("reset"), "ok 12");
        ASSERT_EQ(m_sim.Command("onvif default"), "ok 6");
    }
    void TearDown() override
    {
        m_discovery.Stop();
        m_sim.Command("reset");
        m_sim.Command("onvif none");
    }

    CCamSimClient m_sim;
    CRecordingSink m_sink;
    COnvifDiscovery m_discovery{m_sink};
};

TEST_F(OnvifDiscoveryTest, EveryDeviceAnswersOnceWithItsFields)
{
    ASSERT_TRUE(m_discovery.Start());
    m_discovery.Probe();
    m_sink.WaitFor(OnvifNews::Match, 6, 5000);
    std::this_thread::sleep_for(std::chrono::milliseconds(SETTLE_MS));
    const std::vector<OnvifAnnouncement> heard = m_sink.Heard();

    struct Want {
        const char *endpoint, *name, *mac;
    };
    const std::map<std::string, Want> want = {
        {"198.18.1.200",
         {"urn:uuid:5a0e0001-0000-4000-8000-000000000001", "Caf\xC3\xA9 Nord", "00:0F:7C:00:00:01"}},
        {"198.18.1.201",
         {"urn:uuid:5a0e0002-0000-4000-8000-000000000002", "\xE5\x8C\x97\xE9\x97\xA8\xE7\x90\x83\xE6\x9C\xBA",
          "00:0F:7C:00:00:02"}},
        {"198.18.2.200",
         {"urn:uuid:5a0e0003-0000-4000-8000-000000000003",
          "Entr\xC3\xA9"
          "e 50%",
          "00:0F:7C:00:00:03"}},
        {"198.18.1.202",
         {"urn:uuid:5a0e0001-0000-4000-8000-000000000001", "Caf\xC3\xA9 Nord", "00:0F:7C:00:00:01"}},
        {"198.18.1.131",
         {"urn:uuid:5a0e0005-0000-4000-8000-000000000005", "\xE5\x89\x8D\xE9\x97\xA8", "00:1A:2B:3C:4D:50"}},
        {"198.18.1.203",
         {"urn:uuid:5a0e0006-0000-4000-8000-000000000006", "Lobby ONVIF", "00:1A:2B:3C:4D:51"}},
    };
    std::map<std::string, int> seen;
    for (const OnvifAnnouncement& a : heard) {
        const std::string sender = Dotted(a.senderIp);
        ++seen[sender];
        EXPECT_EQ(a.kind, OnvifNews::Match);
        const auto it = want.find(sender);
        ASSERT_NE(it, want.end()) << sender;
        EXPECT_EQ(a.device.endpoint, it->second.endpoint) << sender;
        EXPECT_EQ(a.device.name, it->second.name) << sender;
        EXPECT_EQ(a.device.mac, it->second.mac) << sender;
        EXPECT_EQ(a.device.address, sender) << "the first IPv4 XAddrs entry, after IPv6 and host names";
    }
    for (const auto& [sender, count] : seen)
        EXPECT_EQ(count, 1) << sender;
    EXPECT_EQ(seen.size(), want.size());

    // One Probe out of each searched address (198.18.3.1 ends in .1: not searched), each with a
    // MessageID of its own, fresh on the next Probe.
    std::vector<std::string> probes = m_sim.CommandLines("onvif probes");
    m_discovery.Probe();
    m_sink.WaitFor(OnvifNews::Match, 12, 5000);
    const std::vector<std::string> again = m_sim.CommandLines("onvif probes");
    ASSERT_EQ(probes.size(), 2u);
    ASSERT_EQ(again.size(), 4u);
    std::set<std::string> ids, senders;
    for (const std::string& line : again) {
        ids.insert(line.substr(0, line.find(' ')));
        senders.insert(line.substr(line.find("from="), line.find(" if=") - line.find("from=")));
    }
    EXPECT_EQ(ids.size(), 4u);
    EXPECT_EQ(senders, (std::set<std::string>{"from=198.18.1.10", "from=198.18.2.10"}));
}

TEST_F(OnvifDiscoveryTest, HelloAndByeAreHeardWithoutAProbe)
{
    ASSERT_TRUE(m_discovery.Start());
    ASSERT_EQ(m_sim.Command("onvif hello 2"), "ok 1");
    std::vector<OnvifAnnouncement> heard = m_sink.WaitFor(OnvifNews::Hello, 1, 5000);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].kind, OnvifNews::Hello);
    EXPECT_EQ(heard[0].device.endpoint, "urn:uuid:5a0e0002-0000-4000-8000-000000000002");
    EXPECT_EQ(heard[0].device.address, "198.18.1.201");
    EXPECT_EQ(heard[0].device.hardware, "PTZ X/2");
    EXPECT_EQ(Dotted(heard[0].senderIp), "198.18.1.201");

    ASSERT_EQ(m_sim.Command("onvif bye 2"), "ok 1");
    heard = m_sink.WaitFor(OnvifNews::Bye, 1, 5000);
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[1].kind, OnvifNews::Bye);
    EXPECT_EQ(heard[1].device.endpoint, "urn:uuid:5a0e0002-0000-4000-8000-000000000002");
}

TEST_F(OnvifDiscoveryTest, HostileAndUnsolicitedAnswersAreNeverDelivered)
{
    ASSERT_EQ(m_sim.Command("onvif hostile malformed,oversized,nested,laughs,external,wrongns,badutf8,stale"),
              "ok 8");
    ASSERT_TRUE(m_discovery.Start());
    m_discovery.Probe();
    m_sink.WaitFor(OnvifNews::Match, 6, 5000);
    std::this_thread::sleep_for(std::chrono::milliseconds(SETTLE_MS));
    const std::vector<OnvifAnnouncement> heard = m_sink.Heard();
    EXPECT_EQ(heard.size(), 6u);
    for (const OnvifAnnouncement& a : heard) {
        EXPECT_EQ(a.device.endpoint.rfind("urn:uuid:bad-", 0), std::string::npos) << a.device.endpoint;
        EXPECT_LT(a.senderIp & 0xFF, 240u) << Dotted(a.senderIp);
    }
}

TEST_F(OnvifDiscoveryTest, ABurstOfAnswersArrivesWholeAndInBatches)
{
    constexpr std::size_t DEVICES = 500;
    ASSERT_EQ(m_sim.Command("onvif " + std::to_string(DEVICES)), "ok " + std::to_string(DEVICES));
    ASSERT_TRUE(m_discovery.Start());
    m_discovery.Probe();
    m_sink.WaitFor(OnvifNews::Match, DEVICES, 10000);
    std::this_thread::sleep_for(std::chrono::milliseconds(SETTLE_MS));
    std::set<std::string> endpoints;
    for (const OnvifAnnouncement& a : m_sink.Heard())
        EXPECT_TRUE(endpoints.insert(a.device.endpoint).second) << a.device.endpoint << " twice";
    EXPECT_EQ(endpoints.size(), DEVICES);
    EXPECT_LT(m_sink.Calls(), static_cast<int>(DEVICES / 2)) << "answers go to the sink in batches";
}

TEST_F(OnvifDiscoveryTest, StopEndsAWaitingReceiverAtOnceAndStartFollows)
{
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(m_discovery.Start());
        EXPECT_TRUE(m_discovery.IsRunning());
        m_discovery.Probe();
        m_sink.WaitFor(OnvifNews::Match, 6 * (round + 1), 5000);
        // The receiver is back in its wait, which ends by itself only after two seconds.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const auto before = std::chrono::steady_clock::now();
        m_discovery.Stop();
        const auto took = std::chrono::steady_clock::now() - before;
        EXPECT_LT(took, std::chrono::milliseconds(1000));
        EXPECT_FALSE(m_discovery.IsRunning());
    }
    EXPECT_EQ(m_sink.Heard().size(), 12u);
}

} // namespace
