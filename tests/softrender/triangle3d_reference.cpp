#include "softrender/triangle3d_reference.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "core/strutil.h"
#include "softrender/memimg_tables.h"

namespace {

constexpr int64_t kOne = 262144;  // 14.18

int64_t Fix64(double v) { return static_cast<int64_t>(v * 262144.0); }  // test inputs stay small
int64_t FloorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
int64_t CentreOf(int64_t r) { return r * kOne + kOne / 2; }

// The three-way order of the rules: a fixed tree of strict comparisons.
void Order(const double* a, int out[3]) {
  if (a[0] > a[1]) {
    if (a[1] > a[2]) {
      out[0] = 2, out[1] = 1, out[2] = 0;
    } else if (a[2] > a[0]) {
      out[0] = 1, out[1] = 0, out[2] = 2;
    } else {
      out[0] = 1, out[1] = 2, out[2] = 0;
    }
  } else if (a[0] > a[2]) {
    out[0] = 2, out[1] = 0, out[2] = 1;
  } else if (a[2] > a[1]) {
    out[0] = 0, out[1] = 1, out[2] = 2;
  } else {
    out[0] = 0, out[1] = 2, out[2] = 1;
  }
}

struct Seg {
  double x0, y0, s;
};
Seg SegOf(const double* x, const double* y, int a, int b) {
  return {x[a], y[a], (x[b] - x[a]) / (y[b] - y[a])};
}

struct RefEdge {
  Seg upper, lower;
  bool two;
  int64_t sw;  // 14.18 switch row
};

// The edge's x (14.18) at row r, drawing starting at row `first`: the value
// at the first row the segment serves, plus whole steps.
int64_t EdgeX(const RefEdge& e, int64_t first, int64_t r) {
  const bool lowerHere = e.two && CentreOf(r) >= e.sw;
  const Seg& s = lowerHere ? e.lower : e.upper;
  int64_t r0 = first;
  if (lowerHere && CentreOf(first) < e.sw) {
    r0 = first;
    while (CentreOf(r0) < e.sw) ++r0;
  }
  const double yc = static_cast<double>(CentreOf(r0)) / 262144.0;
  return Fix64(s.x0 + s.s * (yc - s.y0)) + (r - r0) * Fix64(s.s);
}

uint32_t Plane(uint32_t q0, uint32_t sx, uint32_t sy, int64_t r, int64_t f) {
  auto half = [](uint32_t s) { return static_cast<uint32_t>(static_cast<int32_t>(s) / 2); };
  return q0 + sy * static_cast<uint32_t>(r) + half(sy) + sx * static_cast<uint32_t>(f) + half(sx);
}

uint32_t ColourByte(uint32_t plane) {
  const int32_t c = static_cast<int32_t>(plane) / 16384;
  return static_cast<uint32_t>(std::clamp(c, 0, 255));
}

// ---- per-pixel rules of the vertex-coloured families -----------------------

struct Texel {
  uint32_t s;  // colour: 32-bit pixel or RGB565
  uint32_t a;  // alpha byte (alpha textures)
  bool alphaTex;
};

// One channel: texel t, destination d (both in the channel's own range
// 0..mx), colour c, vertex alpha v, texel alpha a, level L; prod is the shift
// of a texel x colour x destination product.
int64_t RefChannel(int mode, bool graph, bool translucent, int64_t t, int64_t d, int64_t c, int64_t v,
                   int64_t a, int64_t L, int64_t mx, int prod) {
  auto mix = [](int64_t dd, int64_t x, int64_t w, int k) {
    return (dd * (int64_t(1) << k) + (x - dd) * w) >> k;
  };
  switch (mode) {
    case 4:
      if (!graph) return translucent ? (t * c * d * a) >> (prod + 8) : (t * c * d) >> prod;
      return translucent ? (((t * c) >> 8) * d * L * a) >> (prod + 8) : (t * c * d * L) >> (prod + 8);
    case 2:
    case 3:
      if (!graph) return translucent ? (t * c * a * v) >> 24 : (t * c * v) >> 16;
      return translucent ? (((t * c) >> 8) * a * v * L) >> 24 : (t * c * v * L) >> 24;
    default: {
      int64_t x = (t * c) >> 8;
      if (mode == 10) x = ((mx - t) * c) >> 8;
      if (mode == 11) x = (t * c * d) >> prod;
      if (mode == 0) {
        if (!graph) return translucent ? mix(d, x, a, 8) : x;
        return translucent ? mix(d, x, L * a, 16) : mix(d, x, L, 8);
      }
      if (!graph) return translucent ? mix(d, x, v * a, 16) : mix(d, x, v, 8);
      return translucent ? mix(d, x, L * v * a, 24) : mix(d, x, L * v, 16);
    }
  }
}

// The new destination pixel, or false when it stays unchanged.
bool RefVcPixel(int bits, int mode, bool graph, bool key, const Texel& tx, uint32_t keyHit, uint32_t D,
                const uint32_t col[4], uint32_t L, uint32_t* out) {
  if (key && keyHit) return false;
  bool translucent = false;
  if (tx.alphaTex) {
    if (key) {
      const bool skipZero = bits == 32 ? mode <= 3 : (mode <= 3 || mode == 10);
      if (tx.a == 0 && skipZero) return false;
      translucent = tx.a != 255;
    } else {
      translucent = true;
    }
  }
  const int shift32[3] = {0, 8, 16};
  const int shift16[3] = {0, 5, 11};
  const int64_t max16[3] = {31, 63, 31};
  const int prod16[3] = {13, 14, 13};
  uint32_t result = 0;
  for (int k = 0; k < 3; ++k) {
    const int sh = bits == 32 ? shift32[k] : shift16[k];
    const int64_t mx = bits == 32 ? 255 : max16[k];
    const int prod = bits == 32 ? 16 : prod16[k];
    const int64_t t = (tx.s >> sh) & mx, d = (D >> sh) & mx;
    const int64_t r = RefChannel(mode, graph, translucent, t, d, col[k], col[3], tx.a, L, mx, prod);
    result |= static_cast<uint32_t>(r & mx) << sh;
  }
  if (mode == 2 || mode == 3) {
    // The packed add and subtract, as the rules write them.
    const uint32_t S = result;
    if (bits == 32) {
      if (mode == 2) {
        const uint32_t t = (S & 0x00FEFEFFu) + (D & 0x00FEFEFFu);
        const uint32_t c = t & 0x01010100u;
        result = t | (c - (c >> 8)) | ((S | D) & 0x00010100u);
      } else {
        const uint32_t e = (D | 0x01010100u) - (S & 0xFEFEFEFFu);
        const uint32_t c = e & 0x01010100u;
        result = (c - (c >> 8)) & e;
      }
    } else {
      if (mode == 2) {
        const uint32_t t = (D & 0xF7DEF7DFu) + (S & 0xF7DEF7DFu);
        const uint32_t c = t & 0x08210820u;
        result = ((c - (c >> 5)) | ((D | S) & 0x0820u) | t) & 0xFFFFu;
      } else {
        const uint32_t e = (D | 0x08210820u) - (S & 0xF7DEF7DFu);
        const uint32_t c = e & 0x08210820u;
        result = ((c - (c >> 5)) & e) & 0xFFFFu;
      }
    }
  } else if (bits == 32) {
    result |= D & 0xFF000000u;
  }
  *out = result;
  return true;
}

// ---- one unclipped triangle ------------------------------------------------

void RefUnclipped(const RefTriangle3DArgs& a, const MemImgVertex3D* v, int zWrite) {
  MEMIMG* dest = a.Dest;
  const int bits = dest->Base->Type == MEMIMG_TYPE_XRGB32 ? 32 : 16;
  static uint32_t white32[64];
  static uint16_t white16[64];
  std::fill(white32, white32 + 64, 0xFFFFFFFFu);
  std::fill(white16, white16 + 64, 0xFFFF);
  const uint8_t* texPixels;
  int texW, texH;
  intptr_t texPitch;
  uint32_t transColor = 0;
  bool palette = false, alpha = false;
  const uint8_t* pal = nullptr;
  if (a.Texture) {
    texPixels = a.Texture->Pixels;
    texW = a.Texture->Width;
    texH = a.Texture->Height;
    texPitch = a.Texture->Base->Pitch;
    transColor = a.Texture->Base->TransColor;
    palette = a.Texture->Base->PaletteFlag == 1;
    alpha = !palette && a.Texture->Base->AlphaFlag == 1;
    pal = a.Texture->Base->Palette;
  } else {
    texPixels =
        bits == 32 ? reinterpret_cast<const uint8_t*>(white32) : reinterpret_cast<const uint8_t*>(white16);
    texW = texH = 8;
    texPitch = bits == 32 ? 32 : 16;
  }
  const int cl = std::max(a.Clip.Left, 0), ct = std::max(a.Clip.Top, 0);
  const int cr = std::min(a.Clip.Right, dest->Width), cb = std::min(a.Clip.Bottom, dest->Height);

  double x[3], y[3], z[3];
  for (int i = 0; i < 3; ++i) {
    if (!std::isfinite(v[i].X) || !std::isfinite(v[i].Y) || !std::isfinite(v[i].W)) return;
    x[i] = v[i].X, y[i] = v[i].Y, z[i] = v[i].Z;
  }
  int ox[3], oy[3], oz[3];
  Order(x, ox);
  Order(y, oy);
  Order(z, oz);
  const int L = ox[0], M = ox[1], R = ox[2], T = oy[0], Mv = oy[1], B = oy[2];
  if (x[R] < cl || x[L] >= cr || y[B] < ct || y[T] >= cb) return;
  if (z[oz[2]] < 0.0 || z[oz[0]] >= 1.0) return;
  if (y[B] - y[T] < double(1.1f) || x[R] - x[L] < double(1.1f)) return;
  const double dxR = x[R] - x[L], dyR = y[R] - y[L], dxM = x[M] - x[L], dyM = y[M] - y[L];
  const double D = dxM * dyR - dyM * dxR;
  if (D == 0.0) return;

  uint32_t q0[8], sx[8], sy[8];
  const double scale[8] = {67108864.0, 67108864.0, 67108864.0, 16777216.0,
                           16384.0,    16384.0,    16384.0,    16384.0};
  for (int p = 0; p < 8; ++p) {
    double qv[3];
    for (int i = 0; i < 3; ++i) {
      const double w = v[i].W;
      const double vals[8] = {w,
                              double(v[i].U) * w,
                              double(v[i].V) * w,
                              z[i],
                              double(v[i].Blue),
                              double(v[i].Green),
                              double(v[i].Red),
                              double(v[i].Alpha)};
      qv[i] = vals[p];
    }
    const double dR = qv[R] - qv[L], dM = qv[M] - qv[L];
    const double qx = (dM * dyR - dR * dyM) / D, qy = (dR * dxM - dM * dxR) / D;
    const double o = qv[L] - x[L] * qx - y[L] * qy;
    q0[p] = static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(o * scale[p])));
    sx[p] = static_cast<uint32_t>(DoubleToIntTrunc(qx * scale[p]));
    sy[p] = static_cast<uint32_t>(DoubleToIntTrunc(qy * scale[p]));
  }

  // Edges.
  const int64_t YT = Fix64(y[T]), YMv = Fix64(y[Mv]), YB = Fix64(y[B]);
  const int64_t firstAfterTop = FloorDiv(YT - kOne / 2, kOne) + 1;  // smallest row whose centre is below yT
  const bool flatTop = CentreOf(firstAfterTop) >= YMv;
  bool flatBottom = false;
  if (!flatTop) {
    flatBottom = true;
    for (int64_t r = FloorDiv(YMv, kOne) - 1; CentreOf(r) < YB; ++r) {
      if (CentreOf(r) >= YMv) flatBottom = false;
    }
  }
  RefEdge le, re;
  if (flatTop || flatBottom) {
    const double xAt = x[T] + (x[B] - x[T]) * (y[Mv] - y[T]) / (y[B] - y[T]);
    if (flatTop) {
      const bool tl = xAt <= x[Mv];
      le = {SegOf(x, y, tl ? T : Mv, B), {}, false, 0};
      re = {SegOf(x, y, tl ? Mv : T, B), {}, false, 0};
    } else {
      const bool ml = x[Mv] <= xAt;
      le = {SegOf(x, y, T, ml ? Mv : B), {}, false, 0};
      re = {SegOf(x, y, T, ml ? B : Mv), {}, false, 0};
    }
  } else {
    const double sTB = (x[B] - x[T]) / (y[B] - y[T]), sTM = (x[Mv] - x[T]) / (y[Mv] - y[T]);
    const RefEdge bent{SegOf(x, y, T, Mv), SegOf(x, y, Mv, B), true, YMv};
    const RefEdge straight{SegOf(x, y, T, B), {}, false, 0};
    le = sTB > sTM ? bent : straight;
    re = sTB > sTM ? straight : bent;
  }

  // The plain families read the white texture like any other.
  MEMIMG white{};
  if (!a.Texture && !a.VertexColour) {
    InitializeMemImg(&white, 8, 8, bits == 32 ? 32 : 16, 0, dest->Base->Type, 0, 0, 0,
                     const_cast<uint8_t*>(texPixels));
  }
  const RefTexelState texelState{bits,    a.Mode,          a.Param, a.Tint, a.Texture ? a.Texture : &white,
                                 a.Graph, a.TransFlag != 0};
  const int64_t first = std::max<int64_t>(firstAfterTop, ct);
  const int64_t limit = std::min<int64_t>(YB, int64_t(cb) * kOne);
  for (int64_t r = first; CentreOf(r) < limit; ++r) {
    const int64_t xl = EdgeX(le, first, r), xr = EdgeX(re, first, r);
    bool firstPixel = true;
    for (int64_t p = cl; p < cr; ++p) {
      const int64_t c = CentreOf(p);
      if (!(c > xl && c <= xr)) continue;
      const uint32_t W = Plane(q0[0], sx[0], sy[0], r, p);
      if (firstPixel && W == 0) break;  // a row whose first W is 0 is not drawn
      firstPixel = false;
      if (a.ZImage) {
        const int32_t zv = static_cast<int32_t>(Plane(q0[3], sx[3], sy[3], r, p)) >> 8;
        const uint16_t d = static_cast<uint16_t>(std::clamp(zv, 0, 0xFFFF));
        uint8_t* zp = a.ZImage->Pixels + r * a.ZImage->Base->Pitch + p * 2;
        uint16_t stored;
        std::memcpy(&stored, zp, 2);
        if (stored < d) continue;
        if (zWrite) std::memcpy(zp, &d, 2);
      }
      if (W == 0) continue;
      const int32_t q = 0x20000000 / static_cast<int32_t>(W);
      const int64_t us = static_cast<int32_t>(Plane(q0[1], sx[1], sy[1], r, p)) >> 10;
      const int64_t vs = static_cast<int32_t>(Plane(q0[2], sx[2], sy[2], r, p)) >> 10;
      const uint32_t tu = static_cast<uint32_t>(us * q * texW) >> 19;
      const uint32_t tv = static_cast<uint32_t>(vs * q * texH) >> 19;
      if (tu >= uint32_t(texW) || tv >= uint32_t(texH)) continue;
      const uint8_t* tp = texPixels + tv * texPitch;
      Texel t{0, 0, alpha};
      uint32_t keyHit = 0;
      if (palette) {
        const uint32_t i = tp[tu];
        keyHit = i == transColor;
        if (bits == 32) {
          std::memcpy(&t.s, pal + i * 4, 4);
        } else {
          uint16_t h;
          std::memcpy(&h, pal + i * 2, 2);
          t.s = h;
        }
      } else if (bits == 32) {
        std::memcpy(&t.s, tp + tu * 4, 4);
        t.a = t.s >> 24;
        keyHit = !alpha && t.s == transColor;
      } else {
        uint16_t h;
        std::memcpy(&h, tp + tu * (alpha ? 4 : 2), 2);
        t.s = h;
        t.a = alpha ? tp[tu * 4 + 2] : 0;
        keyHit = !alpha && t.s == transColor;
      }
      uint8_t* dp = dest->Pixels + r * dest->Base->Pitch + p * (bits / 8);
      if (!a.VertexColour) {
        RefTexelPixel(texelState, dp, tu, tv);
        continue;
      }
      const uint32_t Lv = a.Graph ? BlendGraphLevelTable[a.Graph->Pixels[tv * a.Graph->Base->Pitch + tu]] : 0;
      uint32_t col[4];
      for (int k = 0; k < 4; ++k) col[k] = ColourByte(Plane(q0[4 + k], sx[4 + k], sy[4 + k], r, p));
      uint32_t Dv = 0;
      std::memcpy(&Dv, dp, bits / 8);
      uint32_t out;
      if (RefVcPixel(bits, a.Mode, a.Graph != nullptr, a.TransFlag != 0, t, keyHit, Dv, col, Lv, &out)) {
        std::memcpy(dp, &out, bits / 8);
      }
    }
  }
  TerminateMemImg(&white);
}

