#include "softrender/triangle2d_reference.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "softrender/memimg_tables.h"

namespace {

constexpr int64_t kOne = 262144;  // one pixel in 14.18

int64_t FloorDiv(int64_t a, int64_t d) { return a >= 0 ? a / d : -((-a + d - 1) / d); }
int64_t P(int64_t a, int64_t b) { return MemImgProductTable[a][b]; }
int64_t S(int64_t a, int64_t e) { return MemImgSignedProductTable[a][e + 255]; }

int32_t TruncDouble(double v) {
  if (std::isnan(v) || v <= -2147483649.0 || v >= 2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(std::trunc(v));
}

uint32_t Rd(const uint8_t* p, int bytes) {
  uint32_t v = 0;
  std::memcpy(&v, p, bytes);
  return v;
}
void Wr(uint8_t* p, uint32_t v, int bytes) { std::memcpy(p, &v, bytes); }

uint32_t Add32(uint32_t q, uint32_t d) {
  uint32_t sum = (q & 0x00FEFEFFu) + (d & 0x00FEFEFFu), c = sum & 0x01010100u;
  return sum | (c - c / 256) | ((q | d) & 0x00010100u);
}
uint32_t Sub32(uint32_t q, uint32_t d) {
  uint32_t e = (d | 0x01010100u) - (q & 0xFEFEFEFFu), k = e & 0x01010100u;
  return e & (k - k / 256);
}
uint32_t Add16(uint32_t q, uint32_t d) {
  uint32_t sum = (q & 0xF7DEF7DFu) + (d & 0xF7DEF7DFu), c = sum & 0x08210820u;
  return (sum | (c - c / 32) | ((q | d) & 0x0820u)) & 0xFFFF;
}
uint32_t Sub16(uint32_t q, uint32_t d) {
  uint32_t e = (d | 0x08210820u) - (q & 0xF7DEF7DFu), k = e & 0x08210820u;
  return (e & (k - k / 32)) & 0xFFFF;
}

struct Ctx {
  int Depth;
  int Mode;
  int64_t p;
  uint32_t Tint;  // 0xRRGGBB
  bool Tinted;
  const MEMIMG* Tex;
  const MEMIMG* Graph;
  bool Key;
  uint32_t Colour;
};

int64_t TintByte(const Ctx& c, int channel) {
  return (c.Tint >> (8 * channel)) & 0xFF;
}  // 0 blue, 1 green, 2 red

// 10.102-style flat colour over one pixel.
void FlatPixel(const Ctx& c, uint8_t* px) {
  if (c.Depth == 32) {
    const uint32_t d = Rd(px, 4);
    int64_t cc[3], dd[3], r[3];
    for (int k = 0; k < 3; ++k) {
      cc[k] = P(TintByte(c, k), (c.Colour >> (8 * k)) & 0xFF);
      dd[k] = (d >> (8 * k)) & 0xFF;
    }
    const uint32_t prepared = (c.Colour & 0xFF000000u) | uint32_t(cc[0] | cc[1] << 8 | cc[2] << 16);
    uint32_t q = 0;
    for (int k = 0; k < 3; ++k) {
      switch (c.Mode) {
        case 1:
          r[k] = dd[k] + FloorDiv((cc[k] - dd[k]) * c.p, 256);
          break;
        case 2:
        case 3:
          q |= uint32_t(P(c.p, cc[k])) << (8 * k);
          r[k] = 0;
          break;
        case 4:
          r[k] = FloorDiv(cc[k] * dd[k], 256);
          break;
        case 10:
          r[k] = dd[k] + FloorDiv(((255 - cc[k]) - dd[k]) * c.p, 256);
          break;
        case 11:
          r[k] = dd[k] + FloorDiv((FloorDiv(cc[k] * dd[k], 256) - dd[k]) * c.p, 256);
          break;
        default:
          r[k] = 0;
      }
    }
    if (c.Mode == 0) return Wr(px, prepared, 4);
    if (c.Mode == 2) return Wr(px, Add32(q, d), 4);
    if (c.Mode == 3) return Wr(px, Sub32(q, d), 4);
    return Wr(px, (d & 0xFF000000u) | uint32_t(r[0] | r[1] << 8 | r[2] << 16), 4);
  }
  const uint32_t d = Rd(px, 2);
  const int64_t raw[3] = {(c.Colour >> 11) & 31, (c.Colour >> 5) & 63, c.Colour & 31};  // R, G, B
  const int64_t tb[3] = {TintByte(c, 2), TintByte(c, 1), TintByte(c, 0)};
  const int64_t w[3] = {5, 6, 5}, maxv[3] = {31, 63, 31};
  const int64_t dd[3] = {d >> 11, (d >> 5) & 63, d & 31};
  int64_t cc[3], r[3];
  for (int f = 0; f < 3; ++f) cc[f] = P(tb[f], raw[f]);
  for (int f = 0; f < 3; ++f) {
    switch (c.Mode) {
      case 0:
        r[f] = cc[f];
        break;
      case 1:
        r[f] = dd[f] + S(c.p, cc[f] - dd[f]);
        break;
      case 2:
      case 3:
        r[f] = P(c.p, cc[f]);
        break;
      case 4:
        r[f] = FloorDiv(cc[f] * dd[f], int64_t(1) << w[f]);
        break;
      case 10:
        r[f] = dd[f] + S(c.p, (maxv[f] - cc[f]) - dd[f]);
        break;
      default:
        r[f] = dd[f] + S(c.p, FloorDiv(cc[f] * dd[f], int64_t(1) << w[f]) - dd[f]);
        break;
    }
  }
  const uint32_t packed = uint32_t(r[0] << 11 | r[1] << 5 | r[2]);
  if (c.Mode == 2) return Wr(px, Add16(packed, d), 2);
  if (c.Mode == 3) return Wr(px, Sub16(packed, d), 2);
  Wr(px, packed, 2);
}

// One texel at (tx, ty), inside the texture: fetch, key, alpha path, tint,
// blend, write.
void TexelPixel(const Ctx& c, uint8_t* px, int64_t tx, int64_t ty) {
  const MEMIMG* t = c.Tex;
  const MemImgBase* tb = t->Base;
  const bool palette = tb->PaletteFlag == 1, alpha = !palette && tb->AlphaFlag == 1;
  const int texelBytes = palette ? 1 : alpha ? 4 : c.Depth / 8;
  const uint8_t* texel = t->Pixels + ty * tb->Pitch + tx * texelBytes;
  int64_t L = -1;
  if (c.Graph) L = BlendGraphLevelTable[c.Graph->Pixels[ty * c.Graph->Base->Pitch + tx]];
  uint32_t s;
  int64_t a = -1;  // -1: opaque path
  if (palette) {
    const uint32_t index = texel[0];
    if (c.Key && index == tb->TransColor) return;
    s = c.Depth == 32 ? Rd(tb->Palette + 4 * index, 4) : Rd(tb->Palette + 2 * index, 2);
  } else {
    s = Rd(texel, c.Depth / 8);
    if (!alpha && c.Key && s == tb->TransColor) return;
    if (alpha) {
      const int64_t av = c.Depth == 32 ? s >> 24 : texel[2];
      if (c.Key) {
        const bool skipZero = c.Mode <= 3 || (c.Depth == 16 && c.Mode == 10);
        if (av == 0 && skipZero) return;
        a = av == 255 ? -1 : av;
      } else {
        a = av;
      }
    }
  }
  std::vector<int64_t> factors;
  if (L >= 0) factors.push_back(L);
  if (a >= 0) factors.push_back(a);
  int64_t W = 1;
  for (int64_t f : factors) W *= f;
  const int m = int(factors.size());

  if (c.Depth == 32) {
    const uint32_t d = Rd(px, 4);
    int64_t tc[3], dc[3], r[3];
    for (int k = 0; k < 3; ++k) {
      int64_t x = (s >> (8 * k)) & 0xFF;
      if (c.Mode == 10) x = 255 - x;
      tc[k] = c.Tinted ? P(TintByte(c, k), x) : x;
      dc[k] = (d >> (8 * k)) & 0xFF;
    }
    const int64_t scale = int64_t(1) << (8 * m), scaleP = scale * 256;
    uint32_t q = 0;
    for (int k = 0; k < 3; ++k) {
      switch (c.Mode) {
        case 0:
          r[k] = m == 0 ? tc[k] : dc[k] + FloorDiv((tc[k] - dc[k]) * W, scale);
          break;
        case 1:
        case 10:
          r[k] = dc[k] + FloorDiv((tc[k] - dc[k]) * W * c.p, scaleP);
          break;
        case 11:
          r[k] = dc[k] + FloorDiv((FloorDiv(tc[k] * dc[k], 256) - dc[k]) * W * c.p, scaleP);
          break;
        case 4:
          r[k] = FloorDiv(tc[k] * dc[k] * W, scaleP);
          break;
        default:
          r[k] = 0;
          q |= uint32_t(m == 0 ? P(c.p, tc[k]) : FloorDiv(tc[k] * W * c.p, scaleP)) << (8 * k);
      }
    }
    if (c.Mode == 2) return Wr(px, Add32(q, d), 4);
    if (c.Mode == 3) return Wr(px, Sub32(q, d), 4);
    if (c.Mode == 0 && m == 0 && !c.Tinted) return Wr(px, s, 4);
    return Wr(px, (d & 0xFF000000u) | uint32_t(r[0] | r[1] << 8 | r[2] << 16), 4);
  }

  const uint32_t d = Rd(px, 2);
  const uint32_t src = c.Mode == 10 ? (~s & 0xFFFF) : s;
  const int64_t sf[3] = {src >> 11, (src >> 5) & 63, src & 31};
  const int64_t df[3] = {d >> 11, (d >> 5) & 63, d & 31};
  const int64_t tbyte[3] = {TintByte(c, 2), TintByte(c, 1), TintByte(c, 0)};
  const int kF[3] = {5, 6, 5};
  int64_t st[3], r[3];
  for (int f = 0; f < 3; ++f) st[f] = c.Tinted ? P(tbyte[f], sf[f]) : sf[f];
  const bool opaqueNoGraph = a < 0 && L < 0;
  for (int f = 0; f < 3; ++f) {
    switch (c.Mode) {
      case 0:
        r[f] = m == 0
                   ? st[f]
                   : FloorDiv(df[f] * (int64_t(1) << (8 * m)) + (st[f] - df[f]) * W, int64_t(1) << (8 * m));
        break;
      case 1:
      case 10:
      case 11: {
        const int64_t x = c.Mode == 11 ? (st[f] * df[f]) >> kF[f] : st[f];
        if (opaqueNoGraph) {
          r[f] = df[f] + S(c.p, x - df[f]);
        } else if (c.Mode == 11 && f == 1 && alpha && L < 0 && !c.Tinted && a >= 0) {
          const int64_t w = a * c.p;
          r[f] = FloorDiv(df[f] * (int64_t(1) << 21) + (FloorDiv(st[f] * df[f], 2) - 32 * df[f]) * w,
                          int64_t(1) << 21);
        } else {
          const int64_t w = W * c.p, k = 8 * (m + 1);
          r[f] = FloorDiv(df[f] * (int64_t(1) << k) + (x - df[f]) * w, int64_t(1) << k);
        }
        break;
      }
      case 4:
        r[f] = FloorDiv(df[f] * st[f] * W, int64_t(1) << (kF[f] + 8 * m));
        break;
      default: {
        int64_t y;
        if (L < 0 && a < 0)
          y = P(c.p, st[f]);
        else if (L < 0)
          y = P(c.p, c.Tinted ? P(tbyte[f], FloorDiv(sf[f] * a, 256)) : FloorDiv(sf[f] * a, 256));
        else if (a < 0)
          y = P(c.p, FloorDiv(st[f] * L, 256));
        else
          y = P(c.p, FloorDiv(st[f] * L * a, 65536));
        r[f] = y;
      }
    }
  }
  const uint32_t packed = uint32_t(r[0] << 11 | r[1] << 5 | r[2]);
  if (c.Mode == 2) return Wr(px, Add16(packed, d), 2);
  if (c.Mode == 3) return Wr(px, Sub16(packed, d), 2);
  Wr(px, packed, 2);
}

// One textured pixel: the texture range, then the texel.
void TexturedPixel(const Ctx& c, uint8_t* px, int64_t U64, int64_t V64) {
  // Texture coordinates are 32-bit values that wrap.
  const int64_t U = int32_t(uint32_t(uint64_t(U64))), V = int32_t(uint32_t(uint64_t(V64)));
  if (U < 0 || V < 0 || U >= int64_t(c.Tex->Width) * kOne || V >= int64_t(c.Tex->Height) * kOne) return;
  TexelPixel(c, px, U / kOne, V / kOne);
}

bool ValidImg(const MEMIMG* m) { return m && m->Marker == MEMIMG_MARKER && m->Base; }

}  // namespace

void RefTexelPixel(const RefTexelState& st, uint8_t* px, int64_t tx, int64_t ty) {
  Ctx c{};
  c.Depth = st.Depth;
  c.Mode = st.Mode;
  c.p = st.Param;
  c.Tint = st.Tint & 0xFFFFFF;
  c.Tinted = c.Tint != 0xFFFFFF;
  c.Tex = st.Texture;
  c.Graph = st.Graph;
  c.Key = st.Key;
  TexelPixel(c, px, tx, ty);
}

void RefDrawTriangle2D(MEMIMG* dest, const MEMIMG* texture, const MemImgVertex2D* v, int transFlag,
                       const MEMIMG* blendGraph, uint32_t colour, const RefBlendState& st) {
  if (!v || !ValidImg(dest)) return;
  const MemImgBase* db = dest->Base;
  if (db->PaletteFlag == 1 || db->AlphaFlag == 1 || db->Type > 1) return;
  if (texture) {
    if (!ValidImg(texture) || texture->Base->Type != db->Type) return;
    if (blendGraph && (!ValidImg(blendGraph) || blendGraph->Base->Type != MEMIMG_TYPE_GRAY8 ||
                       blendGraph->Width < texture->Width || blendGraph->Height < texture->Height))
      return;
  } else {
    blendGraph = nullptr;
  }
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      const int64_t a[4] = {v[i].x, v[i].y, v[i].u, v[i].v}, b[4] = {v[j].x, v[j].y, v[j].u, v[j].v};
      for (int k = 0; k < 4; ++k)
        if (a[k] < -8192 || a[k] > 8191 || a[k] - b[k] < -8192 || a[k] - b[k] > 8191) return;
    }
  int mode = st.Mode;
  const int64_t p = st.Param;
  if (uint32_t(mode) > 11 || (mode >= 5 && mode <= 9)) return;
  if ((mode == 1 || mode == 2 || mode == 3) && p == 0) return;
  if (mode == 1 && p == 255) mode = 0;
  const int64_t cl = std::max<int64_t>(st.Clip.Left, 0), ct = std::max<int64_t>(st.Clip.Top, 0);
  const int64_t cr = std::min<int64_t>(st.Clip.Right, dest->Width),
                cb = std::min<int64_t>(st.Clip.Bottom, dest->Height);

