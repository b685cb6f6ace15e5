// Start-ups that cannot go on: the image library missing from the program
// folder, and a library whose initialisation refuses. The program ends (after
// the system's message in the first case, silently in the second) and leaves
// the user's settings and recent lists exactly as they were.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/converter/program/ProgramDriver.h"

using namespace program;

namespace {
const CString kOutFiles = CString(kProgramKey) + L"\\Recent\\OutFiles";
const CString kInFiles = CString(kProgramKey) + L"\\Recent\\InFiles";
const CString kOutFolders = CString(kProgramKey) + L"\\Recent\\OutFolders";

// Settings a user might have, none of them the defaults, with values the
// program would write back differently (5 for a switch, a rate of 0/7).
void SeedUserSettings() {
  WriteDword(kSettingsKey, L"AlwaysOnTop", 5);
  WriteDword(kSettingsKey, L"Page", 1);
  WriteDword(kSettingsKey, L"VideoFormat", 4);
  WriteDword(kSettingsKey, L"FilterIndex", 2);
  WriteString(kSettingsKey, L"LastFolder1", L"C:\\scans\\knee");
  WriteString(kSettingsKey, L"LastFolder2", L"C:\\scans");
  WriteDword(kSettingsKey, L"ScanSubfolders", 1);
  WriteString(kSettingsKey, L"LastFilter", L"*.dcm");
  WriteDword(kSettingsKey, L"AutoCheckUpdate", 0);
  WriteDword(kSettingsKey, L"AutoCheckUpdate.Every", 30);
  WriteDword(kSettingsKey, L"FrameRate.num", 0);
  WriteDword(kSettingsKey, L"FrameRate.den", 7);
  WriteString(kOutFiles, L"01", L"C:\\videos\\heart.mp4");
  WriteString(kOutFiles, L"02", L"C:\\videos\\knee.avi");
  WriteString(kInFiles, L"01", L"C:\\videos\\scope.mp4");
  // Empty: the program would put the Pictures folder in.
  ::SHDeleteKeyW(HKEY_CURRENT_USER, kOutFolders);
}

// A folder standing in for the program folder ("AppFolder"), with only the
// files given.
CString MakeProgramFolder(LPCTSTR name) {
  CString folder = BuildTreePath(L"testdata\\program\\") + name;
  ::SHCreateDirectoryExW(nullptr, folder, nullptr);
  for (const CString& file : ListFolder(folder)) ::DeleteFileW(folder + L"\\" + file);
  return folder;
}

CString Trimmed(CString text) {
  text.Trim();
  return text;
}

class Startup : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteKeyTree(kProgramKey);
    SeedUserSettings();
  }
  void TearDown() override {
    m_program.Kill();
    DeleteKeyTree(kProgramKey);
  }

  // Runs the program to its end, answering every message box with OK; the
  // texts of the boxes seen, and whether any other window appeared.
  bool RunToEnd(std::vector<CString>& boxes, bool& otherWindow) {
    if (!m_program.Start()) return false;
    std::vector<HWND> answered;
    otherWindow = false;
    bool ended = WaitFor(
        [&] {
          for (HWND hwnd : m_program.Windows()) {
            if (std::find(answered.begin(), answered.end(), hwnd) != answered.end()) continue;
            if (ClassOf(hwnd) != L"#32770" || ::GetDlgItem(hwnd, 1110)) {
              otherWindow = true;
              continue;
            }
            answered.push_back(hwnd);
            boxes.push_back(MessageBoxText(hwnd));
            HWND ok = ::GetDlgItem(hwnd, IDOK);
            ::PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)ok);
          }
          return !m_program.IsRunning();
        },
        60000);
    return ended;
  }

  CProgram m_program;
};
}  // namespace

TEST_F(Startup, MissingLibraryShowsTheSystemsMessageOnceAndKeepsTheSettings) {
  CString folder = MakeProgramFolder(L"no-library");
  WriteString(kProgramKey, L"AppFolder", folder);
  const KeySnapshot before = Snapshot(kProgramKey);

  std::vector<CString> boxes;
  bool otherWindow = false;
  ASSERT_TRUE(RunToEnd(boxes, otherWindow)) << "the program did not end";
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_FALSE(otherWindow);
  // The system's own text for a library that is not there.
  LPWSTR text = nullptr;
  ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, ERROR_MOD_NOT_FOUND,
                   MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), (LPWSTR)&text, 0, nullptr);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(Trimmed(boxes[0]), Trimmed(text));
  ::LocalFree(text);

  EXPECT_TRUE(Snapshot(kProgramKey) == before) << "the settings changed";
}

TEST_F(Startup, RefusingLibraryEndsQuietlyAndKeepsTheSettings) {
  CString folder = MakeProgramFolder(L"refusing-library");
  ASSERT_TRUE(::CopyFileW(BuildTreePath(L"testbin\\refusing_library.dll"), folder + L"\\Quillfen.dll", FALSE));
  WriteString(kProgramKey, L"AppFolder", folder);
  const CString log = folder + L"\\calls.txt";
  ::SetEnvironmentVariableW(L"RS_LIBRARY_LOG", log);
  const KeySnapshot before = Snapshot(kProgramKey);

  std::vector<CString> boxes;
  bool otherWindow = false;
  ASSERT_TRUE(RunToEnd(boxes, otherWindow)) << "the program did not end";
  ::SetEnvironmentVariableW(L"RS_LIBRARY_LOG", nullptr);
  EXPECT_TRUE(boxes.empty());
  EXPECT_FALSE(otherWindow);
  // The library was asked once and released once before it was unloaded.
  std::ifstream in(CStringA(log).GetString());
  std::string calls((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(calls, "initialize\nrelease\n");

  EXPECT_TRUE(Snapshot(kProgramKey) == before) << "the settings changed";
}

TEST_F(Startup, NormalStartAndCloseWritesTheSettingsBack) {
  // The same seed through a start that succeeds: the program does write, so
  // the two cases above prove something.
  const KeySnapshot before = Snapshot(kProgramKey);
  ASSERT_TRUE(m_program.Start());
  HWND main = m_program.WaitMainWindow();
  ASSERT_NE(main, nullptr);
  ::PostMessageW(main, WM_CLOSE, 0, 0);
  ASSERT_TRUE(m_program.WaitExit(60000));
  EXPECT_FALSE(Snapshot(kProgramKey) == before);
  EXPECT_EQ(ReadDword(kSettingsKey, L"AlwaysOnTop"), 1);
  EXPECT_EQ(ReadDword(kSettingsKey, L"FrameRate.den"), 0);
  EXPECT_FALSE(ReadString(kOutFolders, L"01").IsEmpty());
  EXPECT_EQ(ReadString(kOutFiles, L"02"), L"C:\\videos\\knee.avi");
}
