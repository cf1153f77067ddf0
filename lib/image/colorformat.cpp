// Pixel layouts and the single-colour routines over them.
#include "image/colorformat.h"

namespace {

// Position of the lowest set bit and the run of set bits from there upward
// (bits above a gap are not counted). A mask of 0 gives 0 and 0.
void MaskShiftWidth(uint32_t mask, uint8_t* shift, uint8_t* width) {
  *shift = 0;
  *width = 0;
  if (mask == 0) return;
  unsigned s = 0;
  while (((mask >> s) & 1u) == 0) s++;
  unsigned w = 0;
  while (s + w < 32 && ((mask >> (s + w)) & 1u) != 0) w++;
  *shift = static_cast<uint8_t>(s);
  *width = static_cast<uint8_t>(w);
}

// The low `bits` bits set; 32 or more gives every bit (no undefined shift).
uint32_t LowBits(unsigned bits) { return bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1u; }

// The fixed layouts. All four have red, green and blue of 8 bits at 16, 8 and
// 0 and format code 0; they differ in depth, alpha and unused bits. Only
// XRGB8 writes its unused shift and width; the others leave them as they were.
struct FixedLayout {
  uint16_t BitDepth;
  uint8_t AlphaWidth, AlphaShift;
  uint32_t AlphaMask, UnusedMask;
  bool WritesUnusedPosition;
  uint8_t UnusedShift, UnusedWidth;
};
enum FixedFormat { kPalette, kXRGB8, kARGB8, kRGB24, kFixedFormatCount };
// In the order of FixedFormat: depth, alpha width, shift and mask, unused
// mask, unused shift and width.
constexpr FixedLayout kFixedLayouts[kFixedFormatCount] = {
    {8, 0, 0, 0, 0xFF000000, false, 0, 0},    // palette
    {32, 0, 0, 0, 0xFF000000, true, 24, 8},   // XRGB8
    {32, 8, 24, 0xFF000000, 0, false, 0, 0},  // ARGB8
    {24, 0, 0, 0, 0, false, 0, 0},            // RGB24
};

int SetFixedLayout(ColorFormat* f, FixedFormat which) {
  const FixedLayout& l = kFixedLayouts[which];
  f->BitDepth = l.BitDepth;
  f->BytesPerPixel = l.BitDepth / 8;
  f->RedWidth = f->GreenWidth = f->BlueWidth = 8;
  f->RedShift = 16;
  f->GreenShift = 8;
  f->BlueShift = 0;
  f->RedMask = 0xFF0000;
  f->GreenMask = 0xFF00;
  f->BlueMask = 0xFF;
  f->AlphaWidth = l.AlphaWidth;
  f->AlphaShift = l.AlphaShift;
  f->AlphaMask = l.AlphaMask;
  f->UnusedMask = l.UnusedMask;
  if (l.WritesUnusedPosition) {
    f->UnusedShift = l.UnusedShift;
    f->UnusedWidth = l.UnusedWidth;
  }
  f->FormatCode = 0;
  return 0;
}

// Narrows an 8-bit component to `width` bits by dropping low bits. Widths above
// 8 keep the whole byte (shifted up) so that no shift count is ever negative.
uint32_t NarrowComponent(int c, unsigned width) {
  uint32_t v = static_cast<uint32_t>(c) & 0xFFu;
  if (width == 0) return 0;
  if (width <= 8) return v >> (8 - width);
  if (width >= 32) return v << 24;
  return v << (width - 8);
}

// Shifts a channel value from one width to another (plain shifting).
uint32_t ShiftWidth(uint32_t v, unsigned from, unsigned to) {
  if (to > from) {
    unsigned d = to - from;
    return d >= 32 ? 0 : v << d;
  }
  unsigned d = from - to;
  return d >= 32 ? 0 : v >> d;
}

uint32_t ShiftLeft(uint32_t v, unsigned s) { return s >= 32 ? 0 : v << s; }

}  // namespace

int SetPaletteColorFormat(ColorFormat* f) { return SetFixedLayout(f, kPalette); }
int SetXRGB8ColorFormat(ColorFormat* f) { return SetFixedLayout(f, kXRGB8); }
int SetARGB8ColorFormat(ColorFormat* f) { return SetFixedLayout(f, kARGB8); }
int SetRGB24ColorFormat(ColorFormat* f) { return SetFixedLayout(f, kRGB24); }

int SetGrayPaletteColorFormat(ColorFormat* f) {
  SetPaletteColorFormat(f);
  for (int i = 0; i < 256; i++) {
    uint8_t v = static_cast<uint8_t>(i);
    f->Palette[i] = PaletteEntry{v, v, v, 0};
  }
  return 0;
}

