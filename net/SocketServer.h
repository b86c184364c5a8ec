#pragma once
// Socket servers on threads of their own. A launcher starts GenSockServerThread on a new
// context, registers the context in GenSockServerTable and waits (at most 10 s) until the
// thread has bound its socket; GenSockClose closes that socket and retires the context.

#include "net/SocketHelpers.h"
#include "base/UniqueHandle.h"

#include <windows.h>

#include <atomic>

struct GenSockServerContext;

// Called for every accepted connection (TCP: the accepted socket, which the handler then owns,
// and no buffer) or every receive that brought data (UDP: socket 0, the sender, the buffer and
// the number of bytes received, followed by a terminating zero). Its result is ignored.
using GenSockHandler = int (*)(GenSockServerContext* context, GenSocket socket, const sockaddr_in* peer,
                               char* buffer, int size);

constexpr int GENSOCK_SERVER_UDP = 0;
constexpr int GENSOCK_SERVER_TCP = 1;
constexpr int GENSOCK_SERVER_TABLE_SIZE = 256;

// One server. The launcher fills it, the thread publishes `socket`, GenSockClose retires it.
struct GenSockServerContext {
    int kind = GENSOCK_SERVER_UDP;
    std::atomic<int> stop{0};
    int broadcast = 0;
    unsigned short port = 0;
    int bufferSize = 0;
    // -1 until the thread has bound its socket. A plain handle, not an owner: the thread closes
    // it when it fails on its own, GenSockClose closes it to wake the thread from a blocked
    // receive or accept, and whichever side takes it out of here first is the one that closes it.
    std::atomic<GenSocket> socket{GENSOCK_INVALID};
    CUniqueKernelHandle thread;
    // Set by the thread whenever it has published a socket. It lives as long as the context,
    // because a thread that binds late may still set it after its launcher stopped waiting.
    CUniqueKernelHandle ready;
    GenSockHandler handler = nullptr;

    // Cuts short the thread's pause between rounds once `stop` is set.
    CUniqueKernelHandle stopEvent;
    // One reference for the owner, one for the thread: the last one to let go frees the context.
    std::atomic<int> references{0};
    // The sockets this server closed itself on a failure, latest last (guarded by the server
    // table's lock): a caller may still hold one of them, and closing that value again would
    // close whatever socket reuses it while this server goes on.
    static constexpr int RETIRED_SOCKETS = 8;
    GenSocket retired[RETIRED_SOCKETS] = {};
    int retiredCount = 0;
};

// Null only when the context cannot be allocated. The wait for the bind also ends when `abort`
// (an event, or null) is set: a caller that is closing need not sit out the 10 s.
GenSockServerContext* GenSockOpenTcpServer(unsigned short port, GenSockHandler handler);
GenSockServerContext* GenSockOpenUdpServer(unsigned short port, int broadcast, GenSockHandler handler,
                                           int bufferSize, HANDLE abort = nullptr);

// The thread entry of every server; its parameter is the context.
DWORD WINAPI GenSockServerThread(LPVOID context);

// 1 for -1 or when the context owning the socket was retired; 0 (socket closed all the same)
// when no registered context owns it. Returns once the server's thread has left, so neither
// the context nor the handler is in use afterwards (unless called from the server's own thread).
// A socket that a registered server already closed and replaced retires that server and is not
// closed again: only what a server still holds is closed.
int GenSockClose(GenSocket socket);

// Retires a server by its context, bound or not: stops its thread (waiting for it, as
// GenSockClose does), closes the socket it holds, even one bound while this runs, and frees the
// context. 1 when the context was registered.
int GenSockCloseServer(GenSockServerContext* context);

// Wakes a server blocked on a local port: a 128-byte payload starting with "NotifySocketToEnd",
// over a TCP connection to 127.0.0.1 (tcp 1) or as one UDP datagram from 127.0.0.1 to it (tcp 0).
void NotifySocketToEnd(unsigned short port, int tcp);

// The slot of context in GenSockServerTable, or -1 when it is not registered.
int GenSockServerTableSlot(const GenSockServerContext* context);
