// The name and path texts of SkinPathText.h that need no Windows call (they also build natively,
// for the fuzz target of skin file names).
#include "controls/SkinPathText.h"

std::wstring SkinTrim(std::wstring_view text)
{
    constexpr std::wstring_view blanks = L" \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::wstring_view::npos)
        return std::wstring();
    const size_t last = text.find_last_not_of(blanks);
    return std::wstring(text.substr(first, last - first + 1));
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
