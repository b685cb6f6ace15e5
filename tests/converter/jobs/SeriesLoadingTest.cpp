// The loading core with the real image library: folders, multi-frame files,
// ordinary pictures, inserting, and the temporary files it leaves behind.
#include <gtest/gtest.h>

#include <shlwapi.h>

#include <memory>

#include "tests/converter/support/ConverterTestApp.h"
#include "imaging/library/ImageLibrary.h"
#include "converter/jobs/SeriesLoading.h"
#include "tests/converter/support/JobDoubles.h"
#include "tests/converter/jobs/SeriesTestData.h"

namespace {
// Compares a picture with an 8-bit binary PGM file.
void ExpectSameAsPgm(const CString& path, const CRasterImage& image) {
  FILE* f = _wfopen(path, L"rb");
  ASSERT_NE(nullptr, f);
  char magic[3] = {0};
  int w = 0, h = 0, maxv = 0;
  ASSERT_EQ(4, fscanf(f, "%2s %d %d %d", magic, &w, &h, &maxv));
  fgetc(f);
  ASSERT_EQ((int)image.GetWidth(), w);
  ASSERT_EQ((int)image.GetHeight(), h);
  int differ = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int v = fgetc(f);
      RGBQUAD c = image.GetColorAt(x, h - 1 - y);
      if (abs(v - c.rgbRed) > 1 || c.rgbRed != c.rgbGreen || c.rgbRed != c.rgbBlue) ++differ;
    }
  fclose(f);
  EXPECT_EQ(0, differ);
}

class SeriesLoading : public ::testing::Test {
 protected:
  void SetUp() override {
    // A private temporary folder, so leftovers can be counted.
    m_temp = MakeTestFolder(L"series loading temp");
    ::GetEnvironmentVariableW(L"TMP", m_oldTmp, MAX_PATH);
    ::SetEnvironmentVariableW(L"TMP", m_temp);
    ASSERT_EQ(0, m_library.Load(QuillfenPath()));
  }
  void TearDown() override { ::SetEnvironmentVariableW(L"TMP", m_oldTmp); }

  int TempFileCount() {
    int n = 0;
    WIN32_FIND_DATAW fd;
    HANDLE h = ::FindFirstFileW(m_temp + L"\\*", &fd);
    if (h == INVALID_HANDLE_VALUE) return 0;
    do {
      if (wcscmp(fd.cFileName, L".") && wcscmp(fd.cFileName, L"..")) ++n;
    } while (::FindNextFileW(h, &fd));
    ::FindClose(h);
    return n;
  }

  CImageLibrary m_library;
  CString m_temp;
  wchar_t m_oldTmp[MAX_PATH + 1] = {0};
};
}  // namespace

TEST_F(SeriesLoading, FolderOfSlicesInNameOrderWithPicturesFromTheLibrary) {
  CFrameCollector target;
  CSeriesLoader loader(&m_library, &target);
  EXPECT_EQ(40, loader.ScanFolder(SeriesData(L"slices"), GetSeriesFileFilter(SERIES_FILTER_DROP_PATTERN), 0));
  ASSERT_EQ(40u, target.items.size());
  for (int i = 0; i < 40; ++i) {
    CFrameItem* item = target.items[i].get();
    CString name;
    name.Format(L"IM%04d.dcm", i + 1);
    EXPECT_STREQ(SeriesData(L"slices\\") + name, item->m_sourcePath);
    // The first (only) picture the library wrote for the file.
    EXPECT_EQ(0, item->m_frameIndex);
    EXPECT_EQ(64u, item->m_image.GetWidth());
    EXPECT_EQ(64u, item->m_image.GetHeight());
    EXPECT_EQ(i, LitCell(item->m_image, 8)) << "frame " << i;
    EXPECT_EQ(0, item->m_state);
    EXPECT_TRUE(item->m_caption.IsEmpty());
  }
  EXPECT_EQ(40, target.addedCalls);
  ASSERT_FALSE(target.statuses.empty());
  EXPECT_STREQ(L"Loading IM0001.dcm ...", target.statuses.front());
  EXPECT_STREQ(L"Loaded IM0040.dcm.", target.statuses.back());
  // Temporary files and the library's pictures are all gone.
  EXPECT_EQ(0, TempFileCount());
}

