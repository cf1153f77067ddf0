// Text drawn into a pixel buffer: place, colour, advance, edge, clipping,
// blend modes and the glyph cache.
#include <random>
#include <string>

#include "font_fixture.h"
#include "process_state.h"

namespace {

using fonttest::Canvas;
using fonttest::FontTest;

constexpr uint32_t kRed = 0xFFFF0000;
constexpr uint32_t kWhite = 0xFFFFFFFF;

TEST_F(FontTest, TextLandsInItsCellInItsColour) {
  Canvas c(200, 60);
  ASSERT_EQ(DrawDefaultFontStringTo(&c.Target, 10, 5, "A", kRed, 0), 0);
  int l, t, r, b;
  ASSERT_TRUE(c.Ink(0, &l, &t, &r, &b));
  // A 16-pixel cell: 8 pixels wide for a half-width character.
  EXPECT_GE(l, 10);
  EXPECT_LE(r, 10 + 8);
  EXPECT_GE(t, 5);
  EXPECT_LE(b, 5 + 16);
  EXPECT_GE(b - t, 8);  // a capital is more than half the size tall
  // Every drawn pixel is red at some strength, and the stem is full red.
  int full = 0;
  for (int y = t; y <= b; ++y) {
    for (int x = l; x <= r; ++x) {
      uint32_t v = c.At(x, y) & 0xFFFFFF;
      EXPECT_EQ(v & 0x00FFFF, 0u);
      full += v == 0xFF0000;
    }
  }
  EXPECT_GT(full, 5);
}

TEST_F(FontTest, AdvanceIsHalfOrFullCell) {
  EXPECT_EQ(GetDefaultFontStringWidth("AB"), 16);
  EXPECT_EQ(GetDefaultFontStringWidth("１Ｐ"), 32);
  EXPECT_EQ(GetDefaultFontStringWidth("１ＰvsＣＰ"), 16 * 4 + 8 * 2);
  // The second character is drawn one advance to the right of where it is
  // drawn alone.
  Canvas alone(100, 30), after(100, 30);
  DrawDefaultFontStringTo(&alone.Target, 20, 4, "Ｐ", kWhite, 0);
  DrawDefaultFontStringTo(&after.Target, 4, 4, "１Ｐ", kWhite, 0);
  for (int y = 0; y < 30; ++y)
    for (int x = 20; x < 36; ++x) ASSERT_EQ(alone.At(x, y), after.At(x, y)) << x << "," << y;
}

TEST_F(FontTest, NewLineStartsUnderTheFirstLine) {
  Canvas c(100, 80);
  DrawDefaultFontStringTo(&c.Target, 0, 0, "\nA", kWhite, 0);
  int l, t, r, b;
  ASSERT_TRUE(c.Ink(0, &l, &t, &r, &b));
  EXPECT_GE(t, 16);
  EXPECT_LT(l, 8);
}

TEST_F(FontTest, GameSizesLookRight) {
  for (int size : {16, 30, 34, 40, 100}) {
    SCOPED_TRACE(size);
    ASSERT_EQ(SetDefaultFontSizeImpl(size), 0);
    Canvas c(size * 4, size * 2);
    ASSERT_EQ(DrawDefaultFontStringTo(&c.Target, 0, 0, "引き分け", kWhite, 0), 0);
    int l, t, r, b;
    ASSERT_TRUE(c.Ink(0, &l, &t, &r, &b));
    EXPECT_LE(r, size * 4);
    EXPECT_GE(r - l, size * 3);  // four full-width characters
    EXPECT_GE(b - t, size * 3 / 4);
    EXPECT_LE(b, size + size / 4);
    EXPECT_EQ(GetDefaultFontStringWidth("引き分け"), size * 4);
  }
  EXPECT_EQ(SetDefaultFontSizeImpl(-1), 0);
  EXPECT_EQ(GetDefaultFontSize(), 16);
  EXPECT_EQ(SetDefaultFontSizeImpl(0), -1);
  EXPECT_EQ(SetDefaultFontSizeImpl(100000), -1);
}

TEST_F(FontTest, EdgeSurroundsTheGlyphInTheEdgeColour) {
  Canvas plain(60, 40), edged(60, 40);
  DrawDefaultFontStringTo(&plain.Target, 10, 10, "I", kWhite, 0);
  DrawDefaultFontStringTo(&edged.Target, 10, 10, "I", kWhite, 0xFF0000FF);
  EXPECT_GT(edged.CountInk(0), plain.CountInk(0));
  int blue = 0;
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 60; ++x) {
      uint32_t v = edged.At(x, y) & 0xFFFFFF;
      if (plain.At(x, y) & 0xFFFFFF) continue;
      if (v == 0) continue;
      // Off the glyph, only edge colour shows.
      EXPECT_EQ(v & 0xFFFF00, 0u) << x << "," << y;
      blue += v == 0x0000FF;
    }
  }
  EXPECT_GT(blue, 10);
}