// ---- the depth clipper -------------------------------------------------------

// A result stored in a record's float field; beyond the float range, the
// largest float of its sign.
float Stored(double v) {
  constexpr double kMax = 3.4028234663852886e38;
  return v > kMax ? 3.4028234663852886e38f : v < -kMax ? -3.4028234663852886e38f : float(v);
}

// A vertex of the clipped polygon: a vertex record in homogeneous form (x, y
// and z times w, w in the weight's place), so every value the clipper makes
// is a float; the caller's vertex it came from (or -1 for a cut), and
// whether it was cut on the far plane.
struct HV {
  MemImgVertex3D r;
  int orig;
  bool far;
};

HV Between(const HV& s, const HV& e, double t) {
  auto at = [t](float a, float b) { return Stored(double(a) + (double(b) - double(a)) * t); };
  HV c{};
  c.r.X = at(s.r.X, e.r.X);
  c.r.Y = at(s.r.Y, e.r.Y);
  c.r.Z = at(s.r.Z, e.r.Z);
  c.r.W = at(s.r.W, e.r.W);
  c.r.U = at(s.r.U, e.r.U);
  c.r.V = at(s.r.V, e.r.V);
  const int k = FloatToIntTrunc(float(t * 255.0)) & 255;
  const uint8_t* sc = &s.r.Blue;
  const uint8_t* ec = &e.r.Blue;
  uint8_t* cc = &c.r.Blue;
  for (int i = 0; i < 4; ++i) cc[i] = uint8_t((sc[i] * 256 + (ec[i] - sc[i]) * k) >> 8);
  c.orig = -1;
  return c;
}

}  // namespace

