// lv_discovery_bench: the tool's main window in process, in the lab, against the camera
// simulator. For each fleet size it times one rescan that the whole fleet answers at once, while
// another thread times how long the main window takes to answer a message; then it measures what
// the tool costs while idle with the list full. It prints figures; it checks nothing.
//
//   lv_discovery_bench [--idle SECONDS] [--quiet MS] [--limit SECONDS] [--no-profile]
//                      [N ...] [--single N ...]
//   (defaults: 30 s idle, 3000 ms quiet, 60 s limit, 100 300 1000 5000, --single 1000)
//
// Fleets before --single answer as cameras reachable through both of the tool's interfaces do:
// each camera answers the request of each interface, so a rescan brings 2N replies. Fleets after
// it answer once per camera. A round ends when the row count has not changed for the quiet time,
// or at the limit with what it got.
//
// The tool is read only through its windows: the list's row count (LVM_GETITEMCOUNT), the count
// label's text, and commands sent as window messages. Times are taken on the window thread at
// the first moment it sees the row count change, so they include the cost of writing the rows,
// which is what the user waits for. Unless --no-profile, it then repeats one round with the
// window thread's messages timed, and measures apart what one reply costs: a worker's
// synchronous message, an acknowledgement, and writing a row.
#include "app/MainDlg.h"
#include "app/resource.h"
#include "net/SocketHelpers.h"
#include "platform/CWnd.h"
#include "protocol/WireMessage.h"
#include "tests/support/CamSimClient.h"
#include "tests/support/LabGuard.h"
#include "tools/bench/AnswerProbe.h"
#include "tools/bench/CopyBench.h"

#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

struct Options {
    std::vector<int> fleets;       // every camera answers the request of each of the tool's two interfaces
    std::vector<int> singleFleets; // every camera answers once (only the request on its own link)
    int idleSeconds = 30;
    DWORD quietMs = 3000;
    DWORD roundLimitMs = 60000; // a round that is still changing then ends anyway, with what it got
    bool profile = true;        // one more round with the window thread profiled
    int onvif = 0;              // other makers' devices answering each Probe beside the cameras
};

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

// Where the window thread's time goes. Messages sent to the thread (a worker's synchronous calls,
// and the messages those send on to the list and the labels) are timed through the thread's
// call-window hooks; posted messages around their dispatch. Times are inclusive; a nested
// message is counted under its own name as well, marked as nested.
class CWindowThreadProfile {
  public:
    void Start()
    {
        s_pActive = this;
        m_hBefore = ::SetWindowsHookExW(WH_CALLWNDPROC, Before, nullptr, ::GetCurrentThreadId());
        m_hAfter = ::SetWindowsHookExW(WH_CALLWNDPROCRET, After, nullptr, ::GetCurrentThreadId());
    }

    void Stop()
    {
        if (m_hBefore)
            ::UnhookWindowsHookEx(m_hBefore);
        if (m_hAfter)
            ::UnhookWindowsHookEx(m_hAfter);
        m_hBefore = m_hAfter = nullptr;
        s_pActive = nullptr;
    }

    // Remembers the figures as they are now; Print shows the remembered ones.
    void Mark() { m_marked = m_stats; }

    void BeginDispatch(const MSG& msg) { m_stack.push_back({DispatchedName(msg), Now()}); }
    void EndDispatch() { Pop(); }

    void Print(const char* prefix, double wall) const
    {
        std::vector<std::pair<std::string, Stat>> rows(m_marked.begin(), m_marked.end());
        std::sort(rows.begin(), rows.end(),
                  [](auto& a, auto& b) { return a.second.seconds > b.second.seconds; });
        for (const auto& [name, stat] : rows) {
            if (stat.seconds < 0.001 * wall && stat.count < 100)
                continue;
            std::printf("%s%-52s %7ld x %8.1f us = %7.3f s (%5.1f%% of %.2f s)\n", prefix, name.c_str(),
                        stat.count, 1e6 * stat.seconds / static_cast<double>(stat.count), stat.seconds,
                        100 * stat.seconds / wall, wall);
        }
    }

