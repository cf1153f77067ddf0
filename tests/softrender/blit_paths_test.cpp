// Draws in a row as games make them: each change of the drawing state reaches
// the next draw, draws of other kinds under one state take loops of their
// own, and keyed copies through the run table give the model's pixels at
// every row width around the limits of their span-by-span loops.
#include "softrender/test_support.h"

namespace {

class BlitPathsTest : public SoftRenderTest {
 protected:
  // Draws src at (1, 1) of dst (from init) under st and compares with the
  // model; returns whether they matched.
  static bool DrawMatches(TestImg& dst, const std::vector<uint8_t>& init, const MEMIMG* src, int trans,
                          const MEMIMG* graph, const RefBlendState& st) {
    dst.Restore(init);
    RefDrawMemImg(&dst.m, src, 1, 1, trans, graph, st);
    const std::vector<uint8_t> want = dst.Snapshot();
    dst.Restore(init);
    ApplyState(st);
    DrawMemImg(&dst.m, src, 1, 1, trans, graph);
    return dst.Snapshot() == want;
  }
};

void RandomPixels(TestImg& img, std::mt19937& rng) {
  for (size_t i = 0; i < img.Bytes(); ++i) img.m.Base->Pixels[i] = static_cast<uint8_t>(rng());
}

TEST_F(BlitPathsTest, EachChangeOfTheDrawingStateReachesTheNextDraw) {
  std::mt19937 rng(12);
  for (int depth = 0; depth < 2; ++depth) {
    const MemImgColorType type = depth ? MEMIMG_TYPE_XRGB32 : MEMIMG_TYPE_RGB565;
    TestImg dst, src;
    ASSERT_EQ(dst.Make(12, 6, type), 0);
    ASSERT_EQ(src.Make(9, 4, type), 0);
    RandomPixels(src, rng);
    std::vector<uint8_t> init(dst.Bytes());
    for (auto& v : init) v = static_cast<uint8_t>(rng());
    const Rect clip{0, 0, 12, 6};
    // Pairs of states that differ in one part only; the second draw must
    // follow its own state, not the first one's.
    struct Pair {
      RefBlendState First, Second;
    };
    const Pair pairs[] = {
        {{clip, 1, 100, 0xFFFFFF, false}, {clip, 1, 200, 0xFFFFFF, false}},   // parameter
        {{clip, 1, 100, 0xFFFFFF, false}, {clip, 11, 100, 0xFFFFFF, false}},  // mode
        {{clip, 2, 255, 0xFFFFFF, false}, {clip, 2, 255, 0x80FF40, false}},   // tint
        {{clip, 2, 255, 0xFFFFFF, false}, {clip, 2, 255, 0xFFFFFF, true}},    // MMX flag (32-bit add)
        {{clip, 3, 255, 0xFFFFFF, true}, {clip, 3, 255, 0xFFFFFF, false}},
        {{clip, 1, 0, 0xFFFFFF, false}, {clip, 1, 1, 0xFFFFFF, false}},  // nothing drawn, then drawn
        {{clip, 9, 100, 0xFFFFFF, false}, {clip, 4, 100, 0xFFFFFF, false}},
        {{clip, 4, 100, 0xFFFFFF, false}, {clip, 5, 100, 0xFFFFFF, false}},  // drawn, then nothing
    };
    for (const Pair& p : pairs) {
      EXPECT_TRUE(DrawMatches(dst, init, &src.m, 0, nullptr, p.First)) << "first, mode " << p.First.Mode;
      EXPECT_TRUE(DrawMatches(dst, init, &src.m, 0, nullptr, p.Second))
          << "bits " << (depth ? 32 : 16) << " mode " << p.Second.Mode << " p " << p.Second.Param << " tint "
          << p.Second.Tint << " mmx " << p.Second.Mmx;
    }
  }
}

TEST_F(BlitPathsTest, DrawsOfOtherKindsUnderOneStateTakeLoopsOfTheirOwn) {
  std::mt19937 rng(13);
  for (int depth = 0; depth < 2; ++depth) {
    const MemImgColorType type = depth ? MEMIMG_TYPE_XRGB32 : MEMIMG_TYPE_RGB565;
    TestImg dst, direct, alpha, palette, graph;
    ASSERT_EQ(dst.Make(12, 8, type), 0);
    ASSERT_EQ(direct.Make(9, 5, type, 0, 0, 1, -1, 7), 0);
    ASSERT_EQ(alpha.Make(9, 5, type, 0, 1, 1), 0);
    ASSERT_EQ(palette.Make(9, 5, type, 1, 0, 1, -1, 3), 0);
    ASSERT_EQ(graph.Make(9, 5, MEMIMG_TYPE_GRAY8), 0);
    for (TestImg* img : {&direct, &alpha, &palette, &graph}) RandomPixels(*img, rng);
    for (int i = 0; i < 1024; ++i) palette.m.Base->Palette[i] = static_cast<uint8_t>(rng());
    for (int i = 0; i < 9; ++i) palette.m.Base->Pixels[i * 3] = 3;  // some key indices
    for (TestImg* img : {&direct, &alpha, &palette}) ASSERT_EQ(BuildMemImgRunTable(&img->m), 0);
    std::vector<uint8_t> init(dst.Bytes());
    for (auto& v : init) v = static_cast<uint8_t>(rng());
    for (int mode : {0, 1, 2}) {
      const RefBlendState st{{0, 0, 12, 8}, mode, 128, 0xFFFFFF, true};
      // Every kind of draw in turn, twice over, under the one state.
      for (int round = 0; round < 2; ++round)
        for (const TestImg* src : {&direct, &alpha, &palette})
          for (int trans = 0; trans < 2; ++trans)
            for (const MEMIMG* g :
                 {static_cast<const MEMIMG*>(nullptr), static_cast<const MEMIMG*>(&graph.m)})
              EXPECT_TRUE(DrawMatches(dst, init, &src->m, trans, g, st))
                  << "bits " << (depth ? 32 : 16) << " mode " << mode << " palette "
                  << src->m.Base->PaletteFlag << " alpha " << src->m.Base->AlphaFlag << " trans " << trans
                  << " graph " << (g != nullptr);
    }
  }
}

// Rows of runs of 1 to 20 pixels, kinds chosen per run: with the transparent
// flag and a valid table, plain copies go span by span (whatever span length
// the table reports). Widths around 8, 32, 64 and 128 pixels
// meet the vector steps, the 128-byte copies and the 64-pixel words.
TEST_F(BlitPathsTest, SpanCopiesMatchTheModelAtEveryRowWidthAroundTheirLimits) {
  std::mt19937 rng(14);
  for (int depth = 0; depth < 2; ++depth) {
    const bool is32 = depth == 1;
    const MemImgColorType type = is32 ? MEMIMG_TYPE_XRGB32 : MEMIMG_TYPE_RGB565;
    for (int alpha = 0; alpha < 2; ++alpha) {
      for (int width : {1, 3, 4, 7, 8, 9, 16, 31, 32, 33, 63, 64, 65, 127, 128, 129}) {
        constexpr int kRows = 6;
        TestImg dst, src;
        ASSERT_EQ(dst.Make(width + 2, kRows + 2, type), 0);
        ASSERT_EQ(src.Make(width, kRows, type, 0, alpha, 1), 0);
        RandomPixels(src, rng);
        for (int y = 0; y < kRows; ++y) {
          int x = 0;
          while (x < width) {
            // Rows 0 and 1 are one kind whole (drawn to the last pixel);
            // the others runs of 1 to 20 pixels.
            const int kind = y == 0   ? 1
                             : y == 1 ? (alpha ? 2 : 1)
                                      : static_cast<int>(rng() % (alpha ? 3 : 2));
            const int len = y < 2 ? width : 1 + static_cast<int>(rng() % 20);
            for (int i = x; i < x + len && i < width; ++i) {
              uint8_t* p = src.At(i, y);
              if (alpha)
                p[is32 ? 3 : 2] = kind == 0 ? 0 : kind == 1 ? 255 : static_cast<uint8_t>(1 + rng() % 254);
              else if (kind == 0)
                std::memset(p, 0, is32 ? 4 : 2);
              else if (is32 ? src.Get32(i, y) == 0 : src.Get16(i, y) == 0)
                p[0] = 1;
            }
            x += len;
          }
        }
        ASSERT_EQ(BuildMemImgRunTable(&src.m), 0);
        src.m.Base->RunTableSpanLength = 0xFFFFFFFFu;
        std::vector<uint8_t> init(dst.Bytes());
        for (auto& v : init) v = static_cast<uint8_t>(rng());
        EXPECT_TRUE(DrawMatches(dst, init, &src.m, 1, nullptr,
                                {{0, 0, width + 2, kRows + 2}, 0, 255, 0xFFFFFF, false}))
            << "bits " << (is32 ? 32 : 16) << " alpha " << alpha << " width " << width;
      }
    }
  }
}

}  // namespace
