// Vertex-coloured 3-D spans, 32-bit pixels, palette textures: every loop of this family.
#include "softrender/triangle3d_vcolour.h"

namespace tri3d {

SpanFn SelectVc32Palette(const VcChoice& c) { return PickVc<32, SrcKind::Palette>(c); }

}  // namespace tri3d
