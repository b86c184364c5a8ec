// CWnd: binding handles to objects, subclassing, reflection and pre-translation.
#include "TestDialogIds.h"
#include "TestWindows.h"

#include "platform/CEdit.h"
#include "platform/CWinApp.h"

#include <gtest/gtest.h>

namespace {

class WindowTest : public testing::Test {
  public:
    void SetUp() override
    {
        // Shown only where a test needs painting: hiding a window without a window manager costs
        // Wine a long wait.
        ASSERT_TRUE(m_dlg.Create(IDD_PLATFORM_TEST));
    }
    HWND Item(int id) const { return m_dlg.GetDlgItem(id); }
    static LONG_PTR ProcOf(HWND hWnd) { return ::GetWindowLongPtrW(hWnd, GWLP_WNDPROC); }

    CTestDialog m_dlg{IDD_PLATFORM_TEST};
};

TEST_F(WindowTest, LookupAnswersOnlyForBoundWindows)
{
    EXPECT_EQ(nullptr, CWnd::FromHandle(nullptr));
    EXPECT_EQ(nullptr, CWnd::FromHandle(Item(IDC_TEST_EDIT))) << "no object attached yet";
    EXPECT_EQ(nullptr, CWnd::FromHandle(::GetDesktopWindow()));
    EXPECT_EQ(&m_dlg, CWnd::FromHandle(m_dlg.m_hWnd));
}

TEST_F(WindowTest, SubclassingReplacesAndDetachingRestoresTheProcedure)
{
    HWND hEdit = Item(IDC_TEST_EDIT);
    LONG_PTR original = ProcOf(hEdit);
    CProbeWnd probe;
    ASSERT_TRUE(probe.SubclassDlgItem(IDC_TEST_EDIT, &m_dlg));
    EXPECT_NE(original, ProcOf(hEdit));
    EXPECT_EQ(&probe, CWnd::FromHandle(hEdit));
    EXPECT_EQ(1, probe.m_nPreSubclass);

    ::SetWindowTextW(hEdit, L"abc");
    EXPECT_EQ(1, probe.Count(WM_SETTEXT));
    EXPECT_EQ(L"abc", probe.GetWindowText()) << "the default handling still ran";

    CProbeWnd other;
    EXPECT_FALSE(other.SubclassWindow(hEdit)) << "a window has one object";
    EXPECT_FALSE(probe.SubclassWindow(Item(IDC_TEST_COMBO))) << "an object has one window";

    EXPECT_EQ(hEdit, probe.UnsubclassWindow());
    EXPECT_EQ(original, ProcOf(hEdit));
    EXPECT_EQ(nullptr, CWnd::FromHandle(hEdit));
    EXPECT_EQ(nullptr, probe.m_hWnd);
    ::SetWindowTextW(hEdit, L"def");
    EXPECT_EQ(1, probe.Count(WM_SETTEXT));
    EXPECT_TRUE(other.SubclassWindow(hEdit)) << "free to bind again";
}

TEST_F(WindowTest, ObjectDestroyedBeforeItsWindowRestoresTheProcedure)
{
    HWND hEdit = Item(IDC_TEST_EDIT);
    LONG_PTR original = ProcOf(hEdit);
    {
        CProbeWnd probe;
        ASSERT_TRUE(probe.SubclassWindow(hEdit));
    }
    EXPECT_TRUE(::IsWindow(hEdit)) << "an attached window is not the object's to destroy";
    EXPECT_EQ(original, ProcOf(hEdit));
    EXPECT_EQ(nullptr, CWnd::FromHandle(hEdit));
    ::SetWindowTextW(hEdit, L"still works");
}

TEST_F(WindowTest, WindowDestroyedBeforeItsObjectUnbindsIt)
{
    HWND hEdit = Item(IDC_TEST_EDIT);
    CProbeWnd probe;
    ASSERT_TRUE(probe.SubclassWindow(hEdit));
    ::DestroyWindow(hEdit);
    EXPECT_EQ(nullptr, probe.m_hWnd);
    EXPECT_EQ(1, probe.m_nPostNcDestroy);
    EXPECT_EQ(1, probe.Count(WM_DESTROY));
    EXPECT_EQ(nullptr, CWnd::FromHandle(hEdit));
}

TEST_F(WindowTest, CreatedWindowIsOwnedAndDestroyedWithItsObject)
{
    HWND hWnd = nullptr;
    {
        CEdit edit;
        RECT rect{10, 150, 110, 170};
        ASSERT_TRUE(edit.Create(WS_CHILD | WS_VISIBLE | WS_BORDER, rect, &m_dlg, 77));
        hWnd = edit.m_hWnd;
        EXPECT_EQ(&edit, CWnd::FromHandle(hWnd));
        EXPECT_EQ(77, edit.GetDlgCtrlID());
        EXPECT_EQ(m_dlg.m_hWnd, edit.GetParent());
    }
    EXPECT_FALSE(::IsWindow(hWnd));
}

TEST_F(WindowTest, ExceptionInAHandlerFallsBackToTheDefaultHandling)
{
    CProbeWnd probe;
    ASSERT_TRUE(probe.SubclassDlgItem(IDC_TEST_EDIT, &m_dlg));
    probe.m_nThrowOn = WM_SETTEXT;
    EXPECT_TRUE(::SetWindowTextW(probe.m_hWnd, L"thrown"));
    EXPECT_EQ(L"thrown", probe.GetWindowText());
    probe.m_nThrowOn = 0;
    ::SetWindowTextW(probe.m_hWnd, L"after");
    EXPECT_EQ(L"after", probe.GetWindowText());
}

// Each kind of notification the parent receives reaches the object of the control it concerns.
TEST_F(WindowTest, NotificationsAreReflectedToTheControlObject)
{
    struct Case {
        const char* name;
        int id;
        std::function<void(WindowTest&)> act;
        UINT message;
        UINT code;
    };
    static MEASUREITEMSTRUCT s_measure;
    const Case cases[] = {
        {"edit change", IDC_TEST_EDIT, [](WindowTest& t) { ::SetWindowTextW(t.Item(IDC_TEST_EDIT), L"x"); },
         WM_COMMAND, EN_CHANGE},
        {"list insertion", IDC_TEST_LIST,
         [](WindowTest& t) {
             LVCOLUMNW column{};
             column.mask = LVCF_WIDTH;
             column.cx = 50;
             ::SendMessageW(t.Item(IDC_TEST_LIST), LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
             LVITEMW item{};
             item.mask = LVIF_TEXT;
             item.pszText = const_cast<LPWSTR>(L"row");
             ::SendMessageW(t.Item(IDC_TEST_LIST), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
         },
         WM_NOTIFY, static_cast<UINT>(LVN_INSERTITEM)},
        {"owner draw", IDC_TEST_OWNERDRAW,
         [](WindowTest& t) {
             t.m_dlg.ShowWindow(SW_SHOWNOACTIVATE);
             ::RedrawWindow(t.Item(IDC_TEST_OWNERDRAW), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
         },
         WM_DRAWITEM, 0},
        {"measure item", IDC_TEST_LISTBOX,
         [](WindowTest& t) {
             s_measure = {};
             s_measure.CtlType = ODT_LISTBOX;
             s_measure.CtlID = IDC_TEST_LISTBOX;
             t.m_dlg.SendMessage(WM_MEASUREITEM, IDC_TEST_LISTBOX, reinterpret_cast<LPARAM>(&s_measure));
         },
         WM_MEASUREITEM, 0},
        {"edit colours", IDC_TEST_EDIT,
         [](WindowTest& t) {
             HDC hDC = ::GetDC(t.m_dlg.m_hWnd);
             t.m_dlg.SendMessage(WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(hDC),
                                 reinterpret_cast<LPARAM>(t.Item(IDC_TEST_EDIT)));
             ::ReleaseDC(t.m_dlg.m_hWnd, hDC);
         },
         WM_CTLCOLOREDIT, 0},
        {"track bar scroll", IDC_TEST_SLIDER,
         [](WindowTest& t) {
             t.m_dlg.SendMessage(WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 3),
                                 reinterpret_cast<LPARAM>(t.Item(IDC_TEST_SLIDER)));
         },
         WM_HSCROLL, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CProbeWnd probe;
        ASSERT_TRUE(probe.SubclassDlgItem(c.id, &m_dlg));
        c.act(*this);
        bool seen = false;
        for (const CProbeWnd::Note& note : probe.m_notes)
            seen = seen || (note.message == c.message && note.code == c.code);
        EXPECT_TRUE(seen);
    }
}

TEST_F(WindowTest, ReflectedAnswerBecomesTheParentsAnswer)
{
    CProbeWnd listBox;
    ASSERT_TRUE(listBox.SubclassDlgItem(IDC_TEST_LISTBOX, &m_dlg));
    listBox.m_onChildNotify = [](UINT message, WPARAM, LPARAM lParam, LRESULT* pResult) {
        if (message != WM_MEASUREITEM)
            return FALSE;
        reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = 33;
        *pResult = TRUE;
        return TRUE;
    };
    MEASUREITEMSTRUCT measure{};
    measure.CtlType = ODT_LISTBOX;
    measure.CtlID = IDC_TEST_LISTBOX;
    EXPECT_EQ(TRUE, m_dlg.SendMessage(WM_MEASUREITEM, IDC_TEST_LISTBOX, reinterpret_cast<LPARAM>(&measure)));
    EXPECT_EQ(33u, measure.itemHeight);

    // A menu item with the same id is not the control's business.
    measure.CtlType = ODT_MENU;
    measure.itemHeight = 0;
    size_t before = listBox.m_notes.size();
    m_dlg.SendMessage(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure));
    EXPECT_EQ(before, listBox.m_notes.size());
    EXPECT_EQ(0u, measure.itemHeight);

    CProbeWnd edit;
    ASSERT_TRUE(edit.SubclassDlgItem(IDC_TEST_EDIT, &m_dlg));
    HBRUSH hBrush = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
    edit.m_onChildNotify = [hBrush](UINT message, WPARAM, LPARAM, LRESULT* pResult) {
        if (message != WM_CTLCOLOREDIT)
            return FALSE;
        *pResult = reinterpret_cast<LRESULT>(hBrush);
        return TRUE;
    };
    HDC hDC = ::GetDC(m_dlg.m_hWnd);
    LRESULT answer = m_dlg.SendMessage(WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(hDC),
                                       reinterpret_cast<LPARAM>(edit.m_hWnd));
    ::ReleaseDC(m_dlg.m_hWnd, hDC);
    EXPECT_EQ(reinterpret_cast<LRESULT>(hBrush), answer);
}

TEST_F(WindowTest, ParentThatHandlesACommandItselfKeepsItFromTheControl)
{
    CProbeWnd edit;
    ASSERT_TRUE(edit.SubclassDlgItem(IDC_TEST_EDIT, &m_dlg));
    m_dlg.m_onCommand = [](WPARAM wParam, LPARAM) { return LOWORD(wParam) == IDC_TEST_EDIT; };
    ::SetWindowTextW(edit.m_hWnd, L"y");
    EXPECT_TRUE(edit.m_notes.empty());
}

TEST_F(WindowTest, CommandTheControlLeavesReachesTheDialog)
{
    CProbeWnd ok;
    ASSERT_TRUE(ok.SubclassDlgItem(IDOK, &m_dlg));
    ::SendMessageW(ok.m_hWnd, BM_CLICK, 0, 0);
    int clicks = 0;
    for (const CProbeWnd::Note& note : ok.m_notes)
        clicks += note.message == WM_COMMAND && note.code == BN_CLICKED;
    EXPECT_EQ(1, clicks);
    EXPECT_EQ(1, m_dlg.m_nOk);
}

// Pre-translation in a modal dialog: the control's object first, then the dialog; a consumed key
// goes no further (here: Escape would otherwise cancel the dialog).
TEST(PreTranslate, ModalLoopOffersKeysToTheControlThenTheDialog)
{
    struct Case {
        bool bConsume;
        INT_PTR expected;
        std::vector<std::string> order;
    };
    const Case cases[] = {
        {false, IDCANCEL, {"control", "dialog"}},
        {true, IDOK, {"control"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bConsume ? "consumed" : "passed on");
        std::vector<std::string> order;
        CProbeWnd edit;
        edit.m_bConsumeKeys = c.bConsume;
        edit.m_pOrder = &order;
        CTestDialog dlg(IDD_PLATFORM_TEST);
        dlg.m_pOrder = &order;
        dlg.m_onInit = [&edit](CTestDialog& d) {
            edit.SubclassDlgItem(IDC_TEST_EDIT, &d);
            ::PostMessageW(edit.m_hWnd, WM_KEYDOWN, VK_ESCAPE, 0);
            d.PostMessage(WM_COMMAND, IDOK);
        };
        EXPECT_EQ(c.expected, dlg.DoModal());
        EXPECT_EQ(std::vector<WPARAM>{VK_ESCAPE}, edit.m_keys);
        EXPECT_EQ(c.order, order);
    }
}

// Pre-translation in a modeless dialog run by the application's pump: Escape in the edit goes
// through the dialog's keyboard handling and cancels (hides) it.
TEST(PreTranslate, ApplicationPumpServesModelessDialogs)
{
    CWinApp app;
    CTestDialog dlg(IDD_PLATFORM_TEST);
    ASSERT_TRUE(dlg.Create(IDD_PLATFORM_TEST));
    dlg.ShowWindow(SW_SHOWNOACTIVATE);
    CProbeWnd edit;
    ASSERT_TRUE(edit.SubclassDlgItem(IDC_TEST_EDIT, &dlg));
    app.m_pMainWnd = &dlg;

    bool bVisibleAtTimer = true;
    dlg.m_onTimer = [&bVisibleAtTimer](CTestDialog& d, UINT_PTR) {
        bVisibleAtTimer = d.IsWindowVisible() != FALSE;
        d.DestroyWindow();
    };
    ::PostMessageW(edit.m_hWnd, WM_KEYDOWN, VK_ESCAPE, 0);
    dlg.SetTimer(1, 50);
    EXPECT_EQ(0, app.Run()) << "the pump ends when the main window goes";
    EXPECT_EQ(std::vector<WPARAM>{VK_ESCAPE}, edit.m_keys);
    EXPECT_EQ(std::vector<WPARAM>{VK_ESCAPE}, dlg.m_keys);
    EXPECT_EQ(1, dlg.m_nCancel);
    EXPECT_FALSE(bVisibleAtTimer);
    EXPECT_EQ(nullptr, app.m_pMainWnd);
}

// A pop-up's messages are not offered to its owner (it has its own dialog handling).
TEST(PreTranslate, StopsAtTheTopLevelWindow)
{
    CTestDialog owner(IDD_PLATFORM_SMALL);
    ASSERT_TRUE(owner.Create(IDD_PLATFORM_SMALL));
    CTestDialog popup(IDD_PLATFORM_SMALL);
    ASSERT_TRUE(popup.Create(IDD_PLATFORM_SMALL, &owner));
    // Not consumed on the way, so the whole walk shows.
    ::PostMessageW(popup.GetDlgItem(IDC_TEST_EDIT), WM_APP, 0, 0);
    PumpPending();
    EXPECT_EQ(1, popup.m_nAppSeen);
    EXPECT_EQ(0, owner.m_nAppSeen);
}

} // namespace
