// CMyListCtrl state: cell stores and their lookup order (also CListCellStore on its own), column
// sets, number formats, running numbers, row height, header height, search and row operations.
#include "tests/controls/ListCtrlTestSupport.h"

#include "controls/ListCellStore.h"
#include "platform/PlatformInit.h"

#include <cstdint>
#include <cwchar>

namespace {

using StoreFixture = ListFixture;

TEST_F(StoreFixture, ColourLookupPrefersTheColumnOverTheRow)
{
    const COLORREF COLUMN = RGB(1, 1, 1), ROW = RGB(2, 2, 2), EXACT = RGB(3, 3, 3);
    m_list.SetBkColors(RGB(9, 9, 9), RGB(8, 8, 8));
    m_list.SetTextColor(RGB(7, 7, 7));
    m_list.SetCellBkColor(-1, 2, COLUMN);
    m_list.SetCellBkColor(3, -1, ROW);
    m_list.SetCellBkColor(5, 2, EXACT);
    m_list.SetCellTextColor(-1, 2, COLUMN);
    m_list.SetCellTextColor(3, -1, ROW);
    struct Case {
        int row, col;
        COLORREF bk, text;
    } cases[] = {
        {3, 2, COLUMN, COLUMN},             // both wildcards: the column's
        {3, 4, ROW, ROW},                   // only the row's
        {4, 2, COLUMN, COLUMN},             // only the column's
        {5, 2, EXACT, COLUMN},              // the exact cell first
        {4, 4, RGB(9, 9, 9), RGB(7, 7, 7)}, // defaults: top colour and text colour
    };
    for (const Case& c : cases) {
        EXPECT_EQ(m_list.GetCellBkColor(c.row, c.col), c.bk) << c.row << "," << c.col;
        EXPECT_EQ(m_list.GetCellTextColor(c.row, c.col), c.text) << c.row << "," << c.col;
    }
}

TEST_F(StoreFixture, ImagesAndMarksPreferTheRowOverTheColumn)
{
    m_list.SetCellImageFile(-1, 2, L"column.png", 0);
    m_list.SetCellImageFile(3, -1, L"row.png", 1);
    m_list.SetCellReadOnly(-1, 2, 1);
    m_list.SetCellReadOnly(3, -1, 2);
    m_list.SetCellDisabled(-1, 2, 4);
    m_list.SetCellDisabled(3, -1, 5);

    const CMyListCtrl::CellImage* image = m_list.GetCellImage(3, 2, false);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->file, L"row.png");
    EXPECT_EQ(m_list.GetCellImage(3, 2, true), nullptr); // no exact record
    EXPECT_EQ(m_list.GetCellImage(4, 2, false)->file, L"column.png");
    EXPECT_EQ(m_list.GetCellImage(4, 4, false), nullptr);
    EXPECT_EQ(m_list.IsCellReadOnly(3, 2), 2);
    EXPECT_EQ(m_list.IsCellReadOnly(4, 2), 1);
    EXPECT_EQ(m_list.IsCellReadOnly(4, 4), 0);
    EXPECT_EQ(m_list.IsCellDisabled(3, 2), 5);
    EXPECT_EQ(m_list.IsCellDisabled(0, 0), 0);
}

TEST_F(StoreFixture, SettingAgainReplacesTheRecord)
{
    m_list.SetCellBkColor(1, 1, RGB(1, 0, 0));
    m_list.SetCellBkColor(1, 1, RGB(0, 1, 0));
    EXPECT_EQ(m_list.GetCellBkColor(1, 1), RGB(0, 1, 0));

    HIMAGELIST hList = reinterpret_cast<HIMAGELIST>(0x1234);
    m_list.SetCellImageFile(2, 2, L"a.png", 2, 7, 8, 9, 30, 10);
    m_list.SetCellImage(2, 2, 4, hList, 1, 11);
    const CMyListCtrl::CellImage* image = m_list.GetCellImage(2, 2, true);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->image, 4);
    EXPECT_EQ(image->imageList, hList);
    EXPECT_EQ(image->align, 1);
    EXPECT_EQ(image->param1, 11);
    EXPECT_EQ(image->width, -1);
    EXPECT_TRUE(image->file.empty());
    m_list.SetCellImageFile(2, 2, L"b.png", 0, 1, 2, 3, 40, 5);
    image = m_list.GetCellImage(2, 2, true);
    EXPECT_EQ(image->image, -1);
    EXPECT_EQ(image->imageList, nullptr);
    EXPECT_EQ(image->width, 40);
    EXPECT_EQ(image->file, L"b.png");
}