  int64_t X[3], Y[3];
  for (int i = 0; i < 3; ++i) X[i] = v[i].x * kOne + kOne / 2, Y[i] = v[i].y * kOne + kOne / 2;
  int ox[3] = {0, 1, 2}, oy[3] = {0, 1, 2};
  for (int i = 0; i < 2; ++i)
    for (int j = i + 1; j < 3; ++j) {
      if (X[ox[i]] > X[ox[j]]) std::swap(ox[i], ox[j]);
      if (Y[oy[i]] > Y[oy[j]]) std::swap(oy[i], oy[j]);
    }
  const MemImgVertex2D &l = v[ox[0]], &mm = v[ox[1]], &r = v[ox[2]];
  const int64_t det = int64_t(mm.y - l.y) * (r.x - l.x) - int64_t(r.y - l.y) * (mm.x - l.x);
  if (det == 0) return;
  auto gx = [&](int64_t dlm, int64_t dlr) {
    return int64_t(TruncDouble(double((mm.y - l.y) * dlr - (r.y - l.y) * dlm) * 262144.0 / double(det)));
  };
  auto gy = [&](int64_t dlm, int64_t dlr) {
    return int64_t(TruncDouble(double(dlm * (r.x - l.x) - (mm.x - l.x) * dlr) * 262144.0 / double(det)));
  };
  const int64_t Ux = gx(mm.u - l.u, r.u - l.u), Uy = gy(mm.u - l.u, r.u - l.u);
  const int64_t Vx = gx(mm.v - l.v, r.v - l.v), Vy = gy(mm.v - l.v, r.v - l.v);

