// The tool's own transport against the simulated cameras on the other side of the lab: a
// discovery request leaves once per usable interface, and the replies come back through the
// UDP server launcher's socket on the reply port.
#include <gtest/gtest.h>

#include "net/SocketHelpers.h"
#include "net/SocketServer.h"
#include "protocol/WireMessage.h"
#include "tests/support/CamSimClient.h"
#include "tests/support/LabGuard.h"

#include <cstring>
#include <map>
#include <set>
#include <string>

namespace {

std::string Dotted(const sockaddr_in& address)
{
    return inet_ntoa(address.sin_addr);
}

class DiscoveryWire : public testing::Test {
  protected:
    static void SetUpTestSuite()
    {
        RequireLabNetwork();
        s_server = GenSockOpenUdpServer(REPLY_PORT, 1, nullptr, static_cast<int>(MESSAGE_SIZE));
    }

    void SetUp() override
    {
        ASSERT_NE(s_server, nullptr);
        ASSERT_NE(s_server->socket.load(), GENSOCK_INVALID) << "reply port could not be bound";
        ASSERT_TRUE(m_sim.Connect());
        ASSERT_EQ(m_sim.Command("reset"), "ok 12");
        ASSERT_TRUE(m_sim.ClearLog());
        Drain();
    }

    // Throws away whatever an earlier test left queued on the reply socket.
    void Drain()
    {
        WireMessage scratch;
        while (ForceRecv(s_server->socket, &scratch, sizeof scratch, 200, 1, nullptr) > 0) {
        }
    }

    // Receives replies until `want` distinct cameras answered or `ms` passed without a datagram.
    std::map<std::string, std::string> ReceiveReplies(size_t want, int ms)
    {
        std::map<std::string, std::string> senders; // idSerial -> sender address
        while (senders.size() < want) {
            WireMessage reply;
            std::memset(&reply, 0, sizeof reply);
            sockaddr_in from{};
            int got = ForceRecv(s_server->socket, &reply, sizeof reply, ms, 1, &from);
            if (got <= 0)
                break;
            EXPECT_EQ(got, static_cast<int>(MESSAGE_SIZE));
            if (IsValidInfoReply(&reply, got))
                senders.emplace(ReadTextField(reply.idSerial), Dotted(from));
        }
        return senders;
    }

