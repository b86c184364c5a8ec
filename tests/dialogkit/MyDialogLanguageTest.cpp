// Language files: the global choice, loading places into dialogs, the translator's template,
// free strings, and damaged files.

#include "MyDialogTestSupport.h"

#include <string>

namespace {

const wchar_t* const SECTION = L"DIALOG-2100";

bool SameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

} // namespace

class CDialogLanguageTest : public CDialogTest {
  protected:
    // A test dialog, hidden (showing waits on the X server), whose start-up language load
    // (timer 2212) has run.
    void Open(CTestDialog& dlg)
    {
        ASSERT_TRUE(dlg.CreateModeless(nullptr));
        ASSERT_TRUE(PumpUntil([&] { return !dlg.m_applied.empty(); }));
    }
};

TEST_F(CDialogLanguageTest, NoLanguageFileGivesLanguageZeroAndBuiltInTextsOnly)
{
    CTestDialog dlg;
    EXPECT_EQ(dlg.GetLangId(), 0);
    EXPECT_EQ(CMyDialog::GetGlobalLanguage(), 0);
    ASSERT_TRUE(dlg.CreateModeless(nullptr));
    RECT before = PlaceOf(dlg.GetDlgItem(IDC_MYDLG_BUTTON));
    ASSERT_TRUE(PumpUntil([&] { return !dlg.m_applied.empty(); }));
    EXPECT_EQ(dlg.m_applied, std::vector<int>{0});
    EXPECT_TRUE(SameRect(before, PlaceOf(dlg.GetDlgItem(IDC_MYDLG_BUTTON))));
    EXPECT_EQ(TextOf(dlg.m_hWnd), L"框架测试");
}

