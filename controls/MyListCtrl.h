#pragma once
// CMyListCtrl: the owner-drawn report list. Attached to a report list view by subclassing, it
// paints every row itself (per-cell colours, images, check boxes, progress bars, hover and hot
// rows, a background image or gradient, grid lines), edits cells in place with an edit box or a
// drop-down list, and posts to its parent:
//   WM_COMMAND(CMD_CLICK,     lParam = this)  a cell was clicked (or Enter in cell mode)
//   WM_COMMAND(CMD_DBLCLICK,  lParam = (row << 16) | col)  a cell was double-clicked
//   WM_COMMAND(CMD_EDIT_DONE, lParam = this)  an in-place edit was written back
// (MyListCtrlIds.h names these and the ids a dialog ignores with them; a list's own ids can be
// changed with SetClickCmdId and its siblings).
// The parent reads the clicked cell with GetCurRow / GetCurCol. The parent must be a CWnd, which
// reflects WM_DRAWITEM and WM_MEASUREITEM to this object. The cell records are kept in a
// CListCellStore (ListCellStore.h).

#include "controls/ListCellStore.h"
#include "controls/ListCtrlValues.h"
#include "controls/ListPaintLayout.h"
#include "controls/ListRowSource.h"
#include "controls/MyListCtrlIds.h"
#include "controls/MyHeaderCtrl.h"
#include "controls/SkinImage.h"
#include "platform/CComboBox.h"
#include "platform/CEdit.h"
#include "platform/CDC.h"
#include "platform/CGdiObject.h"
#include "platform/CListCtrl.h"
#include "platform/CToolTipCtrl.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class CMyListCtrl : public CListCtrl {
  public:
    // The records of the list's CListCellStore.
    using CellValue = CListCellStore::CellValue;
    using CellImage = CListCellStore::CellImage;

    // The commands a list posts to its parent by default.
    static constexpr int CMD_CLICK = LIST_CMD_CLICK;
    static constexpr int CMD_DBLCLICK = LIST_CMD_DBLCLICK;
    static constexpr int CMD_EDIT_DONE = LIST_CMD_EDIT_DONE;

    static constexpr int MAX_SET_COLUMNS = CListCellStore::MAX_SET_COLUMNS;
    static constexpr int DRAW_TEXT_CHARS = 256; // cell texts are drawn from this many characters
    static constexpr UINT EDIT_ID = 1000;
    static constexpr UINT COMBO_ID = 1001;
    // Timers of the control.
    static constexpr UINT_PTR TIMER_AUTOFIT = 1000;
    static constexpr UINT_PTR TIMER_ROW_REFRESH = 1001;
    static constexpr UINT_PTR TIMER_SCROLL_WATCH = 1002;
    static constexpr UINT_PTR TIMER_REPAINT = 1003;
    static constexpr UINT_PTR TIMER_TIP_REST = 1004; // one-shot: the pointer lies still over the list
    static constexpr int TIP_REST_EXTRA_MS = 500;    // after the tip's own time, before it is let go
    static constexpr UINT_PTR TIMER_EDITOR_START = 1005;
    static constexpr UINT_PTR TIMER_DIVIDER_DONE = 1006;

    CMyListCtrl();
    ~CMyListCtrl() override;

    // Configuration.
    CMyListCtrl& SetClickCmdId(int nId) { return Set(m_nClickCmdId, nId); }
    CMyListCtrl& SetDblClickCmdId(int nId) { return Set(m_nDblClickCmdId, nId); }
    CMyListCtrl& SetEditDoneCmdId(int nId) { return Set(m_nEditDoneCmdId, nId); }
    CMyListCtrl& SetCellSelect(bool bOn) { return Set(m_bCellSelect, bOn); }
    CMyListCtrl& SetSelectAllOnEdit(bool bOn) { return Set(m_bSelectAllOnEdit, bOn); }
    CMyListCtrl& SetHoverTrack(bool bOn) { return Set(m_bHoverTrack, bOn); }
    CMyListCtrl& SetToolTips(bool bOn) { return Set(m_bToolTips, bOn); }
    CMyListCtrl& SetFocusRect(bool bOn) { return Set(m_bFocusRect, bOn); }
    CMyListCtrl& SetEndEllipsis(bool bOn) { return Set(m_bEndEllipsis, bOn); }
    CMyListCtrl& SetResizableColumns(bool bOn) { return Set(m_bResizableColumns, bOn); }
    CMyListCtrl& SetLocked(bool bLocked);
    CMyListCtrl& SetTransparent(bool bTransparent);
    CMyListCtrl& SetBkImage(const std::wstring& path);
    CMyListCtrl& SetBkColors(COLORREF clrTop, COLORREF clrBottom);
    BOOL SetTextColor(COLORREF clr);
    CMyListCtrl& SetSelectionColors(COLORREF clrBk, COLORREF clrText);
    CMyListCtrl& SetDisabledColors(COLORREF clrBk, COLORREF clrText);
    CMyListCtrl& SetAltRowColors(bool bOn, COLORREF clrBk, COLORREF clrText);
    CMyListCtrl& SetHotColors(COLORREF clrTop, COLORREF clrBottom, COLORREF clrText);
    CMyListCtrl& SetProgressColors(COLORREF clrBk, COLORREF clrFill, COLORREF clrText);
    CMyListCtrl& SetGridColor(COLORREF clr) { return Set(m_clrGrid, clr); }
    CMyListCtrl& SetGridWidth(int nWidth) { return Set(m_nGridWidth, nWidth); }
    // pOn / pOff null keep the current image files.
    CMyListCtrl& SetCheckBoxImages(bool bUse, const wchar_t* pOn = nullptr, const wchar_t* pOff = nullptr);
    CMyListCtrl& SetCheckBoxes(bool bOn);
    CMyListCtrl& SetGridLines(bool bOn);
    CMyListCtrl& SetRowHeight(int nHeight);
    // The window moved to a display of another scale: the row height and the column widths, given
    // at the dpi the list had so far, grow or shrink to nNewDpi. A second notice of one dpi does
    // nothing (the dialog frame and the system may both send one).
    void OnDpiChanged(int nNewDpi);
    // nPeriodMs is kept within 1000..30000.
    CMyListCtrl& SetAutoFitLastColumn(bool bOn, int nPeriodMs = 5000);
    CMyListCtrl& SetHeaderHeight(int nHeight);
    CMyListCtrl& SetHeaderFontHeight(int nHeight);
    CMyListCtrl& SetHeaderTextColor(COLORREF clr);
    // The row drawn with the hot-row gradient (-1 none).
    CMyListCtrl& SetHotRow(int nRow);
    CMyHeaderCtrl& GetHeader() { return m_wndHeader; }
    CMyListCtrl& SetProgressColumn(int nCol, bool bOn);
    CMyListCtrl& SetCheckColumn(int nCol, bool bOn);
    bool IsProgressColumn(int nCol) const;
    // The column when it is a check column, else 0 (column 0 is never reported).
    int IsCheckColumn(int nCol) const;
    // 0 edit box, 1 drop-down list, -1 not editable by the control.
    CMyListCtrl& SetColumnEditKind(int nCol, int nKind);
    int GetColumnEditKind(int nCol) const;
    CMyListCtrl& SetNumberColumn(int nCol, const std::wstring& prefix = {}, const std::wstring& suffix = {});
    int GetNumberColumn() const { return m_nNumberColumn; }
    BOOL SetColumnText(int nCol, const std::wstring& text);
    int GetColumnCount() const;

    // Owner-data rows: a list made with LVS_OWNERDATA reads its cells from the source (which
    // must outlive it or be taken away first) and holds only their count.
    void SetRowSource(const CListRowSource* pSource) { m_pRowSource = pSource; }
    const CListRowSource* GetRowSource() const { return m_pRowSource; }
    // Tells an owner-data list its row count; the rows already on screen are not repainted.
    void SetVirtualRowCount(int nCount);
    // The row's item data, from the source for an owner-data list.
    DWORD_PTR GetRowData(int nRow) const;

    // Rows and cells.
    int InsertNumberedRow(int nRow);
    void InsertBlankRows(int nCount);
    BOOL SetItemImage(int nRow, int nImage);
    int SelectRow(int nRow, bool bOn);
    void SelectAllRows(int nMode); // 1 select, 2 unselect, 3 invert
    void CheckAllRows(int nMode);  // 1 check, 2 uncheck, 3 invert (platform check boxes)
    BOOL IsRowSelected(int nRow) const { return GetItemState(nRow, LVIS_SELECTED) != 0; }

    void SetCellBkColor(int nRow, int nCol, COLORREF clr);
    void SetCellTextColor(int nRow, int nCol, COLORREF clr);
    COLORREF GetCellBkColor(int nRow, int nCol) const;
    COLORREF GetCellTextColor(int nRow, int nCol) const;
    void SetCellReadOnly(int nRow, int nCol, int nFlag);
    void SetCellDisabled(int nRow, int nCol, int nFlag);
    int IsCellReadOnly(int nRow, int nCol) const;
    int IsCellDisabled(int nRow, int nCol) const;
    void SetCellImage(int nRow, int nCol, int nImage, HIMAGELIST hImageList, int nAlign, int nParam1);
    void SetCellImageFile(int nRow, int nCol, const std::wstring& file, int nAlign, int nParam1 = 0,
                          int nParam2 = -1, int nParam3 = -1, int nWidth = -1, int nParam4 = -1);
    // The cell's image record (exact cell only, or with the wildcard forms), or null.
    const CellImage* GetCellImage(int nRow, int nCol, bool bExactOnly) const;
    // Check columns only; nState 2 inverts the stored state.
    void SetCellCheck(int nRow, int nCol, int nState);
    int GetCellCheck(int nRow, int nCol) const;

    int64_t GetItemInt64(int nRow, int nCol) const { return Values().GetItemInt64(nRow, nCol); }
    BOOL SetItemInt64(int nRow, int nCol, int64_t value) { return Values().SetItemInt64(nRow, nCol, value); }
    float GetItemFloat(int nRow, int nCol) const { return Values().GetItemFloat(nRow, nCol); }
    double GetItemDouble(int nRow, int nCol) const { return Values().GetItemDouble(nRow, nCol); }
    BOOL SetItemFloat(int nRow, int nCol, float value, unsigned nDecimals)
    {
        return Values().SetItemFloat(nRow, nCol, value, nDecimals);
    }
    BOOL SetItemDouble(int nRow, int nCol, double value, unsigned nDecimals)
    {
        return Values().SetItemDouble(nRow, nCol, value, nDecimals);
    }

    // Writes prefix + start + i (at least nDigits wide) + suffix into column nCol of every row i.
    void NumberColumn(int nCol, int nStart, int nDigits, const std::wstring& prefix,
                      const std::wstring& suffix);
    void ClearAllTexts();
    void ClearColumnTexts(int nCol, int nFromRow = 0, int nToRow = -1);
    void ClearRowTexts(int nRow, int nFromCol = 0, int nToCol = -1);
    void SetColumnTexts(int nCol, const std::vector<std::wstring>& texts);
    void SetRowTexts(int nRow, const std::vector<std::wstring>& texts);
    void SetColumnTexts(int nCol, const wchar_t* const* pTexts, int nCount);
    void SetRowTexts(int nRow, const wchar_t* const* pTexts, int nCount);
    void SetColumnInts(int nCol, const std::vector<int>& values);
    void SetRowInts(int nRow, const std::vector<int>& values);
    // nCount < 1: one value for every row (column); the caller supplies that many.
    void SetColumnInts(int nCol, const int* pValues, int nCount);
    void SetRowInts(int nRow, const int* pValues, int nCount);
    void SetColumnDoubles(int nCol, const std::vector<double>& values, unsigned nDecimals);
    void SetRowDoubles(int nRow, const std::vector<double>& values, unsigned nDecimals);
    void SetColumnFloats(int nCol, const std::vector<float>& values, unsigned nDecimals);
    void SetRowFloats(int nRow, const std::vector<float>& values, unsigned nDecimals);
    int GetColumnTexts(int nCol, std::vector<std::wstring>& texts) const;
    int GetRowTexts(int nRow, std::vector<std::wstring>& texts) const;
    int SwapRows(int nRowA, int nRowB);
    int FindText(const std::wstring& text, int nFlags, int nStartRow = 0)
    {
        return Values().FindText(text, nFlags, nStartRow, GetColumnCount());
    }

    // In-place editing and the current cell.
    int GetCurRow() const { return m_nCurRow; }
    int GetCurCol() const { return m_nCurCol; }
    // No current cell: for an owner whose rows all went away.
    void ForgetCurrentCell() { m_nCurRow = m_nCurCol = -1; }
    // The current row moved (an owner reordered the rows); the column stays.
    void MoveCurrentRow(int nRow) { m_nCurRow = nRow; }
    int GetHoverRow() const { return m_nHoverRow; }
    int GetHoverCol() const { return m_nHoverCol; }
    // Opens an edit box on the current cell (nothing without a current row, or on a read-only or
    // disabled cell).
    void EditCell();
    // (Re)fills the drop-down list from a null-terminated array (null keeps the items) and, unless
    // bFillOnly, opens it on the current cell with the entry equal to the cell's text selected.
    void EditCellCombo(const wchar_t* const* pItems = nullptr, bool bFillOnly = false);
    CEdit* GetEditCtrl() const { return m_pEdit; }
    CComboBox* GetComboCtrl() const { return m_pCombo; }
    int GetComboCurSel() const;
    // Replaces an editor; one the control made itself is destroyed first. The caller keeps
    // ownership of what it installs (it must be a child of this list to be written back).
    void SetEditCtrl(CEdit* pEdit);
    void SetComboCtrl(CComboBox* pCombo);
    bool IsEditorReady() const { return m_bEditorReady; }
    int GetEditRow() const { return m_nEditRow; }
    int GetEditCol() const { return m_nEditCol; }
    // Hides both editors; an open edit box is written back when it loses the focus.
    void HideEditors();
    void RefreshHeader();
    void FitLastColumn();

    // Painting, also for WM_PRINTCLIENT: everything into an off-screen bitmap, then one copy.
    // pUpdate limits the work to the area that needs painting (null: the whole client area).
    void Paint(HDC hTarget, const RECT* pUpdate = nullptr);
    void DrawItem(const DRAWITEMSTRUCT* pDis);

    // State readers (mainly for the owner and tests).
    int GetRowHeight() const { return m_nRowHeight; }
    int GetAutoFitPeriod() const { return m_nAutoFitPeriod; }
    bool IsAutoFitLastColumn() const { return m_bAutoFitLastColumn; }
    bool IsToolTipsOn() const { return m_bToolTips; }
    bool IsLocked() const { return m_bLocked; }
    bool IsBkImageDrawn() const { return m_bBkImageDrawn; }
    CToolTipCtrl* GetToolTip() const { return m_pToolTip.get(); }
    // Makes the cell tool tip when there is none (it is let go while the pointer rests).
    void EnsureToolTip();

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    void PreSubclassWindow() override;

  private:
    template <class T, class V> CMyListCtrl& Set(T& member, V value)
    {
        member = static_cast<T>(value);
        return *this;
    }
    bool IsOwnerData() const { return m_pRowSource && (GetStyle() & LVS_OWNERDATA); }
    // Answers the platform's requests for an owner-data row's text and picture.
    BOOL OnGetDispInfo(LVITEMW& item) const;
    // Runs the scroll watcher only while something drawn depends on the scroll position.
    void UpdateScrollWatch();
    CListCtrlValues Values() const { return CListCtrlValues(const_cast<CMyListCtrl*>(this)); }

    // The row the focus rectangle goes round now, or -1.
    int FocusRowShown() const;
    // Attaches m_wndHeader to the list's header once the platform has made it.
    void EnsureHeader();
    // Makes the platform lay the control out and ask for the item height again.
    void Relayout();
    void RenumberFrom(int nRow);
    // The cell's label rectangle, column 0 starting at the row's left edge.
    RECT CellRect(int nRow, int nCol) const;
    int ColumnAt(int nRow, POINT pt) const;
    bool HasCheckBox(int nCol) const;
    Gdiplus::Image* CachedImage(const std::wstring& name);
    void DrawGrid(HDC dc, const RECT& rcClient);
    bool DrawCheckImage(HDC dc, const RECT& box, bool bOn);

    // DrawItem's steps: what the row shares, then each cell's colours, progress bar, check box,
    // picture and text.
    struct RowPaint {
        int row = -1;
        const ListPaintLayout* pLayout = nullptr;
        RECT rcRow{}; // the platform's drawing rectangle of the row
        bool bChecked = false;
        bool bSelected = false;
        bool bFill = false; // cells fill their background
    };
    // The layout of the paint in progress, filled from the given row when the paint has none yet;
    // outside a paint (a row drawn on its own) a fresh one each time.
    const ListPaintLayout& PaintLayoutFor(int nRow, const RECT& rcRow);
    struct CellPaint {
        RECT rc{};
        bool bCheck = false;
        bool bProgress = false;
        bool bFill = false;
        COLORREF clrBk = 0;
        COLORREF clrText = 0;
    };
    void DrawCell(HDC dc, const RowPaint& paint, int col);
    void CellColors(const RowPaint& paint, int col, CellPaint& cell) const;
    void DrawProgressBar(HDC dc, const RECT& rc, long nValue);
    // Returns where the cell's text starts.
    int DrawCheckBox(HDC dc, const CellPaint& cell, bool bOn);
    // Returns the width the picture takes from the text.
    int DrawCellImage(HDC dc, const RowPaint& paint, const RECT& rc, int col, int nItemImage);
    void DrawCellText(HDC dc, const CellPaint& cell, int nColumnFormat, const wchar_t* pszText, int nLeft);
    void PostToParent(int nCmdId, LPARAM lParam);
    void WriteBack(const std::wstring& text);
    void RedrawRow(int nRow);

    // Interaction (MyListCtrlInput.cpp).
    void OnLButtonDown(UINT nFlags, POINT pt);
    void OnLButtonDblClk(UINT nFlags, POINT pt);
    void OnMouseMove(UINT nFlags, POINT pt);
    void OnMouseLeave();
    void OnTimer(UINT_PTR nId);
    void OnSize();
    void OnScroll();
    BOOL OnHeaderNotify(const NMHDR* pHdr, LRESULT* pResult);
    void OpenEditor(int nKind);
    bool OpenEditorChecks() const;

    int m_nClickCmdId = CMD_CLICK;
    int m_nDblClickCmdId = CMD_DBLCLICK;
    int m_nEditDoneCmdId = CMD_EDIT_DONE;
    int m_nNumberColumn = -1;
    std::wstring m_strNumberPrefix, m_strNumberSuffix;
    bool m_bCellSelect = false;
    bool m_bBkImageDrawn = false;
    bool m_bAutoFitLastColumn = false;
    bool m_bEndEllipsis = true;
    int m_nAutoFitPeriod = 5000;
    bool m_bTransparent = false;
    std::wstring m_strBkImage;
    COLORREF m_clrText = 0x000000;
    COLORREF m_clrBk1 = 0xFFFFFF, m_clrBk2 = 0xFFFFFF;
    COLORREF m_clrSelBk, m_clrSelText;
    COLORREF m_clrHotBk1 = 0x00FF00, m_clrHotBk2 = 0xFF8000, m_clrHotText = 0xFF00FF;
    COLORREF m_clrProgressBk = 0xF00000, m_clrProgressFill = 0x00F000, m_clrProgressText = 0xF0F0F0;
    COLORREF m_clrGrid = 0x0000FF;
    int m_nGridWidth = 0;
    bool m_bFocusRect = false;
    bool m_bSelectAllOnEdit = true;
    bool m_bResizableColumns = true;
    int m_nEditRow = -1, m_nEditCol = -1;
    int m_nCurRow = -1, m_nCurCol = -1;
    int m_nHoverRow = -1, m_nHoverCol = -1;
    int m_nHotRow = -1;
    bool m_bHoverTrack = false;
    bool m_bLocked = false;
    COLORREF m_clrAltBk = 0xFFFFFF, m_clrAltText = 0x000000;
    COLORREF m_clrDisabledBk = 0xC0C0C0, m_clrDisabledText = 0x808080;
    bool m_bAltRows = false;
    CListCellStore m_cells; // cell colours, marks, images and checks; the column sets
    std::wstring m_strCheckImageOn = L"General_ListChkBoxY.png";
    std::wstring m_strCheckImageOff = L"General_ListChkBoxN.png";
    bool m_bCheckImages = true;
    POINT m_ptLastMouse{0, 0};
    bool m_bToolTips = true;
    std::unique_ptr<CToolTipCtrl> m_pToolTip;
    CMyHeaderCtrl m_wndHeader;
    int m_nRowHeight = 0;
    int m_nDpi = 0; // the dpi the row height and column widths were given at
    int m_nLastScrollPos = 0;
    CEdit* m_pEdit = nullptr;
    CComboBox* m_pCombo = nullptr;
    std::unique_ptr<CEdit> m_pOwnEdit;      // set when m_pEdit is the control's own
    std::unique_ptr<CComboBox> m_pOwnCombo; // set when m_pCombo is the control's own
    bool m_bEditorReady = false;
    bool m_bCancelEdit = false;         // Escape: hide the edit box without writing back
    int m_nTipRow = -1, m_nTipCol = -1; // the cell the tool tip was last set for
    int m_nHeaderHeightSet = 0;         // the height given to SetHeaderHeight
    const CListRowSource* m_pRowSource = nullptr;
    bool m_bScrollWatch = false;

    // Loaded images by file name (background, check boxes, cell image files), so that a paint
    // does not read and decode files. Cleared when it grows past a few dozen names.
    std::map<std::wstring, SkinImagePtr> m_images;
    // The two check images rendered once at the box size, blended per cell without GDI+.
    struct CheckBitmap {
        std::wstring name;
        int width = 0, height = 0;
        CBitmap bitmap;
    };
    CheckBitmap m_checkBitmaps[2];
    CDC m_checkDC; // declared after the bitmaps: deleted before them
    ListPaintLayout m_paintLayout;
};
