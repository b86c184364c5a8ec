// "Import Plan..." in the group dialog: plan files written to disk and chosen through the
// dialog's file chooser fill the rows of the cameras they name (checked, in the plan's colour),
// uncheck the others, report the cameras they name that are not listed, fill nothing when a line
// is bad or a mask would change, and mark planned addresses that are taken. And the change log
// of a pass whose process is killed half-way.
#include "GroupSetTestSupport.h"

#include "AppTestSupport.h"

#include "app/ChangeLog.h"
#include "base/TextConvert.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

std::wstring TempFile(const wchar_t* stem)
{
    wchar_t dir[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, dir);
    return std::wstring(dir) + stem + std::to_wstring(::GetCurrentProcessId()) + L".csv";
}

std::string ReadAll(const std::wstring& path)
{
    std::ifstream in(path.c_str(), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

const char* const FLEET[] = {"a1b2c3d4e5f6", "b20000000001", "c30000000002", "d40000000003",
                             "F12345678901", "a60000000005", "f70000000006", "b80000000007",
                             "c90000000008", "da0000000009", "fb000000000a", "ac000000000b"};

class GroupPlan : public CGroupSetDlgTest {
  protected:
    void SetUp() override
    {
        CGroupSetDlgTest::SetUp();
        m_planPath = TempFile(L"lv-plan-");
        s_pDlg->SetFileChooser([this](bool bSave) { return bSave ? std::wstring() : m_planPath; });
    }
    void TearDown() override
    {
        s_pDlg->SetFileChooser(nullptr);
        ::DeleteFileW(m_planPath.c_str());
    }
    // Four listed cameras, sorted a1…, b2…, c3…, d4…, all checked.
    void LoadFour()
    {
        m_records = {RecordOf("a1b2c3d4e5f6"), RecordOf("b20000000001"), RecordOf("c30000000002"),
                     RecordOf("d40000000003")};
        Load(m_records);
        ASSERT_EQ(Rows(), 4);
    }
    // Writes the plan and presses "Import Plan...": the boxes it showed.
    std::vector<std::wstring> Import(const std::string& bytes, const wchar_t* caption = L"提示")
    {
        {
            std::ofstream out(m_planPath.c_str(), std::ios::binary | std::ios::trunc);
            out << bytes;
        }
        CMessageBoxCatcher boxes(Dlg(), caption);
        Command(IDC_GRP_IMPORT_PLAN);
        PumpFor(100);
        return boxes.Texts();
    }
    COLORREF Colour(int nRow, int nCol) const { return s_pDlg->GetList()->GetCellTextColor(nRow, nCol); }

    std::wstring m_planPath;
    std::vector<DeviceRecord> m_records;
};

// Serials and MACs, a Chinese name, two cameras the list does not hold: the named rows are
// checked and show the plan in its colour (a cell the plan leaves empty keeps the camera's value
// and colour), the others are unchecked, and one box names the missing keys, in each language.
TEST_F(GroupPlan, FillsTheNamedRowsAndReportsTheMissingCameras)
{
    const std::string plan = "\xEF\xBB\xBF"
                             "序列号,MAC地址,新地址,网关,名称\r\n"
                             "A1B2C3D4E5F6,,198.18.1.150,198.18.1.254,东门\r\n"
                             ",00-1a-2b-3c-4d-51,198.18.1.151,,\r\n"
                             "zz0000000099,,198.18.1.152,,\r\n"
                             ",00:1A:2B:3C:4D:7F,198.18.1.153,,\r\n";
    const struct {
        int nLangId;
        const wchar_t* caption;
        const wchar_t* box;
    } languages[] = {
        {0, L"提示", L"计划中有 2 台设备未找到：\nzz0000000099\n00:1A:2B:3C:4D:7F"},
        {1, L"Message", L"2 device(s) in the plan were not found:\nzz0000000099\n00:1A:2B:3C:4D:7F"},
    };
    for (const auto& language : languages) {
        SCOPED_TRACE(language.nLangId);
        CMyDialog::SetGlobalLanguage(language.nLangId);
        LoadFour();
        SetChecked(0, false);
        const std::vector<std::wstring> lobby = Cells(1);
        const COLORREF normal = Colour(0, 0);

        EXPECT_EQ(Import(plan, language.caption), std::vector<std::wstring>{language.box});
        EXPECT_EQ(Cells(0), (std::vector<std::wstring>{L" 0: a1b2c3d4e5f6", L"198.18.1.150", L"198.18.1.254",
                                                       L"东门"}));
        EXPECT_EQ(Cells(1), (std::vector<std::wstring>{lobby[0], L"198.18.1.151", lobby[2], lobby[3]}));
        EXPECT_EQ((std::vector<bool>{Checked(0), Checked(1), Checked(2), Checked(3)}),
                  (std::vector<bool>{true, true, false, false}));
        for (int nCol = 1; nCol <= 3; ++nCol) {
            SCOPED_TRACE(nCol);
            EXPECT_EQ(Colour(0, nCol), CGroupSetDlg::PLAN_TEXT);
            EXPECT_EQ(Colour(1, nCol), nCol == 1 ? CGroupSetDlg::PLAN_TEXT : normal);
            EXPECT_EQ(Colour(2, nCol), normal);
        }
        // A new list of cameras starts without the plan's colours.
        LoadFour();
        EXPECT_EQ(Colour(0, 1), normal);
    }
}

// A planned cell the operator edits to another value is the operator's, no longer the plan's; one
// left as the plan filled it keeps the plan's colour.
TEST_F(GroupPlan, AnEditedCellLeavesThePlansColour)
{
    LoadFour();
    ASSERT_TRUE(Import("Serial,IP,Name\na1b2c3d4e5f6,198.18.1.150,东门\n").empty());
    const COLORREF normal = Colour(0, 0);
    const struct {
        int nCol;
        const wchar_t* typed; // null: left as it is
        COLORREF colour;
    } edits[] = {{3, L"西门", normal}, {1, nullptr, CGroupSetDlg::PLAN_TEXT}};
    for (const auto& e : edits) {
        SCOPED_TRACE(e.nCol);
        apptest::ClickCell(List(), 0, e.nCol);
        ASSERT_TRUE(
            PumpUntil([] { return s_pDlg->GetList()->GetEditCtrl() && s_pDlg->GetList()->IsEditorReady(); }));
        if (e.typed)
            s_pDlg->GetList()->GetEditCtrl()->SetWindowText(e.typed);
        ::SetFocus(::GetDlgItem(Dlg(), IDC_GRP_STEP));
        PumpFor(60);
        if (e.typed) {
            EXPECT_EQ(CellText(List(), 0, e.nCol), e.typed);
        }
        EXPECT_EQ(Colour(0, e.nCol), e.colour);
    }
}

// A bad line: its number is reported and nothing changes (cells, checks and colours), not even
// the rows of the good lines.
TEST_F(GroupPlan, ABadLineFillsNothing)
{
    LoadFour();
    SetChecked(2, false);
    const std::vector<std::vector<std::wstring>> before = {Cells(0), Cells(1), Cells(2), Cells(3)};
    const std::vector<std::wstring> boxes = Import("Serial,IP,Name\n"
                                                   "a1b2c3d4e5f6,198.18.1.150,大门\n"
                                                   "b20000000001,198.18.1.1510,Hall\n");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0],
              L"计划文件有错误，未填写任何内容：\n第 3 行：“IP”的“198.18.1.1510”不是有效的 IP 地址。");
    for (int nRow = 0; nRow < 4; ++nRow) {
        EXPECT_EQ(Cells(nRow), before[static_cast<std::size_t>(nRow)]);
        EXPECT_EQ(Checked(nRow), nRow != 2);
        EXPECT_NE(Colour(nRow, 1), CGroupSetDlg::PLAN_TEXT);
    }
}

