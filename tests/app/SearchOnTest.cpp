// The choice of local addresses discovery searches from: its rules, and "Search on..." from the
// list's menu in the lab, where lab2's address ends in .1 and a camera answers only on lab2.
#include "AppTestSupport.h"

#include "app/MainDlg.h"
#include "app/SearchOnDlg.h"
#include "app/resource.h"
#include "base/Ipv4Text.h"
#include "base/MyProfile.h"
#include "controls/MyListCtrl.h"
#include "net/SearchedAddresses.h"
#include "net/SocketHelpers.h"
#include "tests/support/CamSimClient.h"
#include "tests/support/LabGuard.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace apptest;

namespace {

std::uint32_t Ip(const char* text)
{
    return ParseIpv4(std::string(text)).value_or(0);
}

// Puts the default back, in force and in the settings file, whatever a test left.
void ForgetChoice()
{
    SetSearchChoice({});
    ::DeleteFileW(CMyProfile(L"Larkvane", L"Discovery", nullptr).GetFile().c_str());
}

TEST(SearchChoiceRules, AChoiceOverridesTheDefaultOnlyForTheAddressesItNames)
{
    ForgetChoice();
    SearchChoice choice;
    choice.added = {Ip("10.0.0.1")};
    choice.removed = {Ip("10.0.1.20")};
    SetSearchChoice(choice);
    struct Case {
        const char* address;
        bool searched;
    } const cases[] = {
        {"10.0.0.1", true},    // added although it ends in .1
        {"10.0.1.20", false},  // left out
        {"10.0.2.1", false},   // not named: the default leaves out .1
        {"10.0.2.20", true},   // not named: the default searches it
        {"192.168.1.0", true}, // the default looks at .1 only
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        EXPECT_EQ(IsSearchedAddress(Ip(c.address)), c.searched);
        in_addr address{};
        address.s_addr = htonl(Ip(c.address));
        EXPECT_EQ(GenSockIsSendingAddress(address), c.searched) << "the senders follow the choice";
    }
    ForgetChoice();
    EXPECT_FALSE(IsSearchedAddress(Ip("10.0.0.1")));
    EXPECT_TRUE(IsSearchedAddress(Ip("10.0.1.20")));
}

TEST(SearchChoiceRules, ChoosingAmongTheLocalAddressesKeepsWhatWasSaidOfOthers)
{
    SearchChoice previous;
    previous.added = {Ip("172.16.0.1")};  // an adapter that is unplugged now
    previous.removed = {Ip("10.0.0.20")}; // local now, and the operator checks it this time
    const std::vector<std::uint32_t> locals = {Ip("10.0.0.20"), Ip("10.0.3.1"), Ip("10.0.4.9")};
    const SearchChoice choice = ChoiceSearching(locals, {Ip("10.0.0.20"), Ip("10.0.3.1")}, previous);
    EXPECT_EQ(choice.added, (std::vector<std::uint32_t>{Ip("172.16.0.1"), Ip("10.0.3.1")}));
    EXPECT_EQ(choice.removed, (std::vector<std::uint32_t>{Ip("10.0.4.9")}));

    // The same as the default names nothing new.
    EXPECT_EQ(ChoiceSearching(locals, {Ip("10.0.0.20"), Ip("10.0.4.9")}, {}), SearchChoice{});
}

TEST(SearchChoiceRules, TheSettingsTextKeepsOnlyAddresses)
{
    EXPECT_EQ(ParseAddressList(L" 198.18.3.1 ;junk;010.0.0.1;1.2.3.256;;198.18.3.1;1.2.3.4"),
              (std::vector<std::uint32_t>{Ip("198.18.3.1"), Ip("10.0.0.1"), Ip("1.2.3.4")}));
    EXPECT_EQ(AddressListText({Ip("198.18.3.1"), Ip("10.0.0.1")}), L"198.18.3.1;10.0.0.1");
    EXPECT_TRUE(ParseAddressList(L"").empty());
    EXPECT_TRUE(ParseAddressList(L"١٩٨.18.3.1").empty()) << "digits of another script are no address";
}

// The main window with its list menu answered by the test.
class CMenuMainDlg : public CMainDlg {
  public:
    int m_nMenuChoice = 0;

