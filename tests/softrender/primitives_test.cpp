// Fill, line, outline and the scaled blit against simple references.
#include <set>
#include <utility>

#include "graphics/geometry.h"
#include "softrender/test_support.h"

namespace {

class PrimitivesTest : public SoftRenderTest {};

uint32_t TintRef(uint32_t c, uint32_t tint, bool is32) {
  const uint32_t tb = tint & 255, tg = (tint >> 8) & 255, tr = (tint >> 16) & 255;
  if (is32)
    return (c & 0xFF000000) | (((c >> 16 & 255) * tr) >> 8) << 16 | (((c >> 8 & 255) * tg) >> 8) << 8 |
           (((c & 255) * tb) >> 8);
  return (((c >> 11) * tr) >> 8) << 11 | ((((c >> 5) & 63) * tg) >> 8) << 5 | (((c & 31) * tb) >> 8);
}

// The fill is the blit of a solid image of the colour (tinted beforehand).
TEST_F(PrimitivesTest, FillMatchesTheBlitOfASolidImage) {
  std::mt19937 rng(11);
  for (int depth = 0; depth < 2; ++depth) {
    const bool is32 = depth == 1;
    const MemImgColorType type = is32 ? MEMIMG_TYPE_XRGB32 : MEMIMG_TYPE_RGB565;
    for (int iter = 0; iter < 300; ++iter) {
      TestImg dest;
      ASSERT_EQ(dest.Make(20, 9, type), 0);
      for (size_t i = 0; i < dest.Bytes(); ++i) dest.m.Base->Pixels[i] = static_cast<uint8_t>(rng());
      static const int kModes[] = {0, 1, 2, 3, 4, 10, 11, 7};
      static const int kParams[] = {0, 1, 128, 255, 200};
      RefBlendState st{{1, 1, 19, 8},
                       kModes[rng() % 8],
                       kParams[rng() % 5],
                       rng() % 2 ? 0xFFFFFFu : static_cast<uint32_t>(rng() & 0xFFFFFF),
                       rng() % 2 == 0};
      const uint32_t colour = is32 ? static_cast<uint32_t>(rng()) : rng() & 0xFFFF;
      int x1 = static_cast<int>(rng() % 24) - 2, y1 = static_cast<int>(rng() % 12) - 2;
      int x2 = x1 + static_cast<int>(rng() % 22), y2 = y1 + static_cast<int>(rng() % 10);
      const auto init = dest.Snapshot();

      // Reference: a solid image over the clipped rectangle, tint folded in.
      Rect r = {x1, y1, x2, y2};
      ClipRect(&r, &st.Clip);
      if (r.Right > r.Left && r.Bottom > r.Top) {
        TestImg solid;
        ASSERT_EQ(solid.Make(r.Right - r.Left, r.Bottom - r.Top, type), 0);
        const uint32_t c = (st.Tint & 0xFFFFFF) == 0xFFFFFF ? colour : TintRef(colour, st.Tint, is32);
        if (is32)
          solid.Fill32(c);
        else
          solid.Fill16(c);
        RefBlendState rs = st;
        rs.Tint = 0xFFFFFF;
        RefDrawMemImg(&dest.m, &solid.m, r.Left, r.Top, 0, nullptr, rs);
      }
      const auto want = dest.Snapshot();
      dest.Restore(init);
      ApplyState(st);
      FillMemImgBoxXY(&dest.m, x1, y1, x2, y2, colour);
      ASSERT_EQ(dest.Snapshot(), want)
          << "mode " << st.Mode << " p " << st.Param << " tint " << std::hex << st.Tint;
    }
  }
}

TEST_F(PrimitivesTest, FillIsExclusiveTintedAndRefusesPaletteAndAlphaImages) {
  TestImg a, pal, al;
  ASSERT_EQ(a.Make(6, 6, MEMIMG_TYPE_XRGB32), 0);
  ASSERT_EQ(pal.Make(6, 6, MEMIMG_TYPE_XRGB32, 1), 0);
  ASSERT_EQ(al.Make(6, 6, MEMIMG_TYPE_XRGB32, 0, 1), 0);
  a.Fill32(0);
  ApplyState(RefBlendState{{0, 0, 6, 6}, 0, 0, 0x8040FF, false});
  FillMemImgBoxXY(&a.m, 1, 1, 3, 2, 0xFF808080);
  EXPECT_EQ(a.Get32(1, 1),
            0xFF000000u | (0x80u * 0x80 >> 8) << 16 | (0x80u * 0x40 >> 8) << 8 | (0x80u * 0xFF >> 8));
  EXPECT_EQ(a.Get32(2, 1), a.Get32(1, 1));
  EXPECT_EQ(a.Get32(3, 1), 0u);
  EXPECT_EQ(a.Get32(1, 2), 0u);
  FillMemImgBoxXY(&a.m, 4, 4, 2, 2, 0xFFFFFFFF);  // inverted corners: nothing
  EXPECT_EQ(a.Get32(3, 3), 0u);
  std::memset(pal.m.Base->Pixels, 7, pal.Bytes());
  std::memset(al.m.Base->Pixels, 7, al.Bytes());
  const auto p0 = pal.Snapshot(), a0 = al.Snapshot();
  FillMemImgBoxXY(&pal.m, 0, 0, 6, 6, 0);
  FillMemImgBoxXY(&al.m, 0, 0, 6, 6, 0);
  EXPECT_EQ(pal.Snapshot(), p0);
  EXPECT_EQ(al.Snapshot(), a0);
  ApplyState(RefBlendState{{0, 0, 6, 6}, 6, 255, 0xFFFFFF, false});
  FillMemImgBoxXY(&a.m, 0, 0, 6, 6, 0xFFFFFFFF);
  EXPECT_EQ(a.Get32(0, 0), 0u);
}

// Long rows take the wide stores; rows that start off a 16-byte boundary and
// images whose rows lie back to back must get the same pixels.
TEST_F(PrimitivesTest, LongFillsWriteThePatternEverywhere) {
  for (int depth = 0; depth < 2; ++depth) {
    const bool is32 = depth == 1;
    for (int width : {700, 128, 301}) {
      TestImg a;
      ASSERT_EQ(a.Make(width, 3, is32 ? MEMIMG_TYPE_XRGB32 : MEMIMG_TYPE_RGB565), 0);
      for (int left : {0, 1, 3}) {
        if (is32)
          a.Fill32(0x01020304);
        else
          a.Fill16(0x0102);
        const uint32_t colour = is32 ? 0xA1B2C3D4u : 0xA1B2u;
        ApplyState(PlainState(width, 3));
        FillMemImgBoxXY(&a.m, left, 0, width - 1, 3, colour);
        for (int y = 0; y < 3; ++y)
          for (int x = 0; x < width; ++x) {
            const bool in = x >= left && x < width - 1;
            const uint32_t want = in ? colour : (is32 ? 0x01020304u : 0x0102u);
            ASSERT_EQ(is32 ? a.Get32(x, y) : a.Get16(x, y), want)
                << width << " " << left << " " << x << "," << y;
          }
      }
      FillMemImgBoxXY(&a.m, 0, 0, width, 3, 0x00C0FFEE);  // whole rows, back to back at width 128
      for (int y = 0; y < 3; ++y)
        for (int x = 0; x < width; ++x)
          ASSERT_EQ(is32 ? a.Get32(x, y) : a.Get16(x, y), is32 ? 0x00C0FFEEu : 0xFFEEu) << x << "," << y;
    }
  }
}

// Classic integer Bresenham with both end points.
std::set<std::pair<int, int>> BresenhamRef(int x0, int y0, int x1, int y1) {
  std::set<std::pair<int, int>> out;
  const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
  const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  int err = dx + dy;
  for (;;) {
    out.insert({x0, y0});
    if (x0 == x1 && y0 == y1) break;
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x0 += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y0 += sy;
    }
  }
  return out;
}

