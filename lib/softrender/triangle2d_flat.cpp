// 2-D triangle spans filled with one colour, over 16-bit and 32-bit pixels.
#include "softrender/triangle2d_spans.h"

namespace tri2d {

SpanFn PickSpanFlat(int depth, int mode) {
  return depth == 32 ? PickSpan<32, texpix::SourceKind::Flat>(mode, false, false, false)
                     : PickSpan<16, texpix::SourceKind::Flat>(mode, false, false, false);
}

}  // namespace tri2d
