// Worker threads, socket servers and endpoints give back every kernel handle they take. The count
// is of the handles the process really holds (sockets included), not one kept by the owners, so a
// handle that no owner ever held shows as well.
#include "base/MyThreadHost.h"
#include "net/MySocket.h"
#include "net/SocketServer.h"
#include "tests/net/SocketTestKit.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

constexpr unsigned short UDP_PORT = 42711;
constexpr unsigned short TCP_PORT = 42712;
constexpr unsigned short ENDPOINT_PORT = 42713;
constexpr int ROUNDS = 12;

int IgnoreDatagram(GenSockServerContext*, GenSocket, const sockaddr_in*, char*, int)
{
    return 0;
}

template <class Ready> bool WaitUntil(Ready ready)
{
    for (int i = 0; i < 300 && !ready(); ++i)
        ::Sleep(10);
    return ready();
}

// One use of everything that owns handles in the thread host and the socket layer.
void OneRound()
{
    {
        // Workers started, stopped while running (retired), restarted, then all joined.
        CMyThreadHost host;
        host.StartThreads(3, 0);
        host.StopThread(1);
        host.StartThread(1);
        host.SetSignal(2);
        host.StopAllThreads();
    }

    // A receiving UDP server that gets a datagram, then is closed.
    GenSockServerContext* udp = GenSockOpenUdpServer(UDP_PORT, 0, IgnoreDatagram, 64);
    ASSERT_NE(udp, nullptr);
    ASSERT_NE(udp->socket.load(), GENSOCK_INVALID);
    NotifySocketToEnd(UDP_PORT, 0);
    EXPECT_EQ(GenSockClose(udp->socket.load()), 1);

    // A TCP server without a handler, which closes what it accepts, and a client endpoint that
    // connects to it.
    GenSockServerContext* tcp = GenSockOpenTcpServer(TCP_PORT, nullptr);
    ASSERT_NE(tcp, nullptr);
    const GenSocket listener = tcp->socket.load();
    ASSERT_NE(listener, GENSOCK_INVALID);
    NotifySocketToEnd(TCP_PORT, 1);
    {
        CMySocket client(TCP_PORT, 0, 0, "127.0.0.1", nullptr, nullptr);
        client.Start();
        EXPECT_TRUE(WaitUntil([&] { return client.GetSocket() != GENSOCK_INVALID; }));
    }
    EXPECT_EQ(GenSockClose(listener), 1);

    // A UDP server endpoint, closed while its worker receives.
    {
        CMySocket server(ENDPOINT_PORT, CMySocket::MODE_UDP, 1, nullptr, nullptr, nullptr);
        server.Start();
        EXPECT_TRUE(WaitUntil([&] { return server.GetSocket() != GENSOCK_INVALID; }));
    }
}

TEST(HandleLeaks, ThreadsAndSocketsGiveBackTheirHandles)
{
    ASSERT_GT(ProcessHandles(), 0u); // the count is available here
    // The first rounds start what stays for the process's life (the socket library, timers).
    OneRound();
    OneRound();
    const DWORD before = ProcessHandles();
    for (int i = 0; i < ROUNDS; ++i)
        OneRound();
    // One handle lost per round would add ROUNDS; the rest is room for the system's own.
    EXPECT_LT(ProcessHandles(), before + ROUNDS) << "before: " << before;
}

} // namespace
