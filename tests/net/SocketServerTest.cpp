// Socket server threads: launch, bind failures, the server table and safe retirement.
#include "net/SocketServer.h"

#include "tests/net/SocketTestKit.h"
#include "tests/support/LabGuard.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <mutex>

namespace {

class SocketServerTest : public testing::Test {
  protected:
    void SetUp() override { RequireLabNetwork(); }
};

bool ThreadEndsWithin(HANDLE thread, DWORD ms)
{
    return WaitForSingleObject(thread, ms) == WAIT_OBJECT_0;
}

TEST_F(SocketServerTest, UdpServerWithoutHandlerBindsTheSocketAndEndsItsThread)
{
    for (int broadcast : {1, 0}) {
        SCOPED_TRACE(broadcast);
        const unsigned short port = static_cast<unsigned short>(41801 + broadcast);
        GenSockServerContext* context = GenSockOpenUdpServer(port, broadcast, nullptr, 1088);
        ASSERT_NE(context, nullptr);
        GenSocket socket = context->socket.load();
        ASSERT_NE(socket, GENSOCK_INVALID);
        EXPECT_EQ(LocalPort(socket), port);
        EXPECT_EQ(IntOption(socket, SO_BROADCAST) != 0, broadcast != 0);
        EXPECT_TRUE(ThreadEndsWithin(context->thread.Get(), 2000));
        EXPECT_GE(GenSockServerTableSlot(context), 0);

        // Bound on every interface: a datagram to the lab address arrives, and ForceRecv reads it.
        CTestSocket sender = BoundUdp("198.18.2.10", 0);
        const sockaddr_in to = MakeAddress("198.18.2.10", port);
        ASSERT_EQ(sendto(sender.Raw(), "reply", 5, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to), 5);
        char buffer[5];
        sockaddr_in from{};
        EXPECT_EQ(ForceRecv(socket, buffer, 5, 2000, 1, &from), 5);
        EXPECT_EQ(AddressText(from), "198.18.2.10:" + std::to_string(LocalPort(sender.Get())));

        EXPECT_EQ(GenSockClose(socket), 1);
        EXPECT_EQ(GenSockServerTableSlot(context), -1);
    }
}

TEST_F(SocketServerTest, CloseOfAnUnownedSocketClosesItAndReturnsZero)
{
    GenSocket socket = GenSockCreate(SOCKET_KIND_UDP);
    ASSERT_NE(socket, GENSOCK_INVALID);
    EXPECT_EQ(GenSockClose(socket), 0);
    EXPECT_EQ(IntOption(socket, SO_TYPE), -1); // no longer a socket
    EXPECT_EQ(GenSockClose(GENSOCK_INVALID), 1);
}

TEST_F(SocketServerTest, PortHeldExclusivelyGivesNoSocketAfterTheWaitAndTheThreadKeepsTrying)
{
    const unsigned short port = 41810;
    CTestSocket holder(static_cast<GenSocket>(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP)));
    BOOL on = TRUE;
    ASSERT_EQ(setsockopt(holder.Raw(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on),
                         sizeof on),
              0);
    sockaddr_in local = MakeAddress("0.0.0.0", port);
    ASSERT_EQ(bind(holder.Raw(), reinterpret_cast<const sockaddr*>(&local), sizeof local), 0);

    auto start = std::chrono::steady_clock::now();
    GenSockServerContext* context = GenSockOpenUdpServer(port, 1, nullptr, 1088);
    ASSERT_NE(context, nullptr);
    EXPECT_GE(MillisecondsSince(start), 9500);
    EXPECT_EQ(context->socket.load(), GENSOCK_INVALID);
    EXPECT_FALSE(ThreadEndsWithin(context->thread.Get(), 0));

    // Once the port is free, the next retry (every 5 s) binds it.
    holder = CTestSocket();
    EXPECT_EQ(WaitForSingleObject(context->ready.Get(), 7000), WAIT_OBJECT_0);
    GenSocket socket = context->socket.load();
    ASSERT_NE(socket, GENSOCK_INVALID);
    EXPECT_EQ(LocalPort(socket), port);
    EXPECT_EQ(GenSockClose(socket), 1);
}

