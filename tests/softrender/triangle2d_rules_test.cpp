// The 2-D triangle's coverage, clipping, refusals and worked pixel values.
#include <algorithm>
#include <array>

#include "softrender/test_support.h"
#include "softrender/triangle2d.h"
#include "softrender/triangle2d_reference.h"

namespace {

class Triangle2D : public SoftRenderTest {
 protected:
  void SetUp() override {
    SoftRenderTest::SetUp();
    ApplyState(PlainState(64, 48));
  }
  static void Mode(int mode, int p, uint32_t tint = 0xFFFFFF) {
    SoftDrawState.BlendMode = mode;
    SoftDrawState.BlendParam = p;
    SoftDrawState.Tint = tint;
  }
};

MemImgVertex2D V(int x, int y, int u = 0, int v = 0) { return MemImgVertex2D{x, y, u, v}; }

// The pixels a flat triangle in mode 0 sets, as "x,y" strings.
std::vector<std::pair<int, int>> Covered(TestImg& img) {
  std::vector<std::pair<int, int>> out;
  for (int y = 0; y < img.m.Height; ++y)
    for (int x = 0; x < img.m.Width; ++x)
      if (img.Get32(x, y) == 0xFFFFFFFFu) out.emplace_back(x, y);
  return out;
}

std::vector<std::pair<int, int>> CoverageOf(const MemImgVertex2D* v, int w = 64, int h = 48) {
  TestImg img;
  EXPECT_EQ(0, img.Make(w, h, MEMIMG_TYPE_XRGB32));
  img.Fill32(0);
  DrawMemImgTriangle2D(&img.m, nullptr, v, 0, nullptr, 0xFFFFFFFFu);
  return Covered(img);
}

// Rows of the coverage as (row, first column, last column).
std::vector<std::array<int, 3>> Rows(const std::vector<std::pair<int, int>>& px) {
  std::vector<std::array<int, 3>> out;
  for (auto [x, y] : px) {
    if (!out.empty() && out.back()[0] == y && out.back()[2] == x - 1)
      out.back()[2] = x;
    else
      out.push_back({y, x, x});
  }
  return out;
}

TEST_F(Triangle2D, RowsRunFromTheTopVertexToTheRowAboveTheBottomOne) {
  const MemImgVertex2D right[3] = {V(0, 0), V(4, 0), V(0, 4)};
  EXPECT_EQ(Rows(CoverageOf(right)),
            (std::vector<std::array<int, 3>>{{0, 0, 4}, {1, 0, 3}, {2, 0, 2}, {3, 0, 1}}));
  const MemImgVertex2D sliver[3] = {V(0, 0), V(3, 0), V(5, 1)};
  EXPECT_EQ(Rows(CoverageOf(sliver)), (std::vector<std::array<int, 3>>{{0, 0, 3}}));
  // Above the image the rows are counted the same way.
  const MemImgVertex2D above[3] = {V(0, -3), V(10, -3), V(0, 7)};
  std::vector<std::array<int, 3>> rows;
  for (int y = 0; y < 7; ++y) rows.push_back({y, 0, 7 - y});
  EXPECT_EQ(Rows(CoverageOf(above)), rows);
  // One row, one line, one point: nothing.
  const MemImgVertex2D flat[3] = {V(0, 5), V(9, 5), V(20, 5)};
  const MemImgVertex2D line[3] = {V(0, 0), V(5, 5), V(10, 10)};
  const MemImgVertex2D point[3] = {V(3, 3), V(3, 3), V(3, 3)};
  EXPECT_TRUE(CoverageOf(flat).empty());
  EXPECT_TRUE(CoverageOf(line).empty());
  EXPECT_TRUE(CoverageOf(point).empty());
}

TEST_F(Triangle2D, CoverageDoesNotDependOnVertexOrder) {
  std::mt19937 rng(7);
  for (int trial = 0; trial < 300; ++trial) {
    MemImgVertex2D v[3];
    for (auto& p : v) p = V(int(rng() % 80) - 8, int(rng() % 64) - 8);
    if (trial % 3 == 0) v[2].y = v[0].y;  // flat tops and bottoms
    if (trial % 5 == 0) v[1].x = v[0].x;  // shared leftmost column
    const auto expected = CoverageOf(v);
    int order[3] = {0, 1, 2};
    while (std::next_permutation(order, order + 3)) {
      const MemImgVertex2D w[3] = {v[order[0]], v[order[1]], v[order[2]]};
      ASSERT_EQ(expected, CoverageOf(w)) << "trial " << trial;
    }
  }
}

// Draws the quad of a w x h texture with its top-left corner at (x, y) as the
// two triangles the quad drawing uses.
void DrawQuad(TestImg& dest, const MEMIMG* tex, int x, int y, int w, int h, int key = 0,
              const MEMIMG* graph = nullptr) {
  const MemImgVertex2D q[4] = {V(x, y, 0, 0), V(x + w, y, w, 0), V(x, y + h, 0, h), V(x + w, y + h, w, h)};
  DrawMemImgTriangle2D(&dest.m, tex, &q[0], key, graph, 0);
  DrawMemImgTriangle2D(&dest.m, tex, &q[1], key, graph, 0);
}

TEST_F(Triangle2D, AQuadAtItsTexturesSizeDrawsWhatTheBlitDraws) {
  // Every position, also across the top and left edges, and both depths: the
  // quad covers exactly w x h pixels with the texels of a one-to-one blit.
  std::mt19937 rng(11);
  int compared = 0;
  for (MemImgColorType type : {MEMIMG_TYPE_XRGB32, MEMIMG_TYPE_RGB565}) {
    TestImg tex, a, b;
    ASSERT_EQ(0, tex.Make(13, 9, type, 0, 0, 0, -1, 0x1234));
    for (size_t i = 0; i < tex.Bytes(); ++i) tex.m.Base->Pixels[i] = uint8_t(rng());
    type == MEMIMG_TYPE_XRGB32 ? tex.Set32(4, 4, 0x1234) : tex.Set16(4, 4, 0x1234);
    ASSERT_EQ(0, a.Make(40, 30, type));
    ASSERT_EQ(0, b.Make(40, 30, type));
    for (int y = -10; y <= 24; y += 2)
      for (int x = -14; x <= 30; x += 3)
        for (int key : {0, 1}) {
          Mode(0, 0);
          std::memset(a.m.Base->Pixels, 0x5A, a.Bytes());
          b.Restore(a.Snapshot());
          DrawMemImg(&a.m, &tex.m, x, y, key, nullptr);
          DrawQuad(b, &tex.m, x, y, 13, 9, key);
          ASSERT_EQ(a.Snapshot(), b.Snapshot()) << x << "," << y;
          ++compared;
        }
    // Exactly w x h pixels change, and the shared diagonal is drawn by both
    // triangles: adding 2 per channel twice leaves 4 there.
    Mode(2, 255);
    TestImg ones;
    ASSERT_EQ(0, ones.Make(13, 9, type));
    std::memset(ones.m.Base->Pixels, 0, ones.Bytes());
    for (int y = 0; y < 9; ++y)
      for (int x = 0; x < 13; ++x)
        type == MEMIMG_TYPE_XRGB32 ? ones.Set32(x, y, 0x020202) : ones.Set16(x, y, 0x1042);
    std::memset(b.m.Base->Pixels, 0, b.Bytes());
    DrawQuad(b, &ones.m, 5, 4, 13, 9);
    int once = 0, twice = 0;
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 40; ++x) {
        const uint32_t v = type == MEMIMG_TYPE_XRGB32 ? b.Get32(x, y) : b.Get16(x, y);
        once += v == (type == MEMIMG_TYPE_XRGB32 ? 0x020202u : 0x1042u);
        twice += v == (type == MEMIMG_TYPE_XRGB32 ? 0x040404u : 0x2084u);
      }
    EXPECT_EQ(13 * 9, once + twice);
    EXPECT_GT(twice, 0);
  }
  EXPECT_EQ(2 * 18 * 15 * 2, compared);
}

