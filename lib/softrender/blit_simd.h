// SSE2 forms of the weighing loops (mode 1 by the parameter, multiply, the
// source alpha under the transparent flag) and of the run-table loops that go
// by the table's kind masks or span by span. Each gives exactly the pixels of
// the per-pixel rule it stands for (the tests compare both against one model):
//   d + floor((x - d) * w / 256)    = (d * (256 - w) + x * w) >> 8
//   floor(d * s / 2^n)              = (d * s) >> n
//   floor((r * k + c * (63 - k)) / 63) = ((r * k + c * (63 - k)) * 8323) >> 19
// (the last exact for every sum up to 63 * 126). All intermediate values fit
// unsigned 16-bit lanes. Included by blit_kernel.h after the scalar spans,
// which finish the last pixels of a row; the SSE2 copies (raw, keyed,
// palette) and the twins of the MMX loops stay there, beside the choice of
// a span.
#pragma once
#include <emmintrin.h>

#include <cstdint>
#include <cstring>

namespace softblit {

// 32-bit: interpolation by one weight (the parameter, or the source alpha
// under the transparent flag), and multiply.
template <class C>
constexpr bool kVec32 = C::Bits == 32 && !C::Graph && !C::Tint && !C::Run && !C::Fast &&
                        ((C::Mode == BLEND_ALPHA && C::S == SrcKind::Direct) ||
                         (C::Mode == BLEND_COPY && C::S == SrcKind::Alpha && C::Key) ||
                         (C::Mode == BLEND_MUL && C::S == SrcKind::Direct));
// 16-bit: mode 1 through the 64-level lerp, multiply, and alpha under the flag.
template <class C>
constexpr bool kVec16 = C::Bits == 16 && !C::Graph && !C::Tint && !C::Run && !C::Fast &&
                        ((C::Mode == BLEND_ALPHA && C::S == SrcKind::Direct) ||
                         (C::Mode == BLEND_COPY && C::S == SrcKind::Alpha && C::Key) ||
                         (C::Mode == BLEND_MUL && C::S == SrcKind::Direct));

// (d * (256 - w) + s * w) >> 8 for s, d in 0..255 and w in 0..256, as
// (d * 256 + (s - d) * w) >> 8: the sum lies in 0..65280, so the wrapping
// 16-bit product and sum still give it exactly, with one multiply.
inline __m128i Blend8(__m128i s, __m128i d, __m128i w) {
  const __m128i t = _mm_mullo_epi16(_mm_sub_epi16(s, d), w);
  return _mm_srli_epi16(_mm_add_epi16(_mm_slli_epi16(d, 8), t), 8);
}

// Blend weights of four 32-bit pixels of an alpha source, as sixteen-bit
// lanes b, g, r, a per pixel: the alpha in the colour lanes, 256 instead of
// 255; in the alpha lane 256 for an opaque pixel, else 0. The low and high
// two pixels.
inline void AlphaWeights32x4(__m128i sv, __m128i* lo, __m128i* hi) {
  __m128i a = _mm_srli_epi32(sv, 24);
  a = _mm_sub_epi32(a, _mm_cmpeq_epi32(a, _mm_set1_epi32(255)));
  a = _mm_or_si128(a, _mm_slli_epi32(a, 16));
  const __m128i keep = _mm_set_epi16(0x100, -1, -1, -1, 0x100, -1, -1, -1);
  *lo = _mm_and_si128(_mm_unpacklo_epi32(a, a), keep);
  *hi = _mm_and_si128(_mm_unpackhi_epi32(a, a), keep);
}

template <class C>
inline void SpanVec32(uint8_t* d, const uint8_t* s, const uint8_t* g, int n, const BlitJob& j) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i fourth = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  const __m128i key = _mm_set1_epi32(static_cast<int>(j.Key));
  const __m128i wp = _mm_set1_epi16(static_cast<short>(j.P));
  auto compute = [&](const __m128i sv, const __m128i dv) {
    const __m128i slo = _mm_unpacklo_epi8(sv, zero), shi = _mm_unpackhi_epi8(sv, zero);
    const __m128i dlo = _mm_unpacklo_epi8(dv, zero), dhi = _mm_unpackhi_epi8(dv, zero);
    __m128i r;
    __m128i keep = _mm_setzero_si128();  // lanes that stay as they are
    if constexpr (C::Mode == BLEND_MUL) {
      r = _mm_packus_epi16(_mm_srli_epi16(_mm_mullo_epi16(slo, dlo), 8),
                           _mm_srli_epi16(_mm_mullo_epi16(shi, dhi), 8));
      r = _mm_or_si128(_mm_andnot_si128(fourth, r), _mm_and_si128(fourth, dv));
      if constexpr (C::Key) keep = _mm_cmpeq_epi32(sv, key);
    } else if constexpr (C::Mode == BLEND_ALPHA) {
      r = _mm_packus_epi16(Blend8(slo, dlo, wp), Blend8(shi, dhi, wp));
      r = _mm_or_si128(_mm_andnot_si128(fourth, r), _mm_and_si128(fourth, dv));
      if constexpr (C::Key) keep = _mm_cmpeq_epi32(sv, key);
    } else {
      // Source alpha: 0 stays, 255 copies the pixel, between weighs by it.
      // All three are one blend: weight 0 gives d, weight 256 gives s
      // exactly, so alpha 255 weighs 256 in every byte (the fourth copied
      // too) and a translucent pixel weighs 0 in the fourth byte (kept).
      __m128i wlo, whi;
      AlphaWeights32x4(sv, &wlo, &whi);
      return _mm_packus_epi16(Blend8(slo, dlo, wlo), Blend8(shi, dhi, whi));
    }
    return _mm_or_si128(_mm_and_si128(keep, dv), _mm_andnot_si128(keep, r));
  };
  (void)g;
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    const __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i * 4));
    const __m128i r = compute(sv, _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i * 4)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i * 4), r);
  }
  // The last pixels in the low lanes; lanes are independent.
  if (i + 2 <= n) {
    const __m128i r = compute(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + i * 4)),
                              _mm_loadl_epi64(reinterpret_cast<const __m128i*>(d + i * 4)));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(d + i * 4), r);
    i += 2;
  }
  if (i < n) {
    uint32_t sv, dv;
    std::memcpy(&sv, s + i * 4, 4);
    std::memcpy(&dv, d + i * 4, 4);
    const uint32_t r = static_cast<uint32_t>(_mm_cvtsi128_si32(
        compute(_mm_cvtsi32_si128(static_cast<int>(sv)), _mm_cvtsi32_si128(static_cast<int>(dv)))));
    std::memcpy(d + i * 4, &r, 4);
  }
}

