#include "net/SocketServer.h"

#include "net/GenSockTrace.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <new>

namespace {

// Every launched server that found a free slot. Launchers and closers on any thread use it.
GenSockServerContext* GenSockServerTable[GENSOCK_SERVER_TABLE_SIZE] = {};
std::mutex g_tableLock;

constexpr DWORD READY_WAIT_MS = 10000;
constexpr DWORD RETRY_PAUSE_MS = 5000;
constexpr int UDP_RECV_TIMEOUT_MS = 10000;
constexpr int ACCEPTED_BUFFER_SIZE = 65535;
constexpr int LISTEN_BACKLOG = 5;

void Register(GenSockServerContext* context)
{
    std::lock_guard<std::mutex> lock(g_tableLock);
    for (auto& slot : GenSockServerTable) {
        if (!slot) {
            slot = context;
            return;
        }
    }
}

bool HasRetired(const GenSockServerContext* context, GenSocket socket)
{
    for (int i = 0; i < context->retiredCount; ++i)
        if (context->retired[i] == socket)
            return true;
    return false;
}

// Takes the context that owns socket out of the table: the one that holds it now, else one that
// held it before it failed and was replaced (`stale` tells which).
GenSockServerContext* Unregister(GenSocket socket, bool& stale)
{
    std::lock_guard<std::mutex> lock(g_tableLock);
    stale = false;
    for (auto& slot : GenSockServerTable) {
        if (slot && slot->socket.load() == socket) {
            GenSockServerContext* context = slot;
            slot = nullptr;
            return context;
        }
    }
    for (auto& slot : GenSockServerTable) {
        if (slot && HasRetired(slot, socket)) {
            GenSockServerContext* context = slot;
            slot = nullptr;
            stale = true;
            return context;
        }
    }
    return nullptr;
}

bool UnregisterContext(GenSockServerContext* context)
{
    std::lock_guard<std::mutex> lock(g_tableLock);
    for (auto& slot : GenSockServerTable) {
        if (slot == context) {
            slot = nullptr;
            return true;
        }
    }
    return false;
}

void RememberRetired(GenSockServerContext* context, GenSocket socket)
{
    std::lock_guard<std::mutex> lock(g_tableLock);
    constexpr int last = GenSockServerContext::RETIRED_SOCKETS - 1;
    if (context->retiredCount > last) {
        std::copy(context->retired + 1, context->retired + last + 1, context->retired);
        context->retiredCount = last;
    }
    context->retired[context->retiredCount++] = socket;
}

void Release(GenSockServerContext* context)
{
    if (context->references.fetch_sub(1) != 1)
        return;
    delete context;
}

void SetOption(GenSocket socket, int option, int value)
{
    setsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, option, reinterpret_cast<const char*>(&value),
               sizeof value);
}