TEST_F(PrimitivesTest, LineDrawsEveryPixelOnceWithBothEnds) {
  std::mt19937 rng(3);
  TestImg a;
  ASSERT_EQ(a.Make(24, 20, MEMIMG_TYPE_RGB565), 0);
  for (int iter = 0; iter < 400; ++iter) {
    const int x0 = static_cast<int>(rng() % 24), y0 = static_cast<int>(rng() % 20);
    const int x1 = static_cast<int>(rng() % 24), y1 = static_cast<int>(rng() % 20);
    a.Fill16(0);
    // Add mode: a pixel blended twice would show 2 instead of 1.
    ApplyState(RefBlendState{{0, 0, 24, 20}, 2, 255, 0xFFFFFF, false});
    DrawMemImgLine(&a.m, x0, y0, x1, y1, 1);
    const auto ref = BresenhamRef(x0, y0, x1, y1);
    size_t count = 0;
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 24; ++x) {
        const uint32_t v = a.Get16(x, y);
        if (v) ++count;
        ASSERT_EQ(v, ref.count({x, y}) ? 1u : 0u)
            << x0 << "," << y0 << " -> " << x1 << "," << y1 << " at " << x << "," << y;
      }
    EXPECT_EQ(count, ref.size());
  }
}

TEST_F(PrimitivesTest, LineIsClippedAndSurvivesHugeCoordinates) {
  TestImg a;
  ASSERT_EQ(a.Make(10, 10, MEMIMG_TYPE_XRGB32), 0);
  a.Fill32(0);
  ApplyState(RefBlendState{{2, 2, 8, 8}, 0, 0, 0xFFFFFF, false});
  DrawMemImgLine(&a.m, -5, 5, 40, 5, 0xFFFFFFFF);
  for (int x = 0; x < 10; ++x) EXPECT_EQ(a.Get32(x, 5), (x >= 2 && x < 8) ? 0xFFFFFFFFu : 0u) << x;
  a.Fill32(0);
  DrawMemImgLine(&a.m, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 0xFFFFFFFF);
  for (int i = 2; i < 8; ++i) EXPECT_EQ(a.Get32(i, i), 0xFFFFFFFFu) << i;
  EXPECT_EQ(a.Get32(1, 1), 0u);
  a.Fill32(0);
  DrawMemImgLine(&a.m, 4, 4, 4, 4, 0x00ABCDEF);  // a single point
  EXPECT_EQ(a.Get32(4, 4), 0x00ABCDEFu);
}

