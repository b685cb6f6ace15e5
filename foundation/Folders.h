// Where the programs' files live: the program folder, the per-user data folder
// and fresh temporary files; and the user's Pictures folder.
#pragma once
#include "afx.h"

// The "AppFolder" value of the program's key when set, else the program file's folder.
CString GetProgramFolder();
// Morrowtide\<program> below the roaming application-data folder, created on demand.
CString GetUserDataFolder();
// A new, empty "~Wu" file in the system's temporary folder; empty on failure.
CString CreateTempFileName();
// The user's Pictures folder; empty when the system has none.
CString GetPicturesFolder();

// The maker's word under which both programs keep their settings and data.
extern const wchar_t kMakerName[];
