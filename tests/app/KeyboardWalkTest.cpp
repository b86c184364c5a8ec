// The tool without a mouse, in process against the simulator's default fleet: keys are posted to
// the window with the focus and go through the dialogs' pre-translation as the message loop sends
// them. One walk finds the cameras, changes one, re-addresses a group and exports the list; the
// camera list's own keys (arrows, Home, End, Page, F2, the menu key, Shift+F10) have cases of their own.
#include "SettingsTestSupport.h"
#include "AppTestSupport.h"

#include "app/DeviceSetDlg.h"
#include "app/GroupSetDlg.h"
#include "app/MainDlg.h"
#include "app/resource.h"
#include "controls/MyListCtrl.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

using apptest::FindRow;
using apptest::RowCount;
using apptest::RowTexts;

namespace {

// The main window with the menu's choice and the save dialog answered by the test.
class CKeyboardMainDlg : public CMainDlg {
  public:
    int m_nMenuChoice = 0;
    int m_nMenusShown = 0;
    POINT m_ptMenu{};
    std::wstring m_strExportPath;

  protected:
    int ChooseMenuCommand(HMENU, POINT ptScreen) override
    {
        ++m_nMenusShown;
        m_ptMenu = ptScreen;
        return m_nMenuChoice;
    }
    std::wstring AskExportPath() override { return m_strExportPath; }
};

class KeyboardWalk : public CSettingsTest {
  protected:
    static void SetUpTestSuite()
    {
        CSettingsTest::SetUpTestSuite();
        s_pMain = new CKeyboardMainDlg();
        ASSERT_TRUE(s_pMain->CreateModeless(nullptr));
        s_pMain->ShowWindow(SW_SHOW);
        PumpFor(300);
    }
    static void TearDownTestSuite()
    {
        if (s_pMain) {
            s_pMain->DestroyWindow();
            delete s_pMain;
            s_pMain = nullptr;
        }
    }
    void SetUp() override
    {
        CSettingsTest::SetUp();
        ASSERT_NE(s_pMain, nullptr);
        CMyDialog::SetGlobalLanguage(0);
        ::SetForegroundWindow(Main());
        ::SetFocus(List());
        Pump();
    }

    static HWND Main() { return s_pMain->GetSafeHwnd(); }
    static HWND List() { return ::GetDlgItem(Main(), IDC_MAIN_LIST); }
    static HWND GroupDlg() { return s_pMain->GetGroupSetDlg()->GetSafeHwnd(); }
    static HWND SingleDlg() { return s_pMain->GetDeviceSetDlg()->GetSafeHwnd(); }
    static int FocusedRow(HWND hList) { return ListView_GetNextItem(hList, -1, LVNI_FOCUSED); }

    // One key pressed and released on the window with the focus, with Shift held or not.
    static void Press(UINT vk, bool bShift = false, bool bSys = false)
    {
        BYTE state[256] = {};
        ::GetKeyboardState(state);
        state[VK_SHIFT] = bShift ? 0x80 : 0;
        ::SetKeyboardState(state);
        HWND hTo = ::GetFocus();
        ::PostMessageW(hTo, bSys ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, 1);
        ::PostMessageW(hTo, bSys ? WM_SYSKEYUP : WM_KEYUP, vk, 0xC0000001);
        Pump();
        state[VK_SHIFT] = 0;
        ::SetKeyboardState(state);
        Pump();
    }
    static void Type(const std::wstring& text)
    {
        for (wchar_t c : text)
            ::PostMessageW(::GetFocus(), WM_CHAR, c, 1);
        Pump();
    }
    // Tab (or Shift+Tab) until the control has the focus; false after a full round without it.
    static bool TabTo(HWND hDlg, int nID, bool bBack = false)
    {
        HWND hWant = ::GetDlgItem(hDlg, nID);
        for (int i = 0; i < 40 && ::GetFocus() != hWant; ++i)
            Press(VK_TAB, bBack);
        return ::GetFocus() == hWant;
    }
    // The edit with the focus emptied and typed into, as Home, Shift+End and typing do.
    static void Retype(const std::wstring& text)
    {
        Press(VK_HOME);
        Press(VK_END, true);
        Type(text);
    }
    static std::wstring SelSerial() { return WideFieldText(s_pMain->GetSelDevice().message.idSerial); }
    // Rescans with Enter from the list and waits for the whole fleet.
    void FindCameras()
    {
        ASSERT_EQ(m_sim.Command("reset"), "ok 12");
        ASSERT_TRUE(m_sim.ClearLog());
        ::SetFocus(List());
        Press(VK_RETURN);
        m_sim.WaitForLog([](const auto& log) { return CCamSimClient::CountType(log, MSG_GET) >= 2; }, 3000);
        ASSERT_TRUE(PumpUntil([] { return RowCount(List()) == 12; }, 8000)) << RowCount(List());
        PumpFor(300);
    }

