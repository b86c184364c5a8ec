// CMyCheckButton: the drawn box, tick and radio dot by pixels; clicks, keys, radio groups and
// the check state that the control keeps itself.

#include "ButtonTestSupport.h"

#include "controls/MyCheckButton.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

const COLORREF WHITE = RGB(255, 255, 255);
const COLORREF BLACK = RGB(0, 0, 0);
const COLORREF HOVER_MARK = RGB(160, 160, 160);
const COLORREF OVER_TEXT = RGB(0, 0, 255);

class CheckButton : public testing::Test {
  protected:
    // A control of 120 x 16 at y; no caption unless given.
    std::unique_ptr<CMyCheckButton> Make(DWORD style, int id, int y, LPCWSTR caption = L"", int height = 16)
    {
        auto p = std::make_unique<CMyCheckButton>();
        EXPECT_TRUE(p->Create(caption, WS_CHILD | WS_VISIBLE | style, {10, y, 130, y + height}, &m_host,
                              static_cast<UINT>(id)));
        p->SetFont(static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT)));
        return p;
    }
    static void Click(CMyCheckButton& b, int x = 5, int y = 5)
    {
        b.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        b.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    }

    CButtonHost& m_host = SharedHost();
};

// Box of a 16-pixel item: the square x 1..16, y 0..15; its outline shrunk by 2 is x 3..14,
// y 2..13; the mark inside shrunk by 3 more is x 6..11, y 5..10.
TEST_F(CheckButton, UncheckedBoxIsAnOutline)
{
    auto box = Make(BS_AUTOCHECKBOX, 200, 10);
    EXPECT_FALSE(box->IsRadio());
    EXPECT_EQ(box->GetStyle() & BS_TYPEMASK, static_cast<DWORD>(BS_OWNERDRAW));
    auto c = Render(*box, WHITE);
    for (POINT p : {POINT{3, 2}, POINT{14, 2}, POINT{3, 13}, POINT{14, 13}, POINT{8, 2}, POINT{3, 8},
                    POINT{14, 8}, POINT{8, 13}})
        EXPECT_EQ(c->Pixel(p.x, p.y), BLACK) << p.x << "," << p.y;
    EXPECT_EQ(c->Pixel(8, 8), WHITE);
    EXPECT_EQ(c->Pixel(2, 8), WHITE);
    EXPECT_EQ(c->Pixel(15, 8), WHITE);
    EXPECT_EQ(c->Count({4, 3, 14, 13}, IsDark), 0);
}

TEST_F(CheckButton, CheckedBoxHasAFilledMark)
{
    auto box = Make(BS_AUTOCHECKBOX, 200, 10);
    box->SendMessage(BM_SETCHECK, BST_CHECKED);
    auto c = Render(*box, WHITE);
    EXPECT_EQ(c->Count({6, 5, 12, 11}, [](COLORREF p) { return p == BLACK; }), 36);
    // The gap between outline and mark.
    EXPECT_EQ(c->Pixel(4, 8), WHITE);
    EXPECT_EQ(c->Pixel(5, 8), WHITE);
    EXPECT_EQ(c->Pixel(12, 8), WHITE);
    EXPECT_EQ(c->Pixel(3, 8), BLACK);
}

TEST_F(CheckButton, HoverShowsAGreyMarkAndTheHoverColour)
{
    auto box = Make(BS_AUTOCHECKBOX, 200, 10);
    box->SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    ASSERT_TRUE(box->IsOver());
    auto c = Render(*box, WHITE);
    EXPECT_EQ(c->Pixel(8, 8), HOVER_MARK);
    EXPECT_EQ(c->Pixel(3, 8), OVER_TEXT);
    // Checked and hovered: the mark in the hover colour.
    box->SendMessage(BM_SETCHECK, BST_CHECKED);
    EXPECT_EQ(Render(*box, WHITE)->Pixel(8, 8), OVER_TEXT);
}

TEST_F(CheckButton, BoxColoursFillTheSquare)
{
    auto box = Make(BS_AUTOCHECKBOX, 200, 10);
    box->SetCheckBoxColor(RGB(255, 255, 0), CHECK_STATE_ON);
    box->SetCheckBoxColor(RGB(0, 255, 255), CHECK_STATE_OFF);
    EXPECT_EQ(Render(*box, WHITE)->Pixel(1, 0), RGB(0, 255, 255));
    box->SendMessage(BM_SETCHECK, BST_CHECKED);
    auto c = Render(*box, WHITE);
    EXPECT_EQ(c->Pixel(1, 0), RGB(255, 255, 0));
    EXPECT_EQ(c->Pixel(16, 15), RGB(255, 255, 0));
    EXPECT_EQ(c->Pixel(17, 8), WHITE);
}

