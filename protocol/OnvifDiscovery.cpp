#include "protocol/OnvifDiscovery.h"

#include "protocol/OnvifMessage.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cstring>

namespace {

// The receive wait ends this often even without a wake-up: a lost wake-up delays Stop by at most
// this much instead of hanging it.
constexpr int WAIT_BACKSTOP_MS = 2000;
// Datagrams taken off the sockets between two looks at the clock.
constexpr std::size_t BATCH_DATAGRAMS = 256;
// A batch goes to the sink this long after its first announcement, or once it is this large.
constexpr ULONGLONG BATCH_MS = 50;
constexpr std::size_t BATCH_ANNOUNCEMENTS = 1000;
// Linux (so Wine) charges a 1.3 KB datagram about 2.3 KB of this.
constexpr int RECEIVE_BUFFER = 4 << 20;

SOCKET AsSocket(GenSocket socket)
{
    return static_cast<SOCKET>(socket);
}

void SetNonBlocking(GenSocket socket)
{
    u_long nonBlocking = 1;
    ioctlsocket(AsSocket(socket), FIONBIO, &nonBlocking);
}

GenSocket OpenUdp()
{
    return static_cast<GenSocket>(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
}

bool Bind(GenSocket socket, in_addr address, unsigned short port)
{
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr = address;
    local.sin_port = htons(port);
    return bind(AsSocket(socket), reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
}

in_addr GroupAddress()
{
    in_addr group{};
    inet_pton(AF_INET, WSD_MULTICAST_ADDRESS, &group);
    return group;
}

void SendSelf(GenSocket socket)
{
    sockaddr_in self{};
    int length = sizeof self;
    if (getsockname(AsSocket(socket), reinterpret_cast<sockaddr*>(&self), &length) == 0)
        sendto(AsSocket(socket), "wake", 4, 0, reinterpret_cast<const sockaddr*>(&self), sizeof self);
}

} // namespace

COnvifDiscovery::COnvifDiscovery(COnvifSink& sink) : m_sink(sink) {}

COnvifDiscovery::~COnvifDiscovery()
{
    Stop();
}

bool COnvifDiscovery::Start()
{
    if (m_bRunning.load())
        return true;
    GenSockStartup();
    in_addr loopback{};
    loopback.s_addr = htonl(INADDR_LOOPBACK);
    CUniqueSocket wake(OpenUdp());
    if (!wake || !Bind(wake.Get(), loopback, 0))
        return false;
    SetNonBlocking(wake.Get());

    // Shared with every other WS-Discovery client of the computer (address reuse), as on Windows
    // the system's own discovery service holds the port too.
    CUniqueSocket listen(OpenUdp());
    if (listen) {
        const BOOL reuse = TRUE;
        setsockopt(AsSocket(listen.Get()), SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse),
                   sizeof reuse);
        in_addr any{};
        any.s_addr = htonl(INADDR_ANY);
        if (Bind(listen.Get(), any, WSD_PORT)) {
            SetNonBlocking(listen.Get());
            GenSockSetBufferSizes(listen.Get(), RECEIVE_BUFFER, SOCKET_DIR_RECV);
        } else
            listen.Reset();
    }
    m_wake = std::move(wake);
    m_listen = std::move(listen);
    {
        std::lock_guard<std::mutex> lock(m_lock);
        std::vector<in_addr> addresses;
        GenSockLocalAddresses(addresses);
        for (const in_addr& address : addresses)
            if (GenSockIsSendingAddress(address))
                JoinGroup(address);
    }
    m_bStopping.store(false);
    try {
        m_thread = std::thread([this] { Receive(); });
    } catch (...) { // no thread to be had: a result, not an exception through the caller
        m_listen.Reset();
        m_wake.Reset();
        return false;
    }
    m_bRunning.store(true);
    return true;
}

void COnvifDiscovery::Probe()
{
    if (!m_bRunning.load() || m_bStopping.load())
        return;
    std::vector<in_addr> addresses;
    GenSockLocalAddresses(addresses);
    sockaddr_in group{};
    group.sin_family = AF_INET;
    group.sin_addr = GroupAddress();
    group.sin_port = htons(WSD_PORT);
    bool bNewSocket = false;
    for (const in_addr& address : addresses) {
        if (!GenSockIsSendingAddress(address))
            continue;
        GenSocket socket = GENSOCK_INVALID;
        const std::string messageId = MakeOnvifMessageId();
        {
            std::lock_guard<std::mutex> lock(m_lock);
            const std::size_t before = m_probeSockets.size();
            socket = ProbeSocketFor(address);
            bNewSocket = bNewSocket || m_probeSockets.size() != before;
            JoinGroup(address);
            // Recorded before it is sent: an answer may come back at once.
            if (socket != GENSOCK_INVALID)
                m_sent.push_back({messageId, GetTickCount64()});
        }
        if (socket == GENSOCK_INVALID)
            continue;
        const std::string probe = BuildOnvifProbe(messageId);
        sendto(AsSocket(socket), probe.data(), static_cast<int>(probe.size()), 0,
               reinterpret_cast<const sockaddr*>(&group), sizeof group);
    }
    if (bNewSocket && m_wake) // the receive wait takes the new socket in
        SendSelf(m_wake.Get());
}

void COnvifDiscovery::Stop()
{
    if (!m_thread.joinable())
        return;
    m_bStopping.store(true);
    if (m_wake)
        SendSelf(m_wake.Get());
    if (m_thread.get_id() == std::this_thread::get_id())
        m_thread.detach(); // the sink stopped it from its own call: the thread ends on return
    else
        m_thread.join();
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_probeSockets.clear();
        m_joined.clear();
        m_sent.clear();
    }
    m_listen.Reset();
    m_wake.Reset();
    m_bRunning.store(false);
}

