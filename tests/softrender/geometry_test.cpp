// Rectangle clipping, ordering and size.
#include <gtest/gtest.h>

#include "graphics/geometry.h"

namespace {

bool Same(const Rect& a, const Rect& b) {
  return a.Left == b.Left && a.Top == b.Top && a.Right == b.Right && a.Bottom == b.Bottom;
}

TEST(RectClipTest, ClipRectClampsEveryEdge) {
  const Rect b = {0, 0, 100, 100};
  Rect a = {50, 50, 10, 10};
  ClipRect(&a, &b);
  EXPECT_TRUE(Same(a, Rect{50, 50, 50, 50}));
  a = {-20, 30, 40, 500};
  ClipRect(&a, &b);
  EXPECT_TRUE(Same(a, Rect{0, 30, 40, 100}));
  a = {200, 200, 300, 300};
  ClipRect(&a, &b);
  EXPECT_TRUE(Same(a, Rect{100, 100, 100, 100}));
  a = {-50, -50, -10, -10};
  ClipRect(&a, &b);
  EXPECT_TRUE(Same(a, Rect{0, 0, 0, 0}));
  a = {10, 20, 30, 40};
  ClipRect(&a, &b);
  EXPECT_TRUE(Same(a, Rect{10, 20, 30, 40}));
}

TEST(RectClipTest, NormalizeAndDimensions) {
  Rect a = {9, 8, 2, 1};
  NormalizeRect(&a);
  EXPECT_TRUE(Same(a, Rect{2, 1, 9, 8}));
  int w = 0, h = 0;
  const Rect c = {5, 5, 2, 9};
  RectDimensions(&c, &w, &h);
  EXPECT_EQ(w, -3);
  EXPECT_EQ(h, 4);
  RectDimensions(&c, nullptr, &h);
}

}  // namespace
