// The 3-D triangle: argument checks, the near and far depth clipper, the
// plain white texture of untextured triangles, and the scan conversion that
// feeds the span loops (vertex order, rejections, plane gradients, edges and
// rows). All floating-point work takes the float inputs into doubles and
// keeps the order of operations written here; this file is compiled without
// contraction into fused multiply-adds so every build gives the same pixels.
#include "softrender/triangle3d.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "core/strutil.h"
#include "softrender/blit_setup.h"
#include "softrender/memimg_tables.h"
#include "softrender/triangle3d_frame.h"
#include "softrender/triangle3d_textured.h"
#include "softrender/triangle3d_vcolour.h"

namespace tri3d {
SpanEntry TriangleSpanTable[kSpanTableRows];
}  // namespace tri3d

namespace {

using tri3d::DepthMode;
using tri3d::SpanFn;
using tri3d::SpanJob;

// ---- fixed point -------------------------------------------------------

constexpr double kFix = 262144.0;  // 14.18: one pixel
constexpr int64_t kHalfPixel = int64_t(1) << 17;
// Edge positions and steps saturate here, far beyond any image, so 64-bit
// sums never overflow.
constexpr int64_t kEdgeLimit = int64_t(1) << 61;
constexpr double kEdgeLimitD = 2305843009213693952.0;
constexpr int64_t kNever = INT64_MAX;  // a switch row no row reaches

// trunc(v * 2^18) in 64 bits.
int64_t Fix(double v) {
  const double f = v * kFix;
  if (!(f > -kEdgeLimitD)) return -kEdgeLimit;
  if (!(f < kEdgeLimitD)) return kEdgeLimit;
  return static_cast<int64_t>(f);
}

int64_t SatAdd(int64_t a, int64_t b) {
  const int64_t s = a + b;
  return s < -kEdgeLimit ? -kEdgeLimit : s > kEdgeLimit ? kEdgeLimit : s;
}

int64_t Centre(int64_t row) { return row * 262144 + kHalfPixel; }

// A plane value at the screen origin: taken modulo 2^32 (every later sum
// wraps too), so triangles far from the origin keep exact values.
uint32_t WrapToU32(double v) {
  if (!(v > -9223372036854775808.0 && v < 9223372036854775808.0)) return 0x80000000u;
  return static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(v)));
}

// ---- edges -------------------------------------------------------------

struct Segment {
  double X0, Y0, S;  // start point and x per row
};

Segment SegmentOf(const double* x, const double* y, int a, int b) {
  return Segment{x[a], y[a], (x[b] - x[a]) / (y[b] - y[a])};
}

// One side of the triangle: one segment, or two with a switch row.
struct Edge {
  Segment Upper, Lower;
  int64_t Switch = kNever;  // 14.18 row position from which Lower holds
  int64_t X = 0, Step = 0;

  static Edge One(const Segment& s) { return Edge{s, s, kNever}; }
  static Edge Two(const Segment& upper, const Segment& lower, int64_t at) { return Edge{upper, lower, at}; }

  void At(const Segment& s, int64_t centre) {
    const double yc = static_cast<double>(centre) / kFix;
    X = Fix(s.X0 + s.S * (yc - s.Y0));
    Step = Fix(s.S);
  }
  void Start(int64_t centre) {
    if (centre >= Switch) {
      Switch = kNever;
      At(Lower, centre);
    } else {
      At(Upper, centre);
    }
  }
  void Advance(int64_t centre) {
    X = SatAdd(X, Step);
    if (centre >= Switch) {
      Switch = kNever;
      At(Lower, centre);
    }
  }
};

// The fixed decision tree that orders three values (a comparison with NaN
// is false): first, middle, last.
void Order3(const double* a, int* lo, int* mid, int* hi) {
  if (a[0] > a[1]) {
    if (a[1] > a[2]) {
      *lo = 2, *mid = 1, *hi = 0;
    } else if (a[2] > a[0]) {
      *lo = 1, *mid = 0, *hi = 2;
    } else {
      *lo = 1, *mid = 2, *hi = 0;
    }
  } else {
    if (a[0] > a[2]) {
      *lo = 2, *mid = 0, *hi = 1;
    } else if (a[2] > a[1]) {
      *lo = 0, *mid = 1, *hi = 2;
    } else {
      *lo = 0, *mid = 2, *hi = 1;
    }
  }
}

