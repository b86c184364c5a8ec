#pragma once
// What WS-Discovery tells of a device of any maker (an ONVIF camera, a recorder): the device as
// the camera list shows it, and the batches the receiver hands on. Plain standard C++ (no
// platform header), so the camera simulator and the fuzz targets build it natively too.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline constexpr const char* WSD_MULTICAST_ADDRESS = "239.255.255.250";
inline constexpr std::uint16_t WSD_PORT = 3702;
// A datagram longer than this is dropped unread.
inline constexpr std::size_t WSD_MESSAGE_MAX = 64 * 1024;
// A field longer than this (after decoding) makes its message malformed: it is dropped whole.
inline constexpr std::size_t ONVIF_FIELD_MAX = 256;

// One device, as its latest ProbeMatch or Hello described it. Every text is UTF-8.
struct OnvifDevice {
    std::string endpoint; // the EndpointReference address: the device's key
    std::string address;  // the host of the first IPv4 XAddrs entry, dotted; "" when there is none
    std::string xaddr;    // that whole XAddrs entry
    std::string name;     // the onvif://www.onvif.org/name/ scope, percent-decoded
    std::string hardware; // the onvif://www.onvif.org/hardware/ scope, percent-decoded
    std::string mac;      // "AA:BB:CC:DD:EE:FF" from a scope that gives one, else ""
};

enum class OnvifNews {
    Match, // a ProbeMatch answering our Probe
    Hello, // a device announced itself
    Bye,   // a device left: only `device.endpoint` is meaningful
};

struct OnvifAnnouncement {
    OnvifNews kind = OnvifNews::Match;
    OnvifDevice device;
    std::uint32_t senderIp = 0; // host order; the address the datagram came from
};

// Told of what the receiver heard, in batches, on the receiver's own thread: an implementation
// hands the batch to its window thread and returns.
class COnvifSink {
  public:
    virtual ~COnvifSink() = default;
    virtual void OnOnvifAnnouncements(std::vector<OnvifAnnouncement>&& batch) = 0;
};
