// CMyListCtrl and CMyHeaderCtrl painting, checked by pixels where the geometry is exact.
#include "tests/controls/ListCtrlTestSupport.h"

#include "controls/SkinFiles.h"

namespace {

constexpr COLORREF UNPAINTED = RGB(1, 2, 3);

class PaintFixture : public ListFixture {
  protected:
    void SetUp() override
    {
        ListFixture::SetUp();
        AddColumns({120, 160, 120, 100});
        AddRows(4);
        m_list.SetRowHeight(22);
        m_list.SelectAllRows(2);
    }
    RECT Label(int row, int col) const
    {
        RECT rc{};
        m_list.GetSubItemRect(row, col, LVIR_LABEL, &rc);
        if (col == 0)
            rc.left = 0;
        return rc;
    }
};

// The drawn box of a cell whose label starts at (left, top) with height h, from its square
// (left + 2 .. left + 2 + h) shrunk to at most 14 wide, then 12 wide, 1 up and 1 left.
RECT DrawnBox(int left, int top, int h)
{
    RECT box{left + 2, top, left + 2 + h, top + h};
    while (box.right - box.left > 14)
        ::InflateRect(&box, -1, -1);
    box.right = box.left + 12;
    box.bottom -= 1;
    box.left -= 1;
    return box;
}

bool IsTick(const RECT& box, int x, int y)
{
    static const int drop[7] = {5, 6, 7, 6, 5, 4, 3};
    const int i = x - (box.left + 3);
    return i >= 0 && i < 7 && y >= box.top + drop[i] && y < box.top + drop[i] + 3;
}

void ExpectBox(const CCapture& capture, const RECT& box, bool bChecked, COLORREF ink, COLORREF bk)
{
    for (int y = box.top; y < box.bottom; ++y) {
        for (int x = box.left; x < box.right; ++x) {
            const bool bEdge = x == box.left || x == box.right - 1 || y == box.top || y == box.bottom - 1;
            const COLORREF want = bEdge || (bChecked && IsTick(box, x, y)) ? ink : bk;
            ASSERT_EQ(capture.At(x, y), want)
                << "at " << x << "," << y << (bChecked ? " checked" : " unchecked");
        }
    }
}

TEST_F(PaintFixture, DrawnCheckBoxesAndTicks)
{
    const COLORREF INK = RGB(0, 0, 200);
    m_list.SetCheckBoxImages(false);
    m_list.SetTextColor(INK);
    m_list.SetCheckColumn(2, true);
    m_list.SetCellCheck(0, 2, 1);
    m_list.SetCheckBoxes(true); // column 0 shows the platform check state
    m_list.SetCheck(1, TRUE);
    m_list.SetCheck(0, FALSE);

    CCapture capture(m_list.m_hWnd);
    const RECT cell02 = Label(0, 2), cell12 = Label(1, 2), cell00 = Label(0, 0), cell10 = Label(1, 0);
    ASSERT_EQ(cell02.bottom - cell02.top, 22);
    ExpectBox(capture, DrawnBox(cell02.left, cell02.top, 22), true, INK, RGB(255, 255, 255));
    ExpectBox(capture, DrawnBox(cell12.left, cell12.top, 22), false, INK, RGB(255, 255, 255));
    ExpectBox(capture, DrawnBox(cell10.left, cell10.top, 22), true, INK, RGB(255, 255, 255));
    ExpectBox(capture, DrawnBox(cell00.left, cell00.top, 22), false, INK, RGB(255, 255, 255));
    // A column without check boxes has none: its text starts where a box would be.
    const RECT cell01 = Label(0, 1);
    const RECT none = DrawnBox(cell01.left, cell01.top, 22);
    EXPECT_EQ(capture.At(none.left, none.top), RGB(255, 255, 255));
    EXPECT_EQ(capture.At(none.right - 1, none.bottom - 1), RGB(255, 255, 255));
}

TEST_F(PaintFixture, CheckImagesReplaceTheDrawnBox)
{
    WriteDefaultSkins();
    m_list.SetCheckColumn(2, true);
    m_list.SetCellCheck(0, 2, 1);
    CCapture capture(m_list.m_hWnd);
    const RECT cell = Label(0, 2);
    const RECT box = DrawnBox(cell.left, cell.top, 22);
    // The image fills the square (left + 3 .. left + 1 + h); its pixels are not the drawn pattern.
    int differing = 0;
    for (int y = box.top; y < box.bottom; ++y)
        for (int x = box.left; x < box.right; ++x) {
            const bool bInk = x == box.left || x == box.right - 1 || y == box.top || y == box.bottom - 1 ||
                              IsTick(box, x, y);
            differing += capture.At(x, y) != (bInk ? RGB(0, 0, 0) : RGB(255, 255, 255));
        }
    EXPECT_GT(differing, 10);

    // A missing image falls back to the drawn box.
    m_list.SetCheckBoxImages(true, L"NoSuchCheckImage.png", L"NoSuchCheckImage.png");
    CCapture fallback(m_list.m_hWnd);
    ExpectBox(fallback, box, true, RGB(0, 0, 0), RGB(255, 255, 255));
}

TEST_F(PaintFixture, ProgressFillWidth)
{
    const COLORREF BK = RGB(0, 0, 240), FILL = RGB(0, 240, 0);
    m_list.SetProgressColumn(1, true);
    struct Case {
        const wchar_t* text;
        int percent;
    } cases[] = {{L"40", 40}, {L"", 0},     {L"100", 100}, {L"0", 0},
                 {L"-5", 0},  {L"75%", 75}, {L"250", 100}, {L"33", 33}};
    for (const Case& c : cases) {
        m_list.SetItemText(0, 1, c.text);
        CCapture capture(m_list.m_hWnd);
        const RECT cell = Label(0, 1);
        const RECT bar{cell.left + 2, cell.top, cell.right, cell.bottom - 1};
        const RECT inner{bar.left + 1, bar.top + 1, bar.right - 1, bar.bottom - 1};
        const int width = inner.right - inner.left;
        const int filled = c.percent * width / 100;
        SCOPED_TRACE(testing::Message() << "text '" << std::string(c.text, c.text + wcslen(c.text)) << "'");
        EXPECT_EQ(capture.At(bar.left, bar.top + 5), BK);      // outline
        EXPECT_EQ(capture.At(bar.right - 1, bar.top + 5), BK); // outline
        EXPECT_EQ(capture.At(cell.left + 1, cell.top + 5), RGB(255, 255, 255));
        for (int x = inner.left; x < inner.right; ++x)
            ASSERT_EQ(capture.At(x, inner.top), x < inner.left + filled ? FILL : BK) << "x " << x;
    }
}

TEST_F(PaintFixture, ProgressShowsZeroPercentForAnEmptyCell)
{
    m_list.SetProgressColumn(1, true);
    m_list.SetProgressColors(RGB(0, 0, 240), RGB(0, 240, 0), RGB(255, 255, 0));
    m_list.SetItemText(0, 1, L"");
    CCapture capture(m_list.m_hWnd);
    const RECT cell = Label(0, 1);
    int text = 0;
    for (int y = cell.top; y < cell.bottom; ++y)
        for (int x = cell.left; x < cell.right; ++x)
            text += GetRValue(capture.At(x, y)) > 128 && GetBValue(capture.At(x, y)) < 128;
    EXPECT_GT(text, 5); // "0%" in the progress text colour
}

TEST_F(PaintFixture, CellColoursBySelectionAndState)
{
    m_list.SetSelectionColors(RGB(10, 20, 30), RGB(255, 255, 255));
    m_list.SetDisabledColors(RGB(40, 50, 60), RGB(0, 0, 0));
    m_list.SetCellBkColor(-1, 3, RGB(70, 80, 90));
    m_list.SetCellDisabled(2, 1, 1);
    m_list.SetAltRowColors(true, RGB(100, 110, 120), RGB(0, 0, 0));
    m_list.SelectRow(0, true);
    CCapture capture(m_list.m_hWnd);
    auto pixel = [&](int row, int col) {
        const RECT rc = Label(row, col);
        return capture.At(rc.right - 2, rc.top + 1);
    };
    EXPECT_EQ(pixel(0, 1), RGB(10, 20, 30));    // selected row
    EXPECT_EQ(pixel(2, 3), RGB(70, 80, 90));    // column colour
    EXPECT_EQ(pixel(1, 3), RGB(100, 110, 120)); // odd row: alternate colour
    EXPECT_EQ(pixel(2, 1), RGB(40, 50, 60));    // disabled cell
    EXPECT_EQ(pixel(2, 0), RGB(255, 255, 255)); // default
    // The last column's fill reaches the right edge of the client area.
    RECT client;
    m_list.GetClientRect(&client);
    const RECT last = Label(2, 3);
    EXPECT_EQ(capture.At(client.right - 2, last.top + 1), RGB(70, 80, 90));
}

TEST_F(PaintFixture, HeaderGradientReachesTheRightEdge)
{
    m_list.SetHeaderHeight(30);
    CMyHeaderCtrl& header = m_list.GetHeader();
    ASSERT_NE(header.m_hWnd, nullptr);
    RECT rc;
    header.GetClientRect(&rc);
    ASSERT_EQ(rc.bottom, 30);
    ASSERT_GT(rc.right, 120 + 160 + 120 + 100 + 20); // the columns are narrower than the header
    CCapture capture(header.m_hWnd);
    for (int x : {502, static_cast<int>(rc.right) - 30, static_cast<int>(rc.right) - 1}) {
        const COLORREF top = capture.At(x, 0);
        const COLORREF bottom = capture.At(x, 29);
        EXPECT_GE(GetRValue(top), 0xF0) << x;
        EXPECT_GE(GetGValue(top), 0xF0) << x;
        EXPECT_NEAR(GetRValue(bottom), 0xB4, 8) << x;
        EXPECT_NEAR(GetGValue(bottom), 0xD2, 8) << x;
        EXPECT_NEAR(GetBValue(bottom), 0xFA, 8) << x;
    }
    // The separator of item 0 at its right edge, in 0xD2D2D2.
    EXPECT_EQ(capture.At(120, 15), RGB(210, 210, 210));
    // The title is drawn in the text colour.
    m_list.SetHeaderTextColor(RGB(200, 0, 0));
    CCapture titled(header.m_hWnd);
    int red = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 60; ++x)
            red += GetRValue(titled.At(x, y)) > 120 && GetGValue(titled.At(x, y)) < 100;
    EXPECT_GT(red, 3);
}

