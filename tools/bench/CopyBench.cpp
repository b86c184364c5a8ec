#include "tools/bench/CopyBench.h"

#include "app/resource.h"
#include "tools/bench/AnswerProbe.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>

int CBenchMainDlg::ChooseMenuCommand(HMENU /*hMenu*/, POINT /*ptScreen*/)
{
    const int command = m_nMenuCommand;
    m_nMenuCommand = 0;
    return command;
}

namespace {

size_t ClipboardChars(HWND hOwner)
{
    size_t chars = 0;
    if (!::OpenClipboard(hOwner))
        return 0;
    if (HANDLE hData = ::GetClipboardData(CF_UNICODETEXT))
        if (const auto* text = static_cast<const wchar_t*>(::GlobalLock(hData))) {
            chars = std::wcslen(text);
            ::GlobalUnlock(hData);
        }
    ::CloseClipboard();
    return chars;
}

void EmptyTheClipboard(HWND hOwner)
{
    if (::OpenClipboard(hOwner)) {
        ::EmptyClipboard();
        ::CloseClipboard();
    }
}

long long FileBytes(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Starts the copy, then pumps until done() says it is complete (or 30 s), and prints the figures.
template <typename StartFn, typename DoneFn>
void TimeOne(const char* name, HWND hDlg, int rows, int (*pump)(), StartFn start, DoneFn done)
{
    CAnswerProbe probe;
    probe.Start(hDlg);
    ::Sleep(20); // the probe is answering before the copy starts
    pump();
    const double begin = Now();
    start();
    double finished = -1;
    size_t size = 0;
    while (Now() - begin < 30) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_ALLINPUT);
        pump();
        size = done();
        if (size > 0) {
            finished = Now() - begin;
            break;
        }
    }
    // A few answers after the end, so that a stall at the very end is counted.
    const double settle = Now();
    while (Now() - settle < 0.1) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_ALLINPUT);
        pump();
    }
    probe.Stop(pump);
    const CAnswerProbe::Figures answers = probe.Until(Now());
    std::printf("copy %s of %d rows: complete after %.3f s (%zu units), window answer longest %.1f ms, "
                "median %.2f ms (%zu)\n",
                name, rows, finished, size, 1e3 * answers.longest, 1e3 * answers.median, answers.count);
    std::printf("copy-result kind=%s rows=%d done_s=%.3f answer_max_ms=%.1f\n", name, rows, finished,
                1e3 * answers.longest);
    std::fflush(stdout);
}

} // namespace

void MeasureCopies(CBenchMainDlg& dlg, int (*pump)())
{
    const HWND hDlg = dlg.GetSafeHwnd();
    const HWND hList = ::GetDlgItem(hDlg, IDC_MAIN_LIST);
    const int rows = static_cast<int>(::SendMessageW(hList, LVM_GETITEMCOUNT, 0, 0));

    EmptyTheClipboard(hDlg);
    TimeOne(
        "ctrl_c", hDlg, rows, pump,
        [&] {
            // The key as the list sees it: Ctrl held in this thread's keyboard state, C released.
            BYTE saved[256], state[256];
            ::GetKeyboardState(saved);
            std::memcpy(state, saved, sizeof state);
            state[VK_CONTROL] = 0x80;
            ::SetKeyboardState(state);
            ::SendMessageW(hList, WM_NULL, 0, 0);
            MSG msg{hList, WM_KEYUP, 'C', 0, ::GetTickCount(), {}};
            if (!CWnd::WalkPreTranslateTree(&msg))
                ::DispatchMessageW(&msg);
            ::SetKeyboardState(saved);
        },
        [&] { return ClipboardChars(hDlg); });

    EmptyTheClipboard(hDlg);
    TimeOne(
        "copy_list", hDlg, rows, pump,
        [&] {
            dlg.m_nMenuCommand = IDM_LIST_COPY;
            dlg.ShowCameraListMenu(-1);
        },
        [&] { return ClipboardChars(hDlg); });

    wchar_t dir[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, dir);
    dlg.m_exportPath = std::wstring(dir) + L"lv-bench-export.csv";
    ::DeleteFileW(dlg.m_exportPath.c_str());
    TimeOne(
        "export", hDlg, rows, pump,
        [&] {
            dlg.m_nMenuCommand = IDM_LIST_EXPORT;
            dlg.ShowCameraListMenu(-1);
        },
        [&] {
            const long long bytes = FileBytes(dlg.m_exportPath);
            return bytes > 0 ? static_cast<size_t>(bytes) : size_t{0};
        });
    ::DeleteFileW(dlg.m_exportPath.c_str());
}
