#pragma once
// Button accessibility: what screen readers are told about an owner-drawn button or check box. The
// system's standard object of the window (CreateStdAccessibleObject) answers everything, but an
// owner-drawn button is a push button to it whatever it shows, and some systems (Wine) give every
// button the role of a plain client area with no checked state. This object keeps the standard
// one's answers and puts the role, the checked and pressed states and the default action right.
// A button answers WM_GETOBJECT(OBJID_CLIENT) with AnswerGetObject.

#include <windows.h>

#include <oleacc.h>

// The role and the states a button reports.
struct ButtonAccessibleState {
    bool bCheckBox = false; // ROLE_SYSTEM_CHECKBUTTON, else ROLE_SYSTEM_PUSHBUTTON
    bool bRadio = false;    // ROLE_SYSTEM_RADIOBUTTON
    bool bChecked = false;  // STATE_SYSTEM_CHECKED (check boxes), STATE_SYSTEM_PRESSED (held buttons)
};

// The result for WM_GETOBJECT: an object for OBJID_CLIENT, 0 (the system's own answer) otherwise
// or when none can be made. The state is read again on every question.
LRESULT AnswerButtonGetObject(HWND hWnd, WPARAM wParam, LPARAM lParam, ButtonAccessibleState (*read)(HWND));
