#include "app/SitePlan.h"

#include "base/Ipv4Text.h"
#include "base/TextConvert.h"
#include "base/UniqueHandle.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <set>

namespace {

struct Cell {
    std::wstring text;
    bool bQuoted = false;
};

struct Record {
    int nLine = 0;
    std::vector<Cell> cells;
};

std::wstring Format(const wchar_t* format, int n)
{
    wchar_t text[64];
    std::swprintf(text, 64, format, n);
    return text;
}

// Splits the text into records of cells. A quoted cell may hold separators, doubled quotes and
// line breaks; a quote left open, or text after a closing quote, is the record's error.
bool SplitRecords(const std::wstring& text, wchar_t sep, std::vector<Record>& records, int& nBadLine)
{
    std::size_t i = 0;
    int nLine = 1;
    const std::size_t n = text.size();
    auto lineEnd = [&](std::size_t at) -> std::size_t { // length of the line break at `at`, or 0
        if (at < n && text[at] == L'\r')
            return at + 1 < n && text[at + 1] == L'\n' ? 2 : 1;
        return at < n && text[at] == L'\n' ? 1 : 0;
    };
    while (i < n) {
        Record record;
        record.nLine = nLine;
        for (;;) {
            Cell cell;
            if (i < n && text[i] == L'"') {
                cell.bQuoted = true;
                ++i;
                for (;;) {
                    if (i >= n) {
                        nBadLine = record.nLine;
                        return false;
                    }
                    if (text[i] == L'"') {
                        if (i + 1 < n && text[i + 1] == L'"') {
                            cell.text += L'"';
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    if (const std::size_t br = lineEnd(i)) {
                        cell.text.append(text, i, br);
                        i += br;
                        ++nLine;
                        continue;
                    }
                    cell.text += text[i++];
                }
                if (i < n && text[i] != sep && !lineEnd(i)) {
                    nBadLine = nLine;
                    return false;
                }
            } else {
                while (i < n && text[i] != sep && !lineEnd(i))
                    cell.text += text[i++];
            }
            record.cells.push_back(std::move(cell));
            if (i < n && text[i] == sep) {
                ++i;
                continue;
            }
            break;
        }
        if (const std::size_t br = lineEnd(i)) {
            i += br;
            ++nLine;
        }
        records.push_back(std::move(record));
    }
    return true;
}

// An unquoted cell loses the spaces around it; any cell loses the ' of the export's formula guard.
std::wstring CellValue(const Cell& cell)
{
    std::wstring value = cell.text;
    if (!cell.bQuoted) {
        const std::size_t first = value.find_first_not_of(L' ');
        const std::size_t last = value.find_last_not_of(L' ');
        value = first == std::wstring::npos ? L"" : value.substr(first, last - first + 1);
    }
    if (value.size() >= 2 && value[0] == L'\'' &&
        std::wstring_view(L"=+-@\t\r").find(value[1]) != std::wstring_view::npos)
        value.erase(0, 1);
    return value;
}

// The separator of the heading line: the one it holds more of outside quotes (a comma on a tie).
wchar_t SeparatorOf(const std::wstring& text)
{
    int commas = 0, semicolons = 0;
    bool bQuoted = false;
    for (wchar_t c : text) {
        if (c == L'"')
            bQuoted = !bQuoted;
        else if (!bQuoted && (c == L'\n' || c == L'\r')) {
            if (commas + semicolons > 0)
                break;
        } else if (!bQuoted && c == L',')
            ++commas;
        else if (!bQuoted && c == L';')
            ++semicolons;
    }
    return semicolons > commas ? L';' : L',';
}

std::string LowerAscii(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text)
        out += static_cast<char>(c >= L'A' && c <= L'Z' ? c + 32 : c);
    return out;
}

bool IsAscii(const std::wstring& text)
{
    return std::all_of(text.begin(), text.end(), [](wchar_t c) { return c > 0x20 && c < 0x7F; });
}

} // namespace

std::wstring CSitePlan::Decode(std::string_view bytes, Encoding& encoding)
{
    auto convert = [](UINT codePage, std::string_view text, DWORD flags, std::wstring& out) {
        out.clear();
        if (text.empty())
            return true;
        const int size = static_cast<int>(text.size());
        const int count = ::MultiByteToWideChar(codePage, flags, text.data(), size, nullptr, 0);
        if (count <= 0)
            return false;
        out.resize(static_cast<std::size_t>(count));
        return ::MultiByteToWideChar(codePage, flags, text.data(), size, out.data(), count) == count;
    };
    std::wstring text;
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        encoding = Encoding::Utf8Bom;
        convert(CP_UTF8, bytes.substr(3), 0, text);
    } else if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFF\xFE") {
        encoding = Encoding::Utf16Bom;
        text.assign(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
    } else if (convert(CP_UTF8, bytes, MB_ERR_INVALID_CHARS, text)) {
        encoding = Encoding::Utf8;
    } else {
        encoding = Encoding::Ansi;
        convert(CP_ACP, bytes, 0, text);
    }
    return text;
}

