// The portable part of the class library: strings and collections.
#pragma once
#include "afxplatform.h"
#include "afxstr.h"
#include "afxcoll.h"
