#pragma once
// Resource ids shared by the resource script and the code.

#define IDS_MENU_TEXT 101
#define IDS_STATUS_TEXT 102
#define IDS_PLUGIN_NAME 103
#define IDS_VERSION_TEXT 104
#define IDS_PROFILE_SECTION 105
#define IDS_DELAY_NOT_A_NUMBER 106
#define IDS_DIALOG_NOTE 107

#define IDB_TOOLBAR 102
#define IDD_PROPERTIES 105

#define IDC_MOUSE_CANCEL 1017
#define IDC_UP_LINES 1018
#define IDC_DOWN_LINES 1019
#define IDC_DELAY 1021
#define IDC_DELAY_SPIN 1022
#define IDC_RESTORE_DEFAULT 1023
#define IDC_NOTE 1024
