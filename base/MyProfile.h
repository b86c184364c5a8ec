#pragma once
// CMyProfile: one INI file and one section of it, with typed reads and writes of keys through the
// Windows private-profile functions. Values too large for a key go to a side file beside the INI
// file. No file is kept open and nothing is cached: every read and write goes to the file.
//
// A relative file name is taken beside the executable, and ".ini" is appended when missing.
// Missing, malformed or out-of-range values read as the default.
//
// The ItemKey buffer and the ten-buffer GetString ring are per thread: a key or text stays valid
// until the next ItemKey call (or ten further GetString calls) on the same thread, whatever other
// threads do.

#include <string>

class CMyProfile {
  public:
    static constexpr int STRING_RING_SIZE = 10;
    static constexpr int STRING_CHARS = 1024; // including the terminating zero

    explicit CMyProfile(const wchar_t* pszFile = nullptr, const wchar_t* pszSection = nullptr,
                        const wchar_t* pszItemPrefix = nullptr);
    virtual ~CMyProfile() = default;

    void Init(const wchar_t* pszFile, const wchar_t* pszSection, const wchar_t* pszItemPrefix);
    // Init with a given executable path instead of this process's own.
    void InitForExecutable(const wchar_t* pszFile, const wchar_t* pszSection, const wchar_t* pszItemPrefix,
                           const std::wstring& strExePath);
    void SetSection(const wchar_t* pszName);      // trimmed; empty becomes "DefVal"
    void SetItemPrefix(const wchar_t* pszPrefix); // trimmed; empty becomes "DefItem"

    const std::wstring& GetFile() const { return m_strFile; }
    const std::wstring& GetSection() const { return m_strSection; }
    const std::wstring& GetItemPrefix() const { return m_strItemPrefix; }

    // The indexed key: the item prefix followed by n in decimal (DefItem0, DefItem1, ...).
    const wchar_t* ItemKey(int n) const;

    int GetInt(const wchar_t* pszKey, int nDefault = 0, int bHex = 0) const;
    void WriteInt(const wchar_t* pszKey, int nValue, int bHex = 0) const;
    double GetDouble(const wchar_t* pszKey, double dDefault = 0.0) const;
    void WriteDouble(const wchar_t* pszKey, double dValue) const;
    float GetFloat(const wchar_t* pszKey, float fDefault = 0.0f) const;
    void WriteFloat(const wchar_t* pszKey, float fValue) const;
    // The text, or the default (or "" without one) when the key is missing or empty.
    const wchar_t* GetString(const wchar_t* pszKey, const wchar_t* pszDefault = nullptr) const;
    // A null value removes the key.
    void WriteString(const wchar_t* pszKey, const wchar_t* pszValue) const;

    // A text kept in the file as UTF-8 bytes, whatever the ANSI code page. The INI functions pass
    // values through that code page, and in a double-byte one (936) most UTF-8 byte sequences do
    // not survive the trip; these read and write the key's bytes directly. A value that is not
    // well-formed UTF-8 reads through the code page; "" when the key is missing. A file in UTF-16
    // (which the INI functions read without loss) and a null value go through GetString and
    // WriteString.
    std::wstring GetUtf8String(const wchar_t* pszKey) const;
    void WriteUtf8String(const wchar_t* pszKey, const wchar_t* pszValue) const;

    // A side file holding a 4-byte little-endian length and the data. ReadBlob hands back a
    // buffer of length + 1 bytes (the last one zero) that the caller frees with std::free, and
    // returns the length; a missing, short or corrupt file gives 0 and leaves *ppData alone
    // (a stored empty blob also gives 0, with a one-byte buffer in *ppData).
    void WriteBlob(const wchar_t* pszKey, const void* pData, unsigned nLength) const;
    unsigned ReadBlob(const wchar_t* pszKey, unsigned char** ppData) const;
    std::wstring BlobPath(const wchar_t* pszKey) const;

    int GetIntAt(int nIndex, int nDefault = 0, int bHex = 0) const;
    void WriteIntAt(int nIndex, int nValue, int bHex = 0) const;
    float GetFloatAt(int nIndex, float fDefault = 0.0f) const;
    void WriteFloatAt(int nIndex, float fValue) const;
    double GetDoubleAt(int nIndex, double dDefault = 0.0) const;
    void WriteDoubleAt(int nIndex, double dValue) const;
    // Copies at most nChars - 1 characters and a zero into pszBuffer.
    void GetStringAt(int nIndex, wchar_t* pszBuffer, int nChars, const wchar_t* pszDefault = nullptr) const;
    void GetStringAt(int nIndex, std::wstring& strText, const wchar_t* pszDefault = nullptr) const;
    void WriteStringAt(int nIndex, const wchar_t* pszValue) const;
    void WriteBlobAt(int nIndex, const void* pData, unsigned nLength) const;
    unsigned ReadBlobAt(int nIndex, unsigned char** ppData) const;

    // The resolution rules of Init, exposed for callers that need a path without a profile.
    static std::wstring ResolveFile(const wchar_t* pszFile, const std::wstring& strExePath);
    static std::wstring SectionFromFile(const std::wstring& strFile);
    static std::wstring ExecutablePath();

  private:
    std::wstring m_strFile;
    std::wstring m_strSection = L"DefVal";
    std::wstring m_strItemPrefix = L"DefItem";
};
