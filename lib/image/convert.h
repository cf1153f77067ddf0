// The library's single pixel converter: copies a rectangle between two images
// in memory, converting between any two ColorFormats on the way.
#pragma once
#include <cstdint>
#include "image/colorformat.h"

struct Rect;

// Copies `sourceRect` (right and bottom exclusive) of the source to (destX,
// destY) of the destination. Options:
//   mirror        1: each destination row is written right to left
//   keyToAlpha    1: pixels of `transColor` (0xRRGGBB) get alpha 0, others full alpha
//   transColor    the key colour (0xRRGGBB for keyToAlpha, a raw pixel for skipKey)
//   ditherMode    accepted and ignored (no caller dithers)
//   clearColor    1: red, green and blue are written as 0
//   alphaFromRed  1: the alpha written is the converted red value
//   skipKey       1: source pixels equal to `transColor` leave the destination as it is
//   paletteRemap  1: between two palette formats, map each index to the nearest entry
// `alphaPixels` (may be null) is an image of the source's size whose red channel
// gives the alpha. No clipping: the caller passes rectangles inside both images.
// Result: 0; -1 when the rectangle's width or height is 0; for the plain
// one-byte copy the largest index copied. A negative width or height converts
// nothing and gives 0. In place works when the destination pixel is not wider.
int ConvertPixelRect(uint8_t* destPixels, int destPitch, const ColorFormat* destFormat,
                     const uint8_t* sourcePixels, int sourcePitch, const ColorFormat* sourceFormat,
                     const uint8_t* alphaPixels, int alphaPitch, const ColorFormat* alphaFormat, int destX,
                     int destY, const Rect* sourceRect, int mirror, int keyToAlpha, uint32_t transColor,
                     int ditherMode, int clearColor, int alphaFromRed, int skipKey, int paletteRemap);

// The library's conversion option word (passed as ditherMode); always 0.
int GetConvertOptionWord();
