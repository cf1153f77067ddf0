// The 3-D triangle against the slow model, over every vertex-coloured loop
// and depth handling, and its worked examples.
#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

#include "softrender/test_support.h"
#include "softrender/triangle3d.h"
#include "softrender/triangle3d_reference.h"

namespace {

class Triangle3DTest : public SoftRenderTest {};

constexpr int kModes[] = {0, 1, 2, 3, 4, 10, 11};
enum Kind { kDirect, kAlpha, kPalette };

MemImgVertex3D Vx(float x, float y, float z = 0.5f, float rhw = 0.015625f, uint32_t bgra = 0xFFFFFFFFu,
                  float u = 0.5f, float v = 0.5f) {
  MemImgVertex3D m;
  m.X = x, m.Y = y, m.Z = z, m.W = rhw;
  m.Blue = uint8_t(bgra), m.Green = uint8_t(bgra >> 8), m.Red = uint8_t(bgra >> 16),
  m.Alpha = uint8_t(bgra >> 24);
  m.U = u, m.V = v;
  return m;
}

// A destination drawn whole under the blend mode.
void MakeTarget(TestImg& img, int w, int h, MemImgColorType type, int mode) {
  ASSERT_EQ(img.Make(w, h, type), 0);
  SetSoftClip(Rect{0, 0, w, h});
  SoftDrawState.BlendMode = mode;
}

// A right triangle from (0, 0) covering the square of the given size.
std::vector<MemImgVertex3D> Corner(float size, float z, uint32_t colour, float rhw = 0.015625f) {
  return {Vx(0, 0, z, rhw, colour), Vx(size, 0, z, rhw, colour), Vx(0, size, z, rhw, colour)};
}

void RandomBytes(TestImg& img, std::mt19937& rng) {
  for (size_t i = 0; i < img.Bytes(); ++i) img.m.Base->Pixels[i] = uint8_t(rng());
}

// A view into a larger image, which it keeps alive.
struct ViewImg {
  TestImg whole;
  MEMIMG m{};
  ViewImg() = default;
  ViewImg(const ViewImg&) = delete;
  ViewImg& operator=(const ViewImg&) = delete;
  ~ViewImg() { TerminateMemImg(&m); }
  void Derive(int x, int y, int w, int h) {
    TerminateMemImg(&m);
    DeriveMemImg(&m, &whole.m, x, y, w, h);
  }
};

// A texture of the kind with random texels, a view into a larger image; a
// key that some texels match.
void MakeTexture(ViewImg& view, int bits, Kind kind, std::mt19937& rng) {
  const MemImgColorType type = bits == 32 ? MEMIMG_TYPE_XRGB32 : MEMIMG_TYPE_RGB565;
  const int w = 5 + int(rng() % 12), h = 4 + int(rng() % 10), ox = int(rng() % 3), oy = int(rng() % 3);
  TestImg& t = view.whole;
  ASSERT_EQ(t.Make(w + ox + int(rng() % 3), h + oy + int(rng() % 3), type, kind == kPalette, kind == kAlpha),
            0);
  RandomBytes(t, rng);
  if (kind == kPalette) {
    for (int y = 0; y < t.m.Height; ++y)
      for (int x = 0; x < t.m.Width; ++x) t.m.Pixels[y * t.m.Base->Pitch + x] = uint8_t(rng() % 12);
    for (int i = 0; i < 1024; ++i) t.m.Base->Palette[i] = uint8_t(rng());
    t.m.Base->TransColor = rng() % 8 ? 5 : 261;  // above 255 never matches
  } else if (kind == kAlpha) {
    const int step = 4, aOff = bits == 32 ? 3 : 2;
    for (int y = 0; y < t.m.Height; ++y)
      for (int x = 0; x < t.m.Width; ++x) {
        const uint32_t r = rng() % 4;
        t.m.Pixels[y * t.m.Base->Pitch + x * step + aOff] = uint8_t(r == 0 ? 0 : r == 1 ? 255 : rng());
      }
  } else {
    // A few texels share the key, one equals it but for the fourth byte.
    uint32_t key = bits == 32 ? t.Get32(1, 1) : t.Get16(1, 1);
    t.m.Base->TransColor = key;
    for (int i = 0; i < 6; ++i) {
      const int x = ox + int(rng() % w), y = oy + int(rng() % h);
      if (bits == 32)
        t.Set32(x, y, i == 0 ? key ^ 0x01000000u : key);
      else
        t.Set16(x, y, key);
    }
  }
  view.Derive(ox, oy, w, h);
}

float Rf(std::mt19937& rng, float lo, float hi) { return lo + (hi - lo) * float(rng() % 100000) / 100000.0f; }

// Random triangles of several shapes over a 48 by 40 image.
void RandomTriangle(MemImgVertex3D* v, std::mt19937& rng, bool clipped) {
  for (int i = 0; i < 3; ++i) {
    v[i] = Vx(Rf(rng, -6, 54), Rf(rng, -6, 46), clipped ? Rf(rng, -0.6f, 1.6f) : Rf(rng, 0.0f, 1.0f),
              Rf(rng, 0.004f, 0.03f), uint32_t(rng()), Rf(rng, -0.1f, 1.1f), Rf(rng, -0.1f, 1.1f));
    if (rng() % 6 == 0) v[i].Alpha = rng() % 2 ? 0 : 255;
  }
  switch (rng() % 6) {
    case 0:  // flat top
      v[1].Y = v[0].Y;
      break;
    case 1:  // flat bottom, within one row
      v[2].Y = std::floor(v[1].Y) + Rf(rng, 0.05f, 0.45f);
      v[1].Y = std::floor(v[1].Y) + Rf(rng, 0.55f, 0.95f);
      break;
    case 2: {  // near the smallest drawn size
      const float h = Rf(rng, 1.0f, 1.3f);
      v[1].Y = v[0].Y + h;
      v[2].Y = v[0].Y + Rf(rng, 0.0f, h);
      v[1].X = v[0].X + Rf(rng, 1.0f, 1.4f);
      v[2].X = v[0].X + Rf(rng, 0.0f, 1.0f);
      break;
    }
    case 3:  // two vertices on the same column
      v[2].X = v[0].X;
      break;
    default:
      break;
  }
}

struct Case {
  int bits;
  Kind kind;
  int mode;
  bool graph, key;
  int depth;           // 0 none, 1 test, 2 test and write
  bool plain = false;  // the plain textured families: tint and parameter apply
  bool tint = false;   // (plain) a tint that is not white
};

size_t g_changedBytes = 0;

// The parameters worth testing, and now and then any other.
int PickParam(std::mt19937& rng) {
  constexpr int kParams[] = {0, 1, 127, 128, 254, 255};
  const uint32_t i = rng() % 8;
  return i < 6 ? kParams[i] : int(rng() % 256);
}

// Draws `count` random triangles through the library and the model, and
// compares both images byte for byte. The destination is a view inside a
// larger image whose border must stay as it was.
void CheckAgainstModel(const Case& c, std::mt19937& rng, int count, bool clipped) {
  const MemImgColorType type = c.bits == 32 ? MEMIMG_TYPE_XRGB32 : MEMIMG_TYPE_RGB565;
  ViewImg tex, dest, ref;
  TestImg graph, z, zref;
  MakeTexture(tex, c.bits, c.kind, rng);
  if (c.graph) {
    ASSERT_EQ(graph.Make(tex.m.Width + int(rng() % 3), tex.m.Height + int(rng() % 3), MEMIMG_TYPE_GRAY8), 0);
    RandomBytes(graph, rng);
  }
  ASSERT_EQ(dest.whole.Make(52, 43, type), 0);
  ASSERT_EQ(ref.whole.Make(52, 43, type), 0);
  dest.Derive(2, 1, 48, 40);
  ref.Derive(2, 1, 48, 40);
  ASSERT_EQ(z.Make(48, 40, MEMIMG_TYPE_DEPTH16), 0);
  ASSERT_EQ(zref.Make(48, 40, MEMIMG_TYPE_DEPTH16), 0);
  for (int n = 0; n < count; ++n) {
    RandomBytes(dest.whole, rng);
    const auto before = dest.whole.Snapshot();
    ref.whole.Restore(before);
    // Mostly far depths, so most pixels pass.
    RandomBytes(z, rng);
    for (size_t i = 1; i < z.Bytes(); i += 2) z.m.Base->Pixels[i] |= rng() % 4 ? 0xC0 : 0;
    zref.Restore(z.Snapshot());
    // Now and then a clip rectangle beyond the destination: it is cut to it.
    const Rect clip = rng() % 8
                          ? Rect{int(rng() % 6), int(rng() % 6), 48 - int(rng() % 6), 40 - int(rng() % 6)}
                          : Rect{-7, -3, 60, 45};
    SetSoftClip(clip);
    SoftDrawState.BlendMode = c.mode;
    // Read by the plain loops only; the fourth byte of the tint plays no part.
    SoftDrawState.Tint = c.plain && !c.tint ? (rng() & 0xFF000000u) | 0xFFFFFF : uint32_t(rng());
    if (c.plain && c.tint && (SoftDrawState.Tint & 0xFFFFFF) == 0xFFFFFF)
      SoftDrawState.Tint ^= 1u << (rng() % 24);
    SoftDrawState.BlendParam = c.plain ? PickParam(rng) : int(rng() % 256);
    MemImgVertex3D v[3];
    RandomTriangle(v, rng, clipped);
    const int clipFlag = clipped ? 1 : 0;
    const int pieceZ = int(rng() % 2);
    MEMIMG* zi = c.depth ? &z.m : nullptr;
    const bool zw = c.depth == 2;
    const bool useTexture = rng() % 8 != 0;
    const MEMIMG* t = useTexture ? &tex.m : nullptr;
    const MEMIMG* g = c.graph && useTexture ? &graph.m : nullptr;
    const int vertexColour = c.plain ? 0 : 1;
    EXPECT_EQ(DrawMemImgTriangle3D(&dest.m, zi, t, v, c.key, g, zw, pieceZ, vertexColour, clipFlag), 0);
    RefTriangle3DArgs a{&ref.m,
                        c.depth ? &zref.m : nullptr,
                        t,
                        g,
                        c.key,
                        zw,
                        pieceZ,
                        clipFlag,
                        c.mode,
                        clip,
                        vertexColour,
                        SoftDrawState.BlendParam,
                        SoftDrawState.Tint};
    RefDrawTriangle3D(a, v);
    const auto drawn = dest.whole.Snapshot();
    g_changedBytes +=
        size_t(std::inner_product(drawn.begin(), drawn.end(), before.begin(), size_t(0), std::plus<>(),
                                  [](uint8_t x, uint8_t y) { return size_t(x != y); }));
    ASSERT_EQ(drawn, ref.whole.Snapshot())
        << "bits " << c.bits << " kind " << c.kind << " mode " << c.mode << " graph " << c.graph << " key "
        << c.key << " depth " << c.depth << " plain " << c.plain << " tint " << c.tint << " p "
        << SoftDrawState.BlendParam << " triangle " << n;
    ASSERT_EQ(z.Snapshot(), zref.Snapshot()) << "depth image, triangle " << n;
  }
}

// Every loop of both vertex-coloured families under the three depth
// handlings, on random triangles, clipped in depth or not.
TEST_F(Triangle3DTest, EveryVertexColouredLoopMatchesTheModel) {
  std::mt19937 rng(3);
  for (int bits : {32, 16})
    for (Kind kind : {kDirect, kAlpha, kPalette})
      for (int mode : kModes)
        for (int graph = 0; graph < 2; ++graph)
          for (int key = 0; key < 2; ++key)
            for (int depth = 0; depth < 3; ++depth) {
              BuildBlendGraphLevelTable(int(rng() % 256), int(rng() % 256));
              const Case c{bits, kind, mode, graph != 0, key != 0, depth};
              CheckAgainstModel(c, rng, 6, false);
              CheckAgainstModel(c, rng, 2, true);
              if (HasFatalFailure()) return;
            }
  // The triangles really drew: about a fifth of the pixels each on average.
  EXPECT_GT(g_changedBytes, size_t(504 * 8 * 48 * 40 / 10)) << g_changedBytes;
}

// Every loop of the three plain textured families (direct colour over 32-bit
// pixels, over 16-bit pixels, palette at both) under the three depth
// handlings, with white and random tints, the parameters' edge values and
// random level tables.
TEST_F(Triangle3DTest, EveryTexturedLoopMatchesTheModel) {
  std::mt19937 rng(17);
  g_changedBytes = 0;
  for (int bits : {32, 16})
    for (Kind kind : {kDirect, kAlpha, kPalette})
      for (int mode : kModes)
        for (int flags = 0; flags < 8; ++flags)
          for (int depth = 0; depth < 3; ++depth) {
            BuildBlendGraphLevelTable(int(rng() % 256), int(rng() % 256));
            const Case c{bits, kind, mode, (flags & 4) != 0, (flags & 1) != 0, depth, true, (flags & 2) != 0};
            CheckAgainstModel(c, rng, 5, false);
            CheckAgainstModel(c, rng, 2, true);
            if (HasFatalFailure()) return;
          }
  EXPECT_GT(g_changedBytes, size_t(1008 * 7 * 48 * 40 / 12)) << g_changedBytes;
}

// A single call draws a triangle much taller than the span table.
TEST_F(Triangle3DTest, TallTargetsDrawInChunksOfRows) {
  std::mt19937 rng(5);
  TestImg dest, ref;
  ASSERT_EQ(dest.Make(64, 5000, MEMIMG_TYPE_RGB565), 0);
  ASSERT_EQ(ref.Make(64, 5000, MEMIMG_TYPE_RGB565), 0);
  RandomBytes(dest, rng);
  const auto init = dest.Snapshot();
  ref.Restore(init);
  SetSoftClip(Rect{0, 0, 64, 5000});
  SoftDrawState.BlendMode = 1;
  const MemImgVertex3D v[3] = {Vx(2, -3, 0.5f, 0.01f, 0x80FF8040u, 0, 0),
                               Vx(63.5f, 2500, 0.5f, 0.02f, 0x40FFFFFFu, 1, 0),
                               Vx(10, 4999.7f, 0.5f, 0.03f, 0xFF000000u, 0, 1)};
  DrawMemImgTriangle3D(&dest.m, nullptr, nullptr, v, 0, nullptr, 0, 0, 1, 0);
  RefDrawTriangle3D(RefTriangle3DArgs{&ref.m, nullptr, nullptr, nullptr, 0, 0, 0, 0, 1, {0, 0, 64, 5000}}, v);
  EXPECT_EQ(dest.Snapshot(), ref.Snapshot());
  // Rows past the first 4,096 are drawn too.
  const size_t row = size_t(4500) * dest.m.Base->Pitch;
  EXPECT_FALSE(std::equal(init.begin() + row, init.begin() + row + 128, dest.m.Base->Pixels + row));
}

// Far from the screen origin the planes' origin values leave 32 bits; they
// wrap, as every step does, and the pixels keep their true values.
TEST_F(Triangle3DTest, PlanesFarFromTheOriginWrap) {
  TestImg dest, ref;
  MakeTarget(dest, 8000, 4, MEMIMG_TYPE_XRGB32, 0);
  ASSERT_EQ(ref.Make(8000, 4, MEMIMG_TYPE_XRGB32), 0);
  dest.Fill32(0);
  ref.Fill32(0);
  const MemImgVertex3D v[3] = {Vx(6000.2f, 0.2f, 0.5f, 0.015625f, 0xFF000000u),
                               Vx(6004.2f, 0.2f, 0.5f, 0.015625f, 0xFFFF0000u),
                               Vx(6000.2f, 3.8f, 0.5f, 0.015625f, 0xFF000000u)};
  DrawMemImgTriangle3D(&dest.m, nullptr, nullptr, v, 0, nullptr, 0, 0, 1, 0);
  RefDrawTriangle3D(RefTriangle3DArgs{&ref.m, nullptr, nullptr, nullptr, 0, 0, 0, 0, 0, {0, 0, 8000, 4}}, v);
  EXPECT_EQ(dest.Snapshot(), ref.Snapshot());
  // Red rises by 255 / 4 per column from the left edge: about 83 at 6001.5.
  const uint32_t red = dest.Get32(6001, 1) >> 16 & 255;
  EXPECT_GE(red, 75u);
  EXPECT_LE(red, 90u);
}

// Nothing lands outside the destination view, whatever the clip rectangle.
TEST_F(Triangle3DTest, NothingOutsideClipAndDestination) {
  TestImg big;
  ASSERT_EQ(big.Make(40, 30, MEMIMG_TYPE_XRGB32), 0);
  big.Fill32(0x11223344u);
  MEMIMG view{};
  DeriveMemImg(&view, &big.m, 10, 8, 20, 12);
  SetSoftClip(Rect{-100, -100, 1000, 1000});
  SoftDrawState.BlendMode = 0;
  const MemImgVertex3D v[3] = {Vx(-50, -40), Vx(200, -10), Vx(-20, 300)};
  DrawMemImgTriangle3D(&view, nullptr, nullptr, v, 0, nullptr, 0, 0, 1, 0);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      const bool inside = x >= 10 && x < 30 && y >= 8 && y < 20;
      EXPECT_EQ(big.Get32(x, y), inside ? 0x11FEFEFEu : 0x11223344u) << x << "," << y;
    }
  TerminateMemImg(&view);
}