  private:
    struct Frame {
        std::string name;
        double start;
    };
    struct Stat {
        long count = 0;
        double seconds = 0;
    };

    static std::string Name(UINT message)
    {
        static const UINT call = ::RegisterWindowMessageW(L"CMyDialog.CallOnWindowThread");
        if (message == call)
            return "CallOnWindowThread (from a worker)";
        static const std::pair<UINT, const char*> known[] = {
            {LVM_INSERTITEMW, "LVM_INSERTITEMW"},
            {LVM_SETITEMTEXTW, "LVM_SETITEMTEXTW"},
            {LVM_SETITEMW, "LVM_SETITEMW"},
            {LVM_GETITEMW, "LVM_GETITEMW"},
            {LVM_GETITEMTEXTW, "LVM_GETITEMTEXTW"},
            {LVM_GETITEMCOUNT, "LVM_GETITEMCOUNT"},
            {LVM_DELETEALLITEMS, "LVM_DELETEALLITEMS"},
            {LVM_GETITEMRECT, "LVM_GETITEMRECT"},
            {HDM_GETITEMCOUNT, "HDM_GETITEMCOUNT"},
            {HDM_GETITEMRECT, "HDM_GETITEMRECT"},
            {HDM_ORDERTOINDEX, "HDM_ORDERTOINDEX"},
            {WM_SETTEXT, "WM_SETTEXT"},
            {WM_PAINT, "WM_PAINT"},
            {WM_GETTEXT, "WM_GETTEXT"},
            {WM_GETTEXTLENGTH, "WM_GETTEXTLENGTH"},
            {WM_SETREDRAW, "WM_SETREDRAW"},
            {WM_DRAWITEM, "WM_DRAWITEM"},
            {WM_NOTIFY, "WM_NOTIFY"},
            {WM_ERASEBKGND, "WM_ERASEBKGND"},
            {WM_NCPAINT, "WM_NCPAINT"},
            {WM_CTLCOLORSTATIC, "WM_CTLCOLORSTATIC"},
            {WM_WINDOWPOSCHANGING, "WM_WINDOWPOSCHANGING"},
            {WM_WINDOWPOSCHANGED, "WM_WINDOWPOSCHANGED"},
        };
        for (const auto& [id, name] : known)
            if (id == message)
                return name;
        char text[32];
        std::snprintf(text, sizeof text, "message 0x%04X", message);
        return text;
    }

  public:
    static std::string DispatchedName(const MSG& msg)
    {
        wchar_t cls[64] = {};
        if (msg.hwnd)
            ::GetClassNameW(msg.hwnd, cls, 64);
        char text[128];
        if (msg.message == WM_TIMER)
            std::snprintf(text, sizeof text, "posted WM_TIMER %llu to %ls",
                          static_cast<unsigned long long>(msg.wParam), cls);
        else if (msg.message == WM_PAINT)
            std::snprintf(text, sizeof text, "posted WM_PAINT to %ls", cls);
        else
            std::snprintf(text, sizeof text, "posted %s to %ls", Name(msg.message).c_str(), cls);
        return text;
    }

  private:
    void Pop()
    {
        if (m_stack.empty())
            return;
        const Frame frame = m_stack.back();
        m_stack.pop_back();
        // Top-level entries share the window thread's time; nested ones show what they spent it on.
        Stat& stat = m_stats[m_stack.empty() ? frame.name : "  nested " + frame.name];
        ++stat.count;
        stat.seconds += Now() - frame.start;
    }

