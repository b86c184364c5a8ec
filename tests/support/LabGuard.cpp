#include "tests/support/LabGuard.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

std::vector<std::string> LocalAddressesForTest()
{
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    std::vector<std::string> out;
    char host[256] = {};
    if (gethostname(host, sizeof host) != 0)
        return out;
    hostent* entry = gethostbyname(host);
    if (!entry || entry->h_length != 4)
        return out;
    for (int i = 0; entry->h_addr_list[i]; ++i) {
        in_addr a;
        memcpy(&a, entry->h_addr_list[i], 4);
        out.push_back(inet_ntoa(a));
    }
    return out;
}

bool IsLabAddress(const std::string& dotted)
{
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (sscanf(dotted.c_str(), "%u.%u.%u.%u", &a, &b, &c, &d) != 4)
        return false;
    return a == 127 || (a == 198 && (b == 18 || b == 19));
}

static std::vector<std::string> AdapterAddresses()
{
    std::vector<std::string> out;
    ULONG size = 0;
    if (GetAdaptersInfo(nullptr, &size) != ERROR_BUFFER_OVERFLOW || size == 0)
        return out;
    std::vector<unsigned char> buffer(size);
    auto* info = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data());
    if (GetAdaptersInfo(info, &size) != NO_ERROR)
        return out;
    for (auto* a = info; a; a = a->Next)
        for (auto* ip = &a->IpAddressList; ip; ip = ip->Next)
            if (ip->IpAddress.String[0] && strcmp(ip->IpAddress.String, "0.0.0.0") != 0)
                out.push_back(ip->IpAddress.String);
    return out;
}

void RequireLabNetwork()
{
    std::vector<std::string> seen = LocalAddressesForTest();
    for (auto& a : AdapterAddresses())
        seen.push_back(a);
    bool labFound = false;
    for (auto& a : seen) {
        if (!IsLabAddress(a)) {
            fprintf(stderr,
                    "\nREFUSING TO SEND: %s is not a lab address. Run network tests only "
                    "through scripts/test.sh, inside the lab.\n",
                    a.c_str());
            fflush(stderr);
            ExitProcess(99);
        }
        if (a.rfind("198.1", 0) == 0)
            labFound = true;
    }
    if (!labFound) {
        fprintf(stderr, "\nREFUSING TO SEND: no lab interface is visible (not inside the lab?).\n");
        fflush(stderr);
        ExitProcess(99);
    }
}

std::vector<std::string> LabOtherDevices()
{
    std::vector<std::string> out;
    char text[256] = {};
    const DWORD length = GetEnvironmentVariableA("LARKVANE_LAB_OTHER_DEVICES", text, sizeof text);
    if (length == 0 || length >= sizeof text)
        return out;
    std::string all(text);
    for (std::size_t start = 0; start < all.size();) {
        const std::size_t end = all.find(' ', start);
        const std::string one = all.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!one.empty())
            out.push_back(one);
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return out;
}
