// The run-time binding of the visual-styles library: with Wine's own library,
// with stand-ins that have all or only some of the entries, and without any.
#include <gtest/gtest.h>

#include "foundation/ui/VisualStyle.h"

namespace {
typedef BOOL(WINAPI* BoolProc)();
typedef void (*SetAnswersProc)(BOOL, BOOL);
typedef LONG (*CallsProc)(int);

CString ProgramFolder() {
  WCHAR path[MAX_PATH] = {0};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  CString folder = path;
  return folder.Left(folder.ReverseFind(L'\\'));
}

// Function pointers of other types pass through a plain one.
template <typename T, typename F>
T ProcAs(F p) {
  return reinterpret_cast<T>(reinterpret_cast<void (*)()>(p));
}

FARPROC Sentinel() { return ProcAs<FARPROC>(&ProgramFolder); }

class VisualStyleTest : public ::testing::Test {
 protected:
  void TearDown() override { ResetThemeBindingForTest(nullptr); }
  static HMODULE Loaded(LPCTSTR name) { return ::GetModuleHandleW(name); }
  const CString stubAll = ProgramFolder() + L"\\themestub_all.dll";
  const CString stubPartial = ProgramFolder() + L"\\themestub_partial.dll";
};
}  // namespace

TEST_F(VisualStyleTest, BindsTheSystemLibraryAndAnswersAsItDoes) {
  ResetThemeBindingForTest(nullptr);
  HMODULE system = ::LoadLibraryW(L"uxtheme.dll");
  ASSERT_TRUE(system);
  FARPROC realActive = ::GetProcAddress(system, "IsThemeActive");
  FARPROC realApp = ::GetProcAddress(system, "IsAppThemed");
  ASSERT_TRUE(realActive && realApp);
  EXPECT_EQ(realActive, GetThemeProc("IsThemeActive", Sentinel())) << "the library's entry, not the fallback";
  EXPECT_EQ(nullptr, GetThemeProc("NoSuchEntry", Sentinel()));
  const BOOL expected = ProcAs<BoolProc>(realActive)() && ProcAs<BoolProc>(realApp)();
  EXPECT_EQ(expected != FALSE, IsVisualStyleActive() != FALSE);
  EXPECT_EQ(ProcAs<BoolProc>(realActive)() != FALSE, IsThemeActiveProc() != FALSE);
  EXPECT_EQ(ProcAs<BoolProc>(realApp)() != FALSE, IsAppThemedProc() != FALSE);
  CThemeHandle empty;
  empty.CloseThemeHandle();  // nothing to close, nothing called
  ::FreeLibrary(system);
}

TEST_F(VisualStyleTest, WithoutTheLibraryTheLoadIsTriedOnce) {
  WCHAR temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  CString folder;
  folder.Format(L"%sthemebinding-%lu", temp, ::GetCurrentProcessId());
  ::CreateDirectoryW(folder, nullptr);
  const CString missing = folder + L"\\UxTheme.dll";
  ::DeleteFileW(missing);
  ResetThemeBindingForTest(missing);
  EXPECT_EQ(Sentinel(), GetThemeProc("IsThemeActive", Sentinel()));
  EXPECT_FALSE(IsVisualStyleActive());
  // The library appears afterwards: no second attempt, still the fallbacks.
  ASSERT_TRUE(::CopyFileW(stubAll, missing, FALSE));
  EXPECT_FALSE(IsThemeActiveProc());
  EXPECT_FALSE(IsVisualStyleActive());
  EXPECT_EQ(Sentinel(), GetThemeProc("IsAppThemed", Sentinel()));
  CThemeHandle handle(reinterpret_cast<HTHEME>(0x1234));
  handle.CloseThemeHandle();  // the fallback takes it
  EXPECT_EQ(nullptr, handle.m_hTheme);
  // A fresh binding finds it.
  ResetThemeBindingForTest(missing);
  EXPECT_TRUE(IsVisualStyleActive());
  ResetThemeBindingForTest(nullptr);
  ::DeleteFileW(missing);
  ::RemoveDirectoryW(folder);
}

TEST_F(VisualStyleTest, ALibraryWithoutTheEntriesBehavesLikeTheFallback) {
  ResetThemeBindingForTest(stubPartial);
  EXPECT_EQ(nullptr, Loaded(stubPartial)) << "loaded on first use only";
  EXPECT_EQ(nullptr, GetThemeProc("IsAppThemed", Sentinel())) << "the library's answer: no such entry";
  ASSERT_TRUE(Loaded(stubPartial));
  EXPECT_TRUE(IsThemeActiveProc()) << "the entry it has is used";
  EXPECT_FALSE(IsAppThemedProc()) << "the missing one answers like the fallback";
  EXPECT_FALSE(IsVisualStyleActive());
  CThemeHandle handle(reinterpret_cast<HTHEME>(0x1234));
  handle.CloseThemeHandle();  // no entry: the fallback, no crash
  EXPECT_EQ(nullptr, handle.m_hTheme);
}

TEST_F(VisualStyleTest, AnswersFollowTheLibraryAndCallOnlyWhatIsNeeded) {
  ResetThemeBindingForTest(stubAll);
  GetThemeProc("IsThemeActive", Sentinel());  // loads the library
  HMODULE stub = Loaded(stubAll);
  ASSERT_TRUE(stub);
  auto setAnswers = ProcAs<SetAnswersProc>(::GetProcAddress(stub, "StubSetAnswers"));
  auto calls = ProcAs<CallsProc>(::GetProcAddress(stub, "StubCalls"));
  ASSERT_TRUE(setAnswers && calls);
  setAnswers(TRUE, TRUE);
  EXPECT_TRUE(IsVisualStyleActive());
  setAnswers(TRUE, FALSE);
  EXPECT_FALSE(IsVisualStyleActive()) << "styles off for the program";
  const LONG appCalls = calls(1);
  setAnswers(FALSE, TRUE);
  EXPECT_FALSE(IsVisualStyleActive()) << "styles off for the desktop";
  EXPECT_EQ(appCalls, calls(1)) << "IsAppThemed is not asked when the first answer is no";
  EXPECT_EQ(3, calls(0));
  EXPECT_EQ(0, calls(2)) << "asking never closes a theme handle";

  CThemeHandle handle(reinterpret_cast<HTHEME>(0x1234));
  handle.CloseThemeHandle();
  EXPECT_EQ(1, calls(2));
  EXPECT_EQ(nullptr, handle.m_hTheme);
  handle.CloseThemeHandle();
  EXPECT_EQ(1, calls(2)) << "an empty holder calls nothing";
  { CThemeHandle scoped(reinterpret_cast<HTHEME>(0x5678)); }
  EXPECT_EQ(2, calls(2)) << "released when the holder goes";
}

TEST_F(VisualStyleTest, ABareNameIsNotLoadedFromTheProgramFolder) {
  // A library planted beside the program under the bare name is ignored.
  const CString planted = ProgramFolder() + L"\\uxstub-planted.dll";
  ASSERT_TRUE(::CopyFileW(stubAll, planted, FALSE));
  ResetThemeBindingForTest(L"uxstub-planted.dll");
  EXPECT_FALSE(IsVisualStyleActive());
  EXPECT_EQ(nullptr, Loaded(planted));
  ResetThemeBindingForTest(nullptr);
  ::DeleteFileW(planted);
}
