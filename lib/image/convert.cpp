// The pixel converter's entry: derives the options, then picks one path:
// palette remap, one-byte destination, same layout, colour key to alpha,
// a fixed pair, or the general per-pixel path.
#include "image/convert.h"

#include <cstring>

#include "core/strutil.h"
#include "image/convert_paths.h"
#include "image/convert_pixels.h"
#include "image/rect.h"

using namespace convert_detail;

namespace {

const ColorFormat kNoFormat{};

void RemapPalette(const ConvertJob& job) {
  uint8_t map[256];
  for (int i = 0; i < 256; i++) {
    const PaletteEntry& e = job.S->Palette[i];
    map[i] = static_cast<uint8_t>(PackColorForFormat(job.D, e.Red, e.Green, e.Blue, 0));
  }
  for (int y = 0; y < job.Height; y++) {
    const uint8_t* s = job.SourceRow(y);
    for (int x = 0; x < job.Width; x++) *job.DestPixel(x, y) = map[s[x]];
  }
}

// Palette indices copied unchanged; the result is the largest index copied.
int CopyIndices(const ConvertJob& job) {
  int largest = 0;
  for (int y = 0; y < job.Height; y++) {
    const uint8_t* s = job.SourceRow(y);
    for (int x = 0; x < job.Width; x++) {
      uint8_t v = s[x];
      if (v > largest) largest = v;
      *job.DestPixel(x, y) = v;
    }
  }
  return largest;
}

// A 16-, 24- or 32-bit source to a palette destination: the nearest entry of
// each pixel's colour.
void PackToPalette(const ConvertJob& job) {
  const ColorFormat& S = *job.S;
  const uint32_t key = KeyForWidth(job.TransColor, job.SB);
  for (int y = 0; y < job.Height; y++) {
    const uint8_t* s = job.SourceRow(y);
    for (int x = 0; x < job.Width; x++, s += job.SB) {
      uint32_t p = LoadPixel(s, job.SB);
      // Skip key holds here as on every other path: a key pixel leaves the
      // destination index as it was.
      if (job.SkipKey && p == key) continue;
      int r, g, b;
      UnpackColorForFormat(&S, p, &r, &g, &b, nullptr);
      uint32_t a = SafeShr(p & S.AlphaMask, S.AlphaShift);
      *job.DestPixel(x, y) = static_cast<uint8_t>(PackColorForFormat(job.D, r, g, b, static_cast<int>(a)));
    }
  }
}

// Copies one row in 32-byte pieces. The library's rep-movsb copy slows down
// badly when source and destination share their offset within a page, which
// images of equal size often do; plain vector moves do not. Overlap with the
// destination above the source falls back to memmove.
void CopyRow(uint8_t* d, const uint8_t* s, size_t n) {
  if (d > s && d < s + n) {
    std::memmove(d, s, n);
    return;
  }
  size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    uint8_t piece[32];
    std::memcpy(piece, s + i, 32);
    std::memcpy(d + i, piece, 32);
  }
  for (; i < n; i++) d[i] = s[i];
}

void CopySameLayout(const ConvertJob& job) {
  const size_t rowBytes = size_t(job.Width) * job.DB;
  if (!job.Mirror && !job.SkipKey) {
    for (int y = 0; y < job.Height; y++) CopyRow(job.DestPixel(0, y), job.SourceRow(y), rowBytes);
    return;
  }
  const uint32_t key = KeyForWidth(job.TransColor, job.DB);
  for (int y = 0; y < job.Height; y++) {
    const uint8_t* s = job.SourceRow(y);
    for (int x = 0; x < job.Width; x++, s += job.SB) {
      uint32_t v = LoadPixel(s, job.SB);
      if (job.SkipKey && v == key) continue;
      StorePixel(job.DestPixel(x, y), job.DB, v);
    }
  }
}

// Equal colour layouts, the transparent colour turned into alpha 0 and every
// other colour into full alpha. Only the colour bits are compared.
void KeyToAlphaSameLayout(const ConvertJob& job) {
  const ColorFormat& D = *job.D;
  const uint32_t rgb = D.RedMask | D.GreenMask | D.BlueMask;
  const uint32_t c = job.TransColor;
  const uint32_t k = PackColorForFormat(&D, (c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF, 255) & rgb;
  for (int y = 0; y < job.Height; y++) {
    const uint8_t* s = job.SourceRow(y);
    for (int x = 0; x < job.Width; x++, s += job.SB) {
      uint32_t v = LoadPixel(s, job.SB);
      if (job.SB == 4) v |= ~rgb;
      v = (v & rgb) == k ? v & ~D.AlphaMask : v | D.AlphaMask;
      StorePixel(job.DestPixel(x, y), job.DB, v);
    }
  }
}

}  // namespace

