// The BMP decoder: every bit count, both row orders, both run-length
// encodings with their escapes, the kinds converted through a DIB section,
// and damaged headers.
#include <gtest/gtest.h>

#include "image/dib.h"
#include "image_test_util.h"

namespace {

using imgtest::Bytes;
using imgtest::Decoded;
using imgtest::MakeBmp;
using imgtest::MakeColorTable;
using imgtest::Pixel;

void DecodeBmp(const Bytes& f, Decoded* d) { d->Result = imgtest::DecodeWith(LoadBmpImage, f, &d->Img); }

TEST(Bmp, TwentyFourBitBottomUpAndTopDown) {
  // 3 x 2: file rows are bottom first; each row 9 bytes + 3 padding.
  Bytes data;
  for (int row = 0; row < 2; row++) {
    for (int x = 0; x < 3; x++) {
      data.push_back(uint8_t(10 * row + x));
      data.push_back(0x20);
      data.push_back(0x30);
    }
    data.insert(data.end(), 3, 0);
  }
  Decoded up;
  DecodeBmp(MakeBmp(3, 2, 24, 0, {}, data), &up);
  ASSERT_EQ(up.Result, 0);
  EXPECT_EQ(up.Img.Pitch, 12);
  EXPECT_EQ(up.Img.Format.BitDepth, 24);
  EXPECT_EQ(Pixel(up.Img, 0, 0)[0], 10);  // the file's second row comes first
  EXPECT_EQ(Pixel(up.Img, 2, 1)[0], 2);
  Decoded down;
  DecodeBmp(MakeBmp(3, -2, 24, 0, {}, data), &down);
  ASSERT_EQ(down.Result, 0);
  EXPECT_EQ(down.Img.Height, 2);
  EXPECT_EQ(Pixel(down.Img, 0, 0)[0], 0);
}

TEST(Bmp, EightBitPaletteAndUsedColourCount) {
  Bytes data{1, 2, 3, 0, 4, 5, 6, 0};  // 3 x 2
  Decoded d;
  DecodeBmp(MakeBmp(3, -2, 8, 0, MakeColorTable(256), data), &d);
  ASSERT_EQ(d.Result, 0);
  EXPECT_EQ(d.Img.Format.BytesPerPixel, 1);
  EXPECT_EQ(d.Img.Pitch, 4);
  EXPECT_EQ(Pixel(d.Img, 2, 1)[0], 6);
  EXPECT_EQ(d.Img.Format.Palette[5].Red, 15);
  EXPECT_EQ(d.Img.Format.Palette[5].Reserved, 0);
  // A short table: only the used colours are read, the rest are black, and
  // the pixel data starts right behind the short table.
  Decoded s;
  DecodeBmp(MakeBmp(3, 2, 8, 0, MakeColorTable(8), data, 8), &s);
  ASSERT_EQ(s.Result, 0);
  EXPECT_EQ(s.Img.Format.Palette[7].Green, 14);
  EXPECT_EQ(s.Img.Format.Palette[8].Green, 0);
  EXPECT_EQ(Pixel(s.Img, 0, 0)[0], 4);
}

TEST(Bmp, FourBitExpandsNibbles) {
  // Width 5: file rows of 3 bytes padded to 4.
  Bytes data{0x01, 0x23, 0x40, 0, 0xFE, 0xDC, 0xB0, 0};
  Decoded d;
  DecodeBmp(MakeBmp(5, 2, 4, 0, MakeColorTable(16), data), &d);
  ASSERT_EQ(d.Result, 0);
  EXPECT_EQ(d.Img.Pitch, 8);
  const uint8_t* top = Pixel(d.Img, 0, 0);
  EXPECT_EQ(Bytes(top, top + 5), (Bytes{15, 14, 13, 12, 11}));
  const uint8_t* bottom = Pixel(d.Img, 0, 1);
  EXPECT_EQ(Bytes(bottom, bottom + 5), (Bytes{0, 1, 2, 3, 4}));
  EXPECT_EQ(d.Img.Format.Palette[15].Red, 45);
  EXPECT_EQ(d.Img.Format.Palette[16].Red, 0);
}

TEST(Bmp, OneBitThroughTheSection) {
  Bytes table{0, 0, 0, 0, 0xFF, 0x80, 0x40, 0};
  Bytes data{0xA0, 0, 0, 0};  // 3 x 1: pixels 1, 0, 1
  Decoded d;
  DecodeBmp(MakeBmp(3, 1, 1, 0, table, data), &d);
  ASSERT_EQ(d.Result, 0);
  EXPECT_EQ(d.Img.Format.BitDepth, 24);
  EXPECT_EQ(Bytes(Pixel(d.Img, 0, 0), Pixel(d.Img, 0, 0) + 9),
            (Bytes{0xFF, 0x80, 0x40, 0, 0, 0, 0xFF, 0x80, 0x40}));
}

TEST(Bmp, SixteenAndThirtyTwoBitBecomeTwentyFour) {
  // 16-bit without masks is 5-5-5; with bit fields 5-6-5.
  Bytes d555{0xFF, 0x7F, 0x10, 0x00};  // white, blue 16
  Decoded a;
  DecodeBmp(MakeBmp(2, 1, 16, 0, {}, d555), &a);
  ASSERT_EQ(a.Result, 0);
  EXPECT_EQ(Bytes(Pixel(a.Img, 0, 0), Pixel(a.Img, 0, 0) + 6), (Bytes{255, 255, 255, 132, 0, 0}));
  Bytes masks(12);
  imgtest::Put32(masks, 0, 0xF800);
  imgtest::Put32(masks, 4, 0x7E0);
  imgtest::Put32(masks, 8, 0x1F);
  Bytes d565{0xE0, 0x07, 0x00, 0xF8};  // green 63, red 31
  Decoded b;
  DecodeBmp(MakeBmp(2, 1, 16, 3, masks, d565), &b);
  ASSERT_EQ(b.Result, 0);
  EXPECT_EQ(Bytes(Pixel(b.Img, 0, 0), Pixel(b.Img, 0, 0) + 6), (Bytes{0, 255, 0, 0, 0, 255}));
  Bytes d32{1, 2, 3, 0x80, 4, 5, 6, 0xFF};
  Decoded c;
  DecodeBmp(MakeBmp(2, 1, 32, 0, {}, d32), &c);
  ASSERT_EQ(c.Result, 0);
  EXPECT_EQ(c.Img.Format.AlphaWidth, 0);
  EXPECT_EQ(Bytes(Pixel(c.Img, 0, 0), Pixel(c.Img, 0, 0) + 6), (Bytes{1, 2, 3, 4, 5, 6}));
}

TEST(Bmp, RunLengthEightWithDeltas) {
  // 4 x 3 bottom-up: row 0 (bottom) run of 3 x 7; end of line; delta (1, 1)
  // from (0, 1) to (1, 2); literal 9 8 7 (padded); end of bitmap.
  Bytes data{3, 7, 0, 0, 0, 2, 1, 1, 0, 3, 9, 8, 7, 0, 0, 1};
  Decoded d;
  DecodeBmp(MakeBmp(4, 3, 8, 1, MakeColorTable(256), data), &d);
  ASSERT_EQ(d.Result, 0);
  EXPECT_EQ(d.Img.Pitch, 4);
  const uint8_t* bottom = Pixel(d.Img, 0, 2);
  EXPECT_EQ(Bytes(bottom, bottom + 4), (Bytes{7, 7, 7, 0}));
  const uint8_t* middle = Pixel(d.Img, 0, 1);
  EXPECT_EQ(Bytes(middle, middle + 4), (Bytes{0, 0, 0, 0}));
  const uint8_t* top = Pixel(d.Img, 0, 0);
  EXPECT_EQ(Bytes(top, top + 4), (Bytes{0, 9, 8, 7}));
}

TEST(Bmp, RunLengthFourAlternatesNibbles) {
  // 5 x 1 top-down: run of 3 of 0x12 (1 2 1); literal of 3 nibbles A B C,
  // cut at the row's end.
  Bytes data{3, 0x12, 0, 3, 0xAB, 0xC0, 0, 1};
  Decoded d;
  DecodeBmp(MakeBmp(5, -1, 4, 2, MakeColorTable(16), data), &d);
  ASSERT_EQ(d.Result, 0);
  EXPECT_EQ(d.Img.Pitch, 8);
  const uint8_t* p = Pixel(d.Img, 0, 0);
  EXPECT_EQ(Bytes(p, p + 5), (Bytes{1, 2, 1, 10, 11}));
}

TEST(Bmp, RunLengthNeverLeavesTheImage) {
  // Runs past the row end, deltas past the bottom, a literal that runs past
  // the data's end, and no end-of-bitmap escape.
  Bytes data{255, 1, 0, 2, 255, 255, 200, 2, 0, 2, 0, 1, 0, 200, 5};
  Decoded d;
  DecodeBmp(MakeBmp(3, 2, 8, 1, MakeColorTable(256), data), &d);
  ASSERT_EQ(d.Result, 0);
  EXPECT_EQ(Pixel(d.Img, 2, 1)[0], 1);
  Decoded e;
  DecodeBmp(MakeBmp(3, 2, 4, 2, MakeColorTable(16), Bytes{0, 9, 0x12}), &e);
  EXPECT_EQ(e.Result, 0);
}

TEST(Bmp, RefusesWhatItCannotTrust) {
  int before = imgtest::LiveBlocks();
  Bytes good = MakeBmp(2, 2, 24, 0, {}, Bytes(16, 1));
  auto refused = [&](Bytes f) {
    Decoded d;
    DecodeBmp(f, &d);
    return d.Result != 0 && d.Img.Pixels == nullptr;
  };
  Bytes f = good;
  f[0] = 'M';
  f[1] = 'B';
  EXPECT_TRUE(refused(f));
  EXPECT_TRUE(refused(Bytes(good.begin(), good.begin() + 40)));
  EXPECT_TRUE(refused(Bytes(good.begin(), good.end() - 1)));  // too little pixel data
  f = good;
  imgtest::Put32(f, 14, 12);  // header size too small
  EXPECT_TRUE(refused(f));
  f = good;
  imgtest::Put32(f, 14, 4000);  // header size past the file
  EXPECT_TRUE(refused(f));
  f = good;
  imgtest::Put32(f, 18, 0x7FFFFFFF);
  EXPECT_TRUE(refused(f));
  f = good;
  imgtest::Put32(f, 22, 0x80000000u);
  EXPECT_TRUE(refused(f));
  f = good;
  imgtest::Put16(f, 28, 7);
  EXPECT_TRUE(refused(f));
  f = good;
  imgtest::Put32(f, 30, 1);  // 8-bit run-length on a 24-bit bitmap
  EXPECT_TRUE(refused(f));
  f = good;
  imgtest::Put32(f, 10, 0xFFFFFFF0u);  // data offset past the end
  EXPECT_TRUE(refused(f));
  // A 65536 x 65536 run-length bitmap: a size cap, not a 256 MB allocation.
  EXPECT_TRUE(refused(MakeBmp(65536, 65536, 8, 1, MakeColorTable(256), Bytes{0, 1})));
  EXPECT_EQ(imgtest::LiveBlocks(), before);
}

TEST(Bmp, SectionFailureIsLoggedAndCleanedUp) {
  int before = imgtest::LiveBlocks();
  DibFailNextCreates(1);
  Decoded d;
  DecodeBmp(MakeBmp(2, 1, 16, 0, {}, Bytes{0, 0, 0, 0}), &d);
  EXPECT_EQ(d.Result, -1);
  EXPECT_EQ(imgtest::LiveBlocks(), before);
}

TEST(Dib, ChannelExpansionIsFixed) {
  for (uint32_t v = 0; v < 32; v++) EXPECT_EQ(DibExpandChannel(v, 5), (v << 3) | (v >> 2));
  for (uint32_t v = 0; v < 64; v++) EXPECT_EQ(DibExpandChannel(v, 6), (v << 2) | (v >> 4));
  EXPECT_EQ(DibExpandChannel(1, 1), 255);
  EXPECT_EQ(DibExpandChannel(5, 3), 0xB6);
  EXPECT_EQ(DibExpandChannel(0x3FF, 10), 255);
  EXPECT_EQ(DibExpandChannel(7, 0), 0);
}

TEST(Dib, TransferChecksItsInput) {
  DibSection* s = CreateDibSection24(2, 2);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->Pitch, 8);
  BITMAPINFOHEADER h{};
  h.Size = 40;
  h.Width = 2;
  h.Height = 2;
  h.BitCount = 32;
  uint8_t bits[16] = {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0, 10, 11, 12, 0};
  EXPECT_EQ(SetDibBitsToSection(s, &h, nullptr, 0, nullptr, bits, 15), -1);  // short
  EXPECT_EQ(SetDibBitsToSection(s, &h, nullptr, 0, nullptr, bits, 16), 0);
  EXPECT_EQ(s->Bits[0], 7);  // bottom-up: the last file row on top
  EXPECT_EQ(s->Bits[8], 1);
  h.Compression = DIB_COMPRESSION_RLE8;
  EXPECT_EQ(SetDibBitsToSection(s, &h, nullptr, 0, nullptr, bits, 16), -1);
  h.Compression = 0;
  h.Width = 3;
  EXPECT_EQ(SetDibBitsToSection(s, &h, nullptr, 0, nullptr, bits, 16), -1);
  DeleteDibSection(s);
  EXPECT_EQ(CreateDibSection24(0, 5), nullptr);
  EXPECT_EQ(CreateDibSection24(1 << 20, 1 << 20), nullptr);
}

}  // namespace
