// Colour formats: building from masks, the fixed layouts, packing, unpacking,
// repacking and the nearest palette entry.
#include "image/colorformat.h"

#include <gtest/gtest.h>

#include <cstring>

#include "image_test_util.h"

namespace {

constexpr auto Make = imgtest::MakeFormat;

TEST(ColorFormat, BuildsFromMasks) {
  ColorFormat f = Make(16, 0xF800, 0x7E0, 0x1F, 0);
  EXPECT_EQ(f.BytesPerPixel, 2);
  EXPECT_EQ(f.RedWidth, 5);
  EXPECT_EQ(f.GreenWidth, 6);
  EXPECT_EQ(f.BlueWidth, 5);
  EXPECT_EQ(f.AlphaWidth, 0);
  EXPECT_EQ(f.RedShift, 11);
  EXPECT_EQ(f.GreenShift, 5);
  EXPECT_EQ(f.BlueShift, 0);
  EXPECT_EQ(f.UnusedMask, 0u);
  EXPECT_EQ(f.UnusedShift, 0);
  EXPECT_EQ(f.UnusedWidth, 0);

  f = Make(16, 0x7C00, 0x3E0, 0x1F, 0x8000);
  EXPECT_EQ(f.AlphaWidth, 1);
  EXPECT_EQ(f.AlphaShift, 15);
  EXPECT_EQ(f.UnusedMask, 0u);

  f = Make(16, 0x7C00, 0x3E0, 0x1F, 0);
  EXPECT_EQ(f.UnusedMask, 0x8000u);
  EXPECT_EQ(f.UnusedShift, 15);
  EXPECT_EQ(f.UnusedWidth, 1);

  f = Make(32, 0xFF0000, 0xFF00, 0xFF, 0);
  EXPECT_EQ(f.UnusedMask, 0xFF000000u);
  EXPECT_EQ(f.UnusedShift, 24);
  EXPECT_EQ(f.UnusedWidth, 8);

  // A gap: bits above it stay in the mask but not in the width.
  f = Make(16, 0x0F0F, 0, 0, 0);
  EXPECT_EQ(f.RedShift, 0);
  EXPECT_EQ(f.RedWidth, 4);
  EXPECT_EQ(f.RedMask, 0x0F0Fu);
  EXPECT_EQ(f.UnusedMask, 0xF0F0u);
}

TEST(ColorFormat, FixedFormatsAndComparison) {
  ColorFormat x{}, a{}, p{}, g{};
  SetXRGB8ColorFormat(&x);
  SetARGB8ColorFormat(&a);
  SetPaletteColorFormat(&p);
  SetGrayPaletteColorFormat(&g);
  EXPECT_EQ(x.UnusedMask, 0xFF000000u);
  EXPECT_EQ(a.AlphaMask, 0xFF000000u);
  EXPECT_EQ(a.UnusedMask, 0u);
  EXPECT_EQ(p.BytesPerPixel, 1);
  EXPECT_EQ(g.Palette[77].Red, 77);
  EXPECT_EQ(g.Palette[77].Reserved, 0);
  EXPECT_EQ(IsSameColorFormat(&x, &a), 0);
  EXPECT_EQ(IsSameColorFormat(&p, &g), 1);  // palettes are not compared
  ColorFormat made = Make(32, 0xFF0000, 0xFF00, 0xFF, 0);
  EXPECT_EQ(IsSameColorFormat(&made, &x), 1);
}

// Each fixed setter writes its layout's fields and no other: over a record
// filled with 0xA5 the palette (and, but for XRGB8, the unused shift and
// width) keep that byte.
TEST(ColorFormat, FixedSettersWriteTheirLayoutOnly) {
  struct Expected {
    int (*Set)(ColorFormat*);
    uint16_t Depth, Bytes;
    uint8_t AlphaWidth, AlphaShift;
    uint32_t AlphaMask, Unused;
    bool UnusedPosition;
  };
  const Expected layouts[] = {
      {SetPaletteColorFormat, 8, 1, 0, 0, 0, 0xFF000000u, false},
      {SetXRGB8ColorFormat, 32, 4, 0, 0, 0, 0xFF000000u, true},
      {SetARGB8ColorFormat, 32, 4, 8, 24, 0xFF000000u, 0, false},
      {SetRGB24ColorFormat, 24, 3, 0, 0, 0, 0, false},
  };
  for (const Expected& e : layouts) {
    SCOPED_TRACE(e.Depth * 10 + e.AlphaWidth);
    ColorFormat f;
    std::memset(&f, 0xA5, sizeof f);
    EXPECT_EQ(e.Set(&f), 0);
    EXPECT_EQ(f.BitDepth, e.Depth);
    EXPECT_EQ(f.BytesPerPixel, e.Bytes);
    EXPECT_EQ(f.RedWidth, 8);
    EXPECT_EQ(f.GreenWidth, 8);
    EXPECT_EQ(f.BlueWidth, 8);
    EXPECT_EQ(f.RedShift, 16);
    EXPECT_EQ(f.GreenShift, 8);
    EXPECT_EQ(f.BlueShift, 0);
    EXPECT_EQ(f.RedMask, 0xFF0000u);
    EXPECT_EQ(f.GreenMask, 0xFF00u);
    EXPECT_EQ(f.BlueMask, 0xFFu);
    EXPECT_EQ(f.AlphaWidth, e.AlphaWidth);
    EXPECT_EQ(f.AlphaShift, e.AlphaShift);
    EXPECT_EQ(f.AlphaMask, e.AlphaMask);
    EXPECT_EQ(f.UnusedMask, e.Unused);
    EXPECT_EQ(f.UnusedShift, e.UnusedPosition ? 24 : 0xA5);
    EXPECT_EQ(f.UnusedWidth, e.UnusedPosition ? 8 : 0xA5);
    EXPECT_EQ(f.FormatCode, 0u);
    EXPECT_EQ(f.Palette[0].Blue, 0xA5);
    EXPECT_EQ(f.Palette[255].Reserved, 0xA5);
  }
}

TEST(ColorFormat, UpdateUnusedBits) {
  ColorFormat f = Make(32, 0xFF0000, 0xFF00, 0xFF, 0);
  f.AlphaMask = 0xFF000000;
  f.AlphaWidth = 8;
  UpdateColorFormatUnusedBits(&f);
  EXPECT_EQ(f.UnusedMask, 0u);
  f.AlphaMask = 0x0F000000;
  f.AlphaWidth = 4;
  UpdateColorFormatUnusedBits(&f);
  EXPECT_EQ(f.UnusedMask, 0xF0000000u);
}

TEST(ColorFormat, PackTruncatesAndSetsUnusedBits) {
  ColorFormat f = Make(16, 0xF800, 0x7E0, 0x1F, 0);
  EXPECT_EQ(PackColorForFormat(&f, 255, 255, 255, 0), 0xFFFFu);
  EXPECT_EQ(PackColorForFormat(&f, 7, 3, 7, 0), 0u);
  EXPECT_EQ(PackColorForFormat(&f, 0x1FF, 0x100, 0x100, 0), 0xF800u);  // only the low byte counts
  ColorFormat u = Make(16, 0x7C00, 0x3E0, 0x1F, 0);
  EXPECT_EQ(PackColorForFormat(&u, 0, 0, 0, 0), 0x8000u);
  ColorFormat x{};
  SetXRGB8ColorFormat(&x);
  EXPECT_EQ(PackColorForFormat(&x, 1, 2, 3, 4), 0xFF010203u);
  ColorFormat a{};
  SetARGB8ColorFormat(&a);
  EXPECT_EQ(PackColorForFormat(&a, 1, 2, 3, 4), 0x04010203u);
  ColorFormat a1 = Make(16, 0x7C00, 0x3E0, 0x1F, 0x8000);
  EXPECT_EQ(PackColorForFormat(&a1, 0, 0, 0, 0x80), 0x8000u);
  EXPECT_EQ(PackColorForFormat(&a1, 0, 0, 0, 0x7F), 0x0000u);
}

TEST(ColorFormat, WideAndEmptyChannelsAreDefined) {
  // A 16-bit single channel and a format without channels: no undefined
  // shifts and no division by zero.
  ColorFormat w = Make(16, 0xFFFF, 0xFFFF, 0xFFFF, 0);
  uint32_t v = PackColorForFormat(&w, 255, 0, 0, 0);
  EXPECT_EQ(v & 0xFF00u, 0xFF00u);
  int r = -1, g = -1, b = -1, a = -1;
  UnpackColorForFormat(&w, 0xFFFF, &r, &g, &b, &a);
  EXPECT_EQ(r, 255);
  EXPECT_EQ(a, 0);
  ColorFormat none = Make(16, 0, 0, 0, 0);
  EXPECT_EQ(PackColorForFormat(&none, 255, 255, 255, 255), 0xFFFFu);
  UnpackColorForFormat(&none, 0x1234, &r, &g, &b, &a);
  EXPECT_EQ(r + g + b + a, 0);
  ColorFormat gap = Make(16, 0x0F0F, 0, 0, 0);
  UnpackColorForFormat(&gap, 0xFFFF, &r, nullptr, nullptr, nullptr);
  EXPECT_EQ(r, 255);
}

TEST(ColorFormat, UnpackScalesAndRepackShifts) {
  ColorFormat f = Make(16, 0xF800, 0x7E0, 0x1F, 0);
  int r, g, b, a;
  UnpackColorForFormat(&f, 0x001F, &r, &g, &b, &a);
  EXPECT_EQ(b, 255);
  EXPECT_EQ(r, 0);
  EXPECT_EQ(g, 0);
  EXPECT_EQ(a, 0);
  UnpackColorForFormat(&f, 0x0010, nullptr, nullptr, &b, nullptr);
  EXPECT_EQ(b, 131);
  ColorFormat x{}, argb{};
  SetXRGB8ColorFormat(&x);
  SetARGB8ColorFormat(&argb);
  EXPECT_EQ(RepackColorValue(&x, &f, 0xFFFF), 0xFFF8FCF8u);
  EXPECT_EQ(RepackColorValue(&argb, &f, 0x0000) >> 24, 0xFFu);
  EXPECT_EQ(RepackColorValue(&f, &argb, 0x80FFFFFF), 0xFFFFu);
}

TEST(ColorFormat, NearestPaletteEntryTiesToLowestIndex) {
  ColorFormat g{};
  SetGrayPaletteColorFormat(&g);
  EXPECT_EQ(PackColorForFormat(&g, 100, 100, 100, 0), 100u);
  EXPECT_EQ(PackColorForFormat(&g, 100, 101, 102, 0), 101u);
  ColorFormat p{};
  SetPaletteColorFormat(&p);
  for (auto& e : p.Palette) e = PaletteEntry{200, 200, 200, 0};
  p.Palette[10] = PaletteEntry{0, 0, 12, 0};  // red 12
  p.Palette[20] = PaletteEntry{0, 0, 8, 0};   // red 8: same distance from 10
  EXPECT_EQ(PackColorForFormat(&p, 10, 0, 0, 0), 10u);
  p.Palette[5] = PaletteEntry{0, 0, 8, 0};
  EXPECT_EQ(PackColorForFormat(&p, 10, 0, 0, 0), 5u);
}

}  // namespace
