#pragma once
// Text helpers shared by the tool's dialogs: a field's 8-bit text shown in UTF-16, and the
// built-in Chinese/English control texts that ApplyLanguage writes.

#include "dialogkit/MyDialog.h"
#include "base/TextConvert.h"
#include "protocol/WireMessage.h"

#include <cstddef>
#include <string>

// A field's text (ANSI code page) in UTF-16; the field need not be terminated.
template <std::size_t N> std::wstring WideFieldText(const char (&field)[N])
{
    const std::string text = ReadTextField(field);
    const wchar_t* wide = TextAnsiToWide(text.c_str());
    return wide ? wide : L"";
}

struct SettingsItemText {
    int nID;
    const wchar_t* chinese;
    const wchar_t* english;
};

// Writes each control's text of the language (0 Chinese, anything else English), in table order.
template <std::size_t N> void ApplyItemTexts(CMyDialog& dlg, const SettingsItemText (&texts)[N], int nLangId)
{
    for (const SettingsItemText& item : texts)
        dlg.SetItemText(item.nID, nLangId == 0 ? item.chinese : item.english);
}
