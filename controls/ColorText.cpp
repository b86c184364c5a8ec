#include "controls/ColorText.h"

#include <string>
#include <vector>

namespace {

// One colour channel: digits of the base only, no sign or prefix, at most 255.
bool ParseChannel(std::wstring_view token, int base, int& value)
{
    if (token.empty())
        return false;
    int result = 0;
    for (wchar_t ch : token) {
        int digit;
        if (ch >= L'0' && ch <= L'9')
            digit = ch - L'0';
        else if (base == 16 && ch >= L'A' && ch <= L'F')
            digit = ch - L'A' + 10;
        else
            return false;
        result = result * base + digit;
        if (result > 255)
            return false;
    }
    value = result;
    return true;
}

std::vector<std::wstring_view> SplitBlanks(std::wstring_view text)
{
    std::vector<std::wstring_view> tokens;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == L' ' || text[i] == L'\t'))
            ++i;
        size_t start = i;
        while (i < text.size() && text[i] != L' ' && text[i] != L'\t')
            ++i;
        if (i > start)
            tokens.push_back(text.substr(start, i - start));
    }
    return tokens;
}

} // namespace

bool ParseColorText(std::wstring_view text, int (&rgb)[3])
{
    constexpr std::wstring_view blanks = L" \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::wstring_view::npos)
        return false;
    std::wstring t(text.substr(first, text.find_last_not_of(blanks) - first + 1));
    if (t.size() < 5)
        return false;
    // Only ASCII letters matter below; other characters are never digits or ignored letters.
    for (wchar_t& ch : t)
        if (ch >= L'a' && ch <= L'z')
            ch = static_cast<wchar_t>(ch - L'a' + L'A');

    std::wstring work;
    int base = 10;
    if (t[0] == L'#') {
        base = 16;
        work = t.substr(1);
        if (work.size() > 2)
            work.insert(2, L" ");
        if (work.size() > 5)
            work.insert(5, L" ");
    } else {
        for (wchar_t ch : t) {
            if (ch == L',')
                work += L' ';
            else if (ch != L'(' && ch != L')' && ch != L'R' && ch != L'G' && ch != L'B' && ch != L';')
                work += ch;
        }
    }

    const std::vector<std::wstring_view> tokens = SplitBlanks(work);
    if (tokens.size() != 3)
        return false;
    int parsed[3] = {};
    for (int i = 0; i < 3; ++i) {
        if (!ParseChannel(tokens[static_cast<size_t>(i)], base, parsed[i]))
            return false;
    }
    for (int i = 0; i < 3; ++i)
        rgb[i] = parsed[i];
    return true;
}
