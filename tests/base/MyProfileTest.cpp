// CMyProfile: path and section resolution, typed reads and writes against a real INI file in the
// temporary directory, the per-thread string ring, and side-file blobs (including corrupt ones).
#include "base/MyProfile.h"

#include "base/IniText.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

const std::wstring EXE = L"C:\\Tools\\app.exe";

std::string Narrow(const std::wstring& s)
{
    return std::string(s.begin(), s.end()); // the tests use ASCII only
}

} // namespace

TEST(ProfilePath, FileResolution)
{
    struct Case {
        const wchar_t* file;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"COMGroupSetting", L"C:\\Tools\\COMGroupSetting.ini"},
        {L"D:\\x\\y.INI", L"D:\\x\\y.INI"},
        {L"D:\\x\\y.txt", L"D:\\x\\y.txt.ini"},
        {L"", L"C:\\Tools\\app.exe.ini"},
        {nullptr, L"C:\\Tools\\app.exe.ini"},
        {L"   ", L"C:\\Tools\\app.exe.ini"},
        {L"  GlobalLang  ", L"C:\\Tools\\GlobalLang.ini"},
        {L"sub\\opts.Ini", L"C:\\Tools\\sub\\opts.Ini"},
        {L"C:\\Tools\\app.exe-Lang.ini", L"C:\\Tools\\app.exe-Lang.ini"},
        {L"\\\\server\\share\\net.ini", L"\\\\server\\share\\net.ini"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CMyProfile::ResolveFile(c.file, EXE), c.expected) << (c.file ? Narrow(c.file) : "(null)");
}

TEST(ProfilePath, SectionAndPrefixDefaults)
{
    struct Case {
        const wchar_t* file;
        const wchar_t* section;
        const wchar_t* expectedSection;
    };
    const Case cases[] = {
        {L"C:\\Tools\\app.exe-Lang.ini", L"", L"app.exe-Lang"},
        {L"", nullptr, L"app.exe"},
        {L"COMGroupSetting", L"  ", L"COMGroupSetting"},
        {L"COMGroupSetting", L"  COMSet1 ", L"COMSet1"},
        {L"D:\\.hidden", L"", L".hidden"}, // a leading point is not an extension
    };
    for (const Case& c : cases) {
        CMyProfile profile;
        profile.InitForExecutable(c.file, c.section, nullptr, EXE);
        EXPECT_EQ(profile.GetSection(), c.expectedSection) << Narrow(c.file);
        EXPECT_EQ(profile.GetItemPrefix(), L"DefItem");
    }

    CMyProfile profile;
    profile.InitForExecutable(L"x", L"s", L"  ", EXE);
    EXPECT_STREQ(profile.ItemKey(3), L"DefItem3");
    profile.SetItemPrefix(L" Combo ");
    EXPECT_STREQ(profile.ItemKey(0), L"Combo0");
    EXPECT_STREQ(profile.ItemKey(-12), L"Combo-12");
    profile.SetSection(L"");
    EXPECT_EQ(profile.GetSection(), L"DefVal");
}

TEST(ProfilePath, RelativeNamesLieBesideThisExecutable)
{
    const std::wstring exe = CMyProfile::ExecutablePath();
    ASSERT_FALSE(exe.empty());
    const std::wstring dir = exe.substr(0, exe.rfind(L'\\') + 1);
    CMyProfile profile(L"LvProfileProbe", nullptr, L"Item");
    EXPECT_EQ(profile.GetFile(), dir + L"LvProfileProbe.ini");
    EXPECT_EQ(profile.GetSection(), L"LvProfileProbe");
    EXPECT_EQ(profile.GetItemPrefix(), L"Item");
}

