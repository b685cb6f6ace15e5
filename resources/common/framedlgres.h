// Resource ids that the dialog frame of a program's main window loads.
#pragma once

// The program icon (large and 16 x 16 images).
#define IDR_MAINFRAME 128
