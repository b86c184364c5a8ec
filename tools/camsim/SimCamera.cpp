#include "tools/camsim/SimCamera.h"

#include "tools/camsim/SimText.h"

#include <charconv>
#include <cstdio>
#include <cstring>

namespace {

template <std::size_t N> std::string SetText(char (&field)[N], std::string_view value)
{
    if (value.size() > N)
        return "value longer than its " + std::to_string(N) + "-byte field";
    std::memset(field, 0, N);
    std::memcpy(field, value.data(), value.size());
    return {};
}

std::string SetMac(std::uint8_t* mac, std::string_view value)
{
    std::string hex;
    for (char c : value)
        if (c != ':' && c != '-')
            hex += c;
    auto bytes = HexDecode(hex);
    if (!bytes || bytes->size() != 6)
        return "a MAC address is six hexadecimal bytes";
    std::memcpy(mac, bytes->data(), 6);
    return {};
}

bool ParseInt(std::string_view text, int low, int high, int& out)
{
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return false;
    out = value;
    return true;
}

// Fills the bytes that the tool must carry unchanged, so that a test can see them come back.
void FillOpaque(WireMessage& m, std::size_t seed)
{
    auto fill = [seed](void* p, std::size_t n, std::size_t salt) {
        auto* b = static_cast<std::uint8_t*>(p);
        for (std::size_t k = 0; k < n; ++k)
            b[k] = static_cast<std::uint8_t>((seed * 13 + salt * 7 + k * 31) % 255 + 1);
    };
    fill(m.command + 12, 12, 1);
    fill(m.ackTag, sizeof m.ackTag, 2);
    fill(m.reserved124, sizeof m.reserved124, 3);
    fill(m.lanMac + 6, 2, 4);
    fill(m.wifiMac + 6, 2, 5);
    fill(m.reserved160, sizeof m.reserved160, 6);
    fill(m.reserved188, sizeof m.reserved188, 7);
    fill(m.reserved284, sizeof m.reserved284, 8);
    fill(m.reserved576, sizeof m.reserved576, 9);
    fill(m.reserved628, sizeof m.reserved628, 10);
}

const char* FromName(CSimCamera::From from)
{
    switch (from) {
    case CSimCamera::From::Auto:
        return "auto";
    case CSimCamera::From::Lan:
        return "lan";
    case CSimCamera::From::Wifi:
        return "wifi";
    case CSimCamera::From::Both:
        return "both";
    case CSimCamera::From::Address:
        return "address";
    }
    return "?";
}

const char* const BAD_NAMES[] = {"none", "type", "idlen", "idletter", "short", "noterm", "badutf8", "extra"};
const char* const ONSET_NAMES[] = {"apply", "ignore", "keepname"};

} // namespace

CSimCamera CSimCamera::Generated(std::size_t index)
{
    CSimCamera camera;
    WireMessage& m = camera.m_image;
    m.type = MSG_INFO;
    std::memcpy(m.command, "HdvsInfo", 8);
    FillOpaque(m, index);

    char text[64];
    std::snprintf(text, sizeof text, "%c%011zx", "abcdf"[index % 5],
                  static_cast<std::size_t>(0x1000000 + index));
    SetText(m.idSerial, text);
    if (index % 2 == 0)
        std::snprintf(text, sizeof text, "Cam-%04zu", index);
    else
        std::snprintf(text, sizeof text, "\xE6\x91\x84\xE5\x83\x8F\xE6\x9C\xBA%04zu", index); // 摄像机
    SetText(m.name, text);

    // Hosts .2 to .254 of each /24, so no camera sits on a network or broadcast-looking address.
    // Fleets up to 2000 keep the addresses they always had; larger ones continue in a second
    // block, since 198.18.24.0/21 holds the first ones' WiFi addresses.
    constexpr std::size_t FIRST_BLOCK = 2000;
    const std::size_t inBlock = index < FIRST_BLOCK ? index : index - FIRST_BLOCK;
    const unsigned lanBase = index < FIRST_BLOCK ? 16 : 32, wifiBase = index < FIRST_BLOCK ? 24 : 48;
    const unsigned third = static_cast<unsigned>(inBlock / 253),
                   fourth = static_cast<unsigned>(2 + inBlock % 253);
    std::snprintf(text, sizeof text, "198.18.%u.%u", lanBase + third, fourth);
    SetText(m.lanIp, text);
    SetText(m.lanMask, "255.255.248.0");
    SetText(m.lanGateway, "198.18.16.1");
    SetText(m.lanDns, "198.18.16.1");
    std::snprintf(text, sizeof text, "198.18.%u.%u", wifiBase + third, fourth);
    SetText(m.wifiIp, text);
    SetText(m.wifiMask, "255.255.248.0");
    SetText(m.wifiGateway, "198.18.24.1");
    SetText(m.wifiDns, "198.18.24.1");
    const std::uint8_t lanMac[6] = {0x00,
                                    0x1A,
                                    0x2B,
                                    static_cast<std::uint8_t>(index >> 16),
                                    static_cast<std::uint8_t>(index >> 8),
                                    static_cast<std::uint8_t>(index)};
    std::memcpy(m.lanMac, lanMac, 6);
    std::memcpy(m.wifiMac, lanMac, 6);
    m.wifiMac[2] = 0x2C;
    SetText(m.version, "V2.4.1");
    SetText(m.apPassword, "12345678");
    SetText(m.ssid, "LarkLab");
    SetText(m.wifiPassword, "labpass123");
    m.lanDhcp = 0;
    m.wifiDhcp = 0;
    m.apMode = 0;
    m.encryptType = 2;
    return camera;
}

