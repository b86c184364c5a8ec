// Every owner-drawn paint path gives back what it makes: each row makes its controls, paints them
// repeatedly through WM_PAINT and WM_PRINTCLIENT while varying their state, and the process's live
// GDI and GDI+ objects must come back to where they were after a warm-up paint.

#include "GdiLeakCounter.h"
#include "WidgetTestSupport.h"
#include "controls/MyButton.h"
#include "controls/MyCheckButton.h"
#include "controls/MyComboBox.h"
#include "controls/MyListBox.h"
#include "controls/MyListCtrl.h"
#include "controls/MyProgressCtrl.h"
#include "controls/MySliderCtrl.h"
#include "controls/SkinFiles.h"
#include "dialogkit/MyDialog.h"
#include "platform/PlatformInit.h"
#include "DialogTestIds.h"

#include <commctrl.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

// What one row made: the windows to paint, how to vary them before paint i, and what keeps them
// alive.
struct CPaintSubject {
    std::vector<HWND> windows;
    std::function<void(int)> vary = [](int) {};
    std::vector<std::shared_ptr<void>> keep;
    // Paints the window into a DC of its own instead of WM_PRINTCLIENT (the dialog frame).
    std::function<void(HDC)> print;
};

class PaintLeak;
struct CPaintRow {
    const char* name;
    CPaintSubject (*make)(PaintLeak& test);
};

// Counts the paints that reach each window, whoever sends them.
std::map<HWND, int> s_paints;
HHOOK s_hHook = nullptr;
LRESULT CALLBACK CountPaints(int code, WPARAM wParam, LPARAM lParam)
{
    auto* msg = reinterpret_cast<CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && (msg->message == WM_PAINT || msg->message == WM_PRINTCLIENT))
        ++s_paints[msg->hwnd];
    return ::CallNextHookEx(s_hHook, code, wParam, lParam);
}

class PaintLeak : public CWidgetTest, public testing::WithParamInterface<CPaintRow> {
  public:
    static constexpr int PAINTS = 20;
    CWidgetDialog& Host() { return m_dialog; }
    const std::wstring& Dir() const { return m_dir.Path(); }

  protected:
    void SetUp() override
    {
        CWidgetTest::SetUp();
        s_paints.clear();
        s_hHook = ::SetWindowsHookExW(WH_CALLWNDPROC, CountPaints, nullptr, ::GetCurrentThreadId());
    }
    void TearDown() override
    {
        ::UnhookWindowsHookEx(s_hHook);
        CWidgetTest::TearDown();
    }
    static void Paint(const CPaintSubject& subject)
    {
        for (HWND hWnd : subject.windows) {
            ::RedrawWindow(hWnd, nullptr, nullptr,
                           RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE | RDW_ALLCHILDREN);
            if (subject.print) {
                std::unique_ptr<CCanvas> canvas(new CCanvas(ClientSize(hWnd).cx, ClientSize(hWnd).cy));
                subject.print(canvas->DC());
            } else {
                Capture(hWnd);
            }
        }
        Pump();
    }

    CTempDir m_dir;
};

TEST_P(PaintLeak, RepeatedPaintsGiveEveryObjectBack)
{
    CPaintSubject subject = GetParam().make(*this);
    ASSERT_FALSE(subject.windows.empty());
    // Warm up: process-wide pens, cached images and fonts, and Wine's paint contexts are made once;
    // tool tip windows, each with two fonts of Wine's, come on timers (100 ms after a hover) and
    // stay. Until the tally holds still across two paints with the timers' time between them, at
    // most ten; a leak in every paint never settles and shows below all the same.
    CGdiTally last = CountLiveObjects();
    for (int i = 0, still = 0; i < 10 && still < 2; ++i) {
        subject.vary(i);
        Paint(subject);
        ::Sleep(150);
        Pump();
        CGdiTally now = CountLiveObjects();
        still = CGdiTally::Difference(last, now).empty() ? still + 1 : 0;
        last = now;
    }

    std::map<HWND, int> before = s_paints;
    CGdiLeakScope scope;
    for (int i = 0; i < PAINTS; ++i) {
        subject.vary(i);
        Paint(subject);
    }
    EXPECT_EQ(scope.Leaks(), "");
    for (HWND hWnd : subject.windows)
        EXPECT_GE(s_paints[hWnd] - before[hWnd], PAINTS) << "paints that reached window " << hWnd;
}

template <class T> std::shared_ptr<T> Keep(CPaintSubject& subject)
{
    auto p = std::make_shared<T>();
    subject.keep.push_back(p);
    return p;
}

