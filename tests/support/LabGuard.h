#pragma once
// Tests that send datagrams call RequireLabNetwork() first: it ends the test process at
// once unless every non-loopback IPv4 address this process can see belongs to the lab.

#include <string>
#include <vector>

// The local IPv4 addresses the way the tool sees them (the resolver's answer for the host name).
std::vector<std::string> LocalAddressesForTest();

// True for 127.0.0.0/8 and the lab's 198.18.0.0/15.
bool IsLabAddress(const std::string& dotted);

void RequireLabNetwork();

// The lab's other devices (scripts/lab.sh: addresses that answer echo and ARP but are no
// cameras), from LARKVANE_LAB_OTHER_DEVICES; empty outside the lab.
std::vector<std::string> LabOtherDevices();
