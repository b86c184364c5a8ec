#include "net/MySocket.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int WORKER_SERVER = 0;
constexpr int WORKER_CLIENT = 1;
constexpr DWORD RETRY_PAUSE_MS = 5000;
// A client whose socket cannot be made or keeps failing does not retry more often than this.
constexpr DWORD CLIENT_RETRY_PAUSE_MS = 100;
constexpr int CLIENT_RECV_TIMEOUT_MS = 100;
constexpr int ACCEPTED_BUFFER_SIZE = 65535;
constexpr int LISTEN_BACKLOG = 5;

void SetOption(GenSocket socket, int option, int value)
{
    setsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, option, reinterpret_cast<const char*>(&value),
               sizeof value);
}

} // namespace

CMySocket::CMySocket(unsigned short port, int mode, int server, const char* host,
                     ReceiveCallback receiveCallback, ServerCallback serverCallback)
    : m_bUdp(mode == MODE_UDP || mode == MODE_UDP_BROADCAST), m_bServer(server ? 1 : 0),
      m_bBroadcast(mode == MODE_UDP_BROADCAST), m_nPort(port),
      m_pBuffer(std::make_shared<Buffer>(DEFAULT_BUFFER_SIZE)), m_pReceiveCallback(receiveCallback),
      m_pServerCallback(serverCallback)
{
    if (host) {
        std::strncpy(m_szHost, host, sizeof m_szHost - 1);
        m_szHost[sizeof m_szHost - 1] = 0;
    }
    m_nWorker = m_bServer ? WORKER_SERVER : WORKER_CLIENT;
    GenSockStartup();
}

CMySocket::CMySocket(GenSocket socket, int receivePaused)
    : m_nReceivePaused(receivePaused), m_socket(socket),
      m_pBuffer(std::make_shared<Buffer>(DEFAULT_BUFFER_SIZE))
{
    m_nWorker = WORKER_CLIENT;
    GenSockStartup();
}

void CMySocket::Start()
{
    if (!m_bClosing.load())
        StartThread(m_nWorker);
}

void CMySocket::SetReceivePaused(int paused)
{
    m_nReceivePaused.store(paused);
    if (!paused)
        SetSignal(WORKER_CLIENT);
}

CMySocket::~CMySocket()
{
    Close();
}

void CMySocket::Close()
{
    m_bClosing.store(1);
    ClearSocket();
    // The workers use this object's members: they must have left before the members go.
    StopAllThreads();
}

// m_socket stays a plain handle: Close (on any thread) closes it to cut a worker's blocked accept
// or receive short, and a worker closes it when it fails; the one that exchanges it out closes it.
void CMySocket::ClearSocket()
{
    GenSocket socket = m_socket.exchange(GENSOCK_INVALID);
    if (socket != GENSOCK_INVALID)
        closesocket(static_cast<SOCKET>(socket));
}

int CMySocket::ThreadProc(int index)
{
    if (index == WORKER_SERVER)
        ServerRound();
    else if (index == WORKER_CLIENT)
        ClientRound();
    return 0;
}

void CMySocket::OnAccept(GenSocket, const sockaddr_in*) {}

void CMySocket::OnReceive(GenSocket, const sockaddr_in*, char*, int) {}

int CMySocket::SetReceiveBufferSize(int size)
{
    if (size < 1)
        return 0;
    auto buffer = std::make_shared<Buffer>(std::min(size, MAX_BUFFER_SIZE));
    std::lock_guard<std::mutex> lock(m_lock);
    m_pBuffer = std::move(buffer);
    return 1;
}

void CMySocket::SetReceiveCallback(ReceiveCallback callback)
{
    m_pReceiveCallback.store(callback);
}

void CMySocket::SetServerCallback(ServerCallback callback)
{
    m_pServerCallback.store(callback);
}

sockaddr_in CMySocket::GetLastPeer() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_lastPeer;
}

std::shared_ptr<CMySocket::Buffer> CMySocket::CurrentBuffer() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_pBuffer;
}

int CMySocket::SetTimeouts(int milliseconds, int mask)
{
    m_nTimeout.store(milliseconds);
    return GenSockSetTimeouts(m_socket.load(), milliseconds, mask);
}

int CMySocket::SetBufferSizes(int size, int mask)
{
    return GenSockSetBufferSizes(m_socket.load(), size, mask);
}

int CMySocket::Send(const void* data, int length, int milliseconds)
{
    if (m_bUdp)
        return GenSockBroadcastSend(m_nPort, data, length, 0, m_szHost[0] ? m_szHost : nullptr);
    return ForceSend(m_socket.load(), data, length, milliseconds, 0, nullptr);
}

int CMySocket::Receive(void* buffer, int length, int milliseconds)
{
    sockaddr_in from{};
    int got = ForceRecv(m_socket.load(), buffer, length, milliseconds, m_bUdp, &from);
    if (m_bUdp) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_lastPeer = from;
    }
    return got;
}

