// CMySliderCtrl: the mirrored position of vertical sliders, the drawn channel, filled part and
// thumb, empty ranges, the process-wide defaults, image fall-backs and the lock.

#include "WidgetTestSupport.h"
#include "controls/MySliderCtrl.h"

#include <string>

namespace {

const COLORREF DEFAULT_CHANNEL = 0xFA3232;
const COLORREF DEFAULT_FILLED = 0x32FA32;
const COLORREF DEFAULT_THUMB = 0x0000FA;

class SliderTest : public CWidgetTest {
  protected:
    void SetUp() override
    {
        CWidgetTest::SetUp();
        ASSERT_TRUE(m_horz.SubclassDlgItem(IDC_WIDGET_HSLIDER, &m_dialog));
        ASSERT_TRUE(m_vert.SubclassDlgItem(IDC_WIDGET_VSLIDER, &m_dialog));
        // Channels of 200 pixels: 216 long less 8 at each end.
        m_horz.MoveWindow(10, 10, 216, 30);
        m_vert.MoveWindow(300, 10, 30, 216);
        m_horz.SetRange(0, 100, TRUE);
        m_vert.SetRange(0, 100, TRUE);
    }
    void TearDown() override
    {
        CMySliderCtrl::SetDefaultSliderColors(DEFAULT_CHANNEL, DEFAULT_FILLED, DEFAULT_THUMB);
        CMySliderCtrl::SetDefaultSliderImages(L"", L"", L"");
        CMySliderCtrl::SetDefaultThumbShape(0);
        CWidgetTest::TearDown();
    }
    static int CountColour(const CCanvas& canvas, SIZE size, COLORREF colour)
    {
        int n = 0;
        for (int y = 0; y < size.cy; ++y)
            for (int x = 0; x < size.cx; ++x)
                n += canvas.Pixel(x, y) == colour;
        return n;
    }

    CTempDir m_dir;
    CMySliderCtrl m_horz;
    CMySliderCtrl m_vert;
};

TEST_F(SliderTest, VerticalSliderCountsFromTheBottom)
{
    EXPECT_TRUE(m_horz.IsHorizontal());
    EXPECT_FALSE(m_vert.IsHorizontal());

    struct Case {
        int nMin, nMax, nSliderPos, nPlatformPos;
    };
    const Case cases[] = {{0, 100, 100, 0}, {0, 100, 0, 100}, {0, 100, 25, 75},
                          {10, 50, 10, 50}, {10, 50, 50, 10}, {10, 50, 20, 40}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.nMin << ".." << c.nMax << " pos " << c.nSliderPos);
        m_vert.SetRange(c.nMin, c.nMax, TRUE);
        m_vert.SetSliderPos(c.nSliderPos);
        EXPECT_EQ(m_vert.GetPos(), c.nPlatformPos);
        EXPECT_EQ(m_vert.GetSliderPos(), c.nSliderPos);
        m_horz.SetRange(c.nMin, c.nMax, TRUE);
        m_horz.SetSliderPos(c.nSliderPos);
        EXPECT_EQ(m_horz.GetPos(), c.nSliderPos);
        EXPECT_EQ(m_horz.GetSliderPos(), c.nSliderPos);
    }

    // The thumb at the top reads as the maximum.
    m_vert.SetRange(0, 100, TRUE);
    m_vert.SetPos(0);
    RECT thumb{};
    m_vert.GetThumbRect(&thumb);
    EXPECT_LT(thumb.bottom, 216 / 4);
    EXPECT_EQ(m_vert.GetSliderPos(), 100);
}