// Eight 16-bit pixels of an alpha source (4 bytes each): colours and alphas.
// Each is shifted to the foot of its 32-bit lane, the colour sign-extended,
// so that the signed packing keeps it exactly.
inline void LoadAlpha16x8(const uint8_t* s, __m128i* colour, __m128i* alpha) {
  const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
  const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 16));
  *colour =
      _mm_packs_epi32(_mm_srai_epi32(_mm_slli_epi32(a, 16), 16), _mm_srai_epi32(_mm_slli_epi32(b, 16), 16));
  *alpha =
      _mm_packs_epi32(_mm_srli_epi32(_mm_slli_epi32(a, 8), 24), _mm_srli_epi32(_mm_slli_epi32(b, 8), 24));
}

// Four of them, in the low lanes.
inline void LoadAlpha16x4(const uint8_t* s, __m128i* colour, __m128i* alpha) {
  const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
  const __m128i c = _mm_srai_epi32(_mm_slli_epi32(a, 16), 16);
  *colour = _mm_packs_epi32(c, c);
  const __m128i al = _mm_srli_epi32(_mm_slli_epi32(a, 8), 24);
  *alpha = _mm_packs_epi32(al, al);
}

template <class C>
inline void SpanVec16(uint8_t* d, const uint8_t* s, const uint8_t* g, int n, const BlitJob& j) {
  const __m128i m5 = _mm_set1_epi16(31), m6 = _mm_set1_epi16(63);
  const __m128i key = _mm_set1_epi16(static_cast<short>(j.Key));
  const int k = static_cast<int>(j.P >> 2);
  const __m128i wk = _mm_set1_epi16(static_cast<short>(k)), wk1 = _mm_set1_epi16(static_cast<short>(63 - k));
  const __m128i div63 = _mm_set1_epi16(static_cast<short>(8323));
  // sv: eight colours, a: their alphas (alpha sources), dv: destination.
  auto compute = [&](const __m128i sv, const __m128i a, const __m128i dv) {
    const __m128i sb = _mm_and_si128(sv, m5), sg = _mm_and_si128(_mm_srli_epi16(sv, 5), m6),
                  sr = _mm_srli_epi16(sv, 11);
    const __m128i db = _mm_and_si128(dv, m5), dg = _mm_and_si128(_mm_srli_epi16(dv, 5), m6),
                  dr = _mm_srli_epi16(dv, 11);
    __m128i rb, rg, rr;
    __m128i keep = _mm_setzero_si128();
    if constexpr (C::Mode == BLEND_MUL) {
      rb = _mm_srli_epi16(_mm_mullo_epi16(db, sb), 5);
      rg = _mm_srli_epi16(_mm_mullo_epi16(dg, sg), 6);
      rr = _mm_srli_epi16(_mm_mullo_epi16(dr, sr), 5);
      if constexpr (C::Key) keep = _mm_cmpeq_epi16(sv, key);
    } else if constexpr (C::Mode == BLEND_ALPHA) {
      auto lerp = [&](__m128i x, __m128i y) {
        const __m128i sum = _mm_add_epi16(_mm_mullo_epi16(x, wk), _mm_mullo_epi16(y, wk1));
        return _mm_srli_epi16(_mm_mulhi_epu16(sum, div63), 3);
      };
      rb = lerp(sb, db);
      rg = lerp(sg, dg);
      rr = lerp(sr, dr);
      if constexpr (C::Key) keep = _mm_cmpeq_epi16(sv, key);
    } else {
      // Alpha 0 weighs 0 (d stays), 255 weighs 256 (s exactly), between weighs
      // by the alpha: no selection needed afterwards.
      const __m128i w = _mm_sub_epi16(a, _mm_cmpeq_epi16(a, _mm_set1_epi16(255)));
      rb = Blend8(sb, db, w);
      rg = Blend8(sg, dg, w);
      rr = Blend8(sr, dr, w);
      return _mm_or_si128(_mm_or_si128(rb, _mm_slli_epi16(rg, 5)), _mm_slli_epi16(rr, 11));
    }
    const __m128i r = _mm_or_si128(_mm_or_si128(rb, _mm_slli_epi16(rg, 5)), _mm_slli_epi16(rr, 11));
    return _mm_or_si128(_mm_and_si128(keep, dv), _mm_andnot_si128(keep, r));
  };
  int i = 0;
  __m128i sv, a = _mm_setzero_si128();
  for (; i + 8 <= n; i += 8) {
    if constexpr (C::S == SrcKind::Alpha) {
      LoadAlpha16x8(s + i * 4, &sv, &a);
    } else {
      sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i * 2));
    }
    const __m128i r = compute(sv, a, _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i * 2)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i * 2), r);
  }
  if (i + 4 <= n) {  // four pixels in the low lanes
    if constexpr (C::S == SrcKind::Alpha) {
      LoadAlpha16x4(s + i * 4, &sv, &a);
    } else {
      sv = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + i * 2));
    }
    const __m128i r = compute(sv, a, _mm_loadl_epi64(reinterpret_cast<const __m128i*>(d + i * 2)));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(d + i * 2), r);
    i += 4;
  }
  if (i < n) SpanPixels<C>(d + i * 2, s + i * C::SrcStep, g, n - i, j);  // one to three
}

