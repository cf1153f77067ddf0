// Vertex-coloured 3-D spans, 16-bit pixels, textures with alpha: every loop of this family.
#include "softrender/triangle3d_vcolour.h"

namespace tri3d {

SpanFn SelectVc16Alpha(const VcChoice& c) { return PickVc<16, SrcKind::Alpha>(c); }

}  // namespace tri3d
