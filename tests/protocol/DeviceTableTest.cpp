// CDeviceTable: one record per idSerial (letter case ignored), found through its index; a known
// camera's reply overwrites the image but not where it was first reached; Clear empties the index.
#include "protocol/DeviceTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A reply whose idSerial field holds exactly these bytes (the rest of the field zero), so that
// text after a terminator can be given too.
WireMessage Reply(const std::string& idBytes, const char* name = "cam")
{
    WireMessage m{};
    m.type = MSG_INFO;
    std::memcpy(m.idSerial, idBytes.data(), std::min(idBytes.size(), sizeof m.idSerial));
    WriteTextField(m.name, name);
    return m;
}

std::string Field64(char c)
{
    return std::string(sizeof(WireMessage::idSerial), c);
}

struct FindCase {
    const char* what;
    std::string stored;
    std::string asked;
    bool found;
};

class DeviceTableFindTest : public testing::TestWithParam<FindCase> {};

TEST_P(DeviceTableFindTest, FindsByIdSerialIgnoringLetterCase)
{
    const FindCase& c = GetParam();
    CDeviceTable table;
    CDeviceTableLock lock(table);
    bool created = false;
    DeviceRecord* stored = table.Store(Reply(c.stored), "198.18.1.131", 0, created);
    ASSERT_NE(stored, nullptr);
    ASSERT_TRUE(created);

    const WireMessage asked = Reply(c.asked, "other");
    // The index must answer exactly what the camera comparison of the wire layer answers.
    ASSERT_EQ(SameCamera(stored->message, asked), c.found) << "case table disagrees with SameCamera";
    EXPECT_EQ(table.Find(asked), c.found ? stored : nullptr);

    // Storing the asked reply either lands on the same record or makes a second one.
    DeviceRecord* again = table.Store(asked, "198.18.2.131", 1, created);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(created, !c.found);
    EXPECT_EQ(again == stored, c.found);
    EXPECT_EQ(table.GetCount(), c.found ? 1 : 2);
    EXPECT_EQ(table.Find(Reply(c.stored)), stored) << "the first camera is still found by its own id";
}

INSTANTIATE_TEST_SUITE_P(
    Ids, DeviceTableFindTest,
    testing::Values(FindCase{"SameId", "f12345678901", "f12345678901", true},
                    FindCase{"OtherCase", "f12345678901", "F12345678901", true},
                    FindCase{"MixedCase", "abcdef123456", "AbCdEf123456", true},
                    FindCase{"OtherId", "f12345678901", "f12345678902", false},
                    FindCase{"TextAfterTerminator", "f12345678901", std::string("f12345678901\0junk", 17),
                             true},
                    FindCase{"BothWithOtherTextAfterTerminator", std::string("a12345678901\0xy", 15),
                             std::string("A12345678901\0zw", 15), true},
                    FindCase{"PrefixOfStored", "f12345678901", "f1234567890", false},
                    FindCase{"StoredIsPrefix", "f12345678901", "f123456789012", false},
                    FindCase{"EmptyAskedNonEmptyStored", "f12345678901", "", false},
                    FindCase{"EmptyAgainstEmpty", "", "", true},
                    FindCase{"EmptyStoredNonEmptyAsked", "", "f12345678901", false},
                    // Only ASCII letters fold: A-umlaut in code page 1252 is not a-umlaut.
                    FindCase{"NonAsciiLettersDoNotFold", "f1234567890\xC4", "f1234567890\xE4", false},
                    FindCase{"NonLettersDoNotFold", "f1234567890@", "f1234567890`", false},
                    FindCase{"WholeFieldWithoutTerminator", Field64('a'), Field64('A'), true},
                    FindCase{"WholeFieldAgainstOneShorter", Field64('a'), Field64('a').substr(0, 63), false}),
    [](const testing::TestParamInfo<FindCase>& info) { return info.param.what; });

TEST(DeviceTableTest, StoreOfAKnownCameraOverwritesTheImageButKeepsWhereItWasFirstReached)
{
    CDeviceTable table;
    CDeviceTableLock lock(table);
    bool created = false;
    DeviceRecord* first = table.Store(Reply("b20000000001", "first"), "198.18.1.132", 0, created);
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(created);

    // The same camera again, reached over Wi-Fi from another address, with another name and its id
    // in capitals.
    WireMessage second = Reply("B20000000001", "second");
    WriteTextField(second.version, "2.0");
    second.reserved628[17] = 0x5A; // bytes the tool does not read are copied too
    DeviceRecord* again = table.Store(second, "198.18.2.132", 1, created);
    EXPECT_FALSE(created);
    EXPECT_EQ(again, first);
    EXPECT_EQ(table.GetCount(), 1);
    EXPECT_EQ(std::memcmp(&first->message, &second, sizeof second), 0)
        << "the reply's image replaces the old one";
    EXPECT_STREQ(first->sourceIp, "198.18.1.132");
    EXPECT_EQ(first->netType, 0);
    // Found by either spelling after the overwrite.
    EXPECT_EQ(table.Find(Reply("b20000000001")), first);
    EXPECT_EQ(table.Find(Reply("B20000000001")), first);
}

