// WS-Discovery messages of ONVIF devices: what a good datagram gives, and that every hostile or
// malformed one gives nothing at all.
#include <gtest/gtest.h>

#include "protocol/OnvifMessage.h"

#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

const std::string NS_DECLS = std::string(" xmlns:s=\"") + SOAP_ENVELOPE_NS + "\" xmlns:a=\"" + WSA_NS +
                             "\" xmlns:d=\"" + WSD_NS + "\" xmlns:dn=\"" + ONVIF_NETWORK_NS +
                             "\" xmlns:tds=\"" + ONVIF_DEVICE_NS + "\"";
const std::string PROBE_ID = "urn:uuid:0a6dc791-2be6-4991-9af1-454778a1917a";

std::string Soap(const std::string& action, const std::string& body, const std::string& relatesTo = PROBE_ID,
                 const std::string& decls = NS_DECLS)
{
    std::string header = "<a:Action s:mustUnderstand=\"1\">" + action + "</a:Action>" +
                         "<a:MessageID>urn:uuid:11111111-2222-4333-8444-555555555555</a:MessageID>";
    if (!relatesTo.empty())
        header += "<a:RelatesTo>" + relatesTo + "</a:RelatesTo>";
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><s:Envelope" + decls + "><s:Header>" + header +
           "</s:Header><s:Body>" + body + "</s:Body></s:Envelope>";
}

std::string Device(const std::string& endpoint, const std::string& scopes, const std::string& xaddrs,
                   const std::string& types = "dn:NetworkVideoTransmitter tds:Device")
{
    return "<a:EndpointReference><a:Address>" + endpoint + "</a:Address></a:EndpointReference><d:Types>" +
           types + "</d:Types><d:Scopes>" + scopes + "</d:Scopes><d:XAddrs>" + xaddrs +
           "</d:XAddrs><d:MetadataVersion>1</d:MetadataVersion>";
}

std::string Matches(const std::vector<std::string>& devices, const std::string& relatesTo = PROBE_ID)
{
    std::string body = "<d:ProbeMatches>";
    for (const std::string& device : devices)
        body += "<d:ProbeMatch>" + device + "</d:ProbeMatch>";
    return Soap(WSD_ACTION_PROBE_MATCHES, body + "</d:ProbeMatches>", relatesTo);
}

const std::string GOOD_DEVICE =
    Device("urn:uuid:aaaaaaaa-0000-4000-8000-000000000001",
           "onvif://www.onvif.org/type/video_encoder onvif://www.onvif.org/name/Caf%C3%A9%20Nord "
           "onvif://www.onvif.org/hardware/IPC-B%2F2 onvif://www.onvif.org/MAC/00-11-22-aa-bb-cc",
           "http://[fe80::1]/onvif/device_service http://cam-7.local/onvif/device_service "
           "http://198.18.1.200:8080/onvif/device_service");

struct Expected {
    std::string endpoint, address, xaddr, name, hardware, mac;
};

struct GoodCase {
    const char* name;
    std::string xml;
    OnvifNews kind;
    std::string relatesTo;
    std::vector<Expected> devices;
};

class OnvifGoodMessageTest : public testing::TestWithParam<GoodCase> {};

TEST_P(OnvifGoodMessageTest, GivesEveryDeviceWithItsFields)
{
    const GoodCase& c = GetParam();
    OnvifMessage message;
    ASSERT_TRUE(ParseOnvifMessage(c.xml.data(), c.xml.size(), message)) << c.xml;
    EXPECT_EQ(message.kind, c.kind);
    EXPECT_EQ(message.relatesTo, c.relatesTo);
    ASSERT_EQ(message.announcements.size(), c.devices.size());
    for (std::size_t i = 0; i < c.devices.size(); ++i) {
        const OnvifAnnouncement& got = message.announcements[i];
        const Expected& want = c.devices[i];
        EXPECT_EQ(got.kind, c.kind);
        EXPECT_EQ(got.device.endpoint, want.endpoint) << i;
        EXPECT_EQ(got.device.address, want.address) << i;
        EXPECT_EQ(got.device.xaddr, want.xaddr) << i;
        EXPECT_EQ(got.device.name, want.name) << i;
        EXPECT_EQ(got.device.hardware, want.hardware) << i;
        EXPECT_EQ(got.device.mac, want.mac) << i;
    }
}

const Expected GOOD_EXPECTED{"urn:uuid:aaaaaaaa-0000-4000-8000-000000000001",
                             "198.18.1.200",
                             "http://198.18.1.200:8080/onvif/device_service",
                             "Caf\xC3\xA9 Nord",
                             "IPC-B/2",
                             "00:11:22:AA:BB:CC"};

