#pragma once
// Small text helpers of the camera simulator: hex, percent coding, IPv4 text and the lab's
// address ranges.

#include "base/Ipv4Text.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

std::string HexEncode(const void* data, std::size_t size);
// Decodes an even-length hexadecimal text; nullopt on any other character or an odd length.
std::optional<std::string> HexDecode(std::string_view hex);

// "%XX" escapes decode to their byte; every other character stands for itself.
std::optional<std::string> PercentDecode(std::string_view text);
// Escapes every byte outside the printable ASCII range, '%', '=' and the space.
std::string PercentEncode(std::string_view bytes);

// Dotted IPv4 texts: the tool's own strict parser (ParseIpv4, FormatIpv4), host byte order.

// 198.18.0.0/15 or 192.168.100.100: the only addresses the simulator may live on.
bool IsLabAddress(std::uint32_t hostOrder);
// The lab's camera side can send from these (local routes set up by scripts/lab.sh).
bool IsLabSourceAddress(std::uint32_t hostOrder);

// A fixed-width wire text up to its first zero byte or the end of its field.
std::string FieldText(const char* field, std::size_t width);
bool EqualsNoCase(std::string_view a, std::string_view b);