// Plain copies through the run table that go by its kind masks (see
// MemImgBase): an alpha source always, a direct source on images of short
// drawn spans.
template <class C>
constexpr bool kRunBitRows = C::Run&& C::RawCopy&& C::Key &&
                             (C::S == SrcKind::Alpha || C::S == SrcKind::Direct);

// Lane masks from pixel bits: four pixels in 32-bit lanes (index: 4 bits)
// and eight in 16-bit lanes (index: 8 bits), all ones where the bit is set.
struct alignas(16) BitLaneTables {
  uint32_t Lanes32[16][4];
  uint16_t Lanes16[256][8];
};
constexpr BitLaneTables MakeBitLaneTables() {
  BitLaneTables t{};
  for (int b = 0; b < 16; ++b)
    for (int k = 0; k < 4; ++k) t.Lanes32[b][k] = (b >> k) & 1 ? 0xFFFFFFFFu : 0u;
  for (int b = 0; b < 256; ++b)
    for (int k = 0; k < 8; ++k) t.Lanes16[b][k] = (b >> k) & 1 ? 0xFFFF : 0;
  return t;
}
inline constexpr BitLaneTables kBitLanes = MakeBitLaneTables();

template <class C>
inline __m128i BitLanes(uint32_t bits) {
  if constexpr (C::Bits == 32) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(kBitLanes.Lanes32[bits]));
  } else {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(kBitLanes.Lanes16[bits]));
  }
}

