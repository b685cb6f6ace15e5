#include <gtest/gtest.h>

#include "afxwin.h"

namespace {
class TestApp : public CWinApp {
 public:
  TestApp() : CWinApp(L"ClasslibTest") {}
};
}  // namespace

TEST(Profile, RoundTripsNestedSectionsAndDeletes) {
  TestApp app;
  app.SetRegistryKey(L"MorrowtideTest");
  EXPECT_EQ(7u, app.GetProfileInt(L"Settings", L"Missing", 7));
  EXPECT_TRUE(app.WriteProfileInt(L"Settings", L"Number", -3));
  EXPECT_EQ((UINT)-3, app.GetProfileInt(L"Settings", L"Number", 0));
  EXPECT_TRUE(app.WriteProfileString(L"Recent\\Files", L"File01", L"C:\\a b\\c.dcm"));
  EXPECT_STREQ(L"C:\\a b\\c.dcm", app.GetProfileString(L"Recent\\Files", L"File01"));
  EXPECT_TRUE(app.WriteProfileString(L"", L"AppFolder", L"X:\\nowhere"));
  EXPECT_STREQ(L"X:\\nowhere", app.GetProfileString(L"", L"AppFolder"));
  // A string read as a number gives the default.
  EXPECT_EQ(5u, app.GetProfileInt(L"Recent\\Files", L"File01", 5));
  EXPECT_TRUE(app.WriteProfileString(L"", L"AppFolder", nullptr));
  EXPECT_STREQ(L"dflt", app.GetProfileString(L"", L"AppFolder", L"dflt"));
  EXPECT_TRUE(app.WriteProfileString(L"Recent", nullptr, nullptr));
  HKEY key = nullptr;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND,
            RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\MorrowtideTest\\ClasslibTest\\Recent", 0, KEY_READ, &key));
  EXPECT_STREQ(L"", app.GetProfileString(L"Recent\\Files", L"File01"));
  app.WriteProfileString(L"Settings", nullptr, nullptr);
}

TEST(MessageBoxHook, HandlerAnswersWithoutWindow) {
  CString seen;
  AfxSetMessageBoxHandler([&](LPCTSTR text, UINT type) {
    seen = text;
    return (type & MB_YESNO) ? IDNO : IDOK;
  });
  EXPECT_EQ(IDNO, AfxMessageBox(L"Overwrite?", MB_YESNO));
  EXPECT_STREQ(L"Overwrite?", seen);
  TestApp app;
  EXPECT_EQ(IDOK, AfxMessageBox(L"Done"));
  AfxSetMessageBoxHandler(nullptr);
}
