// File-type associations in the (private) registry: taking a type over from
// another program and giving it back, types never owned, types owned without
// a backup, what else the extension key holds, a failed registration,
// re-checking and the backup's life; bottom-up deletion; and the Settings
// dialog that sets them and tells the shell.
#include <gtest/gtest.h>
#include <shlobj.h>

#include "viewer/FileAssociation.h"
#include "tests/support/UiTestSupport.h"
#include "tests/viewer/app/ViewerAppTestSupport.h"
#include "viewer/ViewerSettingsDlg.h"
#include "tests/viewer/ViewerTestSupport.h"

namespace {
const wchar_t kClasses[] = L"Software\\Classes\\";
const wchar_t kFileTypes[] = L"Software\\Morrowtide\\Glimmerscope\\FileTypes\\";
const wchar_t kMissing[] = L"<missing>";

CString Value(LPCTSTR key) {
  wchar_t buf[1024] = {};
  LONG size = sizeof(buf);
  if (::RegQueryValueW(HKEY_CURRENT_USER, CString(kClasses) + key, buf, &size) != ERROR_SUCCESS) return kMissing;
  return buf;
}

void SetValue(LPCTSTR key, LPCTSTR value) {
  ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueW(HKEY_CURRENT_USER, CString(kClasses) + key, REG_SZ, value,
                                          (DWORD)((wcslen(value) + 1) * sizeof(wchar_t))));
}

void SetNamedValue(LPCTSTR key, LPCTSTR name, LPCTSTR value) {
  ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeyValueW(HKEY_CURRENT_USER, CString(kClasses) + key, name, REG_SZ, value,
                                             (DWORD)((wcslen(value) + 1) * sizeof(wchar_t))));
}

CString NamedValue(LPCTSTR key, LPCTSTR name) {
  wchar_t buf[1024] = {};
  DWORD size = sizeof(buf);
  if (::RegGetValueW(HKEY_CURRENT_USER, CString(kClasses) + key, name, RRF_RT_REG_SZ, nullptr, buf, &size))
    return kMissing;
  return buf;
}

// RegQueryValueW answers an empty text for a key without one; this tells them apart.
bool HasDefaultValue(LPCTSTR key) {
  DWORD size = 0;
  return ::RegGetValueW(HKEY_CURRENT_USER, CString(kClasses) + key, nullptr, RRF_RT_ANY, nullptr, nullptr, &size) ==
         ERROR_SUCCESS;
}

bool KeyExists(LPCTSTR key) {
  HKEY h = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, CString(kClasses) + key, 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
  ::RegCloseKey(h);
  return true;
}

void DeleteTree(LPCTSTR key) {
  ::RegDeleteTreeW(HKEY_CURRENT_USER, CString(kClasses) + key);
  ::RegDeleteKeyW(HKEY_CURRENT_USER, CString(kClasses) + key);
}

CString Backup(LPCTSTR ext) {
  wchar_t buf[1024] = {};
  DWORD size = sizeof(buf);
  if (::RegGetValueW(HKEY_CURRENT_USER, CString(kFileTypes) + ext, L"Backup", RRF_RT_REG_SZ, nullptr, buf, &size))
    return kMissing;
  return buf;
}

CString ProgramPath() {
  wchar_t path[1024] = {};
  ::GetModuleFileNameW(nullptr, path, 1023);
  return path;
}

// Counts the shell's association-change notices.
class CAssociationWatcher {
 public:
  CAssociationWatcher() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"AssociationWatcher";
    ::RegisterClassW(&wc);
    m_hWnd = ::CreateWindowW(L"AssociationWatcher", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, wc.hInstance, this);
    ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, (LONG_PTR)this);
    LPITEMIDLIST desktop = nullptr;
    ::SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, &desktop);
    SHChangeNotifyEntry entry = {desktop, TRUE};
    m_nId = ::SHChangeNotifyRegister(m_hWnd, SHCNRF_ShellLevel | SHCNRF_InterruptLevel, SHCNE_ASSOCCHANGED, kMessage, 1,
                                     &entry);
    ::CoTaskMemFree(desktop);
  }
  ~CAssociationWatcher() {
    if (m_nId) ::SHChangeNotifyDeregister(m_nId);
    ::DestroyWindow(m_hWnd);
  }
  static const UINT kMessage = WM_APP + 7;
  HWND m_hWnd = nullptr;
  ULONG m_nId = 0;
  int m_nNotices = 0;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kMessage)
      if (auto* self = (CAssociationWatcher*)::GetWindowLongPtrW(hwnd, GWLP_USERDATA)) ++self->m_nNotices;
    return ::DefWindowProcW(hwnd, msg, wp, lp);
  }
};

