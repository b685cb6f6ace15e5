// Collections: CStringArray and CPtrArray, with the class library's members.
#pragma once

#include "afxstr.h"

#include <vector>

template <typename T, typename ARG = const T&>
class CArray {
 public:
  virtual ~CArray() {}
  INT_PTR GetSize() const { return (INT_PTR)m_a.size(); }
  INT_PTR GetCount() const { return GetSize(); }
  INT_PTR GetUpperBound() const { return GetSize() - 1; }
  bool IsEmpty() const { return m_a.empty(); }
  void SetSize(INT_PTR n, INT_PTR /*grow*/ = -1) { m_a.resize(n > 0 ? (size_t)n : 0); }
  void RemoveAll() { m_a.clear(); }
  void FreeExtra() { m_a.shrink_to_fit(); }
  const T& GetAt(INT_PTR i) const {
    ASSERT(i >= 0 && i < GetSize());
    return m_a[(size_t)i];
  }
  T& ElementAt(INT_PTR i) {
    ASSERT(i >= 0 && i < GetSize());
    return m_a[(size_t)i];
  }
  void SetAt(INT_PTR i, ARG v) { ElementAt(i) = v; }
  void SetAtGrow(INT_PTR i, ARG v) {
    if (i >= GetSize()) SetSize(i + 1);
    ElementAt(i) = v;
  }
  const T& operator[](INT_PTR i) const { return GetAt(i); }
  T& operator[](INT_PTR i) { return ElementAt(i); }
  INT_PTR Add(ARG v) {
    m_a.push_back(v);
    return GetSize() - 1;
  }
  INT_PTR Append(const CArray& o) {
    INT_PTR at = GetSize();
    m_a.insert(m_a.end(), o.m_a.begin(), o.m_a.end());
    return at;
  }
  void Copy(const CArray& o) { m_a = o.m_a; }
  void InsertAt(INT_PTR i, ARG v, INT_PTR count = 1) {
    if (i > GetSize()) SetSize(i);
    m_a.insert(m_a.begin() + i, (size_t)count, v);
  }
  void RemoveAt(INT_PTR i, INT_PTR count = 1) {
    ASSERT(i >= 0 && i + count <= GetSize());
    m_a.erase(m_a.begin() + i, m_a.begin() + i + count);
  }
  T* GetData() { return m_a.empty() ? nullptr : m_a.data(); }
  const T* GetData() const { return m_a.empty() ? nullptr : m_a.data(); }

 protected:
  std::vector<T> m_a;
};

class CStringArray : public CArray<CString, LPCTSTR> {
 public:
  INT_PTR Add(LPCTSTR s) { return CArray::Add(s ? s : L""); }
  INT_PTR Add(const CString& s) {
    m_a.push_back(s);
    return GetSize() - 1;
  }
};

class CPtrArray : public CArray<void*, void*> {};
