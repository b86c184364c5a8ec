#pragma once
// Resource ids of the dialog framework tests' templates.

#define IDD_MYDLG_TEST 2100
#define IDD_MYDLG_CHILD 2101
#define IDD_MYDLG_PLAIN 2102
#define IDD_MYDLG_SERIAL 2103
#define IDD_MYDLG_BARE 2104

#define IDC_MYDLG_BUTTON 1000
#define IDC_MYDLG_STATIC 1001
#define IDC_MYDLG_STATIC2 1002
#define IDC_MYDLG_EDIT 1003
#define IDC_MYDLG_COMBO 1004
#define IDC_MYDLG_LIST 1005
#define IDC_MYDLG_LISTBOX 1006
#define IDC_MYDLG_PROGRESS 1007
#define IDC_MYDLG_SLIDER 1008
#define IDC_MYDLG_CHECK 1009
#define IDC_MYDLG_RADIO 1010
#define IDC_MYDLG_GROUP 1011
#define IDC_MYDLG_OWNERDRAW 1012
#define IDC_MYDLG_READONLY 1013
#define IDC_MYDLG_TWOLINES 1014

#define IDC_MYDLG_ID5000 5000
#define IDC_MYDLG_ID5001 5001

#define IDC_MYDLG_CHILD_STATIC 1500
#define IDC_MYDLG_CHILD_EDIT 1501

// Serial choice buttons: one set of six push buttons and a combo box.
#define IDC_MYDLG_SERIAL_FIRST 1100 // port; 1101 baud rate ... 1105 flow control
#define IDC_MYDLG_SERIAL_COMBO 1106
