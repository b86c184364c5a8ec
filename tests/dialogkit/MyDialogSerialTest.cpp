// Serial choice buttons: the choices of each field and the marked entry, the pop-up a click opens,
// choosing an entry (saved only for groups), loading damaged settings, and the hand cursor.

#include "MyDialogTestSupport.h"

#include "base/MyProfile.h"

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int BUTTONS[CMyDialog::SERIAL_FIELDS] = {1100, 1101, 1102, 1103, 1104, 1105};

// What an open pop-up menu held when the probe timer found it; the probe then closes it.
struct MenuSeen {
    bool bSeen = false;
    std::vector<std::wstring> texts;
    std::vector<UINT> ids;
    int nChecked = -1;
    int nCheckedCount = 0;
};
MenuSeen g_menu;

HWND OpenMenuWindow()
{
    for (HWND h = ::FindWindowW(L"#32768", nullptr); h; h = ::FindWindowExW(nullptr, h, L"#32768", nullptr))
        if (::IsWindowVisible(h))
            return h;
    return nullptr;
}

void CALLBACK ReadOpenMenu(HWND, UINT, UINT_PTR, DWORD)
{
    HWND hMenuWnd = OpenMenuWindow();
    if (!hMenuWnd || g_menu.bSeen)
        return;
    HMENU hMenu = reinterpret_cast<HMENU>(::SendMessageW(hMenuWnd, MN_GETHMENU, 0, 0));
    g_menu.bSeen = true;
    const int n = hMenu ? ::GetMenuItemCount(hMenu) : 0;
    for (int i = 0; i < n; ++i) {
        wchar_t text[64] = {};
        ::GetMenuStringW(hMenu, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
        g_menu.texts.emplace_back(text);
        g_menu.ids.push_back(::GetMenuItemID(hMenu, i));
        if (::GetMenuState(hMenu, static_cast<UINT>(i), MF_BYPOSITION) & MF_CHECKED) {
            g_menu.nChecked = i;
            ++g_menu.nCheckedCount;
        }
    }
    ::EndMenu();
}

// Runs click() while a thread timer reads and closes any pop-up menu it opens; a watchdog
// thread cancels a menu the timer could not reach, so a failure cannot hang the run.
MenuSeen ClickWithMenuProbe(const std::function<void()>& click)
{
    g_menu = MenuSeen{};
    UINT_PTR timer = ::SetTimer(nullptr, 0, 20, ReadOpenMenu);
    std::atomic<bool> done{false};
    std::thread watchdog([&done] {
        for (int i = 0; i < 300 && !done; ++i)
            ::Sleep(10);
        if (!done)
            if (HWND h = OpenMenuWindow())
                ::PostMessageW(h, WM_CANCELMODE, 0, 0);
    });
    click();
    done = true;
    watchdog.join();
    ::KillTimer(nullptr, timer);
    return g_menu;
}

void RemoveSerialFile()
{
    const std::wstring file = CMyDialog::GetSerialSettingsFileName();
    ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, file.c_str());
    ::DeleteFileW(file.c_str());
}

std::wstring ReadSerial(const wchar_t* section, const wchar_t* key)
{
    wchar_t value[64] = {};
    ::GetPrivateProfileStringW(section, key, L"", value, 64, CMyDialog::GetSerialSettingsFileName().c_str());
    return value;
}

} // namespace

class CDialogSerialTest : public CDialogTest {
  protected:
    void SetUp() override
    {
        CDialogTest::SetUp();
        RemoveSerialFile();
        ASSERT_TRUE(m_dlg.CreateModeless(nullptr));
        m_dlg.SetSerialButtons(-1, BUTTONS);
    }
    void TearDown() override
    {
        m_dlg.DestroyWindow();
        RemoveSerialFile();
        CDialogTest::TearDown();
    }
    HWND Item(int nID) const { return m_dlg.GetDlgItem(nID); }
    void Click(int nID)
    {
        m_dlg.SendMessage(WM_COMMAND, MAKEWPARAM(nID, BN_CLICKED), reinterpret_cast<LPARAM>(Item(nID)));
    }

