// The widgets give back every GDI object and device context they make while painting.

#include "WidgetTestSupport.h"
#include "controls/MyComboBox.h"
#include "controls/MyListBox.h"
#include "controls/MyProgressCtrl.h"
#include "controls/MySliderCtrl.h"
#include "platform/CGdiCount.h"

namespace {

// Counts the paints that reach the control, so that the test knows they happened.
template <class T> class CPaintCounted : public T {
  public:
    int m_nPaints = 0;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_PAINT)
            ++m_nPaints;
        return T::WindowProc(message, wParam, lParam);
    }
};

class GdiTest : public CWidgetTest {
  protected:
    // Repaints through WM_PAINT and WM_PRINTCLIENT, once to warm up the process-wide pens, then
    // repeatedly; the live handle count must come back to where it was.
    template <class T> void ExpectNoLeak(CPaintCounted<T>& control, void (*vary)(T&, int))
    {
        auto paint = [&] {
            control.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
            Capture(control);
        };
        paint();
        long nStart = CGdiCount::Live();
        int nPaintsBefore = control.m_nPaints;
        for (int i = 0; i < 20; ++i) {
            vary(control, i);
            paint();
        }
        EXPECT_GE(control.m_nPaints - nPaintsBefore, 20);
        EXPECT_EQ(CGdiCount::Live(), nStart);
    }

    CTempDir m_dir;
};

TEST_F(GdiTest, ComboBoxPaintsDoNotLeak)
{
    CPaintCounted<CMyComboBox> combo;
    ASSERT_TRUE(combo.SubclassDlgItem(IDC_WIDGET_COMBO, &m_dialog));
    combo.AddString(L"one");
    combo.SetCurSel(0);
    std::wstring thumb = m_dir.Path() + L"thumb.bmp";
    WriteSolidBmp(thumb, 15, 16, RGB(10, 200, 10));
    std::wstring missing = m_dir.Path() + L"missing.bmp";
    combo.SetThumbImages(missing, thumb, missing);
    // Drawn thumbs, a file thumb, a resource thumb, disabled, focused and hovered states.
    ExpectNoLeak<CMyComboBox>(combo, [](CMyComboBox& c, int i) {
        c.EnableWindow(i % 3 != 1);
        c.SetThumbIds(i % 4 == 2 ? IDB_WIDGET_THUMB : -1, -1, -1);
        c.SendMessage(i % 2 ? WM_MOUSEMOVE : WM_MOUSELEAVE, 0, MAKELPARAM(3, 3));
        if (i % 5 == 0)
            c.SetFocus();
    });
}

TEST_F(GdiTest, SliderPaintsDoNotLeak)
{
    CPaintCounted<CMySliderCtrl> slider;
    ASSERT_TRUE(slider.SubclassDlgItem(IDC_WIDGET_HSLIDER, &m_dialog));
    slider.SetRange(0, 100, TRUE);
    std::wstring channel = m_dir.Path() + L"channel.bmp";
    WriteSolidBmp(channel, 10, 4, RGB(1, 100, 200));
    slider.SetSliderImages(channel, L"", m_dir.Path() + L"missing.png");
    ExpectNoLeak<CMySliderCtrl>(slider, [](CMySliderCtrl& s, int i) {
        s.SetSliderPos(i * 5);
        s.SetThumbShape(i % 2);
    });
}

TEST_F(GdiTest, ListBoxPaintsDoNotLeak)
{
    CPaintCounted<CMyListBox> list;
    ASSERT_TRUE(list.SubclassDlgItem(IDC_WIDGET_LISTBOX, &m_dialog));
    for (const wchar_t* text : {L"a", L"b", L"c"})
        list.AddString(text);
    ExpectNoLeak<CMyListBox>(list, [](CMyListBox& l, int i) {
        l.SelectItem(i % 3);
        l.SetDrawFlags(i % 2 ? CMyListBox::DRAW_GRADIENT : CMyListBox::DRAW_FOCUS_RECT);
        l.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(5, 2 + 3 * i));
        l.EnableWindow(i % 4 != 3);
    });
}

TEST_F(GdiTest, ProgressPaintsDoNotLeak)
{
    CPaintCounted<CMyProgressCtrl> progress;
    ASSERT_TRUE(progress.SubclassDlgItem(IDC_WIDGET_PROGRESS, &m_dialog));
    ExpectNoLeak<CMyProgressCtrl>(
        progress, [](CMyProgressCtrl& p, int i) { p.SetPosText(i % 3 ? i * 5 : -1, L"work"); });
}

} // namespace
