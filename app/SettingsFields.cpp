#include "app/SettingsFields.h"

#include "app/SettingsText.h"
#include "base/TextConvert.h"

#include <windows.h>

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

void ReencodeRecordName(WireMessage& message)
{
    // ANSI -> UTF-16 -> ANSI is lossless, so only the step to UTF-8 (and its cut) changes bytes.
    WriteTypedName(message, WideFieldText(message.name));
}

void WriteAnsiText(char* field, std::size_t width, const std::wstring& text)
{
    const char* ansi = TextWideToAnsi(text.c_str());
    WriteTextField(field, width, ansi ? ansi : "");
}
