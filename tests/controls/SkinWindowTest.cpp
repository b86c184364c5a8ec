// Window regions, transparency and the start-up entry.
#include "SkinTestSupport.h"
#include "controls/SkinWindow.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

// A device-dependent bitmap painted pixel by pixel.
CBitmap MakeBitmap(int width, int height, const std::function<COLORREF(int, int)>& pixel)
{
    HDC screen = GetDC(nullptr);
    CBitmap bitmap(CreateCompatibleBitmap(screen, width, height));
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, bitmap.GetSafeHandle());
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            SetPixel(dc, x, y, pixel(x, y));
    SelectObject(dc, old);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return bitmap;
}

TEST(SkinRegion, CoversThePixelsThatAreNotTheKeyColour)
{
    constexpr COLORREF KEY = RGB(255, 0, 255);
    // A 10 x 4 key-coloured bitmap with a 3 x 2 block at (2, 1) and one pixel at (9, 3).
    CBitmap bitmap = MakeBitmap(10, 4, [](int x, int y) {
        if ((x >= 2 && x < 5 && y >= 1 && y < 3) || (x == 9 && y == 3))
            return RGB(10, 200, 30);
        return KEY;
    });
    CRgn region = BitmapToRegion(bitmap.GetSafeHandle(), KEY, 0);
    ASSERT_TRUE(region);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 10; ++x) {
            const bool inside = (x >= 2 && x < 5 && y >= 1 && y < 3) || (x == 9 && y == 3);
            EXPECT_EQ(PtInRegion(region.GetSafeHandle(), x, y) != FALSE, inside) << x << ", " << y;
        }
}

TEST(SkinRegion, ComparesEachChannelWithItsOwnRange)
{
    // Key pure red: pure blue pixels are not of the key colour and belong to the region.
    CBitmap bitmap = MakeBitmap(4, 1, [](int x, int) { return x < 2 ? RGB(255, 0, 0) : RGB(0, 0, 255); });
    CRgn region = BitmapToRegion(bitmap.GetSafeHandle(), RGB(255, 0, 0), 0);
    ASSERT_TRUE(region);
    EXPECT_FALSE(PtInRegion(region.GetSafeHandle(), 0, 0));
    EXPECT_FALSE(PtInRegion(region.GetSafeHandle(), 1, 0));
    EXPECT_TRUE(PtInRegion(region.GetSafeHandle(), 2, 0));
    EXPECT_TRUE(PtInRegion(region.GetSafeHandle(), 3, 0));

    // Tolerance widens the key upwards, per channel, capped at 255.
    const COLORREF pixels[] = {RGB(100, 100, 100), RGB(110, 105, 101), RGB(111, 100, 100), RGB(100, 100, 99),
                               RGB(100, 111, 100)};
    CBitmap shades = MakeBitmap(5, 1, [&](int x, int) { return pixels[x]; });
    CRgn shaded = BitmapToRegion(shades.GetSafeHandle(), RGB(100, 100, 100), RGB(10, 10, 10));
    ASSERT_TRUE(shaded);
    const bool expected[] = {false, false, true, true, true};
    for (int x = 0; x < 5; ++x)
        EXPECT_EQ(PtInRegion(shaded.GetSafeHandle(), x, 0) != FALSE, expected[x]) << x;

    CBitmap white = MakeBitmap(3, 3, [](int, int) { return RGB(250, 250, 250); });
    CRgn none = BitmapToRegion(white.GetSafeHandle(), RGB(200, 200, 200), RGB(200, 200, 200));
    ASSERT_TRUE(none);
    RECT box;
    EXPECT_EQ(GetRgnBox(none.GetSafeHandle(), &box), NULLREGION);
}

TEST(SkinRegion, ManyRunsAreJoinedAcrossBatches)
{
    // A 200 x 100 checkerboard: 10000 one-pixel runs, several batches of rectangles.
    CBitmap bitmap =
        MakeBitmap(200, 100, [](int x, int y) { return (x + y) % 2 ? RGB(0, 0, 0) : RGB(9, 9, 9); });
    CRgn region = BitmapToRegion(bitmap.GetSafeHandle(), RGB(0, 0, 0), 0);
    ASSERT_TRUE(region);
    for (const POINT p : {POINT{0, 0}, POINT{198, 0}, POINT{1, 99}, POINT{100, 50}, POINT{199, 99}})
        EXPECT_TRUE(PtInRegion(region.GetSafeHandle(), p.x, p.y)) << p.x << ", " << p.y;
    for (const POINT p : {POINT{1, 0}, POINT{0, 99}, POINT{101, 50}, POINT{198, 99}})
        EXPECT_FALSE(PtInRegion(region.GetSafeHandle(), p.x, p.y)) << p.x << ", " << p.y;
    RECT box;
    GetRgnBox(region.GetSafeHandle(), &box);
    EXPECT_EQ(box.left, 0);
    EXPECT_EQ(box.top, 0);
    EXPECT_EQ(box.right, 200);
    EXPECT_EQ(box.bottom, 100);
}

