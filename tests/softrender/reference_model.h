// A slow per-pixel model of the one-to-one blit, written straight from the
// blend rules; it shares nothing with the library's loops but the tables.
#pragma once
#include <cstdint>

#include "softrender/memimg.h"

struct RefBlendState {
  Rect Clip;
  int Mode;
  int Param;
  uint32_t Tint;  // 0xRRGGBB
  bool Mmx;
};

// What DrawMemImg must leave in dest.
void RefDrawMemImg(MEMIMG* dest, const MEMIMG* src, int x, int y, int transFlag, const MEMIMG* graph,
                   const RefBlendState& st);
