// Closing: the main window closed during a rescan or a burst of replies neither crashes nor
// hangs; the real program lists the simulated fleet, shows its window and ends when it is closed.
#include "AppTestSupport.h"

#include "app/MainDlg.h"
#include "app/resource.h"
#include "tests/support/CamSimClient.h"
#include "tests/support/LabGuard.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace apptest;

namespace {

std::wstring DosPath(const char* unixPath)
{
    return DosPathOfUnixPath(unixPath);
}

// Saves what the screen shows of the window as a 24-bit BMP.
bool SaveWindowShot(HWND hWnd, const std::wstring& path)
{
    RECT rc{};
    ::GetWindowRect(hWnd, &rc);
    const int width = rc.right - rc.left;
    const int height = rc.bottom - rc.top;
    if (width <= 0 || height <= 0)
        return false;
    HDC hScreen = ::GetDC(nullptr);
    HDC hMem = ::CreateCompatibleDC(hScreen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP hBitmap = ::CreateDIBSection(hScreen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = ::SelectObject(hMem, hBitmap);
    ::BitBlt(hMem, 0, 0, width, height, hScreen, rc.left, rc.top, SRCCOPY);
    ::SelectObject(hMem, old);
    const DWORD stride = ((static_cast<DWORD>(width) * 3 + 3) & ~3u);
    const DWORD imageSize = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + imageSize;
    bool saved = false;
    if (FILE* out = _wfopen(path.c_str(), L"wb")) {
        saved = fwrite(&file, sizeof file, 1, out) == 1 &&
                fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
                fwrite(bits, imageSize, 1, out) == 1;
        fclose(out);
    }
    ::DeleteObject(hBitmap);
    ::DeleteDC(hMem);
    ::ReleaseDC(nullptr, hScreen);
    return saved;
}

class ShutdownTest : public testing::Test {
  protected:
    static void SetUpTestSuite() { RequireLabNetwork(); }
    void SetUp() override { ASSERT_TRUE(m_sim.Connect()); }
    void TearDown() override
    {
        m_sim.Command("burst off");
        m_sim.Command("reset");
    }
    CCamSimClient m_sim;
};

TEST_F(ShutdownTest, ClosingDuringARescanOrABurstEndsBothPasses)
{
    ASSERT_TRUE(m_sim.Ok("fleet 1000"));
    ASSERT_TRUE(m_sim.Ok("burst on"));
    // Closed at once (the first rescan still on its way), then at growing moments of the burst.
    const DWORD closeAfterMs[] = {0, 20, 60, 150, 400};
    for (DWORD wait : closeAfterMs) {
        SCOPED_TRACE(wait);
        auto* dlg = new CMainDlg();
        ASSERT_TRUE(dlg->CreateModeless(nullptr));
        PumpFor(wait);
        const DWORD start = ::GetTickCount();
        dlg->DestroyWindow();
        delete dlg;
        // Generous: a pass stuck in its 10 s receive would show here.
        EXPECT_LT(::GetTickCount() - start, 8000u) << "closing waited for a receive time-out";
    }
    // The reply port is free again: a new window lists cameras as before.
    ASSERT_TRUE(m_sim.Ok("fleet 20"));
    auto* dlg = new CMainDlg();
    ASSERT_TRUE(dlg->CreateModeless(nullptr));
    EXPECT_TRUE(
        PumpUntil([&] { return RowCount(::GetDlgItem(dlg->GetSafeHwnd(), IDC_MAIN_LIST)) == 20; }, 8000));
    dlg->DestroyWindow();
    delete dlg;
}

TEST_F(ShutdownTest, TheProgramListsTheFleetAndEndsWhenItsWindowCloses)
{
    ASSERT_TRUE(m_sim.Ok("reset"));
    std::wstring exe = DosPath(LV_TOOL_EXE);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::vector<wchar_t> commandLine(exe.begin(), exe.end());
    commandLine.push_back(0);
    ASSERT_TRUE(::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &startup, &process))
        << ::GetLastError();

    HWND hMain = nullptr;
    PumpUntil(
        [&] {
            hMain = ::FindWindowW(L"#32770", L"Larkvane");
            return hMain != nullptr && ::IsWindowVisible(hMain);
        },
        20000);
    ASSERT_NE(hMain, nullptr) << "the main window did not appear";
    EXPECT_TRUE(PumpUntil([&] { return ItemText(hMain, IDC_MAIN_COUNT) == L"12"; }, 15000))
        << "count: " << ::testing::PrintToString(ItemText(hMain, IDC_MAIN_COUNT).size());
    EXPECT_EQ(RowCount(::GetDlgItem(hMain, IDC_MAIN_LIST)), 12);
    PumpFor(500);
    EXPECT_TRUE(SaveWindowShot(hMain, DosPath(LV_TOOL_SHOT)));

    ::PostMessageW(hMain, WM_CLOSE, 0, 0);
    EXPECT_EQ(::WaitForSingleObject(process.hProcess, 20000), WAIT_OBJECT_0) << "the program did not end";
    DWORD code = 1;
    ::GetExitCodeProcess(process.hProcess, &code);
    EXPECT_NE(code, STILL_ACTIVE);
    if (code == STILL_ACTIVE)
        ::TerminateProcess(process.hProcess, 1);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
}

} // namespace
