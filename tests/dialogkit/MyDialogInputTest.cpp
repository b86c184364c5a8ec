// CMyDialog input side: commands, notification commands, wheel steps, edit-slider links,
// clipboard copies and the keyboard navigation left to the dialog manager.

#include "MyDialogTestSupport.h"

#include "controls/MyListCtrlIds.h"
#include "controls/SkinWindow.h"
#include "tests/support/TestClipboard.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace {

// Records every command with its wParam and lParam, and what reaches the base's command routing.
class CInputDialog : public CTestDialog {
  public:
    using CTestDialog::CTestDialog;

    std::vector<std::pair<WPARAM, LPARAM>> m_seen; // WM_COMMAND reaching OnCommand
    std::vector<UINT> m_routed;                    // ids reaching CWnd's command routing
    int m_nOk = 0;

    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override
    {
        m_seen.emplace_back(wParam, lParam);
        return CTestDialog::OnCommand(wParam, lParam);
    }
    BOOL OnCmdMsg(UINT nID, int nCode) override
    {
        m_routed.push_back(nID);
        return CTestDialog::OnCmdMsg(nID, nCode);
    }
    void OnOK() override
    {
        ++m_nOk;
        CTestDialog::OnOK();
    }

    bool Saw(WPARAM wParam, LPARAM lParam) const
    {
        return std::find(m_seen.begin(), m_seen.end(), std::make_pair(wParam, lParam)) != m_seen.end();
    }
    bool Routed(UINT nID) const { return std::find(m_routed.begin(), m_routed.end(), nID) != m_routed.end(); }
};

void SetClipboardMarker()
{
    if (!::OpenClipboard(nullptr))
        return;
    ::EmptyClipboard();
    const wchar_t kMarker[] = L"marker";
    if (HGLOBAL h = ::GlobalAlloc(GMEM_MOVEABLE, sizeof(kMarker))) {
        std::memcpy(::GlobalLock(h), kMarker, sizeof(kMarker));
        ::GlobalUnlock(h);
        ::SetClipboardData(CF_UNICODETEXT, h);
    }
    ::CloseClipboard();
}

// Holds keys down in this thread's key state for the lifetime of the object.
class CHeldKeys {
  public:
    explicit CHeldKeys(std::initializer_list<int> keys)
    {
        ::GetKeyboardState(m_saved);
        BYTE state[256];
        std::memcpy(state, m_saved, sizeof(state));
        for (int k : keys)
            state[k] = 0x80;
        ::SetKeyboardState(state);
    }
    ~CHeldKeys() { ::SetKeyboardState(m_saved); }
    CHeldKeys(const CHeldKeys&) = delete;
    CHeldKeys& operator=(const CHeldKeys&) = delete;

  private:
    BYTE m_saved[256] = {};
};

void AddColumn(HWND hList, int nIndex, const wchar_t* pszTitle)
{
    LVCOLUMNW col = {};
    col.mask = LVCF_TEXT | LVCF_WIDTH;
    col.cx = 60;
    col.pszText = const_cast<wchar_t*>(pszTitle);
    ::SendMessageW(hList, LVM_INSERTCOLUMNW, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(&col));
}

void AddRow(HWND hList, int nRow, const wchar_t* pszFirst, const wchar_t* pszSecond)
{
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = nRow;
    item.pszText = const_cast<wchar_t*>(pszFirst);
    ::SendMessageW(hList, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    item.iSubItem = 1;
    item.pszText = const_cast<wchar_t*>(pszSecond);
    ::SendMessageW(hList, LVM_SETITEMTEXTW, static_cast<WPARAM>(nRow), reinterpret_cast<LPARAM>(&item));
}

} // namespace

class CDialogInputTest : public CDialogTest {
  protected:
    void SetUp() override
    {
        CDialogTest::SetUp();
        ASSERT_TRUE(m_dlg.CreateModeless(nullptr));
        m_dlg.ShowWindow(SW_SHOW);
        Pump();
    }
    void TearDown() override
    {
        m_dlg.DestroyWindow();
        CDialogTest::TearDown();
    }
    HWND Item(int nID) const { return m_dlg.GetDlgItem(nID); }

