#include "controls/ButtonToolTip.h"

#include "platform/CWnd.h"
#include "platform/WindowText.h"

void CButtonToolTip::SetText(LPCWSTR lpszText)
{
    if (!lpszText) {
        m_szText.clear();
        m_bFromCaption = true;
        return;
    }
    m_szText = lpszText;
    if (m_szText.size() > MAX_TEXT)
        m_szText.resize(MAX_TEXT);
    // An empty own text would fall back to the caption; "no tip" has to turn that off.
    if (m_szText.empty())
        m_bFromCaption = false;
}

void CButtonToolTip::SetFromCaption(bool bFromCaption)
{
    m_szText.clear();
    m_bFromCaption = bFromCaption;
}

std::wstring CButtonToolTip::EffectiveText(HWND hWndButton) const
{
    if (!m_szText.empty() || !m_bFromCaption)
        return m_szText;
    std::wstring text = WindowTextOf(hWndButton);
    if (text.size() > MAX_TEXT)
        text.resize(MAX_TEXT);
    return text;
}

void CButtonToolTip::Update(HWND hWndButton)
{
    if (!hWndButton || !::IsWindow(hWndButton))
        return;
    std::wstring text = EffectiveText(hWndButton);
    if (!m_pToolTip) {
        if (text.empty())
            return; // nothing to show yet: make the window when a text comes
        auto pToolTip = std::make_unique<CToolTipCtrl>();
        if (!pToolTip->Create(CWnd::FromHandle(hWndButton), TTS_ALWAYSTIP))
            return;
        pToolTip->AddTool(hWndButton, text.c_str());
        pToolTip->SetDelayTime(TTDT_INITIAL, 5);
        m_pToolTip = std::move(pToolTip);
    }
    if (text.empty()) {
        m_pToolTip->Activate(FALSE);
        return;
    }
    m_pToolTip->UpdateTipText(text.c_str(), hWndButton);
    m_pToolTip->Activate(TRUE);
}

void CButtonToolTip::Relay(HWND hWndButton, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!m_pToolTip || !m_pToolTip->IsWindow())
        return;
    MSG msg{};
    msg.hwnd = hWndButton;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = static_cast<DWORD>(::GetMessageTime());
    msg.pt.x = static_cast<LONG>(static_cast<short>(LOWORD(lParam)));
    msg.pt.y = static_cast<LONG>(static_cast<short>(HIWORD(lParam)));
    ::ClientToScreen(hWndButton, &msg.pt);
    m_pToolTip->RelayEvent(&msg);
}
