// libFuzzer target: INI file bytes and language-file values. Any file, section, key and value
// through the byte-level reader and writer that keep UTF-8 texts, and any text through the
// place-value parser. Checks: a value written is read back as the INI functions would return it,
// other keys of the section keep their values, and parsed places print and parse to themselves.
#include "base/IniText.h"
#include "fuzz/FuzzCheck.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <string_view>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string Lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// Names the writer can express: one line, no '=' in a key, no brackets in a section, and a key
// that does not read as a section header.
bool UsableSection(std::string_view s)
{
    s = Trim(s);
    return !s.empty() && s.find_first_of("[]\r\n") == std::string_view::npos;
}

bool UsableKey(std::string_view k)
{
    k = Trim(k);
    return !k.empty() && k.front() != '[' && k.find_first_of("=\r\n") == std::string_view::npos;
}

// What the reader returns for a written value.
std::string ExpectedValue(std::string_view value)
{
    std::string line;
    for (char c : value)
        line += c == '\r' || c == '\n' ? ' ' : c;
    std::string_view v = Trim(line);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return std::string(v);
}

void CheckPlaceParser(const std::string& bytes)
{
    const std::wstring text = WideFromBytes(bytes);
    int values[4] = {};
    if (!IniParseInts(text, values, 4))
        return;
    std::wstring printed;
    for (int i = 0; i < 4; ++i)
        printed += (i ? L"," : L"") + std::to_wstring(values[i]);
    int again[4] = {};
    Require(IniParseInts(printed, again, 4));
    for (int i = 0; i < 4; ++i)
        Require(again[i] == values[i]);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const std::string section = input.ConsumeRandomLengthString(40);
    const std::string key = input.ConsumeRandomLengthString(40);
    const std::string other = input.ConsumeRandomLengthString(40);
    const std::string value = input.ConsumeRandomLengthString(200);
    const std::string file = input.ConsumeRemainingBytesAsString();

    // Reading anything is safe.
    (void)IniFindValue(file, section, key);
    CheckPlaceParser(value);
    CheckPlaceParser(file);

    if (!UsableSection(section) || !UsableKey(key))
        return 0;
    const std::string written = IniSetValue(file, section, key, value);
    const auto found = IniFindValue(written, section, key);
    Require(found.has_value());
    Require(*found == ExpectedValue(value));
    // Writing again with the same value changes nothing more.
    Require(IniSetValue(written, section, key, value) == written);

    if (UsableKey(other) && Lower(Trim(other)) != Lower(Trim(key)))
        Require(IniFindValue(written, section, other) == IniFindValue(file, section, other));
    return 0;
}
