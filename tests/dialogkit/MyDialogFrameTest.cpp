// CMyDialog frame side: background and drawn items painted into a bitmap and read back by pixel,
// the inherited child background, on-top through the registered check box, ShowDialog centring,
// the layout operations and their recorded places, anchors, and GDI counts across paints.

#include "MyDialogTestSupport.h"

#include "platform/CGdiCount.h"

#include <cstdlib>
#include <string>

namespace {

// A 32-bit bitmap of the dialog's client size with the dialog painted into it.
class CClientShot {
  public:
    explicit CClientShot(CMyDialog& dlg)
    {
        RECT rc{};
        ::GetClientRect(dlg.m_hWnd, &rc);
        m_cx = rc.right;
        m_cy = rc.bottom;
        HDC hScreen = ::GetDC(nullptr);
        m_hDC = ::CreateCompatibleDC(hScreen);
        m_hBmp = ::CreateCompatibleBitmap(hScreen, m_cx, m_cy);
        ::ReleaseDC(nullptr, hScreen);
        m_hOld = ::SelectObject(m_hDC, m_hBmp);
        dlg.PaintClient(m_hDC);
    }
    ~CClientShot()
    {
        ::SelectObject(m_hDC, m_hOld);
        ::DeleteObject(m_hBmp);
        ::DeleteDC(m_hDC);
    }
    COLORREF At(int x, int y) const { return ::GetPixel(m_hDC, x, y); }
    int Width() const { return m_cx; }
    int Height() const { return m_cy; }
    int CountOf(COLORREF clr, RECT area) const
    {
        int n = 0;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                n += At(x, y) == clr;
        return n;
    }

