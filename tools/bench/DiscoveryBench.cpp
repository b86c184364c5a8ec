// lv_discovery_bench: the tool's main window in process, in the lab, against the camera
// simulator. For each fleet size it times one rescan that the whole fleet answers at once, then
// it measures what the tool costs while idle with the list full. It prints figures; it checks
// nothing.
//
//   lv_discovery_bench [--idle SECONDS] [--quiet MS] [N ...]     (defaults: 30, 3000, 100 1000)
//
// Times are taken on the window thread at the first moment it sees the row count change, so they
// include the cost of writing the rows, which is what the user waits for.
#include "app/MainDlg.h"
#include "app/resource.h"
#include "platform/CWnd.h"
#include "protocol/WireMessage.h"
#include "tests/support/CamSimClient.h"
#include "tests/support/LabGuard.h"

#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Options {
    std::vector<int> fleets;
    int idleSeconds = 30;
    DWORD quietMs = 3000;
};

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Seconds since 1970, comparable with the simulator's log times (same machine clock).
double UnixNow()
{
    FILETIME ft;
    ::GetSystemTimePreciseAsFileTime(&ft);
    ULARGE_INTEGER value;
    value.LowPart = ft.dwLowDateTime;
    value.HighPart = ft.dwHighDateTime;
    return static_cast<double>(value.QuadPart - 116444736000000000ULL) / 1e7;
}

double Seconds(const FILETIME& ft)
{
    ULARGE_INTEGER value;
    value.LowPart = ft.dwLowDateTime;
    value.HighPart = ft.dwHighDateTime;
    return static_cast<double>(value.QuadPart) / 1e7;
}

double ProcessCpuSeconds()
{
    FILETIME created, exited, kernel, user;
    if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user))
        return 0;
    return Seconds(kernel) + Seconds(user);
}

double ThreadCpuSeconds(HANDLE hThread)
{
    FILETIME created, exited, kernel, user;
    if (!::GetThreadTimes(hThread, &created, &exited, &kernel, &user))
        return 0;
    return Seconds(kernel) + Seconds(user);
}

// CPU seconds of this thread and of all the process's other threads.
struct CpuSplit {
    double window = 0;
    double others = 0;
};

CpuSplit SampleThreads()
{
    CpuSplit split;
    const DWORD self = ::GetCurrentThreadId();
    const DWORD pid = ::GetCurrentProcessId();
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return split;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != pid)
            continue;
        HANDLE hThread = ::OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ThreadID);
        if (!hThread)
            continue;
        (entry.th32ThreadID == self ? split.window : split.others) += ThreadCpuSeconds(hThread);
        ::CloseHandle(hThread);
    }
    ::CloseHandle(snapshot);
    return split;
}

// Datagrams the system dropped at the reply port's sockets, from the Linux side's table (Wine
// maps the Linux root to Z:). -1 where it cannot be read, as on Windows.
long long ReplyPortDrops()
{
    std::ifstream table("Z:\\proc\\net\\udp");
    if (!table)
        return -1;
    char port[8];
    std::snprintf(port, sizeof port, ":%04X", REPLY_PORT);
    long long drops = 0;
    bool found = false;
    std::string line;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local;
        fields >> slot >> local;
        if (local.size() < 5 || local.compare(local.size() - 5, 5, port) != 0)
            continue;
        std::string field, last;
        while (fields >> field)
            last = field;
        drops += std::atoll(last.c_str());
        found = true;
    }
    return found ? drops : -1;
}

// Handles what is queued, as the tool's own loop does; returns the number of posted messages.
int Pump()
{
    int handled = 0;
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ++handled;
        if (CWnd::WalkPreTranslateTree(&msg))
            continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return handled;
}

int RowCount(HWND hList) { return static_cast<int>(::SendMessageW(hList, LVM_GETITEMCOUNT, 0, 0)); }

std::wstring TextOf(HWND hWnd)
{
    wchar_t text[64] = {};
    ::GetWindowTextW(hWnd, text, 64);
    return text;
}

// Pumps until the row count has not changed for quietMs (or maxMs passed in all).
struct RowTimeline {
    double firstRow = -1; // seconds after the start, -1 when no row came
    double lastRow = -1;
    int changes = 0;
};

