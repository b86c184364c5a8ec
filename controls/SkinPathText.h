#pragma once
// Small text and path helpers shared by the skin functions.

#include <string>
#include <string_view>

// Without leading and trailing blanks (space, tab, CR, LF).
std::wstring SkinTrim(std::wstring_view text);

// Lower-cased by the system's case table.
std::wstring SkinLower(std::wstring_view text);

// Equal without regard to case (ordinal).
bool SkinEqualNoCase(std::wstring_view a, std::wstring_view b);

// True for "X:..." and for network paths ("\\server\share..."); such paths are not put behind
// the module directory.
bool SkinIsAbsolutePath(std::wstring_view path);

// Every run of backslashes made a single one, except the two that start a network path.
std::wstring SkinCollapseBackslashes(std::wstring_view path);

// True when path names an existing file (not a directory).
bool SkinFileExists(const std::wstring& path);
