// Which views of an image with a valid run table take the run-table loops:
// the table lists the image's rows from the top, so a view of whole rows that
// starts at the first row uses it; any other view takes the per-pixel loops.
#include "softrender/test_support.h"

namespace {

class BlitViewRunsTest : public SoftRenderTest {};

TEST_F(BlitViewRunsTest, TopRowsViewUsesTheRunTableOtherViewsDoNot) {
  TestImg dst, src;
  ASSERT_EQ(dst.Make(2, 2, MEMIMG_TYPE_XRGB32), 0);
  ASSERT_EQ(src.Make(2, 3, MEMIMG_TYPE_XRGB32, 0, 0, 1, -1, 0xFFFFFFFF), 0);
  src.Fill32(0x000101);
  ASSERT_EQ(BuildMemImgRunTable(&src.m), 0);
  // Mode 1 at p = 128: the per-pixel loops take the half sum (0x000101 over
  // 0x000101 gives 0), the run-table loops d + floor((s - d) * 128 / 256).
  ApplyState(RefBlendState{{0, 0, 2, 2}, 1, 128, 0xFFFFFF, false});
  struct Case {
    int X, Y, W, H;
    uint32_t Want;
  };
  const Case cases[] = {
      {0, 0, 2, 2, 0x000101u},  // the top two rows: run table
      {0, 1, 2, 2, 0x000000u},  // starts on the second row: per-pixel
      {0, 0, 1, 2, 0x000000u},  // part of each row: per-pixel
  };
  for (const Case& c : cases) {
    MEMIMG view{};
    DeriveMemImg(&view, &src.m, c.X, c.Y, c.W, c.H);
    ASSERT_EQ(IsValidMemImg(&view), 1);
    dst.Fill32(0x000101);
    DrawMemImg(&dst.m, &view, 0, 0, 1, nullptr);
    EXPECT_EQ(dst.Get32(0, 0), c.Want) << c.X << "," << c.Y << " " << c.W << "x" << c.H;
    EXPECT_EQ(dst.Get32(0, 1), c.Want) << c.X << "," << c.Y << " " << c.W << "x" << c.H;
    // The reference model draws the same.
    dst.Fill32(0x000101);
    RefDrawMemImg(&dst.m, &view, 0, 0, 1, nullptr, RefBlendState{{0, 0, 2, 2}, 1, 128, 0xFFFFFF, false});
    EXPECT_EQ(dst.Get32(0, 0), c.Want);
    TerminateMemImg(&view);
  }
}

}  // namespace