TEST_F(PrimitivesTest, OutlineBlendsEachBorderPixelOnce) {
  TestImg a;
  ASSERT_EQ(a.Make(12, 10, MEMIMG_TYPE_XRGB32), 0);
  struct Box {
    int x1, y1, x2, y2;
  } boxes[] = {{2, 1, 9, 8}, {9, 8, 2, 1}, {3, 3, 4, 7}, {1, 4, 7, 5}, {5, 5, 5, 9}};
  for (const Box& b : boxes) {
    a.Fill32(0);
    ApplyState(RefBlendState{{0, 0, 12, 10}, 2, 255, 0xFFFFFF, false});
    OutlineMemImgBox(&a.m, b.x1, b.y1, b.x2, b.y2, 0x00020202);
    const int l = std::min(b.x1, b.x2), r = std::max(b.x1, b.x2), t = std::min(b.y1, b.y2),
              bo = std::max(b.y1, b.y2);
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 12; ++x) {
        const bool inside = x >= l && x < r && y >= t && y < bo;
        const bool border = inside && (x == l || x == r - 1 || y == t || y == bo - 1);
        ASSERT_EQ(a.Get32(x, y) & 0xFFFFFF, border ? 0x020202u : 0u) << x << "," << y;
      }
  }
}

// Reference for the scaled blit: the nearest samples gathered into an image,
// drawn one to one by the reference model.
void RefStretch(MEMIMG* dest, const MEMIMG* src, int x1, int y1, int x2, int y2, int trans,
                const MEMIMG* graph, const RefBlendState& st) {
  const bool mx = x1 > x2, my = y1 > y2;
  const int l = std::min(x1, x2), r = std::max(x1, x2), t = std::min(y1, y2), b = std::max(y1, y2);
  Rect c = {l, t, r, b};
  Rect lim = st.Clip;
  if (lim.Right > dest->Width) lim.Right = dest->Width;
  if (lim.Bottom > dest->Height) lim.Bottom = dest->Height;
  ClipRect(&c, &lim);
  if (c.Right <= c.Left || c.Bottom <= c.Top) return;
  const int bpp = src->Base->Format->BytesPerPixel;
  TestImg g;
  ASSERT_EQ(InitializeMemImg(&g.m, c.Right - c.Left, c.Bottom - c.Top, -1, src->Base->TransColor,
                             src->Base->Type, src->Base->PaletteFlag, src->Base->AlphaFlag, 0, nullptr),
            0);
  if (src->Base->PaletteFlag) std::memcpy(g.m.Base->Palette, src->Base->Palette, 2048);
  TestImg gg;
  ASSERT_EQ(gg.Make(c.Right - c.Left, c.Bottom - c.Top, MEMIMG_TYPE_GRAY8), 0);
  for (int y = c.Top; y < c.Bottom; ++y)
    for (int x = c.Left; x < c.Right; ++x) {
      int sx = static_cast<int>(((int64_t{x - l} * ((int64_t{src->Width} << 16) / (r - l))) >> 16));
      int sy = static_cast<int>(((int64_t{y - t} * ((int64_t{src->Height} << 16) / (b - t))) >> 16));
      sx = std::min(sx, src->Width - 1);
      sy = std::min(sy, src->Height - 1);
      if (mx) sx = src->Width - 1 - sx;
      if (my) sy = src->Height - 1 - sy;
      std::memcpy(g.At(x - c.Left, y - c.Top), src->Pixels + sy * src->Base->Pitch + sx * bpp, bpp);
      if (graph) *gg.At(x - c.Left, y - c.Top) = graph->Pixels[sy * graph->Base->Pitch + sx];
    }
  RefDrawMemImg(dest, &g.m, c.Left, c.Top, trans, graph ? &gg.m : nullptr, st);
}

