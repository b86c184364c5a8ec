// The main window and the group dialog at the display's scale, read back from the real windows:
// rows, columns and the camera picture grow with the dots per inch, no cell of the default fleet
// is cut at the default column widths. CTest runs this program at 96, 144 and 192 dpi
// (scripts/with-dpi.sh sets Wine's LogPixels for one run); LV_TEST_DPI says which one it expects.
#include "AppTestSupport.h"

#include "app/GroupSetDlg.h"
#include "app/MainDlg.h"
#include "app/resource.h"
#include "platform/DpiScale.h"
#include "tests/support/CamSimClient.h"
#include "tests/support/LabGuard.h"
#include "tests/support/PixelCanvas.h"
#include "tests/support/WindowShot.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <cstdlib>
#include <string>
#include <vector>

using namespace apptest;

namespace {

// Widths at 96 dpi of the main list's fixed columns and of the group list's columns.
const int kMainWidths[] = {140, 115, 120, 100, 60, 130};
const int kGroupWidths[] = {140, 100, 100, 130, 120};
constexpr int kMainRowHeight = 22;
constexpr int kCameraPicture = 20;
// The list draws a cell's text 4 pixels right of the cell's left edge (and of the picture).
constexpr int kTextMargin = 4;

int ExpectedDpi()
{
    const char* text = std::getenv("LV_TEST_DPI");
    return text ? std::atoi(text) : DPI_DEFAULT;
}

int ColumnWidth(HWND hList, int nCol)
{
    return static_cast<int>(::SendMessageW(hList, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(nCol), 0));
}

int RowHeight(HWND hList)
{
    RECT rc{LVIR_BOUNDS};
    if (!::SendMessageW(hList, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&rc)))
        return -1;
    return rc.bottom - rc.top;
}

// The pixel height and the text widths of the list's own font.
struct FontMeasure {
    explicit FontMeasure(HWND hList) : m_hList(hList), m_hdc(::GetDC(hList))
    {
        m_hOld = ::SelectObject(m_hdc, reinterpret_cast<HFONT>(::SendMessageW(hList, WM_GETFONT, 0, 0)));
    }
    ~FontMeasure()
    {
        ::SelectObject(m_hdc, m_hOld);
        ::ReleaseDC(m_hList, m_hdc);
    }
    int Height() const
    {
        TEXTMETRICW tm{};
        ::GetTextMetricsW(m_hdc, &tm);
        return tm.tmHeight;
    }
    int Width(const std::wstring& text) const
    {
        SIZE size{};
        ::GetTextExtentPoint32W(m_hdc, text.c_str(), static_cast<int>(text.size()), &size);
        return size.cx;
    }
    HWND m_hList;
    HDC m_hdc;
    HGDIOBJ m_hOld;
};

// The longest horizontal run of dark pixels in the first row's check box square, as the list paints
// it: the box's top and bottom edges.
int DrawnCheckBoxWidth(HWND hList)
{
    RECT client{}, row{LVIR_BOUNDS};
    ::GetClientRect(hList, &client);
    if (!::SendMessageW(hList, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row)))
        return -1;
    lvtest::CPixelCanvas canvas(client.right, client.bottom);
    ::SendMessageW(hList, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.DC()), PRF_CLIENT);
    ::GdiFlush();
    const int h = row.bottom - row.top;
    int longest = 0;
    for (int y = row.top; y < row.bottom; ++y) {
        int run = 0;
        for (int x = row.left; x < row.left + h + 2; ++x) {
            const COLORREF c = canvas.Pixel(x, y);
            run = GetRValue(c) + GetGValue(c) + GetBValue(c) < 300 ? run + 1 : 0;
            longest = run > longest ? run : longest;
        }
    }
    return longest;
}