std::string CSimCamera::Apply(std::string_view key, std::string_view value)
{
    WireMessage& m = m_image;
    int number = 0;
    if (key == "id")
        return SetText(m.idSerial, value);
    if (key == "name" || key == "namehex") {
        auto bytes = key == "name" ? PercentDecode(value) : HexDecode(value);
        if (!bytes)
            return "bad encoding of the name";
        return SetText(m.name, *bytes);
    }
    if (key == "lanip")
        return SetText(m.lanIp, value);
    if (key == "lanmask")
        return SetText(m.lanMask, value);
    if (key == "langw")
        return SetText(m.lanGateway, value);
    if (key == "landns")
        return SetText(m.lanDns, value);
    if (key == "wifiip")
        return SetText(m.wifiIp, value);
    if (key == "wifimask")
        return SetText(m.wifiMask, value);
    if (key == "wifigw")
        return SetText(m.wifiGateway, value);
    if (key == "wifidns")
        return SetText(m.wifiDns, value);
    if (key == "version")
        return SetText(m.version, value);
    if (key == "ssid" || key == "appass" || key == "wifipass") {
        auto bytes = PercentDecode(value);
        if (!bytes)
            return "bad percent encoding";
        return key == "ssid"     ? SetText(m.ssid, *bytes)
               : key == "appass" ? SetText(m.apPassword, *bytes)
                                 : SetText(m.wifiPassword, *bytes);
    }
    if (key == "lanmac")
        return SetMac(m.lanMac, value);
    if (key == "wifimac")
        return SetMac(m.wifiMac, value);
    if (key == "landhcp" || key == "wifidhcp" || key == "apmode" || key == "encrypt") {
        if (!ParseInt(value, -2147483647, 2147483647, number))
            return "expected a number";
        (key == "landhcp"    ? m.lanDhcp
         : key == "wifidhcp" ? m.wifiDhcp
         : key == "apmode"   ? m.apMode
                             : m.encryptType) = number;
        return {};
    }
    if (key == "net") {
        if (value != "lan" && value != "wifi")
            return "net is lan or wifi";
        m_bWifi = value == "wifi";
        return {};
    }
    if (key == "landev" || key == "wifidev") {
        if (value.empty() || value.size() >= 16)
            return "bad interface name";
        (key == "landev" ? m_strLanDevice : m_strWifiDevice) = std::string(value);
        return {};
    }
    if (key == "from") {
        if (value == "auto")
            m_from = From::Auto;
        else if (value == "lan")
            m_from = From::Lan;
        else if (value == "wifi")
            m_from = From::Wifi;
        else if (value == "both")
            m_from = From::Both;
        else if (auto address = ParseIpv4(value); address && IsLabSourceAddress(*address)) {
            m_from = From::Address;
            m_fromAddress = *address;
        } else
            return "from is auto, lan, wifi, both or an address the lab's camera side owns";
        return {};
    }
    if (key == "delay")
        return ParseInt(value, 0, 600000, m_nDelayMs) ? "" : "delay is 0 to 600000 ms";
    if (key == "dup")
        return ParseInt(value, 0, 1000, m_nDuplicates) ? "" : "dup is 0 to 1000";
    if (key == "shortlen")
        return ParseInt(value, 0, static_cast<int>(MESSAGE_SIZE) - 1, m_nShortLength)
                   ? ""
                   : "shortlen is 0 to 1087";
    if (key == "anylink") {
        if (value != "0" && value != "1")
            return "anylink is 0 or 1";
        m_bAnyLink = value == "1";
        return {};
    }
    if (key == "onset") {
        for (std::size_t i = 0; i < std::size(ONSET_NAMES); ++i)
            if (value == ONSET_NAMES[i]) {
                m_onSet = static_cast<OnSet>(i);
                return {};
            }
        return "onset is apply, ignore or keepname";
    }
    if (key == "applydelay")
        return ParseInt(value, 0, 600000, m_nApplyDelayMs) ? "" : "applydelay is 0 to 600000 ms";
    if (key == "bad") {
        for (std::size_t i = 0; i < std::size(BAD_NAMES); ++i)
            if (value == BAD_NAMES[i]) {
                m_bad = static_cast<Bad>(i);
                return {};
            }
        return "bad is none, type, idlen, idletter, short, noterm, badutf8 or extra";
    }
    return "unknown key " + std::string(key);
}

std::string CSimCamera::IdSerial() const
{
    return FieldText(m_image.idSerial, sizeof m_image.idSerial);
}

void CSimCamera::AdoptImage(const WireMessage& message)
{
    m_image = message;
    m_image.type = MSG_INFO;
}