TEST_F(SeriesLoading, SubfoldersAndPatternsMatchedAgainstNames) {
  CFrameCollector all;
  CSeriesLoader loader(&m_library, &all);
  EXPECT_EQ(41, loader.ScanFolder(SeriesData(L"slices"), L"*.dcm", 1));
  ASSERT_EQ(41u, all.items.size());
  EXPECT_STREQ(SeriesData(L"slices\\sub\\IM9999.dcm"), all.items[40]->m_sourcePath);
  EXPECT_EQ(63, LitCell(all.items[40]->m_image, 8));

  // A name pattern: "IM000?" picks IM0001 to IM0009 (matched against the
  // name, a full path would never start with "IM").
  CFrameCollector some;
  CSeriesLoader loader2(&m_library, &some);
  EXPECT_EQ(9, loader2.ScanFolder(SeriesData(L"slices"), L"IM000?.DCM", 1));
  ASSERT_EQ(9u, some.items.size());
  EXPECT_STREQ(SeriesData(L"slices\\IM0009.dcm"), some.items[8]->m_sourcePath);
  // Everything: the text file is offered and gives nothing.
  CFrameCollector any;
  CSeriesLoader loader3(&m_library, &any);
  EXPECT_EQ(40, loader3.ScanFolder(SeriesData(L"slices"), L"*", 0));
  // A link to a folder is not followed: here it leads back to the folder.
  CFrameCollector looped;
  CSeriesLoader loader5(&m_library, &looped);
  EXPECT_EQ(1, loader5.ScanFolder(SeriesData(L"looped"), L"*", 1));
  // A stop between files ends the scan early.
  CFrameCollector stopped;
  stopped.stopAfter = 5;
  CSeriesLoader loader4(&m_library, &stopped);
  EXPECT_EQ(5, loader4.ScanFolder(SeriesData(L"slices"), L"*.dcm", 1));
}

TEST_F(SeriesLoading, MultiFrameFileGivesOneItemPerPicture) {
  CFrameCollector target;
  CSeriesLoader loader(&m_library, &target);
  EXPECT_EQ(12, loader.LoadSource(SeriesData(L"multi\\cine.dcm")));
  ASSERT_EQ(12u, target.items.size());
  for (int f = 0; f < 12; ++f) {
    EXPECT_EQ(f, target.items[f]->m_frameIndex);
    EXPECT_EQ(f, LitCell(target.items[f]->m_image, 4)) << "frame " << f;
  }
  EXPECT_EQ(1, target.addedCalls);
  // Frame 0 as dcmtk renders it.
  ExpectSameAsPgm(SeriesData(L"multi\\cine-frame1.pgm"), target.items[0]->m_image);
  EXPECT_EQ(0, TempFileCount());
}

TEST_F(SeriesLoading, MixedFolderLoadsEveryPicture) {
  CFrameCollector target;
  CSeriesLoader loader(&m_library, &target);
  EXPECT_EQ(4, loader.ScanFolder(SeriesData(L"mixed"), GetSeriesFileFilter(SERIES_FILTER_DROP_PATTERN), 0));
  ASSERT_EQ(4u, target.items.size());
  struct {
    LPCTSTR name;
    BYTE r, g, b;
  } expect[] = {{L"a.bmp", 255, 0, 0}, {L"b.png", 0, 255, 0}, {L"c.jpg", 0, 0, 255}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_STREQ(SeriesData(L"mixed\\") + expect[i].name, target.items[i]->m_sourcePath);
    ASSERT_EQ(40u, target.items[i]->m_image.GetWidth());
    RGBQUAD c = target.items[i]->m_image.GetColorAt(20, 15);
    EXPECT_NEAR(expect[i].r, c.rgbRed, 8);
    EXPECT_NEAR(expect[i].g, c.rgbGreen, 8);
    EXPECT_NEAR(expect[i].b, c.rgbBlue, 8);
  }
  EXPECT_EQ(2, LitCell(target.items[3]->m_image, 8));
  EXPECT_EQ(0, target.items[3]->m_frameIndex);
}

// A drop of files and folders keeps its order; a stop ends it between files.
TEST_F(SeriesLoading, DroppedFilesAndFoldersKeepTheirOrder) {
  CStringArray paths;
  paths.Add(SeriesData(L"pictures\\small.png"));
  paths.Add(SeriesData(L"mixed"));
  paths.Add(SeriesData(L"multi\\cine.dcm"));
  const CString pattern = GetSeriesFileFilter(SERIES_FILTER_DROP_PATTERN);
  CFrameCollector target;
  CSeriesLoader loader(&m_library, &target);
  EXPECT_EQ(17, loader.LoadPaths(paths, pattern, 0));
  ASSERT_EQ(17u, target.items.size());
  EXPECT_STREQ(paths[0], target.items[0]->m_sourcePath);
  EXPECT_STREQ(SeriesData(L"mixed\\a.bmp"), target.items[1]->m_sourcePath);
  for (int f = 0; f < 12; ++f) {
    EXPECT_STREQ(paths[2], target.items[5 + f]->m_sourcePath);
    EXPECT_EQ(f, target.items[5 + f]->m_frameIndex);
  }
  CFrameCollector stopped;
  stopped.stopAfter = 1;
  CSeriesLoader stopping(&m_library, &stopped);
  EXPECT_EQ(1, stopping.LoadPaths(paths, pattern, 0));
}

