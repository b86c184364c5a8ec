// The animated image view.
#include "SkinTestSupport.h"
#include "controls/SkinFiles.h"
#include "controls/SkinPicture.h"

#include <gtest/gtest.h>

namespace {

void Append(std::vector<uint8_t>& out, std::initializer_list<uint8_t> bytes)
{
    for (uint8_t b : bytes)
        out.push_back(b);
}

// A 1 x 1 GIF with one frame per entry of delays (hundredths of a second): red, blue, red...
std::vector<uint8_t> AnimatedGif(std::initializer_list<uint16_t> delays)
{
    std::vector<uint8_t> gif;
    Append(gif, {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0});
    Append(gif, {0xFF, 0, 0, 0, 0, 0xFF}); // two global colours: red, blue
    Append(gif,
           {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0, 0}); // loop
    int index = 0;
    for (uint16_t delay : delays) {
        Append(gif, {0x21, 0xF9, 4, 0, static_cast<uint8_t>(delay & 0xFF), static_cast<uint8_t>(delay >> 8),
                     0, 0});
        Append(gif, {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0});
        // Minimum code size 2; 3-bit codes clear (4), the pixel, end (5).
        Append(gif, {2, 2, static_cast<uint8_t>(0x44 | ((index % 2) << 3)), 0x01, 0});
        ++index;
    }
    gif.push_back(0x3B);
    return gif;
}

class SkinPicture : public testing::Test {
  protected:
    void SetUp() override
    {
        InitSkins(m_dir.Path());
        m_hWnd =
            CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 40, 30, nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(m_hWnd);
    }
    void TearDown() override
    {
        if (IsWindow(m_hWnd))
            DestroyWindow(m_hWnd);
    }
    CTempDir m_dir;
    HWND m_hWnd = nullptr;
};

TEST_F(SkinPicture, PaintsTheImageOrImageLost)
{
    CMyPicture picture;
    ASSERT_TRUE(picture.Attach(m_hWnd));
    const COLORREF face = GetSysColor(COLOR_BTNFACE);

    // Without an image the text is drawn: some pixels differ from the background.
    CCanvas empty(120, 40);
    picture.Paint(empty.DC(), RECT{0, 0, 120, 40});
    int differing = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 120; ++x)
            differing += empty.Pixel(x, y) != face;
    EXPECT_GT(differing, 10);
    EXPECT_EQ(empty.Pixel(1, 1), face);

    WriteSolidBmp(m_dir.Path() + L"pic-red.bmp", 10, 10, RGB(255, 0, 0));
    ASSERT_EQ(picture.LoadFromFile(L"pic-red.bmp"), 0);
    EXPECT_EQ(picture.GetFrameCount(), 1u);
    EXPECT_FALSE(picture.IsAnimating());
    picture.SetFitMode(CMyPicture::FIT_STRETCH);
    CCanvas stretched(60, 30);
    picture.Paint(stretched.DC(), RECT{0, 0, 60, 30});
    EXPECT_TRUE(Near(stretched.Pixel(2, 2), RGB(255, 0, 0)));
    EXPECT_TRUE(Near(stretched.Pixel(57, 27), RGB(255, 0, 0)));

    picture.SetFitMode(CMyPicture::FIT_TOP_LEFT);
    CCanvas corner(60, 30);
    picture.Paint(corner.DC(), RECT{0, 0, 60, 30});
    EXPECT_TRUE(Near(corner.Pixel(5, 5), RGB(255, 0, 0)));
    EXPECT_EQ(corner.Pixel(30, 20), face);

    // A failed load keeps the previous image.
    EXPECT_EQ(picture.LoadFromFile(L"not-there-h6.gif"), -1);
    EXPECT_EQ(picture.GetFrameCount(), 1u);
}

TEST_F(SkinPicture, LoadsFromTheProgramsResources)
{
    CMyPicture picture;
    ASSERT_TRUE(picture.Attach(m_hWnd));
    // Built-in skin 28 is General_OK1.png.
    EXPECT_EQ(picture.LoadFromResource(MAKEINTRESOURCEW(IDR_DEFAULT_SKIN_FIRST + 28)), 0);
    EXPECT_EQ(picture.GetFrameCount(), 1u);
    EXPECT_EQ(picture.LoadFromResource(MAKEINTRESOURCEW(IDR_DEFAULT_SKIN_FIRST + DEFAULT_SKIN_COUNT)), -1);
    EXPECT_EQ(picture.LoadFromResource(L"NO_SUCH_RESOURCE"), -1);
}