    CTestDialog m_dlg{IDD_MYDLG_SERIAL};
};

TEST_F(CDialogSerialTest, EachFieldListsItsChoicesAndShowsTheStoredOne)
{
    m_dlg.SetSerialMaxPort(3);
    struct Case {
        int nField;
        std::vector<std::wstring> choices;
        int nMarked; // the default choice
    };
    const std::vector<std::wstring> parity = {L"无", L"奇校验", L"偶校验", L"Mark", L"空格校验"};
    const std::vector<std::wstring> flow = {L"硬件", L"软件", L"无", L"自定义"};
    const Case cases[] = {
        {CMyDialog::SERIAL_PORT, {L"COM0", L"COM1", L"COM2", L"COM3"}, 0},
        {CMyDialog::SERIAL_PARITY, parity, 0},
        {CMyDialog::SERIAL_DATA, {L"6", L"7", L"8"}, 2},
        {CMyDialog::SERIAL_STOP, {L"1", L"1.5", L"2"}, 0},
        {CMyDialog::SERIAL_FLOW, flow, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nField);
        EXPECT_EQ(m_dlg.ShowSerialChoices(-1, c.nField, FALSE), c.nMarked);
        EXPECT_EQ(m_dlg.GetChoiceList(), c.choices);
        EXPECT_EQ(TextOf(Item(BUTTONS[c.nField])), c.choices[static_cast<size_t>(c.nMarked)]);
    }
    // The baud rates: 24 of them, 961200 where 921600 might be expected, 9600 by default.
    EXPECT_EQ(m_dlg.ShowSerialChoices(-1, CMyDialog::SERIAL_BAUD, FALSE), 6);
    const auto& rates = m_dlg.GetChoiceList();
    ASSERT_EQ(rates.size(), 24u);
    EXPECT_EQ(rates.front(), L"110");
    EXPECT_EQ(rates[11], L"115200");
    EXPECT_EQ(rates[20], L"961200");
    EXPECT_EQ(rates.back(), L"2000000");
    EXPECT_EQ(TextOf(Item(BUTTONS[1])), L"9600");
}

TEST_F(CDialogSerialTest, BaudFieldTakesRatesAndOutOfRangeChoicesMarkNothing)
{
    struct Case {
        int nField;
        int nValue;
        int nMarked;
        int nStored;
    };
    const Case cases[] = {
        {CMyDialog::SERIAL_BAUD, 115200, 11, 11}, // a rate in the list
        {CMyDialog::SERIAL_BAUD, 921600, 11, 11}, // a rate not in the list marks 115200
        {CMyDialog::SERIAL_BAUD, 3, 3, 3},        // an index
        {CMyDialog::SERIAL_BAUD, 110, -1, 110},   // not above 110: an index beyond the list
        {CMyDialog::SERIAL_DATA, -4, 0, 0},       // a negative index counts as 0
        {CMyDialog::SERIAL_STOP, 3, -1, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nValue);
        SetWindowTextW(Item(BUTTONS[c.nField]), L"before");
        EXPECT_EQ(m_dlg.SetSerialChoice(-1, c.nField, c.nValue), c.nMarked);
        EXPECT_EQ(m_dlg.GetSerialChoice(-1, c.nField), c.nStored);
        if (c.nMarked < 0)
            EXPECT_EQ(TextOf(Item(BUTTONS[c.nField])), L"before");
        else
            EXPECT_EQ(TextOf(Item(BUTTONS[c.nField])), m_dlg.GetChoiceList()[static_cast<size_t>(c.nMarked)]);
    }
    // Groups outside 0..31 and fields outside 0..5 are ignored.
    EXPECT_EQ(m_dlg.SetSerialChoice(32, 0, 1), -1);
    EXPECT_EQ(m_dlg.SetSerialChoice(-2, 0, 1), -1);
    EXPECT_EQ(m_dlg.SetSerialChoice(0, 6, 1), -1);
    EXPECT_EQ(m_dlg.GetSerialChoice(32, 0), -1);

    // A set without buttons writes no control, not even one whose id is 0.
    HWND hZero = ::CreateWindowExW(0, L"STATIC", L"zero", WS_CHILD, 0, 0, 10, 10, m_dlg.m_hWnd, nullptr,
                                   nullptr, nullptr);
    ASSERT_NE(hZero, nullptr);
    EXPECT_EQ(m_dlg.SetSerialChoice(7, CMyDialog::SERIAL_DATA, 1), 1);
    EXPECT_EQ(m_dlg.GetSerialChoice(7, CMyDialog::SERIAL_DATA), 1);
    EXPECT_EQ(TextOf(hZero), L"zero");
    ::DestroyWindow(hZero);
}

