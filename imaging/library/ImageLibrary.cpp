#include "imaging/library/ImageLibrary.h"

#include <string.h>
#include <atomic>
#include <new>
#include <string>
#include <vector>
#include <shlwapi.h>

#include "foundation/Folders.h"
#include "foundation/AnsiText.h"
#include "foundation/FileSystem.h"
#include "afxapp.h"

namespace {
// Text in the system ANSI code page, as the library takes paths and values.
CStringA AnsiText(const CString& text) {
  CStringA out;
  WideToAnsi(text, out);
  return out;
}

std::atomic<long> g_liveBlocks{0};

// A fixed-size text field of the library, read no further than its size.
CStringA BoundedText(const char* field, size_t size) { return CStringA(field, (int)strnlen(field, size)); }
}  // namespace

void* QF_CALL LibraryAlloc(size_t size) {
  if (size == 0) return nullptr;
  void* p = new (std::nothrow) BYTE[size];
  if (p) ++g_liveBlocks;
  return p;
}

int QF_CALL LibraryFree(void* p) {
  if (!p) return -1;
  delete[] static_cast<BYTE*>(p);
  --g_liveBlocks;
  return 0;
}

long LibraryLiveBlocks() { return g_liveBlocks.load(); }

// ---- convert requests --------------------------------------------------------

CImageConvertRequest::CImageConvertRequest() { Reset(); }

CImageConvertRequest::~CImageConvertRequest() {
  DeleteAllInputs();
  DeleteAllResults();
  DeleteAllTags();
}

void CImageConvertRequest::DeleteAllInputs() {
  for (INT_PTR i = 0; i < m_inputs.GetSize(); ++i) delete m_inputs[i];
  m_inputs.RemoveAll();
}

void CImageConvertRequest::DeleteAllResults() {
  for (INT_PTR i = 0; i < m_results.GetSize(); ++i) delete m_results[i];
  m_results.RemoveAll();
}

void CImageConvertRequest::DeleteAllTags() {
  for (INT_PTR i = 0; i < m_tags.GetSize(); ++i) delete m_tags[i];
  m_tags.RemoveAll();
}

void CImageConvertRequest::Reset() {
  m_nWord0 = 0;
  m_nWord1 = 0;
  DeleteAllInputs();
  DeleteAllResults();
  DeleteAllTags();
  m_strOutputFolder.Empty();
  m_strOutputName.Empty();
  m_strOutputExt.Empty();
  m_nOutputFormat = 0;
  m_nOutputOption = 1;
  m_nOutputShortOption = 0;
  m_nMode = 0;
  m_strText.Empty();
}

INT_PTR CImageConvertRequest::AddInput(LPCTSTR path, int format, int frame) {
  CImageConvertFile* f = new CImageConvertFile;
  f->m_strPath = path;
  f->m_nFormat = format;
  f->m_nFrame = frame;
  return m_inputs.Add(f);
}

void CImageConvertRequest::SetInput(LPCTSTR path, int format, int frame) {
  DeleteAllInputs();
  AddInput(path, format, frame);
}

void CImageConvertRequest::SetOutputPath(LPCTSTR path) {
  const CString p(path);
  m_strOutputFolder = GetParentFolder(p);
  m_strOutputName = GetFileBaseName(p);
  const wchar_t* name = PathFindFileNameW(p);
  const wchar_t* dot = name ? wcsrchr(name, L'.') : nullptr;
  m_strOutputExt = dot && dot != name ? CString(dot) : CString();
}

int CImageConvertRequest::CountIncludedTags() const {
  int n = 0;
  for (INT_PTR i = 0; i < m_tags.GetSize(); ++i)
    if (m_tags[i]->m_nFlags & CImageConvertTag::INCLUDE) ++n;
  return n;
}

void CImageConvertRequest::DeleteTempInputs() {
  for (INT_PTR i = 0; i < m_inputs.GetSize(); ++i)
    if (m_inputs[i]->m_bDeleteAfter) DeleteFileIfExists(m_inputs[i]->m_strTempPath);
}

void CImageConvertRequest::DeleteOutputFiles() {
  for (INT_PTR i = 0; i < m_results.GetSize(); ++i) {
    CString path;
    if (m_strOutputFolder.IsEmpty())
      path = m_results[i]->m_strFileName;
    else
      path.Format(L"%s\\%s", (LPCTSTR)m_strOutputFolder, (LPCTSTR)m_results[i]->m_strFileName);
    DeleteFileIfExists(path);
  }
}

