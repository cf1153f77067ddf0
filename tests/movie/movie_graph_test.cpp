// Movies as graphs, end to end through the whole library: a Theora clip
// loaded with LoadImageFile draws its first frame, then the frame due once
// started and the clock moved on; a file no player takes is refused with its
// log lines; the window's deactivation and activation leave an open movie as
// it was; the library's end leaves no thread and no tracked block.
#include <gtest/gtest.h>

#include <dirent.h>

#include <random>
#include <string>
#include <vector>

#include "app/window_proc.h"
#include "core/log.h"
#include "core/system_state.h"
#include "core/window_query.h"
#include "graphics/draw.h"
#include "graphics/drawstate.h"
#include "graphics/graph.h"
#include "graphics/soft/display.h"
#include "graphics/surfacedata.h"
#include "movie/movie.h"
#include "movie_layer_util.h"
#include "platform/sysinfo.h"
#include "platform/window.h"
#include "vexlo.h"

namespace movietest {
namespace {

int CountThreads() {
  int n = 0;
  if (DIR* dir = opendir("/proc/self/task")) {
    while (dirent* e = readdir(dir))
      if (e->d_name[0] != '.') ++n;
    closedir(dir);
  }
  return n;
}

class MovieGraphs : public ::testing::Test {
 public:
  void SetUp() override {
    teststate::ResetProcessState();
    ThreadsBefore = CountThreads();
    CapturedLog().clear();
    PlatSetDebugSink(CaptureLog);
    std::random_device rd;
    const std::string title = "VexloMovie" + std::to_string(rd()) + std::to_string(rd());
    SetMainWindowTitle(title.c_str());
    ChangeWindowMode(1);
    ASSERT_EQ(SetScreenModeSetting(640, 480, 32), 0);
    ASSERT_EQ(InitLibrary(), 0);
    ASSERT_EQ(SetDrawTarget(DRAW_TARGET_BACK), 0);
    SavedPerfCounter = SystemState.PerfCounterUsable;
    SystemState.PerfCounterUsable = 0;
    FakeMilliseconds() = 5000;
    PlatSetMillisecondHook(ReadFakeMilliseconds);
  }
  void TearDown() override {
    PlatSetMillisecondHook(nullptr);
    SystemState.PerfCounterUsable = SavedPerfCounter;
    ASSERT_EQ(EndLibrary(), 0);
    PlatSetDebugSink(nullptr);
    SetScreenModeSetting(0, 0, 0);
    EXPECT_EQ(MovieTable.Count, 0);
    EXPECT_EQ(SystemState.Kept.Alloc.BlockCount, 0) << "tracked blocks left behind";
    EXPECT_EQ(CountThreads(), ThreadsBefore) << "threads left behind";
    teststate::ResetProcessState();
  }

  int LoadClip(const Clip& clip, const char* name = "movie.ogv") {
    filetest::WriteBytes(Scratch.Path / name, clip.Data);
    return LoadImageFile(name, 0);
  }
  static MovieRecord* MovieOf(int graph) { return GetMovieRecord(GetGraphRecord(graph)->Source.Id); }

  // Draws the graph at (x, y) on a cleared back screen; the draw's result.
  static int DrawAt(int graph, int x, int y) {
    ClearDrawTarget();
    int w = 0, h = 0;
    GetGraphDimensions(graph, &w, &h);
    return DrawGraphPart(x, y, 0, 0, w, h, graph, 0, 0);
  }
  // The back screen from (x, y) seen as an XRGB image.
  static PixelImage BackScreenAt(int x, int y) {
    PixelImage view{};
    const MEMIMG& back = DirectDrawState.BackImage;
    view.Pitch = int(back.Base->Pitch);
    view.Pixels = back.Pixels + size_t(y) * size_t(view.Pitch) + size_t(x) * 4;
    return view;
  }
  // Every pixel drawn at (x, y) equals the movie's frame image.
  static bool DrawnEqualsFrame(const PixelImage& frame, int x, int y) {
    const PixelImage drawn = BackScreenAt(x, y);
    for (int r = 0; r < frame.Height; ++r) {
      for (int c = 0; c < frame.Width; ++c) {
        const uint32_t want = reinterpret_cast<const uint32_t*>(frame.Pixels + size_t(r) * frame.Pitch)[c];
        const uint32_t got = reinterpret_cast<const uint32_t*>(drawn.Pixels + size_t(r) * drawn.Pitch)[c];
        if ((want & 0xFFFFFF) != (got & 0xFFFFFF)) return false;
      }
    }
    return true;
  }
  static int DrawnPicture(int x, int y) { return ImagePicture(BackScreenAt(x, y), 64, 48); }
  void SetClockMicroseconds(int64_t us) { FakeMilliseconds() = uint32_t(us / 1000); }

