// Documents, document templates, the application's template list and the
// command line.
#include "afxwin.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <vector>

IMPLEMENT_DYNAMIC(CDocument, CCmdTarget)
IMPLEMENT_DYNAMIC(CDocTemplate, CCmdTarget)
IMPLEMENT_DYNAMIC(CSingleDocTemplate, CDocTemplate)

namespace {
// Positions over an array: index + 1, so that null ends the walk.
POSITION ToPosition(INT_PTR index) { return reinterpret_cast<POSITION>(index + 1); }
INT_PTR FromPosition(POSITION pos) { return reinterpret_cast<INT_PTR>(pos) - 1; }

void FailedToCreateDocument() {
  CString text;
  if (!AfxLoadString(AFX_IDP_FAILED_TO_CREATE_DOC, text)) text = L"Failed to create empty document.";
  AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
}
}  // namespace

// ---------------------------------------------------------------------------
// CDocument.

CDocument::CDocument() {}

CDocument::~CDocument() {
  // Views still attached lose their document.
  for (INT_PTR i = 0; i < m_viewList.GetSize(); ++i) static_cast<CView*>(m_viewList[i])->m_pDocument = nullptr;
  m_viewList.RemoveAll();
  if (m_pDocTemplate) m_pDocTemplate->RemoveDocument(this);
}

void CDocument::SetTitle(LPCTSTR lpszTitle) { m_strTitle = lpszTitle ? lpszTitle : L""; }

void CDocument::SetPathName(LPCTSTR lpszPathName, BOOL) {
  m_strPathName = lpszPathName ? lpszPathName : L"";
  SetTitle(::PathFindFileNameW(m_strPathName));
}

void CDocument::AddView(CView* pView) {
  if (!pView || pView->m_pDocument == this) return;
  m_viewList.Add(pView);
  pView->m_pDocument = this;
  OnChangedViewList();
}

void CDocument::RemoveView(CView* pView) {
  for (INT_PTR i = 0; i < m_viewList.GetSize(); ++i) {
    if (m_viewList[i] == pView) {
      m_viewList.RemoveAt(i);
      pView->m_pDocument = nullptr;
      OnChangedViewList();
      return;
    }
  }
}

void CDocument::OnChangedViewList() {
  // The last view gone: an auto-deleting document closes itself.
  if (m_viewList.GetSize() == 0 && m_bAutoDelete) OnCloseDocument();
}

POSITION CDocument::GetFirstViewPosition() const { return m_viewList.GetSize() ? ToPosition(0) : nullptr; }

CView* CDocument::GetNextView(POSITION& rPosition) const {
  INT_PTR i = FromPosition(rPosition);
  if (i < 0 || i >= m_viewList.GetSize()) {
    rPosition = nullptr;
    return nullptr;
  }
  rPosition = i + 1 < m_viewList.GetSize() ? ToPosition(i + 1) : nullptr;
  return static_cast<CView*>(m_viewList[i]);
}

void CDocument::UpdateAllViews(CView* pSender, LPARAM lHint, CObject* pHint) {
  for (INT_PTR i = 0; i < m_viewList.GetSize(); ++i) {
    CView* view = static_cast<CView*>(m_viewList[i]);
    if (view != pSender) view->OnUpdate(pSender, lHint, pHint);
  }
}

BOOL CDocument::OnNewDocument() {
  DeleteContents();
  m_strPathName.Empty();
  SetModifiedFlag(FALSE);
  return TRUE;
}

BOOL CDocument::OnOpenDocument(LPCTSTR lpszPathName) {
  // Documents here keep no file contents; the path is all there is.
  DeleteContents();
  SetModifiedFlag(FALSE);
  return lpszPathName != nullptr;
}

BOOL CDocument::CanCloseFrame(CFrameWnd* pFrame) {
  // Another frame showing this document lets this one go without asking.
  for (INT_PTR i = 0; i < m_viewList.GetSize(); ++i)
    if (static_cast<CView*>(m_viewList[i])->GetParentFrame() != pFrame) return TRUE;
  return SaveModified();
}

void CDocument::OnCloseDocument() {
  // Destroying the frames destroys the views, which leave the list; the
  // document must not delete itself on the way.
  const BOOL autoDelete = m_bAutoDelete;
  m_bAutoDelete = FALSE;
  while (m_viewList.GetSize() > 0) {
    CView* view = static_cast<CView*>(m_viewList[0]);
    CFrameWnd* frame = view->GetParentFrame();
    if (frame && frame->m_hWnd) {
      PreCloseFrame(frame);
      frame->DestroyWindow();
    } else {
      RemoveView(view);
    }
    if (m_viewList.GetSize() > 0 && m_viewList[0] == view) RemoveView(view);  // a view that outlived its frame
  }
  m_bAutoDelete = autoDelete;
  DeleteContents();
  if (m_bAutoDelete) delete this;
}

