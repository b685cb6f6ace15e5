// What the About box and the update dialogs take from the program they run
// in: the template and control ids of its resource script (the two programs
// number them differently, see resources/common/webres.h) and its version
// text; and the maker's fixed web addresses.
#pragma once
#include "afxwin.h"
#include "resources/common/webres.h"

struct CWebDialogIds {
  UINT about;
  UINT updateProgress;
  UINT updateAvailable;
  UINT aboutName;
  UINT aboutVersion;
  UINT aboutCopyright;
  UINT aboutHome;
  UINT aboutMail;
  UINT updateLabel;
  UINT updateNewVersion;
  UINT updateLearnMore;
  UINT updateAutoCheck;
  UINT updateYourVersion;
  UINT updateDescription;
};

struct CWebProgram {
  LPCTSTR versionText;  // shown in the About box and the support mail's subject
  CWebDialogIds ids;
};

extern const CWebProgram kConverterWebProgram;
extern const CWebProgram kViewerWebProgram;

// Each program publishes its record at start-up; without one the converter's applies.
const CWebProgram& GetWebProgram();
void SetWebProgram(const CWebProgram* program);

// The maker's addresses.
extern const wchar_t kHomePageUrl[];
extern const wchar_t kProductPageUrl[];
extern const wchar_t kUpdateInfoUrl[];
extern const wchar_t kSupportMail[];
// The update check reports on the converter's releases in both programs.
extern const wchar_t kUpdateProduct[];
extern const wchar_t kUpdateCurrentVersion[];

// The address of the update information: kUpdateInfoUrl, unless the string
// value "UpdateInfoURL" directly under the program's registry key names a
// plain-HTTP address on this machine (127.0.0.1 or localhost). Only tests set
// it; an address anywhere else is ignored.
CString GetUpdateInfoUrl();
// The loopback rule of GetUpdateInfoUrl.
BOOL IsLoopbackHttpUrl(LPCTSTR url);
// An absolute http:// or https:// address with a host, as the system's URL
// parser reads it. Nothing else is ever opened from the update information.
BOOL IsWebAddress(LPCTSTR url);
