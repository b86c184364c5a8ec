// Wire messages: building, checking and the text fields. Plain standard C++, built both as a
// Windows test (under Wine) and as a native test with sanitizers.
#include <gtest/gtest.h>

#include "protocol/WireMessage.h"

#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kNameOffset = offsetof(WireMessage, name);
constexpr std::size_t kAckTagOffset = offsetof(WireMessage, ackTag);
constexpr std::size_t kIdSerialOffset = offsetof(WireMessage, idSerial);

using Bytes = std::array<std::uint8_t, MESSAGE_SIZE>;

Bytes BytesOf(const WireMessage& m)
{
    Bytes b;
    std::memcpy(b.data(), &m, MESSAGE_SIZE);
    return b;
}

// Every byte different from its neighbours and non-zero, so that a moved, dropped or zeroed
// byte shows.
WireMessage PatternMessage(std::uint8_t seed)
{
    WireMessage m;
    auto* p = reinterpret_cast<std::uint8_t*>(&m);
    for (std::size_t i = 0; i < MESSAGE_SIZE; ++i)
        p[i] = static_cast<std::uint8_t>((i * 7 + seed) % 251 + 1);
    return m;
}

// A camera reply as a camera would send it: the pattern everywhere, then the fields the checks read.
WireMessage Reply(std::string_view idSerial, std::int32_t type = MSG_INFO)
{
    WireMessage m = PatternMessage(3);
    m.type = type;
    std::memset(m.idSerial, 0, sizeof m.idSerial);
    std::memcpy(m.idSerial, idSerial.data(), std::min(idSerial.size(), sizeof m.idSerial));
    return m;
}

TEST(GetRequest, IsTypeAndCommandThenZeros)
{
    WireMessage m = PatternMessage(9);
    BuildGetRequest(m);

    Bytes expected{};
    const std::uint8_t head[] = {0x56, 0, 0, 0, 'H', 'd', 'v', 's', 'G', 'e', 't', 0};
    std::memcpy(expected.data(), head, sizeof head);
    EXPECT_EQ(BytesOf(m), expected);
}

struct ReplyCase {
    const char* what;
    std::string idSerial; // written into a zeroed 64-byte field, cut to 64 bytes
    std::int32_t type;
    bool accepted;
};

class InfoReplyCheck : public testing::TestWithParam<ReplyCase> {};

TEST_P(InfoReplyCheck, AcceptsOnlyWellFormedReplies)
{
    const ReplyCase& c = GetParam();
    const WireMessage m = Reply(c.idSerial, c.type);
    EXPECT_EQ(IsValidInfoReply(&m, MESSAGE_SIZE), c.accepted) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, InfoReplyCheck,
    testing::Values(
        ReplyCase{"lower-case a", "a1b2c3d4e5f6", MSG_INFO, true},
        ReplyCase{"b", "b1b2c3d4e5f6", MSG_INFO, true}, ReplyCase{"c", "c1b2c3d4e5f6", MSG_INFO, true},
        ReplyCase{"d", "d1b2c3d4e5f6", MSG_INFO, true}, ReplyCase{"f", "f1b2c3d4e5f6", MSG_INFO, true},
        ReplyCase{"upper-case F", "F1B2C3D4E5F6", MSG_INFO, true},
        ReplyCase{"e is not a camera prefix", "e1b2c3d4e5f6", MSG_INFO, false},
        ReplyCase{"upper-case A", "A1b2c3d4e5f6", MSG_INFO, false},
        ReplyCase{"digit first", "11b2c3d4e5f6", MSG_INFO, false},
        ReplyCase{"11 characters", "a1b2c3d4e5f", MSG_INFO, false},
        ReplyCase{"13 characters", "a1b2c3d4e5f6a", MSG_INFO, false}, ReplyCase{"empty", "", MSG_INFO, false},
        ReplyCase{"no terminator in the whole field", std::string(64, 'a'), MSG_INFO, false},
        ReplyCase{"type 87 in the low byte, 1 in the next", "a1b2c3d4e5f6", 343, false},
        ReplyCase{"acknowledgement type", "a1b2c3d4e5f6", MSG_ACK, false},
        ReplyCase{"extra datagram", "a1b2c3d4e5f6", MSG_INFO_EXTRA, false}));

TEST(InfoReply, BytesAfterTheIdSerialTerminatorDoNotCount)
{
    WireMessage m = Reply("a1b2c3d4e5f6");
    std::memset(m.idSerial + 13, 'x', sizeof m.idSerial - 13);
    EXPECT_TRUE(IsValidInfoReply(&m, MESSAGE_SIZE));
}

TEST(InfoReply, NothingReceivedIsRefused)
{
    const WireMessage m = Reply("a1b2c3d4e5f6");
    EXPECT_FALSE(IsValidInfoReply(&m, 0));
    EXPECT_FALSE(IsValidInfoReply(&m, -1));
    EXPECT_FALSE(IsValidInfoReply(nullptr, MESSAGE_SIZE));
}

