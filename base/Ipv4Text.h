#pragma once
// Dotted IPv4 addresses as text, read strictly: exactly four parts of ASCII digits (never another
// script's digits, whatever the locale says), each 0-255, separated by single full stops, nothing
// before or after. A part with leading zeros is decimal ("010" is 10, never octal 8), and at most
// three digits long. Every address the tool reads from the operator, a file or a camera goes
// through here, so a text that is not an address is refused, never guessed at.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The address in host order (a.b.c.d is a << 24 | ... | d), or nothing.
std::optional<std::uint32_t> ParseIpv4(std::string_view text);
std::optional<std::uint32_t> ParseIpv4(std::wstring_view text);

// "a.b.c.d" with no leading zeros.
std::string FormatIpv4(std::uint32_t address);
std::wstring FormatIpv4Wide(std::uint32_t address);

// 0.0.0.0: a camera whose DHCP failed reports it; it is nobody's address.
inline bool IsUnsetIpv4(std::uint32_t address)
{
    return address == 0;
}