TEST_F(CDialogSerialTest, ClickOpensThePopupWithTheCurrentChoiceChecked)
{
    m_dlg.SetSerialChoice(-1, CMyDialog::SERIAL_BAUD, 57600);
    MenuSeen seen = ClickWithMenuProbe([&] { Click(BUTTONS[CMyDialog::SERIAL_BAUD]); });
    ASSERT_TRUE(seen.bSeen);
    ASSERT_EQ(seen.texts.size(), 24u);
    EXPECT_EQ(seen.texts[10], L"57600");
    EXPECT_EQ(seen.nChecked, 10);
    EXPECT_EQ(seen.nCheckedCount, 1);
    for (size_t i = 0; i < seen.ids.size(); ++i)
        EXPECT_EQ(seen.ids[i], CMyDialog::CMD_CHOICE_FIRST + i);

    // Choosing an entry of the single set shows it and stores it, but saves nothing.
    m_dlg.SendMessage(WM_COMMAND, CMyDialog::CMD_CHOICE_FIRST + 4, 0);
    EXPECT_EQ(TextOf(Item(BUTTONS[CMyDialog::SERIAL_BAUD])), L"2400");
    EXPECT_EQ(m_dlg.GetSerialChoice(-1, CMyDialog::SERIAL_BAUD), 4);
    EXPECT_EQ(::GetFileAttributesW(CMyDialog::GetSerialSettingsFileName().c_str()), INVALID_FILE_ATTRIBUTES);
    // The pop-up is forgotten once chosen: a second entry command changes nothing.
    m_dlg.SendMessage(WM_COMMAND, CMyDialog::CMD_CHOICE_FIRST + 7, 0);
    EXPECT_EQ(m_dlg.GetSerialChoice(-1, CMyDialog::SERIAL_BAUD), 4);

    // A combo box named as a serial button opens no pop-up.
    int ids[CMyDialog::SERIAL_FIELDS] = {IDC_MYDLG_SERIAL_COMBO, 0, 0, 0, 0, 0};
    m_dlg.SetSerialButtons(5, ids);
    seen = ClickWithMenuProbe([&] {
        m_dlg.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_MYDLG_SERIAL_COMBO, 0),
                          reinterpret_cast<LPARAM>(Item(IDC_MYDLG_SERIAL_COMBO)));
    });
    EXPECT_FALSE(seen.bSeen);
}

