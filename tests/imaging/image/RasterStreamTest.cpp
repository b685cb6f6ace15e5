// Memory and file streams: bounds, growth, ownership and end flags.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

#include "imaging/image/RasterStream.h"

TEST(RasterMemoryStream, ReadsWholeElementsAndSetsEnd) {
  BYTE data[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  CRasterMemoryStream s(data, 10);
  BYTE out[12] = {};
  EXPECT_EQ(s.Read(out, 4, 3), 2u);
  EXPECT_TRUE(s.IsEof());
  EXPECT_EQ(out[9], 9);
  EXPECT_EQ(s.Read(out, 4, 3), 0u);
  // Element size times count beyond 32 bits must not wrap into a small read.
  ASSERT_TRUE(s.Seek(0, SEEK_SET));
  EXPECT_FALSE(s.IsEof());
  EXPECT_EQ(s.Read(out, 0x10000, 0x10001), 0u);
  EXPECT_EQ(s.Tell(), 10);
}

TEST(RasterMemoryStream, SeekRules) {
  BYTE data[4] = {};
  CRasterMemoryStream s(data, 4);
  EXPECT_TRUE(s.Seek(-5, SEEK_SET));
  EXPECT_EQ(s.Tell(), 0);
  EXPECT_TRUE(s.Seek(2, SEEK_SET));
  EXPECT_FALSE(s.Seek(1, 3));
  EXPECT_EQ(s.Tell(), 2);
  // Far past the end, and then further: the position never wraps negative.
  EXPECT_TRUE(s.Seek(INT_MAX, SEEK_SET));
  EXPECT_TRUE(s.Seek(INT_MAX, SEEK_CUR));
  EXPECT_GE(s.Tell(), 0);
  EXPECT_EQ(s.GetByte(), -1);
  EXPECT_EQ(s.HasError(), 1);
}

TEST(RasterMemoryStream, OwnBufferGrowsInSteps) {
  CRasterMemoryStream s;
  EXPECT_EQ(s.Tell(), -1);
  ASSERT_TRUE(s.Open());
  EXPECT_FALSE(s.Open());
  EXPECT_EQ(s.GetCapacity(), 0);
  ASSERT_TRUE(s.PutByte(7));
  EXPECT_EQ(s.GetCapacity(), 65536);
  std::vector<BYTE> block(70000, 1);
  ASSERT_EQ(s.Write(block.data(), 1, (UINT)block.size()), (UINT)block.size());
  EXPECT_EQ(s.GetCapacity(), 131072);
  EXPECT_EQ(s.GetSize(), 70001);
  // Seeking past the end and writing extends the size to the new position.
  ASSERT_TRUE(s.Seek(100, SEEK_END));
  EXPECT_EQ(s.HasError(), 1);
  ASSERT_EQ(s.Write(block.data(), 1, 1), 1u);
  EXPECT_EQ(s.GetSize(), 70102);
  EXPECT_EQ(s.HasError(), 0);
  // Sizes that cannot be addressed are refused, not wrapped.
  EXPECT_EQ(s.Write(block.data(), 0x10000, 0x10000), 0u);
  ASSERT_TRUE(s.Seek(INT_MAX, SEEK_SET));
  EXPECT_FALSE(s.PutByte(1));
  BYTE* raw = s.GetBuffer(true);
  ASSERT_NE(raw, nullptr);
  EXPECT_EQ(raw[0], 7);
  s.Close();
  free(raw);
}

TEST(RasterMemoryStream, NeverGrowsABufferItDoesNotOwn) {
  BYTE data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  {
    CRasterMemoryStream s(data, 8);
    ASSERT_TRUE(s.Seek(6, SEEK_SET));
    BYTE more[4] = {9, 9, 9, 9};
    EXPECT_EQ(s.Write(more, 1, 4), 0u);  // would pass the caller's buffer
    EXPECT_EQ(s.Write(more, 1, 2), 2u);  // in place is fine
    ASSERT_TRUE(s.Seek(8, SEEK_SET));
    EXPECT_FALSE(s.PutByte(1));
    EXPECT_EQ(s.GetBuffer(), data);
  }  // the destructor must not free the caller's buffer (ASan would report it)
  EXPECT_EQ(data[6], 9);
  EXPECT_EQ(data[0], 1);
}

TEST(RasterMemoryStream, GetLine) {
  BYTE text[] = {'a', 'b', '\n', 'c', 'd'};
  CRasterMemoryStream s(text, 5);
  char buf[5];
  ASSERT_NE(s.GetLine(buf, 5), nullptr);
  EXPECT_STREQ(buf, "ab\n");
  BYTE letters[] = {'a', 'b', 'c', 'd', 'e', 'f', 'g'};
  CRasterMemoryStream t(letters, 7);
  ASSERT_NE(t.GetLine(buf, 5), nullptr);
  EXPECT_STREQ(buf, "abcd");
  CRasterMemoryStream empty;
  EXPECT_EQ(empty.GetLine(buf, 5), nullptr);
  EXPECT_EQ(empty.Scan("%d", buf), 0);
}

namespace {
class CFailingStream : public CRasterMemoryStream {
 public:
  UINT Write(const void*, UINT, UINT) override { return 0; }
};
}  // namespace

TEST(RasterStream, BasePutByteReportsShortWrites) {
  CFailingStream s;
  s.Open();
  EXPECT_FALSE(s.CRasterStream::PutByte(1));
}

TEST(RasterFileStream, DetachedAndOverFile) {
  CRasterFileStream none;
  EXPECT_EQ(none.Tell(), 0);
  EXPECT_EQ(none.GetSize(), -1);
  EXPECT_TRUE(none.IsEof());
  EXPECT_EQ(none.GetByte(), -1);

  FILE* f = tmpfile();
  ASSERT_NE(f, nullptr);
  {
    CRasterFileStream s(f);
    EXPECT_TRUE(s.PutByte('x'));
    EXPECT_EQ(s.Write("yz", 1, 2), 2u);
    EXPECT_EQ(s.GetSize(), 3);
    EXPECT_EQ(s.Tell(), 3);
    ASSERT_TRUE(s.Seek(0, SEEK_SET));
    EXPECT_EQ(s.GetByte(), 'x');
    EXPECT_TRUE(s.Close());
  }
  // The stream did not close a file it was given.
  EXPECT_EQ(fseek(f, 0, SEEK_SET), 0);
  EXPECT_EQ(fgetc(f), 'x');
  fclose(f);
}
