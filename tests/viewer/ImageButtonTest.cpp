// The idle view's picture buttons: pictures from PNG resources, the draw
// states, the hover picture centred at the normal picture's size.
#include <gtest/gtest.h>

#include "tests/support/UiTestSupport.h"
#include "tests/viewer/ViewerTestSupport.h"

namespace {
// A button's pixels in a memory context: DrawButton as the owner draw does it.
CWindowShot Render(CImageButton& button, int width, int height, int state) {
  HDC screen = ::GetDC(nullptr);
  CDC mem;
  mem.Attach(::CreateCompatibleDC(screen));
  CBitmap bmp;
  bmp.Attach(::CreateCompatibleBitmap(screen, width, height));
  CBitmap* old = mem.SelectObject(&bmp);
  button.DrawButton(&mem, 0, 0, width, height, state);
  CWindowShot shot;
  shot.m_nWidth = width;
  shot.m_nHeight = height;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) shot.m_pixels.push_back(mem.GetPixel(x, y));
  mem.SelectObject(old);
  ::ReleaseDC(nullptr, screen);
  return shot;
}

CRect Painted(const CWindowShot& shot, COLORREF background) {
  CRect box(shot.m_nWidth, shot.m_nHeight, -1, -1);
  for (int y = 0; y < shot.m_nHeight; ++y)
    for (int x = 0; x < shot.m_nWidth; ++x)
      if (!ColorNear(shot.At(x, y), background, 2)) {
        box.left = std::min(box.left, (LONG)x);
        box.top = std::min(box.top, (LONG)y);
        box.right = std::max(box.right, (LONG)x + 1);
        box.bottom = std::max(box.bottom, (LONG)y + 1);
      }
  return box;
}
}  // namespace