// ---- the white texture -------------------------------------------------

struct WhiteTexture {
  uint32_t Pixels32[64];
  uint16_t Pixels16[64];
  MemImgBase Base32{}, Base16{};
  MEMIMG Image32{}, Image16{};

  WhiteTexture() {
    for (int i = 0; i < 64; ++i) {
      Pixels32[i] = 0xFFFFFFFFu;
      Pixels16[i] = 0xFFFF;
    }
    Make(&Base32, &Image32, MEMIMG_TYPE_XRGB32, reinterpret_cast<uint8_t*>(Pixels32), 32, 5);
    Make(&Base16, &Image16, MEMIMG_TYPE_RGB565, reinterpret_cast<uint8_t*>(Pixels16), 16, 4);
  }
  static void Make(MemImgBase* b, MEMIMG* m, MemImgColorType type, uint8_t* pixels, uint32_t pitch,
                   int log2) {
    b->RefCount = 1;
    b->Width = b->Height = 8;
    b->Pitch = pitch;
    b->Log2Pitch = log2;
    b->Format = GetMemImgColorFormat(type, 0, 0);
    b->Type = type;
    b->CallerOwnedPixels = 1;
    b->Pixels = pixels;
    m->Marker = MEMIMG_MARKER;
    m->Width = m->Height = 8;
    m->Pixels = pixels;
    m->Base = b;
  }
};

// An 8 by 8 plain white texture of the destination's type, made once and
// never drawn into: it does not depend on the drawing state.
const MEMIMG* WhiteTextureFor(MemImgColorType type) {
  static WhiteTexture white;
  return type == MEMIMG_TYPE_RGB565 ? &white.Image16 : &white.Image32;
}

// ---- checks ------------------------------------------------------------

bool ValidImage(const MEMIMG* m) { return m && IsValidMemImg(m) && m->Width > 0 && m->Height > 0; }

bool ValidDestination(const MEMIMG* d) {
  if (!ValidImage(d)) return false;
  const MemImgBase* b = d->Base;
  return (b->Type == MEMIMG_TYPE_RGB565 || b->Type == MEMIMG_TYPE_XRGB32) && b->PaletteFlag != 1 &&
         b->AlphaFlag != 1;
}

bool DrawnMode(int m) { return (m >= 0 && m <= 4) || m == 10 || m == 11; }

// ---- scan conversion ---------------------------------------------------

// The fixed-point scale of each plane.
constexpr double kPlaneScale[tri3d::kPlaneCount] = {67108864.0, 67108864.0, 67108864.0, 16777216.0,
                                                    16384.0,    16384.0,    16384.0,    16384.0};

