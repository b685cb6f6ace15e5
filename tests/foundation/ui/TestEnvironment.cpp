// Common controls (version 6 through the manifest) for every test program here.
#include <gtest/gtest.h>

#include "afxwin.h"

namespace {
class CommonControls : public ::testing::Environment {
 public:
  void SetUp() override {
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_USEREX_CLASSES};
    ::InitCommonControlsEx(&icc);
  }
};
const ::testing::Environment* const g_env = ::testing::AddGlobalTestEnvironment(new CommonControls);
}  // namespace