bool CSimCamera::TakeSettings(const WireMessage& message)
{
    switch (m_onSet) {
    case OnSet::Ignore:
        return false;
    case OnSet::KeepName: {
        char name[sizeof m_image.name];
        std::memcpy(name, m_image.name, sizeof name);
        AdoptImage(message);
        std::memcpy(m_image.name, name, sizeof name);
        return true;
    }
    case OnSet::Apply:
        break;
    }
    AdoptImage(message);
    return true;
}

std::vector<SimReply> CSimCamera::BuildReplies(std::string& warning) const
{
    struct Source {
        std::string text;
        const std::string* device;
    };
    std::vector<Source> sources;
    const std::string lanIp = FieldText(m_image.lanIp, sizeof m_image.lanIp);
    const std::string wifiIp = FieldText(m_image.wifiIp, sizeof m_image.wifiIp);
    From from = m_from == From::Auto ? (m_bWifi ? From::Wifi : From::Lan) : m_from;
    if (from == From::Lan || from == From::Both)
        sources.push_back({lanIp, &m_strLanDevice});
    if (from == From::Wifi || from == From::Both)
        sources.push_back({wifiIp, &m_strWifiDevice});
    if (from == From::Address)
        sources.push_back({FormatIpv4(m_fromAddress), &ListenDevice()});

    std::string bytes(reinterpret_cast<const char*>(&m_image), MESSAGE_SIZE);
    Shape(bytes);
    std::vector<SimReply> replies;
    for (const Source& source : sources) {
        auto address = ParseIpv4(source.text);
        if (!address || !IsLabSourceAddress(*address)) {
            warning += "camera " + IdSerial() + " cannot send from '" + source.text + "'; ";
            continue;
        }
        for (int i = 0; i < m_nDuplicates; ++i)
            replies.push_back({bytes, *address, *source.device});
    }
    return replies;
}

void CSimCamera::Shape(std::string& bytes) const
{
    auto* m = reinterpret_cast<WireMessage*>(bytes.data());
    switch (m_bad) {
    case Bad::None:
        break;
    case Bad::Type:
        m->type = MSG_INFO + 256; // 87 in the first byte, 1 in the second
        break;
    case Bad::IdLength: {
        std::size_t length = FieldText(m->idSerial, sizeof m->idSerial).size();
        if (length > 0)
            m->idSerial[length - 1] = '\0';
        break;
    }
    case Bad::IdLetter:
        m->idSerial[0] = 'e';
        break;
    case Bad::Short:
        bytes.resize(static_cast<std::size_t>(m_nShortLength));
        break;
    case Bad::NoTerminator: {
        // Every text but idSerial runs to the end of its field.
        auto pad = [](char* field, std::size_t width) {
            for (std::size_t k = FieldText(field, width).size(); k < width; ++k)
                field[k] = 'X';
        };
        pad(m->name, sizeof m->name);
        pad(m->lanIp, sizeof m->lanIp);
        pad(m->lanMask, sizeof m->lanMask);
        pad(m->lanGateway, sizeof m->lanGateway);
        pad(m->lanDns, sizeof m->lanDns);
        pad(m->version, sizeof m->version);
        pad(m->apPassword, sizeof m->apPassword);
        pad(m->wifiIp, sizeof m->wifiIp);
        pad(m->ssid, sizeof m->ssid);
        pad(m->wifiPassword, sizeof m->wifiPassword);
        pad(m->wifiMask, sizeof m->wifiMask);
        pad(m->wifiGateway, sizeof m->wifiGateway);
        pad(m->wifiDns, sizeof m->wifiDns);
        break;
    }
    case Bad::BadUtf8:
        std::memset(m->name, 0, sizeof m->name);
        std::memcpy(m->name, "\xC3\x28 bad \xFF\xFE \xE6\x91", 11);
        break;
    case Bad::Extra:
        m->type = MSG_INFO_EXTRA;
        break;
    }
}

std::string CSimCamera::Describe() const
{
    std::string line = "id=" + PercentEncode(IdSerial());
    line += " name=" + PercentEncode(FieldText(m_image.name, sizeof m_image.name));
    line += " net=" + std::string(m_bWifi ? "wifi" : "lan");
    line += " lanip=" + PercentEncode(FieldText(m_image.lanIp, sizeof m_image.lanIp));
    line += " wifiip=" + PercentEncode(FieldText(m_image.wifiIp, sizeof m_image.wifiIp));
    line += " landev=" + m_strLanDevice + " wifidev=" + m_strWifiDevice;
    line += " from=" + (m_from == From::Address ? FormatIpv4(m_fromAddress) : std::string(FromName(m_from)));
    line += " delay=" + std::to_string(m_nDelayMs) + " dup=" + std::to_string(m_nDuplicates);
    line += " bad=" + std::string(BAD_NAMES[static_cast<int>(m_bad)]);
    line += " anylink=" + std::string(m_bAnyLink ? "1" : "0");
    line += " onset=" + std::string(ONSET_NAMES[static_cast<int>(m_onSet)]);
    line += " applydelay=" + std::to_string(m_nApplyDelayMs);
    return line;
}
