// The PNG decoder over files written here with libpng: every colour type and
// depth, palettes with and without transparency, interlacing, short streams.
#include <gtest/gtest.h>

#include "image_test_util.h"

namespace {

using imgtest::Bytes;
using imgtest::Decoded;
using imgtest::MakePng;
using imgtest::Pixel;
using imgtest::PngLayout;

void DecodePng(const Bytes& f, Decoded* d) { d->Result = imgtest::DecodeWith(LoadPngImage, f, &d->Img); }

PngLayout Gray(int w, int h, int depth) {
  PngLayout s;
  s.Width = w;
  s.Height = h;
  s.BitDepth = depth;
  s.ColorType = PNG_COLOR_TYPE_GRAY;
  return s;
}

TEST(Png, RgbAndRgbaComeOutAsBgr) {
  PngLayout s;
  s.Width = 2;
  s.Rows = {Bytes{10, 20, 30, 40, 50, 60}};
  Decoded d;
  DecodePng(MakePng(s), &d);
  ASSERT_EQ(d.Result, 0);
  EXPECT_EQ(d.Img.Format.BitDepth, 24);
  EXPECT_EQ(d.Img.Pitch, 6);
  EXPECT_EQ(Bytes(d.Img.Pixels, d.Img.Pixels + 6), (Bytes{30, 20, 10, 60, 50, 40}));

  s.ColorType = PNG_COLOR_TYPE_RGBA;
  s.Rows = {Bytes{10, 20, 30, 40, 50, 60, 70, 80}};
  Decoded a;
  DecodePng(MakePng(s), &a);
  ASSERT_EQ(a.Result, 0);
  EXPECT_EQ(a.Img.Format.BitDepth, 32);
  EXPECT_EQ(a.Img.Format.AlphaMask, 0xFF000000u);
  EXPECT_EQ(Bytes(a.Img.Pixels, a.Img.Pixels + 8), (Bytes{30, 20, 10, 40, 70, 60, 50, 80}));
  EXPECT_EQ(ReadPixelImageARGB(&a.Img, 1, 0), 0x50323C46u);
}

TEST(Png, SixteenBitIsStripped) {
  PngLayout s;
  s.Width = 1;
  s.BitDepth = 16;
  s.Rows = {Bytes{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC}};
  Decoded d;
  DecodePng(MakePng(s), &d);
  ASSERT_EQ(d.Result, 0);
  EXPECT_EQ(Bytes(d.Img.Pixels, d.Img.Pixels + 3), (Bytes{0x9A, 0x56, 0x12}));
  PngLayout g = Gray(2, 1, 16);
  g.Rows = {Bytes{0xAB, 0xCD, 0x01, 0x02}};
  Decoded e;
  DecodePng(MakePng(g), &e);
  ASSERT_EQ(e.Result, 0);
  EXPECT_EQ(e.Img.Format.BytesPerPixel, 1);
  EXPECT_EQ(e.Img.Format.Palette[0xAB].Green, 0xAB);  // grey ramp
  EXPECT_EQ(e.Img.Pixels[0], 0xAB);
  EXPECT_EQ(e.Img.Pixels[1], 0x01);
}

TEST(Png, GreyDepthsExpandToTheRamp) {
  PngLayout s = Gray(4, 1, 2);
  s.Rows = {Bytes{0x1B}};  // 0, 1, 2, 3
  Decoded d;
  DecodePng(MakePng(s), &d);
  ASSERT_EQ(d.Result, 0);
  EXPECT_EQ(Bytes(d.Img.Pixels, d.Img.Pixels + 4), (Bytes{0, 0x55, 0xAA, 0xFF}));
  EXPECT_EQ(d.Img.Format.Palette[0x55].Red, 0x55);
  PngLayout e = Gray(3, 1, 8);
  e.Rows = {Bytes{1, 2, 3}};
  Decoded f;
  DecodePng(MakePng(e), &f);
  ASSERT_EQ(f.Result, 0);
  EXPECT_EQ(f.Img.Pitch, 3);
  EXPECT_EQ(f.Img.Pixels[2], 3);
}

TEST(Png, GreyWithAlphaKeepsTheGreyByte) {
  PngLayout s = Gray(2, 1, 8);
  s.ColorType = PNG_COLOR_TYPE_GRAY_ALPHA;
  s.Rows = {Bytes{100, 7, 200, 9}};
  Decoded d;
  DecodePng(MakePng(s), &d);
  ASSERT_EQ(d.Result, 0);
  EXPECT_EQ(d.Img.Format.BitDepth, 16);
  EXPECT_EQ(d.Img.Format.UnusedMask, 0xFF00u);
  EXPECT_EQ(d.Img.Format.AlphaWidth, 0);
  EXPECT_EQ(ReadPixelImageARGB(&d.Img, 1, 0), 0x00C8C8C8u);
}

TEST(Png, PaletteWithoutAndWithTransparency) {
  PngLayout s;
  s.Width = 4;
  s.BitDepth = 4;
  s.ColorType = PNG_COLOR_TYPE_PALETTE;
  for (int i = 0; i < 16; i++) s.Palette.push_back(png_color{uint8_t(i * 10), uint8_t(i), uint8_t(255 - i)});
  s.Rows = {Bytes{0x01, 0xEF}};
  Decoded d;
  DecodePng(MakePng(s), &d);
  ASSERT_EQ(d.Result, 0);
  EXPECT_EQ(d.Img.Format.BytesPerPixel, 1);
  EXPECT_EQ(Bytes(d.Img.Pixels, d.Img.Pixels + 4), (Bytes{0, 1, 14, 15}));
  EXPECT_EQ(d.Img.Format.Palette[15].Red, 150);
  EXPECT_EQ(d.Img.Format.Palette[15].Blue, 240);
  EXPECT_EQ(d.Img.Format.Palette[16].Blue, 0);
  EXPECT_EQ(d.Img.Format.Palette[255].Red, 0);

  s.Trans = Bytes{0, 128};
  Decoded t;
  DecodePng(MakePng(s), &t);
  ASSERT_EQ(t.Result, 0);
  EXPECT_EQ(t.Img.Format.BitDepth, 32);
  EXPECT_EQ(ReadPixelImageARGB(&t.Img, 0, 0), 0x000000FFu);
  EXPECT_EQ(ReadPixelImageARGB(&t.Img, 1, 0), 0x800A01FEu);
  EXPECT_EQ(ReadPixelImageARGB(&t.Img, 3, 0) >> 24, 0xFFu);
}

TEST(Png, GreyAndRgbWithTransparentColour) {
  PngLayout s = Gray(2, 1, 8);
  s.GrayTrans = true;
  s.TransColor.gray = 5;
  s.Rows = {Bytes{5, 6}};
  Decoded d;
  DecodePng(MakePng(s), &d);
  ASSERT_EQ(d.Result, 0);
  EXPECT_EQ(d.Img.Format.BitDepth, 16);  // grey + alpha: the grey byte stays
  EXPECT_EQ(d.Img.Pixels[0], 5);
  PngLayout r;
  r.Width = 2;
  r.GrayTrans = true;
  r.TransColor.red = 1;
  r.TransColor.green = 2;
  r.TransColor.blue = 3;
  r.Rows = {Bytes{1, 2, 3, 4, 5, 6}};
  Decoded e;
  DecodePng(MakePng(r), &e);
  ASSERT_EQ(e.Result, 0);
  EXPECT_EQ(e.Img.Format.BitDepth, 32);
  EXPECT_EQ(ReadPixelImageARGB(&e.Img, 0, 0), 0x00010203u);
  EXPECT_EQ(ReadPixelImageARGB(&e.Img, 1, 0), 0xFF040506u);
}

TEST(Png, InterlacedEqualsPlain) {
  Decoded plain, laced;
  DecodePng(imgtest::MakeRgbaPng(13, 11, false), &plain);
  DecodePng(imgtest::MakeRgbaPng(13, 11, true), &laced);
  ASSERT_EQ(plain.Result, 0);
  ASSERT_EQ(laced.Result, 0);
  ASSERT_EQ(plain.Img.Pitch, laced.Img.Pitch);
  EXPECT_EQ(Bytes(plain.Img.Pixels, plain.Img.Pixels + plain.Img.Pitch * 11),
            Bytes(laced.Img.Pixels, laced.Img.Pixels + laced.Img.Pitch * 11));
}

TEST(Png, ShortStreamsAndStrangersFailWithNothingAllocated) {
  int before = imgtest::LiveBlocks();
  Bytes good = imgtest::MakeRgbaPng(16, 16);
  for (size_t cut : {size_t(0), size_t(7), size_t(40), good.size() / 2, good.size() - 13}) {
    Decoded d;
    DecodePng(Bytes(good.begin(), good.begin() + cut), &d);
    EXPECT_EQ(d.Result, -1) << cut;
    EXPECT_EQ(d.Img.Pixels, nullptr);
  }
  Decoded bmp;
  DecodePng(imgtest::MakeBmp(1, 1, 24, 0, {}, Bytes(4, 0)), &bmp);
  EXPECT_EQ(bmp.Result, -1);
  // A header claiming a huge image is refused before the pixels are allocated.
  PngLayout big = Gray(1, 1, 8);
  big.Rows = {Bytes{1}};
  Bytes f = MakePng(big);
  imgtest::Put32(f, 16, 0x00FF0000u);  // width, big-endian: 65280 << 8 ... (CRC now wrong)
  Decoded h;
  DecodePng(f, &h);
  EXPECT_EQ(h.Result, -1);
  EXPECT_EQ(imgtest::LiveBlocks(), before);
}

}  // namespace