TEST_F(CDialogLanguageTest, LanguageFilesLieBesideTheExecutable)
{
    EXPECT_EQ(CMyDialog::GetLanguageFileName(), LanguageFile());
    EXPECT_EQ(CMyDialog::GetGlobalLanguageFileName(), GlobalLanguageFile());
    // The choice is written to the global file and read back from it.
    CMyDialog::SetGlobalLanguage(1);
    ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, GlobalLanguageFile().c_str());
    EXPECT_NE(::GetFileAttributesW(GlobalLanguageFile().c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(CMyDialog::GetGlobalLanguage(), 1);
    ::DeleteFileW(GlobalLanguageFile().c_str());
    EXPECT_EQ(CMyDialog::GetGlobalLanguage(), 0) << "the choice was kept elsewhere";
    CMyDialog::SetGlobalLanguage(0);
    // A dialog's texts are saved to the executable's own file.
    CTestDialog dlg;
    dlg.SetLangString(5, L"saved");
    ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, LanguageFile().c_str());
    EXPECT_NE(::GetFileAttributesW(LanguageFile().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(CDialogLanguageTest, SetGlobalLanguageAppliesWindowAndItemPlacesWithinTheIdBounds)
{
    CTestDialog dlg;
    Open(dlg);
    RECT rcWindow;
    ::GetWindowRect(dlg.m_hWnd, &rcWindow);
    const RECT outside = PlaceOf(dlg.GetDlgItem(IDC_MYDLG_EDIT)); // 1003 is outside 1000..1002

    WriteLang(SECTION, L"MinItemID", L"1000");
    WriteLang(SECTION, L"MaxItemID", L"1002");
    WriteLang(SECTION, L"WindowPos-1", L"-1,-1,600,400  10,10");
    WriteLang(SECTION, L"ItemPos-1000-1", L"20,30,70,25");
    WriteLang(SECTION, L"ItemPos-1001-1", L"-1,-1,80,20");
    WriteLang(SECTION, L"ItemPos-1002-1", L"5,200,40,12");
    WriteLang(SECTION, L"ItemPos-1003-1", L"300,300,10,10");
    WriteLang(SECTION, L"WindowText-1", L"Framework test");
    const RECT before1001 = PlaceOf(dlg.GetDlgItem(IDC_MYDLG_STATIC));

    CMyDialog::SetGlobalLanguage(1);
    EXPECT_EQ(CMyDialog::GetGlobalLanguage(), 1);
    EXPECT_EQ(dlg.GetLangId(), 1);
    EXPECT_EQ(dlg.m_applied.back(), 1);

    RECT rcNow;
    ::GetWindowRect(dlg.m_hWnd, &rcNow);
    EXPECT_EQ(rcNow.right - rcNow.left, 600);
    EXPECT_EQ(rcNow.bottom - rcNow.top, 400);
    EXPECT_EQ(rcNow.left, rcWindow.left);
    EXPECT_EQ(rcNow.top, rcWindow.top);

    EXPECT_TRUE(SameRect(PlaceOf(dlg.GetDlgItem(IDC_MYDLG_BUTTON)), RECT{20, 30, 90, 55}));
    const RECT r1001 = PlaceOf(dlg.GetDlgItem(IDC_MYDLG_STATIC));
    EXPECT_EQ(r1001.left, before1001.left);
    EXPECT_EQ(r1001.top, before1001.top);
    EXPECT_EQ(r1001.right - r1001.left, 80);
    EXPECT_EQ(r1001.bottom - r1001.top, 20);
    EXPECT_TRUE(SameRect(PlaceOf(dlg.GetDlgItem(IDC_MYDLG_STATIC2)), RECT{5, 200, 45, 212}));
    EXPECT_TRUE(SameRect(PlaceOf(dlg.GetDlgItem(IDC_MYDLG_EDIT)), outside));
    // "LoadText" is 0: the title stays.
    EXPECT_EQ(TextOf(dlg.m_hWnd), L"框架测试");
    // A move is recorded back into the file.
    EXPECT_EQ(ReadLang(SECTION, L"ItemPos-1000-1"), L"20,30,70,25");
}

TEST_F(CDialogLanguageTest, TitleIsTakenOnlyWithLoadText)
{
    CTestDialog dlg;
    Open(dlg);
    WriteLang(SECTION, L"WindowText-2", L"English title");
    WriteLang(SECTION, L"LoadText", L"1");
    dlg.LoadLanguage(2);
    EXPECT_EQ(TextOf(dlg.m_hWnd), L"English title");
}

TEST_F(CDialogLanguageTest, MaxItemIdAbove5000CountsAs5000)
{
    CTestDialog dlg;
    Open(dlg);
    WriteLang(SECTION, L"MinItemID", L"4999");
    WriteLang(SECTION, L"MaxItemID", L"9000");
    WriteLang(SECTION, L"ItemPos-5000-1", L"11,12,30,10");
    WriteLang(SECTION, L"ItemPos-5001-1", L"13,14,30,10");
    const RECT before5001 = PlaceOf(dlg.GetDlgItem(IDC_MYDLG_ID5001));
    CMyDialog::SetGlobalLanguage(1);
    EXPECT_TRUE(SameRect(PlaceOf(dlg.GetDlgItem(IDC_MYDLG_ID5000)), RECT{11, 12, 41, 22}));
    EXPECT_TRUE(SameRect(PlaceOf(dlg.GetDlgItem(IDC_MYDLG_ID5001)), before5001));
}

TEST_F(CDialogLanguageTest, LoadingTheSameIdTwiceReappliesOnlyBuiltInTexts)
{
    CTestDialog dlg;
    Open(dlg);
    WriteLang(SECTION, L"MinItemID", L"1000");
    WriteLang(SECTION, L"MaxItemID", L"1000");
    WriteLang(SECTION, L"ItemPos-1000-3", L"40,40,50,20");
    dlg.LoadLanguage(3);
    HWND hButton = dlg.GetDlgItem(IDC_MYDLG_BUTTON);
    EXPECT_TRUE(SameRect(PlaceOf(hButton), RECT{40, 40, 90, 60}));
    ::SetWindowPos(hButton, nullptr, 60, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    const size_t applied = dlg.m_applied.size();
    dlg.LoadLanguage(3);
    EXPECT_EQ(dlg.m_applied.size(), applied + 1);
    EXPECT_EQ(dlg.m_applied.back(), 3);
    EXPECT_TRUE(SameRect(PlaceOf(hButton), RECT{60, 60, 110, 80}));
}

TEST_F(CDialogLanguageTest, EmbeddedDialogControlsArePlacedThroughTheParentsSection)
{
    CTestDialog dlg;
    Open(dlg);
    CMyDialog* pChild = dlg.EmbedChildDialog(IDD_MYDLG_CHILD, TRUE);
    ASSERT_NE(pChild, nullptr);
    WriteLang(SECTION, L"MinItemID", L"1500");
    WriteLang(SECTION, L"MaxItemID", L"1500");
    WriteLang(SECTION, L"ItemPos-1500-4", L"2,3,50,11");
    dlg.LoadLanguage(4);
    EXPECT_TRUE(SameRect(PlaceOf(pChild->GetDlgItem(IDC_MYDLG_CHILD_STATIC)), RECT{2, 3, 52, 14}));
}

TEST_F(CDialogLanguageTest, TemplateHoldsTitlePlacesTextsAndBounds)
{
    CTestDialog dlg;
    Open(dlg);
    dlg.SetItemText(IDC_MYDLG_TWOLINES, L"Line one\r\nLine two");
    dlg.SetItemText(IDC_MYDLG_STATIC, L"a\nb");
    dlg.RegisterImageButton(IDC_MYDLG_BUTTON, L"n.png", L"o.png", L"d.png", L"x.png");
    dlg.WriteLanguageTemplate(7);

    EXPECT_EQ(ReadLang(SECTION, L"WindowText-7"), L"框架测试");
    EXPECT_EQ(ReadLang(SECTION, L"SetLangID"), L"7");
    RECT rc;
    ::GetWindowRect(dlg.m_hWnd, &rc);
    wchar_t place[96];
    swprintf(place, 96, L"-1,-1,%d,%d  %d,%d", int(rc.right - rc.left), int(rc.bottom - rc.top), int(rc.left),
             int(rc.top));
    EXPECT_EQ(ReadLang(SECTION, L"WindowPos-7"), place);
    EXPECT_EQ(ReadLang(SECTION, L"ItemText-1014-7"), L"Line one<--CR-->Line two");
    EXPECT_EQ(ReadLang(SECTION, L"ItemText-1001-7"), L"a<--CR-->b");
    // Edits get a place but no text.
    EXPECT_EQ(ReadLang(SECTION, L"ItemText-1003-7"), L"");
    const RECT edit = PlaceOf(dlg.GetDlgItem(IDC_MYDLG_EDIT));
    swprintf(place, 96, L"%d,%d,%d,%d", int(edit.left), int(edit.top), int(edit.right - edit.left),
             int(edit.bottom - edit.top));
    EXPECT_EQ(ReadLang(SECTION, L"ItemPos-1003-7"), place);
    EXPECT_EQ(ReadLang(SECTION, L"ItemPos-65535-7"), L"");
    EXPECT_EQ(ReadLang(SECTION, L"ItemPos--1-7"), L"");
    EXPECT_EQ(ReadLang(SECTION, L"ItemBMP-1000-7"), L"n.png,o.png,d.png,x.png");
    // IDOK (1) is the lowest button, the static 5001 the highest.
    EXPECT_EQ(ReadLang(SECTION, L"MinItemID"), L"1");
    EXPECT_EQ(ReadLang(SECTION, L"MaxItemID"), L"5001");

    // The template loads back: a moved control returns to its recorded place.
    HWND hButton = dlg.GetDlgItem(IDC_MYDLG_BUTTON);
    const RECT home = PlaceOf(hButton);
    ::SetWindowPos(hButton, nullptr, 100, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    dlg.LoadLanguage(0);
    dlg.LoadLanguage(7);
    EXPECT_TRUE(SameRect(PlaceOf(hButton), home));
}

TEST_F(CDialogLanguageTest, TemplateOfADialogWithoutButtonsOrStaticsHasEmptyBounds)
{
    CTestDialog dlg(IDD_MYDLG_CHILD);
    CTestDialog parent;
    Open(parent);
    ASSERT_TRUE(dlg.CreateModeless(IDD_MYDLG_CHILD, &parent));
    ::DestroyWindow(dlg.GetDlgItem(IDC_MYDLG_CHILD_STATIC));
    dlg.WriteLanguageTemplate(1);
    EXPECT_EQ(ReadLang(L"DIALOG-2101", L"MinItemID"), L"65535");
    EXPECT_EQ(ReadLang(L"DIALOG-2101", L"MaxItemID"), L"1");
}

// Texts written into the language file through a dialog and read back from the file and through
// the dialog: free strings (control 0) are stored as UTF-8 and come back whole; a button's or a
// static's saved text keeps its line breaks as "<--CR-->"; other controls are shown but not saved.
TEST_F(CDialogLanguageTest, TextsRoundTripThroughTheLanguageFile)
{
    struct Case {
        const char* name;
        int nControl; // 0: free string number nString
        int nString;
        const wchar_t* text;
        const wchar_t* saved; // the file's value of a control's text
    };
    // "中" is E4 B8 AD in UTF-8, bytes that are no valid pair in the Chinese code page (936).
    const Case cases[] = {
        {"plain free string", 0, 5, L"plain text", nullptr},
        {"accented free string", 0, 6, L"Caméra réseau", nullptr},
        {"one Chinese character", 0, 7, L"中", nullptr},
        {"Chinese and ASCII", 0, 8, L"摄像头一号 IPC", nullptr},
        {"static, CR LF", IDC_MYDLG_STATIC, 0, L"x\r\ny", L"x<--CR-->y"},
        {"static, LF", IDC_MYDLG_STATIC2, 0, L"a\nb", L"a<--CR-->b"},
        {"button, CR LF then LF", IDC_MYDLG_TWOLINES, 0, L"one\r\ntwo\nthree",
         L"one<--CR-->two<--CR-->three"},
        {"edit is not saved", IDC_MYDLG_EDIT, 0, L"edit", L""},
    };
    CTestDialog dlg;
    Open(dlg);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.nControl == 0) {
            dlg.SetLangString(c.nString, c.text);
            EXPECT_EQ(ReadLang(SECTION, L"UTF8Txt"), L"1");
            EXPECT_EQ(std::wstring(dlg.GetLangString(c.nString)), c.text);
        } else {
            dlg.SetItemTextAndSave(c.nControl, c.text);
            EXPECT_EQ(TextOf(dlg.GetDlgItem(c.nControl)), c.text);
            const std::wstring key = L"ItemText-" + std::to_wstring(c.nControl) + L"-0";
            EXPECT_EQ(ReadLang(SECTION, key.c_str()), c.saved);
        }
    }
    EXPECT_STREQ(dlg.GetLangString(9), L"") << "a string never written";
}

// Damaged language files give the defaults or are ignored: no crash, no window off every screen.
TEST_F(CDialogLanguageTest, DamagedPlacesAreIgnoredOrKeptOnScreen)
{
    struct Case {
        const wchar_t* name;
        const wchar_t* windowPos;
        const wchar_t* itemPos;
        bool bWindowKept; // the window keeps place and size
        bool bItemKept;   // control 1000 keeps place and size
    };
    const Case cases[] = {
        {L"missing", L"", L"", true, true},
        {L"short", L"1,2", L"1,2,3", true, true},
        {L"not numbers", L"abc,def,ghi,jkl", L"a,b,c,d", true, true},
        {L"overflowing", L"99999999999,5,600,400", L"99999999999,5,10,10", true, true},
        {L"zero sizes", L"-1,-1,0,0", L"-1,-1,0,0", true, true},
        {L"negative sizes", L"-1,-1,-50,-70", L"-1,-1,-5,-5", true, true},
        {L"huge sizes", L"-1,-1,2000000000,2000000000", L"-1,-1,2000000000,90000", true, true},
        {L"long value", nullptr, nullptr, true, true},
    };
    const std::wstring longValue = L"1,2,3" + std::wstring(6000, L'9');
    RECT work;
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.name, c.name + wcslen(c.name)));
        RemoveLanguageFiles();
        CTestDialog dlg;
        Open(dlg);
        WriteLang(SECTION, L"MinItemID", L"-100");
        WriteLang(SECTION, L"MaxItemID", L"2147483647");
        WriteLang(SECTION, L"WindowPos-1", c.windowPos ? c.windowPos : longValue.c_str());
        WriteLang(SECTION, L"ItemPos-1000-1", c.itemPos ? c.itemPos : longValue.c_str());
        WriteLang(SECTION, L"ItemBMP-1000-1", c.itemPos ? c.itemPos : longValue.c_str());
        RECT rcBefore;
        ::GetWindowRect(dlg.m_hWnd, &rcBefore);
        const RECT itemBefore = PlaceOf(dlg.GetDlgItem(IDC_MYDLG_BUTTON));
        dlg.LoadLanguage(1);
        RECT rcAfter;
        ::GetWindowRect(dlg.m_hWnd, &rcAfter);
        if (c.bWindowKept) {
            EXPECT_TRUE(SameRect(rcBefore, rcAfter));
        }
        if (c.bItemKept) {
            EXPECT_TRUE(SameRect(itemBefore, PlaceOf(dlg.GetDlgItem(IDC_MYDLG_BUTTON))));
        }
    }

    // Places off every screen are pulled back so that the window's top band can be reached.
    const wchar_t* const offScreen[] = {L"-5000,-5000,300,200", L"30000,30000,300,200",
                                        L"-2147483647,0,300,200", L"0,-400,300,200"};
    for (const wchar_t* value : offScreen) {
        SCOPED_TRACE(testing::Message() << std::string(value, value + wcslen(value)));
        RemoveLanguageFiles();
        CTestDialog dlg;
        Open(dlg);
        WriteLang(SECTION, L"WindowPos-1", value);
        dlg.LoadLanguage(1);
        RECT rc;
        ::GetWindowRect(dlg.m_hWnd, &rc);
        EXPECT_EQ(rc.right - rc.left, 300);
        EXPECT_EQ(rc.bottom - rc.top, 200);
        RECT visible;
        EXPECT_TRUE(::IntersectRect(&visible, &rc, &work));
        EXPECT_GE(rc.top, work.top);
        EXPECT_GE(visible.right - visible.left, 100);
    }
}
