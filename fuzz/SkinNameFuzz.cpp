// libFuzzer target: skin file names as typed in settings and language files, through the texts
// that turn a name into a path (trimming, absolute-path test, backslash runs). Checks the shapes
// the skin loaders rely on.
#include "controls/SkinPathText.h"
#include "fuzz/FuzzCheck.h"

#include <string>

namespace {

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

std::wstring WithoutBackslashes(std::wstring_view s)
{
    std::wstring out;
    for (wchar_t c : s)
        if (c != L'\\')
            out += c;
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::wstring name = WideFromBytes(std::string(reinterpret_cast<const char*>(data), size));

    const std::wstring trimmed = SkinTrim(name);
    Require(trimmed.size() <= name.size());
    Require(trimmed.empty() || (!IsBlank(trimmed.front()) && !IsBlank(trimmed.back())));
    Require(name.find(trimmed) != std::wstring::npos);
    Require(SkinTrim(trimmed) == trimmed);

    // How a skin name becomes a path: relative names go behind the skin directory.
    const std::wstring path = SkinIsAbsolutePath(trimmed) ? trimmed : L"C:\\Skins\\" + trimmed;
    const std::wstring collapsed = SkinCollapseBackslashes(path);
    Require(SkinCollapseBackslashes(collapsed) == collapsed);
    Require(WithoutBackslashes(collapsed) == WithoutBackslashes(path));
    const std::size_t keep = collapsed.rfind(L"\\\\", 0) == 0 && collapsed.rfind(L"\\\\\\", 0) != 0 ? 2 : 0;
    Require(collapsed.find(L"\\\\", keep ? 1 : 0) == std::wstring::npos);
    return 0;
}
