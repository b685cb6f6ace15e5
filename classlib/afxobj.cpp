#include "afxobj.h"

#include <cstring>
#include <mutex>
#include <vector>

namespace {
std::mutex& ClassLock() {
  static std::mutex* m = new std::mutex;
  return *m;
}
std::vector<CRuntimeClass*>& Classes() {
  static auto* v = new std::vector<CRuntimeClass*>;
  return *v;
}
}  // namespace

CRuntimeClass CObject::classCObject = {"CObject", (int)sizeof(CObject), 0xFFFF, nullptr, nullptr};
CRuntimeClass* CObject::GetThisClass() { return &classCObject; }
CRuntimeClass* CObject::GetRuntimeClass() const { return &classCObject; }

BOOL CObject::IsKindOf(const CRuntimeClass* cls) const { return GetRuntimeClass()->IsDerivedFrom(cls); }

BOOL CRuntimeClass::IsDerivedFrom(const CRuntimeClass* base) const {
  for (const CRuntimeClass* c = this; c; c = c->GetBaseClass())
    if (c == base) return TRUE;
  return FALSE;
}

CRuntimeClass* CRuntimeClass::FromName(LPCSTR name) {
  if (!name) return nullptr;
  std::lock_guard<std::mutex> l(ClassLock());
  for (CRuntimeClass* c : Classes())
    if (strcmp(c->m_lpszClassName, name) == 0) return c;
  return nullptr;
}

AFX_CLASSINIT::AFX_CLASSINIT(CRuntimeClass* cls) {
  std::lock_guard<std::mutex> l(ClassLock());
  Classes().push_back(cls);
}