int GetConvertOptionWord() { return 0; }

int ConvertPixelRect(uint8_t* destPixels, int destPitch, const ColorFormat* destFormat,
                     const uint8_t* sourcePixels, int sourcePitch, const ColorFormat* sourceFormat,
                     const uint8_t* alphaPixels, int alphaPitch, const ColorFormat* alphaFormat, int destX,
                     int destY, const Rect* sourceRect, int mirror, int keyToAlpha, uint32_t transColor,
                     int /*ditherMode*/, int clearColor, int alphaFromRed, int skipKey, int paletteRemap) {
  if (destPixels == nullptr || destFormat == nullptr || sourcePixels == nullptr || sourceFormat == nullptr ||
      sourceRect == nullptr)
    return -1;
  const ColorFormat& D = *destFormat;
  const ColorFormat& S = *sourceFormat;
  const ColorFormat& A = alphaFormat ? *alphaFormat : kNoFormat;

  const int64_t width = int64_t{sourceRect->Right} - sourceRect->Left;
  const int64_t height = int64_t{sourceRect->Bottom} - sourceRect->Top;
  if (width == 0 || height == 0) return -1;
  if (width < 0 || height < 0) return 0;
  if (width > 0x7FFFFFFF || height > 0x7FFFFFFF) return -1;

  ConvertJob job{};
  job.D = &D;
  job.S = &S;
  job.A = &A;
  job.DB = DepthBytes(D);
  job.SB = DepthBytes(S);
  job.AB = alphaPixels ? DepthBytes(A) : 0;
  // An alpha image without a readable depth (a null format reads as all
  // zero) cannot be read, so it is left out.
  if (job.AB == 0) alphaPixels = nullptr;
  // Depths other than 8, 16, 24 and 32 are not converted.
  if (job.DB == 0 || job.SB == 0) return 0;

  const int alphaOut = D.AlphaWidth != 0 && (alphaPixels != nullptr || S.AlphaWidth != 0);
  job.AlphaFromImage = D.AlphaWidth != 0 && alphaPixels != nullptr && S.AlphaWidth == 0;
  if (alphaOut || D.AlphaWidth == 0 || alphaFromRed) keyToAlpha = 0;
  if (alphaOut || mirror) skipKey = 0;

  job.Dest = destPixels;
  job.DestPitch = destPitch;
  job.DestX = destX;
  job.DestY = destY;
  job.Source = sourcePixels + int64_t{sourceRect->Top} * sourcePitch + int64_t{sourceRect->Left} * job.SB;
  job.SourcePitch = sourcePitch;
  job.Alpha = job.AlphaFromImage
                  ? alphaPixels + int64_t{sourceRect->Top} * alphaPitch + int64_t{sourceRect->Left} * job.AB
                  : nullptr;
  job.AlphaPitch = alphaPitch;
  job.AlphaGiven = alphaPixels != nullptr;
  job.Width = static_cast<int>(width);
  job.Height = static_cast<int>(height);
  job.Mirror = mirror != 0;
  job.KeyToAlpha = keyToAlpha != 0;
  job.ClearColor = clearColor != 0;
  job.AlphaFromRed = alphaFromRed != 0;
  job.SkipKey = skipKey == 1;
  job.TransColor = transColor;

  if (paletteRemap && job.DB == 1 && job.SB == 1) {
    if (MemCompare(D.Palette, S.Palette, sizeof(D.Palette)) != 0) {
      RemapPalette(job);
      return 0;
    }
  }

  if (job.DB == 1) {
    if (job.SB == 1 && !job.ClearColor && !job.SkipKey && !job.AlphaFromRed) return CopyIndices(job);
    // A single-channel destination with alpha from red takes the general path,
    // which writes the converted red value rather than a palette search.
    if (job.SB != 1 && !job.AlphaFromRed) {
      PackToPalette(job);
      return 0;
    }
  }

  const bool sameMasks = D.BitDepth == S.BitDepth && D.RedMask == S.RedMask && D.GreenMask == S.GreenMask &&
                         D.BlueMask == S.BlueMask;
  if (!job.KeyToAlpha && !job.AlphaFromImage && !job.ClearColor && !job.AlphaFromRed && sameMasks &&
      D.AlphaMask == S.AlphaMask) {
    CopySameLayout(job);
    return 0;
  }
  if (!job.SkipKey && D.AlphaWidth != 0 && job.KeyToAlpha && !job.ClearColor && !job.AlphaFromRed &&
      sameMasks) {
    KeyToAlphaSameLayout(job);
    return 0;
  }
  if (ConvertFastPair(job)) return 0;
  ConvertGeneral(job);
  return 0;
}
