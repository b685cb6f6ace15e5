#include "converter/jobs/VideoFormats.h"

#include <algorithm>

// Row i belongs to item i of the format combo box.
const VideoFormatEntry VideoFormatTable[VIDEO_FORMAT_COUNT] = {
    {L".mp4", L"mp4", L"libx264", 0, 0, 0, 0, 0, 3},     {L".mp4", L"mp4", L"mpeg4", 0, 0, 0, 0, 0, 3},
    {L".flv", L"flv", L"flv", 0, 0, 0, 0, 0, 3},         {L".avi", L"avi", L"huffyuv", 0, 0, 0, 0, 0, 3},
    {L".mov", L"mov", L"libx264", 0, 0, 0, 0, 0, 3},     {L".wmv", L"asf", L"wmv2", 0, 0, 0, 0, 0, 3},
    {L".mpg", L"mpeg", L"mpeg2video", 0, 0, 0, 0, 0, 3}, {L".mpg", L"mpeg", L"mpeg1video", 0, 0, 0, 0, 0, 3},
    {L".3gp", L"3gp", L"h263", 352, 288, 0, 0, 0, 2},    {L".vob", L"dvd", L"mpeg2video", 0, 0, 0, 0, 0, 3},
    {L".mpg", L"vcd", L"mpeg1video", 0, 0, 0, 0, 0, 3},
};

void ChooseFrameSizeAndRate(const VideoFormatEntry& row, int chosenWidth, int chosenHeight, int chosenRateNum,
                            int chosenRateDen, int& width, int& height, int& rateNum, int& rateDen) {
  // A size or rate chosen under another format counts only where it may be chosen.
  if (chosenWidth != 0 && chosenHeight != 0 && (row.dwFlags & FORMAT_SIZE_EDITABLE)) {
    width = chosenWidth;
    height = chosenHeight;
  } else {
    width = row.nWidth;
    height = row.nHeight;
  }
  if (chosenRateNum != 0 && chosenRateDen != 0 && (row.dwFlags & FORMAT_RATE_EDITABLE)) {
    rateNum = chosenRateNum;
    rateDen = chosenRateDen;
  } else {
    rateNum = row.nRateNum;
    rateDen = row.nRateDen;
  }
  if (rateNum == 0 || rateDen == 0) {
    rateNum = 10;
    rateDen = 1;
  }
  if (CString(row.pszVideoCodec).CompareNoCase(L"mpeg1video") == 0 && (double)rateNum / (double)rateDen < 20.0) {
    rateNum = 20;
    rateDen = 1;
  }
}

const VideoFormatEntry* GetVideoFormat(int index) {
  return index >= 0 && index < VIDEO_FORMAT_COUNT ? &VideoFormatTable[index] : nullptr;
}

CString PathParentOf(LPCTSTR path) {
  CString p(path ? path : L"");
  int slash = std::max(p.ReverseFind(L'\\'), p.ReverseFind(L'/'));
  if (slash < 0) return CString();
  // "C:\a.dcm" keeps the root's backslash; "\\server" style roots are left as they come.
  if (slash == 2 && p.GetLength() > 1 && p[1] == L':') return p.Left(3);
  if (slash == 0) return p.Left(1);
  return p.Left(slash);
}

CString PathBaseNameOf(LPCTSTR path) {
  CString p(path ? path : L"");
  int slash = std::max(p.ReverseFind(L'\\'), p.ReverseFind(L'/'));
  CString name = p.Mid(slash + 1);
  int dot = name.ReverseFind(L'.');
  return dot >= 0 ? name.Left(dot) : name;
}

namespace {
CString JoinPath(const CString& folder, const CString& name) {
  if (folder.IsEmpty()) return name;
  if (folder[folder.GetLength() - 1] == L'\\') return folder + name;
  return folder + L"\\" + name;
}
}  // namespace

CString ReplaceExtensionForFormat(LPCTSTR path, LPCTSTR extension) {
  CString folder = PathParentOf(path), base = PathBaseNameOf(path);
  if (folder.IsEmpty() || base.IsEmpty()) return CString();
  return JoinPath(folder, base + (extension ? extension : L""));
}

OutputProposal ProposeOutputFile(LPCTSTR currentName, LPCTSTR recentFirst, const CStringArray& sources,
                                 const VideoFormatEntry* row) {
  OutputProposal out;
  if (recentFirst && *recentFirst) out.strFolder = PathParentOf(recentFirst);
  CString ext = row ? row->pszExtension : L"";
  out.strFileName = currentName ? currentName : L"";
  if (out.strFileName.IsEmpty()) {
    if (sources.GetSize() == 1) {
      if (out.strFolder.IsEmpty()) out.strFolder = PathParentOf(sources[0]);
      out.strFileName = PathBaseNameOf(sources[0]) + ext;
    } else if (sources.GetSize() > 1) {
      CString parent = PathParentOf(sources[0]);
      if (!parent.IsEmpty()) {
        if (out.strFolder.IsEmpty()) out.strFolder = parent;
        // The folder's own name; a drive root has none.
        CString name = PathBaseNameOf(parent.Right(1) == L"\\" ? parent.Left(parent.GetLength() - 1) : parent);
        if (name.Right(1) == L":") name.Empty();
        if (!name.IsEmpty()) out.strFileName = name + ext;
      }
    }
  }
  out.strDefaultExt = row ? CString(row->pszExtension).Mid(1) : CString(L"mp4");
  return out;
}
