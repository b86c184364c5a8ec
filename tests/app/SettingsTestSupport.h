#pragma once
// Fixture of the settings dialog tests: the dialogs are driven in process under the lab's X
// display and checked against what the camera simulator received.

#include "MyDialogTestSupport.h"
#include "app/SettingsText.h"
#include "protocol/WireMessage.h"
#include "tests/support/CamSimClient.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Watches for message boxes with one caption and owner, records their texts and closes them, so
// that a box shown by a handler or a worker never blocks a test.
class CMessageBoxCatcher {
  public:
    // Each box is answered with `nAnswer` (IDOK, or IDCANCEL for a box that has it).
    CMessageBoxCatcher(HWND hOwner, std::wstring caption, int nAnswer = IDOK);
    ~CMessageBoxCatcher();
    CMessageBoxCatcher(const CMessageBoxCatcher&) = delete;
    CMessageBoxCatcher& operator=(const CMessageBoxCatcher&) = delete;

    std::vector<std::wstring> Texts();
    std::size_t Count() { return Texts().size(); }

  private:
    void Watch();

    HWND m_hOwner;
    std::wstring m_caption;
    int m_nAnswer;
    std::atomic<bool> m_bStop{false};
    std::mutex m_lock;
    std::vector<std::wstring> m_texts;
    std::vector<HWND> m_seen;
    std::thread m_thread;
};

class CSettingsTest : public CDialogTest {
  protected:
    static void SetUpTestSuite();
    void SetUp() override;

    // The simulated camera's current block as the tool would hold it: the name converted from
    // UTF-8 to the ANSI code page, as the discovery engine stores it, and its wire bytes kept.
    DeviceRecord RecordOf(const std::string& idSerial);
    // A record of a camera the simulator does not know, with a pattern in every byte the tool
    // does not interpret.
    static DeviceRecord MadeUpRecord(const std::string& idSerial, const std::string& lanIp,
                                     const std::string& utf8Name);

    // The set-parameters messages the simulator logged for one camera (every link), waiting up to
    // timeoutMs for at least `want` of them.
    std::vector<CamSimLogEntry> SetInfoFor(const std::string& idSerial, std::size_t want,
                                           int timeoutMs = 3000);
    std::vector<CamSimLogEntry> AllSetInfo();

    // The message a record becomes on the wire when nothing in it is edited: type 135,
    // "HdvsSetInfo" and the name as UTF-8.
    static std::vector<std::uint8_t> ExpectedWire(const DeviceRecord& record, const std::string& utf8Name);
    static std::vector<std::uint8_t> BytesOf(const WireMessage& message);
    static std::string Utf8ToAnsi(const std::string& utf8);
    static std::string FieldText(const std::vector<std::uint8_t>& bytes, std::size_t offset,
                                 std::size_t width);

    static std::wstring CellText(HWND hList, int nRow, int nCol);

    CCamSimClient m_sim;
};

// One dialog of type TDlg for the whole suite, created modeless (hidden) once, in Chinese at the
// start of every test.
template <class TDlg> class CSettingsDlgTest : public CSettingsTest {
  protected:
    static void SetUpTestSuite()
    {
        CSettingsTest::SetUpTestSuite();
        s_pDlg = new TDlg();
        ASSERT_TRUE(s_pDlg->CreateModeless(nullptr));
    }
    static void TearDownTestSuite()
    {
        delete s_pDlg;
        s_pDlg = nullptr;
    }
    void SetUp() override
    {
        CSettingsTest::SetUp();
        ASSERT_NE(s_pDlg, nullptr);
        CMyDialog::SetGlobalLanguage(0);
        Pump();
    }

    static HWND Dlg() { return s_pDlg->GetSafeHwnd(); }
    static std::wstring Item(int nID) { return TextOf(::GetDlgItem(Dlg(), nID)); }
    static void Type(int nID, const std::wstring& text) { ::SetDlgItemTextW(Dlg(), nID, text.c_str()); }
    // A button's command, sent as the button sends it.
    static void Command(int nID) { ::SendMessageW(Dlg(), WM_COMMAND, MAKEWPARAM(nID, BN_CLICKED), 0); }

    template <std::size_t N> static void ExpectItemTexts(const SettingsItemText (&texts)[N], int nLangId)
    {
        for (const SettingsItemText& t : texts)
            EXPECT_EQ(Item(t.nID), nLangId == 0 ? t.chinese : t.english) << "control " << t.nID;
    }

    static inline TDlg* s_pDlg = nullptr;
};
