// Text conversions under the process's ANSI code page: the suite runs once with 936 (Chinese)
// and once with 1252 (Western), and picks its expectations from GetACP().
#include "base/TextConvert.h"
#include "base/TextReleaseRing.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

bool IsChinese()
{
    return GetACP() == 936;
}

bool IsWestern()
{
    return GetACP() == 1252;
}

// UTF-8 spellings of the characters used below.
const char* const ZHONG_WEN = "\xE4\xB8\xAD\xE6\x96\x87"; // U+4E2D U+6587
const char* const ZHONG_WEN_936 = "\xD6\xD0\xCE\xC4";
const char* const E_ACUTE = "\xC3\xA9";         // U+00E9, in both code pages
const char* const THAI_KO_KAI = "\xE0\xB8\x81"; // U+0E01, in neither

} // namespace

TEST(TextConvert, RunsUnderAKnownCodePage)
{
    const UINT nAcp = GetACP();
    std::printf("ANSI code page %u\n", nAcp);
    ASSERT_TRUE(nAcp == 936 || nAcp == 1252) << "unexpected code page " << nAcp;
}

TEST(TextConvert, NullGivesNullAndEmptyGivesEmpty)
{
    EXPECT_EQ(TextAnsiToUtf8(nullptr), nullptr);
    EXPECT_EQ(TextUtf8ToAnsi(nullptr), nullptr);
    EXPECT_EQ(TextUtf8ToWide(nullptr), nullptr);
    EXPECT_EQ(TextWideToUtf8(nullptr), nullptr);
    EXPECT_EQ(TextAnsiToWide(nullptr), nullptr);
    EXPECT_EQ(TextWideToAnsi(nullptr), nullptr);

    const char* narrow[] = {TextAnsiToUtf8(""), TextUtf8ToAnsi(""), TextWideToUtf8(L""), TextWideToAnsi(L"")};
    for (const char* p : narrow) {
        ASSERT_NE(p, nullptr);
        EXPECT_STREQ(p, "");
    }
    const wchar_t* wide[] = {TextUtf8ToWide(""), TextAnsiToWide("")};
    for (const wchar_t* p : wide) {
        ASSERT_NE(p, nullptr);
        EXPECT_STREQ(p, L"");
    }
}

TEST(TextConvert, AsciiPassesThroughEveryConversion)
{
    EXPECT_STREQ(TextAnsiToUtf8("Cam-01 lobby"), "Cam-01 lobby");
    EXPECT_STREQ(TextUtf8ToAnsi("Cam-01 lobby"), "Cam-01 lobby");
    EXPECT_STREQ(TextUtf8ToWide("Cam-01"), L"Cam-01");
    EXPECT_STREQ(TextWideToUtf8(L"Cam-01"), "Cam-01");
    EXPECT_STREQ(TextAnsiToWide("Cam-01"), L"Cam-01");
    EXPECT_STREQ(TextWideToAnsi(L"Cam-01"), "Cam-01");
}

TEST(TextConvert, Utf8ToAnsiFollowsTheCodePage)
{
    struct Case {
        const char* utf8;
        const char* ansi936;
        const char* ansi1252;
    };
    const Case cases[] = {
        {ZHONG_WEN, ZHONG_WEN_936, "??"},
        {E_ACUTE, "\xA8\xA6", "\xE9"},
        {THAI_KO_KAI, "?", "?"},          // in neither code page
        {"A\xE0\xB8\x81Z", "A?Z", "A?Z"}, // the default character keeps its place
        {"\xE4\xB8\xAD"
         "1",
         "\xD6\xD0"
         "1",
         "?1"},
    };
    for (const Case& c : cases) {
        const char* pszExpected = IsChinese() ? c.ansi936 : c.ansi1252;
        EXPECT_STREQ(TextUtf8ToAnsi(c.utf8), pszExpected) << "utf8 " << c.utf8;
    }
}

TEST(TextConvert, ChineseRoundTrips)
{
    // UTF-8 -> ANSI -> UTF-8 keeps what the code page holds and turns the rest into "?".
    const std::string ansi = TextUtf8ToAnsi(ZHONG_WEN);
    EXPECT_STREQ(TextAnsiToUtf8(ansi.c_str()), IsChinese() ? ZHONG_WEN : "??");

    // UTF-16 <-> UTF-8 is lossless whatever the code page.
    const std::wstring wide = TextUtf8ToWide(ZHONG_WEN);
    EXPECT_EQ(wide, L"\u4E2D\u6587");
    EXPECT_STREQ(TextWideToUtf8(wide.c_str()), ZHONG_WEN);

    // UTF-16 <-> ANSI.
    const std::string narrow = TextWideToAnsi(L"\u4E2D\u6587x");
    EXPECT_EQ(narrow, IsChinese() ? std::string(ZHONG_WEN_936) + "x" : std::string("??x"));
    EXPECT_STREQ(TextAnsiToWide(narrow.c_str()), IsChinese() ? L"\u4E2D\u6587x" : L"??x");
    if (IsWestern()) {
        EXPECT_STREQ(TextAnsiToWide("\xE9"), L"\u00E9");
    }
}

