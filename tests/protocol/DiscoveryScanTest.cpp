// The discovery engine's scans on its own, with a stand-in for the window: replies carry the scan
// they answered, and a rescan drops what was taken off the socket before it cleared the list, so a
// camera that stopped answering before the rescan never comes back from the engine's queue.
#include "protocol/DiscoveryEngine.h"

#include "net/SocketHelpers.h"
#include "tests/support/LabGuard.h"

#include <gtest/gtest.h>

#include <winsock2.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// The window's side: records what the engine shows; can hold the rescan pass inside its clear.
class CRecordingView : public CCameraListView {
  public:
    void ClearCameraRows() override
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_shown.clear();
        ++m_clears;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return !m_bHoldClear; });
    }
    void StartScan(std::uint32_t nScanId, bool bCleared) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_scans.push_back({nScanId, bCleared});
        m_changed.notify_all();
    }
    void ShowCameras(const std::vector<ShownCamera>& cameras, bool) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const ShownCamera& camera : cameras)
            m_shown.push_back({ReadTextField(camera.pRecord->message.idSerial), camera.pRecord->scanId});
        m_changed.notify_all();
    }
    void EndCameraBurst() override {}

    void HoldClear(bool bHold)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bHoldClear = bHold;
        m_changed.notify_all();
    }
    template <typename Pred> bool WaitFor(Pred pred, int ms)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::milliseconds(ms), [&] { return pred(*this); });
    }
    bool Shows(const std::string& id)
    {
        for (const auto& [shownId, scan] : m_shown)
            if (shownId == id)
                return true;
        return false;
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_bHoldClear = false;
    int m_clears = 0;
    std::vector<std::pair<std::uint32_t, bool>> m_scans;
    std::vector<std::pair<std::string, std::uint32_t>> m_shown;
};

class CEngineHost : public CMyThreadHost {
  public:
    CEngineHost(CCameraListView& view, CDeviceTable& table) : m_engine(*this, view, table) {}
    ~CEngineHost() override { Stop(); }
    void Start()
    {
        StartThread(CDiscoveryEngine::RESCAN_WORKER);
        StartThread(CDiscoveryEngine::RECEIVE_WORKER);
    }
    void Stop()
    {
        m_engine.BeginShutdown();
        StopAllThreads();
        m_engine.EndShutdown();
    }
    int ThreadProc(int nIndex) override
    {
        return nIndex == CDiscoveryEngine::RESCAN_WORKER    ? m_engine.RescanPass()
               : nIndex == CDiscoveryEngine::RECEIVE_WORKER ? m_engine.ReceivePass()
                                                            : 0;
    }
    CDiscoveryEngine m_engine;
};

// A reply of camera `id`, sent to the reply port over the loopback (from 127.0.0.1: Linux drops a
// loopback datagram from another local address).
void SendReply(const char* id)
{
    WireMessage reply{};
    reply.type = MSG_INFO;
    WriteTextField(reply.idSerial, std::string(id));
    WriteTextField(reply.lanIp, std::string("198.18.1.250"));
    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    ASSERT_NE(s, INVALID_SOCKET);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = inet_addr("127.0.0.1");
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
    sockaddr_in to = local;
    to.sin_port = htons(REPLY_PORT);
    EXPECT_EQ(sendto(s, reinterpret_cast<const char*>(&reply), sizeof reply, 0,
                     reinterpret_cast<sockaddr*>(&to), sizeof to),
              static_cast<int>(sizeof reply));
    closesocket(s);
}

TEST(DiscoveryScan, ARescanDropsRepliesTakenBeforeItClearedAndStampsTheRestWithItsScan)
{
    RequireLabNetwork();
    CRecordingView view;
    CDeviceTable table;
    CEngineHost host(view, table);
    host.Start();

    // A camera answers and is listed, stamped with no scan yet.
    bool bListed = false;
    for (int attempt = 0; attempt < 20 && !bListed; ++attempt) {
        SendReply("f0000000aaa1");
        bListed = view.WaitFor([](CRecordingView& v) { return v.Shows("f0000000aaa1"); }, 250);
    }
    ASSERT_TRUE(bListed) << "the reply port never listed a reply";

    // The operator rescans while another reply is on its way through the engine: the rescan is
    // held inside its clear (it holds the table), so the receive pass takes the reply off the
    // socket before the clear ends and must wait to store it.
    view.HoldClear(true);
    host.m_engine.RequestRescan();
    ASSERT_TRUE(view.WaitFor([](CRecordingView& v) { return v.m_clears == 1; }, 5000));
    SendReply("f0000000bbb2");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    view.HoldClear(false);
    ASSERT_TRUE(view.WaitFor([](CRecordingView& v) { return !v.m_scans.empty(); }, 5000));
    // What answers now belongs to the new scan.
    SendReply("f0000000ccc3");
    EXPECT_TRUE(view.WaitFor([](CRecordingView& v) { return v.Shows("f0000000ccc3"); }, 3000));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    {
        std::lock_guard<std::mutex> lock(view.m_mutex);
        EXPECT_FALSE(view.Shows("f0000000bbb2")) << "a reply taken before the clear came back";
        EXPECT_FALSE(view.Shows("f0000000aaa1"));
        ASSERT_EQ(view.m_scans.size(), 1u);
        EXPECT_EQ(view.m_scans[0].first, 1u);
        EXPECT_TRUE(view.m_scans[0].second) << "the operator's rescan clears";
        for (const auto& [id, scan] : view.m_shown)
            EXPECT_EQ(scan, 1u) << id;
    }
    EXPECT_EQ(host.m_engine.GetScanId(), 1u);

    // A refresh keeps the listed cameras and opens the next scan without a clear.
    host.m_engine.RequestRefresh();
    ASSERT_TRUE(view.WaitFor([](CRecordingView& v) { return v.m_scans.size() == 2; }, 5000));
    SendReply("f0000000ccc3");
    EXPECT_TRUE(view.WaitFor(
        [](CRecordingView& v) { return !v.m_shown.empty() && v.m_shown.back().second == 2u; }, 3000));
    std::lock_guard<std::mutex> lock(view.m_mutex);
    EXPECT_EQ(view.m_clears, 1);
    EXPECT_FALSE(view.m_scans[1].second);
    EXPECT_TRUE(view.Shows("f0000000ccc3"));
}

} // namespace