    CInputDialog m_dlg;
};

TEST_F(CDialogInputTest, FrameworkCommandsStopBeforeTheBaseRoutingAndOthersReachIt)
{
    struct Case {
        const char* name;
        WPARAM wParam;
        LPARAM lParam;
        bool bRouted;
    };
    const Case cases[] = {
        {"notification range start", 19968, 0, false},
        {"command 20000", 20000, 0, false},
        {"notification range end", 20480, 0, false},
        {"reserved id", LIST_CMD_RESERVED, 0, false},
        {"lParam of no control", 5000, CONTROL_ID_NONE, false},
        {"ordinary command", 5001, 0, true},
        {"just above the range", 20481, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_dlg.m_routed.clear();
        m_dlg.SendMessage(WM_COMMAND, c.wParam, c.lParam);
        EXPECT_TRUE(m_dlg.Saw(c.wParam, c.lParam));
        EXPECT_EQ(m_dlg.Routed(LOWORD(c.wParam)), c.bRouted);
    }
}

TEST_F(CDialogInputTest, OkAndCancelStillEndTheDialogAndEnterEscapeReachThem)
{
    // Enter in the edit is the default button, through the dialog manager as before.
    ::SetFocus(Item(IDC_MYDLG_EDIT));
    ::PostMessageW(Item(IDC_MYDLG_EDIT), WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_TRUE(PumpUntil([&] { return m_dlg.m_nOk > 0; }));
    EXPECT_TRUE(m_dlg.Saw(IDOK, reinterpret_cast<LPARAM>(Item(IDOK))) || m_dlg.Saw(IDOK, 0));

    m_dlg.ShowWindow(SW_SHOW);
    ::SetFocus(Item(IDC_MYDLG_EDIT));
    m_dlg.m_seen.clear();
    ::PostMessageW(Item(IDC_MYDLG_EDIT), WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(PumpUntil([&] {
        return std::any_of(m_dlg.m_seen.begin(), m_dlg.m_seen.end(),
                           [](const auto& s) { return LOWORD(s.first) == IDCANCEL; });
    }));
    EXPECT_FALSE(m_dlg.IsWindowVisible()); // a modeless dialog ends by hiding
}

TEST_F(CDialogInputTest, EmbeddedChildPostsOkToItsParentAndKeepsRunning)
{
    CMyDialog* pChild = m_dlg.EmbedChildDialog(IDD_MYDLG_CHILD, TRUE);
    ASSERT_NE(pChild, nullptr);
    pChild->SendMessage(WM_COMMAND, IDOK, 0);
    EXPECT_FALSE(m_dlg.Saw(IDOK, 0)); // posted, not sent
    ASSERT_TRUE(PumpUntil([&] { return m_dlg.Saw(IDOK, 0); }));
    EXPECT_TRUE(pChild->IsWindow());
    EXPECT_NE(pChild->GetStyle() & WS_VISIBLE, 0u); // the parent may hide itself on OK

    // Other commands of an embedded dialog go to the parent too.
    pChild->SendMessage(WM_COMMAND, 5001, 0);
    EXPECT_TRUE(PumpUntil([&] { return m_dlg.Saw(5001, 0); }));

    // A left release and a scroll inside it are reported to the parent with the control's id.
    HWND hChildEdit = pChild->GetDlgItem(IDC_MYDLG_CHILD_EDIT);
    ::PostMessageW(hChildEdit, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    EXPECT_TRUE(PumpUntil([&] { return m_dlg.Saw(20477, IDC_MYDLG_CHILD_EDIT); }));
    pChild->SendMessage(WM_VSCROLL, SB_LINEDOWN, reinterpret_cast<LPARAM>(hChildEdit));
    EXPECT_TRUE(PumpUntil([&] { return m_dlg.Saw(20479, IDC_MYDLG_CHILD_EDIT); }));
    // Dropped files reach the parent as files dropped on it.
    pChild->SendMessage(WM_DROPFILES, 0x5A5A, 0);
    EXPECT_TRUE(PumpUntil([&] { return m_dlg.Saw(20467, 0x5A5A); }));
}

TEST_F(CDialogInputTest, MouseButtonsPostNotificationsWithTheControlId)
{
    struct Case {
        UINT message;
        WPARAM nNotify;
    };
    const Case cases[] = {{WM_RBUTTONDOWN, 20475},   {WM_RBUTTONUP, 20474},   {WM_RBUTTONDBLCLK, 20473},
                          {WM_LBUTTONDBLCLK, 20476}, {WM_LBUTTONDOWN, 20478}, {WM_MOUSEHOVER, 20472},
                          {WM_MOUSELEAVE, 20471}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        ::PostMessageW(Item(IDC_MYDLG_PROGRESS), c.message, 0, MAKELPARAM(2, 2));
        EXPECT_TRUE(PumpUntil([&] { return m_dlg.Saw(c.nNotify, IDC_MYDLG_PROGRESS); }));
    }
    EXPECT_EQ(m_dlg.GetLastClickedId(), IDC_MYDLG_PROGRESS);
}

TEST_F(CDialogInputTest, WheelStepsChangeIntegerAndRealEdits)
{
    HWND hEdit = Item(IDC_MYDLG_EDIT);
    m_dlg.SetWheelStep(IDC_MYDLG_EDIT, 5, FALSE);
    ::SetWindowTextW(hEdit, L"20");
    m_dlg.m_seen.clear();
    ::PostMessageW(hEdit, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
    ASSERT_TRUE(PumpUntil([&] { return m_dlg.Saw(20470, IDC_MYDLG_EDIT); }));
    EXPECT_EQ(TextOf(hEdit), L"15");
    EXPECT_TRUE(PumpUntil([&] { return m_dlg.Saw(MAKEWPARAM(IDC_MYDLG_EDIT, EN_CHANGE), 0); }));
    EXPECT_EQ(m_dlg.GetLastWheelDelta(), WHEEL_DELTA);

    // Backward adds; negative values stay signed.
    ::SetWindowTextW(hEdit, L"-3");
    ::PostMessageW(hEdit, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0);
    PumpUntil([&] { return TextOf(hEdit) != L"-3"; });
    EXPECT_EQ(TextOf(hEdit), L"2");

    m_dlg.SetWheelStep(IDC_MYDLG_EDIT, 0.5, TRUE);
    ::SetWindowTextW(hEdit, L"1.25");
    ::PostMessageW(hEdit, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
    PumpUntil([&] { return TextOf(hEdit) != L"1.25"; });
    EXPECT_EQ(TextOf(hEdit), L"0.75000000000000");

    // An edit without a step keeps its text but still reports the wheel.
    ::SetWindowTextW(Item(IDC_MYDLG_READONLY), L"7");
    ::PostMessageW(Item(IDC_MYDLG_READONLY), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
    EXPECT_TRUE(PumpUntil([&] { return m_dlg.Saw(20470, IDC_MYDLG_READONLY); }));
    EXPECT_EQ(TextOf(Item(IDC_MYDLG_READONLY)), L"7");
}

TEST_F(CDialogInputTest, EditAndLinkedSliderMoveEachOther)
{
    HWND hSlider = Item(IDC_MYDLG_SLIDER);
    ::SendMessageW(hSlider, TBM_SETRANGE, TRUE, MAKELPARAM(0, 1000));
    m_dlg.LinkEditSlider(IDC_MYDLG_SLIDER, IDC_MYDLG_EDIT, 0.01f);

    ::SetWindowTextW(Item(IDC_MYDLG_EDIT), L"1.25"); // the edit notifies EN_CHANGE itself
    Pump();
    EXPECT_EQ(::SendMessageW(hSlider, TBM_GETPOS, 0, 0), 125);

    ::SendMessageW(hSlider, TBM_SETPOS, TRUE, 310);
    m_dlg.SendMessage(WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 310), reinterpret_cast<LPARAM>(hSlider));
    EXPECT_EQ(TextOf(Item(IDC_MYDLG_EDIT)), L"3.10");

    // A whole step writes integers.
    m_dlg.LinkEditSlider(IDC_MYDLG_SLIDER, IDC_MYDLG_EDIT, 2.0f);
    m_dlg.SendMessage(WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(hSlider));
    EXPECT_EQ(TextOf(Item(IDC_MYDLG_EDIT)), L"620");
}

TEST_F(CDialogInputTest, CtrlKeysCopyListViewsAndComboBoxes)
{
    HWND hList = Item(IDC_MYDLG_LIST);
    AddColumn(hList, 0, L"A");
    AddColumn(hList, 1, L"B");
    AddRow(hList, 0, L"1", L"2");

    SetClipboardMarker();
    {
        CHeldKeys ctrl({VK_CONTROL});
        ::PostMessageW(hList, WM_KEYUP, 'C', 0);
        Pump();
    }
    EXPECT_EQ(ClipboardText(), L"A,B\r\n1,2\r\n");

    // S copies only the selected rows.
    AddRow(hList, 1, L"3", L"4");
    LVITEMW sel = {};
    sel.stateMask = LVIS_SELECTED;
    sel.state = LVIS_SELECTED;
    ::SendMessageW(hList, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&sel));
    {
        CHeldKeys ctrl({VK_CONTROL});
        ::PostMessageW(hList, WM_KEYUP, 'S', 0);
        Pump();
    }
    EXPECT_EQ(ClipboardText(), L"A,B\r\n3,4\r\n");

    // Combo box: A copies every entry, C the selected one.
    HWND hCombo = Item(IDC_MYDLG_COMBO);
    ::SendMessageW(hCombo, CB_RESETCONTENT, 0, 0);
    ::SendMessageW(hCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"one"));
    ::SendMessageW(hCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"two"));
    ::SendMessageW(hCombo, CB_SETCURSEL, 1, 0);
    {
        CHeldKeys ctrl({VK_CONTROL});
        ::PostMessageW(hCombo, WM_KEYUP, 'A', 0);
        Pump();
        EXPECT_EQ(ClipboardText(), L"one\r\ntwo\r\n");
        ::PostMessageW(hCombo, WM_KEYUP, 'C', 0);
        Pump();
        EXPECT_EQ(ClipboardText(), L"two");
    }

    // Without Ctrl nothing is copied; an empty combo box leaves the clipboard alone.
    SetClipboardMarker();
    ::PostMessageW(hList, WM_KEYUP, 'C', 0);
    Pump();
    EXPECT_EQ(ClipboardText(), L"marker");
    ::SendMessageW(hCombo, CB_RESETCONTENT, 0, 0);
    {
        CHeldKeys ctrl({VK_CONTROL});
        ::PostMessageW(hCombo, WM_KEYUP, 'A', 0);
        Pump();
    }
    EXPECT_EQ(ClipboardText(), L"marker");
}

TEST_F(CDialogInputTest, WindowCommandsStopHereAndDeviceChangeIsReported)
{
    // The skinned buttons' tool tips are topmost windows owned by the dialog and lie above it:
    // Wine's owned-window ordering must not leave the dialog without WS_EX_TOPMOST.
    auto topmost = [](HWND h) { return (::GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; };
    std::vector<HWND> owned;
    for (HWND h = ::GetWindow(m_dlg.m_hWnd, GW_HWNDFIRST); h; h = ::GetWindow(h, GW_HWNDNEXT))
        if (::GetWindow(h, GW_OWNER) == m_dlg.m_hWnd)
            owned.push_back(h);
    ASSERT_FALSE(owned.empty());
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        m_dlg.SendMessage(WM_COMMAND, CMyDialog::CMD_TOGGLE_TOPMOST, 0);
        EXPECT_TRUE(m_dlg.IsOnTop());
        EXPECT_TRUE(topmost(m_dlg.m_hWnd));
        for (HWND h : owned) {
            EXPECT_EQ(::GetWindow(h, GW_OWNER), m_dlg.m_hWnd);
            EXPECT_TRUE(topmost(h));
        }
        m_dlg.SendMessage(WM_COMMAND, CMyDialog::CMD_TOGGLE_TOPMOST, 0);
        EXPECT_FALSE(m_dlg.IsOnTop());
        EXPECT_FALSE(topmost(m_dlg.m_hWnd));
    }
    EXPECT_TRUE(m_dlg.Saw(CMyDialog::CMD_TOGGLE_TOPMOST, 0));
    EXPECT_FALSE(m_dlg.Routed(CMyDialog::CMD_TOGGLE_TOPMOST));

    // 18687 maximises and restores through the framework's flag.
    m_dlg.SendMessage(WM_COMMAND, CMyDialog::CMD_TOGGLE_MAXIMISE, 0);
    EXPECT_TRUE(::IsZoomed(m_dlg.m_hWnd));
    m_dlg.SendMessage(WM_COMMAND, CMyDialog::CMD_TOGGLE_MAXIMISE, 0);
    EXPECT_FALSE(::IsZoomed(m_dlg.m_hWnd));
    EXPECT_FALSE(m_dlg.Routed(CMyDialog::CMD_TOGGLE_MAXIMISE));

    m_dlg.SendMessage(WM_DEVICECHANGE, 0x8004, 0);
    m_dlg.SendMessage(WM_DEVICECHANGE, 0x8000, 0);
    EXPECT_TRUE(PumpUntil([&] { return m_dlg.Saw(20469, 0) && m_dlg.Saw(20469, 1); }));

    m_dlg.SendMessage(WM_COMMAND, CMyDialog::CMD_MINIMISE, 0);
    EXPECT_TRUE(PumpUntil([&] { return ::IsIconic(m_dlg.m_hWnd) != FALSE; }, 1000));

    // 18688 closes: a modeless dialog's close is its Cancel, which hides it.
    m_dlg.ShowWindow(SW_RESTORE);
    Pump();
    m_dlg.m_seen.clear();
    m_dlg.SendMessage(WM_COMMAND, CMyDialog::CMD_CLOSE, 0);
    EXPECT_TRUE(PumpUntil([&] {
        return std::any_of(m_dlg.m_seen.begin(), m_dlg.m_seen.end(),
                           [](const auto& s) { return LOWORD(s.first) == IDCANCEL; });
    }));
    EXPECT_FALSE(m_dlg.IsWindowVisible());
    EXPECT_FALSE(m_dlg.Routed(CMyDialog::CMD_CLOSE));
}

TEST_F(CDialogInputTest, CtrlMouseCopiesWindowTextsAndCtrlLCopiesTheSelectedColumn)
{
    // Ctrl+C with a left press copies the text of the window pressed.
    SetClipboardMarker();
    {
        CHeldKeys keys({VK_CONTROL, 'C'});
        ::PostMessageW(Item(IDC_MYDLG_STATIC), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1));
        Pump();
    }
    EXPECT_EQ(ClipboardText(), L"Label");

    // Ctrl+A over a drag copies the texts of the children with a corner inside the span.
    RECT first = PlaceOf(Item(IDC_MYDLG_STATIC));
    RECT second = PlaceOf(Item(IDC_MYDLG_STATIC2));
    auto dragWith = [&](std::initializer_list<int> keys, POINT from, POINT to) {
        CHeldKeys held(keys);
        ::PostMessageW(m_dlg.m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from.x, from.y));
        ::PostMessageW(m_dlg.m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(to.x, to.y));
        Pump();
    };
    const POINT from{first.left - 2, first.top - 2};
    const POINT to{second.right + 2, second.bottom + 2};
    SetClipboardMarker();
    dragWith({VK_CONTROL}, from, to); // Ctrl alone copies nothing
    EXPECT_EQ(ClipboardText(), L"marker");
    dragWith({VK_CONTROL, 'A'}, from, to);
    EXPECT_EQ(ClipboardText(), L"Label\r\nSecond\r\n");
    // A span that holds no corner leaves the clipboard alone.
    SetClipboardMarker();
    dragWith({VK_CONTROL, 'A'}, POINT{first.left + 2, first.top + 2}, POINT{first.left + 3, first.top + 3});
    EXPECT_EQ(ClipboardText(), L"marker");

    // Ctrl+L copies the list's selected column: its title, then each row's cell.
    HWND hList = Item(IDC_MYDLG_LIST);
    AddColumn(hList, 0, L"A");
    AddColumn(hList, 1, L"B");
    AddRow(hList, 0, L"1", L"2");
    AddRow(hList, 1, L"3", L"4");
    {
        CHeldKeys ctrl({VK_CONTROL});
        ::PostMessageW(hList, WM_KEYUP, 'L', 0); // no selected column yet
        Pump();
        EXPECT_EQ(ClipboardText(), L"marker");
        ::SendMessageW(hList, LVM_SETSELECTEDCOLUMN, 1, 0);
        ::PostMessageW(hList, WM_KEYUP, 'L', 0);
        Pump();
    }
    EXPECT_EQ(ClipboardText(), L"B\r\n2\r\n4\r\n");
}

TEST_F(CDialogInputTest, LeftReleaseFindsTheControlUnderThePointerAmongTheDialogsOwnOnly)
{
    // A press on the progress bar marks the last clicked id; a release that finds no control
    // leaves it so.
    auto markPress = [&] {
        ::PostMessageW(Item(IDC_MYDLG_PROGRESS), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1));
        Pump();
        ASSERT_EQ(m_dlg.GetLastClickedId(), IDC_MYDLG_PROGRESS);
    };
    auto releaseOn = [&](HWND hTarget, POINT cursor) {
        ::SetCursorPos(cursor.x, cursor.y);
        m_dlg.m_seen.clear();
        ::PostMessageW(hTarget, WM_LBUTTONUP, 0, MAKELPARAM(1, 1));
        Pump();
    };
    const LPARAM kClick = 0;

    {
        SCOPED_TRACE("a control under the pointer, the release on it");
        markPress();
        releaseOn(Item(IDC_MYDLG_STATIC2), CentreOf(Item(IDC_MYDLG_STATIC2)));
        EXPECT_EQ(m_dlg.GetLastClickedId(), IDC_MYDLG_STATIC2);
        EXPECT_TRUE(m_dlg.Saw(CMyDialog::NOTIFY_CLICK, kClick));
    }
    {
        SCOPED_TRACE("an edit under the pointer, the release on the dialog itself");
        markPress();
        releaseOn(m_dlg.m_hWnd, CentreOf(Item(IDC_MYDLG_EDIT)));
        EXPECT_EQ(m_dlg.GetLastClickedId(), IDC_MYDLG_EDIT);
        EXPECT_EQ(m_dlg.GetLastClickedEditId(), IDC_MYDLG_EDIT);
        EXPECT_TRUE(m_dlg.Saw(CMyDialog::NOTIFY_CLICK, kClick));
    }
    {
        SCOPED_TRACE("a top-level window with a menu next below the dialog, under the pointer");
        HMENU hMenu = ::CreateMenu();
        HWND hOther =
            ::CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"STATIC", L"other program",
                              WS_POPUP | WS_VISIBLE, 900, 700, 200, 150, nullptr, hMenu, nullptr, nullptr);
        ASSERT_NE(hOther, nullptr);
        ::SetWindowPos(hOther, m_dlg.m_hWnd, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        EXPECT_EQ(::GetWindow(m_dlg.m_hWnd, GW_HWNDNEXT), hOther);
        EXPECT_GT(::GetDlgCtrlID(hOther), 0);
        markPress();
        releaseOn(m_dlg.m_hWnd, CentreOf(hOther));
        EXPECT_EQ(m_dlg.GetLastClickedId(), IDC_MYDLG_PROGRESS);
        EXPECT_FALSE(m_dlg.Saw(CMyDialog::NOTIFY_CLICK, kClick));
        ::DestroyWindow(hOther); // destroys its menu too
    }
    {
        SCOPED_TRACE("an embedded dialog released on itself, the pointer over its parent's control");
        CMyDialog* pChild = m_dlg.EmbedChildDialog(IDD_MYDLG_CHILD, TRUE);
        ASSERT_NE(pChild, nullptr);
        // On top of the parent's controls, which follow it as siblings.
        ::SetWindowPos(pChild->m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        RECT child{};
        ::GetWindowRect(pChild->m_hWnd, &child);
        const POINT overParent = CentreOf(Item(IDC_MYDLG_LISTBOX));
        ASSERT_FALSE(::PtInRect(&child, overParent));
        releaseOn(pChild->m_hWnd, overParent);
        EXPECT_EQ(pChild->GetLastClickedId(), 0);
        // Its own control under the pointer is found.
        releaseOn(pChild->m_hWnd, CentreOf(pChild->GetDlgItem(IDC_MYDLG_CHILD_EDIT)));
        EXPECT_EQ(pChild->GetLastClickedId(), IDC_MYDLG_CHILD_EDIT);
        EXPECT_EQ(pChild->GetLastClickedEditId(), IDC_MYDLG_CHILD_EDIT);
    }
    ParkCursorAway();
}

TEST_F(CDialogInputTest, TrayMessagesRestoreTheWindowAndAreReported)
{
    const UINT nTrayMessage = WM_APP + 17;
    HICON hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
    EXPECT_TRUE(m_dlg.ShowTrayIcon(NIM_ADD, L"Larkvane tray tip", hIcon, nTrayMessage));
    EXPECT_TRUE(m_dlg.HasTrayIcon());

    // A click on the icon brings a hidden window back and is reported with the mouse message.
    m_dlg.ShowWindow(SW_HIDE);
    m_dlg.SendMessage(nTrayMessage, 0, WM_LBUTTONDOWN);
    EXPECT_TRUE(m_dlg.IsWindowVisible());
    EXPECT_TRUE(PumpUntil([&] { return m_dlg.Saw(20468, WM_LBUTTONDOWN); }));
    // Without restoring, only the report; a mouse move never restores.
    m_dlg.SetRestoreOnTrayClick(FALSE);
    m_dlg.ShowWindow(SW_HIDE);
    m_dlg.SendMessage(nTrayMessage, 0, WM_RBUTTONDOWN);
    m_dlg.SetRestoreOnTrayClick(TRUE);
    m_dlg.SendMessage(nTrayMessage, 0, WM_MOUSEMOVE);
    EXPECT_TRUE(
        PumpUntil([&] { return m_dlg.Saw(20468, WM_RBUTTONDOWN) && m_dlg.Saw(20468, WM_MOUSEMOVE); }));
    EXPECT_FALSE(m_dlg.IsWindowVisible());

    // The tip is kept and modified in place; deleting takes the icon away.
    EXPECT_TRUE(m_dlg.ShowTrayIcon(NIM_MODIFY, L"another tip"));
    EXPECT_TRUE(m_dlg.ShowTrayIcon(NIM_DELETE));
    EXPECT_FALSE(m_dlg.HasTrayIcon());
    m_dlg.ShowWindow(SW_SHOW);
}

TEST_F(CDialogInputTest, AutoStartBoxShowsAndSwitchesTheStartUpEntry)
{
    SetAutoRun(L"", false, L"", std::nullopt, false); // start without the entry
    HWND hBox = Item(IDC_MYDLG_CHECK);
    ::SendMessageW(hBox, BM_SETCHECK, BST_CHECKED, 0);
    m_dlg.RegisterStateCheckBoxes(IDC_MYDLG_CHECK, -1);
    EXPECT_EQ(::SendMessageW(hBox, BM_GETCHECK, 0, 0), BST_UNCHECKED); // the box shows the entry

    ::SendMessageW(hBox, BM_CLICK, 0, 0);
    Pump();
    EXPECT_EQ(::SendMessageW(hBox, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(IsAutoRun(L"", L"", false));
    ::SendMessageW(hBox, BM_CLICK, 0, 0);
    Pump();
    EXPECT_FALSE(IsAutoRun(L"", L"", false));
}