// Sets up the triangle and runs the span loop over its rows, in chunks of
// the span table. Nothing is drawn for a triangle that is rejected. Only
// the planes in `planes` (bit p for plane p) are set up; the loop reads no
// other.
void ScanConvert(const MemImgVertex3D* v, const Rect& clip, unsigned planes, SpanJob& job, SpanFn fn) {
  double x[3], y[3], z[3];
  for (int i = 0; i < 3; ++i) {
    if (!std::isfinite(v[i].X) || !std::isfinite(v[i].Y) || !std::isfinite(v[i].W)) return;
    x[i] = v[i].X;
    y[i] = v[i].Y;
    z[i] = v[i].Z;
  }
  int L, M, R, T, Mv, B, nearI, midI, farI;
  Order3(x, &L, &M, &R);
  Order3(y, &T, &Mv, &B);
  Order3(z, &nearI, &midI, &farI);

  if (x[R] < clip.Left || x[L] >= clip.Right || y[B] < clip.Top || y[T] >= clip.Bottom) return;
  if (z[farI] < 0.0 || z[nearI] >= 1.0) return;
  const double minSize = static_cast<double>(1.1f);
  if (y[B] - y[T] < minSize || x[R] - x[L] < minSize) return;

  const double dxR = x[R] - x[L], dyR = y[R] - y[L], dxM = x[M] - x[L], dyM = y[M] - y[L];
  const double D = dxM * dyR - dyM * dxR;
  if (D == 0.0) return;

  // The planes: W = rhw, U = u * rhw, V = v * rhw, Z = z, C = the colour bytes.
  double q[tri3d::kPlaneCount][3];
  for (int i = 0; i < 3; ++i) {
    const double w = v[i].W;
    q[tri3d::PW][i] = w;
    q[tri3d::PU][i] = static_cast<double>(v[i].U) * w;
    q[tri3d::PV][i] = static_cast<double>(v[i].V) * w;
    q[tri3d::PZ][i] = z[i];
    q[tri3d::PC0][i] = v[i].Blue;
    q[tri3d::PC1][i] = v[i].Green;
    q[tri3d::PC2][i] = v[i].Red;
    q[tri3d::PC3][i] = v[i].Alpha;
  }
  for (int p = 0; p < tri3d::kPlaneCount; ++p) {
    if (!(planes >> p & 1)) continue;
    const double dR = q[p][R] - q[p][L], dM = q[p][M] - q[p][L];
    const double qx = (dM * dyR - dR * dyM) / D;
    const double qy = (dR * dxM - dM * dxR) / D;
    const double q0 = q[p][L] - x[L] * qx - y[L] * qy;
    job.Q0[p] = WrapToU32(q0 * kPlaneScale[p]);
    job.Sx[p] = static_cast<uint32_t>(DoubleToIntTrunc(qx * kPlaneScale[p]));
    job.Sy[p] = static_cast<uint32_t>(DoubleToIntTrunc(qy * kPlaneScale[p]));
  }

  // Edges. A triangle is flat at the top (bottom) when no row centre lies
  // between its top and middle (middle and bottom) rows; the two edges then
  // meet at the bottom (top) vertex.
  const int64_t yT = Fix(y[T]), yMv = Fix(y[Mv]), yB = Fix(y[B]);
  const bool flatTop = Centre((yT + kHalfPixel) >> 18) >= yMv;
  const bool flatBottom = !flatTop && Centre(-((kHalfPixel - yMv) >> 18)) >= yB;
  Edge left, right;
  if (flatTop || flatBottom) {
    // Where the long edge from top to bottom passes the middle vertex's row.
    // The sides are settled there, not by which of the two flat vertices has
    // the smaller x: a triangle whose long edge passes that row on the far
    // side of the middle vertex would get its edges swapped and draw nothing.
    const double xAt = x[T] + (x[B] - x[T]) * (y[Mv] - y[T]) / (y[B] - y[T]);
    if (flatTop) {
      const bool topLeft = xAt <= x[Mv];
      left = Edge::One(SegmentOf(x, y, topLeft ? T : Mv, B));
      right = Edge::One(SegmentOf(x, y, topLeft ? Mv : T, B));
    } else {
      const bool middleLeft = x[Mv] <= xAt;
      left = Edge::One(SegmentOf(x, y, T, middleLeft ? Mv : B));
      right = Edge::One(SegmentOf(x, y, T, middleLeft ? B : Mv));
    }
  } else {
    const double sTB = (x[B] - x[T]) / (y[B] - y[T]), sTM = (x[Mv] - x[T]) / (y[Mv] - y[T]);
    const Edge bent = Edge::Two(SegmentOf(x, y, T, Mv), SegmentOf(x, y, Mv, B), yMv);
    const Edge straight = Edge::One(SegmentOf(x, y, T, B));
    left = sTB > sTM ? bent : straight;
    right = sTB > sTM ? straight : bent;
  }

  // Rows: from the first row whose centre lies below the top vertex, while
  // the centre lies above the bottom vertex.
  int64_t row = (yT + kHalfPixel) >> 18;
  if (row < clip.Top) row = clip.Top;
  const int64_t limit = std::min(yB, static_cast<int64_t>(clip.Bottom) * 262144);
  if (Centre(row) >= limit) return;
  left.Start(Centre(row));
  right.Start(Centre(row));
  while (Centre(row) < limit) {
    int n = 0;
    job.FirstRow = static_cast<int>(row);
    while (n < tri3d::kSpanTableRows && Centre(row) < limit) {
      int64_t first = (left.X + kHalfPixel) >> 18;
      const int64_t last = (right.X - kHalfPixel) >> 18;
      int64_t count = last - first + 1;
      if (first < clip.Left) {
        count -= clip.Left - first;
        first = clip.Left;
      }
      if (first + count > clip.Right) count = clip.Right - first;
      if (count < 0) count = 0;
      tri3d::TriangleSpanTable[n].First = static_cast<int32_t>(first);
      tri3d::TriangleSpanTable[n].Count = static_cast<int32_t>(count);
      ++n;
      ++row;
      left.Advance(Centre(row));
      right.Advance(Centre(row));
    }
    job.RowCount = n;
    fn(job);
  }
}