TEST_F(StoreFixture, CellChecksOnlyInCheckColumns)
{
    m_list.SetCheckColumn(2, true);
    m_list.SetCellCheck(1, 2, 2); // never set: inverted to checked
    EXPECT_EQ(m_list.GetCellCheck(1, 2), 1);
    m_list.SetCellCheck(1, 2, 2);
    EXPECT_EQ(m_list.GetCellCheck(1, 2), 0);
    m_list.SetCellCheck(1, 2, 5);
    EXPECT_EQ(m_list.GetCellCheck(1, 2), 5);
    m_list.SetCellCheck(1, 3, 2); // not a check column
    EXPECT_EQ(m_list.GetCellCheck(1, 3), 0);
    m_list.SetCheckColumn(3, true);
    EXPECT_EQ(m_list.GetCellCheck(1, 3), 0);
    m_list.SetCellCheck(-1, 3, 1); // checks are exact-cell only
    EXPECT_EQ(m_list.GetCellCheck(1, 3), 0);
}

TEST_F(StoreFixture, ColumnSetsHoldTwentyAndNeverReportColumnZero)
{
    m_list.SetCheckColumn(0, true);
    EXPECT_EQ(m_list.IsCheckColumn(0), 0);
    m_list.SetCheckColumn(0, false);
    for (int c = 1; c <= 20; ++c)
        m_list.SetCheckColumn(c, true);
    EXPECT_EQ(m_list.IsCheckColumn(20), 20);
    m_list.SetCheckColumn(21, true); // full
    EXPECT_EQ(m_list.IsCheckColumn(21), 0);
    m_list.SetCheckColumn(7, false);
    EXPECT_EQ(m_list.IsCheckColumn(7), 0);
    m_list.SetCheckColumn(21, true);
    EXPECT_EQ(m_list.IsCheckColumn(21), 21);
    m_list.SetCheckColumn(21, true); // already there: still one slot
    m_list.SetCheckColumn(21, false);
    EXPECT_EQ(m_list.IsCheckColumn(21), 0);

    m_list.SetProgressColumn(3, true);
    EXPECT_TRUE(m_list.IsProgressColumn(3));
    m_list.SetProgressColumn(4, false);
    EXPECT_FALSE(m_list.IsProgressColumn(4));
    m_list.SetProgressColumn(3, false);
    EXPECT_FALSE(m_list.IsProgressColumn(3));
}

TEST_F(StoreFixture, AutoFitPeriodIsClamped)
{
    const std::pair<int, int> cases[] = {{500, 1000},  {60000, 30000}, {5000, 5000},
                                         {1000, 1000}, {30000, 30000}, {-1, 1000}};
    for (auto [given, kept] : cases) {
        m_list.SetAutoFitLastColumn(true, given);
        EXPECT_EQ(m_list.GetAutoFitPeriod(), kept) << given;
    }
    EXPECT_TRUE(m_list.IsAutoFitLastColumn());
}

TEST_F(StoreFixture, NumberFormats)
{
    AddColumns({100, 100});
    AddRows(1);
    struct Case {
        double value;
        unsigned decimals;
        const wchar_t* text;
    } cases[] = {
        {2.0, 0, L"2"},       {2.5, 0, L"2.5"}, {2.5, 2, L"2.50"}, {100.0, 0, L"100"},
        {-0.25, 0, L"-0.25"}, {0.0, 0, L"0"},   {3.0, 1, L"3.0"},  {1e20, 0, L"100000000000000000000"}};
    for (const Case& c : cases) {
        m_list.SetItemDouble(0, 1, c.value, c.decimals);
        EXPECT_EQ(m_list.GetItemText(0, 1), c.text) << c.value << " " << c.decimals;
        EXPECT_DOUBLE_EQ(m_list.GetItemDouble(0, 1), std::wcstod(c.text, nullptr));
    }
    m_list.SetItemFloat(0, 1, 2.5f, 0);
    EXPECT_EQ(m_list.GetItemText(0, 1), L"2.5");
    EXPECT_FLOAT_EQ(m_list.GetItemFloat(0, 1), 2.5f);

    m_list.SetItemInt64(0, 1, INT64_MIN);
    EXPECT_EQ(m_list.GetItemText(0, 1), L"-9223372036854775808");
    EXPECT_EQ(m_list.GetItemInt64(0, 1), INT64_MIN);
    m_list.SetItemText(0, 1, L"camera");
    EXPECT_EQ(m_list.GetItemInt64(0, 1), 0);
    EXPECT_EQ(m_list.GetItemDouble(0, 1), 0.0);
}

