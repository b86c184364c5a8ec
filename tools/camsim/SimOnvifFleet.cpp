#include "tools/camsim/SimOnvifFleet.h"

#include "protocol/OnvifMessage.h"
#include "tools/camsim/SimText.h"

#include <cstdio>

namespace {

constexpr SimOnvifHostile ALL_HOSTILE[] = {
    SimOnvifHostile::Malformed, SimOnvifHostile::Oversized, SimOnvifHostile::Nested,
    SimOnvifHostile::Laughs,    SimOnvifHostile::External,  SimOnvifHostile::WrongNamespace,
    SimOnvifHostile::BadUtf8,   SimOnvifHostile::Stale,
};
constexpr const char* HOSTILE_NAMES[] = {"malformed", "oversized", "nested",  "laughs",
                                         "external",  "wrongns",   "badutf8", "stale"};
// The largest payload of one UDP datagram over IPv4.
constexpr std::size_t UDP_PAYLOAD_MAX = 65507;

std::string Namespaces(const char* soapNs = SOAP_ENVELOPE_NS)
{
    return std::string(" xmlns:s=\"") + soapNs + "\" xmlns:a=\"" + WSA_NS + "\" xmlns:d=\"" + WSD_NS +
           "\" xmlns:dn=\"" + ONVIF_NETWORK_NS + "\" xmlns:tds=\"" + ONVIF_DEVICE_NS + "\"";
}

std::string Envelope(const char* action, const std::string& relatesTo, const std::string& body,
                     const std::string& prolog = {}, const char* soapNs = SOAP_ENVELOPE_NS)
{
    std::string header = std::string("<a:Action s:mustUnderstand=\"1\">") + action +
                         "</a:Action><a:MessageID>" + MakeOnvifMessageId() + "</a:MessageID>";
    if (!relatesTo.empty())
        header += "<a:RelatesTo>" + relatesTo + "</a:RelatesTo>";
    header += "<a:To s:mustUnderstand=\"1\">";
    header += relatesTo.empty() ? WSD_TO_DISCOVERY
                                : "http://schemas.xmlsoap.org/ws/2004/08/addressing/role/anonymous";
    header += "</a:To>";
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + prolog + "<s:Envelope" + Namespaces(soapNs) +
           "><s:Header>" + header + "</s:Header><s:Body>" + body + "</s:Body></s:Envelope>";
}

std::string DeviceElements(const SimOnvifDevice& device)
{
    std::string scopes = "onvif://www.onvif.org/type/video_encoder onvif://www.onvif.org/Profile/Streaming "
                         "onvif://www.onvif.org/location/lab onvif://www.onvif.org/name/" +
                         device.nameScope + " onvif://www.onvif.org/hardware/" + device.hardwareScope;
    if (!device.macScope.empty())
        scopes += " onvif://www.onvif.org/MAC/" + device.macScope;
    return "<a:EndpointReference><a:Address>" + device.endpoint +
           "</a:Address></a:EndpointReference><d:Types>dn:NetworkVideoTransmitter tds:Device</d:Types>"
           "<d:Scopes>" +
           scopes + "</d:Scopes><d:XAddrs>" + device.xaddrs +
           "</d:XAddrs><d:MetadataVersion>1</d:MetadataVersion>";
}

SimOnvifDevice Make(const char* endpoint, const char* name, const char* hardware, const char* mac,
                    const char* source, const char* device, const std::string& xaddrsBefore = {})
{
    SimOnvifDevice d;
    d.endpoint = endpoint;
    d.nameScope = name;
    d.hardwareScope = hardware;
    d.macScope = mac;
    d.source = ParseIpv4(source).value_or(0);
    d.device = device;
    d.xaddrs = xaddrsBefore + "http://" + std::string(source) + "/onvif/device_service";
    return d;
}

} // namespace