// The check reads only the bytes it was given: the tail counts as zero, as in a zeroed receive
// buffer. The buffers are exactly as long as the count, so a read past it shows under a sanitizer.
TEST(InfoReply, ReadsOnlyTheReceivedBytes)
{
    const WireMessage m = Reply("a1b2c3d4e5f6");
    auto receivedPrefix = [&](std::size_t n) {
        std::vector<std::uint8_t> buffer(n);
        std::memcpy(buffer.data(), &m, n);
        return IsValidInfoReply(buffer.data(), static_cast<std::ptrdiff_t>(n));
    };
    EXPECT_TRUE(receivedPrefix(kIdSerialOffset + 12)) << "the id serial ends where the datagram ends";
    EXPECT_FALSE(receivedPrefix(kIdSerialOffset + 11));
    EXPECT_FALSE(receivedPrefix(kIdSerialOffset));
    EXPECT_FALSE(receivedPrefix(3));
    EXPECT_TRUE(receivedPrefix(MESSAGE_SIZE));

    // A count larger than the message reads no further than the message.
    std::vector<std::uint8_t> exact(MESSAGE_SIZE);
    std::memcpy(exact.data(), &m, MESSAGE_SIZE);
    EXPECT_TRUE(IsValidInfoReply(exact.data(), 5000));
}

TEST(InfoReply, UnterminatedIdSerialAtTheEndOfAShortDatagramIsReadNoFurther)
{
    std::vector<std::uint8_t> buffer(kIdSerialOffset + 20, 'a');
    const std::int32_t type = MSG_INFO;
    std::memcpy(buffer.data(), &type, sizeof type);
    EXPECT_FALSE(IsValidInfoReply(buffer.data(), static_cast<std::ptrdiff_t>(buffer.size())));
}

TEST(InfoExtra, ChecksTypeAndIdSerialLengthOnly)
{
    const WireMessage anyPrefix = Reply("e1b2c3d4e5f6", MSG_INFO_EXTRA);
    EXPECT_TRUE(IsValidInfoExtra(&anyPrefix, MESSAGE_SIZE));

    const WireMessage shortId = Reply("a1b2c3d4e5f", MSG_INFO_EXTRA);
    EXPECT_FALSE(IsValidInfoExtra(&shortId, MESSAGE_SIZE));
    const WireMessage unterminated = Reply(std::string(64, 'a'), MSG_INFO_EXTRA);
    EXPECT_FALSE(IsValidInfoExtra(&unterminated, MESSAGE_SIZE));
    const WireMessage reply = Reply("a1b2c3d4e5f6", MSG_INFO);
    EXPECT_FALSE(IsValidInfoExtra(&reply, MESSAGE_SIZE));
    EXPECT_FALSE(IsValidInfoExtra(&anyPrefix, 0));
}

TEST(IdSerial, IsTwelveCharactersUpToTheFirstZero)
{
    EXPECT_TRUE(IsValidIdSerial("a1b2c3d4e5f6"));
    EXPECT_TRUE(IsValidIdSerial(std::string_view("a1b2c3d4e5f6\0zz", 15)));
    EXPECT_FALSE(IsValidIdSerial(std::string_view("a1b2c3\0d4e5f6", 13)));
    EXPECT_FALSE(IsValidIdSerial(""));
    EXPECT_FALSE(IsValidIdSerial("B1b2c3d4e5f6"));
}

TEST(Ack, EqualsTheReplyExceptTypeAndTag)
{
    const WireMessage reply = Reply("a1b2c3d4e5f6");
    WireMessage ack = PatternMessage(77);
    BuildAck(reply, ack);

    const Bytes in = BytesOf(reply);
    const Bytes out = BytesOf(ack);
    const std::uint8_t type[] = {0x81, 0, 0, 0};
    const std::uint8_t tag[] = {'3', 'G', 0};
    for (std::size_t i = 0; i < MESSAGE_SIZE; ++i) {
        if (i < 4)
            EXPECT_EQ(out[i], type[i]) << "byte " << i;
        else if (i >= kAckTagOffset && i < kAckTagOffset + 3)
            EXPECT_EQ(out[i], tag[i - kAckTagOffset]) << "byte " << i;
        else
            EXPECT_EQ(out[i], in[i]) << "byte " << i;
    }
}

TEST(Ack, CanBeBuiltInPlace)
{
    WireMessage m = Reply("a1b2c3d4e5f6");
    const Bytes before = BytesOf(m);
    BuildAck(m, m);
    const Bytes after = BytesOf(m);
    EXPECT_EQ(m.type, MSG_ACK);
    EXPECT_EQ(std::string(m.ackTag, 3), std::string("3G\0", 3));
    EXPECT_TRUE(std::equal(before.begin() + 4, before.begin() + kAckTagOffset, after.begin() + 4));
    EXPECT_TRUE(
        std::equal(before.begin() + kAckTagOffset + 3, before.end(), after.begin() + kAckTagOffset + 3));
}