    static void OpenGroupForKeys()
    {
        ::SendMessageW(Main(), WM_COMMAND, MAKEWPARAM(IDC_MAIN_GROUP, BN_CLICKED), 0);
        Pump();
    }

    static inline CKeyboardMainDlg* s_pMain = nullptr;
};

TEST_F(KeyboardWalk, ListKeysMoveTheChosenCamera)
{
    FindCameras();
    const int rows = RowCount(List());
    struct Case {
        const char* name;
        UINT vk;
        int expected; // -2: the last row
    };
    const Case cases[] = {
        {"Home", VK_HOME, 0}, {"Down", VK_DOWN, 1},     {"Down again", VK_DOWN, 2}, {"Up", VK_UP, 1},
        {"End", VK_END, -2},  {"Page Up", VK_PRIOR, 0}, {"Page Down", VK_NEXT, -2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Press(c.vk);
        const int want = c.expected == -2 ? rows - 1 : c.expected;
        ASSERT_EQ(FocusedRow(List()), want);
        // The camera the keys moved to is the one "编辑 ..." and "打开网页 ..." act on.
        EXPECT_EQ(SelSerial(), RowTexts(List(), want, 4)[3]);
        EXPECT_EQ(s_pMain->GetDeviceList()->GetCurRow(), want);
    }
}

// The pixels of the row's outline as the list paints itself (WM_PRINTCLIENT).
std::vector<COLORREF> RowOutline(HWND hList, int nRow)
{
    RECT rcClient{}, rcRow{};
    ::GetClientRect(hList, &rcClient);
    ListView_GetItemRect(hList, nRow, &rcRow, LVIR_BOUNDS);
    HDC hScreen = ::GetDC(hList);
    HDC hMem = ::CreateCompatibleDC(hScreen);
    HBITMAP hBitmap = ::CreateCompatibleBitmap(hScreen, rcClient.right, rcClient.bottom);
    HGDIOBJ hOld = ::SelectObject(hMem, hBitmap);
    ::SendMessageW(hList, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(hMem), PRF_CLIENT | PRF_ERASEBKGND);
    std::vector<COLORREF> pixels;
    for (int x = rcRow.left; x < std::min(rcRow.right, rcClient.right); ++x) {
        pixels.push_back(::GetPixel(hMem, x, rcRow.top));
        pixels.push_back(::GetPixel(hMem, x, rcRow.bottom - 2));
    }
    ::SelectObject(hMem, hOld);
    ::DeleteObject(hBitmap);
    ::DeleteDC(hMem);
    ::ReleaseDC(hList, hScreen);
    return pixels;
}

TEST_F(KeyboardWalk, TheFocusedRowIsOutlinedWhileTheListHasTheFocus)
{
    FindCameras();
    struct Case {
        const char* name;
        HWND hDlg;
        int nListId;
    };
    OpenGroupForKeys();
    for (const Case& c :
         {Case{"camera list", Main(), IDC_MAIN_LIST}, Case{"group list", GroupDlg(), IDC_GRP_LIST}}) {
        SCOPED_TRACE(c.name);
        HWND hList = ::GetDlgItem(c.hDlg, c.nListId);
        ::SetForegroundWindow(c.hDlg);
        ::SetFocus(hList);
        Press(VK_HOME);
        Press(VK_DOWN);
        ASSERT_EQ(FocusedRow(hList), 1);
        const std::vector<COLORREF> focused = RowOutline(hList, 1);
        const std::vector<COLORREF> other = RowOutline(hList, 2);
        ::SetFocus(nullptr);
        Pump();
        EXPECT_NE(focused, RowOutline(hList, 1)) << "no focus rectangle drawn round the focused row";
        EXPECT_EQ(other, RowOutline(hList, 2)) << "a row without the focus changed";
    }
    ::ShowWindow(GroupDlg(), SW_HIDE);
}

// The dialog's visible, enabled tab stops in reading order: rows from top to bottom (a control
// whose middle lies above the bottom of a row's first control belongs to that row), each row from
// left to right.
std::vector<int> ReadingOrder(HWND hDlg)
{
    struct Stop {
        int id;
        RECT rc;
    };
    std::vector<Stop> stops;
    for (HWND h = ::GetWindow(hDlg, GW_CHILD); h; h = ::GetWindow(h, GW_HWNDNEXT))
        if ((::GetWindowLongW(h, GWL_STYLE) & WS_TABSTOP) && ::IsWindowVisible(h) && ::IsWindowEnabled(h)) {
            Stop stop{::GetDlgCtrlID(h), {}};
            ::GetWindowRect(h, &stop.rc);
            stops.push_back(stop);
        }
    std::stable_sort(stops.begin(), stops.end(),
                     [](const Stop& a, const Stop& b) { return a.rc.top < b.rc.top; });
    std::vector<int> order;
    for (size_t first = 0; first < stops.size();) {
        size_t end = first + 1;
        while (end < stops.size() && (stops[end].rc.top + stops[end].rc.bottom) / 2 < stops[first].rc.bottom)
            ++end;
        std::stable_sort(stops.begin() + static_cast<std::ptrdiff_t>(first),
                         stops.begin() + static_cast<std::ptrdiff_t>(end),
                         [](const Stop& a, const Stop& b) { return a.rc.left < b.rc.left; });
        for (size_t i = first; i < end; ++i)
            order.push_back(stops[i].id);
        first = end;
    }
    return order;
}

TEST_F(KeyboardWalk, TabAndShiftTabVisitEveryControlInReadingOrder)
{
    OpenGroupForKeys();
    s_pMain->GetDeviceSetDlg()->ShowWindow(SW_SHOW);
    struct Case {
        const char* name;
        HWND hDlg;
        bool bRows; // laid out in rows; the single-camera dialog reads group box by group box
    };
    for (const Case& c : {Case{"main window", Main(), true}, Case{"group dialog", GroupDlg(), true},
                          Case{"single-camera dialog", SingleDlg(), false}}) {
        SCOPED_TRACE(c.name);
        ::SetForegroundWindow(c.hDlg);
        const std::vector<int> expected = ReadingOrder(c.hDlg);
        ASSERT_FALSE(expected.empty());
        ::SetFocus(::GetDlgItem(c.hDlg, expected.front()));
        std::vector<int> forward{expected.front()};
        for (size_t i = 1; i < expected.size() + 1; ++i) {
            Press(VK_TAB);
            forward.push_back(::GetDlgCtrlID(::GetFocus()));
        }
        EXPECT_EQ(forward.back(), expected.front()) << "Tab comes round to the first control";
        forward.pop_back();
        std::vector<int> sortedForward = forward, sortedExpected = expected;
        std::sort(sortedForward.begin(), sortedForward.end());
        std::sort(sortedExpected.begin(), sortedExpected.end());
        EXPECT_EQ(sortedForward, sortedExpected) << "every tab stop once";
        if (c.bRows) {
            EXPECT_EQ(forward, expected);
        }
        std::vector<int> backward;
        for (size_t i = 0; i < forward.size(); ++i) {
            Press(VK_TAB, true);
            backward.push_back(::GetDlgCtrlID(::GetFocus()));
        }
        std::reverse(backward.begin(), backward.end());
        EXPECT_EQ(backward, forward) << "Shift+Tab goes the same way back";
    }
    ::ShowWindow(GroupDlg(), SW_HIDE);
    ::ShowWindow(SingleDlg(), SW_HIDE);
}

TEST_F(KeyboardWalk, MenuKeyAndShiftF10OpenTheMenuBelowTheFocusedRow)
{
    FindCameras();
    Press(VK_HOME);
    Press(VK_DOWN);
    Press(VK_DOWN);
    RECT rcRow{};
    ListView_GetItemRect(List(), 2, &rcRow, LVIR_BOUNDS);
    ::MapWindowPoints(List(), nullptr, reinterpret_cast<POINT*>(&rcRow), 2);
    struct Case {
        const char* name;
        UINT vk;
        bool bShift;
        bool bSys;
    };
    for (const Case& c : {Case{"menu key", VK_APPS, false, false}, Case{"Shift+F10", VK_F10, true, true}}) {
        SCOPED_TRACE(c.name);
        s_pMain->m_nMenusShown = 0;
        s_pMain->m_nMenuChoice = 0;
        Press(c.vk, c.bShift, c.bSys);
        EXPECT_EQ(s_pMain->m_nMenusShown, 1) << "opened once, by the key press and not again by its release";
        EXPECT_GE(s_pMain->m_ptMenu.y, rcRow.top);
        EXPECT_LE(s_pMain->m_ptMenu.y, rcRow.bottom + 2);
    }
    // WM_CONTEXTMENU from the keyboard (lParam -1), as the platform and accessibility tools send it.
    s_pMain->m_nMenusShown = 0;
    ::SendMessageW(List(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(List()), static_cast<LPARAM>(-1));
    Pump();
    EXPECT_EQ(s_pMain->m_nMenusShown, 1);
    EXPECT_GE(s_pMain->m_ptMenu.y, rcRow.top);

    // The menu's sort items sort as the headings do: again, the other way.
    s_pMain->m_nMenuChoice = IDM_LIST_SORT + 3;
    Press(VK_APPS);
    std::vector<std::wstring> ids;
    for (int row = 0; row < RowCount(List()); ++row)
        ids.push_back(RowTexts(List(), row, 4)[3]);
    EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end(), [](const std::wstring& a, const std::wstring& b) {
        return ::lstrcmpiW(a.c_str(), b.c_str()) < 0;
    }));
    Press(VK_APPS);
    EXPECT_EQ(RowTexts(List(), 0, 4)[3], ids.back());
    s_pMain->m_nMenuChoice = 0;
}

TEST_F(KeyboardWalk, FindChangeOneRegroupAndExport)
{
    // Find the cameras: Enter rescans.
    FindCameras();

    // Change one: move to it with the keys, F2 opens "编辑 ..." for it.
    const int target = FindRow(List(), 3, L"d40000000003");
    ASSERT_GE(target, 0);
    Press(VK_HOME);
    for (int i = 0; i < target; ++i)
        Press(VK_DOWN);
    Press(VK_F2);
    ASSERT_TRUE(::IsWindowVisible(SingleDlg()));
    EXPECT_EQ(WideFieldText(s_pMain->GetDeviceSetDlg()->GetDevice().message.idSerial), L"d40000000003");
    ::SetForegroundWindow(SingleDlg());
    ::SetFocus(::GetDlgItem(SingleDlg(), IDC_DEV_LAN_IP));
    ASSERT_TRUE(TabTo(SingleDlg(), IDC_DEV_NAME));
    Retype(L"Porch");
    ASSERT_TRUE(TabTo(SingleDlg(), IDC_DEV_APPLY));
    ASSERT_TRUE(m_sim.ClearLog());
    {
        CMessageBoxCatcher boxes(SingleDlg(), L"提示");
        Press(VK_SPACE);
        ASSERT_FALSE(SetInfoFor("d40000000003", 1).empty()) << "nothing sent";
    }
    EXPECT_EQ(FieldText(SetInfoFor("d40000000003", 1).front().bytes, 28, 20), "Porch");
    Press(VK_ESCAPE);
    EXPECT_FALSE(::IsWindowVisible(SingleDlg())) << "Escape closes the dialog";

    // Re-address a group: Tab to "批量操作 ...", Space.
    ::SetForegroundWindow(Main());
    ::SetFocus(List());
    ASSERT_TRUE(TabTo(Main(), IDC_MAIN_GROUP));
    Press(VK_SPACE);
    ASSERT_TRUE(::IsWindowVisible(GroupDlg()));
    ::SetForegroundWindow(GroupDlg());
    HWND hGroupList = ::GetDlgItem(GroupDlg(), IDC_GRP_LIST);
    ::SetFocus(::GetDlgItem(GroupDlg(), IDC_GRP_START_IP));
    ASSERT_TRUE(TabTo(GroupDlg(), IDC_GRP_UNCHECK_ALL));
    Press(VK_SPACE);
    ASSERT_TRUE(TabTo(GroupDlg(), IDC_GRP_LIST, true));
    Press(VK_HOME);
    Press(VK_SPACE); // checks row 0
    Press(VK_DOWN);
    Press(VK_DOWN);
    Press(VK_SPACE); // and row 2
    ASSERT_TRUE(ListView_GetCheckState(hGroupList, 0));
    ASSERT_FALSE(ListView_GetCheckState(hGroupList, 1));
    ASSERT_TRUE(ListView_GetCheckState(hGroupList, 2));
    ASSERT_TRUE(TabTo(GroupDlg(), IDC_GRP_START_IP, true));
    Retype(L"198.18.1.230");
    ASSERT_TRUE(TabTo(GroupDlg(), IDC_GRP_STEP));
    Retype(L"5");
    ASSERT_TRUE(TabTo(GroupDlg(), IDC_GRP_ONLY_CHECKED));
    Press(VK_SPACE);
    EXPECT_EQ(::IsDlgButtonChecked(GroupDlg(), IDC_GRP_ONLY_CHECKED), BST_CHECKED);
    ASSERT_TRUE(TabTo(GroupDlg(), IDC_GRP_APPLY));
    Press(VK_SPACE);
    EXPECT_EQ(CellText(hGroupList, 0, 1), L"198.18.1.230");
    EXPECT_EQ(CellText(hGroupList, 2, 1), L"198.18.1.235");
    ASSERT_TRUE(TabTo(GroupDlg(), IDC_GRP_KEEP_NAME));
    Press(VK_SPACE); // names stay
    ASSERT_TRUE(TabTo(GroupDlg(), IDC_GRP_SEND));
    ASSERT_TRUE(m_sim.ClearLog());
    const int passes = s_pMain->GetGroupSetDlg()->GetFinishedPasses();
    {
        CMessageBoxCatcher boxes(GroupDlg(), L"提示");
        Press(VK_SPACE);
        ASSERT_TRUE(
            PumpUntil([&] { return s_pMain->GetGroupSetDlg()->GetFinishedPasses() > passes; }, 20000));
        EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>{L"完成 2 个设备信息设置！"});
    }
    EXPECT_EQ(AllSetInfo().size(), 4u); // two cameras, each on both links
    ASSERT_TRUE(TabTo(GroupDlg(), IDC_GRP_KEEP_NAME));
    Press(VK_SPACE);
    Press(VK_ESCAPE);
    EXPECT_FALSE(::IsWindowVisible(GroupDlg())) << "Escape closes the group dialog";

    // Export the list: the menu key in the list, the menu's export item, a file name.
    ::SetForegroundWindow(Main());
    ::SetFocus(List());
    wchar_t dir[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, dir);
    s_pMain->m_strExportPath = std::wstring(dir) + L"lv-keyboard-walk.csv";
    ::DeleteFileW(s_pMain->m_strExportPath.c_str());
    s_pMain->m_nMenuChoice = IDM_LIST_EXPORT;
    s_pMain->m_nMenusShown = 0;
    Press(VK_APPS);
    s_pMain->m_nMenuChoice = 0;
    EXPECT_EQ(s_pMain->m_nMenusShown, 1);
    FILE* file = _wfopen(s_pMain->m_strExportPath.c_str(), L"rb");
    ASSERT_NE(file, nullptr) << "no file exported";
    int lines = 0;
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file))
        lines += c == '\n';
    std::fclose(file);
    ::DeleteFileW(s_pMain->m_strExportPath.c_str());
    EXPECT_EQ(lines, 1 + RowCount(List())); // the titles and every camera
}

} // namespace
