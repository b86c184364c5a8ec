#include "controls/ListCellStore.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace {

// The record with exactly this key; const when the list is.
template <class List> auto FindRecord(List& list, int row, int col) -> decltype(&list.front())
{
    for (auto& record : list)
        if (record.row == row && record.col == col)
            return &record;
    return nullptr;
}

// Colours: exact cell, then the whole column, then the whole row.
template <class Record> const Record* LookupColumnFirst(const std::vector<Record>& list, int row, int col)
{
    if (const Record* r = FindRecord(list, row, col))
        return r;
    if (const Record* r = FindRecord(list, -1, col))
        return r;
    return FindRecord(list, row, -1);
}

// Images and marks: exact cell, then the whole row, then the whole column.
template <class Record> const Record* LookupRowFirst(const std::vector<Record>& list, int row, int col)
{
    if (const Record* r = FindRecord(list, row, col))
        return r;
    if (const Record* r = FindRecord(list, row, -1))
        return r;
    return FindRecord(list, -1, col);
}

// Adds (bOn) or removes a column in a 20-slot set; a full set ignores additions.
void SetMember(int (&slots)[CListCellStore::MAX_SET_COLUMNS], int nCol, bool bOn)
{
    int nFree = -1;
    for (int i = 0; i < CListCellStore::MAX_SET_COLUMNS; ++i) {
        if (slots[i] == nCol) {
            if (!bOn)
                slots[i] = -1;
            return;
        }
        if (slots[i] == -1 && nFree < 0)
            nFree = i;
    }
    if (bOn && nFree >= 0)
        slots[nFree] = nCol;
}

bool IsMember(const int (&slots)[CListCellStore::MAX_SET_COLUMNS], int nCol)
{
    if (nCol < 0)
        return false;
    return std::find(std::begin(slots), std::end(slots), nCol) != std::end(slots);
}

CListCellStore::CellImage& ImageRecord(std::vector<CListCellStore::CellImage>& list, int row, int col)
{
    if (CListCellStore::CellImage* record = FindRecord(list, row, col))
        return *record;
    CListCellStore::CellImage& record = list.emplace_back();
    record.row = row;
    record.col = col;
    return record;
}

} // namespace

CListCellStore::CListCellStore()
{
    std::fill(std::begin(m_nProgressColumns), std::end(m_nProgressColumns), -1);
    std::fill(std::begin(m_nCheckColumns), std::end(m_nCheckColumns), -1);
    std::fill(std::begin(m_nEditKind), std::end(m_nEditKind), -1);
}

std::vector<CListCellStore::CellValue>& CListCellStore::Values(CellProperty property)
{
    return const_cast<std::vector<CellValue>&>(std::as_const(*this).Values(property));
}

const std::vector<CListCellStore::CellValue>& CListCellStore::Values(CellProperty property) const
{
    switch (property) {
    case CellProperty::BkColor:
        return m_lstCellBk;
    case CellProperty::TextColor:
        return m_lstCellText;
    case CellProperty::ReadOnly:
        return m_lstCellReadOnly;
    case CellProperty::Disabled:
        break;
    }
    return m_lstCellDisabled;
}

void CListCellStore::SetValue(CellProperty property, int nRow, int nCol, DWORD value)
{
    std::vector<CellValue>& list = Values(property);
    if (CellValue* record = FindRecord(list, nRow, nCol))
        record->value = value;
    else
        list.push_back({nRow, nCol, value});
}

std::optional<DWORD> CListCellStore::FindValue(CellProperty property, int nRow, int nCol) const
{
    const std::vector<CellValue>& list = Values(property);
    const bool bColour = property == CellProperty::BkColor || property == CellProperty::TextColor;
    const CellValue* record =
        bColour ? LookupColumnFirst(list, nRow, nCol) : LookupRowFirst(list, nRow, nCol);
    if (!record)
        return std::nullopt;
    return record->value;
}

void CListCellStore::SetImage(int nRow, int nCol, int nImage, HIMAGELIST hImageList, int nAlign, int nParam1)
{
    CellImage& record = ImageRecord(m_lstCellImage, nRow, nCol);
    record.image = nImage;
    record.imageList = hImageList;
    record.align = nAlign;
    record.param1 = nParam1;
    record.param2 = record.param3 = record.width = record.param4 = -1;
    record.file.clear();
}

void CListCellStore::SetImageFile(int nRow, int nCol, const std::wstring& file, int nAlign, int nParam1,
                                  int nParam2, int nParam3, int nWidth, int nParam4)
{
    CellImage& record = ImageRecord(m_lstCellImage, nRow, nCol);
    record.image = -1;
    record.imageList = nullptr;
    record.align = nAlign;
    record.param1 = nParam1;
    record.param2 = nParam2;
    record.param3 = nParam3;
    record.width = nWidth;
    record.param4 = nParam4;
    record.file = file;
}

const CListCellStore::CellImage* CListCellStore::FindImage(int nRow, int nCol, bool bExactOnly) const
{
    return bExactOnly ? FindRecord(m_lstCellImage, nRow, nCol) : LookupRowFirst(m_lstCellImage, nRow, nCol);
}

void CListCellStore::SetCheck(int nRow, int nCol, int nState)
{
    if (!IsMember(m_nCheckColumns, nCol))
        return;
    CellValue* record = FindRecord(m_lstCellCheck, nRow, nCol);
    DWORD value = static_cast<DWORD>(nState);
    if (nState == 2)
        value = record && record->value ? 0 : 1;
    if (record)
        record->value = value;
    else
        m_lstCellCheck.push_back({nRow, nCol, value});
}

int CListCellStore::GetCheck(int nRow, int nCol) const
{
    if (!IsMember(m_nCheckColumns, nCol))
        return 0;
    const CellValue* record = FindRecord(m_lstCellCheck, nRow, nCol);
    return record ? static_cast<int>(record->value) : 0;
}

void CListCellStore::SetProgressColumn(int nCol, bool bOn)
{
    SetMember(m_nProgressColumns, nCol, bOn);
}

void CListCellStore::SetCheckColumn(int nCol, bool bOn)
{
    SetMember(m_nCheckColumns, nCol, bOn);
}

bool CListCellStore::IsProgressColumn(int nCol) const
{
    return IsMember(m_nProgressColumns, nCol);
}

bool CListCellStore::IsCheckColumn(int nCol) const
{
    return IsMember(m_nCheckColumns, nCol);
}

void CListCellStore::SetEditKind(int nCol, int nKind)
{
    if (nCol >= 0 && nCol < MAX_SET_COLUMNS)
        m_nEditKind[nCol] = nKind;
}

int CListCellStore::GetEditKind(int nCol) const
{
    return nCol >= 0 && nCol < MAX_SET_COLUMNS ? m_nEditKind[nCol] : -1;
}