// Eight 16-bit pixels weighed lane by lane: per field d + floor((s - d) * w
// / 256) for w from 0 to 256, as the high half of the signed product of
// (s - d) * 256 and w (every difference times 256 fits a signed lane).
// Green is weighed where it stands, its difference times 8 standing for
// times 256.
inline __m128i Weigh565(__m128i sv, __m128i dv, __m128i w) {
  auto weigh = [&w](__m128i sf, __m128i df) {
    return _mm_add_epi16(df, _mm_mulhi_epi16(_mm_slli_epi16(_mm_sub_epi16(sf, df), 8), w));
  };
  const __m128i m5 = _mm_set1_epi16(0x1F), mg = _mm_set1_epi16(0x7E0);
  const __m128i blue = weigh(_mm_and_si128(sv, m5), _mm_and_si128(dv, m5));
  const __m128i gs = _mm_and_si128(sv, mg), gd = _mm_and_si128(dv, mg);
  const __m128i green =
      _mm_add_epi16(gd, _mm_slli_epi16(_mm_mulhi_epi16(_mm_slli_epi16(_mm_sub_epi16(gs, gd), 3), w), 5));
  const __m128i red = _mm_slli_epi16(weigh(_mm_srli_epi16(sv, 11), _mm_srli_epi16(dv, 11)), 11);
  return _mm_or_si128(_mm_or_si128(blue, green), red);
}

