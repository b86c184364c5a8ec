// CMyDialog core: the skinning pass, framework timers, texts, deferred texts, embedded dialogs
// and the combo and row helpers.

#include "MyDialogTestSupport.h"

#include "controls/MyButton.h"
#include "controls/MyCheckButton.h"
#include "controls/MyComboBox.h"
#include "controls/MyListBox.h"
#include "controls/MyListCtrl.h"
#include "controls/MyProgressCtrl.h"
#include "controls/MySliderCtrl.h"

#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <thread>

namespace {

template <class T> bool IsAttachedAs(HWND hWnd)
{
    return dynamic_cast<T*>(CWnd::FromHandle(hWnd)) != nullptr;
}

struct SkinCase {
    const char* name;
    int nID;
    DWORD dwKind;                  // SKIN_* bit, 0 for "never attached"
    bool (*isExpected)(HWND hWnd); // the object kind that must be attached
};

const SkinCase SKIN_CASES[] = {
    {"push button", IDC_MYDLG_BUTTON, CMyDialog::SKIN_BUTTON, &IsAttachedAs<CMyButton>},
    {"default push button", IDOK, CMyDialog::SKIN_BUTTON, &IsAttachedAs<CMyButton>},
    {"cancel", IDCANCEL, CMyDialog::SKIN_BUTTON, &IsAttachedAs<CMyButton>},
    {"check box", IDC_MYDLG_CHECK, CMyDialog::SKIN_CHECK, &IsAttachedAs<CMyCheckButton>},
    {"radio button", IDC_MYDLG_RADIO, CMyDialog::SKIN_CHECK, &IsAttachedAs<CMyCheckButton>},
    {"combo box", IDC_MYDLG_COMBO, CMyDialog::SKIN_COMBO, &IsAttachedAs<CMyComboBox>},
    {"list box", IDC_MYDLG_LISTBOX, CMyDialog::SKIN_LISTBOX, &IsAttachedAs<CMyListBox>},
    {"list view", IDC_MYDLG_LIST, CMyDialog::SKIN_LISTCTRL, &IsAttachedAs<CMyListCtrl>},
    {"progress bar", IDC_MYDLG_PROGRESS, CMyDialog::SKIN_PROGRESS, &IsAttachedAs<CMyProgressCtrl>},
    {"track bar", IDC_MYDLG_SLIDER, CMyDialog::SKIN_SLIDER, &IsAttachedAs<CMySliderCtrl>},
};

// Counts WM_SETTEXT reaching a control.
LRESULT CALLBACK CountSetText(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR ref)
{
    if (message == WM_SETTEXT)
        ++*reinterpret_cast<int*>(ref);
    return ::DefSubclassProc(hWnd, message, wParam, lParam);
}

} // namespace

class CDialogCoreTest : public CDialogTest {};