GenSocket COnvifDiscovery::ProbeSocketFor(const in_addr& address)
{
    for (const ProbeSocket& probe : m_probeSockets)
        if (probe.address.s_addr == address.s_addr)
            return probe.socket.Get();
    // The receive wait's set holds FD_SETSIZE sockets, the wake-up and the listening one among them.
    if (m_probeSockets.size() + 2 >= FD_SETSIZE)
        return GENSOCK_INVALID;
    CUniqueSocket socket(OpenUdp());
    if (!socket || !Bind(socket.Get(), address, 0))
        return GENSOCK_INVALID;
    SetNonBlocking(socket.Get());
    // A thousand answers arrive within milliseconds, faster than one receive each under Wine.
    GenSockSetBufferSizes(socket.Get(), RECEIVE_BUFFER, SOCKET_DIR_RECV);
    // Out of this address's interface, to the next hop only, and not back to this computer.
    const DWORD ttl = PROBE_TTL, loop = 0;
    setsockopt(AsSocket(socket.Get()), IPPROTO_IP, IP_MULTICAST_IF, reinterpret_cast<const char*>(&address),
               sizeof address);
    setsockopt(AsSocket(socket.Get()), IPPROTO_IP, IP_MULTICAST_TTL, reinterpret_cast<const char*>(&ttl),
               sizeof ttl);
    setsockopt(AsSocket(socket.Get()), IPPROTO_IP, IP_MULTICAST_LOOP, reinterpret_cast<const char*>(&loop),
               sizeof loop);
    m_probeSockets.push_back({address, std::move(socket)});
    return m_probeSockets.back().socket.Get();
}

void COnvifDiscovery::JoinGroup(const in_addr& address)
{
    if (!m_listen)
        return;
    for (const in_addr& joined : m_joined)
        if (joined.s_addr == address.s_addr)
            return;
    ip_mreq join{};
    join.imr_multiaddr = GroupAddress();
    join.imr_interface = address;
    if (setsockopt(AsSocket(m_listen.Get()), IPPROTO_IP, IP_ADD_MEMBERSHIP,
                   reinterpret_cast<const char*>(&join), sizeof join) == 0)
        m_joined.push_back(address);
}

