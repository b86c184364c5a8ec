// Adapter listing in the lab: lab0 198.18.1.10 and lab1 198.18.2.10 are usable, lab2 198.18.3.1 is not.
#include "net/Adapters.h"

#include "tests/support/LabGuard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

namespace {

class AdaptersTest : public testing::Test {
  protected:
    void SetUp() override { RequireLabNetwork(); }
};

bool IsMacText(const char* text)
{
    if (std::strlen(text) != 17)
        return false;
    for (int i = 0; i < 17; ++i) {
        const char c = text[i];
        if (i % 3 == 2 ? c != ':' : !(std::isdigit(static_cast<unsigned char>(c)) || (c >= 'A' && c <= 'F')))
            return false;
    }
    return true;
}

TEST(AdapterAddressRule, LeavesOutAddressesEndingInDotZeroOrDotOne)
{
    struct Case {
        const char* address;
        bool usable;
    };
    const Case cases[] = {{"0.0.0.0", false},    {"192.168.1.1", false}, {"198.18.3.1", false},
                          {"10.0.0.0", false},   {"192.168.1.21", true}, {"10.0.0.10", true},
                          {"198.18.1.10", true}, {"172.16.0.11", true},  {"192.168.1.100", true}};
    for (const Case& c : cases)
        EXPECT_EQ(IsUsableAdapterAddress(c.address), c.usable) << c.address;
}

TEST_F(AdaptersTest, ListsTheUsableAdaptersWithTheirMacTexts)
{
    AdapterRow addresses[8];
    AdapterRow macs[8];
    std::memset(addresses, 0, sizeof addresses);
    std::memset(macs, 0, sizeof macs);
    const int count = ListLocalAdapters(addresses, macs);
    ASSERT_EQ(count, 2);
    std::vector<std::string> seen{addresses[0], addresses[1]};
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<std::string>{"198.18.1.10", "198.18.2.10"}));
    EXPECT_TRUE(IsMacText(macs[0])) << macs[0];
    EXPECT_TRUE(IsMacText(macs[1])) << macs[1];
    EXPECT_STRNE(macs[0], macs[1]); // each row beside its own adapter
}

TEST_F(AdaptersTest, WritesNoRowBeyondTheCapacity)
{
    AdapterRow addresses[3];
    AdapterRow macs[3];
    std::memset(addresses, 0x7E, sizeof addresses);
    std::memset(macs, 0x7E, sizeof macs);
    EXPECT_EQ(ListLocalAdapters(addresses, macs, 1), 1);
    EXPECT_TRUE(IsMacText(macs[0]));
    for (int row = 1; row < 3; ++row)
        for (int i = 0; i < ADAPTER_ROW_SIZE; ++i) {
            EXPECT_EQ(addresses[row][i], 0x7E);
            EXPECT_EQ(macs[row][i], 0x7E);
        }
    EXPECT_EQ(ListLocalAdapters(addresses, macs, 0), 0);
    EXPECT_EQ(addresses[0][0] == 0x7E, false); // the earlier call's row stays
}

TEST_F(AdaptersTest, NetbiosMacIsSixBytesWithTextOnlyWhenKnown)
{
    char text[32];
    std::memset(text, '#', sizeof text);
    text[31] = 0;
    const unsigned char* mac = GetNetbiosMac(text);
    ASSERT_NE(mac, nullptr);
    const bool known = std::any_of(mac, mac + 6, [](unsigned char b) { return b != 0; });
    if (known) {
        char expected[18];
        std::snprintf(expected, sizeof expected, "%02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2],
                      mac[3], mac[4], mac[5]);
        EXPECT_STREQ(text, expected);
        // The NetBIOS adapter is one of the machine's adapters.
        AdapterRow addresses[8], macs[8];
        const int count = ListLocalAdapters(addresses, macs);
        bool listed = false;
        for (int i = 0; i < count; ++i)
            listed |= std::strcmp(macs[i], text) == 0;
        EXPECT_TRUE(listed) << text;
    } else {
        EXPECT_EQ(std::string(text), std::string(31, '#'));
    }
    // A null text buffer is allowed and gives the same bytes.
    unsigned char first[6];
    std::memcpy(first, mac, 6);
    const unsigned char* again = GetNetbiosMac(nullptr);
    EXPECT_EQ(std::memcmp(first, again, 6), 0);
    RecordProperty("netbios_mac_known", known ? 1 : 0);
}

} // namespace
