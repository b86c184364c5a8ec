#pragma once
// Where a replying camera was reached: the address it is listed under and its network type.
// Plain standard C++ (no platform header).

#include "protocol/WireMessage.h"

#include <cstdint>

// The address some cameras answer from over their wireless interface whatever their wifiIp.
inline constexpr const char* WIFI_AP_ADDRESS = "192.168.100.100";

struct ReachedVia {
    char sourceIp[16];    // zero-terminated
    std::int32_t netType; // 1 WIFI, 0 LAN
};

// `sender` is the dotted address the reply came from. Compared byte for byte: the sender equal
// to the reply's wifiIp, or the access-point address, is WIFI under the sender; anything else is
// LAN, listed under the reply's lanIp when the sender differs from it.
ReachedVia ResolveReachedVia(const WireMessage& reply, const char* sender);
