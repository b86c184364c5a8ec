// Skin directories, file lookup and the built-in skin files.
#include "SkinTestSupport.h"
#include "controls/SkinFiles.h"
#include "controls/SkinImage.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// Points the default skin directory at a scratch directory of its own.
class SkinDirs : public testing::Test {
  protected:
    void SetUp() override { InitSkins(m_dir.Path()); }
    // A directory beside the test program (where "DefSkins" and friends live), emptied afterwards.
    std::wstring ModuleSubdir(const wchar_t* name)
    {
        std::wstring dir = GetModuleDir() + name + L"\\";
        CreateDirectoryW(dir.c_str(), nullptr);
        m_created.push_back(dir);
        return dir;
    }
    void TearDown() override
    {
        for (const std::wstring& file : m_files)
            DeleteFileW(file.c_str());
        for (const std::wstring& dir : m_created)
            RemoveDirectoryW(dir.c_str()); // only when empty: the built-in names may hold files of others
    }
    // A file that is removed after the test.
    std::wstring Touch(const std::wstring& path)
    {
        WriteBytes(path, {1, 2, 3});
        m_files.push_back(path);
        return path;
    }
    CTempDir m_dir;
    std::vector<std::wstring> m_created;
    std::vector<std::wstring> m_files;
};

TEST(SkinNames, BuiltInNameByIndexWrapsToFileZero)
{
    EXPECT_STREQ(GetDefaultSkinName(0), L"cmbDefThumb-down.bmp");
    EXPECT_STREQ(GetDefaultSkinName(24), L"off.png");
    EXPECT_STREQ(GetDefaultSkinName(66), L"General_ListChkBoxN.png");
    EXPECT_STREQ(GetDefaultSkinName(67), L"cmbDefThumb-down.bmp");
    EXPECT_STREQ(GetDefaultSkinName(1000), L"cmbDefThumb-down.bmp");
    EXPECT_STREQ(GetDefaultSkinName(-1), L"cmbDefThumb-down.bmp");
}

