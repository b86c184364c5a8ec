// CMyListCtrl towards the user: clicks and double-clicks at computed cell positions, the commands
// posted to the parent, in-place editors and their write-back, check-box clicks, hover, column
// fitting and refused column resizing.
#include "tests/controls/ListCtrlTestSupport.h"

namespace {

constexpr WORD CMD_CLICK = LIST_CMD_CLICK, CMD_DBLCLICK = LIST_CMD_DBLCLICK,
               CMD_EDIT_DONE = LIST_CMD_EDIT_DONE;

class InputFixture : public ListFixture {
  protected:
    void SetUp() override
    {
        ListFixture::SetUp();
        AddColumns({100, 120, 120, 100});
        AddRows(8);
        m_list.SetRowHeight(22);
    }
    LPARAM Self() const { return reinterpret_cast<LPARAM>(&m_list); }
    // Opens the edit box of column 1 on row by a click and waits until it is ready.
    void OpenEditByClick(int row)
    {
        m_list.SetColumnEditKind(1, 0);
        Click(CellCentre(row, 1));
        PumpFor(120);
        ASSERT_NE(m_list.GetEditCtrl(), nullptr);
        ASSERT_TRUE(m_list.GetEditCtrl()->IsWindowVisible());
        ASSERT_TRUE(m_list.IsEditorReady());
    }
    void Key(HWND hWnd, WPARAM key)
    {
        ::PostMessageW(hWnd, WM_KEYDOWN, key, 1);
        ::PostMessageW(hWnd, WM_KEYUP, key, 0xC0000001);
        PumpFor(30);
    }
};

TEST_F(InputFixture, ClickPostsTheClickCommandWithTheControl)
{
    Click(CellCentre(3, 2));
    PumpFor(20);
    ASSERT_EQ(m_parent.Count(CMD_CLICK), 1);
    EXPECT_EQ(m_parent.Last(CMD_CLICK)->lParam, Self());
    EXPECT_EQ(m_list.GetCurRow(), 3);
    EXPECT_EQ(m_list.GetCurCol(), 2);
    EXPECT_EQ(m_list.GetEditCtrl(), nullptr); // no edit kind: no editor

    // Below the last row: nothing reported.
    Click(POINT{50, 390});
    PumpFor(20);
    EXPECT_EQ(m_parent.Count(CMD_CLICK), 1);
    EXPECT_EQ(m_list.GetCurRow(), -1);

    m_list.SetClickCmdId(30000);
    const int before = m_parent.Count(CMD_CLICK);
    Click(CellCentre(0, 0));
    PumpFor(20);
    EXPECT_EQ(m_parent.Count(CMD_CLICK), before);
}

// A platform whose hit test finds the row right of the last column too (Windows' full-row
// hit test does; Wine's finds no row there): the list's own hit test then stands in for it.
class RowHitAcrossTheWidth {
  public:
    explicit RowHitAcrossTheWidth(HWND hList) : m_hList(hList)
    {
        s_hList = hList;
        s_old = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
            hList, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RowHitAcrossTheWidth::Proc)));
    }
    ~RowHitAcrossTheWidth() { ::SetWindowLongPtrW(m_hList, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(s_old)); }
    RowHitAcrossTheWidth(const RowHitAcrossTheWidth&) = delete;
    RowHitAcrossTheWidth& operator=(const RowHitAcrossTheWidth&) = delete;

  private:
    static LRESULT CALLBACK Proc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam)
    {
        const LRESULT result = ::CallWindowProcW(s_old, hWnd, nMsg, wParam, lParam);
        if (nMsg != LVM_HITTEST || result >= 0 || hWnd != s_hList)
            return result;
        auto* info = reinterpret_cast<LVHITTESTINFO*>(lParam);
        const int rows = static_cast<int>(::CallWindowProcW(s_old, hWnd, LVM_GETITEMCOUNT, 0, 0));
        for (int row = 0; row < rows; ++row) {
            RECT rc{};
            rc.left = LVIR_BOUNDS;
            ::CallWindowProcW(s_old, hWnd, LVM_GETITEMRECT, static_cast<WPARAM>(row),
                              reinterpret_cast<LPARAM>(&rc));
            if (info->pt.y >= rc.top && info->pt.y < rc.bottom && info->pt.x >= rc.right) {
                info->iItem = row;
                info->flags = LVHT_ONITEMLABEL;
                return row;
            }
        }
        return result;
    }
    static inline HWND s_hList = nullptr;
    static inline WNDPROC s_old = nullptr;
    HWND m_hList;
};

