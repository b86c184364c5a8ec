// The focus drawn on the owner-drawn push buttons and check boxes: a focus rectangle while the
// control has the focus, none while the window hides keyboard cues.

#include "ButtonTestSupport.h"

#include "controls/MyButton.h"
#include "controls/MyCheckButton.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// Pixels that differ between two paintings of one control.
int Differing(const CPixelCanvas& a, const CPixelCanvas& b)
{
    int n = 0;
    for (int y = 0; y < a.Height() && y < b.Height(); ++y)
        for (int x = 0; x < a.Width() && x < b.Width(); ++x)
            n += a.Pixel(x, y) != b.Pixel(x, y);
    return n;
}

class FocusDraw : public testing::Test {
  protected:
    void SetUp() override
    {
        CMyButton::LoadDefaults(L"C:\\no\\such\\dir\\ButtonDefault.ini");
        ASSERT_TRUE(m_button.Create(L"Rescan", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                                    {20, 20, 120, 50}, &m_host, 1001));
        ASSERT_TRUE(m_check.Create(L"Set On Top", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX,
                                   {20, 60, 140, 76}, &m_host, 1002));
        for (CWnd* p : {static_cast<CWnd*>(&m_button), static_cast<CWnd*>(&m_check)})
            p->SetFont(static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT)));
        ::SetForegroundWindow(m_host.m_hWnd);
    }
    // Pixels that change when the control gets the focus.
    static int FocusMarks(CWnd& control)
    {
        ::SetFocus(nullptr);
        PumpPending();
        auto without = Render(control.m_hWnd);
        control.SetFocus();
        PumpPending();
        auto with = Render(control.m_hWnd);
        ::SetFocus(nullptr);
        PumpPending();
        return Differing(*without, *with);
    }

    // The control's pixels when its parent asks it to draw itself with the item state.
    std::vector<COLORREF> DrawnAs(CWnd& control, UINT itemState)
    {
        RECT rc{};
        control.GetClientRect(&rc);
        HDC hScreen = ::GetDC(control.m_hWnd);
        HDC hMem = ::CreateCompatibleDC(hScreen);
        HBITMAP hBitmap = ::CreateCompatibleBitmap(hScreen, rc.right, rc.bottom);
        HGDIOBJ hOld = ::SelectObject(hMem, hBitmap);
        ::PatBlt(hMem, 0, 0, rc.right, rc.bottom, WHITENESS);
        DRAWITEMSTRUCT dis{};
        dis.CtlType = ODT_BUTTON;
        dis.CtlID = static_cast<UINT>(control.GetDlgCtrlID());
        dis.itemAction = ODA_DRAWENTIRE;
        dis.itemState = itemState;
        dis.hwndItem = control.m_hWnd;
        dis.hDC = hMem;
        dis.rcItem = rc;
        m_host.SendMessage(WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
        std::vector<COLORREF> pixels;
        for (int y = 0; y < rc.bottom; ++y)
            for (int x = 0; x < rc.right; ++x)
                pixels.push_back(::GetPixel(hMem, x, y));
        ::SelectObject(hMem, hOld);
        ::DeleteObject(hBitmap);
        ::DeleteDC(hMem);
        ::ReleaseDC(control.m_hWnd, hScreen);
        return pixels;
    }

    CButtonHost& m_host = SharedHost();
    CMyButton m_button;
    CMyCheckButton m_check;
};

TEST_F(FocusDraw, FocusedControlsDrawAFocusRectangle)
{
    EXPECT_GT(FocusMarks(m_button), 40) << "push button";
    EXPECT_GT(FocusMarks(m_check), 40) << "check box";
}

// The item states a button's owner-draw request carries: focused with the cues shown, focused with
// the cues hidden (ODS_NOFOCUSRECT, what the platform sets under UISF_HIDEFOCUS), not focused.
TEST_F(FocusDraw, HiddenKeyboardCuesHideIt)
{
    for (CWnd* p : {static_cast<CWnd*>(&m_button), static_cast<CWnd*>(&m_check)}) {
        SCOPED_TRACE(p == &m_button ? "push button" : "check box");
        const auto shown = DrawnAs(*p, ODS_FOCUS);
        const auto hidden = DrawnAs(*p, ODS_FOCUS | ODS_NOFOCUSRECT);
        const auto none = DrawnAs(*p, 0);
        EXPECT_NE(shown, none) << "no focus rectangle";
        EXPECT_EQ(hidden, none) << "a focus rectangle although the window hides keyboard cues";
    }
}

} // namespace