TEST_F(Triangle2D, TheClipRectangleNeverShiftsTheTexture) {
  std::mt19937 rng(3);
  TestImg tex;
  ASSERT_EQ(0, tex.Make(16, 16, MEMIMG_TYPE_XRGB32));
  for (size_t i = 0; i < tex.Bytes(); ++i) tex.m.Base->Pixels[i] = uint8_t(rng());
  for (int trial = 0; trial < 200; ++trial) {
    MemImgVertex2D v[3];
    for (auto& p : v)
      p = V(int(rng() % 80) - 8, int(rng() % 64) - 8, int(rng() % 20) - 2, int(rng() % 20) - 2);
    TestImg whole, clipped;
    ASSERT_EQ(0, whole.Make(64, 48, MEMIMG_TYPE_XRGB32));
    ASSERT_EQ(0, clipped.Make(64, 48, MEMIMG_TYPE_XRGB32));
    whole.Fill32(0x01020304);
    clipped.Fill32(0x01020304);
    const Rect clip{int(rng() % 30), int(rng() % 20), 30 + int(rng() % 40), 20 + int(rng() % 30)};
    Mode(0, 0);
    DrawMemImgTriangle2D(&whole.m, &tex.m, v, 0, nullptr, 0);
    static Rect clipCopy;
    clipCopy = clip;
    SoftDrawState.Clip = &clipCopy;
    DrawMemImgTriangle2D(&clipped.m, &tex.m, v, 0, nullptr, 0);
    static const Rect whole64x48{0, 0, 64, 48};
    SoftDrawState.Clip = &whole64x48;
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 64; ++x) {
        const bool inside = x >= clip.Left && x < clip.Right && y >= clip.Top && y < clip.Bottom;
        ASSERT_EQ(clipped.Get32(x, y), inside ? whole.Get32(x, y) : 0x01020304u) << x << "," << y;
      }
  }
}

