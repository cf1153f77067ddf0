// The per-pixel work of the software triangle rasterisers: how one source
// value (a direct-colour texel, an alpha texel, a palette index or a flat
// colour) is keyed, weighted, tinted and combined with one destination pixel
// under a blend mode. The triangle walkers fetch the texel and the blend-graph
// level and call PixelOp<...>::Apply; everything that does not change within
// a triangle is a template argument, so each instantiation is straight-line.
//
// It needs only the per-triangle PixelParams below, filled by the walker from
// the product tables and the drawing state, and the blits' packed add and
// subtract.
#pragma once
#include <cstdint>
#include <cstring>

#include "softrender/blend_mode.h"
#include "softrender/blit_rules.h"
#include "softrender/memimg_tables.h"

namespace texpix {

// What a texel is. Alpha textures are direct-colour textures with an alpha
// byte (the fourth byte of a 32-bit texel, the third byte of a 4-byte 16-bit
// texel); a flat source has no texel at all.
enum class SourceKind { Flat, Direct, Alpha, Palette };

// Values fixed for one triangle.
struct PixelParams {
  const uint32_t* Tint[3];   // product-table rows of the tint's blue, green and red bytes
  const uint32_t* ParamRow;  // product-table row of the blend parameter
  const int32_t* SignedRow;  // signed product row of the parameter, at its zero entry
  uint32_t Param;            // blend parameter 0..255
  uint32_t Key;              // the texture's transparent colour (raw value or index)
  uint32_t Colour;           // flat sources: the colour, already tinted
  const uint8_t* Palette;    // palette sources: 32-bit or RGB565 entries
  const uint8_t* Levels;     // blend-graph level of each graph byte
};

// The product-table rows one triangle reads: the current tint's and those of
// the blend parameter p.
inline void SetTableRows(PixelParams& pp, uint32_t p) {
  SetTintRows(pp.Tint);
  pp.ParamRow = MemImgProductTable[p];
  pp.SignedRow = &MemImgSignedProductTable[p][255];
  pp.Param = p;
}

// Bytes of one texel.
template <int Depth, SourceKind K>
constexpr int kTexelBytes = K == SourceKind::Palette ? 1
                            : K == SourceKind::Alpha ? 4
                                                     : Depth / 8;

// ---- The rules that differ between pixel depths and modes, by name. ----

// Under the transparent flag an alpha-0 texel leaves the pixel alone in these
// modes; in the others it goes through the weighted formula with a = 0. (Where
// the formula interpolates toward the source, weight 0 leaves the pixel as
// the skip does, so only the other modes need the test.)
constexpr bool SkipsAlphaZero(int depth, int mode) {
  return mode == BLEND_COPY || mode == BLEND_ALPHA || mode == BLEND_ADD || mode == BLEND_SUB ||
         (depth == 16 && mode == BLEND_INVSRC);
}
// A texel of an alpha texture is weighed by its alpha (the translucent path)
// unless the transparent flag is set and the alpha is 255; without the flag
// alpha 255 weighs 255/256 too.
constexpr bool OpaqueUnderKey(uint32_t alpha) { return alpha == 255; }
// The only unweighted store of the whole source value: mode 0, no tint, no
// weight (32-bit pixels: the fourth byte included).
constexpr bool StoresWholeSource(int mode, bool tint, bool graph) {
  return mode == BLEND_COPY && !tint && !graph;
}
// 16-bit pixels weighed by the parameter alone use the signed product table
// (p/255, rounded toward zero); 32-bit pixels floor((x - d) * p / 256).
constexpr bool ParamAloneThroughSignedTable(int depth) { return depth == 16; }
// 16-bit add and subtract without a blend graph scale the raw field by alpha
// before the tint; with a blend graph the tinted field is scaled.
constexpr bool AlphaBeforeTint(int depth, int mode, bool graph) {
  return depth == 16 && (mode == BLEND_ADD || mode == BLEND_SUB) && !graph;
}
// 16-bit mode 11 from an alpha texture, untinted and without a blend graph,
// keeps five more fraction bits of the green product on the translucent path.
constexpr bool FinerMulBlendGreen(int depth, SourceKind k, int mode, bool graph, bool tint) {
  return depth == 16 && k == SourceKind::Alpha && mode == BLEND_MULA && !graph && !tint;
}
// Where the opaque path gives what the translucent path gives with the alpha
// taken as 256 (a weight of exactly 1), and alpha 0 leaves the pixel as a
// skip would, an alpha texel needs no branch: its weight is 256 or its alpha.
// Not so where the parameter alone goes through a product table (add and
// subtract; 16-bit modes 1, 10 and 11 without a blend graph).
constexpr bool OpaqueAsFullWeight(int depth, int mode, bool graph) {
  if (mode == BLEND_ADD || mode == BLEND_SUB) return false;
  return depth == 32 || mode == BLEND_COPY || mode == BLEND_MUL || graph;
}
// Colour keys: a direct texel is compared whole (a 16-bit texel zero-extended)
// with the 32-bit transparent word, a palette texel by its index; alpha
// textures are never compared.
constexpr bool ComparesKey(SourceKind k, bool key) {
  return key && (k == SourceKind::Direct || k == SourceKind::Palette);
}
// A flat colour arrives tinted, so mode 10 inverts it after the tint, while a
// texel is inverted before its tint.
constexpr bool TintsPerPixel(SourceKind k, bool tint) { return tint && k != SourceKind::Flat; }

// (d * 2^k + (x - d) * w) >> k: exact in 32 unsigned bits whenever w < 2^k.
inline uint32_t Mix(uint32_t d, uint32_t x, uint32_t w, int k) { return ((d << k) + (x - d) * w) >> k; }

// Mix of the three channels of 32-bit pixels at once (the fourth byte of the
// result is 0): blue and red in two 32-bit lanes of one word, green alone.
// The lanes' differences may borrow, but every lane's true sum lies in
// [0, 2^32), so the word's sum is exact.
inline uint32_t MixPixel32(uint32_t d, uint32_t x, uint32_t w, int k) {
  if (k == 8) {
    // One weight byte: each lane's sum stays below 2^16, so blue and red
    // fit 16-bit lanes of one 32-bit word.
    const uint32_t dbr = d & 0xFF00FFu, xbr = x & 0xFF00FFu, dg = d & 0xFF00u, xg = x & 0xFF00u;
    const uint32_t br = ((dbr << 8) + (xbr - dbr) * w) >> 8;
    const uint32_t g = ((dg << 8) + (xg - dg) * w) >> 8;
    return (br & 0xFF00FFu) | (g & 0xFF00u);
  }
  const uint64_t db = (d & 0xFFu) | uint64_t(d & 0xFF0000u) << 16;
  const uint64_t xb = (x & 0xFFu) | uint64_t(x & 0xFF0000u) << 16;
  const uint64_t br = ((db << k) + (xb - db) * w) >> k;
  const uint32_t g = Mix((d >> 8) & 0xFFu, (x >> 8) & 0xFFu, w, k);
  return uint32_t(br & 0xFFu) | g << 8 | uint32_t((br >> 32) & 0xFFu) << 16;
}

inline uint32_t Load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline uint32_t Load16(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}
inline void Store32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }
inline void Store16(uint8_t* p, uint32_t v) {
  const uint16_t w = static_cast<uint16_t>(v);
  std::memcpy(p, &w, 2);
}