CPaintSubject ComboBox(PaintLeak& test)
{
    CPaintSubject s;
    auto combo = Keep<CMyComboBox>(s);
    EXPECT_TRUE(combo->SubclassDlgItem(IDC_WIDGET_COMBO, &test.Host()));
    combo->AddString(L"one");
    combo->SetCurSel(0);
    std::wstring thumb = test.Dir() + L"thumb.bmp";
    WriteSolidBmp(thumb, 15, 16, RGB(10, 200, 10));
    std::wstring missing = test.Dir() + L"missing.bmp";
    combo->SetThumbImages(missing, thumb, missing);
    s.windows = {combo->m_hWnd};
    // Drawn thumbs, a file thumb, a resource thumb, disabled, focused and hovered states.
    s.vary = [c = combo.get()](int i) {
        c->EnableWindow(i % 3 != 1);
        c->SetThumbIds(i % 4 == 2 ? IDB_WIDGET_THUMB : -1, -1, -1);
        c->SendMessage(i % 2 ? WM_MOUSEMOVE : WM_MOUSELEAVE, 0, MAKELPARAM(3, 3));
        if (i % 5 == 0)
            c->SetFocus();
    };
    return s;
}

CPaintSubject Slider(PaintLeak& test)
{
    CPaintSubject s;
    auto slider = Keep<CMySliderCtrl>(s);
    EXPECT_TRUE(slider->SubclassDlgItem(IDC_WIDGET_HSLIDER, &test.Host()));
    slider->SetRange(0, 100, TRUE);
    std::wstring channel = test.Dir() + L"channel.bmp";
    WriteSolidBmp(channel, 10, 4, RGB(1, 100, 200));
    slider->SetSliderImages(channel, L"", test.Dir() + L"missing.png");
    s.windows = {slider->m_hWnd};
    s.vary = [p = slider.get()](int i) {
        p->SetSliderPos(i * 5);
        p->SetThumbShape(i % 2);
    };
    return s;
}

CPaintSubject ListBox(PaintLeak& test)
{
    CPaintSubject s;
    auto list = Keep<CMyListBox>(s);
    EXPECT_TRUE(list->SubclassDlgItem(IDC_WIDGET_LISTBOX, &test.Host()));
    for (const wchar_t* text : {L"a", L"b", L"c"})
        list->AddString(text);
    s.windows = {list->m_hWnd};
    s.vary = [l = list.get()](int i) {
        l->SelectItem(i % 3);
        l->SetDrawFlags(i % 2 ? CMyListBox::DRAW_GRADIENT : CMyListBox::DRAW_FOCUS_RECT);
        l->SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(5, 2 + 3 * i));
        l->EnableWindow(i % 4 != 3);
    };
    return s;
}

CPaintSubject Progress(PaintLeak& test)
{
    CPaintSubject s;
    auto progress = Keep<CMyProgressCtrl>(s);
    EXPECT_TRUE(progress->SubclassDlgItem(IDC_WIDGET_PROGRESS, &test.Host()));
    s.windows = {progress->m_hWnd};
    s.vary = [p = progress.get()](int i) { p->SetPosText(i % 3 ? i * 5 : -1, L"work"); };
    return s;
}

// A two-line rounded button and one made with the bold, italic, underlined default font; hovered,
// left and checked in turn.
CPaintSubject PushButtons(PaintLeak& test)
{
    CPaintSubject s;
    CMyButton::LoadDefaults(L"C:\\no\\such\\dir\\ButtonDefault.ini");
    auto plain = Keep<CMyButton>(s);
    EXPECT_TRUE(plain->Create(L"Count\r\nme", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, {20, 20, 120, 50},
                              &test.Host(), 3001));
    plain->SetFont(static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT)));
    plain->SetRound(6, 6);
    CMyButton::SetDefaultFontStyle(14, true, true, true, L"Tahoma");
    auto styled = Keep<CMyButton>(s);
    CMyButton::SetDefaultFontStyle(-1, false, false, false);
    EXPECT_TRUE(styled->Create(L"Styled", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, {20, 60, 120, 90},
                               &test.Host(), 3002));
    s.windows = {plain->m_hWnd, styled->m_hWnd};
    s.vary = [a = plain.get(), b = styled.get()](int i) {
        a->SetChecked(i % 2 == 0);
        b->SendMessage(i % 2 ? WM_MOUSEMOVE : WM_MOUSELEAVE, 0, MAKELPARAM(5, 5));
    };
    return s;
}

void Click(CWnd& w)
{
    w.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    w.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
}