bool BindAnyAddress(GenSocket socket, unsigned short port)
{
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    return bind(static_cast<SOCKET>(socket), reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
}

// The socket is closed by exactly one side: the thread when the socket fails on its own, or
// GenSockClose once `stop` is set. Whoever takes it out of the context closes it.
void CloseIfStillOwned(GenSockServerContext* context, GenSocket socket)
{
    const GenSocket closed = socket;
    if (closed == GENSOCK_INVALID)
        return;
    if (context->socket.compare_exchange_strong(socket, GENSOCK_INVALID)) {
        // Remembered before the value is freed for reuse.
        RememberRetired(context, closed);
        closesocket(static_cast<SOCKET>(closed));
    }
}

void Publish(GenSockServerContext* context, GenSocket socket)
{
    context->socket.store(socket);
    // A close that came before the socket was visible found nothing to close.
    if (context->stop.load())
        CloseIfStillOwned(context, socket);
    SetEvent(context->ready.Get());
}

bool IsSocketFailure(int error)
{
    return error != 0 && error != WSAETIMEDOUT && error != WSAECONNRESET && error != WSAEMSGSIZE;
}

// One listening socket's life. True when the thread is to end.
bool RunTcpRound(GenSockServerContext* context)
{
    CUniqueSocket owned(GenSockCreate(SOCKET_KIND_TCP));
    if (!owned)
        return false;
    SetOption(owned.Get(), SO_REUSEADDR, 1);
    if (!BindAnyAddress(owned.Get(), context->port) ||
        listen(static_cast<SOCKET>(owned.Get()), LISTEN_BACKLOG) != 0) {
        GENSOCK_TRACE("GenSockServerThread::TCP Listen [Port:%d] Error %d\n", context->port,
                      WSAGetLastError());
        return false;
    }
    // From here the context holds it (see GenSockServerContext::socket).
    const GenSocket listener = owned.Release();
    Publish(context, listener);
    for (;;) {
        if (context->stop.load())
            return true;
        sockaddr_in peer{};
        int peerLength = sizeof peer;
        SOCKET accepted =
            accept(static_cast<SOCKET>(listener), reinterpret_cast<sockaddr*>(&peer), &peerLength);
        if (accepted == INVALID_SOCKET) {
            if (context->stop.load())
                return true;
            CloseIfStillOwned(context, listener);
            return false;
        }
        CUniqueSocket connection(static_cast<GenSocket>(accepted));
        GenSockSetBufferSizes(connection.Get(), ACCEPTED_BUFFER_SIZE, SOCKET_DIR_BOTH);
        // Without a handler nobody would ever own it: it closes here.
        if (context->handler)
            context->handler(context, connection.Release(), &peer, nullptr, 0);
        Sleep(1);
    }
}

// One bound datagram socket's life. True when the thread is to end.
bool RunUdpRound(GenSockServerContext* context, char* buffer)
{
    CUniqueSocket owned(GenSockCreate(SOCKET_KIND_UDP));
    if (!owned)
        return false;
    if (context->broadcast)
        SetOption(owned.Get(), SO_BROADCAST, 1);
    SetOption(owned.Get(), SO_REUSEADDR, 1);
    if (!BindAnyAddress(owned.Get(), context->port)) {
        GENSOCK_TRACE("GenSockServerThread::UDP Listen [Port:%d] Error %d\n", context->port,
                      WSAGetLastError());
        return false;
    }
    // From here the context holds it (see GenSockServerContext::socket).
    const GenSocket socket = owned.Release();
    Publish(context, socket);
    // Without a handler the caller receives on the socket itself.
    if (!context->handler)
        return true;
    for (;;) {
        Sleep(1);
        if (context->stop.load())
            return true;
        if (!buffer) {
            WaitForSingleObject(context->stopEvent.Get(), UDP_RECV_TIMEOUT_MS);
            continue;
        }
        sockaddr_in sender{};
        int got = ForceRecv(socket, buffer, context->bufferSize, UDP_RECV_TIMEOUT_MS, 1, &sender);
        int error = WSAGetLastError();
        if (got > 0) {
            // Only what arrived reaches the handler; a time-out with nothing received does not.
            buffer[got] = 0;
            context->handler(context, 0, &sender, buffer, got);
            continue;
        }
        if (context->stop.load())
            return true;
        if (IsSocketFailure(error)) {
            CloseIfStillOwned(context, socket);
            return false;
        }
    }
}

GenSockServerContext* Launch(int kind, unsigned short port, int broadcast, GenSockHandler handler,
                             int bufferSize, HANDLE abort)
{
    GenSockStartup();
    auto* context = new (std::nothrow) GenSockServerContext;
    if (!context)
        return nullptr;
    context->kind = kind;
    context->port = port;
    context->broadcast = broadcast;
    context->handler = handler;
    context->bufferSize = kind == GENSOCK_SERVER_UDP ? bufferSize : 0;
    context->ready.Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    context->stopEvent.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    context->references.store(2);
    context->thread.Reset(CreateThread(nullptr, 0, GenSockServerThread, context, 0, nullptr));
    if (!context->thread)
        context->references.store(1);
    Register(context);
    if (context->thread && context->ready) {
        const HANDLE waits[2] = {context->ready.Get(), abort};
        WaitForMultipleObjects(abort ? 2 : 1, waits, FALSE, READY_WAIT_MS);
    }
    return context;
}

// Stops the thread of a context that is out of the table, closes what it still holds and lets go
// of the owner's reference.
void Retire(GenSockServerContext* context)
{
    // Stop first, then close: a thread woken by the close must already see that it is to end. A
    // socket published after this load is closed by the thread itself (see Publish).
    context->stop.store(1);
    if (context->stopEvent)
        SetEvent(context->stopEvent.Get());
    CloseIfStillOwned(context, context->socket.load());
    if (context->thread && GetThreadId(context->thread.Get()) != GetCurrentThreadId())
        WaitForSingleObject(context->thread.Get(), INFINITE);
    Release(context);
}

} // namespace

