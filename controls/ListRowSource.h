#pragma once
// CListRowSource: where an owner-data list (LVS_OWNERDATA) reads its rows. The list view keeps
// only a row count and the selection; each paint and each text request asks the source for the
// cells it needs, so a list of thousands of rows costs what one screen of them costs.
//
// The source is read on the list's thread only, and must not wait for anything there: it is asked
// while the list paints.

#include <windows.h>

#include <string>

class CListRowSource {
  public:
    virtual ~CListRowSource() = default;
    virtual int GetRowCount() const = 0;
    // The cell's text; null or empty for none. Valid until the rows next change.
    virtual const wchar_t* GetCellText(int nRow, int nCol) const = 0;
    // The row's picture in the list's small-image list, or -1.
    virtual int GetRowImage(int /*nRow*/) const { return -1; }
    // What the row stands for (a plain list's item data).
    virtual DWORD_PTR GetRowData(int /*nRow*/) const { return 0; }
    // The row's own text colour in place of the list's (false: the list's colours). Selection
    // and disabling still win.
    virtual bool GetRowTextColor(int /*nRow*/, COLORREF& /*clrText*/) const { return false; }
    // The tool tip over any cell of the row, in place of the cut-off cell text (empty: none).
    virtual std::wstring GetRowTip(int /*nRow*/) const { return {}; }
};
