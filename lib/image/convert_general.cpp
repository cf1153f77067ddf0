// The converter's general path: every channel read, rescaled and repacked per pixel.
#include "image/convert.h"
#include "image/convert_paths.h"
#include "image/convert_pixels.h"

using namespace convert_detail;

namespace {

// One channel's move from the source layout to the destination layout. Every
// value the pixel loop needs is held here, in locals, because the
// destination stores could alias the format records and force reloads.
struct ChannelMove {
  uint32_t Mask;
  unsigned Shift;
  unsigned From;
  unsigned To;
  uint32_t Max;         // largest destination value
  uint32_t Table[256];  // the result for every source value below 256

  ChannelMove(uint32_t mask, unsigned shift, unsigned from, unsigned to)
      : Mask(mask), Shift(shift), From(from), To(to), Max(ChannelMax(to)) {
    for (uint32_t c = 0; c < 256; c++) Table[c] = Compute(c);
  }

  uint32_t Compute(uint32_t c) const {
    if (From != To) c = RescaleChannel(c, From, To);
    return c > Max ? Max : c;
  }

  // Source channel brought to the destination width, kept within the
  // destination channel so it never spills into its neighbours.
  uint32_t operator()(uint32_t pixel) const {
    uint32_t c = SafeShr(pixel & Mask, Shift);
    return c < 256 ? Table[c] : Compute(c);
  }
};

template <unsigned SB, unsigned DB>
void GeneralLoop(const ConvertJob& job) {
  const ColorFormat& D = *job.D;
  const ColorFormat& S = *job.S;
  const ColorFormat& A = *job.A;
  const ChannelMove red(S.RedMask, S.RedShift, S.RedWidth, D.RedWidth);
  const ChannelMove green(S.GreenMask, S.GreenShift, S.GreenWidth, D.GreenWidth);
  const ChannelMove blue(S.BlueMask, S.BlueShift, S.BlueWidth, D.BlueWidth);
  const ChannelMove alpha(S.AlphaMask, S.AlphaShift, S.AlphaWidth, D.AlphaWidth);
  const ChannelMove alphaImage(A.RedMask, A.RedShift, A.RedWidth, D.AlphaWidth);
  const unsigned dRedShift = D.RedShift, dGreenShift = D.GreenShift, dBlueShift = D.BlueShift;
  const unsigned dAlphaShift = D.AlphaShift, dRedWidth = D.RedWidth, dAlphaWidth = D.AlphaWidth;
  const uint32_t dAlphaMask = D.AlphaMask, dAlphaMax = ChannelMax(D.AlphaWidth);
  const uint32_t rgbMask = D.RedMask | D.GreenMask | D.BlueMask;
  const uint32_t unused = (DB == 2 || DB == 4) ? D.UnusedMask : 0;
  const bool sourceHasAlpha = S.AlphaWidth != 0, destHasAlphaMask = D.AlphaMask != 0;
  const bool alphaFromImage = job.AlphaFromImage, alphaFromRed = job.AlphaFromRed;
  const bool clearColor = job.ClearColor, keyToAlpha = job.KeyToAlpha, skipKey = job.SkipKey;
  const unsigned AB = job.AB;
  const int width = job.Width, height = job.Height;
  const uint32_t opaque = SafeShr(D.AlphaMask, D.AlphaShift);

  // Palette sources are read through their entries (as 0xXXRRGGBB values).
  uint32_t sourcePalette[256];
  uint32_t alphaPalette[256];
  if (SB == 1)
    for (uint32_t i = 0; i < 256; i++) sourcePalette[i] = PaletteValue(S, i);
  if (alphaFromImage && AB == 1)
    for (uint32_t i = 0; i < 256; i++) alphaPalette[i] = PaletteValue(A, i);

  // Skip-key compares raw source values: an index for palette sources.
  uint32_t key = job.TransColor;
  if (!keyToAlpha) key &= SB == 1 ? 0xFFu : SB == 2 ? 0xFFFFu : SB == 3 ? 0xFFFFFFu : 0xFFFFFFFFu;
  uint32_t keyRgb = 0;
  if (keyToAlpha) {
    keyRgb = PackColorForFormat(&D, (job.TransColor >> 16) & 0xFF, (job.TransColor >> 8) & 0xFF,
                                job.TransColor & 0xFF, 255) &
             rgbMask;
  }

  for (int y = 0; y < height; y++) {
    const uint8_t* src = job.SourceRow(y);
    const uint8_t* alphaRow = alphaFromImage ? job.AlphaRow(y) : nullptr;
    uint8_t* dst = job.DestPixel(0, y);
    const ptrdiff_t step = job.Mirror ? -ptrdiff_t{DB} : ptrdiff_t{DB};
    for (int x = 0; x < width; x++, src += SB, dst += step) {
      const uint32_t raw = LoadPixel(src, SB);
      if (skipKey && raw == key) continue;
      const uint32_t p = SB == 1 ? sourcePalette[raw] : raw;

      uint32_t r = red(p), g = green(p), b = blue(p);
      uint32_t a;
      if (alphaFromImage) {
        uint32_t q = LoadPixel(alphaRow + ptrdiff_t{x} * AB, AB);
        if (AB == 1) q = alphaPalette[q & 0xFF];
        a = alphaImage(q);
      } else if (!sourceHasAlpha) {
        a = opaque;
      } else if (!destHasAlphaMask) {
        a = 0;
      } else {
        a = alpha(p);
      }
      if (alphaFromRed) {
        // The red value brought to the alpha channel's width, so that a
        // narrow alpha (one bit of 1-5-5-5) takes red's top bits and nothing
        // spills into the neighbouring channel.
        a = RescaleChannel(r, dRedWidth, dAlphaWidth);
        if (a > dAlphaMax) a = dAlphaMax;
      }
      if (clearColor) r = g = b = 0;

      uint32_t out =
          SafeShl(a, dAlphaShift) | SafeShl(r, dRedShift) | SafeShl(b, dBlueShift) | SafeShl(g, dGreenShift);
      if (keyToAlpha) out = (out & rgbMask) == keyRgb ? out & ~dAlphaMask : out | dAlphaMask;
      StorePixel(dst, DB, out | unused);
    }
  }
}

template <unsigned SB>
void GeneralForSource(const ConvertJob& job) {
  switch (job.DB) {
    case 1:
      GeneralLoop<SB, 1>(job);
      break;
    case 2:
      GeneralLoop<SB, 2>(job);
      break;
    case 3:
      GeneralLoop<SB, 3>(job);
      break;
    default:
      GeneralLoop<SB, 4>(job);
      break;
  }
}

}  // namespace

void ConvertGeneral(const ConvertJob& job) {
  switch (job.SB) {
    case 1:
      GeneralForSource<1>(job);
      break;
    case 2:
      GeneralForSource<2>(job);
      break;
    case 3:
      GeneralForSource<3>(job);
      break;
    default:
      GeneralForSource<4>(job);
      break;
  }
}
