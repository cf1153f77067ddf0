// A slow model of the 3-D triangle written straight from its rules: every
// row's edges and every pixel's planes are evaluated on their own (no
// stepping), in 64 bits, and the blend formulas channel by channel. It
// shares only the product tables and the choice of floating point (float
// inputs and clipper records, double arithmetic in the written order) with
// the library.
#pragma once
#include <cstdint>

#include "softrender/memimg.h"
#include "softrender/triangle2d_reference.h"
#include "softrender/triangle3d.h"

struct RefTriangle3DArgs {
  MEMIMG* Dest;
  MEMIMG* ZImage;         // or null
  const MEMIMG* Texture;  // or null: plain white
  const MEMIMG* Graph;    // or null
  int TransFlag;
  int ZWrite;
  int PieceZWrite;
  int ClipFlag;
  int Mode;
  Rect Clip;
  int VertexColour = 1;
  int Param = 0;             // read by the plain textured families only
  uint32_t Tint = 0xFFFFFF;  // likewise
};

// What DrawMemImgTriangle3D must leave in the destination and the depth
// image.
void RefDrawTriangle3D(const RefTriangle3DArgs& a, const MemImgVertex3D* v);
