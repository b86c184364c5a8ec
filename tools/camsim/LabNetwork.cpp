#include "tools/camsim/LabNetwork.h"

#include "tools/camsim/SimText.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

LabNetwork ScanLabNetwork()
{
    LabNetwork result;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        result.foreign.push_back("(getifaddrs failed)");
        return result;
    }
    for (ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET)
            continue;
        const std::uint32_t address =
            ntohl(reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr);
        if ((address >> 24) == 127)
            continue;
        if (!IsLabAddress(address)) {
            result.foreign.push_back(std::string(entry->ifa_name) + " " + FormatIpv4(address));
            continue;
        }
        if (unsigned index = if_nametoindex(entry->ifa_name))
            result.labLinks[static_cast<int>(index)] = entry->ifa_name;
    }
    freeifaddrs(list);
    return result;
}