TEST_F(StoreFixture, RunningNumbersFollowInsertionsAndDeletions)
{
    AddColumns({100, 100});
    m_list.SetNumberColumn(1, L"No.", L"");
    for (int i = 0; i < 3; ++i)
        m_list.InsertItem(m_list.GetItemCount(), L"x");
    EXPECT_EQ(m_list.GetItemText(0, 1), L"No.0");
    EXPECT_EQ(m_list.GetItemText(1, 1), L"No.1");
    EXPECT_EQ(m_list.GetItemText(2, 1), L"No.2");

    m_list.InsertItem(0, L"first");
    EXPECT_EQ(m_list.GetItemText(0, 1), L"No.0");
    EXPECT_EQ(m_list.GetItemText(3, 1), L"No.3");

    // Numbers are rewritten after the row has gone, not before.
    m_list.DeleteItem(0);
    ASSERT_EQ(m_list.GetItemCount(), 3);
    EXPECT_EQ(m_list.GetItemText(0, 1), L"No.0");
    EXPECT_EQ(m_list.GetItemText(2, 1), L"No.2");

    // A prefix is text, never a format.
    m_list.SetNumberColumn(1, L"%s%n", L"%d");
    m_list.InsertItem(3, L"y");
    EXPECT_EQ(m_list.GetItemText(3, 1), L"%s%n3%d");

    m_list.SetNumberColumn(-1);
    m_list.InsertItem(4, L"z");
    EXPECT_EQ(m_list.GetItemText(4, 1), L"");
}

TEST_F(StoreFixture, NumberColumnWritesWidthPrefixAndSuffix)
{
    AddColumns({100, 100});
    AddRows(3);
    m_list.NumberColumn(1, 5, 3, L"A", L"B");
    EXPECT_EQ(m_list.GetItemText(0, 1), L"A  5B");
    EXPECT_EQ(m_list.GetItemText(2, 1), L"A  7B");
    m_list.NumberColumn(-1, 0, 1, L"", L""); // nothing
    EXPECT_EQ(m_list.GetItemText(0, 0), L"r0c0");
}

TEST_F(StoreFixture, RowHeightBelowFiveKeepsThePlatformHeight)
{
    AddColumns({100});
    AddRows(2);
    RECT rc{};
    ASSERT_TRUE(m_list.GetItemRect(0, &rc, LVIR_BOUNDS));
    const int platform = rc.bottom - rc.top;
    ASSERT_GT(platform, 0);
    m_list.SetRowHeight(4);
    m_list.GetItemRect(0, &rc, LVIR_BOUNDS);
    EXPECT_EQ(rc.bottom - rc.top, platform);
    m_list.SetRowHeight(22);
    m_list.GetItemRect(1, &rc, LVIR_BOUNDS);
    EXPECT_EQ(rc.bottom - rc.top, 22);
    m_list.SetRowHeight(5);
    m_list.GetItemRect(1, &rc, LVIR_BOUNDS);
    EXPECT_EQ(rc.bottom - rc.top, 5);
}

TEST_F(StoreFixture, HeaderHeightMovesTheFirstRow)
{
    AddColumns({100, 100});
    AddRows(2);
    RECT rcHeader;
    ::GetWindowRect(m_list.GetHeaderCtrl(), &rcHeader);
    const int platform = rcHeader.bottom - rcHeader.top;
    m_list.SetHeaderHeight(0);
    ::GetWindowRect(m_list.GetHeaderCtrl(), &rcHeader);
    EXPECT_EQ(rcHeader.bottom - rcHeader.top, platform);

    m_list.SetHeaderHeight(30);
    ::GetWindowRect(m_list.GetHeaderCtrl(), &rcHeader);
    EXPECT_EQ(rcHeader.bottom - rcHeader.top, 30);
    RECT rcRow;
    m_list.GetItemRect(0, &rcRow, LVIR_BOUNDS);
    EXPECT_EQ(rcRow.top, 30);
    EXPECT_EQ(m_list.GetHeader().m_hWnd, m_list.GetHeaderCtrl());
}

