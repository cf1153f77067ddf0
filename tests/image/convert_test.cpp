// The pixel converter: each fixed pair against its formula and against the
// general path, the general path's rescaling, palettes, alpha images, colour
// keys, mirroring, in-place conversion and the single-channel outputs.
#include "image/convert.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "graphics/geometry.h"
#include "image_test_util.h"

namespace {

using imgtest::Bytes;
constexpr auto Fmt = imgtest::MakeFormat;
const ColorFormat k565 = Fmt(16, 0xF800, 0x7E0, 0x1F, 0);
const ColorFormat k555 = Fmt(16, 0x7C00, 0x3E0, 0x1F, 0);
const ColorFormat k1555 = Fmt(16, 0x7C00, 0x3E0, 0x1F, 0x8000);
const ColorFormat kX888 = Fmt(32, 0xFF0000, 0xFF00, 0xFF, 0);
const ColorFormat kA888 = Fmt(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
const ColorFormat kRgb24 = Fmt(24, 0xFF0000, 0xFF00, 0xFF, 0);

ColorFormat RandomPalette(std::mt19937& rng) {
  ColorFormat p{};
  SetPaletteColorFormat(&p);
  for (auto& e : p.Palette) e = PaletteEntry{uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), 0};
  return p;
}

uint32_t Load(const uint8_t* p, int bpp) {
  uint32_t v = 0;
  std::memcpy(&v, p, size_t(bpp));
  return v;
}

struct Options {
  int Mirror = 0, KeyToAlpha = 0, ClearColor = 0, AlphaFromRed = 0, SkipKey = 0, Remap = 0;
  uint32_t Key = 0;
  const uint8_t* Alpha = nullptr;
  int AlphaPitch = 0;
  const ColorFormat* AlphaFormat = nullptr;
};

// Converts a w x 1 row; returns the result and fills `out`.
int Row(const ColorFormat& d, const ColorFormat& s, const Bytes& src, int w, Bytes* out,
        const Options& o = {}, uint8_t fill = 0xCD) {
  int db = d.BytesPerPixel;
  out->assign(size_t(w) * db + 8, fill);
  Rect r{0, 0, w, 1};
  return ConvertPixelRect(out->data(), w * db + 8, &d, src.data(), int(src.size()), &s, o.Alpha, o.AlphaPitch,
                          o.AlphaFormat, 0, 0, &r, o.Mirror, o.KeyToAlpha, o.Key, 0, o.ClearColor,
                          o.AlphaFromRed, o.SkipKey, o.Remap);
}

Bytes RandomBytes(std::mt19937& rng, size_t n) {
  Bytes b(n);
  for (auto& v : b) v = uint8_t(rng());
  return b;
}

TEST(Convert, EmptyAndNegativeRectangles) {
  Bytes src(16, 1), dst(16, 9);
  Rect zero{2, 0, 2, 1}, negative{3, 0, 1, 1};
  EXPECT_EQ(ConvertPixelRect(dst.data(), 16, &kX888, src.data(), 16, &kX888, nullptr, 0, nullptr, 0, 0, &zero,
                             0, 0, 0, 0, 0, 0, 0, 0),
            -1);
  EXPECT_EQ(ConvertPixelRect(dst.data(), 16, &kX888, src.data(), 16, &kX888, nullptr, 0, nullptr, 0, 0,
                             &negative, 0, 0, 0, 0, 0, 0, 0, 0),
            0);
  EXPECT_EQ(dst, Bytes(16, 9));
}

TEST(Convert, FixedPairsGiveTheirNumbers) {
  Bytes out;
  Row(k565, kRgb24, Bytes{7, 128, 255}, 1, &out);
  EXPECT_EQ(Load(out.data(), 2), 0xFC00u);
  Row(kX888, k565, Bytes{0xFF, 0xFF}, 1, &out);
  EXPECT_EQ(Load(out.data(), 4), 0x00F8FCF8u);
  // The same pixel through the general path (an alpha image forces it).
  Bytes alpha(4, 0);
  Options o;
  o.Alpha = alpha.data();
  o.AlphaFormat = &kX888;
  Row(kX888, k565, Bytes{0xFF, 0xFF}, 1, &out, o);
  EXPECT_EQ(Load(out.data(), 4), 0xFFFFFFFFu);
  Row(k565, k555, Bytes{0xE0, 0x03}, 1, &out);
  EXPECT_EQ(Load(out.data(), 2), 0x07E0u);
  Row(k565, k555, Bytes{0x20, 0x00}, 1, &out);
  EXPECT_EQ(Load(out.data(), 2), 0x0060u);
  Row(kA888, kRgb24, Bytes{1, 2, 3}, 1, &out);
  EXPECT_EQ(Load(out.data(), 4), 0xFF030201u);
}

TEST(Convert, AllSixteenBitValuesBetween565And555) {
  Bytes src(65536 * 2);
  for (uint32_t v = 0; v < 65536; v++) {
    src[v * 2] = uint8_t(v);
    src[v * 2 + 1] = uint8_t(v >> 8);
  }
  Bytes fast, general;
  Row(k555, k565, src, 65536, &fast);
  Options mirrored;
  mirrored.Mirror = 1;
  Row(k555, k565, src, 65536, &general, mirrored);
  for (uint32_t p = 0; p < 65536; p++) {
    uint32_t want = ((p & 0xFFC0) >> 1) | (p & 0x1F);
    ASSERT_EQ(Load(&fast[p * 2], 2), want) << p;
    ASSERT_EQ(Load(&general[(65535 - p) * 2], 2) & 0x7FFF, want) << p;
  }
  Row(k565, k555, src, 65536, &fast);
  Row(k565, k555, src, 65536, &general, mirrored);
  for (uint32_t p = 0; p < 65536; p++) {
    ASSERT_EQ(Load(&fast[p * 2], 2), ((p & 0x7FE0) << 1) | (p & 0x3F)) << p;
    // The general path widens green proportionally.
    uint32_t r = (p >> 10) & 31, g = (p >> 5) & 31, b = p & 31;
    ASSERT_EQ(Load(&general[(65535 - p) * 2], 2), (r << 11) | ((g * 63 / 31) << 5) | b) << p;
  }
}

TEST(Convert, WideningFastPairsShift) {
  Bytes src(65536 * 2);
  for (uint32_t v = 0; v < 65536; v++) {
    src[v * 2] = uint8_t(v);
    src[v * 2 + 1] = uint8_t(v >> 8);
  }
  Bytes out24, out32;
  Row(kRgb24, k565, src, 65536, &out24);
  Row(kX888, k565, src, 65536, &out32);
  for (uint32_t p = 0; p < 65536; p += 7) {
    uint32_t want = ((p & 0x1F) << 3) | ((p & 0x7E0) << 5) | ((p & 0xF800) << 8);
    ASSERT_EQ(Load(&out24[p * 3], 3), want);
    ASSERT_EQ(Load(&out32[p * 4], 4), want);  // top byte 0 on this pair
  }
}

// Narrowing pairs: the fixed loop and the general path (reached by mirroring)
// give the same pixels, unused bits aside.
TEST(Convert, FixedPairsMatchTheGeneralPath) {
  std::mt19937 rng(1234);
  const ColorFormat pal = RandomPalette(rng);
  struct Case {
    const ColorFormat* D;
    const ColorFormat* S;
    int Key;
    uint32_t IgnoreMask;
  } cases[] = {
      {&k565, &pal, 0, 0},    {&k555, &pal, 0, 0},     {&kX888, &pal, 0, 0},    {&k565, &kRgb24, 0, 0},
      {&k555, &kRgb24, 0, 0}, {&kX888, &kRgb24, 0, 0}, {&k565, &kX888, 0, 0},   {&k555, &k565, 0, 0x8000},
      {&k1555, &pal, 1, 0},   {&kA888, &pal, 1, 0},    {&k1555, &kRgb24, 1, 0}, {&kA888, &kRgb24, 1, 0},
      {&k1555, &k565, 1, 0},  {&kRgb24, &kX888, 0, 0}, {&kRgb24, &kA888, 0, 0}, {&k565, &kA888, 0, 0},
  };
  const int w = 512;
  for (const Case& c : cases) {
    Bytes src = RandomBytes(rng, size_t(w) * c.S->BytesPerPixel);
    Options o;
    o.KeyToAlpha = c.Key;
    // A key colour that occurs: the colour of pixel 3.
    if (c.S->BytesPerPixel == 1) {
      const PaletteEntry& e = c.S->Palette[src[3]];
      o.Key = uint32_t(e.Red) << 16 | e.Green << 8 | e.Blue;
    } else if (c.S == &kRgb24) {
      o.Key = Load(&src[9], 3);
    } else {
      uint32_t p = Load(&src[6], 2);
      o.Key = ((p >> 11) << 3) << 16 | (((p >> 5) & 63) << 2) << 8 | (p & 31) << 3;
    }
    Bytes fast, general;
    Row(*c.D, *c.S, src, w, &fast, o);
    o.Mirror = 1;
    Row(*c.D, *c.S, src, w, &general, o);
    int db = c.D->BytesPerPixel;
    for (int x = 0; x < w; x++) {
      uint32_t a = Load(&fast[size_t(x) * db], db) & ~c.IgnoreMask;
      uint32_t b = Load(&general[size_t(w - 1 - x) * db], db) & ~c.IgnoreMask;
      ASSERT_EQ(a, b) << "case " << (&c - cases) << " pixel " << x;
    }
    if (c.Key) {
      EXPECT_EQ(Load(&fast[3 * size_t(db)], db) & c.D->AlphaMask, 0u) << (&c - cases);
    }
  }
}

TEST(Convert, GeneralPathRescalesEveryChannel) {
  // 5-bit 31 becomes 255 and 16 becomes 131; a blue channel of another width
  // is rescaled too even when red and green match.
  Bytes out;
  Bytes alpha(4, 0);
  Options o;
  o.Alpha = alpha.data();
  o.AlphaFormat = &kX888;
  Row(kX888, k565, Bytes{0x10, 0x00}, 1, &out, o);
  EXPECT_EQ(Load(out.data(), 4) & 0xFF, 131u);
  ColorFormat wideBlue = Fmt(32, 0xF800, 0x7E0, 0xFF0000, 0);
  Row(wideBlue, k565, Bytes{0x1F, 0x00}, 1, &out);
  EXPECT_EQ((Load(out.data(), 4) >> 16) & 0xFF, 255u);
  // A source without a blue channel gives blue 0, not a division by zero.
  ColorFormat noBlue = Fmt(16, 0xF800, 0x7E0, 0, 0);
  Row(kX888, noBlue, Bytes{0xFF, 0xFF}, 1, &out);
  EXPECT_EQ(Load(out.data(), 4), 0xFFFFFF00u);
}

TEST(Convert, OneBitAlphaWidensToFullAlpha) {
  Bytes out;
  Row(kA888, k1555, Bytes{0x00, 0x80, 0x00, 0x00}, 2, &out);
  EXPECT_EQ(Load(out.data(), 4) >> 24, 255u);
  EXPECT_EQ(Load(out.data() + 4, 4) >> 24, 0u);
}

TEST(Convert, PaletteCopyRemapAndPaletteDestination) {
  std::mt19937 rng(7);
  ColorFormat a = RandomPalette(rng);
  Bytes out;
  EXPECT_EQ(Row(a, a, Bytes{3, 200, 7}, 3, &out), 200);
  EXPECT_EQ(out[1], 200);
  ColorFormat b{};
  SetPaletteColorFormat(&b);
  for (int i = 0; i < 256; i++) b.Palette[i] = a.Palette[255 - i];
  Options o;
  o.Remap = 1;
  EXPECT_EQ(Row(b, a, Bytes{3, 200, 7}, 3, &out, o), 0);
  EXPECT_EQ(out[0], 252);
  EXPECT_EQ(out[1], 55);
  // A 24-bit source onto a palette: the nearest entry.
  ColorFormat gray{};
  SetGrayPaletteColorFormat(&gray);
  Row(gray, kRgb24, Bytes{100, 100, 100, 102, 101, 100}, 2, &out);
  EXPECT_EQ(out[0], 100);
  EXPECT_EQ(out[1], 101);
  o = Options{};
  o.Mirror = 1;
  Row(gray, kRgb24, Bytes{100, 100, 100, 102, 101, 100}, 2, &out, o);
  EXPECT_EQ(out[0], 101);
  EXPECT_EQ(out[1], 100);
}

TEST(Convert, AlphaImageGivesAlpha) {
  // XRGB8 colours, a 5-6-5 alpha image whose red channel is the alpha.
  Bytes src{1, 2, 3, 0, 4, 5, 6, 0};
  Bytes alpha{0x00, 0xF8, 0x00, 0x80};  // red 31, red 16
  Options o;
  o.Alpha = alpha.data();
  o.AlphaPitch = 4;
  o.AlphaFormat = &k565;
  Bytes out;
  Row(kA888, kX888, src, 2, &out, o);
  EXPECT_EQ(Load(out.data(), 4), 0xFF030201u);
  EXPECT_EQ(Load(out.data() + 4, 4), 0x83060504u);  // 16 x 255 / 31 = 131
}

TEST(Convert, KeyToAlphaAndSkipKey) {
  std::mt19937 rng(9);
  ColorFormat pal = RandomPalette(rng);
  pal.Palette[5] = PaletteEntry{0x33, 0x22, 0x11, 0};
  Options o;
  o.KeyToAlpha = 1;
  o.Key = 0x112233;
  Bytes out;
  Row(kA888, pal, Bytes{5, 6}, 2, &out, o);
  EXPECT_EQ(Load(out.data(), 4), 0x00112233u);
  EXPECT_EQ(Load(out.data() + 4, 4) >> 24, 0xFFu);
  // Same colour layout: XRGB8 to ARGB8, the unused byte of the source ignored.
  Row(kA888, kX888, Bytes{0x33, 0x22, 0x11, 0x00, 0x34, 0x22, 0x11, 0x00}, 2, &out, o);
  EXPECT_EQ(Load(out.data(), 4), 0x00112233u);
  EXPECT_EQ(Load(out.data() + 4, 4), 0xFF112234u);
  // The same with a 16-bit source whose unused bit is clear.
  o.Key = 0xF8FCF8;
  Row(k1555, k555, Bytes{0xFF, 0x7F, 0x00, 0x00}, 2, &out, o);
  EXPECT_EQ(Load(out.data(), 2), 0x7FFFu);
  EXPECT_EQ(Load(out.data() + 2, 2), 0x8000u);

  o = Options{};
  o.SkipKey = 1;
  o.Key = 0x00112233;
  Bytes src{0x33, 0x22, 0x11, 0x00, 0x44, 0x22, 0x11, 0x00};
  Row(kX888, kX888, src, 2, &out, o, 0xEE);
  EXPECT_EQ(Load(out.data(), 4), 0xEEEEEEEEu);  // skipped
  EXPECT_EQ(Load(out.data() + 4, 4), 0x00112244u);
  // An ARGB8 source onto ARGB8: skipping is off, every pixel written.
  Row(kA888, kA888, src, 2, &out, o, 0xEE);
  EXPECT_EQ(Load(out.data(), 4), 0x00112233u);
  // General path skipping (XRGB8 to 5-6-5 with an unusual key).
  Row(k565, kX888, src, 2, &out, o, 0xEE);
  EXPECT_EQ(Load(out.data(), 2), 0xEEEEu);
}

// A palette destination leaves key pixels alone like every other path, and
// alpha from red into a one-bit alpha takes red's top bit (not its lowest).
TEST(Convert, PaletteDestinationSkipsKeyAndNarrowAlphaTakesRedsTopBit) {
  ColorFormat gray{};
  SetGrayPaletteColorFormat(&gray);
  Options o;
  o.SkipKey = 1;
  o.Key = 0x646464;
  Bytes out;
  Row(gray, kRgb24, Bytes{100, 100, 100, 102, 101, 100}, 2, &out, o);
  EXPECT_EQ(out[0], 0xCD);  // skipped
  EXPECT_EQ(out[1], 101);
  o = Options{};
  o.AlphaFromRed = 1;
  Row(k1555, kX888, Bytes{0, 0, 0x80, 0, 0, 0, 0x70, 0}, 2, &out, o);
  EXPECT_EQ(Load(out.data(), 2), 0xC000u);      // red 16, alpha 1
  EXPECT_EQ(Load(out.data() + 2, 2), 0x3800u);  // red 14, alpha 0
}

TEST(Convert, MirrorOnEveryPath) {
  Bytes out;
  Options o;
  o.Mirror = 1;
  Row(kX888, kX888, Bytes{1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0}, 3, &out, o);
  EXPECT_EQ(out[0], 3);
  EXPECT_EQ(out[4], 2);
  EXPECT_EQ(out[8], 1);
  Row(kRgb24, kRgb24, Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9}, 3, &out, o);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 9), (Bytes{7, 8, 9, 4, 5, 6, 1, 2, 3}));
  ColorFormat pal{};
  SetGrayPaletteColorFormat(&pal);
  Row(pal, pal, Bytes{3, 200, 7}, 3, &out, o);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 3), (Bytes{7, 200, 3}));
  o.KeyToAlpha = 1;
  o.Key = 0x010203;
  Row(kA888, kX888, Bytes{3, 2, 1, 0, 9, 9, 9, 0}, 2, &out, o);
  EXPECT_EQ(Load(out.data() + 4, 4), 0x00010203u);
  EXPECT_EQ(Load(out.data(), 4), 0xFF090909u);
}