// Row and column coverage by pixel centres; top and bottom exclusive.
TEST_F(Triangle3DTest, PixelCentresDecideCoverage) {
  TestImg d;
  MakeTarget(d, 16, 16, MEMIMG_TYPE_XRGB32, 0);
  auto rowPixels = [&](int y) {
    std::vector<int> xs;
    for (int x = 0; x < 16; ++x)
      if (d.Get32(x, y) != 0) xs.push_back(x);
    return xs;
  };
  auto draw = [&](std::initializer_list<MemImgVertex3D> l) {
    d.Fill32(0);
    std::vector<MemImgVertex3D> v(l);
    DrawMemImgTriangle3D(&d.m, nullptr, nullptr, v.data(), 0, nullptr, 0, 0, 1, 0);
  };
  draw({Vx(2.5f, 0), Vx(5.5f, 0), Vx(5.5f, 100)});
  EXPECT_EQ(rowPixels(0), (std::vector<int>{3, 4, 5}));
  draw({Vx(2.4f, 0), Vx(5.4f, 0), Vx(5.4f, 100)});
  EXPECT_EQ(rowPixels(0), (std::vector<int>{2, 3, 4}));
  draw({Vx(0, 2.5f), Vx(10, 2.5f), Vx(10, 9)});
  EXPECT_TRUE(rowPixels(2).empty());
  EXPECT_FALSE(rowPixels(3).empty());
  draw({Vx(0, 2.4f), Vx(10, 2.4f), Vx(10, 9)});
  EXPECT_FALSE(rowPixels(2).empty());
  // 1.0 pixel tall draws nothing; the height must reach 1.1.
  draw({Vx(0, 10), Vx(12, 10), Vx(6, 11)});
  EXPECT_TRUE(rowPixels(10).empty());
  // A right edge between -0.5 and 0.5 does not reach column 0.
  draw({Vx(-8, 0), Vx(0.3f, 0), Vx(0.3f, 12)});
  EXPECT_TRUE(rowPixels(5).empty());
}