BOOL CDocument::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
  if (CCmdTarget::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo)) return TRUE;
  return m_pDocTemplate && m_pDocTemplate->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

// ---------------------------------------------------------------------------
// Templates.

CDocTemplate::CDocTemplate(UINT nIDResource, CRuntimeClass* pDocClass, CRuntimeClass* pFrameClass,
                           CRuntimeClass* pViewClass)
    : m_nIDResource(nIDResource), m_pDocClass(pDocClass), m_pFrameClass(pFrameClass), m_pViewClass(pViewClass) {}

CDocTemplate::~CDocTemplate() {}

void CDocTemplate::LoadTemplate() {
  if (m_strDocStrings.IsEmpty()) AfxLoadString(m_nIDResource, m_strDocStrings);
}

BOOL CDocTemplate::GetDocString(CString& rString, enum DocStringIndex index) const {
  return AfxExtractSubString(rString, m_strDocStrings, (int)index);
}

CDocument* CDocTemplate::CreateNewDocument() {
  if (!m_pDocClass || !m_pDocClass->IsDerivedFrom(RUNTIME_CLASS(CDocument))) return nullptr;
  CDocument* doc = static_cast<CDocument*>(m_pDocClass->CreateObject());
  if (doc) AddDocument(doc);
  return doc;
}

CFrameWnd* CDocTemplate::CreateNewFrame(CDocument* pDoc, CFrameWnd* pOther) {
  if (!m_pFrameClass || !m_pFrameClass->IsDerivedFrom(RUNTIME_CLASS(CFrameWnd))) return nullptr;
  CCreateContext context;
  context.m_pCurrentFrame = pOther;
  context.m_pCurrentDoc = pDoc;
  context.m_pNewViewClass = m_pViewClass;
  context.m_pNewDocTemplate = this;
  CFrameWnd* frame = static_cast<CFrameWnd*>(m_pFrameClass->CreateObject());
  if (!frame) return nullptr;
  // A frame that fails has deleted itself.
  if (!frame->LoadFrame(m_nIDResource, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, nullptr, &context)) return nullptr;
  return frame;
}

void CDocTemplate::InitialUpdateFrame(CFrameWnd* pFrame, CDocument* pDoc, BOOL bMakeVisible) {
  pFrame->InitialUpdateFrame(pDoc, bMakeVisible);
}

void CDocTemplate::SetDefaultTitle(CDocument* pDocument) {
  CString title;
  if (!GetDocString(title, docName) || title.IsEmpty())
    if (!AfxLoadString(AFX_IDS_UNTITLED, title)) title = L"Untitled";
  pDocument->SetTitle(title);
}

void CDocTemplate::AddDocument(CDocument* pDoc) { pDoc->m_pDocTemplate = this; }

void CDocTemplate::RemoveDocument(CDocument* pDoc) { pDoc->m_pDocTemplate = nullptr; }

BOOL CDocTemplate::SaveAllModified() {
  POSITION pos = GetFirstDocPosition();
  while (pos)
    if (CDocument* doc = GetNextDoc(pos))
      if (!doc->SaveModified()) return FALSE;
  return TRUE;
}

void CDocTemplate::CloseAllDocuments(BOOL) {
  // Each close removes the document from the template.
  for (POSITION pos = GetFirstDocPosition(); pos; pos = GetFirstDocPosition()) {
    CDocument* doc = GetNextDoc(pos);
    if (!doc) break;
    const BOOL autoDelete = doc->m_bAutoDelete;
    doc->OnCloseDocument();
    if (!autoDelete) {
      RemoveDocument(doc);
      delete doc;
    }
  }
}

CSingleDocTemplate::CSingleDocTemplate(UINT nIDResource, CRuntimeClass* pDocClass, CRuntimeClass* pFrameClass,
                                       CRuntimeClass* pViewClass)
    : CDocTemplate(nIDResource, pDocClass, pFrameClass, pViewClass) {}

CSingleDocTemplate::~CSingleDocTemplate() {
  if (m_pOnlyDoc) m_pOnlyDoc->m_pDocTemplate = nullptr;
}

void CSingleDocTemplate::AddDocument(CDocument* pDoc) {
  CDocTemplate::AddDocument(pDoc);
  m_pOnlyDoc = pDoc;
}

void CSingleDocTemplate::RemoveDocument(CDocument* pDoc) {
  CDocTemplate::RemoveDocument(pDoc);
  if (m_pOnlyDoc == pDoc) m_pOnlyDoc = nullptr;
}

