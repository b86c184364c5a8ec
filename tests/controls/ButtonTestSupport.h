#pragma once
// Helpers for the button tests: a top-level host window that records the commands its children
// send, a 32-bit pixel canvas, a control painted into such a canvas, and scratch files.

#include "platform/CWnd.h"
#include "tests/support/PixelCanvas.h"
#include "tests/support/TestPump.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A visible top-level window at the screen's top-left that records WM_COMMAND (id, code).
class CButtonHost : public CWnd {
  public:
    struct Command {
        int id;
        int code;
    };
    CButtonHost();
    std::vector<Command> m_commands;
    int CountCommands(int id, int code) const;

  protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
};

// One host for the whole run (making and destroying a top-level window costs Wine about two
// seconds without a window manager); its record of commands starts empty on every call.
CButtonHost& SharedHost();

using lvtest::CPixelCanvas;

// The control's client area as it paints itself (WM_PRINTCLIENT), over a canvas filled with fill.
std::unique_ptr<CPixelCanvas> Render(HWND hWnd, COLORREF fill = RGB(255, 0, 255));

// Writes the canvas as a 24-bit BMP.
void SaveCanvas(const CPixelCanvas& canvas, const std::wstring& path);

// True when every channel of a and b differs by at most tolerance.
bool Near(COLORREF a, COLORREF b, int tolerance = 6);
// Dark: every channel below 100.
bool IsDark(COLORREF c);
// Caption ink on a light face: the anti-aliased edges of dark text count too.
bool IsInk(COLORREF c);

inline void PumpPending()
{
    lvtest::Pump();
}

// A fresh file path in the temporary folder; the file is deleted at the end.
class CScratchFile {
  public:
    explicit CScratchFile(const wchar_t* suffix);
    ~CScratchFile();
    CScratchFile(const CScratchFile&) = delete;
    CScratchFile& operator=(const CScratchFile&) = delete;
    const std::wstring& Path() const { return m_path; }
    void WriteText(const std::string& text) const;

  private:
    std::wstring m_path;
};

// Writes a solid 24-bit BMP.
void WriteSolidBmp(const std::wstring& path, int width, int height, COLORREF colour);