  // Edges: each side a list of (start X, slope, rows).
  struct Seg {
    int64_t x, slope, rows;
  };
  std::vector<Seg> left, right;
  const int t = oy[0], c = oy[1], b = oy[2];
  auto seg = [&](int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
    const int64_t rows = (y1 - y0) / kOne;
    const int64_t dx = x1 - x0;
    return Seg{x0, dx / rows, rows};  // C++ division truncates toward zero
  };
  if (Y[t] == Y[c]) {
    if (Y[c] == Y[b]) return;
    const int lt = X[t] > X[c] ? c : t, rt = X[t] > X[c] ? t : c;
    left.push_back(seg(X[lt], Y[lt], X[b], Y[b]));
    right.push_back(seg(X[rt], Y[rt], X[b], Y[b]));
  } else if (Y[c] == Y[b]) {
    const int lb = X[c] > X[b] ? b : c, rb = X[c] > X[b] ? c : b;
    left.push_back(seg(X[t], Y[t], X[lb], Y[lb]));
    right.push_back(seg(X[t], Y[t], X[rb], Y[rb]));
  } else {
    const double stc = double(X[c] - X[t]) / (double(Y[c] - Y[t]) / 262144.0);
    const double stb = double(X[b] - X[t]) / (double(Y[b] - Y[t]) / 262144.0);
    if (stb > stc) {
      left.push_back(seg(X[t], Y[t], X[c], Y[c]));
      left.push_back(seg(X[c], Y[c], X[b], Y[b]));
      right.push_back(seg(X[t], Y[t], X[b], Y[b]));
    } else {
      left.push_back(seg(X[t], Y[t], X[b], Y[b]));
      right.push_back(seg(X[t], Y[t], X[c], Y[c]));
      right.push_back(seg(X[c] + 1, Y[c], X[b], Y[b]));
    }
  }