TEST(Convert, InPlaceNarrowing) {
  // XRGB8 to 5-6-5 into the same buffer and pitch.
  Bytes buf{0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0xFF, 0x00, 0x00};
  Rect r{0, 0, 3, 1};
  ConvertPixelRect(buf.data(), 12, &k565, buf.data(), 12, &kX888, nullptr, 0, nullptr, 0, 0, &r, 0, 0, 0, 0,
                   0, 0, 0, 0);
  EXPECT_EQ(Load(buf.data(), 2), 0xFFFFu);
  EXPECT_EQ(Load(buf.data() + 2, 2), 0xF800u);
  EXPECT_EQ(Load(buf.data() + 4, 2), 0x07E0u);
}

TEST(Convert, SubRectangleLandsAtThePosition) {
  // 4 x 3 XRGB8 source, rectangle (1,1)-(3,3) to (0,1) of a 3 x 3 destination.
  Bytes src(4 * 3 * 4);
  for (size_t i = 0; i < src.size(); i += 4) src[i] = uint8_t(i / 4);
  Bytes dst(3 * 3 * 4, 0);
  Rect r{1, 1, 3, 3};
  ConvertPixelRect(dst.data(), 12, &kX888, src.data(), 16, &kX888, nullptr, 0, nullptr, 0, 1, &r, 0, 0, 0, 0,
                   0, 0, 0, 0);
  EXPECT_EQ(dst[12 + 0], 5);
  EXPECT_EQ(dst[12 + 4], 6);
  EXPECT_EQ(dst[24 + 0], 9);
  EXPECT_EQ(dst[0], 0);
  EXPECT_EQ(dst[12 + 8], 0);
}

