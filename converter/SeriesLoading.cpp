#include "SeriesLoading.h"

#include <shlwapi.h>

#include <algorithm>
#include <vector>

#include "FileFilter.h"
#include "Folders.h"
#include "Helpers.h"
#include "ImageLibrary.h"
#include "afxfile.h"

CString GetSeriesFileFilter(int kind) {
  switch (kind) {
    case 0:
      return L"DICOM Images (*.dcm;*.dicom)|*.dcm;*.dicom|Common Images (*.jpg;*.jpeg;*.png;*.bmp;*.tif;*.tiff)|"
             L"*.jpg;*.jpeg;*.png;*.bmp;*.tif;*.tiff|All Files (*.*)|*.*||";
    case 1:
      return L"*.dcm;*.dicom|*.jpg;*.jpeg;*.png;*.bmp;*.tif;*.tiff|*.*";
    case 2:
      return L"*.dcm;*.dicom;*.jpg;*.jpeg;*.png;*.bmp;*.tif;*.tiff";
    default:
      return CString();
  }
}

namespace {
CString FileNamePart(LPCTSTR path) { return ::PathFindFileNameW(path); }
}  // namespace

bool CSeriesLoader::Put(LPCTSTR source, int frameIndex, CRasterImage& image, int& position) {
  CFrameItem* item = new CFrameItem;
  item->m_sourcePath = source;
  item->m_frameIndex = frameIndex;
  item->m_image.TakeOver(image);
  m_pTarget->PutFrame(item, position);
  if (position >= 0) ++position;
  return true;
}

int CSeriesLoader::ReadFrames(LPCTSTR path, int position, bool withStatus) {
  if (withStatus) {
    CString text;
    text.Format(L"Loading %s ...", (LPCTSTR)FileNamePart(path));
    m_pTarget->ShowLoadStatus(text);
  }
  int added = 0;
  if (m_pLibrary && m_pLibrary->IsLoaded() && m_pLibrary->CanReadFile(path)) {
    CString temp = CreateTempFileName();
    CTempFileGuard guard(temp, 1);
    CImageConvertRequest request;
    request.AddInput(path, 0, -1);
    request.SetOutputPath(temp);
    request.m_nOutputFormat = 1010;
    if (temp.IsEmpty() || m_pLibrary->ConvertFiles(request) != 0) return 0;
    if (request.m_results.GetSize() > 0) {
      for (INT_PTR i = 0; i < request.m_results.GetSize(); ++i) {
        CString file;
        file.Format(L"%s\\%s", (LPCTSTR)request.m_strOutputFolder, (LPCTSTR)request.m_results[i]->m_strFileName);
        CRasterImage image;
        if (::PathFileExistsW(file) && image.Load(file, 0)) {
          Put(path, (int)i, image, position);
          ++added;
        }
      }
      request.DeleteOutputFiles();
    } else {
      CRasterImage image;
      if (!image.Load(temp, 0)) return 0;
      Put(path, -1, image, position);
      ++added;
    }
  } else {
    CRasterImage image;
    if (!image.Load(path, 0)) return 0;
    Put(path, -1, image, position);
    ++added;
  }
  if (added > 0) {
    m_pTarget->FramesAdded();
    if (withStatus) {
      CString text;
      text.Format(L"Loaded %s.", (LPCTSTR)FileNamePart(path));
      m_pTarget->ShowLoadStatus(text);
    }
  }
  return added;
}

int CSeriesLoader::LoadSource(LPCTSTR path) { return ReadFrames(path, -1, true); }

int CSeriesLoader::InsertSource(int position, LPCTSTR path) {
  return ReadFrames(path, position < 0 ? 0 : position, false);
}

int CSeriesLoader::ScanFolder(LPCTSTR folder, LPCTSTR pattern, int subfolders) {
  CFileFilter filter;
  filter.SetPatterns(pattern, nullptr, 0);
  struct Entry {
    CString name, path;
    bool folder;
  };
  std::vector<Entry> entries;
  CFileFind find;
  CString wildcard;
  wildcard.Format(L"%s\\*", folder);
  BOOL more = find.FindFile(wildcard);
  while (more) {
    more = find.FindNextFile();
    if (find.IsDots()) continue;
    entries.push_back({find.GetFileName(), find.GetFilePath(), find.IsDirectory() != FALSE});
  }
  find.Close();
  // The order a Windows file system lists names in, whatever the disk gives.
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    return ::CompareStringOrdinal(a.name, -1, b.name, -1, TRUE) == CSTR_LESS_THAN;
  });
  int added = 0;
  for (const Entry& e : entries) {
    if (m_pTarget->StopRequested()) break;
    if (e.folder) {
      if (subfolders) added += ScanFolder(e.path, pattern, subfolders);
    } else if (filter.Match(e.name)) {
      added += LoadSource(e.path);
    }
  }
  return added;
}