TEST(TextConvert, IsUtf8Table)
{
    struct Case {
        const char* text;
        int expected; // 0 or "nonzero" (1)
    };
    const Case cases[] = {
        {"", 0},
        {"plain ascii", 0},
        {ZHONG_WEN, 1},
        {E_ACUTE, 1},
        {"a\xF0\x9F\x98\x80z", 1}, // four-byte sequence
        {"\xE4\xB8", 0},           // ends inside a sequence
        {"abc\xE4", 0},
        {"\x80"
         "abc",
         0},                 // stray continuation byte
        {"\xC3\xA9\xA9", 0}, // one continuation too many
        {"\xC3"
         "a",
         0},         // lead byte followed by ASCII
        {"\xFF", 0}, // eight leading ones
        {"\xFE\x80\x80\x80\x80\x80\x80", 0},
        {"\xD6\xD0\xCE\xC4", 0}, // GBK bytes of a Chinese word are not UTF-8
    };
    for (const Case& c : cases)
        EXPECT_EQ(TextIsUtf8(c.text) != 0, c.expected != 0) << "text bytes of length " << std::strlen(c.text);
    EXPECT_EQ(TextIsUtf8(nullptr), 0);
}

// The ring: a result survives 199 further conversions and is freed by the 200th. The hook sees
// each buffer just before it is freed, so nothing here reads freed memory.
namespace {
std::vector<const void*> g_released;
void RecordRelease(const void* p)
{
    g_released.push_back(p);
}

bool WasReleased(const void* p)
{
    for (const void* q : g_released)
        if (q == p)
            return true;
    return false;
}

struct RingHookFixture : testing::Test {
    void SetUp() override
    {
        g_released.clear();
        TextReleaseRing::Instance().SetReleaseHook(RecordRelease);
    }
    void TearDown() override { TextReleaseRing::Instance().SetReleaseHook(nullptr); }
};
} // namespace

TEST_F(RingHookFixture, ResultLivesFor199ConversionsAndIsFreedByThe200th)
{
    // Fill the ring once so that every slot holds a buffer.
    for (int i = 0; i < TextReleaseRing::SLOT_COUNT; ++i)
        TextAnsiToWide("fill");
    g_released.clear();

    const char* pKept = TextWideToUtf8(L"kept \u4E2D");
    g_released.clear();
    const wchar_t* pOther = nullptr;
    for (int i = 0; i < TextReleaseRing::SLOT_COUNT - 1; ++i)
        pOther = TextUtf8ToWide("other");
    EXPECT_FALSE(WasReleased(pKept));
    EXPECT_STREQ(pKept, "kept \xE4\xB8\xAD");
    EXPECT_STREQ(pOther, L"other");
    // Each of the 199 conversions freed the oldest buffer of the full ring, never ours.
    EXPECT_EQ(g_released.size(), static_cast<std::size_t>(TextReleaseRing::SLOT_COUNT - 1));

    TextUtf8ToAnsi("the 200th");
    ASSERT_FALSE(g_released.empty());
    EXPECT_EQ(g_released.back(), static_cast<const void*>(pKept));
}

TEST_F(RingHookFixture, TwoStepConversionsHandOnlyTheirResultToTheRing)
{
    for (int i = 0; i < TextReleaseRing::SLOT_COUNT; ++i)
        TextAnsiToUtf8("fill");
    g_released.clear();
    // Each conversion takes exactly one slot, the two-step ones included.
    TextAnsiToUtf8("a");
    TextUtf8ToAnsi("b");
    TextWideToAnsi(L"c");
    EXPECT_EQ(g_released.size(), 3u);
}