// Checks the images, picks the span loop and draws one unclipped triangle.
int DrawUnclipped(MEMIMG* dest, MEMIMG* zImage, const MEMIMG* texture, const MemImgVertex3D* v, int transFlag,
                  const MEMIMG* blendGraph, int zWrite, int vertexColour) {
  const MemImgBase* db = dest->Base;
  if (zImage && (!ValidImage(zImage) || zImage->Base->Type != MEMIMG_TYPE_DEPTH16 ||
                 zImage->Width != dest->Width || zImage->Height != dest->Height)) {
    return -1;
  }
  if (!texture) texture = WhiteTextureFor(db->Type);
  if (!ValidImage(texture)) return -1;
  const MemImgBase* tb = texture->Base;
  if (tb->Type != db->Type) return -1;
  // The blend graph is read at texel positions, so it must cover the texture.
  if (blendGraph && (!ValidImage(blendGraph) || blendGraph->Base->Type != MEMIMG_TYPE_GRAY8 ||
                     blendGraph->Base->PaletteFlag == 1 || blendGraph->Width < texture->Width ||
                     blendGraph->Height < texture->Height)) {
    return -1;
  }
  if (!DrawnMode(SoftDrawState.BlendMode)) return -1;

  const DepthMode depth = !zImage ? DepthMode::None : zWrite ? DepthMode::TestWrite : DepthMode::Test;
  const tri3d::SrcKind kind = tb->PaletteFlag == 1 ? tri3d::SrcKind::Palette
                              : tb->AlphaFlag == 1 ? tri3d::SrcKind::Alpha
                                                   : tri3d::SrcKind::Direct;
  const int bits = db->Type == MEMIMG_TYPE_XRGB32 ? 32 : 16;
  SpanJob job{};
  SpanFn fn = nullptr;
  if (vertexColour) {
    fn = tri3d::SelectVertexColourSpans(
        bits, kind, tri3d::VcChoice{depth, SoftDrawState.BlendMode, blendGraph != nullptr, transFlag != 0});
  } else {
    // The plain families read the tint and the parameter, with the blits'
    // shortcuts: modes 1 to 3 at parameter 0 draw nothing, not even depth.
    softblit::DrawModeSetup mode;
    if (!softblit::ResolveDrawMode(&mode)) return 0;
    texpix::SetTableRows(job.Px, mode.P);
    fn = tri3d::SelectTexturedSpans(
        bits, kind, tri3d::TexChoice{depth, mode.Mode, blendGraph != nullptr, mode.Tint, transFlag != 0});
  }
  if (!fn) return -1;

  // The clip rectangle, kept inside the destination (and so the depth image).
  Rect clip = *SoftDrawState.Clip;
  clip.Left = std::max(clip.Left, 0);
  clip.Top = std::max(clip.Top, 0);
  clip.Right = std::min(clip.Right, dest->Width);
  clip.Bottom = std::min(clip.Bottom, dest->Height);
  if (clip.Left >= clip.Right || clip.Top >= clip.Bottom) return 0;

  job.Dst = dest->Pixels;
  job.DstPitch = db->Pitch;
  job.Z = zImage ? zImage->Pixels : nullptr;
  job.ZPitch = zImage ? zImage->Base->Pitch : 0;
  job.Tex = texture->Pixels;
  job.TexPitch = tb->Pitch;
  job.TexW = static_cast<uint32_t>(texture->Width);
  job.TexH = static_cast<uint32_t>(texture->Height);
  job.Graph = blendGraph ? blendGraph->Pixels : nullptr;
  job.GraphPitch = blendGraph ? blendGraph->Base->Pitch : 0;
  job.Px.Key = tb->TransColor;
  job.Px.Palette = tb->PaletteFlag == 1 ? tb->Palette : nullptr;
  job.Px.Levels = BlendGraphLevelTable;
  if (kind == tri3d::SrcKind::Palette && !job.Px.Palette) return -1;
  unsigned planes = 1u << tri3d::PW | 1u << tri3d::PU | 1u << tri3d::PV;
  if (zImage) planes |= 1u << tri3d::PZ;
  if (vertexColour) planes |= 0xFu << tri3d::PC0;
  ScanConvert(v, clip, planes, job, fn);
  InvalidateMemImgDerived(dest);
  return 0;
}