TEST_F(Triangle2D, WhatIsNotDrawnLeavesTheDestination) {
  TestImg dest, tex16, alphaDest, graph, smallGraph, palGraph;
  ASSERT_EQ(0, dest.Make(32, 32, MEMIMG_TYPE_XRGB32));
  ASSERT_EQ(0, tex16.Make(8, 8, MEMIMG_TYPE_RGB565));
  ASSERT_EQ(0, alphaDest.Make(32, 32, MEMIMG_TYPE_XRGB32, 0, 1));
  TestImg tex;
  ASSERT_EQ(0, tex.Make(8, 8, MEMIMG_TYPE_XRGB32));
  tex.Fill32(0xFF808080u);
  ASSERT_EQ(0, graph.Make(8, 8, MEMIMG_TYPE_GRAY8));
  std::memset(graph.m.Base->Pixels, 255, graph.Bytes());
  ASSERT_EQ(0, smallGraph.Make(8, 7, MEMIMG_TYPE_GRAY8));
  ASSERT_EQ(0, palGraph.Make(8, 8, MEMIMG_TYPE_XRGB32));
  const MemImgVertex2D v[3] = {V(0, 0, 0, 0), V(20, 0, 8, 0), V(0, 20, 0, 8)};
  auto untouched = [&](auto draw) {
    dest.Fill32(0x11223344u);
    const auto before = dest.Snapshot();
    draw();
    return dest.Snapshot() == before;
  };
  MEMIMG blank{};
  EXPECT_FALSE(untouched([&] { DrawMemImgTriangle2D(&dest.m, &tex.m, v, 0, nullptr, 0); }));
  EXPECT_TRUE(untouched([&] { DrawMemImgTriangle2D(&dest.m, &tex16.m, v, 0, nullptr, 0); }));
  EXPECT_TRUE(untouched([&] { DrawMemImgTriangle2D(&dest.m, &tex.m, nullptr, 0, nullptr, 0); }));
  EXPECT_TRUE(untouched([&] { DrawMemImgTriangle2D(&dest.m, &blank, v, 0, nullptr, 0); }));
  EXPECT_TRUE(untouched([&] { DrawMemImgTriangle2D(&blank, &tex.m, v, 0, nullptr, 0); }));
  EXPECT_TRUE(untouched([&] { DrawMemImgTriangle2D(nullptr, nullptr, v, 0, nullptr, 0); }));
  // A blend graph must be a one-byte image that covers the texture.
  EXPECT_FALSE(untouched([&] { DrawMemImgTriangle2D(&dest.m, &tex.m, v, 0, &graph.m, 0); }));
  EXPECT_TRUE(untouched([&] { DrawMemImgTriangle2D(&dest.m, &tex.m, v, 0, &smallGraph.m, 0); }));
  EXPECT_TRUE(untouched([&] { DrawMemImgTriangle2D(&dest.m, &tex.m, v, 0, &palGraph.m, 0); }));
  EXPECT_TRUE(untouched([&] { DrawMemImgTriangle2D(&dest.m, &tex.m, v, 0, &blank, 0); }));
  // ... but is ignored without a texture.
  EXPECT_FALSE(untouched([&] { DrawMemImgTriangle2D(&dest.m, nullptr, v, 0, &smallGraph.m, 0x00FF00FFu); }));
  // A destination with alpha.
  alphaDest.Fill32(0x11223344u);
  const auto before = alphaDest.Snapshot();
  DrawMemImgTriangle2D(&alphaDest.m, nullptr, v, 0, nullptr, 0);
  EXPECT_EQ(before, alphaDest.Snapshot());
  // Modes not drawn, and modes 1 to 3 at p = 0.
  for (int mode : {5, 6, 7, 8, 9, 12, -1, 1000}) {
    Mode(mode, 128);
    EXPECT_TRUE(untouched([&] { DrawMemImgTriangle2D(&dest.m, &tex.m, v, 0, nullptr, 0); })) << mode;
  }
  for (int mode : {1, 2, 3}) {
    Mode(mode, 0);
    EXPECT_TRUE(untouched([&] { DrawMemImgTriangle2D(&dest.m, &tex.m, v, 0, nullptr, 0); })) << mode;
    EXPECT_TRUE(untouched([&] { DrawMemImgTriangle2D(&dest.m, nullptr, v, 0, nullptr, 0x808080); })) << mode;
  }
  for (int mode : {10, 11}) {  // drawn, but every pixel written back as it was
    Mode(mode, 0);
    EXPECT_TRUE(untouched([&] { DrawMemImgTriangle2D(&dest.m, &tex.m, v, 0, nullptr, 0); })) << mode;
  }
  // Mode 1 at p = 255 is mode 0.
  Mode(0, 0);
  dest.Fill32(0x11223344u);
  DrawMemImgTriangle2D(&dest.m, &tex.m, v, 0, nullptr, 0);
  const auto copy = dest.Snapshot();
  Mode(1, 255);
  dest.Fill32(0x11223344u);
  DrawMemImgTriangle2D(&dest.m, &tex.m, v, 0, nullptr, 0);
  EXPECT_EQ(copy, dest.Snapshot());
}

