// CMyDialog frame side: background and drawn items painted into a bitmap and read back by pixel,
// the inherited child background, on-top through the registered check box, ShowDialog centring,
// the layout operations and their recorded places, and anchors. Leaks across paints are checked
// with the other paint paths in tests/controls/PaintLeakTest.cpp.

#include "MyDialogTestSupport.h"

#include <commctrl.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// A 32-bit bitmap of the dialog's client size with the dialog painted into it, or of a
// control's client size with the control printed into it.
class CClientShot {
  public:
    explicit CClientShot(CMyDialog& dlg) : CClientShot(dlg.m_hWnd) { dlg.PaintClient(m_hDC); }
    static CClientShot Print(HWND hWnd)
    {
        CClientShot shot(hWnd);
        ::SendMessageW(hWnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(shot.m_hDC), PRF_CLIENT);
        return shot;
    }
    CClientShot(CClientShot&& other) noexcept
        : m_cx(other.m_cx), m_cy(other.m_cy), m_hDC(other.m_hDC), m_hBmp(other.m_hBmp), m_hOld(other.m_hOld)
    {
        other.m_hDC = nullptr;
        other.m_hBmp = nullptr;
    }
    HDC DC() const { return m_hDC; }
    ~CClientShot()
    {
        if (!m_hDC)
            return;
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
    explicit CClientShot(HWND hWnd)
    {
        RECT rc{};
        ::GetClientRect(hWnd, &rc);
        m_cx = rc.right;
        m_cy = rc.bottom;
        HDC hScreen = ::GetDC(nullptr);
        m_hDC = ::CreateCompatibleDC(hScreen);
        m_hBmp = ::CreateCompatibleBitmap(hScreen, m_cx, m_cy);
        ::ReleaseDC(nullptr, hScreen);
        m_hOld = ::SelectObject(m_hDC, m_hBmp);
    }

    int m_cx = 0;
    int m_cy = 0;
    HDC m_hDC = nullptr;
    HBITMAP m_hBmp = nullptr;
    HGDIOBJ m_hOld = nullptr;
};

bool Near(COLORREF a, COLORREF b, int tolerance)
{
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance &&
           std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

// A 24-bit bottom-up BMP file of cx x cy pixels, coloured by pixel(x, y).
template <class F> std::wstring WriteBmp(const wchar_t* name, int cx, int cy, F pixel)
{
    wchar_t dir[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, dir);
    std::wstring path = std::wstring(dir) + name;
    const int stride = (cx * 3 + 3) & ~3;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = cx;
    info.biHeight = cy;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biSizeImage = static_cast<DWORD>(stride * cy);
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + info.biSizeImage;
    std::vector<BYTE> bits(info.biSizeImage);
    for (int y = 0; y < cy; ++y)
        for (int x = 0; x < cx; ++x) {
            COLORREF c = pixel(x, y);
            BYTE* p = &bits[static_cast<size_t>((cy - 1 - y) * stride + x * 3)];
            p[0] = GetBValue(c);
            p[1] = GetGValue(c);
            p[2] = GetRValue(c);
        }
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ::WriteFile(h, &file, sizeof file, &written, nullptr);
    ::WriteFile(h, &info, sizeof info, &written, nullptr);
    ::WriteFile(h, bits.data(), info.biSizeImage, &written, nullptr);
    ::CloseHandle(h);
    return path;
}

LOGFONTW FontOf(HWND hWnd)
{
    LOGFONTW lf{};
    HFONT hFont = reinterpret_cast<HFONT>(::SendMessageW(hWnd, WM_GETFONT, 0, 0));
    ::GetObjectW(hFont, sizeof lf, &lf);
    return lf;
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
        EXPECT_TRUE(Near(shot.At(x, shot.Height() - 1), BLUE, 12))
            << std::hex << shot.At(x, shot.Height() - 1);
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
    {
        CClientShot parentShot(parent);
    }
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

    // Mode 3 shows a captioned window maximised; the framework's flag then restores it.
    dlg.ShowDialog(0);
    dlg.ShowDialog(3);
    EXPECT_TRUE(::IsWindowVisible(dlg.m_hWnd));
    EXPECT_TRUE(::IsZoomed(dlg.m_hWnd));
    dlg.ToggleMaximise();
    EXPECT_FALSE(::IsZoomed(dlg.m_hWnd));
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

TEST_F(CDialogFrameTest, BackgroundImageAndDrawnImagesComeFromFiles)
{
    // Left half red, right half blue.
    const std::wstring halves =
        WriteBmp(L"lv-dialog-halves.bmp", 4, 2, [](int x, int) { return x < 2 ? RED : BLUE; });
    CTestDialog dlg(IDD_MYDLG_PLAIN);
    ASSERT_TRUE(dlg.CreateModeless(nullptr));
    ::ShowWindow(dlg.GetDlgItem(IDC_MYDLG_EDIT), SW_HIDE); // no edit frame in the way
    dlg.SetBackgroundColor(RGB(255, 255, 255));

    // The background image is stretched over the client area, in place of the colour.
    dlg.SetBackgroundImage(halves.c_str());
    {
        CClientShot shot(dlg);
        const int w = shot.Width();
        const int h = shot.Height();
        EXPECT_TRUE(Near(shot.At(w / 8, h / 2), RED, 40)) << std::hex << shot.At(w / 8, h / 2);
        EXPECT_TRUE(Near(shot.At(w * 7 / 8, h / 2), BLUE, 40)) << std::hex << shot.At(w * 7 / 8, h / 2);
        EXPECT_TRUE(Near(shot.At(w / 8, h - 2), RED, 40));
    }
    // The dialog's own colour message gives the hollow brush over an image.
    EXPECT_EQ(dlg.SendMessage(WM_CTLCOLORDLG, 0, reinterpret_cast<LPARAM>(dlg.m_hWnd)),
              reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH)));
    // An image that does not load leaves the colour.
    dlg.SetBackgroundImage(L"lv-no-such-image.bmp");
    {
        CClientShot shot(dlg);
        EXPECT_EQ(shot.At(shot.Width() / 8, shot.Height() / 2), RGB(255, 255, 255));
    }
    dlg.SetBackgroundImage(L"");

    dlg.AddDrawnImage(10, 10, 40, 40, 0, halves.c_str());
    dlg.AddDrawnImage(60, 10, 40, 40, 90, halves.c_str());        // turned clockwise: red on top
    dlg.AddDrawnImage(110, 10, 0, 0, 0, halves.c_str());          // its own size
    dlg.AddDrawnImage(0, 60, 30, 10, 0, L"lv-no-such-image.bmp"); // skipped
    CClientShot shot(dlg);
    EXPECT_TRUE(Near(shot.At(15, 30), RED, 40)) << std::hex << shot.At(15, 30);
    // Scaled with smoothing: each source pixel's colour holds around its centre.
    EXPECT_TRUE(Near(shot.At(35, 30), BLUE, 40)) << std::hex << shot.At(35, 30);
    EXPECT_EQ(shot.At(52, 30), RGB(255, 255, 255));
    EXPECT_EQ(shot.At(30, 8), RGB(255, 255, 255));
    EXPECT_TRUE(Near(shot.At(80, 15), RED, 40)) << std::hex << shot.At(80, 15);
    EXPECT_TRUE(Near(shot.At(80, 35), BLUE, 40)) << std::hex << shot.At(80, 35);
    EXPECT_TRUE(Near(shot.At(110, 10), RED, 40)) << std::hex << shot.At(110, 10);
    EXPECT_TRUE(Near(shot.At(113, 11), BLUE, 40)) << std::hex << shot.At(113, 11);
    EXPECT_EQ(shot.At(116, 10), RGB(255, 255, 255));
    EXPECT_EQ(shot.At(5, 65), RGB(255, 255, 255));
    ::DeleteFileW(halves.c_str());
}

TEST_F(CDialogFrameTest, TransparentControlGetsTheBackgroundUnderIt)
{
    CTestDialog dlg(IDD_MYDLG_PLAIN);
    ASSERT_TRUE(dlg.CreateModeless(nullptr));
    const COLORREF two[] = {RED, BLUE};
    ASSERT_TRUE(dlg.SetBackgroundGradient(two, 2, 1));
    HWND hEdit = dlg.GetDlgItem(IDC_MYDLG_EDIT);
    const RECT place = PlaceOf(hEdit);
    const int w = place.right - place.left;
    const int h = place.bottom - place.top;

    // Fills a control-sized bitmap with the brush the dialog answers for the edit.
    auto fillWithEditBrush = [&](CClientShot& target) {
        auto hBrush = reinterpret_cast<HBRUSH>(dlg.SendMessage(
            WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(target.DC()), reinterpret_cast<LPARAM>(hEdit)));
        RECT all{0, 0, w, h};
        ::FillRect(target.DC(), &all, hBrush);
    };
    {
        CClientShot shot(dlg);
        CClientShot edit = CClientShot::Print(hEdit);
        fillWithEditBrush(edit);
        EXPECT_EQ(edit.At(1, 1), CMyDialog::DEFAULT_CONTROL_BACK_COLOR); // an ordinary edit
    }
    dlg.AddTransparentItem(IDC_MYDLG_EDIT);
    dlg.AddTransparentItem(4999); // no such control: ignored
    CClientShot shot(dlg);
    CClientShot edit = CClientShot::Print(hEdit);
    fillWithEditBrush(edit);
    // The gradient runs top to bottom, so matching rows prove the snapshot lines up.
    for (POINT p : {POINT{1, 1}, POINT{w - 2, h - 2}, POINT{w / 2, h / 2}})
        EXPECT_EQ(edit.At(p.x, p.y), shot.At(place.left + p.x, place.top + p.y)) << p.x << "," << p.y;
    EXPECT_NE(edit.At(1, 1), edit.At(1, h - 2));
}

TEST_F(CDialogFrameTest, ItemFontsAreSharedByHeightWeightAndFace)
{
    CTestDialog dlg(IDD_MYDLG_TEST);
    ASSERT_TRUE(dlg.CreateModeless(nullptr));
    auto fontOf = [&dlg](int nID) { return ::SendMessageW(dlg.GetDlgItem(nID), WM_GETFONT, 0, 0); };
    dlg.SetItemFont(IDC_MYDLG_STATIC, -23, FW_BOLD, L"Arial");
    dlg.SetItemFont(IDC_MYDLG_STATIC2, -23, FW_BOLD, L"ARIAL"); // the face without regard to case
    EXPECT_EQ(fontOf(IDC_MYDLG_STATIC), fontOf(IDC_MYDLG_STATIC2));
    const LOGFONTW lf = FontOf(dlg.GetDlgItem(IDC_MYDLG_STATIC));
    EXPECT_EQ(lf.lfHeight, -23);
    EXPECT_EQ(lf.lfWeight, FW_BOLD);
    EXPECT_STREQ(lf.lfFaceName, L"Arial");
    dlg.SetItemFont(IDC_MYDLG_EDIT, -23, FW_NORMAL, L"Arial");
    EXPECT_NE(fontOf(IDC_MYDLG_EDIT), fontOf(IDC_MYDLG_STATIC));

    // Another dialog reuses the font; an empty face matches any face.
    CTestDialog other(IDD_MYDLG_PLAIN);
    ASSERT_TRUE(other.CreateModeless(nullptr));
    other.SetItemFont(IDC_MYDLG_STATIC, -23, FW_BOLD, L"");
    EXPECT_EQ(::SendMessageW(other.GetDlgItem(IDC_MYDLG_STATIC), WM_GETFONT, 0, 0), fontOf(IDC_MYDLG_STATIC));

    // Id -1 (and 10000) gives every child the font.
    dlg.SetItemFont(-1, -17, FW_NORMAL, L"Courier New");
    const LRESULT courier = fontOf(IDC_MYDLG_BUTTON);
    EXPECT_STREQ(FontOf(dlg.GetDlgItem(IDC_MYDLG_BUTTON)).lfFaceName, L"Courier New");
    // Every child has it, except those of a class that keeps no font (as a fresh window of its
    // class given the font shows: Wine's slider keeps none).
    for (HWND h = ::GetWindow(dlg.m_hWnd, GW_CHILD); h; h = ::GetWindow(h, GW_HWNDNEXT)) {
        wchar_t cls[64] = {};
        ::GetClassNameW(h, cls, 64);
        HWND hProbe =
            ::CreateWindowExW(0, cls, L"", WS_CHILD, 0, 0, 20, 20, HWND_MESSAGE, nullptr, nullptr, nullptr);
        ASSERT_NE(hProbe, nullptr) << cls;
        ::SendMessageW(hProbe, WM_SETFONT, static_cast<WPARAM>(courier), FALSE);
        const bool keepsNone = ::SendMessageW(hProbe, WM_GETFONT, 0, 0) == 0;
        ::DestroyWindow(hProbe);
        EXPECT_EQ(::SendMessageW(h, WM_GETFONT, 0, 0), keepsNone ? 0 : courier)
            << ::GetDlgCtrlID(h) << " " << cls;
    }
    for (int nID : {IDC_MYDLG_STATIC, IDC_MYDLG_EDIT, IDC_MYDLG_COMBO, IDC_MYDLG_LIST, IDC_MYDLG_CHECK, IDOK})
        EXPECT_EQ(fontOf(nID), courier) << nID;
    other.SetItemFont(10000, -19, FW_NORMAL, L"Arial");
    EXPECT_EQ(FontOf(other.GetDlgItem(IDC_MYDLG_EDIT)).lfHeight, -19);
}

TEST_F(CDialogFrameTest, DialogFontSizeScalesTheDialogAndItsControls)
{
    CTestDialog dlg(IDD_MYDLG_PLAIN);
    ASSERT_TRUE(dlg.CreateModeless(nullptr));
    ::SetWindowPos(dlg.m_hWnd, nullptr, 30, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    HWND hEdit = dlg.GetDlgItem(IDC_MYDLG_EDIT);
    const LOGFONTW before = FontOf(dlg.m_hWnd);
    ASSERT_NE(before.lfHeight, 0);
    const RECT edit = PlaceOf(hEdit);
    RECT window{};
    ::GetWindowRect(dlg.m_hWnd, &window);

    dlg.SetDialogFontSize(0.0f); // no size: nothing happens
    PumpFor(60);
    EXPECT_EQ(FontOf(hEdit).lfHeight, before.lfHeight);

    dlg.SetDialogFontSize(18.5f);
    ASSERT_TRUE(PumpUntil([&] { return FontOf(hEdit).lfHeight != before.lfHeight; }, 1000));
    const LOGFONTW after = FontOf(hEdit);
    HDC hScreen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(hScreen, LOGPIXELSY);
    ::ReleaseDC(nullptr, hScreen);
    EXPECT_EQ(after.lfHeight, -::MulDiv(185, dpi, 720));
    EXPECT_STREQ(after.lfFaceName, before.lfFaceName);
    EXPECT_EQ(::SendMessageW(hEdit, WM_GETFONT, 0, 0),
              ::SendMessageW(dlg.GetDlgItem(IDC_MYDLG_STATIC), WM_GETFONT, 0, 0));

    const double scale = static_cast<double>(after.lfHeight) / before.lfHeight;
    const RECT scaled = PlaceOf(hEdit);
    EXPECT_EQ(scaled.left, static_cast<int>(edit.left * scale));
    EXPECT_EQ(scaled.top, static_cast<int>(edit.top * scale));
    EXPECT_EQ(scaled.right - scaled.left, static_cast<int>((edit.right - edit.left) * scale));
    EXPECT_EQ(scaled.bottom - scaled.top, static_cast<int>((edit.bottom - edit.top) * scale));
    RECT grown{};
    ::GetWindowRect(dlg.m_hWnd, &grown);
    EXPECT_EQ(grown.left, window.left);
    EXPECT_EQ(grown.top, window.top);
    EXPECT_EQ(grown.right - grown.left, static_cast<int>((window.right - window.left) * scale));
    EXPECT_EQ(grown.bottom - grown.top, static_cast<int>((window.bottom - window.top) * scale));

    // The next size is measured against the font given last, not the template's.
    dlg.SetDialogFontSize(9.0f);
    ASSERT_TRUE(PumpUntil([&] { return FontOf(hEdit).lfHeight != after.lfHeight; }, 1000));
    const double back = static_cast<double>(FontOf(hEdit).lfHeight) / after.lfHeight;
    const RECT shrunk = PlaceOf(hEdit);
    EXPECT_EQ(shrunk.left, static_cast<int>(scaled.left * back));
    EXPECT_EQ(shrunk.right - shrunk.left, static_cast<int>((scaled.right - scaled.left) * back));
}

namespace {

// Records the system commands the frame sends; a move is not run (it would wait for the mouse).
class CFrameMouseDialog : public CTestDialog {
  public:
    using CTestDialog::CTestDialog;
    std::vector<WPARAM> m_sys;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_SYSCOMMAND) {
            m_sys.push_back(wParam);
            if ((wParam & 0xFFF0) == SC_MOVE)
                return 0;
        }
        return CTestDialog::WindowProc(message, wParam, lParam);
    }
};

} // namespace

