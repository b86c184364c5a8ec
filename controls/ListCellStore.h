#pragma once
// CListCellStore: what CMyListCtrl keeps per cell and per column beside the list view's own items:
// cell colours, read-only and disabled marks, cell images, the check states of check columns, and
// the progress-column, check-column and edit-kind sets. It knows no window, so painting, editing
// and tests all read the same records through one lookup.
//
// A record's row or column may be -1, meaning every row or every column. Records are few and
// searched linearly; setting a property again replaces the record with the same key, and no
// record is ever removed on its own.

#include <windows.h>
#include <commctrl.h>

#include <optional>
#include <string>
#include <vector>

class CListCellStore {
  public:
    // The column sets hold at most this many columns.
    static constexpr int MAX_SET_COLUMNS = 20;

    // One stored cell property. row -1 = every row, col -1 = every column.
    struct CellValue {
        int row;
        int col;
        DWORD value;
    };
    // An image by cell: from an image list (image >= 0) or an image file.
    struct CellImage {
        int row = -1;
        int col = -1;
        int image = -1;  // index into imageList (or the small-icon list); -1 = draw file
        int align = 0;   // 0 left, 1 centred, 2 right
        int param1 = 0;  // the caller's, not drawn
        int param2 = -1; // the caller's, not drawn
        int param3 = -1; // the caller's, not drawn
        int width = -1;  // drawn width of the file image; -1 = the cell height
        int param4 = -1; // the caller's, not drawn
        std::wstring file;
        HIMAGELIST imageList = nullptr;
    };

    // The cell properties kept as one 32-bit value each. Colours are looked up exact cell, then
    // the whole column, then the whole row; the marks exact cell, then the whole row, then the
    // whole column.
    enum class CellProperty { BkColor, TextColor, ReadOnly, Disabled };

    CListCellStore();

    void SetValue(CellProperty property, int nRow, int nCol, DWORD value);
    // The stored value that applies to the cell, none when no record matches (a stored 0 is a
    // value: a black cell is not a default cell).
    std::optional<DWORD> FindValue(CellProperty property, int nRow, int nCol) const;

    // The exact cell's image record is made or overwritten whole: SetImage leaves no file, width
    // or later parameters, SetImageFile no image index or list.
    void SetImage(int nRow, int nCol, int nImage, HIMAGELIST hImageList, int nAlign, int nParam1);
    void SetImageFile(int nRow, int nCol, const std::wstring& file, int nAlign, int nParam1, int nParam2,
                      int nParam3, int nWidth, int nParam4);
    // The exact cell's record, or (unless bExactOnly) the row's and then the column's; null when
    // none.
    const CellImage* FindImage(int nRow, int nCol, bool bExactOnly) const;

    // Checks are kept for check columns only, by exact cell; nState 2 inverts the stored state
    // (a cell never set becomes 1).
    void SetCheck(int nRow, int nCol, int nState);
    int GetCheck(int nRow, int nCol) const;

    // Column sets: adding to a full set does nothing; a negative column is never a member.
    void SetProgressColumn(int nCol, bool bOn);
    void SetCheckColumn(int nCol, bool bOn);
    bool IsProgressColumn(int nCol) const;
    bool IsCheckColumn(int nCol) const;
    // Per column below MAX_SET_COLUMNS: 0 edit box, 1 drop-down list, -1 not editable (also for
    // every other column).
    void SetEditKind(int nCol, int nKind);
    int GetEditKind(int nCol) const;

  private:
    std::vector<CellValue>& Values(CellProperty property);
    const std::vector<CellValue>& Values(CellProperty property) const;

    int m_nProgressColumns[MAX_SET_COLUMNS];
    int m_nCheckColumns[MAX_SET_COLUMNS];
    int m_nEditKind[MAX_SET_COLUMNS];
    std::vector<CellValue> m_lstCellBk, m_lstCellText, m_lstCellCheck, m_lstCellReadOnly, m_lstCellDisabled;
    std::vector<CellImage> m_lstCellImage;
};
