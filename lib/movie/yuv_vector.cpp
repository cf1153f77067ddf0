// The fixed-point YUV-to-RGB path in 16-bit vector lanes: SSE2 on every
// x86-64 processor, AVX2 and AVX-512 (through target attributes, so the rest
// of the build stays at the baseline) where the processor has them.
//
// The scalar loop forms, for each channel, S = L + c with L = (Y - 16) * 19070
// and c the block's chroma term (VToRedTable[v], UToGreenTable[u] +
// VToGreenTable[v] or UToBlueTable[u]), and stores S / 16384 clamped to
// 0..255. The sums need 24 bits; here they are taken apart so that every
// lane stays within 16 bits and the result is the same number:
//
//   c = 16384 * C + r with C = floor(c / 16384) and 0 <= r < 16384;
//   19070 = 16384 + 2686, and 4 * 2686 * (Y - 16) = 65536 * hi + lo
//   (the high and low halves of a 16 x 16-bit product, 10744 * (Y - 16));
//   so floor(S / 16384) = (Y - 16) + hi + C + carry, where carry is 1 when
//   lo + 4r reaches 65536 and 0 otherwise.
//
// C and the low half of 4c (which is 4r) come once per chroma sample, hi and
// lo once per luma sample; each channel of a pixel then costs a compare (the
// carry), a subtract and an add, and lies within -277..534. Floor and the
// scalar loop's truncating division differ only for negative sums, which
// clamp to 0 either way; the saturating packs to bytes do the clamping.
//
// Luma samples are taken as even and odd pixels of a row (the low and high
// bytes of 16-bit words), so lane i of either half uses chroma sample i and
// no chroma is duplicated; the halves are interleaved again when the pixels
// are stored.
#include "movie/yuv_vector.h"

#ifdef __SSE2__
#include <immintrin.h>

