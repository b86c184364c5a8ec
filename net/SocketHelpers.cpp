#include "net/SocketHelpers.h"

#include "net/GenSockTrace.h"
#include "net/SearchedAddresses.h"

#include <ws2tcpip.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

std::atomic<int> g_started{0};
std::mutex g_startLock;

constexpr int DEFAULT_BUFFER_SIZE = 65535;
constexpr int BROADCAST_BUFFER_SIZE = 65536;
constexpr int DEFAULT_TIMEOUT_MS = 5000;
constexpr int SEND_IDLE_LIMIT = 2;
constexpr int RECV_IDLE_LIMIT = 5;

SOCKET AsSocket(GenSocket socket)
{
    return static_cast<SOCKET>(socket);
}

GenSocket FromSocket(SOCKET socket)
{
    return socket == INVALID_SOCKET ? GENSOCK_INVALID : static_cast<GenSocket>(socket);
}

// The first IPv4 address of a host. The resolver's answer lives in per-thread storage that the
// next lookup on this thread overwrites, so callers take what they need from it at once.
bool ResolveFirst(const char* host, in_addr* address)
{
    hostent* entry = gethostbyname(host);
    if (!entry || entry->h_addrtype != AF_INET || entry->h_length != 4 || !entry->h_addr_list[0])
        return false;
    std::memcpy(address, entry->h_addr_list[0], 4);
    return true;
}

int SizeOfData(const void* data, int length)
{
    if (length > 0)
        return length;
    if (length < 0)
        return 0;
    return static_cast<int>(std::strlen(static_cast<const char*>(data)));
}

} // namespace

int GenSockStartup()
{
    if (g_started.load(std::memory_order_acquire))
        return 1;
    std::lock_guard<std::mutex> lock(g_startLock);
    if (!g_started.load(std::memory_order_relaxed)) {
        WSADATA data;
        // A failed start-up shows itself in the first socket call; nothing to report here.
        WSAStartup(MAKEWORD(2, 2), &data);
        g_started.store(1, std::memory_order_release);
    }
    return 1;
}

int GenSockCleanup()
{
    std::lock_guard<std::mutex> lock(g_startLock);
    int result = WSACleanup();
    g_started.store(0, std::memory_order_release);
    return result;
}

int GenSockSetBufferSizes(GenSocket socket, int size, int mask)
{
    if (socket == GENSOCK_INVALID || size <= 0)
        return 0;
    const char* value = reinterpret_cast<const char*>(&size);
    if (mask & SOCKET_DIR_SEND)
        setsockopt(AsSocket(socket), SOL_SOCKET, SO_SNDBUF, value, sizeof size);
    if (mask & SOCKET_DIR_RECV)
        setsockopt(AsSocket(socket), SOL_SOCKET, SO_RCVBUF, value, sizeof size);
    return 1;
}

int GenSockSetTimeouts(GenSocket socket, int milliseconds, int mask)
{
    if (socket == GENSOCK_INVALID || milliseconds <= 0)
        return 0;
    DWORD timeout = static_cast<DWORD>(milliseconds);
    const char* value = reinterpret_cast<const char*>(&timeout);
    if (mask & SOCKET_DIR_SEND)
        setsockopt(AsSocket(socket), SOL_SOCKET, SO_SNDTIMEO, value, sizeof timeout);
    if (mask & SOCKET_DIR_RECV)
        setsockopt(AsSocket(socket), SOL_SOCKET, SO_RCVTIMEO, value, sizeof timeout);
    return 1;
}

GenSocket GenSockCreate(int kind)
{
    GenSockStartup();
    SOCKET socket = INVALID_SOCKET;
    if (kind == SOCKET_KIND_TCP)
        socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    else if (kind == SOCKET_KIND_UDP)
        socket = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    GenSocket result = FromSocket(socket);
    if (result != GENSOCK_INVALID) {
        GenSockSetBufferSizes(result, DEFAULT_BUFFER_SIZE, SOCKET_DIR_BOTH);
        GenSockSetTimeouts(result, DEFAULT_TIMEOUT_MS, SOCKET_DIR_BOTH);
    }
    return result;
}

int GenSockResolveHost(const char* host, char* dotted, sockaddr_in* address, unsigned char* bytes)
{
    if (!host)
        return 0;
    GenSockStartup();
    in_addr first;
    if (!ResolveFirst(host, &first))
        return 0;
    if (dotted)
        std::strcpy(dotted, inet_ntoa(first));
    if (address) {
        std::memset(address, 0, sizeof *address);
        address->sin_addr = first;
    }
    if (bytes)
        std::memcpy(bytes, &first, 4);
    return 1;
}

