#pragma once
// CListCtrlValues: number and search helpers for a plain list view (the same formats as
// CMyListCtrl, which uses this class for its own cells).

#include "platform/CListCtrl.h"

#include <cstdint>
#include <string>

class CListCtrlValues {
  public:
    explicit CListCtrlValues(CListCtrl* pList) : m_pList(pList) {}

    // Decimal parse of the cell's text; 0 when it is not a number.
    int64_t GetItemInt64(int nRow, int nCol) const;
    BOOL SetItemInt64(int nRow, int nCol, int64_t value);
    float GetItemFloat(int nRow, int nCol) const;
    double GetItemDouble(int nRow, int nCol) const;
    // nDecimals > 0: fixed-point with that many decimals; 0: as short as "%f" allows without
    // trailing zeros ("2.5", "3").
    BOOL SetItemFloat(int nRow, int nCol, float value, unsigned nDecimals);
    BOOL SetItemDouble(int nRow, int nCol, double value, unsigned nDecimals);

    // Rows from nStartRow on whose text in any column contains text. nFlags bit 0: ignore case;
    // bit 1: mark every match and return -1. Matching rows are selected and focused. Returns the
    // first matching row (without bit 1), else -1. nColumns < 1: the header's item count, or 20
    // without a header.
    int FindText(const std::wstring& text, int nFlags, int nStartRow, int nColumns = 0);

    // The text that SetItemDouble writes.
    static std::wstring FormatDouble(double value, unsigned nDecimals);

  private:
    CListCtrl* m_pList;
};