// Another maker's way of writing the same: the discovery namespace as the default, the
// addressing prefix declared on the element that uses it, CDATA, whitespace around the fields.
const std::string OTHER_PREFIXES =
    std::string("<env:Envelope xmlns:env=\"") + SOAP_ENVELOPE_NS + "\" xmlns:wsa=\"" + WSA_NS +
    "\"><env:Header><wsa:Action>" + WSD_ACTION_PROBE_MATCHES + "</wsa:Action><wsa:RelatesTo>\n  " + PROBE_ID +
    "\n</wsa:RelatesTo></env:Header><env:Body><ProbeMatches xmlns=\"" + WSD_NS +
    "\"><ProbeMatch><x:EndpointReference xmlns:x=\"" + WSA_NS +
    "\"><x:Address> urn:uuid:bbbb </x:Address></x:EndpointReference><Types xmlns:n=\"" + ONVIF_NETWORK_NS +
    "\">n:NetworkVideoTransmitter</Types><Scopes>\n\tonvif://www.onvif.org/Name/%E6%91%84%E5%83%8F "
    "ONVIF://WWW.ONVIF.ORG/MAC/a1b2c3d4e5f6</Scopes><XAddrs><![CDATA[http://010.000.1.2/onvif]]></XAddrs>"
    "<Extension><Deep><Deeper/></Deep></Extension></ProbeMatch></ProbeMatches></env:Body></env:Envelope>";

INSTANTIATE_TEST_SUITE_P(
    Shapes, OnvifGoodMessageTest,
    testing::Values(
        GoodCase{"ProbeMatchesOfTwo",
                 Matches({GOOD_DEVICE,
                          Device("urn:uuid:second", "", "https://[2001:db8::2]/ http://198.18.2.201/")}),
                 OnvifNews::Match,
                 PROBE_ID,
                 {GOOD_EXPECTED, {"urn:uuid:second", "198.18.2.201", "http://198.18.2.201/", "", "", ""}}},
        GoodCase{"OtherPrefixesAndDefaultNamespace",
                 OTHER_PREFIXES,
                 OnvifNews::Match,
                 PROBE_ID,
                 {{"urn:uuid:bbbb", "10.0.1.2", "http://010.000.1.2/onvif", "\xE6\x91\x84\xE5\x83\x8F", "",
                   "A1:B2:C3:D4:E5:F6"}}},
        GoodCase{"NoMatches", Matches({}), OnvifNews::Match, PROBE_ID, {}},
        // Only host names and IPv6: no address to list it under; an unknown MAC form is no MAC.
        GoodCase{"HelloWithoutIpv4",
                 Soap(WSD_ACTION_HELLO,
                      "<d:Hello>" +
                          Device("urn:uuid:hello", "onvif://www.onvif.org/MAC/00:11:22",
                                 "http://nvr.local/ http://[::1]/ http://300.1.1.1/ http://1.2.3.4:99999/",
                                 "tds:Device") +
                          "</d:Hello>",
                      ""),
                 OnvifNews::Hello,
                 "",
                 {{"urn:uuid:hello", "", "", "", "", ""}}},
        GoodCase{"ByeKeepsOnlyTheKey",
                 Soap(WSD_ACTION_BYE, "<d:Bye>" + GOOD_DEVICE + "</d:Bye>", ""),
                 OnvifNews::Bye,
                 "",
                 {{GOOD_EXPECTED.endpoint, "", "", "", "", ""}}}),
    [](const testing::TestParamInfo<GoodCase>& info) { return std::string(info.param.name); });

struct HostileCase {
    const char* name;
    std::string xml;
};

class OnvifHostileMessageTest : public testing::TestWithParam<HostileCase> {};

TEST_P(OnvifHostileMessageTest, GivesNothingAtAll)
{
    const HostileCase& c = GetParam();
    OnvifMessage message;
    message.relatesTo = "left over";
    message.announcements.resize(1);
    EXPECT_FALSE(ParseOnvifMessage(c.xml.data(), c.xml.size(), message));
    EXPECT_TRUE(message.announcements.empty());
    EXPECT_TRUE(message.relatesTo.empty());
}

std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

std::string WithScopes(const std::string& scopes)
{
    return Matches({GOOD_DEVICE, Device("urn:uuid:x", scopes, "http://198.18.1.9/")});
}

std::string Nested(int depth)
{
    std::string open, close;
    for (int i = 0; i < depth; ++i) {
        open += "<n>";
        close += "</n>";
    }
    return Matches({GOOD_DEVICE + open + close});
}