// Planned addresses get the marks typed ones get: one that a camera left out of the plan holds is
// red (and said so), a free one stays the plan's.
TEST_F(GroupPlan, MarksAPlannedAddressThatIsTaken)
{
    LoadFour();
    const std::wstring taken = CellText(List(), 2, 1); // c3…'s own address; c3… is not in the plan
    const std::vector<std::wstring> boxes =
        Import("ID,IP\na1b2c3d4e5f6," + std::string(TextWideToUtf8(taken.c_str())) +
               "\nb20000000001,198.18.1.160\n");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find(L"1 个计算出的地址"), std::wstring::npos) << boxes[0];
    EXPECT_EQ(s_pDlg->GetAddressConflicts(), 1);
    EXPECT_EQ(Colour(0, 1), CGroupSetDlg::CONFLICT_TEXT);
    EXPECT_EQ(Colour(1, 1), CGroupSetDlg::PLAN_TEXT);
}

// A pass sends no mask of its own: a plan that would change one is refused whole, naming the
// cameras; a plan that gives a camera the mask it has is taken.
TEST_F(GroupPlan, RefusesAPlanThatWouldChangeAMask)
{
    LoadFour();
    const std::string own = ReadTextField(m_records[0].message.lanMask);
    ASSERT_NE(own, "255.255.0.0");
    const std::vector<std::vector<std::wstring>> before = {Cells(0), Cells(1)};
    const std::vector<std::wstring> boxes = Import("Serial,Mask,IP\na1b2c3d4e5f6," + own +
                                                   ",198.18.1.150\nb20000000001,255.255.0.0,198.18.1.151\n");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find(L"不能修改掩码"), std::wstring::npos) << boxes[0];
    EXPECT_NE(boxes[0].find(L"\nb20000000001"), std::wstring::npos) << boxes[0];
    EXPECT_EQ(boxes[0].find(L"a1b2c3d4e5f6"), std::wstring::npos) << boxes[0];
    EXPECT_EQ((std::vector<std::vector<std::wstring>>{Cells(0), Cells(1)}), before);

    EXPECT_TRUE(Import("Serial,Mask,IP\na1b2c3d4e5f6," + own + ",198.18.1.150\n").empty());
    EXPECT_EQ(CellText(List(), 0, 1), L"198.18.1.150");
}

