// The drawing entries through a recording back end: which side is called,
// with what, in which order, and the worked positions of part and mirrored
// draws.
#include <string>
#include <vector>

#include "graph_fixture.h"
#include "softrender/memimg_tables.h"

using namespace graphtest;

namespace {

std::vector<std::string> g_calls;
Rect g_clipSeen;

std::string Args(std::initializer_list<long> v) {
  std::string s;
  for (long x : v) s += (s.empty() ? "" : ",") + std::to_string(x);
  return s;
}

void Record(const std::string& s) {
  g_calls.push_back(s);
  g_clipSeen = GraphicsState.ClipRect;
}

int AtSoft(int x, int y, GraphRecord*, int t) {
  Record("AtSoft " + Args({x, y, t}));
  return 0;
}
int At3D(int x, int y, float, float, GraphRecord*, int t, int) {
  Record("At3D " + Args({x, y, t}));
  return 0;
}
int StretchSoft(int x1, int y1, int x2, int y2, GraphRecord*, int t, int f) {
  Record("StretchSoft " + Args({x1, y1, x2, y2, t, f}));
  return 0;
}
int FillSoft(int x1, int y1, int x2, int y2, int) {
  Record("FillSoft " + Args({x1, y1, x2, y2}));
  return 0;
}
int Fill3D(int x1, int y1, int x2, int y2, int) {
  Record("Fill3D " + Args({x1, y1, x2, y2}));
  return 0;
}
int OutlineSoft(int x1, int y1, int x2, int y2, int) {
  Record("OutlineSoft " + Args({x1, y1, x2, y2}));
  return 0;
}
int LineSoft(int x1, int y1, int x2, int y2, int) {
  Record("LineSoft " + Args({x1, y1, x2, y2}));
  return -1;
}
int QuadSoft(float, float, float, float, float, float, float, float, GraphRecord*, int) {
  Record("QuadSoft");
  return 0;
}
int Sync() {
  Record("Sync");
  return 0;
}
int Present(const Rect* r) {
  Record("Present " + Args({r->Left, r->Top, r->Right, r->Bottom}));
  return 0;
}

class DrawEntryTest : public Graphics16Test {
 protected:
  void SetUp() override {
    Graphics16Test::SetUp();
    g_calls.clear();
    DrawSides.DrawGraphAtSoft = AtSoft;
    DrawSides.DrawGraphAt3D = At3D;
    DrawSides.DrawGraphStretchedSoft = StretchSoft;
    DrawSides.FillRectangleSoft = FillSoft;
    DrawSides.FillRectangle3D = Fill3D;
    DrawSides.OutlineRectangleSoft = OutlineSoft;
    DrawSides.DrawLineSegmentSoft = LineSoft;
    DrawSides.DrawGraphQuadSoft = QuadSoft;
    DrawSides.SyncFrontImageFromScreen = Sync;
    DrawSides.PresentFrontImageRect = Present;
    SetDrawTargetImpl(DRAW_TARGET_BACK);
    graph_ = CreateGraphOfSize(64, 16, 0, 0, 0);
  }
  int graph_ = -1;
};

TEST_F(DrawEntryTest, AnEmptyClipDrawsNothingAndReportsSuccess) {
  SetDrawClipRect(10, 10, 10, 100);
  EXPECT_EQ(DrawGraphAt(0, 0, graph_, 1), 0);
  EXPECT_EQ(FillRectangle(0, 0, 5, 5, 0), 0);
  EXPECT_EQ(DrawGraphAt(0, 0, 0x08001234, 1), 0);
  EXPECT_TRUE(g_calls.empty());
}

TEST_F(DrawEntryTest, BadHandlesAndSmallBlendGraphsAreRefused) {
  EXPECT_EQ(DrawGraphAt(0, 0, 0x08001234, 1), -1);
  const int small = CreateGraphOfSize(8, 8, 0, 0, 0);
  ASSERT_EQ(SelectBlendGraph(small, 0, 0), 0);
  EXPECT_EQ(DrawGraphAt(0, 0, graph_, 1), -1);
  EXPECT_TRUE(g_calls.empty());
  EXPECT_EQ(SelectBlendGraph(0x08001234, 0, 0), -1);
  EXPECT_EQ(GraphicsState.BlendGraph, small);
}

TEST_F(DrawEntryTest, TwoDimensionalGraphsTakeTheSoftwareSide) {
  EXPECT_EQ(DrawGraphAt(3, 4, graph_, 1), 0);
  EXPECT_EQ(DrawGraphStretched(100, 50, 20, 10, graph_, 0), 0);
  EXPECT_EQ(FillRectangle(30, 40, 10, 20, 0), 0);
  EXPECT_EQ(DrawRectangleImpl(1, 2, 3, 4, 0, 0), 0);
  EXPECT_EQ(DrawLineSegmentImpl(10, 10, 5, 20, 0, 1), -1);  // the side's result
  EXPECT_EQ(g_calls,
            (std::vector<std::string>{"AtSoft 3,4,1", "StretchSoft 100,50,20,10,0,-1", "FillSoft 30,40,10,20",
                                      "OutlineSoft 1,2,3,4", "LineSoft 10,10,5,20"}));
}

TEST_F(DrawEntryTest, TextureGraphsTakeTheOtherSide) {
  GetGraphRecord(graph_)->Format.Texture = 1;
  EXPECT_EQ(DrawGraphAt(3, 4, graph_, 0), 0);
  EXPECT_EQ(g_calls, (std::vector<std::string>{"At3D 3,4,0"}));
  GetGraphRecord(graph_)->Format.Texture = 0;
}

// A fed graph's source, recording what the graph layer asks of it; it
// answers Refresh with g_sourceOnScreen.
int g_sourceOnScreen = 0;
int SourceRefresh(int32_t id, int place, int x, int y, int scale) {
  Record("Refresh " + Args({id, place, x, y, scale}));
  return place ? g_sourceOnScreen : 0;
}
int SourceRelease(int32_t id) {
  Record("Release " + Args({id}));
  return 0;
}
int SourceRestore(int32_t id) {
  Record("Restore " + Args({id}));
  return 0;
}
constexpr GraphFrameSourceOps kRecordingSource = {SourceRefresh, SourceRelease, SourceRestore};

TEST_F(DrawEntryTest, AFedGraphIsRefreshedBeforeEachDrawOrPlacedOnTheScreenInstead) {
  GetGraphRecord(graph_)->Source = GraphFrameSource{&kRecordingSource, 7, 1};
  g_sourceOnScreen = 0;
  EXPECT_EQ(DrawGraphAt(3, 4, graph_, 1), 0);
  EXPECT_EQ(DrawGraphStretched(100, 50, 20, 10, graph_, 0), 0);  // the scale: -80 / 64, toward zero
  EXPECT_EQ(DrawGraphQuad(0, 0, 64, 0, 0, 16, 64, 16, graph_, 0), 0);
  EXPECT_EQ(g_calls,
            (std::vector<std::string>{"Refresh 7,1,3,4,1", "AtSoft 3,4,1", "Refresh 7,1,100,50,-1",
                                      "StretchSoft 100,50,20,10,0,-1", "Refresh 7,0,0,0,0", "QuadSoft"}));

  // Placed straight on the screen: the entries that place answer -1 and
  // draw nothing; the four-corner draw only refreshes and draws.
  g_calls.clear();
  g_sourceOnScreen = 1;
  EXPECT_EQ(DrawGraphAt(3, 4, graph_, 1), -1);
  EXPECT_EQ(DrawGraphStretched(10, 20, 138, 52, graph_, 1), -1);
  EXPECT_EQ(DrawGraphQuad(0, 0, 64, 0, 0, 16, 64, 16, graph_, 0), 0);
  EXPECT_EQ(g_calls, (std::vector<std::string>{"Refresh 7,1,3,4,1", "Refresh 7,1,10,20,2",
                                               "Refresh 7,0,0,0,0", "QuadSoft"}));

  // A sub-graph shares the feed without owning it: restoring it restores
  // the source, deleting it leaves the source; deleting the graph ends it.
  g_calls.clear();
  g_sourceOnScreen = 0;
  const int sub = CreateSubGraph(8, 0, 8, 8, graph_);
  ASSERT_NE(sub, -1);
  EXPECT_EQ(GetGraphRecord(sub)->Source.Ops, &kRecordingSource);
  EXPECT_EQ(GetGraphRecord(sub)->Source.Owner, 0);
  EXPECT_EQ(DrawGraphAt(0, 0, sub, 0), 0);
  EXPECT_EQ(RestoreGraphSurface(sub), 0);
  EXPECT_EQ(FreeGraphHandle(sub, 0), 0);
  EXPECT_EQ(RestoreGraphSurface(graph_), 0);
  EXPECT_EQ(FreeGraphHandle(graph_, 0), 0);
  EXPECT_EQ(g_calls, (std::vector<std::string>{"Refresh 7,1,0,0,1", "AtSoft 0,0,0", "Restore 7", "Restore 7",
                                               "Release 7"}));
  graph_ = -1;
}

TEST_F(DrawEntryTest, TheFrontScreenIsReadBackAndShownAroundEachDraw) {
  ASSERT_EQ(SetDrawTargetImpl(DRAW_TARGET_FRONT), 0);
  DirectDrawState.FrontStale = 1;
  DrawGraphStretched(100, 50, 20, 10, graph_, 1);
  DirectDrawState.FrontStale = 0;
  DrawLineSegmentImpl(10, 10, 5, 20, 0, 1);
  FillRectangle(30, 40, 10, 20, 0);
  EXPECT_EQ(g_calls,
            (std::vector<std::string>{"Sync", "StretchSoft 100,50,20,10,1,-1", "Present 20,10,100,50",
                                      "LineSoft 10,10,5,20", "Present 5,10,11,21", "FillSoft 30,40,10,20",
                                      "Present 10,20,30,40"}));
}

TEST_F(DrawEntryTest, QuadBoundsOfNegativeCornersEndAtZero) {
  ASSERT_EQ(SetDrawTargetImpl(DRAW_TARGET_FRONT), 0);
  DrawGraphQuad(-10.5f, -3.0f, -1.9f, -3.0f, -1.9f, -8.0f, -10.5f, -8.0f, graph_, 1);
  EXPECT_EQ(g_calls, (std::vector<std::string>{"QuadSoft", "Present -10,-8,0,0"}));
}

TEST_F(DrawEntryTest, SubtractionOnTheOtherSideIsBracketedByInversions) {
  GetGraphRecord(graph_)->Format.Texture = 1;
  SetBlendModeParam(3, 200);
  DrawGraphAt(3, 4, graph_, 1);
  EXPECT_EQ(g_calls, (std::vector<std::string>{"Fill3D 3,4,67,20", "At3D 3,4,1", "Fill3D 3,4,67,20"}));
  EXPECT_EQ(GraphicsState.BlendMode, 3);
  EXPECT_EQ(GraphicsState.BlendParam, 200);
  GetGraphRecord(graph_)->Format.Texture = 0;
}

TEST_F(DrawEntryTest, APartIsDrawnThroughANarrowedClipThatIsPutBack) {
  SetDrawClipRect(0, 0, 640, 480);
  EXPECT_EQ(DrawGraphPartImpl(100, 100, 16, 0, 16, 16, graph_, 1, 0), 0);
  EXPECT_EQ(g_calls, (std::vector<std::string>{"AtSoft 84,100,1"}));
  EXPECT_EQ(g_clipSeen.Left, 100);
  EXPECT_EQ(g_clipSeen.Right, 116);
  EXPECT_EQ(g_clipSeen.Bottom, 116);
  EXPECT_EQ(GraphicsState.ClipRect.Right, 640);
  EXPECT_EQ(SoftDrawState.Clip, &GraphicsState.ClipRect);
  g_calls.clear();
  // Mirrored: the graph is drawn flipped at 68 so columns 31..16 land on 100..115.
  DrawGraphPartImpl(100, 100, 16, 0, 16, 16, graph_, 1, 1);
  EXPECT_EQ(g_calls, (std::vector<std::string>{"StretchSoft 132,100,68,116,1,-1"}));
}

TEST_F(DrawEntryTest, EmptyOrInvalidPartsAreRefusedAndTheClipStays) {
  SetDrawClipRect(5, 5, 600, 400);
  EXPECT_EQ(DrawGraphPartImpl(100, 100, 16, 0, 16, 16, 0x08001234, 1, 1), -1);
  EXPECT_EQ(DrawGraphPartImpl(100, 100, 0, 0, 0, 16, graph_, 1, 0), -1);
  EXPECT_EQ(DrawGraphPartImpl(100, 100, 0, 0, 16, -1, graph_, 1, 0), -1);
  EXPECT_EQ(DrawGraphPartStretched(0, 0, 10, 10, 0, 0, 0, 5, graph_, 1), -1);
  EXPECT_EQ(DrawGraphPartStretched(0, 0, 10, 10, 0, 0, 5, 0, graph_, 1), -1);
  EXPECT_TRUE(g_calls.empty());
  EXPECT_EQ(GraphicsState.ClipRect.Left, 5);
  EXPECT_EQ(GraphicsState.ClipRect.Right, 600);
}

TEST_F(DrawEntryTest, AStretchedPartScalesTheWholeGraph) {
  const int g = CreateGraphOfSize(40, 10, 0, 0, 0);
  SetDrawClipRect(0, 0, 640, 480);
  DrawGraphPartStretched(0, 0, 200, 100, 10, 0, 20, 10, g, 1);
  EXPECT_EQ(g_calls, (std::vector<std::string>{"StretchSoft -100,0,300,100,1,-1"}));
  EXPECT_EQ(g_clipSeen.Right, 200);
  g_calls.clear();
  DrawGraphPartStretched(200, 0, 0, 100, 10, 0, 20, 10, g, 1);
  EXPECT_EQ(g_calls, (std::vector<std::string>{"StretchSoft 300,0,-100,100,1,-1"}));
}

TEST_F(DrawEntryTest, AWideLineSkipsTheThinFrame) {
  SetDrawClipRect(10, 10, 10, 100);
  EXPECT_EQ(DrawLineSegmentImpl(0, 0, 10, 0, 0, 2), 0);
  EXPECT_TRUE(g_calls.empty());
}

}  // namespace