  protected:
    int ChooseMenuCommand(HMENU, POINT) override { return m_nMenuChoice; }
};

class SearchOnTest : public testing::Test {
  protected:
    static void SetUpTestSuite()
    {
        RequireLabNetwork();
        RemoveLanguageFiles();
        CMyDialog::SetGlobalLanguage(0);
        ForgetChoice();
        ASSERT_TRUE(s_sim.Connect());
        ASSERT_TRUE(s_sim.Ok("reset"));
        // Listens and answers only on lab2, whose tool-side address ends in .1.
        ASSERT_TRUE(s_sim.Ok("camera id=c30000000302 net=lan landev=lab2c lanip=198.18.3.2 "
                             "lanmask=255.255.255.0 langw=198.18.3.1"));
        s_dlg = new CMenuMainDlg();
        ASSERT_TRUE(s_dlg->CreateModeless(nullptr));
        ASSERT_TRUE(PumpUntil([] { return RowCount(List()) == 12; }, 8000)) << RowCount(List());
    }

    static void TearDownTestSuite()
    {
        if (s_dlg) {
            s_dlg->DestroyWindow();
            delete s_dlg;
            s_dlg = nullptr;
        }
        ForgetChoice();
        RemoveLanguageFiles();
    }

    void SetUp() override { ASSERT_NE(s_dlg, nullptr); }

    static HWND Dlg() { return s_dlg->GetSafeHwnd(); }
    static HWND List() { return ::GetDlgItem(Dlg(), IDC_MAIN_LIST); }

    // Opens "Search on..." from the list's menu; `answer` runs on another thread with the
    // dialog's window, while its modal loop runs here. False when the dialog never showed.
    static bool RunSearchOn(const std::function<void(HWND)>& answer)
    {
        s_dlg->m_nMenuChoice = IDM_LIST_SEARCH_ON;
        std::atomic<bool> bSeen{false};
        std::thread watcher([&] {
            for (int i = 0; i < 400 && !bSeen; ++i) {
                HWND hSearch = ::FindWindowW(L"#32770", L"搜索网卡");
                if (hSearch && ::IsWindowVisible(hSearch)) {
                    bSeen = true;
                    answer(hSearch);
                    return;
                }
                ::Sleep(25);
            }
        });
        s_dlg->ShowCameraListMenu(-1, nullptr);
        watcher.join();
        s_dlg->m_nMenuChoice = 0;
        return bSeen;
    }

    // The list's rows as address -> checked (read from the watcher's thread).
    static std::vector<std::pair<std::wstring, bool>> Offered(HWND hSearch)
    {
        std::vector<std::pair<std::wstring, bool>> rows;
        HWND hList = ::GetDlgItem(hSearch, IDC_SEARCH_LIST);
        const int count = RowCount(hList);
        for (int i = 0; i < count; ++i) {
            const auto texts = RowTexts(hList, i, 2);
            const UINT state =
                static_cast<UINT>(::SendMessageW(hList, LVM_GETITEMSTATE, i, LVIS_STATEIMAGEMASK));
            rows.emplace_back(texts[0] + L"|" + texts[1], (state >> 12) == 2);
        }
        return rows;
    }

