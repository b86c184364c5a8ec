#pragma once
// One simulated camera: its parameter block in the wire layout and how it answers a
// discovery request (which link, from which address, how late, how often, how broken).

#include "protocol/WireMessage.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One datagram to broadcast: its bytes, the address it is sent from and the link it leaves by.
struct SimReply {
    std::string bytes;
    std::uint32_t source = 0;
    std::string device;
};

class CSimCamera {
  public:
    enum class From { Auto, Lan, Wifi, Both, Address };
    enum class Bad { None, Type, IdLength, IdLetter, Short, NoTerminator, BadUtf8, Extra };
    // What the camera does with a set-parameters message for it: takes the whole block, ignores
    // it, or takes everything but the name (its old name stays).
    enum class OnSet { Apply, Ignore, KeepName };

    // A camera with plausible values for fleet position index: LAN, link lab0c. The first
    // 2000 have addresses in 198.18.16.0/21 (wired) and 198.18.24.0/21 (WiFi), the next ones
    // (up to 4048 more) in 198.18.32.0/20 (wired) and 198.18.48.0/20 (WiFi); no two share one.
    static CSimCamera Generated(std::size_t index);

    // Applies one key=value setting (see the README of the simulator); returns an error text,
    // empty on success.
    std::string Apply(std::string_view key, std::string_view value);

    std::string IdSerial() const;
    const WireMessage& Image() const { return m_image; }
    // A set-parameters message becomes the camera's new block; it keeps answering as MSG_INFO.
    void AdoptImage(const WireMessage& message);
    // A set-parameters message for this camera, taken as its `onset` says; true when the block
    // changed.
    bool TakeSettings(const WireMessage& message);
    // How long after a set-parameters message its settings take effect (0: at once).
    int ApplyDelayMs() const { return m_nApplyDelayMs; }

    // The link on which this camera hears discovery requests.
    const std::string& ListenDevice() const { return m_bWifi ? m_strWifiDevice : m_strLanDevice; }
    bool AnswersAnyLink() const { return m_bAnyLink; }
    int DelayMs() const { return m_nDelayMs; }

    // The datagrams that one discovery request draws. Sources that the lab cannot send from
    // are left out and named in warning.
    std::vector<SimReply> BuildReplies(std::string& warning) const;

    // One line for the control protocol's "list".
    std::string Describe() const;

  private:
    void Shape(std::string& bytes) const;

    WireMessage m_image{};
    bool m_bWifi = false;
    std::string m_strLanDevice = "lab0c";
    std::string m_strWifiDevice = "lab1c";
    From m_from = From::Auto;
    std::uint32_t m_fromAddress = 0;
    int m_nDelayMs = 0;
    int m_nDuplicates = 1;
    Bad m_bad = Bad::None;
    int m_nShortLength = 544;
    bool m_bAnyLink = false;
    OnSet m_onSet = OnSet::Apply;
    int m_nApplyDelayMs = 0;
};