// ---- the depth clipper -------------------------------------------------

// A vertex of the clipped polygon: a vertex record in homogeneous form (x, y
// and z times w, w in the weight's place). Every value the clipper makes is
// stored in the record's float fields, and the next step starts from those
// floats, so the pieces come out rounded exactly as the record holds them.
struct ClipVertex {
  MemImgVertex3D P;
  int Original;  // index of the caller's vertex, or -1 for a cut vertex
  bool FarCut;   // made on the far plane
};

constexpr int kClipCapacity = 7;

// A result stored as float; finite values beyond the float range become the
// largest float of their sign.
float ToFloat(double v) {
  constexpr double kMax = 3.4028234663852886e38;
  return v > kMax ? 3.4028234663852886e38f : v < -kMax ? -3.4028234663852886e38f : static_cast<float>(v);
}

// The cut from S toward E at t: position, weight and texture linear, the
// colour by an 8-bit weight taken through a float.
ClipVertex Cut(const ClipVertex& s, const ClipVertex& e, double t) {
  auto at = [t](float a, float b) {
    return ToFloat(static_cast<double>(a) + (static_cast<double>(b) - static_cast<double>(a)) * t);
  };
  ClipVertex r{};
  r.P.X = at(s.P.X, e.P.X);
  r.P.Y = at(s.P.Y, e.P.Y);
  r.P.Z = at(s.P.Z, e.P.Z);
  r.P.W = at(s.P.W, e.P.W);
  r.P.U = at(s.P.U, e.P.U);
  r.P.V = at(s.P.V, e.P.V);
  const int k = FloatToIntTrunc(static_cast<float>(t * 255.0)) & 0xFF;
  auto mix = [k](int sc, int ec) { return static_cast<uint8_t>((sc * 256 + (ec - sc) * k) >> 8); };
  r.P.Blue = mix(s.P.Blue, e.P.Blue);
  r.P.Green = mix(s.P.Green, e.P.Green);
  r.P.Red = mix(s.P.Red, e.P.Red);
  r.P.Alpha = mix(s.P.Alpha, e.P.Alpha);
  r.Original = -1;
  r.FarCut = false;
  return r;
}

// One pass over the closed polygon `in` (n vertices) against one plane.
// Returns the new count, or -1 when the polygon would not fit.
template <bool Far>
int ClipPass(const ClipVertex* in, int n, ClipVertex* out) {
  auto outside = [](const ClipVertex& c) { return Far ? c.P.Z > c.P.W : c.P.Z < 0.0f; };
  int m = 0;
  for (int i = 0; i < n; ++i) {
    const ClipVertex& p = in[i];
    const ClipVertex& q = in[(i + 1) % n];
    const bool po = outside(p), qo = outside(q);
    if (!po) {
      if (m >= kClipCapacity) return -1;
      out[m++] = p;
    }
    if (po == qo) continue;
    if (m >= kClipCapacity) return -1;
    if constexpr (Far) {
      const ClipVertex& s = po ? q : p;  // the inside vertex
      const ClipVertex& e = po ? p : q;
      const double ds = static_cast<double>(s.P.W) - static_cast<double>(s.P.Z);
      const double de = static_cast<double>(e.P.W) - static_cast<double>(e.P.Z);
      ClipVertex c = Cut(s, e, ds / (ds - de));
      c.P.Z = c.P.W;  // exactly on the plane
      c.FarCut = true;
      out[m++] = c;
    } else {
      const ClipVertex& s = po ? p : q;  // the outside vertex
      const ClipVertex& e = po ? q : p;
      const double sz = static_cast<double>(s.P.Z);
      ClipVertex c = Cut(s, e, -sz / (static_cast<double>(e.P.Z) - sz));
      c.P.Z = 0.0f;
      out[m++] = c;
    }
  }
  return m;
}

