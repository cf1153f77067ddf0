// The software renderer's lookup tables and the part of the drawing state it
// reads. Built once at display start-up, only read afterwards.
#pragma once
#include <cstdint>

#include "image/rect.h"
#include "softrender/blend_mode.h"

// P[a][b] = floor(a * b / 255).
extern uint32_t MemImgProductTable[256][256];
// S[a][x + 255] = x * a / 255 truncated toward zero, x from -255 to 255.
extern int32_t MemImgSignedProductTable[256][512];
// Lerp[k][r][c] = floor((r * k + c * (63 - k)) / 63), k-major, 64^3 bytes.
extern uint8_t MemImgLerp64Table[64 * 64 * 64];
// The weight 0..255 of each blend-graph pixel value.
extern uint8_t BlendGraphLevelTable[256];

// Fills the signed product, product and lerp tables. Returns 0.
int InitMemImgTables();
// Fills the level table from the blend graph's border and range (0..255 each).
void BuildBlendGraphLevelTable(int border, int range);

// The drawing state the software renderer reads. The clip rectangle is not
// copied: `Clip` points at the one the graphics core keeps in its drawing
// state, so every change there (including a narrowing for one draw) is what
// the next draw reads. The graphics core copies the blend mode, parameter and
// tint in with its setters. A test points `Clip` at a rectangle of its own
// and sets the rest directly.
struct SoftDrawStateBlock {
  const Rect* Clip;    // drawing limit, right and bottom exclusive; never null
  int32_t BlendMode;   // BLEND_COPY ... (blend_mode.h)
  int32_t BlendParam;  // 0..255
  uint32_t Tint;       // 0xRRGGBB; 0xFFFFFF is no tint
};
extern SoftDrawStateBlock SoftDrawState;

// Points rows[0], rows[1] and rows[2] at the product-table rows of the current
// tint's blue, green and red bytes: a channel value c tinted is rows[k][c].
// The blits and both triangle rasterisers tint through these.
inline void SetTintRows(const uint32_t* rows[3]) {
  const uint32_t tint = SoftDrawState.Tint;
  rows[0] = MemImgProductTable[tint & 0xFF];
  rows[1] = MemImgProductTable[(tint >> 8) & 0xFF];
  rows[2] = MemImgProductTable[(tint >> 16) & 0xFF];
}
