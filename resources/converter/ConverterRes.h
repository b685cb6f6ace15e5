// Resource ids of the converter: shared by its resource scripts and its code.
#pragma once

// Program icon, main dialog template and the pages' accelerator table.
#define IDR_MAINFRAME 128
#define IDD_CONVERTER_DIALOG 128
#define IDR_PAGE_ACCEL 128

// Dialog templates.
#define IDD_SERIES_PAGE 501
#define IDD_OVERWRITE 505
#define IDD_VIDEO_PAGE 530
#define IDD_VIDEO_OPTIONS 532

// Menus.
#define IDR_MAIN_MENU 200
#define IDR_FRAME_MENU 201
#define IDR_OUTPUT_MENU 202

// Toolbars and their pictures.
#define IDR_MAIN_TOOLBAR 300
#define IDR_SERIES_TOOLBAR 301
#define IDB_MAIN_TOOLBAR 150
#define IDB_SERIES_TOOLBAR 710

// Bitmaps of image lists.
#define IDB_FRAME_BUTTONS 143
#define IDB_FRAME_LABEL 144
#define IDB_TAB_IMAGES 145
#define IDB_SMALL_IMAGES 154
#define IDB_LARGE_IMAGES 707

// Cursors.
#define IDC_HAND_CURSOR 800

// Commands.
#define ID_MAIN_MENU 32778
#define ID_ADD_KEY 32781
#define ID_ADD_FOLDER_KEY 32786
#define ID_EMAIL_US 32814
#define ID_WEB_SITE 32815
#define ID_SELECT_ALL 32830
#define ID_HOW_TO_USE 32831
#define ID_CHECK_UPDATES 32834
#define ID_FRAME_DELETE 32837
#define ID_OPEN_SOURCE_FILE 32838
#define ID_OPEN_SOURCE_FOLDER 32839
#define ID_OPEN_DICOM_FILE 32838
#define ID_OPEN_DESTINATION_FOLDER 32839
#define ID_REMOVE 32840
#define ID_REMOVE_ALL 32841
#define ID_ADD_FOLDER 32842
#define ID_ADD_FILES 32843
#define ID_INSERT_IMAGES 32844
#define ID_INVERT_SELECTION 32850
#define ID_REVERSE_FRAMES 32851
#ifndef ID_APP_ABOUT
#define ID_APP_ABOUT 0xE140
#endif
#ifndef AFX_IDS_APP_TITLE
#define AFX_IDS_APP_TITLE 0xE000
#endif

// Bars of the main dialog and the series page.
#define IDW_MAIN_TOOLBAR 59392
#define IDW_SERIES_TOOLBAR 59393

// Controls shared by both pages.
#define IDC_CONVERT 1000
#define IDC_STOP 1003
#define IDC_CHOOSE_FILE 1023
#define IDC_PLAY 1024
#define IDC_FILE_LABEL 1048
#define IDC_FILE_NAME 1120
#define IDC_FRAME_LIST 1086
#define IDC_STATUS 1098
#define IDC_PROGRESS 1099

// Main dialog.
#define IDC_PAGE_TABS 1110

// Series-to-video page.
#define IDC_FORMAT 1008
#define IDC_OPTIONS 1021
#define IDC_FORMAT_LABEL 1049

// Overwrite prompt.
#define IDC_WARNING_ICON 1002
#define IDC_EXISTS_LABEL 1052
#define IDC_EXISTS_PATH 1025
#define IDC_OVERWRITE 1081
#define IDC_OVERWRITE_ALL 1115

// Video options.
#define IDC_SAME_SIZE 1126
#define IDC_VIDEO_WIDTH 1127
#define IDC_VIDEO_HEIGHT 1128
#define IDC_RATE_LABEL 1089
#define IDC_FPS_LABEL 1136
#define IDC_FRAME_RATE 1139
#define IDC_SIZE_LABEL 1140
#define IDC_TIMES_LABEL 1141
#define IDC_SIZE_HINT 1142

// Video-to-DICOM page.
#define IDC_FOLDER_LABEL 1047
#define IDC_OUTPUT_FOLDER 1121
#define IDC_CHOOSE_FOLDER 1122
#define IDC_OPEN_FOLDER 1123
#define IDC_START_TIME 1145
#define IDC_END_TIME 1147
#define IDC_PART_ONLY 1148
#define IDC_START_LABEL 1149
#define IDC_END_LABEL 1150
