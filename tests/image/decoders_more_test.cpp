#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "core/alloc.h"
#include "image/decoder_io.h"
#include "image/dib.h"
#include "image_test_util.h"
#include "jpeg_test_util.h"
#include "peak_memory.h"

namespace {

using imgtest::Bytes;
using Decoder = int (*)(StreamData*, PixelImage*);
using imgtest::BgraFile;
using imgtest::DdsHeader;
using imgtest::FourCC;
using imgtest::TgaFile;
using jpegtest::MakeJpeg;

int Decode(Decoder decoder, const Bytes& data, PixelImage* out) {
  return imgtest::DecodeWith(decoder, data, out);
}

uint32_t Pixel32(const PixelImage& img, int x, int y) {
  uint32_t v;
  std::memcpy(&v, img.Pixels + y * img.Pitch + x * 4, 4);
  return v;
}

// Runs a decoder over seeded corruptions of a valid file: each must give -1
// or a sound image, and leave no block behind.
void Mutate(Decoder decoder, const Bytes& valid, int rounds, uint32_t seed) {
  std::mt19937 rng(seed);
  {
    PixelImage img;
    ASSERT_EQ(Decode(decoder, valid, &img), 0);
    ReleasePixelImageImpl(&img);
  }
  const int blocksBefore = imgtest::LiveBlocks();
  for (int i = 0; i < rounds; ++i) {
    Bytes m = valid;
    switch (rng() % 4) {
      case 0:  // bit flips
        for (int k = 0, n = 1 + int(rng() % 4); k < n; ++k) m[rng() % m.size()] ^= uint8_t(1u << (rng() % 8));
        break;
      case 1:  // truncation
        m.resize(rng() % m.size());
        break;
      case 2: {  // an extreme 16- or 32-bit field
        size_t at = rng() % m.size();
        uint8_t v = (rng() & 1) ? 0xFF : 0x00;
        for (size_t k = at; k < m.size() && k < at + 4; ++k) m[k] = v;
        break;
      }
      default:  // random bytes in a window
        for (size_t k = rng() % m.size(), n = 0; k < m.size() && n < 8; ++k, ++n) m[k] = uint8_t(rng());
        break;
    }
    if (m.empty()) m.push_back(0);
    PixelImage img;
    int r = Decode(decoder, m, &img);
    if (r == 0) {
      ASSERT_NE(img.Pixels, nullptr);
      ASSERT_GE(img.Pitch, img.Width * img.Format.BytesPerPixel);
      imgtest::ReadEveryByte(img);
      ReleasePixelImageImpl(&img);
    } else {
      ASSERT_EQ(img.Pixels, nullptr);
    }
    ASSERT_EQ(imgtest::LiveBlocks(), blocksBefore) << "round " << i;
  }
}

TEST(BgraDecoder, EightAndSixteenBitChannelsGiveTheSamePixels) {
  PixelImage img;
  ASSERT_EQ(Decode(LoadBgraImage, BgraFile(0x08080808, 2, 1, {1, 2, 3, 4, 5, 6, 7, 8}), &img), 0);
  EXPECT_EQ(img.Pitch, 8);
  EXPECT_EQ(img.Format.BitDepth, 32);
  EXPECT_EQ(img.Format.AlphaMask, 0xFF000000u);
  EXPECT_EQ(Pixel32(img, 0, 0), 0x04030201u);
  EXPECT_EQ(Pixel32(img, 1, 0), 0x08070605u);
  ReleasePixelImageImpl(&img);

  Bytes wide;
  for (uint8_t v = 1; v <= 8; ++v) imgtest::PushLe16(wide, uint16_t(256 * v + 0x7F));
  ASSERT_EQ(Decode(LoadBgraImage, BgraFile(0x10101010, 2, 1, wide), &img), 0);
  EXPECT_EQ(Pixel32(img, 0, 0), 0x04030201u);
  EXPECT_EQ(Pixel32(img, 1, 0), 0x08070605u);
  ReleasePixelImageImpl(&img);
}

TEST(BgraDecoder, RefusesBadWordsShortDataAndHugeSizes) {
  PixelImage img;
  EXPECT_EQ(Decode(LoadBgraImage, BgraFile(0x10101008, 2, 1, Bytes(16)), &img), -1);
  EXPECT_EQ(Decode(LoadBgraImage, BgraFile(0x08080808, 2, 1, {1, 2, 3, 4, 5, 6, 7}), &img), -1);
  EXPECT_EQ(Decode(LoadBgraImage, BgraFile(0x08080808, 0x10000, 0x10000, Bytes(64)), &img), -1);
  EXPECT_EQ(Decode(LoadBgraImage, BgraFile(0x10101010, 0xFFFFFFFF, 0xFFFFFFFF, Bytes(64)), &img), -1);
  EXPECT_EQ(img.Pixels, nullptr);
}

TEST(BgraDecoder, MutatedFilesNeverCrash) {
  Bytes data(8 * 6 * 8);
  for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 7);
  Mutate(LoadBgraImage, BgraFile(0x10101010, 8, 6, data), 10000, 1);
}

