#include "app/SettingsFields.h"

#include "app/SettingsText.h"
#include "base/Ipv4Text.h"
#include "base/TextConvert.h"

#include <windows.h>

#include <cstring>

std::wstring LimitTypedName(const std::wstring& typed)
{
    if (typed.size() <= NAME_INPUT_CHARS)
        return typed;
    std::size_t length = NAME_INPUT_CHARS;
    if (IS_HIGH_SURROGATE(typed[length - 1]))
        --length;
    return typed.substr(0, length);
}

void WriteTypedName(WireMessage& message, const std::wstring& typed)
{
    char utf8[sizeof message.name] = {};
    TextWideToAnsiUtf8Fit(typed.c_str(), utf8, sizeof utf8);
    WriteNameUtf8(message, utf8);
}

void WriteAnsiText(char* field, std::size_t width, const std::wstring& text)
{
    const char* ansi = TextWideToAnsi(text.c_str());
    WriteTextField(field, width, ansi ? ansi : "");
}

void WriteIpv4Field(char* field, std::size_t width, std::uint32_t address)
{
    WriteTextField(field, width, FormatIpv4(address));
}

void TakeSentMessage(DeviceRecord& record, const WireMessage& sent)
{
    const WireMessage before = record.message;
    record.message = sent;
    record.message.type = before.type;
    std::memcpy(record.message.command, before.command, sizeof before.command);
    std::memcpy(record.wireName, sent.name, sizeof record.wireName);
    // As the discovery engine holds a received name.
    char ansiName[sizeof sent.name];
    TextUtf8ToAnsiFit(sent.name, sizeof sent.name, ansiName, sizeof ansiName);
    WriteConvertedName(record.message, std::string_view(ansiName, ::strnlen(ansiName, sizeof ansiName)));
}

std::optional<int> ParseStep(const std::wstring& typed)
{
    if (typed.empty() || typed.size() > 3)
        return std::nullopt;
    int value = 0;
    for (wchar_t c : typed) {
        if (c < L'0' || c > L'9')
            return std::nullopt;
        value = value * 10 + (c - L'0');
    }
    if (value > 255)
        return std::nullopt;
    return value;
}

std::wstring FieldName(const wchar_t* label)
{
    std::wstring name = label ? label : L"";
    while (!name.empty() && (name.back() == L':' || name.back() == L'：' || name.back() == L' '))
        name.pop_back();
    return name;
}

std::wstring AddressRefusal(const std::wstring& field, int nLangId, bool bNothingSent)
{
    if (nLangId == 0)
        return L"“" + field +
               L"”不是有效的 IP 地址：应为用点隔开的四个 0 到 255 的十进制数，如 192.168.1.20。" +
               (bNothingSent ? L"没有发送任何设置。" : L"");
    return L"\"" + field +
           L"\" is not a valid IP address: it must be four numbers from 0 to 255 separated by dots, such as "
           L"192.168.1.20." +
           (bNothingSent ? L" Nothing was sent." : L"");
}
