#pragma once
// What the simulator's network namespace holds, for the start-up safety check and for
// choosing the links it may broadcast on.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct LabNetwork {
    // Non-loopback IPv4 addresses outside 198.18.0.0/15 and 192.168.100.100, as "dev address".
    std::vector<std::string> foreign;
    // Links holding a lab address, by interface index.
    std::map<int, std::string> labLinks;
};

LabNetwork ScanLabNetwork();
