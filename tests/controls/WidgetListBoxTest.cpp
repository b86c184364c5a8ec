// CMyListBox: the styles attaching adds, the item height answer, hover tracking, selection and the
// per-state drawing.

#include "WidgetTestSupport.h"
#include "controls/MyListBox.h"

namespace {

class ListBoxTest : public CWidgetTest {
  protected:
    void SetUp() override
    {
        CWidgetTest::SetUp();
        ASSERT_TRUE(m_list.SubclassDlgItem(IDC_WIDGET_LISTBOX, &m_dialog));
        for (const wchar_t* text : {L"alpha", L"beta", L"gamma", L"delta"})
            m_list.AddString(text);
        m_list.SetItemHeight(20);
    }
    POINT ItemCentre(int nIndex) const
    {
        RECT rc{};
        m_list.GetItemRect(nIndex, &rc);
        return {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    }
    void Move(POINT pt) { m_list.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(pt.x, pt.y)); }

    CMyListBox m_list;
};

TEST_F(ListBoxTest, AttachingAddsTheOwnerDrawStylesAndKeepsTheOthers)
{
    DWORD style = m_list.GetStyle();
    EXPECT_EQ(style & 0x151u, 0x151u);
    EXPECT_EQ(CMyListBox::ATTACH_STYLES, 0x151u);
    EXPECT_TRUE(style & WS_TABSTOP);
}

TEST_F(ListBoxTest, ItemHeightSetterIgnoresValuesOfZeroAndBelow)
{
    struct Case {
        int nSet, nExpected;
    };
    const Case cases[] = {{24, 24}, {0, 24}, {-5, 24}, {1, 1}, {31, 31}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nSet);
        m_list.SetItemHeight(c.nSet);
        EXPECT_EQ(m_list.GetItemHeight(), c.nExpected);
        EXPECT_EQ(m_list.GetItemHeight(0), c.nExpected);
        // The platform's height request, as the parent receives it.
        MEASUREITEMSTRUCT mis{ODT_LISTBOX, IDC_WIDGET_LISTBOX, 0, 0, 3, 0};
        m_dialog.SendMessage(WM_MEASUREITEM, IDC_WIDGET_LISTBOX, reinterpret_cast<LPARAM>(&mis));
        EXPECT_EQ(mis.itemHeight, static_cast<UINT>(c.nExpected));
    }
}

TEST_F(ListBoxTest, HoverFollowsTheMouseAndEndsWhenItLeaves)
{
    EXPECT_EQ(m_list.GetHoverIndex(), -1);
    Move(ItemCentre(2));
    EXPECT_EQ(m_list.GetHoverIndex(), 2);
    Move(ItemCentre(0));
    EXPECT_EQ(m_list.GetHoverIndex(), 0);
    // Below the last item there is no item.
    RECT last{};
    m_list.GetItemRect(3, &last);
    ASSERT_LT(last.bottom + 5, ClientSize(m_list).cy);
    Move({10, last.bottom + 5});
    EXPECT_EQ(m_list.GetHoverIndex(), -1);
    Move(ItemCentre(3));
    EXPECT_EQ(m_list.GetHoverIndex(), 3);
    m_list.SendMessage(WM_MOUSELEAVE);
    EXPECT_EQ(m_list.GetHoverIndex(), -1);
    // Emptying the box forgets the hovered item.
    Move(ItemCentre(3));
    m_list.ResetContent();
    EXPECT_EQ(m_list.GetHoverIndex(), -1);
}

TEST_F(ListBoxTest, SelectItemSelectsInSingleAndMultipleSelectionBoxes)
{
    m_list.SelectItem(2);
    EXPECT_EQ(m_list.GetSelectedItem(), 2);
    EXPECT_EQ(m_list.GetCurSel(), 2);

    CMyListBox multi;
    ASSERT_TRUE(multi.SubclassDlgItem(IDC_WIDGET_LISTBOX_MULTI, &m_dialog));
    multi.AddString(L"one");
    multi.AddString(L"two");
    multi.AddString(L"three");
    multi.SelectItem(0);
    multi.SelectItem(2);
    EXPECT_EQ(multi.GetSelectedItem(), 2);
    EXPECT_GT(multi.GetSel(0), 0);
    EXPECT_GT(multi.GetSel(2), 0);
    EXPECT_EQ(multi.GetSel(1), 0);
}

