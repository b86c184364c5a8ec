// The discovery engine on two workers of a plain thread host, against the simulated cameras:
// closing wakes the receive pass whoever else listens on the reply port, closing does not wait
// for a reply port that never binds and gives back what the launcher made, and a failure inside
// the receive pass does not end discovery, and a burst larger than the reply socket's buffer is
// taken whole while the window keeps the pass waiting.
#include "base/MyThreadHost.h"
#include "protocol/DiscoveryEngine.h"
#include "tests/net/SocketTestKit.h"
#include "tests/support/CamSimClient.h"
#include "tests/support/LabGuard.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <new>
#include <set>
#include <string>

namespace {

// Records the serials it is shown; can throw from its first ShowCameras calls, as a list whose
// memory ran out would.
class CRecordingView : public CCameraListView {
  public:
    void ClearCameraRows() override
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_serials.clear();
    }
    void StartScan(std::uint32_t, bool) override {}
    void ShowCameras(const std::vector<ShownCamera>& cameras, bool) override
    {
        // A window busy painting keeps the worker waiting in its synchronous message.
        if (const int holdMs = m_nFirstHoldMs.exchange(0); holdMs > 0)
            Sleep(static_cast<DWORD>(holdMs));
        if (m_nThrowsLeft.load() > 0) {
            --m_nThrowsLeft;
            throw std::bad_alloc();
        }
        std::lock_guard<std::mutex> hold(m_lock);
        for (const ShownCamera& camera : cameras)
            m_serials.insert(ReadTextField(camera.pRecord->message.idSerial));
    }
    void EndCameraBurst() override { ++m_nBurstEnds; }

    size_t Listed()
    {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_serials.size();
    }

    std::atomic<int> m_nThrowsLeft{0};
    std::atomic<int> m_nFirstHoldMs{0};
    std::atomic<int> m_nBurstEnds{0};

  private:
    std::mutex m_lock;
    std::set<std::string> m_serials;
};

// The engine's passes on workers 0 and 1, closed the way the main window closes them.
class CEngineHost : public CMyThreadHost {
  public:
    explicit CEngineHost(CCameraListView& view) : m_engine(*this, view, m_table) {}
    ~CEngineHost() override { Close(); }

    int ThreadProc(int nIndex) override
    {
        if (nIndex == CDiscoveryEngine::RESCAN_WORKER)
            return m_engine.RescanPass();
        if (nIndex == CDiscoveryEngine::RECEIVE_WORKER)
            return m_engine.ReceivePass();
        return 0;
    }
    void Start()
    {
        StartThread(CDiscoveryEngine::RESCAN_WORKER);
        StartThread(CDiscoveryEngine::RECEIVE_WORKER);
    }
    bool WaitBound(int nMs)
    {
        for (int waited = 0; m_engine.GetReplyBufferBytes() == 0 && waited < nMs; waited += 10)
            Sleep(10);
        return m_engine.GetReplyBufferBytes() > 0;
    }
    // Milliseconds the close took.
    long long Close()
    {
        if (m_bClosed)
            return 0;
        m_bClosed = true;
        const auto start = std::chrono::steady_clock::now();
        m_engine.BeginShutdown();
        StopAllThreads();
        m_engine.EndShutdown();
        return MillisecondsSince(start);
    }

    CDeviceTable m_table;
    CDiscoveryEngine m_engine;

  private:
    bool m_bClosed = false;
};

template <class Ready> bool WaitUntil(Ready ready, int nMs)
{
    for (int waited = 0; !ready() && waited < nMs; waited += 10)
        Sleep(10);
    return ready();
}

// Far below the receive pass's 10 s wait, far above a close that is woken at once.
constexpr long long CLOSE_BOUND_MS = 3000;

class DiscoveryEngineTest : public testing::Test {
  protected:
    void SetUp() override { RequireLabNetwork(); }
};

TEST_F(DiscoveryEngineTest, TwoEnginesOnTheReplyPortEachCloseAtOnce)
{
    long long longest = 0;
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        CRecordingView viewA, viewB;
        CEngineHost a(viewA), b(viewB);
        a.Start();
        ASSERT_TRUE(a.WaitBound(5000));
        b.Start();
        ASSERT_TRUE(b.WaitBound(5000));
        Sleep(50); // both passes are in their wait for datagrams
        // The wake-up of the one closed first used to reach the other one's socket, or the other
        // way round, depending on which bound last: both orders.
        CEngineHost& first = round % 2 ? a : b;
        CEngineHost& second = round % 2 ? b : a;
        const long long firstMs = first.Close();
        const long long secondMs = second.Close();
        std::printf("round %2d: closed in %lld ms and %lld ms\n", round, firstMs, secondMs);
        EXPECT_LT(firstMs, CLOSE_BOUND_MS);
        EXPECT_LT(secondMs, CLOSE_BOUND_MS);
        longest = std::max({longest, firstMs, secondMs});
    }
    std::printf("longest close: %lld ms\n", longest);
}

