// lv_discovery_bench: the tool's main window in process, in the lab, against the camera
// simulator. For each fleet size it times one rescan that the whole fleet answers at once, then
// it measures what the tool costs while idle with the list full. It prints figures; it checks
// nothing.
//
//   lv_discovery_bench [--idle SECONDS] [--quiet MS] [--no-profile] [N ...]   (defaults: 30, 3000, 100 1000)
//
// Times are taken on the window thread at the first moment it sees the row count change, so they
// include the cost of writing the rows, which is what the user waits for. Unless --no-profile, it
// then repeats the largest round with the window thread's messages timed, and measures apart what
// one reply costs: a worker's synchronous message, an acknowledgement, and writing a row.
#include "app/MainDlg.h"
#include "app/resource.h"
#include "controls/MyListCtrl.h"
#include "net/SocketHelpers.h"
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
    std::vector<int> fleets;
    int idleSeconds = 30;
    DWORD quietMs = 3000;
    bool profile = true; // one more round of the largest fleet with the window thread profiled
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
            if (g_pProfile)
                g_pProfile->Mark();
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
        if (m_options.profile) {
            RunRound(*std::max_element(m_options.fleets.begin(), m_options.fleets.end()), true);
            ProbeWorkerCosts();
            ProbeKeptSockets();
            ProbeRowWrites();
        }

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

    void RunRound(int fleet, bool bProfile = false)
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

        CWindowThreadProfile profile;
        if (bProfile) {
            profile.Start();
            g_pProfile = &profile;
        }
        const double startUnix = UnixNow();
        const double start = Now();
        Rescan();
        const RowTimeline rows = WatchRows(List(), start, m_options.quietMs, 120000);
        g_pProfile = nullptr;
        profile.Stop();
        std::printf("round %d: end\n", fleet);
        if (bProfile) {
            std::printf("profile N=%d: listed %d, last row %.3f s after rescan; the window thread's time "
                        "until then:\n",
                        fleet, RowCount(List()), rows.lastRow);
            profile.Print("  ", rows.lastRow);
            std::fflush(stdout);
            return;
        }

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
        std::printf(
            "tool N=%d: simulator sent %lld replies; requests seen %d; acknowledgements %d for %zu cameras",
            fleet, sent, sim.requests, sim.acks, sim.ackedCameras);
        if (sim.acks > 0)
            std::printf(", last %.3f s after rescan", sim.lastAckAt - startUnix);
        std::printf("\n");
        if (dropsBefore >= 0 && dropsAfter >= 0)
            std::printf("tool N=%d: datagrams dropped at port %d sockets: %lld\n", fleet, REPLY_PORT,
                        dropsAfter - dropsBefore);
        std::printf("tool N=%d: CPU during the round: window thread %.3f s, other threads %.3f s\n", fleet,
                    cpuAfter.window - cpuBefore.window, cpuAfter.others - cpuBefore.others);
        std::printf("tool-result N=%d listed=%d last_row_s=%.3f sent=%lld\n", fleet, listed, rows.lastRow,
                    sent);
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

    // Row writing on the window thread without the workers, in the list as it is (redrawing off,
    // as during a burst): empty rows only (what a list that asks for its texts when drawing would
    // pay), rows with their seven texts, and those with the count label written after each row.
    // The probe's rows carry no record; the list is emptied afterwards.
    void ProbeRowWrites()
    {
        constexpr int ROWS = 1000;
        CMyListCtrl* list = m_pDlg->GetDeviceList();
        if (!list)
            return;
        const std::vector<std::wstring> texts = {L"198.18.16.2",  L"198.18.16.1", L"Cam-0000",
                                                 L"a00000000000", L"LAN",         L"00:1A:2B:00:00:00",
                                                 L"V1.0.0"};
        enum { EMPTY_ROWS, ROW_TEXTS, ROW_TEXTS_AND_LABEL, VARIANTS };
        double seconds[VARIANTS] = {};
        for (int variant = 0; variant < VARIANTS; ++variant) {
            list->DeleteAllItems();
            m_pDlg->SetItemInt(IDC_MAIN_COUNT, 0);
            Pump();
            list->SendMessage(WM_SETREDRAW, FALSE);
            const double start = Now();
            for (int row = 0; row < ROWS; ++row) {
                LVITEMW item{};
                item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
                item.iItem = row;
                item.pszText = const_cast<LPWSTR>(L"");
                item.iImage = CMainDlg::CAMERA_IMAGE;
                list->InsertItem(&item);
                if (variant != EMPTY_ROWS)
                    list->SetRowTexts(row, texts);
                if (variant == ROW_TEXTS_AND_LABEL)
                    m_pDlg->SetItemInt(IDC_MAIN_COUNT, row + 1);
            }
            seconds[variant] = Now() - start;
            list->SendMessage(WM_SETREDRAW, TRUE);
            list->RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
            PumpFor(200);
        }
        list->DeleteAllItems();
        m_pDlg->SetItemInt(IDC_MAIN_COUNT, 0);
        std::printf("probe: %d rows written on the window thread, redrawing off: empty rows %.1f us a row; "
                    "with their "
                    "7 texts %.1f us; and the count label after each row %.1f us\n",
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
        const UINT_PTR timer =
            ::SetTimer(nullptr, 0, static_cast<UINT>(m_options.idleSeconds) * 1000, nullptr);
        int messages = 0;
        // Counted by window, message and timer id while idle; named afterwards.
        std::map<std::tuple<HWND, UINT, WPARAM>, int> kinds;
        MSG msg;
        while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
            ++messages;
            if (msg.hwnd == nullptr && msg.message == WM_TIMER && msg.wParam == timer)
                break;
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
        std::printf("idle: end\n");
        std::printf(
            "tool idle: %.3f s CPU over %.1f s = %.2f%% of one core (window thread %.3f s, others %.3f s), "
            "%d posted messages\n",
            cpu, wall, 100.0 * cpu / wall, splitAfter.window - splitBefore.window,
            splitAfter.others - splitBefore.others, messages);
        std::map<std::string, int> named;
        for (const auto& [kind, count] : kinds) {
            MSG one{};
            std::tie(one.hwnd, one.message, one.wParam) = kind;
            named[CWindowThreadProfile::DispatchedName(one)] += count;
        }
        for (const auto& [name, count] : named)
            std::printf("  idle wake-ups: %-50s %6.1f a second\n", name.c_str(), count / wall);
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
        else if (arg == "--no-profile")
            options.profile = false;
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
        std::fprintf(stderr,
                     "usage: lv_discovery_bench [--idle SECONDS] [--quiet MS] [--no-profile] [N ...]\n");
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
