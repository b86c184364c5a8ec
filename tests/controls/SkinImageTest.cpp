// Drawing skin images, gradients, encoders and saving images.
#include "SkinTestSupport.h"
#include "controls/SkinFiles.h"
#include "controls/SkinImage.h"

#include <gtest/gtest.h>

namespace {

constexpr COLORREF WHITE = RGB(255, 255, 255);
constexpr COLORREF RED = RGB(255, 0, 0);
constexpr COLORREF BLUE = RGB(0, 0, 255);

class SkinImages : public testing::Test {
  protected:
    void SetUp() override
    {
        InitSkins(m_dir.Path());
        WriteSolidBmp(m_dir.Path() + L"red100x50.bmp", 100, 50, RED);
        // 30 x 20: blue left half, red right half.
        WriteBmp(m_dir.Path() + L"tile30x20.bmp", 30, 20, [](int x, int) { return x < 15 ? BLUE : RED; });
    }
    SkinImagePtr Load(const wchar_t* name)
    {
        SkinImagePtr image = LoadSkinImage(name);
        EXPECT_TRUE(image) << "cannot load the test image";
        return image;
    }
    CTempDir m_dir;
};

struct Probe {
    int x;
    int y;
    COLORREF colour;
};

void ExpectPixels(const CCanvas& canvas, std::initializer_list<Probe> probes)
{
    for (const Probe& p : probes)
        EXPECT_TRUE(Near(canvas.Pixel(p.x, p.y), p.colour))
            << "pixel (" << p.x << ", " << p.y << ") is " << std::hex << canvas.Pixel(p.x, p.y)
            << ", expected " << p.colour;
}

TEST_F(SkinImages, FitKeepsAspectRatioAndCentres)
{
    // 100 x 50 into 200 x 200 at (20, 20): drawn 200 x 100, 50 pixels below the rectangle's top.
    SkinImagePtr image = Load(L"red100x50.bmp");
    CCanvas canvas(260, 260);
    ASSERT_TRUE(DrawImage(image.get(), canvas.DC(), RECT{20, 20, 220, 220}, DRAW_IMAGE_FIT));
    ExpectPixels(canvas, {{120, 67, WHITE},
                          {120, 73, RED},
                          {120, 167, RED},
                          {120, 173, WHITE},
                          {23, 120, RED},
                          {216, 120, RED},
                          {17, 120, WHITE},
                          {223, 120, WHITE}});
}

TEST_F(SkinImages, StretchFillsTheRectangle)
{
    SkinImagePtr image = Load(L"red100x50.bmp");
    CCanvas canvas(120, 120);
    ASSERT_TRUE(DrawImage(image.get(), canvas.DC(), RECT{10, 10, 70, 100}, DRAW_IMAGE_STRETCH));
    ExpectPixels(
        canvas,
        {{13, 13, RED}, {66, 96, RED}, {40, 55, RED}, {74, 55, WHITE}, {40, 104, WHITE}, {6, 6, WHITE}});
}

TEST_F(SkinImages, ActualSizeAtTopLeftAndNegativeCornerTakenAsZero)
{
    SkinImagePtr image = Load(L"red100x50.bmp");
    CCanvas canvas(200, 200);
    ASSERT_TRUE(DrawImage(image.get(), canvas.DC(), RECT{10, 10, 190, 190}, DRAW_IMAGE_ACTUAL));
    ExpectPixels(canvas, {{11, 11, RED}, {108, 58, RED}, {111, 30, WHITE}, {30, 61, WHITE}, {8, 8, WHITE}});

    CCanvas shifted(200, 200);
    ASSERT_TRUE(DrawImage(image.get(), shifted.DC(), RECT{-50, -50, 150, 150}, DRAW_IMAGE_ACTUAL));
    ExpectPixels(shifted, {{0, 0, RED}, {98, 48, RED}, {102, 20, WHITE}, {20, 52, WHITE}});
}

TEST_F(SkinImages, TileRepeatsAndStaysInsideTheRectangle)
{
    SkinImagePtr image = Load(L"tile30x20.bmp");
    CCanvas canvas(140, 100);
    ASSERT_TRUE(DrawImage(image.get(), canvas.DC(), RECT{5, 5, 100, 60}, DRAW_IMAGE_TILE));
    ExpectPixels(canvas, {
                             {7, 7, BLUE},
                             {22, 7, RED}, // first tile
                             {37, 7, BLUE},
                             {52, 7, RED}, // second tile across
                             {7, 27, BLUE},
                             {22, 47, RED}, // rows below
                             {97, 7, BLUE},
                             {97, 57, BLUE}, // the last, partial tiles
                             {102, 10, WHITE},
                             {10, 62, WHITE},
                             {102, 62, WHITE}, // nothing past the edges
                             {2, 2, WHITE},
                         });
}

TEST_F(SkinImages, RefusesWhatItCannotDraw)
{
    SkinImagePtr image = Load(L"red100x50.bmp");
    CCanvas canvas(50, 50);
    EXPECT_FALSE(DrawImage(image.get(), canvas.DC(), RECT{0, 0, 50, 50}, 4));
    EXPECT_FALSE(DrawImage(image.get(), canvas.DC(), RECT{0, 0, 50, 50}, -1));
    EXPECT_FALSE(DrawImage(nullptr, canvas.DC(), RECT{0, 0, 50, 50}, DRAW_IMAGE_FIT));
    // An empty rectangle on a DC without a window has nothing to fall back on.
    EXPECT_FALSE(DrawImage(image.get(), canvas.DC(), RECT{10, 10, 10, 40}, DRAW_IMAGE_STRETCH));
    ExpectPixels(canvas, {{5, 5, WHITE}, {25, 25, WHITE}, {45, 45, WHITE}});
    EXPECT_FALSE(DrawImageFile(L"not-there-h6", canvas.DC(), RECT{0, 0, 50, 50}, DRAW_IMAGE_FIT));
    EXPECT_TRUE(DrawImageFile(L"red100x50.bmp", canvas.DC(), RECT{0, 0, 50, 50}, DRAW_IMAGE_STRETCH));
    ExpectPixels(canvas, {{25, 25, RED}});
}

TEST_F(SkinImages, EmptyRectangleMeansTheWindowsClientArea)
{
    HWND window =
        CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 80, 60, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(window);
    SkinImagePtr image = Load(L"red100x50.bmp");
    EXPECT_TRUE(DrawImageOnWindow(image.get(), window, RECT{}, DRAW_IMAGE_FIT));
    EXPECT_TRUE(DrawImageFileOnWindow(L"red100x50.bmp", window, RECT{}, DRAW_IMAGE_STRETCH));
    HDC dc = GetDC(window);
    EXPECT_TRUE(DrawImage(image.get(), dc, RECT{}, DRAW_IMAGE_TILE));
    ReleaseDC(window, dc);
    EXPECT_FALSE(DrawImageFileOnWindow(L"not-there-h6", window, RECT{}, DRAW_IMAGE_FIT));
    DestroyWindow(window);
    EXPECT_FALSE(DrawImageOnWindow(image.get(), window, RECT{}, DRAW_IMAGE_FIT));
}

TEST(SkinGradients, TwoColourGradientRunsAcrossOrDown)
{
    CCanvas canvas(256, 256, RGB(1, 2, 3));
    ASSERT_TRUE(GradientFillRect(canvas.DC(), RECT{0, 0, 256, 100}, RGB(0, 0, 0), RGB(255, 255, 255), false));
    ExpectPixels(canvas, {{0, 50, RGB(0, 0, 0)},
                          {128, 50, RGB(128, 128, 128)},
                          {255, 50, RGB(255, 255, 255)},
                          {128, 0, RGB(128, 128, 128)},
                          {128, 99, RGB(128, 128, 128)},
                          {128, 101, RGB(1, 2, 3)}});

    ASSERT_TRUE(GradientFillRect(canvas.DC(), RECT{0, 100, 256, 256}, RED, BLUE, true));
    ExpectPixels(canvas, {{10, 100, RED}, {200, 100, RED}, {10, 255, BLUE}, {100, 178, RGB(128, 0, 128)}});
}

TEST(SkinGradients, MultiGradientBandsInOrderAndReversed)
{
    const COLORREF colours[] = {RED, RGB(0, 255, 0), BLUE};
    const struct {
        bool reverse;
        bool vertical;
    } cases[] = {{false, false}, {true, false}, {false, true}, {true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "reverse " << c.reverse << " vertical " << c.vertical);
        CCanvas canvas(220, 220);
        ASSERT_TRUE(
            MultiGradientFill(canvas.DC(), RECT{10, 10, 210, 210}, colours, 3, c.reverse, c.vertical));
        const COLORREF first = c.reverse ? BLUE : RED;
        const COLORREF last = c.reverse ? RED : BLUE;
        auto at = [&](int along) { return c.vertical ? Probe{110, along, 0} : Probe{along, 110, 0}; };
        const Probe p0 = at(10), p1 = at(110), p2 = at(209), p3 = at(60), out = at(212);
        EXPECT_TRUE(Near(canvas.Pixel(p0.x, p0.y), first));
        EXPECT_TRUE(Near(canvas.Pixel(p1.x, p1.y), RGB(0, 255, 0), 10));
        EXPECT_TRUE(Near(canvas.Pixel(p2.x, p2.y), last, 10));
        EXPECT_TRUE(Near(canvas.Pixel(p3.x, p3.y), c.reverse ? RGB(0, 128, 128) : RGB(128, 128, 0), 10));
        EXPECT_TRUE(Near(canvas.Pixel(out.x, out.y), WHITE));
    }
}

TEST(SkinGradients, DegenerateColourCounts)
{
    const COLORREF one[] = {BLUE};
    CCanvas canvas(40, 40);
    EXPECT_FALSE(MultiGradientFill(canvas.DC(), RECT{0, 0, 40, 40}, one, 0, false, false));
    EXPECT_FALSE(MultiGradientFill(canvas.DC(), RECT{0, 0, 40, 40}, nullptr, 3, false, false));
    ExpectPixels(canvas, {{20, 20, WHITE}});
    EXPECT_TRUE(MultiGradientFill(canvas.DC(), RECT{0, 0, 40, 40}, one, 1, false, false));
    ExpectPixels(canvas, {{1, 1, BLUE}, {38, 38, BLUE}});
}

TEST(SkinEncoders, FormatIndexPicksTheMimeType)
{
    // GDI+'s built-in BMP encoder.
    const CLSID bmp = {0x557cf400, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
    CLSID found = {};
    ASSERT_TRUE(GetEncoderClsid(&found, IMAGE_FORMAT_BMP));
    EXPECT_TRUE(IsEqualCLSID(found, bmp));
    for (int outside : {7, -1, 5}) {
        CLSID other = {};
        ASSERT_TRUE(GetEncoderClsid(&other, outside));
        EXPECT_TRUE(IsEqualCLSID(other, bmp)) << "format " << outside;
    }
    CLSID seen[5] = {};
    for (int format = 0; format < 5; ++format) {
        ASSERT_TRUE(GetEncoderClsid(&seen[format], format)) << "format " << format;
        for (int before = 0; before < format; ++before)
            EXPECT_FALSE(IsEqualCLSID(seen[before], seen[format]));
    }
    EXPECT_TRUE(GetEncoderClsid(nullptr, IMAGE_FORMAT_PNG));
}

TEST_F(SkinImages, SaveImageAsPicksTheFormatFromTheExtension)
{
    const struct {
        const wchar_t* target;
        std::vector<uint8_t> magic;
    } cases[] = {
        {L"out-noext", {0xFF, 0xD8, 0xFF}}, {L"out.jpg", {0xFF, 0xD8, 0xFF}},
        {L"out.JPEG", {0xFF, 0xD8, 0xFF}},  {L"out.xyz", {0xFF, 0xD8, 0xFF}},
        {L"out.bmp", {'B', 'M'}},           {L"out.png", {0x89, 'P', 'N', 'G'}},
        {L"out.gif", {'G', 'I', 'F', '8'}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.target)));
        const std::wstring target = m_dir.Path() + c.target;
        ASSERT_TRUE(SaveImageAs(L"red100x50.bmp", target, 0, 0, nullptr, false));
        const std::vector<uint8_t> bytes = ReadBytes(target);
        ASSERT_GE(bytes.size(), c.magic.size());
        EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + c.magic.size()), c.magic);
    }
    const std::vector<uint8_t> tiff =
        ReadBytes((SaveImageAs(L"red100x50.bmp", m_dir.Path() + L"out.tiff", 0, 0, nullptr, false),
                   m_dir.Path() + L"out.tiff"));
    ASSERT_GE(tiff.size(), 4u);
    EXPECT_TRUE((tiff[0] == 'I' && tiff[1] == 'I') || (tiff[0] == 'M' && tiff[1] == 'M'));
}

