// CMySocket endpoints on 127.0.0.1: server and client loops on the host's workers, and a
// shutdown that never leaves a worker inside the object.
#include "net/MySocket.h"

#include "tests/net/SocketTestKit.h"
#include "tests/support/LabGuard.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace {

// Records what the endpoint hands on; stops the endpoint before its own members go.
class CRecordingSocket : public CMySocket {
  public:
    // Starts once the whole object exists.
    template <class... Args>
    explicit CRecordingSocket(Args&&... args) : CMySocket(std::forward<Args>(args)...)
    {
        Start();
    }
    ~CRecordingSocket() override { Close(); }

    void OnAccept(GenSocket socket, const sockaddr_in* peer) override
    {
        Add(std::string("accept ") + inet_ntoa(peer->sin_addr));
        closesocket(static_cast<SOCKET>(socket));
    }
    void OnReceive(GenSocket, const sockaddr_in* from, char* buffer, int length) override
    {
        Add(std::string(buffer, length) + (from && !IsAllZero(*from) ? " from " + AddressText(*from) : ""));
    }

    // The events seen so far, once at least count have arrived (or after 3 s).
    std::vector<std::string> WaitFor(size_t count)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait_for(lock, std::chrono::seconds(3), [&] { return m_events.size() >= count; });
        return m_events;
    }

  private:
    void Add(const std::string& event)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_events.push_back(event);
        m_changed.notify_all();
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_events;
};

class MySocketTest : public testing::Test {
  protected:
    void SetUp() override { RequireLabNetwork(); }
};

bool WaitUntil(const std::function<bool()>& condition)
{
    for (int i = 0; i < 300; ++i) {
        if (condition())
            return true;
        Sleep(10);
    }
    return condition();
}

std::atomic<int> g_serverCallbacks{0};
int CountingServerCallback(CMySocket*, GenSocket, const sockaddr_in*, char* buffer, int size)
{
    if (buffer == nullptr && size == 0)
        ++g_serverCallbacks;
    return 0;
}

TEST_F(MySocketTest, TcpServerAcceptsAndCallsOnAcceptThenTheServerCallback)
{
    const unsigned short port = 41901;
    g_serverCallbacks = 0;
    CRecordingSocket server(port, 0, 1, nullptr, nullptr, CountingServerCallback);
    ASSERT_TRUE(WaitUntil([&] { return server.GetSocket() != GENSOCK_INVALID; }));
    for (int i = 0; i < 2; ++i) {
        CTestSocket client(GenSockConnect(port, "127.0.0.1"));
        ASSERT_NE(client.Get(), GENSOCK_INVALID);
    }
    EXPECT_EQ(server.WaitFor(2), (std::vector<std::string>{"accept 127.0.0.1", "accept 127.0.0.1"}));
    EXPECT_TRUE(WaitUntil([] { return g_serverCallbacks.load() == 2; }));
    // Leaving scope closes the listener and waits for the blocked accept to end.
}

TEST_F(MySocketTest, UdpServerHandsOnFullBuffersAndAResizeTakesEffectSafely)
{
    const unsigned short port = 41902;
    CRecordingSocket server(port, CMySocket::MODE_UDP_BROADCAST, 1, nullptr, nullptr, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return server.GetSocket() != GENSOCK_INVALID; }));
    EXPECT_NE(IntOption(server.GetSocket(), SO_BROADCAST), 0);

    CTestSocket sender = BoundUdp("127.0.0.1", 0);
    const std::string source = "127.0.0.1:" + std::to_string(LocalPort(sender.Get()));
    const sockaddr_in to = MakeAddress("127.0.0.1", port);
    const std::string full(CMySocket::DEFAULT_BUFFER_SIZE, 'f');
    // The receive already waiting has no time-out; the ones after it end after 200 ms.
    EXPECT_EQ(server.SetTimeouts(200, SOCKET_DIR_RECV), 1);
    ASSERT_EQ(sendto(sender.Raw(), full.data(), 128, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to),
              128);
    ASSERT_EQ(server.WaitFor(1).size(), 1u);
    EXPECT_EQ(AddressText(server.GetLastPeer()), source);

    // A resize while the worker receives: the new buffer is used from the next round on.
    ASSERT_EQ(server.SetReceiveBufferSize(4), 1);
    EXPECT_EQ(server.SetReceiveBufferSize(0), 0);
    Sleep(500);
    ASSERT_EQ(sendto(sender.Raw(), "wxyz", 4, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to), 4);
    ASSERT_EQ(server.WaitFor(2).size(), 2u);
    // Too long for the buffer: dropped, nothing handed on. Too short: handed on at the time-out.
    ASSERT_EQ(sendto(sender.Raw(), "abcdefgh", 8, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to), 8);
    Sleep(300);
    ASSERT_EQ(sendto(sender.Raw(), "xyz", 3, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to), 3);
    auto events = server.WaitFor(3);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0], full + " from " + source);
    EXPECT_EQ(events[1], "wxyz from " + source);
    // ForceRecv hands out the sender of its last call, which was the one that timed out.
    EXPECT_EQ(events[2], "xyz");
}

