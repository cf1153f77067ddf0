// 2-D triangle spans: 32-bit pixels from a direct-colour texture with an alpha channel.
#include "softrender/triangle2d_spans.h"

namespace tri2d {

SpanFn PickSpanAlpha32(int mode, bool graph, bool tint, bool key) {
  return PickSpan<32, texpix::SourceKind::Alpha>(mode, graph, tint, key);
}

}  // namespace tri2d
