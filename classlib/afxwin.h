// The Windows part of the class library.
#pragma once
#include "afx.h"
#include "afxtypes.h"
#include "afxmsg.h"
#include "afxwnd.h"
#include "afxgdi.h"
#include "afxapp.h"
#include "afxdlg.h"
#include "afxctl.h"
#include "afxfile.h"
#include "afxbar.h"
#include "afxcall.h"
#include "afxframe.h"
