// What screen readers are told about the owner-drawn buttons and check boxes, asked as they ask:
// AccessibleObjectFromWindow (WM_GETOBJECT) and the IAccessible questions of name, role and state.

#include "ButtonTestSupport.h"

#include "controls/MyButton.h"
#include "controls/MyCheckButton.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <oleacc.h>

#include <functional>
#include <memory>
#include <string>

namespace {

struct Answer {
    std::wstring name;
    LONG role = -1;
    LONG state = 0;
    std::wstring action;
};

Answer Ask(HWND hWnd)
{
    Answer answer;
    IAccessible* pAcc = nullptr;
    // __uuidof: MinGW-w64's IID_IAccessible constant does not hold the interface's id.
    if (FAILED(::AccessibleObjectFromWindow(hWnd, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                            reinterpret_cast<void**>(&pAcc))) ||
        !pAcc)
        return answer;
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR text = nullptr;
    if (SUCCEEDED(pAcc->get_accName(self, &text)) && text)
        answer.name = text;
    ::SysFreeString(text);
    text = nullptr;
    if (SUCCEEDED(pAcc->get_accDefaultAction(self, &text)) && text)
        answer.action = text;
    ::SysFreeString(text);
    VARIANT v{};
    if (SUCCEEDED(pAcc->get_accRole(self, &v)) && v.vt == VT_I4)
        answer.role = v.lVal;
    VARIANT s{};
    if (SUCCEEDED(pAcc->get_accState(self, &s)) && s.vt == VT_I4)
        answer.state = s.lVal;
    pAcc->Release();
    return answer;
}

class Accessible : public testing::Test {
  protected:
    static void SetUpTestSuite() { ::CoInitialize(nullptr); }
    static void TearDownTestSuite() { ::CoUninitialize(); }
    CButtonHost& m_host = SharedHost();
};

TEST_F(Accessible, ButtonsAndCheckBoxesReportCaptionRoleAndState)
{
    CMyButton button;
    ASSERT_TRUE(
        button.Create(L"&Rescan", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, {10, 10, 90, 34}, &m_host, 1101));
    CMyCheckButton check;
    ASSERT_TRUE(check.Create(L"Set On Top", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, {10, 40, 130, 56},
                             &m_host, 1102));
    CMyCheckButton radio;
    ASSERT_TRUE(
        radio.Create(L"LAN", WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON, {10, 60, 130, 76}, &m_host, 1103));

    struct Case {
        const char* name;
        HWND hWnd;
        std::function<void()> before;
        std::wstring caption;
        LONG role;
        LONG stateSet;   // flags that must be set
        LONG stateClear; // flags that must not
        std::wstring action;
    };
    const Case cases[] = {
        {"push button", button.m_hWnd, [] {}, L"Rescan", ROLE_SYSTEM_PUSHBUTTON, 0,
         STATE_SYSTEM_PRESSED | STATE_SYSTEM_CHECKED, L"Press"},
        {"held push button", button.m_hWnd, [&] { button.SetChecked(true); }, L"Rescan",
         ROLE_SYSTEM_PUSHBUTTON, STATE_SYSTEM_PRESSED, 0, L"Press"},
        {"disabled push button", button.m_hWnd, [&] { button.SetChecked(false), button.EnableWindow(FALSE); },
         L"Rescan", ROLE_SYSTEM_PUSHBUTTON, STATE_SYSTEM_UNAVAILABLE, 0, L"Press"},
        {"unchecked check box", check.m_hWnd, [] {}, L"Set On Top", ROLE_SYSTEM_CHECKBUTTON, 0,
         STATE_SYSTEM_CHECKED, L"Check"},
        {"check box checked by a click", check.m_hWnd,
         [&] {
             check.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
             check.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
         },
         L"Set On Top", ROLE_SYSTEM_CHECKBUTTON, STATE_SYSTEM_CHECKED, 0, L"Uncheck"},
        {"radio button", radio.m_hWnd, [&] { radio.SendMessage(BM_SETCHECK, BST_CHECKED); }, L"LAN",
         ROLE_SYSTEM_RADIOBUTTON, STATE_SYSTEM_CHECKED, 0, L"Check"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.before();
        const Answer a = Ask(c.hWnd);
        EXPECT_EQ(a.name, c.caption) << "the caption without its access-key mark";
        EXPECT_EQ(a.role, c.role);
        EXPECT_EQ(a.state & c.stateSet, c.stateSet) << std::hex << a.state;
        EXPECT_EQ(a.state & c.stateClear, 0) << std::hex << a.state;
        EXPECT_EQ(a.action, c.action);
    }
    button.EnableWindow(TRUE);
}

} // namespace
