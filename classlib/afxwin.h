// The Windows part of the class library.
#pragma once
#include "afx.h"
#include "afxapp.h"
#include "afxfile.h"