TEST(TgaDecoder, OrientationDepthsAndRunLengthPackets) {
  PixelImage img;
  // 24-bit bottom-up 2x2: the rows come out swapped.
  Bytes rows = {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4};
  ASSERT_EQ(Decode(LoadTgaImage, TgaFile(2, 2, 2, 24, 0, rows), &img), 0);
  EXPECT_EQ(img.Pitch, 6);
  EXPECT_EQ(img.Pixels[0], 3);
  EXPECT_EQ(img.Pixels[6 + 3], 2);
  ReleasePixelImageImpl(&img);
  // Right to left and top-down.
  ASSERT_EQ(Decode(LoadTgaImage, TgaFile(2, 2, 2, 24, 0x30, rows), &img), 0);
  EXPECT_EQ(img.Pixels[0], 2);
  EXPECT_EQ(img.Pixels[3], 1);
  ReleasePixelImageImpl(&img);
  // 16-bit white: the top bit is unused, not alpha.
  ASSERT_EQ(Decode(LoadTgaImage, TgaFile(2, 1, 1, 16, 0x20, {0xFF, 0xFF}), &img), 0);
  EXPECT_EQ(img.Format.AlphaWidth, 0);
  EXPECT_EQ(img.Format.UnusedMask, 0x8000u);
  EXPECT_EQ(img.Format.RedMask, 0x7C00u);
  ReleasePixelImageImpl(&img);
  // 32-bit run-length, with and without the footer: 0x83 repeats, 0x03 copies.
  Bytes rle = {0x83, 1, 2, 3, 4, 0x03, 5, 5, 5, 5, 6, 6, 6, 6, 7, 7, 7, 7, 8, 8, 8, 8};
  for (bool footer : {false, true}) {
    ASSERT_EQ(Decode(LoadTgaImage, TgaFile(10, 4, 2, 32, 0x20, rle, 0, 0, 0, footer), &img), 0);
    EXPECT_EQ(Pixel32(img, 3, 0), 0x04030201u);
    EXPECT_EQ(Pixel32(img, 0, 1), 0x05050505u);
    EXPECT_EQ(Pixel32(img, 3, 1), 0x08080808u);
    EXPECT_EQ(img.Format.AlphaMask, 0xFF000000u);
    ReleasePixelImageImpl(&img);
  }
}

