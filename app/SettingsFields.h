#pragma once
// The field readers and writers both settings dialogs use: what the operator typed, checked and
// written into the fixed-width fields of a set-parameters message, and the texts that refuse it.

#include "protocol/WireMessage.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// The name edits hand over at most this many UTF-16 characters.
constexpr std::size_t NAME_INPUT_CHARS = 19;

// The first NAME_INPUT_CHARS characters of a typed name (a surrogate pair is never split).
std::wstring LimitTypedName(const std::wstring& typed);
// A typed name into `name`: through the ANSI code page (what it lacks becomes its default
// character) to UTF-8, cut at a character boundary to at most 19 bytes, zero-filled.
void WriteTypedName(WireMessage& message, const std::wstring& typed);
// The ANSI form of a typed text, written with the layout's field rule (cut at the width, no
// terminator when it fills the field).
void WriteAnsiText(char* field, std::size_t width, const std::wstring& text);

// An address as the camera must read it: "a.b.c.d" without leading zeros, so that a typed "010"
// (ten) never reaches a camera that would read it as octal.
void WriteIpv4Field(char* field, std::size_t width, std::uint32_t address);

// A record's copy after a set-parameters message went to its camera: it holds what was sent, as
// a reply with those values would be held (the name's wire bytes kept, and shown through the
// ANSI code page); its type and command stay a reply's.
void TakeSentMessage(DeviceRecord& record, const WireMessage& sent);

// The group dialog's address step: ASCII digits only, 0 to 255, nothing else (not even spaces).
std::optional<int> ParseStep(const std::wstring& typed);

// A label's text as a field's name in a message: without its trailing colon.
std::wstring FieldName(const wchar_t* label);
// "<field> is not a valid IP address ..." in a language (0 Chinese, anything else English); a
// refused send adds that nothing was sent.
std::wstring AddressRefusal(const std::wstring& field, int nLangId, bool bNothingSent = false);