GenSockServerContext* GenSockOpenTcpServer(unsigned short port, GenSockHandler handler)
{
    return Launch(GENSOCK_SERVER_TCP, port, 0, handler, 0, nullptr);
}

GenSockServerContext* GenSockOpenUdpServer(unsigned short port, int broadcast, GenSockHandler handler,
                                           int bufferSize, HANDLE abort)
{
    return Launch(GENSOCK_SERVER_UDP, port, broadcast, handler, bufferSize, abort);
}

DWORD WINAPI GenSockServerThread(LPVOID parameter)
{
    auto* context = static_cast<GenSockServerContext*>(parameter);
    std::unique_ptr<char[]> buffer;
    bool usable = true;
    if (context->kind == GENSOCK_SERVER_UDP && context->bufferSize > 0) {
        buffer.reset(new (std::nothrow) char[static_cast<size_t>(context->bufferSize) + 1]());
        usable = buffer != nullptr;
    }
    while (usable && !context->stop.load()) {
        bool leave =
            context->kind == GENSOCK_SERVER_TCP ? RunTcpRound(context) : RunUdpRound(context, buffer.get());
        if (leave || context->stop.load())
            break;
        WaitForSingleObject(context->stopEvent.Get(), RETRY_PAUSE_MS);
    }
    buffer.reset();
    Release(context);
    return 0;
}

int GenSockClose(GenSocket socket)
{
    if (socket == GENSOCK_INVALID)
        return 1;
    bool stale = false;
    GenSockServerContext* context = Unregister(socket, stale);
    if (!context) {
        closesocket(static_cast<SOCKET>(socket));
        return 0;
    }
    // A stale value is not closed here: the server closed it already, and the number may belong
    // to another socket by now. The server's present socket is what Retire closes.
    Retire(context);
    return 1;
}

int GenSockCloseServer(GenSockServerContext* context)
{
    if (!context)
        return 0;
    const bool registered = UnregisterContext(context);
    Retire(context);
    return registered ? 1 : 0;
}

void NotifySocketToEnd(unsigned short port, int tcp)
{
    char payload[128] = "NotifySocketToEnd";
    if (tcp) {
        CUniqueSocket socket(GenSockConnect(port, "127.0.0.1"));
        if (!socket)
            return;
        send(static_cast<SOCKET>(socket.Get()), payload, sizeof payload, 0);
    } else {
        // From the loopback address: a datagram for 127.0.0.1 sent from one of the interface
        // addresses leaves through that interface (or is dropped) and never reaches the server.
        CUniqueSocket owned(static_cast<GenSocket>(::socket(AF_INET, SOCK_DGRAM, 0)));
        if (!owned)
            return;
        const SOCKET socket = static_cast<SOCKET>(owned.Get());
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
            address.sin_port = htons(port);
            sendto(socket, payload, sizeof payload, 0, reinterpret_cast<const sockaddr*>(&address),
                   sizeof address);
        }
    }
}

int GenSockServerTableSlot(const GenSockServerContext* context)
{
    std::lock_guard<std::mutex> lock(g_tableLock);
    for (int i = 0; i < GENSOCK_SERVER_TABLE_SIZE; ++i)
        if (GenSockServerTable[i] == context)
            return i;
    return -1;
}