std::vector<SimOnvifDevice> DefaultOnvifFleet()
{
    const std::string before = "http://[fe80::20f:7cff:fe00:1]/onvif/device_service "
                               "http://nvt.lab.example/onvif/device_service ";
    return {
        Make("urn:uuid:5a0e0001-0000-4000-8000-000000000001", "Caf%C3%A9%20Nord", "NVT-100",
             "00-0F-7C-00-00-01", "198.18.1.200", "lab0c", before),
        // 北门球机 ("north gate dome")
        Make("urn:uuid:5a0e0002-0000-4000-8000-000000000002", "%E5%8C%97%E9%97%A8%E7%90%83%E6%9C%BA",
             "PTZ%20X%2F2", "000f7c000002", "198.18.1.201", "lab0c", "http://[2001:db8::2]:8080/onvif "),
        Make("urn:uuid:5a0e0003-0000-4000-8000-000000000003", "Entr%C3%A9e%2050%25", "Dome%E2%84%A2",
             "00:0F:7C:00:00:03", "198.18.2.200", "lab1c", before),
        // The first device again, answering from a second address of its own.
        Make("urn:uuid:5a0e0001-0000-4000-8000-000000000001", "Caf%C3%A9%20Nord", "NVT-100",
             "00-0F-7C-00-00-01", "198.18.1.202", "lab0c"),
        // Also one of this maker's cameras: a1b2c3d4e5f6 (前门) at its own address.
        Make("urn:uuid:5a0e0005-0000-4000-8000-000000000005", "%E5%89%8D%E9%97%A8", "LV-Cam",
             "00:1A:2B:3C:4D:50", "198.18.1.131", "lab0c"),
        // And b20000000001 (Lobby) by its MAC, answering from another address.
        Make("urn:uuid:5a0e0006-0000-4000-8000-000000000006", "Lobby%20ONVIF", "LV-Cam", "001A2B3C4D51",
             "198.18.1.203", "lab0c", "http://lobby.lab.example/ "),
    };
}

std::vector<SimOnvifDevice> GeneratedOnvifFleet(std::size_t count)
{
    std::vector<SimOnvifDevice> fleet;
    for (std::size_t i = 0; i < count && i < MAX_ONVIF_FLEET; ++i) {
        char endpoint[64], mac[20], name[64], before[96];
        std::snprintf(endpoint, sizeof endpoint, "urn:uuid:4f4e5649-0000-4000-8000-%012zx", i);
        std::snprintf(mac, sizeof mac, "02-4F-4E-00-%02zX-%02zX", (i >> 8) & 0xFF, i & 0xFF);
        // Alternately "ONVIF-0000" and "网络摄像机0001" ("network camera").
        if (i % 2 == 0)
            std::snprintf(name, sizeof name, "ONVIF-%04zu", i);
        else
            std::snprintf(name, sizeof name,
                          "%%E7%%BD%%91%%E7%%BB%%9C%%E6%%91%%84%%E5%%83%%8F%%E6%%9C%%BA%04zu", i);
        std::snprintf(before, sizeof before, "http://[fd00::%zx]/onvif/device_service http://onvif-%zu.lab/ ",
                      i + 1, i);
        const std::uint32_t source = 0xC6124000u + static_cast<std::uint32_t>((i / 253) << 8) + 2 + i % 253;
        fleet.push_back(Make(endpoint, name, "Model-X", mac, FormatIpv4(source).c_str(), "lab0c", before));
    }
    return fleet;
}

std::optional<SimOnvifHostile> ParseOnvifHostile(std::string_view name)
{
    for (std::size_t i = 0; i < std::size(ALL_HOSTILE); ++i)
        if (name == HOSTILE_NAMES[i])
            return ALL_HOSTILE[i];
    return std::nullopt;
}

const char* OnvifHostileName(SimOnvifHostile kind)
{
    return HOSTILE_NAMES[static_cast<std::size_t>(kind)];
}

std::uint32_t OnvifHostileSource(SimOnvifHostile kind)
{
    return 0xC61201F0u + static_cast<std::uint32_t>(kind); // 198.18.1.240 upwards
}

std::string OnvifHostileEndpoint(SimOnvifHostile kind)
{
    return std::string("urn:uuid:bad-") + OnvifHostileName(kind);
}

std::string BuildSimProbeMatches(const SimOnvifDevice& device, const std::string& relatesTo)
{
    return Envelope(WSD_ACTION_PROBE_MATCHES, relatesTo,
                    "<d:ProbeMatches><d:ProbeMatch>" + DeviceElements(device) +
                        "</d:ProbeMatch></d:ProbeMatches>");
}

