// The 2-D triangle's frame: entry checks, fixed-point set-up, the edges, and
// the row walk that hands every clipped span to the loop chosen for the
// triangle.
#include "softrender/triangle2d.h"

#include <utility>

#include "core/strutil.h"
#include "softrender/blit_setup.h"
#include "softrender/memimg_tables.h"
#include "softrender/triangle2d_spans.h"

namespace tri2d {
namespace {

constexpr int kShift = 18;  // 14.18 fixed point: one pixel or texel = 2^18

// A 14.18 position to its whole pixel, toward minus infinity, so that rows and
// columns left of or above 0 line up with those right of and below it.
inline int32_t Whole(uint32_t fixed) { return int32_t(fixed) >> kShift; }

bool InRange(int64_t v) { return v >= TRIANGLE2D_COORD_MIN && v <= TRIANGLE2D_COORD_MAX; }

// Every coordinate, and every difference of two coordinates of one kind, must
// fit the 14.18 range; otherwise positions and row counts wrap.
bool CoordinatesFit(const MemImgVertex2D* v) {
  for (int i = 0; i < 3; ++i) {
    const int64_t c[4] = {v[i].x, v[i].y, v[i].u, v[i].v};
    for (int k = 0; k < 4; ++k) {
      if (!InRange(c[k])) return false;
      for (int j = 0; j < 3; ++j) {
        const int64_t o[4] = {v[j].x, v[j].y, v[j].u, v[j].v};
        if (!InRange(c[k] - o[k])) return false;
      }
    }
  }
  return true;
}

// One edge segment: start X, slope per row (14.18), rows.
struct Segment {
  uint32_t X;
  uint32_t Slope;
  int32_t Rows;
};

// One side of the triangle: one or two segments.
struct Side {
  Segment Seg[2];
  int Count;
  int32_t SecondRow;  // the row the second segment starts on
};

Segment MakeSegment(uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1) {
  const int32_t rows = Whole(y1) - Whole(y0);
  return Segment{x0, uint32_t(int32_t(x1 - x0) / rows), rows};
}

// The left and right sides from the vertices sorted by Y; false when the
// triangle has no height.
bool SetUpEdges(const uint32_t* X, const uint32_t* Y, const int* byY, Side& left, Side& right) {
  const int t = byY[0], c = byY[1], b = byY[2];
  constexpr double kRowsPerUnit = 3.814697265625e-06;  // 2^-18
  left.Count = right.Count = 1;
  if (Y[t] == Y[c]) {
    if (double(int32_t(Y[c] - Y[b])) * kRowsPerUnit == 0.0 ||
        double(int32_t(Y[t] - Y[b])) * kRowsPerUnit == 0.0)
      return false;
    const bool tRight = int32_t(X[t]) > int32_t(X[c]);
    const int l = tRight ? c : t, r = tRight ? t : c;
    left.Seg[0] = MakeSegment(X[l], Y[l], X[b], Y[b]);
    right.Seg[0] = MakeSegment(X[r], Y[r], X[b], Y[b]);
    return true;
  }
  const double htc = double(int32_t(Y[c] - Y[t])) * kRowsPerUnit;
  const double htb = double(int32_t(Y[b] - Y[t])) * kRowsPerUnit;
  if (htc == 0.0 || htb == 0.0) return false;
  if (Y[c] == Y[b]) {
    const bool bLeft = int32_t(X[c]) > int32_t(X[b]);
    const int l = bLeft ? b : c, r = bLeft ? c : b;
    left.Seg[0] = MakeSegment(X[t], Y[t], X[l], Y[l]);
    right.Seg[0] = MakeSegment(X[t], Y[t], X[r], Y[r]);
    return true;
  }
  const double stc = double(int32_t(X[c] - X[t])) / htc;
  const double stb = double(int32_t(X[b] - X[t])) / htb;
  Side& split = stb > stc ? left : right;
  Side& whole = stb > stc ? right : left;
  whole.Seg[0] = MakeSegment(X[t], Y[t], X[b], Y[b]);
  split.Count = 2;
  split.Seg[0] = MakeSegment(X[t], Y[t], X[c], Y[c]);
  // A right side starts its lower segment one step right of the vertex.
  const uint32_t xc = &split == &right ? X[c] + 1 : X[c];
  split.Seg[1] = MakeSegment(xc, Y[c], X[b], Y[b]);
  split.SecondRow = Whole(Y[c]);
  return true;
}

// The source kind of a texture, and its span selector.
SpanFn PickTextured(const MemImgBase* tb, int depth, int mode, bool graph, bool tint, bool key) {
  if (tb->PaletteFlag == 1) return PickSpanPalette(depth, mode, graph, tint, key);
  if (depth == 32)
    return tb->AlphaFlag == 1 ? PickSpanAlpha32(mode, graph, tint, key)
                              : PickSpanDirect32(mode, graph, tint, key);
  return tb->AlphaFlag == 1 ? PickSpanAlpha16(mode, graph, tint, key)
                            : PickSpanDirect16(mode, graph, tint, key);
}

// A flat colour tinted once, each channel (or 5- and 6-bit field) through the
// tint row (blue, green, red) of its channel.
uint32_t TintFlatColour(uint32_t colour, int depth, const uint32_t* const tint[3]) {
  const uint32_t *tb = tint[0], *tg = tint[1], *tr = tint[2];
  if (depth == 16) return (tr[(colour >> 11) & 31] << 11) | (tg[(colour >> 5) & 63] << 5) | tb[colour & 31];
  return (colour & 0xFF000000u) | (tr[(colour >> 16) & 0xFF] << 16) | (tg[(colour >> 8) & 0xFF] << 8) |
         tb[colour & 0xFF];
}

}  // namespace

bool InRangeRun(uint32_t start, uint32_t step, uint32_t limit, int count, int& lo, int& hi) {
  const int64_t s = int32_t(start), d = int32_t(step), l = limit, last = s + d * (count - 1);
  if (last < INT32_MIN || last > INT32_MAX) return false;
  if (s >= 0 && s < l && last >= 0 && last < l) {  // the usual case: all inside
    lo = 0;
    hi = count;
    return true;
  }
  // 0 <= s + i * d < l, in whole numbers.
  int64_t a = 0, b = count;
  if (d == 0) {
    if (s < 0 || s >= l) b = 0;
  } else if (d > 0) {
    if (s < 0) a = (-s + d - 1) / d;
    b = s >= l ? 0 : (l - s + d - 1) / d;
  } else {
    if (s >= l) a = (s - l) / -d + 1;
    b = s < 0 ? 0 : s / -d + 1;
  }
  lo = int(a < 0 ? 0 : a > count ? count : a);
  hi = int(b < lo ? lo : b > count ? count : b);
  return true;
}

}  // namespace tri2d

