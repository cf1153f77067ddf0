// Wide lines: the band's geometry, colours through tint and blend parameter,
// the draw-target offset, and the failure paths.
#include <cmath>
#include <vector>

#include "core/alloc.h"
#include "graph_fixture.h"

using namespace graphtest;

namespace {

std::vector<MemImgVertex3D> g_triangles;
int g_sideCalls = 0;
int g_allocs = 0;
int g_failAllocAt = -1;

int RecordQuad(const MemImgVertex3D* v, int triangles, GraphRecord*, int, int, int) {
  ++g_sideCalls;
  g_triangles.assign(v, v + triangles * 3);
  return 0;
}

void* CountingAlloc(size_t size) {
  if (g_allocs++ == g_failAllocAt) return nullptr;
  return TrackedAlloc(size, "", 0);
}

class WideLineTest : public Graphics16Test {
 protected:
  void SetUp() override {
    Graphics16Test::SetUp();
    g_triangles.clear();
    g_sideCalls = g_allocs = 0;
    g_failAllocAt = -1;
    DrawSides.FillQuadrangleSoft = RecordQuad;
    DrawSides.Alloc = CountingAlloc;
    SetDrawTargetImpl(DRAW_TARGET_BACK);
  }
};

TEST_F(WideLineTest, TheBandLiesHalfTheThicknessEitherSide) {
  EXPECT_EQ(DrawWideLine(0, 0, 10, 0, MakeColorImpl(255, 0, 0), 4), 0);
  ASSERT_EQ(g_triangles.size(), 6u);
  const MemImgVertex3D* v = g_triangles.data();
  // (V0, V1, V2) then (V3, V2, V1).
  EXPECT_FLOAT_EQ(v[0].X, 0.0f);
  EXPECT_FLOAT_EQ(v[0].Y, -2.0f);
  EXPECT_FLOAT_EQ(v[1].X, 10.0f);
  EXPECT_FLOAT_EQ(v[1].Y, -2.0f);
  EXPECT_FLOAT_EQ(v[2].Y, 2.0f);
  EXPECT_FLOAT_EQ(v[3].X, 10.0f);
  EXPECT_FLOAT_EQ(v[3].Y, 2.0f);
  EXPECT_FLOAT_EQ(v[4].X, v[2].X);
  EXPECT_FLOAT_EQ(v[5].X, v[1].X);
  for (const MemImgVertex3D& p : g_triangles) {
    EXPECT_EQ(p.Red, 255);
    EXPECT_EQ(p.Green, 0);
    EXPECT_EQ(p.Alpha, 255);
    EXPECT_FLOAT_EQ(p.Z, 0.0f);
    EXPECT_FLOAT_EQ(p.W, 1.0f);
  }
}

TEST_F(WideLineTest, ANonPositiveThicknessDrawsOnePixelWide) {
  DrawWideLine(0, 0, 0, 10, 0, -3);
  ASSERT_EQ(g_triangles.size(), 6u);
  EXPECT_FLOAT_EQ(std::fabs(g_triangles[0].X - g_triangles[2].X), 1.0f);
}

TEST_F(WideLineTest, AZeroLengthLineDrawsNothing) {
  EXPECT_EQ(DrawWideLine(5, 5, 5, 5, 0, 8), 0);
  EXPECT_EQ(g_sideCalls, 0);
  EXPECT_EQ(g_allocs, 0);
}

TEST_F(WideLineTest, TintAndBlendParameterScaleTheVertexColours) {
  SetDrawTint(128, 255, 255);
  PrimitiveVertex2D v[4];
  for (auto& p : v) p = PrimitiveVertex2D{1, 1, 0, 0, 10, 20, 200, 255};
  FillQuadrangle(v, 4, 5, -5, 0);
  EXPECT_EQ(g_triangles[0].Red, 100);
  EXPECT_EQ(g_triangles[0].Green, 20);
  EXPECT_EQ(g_triangles[0].Alpha, 255);
  SetBlendModeParam(1, 128);
  FillQuadrangle(v, 4, 5, -5, 0);
  EXPECT_EQ(g_triangles[0].Alpha, 128);
}

TEST_F(WideLineTest, TheDrawTargetOffsetMovesTheVertices) {
  const Rect offset{200, 150, 840, 630};
  SetDrawTargetRect(&offset);
  PrimitiveVertex2D v[4];
  for (auto& p : v) p = PrimitiveVertex2D{10, 20, 0, 0, 0, 0, 0, 255};
  FillQuadrangle(v, 4, 5, -5, 0);
  EXPECT_FLOAT_EQ(g_triangles[0].X, 210.0f);
  EXPECT_FLOAT_EQ(g_triangles[0].Y, 170.0f);
}

TEST_F(WideLineTest, AFailedAllocationReturnsMinusOneAndFreesTheOther) {
  PrimitiveVertex2D v[4] = {};
  g_failAllocAt = 0;
  EXPECT_EQ(FillQuadrangle(v, 4, 5, -5, 0), -1);
  g_allocs = 0;
  g_failAllocAt = 1;
  EXPECT_EQ(FillQuadrangle(v, 4, 5, -5, 0), -1);
  EXPECT_EQ(g_sideCalls, 0);
  // DrawWideLine reports nothing either way.
  g_allocs = 0;
  EXPECT_EQ(DrawWideLine(0, 0, 10, 10, 0, 3), 0);
}

TEST_F(WideLineTest, AnEmptyClipAllocatesNothing) {
  SetDrawClipRect(0, 0, 0, 0);
  PrimitiveVertex2D v[4] = {};
  EXPECT_EQ(FillQuadrangle(v, 4, 5, -5, 0), 0);
  EXPECT_EQ(g_allocs, 0);
}

// End to end through the software side: the band covers the pixels whose
// centres lie inside it, each blended once.
class ThickLineTest : public GraphicsTest {
 protected:
  void SetUp() override {
    GraphicsTest::SetUp();
    ASSERT_EQ(SetDrawTargetImpl(-2), 0);
    ASSERT_EQ(ClearDrawTargetImpl(), 0);
  }
  uint32_t Black() const { return PixelAt(&DirectDrawState.BackImage, 0, 0); }
};

TEST_P(ThickLineTest, ATwoPixelRedLineSetsTwoRowsOfDarkenedRed) {
  const bool is32 = GetParam() == 32;
  const uint32_t black = Black();
  DrawLineSegmentImpl(10, 50, 110, 50, MakeColorImpl(255, 0, 0), 2);
  // Red 255 times the white texel's 255, shifted by 8: 254 (30 of 31 at 16 bits).
  const uint32_t red = is32 ? ((black & 0xFF000000u) | 0x00FE0000u) : 0xF000u;
  for (int y = 45; y < 55; ++y)
    for (int x = 0; x < 130; ++x) {
      const bool on = y >= 49 && y <= 50 && x >= 10 && x <= 109;
      ASSERT_EQ(BackPixel(x, y), on ? red : black) << x << "," << y;
    }
}

TEST_P(ThickLineTest, EveryPixelOfTheBandIsBlendedOnce) {
  const uint32_t black = Black();
  SetBlendModeParam(2, 255);  // add: a second pass would double the value
  DrawLineSegmentImpl(20, 30, 300, 190, MakeColorImpl(64, 64, 64), 5);
  DrawLineSegmentImpl(400, 100, 330, 40, MakeColorImpl(64, 64, 64), 3);
  const uint32_t once = BackPixel(160, 110);  // on the first band's axis
  ASSERT_NE(once, black);
  int lit = 0;
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 480; ++x) {
      const uint32_t p = BackPixel(x, y);
      if (p == black) continue;
      ++lit;
      ASSERT_EQ(p, once) << x << "," << y;
    }
  // About the band's area: 5 x 322 plus 3 x 92.
  EXPECT_GT(lit, 1700);
  EXPECT_LT(lit, 2100);
}

// A line running far beyond the screen: exactly its four rows, from its
// start to the right edge, each pixel once.
TEST_P(ThickLineTest, AVeryLongLineKeepsItsRows) {
  const uint32_t black = Black();
  SetBlendModeParam(2, 255);
  DrawLineSegmentImpl(100, 100, 20000, 100, MakeColorImpl(64, 64, 64), 4);
  const uint32_t once = BackPixel(300, 99);
  ASSERT_NE(once, black);
  for (int y = 94; y < 106; ++y)
    for (int x = 0; x < 640; ++x) {
      const uint32_t p = BackPixel(x, y);
      const bool on = y >= 98 && y <= 101 && x >= 100;
      ASSERT_EQ(p, on ? once : black) << x << "," << y;
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, ThickLineTest, ::testing::Values(16, 32));

}  // namespace