// A fresh INI file in the temporary directory for each test; side files are removed too.
class ProfileFile : public testing::Test {
  protected:
    void SetUp() override
    {
        wchar_t dir[MAX_PATH];
        GetTempPathW(MAX_PATH, dir);
        static int s_nSerial = 0;
        m_file = std::wstring(dir) + L"lv-profile-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 std::to_wstring(++s_nSerial) + L".ini";
        DeleteFileW(m_file.c_str());
        m_profile.Init(m_file.c_str(), L"Main", nullptr);
    }
    void TearDown() override
    {
        WIN32_FIND_DATAW data;
        const std::wstring dir = m_file.substr(0, m_file.rfind(L'\\') + 1);
        const HANDLE h = FindFirstFileW((m_file + L"*").c_str(), &data);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                DeleteFileW((dir + data.cFileName).c_str());
            } while (FindNextFileW(h, &data));
            FindClose(h);
        }
    }

    std::wstring Raw(const wchar_t* key) const
    {
        wchar_t buffer[512];
        GetPrivateProfileStringW(L"Main", key, L"<missing>", buffer, 512, m_file.c_str());
        return buffer;
    }
    void SetRaw(const wchar_t* key, const wchar_t* value) const
    {
        WritePrivateProfileStringW(L"Main", key, value, m_file.c_str());
    }
    void WriteSideFile(const wchar_t* key, const std::vector<unsigned char>& bytes) const
    {
        const std::wstring path = m_profile.BlobPath(key);
        const HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        DWORD n = 0;
        WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
        CloseHandle(h);
    }

    std::wstring m_file;
    CMyProfile m_profile;
};

TEST_F(ProfileFile, WriteDoubleTrimsZerosAndPoint)
{
    struct Case {
        double value;
        const wchar_t* text;
    };
    const Case cases[] = {
        {0.5, L"0.5"}, {10, L"10"},   {0, L"0"},
        {2.5, L"2.5"}, {3.0, L"3"},   {-1.25, L"-1.25"},
        {100, L"100"}, {0.1, L"0.1"}, {1234567.875, L"1234567.875"},
    };
    for (const Case& c : cases) {
        m_profile.WriteDouble(L"d", c.value);
        EXPECT_EQ(Raw(L"d"), c.text) << c.value;
        EXPECT_DOUBLE_EQ(m_profile.GetDouble(L"d", -99), c.value);
    }
    m_profile.WriteFloat(L"f", 0.5f);
    EXPECT_EQ(Raw(L"f"), L"0.5");
    m_profile.WriteFloat(L"f", 1.0f / 3.0f);
    EXPECT_EQ(Raw(L"f"), L"0.333333");
    EXPECT_FLOAT_EQ(m_profile.GetFloat(L"f", 9.0f), 0.333333f);
}

TEST_F(ProfileFile, RealsFallBackToTheDefault)
{
    struct Case {
        const wchar_t* raw; // null: key missing
        double expected;
    };
    const Case cases[] = {
        {nullptr, 4.5},  {L"", 4.5},         {L"abc", 4.5}, {L"1.5x", 4.5}, {L"nan", 4.5},  {L"inf", 4.5},
        {L"1e999", 4.5}, {L"  2.25 ", 2.25}, {L"-7", -7},   {L"+3.5", 3.5}, {L"1e3", 1000},
    };
    for (const Case& c : cases) {
        SetRaw(L"r", c.raw);
        EXPECT_DOUBLE_EQ(m_profile.GetDouble(L"r", 4.5), c.expected) << (c.raw ? Narrow(c.raw) : "(missing)");
    }
    SetRaw(L"r", L"1e300"); // a double, but no float
    EXPECT_FLOAT_EQ(m_profile.GetFloat(L"r", 1.5f), 1.5f);
    SetRaw(L"r", L"0.25");
    EXPECT_FLOAT_EQ(m_profile.GetFloat(L"r", 1.5f), 0.25f);
}

