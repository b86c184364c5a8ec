#pragma once
// CListCtrl: list view ("SysListView32" class).

#include "platform/CWnd.h"

#include <commctrl.h>

#include <string>
#include <vector>

class CListCtrl : public CWnd {
  public:
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID)
    {
        return CreateEx(0, WC_LISTVIEWW, L"", dwStyle, rect, pParentWnd, nID);
    }

    int GetItemCount() const { return static_cast<int>(SendMessage(LVM_GETITEMCOUNT)); }
    // Returns the new item's index, -1 on failure.
    int InsertItem(int nItem, LPCWSTR lpszItem)
    {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = nItem;
        item.pszText = const_cast<LPWSTR>(lpszItem);
        return InsertItem(&item);
    }
    int InsertItem(const LVITEMW* pItem)
    {
        return static_cast<int>(SendMessage(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(pItem)));
    }
    BOOL DeleteItem(int nItem)
    {
        return static_cast<BOOL>(SendMessage(LVM_DELETEITEM, static_cast<WPARAM>(nItem)));
    }
    BOOL DeleteAllItems() { return static_cast<BOOL>(SendMessage(LVM_DELETEALLITEMS)); }

    BOOL GetItem(LVITEMW* pItem) const
    {
        return static_cast<BOOL>(SendMessage(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(pItem)));
    }
    BOOL SetItem(const LVITEMW* pItem)
    {
        return static_cast<BOOL>(SendMessage(LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(pItem)));
    }
    // Copies at most nLen - 1 characters into lpszText; returns the number copied.
    int GetItemText(int nItem, int nSubItem, LPWSTR lpszText, int nLen) const
    {
        if (!lpszText || nLen <= 0)
            return 0;
        LVITEMW item{};
        item.iSubItem = nSubItem;
        item.pszText = lpszText;
        item.cchTextMax = nLen;
        lpszText[0] = L'\0';
        return static_cast<int>(
            SendMessage(LVM_GETITEMTEXTW, static_cast<WPARAM>(nItem), reinterpret_cast<LPARAM>(&item)));
    }
    // The whole text of a cell, however long.
    std::wstring GetItemText(int nItem, int nSubItem) const
    {
        std::vector<wchar_t> buffer(256);
        for (;;) {
            int copied = GetItemText(nItem, nSubItem, buffer.data(), static_cast<int>(buffer.size()));
            if (copied < static_cast<int>(buffer.size()) - 1)
                return std::wstring(buffer.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
            buffer.resize(buffer.size() * 2);
        }
    }
    BOOL SetItemText(int nItem, int nSubItem, LPCWSTR lpszText)
    {
        LVITEMW item{};
        item.iSubItem = nSubItem;
        item.pszText = const_cast<LPWSTR>(lpszText);
        return static_cast<BOOL>(
            SendMessage(LVM_SETITEMTEXTW, static_cast<WPARAM>(nItem), reinterpret_cast<LPARAM>(&item)));
    }
    DWORD_PTR GetItemData(int nItem) const
    {
        LVITEMW item{};
        item.mask = LVIF_PARAM;
        item.iItem = nItem;
        return GetItem(&item) ? static_cast<DWORD_PTR>(item.lParam) : 0;
    }
    BOOL SetItemData(int nItem, DWORD_PTR dwData)
    {
        LVITEMW item{};
        item.mask = LVIF_PARAM;
        item.iItem = nItem;
        item.lParam = static_cast<LPARAM>(dwData);
        return SetItem(&item);
    }
    UINT GetItemState(int nItem, UINT nMask) const
    {
        return static_cast<UINT>(SendMessage(LVM_GETITEMSTATE, static_cast<WPARAM>(nItem), nMask));
    }
    // nItem -1 applies the state to every item.
    BOOL SetItemState(int nItem, UINT nState, UINT nMask)
    {
        LVITEMW item{};
        item.state = nState;
        item.stateMask = nMask;
        return static_cast<BOOL>(
            SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(nItem), reinterpret_cast<LPARAM>(&item)));
    }
    // The check box state (LVS_EX_CHECKBOXES): TRUE when ticked.
    BOOL GetCheck(int nItem) const { return ((GetItemState(nItem, LVIS_STATEIMAGEMASK) >> 12) - 1) == 1; }
    BOOL SetCheck(int nItem, BOOL bCheck = TRUE)
    {
        return SetItemState(nItem, INDEXTOSTATEIMAGEMASK(bCheck ? 2 : 1), LVIS_STATEIMAGEMASK);
    }
    int GetNextItem(int nItem, int nFlags) const
    {
        return static_cast<int>(SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(nItem), nFlags));
    }
    UINT GetSelectedCount() const { return static_cast<UINT>(SendMessage(LVM_GETSELECTEDCOUNT)); }
    int GetSelectedColumn() const { return static_cast<int>(SendMessage(LVM_GETSELECTEDCOLUMN)); }

    int InsertColumn(int nCol, LPCWSTR lpszColumnHeading, int nFormat = LVCFMT_LEFT, int nWidth = -1,
                     int nSubItem = -1)
    {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_FMT;
        column.pszText = const_cast<LPWSTR>(lpszColumnHeading);
        column.fmt = nFormat;
        if (nWidth != -1) {
            column.mask |= LVCF_WIDTH;
            column.cx = nWidth;
        }
        if (nSubItem != -1) {
            column.mask |= LVCF_SUBITEM;
            column.iSubItem = nSubItem;
        }
        return InsertColumn(nCol, &column);
    }
    int InsertColumn(int nCol, const LVCOLUMNW* pColumn)
    {
        return static_cast<int>(
            SendMessage(LVM_INSERTCOLUMNW, static_cast<WPARAM>(nCol), reinterpret_cast<LPARAM>(pColumn)));
    }
    BOOL DeleteColumn(int nCol)
    {
        return static_cast<BOOL>(SendMessage(LVM_DELETECOLUMN, static_cast<WPARAM>(nCol)));
    }
    BOOL GetColumn(int nCol, LVCOLUMNW* pColumn) const
    {
        return static_cast<BOOL>(
            SendMessage(LVM_GETCOLUMNW, static_cast<WPARAM>(nCol), reinterpret_cast<LPARAM>(pColumn)));
    }
    BOOL SetColumn(int nCol, const LVCOLUMNW* pColumn)
    {
        return static_cast<BOOL>(
            SendMessage(LVM_SETCOLUMNW, static_cast<WPARAM>(nCol), reinterpret_cast<LPARAM>(pColumn)));
    }
    int GetColumnWidth(int nCol) const
    {
        return static_cast<int>(SendMessage(LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(nCol)));
    }
    BOOL SetColumnWidth(int nCol, int cx)
    {
        return static_cast<BOOL>(
            SendMessage(LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(nCol), MAKELPARAM(cx, 0)));
    }
    // The list's own header window (null for a list without one).
    HWND GetHeaderCtrl() const { return reinterpret_cast<HWND>(SendMessage(LVM_GETHEADER)); }

    DWORD GetExtendedStyle() const { return static_cast<DWORD>(SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE)); }
    // Sets the bits of dwMask (every bit when 0) to those of dwNewStyle; returns the old styles.
    DWORD SetExtendedStyle(DWORD dwNewStyle, DWORD dwMask = 0)
    {
        return static_cast<DWORD>(SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, dwMask, dwNewStyle));
    }
    HIMAGELIST GetImageList(int nImageList) const
    {
        return reinterpret_cast<HIMAGELIST>(SendMessage(LVM_GETIMAGELIST, static_cast<WPARAM>(nImageList)));
    }
    // Returns the previous image list.
    HIMAGELIST SetImageList(HIMAGELIST hImageList, int nImageList)
    {
        return reinterpret_cast<HIMAGELIST>(SendMessage(LVM_SETIMAGELIST, static_cast<WPARAM>(nImageList),
                                                        reinterpret_cast<LPARAM>(hImageList)));
    }

    int HitTest(LVHITTESTINFO* pHitTestInfo) const
    {
        return static_cast<int>(SendMessage(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(pHitTestInfo)));
    }
    int HitTest(POINT pt, UINT* pFlags = nullptr) const
    {
        LVHITTESTINFO info{};
        info.pt = pt;
        int item = HitTest(&info);
        if (pFlags)
            *pFlags = info.flags;
        return item;
    }
    // Fills iItem and iSubItem of the structure; returns the item or -1.
    int SubItemHitTest(LVHITTESTINFO* pInfo) const
    {
        return static_cast<int>(SendMessage(LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(pInfo)));
    }
    // nCode: LVIR_BOUNDS, LVIR_ICON, LVIR_LABEL or LVIR_SELECTBOUNDS.
    BOOL GetItemRect(int nItem, RECT* pRect, UINT nCode) const
    {
        if (!pRect)
            return FALSE;
        pRect->left = static_cast<LONG>(nCode);
        return static_cast<BOOL>(
            SendMessage(LVM_GETITEMRECT, static_cast<WPARAM>(nItem), reinterpret_cast<LPARAM>(pRect)));
    }
    // nArea: LVIR_BOUNDS, LVIR_ICON or LVIR_LABEL.
    BOOL GetSubItemRect(int nItem, int nSubItem, int nArea, RECT* pRect) const
    {
        if (!pRect)
            return FALSE;
        pRect->top = nSubItem;
        pRect->left = nArea;
        return static_cast<BOOL>(
            SendMessage(LVM_GETSUBITEMRECT, static_cast<WPARAM>(nItem), reinterpret_cast<LPARAM>(pRect)));
    }
    BOOL EnsureVisible(int nItem, BOOL bPartialOK)
    {
        return static_cast<BOOL>(SendMessage(LVM_ENSUREVISIBLE, static_cast<WPARAM>(nItem), bPartialOK));
    }
    int GetTopIndex() const { return static_cast<int>(SendMessage(LVM_GETTOPINDEX)); }
    int GetCountPerPage() const { return static_cast<int>(SendMessage(LVM_GETCOUNTPERPAGE)); }
    BOOL RedrawItems(int nFirst, int nLast)
    {
        return static_cast<BOOL>(SendMessage(LVM_REDRAWITEMS, static_cast<WPARAM>(nFirst), nLast));
    }
    BOOL Update(int nItem) { return static_cast<BOOL>(SendMessage(LVM_UPDATE, static_cast<WPARAM>(nItem))); }
    BOOL Scroll(SIZE size)
    {
        return static_cast<BOOL>(SendMessage(LVM_SCROLL, static_cast<WPARAM>(size.cx), size.cy));
    }
    int GetStringWidth(LPCWSTR lpsz) const
    {
        return static_cast<int>(SendMessage(LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(lpsz)));
    }
};