// A triangle whose middle vertex lies just below the top row centre is not
// taken as flat: the short edge bounds row 2.
TEST_F(Triangle3DTest, NearlyFlatTopKeepsItsShortEdge) {
  TestImg d;
  ASSERT_EQ(d.Make(128, 24, MEMIMG_TYPE_RGB565), 0);
  d.Fill16(0);
  SetSoftClip(Rect{0, 0, 128, 24});
  SoftDrawState.BlendMode = 0;
  const MemImgVertex3D v[3] = {Vx(0, 2.2f), Vx(100, 2.8f), Vx(50, 20)};
  DrawMemImgTriangle3D(&d.m, nullptr, nullptr, v, 0, nullptr, 0, 0, 1, 0);
  EXPECT_NE(d.Get16(40, 2), 0u);
  EXPECT_EQ(d.Get16(60, 2), 0u);
  EXPECT_EQ(d.Get16(99, 2), 0u);
}

// A triangle flat at the top (no row centre between its two upper vertices)
// or at the bottom whose long edge passes the middle vertex's row on the far
// side of it: the side of each edge is settled by where the long edge
// crosses that row, not by which of the two flat vertices has the smaller x
// (that choice would swap the edges and leave every span empty). Every pixel
// whose centre lies clearly inside is drawn, none clearly outside.
TEST_F(Triangle3DTest, FlatTrianglesLeaningPastTheirMiddleVertexDraw) {
  TestImg d;
  MakeTarget(d, 128, 24, MEMIMG_TYPE_XRGB32, 0);
  auto check = [&](float x0, float y0, float x1, float y1, float x2, float y2) {
    SCOPED_TRACE(testing::Message() << "(" << x0 << "," << y0 << ") (" << x1 << "," << y1 << ") (" << x2
                                    << "," << y2 << ")");
    d.Fill32(0);
    const MemImgVertex3D v[3] = {Vx(x0, y0), Vx(x1, y1), Vx(x2, y2)};
    DrawMemImgTriangle3D(&d.m, nullptr, nullptr, v, 0, nullptr, 0, 0, 1, 0);
    // Signed distances of a point from the three edges, positive inside.
    const double px[3] = {x0, x1, x2}, py[3] = {y0, y1, y2};
    const double turn = (px[1] - px[0]) * (py[2] - py[0]) - (py[1] - py[0]) * (px[2] - px[0]);
    auto nearestEdge = [&](double x, double y) {
      double least = 1e9;
      for (int i = 0; i < 3; ++i) {
        const int j = (i + 1) % 3;
        const double ex = px[j] - px[i], ey = py[j] - py[i];
        const double side = (ex * (y - py[i]) - ey * (x - px[i])) * (turn > 0 ? 1 : -1);
        least = std::min(least, side / std::hypot(ex, ey));
      }
      return least;
    };
    int drawn = 0, inside = 0;
    for (int y = 0; y < 24; ++y)
      for (int x = 0; x < 128; ++x) {
        const double e = nearestEdge(x + 0.5, y + 0.5);
        const bool on = d.Get32(x, y) != 0;
        drawn += on;
        if (e > 0.02) {
          ++inside;
          EXPECT_TRUE(on) << "pixel " << x << "," << y;
        } else if (e < -0.02) {
          EXPECT_FALSE(on) << "pixel " << x << "," << y;
        }
      }
    EXPECT_GE(inside, 25);
    EXPECT_GE(drawn, inside);
  };
  // Flat top: the top vertex is left of the middle one, but the long edge
  // meets the middle vertex's row 6 pixels right of it; and mirrored.
  check(2, 1.55f, 3, 2.5f, 118, 20);
  check(125, 1.55f, 124, 2.5f, 9, 20);
  // Flat bottom: the bottom vertex is left of the middle one, but the long
  // edge meets the middle vertex's row right of it; and mirrored.
  check(118, 2, 3, 19.55f, 2, 20.45f);
  check(9, 2, 124, 19.55f, 125, 20.45f);
}

