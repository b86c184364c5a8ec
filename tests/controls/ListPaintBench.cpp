// Prints how long a CMyListCtrl of 1000 rows x 7 columns takes to repaint one screen of rows and
// to scroll. Run under the lab's display: lab.sh tool wine lv_list_paint_bench.exe [repeats]
#include "controls/MyListCtrl.h"
#include "tests/support/TestPump.h"
#include "platform/CGdiCount.h"
#include "platform/PlatformInit.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

class CBenchParent : public CWnd {};

using lvtest::Pump;

double MsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    InitPlatformControls();
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"LarkvaneListBench";
    ::RegisterClassW(&wc);
    CBenchParent parent;
    const RECT rcParent{0, 0, 900, 640};
    if (!parent.CreateEx(0, wc.lpszClassName, L"bench", WS_POPUP | WS_VISIBLE, rcParent, nullptr, 0)) {
        std::printf("no window\n");
        return 1;
    }
    HWND hList =
        ::CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS, 0, 0,
                          880, 620, parent.m_hWnd, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(100)),
                          ::GetModuleHandleW(nullptr), nullptr);
    CMyListCtrl list;
    if (!hList || !list.SubclassWindow(hList)) {
        std::printf("no list\n");
        return 1;
    }
    const wchar_t* titles[7] = {L"No.", L"IP", L"Gateway", L"Name", L"ID", L"MAC", L"Version"};
    for (int c = 0; c < 7; ++c)
        list.InsertColumn(c, titles[c], LVCFMT_LEFT, 120);
    list.SetRowHeight(22);
    list.SetExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_CHECKBOXES, LVS_EX_FULLROWSELECT | LVS_EX_CHECKBOXES);
    list.SetCheckColumn(6, true);
    list.SetProgressColumn(5, true);
    list.SetCellBkColor(-1, 2, RGB(240, 248, 255));
    // "drawn" as second argument: check boxes drawn by the control instead of the two images.
    const bool bDrawnBoxes = argc > 2 && std::string(argv[2]) == "drawn";
    list.SetCheckBoxImages(!bDrawnBoxes);

    // Rows arrive one by one in the tool, with the list showing; the platform updates its scroll
    // bars on each one.
    auto start = std::chrono::steady_clock::now();
    for (int r = 0; r < 500; ++r)
        list.InsertNumberedRow(-1);
    std::printf("insert 500 rows, list redrawing: %.1f ms\n", MsSince(start));
    start = std::chrono::steady_clock::now();
    list.SendMessage(WM_SETREDRAW, FALSE);
    for (int r = 500; r < 1000; ++r)
        list.InsertNumberedRow(-1);
    list.SendMessage(WM_SETREDRAW, TRUE);
    std::printf("insert 500 rows, redraw off: %.1f ms\n", MsSince(start));
    for (int row = 0; row < 1000; ++row) {
        const int r = row;
        wchar_t text[64];
        std::swprintf(text, 64, L"198.18.%d.%d", r / 250 + 1, r % 250 + 2);
        list.SetItemText(row, 1, text);
        list.SetItemText(row, 2, L"198.18.1.1");
        std::swprintf(text, 64, L"Camera %04d", r);
        list.SetItemText(row, 3, text);
        std::swprintf(text, 64, L"HDVS%08X", r * 7919);
        list.SetItemText(row, 4, text);
        std::swprintf(text, 64, L"%d", r % 101);
        list.SetItemText(row, 5, text);
        list.SetItemText(row, 6, L"V2.1.0");
    }
    std::printf("fill 1000 rows x 7 columns: %.1f ms\n", MsSince(start));
    Pump();
    list.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);

    const long gdiBefore = CGdiCount::Live();
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < repeats; ++i)
        list.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    const double paint = MsSince(start) / repeats;
    std::printf("full repaint of one screen (%d rows visible): %.2f ms\n", list.GetCountPerPage(), paint);

    start = std::chrono::steady_clock::now();
    int steps = 0;
    for (int i = 0; i < repeats; ++i) {
        list.SendMessage(WM_VSCROLL, MAKEWPARAM(SB_PAGEDOWN, 0));
        list.UpdateWindow();
        ++steps;
    }
    std::printf("scroll one page and repaint: %.2f ms per step\n", MsSince(start) / steps);

    start = std::chrono::steady_clock::now();
    for (int i = 0; i < repeats; ++i) {
        list.SendMessage(WM_VSCROLL, MAKEWPARAM(SB_LINEUP, 0));
        list.UpdateWindow();
    }
    std::printf("scroll one line and repaint: %.2f ms per step\n", MsSince(start) / repeats);

    start = std::chrono::steady_clock::now();
    list.EnsureVisible(999, FALSE);
    list.UpdateWindow();
    list.EnsureVisible(0, FALSE);
    list.UpdateWindow();
    std::printf("jump to the end and back: %.2f ms\n", MsSince(start));
    std::printf("GDI objects and contexts held after the paints: %ld (before %ld)\n", CGdiCount::Live(),
                gdiBefore);
    Pump();
    return 0;
}
