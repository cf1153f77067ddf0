// Wide lines: the band's geometry, colours through tint and blend parameter,
// the draw-target offset, and the failure paths.
#include <cmath>
#include <vector>

#include "core/alloc.h"
#include "graph_fixture.h"

using namespace graphtest;

namespace {

std::vector<MemImgVertex3D> gTriangles;
int gSideCalls = 0;
int gAllocs = 0;
int gFailAllocAt = -1;

int RecordQuad(const MemImgVertex3D* v, int triangles, GraphRecord*, int, int, int) {
  ++gSideCalls;
  gTriangles.assign(v, v + triangles * 3);
  return 0;
}

void* CountingAlloc(size_t size) {
  if (gAllocs++ == gFailAllocAt) return nullptr;
  return TrackedAlloc(size, "", 0);
}

class WideLineTest : public Graphics16Test {
 protected:
  void SetUp() override {
    Graphics16Test::SetUp();
    gTriangles.clear();
    gSideCalls = gAllocs = 0;
    gFailAllocAt = -1;
    DrawSides.FillQuadrangleSoft = RecordQuad;
    DrawSides.Alloc = CountingAlloc;
    SetDrawTargetImpl(DRAW_TARGET_BACK);
  }
};

TEST_F(WideLineTest, TheBandLiesHalfTheThicknessEitherSide) {
  EXPECT_EQ(DrawWideLine(0, 0, 10, 0, MakeColorImpl(255, 0, 0), 4), 0);
  ASSERT_EQ(gTriangles.size(), 6u);
  const MemImgVertex3D* v = gTriangles.data();
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
  for (const MemImgVertex3D& p : gTriangles) {
    EXPECT_EQ(p.Red, 255);
    EXPECT_EQ(p.Green, 0);
    EXPECT_EQ(p.Alpha, 255);
    EXPECT_FLOAT_EQ(p.Z, 0.0f);
    EXPECT_FLOAT_EQ(p.W, 1.0f);
  }
}

TEST_F(WideLineTest, ANonPositiveThicknessDrawsOnePixelWide) {
  DrawWideLine(0, 0, 0, 10, 0, -3);
  ASSERT_EQ(gTriangles.size(), 6u);
  EXPECT_FLOAT_EQ(std::fabs(gTriangles[0].X - gTriangles[2].X), 1.0f);
}

TEST_F(WideLineTest, AZeroLengthLineDrawsNothing) {
  EXPECT_EQ(DrawWideLine(5, 5, 5, 5, 0, 8), 0);
  EXPECT_EQ(gSideCalls, 0);
  EXPECT_EQ(gAllocs, 0);
}

TEST_F(WideLineTest, TintAndBlendParameterScaleTheVertexColours) {
  SetDrawTint(128, 255, 255);
  PrimitiveVertex2D v[4];
  for (auto& p : v) p = PrimitiveVertex2D{1, 1, 0, 0, 10, 20, 200, 255};
  FillQuadrangle(v, 4, 5, -5, 0);
  EXPECT_EQ(gTriangles[0].Red, 100);
  EXPECT_EQ(gTriangles[0].Green, 20);
  EXPECT_EQ(gTriangles[0].Alpha, 255);
  SetBlendModeParam(1, 128);
  FillQuadrangle(v, 4, 5, -5, 0);
  EXPECT_EQ(gTriangles[0].Alpha, 128);
}

TEST_F(WideLineTest, TheDrawTargetOffsetMovesTheVertices) {
  const Rect offset{200, 150, 840, 630};
  SetDrawTargetRect(&offset);
  PrimitiveVertex2D v[4];
  for (auto& p : v) p = PrimitiveVertex2D{10, 20, 0, 0, 0, 0, 0, 255};
  FillQuadrangle(v, 4, 5, -5, 0);
  EXPECT_FLOAT_EQ(gTriangles[0].X, 210.0f);
  EXPECT_FLOAT_EQ(gTriangles[0].Y, 170.0f);
}

TEST_F(WideLineTest, AFailedAllocationReturnsMinusOneAndFreesTheOther) {
  PrimitiveVertex2D v[4] = {};
  gFailAllocAt = 0;
  EXPECT_EQ(FillQuadrangle(v, 4, 5, -5, 0), -1);
  gAllocs = 0;
  gFailAllocAt = 1;
  EXPECT_EQ(FillQuadrangle(v, 4, 5, -5, 0), -1);
  EXPECT_EQ(gSideCalls, 0);
  // DrawWideLine reports nothing either way.
  gAllocs = 0;
  EXPECT_EQ(DrawWideLine(0, 0, 10, 10, 0, 3), 0);
}

TEST_F(WideLineTest, AnEmptyClipAllocatesNothing) {
  SetDrawClipRect(0, 0, 0, 0);
  PrimitiveVertex2D v[4] = {};
  EXPECT_EQ(FillQuadrangle(v, 4, 5, -5, 0), 0);
  EXPECT_EQ(gAllocs, 0);
}

TEST_F(Graphics16Test, TheSoftwareSideCannotFillTrianglesYet) {
  PrimitiveVertex2D v[4] = {};
  EXPECT_EQ(FillQuadrangle(v, 4, 5, -5, 0), -1);
}

}  // namespace
