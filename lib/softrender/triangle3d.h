// Triangles with floating-point screen positions, depth and perspective,
// drawn in software into library images: clipped against the near and far
// depth planes on request, depth-tested against an optional 16-bit depth
// image, textured perspective-correctly and optionally shaded by the colours
// of their vertices.
#pragma once
#include <cstdint>

#include "softrender/memimg.h"

// A transformed vertex; three consecutive records make a triangle. The layout
// is that of a pre-transformed, lit, single-textured vertex.
struct MemImgVertex3D {
  float X, Y;  // screen column and row, in pixels (rows grow downward)
  float Z;     // depth, 0.0 nearest to 1.0 farthest
  float W;     // reciprocal of the homogeneous w (1/w), positive
  uint8_t Blue, Green, Red, Alpha;
  float U, V;  // texture position in texture widths and heights (0..1)
};
static_assert(sizeof(MemImgVertex3D) == 28, "transformed vertex is 28 bytes");

// Draws one triangle into dest (16- or 32-bit, no palette, no alpha) under
// the software drawing state (clip rectangle, blend mode).
//   zImage:     16-bit depth image of dest's size, or null (no depth test)
//   texture:    of dest's pixel type; null draws with a plain white texture.
//               Texel coordinates (u times the width, v times the height)
//               wrap every 8,192 texels: from 8,192 on they land on texel
//               (coordinate modulo 8,192), so only textures up to 8,191 texels
//               wide and high are addressed whole; a negative coordinate
//               lands beyond any such texture
//   transFlag:  colour-key test (or alpha 0 / 255 tests for alpha textures)
//   blendGraph: one-byte image at least as large as the texture, or null
//   zWrite:     store the depth of every pixel that passes the depth test
//   pieceZWrite: the z-write flag of the pieces of a clipped triangle
//   vertexColour: modulate the texels by the interpolated vertex colours
//               (neither tint nor blend parameter is read); 0 draws the
//               texels under the tint and parameter, where modes 1 to 3 at
//               parameter 0 draw nothing, not even depth
//   clipFlag:   exactly 1 cuts the triangle at depths 0 and 1 first
// Returns -1 when the arguments are refused (bad images, mode not drawn),
// else 0, whether or not a pixel was drawn.
int DrawMemImgTriangle3D(MEMIMG* dest, MEMIMG* zImage, const MEMIMG* texture, const MemImgVertex3D* vertices,
                         int transFlag, const MEMIMG* blendGraph, int zWrite, int pieceZWrite,
                         int vertexColour, int clipFlag);
