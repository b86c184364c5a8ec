// CMyComboBox: the drawn arrow thumb, thumbs from files and resources, frame colours, and the hover
// state from the mouse and from its reflected notifications.

#include "WidgetTestSupport.h"
#include "controls/MyComboBox.h"

#include <cmath>
#include <string>

namespace {

bool IsDark(COLORREF c)
{
    return GetRValue(c) < 80 && GetGValue(c) < 80 && GetBValue(c) < 80;
}

class ComboTest : public CWidgetTest {
  public:
    void SetUp() override
    {
        CWidgetTest::SetUp();
        ASSERT_TRUE(m_combo.SubclassDlgItem(IDC_WIDGET_COMBO, &m_dialog));
        // A tall selection field gives the thumb square enough pixels to see the arrow's shape.
        m_combo.SetItemHeight(-1, 31);
        RECT rc;
        m_combo.GetWindowRect(&rc);
        m_dialog.ScreenToClient(&rc);
        m_combo.MoveWindow(rc.left, rc.top, 220, rc.bottom - rc.top);
        m_combo.AddString(L"Camera one");
        m_combo.AddString(L"Camera two");
        // No thumb image anywhere: every state falls back to the drawn thumb.
        m_missing = m_dir.Path() + L"missing.bmp";
        m_combo.SetThumbImages(m_missing, m_missing, m_missing);
        SIZE size = ClientSize(m_combo);
        w = size.cx;
        h = size.cy;
        x0 = w - h + 3;
        side = h - 5;
    }

    // The thumb square's pixel whose centre maps to the 15 x 16 source point (sx, sy).
    int DestX(double sx) const { return x0 + static_cast<int>(std::floor((sx + 0.5) * side / 15.0)); }
    int DestY(double sy) const { return Y0 + static_cast<int>(std::floor((sy + 0.5) * side / 16.0)); }
    double SourceX(int x) const { return (x - x0 + 0.5) * 15.0 / side - 0.5; }
    double SourceY(int y) const { return (y - Y0 + 0.5) * 16.0 / side - 0.5; }
    int DarkInRow(const CCanvas& canvas, int y) const
    {
        int n = 0;
        for (int x = x0; x < x0 + side; ++x)
            n += IsDark(canvas.Pixel(x, y));
        return n;
    }

    // The drawn thumb: its state colour everywhere but a black downward arrow in the middle.
    void ExpectDrawnThumb(const CCanvas& canvas, COLORREF colour)
    {
        // The upper half of the source is all state colour.
        for (int y = Y0; y < DestY(6); ++y)
            for (int x = x0 + 1; x < x0 + side - 1; ++x)
                ASSERT_TRUE(Near(canvas.Pixel(x, y), colour, 40))
                    << "(" << x << "," << y << ") " << std::hex << canvas.Pixel(x, y);
        int nDark = 0;
        for (int y = Y0; y < Y0 + side; ++y)
            for (int x = x0; x < x0 + side; ++x) {
                if (!IsDark(canvas.Pixel(x, y)))
                    continue;
                ++nDark;
                // The strokes cover source columns 5..11 and rows 8..11; one source pixel of slack
                // for the filtering of the stretch.
                EXPECT_GE(SourceX(x), 4.0) << x << "," << y;
                EXPECT_LE(SourceX(x), 12.0) << x << "," << y;
                EXPECT_GE(SourceY(y), 7.0) << x << "," << y;
                EXPECT_LE(SourceY(y), 12.0) << x << "," << y;
            }
        EXPECT_GT(nDark, side); // more than a speck
        EXPECT_TRUE(IsDark(canvas.Pixel(DestX(8), DestY(9))));
        // Four strokes narrowing downwards.
        EXPECT_GT(DarkInRow(canvas, DestY(8)), DarkInRow(canvas, DestY(10)));
        EXPECT_GT(DarkInRow(canvas, DestY(10)), 0);
        // Below the arrow the state colour again.
        EXPECT_TRUE(Near(canvas.Pixel(DestX(8), DestY(14)), colour, 40));
    }

