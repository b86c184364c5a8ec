#pragma once
// Resource and control ids of the tool's windows. Shared by the resource scripts and the code,
// so only preprocessor definitions live here.

// Dialog templates
#define IDD_ABOUTBOX 100
#define IDD_LARKVANE_DIALOG 102
#define IDD_DEVICESET_DIALOG 103
#define IDD_GROUPSET_DIALOG 104
#define IDD_SEARCHON_DIALOG 105

// Icons, bitmaps, strings
#define IDR_MAINFRAME 128
#define IDB_CAMERA_IMAGES 130
#define IDS_ABOUTBOX 101
#define IDS_SOCKETS_INIT_FAILED 103

// The about box's system-menu command
#define IDM_ABOUTBOX 0x0010

// Main window (template 102)
#define IDC_MAIN_LIST 1038
#define IDC_MAIN_COUNT_CAPTION 1039
#define IDC_MAIN_COUNT 1054
#define IDC_MAIN_SINGLE 1006
#define IDC_MAIN_ADDRESS_CAPTION 1040
#define IDC_MAIN_ADDRESSES 1024
#define IDC_MAIN_ONTOP 1016
#define IDC_MAIN_RESCAN 1007
#define IDC_MAIN_GROUP 1001
#define IDC_MAIN_BROWSE 1002
#define IDC_MAIN_LANG_CAPTION 1041
#define IDC_MAIN_LANG 1019
// Not a control: asks the listed cameras again without clearing the list (the change checks'
// follow-up requests).
#define IDC_MAIN_REFRESH 32790

// The camera list's right-click menu.
#define IDM_LIST_COPY 32801
#define IDM_LIST_EXPORT 32802
#define IDM_LIST_BROWSE 32803
#define IDM_LIST_SINGLE 32804
// Sort by column n: IDM_LIST_SORT + n (the headings' clicks, for the keyboard).
#define IDM_LIST_SORT 32810
// Turns the listing of other makers' devices (WS-Discovery) on and off.
#define IDM_LIST_ONVIF 32805
// Opens the folder of the change log.
#define IDM_LIST_LOG_FOLDER 32806
// Chooses the local addresses discovery searches from.
#define IDM_LIST_SEARCH_ON 32807

// "Search on..." (template 105)
#define IDC_SEARCH_NOTE 1200
#define IDC_SEARCH_LIST 1201

// Settings dialogs (templates 103 and 104)
#include "SettingsIds.h"