void CMySocket::ServerRound()
{
    CUniqueSocket owned(GenSockCreate(m_bUdp ? SOCKET_KIND_UDP : SOCKET_KIND_TCP));
    if (owned) {
        if (m_bUdp && m_bBroadcast)
            SetOption(owned.Get(), SO_BROADCAST, 1);
        SetOption(owned.Get(), SO_REUSEADDR, 1);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(m_nPort);
        local.sin_addr.s_addr = htonl(INADDR_ANY);
        bool bound = bind(static_cast<SOCKET>(owned.Get()), reinterpret_cast<const sockaddr*>(&local),
                          sizeof local) == 0;
        if (bound && !m_bUdp)
            bound = listen(static_cast<SOCKET>(owned.Get()), LISTEN_BACKLOG) == 0;
        if (!bound)
            owned.Reset();
    }
    // From here m_socket holds it (see ClearSocket).
    const GenSocket socket = owned.Release();
    if (socket != GENSOCK_INVALID) {
        m_socket.store(socket);
        // A destructor that ran before the store found nothing to close.
        if (m_bClosing.load())
            ClearSocket();
    }

    while (socket != GENSOCK_INVALID && !m_bClosing.load()) {
        if (m_bUdp) {
            Sleep(1);
            std::shared_ptr<Buffer> buffer = CurrentBuffer();
            sockaddr_in from{};
            int got = ForceRecv(socket, buffer->data(), static_cast<int>(buffer->size()), m_nTimeout.load(),
                                1, &from);
            if (m_bClosing.load())
                break;
            if (got <= 0) // a time-out or a failed receive brings nothing to hand on
                continue;
            {
                std::lock_guard<std::mutex> lock(m_lock);
                m_lastPeer = from;
            }
            OnReceive(socket, &from, buffer->data(), got);
            if (ServerCallback callback = m_pServerCallback.load())
                callback(this, socket, &from, buffer->data(), got);
        } else {
            sockaddr_in peer{};
            int peerLength = sizeof peer;
            CUniqueSocket accepted(static_cast<GenSocket>(
                accept(static_cast<SOCKET>(socket), reinterpret_cast<sockaddr*>(&peer), &peerLength)));
            if (m_bClosing.load())
                break;
            if (!accepted) {
                GenSocket mine = socket;
                if (m_socket.compare_exchange_strong(mine, GENSOCK_INVALID))
                    closesocket(static_cast<SOCKET>(socket));
                break;
            }
            // OnAccept and the server callback own the connection from here.
            const GenSocket connection = accepted.Release();
            GenSockSetBufferSizes(connection, ACCEPTED_BUFFER_SIZE, SOCKET_DIR_BOTH);
            OnAccept(connection, &peer);
            if (ServerCallback callback = m_pServerCallback.load())
                callback(this, connection, &peer, nullptr, 0);
            Sleep(1);
        }
    }
    // Leaving because of the closing flag leaves the socket to the destructor.
    if (!m_bClosing.load())
        WaitSignal(WORKER_SERVER, RETRY_PAUSE_MS);
}

void CMySocket::ClientRound()
{
    Buffer buffer(MAX_BUFFER_SIZE);
    while (!m_bClosing.load() && IsThreadRunning(WORKER_CLIENT)) {
        Sleep(1);
        GenSocket socket = m_socket.load();
        if (socket == GENSOCK_INVALID) {
            // An adopted socket (no port) has nothing to reconnect to.
            CUniqueSocket created;
            if (m_nPort != 0) {
                created.Reset(m_bUdp ? GenSockCreate(SOCKET_KIND_UDP) : GenSockConnect(m_nPort, m_szHost));
                if (created && m_bUdp && m_bBroadcast)
                    SetOption(created.Get(), SO_BROADCAST, 1);
            }
            if (!created) {
                WaitSignal(WORKER_CLIENT, CLIENT_RETRY_PAUSE_MS);
                continue;
            }
            GenSocket none = GENSOCK_INVALID;
            if (!m_socket.compare_exchange_strong(none, created.Get()))
                break; // another socket came first; this one closes here
            // From here m_socket holds it (see ClearSocket).
            socket = created.Release();
            // A Close that ran before the store found nothing to close.
            if (m_bClosing.load()) {
                ClearSocket();
                break;
            }
        }
        if (m_nReceivePaused.load()) {
            // Until SetReceivePaused(0), a stop or the close sets the slot.
            WaitSignal(WORKER_CLIENT, INFINITE);
            continue;
        }

        sockaddr_in from{};
        int got = ForceRecv(socket, buffer.data(), MAX_BUFFER_SIZE, CLIENT_RECV_TIMEOUT_MS, m_bUdp, &from);
        int error = WSAGetLastError();
        if (m_bClosing.load())
            break;
        if (got > 0) {
            if (m_bUdp) {
                std::lock_guard<std::mutex> lock(m_lock);
                m_lastPeer = from;
            }
            OnReceive(socket, &from, buffer.data(), got);
            if (ReceiveCallback callback = m_pReceiveCallback.load())
                callback(buffer.data(), got, socket, this);
            continue;
        }
        // A failed socket, or a connection the peer closed (nothing and no error), is dropped and
        // the next round builds a new one. A datagram socket survives empty datagrams and the
        // reset reports of earlier sends.
        const bool failed =
            m_bUdp ? error != 0 && error != WSAETIMEDOUT && error != WSAECONNRESET : error != WSAETIMEDOUT;
        if (failed) {
            GenSocket mine = socket;
            if (m_socket.compare_exchange_strong(mine, GENSOCK_INVALID))
                closesocket(static_cast<SOCKET>(socket));
            WaitSignal(WORKER_CLIENT, CLIENT_RETRY_PAUSE_MS);
        }
    }
}
