// The update check without its dialogs: when a check is due, the update
// information variants served by the test server, the addresses that may be
// opened, and "LastUpdateCheck" in the program's registry profile.
#include <gtest/gtest.h>

#include "foundation/web/UpdateCheck.h"
#include "tests/foundation/web/WebTestSupport.h"

namespace {
time_t LocalTime(int year, int month, int day, int hour, int minute) {
  struct tm t = {};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_isdst = -1;
  return mktime(&t);
}

const LONGLONG kDay = 86400;
}  // namespace

TEST(UpdateDue, Table) {
  const time_t now = LocalTime(2024, 3, 10, 0, 5);  // just after midnight
  struct Case {
    time_t last;
    int interval;
    int due;
  } cases[] = {
      {now - 10, 0, 1},  // interval 0: always
      {now, 0, 1},
      {0, 1, 1},  // never checked
      {0, 7, 1},
      {0, -1, 0},  // negative: never
      {now - 100 * kDay, -3, 0},
      {LocalTime(2024, 3, 9, 23, 55), 1, 1},  // late yesterday: a new day
      {LocalTime(2024, 3, 10, 0, 1), 1, 0},   // earlier today
      {now - (time_t)(6.9 * kDay), 7, 0},
      {now - 7 * kDay, 7, 1},
      {now - 7 * kDay + 1, 7, 0},
      {now - 2 * kDay, 2, 1},
      {now - 2 * kDay + 60, 2, 0},
      {now + 60, 1, 1},  // clock set back: due
      {now + 400 * kDay, 7, 1},
      {now + 400 * kDay, 0, 1},
      {now + 400 * kDay, -1, 0},
  };
  int i = 0;
  for (const Case& c : cases) {
    EXPECT_EQ(c.due, IsUpdateCheckDue(now, c.last, c.interval)) << "case " << i;
    ++i;
  }
}

TEST(UpdateInformation, EveryVariant) {
  struct Case {
    LPCTSTR variant;
    int check;
    LPCTSTR newest;
    LPCTSTR url;
    int level;
  } cases[] = {
      {L"newer", 1, L"1.12.0", L"http://127.0.0.1/download/reelsmith-1.12.0.exe", 3},
      {L"equal", 0, L"1.11.0", L"http://127.0.0.1/d", 0},
      {L"older", 0, L"1.10.9", L"http://127.0.0.1/d", 0},
      {L"numeric-older", 0, L"1.9.12", L"http://127.0.0.1/d", 0},
      {L"numeric-newer", 1, L"1.100.0", L"https://127.0.0.1/d", 0},
      {L"no-url", -1, L"2.0.0", L"", 0},
      {L"empty-url", -1, L"2.0.0", L"", 0},
      {L"no-version", -1, L"", L"", 0},
      {L"empty-version", -1, L"", L"", 0},
      {L"wrong-root", -1, L"", L"", 0},
      {L"malformed", -1, L"", L"", 0},
      {L"file-url", -1, L"2.0.0", L"file:///C:/windows/system32/calc.exe", 0},
      {L"unc-path", -1, L"2.0.0", L"\\\\server\\share\\setup.exe", 0},
      {L"local-path", -1, L"2.0.0", L"C:\\windows\\system32\\calc.exe", 0},
  };
  for (const Case& c : cases) {
    CUpdateJob job;
    job.m_strCurrentVersion = L"1.11.0";
    CString path;
    path.Format(L"/update/%s.xml", c.variant);
    job.m_strInfoURL = ServerUrl(path);
    const CStringA name(c.variant);
    EXPECT_EQ(c.check, job.Check()) << name.GetString();
    EXPECT_STREQ(c.newest, job.m_strNewestVersion) << name.GetString();
    EXPECT_STREQ(c.url, job.m_strDownloadURL) << name.GetString();
    EXPECT_EQ(c.level, job.m_nLevel) << name.GetString();
  }
  {
    CUpdateJob job;
    job.m_strCurrentVersion = L"1.11.0";
    job.m_strInfoURL = ServerUrl(L"/update/newer.xml");
    ASSERT_EQ(1, job.Check());
    EXPECT_STREQ(L"Faster encoding.\r\nNew formats.\r\nFixes.", job.m_strDescription);
  }
  {
    // No server there: a failure like any other.
    CUpdateJob job;
    job.m_strCurrentVersion = L"1.11.0";
    CString url;
    url.Format(L"http://127.0.0.1:%d/update.xml", ClosedPort());
    job.m_strInfoURL = url;
    EXPECT_EQ(-1, job.Check());
  }
}

TEST(UpdateInformation, NotesDecodedAsTheDocumentDeclares) {
  const struct {
    LPCTSTR path;
    LPCTSTR notes;
  } cases[] = {
      {L"/update/notes-utf8.xml", L"F\x00fcr \x00c4rzte \x2013 \x65e5\x672c\x8a9e"},
      {L"/update/notes-utf16.xml", L"F\x00fcr \x00c4rzte \x2013 \x65e5\x672c\x8a9e"},
      {L"/update/notes-latin1.xml", L"F\x00fcr \x00c4rzte"},
  };
  for (const auto& c : cases) {
    CUpdateJob job;
    job.m_strCurrentVersion = L"1.11.0";
    job.m_strInfoURL = ServerUrl(c.path);
    EXPECT_EQ(1, job.Check()) << CStringA(c.path).GetString();
    EXPECT_STREQ(c.notes, job.m_strDescription) << CStringA(c.path).GetString();
  }
}