TEST_F(SkinDirs, BareNameExtensionRule)
{
    // None of these exist, so the lookup returns the name after the extension rule.
    const struct {
        const wchar_t* name;
        const wchar_t* expected;
    } cases[] = {
        {L"DlgBtn-CloseNor-h6", L"DlgBtn-CloseNor-h6.png"}, // bare name: a PNG
        {L"abcdef", L"abcdef.png"},                         // 6 characters: extended
        {L"abcde", L"abcde"},                               // 5 characters: never extended
        {L"a.bmp", L"a.bmp"},
        {L"missing-h6.bmp", L"missing-h6.bmp"},
        {L"MISSING-h6.PNG", L"MISSING-h6.PNG"},
        {L"photo-h6.jpeg", L"photo-h6.jpeg"},
        {L"photo-h6.jpg", L"photo-h6.jpg"},
        {L"  padded-h6.gif \t", L"padded-h6.gif"},
        {L"", L""},
        {L"   ", L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ResolveSkinFile(c.name), c.expected)
            << "name: [" << testing::PrintToString(std::wstring(c.name)) << "]";
}

TEST_F(SkinDirs, FindsBareNameInDefaultDirectory)
{
    Touch(m_dir.Path() + L"Skin-h6-bare.png");
    EXPECT_EQ(ResolveSkinFile(L"Skin-h6-bare"), m_dir.Path() + L"Skin-h6-bare.png");
    EXPECT_EQ(ResolveSkinFile(L"Skin-h6-bare.png"), m_dir.Path() + L"Skin-h6-bare.png");
}

TEST_F(SkinDirs, ExistingNameIsReturnedAsItIs)
{
    const std::wstring full = Touch(m_dir.Path() + L"full-h6.bmp");
    EXPECT_EQ(ResolveSkinFile(full), full);

    // A relative name that exists in the current directory wins over the skin directories.
    CTempDir cwd;
    wchar_t old[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, old);
    ASSERT_TRUE(SetCurrentDirectoryW(cwd.Path().c_str()));
    WriteBytes(cwd.Path() + L"here-h6.png", {1});
    Touch(m_dir.Path() + L"here-h6.png");
    const std::wstring resolved = ResolveSkinFile(L"here-h6");
    SetCurrentDirectoryW(old);
    EXPECT_EQ(resolved, L"here-h6.png");
}

TEST_F(SkinDirs, DefaultDirectoryWinsOverTheSkinPathList)
{
    const std::wstring mySkins2 = ModuleSubdir(L"MySkins2");
    Touch(mySkins2 + L"Skin-h6-both.png");
    EXPECT_EQ(ResolveSkinFile(L"Skin-h6-both"), mySkins2 + L"Skin-h6-both.png");
    Touch(m_dir.Path() + L"Skin-h6-both.png");
    EXPECT_EQ(ResolveSkinFile(L"Skin-h6-both"), m_dir.Path() + L"Skin-h6-both.png");
}

TEST_F(SkinDirs, LaterAddedDirectoryWins)
{
    const std::wstring defSkins = ModuleSubdir(L"DefSkins");
    const std::wstring mySkins1 = ModuleSubdir(L"MySkins1");
    Touch(defSkins + L"Skin-h6-order.bmp");
    EXPECT_EQ(ResolveSkinFile(L"Skin-h6-order.bmp"), defSkins + L"Skin-h6-order.bmp");
    Touch(mySkins1 + L"Skin-h6-order.bmp");
    EXPECT_EQ(ResolveSkinFile(L"Skin-h6-order.bmp"), mySkins1 + L"Skin-h6-order.bmp");

    // A directory added by the application afterwards comes before the built-in ones, until removed.
    CTempDir extra;
    WriteBytes(extra.Path() + L"Skin-h6-order.bmp", {1});
    AddSkinPath(extra.Path(), true);
    EXPECT_EQ(ResolveSkinFile(L"Skin-h6-order.bmp"), extra.Path() + L"Skin-h6-order.bmp");
    AddSkinPath(extra.Path(), false);
    EXPECT_EQ(ResolveSkinFile(L"Skin-h6-order.bmp"), mySkins1 + L"Skin-h6-order.bmp");
}

TEST_F(SkinDirs, AddSkinPathNormalisesAndKeepsOneEntryPerDirectory)
{
    const std::vector<std::wstring> before = GetSkinPaths();
    AddSkinPath(L"x", true);
    AddSkinPath(L"  y ", true);
    AddSkinPath(L"", true);
    EXPECT_EQ(GetSkinPaths(), before) << "paths shorter than 2 characters are ignored";

    AddSkinPath(L"skins-h6", true);
    AddSkinPath(L"SKINS-H6\\", true);
    AddSkinPath(L" Skins-h6\\\\ ", true);
    std::vector<std::wstring> after = GetSkinPaths();
    ASSERT_EQ(after.size(), before.size() + 1);
    EXPECT_EQ(after.back(), GetModuleDir() + L"skins-h6\\");

    AddSkinPath(L"C:\\h6\\\\deep\\", true);
    EXPECT_EQ(GetSkinPaths().back(), L"C:\\h6\\deep\\");

    AddSkinPath(L"sKiNs-H6", false);
    AddSkinPath(L"c:\\H6\\deep", false);
    EXPECT_EQ(GetSkinPaths(), before);
    AddSkinPath(L"never-added-h6", false);
    EXPECT_EQ(GetSkinPaths(), before);
}

TEST_F(SkinDirs, InitSkinsSetsTheDefaultDirectoryAndTheBuiltInDirectories)
{
    // A path with trailing backslashes ends in exactly one; blanks are trimmed.
    CTempDir other;
    InitSkins(L"  " + other.Path() + L"\\\\  ");
    EXPECT_EQ(GetDefaultSkinDir(), other.Path());

    // A blank path leaves the directory as it is.
    InitSkins(L"   ");
    EXPECT_EQ(GetDefaultSkinDir(), other.Path());

    // A relative path is taken from the module directory and created on first use.
    const std::wstring relative = GetModuleDir() + L"rel-skins-h6\\";
    RemoveTree(relative);
    InitSkins(L"rel-skins-h6");
    EXPECT_EQ(GetDefaultSkinDir(), relative);
    EXPECT_NE(GetFileAttributesW(relative.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    RemoveTree(relative);

    // The built-in directories are listed in this order (the last searched first), each once, however
    // often InitSkins runs.
    InitSkins(m_dir.Path());
    const std::vector<std::wstring> paths = GetSkinPaths();
    auto count = [&](const wchar_t* name) {
        return std::count(paths.begin(), paths.end(), GetModuleDir() + name);
    };
    auto at = [&](const wchar_t* name) {
        return std::find(paths.begin(), paths.end(), GetModuleDir() + name) - paths.begin();
    };
    EXPECT_EQ(count(L"DefSkins\\"), 1);
    EXPECT_EQ(count(L"MySkins1\\"), 1);
    EXPECT_EQ(count(L"MySkins2\\"), 1);
    EXPECT_LT(at(L"DefSkins\\"), at(L"MySkins1\\"));
    EXPECT_LT(at(L"MySkins1\\"), at(L"MySkins2\\"));
}

TEST_F(SkinDirs, InitSkinsReadsOptionSkinPathsAndRunsTheButtonLoader)
{
    const std::wstring ini = GetModuleDir() + L"OptionSkinPaths.ini";
    m_files.push_back(ini);
    WritePrivateProfileStringW(L"OptionSkinPaths", L"OptionSkinPaths0", L"opt-a-h6", ini.c_str());
    WritePrivateProfileStringW(L"OptionSkinPaths", L"OptionSkinPaths19", L"C:\\opt-b-h6", ini.c_str());
    WritePrivateProfileStringW(L"OptionSkinPaths", L"OptionSkinPaths20", L"C:\\opt-c-h6", ini.c_str());
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, ini.c_str()); // flush Wine's profile cache

    static int calls = 0;
    calls = 0;
    SetButtonDefaultsLoader([] { ++calls; });
    InitSkins(m_dir.Path());
    SetButtonDefaultsLoader(nullptr);
    InitSkins(m_dir.Path());
    EXPECT_EQ(calls, 1);

    const std::vector<std::wstring> paths = GetSkinPaths();
    auto at = [&](const std::wstring& p) { return std::find(paths.begin(), paths.end(), p) - paths.begin(); };
    const auto a = at(GetModuleDir() + L"opt-a-h6\\");
    const auto b = at(L"C:\\opt-b-h6\\");
    ASSERT_LT(a, static_cast<long long>(paths.size()));
    ASSERT_LT(b, static_cast<long long>(paths.size()));
    EXPECT_LT(a, b);
    EXPECT_EQ(at(L"C:\\opt-c-h6\\"), static_cast<long long>(paths.size())) << "only keys 0..19 are read";
    AddSkinPath(L"opt-a-h6", false);
    AddSkinPath(L"C:\\opt-b-h6", false);
}

// Built-in files in table order with their pixel sizes.
struct DefaultSkin {
    const wchar_t* name;
    UINT width;
    UINT height;
};
constexpr DefaultSkin DEFAULT_SKINS[] = {
    {L"cmbDefThumb-down.bmp", 15, 16},
    {L"cmbDefThumb-hover.bmp", 15, 16},
    {L"cmbDefThumb-normal.bmp", 15, 16},
    {L"DlgBtn-CloseNor.bmp", 21, 21},
    {L"DlgBtn-CloseOver.bmp", 21, 21},
    {L"DlgBtn-MaximizeNor.bmp", 21, 21},
    {L"DlgBtn-MaximizeOver.bmp", 21, 21},
    {L"DlgBtn-MinimizeNor.bmp", 21, 21},
    {L"DlgBtn-MinimizeOver.bmp", 21, 21},
    {L"DlgBtn-RestoreNor.bmp", 21, 21},
    {L"DlgBtn-RestoreOver.bmp", 21, 21},
    {L"DlgBtn-SetNoTopNor.bmp", 21, 21},
    {L"DlgBtn-SetNoTopOver.bmp", 21, 21},
    {L"DlgBtn-SetTopNor.bmp", 21, 21},
    {L"DlgBtn-SetTopOver.bmp", 21, 21},
    {L"DlgToolBarBk.bmp", 10, 32},
    {L"PopWinBkCenterBottom.bmp", 5, 5},
    {L"PopWinBkCenterTop.bmp", 10, 26},
    {L"PopWinBkLeft.bmp", 5, 10},
    {L"PopWinBkLeftBottom.bmp", 5, 5},
    {L"PopWinBkLeftTop.bmp", 8, 25},
    {L"PopWinBkRight.bmp", 5, 10},
    {L"PopWinBkRightBottom.bmp", 5, 5},
    {L"PopWinBkRightTop.bmp", 8, 25},
    {L"off.png", 95, 36},
    {L"on.png", 95, 36},
    {L"up.png", 50, 50},
    {L"down.png", 50, 50},
    {L"General_OK1.png", 32, 32},
    {L"General_NG1.png", 32, 32},
    {L"General_OK2.png", 32, 32},
    {L"General_NG2.png", 32, 32},
    {L"General_Search.png", 32, 32},
    {L"General_Help.png", 32, 32},
    {L"General_Guaide.png", 32, 32},
    {L"General_Setting.png", 32, 32},
    {L"General_RButtonON.png", 32, 32},
    {L"General_Refesh1.png", 32, 32},
    {L"General_Save.png", 32, 32},
    {L"General_Redo.png", 256, 256},
    {L"General_Undo.png", 256, 256},
    {L"General_Copy.png", 256, 256},
    {L"General_Cut.png", 256, 256},
    {L"General_Paste.png", 256, 256},
    {L"General_Refresh2.png", 256, 256},
    {L"General_Forbidden.png", 256, 256},
    {L"General_Information.png", 256, 256},
    {L"General_Question.png", 256, 256},
    {L"General_Warning1.png", 256, 256},
    {L"General_Warning2.png", 256, 256},
    {L"General_Calendar.png", 256, 256},
    {L"General_Heart1.png", 256, 256},
    {L"General_Heart2.png", 256, 256},
    {L"General_ArrowDown.png", 256, 256},
    {L"General_ArrowLeft.png", 256, 256},
    {L"General_ArrowRight.png", 256, 256},
    {L"General_ArrowUp.png", 256, 256},
    {L"General_Add1.png", 256, 256},
    {L"General_Add2.png", 256, 256},
    {L"General_Remove1.png", 256, 256},
    {L"General_Remove2.png", 256, 256},
    {L"General_NG3.png", 256, 256},
    {L"General_NG4.png", 256, 256},
    {L"General_OK3.png", 256, 256},
    {L"General_OK4.png", 256, 256},
    {L"General_ListChkBoxY.png", 56, 56},
    {L"General_ListChkBoxN.png", 56, 56},
};
static_assert(std::size(DEFAULT_SKINS) == DEFAULT_SKIN_COUNT);

TEST_F(SkinDirs, WriteDefaultSkinsWritesEveryBuiltInFileInItsFormatAndSize)
{
    EXPECT_EQ(WriteDefaultSkins(), DEFAULT_SKIN_COUNT);
    for (int i = 0; i < DEFAULT_SKIN_COUNT; ++i) {
        const DefaultSkin& skin = DEFAULT_SKINS[i];
        SCOPED_TRACE(testing::PrintToString(std::wstring(skin.name)));
        EXPECT_STREQ(GetDefaultSkinName(i), skin.name);
        const std::wstring path = m_dir.Path() + skin.name;
        const std::vector<uint8_t> bytes = ReadBytes(path);
        ASSERT_GE(bytes.size(), 8u);
        const bool png = std::wstring(skin.name).ends_with(L".png");
        if (png) {
            EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 8),
                      (std::vector<uint8_t>{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}));
        } else {
            EXPECT_EQ(bytes[0], 'B');
            EXPECT_EQ(bytes[1], 'M');
            ASSERT_GE(bytes.size(), 30u);
            EXPECT_EQ(bytes[28], 24) << "bits per pixel";
        }
        SkinImagePtr image = LoadSkinImage(path);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->GetWidth(), skin.width);
        EXPECT_EQ(image->GetHeight(), skin.height);
    }
    // The check box pictures differ: one of them carries the tick.
    EXPECT_NE(ReadBytes(m_dir.Path() + L"General_ListChkBoxY.png"),
              ReadBytes(m_dir.Path() + L"General_ListChkBoxN.png"));
}

