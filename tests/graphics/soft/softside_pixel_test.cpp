// The software side drawing real pixels into the back screen and into a
// graph, at 16 and 32 bits: positions, mirroring, parts, clipping, keys.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "core/system_state.h"
#include "graphics/draw.h"
#include "graphics/drawstate.h"
#include "graphics/graph.h"
#include "graphics/graphics_manager.h"
#include "graphics/soft/display.h"
#include "graphics/soft/draw_soft.h"
#include "graphics/surfacedata.h"
#include "image/pixelimage.h"
#include "process_state.h"

namespace {

uint32_t At(const MEMIMG* img, int x, int y) {
  const uint8_t* row = img->Pixels + size_t(y) * img->Base->Pitch;
  return img->Base->Format->BytesPerPixel == 2 ? reinterpret_cast<const uint16_t*>(row)[x]
                                               : reinterpret_cast<const uint32_t*>(row)[x];
}
uint32_t Back(int x, int y) { return At(&DirectDrawState.BackImage, x, y); }

class SoftSide : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    teststate::ResetProcessState();
    SystemState.Window.Active = 1;
    ASSERT_EQ(SetScreenModeSetting(640, 480, GetParam()), 0);
    SelectRenderMode(0);
    ASSERT_EQ(InitGraphicsDevice(nullptr), 0);
    ASSERT_EQ(SetDrawTargetImpl(DRAW_TARGET_BACK), 0);
    ClearDrawTargetImpl();
    red_ = uint32_t(MakeColorImpl(255, 0, 0));
    blue_ = uint32_t(MakeColorImpl(0, 0, 255));
    black_ = uint32_t(MakeColorImpl(0, 0, 0));
    // A 4 x 2 graph: left column red, right column blue, one black (key) pixel.
    PixelImage img{};
    MakeXRGB8PixelImageImpl(4, 2, &img);
    FillPixelImage(&img, 0, 255, 0, 255);
    for (uint32_t y = 0; y < 2; ++y) {
      WritePixelImagePixel(&img, 0, y, 255, 0, 0, 255);
      WritePixelImagePixel(&img, 3, y, 0, 0, 255, 255);
    }
    WritePixelImagePixel(&img, 1, 1, 0, 0, 0, 255);
    graph_ = CreateGraphFromImageDefault(&img);
    ReleasePixelImageImpl(&img);
    ASSERT_GE(graph_, 0);
  }
  void TearDown() override { teststate::ResetProcessState(); }
  int graph_ = -1;
  uint32_t red_ = 0, blue_ = 0, black_ = 0;
};

TEST_P(SoftSide, AGraphLandsWithItsTopLeftAtThePoint) {
  FillRectangle(0, 0, 20, 20, uint32_t(MakeColorImpl(255, 255, 255)));
  ASSERT_EQ(DrawGraphAt(5, 6, graph_, 1), 0);
  EXPECT_EQ(Back(5, 6), red_);
  EXPECT_EQ(Back(8, 7), blue_);
  EXPECT_EQ(Back(6, 7), uint32_t(MakeColorImpl(255, 255, 255)));  // key skipped
  DrawGraphAt(5, 10, graph_, 0);
  EXPECT_EQ(Back(6, 11), black_);  // drawn when not transparent
}

TEST_P(SoftSide, MirroredAndPartDraws) {
  DrawGraphMirrored(10, 10, graph_, 1);
  EXPECT_EQ(Back(10, 10), blue_);
  EXPECT_EQ(Back(13, 10), red_);
  ClearDrawTargetImpl();
  // Columns 2..3 of the graph at (30, 30): only blue at 31.
  DrawGraphPartImpl(30, 30, 2, 0, 2, 2, graph_, 1, 0);
  EXPECT_EQ(Back(31, 30), blue_);
  EXPECT_EQ(Back(29, 30), black_);
  EXPECT_EQ(Back(32, 30), black_);
  // Mirrored part: source column 3 lands at 50.
  DrawGraphPartImpl(50, 30, 2, 0, 2, 2, graph_, 1, 1);
  EXPECT_EQ(Back(50, 30), blue_);
}

TEST_P(SoftSide, StretchingScalesAndTheClipCuts) {
  DrawGraphStretched(100, 100, 108, 104, graph_, 1);
  EXPECT_EQ(Back(100, 100), red_);
  EXPECT_EQ(Back(101, 103), red_);
  EXPECT_EQ(Back(107, 103), blue_);
  SetDrawClipRect(200, 200, 202, 202);
  DrawGraphAt(199, 199, graph_, 1);
  EXPECT_EQ(Back(199, 199), black_);
  EXPECT_EQ(Back(200, 200), black_);  // the graph's key pixel
  EXPECT_EQ(Back(201, 200), uint32_t(MakeColorImpl(0, 255, 0)));
  EXPECT_EQ(Back(202, 200), black_);
}