// The window lies in the work area, and each of its controls lies inside its client area.
void ExpectFitsTheWorkArea(HWND hWnd)
{
    RECT work{}, window{}, client{};
    ASSERT_TRUE(::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    ::GetWindowRect(hWnd, &window);
    EXPECT_TRUE(window.left >= work.left && window.top >= work.top && window.right <= work.right &&
                window.bottom <= work.bottom)
        << "window " << window.left << "," << window.top << "-" << window.right << "," << window.bottom
        << " work area " << work.left << "," << work.top << "-" << work.right << "," << work.bottom;
    ::GetClientRect(hWnd, &client);
    for (HWND hChild = ::GetWindow(hWnd, GW_CHILD); hChild; hChild = ::GetWindow(hChild, GW_HWNDNEXT)) {
        if (!::IsWindowVisible(hChild))
            continue;
        RECT rc{};
        ::GetWindowRect(hChild, &rc);
        ::MapWindowPoints(nullptr, hWnd, reinterpret_cast<POINT*>(&rc), 2);
        EXPECT_TRUE(rc.left >= 0 && rc.top >= 0 && rc.right <= client.right && rc.bottom <= client.bottom)
            << "control " << ::GetDlgCtrlID(hChild) << " at " << rc.left << "," << rc.top << "-" << rc.right
            << "," << rc.bottom;
    }
}

class ScaledLayoutTest : public testing::Test {
  protected:
    static void SetUpTestSuite()
    {
        RequireLabNetwork();
        RemoveLanguageFiles();
        CMyDialog::SetGlobalLanguage(1);
        ASSERT_TRUE(s_sim.Connect());
        ASSERT_EQ(s_sim.Command("reset"), "ok 12");
        s_dlg = new CMainDlg();
        ASSERT_TRUE(s_dlg->CreateModeless(nullptr));
        s_dlg->ShowWindow(SW_SHOW);
        ASSERT_TRUE(PumpUntil([] { return RowCount(List()) == 12; }, 8000)) << "rows: " << RowCount(List());
        PumpFor(200);
    }

    static void TearDownTestSuite()
    {
        if (s_dlg) {
            s_dlg->DestroyWindow();
            delete s_dlg;
            s_dlg = nullptr;
        }
        RemoveLanguageFiles();
        CMyDialog::SetGlobalLanguage(0);
    }

    void SetUp() override { ASSERT_NE(s_dlg, nullptr); }

    static HWND Dlg() { return s_dlg->GetSafeHwnd(); }
    static HWND List() { return ::GetDlgItem(Dlg(), IDC_MAIN_LIST); }

    // The group dialog opened from the main window with the listed fleet.
    static HWND GroupList()
    {
        s_dlg->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_MAIN_GROUP, BN_CLICKED), 0);
        PumpFor(100);
        return ::GetDlgItem(s_dlg->GetGroupSetDlg()->GetSafeHwnd(), IDC_GRP_LIST);
    }

    // Every cell of every row: its text with the margins fits its column's width.
    static void ExpectNoCellCut(HWND hList, int nColumns, int nPictureWidth)
    {
        const FontMeasure font(hList);
        ASSERT_GT(RowCount(hList), 0);
        for (int row = 0; row < RowCount(hList); ++row) {
            const auto texts = RowTexts(hList, row, nColumns);
            for (int col = 0; col < nColumns; ++col) {
                const std::wstring& text = texts[static_cast<size_t>(col)];
                const int needed = font.Width(text) + kTextMargin + (col == 0 ? nPictureWidth : 0);
                EXPECT_LE(needed, ColumnWidth(hList, col))
                    << "row " << row << " column " << col << " " << text;
            }
        }
    }

    static CCamSimClient s_sim;
    static CMainDlg* s_dlg;
};

CCamSimClient ScaledLayoutTest::s_sim;
CMainDlg* ScaledLayoutTest::s_dlg = nullptr;

TEST_F(ScaledLayoutTest, TheWindowsRunAtTheScaleOfTheRun)
{
    EXPECT_EQ(DpiForWindow(Dlg()), ExpectedDpi());
    EXPECT_EQ(DpiForWindow(nullptr), ExpectedDpi());
}