TEST_F(SkinDirs, WriteDefaultSkinsNeverOverwritesAndRestoresDeletedFiles)
{
    const std::wstring own = m_dir.Path() + L"General_OK1.png";
    WriteBytes(own, {'m', 'i', 'n', 'e'});
    EXPECT_EQ(WriteDefaultSkins(), DEFAULT_SKIN_COUNT - 1);
    EXPECT_EQ(ReadBytes(own), (std::vector<uint8_t>{'m', 'i', 'n', 'e'}));

    EXPECT_EQ(WriteDefaultSkins(), 0);
    ASSERT_TRUE(DeleteFileW((m_dir.Path() + L"on.png").c_str()));
    EXPECT_EQ(WriteDefaultSkins(), 1);
    EXPECT_TRUE(LoadSkinImage(m_dir.Path() + L"on.png"));
}

TEST_F(SkinDirs, WriteDefaultSkinsCreatesAMissingDefaultDirectory)
{
    const std::wstring nested = m_dir.Path() + L"a\\b\\c\\";
    InitSkins(nested);
    EXPECT_EQ(WriteDefaultSkins(), DEFAULT_SKIN_COUNT);
    EXPECT_TRUE(FileExists(nested + L"DlgBtn-CloseNor.bmp"));
}

TEST_F(SkinDirs, LoadBitmapFileFromPathOrDefaultDirectory)
{
    WriteSolidBmp(m_dir.Path() + L"bits-h6.bmp", 7, 5, RGB(10, 20, 30));
    for (const std::wstring& name : {m_dir.Path() + L"bits-h6.bmp", std::wstring(L"bits-h6.bmp")}) {
        CBitmap bitmap = LoadBitmapFile(name);
        ASSERT_TRUE(bitmap);
        BITMAP info = {};
        ASSERT_TRUE(GetObjectW(bitmap.GetSafeHandle(), sizeof(info), &info));
        EXPECT_EQ(info.bmWidth, 7);
        EXPECT_EQ(info.bmHeight, 5);
    }
    EXPECT_FALSE(LoadBitmapFile(L"missing-h6.bmp"));
    WriteBytes(m_dir.Path() + L"broken-h6.bmp", {'B', 'M', 0x10, 0, 0, 0, 0, 0});
    EXPECT_FALSE(LoadBitmapFile(L"broken-h6.bmp"));
}

