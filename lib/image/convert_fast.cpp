// The converter's fixed pairs: the common format pairs converted directly,
// each with its own loop and no per-pixel decisions beyond the key test.
#include "image/convert.h"
#include "image/convert_paths.h"
#include "image/convert_pixels.h"

using namespace convert_detail;

namespace {

bool Is565(const ColorFormat& f) {
  return f.BitDepth == 16 && f.RedMask == 0xF800 && f.GreenMask == 0x7E0 && f.BlueMask == 0x1F;
}
bool Is1555(const ColorFormat& f) {
  return f.BitDepth == 16 && f.RedMask == 0x7C00 && f.GreenMask == 0x3E0 && f.BlueMask == 0x1F;
}
bool Is888(const ColorFormat& f, int depth) {
  return f.BitDepth == depth && f.RedMask == 0xFF0000 && f.GreenMask == 0xFF00 && f.BlueMask == 0xFF;
}
bool IsPalette(const ColorFormat& f) { return f.BitDepth == 8 && f.BytesPerPixel == 1; }
bool NoAlpha(const ColorFormat& f) { return f.AlphaWidth == 0; }

// Runs `fn(sourcePixelPointer) -> destination value` over the rectangle,
// writing `DB` bytes per destination pixel.
// The sizes are held in locals: the destination stores could otherwise alias
// the job record, and the compiler would reload them for every pixel.
template <unsigned SB, unsigned DB, typename Fn>
[[gnu::noinline]] void Run(const ConvertJob& job, Fn fn) {
  const int width = job.Width, height = job.Height;
  const ptrdiff_t sourcePitch = job.SourcePitch, destPitch = job.DestPitch;
  const uint8_t* sourceRow = job.Source;
  uint8_t* destRow = job.Dest + ptrdiff_t{job.DestY} * destPitch + ptrdiff_t{job.DestX} * DB;
  // Indexed rather than stepped pointers, so that the compiler vectorizes the
  // loop (with a run-time overlap test that keeps in-place conversion right).
  for (int y = 0; y < height; y++, sourceRow += sourcePitch, destRow += destPitch) {
    const uint8_t* s = sourceRow;
    uint8_t* d = destRow;
    for (int x = 0; x < width; x++) StorePixel(d + ptrdiff_t{x} * DB, DB, fn(s + ptrdiff_t{x} * SB));
  }
}

uint32_t Load16(const uint8_t* s) { return LoadPixel(s, 2); }
uint32_t Load24(const uint8_t* s) { return LoadPixel(s, 3); }
uint32_t Load32(const uint8_t* s) { return LoadPixel(s, 4); }

uint32_t To555(uint32_t rgb) { return ((rgb >> 9) & 0x7C00) | ((rgb >> 6) & 0x3E0) | ((rgb >> 3) & 0x1F); }

// The palette read as 0x00RRGGBB values, once per call.
struct PaletteTable {
  uint32_t E[256];
  explicit PaletteTable(const ColorFormat& f) {
    for (int i = 0; i < 256; i++) E[i] = PaletteValue(f, static_cast<uint32_t>(i)) & 0xFFFFFF;
  }
};

int PlainPairs(const ConvertJob& job) {
  const ColorFormat& S = *job.S;
  const ColorFormat& D = *job.D;
  if (IsPalette(S)) {
    if (Is565(D) && NoAlpha(D)) {
      PaletteTable t(S);
      Run<1, 2>(job, [&](const uint8_t* s) {
        uint32_t e = t.E[*s];
        return ((e >> 8) & 0xF800) | ((e >> 5) & 0x7E0) | ((e >> 3) & 0x1F);
      });
      return 1;
    }
    if (Is1555(D) && NoAlpha(D)) {
      PaletteTable t(S);
      Run<1, 2>(job, [&](const uint8_t* s) { return To555(t.E[*s]) | 0x8000; });
      return 1;
    }
    if (Is888(D, 32) && NoAlpha(D)) {
      PaletteTable t(S);
      Run<1, 4>(job, [&](const uint8_t* s) { return t.E[*s] | 0xFF000000u; });
      return 1;
    }
    return 0;
  }
  if (Is888(S, 24)) {
    if (Is565(D) && NoAlpha(D)) {
      Run<3, 2>(job, [](const uint8_t* s) {
        return uint32_t(s[2] >> 3) << 11 | uint32_t(s[1] >> 2) << 5 | uint32_t(s[0] >> 3);
      });
      return 1;
    }
    if (Is1555(D) && NoAlpha(D)) {
      Run<3, 2>(job, [](const uint8_t* s) { return To555(Load24(s)) | 0x8000; });
      return 1;
    }
    if (Is888(D, 32)) {
      Run<3, 4>(job, [](const uint8_t* s) { return Load24(s) | 0xFF000000u; });
      return 1;
    }
    return 0;
  }
  // 32-bit to 24-bit drops the top byte: what the general path gives, without
  // its per-pixel work (frames are handed out as 24-bit bitmaps this way).
  if (Is888(S, 32) && Is888(D, 24) && NoAlpha(D)) {
    Run<4, 3>(job, [](const uint8_t* s) { return Load32(s) & 0xFFFFFF; });
    return 1;
  }
  bool alphaOut = D.AlphaWidth != 0 && S.AlphaWidth != 0;  // no alpha image on this path
  if (alphaOut) return 0;
  // The source's alpha, if any, cannot reach a destination without alpha, so
  // ARGB8 sources share this pair with the general path's result.
  if (Is888(S, 32) && Is565(D) && NoAlpha(D)) {
    Run<4, 2>(job, [](const uint8_t* s) {
      uint32_t v = Load32(s);
      return ((v & 0xF8) >> 3) | ((v & 0xFC00) >> 5) | ((v >> 8) & 0xF800);
    });
    return 1;
  }
  if (Is565(S) && NoAlpha(S)) {
    if (Is888(D, 24) && NoAlpha(D)) {
      Run<2, 3>(job, [](const uint8_t* s) {
        uint32_t p = Load16(s);
        return ((p & 0x1F) << 3) | (((p >> 5) & 0x3F) << 2) << 8 | ((p >> 11) << 3) << 16;
      });
      return 1;
    }
    if (Is888(D, 32) && NoAlpha(D)) {
      Run<2, 4>(job, [](const uint8_t* s) {
        uint32_t p = Load16(s);
        return ((p & 0x1F) << 3) | ((p & 0x7E0) << 5) | ((p & 0xF800) << 8);
      });
      return 1;
    }
    if (Is1555(D) && NoAlpha(D)) {
      Run<2, 2>(job, [](const uint8_t* s) {
        uint32_t p = Load16(s);
        return ((p & 0xFFC0) >> 1) | (p & 0x1F);
      });
      return 1;
    }
    return 0;
  }
  if (Is1555(S) && NoAlpha(S) && Is565(D) && NoAlpha(D)) {
    // Green's low bit repeats into the new low bit.
    Run<2, 2>(job, [](const uint8_t* s) {
      uint32_t p = Load16(s);
      return ((p & 0x7FE0) << 1) | (p & 0x3F);
    });
    return 1;
  }
  return 0;
}

int KeyedPairs(const ConvertJob& job) {
  const ColorFormat& S = *job.S;
  const ColorFormat& D = *job.D;
  const uint32_t key = job.TransColor & 0xFFFFFF;
  const bool d1555a = Is1555(D) && D.AlphaMask == 0x8000;
  const bool d888a = Is888(D, 32) && D.AlphaMask == 0xFF000000u;
  if (IsPalette(S)) {
    PaletteTable t(S);
    if (d1555a) {
      Run<1, 2>(job, [&](const uint8_t* s) {
        uint32_t e = t.E[*s];
        return To555(e) | (e != key ? 0x8000u : 0u);
      });
      return 1;
    }
    if (d888a) {
      Run<1, 4>(job, [&](const uint8_t* s) {
        uint32_t e = t.E[*s];
        return e != key ? e | 0xFF000000u : e;
      });
      return 1;
    }
    return 0;
  }
  if (Is888(S, 24)) {
    if (d1555a) {
      const uint32_t k = To555(key);
      Run<3, 2>(job, [&](const uint8_t* s) {
        uint32_t v = To555(Load24(s));
        return v != k ? v | 0x8000u : v;
      });
      return 1;
    }
    if (d888a) {
      Run<3, 4>(job, [&](const uint8_t* s) {
        uint32_t v = Load24(s);
        return v != key ? v | 0xFF000000u : v;
      });
      return 1;
    }
    return 0;
  }
  if (Is565(S) && NoAlpha(S) && d1555a) {
    const uint32_t k = To555(key);
    Run<2, 2>(job, [&](const uint8_t* s) {
      uint32_t p = Load16(s);
      uint32_t v = ((p & 0xFFC0) >> 1) | (p & 0x1F);
      return v != k ? v | 0x8000u : v;
    });
    return 1;
  }
  return 0;
}

}  // namespace

int ConvertFastPair(const ConvertJob& job) {
  if (job.SkipKey || job.ClearColor || job.AlphaFromRed || job.Mirror || job.AlphaGiven) return 0;
  return job.KeyToAlpha ? KeyedPairs(job) : PlainPairs(job);
}
