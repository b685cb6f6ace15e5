// Resource ids shared by the class-library tests and their resource script.
#pragma once

#define IDD_DATA 200
#define IDD_IDLE 201
#define IDD_PAGE 202
#define IDD_ROUTE 203

#define IDC_NAME 1001
#define IDC_COUNT 1002
#define IDC_FLAG 1003
#define IDC_LIST 1004
#define IDC_CHOICE 1005
#define IDC_EXLIST 1006
#define IDC_EXEDIT 1007
#define IDC_OWNERDRAW 1008
#define IDC_PROBE 1010
#define IDC_NOHANDLER 1011
#define IDC_DISABLEME 1012
#define IDC_PAGEBUTTON 1013
#define IDC_EDIT 1014

#define IDS_TIP 3001