// Cuts the triangle at depths 0 and 1 and draws the pieces as a fan, each
// without clipping it again. Returns 1 when nothing needed cutting (the
// caller draws the triangle itself), else the drawing result.
int ClipAndDraw(MEMIMG* dest, MEMIMG* zImage, const MEMIMG* texture, const MemImgVertex3D* v, int transFlag,
                const MEMIMG* blendGraph, int pieceZWrite, int vertexColour) {
  int outside = 0;
  for (int i = 0; i < 3; ++i) outside += (v[i].Z < 0.0f || v[i].Z > 1.0f) ? 1 : 0;
  if (outside == 0) return 1;
  if (outside == 3) return 0;

  ClipVertex a[kClipCapacity], b[kClipCapacity];
  for (int i = 0; i < 3; ++i) {
    const double h = 1.0 / static_cast<double>(v[i].W);
    a[i] = ClipVertex{v[i], i, false};
    a[i].P.X = ToFloat(static_cast<double>(v[i].X) * h);
    a[i].P.Y = ToFloat(static_cast<double>(v[i].Y) * h);
    a[i].P.Z = ToFloat(static_cast<double>(v[i].Z) * h);
    a[i].P.W = ToFloat(h);
  }
  const int nFar = ClipPass<true>(a, 3, b);
  const int n = nFar < 0 ? -1 : ClipPass<false>(b, nFar, a);
  if (n < 3) return 0;

  MemImgVertex3D out[kClipCapacity];
  for (int i = 0; i < n; ++i) {
    const ClipVertex& c = a[i];
    if (c.Original >= 0) {
      out[i] = v[c.Original];  // vertices that were inside keep their exact values
      continue;
    }
    const double h = 1.0 / static_cast<double>(c.P.W);
    out[i] = c.P;
    out[i].X = ToFloat(static_cast<double>(c.P.X) * h);
    out[i].Y = ToFloat(static_cast<double>(c.P.Y) * h);
    out[i].Z = c.FarCut ? 1.0f : ToFloat(static_cast<double>(c.P.Z) * h);
    out[i].W = ToFloat(h);
  }
  int result = 0;
  MemImgVertex3D piece[3] = {out[0], out[1], out[2]};
  if (DrawUnclipped(dest, zImage, texture, piece, transFlag, blendGraph, pieceZWrite, vertexColour) != 0)
    result = -1;
  for (int i = 3; i < n; ++i) {
    piece[0] = out[i];
    piece[1] = out[0];
    piece[2] = out[i - 1];
    if (DrawUnclipped(dest, zImage, texture, piece, transFlag, blendGraph, pieceZWrite, vertexColour) != 0) {
      result = -1;
    }
  }
  return result;
}

}  // namespace

int DrawMemImgTriangle3D(MEMIMG* dest, MEMIMG* zImage, const MEMIMG* texture, const MemImgVertex3D* vertices,
                         int transFlag, const MEMIMG* blendGraph, int zWrite, int pieceZWrite,
                         int vertexColour, int clipFlag) {
  if (!vertices || !ValidDestination(dest)) return -1;
  if (clipFlag == 1) {
    const int r =
        ClipAndDraw(dest, zImage, texture, vertices, transFlag, blendGraph, pieceZWrite, vertexColour);
    if (r != 1) return r;
  }
  return DrawUnclipped(dest, zImage, texture, vertices, transFlag, blendGraph, zWrite, vertexColour);
}