    static LRESULT CALLBACK Before(int code, WPARAM wParam, LPARAM lParam)
    {
        if (code == HC_ACTION && s_pActive) {
            const auto* cwp = reinterpret_cast<const CWPSTRUCT*>(lParam);
            std::string name = Name(cwp->message);
            if (s_pActive->m_stack.empty())
                name =
                    ((::InSendMessageEx(nullptr) & ISMEX_SEND) ? "sent by another thread " : "sent ") + name;
            if (cwp->message == WM_PAINT || cwp->message == WM_ERASEBKGND || cwp->message == WM_SETTEXT) {
                // Which window repaints (or is written) inside a worker's call matters.
                wchar_t cls[64] = {};
                ::GetClassNameW(cwp->hwnd, cls, 64);
                char suffix[80];
                std::snprintf(suffix, sizeof suffix, " to %ls", cls);
                name += suffix;
            }
            s_pActive->m_stack.push_back({name, Now()});
        }
        return ::CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static LRESULT CALLBACK After(int code, WPARAM wParam, LPARAM lParam)
    {
        if (code == HC_ACTION && s_pActive)
            s_pActive->Pop();
        return ::CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static inline CWindowThreadProfile* s_pActive = nullptr;
    HHOOK m_hBefore = nullptr;
    HHOOK m_hAfter = nullptr;
    std::vector<Frame> m_stack;
    std::map<std::string, Stat> m_stats;
    std::map<std::string, Stat> m_marked;
};

CWindowThreadProfile* g_pProfile = nullptr; // times Pump's dispatches while set

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
        if (g_pProfile)
            g_pProfile->BeginDispatch(msg);
        ::DispatchMessageW(&msg);
        if (g_pProfile)
            g_pProfile->EndDispatch();
    }
    return handled;
}

int RowCount(HWND hList)
{
    return static_cast<int>(::SendMessageW(hList, LVM_GETITEMCOUNT, 0, 0));
}

std::wstring TextOf(HWND hWnd)
{
    wchar_t text[64] = {};
    ::GetWindowTextW(hWnd, text, 64);
    return text;
}

// Pumps until the row count has not changed for quietMs (or maxMs passed in all).
struct RowTimeline {
    double firstRow = -1; // seconds after the start, -1 when no row came
    double lastRow = -1;  // the last change of the row count
    double allRows = -1;  // the row count reached the fleet's size, -1 when it never did
    bool timedOut = false;
    int changes = 0;
};

RowTimeline WatchRows(HWND hList, double start, int target, DWORD quietMs, DWORD maxMs)
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
            if (g_pProfile)
                g_pProfile->Mark();
            if (timeline.firstRow < 0 && count > 0)
                timeline.firstRow = now - start;
            if (timeline.allRows < 0 && count >= target)
                timeline.allRows = now - start;
            timeline.lastRow = now - start;
        }
        if ((now - lastChange) * 1000 >= quietMs)
            return timeline;
        if ((now - start) * 1000 >= maxMs) {
            timeline.timedOut = true;
            return timeline;
        }
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

// The simulator's "log stats" reply as key=value pairs (requests, acknowledgements, cameras
// acknowledged, replies sent, times in seconds since 1970); empty when it did not answer.
std::map<std::string, double> SimStats(CCamSimClient& sim)
{
    std::map<std::string, double> stats;
    const std::string reply = sim.Command("log stats");
    if (reply.rfind("ok ", 0) != 0)
        return stats;
    std::istringstream words(reply.substr(3));
    std::string word;
    while (words >> word) {
        const size_t eq = word.find('=');
        if (eq != std::string::npos)
            stats[word.substr(0, eq)] = std::atof(word.c_str() + eq + 1);
    }
    return stats;
}

