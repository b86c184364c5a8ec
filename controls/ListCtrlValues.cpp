#include "controls/ListCtrlValues.h"

#include <algorithm>
#include <cwchar>
#include <cstdlib>
#include <vector>

namespace {

std::wstring Upper(std::wstring text)
{
    if (!text.empty())
        ::CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

} // namespace

int64_t CListCtrlValues::GetItemInt64(int nRow, int nCol) const
{
    return _wcstoi64(m_pList->GetItemText(nRow, nCol).c_str(), nullptr, 10);
}

BOOL CListCtrlValues::SetItemInt64(int nRow, int nCol, int64_t value)
{
    return m_pList->SetItemText(nRow, nCol, std::to_wstring(value).c_str());
}

float CListCtrlValues::GetItemFloat(int nRow, int nCol) const
{
    return static_cast<float>(GetItemDouble(nRow, nCol));
}

double CListCtrlValues::GetItemDouble(int nRow, int nCol) const
{
    return std::wcstod(m_pList->GetItemText(nRow, nCol).c_str(), nullptr);
}

std::wstring CListCtrlValues::FormatDouble(double value, unsigned nDecimals)
{
    // Enough for "%f" of the largest double (309 digits) and any sensible precision.
    std::vector<wchar_t> buffer(400 + std::min(nDecimals, 100u));
    if (nDecimals > 0) {
        std::swprintf(buffer.data(), buffer.size(), L"%.*f", static_cast<int>(std::min(nDecimals, 100u)),
                      value);
        return buffer.data();
    }
    std::swprintf(buffer.data(), buffer.size(), L"%f", value);
    std::wstring text = buffer.data();
    if (text.find(L'.') == std::wstring::npos)
        return text; // inf, nan
    while (!text.empty() && text.back() == L'0')
        text.pop_back();
    if (!text.empty() && text.back() == L'.')
        text.pop_back();
    return text;
}

BOOL CListCtrlValues::SetItemFloat(int nRow, int nCol, float value, unsigned nDecimals)
{
    return m_pList->SetItemText(nRow, nCol, FormatDouble(value, nDecimals).c_str());
}

BOOL CListCtrlValues::SetItemDouble(int nRow, int nCol, double value, unsigned nDecimals)
{
    return m_pList->SetItemText(nRow, nCol, FormatDouble(value, nDecimals).c_str());
}

int CListCtrlValues::FindText(const std::wstring& text, int nFlags, int nStartRow, int nColumns)
{
    if (text.empty())
        return -1;
    if (nColumns < 1) {
        HWND hHeader = m_pList->GetHeaderCtrl();
        nColumns = hHeader ? static_cast<int>(::SendMessageW(hHeader, HDM_GETITEMCOUNT, 0, 0)) : 20;
    }
    const bool bNoCase = (nFlags & 1) != 0;
    const bool bAll = (nFlags & 2) != 0;
    const std::wstring needle = bNoCase ? Upper(text) : text;
    const int count = m_pList->GetItemCount();
    for (int row = nStartRow < 0 ? 0 : nStartRow; row < count; ++row) {
        bool bMatch = false;
        for (int col = 0; col < nColumns && !bMatch; ++col) {
            std::wstring cell = m_pList->GetItemText(row, col);
            if (bNoCase)
                cell = Upper(std::move(cell));
            bMatch = cell.find(needle) != std::wstring::npos;
        }
        if (!bMatch)
            continue;
        m_pList->SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        if (!bAll)
            return row;
    }
    return -1;
}
