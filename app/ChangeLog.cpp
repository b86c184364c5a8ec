#include "app/ChangeLog.h"

#include "app/CameraRows.h"
#include "base/TextConvert.h"
#include "base/UniqueHandle.h"

#include <cstdio>
#include <cstring>

namespace {

std::string LowerSerial(const std::string& idSerial)
{
    std::string lower = idSerial;
    for (char& c : lower)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return lower;
}

std::wstring AnsiText(const std::string& text)
{
    const wchar_t* wide = TextAnsiToWide(text.c_str());
    return wide ? wide : L"";
}

std::wstring Utf8Text(const std::string& text)
{
    const wchar_t* wide = TextUtf8ToWide(text.c_str());
    return wide ? wide : L"";
}

BOOL PlainWrite(HANDLE hFile, const void* data, DWORD size, DWORD* pWritten)
{
    return ::WriteFile(hFile, data, size, pWritten, nullptr);
}

} // namespace

CChangeLog::CChangeLog() : m_path(DefaultPath()), m_writer(PlainWrite) {}

std::wstring CChangeLog::DefaultPath()
{
    wchar_t module[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameW(nullptr, module, MAX_PATH);
    return FolderOf(std::wstring(module, n)) + L"\\" + FILE_NAME;
}

std::wstring CChangeLog::FolderOf(const std::wstring& path)
{
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L"." : path.substr(0, slash);
}

std::wstring CChangeLog::ComputerName()
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    return ::GetComputerNameW(name, &size) ? std::wstring(name, size) : L"";
}

