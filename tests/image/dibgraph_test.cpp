#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "image/dibgraph.h"
#include "image/pixelimage.h"

namespace {

BITMAPINFO Header(int width, int height, int bitCount, uint32_t compression = DIB_COMPRESSION_RGB) {
  BITMAPINFO info;
  std::memset(&info, 0, sizeof info);
  info.Header.Size = 40;
  info.Header.Width = width;
  info.Header.Height = height;
  info.Header.Planes = 1;
  info.Header.BitCount = uint16_t(bitCount);
  info.Header.Compression = compression;
  return info;
}

TEST(DibGraph, EightBitSourcesKeepTheirColourTable) {
  BITMAPINFO info = Header(3, -2, 8);
  for (int i = 0; i < 256; ++i) info.Colors[i] = RGBQUAD{uint8_t(i), uint8_t(255 - i), uint8_t(i / 2), 0};
  const uint8_t bits[8] = {1, 2, 3, 0, 4, 5, 6, 0};
  DibSection* s = CreateDIBGraph(&info, bits, 0, nullptr);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->BitCount, 8);
  EXPECT_EQ(std::memcmp(s->Colors, info.Colors, sizeof info.Colors), 0);
  EXPECT_EQ(s->Bits[0], 1);
  EXPECT_EQ(s->Bits[s->Pitch + 2], 6);
  DeleteDibSection(s);
}

TEST(DibGraph, DeeperSourcesBecomeTopDown24Bit) {
  // 32-bit bottom-up, height 10: the section's first row is the last in memory.
  BITMAPINFO info = Header(2, 10, 32);
  std::vector<uint32_t> bits(20);
  for (int i = 0; i < 20; ++i) bits[i] = 0x00010203u * uint32_t(i + 1);
  DibSection* s = CreateDIBGraph(&info, bits.data(), 0, nullptr);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->BitCount, 24);
  EXPECT_EQ(s->Height, 10);
  uint32_t last = bits[18];
  EXPECT_EQ(s->Bits[0], uint8_t(last));
  EXPECT_EQ(s->Bits[2], uint8_t(last >> 16));
  DeleteDibSection(s);

  // 16-bit 5-5-5: white becomes 24-bit white.
  BITMAPINFO info16 = Header(1, -1, 16);
  const uint16_t white[2] = {0x7FFF, 0};
  s = CreateDIBGraph(&info16, white, 0, nullptr);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->BitCount, 24);
  EXPECT_EQ(s->Bits[0], 255);
  EXPECT_EQ(s->Bits[2], 255);
  DeleteDibSection(s);
}

TEST(DibGraph, CompressedEmptyAndFailedSectionsGiveNull) {
  BITMAPINFO rle = Header(4, 4, 8, DIB_COMPRESSION_RLE8);
  uint8_t bits[64] = {};
  EXPECT_EQ(CreateDIBGraph(&rle, bits, 0, nullptr), nullptr);
  BITMAPINFO empty = Header(0, 4, 24);
  EXPECT_EQ(CreateDIBGraph(&empty, bits, 0, nullptr), nullptr);
  EXPECT_EQ(CreateDIBGraph(nullptr, bits, 0, nullptr), nullptr);
  BITMAPINFO ok = Header(2, 2, 24);
  DibFailNextCreates(1);
  EXPECT_EQ(CreateDIBGraph(&ok, bits, 0, nullptr), nullptr);
  DibSection* s = CreateDIBGraph(&ok, bits, 0, nullptr);
  EXPECT_NE(s, nullptr);
  DeleteDibSection(s);
}

TEST(DibGraph, PixelImagesOfEveryDepthConvert) {
  PixelImage img;
  ASSERT_EQ(MakeXRGB8PixelImageImpl(5, 3, &img), 0);
  FillPixelImage(&img, 10, 20, 30, 255);
  DibSection* s = CreateDIBGraphFromPixelImage(&img);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->BitCount, 24);
  EXPECT_EQ(s->Bits[2 * s->Pitch + 4 * 3 + 0], 30);
  EXPECT_EQ(s->Bits[2 * s->Pitch + 4 * 3 + 2], 10);
  DeleteDibSection(s);
  ReleasePixelImageImpl(&img);

  ASSERT_EQ(MakeRGB24PixelImage(7, 2, &img), 0);
  FillPixelImage(&img, 1, 2, 3, 255);
  s = CreateDIBGraphFromPixelImage(&img);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->Bits[s->Pitch + 6 * 3 + 2], 1);
  DeleteDibSection(s);
  ReleasePixelImageImpl(&img);
}

}  // namespace
