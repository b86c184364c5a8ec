// The soak driver: drives one running Larkvane process from outside, only through its windows
// (as a user's clicks would arrive), and reports what the process holds after each round.
//
//   lv_soak_driver.exe --unix-pid PID [--rounds K] [--expect N] [--close wmclose|exit]
//                      [--close-delay MS] [--pass-at-close] [--keep-dialogs]
//                      [--quiet-close] [--hide-before-close]
//
// One run: wait for the main window ("Larkvane") and the full list; K rounds of
//   two rescans, the second while the first one's burst is still arriving; a camera selected
//   in the list and Modify By Single opened; Modify by Group opened; a group pass over three
//   rows (Uncheck All, three rows selected, Check Selected, Set for All checked) and its
//   completion box closed; the language switched to English and back; then the handle count,
//   private bytes and the Linux figures of the process (from /proc, PID given by the caller);
//   the settings dialogs closed again (Return) unless --keep-dialogs;
// then a rescan and, --close-delay ms later (in its burst), the window is closed by WM_CLOSE or
// by the Exit button, optionally while a group pass over every row is running. The close time
// is from the close request until the process has ended (Windows handle signalled, and the
// Linux process gone or a zombie). --hide-before-close first hides the shown windows (main window
// and settings dialogs) and waits until that is done: Wine without a window manager spends about
// 2.2 s taking each shown top-level window off the screen, which would hide the program's own
// shutdown time; the rescan and the close come after. --quiet-close closes without the rescan before it.
//
// Output: one line per event, "key=value" fields, for scripts/soak.sh. Exit 0 when every step
// was answered, 1 when something did not happen (each such step also prints an "error" line).
#include "app/resource.h"

#include <windows.h>

#include <commctrl.h>
#include <psapi.h>
#include <winternl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

struct Options {
    unsigned long unixPid = 0;
    int rounds = 4;
    int expect = 1000;
    bool exitButton = false;
    int closeDelayMs = 200;
    bool passAtClose = false;
    bool keepDialogs = false;
    bool quietClose = false; // no rescan before the close
    bool hideBeforeClose = false;
};

int g_errors = 0;
LARGE_INTEGER g_frequency;

double NowMs()
{
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(g_frequency.QuadPart);
}

void Error(const char* what)
{
    ++g_errors;
    std::printf("error what=%s\n", what);
    std::fflush(stdout);
}

// Every cross-process call is bounded: a hung window thread shows as an error, not as a hang here.
bool Send(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult = nullptr,
          UINT timeoutMs = 20000)
{
    DWORD_PTR result = 0;
    const bool answered =
        ::SendMessageTimeoutW(hWnd, message, wParam, lParam, SMTO_NORMAL, timeoutMs, &result) != 0;
    if (pResult)
        *pResult = static_cast<LRESULT>(result);
    return answered;
}

bool Command(HWND hDlg, int id, int code = BN_CLICKED)
{
    return Send(hDlg, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, id)));
}

std::wstring Text(HWND hWnd)
{
    wchar_t text[512] = {};
    LRESULT n = 0;
    if (!Send(hWnd, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), &n, 5000))
        return L"?";
    return text;
}

std::string Utf8(const std::wstring& text)
{
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 1), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
    out.resize(std::strlen(out.c_str()));
    for (char& c : out)
        if (c == ' ')
            c = '_';
    return out;
}

int Count(HWND hMain)
{
    const std::wstring text = Text(::GetDlgItem(hMain, IDC_MAIN_COUNT));
    return text == L"?" || text.empty() ? -1 : _wtoi(text.c_str());
}

template <typename Pred> bool WaitFor(Pred pred, DWORD timeoutMs, DWORD stepMs = 20)
{
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (pred())
            return true;
        if (::GetTickCount() - start >= timeoutMs)
            return false;
        ::Sleep(stepMs);
    }
}

// The process's top-level dialogs, told apart by the controls only each one has.
struct Windows {
    DWORD pid = 0;
    HWND hSingle = nullptr;
    HWND hGroup = nullptr;
    std::vector<HWND> boxes; // message boxes (a static with id 0xFFFF)
};

