// DrawMemImg against the reference model, byte for byte, over the space of
// depth x source kind x mode x tint x blend graph x transparent flag x
// parameter x MMX flag x clipping x run table, on seeded random images.
#include <cstdio>

#include "softrender/test_support.h"

namespace {

constexpr int kDestW = 17, kDestH = 12;
constexpr int kSrcW = 9, kSrcH = 7;
const Rect kClip = {2, 2, 15, 10};  // a two-pixel sentinel border around it

// Image sizes of one sweep: the clip keeps a two-pixel border; "unclipped"
// places the source anywhere inside the clip.
struct SweepSize {
  int DestW, DestH, SrcW, SrcH;
};
const SweepSize kSmall = {kDestW, kDestH, kSrcW, kSrcH};
const SweepSize kWide = {80, 8, 70, 3};  // runs longer than 64, whole vector steps

enum SrcSort { kDirect, kAlpha, kPalette };

struct Sources {
  TestImg src, graph, dest;
  std::vector<uint8_t> destInit;
};

// Source pixels where the key (or alpha 0 and 255) is common, in runs of
// random length so that run tables hold short and long runs alike.
void RandomiseSource(TestImg& img, SrcSort sort, bool is32, std::mt19937& rng) {
  MemImgBase* b = img.m.Base;
  std::uniform_int_distribution<uint32_t> any(0, 0xFFFFFFFFu);
  for (size_t i = 0; i < img.Bytes(); ++i) b->Pixels[i] = static_cast<uint8_t>(any(rng));
  if (sort == kPalette) {
    b->TransColor = rng() % 4 == 0 ? 0xFFFF : any(rng) & 0xFF;  // 0xFFFF: no key
    for (int i = 0; i < 1024; ++i) b->Palette[i] = static_cast<uint8_t>(any(rng));
  } else if (sort == kDirect) {
    // A 16-bit key may carry high bits that the 16-bit pixel never has.
    b->TransColor = is32 ? any(rng) : (rng() % 4 == 0 ? (any(rng) | 0x10000) : any(rng) & 0xFFFF);
  }
  int runLeft = 0;
  uint32_t pick = 0;
  for (int y = 0; y < img.m.Height; ++y)
    for (int x = 0; x < img.m.Width; ++x) {
      if (runLeft-- <= 0) {
        runLeft = rng() % 2 ? static_cast<int>(rng() % 3) : static_cast<int>(rng() % 90);
        pick = rng() % 3;
      }
      uint8_t* p = img.At(x, y);
      if (sort == kAlpha) {
        p[is32 ? 3 : 2] = pick == 0 ? 0 : pick == 1 ? 255 : static_cast<uint8_t>(any(rng));
      } else if (pick == 0) {
        if (sort == kPalette)
          *p = static_cast<uint8_t>(b->TransColor);
        else if (is32)
          img.Set32(x, y, b->TransColor);
        else
          img.Set16(x, y, b->TransColor);
      }
    }
}

struct Placement {
  int X, Y;
};

// Unclipped inside the clip rectangle, or cut by it (or wholly outside).
Placement PickPlacement(const SweepSize& z, bool clipped, std::mt19937& rng) {
  const int freeX = z.DestW - 4 - z.SrcW + 1, freeY = z.DestH - 4 - z.SrcH + 1;
  if (!clipped) return {2 + static_cast<int>(rng() % freeX), 2 + static_cast<int>(rng() % freeY)};
  const Placement kCut[] = {{-3, 4},          {z.DestW - 7, 1}, {5, z.DestH - 6}, {0, -4},
                            {z.DestW - 5, 8}, {z.DestW + 3, 3}, {-z.SrcW, -7},    {3, 5}};
  return kCut[rng() % 8];
}

int RunSweep(const SweepSize& z, uint32_t seed, int pStride, int* drawsOut) {
  const Rect clip = {2, 2, z.DestW - 2, z.DestH - 2};
  static const int kModes[] = {0, 1, 2, 3, 4, 10, 11, 5, 9, 12, -1};
  static const int kParams[] = {0, 1, 127, 128, 129, 254, 255, -2};
  std::mt19937 rng(seed);
  int failures = 0, draws = 0;
  for (int depth = 0; depth < 2; ++depth) {
    const bool is32 = depth == 1;
    const MemImgColorType type = is32 ? MEMIMG_TYPE_XRGB32 : MEMIMG_TYPE_RGB565;
    for (int sortI = 0; sortI < 3; ++sortI) {
      const SrcSort sort = static_cast<SrcSort>(sortI);
      for (int runTable = 0; runTable < 2; ++runTable) {
        Sources s;
        if (s.dest.Make(z.DestW, z.DestH, type, 0, 0, 0, z.DestW * (is32 ? 4 : 2) + 12) != 0) return -1;
        if (s.src.Make(z.SrcW, z.SrcH, type, sort == kPalette, sort == kAlpha, runTable) != 0) return -1;
        if (s.graph.Make(z.SrcW + 1, z.SrcH, MEMIMG_TYPE_GRAY8) != 0) return -1;
        for (int modeI = 0; modeI < 11; ++modeI) {
          for (int combo = 0; combo < 16; ++combo) {
            const bool tint = combo & 1, graph = combo & 2, trans = combo & 4, clipped = combo & 8;
            for (int pI = static_cast<int>(rng() % pStride); pI < 8; pI += pStride) {
              {
                const bool mmx = rng() % 2 == 0;  // sampled: it matters to 32-bit fast loops only
                RandomiseSource(s.src, sort, is32, rng);
                for (size_t i = 0; i < s.graph.Bytes(); ++i)
                  s.graph.m.Base->Pixels[i] = static_cast<uint8_t>(rng());
                BuildBlendGraphLevelTable(static_cast<int>(rng() % 256), static_cast<int>(rng() % 256));
                if (runTable) BuildMemImgRunTable(&s.src.m);
                std::vector<uint8_t> init(s.dest.Bytes());
                for (auto& v : init) v = static_cast<uint8_t>(rng());
                RefBlendState st;
                st.Clip = clip;
                st.Mode = kModes[modeI];
                st.Param = kParams[pI] >= 0 ? kParams[pI] : static_cast<int>(rng() % 256);
                st.Tint = tint ? (rng() & 0xFFFFFF) : 0xFFFFFF;
                if (tint && (st.Tint & 0xFFFFFF) == 0xFFFFFF) st.Tint = 0x80FF40;
                st.Mmx = mmx;
                const Placement pl = PickPlacement(z, clipped, rng);

                s.dest.Restore(init);
                RefDrawMemImg(&s.dest.m, &s.src.m, pl.X, pl.Y, trans, graph ? &s.graph.m : nullptr, st);
                const std::vector<uint8_t> want = s.dest.Snapshot();
                s.dest.Restore(init);
                ApplyState(st);
                DrawMemImg(&s.dest.m, &s.src.m, pl.X, pl.Y, trans, graph ? &s.graph.m : nullptr);
                ++draws;
                if (s.dest.Snapshot() != want) {
                  if (++failures <= 10)
                    ADD_FAILURE() << "seed " << seed << " bits " << (is32 ? 32 : 16) << " src " << sortI
                                  << " run " << runTable << " mode " << st.Mode << " p " << st.Param
                                  << " tint " << tint << " graph " << graph << " trans " << trans
                                  << " clipped " << clipped << " mmx " << mmx << " at " << pl.X << ","
                                  << pl.Y;
                }
              }
            }
          }
        }
      }
    }
  }
  *drawsOut = draws;
  return failures;
}

class BlitSweepTest : public SoftRenderTest {};

TEST_F(BlitSweepTest, EveryLoopMatchesTheReferenceModel) {
  int draws = 0;
  EXPECT_EQ(RunSweep(kSmall, 20261207u, 2, &draws), 0);
  EXPECT_GT(draws, 8000);
}

TEST_F(BlitSweepTest, EveryParameterOfASecondSeedMatches) {
  int draws = 0;
  EXPECT_EQ(RunSweep(kSmall, 77u, 4, &draws), 0);
}

TEST_F(BlitSweepTest, WideImagesWithLongRunsMatch) {
  int draws = 0;
  EXPECT_EQ(RunSweep(kWide, 4242u, 8, &draws), 0);
}

// A destination border outside the clip rectangle is never written, however
// the source is placed.
TEST_F(BlitSweepTest, SentinelBorderAroundTheClipIsNeverWritten) {
  std::mt19937 rng(5);
  for (int depth = 0; depth < 2; ++depth) {
    const MemImgColorType type = depth ? MEMIMG_TYPE_XRGB32 : MEMIMG_TYPE_RGB565;
    TestImg dest, src;
    ASSERT_EQ(dest.Make(kDestW, kDestH, type), 0);
    ASSERT_EQ(src.Make(kSrcW, kSrcH, type), 0);
    for (size_t i = 0; i < src.Bytes(); ++i) src.m.Base->Pixels[i] = static_cast<uint8_t>(rng() | 1);
    for (int mode : {0, 1, 2, 3, 4, 10, 11}) {
      for (int i = 0; i < 40; ++i) {
        std::memset(dest.m.Base->Pixels, 0xA5, dest.Bytes());
        ApplyState(RefBlendState{kClip, mode, 200, 0xFFFFFF, false});
        DrawMemImg(&dest.m, &src.m, static_cast<int>(rng() % 30) - 10, static_cast<int>(rng() % 24) - 8, 0,
                   nullptr);
        const int bpp = depth ? 4 : 2;
        for (int y = 0; y < kDestH; ++y)
          for (int x = 0; x < kDestW; ++x) {
            if (x >= kClip.Left && x < kClip.Right && y >= kClip.Top && y < kClip.Bottom) continue;
            for (int b = 0; b < bpp; ++b) ASSERT_EQ(dest.At(x, y)[b], 0xA5) << x << "," << y;
          }
      }
    }
  }
}

}  // namespace
