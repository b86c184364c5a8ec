#include "protocol/OnvifMessage.h"

#include "base/Ipv4Text.h"

#include <pugixml.hpp>

#include <cstdint>
#include <optional>
#include <random>
#include <string_view>
#include <utility>

namespace {

constexpr std::string_view SCOPE_NAME = "onvif://www.onvif.org/name/";
constexpr std::string_view SCOPE_HARDWARE = "onvif://www.onvif.org/hardware/";
constexpr std::string_view SCOPE_MAC = "onvif://www.onvif.org/mac/";
constexpr std::string_view XML_NS = "http://www.w3.org/XML/1998/namespace";
// Attributes looked at while resolving one prefix: a name cannot make the parser read a
// datagram's worth of attributes for every element it resolves.
constexpr int RESOLVE_ATTRIBUTE_MAX = 256;

bool IsXmlSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsXmlSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsXmlSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i])
            return false;
    }
    return true;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        int extra = 0;
        std::uint32_t code = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2;
            code = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3;
            code = lead & 0x07;
        } else {
            return false;
        }
        if (i + extra >= text.size())
            return false;
        for (int k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3F);
        }
        if ((extra == 2 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) ||
            (extra == 3 && (code < 0x10000 || code > 0x10FFFF)))
            return false;
        i += extra + 1;
    }
    return true;
}

// A field the list shows: within the limit, UTF-8, and no control character (which would cut or
// break a row).
bool IsShowableField(std::string_view text)
{
    if (text.size() > ONVIF_FIELD_MAX || !IsValidUtf8(text))
        return false;
    for (const char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return false;
    return true;
}

bool PercentDecode(std::string_view text, std::string& out)
{
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return false;
        const int high = HexValue(text[i + 1]);
        const int low = HexValue(text[i + 2]);
        if (high < 0 || low < 0)
            return false;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return IsShowableField(out);
}

// 12 hex digits, bare or in pairs separated all by ':' or all by '-', as "AA:BB:CC:DD:EE:FF".
std::string NormaliseMac(std::string_view text)
{
    std::string digits;
    if (text.size() == 17) {
        const char separator = text[2];
        if (separator != ':' && separator != '-')
            return {};
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (i % 3 == 2) {
                if (text[i] != separator)
                    return {};
            } else {
                digits += text[i];
            }
        }
    } else if (text.size() == 12) {
        digits = std::string(text);
    } else {
        return {};
    }
    std::string mac;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (HexValue(digits[i]) < 0)
            return {};
        if (i > 0 && i % 2 == 0)
            mac += ':';
        const char c = digits[i];
        mac += (c >= 'a' && c <= 'f') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return mac;
}

// A character reference must name a character XML allows (never U+0000, which would cut the
// text it stands in short).
bool IsXmlChar(std::uint32_t code)
{
    return code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF) ||
           (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF);
}

// What pugixml lets through and this receiver does not: any markup declaration (a DOCTYPE, and
// with it every entity of the sender's own), a reference to an entity XML does not predefine, a
// character reference to a character XML forbids, and NUL bytes. Comments and CDATA sections are
// skipped over.
bool RawTextIsAcceptable(std::string_view text)
{
    static constexpr std::string_view ENTITIES[] = {"lt;", "gt;", "amp;", "apos;", "quot;"};
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\0')
            return false;
        if (c == '<' && text.substr(i, 2) == "<!") {
            std::string_view end;
            if (text.substr(i, 4) == "<!--")
                end = "-->";
            else if (text.substr(i, 9) == "<![CDATA[")
                end = "]]>";
            else
                return false;
            const std::size_t close = text.find(end, i + 4);
            if (close == std::string_view::npos)
                return false;
            if (text.substr(i, close - i).find('\0') != std::string_view::npos)
                return false;
            i = close + end.size();
            continue;
        }
        if (c == '&') {
            const std::string_view rest = text.substr(i + 1);
            bool known = false;
            for (const std::string_view entity : ENTITIES)
                known = known || rest.substr(0, entity.size()) == entity;
            if (!known) {
                if (rest.empty() || rest[0] != '#')
                    return false;
                const bool hex = rest.size() > 1 && rest[1] == 'x';
                std::size_t k = hex ? 2 : 1;
                std::uint32_t code = 0;
                int digits = 0;
                for (; k < rest.size() && rest[k] != ';'; ++k) {
                    const int value =
                        hex ? HexValue(rest[k]) : (rest[k] >= '0' && rest[k] <= '9' ? rest[k] - '0' : -1);
                    if (value < 0 || ++digits > 8)
                        return false;
                    code = code * (hex ? 16 : 10) + static_cast<std::uint32_t>(value);
                }
                if (k >= rest.size() || digits == 0 || !IsXmlChar(code))
                    return false;
            }
        }
        ++i;
    }
    return true;
}

