#pragma once
// CMyProgressCtrl: a progress bar that draws itself: a background, the bar up to the position (or
// across the whole width while busy), and a caption with the percentage ("%.1f%%").
//
// Attach it to an existing progress bar with SubclassWindow / SubclassDlgItem.

#include "platform/CProgressCtrl.h"

#include <windows.h>

#include <string>
#include <string_view>

class CMyProgressCtrl : public CProgressCtrl {
  public:
    // Colour pairs (SetColors index): each pair runs from the first colour at the top to the second
    // at the bottom.
    static constexpr int COLORS_BAR = 0;        // the bar up to the position
    static constexpr int COLORS_BACKGROUND = 1; // the rest of the control
    static constexpr int COLORS_BUSY = 2;       // the bar while busy
    // SetPosText with this position changes the text alone.
    static constexpr int POS_TEXT_ONLY = -100;

    CMyProgressCtrl();

    // Stores the caption. pos >= 0 ends the busy state and sets the position; any other negative pos
    // but POS_TEXT_ONLY starts the busy state. Repaints at once.
    void SetPosText(int nPos, std::wstring_view text);
    const std::wstring& GetText() const { return m_strText; }
    bool IsBusy() const { return m_bBusy; }

    // Sets colour pair index (0, 1 or 2; other indexes are ignored) and repaints.
    void SetColors(COLORREF clr1, COLORREF clr2, int nIndex);
    COLORREF GetColor(int nIndex, int nWhich) const;
    void SetTextColor(COLORREF clrText);
    COLORREF GetTextColor() const { return m_clrText; }
    // Background and bar images; an empty name or a file that does not load leaves the colours.
    void SetImages(std::wstring_view background, std::wstring_view bar);
    const std::wstring& GetBkImage() const { return m_strBkImage; }
    const std::wstring& GetBarImage() const { return m_strBarImage; }

    // Process-wide defaults for progress bars made afterwards: the two image files, and the bar's
    // colour pair with the text colour.
    static void SetDefaultProgressImages(std::wstring_view background, std::wstring_view bar);
    static void SetDefaultProgressColors(COLORREF clrBar1, COLORREF clrBar2, COLORREF clrText);

    // The caption as drawn: the text, then the percentage unless busy.
    std::wstring GetCaption() const;
    // Draws the whole bar into dc (client coordinates); WM_PAINT and WM_PRINTCLIENT come here.
    void DrawControl(HDC dc);

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  protected:
    void PreSubclassWindow() override;

  private:
    void RepaintNow();

    std::wstring m_strText;
    COLORREF m_clrPairs[3][2];
    COLORREF m_clrText;
    std::wstring m_strBkImage;
    std::wstring m_strBarImage;
    bool m_bBusy = false;
};