  Ctx cx{};
  cx.Depth = db->Type == MEMIMG_TYPE_XRGB32 ? 32 : 16;
  cx.Mode = mode;
  cx.p = p;
  cx.Tint = st.Tint & 0xFFFFFF;
  cx.Tinted = cx.Tint != 0xFFFFFF;
  cx.Tex = texture;
  cx.Graph = blendGraph;
  cx.Key = transFlag != 0;
  cx.Colour = colour;
  if (texture && (texture->Base->Type > 1)) return;

  // The rows, from the top vertex's row; both sides count the same rows.
  size_t li = 0, ri = 0;
  int64_t lx = left[0].x, rx = right[0].x, lrows = left[0].rows, rrows = right[0].rows;
  int64_t row = FloorDiv(Y[t], kOne);
  const int bpp = cx.Depth / 8;
  for (;;) {
    int64_t col = FloorDiv(lx, kOne), n = FloorDiv(rx, kOne) - col + 1;
    if (col < cl) n -= cl - col, col = cl;
    const int64_t rowsFromRef = row - l.y;
    int64_t U = int64_t(l.u) * kOne + (col - l.x) * Ux + rowsFromRef * Uy;
    int64_t V = int64_t(l.v) * kOne + (col - l.x) * Vx + rowsFromRef * Vy;
    if (row >= ct && row < cb && col < cr && n > 0) {
      for (; n > 0 && col < cr; --n, ++col, U += Ux, V += Vx) {
        uint8_t* px = dest->Pixels + row * int64_t(db->Pitch) + col * bpp;
        if (texture)
          TexturedPixel(cx, px, U, V);
        else
          FlatPixel(cx, px);
      }
    }
    lx += left[li].slope, rx += right[ri].slope, ++row, --lrows, --rrows;
    if (lrows == 0) {
      if (++li == left.size()) break;
      lx = left[li].x, lrows = left[li].rows, row = FloorDiv(Y[c], kOne);
    }
    if (rrows == 0) {
      if (++ri == right.size()) break;
      rx = right[ri].x, rrows = right[ri].rows;
    }
  }
}
