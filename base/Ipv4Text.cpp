#include "base/Ipv4Text.h"

namespace {

template <typename Char> std::optional<std::uint32_t> ParseDotted(std::basic_string_view<Char> text)
{
    std::uint32_t value = 0;
    std::size_t i = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (i >= text.size() || text[i] != Char('.'))
                return std::nullopt;
            ++i;
        }
        std::uint32_t number = 0;
        int digits = 0;
        while (i < text.size() && text[i] >= Char('0') && text[i] <= Char('9')) {
            if (++digits > 3)
                return std::nullopt;
            number = number * 10 + static_cast<std::uint32_t>(text[i] - Char('0'));
            ++i;
        }
        if (digits == 0 || number > 255)
            return std::nullopt;
        value = (value << 8) | number;
    }
    if (i != text.size())
        return std::nullopt;
    return value;
}

} // namespace

std::optional<std::uint32_t> ParseIpv4(std::string_view text)
{
    return ParseDotted(text);
}

std::optional<std::uint32_t> ParseIpv4(std::wstring_view text)
{
    return ParseDotted(text);
}

std::string FormatIpv4(std::uint32_t address)
{
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        if (shift != 24)
            text += '.';
        text += std::to_string((address >> shift) & 0xFF);
    }
    return text;
}

std::wstring FormatIpv4Wide(std::uint32_t address)
{
    const std::string narrow = FormatIpv4(address);
    return std::wstring(narrow.begin(), narrow.end());
}
