#include "base/Ipv4Text.h"

#include <gtest/gtest.h>

namespace {

struct ParseCase {
    const char* text;
    bool ok;
    std::uint32_t value;
};

const ParseCase kCases[] = {
    {"192.168.1.10", true, 0xC0A8010A},
    {"0.0.0.0", true, 0},
    {"255.255.255.255", true, 0xFFFFFFFF},
    {"192.168.1.010", true, 0xC0A8010A}, // decimal, never octal
    {"192.168.001.1", true, 0xC0A80101},
    {"192.168.1", false, 0}, // three parts are not 192.168.0.1
    {"192.168.1.1.1", false, 0},
    {"192.168.1.256", false, 0},
    {"192.168.1.-1", false, 0},
    {"192.168..1", false, 0},
    {"192.168.1.", false, 0},
    {".192.168.1.1", false, 0},
    {" 192.168.1.1", false, 0},
    {"192.168.1.1 ", false, 0},
    {"192.168.1.0001", false, 0},
    {"0x7f.0.0.1", false, 0},
    {"1e2.0.0.1", false, 0},
    {"", false, 0},
    {"camera.local", false, 0},
    {"10.0.0.1/24", false, 0},
};

TEST(Ipv4Text, ParsesOnlyFourDecimalPartsEachUpTo255)
{
    for (const ParseCase& c : kCases) {
        const auto parsed = ParseIpv4(std::string_view(c.text));
        EXPECT_EQ(parsed.has_value(), c.ok) << c.text;
        if (parsed && c.ok) {
            EXPECT_EQ(*parsed, c.value) << c.text;
        }
        const std::string narrow(c.text);
        const std::wstring wide(narrow.begin(), narrow.end());
        EXPECT_EQ(ParseIpv4(std::wstring_view(wide)), parsed) << c.text;
    }
}

TEST(Ipv4Text, RefusesDigitsOfOtherScripts)
{
    // Fullwidth and Arabic-Indic digits are digits to iswdigit on some systems; never to us.
    EXPECT_FALSE(ParseIpv4(std::wstring_view(L"\xFF11\xFF19\xFF12.168.1.1")));
    EXPECT_FALSE(ParseIpv4(std::wstring_view(L"192.168.1.\x0661")));
    EXPECT_FALSE(ParseIpv4(std::wstring_view(L"192.168.1.1\0", 13)));
}

TEST(Ipv4Text, FormatsWithoutLeadingZeros)
{
    EXPECT_EQ(FormatIpv4(0xC0A8010A), "192.168.1.10");
    EXPECT_EQ(FormatIpv4(0), "0.0.0.0");
    EXPECT_EQ(FormatIpv4Wide(0xFFFFFFFF), L"255.255.255.255");
    EXPECT_EQ(ParseIpv4(FormatIpv4(0x0A000001)), 0x0A000001u);
}

} // namespace
