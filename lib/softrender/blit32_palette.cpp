// 32-bit destination, palette source: every loop of this family.
#include "softrender/blit_select.h"

namespace softblit {

BlitFn SelectBlit32Palette(const BlitChoice& c) { return PickAnyMode<32, SrcKind::Palette>(c); }

}  // namespace softblit
