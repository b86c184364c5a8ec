#pragma once
// The simulated cameras on the wire: receives on CAMERA_PORT, answers discovery requests
// with one reply per camera (broadcast to REPLY_PORT from the camera's own address),
// applies set-parameters messages and logs every datagram received.

#include "tools/camsim/LabNetwork.h"
#include "tools/camsim/SimCamera.h"
#include "tools/camsim/UniqueFd.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <queue>
#include <set>
#include <string>
#include <string_view>
#include <vector>

class CCamSimulator {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr int DEFAULT_PACE_US = 2000;

    explicit CCamSimulator(LabNetwork network);

    // Binds 0.0.0.0:CAMERA_PORT; false with a message on failure.
    bool Open(std::string& error);
    int Socket() const { return m_socket.Get(); }

    // Reads every queued datagram and acts on it.
    void OnReadable();
    // Sends the replies and applies the delayed settings whose time has come; returns how long
    // until the next one is due.
    std::optional<Clock::duration> SendDue();

    std::vector<CSimCamera>& Cameras() { return m_cameras; }
    CSimCamera* Find(std::string_view idSerial);
    // Drops the replies still waiting to be sent and the settings still waiting to take effect
    // (a new fleet answers only new requests).
    void CancelPending();

    // A set-parameters message as received: the camera with its idSerial (any letter case)
    // takes it now, or after its applydelay (SendDue applies it then).
    void TakeSetInfo(const WireMessage& message);
    // Settings received but not yet in effect.
    std::size_t PendingSettings() const { return m_settings.size(); }

    // Off (the default): a camera answers only the requests heard on its own link (or on any
    // link when it is told to), so one request per link draws each camera once. On: every
    // camera answers every request, as cameras reachable through each of the tool's
    // interfaces do; the replies still leave as BuildReplies says.
    void SetAnswerEach(bool bEach) { m_bAnswerEach = bEach; }
    bool AnswersEach() const { return m_bAnswerEach; }

    // Pause between successive cameras' replies to one request; 0 answers in one burst.
    void SetPaceMicroseconds(int pace) { m_nPaceUs = pace; }
    int PaceMicroseconds() const { return m_nPaceUs; }

    void SetLogFile(std::FILE* file) { m_pLogFile = file; }
    void SetVerbose(bool verbose) { m_bVerbose = verbose; }
    const std::vector<std::string>& LogLines() const { return m_logLines; }
    void ClearLog();
    std::uint64_t RepliesSent() const { return m_nRepliesSent; }

    // What the log holds, counted as it grows: a large burst's log is too long to read back
    // just to count it.
    struct Tally {
        std::uint64_t received = 0;
        std::uint64_t requests = 0;
        std::uint64_t acks = 0;
        std::set<std::string> ackedIds; // lower case
        double firstRequest = 0;        // seconds since 1970, 0 when none
        double lastRequest = 0;
        double lastAck = 0;
    };
    const Tally& LogTally() const { return m_tally; }

  private:
    struct Pending {
        Clock::time_point due;
        std::uint64_t order;
        SimReply reply;
        bool operator>(const Pending& other) const
        {
            return due != other.due ? due > other.due : order > other.order;
        }
    };

    void Handle(const std::string& bytes, std::uint32_t sender, std::uint16_t port, int ifindex);
    void Answer(int ifindex);
    void Log(const std::string& bytes, std::uint32_t sender, std::uint16_t port, int ifindex);
    bool Send(const SimReply& reply);

    struct DelayedSettings {
        Clock::time_point due;
        std::uint64_t order;
        WireMessage message;
        bool operator>(const DelayedSettings& other) const
        {
            return due != other.due ? due > other.due : order > other.order;
        }
    };
    void ApplyDueSettings(Clock::time_point now);

    LabNetwork m_network;
    std::priority_queue<DelayedSettings, std::vector<DelayedSettings>, std::greater<>> m_settings;
    CUniqueFd m_socket;
    std::vector<CSimCamera> m_cameras;
    std::priority_queue<Pending, std::vector<Pending>, std::greater<>> m_pending;
    std::uint64_t m_nOrder = 0;
    int m_nPaceUs = DEFAULT_PACE_US;
    bool m_bAnswerEach = false;
    Tally m_tally;
    std::FILE* m_pLogFile = nullptr;
    bool m_bVerbose = false;
    std::vector<std::string> m_logLines;
    std::uint64_t m_nRepliesSent = 0;
};