// ---- tags ------------------------------------------------------------------------

void CTagNodeArray::DeleteAll() {
  for (INT_PTR i = 0; i < GetSize(); ++i) delete GetNode(i);
  RemoveAll();
}

void CTagNode::Reset() {
  m_nInfo1 = 0;
  m_wGroup = m_wElement = 0;
  m_nVR = m_nInfo2 = m_nLength = 0;
  m_strValue.Empty();
  delete m_pChildren;
  m_pChildren = nullptr;
}

void CImageFileInfo::Reset() {
  m_nFlags = 0;
  for (int& w : m_nInfo) w = 0;
  m_nCodePage = 0;
  m_tags.DeleteAll();
}

const TagRecord* FindTagRecord(const TagRecord* records, int count, WORD group, WORD element) {
  if (!records) return nullptr;
  for (int i = 0; i < count; ++i)
    if (records[i].group == group && records[i].element == element) return &records[i];
  return nullptr;
}

int DicomCharsetToCodePage(const char* text) {
  if (!text || !*text) return 0;
  static const struct {
    const char* name;
    int cp;
  } kMap[] = {{"ISO_IR 6", 65001},   {"ISO_IR 192", 65001}, {"ISO_IR 100", 28591}, {"ISO_IR 101", 28592},
              {"ISO_IR 109", 28593}, {"ISO_IR 110", 28594}, {"ISO_IR 144", 28595}, {"ISO_IR 127", 28596},
              {"ISO_IR 126", 28597}, {"ISO_IR 138", 28598}, {"ISO_IR 148", 28599}};
  for (const auto& m : kMap)
    if (strcmp(text, m.name) == 0) return m.cp;
  return 0;
}

int GetTagRecordsCodePage(const TagRecord* records, int count) {
  const TagRecord* r = FindTagRecord(records, count, 0x0008, 0x0005);
  if (!r) return 0;
  const CStringA text = BoundedText(r->text, sizeof r->text);
  return text.IsEmpty() ? 0 : DicomCharsetToCodePage(text);
}

int DecodeCodePageText(const char* text, int codePage, CString& out) {
  out.Empty();
  if (!text) return -1;
  const int n = MultiByteToWideChar((UINT)codePage, 0, text, -1, nullptr, 0);
  if (n <= 0) return -1;
  CString buffer;
  wchar_t* p = buffer.GetBufferSetLength(n + 1);
  memset(p, 0, sizeof(wchar_t) * (size_t)(n + 1));
  MultiByteToWideChar((UINT)codePage, 0, text, -1, p, n);
  p[n] = 0;
  out = CString(p);
  return n;
}

int ConvertTagTree(const TagRecord* records, int count, int codePage, CTagNodeArray& target) {
  if (!records || count <= 0) return -1;
  for (int i = 0; i < count; ++i) {
    const TagRecord& r = records[i];
    CTagNode* node = new CTagNode;
    node->m_nInfo1 = r.info1;
    node->m_wGroup = r.group;
    node->m_wElement = r.element;
    node->m_nVR = r.vr;
    node->m_nInfo2 = r.info2;
    node->m_nLength = r.length;
    if (r.length > 0) {
      const CStringA text = BoundedText(r.text, sizeof r.text);
      switch (r.vr) {
        case QF_VR_LO:
        case QF_VR_LT:
        case QF_VR_PN:
        case QF_VR_SH:
        case QF_VR_ST:
        case QF_VR_UT:
          DecodeCodePageText(text, codePage, node->m_strValue);
          break;
        default:
          node->m_strValue = text;
          break;
      }
    }
    target.Add(node);
    if (r.children) {
      node->m_pChildren = new CTagNodeArray;
      ConvertTagTree(r.children, r.childCount, codePage, *node->m_pChildren);
    }
  }
  return 0;
}

void FreeTagRecords(TagRecord* records, int count) {
  if (!records) return;
  for (int i = 0; i < count; ++i)
    if (records[i].children) FreeTagRecords(records[i].children, records[i].childCount);
  LibraryFree(records);
}

void CLibraryListBuffer::Free() {
  if (m_list.buffer) LibraryFree(m_list.buffer);
  m_list.buffer = nullptr;
  m_list.count = 0;
}

// ---- loader ----------------------------------------------------------------------

