// CMyButton painted through the platform's owner-draw path and checked by pixels, and its
// mouse states, clicks and caption.

#include "ButtonTestSupport.h"

#include "controls/MyButton.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const COLORREF FRAME = RGB(80, 120, 150);
const COLORREF GRAD_TOP = RGB(255, 255, 255);
const COLORREF GRAD_BOTTOM = RGB(180, 210, 250);
const COLORREF OVER_TOP = RGB(180, 210, 250);
const COLORREF OVER_BOTTOM = RGB(255, 255, 225);
const COLORREF HOLD = RGB(0, 0, 240);
const COLORREF HOLD_FRAME = RGB(240, 240, 240);
const COLORREF BACKGROUND = RGB(255, 0, 255);

// A default-looking push button of 100 x 30 on a host window.
class ButtonDraw : public testing::Test {
  protected:
    void SetUp() override
    {
        CMyButton::LoadDefaults(L"C:\\no\\such\\dir\\ButtonDefault.ini");
        ASSERT_TRUE(
            m_button.Create(L"", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, {20, 20, 120, 50}, &m_host, ID));
        m_button.SetFont(static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT)));
    }
    void Hover() { m_button.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(50, 15)); }
    // The columns that hold caption pixels of the given test.
    static RECT InkBounds(const CPixelCanvas& canvas, bool (*ink)(COLORREF))
    {
        RECT r{canvas.Width(), canvas.Height(), -1, -1};
        for (int y = 1; y < canvas.Height() - 1; ++y)
            for (int x = 1; x < canvas.Width() - 1; ++x)
                if (ink(canvas.Pixel(x, y))) {
                    r.left = std::min<LONG>(r.left, x);
                    r.top = std::min<LONG>(r.top, y);
                    r.right = std::max<LONG>(r.right, x);
                    r.bottom = std::max<LONG>(r.bottom, y);
                }
        return r;
    }

    static constexpr int ID = 1001;
    CButtonHost& m_host = SharedHost();
    CMyButton m_button;
};

TEST_F(ButtonDraw, AttachingMakesItOwnerDrawn)
{
    EXPECT_EQ(m_button.GetStyle() & BS_TYPEMASK, static_cast<DWORD>(BS_OWNERDRAW));
    EXPECT_TRUE(m_button.GetStyle() & WS_VISIBLE);
}

TEST_F(ButtonDraw, NormalFrameAndGradient)
{
    auto c = Render(m_button);
    // The one-pixel frame all round.
    for (POINT p : {POINT{50, 0}, POINT{50, 29}, POINT{0, 15}, POINT{99, 15}, POINT{0, 0}, POINT{99, 29}})
        EXPECT_EQ(c->Pixel(p.x, p.y), FRAME) << p.x << "," << p.y;
    // Inside: top to bottom from the first colour to the second.
    EXPECT_EQ(c->Pixel(50, 1), GRAD_TOP);
    EXPECT_EQ(c->Pixel(1, 1), GRAD_TOP);
    EXPECT_TRUE(Near(c->Pixel(50, 28), GRAD_BOTTOM, 8)) << std::hex << c->Pixel(50, 28);
    COLORREF middle = c->Pixel(50, 15);
    EXPECT_TRUE(Near(middle, RGB(217, 232, 252), 10)) << std::hex << middle;
    // One gradient row is one colour.
    EXPECT_EQ(c->Pixel(5, 10), c->Pixel(90, 10));
}

TEST_F(ButtonDraw, HoverUsesTheHoverColours)
{
    Hover();
    EXPECT_TRUE(m_button.IsOver());
    auto c = Render(m_button);
    EXPECT_EQ(c->Pixel(50, 0), FRAME);
    EXPECT_EQ(c->Pixel(50, 1), OVER_TOP);
    EXPECT_TRUE(Near(c->Pixel(50, 28), OVER_BOTTOM, 8));

    m_button.SendMessage(WM_MOUSELEAVE);
    EXPECT_FALSE(m_button.IsOver());
    EXPECT_EQ(Render(m_button)->Pixel(50, 1), GRAD_TOP);
}

TEST_F(ButtonDraw, CheckedUsesTheHoldColoursAndText)
{
    m_button.SetWindowText(L"Off");
    m_button.SetHoldText(L"ON");
    m_button.SetChecked(true);
    auto c = Render(m_button);
    EXPECT_EQ(c->Pixel(50, 0), HOLD_FRAME);
    EXPECT_EQ(c->Pixel(2, 2), HOLD);
    EXPECT_EQ(c->Pixel(2, 27), HOLD);
    // The hold caption is drawn light on the blue face.
    auto light = [](COLORREF p) { return Near(p, RGB(240, 240, 240), 30); };
    EXPECT_GT(c->Count({1, 1, 99, 29}, light), 5);

    // It is the hold text: the same face drawn with "ON" as the caption and no hold text, pixel
    // for pixel; with "Off" as the caption it differs.
    auto sameAs = [&](const wchar_t* caption) {
        m_button.SetHoldText(L"");
        m_button.SetWindowText(caption);
        auto expected = Render(m_button);
        m_button.SetWindowText(L"Off");
        m_button.SetHoldText(L"ON");
        int differing = 0;
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 100; ++x)
                differing += expected->Pixel(x, y) != c->Pixel(x, y);
        return differing;
    };
    EXPECT_EQ(sameAs(L"ON"), 0);
    EXPECT_GT(sameAs(L"Off"), 0);
}