GenSocket GenSockConnect(unsigned short port, const char* host)
{
    GenSockStartup();
    CUniqueSocket socket(GenSockCreate(SOCKET_KIND_TCP));
    if (!socket)
        return GENSOCK_INVALID;

    const char* text = host ? host : "127.0.0.1";
    char dotted[16] = "127.0.0.1";
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    sockaddr_in resolved{};
    if (GenSockResolveHost(text, dotted, &resolved, nullptr))
        peer.sin_addr = resolved.sin_addr;
    else
        peer.sin_addr.s_addr = inet_addr("127.0.0.1");

    if (connect(AsSocket(socket.Get()), reinterpret_cast<const sockaddr*>(&peer), sizeof peer) ==
        SOCKET_ERROR) {
        GENSOCK_TRACE("connect to %s(%s):%d ERROR: %d\n", text, dotted, port, WSAGetLastError());
        return GENSOCK_INVALID;
    }
    return socket.Release();
}

namespace {

// The resolver's answer for the host name costs more than a millisecond under some systems, and a
// burst of acknowledgements asks for it once per datagram; it is kept for a moment.
constexpr DWORD LOCAL_ADDRESSES_FRESH_MS = 1000;
std::mutex g_localLock;
std::vector<in_addr> g_localAddresses;
DWORD g_localTaken = 0;
bool g_localValid = false;

} // namespace

int GenSockLocalAddresses(std::vector<in_addr>& addresses)
{
    GenSockStartup();
    {
        std::lock_guard<std::mutex> lock(g_localLock);
        if (g_localValid && GetTickCount() - g_localTaken < LOCAL_ADDRESSES_FRESH_MS) {
            addresses = g_localAddresses;
            return 1;
        }
    }
    // Looked up without the lock: the resolver can take a while, and nobody waits for it here.
    char host[128] = {};
    if (gethostname(host, sizeof host) != 0)
        return 0;
    hostent* entry = gethostbyname(host);
    if (!entry || entry->h_addrtype != AF_INET || entry->h_length != 4)
        return -1;
    std::vector<in_addr> found;
    for (int i = 0; entry->h_addr_list[i]; ++i) {
        in_addr address;
        std::memcpy(&address, entry->h_addr_list[i], 4);
        found.push_back(address);
    }
    std::lock_guard<std::mutex> lock(g_localLock);
    g_localAddresses = found;
    g_localTaken = GetTickCount();
    g_localValid = true;
    addresses = std::move(found);
    return 1;
}

int GenSockCachedLocalAddresses(std::vector<in_addr>& addresses)
{
    std::lock_guard<std::mutex> lock(g_localLock);
    if (!g_localValid)
        return 0;
    addresses = g_localAddresses;
    return 1;
}

bool GenSockIsSendingAddress(const in_addr& address)
{
    return IsSearchedAddress(ntohl(address.s_addr));
}

GenSocket GenSockOpenBroadcastSource(const in_addr& local, int broadcast)
{
    SOCKET socket = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (socket == INVALID_SOCKET)
        return GENSOCK_INVALID;
    GenSockSetBufferSizes(FromSocket(socket), BROADCAST_BUFFER_SIZE, SOCKET_DIR_BOTH);
    BOOL on = TRUE;
    if (broadcast)
        setsockopt(socket, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on);
    // Several senders may hold the source port at once (a kept-open one among them).
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on);
    sockaddr_in source{};
    source.sin_family = AF_INET;
    source.sin_port = htons(GENSOCK_BROADCAST_SOURCE_PORT);
    source.sin_addr = local;
    // Binding pins the datagram to this interface; if the port is taken it still goes out.
    bind(socket, reinterpret_cast<const sockaddr*>(&source), sizeof source);
    return FromSocket(socket);
}

