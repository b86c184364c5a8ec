#pragma once
// The field writers both settings dialogs use: what the operator typed, into the fixed-width
// fields of a set-parameters message.

#include "protocol/WireMessage.h"

#include <cstddef>
#include <string>

// The name edits hand over at most this many UTF-16 characters.
constexpr std::size_t NAME_INPUT_CHARS = 19;

// The first NAME_INPUT_CHARS characters of a typed name (a surrogate pair is never split).
std::wstring LimitTypedName(const std::wstring& typed);
// A typed name into `name`: through the ANSI code page (what it lacks becomes its default
// character) to UTF-8, cut at a character boundary to at most 19 bytes, zero-filled.
void WriteTypedName(WireMessage& message, const std::wstring& typed);
// The record's own name, held in the ANSI code page, re-encoded as UTF-8 for the wire with the
// same cut, so that a kept name reaches the camera as the camera sent it.
void ReencodeRecordName(WireMessage& message);
// The ANSI form of a typed text, written with the layout's field rule (cut at the width, no
// terminator when it fills the field).
void WriteAnsiText(char* field, std::size_t width, const std::wstring& text);