TEST_F(Triangle2D, CoordinatesFarApartDrawNothing) {
  TestImg dest, tex;
  ASSERT_EQ(0, dest.Make(32, 32, MEMIMG_TYPE_XRGB32));
  ASSERT_EQ(0, tex.Make(4, 4, MEMIMG_TYPE_XRGB32));
  tex.Fill32(0xFFFFFFFFu);
  auto drawn = [&](MemImgVertex2D a, MemImgVertex2D b, MemImgVertex2D c) {
    dest.Fill32(0);
    const MemImgVertex2D v[3] = {a, b, c};
    DrawMemImgTriangle2D(&dest.m, &tex.m, v, 0, nullptr, 0);
    return !Covered(dest).empty();
  };
  // Just inside the range: a huge triangle over the image.
  EXPECT_TRUE(drawn(V(-4096, -4096), V(4095, -4096, 1, 0), V(4095, 4095, 1, 1)));
  // Differences of 8192 and beyond, in each kind of coordinate.
  EXPECT_FALSE(drawn(V(-4097, -4096), V(4095, -4096, 1, 0), V(4095, 4095, 1, 1)));
  EXPECT_FALSE(drawn(V(-4096, -4096), V(4095, -4096, 1, 0), V(4095, 4096, 1, 1)));
  EXPECT_FALSE(drawn(V(0, 0, -4096), V(30, 0, 4096, 0), V(30, 30, 1, 1)));
  EXPECT_FALSE(drawn(V(0, 0, 0, 8192), V(30, 0, 1, 0), V(30, 30, 1, 1)));
  EXPECT_FALSE(drawn(V(0, 0), V(30, 0, 8192, 0), V(30, 30, 1, 1)));
  EXPECT_FALSE(drawn(V(0, 0), V(30, INT32_MIN, 1, 0), V(30, 30, 1, 1)));
  EXPECT_FALSE(drawn(V(0, 0), V(INT32_MAX, 0, 1, 0), V(30, 30, 1, 1)));
  EXPECT_FALSE(drawn(V(0, 0, -8192, -8192), V(30, 0, -1, -8192), V(30, 30, -1, -1)));  // all off the texture
  EXPECT_TRUE(drawn(V(0, 0), V(30, 0, 1, 0), V(30, 30, 1, 1)));
}