// One vector of pixels (four 32-bit or eight 16-bit) of a plain copy through
// the run table: kind 0 keeps the destination, kind 1 copies the pixel as it
// stands, kind 2 weighs it by its alpha (alpha sources; a direct source
// copies it). `drawn` and `translucent` hold the vector's bits.
// With Half, only the low half of the vector's pixels (two 32-bit or four
// 16-bit) is read and written.
template <class C, bool Half>
inline void RunBitsVector(uint8_t* d, const uint8_t* s, uint32_t drawn, uint32_t translucent) {
  auto load = [](const void* p) {
    return Half ? _mm_loadl_epi64(static_cast<const __m128i*>(p))
                : _mm_loadu_si128(static_cast<const __m128i*>(p));
  };
  const __m128i zero = _mm_setzero_si128();
  const __m128i dv = load(d);
  __m128i r;
  if constexpr (C::S == SrcKind::Direct) {
    const __m128i sv = load(s);
    const __m128i draw = BitLanes<C>(drawn);
    r = _mm_or_si128(_mm_and_si128(draw, sv), _mm_andnot_si128(draw, dv));
  } else if constexpr (C::Bits == 32) {
    // Weights as sixteen-bit lanes b, g, r, a per pixel: kind 1 weighs 256
    // everywhere (the pixel whole), kind 2 its alpha in the colour lanes and
    // 0 in the fourth (kept), kind 0 nothing.
    const __m128i sv = load(s);
    if (drawn == (Half ? 3u : 15u) && translucent == 0) {  // all opaque: the pixels as they stand
      r = sv;
    } else {
      const __m128i full = _mm_and_si128(BitLanes<C>(drawn & ~translucent), _mm_set1_epi32(256));
      const __m128i wc = _mm_or_si128(full, _mm_and_si128(BitLanes<C>(translucent), _mm_srli_epi32(sv, 24)));
      const __m128i pairCC = _mm_or_si128(wc, _mm_slli_epi32(wc, 16));
      const __m128i pairCF = _mm_or_si128(wc, _mm_slli_epi32(full, 16));
      r = _mm_packus_epi16(Blend8(_mm_unpacklo_epi8(sv, zero), _mm_unpacklo_epi8(dv, zero),
                                  _mm_unpacklo_epi32(pairCC, pairCF)),
                           Blend8(_mm_unpackhi_epi8(sv, zero), _mm_unpackhi_epi8(dv, zero),
                                  _mm_unpackhi_epi32(pairCC, pairCF)));
    }
  } else {
    __m128i sv, a;
    if constexpr (Half) {
      LoadAlpha16x4(s, &sv, &a);
    } else {
      LoadAlpha16x8(s, &sv, &a);
    }
    if (drawn == (Half ? 15u : 255u) && translucent == 0) {  // all opaque: the colours as they stand
      r = sv;
    } else {
      const __m128i w = _mm_or_si128(_mm_and_si128(BitLanes<C>(drawn & ~translucent), _mm_set1_epi16(256)),
                                     _mm_and_si128(BitLanes<C>(translucent), a));
      r = Weigh565(sv, dv, w);
    }
  }
  if constexpr (Half) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(d), r);
  } else {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d), r);
  }
}

// One row of a keyed plain copy of a 16-bit direct source through the run table, by
// the row's drawn bytes (0xFF drawn, 0 kept): each byte widens to its pixel's
// lane mask.
template <class C>
inline void SpanRunBytes(uint8_t* d, const uint8_t* s, const uint8_t* m, int n) {
  auto select = [](__m128i lanes, __m128i sv, __m128i dv) {
    return _mm_or_si128(_mm_and_si128(lanes, sv), _mm_andnot_si128(lanes, dv));
  };
  auto load4 = [](const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return _mm_cvtsi32_si128(static_cast<int>(v));
  };
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    __m128i lanes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(m + i));
    lanes = _mm_unpacklo_epi8(lanes, lanes);
    const __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i * 2));
    const __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i * 2));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i * 2), select(lanes, sv, dv));
  }
  if (i + 4 <= n) {  // four pixels in the low lanes
    __m128i lanes = load4(m + i);
    lanes = _mm_unpacklo_epi8(lanes, lanes);
    const __m128i sv = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + i * 2));
    const __m128i dv = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(d + i * 2));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(d + i * 2), select(lanes, sv, dv));
    i += 4;
  }
  for (; i < n; ++i)
    if (m[i]) std::memcpy(d + i * C::DstStep, s + i * C::SrcStep, C::DstStep);
}

