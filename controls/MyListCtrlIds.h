#pragma once
// The command ids that travel between CMyListCtrl and the dialog it sits in. They live apart from
// the control class so that a dialog's command routing can name them without including it.
//
// The list posts its commands as WM_COMMAND with notification code 0 and an lParam that is no
// window (the list object, or a packed cell), so a dialog must handle them itself and never pass
// them on to be reflected to a child by lParam.

// Posted when a cell is clicked (or Enter is pressed in cell-select mode); lParam = the list.
inline constexpr int LIST_CMD_CLICK = 20466;
// Posted on a double-click on a cell; lParam = (row << 16) | col, each cut to 16 bits.
inline constexpr int LIST_CMD_DBLCLICK = 20465;
// Posted when an in-place edit has been written back; lParam = the list.
inline constexpr int LIST_CMD_EDIT_DONE = 20464;
// Swallowed by the dialog base together with the click command. Nothing here posts it: it is
// kept free, since a control given this id would never have its commands routed.
inline constexpr int LIST_CMD_RESERVED = 14631;
// The 16-bit form of -1: the id of a control that its template gave none (IDC_STATIC). The
// dialog base swallows commands with this id, and commands whose lParam is this value in place of
// a sender window, along with the list's click command.
inline constexpr int CONTROL_ID_NONE = 65535;
