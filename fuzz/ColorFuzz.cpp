// libFuzzer target: colour texts of the settings files ("r,g,b", "RGB(r,g,b)", "#RRGGBB").
// Checks: a parsed colour is three channels in 0..255 that print and parse back to themselves in
// both forms, and a refused text leaves the output alone.
#include "controls/ColorText.h"
#include "fuzz/FuzzCheck.h"

#include <cstdio>
#include <string>

namespace {

std::wstring Widen(const char* text)
{
    return std::wstring(text, text + std::char_traits<char>::length(text));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    int rgb[3] = {-7, -7, -7};
    if (!ParseColorText(WideFromBytes(bytes), rgb)) {
        Require(rgb[0] == -7 && rgb[1] == -7 && rgb[2] == -7);
        // The same bytes one per character (the code page's texts widened).
        std::wstring narrow(bytes.begin(), bytes.end());
        int other[3] = {-7, -7, -7};
        if (!ParseColorText(narrow, other))
            Require(other[0] == -7);
        return 0;
    }
    for (int c : rgb)
        Require(c >= 0 && c <= 255);

    char text[64];
    std::snprintf(text, sizeof text, "#%02x%02X%02x", rgb[0], rgb[1], rgb[2]);
    int hex[3] = {};
    Require(ParseColorText(Widen(text), hex));
    std::snprintf(text, sizeof text, " RGB(%d, %d ,%d);", rgb[0], rgb[1], rgb[2]);
    int dec[3] = {};
    Require(ParseColorText(Widen(text), dec));
    for (int i = 0; i < 3; ++i)
        Require(hex[i] == rgb[i] && dec[i] == rgb[i]);
    return 0;
}
