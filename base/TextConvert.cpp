#include "base/TextConvert.h"

#include "base/TextReleaseRing.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

template <typename T> T* KeepInRing(T* pBuffer)
{
    return static_cast<T*>(TextReleaseRing::Instance().Keep(pBuffer));
}

// Allocates n + 1 units with the last one zero; an empty (terminator-only) buffer when n is 0,
// so a failed length query still yields a usable empty text.
template <typename T> T* AllocText(int n)
{
    if (n < 0)
        n = 0;
    auto* p = static_cast<T*>(std::calloc(static_cast<std::size_t>(n) + 1, sizeof(T)));
    return p;
}

wchar_t* ToWide(UINT nCodePage, const char* pszText)
{
    const int n = MultiByteToWideChar(nCodePage, 0, pszText, -1, nullptr, 0);
    wchar_t* p = AllocText<wchar_t>(n);
    if (p && n > 0)
        MultiByteToWideChar(nCodePage, 0, pszText, -1, p, n);
    return p;
}

char* ToNarrow(UINT nCodePage, const wchar_t* pszText)
{
    const int n = WideCharToMultiByte(nCodePage, 0, pszText, -1, nullptr, 0, nullptr, nullptr);
    char* p = AllocText<char>(n);
    if (p && n > 0)
        WideCharToMultiByte(nCodePage, 0, pszText, -1, p, n, nullptr, nullptr);
    return p;
}

// Two steps through a temporary UTF-16 text; only the final buffer goes to the ring.
char* Recode(UINT nFrom, UINT nTo, const char* pszText)
{
    if (!pszText)
        return nullptr;
    wchar_t* pTemp = ToWide(nFrom, pszText);
    if (!pTemp)
        return nullptr;
    char* pResult = ToNarrow(nTo, pTemp);
    std::free(pTemp);
    return KeepInRing(pResult);
}

std::wstring WidenCounted(UINT nCodePage, const char* p, int n)
{
    if (n <= 0)
        return {};
    const int nWide = MultiByteToWideChar(nCodePage, 0, p, n, nullptr, 0);
    std::wstring s(static_cast<std::size_t>(nWide > 0 ? nWide : 0), L'\0');
    if (nWide > 0)
        MultiByteToWideChar(nCodePage, 0, p, n, s.data(), nWide);
    return s;
}

std::string NarrowCounted(UINT nCodePage, const wchar_t* p, int n)
{
    if (n <= 0)
        return {};
    const int nBytes = WideCharToMultiByte(nCodePage, 0, p, n, nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<std::size_t>(nBytes > 0 ? nBytes : 0), '\0');
    if (nBytes > 0)
        WideCharToMultiByte(nCodePage, 0, p, n, s.data(), nBytes, nullptr, nullptr);
    return s;
}

// Writes the encoding of the longest prefix of the UTF-16 text that ends on a whole code point
// and whose encoding fits nOutSize - 1 bytes, then a zero. The encoded length grows with the
// prefix, so the cut is found by bisection over the code point boundaries.
template <typename Encode>
int WriteFitted(const std::wstring& text, Encode encode, char* pszOut, std::size_t nOutSize)
{
    if (!pszOut || nOutSize == 0)
        return 0;
    const std::size_t nLimit = nOutSize - 1;
    std::vector<std::size_t> cuts{0};
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool bPairHead =
            IS_HIGH_SURROGATE(text[i]) && i + 1 < text.size() && IS_LOW_SURROGATE(text[i + 1]);
        if (bPairHead)
            ++i;
        cuts.push_back(i + 1);
    }
    std::string best;
    std::size_t nLow = 0; // cuts[nLow] is known to fit (the empty prefix always does)
    std::size_t nHigh = cuts.size() - 1;
    std::string whole = encode(text.data(), cuts[nHigh]);
    if (whole.size() <= nLimit) {
        best = std::move(whole);
    } else {
        while (nHigh - nLow > 1) { // cuts[nHigh] is known not to fit
            const std::size_t nMid = nLow + (nHigh - nLow) / 2;
            std::string bytes = encode(text.data(), cuts[nMid]);
            if (bytes.size() <= nLimit) {
                nLow = nMid;
                best = std::move(bytes);
            } else {
                nHigh = nMid;
            }
        }
    }
    std::memcpy(pszOut, best.data(), best.size());
    pszOut[best.size()] = '\0';
    return static_cast<int>(best.size());
}

} // namespace

char* TextAnsiToUtf8(const char* pszText)
{
    return Recode(CP_ACP, CP_UTF8, pszText);
}

char* TextUtf8ToAnsi(const char* pszText)
{
    return Recode(CP_UTF8, CP_ACP, pszText);
}

wchar_t* TextUtf8ToWide(const char* pszText)
{
    return pszText ? KeepInRing(ToWide(CP_UTF8, pszText)) : nullptr;
}

char* TextWideToUtf8(const wchar_t* pszText)
{
    return pszText ? KeepInRing(ToNarrow(CP_UTF8, pszText)) : nullptr;
}

wchar_t* TextAnsiToWide(const char* pszText)
{
    return pszText ? KeepInRing(ToWide(CP_ACP, pszText)) : nullptr;
}

char* TextWideToAnsi(const wchar_t* pszText)
{
    return pszText ? KeepInRing(ToNarrow(CP_ACP, pszText)) : nullptr;
}

int TextIsUtf8(const char* pszText)
{
    if (!pszText)
        return 0;
    int nPending = 0;
    bool bAllAscii = true;
    for (auto* p = reinterpret_cast<const unsigned char*>(pszText); *p; ++p) {
        const unsigned char c = *p;
        if (c & 0x80)
            bAllAscii = false;
        if (nPending == 0) {
            if (c & 0x80) {
                int nOnes = 0;
                for (unsigned char m = 0x80; m && (c & m); m >>= 1)
                    ++nOnes;
                if (nOnes < 2 || nOnes > 6)
                    return 0;
                nPending = nOnes - 1;
            }
        } else {
            if ((c & 0xC0) != 0x80)
                return 0;
            --nPending;
        }
    }
    if (bAllAscii)
        return 0;
    return nPending == 0 ? 1 : 0;
}

int TextUtf8ToAnsiFit(const char* pszUtf8, std::size_t nSourceMax, char* pszOut, std::size_t nOutSize)
{
    if (!pszOut || nOutSize == 0)
        return 0;
    std::size_t nLength = 0;
    if (pszUtf8)
        while (nLength < nSourceMax && pszUtf8[nLength])
            ++nLength;
    // The source is read whole before anything is written, so pszOut may alias it.
    const std::wstring wide = WidenCounted(CP_UTF8, pszUtf8, static_cast<int>(nLength));
    auto toAnsi = [](const wchar_t* p, std::size_t n) {
        return NarrowCounted(CP_ACP, p, static_cast<int>(n));
    };
    return WriteFitted(wide, toAnsi, pszOut, nOutSize);
}

int TextWideToAnsiUtf8Fit(const wchar_t* pszText, char* pszOut, std::size_t nOutSize)
{
    const std::wstring text = pszText ? pszText : L"";
    auto toWire = [](const wchar_t* p, std::size_t n) {
        const std::string ansi = NarrowCounted(CP_ACP, p, static_cast<int>(n));
        const std::wstring back = WidenCounted(CP_ACP, ansi.data(), static_cast<int>(ansi.size()));
        return NarrowCounted(CP_UTF8, back.data(), static_cast<int>(back.size()));
    };
    return WriteFitted(text, toWire, pszOut, nOutSize);
}
