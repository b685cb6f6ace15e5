// The series-to-video page in a host window, with the program's resources,
// settings and image library as the application would publish them, and
// helpers that act as the user: commands, clicks, drops, answered dialogs.
#pragma once
#include <gtest/gtest.h>

#include <shlobj.h>

#include <map>
#include <memory>
#include <vector>

#include <atomic>

#include "converter/app/ConverterGlobals.h"
#include "interfaces/ToolContract.h"
#include "resources/converter/ConverterRes.h"
#include "converter/app/ConverterResources.h"
#include "converter/app/ConverterSettings.h"
#include "tests/converter/support/ConverterTestApp.h"
#include "tests/converter/support/DialogAnswerer.h"
#include "foundation/Folders.h"
#include "imaging/library/ImageLibrary.h"
#include "tests/converter/support/MenuReader.h"
#include "tests/converter/support/PageHost.h"
#include "tests/converter/support/ScriptedDialog.h"
#include "tests/converter/jobs/SeriesTestData.h"
#include "converter/pages/SeriesToVideoPage.h"
#include "tests/support/ShellRecorder.h"
#include "tests/support/UiTestSupport.h"
#include "converter/jobs/WorkFolders.h"

inline CString PageOut(LPCTSTR name) { return BuildTreePath(CString(L"testdata\\series-page-out\\") + name); }

// What the judge script must find in a video the page wrote.
inline void ExpectVideo(LPCTSTR name, int frames, int w, int h, LPCTSTR rate, LPCTSTR codec) {
  FILE* f = _wfopen(PageOut(L"expect.txt"), L"a");
  ASSERT_NE(nullptr, f);
  fwprintf(f, L"%ls %d %d %d %ls %ls\n", name, frames, w, h, rate, codec);
  fclose(f);
}

// Types into the explorer file dialog's name field and presses OK.
inline void AnswerFileDialog(HWND frame, LPCTSTR text) {
  HWND field = ::GetDlgItem(frame, cmb13);
  if (field) {
    if (HWND edit = ::FindWindowExW(field, nullptr, L"Edit", nullptr))
      field = edit;
    else if (HWND ex = (HWND)::SendMessageW(field, CBEM_GETEDITCONTROL, 0, 0))
      field = ex;
  } else {
    field = ::GetDlgItem(frame, edt1);
  }
  ::SendMessageW(field, WM_SETTEXT, 0, (LPARAM)L"");
  for (LPCTSTR p = text; *p; ++p) ::SendMessageW(field, WM_CHAR, *p, 1);
  CDialogAnswerer::Press(frame, IDOK);
}

// The page as the program has it, counting the encoder's progress records.
class CCountingSeriesPage : public CSeriesToVideoPage {
 public:
  std::atomic<int> m_nProgressRecords{0};

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_COPYDATA && lParam && reinterpret_cast<COPYDATASTRUCT*>(lParam)->dwData == TOOL_CALLBACK_ID)
      ++m_nProgressRecords;
    return CSeriesToVideoPage::WindowProc(message, wParam, lParam);
  }
};

class SeriesPage : public ::testing::Test {
 protected:
  void SetUp() override {
    static CString temp = UsePrivateTempFolder(L"series page temp");
    m_app.WriteProfileString(L"", L"AppFolder", BuildTreePath(L"bin"));
    ASSERT_EQ(0, m_res.Init());
    m_settings.Load();
    ASSERT_EQ(0, m_library.Load(QuillfenPath()));
    SetConverterGlobals(&m_res, &m_settings, &m_library);
    // As the program does at exit: no work folders of earlier runs.
    DeleteTempWorkFolder();
    ::CreateDirectoryW(BuildTreePath(L"testdata\\series-page-out"), nullptr);

    ASSERT_TRUE(m_host.CreateHost(1000, 640));
    m_page.reset(new CCountingSeriesPage);
    ASSERT_TRUE(m_page->Create(IDD_SERIES_PAGE, &m_host));
    m_host.Fit(*m_page);
    Idle();
  }
  void TearDown() override {
    PumpUntil([&] { return !m_page->IsLoading() && !m_page->IsConverting(); }, 60000);
    m_page->DestroyWindow();
    m_page.reset();
    m_host.DestroyWindow();
    AfxSetMessageBoxHandler(nullptr);
    SetConverterGlobals(nullptr, nullptr, nullptr);
  }

