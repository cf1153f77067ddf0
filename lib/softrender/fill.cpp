// Rectangle fill, one-pixel lines and rectangle outlines. They blend a single
// colour with the blit's own loops: the colour is laid out as a one-row
// source that every destination row reads again.
#include <immintrin.h>

#include <cstring>

#include "softrender/blit_select.h"
#include "softrender/blit_setup.h"
#include "softrender/memimg_draw.h"

using namespace softblit;

namespace {

constexpr int kChunk = 256;  // even, so 16-bit pixel pairs keep their places

bool DrawableTarget(const MEMIMG* img) {
  if (!IsValidMemImg(img)) return false;
  const MemImgBase* b = img->Base;
  return (b->Type == MEMIMG_TYPE_RGB565 || b->Type == MEMIMG_TYPE_XRGB32) && !b->PaletteFlag && !b->AlphaFlag;
}

// The tint of a fill multiplies each channel as (c * t) >> 8.
uint32_t TintColour(uint32_t colour, bool is32) {
  const uint32_t t = SoftDrawState.Tint;
  const uint32_t tb = t & 0xFF, tg = (t >> 8) & 0xFF, tr = (t >> 16) & 0xFF;
  if (is32) {
    const uint32_t b = ((colour & 0xFF) * tb) >> 8;
    const uint32_t g = (((colour >> 8) & 0xFF) * tg) >> 8;
    const uint32_t r = (((colour >> 16) & 0xFF) * tr) >> 8;
    return (colour & 0xFF000000u) | r << 16 | g << 8 | b;
  }
  const uint32_t b = ((colour & 31) * tb) >> 8;
  const uint32_t g = (((colour >> 5) & 63) * tg) >> 8;
  const uint32_t r = (((colour >> 11) & 31) * tr) >> 8;
  return r << 11 | g << 5 | b;
}

bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}

// Wide stores for long fills where the processor has them (the same bytes as
// the 16-byte loop); p is 16-byte aligned. Returns the bytes written, a
// multiple of 128.
__attribute__((target("avx2"))) size_t FillAvx2(uint8_t* p, size_t bytes, uint32_t pattern) {
  const __m256i v = _mm256_set1_epi32(static_cast<int>(pattern));
  size_t i = 0;
  for (; i + 128 <= bytes; i += 128) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + i), v);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + i + 32), v);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + i + 64), v);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + i + 96), v);
  }
  return i;
}

// Writes `bytes` bytes of a repeated 32-bit pattern (whole pixels).
void FillPattern(uint8_t* p, size_t bytes, uint32_t word, int bpp) {
  if (((word ^ (word >> 8)) & 0xFFFFFF) == 0) {  // every byte alike
    std::memset(p, static_cast<int>(word & 0xFF), bytes);
    return;
  }
  size_t i = 0;
  // Reach a 16-byte boundary pixel by pixel (pixels are 2-byte aligned at least).
  while (i < bytes && (reinterpret_cast<uintptr_t>(p + i) & 15) != 0) {
    std::memcpy(p + i, &word, static_cast<size_t>(bpp));
    i += bpp;
  }
  if (i >= bytes) return;
  // A pattern that started off the boundary is rotated to match it.
  const unsigned rot = static_cast<unsigned>(i & 3) * 8;
  const uint32_t aligned = rot ? (word >> rot) | (word << (32 - rot)) : word;
  if (bytes - i >= 256 && HasAvx2()) {
    i += FillAvx2(p + i, bytes - i, aligned);
  }
  const __m128i v = _mm_set1_epi32(static_cast<int>(aligned));
  for (; i + 64 <= bytes; i += 64) {
    _mm_store_si128(reinterpret_cast<__m128i*>(p + i), v);
    _mm_store_si128(reinterpret_cast<__m128i*>(p + i + 16), v);
    _mm_store_si128(reinterpret_cast<__m128i*>(p + i + 32), v);
    _mm_store_si128(reinterpret_cast<__m128i*>(p + i + 48), v);
  }
  for (; i + 16 <= bytes; i += 16) _mm_store_si128(reinterpret_cast<__m128i*>(p + i), v);
  for (; i < bytes; i += bpp) std::memcpy(p + i, &aligned, static_cast<size_t>(bpp));
}

// The colour and the loop that blends it, chosen once per call.
struct ColourDraw {
  bool Is32;
  int Mode;
  uint32_t Colour;
  BlitFn Fn;
  BlitJob Job;
  uint8_t Row[kChunk * 4];
};

bool PrepareColourDraw(MEMIMG* img, uint32_t colour, ColourDraw* cd) {
  if (!DrawableTarget(img)) return false;
  DrawModeSetup m;
  if (!ResolveDrawMode(&m)) return false;
  cd->Is32 = img->Base->Type == MEMIMG_TYPE_XRGB32;
  cd->Mode = m.Mode;
  cd->Colour = m.Tint ? TintColour(colour, cd->Is32) : (cd->Is32 ? colour : colour & 0xFFFF);
  BlitChoice c{};
  c.Mode = m.Mode;
  c.Fast =
      (m.Mode == BLEND_ALPHA && m.P == 128) || ((m.Mode == BLEND_ADD || m.Mode == BLEND_SUB) && m.P == 255);
  c.Mmx = c.Fast && cd->Is32 && MmxLoopsEnabled();
  cd->Fn = SelectBlit(cd->Is32 ? 32 : 16, SrcKind::Direct, c);
  if (!cd->Fn) return false;
  std::memset(&cd->Job, 0, sizeof(cd->Job));
  SetJobTables(&cd->Job, m);
  const int bpp = cd->Is32 ? 4 : 2;
  for (int i = 0; i < kChunk; ++i) std::memcpy(cd->Row + i * bpp, &cd->Colour, static_cast<size_t>(bpp));
  cd->Job.Src = cd->Row;
  cd->Job.SrcPitch = 0;
  cd->Job.DstPitch = img->Base->Pitch;
  return true;
}