TEST_F(ProfileFile, IntegersDecimalAndHex)
{
    struct Case {
        const wchar_t* raw; // null: key missing
        int decimal;        // GetInt(key, 7, 0)
        int hex;            // GetInt(key, 10, 1)
    };
    const Case cases[] = {
        {nullptr, 7, 10},
        {L"42", 42, 0x42},
        {L"1F", 7, 31},
        {L"1f", 7, 31},
        {L"-5", -5, 10},
        {L"  12  ", 12, 0x12},
        {L"0x10", 16, 16},
        {L"abc", 7, 0xABC},
        {L"12abc", 7, 0x12ABC},
        {L"12xy", 7, 10},
        {L"zz", 7, 10},
        {L"", 7, 10},
        {L"2147483647", 2147483647, 10},
        {L"-2147483648", INT_MIN, 10},
        {L"2147483648", 7, 10},
        {L"99999999999", 7, 10},
        {L"FFFFFFFF", 7, -1},
        {L"100000000", 100000000, 10},
    };
    for (const Case& c : cases) {
        SetRaw(L"n", c.raw);
        const std::string what = c.raw ? Narrow(c.raw) : "(missing)";
        EXPECT_EQ(m_profile.GetInt(L"n", 7, 0), c.decimal) << what;
        EXPECT_EQ(m_profile.GetInt(L"n", 10, 1), c.hex) << what;
    }
}

TEST_F(ProfileFile, WriteIntDecimalAndHex)
{
    struct Case {
        int value;
        int hex;
        const wchar_t* text;
    };
    const Case cases[] = {
        {255, 1, L"FF"}, {255, 0, L"255"}, {-1, 1, L"FFFFFFFF"}, {-5, 0, L"-5"}, {0, 1, L"0"}};
    for (const Case& c : cases) {
        m_profile.WriteInt(L"n", c.value, c.hex);
        EXPECT_EQ(Raw(L"n"), c.text);
        EXPECT_EQ(m_profile.GetInt(L"n", 12345, c.hex), c.value);
    }
}

TEST_F(ProfileFile, StringsDefaultsAndRemoval)
{
    EXPECT_STREQ(m_profile.GetString(L"s"), L"");
    EXPECT_STREQ(m_profile.GetString(L"s", L"dflt"), L"dflt");
    // Plain strings pass through the ANSI code page: a character that code page holds.
    const std::wstring value = GetACP() == 936 ? L"value \u4E2D" : L"value \u00E9";
    m_profile.WriteString(L"s", value.c_str());
    EXPECT_EQ(m_profile.GetString(L"s", L"dflt"), value);
    m_profile.WriteString(L"s", nullptr);
    EXPECT_EQ(Raw(L"s"), L"<missing>");

    // A value longer than a ring buffer comes back cut to 1023 characters.
    const std::wstring longText(3000, L'w');
    m_profile.WriteString(L"long", longText.c_str());
    EXPECT_EQ(std::wcslen(m_profile.GetString(L"long")), 1023u);

    // Two profiles on one file see each other's writes at once.
    CMyProfile other(m_file.c_str(), L"Main", nullptr);
    other.WriteString(L"shared", L"from other");
    EXPECT_STREQ(m_profile.GetString(L"shared"), L"from other");
}

TEST_F(ProfileFile, StringRingHoldsTenResults)
{
    const wchar_t* results[11];
    for (int i = 0; i < 11; ++i) {
        const std::wstring value = L"v" + std::to_wstring(i);
        m_profile.WriteString(m_profile.ItemKey(i), value.c_str());
    }
    for (int i = 0; i < 11; ++i)
        results[i] = m_profile.GetString(m_profile.ItemKey(i));
    // The eleventh result took the first one's buffer; the nine between are intact.
    EXPECT_EQ(results[10], results[0]);
    EXPECT_STREQ(results[0], L"v10");
    for (int i = 1; i < 10; ++i)
        EXPECT_STREQ(results[i], (L"v" + std::to_wstring(i)).c_str());
}

TEST_F(ProfileFile, StringRingAndItemKeyArePerThread)
{
    m_profile.WriteString(L"mine", L"main thread");
    m_profile.WriteString(L"theirs", L"other thread");
    const wchar_t* pMine = m_profile.GetString(L"mine");
    const wchar_t* pKey = m_profile.ItemKey(5);
    std::thread([this] {
        for (int i = 0; i < 25; ++i) {
            m_profile.GetString(L"theirs");
            m_profile.ItemKey(100 + i);
        }
    }).join();
    EXPECT_STREQ(pMine, L"main thread");
    EXPECT_STREQ(pKey, L"DefItem5");
}