TEST_F(PrimitivesTest, StretchMatchesNearestSampling) {
  std::mt19937 rng(21);
  for (int iter = 0; iter < 400; ++iter) {
    const bool is32 = rng() % 2;
    const int sort = static_cast<int>(rng() % 3);
    const MemImgColorType type = is32 ? MEMIMG_TYPE_XRGB32 : MEMIMG_TYPE_RGB565;
    TestImg dest, src, graph;
    ASSERT_EQ(dest.Make(30, 20, type), 0);
    ASSERT_EQ(graph.Make(10, 10, MEMIMG_TYPE_GRAY8), 0);
    for (size_t i = 0; i < graph.Bytes(); ++i) graph.m.Base->Pixels[i] = static_cast<uint8_t>(rng());
    const MEMIMG* useGraph = rng() % 3 == 0 ? &graph.m : nullptr;
    ASSERT_EQ(src.Make(5 + static_cast<int>(rng() % 5), 3 + static_cast<int>(rng() % 5), type, sort == 2,
                       sort == 1, 0, -1, rng() % 4),
              0);
    for (size_t i = 0; i < dest.Bytes(); ++i) dest.m.Base->Pixels[i] = static_cast<uint8_t>(rng());
    for (size_t i = 0; i < src.Bytes(); ++i) src.m.Base->Pixels[i] = static_cast<uint8_t>(rng() % 6);
    if (sort == 2)
      for (int i = 0; i < 2048; ++i) src.m.Base->Palette[i] = static_cast<uint8_t>(rng());
    static const int kModes[] = {0, 1, 2, 3, 4, 10, 11};
    static const int kParams[] = {1, 128, 255, 77};
    RefBlendState st{{1, 2, 28, 19},
                     kModes[rng() % 7],
                     kParams[rng() % 4],
                     rng() % 3 ? 0xFFFFFFu : 0x40C0FFu,
                     rng() % 2 == 0};
    const int x1 = static_cast<int>(rng() % 36) - 3, y1 = static_cast<int>(rng() % 26) - 3;
    const int x2 = static_cast<int>(rng() % 36) - 3, y2 = static_cast<int>(rng() % 26) - 3;
    const int trans = static_cast<int>(rng() % 2);
    const auto init = dest.Snapshot();
    if (x1 != x2 && y1 != y2) RefStretch(&dest.m, &src.m, x1, y1, x2, y2, trans, useGraph, st);
    const auto want = dest.Snapshot();
    dest.Restore(init);
    ApplyState(st);
    DrawMemImgStretched(&dest.m, &src.m, x1, y1, x2, y2, trans, useGraph);
    ASSERT_EQ(dest.Snapshot(), want) << iter << ": " << x1 << "," << y1 << " " << x2 << "," << y2;
  }
}

TEST_F(PrimitivesTest, StretchMirrorsScalesAndEqualsTheBlitAtScaleOne) {
  TestImg dest, src;
  ASSERT_EQ(dest.Make(8, 4, MEMIMG_TYPE_XRGB32), 0);
  ASSERT_EQ(src.Make(3, 1, MEMIMG_TYPE_XRGB32, 0, 0, 1, -1, 0xFFFFFFFF), 0);
  src.Set32(0, 0, 1);
  src.Set32(1, 0, 2);
  src.Set32(2, 0, 3);
  ApplyState(PlainState(8, 4));
  dest.Fill32(0);
  DrawMemImgStretched(&dest.m, &src.m, 3, 0, 0, 1, 0, nullptr);  // mirrored
  EXPECT_EQ(dest.Get32(0, 0), 3u);
  EXPECT_EQ(dest.Get32(1, 0), 2u);
  EXPECT_EQ(dest.Get32(2, 0), 1u);
  EXPECT_EQ(dest.Get32(3, 0), 0u);
  dest.Fill32(0);
  DrawMemImgStretched(&dest.m, &src.m, 0, 1, 6, 3, 0, nullptr);  // twice as large
  const uint32_t want[6] = {1, 1, 2, 2, 3, 3};
  for (int x = 0; x < 6; ++x) {
    EXPECT_EQ(dest.Get32(x, 1), want[x]);
    EXPECT_EQ(dest.Get32(x, 2), want[x]);
  }
  // At scale 1 the run-table rule of the one-to-one blit holds too.
  ASSERT_EQ(BuildMemImgRunTable(&src.m), 0);
  ApplyState(RefBlendState{{0, 0, 8, 4}, 1, 128, 0xFFFFFF, false});
  dest.Fill32(0x000101);
  src.Set32(0, 0, 0x000101);
  ASSERT_EQ(BuildMemImgRunTable(&src.m), 0);
  DrawMemImgStretched(&dest.m, &src.m, 0, 0, 3, 1, 1, nullptr);
  EXPECT_EQ(dest.Get32(0, 0), 0x000101u);
}

}  // namespace
