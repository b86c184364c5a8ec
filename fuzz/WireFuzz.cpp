// libFuzzer target: arbitrary bytes (any length) as a received datagram and as name text,
// through the reply checks, the name-field handling and the acknowledgement builder.
// Besides the sanitizers it checks the invariants the rest of the tool relies on.
#include "protocol/WireMessage.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

// True when the bytes are well-formed UTF-8 (shape only: lead and continuation counts).
bool IsWellFormedUtf8(std::string_view text)
{
    std::size_t pending = 0;
    for (unsigned char byte : text) {
        if (pending > 0) {
            if ((byte & 0xC0) != 0x80)
                return false;
            --pending;
        } else if (byte >= 0x80) {
            if ((byte & 0xE0) == 0xC0)
                pending = 1;
            else if ((byte & 0xF0) == 0xE0)
                pending = 2;
            else if ((byte & 0xF8) == 0xF0)
                pending = 3;
            else
                return false;
        }
    }
    return pending == 0;
}

bool SameOutside(const WireMessage& a, const WireMessage& b, std::size_t offset, std::size_t width)
{
    const auto* pa = reinterpret_cast<const unsigned char*>(&a);
    const auto* pb = reinterpret_cast<const unsigned char*>(&b);
    return std::memcmp(pa, pb, offset) == 0 &&
           std::memcmp(pa + offset + width, pb + offset + width, MESSAGE_SIZE - offset - width) == 0;
}

void CheckNameWrites(const WireMessage& base, std::string_view text)
{
    constexpr std::size_t nameOffset = offsetof(WireMessage, name);

    const std::size_t cut = CutUtf8(text, NAME_TEXT_MAX);
    Require(cut <= NAME_TEXT_MAX && cut <= text.size());
    Require(text.size() <= NAME_TEXT_MAX ? cut == text.size() : cut + 3 >= NAME_TEXT_MAX);
    if (IsWellFormedUtf8(text))
        Require(IsWellFormedUtf8(text.substr(0, cut)));

    WireMessage sent = base;
    WriteNameUtf8(sent, text);
    Require(SameOutside(base, sent, nameOffset, sizeof sent.name));
    Require(sent.name[NAME_TEXT_MAX] == '\0');
    const std::string sentName = ReadTextField(sent.name);
    Require(sentName.size() <= NAME_TEXT_MAX);
    Require(text.substr(0, sentName.size()) == sentName);

    WireMessage converted = base;
    WriteConvertedName(converted, text);
    Require(SameOutside(base, converted, nameOffset, sizeof converted.name));
    Require(converted.name[NAME_TEXT_MAX] == '\0');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The checks on the bytes exactly as received: a read past `size` is a sanitizer report.
    const bool accepted = IsValidInfoReply(data, static_cast<std::ptrdiff_t>(size));
    const bool extra = IsValidInfoExtra(data, static_cast<std::ptrdiff_t>(size));
    Require(!(accepted && extra));

    // The receive buffer: zeroed, then filled with what arrived.
    WireMessage reply;
    std::memset(&reply, 0, sizeof reply);
    std::memcpy(&reply, data, std::min(size, MESSAGE_SIZE));
    Require(IsValidInfoReply(&reply, static_cast<std::ptrdiff_t>(MESSAGE_SIZE)) == accepted);
    if (accepted)
        Require(IsValidIdSerial(ReadTextField(reply.idSerial)));

    // Name handling on receipt. The conversion to the ANSI code page is Windows-only; the
    // identity stands in for it (it never makes a name longer).
    const std::string received = ReadTextField(reply.name);
    Require(received.size() <= sizeof reply.name);
    WireMessage stored = reply;
    WriteConvertedName(stored, received.substr(0, CutUtf8(received, NAME_TEXT_MAX)));
    Require(stored.name[NAME_TEXT_MAX] == '\0');
    Require(SameOutside(reply, stored, offsetof(WireMessage, name), sizeof reply.name));

    WireMessage ack;
    BuildAck(stored, ack);
    Require(ack.type == MSG_ACK && std::memcmp(ack.ackTag, "3G", 3) == 0);
    Require(std::memcmp(ack.command, stored.command, offsetof(WireMessage, ackTag) - 4) == 0);
    Require(std::memcmp(ack.ackTag + 3, stored.ackTag + 3,
                        MESSAGE_SIZE - offsetof(WireMessage, ackTag) - 3) == 0);
    Require(SameCamera(stored, ack));

    // The same bytes as text: a name typed by the operator, an id serial, any field.
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckNameWrites(reply, text);
    (void)IsValidIdSerial(text);
    Require(SameCamera(text, text));

    WireMessage fields = reply;
    WriteSsid(fields, text);
    Require(fields.ssid[SSID_TEXT_MAX] == reply.ssid[SSID_TEXT_MAX]);
    WriteTextField(fields.lanIp, text);
    Require(ReadTextField(fields.lanIp).size() <= sizeof fields.lanIp);
    Require(std::memcmp(fields.lanMask, reply.lanMask, sizeof fields.lanMask) == 0);
    Require(FormatMac(reply.lanMac).size() == 17);
    return 0;
}