TEST_F(ProfileFile, IndexedForms)
{
    m_profile.SetItemPrefix(L"Entry");
    m_profile.WriteIntAt(0, 31, 1);
    m_profile.WriteDoubleAt(1, 2.5);
    m_profile.WriteFloatAt(2, 0.75f);
    m_profile.WriteStringAt(3, L"third");
    EXPECT_EQ(Raw(L"Entry0"), L"1F");
    EXPECT_EQ(Raw(L"Entry1"), L"2.5");
    EXPECT_EQ(Raw(L"Entry3"), L"third");
    EXPECT_EQ(m_profile.GetIntAt(0, 0, 1), 31);
    EXPECT_EQ(m_profile.GetIntAt(9, -3), -3);
    EXPECT_DOUBLE_EQ(m_profile.GetDoubleAt(1), 2.5);
    EXPECT_FLOAT_EQ(m_profile.GetFloatAt(2), 0.75f);

    std::wstring text;
    m_profile.GetStringAt(3, text);
    EXPECT_EQ(text, L"third");
    m_profile.GetStringAt(4, text, L"none");
    EXPECT_EQ(text, L"none");
    wchar_t small[4];
    m_profile.GetStringAt(3, small, 4);
    EXPECT_STREQ(small, L"thi");

    const unsigned char bytes[] = {1, 2, 3};
    m_profile.WriteBlobAt(5, bytes, 3);
    unsigned char* pData = nullptr;
    ASSERT_EQ(m_profile.ReadBlobAt(5, &pData), 3u);
    EXPECT_EQ(std::memcmp(pData, bytes, 3), 0);
    std::free(pData);
    EXPECT_EQ(GetFileAttributesW((m_file + L".[Main].[Entry5]").c_str()) != INVALID_FILE_ATTRIBUTES, true);
}

