// The game's own pictures (assets/graphic, made by tools/assetgen.py) decode
// through the loader table.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "image/image_test_util.h"

namespace {

TEST(GameImages, EveryBmpAndPngDecodes) {
  const char* override = std::getenv("VX_TEST_IMAGE_DIR");
  std::filesystem::path dir = override ? override : VX_SOURCE_DIR "/assets/graphic";
  if (!std::filesystem::is_directory(dir)) GTEST_SKIP() << "no pictures in " << dir;
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    std::string ext = entry.path().extension().string();
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (ext != ".bmp" && ext != ".png") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    imgtest::Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    PixelImage img;
    ASSERT_EQ(imgtest::DecodeMemory(file, &img), 0) << entry.path();
    EXPECT_GT(img.Width, 0);
    EXPECT_GT(img.Height, 0);
    ReleasePixelImageImpl(&img);
    count++;
  }
  if (count == 0) GTEST_SKIP() << "no pictures in " << dir;
}

}  // namespace