// The source of one pixel: its raw value and alpha, or "leave the pixel".
struct Source {
  uint32_t Value;
  uint32_t Alpha;
  bool Weighed;   // translucent path: the alpha is a factor of the weight
  uint32_t Keep;  // all ones when the texel is the key: the pixel keeps its value
};

// Key texels are not skipped by a branch (keys scattered over a texture would
// mispredict it): the pixel is computed and its old value written back.
template <typename T>
inline T KeepOr(uint32_t keep, T old, T fresh) {
  return T((old & keep) | (fresh & ~keep));
}

// Fetches and keys the source; false leaves the destination pixel unchanged.
template <int Depth, SourceKind K, int Mode, bool Graph, bool Key>
inline bool FetchSource(const PixelParams& pp, const uint8_t* texel, Source& s) {
  s.Alpha = 255;
  s.Weighed = false;
  s.Keep = 0;
  if constexpr (K == SourceKind::Flat) {
    s.Value = pp.Colour;
  } else if constexpr (K == SourceKind::Palette) {
    const uint32_t index = *texel;
    if constexpr (ComparesKey(K, Key)) s.Keep = 0u - uint32_t(index == pp.Key);
    s.Value = Depth == 32 ? Load32(pp.Palette + index * 4) : Load16(pp.Palette + index * 2);
  } else {
    s.Value = Depth == 32 ? Load32(texel) : Load16(texel);
    if constexpr (K == SourceKind::Direct) {
      if constexpr (ComparesKey(K, Key)) s.Keep = 0u - uint32_t(s.Value == pp.Key);
    } else {
      s.Alpha = Depth == 32 ? s.Value >> 24 : texel[2];
      if constexpr (OpaqueAsFullWeight(Depth, Mode, Graph)) {
        s.Weighed = true;
        if constexpr (Key) s.Alpha += uint32_t(OpaqueUnderKey(s.Alpha));  // 255 weighs 256
      } else if constexpr (Key) {
        if (s.Alpha == 0 && SkipsAlphaZero(Depth, Mode)) return false;
        s.Weighed = !OpaqueUnderKey(s.Alpha);
      } else {
        s.Weighed = true;
      }
    }
  }
  return true;
}

