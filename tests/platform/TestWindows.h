#pragma once
// Test doubles for the window layer: a dialog and a control object that record what reaches them.

#include "platform/CDialog.h"
#include "tests/support/TestPump.h"

#include <commctrl.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

// A dialog whose hooks the test sets and whose overrides count their calls.
class CTestDialog : public CDialog {
  public:
    using CDialog::CDialog;

    std::function<void(CTestDialog&)> m_onInit;
    std::function<BOOL(WPARAM, LPARAM)> m_onCommand; // TRUE: handled here, the base is not called
    std::function<void(CTestDialog&, UINT_PTR)> m_onTimer;
    std::vector<WPARAM> m_keys; // WM_KEYDOWN seen by PreTranslateMessage
    int m_nAppSeen = 0;         // WM_APP seen by PreTranslateMessage
    std::vector<std::string>* m_pOrder = nullptr;
    int m_nInit = 0, m_nLoad = 0, m_nSave = 0, m_nOk = 0, m_nCancel = 0;
    bool m_bShown = false;

    BOOL OnInitDialog() override
    {
        ++m_nInit;
        BOOL result = CDialog::OnInitDialog();
        if (m_onInit)
            m_onInit(*this);
        return result;
    }
    void DoDataExchange(bool bSaveAndValidate) override { ++(bSaveAndValidate ? m_nSave : m_nLoad); }
    void OnOK() override
    {
        ++m_nOk;
        CDialog::OnOK();
    }
    void OnCancel() override
    {
        ++m_nCancel;
        CDialog::OnCancel();
    }
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override
    {
        if (m_onCommand && m_onCommand(wParam, lParam))
            return TRUE;
        return CDialog::OnCommand(wParam, lParam);
    }
    BOOL PreTranslateMessage(MSG* pMsg) override
    {
        if (pMsg->message == WM_KEYDOWN) {
            m_keys.push_back(pMsg->wParam);
            if (m_pOrder)
                m_pOrder->push_back("dialog");
        }
        if (pMsg->message == WM_APP)
            ++m_nAppSeen;
        return CDialog::PreTranslateMessage(pMsg);
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_TIMER && m_onTimer) {
            m_onTimer(*this, wParam);
            return 0;
        }
        if (message == WM_SHOWWINDOW && wParam)
            m_bShown = true;
        return CDialog::WindowProc(message, wParam, lParam);
    }
};

// A control object that records its messages, reflected notifications and pre-translation.
class CProbeWnd : public CWnd {
  public:
    struct Note {
        UINT message;
        UINT code; // notification code of WM_COMMAND / WM_NOTIFY, else 0
    };
    std::vector<Note> m_notes;
    std::function<BOOL(UINT, WPARAM, LPARAM, LRESULT*)> m_onChildNotify;
    std::vector<UINT> m_messages;
    std::vector<WPARAM> m_keys;
    std::vector<std::string>* m_pOrder = nullptr;
    bool m_bConsumeKeys = false;
    UINT m_nThrowOn = 0;
    int m_nPreSubclass = 0;
    int m_nPostNcDestroy = 0;

    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override
    {
        UINT code = 0;
        if (message == WM_COMMAND)
            code = HIWORD(wParam);
        else if (message == WM_NOTIFY)
            code = reinterpret_cast<const NMHDR*>(lParam)->code;
        m_notes.push_back({message, code});
        return m_onChildNotify ? m_onChildNotify(message, wParam, lParam, pResult) : FALSE;
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        m_messages.push_back(message);
        if (m_nThrowOn && message == m_nThrowOn)
            throw std::runtime_error("handler failed");
        if (message == WM_SETTEXT)
            return Default();
        return CWnd::WindowProc(message, wParam, lParam);
    }
    BOOL PreTranslateMessage(MSG* pMsg) override
    {
        if (pMsg->message != WM_KEYDOWN)
            return FALSE;
        m_keys.push_back(pMsg->wParam);
        if (m_pOrder)
            m_pOrder->push_back("control");
        return m_bConsumeKeys;
    }
    void PreSubclassWindow() override { ++m_nPreSubclass; }
    void PostNcDestroy() override { ++m_nPostNcDestroy; }

    int Count(UINT message) const
    {
        int n = 0;
        for (UINT m : m_messages)
            n += m == message;
        return n;
    }
};

// Handles what is queued now, through pre-translation as the layer's loops do.
inline void PumpPending()
{
    lvtest::Pump();
}