TEST_F(StoreFixture, FindTextFlags)
{
    AddColumns({100, 100});
    const wchar_t* texts[][2] = {{L"CAM-01", L""}, {L"cam-02", L""}, {L"Other", L""}, {L"x", L"the camera"}};
    for (auto& row : texts) {
        int i = m_list.InsertItem(m_list.GetItemCount(), row[0]);
        m_list.SetItemText(i, 1, row[1]);
    }
    EXPECT_EQ(m_list.FindText(L"cam", 1), 0); // case-insensitive: CAM-01
    EXPECT_EQ(m_list.FindText(L"cam", 0), 1); // exact case: cam-02
    EXPECT_EQ(m_list.FindText(L"cam", 1, 2), 3);
    EXPECT_EQ(m_list.FindText(L"", 1), -1);
    EXPECT_EQ(m_list.FindText(L"none", 1), -1);

    m_list.SelectAllRows(2);
    EXPECT_EQ(m_list.FindText(L"cam", 3), -1);
    EXPECT_TRUE(m_list.IsRowSelected(0));
    EXPECT_TRUE(m_list.IsRowSelected(1));
    EXPECT_FALSE(m_list.IsRowSelected(2));
    EXPECT_TRUE(m_list.IsRowSelected(3));
}

TEST_F(StoreFixture, SwapRowsExchangesTextsAndData)
{
    AddColumns({100, 100, 100});
    AddRows(3);
    m_list.SetItemData(0, 11);
    m_list.SetItemData(2, 33);
    EXPECT_EQ(m_list.SwapRows(1, 1), 0);
    EXPECT_EQ(m_list.SwapRows(0, 3), 0);
    EXPECT_EQ(m_list.SwapRows(-1, 0), 0);
    EXPECT_EQ(m_list.GetItemText(1, 2), L"r1c2");
    EXPECT_EQ(m_list.SwapRows(0, 2), 1);
    EXPECT_EQ(m_list.GetItemText(0, 0), L"r2c0");
    EXPECT_EQ(m_list.GetItemText(0, 2), L"r2c2");
    EXPECT_EQ(m_list.GetItemText(2, 1), L"r0c1");
    EXPECT_EQ(m_list.GetItemData(0), 33u);
    EXPECT_EQ(m_list.GetItemData(2), 11u);
}

TEST_F(StoreFixture, RowsSelectionAndChecks)
{
    AddColumns({100, 100});
    AddRows(2);
    EXPECT_EQ(m_list.InsertNumberedRow(-1), 2);
    EXPECT_EQ(m_list.GetItemText(2, 0), L"3");
    EXPECT_EQ(m_list.InsertNumberedRow(0), 0);
    EXPECT_EQ(m_list.GetItemText(0, 0), L"1");
    m_list.InsertBlankRows(2);
    EXPECT_EQ(m_list.GetItemCount(), 6);
    EXPECT_EQ(m_list.GetItemText(1, 0), L"");

    EXPECT_EQ(m_list.SelectRow(6, true), 0);
    EXPECT_EQ(m_list.SelectRow(-1, true), 0);
    EXPECT_EQ(m_list.SelectRow(1, true), 1);
    EXPECT_TRUE(m_list.IsRowSelected(1));
    m_list.SelectAllRows(3);
    EXPECT_FALSE(m_list.IsRowSelected(1));
    EXPECT_TRUE(m_list.IsRowSelected(0));
    m_list.SelectAllRows(9); // unknown mode: nothing
    EXPECT_TRUE(m_list.IsRowSelected(0));
    m_list.SelectAllRows(2);
    EXPECT_EQ(m_list.GetSelectedCount(), 0u);

    m_list.SetCheckBoxes(true);
    EXPECT_TRUE(m_list.GetExtendedStyle() & LVS_EX_CHECKBOXES);
    m_list.CheckAllRows(1);
    EXPECT_TRUE(m_list.GetCheck(5));
    m_list.SetCheck(2, FALSE);
    m_list.CheckAllRows(3);
    EXPECT_TRUE(m_list.GetCheck(2));
    EXPECT_FALSE(m_list.GetCheck(3));
    m_list.SetGridLines(true);
    EXPECT_TRUE(m_list.GetExtendedStyle() & LVS_EX_CHECKBOXES); // other bits stay
    m_list.SetCheckBoxes(false);
    EXPECT_TRUE(m_list.GetExtendedStyle() & LVS_EX_GRIDLINES);
}

