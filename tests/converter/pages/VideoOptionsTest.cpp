#include <gtest/gtest.h>

#include "resources/converter/ConverterRes.h"
#include "tests/converter/support/ScriptedDialog.h"
#include "tests/support/UiTestSupport.h"
#include "converter/jobs/VideoFormats.h"
#include "converter/pages/VideoOptionsDlg.h"

namespace {
using COptions = CScripted<CVideoOptionsDlg>;

int ListCount(CWnd& dlg) { return (int)::SendDlgItemMessageW(dlg.m_hWnd, IDC_FRAME_RATE, CB_GETCOUNT, 0, 0); }
CString ListText(CWnd& dlg, int i) {
  wchar_t buf[32] = {0};
  ::SendDlgItemMessageW(dlg.m_hWnd, IDC_FRAME_RATE, CB_GETLBTEXT, i, (LPARAM)buf);
  return buf;
}
}  // namespace

TEST(VideoOptions, RateListMatchesItsTable) {
  COptions dlg([](COptions& d) {
    EXPECT_EQ(FRAME_RATE_COUNT, ListCount(d));
    for (int i = 0; i < FRAME_RATE_COUNT && i < ListCount(d); ++i)
      EXPECT_STREQ(FrameRateTable[i].pszText, ListText(d, i));
    d.EndDialog(IDCANCEL);
  });
  EXPECT_EQ(IDCANCEL, dlg.DoModal());
  EXPECT_EQ(19, FindFrameRate(30000, 1001));
  EXPECT_EQ(16, FindFrameRate(24000, 1001));
  EXPECT_EQ(-1, FindFrameRate(11, 1));
}

TEST(VideoOptions, FixedSizeFormatShowsItsSizeGreyedAndKeepsTheChosenOne) {
  COptions dlg([](COptions& d) {
    EXPECT_STREQ(L"352", ControlText(d, IDC_VIDEO_WIDTH));
    EXPECT_STREQ(L"288", ControlText(d, IDC_VIDEO_HEIGHT));
    for (int id : {IDC_SIZE_LABEL, IDC_SAME_SIZE, IDC_VIDEO_WIDTH, IDC_VIDEO_HEIGHT, IDC_TIMES_LABEL, IDC_SIZE_HINT}) {
      EXPECT_FALSE(ControlEnabled(d, id)) << id;
      EXPECT_TRUE(ControlVisible(d, id)) << id;
    }
    EXPECT_TRUE(ControlEnabled(d, IDC_FRAME_RATE));
    // A rate that is not in the list shows 10.
    EXPECT_STREQ(L"10", ControlText(d, IDC_FRAME_RATE));
    ShotOf(d.m_hWnd).SavePng(L"video-options-3gpp.png");
    Click(d, IDOK);
  });
  PrepareVideoOptions(dlg, *GetVideoFormat(8), 640, 480, 11, 1, 64, 64);
  ASSERT_EQ(IDOK, dlg.DoModal());
  // OK keeps the size chosen for the other formats: the greyed one is the format's.
  int w = 640, h = 480, num = 11, den = 1;
  TakeVideoOptions(dlg, w, h, num, den);
  EXPECT_EQ(640, w);
  EXPECT_EQ(480, h);
  EXPECT_EQ(10, num);
}

