// Run-time class information: CObject, CRuntimeClass and the DECLARE_/IMPLEMENT_ macros.
#pragma once
#include "afxplatform.h"

class CObject;

// An opaque iteration position.
struct __POSITION {};
typedef __POSITION* POSITION;

struct CRuntimeClass {
  LPCSTR m_lpszClassName;
  int m_nObjectSize;
  UINT m_wSchema;
  CObject* (*m_pfnCreateObject)();
  CRuntimeClass* (*m_pfnGetBaseClass)();

  CObject* CreateObject() const { return m_pfnCreateObject ? m_pfnCreateObject() : nullptr; }
  BOOL IsDerivedFrom(const CRuntimeClass* base) const;
  CRuntimeClass* GetBaseClass() const { return m_pfnGetBaseClass ? m_pfnGetBaseClass() : nullptr; }
  // Looks a dynamically creatable class up by name among the classes declared so far.
  static CRuntimeClass* FromName(LPCSTR name);
};

class CObject {
 public:
  virtual ~CObject() {}
  virtual CRuntimeClass* GetRuntimeClass() const;
  BOOL IsKindOf(const CRuntimeClass* cls) const;
  static CRuntimeClass classCObject;
  static CRuntimeClass* GetThisClass();

 protected:
  CObject() {}

 private:
  CObject(const CObject&) = delete;
  CObject& operator=(const CObject&) = delete;
};

// Registers a class so CRuntimeClass::FromName finds it (used by the macros).
struct AFX_CLASSINIT {
  explicit AFX_CLASSINIT(CRuntimeClass* cls);
};

#define RUNTIME_CLASS(cls) (cls::GetThisClass())

#define DECLARE_DYNAMIC(cls)            \
 public:                                \
  static CRuntimeClass class##cls;      \
  static CRuntimeClass* GetThisClass(); \
  CRuntimeClass* GetRuntimeClass() const override;

#define DECLARE_DYNCREATE(cls) \
  DECLARE_DYNAMIC(cls)         \
  static CObject* CreateObject();

#define AFX_IMPLEMENT_RUNTIMECLASS(cls, base, schema, create)                                    \
  CRuntimeClass cls::class##cls = {#cls, (int)sizeof(cls), schema, create, &base::GetThisClass}; \
  CRuntimeClass* cls::GetThisClass() { return &cls::class##cls; }                                \
  CRuntimeClass* cls::GetRuntimeClass() const { return &cls::class##cls; }

#define IMPLEMENT_DYNAMIC(cls, base) AFX_IMPLEMENT_RUNTIMECLASS(cls, base, 0xFFFF, nullptr)

#define IMPLEMENT_DYNCREATE(cls, base)                              \
  CObject* cls::CreateObject() { return new cls; }                  \
  AFX_IMPLEMENT_RUNTIMECLASS(cls, base, 0xFFFF, &cls::CreateObject) \
  static const AFX_CLASSINIT _init_##cls(&cls::class##cls);

// A checked downcast: null when the object is not of the class.
template <class T>
T* AfxDynamicDownCast(CObject* obj) {
  return obj && obj->IsKindOf(RUNTIME_CLASS(T)) ? static_cast<T*>(obj) : nullptr;
}
#define DYNAMIC_DOWNCAST(cls, obj) AfxDynamicDownCast<cls>(obj)
#define STATIC_DOWNCAST(cls, obj) static_cast<cls*>(obj)