TEST_F(Triangle2D, AClipRectangleLargerThanTheImageStopsAtItsEdges) {
  TestImg dest;
  ASSERT_EQ(0, dest.Make(16, 16, MEMIMG_TYPE_RGB565));
  static const Rect wide{-100, -100, 1000, 1000};
  SoftDrawState.Clip = &wide;
  const MemImgVertex2D v[3] = {V(-50, -50), V(200, -50), V(-50, 200)};
  DrawMemImgTriangle2D(&dest.m, nullptr, v, 0, nullptr, 0x1234);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) ASSERT_EQ(0x1234u, dest.Get16(x, y));
}

TEST_F(Triangle2D, WideTexturesAndNegativeCoordinatesStayInRange) {
  // 16,384 texels: the limit does not wrap to 0 in 32 bits.
  TestImg wide, dest;
  ASSERT_EQ(0, wide.Make(16384, 1, MEMIMG_TYPE_XRGB32));
  wide.Fill32(0x00ABCDEFu);
  ASSERT_EQ(0, dest.Make(16, 4, MEMIMG_TYPE_XRGB32));
  dest.Fill32(0);
  const MemImgVertex2D v[3] = {V(0, 0, 8000, 0), V(16, 0, 8016, 0), V(0, 4, 8000, 1)};
  DrawMemImgTriangle2D(&dest.m, &wide.m, v, 0, nullptr, 0);
  EXPECT_EQ(0x00ABCDEFu, dest.Get32(0, 0));
  EXPECT_EQ(0x00ABCDEFu, dest.Get32(15, 0));
  // Texture coordinates left of the texture leave their pixels.
  dest.Fill32(0);
  const MemImgVertex2D w[3] = {V(0, 0, -8, 0), V(16, 0, 8, 0), V(0, 4, -8, 1)};
  DrawMemImgTriangle2D(&dest.m, &wide.m, w, 0, nullptr, 0);
  EXPECT_EQ(0u, dest.Get32(7, 0));
  EXPECT_EQ(0x00ABCDEFu, dest.Get32(8, 0));
}

TEST_F(Triangle2D, AFlatSixteenBitColourUsesItsLowSixteenBits) {
  TestImg a, b;
  ASSERT_EQ(0, a.Make(16, 16, MEMIMG_TYPE_RGB565));
  ASSERT_EQ(0, b.Make(16, 16, MEMIMG_TYPE_RGB565));
  const MemImgVertex2D v[3] = {V(0, 0), V(16, 0), V(0, 16)};
  for (int mode : {0, 1, 2, 3, 4, 10, 11}) {
    Mode(mode, 200, 0x80C0FF);
    a.Fill16(0x5555);
    b.Fill16(0x5555);
    DrawMemImgTriangle2D(&a.m, nullptr, v, 0, nullptr, 0xFFFF9ABCu);
    DrawMemImgTriangle2D(&b.m, nullptr, v, 0, nullptr, 0x9ABCu);
    EXPECT_EQ(a.Snapshot(), b.Snapshot()) << mode;
  }
}

