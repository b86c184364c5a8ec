#pragma once
// WS-Discovery (2005/04, SOAP 1.2, WS-Addressing 2004/08) messages as ONVIF devices use them:
// the Probe the tool sends, and the ProbeMatches, Hello and Bye it hears. Every datagram heard is
// hostile input from anyone on the network: it is parsed by pugixml (no DTD, so no entity of its
// own and nothing loaded from elsewhere), every name is checked against its namespace, and a
// datagram that is wrong in any way gives nothing at all, never part of what it says.
// Plain standard C++, so the simulator and the fuzz target parse with this very code.
#include "protocol/OnvifDevice.h"

#include <cstddef>
#include <string>
#include <vector>

inline constexpr const char* SOAP_ENVELOPE_NS = "http://www.w3.org/2003/05/soap-envelope";
inline constexpr const char* WSD_NS = "http://schemas.xmlsoap.org/ws/2005/04/discovery";
inline constexpr const char* WSA_NS = "http://schemas.xmlsoap.org/ws/2004/08/addressing";
inline constexpr const char* ONVIF_NETWORK_NS = "http://www.onvif.org/ver10/network/wsdl";
inline constexpr const char* ONVIF_DEVICE_NS = "http://www.onvif.org/ver10/device/wsdl";
inline constexpr const char* WSD_ACTION_PROBE = "http://schemas.xmlsoap.org/ws/2005/04/discovery/Probe";
inline constexpr const char* WSD_ACTION_PROBE_MATCHES =
    "http://schemas.xmlsoap.org/ws/2005/04/discovery/ProbeMatches";
inline constexpr const char* WSD_ACTION_HELLO = "http://schemas.xmlsoap.org/ws/2005/04/discovery/Hello";
inline constexpr const char* WSD_ACTION_BYE = "http://schemas.xmlsoap.org/ws/2005/04/discovery/Bye";
inline constexpr const char* WSD_TO_DISCOVERY = "urn:schemas-xmlsoap-org:ws:2005:04:discovery";

// A fresh "urn:uuid:..." (a random version 4 UUID) for a message's MessageID.
std::string MakeOnvifMessageId();

// The Probe for dn:NetworkVideoTransmitter, as one datagram.
std::string BuildOnvifProbe(const std::string& messageId);

// What one datagram said. `announcements` carries every ProbeMatch of a ProbeMatches, or the one
// device of a Hello or Bye (senderIp left 0 for the receiver to fill in).
struct OnvifMessage {
    OnvifNews kind = OnvifNews::Match;
    std::string relatesTo; // a ProbeMatches' RelatesTo: the MessageID of the Probe it answers
    std::vector<OnvifAnnouncement> announcements;
};

// True and `out` filled when the datagram is a well-formed ProbeMatches, Hello or Bye of a video
// device; false (and `out` emptied) for anything else: malformed, over WSD_MESSAGE_MAX, a DTD, a
// name in the wrong namespace, a field over ONVIF_FIELD_MAX or not UTF-8, a device without an
// EndpointReference, a Hello of a device that is no video device, any other message.
bool ParseOnvifMessage(const char* data, std::size_t length, OnvifMessage& out);

// For the simulator: true and the MessageID when the datagram is a well-formed Probe that asks for
// video devices (its Types name dn:NetworkVideoTransmitter, or it has none, which asks everyone).
bool ParseOnvifProbe(const char* data, std::size_t length, std::string& messageId);