TEST(SetInfo, KeepsEveryByteButTypeAndCommand)
{
    DeviceRecord record{};
    record.message = Reply("a1b2c3d4e5f6");
    std::memset(record.sourceIp, 'z', sizeof record.sourceIp);
    record.netType = 1;
    WireMessage message = PatternMessage(50);
    BuildSetInfo(record, message);

    const Bytes in = BytesOf(record.message);
    const Bytes out = BytesOf(message);
    const std::uint8_t head[16] = {0x87, 0, 0, 0, 'H', 'd', 'v', 's', 'S', 'e', 't', 'I', 'n', 'f', 'o', 0};
    for (std::size_t i = 0; i < MESSAGE_SIZE; ++i) {
        if (i < sizeof head)
            EXPECT_EQ(out[i], head[i]) << "byte " << i;
        else
            EXPECT_EQ(out[i], in[i]) << "byte " << i; // 16 to 27 and the uninterpreted bytes included
    }
    for (std::size_t i = 16; i < 28; ++i)
        ASSERT_NE(in[i], 0) << "the record's bytes 16 to 27 must be non-zero for this test";
}

class TextFieldWrite : public testing::Test {
  protected:
    // Filled with a marker so that a byte written outside a field, or one not written, shows.
    WireMessage m = PatternMessage(11);
    Bytes before = BytesOf(m);

    void ExpectUnchangedOutside(std::size_t offset, std::size_t width)
    {
        const Bytes after = BytesOf(m);
        for (std::size_t i = 0; i < MESSAGE_SIZE; ++i) {
            if (i >= offset && i < offset + width)
                continue;
            ASSERT_EQ(after[i], before[i]) << "byte " << i << " outside the field changed";
        }
    }
    std::string FieldBytes(std::size_t offset, std::size_t width)
    {
        return std::string(reinterpret_cast<const char*>(&m) + offset, width);
    }
};

TEST_F(TextFieldWrite, ShortAddressIsZeroFilled)
{
    WriteTextField(m.lanIp, "10.0.0.5");
    EXPECT_EQ(FieldBytes(76, 16), std::string("10.0.0.5\0\0\0\0\0\0\0\0", 16));
    ExpectUnchangedOutside(76, 16);
}

TEST_F(TextFieldWrite, FullWidthTextHasNoTerminatorAndExtraCharactersAreDropped)
{
    WriteTextField(m.lanIp, "192.168.100.1234");
    EXPECT_EQ(FieldBytes(76, 16), "192.168.100.1234");
    ExpectUnchangedOutside(76, 16);

    WriteTextField(m.lanIp, "192.168.100.12345");
    EXPECT_EQ(FieldBytes(76, 16), "192.168.100.1234");
    ExpectUnchangedOutside(76, 16);
    EXPECT_EQ(ReadTextField(m.lanIp), "192.168.100.1234");
}

TEST_F(TextFieldWrite, SsidKeepsItsLastByte)
{
    const std::string longSsid(130, 's');
    WriteSsid(m, longSsid);
    EXPECT_EQ(FieldBytes(384, 127), std::string(127, 's'));
    ExpectUnchangedOutside(384, 127); // byte 511 included

    WriteSsid(m, "home");
    EXPECT_EQ(FieldBytes(384, 127), "home" + std::string(123, '\0'));
    ExpectUnchangedOutside(384, 127);
}

TEST(TextFieldRead, StopsAtTheZeroOrTheFieldEnd)
{
    WireMessage m = PatternMessage(5);
    std::memcpy(m.version, "V1.2\0xyz", 8);
    EXPECT_EQ(ReadTextField(m.version), "V1.2");

    std::memset(m.name, 'n', sizeof m.name); // no terminator; ackTag follows with non-zero bytes
    EXPECT_EQ(ReadTextField(m.name), std::string(20, 'n'));
}

TEST(SameCameraTest, ComparesIdSerialsWithoutCaseWithinTheField)
{
    EXPECT_TRUE(SameCamera("a1b2c3d4e5f6", "A1B2C3D4E5F6"));
    EXPECT_TRUE(
        SameCamera(std::string_view("f1b2c3d4e5f6\0junk", 17), std::string_view("F1B2C3D4E5F6\0else", 17)));
    EXPECT_FALSE(SameCamera("a1b2c3d4e5f6", "a1b2c3d4e5f7"));
    EXPECT_FALSE(SameCamera("a1b2c3d4e5f6", "a1b2c3d4e5f"));
    EXPECT_FALSE(SameCamera("a1b2c3d4e5[6", "a1b2c3d4e5{6")) << "only letters fold";

    WireMessage a = Reply(std::string(64, 'c'));
    WireMessage b = Reply(std::string(64, 'C'));
    EXPECT_TRUE(SameCamera(a, b)); // unterminated fields compare over exactly 64 bytes
    b.idSerial[63] = 'd';
    EXPECT_FALSE(SameCamera(a, b));
}

