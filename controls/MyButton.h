#pragma once
// CMyButton: the owner-drawn push button. It draws face images (one per state) or, without them,
// a rounded rectangle with a vertical two-colour gradient, a one-pixel frame and its caption,
// optionally with a small icon left of the caption. States: normal, hover, checked (held), pressed
// and disabled. Colours, caption font style, corner radii and icon offsets start from the
// process-wide defaults ("ButtonDefault.ini") and can be set per button.

#include "controls/ButtonDefaults.h"
#include "controls/ButtonToolTip.h"
#include "platform/CButton.h"

#include <commctrl.h>

#include <string>
#include <vector>

// A colour argument that keeps the colour held now.
inline constexpr COLORREF BUTTON_KEEP_COLOR = static_cast<COLORREF>(-1);

class CMyButton : public CButton {
  public:
    CMyButton();
    ~CMyButton() override;

    // Face images for normal, hover (also checked), checked without a hover image, and disabled.
    // A name is looked up as a skin file; one that is not an existing file empties that image.
    void SetImages(LPCWSTR lpszNormal, LPCWSTR lpszOver = nullptr, LPCWSTR lpszDown = nullptr,
                   LPCWSTR lpszDisabled = nullptr);
    void SetImageParams(int nNormal, int nOver, int nDisabled);
    void SetIcon(HIMAGELIST hImageList, int nIndex);
    void SetIconImages(LPCWSTR lpszNormal, LPCWSTR lpszOver = nullptr, LPCWSTR lpszDown = nullptr);

    void SetGradient(COLORREF clrTop, COLORREF clrBottom, bool bUseDefault = false);
    void SetFrameColor(COLORREF clrFrame, bool bUseDefault = false);
    void SetTextColor(COLORREF clrText, bool bUseDefault = false);
    void SetOverColors(COLORREF clrBk1, COLORREF clrBk2, COLORREF clrText, COLORREF clrFrame,
                       bool bUseDefault = false);
    void SetHoldColors(COLORREF clrBk1, COLORREF clrBk2, COLORREF clrText, COLORREF clrFrame,
                       bool bUseDefault = false);
    void SetOverTextColor(COLORREF clrText, bool bUseDefault = false);
    void SetImageOffset(int x, int y, bool bAlsoDefault = false);
    void SetRound(int rx, int ry, bool bUseDefault = false);
    void GetRound(int& rx, int& ry) const;
    void SetHoldText(LPCWSTR lpszText);

    void SetChecked(bool bChecked);
    bool GetChecked() const { return m_bChecked; }
    void SetToggle(bool bToggle) { m_bToggle = bToggle; }
    void SetHoverFrame(bool bHoverFrame) { m_bHoverFrame = bHoverFrame; }
    void SetTextOnImage(bool bTextOnImage) { m_bTextOnImage = bTextOnImage; }
    void SetNoRound(bool bNoRound) { m_bNoRound = bNoRound; }
    void SetNoFocusRect(bool bNoFocusRect) { m_bNoFocusRect = bNoFocusRect; }
    void SetOwnColors(bool bOwnColors) { m_bOwnColors = bOwnColors; }

    // null: the caption is the tip; "": no tip; anything else: that text.
    void SetToolTip(LPCWSTR lpszText);
    void SetToolTipFromCaption(bool bFromCaption);
    const CButtonToolTip& GetToolTip() const { return m_toolTip; }

    bool IsOver() const { return m_bOver; }
    bool IsPressed() const { return m_bPressed; }
    bool IsUsingImages() const { return m_bUseImages; }

    // Process-wide.
    static void RefreshAllToolTips();
    static const ButtonDefaults& GetDefaults();
    // Reads "ButtonDefault.ini" (or file) into the defaults and hands the new normal look to every
    // live button that has no colours of its own.
    static void LoadDefaults();
    static void LoadDefaults(const std::wstring& file);
    static void SetDefaultGradient(COLORREF clrTop, COLORREF clrBottom);
    static void SetDefaultTextColor(COLORREF clrText);
    static void SetDefaultFrameColor(COLORREF clrFrame);
    static void SetDefaultOverColors(COLORREF clrBk1, COLORREF clrBk2, COLORREF clrText, COLORREF clrFrame);
    static void SetDefaultHoldColors(COLORREF clrBk1, COLORREF clrBk2, COLORREF clrText, COLORREF clrFrame);
    static void SetDefaultOverTextColor(COLORREF clrText);
    static void SetDefaultImageOffset(int x, int y);
    static void SetDefaultRound(int rx, int ry);
    // The font style part of the defaults; new buttons copy it.
    static void SetDefaultFontStyle(int nFontSize, bool bUnderline, bool bItalic, bool bBold,
                                    LPCWSTR lpszFaceName = nullptr);
    static size_t GetLiveCount();

  protected:
    void PreSubclassWindow() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    virtual void DrawItem(const DRAWITEMSTRUCT& dis);

  private:
    void ApplyDefaultLook(const ButtonDefaults& d);
    void Repaint();
    HFONT MakeCaptionFont(HDC hDC, bool bHover) const;
    void DrawFace(HDC hDC, const RECT& rect, UINT itemState);

    std::wstring m_strImage;
    std::wstring m_strImageOver;
    std::wstring m_strImageDisabled;
    std::wstring m_strImageDown;
    CButtonToolTip m_toolTip; // the tip control and its text
    HIMAGELIST m_pIconList = nullptr;
    int m_nIconIndex = -1;
    int m_nRX = 0;
    int m_nRY = 0;
    int m_nImgOffsetX = 10;
    int m_nImgOffsetY = -1;
    std::wstring m_strIcon;
    std::wstring m_strIconDown;
    std::wstring m_strIconOver;
    COLORREF m_clrText = 0;
    COLORREF m_clrBk1 = 0;
    COLORREF m_clrBk2 = 0;
    COLORREF m_clrFrame = 0;
    COLORREF m_clrOverBk1 = 0;
    COLORREF m_clrOverBk2 = 0;
    COLORREF m_clrOverText = 0;
    COLORREF m_clrOverFrame = 0;
    COLORREF m_clrHoldBk1 = 0;
    COLORREF m_clrHoldBk2 = 0;
    COLORREF m_clrHoldText = 0;
    COLORREF m_clrHoldFrame = 0;
    std::wstring m_strHoldText;
    int m_nImageParams[3] = {-1, -1, -1}; // kept with the face images; not used in drawing
    int m_nFontSize = -1;
    bool m_bUnderline = false;
    bool m_bItalic = false;
    bool m_bBold = false;
    std::wstring m_szFaceName;
    bool m_bChecked = false;
    bool m_bHoverFrame = false;
    bool m_bOver = false;
    bool m_bUseImages = false;
    bool m_bPressed = false;
    bool m_bTextOnImage = false;
    bool m_bNoRound = false;
    bool m_bNoFocusRect = false;
    bool m_bOwnColors = false;
    bool m_bToggle = false;
};
