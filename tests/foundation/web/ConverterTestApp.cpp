// The converter's program object for the dialog tests: its name is the
// caption the dialogs show; settings go to a test key of the private prefix.
#include <gtest/gtest.h>

#include "afxwin.h"

#include <commctrl.h>

namespace {
class CTestApp : public CWinApp {
 public:
  CTestApp() : CWinApp(L"Reelsmith") {}
};
CTestApp theApp;

class CDialogEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);
    theApp.SetRegistryKey(L"MorrowtideWebTest");
  }
};
const auto* g_env = ::testing::AddGlobalTestEnvironment(new CDialogEnvironment);
}  // namespace