namespace {

// Sample of channel c at (x, y) for a depth, within the depth's range.
uint32_t SampleAt(int x, int y, int c, int depth) {
  uint32_t max = (1u << depth) - 1;
  return uint32_t(x * 7 + y * 3 + c * 5 + 1) * 2654435761u % (max + 1);
}

// Packs samples into a PNG row (big-endian, sub-byte samples high bits first).
imgtest::Bytes PackRow(const std::vector<uint32_t>& samples, int depth) {
  imgtest::Bytes row;
  if (depth >= 8) {
    for (uint32_t v : samples) {
      if (depth == 16) row.push_back(uint8_t(v >> 8));
      row.push_back(uint8_t(v));
    }
    return row;
  }
  int perByte = 8 / depth, n = 0;
  uint8_t acc = 0;
  for (uint32_t v : samples) {
    acc = uint8_t(acc | (v << (8 - depth * (n + 1))));
    if (++n == perByte) {
      row.push_back(acc);
      acc = 0;
      n = 0;
    }
  }
  if (n) row.push_back(acc);
  return row;
}

TEST(Png, EveryColourTypeAndDepth) {
  struct Kind {
    int Type, Channels;
    std::vector<int> Depths;
  } kinds[] = {
      {PNG_COLOR_TYPE_GRAY, 1, {1, 2, 4, 8, 16}}, {PNG_COLOR_TYPE_GRAY_ALPHA, 2, {8, 16}},
      {PNG_COLOR_TYPE_PALETTE, 1, {1, 2, 4, 8}},  {PNG_COLOR_TYPE_RGB, 3, {8, 16}},
      {PNG_COLOR_TYPE_RGB_ALPHA, 4, {8, 16}},
  };
  const int w = 9, h = 3;
  for (const Kind& k : kinds) {
    for (int depth : k.Depths) {
      for (bool interlaced : {false, true}) {
        PngLayout s;
        s.Width = w;
        s.Height = h;
        s.BitDepth = depth;
        s.ColorType = k.Type;
        s.Interlaced = interlaced;
        if (k.Type == PNG_COLOR_TYPE_PALETTE)
          for (int i = 0; i < (1 << depth); i++)
            s.Palette.push_back(png_color{uint8_t(i), uint8_t(2 * i), uint8_t(3 * i)});
        for (int y = 0; y < h; y++) {
          std::vector<uint32_t> samples;
          for (int x = 0; x < w; x++)
            for (int c = 0; c < k.Channels; c++) samples.push_back(SampleAt(x, y, c, depth));
          s.Rows.push_back(PackRow(samples, depth));
        }
        Decoded d;
        DecodePng(MakePng(s), &d);
        SCOPED_TRACE(testing::Message()
                     << "type " << k.Type << " depth " << depth << " interlaced " << interlaced);
        ASSERT_EQ(d.Result, 0);
        ASSERT_EQ(d.Img.Width, w);
        ASSERT_EQ(d.Img.Height, h);
        // Each sample as 8 bits: 16-bit samples keep their high byte, grey
        // samples below 8 bits are scaled up, palette indices stay indices.
        auto eight = [&](uint32_t v) {
          if (depth == 16) return v >> 8;
          if (k.Type == PNG_COLOR_TYPE_PALETTE || depth == 8) return v;
          return v * 255 / ((1u << depth) - 1);
        };
        for (int y = 0; y < h; y++) {
          for (int x = 0; x < w; x++) {
            const uint8_t* p = Pixel(d.Img, x, y);
            uint32_t c0 = eight(SampleAt(x, y, 0, depth));
            switch (k.Type) {
              case PNG_COLOR_TYPE_GRAY:
              case PNG_COLOR_TYPE_PALETTE:
                ASSERT_EQ(d.Img.Format.BytesPerPixel, 1);
                ASSERT_EQ(p[0], c0) << x << "," << y;
                break;
              case PNG_COLOR_TYPE_GRAY_ALPHA:
                ASSERT_EQ(d.Img.Format.BytesPerPixel, 2);
                ASSERT_EQ(p[0], c0) << x << "," << y;
                break;
              default:
                ASSERT_EQ(d.Img.Format.BytesPerPixel, k.Channels);
                ASSERT_EQ(p[2], c0) << x << "," << y;  // stored blue, green, red
                ASSERT_EQ(p[0], eight(SampleAt(x, y, 2, depth)));
                if (k.Channels == 4) {
                  ASSERT_EQ(p[3], eight(SampleAt(x, y, 3, depth)));
                }
            }
          }
        }
      }
    }
  }
}

}  // namespace
