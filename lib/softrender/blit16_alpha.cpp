// 16-bit destination, alpha source: every loop of this family.
#include "softrender/blit_select.h"

namespace softblit {

BlitFn SelectBlit16Alpha(const BlitChoice& c) { return PickAnyMode<16, SrcKind::Alpha>(c); }

}  // namespace softblit
