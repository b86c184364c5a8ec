// The change log's file: its lines for a send and for the end of its check, a heading only when
// the file is new, a torn last line closed before the next, and a write that does not go out
// whole taken back so the file is as it was.
#include "app/ChangeLog.h"

#include "base/TextConvert.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

class ChangeLog : public testing::Test {
  protected:
    void SetUp() override
    {
        wchar_t dir[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, dir);
        m_path = std::wstring(dir) + L"lv-changelog-" + std::to_wstring(::GetCurrentProcessId()) + L".csv";
        ::DeleteFileW(m_path.c_str());
        m_log.SetPath(m_path);
    }
    void TearDown() override { ::DeleteFileW(m_path.c_str()); }

    std::string Bytes() const
    {
        std::ifstream in(m_path.c_str(), std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }
    void Put(const std::string& bytes) const
    {
        std::ofstream out(m_path.c_str(), std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    static std::string Utf8(const std::wstring& text) { return TextWideToUtf8(text.c_str()); }
    // The file's lines without their breaks (the byte-order mark taken off the first).
    std::vector<std::string> Lines() const
    {
        std::string bytes = Bytes();
        if (bytes.rfind("\xEF\xBB\xBF", 0) == 0)
            bytes.erase(0, 3);
        std::vector<std::string> lines;
        std::size_t at = 0;
        while (at < bytes.size()) {
            const std::size_t end = bytes.find("\r\n", at);
            if (end == std::string::npos) {
                lines.push_back(bytes.substr(at) + "<torn>");
                break;
            }
            lines.push_back(bytes.substr(at, end - at));
            at = end + 2;
        }
        return lines;
    }
    static DeviceRecord Camera()
    {
        DeviceRecord record{};
        WriteTextField(record.message.idSerial, "a1b2c3d4e5f6");
        WriteTextField(record.message.lanIp, "198.18.1.131");
        WriteTextField(record.message.lanGateway, "198.18.1.1");
        WriteTextField(record.message.lanMask, "255.255.255.0");
        WriteTextField(record.message.name, "Gate");
        const std::uint8_t mac[] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x50};
        std::memcpy(record.message.lanMac, mac, 6);
        return record;
    }

    std::wstring m_path;
    CChangeLog m_log;
};

// A send writes its line at once; the check's passing states write nothing; its end writes the
// final line, once. The heading comes first, once, with the byte-order mark.
TEST_F(ChangeLog, WritesASentLineAndAFinalLine)
{
    const DeviceRecord before = Camera();
    WireMessage sent = before.message;
    WriteTextField(sent.lanIp, "198.18.1.50");
    std::strcpy(sent.name, "\xE5\x89\x8D\xE9\x97\xA8"); // 前门, as UTF-8 on the wire
    ASSERT_TRUE(m_log.Sent(before, sent, CChangeCheck::FIELDS_ALL, 1));

    CChangeCheck::Entry entry;
    entry.idSerial = "A1B2C3D4E5F6"; // the check's letter case need not be the log's
    entry.state = CChangeCheck::State::Sent;
    ASSERT_TRUE(m_log.StatusChanged(entry, 1));
    entry.state = CChangeCheck::State::Confirmed;
    entry.bDone = true;
    ASSERT_TRUE(m_log.StatusChanged(entry, 1));
    ASSERT_TRUE(m_log.StatusChanged(entry, 1)); // told twice, written once

    EXPECT_EQ(Bytes().rfind("\xEF\xBB\xBF"
                            "Time,Computer,Serial,MAC,Before,Sent,Status\r\n",
                            0),
              0u);
    const std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 3u);
    const std::string tail = "," + Utf8(CChangeLog::ComputerName()) +
                             ",a1b2c3d4e5f6,00:1A:2B:3C:4D:50,IP=198.18.1.131; Gateway=198.18.1.1; Name=Gate,"
                             "IP=198.18.1.50; Gateway=198.18.1.1; Name=前门,";
    for (const auto& [nLine, status] : {std::pair{1, "Sent"}, std::pair{2, "Confirmed"}}) {
        SCOPED_TRACE(nLine);
        const std::string& line = lines[static_cast<std::size_t>(nLine)];
        ASSERT_GT(line.size(), 19u);
        EXPECT_EQ(line[4], '-');
        EXPECT_EQ(line[13], ':');
        EXPECT_EQ(line.substr(19), tail + status);
    }
    const CChangeLog::Change* pChange = m_log.Find("A1B2C3D4E5F6");
    ASSERT_NE(pChange, nullptr);
    EXPECT_EQ(pChange->status, L"Confirmed");
    EXPECT_TRUE(pChange->bFinal);
}

// The single dialog sets every field: the line names the ones that change besides the address,
// gateway and name, and a DHCP switch shows as its number.
TEST_F(ChangeLog, NamesTheChangedSettingsOfASingleSend)
{
    const DeviceRecord before = Camera();
    WireMessage sent = before.message;
    WriteTextField(sent.lanMask, "255.255.0.0");
    sent.lanDhcp = 1;
    const std::wstring text =
        CChangeLog::FieldsText(sent, before.message, CChangeCheck::FIELDS_SETTINGS, true);
    EXPECT_EQ(text, L"IP=198.18.1.131; Mask=255.255.0.0; Gateway=198.18.1.1; Name=Gate; DHCP=1");
}

// A crash mid-line leaves a torn last line: the next line starts on a line of its own, and what
// was there stays byte for byte. A file that exists gets no second heading.
TEST_F(ChangeLog, ClosesATornLastLineBeforeTheNext)
{
    const std::string old = "\xEF\xBB\xBF"
                            "Time,Computer,Serial,MAC,Before,Sent,Status\r\nwhole,line\r\ntorn,li";
    Put(old);
    ASSERT_TRUE(m_log.AppendLine(L"next,line"));
    EXPECT_EQ(Bytes(), old + "\r\nnext,line\r\n");
    ASSERT_TRUE(m_log.AppendLine(L"third"));
    EXPECT_EQ(Bytes(), old + "\r\nnext,line\r\nthird\r\n");
}

// A full disk: the write goes out in part and fails. The part is taken back, the earlier lines
// stay, and once there is room again the next line follows them directly.
TEST_F(ChangeLog, TakesBackAWriteThatDidNotGoOutWhole)
{
    ASSERT_TRUE(m_log.AppendLine(L"first,line"));
    const std::string before = Bytes();
    for (const bool bReportsFailure : {true, false}) {
        SCOPED_TRACE(bReportsFailure ? "failed write" : "short write reported as success");
        m_log.SetWriter([bReportsFailure](HANDLE hFile, const void* data, DWORD size, DWORD* pWritten) {
            ::WriteFile(hFile, data, size / 2, pWritten, nullptr);
            if (bReportsFailure)
                ::SetLastError(ERROR_DISK_FULL);
            return bReportsFailure ? FALSE : TRUE;
        });
        EXPECT_FALSE(m_log.AppendLine(L"second,line that does not fit"));
        EXPECT_EQ(Bytes(), before);
    }
    m_log.SetWriter([](HANDLE hFile, const void* data, DWORD size, DWORD* pWritten) {
        return ::WriteFile(hFile, data, size, pWritten, nullptr);
    });
    ASSERT_TRUE(m_log.AppendLine(L"second,line"));
    EXPECT_EQ(Bytes(), before + "second,line\r\n");
}

// A cell with a comma or a quote stays one cell.
TEST_F(ChangeLog, QuotesCellsAsTheListExportDoes)
{
    DeviceRecord before = Camera();
    WriteTextField(before.message.name, "A,\"B\"");
    WireMessage sent = before.message;
    std::strcpy(sent.name, "C");
    ASSERT_TRUE(m_log.Sent(before, sent, CChangeCheck::FIELD_NAME, 0));
    const std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[1].find(",\"Name=A,\"\"B\"\"\",Name=C,已发送"), std::string::npos) << lines[1];
}

} // namespace