std::optional<std::string> CSitePlan::NormalMac(std::wstring_view text)
{
    std::string hex;
    if (text.size() == 17) {
        const wchar_t sep = text[2];
        if (sep != L':' && sep != L'-')
            return std::nullopt;
        for (std::size_t i = 0; i < 17; ++i) {
            if (i % 3 == 2) {
                if (text[i] != sep)
                    return std::nullopt;
            } else {
                hex += static_cast<char>(text[i] < 0x80 ? text[i] : 0);
            }
        }
    } else if (text.size() == 12) {
        for (wchar_t c : text)
            hex += static_cast<char>(c < 0x80 ? c : 0);
    } else {
        return std::nullopt;
    }
    for (char& c : hex) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return hex;
}

int CSitePlan::ColumnOf(const std::wstring& heading)
{
    // Letter case, spaces and a trailing colon do not matter: "IP Address:" is "ipaddress".
    std::wstring key;
    for (wchar_t c : heading)
        if (c != L' ' && c != L'\t')
            key += static_cast<wchar_t>(std::towlower(c));
    while (!key.empty() && (key.back() == L':' || key.back() == L'：'))
        key.pop_back();
    struct Synonym {
        const wchar_t* text;
        int nColumn;
    };
    // The camera list's and the group dialog's own column titles are among them.
    static const Synonym SYNONYMS[] = {
        {L"序列号", COL_SERIAL},   {L"设备序列号", COL_SERIAL}, {L"设备id", COL_SERIAL},
        {L"serial", COL_SERIAL},   {L"idserial", COL_SERIAL},   {L"serialnumber", COL_SERIAL},
        {L"id", COL_SERIAL},       {L"sn", COL_SERIAL},         {L"mac", COL_MAC},
        {L"mac地址", COL_MAC},     {L"macaddress", COL_MAC},    {L"ip", COL_IP},
        {L"ip地址", COL_IP},       {L"地址", COL_IP},           {L"newip", COL_IP},
        {L"新地址", COL_IP},       {L"新ip", COL_IP},           {L"新ip地址", COL_IP},
        {L"设备ip", COL_IP},       {L"ipaddress", COL_IP},      {L"address", COL_IP},
        {L"newaddress", COL_IP},   {L"掩码", COL_MASK},         {L"子网掩码", COL_MASK},
        {L"mask", COL_MASK},       {L"subnetmask", COL_MASK},   {L"netmask", COL_MASK},
        {L"网关", COL_GATEWAY},    {L"gateway", COL_GATEWAY},   {L"名称", COL_NAME},
        {L"设备名称", COL_NAME},   {L"新名称", COL_NAME},       {L"name", COL_NAME},
        {L"cameraname", COL_NAME}, {L"newname", COL_NAME},
    };
    for (const Synonym& s : SYNONYMS)
        if (key == s.text)
            return s.nColumn;
    return -1;
}

void CSitePlan::Fail(int nLine, const std::wstring& what)
{
    if (nLine <= 0)
        m_errors.push_back(what);
    else
        m_errors.push_back((m_nLangId == 0 ? Format(L"第 %d 行：", nLine) : Format(L"Line %d: ", nLine)) +
                           what);
}

