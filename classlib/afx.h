// The portable part of the class library: run-time classes, strings and collections.
#pragma once
#include "afxplatform.h"
#include "afxobj.h"
#include "afxstr.h"
#include "afxcoll.h"