TEST(UpdateInformation, ParsedFromText) {
  CUpdateJob job;
  EXPECT_EQ(0, job.ParseUpdateXml(L"<Updates><Application Version=\"3.0.1\" Level=\"x\">"
                                  L"<URL>\n  https://127.0.0.1/get  \n</URL>"
                                  L"<Description>a\\nb\\\\nc</Description></Application></Updates>"));
  EXPECT_STREQ(L"3.0.1", job.m_strNewestVersion);
  EXPECT_STREQ(L"https://127.0.0.1/get", job.m_strDownloadURL);
  EXPECT_STREQ(L"a\r\nb\\\r\nc", job.m_strDescription);
  EXPECT_EQ(0, job.m_nLevel);
  // Values read before a failure stay.
  CUpdateJob partial;
  EXPECT_EQ(-1, partial.ParseUpdateXml(L"<Updates><Application Version=\"4.0.0\" Level=\"2\"/></Updates>"));
  EXPECT_STREQ(L"4.0.0", partial.m_strNewestVersion);
  EXPECT_EQ(2, partial.m_nLevel);
  EXPECT_EQ(-1, partial.ParseUpdateXml(L""));
  EXPECT_EQ(-1, partial.ParseUpdateXml(nullptr));
}

TEST(UpdateInformation, OnlyWebAddressesMayBeOpened) {
  for (LPCTSTR ok : {L"http://www.morrowtide.com/reelsmith", L"https://127.0.0.1:8443/a?b=c", L"HTTP://host/x.exe"})
    EXPECT_TRUE(IsWebAddress(ok)) << CStringA(ok).GetString();
  for (LPCTSTR bad :
       {L"", L"file:///C:/x.exe", L"\\\\server\\share\\x.exe", L"C:\\x.exe", L"x.exe", L"ftp://host/x", L"mailto:a@b",
        L"http://", L"http:x", L"javascript:alert(1)", L" http://host/", L"http://host/a b", L"http://host/\r\nx"})
    EXPECT_FALSE(IsWebAddress(bad)) << CStringA(bad).GetString();
}

TEST(UpdateInformation, AddressOverrideOnlyForThisMachine) {
  CWinApp* app = AfxGetApp();
  ASSERT_NE(nullptr, app);
  EXPECT_STREQ(kUpdateInfoUrl, GetUpdateInfoUrl());
  app->WriteProfileString(L"", L"UpdateInfoURL", L"http://127.0.0.1:8080/reelsmith/update.xml");
  EXPECT_STREQ(L"http://127.0.0.1:8080/reelsmith/update.xml", GetUpdateInfoUrl());
  app->WriteProfileString(L"", L"UpdateInfoURL", L"http://localhost/u.xml");
  EXPECT_STREQ(L"http://localhost/u.xml", GetUpdateInfoUrl());
  for (LPCTSTR ignored : {L"http://evil.example/update.xml", L"https://127.0.0.1/u.xml", L"file:///C:/u.xml",
                          L"http://127.0.0.1.evil.example/u.xml"}) {
    app->WriteProfileString(L"", L"UpdateInfoURL", ignored);
    EXPECT_STREQ(kUpdateInfoUrl, GetUpdateInfoUrl()) << CStringA(ignored).GetString();
  }
  app->WriteProfileString(L"", L"UpdateInfoURL", nullptr);
}

TEST(UpdateSchedule, LastCheckInTheProfile) {
  CWinApp* app = AfxGetApp();
  ASSERT_NE(nullptr, app);
  SetUpdateSettings(nullptr);
  const time_t now = time(nullptr);
  // The information is current: a check that does run ends silently.
  const CString url = ServerUrl(L"/update/equal.xml");

  // Checked 6.9 days ago, every 7 days: nothing happens.
  const DWORD recent = (DWORD)(now - (time_t)(6.9 * kDay));
  app->WriteProfileInt(L"Settings", L"LastUpdateCheck", (int)recent);
  EXPECT_EQ(1, CheckForUpdates(url, L"1.11.0", 7, 1));
  EXPECT_EQ(recent, app->GetProfileInt(L"Settings", L"LastUpdateCheck", 0));

  // A last check in the future (the clock was set back) is due; the time is
  // written before the check runs.
  app->WriteProfileInt(L"Settings", L"LastUpdateCheck", (int)(DWORD)(now + 300 * kDay));
  EXPECT_EQ(0, CheckForUpdates(url, L"1.11.0", 7, 1));
  const LONGLONG written = app->GetProfileInt(L"Settings", L"LastUpdateCheck", 0);
  EXPECT_GE(written, (LONGLONG)now);
  EXPECT_LE(written, (LONGLONG)now + 60);

  // Never checked: due.
  app->WriteProfileString(L"Settings", L"LastUpdateCheck", nullptr);
  EXPECT_EQ(0, CheckForUpdates(url, L"1.11.0", 30, 1));
  // A negative interval never checks.
  app->WriteProfileString(L"Settings", L"LastUpdateCheck", nullptr);
  EXPECT_EQ(1, CheckForUpdates(url, L"1.11.0", -1, 1));
  EXPECT_EQ(0u, app->GetProfileInt(L"Settings", L"LastUpdateCheck", 0));
}
