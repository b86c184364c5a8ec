// Site plans read from files as spreadsheets write them: each row of the tables is a whole file
// with what the plan must hold, or the line that must be refused. Runs under code page 936
// (LC_ALL=zh_CN.UTF-8), so that GBK bytes are the ANSI page's.
#include "app/SitePlan.h"

#include "base/Ipv4Text.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Ip(const std::optional<std::uint32_t>& address)
{
    return address ? FormatIpv4(*address) : "-";
}

struct Expected {
    const char* serial; // "" for a row keyed by MAC
    const char* mac;    // "" when not given
    const char* ip;     // "-" when not given
    const char* gateway;
    const wchar_t* name; // null when not given
};

struct GoodCase {
    const char* what;
    std::string bytes;
    CSitePlan::Encoding encoding;
    wchar_t separator;
    std::vector<Expected> rows;
};

const std::string BOM = "\xEF\xBB\xBF";

const GoodCase kGood[] = {
    {"UTF-8 with a byte-order mark, English headings, serial keys (letter case kept as written)",
     BOM + "Serial,New IP,Gateway,Name\r\nA1B2C3D4E5F6,198.18.1.50,198.18.1.1,前门\r\n"
           "b20000000001,198.18.1.51,,\r\n",
     CSitePlan::Encoding::Utf8Bom,
     L',',
     {{"a1b2c3d4e5f6", "", "198.18.1.50", "198.18.1.1", L"前门"},
      {"b20000000001", "", "198.18.1.51", "-", nullptr}}},
    {"UTF-8 without a mark, semicolons, Chinese headings with colons and spaces",
     "序列号; 地址 ;网关：;设备名称\nb20000000001;198.18.1.51;198.18.1.1;大厅, 东\n",
     CSitePlan::Encoding::Utf8,
     L';',
     {{"b20000000001", "", "198.18.1.51", "198.18.1.1", L"大厅, 东"}}},
    {"GBK bytes (the ANSI code page 936) with Chinese headings and name",
     "\xd0\xf2\xc1\xd0\xba\xc5,\xd0\xc2\xb5\xd8\xd6\xb7,\xcd\xf8\xb9\xd8,\xc3\xfb\xb3\xc6\r\n"
     "c30000000002,198.18.1.52,198.18.1.1,\xb4\xf3\xcc\xfc\r\n",
     CSitePlan::Encoding::Ansi,
     L',',
     {{"c30000000002", "", "198.18.1.52", "198.18.1.1", L"大厅"}}},
    {"MAC keys in the three forms, either case",
     "MAC,IP\n00:1A:2B:3C:4D:50,198.18.1.60\n00-1a-2b-3c-4d-51,198.18.1.61\n001A2B3C4D52,198.18.1.62\n",
     CSitePlan::Encoding::Utf8,
     L',',
     {{"", "001a2b3c4d50", "198.18.1.60", "-", nullptr},
      {"", "001a2b3c4d51", "198.18.1.61", "-", nullptr},
      {"", "001a2b3c4d52", "198.18.1.62", "-", nullptr}}},
    {"the camera list's own export: its titles, quoted cells, the formula guard taken off, other columns "
     "skipped",
     BOM + "IP Address,GateWay,Name,ID Serial,Network,MAC Address,Version\r\n"
           "198.18.1.70,198.18.1.1,'=Cam,d40000000003,LAN,00:1A:2B:3C:4D:53,v1\r\n"
           "198.18.1.71,198.18.1.1,\"Hall \"\"A\"\", East\",F12345678901,LAN,00:1A:2B:3C:4D:54,v1\r\n"
           "198.18.1.72,198.18.1.1,'Tom,a60000000005,LAN,,v1\r\n",
     CSitePlan::Encoding::Utf8Bom,
     L',',
     {{"d40000000003", "001a2b3c4d53", "198.18.1.70", "198.18.1.1", L"=Cam"},
      {"f12345678901", "001a2b3c4d54", "198.18.1.71", "198.18.1.1", L"Hall \"A\", East"},
      {"a60000000005", "", "198.18.1.72", "198.18.1.1", L"'Tom"}}},
    {"blank lines and a row of empty cells are skipped; a name of exactly 19 UTF-8 bytes fits",
     "\r\n\r\nID,Name\r\n,\r\nf70000000006,仓库北侧通道x\r\n\r\n",
     CSitePlan::Encoding::Utf8,
     L',',
     {{"f70000000006", "", "-", "-", L"仓库北侧通道x"}}},
};