TEST_F(InputFixture, AClickRightOfTheLastColumnOpensNoEditor)
{
    m_list.SetColumnEditKind(3, 0);
    const POINT right{520, CellCentre(1, 0).y};
    // Wine's own hit test: no row there.
    Click(right);
    PumpFor(20);
    EXPECT_EQ(m_list.GetEditCtrl(), nullptr);
    EXPECT_EQ(m_list.GetCurRow(), -1);
    EXPECT_EQ(m_parent.Count(CMD_CLICK), 0);

    RowHitAcrossTheWidth wideHits(m_list.m_hWnd);
    ASSERT_EQ(m_list.HitTest(right), 1) << "the stand-in hit test is not in place";
    Click(right);
    PumpFor(20);
    EXPECT_EQ(m_list.GetCurRow(), 1);
    EXPECT_EQ(m_list.GetCurCol(), 4) << "past the last column";
    EXPECT_EQ(m_list.GetEditCtrl(), nullptr) << "the last column's editor opened";
    ASSERT_EQ(m_parent.Count(CMD_CLICK), 1);
    EXPECT_EQ(m_parent.Last(CMD_CLICK)->lParam, Self());
}

TEST_F(InputFixture, DoubleClickCarriesRowAndColumn)
{
    DoubleClick(CellCentre(5, 2));
    PumpFor(20);
    ASSERT_EQ(m_parent.Count(CMD_DBLCLICK), 1);
    EXPECT_EQ(m_parent.Last(CMD_DBLCLICK)->lParam, (5 << 16) | 2);
    EXPECT_EQ(m_list.GetCurRow(), 5);

    m_list.SetLocked(true);
    EXPECT_EQ(m_list.GetCurRow(), -1);
    DoubleClick(CellCentre(4, 1));
    PumpFor(20);
    EXPECT_EQ(m_parent.Count(CMD_DBLCLICK), 1);
}

TEST_F(InputFixture, EditBoxWritesBackOnEnter)
{
    OpenEditByClick(2);
    CEdit* edit = m_list.GetEditCtrl();
    EXPECT_EQ(edit->GetWindowText(), L"r2c1");
    RECT rcEdit, rcCell;
    edit->GetWindowRect(&rcEdit);
    m_list.ScreenToClient(&rcEdit);
    m_list.GetSubItemRect(2, 1, LVIR_LABEL, &rcCell);
    EXPECT_EQ(rcEdit.left, rcCell.left);
    EXPECT_EQ(rcEdit.top, rcCell.top);
    int start = -1, end = -1;
    edit->GetSel(start, end);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 4); // the whole text is selected
    EXPECT_EQ(m_parent.Count(CMD_CLICK), 1);

    edit->SetWindowText(L"198.18.1.20");
    Key(edit->m_hWnd, VK_RETURN);
    EXPECT_EQ(m_list.GetItemText(2, 1), L"198.18.1.20");
    EXPECT_FALSE(edit->IsWindowVisible());
    ASSERT_EQ(m_parent.Count(CMD_EDIT_DONE), 1);
    EXPECT_EQ(m_parent.Last(CMD_EDIT_DONE)->lParam, Self());
    EXPECT_EQ(m_list.GetEditRow(), 2);
    EXPECT_EQ(m_list.GetEditCol(), 1);
}

TEST_F(InputFixture, EscapeCancelsTheEdit)
{
    OpenEditByClick(4);
    CEdit* edit = m_list.GetEditCtrl();
    edit->SetWindowText(L"discarded");
    Key(edit->m_hWnd, VK_ESCAPE);
    EXPECT_FALSE(edit->IsWindowVisible());
    EXPECT_EQ(m_list.GetItemText(4, 1), L"r4c1");
    EXPECT_EQ(m_parent.Count(CMD_EDIT_DONE), 0);
}

TEST_F(InputFixture, ClickElsewhereWritesTheEditBack)
{
    OpenEditByClick(1);
    m_list.GetEditCtrl()->SetWindowText(L"moved");
    Click(CellCentre(6, 3));
    PumpFor(30);
    EXPECT_EQ(m_list.GetItemText(1, 1), L"moved");
    EXPECT_EQ(m_parent.Count(CMD_EDIT_DONE), 1);
    EXPECT_EQ(m_list.GetCurRow(), 6);
}