TEST(VideoOptions, SameSizeBoxGreysTheEditsAndOkGivesTheChoice) {
  COptions dlg([](COptions& d) {
    // The first image's size is shown and the box is on.
    EXPECT_EQ(BST_CHECKED, d.IsDlgButtonChecked(IDC_SAME_SIZE));
    EXPECT_STREQ(L"512", ControlText(d, IDC_VIDEO_WIDTH));
    EXPECT_FALSE(ControlEnabled(d, IDC_VIDEO_WIDTH));
    EXPECT_FALSE(ControlEnabled(d, IDC_VIDEO_HEIGHT));
    EXPECT_TRUE(ControlEnabled(d, IDC_SIZE_LABEL));
    Click(d, IDC_SAME_SIZE);
    EXPECT_TRUE(ControlEnabled(d, IDC_VIDEO_WIDTH));
    EXPECT_TRUE(ControlEnabled(d, IDC_SIZE_HINT));
    d.SetDlgItemText(IDC_VIDEO_WIDTH, L"640");
    d.SetDlgItemText(IDC_VIDEO_HEIGHT, L"-8");
    ::SendDlgItemMessageW(d.m_hWnd, IDC_FRAME_RATE, CB_SETCURSEL, 19, 0);
    ShotOf(d.m_hWnd).SavePng(L"video-options.png");
    Click(d, IDOK);
  });
  PrepareVideoOptions(dlg, *GetVideoFormat(0), 0, 0, 0, 0, 512, 384);
  EXPECT_EQ(FRAME_RATE_DEFAULT_INDEX, dlg.m_nRateIndex);
  ASSERT_EQ(IDOK, dlg.DoModal());
  int w = 1, h = 1, num = 1, den = 1;
  TakeVideoOptions(dlg, w, h, num, den);
  EXPECT_EQ(640, w);
  EXPECT_EQ(0, h);
  EXPECT_EQ(30000, num);
  EXPECT_EQ(1001, den);
}

TEST(VideoOptions, CheckBoxOnLeavesNoChosenSize) {
  COptions dlg([](COptions& d) {
    EXPECT_EQ(BST_UNCHECKED, d.IsDlgButtonChecked(IDC_SAME_SIZE));
    EXPECT_STREQ(L"800", ControlText(d, IDC_VIDEO_WIDTH));
    EXPECT_STREQ(L"25", ControlText(d, IDC_FRAME_RATE));
    Click(d, IDC_SAME_SIZE);
    ::SendDlgItemMessageW(d.m_hWnd, IDC_FRAME_RATE, CB_SETCURSEL, 16, 0);
    Click(d, IDOK);
  });
  PrepareVideoOptions(dlg, *GetVideoFormat(3), 800, 600, 25, 1, 512, 512);
  ASSERT_EQ(IDOK, dlg.DoModal());
  int w = 9, h = 9, num = 0, den = 0;
  TakeVideoOptions(dlg, w, h, num, den);
  EXPECT_EQ(0, w);
  EXPECT_EQ(0, h);
  EXPECT_EQ(24000, num);
  EXPECT_EQ(1001, den);
  // No selection in the list: no chosen rate.
  dlg.m_nRateIndex = -1;
  TakeVideoOptions(dlg, w, h, num, den);
  EXPECT_EQ(0, num);
  EXPECT_EQ(0, den);
}

TEST(VideoOptions, TextThatIsNotANumberKeepsTheDialogOpen) {
  CString said;
  int okPresses = 0;
  AfxSetMessageBoxHandler([&](LPCTSTR text, UINT) {
    said = text;
    return IDOK;
  });
  COptions dlg([&](COptions& d) {
    if (d.m_nStep == 1) {
      Click(d, IDC_SAME_SIZE);
      d.SetDlgItemText(IDC_VIDEO_WIDTH, L"wide");
      Click(d, IDOK);
      ++okPresses;
      // The refused field has the focus, and the dialog's loop goes on.
      EXPECT_EQ(::GetDlgItem(d.m_hWnd, IDC_VIDEO_WIDTH), ::GetFocus());
      d.Next();
    } else {
      d.SetDlgItemText(IDC_VIDEO_WIDTH, L"320");
      Click(d, IDOK);
    }
  });
  PrepareVideoOptions(dlg, *GetVideoFormat(0), 0, 0, 0, 0, 100, 100);
  EXPECT_EQ(IDOK, dlg.DoModal());
  AfxSetMessageBoxHandler(nullptr);
  EXPECT_STREQ(L"Please enter an integer.", said);
  EXPECT_EQ(1, okPresses);
  EXPECT_EQ(2, dlg.m_nStep);
  EXPECT_EQ(320, dlg.m_nWidth);
}
