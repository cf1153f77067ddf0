// What every drawing routine decides before it picks a loop.
#pragma once
#include <cstdint>

#include "softrender/blit_kernel.h"
#include "softrender/memimg.h"

namespace softblit {

struct DrawModeSetup {
  int Mode;      // 0, 1, 2, 3, 4, 10 or 11
  uint32_t P;    // 0..255
  bool Tint;     // the tint is not white
};

// The current blend mode after its shortcuts; false when nothing is drawn
// (modes 5 to 9, negative or above 11; p = 0 in modes 1 to 3).
bool ResolveDrawMode(DrawModeSetup* out);

// Table rows of p and of the tint into the job.
void SetJobTables(BlitJob* j, const DrawModeSetup& m);

// The rectangle (64-bit edges, right and bottom exclusive) clipped to the
// draw clip rectangle and to the image; false when nothing remains.
bool ClipToTarget(const MEMIMG* dest, int64_t left, int64_t top, int64_t right, int64_t bottom, Rect* out);

// 1 when drawing takes the MMX twins of the fast 32-bit loops.
bool MmxLoopsEnabled();

}  // namespace softblit
