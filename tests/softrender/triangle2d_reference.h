// A slow model of the 2-D triangle, written straight from its rules: 64-bit
// set-up and walk, and one per-pixel switch over depth, source and mode. It
// shares nothing with the library but the product and level tables.
#pragma once
#include <cstdint>

#include "softrender/memimg.h"
#include "softrender/reference_model.h"
#include "softrender/triangle2d.h"

// What DrawMemImgTriangle2D must leave in dest under the state st.
void RefDrawTriangle2D(MEMIMG* dest, const MEMIMG* texture, const MemImgVertex2D* v, int transFlag,
                       const MEMIMG* blendGraph, uint32_t colour, const RefBlendState& st);

// The texel rules the 2-D and 3-D triangles share: what one texel at
// (tx, ty), inside the texture, does to the pixel at px. Mode comes after
// the mode shortcuts (mode 1 at parameter 255 as mode 0).
struct RefTexelState {
  int Depth;  // 16 or 32
  int Mode;
  int64_t Param;
  uint32_t Tint;
  const MEMIMG* Texture;
  const MEMIMG* Graph;  // or null
  bool Key;
};
void RefTexelPixel(const RefTexelState& st, uint8_t* px, int64_t tx, int64_t ty);
