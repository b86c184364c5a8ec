// The camera list beyond its columns, in process against the simulated cameras: sorting by a
// header click, cameras drawn in the warning colour (an address shared with another camera, or in
// none of the computer's subnets), and the right-click menu's copy and CSV export.
#include "AppTestSupport.h"
#include "ScriptedMainDlg.h"
#include "tests/support/TestClipboard.h"

#include "app/DeviceSetDlg.h"
#include "app/MainDlg.h"
#include "app/resource.h"
#include "controls/MyListCtrl.h"
#include "tests/support/CamSimClient.h"
#include "tests/support/LabGuard.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <cwctype>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace apptest;

namespace {

constexpr int kColumns = CMainDlg::COLUMN_COUNT;

std::string Narrow(const std::wstring& text)
{
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                        nullptr, nullptr);
    std::string utf8(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), n, nullptr,
                          nullptr);
    return utf8;
}

// The texts of a window's static children (a message box's text, its icon has none).
std::wstring StaticTexts(HWND hWnd)
{
    std::wstring texts;
    ::EnumChildWindows(
        hWnd,
        [](HWND hChild, LPARAM lParam) -> BOOL {
            wchar_t cls[32] = {};
            ::GetClassNameW(hChild, cls, 32);
            const std::wstring text = TextOf(hChild);
            if (::lstrcmpiW(cls, L"Static") == 0 && !text.empty())
                *reinterpret_cast<std::wstring*>(lParam) += text;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&texts));
    return texts;
}

