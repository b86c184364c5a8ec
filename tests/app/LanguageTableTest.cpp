// Every text of the main window, the single-camera dialog and the group dialog in both languages:
// the real windows, switched through the main window's language list as the operator does it, read
// back control by control. The ids are written as numbers so that a control with a wrong id fails
// as well as a wrong text.
#include "SettingsTestSupport.h"

#include "AppTestSupport.h"
#include "app/DeviceSetDlg.h"
#include "app/GroupSetDlg.h"
#include "app/MainDlg.h"

#include <commctrl.h>

#include <cwctype>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

struct ControlText {
    int nID;
    const wchar_t* chinese;
    const wchar_t* english;
};

struct ColumnText {
    int nCol;
    const wchar_t* chinese;
    const wchar_t* english;
};

// Main window (template 102). The language choice is labelled in the other language.
const ControlText kMainTexts[] = {
    {1039, L"设备数量:", L"Camera Count:"},
    {1006, L"编辑(&M) ...", L"&Modify By Single..."},
    {1040, L"本机IP地址:", L"IP Address:"},
    {1016, L"窗口置顶(&T)", L"Set On &Top"},
    {1007, L"刷新(&R)", L"&Rescan"},
    {1001, L"批量操作(&G) ...", L"Modify by &Group ..."},
    {1002, L"打开网页(&B) ...", L"&Browse on Web ..."},
    {1041, L"Language:", L"界面语言:"},
    {2, L"退出(&X)", L"E&xit"},
};

const ColumnText kMainColumns[] = {
    {0, L"设备IP", L"IP Address"}, {1, L"网关", L"GateWay"},     {2, L"设备名称", L"Name"},
    {3, L"设备ID", L"ID Serial"},  {4, L"网络类型", L"Network"}, {5, L"MAC地址", L"MAC Address"},
    {6, L"版本", L"Version"},
};

// Single-camera dialog (template 103). The WiFi gateway's English label is "GataWay:".
const ControlText kDeviceTexts[] = {
    {1039, L"有线网络", L"LAN"},
    {1040, L"IP地址:", L"IP Address:"},
    {1041, L"掩码:", L"Mask:"},
    {1042, L"网关:", L"GateWay:"},
    {1043, L"DNS:", L"DNS:"},
    {1012, L"打开DHCP(&D)", L"Enable &DHCP"},
    {1044, L"WiFi网络", L"WiFi"},
    {1045, L"IP地址:", L"IP Address:"},
    {1046, L"掩码:", L"Mask:"},
    {1047, L"网关:", L"GataWay:"},
    {1048, L"DNS:", L"DNS:"},
    {1017, L"打开DHCP(&H)", L"Enable D&HCP"},
    {1049, L"AP密码:", L"AP Password:"},
    {1018, L"打开 WiFi 网卡模式(&A)", L"Enable &AP mode"},
    {1050, L"SSID:", L"SSID:"},
    {1051, L"密码:", L"Password:"},
    {1052, L"加密类型:", L"Encrypt Type:"},
    {1053, L"设备名称:", L"Camera Name:"},
    {1005, L"设置参数(&S)", L"Do &Setting"},
    {1054, L"当前设备:", L"Currently:"},
    {1, L"返回(&R)", L"&Return"},
};

// Group dialog (template 104).
const ControlText kGroupTexts[] = {
    {1039, L"起始IP:", L"IP From:"},
    {1040, L"网关:", L"Gate Way:"},
    {1041, L"名称:", L"Name:"},
    {1042, L"步长:", L"Step:"},
    {1013, L"仅应用到√项(&O)", L"&Only checked Item(s)"},
    {1000, L"应用(&P)", L"A&pply For"},
    {1003, L"全(√)(&A)", L"Check &All"},
    {1011, L"全不(√)(&N)", L"U&ncheck All"},
    {1008, L"反(√)(&V)", L"Re&verse Check"},
    {1004, L"√选中项(&C)", L"&Check Selected"},
    {1009, L"反√选中项(&U)", L"&Uncheck Selected"},
    {1014, L"不修改IP(&I)", L"Not modify &IP"},
    {1015, L"不修改名称(&M)", L"Not &modify Name"},
    {1010, L"执行批量设置(&S)", L"&Set for All checked"},
    {1, L"返回(&R)", L"&Return"},
    {1057, L"导入计划(&L) ...", L"Import P&lan..."},
    {1058, L"导出结果(&E) ...", L"&Export Results..."},
};

// The fifth column holds the change check's status of each camera.
const ColumnText kGroupColumns[] = {
    {0, L"设备ID", L"ID Serial"}, {1, L"IP地址", L"IP Address"}, {2, L"网关", L"GateWay"},
    {3, L"设备名称", L"Name"},    {4, L"状态", L"Status"},
};

struct Language {
    int nId;
    const char* name;
};

// English first, so that the Chinese pass reads texts the switch wrote back, not the template's.
const Language kLanguages[] = {{1, "English"}, {0, "Chinese"}};

