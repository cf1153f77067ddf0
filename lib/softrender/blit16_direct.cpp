// 16-bit destination, direct source: every loop of this family.
#include "softrender/blit_select.h"

namespace softblit {

BlitFn SelectBlit16Direct(const BlitChoice& c) { return PickAnyMode<16, SrcKind::Direct>(c); }

}  // namespace softblit
