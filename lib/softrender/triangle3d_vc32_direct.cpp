// Vertex-coloured 3-D spans, 32-bit pixels, direct-colour textures: every loop of this family.
#include "softrender/triangle3d_vcolour.h"

namespace tri3d {

SpanFn SelectVc32Direct(const VcChoice& c) { return PickVc<32, SrcKind::Direct>(c); }

}  // namespace tri3d