TEST_F(StoreFixture, FillsStopAtTheSmallerCount)
{
    AddColumns({100, 100, 100});
    AddRows(2);
    m_list.SetColumnTexts(1, std::vector<std::wstring>{L"a", L"b", L"c"});
    EXPECT_EQ(m_list.GetItemText(1, 1), L"b");
    m_list.SetRowInts(0, std::vector<int>{-1, 2});
    EXPECT_EQ(m_list.GetItemText(0, 0), L"-1");
    EXPECT_EQ(m_list.GetItemText(0, 2), L"r0c2");
    m_list.SetColumnDoubles(2, {1.5, 2.0}, 0);
    EXPECT_EQ(m_list.GetItemText(1, 2), L"2");
    const int all[] = {7, 8, 9};
    m_list.SetRowInts(1, all, 0); // a count below 1: one per column
    EXPECT_EQ(m_list.GetItemText(1, 2), L"9");
    std::vector<std::wstring> texts{L"keep"};
    EXPECT_EQ(m_list.GetRowTexts(1, texts), 4);
    EXPECT_EQ(texts[3], L"9");
    m_list.ClearColumnTexts(0, 1);
    EXPECT_EQ(m_list.GetItemText(0, 0), L"-1");
    EXPECT_EQ(m_list.GetItemText(1, 0), L"");
    m_list.ClearRowTexts(0, 1, 2);
    EXPECT_EQ(m_list.GetItemText(0, 1), L"");
    EXPECT_EQ(m_list.GetItemText(0, 2), L"1.5");
    m_list.ClearAllTexts();
    EXPECT_EQ(m_list.GetItemText(0, 2), L"");
}

TEST_F(StoreFixture, EditKindOnlyForExistingColumns)
{
    AddColumns({100, 100});
    m_list.SetColumnEditKind(1, 0).SetColumnEditKind(2, 1).SetColumnEditKind(-1, 1);
    EXPECT_EQ(m_list.GetColumnEditKind(1), 0);
    EXPECT_EQ(m_list.GetColumnEditKind(2), -1);
    EXPECT_EQ(m_list.GetColumnCount(), 2);
    m_list.SetColumnText(1, std::wstring(300, L'T'));
    LVCOLUMNW column{};
    wchar_t title[400] = L"";
    column.mask = LVCF_TEXT;
    column.pszText = title;
    column.cchTextMax = 400;
    m_list.GetColumn(1, &column);
    EXPECT_EQ(std::wstring(title).size(), 255u);
}

TEST_F(StoreFixture, AStoredZeroIsAValueNotTheDefault)
{
    m_list.SetBkColors(RGB(9, 9, 9), RGB(8, 8, 8));
    m_list.SetTextColor(RGB(7, 7, 7));
    m_list.SetCellBkColor(1, 1, RGB(0, 0, 0));
    m_list.SetCellTextColor(-1, 1, RGB(0, 0, 0));
    m_list.SetCellReadOnly(1, -1, 1);
    m_list.SetCellReadOnly(1, 1, 0);
    EXPECT_EQ(m_list.GetCellBkColor(1, 1), RGB(0, 0, 0)); // black, not the top colour
    EXPECT_EQ(m_list.GetCellTextColor(2, 1), RGB(0, 0, 0));
    EXPECT_EQ(m_list.IsCellReadOnly(1, 1), 0); // the exact 0 wins over the row's 1
    EXPECT_EQ(m_list.IsCellReadOnly(1, 2), 1);
}

// The store on its own, without a window.
TEST(ListCellStore, EachPropertyHasItsOwnRecordsAndLookupOrder)
{
    using Property = CListCellStore::CellProperty;
    const DWORD COLUMN = 0x10, ROW = 0x20, EXACT = 0x30, BOTH_WILDCARDS = 0x40;
    struct Case {
        const char* name;
        Property property;
        DWORD rowAndColumn; // what cell (3, 2) takes when its row and its column both have one
    } cases[] = {
        {"background", Property::BkColor, COLUMN},
        {"text", Property::TextColor, COLUMN},
        {"read-only", Property::ReadOnly, ROW},
        {"disabled", Property::Disabled, ROW},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CListCellStore store;
        store.SetValue(c.property, -1, 2, COLUMN);
        store.SetValue(c.property, 3, -1, ROW);
        store.SetValue(c.property, 5, 2, EXACT);
        store.SetValue(c.property, 6, 6, 0);
        store.SetValue(c.property, -1, -1, BOTH_WILDCARDS);
        EXPECT_EQ(store.FindValue(c.property, 3, 2), c.rowAndColumn);
        EXPECT_EQ(store.FindValue(c.property, 5, 2), EXACT);
        EXPECT_EQ(store.FindValue(c.property, 3, 7), ROW);
        EXPECT_EQ(store.FindValue(c.property, 8, 2), COLUMN);
        EXPECT_EQ(store.FindValue(c.property, 6, 6), DWORD{0}); // stored, so not none
        // (-1, -1) is a key like any other, not a record for every cell.
        EXPECT_EQ(store.FindValue(c.property, -1, -1), BOTH_WILDCARDS);
        EXPECT_EQ(store.FindValue(c.property, 7, 7), std::nullopt);
        for (const Case& other : cases) {
            if (other.property == c.property)
                continue;
            EXPECT_EQ(store.FindValue(other.property, 5, 2), std::nullopt) << other.name;
        }
    }
}

