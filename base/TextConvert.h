#pragma once
// Conversions of zero-terminated text between the active ANSI code page, UTF-8 and UTF-16.
//
// Every Text...To... result belongs to TextReleaseRing: it stays valid for the next 199
// conversions made by any thread, so copy it at once and never free it. A null argument gives a
// null result. Characters that the target code page lacks become its default character ("?").

#include <cstddef>

char* TextAnsiToUtf8(const char* pszText);
char* TextUtf8ToAnsi(const char* pszText);
wchar_t* TextUtf8ToWide(const char* pszText);
char* TextWideToUtf8(const wchar_t* pszText);
wchar_t* TextAnsiToWide(const char* pszText);
char* TextWideToAnsi(const wchar_t* pszText);

// Nonzero when the text is well-formed UTF-8 holding at least one non-ASCII byte; 0 for pure
// ASCII, a null text, a stray continuation byte or a sequence cut short.
int TextIsUtf8(const char* pszText);

// Fixed-width name fields. Both write into the caller's buffer (not the ring), always end it
// with a zero, and cut the text before a whole character (never inside a multi-byte sequence
// or a surrogate pair) so that the result and its zero fit nOutSize bytes. They return the
// number of bytes written before the zero (0 when nOutSize is 0: nothing is written).

// A received name: UTF-8 (read up to its zero or nSourceMax bytes, whichever comes first) to
// the ANSI code page. pszOut may be the source field itself.
int TextUtf8ToAnsiFit(const char* pszUtf8, std::size_t nSourceMax, char* pszOut, std::size_t nOutSize);

// A typed name on its way to the wire: UTF-16 to the ANSI code page and from there to UTF-8,
// so that only what the code page can hold is sent.
int TextWideToAnsiUtf8Fit(const wchar_t* pszText, char* pszOut, std::size_t nOutSize);
