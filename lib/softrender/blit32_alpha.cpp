// 32-bit destination, alpha source: every loop of this family.
#include "softrender/blit_select.h"

namespace softblit {

BlitFn SelectBlit32Alpha(const BlitChoice& c) { return PickAnyMode<32, SrcKind::Alpha>(c); }

}  // namespace softblit
