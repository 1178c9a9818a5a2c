// Resource and command identifiers of Pagewren, grouped by kind.
// This header is read by both the C++ compiler and the resource compiler.
#pragma once

// Strings
#define IDS_APP_TITLE            103
#define IDS_TIP_SIGNED_IN        104
#define IDS_APPDATA_FOLDER       105
#define IDS_CONFIG_FILE          106
#define IDS_SERVER_ERROR_FMT     107
#define IDS_TIP_NOT_SIGNED_IN    108
#define IDS_WINDOW_CLASS         109
#define IDS_SIGN_IN_FAILED       110
#define IDS_UNKNOWN_ERROR        111
#define IDS_CONNECT_FAILED       112
#define IDS_INVALID_RESPONSE     113
#define IDS_TIP_SIGNING_IN       114
#define IDS_CONNECTION_LOST      115
#define IDS_INVALID_RESPONSE_2   116
#define IDS_TIP_ERROR            117
#define IDS_INTERNAL_ERROR       118
#define IDS_SERVER_ERROR         119
#define IDS_TIMESTAMP_ERROR      120
#define IDS_BAD_CREDENTIALS      121
#define IDS_EMAIL_REQUIRED       122
#define IDS_TIP_RECONNECTING     123
#define IDS_IDENTITY_UNVERIFIED  124
#define IDS_SETTINGS_KEPT        125
#define IDS_SETTINGS_NOT_KEPT    126
#define IDS_RECONNECTING         130
#define IDS_PROXY_SIGN_IN        131

// Icons
#define IDI_TRAY_SIGNED_IN       107
#define IDI_SMALL                108
#define IDI_TRAY_SIGNED_OUT      134
#define IDI_TRAY_ERROR           137

// Bitmaps
#define IDB_BANNER               142
#define IDB_BANNER_2X            143

// Dialogs
#define IDD_ABOUTBOX             103
#define IDD_SIGNIN               139

// Menus and accelerators
#define IDR_MAIN                 109
#define IDR_TRAY_SIGNED_IN       129
#define IDR_TRAY_SIGNED_OUT      131

// Commands
#define ID_VIEW_ALL_PAGES        0
#define IDM_ABOUT                104
#define IDM_EXIT                 105
#define ID_OPEN_CURRENT_PAGE     32773
#define ID_SIGN_IN               32778
#define ID_SIGN_OUT              32779

// Controls of the sign-in dialog
#define IDC_EMAIL                1010
#define IDC_PASSWORD             1011
#define IDC_REMEMBER             1012
#define IDC_HEADING              1014
#define IDC_EMAIL_LABEL          1015
#define IDC_PASSWORD_LABEL       1016
#define IDC_TITLE                1017
#define IDC_SUBTITLE             1018
#define IDC_FORGOT_LINK          1019
#define IDC_SIGNUP_PROMPT        1020
#define IDC_SIGNUP_LINK          1021
#define IDC_SIGNUP_TAIL          1022
#define IDC_ERROR_LABEL          1023
#define IDC_SIGN_IN_AUTOMATICALLY 1024

// Timers
#define IDT_REFRESH              1977
#define IDT_RETRY                1978
#define IDT_TRAY_RETRY           1979