TEST_F(RingHookFixture, RingKeepsItsCountUnderConcurrentConversions)
{
    // Four threads convert at once. Every conversion must take exactly one slot and free exactly
    // the one buffer that held it: a race on the slot table would free a buffer twice (a crash
    // or a heap error) or lose one (fewer releases than conversions).
    for (int i = 0; i < TextReleaseRing::SLOT_COUNT; ++i)
        TextAnsiToUtf8("fill");
    g_released.clear();
    const int nThreads = 4;
    const int nPerThread = 3000;
    std::vector<std::thread> threads;
    for (int t = 0; t < nThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < nPerThread; ++i) {
                wchar_t wide[32];
                swprintf(wide, 32, L"t%d-%d-\u4E2D", t, i);
                // Results are not read here: the ring counts its 199 conversions across all
                // threads, so another thread may already have released them.
                TextWideToUtf8(wide);
                TextUtf8ToWide("\xE4\xB8\xAD");
            }
        });
    }
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(g_released.size(), static_cast<std::size_t>(nThreads * nPerThread * 2));
}

// Fitting names into the 20-byte wire field (19 bytes and the zero).
TEST(TextConvertFit, ReceivedNameCutByWholeCharacters)
{
    struct Case {
        const char* utf8;
        std::size_t sourceMax;
        std::size_t outSize;
        const char* ansi936;
        const char* ansi1252;
    };
    // Six Chinese characters: 18 bytes of UTF-8, 12 of GBK, 6 "?" in 1252.
    const std::string six = std::string(ZHONG_WEN) + ZHONG_WEN + ZHONG_WEN;
    const std::string six936 = std::string(ZHONG_WEN_936) + ZHONG_WEN_936 + ZHONG_WEN_936;
    const Case cases[] = {
        {six.c_str(), 20, 20, six936.c_str(), "??????"},
        // Room for 5 bytes: two whole GBK characters, never half of the third.
        {six.c_str(), 20, 6, "\xD6\xD0\xCE\xC4", "?????"},
        {six.c_str(), 20, 1, "", ""},
        {"A"
         "\xE4\xB8\xAD",
         20, 3, "A", "A?"},
        {"abcdefghijklmnopqrstuvwxyz", 26, 20, "abcdefghijklmnopqrs", "abcdefghijklmnopqrs"},
        // The source limit stops a field that has no terminating zero.
        {"abcdefghij", 4, 20, "abcd", "abcd"},
        {"", 20, 20, "", ""},
    };
    for (const Case& c : cases) {
        char out[64];
        std::memset(out, 'X', sizeof out);
        const int n = TextUtf8ToAnsiFit(c.utf8, c.sourceMax, out, c.outSize);
        const char* pszExpected = IsChinese() ? c.ansi936 : c.ansi1252;
        EXPECT_STREQ(out, pszExpected) << "outSize " << c.outSize;
        EXPECT_EQ(n, static_cast<int>(std::strlen(pszExpected)));
        EXPECT_EQ(out[c.outSize], 'X') << "wrote past the buffer";
    }
}

TEST(TextConvertFit, ReceivedNameConvertedInPlace)
{
    // A 20-byte field whose UTF-8 name has no room for its zero, converted where it lies.
    char field[21];
    std::memset(field, 0x7E, sizeof field);
    const char* name =
        "ab\xE4\xB8\xAD\xE6\x96\x87\xE4\xB8\xAD\xE6\x96\x87\xE4\xB8\xAD\xE6\x96\x87"; // 20 bytes
    ASSERT_EQ(std::strlen(name), 20u);
    std::memcpy(field, name, 20);
    const int n = TextUtf8ToAnsiFit(field, 20, field, 20);
    EXPECT_STREQ(field, IsChinese() ? "ab\xD6\xD0\xCE\xC4\xD6\xD0\xCE\xC4\xD6\xD0\xCE\xC4" : "ab??????");
    EXPECT_EQ(n, IsChinese() ? 14 : 8);
    EXPECT_EQ(field[20], 0x7E);
}

TEST(TextConvertFit, NameCutShortByTheCameraKeepsItsWholeCharacters)
{
    // 6 whole characters and the first two bytes of a seventh, all 20 bytes of the field used.
    std::string field = std::string(ZHONG_WEN) + ZHONG_WEN + ZHONG_WEN + "\xE4\xB8";
    ASSERT_EQ(field.size(), 20u);
    char out[20];
    const int n = TextUtf8ToAnsiFit(field.data(), 20, out, sizeof out);
    const std::string whole =
        IsChinese() ? std::string(ZHONG_WEN_936) + ZHONG_WEN_936 + ZHONG_WEN_936 : "??????";
    EXPECT_EQ(std::string(out, whole.size()), whole);
    EXPECT_LE(n, 19);
    EXPECT_EQ(out[n], '\0');
}