POSITION CSingleDocTemplate::GetFirstDocPosition() const { return m_pOnlyDoc ? ToPosition(0) : nullptr; }

CDocument* CSingleDocTemplate::GetNextDoc(POSITION& rPos) const {
  CDocument* doc = FromPosition(rPos) == 0 ? m_pOnlyDoc : nullptr;
  rPos = nullptr;
  return doc;
}

CDocument* CSingleDocTemplate::OpenDocumentFile(LPCTSTR lpszPathName, BOOL bMakeVisible) {
  CDocument* doc = nullptr;
  CFrameWnd* frame = nullptr;
  BOOL created = FALSE;
  if (m_pOnlyDoc) {
    // The one document is reused with its frame.
    doc = m_pOnlyDoc;
    if (!doc->SaveModified()) return nullptr;
    POSITION pos = doc->GetFirstViewPosition();
    if (CView* view = doc->GetNextView(pos)) frame = view->GetParentFrame();
  } else {
    doc = CreateNewDocument();
    created = TRUE;
  }
  if (!doc) {
    FailedToCreateDocument();
    return nullptr;
  }
  if (!frame) {
    // The document must survive a frame that fails half-way.
    const BOOL autoDelete = doc->m_bAutoDelete;
    doc->m_bAutoDelete = FALSE;
    frame = CreateNewFrame(doc, nullptr);
    doc->m_bAutoDelete = autoDelete;
    if (!frame) {
      FailedToCreateDocument();
      if (created) delete doc;
      return nullptr;
    }
  }
  if (!lpszPathName) {
    SetDefaultTitle(doc);
    if (!doc->OnNewDocument()) {
      if (created) frame->DestroyWindow();
      return nullptr;
    }
  } else {
    if (!doc->OnOpenDocument(lpszPathName)) {
      if (created) frame->DestroyWindow();
      return nullptr;
    }
    doc->SetPathName(lpszPathName);
  }
  CWinThread* thread = AfxGetThread();
  if (created && thread && !thread->m_pMainWnd) thread->m_pMainWnd = frame;
  InitialUpdateFrame(frame, doc, bMakeVisible);
  return doc;
}

// ---------------------------------------------------------------------------
// The application's templates.

CDocManager::~CDocManager() {
  for (INT_PTR i = 0; i < m_templates.GetSize(); ++i) delete static_cast<CDocTemplate*>(m_templates[i]);
}

void CDocManager::AddDocTemplate(CDocTemplate* pTemplate) {
  if (!pTemplate) return;
  pTemplate->LoadTemplate();
  m_templates.Add(pTemplate);
}

int CDocManager::GetDocumentCount() {
  int count = 0;
  for (int i = 0; i < GetTemplateCount(); ++i)
    for (POSITION pos = GetTemplate(i)->GetFirstDocPosition(); pos;)
      if (GetTemplate(i)->GetNextDoc(pos)) ++count;
  return count;
}

void CDocManager::OnFileNew() {
  // With several templates the program chooses; here the first one serves.
  if (GetTemplateCount() == 0) return;
  GetTemplate(0)->OpenDocumentFile(nullptr);
}

CDocument* CDocManager::OpenDocumentFile(LPCTSTR lpszFileName) {
  if (GetTemplateCount() == 0) return nullptr;
  return GetTemplate(0)->OpenDocumentFile(lpszFileName);
}

BOOL CDocManager::SaveAllModified() {
  for (int i = 0; i < GetTemplateCount(); ++i)
    if (!GetTemplate(i)->SaveAllModified()) return FALSE;
  return TRUE;
}

void CDocManager::CloseAllDocuments(BOOL bEndSession) {
  for (int i = 0; i < GetTemplateCount(); ++i) GetTemplate(i)->CloseAllDocuments(bEndSession);
}

void CWinApp::AddDocTemplate(CDocTemplate* pTemplate) {
  if (!m_pDocManager) m_pDocManager = new CDocManager;
  m_pDocManager->AddDocTemplate(pTemplate);
}

CDocument* CWinApp::OpenDocumentFile(LPCTSTR lpszFileName) {
  return m_pDocManager ? m_pDocManager->OpenDocumentFile(lpszFileName) : nullptr;
}

BOOL CWinApp::SaveAllModified() { return m_pDocManager ? m_pDocManager->SaveAllModified() : TRUE; }

void CWinApp::CloseAllDocuments(BOOL bEndSession) {
  if (m_pDocManager) m_pDocManager->CloseAllDocuments(bEndSession);
}

