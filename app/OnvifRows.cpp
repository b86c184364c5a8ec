#include "app/OnvifRows.h"

#include "base/Ipv4Text.h"
#include "base/TextConvert.h"

#include <charconv>
#include <cstring>
#include <system_error>

namespace {

std::wstring WideOfUtf8(const std::string& utf8)
{
    const wchar_t* wide = TextUtf8ToWide(utf8.c_str());
    return wide ? wide : L"";
}

} // namespace

bool COnvifRows::Apply(const std::vector<OnvifAnnouncement>& batch)
{
    bool bChanged = false;
    for (const OnvifAnnouncement& news : batch) {
        const std::string& endpoint = news.device.endpoint;
        if (endpoint.empty())
            continue;
        if (news.kind == OnvifNews::Bye) {
            bChanged = m_devices.erase(endpoint) > 0 || bChanged;
            continue;
        }
        auto found = m_devices.find(endpoint);
        if (found == m_devices.end()) {
            if (m_devices.size() >= MAX_DEVICES) {
                ++m_nDropped;
                continue;
            }
            found = m_devices.emplace(endpoint, Device{}).first;
            found->second.nHeard = m_nHeardCount++;
        }
        Device& device = found->second;
        const DeviceRecord record = RecordOf(news.device, news.senderIp);
        Texts texts = TextsOf(news.device);
        const std::wstring name = WideOfUtf8(news.device.name);
        if (texts == device.texts && name == device.name &&
            std::memcmp(&record, &device.record, sizeof record) == 0)
            continue;
        device.record = record;
        device.texts = std::move(texts);
        device.name = name;
        device.address = ParseIpv4(news.device.address);
        if (device.address && IsUnsetIpv4(*device.address))
            device.address.reset();
        device.mac = ParseMac(news.device.mac);
        bChanged = true;
    }
    return bChanged;
}

void COnvifRows::Clear()
{
    m_devices.clear();
}

DeviceRecord COnvifRows::RecordOf(const OnvifDevice& device, std::uint32_t senderIp)
{
    DeviceRecord record;
    std::memset(&record, 0, sizeof record);
    record.flags = DEVICE_ONVIF;
    record.senderIp = senderIp;
    // Written anew from the number, so that the web page and the checks only ever see an address.
    const auto address = ParseIpv4(device.address);
    const std::string dotted = address ? FormatIpv4(*address) : std::string();
    WriteTextField(record.sourceIp, dotted);
    WriteTextField(record.message.lanIp, dotted);
    WriteTextField(record.message.idSerial,
                   std::string_view(device.endpoint).substr(0, sizeof record.message.idSerial - 1));
    TextUtf8ToAnsiFit(device.name.c_str(), device.name.size(), record.message.name,
                      sizeof record.message.name);
    WriteTextField(record.wireName,
                   std::string_view(device.name).substr(0, CutUtf8(device.name, sizeof record.wireName - 1)));
    if (const auto mac = ParseMac(device.mac))
        for (std::size_t b = 0; b < MAC_BYTES; ++b)
            record.message.lanMac[b] = static_cast<std::uint8_t>(*mac >> (8 * (MAC_BYTES - 1 - b)));
    return record;
}

COnvifRows::Texts COnvifRows::TextsOf(const OnvifDevice& device)
{
    const auto address = ParseIpv4(device.address);
    const auto mac = ParseMac(device.mac);
    std::wstring identity = L"ONVIF";
    if (!device.hardware.empty())
        identity += L" " + WideOfUtf8(device.hardware);
    std::wstring macText;
    if (mac) {
        std::uint8_t bytes[8] = {};
        for (std::size_t b = 0; b < MAC_BYTES; ++b)
            bytes[b] = static_cast<std::uint8_t>(*mac >> (8 * (MAC_BYTES - 1 - b)));
        const std::string text = FormatMac(bytes);
        macText.assign(text.begin(), text.end());
    }
    return {
        address ? FormatIpv4Wide(*address) : std::wstring(),
        std::wstring(),
        WideOfUtf8(device.name),
        identity,
        L"ONVIF",
        macText,
        std::wstring(),
    };
}

std::optional<std::uint64_t> COnvifRows::ParseMac(const std::string& text)
{
    // Six pairs of hex digits with one kind of separator between them.
    if (text.size() != 17)
        return std::nullopt;
    const char separator = text[2];
    if (separator != ':' && separator != '-')
        return std::nullopt;
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < 6; ++i) {
        const std::size_t at = i * 3;
        if (i > 0 && text[at - 1] != separator)
            return std::nullopt;
        unsigned byte = 0;
        const char* end = text.data() + at + 2;
        const auto [next, error] = std::from_chars(text.data() + at, end, byte, 16);
        if (error != std::errc() || next != end)
            return std::nullopt;
        value = value << 8 | byte;
    }
    if (value == 0)
        return std::nullopt;
    return value;
}

std::uint64_t COnvifRows::MacNumber(const std::uint8_t (&mac)[8])
{
    std::uint64_t value = 0;
    for (std::size_t b = 0; b < MAC_BYTES; ++b)
        value = value << 8 | mac[b];
    return value;
}
