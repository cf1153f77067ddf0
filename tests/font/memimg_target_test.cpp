// Text drawn into the library's own image type, 16-bit and 32-bit, with the
// image's own pitch (rows padded to 16 bytes).
#include <cstring>

#include "font_fixture.h"
#include "softrender/memimg.h"

namespace {

using fonttest::FontTest;

TextDrawTarget TargetOf(MEMIMG* img, TextPixelFormat format) {
  TextDrawTarget t{};
  t.Pixels = img->Pixels;
  t.Pitch = static_cast<int32_t>(img->Base->Pitch);
  t.Width = img->Width;
  t.Height = img->Height;
  t.Format = format;
  t.ClipRight = img->Width;
  t.ClipBottom = img->Height;
  return t;
}

TEST_F(FontTest, TextLandsInLibraryImagesOfBothDepths) {
  for (MemImgColorType type : {MEMIMG_TYPE_RGB565, MEMIMG_TYPE_XRGB32}) {
    SCOPED_TRACE(type);
    MEMIMG img{};
    // 37 pixels wide: the pitch is padded beyond the row.
    ASSERT_EQ(InitializeMemImg(&img, 37, 24, -1, 0, type, 0, 0, 0, nullptr), 0);
    const int bpp = type == MEMIMG_TYPE_RGB565 ? 2 : 4;
    ASSERT_GT(static_cast<int>(img.Base->Pitch), 37 * bpp);
    for (int y = 0; y < 24; ++y) std::memset(img.Pixels + y * img.Base->Pitch, 0, img.Base->Pitch);
    TextPixelFormat format = type == MEMIMG_TYPE_RGB565 ? TEXT_PIXEL_RGB565 : TEXT_PIXEL_XRGB8888;
    TextDrawTarget t = TargetOf(&img, format);
    const uint32_t green = type == MEMIMG_TYPE_RGB565 ? 0x07E0u : 0xFF00FF00u;
    ASSERT_EQ(DrawDefaultFontStringTo(&t, 30, 2, "ＷＷ", green, 0), 0);
    int inside = 0;
    for (int y = 0; y < 24; ++y) {
      const uint8_t* row = img.Pixels + y * img.Base->Pitch;
      for (int x = 0; x < static_cast<int>(img.Base->Pitch) / bpp; ++x) {
        uint32_t v = 0;
        std::memcpy(&v, row + x * bpp, static_cast<size_t>(bpp));
        if (bpp == 4) v &= 0xFFFFFF;
        if (v == 0) continue;
        // Only inside the image's width (the padding stays untouched), only
        // right of the pen, only green.
        ASSERT_LT(x, 37);
        ASSERT_GE(x, 30);
        EXPECT_EQ(v, green & (bpp == 4 ? 0xFFFFFFu : 0xFFFFu));
        ++inside;
      }
    }
    EXPECT_GT(inside, 10);
    TerminateMemImg(&img);
  }
}

}  // namespace
