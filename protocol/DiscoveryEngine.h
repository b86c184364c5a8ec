#pragma once
// The discovery engine: the rescan pass (broadcast one request when told to) and the receive
// pass (check, acknowledge, store and list every reply), run on two workers of the window that
// lists the cameras.
//
// Bursts: cameras on one switch answer a broadcast at the same moment, and a camera reached
// through two interfaces answers twice, faster than any one link carries. The reply socket asks
// for a large receive buffer and does not block, and a thread of the engine's own does nothing
// but move what is queued on it into memory (a receive each), waiting in select for the next
// datagram. The receive pass takes that memory a batch at a time: checks, acknowledges and stores
// it and writes its rows in one message to the window, which may keep it waiting while it paints;
// the socket is drained all the while. When the memory is empty it tells the list, and waits.
//
// Scans: every request the rescan pass sends opens a scan, numbered from 1. A reply is stamped
// with the scan that was open when it was taken off the socket, and what was queued on the
// socket when a request goes out is thrown away first, so a stamp says "this answered that
// request or a later one". An operator's rescan clears the list; replies stamped before it are
// dropped, so a camera unplugged before a rescan never comes back from a queue. A refresh asks
// the listed cameras again and keeps their rows (the change check's follow-up requests).

#include "base/MyThreadHost.h"
#include "net/SocketHelpers.h"
#include "protocol/DeviceTable.h"
#include "protocol/ReplyQueue.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

struct GenSockServerContext;

// Sends acknowledgements as GenSockBroadcastSend does (a limited broadcast from port 50504 of
// every usable local address), through sockets kept open while a burst lasts: opening, binding
// and closing them for every datagram costs more than the send.
class CBurstBroadcaster {
  public:
    CBurstBroadcaster() = default;
    ~CBurstBroadcaster() { Close(); }
    CBurstBroadcaster(const CBurstBroadcaster&) = delete;
    CBurstBroadcaster& operator=(const CBurstBroadcaster&) = delete;

    void Send(unsigned short port, const void* data, int length);
    void Close();
    bool IsOpen() const { return m_bOpen; }

  private:
    std::vector<CUniqueSocket> m_sockets;
    bool m_bOpen = false;
};

// What the engine needs of the window that lists the cameras. Called from the workers with the
// table's lock held; each call must do its work on the window's thread in one synchronous
// message and return when it is done.
class CCameraListView {
  public:
    virtual ~CCameraListView() = default;
    // Deletes every row and shows a count of 0.
    virtual void ClearCameraRows() = 0;
    // Scan `nScanId` is about to send its request (called without the table's lock; after
    // ClearCameraRows when it clears).
    virtual void StartScan(std::uint32_t nScanId, bool bCleared) = 0;
    struct ShownCamera {
        DeviceRecord* pRecord;
        bool bCreated; // the record is new, so no row can have it yet
    };
    // Writes each record's row in order (appending one when no row has its idSerial) and the
    // count. While `bMoreWaiting`, the list may keep its redrawing off and the count unwritten; a
    // call with it false (or EndCameraBurst) must leave the list drawn and the count right.
    virtual void ShowCameras(const std::vector<ShownCamera>& cameras, bool bMoreWaiting) = 0;
    virtual void EndCameraBurst() = 0;
};

class CDiscoveryEngine {
  public:
    static constexpr int RESCAN_WORKER = 0;
    static constexpr int RECEIVE_WORKER = 1;
    static constexpr int RECEIVE_TIMEOUT_MS = 10000;
    static constexpr int UNBOUND_RETRY_MS = 500;
    // How long the acknowledgement sockets stay open after the socket was drained.
    static constexpr int ACK_LINGER_MS = 250;
    // Replies handled before the socket is looked at again, and their rows written in one message.
    static constexpr size_t BATCH_MAX = 64;
    // Datagrams held in memory at most, waiting to be handled (about 110 MB); more are dropped.
    static constexpr size_t RECEIVED_MAX = 100000;
    // Datagrams the draining thread takes off the socket before it hands them on.
    static constexpr size_t DRAIN_BATCH = 32;
    // Asked of the system for the reply socket; Linux caps it at net.core.rmem_max.
    static constexpr int REPLY_BUFFER_BYTES = 8 * 1024 * 1024;
    // The pause before a receive pass that failed (memory ran out, say) starts again.
    static constexpr int FAILED_PASS_PAUSE_MS = 100;