// One row of a plain copy through the run table, by the row's bit masks.
template <class C>
inline void SpanRunBits(uint8_t* d, const uint8_t* s, const uint64_t* drawn, const uint64_t* translucent,
                        int n, const BlitJob& j) {
  constexpr int kStep = C::Bits == 32 ? 4 : 8;
  constexpr uint32_t kGroup = (1u << kStep) - 1;
  const int whole = n & ~(kStep - 1);
  int i = 0;
  for (int w = 0; i < whole; ++w) {
    uint64_t dw = drawn[w], tw = C::S == SrcKind::Alpha ? translucent[w] : 0;
    const int end = whole - i < 64 ? whole : i + 64;
    for (; i < end; i += kStep, dw >>= kStep, tw >>= kStep) {
      const uint32_t drawnHere = static_cast<uint32_t>(dw) & kGroup;
      if (C::S == SrcKind::Alpha && drawnHere == 0) continue;  // nothing drawn here (sprite corners)
      RunBitsVector<C, false>(d + i * C::DstStep, s + i * C::SrcStep, drawnHere,
                              static_cast<uint32_t>(tw) & kGroup);
    }
  }
  // Half a vector, then the last pixels one by one, by the same rules.
  constexpr int kHalf = kStep / 2;
  if (n - i >= kHalf) {
    const int sh = i & 63;
    const uint32_t dh = static_cast<uint32_t>(drawn[i >> 6] >> sh) & (kGroup >> kHalf);
    const uint32_t th =
        C::S == SrcKind::Alpha ? static_cast<uint32_t>(translucent[i >> 6] >> sh) & (kGroup >> kHalf) : 0;
    if (dh != 0) RunBitsVector<C, true>(d + i * C::DstStep, s + i * C::SrcStep, dh, th);
    i += kHalf;
  }
  for (; i < n; ++i) {
    const uint8_t* sp = s + i * C::SrcStep;
    uint8_t* dp = d + i * C::DstStep;
    const bool draw = (drawn[i >> 6] >> (i & 63)) & 1, weigh = (translucent[i >> 6] >> (i & 63)) & 1;
    if (draw && weigh && C::S == SrcKind::Alpha) {
      StoreDst<C>(dp, Compute<C, true>(LoadRaw<C>(sp), LoadDst<C>(dp), LoadAlpha<C>(sp), 0, j));
    } else if (draw) {
      std::memcpy(dp, sp, C::DstStep);
    }
  }
}

// ---- drawn spans of long-span images -------------------------------------

// Calls f(first, count) for each span of set bits, lowest first.
template <class F>
inline void ForEachSpan(uint64_t bits, F&& f) {
  while (bits) {
    const int first = __builtin_ctzll(bits);
    const uint64_t clear = ~(bits >> first);  // zero over the span
    const int count = clear ? __builtin_ctzll(clear) : 64;
    f(first, count);
    if (first + count >= 64) break;
    bits &= ~uint64_t{0} << (first + count);
  }
}

// Opaque pixels of a 16-bit alpha source (four bytes each) copied as their
// colours: vectors of eight or four, the last one overlapping the one before
// (the source is another image, so rewriting a pixel gives it again).
template <class C>
inline void CopyColours16(uint8_t* d, const uint8_t* s, int n) {
  if (n >= 8) {
    for (int i = 0;; i += 8) {
      if (i > n - 8) i = n - 8;
      RunBitsVector<C, false>(d + i * 2, s + i * 4, 0xFFu, 0);
      if (i == n - 8) break;
    }
  } else if (n >= 4) {
    RunBitsVector<C, true>(d, s, 0xFu, 0);
    RunBitsVector<C, true>(d + (n - 4) * 2, s + (n - 4) * 4, 0xFu, 0);
  } else {
    for (int i = 0; i < n; ++i) std::memcpy(d + i * 2, s + i * 4, 2);
  }
}