// Runs `action` on this thread while a watcher closes the message box titled `title` that it
// may open; returns that box's text, or "" when none opened.
std::wstring MessageBoxDuring(const wchar_t* title, const std::function<void()>& action)
{
    std::atomic<bool> done{false};
    std::wstring seen;
    std::thread watcher([&] {
        while (!done) {
            HWND hBox = ::FindWindowW(L"#32770", title);
            if (hBox && ::IsWindowVisible(hBox)) {
                seen = StaticTexts(hBox);
                ::PostMessageW(hBox, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                return;
            }
            ::Sleep(10);
        }
    });
    action();
    done = true;
    watcher.join();
    return seen;
}

std::uint32_t Ipv4(const std::wstring& text)
{
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (std::swscanf(text.c_str(), L"%u.%u.%u.%u", &a, &b, &c, &d) != 4)
        return 0;
    return (a << 24) | (b << 16) | (c << 8) | d;
}

// The whole file, or nothing when it cannot be read.
std::string ReadBytes(const std::wstring& path)
{
    HANDLE hFile =
        ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return {};
    std::string bytes(::GetFileSize(hFile, nullptr), '\0');
    DWORD got = 0;
    if (!::ReadFile(hFile, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr))
        got = 0;
    ::CloseHandle(hFile);
    bytes.resize(got);
    return bytes;
}

std::wstring Lower(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

class CameraListTest : public testing::Test {
  protected:
    static void SetUpTestSuite()
    {
        RequireLabNetwork();
        RemoveLanguageFiles();
        CMyDialog::SetGlobalLanguage(0);
        ASSERT_TRUE(s_sim.Connect());
        ASSERT_TRUE(s_sim.Ok("reset"));
        s_dlg = new CScriptedMainDlg();
        ASSERT_TRUE(s_dlg->CreateModeless(nullptr));
        s_dlg->ShowWindow(SW_SHOWNOACTIVATE); // the header exists once the list is shown
        PumpFor(300);
    }

    static void TearDownTestSuite()
    {
        if (s_dlg) {
            s_dlg->DestroyWindow();
            delete s_dlg;
            s_dlg = nullptr;
        }
        CMyDialog::SetGlobalLanguage(0);
    }

    void SetUp() override
    {
        ASSERT_NE(s_dlg, nullptr);
        CMyDialog::SetGlobalLanguage(0);
    }

    static HWND Dlg() { return s_dlg->GetSafeHwnd(); }
    static HWND List() { return ::GetDlgItem(Dlg(), IDC_MAIN_LIST); }
    static HWND Header() { return reinterpret_cast<HWND>(::SendMessageW(List(), LVM_GETHEADER, 0, 0)); }

    // The simulator's fleet as given, listed by a rescan.
    static void ListFleet(const std::vector<std::string>& settings, int nExpected = 12)
    {
        ASSERT_EQ(s_sim.Command("reset"), "ok 12");
        for (const std::string& setting : settings)
            ASSERT_TRUE(s_sim.Ok(setting)) << setting;
        s_sim.ClearLog();
        s_dlg->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_MAIN_RESCAN, BN_CLICKED), 0);
        ASSERT_TRUE(PumpUntil([nExpected] { return RowCount(List()) == nExpected; }, 8000))
            << "rows: " << RowCount(List());
        PumpFor(300);
    }

    static std::vector<std::wstring> Column(int nCol)
    {
        std::vector<std::wstring> texts;
        for (int row = 0; row < RowCount(List()); ++row)
            texts.push_back(RowTexts(List(), row, kColumns)[static_cast<size_t>(nCol)]);
        return texts;
    }

    // A left click on the header item, as the mouse sends it.
    static void ClickHeader(int nCol)
    {
        RECT rc{};
        ::SendMessageW(Header(), HDM_GETITEMRECT, static_cast<WPARAM>(nCol), reinterpret_cast<LPARAM>(&rc));
        const LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
        ::SendMessageW(Header(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        ::SendMessageW(Header(), WM_LBUTTONUP, 0, at);
        Pump();
    }

    static int HeaderSort(int nCol)
    {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        ::SendMessageW(Header(), HDM_GETITEMW, static_cast<WPARAM>(nCol), reinterpret_cast<LPARAM>(&item));
        return item.fmt & (HDF_SORTUP | HDF_SORTDOWN);
    }

    // The list's right-click notification for a row, as the list view sends it.
    static void RightClick(int nRow, int nChoice)
    {
        s_dlg->m_nMenuChoice = nChoice;
        NMITEMACTIVATE click{};
        click.hdr.hwndFrom = List();
        click.hdr.idFrom = IDC_MAIN_LIST;
        click.hdr.code = NM_RCLICK;
        click.iItem = nRow;
        click.iSubItem = 0;
        ::SendMessageW(Dlg(), WM_NOTIFY, IDC_MAIN_LIST, reinterpret_cast<LPARAM>(&click));
        Pump();
    }

    static std::wstring RowTip(const std::wstring& idSerial)
    {
        const int row = FindRow(List(), 3, idSerial);
        return row < 0 ? L"<not listed>" : s_dlg->GetCameraRows().GetRowTip(row);
    }

    static CCamSimClient s_sim;
    static CScriptedMainDlg* s_dlg;
};

CCamSimClient CameraListTest::s_sim;
CScriptedMainDlg* CameraListTest::s_dlg = nullptr;

TEST_F(CameraListTest, HeaderClicksSortAndReverseKeepingTheSelectedCamera)
{
    // 198.18.16.9 must come before 198.18.16.10 (by number, not as text).
    ListFleet({"set b20000000001 lanip=198.18.16.10 from=lan name=beta",
               "set c30000000002 lanip=198.18.16.9 from=lan name=Alpha"});
    const int picked = FindRow(List(), 3, L"c30000000002");
    ASSERT_GE(picked, 0);
    ClickCell(List(), picked, 1);
    Pump();

    ClickHeader(0);
    auto addresses = Column(0);
    ASSERT_EQ(addresses.size(), 12u);
    for (size_t i = 1; i < addresses.size(); ++i)
        EXPECT_LE(Ipv4(addresses[i - 1]), Ipv4(addresses[i]))
            << addresses[i - 1] << " before " << addresses[i];
    EXPECT_EQ(addresses.back(), L"198.18.16.10");
    EXPECT_EQ(addresses[addresses.size() - 2], L"198.18.16.9");
    EXPECT_EQ(HeaderSort(0), HDF_SORTUP);

    // The selection moved with its camera.
    const int selected =
        static_cast<int>(::SendMessageW(List(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    ASSERT_GE(selected, 0);
    EXPECT_EQ(RowTexts(List(), selected, kColumns)[3], L"c30000000002");
    EXPECT_EQ(s_dlg->GetDeviceList()->GetCurRow(), selected);

    ClickHeader(0);
    addresses = Column(0);
    for (size_t i = 1; i < addresses.size(); ++i)
        EXPECT_GE(Ipv4(addresses[i - 1]), Ipv4(addresses[i]));
    EXPECT_EQ(addresses.front(), L"198.18.16.10");
    EXPECT_EQ(HeaderSort(0), HDF_SORTDOWN);

    // Another column: as text with case ignored; the first column's arrow goes.
    ClickHeader(2);
    const auto names = Column(2);
    for (size_t i = 1; i < names.size(); ++i)
        EXPECT_LE(Lower(names[i - 1]), Lower(names[i])) << names[i - 1] << " before " << names[i];
    EXPECT_LT(std::find(names.begin(), names.end(), L"Alpha") - names.begin(),
              std::find(names.begin(), names.end(), L"beta") - names.begin());
    EXPECT_EQ(HeaderSort(0), 0);
    EXPECT_EQ(HeaderSort(2), HDF_SORTUP);

    // The next rescan lists in the sort order too.
    ListFleet({"set b20000000001 name=aardvark"});
    EXPECT_EQ(RowTexts(List(), 0, kColumns)[2], L"aardvark");
}

TEST_F(CameraListTest, SharedAndUnreachableAddressesAreMarkedUntilTheyGoAway)
{
    ListFleet({});
    const std::wstring firstIp = RowTexts(List(), FindRow(List(), 3, L"a1b2c3d4e5f6"), kColumns)[0];
    for (int row = 0; row < RowCount(List()); ++row)
        EXPECT_EQ(s_dlg->GetCameraRows().GetRowTip(row), L"") << "row " << row;

    std::string twin = "set d40000000003 from=lan lanip=";
    for (wchar_t c : firstIp)
        twin += static_cast<char>(c);
    ListFleet({twin, "set b20000000001 lanip=198.18.16.20 from=lan"});
    EXPECT_EQ(RowTip(L"a1b2c3d4e5f6"), L"与 d40000000003 的 IP 地址冲突");
    EXPECT_EQ(RowTip(L"d40000000003"), L"与 a1b2c3d4e5f6 的 IP 地址冲突");
    EXPECT_EQ(RowTip(L"b20000000001"), L"不在本机任何网段");
    EXPECT_EQ(RowTip(L"c30000000002"), L"");
    COLORREF clr = 0;
    EXPECT_TRUE(s_dlg->GetCameraRows().GetRowTextColor(FindRow(List(), 3, L"b20000000001"), clr));
    EXPECT_EQ(clr, CCameraRows::WARNING_TEXT);
    EXPECT_FALSE(s_dlg->GetCameraRows().GetRowTextColor(FindRow(List(), 3, L"c30000000002"), clr));

    // The texts follow the language.
    CMyDialog::SetGlobalLanguage(1);
    Pump();
    EXPECT_EQ(RowTip(L"a1b2c3d4e5f6"), L"Same IP address as d40000000003");
    EXPECT_EQ(RowTip(L"b20000000001"), L"Not in any local subnet");
    CMyDialog::SetGlobalLanguage(0);
    Pump();

    // Fixed on the cameras: the next rescan shows them unmarked.
    ListFleet({});
    EXPECT_EQ(RowTip(L"a1b2c3d4e5f6"), L"");
    EXPECT_EQ(RowTip(L"d40000000003"), L"");
    EXPECT_EQ(RowTip(L"b20000000001"), L"");
}

TEST_F(CameraListTest, ACameraAtThisComputersOrTheGatewaysAddressIsMarked)
{
    // The lab's tool side: 198.18.1.10 on lab0, whose default route goes through 198.18.1.2.
    const struct {
        const char* setting;
        const wchar_t* id;
        const wchar_t* chinese;
        const wchar_t* english;
    } cases[] = {
        {"set d40000000003 from=198.18.1.150 lanip=198.18.1.10", L"d40000000003", L"与本机 IP 地址冲突",
         L"Same IP address as this computer"},
        {"set c30000000002 from=198.18.1.151 lanip=198.18.1.2", L"c30000000002", L"与网关 IP 地址冲突",
         L"Same IP address as the gateway"},
        // Two cameras whose DHCP failed do not share an address.
        {"set b20000000001 from=198.18.1.152 lanip=0.0.0.0", L"b20000000001", L"不在本机任何网段",
         L"Not in any local subnet"},
        {"set F12345678901 from=198.18.1.153 lanip=0.0.0.0", L"F12345678901", L"不在本机任何网段",
         L"Not in any local subnet"},
    };
    std::vector<std::string> settings;
    for (const auto& c : cases)
        settings.push_back(c.setting);
    ListFleet(settings);
    for (int lang : {0, 1}) {
        CMyDialog::SetGlobalLanguage(lang);
        Pump();
        for (const auto& c : cases)
            EXPECT_EQ(RowTip(c.id), lang == 0 ? c.chinese : c.english) << c.setting;
    }
    CMyDialog::SetGlobalLanguage(0);
    Pump();
}

TEST_F(CameraListTest, MenuExportsTheListAsUtf8CsvInTheOrderShown)
{
    // A name with a comma and a quote, and a Chinese one.
    ListFleet({"set a1b2c3d4e5f6 name=A%2C%22B", "set b20000000001 name=%E4%B8%AD%E6%96%87"});
    ClickHeader(3); // by idSerial
    wchar_t dir[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, dir);
    const std::wstring path = std::wstring(dir) + L"larkvane-export-test.csv";
    ::DeleteFileW(path.c_str());
    s_dlg->m_strExportPath = path;
    RightClick(0, IDM_LIST_EXPORT);

    const std::string bytes = ReadBytes(path);
    ::DeleteFileW(path.c_str());
    ASSERT_GE(bytes.size(), 3u) << "nothing was written";
    EXPECT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");

    std::vector<std::string> lines;
    std::istringstream in(bytes.substr(3));
    for (std::string line; std::getline(in, line);) {
        ASSERT_FALSE(line.empty());
        EXPECT_EQ(line.back(), '\r') << "lines end with CRLF";
        line.pop_back();
        lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 13u);
    EXPECT_EQ(lines[0], "设备IP,网关,设备名称,设备ID,网络类型,MAC地址,版本");
    EXPECT_NE(lines[1].find(",\"A,\"\"B\",a1b2c3d4e5f6,"), std::string::npos) << lines[1];
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) {
                                return line.find(",中文,b20000000001,") != std::string::npos;
                            }),
              1);
    // The order shown: by idSerial.
    for (size_t i = 2; i < lines.size(); ++i) {
        const auto id = [](const std::string& line) {
            std::vector<std::string> fields;
            std::string field;
            bool quoted = false;
            for (char c : line) {
                if (c == '"')
                    quoted = !quoted;
                else if (c == ',' && !quoted)
                    fields.push_back(field), field.clear();
                else
                    field += c;
            }
            fields.push_back(field);
            return fields.size() > 3 ? Lower(std::wstring(fields[3].begin(), fields[3].end()))
                                     : std::wstring();
        };
        EXPECT_LT(id(lines[i - 1]), id(lines[i]));
    }
}

TEST_F(CameraListTest, MenuCopiesTheListAndActsOnTheRightClickedCamera)
{
    ListFleet({});
    RightClick(-1, IDM_LIST_COPY);
    ASSERT_EQ(s_dlg->m_menuTexts.size(), 8u);
    EXPECT_EQ(s_dlg->m_menuTexts[0], L"复制列表");
    EXPECT_EQ(s_dlg->m_menuTexts[4], L"打开更改记录文件夹");
    EXPECT_EQ(s_dlg->m_menuTexts[5], L"排序") << "the headings' sort, as a submenu";
    EXPECT_EQ(s_dlg->m_menuTexts[6], L"搜索网卡 ...");
    EXPECT_EQ(s_dlg->m_menuTexts[7], L"ONVIF") << "the listing of other makers' devices";
    EXPECT_FALSE(s_dlg->m_menuEnabled[2]) << "Browse on Web without a camera under the click";
    ASSERT_TRUE(::OpenClipboard(nullptr));
    std::wstring copied;
    if (HANDLE h = ::GetClipboardData(CF_UNICODETEXT)) {
        copied = static_cast<const wchar_t*>(::GlobalLock(h));
        ::GlobalUnlock(h);
    }
    ::CloseClipboard();
    EXPECT_EQ(copied.rfind(L"设备IP,网关,设备名称,设备ID,网络类型,MAC地址,版本\r\n", 0), 0u)
        << copied.substr(0, 80);
    EXPECT_EQ(std::count(copied.begin(), copied.end(), L'\n'), 13);

    const int row = FindRow(List(), 3, L"d40000000003");
    ASSERT_GE(row, 0);
    RightClick(row, IDM_LIST_SINGLE);
    EXPECT_TRUE(s_dlg->m_menuEnabled[3]);
    EXPECT_EQ(ReadTextField(s_dlg->GetSelDevice().message.idSerial), "d40000000003");
    EXPECT_TRUE(
        PumpUntil([] { return ::IsWindowVisible(s_dlg->GetDeviceSetDlg()->GetSafeHwnd()) != FALSE; }, 3000));
    s_dlg->GetDeviceSetDlg()->ShowWindow(SW_HIDE);

    CMyDialog::SetGlobalLanguage(1);
    Pump();
    RightClick(-1, 0);
    ASSERT_EQ(s_dlg->m_menuTexts.size(), 8u);
    EXPECT_EQ(s_dlg->m_menuTexts[0], L"Copy List");
    EXPECT_EQ(s_dlg->m_menuTexts[4], L"Open Change Log Folder");
    EXPECT_EQ(s_dlg->m_menuTexts[5], L"Sort By");
    EXPECT_EQ(s_dlg->m_menuTexts[6], L"Search on...");
    EXPECT_EQ(s_dlg->m_menuTexts[7], L"ONVIF");
    EXPECT_EQ(s_dlg->m_menuTexts[1], L"Export to CSV File ...");
}

// The change log's folder (the program's own) opens from the menu, with or without a camera under
// the click, in either language.
TEST_F(CameraListTest, MenuOpensTheChangeLogFolder)
{
    ListFleet({});
    wchar_t exe[MAX_PATH] = {};
    const std::wstring path(exe, ::GetModuleFileNameW(nullptr, exe, MAX_PATH));
    const std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
    const struct {
        int nLangId;
        int nRow;
        const wchar_t* text;
    } cases[] = {{0, -1, L"打开更改记录文件夹"}, {1, 0, L"Open Change Log Folder"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nLangId);
        CMyDialog::SetGlobalLanguage(c.nLangId);
        Pump();
        s_dlg->m_folders.clear();
        RightClick(c.nRow, IDM_LIST_LOG_FOLDER);
        ASSERT_EQ(s_dlg->m_menuTexts.size(), 8u);
        EXPECT_EQ(s_dlg->m_menuTexts[4], c.text);
        EXPECT_TRUE(s_dlg->m_menuEnabled[4]);
        EXPECT_EQ(s_dlg->m_folders, std::vector<std::wstring>{folder});
    }
    CMyDialog::SetGlobalLanguage(0);
}

TEST_F(CameraListTest, CopyListAndExportQuoteCellsAndDefuseFormulas)
{
    // A formula that would start a program, a name across two lines with a comma in it, a
    // gateway and a version that begin with @ and -.
    ListFleet({"set a1b2c3d4e5f6 name=%3Dcmd%7C'%20%2FC%20calc'!A0",
               "set b20000000001 name=a%2Cb%0D%0Ac langw=@x version=-1"});
    SetClipboardText(L"marker");
    RightClick(-1, IDM_LIST_COPY);
    const std::wstring copied = ClipboardText();
    EXPECT_NE(copied.find(L",'=cmd|' /C calc'!A0,a1b2c3d4e5f6,"), std::wstring::npos) << Narrow(copied);
    EXPECT_NE(copied.find(L",'@x,\"a,b\r\nc\",b20000000001,LAN,00:1A:2B:3C:4D:51,'-1\r\n"),
              std::wstring::npos)
        << Narrow(copied);
    // One heading, twelve cameras and the line break inside the quoted name.
    EXPECT_EQ(std::count(copied.begin(), copied.end(), L'\n'), 14);

    // The file holds the same text.
    wchar_t dir[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, dir);
    const std::wstring path = std::wstring(dir) + L"larkvane-export-defuse-test.csv";
    ::DeleteFileW(path.c_str());
    s_dlg->m_strExportPath = path;
    RightClick(-1, IDM_LIST_EXPORT);
    const std::string bytes = ReadBytes(path);
    ::DeleteFileW(path.c_str());
    EXPECT_EQ(bytes, "\xEF\xBB\xBF" + Narrow(copied));
}

TEST_F(CameraListTest, BrowseOpensOnlyADottedAddressRebuiltFromItsNumbers)
{
    const struct {
        const char* id;
        const char* lanIp;
        const wchar_t* url; // "": a box says there is no usable address
    } cases[] = {
        {"a1b2c3d4e5f6", "198.18.1.010", L"http://198.18.1.10"},
        {"b20000000001", "user@198.18.1.5", L""},
        {"c30000000002", "evil.example", L""},
        {"d40000000003", "198.18.1.5/x", L""},
        {"F12345678901", "0.0.0.0", L""},
        {"a60000000005", "127.0.0.1", L""},
        {"f70000000006", "198.18.1.5:8080", L""},
    };
    std::vector<std::string> settings;
    int sender = 150;
    for (const auto& c : cases)
        settings.push_back(std::string("set ") + c.id + " from=198.18.1." + std::to_string(sender++) +
                           " lanip=" + c.lanIp);
    ListFleet(settings);
    const std::wstring noAddress = L"该设备没有报告可用的 IP 地址。";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lanIp);
        const int row = FindRow(List(), 3, Widen(c.id));
        ASSERT_GE(row, 0);
        ClickCell(List(), row, 1);
        Pump();
        ASSERT_EQ(ReadTextField(s_dlg->GetSelDevice().message.idSerial), c.id);
        s_dlg->m_opened.clear();
        const std::wstring box = MessageBoxDuring(
            L"提示", [] { s_dlg->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_MAIN_BROWSE, BN_CLICKED), 0); });
        if (c.url[0]) {
            EXPECT_EQ(s_dlg->m_opened, std::vector<std::wstring>{c.url});
            EXPECT_EQ(box, L"");
        } else {
            EXPECT_TRUE(s_dlg->m_opened.empty()) << Narrow(s_dlg->m_opened.front());
            EXPECT_EQ(box, noAddress);
        }
    }

    // The list's menu goes the same way.
    s_dlg->m_opened.clear();
    EXPECT_EQ(
        MessageBoxDuring(L"提示", [] { RightClick(FindRow(List(), 3, L"a1b2c3d4e5f6"), IDM_LIST_BROWSE); }),
        L"");
    EXPECT_EQ(s_dlg->m_opened, std::vector<std::wstring>{L"http://198.18.1.10"});
    s_dlg->m_opened.clear();
    EXPECT_EQ(
        MessageBoxDuring(L"提示", [] { RightClick(FindRow(List(), 3, L"c30000000002"), IDM_LIST_BROWSE); }),
        noAddress);
    EXPECT_TRUE(s_dlg->m_opened.empty());

    // In English.
    CMyDialog::SetGlobalLanguage(1);
    Pump();
    EXPECT_EQ(
        MessageBoxDuring(L"Message",
                         [] { s_dlg->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_MAIN_BROWSE, BN_CLICKED), 0); }),
        L"The camera reports no usable IP address.");
    CMyDialog::SetGlobalLanguage(0);
    Pump();
}

TEST_F(CameraListTest, TheCountLabelHoldsFiveDigits)
{
    const HWND hCount = ::GetDlgItem(Dlg(), IDC_MAIN_COUNT);
    ASSERT_NE(hCount, nullptr);
    RECT rc{};
    ::GetClientRect(hCount, &rc);
    HDC dc = ::GetDC(hCount);
    const HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(hCount, WM_GETFONT, 0, 0)));
    SIZE size{};
    ::GetTextExtentPoint32W(dc, L"99999", 5, &size);
    ::SelectObject(dc, old);
    ::ReleaseDC(hCount, dc);
    EXPECT_LE(size.cx, rc.right - rc.left) << "the label is " << rc.right - rc.left << " pixels wide";
}

} // namespace