TEST_F(ScaledLayoutTest, MainListRowsColumnsAndPictureGrowWithTheScale)
{
    const int dpi = DpiForWindow(Dlg());
    const int rowHeight = RowHeight(List());
    EXPECT_EQ(rowHeight, ScaleForDpi(kMainRowHeight, dpi));
    // Rows of text never touch: a row holds the font's full height and a pixel above and below.
    EXPECT_GE(rowHeight, FontMeasure(List()).Height() + 2);
    for (int col = 0; col < static_cast<int>(std::size(kMainWidths)); ++col)
        EXPECT_EQ(ColumnWidth(List(), col), ScaleForDpi(kMainWidths[col], dpi)) << "column " << col;

    HIMAGELIST hImages =
        reinterpret_cast<HIMAGELIST>(::SendMessageW(List(), LVM_GETIMAGELIST, LVSIL_SMALL, 0));
    ASSERT_NE(hImages, nullptr);
    int cx = 0, cy = 0;
    ASSERT_TRUE(ImageList_GetIconSize(hImages, &cx, &cy));
    EXPECT_EQ(cx, ScaleForDpi(kCameraPicture, dpi));
    EXPECT_EQ(cy, ScaleForDpi(kCameraPicture, dpi));
    EXPECT_EQ(ImageList_GetImageCount(hImages), 16);
}

