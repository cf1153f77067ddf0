// The loop tables of the blits: one selector per depth and source kind, each
// compiled in its own file so the instantiations build in parallel.
#pragma once
#include "softrender/blit_kernel.h"

namespace softblit {

template <int B, SrcKind S>
BlitFn PickAnyMode(const BlitChoice& c) {
  return PickForSoftBlendMode(c.Mode, [&](auto mode) { return PickMode<B, S, decltype(mode)::value>(c); });
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
    return s == SrcKind::Palette ? SelectBlit32Palette(c)
           : s == SrcKind::Alpha ? SelectBlit32Alpha(c)
                                 : SelectBlit32Direct(c);
  }
  return s == SrcKind::Palette ? SelectBlit16Palette(c)
         : s == SrcKind::Alpha ? SelectBlit16Alpha(c)
                               : SelectBlit16Direct(c);
}

}  // namespace softblit
