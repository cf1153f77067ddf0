// Seeded corruptions of valid BMP and PNG files (bit flips, byte changes,
// truncations, extreme length fields): each decodes to -1 with nothing left
// allocated, or to a sound image whose every byte can be read.
#include <gtest/gtest.h>

#include <zlib.h>

#include <random>

#include "image_test_util.h"

namespace {

using imgtest::Bytes;

Bytes Mutate(const Bytes& in, std::mt19937& rng) {
  Bytes f = in;
  switch (rng() % 5) {
    case 0:  // a few bit flips
      for (int i = 0, n = 1 + int(rng() % 4); i < n; i++) f[rng() % f.size()] ^= uint8_t(1u << (rng() % 8));
      break;
    case 1:  // a random byte
      f[rng() % f.size()] = uint8_t(rng());
      break;
    case 2:  // truncation
      f.resize(rng() % f.size());
      break;
    case 3: {  // an extreme 32-bit field at a random place
      static const uint32_t extremes[] = {0, 1, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu, 0xFFFF, 0x10000};
      size_t at = f.size() >= 4 ? rng() % (f.size() - 3) : 0;
      if (f.size() >= 4) imgtest::Put32(f, at, extremes[rng() % 7]);
      break;
    }
    default: {  // a header field of the first 64 bytes
      size_t at = rng() % std::min<size_t>(64, f.size());
      f[at] = uint8_t(rng() % 2 ? 0xFF : rng());
      break;
    }
  }
  return f;
}

uint32_t Be32(const Bytes& b, size_t at) {
  return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

// Rewrites the checksum of every whole chunk, so that a corruption reaches the
// chunk parsers and the inflater instead of stopping at the checksum test.
void FixPngChecksums(Bytes& f) {
  size_t at = 8;
  while (f.size() >= 12 && at <= f.size() - 12) {
    uint32_t length = Be32(f, at);
    if (length > f.size() - at - 12) break;
    uint32_t crc = uint32_t(crc32(0, f.data() + at + 4, uInt(length + 4)));
    for (int i = 0; i < 4; i++) f[at + 8 + length + i] = uint8_t(crc >> (24 - 8 * i));
    at += 12 + length;
  }
}

void RunMutations(const std::vector<Bytes>& seeds, int count, unsigned seed, bool fixChecksums = false) {
  std::mt19937 rng(seed);
  int before = imgtest::LiveBlocks();
  int decoded = 0;
  for (int i = 0; i < count; i++) {
    Bytes f = Mutate(seeds[size_t(i) % seeds.size()], rng);
    if (fixChecksums && i % 4 != 0) FixPngChecksums(f);
    PixelImage img;
    int r = imgtest::DecodeMemory(f, &img);
    if (r == 0) {
      ASSERT_NE(img.Pixels, nullptr);
      ASSERT_GT(img.Width, 0);
      ASSERT_GT(img.Height, 0);
      ASSERT_GE(img.Pitch, img.Width * img.Format.BytesPerPixel);
      imgtest::ReadEveryByte(img);
      decoded++;
      ReleasePixelImageImpl(&img);
    } else {
      ASSERT_EQ(imgtest::LiveBlocks(), before) << "mutation " << i;
    }
  }
  EXPECT_EQ(imgtest::LiveBlocks(), before);
  EXPECT_GT(decoded, 0);
}

std::vector<Bytes> BmpSeeds() {
  using imgtest::MakeBmp;
  using imgtest::MakeColorTable;
  Bytes masks(12);
  imgtest::Put32(masks, 0, 0xF800);
  imgtest::Put32(masks, 4, 0x7E0);
  imgtest::Put32(masks, 8, 0x1F);
  Bytes pix(64);
  for (size_t i = 0; i < pix.size(); i++) pix[i] = uint8_t(i * 7);
  return {
      MakeBmp(5, 3, 24, 0, {}, Bytes(48, 9)),
      MakeBmp(5, -3, 8, 0, MakeColorTable(256), Bytes(pix.begin(), pix.begin() + 24)),
      MakeBmp(7, 2, 4, 0, MakeColorTable(16), Bytes(pix.begin(), pix.begin() + 8)),
      MakeBmp(9, 2, 1, 0, MakeColorTable(2), Bytes(pix.begin(), pix.begin() + 8)),
      MakeBmp(3, 3, 16, 3, masks, Bytes(pix.begin(), pix.begin() + 24)),
      MakeBmp(3, 2, 32, 0, {}, Bytes(pix.begin(), pix.begin() + 24)),
      MakeBmp(6, 4, 8, 1, MakeColorTable(256), Bytes{3, 7, 0, 0, 0, 2, 1, 1, 0, 3, 9, 8, 7, 0, 2, 5, 0, 1}),
      MakeBmp(6, -4, 4, 2, MakeColorTable(16), Bytes{3, 0x12, 0, 0, 0, 2, 1, 1, 0, 4, 0xAB, 0xCD, 0, 1}),
  };
}

std::vector<Bytes> PngSeeds() {
  using imgtest::MakePng;
  using imgtest::PngLayout;
  std::vector<Bytes> seeds{imgtest::MakeRgbaPng(6, 5), imgtest::MakeRgbaPng(5, 4, true)};
  PngLayout pal;
  pal.Width = 7;
  pal.Height = 3;
  pal.BitDepth = 4;
  pal.ColorType = PNG_COLOR_TYPE_PALETTE;
  for (int i = 0; i < 16; i++) pal.Palette.push_back(png_color{uint8_t(i), uint8_t(i * 3), uint8_t(i * 5)});
  for (int y = 0; y < 3; y++) pal.Rows.push_back(Bytes{0x12, 0x34, 0x56, 0x70});
  seeds.push_back(MakePng(pal));
  pal.Trans = Bytes{0, 50, 100};
  seeds.push_back(MakePng(pal));
  PngLayout gray;
  gray.Width = 5;
  gray.Height = 3;
  gray.ColorType = PNG_COLOR_TYPE_GRAY_ALPHA;
  for (int y = 0; y < 3; y++) gray.Rows.push_back(Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  seeds.push_back(MakePng(gray));
  PngLayout rgb16;
  rgb16.Width = 3;
  rgb16.Height = 2;
  rgb16.BitDepth = 16;
  for (int y = 0; y < 2; y++) rgb16.Rows.push_back(Bytes(18, uint8_t(40 * y + 3)));
  seeds.push_back(MakePng(rgb16));
  return seeds;
}

TEST(Mutation, BmpFiles) { RunMutations(BmpSeeds(), 12000, 20261207); }

TEST(Mutation, PngFiles) { RunMutations(PngSeeds(), 12000, 7122026, true); }

}  // namespace
