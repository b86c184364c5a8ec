#pragma once
// CMySliderCtrl: a track bar that draws itself: a channel, the filled part up to the position and
// a thumb, each from an image file or, when the image does not load, as a shape in its colour.
//
// Attach it to an existing track bar with SubclassWindow / SubclassDlgItem. Every live slider is
// kept in a process-wide list, so that the process-wide defaults (colours, images, thumb shape)
// reach sliders that exist already. On a vertical slider, SetSliderPos / GetSliderPos count from
// the bottom: the maximum is at the top.

#include "platform/CSliderCtrl.h"

#include <windows.h>

#include <string>
#include <string_view>

class CMySliderCtrl : public CSliderCtrl {
  public:
    static constexpr int THUMB_RECTANGLE = 1; // any other shape value draws a circle

    CMySliderCtrl();
    ~CMySliderCtrl() override;

    // Position as the user reads it: on a vertical slider max - (pos - min) of the platform's.
    void SetSliderPos(int nPos);
    int GetSliderPos() const;

    // Locked: mouse buttons, the wheel and keys are ignored.
    void SetLocked(bool bLocked) { m_bLocked = bLocked; }
    bool IsLocked() const { return m_bLocked; }

    // This slider's look; each repaints.
    void SetSliderColors(COLORREF clrChannel, COLORREF clrFilled, COLORREF clrThumb);
    void SetSliderImages(std::wstring_view channel, std::wstring_view filled, std::wstring_view thumb);
    void SetThumbShape(int nShape);
    void SetChannelThickness(int nThickness);

    COLORREF GetChannelColor() const { return m_clrChannel; }
    COLORREF GetFilledColor() const { return m_clrFilled; }
    COLORREF GetThumbColor() const { return m_clrThumb; }
    const std::wstring& GetChannelImage() const { return m_strChannelImage; }
    const std::wstring& GetFilledImage() const { return m_strFilledImage; }
    const std::wstring& GetThumbImage() const { return m_strThumbImage; }
    int GetThumbShape() const { return m_nThumbShape; }
    int GetChannelThickness() const { return m_nChannelThickness; }
    bool IsHorizontal() const { return m_bHorizontal; }
    bool IsDragging() const { return m_bDragging; }

    // Process-wide defaults: stored for sliders made later, and given to every live slider, which
    // repaints.
    static void SetDefaultSliderColors(COLORREF clrChannel, COLORREF clrFilled, COLORREF clrThumb);
    static void SetDefaultSliderImages(std::wstring_view channel, std::wstring_view filled,
                                       std::wstring_view thumb);
    static void SetDefaultThumbShape(int nShape);
    // How many sliders are alive now.
    static int GetLiveSliderCount();

    // Draws the whole slider into dc (client coordinates); WM_PAINT and WM_PRINTCLIENT come here.
    void DrawControl(HDC dc);

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

  protected:
    void PreSubclassWindow() override;

  private:
    void RepaintNow();
    void UpdateOrientation();
    // Repaints when the platform position moved since the last paint.
    void CheckPosition();

    std::wstring m_strChannelImage;
    std::wstring m_strFilledImage;
    std::wstring m_strThumbImage;
    COLORREF m_clrChannel;
    COLORREF m_clrFilled;
    COLORREF m_clrThumb;
    int m_nChannelThickness = 8;
    int m_nThumbShape;
    int m_nLastPos = 0;
    bool m_bDragging = false;
    bool m_bHover = false;
    bool m_bLocked = false;
    bool m_bHorizontal = true;
};
