#pragma once
// The colour-text parser of the settings files, in standard C++ (it also builds natively).
//
// Accepted forms, after trimming blanks (space, tab, CR, LF) and upper-casing: "#RRGGBB"
// (hexadecimal pairs) and three decimal numbers separated by commas or blanks, where "(", ")",
// "R", "G", "B" and ";" are ignored (so "RGB(255,0,0)" works). A text shorter than 5 characters,
// one that is not exactly three numbers, or a number outside 0..255 gives false and leaves rgb
// alone; otherwise rgb holds red, green and blue.

#include <string_view>

bool ParseColorText(std::wstring_view text, int (&rgb)[3]);
