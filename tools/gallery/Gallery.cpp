// lv_gallery: every control of the library in its states on one window, so that a screenshot
// shows how they look. Hover states are pinned (the pointer is elsewhere when the picture is
// taken). "lv_gallery N" closes the window after N seconds.

#include "controls/SkinFiles.h"
#include "platform/CWnd.h"

#include "controls/MyButton.h"
#include "controls/MyCheckButton.h"
#include "controls/MyComboBox.h"
#include "controls/MyListBox.h"
#include "controls/MyProgressCtrl.h"
#include "controls/MySliderCtrl.h"
#include "controls/MyListCtrl.h"

#include <windows.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

const wchar_t* const GALLERY_CLASS = L"LarkvaneGallery";
const UINT_PTR TIMER_CLOSE = 1;

// A control that keeps its hover look once shown: the mouse-leave that would end it is dropped.
template <class Base> class CPinnedHover : public Base {
  public:
    void Pin()
    {
        m_bPinned = true;
        this->SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(4, 4));
    }

  protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_MOUSELEAVE && m_bPinned)
            return 0;
        return Base::WindowProc(message, wParam, lParam);
    }

  private:
    bool m_bPinned = false;
};

class CGalleryWnd : public CWnd {
  public:
    bool Create()
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = GALLERY_CLASS;
        ::RegisterClassW(&wc);
        RECT rect{0, 0, 900, 640};
        if (!CreateEx(0, GALLERY_CLASS, L"Larkvane controls",
                      WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN, rect, nullptr, 0))
            return false;
        Populate();
        return true;
    }

  protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_TIMER && wParam == TIMER_CLOSE) {
            DestroyWindow();
            return 0;
        }
        if (message == WM_DESTROY)
            ::PostQuitMessage(0);
        return CWnd::WindowProc(message, wParam, lParam);
    }

  private:
    HFONT Font() const { return static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT)); }

    UINT NextId() { return m_nNextId++; }

    void Label(const wchar_t* text, int x, int y, int width = 860)
    {
        HWND hWnd = ::CreateWindowExW(0, L"STATIC", text, WS_CHILD | WS_VISIBLE, x, y, width, 16, m_hWnd,
                                      nullptr, ::GetModuleHandleW(nullptr), nullptr);
        ::SendMessageW(hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(Font()), TRUE);
    }

    template <class T> T* Keep(std::unique_ptr<T> p)
    {
        T* raw = p.get();
        m_controls.push_back(std::unique_ptr<CWnd>(p.release()));
        return raw;
    }

    template <class T> T* MakeButton(const wchar_t* caption, DWORD style, int x, int y, int w, int h)
    {
        auto p = std::make_unique<T>();
        if (!p->Create(caption, WS_CHILD | WS_VISIBLE | style, {x, y, x + w, y + h}, this, NextId()))
            return nullptr;
        p->SetFont(Font());
        return Keep(std::move(p));
    }

    void Populate()
    {
        int y = 10;
        WriteDefaultSkins(); // the icons below are built-in skin files
        Label(L"CMyButton: normal, hover, checked, disabled, rounded, two lines, icon, hover frame", 10, y);
        y += 20;
        int x = 10;
        const int bw = 96;
        const int bh = 30;
        MakeButton<CMyButton>(L"Normal", BS_PUSHBUTTON, x, y, bw, bh);
        x += bw + 8;
        if (auto* p = MakeButton<CPinnedHover<CMyButton>>(L"Hover", BS_PUSHBUTTON, x, y, bw, bh))
            p->Pin();
        x += bw + 8;
        if (auto* p = MakeButton<CMyButton>(L"Off", BS_PUSHBUTTON, x, y, bw, bh)) {
            p->SetHoldText(L"Checked");
            p->SetChecked(true);
        }
        x += bw + 8;
        if (auto* p = MakeButton<CMyButton>(L"Disabled", BS_PUSHBUTTON, x, y, bw, bh))
            p->EnableWindow(FALSE);
        x += bw + 8;
        if (auto* p = MakeButton<CMyButton>(L"Rounded", BS_PUSHBUTTON, x, y, bw, bh))
            p->SetRound(10, 10);
        x += bw + 8;
        MakeButton<CMyButton>(L"Two\r\nlines", BS_PUSHBUTTON, x, y - 4, bw, bh + 8);
        x += bw + 8;
        if (auto* p = MakeButton<CMyButton>(L"OK", BS_PUSHBUTTON, x, y, bw, bh))
            p->SetIconImages(L"General_OK1.png", L"General_OK2.png");
        x += bw + 8;
        if (auto* p = MakeButton<CPinnedHover<CMyButton>>(L"Frame", BS_PUSHBUTTON, x, y, bw - 20, bh)) {
            p->SetHoverFrame(true);
            p->Pin();
        }
        y += bh + 14;

        Label(L"CMyCheckButton: check boxes (off, on, hover, disabled, box right) and radio buttons", 10, y);
        y += 20;
        x = 10;
        const int cw = 120;
        const int ch = 16;
        MakeButton<CMyCheckButton>(L"Unchecked", BS_AUTOCHECKBOX, x, y, cw, ch);
        if (auto* p = MakeButton<CMyCheckButton>(L"Checked", BS_AUTOCHECKBOX, x + 130, y, cw, ch))
            p->SendMessage(BM_SETCHECK, BST_CHECKED);
        if (auto* p = MakeButton<CPinnedHover<CMyCheckButton>>(L"Hover", BS_AUTOCHECKBOX, x + 260, y, cw, ch))
            p->Pin();
        if (auto* p = MakeButton<CMyCheckButton>(L"Disabled", BS_AUTOCHECKBOX, x + 390, y, cw, ch)) {
            p->SendMessage(BM_SETCHECK, BST_CHECKED);
            p->EnableWindow(FALSE);
        }
        MakeButton<CMyCheckButton>(L"Box right", BS_AUTOCHECKBOX | BS_LEFTTEXT, x + 520, y, cw - 30, ch);
        if (auto* p = MakeButton<CMyCheckButton>(L"Large box", BS_AUTOCHECKBOX, x + 650, y - 4, cw, 24))
            p->SendMessage(BM_SETCHECK, BST_CHECKED);
        y += 26;
        MakeButton<CMyCheckButton>(L"Radio one", BS_AUTORADIOBUTTON | WS_GROUP, x, y, cw, ch);
        if (auto* p = MakeButton<CMyCheckButton>(L"Radio two", BS_AUTORADIOBUTTON, x + 130, y, cw, ch))
            p->SendMessage(BM_SETCHECK, BST_CHECKED);
        if (auto* p = MakeButton<CPinnedHover<CMyCheckButton>>(L"Radio hover", BS_AUTORADIOBUTTON, x + 260, y,
                                                               cw, ch))
            p->Pin();
        if (auto* p = MakeButton<CMyCheckButton>(L"Radio disabled", BS_AUTORADIOBUTTON, x + 390, y, cw, ch))
            p->EnableWindow(FALSE);
        if (auto* p = MakeButton<CMyCheckButton>(L"Large radio", BS_AUTORADIOBUTTON | WS_GROUP, x + 650,
                                                 y - 4, cw, 24))
            p->SendMessage(BM_SETCHECK, BST_CHECKED);
        y += 32;

        Label(L"CMyComboBox, CMySliderCtrl, CMyListBox, CMyProgressCtrl", 10, y);
        y += 20;
        {
            auto combo = std::make_unique<CMyComboBox>();
            if (combo->Create(WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWNLIST, {10, y, 190, y + 200},
                              this, NextId())) {
                combo->SetFont(Font());
                combo->AddString(L"LAN");
                combo->AddString(L"WIFI");
                combo->SendMessage(CB_SETCURSEL, 0);
                Keep(std::move(combo));
            }
            auto slider = std::make_unique<CMySliderCtrl>();
            if (slider->Create(WS_CHILD | WS_VISIBLE | TBS_HORZ, {210, y, 410, y + 26}, this, NextId())) {
                slider->SetRange(0, 100, TRUE);
                slider->SetPos(40);
                Keep(std::move(slider));
            }
            auto progress = std::make_unique<CMyProgressCtrl>();
            if (progress->Create(WS_CHILD | WS_VISIBLE, {430, y, 630, y + 22}, this, NextId())) {
                progress->SetRange32(0, 100);
                progress->SetPos(60);
                Keep(std::move(progress));
            }
            auto list = std::make_unique<CMyListBox>();
            if (list->Create(WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | LBS_NOTIFY,
                             {650, y, 880, y + 90}, this, NextId())) {
                list->SetFont(Font());
                for (const wchar_t* item :
                     {L"192.168.1.20", L"192.168.1.21", L"192.168.1.22", L"192.168.1.23"})
                    list->AddString(item);
                list->SelectItem(1);
                Keep(std::move(list));
            }
        }
        y += 100;

        Label(L"CMyListCtrl: rows with check boxes and progress cells", 10, y);
        y += 20;
        {
            auto list = std::make_unique<CMyListCtrl>();
            if (list->Create(WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_REPORT | LVS_SHOWSELALWAYS,
                             {10, y, 880, y + 220}, this, NextId())) {
                list->SetFont(Font());
                const wchar_t* columns[] = {L"No.", L"Name", L"IP address", L"MAC", L"Progress"};
                const int widths[] = {50, 180, 160, 200, 200};
                for (int c = 0; c < 5; ++c)
                    list->InsertColumn(c, columns[c], LVCFMT_LEFT, widths[c]);
                list->SetCheckBoxes(true);
                list->SetGridLines(true);
                list->SetProgressColumn(4, true);
                for (int r = 0; r < 6; ++r) {
                    list->InsertItem(r, std::to_wstring(r + 1).c_str());
                    list->SetItemText(r, 1, (L"Camera " + std::to_wstring(r + 1)).c_str());
                    list->SetItemText(r, 2, (L"198.18.1." + std::to_wstring(100 + r)).c_str());
                    list->SetItemText(r, 3, (L"50:00:00:00:00:0" + std::to_wstring(r)).c_str());
                    list->SetItemText(r, 4, std::to_wstring(r * 20).c_str());
                }
                list->SelectRow(2, true);
                Keep(std::move(list));
            }
        }
    }

    UINT m_nNextId = 2000;
    std::vector<std::unique_ptr<CWnd>> m_controls;
};

} // namespace

int main(int argc, char** argv)
{
    CGalleryWnd gallery;
    if (!gallery.Create())
        return 1;
    if (argc > 1) {
        int seconds = std::atoi(argv[1]);
        if (seconds > 0)
            gallery.SetTimer(TIMER_CLOSE, static_cast<UINT>(seconds) * 1000);
    }
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!CWnd::WalkPreTranslateTree(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    return 0;
}
