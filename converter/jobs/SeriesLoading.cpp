#include "converter/jobs/SeriesLoading.h"

#include <shlwapi.h>

#include <algorithm>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "foundation/FileFilter.h"
#include "foundation/Folders.h"
#include "foundation/FileSystem.h"
#include "imaging/library/ImageLibrary.h"
#include "afxfile.h"

CString GetSeriesFileFilter(int kind) {
  switch (kind) {
    case SERIES_FILTER_ADD_FILES:
      return L"DICOM Images (*.dcm;*.dicom)|*.dcm;*.dicom|Common Images (*.jpg;*.jpeg;*.png;*.bmp;*.tif;*.tiff)|"
             L"*.jpg;*.jpeg;*.png;*.bmp;*.tif;*.tiff|All Files (*.*)|*.*||";
    case SERIES_FILTER_FOLDER_CHOICES:
      return L"*.dcm;*.dicom|*.jpg;*.jpeg;*.png;*.bmp;*.tif;*.tiff|*.*";
    case SERIES_FILTER_DROP_PATTERN:
      return L"*.dcm;*.dicom;*.jpg;*.jpeg;*.png;*.bmp;*.tif;*.tiff";
    default:
      return CString();
  }
}

namespace {
CString FileNamePart(LPCTSTR path) { return ::PathFindFileNameW(path); }
}  // namespace

bool CSeriesLoader::Put(LPCTSTR source, int frameIndex, CRasterImage& image, int& position) {
  std::shared_ptr<CFrameItem> item = std::make_shared<CFrameItem>();
  item->m_sourcePath = source;
  item->m_frameIndex = frameIndex;
  item->m_image.TakeOver(image);
  m_pTarget->PutFrame(std::move(item), position);
  if (position >= 0) ++position;
  return true;
}

std::unique_ptr<CDecodedSource> CSeriesLoader::Decode(CImageLibraryLoader* library, LPCTSTR path) {
  std::unique_ptr<CDecodedSource> out(new CDecodedSource);
  auto take = [&](CRasterImage& image, int index) {
    CRasterImage* kept = new CRasterImage;
    kept->TakeOver(image);
    out->images.emplace_back(kept, index);
  };
  if (library && library->IsLoaded() && library->CanReadFile(path)) {
    CString temp = CreateTempFileName();
    CTempFileGuard guard(temp, 1);
    CImageConvertRequest request;
    request.AddInput(path, 0, -1);
    request.SetOutputPath(temp);
    request.m_nOutputFormat = 1010;
    if (temp.IsEmpty() || library->ConvertFiles(request) != 0) return out;
    if (request.m_results.GetSize() > 0) {
      for (INT_PTR i = 0; i < request.m_results.GetSize(); ++i) {
        CString file;
        file.Format(L"%s\\%s", (LPCTSTR)request.m_strOutputFolder, (LPCTSTR)request.m_results[i]->m_strFileName);
        CRasterImage image;
        if (::PathFileExistsW(file) && image.Load(file, 0)) take(image, (int)i);
      }
      request.DeleteOutputFiles();
    } else {
      CRasterImage image;
      if (image.Load(temp, 0)) take(image, -1);
    }
  } else {
    CRasterImage image;
    if (image.Load(path, 0)) take(image, -1);
  }
  return out;
}

CDecodedSource::~CDecodedSource() {
  for (auto& p : images) delete p.first;
}

int CSeriesLoader::Deliver(LPCTSTR path, CDecodedSource& decoded, int position, bool withStatus) {
  int added = 0;
  for (auto& p : decoded.images) {
    Put(path, p.second, *p.first, position);
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

int CSeriesLoader::ReadFrames(LPCTSTR path, int position, bool withStatus) {
  if (withStatus) ShowLoading(path);
  std::unique_ptr<CDecodedSource> decoded = Decode(m_pLibrary, path);
  return Deliver(path, *decoded, position, withStatus);
}

void CSeriesLoader::ShowLoading(LPCTSTR path) {
  CString text;
  text.Format(L"Loading %s ...", (LPCTSTR)FileNamePart(path));
  m_pTarget->ShowLoadStatus(text);
}

int CSeriesLoader::LoadFiles(const std::vector<CString>& paths) {
  // Files are decoded a few at a time ahead of the one being delivered; they
  // are delivered one by one in their order, as LoadSource would.
  const size_t workers = std::max(1u, std::min(4u, std::thread::hardware_concurrency()));
  const size_t window = workers * 2;
  std::vector<std::future<std::unique_ptr<CDecodedSource>>> pending(paths.size());
  size_t next = 0;
  auto launch = [&](size_t upTo) {
    for (; next < paths.size() && next < upTo; ++next) {
      CString path = paths[next];
      CImageLibraryLoader* library = m_pLibrary;
      pending[next] = std::async(std::launch::async, [library, path] { return Decode(library, path); });
    }
  };
  int added = 0;
  size_t i = 0;
  for (; i < paths.size(); ++i) {
    if (m_pTarget->StopRequested()) break;
    launch(i + window);
    ShowLoading(paths[i]);
    std::unique_ptr<CDecodedSource> decoded = pending[i].get();
    added += Deliver(paths[i], *decoded, -1, true);
  }
  // What was started and not delivered is waited for and dropped.
  for (; i < next; ++i)
    if (pending[i].valid()) pending[i].get();
  return added;
}

int CSeriesLoader::LoadPaths(const CStringArray& paths, LPCTSTR pattern, int subfolders) {
  int added = 0;
  std::vector<CString> files;
  for (INT_PTR i = 0; i < paths.GetSize() && !m_pTarget->StopRequested(); ++i) {
    if (!::PathIsDirectoryW(paths[i])) {
      files.push_back(paths[i]);
      continue;
    }
    added += LoadFiles(files);
    files.clear();
    if (!m_pTarget->StopRequested()) added += ScanFolder(paths[i], pattern, subfolders);
  }
  if (!m_pTarget->StopRequested()) added += LoadFiles(files);
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
    bool link;  // a junction or symbolic link to a folder
  };
  std::vector<Entry> entries;
  CFileFind find;
  CString wildcard;
  wildcard.Format(L"%s\\*", folder);
  BOOL more = find.FindFile(wildcard);
  while (more) {
    more = find.FindNextFile();
    if (find.IsDots()) continue;
    entries.push_back({find.GetFileName(), find.GetFilePath(), find.IsDirectory() != FALSE,
                       find.MatchesMask(FILE_ATTRIBUTE_REPARSE_POINT) != FALSE});
  }
  find.Close();
  // The order a Windows file system lists names in, whatever the disk gives.
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    return ::CompareStringOrdinal(a.name, -1, b.name, -1, TRUE) == CSTR_LESS_THAN;
  });
  int added = 0;
  std::vector<CString> files;
  for (const Entry& e : entries) {
    if (m_pTarget->StopRequested()) break;
    if (e.folder) {
      added += LoadFiles(files);
      files.clear();
      // Links are not followed: one back to a parent would repeat files without end.
      if (subfolders && !e.link) added += ScanFolder(e.path, pattern, subfolders);
    } else if (filter.Match(e.name)) {
      files.push_back(e.path);
    }
  }
  if (!m_pTarget->StopRequested()) added += LoadFiles(files);
  return added;
}