// Two triangles sharing an edge (convex quadrangles cut on a diagonal)
// blend every covered pixel exactly once.
TEST_F(Triangle3DTest, SharedEdgesDrawEachPixelOnce) {
  std::mt19937 rng(9);
  TestImg d;
  MakeTarget(d, 64, 64, MEMIMG_TYPE_XRGB32, 2);
  for (int iter = 0; iter < 200; ++iter) {
    d.Fill32(0);
    // A convex quadrangle: four points on an ellipse in angle order.
    const float cx = Rf(rng, 20, 44), cy = Rf(rng, 20, 44), rx = Rf(rng, 4, 20), ry = Rf(rng, 4, 20);
    float ang[4];
    for (float& a : ang) a = Rf(rng, 0, 6.2831f);
    std::sort(ang, ang + 4);
    MemImgVertex3D q[4];
    for (int i = 0; i < 4; ++i)
      q[i] = Vx(cx + rx * std::cos(ang[i]), cy + ry * std::sin(ang[i]), 0.5f, 0.015625f, 0xFF101010u);
    const MemImgVertex3D a[3] = {q[0], q[1], q[2]}, b[3] = {q[2], q[3], q[0]};
    DrawMemImgTriangle3D(&d.m, nullptr, nullptr, a, 0, nullptr, 0, 0, 1, 0);
    DrawMemImgTriangle3D(&d.m, nullptr, nullptr, b, 0, nullptr, 0, 0, 1, 0);
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) {
        const uint32_t p = d.Get32(x, y);
        ASSERT_TRUE(p == 0 || p == 0x000F0F0Fu) << std::hex << p << std::dec << " at " << x << "," << y;
      }
  }
}

// With distinct x and distinct y, the order of the vertices does not matter.
TEST_F(Triangle3DTest, VertexOrderDoesNotMatter) {
  std::mt19937 rng(21);
  TestImg d;
  MakeTarget(d, 48, 40, MEMIMG_TYPE_XRGB32, 1);
  for (int iter = 0; iter < 60; ++iter) {
    MemImgVertex3D v[3];
    RandomTriangle(v, rng, false);
    if (v[0].X == v[1].X || v[1].X == v[2].X || v[0].X == v[2].X || v[0].Y == v[1].Y || v[1].Y == v[2].Y ||
        v[0].Y == v[2].Y) {
      continue;
    }
    const int perm[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
    std::vector<uint8_t> first;
    for (const auto& p : perm) {
      d.Fill32(0x00808080u);
      const MemImgVertex3D w[3] = {v[p[0]], v[p[1]], v[p[2]]};
      DrawMemImgTriangle3D(&d.m, nullptr, nullptr, w, 0, nullptr, 0, 0, 1, 0);
      if (first.empty()) first = d.Snapshot();
      ASSERT_EQ(d.Snapshot(), first) << "triangle " << iter;
    }
  }
}

// Depth: nearer wins in either order, equal depths pass, depth 1 and beyond
// store the farthest value, negative depths the nearest.
TEST_F(Triangle3DTest, DepthTestAndWrite) {
  TestImg d, z;
  ASSERT_EQ(d.Make(32, 32, MEMIMG_TYPE_XRGB32), 0);
  MakeTarget(z, 32, 32, MEMIMG_TYPE_DEPTH16, 0);
  auto tri = [](float z, uint32_t colour) { return Corner(64, z, colour); };
  const auto nearT = tri(0.25f, 0xFF0000FFu), farT = tri(0.75f, 0xFFFF0000u);
  for (int order = 0; order < 2; ++order) {
    d.Fill32(0);
    z.Fill16(0xFFFF);
    const auto& a = order ? farT : nearT;
    const auto& b = order ? nearT : farT;
    DrawMemImgTriangle3D(&d.m, &z.m, nullptr, a.data(), 0, nullptr, 1, 0, 1, 0);
    DrawMemImgTriangle3D(&d.m, &z.m, nullptr, b.data(), 0, nullptr, 1, 0, 1, 0);
    EXPECT_EQ(d.Get32(5, 5), 0x000000FEu);
    EXPECT_EQ(z.Get16(5, 5), 0x4000u);
  }
  // Equal depth passes, one above fails.
  for (int stored : {0x8000, 0x7FFF}) {
    d.Fill32(0);
    z.Fill16(uint32_t(stored));
    const auto half = tri(0.5f, 0xFFFFFFFFu);
    DrawMemImgTriangle3D(&d.m, &z.m, nullptr, half.data(), 0, nullptr, 0, 0, 1, 0);
    EXPECT_EQ(d.Get32(3, 3) != 0, stored == 0x8000);
    EXPECT_EQ(z.Get16(3, 3), uint32_t(stored));  // no write without the flag
  }
  {
    d.Fill32(0);
    z.Fill16(0x8000);
    const auto above = tri(32769.0f / 65536.0f, 0xFFFFFFFFu);
    DrawMemImgTriangle3D(&d.m, &z.m, nullptr, above.data(), 0, nullptr, 1, 0, 1, 0);
    EXPECT_EQ(d.Get32(3, 3), 0u);
    EXPECT_EQ(z.Get16(3, 3), 0x8000u);
  }
  // Depth rising from 0.5 past 1.0 across the triangle: the far pixels store
  // 0xFFFF, never a wrapped near value; negative depths store 0.
  {
    z.Fill16(0xFFFF);
    const MemImgVertex3D v[3] = {Vx(0, 0, 0.5f), Vx(32, 0, 2.0f), Vx(0, 32, 0.5f)};
    DrawMemImgTriangle3D(&d.m, &z.m, nullptr, v, 0, nullptr, 1, 0, 1, 0);
    EXPECT_EQ(z.Get16(28, 1), 0xFFFFu);
    EXPECT_LT(z.Get16(1, 1), 0xA000u);
    const MemImgVertex3D n[3] = {Vx(0, 0, 0.5f), Vx(32, 0, -1.0f), Vx(0, 32, 0.5f)};
    DrawMemImgTriangle3D(&d.m, &z.m, nullptr, n, 0, nullptr, 1, 0, 1, 0);
    EXPECT_EQ(z.Get16(28, 1), 0u);
  }
  // Every vertex at depth 1 draws nothing; the nearest at 0.999 draws.
  for (float nearest : {1.0f, 0.999f}) {
    d.Fill32(0);
    const MemImgVertex3D v[3] = {Vx(0, 0, nearest), Vx(32, 0, 1.0f), Vx(0, 32, 1.0f)};
    DrawMemImgTriangle3D(&d.m, nullptr, nullptr, v, 0, nullptr, 0, 0, 1, 0);
    EXPECT_EQ(d.Get32(2, 2) != 0, nearest < 1.0f);
  }
  // A pixel whose texel falls outside the texture still writes its depth.
  {
    d.Fill32(0);
    z.Fill16(0xFFFF);
    std::vector<MemImgVertex3D> out = tri(0.25f, 0xFFFFFFFFu);
    for (auto& p : out) p.U = 2.0f;
    DrawMemImgTriangle3D(&d.m, &z.m, nullptr, out.data(), 0, nullptr, 1, 0, 1, 0);
    EXPECT_EQ(d.Get32(3, 3), 0u);
    EXPECT_EQ(z.Get16(3, 3), 0x4000u);
  }
}

// The perspective quotient: 2^29 / W with W = rhw * 2^26.
TEST_F(Triangle3DTest, TexelChoiceFollowsTheQuotient) {
  TestImg tex, d;
  ASSERT_EQ(tex.Make(64, 64, MEMIMG_TYPE_XRGB32), 0);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) tex.Set32(x, y, uint32_t(x) | uint32_t(y) << 8);
  MakeTarget(d, 16, 16, MEMIMG_TYPE_XRGB32, 0);
  for (float rhw : {0.015625f, 0.01f}) {
    d.Fill32(0);
    const auto v = Corner(16, 0.5f, 0xFFFFFFFFu, rhw);
    DrawMemImgTriangle3D(&d.m, nullptr, &tex.m, v.data(), 0, nullptr, 0, 0, 1, 0);
    const uint32_t t = rhw == 0.01f ? 31 : 32;
    const uint32_t c = (t * 255) >> 8;
    EXPECT_EQ(d.Get32(2, 2), c | c << 8) << rhw;
  }
}

