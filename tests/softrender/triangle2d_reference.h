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
