#pragma once
// The 1088-byte datagram exchanged with the cameras, and the tool's record of one camera.
// Plain standard C++: no platform header, so the camera simulator and the fuzz targets
// build natively too.

#include <cstddef>
#include <cstdint>

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
};

static_assert(sizeof(DeviceRecord) == MESSAGE_SIZE + 16 + 4);
static_assert(offsetof(DeviceRecord, sourceIp) == MESSAGE_SIZE);
static_assert(offsetof(DeviceRecord, netType) == MESSAGE_SIZE + 16);
