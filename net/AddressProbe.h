#pragma once
// CAddressProbe: is an address already taken by some device on the local network?
//
// Cameras, printers and recorders share a site's subnet, and the tool only knows the cameras that
// answered its broadcast. Before an address is given to a camera the network is asked: an ICMP
// echo (IcmpSendEcho2, up to BATCH addresses at once, a synchronous call on a thread each) and, where the
// system gives it, an ARP request (SendARP), which also finds a device that ignores echoes. A
// device that answered has its MAC address in the system's neighbour table (GetIpNetTable), so
// the answer names it even when ARP cannot be asked directly (Wine's SendARP is a stub).
//
// Only addresses inside one of this computer's subnets are asked (a subnet's network and
// broadcast addresses and this computer's own addresses are not): beyond a router an echo may be
// filtered, and ARP does not reach.
//
// Threading: Run blocks the calling thread (never the window thread) for at most about the echo
// time-out; Start runs it on the object's own worker and posts a message to a window when it
// ends, so the window never waits. Destroying the object cancels a probe and waits for its worker
// at most the echo time-out (on Windows, plus one ARP request). Requests already sent are not
// taken back: their events and buffers live until their own time-out has passed.

#include "base/UniqueHandle.h"

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CAddressProbe {
  public:
    enum class State { NotProbed, Free, InUse };
    struct Answer {
        std::uint32_t address = 0; // host order
        State state = State::NotProbed;
        std::string mac; // "XX:XX:XX:XX:XX:XX" when the system knows it, else empty
    };
    struct Subnet {
        std::uint32_t address; // host order: this computer's address on the subnet
        std::uint32_t mask;
    };
    // A few hundred milliseconds: a device on the same segment answers within a millisecond or
    // two, and the operator waits for the slowest.
    static constexpr DWORD ECHO_TIMEOUT_MS = 400;
    // ARP for an address nobody holds takes the system about a second per try on Windows.
    static constexpr DWORD ARP_TIMEOUT_MS = 1500;
    // At most this many echo requests are outstanding at once (a thread each).
    static constexpr std::size_t BATCH = 64;

    CAddressProbe();
    ~CAddressProbe();
    CAddressProbe(const CAddressProbe&) = delete;
    CAddressProbe& operator=(const CAddressProbe&) = delete;

    // This computer's IPv4 subnets (loopback left out), from IP Helper.
    static std::vector<Subnet> LocalSubnets();
    // Whether an address may be probed: inside a subnet, not its network or broadcast address,
    // not this computer's.
    static bool IsProbeable(std::uint32_t address, const std::vector<Subnet>& subnets);

    // Probes on the calling thread: one answer per address, in order. Returns early, with the
    // addresses not yet answered as NotProbed, once hCancel (may be null) is set.
    static std::vector<Answer> Run(const std::vector<std::uint32_t>& addresses, HANDLE hCancel,
                                   DWORD echoTimeoutMs = ECHO_TIMEOUT_MS);
    // Whether this system's SendARP works (false under Wine 8, where it answers
    // ERROR_NOT_SUPPORTED); asked once.
    static bool ArpAvailable();

    // Starts a probe on the worker, cancelling one that runs; when it ends, (nMessage, id, 0) is
    // posted to hNotify (may be null). Returns the probe's id (never 0).
    unsigned Start(std::vector<std::uint32_t> addresses, HWND hNotify, UINT nMessage);
    // The answers of probe `id` once it has ended; false while it runs or when a later probe
    // replaced it.
    bool Result(unsigned id, std::vector<Answer>& answers);
    // Waits up to nMs for probe `id` to end (any thread but the one that must answer its window).
    bool Wait(unsigned id, DWORD nMs);
    // Ends a running probe early (its answers say NotProbed for what it had not heard).
    void Cancel();
    bool IsRunning();

  private:
    void Worker();

    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<std::uint32_t> m_pending; // the next probe's addresses, under m_lock
    bool m_bPending = false;
    HWND m_hNotify = nullptr;
    UINT m_nMessage = 0;
    unsigned m_nNextId = 1;
    unsigned m_nRunningId = 0; // started (queued or running), under m_lock
    unsigned m_nDoneId = 0;    // the last ended, under m_lock
    std::vector<Answer> m_answers;
    bool m_bStop = false;
    CUniqueKernelHandle m_hCancel; // manual reset: set to end the running probe
    std::thread m_worker;
};