CPaintSubject CheckButtons(PaintLeak& test)
{
    CPaintSubject s;
    auto box = Keep<CMyCheckButton>(s);
    auto radio = Keep<CMyCheckButton>(s);
    EXPECT_TRUE(box->Create(L"Box", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, {10, 100, 130, 116},
                            &test.Host(), 3003));
    EXPECT_TRUE(radio->Create(L"Radio", WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON, {10, 120, 130, 136},
                              &test.Host(), 3004));
    for (CMyCheckButton* b : {box.get(), radio.get()})
        b->SetFont(static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT)));
    s.windows = {box->m_hWnd, radio->m_hWnd};
    s.vary = [b = box.get(), r = radio.get()](int i) {
        Click(*b);
        Click(*r);
        r->SendMessage(i % 2 ? WM_MOUSEMOVE : WM_MOUSELEAVE, 0, MAKELPARAM(5, 5));
    };
    return s;
}

// Check boxes, a progress column, a picture cell from the skin files, grid lines, a taller header,
// a hot row and a selected one; the header repaints with the list.
CPaintSubject ListCtrl(PaintLeak& test)
{
    CPaintSubject s;
    InitPlatformControls();
    HWND hList = ::CreateWindowExW(
        0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS, 0, 0, 500, 200,
        test.Host().m_hWnd, reinterpret_cast<HMENU>(3005), ::GetModuleHandleW(nullptr), nullptr);
    auto list = Keep<CMyListCtrl>(s);
    EXPECT_TRUE(list->SubclassWindow(hList));
    WriteDefaultSkins();
    const int widths[] = {120, 160, 120, 100};
    for (int c = 0; c < 4; ++c)
        list->InsertColumn(c, (L"C" + std::to_wstring(c)).c_str(), LVCFMT_LEFT, widths[c]);
    for (int r = 0; r < 4; ++r) {
        int row = list->InsertItem(r, L"");
        for (int c = 0; c < 4; ++c)
            list->SetItemText(row, c, (L"r" + std::to_wstring(r) + L"c" + std::to_wstring(c)).c_str());
    }
    list->SetRowHeight(22);
    list->SetCheckColumn(2, true);
    list->SetCheckBoxes(true);
    list->SetProgressColumn(1, true);
    list->SetCellImageFile(-1, 3, L"General_OK1.png", 1);
    list->SetGridLines(true);
    list->SetGridWidth(1);
    list->SetHeaderHeight(26).SetHeaderFontHeight(18);
    list->SelectRow(2, true);
    s.windows = {list->m_hWnd};
    s.vary = [l = list.get()](int i) { l->SetHotRow(i % 4); };
    return s;
}

class CFrameDialog : public CMyDialog {
  public:
    CFrameDialog() : CMyDialog(IDD_MYDLG_TEST) {}
};

// A gradient background, a drawn rectangle, text and a picture from a file, painted by WM_PAINT and
// into a bitmap as the frame paints itself.
CPaintSubject DialogFrame(PaintLeak& test)
{
    CPaintSubject s;
    auto dlg = std::shared_ptr<CFrameDialog>(new CFrameDialog, [](CFrameDialog* p) {
        p->DestroyWindow();
        delete p;
    });
    s.keep.push_back(dlg);
    EXPECT_TRUE(dlg->CreateModeless(nullptr));
    const COLORREF two[] = {RGB(255, 0, 0), RGB(0, 0, 255)};
    dlg->SetBackgroundGradient(two, 2, 1);
    dlg->AddDrawnRect(4, 4, 40, 20, 1, 1, 2, RGB(0, 0, 255), {RGB(255, 0, 0), RGB(0, 255, 0)});
    dlg->AddDrawnText(4, 40, L"text", RGB(255, 0, 0), RGB(0, 0, 255));
    std::wstring picture = test.Dir() + L"picture.bmp";
    WriteSolidBmp(picture, 8, 8, RGB(0, 200, 0));
    dlg->AddDrawnImage(60, 4, 16, 16, 0, picture.c_str());
    dlg->ShowDialog(1);
    s.windows = {dlg->m_hWnd};
    s.print = [d = dlg.get()](HDC hDC) { d->PaintClient(hDC); };
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    PaintPaths, PaintLeak,
    testing::Values(CPaintRow{"ComboBox", ComboBox}, CPaintRow{"Slider", Slider},
                    CPaintRow{"ListBox", ListBox}, CPaintRow{"Progress", Progress},
                    CPaintRow{"PushButtons", PushButtons}, CPaintRow{"CheckButtons", CheckButtons},
                    CPaintRow{"ListCtrl", ListCtrl}, CPaintRow{"DialogFrame", DialogFrame}),
    [](const testing::TestParamInfo<CPaintRow>& info) { return std::string(info.param.name); });

} // namespace