bool CSitePlan::Read(std::string_view bytes, int nLangId)
{
    m_nLangId = nLangId;
    m_rows.clear();
    m_errors.clear();
    const bool bChinese = nLangId == 0;
    const std::wstring text = Decode(bytes, m_encoding);
    m_separator = SeparatorOf(text);

    std::vector<Record> records;
    int nBadLine = 0;
    if (!SplitRecords(text, m_separator, records, nBadLine)) {
        Fail(nBadLine,
             bChinese ? L"引号不成对。" : L"A quote is not closed, or text follows a closing quote.");
        return false;
    }
    auto isEmpty = [](const Record& r) {
        return std::all_of(r.cells.begin(), r.cells.end(),
                           [](const Cell& c) { return CellValue(c).empty(); });
    };
    auto heading = std::find_if_not(records.begin(), records.end(), isEmpty);
    if (heading == records.end()) {
        Fail(1, bChinese ? L"文件是空的。" : L"The file is empty.");
        return false;
    }

    // Which cell holds which column.
    int cellOf[COL_COUNT];
    std::fill(std::begin(cellOf), std::end(cellOf), -1);
    for (std::size_t c = 0; c < heading->cells.size(); ++c) {
        const std::wstring title = CellValue(heading->cells[c]);
        const int nColumn = ColumnOf(title);
        if (nColumn < 0)
            continue;
        if (cellOf[nColumn] >= 0)
            Fail(heading->nLine, (bChinese ? L"标题“" : L"The heading \"") + title +
                                     (bChinese ? L"”与前面的列重复。" : L"\" repeats an earlier column."));
        cellOf[nColumn] = static_cast<int>(c);
    }
    if (cellOf[COL_SERIAL] < 0 && cellOf[COL_MAC] < 0)
        Fail(heading->nLine,
             bChinese ? L"没有“序列号”或“MAC”列。" : L"There is no \"Serial\" or \"MAC\" column.");
    if (!m_errors.empty())
        return false;

    std::vector<Row> rows;
    std::set<std::string> serials, macs;
    for (auto it = heading + 1; it != records.end(); ++it) {
        if (isEmpty(*it))
            continue;
        const int nLine = it->nLine;
        auto cell = [&](int nColumn) -> std::wstring {
            const int c = cellOf[nColumn];
            return c >= 0 && c < static_cast<int>(it->cells.size())
                       ? CellValue(it->cells[static_cast<std::size_t>(c)])
                       : L"";
        };
        auto title = [&](int nColumn) {
            return CellValue(heading->cells[static_cast<std::size_t>(cellOf[nColumn])]);
        };
        Row row;
        row.nLine = nLine;
        const std::wstring serial = cell(COL_SERIAL), mac = cell(COL_MAC);
        bool bGood = true;
        auto bad = [&](const std::wstring& what) {
            Fail(nLine, what);
            bGood = false;
        };
        if (!serial.empty()) {
            if (!IsAscii(serial) || serial.size() > sizeof(WireMessage::idSerial) - 1)
                bad((bChinese ? L"序列号“" : L"The serial \"") + serial +
                    (bChinese ? L"”不是设备的序列号。" : L"\" is no camera's serial."));
            row.serial = LowerAscii(serial);
            row.key = serial;
        }
        if (!mac.empty()) {
            if (const auto normal = NormalMac(mac))
                row.mac = *normal;
            else
                bad((bChinese ? L"“" : L"\"") + mac +
                    (bChinese ? L"”不是 MAC 地址（例如 00:11:22:AA:BB:CC）。"
                              : L"\" is not a MAC address (such as 00:11:22:AA:BB:CC)."));
            if (row.key.empty())
                row.key = mac;
        }
        if (serial.empty() && mac.empty())
            bad(bChinese ? L"没有序列号，也没有 MAC 地址。"
                         : L"There is neither a serial nor a MAC address.");
        if (bGood && !row.serial.empty() && !serials.insert(row.serial).second)
            bad((bChinese ? L"序列号“" : L"The serial \"") + serial +
                (bChinese ? L"”在计划中出现两次。" : L"\" is in the plan twice."));
        if (bGood && row.serial.empty() && !macs.insert(row.mac).second)
            bad((bChinese ? L"MAC 地址“" : L"The MAC address \"") + mac +
                (bChinese ? L"”在计划中出现两次。" : L"\" is in the plan twice."));

        for (const auto& [nColumn, pValue] : {std::pair{COL_IP, &row.ip}, std::pair{COL_MASK, &row.mask},
                                              std::pair{COL_GATEWAY, &row.gateway}}) {
            const std::wstring value = cell(nColumn);
            if (value.empty())
                continue;
            *pValue = ParseIpv4(value);
            if (!*pValue)
                bad((bChinese ? L"“" : L"\"") + title(nColumn) + (bChinese ? L"”的“" : L"\" holds \"") +
                    value + (bChinese ? L"”不是有效的 IP 地址。" : L"\", which is not a valid IP address."));
        }
        if (const std::wstring name = cell(COL_NAME); !name.empty()) {
            // The camera's name field holds 19 bytes of UTF-8 and its zero, after the trip
            // through the ANSI code page that every typed name takes.
            char utf8[256] = {};
            const int nBytes = TextWideToAnsiUtf8Fit(name.c_str(), utf8, sizeof utf8);
            BOOL bLost = FALSE;
            ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name.c_str(), -1, nullptr, 0, nullptr,
                                  &bLost);
            if (bLost)
                bad((bChinese ? L"名称“" : L"The name \"") + name +
                    (bChinese ? L"”含有本机代码页无法表示的字符（会变成“?”）。"
                              : L"\" holds characters this computer's code page cannot send (they would "
                                L"become \"?\")."));
            else if (nBytes > static_cast<int>(sizeof(WireMessage::name)) - 1)
                bad((bChinese ? L"名称“" : L"The name \"") + name +
                    (bChinese
                         ? Format(L"”太长：设备最多保存 19 个字节（UTF-8），它有 %d 个。", nBytes)
                         : Format(L"\" is too long: a camera holds 19 bytes of UTF-8, it has %d.", nBytes)));
            row.name = name;
        }
        if (bGood)
            rows.push_back(std::move(row));
    }
    if (!m_errors.empty())
        return false;
    m_rows = std::move(rows);
    return true;
}

