// The graph table: slots, check values, the lost flag, the new-graph format
// settings, and what deleting a graph leaves behind.
#include "graph_fixture.h"

using namespace graphtest;

namespace {

int Slot(int handle) { return handle & 0xFFFF; }

TEST_F(Graphics16Test, NewGraphsTakeTheEndMarkAndFreeingTheLastSlotsLowersIt) {
  const int before = GraphicsManager.Graphs.EndMark;
  int h[10];
  for (int& g : h) g = CreateGraphOfSize(8, 8, 0, 0, 0);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(Slot(h[i]), before + i);
  FreeGraphHandle(h[9], 0);
  FreeGraphHandle(h[8], 0);
  EXPECT_EQ(GraphicsManager.Graphs.EndMark, before + 8);
  // A hole below the end mark stays a hole while the end mark has room.
  FreeGraphHandle(h[3], 0);
  EXPECT_EQ(Slot(CreateGraphOfSize(8, 8, 0, 0, 0)), before + 8);
}

TEST_F(Graphics16Test, AFullEndMarkMakesTheLowestFreeSlotTheNext) {
  const int a = CreateGraphOfSize(4, 4, 0, 0, 0);
  const int b = CreateGraphOfSize(4, 4, 0, 0, 0);
  FreeGraphHandle(a, 0);
  GraphicsManager.Graphs.EndMark = GRAPH_TABLE_SIZE;
  const int c = CreateGraphOfSize(4, 4, 0, 0, 0);
  EXPECT_EQ(Slot(c), Slot(a));
  FreeGraphHandle(c, 0);
  FreeGraphHandle(b, 0);
  GraphicsManager.Graphs.EndMark = 0;
}

TEST_F(Graphics16Test, HandlesCarryTagAndCheckValueAndAStaleHandleFails) {
  const int g = CreateGraphOfSize(4, 4, 0, 0, 0);
  EXPECT_EQ(g & 0x78000000, GRAPH_HANDLE_TAG);
  EXPECT_EQ(IsGraphHandleValid(g), 1);
  FreeGraphHandle(g, 0);
  const int again = CreateGraphOfSize(4, 4, 0, 0, 0);
  EXPECT_EQ(Slot(again), Slot(g));
  EXPECT_NE(again, g);
  EXPECT_EQ(IsGraphHandleValid(g), 0);
  EXPECT_EQ(FreeGraphHandle(g, 0), -1);
  EXPECT_EQ(GetGraphRecord(-1), nullptr);
  EXPECT_EQ(GetGraphRecord(0x10000000 | Slot(again)), nullptr);
  FreeGraphHandle(again, 0);
}

TEST_F(Graphics16Test, TheCheckCounterWrapsAfter2047) {
  GraphicsManager.Graphs.CheckCounter = 2047;
  const int last = CreateGraphOfSize(4, 4, 0, 0, 0);
  EXPECT_EQ((last >> 16) & 0x7FF, 2047);
  const int wrapped = CreateGraphOfSize(4, 4, 0, 0, 0);
  EXPECT_EQ((wrapped >> 16) & 0x7FF, 0);
  EXPECT_EQ(GraphicsManager.Graphs.CheckCounter, 1u);
  FreeGraphHandle(last, 0);
  FreeGraphHandle(wrapped, 0);
}

TEST_F(Graphics16Test, TheLostFlagIsClearedOnRegistrationAndSetOnDeletion) {
  const int g = CreateGraphOfSize(4, 4, 0, 0, 0);
  int lost = 7;
  ASSERT_EQ(SetGraphLostFlagPtr(g, &lost), 0);
  EXPECT_EQ(lost, 0);
  FreeGraphHandle(g, 0);
  EXPECT_EQ(lost, 1);
  EXPECT_EQ(SetGraphLostFlagPtr(g, &lost), -1);
}

TEST_F(Graphics16Test, NewGraphSettingsShapeTheFormatBytes) {
  GraphRecord* r = nullptr;
  SetNewGraphDrawValid(1);
  int g = AddGraphData(16, 16, 1, &r, 1, 0);
  EXPECT_EQ(r->Format.DrawValid, 1);
  EXPECT_EQ(r->Format.AlphaChFlag, 0);
  EXPECT_EQ(r->Format.AlphaTestFlag, 0);
  EXPECT_EQ(r->Format.Texture, 0);  // no Direct3D here
  EXPECT_EQ(r->Format.ColorBitDepth, 16);
  FreeGraphHandle(g, 0);
  SetNewGraphDrawValid(0);
  g = AddGraphData(16, 16, 1, &r, 1, 1);
  EXPECT_EQ(r->Format.AlphaChFlag, 1);
  EXPECT_EQ(r->Format.AlphaTestFlag, 1);
  EXPECT_EQ(r->Format.Palette, 1);
  EXPECT_EQ(r->Format.SystemMemory, 0);
  EXPECT_EQ(r->Source.Ops, nullptr);
  FreeGraphHandle(g, 0);
  // Output through the window alone: the depth is always the screen's.
  SetNewGraphColorBitDepth(32);
  g = AddGraphData(16, 16, 0, &r, 0, 0);
  EXPECT_EQ(r->Format.ColorBitDepth, 16);
  FreeGraphHandle(g, 0);
}

TEST_F(Graphics16Test, AGraphMadeWithSettingsOfItsOwnLeavesTheDrawingStates) {
  SetNewGraphDrawValid(0);
  SetNewGraphAlphaTest(0);
  NewGraphSettings own = GetNewGraphSettings();
  own.DrawValid = 1;
  own.SystemMemory = 1;
  const int drawable = CreateGraphWithSettings(16, 16, 0, 1, 0, own);
  ASSERT_GE(drawable, 0);
  GraphRecord* r = GetGraphRecord(drawable);
  EXPECT_EQ(r->Format.DrawValid, 1);
  EXPECT_EQ(r->Format.AlphaChFlag, 0);
  EXPECT_EQ(r->Format.SystemMemory, 1);
  own.DrawValid = 0;
  own.AlphaTest = 1;
  const int tested = CreateGraphWithSettings(16, 16, 0, 1, 0, own);
  ASSERT_GE(tested, 0);
  EXPECT_EQ(GetGraphRecord(tested)->Format.AlphaTestFlag, 1);
  EXPECT_EQ(GetGraphRecord(tested)->Format.AlphaChFlag, 1);
  // Neither changed what the next graph of the caller is made with.
  EXPECT_EQ(GraphicsState.NewGraphDrawValid, 0);
  EXPECT_EQ(GraphicsState.NewGraphAlphaTest, 0);
  EXPECT_EQ(GraphicsState.NewGraphSystemMem, 0);
  const int plain = CreateGraphOfSize(16, 16, 0, 1, 0);
  ASSERT_GE(plain, 0);
  r = GetGraphRecord(plain);
  EXPECT_EQ(r->Format.DrawValid, 0);
  EXPECT_EQ(r->Format.AlphaTestFlag, 0);
  EXPECT_EQ(r->Format.SystemMemory, 0);
  FreeGraphHandle(plain, 0);
  FreeGraphHandle(tested, 0);
  FreeGraphHandle(drawable, 0);
}

TEST_F(Graphics16Test, GraphsWhoseSurfacesFailLeaveNothingInTheTable) {
  const int count = GraphicsManager.Graphs.Count;
  EXPECT_EQ(CreateGraphOfSize(70000, 4, 0, 0, 0), -1);
  EXPECT_EQ(CreateGraphOfSize(0, 4, 0, 0, 0), -1);
  EXPECT_EQ(GraphicsManager.Graphs.Count, count);
}

TEST_F(Graphics16Test, DeletingTheDrawTargetOrBlendGraphLeavesNoDanglingSelection) {
  SetNewGraphDrawValid(1);
  const int g = CreateGraphOfSize(32, 32, 0, 0, 0);
  SetNewGraphDrawValid(0);
  ASSERT_EQ(SetDrawTargetImpl(g), 0);
  EXPECT_EQ(GetDrawTargetImage(), GraphImage(g));
  FreeGraphHandle(g, 0);
  EXPECT_EQ(GetDrawTarget(), -2);
  EXPECT_EQ(GetDrawTargetImage(), &DirectDrawState.BackImage);
  EXPECT_EQ(FillRectangle(0, 0, 10, 10, MakeColorImpl(255, 255, 255)), 0);

  const int b = CreateGraphOfSize(32, 32, 0, 0, 0);
  ASSERT_EQ(SelectBlendGraph(b, 10, 20), 0);
  FreeGraphHandle(b, 0);
  EXPECT_EQ(GraphicsState.BlendGraph, -1);
  EXPECT_EQ(DirectDrawState.BlendImage, nullptr);
}

TEST_F(Graphics16Test, TheScreenTargetsReportTheScreenSize) {
  int w = 0, h = 0;
  EXPECT_EQ(GetGraphDimensions(DRAW_TARGET_FRONT, &w, &h), 0);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);
  EXPECT_EQ(GetGraphDimensions(DRAW_TARGET_BACK, nullptr, &h), 0);
  EXPECT_EQ(GetGraphDimensions(12345, &w, &h), -1);
}

TEST_F(Graphics16Test, TheManagersEndDeletesEverySurfaceRecord) {
  for (int i = 0; i < 5; ++i) CreateGraphOfSize(8, 8, 0, 0, 0);
  const SurfaceFormatRequest loose{0, 0, 0, 0, 0, 0, 16, 0, 0};
  ASSERT_GE(AddSurfaceData(1, 8, 8, 0, &loose), 0);
  EXPECT_GT(GraphicsManager.SurfaceData.Count, 5);
  TermGraphicsManager();
  EXPECT_EQ(GraphicsManager.SurfaceData.Count, 0);
  EXPECT_EQ(DirectDrawState.Surfaces.Count, 0);
  EXPECT_EQ(GraphicsState.Lights.Handles.Count, 0);
  InitGraphicsManager();
}

}  // namespace