const wchar_t* TextFor(const ControlText& t, int nLangId)
{
    return nLangId == 0 ? t.chinese : t.english;
}
const wchar_t* TextFor(const ColumnText& t, int nLangId)
{
    return nLangId == 0 ? t.chinese : t.english;
}

template <std::size_t N> void ExpectControlTexts(HWND hDlg, const ControlText (&table)[N], int nLangId)
{
    for (const ControlText& t : table) {
        SCOPED_TRACE(testing::Message() << "control " << t.nID);
        ASSERT_NE(::GetDlgItem(hDlg, t.nID), nullptr) << "no such control";
        EXPECT_EQ(apptest::ItemText(hDlg, t.nID), TextFor(t, nLangId));
    }
}

template <std::size_t N> void ExpectColumnTitles(HWND hList, const ColumnText (&table)[N], int nLangId)
{
    HWND hHeader = reinterpret_cast<HWND>(::SendMessageW(hList, LVM_GETHEADER, 0, 0));
    ASSERT_NE(hHeader, nullptr);
    EXPECT_EQ(::SendMessageW(hHeader, HDM_GETITEMCOUNT, 0, 0), static_cast<LRESULT>(N));
    for (const ColumnText& t : table) {
        SCOPED_TRACE(testing::Message() << "column " << t.nCol);
        EXPECT_EQ(apptest::ColumnTitle(hList, t.nCol), TextFor(t, nLangId));
    }
}

class LanguageTable : public CSettingsTest {
  protected:
    static void SetUpTestSuite()
    {
        CSettingsTest::SetUpTestSuite();
        s_pMain = std::make_unique<CMainDlg>();
        if (!s_pMain->CreateModeless(nullptr))
            s_pMain.reset();
        PumpFor(300); // the start-up language load runs on a timer
    }
    static void TearDownTestSuite()
    {
        if (s_pMain)
            s_pMain->DestroyWindow();
        s_pMain.reset();
    }
    void SetUp() override
    {
        CSettingsTest::SetUp();
        ASSERT_TRUE(s_pMain) << "the main window was not created";
        ASSERT_NE(s_pMain->GetDeviceSetDlg(), nullptr);
        ASSERT_NE(s_pMain->GetGroupSetDlg(), nullptr);
        SwitchTo(0);
    }
    void TearDown() override
    {
        SwitchTo(0);
        CSettingsTest::TearDown();
    }

    static HWND Main() { return s_pMain->GetSafeHwnd(); }
    static HWND Device() { return s_pMain->GetDeviceSetDlg()->GetSafeHwnd(); }
    static HWND Group() { return s_pMain->GetGroupSetDlg()->GetSafeHwnd(); }

    // Picks the language in the main window's list as the operator does: select, then close up.
    static void SwitchTo(int nLangId)
    {
        HWND hCombo = ::GetDlgItem(Main(), 1019);
        ::SendMessageW(hCombo, CB_SETCURSEL, nLangId, 0);
        ::SendMessageW(Main(), WM_COMMAND, MAKEWPARAM(1019, CBN_CLOSEUP), reinterpret_cast<LPARAM>(hCombo));
        Pump();
    }

    static inline std::unique_ptr<CMainDlg> s_pMain;
};

TEST_F(LanguageTable, MainWindowShowsEveryTextOfTheLanguage)
{
    HWND hCombo = ::GetDlgItem(Main(), 1019);
    ASSERT_EQ(::SendMessageW(hCombo, CB_GETCOUNT, 0, 0), 2);
    for (const Language& language : kLanguages) {
        SCOPED_TRACE(language.name);
        SwitchTo(language.nId);
        EXPECT_EQ(CMyDialog::GetGlobalLanguage(), language.nId);
        ExpectControlTexts(Main(), kMainTexts, language.nId);
        ExpectColumnTitles(::GetDlgItem(Main(), 1038), kMainColumns, language.nId);
        // The list keeps offering both languages, each in its own, and shows the chosen one.
        EXPECT_EQ(::SendMessageW(hCombo, CB_GETCURSEL, 0, 0), language.nId);
        wchar_t item[32] = {};
        ::SendMessageW(hCombo, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(item));
        EXPECT_STREQ(item, L"简体中文");
        ::SendMessageW(hCombo, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(item));
        EXPECT_STREQ(item, L"English");
        EXPECT_EQ(TextOf(Main()), L"Larkvane");
    }
}