// Reads the few elements a discovery message is made of, resolving each name's prefix through
// the xmlns attributes of the element and its ancestors (pugixml keeps names as written). It only
// ever walks down the fixed path of the message and up through parents: no recursion, so nesting
// of any depth costs no stack.
class CMessageReader {
  public:
    bool Bad() const { return m_bBad; }
    void SetBad() { m_bBad = true; }

    // The namespace bound to `prefix` ("" for the default) at `node`; sets Bad for an unbound one.
    std::string_view Resolve(pugi::xml_node node, std::string_view prefix)
    {
        if (prefix == "xml")
            return XML_NS;
        int seen = 0;
        for (; node && node.type() == pugi::node_element; node = node.parent()) {
            const char* found = nullptr;
            for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
                if (++seen > RESOLVE_ATTRIBUTE_MAX) {
                    m_bBad = true;
                    return {};
                }
                const std::string_view name = a.name();
                const bool match = prefix.empty()
                                       ? name == "xmlns"
                                       : (name.size() == prefix.size() + 6 && name.substr(0, 6) == "xmlns:" &&
                                          name.substr(6) == prefix);
                if (!match)
                    continue;
                if (found) { // bound twice on one element
                    m_bBad = true;
                    return {};
                }
                found = a.value();
            }
            if (found) {
                if (!prefix.empty() && *found == '\0')
                    m_bBad = true;
                return found;
            }
        }
        if (!prefix.empty())
            m_bBad = true;
        return {};
    }

    // The namespace and local part of a qualified name written at `node`.
    std::pair<std::string_view, std::string_view> Qualify(pugi::xml_node node, std::string_view qname)
    {
        const std::size_t colon = qname.find(':');
        if (colon == std::string_view::npos)
            return {Resolve(node, {}), qname};
        const std::string_view local = qname.substr(colon + 1);
        if (colon == 0 || local.empty() || local.find(':') != std::string_view::npos) {
            m_bBad = true;
            return {};
        }
        return {Resolve(node, qname.substr(0, colon)), local};
    }

    bool Is(pugi::xml_node node, std::string_view ns, std::string_view local)
    {
        if (node.type() != pugi::node_element)
            return false;
        const auto [nodeNs, nodeLocal] = Qualify(node, node.name());
        return !m_bBad && nodeNs == ns && nodeLocal == local;
    }

    // The one child element named {ns}local; null when there is none, Bad when there are several.
    pugi::xml_node Only(pugi::xml_node parent, std::string_view ns, std::string_view local)
    {
        pugi::xml_node found;
        for (pugi::xml_node child = parent.first_child(); child && !m_bBad; child = child.next_sibling()) {
            if (!Is(child, ns, local))
                continue;
            if (found) {
                m_bBad = true;
                return {};
            }
            found = child;
        }
        return m_bBad ? pugi::xml_node() : found;
    }

    // An element's text, trimmed; Bad when it holds an element.
    std::string Text(pugi::xml_node node)
    {
        std::string text;
        for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
            if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
                text += child.value();
            else if (child.type() == pugi::node_element)
                m_bBad = true;
        }
        return std::string(Trim(text));
    }

  private:
    bool m_bBad = false;
};

template <typename Each> void ForEachToken(std::string_view list, Each each)
{
    std::size_t i = 0;
    while (i < list.size()) {
        while (i < list.size() && IsXmlSpace(list[i]))
            ++i;
        const std::size_t start = i;
        while (i < list.size() && !IsXmlSpace(list[i]))
            ++i;
        if (i > start)
            each(list.substr(start, i - start));
    }
}

// The host of "scheme://host[:port][/...]" when it is a dotted IPv4 address.
std::optional<std::uint32_t> XAddrIpv4(std::string_view entry)
{
    const std::size_t scheme = entry.find("://");
    if (scheme == std::string_view::npos || scheme == 0)
        return std::nullopt;
    std::string_view authority = entry.substr(scheme + 3);
    authority = authority.substr(0, authority.find_first_of("/?#"));
    const std::size_t colon = authority.find(':');
    const std::string_view host = authority.substr(0, colon);
    if (colon != std::string_view::npos) {
        const std::string_view port = authority.substr(colon + 1);
        if (port.empty() || port.size() > 5)
            return std::nullopt;
        std::uint32_t number = 0;
        for (const char c : port) {
            if (c < '0' || c > '9')
                return std::nullopt;
            number = number * 10 + static_cast<std::uint32_t>(c - '0');
        }
        if (number > 65535)
            return std::nullopt;
    }
    return ParseIpv4(host);
}