// PixelOp<depth, kind, mode, graph, tint, key>::Apply(params, dst, texel, level)
// combines one source with the destination pixel at dst. texel points at the
// texel (the index byte of a palette texture; unused for a flat source),
// already range-tested; level is the blend-graph weight of that texel (read
// only with a blend graph); tint means a tint that is not white; key is the
// transparent flag. Mode is 0, 1, 2, 3, 4, 10 or 11, after the caller's entry
// tests (mode 1 at parameter 255 comes as mode 0).
template <int Depth, SourceKind K, int Mode, bool Graph, bool Tint, bool Key>
struct PixelOp;

// 32-bit destination pixels: bytes blue, green, red, fourth byte.
template <SourceKind K, int Mode, bool Graph, bool Tint, bool Key>
struct PixelOp<32, K, Mode, Graph, Tint, Key> {
  static inline void Apply(const PixelParams& pp, uint8_t* dst, const uint8_t* texel, uint32_t level) {
    Source src;
    if (!FetchSource<32, K, Mode, Graph, Key>(pp, texel, src)) return;
    const uint32_t s = src.Value;
    constexpr bool whole = StoresWholeSource(Mode, TintsPerPixel(K, Tint), Graph);
    if constexpr (whole && K != SourceKind::Alpha) {
      Store32(dst, ComparesKey(K, Key) ? KeepOr(src.Keep, Load32(dst), s) : s);
      return;
    }
    const uint32_t d = Load32(dst);
    // The weight of the factors that apply and its scale in bytes.
    uint32_t w = 1;
    int factors = 0;
    if constexpr (Graph) w = level, factors = 1;
    if (src.Weighed) w *= src.Alpha, ++factors;
    // The source's three channels, inverted (mode 10) and tinted.
    uint32_t t = s & 0xFFFFFFu;
    if constexpr (Mode == BLEND_INVSRC) t ^= 0xFFFFFFu;
    if constexpr (TintsPerPixel(K, Tint))
      t = pp.Tint[0][t & 255] | pp.Tint[1][(t >> 8) & 255] << 8 | pp.Tint[2][t >> 16] << 16;
    uint32_t out;
    if constexpr (Mode == BLEND_COPY) {
      out = factors == 0 ? t : MixPixel32(d, t, w, 8 * factors);
    } else if constexpr (Mode == BLEND_ALPHA || Mode == BLEND_INVSRC) {
      out = MixPixel32(d, t, w * pp.Param, 8 * (factors + 1));
    } else if constexpr (Mode == BLEND_MULA) {
      uint32_t m = 0;
#pragma GCC unroll 3
      for (int c = 0; c < 24; c += 8) m |= ((((t >> c) & 255) * ((d >> c) & 255)) >> 8) << c;
      out = MixPixel32(d, m, w * pp.Param, 8 * (factors + 1));
    } else {
      out = 0;
#pragma GCC unroll 3
      for (int c = 0; c < 24; c += 8) {
        const uint32_t tc = (t >> c) & 255;
        uint32_t r;
        if constexpr (Mode == BLEND_MUL) {
          r = (tc * ((d >> c) & 255) * w) >> (8 * (factors + 1));
        } else {  // add, subtract: the scaled source
          r = factors == 0 ? pp.ParamRow[tc] : (tc * w * pp.Param) >> (8 * (factors + 1));
        }
        out |= r << c;
      }
    }
    if constexpr (whole && K == SourceKind::Alpha) {
      // An opaque texel (weight 256) is stored whole, its fourth byte included.
      const uint32_t opaque = 0u - (src.Alpha >> 8);  // all ones for weight 256
      Store32(dst, (s & opaque) | (((d & 0xFF000000u) | out) & ~opaque));
    } else if constexpr (Mode == BLEND_ADD) {
      Store32(dst, KeepOr(src.Keep, d, softblit::Packed32<BLEND_ADD, true>(d, out)));
    } else if constexpr (Mode == BLEND_SUB) {
      Store32(dst, KeepOr(src.Keep, d, softblit::Packed32<BLEND_SUB, true>(d, out)));
    } else {
      Store32(dst, KeepOr(src.Keep, d, (d & 0xFF000000u) | out));
    }
  }
};