// A multi-page TIFF goes through the library: one frame per page, in page order.
TEST_F(SeriesLoading, MultiPageTiffGivesOneFramePerPage) {
  CFrameCollector target;
  CSeriesLoader loader(&m_library, &target);
  EXPECT_EQ(3, loader.LoadSource(SeriesData(L"tiff\\pages.tif")));
  ASSERT_EQ(3u, target.items.size());
  const BYTE expect[3][3] = {{0xC0, 0, 0}, {0, 0xA0, 0}, {0, 0, 0xE0}};
  for (int i = 0; i < 3; ++i) {
    const CFrameItem* item = target.items[i].get();
    EXPECT_STREQ(SeriesData(L"tiff\\pages.tif"), item->m_sourcePath);
    EXPECT_EQ(i, item->m_frameIndex);
    ASSERT_EQ(40u, item->m_image.GetWidth());
    ASSERT_EQ(30u, item->m_image.GetHeight());
    for (POINT p : {POINT{0, 0}, POINT{20, 15}, POINT{39, 29}}) {
      RGBQUAD c = item->m_image.GetColorAt(p.x, p.y);
      EXPECT_NEAR(expect[i][0], c.rgbRed, 2) << "page " << i;
      EXPECT_NEAR(expect[i][1], c.rgbGreen, 2) << "page " << i;
      EXPECT_NEAR(expect[i][2], c.rgbBlue, 2) << "page " << i;
    }
  }
  EXPECT_EQ(1, target.addedCalls);
  EXPECT_STREQ(L"Loaded pages.tif.", target.statuses.back());
  EXPECT_EQ(0, TempFileCount());
}

TEST_F(SeriesLoading, PicturesAndInsertionOrder) {
  CFrameCollector target;
  CSeriesLoader loader(&m_library, &target);
  EXPECT_EQ(1, loader.LoadSource(SeriesData(L"pictures\\small.png")));
  ASSERT_EQ(1u, target.items.size());
  EXPECT_EQ(-1, target.items[0]->m_frameIndex);
  for (int i = 0; i < 3; ++i) loader.LoadSource(SeriesData(L"slices\\IM0001.dcm"));
  size_t statuses = target.statuses.size();
  // Before item 3: twelve frames at 3..14, then the picture at 15.
  int pos = 3;
  pos += loader.InsertSource(pos, SeriesData(L"multi\\cine.dcm"));
  pos += loader.InsertSource(pos, SeriesData(L"pictures\\wide.png"));
  EXPECT_EQ(16, pos);
  ASSERT_EQ(17u, target.items.size());
  for (int f = 0; f < 12; ++f) EXPECT_EQ(f, target.items[3 + f]->m_frameIndex);
  EXPECT_STREQ(SeriesData(L"pictures\\wide.png"), target.items[15]->m_sourcePath);
  EXPECT_STREQ(SeriesData(L"slices\\IM0001.dcm"), target.items[16]->m_sourcePath);
  // Inserting writes no status.
  EXPECT_EQ(statuses, target.statuses.size());
  // Unreadable files give nothing.
  EXPECT_EQ(0, loader.LoadSource(SeriesData(L"mixed\\e.txt")));
  EXPECT_EQ(0, loader.LoadSource(SeriesData(L"no such file.dcm")));
  EXPECT_EQ(17u, target.items.size());
  EXPECT_EQ(0, TempFileCount());
}

TEST_F(SeriesLoading, WithoutTheLibraryOnlyPicturesLoad) {
  CFrameCollector target;
  CSeriesLoader loader(nullptr, &target);
  EXPECT_EQ(0, loader.LoadSource(SeriesData(L"slices\\IM0001.dcm")));
  EXPECT_EQ(1, loader.LoadSource(SeriesData(L"mixed\\b.png")));
  EXPECT_STREQ(L"Loading IM0001.dcm ...", target.statuses[0]);
  EXPECT_EQ(GetSeriesFileFilter(SERIES_FILTER_FOLDER_CHOICES),
            CString(L"*.dcm;*.dicom|*.jpg;*.jpeg;*.png;*.bmp;*.tif;*.tiff|*.*"));
  EXPECT_TRUE(GetSeriesFileFilter(3).IsEmpty());
}