class Associations : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteViewerKey();
    for (const FileTypeEntry& row : FileTypeTable) {
      DeleteTree(row.extension);
      DeleteTree(MakeProgID(row.extension));
    }
    m_app = std::make_unique<CViewerTestApp>();
  }
  void TearDown() override {
    CancelPendingSteps();
    for (const FileTypeEntry& row : FileTypeTable) {
      DeleteTree(row.extension);
      DeleteTree(MakeProgID(row.extension));
    }
    m_app.reset();
    DeleteViewerKey();
  }
  static CFileAssociation Row(LPCTSTR ext, LPCTSTR description) {
    return CFileAssociation(ext, MakeProgID(ext), description, kFileTypeIconIndex);
  }
  std::unique_ptr<CViewerTestApp> m_app;
};
}  // namespace

TEST_F(Associations, AnotherOwnerIsBackedUpAndGivenBack) {
  SetValue(L".dcm", L"OtherViewer.dcm");
  CFileAssociation dcm = Row(L".dcm", L"DICOM Image");
  EXPECT_STREQ(L"Morrowtide.Glimmerscope.dcm", dcm.m_strProgID);
  EXPECT_FALSE(dcm.IsAssociated());
  EXPECT_FALSE(dcm.IsRegistered());

  ApplyFileAssociation(dcm, TRUE, ProgramPath());
  EXPECT_STREQ(L"Morrowtide.Glimmerscope.dcm", Value(L".dcm"));
  EXPECT_STREQ(L"DICOM Image", Value(L"Morrowtide.Glimmerscope.dcm"));
  EXPECT_STREQ(ProgramPath() + L",-129", Value(L"Morrowtide.Glimmerscope.dcm\\DefaultIcon"));
  EXPECT_STREQ(L"\"" + ProgramPath() + L"\" \"%1\"", Value(L"Morrowtide.Glimmerscope.dcm\\shell\\open\\command"));
  EXPECT_STREQ(L"OtherViewer.dcm", Backup(L".dcm"));
  EXPECT_TRUE(dcm.IsAssociated());
  EXPECT_TRUE(dcm.IsRegistered());

  ApplyFileAssociation(dcm, FALSE, ProgramPath());
  EXPECT_STREQ(L"OtherViewer.dcm", Value(L".dcm"));
  EXPECT_FALSE(KeyExists(L"Morrowtide.Glimmerscope.dcm"));
  // Given back: the backup has served.
  EXPECT_STREQ(kMissing, Backup(L".dcm"));
}

TEST_F(Associations, ATypeNeverOwnedKeepsItsOwner) {
  SetValue(L".mr", L"Another.mr");
  SetValue(L".mr\\OpenWithList\\x", L"y");
  CFileAssociation mr = Row(L".mr", L"MR Image");
  // Registered but not associated (a type that another program took back).
  ASSERT_TRUE(mr.Register(ProgramPath()));
  ApplyFileAssociation(mr, FALSE, ProgramPath());
  EXPECT_FALSE(KeyExists(L"Morrowtide.Glimmerscope.mr"));
  EXPECT_STREQ(L"Another.mr", Value(L".mr"));
  EXPECT_STREQ(L"y", Value(L".mr\\OpenWithList\\x"));
  EXPECT_STREQ(kMissing, Backup(L".mr"));
  // With no extension key at all, nothing is made.
  CFileAssociation ct = Row(L".ct", L"CT Image");
  ApplyFileAssociation(ct, FALSE, ProgramPath());
  EXPECT_FALSE(KeyExists(L".ct"));
}

TEST_F(Associations, OnlyTheExtensionsOwnValueIsOursToSetAndRemove) {
  CFileAssociation ct = Row(L".ct", L"CT Image");
  CFileAssociation nii = Row(L".nii", L"NIfTI Image");
  CFileAssociation mha = Row(L".mha", L"MHA File");
  SetNamedValue(L".mha", L"Content Type", L"application/x-mha");
  ApplyFileAssociation(ct, TRUE, ProgramPath());
  ApplyFileAssociation(nii, TRUE, ProgramPath());
  ApplyFileAssociation(mha, TRUE, ProgramPath());
  ApplyFileAssociation(mha, TRUE, ProgramPath());  // OK again while ours
  EXPECT_STREQ(kMissing, Backup(L".ct"));
  EXPECT_STREQ(L"application/x-mha", NamedValue(L".mha", L"Content Type"));  // kept while taking it over
  SetValue(L".nii\\OpenWithProgids", L"");

  // Nothing else in the key: it goes. Something else: only our value goes,
  // so the type falls back to its machine-wide owner.
  ApplyFileAssociation(ct, FALSE, ProgramPath());
  EXPECT_FALSE(KeyExists(L".ct"));
  ApplyFileAssociation(nii, FALSE, ProgramPath());
  EXPECT_TRUE(KeyExists(L".nii\\OpenWithProgids"));
  EXPECT_FALSE(HasDefaultValue(L".nii"));
  EXPECT_FALSE(KeyExists(L"Morrowtide.Glimmerscope.nii"));
  ApplyFileAssociation(mha, FALSE, ProgramPath());
  EXPECT_FALSE(HasDefaultValue(L".mha"));
  EXPECT_STREQ(L"application/x-mha", NamedValue(L".mha", L"Content Type"));
}