TEST_F(SliderTest, ChannelIsFilledUpToThePosition)
{
    m_horz.SetPos(50);
    auto horz = Capture(m_horz);
    // Channel 8..208 across rows 11..18; filled up to 8 + 50 * 200 / 100.
    EXPECT_EQ(horz->Pixel(40, 15), DEFAULT_FILLED);
    EXPECT_EQ(horz->Pixel(90, 15), DEFAULT_FILLED);
    EXPECT_EQ(horz->Pixel(180, 15), DEFAULT_CHANNEL);
    EXPECT_EQ(horz->Pixel(180, 4), horz->Pixel(2, 2)); // outside the band: background
    EXPECT_NE(horz->Pixel(2, 2), DEFAULT_CHANNEL);
    RECT thumb{};
    m_horz.GetThumbRect(&thumb);
    // The circle's centre is 2 pixels above the thumb rectangle's.
    EXPECT_EQ(horz->Pixel((thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2 - 2), DEFAULT_THUMB);

    // Vertical: the filled part runs from the thumb down; slider value 75 is platform position 25.
    m_vert.SetSliderPos(75);
    auto vert = Capture(m_vert);
    EXPECT_EQ(vert->Pixel(15, 30), DEFAULT_CHANNEL);
    EXPECT_EQ(vert->Pixel(15, 150), DEFAULT_FILLED);
    EXPECT_EQ(vert->Pixel(15, 200), DEFAULT_FILLED);
}

TEST_F(SliderTest, EmptyRangeDrawsWithoutFailing)
{
    for (CMySliderCtrl* pSlider : {&m_horz, &m_vert}) {
        pSlider->SetRange(5, 5, TRUE);
        ASSERT_EQ(pSlider->GetRangeMin(), pSlider->GetRangeMax());
        pSlider->SetPos(5);
        auto canvas = Capture(*pSlider);
        SIZE size = ClientSize(*pSlider);
        // At the minimum a horizontal channel is empty and a vertical one full.
        COLORREF band = pSlider->IsHorizontal() ? DEFAULT_CHANNEL : DEFAULT_FILLED;
        EXPECT_GT(CountColour(*canvas, size, band), 100);
        EXPECT_GT(CountColour(*canvas, size, DEFAULT_THUMB), 0);
        EXPECT_EQ(pSlider->GetSliderPos(), 5);
    }
}

TEST_F(SliderTest, ProcessWideDefaultsReachLiveSlidersAndNewOnes)
{
    const COLORREF channel = RGB(10, 20, 30), filled = RGB(40, 50, 60), thumbColour = RGB(70, 80, 90);
    CMySliderCtrl::SetDefaultSliderColors(channel, filled, thumbColour);
    for (CMySliderCtrl* pSlider : {&m_horz, &m_vert}) {
        EXPECT_EQ(pSlider->GetChannelColor(), channel);
        EXPECT_EQ(pSlider->GetFilledColor(), filled);
        EXPECT_EQ(pSlider->GetThumbColor(), thumbColour);
    }
    m_horz.SetPos(50);
    auto canvas = Capture(m_horz);
    EXPECT_EQ(canvas->Pixel(40, 15), filled);
    EXPECT_EQ(canvas->Pixel(180, 15), channel);

    CMySliderCtrl::SetDefaultThumbShape(CMySliderCtrl::THUMB_RECTANGLE);
    EXPECT_EQ(m_vert.GetThumbShape(), CMySliderCtrl::THUMB_RECTANGLE);
    auto rect = Capture(m_horz);
    RECT thumb{};
    m_horz.GetThumbRect(&thumb);
    // The rectangle starts 2 pixels above the platform's thumb.
    EXPECT_EQ(rect->Pixel(thumb.left + 1, thumb.top - 2), thumbColour);

    CMySliderCtrl::SetDefaultSliderImages(L"c.png", L"f.png", L"t.png");
    EXPECT_EQ(m_vert.GetChannelImage(), L"c.png");
    EXPECT_EQ(m_horz.GetThumbImage(), L"t.png");

    CMySliderCtrl made;
    EXPECT_EQ(made.GetChannelColor(), channel);
    EXPECT_EQ(made.GetThumbShape(), CMySliderCtrl::THUMB_RECTANGLE);
    EXPECT_EQ(made.GetFilledImage(), L"f.png");
}

TEST_F(SliderTest, LiveSliderListFollowsConstructionAndDestruction)
{
    int nBefore = CMySliderCtrl::GetLiveSliderCount();
    {
        CMySliderCtrl extra;
        EXPECT_EQ(CMySliderCtrl::GetLiveSliderCount(), nBefore + 1);
        CMySliderCtrl::SetDefaultSliderColors(1, 2, 3); // must not touch destroyed sliders later
    }
    EXPECT_EQ(CMySliderCtrl::GetLiveSliderCount(), nBefore);
    CMySliderCtrl::SetDefaultSliderColors(4, 5, 6);
    EXPECT_EQ(m_horz.GetChannelColor(), 4u);
}

TEST_F(SliderTest, MissingImagesFallBackToColoursAndLoadedOnesAreDrawn)
{
    std::wstring missing = m_dir.Path() + L"none.png";
    m_horz.SetSliderImages(missing, missing, missing);
    m_horz.SetPos(50);
    auto fallback = Capture(m_horz);
    EXPECT_EQ(fallback->Pixel(40, 15), DEFAULT_FILLED);
    EXPECT_EQ(fallback->Pixel(180, 15), DEFAULT_CHANNEL);
    SIZE size = ClientSize(m_horz);
    EXPECT_GT(CountColour(*fallback, size, DEFAULT_THUMB), 0);

    std::wstring channel = m_dir.Path() + L"channel.bmp";
    WriteSolidBmp(channel, 20, 8, RGB(9, 99, 199));
    m_horz.SetSliderImages(channel, missing, missing);
    auto drawn = Capture(m_horz);
    EXPECT_TRUE(Near(drawn->Pixel(180, 15), RGB(9, 99, 199), 4));
    EXPECT_EQ(drawn->Pixel(40, 15), DEFAULT_FILLED);
}

TEST_F(SliderTest, LockedSliderIgnoresMouseAndKeys)
{
    m_horz.SetPos(0);
    m_horz.SetFocus();
    const LPARAM farRight = MAKELPARAM(200, 15);

    m_horz.SetLocked(true);
    m_horz.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, farRight);
    m_horz.SendMessage(WM_LBUTTONUP, 0, farRight);
    m_horz.SendMessage(WM_KEYDOWN, VK_END, 0);
    m_horz.SendMessage(WM_KEYUP, VK_END, 0);
    EXPECT_EQ(m_horz.GetPos(), 0);
    EXPECT_FALSE(m_horz.IsDragging());

    m_horz.SetLocked(false);
    m_horz.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, farRight);
    EXPECT_TRUE(m_horz.IsDragging());
    m_horz.SendMessage(WM_LBUTTONUP, 0, farRight);
    EXPECT_FALSE(m_horz.IsDragging());
    EXPECT_GT(m_horz.GetPos(), 0);
    RECT clip{};
    ::GetClipCursor(&clip);
    RECT window{};
    m_horz.GetWindowRect(&window);
    EXPECT_FALSE(::EqualRect(&clip, &window)); // the cursor is free again

    m_horz.SendMessage(WM_KEYDOWN, VK_END, 0);
    m_horz.SendMessage(WM_KEYUP, VK_END, 0);
    EXPECT_EQ(m_horz.GetPos(), 100);
}

} // namespace
