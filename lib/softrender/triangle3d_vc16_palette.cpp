// Vertex-coloured 3-D spans, 16-bit pixels, palette textures: every loop of this family.
#include "softrender/triangle3d_vcolour.h"

namespace tri3d {

SpanFn SelectVc16Palette(const VcChoice& c) { return PickVc<16, SrcKind::Palette>(c); }

}  // namespace tri3d
