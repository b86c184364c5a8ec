// lv_flood_probe: the tool's main window in process, in the lab, while a flood of forged replies
// (distinct valid serials, far more than the camera table holds) arrives from the camera side;
// then one camera of the simulator answers, and a rescan. scripts/flood-discovery.sh starts the
// flood when this program prints "flood: ready". It prints figures; it checks nothing.
//
//   lv_flood_probe [--limit SECONDS] [--done-file PATH]
//   (default 120 s; the flood has ended once the script has made PATH, a Windows path)
#include "app/MainDlg.h"
#include "app/resource.h"
#include "protocol/DeviceTable.h"
#include "tests/support/CamSimClient.h"
#include "tests/support/LabGuard.h"

#include <windows.h>
#include <winsock2.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

// The simulator's camera that answers after the flood.
constexpr const char* REAL_CAMERA = "a0f100d00001";
constexpr DWORD QUIET_MS = 3000;

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void PumpFor(DWORD nMs)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < nMs) {
        Pump();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

// Asks the watching script for this process's private memory: under Wine the script reads it
// from the Linux side (/proc/PID/status), which the process cannot (Wine's private-bytes counter
// reads 0, and files are opened by the wineserver, so /proc/self is not this process).
void SampleMemory(const char* pszWhen)
{
    std::printf("memory-sample %s\n", pszWhen);
    std::fflush(stdout);
    PumpFor(300); // the script looks every 100 ms
}

std::wstring CountLabel(HWND hDlg)
{
    wchar_t text[64] = {};
    GetDlgItemTextW(hDlg, IDC_MAIN_COUNT, text, 64);
    return text;
}

std::string Narrow(const std::wstring& text)
{
    char out[128] = {};
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out, sizeof out - 1, nullptr, nullptr);
    return out;
}

bool Listed(const CMainDlg& dlg, const char* pszSerial)
{
    for (const DeviceRecord* record : dlg.GetCameraRows().Records())
        if (_stricmp(ReadTextField(record->message.idSerial).c_str(), pszSerial) == 0)
            return true;
    return false;
}

// Another thread sends the window WM_NULL every 2 ms and keeps the longest round trip: how long
// a user's click waits while the window thread works.
class CAnswerProbe {
  public:
    explicit CAnswerProbe(HWND hWnd) : m_hWnd(hWnd), m_thread([this] { Run(); }) {}
    ~CAnswerProbe()
    {
        m_bStop = true;
        // The window thread pumps until the probe has left: its last message must be answered.
        while (!m_bDone) {
            Pump();
            Sleep(1);
        }
        m_thread.join();
    }
    void Reset()
    {
        m_longestMs = 0;
        m_count = 0;
    }
    double LongestMs() const { return m_longestMs.load(); }
    long Count() const { return m_count.load(); }

  private:
    void Run()
    {
        while (!m_bStop) {
            const double start = Now();
            DWORD_PTR result = 0;
            SendMessageTimeoutW(m_hWnd, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &result);
            const double ms = (Now() - start) * 1000.0;
            if (ms > m_longestMs.load())
                m_longestMs = ms;
            ++m_count;
            Sleep(2);
        }
        m_bDone = true;
    }

    HWND m_hWnd;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bDone{false};
    std::atomic<double> m_longestMs{0};
    std::atomic<long> m_count{0};
    std::thread m_thread;
};

// A discovery request to the simulator's address on the first lab link, as the tool sends it
// (from port 50504 of its own address on that link), so that its cameras answer once.
void AskTheSimulator()
{
    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(50504);
    local.sin_addr.s_addr = inet_addr("198.18.1.10");
    BOOL on = TRUE;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on);
    bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local);
    WireMessage request;
    BuildGetRequest(request);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(CAMERA_PORT);
    to.sin_addr.s_addr = inet_addr("198.18.1.2");
    sendto(s, reinterpret_cast<const char*>(&request), sizeof request, 0,
           reinterpret_cast<const sockaddr*>(&to), sizeof to);
    closesocket(s);
}