TEST(TgaDecoder, ColourMapsIdFieldsAndRefusals) {
  PixelImage img;
  // Colour-mapped 24-bit entries, 8-bit indices, with an image ID to skip.
  Bytes body = {10, 20, 30, 40, 50, 60, 1, 0};
  ASSERT_EQ(Decode(LoadTgaImage, TgaFile(1, 2, 1, 8, 0x20, body, 2, 24, 3), &img), 0);
  EXPECT_EQ(img.Pixels[0], 40);
  EXPECT_EQ(img.Pixels[3], 10);
  ReleasePixelImageImpl(&img);
  // A true-colour image carrying a colour map: the map is stepped over.
  Bytes tc = {9, 9, 9, 9, 9, 9, 1, 2, 3};
  ASSERT_EQ(Decode(LoadTgaImage, TgaFile(2, 1, 1, 24, 0x20, tc, 2, 24), &img), 0);
  EXPECT_EQ(img.Pixels[0], 1);
  ReleasePixelImageImpl(&img);

  EXPECT_EQ(Decode(LoadTgaImage, TgaFile(2, 8193, 1, 24, 0x20, Bytes(8193 * 3)), &img), -1);
  EXPECT_EQ(Decode(LoadTgaImage, TgaFile(2, 1, 1, 8, 0x20, {1}), &img), -1);
  EXPECT_EQ(Decode(LoadTgaImage, TgaFile(3, 1, 1, 8, 0x20, {1}), &img), -1);
  EXPECT_EQ(Decode(LoadTgaImage, TgaFile(1, 1, 1, 16, 0x20, {0, 0, 0}, 1, 24), &img), -1);  // 16-bit indices
  EXPECT_EQ(Decode(LoadTgaImage, TgaFile(10, 4, 1, 24, 0x20, {0x83, 1, 2}), &img), -1);     // RLE ends early
  Bytes origin = TgaFile(2, 1, 1, 24, 0x20, {1, 2, 3});
  origin[8] = 1;
  EXPECT_EQ(Decode(LoadTgaImage, origin, &img), -1);
  EXPECT_EQ(img.Pixels, nullptr);
}

TEST(TgaDecoder, MutatedFilesNeverCrash) {
  Bytes rle;
  for (int i = 0; i < 12; ++i) {
    rle.push_back(i % 2 ? 0x81 : 0x01);
    for (int k = 0; k < (i % 2 ? 3 : 6); ++k) rle.push_back(uint8_t(i * 11 + k));
  }
  Mutate(LoadTgaImage, TgaFile(10, 6, 4, 24, 0x00, rle, 0, 0, 0, true), 5000, 2);
  Mutate(
      LoadTgaImage,
      TgaFile(9, 4, 4, 8, 0x20,
              {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0xFF, 0x7F, 0x87, 1, 0x07, 0, 1, 2, 3, 0, 1, 2, 3}, 4, 16),
      5000, 3);
}

TEST(DdsDecoder, DxtBlocksMatchTheirWorkedValues) {
  PixelImage img;
  Bytes f = DdsHeader(0, 4, 4, 0, 4, FourCC("DXT1"));
  Bytes block = {0xFF, 0xFF, 0, 0, 0xAA, 0xAA, 0xAA, 0xAA};  // c0 white, c1 black, all index 2
  f.insert(f.end(), block.begin(), block.end());
  ASSERT_EQ(Decode(LoadDdsImage, f, &img), 0);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(Pixel32(img, i % 4, i / 4), 0xFFAAAAAAu);
  ReleasePixelImageImpl(&img);

  f = DdsHeader(0, 4, 4, 0, 4, FourCC("DXT1"));
  block = {0x1F, 0, 0x1F, 0, 0xFF, 0xFF, 0xFF, 0xFF};  // c0 == c1 blue, index 3: transparent
  f.insert(f.end(), block.begin(), block.end());
  ASSERT_EQ(Decode(LoadDdsImage, f, &img), 0);
  EXPECT_EQ(Pixel32(img, 2, 2), 0x000000FFu);
  ReleasePixelImageImpl(&img);

  f = DdsHeader(0, 4, 4, 0, 4, FourCC("DXT5"));
  block = {255, 0, 0x92, 0x24, 0x49, 0x92, 0x24, 0x49, 0, 0, 0, 0, 0, 0, 0, 0};  // alpha index 2 everywhere
  f.insert(f.end(), block.begin(), block.end());
  ASSERT_EQ(Decode(LoadDdsImage, f, &img), 0);
  EXPECT_EQ(Pixel32(img, 1, 3) >> 24, 218u);
  ReleasePixelImageImpl(&img);

  f = DdsHeader(0, 4, 4, 0, 4, FourCC("DXT3"));
  block = Bytes(8, 0xFF);
  block.insert(block.end(), {0xFF, 0xFF, 0, 0, 0, 0, 0, 0});
  f.insert(f.end(), block.begin(), block.end());
  ASSERT_EQ(Decode(LoadDdsImage, f, &img), 0);
  EXPECT_EQ(Pixel32(img, 0, 0), 0xFFFFFFFFu);
  ReleasePixelImageImpl(&img);

  // Premultiplied with alpha 0: black, no division by zero.
  f = DdsHeader(0, 4, 4, 0, 4, FourCC("DXT2"));
  block = Bytes(8, 0);
  block.insert(block.end(), {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0});
  f.insert(f.end(), block.begin(), block.end());
  ASSERT_EQ(Decode(LoadDdsImage, f, &img), 0);
  EXPECT_EQ(Pixel32(img, 0, 0), 0u);
  ReleasePixelImageImpl(&img);
}

