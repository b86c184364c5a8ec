#include "protocol/DiscoveryEngine.h"

#include "net/SocketServer.h"
#include "base/Ipv4Text.h"
#include "base/TextConvert.h"
#include "protocol/DiscoveryRules.h"

#include <winsock2.h>
#include <process.h>
#include <ws2tcpip.h>

#include <cstring>
#include <utility>

namespace {

SOCKET AsSocket(GenSocket socket)
{
    return static_cast<SOCKET>(socket);
}

// Waits until a datagram is queued on the socket: 1 when one is, 0 after nMs or once the wake
// socket holds a datagram, -1 when the socket is gone.
int WaitReadable(GenSocket socket, GenSocket wake, int nMs)
{
    fd_set set;
    FD_ZERO(&set);
    FD_SET(AsSocket(socket), &set);
    if (wake != GENSOCK_INVALID)
        FD_SET(AsSocket(wake), &set);
    timeval wait{nMs / 1000, (nMs % 1000) * 1000};
    const int ready = select(0, &set, nullptr, nullptr, &wait);
    if (ready < 0)
        return -1;
    // The wake-up is left queued: every later wait returns at once, until the pass has left.
    return FD_ISSET(AsSocket(socket), &set) ? 1 : 0;
}

// A datagram socket on 127.0.0.1 at a port of its own, not blocking; a datagram it sends to
// itself wakes a select that holds it.
GenSocket OpenWakeSocket()
{
    CUniqueSocket owned(static_cast<GenSocket>(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP)));
    if (!owned)
        return GENSOCK_INVALID;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(AsSocket(owned.Get()), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
        return GENSOCK_INVALID;
    u_long nonBlocking = 1;
    ioctlsocket(AsSocket(owned.Get()), FIONBIO, &nonBlocking);
    return owned.Release();
}

bool IsSocketGone(int nError)
{
    return nError == WSAENOTSOCK || nError == WSAEBADF || nError == WSANOTINITIALISED;
}

void DottedAddress(const sockaddr_in& address, char (&out)[16])
{
    const auto* b = reinterpret_cast<const unsigned char*>(&address.sin_addr);
    wsprintfA(out, "%d.%d.%d.%d", b[0], b[1], b[2], b[3]);
}

} // namespace

