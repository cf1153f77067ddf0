// The pixel loops of the software blits. Each combination of depth, source
// kind, blend mode and option is one instantiation of BlitRows<Cfg<...>>, so
// that inside a loop nothing is tested per pixel but the colour key or the
// alpha value. Here: the per-pixel spans, the copies and the twins of the
// MMX loops (both in SSE2), the choice of a span and the rows; the SSE2
// weighing and run-table loops come from blit_simd.h.
#pragma once
#include <emmintrin.h>

#include <cstdint>
#include <cstring>

#include "softrender/blit_rules.h"

namespace softblit {

// ---- SSE2 twins of the MMX loops (same pixels as the rules) -------------

template <class C>
inline __m128i Gather4(const uint8_t* s, const BlitJob& j) {
  if constexpr (C::S == SrcKind::Palette) {
    return _mm_setr_epi32(static_cast<int>(Resolve<C>(s[0], j)), static_cast<int>(Resolve<C>(s[1], j)),
                          static_cast<int>(Resolve<C>(s[2], j)), static_cast<int>(Resolve<C>(s[3], j)));
  } else {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
  }
}

// Lanes whose source is the key; all zero without a key.
template <class C>
inline __m128i KeyMask4(const uint8_t* s, const BlitJob& j) {
  if constexpr (!C::Key) {
    return _mm_setzero_si128();
  } else if constexpr (C::S == SrcKind::Palette) {
    return _mm_setr_epi32(s[0] == j.Key ? -1 : 0, s[1] == j.Key ? -1 : 0, s[2] == j.Key ? -1 : 0,
                          s[3] == j.Key ? -1 : 0);
  } else {
    return _mm_cmpeq_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s)),
                           _mm_set1_epi32(static_cast<int>(j.Key)));
  }
}

template <class C>
inline __m128i Mmx4(__m128i s, __m128i d) {
  if constexpr (C::Mode == BLEND_ADD) {
    return _mm_adds_epu8(d, s);
  } else if constexpr (C::Mode == BLEND_SUB) {
    return _mm_subs_epu8(d, s);
  } else {
    const __m128i m = _mm_set1_epi32(0x7F7F7F);
    return _mm_add_epi32(_mm_and_si128(_mm_srli_epi32(s, 1), m), _mm_and_si128(_mm_srli_epi32(d, 1), m));
  }
}

template <class C>
inline void SpanMmx(uint8_t* d, const uint8_t* s, int n, const BlitJob& j) {
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    const uint8_t* sp = s + i * C::SrcStep;
    uint8_t* dp = d + i * 4;
    const __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dp));
    __m128i r = Mmx4<C>(Gather4<C>(sp, j), dv);
    if constexpr (C::Key) {
      const __m128i m = KeyMask4<C>(sp, j);
      r = _mm_or_si128(_mm_and_si128(m, dv), _mm_andnot_si128(m, r));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dp), r);
  }
  for (; i < n; ++i) {
    const uint8_t* sp = s + i * C::SrcStep;
    const uint32_t raw = LoadRaw<C>(sp);
    if (C::Key && raw == j.Key) continue;
    const __m128i r = Mmx4<C>(_mm_cvtsi32_si128(static_cast<int>(Resolve<C>(raw, j))),
                              _mm_cvtsi32_si128(static_cast<int>(LoadDst<C>(d + i * 4))));
    StoreDst<C>(d + i * 4, static_cast<uint32_t>(_mm_cvtsi128_si32(r)));
  }
}

// ---- spans --------------------------------------------------------------

// Unscaled 16-bit add and subtract: two pixels per step.
template <class C>
inline void SpanPairs16(uint8_t* d, const uint8_t* s, int n, const BlitJob& j) {
  int i = 0;
  for (; i + 2 <= n; i += 2) {
    const uint32_t r0 = LoadRaw<C>(s + i * C::SrcStep), r1 = LoadRaw<C>(s + (i + 1) * C::SrcStep);
    const bool draw0 = !C::Key || r0 != j.Key, draw1 = !C::Key || r1 != j.Key;
    const uint32_t d0 = LoadDst<C>(d + i * 2), d1 = LoadDst<C>(d + i * 2 + 2);
    const uint32_t s0 = Resolve<C>(r0, j), s1 = Resolve<C>(r1, j);
    if (draw0 && draw1) {
      const uint32_t r = PackedPair16<C::Mode>(d0 | d1 << 16, s0 | s1 << 16);
      StoreDst<C>(d + i * 2, r);
      StoreDst<C>(d + i * 2 + 2, r >> 16);
    } else if (draw0) {
      StoreDst<C>(d + i * 2, Packed16<C::Mode, false>(d0, s0));
    } else if (draw1) {
      StoreDst<C>(d + i * 2 + 2, Packed16<C::Mode, false>(d1, s1));
    }
  }
  if (i < n) {
    const uint32_t r0 = LoadRaw<C>(s + i * C::SrcStep);
    if (!C::Key || r0 != j.Key)
      StoreDst<C>(d + i * 2, Packed16<C::Mode, false>(LoadDst<C>(d + i * 2), Resolve<C>(r0, j)));
  }
}