TEST(Convert, SingleChannelOutputsTakeTheRedChannel) {
  // The library image's blend-graph (8-bit) and depth (16-bit) layouts.
  ColorFormat one{};
  one.BitDepth = 8;
  one.BytesPerPixel = 1;
  one.RedWidth = one.GreenWidth = one.BlueWidth = one.AlphaWidth = 8;
  one.RedMask = one.GreenMask = one.BlueMask = one.AlphaMask = 0xFF;
  ColorFormat two = one;
  two.BitDepth = 16;
  two.BytesPerPixel = 2;
  two.RedWidth = two.GreenWidth = two.BlueWidth = two.AlphaWidth = 16;
  two.RedMask = two.GreenMask = two.BlueMask = two.AlphaMask = 0xFFFF;
  Options o;
  o.ClearColor = 1;
  o.AlphaFromRed = 1;
  Bytes out;
  Row(one, kX888, Bytes{0x00, 0x00, 0x80, 0x00, 0x00, 0xFF, 0x10, 0x00}, 2, &out, o);
  EXPECT_EQ(out[0], 0x80);
  EXPECT_EQ(out[1], 0x10);
  Row(one, k565, Bytes{0x00, 0xF8, 0x00, 0x80}, 2, &out, o);
  EXPECT_EQ(out[0], 255);
  EXPECT_EQ(out[1], 131);
  ColorFormat gray{};
  SetGrayPaletteColorFormat(&gray);
  Row(one, gray, Bytes{42, 7}, 2, &out, o);
  EXPECT_EQ(out[0], 42);
  EXPECT_EQ(out[1], 7);
  Row(two, kX888, Bytes{0x00, 0x00, 0xFF, 0x00}, 1, &out, o);
  EXPECT_EQ(Load(out.data(), 2), 0xFFFFu);
}

}  // namespace
