#pragma once
// CMyCheckButton: the owner-drawn check box and radio button. It keeps the checked state itself
// (answering BM_GETCHECK), draws the box from images (checked, unchecked and their hover
// variants) or as a drawn square or anti-aliased circle, draws the caption beside it, and makes
// the radio buttons of one dialog group exclusive.

#include "controls/ButtonToolTip.h"
#include "platform/CButton.h"

#include <string>

// A colour argument meaning "none": no box fill, or the device context's own text colour.
inline constexpr COLORREF CHECK_NO_COLOR = static_cast<COLORREF>(-1);

// Which state a check colour applies to.
inline constexpr int CHECK_STATE_ON = 0;
inline constexpr int CHECK_STATE_OFF = 1;
inline constexpr int CHECK_STATE_OVER = 2;

class CMyCheckButton : public CButton {
  public:
    CMyCheckButton();
    ~CMyCheckButton() override;

    // null keeps the image held now.
    void SetCheckImages(LPCWSTR lpszOn, LPCWSTR lpszOff, bool bImageHasText = false);
    void SetCheckOverImages(LPCWSTR lpszOn, LPCWSTR lpszOff, bool bImageHasText = false);
    // which: CHECK_STATE_ON, CHECK_STATE_OFF or CHECK_STATE_OVER.
    void SetCheckTextColor(COLORREF colour, int which);
    void SetCheckBoxColor(COLORREF colour, int which);
    void SetBoxSize(int nWidth, int nHeight);
    void SetBoxRight(bool bRight, bool bImageHasText = false);
    // As for CMyButton: null = the caption, "" = no tip, else that text.
    void SetToolTip(LPCWSTR lpszText);
    void SetToolTipFromCaption(bool bFromCaption);
    const CButtonToolTip& GetToolTip() const { return m_toolTip; }

    bool IsRadio() const { return m_bRadio; }
    bool IsOver() const { return m_bOver; }
    bool IsChecked() const { return m_bChecked; }

    // Process-wide defaults copied by every new control.
    // Without bHover: a = checked, b = unchecked; with bHover: a = unchecked-hover, b = checked-hover.
    static void SetDefaultCheckImages(LPCWSTR lpszA, LPCWSTR lpszB, bool bHover);
    static void SetDefaultCheckColors(COLORREF clrText, COLORREF clrBox, int which);
    static void SetDefaultBoxSize(int nWidth, int nHeight);
    static size_t GetLiveCount();

  protected:
    void PreSubclassWindow() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    virtual void DrawItem(const DRAWITEMSTRUCT& dis);

  private:
    void Repaint();
    void CheckInGroup();
    void DrawBox(HDC hDC, const RECT& box, COLORREF clrMark, bool bDisabled);

    CButtonToolTip m_toolTip; // the tip control and its text
    bool m_bRadio = false;
    bool m_bOver = false;
    bool m_bPressed = false;
    bool m_bChecked = false;
    bool m_bBoxRight = false;
    bool m_bImageHasText = false;
    std::wstring m_strImageOn;
    std::wstring m_strImageOff;
    std::wstring m_strImageOverOn;
    std::wstring m_strImageOverOff;
    COLORREF m_clrOverText = RGB(0, 0, 255);
    COLORREF m_clrOnText = RGB(0, 0, 0);
    COLORREF m_clrOffText = RGB(0, 0, 0);
    COLORREF m_clrOverBox = CHECK_NO_COLOR;
    COLORREF m_clrOnBox = CHECK_NO_COLOR;
    COLORREF m_clrOffBox = CHECK_NO_COLOR;
    int m_nUnused[2] = {-1, -1}; // kept with the control; not used in drawing
    int m_nBoxWidth = 16;
    int m_nBoxHeight = 16;
};