void PrintTo(const GoodCase& c, std::ostream* os)
{
    *os << c.what;
}

class SitePlanGood : public testing::TestWithParam<GoodCase> {};

TEST_P(SitePlanGood, ReadsEveryRow)
{
    const GoodCase& c = GetParam();
    ASSERT_EQ(::GetACP(), 936u) << "run under LC_ALL=zh_CN.UTF-8";
    CSitePlan plan;
    ASSERT_TRUE(plan.Read(c.bytes, 1))
        << (plan.Errors().empty() ? "" : testing::PrintToString(plan.Errors()));
    EXPECT_EQ(plan.GetEncoding(), c.encoding);
    EXPECT_EQ(plan.GetSeparator(), c.separator);
    ASSERT_EQ(plan.Rows().size(), c.rows.size());
    for (std::size_t i = 0; i < c.rows.size(); ++i) {
        SCOPED_TRACE(i);
        const CSitePlan::Row& row = plan.Rows()[i];
        EXPECT_EQ(row.serial, c.rows[i].serial);
        EXPECT_EQ(row.mac, c.rows[i].mac);
        EXPECT_EQ(Ip(row.ip), c.rows[i].ip);
        EXPECT_EQ(Ip(row.gateway), c.rows[i].gateway);
        if (c.rows[i].name) {
            ASSERT_TRUE(row.name.has_value());
            EXPECT_EQ(*row.name, c.rows[i].name);
        } else {
            EXPECT_FALSE(row.name.has_value());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Files, SitePlanGood, testing::ValuesIn(kGood),
                         [](const testing::TestParamInfo<GoodCase>& info) {
                             return "case" + std::to_string(info.index);
                         });

struct BadCase {
    const char* what;
    std::string bytes;
    const wchar_t* firstError; // the whole first message, in English
};

const BadCase kBad[] = {
    {"an address that is not one, named by its heading",
     "Serial,New IP,Name\nb20000000001,198.18.1.51,Lobby\nc30000000002,198.18.1.300,Hall\n",
     L"Line 3: \"New IP\" holds \"198.18.1.300\", which is not a valid IP address."},
    {"a gateway with a leading space inside quotes is no address",
     "Serial,Gateway\nb20000000001,\" 198.18.1.1\"\n",
     L"Line 2: \"Gateway\" holds \" 198.18.1.1\", which is not a valid IP address."},
    {"a row with neither key", "Serial,MAC,IP\n,,198.18.1.51\n",
     L"Line 2: There is neither a serial nor a MAC address."},
    {"the same serial twice, letter case ignored",
     "Serial,IP\nB20000000001,198.18.1.51\nb20000000001,198.18.1.52\n",
     L"Line 3: The serial \"b20000000001\" is in the plan twice."},
    {"the same MAC twice in two forms", "MAC,IP\n00:1A:2B:3C:4D:50,198.18.1.51\n001a2b3c4d50,198.18.1.52\n",
     L"Line 3: The MAC address \"001a2b3c4d50\" is in the plan twice."},
    {"a name longer than 19 bytes of UTF-8", "Serial,Name\nb20000000001,仓库北侧通道入口\n",
     L"Line 2: The name \"仓库北侧通道入口\" is too long: a camera holds 19 bytes of UTF-8, it has 24."},
    {"a name the ANSI code page (936) cannot hold: it would reach the camera as question marks",
     "Serial,Name\nb20000000001,กล้อง\n",
     L"Line 2: The name \"กล้อง\" holds characters this computer's code page cannot send (they would become "
     L"\"?\")."},
    {"a MAC that is not one", "MAC,IP\n00:1A:2B:3C:4D,198.18.1.51\n",
     L"Line 2: \"00:1A:2B:3C:4D\" is not a MAC address (such as 00:11:22:AA:BB:CC)."},
    {"no key column", "IP,Name\n198.18.1.51,Lobby\n", L"Line 1: There is no \"Serial\" or \"MAC\" column."},
    {"a quote left open", "Serial,Name\nb20000000001,\"Lobby\n",
     L"Line 2: A quote is not closed, or text follows a closing quote."},
    {"blank lines and a quoted line break count in the line numbers",
     "\n\nSerial,Name,IP\n\nb20000000001,\"two\nlines\",198.18.1.51\nc30000000002,x,198.18.1\n",
     L"Line 7: \"IP\" holds \"198.18.1\", which is not a valid IP address."},
    {"an empty file", "", L"Line 1: The file is empty."},
};

void PrintTo(const BadCase& c, std::ostream* os)
{
    *os << c.what;
}

class SitePlanBad : public testing::TestWithParam<BadCase> {};

// A plan with a bad line has no rows at all, not even its good ones.
TEST_P(SitePlanBad, RefusesTheLineAndKeepsNothing)
{
    const BadCase& c = GetParam();
    CSitePlan plan;
    EXPECT_FALSE(plan.Read(c.bytes, 1));
    EXPECT_TRUE(plan.Rows().empty());
    ASSERT_FALSE(plan.Errors().empty());
    EXPECT_EQ(plan.Errors().front(), c.firstError);
}

INSTANTIATE_TEST_SUITE_P(Files, SitePlanBad, testing::ValuesIn(kBad),
                         [](const testing::TestParamInfo<BadCase>& info) {
                             return "case" + std::to_string(info.index);
                         });

// Every bad line is listed, in Chinese too, and the good lines between them do not count.
TEST(SitePlan, ListsEveryBadLineInTheLanguage)
{
    CSitePlan plan;
    EXPECT_FALSE(plan.Read("序列号,IP地址\nb20000000001,1.2.3\nc30000000002,198.18.1.52\n,198.18.1.53\n", 0));
    ASSERT_EQ(plan.Errors().size(), 2u);
    EXPECT_EQ(plan.Errors()[0], L"第 2 行：“IP地址”的“1.2.3”不是有效的 IP 地址。");
    EXPECT_EQ(plan.Errors()[1], L"第 4 行：没有序列号，也没有 MAC 地址。");
}

// A camera is found by its serial (any letter case) or by its wired or WiFi MAC; a row keyed by
// serial never matches by MAC, and an all-zero MAC (a camera without WiFi) matches nothing.
TEST(SitePlan, FindsCamerasBySerialOrEitherMac)
{
    CSitePlan plan;
    ASSERT_TRUE(plan.Read("ID,MAC,Name\nAbc123,,a\n,00:1A:2B:3C:5E:51,b\nzzz,00:1A:2B:3C:4D:52,c\n"
                          ",000000000000,d\n",
                          1));
    auto camera = [](const char* serial, std::uint8_t lanLast, std::uint8_t wifiLast) {
        DeviceRecord record{};
        std::strncpy(record.message.idSerial, serial, sizeof record.message.idSerial - 1);
        const std::uint8_t lan[] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, lanLast};
        const std::uint8_t wifi[] = {0x00, 0x1A, 0x2B, 0x3C, 0x5E, wifiLast};
        std::memcpy(record.message.lanMac, lan, 6);
        if (wifiLast)
            std::memcpy(record.message.wifiMac, wifi, 6);
        return record;
    };
    const struct {
        DeviceRecord record;
        const wchar_t* name; // null: no row
    } cases[] = {
        {camera("aBC123", 0x50, 0), L"a"},
        {camera("other1", 0x60, 0x51), L"b"},
        {camera("other2", 0x52, 0), nullptr},
        {camera("other3", 0x70, 0), nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.record.message.idSerial);
        const CSitePlan::Row* pRow = plan.Find(c.record);
        if (!c.name) {
            EXPECT_EQ(pRow, nullptr);
            continue;
        }
        ASSERT_NE(pRow, nullptr);
        EXPECT_EQ(pRow->name.value_or(L""), c.name);
    }
}

} // namespace
