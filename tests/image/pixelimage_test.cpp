// Pixel images: makers and their pitch, filling, single-pixel access,
// mirroring and release.
#include "image/pixelimage.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "image_test_util.h"

namespace {

TEST(PixelImage, MakersRoundThePitchUp) {
  PixelImage img{};
  ASSERT_EQ(MakeRGB24PixelImage(5, 2, &img), 0);
  EXPECT_EQ(img.Pitch, 16);
  EXPECT_EQ(img.Format.BitDepth, 24);
  ReleasePixelImageImpl(&img);
  ASSERT_EQ(MakeARGB8PixelImage(5, 2, &img), 0);
  EXPECT_EQ(img.Pitch, 20);
  EXPECT_EQ(img.Format.AlphaMask, 0xFF000000u);
  ReleasePixelImageImpl(&img);
  ASSERT_EQ(MakeXRGB8PixelImageImpl(1, 1, &img), 0);
  EXPECT_EQ(img.Pitch, 4);
  ReleasePixelImageImpl(&img);
  PixelImage zero{};
  PixelImage released{};
  released.Width = 3;
  EXPECT_EQ(ReleasePixelImageImpl(&released), 0);
  EXPECT_EQ(std::memcmp(&released, &zero, sizeof(zero)), 0);
}

TEST(PixelImage, HugeOrNegativeSizesFailWithoutOverflow) {
  int before = imgtest::LiveBlocks();
  PixelImage img{};
  EXPECT_EQ(MakeARGB8PixelImage(INT_MAX, INT_MAX, &img), -1);
  EXPECT_EQ(img.Pixels, nullptr);
  EXPECT_EQ(MakeRGB24PixelImage(-1, 4, &img), -1);
  EXPECT_EQ(MakeXRGB8PixelImageImpl(1 << 20, 1 << 20, &img), -1);
  EXPECT_EQ(imgtest::LiveBlocks(), before);
}

TEST(PixelImage, FillWritesEveryPixelAndKeepsPadding) {
  PixelImage img{};
  ASSERT_EQ(MakeRGB24PixelImage(5, 2, &img), 0);
  std::memset(img.Pixels, 0xEE, size_t(img.Pitch) * 2);
  FillPixelImage(&img, 1, 2, 3, 0);
  for (int y = 0; y < 2; y++) {
    for (int x = 0; x < 5; x++) {
      const uint8_t* p = imgtest::Pixel(img, x, y);
      EXPECT_EQ(p[0], 3);
      EXPECT_EQ(p[1], 2);
      EXPECT_EQ(p[2], 1);
    }
    EXPECT_EQ(img.Pixels[y * img.Pitch + 15], 0xEE);
  }
  ReleasePixelImageImpl(&img);
  ASSERT_EQ(MakeARGB8PixelImage(3, 1, &img), 0);
  FillPixelImage(&img, 1, 2, 3, 4);
  uint32_t v;
  std::memcpy(&v, img.Pixels + 8, 4);
  EXPECT_EQ(v, 0x04010203u);
  ReleasePixelImageImpl(&img);
}

TEST(PixelImage, CheckedAccess) {
  PixelImage img{};
  ASSERT_EQ(MakeARGB8PixelImage(4, 3, &img), 0);
  EXPECT_EQ(WritePixelImagePixel(&img, 4, 0, 1, 2, 3, 4), -1);
  EXPECT_EQ(WritePixelImagePixel(&img, uint32_t(-1), 0, 1, 2, 3, 4), -1);
  EXPECT_EQ(WritePixelImagePixel(&img, 3, 2, 0x11, 0x22, 0x33, 0x80), 0);
  EXPECT_EQ(ReadPixelImageARGB(&img, 3, 2), 0x80112233u);
  int r, g, b, a;
  EXPECT_EQ(ReadPixelImageRGBA(&img, 3, 2, &r, &g, &b, &a), 0);
  EXPECT_EQ(r, 0x11);
  EXPECT_EQ(a, 0x80);
  EXPECT_EQ(ReadPixelImageRGBA(&img, 0, 3, &r, &g, &b, &a), -1);
  ReleasePixelImageImpl(&img);

  ASSERT_EQ(MakeXRGB8PixelImageImpl(1, 1, &img), 0);
  uint32_t v = 0xFF112233;
  std::memcpy(img.Pixels, &v, 4);
  EXPECT_EQ(ReadPixelImageARGB(&img, 0, 0), 0x00112233u);
  ReleasePixelImageImpl(&img);

  PixelImage p{};
  ColorFormat f{};
  MakeColorFormatImpl(&f, 16, 0xF800, 0x7E0, 0x1F, 0);
  p.Format = f;
  uint16_t white = 0xFFFF;
  p.Width = p.Height = 1;
  p.Pitch = 2;
  p.Pixels = reinterpret_cast<uint8_t*>(&white);
  EXPECT_EQ(ReadPixelImageARGB(&p, 0, 0), 0x00F8FCF8u);
  PixelImage empty{};
  EXPECT_EQ(ReadPixelImageARGB(&empty, 0, 0), 0u);
}

TEST(PixelImage, PaletteImagesReadTheirEntries) {
  PixelImage img{};
  SetGrayPaletteColorFormat(&img.Format);
  img.Format.Palette[9] = PaletteEntry{1, 2, 3, 4};
  uint8_t px[4] = {9, 0, 0, 0};
  img.Width = img.Height = 1;
  img.Pitch = 4;
  img.Pixels = px;
  EXPECT_EQ(ReadPixelImageARGB(&img, 0, 0), 0x00030201u);
  int r, g, b, a;
  ReadPixelImageRGBA(&img, 0, 0, &r, &g, &b, &a);
  EXPECT_EQ(r, 3);
  EXPECT_EQ(b, 1);
  EXPECT_EQ(a, 4);
  // Writing searches the nearest entry.
  EXPECT_EQ(WritePixelImagePixel(&img, 0, 0, 50, 50, 50, 0), 0);
  EXPECT_EQ(px[0], 50);
}

TEST(PixelImage, MirrorFlipsRows) {
  PixelImage img{};
  ASSERT_EQ(MakeRGB24PixelImage(3, 2, &img), 0);
  for (int y = 0; y < 2; y++)
    for (int x = 0; x < 3; x++) WritePixelImagePixel(&img, x, y, x, y, 10 * x + y, 0);
  ASSERT_EQ(MirrorPixelImage(&img), 0);
  for (int y = 0; y < 2; y++)
    for (int x = 0; x < 3; x++) {
      const uint8_t* p = imgtest::Pixel(img, x, y);
      EXPECT_EQ(p[2], 2 - x);
      EXPECT_EQ(p[0], 10 * (2 - x) + y);
    }
  ReleasePixelImageImpl(&img);
  ASSERT_EQ(MakeARGB8PixelImage(1, 2, &img), 0);
  FillPixelImage(&img, 1, 2, 3, 4);
  EXPECT_EQ(MirrorPixelImage(&img), 0);
  EXPECT_EQ(ReadPixelImageARGB(&img, 0, 1), 0x04010203u);
  ReleasePixelImageImpl(&img);
  PixelImage zero{};
  zero.Height = 3;
  EXPECT_EQ(MirrorPixelImage(&zero), -1);
}

}  // namespace