TEST(ListCellStore, TheTwoColumnSetsAreSeparateAndHoldTwentyEach)
{
    struct Case {
        const char* name;
        void (CListCellStore::*set)(int, bool);
        bool (CListCellStore::*is)(int) const;
        bool (CListCellStore::*other)(int) const;
    } cases[] = {
        {"progress", &CListCellStore::SetProgressColumn, &CListCellStore::IsProgressColumn,
         &CListCellStore::IsCheckColumn},
        {"check", &CListCellStore::SetCheckColumn, &CListCellStore::IsCheckColumn,
         &CListCellStore::IsProgressColumn},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CListCellStore store;
        for (int col = 10; col < 10 + CListCellStore::MAX_SET_COLUMNS; ++col)
            (store.*c.set)(col, true);
        EXPECT_TRUE((store.*c.is)(29));
        EXPECT_FALSE((store.*c.other)(29));
        (store.*c.set)(30, true); // full
        EXPECT_FALSE((store.*c.is)(30));
        (store.*c.set)(15, false);
        (store.*c.set)(30, true); // the freed slot
        EXPECT_TRUE((store.*c.is)(30));
        EXPECT_FALSE((store.*c.is)(15));
        (store.*c.set)(-1, true); // -1 marks a free slot: never a member
        EXPECT_FALSE((store.*c.is)(-1));
    }
}

TEST(ListCellStore, ChecksOfAColumnTakenOutOfTheSetWaitForItsReturn)
{
    CListCellStore store;
    store.SetCheckColumn(2, true);
    store.SetCheck(1, 2, 1);
    store.SetCheckColumn(2, false);
    EXPECT_EQ(store.GetCheck(1, 2), 0);
    store.SetCheck(1, 2, 2); // not a check column now: no inversion
    store.SetCheckColumn(2, true);
    EXPECT_EQ(store.GetCheck(1, 2), 1);
}

TEST(ListCellStore, EditKindsOutsideTheSetChangeNothing)
{
    CListCellStore store;
    store.SetEditKind(0, 1);
    store.SetEditKind(CListCellStore::MAX_SET_COLUMNS - 1, 0);
    for (int col : {-1, CListCellStore::MAX_SET_COLUMNS, 100})
        store.SetEditKind(col, 7);
    EXPECT_EQ(store.GetEditKind(0), 1);
    EXPECT_EQ(store.GetEditKind(CListCellStore::MAX_SET_COLUMNS - 1), 0);
    EXPECT_EQ(store.GetEditKind(1), -1);
    EXPECT_EQ(store.GetEditKind(-1), -1);
    EXPECT_EQ(store.GetEditKind(CListCellStore::MAX_SET_COLUMNS), -1);
    for (int col = 0; col < 2 * CListCellStore::MAX_SET_COLUMNS; ++col) {
        EXPECT_FALSE(store.IsCheckColumn(col)) << col;
        EXPECT_FALSE(store.IsProgressColumn(col)) << col;
    }
}

TEST(ListCtrlValues, PlainListWithoutHeaderSearchesTwentyColumns)
{
    InitPlatformControls();
    CListCtrl list;
    RECT rc{0, 0, 200, 200};
    ASSERT_TRUE(list.Create(WS_POPUP | LVS_LIST, rc, nullptr, 0));
    list.InsertItem(0, L"alpha");
    list.InsertItem(1, L"beta");
    CListCtrlValues values(&list);
    EXPECT_EQ(values.FindText(L"ET", 1, 0), 1);
    values.SetItemDouble(0, 0, 2.5, 2);
    EXPECT_EQ(list.GetItemText(0, 0), L"2.50");
    EXPECT_EQ(values.GetItemInt64(0, 0), 2);
}

} // namespace
