// A drag-reorder strip for the tests: each item's box is filled with a colour
// taken from its data, framed when selected, and carries one button (id 7) in
// its top-right corner; calls are counted and logged.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "tests/foundation/ui/ComponentsTestSupport.h"
#include "foundation/ui/DragItemStripCtrl.h"

const int kButtonId = 7;
const COLORREF kStripBack = RGB(255, 255, 255);
const COLORREF kSelectedFrame = RGB(0, 0xA0, 0xFF);
const COLORREF kButtonColor = RGB(0x40, 0x40, 0x40);

// A distinct colour for each small number.
inline COLORREF ItemColor(DWORD_PTR data) {
  static const COLORREF colors[] = {RGB(200, 60, 60),  RGB(60, 160, 60),  RGB(60, 60, 200),  RGB(200, 160, 40),
                                    RGB(140, 60, 160), RGB(40, 160, 160), RGB(120, 120, 40), RGB(200, 100, 160),
                                    RGB(100, 60, 20),  RGB(20, 100, 60)};
  return colors[data % 10];
}

class CTestStrip : public CDragItemStripCtrl {
 public:
  CTestStrip() {
    m_nItemWidth = 40;
    m_crBack = kStripBack;
  }
  int drawn = 0;
  int selectionChanges = 0;
  std::vector<std::pair<int, int>> moves;  // MoveItem calls that moved something
  int moveCalls = 0;
  std::vector<std::pair<int, int>> buttons;
  std::vector<DWORD_PTR> freed;
  BOOL deleteOnButton = TRUE;

  // The box: the item less 2 px on each side and 4 px at top and bottom.
  void GetItemBoxRect(LPCRECT lpItem, LPRECT lpBox) override {
    *lpBox = *lpItem;
    ::InflateRect(lpBox, -2, -4);
  }
  void DrawItem(CDC* pDC, int nIndex, LPCRECT lpItem) override {
    ++drawn;
    CDragItemStripCtrl::DrawItem(pDC, nIndex, lpItem);
  }
  void DrawItemBox(CDC* pDC, int nIndex, LPCRECT lpBox, BOOL bDragImage) override {
    CRect box(lpBox);
    const BOOL selected = (GetItemState(nIndex) & STRIP_ITEM_SELECTED) || bDragImage;
    pDC->FillSolidRect(&box, selected ? kSelectedFrame : kStripBack);
    CRect inner = box;
    inner.DeflateRect(3, 3);
    pDC->FillSolidRect(&inner, ItemColor(GetItemData(nIndex)));
    if (!bDragImage && nIndex == m_nHotItem) pDC->FillSolidRect(ButtonRect(box), kButtonColor);
  }
  static CRect ButtonRect(const CRect& box) { return CRect(box.right - 10, box.top, box.right, box.top + 10); }
  int HitTestItemButton(int nItem, int x, int y) override {
    CRect r, box;
    if (!GetItemRect(nItem, &r)) return -1;
    GetItemBoxRect(&r, &box);
    return ButtonRect(box).PtInRect(CPoint(x, y)) ? kButtonId : -1;
  }
  void OnItemButton(int nItem, int nButton) override {
    buttons.push_back({nItem, nButton});
    if (deleteOnButton) DeleteItem(nItem, TRUE);
  }
  BOOL MoveItem(int nFrom, int nTo) override {
    ++moveCalls;
    BOOL moved = CDragItemStripCtrl::MoveItem(nFrom, nTo);
    if (moved) moves.push_back({nFrom, nTo});
    return moved;
  }
  void OnSelectionChanged() override { ++selectionChanges; }
  void FreeItem(CStripItem* pItem) override {
    freed.push_back(pItem->m_dwData);
    CDragItemStripCtrl::FreeItem(pItem);
  }

  // "0,1,2..." of the items' data in row order.
  std::string Order() const {
    std::string s;
    for (int i = 0; i < GetItemCount(); ++i) s += (i ? "," : "") + std::to_string((long long)GetItemData(i));
    return s;
  }
  // "1,2" of the selected indices.
  std::string Selection() const {
    std::string s;
    for (int i = GetNextSelectedItem(0); i >= 0; i = GetNextSelectedItem(i + 1))
      s += (s.empty() ? "" : ",") + std::to_string(i);
    return s;
  }
  CPoint Center(int i) const {
    CRect r;
    GetItemRect(i, &r);
    return r.CenterPoint();
  }
};

inline LPARAM Pt(int x, int y) { return MAKELPARAM((WORD)(short)x, (WORD)(short)y); }
inline LPARAM Pt(CPoint p) { return Pt(p.x, p.y); }

// Shift and Ctrl as the keyboard handler reads them (this thread's key state).
class CKeyState {
 public:
  CKeyState(bool shift, bool ctrl) { Set(shift, ctrl); }
  ~CKeyState() { Set(false, false); }
  static void Set(bool shift, bool ctrl) {
    BYTE keys[256];
    ::GetKeyboardState(keys);
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    keys[VK_CONTROL] = ctrl ? 0x80 : 0;
    ::SetKeyboardState(keys);
  }
};
