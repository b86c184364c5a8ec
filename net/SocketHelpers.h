#pragma once
// Thin IPv4 helpers over Windows Sockets: start-up, socket creation with fixed defaults, one
// datagram out of every local interface, and whole-buffer send/receive with a time-out.
// Nothing throws; failures come back as 0, -1 or the byte count moved so far.

#include "base/UniqueHandle.h"

#include <winsock2.h>

#include <vector>

#include <cstdint>

// A socket handle as a signed value, so that -1 is the invalid socket on every width
// (SOCKET itself is an unsigned pointer-sized integer on Win64).
using GenSocket = std::intptr_t;

constexpr GenSocket GENSOCK_INVALID = -1;

// Sockets for CUniqueHandle: closed with closesocket, GENSOCK_INVALID when there is none.
struct CSocketHandlePolicy {
    using Handle = GenSocket;
    static Handle Invalid() noexcept { return GENSOCK_INVALID; }
    static void Close(Handle socket) noexcept { ::closesocket(static_cast<SOCKET>(socket)); }
};
using CUniqueSocket = CUniqueHandle<CSocketHandlePolicy>;

constexpr int SOCKET_KIND_TCP = 1;
constexpr int SOCKET_KIND_UDP = 2;

// Direction masks of GenSockSetBufferSizes and GenSockSetTimeouts.
constexpr int SOCKET_DIR_SEND = 1;
constexpr int SOCKET_DIR_RECV = 2;
constexpr int SOCKET_DIR_BOTH = 3;

// Source port of every datagram GenSockBroadcastSend sends.
constexpr unsigned short GENSOCK_BROADCAST_SOURCE_PORT = 50504;

// Starts Windows Sockets 2.2 once per process (safe to call from several threads). Always 1.
int GenSockStartup();
// Releases the socket library and clears the started flag; the library's own result.
int GenSockCleanup();

// 1 when applied (option failures are ignored); 0 for an invalid socket or a size/time-out < 1.
int GenSockSetBufferSizes(GenSocket socket, int size, int mask);
int GenSockSetTimeouts(GenSocket socket, int milliseconds, int mask);

// A TCP (SOCKET_KIND_TCP) or UDP (SOCKET_KIND_UDP) socket with 65535-byte buffers and 5000 ms
// time-outs, or -1.
GenSocket GenSockCreate(int kind);

// Resolves a host name or dotted address to its first IPv4 address. Every out-argument may be
// null; dotted needs room for 16 characters. The socket address holds only the address.
int GenSockResolveHost(const char* host, char* dotted, sockaddr_in* address, unsigned char* bytes);

// A TCP connection to host:port; a null or unresolvable host means 127.0.0.1. -1 on failure.
GenSocket GenSockConnect(unsigned short port, const char* host);

// Sends one datagram from port 50504 of every searched local address (GenSockIsSendingAddress): a
// limited broadcast, or a unicast to target when target resolves. length 0 sends the text
// length of data. Returns result, or -1 when the local host name does not resolve.
int GenSockBroadcastSend(unsigned short port, const void* data, int length, int result, const char* target);

// The computer's IPv4 addresses as the resolver gives them for its host name (kept for a second
// between look-ups): 1, 0 when the host name is unknown, -1 when it does not resolve.
// The look-up runs without the cache's lock held, so a caller never waits for another thread's
// look-up.
int GenSockLocalAddresses(std::vector<in_addr>& addresses);
// The addresses of the last look-up, however old, without looking anything up (for the window
// thread, which must not wait for the resolver): 1, or 0 when there has been none yet.
int GenSockCachedLocalAddresses(std::vector<in_addr>& addresses);
// Whether discovery searches from this local address (net/SearchedAddresses.h): by default every
// address but one ending in .1; the operator may choose otherwise.
bool GenSockIsSendingAddress(const in_addr& address);
// A UDP socket bound to local:50504 (address reuse on; broadcast permission when asked) as
// GenSockBroadcastSend sends from, or -1.
GenSocket GenSockOpenBroadcastSource(const in_addr& local, int broadcast);

// 1 when the socket becomes readable (forRead 1) or writable (forRead 0) within milliseconds.
int GenSockWaitReady(GenSocket socket, int milliseconds, int forRead);

// Accepts one connection that arrives within milliseconds; -1 when none did.
GenSocket GenSockAccept(GenSocket listener, int milliseconds, sockaddr_in* peer);

// Sends the whole buffer (length 0 = text length), to destination when toAddress is 1.
// A time-out below 1 leaves the socket's send time-out as it was. Returns the bytes sent.
int ForceSend(GenSocket socket, const void* data, int length, int milliseconds, int toAddress,
              const sockaddr_in* destination);

// Receives until length bytes are gathered (over several datagrams on a UDP socket), an error
// or a time-out. With withAddress 1 the sender of the last receive call goes to sender (zeros
// when that call failed). Returns the bytes received, never -1.
int ForceRecv(GenSocket socket, void* buffer, int length, int milliseconds, int withAddress,
              sockaddr_in* sender);