const std::string GOOD = Matches({GOOD_DEVICE});
const std::string LAUGHS =
    "<!DOCTYPE s:Envelope [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;\">"
    "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;\">]>";

INSTANTIATE_TEST_SUITE_P(
    Datagrams, OnvifHostileMessageTest,
    testing::Values(
        HostileCase{"Empty", ""}, HostileCase{"NotXml", "HTTP/1.1 200 OK\r\n\r\n"},
        HostileCase{"Truncated", GOOD.substr(0, GOOD.size() - 20)},
        HostileCase{"MismatchedEndTag", Replace(GOOD, "</d:Scopes>", "</d:Scope>")},
        HostileCase{"TwoRootElements", GOOD + "<s:Envelope" + NS_DECLS + "/>"},
        HostileCase{"BillionLaughs",
                    Replace(Replace(GOOD, "<s:Envelope", LAUGHS + "<s:Envelope"), "Caf%C3%A9", "&c;")},
        HostileCase{"ExternalEntity",
                    Replace(Replace(GOOD, "<s:Envelope",
                                    "<!DOCTYPE x [<!ENTITY e SYSTEM \"file:///etc/passwd\">]>"
                                    "<s:Envelope"),
                            "Caf%C3%A9", "&e;")},
        HostileCase{"DoctypeAlone", Replace(GOOD, "<s:Envelope", "<!DOCTYPE s:Envelope><s:Envelope")},
        HostileCase{"UndeclaredEntity", Replace(GOOD, "Caf%C3%A9", "&e;")},
        HostileCase{"CharacterReferenceToNul", Replace(GOOD, "Caf%C3%A9", "Caf&#0;x")},
        HostileCase{"RawNulByte", Replace(GOOD, "Caf%C3%A9", std::string("Caf\0x", 5))},
        HostileCase{"Soap11Envelope",
                    Replace(GOOD, SOAP_ENVELOPE_NS, "http://schemas.xmlsoap.org/soap/envelope/")},
        HostileCase{"Discovery2009",
                    Replace(GOOD, WSD_NS, "http://docs.oasis-open.org/ws-dd/ns/discovery/2009/01")},
        HostileCase{"Addressing2005", Replace(GOOD, WSA_NS, "http://www.w3.org/2005/08/addressing")},
        HostileCase{"UnboundPrefix", Replace(GOOD, "<d:ProbeMatch>", "<q:ProbeMatch>")},
        HostileCase{"PrefixBoundTwiceOnOneElement",
                    Replace(GOOD, " xmlns:d=", " xmlns:d=\"urn:other\" xmlns:d=")},
        HostileCase{"ProbeMatchWithoutEndpoint",
                    Matches({GOOD_DEVICE, "<d:Types>dn:NetworkVideoTransmitter</d:Types>"})},
        HostileCase{"EmptyEndpoint", Matches({Device("  ", "", "http://198.18.1.9/")})},
        HostileCase{"TwoEndpoints",
                    Matches({GOOD_DEVICE + GOOD_DEVICE.substr(0, GOOD_DEVICE.find("<d:Types>"))})},
        HostileCase{"ElementInsideAField", Replace(GOOD, "</a:Address>", "<b/></a:Address>")},
        HostileCase{"NameOverTheLimit",
                    WithScopes("onvif://www.onvif.org/name/" + std::string(ONVIF_FIELD_MAX + 1, 'n'))},
        HostileCase{
            "EscapedNameOverTheLimit",
            WithScopes("onvif://www.onvif.org/name/" + std::string(ONVIF_FIELD_MAX - 1, 'n') + "%E6%91%84")},
        HostileCase{"EndpointOverTheLimit",
                    Matches({Device("urn:" + std::string(ONVIF_FIELD_MAX, 'e'), "", "")})},
        HostileCase{"XAddrOverTheLimit",
                    Matches({Device("urn:x", "", "http://198.18.1.9/" + std::string(ONVIF_FIELD_MAX, 'p'))})},
        HostileCase{"NameNotUtf8", WithScopes("onvif://www.onvif.org/name/%C3%28")},
        HostileCase{"NameOverlongUtf8", WithScopes("onvif://www.onvif.org/name/%C0%AF")},
        HostileCase{"NameSurrogate", WithScopes("onvif://www.onvif.org/name/%ED%A0%80")},
        HostileCase{"NameRawBytesNotUtf8", WithScopes("onvif://www.onvif.org/name/\xFF")},
        HostileCase{"NameBadEscape", WithScopes("onvif://www.onvif.org/name/a%G1")},
        HostileCase{"NameCutEscape", WithScopes("onvif://www.onvif.org/name/a%4")},
        HostileCase{"NameControlCharacter", WithScopes("onvif://www.onvif.org/name/a%0Ab")},
        HostileCase{"HardwareNotUtf8", WithScopes("onvif://www.onvif.org/hardware/%80")},
        HostileCase{"MatchesWithoutRelatesTo", Matches({GOOD_DEVICE}, "")},
        HostileCase{"ActionOfAnotherMessage", Replace(GOOD, WSD_ACTION_PROBE_MATCHES, WSD_ACTION_HELLO)},
        HostileCase{"TwoBodies", Replace(GOOD, "</s:Body>", "</s:Body><s:Body/>")},
        HostileCase{"TwoMessagesInTheBody", Replace(GOOD, "</d:ProbeMatches>", "</d:ProbeMatches><d:Bye/>")},
        HostileCase{"HelloOfAPrinter",
                    Soap(WSD_ACTION_HELLO,
                         "<d:Hello xmlns:p=\"http://schemas.xmlsoap.org/ws/2006/02/devprof\">" +
                             Device("urn:uuid:printer", "", "http://198.18.1.9/", "p:Device") + "</d:Hello>",
                         "")},
        HostileCase{
            "TypeWithUnboundPrefix",
            Soap(WSD_ACTION_HELLO, "<d:Hello>" + Device("urn:x", "", "", "zz:Device") + "</d:Hello>", "")},
        HostileCase{"AProbe", BuildOnvifProbe(PROBE_ID)},
        HostileCase{
            "OverTheSizeLimit",
            Replace(GOOD, "<s:Body>", "<s:Body>" + std::string(WSD_MESSAGE_MAX - GOOD.size() + 1, ' '))},
        // Well-formed, but far deeper than a discovery message is: parsed without recursion, and
        // nothing to show since it is cut by the size limit.
        HostileCase{"DeeplyNestedPastTheLimit", Nested(12000)},
        HostileCase{"DeeplyNestedUnclosed", Replace(Nested(9000), "</n></d:ProbeMatch>", "</d:ProbeMatch>")}),
    [](const testing::TestParamInfo<HostileCase>& info) { return std::string(info.param.name); });