TEST_F(CDialogFrameTest, CaptionlessPopupIsDraggedByItsTopBandOnly)
{
    CFrameMouseDialog bare(IDD_MYDLG_BARE);
    ASSERT_TRUE(bare.CreateModeless(nullptr));
    RECT client{};
    ::GetClientRect(bare.m_hWnd, &client);
    const int w = client.right;
    struct Case {
        int x, y;
        bool bDrag;
    };
    const Case cases[] = {{10, 10, true},     {5, 0, true},    {w - 6, 24, true}, {4, 10, false},
                          {w - 5, 10, false}, {10, 25, false}, {10, 60, false}};
    for (const Case& c : cases) {
        bare.m_sys.clear();
        bare.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(c.x, c.y));
        const bool bDragged = bare.m_sys.size() == 1 && bare.m_sys[0] == 0xF012;
        EXPECT_EQ(bDragged, c.bDrag) << c.x << "," << c.y;
    }
    // A dialog with a caption of its own is moved by it, not by the band.
    CFrameMouseDialog captioned(IDD_MYDLG_PLAIN);
    ASSERT_TRUE(captioned.CreateModeless(nullptr));
    captioned.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    EXPECT_TRUE(captioned.m_sys.empty());
    // Nor is a maximised one.
    bare.ShowDialog(4);
    bare.m_sys.clear();
    bare.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    EXPECT_TRUE(bare.m_sys.empty());
    RECT full{};
    ::GetWindowRect(bare.m_hWnd, &full);
    EXPECT_EQ(full.right - full.left, ::GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(full.bottom - full.top, ::GetSystemMetrics(SM_CYSCREEN));
}