int MakeColorFormatImpl(ColorFormat* f, int bitDepth, uint32_t redMask, uint32_t greenMask, uint32_t blueMask,
                        uint32_t alphaMask) {
  unsigned bits = bitDepth < 0 ? 0u : static_cast<unsigned>(bitDepth);
  f->BitDepth = static_cast<uint16_t>(bits);
  f->BytesPerPixel = static_cast<uint16_t>(bits / 8);
  f->RedMask = redMask;
  f->GreenMask = greenMask;
  f->BlueMask = blueMask;
  f->AlphaMask = alphaMask;
  f->FormatCode = 0;
  f->UnusedMask = LowBits(bits) & ~(redMask | greenMask | blueMask | alphaMask);
  MaskShiftWidth(redMask, &f->RedShift, &f->RedWidth);
  MaskShiftWidth(greenMask, &f->GreenShift, &f->GreenWidth);
  MaskShiftWidth(blueMask, &f->BlueShift, &f->BlueWidth);
  MaskShiftWidth(alphaMask, &f->AlphaShift, &f->AlphaWidth);
  MaskShiftWidth(f->UnusedMask, &f->UnusedShift, &f->UnusedWidth);
  return 0;
}

void UpdateColorFormatUnusedBits(ColorFormat* f) {
  unsigned sum = unsigned{f->RedWidth} + f->GreenWidth + f->BlueWidth + f->AlphaWidth;
  if (sum == f->BitDepth) {
    f->UnusedMask = 0;
    return;
  }
  f->UnusedMask = LowBits(f->BitDepth) & ~(f->RedMask | f->GreenMask | f->BlueMask | f->AlphaMask);
}

int IsSameColorFormat(const ColorFormat* a, const ColorFormat* b) {
  if (a->BitDepth == 0 && b->BitDepth == 0 && a->FormatCode != b->FormatCode) return 0;
  if (a->BitDepth != b->BitDepth) return 0;
  if (a->RedMask != b->RedMask || a->GreenMask != b->GreenMask || a->BlueMask != b->BlueMask ||
      a->AlphaMask != b->AlphaMask)
    return 0;
  return 1;
}

uint32_t PackColorForFormat(const ColorFormat* f, int r, int g, int b, int a) {
  r &= 0xFF;
  g &= 0xFF;
  b &= 0xFF;
  if (f->BytesPerPixel == 1) {
    // Nearest entry; only a strictly smaller distance replaces the best, so
    // the lowest index wins among equals.
    int best = 0xFFFFFF;
    uint32_t bestIndex = 0;
    for (int i = 0; i < 256; i++) {
      const PaletteEntry& e = f->Palette[i];
      int dr = e.Red - r, dg = e.Green - g, db = e.Blue - b;
      int d = dr * dr + dg * dg + db * db;
      if (d < best) {
        best = d;
        bestIndex = static_cast<uint32_t>(i);
      }
    }
    return bestIndex;
  }
  uint32_t v = ShiftLeft(NarrowComponent(r, f->RedWidth), f->RedShift) +
               ShiftLeft(NarrowComponent(g, f->GreenWidth), f->GreenShift) +
               ShiftLeft(NarrowComponent(b, f->BlueWidth), f->BlueShift) + f->UnusedMask;
  if (f->AlphaWidth != 0) v += ShiftLeft(NarrowComponent(a, f->AlphaWidth), f->AlphaShift);
  return v;
}

uint32_t RepackColorValue(const ColorFormat* d, const ColorFormat* s, uint32_t pixel) {
  uint32_t r = ShiftWidth((pixel & s->RedMask) >> s->RedShift, s->RedWidth, d->RedWidth);
  uint32_t g = ShiftWidth((pixel & s->GreenMask) >> s->GreenShift, s->GreenWidth, d->GreenWidth);
  uint32_t b = ShiftWidth((pixel & s->BlueMask) >> s->BlueShift, s->BlueWidth, d->BlueWidth);
  uint32_t a;
  if (s->AlphaWidth == 0)
    a = d->AlphaMask >> d->AlphaShift;
  else
    a = ShiftWidth((pixel & s->AlphaMask) >> s->AlphaShift, s->AlphaWidth, d->AlphaWidth);
  return ShiftLeft(a, d->AlphaShift) | ShiftLeft(b, d->BlueShift) | ShiftLeft(g, d->GreenShift) |
         ShiftLeft(r, d->RedShift) | d->UnusedMask;
}

namespace {
// A channel value scaled to 0..255; a channel of width 0 reads as 0, wide
// channels are computed in 64 bits.
int ScaleTo255(uint32_t pixel, uint32_t mask, unsigned shift, unsigned width) {
  uint32_t max = ChannelMax(width);
  if (max == 0) return 0;
  uint64_t c = (pixel & mask) >> (shift & 31);
  uint64_t v = c * 255u / max;
  return v > 255 ? 255 : static_cast<int>(v);  // a gapped mask can exceed its width
}
}  // namespace

int UnpackColorForFormat(const ColorFormat* f, uint32_t pixel, int* r, int* g, int* b, int* a) {
  if (r) *r = ScaleTo255(pixel, f->RedMask, f->RedShift, f->RedWidth);
  if (g) *g = ScaleTo255(pixel, f->GreenMask, f->GreenShift, f->GreenWidth);
  if (b) *b = ScaleTo255(pixel, f->BlueMask, f->BlueShift, f->BlueWidth);
  if (a) *a = ScaleTo255(pixel, f->AlphaMask, f->AlphaShift, f->AlphaWidth);
  return 0;
}