std::wstring CChangeLog::TimeText(const SYSTEMTIME& t)
{
    wchar_t text[32];
    std::swprintf(text, 32, L"%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                  t.wSecond);
    return text;
}

std::wstring CChangeLog::HeadingLine()
{
    return L"Time,Computer,Serial,MAC,Before,Sent,Status";
}

std::wstring CChangeLog::FieldsText(const WireMessage& values, const WireMessage& other, unsigned fields,
                                    bool bWireName)
{
    using F = CChangeCheck::Field;
    struct Text {
        unsigned field;
        const wchar_t* label;
        std::size_t offset, width;
    };
#define LV_TEXT(f, label, member)                                                                            \
    {                                                                                                        \
        f, label, offsetof(WireMessage, member), sizeof(WireMessage::member)                                 \
    }
    static const Text TEXTS[] = {
        LV_TEXT(F::FIELD_LAN_IP, L"IP", lanIp),
        LV_TEXT(F::FIELD_LAN_MASK, L"Mask", lanMask),
        LV_TEXT(F::FIELD_LAN_GATEWAY, L"Gateway", lanGateway),
        LV_TEXT(F::FIELD_LAN_DNS, L"DNS", lanDns),
        LV_TEXT(F::FIELD_WIFI_IP, L"WiFi IP", wifiIp),
        LV_TEXT(F::FIELD_WIFI_MASK, L"WiFi Mask", wifiMask),
        LV_TEXT(F::FIELD_WIFI_GATEWAY, L"WiFi Gateway", wifiGateway),
        LV_TEXT(F::FIELD_WIFI_DNS, L"WiFi DNS", wifiDns),
        LV_TEXT(F::FIELD_SSID, L"SSID", ssid),
    };
#undef LV_TEXT
    std::wstring text;
    auto add = [&text](const wchar_t* label, const std::wstring& value) {
        if (!text.empty())
            text += L"; ";
        text += std::wstring(label) + L"=" + value;
    };
    const auto* pValues = reinterpret_cast<const char*>(&values);
    const auto* pOther = reinterpret_cast<const char*>(&other);
    for (const Text& t : TEXTS) {
        const std::string value = ReadTextField(pValues + t.offset, t.width);
        const bool bAlways = (t.field & F::FIELDS_ALL) != 0;
        if ((fields & t.field) && (bAlways || value != ReadTextField(pOther + t.offset, t.width)))
            add(t.label, AnsiText(value));
        if (t.field == F::FIELD_LAN_GATEWAY && (fields & F::FIELD_NAME)) // the name after the wired side
            add(L"Name",
                bWireName ? Utf8Text(ReadTextField(values.name)) : AnsiText(ReadTextField(values.name)));
    }
    struct Flag {
        unsigned field;
        const wchar_t* label;
        std::int32_t WireMessage::*member;
    };
    static const Flag FLAGS[] = {{F::FIELD_LAN_DHCP, L"DHCP", &WireMessage::lanDhcp},
                                 {F::FIELD_WIFI_DHCP, L"WiFi DHCP", &WireMessage::wifiDhcp},
                                 {F::FIELD_AP_MODE, L"AP", &WireMessage::apMode},
                                 {F::FIELD_ENCRYPT, L"Encrypt", &WireMessage::encryptType}};
    for (const Flag& f : FLAGS)
        if ((fields & f.field) && values.*f.member != other.*f.member)
            add(f.label, std::to_wstring(values.*f.member));
    return text;
}

bool CChangeLog::Sent(const DeviceRecord& before, const WireMessage& sent, unsigned fields, int nLangId)
{
    Change change;
    change.idSerial = ReadTextField(sent.idSerial);
    change.before = before;
    change.sent = sent;
    change.fields = fields;
    change.status = nLangId == 0 ? L"已发送" : L"Sent";
    ::GetLocalTime(&change.statusTime);
    Change& kept = m_changes[LowerSerial(change.idSerial)] = change;
    return WriteLine(kept);
}

bool CChangeLog::StatusChanged(const CChangeCheck::Entry& entry, int nLangId)
{
    const auto found = m_changes.find(LowerSerial(entry.idSerial));
    if (found == m_changes.end())
        return true;
    Change& change = found->second;
    const std::wstring status = CChangeCheck::StateText(entry, nLangId);
    const bool bFinal = entry.bDone;
    if (status == change.status && bFinal == change.bFinal)
        return true;
    change.status = status;
    ::GetLocalTime(&change.statusTime);
    // Only the end of a check is written: the first line already says it was sent.
    const bool bWrite = bFinal && !change.bFinal;
    change.bFinal = bFinal;
    return bWrite ? WriteLine(change) : true;
}

const CChangeLog::Change* CChangeLog::Find(const std::string& idSerial) const
{
    const auto found = m_changes.find(LowerSerial(idSerial));
    return found == m_changes.end() ? nullptr : &found->second;
}

bool CChangeLog::WriteLine(const Change& change)
{
    const WireMessage& before = change.before.message;
    const bool bWifi = change.before.netType == 1;
    const std::wstring cells[] = {
        TimeText(change.statusTime),
        ComputerName(),
        AnsiText(change.idSerial),
        AnsiText(FormatMac(bWifi ? before.wifiMac : before.lanMac)),
        FieldsText(before, change.sent, change.fields, false),
        FieldsText(change.sent, before, change.fields, true),
        change.status,
    };
    std::wstring line;
    for (const std::wstring& cell : cells)
        line += (line.empty() ? L"" : L",") + CCameraRows::CsvField(cell);
    return AppendLine(line);
}

bool CChangeLog::AppendLine(const std::wstring& line)
{
    CUniqueFile file(::CreateFileW(m_path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    // Another process appending at the same moment waits for this line.
    OVERLAPPED whole{};
    if (!::LockFileEx(file.Get(), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole))
        return false;
    bool bOk = false;
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(file.Get(), &size)) {
        std::string bytes;
        if (size.QuadPart == 0) {
            bytes = "\xEF\xBB\xBF";
            bytes += TextWideToUtf8(HeadingLine().c_str());
            bytes += "\r\n";
        } else {
            // A torn last line (a crash in the middle of a write) is closed before this one.
            LARGE_INTEGER last{};
            last.QuadPart = size.QuadPart - 1;
            char c = 0;
            DWORD read = 0;
            if (::SetFilePointerEx(file.Get(), last, nullptr, FILE_BEGIN) &&
                ::ReadFile(file.Get(), &c, 1, &read, nullptr) && read == 1 && c != '\n')
                bytes = "\r\n";
        }
        const char* utf8 = TextWideToUtf8(line.c_str());
        bytes += utf8 ? utf8 : "";
        bytes += "\r\n";
        DWORD written = 0;
        if (::SetFilePointerEx(file.Get(), size, nullptr, FILE_BEGIN)) {
            bOk = m_writer(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written) &&
                  written == bytes.size();
            if (!bOk) {
                // Whatever part went out is taken back: the file ends where it ended.
                FILE_END_OF_FILE_INFO end{};
                end.EndOfFile = size;
                if (!::SetFileInformationByHandle(file.Get(), FileEndOfFileInfo, &end, sizeof end) &&
                    ::SetFilePointerEx(file.Get(), size, nullptr, FILE_BEGIN))
                    ::SetEndOfFile(file.Get());
            }
        }
    }
    ::UnlockFileEx(file.Get(), 0, MAXDWORD, MAXDWORD, &whole);
    return bOk;
}
