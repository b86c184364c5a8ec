#pragma once
// The WS-Discovery receiver for other makers' (ONVIF) devices. A Probe goes out as one multicast
// per searched local address; devices answer with unicast ProbeMatches to the socket that sent it,
// and announce themselves (Hello, Bye) to the multicast group at any time. Anyone may send a
// ProbeMatches, so one is accepted only when it relates to a Probe sent here within the last
// PROBE_LISTEN_MS: a stray or forged answer lists nothing. Every datagram is parsed by
// ParseOnvifMessage (protocol/OnvifMessage.h), which gives nothing for a malformed one.
//
// Threading: Start, Probe and Stop may be called from any thread but not concurrently with each
// other's Start/Stop. The receiver has one thread of its own that does nothing but receive, parse
// and hand batches to the sink (a burst of a thousand answers is a few calls, not a thousand).
// Stop wakes it through a loopback socket that only this object owns (never the shared port,
// which another program may take the wake-up from), so it returns at once. Stop waits for a sink
// call in progress: a sink posts to its window rather than sending, or a window thread calling
// Stop would wait for a thread that waits for it.

#include "net/SocketHelpers.h"
#include "protocol/OnvifDevice.h"

#include <windows.h>

#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class COnvifDiscovery {
  public:
    static constexpr DWORD PROBE_LISTEN_MS = 5000; // ProbeMatches counted this long after a Probe
    // Routers do not forward the Probe: devices on the searched links answer, as the tool's own
    // broadcasts reach only those.
    static constexpr DWORD PROBE_TTL = 1;

    explicit COnvifDiscovery(COnvifSink& sink);
    ~COnvifDiscovery();
    COnvifDiscovery(const COnvifDiscovery&) = delete;
    COnvifDiscovery& operator=(const COnvifDiscovery&) = delete;

    // Sockets and the receive thread; Hello and Bye are heard from now on. False when the thread
    // or its wake-up socket cannot be made. Port 3702 taken by a program that shares no address
    // costs only Hello and Bye: ProbeMatches come back to the probing sockets.
    bool Start();
    // One Probe per searched local address (GenSockLocalAddresses, GenSockIsSendingAddress), each
    // with a fresh MessageID. Does nothing unless running.
    void Probe();
    // Returns in well under a second, never hangs; Start may follow.
    void Stop();
    bool IsRunning() const { return m_bRunning.load(); }

  private:
    struct SentProbe {
        std::string messageId;
        ULONGLONG sentAt = 0;
    };

    void Receive();
    // Everything queued on the sockets, up to a batch, parsed; false when the thread is to end.
    bool TakeQueued(const std::vector<GenSocket>& sockets, std::vector<char>& buffer,
                    std::vector<OnvifAnnouncement>& batch);
    bool IsOurProbe(const std::string& messageId);
    GenSocket ProbeSocketFor(const in_addr& address); // under m_lock
    void JoinGroup(const in_addr& address);           // under m_lock

    COnvifSink& m_sink;
    std::atomic<bool> m_bRunning{false};
    std::atomic<bool> m_bStopping{false};
    std::thread m_thread;
    CUniqueSocket m_wake;   // 127.0.0.1, the thread's wake-up
    CUniqueSocket m_listen; // 0.0.0.0:3702, joined to the group: Hello, Bye

    std::mutex m_lock; // the sockets below and the probes sent
    struct ProbeSocket {
        in_addr address;
        CUniqueSocket socket;
    };
    std::vector<ProbeSocket> m_probeSockets; // kept until Stop: the thread may be waiting on them
    std::vector<in_addr> m_joined;
    std::deque<SentProbe> m_sent;
};
