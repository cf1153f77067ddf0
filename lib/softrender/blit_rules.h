// What every blit loop shares: the per-draw job, the compile-time
// configuration of one loop, pixel access, the packed add and subtract, and
// the per-pixel blend rules (tint, weights: blend-graph level, source alpha,
// parameter; then the operator), each with its shortcuts and exceptions.
#pragma once
#include <emmintrin.h>

#include <cstdint>
#include <cstring>

#include "softrender/memimg.h"
#include "softrender/memimg_tables.h"

namespace softblit {

enum class SrcKind { Direct, Alpha, Palette };

// Everything a loop needs, prepared once per draw.
struct BlitJob {
  uint8_t* Dst;
  intptr_t DstPitch;
  const uint8_t* Src;
  intptr_t SrcPitch;     // 0 repeats one source row (fills)
  const uint8_t* Graph;  // blend graph, one byte per pixel, or null
  intptr_t GraphPitch;
  const uint8_t* Runs;      // the source's run table (run-table loops)
  const uint64_t* RunMask;  // the run table's kind masks (see MemImgBase)
  intptr_t RunMaskWords;
  const uint64_t* RunBits;  // its drawn bits and their row stride in words (see MemImgBase)
  intptr_t RunBitsStride;
  bool ShortSpans;  // the table's drawn spans are short (see RunTableHasShortSpans)
  int Width;
  int Height;
  uint32_t Key;             // transparent colour (an index for palette sources)
  uint32_t P;               // blend parameter
  const uint32_t* Pp;       // product row of p
  const int32_t* Sp;        // signed product row of p, centred on difference 0
  const uint8_t* Lerp;      // 64 x 64 lerp block of p / 4
  const uint32_t* Tint[3];  // product rows of the tint's blue, green, red
  const uint8_t* Levels;    // blend-graph level table
  const uint8_t* Palette;   // 256 entries: u16 (16-bit) or u32 0x00RRGGBB (32-bit)
};
using BlitFn = void (*)(const BlitJob&);

// The decisions taken once per draw.
struct BlitChoice {
  int Mode;    // 0, 1, 2, 3, 4, 10 or 11 (mode 1 at p = 255 already made 0)
  bool Graph;  // blend graph given
  bool Tint;   // tint present
  bool Key;    // transparent flag
  bool Run;    // run-table loops
  bool Fast;   // mode 1 at p = 128 (half sum) or modes 2, 3 at p = 255 (unscaled)
  bool Mmx;    // the MMX twins of the fast 32-bit loops
};

template <int Bits_, SrcKind S_, int Mode_, bool Graph_, bool Tint_, bool Key_, bool Run_, bool Fast_,
          bool Mmx_>
struct Cfg {
  static constexpr int Bits = Bits_;
  static constexpr SrcKind S = S_;
  static constexpr int Mode = Mode_;
  static constexpr bool Graph = Graph_;
  static constexpr bool Tint = Tint_;
  static constexpr bool Key = Key_;
  static constexpr bool Run = Run_;
  static constexpr bool Fast = Fast_;
  static constexpr bool Mmx = Mmx_;
  static constexpr bool HasP = BlendModeUsesParam(Mode);
  static constexpr int DstStep = Bits / 8;
  static constexpr int SrcStep = S == SrcKind::Palette ? 1 : S == SrcKind::Alpha ? 4 : Bits / 8;
  // A plain copy of the source pixel, no rule applied.
  static constexpr bool RawCopy = Mode == BLEND_COPY && !Graph && !Tint;
};

// ---- pixel access -------------------------------------------------------

template <class C>
inline uint32_t LoadDst(const uint8_t* d) {
  if constexpr (C::Bits == 32) {
    uint32_t v;
    std::memcpy(&v, d, 4);
    return v;
  } else {
    uint16_t v;
    std::memcpy(&v, d, 2);
    return v;
  }
}

template <class C>
inline void StoreDst(uint8_t* d, uint32_t v) {
  if constexpr (C::Bits == 32) {
    std::memcpy(d, &v, 4);
  } else {
    const uint16_t w = static_cast<uint16_t>(v);
    std::memcpy(d, &w, 2);
  }
}

// The raw source value: the index of a palette source, else the pixel.
template <class C>
inline uint32_t LoadRaw(const uint8_t* s) {
  if constexpr (C::S == SrcKind::Palette) {
    return *s;
  } else if constexpr (C::Bits == 32) {
    uint32_t v;
    std::memcpy(&v, s, 4);
    return v;
  } else {
    uint16_t v;
    std::memcpy(&v, s, 2);
    return v;
  }
}

template <class C>
inline uint32_t Resolve(uint32_t raw, const BlitJob& j) {
  if constexpr (C::S == SrcKind::Palette) {
    if constexpr (C::Bits == 32) {
      uint32_t v;
      std::memcpy(&v, j.Palette + raw * 4, 4);
      return v;
    } else {
      uint16_t v;
      std::memcpy(&v, j.Palette + raw * 2, 2);
      return v;
    }
  } else {
    return raw;
  }
}

template <class C>
inline uint32_t LoadAlpha(const uint8_t* s) {
  return C::Bits == 32 ? s[3] : s[2];
}

// ---- packed add and subtract ------------------------------------------

// One 32-bit pixel; B keeps bit 0 of green and red where either operand has it.
template <int Mode, bool B>
inline uint32_t Packed32(uint32_t d, uint32_t s) {
  if constexpr (Mode == BLEND_ADD) {
    const uint32_t sum = (d & 0xFEFEFFu) + (s & 0xFEFEFFu);
    const uint32_t c = sum & 0x1010100u;
    uint32_t r = sum | (c - (c >> 8));
    if constexpr (B) r |= (d | s) & 0x10100u;
    return r;
  } else {
    const uint32_t r = (d | 0x1010100u) - (s & 0xFEFEFFu);
    const uint32_t g = r & 0x1010100u;
    return r & (g - (g >> 8));
  }
}

template <int Mode, bool B>
inline uint32_t Packed16(uint32_t d, uint32_t s) {
  if constexpr (Mode == BLEND_ADD) {
    const uint32_t sum = (d & 0xF7DFu) + (s & 0xF7DFu);
    const uint32_t c = sum & 0x10820u;
    uint32_t r = sum | (c - (c >> 5));
    if constexpr (B) r |= (d | s) & 0x0820u;
    return r & 0xFFFFu;
  } else {
    const uint32_t r = (d | 0x10820u) - (s & 0xF7DFu);
    const uint32_t g = r & 0x10820u;
    return r & (g - (g >> 5)) & 0xFFFFu;
  }
}

// Two adjacent 16-bit pixels in one word (the first in the low half); the
// carry or borrow out of the word stands for the second pixel's red.
template <int Mode>
inline uint32_t PackedPair16(uint32_t d, uint32_t s) {
  constexpr uint32_t M = 0xF7DEF7DFu, G = 0x8210820u;
  if constexpr (Mode == BLEND_ADD) {
    const uint64_t wide = static_cast<uint64_t>(d & M) + (s & M);
    const uint32_t sum = static_cast<uint32_t>(wide);
    const uint32_t out = (wide >> 32) ? 0x8000000u : 0u;
    const uint32_t c = sum & G;
    return sum | (c - ((c >> 5) | out));
  } else {
    const uint32_t a = d | G, b = s & M;
    const uint32_t r = a - b;
    const uint32_t keep = a >= b ? 0xF8000000u : 0u;
    const uint32_t g = r & G;
    return r & ((g - (g >> 5)) | keep);
  }
}

inline uint32_t Half32(uint32_t s, uint32_t d) { return ((s >> 1) & 0x7F7F7Fu) + ((d >> 1) & 0x7F7F7Fu); }
inline uint32_t Half16(uint32_t s, uint32_t d) { return ((s >> 1) & 0x7BEFu) + ((d >> 1) & 0x7BEFu); }

// ---- the per-pixel rules ------------------------------------------------

// d + floor((x - d) * w / 256^k).
template <int K>
inline int Interp(int d, int x, uint64_t w) {
  if constexpr (K == 0) {
    return x;
  } else {
    return d + static_cast<int>((static_cast<int64_t>(x - d) * static_cast<int64_t>(w)) >> (8 * K));
  }
}

template <class C, bool UseA>
inline uint64_t Weight(uint32_t a, uint32_t L, const BlitJob& j) {
  uint64_t w = 1;
  if constexpr (C::Graph) w *= L;
  if constexpr (UseA) w *= a;
  if constexpr (C::HasP) w *= j.P;
  return w;
}

template <class C, bool UseA>
inline uint32_t Compute32(uint32_t s, uint32_t d, uint32_t a, uint32_t L, const BlitJob& j) {
  constexpr int M = C::Mode;
  constexpr int K = (C::Graph ? 1 : 0) + (UseA ? 1 : 0) + (C::HasP ? 1 : 0);
  if constexpr ((M == BLEND_ADD || M == BLEND_SUB) && C::Fast) {
    return Packed32<M, false>(d, s);
  } else if constexpr (M == BLEND_ALPHA && C::Fast) {
    return Half32(s, d);
  } else if constexpr (M == BLEND_COPY && K == 0 && !C::Tint) {
    return s;
  } else {
    const uint64_t w = Weight<C, UseA>(a, L, j);
    uint32_t out = 0;
#pragma GCC unroll 3
    for (int sh = 0; sh < 24; sh += 8) {
      int sc = static_cast<int>((s >> sh) & 255);
      const int dc = static_cast<int>((d >> sh) & 255);
      if constexpr (M == BLEND_INVSRC) sc = 255 - sc;
      if constexpr (C::Tint) sc = static_cast<int>(j.Tint[sh / 8][sc]);
      int r;
      if constexpr (M == BLEND_MUL) {
        r = static_cast<int>((static_cast<uint64_t>(dc) * static_cast<uint64_t>(sc) * w) >> (8 + 8 * K));
      } else if constexpr (M == BLEND_ADD || M == BLEND_SUB) {
        if constexpr (K == 1) {
          r = static_cast<int>(j.Pp[sc]);
        } else {
          r = static_cast<int>((static_cast<uint64_t>(sc) * w) >> (8 * K));
        }
      } else {
        const int x = M == BLEND_MULA ? (dc * sc) >> 8 : sc;
        r = Interp<K>(dc, x, w);
      }
      out |= static_cast<uint32_t>(r) << sh;
    }
    if constexpr (M == BLEND_ADD || M == BLEND_SUB) {
      return Packed32<M, true>(d, out);
    } else {
      return out | (d & 0xFF000000u);  // the fourth byte is not a channel
    }
  }
}

template <class C, bool UseA>
inline uint32_t Compute16(uint32_t s, uint32_t d, uint32_t a, uint32_t L, const BlitJob& j) {
  constexpr int M = C::Mode;
  constexpr int K = (C::Graph ? 1 : 0) + (UseA ? 1 : 0) + (C::HasP ? 1 : 0);
  if constexpr ((M == BLEND_ADD || M == BLEND_SUB) && C::Fast) {
    return Packed16<M, false>(d, s);
  } else if constexpr (M == BLEND_ALPHA && C::Fast) {
    return Half16(s, d);
  } else if constexpr (M == BLEND_COPY && K == 0 && !C::Tint) {
    return s;
  } else {
    if constexpr (M == BLEND_INVSRC) s = ~s & 0xFFFFu;
    const uint64_t w = Weight<C, UseA>(a, L, j);
    constexpr int kShift[3] = {0, 5, 11};
    constexpr int kBits[3] = {5, 6, 5};
    constexpr uint32_t kMax[3] = {31, 63, 31};
    uint32_t out = 0;
#pragma GCC unroll 3
    for (int c = 0; c < 3; ++c) {
      const int sf = static_cast<int>((s >> kShift[c]) & kMax[c]);
      const int df = static_cast<int>((d >> kShift[c]) & kMax[c]);
      int r;
      if constexpr (M == BLEND_ADD || M == BLEND_SUB) {
        // The parameter comes last, through the product table; tint and
        // alpha come before it in an order that depends on the blend graph.
        int u;
        if constexpr (C::Graph) {
          const int t = C::Tint ? static_cast<int>(j.Tint[c][sf]) : sf;
          const uint64_t w2 = static_cast<uint64_t>(L) * (UseA ? a : 1u);
          u = static_cast<int>((static_cast<uint64_t>(t) * w2) >> (UseA ? 16 : 8));
        } else if constexpr (UseA) {
          const int u0 = static_cast<int>((static_cast<uint32_t>(sf) * a) >> 8);
          u = C::Tint ? static_cast<int>(j.Tint[c][u0]) : u0;
        } else {
          u = C::Tint ? static_cast<int>(j.Tint[c][sf]) : sf;
        }
        r = static_cast<int>(j.Pp[u]);
      } else {
        const int sc = C::Tint ? static_cast<int>(j.Tint[c][sf]) : sf;
        if constexpr (M == BLEND_MUL) {
          r = static_cast<int>((static_cast<uint64_t>(df) * static_cast<uint64_t>(sc) * w) >>
                               (kBits[c] + 8 * K));
        } else {
          const int x = M == BLEND_MULA ? (df * sc) >> kBits[c] : sc;
          if constexpr (K == 1 && C::HasP) {
            // p alone: 64-level lerp table for the plain mode-1 loops, the
            // signed product table (division by 255) everywhere else.
            if constexpr (M == BLEND_ALPHA && !C::Run && !C::Tint && C::S != SrcKind::Alpha) {
              r = j.Lerp[x * 64 + df];
            } else {
              r = df + j.Sp[x - df];
            }
          } else {
            r = Interp<K>(df, x, w);
          }
        }
      }
      out |= static_cast<uint32_t>(r) << kShift[c];
    }
    if constexpr (M == BLEND_ADD || M == BLEND_SUB) {
      return Packed16<M, true>(d, out);
    } else {
      return out;
    }
  }
}

template <class C, bool UseA>
inline uint32_t Compute(uint32_t s, uint32_t d, uint32_t a, uint32_t L, const BlitJob& j) {
  if constexpr (C::Bits == 32) {
    return Compute32<C, UseA>(s, d, a, L, j);
  } else {
    return Compute16<C, UseA>(s, d, a, L, j);
  }
}

}  // namespace softblit