  filetest::ScratchDir Scratch;
  int ThreadsBefore = 0;
  int32_t SavedPerfCounter = 0;
};

TEST_F(MovieGraphs, AClipDrawsItsFirstFrameThenTheFrameDueOnceStarted) {
  const Clip clip = MakeFramesClip(50);
  const int threadsBeforeOpen = CountThreads();
  const int graph = LoadClip(clip);
  ASSERT_NE(graph, -1) << CapturedLog();
  EXPECT_EQ(CountThreads(), threadsBeforeOpen + 1);  // the decode thread
  int w = 0, h = 0;
  ASSERT_EQ(GetGraphDimensions(graph, &w, &h), 0);
  EXPECT_EQ(w, clip.FrameWidth);
  EXPECT_EQ(h, clip.FrameHeight);
  MovieRecord* m = MovieOf(graph);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->FrameCallback, UpdateMovieGraphSurface2D);

  // Stopped on frame 0, which the graph shows at once.
  ASSERT_EQ(DrawAt(graph, 100, 60), 0);
  EXPECT_EQ(DrawnPicture(100, 60), clip.PictureOfFrame[0]);
  EXPECT_TRUE(DrawnEqualsFrame(*m->CurrentImage, 100, 60));
  SetClockMicroseconds(9000000);
  DrawAt(graph, 100, 60);
  EXPECT_EQ(DrawnPicture(100, 60), clip.PictureOfFrame[0]);

