// Resource ids of the control-bar tests.
#pragma once

#define IDD_HOST 300
#define IDD_CHILDPAGE 301
#define IDT_WINDRES 310  // toolbar written with the TOOLBAR statement, with its bitmap
#define IDT_WORDS 311    // toolbar in the 16-bit layout, no bitmap of its own
#define IDT_BROKEN 312   // a toolbar resource that lies about its length
#define IDB_STRIP 320

#define ID_CMD_RED 32901
#define ID_CMD_GREEN 32902
#define ID_CMD_BLUE 32903
#define ID_CMD_YELLOW 32904

#define ID_PANE_ONE 34101
#define ID_PANE_TWO 34102
#define ID_PANE_NOSTRING 34109