TEST_F(ProfileFile, BlobRoundTripThroughTheSideFile)
{
    EXPECT_EQ(m_profile.BlobPath(L"Img"), m_file + L".[Main].[Img]");
    std::vector<unsigned char> data(5000);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<unsigned char>(i * 7);
    m_profile.WriteBlob(L"Img", data.data(), static_cast<unsigned>(data.size()));

    // The file layout: 4-byte little-endian length, then the data.
    const HANDLE h = CreateFileW((m_file + L".[Main].[Img]").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    unsigned char header[4] = {};
    DWORD n = 0;
    ReadFile(h, header, 4, &n, nullptr);
    LARGE_INTEGER size = {};
    GetFileSizeEx(h, &size);
    CloseHandle(h);
    EXPECT_EQ(header[0] | header[1] << 8 | header[2] << 16 | header[3] << 24, 5000);
    EXPECT_EQ(size.QuadPart, 5004);

    unsigned char* pData = nullptr;
    ASSERT_EQ(m_profile.ReadBlob(L"Img", &pData), 5000u);
    ASSERT_NE(pData, nullptr);
    EXPECT_EQ(std::memcmp(pData, data.data(), data.size()), 0);
    EXPECT_EQ(pData[5000], 0);
    std::free(pData);

    // Writing again replaces the whole file.
    m_profile.WriteBlob(L"Img", "ab", 2);
    pData = nullptr;
    ASSERT_EQ(m_profile.ReadBlob(L"Img", &pData), 2u);
    EXPECT_STREQ(reinterpret_cast<char*>(pData), "ab");
    std::free(pData);
}

TEST_F(ProfileFile, MissingOrCorruptSideFileGivesNothing)
{
    unsigned char sentinel = 0;
    unsigned char* const pUntouched = &sentinel;
    struct Case {
        const char* what;
        std::vector<unsigned char> bytes;
    };
    const Case cases[] = {
        {"huge length", {0xF0, 0xFF, 0xFF, 0xFF, 1, 2, 3}},
        {"length beyond the data", {100, 0, 0, 0, 1, 2, 3, 4, 5}},
        {"length one past the data", {4, 0, 0, 0, 1, 2, 3}},
        {"short header", {5, 0}},
        {"empty file", {}},
    };
    for (const Case& c : cases) {
        WriteSideFile(L"Bad", c.bytes);
        unsigned char* pData = pUntouched;
        EXPECT_EQ(m_profile.ReadBlob(L"Bad", &pData), 0u) << c.what;
        EXPECT_EQ(pData, pUntouched) << c.what;
    }
    unsigned char* pData = pUntouched;
    EXPECT_EQ(m_profile.ReadBlob(L"NoSuchKey", &pData), 0u);
    EXPECT_EQ(pData, pUntouched);

    // Extra bytes after the data are ignored; the stated length is what is read.
    WriteSideFile(L"Long", {2, 0, 0, 0, 'h', 'i', 'x', 'y'});
    ASSERT_EQ(m_profile.ReadBlob(L"Long", &pData), 2u);
    EXPECT_STREQ(reinterpret_cast<char*>(pData), "hi");
    std::free(pData);
}

// Texts kept as UTF-8 bytes. This test runs under the Chinese code page (936) and a Western one
// (1252): many UTF-8 sequences are not valid double-byte pairs in 936 ("中" is E4 B8 AD).
namespace {

std::string Bytes(const std::wstring& text, UINT nCodePage)
{
    const int n = WideCharToMultiByte(nCodePage, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n - 1 : 0), '\0');
    if (n > 1)
        WideCharToMultiByte(nCodePage, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring Wide(const std::string& bytes, UINT nCodePage)
{
    const int n = MultiByteToWideChar(nCodePage, 0, bytes.c_str(), -1, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n > 0 ? n - 1 : 0), L'\0');
    if (n > 1)
        MultiByteToWideChar(nCodePage, 0, bytes.c_str(), -1, out.data(), n);
    return out;
}

std::string FileBytes(const std::wstring& path)
{
    std::string bytes;
    const HANDLE h =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return bytes;
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n > 0)
        bytes.append(buffer, n);
    CloseHandle(h);
    return bytes;
}

const std::wstring UTF8_TEXTS[] = {
    L"plain text",
    L"中",
    L"中文",
    L"摄像头一号",
    L"Caméra réseau",
    L"日本語のテキスト",
    L"ไทย",
    L"mixed 中 and é \U0001F600",
    L"",
};

} // namespace

TEST_F(ProfileFile, Utf8TextsRoundTripByteForByte)
{
    ASSERT_TRUE(GetACP() == 936 || GetACP() == 1252) << GetACP();
    SetRaw(L"Before", L"one");
    for (const std::wstring& text : UTF8_TEXTS) {
        m_profile.WriteUtf8String(L"Text", text.c_str());
        EXPECT_EQ(m_profile.GetUtf8String(L"Text"), text)
            << "code page " << GetACP() << ": " << Bytes(text, CP_UTF8);
        if (!text.empty()) {
            const std::string line = "Text=" + Bytes(text, CP_UTF8) + "\r\n";
            EXPECT_NE(FileBytes(m_file).find(line), std::string::npos) << Bytes(text, CP_UTF8);
        }
    }
    // The keys around it stay readable through the INI functions, before and after.
    SetRaw(L"After", L"two");
    EXPECT_EQ(Raw(L"Before"), L"one");
    EXPECT_EQ(Raw(L"After"), L"two");
    EXPECT_EQ(m_profile.GetUtf8String(L"Missing"), L"");
    m_profile.WriteUtf8String(L"Text", nullptr);
    EXPECT_EQ(Raw(L"Text"), L"<missing>");
}

