// The clip rectangle is one rectangle: whichever entry sets it, the drawing
// state, its getter, its float form and the software renderer read the same
// four values, and a draw paints exactly inside them.
#include <algorithm>
#include <ostream>

#include "graph_fixture.h"
#include "softrender/memimg_tables.h"

using namespace graphtest;

static bool operator==(const Rect& a, const Rect& b) {
  return a.Left == b.Left && a.Top == b.Top && a.Right == b.Right && a.Bottom == b.Bottom;
}
static void PrintTo(const Rect& r, std::ostream* os) {
  *os << "{" << r.Left << ", " << r.Top << ", " << r.Right << ", " << r.Bottom << "}";
}

namespace {

class ClipTest : public Graphics16Test {
 protected:
  // Every reader of the clip agrees with `want`.
  static void ExpectOneClip(const Rect& want) {
    Rect got{-1, -1, -1, -1};
    GetDrawClipRect(&got);
    EXPECT_EQ(got, want);
    EXPECT_EQ(GraphicsState.ClipRect, want);
    ASSERT_EQ(SoftDrawState.Clip, &GraphicsState.ClipRect);
    const ClipRectFloat f = GetDrawClipRectF();
    EXPECT_EQ(f.Left, float(want.Left));
    EXPECT_EQ(f.Top, float(want.Top));
    EXPECT_EQ(f.Right, float(want.Right));
    EXPECT_EQ(f.Bottom, float(want.Bottom));
  }

  static void Blank(MEMIMG* img) {
    for (int y = 0; y < img->Height; ++y)
      std::memset(img->Pixels + size_t(y) * img->Base->Pitch, 0, size_t(img->Width) * 2);
  }

  // The smallest rectangle holding every lit pixel, after checking that the
  // lit pixels fill it (a draw through one clip paints one rectangle).
  static Rect Painted(const MEMIMG* img) {
    Rect r{img->Width, img->Height, 0, 0};
    int count = 0;
    for (int y = 0; y < img->Height; ++y)
      for (int x = 0; x < img->Width; ++x)
        if (PixelAt(img, x, y) != 0) {
          ++count;
          r = Rect{std::min(r.Left, x), std::min(r.Top, y), std::max(r.Right, x + 1),
                   std::max(r.Bottom, y + 1)};
        }
    if (count == 0) return Rect{0, 0, 0, 0};
    EXPECT_EQ(count, (r.Right - r.Left) * (r.Bottom - r.Top));
    return r;
  }

  // Fills far beyond the target: what is painted is the clip.
  static Rect FillEverything(MEMIMG* target) {
    Blank(target);
    FillRectangle(-1000, -1000, 5000, 5000, MakeColorImpl(255, 255, 255));
    return Painted(target);
  }
};

TEST_F(ClipTest, EachEntryThatSetsTheClipSetsTheOneRectangleTheRendererDrawsThrough) {
  // Start-up.
  ExpectOneClip(Rect{0, 0, 640, 480});

  // SetDrawClipRect, corners given in any order.
  ASSERT_EQ(SetDrawTargetImpl(DRAW_TARGET_BACK), 0);
  SetDrawClipRect(200, 100, 30, 40);
  ExpectOneClip(Rect{30, 40, 200, 100});
  EXPECT_EQ(FillEverything(&DirectDrawState.BackImage), (Rect{30, 40, 200, 100}));

  // A target of another size resets it to the whole target.
  SetNewGraphDrawValid(1);
  const int a = CreateGraphOfSize(64, 32, 0, 0, 0);
  const int b = CreateGraphOfSize(64, 32, 0, 0, 0);
  SetNewGraphDrawValid(0);
  ASSERT_GE(a, 0);
  ASSERT_GE(b, 0);
  ASSERT_EQ(SetDrawTargetImpl(a), 0);
  ExpectOneClip(Rect{0, 0, 64, 32});
  EXPECT_EQ(FillEverything(GraphImage(a)), (Rect{0, 0, 64, 32}));

  // A target of the same size keeps it.
  SetDrawClipRect(5, 6, 20, 30);
  ASSERT_EQ(SetDrawTargetImpl(b), 0);
  ExpectOneClip(Rect{5, 6, 20, 30});
  EXPECT_EQ(FillEverything(GraphImage(b)), (Rect{5, 6, 20, 30}));

  // A refused target selects the old one again, as a change from a target of
  // no size: its clip is the whole of it.
  EXPECT_EQ(SetDrawTargetImpl(0x08000000 | 999), -1);
  EXPECT_EQ(GraphicsState.DrawTarget, b);
  ExpectOneClip(Rect{0, 0, 64, 32});

  // A reset of the drawing state.
  InitGraphicsState();
  ExpectOneClip(Rect{0, 0, GraphicsState.TargetWidth, GraphicsState.TargetHeight});
}

TEST_F(ClipTest, APartDrawNarrowsTheOneRectangleForTheDrawAndPutsItBack) {
  const int g = CreateGraphOfSize(64, 16, 0, 0, 0);
  ASSERT_GE(g, 0);
  ASSERT_EQ(FillGraphWithColor(g, 255, 255, 255, 255), 0);
  ASSERT_EQ(SetDrawTargetImpl(DRAW_TARGET_BACK), 0);
  MEMIMG* back = &DirectDrawState.BackImage;

  Blank(back);
  EXPECT_EQ(DrawGraphPartImpl(100, 100, 16, 0, 16, 16, g, 0, 0), 0);
  EXPECT_EQ(Painted(back), (Rect{100, 100, 116, 116}));
  ExpectOneClip(Rect{0, 0, 640, 480});

  // The narrowing stays inside the clip that was set.
  SetDrawClipRect(0, 0, 108, 480);
  Blank(back);
  EXPECT_EQ(DrawGraphPartImpl(100, 100, 16, 0, 16, 16, g, 0, 1), 0);
  EXPECT_EQ(Painted(back), (Rect{100, 100, 108, 116}));
  ExpectOneClip(Rect{0, 0, 108, 480});

  SetDrawClipRect(0, 0, 640, 480);
  Blank(back);
  EXPECT_EQ(DrawGraphPartStretched(10, 20, 50, 30, 0, 0, 8, 8, g, 0), 0);
  EXPECT_EQ(Painted(back), (Rect{10, 20, 50, 30}));
  ExpectOneClip(Rect{0, 0, 640, 480});
}

}  // namespace
