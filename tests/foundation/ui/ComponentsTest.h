// Resource ids of the window-component tests and their resource script.
#pragma once

#define IDD_LISTHOST 300
#define IDD_STRIPHOST 301

#define IDC_REPORT 1086
#define IDC_TABS 1110
#define IDC_FORMATS 1008
#define IDC_BEFORE 1201
#define IDC_AFTER 1202
#define IDC_FORMATS_OFF 1203

#define IDB_TABARROWS 320