// Moves 2 to 128 bytes (a run of a run table, mostly) without a call: every
// load comes before the first store, so overlapping ranges move correctly
// (a view may be drawn onto its own image).
inline void MoveSmall(uint8_t* d, const uint8_t* s, size_t n) {
  auto ld = [](const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
  auto st = [](uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); };
  if (n > 64) {
    const __m128i a = ld(s), b = ld(s + 16), c = ld(s + 32), e = ld(s + 48);
    const __m128i f = ld(s + n - 64), g = ld(s + n - 48), h = ld(s + n - 32), k = ld(s + n - 16);
    st(d, a);
    st(d + 16, b);
    st(d + 32, c);
    st(d + 48, e);
    st(d + n - 64, f);
    st(d + n - 48, g);
    st(d + n - 32, h);
    st(d + n - 16, k);
  } else if (n >= 32) {
    const __m128i a = ld(s), b = ld(s + 16), c = ld(s + n - 32), e = ld(s + n - 16);
    st(d, a);
    st(d + 16, b);
    st(d + n - 32, c);
    st(d + n - 16, e);
  } else if (n >= 16) {
    const __m128i a = ld(s), b = ld(s + n - 16);
    st(d, a);
    st(d + n - 16, b);
  } else if (n >= 8) {
    uint64_t a, b;
    std::memcpy(&a, s, 8);
    std::memcpy(&b, s + n - 8, 8);
    std::memcpy(d, &a, 8);
    std::memcpy(d + n - 8, &b, 8);
  } else if (n >= 4) {
    uint32_t a, b;
    std::memcpy(&a, s, 4);
    std::memcpy(&b, s + n - 4, 4);
    std::memcpy(d, &a, 4);
    std::memcpy(d + n - 4, &b, 4);
  } else {
    uint16_t a, b;
    std::memcpy(&a, s, 2);
    std::memcpy(&b, s + n - 2, 2);
    std::memcpy(d, &a, 2);
    std::memcpy(d + n - 2, &b, 2);
  }
}

// A plain copy of a direct (or alpha, raw) source without key.
template <class C>
inline void SpanRawCopy(uint8_t* d, const uint8_t* s, int n) {
  if constexpr (C::SrcStep == C::DstStep) {
    if (n <= 0) return;
    const size_t bytes = static_cast<size_t>(n) * C::DstStep;
    if (bytes <= 128) {
      MoveSmall(d, s, bytes);
    } else {
      std::memmove(d, s, bytes);  // a view may be drawn onto its own image
    }
  } else {
    for (int i = 0; i < n; ++i) std::memcpy(d + i * C::DstStep, s + i * C::SrcStep, C::DstStep);
  }
}

// Keyed plain copy of a direct source.
template <class C>
inline void SpanKeyCopy(uint8_t* d, const uint8_t* s, int n, const BlitJob& j) {
  int i = 0;
  if constexpr (C::Bits == 32) {
    const __m128i key = _mm_set1_epi32(static_cast<int>(j.Key));
    for (; i + 4 <= n; i += 4) {
      const __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i * 4));
      const __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i * 4));
      const __m128i m = _mm_cmpeq_epi32(sv, key);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i * 4),
                       _mm_or_si128(_mm_and_si128(m, dv), _mm_andnot_si128(m, sv)));
    }
  } else {
    const __m128i key = _mm_set1_epi16(static_cast<short>(j.Key));
    for (; i + 8 <= n; i += 8) {
      const __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i * 2));
      const __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i * 2));
      const __m128i m = _mm_cmpeq_epi16(sv, key);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i * 2),
                       _mm_or_si128(_mm_and_si128(m, dv), _mm_andnot_si128(m, sv)));
    }
  }
  for (; i < n; ++i) {
    const uint32_t v = LoadRaw<C>(s + i * C::SrcStep);
    if (v != j.Key) StoreDst<C>(d + i * C::DstStep, v);
  }
}

