// CDialog: modal and modeless life from resource templates.
#include "TestDialogIds.h"
#include "TestWindows.h"

#include <gtest/gtest.h>

namespace {

const UINT_PTR END_TIMER = 5;

struct ModalCase {
    const char* name;
    std::function<void(CTestDialog&)> close; // run from OnInitDialog
    INT_PTR expected;
};

void PostToEdit(CTestDialog& dlg, UINT message, WPARAM wParam)
{
    ::PostMessageW(dlg.GetDlgItem(IDC_TEST_EDIT), message, wParam, 0);
}

TEST(DialogModal, EndsWithTheResultOfHowItWasClosed)
{
    const ModalCase cases[] = {
        {"OK button",
         [](CTestDialog& d) {
             d.PostMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                           reinterpret_cast<LPARAM>(d.GetDlgItem(IDOK)));
         },
         IDOK},
        {"Cancel button", [](CTestDialog& d) { d.PostMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED)); },
         IDCANCEL},
        {"close box", [](CTestDialog& d) { d.PostMessage(WM_CLOSE); }, IDCANCEL},
        {"Enter in the edit", [](CTestDialog& d) { PostToEdit(d, WM_KEYDOWN, VK_RETURN); }, IDOK},
        {"Escape in the edit", [](CTestDialog& d) { PostToEdit(d, WM_KEYDOWN, VK_ESCAPE); }, IDCANCEL},
        {"EndDialog from a timer",
         [](CTestDialog& d) {
             d.m_onTimer = [](CTestDialog& dlg, UINT_PTR id) {
                 if (id == END_TIMER)
                     dlg.EndDialog(42);
             };
             d.SetTimer(END_TIMER, 20);
         },
         42},
    };
    for (const ModalCase& c : cases) {
        SCOPED_TRACE(c.name);
        CTestDialog dlg(IDD_PLATFORM_TEST);
        dlg.m_onInit = c.close;
        EXPECT_EQ(c.expected, dlg.DoModal());
        EXPECT_EQ(1, dlg.m_nInit);
        EXPECT_TRUE(dlg.m_bShown);
        EXPECT_EQ(nullptr, dlg.m_hWnd) << "the modal window is destroyed when DoModal returns";
    }
}

TEST(DialogModal, EndDialogInsideOnInitDialogNeverShowsTheWindow)
{
    CTestDialog dlg(IDD_PLATFORM_SMALL);
    dlg.m_onInit = [](CTestDialog& d) { d.EndDialog(7); };
    EXPECT_EQ(7, dlg.DoModal());
    EXPECT_FALSE(dlg.m_bShown);
}

TEST(DialogModal, DisablesItsOwnerOnlyWhileItRuns)
{
    CTestDialog owner(IDD_PLATFORM_SMALL);
    ASSERT_TRUE(owner.Create(IDD_PLATFORM_SMALL));
    owner.ShowWindow(SW_SHOWNOACTIVATE);

    CTestDialog dlg(IDD_PLATFORM_SMALL, &owner);
    BOOL bOwnerEnabledInside = TRUE;
    HWND hWndOwnerSeen = nullptr;
    dlg.m_onInit = [&](CTestDialog& d) {
        bOwnerEnabledInside = owner.IsWindowEnabled();
        hWndOwnerSeen = ::GetWindow(d.m_hWnd, GW_OWNER);
        d.PostMessage(WM_COMMAND, IDOK);
    };
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_FALSE(bOwnerEnabledInside);
    EXPECT_EQ(owner.m_hWnd, hWndOwnerSeen);
    EXPECT_TRUE(owner.IsWindowEnabled());
}

TEST(DialogModal, MissingTemplateFailsAndLeavesTheOwnerEnabled)
{
    CTestDialog owner(IDD_PLATFORM_SMALL);
    ASSERT_TRUE(owner.Create(IDD_PLATFORM_SMALL));
    CTestDialog dlg(IDD_PLATFORM_MISSING, &owner);
    EXPECT_EQ(-1, dlg.DoModal());
    EXPECT_EQ(0, dlg.m_nInit);
    EXPECT_TRUE(owner.IsWindowEnabled());
}

