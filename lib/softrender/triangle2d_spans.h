// The span loops of the 2-D triangle: one per pixel depth, source kind, blend
// mode and per-triangle condition (blend graph, tint, transparent flag), each
// compiled in one of a few files so the instantiations build in parallel.
#pragma once
#include <cstdint>

#include "softrender/textured_pixel.h"

namespace tri2d {

// What a span loop needs besides its row: the pixel parameters and the
// texture view. U and V are 14.18 values stepped per column.
struct SpanContext {
  texpix::PixelParams Px;
  const uint8_t* Texels;
  uint32_t TexPitch;
  const uint8_t* Graph;
  uint32_t GraphPitch;
  uint32_t ULimit;  // width * 2^18, at most 2^31: a negative U is out too
  uint32_t VLimit;
  uint32_t Ux;
  uint32_t Vx;
};

// Draws `count` pixels from dst on, the first at texture position (u, v).
using SpanFn = void (*)(const SpanContext& c, uint8_t* dst, int count, uint32_t u, uint32_t v);

// The pixels i of [0, count) whose coordinate start + i * step lies in
// [0, limit) form one run [lo, hi) when the coordinate does not wrap within the
// span; false when it would wrap (the caller then tests every pixel).
bool InRangeRun(uint32_t start, uint32_t step, uint32_t limit, int count, int& lo, int& hi);

template <int Depth, texpix::SourceKind K, int Mode, bool Graph, bool Tint, bool Key>
void Span(const SpanContext& c, uint8_t* dst, int count, uint32_t u, uint32_t v) {
  using Op = texpix::PixelOp<Depth, K, Mode, Graph, Tint, Key>;
  constexpr int step = Depth / 8;
  if constexpr (K == texpix::SourceKind::Flat) {
    for (; count > 0; --count, dst += step) Op::Apply(c.Px, dst, nullptr, 0);
  } else {
    constexpr uint32_t texel = texpix::kTexelBytes<Depth, K>;
    auto draw = [&](uint32_t pu, uint32_t pv, uint8_t* at) {
      const uint32_t tx = pu >> 18, ty = pv >> 18;
      uint32_t level = 0;
      if constexpr (Graph) level = c.Px.Levels[c.Graph[ty * c.GraphPitch + tx]];
      Op::Apply(c.Px, at, c.Texels + ty * c.TexPitch + tx * texel, level);
    };
    int ulo, uhi, vlo, vhi;
    if (InRangeRun(u, c.Ux, c.ULimit, count, ulo, uhi) && InRangeRun(v, c.Vx, c.VLimit, count, vlo, vhi)) {
      // Pixels outside the texture are left as they are: draw only the run inside.
      const int lo = ulo > vlo ? ulo : vlo, hi = uhi < vhi ? uhi : vhi;
      u += uint32_t(lo) * c.Ux;
      v += uint32_t(lo) * c.Vx;
      dst += lo * step;
      for (int i = lo; i < hi; ++i, dst += step, u += c.Ux, v += c.Vx) draw(u, v, dst);
      return;
    }
    for (; count > 0; --count, dst += step, u += c.Ux, v += c.Vx)
      if (u < c.ULimit && v < c.VLimit) draw(u, v, dst);
  }
}

template <int Depth, texpix::SourceKind K, int Mode>
SpanFn PickConditions(bool graph, bool tint, bool key) {
  if constexpr (K == texpix::SourceKind::Flat) {
    return &Span<Depth, K, Mode, false, false, false>;
  } else {
    const int i = (graph ? 4 : 0) | (tint ? 2 : 0) | (key ? 1 : 0);
    static constexpr SpanFn table[8] = {
        &Span<Depth, K, Mode, false, false, false>, &Span<Depth, K, Mode, false, false, true>,
        &Span<Depth, K, Mode, false, true, false>,  &Span<Depth, K, Mode, false, true, true>,
        &Span<Depth, K, Mode, true, false, false>,  &Span<Depth, K, Mode, true, false, true>,
        &Span<Depth, K, Mode, true, true, false>,   &Span<Depth, K, Mode, true, true, true>};
    return table[i];
  }
}

template <int Depth, texpix::SourceKind K>
SpanFn PickSpan(int mode, bool graph, bool tint, bool key) {
  return PickForSoftBlendMode(
      mode, [&](auto m) { return PickConditions<Depth, K, decltype(m)::value>(graph, tint, key); });
}

// One selector per family, each in its own file.
SpanFn PickSpanFlat(int depth, int mode);
SpanFn PickSpanDirect32(int mode, bool graph, bool tint, bool key);
SpanFn PickSpanAlpha32(int mode, bool graph, bool tint, bool key);
SpanFn PickSpanDirect16(int mode, bool graph, bool tint, bool key);
SpanFn PickSpanAlpha16(int mode, bool graph, bool tint, bool key);
SpanFn PickSpanPalette(int depth, int mode, bool graph, bool tint, bool key);

}  // namespace tri2d
