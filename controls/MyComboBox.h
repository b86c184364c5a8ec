#pragma once
// CMyComboBox: a combo box that draws itself: a flat frame, the selection text and an image thumb
// (or a drawn arrow when no thumb image loads) that follows the normal, hover and dropped states.
//
// Attach it to an existing combo box with SubclassWindow / SubclassDlgItem. It answers its own
// reflected CBN_SETFOCUS, CBN_CLOSEUP and CBN_SELCHANGE and still lets the parent see them.

#include "platform/CComboBox.h"
#include "platform/CGdiObject.h"

#include <windows.h>

#include <string>
#include <string_view>

class CMyComboBox : public CComboBox {
  public:
    // Thumb states, in the order of the thumb members.
    static constexpr int THUMB_NORMAL = 0;
    static constexpr int THUMB_HOVER = 1;
    static constexpr int THUMB_DOWN = 2;

    static constexpr COLORREF BORDER_COLOR = 0xD2D2D2;
    static constexpr COLORREF BORDER_FOCUS_COLOR = 0xF00000;
    static constexpr COLORREF DISABLED_FILL_COLOR = 0xD4D4D4;
    static constexpr COLORREF DISABLED_THUMB_COLOR = 0x800080;
    // The drawn thumb's fill per state (normal, hover, dropped).
    static constexpr COLORREF THUMB_COLORS[3] = {0x0000FF, 0x00FF00, 0xFF0000};

    CMyComboBox();

    // Process-wide thumb defaults, taken by boxes constructed afterwards and used by every box
    // whose own id is -1 / whose own file name is empty. Null names leave that state unchanged.
    static void SetDefaultThumbIds(int nNormal, int nHover, int nDown);
    static void SetDefaultThumbImages(const wchar_t* pszNormal, const wchar_t* pszHover,
                                      const wchar_t* pszDown);
    static int GetDefaultThumbId(int nState);
    static std::wstring GetDefaultThumbImage(int nState);

    // This box's thumbs: bitmap resource ids of the program (-1: use the image file) and image files
    // (a name without a drive is taken from the default skin directory). Both repaint.
    void SetThumbIds(int nNormal, int nHover, int nDown);
    void SetThumbImages(std::wstring_view normal, std::wstring_view hover, std::wstring_view down);
    int GetThumbId(int nState) const;
    std::wstring GetThumbImage(int nState) const;

    bool IsHover() const { return m_bHover; }
    // Which thumb the next paint shows (THUMB_*).
    int GetThumbState() const;

    // Draws the whole box into dc (client coordinates); WM_PAINT and WM_PRINTCLIENT come here.
    void DrawControl(HDC dc);

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

  protected:
    void PreSubclassWindow() override;

  private:
    void SetHover(bool bHover);
    void RepaintNow();
    bool HasFocus() const;
    // The thumb bitmap of a state: the resource, the image file, or the drawn arrow.
    CBitmap MakeThumb(int nState, bool bEnabled, SIZE& size) const;

    bool m_bHover = false;
    int m_nThumbIds[3];
    std::wstring m_strThumbs[3];
    bool m_bTrackingLeave = false;
};