TEST_F(Associations, AFailedRegistrationLeavesTheExtensionAlone) {
  struct CFailingRow : CFileAssociation {
    CFailingRow() : CFileAssociation(L".mnc", MakeProgID(L".mnc"), L"MNC File", kFileTypeIconIndex) {}
    BOOL Register(LPCTSTR program) override {
      WriteClassesValue(m_strProgID, m_strDescription);  // a first write, then a failing one
      return FALSE;
    }
  } mnc;
  SetValue(L".mnc", L"Minc.Viewer");
  EXPECT_FALSE(ApplyFileAssociation(mnc, TRUE, ProgramPath()));
  EXPECT_STREQ(L"Minc.Viewer", Value(L".mnc"));
  EXPECT_STREQ(kMissing, Backup(L".mnc"));
  EXPECT_FALSE(KeyExists(L"Morrowtide.Glimmerscope.mnc"));
}

TEST_F(Associations, RecheckingKeepsNoBackupAndTheBackupIsOverwrittenOnlyByAnotherOwner) {
  CFileAssociation png = Row(L".png", L"PNG Image");
  SetValue(L".png", L"Paint.png");
  ApplyFileAssociation(png, TRUE, ProgramPath());
  ASSERT_STREQ(L"Paint.png", Backup(L".png"));
  // Checked again while ours: the previous value is our own ProgID.
  ApplyFileAssociation(png, TRUE, ProgramPath());
  EXPECT_STREQ(L"Paint.png", Backup(L".png"));
  EXPECT_STREQ(L"Morrowtide.Glimmerscope.png", Value(L".png"));
  ApplyFileAssociation(png, FALSE, ProgramPath());
  EXPECT_STREQ(L"Paint.png", Value(L".png"));
  // Taken by a third program, then by us: that program becomes the backup.
  SetValue(L".png", L"Photos.png");
  ApplyFileAssociation(png, TRUE, ProgramPath());
  EXPECT_STREQ(L"Photos.png", Backup(L".png"));
  // Given back, then gone (uninstalled): taken over with no owner, the type
  // is not handed later to the program that is long gone.
  ApplyFileAssociation(png, FALSE, ProgramPath());
  EXPECT_STREQ(L"Photos.png", Value(L".png"));
  DeleteTree(L".png");
  ApplyFileAssociation(png, TRUE, ProgramPath());
  EXPECT_STREQ(kMissing, Backup(L".png"));
  ApplyFileAssociation(png, FALSE, ProgramPath());
  EXPECT_FALSE(KeyExists(L".png"));
}

TEST_F(Associations, BottomUpDeletionNeverRemovesAKeyWithSubkeys) {
  SetValue(L"Morrowtide.Test\\shell\\open\\command", L"x");
  SetValue(L"Morrowtide.Test\\shell\\print\\command", L"y");
  SetValue(L"Morrowtide.Test\\DefaultIcon", L"z");
  DeleteClassesKey(L"Morrowtide.Test");  // has subkeys: stays
  EXPECT_TRUE(KeyExists(L"Morrowtide.Test\\DefaultIcon"));
  DeleteClassesKey(L"Morrowtide.Test\\shell\\open\\command");
  EXPECT_FALSE(KeyExists(L"Morrowtide.Test\\shell\\open"));
  EXPECT_TRUE(KeyExists(L"Morrowtide.Test\\shell\\print\\command"));  // shell still has print
  DeleteClassesKey(L"Morrowtide.Test\\shell\\print\\command");
  EXPECT_FALSE(KeyExists(L"Morrowtide.Test\\shell"));
  EXPECT_TRUE(KeyExists(L"Morrowtide.Test"));  // still has DefaultIcon
  DeleteClassesKey(L"Morrowtide.Test\\DefaultIcon");
  EXPECT_FALSE(KeyExists(L"Morrowtide.Test"));
  DeleteClassesKey(L"Morrowtide.Missing\\a");  // nothing to open: nothing happens
}