TEST_P(SoftSide, RectanglesLinesAndGraphTargets) {
  FillRectangle(30, 40, 10, 20, red_);
  EXPECT_EQ(Back(10, 20), red_);
  EXPECT_EQ(Back(29, 39), red_);
  EXPECT_EQ(Back(30, 40), black_);
  DrawRectangleImpl(100, 100, 110, 110, blue_, 0);
  EXPECT_EQ(Back(100, 105), blue_);
  EXPECT_EQ(Back(105, 105), black_);
  DrawLineSegmentImpl(300, 300, 310, 300, red_, 1);
  EXPECT_EQ(Back(305, 300), red_);

  SetNewGraphDrawValid(1);
  const int canvas = CreateGraphOfSize(16, 16, 0, 0, 0);
  SetNewGraphDrawValid(0);
  ASSERT_EQ(SetDrawTargetImpl(canvas), 0);
  ClearDrawTargetImpl();
  DrawGraphAt(2, 2, graph_, 1);
  const MEMIMG* img = GetGraphPieceImage(GetGraphRecord(canvas));
  EXPECT_EQ(At(img, 2, 2), red_);
  // Copied back out of the target into another graph.
  ASSERT_EQ(SetDrawTargetImpl(DRAW_TARGET_BACK), 0);
  DrawGraphAt(0, 0, canvas, 0);
  EXPECT_EQ(Back(2, 2), red_);
  const int copy = CreateGraphOfSize(8, 8, 0, 0, 0);
  EXPECT_EQ(CopyDrawTargetToGraph(0, 0, 8, 8, copy, 0), 0);
  EXPECT_EQ(At(GetGraphPieceImage(GetGraphRecord(copy)), 2, 2), red_);
}

TEST_P(SoftSide, BlendModesReachTheRenderer) {
  FillRectangle(0, 0, 10, 10, uint32_t(MakeColorImpl(100, 100, 100)));
  SetBlendModeParam(2, 255);  // add
  FillRectangle(0, 0, 10, 10, uint32_t(MakeColorImpl(100, 0, 0)));
  SetBlendModeParam(0, 0);
  int r = 0, g = 0, b = 0;
  SplitColorValue(Back(5, 5), &r, &g, &b);
  EXPECT_NEAR(r, 200, 8);
  EXPECT_NEAR(g, 100, 8);
}

TEST_P(SoftSide, ClearingAGraphTargetResetsItsDepthImage) {
  SetNewGraphDrawValid(1);
  const int canvas = CreateGraphOfSize(16, 8, 0, 0, 0);
  SetNewGraphDrawValid(0);
  // A sub-graph target covers columns 4..11 of the canvas's record.
  const int part = CreateSubGraph(4, 0, 8, 8, canvas);
  ASSERT_GE(part, 0);
  const Surface2DRecord* piece = GetSurface2DRecord(GetGraphRecord(canvas)->Pieces[0]);
  ASSERT_NE(piece, nullptr);
  ASSERT_EQ(AttachZBufferSurface(piece->SurfaceData, 1), 0);
  SurfaceDataRecord* data = GetSurfaceDataRecord(piece->SurfaceData);
  ClearMemImgRect(&data->ZImage, nullptr, 0x1234);
  auto depth = [&](int x, int y) {
    return reinterpret_cast<const uint16_t*>(data->ZImage.Pixels + size_t(y) * data->ZImage.Base->Pitch)[x];
  };
  ASSERT_EQ(SetDrawTargetImpl(part), 0);
  ClearDrawTargetImpl();
  EXPECT_EQ(depth(4, 0), 0xFFFF);
  EXPECT_EQ(depth(11, 7), 0xFFFF);
  EXPECT_EQ(depth(3, 0), 0x1234);  // outside the target
  EXPECT_EQ(depth(12, 7), 0x1234);
  ASSERT_EQ(SetDrawTargetImpl(canvas), 0);
  ClearDrawTargetImpl();
  EXPECT_EQ(depth(0, 0), 0xFFFF);
  EXPECT_EQ(depth(15, 7), 0xFFFF);
}