// The two buttons share the top row with the name stem: their captions fit them in each language.
TEST_F(GroupPlan, ButtonCaptionsFitTheirButtons)
{
    for (const int nLangId : {0, 1}) {
        CMyDialog::SetGlobalLanguage(nLangId);
        Pump();
        for (const int nID : {IDC_GRP_IMPORT_PLAN, IDC_GRP_EXPORT_RESULTS}) {
            const HWND hButton = ::GetDlgItem(Dlg(), nID);
            ASSERT_NE(hButton, nullptr);
            std::wstring text = TextOf(hButton);
            text.erase(std::remove(text.begin(), text.end(), L'&'), text.end());
            SCOPED_TRACE(std::string(TextWideToUtf8(text.c_str())));
            const HDC hdc = ::GetDC(hButton);
            const HGDIOBJ hOld =
                ::SelectObject(hdc, reinterpret_cast<HFONT>(::SendMessageW(hButton, WM_GETFONT, 0, 0)));
            SIZE size{};
            ::GetTextExtentPoint32W(hdc, text.c_str(), static_cast<int>(text.size()), &size);
            ::SelectObject(hdc, hOld);
            ::ReleaseDC(hButton, hdc);
            RECT rc{};
            ::GetClientRect(hButton, &rc);
            EXPECT_LE(size.cx + 6, rc.right) << "text " << size.cx << " px, button " << rc.right << " px";
        }
    }
    CMyDialog::SetGlobalLanguage(0);
}

// Run only by the next test, in a process of its own: a slow pass over the whole fleet that the
// parent kills half-way.
TEST_F(GroupPlan, DISABLED_PassThatIsKilled)
{
    wchar_t path[MAX_PATH] = {};
    ASSERT_GT(::GetEnvironmentVariableW(L"LV_KILLED_PASS_LOG", path, MAX_PATH), 0u);
    s_pDlg->GetChangeLog().SetPath(path);
    s_pDlg->SetSendPause(400);
    std::vector<DeviceRecord> records;
    for (const char* id : FLEET)
        records.push_back(RecordOf(id));
    Load(records);
    Command(IDC_GRP_SEND);
    PumpFor(60000);
}

// A process killed in the middle of a group pass leaves a line for every camera it sent to, each
// whole, and the next line written to the file follows them directly.
TEST_F(GroupPlan, ChangeLogKeepsEverySentLineOfAKilledPass)
{
    const std::wstring log = TempFile(L"lv-killed-");
    ::DeleteFileW(log.c_str());
    ::SetEnvironmentVariableW(L"LV_KILLED_PASS_LOG", log.c_str());
    wchar_t exe[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring command =
        L"\"" + std::wstring(exe) +
        L"\" --gtest_also_run_disabled_tests --gtest_filter=GroupPlan.DISABLED_PassThatIsKilled";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(
        ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    ::SetEnvironmentVariableW(L"LV_KILLED_PASS_LOG", nullptr);
    auto sentLines = [&log] {
        const std::string text = ReadAll(log);
        std::size_t count = 0;
        for (std::size_t at = text.find(",已发送\r\n"); at != std::string::npos;
             at = text.find(",已发送\r\n", at + 1))
            ++count;
        return count;
    };
    const bool bStarted = PumpUntil([&] { return sentLines() >= 3; }, 30000);
    ::TerminateProcess(pi.hProcess, 9);
    ::WaitForSingleObject(pi.hProcess, 10000);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    ASSERT_TRUE(bStarted) << ReadAll(log);

    const std::string text = ReadAll(log);
    const std::string heading = "\xEF\xBB\xBF"
                                "Time,Computer,Serial,MAC,Before,Sent,Status\r\n";
    ASSERT_EQ(text.rfind(heading, 0), 0u);
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << "the last line is whole";
    // The pass goes down the sorted list: the lines name its first cameras in that order.
    std::vector<std::string> sorted(std::begin(FLEET), std::end(FLEET));
    for (std::string& id : sorted)
        id = apptest::Lower(id);
    std::sort(sorted.begin(), sorted.end());
    std::vector<std::string> serials;
    std::size_t at = heading.size();
    while (at < text.size()) {
        const std::size_t end = text.find("\r\n", at);
        const std::string line = text.substr(at, end - at);
        at = end + 2;
        // time, computer, serial, MAC, before, sent, status: no cell here holds a comma
        EXPECT_EQ(std::count(line.begin(), line.end(), ','), 6) << line;
        EXPECT_NE(line.find(",IP="), std::string::npos) << line;
        const std::size_t serialAt = line.find(',', line.find(',') + 1) + 1;
        serials.push_back(line.substr(serialAt, line.find(',', serialAt) - serialAt));
    }
    ASSERT_GE(serials.size(), 3u);
    ASSERT_LT(serials.size(), sorted.size()) << "the pass was not cut short";
    for (std::size_t i = 0; i < serials.size(); ++i)
        EXPECT_EQ(apptest::Lower(serials[i]), sorted[i]);

    CChangeLog after;
    after.SetPath(log);
    ASSERT_TRUE(after.AppendLine(L"after"));
    EXPECT_EQ(ReadAll(log), text + "after\r\n");
    ::DeleteFileW(log.c_str());
}

} // namespace
