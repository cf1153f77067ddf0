// 2-D triangle spans: 16-bit pixels from a direct-colour texture.
#include "softrender/triangle2d_spans.h"

namespace tri2d {

SpanFn PickSpanDirect16(int mode, bool graph, bool tint, bool key) {
  return PickSpan<16, texpix::SourceKind::Direct>(mode, graph, tint, key);
}

}  // namespace tri2d
