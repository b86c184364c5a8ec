// CMyListCtrl as an owner-data list (LVS_OWNERDATA): cells, pictures and item data come from its
// CListRowSource, through the platform's requests (LVM_GETITEMTEXTW, LVM_GETITEMW) and through its
// own painting; and the scroll watcher (timer 1002), which runs only while something drawn depends
// on the scroll position.
#include "tests/controls/ListCtrlTestSupport.h"

#include "platform/PlatformInit.h"

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr UINT_PTR SCROLL_WATCH = 1002;

// Rows held by the test; a row may have fewer cells than the list has columns.
class CTestRows : public CListRowSource {
  public:
    struct Row {
        std::vector<std::wstring> cells;
        int image = -1;
        DWORD_PTR data = 0;
    };
    std::vector<Row> m_rows;

    int GetRowCount() const override { return static_cast<int>(m_rows.size()); }
    const wchar_t* GetCellText(int nRow, int nCol) const override
    {
        if (nRow < 0 || nRow >= GetRowCount())
            return nullptr;
        const auto& cells = m_rows[static_cast<size_t>(nRow)].cells;
        return nCol >= 0 && nCol < static_cast<int>(cells.size()) ? cells[static_cast<size_t>(nCol)].c_str()
                                                                  : nullptr;
    }
    int GetRowImage(int nRow) const override
    {
        return nRow >= 0 && nRow < GetRowCount() ? m_rows[static_cast<size_t>(nRow)].image : -1;
    }
    DWORD_PTR GetRowData(int nRow) const override
    {
        return nRow >= 0 && nRow < GetRowCount() ? m_rows[static_cast<size_t>(nRow)].data : 0;
    }
};

HWND CreateOwnerDataList(HWND hParent, int id)
{
    return ::CreateWindowExW(0, WC_LISTVIEWW, L"",
                             WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS, 10, 10,
                             600, 400, hParent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                             ::GetModuleHandleW(nullptr), nullptr);
}

// Whether the window has the timer, leaving it as it was.
bool HasTimer(HWND hWnd, UINT_PTR id, UINT period)
{
    if (!::KillTimer(hWnd, id))
        return false;
    ::SetTimer(hWnd, id, period, nullptr);
    return true;
}

class OwnerDataFixture : public ListFixture {
  protected:
    void SetUp() override
    {
        // The base's list has no LVS_OWNERDATA, which cannot be added later: this fixture makes
        // its own in the same parent.
        InitPlatformControls();
        ::SetCursorPos(1000, 900);
        ASSERT_NE(m_parent.m_hWnd, nullptr);
        m_parent.m_commands.clear();
        m_parent.m_onCommand = nullptr;
        HWND hList = CreateOwnerDataList(m_parent.m_hWnd, LIST_ID);
        ASSERT_NE(hList, nullptr);
        ASSERT_TRUE(m_list.SubclassWindow(hList));
        ASSERT_NE(m_list.GetStyle() & LVS_OWNERDATA, 0u);
        AddColumns({120, 160, 120});
        m_list.SetRowHeight(22);
        m_list.SetRowSource(&m_rows);
    }
    void TearDown() override
    {
        ListFixture::TearDown();
        if (m_hOtherList && ::IsWindow(m_hOtherList))
            ::DestroyWindow(m_hOtherList);
    }

    // Three rows: full, with an empty and a missing cell, and short; the list told of `listed`.
    void FillRows(int listed = 3)
    {
        m_rows.m_rows = {
            {{L"alpha", L"beta-long-text", L"gamma"}, 1, 0x1111},
            {{L"", L"delta"}, -1, 0x2222},
            {{L"epsilon"}, 0, 0x3333},
        };
        m_list.SetVirtualRowCount(listed);
    }

    std::wstring CellThroughPlatform(int row, int col, int cch, int* pCopied = nullptr,
                                     wchar_t* pAfter = nullptr)
    {
        wchar_t buffer[80]; // room past the largest cchTextMax used, to see writes beyond it
        std::fill(std::begin(buffer), std::end(buffer), L'#');
        LVITEMW item{};
        item.iSubItem = col;
        item.pszText = buffer;
        item.cchTextMax = cch;
        const int copied = static_cast<int>(
            m_list.SendMessage(LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)));
        if (pCopied)
            *pCopied = copied;
        if (pAfter)
            *pAfter = buffer[cch];
        // The platform may hand back a pointer of the source's own instead of filling the buffer;
        // the text read is what the caller's structure points to.
        return item.pszText ? std::wstring(item.pszText, wcsnlen(item.pszText, 80)) : L"<null>";
    }

    CTestRows m_rows;
    HWND m_hOtherList = nullptr;
};