// Plain copy of a palette source: four indices read at once, each looked up;
// with the key, the looked-up entries replace the destination only where the
// index is not the key, without a branch per pixel (keys fall at random in
// many images). A key above 255 matches no index.
template <class C, bool Keyed>
inline void SpanPaletteCopy(uint8_t* d, const uint8_t* s, int n, const BlitJob& j) {
  const uint8_t* pal = j.Palette;
  auto entry = [pal](size_t index) {
    if constexpr (C::Bits == 32) {
      uint32_t v;
      std::memcpy(&v, pal + index * 4, 4);
      return v;
    } else {
      uint16_t v;
      std::memcpy(&v, pal + index * 2, 2);
      return static_cast<uint32_t>(v);
    }
  };
  const uint32_t key = j.Key;
  int i = 0;
  if constexpr (Keyed) {
    // The key as a lane value no index reaches when it is above 255.
    const int keyLane = key > 255 ? -1 : static_cast<int>(key);
    const __m128i zero = _mm_setzero_si128();
    auto select = [](__m128i keep, __m128i dv, __m128i v) {
      return _mm_or_si128(_mm_and_si128(keep, dv), _mm_andnot_si128(keep, v));
    };
    if constexpr (C::Bits == 32) {
      auto four = [&](int at) {
        auto one = [&](int k) { return _mm_cvtsi32_si128(static_cast<int>(entry(s[at + k]))); };
        return _mm_unpacklo_epi64(_mm_unpacklo_epi32(one(0), one(1)), _mm_unpacklo_epi32(one(2), one(3)));
      };
      const __m128i keyv = _mm_set1_epi32(keyLane);
      for (; i + 8 <= n; i += 8) {
        const __m128i idx = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + i)), zero);
        const __m128i keepLo = _mm_cmpeq_epi32(_mm_unpacklo_epi16(idx, zero), keyv);
        const __m128i keepHi = _mm_cmpeq_epi32(_mm_unpackhi_epi16(idx, zero), keyv);
        uint8_t* dp = d + i * 4;
        const __m128i d0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dp));
        const __m128i d1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dp + 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dp), select(keepLo, d0, four(i)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dp + 16), select(keepHi, d1, four(i + 4)));
      }
      if (i + 4 <= n) {
        uint32_t q;
        std::memcpy(&q, s + i, 4);
        const __m128i idx =
            _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(q)), zero), zero);
        const __m128i keep = _mm_cmpeq_epi32(idx, keyv);
        const __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i * 4));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i * 4), select(keep, dv, four(i)));
        i += 4;
      }
    } else {
      auto four = [&](int at) {
        return static_cast<uint64_t>(entry(s[at]) | entry(s[at + 1]) << 16) |
               static_cast<uint64_t>(entry(s[at + 2]) | entry(s[at + 3]) << 16) << 32;
      };
      for (; i + 8 <= n; i += 8) {
        // Each entry inserted into its lane straight from the palette.
        __m128i v = _mm_cvtsi32_si128(static_cast<int>(entry(s[i])));
        v = _mm_insert_epi16(v, static_cast<int>(entry(s[i + 1])), 1);
        v = _mm_insert_epi16(v, static_cast<int>(entry(s[i + 2])), 2);
        v = _mm_insert_epi16(v, static_cast<int>(entry(s[i + 3])), 3);
        v = _mm_insert_epi16(v, static_cast<int>(entry(s[i + 4])), 4);
        v = _mm_insert_epi16(v, static_cast<int>(entry(s[i + 5])), 5);
        v = _mm_insert_epi16(v, static_cast<int>(entry(s[i + 6])), 6);
        v = _mm_insert_epi16(v, static_cast<int>(entry(s[i + 7])), 7);
        const __m128i idx = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + i)), zero);
        const __m128i keep = _mm_cmpeq_epi16(idx, _mm_set1_epi16(static_cast<short>(keyLane)));
        const __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i * 2));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i * 2), select(keep, dv, v));
      }
      if (i + 4 <= n) {
        const __m128i v = _mm_cvtsi64_si128(static_cast<long long>(four(i)));
        uint32_t q;
        std::memcpy(&q, s + i, 4);
        const __m128i idx = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(q)), zero);
        const __m128i keep = _mm_cmpeq_epi16(idx, _mm_set1_epi16(static_cast<short>(keyLane)));
        const __m128i dv = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(d + i * 2));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(d + i * 2), select(keep, dv, v));
        i += 4;
      }
    }
  } else {
    for (; i + 4 <= n; i += 4) {
      StoreDst<C>(d + i * C::DstStep, entry(s[i]));
      StoreDst<C>(d + (i + 1) * C::DstStep, entry(s[i + 1]));
      StoreDst<C>(d + (i + 2) * C::DstStep, entry(s[i + 2]));
      StoreDst<C>(d + (i + 3) * C::DstStep, entry(s[i + 3]));
    }
  }
  for (; i < n; ++i) {
    if (Keyed && s[i] == key) continue;
    StoreDst<C>(d + i * C::DstStep, entry(s[i]));
  }
}

