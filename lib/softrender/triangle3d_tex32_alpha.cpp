// Plain textured 3-D spans, 32-bit pixels, textures with alpha: every loop of this family.
#include "softrender/triangle3d_textured.h"

namespace tri3d {

SpanFn SelectTex32Alpha(const TexChoice& c) { return PickTex<32, texpix::SourceKind::Alpha>(c); }

}  // namespace tri3d