TEST_F(FontTest, MissingGlyphsDrawABoxAndKeepTheLayout) {
  Canvas c(100, 30);
  // 0x85 0xA0 has no character in code page 932.
  ASSERT_EQ(DrawDefaultFontStringTo(&c.Target, 2, 2, "\x85\xA0", kWhite, 0), 0);
  int l, t, r, b;
  ASSERT_TRUE(c.Ink(0, &l, &t, &r, &b));
  EXPECT_GT(r - l, 8);
  EXPECT_EQ(c.At(l, (t + b) / 2) & 0xFFFFFF, 0xFFFFFFu);     // the box's side
  EXPECT_EQ(c.At((l + r) / 2, (t + b) / 2) & 0xFFFFFF, 0u);  // hollow
  EXPECT_EQ(GetDefaultFontStringWidth("\x85\xA0"
                                      "A"),
            24);
}

TEST_F(FontTest, ClippingKeepsDrawingInsideTheArea) {
  Canvas c(64, 48);
  c.Target.ClipLeft = 8;
  c.Target.ClipTop = 8;
  c.Target.ClipRight = 40;
  c.Target.ClipBottom = 24;
  SetDefaultFontSizeImpl(30);
  DrawDefaultFontStringTo(&c.Target, -5, -7, "ＷＷＷ", kWhite, 0xFF00FF00);
  DrawDefaultFontStringTo(&c.Target, 30, 15, "ＷＷＷ", kWhite, 0xFF00FF00);
  int l, t, r, b;
  ASSERT_TRUE(c.Ink(0, &l, &t, &r, &b));
  EXPECT_GE(l, 8);
  EXPECT_GE(t, 8);
  EXPECT_LT(r, 40);
  EXPECT_LT(b, 24);
}

TEST_F(FontTest, BlendModes) {
  Canvas copy(40, 30), add(40, 30), none(40, 30), half(40, 30);
  for (Canvas* c : {&copy, &add, &none, &half}) c->Fill(0x00404040);
  add.Target.BlendMode = 2;
  add.Target.BlendParam = 255;
  none.Target.BlendMode = 1;
  none.Target.BlendParam = 0;
  half.Target.BlendMode = 1;
  half.Target.BlendParam = 128;
  for (Canvas* c : {&copy, &add, &none, &half}) DrawDefaultFontStringTo(&c->Target, 4, 4, "I", 0x00808080, 0);
  EXPECT_EQ(none.CountInk(0x404040), 0);
  bool sawFull = false;
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 40; ++x) {
      if ((copy.At(x, y) & 0xFFFFFF) != 0x808080) continue;
      sawFull = true;
      EXPECT_EQ(add.At(x, y) & 0xFFFFFF, 0xC0C0C0u);
      EXPECT_EQ(half.At(x, y) & 0xFFFFFF, 0x606060u);
    }
  }
  EXPECT_TRUE(sawFull);
  // Modes the software renderer does not draw leave the target alone.
  Canvas skipped(40, 30);
  skipped.Target.BlendMode = 7;
  EXPECT_EQ(DrawDefaultFontStringTo(&skipped.Target, 4, 4, "I", kWhite, 0), 0);
  EXPECT_EQ(skipped.CountInk(0), 0);
}

TEST_F(FontTest, SixteenBitTargets) {
  Canvas c(40, 30, TEXT_PIXEL_RGB565);
  DrawDefaultFontStringTo(&c.Target, 2, 2, "I", 0xF800, 0);  // red
  int full = 0;
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 40; ++x) {
      uint32_t v = c.At(x, y);
      EXPECT_EQ(v & 0x07FF, 0u);
      full += v == 0xF800;
    }
  }
  EXPECT_GT(full, 5);
}