TEST_F(PaintFixture, BackgroundGradientAndBackgroundImage)
{
    m_list.DeleteAllItems();
    m_list.SetBkColors(RGB(255, 0, 0), RGB(0, 0, 255));
    CCapture gradient(m_list.m_hWnd);
    const COLORREF low = gradient.At(300, gradient.Height() - 1);
    EXPECT_GT(GetBValue(low), 200);
    EXPECT_FALSE(m_list.IsBkImageDrawn());

    WriteDefaultSkins();
    m_list.SetBkImage(L"General_Setting.png");
    CCapture image(m_list.m_hWnd);
    EXPECT_TRUE(m_list.IsBkImageDrawn());
    m_list.SetBkImage(L"NoSuchBackground.png");
    CCapture missing(m_list.m_hWnd);
    EXPECT_FALSE(m_list.IsBkImageDrawn());
    EXPECT_EQ(missing.At(300, missing.Height() - 1), low);
}

TEST_F(PaintFixture, LongTextsDrawCutWithoutCrashing)
{
    const std::wstring longText(5000, L'W');
    m_list.SetItemText(1, 1, longText.c_str());
    m_list.SetItemImage(1, 0); // keeps the long text of the row
    EXPECT_EQ(m_list.GetItemText(1, 1).size(), 5000u);
    CCapture capture(m_list.m_hWnd);
    const RECT cell = Label(1, 1);
    int ink = 0;
    for (int x = cell.left; x < cell.right; ++x)
        ink += capture.At(x, (cell.top + cell.bottom) / 2) != RGB(255, 255, 255);
    EXPECT_GT(ink, 10);
    // Nothing spills into the next cell (its own text starts 4 pixels in).
    const RECT next = Label(1, 2);
    for (int y = next.top; y < next.bottom; ++y)
        for (int x = next.left; x < next.left + 3; ++x)
            EXPECT_EQ(capture.At(x, y), RGB(255, 255, 255)) << x << "," << y;
}

TEST_F(PaintFixture, CoversTheClientArea)
{
    CCapture capture(m_list.m_hWnd);
    RECT header;
    ::GetWindowRect(m_list.GetHeaderCtrl(), &header);
    const int top = header.bottom - header.top;
    int unpainted = 0;
    for (int y = top; y < capture.Height(); y += 7)
        for (int x = 0; x < capture.Width(); x += 7)
            unpainted += capture.At(x, y) == UNPAINTED;
    EXPECT_EQ(unpainted, 0);
}

} // namespace
