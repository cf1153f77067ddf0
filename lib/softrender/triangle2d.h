// The 2-D software triangle: three integer vertices drawn into a library
// image, mapped affinely with a texture or filled with one colour, under the
// current blend mode, parameter, tint and clip rectangle.
#pragma once
#include <cstdint>

#include "softrender/memimg.h"

// One vertex: destination column and row, texture column and row (texels).
struct MemImgVertex2D {
  int32_t x;
  int32_t y;
  int32_t u;
  int32_t v;
};

// Every coordinate and every difference of two coordinates of one kind must
// lie in this range, or the triangle draws nothing.
constexpr int32_t TRIANGLE2D_COORD_MIN = -8192;
constexpr int32_t TRIANGLE2D_COORD_MAX = 8191;

// Draws the triangle of the three vertices at `vertices`. With a texture (same
// colour type as dest) the texels are mapped from (u, v); transFlag skips the
// texture's key texels (alpha textures: alpha-0 texels in most modes);
// blendGraph, a one-byte image at least as large as the texture, weighs every
// texel. Without a texture the triangle is filled with `colour` (a raw pixel
// value of dest, tinted). Rows run from the top vertex to the row above the
// bottom one, and both end columns of a row are drawn. Anything that cannot
// be drawn draws nothing.
void DrawMemImgTriangle2D(MEMIMG* dest, const MEMIMG* texture, const MemImgVertex2D* vertices, int transFlag,
                          const MEMIMG* blendGraph, uint32_t colour);