TEST_F(InputFixture, ParentOpensTheEditOnTheClickCommand)
{
    // As the group settings dialog does: the list reports the click, the parent opens the edit.
    m_parent.m_onCommand = [this](WORD id, LPARAM lParam) {
        auto* list = reinterpret_cast<CMyListCtrl*>(lParam);
        if (id == CMD_CLICK && list == &m_list && list->GetCurCol() >= 1 && list->GetCurCol() <= 3)
            list->EditCell();
    };
    Click(CellCentre(3, 3));
    PumpFor(120);
    CEdit* edit = m_list.GetEditCtrl();
    ASSERT_NE(edit, nullptr);
    ASSERT_TRUE(edit->IsWindowVisible());
    EXPECT_EQ(edit->GetWindowText(), L"r3c3");
    edit->SetWindowText(L"Lobby");
    m_parent.SetFocus(); // leaving the box writes it back
    PumpFor(20);
    EXPECT_EQ(m_list.GetItemText(3, 3), L"Lobby");
    EXPECT_EQ(m_parent.Count(CMD_EDIT_DONE), 1);
}

TEST_F(InputFixture, ReadOnlyAndDisabledCellsOpenNoEditor)
{
    m_list.SetColumnEditKind(1, 0);
    m_list.SetCellReadOnly(2, -1, 1);
    m_list.SetCellDisabled(-1, 1, 0);
    m_list.SetCellDisabled(5, 1, 1);
    Click(CellCentre(2, 1));
    PumpFor(50);
    EXPECT_EQ(m_list.GetEditCtrl(), nullptr);
    EXPECT_EQ(m_parent.Count(CMD_CLICK), 1); // still reported
    Click(CellCentre(5, 1));
    PumpFor(50);
    EXPECT_EQ(m_list.GetEditCtrl(), nullptr);
    Click(CellCentre(4, 1));
    PumpFor(50);
    ASSERT_NE(m_list.GetEditCtrl(), nullptr);
    EXPECT_TRUE(m_list.GetEditCtrl()->IsWindowVisible());
}

TEST_F(InputFixture, DropDownListWritesTheChosenEntry)
{
    const wchar_t* items[] = {L"LAN", L"WIFI", L"r1c2", nullptr};
    m_list.EditCellCombo(items, true); // filled before any click
    ASSERT_NE(m_list.GetComboCtrl(), nullptr);
    EXPECT_EQ(m_list.GetComboCtrl()->GetCount(), 3);
    EXPECT_FALSE(m_list.GetComboCtrl()->IsWindowVisible());
    m_list.SetColumnEditKind(2, 1);
    m_list.SetItemText(1, 2, L"wifi");
    Click(CellCentre(1, 2));
    PumpFor(120);
    CComboBox* combo = m_list.GetComboCtrl();
    ASSERT_TRUE(combo->IsWindowVisible());
    EXPECT_EQ(m_list.GetComboCurSel(), 1); // the entry equal to the cell, case ignored
    EXPECT_TRUE(m_list.IsEditorReady());

    combo->SetCurSel(0);
    m_list.SendMessage(WM_COMMAND, MAKEWPARAM(CMyListCtrl::COMBO_ID, CBN_SELCHANGE),
                       reinterpret_cast<LPARAM>(combo->m_hWnd));
    PumpFor(20);
    EXPECT_EQ(m_list.GetItemText(1, 2), L"LAN");
    EXPECT_FALSE(combo->IsWindowVisible());
    EXPECT_EQ(m_parent.Count(CMD_EDIT_DONE), 1);
}

TEST_F(InputFixture, CheckBoxColumnClicksToggle)
{
    m_list.SetCheckColumn(3, true);
    const RECT cell = [&] {
        RECT rc{};
        m_list.GetSubItemRect(2, 3, LVIR_LABEL, &rc);
        return rc;
    }();
    const POINT inSquare{cell.left + 8, (cell.top + cell.bottom) / 2};
    Click(inSquare);
    PumpFor(20);
    EXPECT_EQ(m_list.GetCellCheck(2, 3), 1);
    EXPECT_EQ(m_parent.Count(CMD_CLICK), 0); // a box click is no cell click
    Click(inSquare);
    PumpFor(20);
    EXPECT_EQ(m_list.GetCellCheck(2, 3), 0);
    Click(POINT{cell.left + 40, inSquare.y});
    PumpFor(20);
    EXPECT_EQ(m_list.GetCellCheck(2, 3), 0);
    EXPECT_EQ(m_parent.Count(CMD_CLICK), 1);
}

