#pragma once
// The 1088-byte datagram exchanged with the cameras, and the tool's record of one camera.
// Plain standard C++: no platform header, so the camera simulator and the fuzz targets
// build natively too.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

inline constexpr std::size_t MESSAGE_SIZE = 1088;
inline constexpr std::uint16_t CAMERA_PORT = 8628;
inline constexpr std::uint16_t REPLY_PORT = 8629;
inline constexpr std::uint16_t SOURCE_PORT = 50504;

inline constexpr std::int32_t MSG_GET = 86;
inline constexpr std::int32_t MSG_INFO = 87;
inline constexpr std::int32_t MSG_INFO_EXTRA = 88;
inline constexpr std::int32_t MSG_ACK = 129;
inline constexpr std::int32_t MSG_SET_INFO = 135;

inline constexpr std::size_t ID_SERIAL_LENGTH = 12;

// Wire layout. Integers are 32-bit little-endian (both build targets are little-endian);
// texts are 8-bit, zero-terminated unless they fill their field.
// clang-format off
struct WireMessage {
    std::int32_t type;            //    0
    char command[24];             //    4
    char name[20];                //   28  UTF-8 on the wire, ANSI code page in a DeviceRecord
    char ackTag[28];              //   48
    char lanIp[16];               //   76
    char lanMask[16];             //   92
    char lanGateway[16];          //  108
    std::uint8_t reserved124[16]; //  124
    std::uint8_t lanMac[8];       //  140  6 bytes used
    std::uint8_t wifiMac[8];      //  148  6 bytes used
    std::int32_t lanDhcp;         //  156
    std::uint8_t reserved160[12]; //  160
    char lanDns[16];              //  172
    std::uint8_t reserved188[60]; //  188
    char version[8];              //  248
    char apPassword[28];          //  256
    std::uint8_t reserved284[4];  //  284
    char idSerial[64];            //  288
    std::int32_t wifiDhcp;        //  352
    std::int32_t apMode;          //  356
    std::int32_t encryptType;     //  360  0 WEP, 1 WPA-PSK, 2 WPA2-PSK, 3 NONE
    char wifiIp[20];              //  364
    char ssid[128];               //  384  written with at most 127 bytes
    char wifiPassword[64];        //  512
    std::uint8_t reserved576[4];  //  576
    char wifiMask[16];            //  580
    char wifiGateway[16];         //  596
    char wifiDns[16];             //  612
    std::uint8_t reserved628[460];//  628
};
// clang-format on

static_assert(sizeof(WireMessage) == MESSAGE_SIZE);
static_assert(offsetof(WireMessage, command) == 4);
static_assert(offsetof(WireMessage, name) == 28);
static_assert(offsetof(WireMessage, ackTag) == 48);
static_assert(offsetof(WireMessage, lanIp) == 76);
static_assert(offsetof(WireMessage, lanMask) == 92);
static_assert(offsetof(WireMessage, lanGateway) == 108);
static_assert(offsetof(WireMessage, lanMac) == 140);
static_assert(offsetof(WireMessage, wifiMac) == 148);
static_assert(offsetof(WireMessage, lanDhcp) == 156);
static_assert(offsetof(WireMessage, lanDns) == 172);
static_assert(offsetof(WireMessage, version) == 248);
static_assert(offsetof(WireMessage, apPassword) == 256);
static_assert(offsetof(WireMessage, idSerial) == 288);
static_assert(offsetof(WireMessage, wifiDhcp) == 352);
static_assert(offsetof(WireMessage, apMode) == 356);
static_assert(offsetof(WireMessage, encryptType) == 360);
static_assert(offsetof(WireMessage, wifiIp) == 364);
static_assert(offsetof(WireMessage, ssid) == 384);
static_assert(offsetof(WireMessage, wifiPassword) == 512);
static_assert(offsetof(WireMessage, wifiMask) == 580);
static_assert(offsetof(WireMessage, wifiGateway) == 596);
static_assert(offsetof(WireMessage, wifiDns) == 612);
static_assert(offsetof(WireMessage, reserved628) == 628);

// One camera as the tool holds it: its last accepted reply plus where it was reached.
struct DeviceRecord {
    WireMessage message;
    char sourceIp[16];
    std::int32_t netType; // 1 = WIFI, anything else = LAN
    // What the tool knows of the latest reply beyond its image. The name field's bytes as the
    // camera sent them (UTF-8, before the conversion for display), so that a name the operator
    // keeps goes back to the camera byte for byte.
    char wireName[20];
    // The address the latest reply came from (host order; 0: not known).
    std::uint32_t senderIp;
    // The scan the latest reply answered (the discovery engine's count of requests sent).
    std::uint32_t scanId;
    // DEVICE_... marks the camera table sets.
    std::uint32_t flags;
};

// The bytes of lanMac and wifiMac that hold the address.
inline constexpr std::size_t MAC_BYTES = 6;