// 16-bit RGB565 destination pixels; fields keep their 5- and 6-bit widths.
template <SourceKind K, int Mode, bool Graph, bool Tint, bool Key>
struct PixelOp<16, K, Mode, Graph, Tint, Key> {
  static inline void Apply(const PixelParams& pp, uint8_t* dst, const uint8_t* texel, uint32_t level) {
    Source src;
    if (!FetchSource<16, K, Mode, Graph, Key>(pp, texel, src)) return;
    constexpr bool tinted = TintsPerPixel(K, Tint);
    uint32_t s = src.Value;
    if constexpr (StoresWholeSource(Mode, tinted, Graph)) {
      if (!src.Weighed) {
        Store16(dst, ComparesKey(K, Key) ? KeepOr(src.Keep, Load16(dst), s) : s);
        return;
      }
    }
    if constexpr (Mode == BLEND_INVSRC) s = ~s & 0xFFFF;
    const uint32_t d = Load16(dst);
    const uint32_t sf[3] = {s >> 11, (s >> 5) & 63, s & 31};  // red, green, blue
    const uint32_t df[3] = {d >> 11, (d >> 5) & 63, d & 31};
    const int width[3] = {5, 6, 5};
    const uint32_t* tint[3] = {pp.Tint[2], pp.Tint[1], pp.Tint[0]};
    const bool weighed = src.Weighed;
    uint32_t w = 1;
    int factors = 0;
    if constexpr (Graph) w = level, factors = 1;
    if (weighed) w *= src.Alpha, ++factors;
    uint32_t out[3];
#pragma GCC unroll 3
    for (int f = 0; f < 3; ++f) {
      const uint32_t t = tinted ? tint[f][sf[f]] : sf[f];
      const uint32_t dv = df[f];
      if constexpr (Mode == BLEND_COPY) {
        out[f] = factors == 0 ? t : Mix(dv, t, w, 8 * factors);
      } else if constexpr (Mode == BLEND_ALPHA || Mode == BLEND_INVSRC || Mode == BLEND_MULA) {
        const uint32_t x = Mode == BLEND_MULA ? (t * dv) >> width[f] : t;
        if (factors == 0 && ParamAloneThroughSignedTable(16)) {
          out[f] = uint32_t(int32_t(dv) + pp.SignedRow[int32_t(x) - int32_t(dv)]);
        } else if (FinerMulBlendGreen(16, K, Mode, Graph, Tint) && f == 1 && weighed) {
          out[f] = ((dv << 21) + (((t * dv) >> 1) - 32 * dv) * (w * pp.Param)) >> 21;
        } else {
          out[f] = Mix(dv, x, w * pp.Param, 8 * (factors + 1));
        }
      } else if constexpr (Mode == BLEND_MUL) {
        out[f] = (dv * t * w) >> (width[f] + 8 * factors);
      } else {  // add, subtract: the parameter comes last, through the product table
        uint32_t u;
        if (AlphaBeforeTint(16, Mode, Graph) && weighed) {
          u = (sf[f] * src.Alpha) >> 8;
          if (tinted) u = tint[f][u];
        } else {
          u = factors == 0 ? t : (t * w) >> (8 * factors);
        }
        out[f] = pp.ParamRow[u];
      }
    }
    const uint32_t packed = (out[0] << 11) | (out[1] << 5) | out[2];
    if constexpr (Mode == BLEND_ADD) {
      Store16(dst, KeepOr(src.Keep, d, softblit::Packed16<BLEND_ADD, true>(d, packed)));
    } else if constexpr (Mode == BLEND_SUB) {
      Store16(dst, KeepOr(src.Keep, d, softblit::Packed16<BLEND_SUB, true>(d, packed)));
    } else {
      Store16(dst, KeepOr(src.Keep, d, packed));
    }
  }
};

}  // namespace texpix
