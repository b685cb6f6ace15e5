// Resource ids of the About box and the two update dialogs. The converter and
// the viewer number them differently; web.rc builds the templates of one
// program from these ids (see there), and the C++ code takes the same numbers
// through its program records.
#ifndef RS_WEBRES_H
#define RS_WEBRES_H

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Converter (Reelsmith).
#define IDD_RS_ABOUT 500
#define IDD_RS_UPDATE_PROGRESS 526
#define IDD_RS_UPDATE_AVAILABLE 527
#define IDC_RS_ABOUT_NAME 1052
#define IDC_RS_ABOUT_VERSION 1053
#define IDC_RS_ABOUT_COPYRIGHT 1104
#define IDC_RS_ABOUT_HOME 1004
#define IDC_RS_ABOUT_MAIL 1006
#define IDC_RS_UPDATE_LABEL 1052
#define IDC_RS_UPDATE_NEW_VERSION 1053
#define IDC_RS_UPDATE_LEARN_MORE 1004
#define IDC_RS_UPDATE_AUTO_CHECK 1057
#define IDC_RS_UPDATE_YOUR_VERSION 1109
#define IDC_RS_UPDATE_DESCRIPTION 1062

// Viewer (Glimmerscope).
#define IDD_GS_ABOUT 100
#define IDD_GS_UPDATE_PROGRESS 525
#define IDD_GS_UPDATE_AVAILABLE 527
#define IDC_GS_ABOUT_NAME 1023
#define IDC_GS_ABOUT_VERSION 1027
#define IDC_GS_ABOUT_COPYRIGHT 1025
#define IDC_GS_ABOUT_HOME 1002
#define IDC_GS_ABOUT_MAIL 1004
#define IDC_GS_UPDATE_LABEL 1023
#define IDC_GS_UPDATE_NEW_VERSION 1027
#define IDC_GS_UPDATE_LEARN_MORE 1002
#define IDC_GS_UPDATE_AUTO_CHECK 1000
#define IDC_GS_UPDATE_YOUR_VERSION 1108
#define IDC_GS_UPDATE_DESCRIPTION 1001

// The same in both programs.
#define IDC_WEB_ICON 1200
#define IDC_WEB_PROGRESS 1099
#define IDC_WEB_PROGRESS_CHECK 1100
// The program icon shown in the About box (the main frame's icon).
#define IDI_WEB_PROGRAM 128

#endif