namespace {

constexpr short kLumaOffset = 16;
constexpr short kLumaStep = 10744;
// The low halves of 4 * 26148 * (V - 128), 4 * 33062 * (U - 128) and
// 4 * (-6406 (U - 128) - 13320 (V - 128)) as 16-bit products (mod 65536).
constexpr short kRedLow = short(4 * 26148 - 2 * 65536);
constexpr short kBlueLow = short(4 * 33062 - 2 * 65536);
constexpr short kGreenULow = short(-4 * 6406);
constexpr short kGreenVLow = short(-4 * 13320 + 65536);
// The high parts: C = high half of (4 (V - 128)) * 26148 and of
// (8 (U - 128)) * 16531 (33062 is twice 16531, which fits a 16-bit factor);
// green's two products are summed in 32 bits (low half U, high half V).
constexpr short kRedHigh = 26148;
constexpr short kBlueHigh = 16531;
constexpr int32_t kGreenHighPair = int32_t(uint16_t(-6406)) | -13320 * 65536;

// The carry condition lo + 4r >= 65536 is lo > ~4r unsigned; both sides are
// compared as signed numbers with their top bit flipped: lo ^ 0x8000 on the
// luma side, ~4r ^ 0x8000 = 4r ^ 0x7FFF on the chroma side (the limit).
constexpr short kSignFlip = short(0x8000);
constexpr short kLimitFlip = 0x7FFF;

// ---- SSE2: eight blocks, sixteen pixels a row ----------------------------------

// C and the carry limit of each channel for a run of blocks.
struct ChromaSse2 {
  __m128i HighB, HighG, HighR;
  __m128i LimitB, LimitG, LimitR;
};

// u and v: the chroma samples less 128, one per 16-bit lane.
inline ChromaSse2 ChromaTermsSse2(__m128i u, __m128i v) {
  const __m128i flip = _mm_set1_epi16(kLimitFlip);
  const __m128i greenPair = _mm_set1_epi32(kGreenHighPair);
  const __m128i greenLow = _mm_madd_epi16(_mm_unpacklo_epi16(u, v), greenPair);
  const __m128i greenHigh = _mm_madd_epi16(_mm_unpackhi_epi16(u, v), greenPair);
  ChromaSse2 c;
  c.HighR = _mm_mulhi_epi16(_mm_slli_epi16(v, 2), _mm_set1_epi16(kRedHigh));
  c.HighB = _mm_mulhi_epi16(_mm_slli_epi16(u, 3), _mm_set1_epi16(kBlueHigh));
  c.HighG = _mm_packs_epi32(_mm_srai_epi32(greenLow, 14), _mm_srai_epi32(greenHigh, 14));
  c.LimitR = _mm_xor_si128(_mm_mullo_epi16(v, _mm_set1_epi16(kRedLow)), flip);
  c.LimitB = _mm_xor_si128(_mm_mullo_epi16(u, _mm_set1_epi16(kBlueLow)), flip);
  c.LimitG = _mm_xor_si128(_mm_add_epi16(_mm_mullo_epi16(u, _mm_set1_epi16(kGreenULow)),
                                         _mm_mullo_epi16(v, _mm_set1_epi16(kGreenVLow))),
                           flip);
  return c;
}

// The three channels of the pixels whose luma samples y holds, one per lane.
inline void ChannelsSse2(__m128i y, const ChromaSse2& c, __m128i* b, __m128i* g, __m128i* r) {
  const __m128i luma = _mm_sub_epi16(y, _mm_set1_epi16(kLumaOffset));
  const __m128i base = _mm_add_epi16(luma, _mm_mulhi_epi16(luma, _mm_set1_epi16(kLumaStep)));
  const __m128i lo =
      _mm_xor_si128(_mm_mullo_epi16(luma, _mm_set1_epi16(kLumaStep)), _mm_set1_epi16(kSignFlip));
  *b = _mm_add_epi16(_mm_sub_epi16(base, _mm_cmpgt_epi16(lo, c.LimitB)), c.HighB);
  *g = _mm_add_epi16(_mm_sub_epi16(base, _mm_cmpgt_epi16(lo, c.LimitG)), c.HighG);
  *r = _mm_add_epi16(_mm_sub_epi16(base, _mm_cmpgt_epi16(lo, c.LimitR)), c.HighR);
}

inline void RowSse2(const uint8_t* y, const ChromaSse2& c, uint32_t* d) {
  const __m128i luma = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y));
  __m128i bEven, gEven, rEven, bOdd, gOdd, rOdd;
  ChannelsSse2(_mm_and_si128(luma, _mm_set1_epi16(0xFF)), c, &bEven, &gEven, &rEven);
  ChannelsSse2(_mm_srli_epi16(luma, 8), c, &bOdd, &gOdd, &rOdd);
  // Bytes: the even pixels' channel, then the odd pixels'.
  const __m128i b = _mm_packus_epi16(bEven, bOdd);
  const __m128i g = _mm_packus_epi16(gEven, gOdd);
  const __m128i r = _mm_packus_epi16(rEven, rOdd);
  const __m128i alpha = _mm_set1_epi8(-1);
  const __m128i bgEven = _mm_unpacklo_epi8(b, g), bgOdd = _mm_unpackhi_epi8(b, g);
  const __m128i raEven = _mm_unpacklo_epi8(r, alpha), raOdd = _mm_unpackhi_epi8(r, alpha);
  const __m128i even0 = _mm_unpacklo_epi16(bgEven, raEven);  // pixels 0, 2, 4, 6
  const __m128i even1 = _mm_unpackhi_epi16(bgEven, raEven);  // 8 .. 14
  const __m128i odd0 = _mm_unpacklo_epi16(bgOdd, raOdd);     // 1, 3, 5, 7
  const __m128i odd1 = _mm_unpackhi_epi16(bgOdd, raOdd);     // 9 .. 15
  _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_unpacklo_epi32(even0, odd0));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 4), _mm_unpackhi_epi32(even0, odd0));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 8), _mm_unpacklo_epi32(even1, odd1));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 12), _mm_unpackhi_epi32(even1, odd1));
}

}  // namespace

int ConvertYuvBlocksSse2(const YuvBlockRow& row, int blocks) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i half = _mm_set1_epi16(128);
  int bx = 0;
  for (; bx + 8 <= blocks; bx += 8) {
    const __m128i u = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row.U + bx));
    const __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row.V + bx));
    const ChromaSse2 c = ChromaTermsSse2(_mm_sub_epi16(_mm_unpacklo_epi8(u, zero), half),
                                         _mm_sub_epi16(_mm_unpacklo_epi8(v, zero), half));
    RowSse2(row.Y0 + 2 * bx, c, row.D0 + 2 * bx);
    RowSse2(row.Y1 + 2 * bx, c, row.D1 + 2 * bx);
  }
  return bx;
}