    static void SetChecked(HWND hSearch, const std::wstring& address, bool bOn)
    {
        HWND hList = ::GetDlgItem(hSearch, IDC_SEARCH_LIST);
        const int row = FindRow(hList, 0, address);
        ASSERT_GE(row, 0) << "not offered";
        LVITEMW item{};
        item.stateMask = LVIS_STATEIMAGEMASK;
        item.state = INDEXTOSTATEIMAGEMASK(bOn ? 2 : 1);
        ::SendMessageW(hList, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    }

    static void Press(HWND hSearch, int nID)
    {
        ::PostMessageW(hSearch, WM_COMMAND, MAKEWPARAM(nID, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(hSearch, nID)));
    }

    static std::set<std::string> RequestSenders()
    {
        std::set<std::string> senders;
        for (const auto& entry : s_sim.Log())
            if (entry.type == MSG_GET)
                senders.insert(entry.senderIp);
        return senders;
    }

    static CCamSimClient s_sim;
    static CMenuMainDlg* s_dlg;
};

CCamSimClient SearchOnTest::s_sim;
CMenuMainDlg* SearchOnTest::s_dlg = nullptr;

TEST_F(SearchOnTest, AnAddressEndingInOneCanBeChosenAndFindsTheCameraBehindIt)
{
    // By default lab2 (198.18.3.1) is not searched, so its camera is missing.
    EXPECT_EQ(FindRow(List(), 0, L"198.18.3.2"), -1);
    EXPECT_EQ(ItemText(Dlg(), IDC_MAIN_ADDRESSES).find(L"198.18.3.1"), std::wstring::npos);

    std::vector<std::pair<std::wstring, bool>> offered;
    ASSERT_TRUE(RunSearchOn([&](HWND hSearch) {
        offered = Offered(hSearch);
        SetChecked(hSearch, L"198.18.3.1", true);
        Press(hSearch, IDOK);
    }));
    // Every local address with its check; the one the default leaves out says why.
    const std::vector<std::pair<std::wstring, bool>> expected = {
        {L"198.18.1.10|", true}, {L"198.18.2.10|", true}, {L"198.18.3.1|默认不搜索（以 .1 结尾）", false}};
    for (const auto& row : expected)
        EXPECT_NE(std::find(offered.begin(), offered.end(), row), offered.end())
            << "row " << row.first.size();
    EXPECT_EQ(offered.size(), 3u);

    s_sim.ClearLog();
    ASSERT_TRUE(PumpUntil([] { return FindRow(List(), 0, L"198.18.3.2") >= 0; }, 8000))
        << "the camera behind lab2 was not listed";
    EXPECT_TRUE(PumpUntil([] { return RowCount(List()) == 13; }, 5000)) << RowCount(List());
    EXPECT_EQ(RequestSenders(), (std::set<std::string>{"198.18.1.10", "198.18.2.10", "198.18.3.1"}));
    EXPECT_NE(ItemText(Dlg(), IDC_MAIN_ADDRESSES).find(L"198.18.3.1"), std::wstring::npos);

    // Kept for the next start.
    const SearchChoice kept = CSearchOnDlg::LoadChoice();
    EXPECT_EQ(kept.added, (std::vector<std::uint32_t>{Ip("198.18.3.1")}));
    EXPECT_TRUE(kept.removed.empty());
    ForgetChoice();
}

TEST_F(SearchOnTest, WithNoAddressSearchedTheCountSaysSoAndNothingIsSent)
{
    ASSERT_TRUE(RunSearchOn([&](HWND hSearch) {
        for (const wchar_t* address : {L"198.18.1.10", L"198.18.2.10", L"198.18.3.1"})
            SetChecked(hSearch, address, false);
        Press(hSearch, IDOK);
    }));
    s_sim.ClearLog();
    ASSERT_TRUE(PumpUntil([] { return ItemText(Dlg(), IDC_MAIN_COUNT) == L"未搜索任何网卡"; }, 5000))
        << "the count label reads something else";
    EXPECT_EQ(RowCount(List()), 0);
    EXPECT_EQ(ItemText(Dlg(), IDC_MAIN_ADDRESSES), L"");
    // The words are wider than five digits: the label takes its caption's room, whole.
    HWND hCount = ::GetDlgItem(Dlg(), IDC_MAIN_COUNT);
    EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(Dlg(), IDC_MAIN_COUNT_CAPTION)));
    RECT label{};
    ::GetClientRect(hCount, &label);
    SIZE need{};
    HDC hDC = ::GetDC(hCount);
    HGDIOBJ hOld = ::SelectObject(hDC, reinterpret_cast<HFONT>(::SendMessageW(hCount, WM_GETFONT, 0, 0)));
    ::GetTextExtentPoint32W(hDC, L"未搜索任何网卡", 7, &need);
    ::SelectObject(hDC, hOld);
    ::ReleaseDC(hCount, hDC);
    EXPECT_GE(label.right, need.cx) << "the note is cut";
    PumpFor(500);
    EXPECT_TRUE(RequestSenders().empty());
    const SearchChoice kept = CSearchOnDlg::LoadChoice();
    EXPECT_EQ(kept.removed, (std::vector<std::uint32_t>{Ip("198.18.1.10"), Ip("198.18.2.10")}));

    // Cancel changes nothing.
    ASSERT_TRUE(RunSearchOn([&](HWND hSearch) {
        SetChecked(hSearch, L"198.18.1.10", true);
        Press(hSearch, IDCANCEL);
    }));
    PumpFor(300);
    EXPECT_FALSE(IsSearchedAddress(Ip("198.18.1.10")));

    // Searching again brings the count back.
    ASSERT_TRUE(RunSearchOn([&](HWND hSearch) {
        SetChecked(hSearch, L"198.18.1.10", true);
        Press(hSearch, IDOK);
    }));
    EXPECT_TRUE(PumpUntil([] { return RowCount(List()) == 7; }, 8000)) << RowCount(List());
    EXPECT_EQ(ItemText(Dlg(), IDC_MAIN_COUNT), L"7");
    EXPECT_TRUE(::IsWindowVisible(::GetDlgItem(Dlg(), IDC_MAIN_COUNT_CAPTION)));
    ForgetChoice();
}

} // namespace