    CTempDir m_dir;
    std::wstring m_missing;
    CMyComboBox m_combo;
    int w = 0, h = 0, x0 = 0, side = 0;
    static constexpr int Y0 = 2;
};

TEST_F(ComboTest, WithoutThumbImagesEachStateShowsTheDrawnArrowInItsColour)
{
    ASSERT_GT(side, 20);
    struct Case {
        const char* name;
        void (*enter)(ComboTest&);
        void (*leave)(ComboTest&);
        COLORREF colour;
    };
    const Case cases[] = {
        {"normal", [](ComboTest&) {}, [](ComboTest&) {}, CMyComboBox::THUMB_COLORS[0]},
        {"hover", [](ComboTest& t) { t.m_combo.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(10, 10)); },
         [](ComboTest& t) { t.m_combo.SendMessage(WM_MOUSELEAVE); }, CMyComboBox::THUMB_COLORS[1]},
        {"dropped", [](ComboTest& t) { t.m_combo.ShowDropDown(TRUE); },
         [](ComboTest& t) { t.m_combo.ShowDropDown(FALSE); }, CMyComboBox::THUMB_COLORS[2]},
        {"disabled", [](ComboTest& t) { t.m_combo.EnableWindow(FALSE); },
         [](ComboTest& t) { t.m_combo.EnableWindow(TRUE); }, CMyComboBox::DISABLED_THUMB_COLOR},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.enter(*this);
        auto canvas = Capture(m_combo);
        ExpectDrawnThumb(*canvas, c.colour);
        c.leave(*this);
    }
}

TEST_F(ComboTest, ThumbComesFromTheImageFileTheResourceOrFallsBackOnABadFile)
{
    std::wstring solid = m_dir.Path() + L"thumb.bmp";
    WriteSolidBmp(solid, 15, 16, RGB(200, 100, 0));
    std::wstring corrupt = m_dir.Path() + L"corrupt.bmp";
    WriteBytes(corrupt, {'B', 'M', 0x10, 0, 0, 0, 0, 0, 0xFF, 0xFF, 7, 7, 7});

    m_combo.SetThumbImages(solid, solid, solid);
    auto fromFile = Capture(m_combo);
    EXPECT_TRUE(Near(fromFile->Pixel(x0 + side / 2, Y0 + side / 2), RGB(200, 100, 0), 12));

    // A resource id wins over the file.
    m_combo.SetThumbIds(IDB_WIDGET_THUMB, IDB_WIDGET_THUMB, IDB_WIDGET_THUMB);
    auto fromResource = Capture(m_combo);
    EXPECT_TRUE(Near(fromResource->Pixel(x0 + side / 2, Y0 + side / 2), RGB(0, 128, 128), 12));

    // Disabled with a loaded picture: greyed, with the arrow over it.
    m_combo.EnableWindow(FALSE);
    auto disabled = Capture(m_combo);
    EXPECT_FALSE(Near(disabled->Pixel(x0 + 2, Y0 + 2), RGB(0, 128, 128), 12));
    int nDark = 0;
    for (int y = Y0; y < Y0 + side; ++y)
        nDark += DarkInRow(*disabled, y);
    EXPECT_GT(nDark, 0);
    m_combo.EnableWindow(TRUE);

    m_combo.SetThumbIds(-1, -1, -1);
    m_combo.SetThumbImages(corrupt, corrupt, corrupt);
    auto fallback = Capture(m_combo);
    ExpectDrawnThumb(*fallback, CMyComboBox::THUMB_COLORS[0]);
}

TEST_F(ComboTest, FrameIsGreyAndTurnsBlueWithTheFocus)
{
    m_combo.SetCurSel(-1);
    m_dialog.SetDlgItemText(IDC_WIDGET_EDIT, L"");
    ::SetFocus(Item(IDC_WIDGET_EDIT));
    auto plain = Capture(m_combo);
    const POINT frame[] = {{w / 2, 0}, {0, h / 2}, {w - 1, h / 2}, {w / 2, h - 2}};
    for (POINT p : frame)
        EXPECT_EQ(plain->Pixel(p.x, p.y), CMyComboBox::BORDER_COLOR) << p.x << "," << p.y;
    // The frame's bottom is one pixel up: the last row is left as the screen showed it.
    EXPECT_EQ(plain->Pixel(w / 2, h - 1), CANVAS_FILL);
    POINT inText = {w - h - 3, h / 2};
    EXPECT_FALSE(Near(plain->Pixel(inText.x, inText.y), ::GetSysColor(COLOR_HIGHLIGHT), 4));

    m_combo.SetFocus();
    ASSERT_EQ(::GetFocus(), m_combo.m_hWnd);
    auto focused = Capture(m_combo);
    for (POINT p : frame)
        EXPECT_EQ(focused->Pixel(p.x, p.y), CMyComboBox::BORDER_FOCUS_COLOR) << p.x << "," << p.y;
    EXPECT_TRUE(Near(focused->Pixel(inText.x, inText.y), ::GetSysColor(COLOR_HIGHLIGHT), 4));
}

