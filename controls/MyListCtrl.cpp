#include "controls/MyListCtrl.h"

#include "controls/SkinPathText.h"
#include "platform/CGdiObject.h"
#include "platform/CMemDC.h"
#include "platform/CSaveDC.h"
#include "platform/CSelectObject.h"
#include "platform/DpiScale.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <iterator>
#include <utility>

namespace {

// A solid fill without a brush: ExtTextOut with an opaque background.
void FillSolid(HDC dc, const RECT& rc, COLORREF clr)
{
    if (rc.right <= rc.left || rc.bottom <= rc.top)
        return;
    COLORREF old = ::SetBkColor(dc, clr);
    ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
    ::SetBkColor(dc, old);
}

// An outline of n pixels inside rc.
void FrameSolid(HDC dc, const RECT& rc, COLORREF clr, int n = 1)
{
    FillSolid(dc, {rc.left, rc.top, rc.right, rc.top + n}, clr);
    FillSolid(dc, {rc.left, rc.bottom - n, rc.right, rc.bottom}, clr);
    FillSolid(dc, {rc.left, rc.top, rc.left + n, rc.bottom}, clr);
    FillSolid(dc, {rc.right - n, rc.top, rc.right, rc.bottom}, clr);
}

} // namespace

CMyListCtrl::CMyListCtrl()
    : m_clrSelBk(::GetSysColor(COLOR_HIGHLIGHT)), m_clrSelText(::GetSysColor(COLOR_HIGHLIGHTTEXT))
{
}

CMyListCtrl::~CMyListCtrl()
{
    if (m_hWnd && ::IsWindow(m_hWnd)) {
        for (UINT_PTR id : {TIMER_AUTOFIT, TIMER_ROW_REFRESH, TIMER_SCROLL_WATCH, TIMER_REPAINT,
                            TIMER_EDITOR_START, TIMER_DIVIDER_DONE})
            KillTimer(id);
    }
    // The editors and the tool tip go with their owners below; the header is unbound by its own
    // destructor before the list is.
}

void CMyListCtrl::PreSubclassWindow()
{
    m_nDpi = DpiForWindow(m_hWnd);
    ModifyStyle(0, LVS_OWNERDRAWFIXED);
    // Not WS_EX_CONTROLPARENT: the dialog manager would then tab into the list's children (the
    // hidden editors) instead of to the list, and Tab would never reach it.
    ModifyStyleEx(WS_EX_CONTROLPARENT, 0);
    EnsureHeader();
    SetTimer(TIMER_AUTOFIT, 2000);
    // A new window has no timers yet, whatever an earlier window of this object had.
    m_bScrollWatch = false;
    UpdateScrollWatch();
    EnsureToolTip();
}

void CMyListCtrl::EnsureToolTip()
{
    if (m_pToolTip || !m_hWnd)
        return;
    auto tip = std::make_unique<CToolTipCtrl>();
    if (tip->Create(this, TTS_ALWAYSTIP | TTS_NOPREFIX)) {
        tip->AddTool(m_hWnd, L"");
        tip->SetDelayTime(TTDT_INITIAL, 5);
        tip->SetMaxTipWidth(600);
        m_pToolTip = std::move(tip);
    }
}

void CMyListCtrl::EnsureHeader()
{
    if (m_wndHeader.m_hWnd || !m_hWnd)
        return;
    // A list view made hidden gets its header only when shown or given its first column.
    if (HWND hHeader = GetHeaderCtrl()) {
        m_wndHeader.SubclassWindow(hHeader);
        m_wndHeader.SetTransparent(m_bTransparent);
    }
}

