// The plain textured 3-D span loops: each texel found by the perspective
// frame goes through the same pixel operation as the 2-D triangle's texels
// (key, alpha, blend-graph weight, tint, blend mode), read from the drawing
// state's tint and blend parameter.
//
// One loop per depth handling x pixel depth x texture kind (direct, direct
// with alpha, palette) x blend mode x blend graph x tint x transparent flag;
// each selector is compiled in its own file so the instantiations build in
// parallel.
#pragma once
#include <cstdint>

#include "softrender/blit_rules.h"
#include "softrender/textured_pixel.h"
#include "softrender/triangle3d_frame.h"

namespace tri3d {

// The decisions taken once per triangle, after the mode's shortcuts (mode 1
// at parameter 255 arrives as mode 0; modes 1 to 3 at parameter 0 never
// arrive).
struct TexChoice {
  DepthMode Depth;
  int Mode;    // 0, 1, 2, 3, 4, 10 or 11
  bool Graph;  // blend graph given
  bool Tint;   // tint not white
  bool Key;    // transparent flag
};

// The frame's pixel operation for one loop: the blend-graph byte read at the
// texel becomes its level, and the shared pixel operation does the rest.
template <int Bits, texpix::SourceKind K, int Mode, bool G, bool Tint, bool Key>
struct TexOp {
  static constexpr int DstSize = Bits / 8;
  static constexpr int TexelSize = texpix::kTexelBytes<Bits, K>;
  static constexpr bool Graph = G;
  static constexpr int ColourPlanes = 0;
  static inline void Pixel(const SpanJob& j, uint8_t* dst, const uint8_t* texel, uint32_t g,
                           const uint32_t*) {
    texpix::PixelOp<Bits, K, Mode, G, Tint, Key>::Apply(j.Px, dst, texel, G ? j.Px.Levels[g] : 0u);
  }
};

template <int Bits, texpix::SourceKind K, DepthMode D, int Mode, bool G, bool Tint, bool Key>
void TexSpans(const SpanJob& j) {
  RunSpans<D, TexOp<Bits, K, Mode, G, Tint, Key>>(j);
}

template <int Bits, texpix::SourceKind K, DepthMode D, int Mode>
SpanFn PickTexFlags(const TexChoice& c) {
  static constexpr SpanFn table[8] = {
      TexSpans<Bits, K, D, Mode, false, false, false>, TexSpans<Bits, K, D, Mode, false, false, true>,
      TexSpans<Bits, K, D, Mode, false, true, false>,  TexSpans<Bits, K, D, Mode, false, true, true>,
      TexSpans<Bits, K, D, Mode, true, false, false>,  TexSpans<Bits, K, D, Mode, true, false, true>,
      TexSpans<Bits, K, D, Mode, true, true, false>,   TexSpans<Bits, K, D, Mode, true, true, true>};
  return table[(c.Graph ? 4 : 0) | (c.Tint ? 2 : 0) | (c.Key ? 1 : 0)];
}

template <int Bits, texpix::SourceKind K, DepthMode D>
SpanFn PickTexMode(const TexChoice& c) {
  return PickForSoftBlendMode(c.Mode,
                              [&](auto m) { return PickTexFlags<Bits, K, D, decltype(m)::value>(c); });
}

template <int Bits, texpix::SourceKind K>
SpanFn PickTex(const TexChoice& c) {
  return PickForDepthMode(c.Depth, [&](auto d) { return PickTexMode<Bits, K, decltype(d)::value>(c); });
}

// One selector per pixel depth and texture kind, each in its own file.
SpanFn SelectTex32Direct(const TexChoice& c);
SpanFn SelectTex32Alpha(const TexChoice& c);
SpanFn SelectTex32Palette(const TexChoice& c);
SpanFn SelectTex16Direct(const TexChoice& c);
SpanFn SelectTex16Alpha(const TexChoice& c);
SpanFn SelectTex16Palette(const TexChoice& c);

// The loop for a 16- or 32-bit texture of the given kind; null when the
// mode is not drawn.
inline SpanFn SelectTexturedSpans(int bits, softblit::SrcKind k, const TexChoice& c) {
  using Selector = SpanFn (*)(const TexChoice&);
  // Indexed by depth (16, 32), then kind in the order direct, alpha, palette.
  static constexpr Selector kSelectors[2][3] = {{SelectTex16Direct, SelectTex16Alpha, SelectTex16Palette},
                                                {SelectTex32Direct, SelectTex32Alpha, SelectTex32Palette}};
  static_assert(int(softblit::SrcKind::Direct) == 0 && int(softblit::SrcKind::Alpha) == 1 &&
                int(softblit::SrcKind::Palette) == 2);
  return kSelectors[bits == 32 ? 1 : 0][static_cast<int>(k)](c);
}

}  // namespace tri3d