TEST_F(ComboTest, DisabledInsideIsFilledGrey)
{
    m_combo.EnableWindow(FALSE);
    auto canvas = Capture(m_combo);
    EXPECT_EQ(canvas->Pixel(3, h / 2 - 6), CMyComboBox::DISABLED_FILL_COLOR);
    EXPECT_EQ(canvas->Pixel(w - h - 1, 3), CMyComboBox::DISABLED_FILL_COLOR);
}

TEST_F(ComboTest, MouseMoveAndLeaveSwitchHover)
{
    EXPECT_FALSE(m_combo.IsHover());
    m_combo.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_TRUE(m_combo.IsHover());
    EXPECT_EQ(m_combo.GetThumbState(), CMyComboBox::THUMB_HOVER);
    m_combo.SendMessage(WM_MOUSELEAVE);
    EXPECT_FALSE(m_combo.IsHover());
    EXPECT_EQ(m_combo.GetThumbState(), CMyComboBox::THUMB_NORMAL);
}

TEST_F(ComboTest, FocusAndCloseUpNotificationsSetAndClearHoverAndStillReachTheParent)
{
    ::SetFocus(Item(IDC_WIDGET_EDIT));
    m_dialog.m_notes.clear();
    m_combo.SetFocus();
    EXPECT_TRUE(m_combo.IsHover());
    EXPECT_EQ(m_dialog.CountNotes(IDC_WIDGET_COMBO, CBN_SETFOCUS), 1);

    m_combo.ShowDropDown(TRUE);
    EXPECT_EQ(m_combo.GetThumbState(), CMyComboBox::THUMB_DOWN);
    m_combo.ShowDropDown(FALSE);
    Pump();
    EXPECT_EQ(m_dialog.CountNotes(IDC_WIDGET_COMBO, CBN_CLOSEUP), 1);
    EXPECT_FALSE(m_combo.IsHover());

    // The same through a notification sent as the platform sends it.
    m_combo.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    ASSERT_TRUE(m_combo.IsHover());
    m_dialog.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_WIDGET_COMBO, CBN_CLOSEUP),
                         reinterpret_cast<LPARAM>(m_combo.m_hWnd));
    EXPECT_FALSE(m_combo.IsHover());
}

TEST(ComboDefaults, NewBoxesTakeTheProcessWideThumbDefaults)
{
    CMyComboBox before;
    EXPECT_EQ(before.GetThumbImage(CMyComboBox::THUMB_NORMAL), L"cmbDefThumb-normal.bmp");
    EXPECT_EQ(before.GetThumbImage(CMyComboBox::THUMB_HOVER), L"cmbDefThumb-hover.bmp");
    EXPECT_EQ(before.GetThumbImage(CMyComboBox::THUMB_DOWN), L"cmbDefThumb-down.bmp");
    EXPECT_EQ(before.GetThumbId(CMyComboBox::THUMB_NORMAL), -1);

    CMyComboBox::SetDefaultThumbImages(L"a.bmp", nullptr, L"c.bmp");
    CMyComboBox::SetDefaultThumbIds(7, -1, -1);
    CMyComboBox after;
    EXPECT_EQ(after.GetThumbImage(CMyComboBox::THUMB_NORMAL), L"a.bmp");
    EXPECT_EQ(after.GetThumbImage(CMyComboBox::THUMB_HOVER), L"cmbDefThumb-hover.bmp");
    EXPECT_EQ(after.GetThumbImage(CMyComboBox::THUMB_DOWN), L"c.bmp");
    EXPECT_EQ(after.GetThumbId(CMyComboBox::THUMB_NORMAL), 7);
    // A box keeps what it was made with.
    EXPECT_EQ(before.GetThumbImage(CMyComboBox::THUMB_NORMAL), L"cmbDefThumb-normal.bmp");

    CMyComboBox::SetDefaultThumbImages(L"cmbDefThumb-normal.bmp", nullptr, L"cmbDefThumb-down.bmp");
    CMyComboBox::SetDefaultThumbIds(-1, -1, -1);
}

} // namespace