std::mutex g_clientLock;
std::string g_clientBytes;
int RecordingReceiveCallback(char* buffer, int length, GenSocket, CMySocket*)
{
    std::lock_guard<std::mutex> lock(g_clientLock);
    g_clientBytes.append(buffer, length);
    return 0;
}

TEST_F(MySocketTest, TcpClientReceivesOnceUnpausedAndReconnectsAfterThePeerCloses)
{
    CTestSocket listener = LoopbackListener();
    const unsigned short port = LocalPort(listener.Get());
    g_clientBytes.clear();
    CRecordingSocket client(port, 0, 0, "127.0.0.1", RecordingReceiveCallback, nullptr);

    CTestSocket first(GenSockAccept(listener.Get(), 3000, nullptr));
    ASSERT_NE(first.Get(), GENSOCK_INVALID);
    ASSERT_EQ(send(first.Raw(), "held", 4, 0), 4);
    Sleep(300);
    EXPECT_TRUE(client.WaitFor(0).empty()); // receiving starts paused

    client.SetReceivePaused(0);
    EXPECT_EQ(client.WaitFor(1), (std::vector<std::string>{"held"}));
    {
        std::lock_guard<std::mutex> lock(g_clientLock);
        EXPECT_EQ(g_clientBytes, "held");
    }

    first = CTestSocket(); // the peer goes away: the client drops its socket and connects again
    CTestSocket second(GenSockAccept(listener.Get(), 3000, nullptr));
    ASSERT_NE(second.Get(), GENSOCK_INVALID);
    ASSERT_EQ(send(second.Raw(), "again", 5, 0), 5);
    EXPECT_EQ(client.WaitFor(2), (std::vector<std::string>{"held", "again"}));
}

TEST_F(MySocketTest, AdoptedSocketIsReadByWorkerOneAndClosedWithTheEndpoint)
{
    CTestSocket listener = LoopbackListener();
    CTestSocket outside(GenSockConnect(LocalPort(listener.Get()), "127.0.0.1"));
    GenSocket inside = GenSockAccept(listener.Get(), 2000, nullptr);
    ASSERT_NE(inside, GENSOCK_INVALID);
    {
        CRecordingSocket endpoint(inside, 0);
        EXPECT_EQ(endpoint.GetSocket(), inside);
        ASSERT_EQ(send(outside.Raw(), "adopted", 7, 0), 7);
        EXPECT_EQ(endpoint.WaitFor(1), (std::vector<std::string>{"adopted"}));
        // The fields the first constructor sets have its initial values: a TCP endpoint with no
        // port, so sending goes over the adopted connection.
        EXPECT_EQ(endpoint.Send("back", 0, 1000), 4);
        char reply[4];
        EXPECT_EQ(ForceRecv(outside.Get(), reply, 4, 2000, 0, nullptr), 4);
    }
    // The endpoint closed the socket: the outside end sees the connection end.
    char byte;
    EXPECT_EQ(ForceRecv(outside.Get(), &byte, 1, 2000, 0, nullptr), 0);
}

