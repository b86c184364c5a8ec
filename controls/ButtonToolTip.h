#pragma once
// CButtonToolTip: the tool tip of one skinned button or check box. The text is the button's own
// tip text, or its caption when that is empty and the caption serves; an empty result deactivates
// the tip. The tip window is made on first need and kept until the owner goes.

#include "platform/CToolTipCtrl.h"

#include <windows.h>

#include <memory>
#include <string>

class CButtonToolTip {
  public:
    // The longest tip text kept (255 characters).
    static constexpr size_t MAX_TEXT = 255;

    // null: the caption serves; "": no tip; anything else: that text.
    void SetText(LPCWSTR lpszText);
    // Clears the own text and stores whether the caption serves.
    void SetFromCaption(bool bFromCaption);
    // Back to the caption (attaching, WM_SETTEXT).
    void ResetToCaption() { m_szText.clear(); }

    const std::wstring& GetText() const { return m_szText; }
    bool IsFromCaption() const { return m_bFromCaption; }
    // The text the tip shows for the button now.
    std::wstring EffectiveText(HWND hWndButton) const;

    // Makes the tip window when needed and shows the effective text (or deactivates the tip).
    void Update(HWND hWndButton);
    // Passes a mouse message of the button to the tip.
    void Relay(HWND hWndButton, UINT message, WPARAM wParam, LPARAM lParam);

    CToolTipCtrl* GetCtrl() const { return m_pToolTip.get(); }

  private:
    std::unique_ptr<CToolTipCtrl> m_pToolTip;
    std::wstring m_szText;
    bool m_bFromCaption = true;
};
