// Socket helpers against real sockets inside the lab: 127.0.0.1 and the tool side's
// interfaces 198.18.1.10, 198.18.2.10 and 198.18.3.1.
#include "net/SocketHelpers.h"

#include "tests/net/SocketTestKit.h"
#include "tests/support/LabGuard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

namespace {

class SocketHelpersTest : public testing::Test {
  protected:
    void SetUp() override
    {
        RequireLabNetwork();
        GenSockStartup();
    }
};

std::vector<std::string> Sources(const std::vector<ReceivedDatagram>& datagrams)
{
    std::vector<std::string> out;
    for (auto& d : datagrams)
        out.push_back(d.source);
    std::sort(out.begin(), out.end());
    return out;
}

TEST_F(SocketHelpersTest, CreateGivesTheKindWithDefaultsAndRefusesOtherKinds)
{
    struct Case {
        int kind;
        int type; // 0: no socket expected
    };
    const Case cases[] = {
        {SOCKET_KIND_TCP, SOCK_STREAM}, {SOCKET_KIND_UDP, SOCK_DGRAM}, {0, 0}, {3, 0}, {-1, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        CTestSocket socket(GenSockCreate(c.kind));
        if (c.type == 0) {
            EXPECT_EQ(socket.Get(), GENSOCK_INVALID);
            continue;
        }
        ASSERT_NE(socket.Get(), GENSOCK_INVALID);
        EXPECT_EQ(IntOption(socket.Get(), SO_TYPE), c.type);
        EXPECT_EQ(IntOption(socket.Get(), SO_SNDBUF), 65535);
        EXPECT_EQ(IntOption(socket.Get(), SO_RCVBUF), 65535);
        EXPECT_EQ(IntOption(socket.Get(), SO_SNDTIMEO), 5000);
        EXPECT_EQ(IntOption(socket.Get(), SO_RCVTIMEO), 5000);
    }
}

TEST_F(SocketHelpersTest, OptionSettersApplyOnlyThePositiveValueToTheMaskedDirections)
{
    struct Case {
        int value;
        int mask;
        int result;
        int send; // expected option values afterwards (starting from 1000 / 1000)
        int recv;
    };
    const Case cases[] = {
        {3000, SOCKET_DIR_SEND, 1, 3000, 1000}, {3000, SOCKET_DIR_RECV, 1, 1000, 3000},
        {3000, SOCKET_DIR_BOTH, 1, 3000, 3000}, {0, SOCKET_DIR_BOTH, 0, 1000, 1000},
        {-7, SOCKET_DIR_BOTH, 0, 1000, 1000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.value << " mask " << c.mask);
        CTestSocket socket(GenSockCreate(SOCKET_KIND_UDP));
        ASSERT_EQ(GenSockSetTimeouts(socket.Get(), 1000, SOCKET_DIR_BOTH), 1);
        ASSERT_EQ(GenSockSetBufferSizes(socket.Get(), 1000, SOCKET_DIR_BOTH), 1);

        EXPECT_EQ(GenSockSetTimeouts(socket.Get(), c.value, c.mask), c.result);
        EXPECT_EQ(IntOption(socket.Get(), SO_SNDTIMEO), c.send);
        EXPECT_EQ(IntOption(socket.Get(), SO_RCVTIMEO), c.recv);

        EXPECT_EQ(GenSockSetBufferSizes(socket.Get(), c.value, c.mask), c.result);
        EXPECT_EQ(IntOption(socket.Get(), SO_SNDBUF), c.send);
        EXPECT_EQ(IntOption(socket.Get(), SO_RCVBUF), c.recv);
    }
    EXPECT_EQ(GenSockSetTimeouts(GENSOCK_INVALID, 1000, SOCKET_DIR_BOTH), 0);
    EXPECT_EQ(GenSockSetBufferSizes(GENSOCK_INVALID, 1000, SOCKET_DIR_BOTH), 0);
}

TEST_F(SocketHelpersTest, ReceiveBufferCanBeMadeLargerThanTheDefault)
{
    // A reply receiver that gathers bursts from many cameras asks for more than 64 KiB.
    CTestSocket socket(GenSockCreate(SOCKET_KIND_UDP));
    ASSERT_EQ(GenSockSetBufferSizes(socket.Get(), 4 * 1024 * 1024, SOCKET_DIR_RECV), 1);
    EXPECT_EQ(IntOption(socket.Get(), SO_RCVBUF), 4 * 1024 * 1024);
    EXPECT_EQ(IntOption(socket.Get(), SO_SNDBUF), 65535);
}

TEST_F(SocketHelpersTest, StartupFromManyThreadsAtOnceLeavesSocketsUsable)
{
    GenSockCleanup();
    std::atomic<int> created{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([&] {
            EXPECT_EQ(GenSockStartup(), 1);
            CTestSocket socket(GenSockCreate(SOCKET_KIND_UDP));
            if (socket.Get() != GENSOCK_INVALID)
                ++created;
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(created.load(), 8);
}

TEST_F(SocketHelpersTest, ResolveHostFillsOnlyTheOutputsGiven)
{
    char dotted[16] = {};
    sockaddr_in address;
    std::memset(&address, 0x5A, sizeof address);
    unsigned char bytes[4] = {};
    ASSERT_EQ(GenSockResolveHost("127.0.0.1", dotted, &address, bytes), 1);
    EXPECT_STREQ(dotted, "127.0.0.1");
    EXPECT_EQ(address.sin_family, 0);
    EXPECT_EQ(address.sin_port, 0);
    EXPECT_EQ(address.sin_addr.s_addr, inet_addr("127.0.0.1"));
    EXPECT_EQ(std::count(address.sin_zero, address.sin_zero + 8, 0), 8);
    const unsigned char loopback[4] = {127, 0, 0, 1};
    EXPECT_EQ(std::memcmp(bytes, loopback, 4), 0);

    EXPECT_EQ(GenSockResolveHost("198.18.2.10", nullptr, nullptr, bytes), 1);
    EXPECT_EQ(bytes[2], 2);

    char untouched[16] = "unchanged";
    EXPECT_EQ(GenSockResolveHost(nullptr, untouched, nullptr, nullptr), 0);
    EXPECT_EQ(GenSockResolveHost(UnresolvableHost(), untouched, nullptr, nullptr), 0);
    EXPECT_STREQ(untouched, "unchanged");
}

TEST_F(SocketHelpersTest, ConnectFallsBackToLoopbackForNullOrUnresolvableHosts)
{
    CTestSocket listener = LoopbackListener();
    ASSERT_NE(listener.Get(), GENSOCK_INVALID);
    const unsigned short port = LocalPort(listener.Get());
    const char* hosts[] = {nullptr, UnresolvableHost(), "127.0.0.1"};
    for (const char* host : hosts) {
        SCOPED_TRACE(host ? host : "(null)");
        CTestSocket client(GenSockConnect(port, host));
        ASSERT_NE(client.Get(), GENSOCK_INVALID);
        sockaddr_in peer{};
        CTestSocket accepted(GenSockAccept(listener.Get(), 2000, &peer));
        ASSERT_NE(accepted.Get(), GENSOCK_INVALID);
        EXPECT_EQ(peer.sin_addr.s_addr, inet_addr("127.0.0.1"));
        EXPECT_EQ(IntOption(accepted.Get(), SO_RCVBUF), 65535);
        // The connection really joins the two ends.
        ASSERT_EQ(send(client.Raw(), "ping", 4, 0), 4);
        char buffer[8] = {};
        EXPECT_EQ(ForceRecv(accepted.Get(), buffer, 4, 2000, 0, nullptr), 4);
        EXPECT_STREQ(buffer, "ping");
    }
}

TEST_F(SocketHelpersTest, ConnectToAPortWithoutListenerFails)
{
    CTestSocket listener = LoopbackListener();
    const unsigned short port = LocalPort(listener.Get());
    listener = CTestSocket(); // the port is free again, nobody listens
    EXPECT_EQ(GenSockConnect(port, "127.0.0.1"), GENSOCK_INVALID);
}

TEST_F(SocketHelpersTest, WaitReadyAndAcceptReportNothingWhenNothingHappens)
{
    CTestSocket listener = LoopbackListener();
    EXPECT_EQ(GenSockWaitReady(listener.Get(), 0, 1), 0);
    EXPECT_EQ(GenSockWaitReady(GENSOCK_INVALID, 100, 1), 0);
    auto start = std::chrono::steady_clock::now();
    sockaddr_in peer;
    std::memset(&peer, 0x5A, sizeof peer);
    EXPECT_EQ(GenSockAccept(listener.Get(), 300, &peer), GENSOCK_INVALID);
    EXPECT_GE(MillisecondsSince(start), 250);
    EXPECT_EQ(reinterpret_cast<unsigned char*>(&peer)[0], 0x5A);

    CTestSocket udp = BoundUdp("127.0.0.1", 0);
    EXPECT_EQ(GenSockWaitReady(udp.Get(), 100, 0), 1); // an idle datagram socket is writable
    EXPECT_EQ(GenSockWaitReady(udp.Get(), 100, 1), 0);
}

TEST_F(SocketHelpersTest, ForceRecvGathersConsecutiveDatagramsAndReportsTheLastSender)
{
    CTestSocket receiver = BoundUdp("127.0.0.1", 0);
    CTestSocket first = BoundUdp("127.0.0.1", 0);
    CTestSocket second = BoundUdp("127.0.0.1", 0);
    const sockaddr_in to = MakeAddress("127.0.0.1", LocalPort(receiver.Get()));
    std::string a(600, 'a'), b(488, 'b');
    ASSERT_EQ(sendto(first.Raw(), a.data(), 600, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to), 600);
    ASSERT_EQ(sendto(second.Raw(), b.data(), 488, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to), 488);

    std::string buffer(1088, '\0');
    sockaddr_in sender{};
    EXPECT_EQ(ForceRecv(receiver.Get(), buffer.data(), 1088, 2000, 1, &sender), 1088);
    EXPECT_EQ(buffer, a + b);
    EXPECT_EQ(AddressText(sender), "127.0.0.1:" + std::to_string(LocalPort(second.Get())));
}

TEST_F(SocketHelpersTest, ForceRecvReturnsWhatItHasAtTheTimeOutWithAZeroSender)
{
    CTestSocket receiver = BoundUdp("127.0.0.1", 0);
    CTestSocket sender = BoundUdp("127.0.0.1", 0);
    const sockaddr_in to = MakeAddress("127.0.0.1", LocalPort(receiver.Get()));
    ASSERT_EQ(sendto(sender.Raw(), "hello", 5, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to), 5);

    char buffer[1088];
    sockaddr_in from;
    std::memset(&from, 0x5A, sizeof from);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ForceRecv(receiver.Get(), buffer, sizeof buffer, 300, 1, &from), 5);
    EXPECT_GE(MillisecondsSince(start), 250);
    EXPECT_EQ(std::memcmp(buffer, "hello", 5), 0);
    EXPECT_TRUE(IsAllZero(from)) << AddressText(from); // the last call was the one that timed out
    EXPECT_EQ(IntOption(receiver.Get(), SO_RCVTIMEO), 300);
}

TEST_F(SocketHelpersTest, ForceRecvWithNothingTimesOutWithZero)
{
    CTestSocket receiver = BoundUdp("127.0.0.1", 0);
    char buffer[64];
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ForceRecv(receiver.Get(), buffer, sizeof buffer, 400, 0, nullptr), 0);
    EXPECT_GE(MillisecondsSince(start), 350);
}

TEST_F(SocketHelpersTest, ForceRecvWithoutRoomReturnsAtOnceAndLeavesTheSocketAlone)
{
    CTestSocket receiver = BoundUdp("127.0.0.1", 0);
    CTestSocket sender = BoundUdp("127.0.0.1", 0);
    ASSERT_EQ(GenSockSetTimeouts(receiver.Get(), 1234, SOCKET_DIR_RECV), 1);
    const sockaddr_in to = MakeAddress("127.0.0.1", LocalPort(receiver.Get()));
    ASSERT_EQ(sendto(sender.Raw(), "queued", 6, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to), 6);

    char buffer[16] = {};
    EXPECT_EQ(ForceRecv(receiver.Get(), buffer, 0, 50, 1, nullptr), 0);
    EXPECT_EQ(ForceRecv(receiver.Get(), buffer, -5, 50, 1, nullptr), 0);
    EXPECT_EQ(ForceRecv(receiver.Get(), nullptr, 16, 50, 1, nullptr), 0);
    EXPECT_EQ(IntOption(receiver.Get(), SO_RCVTIMEO), 1234);
    // The datagram is still waiting.
    EXPECT_EQ(ForceRecv(receiver.Get(), buffer, 6, 1000, 0, nullptr), 6);
    EXPECT_STREQ(buffer, "queued");
}

TEST_F(SocketHelpersTest, ForceSendSendsTheTextLengthAndKeepsTheTimeOutWhenGivenZero)
{
    CTestSocket receiver = BoundUdp("127.0.0.1", 0);
    CTestSocket sender(GenSockCreate(SOCKET_KIND_UDP));
    const sockaddr_in to = MakeAddress("127.0.0.1", LocalPort(receiver.Get()));

    EXPECT_EQ(ForceSend(sender.Get(), "camera", 0, 0, 1, &to), 6);
    EXPECT_EQ(IntOption(sender.Get(), SO_SNDTIMEO), 5000);
    EXPECT_EQ(ForceSend(sender.Get(), "camera!", 3, 700, 1, &to), 3);
    EXPECT_EQ(IntOption(sender.Get(), SO_SNDTIMEO), 700);
    EXPECT_EQ(ForceSend(sender.Get(), nullptr, 5, 700, 1, &to), 0);
    EXPECT_EQ(ForceSend(sender.Get(), "", 0, 700, 1, &to), 0);

    auto got = CollectDatagrams(receiver.Get(), 300);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].bytes, "camera");
    EXPECT_EQ(got[1].bytes, "cam");
}

TEST_F(SocketHelpersTest, ForceSendOnAConnectionSendsEverything)
{
    CTestSocket listener = LoopbackListener();
    CTestSocket client(GenSockConnect(LocalPort(listener.Get()), "127.0.0.1"));
    CTestSocket server(GenSockAccept(listener.Get(), 2000, nullptr));
    ASSERT_NE(server.Get(), GENSOCK_INVALID);
    std::string big(200000, 'z');
    std::atomic<int> received{0};
    std::thread reader([&] {
        std::string buffer(big.size(), '\0');
        received = ForceRecv(server.Get(), buffer.data(), static_cast<int>(buffer.size()), 5000, 0, nullptr);
    });
    EXPECT_EQ(ForceSend(client.Get(), big.data(), static_cast<int>(big.size()), 5000, 0, nullptr),
              static_cast<int>(big.size()));
    reader.join();
    EXPECT_EQ(received.load(), static_cast<int>(big.size()));
}

// Broadcasts: Linux hands a copy of every limited broadcast sent from the tool side back to the
// tool side's own sockets, so a receiver on any address sees each datagram with its source.
class BroadcastSendTest : public SocketHelpersTest {};

TEST_F(BroadcastSendTest, OneDatagramPerUsableInterfaceFromPort50504)
{
    const unsigned short port = 41701;
    CTestSocket receiver = BoundUdp("0.0.0.0", port);
    ASSERT_NE(receiver.Get(), GENSOCK_INVALID);
    EXPECT_EQ(GenSockBroadcastSend(port, "HdvsGet", 7, 7, nullptr), 7);
    auto got = CollectDatagrams(receiver.Get(), 500);
    EXPECT_EQ(Sources(got), (std::vector<std::string>{"198.18.1.10:50504", "198.18.2.10:50504"}));
    for (auto& d : got)
        EXPECT_EQ(d.bytes, "HdvsGet");
}

TEST_F(BroadcastSendTest, LengthZeroSendsTheTextWithoutItsTerminator)
{
    const unsigned short port = 41702;
    CTestSocket receiver = BoundUdp("0.0.0.0", port);
    GenSockBroadcastSend(port, "HdvsSetInfo", 0, 0, nullptr);
    auto got = CollectDatagrams(receiver.Get(), 500);
    ASSERT_EQ(got.size(), 2u);
    for (auto& d : got)
        EXPECT_EQ(d.bytes, "HdvsSetInfo");
}

TEST_F(BroadcastSendTest, ResolvableTargetGetsUnicastAndUnresolvableFallsBackToBroadcast)
{
    struct Case {
        const char* target;
        const char* destination;
    };
    const Case cases[] = {{"198.18.1.10", "198.18.1.10"},
                          {UnresolvableHost(), "255.255.255.255"},
                          {nullptr, "255.255.255.255"}};
    unsigned short port = 41703;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target ? c.target : "(none)");
        CTestSocket any = BoundUdp("0.0.0.0", ++port);
        ASSERT_NE(any.Get(), GENSOCK_INVALID);
        GenSockBroadcastSend(port, "probe", 0, 0, c.target);
        auto got = CollectDatagramsWithDestination(any.Get(), 500);
        ASSERT_FALSE(got.empty());
        bool fromFirstInterface = false;
        for (auto& d : got) {
            EXPECT_EQ(d.destination, c.destination) << d.source;
            EXPECT_EQ(d.bytes, "probe");
            fromFirstInterface |= d.source == "198.18.1.10:50504";
        }
        EXPECT_TRUE(fromFirstInterface);
    }
}

TEST_F(BroadcastSendTest, NullDataSendsNothing)
{
    const unsigned short port = 41710;
    CTestSocket receiver = BoundUdp("0.0.0.0", port);
    EXPECT_EQ(GenSockBroadcastSend(port, nullptr, 0, 3, nullptr), 3);
    EXPECT_TRUE(CollectDatagrams(receiver.Get(), 300).empty());
}

} // namespace
