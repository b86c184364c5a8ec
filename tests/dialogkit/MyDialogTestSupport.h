#pragma once
// Fixture of the dialog framework tests: test dialogs derived from CMyDialog that record what
// reaches them, message pumping as the layer's loops do, and clean language files around each
// test.

#include "DialogTestIds.h"
#include "dialogkit/MyDialog.h"
#include "tests/support/TestPump.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <map>
#include <string>
#include <vector>

// A dialog that records ApplyLanguage calls, timers reaching the default handling and commands.
class CTestDialog : public CMyDialog {
  public:
    explicit CTestDialog(UINT nIDTemplate = IDD_MYDLG_TEST) : CMyDialog(nIDTemplate) {}
    ~CTestDialog() override { StopAllThreads(); }

    std::vector<int> m_applied;            // ApplyLanguage ids
    std::vector<UINT_PTR> m_defaultTimers; // WM_TIMER ids that reached DefWindowProc
    std::vector<UINT_PTR> m_onTimer;       // ids that reached OnTimer
    std::vector<WORD> m_commands;          // WM_COMMAND ids seen by OnCommand

    void ApplyLanguage(int nLangId) override { m_applied.push_back(nLangId); }
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_TIMER)
            m_defaultTimers.push_back(wParam);
        return CMyDialog::DefWindowProc(message, wParam, lParam);
    }
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override
    {
        m_commands.push_back(LOWORD(wParam));
        return CMyDialog::OnCommand(wParam, lParam);
    }

  protected:
    void OnTimer(UINT_PTR nIDEvent) override
    {
        m_onTimer.push_back(nIDEvent);
        CMyDialog::OnTimer(nIDEvent);
    }
};

class CDialogTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // The shared pump (tests/support/TestPump.h).
    static void Pump() { lvtest::Pump(); }
    static void PumpFor(DWORD nMs) { lvtest::PumpFor(nMs); }
    static bool PumpUntil(const std::function<bool()>& done, DWORD nMaxMs = 3000)
    {
        return lvtest::PumpUntil(done, nMaxMs);
    }

    // The executable's path with "-Lang.ini" appended, and GlobalLang.ini in its folder.
    static std::wstring LanguageFile();
    static std::wstring GlobalLanguageFile();
    static void RemoveLanguageFiles();
    // Writes one key of a section of the language file.
    static void WriteLang(const wchar_t* section, const wchar_t* key, const std::wstring& value);
    static std::wstring ReadLang(const wchar_t* section, const wchar_t* key);

    // Pumps for nMs milliseconds as Pump does and counts the WM_TIMER messages of hWnd by id.
    static std::map<UINT_PTR, int> CountTimerTicks(HWND hWnd, DWORD nMs);
    // The pointer to the screen's bottom-right corner, away from every test dialog (they sit at
    // the top left).
    static void ParkCursorAway();
    // The centre of a window in screen coordinates.
    static POINT CentreOf(HWND hWnd);

    static std::wstring TextOf(HWND hWnd);
    // A control's rectangle in its parent's client coordinates.
    static RECT PlaceOf(HWND hWnd);
};
