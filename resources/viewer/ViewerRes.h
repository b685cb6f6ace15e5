// Resource ids of the viewer, shared by its resource script and its code.
#pragma once
#include "afxres.h"

// Frame: menu, accelerators, icon and document string.
#define IDR_MAINFRAME 128
#define IDI_DOCUMENT 129
#define IDR_PLAYMENU 159
#define IDB_SIZEGRIP 181
#define IDC_HANDCURSOR 401

// Pictures of the idle view's buttons (resource type "PNG").
#define IDP_OPENFILES_HOVER 155
#define IDP_OPENFILES 156
#define IDP_OPENFOLDER_HOVER 910
#define IDP_OPENFOLDER 911

// Commands.
#define ID_PREVIOUS_FRAME 32774
#define ID_NEXT_FRAME 32777
#define ID_VIEW_FULLSCREEN 32782
#define ID_TOOLS_SETTINGS 32803
#define ID_FILE_PREVIOUS 32818
#define ID_FILE_NEXT 32820
#define ID_HELP_EMAIL 32823
#define ID_HELP_WEBSITE 32826
#define ID_FILE_OPENFOLDER 32827
#define ID_EDIT_SNAPSHOT 32830
#define ID_VIEW_RESETALL 32832
#define ID_VIEW_RESETWL 32833
#define ID_VIEW_RESETCAMERA 32834
#define ID_FILE_OPENFILES 32835
#define ID_HELP_CHECKUPDATES 32836
#define ID_RECENT_CLEAR 40000
#define ID_RECENT_FIRST 40001
#define ID_RECENT_LAST 40100

// System-menu command of the frame.
#define IDM_ALWAYSONTOP 16

// Status bar panes.
#define ID_INDICATOR_FRAME 34001
#define ID_INDICATOR_FILENAME 34002

// Settings dialog.
#define IDD_SETTINGS 531
#define IDC_SHOW_CONTROL_BARS 1005
#define IDC_AUTO_CHECK_UPDATE 1010
#define IDC_FILE_TYPES 1011