// Another camera answers with the same idSerial (told apart by their MAC addresses): a message
// addressed to that idSerial reaches both.
inline constexpr std::uint32_t DEVICE_SHARED_SERIAL = 1;
// Not a camera of this protocol: a device of another maker that answered WS-Discovery (ONVIF),
// listed for viewing only. Its record holds the device's address in lanIp and sourceIp, its
// endpoint (cut to the field) in idSerial, its MAC (when it gives one) in lanMac; nothing is ever
// sent to it with this protocol.
inline constexpr std::uint32_t DEVICE_ONVIF = 2;

static_assert(offsetof(DeviceRecord, sourceIp) == MESSAGE_SIZE);
static_assert(offsetof(DeviceRecord, netType) == MESSAGE_SIZE + 16);
static_assert(sizeof(DeviceRecord::wireName) == sizeof(WireMessage::name));

// ---------------------------------------------------------------------------------------------
// Building and checking messages. Plain functions on fixed buffers: no allocation except where a
// std::string is returned, no failure results.

inline constexpr std::size_t NAME_TEXT_MAX = sizeof(WireMessage::name) - 1; // room for the zero
inline constexpr std::size_t SSID_TEXT_MAX = sizeof(WireMessage::ssid) - 1; // last byte is kept

// A discovery request: all zero except the type and "HdvsGet".
void BuildGetRequest(WireMessage& request);

// True when the first `received` bytes of `buffer` are an acceptable MSG_INFO reply: at least one
// byte, type 87 as a whole 32-bit value, and an idSerial that passes IsValidIdSerial. Reads no
// byte at or past min(received, MESSAGE_SIZE); bytes the datagram did not fill count as zero, as
// in a zeroed receive buffer. A negative count (a failed receive) is refused.
bool IsValidInfoReply(const void* buffer, std::ptrdiff_t received);

// The shape check for a MSG_INFO_EXTRA datagram: type 88 and an idSerial of exactly 12 characters
// (any first character). Matching it against the known cameras is the caller's business.
bool IsValidInfoExtra(const void* buffer, std::ptrdiff_t received);

// True when the text, up to its first zero or its end, has exactly 12 characters and begins with
// 'a', 'b', 'c', 'd', 'f' or 'F'.
bool IsValidIdSerial(std::string_view text);

// The acknowledgement of an accepted reply (whose name is already converted): the reply's bytes
// with type 129 and "3G\0" at offsets 48 to 50.
void BuildAck(const WireMessage& reply, WireMessage& ack);

// The set-parameters message: the record's image with type 135 and "HdvsSetInfo\0" at offsets 4 to
// 15; every other byte (16 to 27 and all uninterpreted bytes included) is the record's.
void BuildSetInfo(const DeviceRecord& record, WireMessage& message);

// Same camera: idSerial texts equal without regard to ASCII letter case, each read up to its first
// zero or the end of the view (pass the whole 64-byte field; nothing past it is read).
bool SameCamera(std::string_view idSerialA, std::string_view idSerialB);
bool SameCamera(const WireMessage& a, const WireMessage& b);
// The same device: the same idSerial (letter case ignored) and the same MAC addresses, so that two
// cameras that share an idSerial are told apart.
bool SameDevice(const WireMessage& a, const WireMessage& b);

// "%02X:%02X:%02X:%02X:%02X:%02X" of the first six bytes.
std::string FormatMac(const std::uint8_t (&mac)[8]);

// "WIFI" for 1, "LAN" for every other value.
const char* NetTypeText(std::int32_t netType);

// ---------------------------------------------------------------------------------------------
// Text fields. A field's text ends at its first zero or at the end of the field.

// The text of a field, never reading past `width` bytes.
std::string ReadTextField(const char* field, std::size_t width);
template <std::size_t N> std::string ReadTextField(const char (&field)[N])
{
    return ReadTextField(field, N);
}

// The layout's rule for text fields: copy at most `width` bytes of the text (up to its first zero)
// and zero-fill the rest, so a text exactly as long as the field has no terminator.
void WriteTextField(char* field, std::size_t width, std::string_view text);
template <std::size_t N> void WriteTextField(char (&field)[N], std::string_view text)
{
    WriteTextField(field, N, text);
}

// ssid is written with at most 127 bytes; its 128th byte (offset 511) keeps its value.
void WriteSsid(WireMessage& message, std::string_view text);

// The longest prefix of `utf8`, at most `maxBytes` long, that does not split a UTF-8 character.
// A complete character is never cut; bytes that are not well-formed UTF-8 are cut like single bytes.
std::size_t CutUtf8(std::string_view utf8, std::size_t maxBytes);

// Writes a UTF-8 camera name for sending: cut at a character boundary to at most 19 bytes, then
// zero-filled, so `name` always keeps its terminating zero and ackTag is never touched.
void WriteNameUtf8(WireMessage& message, std::string_view utf8);

// Writes a received name back after its conversion to the ANSI code page: at most 19 bytes and a
// terminating zero at offset 28, the rest of the field zero-filled. This function only bounds
// bytes; it cannot know the code page's double-byte characters. The Windows caller cuts the
// converted text by whole characters to at most NAME_TEXT_MAX bytes before calling it (in the
// ANSI code page a name never needs more bytes than in UTF-8, but a 20-byte name without a
// terminator on the wire converts to 20 bytes, which must not spill into ackTag).
void WriteConvertedName(WireMessage& message, std::string_view ansiText);