TEST_F(CDialogFrameTest, DoubleClickInTheTopBandTogglesMaximiseWithAMaximiseBoxOnly)
{
    CFrameMouseDialog bare(IDD_MYDLG_BARE);
    ASSERT_TRUE(bare.CreateModeless(nullptr));
    bare.SendMessage(WM_LBUTTONDBLCLK, 0, MAKELPARAM(20, 30)); // below the band
    EXPECT_TRUE(bare.m_sys.empty());
    bare.SendMessage(WM_LBUTTONDBLCLK, 0, MAKELPARAM(20, 25));
    ASSERT_EQ(bare.m_sys.size(), 1u);
    EXPECT_EQ(bare.m_sys[0], static_cast<WPARAM>(SC_MAXIMIZE));
    EXPECT_TRUE(::IsZoomed(bare.m_hWnd));
    bare.SendMessage(WM_LBUTTONDBLCLK, 0, MAKELPARAM(20, 2));
    ASSERT_EQ(bare.m_sys.size(), 2u);
    EXPECT_EQ(bare.m_sys[1], static_cast<WPARAM>(SC_RESTORE));
    EXPECT_FALSE(::IsZoomed(bare.m_hWnd));

    CFrameMouseDialog boxless(IDD_MYDLG_PLAIN); // no maximise box
    ASSERT_TRUE(boxless.CreateModeless(nullptr));
    boxless.SendMessage(WM_LBUTTONDBLCLK, 0, MAKELPARAM(20, 5));
    EXPECT_TRUE(boxless.m_sys.empty());
    EXPECT_FALSE(::IsZoomed(boxless.m_hWnd));
}