TEST_F(CDialogSerialTest, ChoosingAnEntryOfAGroupSavesItsSixIndices)
{
    // Group 2 uses the buttons; the single set has none, so the group search finds them.
    m_dlg.SetSerialButtons(-1, nullptr);
    m_dlg.SetSerialButtons(2, BUTTONS);
    m_dlg.SetSerialChoice(2, CMyDialog::SERIAL_PORT, 5);
    MenuSeen seen = ClickWithMenuProbe([&] { Click(BUTTONS[CMyDialog::SERIAL_BAUD]); });
    ASSERT_TRUE(seen.bSeen);
    m_dlg.SendMessage(WM_COMMAND, CMyDialog::CMD_CHOICE_FIRST + 3, 0);
    EXPECT_EQ(m_dlg.GetSerialChoice(2, CMyDialog::SERIAL_BAUD), 3);
    EXPECT_EQ(TextOf(Item(BUTTONS[CMyDialog::SERIAL_BAUD])), L"1200");

    const wchar_t* keys[] = {L"COMPort", L"COMBaud", L"COMVery", L"COMData", L"COMStop", L"COMFlow"};
    const wchar_t* expected[] = {L"5", L"3", L"0", L"2", L"0", L"2"};
    for (int f = 0; f < CMyDialog::SERIAL_FIELDS; ++f)
        EXPECT_EQ(ReadSerial(L"COMSet2", keys[f]), expected[f]) << f;

    // Another dialog loads them back onto its own buttons.
    CTestDialog other(IDD_MYDLG_SERIAL);
    ASSERT_TRUE(other.CreateModeless(nullptr));
    other.SetSerialButtons(2, BUTTONS);
    other.LoadSerialGroup(2);
    EXPECT_EQ(other.GetSerialChoice(2, CMyDialog::SERIAL_BAUD), 3);
    EXPECT_EQ(TextOf(other.GetDlgItem(BUTTONS[CMyDialog::SERIAL_PORT])), L"COM5");
    EXPECT_EQ(TextOf(other.GetDlgItem(BUTTONS[CMyDialog::SERIAL_BAUD])), L"1200");
}

TEST_F(CDialogSerialTest, DamagedSettingsGiveTheDefaults)
{
    const std::wstring file = CMyDialog::GetSerialSettingsFileName();
    const struct {
        const wchar_t* key;
        const wchar_t* value;
    } values[] = {{L"COMPort", L"-5"}, {L"COMBaud", L"99999999999"}, {L"COMVery", L"abc"},
                  {L"COMData", L"1"},  {L"COMStop", L"7"},           {L"COMFlow", L"1"}};
    for (const auto& v : values)
        ::WritePrivateProfileStringW(L"COMSet0", v.key, v.value, file.c_str());
    m_dlg.SetSerialButtons(-1, nullptr);
    m_dlg.SetSerialButtons(0, BUTTONS);
    m_dlg.LoadSerialGroup(0);
    const int expected[] = {0, 6, 0, 1, 0, 1};
    for (int f = 0; f < CMyDialog::SERIAL_FIELDS; ++f)
        EXPECT_EQ(m_dlg.GetSerialChoice(0, f), expected[f]) << f;
    EXPECT_EQ(TextOf(Item(BUTTONS[CMyDialog::SERIAL_DATA])), L"7");
    EXPECT_EQ(TextOf(Item(BUTTONS[CMyDialog::SERIAL_BAUD])), L"9600");
    // A group that is not there keeps the defaults; groups out of range are ignored.
    m_dlg.LoadSerialGroup(31);
    EXPECT_EQ(m_dlg.GetSerialChoice(31, CMyDialog::SERIAL_BAUD), 6);
    m_dlg.LoadSerialGroup(-1);
    m_dlg.LoadSerialGroup(32);
}

TEST_F(CDialogSerialTest, HandCursorOverSerialButtonsOnly)
{
    const HCURSOR hHand = ::LoadCursorW(nullptr, IDC_HAND);
    const HCURSOR hArrow = ::LoadCursorW(nullptr, IDC_ARROW);
    ::SetCursor(hArrow);
    EXPECT_EQ(m_dlg.SendMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(Item(BUTTONS[3])),
                                MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
              TRUE);
    EXPECT_EQ(::GetCursor(), hHand);

    ::SetCursor(hArrow);
    m_dlg.SendMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(Item(IDC_MYDLG_STATIC)),
                      MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_NE(::GetCursor(), hHand);

    // A button of a group counts too.
    m_dlg.SetSerialButtons(-1, nullptr);
    int ids[CMyDialog::SERIAL_FIELDS] = {0, 0, 0, 0, 0, IDC_MYDLG_STATIC};
    m_dlg.SetSerialButtons(30, ids);
    ::SetCursor(hArrow);
    EXPECT_EQ(m_dlg.SendMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(Item(IDC_MYDLG_STATIC)),
                                MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
              TRUE);
    EXPECT_EQ(::GetCursor(), hHand);
}