TEST_F(CheckButton, BoxOnTheRight)
{
    auto left = Make(BS_AUTOCHECKBOX | BS_LEFTTEXT, 200, 10);
    // The square x 103..118 (one pixel in from the right edge), outline at x 105 and 116.
    auto c = Render(*left, WHITE);
    EXPECT_EQ(c->Pixel(105, 8), BLACK);
    EXPECT_EQ(c->Pixel(116, 8), BLACK);
    EXPECT_EQ(c->Pixel(3, 8), WHITE);
    auto set = Make(BS_AUTOCHECKBOX, 201, 40);
    set->SetBoxRight(true);
    EXPECT_EQ(Render(*set, WHITE)->Pixel(105, 8), BLACK);
}

TEST_F(CheckButton, CaptionBesideTheBox)
{
    auto box = Make(BS_AUTOCHECKBOX, 200, 10, L"Select all");
    auto c = Render(*box, WHITE);
    EXPECT_GT(c->Count({20, 0, 120, 16}, IsDark), 10);
    EXPECT_EQ(c->Count({17, 0, 19, 16}, IsDark), 0); // 3 pixels of space after the box
    box->EnableWindow(FALSE);
    auto d = Render(*box, WHITE);
    EXPECT_GT(d->Count({20, 0, 120, 16}, [](COLORREF p) { return p == RGB(128, 128, 128); }), 10);
    EXPECT_EQ(d->Count({20, 0, 120, 16}, IsDark), 0);
}

TEST_F(CheckButton, RadioIsAnAntiAliasedCircleWithADot)
{
    auto radio = Make(BS_AUTORADIOBUTTON, 300, 10);
    EXPECT_TRUE(radio->IsRadio());
    auto c = Render(*radio, WHITE);
    // The circle in the outline square x 3..14, y 2..13: its sides are drawn, its corners not.
    EXPECT_FALSE(Near(c->Pixel(3, 8), WHITE, 40));
    EXPECT_FALSE(Near(c->Pixel(8, 2), WHITE, 40));
    EXPECT_TRUE(Near(c->Pixel(3, 2), WHITE, 40));
    EXPECT_TRUE(Near(c->Pixel(14, 13), WHITE, 40));
    EXPECT_EQ(c->Pixel(8, 8), WHITE);
    // Anti-aliasing leaves intermediate greys on the curve.
    EXPECT_GT(c->Count({2, 1, 16, 15}, [](COLORREF p) { return !Near(p, WHITE, 10) && !Near(p, BLACK, 10); }),
              4);

    radio->SendMessage(BM_SETCHECK, BST_CHECKED);
    auto d = Render(*radio, WHITE);
    EXPECT_TRUE(Near(d->Pixel(8, 7), BLACK, 30));
    EXPECT_TRUE(Near(d->Pixel(9, 8), BLACK, 30));
    EXPECT_TRUE(Near(d->Pixel(4, 8), WHITE, 60)); // the ring between circle and dot
}

TEST_F(CheckButton, DisabledRadioOutlineIsGrey)
{
    auto radio = Make(BS_AUTORADIOBUTTON, 300, 10);
    radio->EnableWindow(FALSE);
    auto c = Render(*radio, WHITE);
    EXPECT_EQ(c->Count({2, 1, 16, 15}, IsDark), 0);
    EXPECT_GT(c->Count({2, 1, 16, 15}, [](COLORREF p) { return !Near(p, WHITE, 20); }), 8);
}

TEST_F(CheckButton, ClickTogglesAndNotifies)
{
    auto box = Make(BS_AUTOCHECKBOX, 200, 10);
    Click(*box);
    EXPECT_TRUE(box->IsChecked());
    EXPECT_EQ(box->SendMessage(BM_GETCHECK), BST_CHECKED);
    EXPECT_EQ(::IsDlgButtonChecked(m_host, 200), static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(m_host.CountCommands(200, BN_CLICKED), 1);
    EXPECT_EQ(Render(*box, WHITE)->Pixel(8, 8), BLACK); // the mark of the checked box
    Click(*box);
    EXPECT_FALSE(box->IsChecked());
    EXPECT_EQ(box->SendMessage(BM_GETCHECK), BST_UNCHECKED);
    EXPECT_EQ(m_host.CountCommands(200, BN_CLICKED), 2);
}

TEST_F(CheckButton, ReleaseOutsideIsNoClick)
{
    auto box = Make(BS_AUTOCHECKBOX, 200, 10);
    box->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    box->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(400, 5));
    EXPECT_FALSE(box->IsChecked());
    EXPECT_EQ(m_host.CountCommands(200, BN_CLICKED), 0);
}