TEST_F(InputFixture, PlatformCheckBoxClicksToggleOnce)
{
    m_list.SetCheckBoxes(true);
    const int y = CellCentre(3, 0).y;
    // Inside the platform's state icon (which flips it too) and right of it, inside the square.
    for (int x : {4, 19}) {
        const BOOL before = m_list.GetCheck(3);
        Click(POINT{x, y});
        PumpFor(20);
        EXPECT_NE(m_list.GetCheck(3), before) << "x " << x;
    }
    EXPECT_EQ(m_parent.Count(CMD_CLICK), 0);
}

TEST_F(InputFixture, FitLastColumnFillsTheClientWidth)
{
    RECT client;
    m_list.GetClientRect(&client);
    m_list.FitLastColumn();
    EXPECT_EQ(m_list.GetColumnWidth(3), client.right - (100 + 120 + 120) - 1);

    m_list.SetResizableColumns(false); // the program may still set widths
    m_list.SetColumnWidth(0, 50);
    EXPECT_EQ(m_list.GetColumnWidth(0), 50);
    m_list.FitLastColumn();
    EXPECT_EQ(m_list.GetColumnWidth(3), client.right - (50 + 120 + 120) - 1);

    m_list.DeleteAllItems();
    m_list.FitLastColumn();
    EXPECT_EQ(m_list.GetColumnWidth(3), client.right - (50 + 120 + 120) - 2);

    // Columns wider than the list leave the last one alone.
    m_list.SetColumnWidth(1, 900);
    m_list.FitLastColumn();
    EXPECT_GT(m_list.GetColumnWidth(3), 0);
}

TEST_F(InputFixture, AutoFitOnResize)
{
    m_list.SetAutoFitLastColumn(true, 1000);
    m_list.MoveWindow(10, 10, 500, 300);
    RECT client;
    m_list.GetClientRect(&client);
    EXPECT_EQ(m_list.GetColumnWidth(3), client.right - (100 + 120 + 120) - 1);
}

// Drags the divider after column 0 by 40 pixels with header mouse messages.
void DragDivider(HWND hHeader, int x)
{
    const int y = 5;
    ::SendMessageW(hHeader, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    ::SendMessageW(hHeader, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x + 20, y));
    ::SendMessageW(hHeader, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x + 40, y));
    ::SendMessageW(hHeader, WM_LBUTTONUP, 0, MAKELPARAM(x + 40, y));
}

TEST_F(InputFixture, DividerDragRefusedWhileNotResizable)
{
    HWND hHeader = m_list.GetHeaderCtrl();
    m_list.SetResizableColumns(false);
    DragDivider(hHeader, 100);
    PumpFor(20);
    EXPECT_EQ(m_list.GetColumnWidth(0), 100);

    m_list.SetResizableColumns(true);
    DragDivider(hHeader, 100);
    PumpFor(20);
    EXPECT_EQ(m_list.GetColumnWidth(0), 140);
}

TEST_F(InputFixture, HoverFollowsTheMouseUnlessLocked)
{
    const POINT pt = CellCentre(2, 1);
    m_list.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(pt.x, pt.y));
    EXPECT_EQ(m_list.GetHoverRow(), -1); // not tracking
    EXPECT_EQ(m_list.GetHoverCol(), 1);
    m_list.SetHoverTrack(true);
    const POINT other = CellCentre(4, 2);
    m_list.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(other.x, other.y));
    EXPECT_EQ(m_list.GetHoverRow(), 4);
    m_list.SendMessage(WM_MOUSELEAVE);
    EXPECT_EQ(m_list.GetHoverRow(), -1);

    m_list.SetLocked(true);
    m_list.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(pt.x, pt.y));
    EXPECT_EQ(m_list.GetHoverRow(), -1);
}

