#pragma once
// Test windows for the list control: a top-level parent that records the commands it receives,
// a report list view attached to a CMyListCtrl, a message pump that runs pre-translation as the
// dialog loops do, and pixel capture through WM_PRINTCLIENT.

#include "controls/MyListCtrl.h"
#include "tests/support/PixelCanvas.h"
#include "tests/support/TestPump.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// A top-level window whose WM_COMMANDs are recorded.
class CCommandRecorder : public CWnd {
  public:
    struct Command {
        WORD id;
        LPARAM lParam;
    };
    std::vector<Command> m_commands;
    std::function<void(WORD, LPARAM)> m_onCommand;

    BOOL Create(int width, int height);
    int Count(WORD id) const;
    const Command* Last(WORD id) const;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
};

// Pixels of a window's client area as painted through WM_PRINTCLIENT, as COLORREF values.
class CCapture : public lvtest::CPixelCanvas {
  public:
    // Over a colour no control draws, so that unpainted pixels show.
    explicit CCapture(HWND hWnd);
    COLORREF At(int x, int y) const { return Pixel(x, y); }
};

using lvtest::PumpFor;

class ListFixture : public testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Columns of the given widths, titled "C0", "C1", ...
    void AddColumns(std::initializer_list<int> widths);
    // Rows with texts "r<row>c<col>" in every column.
    void AddRows(int count);
    POINT CellCentre(int row, int col) const;
    void Click(POINT pt);
    void DoubleClick(POINT pt);

    // One parent for the whole run: top-level windows cost seconds to make and destroy under Wine
    // without a window manager.
    static CCommandRecorder& Parent();
    CCommandRecorder& m_parent = Parent();
    CMyListCtrl m_list;
    static constexpr int LIST_ID = 100;
};