// Asked again without a clear (a later scan), a camera is listed where it answers now: the first
// reply of each scan says where it was reached. The wire name, sender and scan follow every reply.
TEST(DeviceTableTest, TheFirstReplyOfALaterScanMovesWhereTheCameraWasReached)
{
    CDeviceTable table;
    CDeviceTableLock lock(table);
    auto reply = [](const char* name, const char* source, int netType, std::uint32_t sender,
                    std::uint32_t scan) {
        DeviceRecord r{};
        r.message = Reply("a1b2c3d4e5f6", name);
        std::memcpy(r.wireName, r.message.name, sizeof r.wireName);
        WriteTextField(r.sourceIp, source);
        r.netType = netType;
        r.senderIp = sender;
        r.scanId = scan;
        return r;
    };
    bool created = false;
    DeviceRecord* record = table.Store(reply("one", "198.18.1.131", 0, 0xC6120183, 1), created);
    ASSERT_NE(record, nullptr);
    // Scan 1 again, over the other interface: only the image, name bytes and sender follow.
    table.Store(reply("two", "198.18.2.131", 1, 0xC6120283, 1), created);
    EXPECT_FALSE(created);
    EXPECT_STREQ(record->sourceIp, "198.18.1.131");
    EXPECT_EQ(record->netType, 0);
    EXPECT_EQ(record->senderIp, 0xC6120283u);
    EXPECT_STREQ(record->wireName, "two");
    // Scan 2: the camera now answers from a new address.
    table.Store(reply("three", "198.18.1.220", 0, 0xC61201DC, 2), created);
    EXPECT_STREQ(record->sourceIp, "198.18.1.220");
    EXPECT_EQ(record->scanId, 2u);
    table.Store(reply("four", "198.18.2.131", 1, 0xC6120283, 2), created);
    EXPECT_STREQ(record->sourceIp, "198.18.1.220");
    EXPECT_EQ(record->netType, 0);
    EXPECT_EQ(table.GetCount(), 1);
}

// Two cameras given one idSerial stay two records (their MAC addresses differ), and both are
// marked, the first one reported again with the second; one camera's two replies stay one.
TEST(DeviceTableTest, TwoCamerasSharingAnIdSerialStayApartAndAreBothMarked)
{
    CDeviceTable table;
    CDeviceTableLock lock(table);
    auto reply = [](const char* id, std::uint8_t lastMac, const char* name) {
        DeviceRecord r{};
        r.message = Reply(id, name);
        const std::uint8_t mac[6] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, lastMac};
        std::memcpy(r.message.lanMac, mac, sizeof mac);
        return r;
    };
    bool created = false;
    std::vector<DeviceRecord*> twins;
    DeviceRecord* first = table.Store(reply("b20000000001", 0x51, "first"), created, &twins);
    ASSERT_TRUE(created);
    EXPECT_TRUE(twins.empty());
    EXPECT_EQ(first->flags, 0u);
    // The same camera again (its id in capitals): still one.
    table.Store(reply("B20000000001", 0x51, "again"), created, &twins);
    EXPECT_FALSE(created);
    EXPECT_TRUE(twins.empty());

    DeviceRecord* second = table.Store(reply("b20000000001", 0x99, "other"), created, &twins);
    ASSERT_TRUE(created);
    ASSERT_NE(second, first);
    EXPECT_EQ(table.GetCount(), 2);
    EXPECT_STREQ(first->message.name, "again") << "the other camera's reply did not mix into it";
    EXPECT_STREQ(second->message.name, "other");
    EXPECT_EQ(first->flags & DEVICE_SHARED_SERIAL, DEVICE_SHARED_SERIAL);
    EXPECT_EQ(second->flags & DEVICE_SHARED_SERIAL, DEVICE_SHARED_SERIAL);
    EXPECT_EQ(twins, std::vector<DeviceRecord*>{first});
    // The mark stays with later replies, and a clear forgets both.
    twins.clear();
    table.Store(reply("b20000000001", 0x51, "later"), created, &twins);
    EXPECT_EQ(first->flags & DEVICE_SHARED_SERIAL, DEVICE_SHARED_SERIAL);
    table.Clear();
    DeviceRecord* alone = table.Store(reply("b20000000001", 0x99, "alone"), created, &twins);
    EXPECT_TRUE(created);
    EXPECT_EQ(alone->flags, 0u);
}