TEST_F(ButtonDraw, RoundedCornersKeepTheBackground)
{
    m_button.SetRound(10, 10);
    auto c = Render(m_button, BACKGROUND);
    EXPECT_EQ(c->Pixel(0, 0), BACKGROUND);
    EXPECT_EQ(c->Pixel(99, 29), BACKGROUND);
    EXPECT_EQ(c->Pixel(50, 0), FRAME);
    EXPECT_EQ(c->Pixel(50, 29), FRAME);
    EXPECT_EQ(c->Pixel(0, 15), FRAME);
    EXPECT_EQ(c->Pixel(99, 15), FRAME);
    EXPECT_EQ(c->Pixel(50, 1), GRAD_TOP);
}

TEST_F(ButtonDraw, PressedMovesTheCaption)
{
    m_button.SetWindowText(L"Go");
    // Pressing also hovers: compare with the hovered caption, drawn in the hover colour (blue).
    auto blue = [](COLORREF p) { return GetBValue(p) > 200 && GetRValue(p) < 60; };
    Hover();
    RECT normal = InkBounds(*Render(m_button), blue);
    ASSERT_GE(normal.right, 0) << "no caption drawn";
    m_button.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 15));
    EXPECT_TRUE(m_button.IsPressed());
    RECT pressed = InkBounds(*Render(m_button), blue);
    EXPECT_EQ(pressed.left, normal.left + 2);
    EXPECT_EQ(pressed.top, normal.top + 2);
    m_button.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(50, 15));
    EXPECT_FALSE(m_button.IsPressed());
    EXPECT_EQ(m_host.CountCommands(ID, BN_CLICKED), 1);
}

TEST_F(ButtonDraw, DisabledCaptionIsGreyWithAWhiteShadow)
{
    m_button.SetWindowText(L"Stop");
    m_button.EnableWindow(FALSE);
    auto c = Render(m_button);
    RECT all{1, 1, 99, 29};
    EXPECT_GT(c->Count(all, [](COLORREF p) { return p == RGB(128, 128, 128); }), 5);
    EXPECT_EQ(c->Count(all, IsDark), 0);
    RECT grey = InkBounds(*c, [](COLORREF p) { return p == RGB(128, 128, 128); });
    // The white copy lies 2 pixels right and down: on the light gradient it shows below the grey.
    EXPECT_GT(c->Count({grey.left, grey.bottom + 1, grey.right + 3, grey.bottom + 3},
                       [](COLORREF p) { return p == RGB(255, 255, 255); }),
              0);
}

TEST_F(ButtonDraw, CaptionChangeIsRepainted)
{
    m_button.SetWindowText(L"I");
    RECT narrow = InkBounds(*Render(m_button), IsInk);
    m_button.SetWindowText(L"WWWWWW");
    RECT wide = InkBounds(*Render(m_button), IsInk);
    EXPECT_GT(wide.right - wide.left, narrow.right - narrow.left + 20);
    // Centred either way.
    EXPECT_NEAR((narrow.left + narrow.right) / 2, 50, 3);
    EXPECT_NEAR((wide.left + wide.right) / 2, 50, 3);
    // The window was invalidated, so the screen catches up on the next paint.
    RECT update{};
    EXPECT_TRUE(::GetUpdateRect(m_button, &update, FALSE));
}

TEST_F(ButtonDraw, TwoLineCaptionIsTwoCentredLines)
{
    m_button.MoveWindow(20, 20, 100, 60);
    m_button.SetWindowText(L"AB\r\nCD");
    auto c = Render(m_button);
    std::vector<int> rows;
    for (int y = 1; y < 59; ++y)
        if (c->Count({1, y, 99, y + 1}, IsInk) > 0)
            rows.push_back(y);
    ASSERT_FALSE(rows.empty());
    int bands = 1;
    for (size_t i = 1; i < rows.size(); ++i)
        bands += rows[i] > rows[i - 1] + 1 ? 1 : 0;
    std::string seen;
    for (int y : rows)
        seen += std::to_string(y) + " ";
    EXPECT_EQ(bands, 2) << "rows with ink: " << seen;
    EXPECT_NEAR((rows.front() + rows.back()) / 2, 30, 3);
    RECT ink = InkBounds(*c, IsInk);
    EXPECT_NEAR((ink.left + ink.right) / 2, 50, 3);
}