CImageLibraryLoader::CImageLibraryLoader() : m_nModuleVersion(0), m_hModule(nullptr), m_pTable(nullptr) {}

CImageLibraryLoader::~CImageLibraryLoader() { CImageLibraryLoader::Unload(); }

int CImageLibraryLoader::LoadModule(LPCTSTR path) {
  FreeModule();
  m_hModule = LoadLibraryW(path);
  if (m_hModule) return 0;
  AfxMessageBox(GetLastErrorText(), MB_OK);
  return -1;
}

void CImageLibraryLoader::FreeModule() {
  if (m_hModule) FreeLibrary(m_hModule);
  m_hModule = nullptr;
}

int CImageLibraryLoader::Load(LPCTSTR path) {
  if (LoadModule(path) != 0) return -1;
  auto version =
      reinterpret_cast<QfGetModuleVersionFn>(reinterpret_cast<void*>(GetProcAddress(m_hModule, "GetModuleVersion")));
  if (version) {
    m_nModuleVersion = version(0);
    auto getTable = reinterpret_cast<QfGetModuleInterfaceFn>(
        reinterpret_cast<void*>(GetProcAddress(m_hModule, "GetModuleInterface")));
    if (getTable && (m_pTable = getTable()) != nullptr) {
      m_pTable->pfnAlloc = LibraryAlloc;
      m_pTable->pfnFree = LibraryFree;
      if (m_pTable->pfnInitialize && m_pTable->pfnInitialize() == 0) return 0;
    }
  }
  Unload();
  return -1;
}

void CImageLibraryLoader::Unload() {
  if (m_pTable) {
    if (m_pTable->pfnRelease) m_pTable->pfnRelease();
    m_pTable = nullptr;
  }
  FreeModule();
}

int CImageLibraryLoader::CallConvertFiles(ConvertRequest* request) {
  return m_pTable && m_pTable->pfnConvertFiles ? m_pTable->pfnConvertFiles(request) : -1;
}

int CImageLibraryLoader::CallCanReadFile(const char* path) {
  return m_pTable && m_pTable->pfnCanReadFile ? m_pTable->pfnCanReadFile(path) : -1;
}

int CImageLibraryLoader::CallReadFileInfo(const char* path, FileInfoRequest* request) {
  return m_pTable && m_pTable->pfnReadFileInfo ? m_pTable->pfnReadFileInfo(path, request) : -1;
}

int CImageLibraryLoader::CallQueryList(int kind, ListBuffer* list) {
  return m_pTable && m_pTable->pfnQueryList ? m_pTable->pfnQueryList(kind, list) : -1;
}

HWND CImageLibraryLoader::CreateViewerWindow(HWND parent) {
  return m_pTable && m_pTable->pfnCreateViewerWindow ? m_pTable->pfnCreateViewerWindow(parent) : nullptr;
}

bool CImageLibraryLoader::CanReadFile(LPCTSTR path) {
  CStringA narrow;
  if (!PathForLibrary(path, narrow)) return false;
  return CallCanReadFile(narrow) == 1;
}

