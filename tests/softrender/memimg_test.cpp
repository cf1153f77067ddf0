// The library image type: creation rules, views, formats, transfers, run tables.
#include "image/pixelimage.h"
#include "platform/heap.h"
#include "softrender/test_support.h"

namespace {

class MemImgTest : public SoftRenderTest {
 protected:
  int32_t Blocks() const { return SystemState.Kept.Alloc.BlockCount; }
};

TEST_F(MemImgTest, PitchAndLog2Pitch) {
  TestImg a, b, c, d;
  ASSERT_EQ(a.Make(100, 2, MEMIMG_TYPE_RGB565), 0);
  EXPECT_EQ(a.m.Base->Pitch, 208u);
  EXPECT_EQ(a.m.Base->Log2Pitch, -1);
  ASSERT_EQ(b.Make(128, 2, MEMIMG_TYPE_RGB565), 0);
  EXPECT_EQ(b.m.Base->Pitch, 256u);
  EXPECT_EQ(b.m.Base->Log2Pitch, 8);
  ASSERT_EQ(c.Make(1, 1, MEMIMG_TYPE_GRAY8), 0);  // pitch 16 for a 1-byte row
  EXPECT_EQ(c.m.Base->Pitch, 16u);
  EXPECT_EQ(c.m.Base->Log2Pitch, -1);
  ASSERT_EQ(d.Make(10, 2, MEMIMG_TYPE_RGB565, 0, 1), 0);  // alpha: 4 bytes per pixel
  EXPECT_EQ(d.m.Base->Format->BytesPerPixel, 4);
  EXPECT_EQ(d.m.Base->Pitch, 48u);
}

TEST_F(MemImgTest, CallerPitchMustHoldARow) {
  TestImg a, b;
  EXPECT_EQ(a.Make(10, 2, MEMIMG_TYPE_XRGB32, 0, 0, 0, 39), -1);
  EXPECT_EQ(a.m.Marker, 0u);
  EXPECT_EQ(b.Make(10, 2, MEMIMG_TYPE_XRGB32, 0, 0, 0, 64), 0);
  EXPECT_EQ(b.m.Base->Log2Pitch, 6);
  TestImg z;
  EXPECT_EQ(z.Make(0, 5, MEMIMG_TYPE_XRGB32), -1);
  EXPECT_EQ(z.Make(5, -1, MEMIMG_TYPE_XRGB32), -1);
  EXPECT_EQ(z.Make(5, 5, 4), -1);
}

TEST_F(MemImgTest, FlagsAreForcedByTypeAndPalette) {
  TestImg a, g;
  ASSERT_EQ(a.Make(4, 4, MEMIMG_TYPE_XRGB32, 1, 1), 0);
  EXPECT_EQ(a.m.Base->PaletteFlag, 1u);
  EXPECT_EQ(a.m.Base->AlphaFlag, 0u);
  EXPECT_NE(a.m.Base->Palette, nullptr);
  EXPECT_EQ(a.m.Base->PaletteCopy, a.m.Base->Palette + 1024);
  EXPECT_EQ(a.m.Base->Format->BytesPerPixel, 1);
  ASSERT_EQ(g.Make(4, 4, MEMIMG_TYPE_GRAY8, 1, 1, 1), 0);
  EXPECT_EQ(g.m.Base->PaletteFlag, 0u);
  EXPECT_EQ(g.m.Base->AlphaFlag, 0u);
  EXPECT_EQ(g.m.Base->RunTable, nullptr);                                   // no run table for blend graphs
  EXPECT_EQ(InitializeMemImg(&g.m, 4, 4, -1, 0, 0, 0, 0, 0, nullptr), -1);  // already initialised
}

TEST_F(MemImgTest, ViewsShareOneBaseAndFreeOnce) {
  const int32_t before = Blocks();
  {
    TestImg a;
    ASSERT_EQ(a.Make(8, 6, MEMIMG_TYPE_XRGB32, 1), 0);
    MEMIMG whole{}, row{}, nested{};
    DeriveMemImg(&whole, &a.m, 0, 0, 8, 6);
    EXPECT_EQ(whole.Width, 8);
    EXPECT_EQ(whole.Pixels, a.m.Pixels);
    EXPECT_EQ(whole.Base, a.m.Base);
    EXPECT_EQ(a.m.Base->RefCount, 2u);
    DeriveMemImg(&row, &a.m, 0, 0, 8, 1);  // the palette is shared
    EXPECT_EQ(row.Base->Palette, a.m.Base->Palette);
    DeriveMemImg(&nested, &row, 2, 0, 3, 1);
    EXPECT_EQ(nested.Pixels, a.m.Pixels + 2);
    EXPECT_EQ(a.m.Base->RefCount, 4u);
    TerminateMemImg(&whole);
    TerminateMemImg(&row);
    TerminateMemImg(&nested);
    EXPECT_EQ(whole.Marker, 0u);
    EXPECT_EQ(whole.Base, nullptr);
    EXPECT_EQ(a.m.Base->RefCount, 1u);
    TerminateMemImg(&whole);  // an uninitialised view: nothing
  }
  EXPECT_EQ(Blocks(), before);
}

TEST_F(MemImgTest, DeriveRefusesEmptyAndOutsideViews) {
  TestImg a;
  ASSERT_EQ(a.Make(8, 6, MEMIMG_TYPE_XRGB32), 0);
  MEMIMG v{};
  DeriveMemImg(&v, &a.m, 0, 0, 0, 3);
  DeriveMemImg(&v, &a.m, 0, 0, 3, 0);
  DeriveMemImg(&v, &a.m, -1, 0, 3, 3);
  DeriveMemImg(&v, &a.m, 6, 0, 3, 3);
  DeriveMemImg(&v, &a.m, 0, 4, 3, 3);
  DeriveMemImg(&v, &a.m, INT32_MAX, 0, INT32_MAX, 3);
  EXPECT_EQ(v.Marker, 0u);
  EXPECT_EQ(a.m.Base->RefCount, 1u);
}

TEST_F(MemImgTest, OutOfMemoryLeavesTheViewUninitialised) {
  const int32_t before = Blocks();
  for (long allowed = 0; allowed < 4; ++allowed) {
    MEMIMG v{};
    PlatHeapFailAfter(allowed);
    const int r = InitializeMemImg(&v, 16, 16, -1, 0, MEMIMG_TYPE_XRGB32, 0, 1, 1, nullptr);
    PlatHeapFailAfter(-1);
    if (r == 0) {
      TerminateMemImg(&v);
    } else {
      EXPECT_EQ(v.Marker, 0u);
    }
    EXPECT_EQ(Blocks(), before) << allowed;
  }
}

TEST_F(MemImgTest, CachedFormats) {
  const ColorFormat* f0 = GetMemImgColorFormat(0, 0, 0);
  ASSERT_NE(f0, nullptr);
  EXPECT_EQ(f0->BitDepth, 16);
  EXPECT_EQ(f0->RedMask, 0xF800u);
  EXPECT_EQ(f0, GetMemImgColorFormat(0, 0, 0));
  const ColorFormat* f1a = GetMemImgColorFormat(1, 1, 0);
  EXPECT_EQ(f1a->AlphaMask, 0xFF000000u);
  EXPECT_EQ(GetMemImgColorFormat(0, 1, 0)->AlphaMask, 0x00FF0000u);
  EXPECT_EQ(GetMemImgColorFormat(0, 1, 0)->BytesPerPixel, 4);
  EXPECT_EQ(GetMemImgColorFormat(1, 0, 1)->BytesPerPixel, 1);
  const ColorFormat* g = GetMemImgColorFormat(2, 1, 1);
  EXPECT_EQ(g->BytesPerPixel, 1);
  EXPECT_EQ(g->RedWidth, 8);
  EXPECT_EQ(g->AlphaMask, 0xFFu);
  EXPECT_EQ(g->UnusedMask, 0u);
  EXPECT_EQ(GetMemImgColorFormat(3, 0, 0)->GreenMask, 0xFFFFu);
  EXPECT_EQ(GetMemImgColorFormat(4, 0, 0), nullptr);

  const MemImgPixelFormat* p1 = GetMemImgPixelFormat(1, 0, 0);
  EXPECT_EQ(p1->Size, 32u);
  EXPECT_EQ(p1->Flags, 0x40u);
  EXPECT_EQ(p1->RgbBitCount, 32u);
  EXPECT_EQ(p1->RedMask, 0xFF0000u);
  EXPECT_EQ(p1->AlphaMask, 0u);
  const MemImgPixelFormat* p3 = GetMemImgPixelFormat(3, 0, 0);
  EXPECT_EQ(p3->Size, 0u);
  EXPECT_EQ(p3->RgbBitCount, 16u);
  EXPECT_EQ(GetMemImgPixelFormat(9, 0, 0), nullptr);
}

TEST_F(MemImgTest, RunTableEncoding) {
  TestImg a;
  ASSERT_EQ(a.Make(130, 2, MEMIMG_TYPE_XRGB32, 0, 0, 1, -1, 0), 0);
  a.Fill32(0x00FFFFFF);
  for (int x = 0; x < 3; ++x) a.Set32(x, 1, 0);  // black pixels are the key 0
  ASSERT_EQ(BuildMemImgRunTable(&a.m), 0);
  const uint8_t* t = a.m.Base->RunTable;
  const uint8_t row0[] = {0x7F, 0x7F, 0x41, 0xC0};
  EXPECT_EQ(std::memcmp(t, row0, 4), 0);
  // Three keyed pixels, then 127 opaque ones: 64 + 63.
  const uint8_t row1[] = {0x02, 0x7F, 0x7E, 0xC0};
  EXPECT_EQ(std::memcmp(t + 4, row1, 4), 0);

  TestImg al;
  ASSERT_EQ(al.Make(4, 1, MEMIMG_TYPE_RGB565, 0, 1, 1), 0);
  const uint8_t px[16] = {0, 0, 0, 0, 0, 0, 255, 0, 0, 0, 9, 0, 0, 0, 9, 0};
  std::memcpy(al.m.Pixels, px, 16);
  ASSERT_EQ(BuildMemImgRunTable(&al.m), 0);
  const uint8_t want[] = {0x00, 0x40, 0x81, 0xC0};
  EXPECT_EQ(std::memcmp(al.m.Base->RunTable, want, 4), 0);
}

TEST_F(MemImgTest, TransferSetsTheRunTableOnlyForAWholeImageWrite) {
  PixelImage pi{};
  ASSERT_EQ(MakeXRGB8PixelImageImpl(6, 4, &pi), 0);
  FillPixelImage(&pi, 10, 20, 30, 255);
  TestImg a;
  ASSERT_EQ(a.Make(6, 4, MEMIMG_TYPE_XRGB32, 0, 0, 1, -1, 0), 0);
  TransferPixelImageToMemImg(&pi, nullptr, &a.m, 0, 0, 3, 4, 0, 0, 0);
  EXPECT_EQ(a.m.Base->RunTableValid, 0u);
  TransferPixelImageToMemImg(&pi, nullptr, &a.m, 0, 0, 6, 4, 0, 0, 0);
  EXPECT_EQ(a.m.Base->RunTableValid, 1u);
  EXPECT_EQ(a.Get32(5, 3) & 0xFFFFFF, 0x0A141Eu);
  // A whole-size write into a view that is not the whole base does not.
  MEMIMG view{};
  DeriveMemImg(&view, &a.m, 1, 0, 5, 4);
  TransferPixelImageToMemImg(&pi, nullptr, &view, 0, 0, 5, 4, 0, 0, 0);
  EXPECT_EQ(a.m.Base->RunTableValid, 0u);
  // Rectangles outside either image write nothing.
  a.Fill32(0x12345678);
  TransferPixelImageToMemImg(&pi, nullptr, &a.m, 4, 0, 3, 4, 0, 0, 0);
  TransferPixelImageToMemImg(&pi, nullptr, &a.m, 0, 0, 6, 4, 1, 0, 0);
  TransferPixelImageToMemImg(&pi, nullptr, &a.m, -1, 0, 2, 2, 0, 0, 0);
  EXPECT_EQ(a.Get32(0, 0), 0x12345678u);
  EXPECT_EQ(a.Get32(5, 3), 0x12345678u);
  TerminateMemImg(&view);
  ReleasePixelImageImpl(&pi);
}

TEST_F(MemImgTest, PaletteTransferBuildsBothPalettes) {
  PixelImage pi{};
  SetPaletteColorFormat(&pi.Format);
  pi.Format.Palette[5] = PaletteEntry{0x1F, 0x3F, 0xFF, 0};
  pi.Width = 4;
  pi.Height = 1;
  pi.Pitch = 4;
  uint8_t idx[4] = {5, 1, 9, 5};
  pi.Pixels = idx;
  TestImg a, b;
  ASSERT_EQ(a.Make(4, 1, MEMIMG_TYPE_RGB565, 1), 0);
  TransferPixelImageToMemImg(&pi, nullptr, &a.m, 0, 0, 4, 1, 0, 0, 0);
  EXPECT_EQ(a.m.Base->PaletteCount, 10u);
  uint16_t e;
  std::memcpy(&e, a.m.Base->Palette + 10, 2);
  EXPECT_EQ(e, ((0xFF & 0xF8) << 8) | ((0x3F & 0xFC) << 3) | (0x1F >> 3));
  EXPECT_EQ(std::memcmp(a.m.Base->Palette, a.m.Base->PaletteCopy, 512), 0);
  ASSERT_EQ(b.Make(4, 1, MEMIMG_TYPE_XRGB32, 1), 0);
  TransferPixelImageToMemImg(&pi, nullptr, &b.m, 0, 0, 4, 1, 0, 0, 0);
  uint32_t e32;
  std::memcpy(&e32, b.m.Base->Palette + 20, 4);
  EXPECT_EQ(e32, 0x00FF3F1Fu);
  EXPECT_EQ(std::memcmp(b.m.Pixels, idx, 4), 0);
}

TEST_F(MemImgTest, TransferToPixelImageTakesPlainImagesOnly) {
  PixelImage pi{};
  ASSERT_EQ(MakeXRGB8PixelImageImpl(4, 2, &pi), 0);
  std::memset(pi.Pixels, 0, static_cast<size_t>(pi.Pitch) * 2);
  TestImg a, al, pal;
  ASSERT_EQ(a.Make(4, 2, MEMIMG_TYPE_RGB565), 0);
  ASSERT_EQ(al.Make(4, 2, MEMIMG_TYPE_RGB565, 0, 1), 0);
  ASSERT_EQ(pal.Make(4, 2, MEMIMG_TYPE_RGB565, 1), 0);
  a.Fill16(0xF800);
  EXPECT_EQ(TransferMemImgToPixelImage(&pi, &a.m, 1, 0, 2, 2, 0, 0, 0, 0), 0);
  uint32_t v;
  std::memcpy(&v, pi.Pixels, 4);
  EXPECT_EQ(v & 0xFFFFFF, 0xF80000u);  // 5-6-5 red widened by shifting
  EXPECT_EQ(TransferMemImgToPixelImage(&pi, &al.m, 0, 0, 2, 2, 0, 0, 0, 0), -1);
  EXPECT_EQ(TransferMemImgToPixelImage(&pi, &pal.m, 0, 0, 2, 2, 0, 0, 0, 0), -1);
  EXPECT_EQ(TransferMemImgToPixelImage(&pi, &a.m, 3, 0, 2, 2, 0, 0, 0, 0), -1);  // outside the view
  EXPECT_EQ(TransferMemImgToPixelImage(&pi, &a.m, 0, 0, 2, 2, 3, 0, 0, 0), -1);  // outside the image
  ReleasePixelImageImpl(&pi);
}

TEST_F(MemImgTest, CopyRectClipsToBothViews) {
  TestImg src, dst;
  ASSERT_EQ(src.Make(4, 4, MEMIMG_TYPE_XRGB32), 0);
  ASSERT_EQ(dst.Make(4, 4, MEMIMG_TYPE_XRGB32), 0);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) src.Set32(x, y, 0xFF000000u | static_cast<uint32_t>(y * 4 + x));
  dst.Fill32(0);
  const Rect r = {-1, 2, 10, 10};
  EXPECT_EQ(CopyMemImgRect(&dst.m, &src.m, &r, 2, 0), 0);
  // Source column -1 would land at x = 2, so column 0 lands at 3.
  EXPECT_EQ(dst.Get32(3, 0) & 0xFFFFFF, 8u);
  EXPECT_EQ(dst.Get32(3, 1) & 0xFFFFFF, 12u);
  EXPECT_EQ(dst.Get32(2, 0), 0u);
  EXPECT_EQ(dst.Get32(3, 2), 0u);
  EXPECT_EQ(CopyMemImgRect(&dst.m, &src.m, nullptr, 4, 0), -1);
  EXPECT_EQ(CopyMemImgRect(&dst.m, &src.m, nullptr, -2, -2), 0);
  EXPECT_EQ(dst.Get32(0, 0) & 0xFFFFFF, 10u);
}

TEST_F(MemImgTest, ClearRectWritesRawValuesInsideTheView) {
  TestImg a, g;
  ASSERT_EQ(a.Make(4, 3, MEMIMG_TYPE_RGB565), 0);
  a.Fill16(0);
  const Rect r = {-5, 1, 2, 9};
  ClearMemImgRect(&a.m, &r, 0x1234ABCD);
  EXPECT_EQ(a.Get16(0, 1), 0xABCDu);
  EXPECT_EQ(a.Get16(1, 2), 0xABCDu);
  EXPECT_EQ(a.Get16(2, 1), 0u);
  EXPECT_EQ(a.Get16(0, 0), 0u);
  ASSERT_EQ(g.Make(3, 2, MEMIMG_TYPE_GRAY8), 0);
  ClearMemImgRect(&g.m, nullptr, 0x77);
  EXPECT_EQ(*g.At(2, 1), 0x77);
}

}  // namespace