// A W that reaches zero inside a span gives that pixel no colour and no
// arithmetic fault.
TEST_F(Triangle3DTest, WeightReachingZeroIsSkipped) {
  std::mt19937 rng(4);
  TestImg d, ref;
  ASSERT_EQ(d.Make(40, 20, MEMIMG_TYPE_XRGB32), 0);
  MakeTarget(ref, 40, 20, MEMIMG_TYPE_XRGB32, 0);
  for (int iter = 0; iter < 20; ++iter) {
    RandomBytes(d, rng);
    ref.Restore(d.Snapshot());
    const float w0 = Rf(rng, 0.001f, 0.02f);
    const MemImgVertex3D v[3] = {Vx(0, 0, 0.5f, w0), Vx(39.9f, 0, 0.5f, -w0 * Rf(rng, 0.5f, 2)),
                                 Vx(0, 19.9f, 0.5f, w0)};
    DrawMemImgTriangle3D(&d.m, nullptr, nullptr, v, 0, nullptr, 0, 0, 1, 0);
    RefDrawTriangle3D(RefTriangle3DArgs{&ref.m, nullptr, nullptr, nullptr, 0, 0, 0, 0, 0, {0, 0, 40, 20}}, v);
    ASSERT_EQ(d.Snapshot(), ref.Snapshot());
  }
}

// The vertex-coloured loops read neither tint nor blend parameter; white
// vertices darken by one step; mode 1 weighs by the vertex alpha.
TEST_F(Triangle3DTest, VertexColourWorkedExamples) {
  TestImg d, t16, d16;
  ASSERT_EQ(d.Make(8, 8, MEMIMG_TYPE_XRGB32), 0);
  SetSoftClip(Rect{0, 0, 8, 8});
  SoftDrawState.Tint = 0x404040;
  SoftDrawState.BlendParam = 0;
  auto tri = [](uint32_t colour) { return Corner(16, 0.5f, colour); };
  SoftDrawState.BlendMode = 0;
  d.Fill32(0x7F000000u);
  DrawMemImgTriangle3D(&d.m, nullptr, nullptr, tri(0x00FFFFFFu).data(), 0, nullptr, 0, 0, 1, 0);
  EXPECT_EQ(d.Get32(1, 1), 0x7FFEFEFEu);  // alpha 0 draws in mode 0; fourth byte kept
  SoftDrawState.BlendMode = 1;
  d.Fill32(0x00102030u);
  DrawMemImgTriangle3D(&d.m, nullptr, nullptr, tri(0x00FFFFFFu).data(), 0, nullptr, 0, 0, 1, 0);
  EXPECT_EQ(d.Get32(1, 1), 0x00102030u);  // vertex alpha 0
  DrawMemImgTriangle3D(&d.m, nullptr, nullptr, tri(0xFFFFFFFFu).data(), 0, nullptr, 0, 0, 1, 0);
  // floor(d + (254 - d) * 255 / 256)
  EXPECT_EQ(d.Get32(1, 1), uint32_t((0x10 * 256 + (254 - 0x10) * 255) >> 8) << 16 |
                               uint32_t((0x20 * 256 + (254 - 0x20) * 255) >> 8) << 8 |
                               uint32_t((0x30 * 256 + (254 - 0x30) * 255) >> 8));
  SoftDrawState.BlendMode = 2;
  d.Fill32(0x00FFFFFFu);
  DrawMemImgTriangle3D(&d.m, nullptr, nullptr, tri(0x80FFFFFFu).data(), 0, nullptr, 0, 0, 1, 0);
  EXPECT_EQ(d.Get32(1, 1), 0x01FFFFFFu);  // white stays white, red's carry in the fourth byte

  ASSERT_EQ(t16.Make(2, 2, MEMIMG_TYPE_RGB565), 0);
  t16.Fill16(0xFFFF);
  t16.Set16(1, 0, 0x0821);  // fields 1, 1, 1
  ASSERT_EQ(d16.Make(8, 8, MEMIMG_TYPE_RGB565), 0);
  SoftDrawState.BlendMode = 0;
  d16.Fill16(0x1234);
  DrawMemImgTriangle3D(&d16.m, nullptr, &t16.m, tri(0xFFFFFFFFu).data(), 0, nullptr, 0, 0, 1, 0);
  EXPECT_EQ(d16.Get16(1, 1), uint32_t(30 << 11 | 62 << 5 | 30));
  std::vector<MemImgVertex3D> right = tri(0xFFFFFFFFu);
  for (auto& p : right) p.U = 0.75f, p.V = 0.25f;
  DrawMemImgTriangle3D(&d16.m, nullptr, &t16.m, right.data(), 0, nullptr, 0, 0, 1, 0);
  EXPECT_EQ(d16.Get16(1, 1), 0u);
}