TEST_F(FontTest, GlyphCacheIsReusedAcrossDrawsAndSizes) {
  Canvas c(200, 120);
  DrawDefaultFontStringTo(&c.Target, 0, 0, "ABCA", kWhite, 0);
  FontRecord* small = GetDefaultFontRecord();
  ASSERT_NE(small, nullptr);
  EXPECT_EQ(small->GlyphsRendered, 3u);
  for (int i = 0; i < 10; ++i)
    DrawDefaultFontStringTo(&c.Target, 0, 0, "ABC", kWhite, i % 2 ? 0xFF00FF00 : 0);
  EXPECT_EQ(small->GlyphsRendered, 3u);
  // The game switches to 100 pixels and back within a frame: both caches stay.
  SetDefaultFontSizeImpl(100);
  DrawDefaultFontStringTo(&c.Target, 0, 0, "引き分け", kWhite, 0);
  FontRecord* big = GetDefaultFontRecord();
  ASSERT_NE(big, small);
  EXPECT_EQ(big->GlyphsRendered, 4u);
  SetDefaultFontSizeImpl(16);
  DrawDefaultFontStringTo(&c.Target, 0, 0, "ABC", kWhite, 0);
  EXPECT_EQ(GetDefaultFontRecord(), small);
  EXPECT_EQ(small->GlyphsRendered, 3u);
  SetDefaultFontSizeImpl(100);
  DrawDefaultFontStringTo(&c.Target, 0, 0, "引き分け", kWhite, 0);
  EXPECT_EQ(big->GlyphsRendered, 4u);
  // After a device loss the caches are made again.
  RecreateAllFonts();
  DrawDefaultFontStringTo(&c.Target, 0, 0, "引き", kWhite, 0);
  EXPECT_EQ(big->GlyphsRendered, 6u);
}

TEST_F(FontTest, ManySizesReuseTheOldestRecord) {
  Canvas c(64, 64);
  for (int size = 5; size < 5 + FONT_MAX_RECORDS + 10; ++size) {
    ASSERT_EQ(SetDefaultFontSizeImpl(size), 0);
    ASSERT_EQ(DrawDefaultFontStringTo(&c.Target, 0, 0, "a", kWhite, 0), 0) << size;
  }
  int live = 0;
  for (const FontRecord& r : FontState.Records) live += r.InUse;
  EXPECT_EQ(live, FONT_MAX_RECORDS);
}

TEST_F(FontTest, BadArgumentsFailCleanly) {
  Canvas c(10, 10);
  EXPECT_EQ(DrawDefaultFontStringTo(&c.Target, 0, 0, nullptr, kWhite, 0), -1);
  EXPECT_EQ(DrawDefaultFontStringTo(nullptr, 0, 0, "a", kWhite, 0), -1);
  TextDrawTarget bad = c.Target;
  bad.Pitch = 4;  // narrower than a row
  EXPECT_EQ(DrawDefaultFontStringTo(&bad, 0, 0, "a", kWhite, 0), -1);
  bad = c.Target;
  bad.Format = static_cast<TextPixelFormat>(9);
  EXPECT_EQ(DrawDefaultFontStringTo(&bad, 0, 0, "a", kWhite, 0), -1);
  // With no graphics started there is no draw target to draw on.
  EXPECT_EQ(DrawDefaultFontString(0, 0, "a", kWhite, 0), -1);
}

TEST_F(FontTest, RandomBytesAndFarPositionsNeverCrash) {
  Canvas c(48, 32);
  std::mt19937 rng(12345);
  std::uniform_int_distribution<int> byte(1, 255), pos(-200, 200), len(0, 12);
  for (int i = 0; i < 1500; ++i) {
    std::string s;
    for (int n = len(rng); n > 0; --n) s.push_back(static_cast<char>(byte(rng)));
    int x = i % 50 == 0 ? 0x7FFFFFF0 : pos(rng);
    int y = i % 70 == 0 ? -0x7FFFFFF0 : pos(rng);
    ASSERT_EQ(DrawDefaultFontStringTo(&c.Target, x, y, s.c_str(), kWhite, i % 3 ? 0 : 0xFF0000FF), 0);
  }
}

class FontNotStarted : public teststate::FreshProcessTest {};

TEST_F(FontNotStarted, DrawsNothing) {
  Canvas c(10, 10);
  EXPECT_EQ(DrawDefaultFontStringTo(&c.Target, 0, 0, "a", kWhite, 0), -1);
  EXPECT_EQ(GetDefaultFontStringWidth("a"), 0);
  EXPECT_EQ(TerminateFontSystem(), 0);
}

}  // namespace