namespace {

// ---- AVX2: sixteen blocks, thirty-two pixels a row -------------------------------
// The same steps. The unpacks and packs work within each 128-bit half, so
// the samples are first put in the order in which those steps leave whole
// stores in order: 32-bit groups 0, 2, 4, 6 in the low half and 1, 3, 5, 7
// in the high half (of luma four pixels a group, of chroma two blocks).

struct ChromaAvx2 {
  __m256i HighB, HighG, HighR;
  __m256i LimitB, LimitG, LimitR;
};

__attribute__((target("avx2"))) inline __m256i GroupOrderAvx2(__m256i v) {
  return _mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7));
}

__attribute__((target("avx2"))) inline ChromaAvx2 ChromaTermsAvx2(const uint8_t* up, const uint8_t* vp) {
  const __m256i half = _mm256_set1_epi16(128);
  const __m256i u = _mm256_sub_epi16(
      GroupOrderAvx2(_mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(up)))), half);
  const __m256i v = _mm256_sub_epi16(
      GroupOrderAvx2(_mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(vp)))), half);
  const __m256i flip = _mm256_set1_epi16(kLimitFlip);
  const __m256i greenPair = _mm256_set1_epi32(kGreenHighPair);
  const __m256i greenLow = _mm256_madd_epi16(_mm256_unpacklo_epi16(u, v), greenPair);
  const __m256i greenHigh = _mm256_madd_epi16(_mm256_unpackhi_epi16(u, v), greenPair);
  ChromaAvx2 c;
  c.HighR = _mm256_mulhi_epi16(_mm256_slli_epi16(v, 2), _mm256_set1_epi16(kRedHigh));
  c.HighB = _mm256_mulhi_epi16(_mm256_slli_epi16(u, 3), _mm256_set1_epi16(kBlueHigh));
  c.HighG = _mm256_packs_epi32(_mm256_srai_epi32(greenLow, 14), _mm256_srai_epi32(greenHigh, 14));
  c.LimitR = _mm256_xor_si256(_mm256_mullo_epi16(v, _mm256_set1_epi16(kRedLow)), flip);
  c.LimitB = _mm256_xor_si256(_mm256_mullo_epi16(u, _mm256_set1_epi16(kBlueLow)), flip);
  c.LimitG = _mm256_xor_si256(_mm256_add_epi16(_mm256_mullo_epi16(u, _mm256_set1_epi16(kGreenULow)),
                                               _mm256_mullo_epi16(v, _mm256_set1_epi16(kGreenVLow))),
                              flip);
  return c;
}

__attribute__((target("avx2"))) inline void ChannelsAvx2(__m256i y, const ChromaAvx2& c, __m256i* b,
                                                         __m256i* g, __m256i* r) {
  const __m256i luma = _mm256_sub_epi16(y, _mm256_set1_epi16(kLumaOffset));
  const __m256i base = _mm256_add_epi16(luma, _mm256_mulhi_epi16(luma, _mm256_set1_epi16(kLumaStep)));
  const __m256i lo =
      _mm256_xor_si256(_mm256_mullo_epi16(luma, _mm256_set1_epi16(kLumaStep)), _mm256_set1_epi16(kSignFlip));
  *b = _mm256_add_epi16(_mm256_sub_epi16(base, _mm256_cmpgt_epi16(lo, c.LimitB)), c.HighB);
  *g = _mm256_add_epi16(_mm256_sub_epi16(base, _mm256_cmpgt_epi16(lo, c.LimitG)), c.HighG);
  *r = _mm256_add_epi16(_mm256_sub_epi16(base, _mm256_cmpgt_epi16(lo, c.LimitR)), c.HighR);
}