// One translucent pixel of an alpha source weighed by its alpha a, per
// channel d + floor((s - d) * a / 256) = (s * a + d * (256 - a)) >> 8, the
// fourth byte of a 32-bit pixel kept. The channels are weighed side by side
// in one word, each with room for its sum (below 2^16 for 8-bit channels,
// 2^14 for 16-bit fields): 32-bit red and blue in one word, green in
// another; the three 16-bit fields 16 bits apart in a 64-bit word.
template <class C>
inline void WeighByAlpha(uint8_t* dp, const uint8_t* sp) {
  const uint32_t a = LoadAlpha<C>(sp), na = 256 - a;
  const uint32_t s = LoadRaw<C>(sp), d = LoadDst<C>(dp);
  if constexpr (C::Bits == 32) {
    const uint32_t rb = ((s & 0xFF00FFu) * a + (d & 0xFF00FFu) * na) >> 8 & 0xFF00FFu;
    const uint32_t g = ((s & 0xFF00u) * a + (d & 0xFF00u) * na) >> 8 & 0xFF00u;
    StoreDst<C>(dp, rb | g | (d & 0xFF000000u));
  } else {
    // Copies of the pixel at bits 0, 16 and 32 keep blue, green and red.
    constexpr uint64_t kCopies = 0x100010001u;
    constexpr uint64_t kSpread = uint64_t{0x1F} | uint64_t{0x7E0} << 16 | uint64_t{0xF800} << 32;
    const uint64_t x = ((s * kCopies & kSpread) * a + (d * kCopies & kSpread) * na) >> 8 & kSpread;
    StoreDst<C>(dp, static_cast<uint32_t>(x | x >> 16 | x >> 32));
  }
}

// The translucent pixels (bits t) of n pixels of a row weighed by their
// alpha: a vector where it covers two or more of them (the pixels it covers
// that are not in t weigh 0 and stay), the others one by one.
template <class C>
[[gnu::always_inline]] inline void WeighTranslucent(uint8_t* d, const uint8_t* s, uint64_t t, int n) {
  constexpr int kStep = C::Bits == 32 ? 4 : 8;
  constexpr uint64_t kAll = (uint64_t{1} << kStep) - 1;
  while (t) {
    const int first = __builtin_ctzll(t);
    if (n >= kStep) {
      const int at = first < n - kStep ? first : n - kStep;
      const uint32_t here = static_cast<uint32_t>(t >> at & kAll);
      if (here & (here - 1)) {
        RunBitsVector<C, false>(d + at * C::DstStep, s + at * C::SrcStep, here, here);
        t &= ~(kAll << at);
        continue;
      }
    }
    WeighByAlpha<C>(d + first * C::DstStep, s + first * C::SrcStep);
    t &= t - 1;
  }
}

// Calls f(first, count) for each span of set bits, lowest first, when no
// span reaches bit 63 (a row of fewer than 64 pixels): adding a span's
// lowest bit carries through it to the bit after it.
template <class F>
inline void ForEachShortRowSpan(uint64_t bits, F&& f) {
  while (bits) {
    const uint64_t next = bits + (bits & (~bits + 1));
    const int first = __builtin_ctzll(bits);
    f(first, __builtin_ctzll(next) - first);
    bits &= next;
  }
}

