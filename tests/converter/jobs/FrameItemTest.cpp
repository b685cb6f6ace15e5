// Frame items own their picture, frames included.
#include <gtest/gtest.h>

#include "converter/jobs/FrameItem.h"

namespace {
class CAnimated : public CRasterImage {
 public:
  void Fill(int n) {
    Create(6, 6, 8, RASTER_TYPE_GIF);
    CRasterImage** list = new CRasterImage*[n];
    for (int i = 0; i < n; i++) list[i] = new CRasterImage(6, 6, 8, RASTER_TYPE_GIF);
    SetFrameList(list, n);
  }
};
}  // namespace

TEST(FrameItem, StartsEmpty) {
  CFrameItem item;
  EXPECT_TRUE(item.m_sourcePath.IsEmpty());
  EXPECT_EQ(item.m_frameIndex, -1);
  EXPECT_FALSE(item.m_image.HasPixels());
  EXPECT_EQ(item.m_image.GetFormat(), RASTER_TYPE_UNKNOWN);
  EXPECT_EQ(item.m_state, FRAMEITEM_STATE_NONE);
  EXPECT_TRUE(item.m_caption.IsEmpty());
}

TEST(FrameItem, OwnsTheDecodedPictureAndItsFrames) {
  // Deleted through its base, with pixels, alpha and a frame list taken over
  // from a decoder; the leak checker reports anything left behind.
  CFrameItem* item = new CFrameItem;
  CAnimated decoded;
  decoded.Fill(3);
  decoded.CreateAlphaMask();
  ASSERT_TRUE(item->m_image.TakeOver(decoded, true));
  EXPECT_EQ(item->m_image.GetFrameListLength(), 3);
  EXPECT_FALSE(decoded.HasPixels());
  delete item;
}

TEST(FrameItem, PictureWithoutPixelsSavesNothing) {
  CFrameItem item;
  CRasterMemoryStream out;
  out.Open();
  EXPECT_FALSE(item.m_image.Encode(&out, RASTER_TYPE_BMP));
  EXPECT_STREQ(item.m_image.GetErrorText(), "null image!!!");
}