void CWinApp::OnFileNew() {
  if (m_pDocManager) m_pDocManager->OnFileNew();
}

void CWinApp::OnAppExit() {
  if (m_pMainWnd && m_pMainWnd->m_hWnd) m_pMainWnd->SendMessage(WM_CLOSE);
}

// ---------------------------------------------------------------------------
// The command line.

CCommandLineInfo::CCommandLineInfo() : m_nShellCommand(FileNew) {}
CCommandLineInfo::~CCommandLineInfo() {}

void CCommandLineInfo::ParseParam(const wchar_t* pszParam, BOOL bFlag, BOOL bLast) {
  if (bFlag) {
    CStringA narrow;
    int n = ::WideCharToMultiByte(CP_ACP, 0, pszParam, -1, nullptr, 0, nullptr, nullptr);
    std::vector<char> buf(n > 0 ? (size_t)n : 1, '\0');
    if (n > 0) ::WideCharToMultiByte(CP_ACP, 0, pszParam, -1, buf.data(), n, nullptr, nullptr);
    ParseParamFlag(buf.data());
  } else {
    ParseParamNotFlag(pszParam);
  }
  ParseLast(bLast);
}

void CCommandLineInfo::ParseParam(const char* pszParam, BOOL bFlag, BOOL bLast) {
  if (bFlag) {
    ParseParamFlag(pszParam);
  } else {
    int n = ::MultiByteToWideChar(CP_ACP, 0, pszParam, -1, nullptr, 0);
    std::vector<wchar_t> buf(n > 0 ? (size_t)n : 1, L'\0');
    if (n > 0) ::MultiByteToWideChar(CP_ACP, 0, pszParam, -1, buf.data(), n);
    ParseParamNotFlag(buf.data());
  }
  ParseLast(bLast);
}

void CCommandLineInfo::ParseParamFlag(const char* pszParam) {
  if (lstrcmpiA(pszParam, "pt") == 0)
    m_nShellCommand = FilePrintTo;
  else if (lstrcmpiA(pszParam, "p") == 0)
    m_nShellCommand = FilePrint;
  else if (lstrcmpiA(pszParam, "Unregister") == 0 || lstrcmpiA(pszParam, "Unregserver") == 0)
    m_nShellCommand = AppUnregister;
  else if (lstrcmpiA(pszParam, "dde") == 0)
    m_nShellCommand = FileDDE;
  else if (lstrcmpiA(pszParam, "Embedding") == 0)
    m_bRunEmbedded = TRUE;
  else if (lstrcmpiA(pszParam, "Automation") == 0)
    m_bRunAutomated = TRUE;
}

void CCommandLineInfo::ParseParamNotFlag(const wchar_t* pszParam) {
  if (m_strFileName.IsEmpty())
    m_strFileName = pszParam;
  else if (m_nShellCommand == FilePrintTo && m_strPrinterName.IsEmpty())
    m_strPrinterName = pszParam;
  else if (m_nShellCommand == FilePrintTo && m_strDriverName.IsEmpty())
    m_strDriverName = pszParam;
  else if (m_nShellCommand == FilePrintTo && m_strPortName.IsEmpty())
    m_strPortName = pszParam;
}

void CCommandLineInfo::ParseLast(BOOL bLast) {
  if (!bLast) return;
  if (m_nShellCommand == FileNew && !m_strFileName.IsEmpty()) m_nShellCommand = FileOpen;
  m_bShowSplash = !m_bRunEmbedded && !m_bRunAutomated;
}

void CWinApp::ParseCommandLine(CCommandLineInfo& rCmdInfo) {
  int argc = 0;
  LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  if (!argv) return;
  for (int i = 1; i < argc; ++i) {
    const wchar_t* param = argv[i];
    BOOL flag = FALSE;
    if (param[0] == L'-' || param[0] == L'/') {
      flag = TRUE;
      ++param;
    }
    rCmdInfo.ParseParam(param, flag, i == argc - 1);
  }
  ::LocalFree(argv);
}

BOOL CWinApp::ProcessShellCommand(CCommandLineInfo& rCmdInfo) {
  switch (rCmdInfo.m_nShellCommand) {
    case CCommandLineInfo::FileNew:
      if (!OnCmdMsg(ID_FILE_NEW, 0, nullptr, nullptr)) OnFileNew();
      return m_pMainWnd != nullptr;
    case CCommandLineInfo::FileOpen:
      return OpenDocumentFile(rCmdInfo.m_strFileName) != nullptr;
    case CCommandLineInfo::FileNothing:
    case CCommandLineInfo::FileDDE:
      return TRUE;
    default:
      // Printing and unregistering are not supported here.
      return FALSE;
  }
}
