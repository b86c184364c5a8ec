#pragma once
// A TCP or UDP endpoint, server or client, whose loops run on the worker threads of its
// CMyThreadHost base: worker 0 runs the server loop, worker 1 the client loop.
//
// The constructors start nothing: a worker started inside the base constructor could call an
// OnAccept or OnReceive override of a derived object that does not exist yet. Start runs the
// endpoint once it is whole: the owner calls it after construction, or the most derived
// constructor calls it last.

#include "base/MyThreadHost.h"
#include "net/SocketHelpers.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

class CMySocket : public CMyThreadHost {
  public:
    // Called with the bytes received, their count, the socket and the endpoint.
    using ReceiveCallback = int (*)(char* buffer, int length, GenSocket socket, CMySocket* endpoint);
    // Called like a socket server handler, with the endpoint in place of the server context.
    using ServerCallback = int (*)(CMySocket* endpoint, GenSocket socket, const sockaddr_in* peer,
                                   char* buffer, int size);

    static constexpr int MODE_UDP = 1;
    static constexpr int MODE_UDP_BROADCAST = 3;
    static constexpr int DEFAULT_BUFFER_SIZE = 128;
    static constexpr int MAX_BUFFER_SIZE = 65535;

    // mode 1 = UDP, 3 = UDP with broadcast permission, anything else = TCP. A server runs
    // worker 0, a client worker 1.
    CMySocket(unsigned short port, int mode, int server, const char* host, ReceiveCallback receiveCallback,
              ServerCallback serverCallback);
    // Adopts a connected socket, which worker 1 reads.
    CMySocket(GenSocket socket, int receivePaused);
    ~CMySocket() override;

    // Starts the endpoint's worker; a second call does nothing.
    void Start();

    // Closes the socket (which cuts a blocked accept or receive short) and waits until the
    // workers have left. A derived class that overrides OnAccept or OnReceive calls it first
    // in its own destructor, before its members go. Idempotent.
    void Close();

    CMySocket(const CMySocket&) = delete;
    CMySocket& operator=(const CMySocket&) = delete;

    int ThreadProc(int index) override;
    virtual void OnAccept(GenSocket socket, const sockaddr_in* peer);
    virtual void OnReceive(GenSocket socket, const sockaddr_in* from, char* buffer, int length);

    // At most 65535 bytes; 0 for a size below 1.
    int SetReceiveBufferSize(int size);
    void SetReceiveCallback(ReceiveCallback callback);
    void SetServerCallback(ServerCallback callback);
    GenSocket GetSocket() const { return m_socket.load(); }
    sockaddr_in GetLastPeer() const;
    // A paused client waits on its signal slot; resuming sets it.
    void SetReceivePaused(int paused);
    int SetTimeouts(int milliseconds, int mask);
    int SetBufferSizes(int size, int mask);
    // UDP: one datagram per usable interface to the port, unicast to the host text when it resolves.
    // TCP: the whole buffer on the connection.
    int Send(const void* data, int length, int milliseconds);
    int Receive(void* buffer, int length, int milliseconds);

  private:
    using Buffer = std::vector<char>;

    void ServerRound();
    void ClientRound();
    std::shared_ptr<Buffer> CurrentBuffer() const;
    void ClearSocket();

    int m_bUdp = 0;
    int m_bServer = 0;
    int m_nWorker = 1; // the worker Start runs
    std::atomic<int> m_bClosing{0};
    std::atomic<int> m_nTimeout{2147483647};
    int m_bBroadcast = 0;
    std::atomic<int> m_nReceivePaused{1};
    std::atomic<GenSocket> m_socket{GENSOCK_INVALID};
    unsigned short m_nPort = 0;
    char m_szHost[32] = {};

    // Workers keep their own reference while they receive, so that a resize cannot free the
    // buffer under them.
    mutable std::mutex m_lock;
    std::shared_ptr<Buffer> m_pBuffer;
    sockaddr_in m_lastPeer{};
    std::atomic<ReceiveCallback> m_pReceiveCallback{nullptr};
    std::atomic<ServerCallback> m_pServerCallback{nullptr};
};
