// A graph loads from a file of every image format the decoder table reads.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "graph_fixture.h"
#include "image/image_test_util.h"
#include "image/jpeg_test_util.h"
#include "platform/file.h"
#include "vexlo.h"

namespace {

using imgtest::Bytes;

void Add16(Bytes& b, uint32_t v) { b.push_back(uint8_t(v)), b.push_back(uint8_t(v >> 8)); }
void Add32(Bytes& b, uint32_t v) { Add16(b, v & 0xFFFF), Add16(b, v >> 16); }

// A 4x2 image of one colour in each format; red 200, green 100, blue 30 where
// the format holds that exactly.
Bytes Bgra() {
  Bytes b = {'B', 'G', 'R', 'A'};
  Add32(b, 0x08080808), Add32(b, 4), Add32(b, 2);
  for (int i = 0; i < 8; ++i) b.insert(b.end(), {30, 100, 200, 255});
  return b;
}

Bytes Tga() {
  Bytes b = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 2, 0, 24, 0x20};
  for (int i = 0; i < 8; ++i) b.insert(b.end(), {30, 100, 200});
  return b;
}

Bytes Dds() {
  Bytes b = {'D', 'D', 'S', ' '};
  Bytes header(124, 0);
  auto set = [&](int at, uint32_t v) {
    for (int k = 0; k < 4; ++k) header[at + k] = uint8_t(v >> (8 * k));
  };
  set(0, 124), set(8, 2), set(12, 4), set(76, 0x40), set(84, 32), set(88, 0xFF0000), set(92, 0xFF00),
      set(96, 0xFF);
  b.insert(b.end(), header.begin(), header.end());
  for (int i = 0; i < 8; ++i) b.insert(b.end(), {30, 100, 200, 0});
  return b;
}

Bytes Bmp() {
  Bytes rows;
  for (int i = 0; i < 8; ++i) rows.insert(rows.end(), {30, 100, 200});
  return imgtest::MakeBmp(4, 2, 24, 0, {}, rows);
}

class GraphFormats : public graphtest::Graphics16Test {
 protected:
  std::string Write(const char* name, const Bytes& data) {
    std::string path = PlatGetTempDirectory() + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(data.data(), 1, data.size(), f);
    std::fclose(f);
    written_.push_back(path);
    return path;
  }
  void TearDown() override {
    for (const std::string& path : written_) std::remove(path.c_str());
    graphtest::Graphics16Test::TearDown();
  }
  std::vector<std::string> written_;
};

TEST_F(GraphFormats, EveryFormatLoadsIntoAGraph) {
  const uint32_t exact = uint32_t(MakeColor(200, 100, 30));
  struct Case {
    const char* name;
    Bytes data;
    bool exact;
  } cases[] = {
      {"vx_fmt.bmp", Bmp(), true},
      {"vx_fmt.png", imgtest::MakeRgbaPng(4, 2), false},
      {"vx_fmt.jpg", jpegtest::MakeJpeg(4, 2, 3), false},
      {"vx_fmt.bgra", Bgra(), false},  // an alpha image keeps its own layout
      {"vx_fmt.tga", Tga(), true},
      {"vx_fmt.dds", Dds(), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int graph = LoadFileAsGraph(Write(c.name, c.data).c_str(), 0, 0);
    ASSERT_NE(graph, -1);
    MEMIMG* image = graphtest::GraphImage(graph);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->Width, 4);
    EXPECT_EQ(image->Height, 2);
    if (c.exact) {
      EXPECT_EQ(graphtest::PixelAt(image, 3, 1), exact);
    }
  }
  EXPECT_EQ(LoadFileAsGraph(Write("vx_fmt.txt", {'n', 'o', 't'}).c_str(), 0, 0), GRAPH_FILE_NOT_IMAGE);
}

}  // namespace
