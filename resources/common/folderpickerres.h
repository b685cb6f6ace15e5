// Resource ids of the folder picker and the busy cursor of its folder tree.
#pragma once

#define IDD_FOLDER_PICKER 509
#define IDC_FOLDER_PICKER_TREE 1017
#define IDC_FOLDER_PICKER_FILTER 1018
#define IDC_FOLDER_PICKER_SCAN 1025
#define IDC_FOLDER_PICKER_FILTER_LABEL 1028
#define IDC_FOLDER_PICKER_PRESETS 1032
#define IDC_FOLDER_PICKER_PROMPT 1052

// Animated cursor (resource type 21), ten frames.
#define IDR_BUSY_CURSOR 801