// The depth clipper: pieces on the planes, nothing for three outside, NaN
// counts inside, no second round of clipping.
TEST_F(Triangle3DTest, DepthClipping) {
  TestImg d, ref, z, zref;
  ASSERT_EQ(d.Make(48, 40, MEMIMG_TYPE_XRGB32), 0);
  MakeTarget(ref, 48, 40, MEMIMG_TYPE_XRGB32, 0);
  auto draws = [&](const MemImgVertex3D* v) {
    d.Fill32(0);
    DrawMemImgTriangle3D(&d.m, nullptr, nullptr, v, 0, nullptr, 0, 0, 1, 1);
    return d.Snapshot() != std::vector<uint8_t>(d.Bytes(), 0);
  };
  const MemImgVertex3D allOut[3] = {Vx(2, 2, 1.5f), Vx(40, 4, 1.2f), Vx(8, 36, -0.5f)};
  EXPECT_FALSE(draws(allOut));
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const MemImgVertex3D withNan[3] = {Vx(2, 2, nan), Vx(40, 4, 1.5f), Vx(8, 36, 0.5f)};
  draws(withNan);  // must not fault; the NaN vertex is inside
  const MemImgVertex3D oneNear[3] = {Vx(2, 2, -0.5f), Vx(40, 4, 0.5f), Vx(8, 36, 0.5f)};
  EXPECT_TRUE(draws(oneNear));
  ref.Fill32(0);
  RefDrawTriangle3D(RefTriangle3DArgs{&ref.m, nullptr, nullptr, nullptr, 0, 0, 0, 1, 0, {0, 0, 48, 40}},
                    oneNear);
  EXPECT_EQ(d.Snapshot(), ref.Snapshot());
  // Extreme depths and weights end after one level of pieces.
  std::mt19937 rng(8);
  for (int i = 0; i < 200; ++i) {
    MemImgVertex3D v[3];
    for (auto& p : v)
      p = Vx(Rf(rng, -100, 150), Rf(rng, -100, 150), Rf(rng, -1e6f, 1e6f), Rf(rng, 1e-6f, 10));
    draws(v);
  }
  // Inside the depth range the triangle is drawn whole with the caller's
  // own z-write flag.
  ASSERT_EQ(z.Make(48, 40, MEMIMG_TYPE_DEPTH16), 0);
  const MemImgVertex3D inside[3] = {Vx(2, 2, 0.25f), Vx(40, 4, 0.25f), Vx(8, 36, 0.25f)};
  z.Fill16(0xFFFF);
  DrawMemImgTriangle3D(&d.m, &z.m, nullptr, inside, 0, nullptr, 1, 0, 1, 1);
  EXPECT_EQ(z.Get16(10, 10), 0x4000u);
  // The pieces take the caller's piece z-write flag.
  ASSERT_EQ(zref.Make(48, 40, MEMIMG_TYPE_DEPTH16), 0);
  for (int pieceZ = 0; pieceZ < 2; ++pieceZ) {
    z.Fill16(0xFFFF);
    zref.Fill16(0xFFFF);
    DrawMemImgTriangle3D(&d.m, &z.m, nullptr, oneNear, 0, nullptr, 1 - pieceZ, pieceZ, 1, 1);
    EXPECT_EQ(z.Get16(20, 10) != 0xFFFF, pieceZ == 1);
    RefDrawTriangle3D(
        RefTriangle3DArgs{&ref.m, &zref.m, nullptr, nullptr, 0, 1 - pieceZ, pieceZ, 1, 0, {0, 0, 48, 40}},
        oneNear);
    EXPECT_EQ(z.Snapshot(), zref.Snapshot());
  }
}

// The clipper keeps every vertex it makes in a vertex record's float fields
// and cuts on from those floats. One that carried doubles through and
// rounded only the finished pieces would put some cut vertices a float's
// rounding away, which shows in a depth value (now and then a colour) of
// many clipped triangles (the seventh of these, in its depth image).
TEST_F(Triangle3DTest, ClippedPiecesComeFromFloatVertexRecords) {
  std::mt19937 rng(29);
  for (int bits : {32, 16})
    for (int depth : {1, 2}) {
      CheckAgainstModel(Case{bits, kDirect, 0, false, false, depth}, rng, 40, true);
      if (HasFatalFailure()) return;
    }
}

// Refused arguments draw nothing.
TEST_F(Triangle3DTest, RefusedArgumentsDrawNothing) {
  TestImg d, z, narrowZ, wrongZ, small, tex, pal;
  ASSERT_EQ(d.Make(16, 16, MEMIMG_TYPE_XRGB32), 0);
  ASSERT_EQ(narrowZ.Make(15, 16, MEMIMG_TYPE_DEPTH16), 0);
  ASSERT_EQ(wrongZ.Make(16, 16, MEMIMG_TYPE_RGB565), 0);
  ASSERT_EQ(tex.Make(8, 8, MEMIMG_TYPE_XRGB32), 0);
  ASSERT_EQ(small.Make(7, 8, MEMIMG_TYPE_GRAY8), 0);
  ASSERT_EQ(pal.Make(16, 16, MEMIMG_TYPE_XRGB32, 1), 0);
  tex.Fill32(0xFFFFFFFF);
  SetSoftClip(Rect{0, 0, 16, 16});
  const MemImgVertex3D v[3] = {Vx(0, 0), Vx(16, 0), Vx(0, 16)};
  const auto blank = [&] {
    d.Fill32(0);
    return d.Snapshot();
  };
  SoftDrawState.BlendMode = 0;
  auto before = blank();
  EXPECT_EQ(DrawMemImgTriangle3D(&d.m, &narrowZ.m, nullptr, v, 0, nullptr, 0, 0, 1, 0), -1);
  EXPECT_EQ(DrawMemImgTriangle3D(&d.m, &wrongZ.m, nullptr, v, 0, nullptr, 0, 0, 1, 0), -1);
  EXPECT_EQ(DrawMemImgTriangle3D(&d.m, nullptr, &tex.m, v, 0, &small.m, 0, 0, 1, 0), -1);
  EXPECT_EQ(DrawMemImgTriangle3D(&pal.m, nullptr, nullptr, v, 0, nullptr, 0, 0, 1, 0), -1);
  MEMIMG cleared{};
  EXPECT_EQ(DrawMemImgTriangle3D(&cleared, nullptr, nullptr, v, 0, nullptr, 0, 0, 1, 0), -1);
  EXPECT_EQ(DrawMemImgTriangle3D(&d.m, nullptr, &cleared, v, 0, nullptr, 0, 0, 1, 0), -1);
  EXPECT_EQ(DrawMemImgTriangle3D(&d.m, nullptr, nullptr, nullptr, 0, nullptr, 0, 0, 1, 0), -1);
  for (int mode : {5, 9, 12, -1}) {
    SoftDrawState.BlendMode = mode;
    EXPECT_EQ(DrawMemImgTriangle3D(&d.m, nullptr, nullptr, v, 0, nullptr, 0, 0, 1, 0), -1);
  }
  EXPECT_EQ(d.Snapshot(), before);
  // Non-finite positions or weights reject the triangle.
  SoftDrawState.BlendMode = 0;
  const float inf = std::numeric_limits<float>::infinity();
  const MemImgVertex3D bad[3] = {Vx(0, 0), Vx(inf, 0), Vx(0, 16, 0.5f, std::nanf(""))};
  EXPECT_EQ(DrawMemImgTriangle3D(&d.m, nullptr, nullptr, bad, 0, nullptr, 0, 0, 1, 0), 0);
  EXPECT_EQ(d.Snapshot(), before);
}

}  // namespace

namespace {

// The quad (0, 0)-(size, size) as two triangles, u and v from 0 to 1.
void DrawQuad(MEMIMG* dest, MEMIMG* z, const MEMIMG* tex, float size, float rhw, int zWrite, int key = 0) {
  const MemImgVertex3D a[3] = {Vx(0, 0, 0.5f, rhw, ~0u, 0, 0), Vx(size, 0, 0.5f, rhw, ~0u, 1, 0),
                               Vx(0, size, 0.5f, rhw, ~0u, 0, 1)};
  const MemImgVertex3D b[3] = {Vx(size, 0, 0.5f, rhw, ~0u, 1, 0), Vx(size, size, 0.5f, rhw, ~0u, 1, 1),
                               Vx(0, size, 0.5f, rhw, ~0u, 0, 1)};
  EXPECT_EQ(DrawMemImgTriangle3D(dest, z, tex, a, key, nullptr, zWrite, 0, 0, 0), 0);
  EXPECT_EQ(DrawMemImgTriangle3D(dest, z, tex, b, key, nullptr, zWrite, 0, 0, 0), 0);
}

}  // namespace