// One pixel drawn through a 1 x 1 texture quad (or a flat quad) at (0, 0).
struct OnePixel {
  TestImg Dest, Tex;
  OnePixel(MemImgColorType type, int alpha) {
    EXPECT_EQ(0, Dest.Make(4, 4, type));
    EXPECT_EQ(0, Tex.Make(1, 1, type, 0, alpha));
  }
  uint32_t Textured(uint32_t dest, uint32_t texel, int key = 0) {
    Put(dest);
    std::memcpy(Tex.m.Pixels, &texel, Tex.m.Base->Format->BytesPerPixel);
    DrawQuad(Dest, &Tex.m, 0, 0, 1, 1, key);
    return Get();
  }
  uint32_t Flat(uint32_t dest, uint32_t colour) {
    Put(dest);
    const MemImgVertex2D v[3] = {V(0, 0), V(1, 0), V(0, 1)};
    DrawMemImgTriangle2D(&Dest.m, nullptr, v, 0, nullptr, colour);
    return Get();
  }
  void Put(uint32_t v) {
    Dest.m.Base->Type == MEMIMG_TYPE_XRGB32 ? Dest.Set32(0, 0, v) : Dest.Set16(0, 0, v);
  }
  uint32_t Get() { return Dest.m.Base->Type == MEMIMG_TYPE_XRGB32 ? Dest.Get32(0, 0) : Dest.Get16(0, 0); }
};

uint32_t Green16(uint32_t v) { return (v >> 5) & 63; }

TEST_F(Triangle2D, WorkedPixelValues) {
  OnePixel p32(MEMIMG_TYPE_XRGB32, 0), p16(MEMIMG_TYPE_RGB565, 0), a32(MEMIMG_TYPE_XRGB32, 1),
      a16(MEMIMG_TYPE_RGB565, 1);
  // Flat colours are tinted once, 16-bit fields in their own widths.
  Mode(0, 0, 0x80FFFF);
  EXPECT_EQ(0x7FFFu, p16.Flat(0, 0xFFFF));
  Mode(0, 0, 0xFFFF80);
  EXPECT_EQ(0x5A00FF64u, p32.Flat(0, 0x5A00FFC8u));  // blue 200 -> 100, fourth byte written
  // Mode 1 at p = 254: 253 per 32-bit channel; 30, 62, 30 per 16-bit field.
  Mode(1, 254);
  EXPECT_EQ(0x77FDFDFDu, p32.Flat(0x77000000u, 0xFFFFFF));
  EXPECT_EQ((30u << 11) | (62u << 5) | 30u, p16.Flat(0, 0xFFFF));
  // Packed add: the blue carry lands in green's lowest bit.
  Mode(2, 255);
  EXPECT_EQ(0x000001FFu, p32.Textured(0x80000001u, 0x000000FFu));
  EXPECT_EQ(0x01FF0000u, p32.Textured(0x00900000u, 0x00800000u));
  // Packed subtract: green 10 - 3 with blue not borrowing is 9; red's lowest bit set.
  Mode(3, 255);
  EXPECT_EQ(0x00010900u, p32.Textured(0x80000A00u, 0x00000300u));
  EXPECT_EQ((31u << 11) | (62u << 5) | 31u, p16.Textured(0xFFFF, 0));
  // Mode 4, 16-bit, white: the maxima go one step down.
  Mode(4, 0);
  EXPECT_EQ((30u << 11) | (62u << 5) | 30u, p16.Flat(0xFFFF, 0xFFFF));
  // Mode 10 inverts a texel before its tint.
  Mode(10, 255, 0xFFFF80);
  EXPECT_EQ(0x7Fu, p32.Textured(0, 0x00000000u) & 0xFF);
  Mode(10, 255, 0xFFFFFF);
  EXPECT_EQ(0xFEu, (p32.Textured(0, 0x00FF00FFu) >> 8) & 0xFF);
  // Mode 0 over 32-bit pixels: the whole texel without tint, three bytes with one.
  Mode(0, 0);
  EXPECT_EQ(0x12345678u, p32.Textured(0xAB000000u, 0x12345678u));
  Mode(0, 0, 0xFEFFFF);
  EXPECT_EQ(0xAB335678u, p32.Textured(0xAB000000u, 0x12345678u));
  // Alpha textures: 255 weighs 255/256 without the transparent flag.
  Mode(0, 0);
  EXPECT_EQ(0x00FEFEFEu, a32.Textured(0, 0xFFFFFFFFu, 0));
  EXPECT_EQ(0xFFFFFFFFu, a32.Textured(0, 0xFFFFFFFFu, 1));
  EXPECT_EQ(15u, a16.Textured(0, 31u | (128u << 16), 1));
  EXPECT_EQ(30u, a16.Textured(0, 31u | (255u << 16), 0));
  // Mode 4: alpha 0 turns the pixel black, with or without the flag.
  Mode(4, 0);
  EXPECT_EQ(0x55000000u, a32.Textured(0x55FFFFFFu, 0x00FFFFFFu, 1));
  EXPECT_EQ(0u, a16.Textured(0xFFFF, 0xFFFFu, 1));
  // Mode 11 at p = 255, alpha 128, green 7 over 9: 5 untinted (finer product), 4 tinted.
  Mode(11, 255);
  EXPECT_EQ(5u, Green16(a16.Textured(9u << 5, (7u << 5) | (128u << 16), 0)));
  Mode(11, 255, 0xFEFFFE);
  EXPECT_EQ(4u, Green16(a16.Textured(9u << 5, (7u << 5) | (128u << 16), 0)));
}

