#include "tests/support/DosPath.h"

#include <windows.h>

namespace lvtest {

std::wstring DosPathOfUnixPath(const std::string& unixPath)
{
    const int n =
        ::MultiByteToWideChar(CP_UTF8, 0, unixPath.data(), static_cast<int>(unixPath.size()), nullptr, 0);
    std::wstring path(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, unixPath.data(), static_cast<int>(unixPath.size()), path.data(), n);
    for (wchar_t& c : path)
        if (c == L'/')
            c = L'\\';
    return L"Z:" + path;
}

} // namespace lvtest