TEST_F(MySocketTest, EndpointsDestroyedAtOnceLeaveNoWorkerBehind)
{
    // Construction starts a worker that may not have built its socket yet; destruction must
    // still wait for it and close whatever it built.
    for (int round = 0; round < 20; ++round) {
        CRecordingSocket tcp(41903, 0, 1, nullptr, nullptr, nullptr);
        CRecordingSocket udp(41904, CMySocket::MODE_UDP, 1, nullptr, nullptr, nullptr);
        CRecordingSocket client(41905, 0, 0, "127.0.0.1", nullptr, nullptr);
    }
    // The ports are free again: a plain exclusive bind succeeds.
    CTestSocket probe(static_cast<GenSocket>(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)));
    BOOL on = TRUE;
    setsockopt(probe.Raw(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on);
    sockaddr_in local = MakeAddress("0.0.0.0", 41903);
    EXPECT_EQ(bind(probe.Raw(), reinterpret_cast<const sockaddr*>(&local), sizeof local), 0);
}

// A derived endpoint whose constructor is slow to finish: its handler counts the calls that came
// before the constructor was done.
std::atomic<int> g_constructed{0};
std::atomic<int> g_early{0};
std::atomic<int> g_onTime{0};
class CLateSocket : public CMySocket {
  public:
    explicit CLateSocket(GenSocket socket) : CMySocket(socket, 0)
    {
        Sleep(300);
        g_constructed = 1;
        Start();
    }
    ~CLateSocket() override { Close(); }
    void OnReceive(GenSocket, const sockaddr_in*, char*, int) override
    {
        ++(g_constructed ? g_onTime : g_early);
    }
};

TEST_F(MySocketTest, NoHandlerRunsBeforeTheDerivedObjectIsConstructed)
{
    CTestSocket listener = LoopbackListener();
    CTestSocket outside(GenSockConnect(LocalPort(listener.Get()), "127.0.0.1"));
    GenSocket inside = GenSockAccept(listener.Get(), 2000, nullptr);
    ASSERT_NE(inside, GENSOCK_INVALID);
    // Already waiting when the endpoint is made.
    ASSERT_EQ(send(outside.Raw(), "early", 5, 0), 5);
    g_constructed = 0;
    g_early = 0;
    g_onTime = 0;
    {
        CLateSocket endpoint(inside);
        EXPECT_TRUE(WaitUntil([] { return g_onTime.load() + g_early.load() > 0; }));
    }
    EXPECT_EQ(g_early.load(), 0);
    EXPECT_EQ(g_onTime.load(), 1);
}

// CPU time of the whole process, in milliseconds.
long long ProcessCpuMs()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto ms = [](const FILETIME& t) {
        return static_cast<long long>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
                                      t.dwLowDateTime) /
               10000;
    };
    return ms(kernel) + ms(user);
}

TEST_F(MySocketTest, PausedClientsWaitInsteadOfPolling)
{
    CTestSocket listener = LoopbackListener();
    const unsigned short port = LocalPort(listener.Get());
    std::vector<std::unique_ptr<CRecordingSocket>> clients;
    std::vector<CTestSocket> peers;
    for (int i = 0; i < 8; ++i) {
        clients.push_back(std::make_unique<CRecordingSocket>(port, 0, 0, "127.0.0.1", nullptr, nullptr));
        peers.emplace_back(GenSockAccept(listener.Get(), 3000, nullptr));
        ASSERT_NE(peers.back().Get(), GENSOCK_INVALID);
    }
    Sleep(200);
    // Paused (the first constructor's default), connected and idle: nothing to do but wait.
    const long long cpuBefore = ProcessCpuMs();
    const auto start = std::chrono::steady_clock::now();
    Sleep(2000);
    const long long cpuMs = ProcessCpuMs() - cpuBefore;
    const long long wallMs = MillisecondsSince(start);
    std::printf("8 paused clients: %lld ms CPU in %lld ms\n", cpuMs, wallMs);
    EXPECT_LT(cpuMs, 60);

    // Resuming wakes a paused client at once.
    ASSERT_EQ(send(peers[3].Raw(), "go", 2, 0), 2);
    clients[3]->SetReceivePaused(0);
    EXPECT_EQ(clients[3]->WaitFor(1), (std::vector<std::string>{"go"}));
}

} // namespace