bool IsVideoType(CMessageReader& reader, pugi::xml_node types, std::string_view qname)
{
    const auto [ns, local] = reader.Qualify(types, qname);
    return !reader.Bad() && ((ns == ONVIF_NETWORK_NS && local == "NetworkVideoTransmitter") ||
                             (ns == ONVIF_DEVICE_NS && local == "Device"));
}

// One ProbeMatch, Hello or Bye body: false when it is malformed.
bool ReadDevice(CMessageReader& reader, pugi::xml_node body, OnvifDevice& device, bool& isVideo)
{
    const pugi::xml_node reference = reader.Only(body, WSA_NS, "EndpointReference");
    const pugi::xml_node address = reference ? reader.Only(reference, WSA_NS, "Address") : pugi::xml_node();
    if (!address)
        return false;
    device.endpoint = reader.Text(address);
    if (device.endpoint.empty() || !IsShowableField(device.endpoint))
        return false;

    const pugi::xml_node types = reader.Only(body, WSD_NS, "Types");
    const pugi::xml_node scopes = reader.Only(body, WSD_NS, "Scopes");
    const pugi::xml_node xaddrs = reader.Only(body, WSD_NS, "XAddrs");
    if (reader.Bad())
        return false;

    isVideo = false;
    ForEachToken(reader.Text(types),
                 [&](std::string_view qname) { isVideo = IsVideoType(reader, types, qname) || isVideo; });

    bool ok = true;
    bool haveName = false, haveHardware = false;
    ForEachToken(reader.Text(scopes), [&](std::string_view scope) {
        std::string decoded;
        if (!haveName && StartsWithNoCase(scope, SCOPE_NAME)) {
            ok = ok && PercentDecode(scope.substr(SCOPE_NAME.size()), device.name);
            haveName = true;
        } else if (!haveHardware && StartsWithNoCase(scope, SCOPE_HARDWARE)) {
            ok = ok && PercentDecode(scope.substr(SCOPE_HARDWARE.size()), device.hardware);
            haveHardware = true;
        } else if (device.mac.empty() && StartsWithNoCase(scope, SCOPE_MAC)) {
            // A scope that gives no MAC address in a known form is a scope like any other.
            if (PercentDecode(scope.substr(SCOPE_MAC.size()), decoded))
                device.mac = NormaliseMac(decoded);
        }
    });

    ForEachToken(reader.Text(xaddrs), [&](std::string_view entry) {
        if (!device.xaddr.empty())
            return;
        if (const auto ip = XAddrIpv4(entry)) {
            device.xaddr = std::string(entry);
            device.address = FormatIpv4(*ip);
            ok = ok && IsShowableField(device.xaddr);
        }
    });
    return ok && !reader.Bad();
}

bool ParseInto(const char* data, std::size_t length, OnvifMessage& out, pugi::xml_document& doc)
{
    if (!data || length == 0 || length > WSD_MESSAGE_MAX || !RawTextIsAcceptable({data, length}))
        return false;
    const unsigned options = pugi::parse_default | pugi::parse_doctype;
    if (!doc.load_buffer(data, length, options, pugi::encoding_utf8))
        return false;

    CMessageReader reader;
    pugi::xml_node envelope;
    for (pugi::xml_node child = doc.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_doctype || (child.type() == pugi::node_element && envelope))
            return false;
        if (child.type() == pugi::node_element)
            envelope = child;
    }
    if (!envelope || !reader.Is(envelope, SOAP_ENVELOPE_NS, "Envelope"))
        return false;
    const pugi::xml_node header = reader.Only(envelope, SOAP_ENVELOPE_NS, "Header");
    const pugi::xml_node body = reader.Only(envelope, SOAP_ENVELOPE_NS, "Body");
    if (!header || !body)
        return false;
    const pugi::xml_node actionNode = reader.Only(header, WSA_NS, "Action");
    const pugi::xml_node relatesNode = reader.Only(header, WSA_NS, "RelatesTo");
    if (!actionNode || reader.Bad())
        return false;
    const std::string action = reader.Text(actionNode);

    pugi::xml_node message;
    for (pugi::xml_node child = body.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element)
            continue;
        if (message)
            return false;
        message = child;
    }
    if (!message)
        return false;

    bool isVideo = false;
    if (reader.Is(message, WSD_NS, "ProbeMatches")) {
        out.kind = OnvifNews::Match;
        out.relatesTo = relatesNode ? reader.Text(relatesNode) : std::string();
        if (action != WSD_ACTION_PROBE_MATCHES || out.relatesTo.empty() || !IsShowableField(out.relatesTo))
            return false;
        for (pugi::xml_node match = message.first_child(); match; match = match.next_sibling()) {
            if (!reader.Is(match, WSD_NS, "ProbeMatch")) {
                if (reader.Bad())
                    return false;
                continue;
            }
            OnvifAnnouncement announcement;
            announcement.kind = OnvifNews::Match;
            if (!ReadDevice(reader, match, announcement.device, isVideo))
                return false;
            out.announcements.push_back(std::move(announcement));
        }
        return !reader.Bad();
    }
    const bool hello = reader.Is(message, WSD_NS, "Hello");
    const bool bye = !hello && reader.Is(message, WSD_NS, "Bye");
    if (!hello && !bye)
        return false;
    out.kind = hello ? OnvifNews::Hello : OnvifNews::Bye;
    if (action != (hello ? WSD_ACTION_HELLO : WSD_ACTION_BYE))
        return false;
    OnvifAnnouncement announcement;
    announcement.kind = out.kind;
    if (!ReadDevice(reader, message, announcement.device, isVideo))
        return false;
    // Printers and computers say Hello too; only a video device is one of ours. A Bye names no
    // types: one for a device never listed changes nothing.
    if (hello && !isVideo)
        return false;
    if (bye)
        announcement.device = OnvifDevice{announcement.device.endpoint};
    out.announcements.push_back(std::move(announcement));
    return true;
}

} // namespace