TEST_F(DiscoveryEngineTest, AReplyPortThatNeverBindsNeitherDelaysClosingNorLeaks)
{
    CTestSocket holder(static_cast<GenSocket>(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP)));
    BOOL on = TRUE;
    ASSERT_EQ(setsockopt(holder.Raw(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on),
                         sizeof on),
              0);
    const sockaddr_in local = MakeAddress("0.0.0.0", REPLY_PORT);
    ASSERT_EQ(bind(holder.Raw(), reinterpret_cast<const sockaddr*>(&local), sizeof local), 0);

    // The first round takes what the socket layer keeps for the process; the later ones must
    // give back everything they take.
    DWORD before = 0;
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        if (round == 1)
            before = ProcessHandles();
        CRecordingView view;
        long long closeMs = 0;
        {
            CEngineHost host(view);
            host.Start();
            Sleep(300); // the receive pass is in the launcher's wait for the bind
            EXPECT_EQ(host.m_engine.GetReplyBufferBytes(), 0);
            closeMs = host.Close();
        }
        std::printf("round %d: closed in %lld ms with the port held elsewhere\n", round, closeMs);
        EXPECT_LT(closeMs, CLOSE_BOUND_MS);
    }
    // The server threads have ended and their contexts, events and sockets are gone.
    const DWORD after = ProcessHandles();
    std::printf("handles: %lu before, %lu after\n", static_cast<unsigned long>(before),
                static_cast<unsigned long>(after));
    EXPECT_LE(after, before);
}

TEST_F(DiscoveryEngineTest, AFailureInTheReceivePassRestartsItAndIsToldOnce)
{
    CCamSimClient sim;
    ASSERT_TRUE(sim.Connect());
    ASSERT_EQ(sim.Command("reset"), "ok 12");

    CRecordingView view;
    view.m_nThrowsLeft = 2;
    CEngineHost host(view);
    host.Start();
    ASSERT_TRUE(host.WaitBound(5000));

    // The first rows the pass writes fail, twice over; then a rescan lists the whole fleet.
    host.SetSignal(CDiscoveryEngine::RESCAN_WORKER);
    ASSERT_TRUE(WaitUntil([&] { return view.m_nThrowsLeft.load() == 0; }, 5000));
    Sleep(500);
    const int burstEndsAfterFailures = view.m_nBurstEnds.load();
    host.SetSignal(CDiscoveryEngine::RESCAN_WORKER);
    EXPECT_TRUE(WaitUntil([&] { return view.Listed() == 12; }, 5000)) << view.Listed() << " listed";
    EXPECT_TRUE(host.IsThreadRunning(CDiscoveryEngine::RECEIVE_WORKER));
    EXPECT_EQ(host.GetThreadFailures(), 0);
    EXPECT_EQ(host.m_engine.GetReceiveFailures(), 2);
    // The view heard of it (it writes the count again, with its note).
    EXPECT_GE(burstEndsAfterFailures, 1);
}

// Six thousand cameras answer at the simulator's usual pace (one every 2 ms, 500 a second: far
// below what a free receiver takes) while the window holds the first rows' message for as long as
// the answers last. What arrives meanwhile is more than the reply socket's buffer holds (about
// 3600 datagrams in the lab): nothing may be dropped, the socket is drained while the pass waits.
TEST_F(DiscoveryEngineTest, RepliesArrivingWhileTheWindowIsBusyAreAllStored)
{
    constexpr size_t FLEET = 6000;
    CCamSimClient sim;
    ASSERT_TRUE(sim.Connect());
    ASSERT_EQ(sim.Command("fleet " + std::to_string(FLEET)), "ok " + std::to_string(FLEET));
    ASSERT_TRUE(sim.Ok("pace 2"));

    CRecordingView view;
    view.m_nFirstHoldMs = 12000;
    CEngineHost host(view);
    host.Start();
    ASSERT_TRUE(host.WaitBound(5000));
    host.SetSignal(CDiscoveryEngine::RESCAN_WORKER);
    WaitUntil([&] { return view.Listed() == FLEET; }, 60000);
    std::printf("listed %zu of %zu, %lld dropped from memory, reply buffer %d bytes\n", view.Listed(), FLEET,
                host.m_engine.GetQueueDrops(), host.m_engine.GetReplyBufferBytes());
    EXPECT_EQ(view.Listed(), FLEET);
    EXPECT_EQ(host.m_engine.GetQueueDrops(), 0);
    host.Close();
    sim.Command("reset");
}

} // namespace