TEST_F(SkinDirs, MissingOrBrokenSkinsDoNotLoad)
{
    EXPECT_FALSE(LoadSkinImage(L"no-such-skin-h6"));
    EXPECT_FALSE(LoadSkinImage(L""));

    // A PNG cut short after its header, and plain noise under an image name.
    WriteDefaultSkins();
    std::vector<uint8_t> png = ReadBytes(m_dir.Path() + L"General_Heart1.png");
    ASSERT_GT(png.size(), 100u);
    png.resize(60);
    WriteBytes(m_dir.Path() + L"cut-h6.png", png);
    WriteBytes(m_dir.Path() + L"noise-h6.png", std::vector<uint8_t>(300, 0xA5));
    std::vector<uint8_t> bmp = ReadBytes(m_dir.Path() + L"DlgBtn-CloseNor.bmp");
    bmp.resize(70);
    WriteBytes(m_dir.Path() + L"cut-h6.bmp", bmp);

    CCanvas canvas(40, 40);
    for (const wchar_t* name : {L"cut-h6.png", L"noise-h6.png", L"cut-h6.bmp", L"no-such-skin-h6"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
        // A loader may accept a damaged header lazily; drawing it must then fail rather than crash.
        SkinImagePtr image = LoadSkinImage(name);
        if (image)
            DrawImage(image.get(), canvas.DC(), RECT{0, 0, 40, 40}, DRAW_IMAGE_STRETCH);
        if (std::wstring(name) != L"cut-h6.bmp") {
            EXPECT_FALSE(DrawImageFile(name, canvas.DC(), RECT{0, 0, 40, 40}, DRAW_IMAGE_STRETCH));
        }
    }
}

} // namespace