struct TextCase {
    int row, col, cch;
    const wchar_t* text;
};

TEST_F(OwnerDataFixture, ItemTextComesFromTheSourceCutToTheCallersBuffer)
{
    FillRows(5); // the list is told of two rows more than the source has
    ASSERT_EQ(m_list.GetItemCount(), 5);
    const TextCase cases[] = {
        {0, 0, 64, L"alpha"},   {0, 1, 64, L"beta-long-text"},
        {0, 2, 64, L"gamma"},   {0, 1, 5, L"beta"}, // four characters and the terminator
        {0, 1, 2, L"b"},        {0, 1, 1, L""},
        {1, 0, 64, L""},      // an empty cell
        {1, 1, 64, L"delta"}, // a cell after an empty one
        {1, 2, 64, L""},      // a cell the source has no text for
        {2, 0, 64, L"epsilon"}, {2, 1, 64, L""},
        {3, 0, 64, L""}, // rows past the source's count read empty
        {4, 2, 64, L""},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << c.row << " col " << c.col << " cch " << c.cch);
        int copied = -1;
        wchar_t after = 0;
        EXPECT_EQ(CellThroughPlatform(c.row, c.col, c.cch, &copied, &after), c.text);
        EXPECT_EQ(copied, static_cast<int>(wcslen(c.text)));
        EXPECT_EQ(after, L'#') << "written past cchTextMax";
    }
    // The wrapper that grows its buffer reads a long text whole.
    m_rows.m_rows[0].cells[1] = std::wstring(700, L'x') + L"end";
    EXPECT_EQ(m_list.GetItemText(0, 1), std::wstring(700, L'x') + L"end");
}

TEST_F(OwnerDataFixture, PictureAndItemDataComeFromTheSource)
{
    FillRows(4);
    const struct {
        int row;
        int image;
        DWORD_PTR data;
    } cases[] = {{0, 1, 0x1111}, {1, -1, 0x2222}, {2, 0, 0x3333}, {3, -1, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << c.row);
        LVITEMW item{};
        item.mask = LVIF_IMAGE;
        item.iItem = c.row;
        item.iImage = 77;
        m_list.SendMessage(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        EXPECT_EQ(item.iImage, c.image);
        EXPECT_EQ(m_list.GetRowData(c.row), c.data);
    }
    EXPECT_EQ(m_list.GetRowData(-1), 0u);
    EXPECT_EQ(m_list.GetRowData(40), 0u);

    // Changes of the source show at the next request: the list keeps no copy.
    m_rows.m_rows[1].cells[1] = L"changed";
    m_rows.m_rows[1].data = 0x4444;
    EXPECT_EQ(CellThroughPlatform(1, 1, 64), L"changed");
    EXPECT_EQ(m_list.GetRowData(1), 0x4444u);
}

// Pixels in the rectangle that pass the test.
template <typename Pred> int CountPixels(const CCapture& capture, const RECT& rc, Pred pred)
{
    int n = 0;
    for (int y = rc.top; y < rc.bottom; ++y)
        for (int x = rc.left; x < rc.right; ++x)
            n += pred(capture.At(x, y)) ? 1 : 0;
    return n;
}

bool IsInk(COLORREF c)
{
    return GetBValue(c) > 120 && GetRValue(c) < 110 && GetGValue(c) < 110;
}

TEST_F(OwnerDataFixture, CellsArePaintedFromTheSource)
{
    m_list.SetTextColor(RGB(0, 0, 200));
    FillRows(4);
    m_rows.m_rows[0].cells = {L"WWWWWW", L"MMMMMM", L""};
    m_rows.m_rows[1].cells = {L"", L"", L"WWWWWW"};
    m_rows.m_rows[2].cells = {L"MMMMMM"};
    auto label = [&](int row, int col) {
        RECT rc{};
        m_list.GetSubItemRect(row, col, LVIR_LABEL, &rc);
        return rc;
    };
    auto inked = [&](const CCapture& capture, int row, int col) {
        return CountPixels(capture, label(row, col), IsInk);
    };

    CCapture capture(m_list.m_hWnd);
    ASSERT_EQ(label(0, 0).bottom - label(0, 0).top, 22);
    const bool want[4][3] = {
        {true, true, false}, {false, false, true}, {true, false, false}, {false, false, false}};
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 3; ++col)
            EXPECT_EQ(inked(capture, row, col) > 10, want[row][col]) << "row " << row << " col " << col;

    // A change of the source is what the next paint shows.
    m_rows.m_rows[1].cells[0] = L"WWWWWW";
    m_rows.m_rows[0].cells[1] = L"";
    CCapture changed(m_list.m_hWnd);
    EXPECT_GT(inked(changed, 1, 0), 10);
    EXPECT_EQ(inked(changed, 0, 1), 0);
}