bool COnvifDiscovery::IsOurProbe(const std::string& messageId)
{
    std::lock_guard<std::mutex> lock(m_lock);
    const ULONGLONG now = GetTickCount64();
    while (!m_sent.empty() && now - m_sent.front().sentAt > PROBE_LISTEN_MS)
        m_sent.pop_front();
    return std::any_of(m_sent.begin(), m_sent.end(),
                       [&](const SentProbe& sent) { return sent.messageId == messageId; });
}

void COnvifDiscovery::Receive()
{
    std::vector<GenSocket> sockets;
    std::vector<OnvifAnnouncement> batch;
    ULONGLONG batchSince = 0;
    // One byte over the limit: a datagram that fills it is too long and is dropped unread.
    std::vector<char> buffer(WSD_MESSAGE_MAX + 1);
    while (!m_bStopping.load()) {
        sockets.clear();
        if (m_listen)
            sockets.push_back(m_listen.Get());
        {
            std::lock_guard<std::mutex> lock(m_lock);
            for (const ProbeSocket& probe : m_probeSockets)
                sockets.push_back(probe.socket.Get());
        }
        fd_set set;
        FD_ZERO(&set);
        FD_SET(AsSocket(m_wake.Get()), &set);
        for (const GenSocket socket : sockets)
            FD_SET(AsSocket(socket), &set);
        int waitMs = WAIT_BACKSTOP_MS;
        if (!batch.empty())
            waitMs =
                static_cast<int>(BATCH_MS - std::min<ULONGLONG>(BATCH_MS, GetTickCount64() - batchSince));
        timeval wait{waitMs / 1000, (waitMs % 1000) * 1000};
        if (select(0, &set, nullptr, nullptr, &wait) < 0) {
            Sleep(50); // a socket of the set went away under it; the next round rebuilds it
            continue;
        }
        if (FD_ISSET(AsSocket(m_wake.Get()), &set)) {
            char drain[16];
            while (recv(AsSocket(m_wake.Get()), drain, sizeof drain, 0) > 0) {
            }
        }
        const bool bWasEmpty = batch.empty();
        if (!TakeQueued(sockets, buffer, batch))
            break;
        if (bWasEmpty && !batch.empty())
            batchSince = GetTickCount64();
        // Devices answer a Probe over half a second (each after a random delay): what arrives
        // within BATCH_MS goes to the sink in one call.
        if (!batch.empty() &&
            (GetTickCount64() - batchSince >= BATCH_MS || batch.size() >= BATCH_ANNOUNCEMENTS)) {
            m_sink.OnOnvifAnnouncements(std::move(batch));
            batch.clear();
        }
    }
}

bool COnvifDiscovery::TakeQueued(const std::vector<GenSocket>& sockets, std::vector<char>& buffer,
                                 std::vector<OnvifAnnouncement>& batch)
{
    std::size_t taken = 0;
    bool bAny = true;
    while (bAny && taken < BATCH_DATAGRAMS && !m_bStopping.load()) {
        bAny = false;
        for (const GenSocket socket : sockets) {
            sockaddr_in from{};
            int fromLength = sizeof from;
            const int length = recvfrom(AsSocket(socket), buffer.data(), static_cast<int>(buffer.size()), 0,
                                        reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (length < 0 && WSAGetLastError() != WSAEMSGSIZE)
                continue; // nothing queued (or the socket failed): the next socket
            bAny = true;
            ++taken;
            OnvifMessage message;
            if (length < 0 || static_cast<std::size_t>(length) > WSD_MESSAGE_MAX ||
                !ParseOnvifMessage(buffer.data(), static_cast<std::size_t>(length), message))
                continue;
            if (message.kind == OnvifNews::Match && !IsOurProbe(message.relatesTo))
                continue;
            for (OnvifAnnouncement& announcement : message.announcements) {
                announcement.senderIp = ntohl(from.sin_addr.s_addr);
                batch.push_back(std::move(announcement));
            }
        }
    }
    return !m_bStopping.load();
}