TEST(DialogModal, OkExchangesDataOutAndInitExchangesItIn)
{
    CTestDialog dlg(IDD_PLATFORM_SMALL);
    dlg.m_onInit = [](CTestDialog& d) { d.PostMessage(WM_COMMAND, IDOK); };
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ(1, dlg.m_nLoad);
    EXPECT_EQ(1, dlg.m_nSave);
    EXPECT_EQ(1, dlg.m_nOk);
}

TEST(DialogModal, QuitMessageEndsTheLoopAndIsKeptForTheOuterLoop)
{
    CTestDialog dlg(IDD_PLATFORM_SMALL);
    dlg.m_onInit = [](CTestDialog&) { ::PostQuitMessage(3); };
    EXPECT_EQ(-1, dlg.DoModal());
    MSG msg;
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(3u, msg.wParam);
}

TEST(DialogModeless, CreatesFromTemplateIdAndLivesUntilTheObjectGoes)
{
    HWND hWnd = nullptr;
    {
        CTestDialog dlg(IDD_PLATFORM_TEST);
        ASSERT_TRUE(dlg.Create(IDD_PLATFORM_TEST));
        hWnd = dlg.m_hWnd;
        EXPECT_EQ(&dlg, CWnd::FromHandle(hWnd));
        EXPECT_EQ(1, dlg.m_nInit);
        EXPECT_EQ(1, dlg.m_nLoad);
        EXPECT_FALSE(dlg.IsModal());
        EXPECT_NE(nullptr, dlg.GetDlgItem(IDC_TEST_LIST)) << "common controls of the template were created";
        EXPECT_NE(nullptr, dlg.GetDlgItem(IDC_TEST_SLIDER));
        EXPECT_FALSE(dlg.Create(IDD_PLATFORM_TEST)) << "a second window for the same object";
        EXPECT_EQ(hWnd, dlg.m_hWnd);
    }
    EXPECT_FALSE(::IsWindow(hWnd));
}

TEST(DialogModeless, OkAndCancelHideButKeepTheWindow)
{
    CTestDialog dlg(IDD_PLATFORM_SMALL);
    ASSERT_TRUE(dlg.Create(IDD_PLATFORM_SMALL));
    for (int id : {IDOK, IDCANCEL}) {
        dlg.ShowWindow(SW_SHOWNOACTIVATE);
        dlg.SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(dlg.GetDlgItem(id)));
        EXPECT_TRUE(dlg.IsWindow());
        EXPECT_FALSE(dlg.IsWindowVisible());
    }
    EXPECT_EQ(1, dlg.m_nOk);
    EXPECT_EQ(1, dlg.m_nCancel);
    EXPECT_EQ(1, dlg.m_nSave);
}

TEST(DialogModeless, MissingTemplateFails)
{
    CTestDialog dlg(IDD_PLATFORM_MISSING);
    EXPECT_FALSE(dlg.Create(IDD_PLATFORM_MISSING));
    EXPECT_EQ(nullptr, dlg.m_hWnd);
}

TEST(DialogModeless, OwnedByTheParentGiven)
{
    CTestDialog owner(IDD_PLATFORM_SMALL);
    ASSERT_TRUE(owner.Create(IDD_PLATFORM_SMALL));
    CTestDialog dlg(IDD_PLATFORM_SMALL);
    ASSERT_TRUE(dlg.Create(IDD_PLATFORM_SMALL, &owner));
    EXPECT_EQ(owner.m_hWnd, ::GetWindow(dlg.m_hWnd, GW_OWNER));
    EXPECT_EQ(&owner, dlg.m_pParentWnd);
}

} // namespace
