#pragma once
// Caption drawing shared by the skinned buttons and check boxes: a caption of several lines
// ("\r\n", "\r" and "\n" all break a line) is drawn as a block centred vertically in the
// rectangle, one band per line, each band as high as the letter "A" in the selected font.

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

// The caption's lines, with every line break made one.
std::vector<std::wstring> SplitCaptionLines(std::wstring_view text);

// Draws text in the device context's current font and text colour; bCentre centres each line
// horizontally, otherwise lines start at rect.left.
void DrawCaptionLines(HDC hDC, const RECT& rect, std::wstring_view text, bool bCentre);

// Whether an owner-drawn button shows its focus: it has it (ODS_FOCUS), and the window shows
// keyboard cues (no ODS_NOFOCUSRECT, no UISF_HIDEFOCUS; the dialog manager clears that flag as soon
// as the keyboard is used), as the platform's own buttons decide.
bool ShowsButtonFocus(HWND hWnd, UINT itemState);
