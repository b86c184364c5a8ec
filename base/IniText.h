#pragma once
// The bytes of an INI file as the private-profile functions lay them out, read and changed without
// any code page: a value is handed back and written exactly as its bytes. Standard C++ only, so
// that the parsing also builds natively.
//
// Lines end with LF or CR LF. A section starts at a line whose first non-blank is '[' and is
// named by the text up to the last ']' (blanks trimmed). A key line is "key=value"; key and
// value are trimmed of blanks, and a value wrapped in a pair of equal quotes (' or ") loses
// them. Section and key names compare without regard to ASCII case; the first match counts.

#include <optional>
#include <string>
#include <string_view>

// The value of key in section, or nothing when either is missing.
std::optional<std::string> IniFindValue(std::string_view file, std::string_view section,
                                        std::string_view key);

// The file with key in section set to value: the key's line is replaced, or the key is added at
// the end of the section, or the section is added at the end of the file. Every other byte is
// kept. Line breaks in value become blanks (a value is one line).
std::string IniSetValue(std::string_view file, std::string_view section, std::string_view key,
                        std::string_view value);

// Reads the first count comma-separated decimal integers of a place value ("x,y,w,h"); blanks
// around numbers and text after the last one are ignored. False for a missing field, a
// non-number or a value outside the 32-bit range. Only '0' to '9' are digits (the C library's
// iswdigit takes other scripts' digits on Windows).
bool IniParseInts(std::wstring_view text, int* values, int count);
