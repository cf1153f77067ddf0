// Drawing into library images under the current blend mode, parameter and
// tint, limited to the draw clip rectangle (and the destination itself).
#pragma once
#include <cstdint>

#include "softrender/memimg.h"

// Draws the whole source with its top-left pixel at (x, y). transFlag 1 skips
// key pixels (or weighs by the source alpha); blendGraph is a type-2 image at
// least as large as the source, or null. Refusals draw nothing.
void DrawMemImg(MEMIMG* dest, const MEMIMG* src, int x, int y, int transFlag, const MEMIMG* blendGraph);

// Draws the source scaled (nearest sample, 16.16 steps) so that its left
// column lands at x1 and its top row at y1; x1 > x2 or y1 > y2 mirror it.
// The drawn rectangle is from (min x, min y) to (max x, max y), exclusive.
// At scale 1 without mirroring the pixels are those of DrawMemImg.
void DrawMemImgStretched(MEMIMG* dest, const MEMIMG* src, int x1, int y1, int x2, int y2, int transFlag,
                         const MEMIMG* blendGraph);

// Fills (x1, y1)-(x2, y2), right and bottom exclusive, with the colour (a raw
// pixel value of the image) tinted as (c * t) >> 8 per channel and blended
// under the current mode. Nothing for palette or alpha images.
void FillMemImgBoxXY(MEMIMG* img, int x1, int y1, int x2, int y2, uint32_t colour);
void FillMemImgBox(MEMIMG* img, const Rect* rect, uint32_t colour);

// A one-pixel line from (x1, y1) to (x2, y2), both end points included, each
// pixel blended alone as the fill blends it.
void DrawMemImgLine(MEMIMG* img, int x1, int y1, int x2, int y2, uint32_t colour);

// The outline of the rectangle (corners ordered, right and bottom exclusive)
// as four strips that never overlap, so every corner is blended once.
void OutlineMemImgBox(MEMIMG* img, int x1, int y1, int x2, int y2, uint32_t colour);
