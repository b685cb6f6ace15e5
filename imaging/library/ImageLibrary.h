// The programs' binding to Quillfen.dll: loading, the function table, convert
// requests, file information and the DICOM tag tree.
#pragma once
#include "afx.h"
#include "afxcoll.h"
#include "interfaces/QuillfenRecords.h"

// windows.h maps FreeModule to FreeLibrary; the loader has its own.
#ifdef FreeModule
#undef FreeModule
#endif

// The program's allocator, written into the library's table.
void* QF_CALL LibraryAlloc(size_t size);
int QF_CALL LibraryFree(void* p);
// Blocks from LibraryAlloc not yet freed (for leak checks).
long LibraryLiveBlocks();

// ---- convert requests --------------------------------------------------------

class CImageConvertFile {
 public:
  CString m_strPath;
  int m_nFormat = 0;
  int m_nFrame = -1;
  int m_bDeleteAfter = 0;
  CString m_strTempPath;
  CStringA m_strNarrowPath;
};

class CImageConvertResult {
 public:
  CString m_strFileName;
  int m_nValue = -1;
};

class CImageConvertTag {
 public:
  enum { INCLUDE = QF_TAG_INCLUDE };
  int m_nFlags = 0;
  WORD m_wGroup = 0;
  WORD m_wElement = 0;
  CString m_strText1;
  CString m_strText2;
};

class CImageConvertRequest {
 public:
  CImageConvertRequest();
  virtual ~CImageConvertRequest();

  void Reset();
  INT_PTR AddInput(LPCTSTR path, int format, int frame);
  void SetInput(LPCTSTR path, int format, int frame);
  void SetOutputPath(LPCTSTR path);
  int CountIncludedTags() const;
  void DeleteTempInputs();
  void DeleteOutputFiles();
  void DeleteAllInputs();
  void DeleteAllResults();
  void DeleteAllTags();

  int m_nWord0;
  int m_nWord1;
  CArray<CImageConvertFile*, CImageConvertFile*> m_inputs;
  CArray<CImageConvertResult*, CImageConvertResult*> m_results;
  CString m_strOutputFolder, m_strOutputName, m_strOutputExt;
  int m_nOutputFormat;
  int m_nOutputOption;
  short m_nOutputShortOption;
  int m_nMode;
  CString m_strText;
  CArray<CImageConvertTag*, CImageConvertTag*> m_tags;
};

// ---- file information and tags --------------------------------------------------

class CTagNode;

class CTagNodeArray : public CPtrArray {
 public:
  CTagNodeArray() {}
  virtual ~CTagNodeArray() { DeleteAll(); }
  void DeleteAll();
  CTagNode* GetNode(INT_PTR i) const { return static_cast<CTagNode*>(GetAt(i)); }

 private:
  CTagNodeArray(const CTagNodeArray&) = delete;
  CTagNodeArray& operator=(const CTagNodeArray&) = delete;
};

class CTagNode {
 public:
  CTagNode() {}
  virtual ~CTagNode() { delete m_pChildren; }
  void Reset();

  int m_nInfo1 = 0;
  WORD m_wGroup = 0;
  WORD m_wElement = 0;
  int m_nVR = 0;
  int m_nInfo2 = 0;
  int m_nLength = 0;
  CString m_strValue;
  CTagNodeArray* m_pChildren = nullptr;

 private:
  CTagNode(const CTagNode&) = delete;
  CTagNode& operator=(const CTagNode&) = delete;
};

class CImageFileInfo {
 public:
  CImageFileInfo() { Reset(); }
  virtual ~CImageFileInfo() {}
  void Reset();
  int GetWidth() const { return m_nInfo[2]; }
  int GetHeight() const { return m_nInfo[3]; }

  int m_nFlags;
  int m_nInfo[5];
  CTagNodeArray m_tags;
  int m_nCodePage;
};

int GetTagRecordsCodePage(const TagRecord* records, int count);
const TagRecord* FindTagRecord(const TagRecord* records, int count, WORD group, WORD element);
int DicomCharsetToCodePage(const char* text);
int ConvertTagTree(const TagRecord* records, int count, int codePage, CTagNodeArray& target);
int DecodeCodePageText(const char* text, int codePage, CString& out);
void FreeTagRecords(TagRecord* records, int count);

// ---- loader ----------------------------------------------------------------------

class CLibraryListBuffer {
 public:
  CLibraryListBuffer() {
    m_list.reserved = 0;
    m_list.count = 0;
    m_list.buffer = nullptr;
  }
  virtual ~CLibraryListBuffer() { Free(); }
  void Free();
  ListBuffer m_list;
};

#ifdef _WIN32
class CImageLibraryLoader {
 public:
  CImageLibraryLoader();
  virtual ~CImageLibraryLoader();
  virtual int Load(LPCTSTR path);
  virtual void Unload();

  int LoadModule(LPCTSTR path);
  void FreeModule();
  bool IsLoaded() const { return m_pTable != nullptr; }
  ModuleInterface* GetTable() const { return m_pTable; }

  int CallConvertFiles(ConvertRequest* request);
  int CallCanReadFile(const char* path);
  int CallReadFileInfo(const char* path, FileInfoRequest* request);
  int CallQueryList(int kind, ListBuffer* list);
  HWND CreateViewerWindow(HWND parent);

  bool CanReadFile(LPCTSTR path);
  int ConvertFiles(CImageConvertRequest& request);
  int ReadFileInfo(LPCTSTR path, CImageFileInfo& info);

  int m_nModuleVersion;
  HMODULE m_hModule;
  ModuleInterface* m_pTable;

 private:
  CImageLibraryLoader(const CImageLibraryLoader&) = delete;
  CImageLibraryLoader& operator=(const CImageLibraryLoader&) = delete;
};

class CImageLibrary : public CImageLibraryLoader {
 public:
  CImageLibrary() {}
  ~CImageLibrary() override;
  virtual int Open();

  CLibraryListBuffer m_listBuffer;
};
#endif
