#pragma once
// The process-wide look of the skinned push buttons (colours, caption font style, corner radii,
// caption icon offsets), read from "ButtonDefault.ini", section "BUTTON", and the colour-text
// parser that the settings files use.

#include <windows.h>

#include <string>
#include <string_view>

// Reads a colour text into colour (0x00BBGGRR). Accepted forms, after trimming and upper-casing:
// "#RRGGBB" (hexadecimal pairs) and three decimal numbers separated by commas or blanks, where
// "(", ")", "R", "G", "B" and ";" are ignored (so "RGB(255,0,0)" works). A text shorter than 5
// characters, one that is not exactly three numbers, or a number outside 0..255 leaves colour
// unchanged and returns false.
bool ParseColor(std::wstring_view text, COLORREF& colour);

struct ButtonDefaults {
    COLORREF m_clrBk1 = RGB(255, 255, 255);       // "clrGrendB"
    COLORREF m_clrBk2 = RGB(180, 210, 250);       // "clrGrendE"
    COLORREF m_clrFrame = RGB(80, 120, 150);      // "clrFrame"
    COLORREF m_clrText = RGB(0, 0, 0);            // "clrText"
    COLORREF m_clrHoldBk1 = RGB(0, 0, 240);       // "clrHoldBk1"
    COLORREF m_clrHoldBk2 = RGB(0, 0, 240);       // "clrHoldBk2"
    COLORREF m_clrHoldText = RGB(240, 240, 240);  // "clrHoldTxt"
    COLORREF m_clrHoldFrame = RGB(240, 240, 240); // "clrHoldFrame"
    COLORREF m_clrOverBk1 = RGB(180, 210, 250);   // "clrOverBk1"
    COLORREF m_clrOverBk2 = RGB(255, 255, 225);   // "clrOverBk2"
    COLORREF m_clrOverText = RGB(0, 0, 240);      // "clrOverText"
    COLORREF m_clrOverFrame = RGB(80, 120, 150);  // "clrOverFrame"
    int m_nFontSize = -1;                         // "FontSize": below 1 keeps the button's font height
    bool m_bUnderline = false;                    // "ShowULine": underline while hovered
    bool m_bItalic = false;                       // "ShowItaic"
    bool m_bBold = false;                         // "ShowBold"
    int m_nRX = 0;                                // "nRX"
    int m_nRY = 0;                                // "nRY"
    int m_nImgOffsetX = 10;                       // "ImgOffsetX"
    int m_nImgOffsetY = -1;                       // "ImgOffsetY"
    std::wstring m_szFaceName;                    // "FaceName": empty keeps the button's face
};

// The largest face name kept (the platform's LOGFONT holds 31 characters plus the terminator;
// longer names are cut when the font is made).
inline constexpr size_t BUTTON_FACE_NAME_MAX = 256;
// The largest caption font height taken from the file; larger values are cut to it.
inline constexpr int BUTTON_FONT_SIZE_MAX = 500;

// The defaults read from an INI file: every key that is missing or does not parse keeps the
// value of a default-constructed ButtonDefaults; negative radii read as 0. Never fails.
ButtonDefaults ReadButtonDefaults(const std::wstring& file);

// The file the buttons read at start-up: "ButtonDefault.ini" in the module directory.
std::wstring GetButtonDefaultsFile();