// Pumps until the row count has not changed for QUIET_MS or limitMs passed; calls atCap once
// when the rows first reach the table's cap.
template <class AtCap> void WatchRows(const CMainDlg& dlg, DWORD limitMs, AtCap atCap)
{
    const DWORD start = GetTickCount();
    int last = dlg.GetCameraRows().GetRowCount();
    DWORD changed = GetTickCount();
    bool capSeen = false;
    while (GetTickCount() - start < limitMs && GetTickCount() - changed < QUIET_MS) {
        PumpFor(20);
        const int rows = dlg.GetCameraRows().GetRowCount();
        if (rows != last) {
            last = rows;
            changed = GetTickCount();
        }
        if (!capSeen && rows >= CDeviceTable::MAX_CAMERAS) {
            capSeen = true;
            atCap(GetTickCount() - start);
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    DWORD limitMs = 120000;
    const char* pszDoneFile = nullptr;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--limit") == 0)
            limitMs = static_cast<DWORD>(std::atoi(argv[i + 1])) * 1000;
        else if (std::strcmp(argv[i], "--done-file") == 0)
            pszDoneFile = argv[i + 1];
    }
    RequireLabNetwork();
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    CCamSimClient sim;
    if (!sim.Connect()) {
        std::printf("flood: the simulator does not answer\n");
        return 1;
    }
    sim.Command("reset");
    sim.Command("fleet 0");
    CMyDialog::SetGlobalLanguage(1);

    CMainDlg dlg;
    if (!dlg.CreateModeless(nullptr)) {
        std::printf("flood: the main window was not created\n");
        return 1;
    }
    dlg.ShowWindow(SW_SHOW);
    const HWND hDlg = dlg.GetSafeHwnd();
    PumpFor(1000); // start-up's rescan, answered by nobody
    std::printf("before the flood: rows %d\n", dlg.GetCameraRows().GetRowCount());
    SampleMemory("before the flood");

    {
        CAnswerProbe probe(hDlg);
        std::printf("flood: ready\n");
        std::fflush(stdout);
        // The flood starts when the script sees the line above.
        const DWORD waitStart = GetTickCount();
        while (dlg.GetCameraRows().GetRowCount() == 0 && GetTickCount() - waitStart < 60000)
            PumpFor(10);
        const double floodStart = Now();
        bool bCap = false;
        auto atCap = [&](DWORD ms) {
            char text[64];
            std::snprintf(text, sizeof text, "at the cap (%.2f s after the first row)", ms / 1000.0);
            SampleMemory(text);
            bCap = true;
        };
        // Rows stop changing at the cap long before the flood ends: wait for the script's word.
        const DWORD floodBegun = GetTickCount();
        while (pszDoneFile && GetFileAttributesA(pszDoneFile) == INVALID_FILE_ATTRIBUTES &&
               GetTickCount() - floodBegun < limitMs) {
            PumpFor(20);
            if (!bCap && dlg.GetCameraRows().GetRowCount() >= CDeviceTable::MAX_CAMERAS)
                atCap(GetTickCount() - floodBegun);
        }
        WatchRows(dlg, limitMs, [&](DWORD ms) {
            if (!bCap)
                atCap(ms);
        });
        std::printf("after the flood (%.1f s): rows %d (cap %d), count label \"%s\"\n", Now() - floodStart,
                    dlg.GetCameraRows().GetRowCount(), CDeviceTable::MAX_CAMERAS,
                    Narrow(CountLabel(hDlg)).c_str());
        std::printf("  window's longest answer during the flood: %.1f ms (%ld probes)\n", probe.LongestMs(),
                    probe.Count());
        if (!bCap)
            std::printf("  the rows never reached the cap\n");
        SampleMemory("at the end of the flood");

        // A real camera answers after the flood, while the list is full.
        probe.Reset();
        sim.Command(std::string("camera id=") + REAL_CAMERA + " net=lan");
        AskTheSimulator();
        PumpFor(3000);
        std::printf("a real camera answers after the flood: %s (rows %d, label \"%s\")\n",
                    Listed(dlg, REAL_CAMERA) ? "listed" : "not listed: the list is full",
                    dlg.GetCameraRows().GetRowCount(), Narrow(CountLabel(hDlg)).c_str());

        // Rescan: the forged cameras are gone and the real one is listed again.
        dlg.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_MAIN_RESCAN, BN_CLICKED),
                        reinterpret_cast<LPARAM>(GetDlgItem(hDlg, IDC_MAIN_RESCAN)));
        const DWORD rescanStart = GetTickCount();
        while (!Listed(dlg, REAL_CAMERA) && GetTickCount() - rescanStart < 10000)
            PumpFor(20);
        PumpFor(1000);
        std::printf("after a Rescan: real camera %s, rows %d, label \"%s\", longest answer %.1f ms\n",
                    Listed(dlg, REAL_CAMERA) ? "listed" : "NOT listed", dlg.GetCameraRows().GetRowCount(),
                    Narrow(CountLabel(hDlg)).c_str(), probe.LongestMs());
        SampleMemory("after the Rescan");
    }
    dlg.DestroyWindow();
    sim.Command("reset");
    std::printf("flood: done\n");
    return 0;
}
