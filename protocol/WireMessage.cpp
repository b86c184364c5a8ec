#include "protocol/WireMessage.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr char GET_COMMAND[] = "HdvsGet";          // written with its zero byte
constexpr char SET_INFO_COMMAND[] = "HdvsSetInfo"; // written with its zero byte
constexpr char ACK_TAG[] = "3G";                   // written with its zero byte

// The part of a received buffer that the checks may read; bytes past it read as zero, as they
// would in the zeroed receive buffer.
struct ReceivedBytes {
    const unsigned char* bytes = nullptr;
    std::size_t size = 0;

    unsigned char At(std::size_t offset) const { return offset < size ? bytes[offset] : 0; }
};

ReceivedBytes Bound(const void* buffer, std::ptrdiff_t received)
{
    if (buffer == nullptr || received <= 0)
        return {};
    return {static_cast<const unsigned char*>(buffer),
            std::min(static_cast<std::size_t>(received), MESSAGE_SIZE)};
}

std::int32_t TypeOf(const ReceivedBytes& r)
{
    const std::uint32_t value = std::uint32_t{r.At(0)} | std::uint32_t{r.At(1)} << 8 |
                                std::uint32_t{r.At(2)} << 16 | std::uint32_t{r.At(3)} << 24;
    return static_cast<std::int32_t>(value);
}

// A text up to its first zero; the view's end stands for the end of its field.
std::string_view UpToZero(std::string_view text)
{
    const std::size_t zero = text.find('\0');
    return zero == std::string_view::npos ? text : text.substr(0, zero);
}

std::string_view IdSerialOf(const ReceivedBytes& r)
{
    constexpr std::size_t offset = offsetof(WireMessage, idSerial);
    if (r.size <= offset)
        return {};
    const std::size_t available = std::min(sizeof(WireMessage::idSerial), r.size - offset);
    return UpToZero({reinterpret_cast<const char*>(r.bytes + offset), available});
}

char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsUtf8Continuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// Bytes in the sequence that this lead byte starts (1 for ASCII), 0 for a byte that starts none.
std::size_t Utf8SequenceLength(unsigned char byte)
{
    if (byte < 0x80)
        return 1;
    if ((byte & 0xE0) == 0xC0)
        return 2;
    if ((byte & 0xF0) == 0xE0)
        return 3;
    if ((byte & 0xF8) == 0xF0)
        return 4;
    return 0;
}

void WriteBounded(char* field, std::size_t width, std::string_view text)
{
    const std::size_t length = std::min(width, text.size());
    std::memcpy(field, text.data(), length);
    std::memset(field + length, 0, width - length);
}

} // namespace

void BuildGetRequest(WireMessage& request)
{
    std::memset(&request, 0, sizeof request);
    request.type = MSG_GET;
    std::memcpy(request.command, GET_COMMAND, sizeof GET_COMMAND);
}

bool IsValidInfoReply(const void* buffer, std::ptrdiff_t received)
{
    const ReceivedBytes r = Bound(buffer, received);
    return r.size > 0 && TypeOf(r) == MSG_INFO && IsValidIdSerial(IdSerialOf(r));
}

bool IsValidInfoExtra(const void* buffer, std::ptrdiff_t received)
{
    const ReceivedBytes r = Bound(buffer, received);
    return r.size > 0 && TypeOf(r) == MSG_INFO_EXTRA && IdSerialOf(r).size() == ID_SERIAL_LENGTH;
}

bool IsValidIdSerial(std::string_view text)
{
    const std::string_view id = UpToZero(text);
    if (id.size() != ID_SERIAL_LENGTH)
        return false;
    switch (id.front()) {
    case 'a':
    case 'b':
    case 'c':
    case 'd':
    case 'f':
    case 'F':
        return true;
    default:
        return false;
    }
}

void BuildAck(const WireMessage& reply, WireMessage& ack)
{
    if (&ack != &reply)
        std::memcpy(&ack, &reply, sizeof ack);
    ack.type = MSG_ACK;
    std::memcpy(ack.ackTag, ACK_TAG, sizeof ACK_TAG);
}

void BuildSetInfo(const DeviceRecord& record, WireMessage& message)
{
    if (&message != &record.message)
        std::memcpy(&message, &record.message, sizeof message);
    message.type = MSG_SET_INFO;
    std::memcpy(message.command, SET_INFO_COMMAND, sizeof SET_INFO_COMMAND);
}

bool SameCamera(std::string_view idSerialA, std::string_view idSerialB)
{
    const std::string_view a = UpToZero(idSerialA);
    const std::string_view b = UpToZero(idSerialB);
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

bool SameCamera(const WireMessage& a, const WireMessage& b)
{
    return SameCamera(std::string_view(a.idSerial, sizeof a.idSerial),
                      std::string_view(b.idSerial, sizeof b.idSerial));
}

bool SameDevice(const WireMessage& a, const WireMessage& b)
{
    return SameCamera(a, b) && std::memcmp(a.lanMac, b.lanMac, MAC_BYTES) == 0 &&
           std::memcmp(a.wifiMac, b.wifiMac, MAC_BYTES) == 0;
}

std::string FormatMac(const std::uint8_t (&mac)[8])
{
    char text[18];
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2], mac[3], mac[4],
                  mac[5]);
    return text;
}

const char* NetTypeText(std::int32_t netType)
{
    return netType == 1 ? "WIFI" : "LAN";
}

std::string ReadTextField(const char* field, std::size_t width)
{
    return std::string(UpToZero({field, width}));
}

void WriteTextField(char* field, std::size_t width, std::string_view text)
{
    WriteBounded(field, width, UpToZero(text));
}

void WriteSsid(WireMessage& message, std::string_view text)
{
    WriteBounded(message.ssid, SSID_TEXT_MAX, UpToZero(text));
}

std::size_t CutUtf8(std::string_view utf8, std::size_t maxBytes)
{
    if (utf8.size() <= maxBytes)
        return utf8.size();
    const std::size_t cut = maxBytes;
    if (!IsUtf8Continuation(static_cast<unsigned char>(utf8[cut])))
        return cut;
    // Find the lead byte of the character that the cut falls into (at most three bytes back).
    for (std::size_t back = 1; back <= 3 && back <= cut; ++back) {
        const auto byte = static_cast<unsigned char>(utf8[cut - back]);
        if (IsUtf8Continuation(byte))
            continue;
        return Utf8SequenceLength(byte) > back ? cut - back : cut;
    }
    return cut; // a run of stray continuation bytes: no character to keep whole
}

void WriteNameUtf8(WireMessage& message, std::string_view utf8)
{
    const std::string_view text = UpToZero(utf8);
    WriteBounded(message.name, sizeof message.name, text.substr(0, CutUtf8(text, NAME_TEXT_MAX)));
}

void WriteConvertedName(WireMessage& message, std::string_view ansiText)
{
    const std::string_view text = UpToZero(ansiText);
    WriteBounded(message.name, sizeof message.name, text.substr(0, std::min(text.size(), NAME_TEXT_MAX)));
}
