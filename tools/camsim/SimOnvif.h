#pragma once
// Other makers' ONVIF devices on the wire: joins 239.255.255.250 on the lab's links, answers each
// WS-Discovery Probe for video devices with one ProbeMatches per device living on the link it
// arrived by (unicast to the prober, from the device's own address, RelatesTo its MessageID),
// sends Hello and Bye to the group on command, and answers with hostile datagrams when told to.
// As WS-Discovery asks of devices, each answers after a random delay (up to 500 ms by default),
// so a thousand answers spread over half a second as they do on a real network.

#include "tools/camsim/LabNetwork.h"
#include "tools/camsim/SimOnvifFleet.h"
#include "tools/camsim/UniqueFd.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <queue>
#include <random>
#include <set>
#include <string>
#include <vector>

class CSimOnvif {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr int DEFAULT_MAX_DELAY_MS = 500;

    explicit CSimOnvif(LabNetwork network);

    // Binds 0.0.0.0:3702 and joins the group on every lab link; false with a message on failure.
    bool Open(std::string& error);
    int Socket() const { return m_socket.Get(); }
    // Reads every queued datagram and answers the Probes among them.
    void OnReadable();

    // Sends the answers whose time has come; how long until the next one is due.
    std::optional<Clock::duration> SendDue();
    // Each answer waits a random time below this (0: all at once); pending answers are dropped.
    void SetMaxDelayMs(int ms);
    int MaxDelayMs() const { return m_nMaxDelayMs; }

    std::vector<SimOnvifDevice>& Devices() { return m_devices; }
    std::set<SimOnvifHostile>& Hostile() { return m_hostile; }

    // Hello (present again) or Bye (absent: answers no Probe) of device `index`, or of all when
    // index is -1; the number of datagrams sent.
    std::size_t SendHello(long index);
    std::size_t SendBye(long index);

    struct ProbeSeen {
        std::string messageId;
        std::uint32_t sender = 0;
        std::string device;
    };
    const std::vector<ProbeSeen>& Probes() const { return m_probes; }
    std::uint64_t MatchesSent() const { return m_nMatchesSent; }
    void ClearStats();

  private:
    bool Send(const std::string& bytes, std::uint32_t source, const std::string& device, std::uint32_t target,
              std::uint16_t port);
    std::size_t Announce(long index, bool bHello);
    void Answer(const std::string& messageId, std::uint32_t sender, std::uint16_t port,
                const std::string& device);

    struct Pending {
        Clock::time_point due;
        std::uint64_t order;
        std::string bytes;
        std::uint32_t source, target;
        std::uint16_t port;
        std::string device;
        bool bMatch;
        bool operator>(const Pending& other) const
        {
            return due != other.due ? due > other.due : order > other.order;
        }
    };
    void Schedule(std::string bytes, std::uint32_t source, const std::string& device, std::uint32_t target,
                  std::uint16_t port, bool bMatch);

    LabNetwork m_network;
    std::priority_queue<Pending, std::vector<Pending>, std::greater<>> m_pending;
    std::uint64_t m_nOrder = 0;
    int m_nMaxDelayMs = DEFAULT_MAX_DELAY_MS;
    std::mt19937 m_random{std::random_device{}()};
    CUniqueFd m_socket;
    std::vector<SimOnvifDevice> m_devices;
    std::set<SimOnvifHostile> m_hostile;
    std::vector<ProbeSeen> m_probes;
    std::uint64_t m_nMatchesSent = 0;
};