  // What the main dialog does at idle: command states of every control and bar.
  void Idle() {
    m_host.SendMessageToDescendants(WM_IDLEUPDATECMDUI, TRUE, 0, TRUE, TRUE);
    PumpPending();
  }
  void Command(UINT id) { m_page->SendMessage(WM_COMMAND, id, 0); }
  void Click(int id) { ::SendMessageW(Item(id), BM_CLICK, 0, 0); }
  HWND Item(int id) { return ::GetDlgItem(m_page->m_hWnd, id); }
  CFrameStripCtrl& Strip() { return m_page->m_wndStrip; }
  bool WaitLoaded() {
    return PumpUntil([&] { return !m_page->IsLoading(); }, 60000);
  }
  bool WaitConverted() {
    return PumpUntil([&] { return !m_page->IsConverting(); }, 120000);
  }

  // Waits for the encoder's first progress record: the encoder then waits
  // for the answer to its next one, which this thread gives only when it
  // takes messages again.
  bool WaitEncoding() {
    m_page->m_nProgressRecords = 0;
    return TakeSentUntil([&] { return m_page->m_nProgressRecords > 0 || !m_page->IsConverting(); }, 120000) &&
           m_page->IsConverting();
  }
  // Applies what the worker asked the page to show so far; the status line's
  // text before and after (only the latest text a worker set is kept).
  std::vector<CString> TakeStatusTexts() {
    std::vector<CString> texts{m_page->GetStatusText()};
    m_page->RunQueuedCalls();
    texts.push_back(m_page->GetStatusText());
    return texts;
  }
  // A picture of the host without taking any other message.
  CWindowShot HeldShot() {
    ::RedrawWindow(m_host.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    return CaptureWindow(m_host.m_hWnd, true);
  }
  // Takes only the messages other threads send (the encoder's progress), one
  // at a time, and the calls the worker made on the page, until pred is true.
  bool TakeSentUntil(const std::function<bool()>& pred, DWORD timeoutMs = 60000) {
    const DWORD start = ::GetTickCount();
    while (!pred()) {
      if (::GetTickCount() - start > timeoutMs) return false;
      ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_SENDMESSAGE);
      MSG msg;
      ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
      m_page->RunQueuedCalls();
    }
    return true;
  }

  // The drop of some paths, as the shell hands it over.
  void Drop(const std::vector<CString>& paths) {
    size_t chars = 1;
    for (const CString& p : paths) chars += p.GetLength() + 1;
    HGLOBAL mem = ::GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
    DROPFILES* df = (DROPFILES*)::GlobalLock(mem);
    df->pFiles = sizeof(DROPFILES);
    df->fWide = TRUE;
    wchar_t* out = (wchar_t*)(df + 1);
    for (const CString& p : paths) {
      wcscpy(out, p);
      out += p.GetLength() + 1;
    }
    ::GlobalUnlock(mem);
    m_page->SendMessage(WM_DROPFILES, (WPARAM)mem, 0);
  }

  // The toolbar's buttons, as the control shows them.
  bool ToolEnabled(UINT id) { return m_page->m_wndToolBar.SendMessage(TB_ISBUTTONENABLED, id) != 0; }
  bool Enabled(int id) { return ::IsWindowEnabled(Item(id)) != FALSE; }
  bool Visible(int id) { return ::IsWindowVisible(Item(id)) != FALSE; }

  // Opens the frame strip's context menu from the keyboard and reads it.
  std::map<UINT, bool> MenuStates(RECT* where = nullptr, UINT* def = nullptr) {
    CMenuReader reader(m_page->m_hWnd);
    m_page->SendMessage(WM_CONTEXTMENU, (WPARAM)Strip().m_hWnd, MAKELPARAM(-1, -1));
    PumpUntil([&] { return reader.seen.load(); }, 10000);
    PumpPending();
    if (where) *where = reader.where;
    if (def) *def = reader.defaultItem;
    return reader.states;
  }

  // Loads the test slices folder through a drop.
  void DropSlices() {
    Drop({SeriesData(L"slices")});
    ASSERT_TRUE(WaitLoaded());
    ASSERT_EQ(40, Strip().GetItemCount());
  }

  // Runs Convert with the Save dialog answered by path; other dialogs by the caller.
  void ConvertTo(const CString& path) {
    CDialogAnswerer save(L"Save Video File As", [&](HWND frame) { AnswerFileDialog(frame, path); });
    Click(IDC_CONVERT);
    ASSERT_TRUE(WaitConverted());
    EXPECT_EQ(1, save.Answered());
  }

  CConverterTestApp m_app{L"SeriesPageTest"};
  CConverterResources m_res;
  CConverterSettings m_settings;
  CImageLibrary m_library;
  CPageHostWnd m_host;
  std::unique_ptr<CCountingSeriesPage> m_page;
  CShellRecorder m_shell;
};