__attribute__((target("avx2"))) inline void RowAvx2(const uint8_t* y, const ChromaAvx2& c, uint32_t* d) {
  const __m256i luma = GroupOrderAvx2(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(y)));
  __m256i bEven, gEven, rEven, bOdd, gOdd, rOdd;
  ChannelsAvx2(_mm256_and_si256(luma, _mm256_set1_epi16(0xFF)), c, &bEven, &gEven, &rEven);
  ChannelsAvx2(_mm256_srli_epi16(luma, 8), c, &bOdd, &gOdd, &rOdd);
  const __m256i b = _mm256_packus_epi16(bEven, bOdd);
  const __m256i g = _mm256_packus_epi16(gEven, gOdd);
  const __m256i r = _mm256_packus_epi16(rEven, rOdd);
  const __m256i alpha = _mm256_set1_epi8(-1);
  const __m256i bgEven = _mm256_unpacklo_epi8(b, g), bgOdd = _mm256_unpackhi_epi8(b, g);
  const __m256i raEven = _mm256_unpacklo_epi8(r, alpha), raOdd = _mm256_unpackhi_epi8(r, alpha);
  const __m256i even0 = _mm256_unpacklo_epi16(bgEven, raEven);
  const __m256i even1 = _mm256_unpackhi_epi16(bgEven, raEven);
  const __m256i odd0 = _mm256_unpacklo_epi16(bgOdd, raOdd);
  const __m256i odd1 = _mm256_unpackhi_epi16(bgOdd, raOdd);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(d), _mm256_unpacklo_epi32(even0, odd0));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 8), _mm256_unpackhi_epi32(even0, odd0));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 16), _mm256_unpacklo_epi32(even1, odd1));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 24), _mm256_unpackhi_epi32(even1, odd1));
}

}  // namespace

__attribute__((target("avx2"))) int ConvertYuvBlocksAvx2(const YuvBlockRow& row, int blocks) {
  int bx = 0;
  for (; bx + 16 <= blocks; bx += 16) {
    const ChromaAvx2 c = ChromaTermsAvx2(row.U + bx, row.V + bx);
    RowAvx2(row.Y0 + 2 * bx, c, row.D0 + 2 * bx);
    RowAvx2(row.Y1 + 2 * bx, c, row.D1 + 2 * bx);
  }
  return bx;
}

// GCC 12 takes the placeholder operand that its own AVX-512 header leaves
// undefined for an uninitialised value.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

namespace {

// ---- AVX-512: thirty-two blocks, sixty-four pixels a row -----------------------
// Four 128-bit quarters: group q of 32 bits (of sixteen) goes to quarter
// q % 4, in the order 0, 4, 8, 12 | 1, 5, 9, 13 | ...

struct ChromaAvx512 {
  __m512i HighB, HighG, HighR;
  __m512i LimitB, LimitG, LimitR;
};

__attribute__((target("avx512bw"))) inline __m512i GroupOrderAvx512(__m512i v) {
  return _mm512_permutexvar_epi32(_mm512_setr_epi32(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15), v);
}

__attribute__((target("avx512bw"))) inline ChromaAvx512 ChromaTermsAvx512(const uint8_t* up,
                                                                          const uint8_t* vp) {
  const __m512i half = _mm512_set1_epi16(128);
  const __m512i u = _mm512_sub_epi16(
      GroupOrderAvx512(_mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(up)))), half);
  const __m512i v = _mm512_sub_epi16(
      GroupOrderAvx512(_mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(vp)))), half);
  const __m512i flip = _mm512_set1_epi16(kLimitFlip);
  const __m512i greenPair = _mm512_set1_epi32(kGreenHighPair);
  const __m512i greenLow = _mm512_madd_epi16(_mm512_unpacklo_epi16(u, v), greenPair);
  const __m512i greenHigh = _mm512_madd_epi16(_mm512_unpackhi_epi16(u, v), greenPair);
  ChromaAvx512 c;
  c.HighR = _mm512_mulhi_epi16(_mm512_slli_epi16(v, 2), _mm512_set1_epi16(kRedHigh));
  c.HighB = _mm512_mulhi_epi16(_mm512_slli_epi16(u, 3), _mm512_set1_epi16(kBlueHigh));
  c.HighG = _mm512_packs_epi32(_mm512_srai_epi32(greenLow, 14), _mm512_srai_epi32(greenHigh, 14));
  c.LimitR = _mm512_xor_si512(_mm512_mullo_epi16(v, _mm512_set1_epi16(kRedLow)), flip);
  c.LimitB = _mm512_xor_si512(_mm512_mullo_epi16(u, _mm512_set1_epi16(kBlueLow)), flip);
  c.LimitG = _mm512_xor_si512(_mm512_add_epi16(_mm512_mullo_epi16(u, _mm512_set1_epi16(kGreenULow)),
                                               _mm512_mullo_epi16(v, _mm512_set1_epi16(kGreenVLow))),
                              flip);
  return c;
}

