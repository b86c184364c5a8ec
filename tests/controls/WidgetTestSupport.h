#pragma once
// Fixture of the widget tests: a modeless dialog holding one control of each kind, shown on the
// lab's display, and a way to paint a control into a pixel canvas.

#include "SkinTestSupport.h"
#include "WidgetTestIds.h"
#include "platform/CDialog.h"
#include "tests/support/TestPump.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <vector>

// The test dialog; records the control notifications that reach it after reflection.
class CWidgetDialog : public CDialog {
  public:
    CWidgetDialog() : CDialog(IDD_WIDGET_TEST) {}

    struct Note {
        UINT nID;
        int nCode;
    };
    std::vector<Note> m_notes;

    BOOL OnCmdMsg(UINT nID, int nCode) override
    {
        m_notes.push_back({nID, nCode});
        return CDialog::OnCmdMsg(nID, nCode);
    }
    int CountNotes(UINT nID, int nCode) const;
};

// The canvas pre-fill, so that pixels the control leaves alone can be told apart.
inline constexpr COLORREF CANVAS_FILL = RGB(1, 2, 3);

class CWidgetTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    HWND Item(int nID) const { return ::GetDlgItem(m_dialog.m_hWnd, nID); }
    // Paints hWnd's client area through WM_PRINTCLIENT into a new canvas of that size.
    static std::unique_ptr<CCanvas> Capture(HWND hWnd);
    static SIZE ClientSize(HWND hWnd);
    static void Pump() { lvtest::Pump(); }

    CWidgetDialog m_dialog;
};