TEST_F(CheckButton, SpaceReleasedTogglesLikeAClick)
{
    auto box = Make(BS_AUTOCHECKBOX | WS_TABSTOP, 200, 10);
    box->SetFocus();
    PumpPending();
    box->SendMessage(WM_KEYDOWN, VK_SPACE, 0x00390001);
    box->SendMessage(WM_KEYUP, VK_SPACE, static_cast<LPARAM>(0xC0390001u));
    PumpPending();
    EXPECT_TRUE(box->IsChecked());
    EXPECT_EQ(m_host.CountCommands(200, BN_CLICKED), 1);
}

TEST_F(CheckButton, RadioGroupIsExclusive)
{
    auto a = Make(BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 301, 10);
    auto b = Make(BS_AUTORADIOBUTTON, 302, 30);
    auto c = Make(BS_AUTORADIOBUTTON, 303, 50);
    // The next group: a radio and a check box that must not be touched.
    auto other = Make(BS_AUTORADIOBUTTON | WS_GROUP, 304, 70);
    auto box = Make(BS_AUTOCHECKBOX, 305, 90);
    other->SendMessage(BM_SETCHECK, BST_CHECKED);
    box->SendMessage(BM_SETCHECK, BST_CHECKED);

    Click(*b);
    EXPECT_TRUE(b->IsChecked());
    EXPECT_EQ(m_host.CountCommands(302, BN_CLICKED), 1);
    Click(*c);
    EXPECT_TRUE(c->IsChecked());
    EXPECT_FALSE(b->IsChecked());
    EXPECT_FALSE(a->IsChecked());
    // Clicking the checked one leaves it checked.
    Click(*c);
    EXPECT_TRUE(c->IsChecked());
    Click(*a);
    EXPECT_TRUE(a->IsChecked());
    EXPECT_FALSE(c->IsChecked());
    EXPECT_TRUE(other->IsChecked());
    EXPECT_TRUE(box->IsChecked());
    EXPECT_EQ(::IsDlgButtonChecked(m_host, 301), static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(::IsDlgButtonChecked(m_host, 303), static_cast<UINT>(BST_UNCHECKED));
}

TEST_F(CheckButton, OddHeightGrowsToEven)
{
    auto box = Make(BS_AUTOCHECKBOX, 200, 10, L"", 17);
    Render(*box, WHITE);
    RECT client{};
    box->GetClientRect(&client);
    EXPECT_EQ(client.bottom, 18);
}

TEST_F(CheckButton, ImagesDrawTheBoxAndFallBackWhenMissing)
{
    CScratchFile on(L".bmp");
    CScratchFile off(L".bmp");
    WriteSolidBmp(on.Path(), 16, 16, RGB(0, 160, 0));
    WriteSolidBmp(off.Path(), 16, 16, RGB(160, 0, 0));
    auto box = Make(BS_AUTOCHECKBOX, 200, 10);
    box->SetCheckImages(on.Path().c_str(), off.Path().c_str());
    EXPECT_EQ(Render(*box, WHITE)->Pixel(8, 8), RGB(160, 0, 0));
    box->SendMessage(BM_SETCHECK, BST_CHECKED);
    EXPECT_EQ(Render(*box, WHITE)->Pixel(8, 8), RGB(0, 160, 0));
    ::DeleteFileW(on.Path().c_str());
    auto c = Render(*box, WHITE);
    EXPECT_EQ(c->Pixel(8, 8), BLACK); // drawn mark
    EXPECT_EQ(c->Pixel(3, 8), BLACK);
}

TEST(CheckButtonDefaults, NewControlsCopyTheDefaults)
{
    CMyCheckButton::SetDefaultCheckColors(RGB(200, 0, 0), RGB(0, 0, 200), CHECK_STATE_OFF);
    CButtonHost& host = SharedHost();
    CMyCheckButton box;
    CMyCheckButton::SetDefaultCheckColors(RGB(0, 0, 0), CHECK_NO_COLOR, CHECK_STATE_OFF);
    ASSERT_TRUE(box.Create(L"", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, {10, 10, 130, 26}, &host, 210));
    auto c = Render(box, WHITE);
    EXPECT_EQ(c->Pixel(3, 8), RGB(200, 0, 0));
    EXPECT_EQ(c->Pixel(1, 0), RGB(0, 0, 200));
}

} // namespace
