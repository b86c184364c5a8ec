#include "SettingsTestSupport.h"

#include "base/TextConvert.h"
#include "tests/support/LabGuard.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>

// ---- CMessageBoxCatcher ---------------------------------------------------------------------------

CMessageBoxCatcher::CMessageBoxCatcher(HWND hOwner, std::wstring caption, int nAnswer)
    : m_hOwner(hOwner), m_caption(std::move(caption)), m_nAnswer(nAnswer), m_thread([this] { Watch(); })
{
}

CMessageBoxCatcher::~CMessageBoxCatcher()
{
    m_bStop = true;
    m_thread.join();
}

std::vector<std::wstring> CMessageBoxCatcher::Texts()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_texts;
}

void CMessageBoxCatcher::Watch()
{
    while (!m_bStop) {
        HWND hBox = nullptr;
        while ((hBox = ::FindWindowExW(nullptr, hBox, L"#32770", m_caption.c_str())) != nullptr) {
            if (::GetWindow(hBox, GW_OWNER) != m_hOwner || !::IsWindowVisible(hBox))
                continue;
            if (std::find(m_seen.begin(), m_seen.end(), hBox) != m_seen.end())
                continue;
            wchar_t text[1024] = {};
            ::GetDlgItemTextW(hBox, 0xFFFF, text, 1024);
            m_seen.push_back(hBox);
            {
                std::lock_guard<std::mutex> guard(m_lock);
                m_texts.push_back(text);
            }
            ::PostMessageW(hBox, WM_COMMAND, static_cast<WPARAM>(m_nAnswer), 0);
        }
        ::Sleep(20);
    }
}

// ---- CSettingsTest ----------------------------------------------------------------------------------

void CSettingsTest::SetUpTestSuite()
{
    RequireLabNetwork();
}

void CSettingsTest::SetUp()
{
    CDialogTest::SetUp();
    ASSERT_TRUE(m_sim.Connect());
    ASSERT_EQ(m_sim.Command("reset"), "ok 12");
}

std::string CSettingsTest::Utf8ToAnsi(const std::string& utf8)
{
    const char* ansi = TextUtf8ToAnsi(utf8.c_str());
    return ansi ? ansi : "";
}

DeviceRecord CSettingsTest::RecordOf(const std::string& idSerial)
{
    DeviceRecord record{};
    const std::vector<std::uint8_t> image = m_sim.Image(idSerial);
    EXPECT_EQ(image.size(), MESSAGE_SIZE) << idSerial;
    if (image.size() != MESSAGE_SIZE)
        return record;
    std::memcpy(&record.message, image.data(), MESSAGE_SIZE);
    std::memcpy(record.wireName, record.message.name, sizeof record.wireName);
    TextUtf8ToAnsiFit(record.message.name, sizeof record.message.name, record.message.name,
                      sizeof record.message.name);
    WriteTextField(record.sourceIp, ReadTextField(record.message.lanIp));
    return record;
}

DeviceRecord CSettingsTest::MadeUpRecord(const std::string& idSerial, const std::string& lanIp,
                                         const std::string& utf8Name)
{
    DeviceRecord record{};
    auto* bytes = reinterpret_cast<std::uint8_t*>(&record.message);
    for (std::size_t i = 0; i < MESSAGE_SIZE; ++i)
        bytes[i] = static_cast<std::uint8_t>(0xA0 + i % 31);
    record.message.type = MSG_INFO;
    WriteConvertedName(record.message, Utf8ToAnsi(utf8Name));
    std::memcpy(record.wireName, utf8Name.data(), std::min(utf8Name.size(), sizeof record.wireName));
    WriteTextField(record.message.lanIp, lanIp);
    WriteTextField(record.message.lanGateway, "198.18.1.1");
    WriteTextField(record.message.idSerial, idSerial);
    WriteTextField(record.sourceIp, lanIp);
    return record;
}

std::vector<CamSimLogEntry> CSettingsTest::AllSetInfo()
{
    std::vector<CamSimLogEntry> out;
    for (CamSimLogEntry& entry : m_sim.Log())
        if (entry.type == MSG_SET_INFO)
            out.push_back(std::move(entry));
    return out;
}

std::vector<CamSimLogEntry> CSettingsTest::SetInfoFor(const std::string& idSerial, std::size_t want,
                                                      int timeoutMs)
{
    auto matches = [&idSerial](const CamSimLogEntry& e) {
        return e.type == MSG_SET_INFO && SameCamera(e.idSerial, idSerial);
    };
    auto log = m_sim.WaitForLog(
        [&](const std::vector<CamSimLogEntry>& entries) {
            return static_cast<std::size_t>(std::count_if(entries.begin(), entries.end(), matches)) >= want;
        },
        timeoutMs);
    std::vector<CamSimLogEntry> out;
    std::copy_if(log.begin(), log.end(), std::back_inserter(out), matches);
    return out;
}

std::vector<std::uint8_t> CSettingsTest::BytesOf(const WireMessage& message)
{
    const auto* p = reinterpret_cast<const std::uint8_t*>(&message);
    return std::vector<std::uint8_t>(p, p + MESSAGE_SIZE);
}

std::vector<std::uint8_t> CSettingsTest::ExpectedWire(const DeviceRecord& record, const std::string& utf8Name)
{
    WireMessage expected = record.message;
    expected.type = MSG_SET_INFO;
    std::memcpy(expected.command, "HdvsSetInfo", 12);
    std::memset(expected.name, 0, sizeof expected.name);
    std::memcpy(expected.name, utf8Name.data(), std::min(utf8Name.size(), sizeof expected.name - 1));
    return BytesOf(expected);
}

std::string CSettingsTest::FieldText(const std::vector<std::uint8_t>& bytes, std::size_t offset,
                                     std::size_t width)
{
    if (bytes.size() < offset + width)
        return {};
    return ReadTextField(reinterpret_cast<const char*>(bytes.data()) + offset, width);
}

std::wstring CSettingsTest::CellText(HWND hList, int nRow, int nCol)
{
    wchar_t text[512] = {};
    LVITEMW item{};
    item.iSubItem = nCol;
    item.pszText = text;
    item.cchTextMax = 512;
    ::SendMessageW(hList, LVM_GETITEMTEXTW, static_cast<WPARAM>(nRow), reinterpret_cast<LPARAM>(&item));
    return text;
}