TEST_F(SocketServerTest, TheServerBeyondTheTableStillRunsButIsNotRegistered)
{
    std::vector<GenSockServerContext*> open;
    GenSockServerContext* outside = nullptr;
    // Other tests may hold slots already; fill what is left and one more.
    for (int i = 0; i <= GENSOCK_SERVER_TABLE_SIZE && !outside; ++i) {
        GenSockServerContext* context =
            GenSockOpenUdpServer(static_cast<unsigned short>(42000 + i), 0, nullptr, 0);
        ASSERT_NE(context, nullptr);
        ASSERT_NE(context->socket.load(), GENSOCK_INVALID);
        if (GenSockServerTableSlot(context) < 0)
            outside = context;
        else
            open.push_back(context);
    }
    ASSERT_NE(outside, nullptr);
    EXPECT_FALSE(open.empty());

    // Unregistered: closing it cannot retire the context, but its socket is closed.
    GenSocket lost = outside->socket.load();
    EXPECT_EQ(GenSockClose(lost), 0);

    for (GenSockServerContext* context : open)
        EXPECT_EQ(GenSockClose(context->socket.load()), 1);
    // Slots come back once servers are retired.
    GenSockServerContext* again = GenSockOpenUdpServer(42400, 0, nullptr, 0);
    ASSERT_NE(again, nullptr);
    EXPECT_GE(GenSockServerTableSlot(again), 0);
    EXPECT_EQ(GenSockClose(again->socket.load()), 1);
}

TEST_F(SocketServerTest, CloseOfASocketTheServerReplacedStopsThatServerAndClosesNothingElse)
{
    const unsigned short port = 41840;
    GenSockServerContext* context = GenSockOpenTcpServer(port, nullptr);
    ASSERT_NE(context, nullptr);
    const GenSocket stale = context->socket.load();
    ASSERT_NE(stale, GENSOCK_INVALID);

    // The listening socket fails under the server: its accept ends, it lets go of the socket and
    // builds a new one after its pause.
    closesocket(static_cast<SOCKET>(stale));
    for (int i = 0; i < 300 && context->socket.load() != GENSOCK_INVALID; ++i)
        Sleep(10);
    ASSERT_EQ(context->socket.load(), GENSOCK_INVALID);
    Sleep(200); // the server's own close of the value has run
    // Meanwhile the number is free again, and the next socket made here will usually get it.
    CTestSocket other(static_cast<GenSocket>(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP)));
    ASSERT_NE(other.Get(), GENSOCK_INVALID);
    ASSERT_EQ(WaitForSingleObject(context->ready.Get(), 8000), WAIT_OBJECT_0);
    const GenSocket replacement = context->socket.load();
    ASSERT_NE(replacement, GENSOCK_INVALID);
    ASSERT_NE(replacement, stale) << "the new listener took the old number; nothing to tell apart";
    std::printf("stale socket %llu, its number now %s, replacement %llu\n",
                static_cast<unsigned long long>(stale), other.Get() == stale ? "another socket's" : "free",
                static_cast<unsigned long long>(replacement));

    // The caller still holds the old value: the close stops the server that had it and closes
    // the server's present socket, and leaves alone whatever else the value names now.
    EXPECT_EQ(GenSockClose(stale), 1);
    EXPECT_EQ(GenSockServerTableSlot(context), -1);
    EXPECT_EQ(IntOption(other.Get(), SO_TYPE), SOCK_DGRAM);
    EXPECT_EQ(IntOption(replacement, SO_TYPE), -1);
    CTestSocket client(GenSockConnect(port, "127.0.0.1"));
    EXPECT_EQ(client.Get(), GENSOCK_INVALID) << "the server still listens";
}

// A handler that is still busy when the server is closed: it reads the context after a pause.
struct SlowHandlerProbe {
    HANDLE entered = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::atomic<int> finished{0};
    std::atomic<int> portSeen{0};
    std::atomic<int> calls{0};
    ~SlowHandlerProbe() { CloseHandle(entered); }
};
SlowHandlerProbe* g_probe = nullptr;

int SlowTcpHandler(GenSockServerContext* context, GenSocket socket, const sockaddr_in*, char* buffer,
                   int size)
{
    ++g_probe->calls;
    EXPECT_EQ(buffer, nullptr);
    EXPECT_EQ(size, 0);
    SetEvent(g_probe->entered);
    Sleep(150);
    g_probe->portSeen = context->port;
    closesocket(static_cast<SOCKET>(socket));
    g_probe->finished = 1;
    return 0;
}

TEST_F(SocketServerTest, CloseWaitsUntilTheServerThreadNoLongerUsesTheContext)
{
    const unsigned short port = 41820;
    for (int round = 0; round < 15; ++round) {
        SCOPED_TRACE(round);
        SlowHandlerProbe probe;
        g_probe = &probe;
        GenSockServerContext* context = GenSockOpenTcpServer(port, SlowTcpHandler);
        ASSERT_NE(context, nullptr);
        GenSocket listener = context->socket.load();
        ASSERT_NE(listener, GENSOCK_INVALID);

        CTestSocket client(GenSockConnect(port, "127.0.0.1"));
        ASSERT_NE(client.Get(), GENSOCK_INVALID);
        ASSERT_EQ(WaitForSingleObject(probe.entered, 3000), WAIT_OBJECT_0);
        EXPECT_EQ(GenSockClose(listener), 1);
        // By now the handler has left and the thread no longer holds the context.
        EXPECT_EQ(probe.finished.load(), 1);
        EXPECT_EQ(probe.portSeen.load(), port);
        EXPECT_EQ(probe.calls.load(), 1);
        g_probe = nullptr;
    }
}

