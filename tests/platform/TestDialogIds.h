#pragma once
// Resource ids of the platform tests' dialog templates and strings.

#define IDD_PLATFORM_TEST 200
#define IDD_PLATFORM_SMALL 201
#define IDD_PLATFORM_MISSING 299

#define IDC_TEST_EDIT 1001
#define IDC_TEST_COMBO 1002
#define IDC_TEST_LIST 1003
#define IDC_TEST_OWNERDRAW 1004
#define IDC_TEST_LISTBOX 1005
#define IDC_TEST_SLIDER 1006
#define IDC_TEST_PROGRESS 1007
#define IDC_TEST_STATIC 1008

#define IDS_TEST_PROMPT 300
