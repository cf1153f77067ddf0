// Plain textured 3-D spans, 32-bit pixels, palette textures: every loop of this family.
#include "softrender/triangle3d_textured.h"

namespace tri3d {

SpanFn SelectTex32Palette(const TexChoice& c) { return PickTex<32, texpix::SourceKind::Palette>(c); }

}  // namespace tri3d