RowTimeline WatchRows(HWND hList, double start, DWORD quietMs, DWORD maxMs)
{
    RowTimeline timeline;
    int last = RowCount(hList);
    double lastChange = start;
    for (;;) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
        Pump();
        const double now = Now();
        const int count = RowCount(hList);
        if (count != last) {
            last = count;
            lastChange = now;
            ++timeline.changes;
            if (timeline.firstRow < 0 && count > 0)
                timeline.firstRow = now - start;
            timeline.lastRow = now - start;
        }
        if ((now - lastChange) * 1000 >= quietMs || (now - start) * 1000 >= maxMs)
            return timeline;
    }
}

void PumpFor(DWORD nMs)
{
    const double end = Now() + nMs / 1000.0;
    while (Now() < end) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        Pump();
    }
}

long long ReplyNumber(const std::string& reply)
{
    return reply.rfind("ok ", 0) == 0 ? std::atoll(reply.c_str() + 3) : -1;
}

// What the simulator saw of one round: when the tool's requests came and what it acknowledged.
struct SimRound {
    double requestAt = 0; // unix seconds of the first request, 0 if none
    double lastAckAt = 0;
    int requests = 0;
    int acks = 0;
    size_t ackedCameras = 0;
};

SimRound ReadSimLog(CCamSimClient& sim)
{
    SimRound round;
    std::set<std::string> acked;
    for (const CamSimLogEntry& entry : sim.Log()) {
        if (entry.type == MSG_GET) {
            if (round.requests++ == 0)
                round.requestAt = entry.time;
        } else if (entry.type == MSG_ACK) {
            ++round.acks;
            round.lastAckAt = std::max(round.lastAckAt, entry.time);
            acked.insert(entry.idSerial);
        }
    }
    round.ackedCameras = acked.size();
    return round;
}

class CBench {
  public:
    explicit CBench(const Options& options) : m_options(options) {}

    int Run()
    {
        if (!m_sim.Connect()) {
            std::printf("bench: no simulator at 198.18.1.2:8700\n");
            return 1;
        }
        // Start-up rescans at once; with no camera it lists nothing.
        m_sim.Command("fleet 0");
        m_pDlg = new CMainDlg();
        if (!m_pDlg->CreateModeless(nullptr)) {
            std::printf("bench: the main window was not created\n");
            return 1;
        }
        m_pDlg->ShowWindow(SW_SHOW);
        PumpFor(1000);
        std::printf("tool reply socket: SO_RCVBUF %d bytes as reported to the tool\n",
                    m_pDlg->GetEngine().GetReplyBufferBytes());
        std::fflush(stdout);

        for (int fleet : m_options.fleets)
            RunRound(fleet);
        MeasureIdle();

        m_pDlg->DestroyWindow();
        delete m_pDlg;
        m_pDlg = nullptr;
        m_sim.Command("burst off");
        return 0;
    }

  private:
    HWND Dlg() const { return m_pDlg->GetSafeHwnd(); }
    HWND List() const { return ::GetDlgItem(Dlg(), IDC_MAIN_LIST); }

