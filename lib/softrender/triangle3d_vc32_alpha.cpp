// Vertex-coloured 3-D spans, 32-bit pixels, textures with alpha: every loop of this family.
#include "softrender/triangle3d_vcolour.h"

namespace tri3d {

SpanFn SelectVc32Alpha(const VcChoice& c) { return PickVc<32, SrcKind::Alpha>(c); }

}  // namespace tri3d