  // Started as the library would start it: 0.8 s later frame 20 is drawn.
  ASSERT_EQ(StartMoviePlayback(GetGraphRecord(graph)->Source.Id, 1), 0);
  SetClockMicroseconds(9000000 + 800000);
  ASSERT_EQ(DrawAt(graph, 10, 20), 0);
  EXPECT_EQ(GetTheoraMovieFrame(m->Theora), 20);
  EXPECT_EQ(DrawnPicture(10, 20), clip.PictureOfFrame[20]);
  EXPECT_TRUE(DrawnEqualsFrame(*m->CurrentImage, 10, 20));
  // The stretched and four-corner draws bring the frame up to date as well.
  SetClockMicroseconds(9000000 + 1200000);
  EXPECT_EQ(DrawGraphStretched(0, 0, 128, 96, graph, 0), 0);
  EXPECT_EQ(GetTheoraMovieFrame(m->Theora), 30);
  SetClockMicroseconds(9000000 + 1400000);
  EXPECT_EQ(DrawGraphQuad(0, 0, 64, 0, 64, 48, 0, 48, graph, 0), 0);
  EXPECT_EQ(GetTheoraMovieFrame(m->Theora), 35);
}

TEST_F(MovieGraphs, ALoopingClipWrapsAndSubGraphsShareTheMovie) {
  const Clip clip = MakeFramesClip(30);
  const int graph = LoadClip(clip);
  ASSERT_NE(graph, -1);
  const int movie = GetGraphRecord(graph)->Source.Id;
  ASSERT_EQ(StartMoviePlayback(movie, 3), 0);
  SetClockMicroseconds(5000000 + 37 * 40000);  // 37 frames on: frame 7 of the second pass
  ASSERT_EQ(DrawAt(graph, 0, 0), 0);
  EXPECT_EQ(GetTheoraMovieFrame(MovieOf(graph)->Theora), 7);
  EXPECT_EQ(DrawnPicture(0, 0), clip.PictureOfFrame[7]);

  // A sub-graph brings the frame up to date too, and freeing it leaves the
  // movie to its graph; freeing the graph closes the movie.
  const int sub = CreateSubGraph(0, 0, 64, 48, graph);
  ASSERT_NE(sub, -1);
  SetClockMicroseconds(5000000 + 41 * 40000);
  ASSERT_EQ(DrawAt(sub, 0, 0), 0);
  EXPECT_EQ(DrawnPicture(0, 0), clip.PictureOfFrame[11]);
  ASSERT_EQ(FreeGraphHandle(sub, 0), 0);
  EXPECT_NE(GetMovieRecord(movie), nullptr);
  const int sub2 = CreateSubGraph(0, 0, 64, 48, graph);
  const int threads = CountThreads();
  ASSERT_EQ(FreeGraphHandle(graph, 0), 0);
  EXPECT_EQ(GetMovieRecord(movie), nullptr);
  EXPECT_EQ(MovieTable.Count, 0);
  EXPECT_EQ(CountThreads(), threads - 1);
  // The sub-graph outliving its movie still draws what it holds.
  EXPECT_EQ(DrawAt(sub2, 0, 0), 0);
  EXPECT_EQ(DrawnPicture(0, 0), clip.PictureOfFrame[11]);
}

TEST_F(MovieGraphs, AMovieGraphIsMadeInSystemMemoryAndLeavesTheCallersNewGraphSettings) {
  // What a caller set up for its own graphs (the screen is 32-bit).
  SetNewGraphColorBitDepth(16);
  SetNewGraphNoManageTexture(0);
  ASSERT_EQ(GraphicsState.NewGraphSystemMem, 0);
  ASSERT_EQ(GraphicsState.TextureGraphSetting, 1);
  const int graph = LoadClip(MakeFramesClip(2));
  ASSERT_NE(graph, -1) << CapturedLog();
  const SurfaceFormatRequest& f = GetGraphRecord(graph)->Format;
  EXPECT_EQ(f.ColorBitDepth, 32);
  EXPECT_EQ(f.SystemMemory, 1);
  EXPECT_EQ(f.Texture, 0);
  EXPECT_EQ(GraphicsState.NewGraphColorBitDepth, 16);
  EXPECT_EQ(GraphicsState.NewGraphSystemMem, 0);
  EXPECT_EQ(GraphicsState.NewGraphNoManageTexture, 0);
  EXPECT_EQ(GraphicsState.TextureGraphSetting, 1);
  const int plain = CreateGraphOfSize(8, 8, 0, 0, 0);
  ASSERT_NE(plain, -1);
  EXPECT_EQ(GetGraphRecord(plain)->Format.SystemMemory, 0);
}

TEST_F(MovieGraphs, AFileNoPlayerTakesGivesMinusOneWithThreeLinesInOrder) {
  SetLogFileOutput(1);
  filetest::WriteBytes(Scratch.Path / "clip.avi", Bytes(4096, 0x52));
  CapturedLog().clear();
  EXPECT_EQ(LoadImageFile("clip.avi", 0), -1);
  const std::string& log = CapturedLog();
  const size_t a = log.find("CLSID_FilterGraph の作成に失敗しました");
  const size_t b = log.find("ムービーファイルオープン処理時にエラーが発生しました");
  const size_t c = log.find("右記のグラフィックファイルのロードに失敗しました：clip.avi \r\n");
  ASSERT_NE(a, std::string::npos) << log;
  ASSERT_NE(b, std::string::npos) << log;
  ASSERT_NE(c, std::string::npos) << log;
  EXPECT_LT(a, b);
  EXPECT_LT(b, c);
  EXPECT_EQ(MovieTable.Count, 0);
  SetLogFileOutput(0);
}

TEST_F(MovieGraphs, AGraphThatCannotBeMadeClosesItsMovie) {
  SetLogFileOutput(1);
  const int threads = CountThreads();
  CapturedLog().clear();
  // With every surface record taken, the movie opens but its graph cannot
  // be made.
  SurfaceFormatRequest request{};
  std::vector<int> taken;
  for (int data; (data = AddSurfaceData(1, 1, 1, 0, &request)) >= 0;) taken.push_back(data);
  EXPECT_EQ(LoadClip(MakeFramesClip(1), "unmade.ogv"), -1);
  for (int data : taken) DeleteSurfaceData(data);
  EXPECT_NE(CapturedLog().find(
                "右記のグラフィックファイルの格納用グラフィック領域の作成に失敗しました：unmade.ogv"),
            std::string::npos);
  EXPECT_EQ(MovieTable.Count, 0);
  EXPECT_EQ(CountThreads(), threads);
  SetLogFileOutput(0);
}

TEST_F(MovieGraphs, DeactivatingAndActivatingTheWindowChangesNothingForAnOpenMovie) {
  const Clip clip = MakeFramesClip(20);
  const int graph = LoadClip(clip);
  ASSERT_NE(graph, -1);
  const MovieRecord* m = MovieOf(graph);
  const MovieRecord before = *m;
  MainWindowProc(GetMainWindow(), WM_ACTIVATE, WA_INACTIVE, 0);
  SetClockMicroseconds(8000000);
  MainWindowProc(GetMainWindow(), WM_ACTIVATE, WA_ACTIVE, 0);
  EXPECT_EQ(m->Paused, 1);
  EXPECT_EQ(m->Playing, 0);
  EXPECT_EQ(m->StartTime, before.StartTime);
  EXPECT_EQ(GetTheoraMovieFrame(m->Theora), 0);
  ASSERT_EQ(DrawAt(graph, 0, 0), 0);
  EXPECT_EQ(DrawnPicture(0, 0), clip.PictureOfFrame[0]);

  // A playing movie is paused with the window and goes on from its frame.
  const int movie = GetGraphRecord(graph)->Source.Id;
  ASSERT_EQ(StartMoviePlayback(movie, 1), 0);
  SetClockMicroseconds(8000000 + 200000);
  MainWindowProc(GetMainWindow(), WM_ACTIVATE, WA_INACTIVE, 0);
  EXPECT_EQ(m->Paused, 1);
  EXPECT_EQ(m->Playing, 1);
  EXPECT_EQ(GetTheoraMovieFrame(m->Theora), 5);
  SetClockMicroseconds(20000000);
  MainWindowProc(GetMainWindow(), WM_ACTIVATE, WA_ACTIVE, 0);
  EXPECT_EQ(m->Paused, 0);
  SetClockMicroseconds(20000000 + 40000);
  ASSERT_EQ(DrawAt(graph, 0, 0), 0);
  EXPECT_EQ(DrawnPicture(0, 0), clip.PictureOfFrame[6]);

  // A display rebuild marks the graph lost; the movie refills it at the next
  // draw, even while it stands still.
  ASSERT_EQ(PauseMoviePlayback(movie, 0), 0);
  ASSERT_EQ(FillGraphWithColor(graph, 0, 0, 0, 255), 0);
  ASSERT_EQ(ReapplyGraphicsSettings(), 0);
  EXPECT_EQ(GetGraphRecord(graph)->Lost, 1);
  ASSERT_EQ(DrawAt(graph, 0, 0), 0);
  EXPECT_EQ(GetGraphRecord(graph)->Lost, 0);
  EXPECT_EQ(DrawnPicture(0, 0), clip.PictureOfFrame[6]);
}

TEST_F(MovieGraphs, TheLibrarysEndClosesMoviesOpenedOutsideAGraph) {
  const Clip clip = MakeFramesClip(10);
  filetest::WriteBytes(Scratch.Path / "a.ogv", clip.Data);
  ASSERT_NE(OpenMovie("a.ogv", nullptr, nullptr, 0), -1);
  ASSERT_NE(LoadClip(clip), -1);
  EXPECT_EQ(MovieTable.Count, 2);
  // TearDown ends the library and finds no movie, thread or block left.
}

}  // namespace
}  // namespace movietest