std::string BuildSimHello(const SimOnvifDevice& device)
{
    return Envelope(WSD_ACTION_HELLO, {}, "<d:Hello>" + DeviceElements(device) + "</d:Hello>");
}

std::string BuildSimBye(const SimOnvifDevice& device)
{
    return Envelope(WSD_ACTION_BYE, {},
                    "<d:Bye><a:EndpointReference><a:Address>" + device.endpoint +
                        "</a:Address></a:EndpointReference></d:Bye>");
}

std::string BuildSimHostile(SimOnvifHostile kind, const std::string& relatesTo)
{
    SimOnvifDevice device;
    device.endpoint = OnvifHostileEndpoint(kind);
    device.nameScope = std::string("Hostile-") + OnvifHostileName(kind);
    device.hardwareScope = "Evil";
    const std::string address = FormatIpv4(OnvifHostileSource(kind));
    device.xaddrs = "http://" + address + "/onvif/device_service";
    const std::string good = BuildSimProbeMatches(device, relatesTo);
    switch (kind) {
    case SimOnvifHostile::Malformed:
        return good.substr(0, good.find("</d:Scopes>"));
    case SimOnvifHostile::Oversized: {
        std::string text = BuildSimProbeMatches(device, relatesTo);
        const std::size_t at = text.find("</d:Scopes>");
        text.insert(at, std::string(UDP_PAYLOAD_MAX - text.size(), 'x'));
        return text;
    }
    case SimOnvifHostile::Nested: {
        std::string open, close;
        for (int i = 0; i < 8000; ++i) {
            open += "<n>";
            close += "</n>";
        }
        return Envelope(WSD_ACTION_PROBE_MATCHES, relatesTo, open + close);
    }
    case SimOnvifHostile::Laughs: {
        std::string prolog = "<!DOCTYPE s:Envelope [<!ENTITY lol0 \"lol\">";
        for (int i = 1; i <= 9; ++i) {
            prolog += "<!ENTITY lol" + std::to_string(i) + " \"";
            for (int k = 0; k < 10; ++k)
                prolog += "&lol" + std::to_string(i - 1) + ";";
            prolog += "\">";
        }
        prolog += "]>";
        device.nameScope = "&lol9;";
        return Envelope(WSD_ACTION_PROBE_MATCHES, relatesTo,
                        "<d:ProbeMatches><d:ProbeMatch>" + DeviceElements(device) +
                            "</d:ProbeMatch></d:ProbeMatches>",
                        prolog);
    }
    case SimOnvifHostile::External:
        device.nameScope = "&passwd;";
        return Envelope(WSD_ACTION_PROBE_MATCHES, relatesTo,
                        "<d:ProbeMatches><d:ProbeMatch>" + DeviceElements(device) +
                            "</d:ProbeMatch></d:ProbeMatches>",
                        "<!DOCTYPE s:Envelope [<!ENTITY passwd SYSTEM \"file:///etc/passwd\">]>");
    case SimOnvifHostile::WrongNamespace:
        return Envelope(WSD_ACTION_PROBE_MATCHES, relatesTo,
                        "<d:ProbeMatches><d:ProbeMatch>" + DeviceElements(device) +
                            "</d:ProbeMatch></d:ProbeMatches>",
                        {}, "http://schemas.xmlsoap.org/soap/envelope/");
    case SimOnvifHostile::BadUtf8:
        device.nameScope = "Bad%C3%28Name";
        return BuildSimProbeMatches(device, relatesTo);
    case SimOnvifHostile::Stale:
        return BuildSimProbeMatches(device, MakeOnvifMessageId());
    }
    return good;
}

std::string DescribeOnvifDevice(const SimOnvifDevice& device)
{
    return "endpoint=" + device.endpoint + " from=" + FormatIpv4(device.source) + " dev=" + device.device +
           " name=" + device.nameScope + " hardware=" + device.hardwareScope + " mac=" + device.macScope +
           " present=" + (device.present ? "1" : "0") + " xaddrs=" + device.xaddrs;
}
