#include "base/MyProfile.h"

#include "base/IniText.h"
#include "base/UniqueHandle.h"

#include <windows.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <limits>
#include <string_view>

namespace {

std::wstring Trim(const wchar_t* psz)
{
    if (!psz)
        return {};
    std::wstring_view s(psz);
    while (!s.empty() && std::iswspace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && std::iswspace(s.back()))
        s.remove_suffix(1);
    return std::wstring(s);
}

bool EndsWithNoCase(const std::wstring& s, const wchar_t* pszSuffix)
{
    const std::size_t n = std::wcslen(pszSuffix);
    return s.size() >= n && _wcsicmp(s.c_str() + (s.size() - n), pszSuffix) == 0;
}

// The key's text as the private-profile functions return it ("" when missing) for the numeric
// reads.
std::wstring ReadRaw(const std::wstring& strFile, const std::wstring& strSection, const wchar_t* pszKey,
                     DWORD nChars)
{
    std::wstring buffer(nChars, L'\0');
    const DWORD n =
        GetPrivateProfileStringW(strSection.c_str(), pszKey, L"", buffer.data(), nChars, strFile.c_str());
    // A value that filled the buffer may have been cut: report it as unreadable, not as its prefix.
    if (n + 1 >= nChars)
        return L"?";
    buffer.resize(n);
    return buffer;
}

int HexDigit(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

// Whole-text integer parsing: anything but an optional sign (decimal only), an optional "0x",
// and digits, or a value outside 32 bits, fails.
bool ParseInt(const wchar_t* pszText, bool bHex, int& nOut)
{
    std::wstring s = Trim(pszText);
    std::size_t i = 0;
    bool bNegative = false;
    if (!bHex && i < s.size() && (s[i] == L'-' || s[i] == L'+'))
        bNegative = s[i++] == L'-';
    if (i + 1 < s.size() && s[i] == L'0' && (s[i + 1] == L'x' || s[i + 1] == L'X')) {
        bHex = true;
        i += 2;
    }
    if (i == s.size())
        return false;
    const unsigned nBase = bHex ? 16 : 10;
    std::uint64_t v = 0;
    for (; i < s.size(); ++i) {
        const int d = HexDigit(s[i]);
        if (d < 0 || static_cast<unsigned>(d) >= nBase)
            return false;
        v = v * nBase + static_cast<unsigned>(d);
        if (v > 0xFFFFFFFFull)
            return false;
    }
    if (bNegative) {
        if (v > 0x80000000ull)
            return false;
        nOut = static_cast<int>(-static_cast<std::int64_t>(v));
        return true;
    }
    if (!bHex && v > 0x7FFFFFFFull)
        return false;
    nOut = static_cast<int>(static_cast<std::uint32_t>(v)); // hex FFFFFFFF reads back as -1
    return true;
}

bool ParseDouble(const wchar_t* pszText, double& dOut)
{
    const std::wstring s = Trim(pszText);
    std::string narrow;
    for (wchar_t c : s) {
        if (c > 0x7F)
            return false;
        narrow.push_back(static_cast<char>(c));
    }
    const char* p = narrow.data();
    const char* pEnd = p + narrow.size();
    if (p != pEnd && *p == '+')
        ++p;
    double d = 0;
    const auto [ptr, ec] = std::from_chars(p, pEnd, d, std::chars_format::general);
    if (ec != std::errc() || ptr != pEnd || !std::isfinite(d))
        return false;
    dOut = d;
    return true;
}

// Fixed notation with the given decimals, then trailing zeros and a trailing point removed:
// 2.5 -> "2.5", 3.0 -> "3", 0 -> "0".
std::wstring FormatReal(double dValue, int nDecimals)
{
    char buffer[512];
    const auto [ptr, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, dValue, std::chars_format::fixed, nDecimals);
    std::string s = ec == std::errc() ? std::string(buffer, ptr) : std::string("0");
    if (s.find('.') != std::string::npos) {
        while (!s.empty() && s.back() == '0')
            s.pop_back();
        if (!s.empty() && s.back() == '.')
            s.pop_back();
    }
    return std::wstring(s.begin(), s.end());
}

thread_local std::wstring t_strItemKey;
thread_local wchar_t t_stringRing[CMyProfile::STRING_RING_SIZE][CMyProfile::STRING_CHARS];
thread_local unsigned t_nStringCounter = 0;

} // namespace

CMyProfile::CMyProfile(const wchar_t* pszFile, const wchar_t* pszSection, const wchar_t* pszItemPrefix)
{
    Init(pszFile, pszSection, nullptr);
    SetItemPrefix(pszItemPrefix);
}

std::wstring CMyProfile::ExecutablePath()
{
    std::wstring path(1024, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        if (path.size() >= 32768)
            return {};
        path.resize(path.size() * 2);
    }
}

std::wstring CMyProfile::ResolveFile(const wchar_t* pszFile, const std::wstring& strExePath)
{
    const std::wstring name = Trim(pszFile);
    std::wstring path;
    if (name.empty()) {
        path = strExePath;
    } else if (name.find(L':') == std::wstring::npos && name.rfind(L"\\\\", 0) != 0) {
        // Relative: beside the executable. (A UNC name is already absolute.)
        const std::size_t nSlash = strExePath.rfind(L'\\');
        path = (nSlash == std::wstring::npos ? std::wstring() : strExePath.substr(0, nSlash + 1)) + name;
    } else {
        path = name;
    }
    if (!EndsWithNoCase(path, L".ini"))
        path += L".ini";
    return path;
}

std::wstring CMyProfile::SectionFromFile(const std::wstring& strFile)
{
    std::wstring name = strFile;
    const std::size_t nSlash = name.rfind(L'\\');
    if (nSlash != std::wstring::npos && nSlash > 0)
        name = name.substr(nSlash + 1);
    const std::size_t nDot = name.rfind(L'.');
    if (nDot != std::wstring::npos && nDot > 0)
        name = name.substr(0, nDot);
    return name;
}

void CMyProfile::Init(const wchar_t* pszFile, const wchar_t* pszSection, const wchar_t* pszItemPrefix)
{
    InitForExecutable(pszFile, pszSection, pszItemPrefix, ExecutablePath());
}

void CMyProfile::InitForExecutable(const wchar_t* pszFile, const wchar_t* pszSection,
                                   const wchar_t* pszItemPrefix, const std::wstring& strExePath)
{
    m_strFile = ResolveFile(pszFile, strExePath);
    std::wstring section = Trim(pszSection);
    if (section.empty())
        section = SectionFromFile(m_strFile);
    SetSection(section.c_str());
    SetItemPrefix(pszItemPrefix);
}

void CMyProfile::SetSection(const wchar_t* pszName)
{
    m_strSection = Trim(pszName);
    if (m_strSection.empty())
        m_strSection = L"DefVal";
}

void CMyProfile::SetItemPrefix(const wchar_t* pszPrefix)
{
    m_strItemPrefix = Trim(pszPrefix);
    if (m_strItemPrefix.empty())
        m_strItemPrefix = L"DefItem";
}

const wchar_t* CMyProfile::ItemKey(int n) const
{
    t_strItemKey = m_strItemPrefix + std::to_wstring(n);
    return t_strItemKey.c_str();
}

int CMyProfile::GetInt(const wchar_t* pszKey, int nDefault, int bHex) const
{
    auto read = [&] {
        int n = nDefault;
        // At most 19 characters, as the largest value written fits that with room to spare.
        if (!ParseInt(ReadRaw(m_strFile, m_strSection, pszKey, bHex ? 20 : 64).c_str(), bHex != 0, n))
            n = nDefault;
        return n;
    };
    int nValue = read();
    if (!bHex) {
        // A writer may be replacing the file this moment: a value equal to the default is read
        // up to three times, 1 ms apart.
        for (int nRead = 1; nRead < 3 && nValue == nDefault; ++nRead) {
            Sleep(1);
            nValue = read();
        }
    }
    return nValue;
}

void CMyProfile::WriteInt(const wchar_t* pszKey, int nValue, int bHex) const
{
    wchar_t text[16];
    if (bHex)
        std::swprintf(text, 16, L"%X", static_cast<unsigned>(nValue));
    else
        std::swprintf(text, 16, L"%d", nValue);
    WriteString(pszKey, text);
}

double CMyProfile::GetDouble(const wchar_t* pszKey, double dDefault) const
{
    double dValue = dDefault;
    if (!ParseDouble(GetString(pszKey, FormatReal(dDefault, 6).c_str()), dValue))
        dValue = dDefault;
    return dValue;
}

void CMyProfile::WriteDouble(const wchar_t* pszKey, double dValue) const
{
    WriteString(pszKey, FormatReal(dValue, 16).c_str());
}

float CMyProfile::GetFloat(const wchar_t* pszKey, float fDefault) const
{
    const double d = GetDouble(pszKey, fDefault);
    if (std::fabs(d) > std::numeric_limits<float>::max())
        return fDefault;
    return static_cast<float>(d);
}

void CMyProfile::WriteFloat(const wchar_t* pszKey, float fValue) const
{
    WriteString(pszKey, FormatReal(fValue, 6).c_str());
}

const wchar_t* CMyProfile::GetString(const wchar_t* pszKey, const wchar_t* pszDefault) const
{
    wchar_t* pBuffer = t_stringRing[t_nStringCounter++ % STRING_RING_SIZE];
    auto read = [&] {
        pBuffer[0] = L'\0';
        GetPrivateProfileStringW(m_strSection.c_str(), pszKey, L"", pBuffer, STRING_CHARS, m_strFile.c_str());
    };
    read();
    if (!pBuffer[0] && pszDefault && pszDefault[0]) {
        Sleep(1);
        read();
    }
    if (!pBuffer[0] && pszDefault) {
        std::wcsncpy(pBuffer, pszDefault, STRING_CHARS - 1);
        pBuffer[STRING_CHARS - 1] = L'\0';
    }
    return pBuffer;
}

void CMyProfile::WriteString(const wchar_t* pszKey, const wchar_t* pszValue) const
{
    WritePrivateProfileStringW(m_strSection.c_str(), pszKey, pszValue, m_strFile.c_str());
}

namespace {

std::string Narrow(const std::wstring& text, UINT nCodePage)
{
    if (text.empty())
        return {};
    const int n = WideCharToMultiByte(nCodePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
    if (n > 0)
        WideCharToMultiByte(nCodePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                            nullptr);
    return out;
}

// Empty for bytes that are not well-formed in the code page (with UTF-8 checked strictly).
bool Widen(const std::string& bytes, UINT nCodePage, std::wstring& out)
{
    out.clear();
    if (bytes.empty())
        return true;
    const DWORD flags = nCodePage == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0;
    const int n =
        MultiByteToWideChar(nCodePage, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (n <= 0)
        return false;
    out.resize(static_cast<std::size_t>(n));
    MultiByteToWideChar(nCodePage, flags, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
    return true;
}

// The whole file; false when it cannot be opened (a missing file is read as empty by the caller).
bool ReadWholeFile(const std::wstring& strPath, std::string& bytes)
{
    bytes.clear();
    const CUniqueFile file(CreateFileW(strPath.c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    const HANDLE h = file.Get();
    LARGE_INTEGER size{};
    bool bOk = GetFileSizeEx(h, &size) && size.QuadPart < (64LL << 20);
    if (bOk) {
        bytes.resize(static_cast<std::size_t>(size.QuadPart));
        DWORD nRead = 0;
        bOk =
            bytes.empty() || (ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &nRead, nullptr) &&
                              nRead == bytes.size());
    }
    if (!bOk)
        bytes.clear();
    return bOk;
}

bool WriteWholeFile(const std::wstring& strPath, const std::string& bytes)
{
    const CUniqueFile file(CreateFileW(strPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    DWORD nWritten = 0;
    return bytes.empty() ||
           (WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &nWritten, nullptr) &&
            nWritten == bytes.size());
}

bool IsUtf16File(const std::string& bytes)
{
    return bytes.size() >= 2 &&
           ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF'));
}

} // namespace

std::wstring CMyProfile::GetUtf8String(const wchar_t* pszKey) const
{
    if (!pszKey)
        return {};
    std::string bytes;
    ReadWholeFile(m_strFile, bytes);
    if (IsUtf16File(bytes))
        return GetString(pszKey); // the wide functions read such a file without loss
    const auto value = IniFindValue(bytes, Narrow(m_strSection, CP_ACP), Narrow(pszKey, CP_ACP));
    if (!value)
        return {};
    std::wstring text;
    if (Widen(*value, CP_UTF8, text))
        return text;
    // Not UTF-8 after all (saved by an editor in the code page): read as the code page.
    Widen(*value, CP_ACP, text);
    return text;
}

void CMyProfile::WriteUtf8String(const wchar_t* pszKey, const wchar_t* pszValue) const
{
    if (!pszKey)
        return;
    std::string bytes;
    ReadWholeFile(m_strFile, bytes);
    if (!pszValue || IsUtf16File(bytes)) {
        WriteString(pszKey, pszValue);
        return;
    }
    WriteWholeFile(m_strFile, IniSetValue(bytes, Narrow(m_strSection, CP_ACP), Narrow(pszKey, CP_ACP),
                                          Narrow(pszValue, CP_UTF8)));
}

std::wstring CMyProfile::BlobPath(const wchar_t* pszKey) const
{
    return m_strFile + L".[" + m_strSection + L"].[" + (pszKey ? pszKey : L"") + L"]";
}

void CMyProfile::WriteBlob(const wchar_t* pszKey, const void* pData, unsigned nLength) const
{
    if (!pData && nLength)
        return;
    const CUniqueFile file(CreateFileW(BlobPath(pszKey).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return;
    const HANDLE hFile = file.Get();
    const unsigned char header[4] = {
        static_cast<unsigned char>(nLength), static_cast<unsigned char>(nLength >> 8),
        static_cast<unsigned char>(nLength >> 16), static_cast<unsigned char>(nLength >> 24)};
    DWORD nWritten = 0;
    if (WriteFile(hFile, header, 4, &nWritten, nullptr) && nLength)
        WriteFile(hFile, pData, nLength, &nWritten, nullptr);
}

unsigned CMyProfile::ReadBlob(const wchar_t* pszKey, unsigned char** ppData) const
{
    if (!ppData)
        return 0;
    const CUniqueFile file(CreateFileW(BlobPath(pszKey).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return 0;
    const HANDLE hFile = file.Get();
    unsigned nResult = 0;
    LARGE_INTEGER size = {};
    unsigned char header[4];
    DWORD nRead = 0;
    if (GetFileSizeEx(hFile, &size) && size.QuadPart >= 4 && ReadFile(hFile, header, 4, &nRead, nullptr) &&
        nRead == 4) {
        const unsigned nLength =
            header[0] | header[1] << 8 | header[2] << 16 | static_cast<unsigned>(header[3]) << 24;
        // The stored length is trusted only as far as the file really holds that many bytes.
        if (nLength <= static_cast<unsigned long long>(size.QuadPart) - 4) {
            auto* pData = static_cast<unsigned char*>(std::malloc(static_cast<std::size_t>(nLength) + 1));
            if (pData) {
                if (nLength == 0 || (ReadFile(hFile, pData, nLength, &nRead, nullptr) && nRead == nLength)) {
                    pData[nLength] = 0;
                    *ppData = pData;
                    nResult = nLength;
                } else {
                    std::free(pData);
                }
            }
        }
    }
    return nResult;
}

int CMyProfile::GetIntAt(int nIndex, int nDefault, int bHex) const
{
    return GetInt(ItemKey(nIndex), nDefault, bHex);
}

void CMyProfile::WriteIntAt(int nIndex, int nValue, int bHex) const
{
    WriteInt(ItemKey(nIndex), nValue, bHex);
}

float CMyProfile::GetFloatAt(int nIndex, float fDefault) const
{
    return GetFloat(ItemKey(nIndex), fDefault);
}

void CMyProfile::WriteFloatAt(int nIndex, float fValue) const
{
    WriteFloat(ItemKey(nIndex), fValue);
}

double CMyProfile::GetDoubleAt(int nIndex, double dDefault) const
{
    return GetDouble(ItemKey(nIndex), dDefault);
}

void CMyProfile::WriteDoubleAt(int nIndex, double dValue) const
{
    WriteDouble(ItemKey(nIndex), dValue);
}

void CMyProfile::GetStringAt(int nIndex, wchar_t* pszBuffer, int nChars, const wchar_t* pszDefault) const
{
    if (!pszBuffer || nChars <= 0)
        return;
    std::wcsncpy(pszBuffer, GetString(ItemKey(nIndex), pszDefault), static_cast<std::size_t>(nChars) - 1);
    pszBuffer[nChars - 1] = L'\0';
}

void CMyProfile::GetStringAt(int nIndex, std::wstring& strText, const wchar_t* pszDefault) const
{
    strText = GetString(ItemKey(nIndex), pszDefault);
}

void CMyProfile::WriteStringAt(int nIndex, const wchar_t* pszValue) const
{
    WriteString(ItemKey(nIndex), pszValue);
}

void CMyProfile::WriteBlobAt(int nIndex, const void* pData, unsigned nLength) const
{
    WriteBlob(ItemKey(nIndex), pData, nLength);
}

unsigned CMyProfile::ReadBlobAt(int nIndex, unsigned char** ppData) const
{
    return ReadBlob(ItemKey(nIndex), ppData);
}
