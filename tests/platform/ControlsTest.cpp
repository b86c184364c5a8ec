// Control wrappers: each call must pack its arguments the way its message expects.
#include "TestDialogIds.h"
#include "TestWindows.h"

#include "platform/CButton.h"
#include "platform/CComboBox.h"
#include "platform/CEdit.h"
#include "platform/CHeaderCtrl.h"
#include "platform/CListBox.h"
#include "platform/CListCtrl.h"
#include "platform/CProgressCtrl.h"
#include "platform/CSliderCtrl.h"
#include "platform/CToolTipCtrl.h"

#include <gtest/gtest.h>

namespace {

class ControlsTest : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(m_dlg.Create(IDD_PLATFORM_TEST)); }
    CTestDialog m_dlg{IDD_PLATFORM_TEST};
};

TEST_F(ControlsTest, ListCtrlCellsColumnsAndStates)
{
    CListCtrl list;
    ASSERT_TRUE(list.SubclassDlgItem(IDC_TEST_LIST, &m_dlg));
    EXPECT_EQ(0, list.InsertColumn(0, L"A", LVCFMT_LEFT, 60));
    EXPECT_EQ(1, list.InsertColumn(1, L"B", LVCFMT_RIGHT, 70));
    EXPECT_EQ(70, list.GetColumnWidth(1));
    EXPECT_TRUE(list.SetColumnWidth(1, 80));
    EXPECT_EQ(80, list.GetColumnWidth(1));

    EXPECT_EQ(0, list.InsertItem(0, L"r0"));
    EXPECT_EQ(1, list.InsertItem(1, L"r1"));
    EXPECT_EQ(2, list.GetItemCount());
    const std::wstring longText(300, L'x');
    EXPECT_TRUE(list.SetItemText(1, 1, longText.c_str()));
    EXPECT_EQ(longText, list.GetItemText(1, 1)) << "texts longer than the first buffer come back whole";
    wchar_t cut[256];
    EXPECT_EQ(255, list.GetItemText(1, 1, cut, 256));
    EXPECT_EQ(L"r0", list.GetItemText(0, 0));

    EXPECT_TRUE(list.SetItemData(1, 0xC0FFEE));
    EXPECT_EQ(0xC0FFEEu, list.GetItemData(1));

    EXPECT_TRUE(list.SetItemState(1, LVIS_SELECTED, LVIS_SELECTED));
    EXPECT_EQ(static_cast<UINT>(LVIS_SELECTED), list.GetItemState(1, LVIS_SELECTED));
    EXPECT_EQ(0u, list.GetItemState(0, LVIS_SELECTED));
    EXPECT_EQ(1, list.GetNextItem(-1, LVNI_SELECTED));
    EXPECT_EQ(1u, list.GetSelectedCount());

    // The mask keeps the other extended styles.
    list.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    list.SetExtendedStyle(LVS_EX_CHECKBOXES, LVS_EX_CHECKBOXES);
    EXPECT_EQ(static_cast<DWORD>(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_CHECKBOXES),
              list.GetExtendedStyle() & (LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_CHECKBOXES));
    EXPECT_FALSE(list.GetCheck(0));
    EXPECT_TRUE(list.SetCheck(0, TRUE));
    EXPECT_TRUE(list.GetCheck(0));
    EXPECT_TRUE(list.SetCheck(0, FALSE));
    EXPECT_FALSE(list.GetCheck(0));

    RECT cell{};
    ASSERT_TRUE(list.GetSubItemRect(0, 1, LVIR_BOUNDS, &cell));
    RECT row{};
    ASSERT_TRUE(list.GetItemRect(0, &row, LVIR_BOUNDS));
    EXPECT_EQ(row.left + 60, cell.left) << "column 1 starts after column 0";
    EXPECT_EQ(80, cell.right - cell.left);
    LVHITTESTINFO hit{};
    hit.pt = {(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2};
    EXPECT_EQ(0, list.SubItemHitTest(&hit));
    EXPECT_EQ(1, hit.iSubItem);
    EXPECT_EQ(0, list.HitTest(hit.pt));

    CHeaderCtrl header;
    ASSERT_TRUE(header.SubclassWindow(list.GetHeaderCtrl()));
    EXPECT_EQ(2, header.GetItemCount());
    RECT headerItem{};
    EXPECT_TRUE(header.GetItemRect(1, &headerItem));
    EXPECT_EQ(80, headerItem.right - headerItem.left);

    EXPECT_TRUE(list.DeleteItem(0));
    EXPECT_EQ(L"r1", list.GetItemText(0, 0));
    EXPECT_TRUE(list.DeleteAllItems());
    EXPECT_EQ(0, list.GetItemCount());
}

TEST_F(ControlsTest, ComboBoxItemsAndSearches)
{
    CComboBox combo;
    ASSERT_TRUE(combo.SubclassDlgItem(IDC_TEST_COMBO, &m_dlg));
    EXPECT_EQ(0, combo.AddString(L"简体中文"));
    EXPECT_EQ(1, combo.AddString(L"English"));
    EXPECT_EQ(0, combo.InsertString(0, L"Deutsch"));
    EXPECT_EQ(3, combo.GetCount());
    EXPECT_EQ(L"简体中文", combo.GetLBText(1));
    EXPECT_EQ(L"", combo.GetLBText(9));
    EXPECT_EQ(2, combo.FindString(-1, L"eng")) << "prefix, without regard to case";
    EXPECT_EQ(CB_ERR, combo.FindStringExact(-1, L"Eng"));
    EXPECT_EQ(2, combo.SelectString(-1, L"Eng"));
    EXPECT_EQ(2, combo.GetCurSel());
    EXPECT_EQ(CB_ERR, combo.SelectString(-1, L"Français"));
    EXPECT_EQ(2, combo.GetCurSel()) << "a failed search leaves the selection";
    EXPECT_EQ(CB_ERR, combo.SetCurSel(9));
    EXPECT_EQ(0, combo.SetItemData(0, 1234) == CB_ERR);
    EXPECT_EQ(1234u, combo.GetItemData(0));
    EXPECT_EQ(2, combo.DeleteString(0));
    combo.ResetContent();
    EXPECT_EQ(0, combo.GetCount());
}

TEST_F(ControlsTest, ListBoxSelectionAndGeometry)
{
    CListBox box;
    ASSERT_TRUE(box.SubclassDlgItem(IDC_TEST_LISTBOX, &m_dlg));
    for (const wchar_t* text : {L"one", L"two", L"three"})
        box.AddString(text);
    EXPECT_EQ(3, box.GetCount());
    EXPECT_EQ(L"three", box.GetText(2));
    EXPECT_NE(LB_ERR, box.SetSel(1, TRUE));
    EXPECT_GT(box.GetSel(1), 0);
    EXPECT_EQ(0, box.GetSel(0));
    box.SetSel(-1, FALSE);
    EXPECT_EQ(0, box.GetSel(1));

    RECT item{};
    ASSERT_NE(LB_ERR, box.GetItemRect(1, &item));
    BOOL bOutside = TRUE;
    EXPECT_EQ(1u, box.ItemFromPoint(POINT{item.left + 2, item.top + 1}, bOutside));
    EXPECT_FALSE(bOutside);
    EXPECT_NE(LB_ERR, box.SetItemHeight(0, 30));
    EXPECT_EQ(30, box.GetItemHeight(0));
}

TEST_F(ControlsTest, SliderAndProgressRangesAndPositions)
{
    CSliderCtrl slider;
    ASSERT_TRUE(slider.SubclassDlgItem(IDC_TEST_SLIDER, &m_dlg));
    slider.SetRange(10, 50, TRUE);
    int nMin = 0, nMax = 0;
    slider.GetRange(nMin, nMax);
    EXPECT_EQ(10, nMin);
    EXPECT_EQ(50, nMax);
    slider.SetPos(30);
    EXPECT_EQ(30, slider.GetPos());
    slider.SetPos(99);
    EXPECT_EQ(50, slider.GetPos()) << "clamped to the range";
    RECT thumb{}, channel{};
    slider.GetThumbRect(&thumb);
    slider.GetChannelRect(&channel);
    EXPECT_GT(thumb.right, thumb.left);
    EXPECT_GT(channel.right - channel.left, thumb.right - thumb.left);

    CProgressCtrl progress;
    ASSERT_TRUE(progress.SubclassDlgItem(IDC_TEST_PROGRESS, &m_dlg));
    progress.SetRange32(0, 200);
    int nLower = -1, nUpper = -1;
    progress.GetRange(nLower, nUpper);
    EXPECT_EQ(0, nLower);
    EXPECT_EQ(200, nUpper);
    EXPECT_EQ(0, progress.SetPos(150));
    EXPECT_EQ(150, progress.GetPos());
    EXPECT_EQ(150, progress.OffsetPos(10));
    EXPECT_EQ(160, progress.GetPos());
}

TEST_F(ControlsTest, ButtonAndEditMessages)
{
    CButton box;
    RECT rect{10, 200, 120, 220};
    ASSERT_TRUE(box.Create(L"Box", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, rect, &m_dlg, 90));
    EXPECT_EQ(static_cast<UINT>(BS_AUTOCHECKBOX), box.GetButtonStyle());
    box.SetCheck(BST_CHECKED);
    EXPECT_EQ(BST_CHECKED, box.GetCheck());
    EXPECT_EQ(static_cast<UINT>(BST_CHECKED), m_dlg.IsDlgButtonChecked(90));
    box.SetButtonStyle(BS_OWNERDRAW);
    EXPECT_EQ(static_cast<UINT>(BS_OWNERDRAW), box.GetButtonStyle());

    CEdit edit;
    ASSERT_TRUE(edit.SubclassDlgItem(IDC_TEST_EDIT, &m_dlg));
    edit.SetWindowText(L"hello world");
    edit.SetSel(6, 11);
    int nStart = 0, nEnd = 0;
    edit.GetSel(nStart, nEnd);
    EXPECT_EQ(6, nStart);
    EXPECT_EQ(11, nEnd);
    edit.ReplaceSel(L"there");
    EXPECT_EQ(L"hello there", edit.GetWindowText());
    edit.SetLimitText(5);
    EXPECT_EQ(5u, edit.GetLimitText());
}

TEST_F(ControlsTest, ToolTipToolsAndTexts)
{
    CToolTipCtrl tip;
    ASSERT_TRUE(tip.Create(&m_dlg, TTS_ALWAYSTIP));
    HWND hEdit = m_dlg.GetDlgItem(IDC_TEST_EDIT);
    ASSERT_TRUE(tip.AddTool(hEdit, L"first"));
    RECT area{0, 0, 30, 30};
    ASSERT_TRUE(tip.AddTool(m_dlg.m_hWnd, L"area", &area, 7));
    EXPECT_EQ(2, tip.SendMessage(TTM_GETTOOLCOUNT));
    tip.UpdateTipText(L"second", hEdit);

    wchar_t text[64] = {};
    TOOLINFOW info{};
    info.cbSize = sizeof info;
    info.hwnd = m_dlg.m_hWnd;
    info.uId = reinterpret_cast<UINT_PTR>(hEdit);
    info.lpszText = text;
    tip.SendMessage(TTM_GETTEXTW, 64, reinterpret_cast<LPARAM>(&info));
    EXPECT_STREQ(L"second", text);
    tip.DelTool(hEdit);
    EXPECT_EQ(1, tip.SendMessage(TTM_GETTOOLCOUNT));
}

} // namespace