    CDiscoveryEngine(CMyThreadHost& host, CCameraListView& view,
                     CDeviceTable& table = CDeviceTable::Instance());
    ~CDiscoveryEngine();
    CDiscoveryEngine(const CDiscoveryEngine&) = delete;
    CDiscoveryEngine& operator=(const CDiscoveryEngine&) = delete;

    // Worker bodies; both return 0.
    int RescanPass();
    int ReceivePass();

    // An operator's rescan: clear the list and ask again.
    void RequestRescan();
    // Ask the cameras again, keeping the listed rows (a rescan already asked for still clears).
    void RequestRefresh();
    // The scan whose replies are being taken now (0 before the first request).
    std::uint32_t GetScanId() const { return m_nScanId.load(); }
    // Datagrams held at most when a request drains the reply socket.
    static constexpr int DRAIN_MAX = 20000;

    // Closing, in two steps: BeginShutdown makes both passes leave (the rescan pass without
    // rescanning, the receive pass woken from its receive); once the workers have stopped,
    // EndShutdown closes the reply socket.
    void BeginShutdown();
    void EndShutdown();
    bool IsStopping() const { return m_bStopping.load(); }

    // The receive buffer size the system granted the reply socket (0 before it is open).
    int GetReplyBufferBytes() const { return m_nGrantedBuffer.load(); }
    // Receive passes that failed and were started again; the view is told at the first.
    int GetReceiveFailures() const { return m_nReceiveFailures.load(); }
    // Datagrams taken off the socket and dropped because RECEIVED_MAX were waiting.
    long long GetQueueDrops() const { return m_received.Dropped(); }

  private:
    bool KeepRunning(int nIndex) const;
    GenSocket OpenReplySocket();
    int ReceiveOne(GenSocket socket, WireMessage& message, char (&sender)[16], std::uint32_t& nScanId);
    // Throws away what is queued on the reply socket, so that what is taken next answered a later
    // request. Called with m_receiveLock held.
    void DrainReplySocket();
    // Checks a datagram; an accepted reply is acknowledged and queued for CommitPending.
    void AcceptDatagram(WireMessage& message, int nReceived, const char* pszSender, std::uint32_t nScanId);
    // Stores the queued replies and writes their rows, as one step under the table's lock.
    void CommitPending(bool bMoreWaiting);
    void FlushBurst();
    // Starts the thread that drains `socket` into m_received, unless it runs; false when it
    // could not be started.
    bool StartDraining(GenSocket socket);
    static unsigned __stdcall DrainMain(void* pParam);
    void DrainSocket();
    void StopDraining();
    // Waits until the draining thread queued datagrams (true), or nMs passed or closing began.
    bool WaitQueued(DWORD nMs);
    // After a failed pass: drop what it held, tell the view once, pause.
    void RecoverFromFailure();

    CMyThreadHost& m_host;
    CCameraListView& m_view;
    CDeviceTable& m_table;
    std::atomic<bool> m_bStopping{false};
    std::atomic<GenSockServerContext*> m_pContext{nullptr};
    std::atomic<int> m_nGrantedBuffer{0};
    std::atomic<bool> m_bClearRequested{false};
    std::atomic<std::uint32_t> m_nScanId{0};
    std::uint32_t m_nClearScan = 0; // the last clearing scan; under the table's lock
    // Held around each receive and around a scan's start, so that a datagram is stamped with the
    // scan it was taken in.
    std::mutex m_receiveLock;
    std::atomic<int> m_nReceiveFailures{0};
    // Closing wakes the receive pass through these, which belong to this engine alone: a wake-up
    // datagram to the reply port may be taken by another program bound to that port too.
    CUniqueKernelHandle m_hStop;                    // set by BeginShutdown
    std::atomic<GenSocket> m_wake{GENSOCK_INVALID}; // loopback, in the receive pass's wait
    CReplyQueue m_received{RECEIVED_MAX};
    CUniqueKernelHandle m_hQueued; // set when the draining thread filled an empty m_received
    CUniqueKernelHandle m_hDrain;  // the draining thread; receive worker and EndShutdown only
    GenSocket m_drainSocket = GENSOCK_INVALID;
    std::atomic<bool> m_bDraining{false};    // the draining thread has not left
    std::atomic<bool> m_bDrainFailed{false}; // it left on a failure
    bool m_bBurstOpen = false;               // receive worker only
    CBurstBroadcaster m_acks;                // receive worker only
    std::vector<DeviceRecord> m_pending;     // receive worker only
};