TEST_F(SkinPicture, AnimatesFramesWithTheirDelaysAndStops)
{
    WriteBytes(m_dir.Path() + L"anim.gif", AnimatedGif({3, 5}));
    CMyPicture picture;
    ASSERT_TRUE(picture.Attach(m_hWnd));
    ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
    ASSERT_EQ(picture.LoadFromFile(m_dir.Path() + L"anim.gif"), 0);
    EXPECT_EQ(picture.GetFrameCount(), 2u);
    EXPECT_EQ(picture.GetFrameDelay(0), 30u);
    EXPECT_EQ(picture.GetFrameDelay(1), 50u);
    EXPECT_TRUE(picture.IsAnimating());

    // The frame moves on by itself (loosely: within a few seconds).
    const UINT first = picture.GetCurrentFrame();
    bool moved = false;
    for (int i = 0; i < 300 && !moved; ++i) {
        Sleep(10);
        moved = picture.GetCurrentFrame() != first;
    }
    EXPECT_TRUE(moved);

    // Paused, it stays on its frame.
    picture.SetPaused(true);
    Sleep(20);
    const UINT held = picture.GetCurrentFrame();
    Sleep(200);
    EXPECT_EQ(picture.GetCurrentFrame(), held);

    picture.Stop();
    EXPECT_FALSE(picture.IsAnimating());
    EXPECT_EQ(picture.GetWindow(), nullptr);
    EXPECT_EQ(picture.GetFrameCount(), 0u);
}

TEST_F(SkinPicture, ShortFrameDelaysStayOnScreenForTheShortestDelay)
{
    // Delays in hundredths of a second as the file has them, and the milliseconds shown.
    const struct {
        uint16_t fileDelay;
        UINT shown;
    } cases[] = {{0, 100}, {1, 100}, {2, 20}, {7, 70}};
    for (const auto& c : cases) {
        WriteBytes(m_dir.Path() + L"delay.gif", AnimatedGif({c.fileDelay, c.fileDelay}));
        CMyPicture picture;
        ASSERT_EQ(picture.LoadFromFile(m_dir.Path() + L"delay.gif"), 0) << c.fileDelay;
        EXPECT_EQ(picture.GetFrameDelay(0), c.shown) << c.fileDelay;
        EXPECT_EQ(picture.GetFrameDelay(1), c.shown) << c.fileDelay;
    }
}

TEST_F(SkinPicture, ZeroDelayAnimationAdvancesAtTheShortestDelayNotInALoop)
{
    WriteBytes(m_dir.Path() + L"zero.gif", AnimatedGif({0, 0}));
    CMyPicture picture;
    ASSERT_TRUE(picture.Attach(m_hWnd));
    ASSERT_EQ(picture.LoadFromFile(m_dir.Path() + L"zero.gif"), 0);
    ASSERT_EQ(picture.GetFrameCount(), 2u);

    // Frame changes seen in one second of polling: about 10 at 100 ms a frame; a thread that
    // redraws without rest shows hundreds. The bounds are loose on purpose.
    int nChanges = 0;
    UINT last = picture.GetCurrentFrame();
    const ULONGLONG tEnd = GetTickCount64() + 1000;
    while (GetTickCount64() < tEnd) {
        Sleep(2);
        const UINT now = picture.GetCurrentFrame();
        nChanges += now != last;
        last = now;
    }
    EXPECT_GE(nChanges, 3);
    EXPECT_LE(nChanges, 25);
    picture.Stop();
}

TEST_F(SkinPicture, ClickTogglesPauseOnlyWhenEnabled)
{
    CMyPicture picture;
    ASSERT_TRUE(picture.Attach(m_hWnd));
    SendMessageW(m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_FALSE(picture.IsPaused());
    picture.SetPauseByClick(true);
    SendMessageW(m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_TRUE(picture.IsPaused());
    SendMessageW(m_hWnd, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_FALSE(picture.IsPaused());
}

TEST_F(SkinPicture, DestroyingTheWindowDetachesAndStopsTheAnimation)
{
    WriteBytes(m_dir.Path() + L"anim.gif", AnimatedGif({1, 1, 1}));
    CMyPicture picture;
    ASSERT_TRUE(picture.Attach(m_hWnd));
    EXPECT_FALSE(picture.Attach(nullptr));
    ASSERT_EQ(picture.LoadFromFile(m_dir.Path() + L"anim.gif"), 0);
    EXPECT_EQ(picture.GetFrameCount(), 3u);
    EXPECT_TRUE(picture.IsAnimating());
    Sleep(50);
    DestroyWindow(m_hWnd);
    EXPECT_EQ(picture.GetWindow(), nullptr);
    EXPECT_FALSE(picture.IsAnimating());
}

} // namespace
