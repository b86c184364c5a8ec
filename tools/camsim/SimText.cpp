#include "tools/camsim/SimText.h"

#include <cstdio>

namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

char Lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

std::string HexEncode(const void* data, std::size_t size)
{
    static const char digits[] = "0123456789abcdef";
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::string out;
    out.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

std::optional<std::string> HexDecode(std::string_view hex)
{
    if (hex.size() % 2 != 0)
        return std::nullopt;
    std::string out;
    out.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        int high = HexDigit(hex[i]), low = HexDigit(hex[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        out += static_cast<char>(high * 16 + low);
    }
    return out;
}

std::optional<std::string> PercentDecode(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        int high = HexDigit(text[i + 1]), low = HexDigit(text[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

std::string PercentEncode(std::string_view bytes)
{
    std::string out;
    for (unsigned char c : bytes) {
        if (c > 0x20 && c < 0x7F && c != '%' && c != '=') {
            out += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            out += escaped;
        }
    }
    return out;
}

bool IsLabAddress(std::uint32_t a)
{
    return (a & 0xFFFE0000u) == 0xC6120000u || a == 0xC0A86464u;
}

bool IsLabSourceAddress(std::uint32_t a)
{
    // Interface addresses of the camera side, plus the ranges routed locally on its loopback.
    return (a & 0xFFFFFF00u) == 0xC6120100u || (a & 0xFFFFFF00u) == 0xC6120200u ||
           (a & 0xFFFFFF00u) == 0xC6120300u || (a & 0xFFFFF000u) == 0xC6121000u ||
           (a & 0xFFFFF000u) == 0xC6122000u || (a & 0xFFFFF000u) == 0xC6124000u || a == 0xC0A86464u;
}

std::string FieldText(const char* field, std::size_t width)
{
    std::size_t n = 0;
    while (n < width && field[n] != '\0')
        ++n;
    return std::string(field, n);
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}