TEST(OnvifMessageTest, NestingAsDeepAsTheLimitAllowsIsParsedWithoutRecursion)
{
    const std::string deep = Nested(static_cast<int>((WSD_MESSAGE_MAX - GOOD.size()) / 7));
    ASSERT_LE(deep.size(), WSD_MESSAGE_MAX);
    OnvifMessage message;
    ASSERT_TRUE(ParseOnvifMessage(deep.data(), deep.size(), message));
    ASSERT_EQ(message.announcements.size(), 1u);
    EXPECT_EQ(message.announcements[0].device.name, GOOD_EXPECTED.name);
}

TEST(OnvifMessageTest, AMessageOfExactlyTheLimitIsRead)
{
    const std::string padded =
        Replace(GOOD, "<s:Body>", "<s:Body>" + std::string(WSD_MESSAGE_MAX - GOOD.size(), ' '));
    ASSERT_EQ(padded.size(), WSD_MESSAGE_MAX);
    OnvifMessage message;
    EXPECT_TRUE(ParseOnvifMessage(padded.data(), padded.size(), message));
}

TEST(OnvifMessageTest, TheProbeAsksForVideoTransmittersWithItsMessageId)
{
    const std::string id = MakeOnvifMessageId();
    const std::string probe = BuildOnvifProbe(id);
    std::string read;
    ASSERT_TRUE(ParseOnvifProbe(probe.data(), probe.size(), read)) << probe;
    EXPECT_EQ(read, id);
    EXPECT_NE(probe.find("<d:Types>dn:NetworkVideoTransmitter</d:Types>"), std::string::npos);
    EXPECT_NE(probe.find(std::string("xmlns:dn=\"") + ONVIF_NETWORK_NS + "\""), std::string::npos);

    // Another maker's probe asking for printers is not for a camera.
    const std::string printers = Replace(probe, "dn:NetworkVideoTransmitter", "d:Printer");
    EXPECT_FALSE(ParseOnvifProbe(printers.data(), printers.size(), read));
    EXPECT_TRUE(read.empty());
}

TEST(OnvifMessageTest, MessageIdsAreFreshVersion4Uuids)
{
    const std::regex form("urn:uuid:[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}");
    std::set<std::string> seen;
    for (int i = 0; i < 100; ++i) {
        const std::string id = MakeOnvifMessageId();
        EXPECT_TRUE(std::regex_match(id, form)) << id;
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 100u);
}

} // namespace
