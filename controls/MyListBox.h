#pragma once
// CMyListBox: an owner-drawn list box with hover tracking. Items are drawn with per-state colour
// sets (normal, selected, hover, disabled) or images; the whole box paints through one off-screen
// bitmap.
//
// Attach it to an existing list box with SubclassWindow / SubclassDlgItem: attaching adds
// LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT. The box answers its own
// reflected WM_MEASUREITEM and WM_DRAWITEM.

#include "platform/CListBox.h"

#include <windows.h>

#include <string>
#include <string_view>

class CMyListBox : public CListBox {
  public:
    static constexpr DWORD ATTACH_STYLES =
        LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;

    // Item states, the index of the colour sets and item images.
    static constexpr int STATE_NORMAL = 0;
    static constexpr int STATE_SELECTED = 1;
    static constexpr int STATE_HOVER = 2;
    static constexpr int STATE_DISABLED = 3;

    // Drawing options (SetDrawFlags).
    static constexpr UINT DRAW_GRADIENT = 0x01;   // item backgrounds run from clrBk (top) to clrBk2
    static constexpr UINT DRAW_FOCUS_RECT = 0x02; // the caret item of a focused box gets a focus rectangle

    // One state's colours. clrFrame CLR_NONE draws no frame round the item.
    struct StateColors {
        COLORREF clrBk;    // item background (the top of its gradient)
        COLORREF clrText;  // item text
        COLORREF clrFrame; // 1-pixel frame round the item
        COLORREF clrBk2;   // bottom of the background gradient
    };

    CMyListBox();

    // The height given to the platform's item height request; values <= 0 are ignored.
    void SetItemHeight(int nHeight);
    int GetItemHeight() const { return m_nItemHeight; }
    using CListBox::GetItemHeight;
    using CListBox::SetItemHeight;

    // Stores index as the selected item and selects it (LB_SETSEL in a multiple-selection box,
    // LB_SETCURSEL otherwise).
    void SelectItem(int nIndex);
    int GetSelectedItem() const { return m_nSelected; }

    int GetHoverIndex() const { return m_nHover; }

    // Out-of-range states are ignored. Both repaint.
    void SetStateColors(int nState, const StateColors& colors);
    StateColors GetStateColors(int nState) const;
    // The whole box's background image and the item images per state (normal, selected, hover);
    // an empty name or a file that does not load leaves the colours.
    void SetBkImage(std::wstring_view file);
    void SetItemImages(std::wstring_view normal, std::wstring_view selected, std::wstring_view hover);
    // Transparent: the box background is not filled, so the parent shows between normal items.
    void SetTransparent(bool bTransparent);
    void SetDrawFlags(UINT nFlags);
    bool IsTransparent() const { return m_bTransparent; }
    UINT GetDrawFlags() const { return m_nDrawFlags; }

    // The state item index is drawn in now.
    int GetItemState(int nIndex) const;
    // Draws the visible items into dc (client coordinates); WM_PAINT and WM_PRINTCLIENT come here.
    void DrawControl(HDC dc);

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

  protected:
    void PreSubclassWindow() override;

  private:
    void DrawListItem(HDC dc, int nIndex, const RECT& rect);
    void RepaintNow();
    void SetHoverIndex(int nIndex);

    int m_nHover = -1;
    int m_nItemHeight = 0; // 0 keeps the platform's height
    int m_nSelected = -1;
    std::wstring m_strBkImage;
    std::wstring m_strItemImages[3];
    StateColors m_colors[4];
    bool m_bTransparent = false;
    UINT m_nDrawFlags = DRAW_GRADIENT | DRAW_FOCUS_RECT;
    POINT m_ptLastMove = {-1, -1};
    bool m_bTrackingLeave = false;
};