// Names the calling thread; Wine passes the name on to Linux (/proc/PID/task/TID/comm), which
// is how a watching script finds the window thread among the process's threads.
void NameThisThread(const wchar_t* name)
{
    using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    if (HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll"))
        if (auto set = reinterpret_cast<SetDescription>(
                reinterpret_cast<void*>(::GetProcAddress(kernel, "SetThreadDescription"))))
            set(::GetCurrentThread(), name);
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
        m_pDlg = new CBenchMainDlg();
        if (!m_pDlg->CreateModeless(nullptr)) {
            std::printf("bench: the main window was not created\n");
            return 1;
        }
        m_pDlg->ShowWindow(SW_SHOW);
        PumpFor(1000);
        NameThisThread(L"lv-window");
        std::printf("tool-ids window_thread=lv-window\n");
        std::fflush(stdout);

        for (int fleet : m_options.fleets)
            RunRound(fleet, true);
        for (int fleet : m_options.singleFleets)
            RunRound(fleet, false);
        MeasureCopies(*m_pDlg, Pump);
        MeasureIdle(false);
        MeasureIdle(true);
        if (m_options.profile && !m_options.fleets.empty()) {
            // The largest two-interface fleet up to 1000: enough to show where the time goes
            // without repeating the longest round.
            int fleet = m_options.fleets.front();
            for (int one : m_options.fleets)
                if (one <= 1000 ? (fleet > 1000 || one > fleet) : one < fleet)
                    fleet = one;
            RunRound(fleet, true, true);
            ProbeWorkerCosts();
            ProbeKeptSockets();
            ProbeRowWrites();
        }

        m_pDlg->DestroyWindow();
        delete m_pDlg;
        m_pDlg = nullptr;
        m_sim.Command("burst off");
        m_sim.Command("answer link");
        return 0;
    }

  private:
    HWND Dlg() const { return m_pDlg->GetSafeHwnd(); }
    HWND List() const { return ::GetDlgItem(Dlg(), IDC_MAIN_LIST); }

    void Rescan() const
    {
        ::SendMessageW(Dlg(), WM_COMMAND, MAKEWPARAM(IDC_MAIN_RESCAN, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(Dlg(), IDC_MAIN_RESCAN)));
    }

    // An empty list first, so that every row counted afterwards belongs to the measured burst.
    void EmptyList()
    {
        m_sim.Command("fleet 0");
        Rescan();
        const double start = Now();
        // Other makers' devices answer every rescan: they stay listed.
        while (RowCount(List()) != m_options.onvif && Now() - start < 30) {
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
            Pump();
        }
        PumpFor(500);
    }

    // bEach: every camera answers the request of each of the tool's two interfaces (2N replies);
    // otherwise each answers once (N replies).
    void RunRound(int fleet, bool bEach, bool bProfile = false)
    {
        const char* mode = bEach ? "two" : "one";
        EmptyList();
        const long long inFleet =
            ReplyNumber(m_sim.Command("fleet " + std::to_string(fleet))) + m_options.onvif;
        m_sim.Command(bEach ? "answer each" : "answer link");
        m_sim.Command("burst on");
        m_sim.ClearLog();
        // The line lets a watching script sample the lab's processes around the round.
        std::printf("round %d %s: begin\n", fleet, mode);
        std::fflush(stdout);
        PumpFor(300);
        const long long dropsBefore = ReplyPortDrops();
        const CpuSplit cpuBefore = SampleThreads();

        CWindowThreadProfile profile;
        CAnswerProbe probe;
        if (bProfile) {
            profile.Start();
            g_pProfile = &profile;
        } else {
            probe.Start(Dlg());
        }
        const double startUnix = UnixNow();
        const double start = Now();
        Rescan();
        const RowTimeline rows =
            WatchRows(List(), start, fleet + m_options.onvif, m_options.quietMs, m_options.roundLimitMs);
        g_pProfile = nullptr;
        profile.Stop();
        probe.Stop(Pump);
        std::printf("round %d %s: end\n", fleet, mode);
        if (bProfile) {
            std::printf(
                "profile N=%d (%s): listed %d, last row %.3f s after rescan; the window thread's time "
                "until then:\n",
                fleet, mode, RowCount(List()), rows.lastRow);
            profile.Print("  ", rows.lastRow);
            std::fflush(stdout);
            return;
        }

        const CpuSplit cpuAfter = SampleThreads();
        const long long dropsAfter = ReplyPortDrops();
        const int listed = RowCount(List());
        const std::wstring label = TextOf(::GetDlgItem(Dlg(), IDC_MAIN_COUNT));
        auto sim = SimStats(m_sim);
        // The burst lasts until the tool's last acknowledgement or its last new row.
        const double lastAck = sim["last_ack"] > 0 ? sim["last_ack"] - startUnix : -1;
        const double busy = std::max(rows.lastRow, lastAck);
        const CAnswerProbe::Figures answers = probe.Until(start + std::max(busy, 0.0));

        std::printf("tool N=%d %s: listed %d/%lld", fleet, mode, listed, inFleet);
        if (rows.allRows >= 0)
            std::printf(", every row after %.3f s", rows.allRows);
        else
            std::printf(", NOT every row (%lld missing)", inFleet - listed);
        std::printf("; last row %.3f s after rescan", rows.lastRow);
        if (sim["first_get"] > 0)
            std::printf(" (%.3f s after the first request reached the cameras)",
                        rows.lastRow - (sim["first_get"] - startUnix));
        if (rows.timedOut)
            std::printf("; still changing when the round's limit (%lu s) ended it",
                        m_options.roundLimitMs / 1000);
        std::printf("\n");
        std::printf("tool N=%d %s: first row %.3f s, %d count changes seen, count label \"%ls\"\n", fleet,
                    mode, rows.firstRow, rows.changes, label.c_str());
        std::printf(
            "tool N=%d %s: simulator got %.0f requests, sent %.0f replies; acknowledgements %.0f for %.0f "
            "cameras",
            fleet, mode, sim["get"], sim["sent"], sim["ack"], sim["acked_ids"]);
        if (lastAck >= 0)
            std::printf(", last %.3f s after rescan", lastAck);
        std::printf("\n");
        if (dropsBefore >= 0 && dropsAfter >= 0)
            std::printf("tool N=%d %s: datagrams dropped at port %d sockets: %lld\n", fleet, mode, REPLY_PORT,
                        dropsAfter - dropsBefore);
        std::printf("tool N=%d %s: CPU during the round: window thread %.3f s, other threads %.3f s\n", fleet,
                    mode, cpuAfter.window - cpuBefore.window, cpuAfter.others - cpuBefore.others);
        std::printf("tool N=%d %s: main window answered %zu messages while the burst was listed (%.3f s): "
                    "longest %.1f ms, median %.2f ms, 99th percentile %.1f ms, %zu not within 10 s\n",
                    fleet, mode, answers.count, busy, 1e3 * answers.longest, 1e3 * answers.median,
                    1e3 * answers.p99, answers.unanswered);
        std::printf(
            "tool-result mode=%s N=%d onvif=%d listed=%d all_rows_s=%.3f last_row_s=%.3f busy_s=%.3f "
            "timed_out=%d sent=%.0f acked=%.0f answer_max_ms=%.1f answer_median_ms=%.2f answers=%zu\n",
            mode, fleet, m_options.onvif, listed, rows.allRows, rows.lastRow, busy, rows.timedOut ? 1 : 0,
            sim["sent"], sim["acked_ids"], 1e3 * answers.longest, 1e3 * answers.median, answers.count);
        std::fflush(stdout);
    }

    // What a receive worker pays per reply outside the window thread, measured apart: one
    // synchronous message to the window thread, one acknowledgement as the engine sends it, and
    // the resolver call inside it.
    void ProbeWorkerCosts()
    {
        constexpr int CALLS = 1000, SENDS = 200;
        const HWND hDlg = Dlg();
        double roundTrip = 0, broadcast = 0, resolve = 0;
        std::thread worker([&] {
            double t = Now();
            for (int i = 0; i < CALLS; ++i)
                ::SendMessageW(hDlg, WM_NULL, 0, 0);
            roundTrip = (Now() - t) / CALLS;

            WireMessage ack{};
            ack.type = MSG_ACK;
            std::memcpy(ack.idSerial, "fbench000000", ID_SERIAL_LENGTH);
            t = Now();
            for (int i = 0; i < SENDS; ++i)
                GenSockBroadcastSend(CAMERA_PORT, &ack, static_cast<int>(MESSAGE_SIZE), 0, nullptr);
            broadcast = (Now() - t) / SENDS;

            char host[128] = {};
            ::gethostname(host, sizeof host);
            t = Now();
            for (int i = 0; i < SENDS; ++i)
                ::gethostbyname(host);
            resolve = (Now() - t) / SENDS;
        });
        // The window thread answers as the tool's loop would, meanwhile.
        while (::MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT) != WAIT_FAILED) {
            Pump();
            if (roundTrip > 0 && broadcast > 0 && resolve > 0)
                break;
        }
        worker.join();
        std::printf("probe: a worker's synchronous no-op message to the window thread: %.1f us\n",
                    1e6 * roundTrip);
        std::printf("probe: one acknowledgement by GenSockBroadcastSend (2 lab links): %.1f us, of which the "
                    "host-name look-up %.1f us\n",
                    1e6 * broadcast, 1e6 * resolve);
        std::fflush(stdout);
    }

    // Row writing on the window thread without the workers, through the list view's own
    // messages, redrawing off as during a burst: empty rows only, rows with their seven texts,
    // and those with the count label written after each row. The probe's rows carry no record;
    // the list is emptied afterwards. A list that keeps its rows itself (LVS_OWNERDATA) takes no
    // inserted rows, so the probe is skipped there.
    void ProbeRowWrites()
    {
        constexpr int ROWS = 1000;
        const HWND hList = List();
        if (::GetWindowLongPtrW(hList, GWL_STYLE) & LVS_OWNERDATA) {
            std::printf("probe: row writes skipped: the list keeps its rows itself (LVS_OWNERDATA)\n");
            return;
        }
        const wchar_t* const texts[] = {L"198.18.16.2", L"198.18.16.1",       L"Cam-0000", L"a00000000000",
                                        L"LAN",         L"00:1A:2B:00:00:00", L"V1.0.0"};
        enum { EMPTY_ROWS, ROW_TEXTS, ROW_TEXTS_AND_LABEL, VARIANTS };
        double seconds[VARIANTS] = {};
        for (int variant = 0; variant < VARIANTS; ++variant) {
            ::SendMessageW(hList, LVM_DELETEALLITEMS, 0, 0);
            ::SetDlgItemInt(Dlg(), IDC_MAIN_COUNT, 0, FALSE);
            Pump();
            ::SendMessageW(hList, WM_SETREDRAW, FALSE, 0);
            const double start = Now();
            for (int row = 0; row < ROWS; ++row) {
                LVITEMW item{};
                item.mask = LVIF_TEXT | LVIF_IMAGE;
                item.iItem = row;
                item.pszText = const_cast<LPWSTR>(L"");
                item.iImage = CMainDlg::CAMERA_IMAGE;
                ::SendMessageW(hList, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
                if (variant != EMPTY_ROWS)
                    for (int column = 0; column < 7; ++column) {
                        LVITEMW cell{};
                        cell.iSubItem = column;
                        cell.pszText = const_cast<LPWSTR>(texts[column]);
                        ::SendMessageW(hList, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&cell));
                    }
                if (variant == ROW_TEXTS_AND_LABEL)
                    ::SetDlgItemInt(Dlg(), IDC_MAIN_COUNT, row + 1, FALSE);
            }
            seconds[variant] = Now() - start;
            ::SendMessageW(hList, WM_SETREDRAW, TRUE, 0);
            ::RedrawWindow(hList, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
            PumpFor(200);
        }
        ::SendMessageW(hList, LVM_DELETEALLITEMS, 0, 0);
        ::SetDlgItemInt(Dlg(), IDC_MAIN_COUNT, 0, FALSE);
        std::printf("probe: %d rows written on the window thread, redrawing off: empty rows %.1f us a row; "
                    "with their 7 texts %.1f us; and the count label after each row %.1f us\n",
                    ROWS, 1e6 * seconds[EMPTY_ROWS] / ROWS, 1e6 * seconds[ROW_TEXTS] / ROWS,
                    1e6 * seconds[ROW_TEXTS_AND_LABEL] / ROWS);
        std::fflush(stdout);
    }

    // An acknowledgement sent over sockets kept open and bound to each local address (looked up
    // once), as against GenSockBroadcastSend's look-up and socket per datagram. The kept sockets
    // hold the source port only while the probe runs.
    void ProbeKeptSockets()
    {
        constexpr int SENDS = 200;
        char host[128] = {};
        ::gethostname(host, sizeof host);
        hostent* entry = ::gethostbyname(host);
        std::vector<SOCKET> sockets;
        for (int i = 0; entry && entry->h_addr_list[i]; ++i) {
            sockaddr_in source{};
            source.sin_family = AF_INET;
            source.sin_port = htons(SOURCE_PORT);
            std::memcpy(&source.sin_addr, entry->h_addr_list[i], 4);
            if (reinterpret_cast<const unsigned char*>(&source.sin_addr)[3] == 1)
                continue;
            SOCKET one = ::socket(AF_INET, SOCK_DGRAM, 0);
            BOOL on = TRUE;
            ::setsockopt(one, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on);
            ::setsockopt(one, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on);
            if (::bind(one, reinterpret_cast<const sockaddr*>(&source), sizeof source) == 0)
                sockets.push_back(one);
            else
                ::closesocket(one);
        }
        WireMessage ack{};
        ack.type = MSG_ACK;
        std::memcpy(ack.idSerial, "fbench000000", ID_SERIAL_LENGTH);
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_port = htons(CAMERA_PORT);
        target.sin_addr.s_addr = INADDR_BROADCAST;
        const double start = Now();
        for (int i = 0; i < SENDS; ++i)
            for (SOCKET one : sockets)
                ::sendto(one, reinterpret_cast<const char*>(&ack), static_cast<int>(MESSAGE_SIZE), 0,
                         reinterpret_cast<const sockaddr*>(&target), sizeof target);
        const double each = (Now() - start) / SENDS;
        for (SOCKET one : sockets)
            ::closesocket(one);
        std::printf("probe: one acknowledgement over %zu kept sockets: %.1f us\n", sockets.size(),
                    1e6 * each);
        std::fflush(stdout);
    }

    // The whole process over an idle period with the list as the last round left it, pumping
    // messages as the tool's own loop does: CPU and the posted messages the window thread
    // retrieves. (The watching script counts the window thread's context switches on the Linux
    // side, which also counts wake-ups that bring no message.)
    // bOver: the pointer lies still over the list's middle (moved there, then left to rest), as a
    // user's hand off the mouse leaves it; otherwise it is off the window.
    void MeasureIdle(bool bOver)
    {
        const int rows = RowCount(List());
        const char* phase = bOver ? "idle-over" : "idle";
        if (bOver) {
            RECT rc{};
            ::GetWindowRect(List(), &rc);
            // Moved in steps, as a hand moves it, so that the window sees the pointer arrive.
            for (int step = 0; step <= 10; ++step) {
                ::SetCursorPos(rc.left + (rc.right - rc.left) * step / 20, (rc.top + rc.bottom) / 2);
                PumpFor(20);
            }
            PumpFor(2000);
        } else {
            ::SetCursorPos(::GetSystemMetrics(SM_CXSCREEN) - 1, ::GetSystemMetrics(SM_CYSCREEN) - 1);
            PumpFor(1000);
        }
        std::printf("%s: begin (%d rows listed)\n", phase, rows);
        std::fflush(stdout);
        const double cpuBefore = ProcessCpuSeconds();
        const CpuSplit splitBefore = SampleThreads();
        const double start = Now();
        const UINT_PTR timer =
            ::SetTimer(nullptr, 0, static_cast<UINT>(m_options.idleSeconds) * 1000, nullptr);
        int messages = 0;
        // Counted by window, message and timer id while idle; named afterwards.
        std::map<std::tuple<HWND, UINT, WPARAM>, int> kinds;
        MSG msg;
        while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (msg.hwnd == nullptr && msg.message == WM_TIMER && msg.wParam == timer)
                break;
            ++messages;
            ++kinds[{msg.hwnd, msg.message, msg.message == WM_TIMER ? msg.wParam : 0}];
            if (CWnd::WalkPreTranslateTree(&msg))
                continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::KillTimer(nullptr, timer);
        const double wall = Now() - start;
        const double cpu = ProcessCpuSeconds() - cpuBefore;
        const CpuSplit splitAfter = SampleThreads();
        std::printf("%s: end\n", phase);
        std::printf(
            "tool %s: %.3f s CPU over %.1f s = %.2f%% of one core (window thread %.3f s, others %.3f s), "
            "%d posted messages\n",
            phase, cpu, wall, 100.0 * cpu / wall, splitAfter.window - splitBefore.window,
            splitAfter.others - splitBefore.others, messages);
        std::map<std::string, int> named;
        for (const auto& [kind, count] : kinds) {
            MSG one{};
            std::tie(one.hwnd, one.message, one.wParam) = kind;
            named[CWindowThreadProfile::DispatchedName(one)] += count;
        }
        for (const auto& [name, count] : named)
            std::printf("  %s wake-ups: %-50s %6.1f a second\n", phase, name.c_str(), count / wall);
        std::printf("tool-%s cpu_percent=%.2f window_msgs_per_s=%.1f seconds=%.1f\n", phase,
                    100.0 * cpu / wall, messages / wall, wall);
        std::fflush(stdout);
    }

    Options m_options;
    CCamSimClient m_sim;
    CBenchMainDlg* m_pDlg = nullptr;
};