Windows FindDialogs(HWND hMain)
{
    Windows found;
    ::GetWindowThreadProcessId(hMain, &found.pid);
    ::EnumWindows(
        [](HWND hWnd, LPARAM lParam) -> BOOL {
            auto* pFound = reinterpret_cast<Windows*>(lParam);
            DWORD pid = 0;
            ::GetWindowThreadProcessId(hWnd, &pid);
            if (pid != pFound->pid)
                return TRUE;
            wchar_t cls[32] = {};
            ::GetClassNameW(hWnd, cls, 32);
            if (std::wcscmp(cls, L"#32770") != 0)
                return TRUE;
            if (::GetDlgItem(hWnd, IDC_GRP_SEND))
                pFound->hGroup = hWnd;
            else if (::GetDlgItem(hWnd, IDC_DEV_APPLY) && ::GetDlgItem(hWnd, IDC_DEV_CURRENT))
                pFound->hSingle = hWnd;
            else if (::GetDlgItem(hWnd, 0xFFFF) && ::IsWindowVisible(hWnd))
                pFound->boxes.push_back(hWnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// A click on a row of a list view, in its first column beside the check box (which selects the
// row without flipping its check or opening a cell editor). Shift extends the selection.
bool ClickRow(HWND hList, int nRow, bool bShift)
{
    int rowHeight = 0;
    LRESULT spacing = 0;
    if (Send(hList, LVM_GETITEMSPACING, TRUE, 0, &spacing))
        rowHeight = HIWORD(spacing);
    if (rowHeight <= 0 || rowHeight > 100)
        rowHeight = 22;
    int top = 24;
    if (HWND hHeader = ::FindWindowExW(hList, nullptr, WC_HEADERW, nullptr)) {
        RECT rc{};
        ::GetWindowRect(hHeader, &rc);
        ::MapWindowPoints(nullptr, hList, reinterpret_cast<POINT*>(&rc), 2);
        if (rc.bottom > 0 && rc.bottom < 100)
            top = rc.bottom;
    }
    const LPARAM at = MAKELPARAM(rowHeight + 30, top + nRow * rowHeight + rowHeight / 2);
    const WPARAM keys = MK_LBUTTON | (bShift ? MK_SHIFT : 0);
    return Send(hList, WM_LBUTTONDOWN, keys, at) && Send(hList, WM_LBUTTONUP, bShift ? MK_SHIFT : 0, at);
}

unsigned long FieldKb(const std::string& status, const char* key)
{
    const size_t at = status.find(key);
    return at == std::string::npos ? 0 : std::strtoul(status.c_str() + at + std::strlen(key), nullptr, 10);
}

// /proc/PID/status of the Linux process that runs the program (Wine maps / to Z:).
std::string LinuxStatus(unsigned long pid)
{
    std::string text;
    wchar_t path[64];
    std::swprintf(path, 64, L"Z:\\proc\\%lu\\status", pid);
    if (FILE* f = _wfopen(path, L"rb")) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
            text.append(buffer, n);
        std::fclose(f);
    }
    return text;
}

int LinuxFds(unsigned long pid)
{
    wchar_t pattern[64];
    std::swprintf(pattern, 64, L"Z:\\proc\\%lu\\fd\\*", pid);
    WIN32_FIND_DATAW data;
    HANDLE hFind = ::FindFirstFileW(pattern, &data);
    if (hFind == INVALID_HANDLE_VALUE)
        return -1;
    int n = 0;
    do {
        if (data.cFileName[0] != L'.')
            ++n;
    } while (::FindNextFileW(hFind, &data));
    ::FindClose(hFind);
    return n;
}

bool LinuxGone(unsigned long pid)
{
    const std::string status = LinuxStatus(pid);
    if (status.empty())
        return true;
    const size_t at = status.find("State:");
    return at != std::string::npos &&
           status.find_first_of("ZX", at + 6) == status.find_first_not_of(" \t", at + 6);
}

// Wine answers GetProcessHandleCount for another process with 0; its system process list
// carries the count the server keeps for each process.
long SystemHandleCount(DWORD pid)
{
    using QueryFn = LONG(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
    static const auto query = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (!query)
        return -1;
    std::vector<unsigned char> buffer(1 << 20);
    ULONG needed = 0;
    if (query(5 /* SystemProcessInformation */, buffer.data(), static_cast<ULONG>(buffer.size()), &needed) <
        0)
        return -1;
    for (size_t offset = 0;;) {
        const auto* info = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(buffer.data() + offset);
        if (reinterpret_cast<ULONG_PTR>(info->UniqueProcessId) == pid)
            return static_cast<long>(info->HandleCount);
        if (!info->NextEntryOffset)
            return -1;
        offset += info->NextEntryOffset;
    }
}

void Sample(HANDLE hProcess, DWORD pid, const Options& options, int nRound)
{
    DWORD own = 0;
    const long handles =
        ::GetProcessHandleCount(hProcess, &own) && own ? static_cast<long>(own) : SystemHandleCount(pid);
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (!::GetProcessMemoryInfo(hProcess, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory))
        std::memset(&memory, 0, sizeof memory);
    const std::string status = LinuxStatus(options.unixPid);
    std::printf(
        "sample round=%d handles=%ld private_kb=%llu ws_kb=%llu vmrss_kb=%lu rssanon_kb=%lu vmdata_kb=%lu "
        "fds=%d threads=%lu\n",
        nRound, handles, static_cast<unsigned long long>(memory.PrivateUsage / 1024),
        static_cast<unsigned long long>(memory.WorkingSetSize / 1024), FieldKb(status, "VmRSS:"),
        FieldKb(status, "RssAnon:"), FieldKb(status, "VmData:"), LinuxFds(options.unixPid),
        FieldKb(status, "Threads:"));
    std::fflush(stdout);
}

bool Rescan(HWND hMain)
{
    return ::PostMessageW(hMain, WM_COMMAND, MAKEWPARAM(IDC_MAIN_RESCAN, BN_CLICKED),
                          reinterpret_cast<LPARAM>(::GetDlgItem(hMain, IDC_MAIN_RESCAN))) != FALSE;
}

bool SwitchLanguage(HWND hMain, int nIndex, const wchar_t* expectRescan)
{
    HWND hCombo = ::GetDlgItem(hMain, IDC_MAIN_LANG);
    if (!hCombo || !Send(hCombo, CB_SETCURSEL, static_cast<WPARAM>(nIndex), 0) ||
        !Send(hMain, WM_COMMAND, MAKEWPARAM(IDC_MAIN_LANG, CBN_CLOSEUP), reinterpret_cast<LPARAM>(hCombo)))
        return false;
    HWND hRescan = ::GetDlgItem(hMain, IDC_MAIN_RESCAN);
    return WaitFor([&] { return Text(hRescan) == expectRescan; }, 5000);
}

// One round inside the running process; false when the window went away.
bool Round(HWND hMain, HANDLE hProcess, DWORD pid, const Options& options, int nRound)
{
    std::printf("round r=%d begin\n", nRound);
    std::fflush(stdout);
    // Rescans during a burst: the second comes while the first one's replies arrive.
    double t0 = NowMs();
    Rescan(hMain);
    ::Sleep(150);
    const int countMidBurst = Count(hMain);
    Rescan(hMain);
    ::Sleep(50);
    const bool full = WaitFor([&] { return Count(hMain) == options.expect; }, 30000, 50);
    const double rescanMs = NowMs() - t0;
    std::printf("rescan r=%d count_mid_burst=%d count=%d listed_ms=%.0f\n", nRound, countMidBurst,
                Count(hMain), rescanMs);
    if (!full)
        Error("list-not-full-after-rescan");
    if (!::IsWindow(hMain))
        return false;

    // Modify By Single, on the first row.
    HWND hList = ::GetDlgItem(hMain, IDC_MAIN_LIST);
    if (!ClickRow(hList, 0, false))
        Error("main-list-click-unanswered");
    ::Sleep(50); // the list posts its click to the window
    Command(hMain, IDC_MAIN_SINGLE);
    Windows dialogs;
    const bool singleShown = WaitFor(
        [&] {
            dialogs = FindDialogs(hMain);
            return dialogs.hSingle && ::IsWindowVisible(dialogs.hSingle);
        },
        5000);
    if (!singleShown)
        Error("single-dialog-not-shown");

    // Modify by Group: loads the whole list.
    t0 = NowMs();
    Command(hMain, IDC_MAIN_GROUP);
    const bool groupShown = WaitFor(
        [&] {
            dialogs = FindDialogs(hMain);
            return dialogs.hGroup && ::IsWindowVisible(dialogs.hGroup);
        },
        10000);
    const double groupMs = NowMs() - t0;
    if (!groupShown)
        Error("group-dialog-not-shown");

    // A small group pass: three rows checked, sent, and the completion box closed.
    double passMs = -1;
    std::wstring passText;
    if (groupShown) {
        HWND hGroup = dialogs.hGroup;
        HWND hGroupList = ::GetDlgItem(hGroup, IDC_GRP_LIST);
        Command(hGroup, IDC_GRP_UNCHECK_ALL);
        ClickRow(hGroupList, 0, false);
        ClickRow(hGroupList, 2, true);
        Command(hGroup, IDC_GRP_CHECK_SELECTED);
        t0 = NowMs();
        Command(hGroup, IDC_GRP_SEND);
        HWND hBox = nullptr;
        if (WaitFor(
                [&] {
                    const Windows now = FindDialogs(hMain);
                    hBox = now.boxes.empty() ? nullptr : now.boxes.front();
                    return hBox != nullptr;
                },
                15000, 10)) {
            passMs = NowMs() - t0;
            passText = Text(::GetDlgItem(hBox, 0xFFFF));
            ::PostMessageW(hBox, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            WaitFor([&] { return !::IsWindow(hBox) || !::IsWindowVisible(hBox); }, 5000);
        } else {
            Error("group-pass-no-completion-box");
        }
    }
    std::printf("dialogs r=%d single=%d group=%d group_ms=%.0f pass_ms=%.0f pass_text=%s\n", nRound,
                singleShown ? 1 : 0, groupShown ? 1 : 0, groupMs, passMs, Utf8(passText).c_str());

    // The language combo: English, then back to Chinese.
    const bool english = SwitchLanguage(hMain, 1, L"&Rescan");
    const bool chinese = SwitchLanguage(hMain, 0, L"刷新(&R)");
    std::printf("language r=%d english=%d chinese=%d\n", nRound, english ? 1 : 0, chinese ? 1 : 0);
    if (!english || !chinese)
        Error("language-switch-not-seen");

    Sample(hProcess, pid, options, nRound);

    if (!options.keepDialogs || nRound < options.rounds) {
        dialogs = FindDialogs(hMain);
        for (HWND hDlg : {dialogs.hSingle, dialogs.hGroup})
            if (hDlg)
                Command(hDlg, IDOK);
    }
    return ::IsWindow(hMain) != FALSE;
}

bool ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--unix-pid" && hasValue)
            options.unixPid = std::strtoul(argv[++i], nullptr, 10);
        else if (arg == "--rounds" && hasValue)
            options.rounds = std::atoi(argv[++i]);
        else if (arg == "--expect" && hasValue)
            options.expect = std::atoi(argv[++i]);
        else if (arg == "--close" && hasValue)
            options.exitButton = std::string(argv[++i]) == "exit";
        else if (arg == "--close-delay" && hasValue)
            options.closeDelayMs = std::atoi(argv[++i]);
        else if (arg == "--pass-at-close")
            options.passAtClose = true;
        else if (arg == "--keep-dialogs")
            options.keepDialogs = true;
        else if (arg == "--quiet-close")
            options.quietClose = true;
        else if (arg == "--hide-before-close")
            options.hideBeforeClose = true;
        else
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    // One command to the running program, as its button would send it (the run command opens
    // the group dialog for its second screenshot this way).
    if (argc == 3 && std::string(argv[1]) == "--post-command") {
        HWND hMain = nullptr;
        if (!WaitFor([&] { return (hMain = ::FindWindowW(nullptr, L"Larkvane")) != nullptr; }, 10000, 50))
            return 1;
        const int id = std::atoi(argv[2]);
        return ::PostMessageW(hMain, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED), 0) ? 0 : 1;
    }
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(
            stderr,
            "usage: lv_soak_driver --post-command ID | --unix-pid PID [--rounds K] [--expect N] [--close "
            "wmclose|exit] "
            "[--close-delay MS] [--pass-at-close] [--keep-dialogs] [--quiet-close] [--hide-before-close]\n");
        return 2;
    }
    ::QueryPerformanceFrequency(&g_frequency);
    const double start = NowMs();

    HWND hMain = nullptr;
    if (!WaitFor([&] { return (hMain = ::FindWindowW(nullptr, L"Larkvane")) != nullptr; }, 60000, 50)) {
        Error("main-window-not-found");
        return 1;
    }
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hMain, &pid);
    HANDLE hProcess = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, pid);
    if (!hProcess) {
        Error("open-process-failed");
        return 1;
    }
    const double windowMs = NowMs() - start;
    const bool listed = WaitFor([&] { return Count(hMain) == options.expect; }, 60000, 50);
    std::printf("ready window_ms=%.0f listed_ms=%.0f count=%d pid=%lu\n", windowMs, NowMs() - start,
                Count(hMain), pid);
    std::fflush(stdout);
    if (!listed)
        Error("list-not-full-at-start");

    for (int r = 1; r <= options.rounds; ++r)
        if (!Round(hMain, hProcess, pid, options, r)) {
            Error("main-window-gone");
            break;
        }

    // Closing: optionally a pass over every row running (200 ms a camera), and a burst arriving.
    bool passRunning = false;
    if (options.passAtClose) {
        const Windows dialogs = FindDialogs(hMain);
        if (dialogs.hGroup) {
            if (!::IsWindowVisible(dialogs.hGroup))
                Command(hMain, IDC_MAIN_GROUP);
            Command(dialogs.hGroup, IDC_GRP_CHECK_ALL);
            Command(dialogs.hGroup, IDC_GRP_SEND);
            ::Sleep(500);
            passRunning = Text(dialogs.hGroup).find(L'/') != std::wstring::npos ||
                          Text(dialogs.hGroup).find(L" of ") != std::wstring::npos;
        }
    }
    // Hiding a shown window costs Wine without a window manager about 2 s by itself: it is done
    // and waited for (a message sent after it returns once it is done) before the clock starts.
    int hidden = 0;
    double hideMs = 0;
    if (options.hideBeforeClose) {
        const double h0 = NowMs();
        const Windows dialogs = FindDialogs(hMain);
        for (HWND hWnd : {dialogs.hSingle, dialogs.hGroup, hMain})
            if (hWnd && ::IsWindowVisible(hWnd) && ::ShowWindowAsync(hWnd, SW_HIDE))
                ++hidden;
        Send(hMain, WM_NULL, 0, 0);
        hideMs = NowMs() - h0;
    }
    if (!options.quietClose)
        Rescan(hMain);
    ::Sleep(static_cast<DWORD>(options.closeDelayMs));
    const int countAtClose = Count(hMain);
    const double t0 = NowMs();
    if (options.exitButton)
        ::PostMessageW(hMain, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(hMain, IDCANCEL)));
    else
        ::PostMessageW(hMain, WM_CLOSE, 0, 0);
    const bool ended = ::WaitForSingleObject(hProcess, 60000) == WAIT_OBJECT_0;
    const double closeMs = NowMs() - t0;
    const bool linuxGone =
        options.unixPid == 0 || WaitFor([&] { return LinuxGone(options.unixPid); }, 30000, 5);
    const double linuxMs = NowMs() - t0;
    DWORD exitCode = 0;
    ::GetExitCodeProcess(hProcess, &exitCode);
    std::printf("close how=%s hidden=%d hide_ms=%.0f count_at_close=%d pass_running=%d ended=%d "
                "close_ms=%.0f linux_gone=%d "
                "linux_close_ms=%.0f exit_code=%lu\n",
                options.exitButton ? "exit-button" : "wm-close", hidden, hideMs, countAtClose,
                passRunning ? 1 : 0, ended ? 1 : 0, closeMs, linuxGone ? 1 : 0, linuxMs, exitCode);
    std::fflush(stdout);
    ::CloseHandle(hProcess);
    if (!ended)
        Error("process-did-not-end");
    return g_errors ? 1 : 0;
}