    void Rescan() const
    {
        m_pDlg->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_MAIN_RESCAN, BN_CLICKED),
                            reinterpret_cast<LPARAM>(::GetDlgItem(Dlg(), IDC_MAIN_RESCAN)));
    }

    // An empty list first, so that every row counted afterwards belongs to the measured burst.
    void EmptyList()
    {
        m_sim.Command("fleet 0");
        Rescan();
        const double start = Now();
        while (RowCount(List()) != 0 && Now() - start < 30) {
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
            Pump();
        }
        PumpFor(500);
    }

    void RunRound(int fleet)
    {
        EmptyList();
        const long long inFleet = ReplyNumber(m_sim.Command("fleet " + std::to_string(fleet)));
        m_sim.Command("burst on");
        m_sim.ClearLog();
        // The line lets a watching script sample the lab's processes around the round.
        std::printf("round %d: begin\n", fleet);
        std::fflush(stdout);
        PumpFor(300);
        const long long dropsBefore = ReplyPortDrops();
        const CpuSplit cpuBefore = SampleThreads();

        const double startUnix = UnixNow();
        const double start = Now();
        Rescan();
        const RowTimeline rows = WatchRows(List(), start, m_options.quietMs, 120000);
        std::printf("round %d: end\n", fleet);

        const CpuSplit cpuAfter = SampleThreads();
        const long long dropsAfter = ReplyPortDrops();
        const int listed = RowCount(List());
        const std::wstring label = TextOf(::GetDlgItem(Dlg(), IDC_MAIN_COUNT));
        const long long sent = ReplyNumber(m_sim.Command("sent"));
        const SimRound sim = ReadSimLog(m_sim);

        std::printf("tool N=%d: listed %d/%lld, last row %.3f s after rescan", fleet, listed, inFleet,
                    rows.lastRow);
        if (sim.requests > 0)
            std::printf(" (%.3f s after the request reached the cameras)",
                        rows.lastRow - (sim.requestAt - startUnix));
        std::printf("\n");
        std::printf("tool N=%d: first row %.3f s, %d count changes seen, count label \"%ls\"\n", fleet,
                    rows.firstRow, rows.changes, label.c_str());
        std::printf("tool N=%d: simulator sent %lld replies; requests seen %d; acknowledgements %d for %zu cameras",
                    fleet, sent, sim.requests, sim.acks, sim.ackedCameras);
        if (sim.acks > 0)
            std::printf(", last %.3f s after rescan", sim.lastAckAt - startUnix);
        std::printf("\n");
        if (dropsBefore >= 0 && dropsAfter >= 0)
            std::printf("tool N=%d: datagrams dropped at port %d sockets: %lld\n", fleet, REPLY_PORT,
                        dropsAfter - dropsBefore);
        std::printf("tool N=%d: CPU during the round: window thread %.3f s, other threads %.3f s\n", fleet,
                    cpuAfter.window - cpuBefore.window, cpuAfter.others - cpuBefore.others);
        std::printf("tool-result N=%d listed=%d last_row_s=%.3f sent=%lld\n", fleet, listed, rows.lastRow, sent);
        std::fflush(stdout);
    }

    // CPU of the whole process over an idle period with the list as the last round left it,
    // pumping messages as the tool's own loop does.
    void MeasureIdle()
    {
        const int rows = RowCount(List());
        PumpFor(1000);
        std::printf("idle: begin (%d rows listed)\n", rows);
        std::fflush(stdout);
        const double cpuBefore = ProcessCpuSeconds();
        const CpuSplit splitBefore = SampleThreads();
        const double start = Now();
        const UINT_PTR timer = ::SetTimer(nullptr, 0, static_cast<UINT>(m_options.idleSeconds) * 1000, nullptr);
        int messages = 0;
        MSG msg;
        while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
            ++messages;
            if (msg.hwnd == nullptr && msg.message == WM_TIMER && msg.wParam == timer)
                break;
            if (CWnd::WalkPreTranslateTree(&msg))
                continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::KillTimer(nullptr, timer);
        const double wall = Now() - start;
        const double cpu = ProcessCpuSeconds() - cpuBefore;
        const CpuSplit splitAfter = SampleThreads();
        std::printf("idle: end\n");
        std::printf("tool idle: %.3f s CPU over %.1f s = %.2f%% of one core (window thread %.3f s, others %.3f s), "
                    "%d posted messages\n",
                    cpu, wall, 100.0 * cpu / wall, splitAfter.window - splitBefore.window,
                    splitAfter.others - splitBefore.others, messages);
        std::printf("tool-idle cpu_percent=%.2f\n", 100.0 * cpu / wall);
        std::fflush(stdout);
    }

    Options m_options;
    CCamSimClient m_sim;
    CMainDlg* m_pDlg = nullptr;
};

bool ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--idle" && i + 1 < argc)
            options.idleSeconds = std::atoi(argv[++i]);
        else if (arg == "--quiet" && i + 1 < argc)
            options.quietMs = static_cast<DWORD>(std::atoi(argv[++i]));
        else if (std::atoi(arg.c_str()) > 0)
            options.fleets.push_back(std::atoi(arg.c_str()));
        else
            return false;
    }
    if (options.fleets.empty())
        options.fleets = {100, 1000};
    return options.idleSeconds > 0 && options.quietMs > 0;
}

} // namespace

int main(int argc, char** argv)
{
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: lv_discovery_bench [--idle SECONDS] [--quiet MS] [N ...]\n");
        return 2;
    }
    // The tool sends broadcasts: only inside the lab.
    RequireLabNetwork();
    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return 1;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    const int result = CBench(options).Run();
    ::WSACleanup();
    return result;
}