TEST_F(SocketServerTest, CloseOfAnIdleTcpServerEndsItsBlockedAccept)
{
    const unsigned short port = 41821;
    for (int round = 0; round < 15; ++round) {
        SCOPED_TRACE(round);
        GenSockServerContext* context = GenSockOpenTcpServer(port, nullptr);
        ASSERT_NE(context, nullptr);
        GenSocket listener = context->socket.load();
        ASSERT_NE(listener, GENSOCK_INVALID);
        // Without a handler an accepted connection is closed by the server.
        CTestSocket client(GenSockConnect(port, "127.0.0.1"));
        ASSERT_NE(client.Get(), GENSOCK_INVALID);
        char byte;
        EXPECT_EQ(ForceRecv(client.Get(), &byte, 1, 2000, 0, nullptr), 0);
        EXPECT_EQ(GenSockClose(listener), 1); // returns: the accept was cut short
    }
}

struct DatagramLog {
    std::mutex lock;
    std::vector<std::pair<std::string, std::string>> entries; // sender, bytes
};
DatagramLog* g_log = nullptr;

int RecordingUdpHandler(GenSockServerContext*, GenSocket socket, const sockaddr_in* peer, char* buffer,
                        int size)
{
    EXPECT_EQ(socket, 0);
    EXPECT_EQ(buffer[size], 0);
    std::lock_guard<std::mutex> hold(g_log->lock);
    g_log->entries.emplace_back(AddressText(*peer), std::string(buffer, size));
    return 0;
}

TEST_F(SocketServerTest, UdpHandlerGetsFullBuffersAndTheWakeUpEndsTheServer)
{
    const unsigned short port = 41830;
    DatagramLog log;
    g_log = &log;
    GenSockServerContext* context = GenSockOpenUdpServer(port, 0, RecordingUdpHandler, 8);
    ASSERT_NE(context, nullptr);
    GenSocket socket = context->socket.load();
    ASSERT_NE(socket, GENSOCK_INVALID);

    CTestSocket sender = BoundUdp("127.0.0.1", 0);
    const sockaddr_in to = MakeAddress("127.0.0.1", port);
    ASSERT_EQ(sendto(sender.Raw(), "ABCDEFGH", 8, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to), 8);
    for (int i = 0; i < 200; ++i) {
        {
            std::lock_guard<std::mutex> hold(log.lock);
            if (!log.entries.empty())
                break;
        }
        Sleep(10);
    }
    {
        std::lock_guard<std::mutex> hold(log.lock);
        ASSERT_EQ(log.entries.size(), 1u);
        EXPECT_EQ(log.entries[0].first, "127.0.0.1:" + std::to_string(LocalPort(sender.Get())));
        EXPECT_EQ(log.entries[0].second, "ABCDEFGH");
    }

    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(GenSockClose(socket), 1);
    // The close itself cuts the blocked receive short; nothing more was handed on.
    EXPECT_LT(MillisecondsSince(start), 9000);
    std::lock_guard<std::mutex> hold(log.lock);
    EXPECT_EQ(log.entries.size(), 1u);
    g_log = nullptr;
}

TEST_F(SocketServerTest, NotifySocketToEndConnectsAndSendsTheWakeUpText)
{
    CTestSocket listener = LoopbackListener();
    NotifySocketToEnd(LocalPort(listener.Get()), 1);
    CTestSocket accepted(GenSockAccept(listener.Get(), 2000, nullptr));
    ASSERT_NE(accepted.Get(), GENSOCK_INVALID);
    char payload[129] = {};
    EXPECT_EQ(ForceRecv(accepted.Get(), payload, 129, 1000, 0, nullptr), 128);
    EXPECT_STREQ(payload, "NotifySocketToEnd");
}

TEST_F(SocketServerTest, NotifySocketToEndWakesAUdpReceiverOnTheLoopback)
{
    CTestSocket receiver(static_cast<GenSocket>(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP)));
    sockaddr_in local = MakeAddress("127.0.0.1", 0);
    ASSERT_EQ(bind(receiver.Raw(), reinterpret_cast<const sockaddr*>(&local), sizeof local), 0);
    NotifySocketToEnd(LocalPort(receiver.Get()), 0);
    char payload[129] = {};
    EXPECT_EQ(ForceRecv(receiver.Get(), payload, 128, 2000, 1, nullptr), 128);
    EXPECT_STREQ(payload, "NotifySocketToEnd");
}

} // namespace
