// 2-D triangle spans from a palette texture, over 16-bit and 32-bit pixels.
#include "softrender/triangle2d_spans.h"

namespace tri2d {

SpanFn PickSpanPalette(int depth, int mode, bool graph, bool tint, bool key) {
  return depth == 32 ? PickSpan<32, texpix::SourceKind::Palette>(mode, graph, tint, key)
                     : PickSpan<16, texpix::SourceKind::Palette>(mode, graph, tint, key);
}

}  // namespace tri2d
