// Graphs made from sizes, decoded images and files; sub-graphs sharing their
// source's pixels; reloading lost graphs from their files.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "file/fileaccess.h"
#include "graph_fixture.h"
#include "image/pixelimage.h"

using namespace graphtest;

namespace {

// A 24-bit bottom-up BMP whose pixel (x, y) is colour(x, y) as 0xRRGGBB.
template <typename F>
void WriteBmp(const std::string& path, int w, int h, F colour) {
  const int rowBytes = (w * 3 + 3) & ~3;
  std::vector<uint8_t> f(54 + size_t(rowBytes) * h, 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) f[at + i] = uint8_t(v >> (8 * i));
  };
  f[0] = 'B';
  f[1] = 'M';
  put32(2, uint32_t(f.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, uint32_t(w));
  put32(22, uint32_t(h));
  f[26] = 1;
  f[28] = 24;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t c = colour(x, y);
      uint8_t* p = &f[54 + size_t(h - 1 - y) * rowBytes + size_t(x) * 3];
      p[0] = uint8_t(c);
      p[1] = uint8_t(c >> 8);
      p[2] = uint8_t(c >> 16);
    }
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(f.data()), std::streamsize(f.size()));
}

class GraphFileTest : public Graphics16Test {
 protected:
  void SetUp() override {
    Graphics16Test::SetUp();
    dir_ = std::filesystem::temp_directory_path() /
           ("vx_graph_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
  }
  void TearDown() override {
    Graphics16Test::TearDown();
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(dir_);
  }
  std::filesystem::path dir_, previous_;
};

TEST_F(Graphics16Test, AGraphFromADecodedImageHoldsItsPixelsAndLeavesTheImageAlone) {
  PixelImage img{};
  ASSERT_EQ(MakeXRGB8PixelImageImpl(4, 2, &img), 0);
  FillPixelImage(&img, 0, 0, 255, 255);
  WritePixelImagePixel(&img, 0, 0, 255, 0, 0, 255);
  const int g = CreateGraphFromImagePair(&img, nullptr, 1, 1, 1);
  ASSERT_GE(g, 0);
  MEMIMG* m = GraphImage(g);
  // Mirrored left to right in the graph, the caller's image as it was.
  EXPECT_EQ(PixelAt(m, 3, 0), 0xF800u);
  EXPECT_EQ(PixelAt(m, 0, 0), 0x001Fu);
  int r = 0;
  ReadPixelImageRGBA(&img, 0, 0, &r, nullptr, nullptr, nullptr);
  EXPECT_EQ(r, 255);
  ReleasePixelImageImpl(&img);
}

TEST_F(Graphics16Test, AnAlphaImageGivesAnAlphaGraphAndAMismatchedOneIsRefused) {
  PixelImage img{}, alpha{}, small{};
  MakeXRGB8PixelImageImpl(4, 4, &img);
  MakeXRGB8PixelImageImpl(4, 4, &alpha);
  MakeXRGB8PixelImageImpl(2, 4, &small);
  FillPixelImage(&img, 10, 20, 30, 0);
  FillPixelImage(&alpha, 128, 128, 128, 0);
  const int g = CreateGraphFromImagePair(&img, &alpha, 1, 0, 0);
  ASSERT_GE(g, 0);
  EXPECT_EQ(GetGraphRecord(g)->Format.AlphaChFlag, 1);
  EXPECT_EQ(CreateGraphFromImagePair(&img, &small, 1, 0, 0), -1);
  for (PixelImage* p : {&img, &alpha, &small}) ReleasePixelImageImpl(p);
}

TEST_F(Graphics16Test, APaletteImageMakesAPaletteGraph) {
  PixelImage img{};
  img.Width = 4;
  img.Height = 4;
  img.Pitch = 4;
  SetPaletteColorFormat(&img.Format);
  std::vector<uint8_t> bytes(16, 1);
  img.Pixels = bytes.data();
  img.Format.Palette[1] = PaletteEntry{0, 0, 255, 0};
  const int g = MakeGraphForImage(&img, nullptr, 1);
  ASSERT_GE(g, 0);
  EXPECT_EQ(GetGraphRecord(g)->Format.Palette, 1);
  EXPECT_EQ(GetGraphRecord(g)->Format.Texture, 0);
  img.Pixels = nullptr;
}

TEST_F(GraphFileTest, AFileLoadsWithItsAlphaCompanionAndRemembersWhereItCameFrom) {
  WriteBmp("pic.bmp", 8, 4, [](int x, int) { return x < 4 ? 0xFF0000u : 0x0000FFu; });
  WriteBmp("pic_a.bmp", 8, 4, [](int, int) { return 0x808080u; });
  WriteBmp("plain.bmp", 8, 4, [](int, int) { return 0x00FF00u; });
  const int g = LoadFileAsGraph("pic.bmp", 1, 0);
  ASSERT_GE(g, 0);
  const GraphRecord* r = GetGraphRecord(g);
  EXPECT_EQ(r->Format.AlphaChFlag, 1);
  EXPECT_STREQ(r->FileName, "pic.bmp");
  EXPECT_NE(r->Directory[0], '\0');
  const int p = LoadFileAsGraph("plain.bmp", 0, 0);
  ASSERT_GE(p, 0);
  EXPECT_EQ(GetGraphRecord(p)->Format.AlphaChFlag, 0);
  EXPECT_EQ(PixelAt(GraphImage(p), 2, 2), 0x07E0u);
  // A missing file fails; a file that is there but no image is left to the
  // caller's other readers.
  EXPECT_EQ(LoadFileAsGraph("missing.bmp", 1, 0), -1);
  std::ofstream("junk.bmp") << "not an image at all";
  EXPECT_EQ(LoadFileAsGraph("junk.bmp", 1, 0), GRAPH_FILE_NOT_IMAGE);
}

TEST_F(Graphics16Test, SubGraphsShareTheirSourcesPixelsAndStayInside) {
  const int g = CreateGraphOfSize(100, 50, 0, 0, 0);
  const int whole = CreateSubGraph(0, 0, 1000, 1000, g);
  ASSERT_GE(whole, 0);
  int w = 0, h = 0;
  GetGraphDimensions(whole, &w, &h);
  EXPECT_EQ(w, 100);
  EXPECT_EQ(h, 50);
  EXPECT_EQ(CreateSubGraph(100, 0, 10, 10, g), -1);
  EXPECT_EQ(CreateSubGraph(0, 50, 10, 10, g), -1);
  EXPECT_EQ(CreateSubGraph(-1, 0, 10, 10, g), -1);
  EXPECT_EQ(CreateSubGraph(0, 0, 0, 10, g), -1);
  EXPECT_EQ(CreateSubGraph(0, 0, 10, -5, g), -1);

  const int part = CreateSubGraph(10, 20, 30, 10, g);
  ASSERT_GE(part, 0);
  EXPECT_EQ(GetGraphRecord(part)->SourceX, 10);
  FillGraphWithColor(g, 255, 0, 0, 255);
  EXPECT_EQ(PixelAt(GraphImage(part), 0, 0), 0xF800u);
  // The source goes; the sub-graph keeps the pixels alive.
  FreeGraphHandle(g, 0);
  EXPECT_EQ(PixelAt(GraphImage(part), 29, 9), 0xF800u);
  FreeGraphHandle(part, 0);
  FreeGraphHandle(whole, 0);
}

int g_restoreCalls = 0;
void CountRestore() { ++g_restoreCalls; }

TEST_F(GraphFileTest, LostGraphsReloadFromTheirFilesAndOthersStayLost) {
  WriteBmp("tiles.bmp", 16, 8, [](int x, int) { return x < 8 ? 0xFFFFFFu : 0x0000FFu; });
  const int g = LoadFileAsGraph("tiles.bmp", 1, 0);
  const int sub = CreateSubGraph(8, 0, 8, 8, g);
  const int blank = CreateGraphOfSize(4, 4, 0, 0, 0);
  ASSERT_GE(sub, 0);
  FillGraphWithColor(g, 0, 255, 0, 255);
  FillGraphWithColor(blank, 0, 255, 0, 255);
  // The callback runs from elsewhere in the directory tree.
  std::filesystem::current_path(std::filesystem::temp_directory_path());
  SetGraphRestoreCallback(nullptr);
  EXPECT_EQ(HasGraphRestoreCallback(), 1);
  SetAllGraphsLost();
  EXPECT_EQ(PixelAt(GraphImage(g), 0, 0), 0xFFFFu);
  EXPECT_EQ(PixelAt(GraphImage(sub), 0, 0), 0x001Fu);
  EXPECT_EQ(GetGraphRecord(g)->Lost, 0);
  EXPECT_EQ(GetGraphRecord(blank)->Lost, 1);
  EXPECT_EQ(std::filesystem::current_path(), std::filesystem::temp_directory_path());

  SetGraphRestoreCallback(CountRestore);
  SetAllGraphsLost();
  EXPECT_EQ(g_restoreCalls, 1);
}

TEST_F(GraphFileTest, AfterTheDeviceIsRebuiltTheTargetStaysAndFileGraphsComeBack) {
  WriteBmp("pic.bmp", 8, 4, [](int, int) { return 0xFF0000u; });
  const int pic = LoadFileAsGraph("pic.bmp", 1, 0);
  SetNewGraphDrawValid(1);
  const int canvas = CreateGraphOfSize(32, 32, 0, 0, 0);
  SetNewGraphDrawValid(0);
  ASSERT_GE(pic, 0);
  FillGraphWithColor(pic, 0, 0, 255, 255);
  ASSERT_EQ(SetDrawTargetImpl(canvas), 0);
  SetDrawClipRect(2, 2, 20, 20);
  FillRectangle(0, 0, 32, 32, MakeColorImpl(255, 255, 255));
  SetGraphRestoreCallback(nullptr);

  EXPECT_EQ(ReapplyGraphicsSettings(), 0);
  EXPECT_EQ(GetDrawTarget(), canvas);
  EXPECT_EQ(GetDrawTargetImage(), GraphImage(canvas));
  EXPECT_EQ(GraphicsState.ClipRect.Right, 20);
  EXPECT_TRUE(IsValidMemImg(&DirectDrawState.BackImage));
  EXPECT_EQ(PixelAt(GraphImage(canvas), 5, 5), 0u);  // the target was cleared
  EXPECT_EQ(PixelAt(GraphImage(pic), 0, 0), 0xF800u);
  EXPECT_EQ(GetGraphRecord(pic)->Lost, 0);
  EXPECT_EQ(GetGraphRecord(canvas)->Lost, 1);  // no file: keeps its flag
}

TEST_F(GraphFileTest, AFedPictureFillsTheGraphAndKeepsItsFileForTheReload) {
  WriteBmp("tiles.bmp", 8, 4, [](int, int) { return 0x0000FFu; });
  const int g = LoadFileAsGraph("tiles.bmp", 1, 0);
  ASSERT_GE(g, 0);
  PixelImage frame{};
  ASSERT_EQ(MakeXRGB8PixelImageImpl(8, 4, &frame), 0);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x)
      reinterpret_cast<uint32_t*>(frame.Pixels + size_t(y) * frame.Pitch)[x] = x < 4 ? 0xFF0000u : 0x00FF00u;
  GraphRecord* r = GetGraphRecord(g);
  EXPECT_EQ(ReloadGraphPixels(r, &frame), 0);
  EXPECT_EQ(PixelAt(GraphImage(g), 0, 0), 0xF800u);
  EXPECT_EQ(PixelAt(GraphImage(g), 7, 3), 0x07E0u);
  EXPECT_STREQ(r->FileName, "tiles.bmp");
  EXPECT_EQ(ReloadGraphPixels(r, nullptr), -1);
  EXPECT_EQ(ReloadGraphPixels(nullptr, &frame), -1);
  ReleasePixelImageImpl(&frame);
  // A lost graph still comes back from its file.
  SetGraphRestoreCallback(nullptr);
  SetAllGraphsLost();
  EXPECT_EQ(PixelAt(GraphImage(g), 0, 0), 0x001Fu);
}

TEST_F(Graphics16Test, AnOverLongNameMakesAGraphThatCannotBeReloaded) {
  const int g = CreateGraphOfSize(4, 4, 0, 0, 0);
  const std::string name(200, 'n');
  ASSERT_EQ(SetGraphSourceFile(g, name.c_str(), -1), 0);
  EXPECT_EQ(GetGraphRecord(g)->FileName[0], '\0');
  EXPECT_EQ(GetGraphRecord(g)->SourceTooLong, 1);
  ASSERT_EQ(SetGraphSourceFile(g, "short.bmp", -1), 0);
  EXPECT_STREQ(GetGraphRecord(g)->FileName, "short.bmp");
  const int other = CreateGraphOfSize(4, 4, 0, 0, 0);
  EXPECT_EQ(SetGraphSourceFile(other, nullptr, g), 0);
  EXPECT_STREQ(GetGraphRecord(other)->FileName, "short.bmp");
  EXPECT_EQ(SetGraphSourceFile(other, nullptr, 0x0800FFFF), -1);
}

}  // namespace
