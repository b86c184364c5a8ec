#include "AppTestSupport.h"

#include "platform/CWnd.h"

#include <commctrl.h>

#include <algorithm>
#include <cctype>

namespace apptest {

std::wstring TextOf(HWND hWnd)
{
    const int length = ::GetWindowTextLengthW(hWnd);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(hWnd, text.data(), length + 1)));
    return text;
}

std::wstring ItemText(HWND hDlg, int nID)
{
    return TextOf(::GetDlgItem(hDlg, nID));
}

int RowCount(HWND hList)
{
    return static_cast<int>(::SendMessageW(hList, LVM_GETITEMCOUNT, 0, 0));
}

std::vector<std::wstring> RowTexts(HWND hList, int nRow, int nColumns)
{
    std::vector<std::wstring> texts;
    for (int col = 0; col < nColumns; ++col) {
        wchar_t buffer[512] = {};
        LVITEMW item{};
        item.iSubItem = col;
        item.pszText = buffer;
        item.cchTextMax = 512;
        ::SendMessageW(hList, LVM_GETITEMTEXTW, static_cast<WPARAM>(nRow), reinterpret_cast<LPARAM>(&item));
        texts.emplace_back(buffer);
    }
    return texts;
}

std::wstring ColumnTitle(HWND hList, int nCol)
{
    wchar_t buffer[128] = {};
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT;
    column.pszText = buffer;
    column.cchTextMax = 128;
    ::SendMessageW(hList, LVM_GETCOLUMNW, static_cast<WPARAM>(nCol), reinterpret_cast<LPARAM>(&column));
    return buffer;
}

int FindRow(HWND hList, int nCol, const std::wstring& text)
{
    const int rows = RowCount(hList);
    for (int row = 0; row < rows; ++row)
        if (RowTexts(hList, row, nCol + 1)[static_cast<size_t>(nCol)] == text)
            return row;
    return -1;
}

void ClickCell(HWND hList, int nRow, int nCol, bool bDouble)
{
    RECT rc{};
    rc.top = nCol;
    rc.left = LVIR_BOUNDS;
    ::SendMessageW(hList, LVM_GETSUBITEMRECT, static_cast<WPARAM>(nRow), reinterpret_cast<LPARAM>(&rc));
    const int x = nCol == 0 ? rc.left + 30 : (rc.left + rc.right) / 2;
    const LPARAM at = MAKELPARAM(x, (rc.top + rc.bottom) / 2);
    ::SendMessageW(hList, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::SendMessageW(hList, WM_LBUTTONUP, 0, at);
    if (bDouble) {
        ::SendMessageW(hList, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        ::SendMessageW(hList, WM_LBUTTONUP, 0, at);
    }
}

void RemoveLanguageFiles()
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring exe = path;
    ::DeleteFileW((exe + L"-Lang.ini").c_str());
    const std::wstring dir = exe.substr(0, exe.find_last_of(L"\\/") + 1);
    ::DeleteFileW((dir + L"GlobalLang.ini").c_str());
}

std::wstring Widen(const std::string& utf8)
{
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

} // namespace apptest