TEST_F(CDialogCoreTest, SkinningPassAttachesTheObjectOfEachClassAndStyle)
{
    CTestDialog dlg;
    ASSERT_TRUE(dlg.CreateModeless(nullptr));
    for (const auto& c : SKIN_CASES) {
        SCOPED_TRACE(c.name);
        HWND hItem = dlg.GetDlgItem(c.nID);
        ASSERT_NE(hItem, nullptr);
        EXPECT_TRUE(c.isExpected(hItem));
        EXPECT_EQ(dlg.GetSkinnedControl(c.nID, c.dwKind), CWnd::FromHandle(hItem));
    }
    // Group boxes, owner-drawn buttons, statics and edits keep their plain windows.
    for (int nID : {IDC_MYDLG_GROUP, IDC_MYDLG_OWNERDRAW, IDC_MYDLG_STATIC, IDC_MYDLG_EDIT})
        EXPECT_EQ(CWnd::FromHandle(dlg.GetDlgItem(nID)), nullptr) << nID;

    CMyListCtrl* pList = dlg.GetListCtrl(IDC_MYDLG_LIST);
    ASSERT_NE(pList, nullptr);
    EXPECT_EQ(pList->m_hWnd, dlg.GetDlgItem(IDC_MYDLG_LIST));
    const DWORD ex = static_cast<DWORD>(::SendMessageW(pList->m_hWnd, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    EXPECT_EQ(ex & (LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT), DWORD(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT));
    EXPECT_EQ(dlg.GetListCtrl(IDC_MYDLG_COMBO), nullptr);

    // A static with an id reports clicks; one without keeps its style.
    EXPECT_TRUE(::GetWindowLongPtrW(dlg.GetDlgItem(IDC_MYDLG_STATIC), GWL_STYLE) & SS_NOTIFY);
    HWND hNoId = nullptr;
    for (HWND h = ::GetWindow(dlg.m_hWnd, GW_CHILD); h; h = ::GetWindow(h, GW_HWNDNEXT))
        if (TextOf(h) == L"No id")
            hNoId = h;
    ASSERT_NE(hNoId, nullptr);
    EXPECT_FALSE(::GetWindowLongPtrW(hNoId, GWL_STYLE) & SS_NOTIFY);

    // A short read-only edit becomes a one-line multi-line edit; every child accepts dropped files.
    EXPECT_TRUE(::GetWindowLongPtrW(dlg.GetDlgItem(IDC_MYDLG_READONLY), GWL_STYLE) & ES_MULTILINE);
    EXPECT_FALSE(::GetWindowLongPtrW(dlg.GetDlgItem(IDC_MYDLG_EDIT), GWL_STYLE) & ES_MULTILINE);
    for (HWND h = ::GetWindow(dlg.m_hWnd, GW_CHILD); h; h = ::GetWindow(h, GW_HWNDNEXT))
        EXPECT_TRUE(::GetWindowLongPtrW(h, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    EXPECT_TRUE(dlg.GetExStyle() & WS_EX_ACCEPTFILES);
    EXPECT_TRUE(CMyDialog::HasFrameworkMutex());
    EXPECT_NE(CMyDialog::GetFixedFont(), nullptr);
}

TEST_F(CDialogCoreTest, SkinMaskLimitsTheKindsAttached)
{
    for (const auto& masked : SKIN_CASES) {
        SCOPED_TRACE(masked.name);
        CTestDialog dlg;
        dlg.SetControlSkinMask(0xFFFF & ~masked.dwKind);
        ASSERT_TRUE(dlg.CreateModeless(nullptr));
        EXPECT_EQ(CWnd::FromHandle(dlg.GetDlgItem(masked.nID)), nullptr);
        EXPECT_EQ(dlg.GetSkinnedControl(masked.nID, masked.dwKind), nullptr);
        // The other kinds are still attached.
        for (const auto& other : SKIN_CASES)
            if (other.dwKind != masked.dwKind) {
                EXPECT_TRUE(other.isExpected(dlg.GetDlgItem(other.nID))) << other.name;
            }
    }
}

TEST_F(CDialogCoreTest, FrameworkTimersAreHandledAndOthersReachTheDefaultHandling)
{
    CTestDialog dlg;
    ASSERT_TRUE(dlg.CreateModeless(nullptr));
    dlg.SetTimer(1234, 10);
    dlg.SetTimer(2215, 10); // reserved for the framework, no action
    dlg.SetTimer(2200, 10); // just outside the range
    dlg.SetTimer(2221, 10);
    ASSERT_TRUE(PumpUntil([&] {
        auto has = [&](UINT_PTR id) {
            return std::count(dlg.m_defaultTimers.begin(), dlg.m_defaultTimers.end(), id) > 0;
        };
        return has(1234) && has(2200) && has(2221) && !dlg.m_applied.empty();
    }));
    PumpFor(100);
    for (UINT_PTR id : dlg.m_defaultTimers)
        EXPECT_TRUE(id < CMyDialog::TIMER_FIRST || id > CMyDialog::TIMER_LAST) << id;
    EXPECT_EQ(dlg.m_onTimer, dlg.m_defaultTimers);
    // Timer 2212 loaded the global language (0) once: only the built-in texts.
    EXPECT_EQ(dlg.m_applied, std::vector<int>{0});
    EXPECT_EQ(dlg.GetLangId(), 0);
    for (UINT_PTR id : {1234, 2215, 2200, 2221})
        dlg.KillTimer(id);
}

TEST_F(CDialogCoreTest, SetItemTextWritesAControlOnlyWhenTheTextChanges)
{
    CTestDialog dlg;
    ASSERT_TRUE(dlg.CreateModeless(nullptr));
    HWND hStatic = dlg.GetDlgItem(IDC_MYDLG_STATIC);
    int nWrites = 0;
    ASSERT_TRUE(::SetWindowSubclass(hStatic, &CountSetText, 1, reinterpret_cast<DWORD_PTR>(&nWrites)));

    dlg.SetItemText(IDC_MYDLG_STATIC, L"Hello");
    dlg.SetItemText(IDC_MYDLG_STATIC, L"Hello");
    EXPECT_EQ(nWrites, 1);
    EXPECT_EQ(TextOf(hStatic), L"Hello");

    // From a worker: one synchronous call to the user-interface thread, same rule.
    std::atomic<bool> done{false};
    std::thread worker([&] {
        dlg.SetItemInt(IDC_MYDLG_STATIC, -42);
        dlg.SetItemInt(IDC_MYDLG_STATIC, -42);
        EXPECT_EQ(dlg.FindItem(IDC_MYDLG_STATIC, TRUE), hStatic);
        done = true;
    });
    PumpUntil([&] { return done.load(); });
    worker.join();
    EXPECT_EQ(nWrites, 2);
    EXPECT_EQ(TextOf(hStatic), L"-42");

    // Ids that no control has do nothing.
    dlg.SetItemText(4242, L"x");
    EXPECT_EQ(dlg.FindItem(4242, TRUE), nullptr);
    EXPECT_EQ(dlg.GetControlKind(4242), CMyDialog::KIND_OTHER);
    ::RemoveWindowSubclass(hStatic, &CountSetText, 1);
}

TEST_F(CDialogCoreTest, ControlKindsByClassName)
{
    CTestDialog dlg;
    ASSERT_TRUE(dlg.CreateModeless(nullptr));
    const struct {
        int nID;
        int nKind;
    } cases[] = {{IDC_MYDLG_BUTTON, CMyDialog::KIND_BUTTON},  {IDC_MYDLG_CHECK, CMyDialog::KIND_BUTTON},
                 {IDC_MYDLG_STATIC, CMyDialog::KIND_STATIC},  {IDC_MYDLG_EDIT, CMyDialog::KIND_EDIT},
                 {IDC_MYDLG_COMBO, CMyDialog::KIND_COMBOBOX}, {IDC_MYDLG_LIST, CMyDialog::KIND_LISTVIEW},
                 {IDC_MYDLG_LISTBOX, CMyDialog::KIND_OTHER},  {IDC_MYDLG_SLIDER, CMyDialog::KIND_OTHER}};
    for (const auto& c : cases) {
        EXPECT_EQ(dlg.GetControlKind(c.nID), c.nKind) << c.nID;
        EXPECT_TRUE(dlg.IsControlKind(c.nID, c.nKind)) << c.nID;
    }
}

TEST_F(CDialogCoreTest, PostedTextsReachTheirOwnDialogAndLeaveOtherDialogsSlots)
{
    CTestDialog a;
    CTestDialog b; // no window yet: its slot must wait for its own timer
    ASSERT_TRUE(a.CreateModeless(nullptr));

    std::thread worker([&] {
        a.PostItemText(IDC_MYDLG_STATIC, L"first");
        b.PostItemText(IDC_MYDLG_STATIC2, L"for b");
        a.PostItemText(IDC_MYDLG_STATIC, L"latest");
        a.PostItemText(IDC_MYDLG_STATIC2, L"second");
    });
    worker.join();
    HWND hA = a.GetDlgItem(IDC_MYDLG_STATIC);
    ASSERT_TRUE(PumpUntil([&] { return TextOf(a.GetDlgItem(IDC_MYDLG_STATIC2)) == L"second"; }));
    EXPECT_EQ(TextOf(hA), L"latest");

    ASSERT_TRUE(b.CreateModeless(nullptr));
    EXPECT_EQ(TextOf(b.GetDlgItem(IDC_MYDLG_STATIC2)), L"Second");
    b.PostItemText(IDC_MYDLG_STATIC, L"b now");
    ASSERT_TRUE(PumpUntil([&] { return TextOf(b.GetDlgItem(IDC_MYDLG_STATIC)) == L"b now"; }));
    EXPECT_EQ(TextOf(b.GetDlgItem(IDC_MYDLG_STATIC2)), L"for b");
    // a's controls were not touched by b's delivery.
    EXPECT_EQ(TextOf(hA), L"latest");
}

TEST_F(CDialogCoreTest, PostedTextsOverflowOverwriteTheOldestAndLongTextsAreCut)
{
    CTestDialog dlg;
    ASSERT_TRUE(dlg.CreateModeless(nullptr));
    // More texts than slots: the last ones survive.
    for (int i = 0; i < 3 * CMyDialog::POST_TEXT_SLOTS; ++i)
        dlg.PostItemText(IDC_MYDLG_STATIC, std::to_wstring(i).c_str());
    const std::wstring longText(5000, L'x');
    dlg.PostItemText(IDC_MYDLG_STATIC2, longText.c_str());
    ASSERT_TRUE(PumpUntil([&] { return !TextOf(dlg.GetDlgItem(IDC_MYDLG_STATIC2)).starts_with(L"Second"); }));
    EXPECT_EQ(TextOf(dlg.GetDlgItem(IDC_MYDLG_STATIC)), std::to_wstring(3 * CMyDialog::POST_TEXT_SLOTS - 1));
    EXPECT_EQ(TextOf(dlg.GetDlgItem(IDC_MYDLG_STATIC2)), std::wstring(CMyDialog::POST_TEXT_CHARS - 15, L'x'));
}

TEST_F(CDialogCoreTest, PostedTextsOfADestroyedDialogAreDropped)
{
    auto pGone = std::make_unique<CTestDialog>();
    ASSERT_TRUE(pGone->CreateModeless(nullptr));
    pGone->PostItemText(IDC_MYDLG_STATIC, L"stale");
    pGone.reset();
    // A new dialog, possibly at the same address, must not receive the stale text.
    CTestDialog fresh;
    ASSERT_TRUE(fresh.CreateModeless(nullptr));
    fresh.PostItemText(IDC_MYDLG_STATIC2, L"fresh");
    ASSERT_TRUE(PumpUntil([&] { return TextOf(fresh.GetDlgItem(IDC_MYDLG_STATIC2)) == L"fresh"; }));
    EXPECT_EQ(TextOf(fresh.GetDlgItem(IDC_MYDLG_STATIC)), L"Label");
}

TEST_F(CDialogCoreTest, EmbeddedChildDialogIsFoundThroughItsParent)
{
    CTestDialog dlg;
    ASSERT_TRUE(dlg.CreateModeless(nullptr));
    CMyDialog* pChild = dlg.EmbedChildDialog(IDD_MYDLG_CHILD, TRUE);
    ASSERT_NE(pChild, nullptr);
    EXPECT_TRUE(pChild->IsEmbedded());
    EXPECT_EQ(::GetParent(pChild->m_hWnd), dlg.m_hWnd);
    // Shown as asked (the template has no WS_VISIBLE; the hidden parent hides it from the eye only).
    EXPECT_NE(::GetWindowLongPtrW(pChild->m_hWnd, GWL_STYLE) & WS_VISIBLE, 0);
    ASSERT_EQ(dlg.GetChildDialogs().size(), 1u);

    HWND hChildStatic = pChild->GetDlgItem(IDC_MYDLG_CHILD_STATIC);
    EXPECT_EQ(dlg.FindItem(IDC_MYDLG_CHILD_STATIC, TRUE), hChildStatic);
    EXPECT_EQ(dlg.FindItem(IDC_MYDLG_CHILD_STATIC, FALSE), nullptr);
    dlg.SetItemText(IDC_MYDLG_CHILD_STATIC, L"via parent");
    EXPECT_EQ(TextOf(hChildStatic), L"via parent");

    // A missing template gives no child and leaves the list alone.
    EXPECT_EQ(dlg.EmbedChildDialog(9999, TRUE), nullptr);
    EXPECT_EQ(dlg.GetChildDialogs().size(), 1u);

    // The child's commands reach the parent.
    pChild->PostCommandToParent(20100, 7);
    ASSERT_TRUE(
        PumpUntil([&] { return std::count(dlg.m_commands.begin(), dlg.m_commands.end(), WORD(20100)) > 0; }));

    // One embedded without showing stays hidden.
    CMyDialog* pHidden = dlg.EmbedChildDialog(IDD_MYDLG_CHILD, FALSE);
    ASSERT_NE(pHidden, nullptr);
    EXPECT_EQ(::GetWindowLongPtrW(pHidden->m_hWnd, GWL_STYLE) & WS_VISIBLE, 0);
    EXPECT_EQ(dlg.GetChildDialogs().size(), 2u);
}

TEST_F(CDialogCoreTest, ComboHelpers)
{
    CTestDialog dlg;
    ASSERT_TRUE(dlg.CreateModeless(nullptr));
    const int id = IDC_MYDLG_COMBO;
    for (const wchar_t* text : {L"9600", L"19200", L"115200", L"Baud 57600"})
        dlg.AddComboString(id, text);
    EXPECT_EQ(dlg.AddComboString(id, L"4800", 0), 0);

    const struct {
        int nValue;
        BOOL bByIndex;
        int nExpected;
    } cases[] = {
        {2, TRUE, 2},      // by index
        {40, TRUE, 0},     // a missing index selects item 0
        {19200, FALSE, 2}, // the first item that begins with the text
        {57600, FALSE, 4}, // otherwise the first that contains it
        {1152, FALSE, 3},  // prefix of 115200
    };
    for (const auto& c : cases) {
        dlg.SetComboSel(id, c.nValue, c.bByIndex);
        EXPECT_EQ(dlg.GetComboSel(id), c.nExpected) << c.nValue;
    }
    dlg.SetComboSel(id, 777, FALSE); // matches nothing: the selection stays
    EXPECT_EQ(dlg.GetComboSel(id), 3);
    EXPECT_EQ(dlg.GetComboSel(4242), -1);
    EXPECT_EQ(dlg.AddComboString(4242, L"x"), -1);

    // Saved and loaded through a settings file.
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring file = std::wstring(temp) + L"h10-combo-test.ini";
    dlg.SaveComboItems(id, file.c_str(), L"Combo", L"Item");
    ::SendMessageW(dlg.GetDlgItem(id), CB_RESETCONTENT, 0, 0);
    dlg.LoadComboItems(id, file.c_str(), L"Combo", L"Item", -1, FALSE);
    EXPECT_EQ(::SendMessageW(dlg.GetDlgItem(id), CB_GETCOUNT, 0, 0), 5);
    EXPECT_EQ(dlg.GetComboSel(id), 0);
    wchar_t first[32] = {};
    ::SendMessageW(dlg.GetDlgItem(id), CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(first));
    EXPECT_STREQ(first, L"4800");
    ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, file.c_str());
    ::DeleteFileW(file.c_str());
}

TEST_F(CDialogCoreTest, SelectedAndCheckedRowsInRisingOrFallingOrder)
{
    CTestDialog dlg;
    dlg.SetControlSkinMask(0); // the platform list view alone
    ASSERT_TRUE(dlg.CreateModeless(nullptr));
    HWND hList = dlg.GetDlgItem(IDC_MYDLG_LIST);
    ::SendMessageW(hList, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES, LVS_EX_CHECKBOXES);
    LVCOLUMNW col{};
    col.mask = LVCF_WIDTH;
    col.cx = 80;
    ::SendMessageW(hList, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&col));
    for (int i = 0; i < 5; ++i) {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = i;
        wchar_t text[] = L"row";
        item.pszText = text;
        ::SendMessageW(hList, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    auto setState = [&](int row, UINT state, UINT mask) {
        LVITEMW item{};
        item.stateMask = mask;
        item.state = state;
        ::SendMessageW(hList, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    };
    setState(1, LVIS_SELECTED, LVIS_SELECTED);
    setState(3, LVIS_SELECTED, LVIS_SELECTED);
    setState(0, INDEXTOSTATEIMAGEMASK(2), LVIS_STATEIMAGEMASK);
    setState(4, INDEXTOSTATEIMAGEMASK(2), LVIS_STATEIMAGEMASK);

    std::vector<int> rows{99};
    EXPECT_EQ(CMyDialog::GetSelectedRows(hList, rows, FALSE), 2);
    EXPECT_EQ(rows, (std::vector<int>{1, 3}));
    EXPECT_EQ(CMyDialog::GetSelectedRows(hList, rows, TRUE), 2);
    EXPECT_EQ(rows, (std::vector<int>{3, 1}));
    EXPECT_EQ(CMyDialog::GetCheckedRows(hList, rows, FALSE), 2);
    EXPECT_EQ(rows, (std::vector<int>{0, 4}));
    EXPECT_EQ(CMyDialog::GetCheckedRows(nullptr, rows, FALSE), 0);
    EXPECT_TRUE(rows.empty());
}

TEST_F(CDialogCoreTest, RedrawQueueInvalidatesTheAreaUnderAControlUnlessExcluded)
{
    CTestDialog dlg;
    dlg.SetControlSkinMask(0);
    ASSERT_TRUE(dlg.CreateModeless(nullptr));
    dlg.ShowWindow(SW_SHOW);
    PumpFor(100);
    // Runs only the timers, so that the dialog's update area stays for reading.
    auto runTimers = [] {
        for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < 60; ::Sleep(5)) {
            MSG msg;
            while (::PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE))
                ::DispatchMessageW(&msg);
        }
    };
    const RECT place = PlaceOf(dlg.GetDlgItem(IDC_MYDLG_STATIC2));
    ::ValidateRect(dlg.m_hWnd, nullptr);
    dlg.RedrawItem(IDC_MYDLG_STATIC2);
    dlg.RedrawItem(4999); // no such control: nothing queued
    runTimers();
    RECT update{};
    ASSERT_TRUE(::GetUpdateRect(dlg.m_hWnd, &update, FALSE));
    RECT grown = place;
    ::InflateRect(&grown, 2, 2);
    RECT both{};
    ::IntersectRect(&both, &update, &grown);
    EXPECT_TRUE(::EqualRect(&both, &grown)); // the control grown by 2 pixels is in it

    ::ValidateRect(dlg.m_hWnd, nullptr);
    dlg.SetRedrawExclusion(3, IDC_MYDLG_STATIC2);
    dlg.RedrawItem(IDC_MYDLG_STATIC2);
    runTimers();
    EXPECT_FALSE(::GetUpdateRect(dlg.m_hWnd, &update, FALSE));
}

TEST_F(CDialogCoreTest, AHiddenDialogRestsItsPollingTimersUntilShown)
{
    CTestDialog dlg;
    ASSERT_TRUE(dlg.CreateModeless(nullptr));
    const HWND hWnd = dlg.m_hWnd;
    const HWND hStatic = dlg.GetDlgItem(IDC_MYDLG_STATIC2);
    ASSERT_FALSE(::IsWindowVisible(hWnd));
    dlg.QueueRedraw(hStatic);
    CountTimerTicks(hWnd, 100); // the first tick finds it hidden

    // Resting: a queued control waits, and the mouse wakes nothing.
    dlg.QueueRedraw(hStatic);
    dlg.SendMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(hStatic), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    auto hidden = CountTimerTicks(hWnd, 300);
    EXPECT_EQ(hidden[CMyDialog::TIMER_REDRAW], 0);
    EXPECT_EQ(hidden[CMyDialog::TIMER_COPY_TEXT], 0);
    EXPECT_EQ(hidden[CMyDialog::TIMER_TRACK], 0);

    // Shown: the waiting control is repainted, then the timer stops with the queue empty.
    ::ValidateRect(hWnd, nullptr);
    dlg.ShowWindow(SW_SHOW);
    EXPECT_GE(CountTimerTicks(hWnd, 300)[CMyDialog::TIMER_REDRAW], 1);
    EXPECT_EQ(CountTimerTicks(hWnd, 300)[CMyDialog::TIMER_REDRAW], 0);

    // Hidden again: at rest at once.
    dlg.ShowWindow(SW_HIDE);
    dlg.QueueRedraw(hStatic);
    EXPECT_EQ(CountTimerTicks(hWnd, 300)[CMyDialog::TIMER_REDRAW], 0);
}

TEST_F(CDialogCoreTest, TheRedrawTimerRunsOnlyWhileTheQueueHoldsSomething)
{
    CTestDialog dlg;
    ASSERT_TRUE(dlg.CreateModeless(nullptr));
    dlg.ShowWindow(SW_SHOW);
    const HWND hWnd = dlg.m_hWnd;
    const HWND hStatic = dlg.GetDlgItem(IDC_MYDLG_STATIC2);
    PumpFor(300); // start-up: the language timer, the first paints

    // Idle, with the pointer elsewhere: no polling timer at all.
    auto idle = CountTimerTicks(hWnd, 400);
    EXPECT_EQ(idle[CMyDialog::TIMER_REDRAW], 0);
    EXPECT_EQ(idle[CMyDialog::TIMER_COPY_TEXT], 0);
    EXPECT_EQ(idle[CMyDialog::TIMER_TRACK], 0);

    // A burst of entries is flushed by one tick, which also ends the timer.
    dlg.RedrawItem(IDC_MYDLG_STATIC2);
    dlg.RedrawItem(IDC_MYDLG_STATIC);
    dlg.RedrawItem(IDC_MYDLG_STATIC2);
    EXPECT_EQ(CountTimerTicks(hWnd, 200)[CMyDialog::TIMER_REDRAW], 1);
    EXPECT_EQ(CountTimerTicks(hWnd, 200)[CMyDialog::TIMER_REDRAW], 0);

    // Queued from a worker: the entry and its timer go to the window's thread.
    std::atomic<bool> done{false};
    std::thread worker([&] {
        dlg.QueueRedraw(hStatic);
        done = true;
    });
    auto fromWorker = CountTimerTicks(hWnd, 300);
    worker.join();
    EXPECT_TRUE(done.load());
    EXPECT_EQ(fromWorker[CMyDialog::TIMER_REDRAW], 1);
    EXPECT_EQ(CountTimerTicks(hWnd, 200)[CMyDialog::TIMER_REDRAW], 0);
}

TEST_F(CDialogCoreTest, MousePollsRunOnlyWhileThePointerIsOverTheDialog)
{
    enum Entry { SETCURSOR_TO_DIALOG, MOUSEMOVE_POSTED_TO_CONTROL, MOUSEMOVE_TO_DIALOG };
    const struct {
        const char* name;
        bool bEmbedded; // the pointer is over an embedded dialog, whose timers are watched
        Entry entry;
    } cases[] = {
        {"WM_SETCURSOR for a control", false, SETCURSOR_TO_DIALOG},
        {"WM_MOUSEMOVE on a control", false, MOUSEMOVE_POSTED_TO_CONTROL},
        {"WM_MOUSEMOVE on the dialog", false, MOUSEMOVE_TO_DIALOG},
        {"embedded: WM_SETCURSOR for a control", true, SETCURSOR_TO_DIALOG},
        {"embedded: WM_MOUSEMOVE on a control", true, MOUSEMOVE_POSTED_TO_CONTROL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ParkCursorAway();
        CTestDialog dlg;
        ASSERT_TRUE(dlg.CreateModeless(nullptr));
        CMyDialog* pTarget = &dlg;
        HWND hControl = dlg.GetDlgItem(IDC_MYDLG_STATIC2);
        if (c.bEmbedded) {
            pTarget = dlg.EmbedChildDialog(IDD_MYDLG_CHILD, TRUE);
            ASSERT_NE(pTarget, nullptr);
            ::SetWindowPos(pTarget->m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            hControl = pTarget->GetDlgItem(IDC_MYDLG_CHILD_STATIC);
        }
        dlg.ShowWindow(SW_SHOW);
        const HWND hTarget = pTarget->m_hWnd;
        PumpFor(300);
        auto before = CountTimerTicks(hTarget, 200);
        EXPECT_EQ(before[CMyDialog::TIMER_COPY_TEXT], 0);
        EXPECT_EQ(before[CMyDialog::TIMER_TRACK], 0);

        const POINT over = CentreOf(hControl);
        ::SetCursorPos(over.x, over.y);
        const HWND hUnder = ::WindowFromPoint(over);
        ASSERT_TRUE(hUnder == hTarget || ::IsChild(hTarget, hUnder));
        switch (c.entry) {
        case SETCURSOR_TO_DIALOG:
            ::SendMessageW(hTarget, WM_SETCURSOR, reinterpret_cast<WPARAM>(hControl),
                           MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
            break;
        case MOUSEMOVE_POSTED_TO_CONTROL:
            ::PostMessageW(hControl, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
            break;
        case MOUSEMOVE_TO_DIALOG:
            ::SendMessageW(hTarget, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
            break;
        }
        auto over300 = CountTimerTicks(hTarget, 300);
        EXPECT_GE(over300[CMyDialog::TIMER_COPY_TEXT], 5);
        EXPECT_GE(over300[CMyDialog::TIMER_TRACK], 4);

        // The pointer leaves: the polls notice and stop themselves.
        ParkCursorAway();
        CountTimerTicks(hTarget, 100);
        auto away = CountTimerTicks(hTarget, 300);
        EXPECT_EQ(away[CMyDialog::TIMER_COPY_TEXT], 0);
        EXPECT_EQ(away[CMyDialog::TIMER_TRACK], 0);

        // A stray WM_SETCURSOR with the pointer away costs at most one tick of each.
        ::SendMessageW(hTarget, WM_SETCURSOR, reinterpret_cast<WPARAM>(hControl),
                       MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        auto stray = CountTimerTicks(hTarget, 300);
        EXPECT_LE(stray[CMyDialog::TIMER_COPY_TEXT], 1);
        EXPECT_LE(stray[CMyDialog::TIMER_TRACK], 1);
        dlg.ShowWindow(SW_HIDE);
    }
}

TEST_F(CDialogCoreTest, MousePollsRestWhileThePointerLiesStillOverTheDialog)
{
    ParkCursorAway();
    CTestDialog dlg;
    ASSERT_TRUE(dlg.CreateModeless(nullptr));
    dlg.ShowWindow(SW_SHOW);
    const HWND hWnd = dlg.m_hWnd;
    const HWND hControl = dlg.GetDlgItem(IDC_MYDLG_STATIC2);
    PumpFor(300);

    const POINT over = CentreOf(hControl);
    ::SetCursorPos(over.x, over.y);
    ::SendMessageW(hWnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hControl),
                   MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_GE(CountTimerTicks(hWnd, 300)[CMyDialog::TIMER_COPY_TEXT], 5);

    // Lying still for longer than the rest time: the polls stop, the pointer still over the dialog.
    CountTimerTicks(hWnd, CMyDialog::MOUSE_REST_MS + 200);
    auto resting = CountTimerTicks(hWnd, 500);
    EXPECT_EQ(resting[CMyDialog::TIMER_COPY_TEXT], 0);
    EXPECT_EQ(resting[CMyDialog::TIMER_TRACK], 0);

    // Moved a little: the mouse message starts them again.
    ::SetCursorPos(over.x + 1, over.y);
    ::PostMessageW(hControl, WM_MOUSEMOVE, 0, MAKELPARAM(3, 2));
    auto moved = CountTimerTicks(hWnd, 300);
    EXPECT_GE(moved[CMyDialog::TIMER_COPY_TEXT], 5);
    EXPECT_GE(moved[CMyDialog::TIMER_TRACK], 4);
    ParkCursorAway();
    dlg.ShowWindow(SW_HIDE);
}

TEST_F(CDialogCoreTest, CallMessagesThatThisProcessDidNotMakeRunNothing)
{
    CTestDialog dlg;
    ASSERT_TRUE(dlg.CreateModeless(nullptr));
    const HWND hWnd = dlg.m_hWnd;
    const UINT nCallMessage = ::RegisterWindowMessageW(L"CMyDialog.CallOnWindowThread");
    ASSERT_NE(nCallMessage, 0u);

    // What another program could send: the address of a callable in this process, and numbers.
    std::atomic<bool> bRan{false};
    const std::function<void()> forged = [&bRan] { bRan = true; };
    const LPARAM values[] = {reinterpret_cast<LPARAM>(&forged), 1, 2, 0x10000, -1, 0};
    for (LPARAM value : values) {
        SCOPED_TRACE(value);
        std::atomic<bool> done{false};
        DWORD_PTR result = 99;
        LRESULT sent = 0;
        std::thread sender([&] {
            sent = ::SendMessageTimeoutW(hWnd, nCallMessage, 0, value, SMTO_NORMAL, 3000, &result);
            done = true;
        });
        PumpUntil([&] { return done.load(); });
        sender.join();
        EXPECT_NE(sent, 0);
        EXPECT_EQ(result, 0u);
        EXPECT_FALSE(bRan.load());
    }

    // The calls this process makes still run on the window's thread.
    std::atomic<bool> done{false};
    HWND hFound = nullptr;
    std::thread worker([&] {
        dlg.SetItemText(IDC_MYDLG_STATIC, L"from a worker");
        hFound = dlg.FindItem(IDC_MYDLG_STATIC2, TRUE);
        done = true;
    });
    PumpUntil([&] { return done.load(); });
    worker.join();
    EXPECT_EQ(TextOf(dlg.GetDlgItem(IDC_MYDLG_STATIC)), L"from a worker");
    EXPECT_EQ(hFound, dlg.GetDlgItem(IDC_MYDLG_STATIC2));
}

TEST_F(CDialogCoreTest, CommandsToItselfAreSentOrPostedAndFixedFontComesAndGoes)
{
    CTestDialog dlg;
    ASSERT_TRUE(dlg.CreateModeless(nullptr));
    auto seen = [&dlg](WORD nID) { return std::count(dlg.m_commands.begin(), dlg.m_commands.end(), nID); };
    dlg.SendCommand(5001, 0, TRUE);
    EXPECT_EQ(seen(5001), 1);
    dlg.SendCommand(5002, 0, FALSE);
    EXPECT_EQ(seen(5002), 0);
    Pump();
    EXPECT_EQ(seen(5002), 1);

    HWND hStatic = dlg.GetDlgItem(IDC_MYDLG_STATIC);
    dlg.SetItemFixedFont(IDC_MYDLG_STATIC, TRUE);
    EXPECT_EQ(reinterpret_cast<HFONT>(::SendMessageW(hStatic, WM_GETFONT, 0, 0)), CMyDialog::GetFixedFont());
    LOGFONTW lf{};
    ::GetObjectW(CMyDialog::GetFixedFont(), sizeof lf, &lf);
    EXPECT_STREQ(lf.lfFaceName, L"Fixedsys");
    dlg.SetItemFixedFont(IDC_MYDLG_STATIC, FALSE);
    EXPECT_EQ(::SendMessageW(hStatic, WM_GETFONT, 0, 0), dlg.SendMessage(WM_GETFONT, 0, 0));
}
