// Image decoding: the decoder table, the loader over memory and files,
// mirroring, DIB hand-out, and the "_a" alpha companion.
#include "image/imagedecode.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/alloc.h"
#include "image/dib.h"
#include "image_test_util.h"

namespace {

using imgtest::Bytes;

Bytes Bmp24(int w, int h) {
  int stride = (w * 3 + 3) / 4 * 4;
  Bytes data(size_t(stride) * h, 0);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++)
      for (int c = 0; c < 3; c++) data[size_t(y) * stride + x * 3 + c] = uint8_t(16 * x + 4 * y + c);
  return imgtest::MakeBmp(w, -h, 24, 0, {}, data);
}

void WriteFile(const std::filesystem::path& p, const Bytes& b) {
  std::ofstream(p, std::ios::binary)
      .write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

TEST(ImageDecode, UnknownDataIsRefusedByEveryDecoder) {
  int before = imgtest::LiveBlocks();
  PixelImage img;
  Bytes junk(300);
  for (size_t i = 0; i < junk.size(); i++) junk[i] = uint8_t(i * 37);
  EXPECT_EQ(imgtest::DecodeMemory(junk, &img), -1);
  EXPECT_EQ(imgtest::DecodeMemory(Bytes{}, &img), -1);
  EXPECT_EQ(imgtest::LiveBlocks(), before);
  // The table holds six decoders in order and ends with null.
  EXPECT_EQ(ImageLoaderTable[0], &LoadBmpImage);
  EXPECT_EQ(ImageLoaderTable[2], &LoadPngImage);
  EXPECT_EQ(ImageLoaderTable[6], nullptr);
}

TEST(ImageDecode, PngAndBmpThroughTheTable) {
  PixelImage img;
  ASSERT_EQ(imgtest::DecodeMemory(imgtest::MakeRgbaPng(3, 2), &img), 0);
  EXPECT_EQ(img.Format.BitDepth, 32);
  ReleasePixelImageImpl(&img);
  ASSERT_EQ(imgtest::DecodeMemory(Bmp24(3, 2), &img), 0);
  EXPECT_EQ(img.Format.BitDepth, 24);
  ReleasePixelImageImpl(&img);
}

TEST(ImageDecode, LoaderFromMemoryWithMirror) {
  int before = imgtest::LiveBlocks();
  Bytes f = Bmp24(3, 1);
  PixelImage img{};
  ASSERT_EQ(LoadImageToPixelImage(nullptr, f.data(), uint32_t(f.size()), 1, 0, 1, &img, nullptr, nullptr), 0);
  EXPECT_EQ(Bytes(img.Pixels, img.Pixels + 9), (Bytes{32, 33, 34, 16, 17, 18, 0, 1, 2}));
  ReleasePixelImageImpl(&img);
  EXPECT_EQ(LoadImageToPixelImage(nullptr, f.data(), 10, 1, 0, 0, &img, nullptr, nullptr), -1);
  EXPECT_EQ(imgtest::LiveBlocks(), before);
}

TEST(ImageDecode, LoaderHandsOutDibBits) {
  int before = imgtest::LiveBlocks();
  Bytes f = Bmp24(4, 2);
  BITMAPINFO* header = nullptr;
  void* bits = nullptr;
  ASSERT_EQ(LoadImageToPixelImage(nullptr, f.data(), uint32_t(f.size()), 1, 1, 0, nullptr, &header, &bits),
            0);
  EXPECT_EQ(header->Header.Size, 40u);
  EXPECT_EQ(header->Header.Height, -2);
  EXPECT_EQ(header->Header.BitCount, 24);
  EXPECT_EQ(static_cast<uint8_t*>(bits)[12], 4);
  TrackedFree(bits);
  TrackedFree(header);
  EXPECT_EQ(imgtest::LiveBlocks(), before);
}

TEST(ImageDecode, PixelImageToDibBits) {
  BITMAPINFO info;
  void* bits = nullptr;
  PixelImage rgb{};
  ASSERT_EQ(MakeRGB24PixelImage(4, 2, &rgb), 0);
  EXPECT_EQ(PixelImageToDibBits(&rgb, &info, &bits, 0, 0), 0);
  EXPECT_EQ(bits, rgb.Pixels);
  EXPECT_EQ(PixelImageToDibBits(&rgb, &info, &bits, 1, 0), 1);
  EXPECT_NE(bits, rgb.Pixels);
  EXPECT_EQ(std::memcmp(bits, rgb.Pixels, 24), 0);
  TrackedFree(bits);
  ReleasePixelImageImpl(&rgb);

  PixelImage pal{};
  SetGrayPaletteColorFormat(&pal.Format);
  uint8_t px[16] = {1, 2, 3, 4, 5, 0, 0, 0, 6, 7, 8, 9, 10, 0, 0, 0};
  pal.Width = 5;
  pal.Height = 2;
  pal.Pitch = 8;
  pal.Pixels = px;
  EXPECT_EQ(PixelImageToDibBits(&pal, &info, &bits, 0, 0), 0);
  EXPECT_EQ(info.Header.BitCount, 8);
  EXPECT_EQ(info.Header.Height, -2);
  EXPECT_EQ(info.Colors[200].Red, 200);
  // Forced to 24 bits: converted through the palette.
  EXPECT_EQ(PixelImageToDibBits(&pal, &info, &bits, 0, 1), 1);
  EXPECT_EQ(info.Header.BitCount, 24);
  EXPECT_EQ(static_cast<uint8_t*>(bits)[16 + 0], 6);  // row size 16
  EXPECT_EQ(static_cast<uint8_t*>(bits)[16 + 3], 7);
  TrackedFree(bits);

  PixelImage x{};
  ASSERT_EQ(MakeXRGB8PixelImageImpl(2, 1, &x), 0);
  FillPixelImage(&x, 1, 2, 3, 0);
  EXPECT_EQ(PixelImageToDibBits(&x, &info, &bits, 0, 0), 1);
  EXPECT_EQ(Bytes(static_cast<uint8_t*>(bits), static_cast<uint8_t*>(bits) + 6), (Bytes{3, 2, 1, 3, 2, 1}));
  TrackedFree(bits);
  ReleasePixelImageImpl(&x);
}

TEST(ImageDecode, CompanionNames) {
  auto name = [](const char* n) {
    char* c = MakeAlphaCompanionName(n);
    std::string s = c ? c : "(null)";
    TrackedFree(c);
    return s;
  };
  EXPECT_EQ(name("pic.bmp"), "pic_a.bmp");
  EXPECT_EQ(name("data.dir/pic"), "data_a.dir/pic");
  EXPECT_EQ(name("graphic\\title"), "graphic\\title_a");
  std::string longName(1000, 'x');
  EXPECT_EQ(name((longName + ".png").c_str()), longName + "_a.png");
}

TEST(ImageDecode, AlphaCompanionFiles) {
  int before = imgtest::LiveBlocks();
  auto dir = std::filesystem::temp_directory_path() / ("vx_alpha_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  WriteFile(dir / "title.png", imgtest::MakeRgbaPng(4, 3));
  WriteFile(dir / "title_a.png", imgtest::MakeRgbaPng(4, 3));
  WriteFile(dir / "solo.bmp", Bmp24(2, 2));
  PixelImage img{}, alpha{};
  std::string title = (dir / "title.png").string();
  EXPECT_EQ(LoadImageWithAlphaFile(title.c_str(), nullptr, 0, 0, nullptr, 0, 0, &img, &alpha, 0), 0);
  EXPECT_NE(alpha.Pixels, nullptr);
  EXPECT_EQ(alpha.Width, 4);
  ReleasePixelImageImpl(&img);
  ReleasePixelImageImpl(&alpha);
  std::string solo = (dir / "solo.bmp").string();
  EXPECT_EQ(LoadImageWithAlphaFile(solo.c_str(), nullptr, 0, 0, nullptr, 0, 0, &img, &alpha, 0), 1);
  EXPECT_NE(img.Pixels, nullptr);
  EXPECT_EQ(alpha.Pixels, nullptr);
  ReleasePixelImageImpl(&img);
  EXPECT_EQ(LoadImageWithAlphaFile(solo.c_str(), nullptr, 0, 0, nullptr, 0, 1, &img, &alpha, 0), 1);
  ReleasePixelImageImpl(&img);
  std::string missing = (dir / "missing.bmp").string();
  EXPECT_EQ(LoadImageWithAlphaFile(missing.c_str(), nullptr, 0, 0, nullptr, 0, 0, &img, &alpha, 0), -1);
  // Both from memory.
  Bytes a = Bmp24(2, 2), b = imgtest::MakeRgbaPng(2, 2);
  EXPECT_EQ(LoadImageWithAlphaFile(nullptr, a.data(), uint32_t(a.size()), 1, b.data(), uint32_t(b.size()), 1,
                                   &img, &alpha, 0),
            0);
  ReleasePixelImageImpl(&img);
  ReleasePixelImageImpl(&alpha);
  std::filesystem::remove_all(dir);
  EXPECT_EQ(imgtest::LiveBlocks(), before);
}

}  // namespace
