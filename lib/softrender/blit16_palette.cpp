// 16-bit destination, palette source: every loop of this family.
#include "softrender/blit_select.h"

namespace softblit {

BlitFn SelectBlit16Palette(const BlitChoice& c) { return PickAnyMode<16, SrcKind::Palette>(c); }

}  // namespace softblit