bool CSitePlan::ReadFile(const std::wstring& path, int nLangId)
{
    m_rows.clear();
    m_errors.clear();
    m_nLangId = nLangId;
    CUniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.Get(), &size) || size.QuadPart > 16 * 1024 * 1024) {
        Fail(0, (nLangId == 0 ? L"无法读取文件：" : L"Cannot read the file: ") + path);
        return false;
    }
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() &&
        (!::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
         read != bytes.size())) {
        Fail(0, (nLangId == 0 ? L"无法读取文件：" : L"Cannot read the file: ") + path);
        return false;
    }
    return Read(bytes, nLangId);
}

bool CSitePlan::HasMasks() const
{
    return std::any_of(m_rows.begin(), m_rows.end(), [](const Row& r) { return r.mask.has_value(); });
}

const CSitePlan::Row* CSitePlan::Find(const DeviceRecord& record) const
{
    const std::string serial = ReadTextField(record.message.idSerial);
    std::string lower;
    for (char c : serial)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    auto macOf = [](const std::uint8_t(&mac)[8]) {
        std::string hex = FormatMac(mac);
        hex.erase(std::remove(hex.begin(), hex.end(), ':'), hex.end());
        for (char& c : hex)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return hex;
    };
    const std::string lanMac = macOf(record.message.lanMac), wifiMac = macOf(record.message.wifiMac);
    for (const Row& row : m_rows) {
        if (!row.serial.empty()) {
            if (row.serial == lower)
                return &row;
        } else if (row.mac != "000000000000" && (row.mac == lanMac || row.mac == wifiMac)) {
            return &row;
        }
    }
    return nullptr;
}
