// 32-bit destination, direct source: every loop of this family.
#include "softrender/blit_select.h"

namespace softblit {

BlitFn SelectBlit32Direct(const BlitChoice& c) { return PickAnyMode<32, SrcKind::Direct>(c); }

}  // namespace softblit
