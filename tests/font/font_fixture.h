// A 32-bit or 16-bit pixel buffer to draw text into, and the font system
// started for each test.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "font/font.h"
#include "font/font_state.h"
#include "font/text_draw.h"
#include "process_state.h"

namespace fonttest {

struct Canvas {
  int Width, Height, Bpp;
  std::vector<uint8_t> Bytes;
  TextDrawTarget Target{};

  Canvas(int w, int h, TextPixelFormat format = TEXT_PIXEL_XRGB8888) : Width(w), Height(h) {
    Bpp = format == TEXT_PIXEL_RGB565 ? 2 : 4;
    Bytes.assign(static_cast<size_t>(w * h * Bpp), 0);
    Target.Pixels = Bytes.data();
    Target.Pitch = w * Bpp;
    Target.Width = w;
    Target.Height = h;
    Target.Format = format;
    Target.ClipLeft = 0;
    Target.ClipTop = 0;
    Target.ClipRight = w;
    Target.ClipBottom = h;
    Target.BlendMode = 0;
    Target.BlendParam = 0;
  }
  uint32_t At(int x, int y) const {
    const uint8_t* p = &Bytes[static_cast<size_t>((y * Width + x) * Bpp)];
    return Bpp == 4 ? (p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24)
                    : (p[0] | p[1] << 8);
  }
  void Fill(uint32_t v) {
    for (int i = 0; i < Width * Height; ++i)
      std::memcpy(&Bytes[static_cast<size_t>(i * Bpp)], &v, static_cast<size_t>(Bpp));
  }
  // Bounding box of pixels different from `background`; false when none.
  bool Ink(uint32_t background, int* left, int* top, int* right, int* bottom) const {
    *left = Width, *top = Height, *right = -1, *bottom = -1;
    for (int y = 0; y < Height; ++y) {
      for (int x = 0; x < Width; ++x) {
        if ((At(x, y) & 0xFFFFFF) == (background & 0xFFFFFF)) continue;
        if (x < *left) *left = x;
        if (x > *right) *right = x;
        if (y < *top) *top = y;
        if (y > *bottom) *bottom = y;
      }
    }
    return *right >= 0;
  }
  int CountInk(uint32_t background) const {
    int n = 0;
    for (int y = 0; y < Height; ++y)
      for (int x = 0; x < Width; ++x) n += (At(x, y) & 0xFFFFFF) != (background & 0xFFFFFF);
    return n;
  }
};

class FontTest : public ::testing::Test {
 protected:
  void SetUp() override {
    teststate::ResetProcessState();
    ASSERT_EQ(InitializeFontSystem(), 0) << "no Japanese gothic face installed";
  }
  void TearDown() override { teststate::ResetProcessState(); }
};

}  // namespace fonttest