TEST_F(CDialogFrameTest, ItemColoursReachTheSkinnedButton)
{
    CTestDialog dlg(IDD_MYDLG_TEST);
    ASSERT_TRUE(dlg.CreateModeless(nullptr));
    ASSERT_NE(dlg.GetSkinnedButton(IDC_MYDLG_BUTTON), nullptr);
    HWND hButton = dlg.GetDlgItem(IDC_MYDLG_BUTTON);
    RECT inner{};
    ::GetClientRect(hButton, &inner);
    ::InflateRect(&inner, -4, -4);
    const int before = CClientShot::Print(hButton).CountOf(BLUE, inner);
    dlg.SetItemColors(IDC_MYDLG_BUTTON, RED, BLUE);
    CClientShot shot = CClientShot::Print(hButton);
    const int area = (inner.right - inner.left) * (inner.bottom - inner.top);
    EXPECT_EQ(before, 0);
    EXPECT_GT(shot.CountOf(BLUE, inner), area / 2); // the face in the background colour
    EXPECT_GT(shot.CountOf(RED, inner), 0);         // the caption in the text colour
}

TEST_F(CDialogFrameTest, ChildOnTopBoxKeepsTheMainWindowOnTopWhereItIs)
{
    // The parent has skinned buttons, whose tool tips are topmost windows it owns.
    CTestDialog parent(IDD_MYDLG_TEST);
    ASSERT_TRUE(parent.CreateModeless(nullptr));
    ::SetWindowPos(parent.m_hWnd, nullptr, 50, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    RECT before{};
    ::GetWindowRect(parent.m_hWnd, &before);
    CMyDialog* child = parent.EmbedChildDialog(IDD_MYDLG_CHILD_ONTOP, TRUE);
    ASSERT_NE(child, nullptr);
    child->RegisterStateCheckBoxes(-1, IDC_MYDLG_CHILD_ONTOP);
    Pump();
    auto topmost = [&parent] { return (::GetWindowLongW(parent.m_hWnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; };
    EXPECT_FALSE(topmost()); // the box starts clear

    HWND hBox = child->GetDlgItem(IDC_MYDLG_CHILD_ONTOP);
    ::SendMessageW(hBox, BM_CLICK, 0, 0);
    Pump();
    EXPECT_EQ(::SendMessageW(hBox, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(topmost());
    RECT after{};
    ::GetWindowRect(parent.m_hWnd, &after);
    EXPECT_TRUE(::EqualRect(&before, &after));
    ::SendMessageW(hBox, BM_CLICK, 0, 0);
    Pump();
    EXPECT_FALSE(topmost());
}

TEST_F(CDialogFrameTest, BordersFrameListsAndEditsAndTheFocusedEditInItsColour)
{
    CTestDialog dlg(IDD_MYDLG_TEST);
    dlg.SetControlSkinMask(0);
    ASSERT_TRUE(dlg.CreateModeless(nullptr));
    dlg.SetBackgroundColor(RGB(255, 255, 255));
    dlg.ShowDialog(1);
    // The pixel just left of a control, halfway down: where its frame lies.
    auto frameOf = [&dlg](int nID) {
        const RECT place = PlaceOf(dlg.GetDlgItem(nID));
        CClientShot shot(dlg);
        return shot.At(place.left - 1, (place.top + place.bottom) / 2);
    };
    EXPECT_EQ(frameOf(IDC_MYDLG_LIST), CMyDialog::DEFAULT_BORDER_COLOR);
    EXPECT_EQ(frameOf(IDC_MYDLG_LISTBOX), CMyDialog::DEFAULT_BORDER_COLOR);
    EXPECT_EQ(frameOf(IDC_MYDLG_STATIC2), RGB(255, 255, 255));
    ::SetFocus(dlg.GetDlgItem(IDC_MYDLG_BUTTON));
    EXPECT_EQ(frameOf(IDC_MYDLG_EDIT), CMyDialog::DEFAULT_BORDER_COLOR);

    // The focused edit is framed in the focus colour, or in its own override.
    ::SetFocus(dlg.GetDlgItem(IDC_MYDLG_EDIT));
    ASSERT_EQ(::GetFocus(), dlg.GetDlgItem(IDC_MYDLG_EDIT));
    EXPECT_EQ(frameOf(IDC_MYDLG_EDIT), CMyDialog::DEFAULT_FOCUS_BORDER_COLOR);
    EXPECT_EQ(dlg.GetLastClickedId(), IDC_MYDLG_EDIT);
    dlg.SetFocusBorderColor(IDC_MYDLG_EDIT, GREEN);
    EXPECT_EQ(frameOf(IDC_MYDLG_EDIT), GREEN);

    // SetItemBorder takes a control into the bordered ones or out of them.
    dlg.SetItemBorder(IDC_MYDLG_LIST, FALSE);
    EXPECT_EQ(frameOf(IDC_MYDLG_LIST), RGB(255, 255, 255));
    dlg.SetItemBorder(IDC_MYDLG_STATIC2, TRUE);
    EXPECT_EQ(frameOf(IDC_MYDLG_STATIC2), CMyDialog::DEFAULT_BORDER_COLOR);
    dlg.SetItemBorder(4999, TRUE); // no such control
}

namespace {

LRESULT CALLBACK CountPaints(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data)
{
    if (message == WM_PAINT)
        ++*reinterpret_cast<int*>(data);
    return ::DefSubclassProc(hWnd, message, wParam, lParam);
}

} // namespace

TEST_F(CDialogFrameTest, AddingADrawnTextRepaintsTheTransparentControls)
{
    CTestDialog dlg(IDD_MYDLG_PLAIN);
    ASSERT_TRUE(dlg.CreateModeless(nullptr));
    dlg.ShowDialog(1);
    HWND hEdit = dlg.GetDlgItem(IDC_MYDLG_EDIT);
    ::SetFocus(dlg.GetDlgItem(IDOK));
    int paints = 0;
    ASSERT_TRUE(::SetWindowSubclass(hEdit, CountPaints, 1, reinterpret_cast<DWORD_PTR>(&paints)));
    PumpFor(100);

    // Without transparent controls a new text repaints nothing at once.
    paints = 0;
    dlg.AddDrawnText(4, 4, L"one", RED, static_cast<COLORREF>(-1));
    PumpFor(100);
    EXPECT_EQ(paints, 0);

    dlg.AddTransparentItem(hEdit);
    PumpFor(100);
    paints = 0;
    dlg.AddDrawnText(4, 20, L"two", RED, static_cast<COLORREF>(-1));
    EXPECT_TRUE(PumpUntil([&] { return paints > 0; }, 500));
    ::RemoveWindowSubclass(hEdit, CountPaints, 1);
}

TEST_F(CDialogFrameTest, RegisteredStaticsPaintTheirOwnColoursAheadOfItemColours)
{
    CTestDialog dlg(IDD_MYDLG_PLAIN);
    ASSERT_TRUE(dlg.CreateModeless(nullptr));
    HWND hStatic = dlg.GetDlgItem(IDC_MYDLG_STATIC);
    RECT inner{};
    ::GetClientRect(hStatic, &inner);
    const int area = inner.right * inner.bottom;
    dlg.SetItemColors(IDC_MYDLG_STATIC, BLUE, GREEN);
    {
        CClientShot shot = CClientShot::Print(hStatic);
        EXPECT_GT(shot.CountOf(GREEN, inner), area / 2);
    }
    dlg.RegisterStatic(IDC_MYDLG_STATIC, RED, BLUE);
    CClientShot shot = CClientShot::Print(hStatic);
    EXPECT_GT(shot.CountOf(BLUE, inner), area / 2); // filled in its own background colour
    EXPECT_GT(shot.CountOf(RED, inner), 0);         // its text in its own colour
    EXPECT_EQ(shot.CountOf(GREEN, inner), 0);
}