TEST_F(OwnerDataFixture, RowPicturesArePaintedFromTheSource)
{
    // Picture 0 green, picture 1 red, 16 x 16.
    HIMAGELIST hImages = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 2, 1);
    ASSERT_NE(hImages, nullptr);
    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
    bmi.bmiHeader.biWidth = 32;
    bmi.bmiHeader.biHeight = -16;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP hStrip = ::CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(hStrip, nullptr);
    auto* px = static_cast<DWORD*>(bits);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x)
            px[y * 32 + x] = x < 16 ? 0x0000FF00 : 0x00FF0000; // 0x00RRGGBB
    ASSERT_GE(ImageList_AddMasked(hImages, hStrip, RGB(255, 255, 255)), 0);
    ::DeleteObject(hStrip);
    m_list.SetImageList(hImages, LVSIL_SMALL); // the list destroys it with itself

    FillRows(3); // images: row 0 picture 1, row 1 none, row 2 picture 0
    CCapture capture(m_list.m_hWnd);
    auto icon = [&](int row) {
        RECT rc{};
        m_list.GetItemRect(row, &rc, LVIR_ICON);
        return rc;
    };
    auto red = [](COLORREF c) { return c == RGB(255, 0, 0); };
    auto green = [](COLORREF c) { return c == RGB(0, 255, 0); };
    ASSERT_GE(icon(0).right - icon(0).left, 16);
    EXPECT_GE(CountPixels(capture, icon(0), red), 16 * 16 - 8);
    EXPECT_EQ(CountPixels(capture, icon(0), green), 0);
    EXPECT_EQ(CountPixels(capture, icon(1), red) + CountPixels(capture, icon(1), green), 0);
    EXPECT_GE(CountPixels(capture, icon(2), green), 16 * 16 - 8);
    EXPECT_EQ(CountPixels(capture, icon(2), red), 0);
}

TEST_F(OwnerDataFixture, AGrowingRowCountLeavesTheRowsOnScreenValid)
{
    FillRows(2);
    m_list.UpdateWindow();
    ::ValidateRect(m_list.m_hWnd, nullptr);
    m_list.SetVirtualRowCount(3);
    EXPECT_EQ(m_list.GetItemCount(), 3);
    RECT row0{}, row2{};
    m_list.GetItemRect(0, &row0, LVIR_BOUNDS);
    m_list.GetItemRect(2, &row2, LVIR_BOUNDS);
    HRGN hUpdate = ::CreateRectRgn(0, 0, 0, 0);
    ::GetUpdateRgn(m_list.m_hWnd, hUpdate, FALSE);
    RECT inner0 = row0, inner2 = row2;
    ::InflateRect(&inner0, -2, -2);
    ::InflateRect(&inner2, -2, -2);
    EXPECT_FALSE(::RectInRegion(hUpdate, &inner0)) << "a row already shown was invalidated";
    EXPECT_TRUE(::RectInRegion(hUpdate, &inner2)) << "the new row is not painted";
    ::DeleteObject(hUpdate);

    // A negative count is none.
    m_list.SetVirtualRowCount(-4);
    EXPECT_EQ(m_list.GetItemCount(), 0);
}

// ---- The scroll watcher ----

struct WatchStep {
    const char* what;
    int bkImage;     // -1 leave, 0 clear, 1 set
    int transparent; // -1 leave, 0 off, 1 on
    bool running;
};

TEST_F(OwnerDataFixture, ScrollWatcherRunsOnlyWithABackgroundImageOrTransparency)
{
    const HWND hList = m_list.m_hWnd;
    EXPECT_FALSE(HasTimer(hList, SCROLL_WATCH, 5)) << "a plain list watches its scroll position";
    // The other timers are not affected by the watcher's state.
    EXPECT_TRUE(HasTimer(hList, CMyListCtrl::TIMER_AUTOFIT, 2000));

    const WatchStep steps[] = {
        {"image set", 1, -1, true},
        {"image cleared", 0, -1, false},
        {"transparent", -1, 1, true},
        {"opaque", -1, 0, false},
        {"image and transparent", 1, 1, true},
        {"image cleared, still transparent", 0, -1, true},
        {"image again", 1, -1, true},
        {"opaque, still an image", -1, 0, true},
        {"image cleared", 0, -1, false},
        {"cleared twice", 0, 0, false},
        {"transparent twice", -1, 1, true},
        {"transparent again", -1, 1, true},
        {"opaque", -1, 0, false},
    };
    for (const WatchStep& s : steps) {
        SCOPED_TRACE(s.what);
        if (s.bkImage >= 0)
            m_list.SetBkImage(s.bkImage ? L"NoSuchBackground.png" : L"");
        if (s.transparent >= 0)
            m_list.SetTransparent(s.transparent == 1);
        EXPECT_EQ(HasTimer(hList, SCROLL_WATCH, 5), s.running);
    }
}