void CBurstBroadcaster::Send(unsigned short port, const void* data, int length)
{
    if (!m_bOpen) {
        std::vector<in_addr> locals;
        if (GenSockLocalAddresses(locals) <= 0)
            return;
        for (const in_addr& local : locals) {
            if (!GenSockIsSendingAddress(local))
                continue;
            CUniqueSocket socket(GenSockOpenBroadcastSource(local, 1));
            if (socket)
                m_sockets.push_back(std::move(socket));
        }
        m_bOpen = true;
    }
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(port);
    destination.sin_addr.s_addr = INADDR_BROADCAST;
    for (const CUniqueSocket& socket : m_sockets)
        sendto(AsSocket(socket.Get()), static_cast<const char*>(data), length, 0,
               reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
}

void CBurstBroadcaster::Close()
{
    m_sockets.clear();
    m_bOpen = false;
}

CDiscoveryEngine::CDiscoveryEngine(CMyThreadHost& host, CCameraListView& view, CDeviceTable& table)
    : m_host(host), m_view(view), m_table(table), m_hStop(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_hQueued(CreateEventW(nullptr, FALSE, FALSE, nullptr))
{
}

CDiscoveryEngine::~CDiscoveryEngine()
{
    EndShutdown();
}

bool CDiscoveryEngine::KeepRunning(int nIndex) const
{
    return !m_bStopping.load() && m_host.IsThreadRunning(nIndex);
}

void CDiscoveryEngine::RequestRescan()
{
    m_bClearRequested.store(true);
    m_host.SetSignal(RESCAN_WORKER);
}

void CDiscoveryEngine::RequestRefresh()
{
    m_host.SetSignal(RESCAN_WORKER);
}

int CDiscoveryEngine::RescanPass()
{
    if (m_host.WaitSignal(RESCAN_WORKER, INFINITE) != WAIT_OBJECT_0) {
        // No signal to wait on (its event could not be made): never clear and broadcast in a
        // loop; try again a little later.
        m_host.WaitSignal(RESCAN_WORKER, UNBOUND_RETRY_MS);
        return 0;
    }
    // Stopping the worker sets the slot too: that wake-up must not rescan.
    if (!KeepRunning(RESCAN_WORKER))
        return 0;
    const bool bClear = m_bClearRequested.exchange(false);
    const std::uint32_t nScan = m_nScanId.load() + 1; // only this worker opens scans
    if (bClear) {
        CDeviceTableLock lock(m_table);
        m_view.ClearCameraRows(); // rows first, so no row ever refers to a freed record
        m_table.Clear();
        m_nClearScan = nScan;
    }
    m_view.StartScan(nScan, bClear);
    {
        std::lock_guard<std::mutex> guard(m_receiveLock);
        m_nScanId.store(nScan);
        DrainReplySocket();
    }
    WireMessage request;
    BuildGetRequest(request);
    GenSockBroadcastSend(CAMERA_PORT, &request, static_cast<int>(MESSAGE_SIZE), 0, nullptr);
    return 0;
}

void CDiscoveryEngine::DrainReplySocket()
{
    GenSockServerContext* context = m_pContext.load();
    if (!context)
        return;
    const GenSocket socket = context->socket.load();
    if (socket == GENSOCK_INVALID)
        return;
    // The socket does not block; a flood cannot hold the request back for long.
    WireMessage discard;
    for (int n = 0; n < DRAIN_MAX; ++n) {
        sockaddr_in from{};
        int fromLength = sizeof from;
        if (recvfrom(AsSocket(socket), reinterpret_cast<char*>(&discard), static_cast<int>(sizeof discard), 0,
                     reinterpret_cast<sockaddr*>(&from), &fromLength) < 0 &&
            WSAGetLastError() != WSAEMSGSIZE)
            break;
    }
}

GenSocket CDiscoveryEngine::OpenReplySocket()
{
    // Before the stop flag is read again: a BeginShutdown that did not see the wake socket is
    // seen by the pass.
    if (m_wake.load() == GENSOCK_INVALID)
        m_wake.store(OpenWakeSocket());
    GenSockServerContext* context = m_pContext.load();
    if (!context) {
        // Closing cuts the launcher's wait for the bind short.
        context = GenSockOpenUdpServer(REPLY_PORT, 1, nullptr, static_cast<int>(MESSAGE_SIZE), m_hStop.Get());
        if (!context)
            return GENSOCK_INVALID;
        m_pContext.store(context);
    }
    GenSocket socket = context->socket.load();
    if (socket == GENSOCK_INVALID)
        return GENSOCK_INVALID;

    int size = REPLY_BUFFER_BYTES;
    setsockopt(AsSocket(socket), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&size), sizeof size);
    int granted = 0;
    int length = sizeof granted;
    if (getsockopt(AsSocket(socket), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(&granted), &length) == 0)
        m_nGrantedBuffer.store(granted);
    u_long nonBlocking = 1;
    ioctlsocket(AsSocket(socket), FIONBIO, &nonBlocking);
    return socket;
}

int CDiscoveryEngine::ReceivePass()
{
    if (!KeepRunning(RECEIVE_WORKER))
        return 0;
    GenSocket socket = OpenReplySocket();
    if (socket == GENSOCK_INVALID || !StartDraining(socket)) {
        // The port is not bound (yet). The server thread keeps trying; look again shortly.
        m_host.WaitSignal(RECEIVE_WORKER, UNBOUND_RETRY_MS);
        return 0;
    }

    // The draining thread has moved the replies into memory; here they are handled a batch at a
    // time. Each acknowledgement costs as much as a receive, and writing the rows waits for the
    // window, so a burst that outruns this pass waits in memory instead of being dropped by the
    // system.
    std::vector<QueuedDatagram> batch;
    // A failure in here (memory running out, an exception from the view) must not end discovery:
    // the pass is left, told once and started again by the worker.
    try {
        batch.reserve(BATCH_MAX);
        while (KeepRunning(RECEIVE_WORKER)) {
            const bool bMoreWaiting = m_received.Take(batch, BATCH_MAX);
            for (QueuedDatagram& datagram : batch)
                AcceptDatagram(datagram.message, datagram.length, datagram.sender, datagram.scanId);
            batch.clear();
            if (bMoreWaiting) {
                CommitPending(true);
                continue;
            }
            // Drained: the rows written so far are shown with their count.
            CommitPending(false);
            FlushBurst();
            if (!m_bDraining.load() && m_received.Size() == 0) {
                // The socket is gone or the thread failed: the next pass starts them again.
                if (m_bDrainFailed.exchange(false)) {
                    RecoverFromFailure();
                    return 0;
                }
                break;
            }
            // A burst often comes in waves: the acknowledgement sockets stay open for a moment.
            if (!m_acks.IsOpen() || !WaitQueued(ACK_LINGER_MS)) {
                m_acks.Close();
                WaitQueued(RECEIVE_TIMEOUT_MS);
            }
        }
    } catch (...) {
        RecoverFromFailure();
        return 0;
    }
    FlushBurst();
    m_acks.Close();
    m_pending.clear();
    return 0;
}

void CDiscoveryEngine::RecoverFromFailure()
{
    m_received.Clear();
    m_pending.clear();
    m_acks.Close();
    if (m_nReceiveFailures.fetch_add(1) == 0) {
        // The view shows the count again, and with it that discovery was restarted.
        m_bBurstOpen = true;
    }
    try {
        FlushBurst();
    } catch (...) {
        m_bBurstOpen = false;
    }
    m_host.WaitSignal(RECEIVE_WORKER, FAILED_PASS_PAUSE_MS);
}

bool CDiscoveryEngine::WaitQueued(DWORD nMs)
{
    if (m_received.Size() > 0)
        return true;
    if (!m_hQueued || !m_hStop) {
        // No event to wait on: look again a little later.
        Sleep(nMs < 10 ? nMs : 10);
        return m_received.Size() > 0;
    }
    const HANDLE handles[2] = {m_hQueued.Get(), m_hStop.Get()};
    WaitForMultipleObjects(2, handles, FALSE, nMs);
    return m_received.Size() > 0;
}

bool CDiscoveryEngine::StartDraining(GenSocket socket)
{
    if (m_bDraining.load() && m_drainSocket == socket)
        return true;
    StopDraining();
    m_drainSocket = socket;
    m_bDraining.store(true);
    const uintptr_t h = _beginthreadex(nullptr, 0, &CDiscoveryEngine::DrainMain, this, 0, nullptr);
    if (h == 0) {
        m_bDraining.store(false);
        return false;
    }
    m_hDrain.Reset(reinterpret_cast<HANDLE>(h));
    return true;
}

void CDiscoveryEngine::StopDraining()
{
    if (!m_hDrain)
        return;
    // It leaves once it sees the stop flag (the wake socket cuts its wait short) or its socket
    // gone.
    WaitForSingleObject(m_hDrain.Get(), INFINITE);
    m_hDrain.Reset();
    m_bDraining.store(false);
}

unsigned __stdcall CDiscoveryEngine::DrainMain(void* pParam)
{
    auto* engine = static_cast<CDiscoveryEngine*>(pParam);
    try {
        engine->DrainSocket();
    } catch (...) {
        engine->m_bDrainFailed.store(true);
    }
    engine->m_bDraining.store(false);
    if (engine->m_hQueued)
        SetEvent(engine->m_hQueued.Get()); // the receive pass sees it has left
    return 0;
}

void CDiscoveryEngine::DrainSocket()
{
    // The only work here is receiving, so that a burst faster than one link is taken off the
    // socket before its buffer overflows.
    const GenSocket socket = m_drainSocket;
    const GenSocket wake = m_wake.load();
    std::vector<QueuedDatagram> taken;
    taken.reserve(DRAIN_BATCH);
    while (m_host.IsThreadRunning(RECEIVE_WORKER) && !m_bStopping.load()) {
        int error = 0;
        while (taken.size() < DRAIN_BATCH) {
            taken.emplace_back();
            QueuedDatagram& datagram = taken.back();
            const int length = ReceiveOne(socket, datagram.message, datagram.sender, datagram.scanId);
            if (length > 0) {
                datagram.length = length;
                continue;
            }
            taken.pop_back();
            error = WSAGetLastError();
            if (error != WSAEMSGSIZE) // an oversized datagram is dropped: its check fails
                break;
        }
        if (!taken.empty() && m_received.Push(taken) && m_hQueued)
            SetEvent(m_hQueued.Get());
        taken.clear();
        if (error == 0 || error == WSAEMSGSIZE)
            continue;
        if (IsSocketGone(error))
            break;
        if (error != WSAEWOULDBLOCK) {
            Sleep(1);
            continue;
        }
        if (WaitReadable(socket, wake, RECEIVE_TIMEOUT_MS) < 0 && IsSocketGone(WSAGetLastError()))
            break;
    }
}

int CDiscoveryEngine::ReceiveOne(GenSocket socket, WireMessage& message, char (&sender)[16],
                                 std::uint32_t& nScanId)
{
    std::lock_guard<std::mutex> guard(m_receiveLock);
    nScanId = m_nScanId.load();
    // One datagram per receive: a short datagram is padded with zeros rather than joined to the
    // next camera's reply.
    std::memset(&message, 0, sizeof message);
    sockaddr_in from{};
    int fromLength = sizeof from;
    const int received =
        recvfrom(AsSocket(socket), reinterpret_cast<char*>(&message), static_cast<int>(MESSAGE_SIZE), 0,
                 reinterpret_cast<sockaddr*>(&from), &fromLength);
    DottedAddress(from, sender);
    return received;
}

void CDiscoveryEngine::AcceptDatagram(WireMessage& message, int nReceived, const char* pszSender,
                                      std::uint32_t nScanId)
{
    // An extra-information reply changes nothing the tool reads, sends or shows: looking its
    // camera up would only take the table's lock.
    if (message.type == MSG_INFO_EXTRA)
        return;
    if (!IsValidInfoReply(&message, nReceived))
        return;

    DeviceRecord pending{};
    std::memcpy(pending.wireName, message.name, sizeof pending.wireName);
    char ansiName[sizeof message.name];
    TextUtf8ToAnsiFit(message.name, sizeof message.name, ansiName, sizeof ansiName);
    WriteConvertedName(message, std::string_view(ansiName, sizeof ansiName));

    WireMessage ack;
    BuildAck(message, ack);
    m_acks.Send(CAMERA_PORT, &ack, static_cast<int>(MESSAGE_SIZE));

    const ReachedVia via = ResolveReachedVia(message, pszSender);
    std::memcpy(&pending.message, &message, sizeof message);
    std::memcpy(pending.sourceIp, via.sourceIp, sizeof pending.sourceIp);
    pending.sourceIp[sizeof pending.sourceIp - 1] = 0;
    pending.netType = via.netType;
    pending.senderIp = ParseIpv4(std::string_view(pszSender)).value_or(0);
    pending.scanId = nScanId;
    m_pending.push_back(pending);
}

void CDiscoveryEngine::CommitPending(bool bMoreWaiting)
{
    if (m_pending.empty()) {
        if (!bMoreWaiting)
            FlushBurst();
        return;
    }
    CDeviceTableLock lock(m_table);
    if (!KeepRunning(RECEIVE_WORKER)) {
        m_pending.clear();
        return;
    }
    std::vector<CCameraListView::ShownCamera> shown;
    shown.reserve(m_pending.size());
    std::vector<DeviceRecord*> twins;
    for (const DeviceRecord& reply : m_pending) {
        // Taken off the socket before the list was last cleared: an answer to an older request.
        if (reply.scanId < m_nClearScan)
            continue;
        bool created = false;
        twins.clear();
        if (DeviceRecord* record = m_table.Store(reply, created, &twins)) {
            shown.push_back({record, created});
            // A camera that shares its idSerial with this one is marked now: its row shows it.
            for (DeviceRecord* twin : twins)
                shown.push_back({twin, false});
        }
    }
    m_pending.clear();
    m_view.ShowCameras(shown, bMoreWaiting);
    m_bBurstOpen = bMoreWaiting;
}

void CDiscoveryEngine::FlushBurst()
{
    if (!m_bBurstOpen)
        return;
    m_bBurstOpen = false;
    m_view.EndCameraBurst();
}

void CDiscoveryEngine::BeginShutdown()
{
    m_bStopping.store(true);
    if (m_hStop)
        SetEvent(m_hStop.Get());
    m_host.SetSignal(RESCAN_WORKER);
    m_host.SetSignal(RECEIVE_WORKER);
    // Wake a receive that is waiting for datagrams; the pass then sees that it is to stop.
    const GenSocket wake = m_wake.load();
    if (wake == GENSOCK_INVALID) {
        // No socket of its own could be made: the reply port itself, which another program
        // bound to it may take instead.
        if (m_pContext.load())
            NotifySocketToEnd(REPLY_PORT, 0);
        return;
    }
    sockaddr_in self{};
    int length = sizeof self;
    if (getsockname(AsSocket(wake), reinterpret_cast<sockaddr*>(&self), &length) == 0)
        sendto(AsSocket(wake), "wake", 4, 0, reinterpret_cast<const sockaddr*>(&self), sizeof self);
}

void CDiscoveryEngine::EndShutdown()
{
    m_bStopping.store(true);
    if (m_hDrain) {
        // Never begun (an engine closed without BeginShutdown): its wait is cut short now.
        if (m_hStop && WaitForSingleObject(m_hStop.Get(), 0) != WAIT_OBJECT_0)
            BeginShutdown();
        StopDraining();
    }
    // Bound or not (its thread may still be trying, or binding right now), the server goes with
    // everything it made.
    if (GenSockServerContext* context = m_pContext.exchange(nullptr))
        GenSockCloseServer(context);
    const GenSocket wake = m_wake.exchange(GENSOCK_INVALID);
    if (wake != GENSOCK_INVALID)
        closesocket(AsSocket(wake));
}