TEST_F(Associations, SettingsDialogShowsAndSetsOptionsAndTypes) {
  // .jpg is ours; .bmp points at us but our ProgID is not registered.
  CFileAssociation jpg = Row(L".jpg", L"JPEG Image");
  ApplyFileAssociation(jpg, TRUE, ProgramPath());
  SetValue(L".bmp", L"Morrowtide.Glimmerscope.bmp");
  SetValue(L".tif", L"Preview.tif");
  m_app->m_settings.m_bAlwaysShowControlBar = 1;
  m_app->m_settings.m_bAutoCheckUpdate = 0;

  std::vector<CString> items;
  std::vector<int> checked;
  BOOL controlBars = -1, autoCheck = -1;
  RunWhenShown(L"Settings", [&](HWND dlg) {
    HWND list = ::GetDlgItem(dlg, IDC_FILE_TYPES);
    const int n = ListView_GetItemCount(list);
    for (int i = 0; i < n; ++i) {
      wchar_t text[64] = {};
      ListView_GetItemText(list, i, 0, text, 64);
      items.push_back(text);
      checked.push_back(ListView_GetCheckState(list, i));
    }
    controlBars = (BOOL)::IsDlgButtonChecked(dlg, IDC_SHOW_CONTROL_BARS);
    autoCheck = (BOOL)::IsDlgButtonChecked(dlg, IDC_AUTO_CHECK_UPDATE);
    CaptureWindow(dlg, false).SavePng(L"viewer-settings-dialog.png");
    // Toggle: .dcm and .tif on, .jpg off; both options flipped.
    ListView_SetCheckState(list, 0, TRUE);
    ListView_SetCheckState(list, 16, TRUE);
    ListView_SetCheckState(list, 11, FALSE);
    ::CheckDlgButton(dlg, IDC_SHOW_CONTROL_BARS, BST_UNCHECKED);
    ::CheckDlgButton(dlg, IDC_AUTO_CHECK_UPDATE, BST_CHECKED);
    ::PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)::GetDlgItem(dlg, IDOK));
  });
  CAssociationWatcher watcher;
  ASSERT_NE(0u, watcher.m_nId);
  CViewerSettingsDlg dlg;
  EXPECT_EQ(IDOK, dlg.DoModal());
  // The shell hears of the change.
  EXPECT_TRUE(PumpUntil([&] { return watcher.m_nNotices > 0; }));

  ASSERT_EQ(18u, items.size());
  for (int i = 0; i < 18; ++i) EXPECT_STREQ(FileTypeTable[i].extension, items[i]);
  for (int i = 0; i < 18; ++i) EXPECT_EQ(i == 11 ? 1 : 0, checked[i]) << FileTypeTable[i].extension;
  EXPECT_EQ(1, controlBars);
  EXPECT_EQ(0, autoCheck);

  EXPECT_EQ(0, m_app->m_settings.m_bAlwaysShowControlBar);
  EXPECT_EQ(1, m_app->m_settings.m_bAutoCheckUpdate);
  EXPECT_STREQ(L"Morrowtide.Glimmerscope.dcm", Value(L".dcm"));
  EXPECT_STREQ(L"Morrowtide.Glimmerscope.tif", Value(L".tif"));
  EXPECT_STREQ(L"Preview.tif", Backup(L".tif"));
  EXPECT_STREQ(kMissing, Value(L".jpg"));
  EXPECT_FALSE(KeyExists(L"Morrowtide.Glimmerscope.jpg"));
  // Unchecked rows that were never ours are left alone; .bmp pointed at us: deleted.
  EXPECT_STREQ(kMissing, Value(L".bmp"));
  EXPECT_FALSE(KeyExists(L"Morrowtide.Glimmerscope.png"));

  // Cancel changes nothing.
  RunWhenShown(L"Settings", [&](HWND dlg2) {
    HWND list = ::GetDlgItem(dlg2, IDC_FILE_TYPES);
    ListView_SetCheckState(list, 0, FALSE);
    ::CheckDlgButton(dlg2, IDC_SHOW_CONTROL_BARS, BST_CHECKED);
    ::PostMessageW(dlg2, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), (LPARAM)::GetDlgItem(dlg2, IDCANCEL));
  });
  CViewerSettingsDlg again;
  EXPECT_EQ(IDCANCEL, again.DoModal());
  EXPECT_STREQ(L"Morrowtide.Glimmerscope.dcm", Value(L".dcm"));
  EXPECT_EQ(0, m_app->m_settings.m_bAlwaysShowControlBar);
}
