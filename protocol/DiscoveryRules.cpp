#include "protocol/DiscoveryRules.h"

#include <cstring>
#include <string>

namespace {

void CopyAddress(char (&out)[16], const std::string& text)
{
    const std::size_t n = text.size() < sizeof out - 1 ? text.size() : sizeof out - 1;
    std::memcpy(out, text.data(), n);
    std::memset(out + n, 0, sizeof out - n);
}

} // namespace

ReachedVia ResolveReachedVia(const WireMessage& reply, const char* sender)
{
    const std::string from = ReadTextField(sender ? sender : "", 16);
    ReachedVia via{};
    CopyAddress(via.sourceIp, from);
    if (from == ReadTextField(reply.wifiIp) || from == WIFI_AP_ADDRESS) {
        via.netType = 1;
        return via;
    }
    via.netType = 0;
    const std::string lanIp = ReadTextField(reply.lanIp);
    if (from != lanIp)
        CopyAddress(via.sourceIp, lanIp);
    return via;
}