int CImageLibraryLoader::ConvertFiles(CImageConvertRequest& request) {
  const INT_PTR inputCount = request.m_inputs.GetSize();
  if (inputCount == 0) return -1;
  // Paths the library could not be given exactly fail here instead of
  // reaching it as the names of other files.
  for (INT_PTR i = 0; i < inputCount; ++i)
    if (!PathForLibrary(request.m_inputs[i]->m_strPath, request.m_inputs[i]->m_strNarrowPath)) return -1;
  CStringA folder, name, ext;
  if (!PathForLibrary(request.m_strOutputFolder, folder) || !WideToAnsiExact(request.m_strOutputName, name) ||
      !WideToAnsiExact(request.m_strOutputExt, ext))
    return -1;

  ConvertInput* inputs = new ConvertInput[(size_t)inputCount];
  memset(inputs, 0, sizeof(ConvertInput) * (size_t)inputCount);
  for (INT_PTR i = 0; i < inputCount; ++i) {
    CImageConvertFile* in = request.m_inputs[i];
    inputs[i].path = in->m_strNarrowPath;
    inputs[i].format = in->m_nFormat;
    inputs[i].zero = 0;
    inputs[i].frame = in->m_nFrame;
  }

  ConvertTag* tags = nullptr;
  int tagCount = 0;
  if (request.m_nMode == 3) {
    tagCount = request.CountIncludedTags();
    if (tagCount > 0) {
      tags = new ConvertTag[(size_t)tagCount];
      memset(tags, 0, sizeof(ConvertTag) * (size_t)tagCount);
      int t = 0;
      for (INT_PTR i = 0; i < request.m_tags.GetSize(); ++i) {
        const CImageConvertTag* tag = request.m_tags[i];
        if (!(tag->m_nFlags & CImageConvertTag::INCLUDE)) continue;
        tags[t].flags = tag->m_nFlags;
        tags[t].group = tag->m_wGroup;
        tags[t].element = tag->m_wElement;
        const CStringA a = AnsiText(tag->m_strText1), b = AnsiText(tag->m_strText2);
        memcpy(tags[t].text1, a.GetString(), std::min<size_t>((size_t)a.GetLength(), sizeof tags[t].text1 - 1));
        memcpy(tags[t].text2, b.GetString(), std::min<size_t>((size_t)b.GetLength(), sizeof tags[t].text2 - 1));
        ++t;
      }
    } else {
      request.m_nMode = 1;
    }
  }
  const CStringA text = request.m_strText.IsEmpty() ? CStringA() : AnsiText(request.m_strText);

  ConvertRequest r;
  memset(&r, 0, sizeof r);
  r.word0 = request.m_nWord0;
  r.word1 = request.m_nWord1;
  r.inputCount = (int32_t)inputCount;
  r.inputs = inputs;
  r.outputFolder = request.m_strOutputFolder.IsEmpty() ? nullptr : folder.GetString();
  r.outputName = request.m_strOutputName.IsEmpty() ? nullptr : name.GetString();
  r.outputExt = request.m_strOutputExt.IsEmpty() ? nullptr : ext.GetString();
  r.outputFormat = request.m_nOutputFormat;
  r.outputOption = request.m_nOutputOption;
  r.outputShortOption = request.m_nOutputShortOption;
  r.mode = request.m_nMode;
  r.tagCount = tags ? tagCount : 0;
  r.tags = tags;
  r.text = request.m_strText.IsEmpty() ? nullptr : text.GetString();

  int result = CallConvertFiles(&r);
  delete[] inputs;
  delete[] tags;
  request.DeleteTempInputs();
  if (!r.outputs) result = -1;
  if (result != 0) {
    if (r.outputs) LibraryFree(r.outputs);
    request.DeleteOutputFiles();
    return result;
  }
  for (int i = 0; i < r.outputCount; ++i) {
    CImageConvertResult* res = new CImageConvertResult;
    res->m_strFileName = BoundedText(r.outputs[i].name, sizeof r.outputs[i].name);
    res->m_nValue = r.outputs[i].value;
    request.m_results.Add(res);
  }
  LibraryFree(r.outputs);
  return 0;
}

int CImageLibraryLoader::ReadFileInfo(LPCTSTR path, CImageFileInfo& info) {
  CStringA narrow;
  if (!PathForLibrary(path, narrow)) return -1;
  FileInfoRequest req;
  memset(&req, 0, sizeof req);
  req.flags = info.m_nFlags;
  const int result = CallReadFileInfo(narrow, &req);
  if (result != 0) {
    FreeTagRecords(req.tags, req.tagCount);
    return -1;
  }
  const bool wanted = (info.m_nFlags & QF_FILEINFO_TAGS) != 0;
  info.m_nFlags = req.flags;
  info.m_nInfo[0] = req.info1;
  info.m_nInfo[1] = req.info2;
  info.m_nInfo[2] = req.width;
  info.m_nInfo[3] = req.height;
  info.m_nInfo[4] = req.info5;
  if (wanted && req.tagCount > 0 && req.tags) {
    info.m_nCodePage = GetTagRecordsCodePage(req.tags, req.tagCount);
    ConvertTagTree(req.tags, req.tagCount, info.m_nCodePage, info.m_tags);
  }
  // Whatever the flags, an array that came back is ours to free.
  FreeTagRecords(req.tags, req.tagCount);
  return 0;
}

CImageLibrary::~CImageLibrary() {
  m_listBuffer.Free();
  CImageLibraryLoader::Unload();
}

int CImageLibrary::Open() {
  const CString path = GetProgramFolder() + L"\\Quillfen.dll";
  if (Load(path) != 0) return -1;
  m_listBuffer.Free();
  CallQueryList(0, &m_listBuffer.m_list);
  return 0;
}
