#include "controls/SkinPathText.h"

#include <windows.h>

std::wstring SkinTrim(std::wstring_view text)
{
    constexpr std::wstring_view blanks = L" \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::wstring_view::npos)
        return std::wstring();
    const size_t last = text.find_last_not_of(blanks);
    return std::wstring(text.substr(first, last - first + 1));
}

std::wstring SkinLower(std::wstring_view text)
{
    std::wstring s(text);
    if (!s.empty())
        CharLowerBuffW(s.data(), static_cast<DWORD>(s.size()));
    return s;
}

bool SkinEqualNoCase(std::wstring_view a, std::wstring_view b)
{
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

bool SkinIsAbsolutePath(std::wstring_view path)
{
    return (path.size() >= 2 && path[1] == L':') || path.substr(0, 2) == L"\\\\";
}

std::wstring SkinCollapseBackslashes(std::wstring_view path)
{
    const size_t keep = (path.substr(0, 2) == L"\\\\" && path.substr(0, 3) != L"\\\\\\") ? 2 : 0;
    std::wstring out(path.substr(0, keep));
    for (size_t i = keep; i < path.size(); ++i) {
        if (path[i] == L'\\' && out.size() > keep && out.back() == L'\\')
            continue;
        out += path[i];
    }
    return out;
}

bool SkinFileExists(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}