TEST_F(ListBoxTest, ItemsAreDrawnInTheirStateColours)
{
    m_list.SetDrawFlags(0); // solid backgrounds, no focus rectangle
    const CMyListBox::StateColors normal = {RGB(250, 250, 250), RGB(0, 0, 0), CLR_NONE, RGB(250, 250, 250)};
    const CMyListBox::StateColors selected = {RGB(10, 20, 200), RGB(255, 255, 255), RGB(0, 0, 90),
                                              RGB(10, 20, 200)};
    const CMyListBox::StateColors hover = {RGB(200, 230, 10), RGB(0, 0, 0), CLR_NONE, RGB(200, 230, 10)};
    const CMyListBox::StateColors disabled = {RGB(128, 128, 128), RGB(60, 60, 60), CLR_NONE,
                                              RGB(128, 128, 128)};
    m_list.SetStateColors(CMyListBox::STATE_NORMAL, normal);
    m_list.SetStateColors(CMyListBox::STATE_SELECTED, selected);
    m_list.SetStateColors(CMyListBox::STATE_HOVER, hover);
    m_list.SetStateColors(CMyListBox::STATE_DISABLED, disabled);
    m_list.SetStateColors(7, disabled); // ignored
    EXPECT_EQ(m_list.GetStateColors(CMyListBox::STATE_NORMAL).clrBk, normal.clrBk);

    // A point inside the item but clear of its text and frame.
    auto probe = [&](int nIndex) {
        RECT rc{};
        m_list.GetItemRect(nIndex, &rc);
        return POINT{rc.right - 3, rc.top + 2};
    };
    m_list.SelectItem(1);
    Move(ItemCentre(2));
    auto canvas = Capture(m_list);
    POINT p0 = probe(0), p1 = probe(1), p2 = probe(2);
    EXPECT_EQ(canvas->Pixel(p0.x, p0.y), normal.clrBk);
    EXPECT_EQ(canvas->Pixel(p1.x, p1.y), selected.clrBk);
    RECT rc1{};
    m_list.GetItemRect(1, &rc1);
    EXPECT_EQ(canvas->Pixel(rc1.left, rc1.top + 5), selected.clrFrame);
    EXPECT_EQ(canvas->Pixel(p2.x, p2.y), hover.clrBk);
    // Below the items: the normal background.
    EXPECT_EQ(canvas->Pixel(5, ClientSize(m_list).cy - 2), normal.clrBk);

    m_list.EnableWindow(FALSE);
    auto off = Capture(m_list);
    EXPECT_EQ(off->Pixel(p1.x, p1.y), disabled.clrBk);
    EXPECT_EQ(off->Pixel(p2.x, p2.y), disabled.clrBk);
}

TEST_F(ListBoxTest, MissingImagesLeaveTheColoursAndLoadedOnesAreDrawn)
{
    m_list.SetDrawFlags(0);
    CTempDir dir;
    std::wstring missing = dir.Path() + L"none.bmp";
    m_list.SetBkImage(missing);
    m_list.SetItemImages(missing, missing, missing);
    auto canvas = Capture(m_list);
    RECT rc{};
    m_list.GetItemRect(0, &rc);
    EXPECT_EQ(canvas->Pixel(rc.right - 3, rc.top + 2), m_list.GetStateColors(CMyListBox::STATE_NORMAL).clrBk);

    std::wstring item = dir.Path() + L"item.bmp";
    WriteSolidBmp(item, 10, 10, RGB(33, 66, 99));
    m_list.SetItemImages(item, missing, missing);
    auto drawn = Capture(m_list);
    EXPECT_TRUE(Near(drawn->Pixel(rc.right - 3, rc.top + 2), RGB(33, 66, 99), 4));
}

} // namespace