// The compare gives a mask here; the carry is an add of 1 under it.
__attribute__((target("avx512bw"))) inline void ChannelsAvx512(__m512i y, const ChromaAvx512& c, __m512i* b,
                                                               __m512i* g, __m512i* r) {
  const __m512i luma = _mm512_sub_epi16(y, _mm512_set1_epi16(kLumaOffset));
  const __m512i base = _mm512_add_epi16(luma, _mm512_mulhi_epi16(luma, _mm512_set1_epi16(kLumaStep)));
  const __m512i lo =
      _mm512_xor_si512(_mm512_mullo_epi16(luma, _mm512_set1_epi16(kLumaStep)), _mm512_set1_epi16(kSignFlip));
  const __m512i one = _mm512_set1_epi16(1);
  *b = _mm512_add_epi16(_mm512_mask_add_epi16(base, _mm512_cmpgt_epi16_mask(lo, c.LimitB), base, one),
                        c.HighB);
  *g = _mm512_add_epi16(_mm512_mask_add_epi16(base, _mm512_cmpgt_epi16_mask(lo, c.LimitG), base, one),
                        c.HighG);
  *r = _mm512_add_epi16(_mm512_mask_add_epi16(base, _mm512_cmpgt_epi16_mask(lo, c.LimitR), base, one),
                        c.HighR);
}

__attribute__((target("avx512bw"))) inline void RowAvx512(const uint8_t* y, const ChromaAvx512& c,
                                                          uint32_t* d) {
  const __m512i luma = GroupOrderAvx512(_mm512_loadu_si512(y));
  __m512i bEven, gEven, rEven, bOdd, gOdd, rOdd;
  ChannelsAvx512(_mm512_and_si512(luma, _mm512_set1_epi16(0xFF)), c, &bEven, &gEven, &rEven);
  ChannelsAvx512(_mm512_srli_epi16(luma, 8), c, &bOdd, &gOdd, &rOdd);
  const __m512i b = _mm512_packus_epi16(bEven, bOdd);
  const __m512i g = _mm512_packus_epi16(gEven, gOdd);
  const __m512i r = _mm512_packus_epi16(rEven, rOdd);
  const __m512i alpha = _mm512_set1_epi8(-1);
  const __m512i bgEven = _mm512_unpacklo_epi8(b, g), bgOdd = _mm512_unpackhi_epi8(b, g);
  const __m512i raEven = _mm512_unpacklo_epi8(r, alpha), raOdd = _mm512_unpackhi_epi8(r, alpha);
  const __m512i even0 = _mm512_unpacklo_epi16(bgEven, raEven);
  const __m512i even1 = _mm512_unpackhi_epi16(bgEven, raEven);
  const __m512i odd0 = _mm512_unpacklo_epi16(bgOdd, raOdd);
  const __m512i odd1 = _mm512_unpackhi_epi16(bgOdd, raOdd);
  _mm512_storeu_si512(d, _mm512_unpacklo_epi32(even0, odd0));
  _mm512_storeu_si512(d + 16, _mm512_unpackhi_epi32(even0, odd0));
  _mm512_storeu_si512(d + 32, _mm512_unpacklo_epi32(even1, odd1));
  _mm512_storeu_si512(d + 48, _mm512_unpackhi_epi32(even1, odd1));
}

}  // namespace

__attribute__((target("avx512bw"))) int ConvertYuvBlocksAvx512(const YuvBlockRow& row, int blocks) {
  int bx = 0;
  for (; bx + 32 <= blocks; bx += 32) {
    const ChromaAvx512 c = ChromaTermsAvx512(row.U + bx, row.V + bx);
    RowAvx512(row.Y0 + 2 * bx, c, row.D0 + 2 * bx);
    RowAvx512(row.Y1 + 2 * bx, c, row.D1 + 2 * bx);
  }
  return bx;
}

#pragma GCC diagnostic pop

#else  // no SSE2: nothing is converted here, the scalar loop does it all

int ConvertYuvBlocksSse2(const YuvBlockRow&, int) { return 0; }
int ConvertYuvBlocksAvx2(const YuvBlockRow&, int) { return 0; }
int ConvertYuvBlocksAvx512(const YuvBlockRow&, int) { return 0; }

#endif