TEST_F(InputFixture, CellSelectModeEnterAndArrowKeys)
{
    m_list.SetCellSelect(true);
    m_list.SetColumnEditKind(1, 0);
    Click(CellCentre(3, 0));
    PumpFor(20);
    ASSERT_EQ(m_list.GetCurCol(), 0);
    m_list.SetFocus();
    Key(m_list.m_hWnd, VK_LEFT); // wraps to the last column
    EXPECT_EQ(m_list.GetCurCol(), 3);
    Key(m_list.m_hWnd, VK_RIGHT);
    Key(m_list.m_hWnd, VK_RIGHT);
    EXPECT_EQ(m_list.GetCurCol(), 1);
    const int clicks = m_parent.Count(CMD_CLICK);
    ::PostMessageW(m_list.m_hWnd, WM_KEYDOWN, VK_RETURN, 1);
    PumpFor(60);
    EXPECT_EQ(m_parent.Count(CMD_CLICK), clicks + 1);
    ASSERT_NE(m_list.GetEditCtrl(), nullptr);
    EXPECT_TRUE(m_list.GetEditCtrl()->IsWindowVisible());
}

TEST_F(InputFixture, RightDoubleClickTogglesToolTips)
{
    ASSERT_NE(m_list.GetToolTip(), nullptr);
    EXPECT_TRUE(m_list.IsToolTipsOn());
    ::PostMessageW(m_list.m_hWnd, WM_RBUTTONDBLCLK, 0, MAKELPARAM(10, 40));
    PumpFor(20);
    EXPECT_FALSE(m_list.IsToolTipsOn());
}

// Posted timer ticks that reach any tool tip window of this thread within the given time.
int ToolTipTicks(DWORD nMs)
{
    int ticks = 0;
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < nMs) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            wchar_t name[64] = {};
            if (msg.message == WM_TIMER && msg.hwnd && ::GetClassNameW(msg.hwnd, name, 64) &&
                std::wstring(name) == TOOLTIPS_CLASSW)
                ++ticks;
            if (CWnd::WalkPreTranslateTree(&msg)) // where the list relays the pointer to its tip
                continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    return ticks;
}

TEST_F(InputFixture, ThePointerLyingStillOverACutCellEndsTheToolTipsPolling)
{
    ASSERT_NE(m_list.GetToolTip(), nullptr);
    ::SendMessageW(m_list.GetToolTip()->m_hWnd, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(300, 0));
    m_list.SetItemText(2, 1, L"a text far too long for its cell, shown whole by the tool tip");
    const POINT cell = CellCentre(2, 1);
    POINT screen = cell;
    ::ClientToScreen(m_list.m_hWnd, &screen);
    ::SetCursorPos(screen.x, screen.y);
    ::PostMessageW(m_list.m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(cell.x, cell.y));
    // The tip shows and pops; meanwhile the tool tip watches for the pointer leaving.
    ToolTipTicks(300 + CMyListCtrl::TIP_REST_EXTRA_MS + 400);
    EXPECT_EQ(ToolTipTicks(600), 0);

    // Moved: cell tips work again.
    ::SetCursorPos(screen.x + 1, screen.y);
    ::PostMessageW(m_list.m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(cell.x + 1, cell.y));
    PumpFor(100);
    ASSERT_NE(m_list.GetToolTip(), nullptr);
    TTTOOLINFOW info{};
    info.cbSize = sizeof info;
    info.uFlags = TTF_IDISHWND;
    info.hwnd = m_list.m_hWnd;
    info.uId = reinterpret_cast<UINT_PTR>(m_list.m_hWnd);
    wchar_t text[128] = {};
    info.lpszText = text;
    ::SendMessageW(m_list.GetToolTip()->m_hWnd, TTM_GETTEXTW, 128, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(std::wstring(text), L"a text far too long for its cell, shown whole by the tool tip");
    ::SetCursorPos(1000, 900);
}

TEST_F(InputFixture, ReplacingTheEditorKeepsTheCallersOwn)
{
    OpenEditByClick(1);
    Key(m_list.GetEditCtrl()->m_hWnd, VK_ESCAPE);
    HWND hOwn = m_list.GetEditCtrl()->m_hWnd;
    CEdit mine;
    const RECT rc{0, 0, 50, 20};
    ASSERT_TRUE(mine.Create(WS_CHILD | ES_AUTOHSCROLL, rc, &m_list, 1500));
    m_list.SetEditCtrl(&mine);
    EXPECT_FALSE(::IsWindow(hOwn)); // the control's own box is gone
    Click(CellCentre(5, 1));
    PumpFor(120);
    EXPECT_TRUE(mine.IsWindowVisible());
    EXPECT_EQ(mine.GetWindowText(), L"r5c1");
    m_list.SetEditCtrl(nullptr);
    EXPECT_TRUE(::IsWindow(mine.m_hWnd)); // the caller's stays
}

} // namespace
