#include "tools/camsim/SimFleet.h"

#include "tools/camsim/SimText.h"

#include <cstdio>
#include <string>

std::vector<CSimCamera> DefaultFleet()
{
    struct Entry {
        const char* id;
        const char* name; // UTF-8
        bool wifi;
        const char* version;
    };
    static const Entry entries[] = {
        {"a1b2c3d4e5f6", "前门", false, "V2.1.0"},
        {"b20000000001", "Lobby", false, "V2.1.0"},
        {"c30000000002", "大厅摄像机", false, "V3.0.12"},
        {"d40000000003", "Warehouse-2", false, "V2.4.1"},
        {"F12345678901", "停车场入口", false, "V3.0.12"},
        {"a60000000005", "Loading Dock East 1", false, "V2.1.0"}, // 19 bytes, the longest that fits
        {"f70000000006", "仓库北侧通道", false, "V2.4.1"},        // 18 bytes
        {"b80000000007", "后门", true, "V3.1.0"},
        {"c90000000008", "Garden", true, "V3.1.0"},
        {"da0000000009", "办公室", true, "V2.4.1"},
        {"fb000000000a", "Gate 3", true, "V3.1.0"},
        {"ac000000000b", "会议室Cam", true, "V3.0.12"},
    };
    std::vector<CSimCamera> fleet;
    for (std::size_t i = 0; i < std::size(entries); ++i) {
        CSimCamera camera = CSimCamera::Generated(i);
        const Entry& e = entries[i];
        const std::string host = std::to_string(131 + i);
        char mac[4];
        std::snprintf(mac, sizeof mac, "%02X", static_cast<unsigned>(0x50 + i));
        camera.Apply("id", e.id);
        camera.Apply("name", PercentEncode(e.name));
        camera.Apply("net", e.wifi ? "wifi" : "lan");
        camera.Apply("version", e.version);
        camera.Apply("lanip", "198.18.1." + host);
        camera.Apply("lanmask", "255.255.255.0");
        camera.Apply("langw", "198.18.1.1");
        camera.Apply("landns", "198.18.1.1");
        camera.Apply("wifiip", "198.18.2." + host);
        camera.Apply("wifimask", "255.255.255.0");
        camera.Apply("wifigw", "198.18.2.1");
        camera.Apply("wifidns", "198.18.2.1");
        camera.Apply("lanmac", std::string("00:1A:2B:3C:4D:") + mac);
        camera.Apply("wifimac", std::string("00:1A:2B:3C:5E:") + mac);
        camera.Apply("wifidhcp", e.wifi && i % 2 == 0 ? "1" : "0");
        fleet.push_back(std::move(camera));
    }
    return fleet;
}

std::vector<CSimCamera> GeneratedFleet(std::size_t count)
{
    std::vector<CSimCamera> fleet;
    fleet.reserve(count);
    for (std::size_t i = 0; i < count && i < MAX_FLEET; ++i)
        fleet.push_back(CSimCamera::Generated(i));
    return fleet;
}