TEST_F(ProfileFile, Utf8TextsWrittenThroughTheCodePageStillRead)
{
    // The earlier way of writing: the UTF-8 bytes widened through the ANSI code page and handed
    // to the INI functions. Where that kept the bytes, the text reads back as it did then.
    int nLossless = 0;
    for (const std::wstring& text : UTF8_TEXTS) {
        const std::string utf8 = Bytes(text, CP_UTF8);
        const std::wstring widened = Wide(utf8, CP_ACP);
        if (Bytes(widened, CP_ACP) != utf8)
            continue; // that write lost bytes already: nothing to keep
        ++nLossless;
        SetRaw(L"Old", widened.c_str());
        EXPECT_EQ(m_profile.GetUtf8String(L"Old"), text) << "code page " << GetACP() << ": " << utf8;
    }
    EXPECT_GE(nLossless, 2);

    // A value an editor saved in the code page instead of UTF-8 reads through the code page.
    const std::wstring local = GetACP() == 936 ? L"摄像头" : L"Caméra";
    SetRaw(L"Local", local.c_str());
    EXPECT_EQ(m_profile.GetUtf8String(L"Local"), local);
}

TEST(IniText, FindAndSetKeepTheRestOfTheFile)
{
    const std::string file = "\xEF\xBB\xBF[Other]\r\nText=no\r\n[ Main ]\r\n; note\r\nkey = \"quoted\" \r\n"
                             "TEXT=first\r\n\r\n[Main]\r\nText=second\r\n[Last]\r\nx=1";
    struct Case {
        const char* section;
        const char* key;
        std::optional<std::string> expected;
    };
    const Case finds[] = {
        {"main", "text", "first"}, {"MAIN", "Key", "quoted"}, {"Other", "text", "no"},
        {"Last", "x", "1"},        {"Main", "missing", {}},   {"Nowhere", "text", {}},
    };
    for (const Case& c : finds)
        EXPECT_EQ(IniFindValue(file, c.section, c.key), c.expected) << c.section << "/" << c.key;

    struct SetCase {
        const char* section;
        const char* key;
        const char* value;
        const char* expected;
    };
    const std::string base = "[A]\r\nk=1\r\n\r\n[B]\r\nk=2";
    const SetCase sets[] = {
        {"a", "K", "9", "[A]\r\nK=9\r\n\r\n[B]\r\nk=2"},
        {"A", "new", "v", "[A]\r\nk=1\r\nnew=v\r\n\r\n[B]\r\nk=2"},
        {"B", "new", "v", "[A]\r\nk=1\r\n\r\n[B]\r\nk=2\r\nnew=v\r\n"},
        {"C", "k", "a\r\nb", "[A]\r\nk=1\r\n\r\n[B]\r\nk=2\r\n[C]\r\nk=a  b\r\n"},
    };
    for (const SetCase& c : sets)
        EXPECT_EQ(IniSetValue(base, c.section, c.key, c.value), c.expected) << c.section << "/" << c.key;
    EXPECT_EQ(IniSetValue("", "S", "k", "v"), "[S]\r\nk=v\r\n");
}

TEST(IniText, PlaceValuesTakeOnlyAsciiDigits)
{
    struct Case {
        const wchar_t* text;
        bool parsed;
        int values[4];
    };
    const Case cases[] = {
        {L"-1,-1,600,400  10,10", true, {-1, -1, 600, 400}},
        {L" 20 , 30,70 ,+25", true, {20, 30, 70, 25}},
        {L"2147483647,-2147483648,0,0", true, {2147483647, -2147483647 - 1, 0, 0}},
        {L"2147483648,0,0,0", false, {}},
        {L"1,2,3", false, {}},
        {L"1,,3,4", false, {}},
        {L"\uFF11,2,3,4", false, {}}, // fullwidth one
        {L"1,\u0661,3,4", false, {}}, // Arabic-Indic one
    };
    for (const Case& c : cases) {
        int values[4] = {};
        EXPECT_EQ(IniParseInts(c.text, values, 4), c.parsed) << Narrow(c.text);
        if (c.parsed) {
            for (int i = 0; i < 4; ++i)
                EXPECT_EQ(values[i], c.values[i]) << Narrow(c.text) << " #" << i;
        }
    }
}