// A row of fewer than 64 pixels of a 16-bit alpha source, eight pixels at a
// time: fully opaque vectors as their colours, others weighed lane by lane
// (256 opaque, the alpha translucent, 0 transparent), empty ones skipped.
// Sprites' rows mix all three within a few pixels, which a vector takes in
// one step where spans would be taken one by one.
template <class C>
[[gnu::always_inline]] inline void AlphaRowByVectors16(uint8_t* d, const uint8_t* s, int n, uint64_t drawn,
                                                       uint64_t translucent) {
  int x = 0;
  for (; x + 8 <= n; x += 8) {
    const uint32_t dm = static_cast<uint32_t>(drawn >> x) & 0xFFu;
    if (dm != 0)
      RunBitsVector<C, false>(d + x * 2, s + x * 4, dm, static_cast<uint32_t>(translucent >> x) & 0xFFu);
  }
  if (x + 4 <= n) {
    const uint32_t dm = static_cast<uint32_t>(drawn >> x) & 0xFu;
    if (dm != 0)
      RunBitsVector<C, true>(d + x * 2, s + x * 4, dm, static_cast<uint32_t>(translucent >> x) & 0xFu);
    x += 4;
  }
  for (; x < n; ++x) {
    if (!((drawn >> x) & 1)) continue;
    if ((translucent >> x) & 1) {
      WeighByAlpha<C>(d + x * 2, s + x * 4);
    } else {
      std::memcpy(d + x * 2, s + x * 4, 2);
    }
  }
}

// One row's (or 64 pixels') drawn and translucent bits drawn: opaque
// spans copied whole (the colours of a 16-bit alpha source), translucent
// ones weighed by their alpha. Narrow: the row has fewer than 64 pixels and
// a span at most 128 bytes.
template <class C, bool Narrow>
[[gnu::always_inline]] inline void DrawSpans(uint8_t* d, const uint8_t* s, int n, uint64_t drawn,
                                             uint64_t translucent) {
  auto copy = [&](int first, int count) {
    if constexpr (C::S == SrcKind::Alpha && C::Bits == 16) {
      CopyColours16<C>(d + first * 2, s + first * 4, count);
    } else if constexpr (Narrow) {
      MoveSmall(d + first * C::DstStep, s + first * C::SrcStep, static_cast<size_t>(count) * C::DstStep);
    } else {
      SpanRawCopy<C>(d + first * C::DstStep, s + first * C::SrcStep, count);
    }
  };
  if constexpr (Narrow) {
    ForEachShortRowSpan(drawn & ~translucent, copy);
  } else {
    ForEachSpan(drawn & ~translucent, copy);
  }
  if constexpr (C::S == SrcKind::Alpha) WeighTranslucent<C>(d, s, translucent, n);
}

// A keyed plain copy through the run table of an image of long drawn spans
// (sprites): per row, the table's kind masks give the drawn spans, each
// copied whole (and, from an alpha source, its translucent spans weighed
// by their alpha); transparent pixels cost nothing.
template <class C, bool Narrow>
void SpanRowsOf(const BlitJob& __restrict j) {
  uint8_t* d = j.Dst;
  const uint8_t* s = j.Src;
  const uint64_t* drawn = j.RunBits;
  const uint64_t* translucent = j.RunMask + j.RunMaskWords;  // alpha sources
  const int width = j.Width;
  for (int y = 0; y < j.Height; ++y) {
    if constexpr (Narrow && C::S == SrcKind::Alpha && C::Bits == 16) {
      AlphaRowByVectors16<C>(d, s, width, drawn[0], translucent[0]);
    } else if constexpr (Narrow) {
      DrawSpans<C, true>(d, s, width, drawn[0], C::S == SrcKind::Alpha ? translucent[0] : 0);
    } else {
      for (int x0 = 0; x0 < width; x0 += 64)
        DrawSpans<C, false>(d + x0 * C::DstStep, s + x0 * C::SrcStep, width - x0 < 64 ? width - x0 : 64,
                            drawn[x0 >> 6], C::S == SrcKind::Alpha ? translucent[x0 >> 6] : 0);
    }
    drawn += j.RunBitsStride;
    if constexpr (C::S == SrcKind::Alpha) translucent += 2 * j.RunMaskWords;
    d += j.DstPitch;
    s += j.SrcPitch;
  }
}

template <class C>
void SpanRows(const BlitJob& j) {
  if (j.Width < 64 && j.Width * C::DstStep <= 128) {
    SpanRowsOf<C, true>(j);
  } else {
    SpanRowsOf<C, false>(j);
  }
}

}  // namespace softblit