TEST(SkinRegion, NoBitmapNoRegion)
{
    EXPECT_FALSE(BitmapToRegion(nullptr, 0, 0));
}

TEST(SkinWindowAlpha, MakesTheWindowLayered)
{
    HWND window =
        CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(window);
    SetWindowAlpha(window, 128, RGB(1, 2, 3));
    EXPECT_NE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_LAYERED, 0);
    BYTE alpha = 0;
    DWORD flags = 0;
    COLORREF key = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(window, &key, &alpha, &flags));
    EXPECT_EQ(alpha, 128);
    EXPECT_EQ(flags & LWA_ALPHA, static_cast<DWORD>(LWA_ALPHA));
    DestroyWindow(window);
    SetWindowAlpha(window, 10, 0); // a window that is gone is ignored
}

// The start-up entries under HKEY_CURRENT_USER; every value is removed again.
class SkinAutoRun : public testing::Test {
  protected:
    static constexpr const wchar_t* RUN = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
    void SetUp() override
    {
        wchar_t path[MAX_PATH];
        GetModuleFileNameW(nullptr, path, MAX_PATH);
        m_self = path;
    }
    void TearDown() override
    {
        HKEY key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, RUN, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            RegDeleteValueW(key, NAME);
            RegDeleteValueW(key, L"lv_skin_tests");
            RegCloseKey(key);
        }
    }
    static std::wstring Value(const wchar_t* name)
    {
        wchar_t value[1024] = {};
        DWORD bytes = sizeof(value);
        if (RegGetValueW(HKEY_CURRENT_USER, RUN, name, RRF_RT_REG_SZ, nullptr, value, &bytes) !=
            ERROR_SUCCESS)
            return L"<none>";
        return value;
    }
    static constexpr const wchar_t* NAME = L"LarkvaneSkinTest";
    std::wstring m_self;
};

TEST_F(SkinAutoRun, EnableQueryDisable)
{
    EXPECT_FALSE(IsAutoRun(NAME, m_self, false));
    SetAutoRun(NAME, true, m_self, std::nullopt, false);
    EXPECT_EQ(Value(NAME), m_self);
    EXPECT_TRUE(IsAutoRun(NAME, m_self, false));

    // Letter case does not matter, another program does.
    std::wstring upper = m_self;
    CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    SetAutoRun(NAME, true, upper, std::nullopt, false);
    EXPECT_TRUE(IsAutoRun(NAME, m_self, false));
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring notepad = std::wstring(windows) + L"\\notepad.exe";
    ASSERT_TRUE(FileExists(notepad));
    EXPECT_FALSE(IsAutoRun(NAME, notepad, false));

    SetAutoRun(NAME, false, m_self, std::nullopt, false);
    EXPECT_EQ(Value(NAME), L"<none>");
    EXPECT_FALSE(IsAutoRun(NAME, m_self, false));
    SetAutoRun(NAME, false, m_self, std::nullopt, false); // deleting twice is harmless
}

TEST_F(SkinAutoRun, ArgumentsFollowThePathAndStillCount)
{
    SetAutoRun(NAME, true, m_self, L"-tray -x", false);
    EXPECT_EQ(Value(NAME), m_self + L" -tray -x");
    EXPECT_TRUE(IsAutoRun(NAME, m_self, false));
    SetAutoRun(NAME, true, m_self, L"", false);
    EXPECT_EQ(Value(NAME), m_self);
}

TEST_F(SkinAutoRun, MissingExecutableAndEmptyNameFallBackToThisProgram)
{
    SetAutoRun(NAME, true, L"C:\\no\\such\\program-h6.exe", std::nullopt, false);
    EXPECT_EQ(Value(NAME), m_self);
    EXPECT_TRUE(IsAutoRun(NAME, L"", false));

    SetAutoRun(L"", true, m_self, std::nullopt, false);
    EXPECT_EQ(Value(L"lv_skin_tests"), m_self);
    EXPECT_TRUE(IsAutoRun(L"", m_self, false));
    SetAutoRun(L"", false, m_self, std::nullopt, false);
    EXPECT_EQ(Value(L"lv_skin_tests"), L"<none>");
}

} // namespace