TEST(DeviceTableTest, RecordsKeepTheOrderOfFirstRepliesAndEachIdFindsItsOwn)
{
    CDeviceTable table;
    CDeviceTableLock lock(table);
    constexpr int kCount = 1500;
    auto id = [](int i) {
        char text[16];
        std::snprintf(text, sizeof text, "a%011X", static_cast<unsigned>(i * 7919));
        return std::string(text);
    };
    bool created = false;
    std::vector<DeviceRecord*> records;
    for (int i = 0; i < kCount; ++i) {
        records.push_back(table.Store(Reply(id(i)), "198.18.1.200", 0, created));
        ASSERT_NE(records.back(), nullptr);
        ASSERT_TRUE(created) << i;
    }
    ASSERT_EQ(table.GetCount(), kCount);
    // Asked in the other order and in capitals: every id finds its own record, which stays at the
    // index of its first reply.
    for (int i = kCount - 1; i >= 0; --i) {
        std::string upper = id(i);
        for (char& c : upper)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        ASSERT_EQ(table.Find(Reply(upper)), records[static_cast<size_t>(i)]) << upper;
        ASSERT_EQ(table.GetAt(i), records[static_cast<size_t>(i)]);
        ASSERT_TRUE(table.Contains(records[static_cast<size_t>(i)]));
    }
    EXPECT_EQ(table.GetAt(kCount), nullptr);
    EXPECT_EQ(table.GetAt(-1), nullptr);
}

TEST(DeviceTableTest, ClearEmptiesTheIndexSoAStoredCameraIsNewAgain)
{
    CDeviceTable table;
    CDeviceTableLock lock(table);
    bool created = false;
    ASSERT_NE(table.Store(Reply("c30000000002"), "198.18.1.133", 0, created), nullptr);
    ASSERT_NE(table.Store(Reply("d40000000003"), "198.18.1.134", 0, created), nullptr);
    ASSERT_EQ(table.GetCount(), 2);

    table.Clear();
    EXPECT_EQ(table.GetCount(), 0);
    EXPECT_EQ(table.GetAt(0), nullptr);
    EXPECT_EQ(table.Find(Reply("c30000000002")), nullptr);
    EXPECT_EQ(table.Find(Reply("D40000000003")), nullptr);

    // Stored again after the clear: a new record, with the new reply's source and network.
    DeviceRecord* fresh = table.Store(Reply("C30000000002"), "198.18.2.133", 1, created);
    ASSERT_NE(fresh, nullptr);
    EXPECT_TRUE(created);
    EXPECT_EQ(table.GetCount(), 1);
    EXPECT_EQ(table.GetAt(0), fresh);
    EXPECT_STREQ(fresh->sourceIp, "198.18.2.133");
    EXPECT_EQ(fresh->netType, 1);
    EXPECT_EQ(table.Find(Reply("c30000000002")), fresh);
    EXPECT_EQ(table.Find(Reply("d40000000003")), nullptr);
}

TEST(DeviceTableTest, PastTheCapNewCamerasAreDroppedWhileKnownOnesStillUpdate)
{
    CDeviceTable table;
    CDeviceTableLock lock(table);
    auto id = [](int i) {
        char text[16];
        std::snprintf(text, sizeof text, "e%011d", i);
        return std::string(text);
    };
    bool created = false;
    for (int i = 0; i < CDeviceTable::MAX_CAMERAS; ++i)
        ASSERT_NE(table.Store(Reply(id(i)), "198.18.16.2", 0, created), nullptr) << i;
    ASSERT_EQ(table.GetCount(), CDeviceTable::MAX_CAMERAS);
    EXPECT_TRUE(table.IsFull());

    // One camera more, in either spelling: dropped, and nothing about it is kept.
    for (const char* extra : {"f99999999999", "F99999999999"}) {
        created = true;
        EXPECT_EQ(table.Store(Reply(extra), "198.18.16.3", 0, created), nullptr) << extra;
        EXPECT_FALSE(created);
        EXPECT_EQ(table.Find(Reply(extra)), nullptr);
    }
    EXPECT_EQ(table.GetCount(), CDeviceTable::MAX_CAMERAS);

    // A camera already listed still takes its new reply.
    DeviceRecord* last =
        table.Store(Reply(id(CDeviceTable::MAX_CAMERAS - 1), "renamed"), "198.18.2.9", 1, created);
    ASSERT_NE(last, nullptr);
    EXPECT_FALSE(created);
    EXPECT_EQ(ReadTextField(last->message.name), "renamed");
    EXPECT_EQ(table.GetAt(CDeviceTable::MAX_CAMERAS - 1), last);

    // A rescan makes room again.
    table.Clear();
    EXPECT_FALSE(table.IsFull());
    EXPECT_NE(table.Store(Reply("f99999999999"), "198.18.16.3", 0, created), nullptr);
    EXPECT_TRUE(created);
}

} // namespace