std::string MakeOnvifMessageId()
{
    static constexpr char HEX[] = "0123456789abcdef";
    std::random_device device;
    std::mt19937_64 random(((std::uint64_t)device() << 32) ^ device());
    std::uint8_t bytes[16];
    for (std::uint8_t& b : bytes)
        b = static_cast<std::uint8_t>(random() >> 56);
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40); // version 4
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80); // RFC 4122 variant
    std::string id = "urn:uuid:";
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            id += '-';
        id += HEX[bytes[i] >> 4];
        id += HEX[bytes[i] & 0x0F];
    }
    return id;
}

std::string BuildOnvifProbe(const std::string& messageId)
{
    std::string probe;
    probe.reserve(900);
    probe += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
             "<s:Envelope xmlns:s=\"";
    probe += SOAP_ENVELOPE_NS;
    probe += "\" xmlns:a=\"";
    probe += WSA_NS;
    probe += "\" xmlns:d=\"";
    probe += WSD_NS;
    probe += "\" xmlns:dn=\"";
    probe += ONVIF_NETWORK_NS;
    probe += "\"><s:Header><a:Action s:mustUnderstand=\"1\">";
    probe += WSD_ACTION_PROBE;
    probe += "</a:Action><a:MessageID>";
    probe += messageId;
    probe += "</a:MessageID><a:ReplyTo><a:Address>"
             "http://schemas.xmlsoap.org/ws/2004/08/addressing/role/anonymous"
             "</a:Address></a:ReplyTo><a:To s:mustUnderstand=\"1\">";
    probe += WSD_TO_DISCOVERY;
    probe += "</a:To></s:Header><s:Body><d:Probe><d:Types>dn:NetworkVideoTransmitter</d:Types>"
             "</d:Probe></s:Body></s:Envelope>";
    return probe;
}

bool ParseOnvifMessage(const char* data, std::size_t length, OnvifMessage& out)
{
    out = OnvifMessage{};
    pugi::xml_document doc;
    if (ParseInto(data, length, out, doc))
        return true;
    out = OnvifMessage{};
    return false;
}

bool ParseOnvifProbe(const char* data, std::size_t length, std::string& messageId)
{
    messageId.clear();
    if (!data || length == 0 || length > WSD_MESSAGE_MAX || !RawTextIsAcceptable({data, length}))
        return false;
    pugi::xml_document doc;
    if (!doc.load_buffer(data, length, pugi::parse_default | pugi::parse_doctype, pugi::encoding_utf8))
        return false;
    CMessageReader reader;
    const pugi::xml_node envelope = doc.document_element();
    if (!reader.Is(envelope, SOAP_ENVELOPE_NS, "Envelope"))
        return false;
    const pugi::xml_node header = reader.Only(envelope, SOAP_ENVELOPE_NS, "Header");
    const pugi::xml_node body = reader.Only(envelope, SOAP_ENVELOPE_NS, "Body");
    const pugi::xml_node probe = body ? reader.Only(body, WSD_NS, "Probe") : pugi::xml_node();
    const pugi::xml_node id = header ? reader.Only(header, WSA_NS, "MessageID") : pugi::xml_node();
    if (!probe || !id || reader.Bad())
        return false;
    const pugi::xml_node types = reader.Only(probe, WSD_NS, "Types");
    bool asksForVideo = true;
    if (types) {
        asksForVideo = false;
        ForEachToken(reader.Text(types), [&](std::string_view qname) {
            asksForVideo = IsVideoType(reader, types, qname) || asksForVideo;
        });
    }
    messageId = reader.Text(id);
    if (!asksForVideo || reader.Bad() || messageId.empty() || !IsShowableField(messageId)) {
        messageId.clear();
        return false;
    }
    return true;
}