TEST(TextConvertFit, TypedNameGoesOutAsUtf8OfWhatTheCodePageHolds)
{
    struct Case {
        const wchar_t* typed;
        std::size_t outSize;
        const char* wire936;
        const char* wire1252;
    };
    const Case cases[] = {
        // Five Chinese characters: 15 UTF-8 bytes, they fit.
        {L"\u6444\u50CF\u673A\u4E00\u53F7", 20,
         "\xE6\x91\x84\xE5\x83\x8F\xE6\x9C\xBA\xE4\xB8\x80\xE5\x8F\xB7", "?????"},
        // Seven: 21 bytes; cut to six whole characters (18 bytes).
        {L"\u6444\u50CF\u673A\u4E00\u53F7\u95E8\u53E3", 20,
         "\xE6\x91\x84\xE5\x83\x8F\xE6\x9C\xBA\xE4\xB8\x80\xE5\x8F\xB7\xE9\x97\xA8", "???????"},
        // A name the code page lacks is sent as the default character, not as the original.
        {L"cam\u0E01", 20, "cam?", "cam?"},
        // e-acute travels as its UTF-8 (2 bytes): 18 x 'a' + e-acute needs 20, one too many.
        {L"aaaaaaaaaaaaaaaaaa\u00E9", 20, "aaaaaaaaaaaaaaaaaa", "aaaaaaaaaaaaaaaaaa"},
        {L"aaaaaaaaaaaaaaaaa\u00E9", 20, "aaaaaaaaaaaaaaaaa\xC3\xA9", "aaaaaaaaaaaaaaaaa\xC3\xA9"},
        {L"", 20, "", ""},
    };
    for (const Case& c : cases) {
        char out[64];
        std::memset(out, 'X', sizeof out);
        const int n = TextWideToAnsiUtf8Fit(c.typed, out, c.outSize);
        const char* pszExpected = IsChinese() ? c.wire936 : c.wire1252;
        EXPECT_STREQ(out, pszExpected);
        EXPECT_EQ(n, static_cast<int>(std::strlen(pszExpected)));
        EXPECT_EQ(out[c.outSize], 'X');
    }
}

TEST(TextConvertFit, SurrogatePairIsNeverSplit)
{
    // U+1F600 is outside both code pages; whatever the code page makes of the pair, the cut never
    // leaves half of it: the result is either the whole pair's form or nothing of it.
    const std::string pairForm = TextWideToAnsi(L"\U0001F600");
    const std::wstring text = std::wstring(17, L'a') + L"\U0001F600";
    for (std::size_t nOut = 17; nOut <= 22; ++nOut) {
        char out[32];
        const int n = TextWideToAnsiUtf8Fit(text.c_str(), out, nOut);
        const std::string got(out, static_cast<std::size_t>(n));
        const std::string whole = std::string(17, 'a') + pairForm;
        if (whole.size() <= nOut - 1) {
            EXPECT_EQ(got, whole) << nOut;
        } else {
            EXPECT_EQ(got, std::string(std::min<std::size_t>(17, nOut - 1), 'a')) << nOut;
        }
    }
}

TEST(TextConvertFit, NothingWrittenWithoutRoom)
{
    char out[4] = {'X', 'X', 'X', 'X'};
    EXPECT_EQ(TextUtf8ToAnsiFit("abc", 3, out, 0), 0);
    EXPECT_EQ(TextWideToAnsiUtf8Fit(L"abc", out, 0), 0);
    EXPECT_EQ(out[0], 'X');
    EXPECT_EQ(TextUtf8ToAnsiFit(nullptr, 3, out, 4), 0);
    EXPECT_STREQ(out, "");
}

TEST(TextConvertFit, LongTextCutAtTheLastWholeCharacterThatFits)
{
    // 600 characters alternating U+4E2D and 'a'; every limit from 1 to 60 bytes.
    std::string utf8;
    for (int i = 0; i < 300; ++i)
        utf8 += "\xE4\xB8\xAD"
                "a";
    const std::size_t nWide = IsChinese() ? 2 : 1; // bytes of U+4E2D in the ANSI code page
    for (std::size_t nOut = 1; nOut <= 61; ++nOut) {
        std::size_t nExpected = 0;
        for (int i = 0;; ++i) {
            const std::size_t nNext = nExpected + (i % 2 == 0 ? nWide : 1);
            if (nNext > nOut - 1)
                break;
            nExpected = nNext;
        }
        char out[64];
        EXPECT_EQ(TextUtf8ToAnsiFit(utf8.c_str(), utf8.size(), out, nOut), static_cast<int>(nExpected))
            << nOut;
    }
}