TEST_P(SoftSide, AQuadAtTheGraphsOwnSizeDrawsWhatDrawGraphAtDraws) {
  // A 37 x 23 graph of random colours, a fifth of them the key (black).
  PixelImage img{};
  MakeXRGB8PixelImageImpl(37, 23, &img);
  uint32_t seed = 12345;
  auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 16; };
  for (uint32_t y = 0; y < 23; ++y)
    for (uint32_t x = 0; x < 37; ++x) {
      const bool key = next() % 5 == 0;
      WritePixelImagePixel(&img, x, y, key ? 0 : next() & 255, key ? 0 : next() & 255, key ? 0 : next() & 255,
                           255);
    }
  const int graph = CreateGraphFromImageDefault(&img);
  ReleasePixelImageImpl(&img);
  ASSERT_GE(graph, 0);
  const MEMIMG& back = DirectDrawState.BackImage;
  auto snapshot = [&] {
    return std::vector<uint8_t>(back.Base->Pixels, back.Base->Pixels + back.Base->Pitch * back.Base->Height);
  };
  const std::array<int, 2> kPositions[] = {{0, 0}, {5, 7}, {620, 470}};
  for (int transparent : {0, 1})
    for (const std::array<int, 2>& at : kPositions) {
      const float x = float(at[0]), y = float(at[1]);
      FillRectangle(0, 0, 640, 480, uint32_t(MakeColorImpl(90, 60, 30)));
      ASSERT_EQ(DrawGraphAt(at[0], at[1], graph, transparent), 0);
      const std::vector<uint8_t> expected = snapshot();
      FillRectangle(0, 0, 640, 480, uint32_t(MakeColorImpl(90, 60, 30)));
      ASSERT_EQ(DrawGraphQuad(x, y, x + 37, y, x + 37, y + 23, x, y + 23, graph, transparent), 0);
      EXPECT_EQ(expected, snapshot()) << "at " << at[0] << "," << at[1] << " transparent " << transparent;
    }
}

TEST_P(SoftSide, AQuadIsDrawnAsTwoTrianglesOfTheGraph) {
  // The 4 x 2 graph turned a quarter: its top-left corner at (24, 10),
  // top-right at (24, 14), bottom-left at (22, 10).
  ASSERT_EQ(DrawGraphQuad(24, 10, 24, 14, 22, 14, 22, 10, graph_, 1), 0);
  EXPECT_EQ(Back(23, 10), red_);
  EXPECT_EQ(Back(23, 13), blue_);
  // Nothing to draw (all corners on one point, or too far apart) is still 0.
  EXPECT_EQ(DrawGraphQuad(5, 5, 5, 5, 5, 5, 5, 5, graph_, 1), 0);
  EXPECT_EQ(DrawGraphQuad(0, 0, 9000, 0, 9000, 2, 0, 2, graph_, 1), 0);
  // No graph image: -1.
  EXPECT_EQ(DrawGraphQuadSoft(0, 0, 4, 0, 0, 2, 4, 2, nullptr, 1), -1);
}

TEST_P(SoftSide, TexturedQuadranglesOfTheFirstFormIgnoreVertexColours) {
  // The 4 x 2 graph on an 8 x 4 quad: each texel covers 2 x 2 pixels. The
  // vertices are black, which the first form does not read.
  auto vertex = [](float x, float y, float u, float v) {
    MemImgVertex3D m{};
    m.X = x, m.Y = y, m.Z = 0.5f, m.W = 1.0f, m.U = u, m.V = v;
    return m;
  };
  const MemImgVertex3D quad[6] = {vertex(10, 10, 0, 0), vertex(18, 10, 1, 0), vertex(10, 14, 0, 1),
                                  vertex(18, 10, 1, 0), vertex(18, 14, 1, 1), vertex(10, 14, 0, 1)};
  const uint32_t white = uint32_t(MakeColorImpl(255, 255, 255));
  for (int transparent : {0, 1}) {
    FillRectangle(0, 0, 30, 30, white);
    ASSERT_EQ(FillQuadrangleSoft(quad, 2, GetGraphRecord(graph_), transparent, 1, 0), 0);
    EXPECT_EQ(Back(10, 10), red_);
    EXPECT_EQ(Back(11, 13), red_);
    EXPECT_EQ(Back(16, 10), blue_);
    EXPECT_EQ(Back(17, 13), blue_);
    EXPECT_EQ(Back(12, 10), uint32_t(MakeColorImpl(0, 255, 0)));
    EXPECT_EQ(Back(13, 12), transparent ? white : black_);
    EXPECT_EQ(Back(18, 12), white);
    EXPECT_EQ(Back(9, 12), white);
  }
  // The second form modulates by the black vertices.
  ASSERT_EQ(FillQuadrangleSoft(quad, 2, GetGraphRecord(graph_), 0, 0, 0), 0);
  EXPECT_EQ(Back(10, 10), black_);
}

INSTANTIATE_TEST_SUITE_P(Depths, SoftSide, ::testing::Values(16, 32));

}  // namespace
