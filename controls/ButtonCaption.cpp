#include "controls/ButtonCaption.h"

std::vector<std::wstring> SplitCaptionLines(std::wstring_view text)
{
    std::vector<std::wstring> lines(1);
    for (size_t i = 0; i < text.size(); ++i) {
        wchar_t ch = text[i];
        if (ch == L'\r') {
            if (i + 1 < text.size() && text[i + 1] == L'\n')
                ++i;
            lines.emplace_back();
        } else if (ch == L'\n') {
            lines.emplace_back();
        } else {
            lines.back() += ch;
        }
    }
    return lines;
}

void DrawCaptionLines(HDC hDC, const RECT& rect, std::wstring_view text, bool bCentre)
{
    if (text.empty())
        return;
    std::vector<std::wstring> lines = SplitCaptionLines(text);
    SIZE letter{};
    if (!::GetTextExtentPoint32W(hDC, L"A", 1, &letter) || letter.cy <= 0)
        letter.cy = 12;
    const int lineHeight = letter.cy;
    const int blockHeight = lineHeight * static_cast<int>(lines.size());
    int top = rect.top + ((rect.bottom - rect.top) - blockHeight) / 2;
    const UINT format = DT_SINGLELINE | DT_VCENTER | (bCentre ? DT_CENTER : DT_LEFT);
    for (const std::wstring& line : lines) {
        RECT band{rect.left, top, rect.right, top + lineHeight};
        if (!line.empty())
            ::DrawTextW(hDC, line.c_str(), static_cast<int>(line.size()), &band, format);
        top += lineHeight;
    }
}

bool ShowsButtonFocus(HWND hWnd, UINT itemState)
{
    if (!(itemState & ODS_FOCUS) || (itemState & ODS_NOFOCUSRECT))
        return false;
    return !(::SendMessageW(hWnd, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS);
}
