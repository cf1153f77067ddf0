// Colour values of the screen format, and the screen mode as the drawing
// state reports it.
#include "graphics/drawstate.h"
#include "graphics/soft/display.h"

namespace {

// The format colours are made in: the library image format of the screen
// depth when drawing in software, else the screen's own.
const ColorFormat* DrawingFormat() {
  const int bits = GetScreenColorBits();
  if (IsSoftwareDrawing()) return GetMemImgColorFormat(bits != 16 ? 1 : 0, 0, 0);
  return GetScreenColorData();
}

int ChannelOut(uint32_t value, uint32_t mask, int shift, int width) {
  if (width <= 0) return 0;
  return int(((value & mask) >> shift) * 255u / ((1u << width) - 1u));
}

}  // namespace

int MakeColorImpl(int r, int g, int b) {
  if (GetScreenColorBits() == 8) {
    const ScreenPaletteEntry* pal = DirectDrawState.ScreenPalette;
    int best = 0;
    int bestDistance = 0x7FFFFFFF;
    for (int i = 0; i < 256; ++i) {
      const int dr = pal[i].Red - r, dg = pal[i].Green - g, db = pal[i].Blue - b;
      const int d = dr * dr + dg * dg + db * db;
      if (d < bestDistance) {
        bestDistance = d;
        best = i;
      }
    }
    return best;
  }
  const ColorFormat* f = DrawingFormat();
  uint32_t v = ((uint32_t(r) & 255) >> (8 - f->RedWidth)) << f->RedShift;
  v += ((uint32_t(g) & 255) >> (8 - f->GreenWidth)) << f->GreenShift;
  v += ((uint32_t(b) & 255) >> (8 - f->BlueWidth)) << f->BlueShift;
  v += f->UnusedMask;
  return int(v);
}

int SplitColorValue(uint32_t value, int* r, int* g, int* b) {
  int cr, cg, cb;
  if (GetScreenColorBits() == 8) {
    if (value > 255) return -1;
    const ScreenPaletteEntry& e = DirectDrawState.ScreenPalette[value];
    cr = e.Red;
    cg = e.Green;
    cb = e.Blue;
  } else {
    const ColorFormat* screen = GetScreenColorData();
    const ColorFormat* f = screen;
    if (IsSoftwareDrawing() && screen->BitDepth != GetScreenColorBits())
      f = GetMemImgColorFormat(GetScreenColorBits() != 16 ? 1 : 0, 0, 0);
    cr = ChannelOut(value, f->RedMask, f->RedShift, f->RedWidth);
    cg = ChannelOut(value, f->GreenMask, f->GreenShift, f->GreenWidth);
    cb = ChannelOut(value, f->BlueMask, f->BlueShift, f->BlueWidth);
  }
  if (r) *r = cr;
  if (g) *g = cg;
  if (b) *b = cb;
  return 0;
}

int GetScreenModeInfo(int* width, int* height, int* bits) {
  GetScreenSize(width, height);
  if (bits) *bits = GetScreenColorBits();
  return 0;
}
