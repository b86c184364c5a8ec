#pragma once
// The clipboard's Unicode text, read and written by the tests that check what the tool copies.

#include <string>

// The clipboard's Unicode text ("" when it holds none, "<no clipboard>" when it cannot be opened).
std::wstring ClipboardText();
// Puts the text on the clipboard, so that a copy that writes nothing is seen.
void SetClipboardText(const std::wstring& text);