// A move to a display of another scale, as the system reports it: the window takes the suggested
// rectangle and the list's rows and columns follow the new dpi; moving back restores them.
TEST_F(ScaledLayoutTest, MovingToAnotherScaleRelaysOutAtTheSuggestedRectangle)
{
    const int dpi = DpiForWindow(Dlg());
    RECT before{};
    ::GetWindowRect(Dlg(), &before);
    const int widthBefore = ColumnWidth(List(), 0);
    for (const int target : {dpi + 48, dpi}) {
        SCOPED_TRACE(target);
        const RECT suggested{before.left + 10, before.top + 5,
                             before.left + 10 + ::MulDiv(before.right - before.left, target, dpi),
                             before.top + 5 + ::MulDiv(before.bottom - before.top, target, dpi)};
        s_dlg->SendMessage(WM_DPICHANGED, MAKEWPARAM(target, target), reinterpret_cast<LPARAM>(&suggested));
        Pump();
        RECT now{};
        ::GetWindowRect(Dlg(), &now);
        EXPECT_EQ(now.left, suggested.left);
        EXPECT_EQ(now.top, suggested.top);
        EXPECT_EQ(now.right, suggested.right);
        EXPECT_EQ(now.bottom, suggested.bottom);
        EXPECT_EQ(RowHeight(List()), ScaleForDpi(kMainRowHeight, target));
        // Rescaled from the width at the former dpi: within a pixel of the width given at 96 dpi.
        for (int col = 0; col < static_cast<int>(std::size(kMainWidths)); ++col)
            EXPECT_NEAR(ColumnWidth(List(), col), ScaleForDpi(kMainWidths[col], target), 1)
                << "column " << col;
    }
    EXPECT_EQ(ColumnWidth(List(), 0), widthBefore);
    // The other tests read the widths given at start.
    for (int col = 0; col < static_cast<int>(std::size(kMainWidths)); ++col)
        ::SendMessageW(List(), LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(col),
                       ScaleForDpi(kMainWidths[col], dpi));
    ::SetWindowPos(Dlg(), nullptr, before.left, before.top, before.right - before.left,
                   before.bottom - before.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

// At a whole multiple of 96 dpi the camera picture is the bitmap's pixels repeated, not a blur.
TEST_F(ScaledLayoutTest, TheCameraPictureIsCrispAtWholeScales)
{
    const int dpi = DpiForWindow(Dlg());
    if (dpi % DPI_DEFAULT != 0)
        GTEST_SKIP() << "a scale between whole multiples averages pixels";
    const int factor = dpi / DPI_DEFAULT;
    HIMAGELIST hImages =
        reinterpret_cast<HIMAGELIST>(::SendMessageW(List(), LVM_GETIMAGELIST, LVSIL_SMALL, 0));
    const int size = kCameraPicture * factor;
    // Drawn over white, as the picture's white (its transparent colour) is.
    lvtest::CPixelCanvas shown(size, size, RGB(255, 255, 255));
    ASSERT_TRUE(ImageList_Draw(hImages, 1, shown.DC(), 0, 0, ILD_NORMAL));
    ::GdiFlush();
    HBITMAP hSource = static_cast<HBITMAP>(::LoadImageW(
        ::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_CAMERA_IMAGES), IMAGE_BITMAP, 0, 0, 0));
    ASSERT_NE(hSource, nullptr);
    HDC hBitmap = ::CreateCompatibleDC(nullptr);
    HGDIOBJ hOld = ::SelectObject(hBitmap, hSource);
    int differing = 0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            differing += shown.Pixel(x, y) != ::GetPixel(hBitmap, kCameraPicture + x / factor, y / factor);
    ::SelectObject(hBitmap, hOld);
    ::DeleteDC(hBitmap);
    ::DeleteObject(hSource);
    EXPECT_EQ(differing, 0);
}

TEST_F(ScaledLayoutTest, NoCellOfTheDefaultFleetIsCutInTheMainList)
{
    int cx = 0, cy = 0;
    ImageList_GetIconSize(
        reinterpret_cast<HIMAGELIST>(::SendMessageW(List(), LVM_GETIMAGELIST, LVSIL_SMALL, 0)), &cx, &cy);
    ExpectNoCellCut(List(), CMainDlg::COLUMN_COUNT, cx);
}

TEST_F(ScaledLayoutTest, GroupListColumnsGrowAndHoldTheFleet)
{
    const HWND hGroup = GroupList();
    ASSERT_NE(hGroup, nullptr);
    const int dpi = DpiForWindow(hGroup);
    EXPECT_EQ(dpi, ExpectedDpi());
    for (int col = 0; col < static_cast<int>(std::size(kGroupWidths)); ++col)
        EXPECT_EQ(ColumnWidth(hGroup, col), ScaleForDpi(kGroupWidths[col], dpi)) << "column " << col;
    // The platform's rows follow the font, which grows with the scale.
    EXPECT_GE(RowHeight(hGroup), FontMeasure(hGroup).Height());
    // The drawn box is 12 pixels and its left edge wide at 96 dpi.
    EXPECT_EQ(DrawnCheckBoxWidth(hGroup), ScaleForDpi(12, dpi) + 1);
    // Column 0 starts with the check box, drawn one row height wide.
    ExpectNoCellCut(hGroup, static_cast<int>(std::size(kGroupWidths)), RowHeight(hGroup));
    s_dlg->GetGroupSetDlg()->ShowWindow(SW_HIDE);
}

TEST_F(ScaledLayoutTest, BothWindowsFitTheWorkArea)
{
    ExpectFitsTheWorkArea(Dlg());
    const HWND hGroup = GroupList();
    ASSERT_NE(hGroup, nullptr);
    ExpectFitsTheWorkArea(::GetParent(hGroup));
    s_dlg->GetGroupSetDlg()->ShowWindow(SW_HIDE);
}

// Screenshots for people to look at (build/artifacts/larkvane-<scale>.png and
// larkvane-group-<scale>.png), from the runs that name a scale.
TEST_F(ScaledLayoutTest, ScreenshotsOfBothWindows)
{
    const char* suffix = std::getenv("LV_TEST_SHOT");
    if (!suffix)
        GTEST_SKIP() << "this run takes no screenshots";
    const std::string dir = LV_ARTIFACTS_DIR;
    ::SetForegroundWindow(Dlg());
    PumpFor(300);
    EXPECT_TRUE(lvtest::SaveWindowPng(Dlg(), DosPathOfUnixPath(dir + "/larkvane-" + suffix + ".png")));
    const HWND hGroup = GroupList();
    ASSERT_NE(hGroup, nullptr);
    PumpFor(300);
    EXPECT_TRUE(lvtest::SaveWindowPng(::GetParent(hGroup),
                                      DosPathOfUnixPath(dir + "/larkvane-group-" + suffix + ".png")));
    s_dlg->GetGroupSetDlg()->ShowWindow(SW_HIDE);
}

} // namespace
