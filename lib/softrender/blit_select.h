// The loop tables of the blits: one selector per depth and source kind, each
// compiled in its own file so the instantiations build in parallel.
#pragma once
#include "softrender/blit_kernel.h"

namespace softblit {

template <int B, SrcKind S>
BlitFn PickAnyMode(const BlitChoice& c) {
  switch (c.Mode) {
    case 0: return PickMode<B, S, 0>(c);
    case 1: return PickMode<B, S, 1>(c);
    case 2: return PickMode<B, S, 2>(c);
    case 3: return PickMode<B, S, 3>(c);
    case 4: return PickMode<B, S, 4>(c);
    case 10: return PickMode<B, S, 10>(c);
    case 11: return PickMode<B, S, 11>(c);
    default: return nullptr;  // 5 to 9 and above 11 are not drawn here
  }
}

BlitFn SelectBlit32Direct(const BlitChoice& c);
BlitFn SelectBlit32Alpha(const BlitChoice& c);
BlitFn SelectBlit32Palette(const BlitChoice& c);
BlitFn SelectBlit16Direct(const BlitChoice& c);
BlitFn SelectBlit16Alpha(const BlitChoice& c);
BlitFn SelectBlit16Palette(const BlitChoice& c);

// The loop for a 16-bit (bits 16) or 32-bit destination and a source kind;
// null when the mode is not drawn.
inline BlitFn SelectBlit(int bits, SrcKind s, const BlitChoice& c) {
  if (bits == 32) {
    return s == SrcKind::Palette ? SelectBlit32Palette(c) : s == SrcKind::Alpha ? SelectBlit32Alpha(c) : SelectBlit32Direct(c);
  }
  return s == SrcKind::Palette ? SelectBlit16Palette(c) : s == SrcKind::Alpha ? SelectBlit16Alpha(c) : SelectBlit16Direct(c);
}

}  // namespace softblit