TEST_F(SkinImages, SaveImageAsFitsOrKeepsTheSize)
{
    const struct {
        int width;
        int height;
        bool exact;
        UINT savedWidth;
        UINT savedHeight;
    } cases[] = {
        {0, 0, false, 100, 50},    {50, 50, false, 50, 25}, {50, 50, true, 50, 50},
        {300, 60, false, 120, 60}, {0, 10, true, 100, 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << " exact " << c.exact);
        const std::wstring target = m_dir.Path() + L"sized.png";
        ASSERT_TRUE(SaveImageAs(L"red100x50.bmp", target, c.width, c.height, nullptr, c.exact));
        SkinImagePtr saved = LoadSkinImage(target);
        ASSERT_TRUE(saved);
        EXPECT_EQ(saved->GetWidth(), c.savedWidth);
        EXPECT_EQ(saved->GetHeight(), c.savedHeight);
    }
}

TEST_F(SkinImages, SaveImageAsWhitensWhereTheMaskIsWhite)
{
    // A 2 x 1 mask: black left, white right.
    WriteBmp(m_dir.Path() + L"mask.bmp", 2, 1, [](int x, int) { return x == 0 ? RGB(0, 0, 0) : WHITE; });
    CBitmap mask = LoadBitmapFile(m_dir.Path() + L"mask.bmp");
    ASSERT_TRUE(mask);
    const std::wstring target = m_dir.Path() + L"masked.bmp";
    ASSERT_TRUE(SaveImageAs(L"red100x50.bmp", target, 0, 0, mask.GetSafeHandle(), false));
    SkinImagePtr saved = LoadSkinImage(target);
    ASSERT_TRUE(saved);
    CCanvas canvas(100, 50, RGB(0, 0, 0));
    ASSERT_TRUE(DrawImage(saved.get(), canvas.DC(), RECT{0, 0, 100, 50}, DRAW_IMAGE_ACTUAL));
    ExpectPixels(canvas, {{10, 25, RED}, {45, 25, RED}, {55, 25, WHITE}, {90, 25, WHITE}});
}

TEST_F(SkinImages, SaveImageAsWithoutASourceWritesNothing)
{
    const std::wstring target = m_dir.Path() + L"never.png";
    EXPECT_FALSE(SaveImageAs(L"not-there-h6", target, 0, 0, nullptr, false));
    EXPECT_FALSE(FileExists(target));
    WriteBytes(m_dir.Path() + L"junk.png", std::vector<uint8_t>(64, 0x42));
    EXPECT_FALSE(SaveImageAs(L"junk.png", target, 0, 0, nullptr, false));
    EXPECT_FALSE(FileExists(target));
}

} // namespace
