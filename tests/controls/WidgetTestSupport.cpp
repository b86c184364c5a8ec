#include "WidgetTestSupport.h"

int CWidgetDialog::CountNotes(UINT nID, int nCode) const
{
    int n = 0;
    for (const Note& note : m_notes)
        n += note.nID == nID && note.nCode == nCode;
    return n;
}

void CWidgetTest::SetUp()
{
    // The pointer starts mid-screen on Xvfb, where it could hover a control.
    ::SetCursorPos(::GetSystemMetrics(SM_CXSCREEN) - 1, ::GetSystemMetrics(SM_CYSCREEN) - 1);
    ASSERT_TRUE(m_dialog.Create());
    m_dialog.SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    m_dialog.ShowWindow(SW_SHOW);
    m_dialog.SetForegroundWindow();
    Pump();
}

void CWidgetTest::TearDown()
{
    m_dialog.DestroyWindow();
    Pump();
}

std::unique_ptr<CCanvas> CWidgetTest::Capture(HWND hWnd)
{
    SIZE size = ClientSize(hWnd);
    auto canvas = std::make_unique<CCanvas>(size.cx, size.cy, CANVAS_FILL);
    ::SendMessageW(hWnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas->DC()), PRF_CLIENT);
    return canvas;
}

SIZE CWidgetTest::ClientSize(HWND hWnd)
{
    RECT rc{};
    ::GetClientRect(hWnd, &rc);
    return {rc.right - rc.left, rc.bottom - rc.top};
}