TEST(ImageButton, PicturesFromResourcesAndMissingOnes) {
  CRasterImage missing;
  EXPECT_FALSE(missing.LoadFromResource(nullptr, RASTER_TYPE_PNG));
  EXPECT_STREQ("Unable to load resource!", missing.GetErrorText());
  HMODULE module = ::GetModuleHandleW(nullptr);
  for (UINT id : {IDP_OPENFILES, IDP_OPENFILES_HOVER, IDP_OPENFOLDER, IDP_OPENFOLDER_HOVER}) {
    CRasterImage picture;
    ASSERT_TRUE(
        picture.LoadFromResource(::FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG"), RASTER_TYPE_PNG, module))
        << id << ": " << picture.GetErrorText();
    EXPECT_EQ(64u, picture.GetWidth());
    EXPECT_EQ(64u, picture.GetHeight());
    EXPECT_TRUE(picture.HasAlpha());
  }
  // Bytes that are no picture fail in the decoder.
  CRasterImage wrong;
  EXPECT_FALSE(wrong.LoadFromResource(::FindResourceW(module, MAKEINTRESOURCEW(IDR_MAINFRAME), RT_MENU),
                                      RASTER_TYPE_PNG, module));
}

TEST(ImageButton, PicturesCentredAtTheNormalSize) {
  CRasterImage normal, hover, big;
  HMODULE module = ::GetModuleHandleW(nullptr);
  ASSERT_TRUE(normal.LoadFromResource(::FindResourceW(module, MAKEINTRESOURCEW(IDP_OPENFILES), L"PNG"), RASTER_TYPE_PNG,
                                      module));
  ASSERT_TRUE(hover.LoadFromResource(::FindResourceW(module, MAKEINTRESOURCEW(IDP_OPENFILES_HOVER), L"PNG"),
                                     RASTER_TYPE_PNG, module));
  // A hover picture larger than the normal one: a plain red 100 x 100.
  ASSERT_TRUE(big.Create(100, 100, 24, RASTER_TYPE_BMP));
  for (DWORD y = 0; y < 100; ++y) {
    BYTE* row = big.GetBits() + y * big.GetRowBytes();
    for (int x = 0; x < 100; ++x) {
      row[3 * x] = 0;
      row[3 * x + 1] = 0;
      row[3 * x + 2] = 255;
    }
  }
  CImageButton button;
  button.SetImages(&normal, &big);
  EXPECT_EQ(64, button.m_nImageWidth);
  CWindowShot shot = Render(button, 96, 96, CImageButton::stateHover);
  EXPECT_EQ(CRect(16, 16, 80, 80), Painted(shot, RGB(0x20, 0x20, 0x20)));
  EXPECT_TRUE(ColorNear(RGB(255, 0, 0), shot.At(16, 16)));
  EXPECT_TRUE(ColorNear(RGB(255, 0, 0), shot.At(79, 79)));
  // Pressed shows the hover picture even without the mouse; focus alone keeps the normal one.
  shot = Render(button, 96, 96, CImageButton::statePressed);
  EXPECT_TRUE(ColorNear(RGB(255, 0, 0), shot.At(48, 48)));
  shot = Render(button, 96, 96, CImageButton::stateFocused);
  EXPECT_FALSE(ColorNear(RGB(255, 0, 0), shot.At(48, 48), 60));
  // An odd-sized button: (right - width - left) / 2, truncated.
  button.SetImages(&normal, &hover);
  shot = Render(button, 97, 99, CImageButton::stateNormal);
  CRect painted = Painted(shot, RGB(0x20, 0x20, 0x20));
  EXPECT_GE(painted.left, 16);
  EXPECT_LE(painted.right, 16 + 64);
  EXPECT_GE(painted.top, 17);
  EXPECT_LE(painted.bottom, 17 + 64);
  // Without pictures only the dark square is drawn.
  CImageButton empty;
  shot = Render(empty, 40, 40, CImageButton::stateHover);
  EXPECT_TRUE(Painted(shot, RGB(0x20, 0x20, 0x20)).IsRectEmpty() || Painted(shot, RGB(0x20, 0x20, 0x20)).right < 0);
}

TEST(ImageButton, HoverInTheViewShowsTheHoverPictureCentred) {
  DeleteViewerKey();
  CViewerTestApp app;
  CRecordingFrame* frame = app.Start();
  ASSERT_NE(nullptr, frame);
  CPlayView* view = GetPlayView();
  ASSERT_NE(nullptr, view);
  CImageButton& files = view->m_btnOpenFiles;
  CImageButton& folder = view->m_btnOpenFolder;
  EXPECT_EQ(&view->m_imgOpenFiles, files.m_pNormal);
  EXPECT_EQ(&view->m_imgOpenFolderHover, folder.m_pHover);

  // The plus badge of the pictures: dim teal normally, light teal under the mouse.
  const CPoint badge(16 + 46, 16 + 43);
  CWindowShot shot = CaptureWindow(files.m_hWnd);
  EXPECT_TRUE(ColorNear(RGB(60, 130, 145), shot.At(badge.x, badge.y), 12));
  files.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
  EXPECT_EQ(1, files.m_bHovered);
  PumpApp();
  shot = CaptureWindow(files.m_hWnd);
  shot.SavePng(L"viewer-button-hover.png");
  EXPECT_TRUE(ColorNear(RGB(120, 220, 235), shot.At(badge.x, badge.y), 12));
  // The hover picture sits where the normal one did: compare with a drawing at (16, 16).
  CWindowShot expected = Render(files, 96, 96, CImageButton::stateHover);
  int mismatches = 0;
  for (int y = 0; y < 96; ++y)
    for (int x = 0; x < 96; ++x) mismatches += !ColorNear(expected.At(x, y), shot.At(x, y), 6);
  EXPECT_EQ(0, mismatches);
  CRect painted = Painted(shot, RGB(0x20, 0x20, 0x20));
  EXPECT_GE(painted.left, 16);
  EXPECT_LE(painted.right, 80);
  EXPECT_GE(painted.top, 16);
  EXPECT_LE(painted.bottom, 80);
  // Leaving brings the normal picture back; the cursor over a button is the viewer's.
  files.SendMessage(WM_MOUSELEAVE);
  EXPECT_EQ(0, files.m_bHovered);
  shot = CaptureWindow(files.m_hWnd);
  EXPECT_TRUE(ColorNear(RGB(60, 130, 145), shot.At(badge.x, badge.y), 12));
  files.SendMessage(WM_SETCURSOR, (WPARAM)files.m_hWnd, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(app.m_resources.m_hCursor, ::GetCursor());
  // A click posts the frame's Open Files command, which shows the file dialog.
  frame->m_commands.clear();
  bool dialogShown = false;
  PressWhenShown(L"Open Files", IDCANCEL, &dialogShown);
  files.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
  files.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
  EXPECT_TRUE(PumpAppUntil([&] { return !frame->m_commands.empty(); }));
  EXPECT_EQ((UINT)ID_FILE_OPENFILES, frame->m_commands.back());
  EXPECT_TRUE(PumpAppUntil([&] { return dialogShown; }));
  frame->SendMessage(WM_CLOSE);
}
