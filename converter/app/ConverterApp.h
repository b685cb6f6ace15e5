// The converter's application object: it owns the shared UI resources, the
// settings and the image library for the program's life, runs the main
// dialog modally and answers the help commands of the main menu.
#pragma once
#include "converter/app/ConverterResources.h"
#include "converter/app/ConverterSettings.h"
#include "imaging/library/ImageLibrary.h"
#include "foundation/web/UpdateCheck.h"
#include "afxwin.h"

// The image library as the application holds it.
class CConverterImageLibrary : public CImageLibrary {
 public:
  ~CConverterImageLibrary() override;
};

// The update check's view of the converter's settings.
class CConverterUpdateSettings : public CUpdateSettings {
 public:
  explicit CConverterUpdateSettings(CConverterSettings* settings) : m_pSettings(settings) {}
  int GetAutoCheckUpdate() override { return m_pSettings->m_bAutoCheckUpdate; }
  void SetAutoCheckUpdate(int value) override { m_pSettings->m_bAutoCheckUpdate = value ? 1 : 0; }

 private:
  CConverterSettings* m_pSettings;
};

// The web page of the converter's screenshots, opened by "How To Use".
extern const wchar_t kHowToUseUrl[];

class CConverterApp : public CWinApp {
 public:
  CConverterApp();
  ~CConverterApp() override;

  BOOL InitInstance() override;
  int ExitInstance() override;

  CConverterResources m_resources;
  CConverterSettings m_settings;
  CConverterImageLibrary m_library;

  // The settings reach the registry at exit only when they were read from it
  // and the program got as far as its window: a start-up that fails keeps
  // whatever the user had.
  BOOL m_bSaveSettings = FALSE;

 protected:
  // The main dialog's modal run (a virtual seam for the start-up order).
  virtual void RunMainDialog();

  afx_msg void OnAppAbout();
  afx_msg void OnWebSite();
  afx_msg void OnCheckForUpdates();
  afx_msg void OnHowToUse();
  afx_msg void OnEmailUs();
  DECLARE_MESSAGE_MAP()

 private:
  CConverterUpdateSettings m_updateSettings;
};
