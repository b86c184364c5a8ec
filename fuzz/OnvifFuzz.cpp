// libFuzzer target: arbitrary bytes as a WS-Discovery datagram, through the parser of ProbeMatches,
// Hello and Bye and the simulator's Probe reader. Besides the sanitizers it checks what the
// receiver and the camera list rely on: nothing from a refused datagram, and every field of an
// accepted one within its limit, UTF-8 and free of control characters.
#include "fuzz/FuzzCheck.h"
#include "protocol/OnvifMessage.h"

#include "base/Ipv4Text.h"

#include <string>

namespace {

bool IsShowable(const std::string& text)
{
    if (text.size() > ONVIF_FIELD_MAX)
        return false;
    for (const char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const char* text = reinterpret_cast<const char*>(data);
    OnvifMessage message;
    const bool accepted = ParseOnvifMessage(text, size, message);
    if (!accepted) {
        Require(message.announcements.empty() && message.relatesTo.empty());
    } else {
        Require(size <= WSD_MESSAGE_MAX);
        Require(message.kind != OnvifNews::Match || !message.relatesTo.empty());
        Require(message.kind == OnvifNews::Match || message.announcements.size() == 1);
        for (const OnvifAnnouncement& a : message.announcements) {
            const OnvifDevice& d = a.device;
            Require(a.kind == message.kind);
            Require(!d.endpoint.empty());
            for (const std::string* field : {&d.endpoint, &d.address, &d.xaddr, &d.name, &d.hardware, &d.mac})
                Require(IsShowable(*field));
            Require(d.address.empty() == d.xaddr.empty());
            Require(d.address.empty() || ParseIpv4(d.address).has_value());
            Require(d.mac.empty() || d.mac.size() == 17);
            Require(a.kind != OnvifNews::Bye || (d.address.empty() && d.name.empty()));
        }
    }
    std::string messageId;
    if (ParseOnvifProbe(text, size, messageId))
        Require(!messageId.empty() && IsShowable(messageId));
    else
        Require(messageId.empty());
    return 0;
}