int GenSockBroadcastSend(unsigned short port, const void* data, int length, int result, const char* target)
{
    std::vector<in_addr> locals;
    const int found = GenSockLocalAddresses(locals);
    if (found <= 0)
        return found < 0 ? -1 : result;

    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(port);
    destination.sin_addr.s_addr = INADDR_BROADCAST;
    in_addr targetAddress;
    const bool unicast = target && ResolveFirst(target, &targetAddress);
    if (unicast)
        destination.sin_addr = targetAddress;

    if (!data)
        return result;
    const int size = SizeOfData(data, length);

    for (const in_addr& local : locals) {
        if (!GenSockIsSendingAddress(local))
            continue;
        CUniqueSocket socket(GenSockOpenBroadcastSource(local, !unicast));
        if (!socket)
            continue;
        sendto(AsSocket(socket.Get()), static_cast<const char*>(data), size, 0,
               reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
    }
    return result;
}

int GenSockWaitReady(GenSocket socket, int milliseconds, int forRead)
{
    if (milliseconds < 1 || socket == GENSOCK_INVALID)
        return 0;
    fd_set set;
    FD_ZERO(&set);
    FD_SET(AsSocket(socket), &set);
    timeval timeout;
    timeout.tv_sec = milliseconds / 1000;
    timeout.tv_usec = (milliseconds % 1000) * 1000;
    int ready = select(0, forRead ? &set : nullptr, forRead ? nullptr : &set, nullptr, &timeout);
    return ready > 0 && FD_ISSET(AsSocket(socket), &set) ? 1 : 0;
}

GenSocket GenSockAccept(GenSocket listener, int milliseconds, sockaddr_in* peer)
{
    if (!GenSockWaitReady(listener, milliseconds, 1))
        return GENSOCK_INVALID;
    sockaddr_in from{};
    int fromLength = sizeof from;
    GenSocket accepted =
        FromSocket(accept(AsSocket(listener), reinterpret_cast<sockaddr*>(&from), &fromLength));
    if (accepted == GENSOCK_INVALID)
        return GENSOCK_INVALID;
    GenSockSetBufferSizes(accepted, DEFAULT_BUFFER_SIZE, SOCKET_DIR_BOTH);
    if (peer)
        *peer = from;
    return accepted;
}

int ForceSend(GenSocket socket, const void* data, int length, int milliseconds, int toAddress,
              const sockaddr_in* destination)
{
    if (!data)
        return 0;
    const int total = SizeOfData(data, length);
    if (total <= 0 || (toAddress && !destination))
        return 0;
    GenSockSetTimeouts(socket, milliseconds, SOCKET_DIR_SEND);

    const char* bytes = static_cast<const char*>(data);
    int sent = 0;
    int idle = 0;
    for (;;) {
        Sleep(1);
        // A call that moves nothing without failing must not pick up an older error.
        WSASetLastError(0);
        int n = toAddress ? sendto(AsSocket(socket), bytes + sent, total - sent, 0,
                                   reinterpret_cast<const sockaddr*>(destination), sizeof *destination)
                          : send(AsSocket(socket), bytes + sent, total - sent, 0);
        if (n > 0) {
            sent += n;
            idle = 0;
            if (sent >= total)
                return sent;
            continue;
        }
        int error = WSAGetLastError();
        if (error != 0) {
            GENSOCK_TRACE("ForceSend ERROR: %d,  SOCKET = %d\n", error, static_cast<int>(socket));
            return sent;
        }
        if (++idle >= SEND_IDLE_LIMIT)
            return sent;
        Sleep(5);
    }
}

int ForceRecv(GenSocket socket, void* buffer, int length, int milliseconds, int withAddress,
              sockaddr_in* sender)
{
    if (length < 1 || !buffer)
        return 0;
    GenSockSetTimeouts(socket, milliseconds, SOCKET_DIR_RECV);

    char* bytes = static_cast<char*>(buffer);
    int got = 0;
    int idle = 0;
    for (;;) {
        Sleep(1);
        WSASetLastError(0);
        int n;
        if (withAddress) {
            sockaddr_in from{};
            int fromLength = sizeof from;
            n = recvfrom(AsSocket(socket), bytes + got, length - got, 0, reinterpret_cast<sockaddr*>(&from),
                         &fromLength);
            if (sender)
                *sender = from;
        } else {
            n = recv(AsSocket(socket), bytes + got, length - got, 0);
        }
        if (n > 0) {
            got += n;
            idle = 0;
            if (got < length)
                continue;
            return got;
        }
        int error = WSAGetLastError();
        if (error != 0) {
            GENSOCK_TRACE("ForceRecv ERROR: %d, Socket = %d\n", error, static_cast<int>(socket));
            return got;
        }
        if (++idle >= RECV_IDLE_LIMIT)
            return got;
        Sleep(5);
    }
}
