#pragma once
// Other makers' ONVIF devices as the simulator plays them, and the WS-Discovery texts they send:
// ProbeMatches, Hello, Bye, and the hostile datagrams a receiver must drop.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct SimOnvifDevice {
    std::string endpoint;  // EndpointReference address (a duplicate is allowed: one device, two answers)
    std::string nameScope; // as sent after onvif://www.onvif.org/name/ (percent-encoded)
    std::string hardwareScope;
    std::string macScope;     // after onvif://www.onvif.org/MAC/, "" for none
    std::string xaddrs;       // space-separated
    std::uint32_t source = 0; // the address it answers from (host order)
    std::string device;       // the link it lives on
    bool present = true;      // false after a Bye, until its next Hello
};

// Hostile datagrams: each answers a Probe (or is sent to the group) from its own address.
enum class SimOnvifHostile {
    Malformed,      // cut off mid-element
    Oversized,      // the largest UDP datagram, its name scope far over any field limit
    Nested,         // a body of elements nested thousands deep
    Laughs,         // a DOCTYPE defining entities that expand to a billion characters
    External,       // a DOCTYPE with an external entity naming a local file
    WrongNamespace, // SOAP 1.1 instead of 1.2
    BadUtf8,        // a name that is no UTF-8 once decoded
    Stale,          // a well-formed ProbeMatches relating to a Probe nobody sent
};

inline constexpr std::size_t MAX_ONVIF_FLEET = 2000;

// The curated set: UTF-8 and percent-escaped names, IPv6 and host-name XAddrs before the IPv4 one,
// a device answering from two addresses under one EndpointReference, and two that also answer as
// this maker's cameras of the default fleet (one at a1b2c3d4e5f6's address, one with
// b20000000001's MAC).
std::vector<SimOnvifDevice> DefaultOnvifFleet();
// N devices on lab0c answering from 198.18.64.2 upwards (.2-.254 of each /24).
std::vector<SimOnvifDevice> GeneratedOnvifFleet(std::size_t count);

std::optional<SimOnvifHostile> ParseOnvifHostile(std::string_view name);
const char* OnvifHostileName(SimOnvifHostile kind);
// The address a hostile kind answers from (198.18.1.240 upwards) and its EndpointReference.
std::uint32_t OnvifHostileSource(SimOnvifHostile kind);
std::string OnvifHostileEndpoint(SimOnvifHostile kind);

std::string BuildSimProbeMatches(const SimOnvifDevice& device, const std::string& relatesTo);
std::string BuildSimHello(const SimOnvifDevice& device);
std::string BuildSimBye(const SimOnvifDevice& device);
std::string BuildSimHostile(SimOnvifHostile kind, const std::string& relatesTo);

// One line of `onvif list`.
std::string DescribeOnvifDevice(const SimOnvifDevice& device);