    CCamSimClient m_sim;
    static GenSockServerContext* s_server;
};

GenSockServerContext* DiscoveryWire::s_server = nullptr;

TEST_F(DiscoveryWire, RequestLeavesOncePerUsableInterfaceByteForByte)
{
    WireMessage request;
    BuildGetRequest(request);
    GenSockBroadcastSend(CAMERA_PORT, &request, sizeof request, 0, nullptr);

    auto log = m_sim.WaitForLog(
        [](const std::vector<CamSimLogEntry>& entries) {
            return CCamSimClient::CountType(entries, MSG_GET) >= 2;
        },
        5000);
    std::map<std::string, std::string> links; // sender -> receiving link
    for (const auto& entry : log) {
        if (entry.type != MSG_GET)
            continue;
        EXPECT_EQ(entry.senderPort, 50504);
        ASSERT_EQ(entry.bytes.size(), MESSAGE_SIZE);
        EXPECT_EQ(0, std::memcmp(entry.bytes.data(), &request, MESSAGE_SIZE));
        EXPECT_TRUE(links.emplace(entry.senderIp, entry.link).second)
            << "second request from " << entry.senderIp;
    }
    // lab2's address ends in .1 and must stay silent.
    std::map<std::string, std::string> expected{{"198.18.1.10", "lab0c"}, {"198.18.2.10", "lab1c"}};
    EXPECT_EQ(links, expected);
}

TEST_F(DiscoveryWire, EveryCameraOfTheFleetAnswersThroughTheLaunchedSocket)
{
    WireMessage request;
    BuildGetRequest(request);
    GenSockBroadcastSend(CAMERA_PORT, &request, sizeof request, 0, nullptr);

    auto senders = ReceiveReplies(12, 3000);
    ASSERT_EQ(senders.size(), 12u);
    // LAN cameras answer from their wired address, WiFi cameras from their WiFi address.
    EXPECT_EQ(senders["a1b2c3d4e5f6"].rfind("198.18.1.", 0), 0u);
    EXPECT_EQ(senders["b80000000007"].rfind("198.18.2.", 0), 0u);
}

TEST_F(DiscoveryWire, AcknowledgementReachesTheCameraSideUnchangedButForTypeAndTag)
{
    ASSERT_TRUE(m_sim.Ok("set * dup=0"));
    ASSERT_TRUE(m_sim.Ok("set a1b2c3d4e5f6 dup=1"));
    WireMessage request;
    BuildGetRequest(request);
    GenSockBroadcastSend(CAMERA_PORT, &request, sizeof request, 0, nullptr);
    WireMessage reply;
    std::memset(&reply, 0, sizeof reply);
    ASSERT_EQ(ForceRecv(s_server->socket, &reply, sizeof reply, 3000, 1, nullptr),
              static_cast<int>(MESSAGE_SIZE));
    ASSERT_TRUE(IsValidInfoReply(&reply, MESSAGE_SIZE));

    WireMessage ack;
    BuildAck(reply, ack);
    ASSERT_TRUE(m_sim.ClearLog());
    GenSockBroadcastSend(CAMERA_PORT, &ack, sizeof ack, 0, nullptr);
    auto log = m_sim.WaitForLog(
        [](const std::vector<CamSimLogEntry>& entries) {
            return CCamSimClient::CountType(entries, MSG_ACK) >= 2;
        },
        5000);
    int acks = 0;
    for (const auto& entry : log) {
        if (entry.type != MSG_ACK)
            continue;
        ++acks;
        ASSERT_EQ(entry.bytes.size(), MESSAGE_SIZE);
        EXPECT_EQ(entry.idSerial, "a1b2c3d4e5f6");
        const auto* sent = reinterpret_cast<const unsigned char*>(&reply);
        for (size_t i = 0; i < MESSAGE_SIZE; ++i) {
            if (i < 4 || (i >= 48 && i < 51))
                continue;
            ASSERT_EQ(entry.bytes[i], sent[i]) << "byte " << i;
        }
        EXPECT_EQ(std::memcmp(entry.bytes.data(), "\x81\0\0\0", 4), 0);
        EXPECT_EQ(std::memcmp(entry.bytes.data() + 48, "3G\0", 3), 0);
    }
    EXPECT_EQ(acks, 2); // one per usable interface
}

TEST_F(DiscoveryWire, SetInfoChangesWhatTheCameraAnswersNext)
{
    ASSERT_TRUE(m_sim.Ok("set * dup=0"));
    ASSERT_TRUE(m_sim.Ok("set c30000000002 dup=1"));
    WireMessage request;
    BuildGetRequest(request);
    GenSockBroadcastSend(CAMERA_PORT, &request, sizeof request, 0, nullptr);
    DeviceRecord record{};
    ASSERT_EQ(ForceRecv(s_server->socket, &record.message, MESSAGE_SIZE, 3000, 1, nullptr),
              static_cast<int>(MESSAGE_SIZE));

    WriteTextField(record.message.lanGateway, "198.18.1.254");
    WriteNameUtf8(record.message, "\xE9\x97\xA8\xE5\x8F\xA3"); // 门口
    WireMessage set;
    BuildSetInfo(record, set);
    GenSockBroadcastSend(CAMERA_PORT, &set, sizeof set, 0, nullptr);
    m_sim.WaitForLog(
        [](const std::vector<CamSimLogEntry>& entries) {
            return CCamSimClient::CountType(entries, MSG_SET_INFO) >= 1;
        },
        5000);

    Drain();
    GenSockBroadcastSend(CAMERA_PORT, &request, sizeof request, 0, nullptr);
    WireMessage again;
    std::memset(&again, 0, sizeof again);
    ASSERT_EQ(ForceRecv(s_server->socket, &again, sizeof again, 3000, 1, nullptr),
              static_cast<int>(MESSAGE_SIZE));
    EXPECT_EQ(ReadTextField(again.idSerial), "c30000000002");
    EXPECT_EQ(ReadTextField(again.lanGateway), "198.18.1.254");
    EXPECT_EQ(ReadTextField(again.name), "\xE9\x97\xA8\xE5\x8F\xA3");
}

} // namespace