TEST_F(OwnerDataFixture, ScrollWatcherFollowsSettingsMadeBeforeTheListWasAttached)
{
    {
        CMyListCtrl early;
        early.SetTransparent(true);
        m_hOtherList = CreateOwnerDataList(m_parent.m_hWnd, LIST_ID + 1);
        ASSERT_TRUE(early.SubclassWindow(m_hOtherList));
        EXPECT_TRUE(HasTimer(m_hOtherList, SCROLL_WATCH, 5));
        early.SetTransparent(false);
        EXPECT_FALSE(HasTimer(m_hOtherList, SCROLL_WATCH, 5));
        ::DestroyWindow(m_hOtherList);
        m_hOtherList = nullptr;
    }
    {
        CMyListCtrl early;
        early.SetBkImage(L"NoSuchBackground.png");
        m_hOtherList = CreateOwnerDataList(m_parent.m_hWnd, LIST_ID + 1);
        ASSERT_TRUE(early.SubclassWindow(m_hOtherList));
        EXPECT_TRUE(HasTimer(m_hOtherList, SCROLL_WATCH, 5));
        ::DestroyWindow(m_hOtherList);
        m_hOtherList = nullptr;
    }
}

TEST_F(OwnerDataFixture, ScrollWatcherRunsAgainWhenTheListObjectIsAttachedToANewWindow)
{
    // A list object outlives its window (a dialog made again): the new window needs the watcher
    // as much as the old one did.
    CMyListCtrl list;
    m_hOtherList = CreateOwnerDataList(m_parent.m_hWnd, LIST_ID + 1);
    ASSERT_TRUE(list.SubclassWindow(m_hOtherList));
    list.SetTransparent(true);
    ASSERT_TRUE(HasTimer(m_hOtherList, SCROLL_WATCH, 5));
    ::DestroyWindow(m_hOtherList);
    ASSERT_EQ(list.m_hWnd, nullptr);

    m_hOtherList = CreateOwnerDataList(m_parent.m_hWnd, LIST_ID + 1);
    ASSERT_TRUE(list.SubclassWindow(m_hOtherList));
    EXPECT_TRUE(HasTimer(m_hOtherList, SCROLL_WATCH, 5)) << "transparent, but the new window is not watched";
    list.SetTransparent(false);
    EXPECT_FALSE(HasTimer(m_hOtherList, SCROLL_WATCH, 5));
    ::DestroyWindow(m_hOtherList);
    m_hOtherList = nullptr;
}

TEST_F(OwnerDataFixture, ScrollWatcherRepaintsATransparentListWhenItScrolls)
{
    m_rows.m_rows.assign(60, CTestRows::Row{{L"row"}, -1, 0});
    m_list.SetVirtualRowCount(60);
    m_list.SetTransparent(true);
    PumpFor(30);
    m_list.UpdateWindow();
    ::ValidateRect(m_list.m_hWnd, nullptr);
    // The scroll position changes without a scroll message to the list (as a platform scroll
    // by the pixels does): only the watcher can notice.
    SCROLLINFO si{sizeof si, SIF_POS};
    si.nPos = 10;
    ::SetScrollInfo(m_list.m_hWnd, SB_VERT, &si, FALSE);
    ASSERT_EQ(::GetScrollPos(m_list.m_hWnd, SB_VERT), 10);
    RECT update{};
    // Not a timing test: the watcher only has to have run once.
    const DWORD start = ::GetTickCount();
    while (!::GetUpdateRect(m_list.m_hWnd, &update, FALSE) && ::GetTickCount() - start < 3000) {
        MSG msg;
        if (::PeekMessageW(&msg, m_list.m_hWnd, WM_TIMER, WM_TIMER, PM_REMOVE))
            ::DispatchMessageW(&msg);
        else
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_TIMER);
    }
    RECT client{};
    m_list.GetClientRect(&client);
    EXPECT_TRUE(::EqualRect(&update, &client)) << "the whole list must be repainted after a scroll";
}

} // namespace