void CMyListCtrl::Relayout()
{
    if (!m_hWnd)
        return;
    RECT rc;
    GetWindowRect(&rc);
    WINDOWPOS pos{};
    pos.hwnd = m_hWnd;
    pos.cx = rc.right - rc.left;
    pos.cy = rc.bottom - rc.top;
    pos.flags = SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOOWNERZORDER;
    SendMessage(WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
}

// ---- Configuration ----

CMyListCtrl& CMyListCtrl::SetLocked(bool bLocked)
{
    m_bLocked = bLocked;
    m_nCurRow = m_nCurCol = -1;
    m_nHoverRow = m_nHoverCol = -1;
    m_nHotRow = -1;
    RefreshHeader();
    return *this;
}

CMyListCtrl& CMyListCtrl::SetTransparent(bool bTransparent)
{
    m_bTransparent = bTransparent;
    m_wndHeader.SetTransparent(bTransparent);
    if (m_hWnd)
        Invalidate();
    UpdateScrollWatch();
    return *this;
}

CMyListCtrl& CMyListCtrl::SetBkImage(const std::wstring& path)
{
    m_strBkImage = path;
    UpdateScrollWatch();
    return *this;
}

void CMyListCtrl::UpdateScrollWatch()
{
    // A background image or a transparent list must be repainted whole when the rows scroll (the
    // platform scrolls the pixels); nothing else drawn depends on the position, so otherwise the
    // 5 ms watcher rests.
    const bool bWanted = m_bTransparent || !m_strBkImage.empty();
    if (!m_hWnd || bWanted == m_bScrollWatch)
        return;
    m_bScrollWatch = bWanted;
    if (bWanted) {
        m_nLastScrollPos = ::GetScrollPos(m_hWnd, SB_VERT);
        SetTimer(TIMER_SCROLL_WATCH, 5);
    } else {
        KillTimer(TIMER_SCROLL_WATCH);
    }
}

void CMyListCtrl::SetVirtualRowCount(int nCount)
{
    if (m_hWnd)
        SendMessage(LVM_SETITEMCOUNT, static_cast<WPARAM>(std::max(nCount, 0)),
                    LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
}

DWORD_PTR CMyListCtrl::GetRowData(int nRow) const
{
    if (IsOwnerData())
        return nRow >= 0 && nRow < m_pRowSource->GetRowCount() ? m_pRowSource->GetRowData(nRow) : 0;
    return GetItemData(nRow);
}

BOOL CMyListCtrl::OnGetDispInfo(LVITEMW& item) const
{
    if (!IsOwnerData())
        return FALSE;
    const bool bRow = item.iItem >= 0 && item.iItem < m_pRowSource->GetRowCount();
    if (item.mask & LVIF_TEXT) {
        if (item.pszText && item.cchTextMax > 0) {
            // Into the caller's buffer: the platform hands this structure back to its caller.
            const wchar_t* text = bRow ? m_pRowSource->GetCellText(item.iItem, item.iSubItem) : nullptr;
            lstrcpynW(item.pszText, text ? text : L"", item.cchTextMax);
        }
    }
    if (item.mask & LVIF_IMAGE)
        item.iImage = bRow && item.iSubItem == 0 ? m_pRowSource->GetRowImage(item.iItem) : -1;
    if (item.mask & LVIF_INDENT)
        item.iIndent = 0;
    return TRUE;
}

CMyListCtrl& CMyListCtrl::SetBkColors(COLORREF clrTop, COLORREF clrBottom)
{
    m_clrBk1 = clrTop;
    m_clrBk2 = clrBottom;
    return *this;
}

BOOL CMyListCtrl::SetTextColor(COLORREF clr)
{
    m_clrText = clr;
    return TRUE;
}

CMyListCtrl& CMyListCtrl::SetSelectionColors(COLORREF clrBk, COLORREF clrText)
{
    m_clrSelBk = clrBk;
    m_clrSelText = clrText;
    return *this;
}

CMyListCtrl& CMyListCtrl::SetDisabledColors(COLORREF clrBk, COLORREF clrText)
{
    m_clrDisabledBk = clrBk;
    m_clrDisabledText = clrText;
    return *this;
}

CMyListCtrl& CMyListCtrl::SetAltRowColors(bool bOn, COLORREF clrBk, COLORREF clrText)
{
    m_bAltRows = bOn;
    m_clrAltBk = clrBk;
    m_clrAltText = clrText;
    return *this;
}

CMyListCtrl& CMyListCtrl::SetHotColors(COLORREF clrTop, COLORREF clrBottom, COLORREF clrText)
{
    m_clrHotBk1 = clrTop;
    m_clrHotBk2 = clrBottom;
    m_clrHotText = clrText;
    return *this;
}

CMyListCtrl& CMyListCtrl::SetProgressColors(COLORREF clrBk, COLORREF clrFill, COLORREF clrText)
{
    m_clrProgressBk = clrBk;
    m_clrProgressFill = clrFill;
    m_clrProgressText = clrText;
    return *this;
}

CMyListCtrl& CMyListCtrl::SetCheckBoxImages(bool bUse, const wchar_t* pOn, const wchar_t* pOff)
{
    m_bCheckImages = bUse;
    if (pOn)
        m_strCheckImageOn = pOn;
    if (pOff)
        m_strCheckImageOff = pOff;
    if (m_hWnd)
        Invalidate();
    return *this;
}

CMyListCtrl& CMyListCtrl::SetCheckBoxes(bool bOn)
{
    if (m_hWnd)
        SetExtendedStyle(bOn ? LVS_EX_CHECKBOXES : 0, LVS_EX_CHECKBOXES);
    return *this;
}

CMyListCtrl& CMyListCtrl::SetGridLines(bool bOn)
{
    if (m_hWnd)
        SetExtendedStyle(bOn ? LVS_EX_GRIDLINES : 0, LVS_EX_GRIDLINES);
    return *this;
}

CMyListCtrl& CMyListCtrl::SetRowHeight(int nHeight)
{
    m_nRowHeight = nHeight;
    Relayout();
    return *this;
}

void CMyListCtrl::OnDpiChanged(int nNewDpi)
{
    if (nNewDpi <= 0 || nNewDpi == m_nDpi || m_nDpi <= 0 || !m_hWnd)
        return;
    const int oldDpi = std::exchange(m_nDpi, nNewDpi);
    for (int col = 0, count = GetColumnCount(); col < count; ++col)
        SetColumnWidth(col, ::MulDiv(GetColumnWidth(col), nNewDpi, oldDpi));
    if (m_nRowHeight >= 5)
        m_nRowHeight = ::MulDiv(m_nRowHeight, nNewDpi, oldDpi);
    Relayout();
}

CMyListCtrl& CMyListCtrl::SetAutoFitLastColumn(bool bOn, int nPeriodMs)
{
    m_bAutoFitLastColumn = bOn;
    m_nAutoFitPeriod = std::clamp(nPeriodMs, 1000, 30000);
    return *this;
}

CMyListCtrl& CMyListCtrl::SetHeaderHeight(int nHeight)
{
    m_nHeaderHeightSet = nHeight;
    EnsureHeader();
    m_wndHeader.SetHeight(nHeight);
    Relayout(); // the platform asks the header for its layout again
    return *this;
}

CMyListCtrl& CMyListCtrl::SetHeaderFontHeight(int nHeight)
{
    m_wndHeader.SetFontHeight(nHeight);
    if (m_wndHeader.m_hWnd)
        m_wndHeader.Invalidate();
    return *this;
}

CMyListCtrl& CMyListCtrl::SetHeaderTextColor(COLORREF clr)
{
    m_wndHeader.SetTextColor(clr);
    if (m_wndHeader.m_hWnd)
        m_wndHeader.Invalidate();
    return *this;
}

CMyListCtrl& CMyListCtrl::SetHotRow(int nRow)
{
    int old = m_nHotRow;
    m_nHotRow = nRow;
    RedrawRow(old);
    RedrawRow(nRow);
    return *this;
}

CMyListCtrl& CMyListCtrl::SetProgressColumn(int nCol, bool bOn)
{
    m_cells.SetProgressColumn(nCol, bOn);
    return *this;
}

CMyListCtrl& CMyListCtrl::SetCheckColumn(int nCol, bool bOn)
{
    m_cells.SetCheckColumn(nCol, bOn);
    return *this;
}

bool CMyListCtrl::IsProgressColumn(int nCol) const
{
    return m_cells.IsProgressColumn(nCol);
}

int CMyListCtrl::IsCheckColumn(int nCol) const
{
    return m_cells.IsCheckColumn(nCol) ? nCol : 0;
}

CMyListCtrl& CMyListCtrl::SetColumnEditKind(int nCol, int nKind)
{
    if (nCol < GetColumnCount())
        m_cells.SetEditKind(nCol, nKind);
    return *this;
}

int CMyListCtrl::GetColumnEditKind(int nCol) const
{
    return m_cells.GetEditKind(nCol);
}

CMyListCtrl& CMyListCtrl::SetNumberColumn(int nCol, const std::wstring& prefix, const std::wstring& suffix)
{
    m_nNumberColumn = nCol;
    m_strNumberPrefix = prefix;
    m_strNumberSuffix = suffix;
    return *this;
}

BOOL CMyListCtrl::SetColumnText(int nCol, const std::wstring& text)
{
    std::wstring title = text.substr(0, 255);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT;
    column.pszText = title.data();
    BOOL result = SetColumn(nCol, &column);
    if (m_wndHeader.m_hWnd)
        m_wndHeader.Invalidate();
    return result;
}

int CMyListCtrl::GetColumnCount() const
{
    HWND hHeader = m_wndHeader.m_hWnd ? m_wndHeader.m_hWnd : (m_hWnd ? GetHeaderCtrl() : nullptr);
    return hHeader ? static_cast<int>(::SendMessageW(hHeader, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

// ---- Rows and cells ----

int CMyListCtrl::InsertNumberedRow(int nRow)
{
    if (nRow < 0)
        nRow = GetItemCount();
    return InsertItem(nRow, std::to_wstring(nRow + 1).c_str());
}

void CMyListCtrl::InsertBlankRows(int nCount)
{
    for (int i = 0; i < nCount; ++i)
        InsertItem(i, L"");
}

BOOL CMyListCtrl::SetItemImage(int nRow, int nImage)
{
    LVITEMW item{};
    item.mask = LVIF_IMAGE | LVIF_TEXT | LVIF_PARAM | LVIF_STATE;
    item.iItem = nRow;
    wchar_t text[DRAW_TEXT_CHARS] = L"";
    item.pszText = text;
    item.cchTextMax = DRAW_TEXT_CHARS;
    item.stateMask = static_cast<UINT>(-1);
    if (!GetItem(&item))
        return FALSE;
    // Only the image changes: the text may be longer than the buffer read it.
    item.mask = LVIF_IMAGE;
    item.iImage = nImage;
    return SetItem(&item);
}

int CMyListCtrl::SelectRow(int nRow, bool bOn)
{
    if (nRow < 0 || nRow >= GetItemCount())
        return 0;
    if (bOn) {
        SetItemState(nRow, LVIS_SELECTED, LVIS_SELECTED);
        EnsureVisible(nRow, TRUE);
    } else {
        SetItemState(nRow, 0, LVIS_SELECTED);
    }
    return 1;
}

void CMyListCtrl::SelectAllRows(int nMode)
{
    if (nMode < 1 || nMode > 3)
        return;
    const int count = GetItemCount();
    for (int i = 0; i < count; ++i) {
        bool bOn = nMode == 1 || (nMode == 3 && !IsRowSelected(i));
        SetItemState(i, bOn ? LVIS_SELECTED : 0, LVIS_SELECTED);
    }
}

void CMyListCtrl::CheckAllRows(int nMode)
{
    if (nMode < 1 || nMode > 3)
        return;
    const int count = GetItemCount();
    for (int i = 0; i < count; ++i)
        SetCheck(i, nMode == 1 || (nMode == 3 && !GetCheck(i)));
}

void CMyListCtrl::SetCellBkColor(int nRow, int nCol, COLORREF clr)
{
    m_cells.SetValue(CListCellStore::CellProperty::BkColor, nRow, nCol, clr);
}

void CMyListCtrl::SetCellTextColor(int nRow, int nCol, COLORREF clr)
{
    m_cells.SetValue(CListCellStore::CellProperty::TextColor, nRow, nCol, clr);
}

COLORREF CMyListCtrl::GetCellBkColor(int nRow, int nCol) const
{
    return m_cells.FindValue(CListCellStore::CellProperty::BkColor, nRow, nCol).value_or(m_clrBk1);
}

COLORREF CMyListCtrl::GetCellTextColor(int nRow, int nCol) const
{
    return m_cells.FindValue(CListCellStore::CellProperty::TextColor, nRow, nCol).value_or(m_clrText);
}

void CMyListCtrl::SetCellReadOnly(int nRow, int nCol, int nFlag)
{
    m_cells.SetValue(CListCellStore::CellProperty::ReadOnly, nRow, nCol, static_cast<DWORD>(nFlag));
}

void CMyListCtrl::SetCellDisabled(int nRow, int nCol, int nFlag)
{
    m_cells.SetValue(CListCellStore::CellProperty::Disabled, nRow, nCol, static_cast<DWORD>(nFlag));
}

int CMyListCtrl::IsCellReadOnly(int nRow, int nCol) const
{
    return static_cast<int>(
        m_cells.FindValue(CListCellStore::CellProperty::ReadOnly, nRow, nCol).value_or(0));
}

int CMyListCtrl::IsCellDisabled(int nRow, int nCol) const
{
    return static_cast<int>(
        m_cells.FindValue(CListCellStore::CellProperty::Disabled, nRow, nCol).value_or(0));
}

void CMyListCtrl::SetCellImage(int nRow, int nCol, int nImage, HIMAGELIST hImageList, int nAlign, int nParam1)
{
    m_cells.SetImage(nRow, nCol, nImage, hImageList, nAlign, nParam1);
}

void CMyListCtrl::SetCellImageFile(int nRow, int nCol, const std::wstring& file, int nAlign, int nParam1,
                                   int nParam2, int nParam3, int nWidth, int nParam4)
{
    m_cells.SetImageFile(nRow, nCol, file, nAlign, nParam1, nParam2, nParam3, nWidth, nParam4);
}

const CMyListCtrl::CellImage* CMyListCtrl::GetCellImage(int nRow, int nCol, bool bExactOnly) const
{
    return m_cells.FindImage(nRow, nCol, bExactOnly);
}

void CMyListCtrl::SetCellCheck(int nRow, int nCol, int nState)
{
    m_cells.SetCheck(nRow, nCol, nState);
}

int CMyListCtrl::GetCellCheck(int nRow, int nCol) const
{
    return m_cells.GetCheck(nRow, nCol);
}

void CMyListCtrl::NumberColumn(int nCol, int nStart, int nDigits, const std::wstring& prefix,
                               const std::wstring& suffix)
{
    if (nCol < 0)
        return;
    const int count = GetItemCount();
    for (int i = 0; i < count; ++i) {
        // Built by concatenation: a prefix or suffix holding '%' must not act as a format.
        wchar_t number[48];
        std::swprintf(number, std::size(number), L"%*d", std::clamp(nDigits, -32, 32), nStart + i);
        SetItemText(i, nCol, (prefix + number + suffix).c_str());
    }
}

void CMyListCtrl::RenumberFrom(int nRow)
{
    if (m_nNumberColumn < 0)
        return;
    const int count = GetItemCount();
    for (int i = std::max(nRow, 0); i < count; ++i) {
        std::wstring text = m_strNumberPrefix + std::to_wstring(i) + m_strNumberSuffix;
        SetItemText(i, m_nNumberColumn, text.c_str());
    }
}

void CMyListCtrl::ClearAllTexts()
{
    const int rows = GetItemCount();
    const int cols = GetColumnCount();
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            SetItemText(r, c, L"");
}

void CMyListCtrl::ClearColumnTexts(int nCol, int nFromRow, int nToRow)
{
    const int rows = GetItemCount();
    if (nToRow < 0 || nToRow > rows)
        nToRow = rows;
    for (int r = std::max(nFromRow, 0); r < nToRow; ++r)
        SetItemText(r, nCol, L"");
}

void CMyListCtrl::ClearRowTexts(int nRow, int nFromCol, int nToCol)
{
    const int cols = GetColumnCount();
    if (nToCol < 0 || nToCol > cols)
        nToCol = cols;
    for (int c = std::max(nFromCol, 0); c < nToCol; ++c)
        SetItemText(nRow, c, L"");
}

void CMyListCtrl::SetColumnTexts(int nCol, const std::vector<std::wstring>& texts)
{
    const int n = std::min(GetItemCount(), static_cast<int>(texts.size()));
    for (int i = 0; i < n; ++i)
        SetItemText(i, nCol, texts[static_cast<size_t>(i)].c_str());
}

void CMyListCtrl::SetRowTexts(int nRow, const std::vector<std::wstring>& texts)
{
    const int n = std::min(GetColumnCount(), static_cast<int>(texts.size()));
    for (int i = 0; i < n; ++i)
        SetItemText(nRow, i, texts[static_cast<size_t>(i)].c_str());
}

void CMyListCtrl::SetColumnTexts(int nCol, const wchar_t* const* pTexts, int nCount)
{
    if (!pTexts)
        return;
    const int n = std::min(GetItemCount(), nCount);
    for (int i = 0; i < n; ++i)
        SetItemText(i, nCol, pTexts[i] ? pTexts[i] : L"");
}

void CMyListCtrl::SetRowTexts(int nRow, const wchar_t* const* pTexts, int nCount)
{
    if (!pTexts)
        return;
    const int n = std::min(GetColumnCount(), nCount);
    for (int i = 0; i < n; ++i)
        SetItemText(nRow, i, pTexts[i] ? pTexts[i] : L"");
}

void CMyListCtrl::SetColumnInts(int nCol, const std::vector<int>& values)
{
    const int n = std::min(GetItemCount(), static_cast<int>(values.size()));
    for (int i = 0; i < n; ++i)
        SetItemInt64(i, nCol, values[static_cast<size_t>(i)]);
}

void CMyListCtrl::SetRowInts(int nRow, const std::vector<int>& values)
{
    const int n = std::min(GetColumnCount(), static_cast<int>(values.size()));
    for (int i = 0; i < n; ++i)
        SetItemInt64(nRow, i, values[static_cast<size_t>(i)]);
}

void CMyListCtrl::SetColumnInts(int nCol, const int* pValues, int nCount)
{
    if (!pValues)
        return;
    const int rows = GetItemCount();
    const int n = nCount < 1 ? rows : std::min(rows, nCount);
    for (int i = 0; i < n; ++i)
        SetItemInt64(i, nCol, pValues[i]);
}

void CMyListCtrl::SetRowInts(int nRow, const int* pValues, int nCount)
{
    if (!pValues)
        return;
    const int cols = GetColumnCount();
    const int n = nCount < 1 ? cols : std::min(cols, nCount);
    for (int i = 0; i < n; ++i)
        SetItemInt64(nRow, i, pValues[i]);
}

void CMyListCtrl::SetColumnDoubles(int nCol, const std::vector<double>& values, unsigned nDecimals)
{
    const int n = std::min(GetItemCount(), static_cast<int>(values.size()));
    for (int i = 0; i < n; ++i)
        SetItemDouble(i, nCol, values[static_cast<size_t>(i)], nDecimals);
}

void CMyListCtrl::SetRowDoubles(int nRow, const std::vector<double>& values, unsigned nDecimals)
{
    const int n = std::min(GetColumnCount(), static_cast<int>(values.size()));
    for (int i = 0; i < n; ++i)
        SetItemDouble(nRow, i, values[static_cast<size_t>(i)], nDecimals);
}

void CMyListCtrl::SetColumnFloats(int nCol, const std::vector<float>& values, unsigned nDecimals)
{
    const int n = std::min(GetItemCount(), static_cast<int>(values.size()));
    for (int i = 0; i < n; ++i)
        SetItemFloat(i, nCol, values[static_cast<size_t>(i)], nDecimals);
}

void CMyListCtrl::SetRowFloats(int nRow, const std::vector<float>& values, unsigned nDecimals)
{
    const int n = std::min(GetColumnCount(), static_cast<int>(values.size()));
    for (int i = 0; i < n; ++i)
        SetItemFloat(nRow, i, values[static_cast<size_t>(i)], nDecimals);
}

int CMyListCtrl::GetColumnTexts(int nCol, std::vector<std::wstring>& texts) const
{
    const int rows = GetItemCount();
    for (int i = 0; i < rows; ++i)
        texts.push_back(GetItemText(i, nCol));
    return static_cast<int>(texts.size());
}

int CMyListCtrl::GetRowTexts(int nRow, std::vector<std::wstring>& texts) const
{
    const int cols = GetColumnCount();
    for (int i = 0; i < cols; ++i)
        texts.push_back(GetItemText(nRow, i));
    return static_cast<int>(texts.size());
}

int CMyListCtrl::SwapRows(int nRowA, int nRowB)
{
    const int rows = GetItemCount();
    if (nRowA == nRowB || nRowA < 0 || nRowB < 0 || nRowA >= rows || nRowB >= rows)
        return 0;
    DWORD_PTR dataA = GetItemData(nRowA);
    SetItemData(nRowA, GetItemData(nRowB));
    SetItemData(nRowB, dataA);
    const int cols = std::max(GetColumnCount(), 1);
    for (int c = 0; c < cols; ++c) {
        std::wstring textA = GetItemText(nRowA, c);
        SetItemText(nRowA, c, GetItemText(nRowB, c).c_str());
        SetItemText(nRowB, c, textA.c_str());
    }
    return 1;
}

// ---- Painting ----

RECT CMyListCtrl::CellRect(int nRow, int nCol) const
{
    RECT rc{};
    GetSubItemRect(nRow, nCol, LVIR_LABEL, &rc);
    if (nCol == 0) {
        // Column 0 starts at the row's left edge (0 unless scrolled sideways), over the
        // platform's state icon and icon.
        RECT bounds{};
        if (GetItemRect(nRow, &bounds, LVIR_BOUNDS))
            rc.left = bounds.left;
    }
    return rc;
}

bool CMyListCtrl::HasCheckBox(int nCol) const
{
    if (nCol == 0)
        return (GetExtendedStyle() & LVS_EX_CHECKBOXES) != 0;
    return m_cells.IsCheckColumn(nCol);
}

Gdiplus::Image* CMyListCtrl::CachedImage(const std::wstring& name)
{
    if (name.empty())
        return nullptr;
    auto it = m_images.find(name);
    if (it == m_images.end()) {
        if (m_images.size() >= 64)
            m_images.clear();
        SkinImagePtr image = LoadSkinImage(name);
        if (image && (image->GetWidth() == 0 || image->GetHeight() == 0))
            image.reset();
        it = m_images.emplace(name, std::move(image)).first;
    }
    return it->second.get();
}

namespace {

// The image scaled to w x h as a premultiplied 32-bit DIB for AlphaBlend; null on failure.
HBITMAP RenderPremultiplied(Gdiplus::Image* image, int w, int h)
{
    Gdiplus::Bitmap canvas(w, h, PixelFormat32bppPARGB);
    if (canvas.GetLastStatus() != Gdiplus::Ok)
        return nullptr;
    {
        Gdiplus::Graphics graphics(&canvas);
        graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
        graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
        graphics.Clear(Gdiplus::Color(0, 0, 0, 0));
        if (graphics.DrawImage(image, 0, 0, w, h) != Gdiplus::Ok)
            return nullptr;
    }
    Gdiplus::Rect area(0, 0, w, h);
    Gdiplus::BitmapData data{};
    if (canvas.LockBits(&area, Gdiplus::ImageLockModeRead, PixelFormat32bppPARGB, &data) != Gdiplus::Ok)
        return nullptr;
    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
    bmi.bmiHeader.biWidth = w;
    bmi.bmiHeader.biHeight = -h;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = ::CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (dib && bits) {
        for (int y = 0; y < h; ++y)
            std::memcpy(static_cast<BYTE*>(bits) + static_cast<size_t>(y) * w * 4,
                        static_cast<const BYTE*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride,
                        static_cast<size_t>(w) * 4);
    }
    canvas.UnlockBits(&data);
    return dib;
}

} // namespace

bool CMyListCtrl::DrawCheckImage(HDC dc, const RECT& box, bool bOn)
{
    const std::wstring& name = bOn ? m_strCheckImageOn : m_strCheckImageOff;
    const int w = box.right - box.left;
    const int h = box.bottom - box.top;
    if (w <= 0 || h <= 0)
        return false;
    CheckBitmap& cache = m_checkBitmaps[bOn ? 1 : 0];
    if (cache.name != name || cache.width != w || cache.height != h) {
        cache.name = name;
        cache.width = w;
        cache.height = h;
        cache.bitmap.DeleteObject();
        if (Gdiplus::Image* image = CachedImage(name))
            cache.bitmap.Attach(RenderPremultiplied(image, w, h));
    }
    if (!cache.bitmap)
        return false;
    if (!m_checkDC)
        m_checkDC = CDC::CreateCompatibleDC(nullptr);
    if (!m_checkDC)
        return false;
    CSelectObject select(m_checkDC, cache.bitmap);
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    return ::AlphaBlend(dc, box.left, box.top, w, h, m_checkDC, 0, 0, w, h, blend) != FALSE;
}

void CMyListCtrl::Paint(HDC hTarget, const RECT* pUpdate)
{
    if (!hTarget)
        return;
    EnsureHeader();
    RECT rcClient;
    GetClientRect(&rcClient);
    // Only the part that needs painting is buffered and drawn (the platform asks for the rows
    // that cross the buffer); the gradient is still laid over the whole client area.
    RECT rcBuffer = rcClient;
    if (pUpdate && !::IntersectRect(&rcBuffer, &rcClient, pUpdate))
        return;
    RECT rcHeader{};
    if (m_wndHeader.m_hWnd && m_wndHeader.IsWindowVisible()) {
        m_wndHeader.GetWindowRect(&rcHeader);
        ScreenToClient(&rcHeader);
    }

    CSaveDC savedTarget(hTarget);
    // The header is a child window: the copy to the screen must not paint over it.
    ::ExcludeClipRect(hTarget, rcHeader.left, rcHeader.top, rcHeader.right, rcHeader.bottom);
    CMemDC dc(hTarget, rcBuffer, m_bTransparent);
    {
        CSaveDC saved(dc);
        ::ExcludeClipRect(dc, rcHeader.left, rcHeader.top, rcHeader.right, rcHeader.bottom);

        m_bBkImageDrawn = false;
        if (!m_strBkImage.empty()) {
            if (Gdiplus::Image* image = CachedImage(m_strBkImage))
                m_bBkImageDrawn = DrawImage(image, dc, rcClient, DRAW_IMAGE_STRETCH);
        }
        if (!m_bBkImageDrawn && !m_bTransparent) {
            if (GetStyle() & WS_DISABLED)
                FillSolid(dc, rcClient, m_clrDisabledBk);
            else
                GradientFillRect(dc, rcClient, m_clrBk1, m_clrBk2, true);
        }
        // The platform draws into the same buffer; it asks DrawItem for every visible row.
        m_paintLayout.bInPaint = true;
        m_paintLayout.bReady = false;
        DefWindowProc(WM_PAINT, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
        m_paintLayout.bInPaint = false;
        DrawGrid(dc, rcClient);
    }
    dc.Flush();
}

void CMyListCtrl::DrawGrid(HDC dc, const RECT& rcClient)
{
    if (!(GetExtendedStyle() & LVS_EX_GRIDLINES) || m_nGridWidth <= 0)
        return;
    CPen pen(::CreatePen(PS_SOLID, m_nGridWidth, m_clrGrid));
    CSelectObject selectPen(dc, pen);
    if (m_nRowHeight >= 1) {
        // Rows start below the header as it is now (the height given to SetHeaderHeight when the
        // header is not there).
        int top = m_nHeaderHeightSet;
        if (m_wndHeader.m_hWnd && m_wndHeader.IsWindowVisible()) {
            RECT rcHeader;
            m_wndHeader.GetWindowRect(&rcHeader);
            ScreenToClient(&rcHeader);
            top = rcHeader.bottom;
        }
        for (int y = top; y <= rcClient.bottom; y += m_nRowHeight) {
            ::MoveToEx(dc, rcClient.left, y, nullptr);
            ::LineTo(dc, rcClient.right, y);
        }
    }
    int x = -::GetScrollPos(m_hWnd, SB_HORZ);
    const int cols = GetColumnCount();
    for (int c = -1; c < cols; ++c) {
        if (c >= 0)
            x += GetColumnWidth(c);
        ::MoveToEx(dc, x, rcClient.top, nullptr);
        ::LineTo(dc, x, rcClient.bottom);
    }
}

const ListPaintLayout& CMyListCtrl::PaintLayoutFor(int nRow, const RECT& rcRow)
{
    ListPaintLayout& layout = m_paintLayout;
    if (layout.bInPaint && layout.bReady)
        return layout;
    layout.bReady = true;
    GetClientRect(&layout.rcClient);
    layout.bWindowDisabled = (GetStyle() & WS_DISABLED) != 0;
    layout.bRowCheckBoxes = (GetExtendedStyle() & LVS_EX_CHECKBOXES) != 0;
    layout.hFont = GetFont();
    layout.hSmallImages = GetImageList(LVSIL_SMALL);
    layout.columns = GetColumnCount();
    layout.focusRow = FocusRowShown();
    layout.cells.assign(static_cast<size_t>(std::max(layout.columns, 0)), {});
    for (int col = 0; col < layout.columns; ++col) {
        const RECT rc = CellRect(nRow, col);
        LVCOLUMNW column{};
        column.mask = LVCF_FMT;
        GetColumn(col, &column);
        ListPaintLayout::Column& cell = layout.cells[static_cast<size_t>(col)];
        cell.left = rc.left - rcRow.left;
        cell.right = rc.right - rcRow.left;
        cell.format = column.fmt & LVCFMT_JUSTIFYMASK;
        if (col == 0) {
            layout.cellTop = rc.top - rcRow.top;
            layout.cellBottom = rc.bottom - rcRow.top;
        }
    }
    RECT rcIcon{};
    GetItemRect(nRow, &rcIcon, LVIR_ICON);
    layout.icon = {rcIcon.left - rcRow.left, rcIcon.top - rcRow.top, rcIcon.right - rcRow.left,
                   rcIcon.bottom - rcRow.top};
    return layout;
}

void CMyListCtrl::DrawItem(const DRAWITEMSTRUCT* pDis)
{
    if (!pDis || pDis->itemID == static_cast<UINT>(-1))
        return;
    HDC dc = pDis->hDC;
    RowPaint paint;
    paint.row = static_cast<int>(pDis->itemID);
    paint.rcRow = pDis->rcItem;
    const ListPaintLayout& layout = PaintLayoutFor(paint.row, paint.rcRow);
    paint.pLayout = &layout;
    CSaveDC saved(dc);

    paint.bChecked = GetCheck(paint.row) != FALSE;
    paint.bSelected = (pDis->itemState & ODS_SELECTED) != 0;
    paint.bFill = !(m_bTransparent || m_bBkImageDrawn || m_bLocked);
    if (paint.row == m_nHotRow && paint.bFill) {
        RECT rcRow = pDis->rcItem;
        rcRow.right = layout.rcClient.right;
        GradientFillRect(dc, rcRow, m_clrHotBk1, m_clrHotBk2, true);
        paint.bFill = false;
    }

    if (layout.hFont)
        ::SelectObject(dc, layout.hFont);
    ::SetBkMode(dc, TRANSPARENT);
    const bool bComboOpen = m_pCombo && m_pCombo->m_hWnd && m_pCombo->IsWindowVisible();

    for (int col = 0; col < layout.columns; ++col) {
        // The open drop-down list covers its cell.
        if (bComboOpen && paint.row == m_nEditRow && col == m_nEditCol)
            continue;
        DrawCell(dc, paint, col);
    }

    if (paint.row == layout.focusRow) {
        RECT rcFocus = pDis->rcItem;
        rcFocus.right = layout.rcClient.right;
        rcFocus.bottom -= 1;
        ::DrawFocusRect(dc, &rcFocus);
    }
}

int CMyListCtrl::FocusRowShown() const
{
    // The platform's focused item is where the keys act, selected or not; the dialog's keyboard
    // cues decide as they do for the platform's own controls.
    if (!m_bFocusRect || ::GetFocus() != m_hWnd)
        return -1;
    if (::SendMessageW(m_hWnd, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS)
        return -1;
    return GetNextItem(-1, LVNI_FOCUSED);
}

void CMyListCtrl::DrawCell(HDC dc, const RowPaint& paint, int col)
{
    const ListPaintLayout& layout = *paint.pLayout;
    const int row = paint.row;
    wchar_t text[DRAW_TEXT_CHARS] = L"";
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM | LVIF_STATE | LVIF_INDENT;
    item.iItem = row;
    item.iSubItem = col;
    item.pszText = text;
    item.cchTextMax = DRAW_TEXT_CHARS;
    item.stateMask = static_cast<UINT>(-1);
    item.iImage = -1;
    if (IsOwnerData()) {
        // Straight from the source: the platform's way round costs a notification a cell.
        OnGetDispInfo(item);
    } else if (!GetItem(&item)) {
        text[0] = L'\0';
    }
    text[DRAW_TEXT_CHARS - 1] = L'\0';

    CellPaint cell;
    cell.rc = layout.CellIn(paint.rcRow, col);
    cell.bCheck = col == 0 ? layout.bRowCheckBoxes : m_cells.IsCheckColumn(col);
    cell.bProgress = m_cells.IsProgressColumn(col);
    CellColors(paint, col, cell);
    if (cell.bFill) {
        RECT rcFill = cell.rc;
        if (col == layout.columns - 1 && !m_bCellSelect)
            rcFill.right = layout.rcClient.right;
        FillSolid(dc, rcFill, cell.clrBk);
    }

    const wchar_t* shown = text;
    if (cell.bProgress) {
        if (!text[0])
            shown = L"0%";
        DrawProgressBar(dc, cell.rc, std::wcstol(shown, nullptr, 10));
        cell.clrText = m_clrProgressText;
    }
    int textLeft = cell.rc.left;
    if (cell.bCheck)
        textLeft = DrawCheckBox(dc, cell, col == 0 ? paint.bChecked : GetCellCheck(row, col) != 0);
    const int imageOffset = DrawCellImage(dc, paint, cell.rc, col, item.iImage);
    if (cell.bCheck)
        textLeft += 2;
    textLeft += 2 + imageOffset;
    DrawCellText(dc, cell, layout.cells[static_cast<size_t>(col)].format, shown, textLeft);
}

void CMyListCtrl::CellColors(const RowPaint& paint, int col, CellPaint& cell) const
{
    const int row = paint.row;
    cell.clrBk = GetCellBkColor(row, col);
    cell.clrText = GetCellTextColor(row, col);
    if (m_bAltRows && (row % 2) == 1) {
        cell.clrBk = m_clrAltBk;
        cell.clrText = m_clrAltText;
    }
    if (IsOwnerData())
        m_pRowSource->GetRowTextColor(row, cell.clrText);
    if (row == m_nHoverRow)
        cell.clrText = 0xF00000;
    if (row == m_nHotRow)
        cell.clrText = m_clrHotText;
    cell.bFill = paint.bFill;
    const bool bCellSel = m_bCellSelect && row == m_nCurRow && col == m_nCurCol;
    if (bCellSel)
        cell.bFill = true;
    if (paint.bSelected && (bCellSel || !m_bCellSelect)) {
        cell.clrBk = m_clrSelBk;
        cell.clrText = m_clrSelText;
    }
    if (paint.pLayout->bWindowDisabled || IsCellDisabled(row, col)) {
        cell.clrBk = m_clrDisabledBk;
        cell.clrText = m_clrDisabledText;
    }
    if (m_bTransparent)
        cell.bFill = false;
}

void CMyListCtrl::DrawProgressBar(HDC dc, const RECT& rc, long nValue)
{
    RECT bar{rc.left + 2, rc.top, rc.right, rc.bottom - 1};
    FrameSolid(dc, bar, m_clrProgressBk);
    ::InflateRect(&bar, -1, -1);
    FillSolid(dc, bar, m_clrProgressBk);
    if (nValue <= 0)
        return;
    const long width = bar.right - bar.left;
    // Values above 100 fill the bar, never the cells beside it.
    const long filled = std::min(width, static_cast<long>(nValue * static_cast<long long>(width) / 100));
    FillSolid(dc, {bar.left, bar.top, bar.left + static_cast<int>(filled), bar.bottom}, m_clrProgressFill);
}

int CMyListCtrl::DrawCheckBox(HDC dc, const CellPaint& cell, bool bOn)
{
    const RECT& rc = cell.rc;
    const int h = rc.bottom - rc.top;
    int textLeft = rc.left + h - 2;
    const RECT square{rc.left + 2, rc.top, rc.left + 2 + h, rc.top + h};
    if (m_bCheckImages) {
        RECT box{square.left + 1, square.top, square.right - 1, square.bottom - 2};
        if (DrawCheckImage(dc, box, bOn))
            return textLeft + 2;
    }
    // The drawn box and its tick are measured at 96 dpi and grow with the window's scale.
    const int dpi = DpiForWindow(m_hWnd);
    const auto px = [dpi](int n) { return ScaleForDpi(n, dpi); };
    RECT box = square;
    while (box.right - box.left > px(14))
        ::InflateRect(&box, -1, -1);
    box.right = box.left + px(12);
    box.bottom -= 1;
    box.left -= 1;
    FrameSolid(dc, box, cell.clrText, px(1));
    if (bOn) {
        static const int drop[7] = {5, 6, 7, 6, 5, 4, 3};
        for (int i = 0; i < 7; ++i) {
            const int x = box.left + px(3 + i);
            const int y = box.top + px(drop[i]);
            FillSolid(dc, {x, y, box.left + px(4 + i), y + px(3)}, cell.clrText);
        }
    }
    return textLeft;
}

int CMyListCtrl::DrawCellImage(HDC dc, const RowPaint& paint, const RECT& rc, int col, int nItemImage)
{
    const int row = paint.row;
    const int h = rc.bottom - rc.top;
    const ListPaintLayout& layout = *paint.pLayout;
    if (col == 0 && nItemImage >= 0 && layout.hSmallImages) {
        const RECT& icon = layout.icon;
        ImageList_Draw(layout.hSmallImages, nItemImage, dc, paint.rcRow.left + icon.left,
                       paint.rcRow.top + icon.top, ILD_TRANSPARENT);
        return icon.right - icon.left;
    }
    const CellImage* image = GetCellImage(row, col, false);
    if (!image)
        return 0;
    int x = rc.left + 1;
    int offset = h;
    const int width = image->width == -1 ? h : image->width;
    if (image->align == 1) {
        x = rc.left + (rc.right - rc.left) / 2 - h / 2;
        offset = 2;
    } else if (image->align == 2) {
        x = rc.right - h - 2;
        offset = 2;
    }
    bool bDrawn = false;
    HIMAGELIST hList = image->imageList ? image->imageList : layout.hSmallImages;
    if (image->image != -1 && hList)
        bDrawn = ImageList_Draw(hList, image->image, dc, x, rc.top, ILD_TRANSPARENT) != FALSE;
    if (!bDrawn && !image->file.empty()) {
        if (Gdiplus::Image* picture = CachedImage(image->file))
            DrawImage(picture, dc, {x, rc.top, x + width, rc.bottom}, DRAW_IMAGE_STRETCH);
    }
    return offset;
}

void CMyListCtrl::DrawCellText(HDC dc, const CellPaint& cell, int nColumnFormat, const wchar_t* pszText,
                               int nLeft)
{
    UINT format = DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;
    if (m_bEndEllipsis)
        format |= DT_END_ELLIPSIS;
    if (cell.bProgress || nColumnFormat == LVCFMT_CENTER)
        format |= DT_CENTER;
    else if (nColumnFormat == LVCFMT_RIGHT)
        format |= DT_RIGHT;
    else
        format |= DT_LEFT;
    RECT rcText = cell.rc;
    rcText.left = nLeft + 2;
    ::SetTextColor(dc, cell.clrText);
    ::DrawTextW(dc, pszText, -1, &rcText, format);
}

void CMyListCtrl::RedrawRow(int nRow)
{
    if (m_hWnd && nRow >= 0 && nRow < GetItemCount())
        RedrawItems(nRow, nRow);
}

void CMyListCtrl::PostToParent(int nCmdId, LPARAM lParam)
{
    if (HWND hParent = GetParent())
        ::PostMessageW(hParent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(nCmdId), 0), lParam);
}