  private:
    int m_cx = 0;
    int m_cy = 0;
    HDC m_hDC = nullptr;
    HBITMAP m_hBmp = nullptr;
    HGDIOBJ m_hOld = nullptr;
};

bool Near(COLORREF a, COLORREF b, int tolerance)
{
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

constexpr COLORREF RED = RGB(255, 0, 0);
constexpr COLORREF BLUE = RGB(0, 0, 255);
constexpr COLORREF GREEN = RGB(0, 160, 0);

} // namespace

class CDialogFrameTest : public CDialogTest {};

TEST_F(CDialogFrameTest, BackgroundSolidGradientAndRejectedCounts)
{
    CTestDialog dlg(IDD_MYDLG_PLAIN);
    ASSERT_TRUE(dlg.CreateModeless(nullptr));
    {
        CClientShot shot(dlg);
        EXPECT_EQ(shot.At(shot.Width() - 3, shot.Height() - 3), CMyDialog::DEFAULT_BACK_COLOR);
    }
    dlg.SetBackgroundColor(RED);
    // A count of 1 (and above 100) leaves the solid colour in force.
    const COLORREF one[] = {BLUE};
    EXPECT_FALSE(dlg.SetBackgroundGradient(one, 1, 1));
    const COLORREF many[101] = {};
    EXPECT_FALSE(dlg.SetBackgroundGradient(many, 101, 1));
    {
        CClientShot shot(dlg);
        EXPECT_EQ(shot.At(shot.Width() - 3, shot.Height() - 3), RED);
        EXPECT_EQ(shot.At(shot.Width() - 3, 2), RED);
    }
    // Top to bottom from red to blue: the top row is red, the bottom blue, the middle mixed.
    const COLORREF two[] = {RED, BLUE};
    ASSERT_TRUE(dlg.SetBackgroundGradient(two, 2, 1));
    {
        CClientShot shot(dlg);
        int x = shot.Width() - 3;
        EXPECT_TRUE(Near(shot.At(x, 0), RED, 12)) << std::hex << shot.At(x, 0);
        EXPECT_TRUE(Near(shot.At(x, shot.Height() - 1), BLUE, 12)) << std::hex << shot.At(x, shot.Height() - 1);
        COLORREF mid = shot.At(x, shot.Height() / 2);
        EXPECT_GT(GetRValue(mid), 60);
        EXPECT_GT(GetBValue(mid), 60);
    }
    ASSERT_TRUE(dlg.SetBackgroundGradient(two, 2, 0));
    {
        CClientShot shot(dlg);
        EXPECT_TRUE(Near(shot.At(0, shot.Height() - 3), RED, 12));
        EXPECT_TRUE(Near(shot.At(shot.Width() - 1, shot.Height() - 3), BLUE, 12));
    }
    // The last paint is kept as the cached background.
    EXPECT_NE(dlg.GetCachedBackground(), nullptr);
}

TEST_F(CDialogFrameTest, DrawnRectanglesLinesAndTexts)
{
    CTestDialog dlg(IDD_MYDLG_PLAIN);
    ASSERT_TRUE(dlg.CreateModeless(nullptr));
    dlg.SetBackgroundColor(RGB(255, 255, 255));
    // Width -1 at x 10 reaches to one pixel before the right edge.
    dlg.AddDrawnRect(10, 2, -1, 6, 0, 1, 1, 0, {GREEN});
    dlg.AddDrawnRect(10, 12, 20, 10, 2, 1, 1, BLUE, {RED});
    dlg.AddDrawnLine(0, 30, -1, 30, 1, PS_SOLID, BLUE);
    dlg.AddDrawnText(-1, -1, L"WWWW", RED, static_cast<COLORREF>(-1));
    CClientShot shot(dlg);
    int w = shot.Width();
    int h = shot.Height();
    EXPECT_EQ(shot.At(9, 4), RGB(255, 255, 255));
    EXPECT_EQ(shot.At(10, 4), GREEN);
    EXPECT_EQ(shot.At(w - 2, 4), GREEN);
    EXPECT_EQ(shot.At(w - 1, 4), RGB(255, 255, 255));
    // Second rectangle: border in blue, inside red.
    EXPECT_EQ(shot.At(10, 16), BLUE);
    EXPECT_EQ(shot.At(20, 17), RED);
    // The line runs to the right edge.
    EXPECT_EQ(shot.At(1, 30), BLUE);
    EXPECT_EQ(shot.At(w - 2, 30), BLUE);
    // The centred text: red pixels around the middle, none in the left quarter of that row band.
    RECT middle{w / 3, h / 2 - 8, w * 2 / 3, h / 2 + 8};
    EXPECT_GT(shot.CountOf(RED, middle), 10);
    EXPECT_EQ(shot.CountOf(RED, RECT{0, h / 2 - 8, w / 6, h / 2 + 8}), 0);
}

TEST_F(CDialogFrameTest, ChildShowsParentBackgroundUntilItsOwnColourIsSet)
{
    CTestDialog parent(IDD_MYDLG_TEST);
    ASSERT_TRUE(parent.CreateModeless(nullptr));
    parent.SetBackgroundColor(RED);
    { CClientShot parentShot(parent); }
    CMyDialog* child = parent.EmbedChildDialog(IDD_MYDLG_CHILD, TRUE);
    ASSERT_NE(child, nullptr);
    {
        CClientShot shot(*child);
        EXPECT_EQ(shot.At(shot.Width() - 2, shot.Height() - 2), RED);
    }
    child->SetBackgroundColor(BLUE);
    CClientShot shot(*child);
    EXPECT_EQ(shot.At(shot.Width() - 2, shot.Height() - 2), BLUE);
}

TEST_F(CDialogFrameTest, OnTopFollowsTheRegisteredCheckBox)
{
    CTestDialog dlg(IDD_MYDLG_TEST);
    dlg.SetControlSkinMask(0);
    ASSERT_TRUE(dlg.CreateModeless(nullptr));
    dlg.ShowDialog(1);
    auto topmost = [&dlg] { return (::GetWindowLongW(dlg.m_hWnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; };
    HWND hBox = ::GetDlgItem(dlg.m_hWnd, IDC_MYDLG_CHECK);
    ASSERT_NE(hBox, nullptr);
    ::SendMessageW(hBox, BM_SETCHECK, BST_CHECKED, 0);
    ASSERT_FALSE(topmost());
    // Registering posts the box's command once: the window follows the box's state.
    dlg.RegisterStateCheckBoxes(-1, IDC_MYDLG_CHECK);
    EXPECT_TRUE(PumpUntil(topmost, 2000));
    // A click that clears the box takes the window back among the others.
    ::SendMessageW(hBox, BM_CLICK, 0, 0);
    Pump();
    EXPECT_EQ(::SendMessageW(hBox, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_FALSE(topmost());
    // The window command toggles a flag of its own.
    dlg.ToggleOnTop();
    EXPECT_TRUE(dlg.IsOnTop());
    EXPECT_TRUE(topmost());
    dlg.ToggleOnTop();
    EXPECT_FALSE(dlg.IsOnTop());
    EXPECT_FALSE(topmost());
    // An id that names no control posts nothing and changes nothing.
    dlg.RegisterStateCheckBoxes(-1, 4999);
    PumpFor(50);
    EXPECT_FALSE(topmost());
}

TEST_F(CDialogFrameTest, ShowDialogCentresOverTheOwnerAndHides)
{
    CTestDialog owner(IDD_MYDLG_TEST);
    ASSERT_TRUE(owner.CreateModeless(nullptr));
    ::SetWindowPos(owner.m_hWnd, nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    owner.ShowDialog(1);
    CTestDialog dlg(IDD_MYDLG_PLAIN);
    ASSERT_TRUE(dlg.CreateModeless(&owner));
    dlg.ShowDialog(2);
    Pump();
    EXPECT_TRUE(::IsWindowVisible(dlg.m_hWnd));
    RECT ro{}, rd{};
    ::GetWindowRect(owner.m_hWnd, &ro);
    ::GetWindowRect(dlg.m_hWnd, &rd);
    EXPECT_NEAR((ro.left + ro.right) / 2, (rd.left + rd.right) / 2, 1);
    EXPECT_NEAR((ro.top + ro.bottom) / 2, (rd.top + rd.bottom) / 2, 1);
    dlg.ShowDialog(0);
    EXPECT_FALSE(::IsWindowVisible(dlg.m_hWnd));
    // A minimised window is restored before it is centred.
    dlg.ShowDialog(1);
    ::ShowWindow(dlg.m_hWnd, SW_MINIMIZE);
    dlg.ShowDialog(2);
    Pump();
    EXPECT_FALSE(::IsIconic(dlg.m_hWnd));
    ::GetWindowRect(dlg.m_hWnd, &rd);
    EXPECT_NEAR((ro.left + ro.right) / 2, (rd.left + rd.right) / 2, 1);
}

TEST_F(CDialogFrameTest, LayoutOperationsMoveSizeAndRecordThePlace)
{
    CTestDialog dlg(IDD_MYDLG_PLAIN);
    ASSERT_TRUE(dlg.CreateModeless(nullptr));
    HWND hEdit = ::GetDlgItem(dlg.m_hWnd, IDC_MYDLG_EDIT);
    RECT client{};
    ::GetClientRect(dlg.m_hWnd, &client);
    const RECT start = PlaceOf(hEdit);
    const int w = start.right - start.left;
    const int h = start.bottom - start.top;

    // ResizeItem with width 0 keeps the width.
    dlg.ResizeItem(IDC_MYDLG_EDIT, 0, 30);
    RECT r = PlaceOf(hEdit);
    EXPECT_EQ(r.right - r.left, w);
    EXPECT_EQ(r.bottom - r.top, 30);
    dlg.ResizeItem(IDC_MYDLG_EDIT, w, h);

    // Absolute -2, -1 centres horizontally and keeps the top.
    dlg.MoveItem(IDC_MYDLG_EDIT, -2, -1, TRUE);
    r = PlaceOf(hEdit);
    EXPECT_EQ(r.left, (client.right - w) / 2);
    EXPECT_EQ(r.top, start.top);
    EXPECT_EQ(r.right - r.left, w);
    // Relative: positive offsets are added, others leave the coordinate.
    dlg.MoveItem(IDC_MYDLG_EDIT, 5, -3, FALSE);
    RECT moved = PlaceOf(hEdit);
    EXPECT_EQ(moved.left, r.left + 5);
    EXPECT_EQ(moved.top, r.top);
    // The move is recorded for the current language.
    wchar_t key[32];
    swprintf(key, 32, L"ItemPos-%d-%d", IDC_MYDLG_EDIT, dlg.GetLangId());
    wchar_t expected[64];
    swprintf(expected, 64, L"%d,%d,%d,%d", static_cast<int>(moved.left), static_cast<int>(moved.top), w, h);
    EXPECT_EQ(ReadLang(dlg.GetLangSection().c_str(), key), expected);

    struct AlignCase {
        int edge;
        LONG RECT::*side;
        int expected;
    };
    const AlignCase cases[] = {
        {0, &RECT::top, 4},
        {1, &RECT::bottom, client.bottom - 4},
        {2, &RECT::left, 4},
        {3, &RECT::right, client.right - 4},
    };
    for (const auto& c : cases) {
        dlg.AlignItem(IDC_MYDLG_EDIT, 4, c.edge);
        RECT a = PlaceOf(hEdit);
        EXPECT_EQ(a.*(c.side), c.expected) << "edge " << c.edge;
        EXPECT_EQ(a.right - a.left, w) << "edge " << c.edge;
    }
    // An id that names no control changes nothing.
    RECT before = PlaceOf(hEdit);
    dlg.MoveItem(4999, 1, 1, TRUE);
    dlg.ResizeItem(4999, 10, 10);
    dlg.AlignItem(4999, 1, 0);
    RECT after = PlaceOf(hEdit);
    EXPECT_TRUE(::EqualRect(&before, &after));
}

TEST_F(CDialogFrameTest, AnchorsFollowEveryResize)
{
    CTestDialog dlg(IDD_MYDLG_PLAIN);
    ASSERT_TRUE(dlg.CreateModeless(nullptr));
    HWND hEdit = ::GetDlgItem(dlg.m_hWnd, IDC_MYDLG_EDIT);
    const RECT start = PlaceOf(hEdit);
    dlg.AddAnchor(hEdit, 20, 10, -1, -1);
    for (int width : {400, 300, 500}) {
        ::SetWindowPos(dlg.m_hWnd, nullptr, 0, 0, width, 200, SWP_NOMOVE | SWP_NOZORDER);
        RECT client{};
        ::GetClientRect(dlg.m_hWnd, &client);
        RECT r = PlaceOf(hEdit);
        EXPECT_EQ(r.left, 20) << width;
        EXPECT_EQ(r.right - r.left, client.right - 30) << width;
        EXPECT_EQ(r.top, start.top) << width;
        EXPECT_EQ(r.bottom - r.top, start.bottom - start.top) << width;
    }
}

TEST_F(CDialogFrameTest, RepeatedPaintsReturnGdiCountsToStart)
{
    CTestDialog dlg(IDD_MYDLG_TEST);
    ASSERT_TRUE(dlg.CreateModeless(nullptr));
    const COLORREF two[] = {RED, BLUE};
    dlg.SetBackgroundGradient(two, 2, 1);
    dlg.AddDrawnRect(4, 4, 40, 20, 1, 1, 2, BLUE, {RED, GREEN});
    dlg.AddDrawnText(4, 40, L"text", RED, BLUE);
    dlg.ShowDialog(1);
    { CClientShot warmUp(dlg); }
    ::RedrawWindow(dlg.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Pump();
    const long objects = CGdiCount::LiveObjects();
    const long dcs = CGdiCount::LiveDCs();
    for (int i = 0; i < 20; ++i) {
        CClientShot shot(dlg);
        ::RedrawWindow(dlg.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
    Pump();
    EXPECT_EQ(CGdiCount::LiveObjects(), objects);
    EXPECT_EQ(CGdiCount::LiveDCs(), dcs);
}
