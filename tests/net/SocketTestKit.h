#pragma once
// Small helpers shared by the socket tests: owned sockets, local addresses and a datagram
// collector. Everything here talks to 127.0.0.1 or to the lab's own interfaces.

#include "net/SocketHelpers.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <mswsock.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

// Closes its socket when it goes; move-only.
class CTestSocket {
  public:
    CTestSocket() = default;
    explicit CTestSocket(GenSocket socket) : m_socket(socket) {}
    CTestSocket(CTestSocket&& other) noexcept : m_socket(std::exchange(other.m_socket, GENSOCK_INVALID)) {}
    CTestSocket& operator=(CTestSocket&& other) noexcept
    {
        std::swap(m_socket, other.m_socket);
        return *this;
    }
    CTestSocket(const CTestSocket&) = delete;
    CTestSocket& operator=(const CTestSocket&) = delete;
    ~CTestSocket()
    {
        if (m_socket != GENSOCK_INVALID)
            closesocket(static_cast<SOCKET>(m_socket));
    }
    GenSocket Get() const { return m_socket; }
    SOCKET Raw() const { return static_cast<SOCKET>(m_socket); }
    GenSocket Release() { return std::exchange(m_socket, GENSOCK_INVALID); }

  private:
    GenSocket m_socket = GENSOCK_INVALID;
};

inline sockaddr_in MakeAddress(const char* dotted, unsigned short port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = inet_addr(dotted);
    return address;
}

inline std::string AddressText(const sockaddr_in& address)
{
    return std::string(inet_ntoa(address.sin_addr)) + ":" + std::to_string(ntohs(address.sin_port));
}

inline bool IsAllZero(const sockaddr_in& address)
{
    sockaddr_in zero{};
    return std::memcmp(&address, &zero, sizeof zero) == 0;
}

inline int IntOption(GenSocket socket, int option)
{
    int value = -1;
    int length = sizeof value;
    getsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, option, reinterpret_cast<char*>(&value), &length);
    return value;
}

inline unsigned short LocalPort(GenSocket socket)
{
    sockaddr_in address{};
    int length = sizeof address;
    getsockname(static_cast<SOCKET>(socket), reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

// A UDP socket bound to dotted:port with address reuse; port 0 picks a free one.
inline CTestSocket BoundUdp(const char* dotted, unsigned short port)
{
    CTestSocket socket(static_cast<GenSocket>(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP)));
    BOOL on = TRUE;
    setsockopt(socket.Raw(), SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on);
    setsockopt(socket.Raw(), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on);
    sockaddr_in local = MakeAddress(dotted, port);
    if (bind(socket.Raw(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
        return CTestSocket();
    return socket;
}

// A TCP listener on 127.0.0.1 at a free port.
inline CTestSocket LoopbackListener()
{
    CTestSocket socket(static_cast<GenSocket>(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)));
    sockaddr_in local = MakeAddress("127.0.0.1", 0);
    if (bind(socket.Raw(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        listen(socket.Raw(), 5) != 0)
        return CTestSocket();
    return socket;
}

struct ReceivedDatagram {
    std::string source; // "a.b.c.d:port"
    std::string bytes;
    std::string destination; // "a.b.c.d", when asked for with CollectDatagramsWithDestination
};

// Every datagram that reaches socket until nothing more arrives within quietMs.
inline std::vector<ReceivedDatagram> CollectDatagrams(GenSocket socket, int quietMs)
{
    std::vector<ReceivedDatagram> out;
    DWORD timeout = static_cast<DWORD>(quietMs);
    setsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
               sizeof timeout);
    for (;;) {
        char buffer[2048];
        sockaddr_in from{};
        int fromLength = sizeof from;
        int n = recvfrom(static_cast<SOCKET>(socket), buffer, sizeof buffer, 0,
                         reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n < 0)
            return out;
        out.push_back({AddressText(from), std::string(buffer, n)});
    }
}

// Like CollectDatagrams, and tells each datagram's destination address (255.255.255.255 for
// a limited broadcast) through IP_PKTINFO.
inline std::vector<ReceivedDatagram> CollectDatagramsWithDestination(GenSocket socket, int quietMs)
{
    std::vector<ReceivedDatagram> out;
    const SOCKET raw = static_cast<SOCKET>(socket);
    DWORD on = 1;
    setsockopt(raw, IPPROTO_IP, IP_PKTINFO, reinterpret_cast<const char*>(&on), sizeof on);
    DWORD timeout = static_cast<DWORD>(quietMs);
    setsockopt(raw, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    LPFN_WSARECVMSG recvMsg = nullptr;
    GUID id = WSAID_WSARECVMSG;
    DWORD bytes = 0;
    if (WSAIoctl(raw, SIO_GET_EXTENSION_FUNCTION_POINTER, &id, sizeof id, &recvMsg, sizeof recvMsg, &bytes,
                 nullptr, nullptr) != 0)
        return out;
    for (;;) {
        char buffer[2048];
        char control[256];
        sockaddr_in from{};
        WSABUF data{sizeof buffer, buffer};
        WSAMSG message{};
        message.name = reinterpret_cast<sockaddr*>(&from);
        message.namelen = sizeof from;
        message.lpBuffers = &data;
        message.dwBufferCount = 1;
        message.Control = WSABUF{sizeof control, control};
        DWORD received = 0;
        if (recvMsg(raw, &message, &received, nullptr, nullptr) != 0)
            return out;
        ReceivedDatagram datagram{AddressText(from), std::string(buffer, received), ""};
        for (WSACMSGHDR* header = WSA_CMSG_FIRSTHDR(&message); header;
             header = WSA_CMSG_NXTHDR(&message, header)) {
            if (header->cmsg_level == IPPROTO_IP && header->cmsg_type == IP_PKTINFO) {
                auto* info = reinterpret_cast<IN_PKTINFO*>(WSA_CMSG_DATA(header));
                datagram.destination = inet_ntoa(info->ipi_addr);
            }
        }
        out.push_back(datagram);
    }
}

inline long long MillisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
        .count();
}

// A host name that fails at once in the resolver (a label longer than 63 characters), so that
// no name server is ever asked.
inline const char* UnresolvableHost()
{
    return "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx.invalid";
}

// The open handles of this process. Wine's GetProcessHandleCount answers 0, so the handle values
// are probed instead: both systems hand out multiples of 4 and reuse the lowest free ones, so a
// process with a few hundred handles has them all well below the limit probed.
inline DWORD ProcessHandles()
{
    constexpr uintptr_t HIGHEST = 0x10000;
    DWORD count = 0;
    for (uintptr_t value = 4; value <= HIGHEST; value += 4) {
        DWORD flags = 0;
        if (::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags))
            ++count;
    }
    return count;
}