TEST(DdsDecoder, OddSizesDecodeWholeAndShortBlockDataIsRefused) {
  PixelImage img;
  Bytes f = DdsHeader(0, 6, 5, 0, 4, FourCC("DXT1"));
  for (int i = 0; i < 4; ++i) f.insert(f.end(), {0xFF, 0xFF, 0, 0, 0, 0, 0, 0});  // 2x2 blocks, all white
  ASSERT_EQ(Decode(LoadDdsImage, f, &img), 0);
  EXPECT_EQ(img.Width, 6);
  EXPECT_EQ(Pixel32(img, 5, 4), 0xFFFFFFFFu);
  ReleasePixelImageImpl(&img);
  f.resize(f.size() - 1);
  EXPECT_EQ(Decode(LoadDdsImage, f, &img), -1);
  Bytes bad = DdsHeader(0, 4, 4, 0, 4, FourCC("DXT1"));
  bad[3] = 'X';
  EXPECT_EQ(Decode(LoadDdsImage, bad, &img), -1);
}

TEST(DdsDecoder, UncompressedMasksCodesAndHeaderChecks) {
  PixelImage img;
  // Format code 23 is plain 5-6-5.
  Bytes f = DdsHeader(0, 2, 1, 0, 4, 23);
  f.insert(f.end(), {0x00, 0xF8, 0x1F, 0x00});
  ASSERT_EQ(Decode(LoadDdsImage, f, &img), 0);
  EXPECT_EQ(img.Format.GreenMask, 0x7E0u);
  EXPECT_EQ(img.Format.BlueMask, 0x1Fu);
  EXPECT_EQ(img.Pitch, 4);
  ReleasePixelImageImpl(&img);
  // Header masks with a pitch wider than the row.
  f = DdsHeader(8, 1, 2, 8, 0x41, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
  f.insert(f.end(), {1, 2, 3, 4, 0, 0, 0, 0, 5, 6, 7, 8, 0, 0, 0, 0});
  ASSERT_EQ(Decode(LoadDdsImage, f, &img), 0);
  EXPECT_EQ(img.Pitch, 8);
  EXPECT_EQ(Pixel32(img, 0, 1), 0x08070605u);
  ReleasePixelImageImpl(&img);
  // Pitch below the row, zero colour masks, odd depths.
  EXPECT_EQ(Decode(LoadDdsImage, DdsHeader(8, 4, 1, 4, 0x40, 0, 32, 0xFF0000, 0xFF00, 0xFF), &img), -1);
  EXPECT_EQ(Decode(LoadDdsImage, DdsHeader(0, 1, 1, 0, 0x40, 0, 32, 0, 0xFF00, 0xFF), &img), -1);
  EXPECT_EQ(Decode(LoadDdsImage, DdsHeader(0, 1, 1, 0, 0x40, 0, 12, 0xF00, 0xF0, 0xF), &img), -1);
  EXPECT_EQ(
      Decode(LoadDdsImage, DdsHeader(0, 0x7FFFFFF, 0x7FFFFFF, 0, 0x40, 0, 32, 0xFF0000, 0xFF00, 0xFF), &img),
      -1);
}

TEST(DdsDecoder, MutatedFilesNeverCrash) {
  Bytes f = DdsHeader(0, 8, 8, 0, 4, FourCC("DXT5"));
  for (int i = 0; i < 4 * 16; ++i) f.push_back(uint8_t(i * 37));
  Mutate(LoadDdsImage, f, 5000, 4);
  Bytes u = DdsHeader(8, 3, 3, 8, 0x41, 0, 16, 0xF00, 0xF0, 0xF, 0xF000);
  for (int i = 0; i < 24; ++i) u.push_back(uint8_t(i));
  Mutate(LoadDdsImage, u, 5000, 5);
}

// A file may declare an empty image; no decoder hands one out, neither alone
// nor through the decoder table.
TEST(Decoders, EmptyImagesAreRefusedQuickly) {
  PixelImage img;
  const std::vector<std::pair<Decoder, Bytes>> cases = {
      // Width 0 with the largest height: 2^31 empty rows.
      {LoadBgraImage, BgraFile(0x10101010, 0, 0x7FFFFFFF, {})},
      {LoadBgraImage, BgraFile(0x08080808, 0, 0x7FFFFFFF, {})},
      // Height 0 with a width whose 16-bit row buffer takes gigabytes.
      {LoadBgraImage, BgraFile(0x10101010, 0x1700001A, 0, {})},
      {LoadTgaImage, TgaFile(2, 0, 4, 24, 0x20, {})},
      {LoadTgaImage, TgaFile(10, 5, 0, 32, 0x20, {}, 0, 0, 0, true)},
      {LoadDdsImage, DdsHeader(0, 0, 4, 0, 0x40, 0, 32, 0xFF0000, 0xFF00, 0xFF)},
      {LoadDdsImage, DdsHeader(8, 4, 0, 16, 0x40, 0, 32, 0xFF0000, 0xFF00, 0xFF)},
      {LoadDdsImage, DdsHeader(0, 0, 0x7FFFFFFF, 0, 4, FourCC("DXT1"))},
      {LoadJpegImage, jpegtest::WithJpegSize(MakeJpeg(8, 8, 3), 0, 8)},
  };
  const int before = imgtest::LiveBlocks();
  for (size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(Decode(cases[i].first, cases[i].second, &img), -1) << "case " << i;
    EXPECT_EQ(img.Pixels, nullptr);
    EXPECT_EQ(Decode(DecodeImageStream, cases[i].second, &img), -1) << "case " << i;
    EXPECT_EQ(imgtest::LiveBlocks(), before);
  }
}

// Every decoder holds one side limit: a row of IMAGE_MAX_SIDE pixels is an
// image, one pixel more is refused with nothing left allocated. (TGA's own
// limit is lower; a JPEG header cannot name such a side.) The pixel-image
// makers and the DIB sections hold the same byte limit.
TEST(Decoders, OneSizeLimitForEveryImage) {
  const uint32_t side = uint32_t(IMAGE_MAX_SIDE);
  auto files = [](uint32_t w) {
    Bytes dds = DdsHeader(0, w, 1, 0, 0x40, 0, 32, 0xFF0000, 0xFF00, 0xFF);
    dds.resize(dds.size() + size_t(w) * 4);
    Bytes dxt = DdsHeader(0, w, 1, 0, 4, FourCC("DXT1"));
    dxt.resize(dxt.size() + size_t(w + 3) / 4 * 8);
    imgtest::PngLayout grey;
    grey.Width = int(w);
    grey.ColorType = PNG_COLOR_TYPE_GRAY;
    grey.Rows = {Bytes(w, 7)};
    return std::vector<std::pair<Decoder, Bytes>>{
        {LoadBgraImage, BgraFile(0x08080808, w, 1, Bytes(size_t(w) * 4))},
        {LoadDdsImage, dds},
        {LoadDdsImage, dxt},
        {LoadBmpImage, imgtest::MakeBmp(int(w), 1, 24, 0, {}, Bytes(size_t(w * 3 + 3) / 4 * 4))},
        {LoadPngImage, imgtest::MakePng(grey)},
    };
  };
  const int before = imgtest::LiveBlocks();
  for (uint32_t w : {side, side + 1}) {
    const auto cases = files(w);
    for (size_t i = 0; i < cases.size(); ++i) {
      PixelImage img;
      EXPECT_EQ(Decode(cases[i].first, cases[i].second, &img), w == side ? 0 : -1) << w << " case " << i;
      EXPECT_EQ(img.Width, w == side ? int(side) : 0) << "case " << i;
      ReleasePixelImageImpl(&img);
      EXPECT_EQ(imgtest::LiveBlocks(), before) << w << " case " << i;
    }
  }
  PixelImage img{};
  EXPECT_EQ(MakeXRGB8PixelImageImpl(int(side), int(IMAGE_MAX_BYTES / side / 4) + 1, &img), -1);
  EXPECT_EQ(img.Pixels, nullptr);
  EXPECT_EQ(CreateDibSection24(int(side), int(IMAGE_MAX_BYTES / side / 3) + 1), nullptr);
  EXPECT_EQ(imgtest::LiveBlocks(), before);
}

// A small progressive file may declare a huge image: it is refused from its
// header, before libjpeg builds whole-image buffers for it, and libjpeg's own
// memory stays under the decoders' cap even when the image itself fits it.
TEST(JpegDecoder, HugeDeclaredSizesAreRefusedBeforeLibjpegAllocates) {
  PixelImage img;
  const Bytes huge = jpegtest::WithJpegSize(MakeJpeg(8, 8, 3, true), 43953, 64256);
  ASSERT_LT(huge.size(), 1000u);
  // A grey 30000 x 30000 image fits the cap (900 MB), but its coefficients
  // (two bytes a sample) do not.
  const Bytes coefficients = jpegtest::WithJpegSize(MakeJpeg(8, 8, 1, true), 30000, 30000);
  const uint64_t peakBefore = PeakResidentBytes();
  EXPECT_EQ(Decode(LoadJpegImage, huge, &img), -1);
  EXPECT_EQ(Decode(LoadJpegImage, coefficients, &img), -1);
  EXPECT_EQ(img.Pixels, nullptr);
  EXPECT_LT(PeakResidentBytes(), peakBefore + (256u << 20));
  // The same files at their real size still decode.
  ASSERT_EQ(Decode(LoadJpegImage, MakeJpeg(8, 8, 1, true), &img), 0);
  EXPECT_EQ(img.Width, 8);
  ReleasePixelImageImpl(&img);
}

TEST(JpegDecoder, GreyAndColourImagesAndPitch) {
  PixelImage img;
  ASSERT_EQ(Decode(LoadJpegImage, MakeJpeg(7, 5, 3), &img), 0);
  EXPECT_EQ(img.Width, 7);
  EXPECT_EQ(img.Pitch, 21);
  EXPECT_EQ(img.Format.BitDepth, 24);
  EXPECT_NEAR(img.Pixels[0], 30, 4);   // blue first
  EXPECT_NEAR(img.Pixels[2], 200, 4);  // red last
  ReleasePixelImageImpl(&img);
  ASSERT_EQ(Decode(LoadJpegImage, MakeJpeg(9, 3, 1), &img), 0);
  EXPECT_EQ(img.Format.BitDepth, 8);
  EXPECT_EQ(img.Pitch, 9);
  EXPECT_NEAR(img.Pixels[1], 200, 4);
  ReleasePixelImageImpl(&img);
}

TEST(JpegDecoder, CutStreamsDecodeWholeEmptyAndForeignDataAreRefused) {
  PixelImage img;
  Bytes j = MakeJpeg(64, 64, 3);
  j.resize(j.size() * 2 / 3);
  ASSERT_EQ(Decode(LoadJpegImage, j, &img), 0);
  EXPECT_EQ(img.Height, 64);
  ReleasePixelImageImpl(&img);
  EXPECT_EQ(Decode(LoadJpegImage, Bytes{}, &img), -1);
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13};
  EXPECT_EQ(Decode(LoadJpegImage, png, &img), -1);
  EXPECT_EQ(img.Pixels, nullptr);
}

TEST(JpegDecoder, MutatedFilesNeverCrash) { Mutate(LoadJpegImage, MakeJpeg(16, 16, 3), 10000, 6); }

}  // namespace
