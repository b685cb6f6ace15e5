#include "foundation/web/WebProgram.h"

#include <wininet.h>

#include <vector>

const CWebProgram kConverterWebProgram = {
    L"1.11.0",
    {IDD_RS_ABOUT, IDD_RS_UPDATE_PROGRESS, IDD_RS_UPDATE_AVAILABLE, IDC_RS_ABOUT_NAME, IDC_RS_ABOUT_VERSION,
     IDC_RS_ABOUT_COPYRIGHT, IDC_RS_ABOUT_HOME, IDC_RS_ABOUT_MAIL, IDC_RS_UPDATE_LABEL, IDC_RS_UPDATE_NEW_VERSION,
     IDC_RS_UPDATE_LEARN_MORE, IDC_RS_UPDATE_AUTO_CHECK, IDC_RS_UPDATE_YOUR_VERSION, IDC_RS_UPDATE_DESCRIPTION}};

const CWebProgram kViewerWebProgram = {
    L"0.3.0",
    {IDD_GS_ABOUT, IDD_GS_UPDATE_PROGRESS, IDD_GS_UPDATE_AVAILABLE, IDC_GS_ABOUT_NAME, IDC_GS_ABOUT_VERSION,
     IDC_GS_ABOUT_COPYRIGHT, IDC_GS_ABOUT_HOME, IDC_GS_ABOUT_MAIL, IDC_GS_UPDATE_LABEL, IDC_GS_UPDATE_NEW_VERSION,
     IDC_GS_UPDATE_LEARN_MORE, IDC_GS_UPDATE_AUTO_CHECK, IDC_GS_UPDATE_YOUR_VERSION, IDC_GS_UPDATE_DESCRIPTION}};

const wchar_t kHomePageUrl[] = L"http://www.morrowtide.com";
const wchar_t kProductPageUrl[] = L"http://www.morrowtide.com/reelsmith";
const wchar_t kUpdateInfoUrl[] = L"http://update.morrowtide.com/reelsmith/update.xml";
const wchar_t kSupportMail[] = L"support@morrowtide.com";
const wchar_t kUpdateProduct[] = L"Reelsmith";
const wchar_t kUpdateCurrentVersion[] = L"1.11.0";

namespace {
const CWebProgram* g_program = nullptr;

struct CCrackedUrl {
  INTERNET_SCHEME scheme = INTERNET_SCHEME_UNKNOWN;
  CString host;
};

BOOL Crack(LPCTSTR url, CCrackedUrl& out) {
  if (!url || !*url) return FALSE;
  std::vector<wchar_t> host(4097, L'\0');
  URL_COMPONENTSW parts = {};
  parts.dwStructSize = sizeof(parts);
  parts.lpszHostName = host.data();
  parts.dwHostNameLength = 4096;
  if (!::InternetCrackUrlW(url, 0, 0, &parts)) return FALSE;
  out.scheme = parts.nScheme;
  out.host = host.data();
  return TRUE;
}
}  // namespace

const CWebProgram& GetWebProgram() { return g_program ? *g_program : kConverterWebProgram; }
void SetWebProgram(const CWebProgram* program) { g_program = program; }

BOOL IsWebAddress(LPCTSTR url) {
  CString text(url ? url : L"");
  CString lower = text;
  lower.MakeLower();
  if (lower.Left(7) != L"http://" && lower.Left(8) != L"https://") return FALSE;
  for (int i = 0; i < text.GetLength(); ++i)
    if (text[i] <= L' ') return FALSE;  // no blanks or control characters anywhere
  CCrackedUrl parts;
  if (!Crack(text, parts)) return FALSE;
  return (parts.scheme == INTERNET_SCHEME_HTTP || parts.scheme == INTERNET_SCHEME_HTTPS) && !parts.host.IsEmpty();
}

BOOL IsLoopbackHttpUrl(LPCTSTR url) {
  CCrackedUrl parts;
  if (!IsWebAddress(url) || !Crack(url, parts) || parts.scheme != INTERNET_SCHEME_HTTP) return FALSE;
  return parts.host.CompareNoCase(L"127.0.0.1") == 0 || parts.host.CompareNoCase(L"localhost") == 0;
}

CString GetUpdateInfoUrl() {
  if (CWinApp* app = AfxGetApp()) {
    if (app->m_pszRegistryKey) {
      CString url = app->GetProfileString(L"", L"UpdateInfoURL");
      if (IsLoopbackHttpUrl(url)) return url;
    }
  }
  return kUpdateInfoUrl;
}