// A 64 by 64 texture on the quad of its own size reproduces itself bit for
// bit, every pixel drawn exactly once (an add onto black shows a second
// draw), at both depths and from palette textures too.
TEST_F(Triangle3DTest, ATextureOnItsOwnQuadIsCopiedExactly) {
  std::mt19937 rng(64);
  for (int bits : {32, 16})
    for (int palette = 0; palette < 2; ++palette) {
      const MemImgColorType type = bits == 32 ? MEMIMG_TYPE_XRGB32 : MEMIMG_TYPE_RGB565;
      TestImg tex, d, z;
      ASSERT_EQ(tex.Make(64, 64, type, palette), 0);
      RandomBytes(tex, rng);
      if (palette) {
        for (int i = 0; i < 1024; ++i) tex.m.Base->Palette[i] = uint8_t(rng());
      }
      MakeTarget(d, 64, 64, type, 0);
      ASSERT_EQ(z.Make(64, 64, MEMIMG_TYPE_DEPTH16), 0);
      SoftDrawState.Tint = 0xFFFFFF;
      // The texel's colour at (x, y): the texture's own or its palette entry.
      auto texel = [&](int x, int y) -> uint32_t {
        if (!palette) return bits == 32 ? tex.Get32(x, y) : tex.Get16(x, y);
        const uint8_t i = tex.m.Pixels[y * tex.m.Base->Pitch + x];
        uint32_t v = 0;
        std::memcpy(&v, tex.m.Base->Palette + i * (bits / 8), bits / 8);
        return v;
      };
      RandomBytes(d, rng);
      z.Fill16(0xFFFF);
      DrawQuad(&d.m, &z.m, &tex.m, 64, 1.0f / 64, 1);
      for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
          ASSERT_EQ(bits == 32 ? d.Get32(x, y) : d.Get16(x, y), texel(x, y)) << bits << " " << x << "," << y;
          ASSERT_EQ(z.Get16(x, y), 0x8000u);
        }
      // Add (parameter 255) of a dim copy onto black: each pixel once.
      if (palette) {
        for (int i = 0; i < 1024; ++i) tex.m.Base->Palette[i] &= bits == 32 ? 0x3F : (i & 1 ? 0x39 : 0xE7);
      } else {
        for (size_t i = 0; i < tex.Bytes(); ++i)
          tex.m.Base->Pixels[i] &= bits == 32 ? 0x3F : (i & 1 ? 0x39 : 0xE7);
      }
      SoftDrawState.BlendMode = 2;
      SoftDrawState.BlendParam = 255;
      std::memset(d.m.Base->Pixels, 0, d.Bytes());
      DrawQuad(&d.m, nullptr, &tex.m, 64, 1.0f / 64, 0);
      for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
          ASSERT_EQ(bits == 32 ? d.Get32(x, y) : d.Get16(x, y),
                    texel(x, y) & (bits == 32 ? 0xFFFFFFu : 0xFFFFu))
              << bits << " palette " << palette << " at " << x << "," << y;
    }
}

// The parameter's shortcuts: mode 1 at 255 is mode 0 (the whole-texel copy
// included); modes 1 to 3 at 0 touch neither colour nor depth; modes 10 and
// 11 at 0 keep the colour but write the depth.
TEST_F(Triangle3DTest, TheParametersShortcuts) {
  std::mt19937 rng(12);
  TestImg tex, d, z, d0, z0;
  ASSERT_EQ(tex.Make(16, 16, MEMIMG_TYPE_XRGB32, 0, 1), 0);
  RandomBytes(tex, rng);
  MakeTarget(d, 32, 32, MEMIMG_TYPE_XRGB32, 0);
  ASSERT_EQ(d0.Make(32, 32, MEMIMG_TYPE_XRGB32), 0);
  ASSERT_EQ(z.Make(32, 32, MEMIMG_TYPE_DEPTH16), 0);
  ASSERT_EQ(z0.Make(32, 32, MEMIMG_TYPE_DEPTH16), 0);
  RandomBytes(d0, rng);
  z0.Fill16(0xFFFF);
  SoftDrawState.Tint = 0xFFFFFF;
  const auto v = Corner(32, 0.5f, ~0u, 1.0f / 32);
  auto draw = [&](int mode, int p, int key) {
    d.Restore(d0.Snapshot());
    z.Restore(z0.Snapshot());
    SoftDrawState.BlendMode = mode;
    SoftDrawState.BlendParam = p;
    EXPECT_EQ(DrawMemImgTriangle3D(&d.m, &z.m, &tex.m, v.data(), key, nullptr, 1, 0, 0, 0), 0);
  };
  for (int key = 0; key < 2; ++key) {
    draw(0, 77, key);
    const auto copy = d.Snapshot();
    EXPECT_NE(copy, d0.Snapshot());
    draw(1, 255, key);
    EXPECT_EQ(d.Snapshot(), copy);
  }
  for (int mode : {1, 2, 3}) {
    draw(mode, 0, 0);
    EXPECT_EQ(d.Snapshot(), d0.Snapshot()) << mode;
    EXPECT_EQ(z.Snapshot(), z0.Snapshot()) << mode;
  }
  for (int mode : {10, 11}) {
    draw(mode, 0, 0);
    EXPECT_EQ(d.Snapshot(), d0.Snapshot()) << mode;
    EXPECT_EQ(z.Get16(3, 3), 0x8000u) << mode;
  }
}