void DrawMemImgTriangle2D(MEMIMG* dest, const MEMIMG* texture, const MemImgVertex2D* vertices, int transFlag,
                          const MEMIMG* blendGraph, uint32_t colour) {
  using namespace tri2d;
  if (!vertices || !softblit::ValidView(dest)) return;
  const MemImgBase* db = dest->Base;
  if (db->PaletteFlag == 1 || db->AlphaFlag == 1) return;
  if (db->Type != MEMIMG_TYPE_RGB565 && db->Type != MEMIMG_TYPE_XRGB32) return;
  if (texture) {
    // Also refuses a blend graph that is not a one-byte image covering the texture.
    if (!softblit::CanDrawOnto(dest, texture, blendGraph)) return;
  } else {
    blendGraph = nullptr;
  }
  if (!CoordinatesFit(vertices)) return;
  softblit::DrawModeSetup mode;
  if (!softblit::ResolveDrawMode(&mode)) return;
  Rect clip;
  if (!softblit::ClipToTarget(dest, 0, 0, dest->Width, dest->Height, &clip)) return;

  // Fixed point: pixel centres, texel corners.
  uint32_t X[3], Y[3];
  for (int i = 0; i < 3; ++i) {
    X[i] = (uint32_t(vertices[i].x) << kShift) + (1u << (kShift - 1));
    Y[i] = (uint32_t(vertices[i].y) << kShift) + (1u << (kShift - 1));
  }
  // Sorted by X and by Y; equal keys are never exchanged.
  int byX[3] = {0, 1, 2}, byY[3] = {0, 1, 2};
  for (int i = 0; i < 2; ++i)
    for (int j = i + 1; j < 3; ++j) {
      if (int32_t(X[byX[i]]) > int32_t(X[byX[j]])) std::swap(byX[i], byX[j]);
      if (int32_t(Y[byY[i]]) > int32_t(Y[byY[j]])) std::swap(byY[i], byY[j]);
    }

  // Texture gradients from the leftmost vertex.
  const MemImgVertex2D& l = vertices[byX[0]];
  const MemImgVertex2D& m = vertices[byX[1]];
  const MemImgVertex2D& r = vertices[byX[2]];
  const int32_t dxlm = m.x - l.x, dylm = m.y - l.y, dxlr = r.x - l.x, dylr = r.y - l.y;
  const int32_t det = dylm * dxlr - dylr * dxlm;
  if (det == 0) return;
  auto gradientX = [&](int32_t dlm, int32_t dlr) {
    return uint32_t(DoubleToIntTrunc(double(dylm * dlr - dylr * dlm) * 262144.0 / det));
  };
  auto gradientY = [&](int32_t dlm, int32_t dlr) {
    return uint32_t(DoubleToIntTrunc(double(dlm * dxlr - dxlm * dlr) * 262144.0 / det));
  };
  const uint32_t ux = gradientX(m.u - l.u, r.u - l.u), uy = gradientY(m.u - l.u, r.u - l.u);
  const uint32_t vx = gradientX(m.v - l.v, r.v - l.v), vy = gradientY(m.v - l.v, r.v - l.v);
  const int32_t refCol = l.x, refRow = l.y;
  const uint32_t refU = uint32_t(l.u) << kShift, refV = uint32_t(l.v) << kShift;

  Side left{}, right{};
  if (!SetUpEdges(X, Y, byY, left, right)) return;

  // The loop and its per-triangle values.
  const int depth = db->Type == MEMIMG_TYPE_XRGB32 ? 32 : 16;
  SpanContext c{};
  texpix::SetTableRows(c.Px, mode.P);
  c.Px.Levels = BlendGraphLevelTable;
  SpanFn span;
  if (texture) {
    const MemImgBase* tb = texture->Base;
    span = PickTextured(tb, depth, mode.Mode, blendGraph != nullptr, mode.Tint, transFlag != 0);
    c.Px.Key = tb->TransColor;
    c.Px.Palette = tb->Palette;
    c.Texels = texture->Pixels;
    c.TexPitch = tb->Pitch;
    if (blendGraph) {
      c.Graph = blendGraph->Pixels;
      c.GraphPitch = blendGraph->Base->Pitch;
    }
    // Limits in 64 bits, kept below 2^31 so that a negative U fails too.
    const uint64_t wl = uint64_t(texture->Width) << kShift, hl = uint64_t(texture->Height) << kShift;
    c.ULimit = uint32_t(wl < 0x80000000u ? wl : 0x80000000u);
    c.VLimit = uint32_t(hl < 0x80000000u ? hl : 0x80000000u);
    c.Ux = ux;
    c.Vx = vx;
  } else {
    span = PickSpanFlat(depth, mode.Mode);
    c.Px.Colour = TintFlatColour(colour, depth, c.Px.Tint);
  }
  if (!span) return;
  InvalidateMemImgDerived(dest);

  // The row walk: both sides count the same rows, from the top vertex's row
  // to the row above the bottom vertex.
  const int bytes = depth / 8;
  const uint32_t pitch = db->Pitch;
  int li = 0, ri = 0;
  uint32_t lx = left.Seg[0].X, rx = right.Seg[0].X;
  int32_t lrows = left.Seg[0].Rows, rrows = right.Seg[0].Rows;
  int32_t row = Whole(Y[byY[0]]);
  for (;;) {
    if (row >= clip.Bottom) break;  // rows only grow
    if (row >= clip.Top) {
      int32_t x = Whole(lx);
      int32_t n = Whole(rx) - x + 1;
      if (x < clip.Left) {
        n -= clip.Left - x;
        x = clip.Left;
      }
      if (x < clip.Right && n > 0) {
        if (n > clip.Right - x) n = clip.Right - x;
        const uint32_t u = refU + uint32_t(x - refCol) * ux + uint32_t(row - refRow) * uy;
        const uint32_t v = refV + uint32_t(x - refCol) * vx + uint32_t(row - refRow) * vy;
        span(c, dest->Pixels + size_t(row) * pitch + size_t(x) * bytes, n, u, v);
      }
    }
    lx += left.Seg[li].Slope;
    rx += right.Seg[ri].Slope;
    ++row;
    --lrows;
    --rrows;
    if (lrows == 0) {
      if (li + 1 >= left.Count) break;
      ++li;
      lx = left.Seg[li].X;
      lrows = left.Seg[li].Rows;
      row = left.SecondRow;
    }
    if (rrows == 0) {
      if (ri + 1 >= right.Count) break;
      ++ri;
      rx = right.Seg[ri].X;
      rrows = right.Seg[ri].Rows;
    }
  }
}
