#pragma once
// COnvifRows: the devices of other makers that WS-Discovery heard (ONVIF cameras, recorders),
// one per endpoint, each with the record and the texts of the camera list's row it would have.
// Owned by the camera list's rows (window thread only).
//
// A device is keyed by its EndpointReference address: a Match or a Hello adds it or rewrites it,
// a Bye forgets it. Whether it stands on a row of its own is decided by the camera rows, which
// know this maker's cameras: a device that is one of them (same MAC, or same address when the
// MACs do not tell them apart) adds no row.
//
// Devices are few in practice, but nothing bounds what a network may announce: past MAX_DEVICES
// a new endpoint is dropped and counted (the known ones are still rewritten and forgotten).

#include "protocol/OnvifDevice.h"
#include "protocol/WireMessage.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class COnvifRows {
  public:
    static constexpr int COLUMN_COUNT = 7;
    static constexpr std::size_t MAX_DEVICES = 4096;
    using Texts = std::array<std::wstring, COLUMN_COUNT>;

    struct Device {
        DeviceRecord record;
        Texts texts;
        std::wstring name;                    // the whole name (the record's field is 20 bytes)
        std::optional<std::uint32_t> address; // the row's address as a number (host order)
        std::optional<std::uint64_t> mac;     // the MAC's six bytes as a number
        std::uint64_t nHeard = 0;             // order of first announcement: rows follow it
    };

    // Applies a batch; true when a device was added, rewritten or forgotten.
    bool Apply(const std::vector<OnvifAnnouncement>& batch);
    void Clear();
    bool IsEmpty() const { return m_devices.empty(); }
    const std::unordered_map<std::string, Device>& Devices() const { return m_devices; }
    // New endpoints dropped because MAX_DEVICES were known.
    std::size_t GetDropped() const { return m_nDropped; }

    // A device's record and row texts: the address column from the first IPv4 XAddrs entry, no
    // gateway, the name decoded from UTF-8, "ONVIF" and the hardware as its identity, "ONVIF" as
    // its network, its MAC where a scope gives one, no version.
    static DeviceRecord RecordOf(const OnvifDevice& device, std::uint32_t senderIp);
    static Texts TextsOf(const OnvifDevice& device);
    // "AA:BB:CC:DD:EE:FF" (or with '-', any letter case) as a number; none for anything else and
    // for the all-zero address.
    static std::optional<std::uint64_t> ParseMac(const std::string& text);
    static std::uint64_t MacNumber(const std::uint8_t (&mac)[8]);

  private:
    std::unordered_map<std::string, Device> m_devices;
    std::uint64_t m_nHeardCount = 0;
    std::size_t m_nDropped = 0;
};
