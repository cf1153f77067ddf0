// The converter's paths over one parameter block (internal to the converter).
#pragma once
#include <cstddef>
#include <cstdint>

#include "image/colorformat.h"

struct ConvertJob {
  uint8_t* Dest;
  ptrdiff_t DestPitch;
  const ColorFormat* D;
  const uint8_t* Source;  // first pixel of the source rectangle
  ptrdiff_t SourcePitch;
  const ColorFormat* S;
  const uint8_t* Alpha;  // first pixel of the alpha rectangle, or null
  ptrdiff_t AlphaPitch;
  const ColorFormat* A;
  int DestX, DestY;
  int Width, Height;
  int Mirror, KeyToAlpha, ClearColor, AlphaFromRed, SkipKey;
  uint32_t TransColor;
  int AlphaFromImage;
  int AlphaGiven;       // an alpha image was passed (used or not)
  unsigned DB, SB, AB;  // bytes per pixel of destination, source, alpha image

  // The destination pixel of rectangle column x in row y (mirror honoured).
  uint8_t* DestPixel(int x, int y) const {
    int column = Mirror ? DestX + Width - 1 - x : DestX + x;
    return Dest + (ptrdiff_t{DestY} + y) * DestPitch + ptrdiff_t{column} * DB;
  }
  const uint8_t* SourceRow(int y) const { return Source + ptrdiff_t{y} * SourcePitch; }
  const uint8_t* AlphaRow(int y) const { return Alpha + ptrdiff_t{y} * AlphaPitch; }
};

// Fixed pairs; 1 when the pair was converted, 0 when the job is not one of them.
int ConvertFastPair(const ConvertJob& job);
// Per-pixel path for every other combination.
void ConvertGeneral(const ConvertJob& job);