// Every button and check box of each window carries an access key ("&" before a letter or digit) in
// both languages, and no two in one window share it; the key presses the button.
TEST_F(LanguageTable, EveryButtonHasItsOwnAccessKeyInBothLanguages)
{
    for (const Language& language : kLanguages) {
        SCOPED_TRACE(language.name);
        SwitchTo(language.nId);
        for (HWND hDlg : {Main(), Device(), Group()}) {
            SCOPED_TRACE(TextOf(hDlg));
            std::map<wchar_t, std::wstring> owners;
            int buttons = 0;
            for (HWND hChild = ::GetWindow(hDlg, GW_CHILD); hChild;
                 hChild = ::GetWindow(hChild, GW_HWNDNEXT)) {
                wchar_t name[32] = {};
                ::GetClassNameW(hChild, name, 32);
                const LONG_PTR style = ::GetWindowLongPtrW(hChild, GWL_STYLE);
                if (std::wstring(name) != L"Button" || (style & BS_TYPEMASK) == BS_GROUPBOX)
                    continue;
                ++buttons;
                const std::wstring text = TextOf(hChild);
                SCOPED_TRACE(text);
                const size_t amp = text.find(L'&');
                ASSERT_NE(amp, std::wstring::npos) << "no access key";
                ASSERT_LT(amp + 1, text.size());
                EXPECT_EQ(text.find(L'&', amp + 1), std::wstring::npos) << "two access keys";
                const wchar_t key = static_cast<wchar_t>(std::towlower(text[amp + 1]));
                EXPECT_TRUE(std::iswalnum(key));
                EXPECT_TRUE(owners.emplace(key, text).second) << "the key of \"" << owners[key] << "\" too";
            }
            EXPECT_GE(buttons, 4);
        }
    }

    // Alt+G on the main window opens the group dialog, as a click on "批量操作(&G) ..." does.
    SwitchTo(0);
    ASSERT_FALSE(::IsWindowVisible(Group()));
    const HWND hList = ::GetDlgItem(Main(), 1038);
    ::SetFocus(hList);
    ::PostMessageW(hList, WM_SYSCHAR, L'g', 1 << 29);
    PumpFor(200);
    EXPECT_TRUE(::IsWindowVisible(Group()));
    ::SendMessageW(Group(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    Pump();
}

// The arrow keys on the closed list change its selection without opening it: the language follows,
// so the box and the texts never disagree.
TEST_F(LanguageTable, ArrowKeysOnTheClosedListSwitchTheLanguageWithTheBox)
{
    HWND hCombo = ::GetDlgItem(Main(), 1019);
    ::SetFocus(hCombo);
    for (const auto& [key, nLangId] : {std::pair{VK_DOWN, 1}, std::pair{VK_UP, 0}}) {
        ::SendMessageW(hCombo, WM_KEYDOWN, key, 0);
        ::SendMessageW(hCombo, WM_KEYUP, key, 0);
        Pump();
        ASSERT_FALSE(::SendMessageW(hCombo, CB_GETDROPPEDSTATE, 0, 0));
        EXPECT_EQ(::SendMessageW(hCombo, CB_GETCURSEL, 0, 0), nLangId);
        EXPECT_EQ(CMyDialog::GetGlobalLanguage(), nLangId);
        ExpectControlTexts(Main(), kMainTexts, nLangId);
    }
}

TEST_F(LanguageTable, SingleCameraDialogShowsEveryTextOfTheLanguageAndKeepsItsValues)
{
    CDeviceSetDlg& dlg = *s_pMain->GetDeviceSetDlg();
    DeviceRecord record = MadeUpRecord("e00000000041", "198.18.1.141", "Lobby");
    dlg.LoadDevice(&record);
    ::SetDlgItemTextW(Device(), 1028, L"10.0.0.254"); // typed, not yet sent
    for (const Language& language : kLanguages) {
        SCOPED_TRACE(language.name);
        SwitchTo(language.nId);
        ExpectControlTexts(Device(), kDeviceTexts, language.nId);
        EXPECT_EQ(TextOf(Device()), language.nId ? L"Modify by Single" : L"单个摄像头参数设置");
        // The edits and the current-camera line are the camera's, in no language.
        EXPECT_EQ(apptest::ItemText(Device(), 1026), L"198.18.1.141");
        EXPECT_EQ(apptest::ItemText(Device(), 1028), L"10.0.0.254");
        EXPECT_EQ(apptest::ItemText(Device(), 1022), L"Lobby");
        EXPECT_EQ(apptest::ItemText(Device(), 1055), L"Lobby(e00000000041)");
    }
}

TEST_F(LanguageTable, GroupDialogShowsEveryTextOfTheLanguageAndKeepsItsValues)
{
    CGroupSetDlg& dlg = *s_pMain->GetGroupSetDlg();
    std::vector<DeviceRecord> records = {MadeUpRecord("e00000000042", "198.18.1.142", "Gate"),
                                         MadeUpRecord("e00000000043", "198.18.1.143", "Yard")};
    std::vector<const DeviceRecord*> pointers = {&records[0], &records[1]};
    dlg.LoadDevices(pointers);
    ::SetDlgItemTextW(Group(), 1030, L"Stem");
    for (const Language& language : kLanguages) {
        SCOPED_TRACE(language.name);
        SwitchTo(language.nId);
        ExpectControlTexts(Group(), kGroupTexts, language.nId);
        ExpectColumnTitles(::GetDlgItem(Group(), 1038), kGroupColumns, language.nId);
        EXPECT_EQ(TextOf(Group()), language.nId ? L"Modify by Group" : L"批量设置");
        EXPECT_EQ(apptest::ItemText(Group(), 1025), L"198.18.1.142");
        EXPECT_EQ(apptest::ItemText(Group(), 1030), L"Stem");
        EXPECT_EQ(apptest::RowCount(::GetDlgItem(Group(), 1038)), 2);
    }
}

} // namespace
