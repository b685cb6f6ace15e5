// Resource ids of the frame and document tests.
#pragma once
#include "afxres.h"

#define IDR_TESTFRAME 128
#define IDR_NOVIEW 129
#define IDM_POPUP 140

#define ID_FIRST_THING 33001
#define ID_ACCEL_THING 33002
#define ID_VIEW_ONLY 33003
#define ID_DOC_AND_FRAME 33004
#define ID_FRAME_AND_APP 33005
#define ID_APP_ONLY 33006
#define ID_NOBODY 33007
#define ID_CHECKED 33008

#define ID_PANE_NUMBER 34201