TEST_F(ButtonDraw, UnderlineOnlyWhileHovered)
{
    CMyButton::SetDefaultFontStyle(-1, true, false, false);
    CMyButton underlined;
    CMyButton::SetDefaultFontStyle(-1, false, false, false);
    ASSERT_TRUE(
        underlined.Create(L"ace", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, {20, 60, 120, 90}, &m_host, 1002));
    underlined.SetFont(static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT)));
    underlined.SetOverColors(BUTTON_KEEP_COLOR, BUTTON_KEEP_COLOR, RGB(0, 0, 0), BUTTON_KEEP_COLOR);
    RECT plain = InkBounds(*Render(underlined), IsInk);
    underlined.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(50, 15));
    RECT hovered = InkBounds(*Render(underlined), IsInk);
    EXPECT_GT(hovered.bottom, plain.bottom);
    // The same caption without the setting is not underlined while hovered.
    m_button.SetWindowText(L"ace");
    m_button.SetOverColors(BUTTON_KEEP_COLOR, BUTTON_KEEP_COLOR, RGB(0, 0, 0), BUTTON_KEEP_COLOR);
    RECT before = InkBounds(*Render(m_button), IsInk);
    Hover();
    EXPECT_EQ(InkBounds(*Render(m_button), IsInk).bottom, before.bottom);
}

TEST_F(ButtonDraw, ToggleInvertsOnEveryPress)
{
    m_button.SetToggle(true);
    for (bool expected : {true, false, true}) {
        m_button.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
        m_button.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
        EXPECT_EQ(m_button.GetChecked(), expected);
    }
    m_button.SetChecked(true);
    EXPECT_EQ(Render(m_button)->Pixel(2, 2), HOLD);
    EXPECT_EQ(m_host.CountCommands(ID, BN_CLICKED), 3);
}

TEST_F(ButtonDraw, FaceImageIsDrawnAndAMissingOneFallsBackForGood)
{
    CScratchFile face(L".bmp");
    WriteSolidBmp(face.Path(), 100, 30, RGB(0, 200, 0));
    m_button.SetImages(face.Path().c_str());
    EXPECT_TRUE(m_button.IsUsingImages());
    EXPECT_EQ(Render(m_button)->Pixel(50, 15), RGB(0, 200, 0));

    ::DeleteFileW(face.Path().c_str());
    auto c = Render(m_button);
    EXPECT_FALSE(m_button.IsUsingImages());
    EXPECT_EQ(c->Pixel(50, 0), FRAME);
    EXPECT_EQ(c->Pixel(50, 1), GRAD_TOP);
    // Even when the file comes back, the button stays a gradient button.
    WriteSolidBmp(face.Path(), 100, 30, RGB(0, 200, 0));
    EXPECT_EQ(Render(m_button)->Pixel(50, 1), GRAD_TOP);
}

TEST_F(ButtonDraw, ImagesThatDoNotExistLeaveTheGradient)
{
    m_button.SetImages(L"C:\\no\\such\\face.png", L"nor-this-one.png");
    EXPECT_FALSE(m_button.IsUsingImages());
    EXPECT_EQ(Render(m_button)->Pixel(50, 1), GRAD_TOP);
}

TEST_F(ButtonDraw, ToolTipFollowsTheCaption)
{
    m_button.SetWindowText(L"Rescan");
    EXPECT_EQ(m_button.GetToolTip().EffectiveText(m_button), L"Rescan");
    m_button.SetToolTip(L"Search the network");
    EXPECT_EQ(m_button.GetToolTip().EffectiveText(m_button), L"Search the network");
    m_button.SetToolTip(L"");
    EXPECT_EQ(m_button.GetToolTip().EffectiveText(m_button), L"");
    m_button.SetToolTip(nullptr);
    EXPECT_EQ(m_button.GetToolTip().EffectiveText(m_button), L"Rescan");
    // A caption change puts the caption back as the tip.
    m_button.SetToolTip(L"Own");
    m_button.SetWindowText(L"Again");
    EXPECT_EQ(m_button.GetToolTip().EffectiveText(m_button), L"Again");

    // Timer 1 makes the tip window.
    ::Sleep(150);
    PumpPending();
    ASSERT_NE(m_button.GetToolTip().GetCtrl(), nullptr);
    EXPECT_TRUE(m_button.GetToolTip().GetCtrl()->IsWindow());
}

TEST(ButtonList, LiveButtonsAreCounted)
{
    size_t start = CMyButton::GetLiveCount();
    {
        CMyButton a;
        CMyButton b;
        EXPECT_EQ(CMyButton::GetLiveCount(), start + 2);
    }
    EXPECT_EQ(CMyButton::GetLiveCount(), start);
}

} // namespace