void FillClipped(MEMIMG* img, ColourDraw* cd, const Rect& r) {
  const int bpp = cd->Is32 ? 4 : 2;
  const intptr_t pitch = img->Base->Pitch;
  uint8_t* row = img->Pixels + r.Top * pitch + static_cast<intptr_t>(r.Left) * bpp;
  const int w = r.Right - r.Left, h = r.Bottom - r.Top;
  InvalidateMemImgDerived(img);
  if (cd->Mode == BLEND_COPY) {
    const uint32_t c = cd->Colour;
    const uint32_t word = cd->Is32 ? c : ((c & 0xFFFF) | (c << 16));
    size_t bytes = static_cast<size_t>(w) * bpp;
    int rows = h;
    if (static_cast<intptr_t>(bytes) == pitch) {  // rows back to back: one long run
      bytes *= static_cast<size_t>(h);
      rows = 1;
    }
    for (int y = 0; y < rows; ++y, row += pitch) FillPattern(row, bytes, word, bpp);
    return;
  }
  for (int x = 0; x < w; x += kChunk) {
    cd->Job.Dst = row + static_cast<intptr_t>(x) * bpp;
    cd->Job.Width = w - x < kChunk ? w - x : kChunk;
    cd->Job.Height = h;
    cd->Fn(cd->Job);
  }
}

}  // namespace

void FillMemImgBoxXY(MEMIMG* img, int x1, int y1, int x2, int y2, uint32_t colour) {
  ColourDraw cd;
  if (!PrepareColourDraw(img, colour, &cd)) return;
  Rect r;
  if (!ClipToTarget(img, x1, y1, x2, y2, &r)) return;
  FillClipped(img, &cd, r);
}

void FillMemImgBox(MEMIMG* img, const Rect* rect, uint32_t colour) {
  if (!rect) return;
  FillMemImgBoxXY(img, rect->Left, rect->Top, rect->Right, rect->Bottom, colour);
}

void OutlineMemImgBox(MEMIMG* img, int x1, int y1, int x2, int y2, uint32_t colour) {
  ColourDraw cd;
  if (!PrepareColourDraw(img, colour, &cd)) return;
  const int64_t l = x1 < x2 ? x1 : x2, rt = x1 < x2 ? x2 : x1;
  const int64_t t = y1 < y2 ? y1 : y2, b = y1 < y2 ? y2 : y1;
  if (rt <= l || b <= t) return;
  // Top and bottom rows span the width; the sides fill the rows between.
  const int64_t strips[4][4] = {
      {l, t, rt, t + 1}, {l, b - 1, rt, b}, {l, t + 1, l + 1, b - 1}, {rt - 1, t + 1, rt, b - 1}};
  const int count = b - t == 1 ? 1 : (rt - l == 1 ? 3 : 4);
  for (int i = 0; i < count; ++i) {
    Rect r;
    if (ClipToTarget(img, strips[i][0], strips[i][1], strips[i][2], strips[i][3], &r))
      FillClipped(img, &cd, r);
  }
}

void DrawMemImgLine(MEMIMG* img, int x1, int y1, int x2, int y2, uint32_t colour) {
  ColourDraw cd;
  if (!PrepareColourDraw(img, colour, &cd)) return;
  Rect clip;
  if (!ClipToTarget(img, INT32_MIN, INT32_MIN, INT64_C(1) << 40, INT64_C(1) << 40, &clip)) return;
  InvalidateMemImgDerived(img);
  const int bpp = cd.Is32 ? 4 : 2;
  const intptr_t pitch = img->Base->Pitch;
  cd.Job.Width = 1;
  cd.Job.Height = 1;
  const int64_t dx = static_cast<int64_t>(x2) - x1, dy = static_cast<int64_t>(y2) - y1;
  const int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
  const int64_t sxs = dx < 0 ? -1 : 1, sys = dy < 0 ? -1 : 1;
  const bool xMajor = adx >= ady;
  const int64_t steps = xMajor ? adx : ady, minor = xMajor ? ady : adx;
  // Step i of the major axis meets the minor axis at the nearest pixel
  // (halves rounded away from the start): the pixels of a Bresenham line.
  // Only the steps whose major coordinate lies inside the clip are visited.
  const int64_t m0 = xMajor ? x1 : y1, ms = xMajor ? sxs : sys;
  const int64_t lo = xMajor ? clip.Left : clip.Top, hi = (xMajor ? clip.Right : clip.Bottom) - 1;
  int64_t iFirst, iLast;
  if (ms > 0) {
    iFirst = lo - m0;
    iLast = hi - m0;
  } else {
    iFirst = m0 - hi;
    iLast = m0 - lo;
  }
  if (iFirst < 0) iFirst = 0;
  if (iLast > steps) iLast = steps;
  for (int64_t i = iFirst; i <= iLast; ++i) {
    const int64_t off =
        steps == 0 ? 0 : static_cast<int64_t>((static_cast<__int128>(2 * i) * minor + steps) / (2 * steps));
    const int64_t px = xMajor ? x1 + sxs * i : x1 + sxs * off;
    const int64_t py = xMajor ? y1 + sys * off : y1 + sys * i;
    if (px < clip.Left || px >= clip.Right || py < clip.Top || py >= clip.Bottom) continue;
    uint8_t* dp = img->Pixels + py * pitch + px * bpp;
    if (cd.Mode == BLEND_COPY) {
      std::memcpy(dp, &cd.Colour, static_cast<size_t>(bpp));
    } else {
      cd.Job.Dst = dp;
      cd.Fn(cd.Job);
    }
  }
}