TEST(DisplayForms, MacAndNetType)
{
    const std::uint8_t mac[8] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0xFF, 0xFF};
    EXPECT_EQ(FormatMac(mac), "00:1A:2B:3C:4D:5E");
    const std::uint8_t high[8] = {0xFF, 0xab, 0x80, 0x09, 0x10, 0xfe, 0, 0};
    EXPECT_EQ(FormatMac(high), "FF:AB:80:09:10:FE");

    EXPECT_STREQ(NetTypeText(1), "WIFI");
    EXPECT_STREQ(NetTypeText(0), "LAN");
    EXPECT_STREQ(NetTypeText(2), "LAN");
    EXPECT_STREQ(NetTypeText(-1), "LAN");
}

struct CutCase {
    const char* what;
    std::string text;
    std::size_t maxBytes;
    std::size_t expected;
};

class Utf8Cut : public testing::TestWithParam<CutCase> {};

TEST_P(Utf8Cut, NeverSplitsACharacter)
{
    const CutCase& c = GetParam();
    EXPECT_EQ(CutUtf8(c.text, c.maxBytes), c.expected) << c.what;
}

// "中" is E4 B8 AD, "é" is C3 A9, "😀" is F0 9F 98 80.
INSTANTIATE_TEST_SUITE_P(
    Table, Utf8Cut,
    testing::Values(CutCase{"short text stays whole", "abc", 19, 3},
                    CutCase{"ASCII cut anywhere", std::string(25, 'a'), 19, 19},
                    CutCase{"three-byte characters", "中中中中中中中", 19, 18},
                    CutCase{"cut right after a three-byte character", "中中中中中中中", 18, 18},
                    CutCase{"cut after the first byte of a character", "中中中中中中中", 16, 15},
                    CutCase{"two-byte characters", "éééééééééé", 19, 18},
                    CutCase{"four-byte character", "abcdefghijklmnop😀", 19, 16},
                    CutCase{"mixed", "ab中é😀x", 8, 7}, CutCase{"nothing fits", "中", 2, 0},
                    CutCase{"stray continuation bytes are single bytes", std::string(25, '\x80'), 19, 19},
                    CutCase{"lead byte followed by too many continuations", "a\xC3\xA9\xA9\xA9", 4, 4}));

class NameWrite : public TextFieldWrite {};

TEST_F(NameWrite, LongChineseNameIsCutAtACharacterAndKeepsItsTerminator)
{
    std::string name;
    for (int i = 0; i < 19; ++i)
        name += "摄"; // 19 characters, 57 bytes in UTF-8
    WriteNameUtf8(m, name);
    EXPECT_EQ(FieldBytes(kNameOffset, 20), name.substr(0, 18) + std::string(2, '\0'));
    ExpectUnchangedOutside(kNameOffset, 20); // ackTag untouched
}

TEST_F(NameWrite, NameFitsWithItsTerminator)
{
    WriteNameUtf8(m, "Camera-123456789012"); // 19 bytes: fits with the zero
    EXPECT_EQ(FieldBytes(kNameOffset, 20), std::string("Camera-123456789012\0", 20));

    WriteNameUtf8(m, "Camera-1234567890123"); // 20 bytes: the last one goes
    EXPECT_EQ(FieldBytes(kNameOffset, 20), std::string("Camera-123456789012\0", 20));

    WriteNameUtf8(m, "Cam"); // nothing of the longer name stays behind
    EXPECT_EQ(FieldBytes(kNameOffset, 20), "Cam" + std::string(17, '\0'));
    ExpectUnchangedOutside(kNameOffset, 20);
}

TEST_F(NameWrite, ConvertedNameIsBoundedToTheField)
{
    // A camera may fill all 20 bytes without a terminator; its ASCII name converts to 20 bytes.
    std::memset(m.name, 'N', sizeof m.name);
    before = BytesOf(m);
    WriteConvertedName(m, ReadTextField(m.name));
    EXPECT_EQ(FieldBytes(kNameOffset, 20), std::string(19, 'N') + '\0');
    ExpectUnchangedOutside(kNameOffset, 20);

    WriteConvertedName(m, "\xC9\xE3\xCF\xF1"); // two double-byte characters, already cut by the caller
    EXPECT_EQ(FieldBytes(kNameOffset, 20), "\xC9\xE3\xCF\xF1" + std::string(16, '\0'));
    ExpectUnchangedOutside(kNameOffset, 20);
}

} // namespace