void RefDrawTriangle3D(const RefTriangle3DArgs& args, const MemImgVertex3D* v) {
  RefTriangle3DArgs a = args;
  if (!a.VertexColour) {
    // Modes 1 to 3 at parameter 0 draw nothing, not even depth; mode 1 at
    // 255 is mode 0.
    if ((a.Mode == 1 || a.Mode == 2 || a.Mode == 3) && a.Param == 0) return;
    if (a.Mode == 1 && a.Param == 255) a.Mode = 0;
  }
  if (a.ClipFlag != 1) {
    RefUnclipped(a, v, a.ZWrite);
    return;
  }
  int out = 0;
  for (int i = 0; i < 3; ++i) out += (v[i].Z < 0.0f || v[i].Z > 1.0f);
  if (out == 0) {
    RefUnclipped(a, v, a.ZWrite);
    return;
  }
  if (out == 3) return;
  std::vector<HV> poly;
  for (int i = 0; i < 3; ++i) {
    const double h = 1.0 / double(v[i].W);
    HV p{v[i], i, false};
    p.r.X = Stored(double(v[i].X) * h);
    p.r.Y = Stored(double(v[i].Y) * h);
    p.r.Z = Stored(double(v[i].Z) * h);
    p.r.W = Stored(h);
    poly.push_back(p);
  }
  // Far plane (z > w outside), then near plane (z < 0 outside).
  for (int pass = 0; pass < 2; ++pass) {
    auto outside = [&](const HV& p) { return pass == 0 ? p.r.Z > p.r.W : p.r.Z < 0.0f; };
    std::vector<HV> next;
    const size_t n = poly.size();
    for (size_t i = 0; i < n; ++i) {
      const HV& p = poly[i];
      const HV& q = poly[(i + 1) % n];
      if (!outside(p)) next.push_back(p);
      if (outside(p) == outside(q)) continue;
      if (pass == 0) {
        const HV& s = outside(p) ? q : p;
        const HV& e = outside(p) ? p : q;
        const double ds = double(s.r.W) - double(s.r.Z), de = double(e.r.W) - double(e.r.Z);
        HV c = Between(s, e, ds / (ds - de));
        c.r.Z = c.r.W;
        c.far = true;
        next.push_back(c);
      } else {
        const HV& s = outside(p) ? p : q;
        const HV& e = outside(p) ? q : p;
        HV c = Between(s, e, -double(s.r.Z) / (double(e.r.Z) - double(s.r.Z)));
        c.r.Z = 0.0f;
        next.push_back(c);
      }
    }
    poly = next;
  }
  if (poly.size() < 3) return;
  // Back from the homogeneous form; vertices that were inside are the
  // caller's own.
  std::vector<MemImgVertex3D> pv;
  for (const HV& p : poly) {
    if (p.orig >= 0) {
      pv.push_back(v[p.orig]);
      continue;
    }
    const double h = 1.0 / double(p.r.W);
    MemImgVertex3D m = p.r;
    m.X = Stored(double(p.r.X) * h);
    m.Y = Stored(double(p.r.Y) * h);
    m.Z = p.far ? 1.0f : Stored(double(p.r.Z) * h);
    m.W = Stored(h);
    pv.push_back(m);
  }
  for (size_t i = 2; i < pv.size(); ++i) {
    const MemImgVertex3D piece[3] = {i == 2 ? pv[0] : pv[i], i == 2 ? pv[1] : pv[0],
                                     i == 2 ? pv[2] : pv[i - 1]};
    RefUnclipped(a, piece, a.PieceZWrite);
  }
}
