#include "base/IniText.h"

#include <cstddef>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view TrimBlanks(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool EqualNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

struct Line {
    std::size_t begin; // first byte
    std::size_t end;   // one past the last byte before the line break
    std::size_t next;  // first byte of the following line
};

// The section name of a header line, or nothing for other lines.
std::optional<std::string_view> SectionName(std::string_view line)
{
    line = TrimBlanks(line);
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    line.remove_prefix(1);
    const std::size_t close = line.rfind(']');
    return TrimBlanks(close == std::string_view::npos ? line : line.substr(0, close));
}

bool IsKeyLine(std::string_view line, std::string_view key)
{
    const std::size_t eq = line.find('=');
    return EqualNoCase(TrimBlanks(eq == std::string_view::npos ? line : line.substr(0, eq)), key);
}

class CLines {
  public:
    explicit CLines(std::string_view file) : m_file(file)
    {
        // A UTF-8 byte order mark is not part of the first line.
        if (m_file.substr(0, 3) == "\xEF\xBB\xBF")
            m_at = 3;
    }
    bool Next(Line& line)
    {
        if (m_at >= m_file.size())
            return false;
        const std::size_t lf = m_file.find('\n', m_at);
        line.begin = m_at;
        line.next = lf == std::string_view::npos ? m_file.size() : lf + 1;
        line.end = lf == std::string_view::npos ? m_file.size() : lf;
        if (line.end > line.begin && m_file[line.end - 1] == '\r')
            --line.end;
        m_at = line.next;
        return true;
    }
    std::string_view Text(const Line& line) const { return m_file.substr(line.begin, line.end - line.begin); }

  private:
    std::string_view m_file;
    std::size_t m_at = 0;
};

} // namespace

std::optional<std::string> IniFindValue(std::string_view file, std::string_view section, std::string_view key)
{
    section = TrimBlanks(section);
    key = TrimBlanks(key);
    CLines lines(file);
    Line line;
    bool bInSection = false;
    bool bSeen = false;
    while (lines.Next(line)) {
        const std::string_view text = lines.Text(line);
        if (const auto name = SectionName(text)) {
            if (bSeen && bInSection)
                break; // the first section of that name only
            bInSection = EqualNoCase(*name, section);
            bSeen = bSeen || bInSection;
            continue;
        }
        if (!bInSection || !IsKeyLine(text, key))
            continue;
        const std::size_t eq = text.find('=');
        std::string_view value =
            eq == std::string_view::npos ? std::string_view() : TrimBlanks(text.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        return std::string(value);
    }
    return std::nullopt;
}

std::string IniSetValue(std::string_view file, std::string_view section, std::string_view key,
                        std::string_view value)
{
    section = TrimBlanks(section);
    key = TrimBlanks(key);
    std::string entry(key);
    entry += '=';
    for (char c : value)
        entry += c == '\r' || c == '\n' ? ' ' : c;

    CLines lines(file);
    Line line;
    bool bInSection = false;
    bool bSeen = false;
    std::size_t insertAt = std::string_view::npos; // after the section's last non-empty line
    while (lines.Next(line)) {
        const std::string_view text = lines.Text(line);
        if (const auto name = SectionName(text)) {
            if (bSeen && bInSection)
                break;
            bInSection = EqualNoCase(*name, section);
            if (bInSection) {
                bSeen = true;
                insertAt = line.next;
            }
            continue;
        }
        if (!bInSection)
            continue;
        if (IsKeyLine(text, key)) {
            std::string out(file.substr(0, line.begin));
            out += entry;
            out += file.substr(line.end);
            return out;
        }
        if (!TrimBlanks(text).empty())
            insertAt = line.next;
    }

    std::string out;
    if (bSeen) {
        out.assign(file.substr(0, insertAt));
        if (!out.empty() && out.back() != '\n')
            out += "\r\n";
        out += entry;
        out += "\r\n";
        out += file.substr(insertAt);
        return out;
    }
    out.assign(file);
    if (!out.empty() && out.back() != '\n')
        out += "\r\n";
    out += '[';
    out += section;
    out += "]\r\n";
    out += entry;
    out += "\r\n";
    return out;
}

bool IniParseInts(std::wstring_view text, int* values, int count)
{
    std::size_t at = 0;
    auto peek = [&] { return at < text.size() ? text[at] : L'\0'; };
    auto skipBlanks = [&] {
        while (peek() == L' ' || peek() == L'\t')
            ++at;
    };
    auto isDigit = [](wchar_t c) { return c >= L'0' && c <= L'9'; };
    for (int i = 0; i < count; ++i) {
        skipBlanks();
        if (i > 0) {
            if (peek() != L',')
                return false;
            ++at;
            skipBlanks();
        }
        bool bNegative = false;
        if (peek() == L'-' || peek() == L'+')
            bNegative = text[at++] == L'-';
        if (!isDigit(peek()))
            return false;
        long long value = 0;
        for (; isDigit(peek()); ++at) {
            value = value * 10 + (peek() - L'0');
            if (value > 0x7FFFFFFFLL + 1)
                return false;
        }
        value = bNegative ? -value : value;
        if (value < -0x7FFFFFFFLL - 1 || value > 0x7FFFFFFFLL)
            return false;
        values[i] = static_cast<int>(value);
        skipBlanks();
    }
    return true;
}