// The general per-pixel loop of one row.
template <class C>
inline void SpanPixels(uint8_t* d, const uint8_t* s, const uint8_t* g, int n, const BlitJob& j) {
  for (int i = 0; i < n; ++i) {
    const uint8_t* sp = s + i * C::SrcStep;
    uint8_t* dp = d + i * C::DstStep;
    const uint32_t raw = LoadRaw<C>(sp);
    if constexpr (C::Key && C::S != SrcKind::Alpha) {
      if (raw == j.Key) continue;
    }
    const uint32_t sv = Resolve<C>(raw, j);
    const uint32_t L = C::Graph ? j.Levels[g[i]] : 0u;
    if constexpr (C::S == SrcKind::Alpha) {
      const uint32_t a = LoadAlpha<C>(sp);
      if constexpr (C::Key) {
        if (a == 255) {
          StoreDst<C>(dp, Compute<C, false>(sv, LoadDst<C>(dp), 0, L, j));
          continue;
        }
        // Alpha 0 is left alone, except in multiply, which weighs it as 0.
        if (a == 0 && C::Mode != BLEND_MUL) continue;
        StoreDst<C>(dp, Compute<C, true>(sv, LoadDst<C>(dp), a, L, j));
      } else if constexpr (C::RawCopy) {
        StoreDst<C>(dp, sv);
      } else {
        StoreDst<C>(dp, Compute<C, true>(sv, LoadDst<C>(dp), a, L, j));
      }
    } else {
      StoreDst<C>(dp, Compute<C, false>(sv, LoadDst<C>(dp), 0, L, j));
    }
  }
}

}  // namespace softblit

#include "softrender/blit_simd.h"