// Worked examples of the plain families: whole-texel copies, keys on raw
// texels and on palette indices that still write depth, the 16-bit fields'
// rounding and the packed add and subtract.
TEST_F(Triangle3DTest, TexturedWorkedExamples) {
  TestImg t32, d32, z, t16, d16, pal;
  SoftDrawState.Tint = 0xFFFFFF;
  const auto v = Corner(16, 0.25f, ~0u);  // every pixel takes texel (0, 0) of a 1 x 1 texture
  auto draw = [&](MEMIMG* d, const MEMIMG* t, int mode, int key, MEMIMG* zi = nullptr) {
    SoftDrawState.BlendMode = mode;
    SoftDrawState.BlendParam = 255;
    EXPECT_EQ(DrawMemImgTriangle3D(d, zi, t, v.data(), key, nullptr, 1, 0, 0, 0), 0);
  };
  // 32-bit alpha texture, mode 0: alpha 255 under the key is a whole copy;
  // without the key it weighs 255/256 and the fourth byte stays.
  ASSERT_EQ(t32.Make(1, 1, MEMIMG_TYPE_XRGB32, 0, 1), 0);
  MakeTarget(d32, 8, 8, MEMIMG_TYPE_XRGB32, 0);
  t32.Set32(0, 0, 0xFFC08040u);
  d32.Fill32(0x11000000u);
  draw(&d32.m, &t32.m, 0, 1);
  EXPECT_EQ(d32.Get32(1, 1), 0xFFC08040u);
  d32.Fill32(0x11000000u);
  draw(&d32.m, &t32.m, 0, 0);
  EXPECT_EQ(d32.Get32(1, 1), 0x11BF7F3Fu);
  // Mode 4, alpha 0: black, the fourth byte kept.
  t32.Set32(0, 0, 0x00FFFFFFu);
  d32.Fill32(0x55808080u);
  draw(&d32.m, &t32.m, 4, 1);
  EXPECT_EQ(d32.Get32(1, 1), 0x55000000u);
  // A key texel and an alpha-0 texel under the key still write their depth.
  ASSERT_EQ(z.Make(8, 8, MEMIMG_TYPE_DEPTH16), 0);
  z.Fill16(0xFFFF);
  d32.Fill32(0x00123456u);
  draw(&d32.m, &t32.m, 0, 1, &z.m);
  EXPECT_EQ(d32.Get32(1, 1), 0x00123456u);
  EXPECT_EQ(z.Get16(1, 1), 0x4000u);

  // No texture: the plain white texture takes the tint once, like any
  // texel; the fourth byte stays.
  SoftDrawState.Tint = 0x4080C0;
  d32.Fill32(0x77000000u);
  draw(&d32.m, nullptr, 0, 0);
  EXPECT_EQ(d32.Get32(1, 1), 0x774080C0u);
  SoftDrawState.Tint = 0xFFFFFF;
  d32.Fill32(0x77000000u);
  draw(&d32.m, nullptr, 0, 0);
  EXPECT_EQ(d32.Get32(1, 1), 0xFFFFFFFFu);

  // Palette, 32-bit: mode 2 adds with red's carry in the fourth byte, mode 3
  // subtracts on the upper seven bits; the key compares the index, not the
  // colour it maps to.
  ASSERT_EQ(pal.Make(1, 1, MEMIMG_TYPE_XRGB32, 1), 0);
  pal.m.Pixels[0] = 7;
  const uint32_t e7 = 0x00C08040u, e9 = 0x00323232u;  // red 192, green 128, blue 64; grey 50
  std::memcpy(pal.m.Base->Palette + 28, &e7, 4);
  std::memcpy(pal.m.Base->Palette + 36, &e9, 4);
  d32.Fill32(0xFF808080u);
  draw(&d32.m, &pal.m, 2, 0);
  EXPECT_EQ(d32.Get32(1, 1), 0x01FFFFC0u);
  pal.m.Pixels[0] = 9;
  d32.Fill32(0x00646464u);
  draw(&d32.m, &pal.m, 3, 0);
  EXPECT_EQ(d32.Get32(1, 1), 0x00333332u);
  std::memcpy(pal.m.Base->Palette + 28, &e9, 4);  // index 7 now the same grey as 9
  pal.m.Base->TransColor = 7;
  pal.m.Pixels[0] = 7;
  d32.Fill32(0x00646464u);
  draw(&d32.m, &pal.m, 0, 1);
  EXPECT_EQ(d32.Get32(1, 1), 0x00646464u);
  pal.m.Pixels[0] = 9;
  draw(&d32.m, &pal.m, 0, 1);
  EXPECT_EQ(d32.Get32(1, 1), 0x00323232u);

  // 16-bit: a white alpha-255 texel without the key on black gives 30, 62,
  // 30; mode 4 white on white without alpha the same; mode 3 with a black
  // texel turns black into red 1 and white into 31, 62, 31.
  ASSERT_EQ(t16.Make(1, 1, MEMIMG_TYPE_RGB565, 0, 1), 0);
  std::memset(t16.m.Pixels, 0xFF, 3);
  MakeTarget(d16, 8, 8, MEMIMG_TYPE_RGB565, 0);
  d16.Fill16(0);
  draw(&d16.m, &t16.m, 0, 0);
  EXPECT_EQ(d16.Get16(1, 1), uint32_t(30 << 11 | 62 << 5 | 30));
  TestImg plain16;
  ASSERT_EQ(plain16.Make(1, 1, MEMIMG_TYPE_RGB565), 0);
  plain16.Set16(0, 0, 0xFFFF);
  d16.Fill16(0xFFFF);
  draw(&d16.m, &plain16.m, 4, 0);
  EXPECT_EQ(d16.Get16(1, 1), uint32_t(30 << 11 | 62 << 5 | 30));
  plain16.Set16(0, 0, 0);
  d16.Fill16(0);
  draw(&d16.m, &plain16.m, 3, 0);
  EXPECT_EQ(d16.Get16(1, 1), uint32_t(1 << 11));
  d16.Fill16(0xFFFF);
  draw(&d16.m, &plain16.m, 3, 0);
  EXPECT_EQ(d16.Get16(1, 1), uint32_t(31 << 11 | 62 << 5 | 31));
  // A 16-bit transparent word above 0xFFFF matches no texel.
  plain16.m.Base->TransColor = 0x10000;
  d16.Fill16(0x1234);
  draw(&d16.m, &plain16.m, 0, 1);
  EXPECT_EQ(d16.Get16(1, 1), 0u);
  plain16.m.Base->TransColor = 0;
  d16.Fill16(0x1234);
  draw(&d16.m, &plain16.m, 0, 1);
  EXPECT_EQ(d16.Get16(1, 1), 0x1234u);
}

// The blend-graph weight follows the texture: the same texel gets the same
// weight wherever it lands on the screen.
TEST_F(Triangle3DTest, TheBlendGraphIsReadAtTheTexel) {
  TestImg tex, graph, d;
  ASSERT_EQ(tex.Make(4, 4, MEMIMG_TYPE_XRGB32), 0);
  tex.Fill32(0x00FFFFFFu);
  ASSERT_EQ(graph.Make(4, 4, MEMIMG_TYPE_GRAY8), 0);
  for (int i = 0; i < 16; ++i) graph.m.Pixels[(i / 4) * graph.m.Base->Pitch + i % 4] = uint8_t(i * 16);
  for (int i = 0; i < 256; ++i) BlendGraphLevelTable[i] = uint8_t(i);
  MakeTarget(d, 64, 64, MEMIMG_TYPE_XRGB32, 0);
  SoftDrawState.Tint = 0xFFFFFF;
  std::vector<uint32_t> seen[2];
  for (int at : {0, 1}) {
    d.Fill32(0);
    const float o = at ? 30.0f : 0.0f;
    const MemImgVertex3D v[3] = {Vx(o, o, 0.5f, 1.0f / 64, ~0u, 0, 0),
                                 Vx(o + 32, o, 0.5f, 1.0f / 64, ~0u, 1, 0),
                                 Vx(o, o + 32, 0.5f, 1.0f / 64, ~0u, 0, 1)};
    EXPECT_EQ(DrawMemImgTriangle3D(&d.m, nullptr, &tex.m, v, 0, &graph.m, 0, 0, 0, 0), 0);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) seen[at].push_back(d.Get32(int(o) + 8 * x + 2, int(o) + 8 * y + 2));
  }
  EXPECT_EQ(seen[0], seen[1]);
  EXPECT_NE(seen[0][1], seen[0][5]);
}

// Texel coordinates wrap every 8,192 texels: 8,192.5 lands on texel 0,
// while 4.5 lies outside a 4-texel texture.
TEST_F(Triangle3DTest, TexelCoordinatesWrapEvery8192Texels) {
  TestImg tex, d;
  ASSERT_EQ(tex.Make(4, 4, MEMIMG_TYPE_XRGB32), 0);
  tex.Fill32(0x00102030u);
  tex.Set32(0, 0, 0x00A0B0C0u);
  MakeTarget(d, 16, 16, MEMIMG_TYPE_XRGB32, 0);
  SoftDrawState.Tint = 0xFFFFFF;
  for (float u : {2048.125f, 1.125f}) {
    d.Fill32(0);
    const float rhw = 1.0f / 1024;
    const MemImgVertex3D v[3] = {Vx(0, 0, 0.5f, rhw, ~0u, u, 0.125f), Vx(16, 0, 0.5f, rhw, ~0u, u, 0.125f),
                                 Vx(0, 16, 0.5f, rhw, ~0u, u, 0.125f)};
    EXPECT_EQ(DrawMemImgTriangle3D(&d.m, nullptr, &tex.m, v, 0, nullptr, 0, 0, 0, 0), 0);
    EXPECT_EQ(d.Get32(2, 2), u > 2 ? 0x00A0B0C0u : 0u) << u;
  }
}
