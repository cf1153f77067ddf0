// Every loop of the 2-D triangle against the slow model, byte for byte: each
// depth, source kind, blend mode, blend graph, tint and transparent flag, on
// seeded random images and triangles that cross the clip rectangle.
#include <string>

#include "softrender/test_support.h"
#include "softrender/triangle2d.h"
#include "softrender/triangle2d_reference.h"

namespace {

enum class Kind { Flat, Direct, Alpha, Palette };

struct Config {
  int Depth;
  Kind K;
  int Mode;
  bool Graph, Tint, Key;
  std::string Name() const {
    const char* kinds[] = {"flat", "direct", "alpha", "palette"};
    return std::to_string(Depth) + "-bit " + kinds[int(K)] + " mode " + std::to_string(Mode) +
           (Graph ? " graph" : "") + (Tint ? " tint" : "") + (Key ? " key" : "");
  }
};

std::vector<Config> AllConfigs() {
  std::vector<Config> out;
  const int modes[] = {0, 1, 2, 3, 4, 10, 11};
  for (int depth : {16, 32})
    for (int mode : modes) {
      out.push_back({depth, Kind::Flat, mode, false, false, false});
      for (Kind k : {Kind::Direct, Kind::Alpha, Kind::Palette})
        for (int flags = 0; flags < 8; ++flags)
          out.push_back({depth, k, mode, bool(flags & 4), bool(flags & 2), bool(flags & 1)});
    }
  return out;
}

// A texture that is a view inside a larger image, so that the view's limits
// are what stops the reads. A quarter of its texels equal its key.
struct Texture {
  TestImg Whole;
  MEMIMG View{};
  ~Texture() { TerminateMemImg(&View); }
};

void FillTexture(Texture& t, const Config& c, std::mt19937& rng) {
  const MemImgColorType type = c.Depth == 32 ? MEMIMG_TYPE_XRGB32 : MEMIMG_TYPE_RGB565;
  const bool palette = c.K == Kind::Palette, alpha = c.K == Kind::Alpha;
  ASSERT_EQ(0, t.Whole.Make(19, 17, type, palette, alpha));
  const MemImgBase* b = t.Whole.m.Base;
  for (size_t i = 0; i < t.Whole.Bytes(); ++i) b->Pixels[i] = uint8_t(rng());
  if (palette)
    for (int i = 0; i < 1024; ++i) b->Palette[i] = uint8_t(rng());
  const int texel = palette ? 1 : alpha ? 4 : c.Depth / 8;
  // The key: a texel value (the index for a palette texture).
  uint32_t key = 0;
  std::memcpy(&key, b->Pixels + 5 * b->Pitch + 7 * texel, palette ? 1 : c.Depth / 8);
  t.Whole.m.Base->TransColor = key;
  for (int y = 0; y < 17; ++y)
    for (int x = 0; x < 19; ++x) {
      uint8_t* p = b->Pixels + y * b->Pitch + x * texel;
      const uint32_t pick = rng() % 8;
      if (pick < 2) std::memcpy(p, &key, palette ? 1 : c.Depth / 8);
      if (alpha)
        p[c.Depth == 32 ? 3 : 2] = pick == 2   ? 0
                                   : pick == 3 ? 255
                                   : pick == 4 ? 254
                                   : pick == 5 ? 1
                                               : uint8_t(rng());
    }
  DeriveMemImg(&t.View, &t.Whole.m, 3, 2, 13, 11);
}

uint32_t PickParam(int i, std::mt19937& rng) {
  const uint32_t fixed[] = {0, 1, 127, 128, 254, 255};
  return i < 6 ? fixed[i] : 2 + rng() % 252;
}

uint32_t PickTint(bool tinted, std::mt19937& rng) {
  if (!tinted) return 0xFFFFFFu | (rng() << 24);  // the fourth byte plays no part
  switch (rng() % 4) {
    case 0:
      return 0xFFFFFEu;
    case 1:
      return 0xFEFFFFu;
    default: {
      uint32_t t;
      do t = rng() & 0xFFFFFFu;
      while (t == 0xFFFFFFu);
      return t;
    }
  }
}

class Triangle2DSweep : public SoftRenderTest {};

TEST_F(Triangle2DSweep, EveryLoopMatchesTheModel) {
  std::mt19937 rng(20261207);
  const std::vector<Config> configs = AllConfigs();
  ASSERT_EQ(350u, configs.size());
  for (const Config& c : configs) {
    SCOPED_TRACE(c.Name());
    Texture tex;
    if (c.K != Kind::Flat) FillTexture(tex, c, rng);
    TestImg graph;
    ASSERT_EQ(0, graph.Make(16, 14, MEMIMG_TYPE_GRAY8));
    for (size_t i = 0; i < graph.Bytes(); ++i) graph.m.Base->Pixels[i] = uint8_t(rng());
    BuildBlendGraphLevelTable(int(rng() % 256), int(rng() % 256));
    const MemImgColorType type = c.Depth == 32 ? MEMIMG_TYPE_XRGB32 : MEMIMG_TYPE_RGB565;
    TestImg lib, ref;
    ASSERT_EQ(0, lib.Make(64, 48, type));
    ASSERT_EQ(0, ref.Make(64, 48, type));
    for (int pi = 0; pi < 7; ++pi) {
      RefBlendState st{{int(rng() % 8), int(rng() % 8), 56 + int(rng() % 9), 40 + int(rng() % 9)},
                       c.Mode,
                       int(PickParam(pi, rng)),
                       PickTint(c.Tint, rng),
                       bool(rng() & 1)};
      ApplyState(st);
      for (int trial = 0; trial < 4; ++trial) {
        for (size_t i = 0; i < lib.Bytes(); ++i) lib.m.Base->Pixels[i] = uint8_t(rng());
        ref.Restore(lib.Snapshot());
        MemImgVertex2D v[3];
        for (MemImgVertex2D& p : v) {
          p.x = int(rng() % 88) - 12;
          p.y = int(rng() % 72) - 12;
          p.u = int(rng() % 20) - 3;
          p.v = int(rng() % 18) - 3;
        }
        const uint32_t colour = c.Depth == 32 ? uint32_t(rng()) : uint32_t(rng() & 0xFFFF);
        const MEMIMG* t = c.K == Kind::Flat ? nullptr : &tex.View;
        const MEMIMG* g = c.Graph ? &graph.m : nullptr;
        DrawMemImgTriangle2D(&lib.m, t, v, c.Key, g, colour);
        RefDrawTriangle2D(&ref.m, t, v, c.Key, g, colour, st);
        ASSERT_EQ(ref.Snapshot(), lib.Snapshot())
            << "p " << st.Param << " tint " << std::hex << st.Tint << std::dec << " vertices (" << v[0].x
            << "," << v[0].y << ";" << v[0].u << "," << v[0].v << ") (" << v[1].x << "," << v[1].y << ";"
            << v[1].u << "," << v[1].v << ") (" << v[2].x << "," << v[2].y << ";" << v[2].u << "," << v[2].v
            << ")";
      }
    }
  }
}

TEST_F(Triangle2DSweep, SliversWithSaturatedGradientsMatchTheModel) {
  // Nearly collinear vertices with far-apart texture coordinates: the
  // gradients saturate and the coordinates wrap along a span.
  std::mt19937 rng(99);
  for (MemImgColorType type : {MEMIMG_TYPE_XRGB32, MEMIMG_TYPE_RGB565}) {
    TestImg tex, lib, ref;
    ASSERT_EQ(0, tex.Make(8192, 1, type));
    for (size_t i = 0; i < tex.Bytes(); ++i) tex.m.Base->Pixels[i] = uint8_t(rng());
    ASSERT_EQ(0, lib.Make(96, 64, type));
    ASSERT_EQ(0, ref.Make(96, 64, type));
    int drawn = 0;
    for (int trial = 0; trial < 400; ++trial) {
      RefBlendState st{{0, 0, 96, 64}, int(rng() % 2), 200, 0xFFFFFF, false};
      ApplyState(st);
      const int dx = 20 + int(rng() % 40), dy = 1 + int(rng() % 3);
      const int x0 = int(rng() % 20) - 10, y0 = int(rng() % 60);
      // V stays 0; U steps by up to 2^31 per column across a texture 8,192 wide.
      const int x2 = x0 + 2 * dx + int(rng() % 3) - 1;
      MemImgVertex2D v[3] = {{x0, y0, int(rng() % 8001) - 4000, 0},
                             {x0 + dx, y0 + dy, int(rng() % 8001) - 4000, 0},
                             {x2, y0 + 2 * dy, int(rng() % 8001) - 4000, 0}};
      for (size_t i = 0; i < lib.Bytes(); ++i) lib.m.Base->Pixels[i] = uint8_t(rng());
      const std::vector<uint8_t> before = lib.Snapshot();
      ref.Restore(before);
      DrawMemImgTriangle2D(&lib.m, &tex.m, v, 0, nullptr, 0);
      RefDrawTriangle2D(&ref.m, &tex.m, v, 0, nullptr, 0, st);
      ASSERT_EQ(ref.Snapshot(), lib.Snapshot()) << "trial " << trial;
      drawn += lib.Snapshot() != before ? 1 : 0;
    }
    EXPECT_GT(drawn, 0);
  }
}

}  // namespace
