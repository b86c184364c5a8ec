// CMyProgressCtrl: SetPosText and its busy flag, colour pairs, the caption and the drawn bar.

#include "WidgetTestSupport.h"
#include "controls/MyProgressCtrl.h"

namespace {

class ProgressTest : public CWidgetTest {
  protected:
    void SetUp() override
    {
        CWidgetTest::SetUp();
        ASSERT_TRUE(m_progress.SubclassDlgItem(IDC_WIDGET_PROGRESS, &m_dialog));
        m_progress.MoveWindow(10, 10, 204, 26);
        m_progress.SetRange32(0, 100);
    }
    CMyProgressCtrl m_progress;
};

TEST_F(ProgressTest, SetPosTextSetsTheBusyFlagByThePosition)
{
    struct Step {
        int nPos;
        const wchar_t* text;
        bool bBusy;
        int nPlatformPos;
    };
    // Starts at position 0, not busy.
    const Step steps[] = {
        {40, L"copy", false, 40}, {-1, L"wait", true, 40}, {-100, L"still", true, 40},
        {-7, L"again", true, 40}, {0, L"", false, 0},      {-100, L"text", false, 0},
        {75, L"go", false, 75},   {-2, L"x", true, 75},    {100, L"done", false, 100},
    };
    EXPECT_FALSE(m_progress.IsBusy());
    for (const Step& s : steps) {
        SCOPED_TRACE(s.nPos);
        m_progress.SetPosText(s.nPos, s.text);
        EXPECT_EQ(m_progress.GetText(), s.text);
        EXPECT_EQ(m_progress.IsBusy(), s.bBusy);
        EXPECT_EQ(m_progress.GetPos(), s.nPlatformPos);
    }
}

TEST_F(ProgressTest, CaptionShowsThePercentageUnlessBusy)
{
    m_progress.SetPosText(50, L"Upload");
    EXPECT_EQ(m_progress.GetCaption(), L"Upload 50.0%");
    m_progress.SetPosText(1, L"");
    m_progress.SetRange32(0, 3);
    EXPECT_EQ(m_progress.GetCaption(), L"33.3%");
    m_progress.SetPosText(-1, L"Searching");
    EXPECT_EQ(m_progress.GetCaption(), L"Searching");
}

TEST_F(ProgressTest, SetColorsTakesIndexesZeroToTwoOnly)
{
    m_progress.SetColors(RGB(1, 1, 1), RGB(2, 2, 2), 0);
    m_progress.SetColors(RGB(3, 3, 3), RGB(4, 4, 4), 1);
    m_progress.SetColors(RGB(5, 5, 5), RGB(6, 6, 6), 2);
    m_progress.SetColors(RGB(9, 9, 9), RGB(9, 9, 9), 3);
    m_progress.SetColors(RGB(9, 9, 9), RGB(9, 9, 9), -1);
    const COLORREF expected[3][2] = {
        {RGB(1, 1, 1), RGB(2, 2, 2)}, {RGB(3, 3, 3), RGB(4, 4, 4)}, {RGB(5, 5, 5), RGB(6, 6, 6)}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 2; ++j)
            EXPECT_EQ(m_progress.GetColor(i, j), expected[i][j]) << i << "," << j;
    EXPECT_EQ(m_progress.GetTextColor(), 255u);
}

TEST_F(ProgressTest, BarReachesThePositionAndFillsTheWidthWhileBusy)
{
    const COLORREF bar = RGB(0, 160, 0), back = RGB(240, 240, 240), busy = RGB(200, 120, 0);
    m_progress.SetColors(bar, bar, CMyProgressCtrl::COLORS_BAR);
    m_progress.SetColors(back, back, CMyProgressCtrl::COLORS_BACKGROUND);
    m_progress.SetColors(busy, busy, CMyProgressCtrl::COLORS_BUSY);
    // Rows 2 and h - 3 stay clear of the centred caption; the inside starts 1 pixel in.
    SIZE size = ClientSize(m_progress);
    const int w = size.cx, h = size.cy, mid = 1 + (w - 2) / 2;
    m_progress.SetPosText(50, L"");
    auto half = Capture(m_progress);
    EXPECT_EQ(half->Pixel(2, 2), bar);
    EXPECT_EQ(half->Pixel(mid - 2, h - 3), bar);
    EXPECT_EQ(half->Pixel(mid + 2, 2), back);
    EXPECT_EQ(half->Pixel(w - 3, h - 3), back);

    m_progress.SetPosText(0, L"");
    auto empty = Capture(m_progress);
    EXPECT_EQ(empty->Pixel(2, 2), back);

    m_progress.SetPosText(-1, L"busy");
    auto whole = Capture(m_progress);
    EXPECT_EQ(whole->Pixel(2, 2), busy);
    EXPECT_EQ(whole->Pixel(w - 3, h - 3), busy);

    // Images that do not exist leave the colours.
    CTempDir dir;
    m_progress.SetImages(dir.Path() + L"bk.png", dir.Path() + L"bar.png");
    m_progress.SetPosText(50, L"");
    auto fallback = Capture(m_progress);
    EXPECT_EQ(fallback->Pixel(2, 2), bar);
    EXPECT_EQ(fallback->Pixel(w - 3, h - 3), back);
}

TEST(ProgressDefaults, NewBarsTakeTheProcessWideDefaults)
{
    CMyProgressCtrl::SetDefaultProgressImages(L"pbk.png", L"pbar.png");
    CMyProgressCtrl::SetDefaultProgressColors(RGB(1, 2, 3), RGB(4, 5, 6), RGB(7, 8, 9));
    CMyProgressCtrl made;
    EXPECT_EQ(made.GetBkImage(), L"pbk.png");
    EXPECT_EQ(made.GetBarImage(), L"pbar.png");
    EXPECT_EQ(made.GetColor(CMyProgressCtrl::COLORS_BAR, 0), RGB(1, 2, 3));
    EXPECT_EQ(made.GetColor(CMyProgressCtrl::COLORS_BAR, 1), RGB(4, 5, 6));
    EXPECT_EQ(made.GetTextColor(), RGB(7, 8, 9));
    CMyProgressCtrl::SetDefaultProgressImages(L"", L"");
    CMyProgressCtrl::SetDefaultProgressColors(0x80E080, 0x30A030, 255);
}

} // namespace
