#pragma once
// CSitePlan: an installer's site plan read from a CSV file: for each camera, found by its serial
// or its MAC address, the address, mask, gateway and name it is to have.
//
// Plans come from spreadsheets on Chinese and Western computers, so the reader takes what they
// write: UTF-8 with or without a byte-order mark, UTF-16 with its mark, or else the ANSI code page
// (a file that is not well-formed UTF-8 is read as ANSI: GBK text is almost never valid UTF-8,
// while UTF-8 text always is); a comma or a semicolon between cells (whichever the heading line
// holds more of); cells quoted as CCameraRows::CsvField writes them, the ' its formula guard puts
// before =, +, -, @, a tab or a carriage return taken off again. The first line that is not empty
// holds the headings, in Chinese or English; columns it does not know are skipped, so the camera
// list's own export reads as a plan.
//
// A plan is all or nothing: every line that cannot be used is reported with its line number
// (addresses through the strict parser of base/Ipv4Text.h, a missing or repeated key, a name
// longer than the camera's 20-byte field once it is UTF-8, or holding characters the ANSI code
// page cannot carry: a typed name takes that way to the camera), and a plan with any such line
// has no rows. Plain code: no window, nothing sent.

#include "protocol/WireMessage.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CSitePlan {
  public:
    enum class Encoding { None, Utf8Bom, Utf8, Utf16Bom, Ansi };

    struct Row {
        int nLine = 0;      // line of the file where the row begins (1 is the first)
        std::wstring key;   // the serial, or the MAC address, as written
        std::string serial; // lower case; empty when the row is keyed by MAC
        std::string mac;    // 12 lower-case hex digits; empty when not given
        std::optional<std::uint32_t> ip, mask, gateway;
        std::optional<std::wstring> name; // an empty cell changes nothing
    };

    // Reads a file's bytes; false when any line cannot be used (Errors() says which).
    // Messages are in Chinese for nLangId 0, otherwise English.
    bool Read(std::string_view bytes, int nLangId);
    // Reads a file; a file that cannot be opened is one error.
    bool ReadFile(const std::wstring& path, int nLangId);

    const std::vector<Row>& Rows() const { return m_rows; }
    const std::vector<std::wstring>& Errors() const { return m_errors; }
    Encoding GetEncoding() const { return m_encoding; }
    wchar_t GetSeparator() const { return m_separator; }
    bool HasMasks() const;

    // The row meant for this camera (serial, letter case ignored, else its wired or WiFi MAC).
    const Row* Find(const DeviceRecord& record) const;

    // A MAC address written AA:BB:CC:DD:EE:FF, AA-BB-CC-DD-EE-FF or AABBCCDDEEFF (either case),
    // as 12 lower-case hex digits; nothing for anything else.
    static std::optional<std::string> NormalMac(std::wstring_view text);
    // The text decoded as Read decodes it.
    static std::wstring Decode(std::string_view bytes, Encoding& encoding);

  private:
    enum Column { COL_SERIAL, COL_MAC, COL_IP, COL_MASK, COL_GATEWAY, COL_NAME, COL_COUNT };
    static int ColumnOf(const std::wstring& heading);
    void Fail(int nLine, const std::wstring& what);

    int m_nLangId = 0;
    Encoding m_encoding = Encoding::None;
    wchar_t m_separator = L',';
    std::vector<Row> m_rows;
    std::vector<std::wstring> m_errors;
};