bool ParseOptions(int argc, char** argv, Options& options)
{
    bool bSingle = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--idle" && i + 1 < argc)
            options.idleSeconds = std::atoi(argv[++i]);
        else if (arg == "--no-profile")
            options.profile = false;
        else if (arg == "--quiet" && i + 1 < argc)
            options.quietMs = static_cast<DWORD>(std::atoi(argv[++i]));
        else if (arg == "--limit" && i + 1 < argc)
            options.roundLimitMs = static_cast<DWORD>(std::atoi(argv[++i])) * 1000;
        else if (arg == "--onvif" && i + 1 < argc)
            options.onvif = std::max(0, std::atoi(argv[++i]));
        else if (arg == "--single")
            bSingle = true; // the fleets after it answer once per camera
        else if (std::atoi(arg.c_str()) > 0)
            (bSingle ? options.singleFleets : options.fleets).push_back(std::atoi(arg.c_str()));
        else
            return false;
    }
    if (options.fleets.empty() && options.singleFleets.empty()) {
        options.fleets = {100, 300, 1000, 5000};
        options.singleFleets = {1000};
    }
    return options.idleSeconds > 0 && options.quietMs > 0 && options.roundLimitMs > 0;
}

} // namespace

int main(int argc, char** argv)
{
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: lv_discovery_bench [--idle SECONDS] [--quiet MS] [--limit SECONDS] "
                             "[--no-profile] [--onvif M] [N ...] [--single N ...]\n");
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