TEST_F(Triangle2D, PaletteKeysCompareTheIndex) {
  TestImg dest, tex;
  ASSERT_EQ(0, dest.Make(4, 4, MEMIMG_TYPE_XRGB32));
  ASSERT_EQ(0, tex.Make(2, 1, MEMIMG_TYPE_XRGB32, 1, 0, 0, -1, 0));
  // Indices 0 and 1 hold the same colour; only index 0 is the key.
  const uint32_t entry = 0x00C08040u;
  std::memcpy(tex.m.Base->Palette, &entry, 4);
  std::memcpy(tex.m.Base->Palette + 4, &entry, 4);
  tex.m.Pixels[0] = 0;
  tex.m.Pixels[1] = 1;
  dest.Fill32(0);
  DrawQuad(dest, &tex.m, 0, 0, 2, 1, 1);
  EXPECT_EQ(0u, dest.Get32(0, 0));
  EXPECT_EQ(entry, dest.Get32(1, 0));
  tex.m.Base->TransColor = 256;  // matches no index
  DrawQuad(dest, &tex.m, 0, 0, 2, 1, 1);
  EXPECT_EQ(entry, dest.Get32(0, 0));
}

TEST_F(Triangle2D, SixteenBitKeysCompareTheWholeWord) {
  TestImg dest, tex;
  ASSERT_EQ(0, dest.Make(4, 4, MEMIMG_TYPE_RGB565));
  ASSERT_EQ(0, tex.Make(1, 1, MEMIMG_TYPE_RGB565, 0, 0, 0, -1, 0x1F));
  tex.Set16(0, 0, 0x1F);
  dest.Fill16(0);
  DrawQuad(dest, &tex.m, 0, 0, 1, 1, 1);
  EXPECT_EQ(0u, dest.Get16(0, 0));
  tex.m.Base->TransColor = 0x1001F;
  DrawQuad(dest, &tex.m, 0, 0, 1, 1, 1);
  EXPECT_EQ(0x1Fu, dest.Get16(0, 0));
}

}  // namespace