namespace softblit {

template <class C>
inline void SpanPP(uint8_t* d, const uint8_t* s, const uint8_t* g, int n, const BlitJob& j) {
  if constexpr (C::RawCopy && !C::Key && C::S != SrcKind::Palette) {
    SpanRawCopy<C>(d, s, n);
  } else if constexpr (C::RawCopy && C::Key && C::S == SrcKind::Direct) {
    SpanKeyCopy<C>(d, s, n, j);
  } else if constexpr (C::RawCopy && C::S == SrcKind::Palette) {
    SpanPaletteCopy<C, C::Key>(d, s, n, j);
  } else if constexpr (C::Fast && C::Mmx && C::Bits == 32) {
    SpanMmx<C>(d, s, n, j);
  } else if constexpr (C::Fast && C::Bits == 16 && (C::Mode == BLEND_ADD || C::Mode == BLEND_SUB)) {
    SpanPairs16<C>(d, s, n, j);
  } else if constexpr (kVec32<C>) {
    SpanVec32<C>(d, s, g, n, j);
  } else if constexpr (kVec16<C>) {
    SpanVec16<C>(d, s, g, n, j);
  } else {
    SpanPixels<C>(d, s, g, n, j);
  }
}

// Run-table spans: opaque runs drop the alpha and test nothing; translucent
// runs weigh by the alpha.
template <class C, bool UseA>
inline void SpanRun(uint8_t* d, const uint8_t* s, const uint8_t* g, int n, const BlitJob& j) {
  if constexpr (!UseA && C::RawCopy && C::S != SrcKind::Palette) {
    SpanRawCopy<C>(d, s, n);
  } else if constexpr (!UseA && C::RawCopy) {
    SpanPaletteCopy<C, false>(d, s, n, j);
  } else {
    for (int i = 0; i < n; ++i) {
      const uint8_t* sp = s + i * C::SrcStep;
      uint8_t* dp = d + i * C::DstStep;
      const uint32_t sv = Resolve<C>(LoadRaw<C>(sp), j);
      const uint32_t L = C::Graph ? j.Levels[g[i]] : 0u;
      const uint32_t a = UseA ? LoadAlpha<C>(sp) : 0u;
      StoreDst<C>(dp, Compute<C, UseA>(sv, LoadDst<C>(dp), a, L, j));
    }
  }
}

// Run by run: kind 0 skipped, kind 1 drawn as opaque, kind 2 weighed by the
// alpha (alpha sources) or drawn as opaque.
template <class C>
void RunRows(const BlitJob& __restrict j) {
  uint8_t* d = j.Dst;
  const uint8_t* s = j.Src;
  const uint8_t* g = j.Graph;
  const uint8_t* run = j.Runs;
  for (int y = 0; y < j.Height; ++y) {
    int x = 0;
    for (;;) {
      const uint8_t b = *run++;
      const int kind = b >> 6;
      if (kind == 3) break;  // the row end, whatever its length bits
      int len = (b & 63) + 1;
      if (len > j.Width - x) len = j.Width - x;
      const uint8_t* gx = C::Graph ? g + x : nullptr;
      if (kind == MEMIMG_RUN_OPAQUE || (kind == MEMIMG_RUN_TRANSLUCENT && C::S != SrcKind::Alpha)) {
        SpanRun<C, false>(d + x * C::DstStep, s + x * C::SrcStep, gx, len, j);
      } else if (kind == MEMIMG_RUN_TRANSLUCENT) {
        if constexpr (C::S == SrcKind::Alpha) {
          SpanRun<C, true>(d + x * C::DstStep, s + x * C::SrcStep, gx, len, j);
        }
      }
      x += len;
    }
    d += j.DstPitch;
    s += j.SrcPitch;
    if constexpr (C::Graph) g += j.GraphPitch;
  }
}

template <class C>
void BlitRows(const BlitJob& __restrict j) {
  if constexpr (!C::Run) {
    uint8_t* d = j.Dst;
    const uint8_t* s = j.Src;
    const uint8_t* g = j.Graph;
    for (int y = 0; y < j.Height; ++y) {
      SpanPP<C>(d, s, g, j.Width, j);
      d += j.DstPitch;
      s += j.SrcPitch;
      if constexpr (C::Graph) g += j.GraphPitch;
    }
  } else if constexpr (kRunBitRows<C>) {
    // Images of short drawn spans go by the table's kind masks vector by
    // vector; images of long ones copy span by span.
    if (j.ShortSpans) {
      uint8_t* d = j.Dst;
      const uint8_t* s = j.Src;
      const uint64_t* mask = j.RunMask;
      for (int y = 0; y < j.Height; ++y) {
        if constexpr (C::S == SrcKind::Alpha || C::Bits == 32) {
          SpanRunBits<C>(d, s, mask, mask + j.RunMaskWords, j.Width, j);
          mask += 2 * j.RunMaskWords;
        } else {
          SpanRunBytes<C>(d, s, reinterpret_cast<const uint8_t*>(mask), j.Width);
          mask += j.RunMaskWords;
        }
        d += j.DstPitch;
        s += j.SrcPitch;
      }
    } else {
      SpanRows<C>(j);
    }
  } else {
    RunRows<C>(j);
  }
}

// ---- choosing the loop --------------------------------------------------

template <int B, SrcKind S, int M, bool G, bool T, bool K, bool R>
BlitFn PickFast(const BlitChoice& c) {
  constexpr bool canFast =
      !G && !T && !R && S != SrcKind::Alpha && (M == BLEND_ALPHA || M == BLEND_ADD || M == BLEND_SUB);
  if constexpr (canFast) {
    if (c.Fast) {
      if constexpr (B == 32) {
        if (c.Mmx) return &BlitRows<Cfg<B, S, M, G, T, K, R, true, true>>;
      }
      return &BlitRows<Cfg<B, S, M, G, T, K, R, true, false>>;
    }
  }
  return &BlitRows<Cfg<B, S, M, G, T, K, R, false, false>>;
}

template <int B, SrcKind S, int M, bool G, bool T, bool K>
BlitFn PickRun(const BlitChoice& c) {
  if constexpr (K) {
    if (c.Run) return PickFast<B, S, M, G, T, K, true>(c);
  }
  return PickFast<B, S, M, G, T, K, false>(c);
}

template <int B, SrcKind S, int M, bool G, bool T>
BlitFn PickKey(const BlitChoice& c) {
  return c.Key ? PickRun<B, S, M, G, T, true>(c) : PickRun<B, S, M, G, T, false>(c);
}

template <int B, SrcKind S, int M, bool G>
BlitFn PickTint(const BlitChoice& c) {
  return c.Tint ? PickKey<B, S, M, G, true>(c) : PickKey<B, S, M, G, false>(c);
}

template <int B, SrcKind S, int M>
BlitFn PickMode(const BlitChoice& c) {
  return c.Graph ? PickTint<B, S, M, true>(c) : PickTint<B, S, M, false>(c);
}

}  // namespace softblit
